#include "disktest/disk_run.h"

#include "app/machine_record.h"
#include "app/text_format.h"
#include "disktest/disk_test.h"

std::atomic<int> stopRequested{0};

namespace {

const uint32_t kLargeCycleFactor = LARGE_TEST_BYTES / SMALL_TEST_BYTES;

// Transfers the pass's blocks; on 0, elapsed holds the ticks of the loop,
// which include the stop test and the progress message of every block.
int TransferBlocks(const DiskOps& ops, DiskJob* job, void* file, bool writing, uint32_t* elapsed)
{
    const uint32_t count = job->testBytes / job->bufferBytes;
    const uint32_t start = ops.GetTickCount();
    for (uint32_t k = 0; k < count; k++) {
        uint32_t done = 0;
        const int ok = writing ? ops.WriteFile(file, job->buffer, job->bufferBytes, &done)
                               : ops.ReadFile(file, job->buffer, job->bufferBytes, &done);
        if (!ok || done != job->bufferBytes) return RESULT_DISK_FAILED;
        if (ops.StopRequested()) return RESULT_STOPPED;
        // 100 × k stays far below 2^32: a block is at least 48 KiB, so count is at most 2133.
        ops.ShowProgress(job, (int)(100u * k / count));
    }
    // Read before the handle is closed: the close may still write the file's
    // size and allocation to the disk, which is no part of the transfer rate.
    *elapsed = ops.GetTickCount() - start;
    return 0;
}

// One pass over the test file. The write pass leaves the file for the read
// pass; every other way out of a pass deletes it.
int RunPass(const DiskOps& ops, DiskJob* job, bool writing, uint32_t* elapsed)
{
    ops.ShowProgress(job, 0);
    void* file = writing ? ops.CreateFileA(job->fileName, ACCESS_GENERIC_WRITE, DISPOSITION_CREATE_ALWAYS,
                                           FLAG_NO_BUFFERING | ATTRIBUTE_NORMAL)
                         : ops.CreateFileA(job->fileName, ACCESS_GENERIC_READ, DISPOSITION_OPEN_EXISTING,
                                           FLAG_NO_BUFFERING | ATTRIBUTE_NORMAL);
    if (file == nullptr) {
        // A failed create made no file; a failed open may have met one.
        if (!writing) ops.DeleteFileA(job->fileName);
        return RESULT_DISK_FAILED;
    }
    int result = TransferBlocks(ops, job, file, writing, elapsed);
    if (!ops.CloseHandle(file) && result == 0) result = RESULT_DISK_FAILED;
    if (result != 0 || !writing) ops.DeleteFileA(job->fileName);
    return result;
}

}  // namespace

uint32_t RequiredFreeBytes(uint32_t bufferBytes)
{
    return LARGE_TEST_BYTES / bufferBytes * bufferBytes;
}

bool ProgressPostDue(ProgressPosting* last, int position, uint32_t now)
{
    if (position == last->position) return false;
    const bool restarted = position < last->position;
    if (!restarted && last->position >= 0 && now - last->at < PROGRESS_INTERVAL_MS) return false;
    last->position = position;
    last->at = now;
    return true;
}

int WritePassWith(const DiskOps& ops, DiskJob* job)
{
    uint32_t elapsed = 0;
    const int result = RunPass(ops, job, true, &elapsed);
    if (result == 0) job->writeMs = elapsed;
    return result;
}

int ReadPassWith(const DiskOps& ops, DiskJob* job)
{
    uint32_t elapsed = 0;
    const int result = RunPass(ops, job, false, &elapsed);
    if (result == 0) job->readMs = elapsed;
    return result;
}

int MeasureDiskWith(const DiskOps& ops, DiskJob* job)
{
    job->testBytes = SMALL_TEST_BYTES;
    for (;;) {
        ops.ShowStatus(job, "Testing Write performance");
        int result = WritePassWith(ops, job);
        if (result != 0) return result;
        ops.ShowStatus(job, "Testing Read performance");
        result = ReadPassWith(ops, job);
        if (result != 0) return result;
        if (job->testBytes == LARGE_TEST_BYTES) {
            job->readMs /= kLargeCycleFactor;
            job->writeMs /= kLargeCycleFactor;
            return 0;
        }
        if (job->readMs >= SHORT_PASS_MS && job->writeMs >= SHORT_PASS_MS) return 0;
        job->testBytes = LARGE_TEST_BYTES;
    }
}

