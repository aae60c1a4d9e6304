// The HDD Test run against a scripted file system, tick counter and free-space
// source: sizing, requirement, name search, cycles, failures and STOP.
#include <stdint.h>
#include <string.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/machine_record.h"
#include "disktest/disk_run.h"
#include "disktest/disk_test.h"

namespace {

void* const kMainDialog = (void*)0xD1A1;
void* const kProgressDialog = (void*)0xD1A2;
void* const kWaitCursor = (void*)0xC0;
void* const kArrowCursor = (void*)0xC1;

const uint32_t kNoBuffering = FLAG_NO_BUFFERING | ATTRIBUTE_NORMAL;

struct Open {
    std::string name;
    uint32_t access, disposition, flags;
};

struct FakeDisk {
    // Script.
    bool diskQueryFails = false;
    uint32_t sectorsPerCluster = 8, bytesPerSector = 512;
    bool allocFails = false;
    bool freeQueryFails = false;
    uint32_t freeBytes = 0xFFFFFFFFu;
    std::vector<uint32_t> passMs;     // elapsed ticks of each pass, in order
    uint32_t firstTick = 5000;
    // 1-based numbers of the call that fails; 0 for none. Pass creates and
    // opens count separately from the name search's opens.
    int failCreate = 0, failOpen = 0;
    int failWrite = 0, shortWrite = 0, failRead = 0, shortRead = 0;
    int failPassClose = 0;  // the n-th close of a pass handle
    int stopAfterTransfer = 0;  // the STOP button pressed during this transfer
    enum { RUN_WORKER, DIALOG_FAILS, DIALOG_ENDS_AT_ONCE } dialog = RUN_WORKER;
    std::map<std::string, uint64_t> files;  // existing files and their sizes

