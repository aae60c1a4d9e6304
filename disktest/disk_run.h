// The timed run of the HDD Test button: the transfer buffer, the free-space
// requirement, the test file name, the measuring cycles and their passes.
#pragma once

#include <stdint.h>

#include <atomic>

#include "disktest/drives.h"

enum {
    RESULT_NO_RESOURCE = 101,
    RESULT_NO_TEST_NAME = 103,
    RESULT_LOW_FREE_SPACE = 104,
    RESULT_STOPPED = 106,
};

enum : uint32_t {
    SMALL_TEST_BYTES = 20971520,    // 20 MiB
    LARGE_TEST_BYTES = 104857600,   // 100 MiB
    LARGEST_BLOCK_BYTES = 98304,    // 96 KiB
    SHORT_PASS_MS = 1000,
};

// The CreateFileA values the run passes, as Win32 defines them.
enum : uint32_t {
    ACCESS_GENERIC_READ = 0x80000000u,
    ACCESS_GENERIC_WRITE = 0x40000000u,
    DISPOSITION_CREATE_ALWAYS = 2,
    DISPOSITION_OPEN_EXISTING = 3,
    ATTRIBUTE_NORMAL = 0x80,
    FLAG_NO_BUFFERING = 0x20000000u,
};

struct DiskJob {
    void* dialogWindow;
    const char* fileName;
    uint32_t writeMs;
    uint32_t readMs;
    uint32_t testBytes;
    uint32_t bufferBytes;
    void* buffer;
};

// Written only by the STOP button, read by the passes after every block.
extern std::atomic<int> stopRequested;

// What the run needs from the platform and from the progress dialog.
struct DiskOps {
    // CreateFileA with share mode 0, no security attributes and no template;
    // null where CreateFileA gives INVALID_HANDLE_VALUE.
    void* (*CreateFileA)(const char* name, uint32_t access, uint32_t disposition, uint32_t flags);
    int (*WriteFile)(void* file, const void* bytes, uint32_t count, uint32_t* done);
    int (*ReadFile)(void* file, void* bytes, uint32_t count, uint32_t* done);
    int (*CloseHandle)(void* file);
    int (*DeleteFileA)(const char* name);
    uint32_t (*GetTickCount)();
    int (*GetDiskFreeSpaceA)(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                             uint32_t* freeClusters, uint32_t* totalClusters);
    // VirtualAlloc with MEM_COMMIT, PAGE_READWRITE; VirtualFree with MEM_RELEASE.
    void* (*VirtualAlloc)(uint32_t bytes);
    int (*VirtualFree)(void* block);
    int (*QueryFreeSpace)(int driveIndex, uint32_t* freeBytes);
    void* (*GetCursor)();
    void* (*LoadWaitCursor)();
    void* (*SetCursor)(void* cursor);
    int (*ShowCursor)(int show);
    // A message box owned by the main dialog, type MB_OK.
    void (*MessageBoxA)(void* owner, const char* text, const char* caption);
    const char* (*LoadText)(int baseId);
    // Runs the progress dialog modally for the job and returns what it ended with.
    int (*RunProgressDialog)(void* owner, DiskJob* job);
    // The progress dialog's side, called on the worker thread.
    void (*ShowStatus)(DiskJob* job, const char* text);
    void (*ShowProgress)(DiskJob* job, int position);
    int (*StopRequested)();
    void (*PostFinished)(DiskJob* job);
};

void OnHddTestButtonWith(const DiskOps& ops, void* mainDialog, int driveIndex);
int RunDiskTestWith(const DiskOps& ops, void* owner, int driveIndex, uint32_t freeBytes, uint32_t* readMs,
                    uint32_t* writeMs);
int AllocTransferBufferWith(const DiskOps& ops, int driveIndex, void** buffer, uint32_t* bufferBytes);
int LaunchDiskJobWith(const DiskOps& ops, void* owner, int driveIndex, uint32_t* readMs, uint32_t* writeMs,
                      void* buffer, uint32_t bufferBytes, uint32_t freeBytes);
int MeasureDiskWith(const DiskOps& ops, DiskJob* job);
int WritePassWith(const DiskOps& ops, DiskJob* job);
int ReadPassWith(const DiskOps& ops, DiskJob* job);

// The worker thread's work: the measuring cycles, then the finished command.
// Returns the thread's exit code.
int DiskWorkerRun(const DiskOps& ops, DiskJob* job);

// The free bytes a run needs: 100 MiB in whole blocks.
uint32_t RequiredFreeBytes(uint32_t bufferBytes);

// The last progress position posted to the bar, and when; position -1
// before the first post of a run.
struct ProgressPosting {
    int position;
    uint32_t at;
};
enum : uint32_t { PROGRESS_INTERVAL_MS = 50 };
// Whether ShowProgress should post this position: always at the start of a
// pass, otherwise only when it moved and PROGRESS_INTERVAL_MS have passed.
// Records the post.
bool ProgressPostDue(ProgressPosting* last, int position, uint32_t now);

// Platform side.
extern const DiskOps platformDiskOps;
