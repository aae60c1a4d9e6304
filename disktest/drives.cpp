#include "disktest/drives.h"

#define DRIVE_ROW(letter, index) {0, index, {letter, letter, letter, letter}, 0}

DriveEntry DriveRows[DRIVE_COUNT] = {
    DRIVE_ROW("A", 0),  DRIVE_ROW("B", 1),  DRIVE_ROW("C", 2),  DRIVE_ROW("D", 3),
    DRIVE_ROW("E", 4),  DRIVE_ROW("F", 5),  DRIVE_ROW("G", 6),  DRIVE_ROW("H", 7),
    DRIVE_ROW("I", 8),  DRIVE_ROW("J", 9),  DRIVE_ROW("K", 10), DRIVE_ROW("L", 11),
    DRIVE_ROW("M", 12), DRIVE_ROW("N", 13), DRIVE_ROW("O", 14), DRIVE_ROW("P", 15),
    DRIVE_ROW("Q", 16), DRIVE_ROW("R", 17), DRIVE_ROW("S", 18), DRIVE_ROW("T", 19),
    DRIVE_ROW("U", 20), DRIVE_ROW("V", 21), DRIVE_ROW("W", 22), DRIVE_ROW("X", 23),
    DRIVE_ROW("Y", 24), DRIVE_ROW("Z", 25),
};

DriveListRecord DriveList;
int hasFreeSpaceEx;

void DriveRootPath(int driveIndex, char root[4])
{
    root[0] = (char)('A' + driveIndex);
    root[1] = ':';
    root[2] = '\\';
    root[3] = '\0';
}

int CollectDrivesWith(const DriveOps& ops)
{
    int first = -1;
    for (int i = 0; i < DRIVE_COUNT; i++) {
        char root[4];
        DriveRootPath(i, root);
        DriveRows[i].fixed = ops.GetDriveTypeA(root) == DRIVE_TYPE_FIXED ? 1 : 0;
        if (DriveRows[i].fixed && first < 0) first = i;
    }
    if (first < 0) return 0;
    DriveList.selected = first;
    DriveList.comboId = DRIVE_COMBO_ID;
    DriveList.rowCount = DRIVE_COUNT;
    DriveList.rows = DriveRows;
    return 1;
}

void ProbeFreeSpaceExWith(const DriveOps& ops)
{
    hasFreeSpaceEx = 0;
    void* module = ops.LoadLibraryA("kernel32.dll");
    if (module == nullptr) return;
    if (ops.GetProcAddress(module, "GetDiskFreeSpaceExA") != nullptr) hasFreeSpaceEx = 1;
    ops.FreeLibrary(module);
}

static uint32_t LimitTo32(uint64_t bytes)
{
    return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)bytes;
}

int QueryFreeSpaceWith(const DriveOps& ops, int driveIndex, uint32_t* freeBytes)
{
    char root[4];
    DriveRootPath(driveIndex, root);
    if (hasFreeSpaceEx == 1) {
        void* module = ops.LoadLibraryA("kernel32.dll");
        if (module != nullptr) {
            void* function = ops.GetProcAddress(module, "GetDiskFreeSpaceExA");
            if (function != nullptr) {
                uint64_t callerFree = 0;
                const int ok = ops.CallGetDiskFreeSpaceExA(function, root, &callerFree);
                ops.FreeLibrary(module);
                if (!ok) return RESULT_DISK_FAILED;
                *freeBytes = LimitTo32(callerFree);
                return 0;
            }
            ops.FreeLibrary(module);
        }
    }
    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!ops.GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
        return RESULT_DISK_FAILED;
    }
    const uint64_t cluster = (uint64_t)sectorsPerCluster * bytesPerSector;
    const uint64_t total = cluster * freeClusters;  // below 2^96 only in theory; 2^64 is far above the limit
    *freeBytes = (cluster != 0 && total / cluster != freeClusters) ? 0xFFFFFFFFu : LimitTo32(total);
    return 0;
}

int ComboPositionOfSelected(const DriveListRecord& list)
{
    int added = 0;
    for (int i = 0; i < list.rowCount; i++) {
        if (list.rows[i].fixed != 1) continue;
        if (list.rows[i].driveIndex == list.selected) return added;
        added++;
    }
    return 0;
}

int DriveAtComboPosition(const DriveListRecord& list, int position)
{
    int n = position;
    for (int i = 0; i < list.rowCount; i++) {
        if (list.rows[i].fixed == 0) continue;
        if (n == 0) return list.rows[i].driveIndex;
        n--;
    }
    return -1;
}

int DriveLabelSlot(int32_t languageOffset)
{
    return languageOffset == 0 ? 0 : 1;
}