    // Record.
    std::vector<std::string> log;
    std::vector<Open> opens;  // every CreateFileA
    std::map<intptr_t, std::string> handles;  // open handles
    std::set<intptr_t> passHandles;
    intptr_t nextHandle = 0x100;
    int passCreates = 0, passOpens = 0, writes = 0, reads = 0, passCloses = 0, transfers = 0;
    std::vector<std::string> deleted;
    size_t tickReads = 0;
    uint32_t tickNow = 0;
    bool stop = false;
    std::vector<std::string> statuses;
    std::vector<int> positions;
    std::vector<void*> statusWindows;
    int finishedPosts = 0;
    std::vector<void*> allocated;  // live VirtualAlloc blocks
    std::vector<uint32_t> allocSizes;
    std::string diskRoot;
    std::vector<void*> cursorsSet;
    int showCursorCalls = 0;
    std::vector<std::string> messages;
    std::vector<void*> messageOwners;
    DiskJob seenJob = {};  // as the dialog received it; its name lives only during the run
    std::string seenName;
    void* dialogOwner = nullptr;
    std::vector<uint8_t> block;
};
FakeDisk disk;

void* FakeCreateFile(const char* name, uint32_t access, uint32_t disposition, uint32_t flags)
{
    disk.opens.push_back(Open{name, access, disposition, flags});
    const bool passCall = (flags & FLAG_NO_BUFFERING) != 0;
    const bool creating = disposition == DISPOSITION_CREATE_ALWAYS;
    disk.log.push_back(creating ? "create" : passCall ? "open" : "probe");
    if (creating) {
        if (++disk.passCreates == disk.failCreate) return nullptr;
        disk.files[name] = 0;
    } else {
        if (passCall && ++disk.passOpens == disk.failOpen) return nullptr;
        if (disk.files.count(name) == 0) return nullptr;
    }
    const intptr_t handle = disk.nextHandle++;
    disk.handles[handle] = name;
    if (passCall) disk.passHandles.insert(handle);
    return (void*)handle;
}

// The block's transferred count, or -1 for a failed call.
int Transfer(int& calls, int failAt, int shortAt, uint32_t count)
{
    calls++;
    disk.transfers++;
    if (disk.transfers == disk.stopAfterTransfer) disk.stop = true;
    if (calls == failAt) return -1;
    return calls == shortAt ? (int)count - 512 : (int)count;
}

int FakeWriteFile(void* file, const void*, uint32_t count, uint32_t* done)
{
    disk.log.push_back("write");
    const int n = Transfer(disk.writes, disk.failWrite, disk.shortWrite, count);
    if (n < 0) return 0;
    *done = (uint32_t)n;
    disk.files[disk.handles.at((intptr_t)file)] += (uint32_t)n;
    return 1;
}

int FakeReadFile(void*, void*, uint32_t count, uint32_t* done)
{
    disk.log.push_back("read");
    const int n = Transfer(disk.reads, disk.failRead, disk.shortRead, count);
    if (n < 0) return 0;
    *done = (uint32_t)n;
    return 1;
}

int FakeCloseHandle(void* file)
{
    disk.log.push_back("close");
    const intptr_t handle = (intptr_t)file;
    EXPECT_EQ(1u, disk.handles.count(handle)) << "CloseHandle of a handle that is not open";
    disk.handles.erase(handle);
    if (disk.passHandles.erase(handle) != 0 && ++disk.passCloses == disk.failPassClose) return 0;
    return 1;
}

int FakeDeleteFile(const char* name)
{
    disk.log.push_back("delete");
    disk.deleted.push_back(name);
    return disk.files.erase(name) != 0 ? 1 : 0;
}

// Each pass reads the counter twice; the second reading lies its scripted
// time after the first.
uint32_t FakeGetTickCount()
{
    disk.log.push_back("tick");
    const size_t i = disk.tickReads++;
    if (i == 0) disk.tickNow = disk.firstTick;
    if (i % 2 == 1) {
        const size_t pass = i / 2;
        disk.tickNow += pass < disk.passMs.size() ? disk.passMs[pass] : 1000;
    } else if (i != 0) {
        disk.tickNow += 37;  // the close and open between passes take time too
    }
    return disk.tickNow;
}

DiskOps FakeDiskOps();

int FakeRunProgressDialog(void* owner, DiskJob* job)
{
    disk.log.push_back("dialog");
    disk.dialogOwner = owner;
    disk.seenJob = *job;
    disk.seenName = job->fileName;
    if (disk.dialog == FakeDisk::DIALOG_FAILS) return RESULT_NO_RESOURCE;
    if (disk.dialog == FakeDisk::DIALOG_ENDS_AT_ONCE) return 0;
    job->dialogWindow = kProgressDialog;
    static const DiskOps ops = FakeDiskOps();
    return DiskWorkerRun(ops, job);
}

DiskOps FakeDiskOps()
{
    DiskOps ops;
    ops.CreateFileA = FakeCreateFile;
    ops.WriteFile = FakeWriteFile;
    ops.ReadFile = FakeReadFile;
    ops.CloseHandle = FakeCloseHandle;
    ops.DeleteFileA = FakeDeleteFile;
    ops.GetTickCount = FakeGetTickCount;
    ops.GetDiskFreeSpaceA = [](const char* root, uint32_t* spc, uint32_t* bps, uint32_t* freeClusters,
                               uint32_t* totalClusters) {
        disk.diskRoot = root;
        if (disk.diskQueryFails) return 0;
        *spc = disk.sectorsPerCluster;
        *bps = disk.bytesPerSector;
        *freeClusters = 1000;
        *totalClusters = 2000;
        return 1;
    };
    ops.VirtualAlloc = [](uint32_t bytes) -> void* {
        disk.allocSizes.push_back(bytes);
        if (disk.allocFails) return nullptr;
        disk.block.assign(bytes, 0);
        disk.allocated.push_back(disk.block.data());
        return disk.block.data();
    };
    ops.VirtualFree = [](void* block) {
        for (size_t i = 0; i < disk.allocated.size(); i++) {
            if (disk.allocated[i] == block) {
                disk.allocated.erase(disk.allocated.begin() + (long)i);
                return 1;
            }
        }
        ADD_FAILURE() << "VirtualFree of a block that is not allocated";
        return 0;
    };
    ops.QueryFreeSpace = [](int, uint32_t* freeBytes) {
        if (disk.freeQueryFails) return (int)RESULT_DISK_FAILED;
        *freeBytes = disk.freeBytes;
        return 0;
    };
    ops.GetCursor = []() { return kArrowCursor; };
    ops.LoadWaitCursor = []() { return kWaitCursor; };
    ops.SetCursor = [](void* cursor) {
        disk.cursorsSet.push_back(cursor);
        return (void*)nullptr;
    };
    ops.ShowCursor = [](int) { return ++disk.showCursorCalls; };
    ops.MessageBoxA = [](void* owner, const char* text, const char* caption) {
        disk.messages.push_back(std::string(caption) + ": " + text);
        disk.messageOwners.push_back(owner);
    };
    ops.LoadText = [](int baseId) -> const char* {
        return baseId == TEXT_NEED_FREE_SPACE ? "You need more than 100MB of free disk space for testing" : "?";
    };
    ops.RunProgressDialog = FakeRunProgressDialog;
    ops.ShowStatus = [](DiskJob* job, const char* text) {
        disk.log.push_back(std::string("status ") + text);
        disk.statuses.push_back(text);
        disk.statusWindows.push_back(job->dialogWindow);
    };
    ops.ShowProgress = [](DiskJob*, int position) { disk.positions.push_back(position); };
    ops.StopRequested = []() { return disk.stop ? 1 : 0; };
    ops.PostFinished = [](DiskJob*) {
        disk.log.push_back("finished");
        disk.finishedPosts++;
    };
    return ops;
}

const DiskOps ops = FakeDiskOps();

class DiskRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        disk = FakeDisk();
        memset(&DiskTimes, 0, sizeof DiskTimes);
        LanguageOffset = 1000;
    }

    // What every run leaves behind, whatever its outcome.
    void ExpectNothingLeft()
    {
        EXPECT_TRUE(disk.handles.empty()) << disk.handles.size() << " handle(s) left open";
        EXPECT_TRUE(disk.allocated.empty()) << "transfer buffer not released";
        EXPECT_EQ(0u, disk.files.count("C:\\QVR00.dat")) << "test file left behind";
    }

    // The same after the button, which also restores the cursor.
    void ExpectCleanEnd()
    {
        ExpectNothingLeft();
        ASSERT_FALSE(disk.cursorsSet.empty());
        EXPECT_EQ(kWaitCursor, disk.cursorsSet.front());
        EXPECT_EQ(kArrowCursor, disk.cursorsSet.back()) << "cursor not restored";
    }

    int CountLog(const std::string& entry)
    {
        int n = 0;
        for (const std::string& e : disk.log) n += e == entry;
        return n;
    }

    // A job as LaunchDiskJob hands it to the worker, for the pass-level tests.
    DiskJob MakeJob()
    {
        disk.block.assign(98304, 0);
        return DiskJob{kProgressDialog, "C:\\QVR00.dat", 0, 0, 0, 98304, disk.block.data()};
    }
};

