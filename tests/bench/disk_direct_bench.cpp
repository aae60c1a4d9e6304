// The disk test's own pass logic (MeasureDisk, WritePass, ReadPass) over a
// native POSIX adapter that opens the test file with O_DIRECT, the Linux
// counterpart of FILE_FLAG_NO_BUFFERING, so that its figures can be set
// beside a direct-I/O reference on the same file system.
//
// usage: disk_direct_bench DIRECTORY [buffered]
// Prints one line per measured cycle and the stored result.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "disktest/disk_run.h"
#include "disktest/disk_results.h"

namespace {

bool direct = true;
std::string directory;
uint32_t lastCycleBytes, blockBytes;

void* OpenFile(const char* name, uint32_t access, uint32_t disposition, uint32_t flags)
{
    // The job's name is "X:\QVRnn.dat"; the file lies in the directory given.
    const char* base = strrchr(name, '\\');
    const std::string path = directory + "/" + (base != nullptr ? base + 1 : name);
    int mode = (access & ACCESS_GENERIC_WRITE) != 0 ? O_WRONLY : O_RDONLY;
    if (disposition == DISPOSITION_CREATE_ALWAYS) mode |= O_CREAT | O_TRUNC;
    if (direct && (flags & FLAG_NO_BUFFERING) != 0) mode |= O_DIRECT;
    const int fd = open(path.c_str(), mode, 0644);
    return fd < 0 ? nullptr : (void*)(intptr_t)(fd + 1);
}

int Fd(void* file)
{
    return (int)(intptr_t)file - 1;
}

int DeleteFile(const char* name)
{
    const char* base = strrchr(name, '\\');
    return unlink((directory + "/" + (base != nullptr ? base + 1 : name)).c_str()) == 0 ? 1 : 0;
}

uint32_t TickCount()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)((uint64_t)t.tv_sec * 1000 + (uint64_t)t.tv_nsec / 1000000);
}

int DiskFreeSpace(const char*, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector, uint32_t* freeClusters,
                  uint32_t* totalClusters)
{
    struct statvfs s;
    if (statvfs(directory.c_str(), &s) != 0) return 0;
    // Wine reports 512-byte sectors, 8 to the cluster; the same here.
    *sectorsPerCluster = 8;
    *bytesPerSector = 512;
    const uint64_t free = (uint64_t)s.f_bavail * s.f_frsize / 4096;
    *freeClusters = free > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)free;
    *totalClusters = *freeClusters;
    return 1;
}

void* AlignedAlloc(uint32_t bytes)
{
    void* block = nullptr;
    if (posix_memalign(&block, 4096, bytes) != 0) return nullptr;
    memset(block, 0, bytes);
    return block;
}

const DiskOps benchOps = {
    OpenFile,
    [](void* file, const void* bytes, uint32_t count, uint32_t* done) {
        const ssize_t n = write(Fd(file), bytes, count);
        *done = n < 0 ? 0 : (uint32_t)n;
        return n < 0 ? 0 : 1;
    },
    [](void* file, void* bytes, uint32_t count, uint32_t* done) {
        const ssize_t n = read(Fd(file), bytes, count);
        *done = n < 0 ? 0 : (uint32_t)n;
        return n < 0 ? 0 : 1;
    },
    [](void* file) { return close(Fd(file)) == 0 ? 1 : 0; },
    DeleteFile,
    TickCount,
    DiskFreeSpace,
    AlignedAlloc,
    [](void* block) {
        free(block);
        return 1;
    },
    [](int, uint32_t* freeBytes) {
        *freeBytes = 0xFFFFFFFFu;
        return 0;
    },
    []() -> void* { return nullptr; },
    []() -> void* { return nullptr; },
    [](void*) -> void* { return nullptr; },
    [](int) { return 0; },
    [](void*, const char* text, const char*) { fprintf(stderr, "message: %s\n", text); },
    [](int) -> const char* { return "You need more than 100MB of free disk space for testing"; },
    [](void*, DiskJob* job) { return DiskWorkerRun(benchOps, job); },
    [](DiskJob* job, const char* text) {
        lastCycleBytes = job->testBytes;
        blockBytes = job->bufferBytes;
        printf("status %s (%u bytes)\n", text, job->testBytes);
        fflush(stdout);
    },
    [](DiskJob*, int) {},
    []() { return 0; },
    [](DiskJob*) {},
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: disk_direct_bench DIRECTORY [buffered]\n");
        return 2;
    }
    directory = argv[1];
    direct = !(argc > 2 && strcmp(argv[2], "buffered") == 0);
    uint32_t readMs = 0, writeMs = 0;
    const int result = RunDiskTestWith(benchOps, nullptr, 3, 0xFFFFFFFFu, &readMs, &writeMs);
    if (result != 0) {
        fprintf(stderr, "run ended with %d\n", result);
        return 1;
    }
    printf("direct %d\n", direct ? 1 : 0);
    printf("block_bytes %u\n", blockBytes);
    printf("cycle_bytes %u\n", lastCycleBytes);
    printf("write_ms_per_20MiB %u\n", writeMs);
    printf("read_ms_per_20MiB %u\n", readMs);
    printf("write_kbps %.1f\n", RateKBps(writeMs));
    printf("read_kbps %.1f\n", RateKBps(readMs));
    return 0;
}
