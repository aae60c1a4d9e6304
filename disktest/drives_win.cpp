#include <windows.h>

#include "disktest/drives.h"

namespace {

typedef BOOL(WINAPI* GetDiskFreeSpaceExAFunction)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

int CallGetDiskFreeSpaceEx(void* function, const char* root, uint64_t* callerFreeBytes)
{
    ULARGE_INTEGER callerFree, total, totalFree;
    const BOOL ok = ((GetDiskFreeSpaceExAFunction)function)(root, &callerFree, &total, &totalFree);
    if (ok) *callerFreeBytes = callerFree.QuadPart;
    return ok ? 1 : 0;
}

}  // namespace

int PlatformGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters, uint32_t* totalClusters)
{
    DWORD spc = 0, bps = 0, free = 0, total = 0;
    const BOOL ok = GetDiskFreeSpaceA(root, &spc, &bps, &free, &total);
    *sectorsPerCluster = spc;
    *bytesPerSector = bps;
    *freeClusters = free;
    *totalClusters = total;
    return ok ? 1 : 0;
}

const DriveOps platformDriveOps = {
    [](const char* root) -> unsigned { return GetDriveTypeA(root); },
    [](const char* name) -> void* { return (void*)LoadLibraryA(name); },
    [](void* module, const char* name) -> void* { return (void*)GetProcAddress((HMODULE)module, name); },
    [](void* module) -> int { return FreeLibrary((HMODULE)module) ? 1 : 0; },
    CallGetDiskFreeSpaceEx,
    PlatformGetDiskFreeSpace,
};

int CollectDrives()
{
    return CollectDrivesWith(platformDriveOps);
}

void ProbeFreeSpaceEx()
{
    ProbeFreeSpaceExWith(platformDriveOps);
}

int QueryFreeSpace(int driveIndex, uint32_t* freeBytes)
{
    return QueryFreeSpaceWith(platformDriveOps, driveIndex, freeBytes);
}