// ---- Transfer buffer and requirement ----------------------------------------

TEST_F(DiskRun, BufferAndBlockCountsFollowTheClusterSize)
{
    struct Case {
        uint32_t sectorsPerCluster, bytesPerSector;
        uint32_t bufferBytes, smallBlocks, largeBlocks, required;
    };
    const Case cases[] = {
        {1, 512, 98304, 213, 1066, 104792064},
        {8, 512, 98304, 213, 1066, 104792064},
        {64, 512, 98304, 213, 1066, 104792064},
        {128, 512, 65536, 320, 1600, 104857600},
        {16, 4096, 65536, 320, 1600, 104857600},
        {3, 512, 98304, 213, 1066, 104792064},    // 1536-byte clusters: 64 of them
        {1, 40000, 80000, 262, 1310, 104800000},  // not a divisor of 96 KiB: two clusters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sectorsPerCluster << " x " << c.bytesPerSector);
        SetUp();
        disk.sectorsPerCluster = c.sectorsPerCluster;
        disk.bytesPerSector = c.bytesPerSector;
        disk.passMs = {500, 500, 5000, 5000};  // both cycles
        OnHddTestButtonWith(ops, kMainDialog, 2);
        EXPECT_EQ("C:\\", disk.diskRoot);
        ASSERT_EQ(1u, disk.allocSizes.size());
        EXPECT_EQ(c.bufferBytes, disk.allocSizes[0]);
        EXPECT_EQ(c.bufferBytes, disk.seenJob.bufferBytes);
        EXPECT_EQ((int)(c.smallBlocks + c.largeBlocks), disk.writes);
        EXPECT_EQ((int)(c.smallBlocks + c.largeBlocks), disk.reads);
        EXPECT_EQ(c.required, RequiredFreeBytes(c.bufferBytes));
        EXPECT_EQ(1000u, DiskTimes.writeMs[2]);
        ExpectCleanEnd();
    }
}