int DiskWorkerRun(const DiskOps& ops, DiskJob* job)
{
    const int result = MeasureDiskWith(ops, job);
    // After the last status text: the dialog waits for this thread only once
    // the finished command has arrived, and a status text is a sent message.
    ops.PostFinished(job);
    return result;
}

int AllocTransferBufferWith(const DiskOps& ops, int driveIndex, void** buffer, uint32_t* bufferBytes)
{
    char root[4];
    DriveRootPath(driveIndex, root);
    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!ops.GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
        return RESULT_DISK_FAILED;
    }
    // A drive that reports no cluster size (or one beyond 32 bits) cannot be
    // sized for unbuffered transfers; it counts as a failed disk query.
    const uint64_t cluster = (uint64_t)sectorsPerCluster * bytesPerSector;
    if (cluster == 0 || cluster > 0xFFFFFFFFu) return RESULT_DISK_FAILED;
    const uint32_t clusterBytes = (uint32_t)cluster;
    const uint32_t bytes =
        clusterBytes < LARGEST_BLOCK_BYTES ? clusterBytes * (LARGEST_BLOCK_BYTES / clusterBytes) : clusterBytes;
    void* block = ops.VirtualAlloc(bytes);
    if (block == nullptr) return RESULT_NO_RESOURCE;
    *buffer = block;
    *bufferBytes = bytes;
    return 0;
}

int LaunchDiskJobWith(const DiskOps& ops, void* owner, int driveIndex, uint32_t* readMs, uint32_t* writeMs,
                      void* buffer, uint32_t bufferBytes, uint32_t freeBytes)
{
    if (RequiredFreeBytes(bufferBytes) > freeBytes) return RESULT_LOW_FREE_SPACE;
    char name[16];
    bool found = false;
    for (int i = 0; i < 100 && !found; i++) {
        FormatText(name, sizeof name, "%c:\\QVR%02d.dat", 'A' + driveIndex, i);
        void* existing = ops.CreateFileA(name, ACCESS_GENERIC_READ, DISPOSITION_OPEN_EXISTING, ATTRIBUTE_NORMAL);
        if (existing == nullptr) {
            found = true;
        } else {
            ops.CloseHandle(existing);
        }
    }
    if (!found) return RESULT_NO_TEST_NAME;
    DiskJob job = {nullptr, name, 0, 0, 0, bufferBytes, buffer};
    int result = ops.RunProgressDialog(owner, &job);
    // Only the worker sets testBytes: a 0 from a dialog that never ran one
    // (DialogBoxParamA gives 0 for a bad owner) must not store two zero times.
    if (result == 0 && job.testBytes == 0) result = RESULT_NO_RESOURCE;
    *readMs = job.readMs;
    *writeMs = job.writeMs;
    return result;
}

int RunDiskTestWith(const DiskOps& ops, void* owner, int driveIndex, uint32_t freeBytes, uint32_t* readMs,
                    uint32_t* writeMs)
{
    void* buffer = nullptr;
    uint32_t bufferBytes = 0;
    const int allocated = AllocTransferBufferWith(ops, driveIndex, &buffer, &bufferBytes);
    if (allocated != 0) return allocated;
    const int result = LaunchDiskJobWith(ops, owner, driveIndex, readMs, writeMs, buffer, bufferBytes, freeBytes);
    ops.VirtualFree(buffer);
    return result;
}

void OnHddTestButtonWith(const DiskOps& ops, void* mainDialog, int driveIndex)
{
    void* previousCursor = ops.GetCursor();
    ops.SetCursor(ops.LoadWaitCursor());
    ops.ShowCursor(1);
    uint32_t freeBytes = 0;
    if (ops.QueryFreeSpace(driveIndex, &freeBytes) == 0) {
        uint32_t readMs = 0, writeMs = 0;
        const int result = RunDiskTestWith(ops, mainDialog, driveIndex, freeBytes, &readMs, &writeMs);
        if (result == 0) {
            DiskTimes.readMs[driveIndex] = readMs;
            DiskTimes.writeMs[driveIndex] = writeMs;
        } else if (result == RESULT_LOW_FREE_SPACE) {
            ops.MessageBoxA(mainDialog, ops.LoadText(TEXT_NEED_FREE_SPACE), programTitle);
        }
    }
    ops.SetCursor(previousCursor);
}
