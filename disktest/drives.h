// The drive-letter table, the selected drive and the free-space query.
#pragma once

#include <stdint.h>

struct DriveEntry {
    int fixed;
    int driveIndex;
    const char* label[4];
    int reserved;
};

struct DriveListRecord {
    int selected;
    uint16_t comboId;
    int rowCount;
    DriveEntry* rows;
};

enum { DRIVE_COUNT = 26, DRIVE_COMBO_ID = 301, DRIVE_TYPE_FIXED = 3 };
enum { RESULT_DISK_FAILED = 102 };

extern DriveEntry DriveRows[DRIVE_COUNT];
extern DriveListRecord DriveList;
extern int hasFreeSpaceEx;

// What the drive list and the free-space query need from the platform.
struct DriveOps {
    unsigned (*GetDriveTypeA)(const char* root);
    void* (*LoadLibraryA)(const char* name);
    void* (*GetProcAddress)(void* module, const char* name);
    int (*FreeLibrary)(void* module);
    // Calls the GetDiskFreeSpaceExA found by GetProcAddress; only the free
    // bytes available to the caller are handed back.
    int (*CallGetDiskFreeSpaceExA)(void* function, const char* root, uint64_t* callerFreeBytes);
    int (*GetDiskFreeSpaceA)(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters, uint32_t* totalClusters);
};

void DriveRootPath(int driveIndex, char root[4]);

int CollectDrivesWith(const DriveOps& ops);
void ProbeFreeSpaceExWith(const DriveOps& ops);
int QueryFreeSpaceWith(const DriveOps& ops, int driveIndex, uint32_t* freeBytes);

// The position in the drive combo box of the selected drive.
int ComboPositionOfSelected(const DriveListRecord& list);
// The drive index at a combo box position: the n-th fixed row; -1 when there is none.
int DriveAtComboPosition(const DriveListRecord& list, int position);
// Index of the label slot the combo box shows in the current language.
int DriveLabelSlot(int32_t languageOffset);

// Platform side.
extern const DriveOps platformDriveOps;
// GetDiskFreeSpaceA in the terms of DriveOps, shared with the disk run.
int PlatformGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters, uint32_t* totalClusters);
int CollectDrives();
void ProbeFreeSpaceEx();
int QueryFreeSpace(int driveIndex, uint32_t* freeBytes);