TEST_F(DiskRun, FreeSpaceRequirementCountsWholeBlocks)
{
    struct Case {
        uint32_t freeBytes;
        bool runs;
    };
    const Case cases[] = {
        {104792064, true},    // exactly 1066 blocks of 96 KiB
        {104792063, false},   // one byte short
        {0xFFFFFFFFu, true},  // 4 GiB or more
        {0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.freeBytes);
        SetUp();
        disk.freeBytes = c.freeBytes;
        disk.passMs = {2000, 2000};
        OnHddTestButtonWith(ops, kMainDialog, 2);
        EXPECT_EQ(c.runs ? 1 : 0, CountLog("dialog"));
        if (c.runs) {
            EXPECT_TRUE(disk.messages.empty());
            EXPECT_EQ(2000u, DiskTimes.readMs[2]);
        } else {
            ASSERT_EQ(1u, disk.messages.size());
            EXPECT_EQ("Zephon Test: You need more than 100MB of free disk space for testing", disk.messages[0]);
            EXPECT_EQ(kMainDialog, disk.messageOwners[0]);
            EXPECT_TRUE(disk.opens.empty()) << "no file may be touched";
            EXPECT_EQ(0u, DiskTimes.readMs[2]);
        }
        ExpectCleanEnd();
    }
}

TEST_F(DiskRun, UnusableDiskAnswersEndQuietlyWithoutAllocating)
{
    struct Case {
        const char* what;
        bool queryFails;
        uint32_t sectorsPerCluster, bytesPerSector;
        int result;
    };
    const Case cases[] = {
        {"query fails", true, 8, 512, RESULT_DISK_FAILED},
        {"zero sectors per cluster", false, 0, 512, RESULT_DISK_FAILED},
        {"zero bytes per sector", false, 8, 0, RESULT_DISK_FAILED},
        {"cluster beyond 32 bits", false, 65536, 65536, RESULT_DISK_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        disk.diskQueryFails = c.queryFails;
        disk.sectorsPerCluster = c.sectorsPerCluster;
        disk.bytesPerSector = c.bytesPerSector;
        void* buffer = nullptr;
        uint32_t bytes = 0;
        EXPECT_EQ(c.result, AllocTransferBufferWith(ops, 2, &buffer, &bytes));
        EXPECT_TRUE(disk.allocSizes.empty());
        EXPECT_EQ(nullptr, buffer);
    }
}

TEST_F(DiskRun, FailedAllocationIsResult101AndStoresNothing)
{
    disk.allocFails = true;
    DiskTimes.readMs[2] = 77;
    DiskTimes.writeMs[2] = 88;
    uint32_t readMs = 1, writeMs = 1;
    EXPECT_EQ(RESULT_NO_RESOURCE, RunDiskTestWith(ops, kMainDialog, 2, 0xFFFFFFFFu, &readMs, &writeMs));
    EXPECT_EQ(0, CountLog("dialog"));
    OnHddTestButtonWith(ops, kMainDialog, 2);
    EXPECT_EQ(77u, DiskTimes.readMs[2]);
    EXPECT_EQ(88u, DiskTimes.writeMs[2]);
    EXPECT_TRUE(disk.messages.empty());
}

TEST_F(DiskRun, FailedFreeSpaceQueryEndsQuietly)
{
    disk.freeQueryFails = true;
    OnHddTestButtonWith(ops, kMainDialog, 2);
    EXPECT_TRUE(disk.allocSizes.empty());
    EXPECT_TRUE(disk.messages.empty());
    EXPECT_EQ(1, disk.showCursorCalls);
    ExpectCleanEnd();
}

// ---- Test file name ---------------------------------------------------------

TEST_F(DiskRun, FirstFreeNameIsUsedAndExistingFilesStayUntouched)
{
    for (int i = 0; i < 5; i++) disk.files["D:\\QVR0" + std::to_string(i) + ".dat"] = 1000 + i;
    disk.passMs = {2000, 2000};
    OnHddTestButtonWith(ops, kMainDialog, 3);
    EXPECT_EQ("D:\\QVR05.dat", disk.seenName);
    EXPECT_EQ(nullptr, disk.seenJob.dialogWindow);
    EXPECT_EQ(kMainDialog, disk.dialogOwner);
    for (int i = 0; i < 5; i++) {
        const std::string name = "D:\\QVR0" + std::to_string(i) + ".dat";
        ASSERT_EQ(1u, disk.files.count(name)) << name;
        EXPECT_EQ(1000u + i, disk.files[name]) << name;
    }
    EXPECT_EQ(5u, disk.files.size()) << "the test file QVR05 must be gone";
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(ACCESS_GENERIC_READ, disk.opens[i].access);
        EXPECT_EQ(DISPOSITION_OPEN_EXISTING, disk.opens[i].disposition);
        EXPECT_EQ(ATTRIBUTE_NORMAL, disk.opens[i].flags);
    }
    for (const std::string& d : disk.deleted) EXPECT_EQ("D:\\QVR05.dat", d);
    EXPECT_EQ(2000u, DiskTimes.writeMs[3]);
    EXPECT_TRUE(disk.handles.empty());
}

TEST_F(DiskRun, AllHundredNamesTakenIsResult103WithoutDialog)
{
    char name[16];
    for (int i = 0; i < 100; i++) {
        snprintf(name, sizeof name, "C:\\QVR%02d.dat", i);
        disk.files[name] = 1;
    }
    uint32_t readMs = 0, writeMs = 0;
    disk.block.assign(98304, 0);
    EXPECT_EQ(RESULT_NO_TEST_NAME,
              LaunchDiskJobWith(ops, kMainDialog, 2, &readMs, &writeMs, disk.block.data(), 98304, 0xFFFFFFFFu));
    EXPECT_EQ(100u, disk.opens.size());
    EXPECT_EQ("C:\\QVR99.dat", disk.opens.back().name);
    EXPECT_EQ(0, CountLog("dialog"));
    EXPECT_TRUE(disk.handles.empty()) << "every probe handle is closed at once";
    EXPECT_EQ(100u, disk.files.size());
    EXPECT_TRUE(disk.deleted.empty());
}

// ---- Cycles and timing --------------------------------------------------------

TEST_F(DiskRun, CyclesAndStoredTimes)
{
    struct Case {
        const char* what;
        std::vector<uint32_t> passMs;  // write, read[, write, read]
        uint32_t firstTick;
        uint32_t writeMs, readMs;
        int cycles;
    };
    const Case cases[] = {
        {"a short read leads to 100 MiB, divided by five", {1500, 999, 6000, 4999}, 5000, 1200, 999, 2},
        {"a short write too", {999, 1500, 5004, 7009}, 5000, 1000, 1401, 2},
        {"exactly 1000 ms is final", {1000, 1000}, 5000, 1000, 1000, 1},
        {"no bound after 100 MiB", {10, 10, 20, 30}, 5000, 4, 6, 2},
        {"the counter wraps during the write pass", {2500, 3000}, 0xFFFFFC00u, 2500, 3000, 1},
        {"and during a 100 MiB read pass", {100, 100, 900, 2000}, 0xFFFFF800u, 180, 400, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        disk.passMs = c.passMs;
        disk.firstTick = c.firstTick;
        OnHddTestButtonWith(ops, kMainDialog, 2);
        EXPECT_EQ(c.writeMs, DiskTimes.writeMs[2]);
        EXPECT_EQ(c.readMs, DiskTimes.readMs[2]);
        EXPECT_EQ(c.cycles, disk.passCreates);
        EXPECT_EQ(213 + (c.cycles == 2 ? 1066 : 0), disk.writes);
        std::vector<std::string> statuses;
        for (int i = 0; i < c.cycles; i++) {
            statuses.push_back("Testing Write performance");
            statuses.push_back("Testing Read performance");
        }
        EXPECT_EQ(statuses, disk.statuses);
        for (void* w : disk.statusWindows) EXPECT_EQ(kProgressDialog, w);
        EXPECT_EQ(1, disk.finishedPosts);
        EXPECT_EQ("finished", disk.log.back());
        ExpectCleanEnd();
    }
}

TEST_F(DiskRun, OnlyTheTransferLoopIsTimed)
{
    DiskJob job = MakeJob();
    job.testBytes = SMALL_TEST_BYTES;
    disk.passMs = {1234};
    ASSERT_EQ(0, WritePassWith(ops, &job));
    EXPECT_EQ(1234u, job.writeMs);
    std::vector<std::string> expected = {"create", "tick"};
    for (int i = 0; i < 213; i++) expected.push_back("write");
    expected.push_back("tick");
    expected.push_back("close");
    EXPECT_EQ(expected, disk.log) << "open and close lie outside the ticks; the file stays for reading";
    ASSERT_EQ(1u, disk.opens.size());
    EXPECT_EQ(ACCESS_GENERIC_WRITE, disk.opens[0].access);
    EXPECT_EQ(DISPOSITION_CREATE_ALWAYS, disk.opens[0].disposition);
    EXPECT_EQ(kNoBuffering, disk.opens[0].flags);
    EXPECT_EQ(20938752u, disk.files["C:\\QVR00.dat"]);

    disk.log.clear();
    ASSERT_EQ(0, ReadPassWith(ops, &job));
    expected[0] = "open";
    for (int i = 2; i < 215; i++) expected[i] = "read";
    expected.push_back("delete");
    EXPECT_EQ(expected, disk.log);
    EXPECT_EQ(ACCESS_GENERIC_READ, disk.opens[1].access);
    EXPECT_EQ(DISPOSITION_OPEN_EXISTING, disk.opens[1].disposition);
    EXPECT_EQ(kNoBuffering, disk.opens[1].flags);
    EXPECT_TRUE(disk.files.empty());
}

TEST_F(DiskRun, ProgressRestartsAtZeroAndClimbsBelowHundred)
{
    DiskJob job = MakeJob();
    job.testBytes = SMALL_TEST_BYTES;
    ASSERT_EQ(0, WritePassWith(ops, &job));
    ASSERT_EQ(214u, disk.positions.size());  // 0 before the create, then one per block
    EXPECT_EQ(0, disk.positions[0]);
    for (int k = 0; k < 213; k++) EXPECT_EQ(100 * k / 213, disk.positions[k + 1]) << "block " << k;
    EXPECT_EQ(99, disk.positions.back());
    disk.positions.clear();
    ASSERT_EQ(0, ReadPassWith(ops, &job));
    EXPECT_EQ(0, disk.positions.front());
    EXPECT_EQ(99, disk.positions.back());
}

// ---- Failures and STOP --------------------------------------------------------

TEST_F(DiskRun, FailureAtEachStepIs102WithTheFileDeleted)
{
    struct Case {
        const char* what;
        int FakeDisk::*step;
        int at;
        int deletes;  // the first cycle's read pass deletes the file too
    };
    const Case cases[] = {
        {"create (no file, nothing to delete)", &FakeDisk::failCreate, 1, 0},
        {"write", &FakeDisk::failWrite, 4, 1},
        {"short write", &FakeDisk::shortWrite, 213, 1},
        {"close after writing", &FakeDisk::failPassClose, 1, 1},
        {"open for reading", &FakeDisk::failOpen, 1, 1},
        {"read", &FakeDisk::failRead, 1, 1},
        {"short read", &FakeDisk::shortRead, 100, 1},
        {"close after reading", &FakeDisk::failPassClose, 2, 1},
        {"create of the 100 MiB cycle", &FakeDisk::failCreate, 2, 1},
        {"write of the 100 MiB cycle", &FakeDisk::failWrite, 213 + 1066, 2},
        {"read of the 100 MiB cycle", &FakeDisk::failRead, 214, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        DiskTimes.readMs[2] = 4321;
        DiskTimes.writeMs[2] = 1234;
        disk.passMs = {500, 500, 5000, 5000};
        disk.*c.step = c.at;
        uint32_t readMs = 0, writeMs = 0;
        EXPECT_EQ(RESULT_DISK_FAILED, RunDiskTestWith(ops, kMainDialog, 2, 0xFFFFFFFFu, &readMs, &writeMs));
        EXPECT_EQ(c.deletes, CountLog("delete"));
        EXPECT_EQ(1, disk.finishedPosts);
        ExpectNothingLeft();

        // Through the button: nothing stored, nothing shown.
        SetUp();
        DiskTimes.readMs[2] = 4321;
        DiskTimes.writeMs[2] = 1234;
        disk.passMs = {500, 500, 5000, 5000};
        disk.*c.step = c.at;
        OnHddTestButtonWith(ops, kMainDialog, 2);
        EXPECT_EQ(4321u, DiskTimes.readMs[2]);
        EXPECT_EQ(1234u, DiskTimes.writeMs[2]);
        EXPECT_TRUE(disk.messages.empty());
        ExpectCleanEnd();
    }
}

TEST_F(DiskRun, StopDuringAnyPassIs106AfterTheCurrentBlock)
{
    struct Case {
        const char* what;
        int stopDuringTransfer;  // counted over all writes and reads of the run
        int writes, reads;
    };
    const Case cases[] = {
        {"first write block", 1, 1, 0},
        {"20 MiB write pass", 100, 100, 0},
        {"last block of the 20 MiB write pass", 213, 213, 0},
        {"20 MiB read pass", 213 + 50, 213, 50},
        {"first write block of the 100 MiB cycle", 426 + 1, 214, 213},
        {"100 MiB read pass", 426 + 1066 + 1000, 213 + 1066, 213 + 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        DiskTimes.readMs[2] = 4321;
        DiskTimes.writeMs[2] = 1234;
        disk.passMs = {500, 500, 5000, 5000};
        disk.stopAfterTransfer = c.stopDuringTransfer;
        uint32_t readMs = 0, writeMs = 0;
        EXPECT_EQ(RESULT_STOPPED, RunDiskTestWith(ops, kMainDialog, 2, 0xFFFFFFFFu, &readMs, &writeMs));
        EXPECT_EQ(c.writes, disk.writes);
        EXPECT_EQ(c.reads, disk.reads);
        EXPECT_EQ(c.stopDuringTransfer > 426 ? 2 : 1, CountLog("delete"));
        ExpectNothingLeft();

        SetUp();
        DiskTimes.readMs[2] = 4321;
        DiskTimes.writeMs[2] = 1234;
        disk.passMs = {500, 500, 5000, 5000};
        disk.stopAfterTransfer = c.stopDuringTransfer;
        OnHddTestButtonWith(ops, kMainDialog, 2);
        EXPECT_EQ(4321u, DiskTimes.readMs[2]) << "earlier times kept";
        EXPECT_EQ(1234u, DiskTimes.writeMs[2]);
        EXPECT_TRUE(disk.messages.empty());
        ExpectCleanEnd();
    }
}

TEST_F(DiskRun, DialogThatRanNoWorkerStoresNothing)
{
    for (auto how : {FakeDisk::DIALOG_FAILS, FakeDisk::DIALOG_ENDS_AT_ONCE}) {
        SetUp();
        DiskTimes.readMs[2] = 4321;
        DiskTimes.writeMs[2] = 1234;
        disk.dialog = how;
        OnHddTestButtonWith(ops, kMainDialog, 2);
        EXPECT_EQ(4321u, DiskTimes.readMs[2]);
        EXPECT_EQ(1234u, DiskTimes.writeMs[2]);
        ExpectCleanEnd();
    }
}

TEST_F(DiskRun, DrivesKeepTheirOwnTimes)
{
    disk.passMs = {2000, 3000};
    OnHddTestButtonWith(ops, kMainDialog, 2);
    disk = FakeDisk();
    disk.passMs = {4000, 5000};
    OnHddTestButtonWith(ops, kMainDialog, 4);
    EXPECT_EQ(2000u, DiskTimes.writeMs[2]);
    EXPECT_EQ(3000u, DiskTimes.readMs[2]);
    EXPECT_EQ(4000u, DiskTimes.writeMs[4]);
    EXPECT_EQ(5000u, DiskTimes.readMs[4]);
    EXPECT_EQ("E:\\", disk.diskRoot);
    EXPECT_EQ("E:\\QVR00.dat", disk.seenName);
}

// ---- The worker on a real thread ------------------------------------------------

// A file system whose sixth write blocks until the STOP flag is set from
// another thread, as the STOP button sets it while a block is in flight.
std::atomic<int> workerWrites{0};
std::atomic<bool> blockEntered{false};
std::atomic<int> workerPosts{0};

TEST(DiskWorker, StopFromAnotherThreadIsSeenAfterTheCurrentBlock)
{
    disk = FakeDisk();
    workerWrites = 0;
    blockEntered = false;
    workerPosts = 0;
    stopRequested = 0;
    DiskOps threadOps = FakeDiskOps();
    threadOps.WriteFile = [](void* file, const void* bytes, uint32_t count, uint32_t* done) {
        if (++workerWrites == 6) {
            blockEntered = true;
            while (stopRequested.load() == 0) std::this_thread::yield();
        }
        return FakeWriteFile(file, bytes, count, done);
    };
    threadOps.StopRequested = []() { return stopRequested.load(); };
    threadOps.PostFinished = [](DiskJob*) { workerPosts++; };
    threadOps.ShowStatus = [](DiskJob*, const char*) {};
    threadOps.ShowProgress = [](DiskJob*, int) {};

    std::vector<uint8_t> block(98304);
    DiskJob job = {kProgressDialog, "C:\\QVR00.dat", 0, 0, 0, 98304, block.data()};
    int exitCode = -1;
    std::thread worker([&]() { exitCode = DiskWorkerRun(threadOps, &job); });
    while (!blockEntered.load()) std::this_thread::yield();
    EXPECT_EQ(6, workerWrites.load());
    stopRequested = 1;  // what the STOP button does on the user-interface thread
    worker.join();

    EXPECT_EQ(RESULT_STOPPED, exitCode);
    EXPECT_EQ(6, workerWrites.load()) << "no block after the one in flight";
    EXPECT_EQ(1, workerPosts.load());
    EXPECT_TRUE(disk.files.empty());
    EXPECT_TRUE(disk.handles.empty());
    stopRequested = 0;
}

}  // namespace

namespace {

// ---- Progress posts -------------------------------------------------------------

TEST(DiskProgress, PostsPassStartsAndAtMostTwentyMovesASecond)
{
    struct Step {
        int position;
        uint32_t now;
        bool posted;
    };
    const Step steps[] = {
        {0, 1000, true},          // first position of the run
        {0, 1001, false},         // the bar shows it already
        {1, 1010, false},         // moved, but too soon
        {2, 1050, true},          // 50 ms after the last post
        {2, 1200, false},
        {99, 1210, true},
        {0, 1211, true},          // a new pass restarts the bar at once
        {5, 1260, false},
        {6, 1261, true},
        {7, 0xFFFFFFF0u, true},
        {8, 0x00000010u, false},  // 32 ms later, across the wrap of the tick count
        {9, 0x00000022u, true},   // 50 ms later
    };
    ProgressPosting last = {-1, 0};
    for (const Step& s : steps) {
        EXPECT_EQ(s.posted, ProgressPostDue(&last, s.position, s.now)) << s.position << " at " << s.now;
    }
}

}  // namespace
