#include <gtest/gtest.h>

#include <string>

#include "disktest/drives.h"
#include "tests/unit/fakes.h"

namespace {

const unsigned kUnknown = 0, kNoRoot = 1, kRemovable = 2, kFixed = 3, kRemote = 4, kCdrom = 5, kRamdisk = 6;

class DriveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        fakeDrives = FakeDrives();
    }

    void SetFixed(std::initializer_list<int> drives)
    {
        for (int d : drives) fakeDrives.driveTypes[d] = kFixed;
    }

    // The letters the combo box lists, in list order.
    std::string ComboLetters(int32_t languageOffset)
    {
        std::string letters;
        const int slot = DriveLabelSlot(languageOffset);
        for (int i = 0; i < DriveList.rowCount; i++) {
            if (DriveList.rows[i].fixed == 1) letters += DriveList.rows[i].label[slot];
        }
        return letters;
    }
};

TEST_F(DriveTest, TableHasOneRowPerLetter)
{
    for (int i = 0; i < DRIVE_COUNT; i++) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        const std::string letter(1, (char)('A' + i));
        EXPECT_EQ(i, DriveRows[i].driveIndex);
        for (const char* label : DriveRows[i].label) EXPECT_EQ(letter, label);
        EXPECT_EQ(0, DriveRows[i].reserved);
    }
}

TEST_F(DriveTest, ClassifiesEveryRootPath)
{
    SetFixed({2});
    ASSERT_EQ(1, CollectDrivesWith(FakeDriveOps()));
    ASSERT_EQ(26u, fakeDrives.typeRoots.size());
    for (int i = 0; i < DRIVE_COUNT; i++) EXPECT_EQ(std::string(1, (char)('A' + i)) + ":\\", fakeDrives.typeRoots[i]);
}

TEST_F(DriveTest, FixedDrivesCAndE)
{
    SetFixed({2, 4});
    fakeDrives.driveTypes[0] = kRemovable;
    fakeDrives.driveTypes[3] = kCdrom;
    ASSERT_EQ(1, CollectDrivesWith(FakeDriveOps()));
    EXPECT_EQ(2, DriveList.selected);
    EXPECT_EQ(301, DriveList.comboId);
    EXPECT_EQ(26, DriveList.rowCount);
    EXPECT_EQ(DriveRows, DriveList.rows);
    for (int i = 0; i < DRIVE_COUNT; i++) EXPECT_EQ(i == 2 || i == 4 ? 1 : 0, DriveRows[i].fixed) << "row " << i;

    EXPECT_EQ("CE", ComboLetters(0));
    EXPECT_EQ("CE", ComboLetters(1000));
    EXPECT_EQ(0, ComboPositionOfSelected(DriveList));
    EXPECT_EQ(2, DriveAtComboPosition(DriveList, 0));
    EXPECT_EQ(4, DriveAtComboPosition(DriveList, 1));
    EXPECT_EQ(-1, DriveAtComboPosition(DriveList, 2));
    EXPECT_EQ(-1, DriveAtComboPosition(DriveList, -1));  // CB_ERR: nothing selected

    DriveList.selected = DriveAtComboPosition(DriveList, 1);
    EXPECT_EQ(1, ComboPositionOfSelected(DriveList));
    // A selection outside the list preselects the first entry.
    DriveList.selected = 3;
    EXPECT_EQ(0, ComboPositionOfSelected(DriveList));
}

TEST_F(DriveTest, OnlyD)
{
    SetFixed({3});
    ASSERT_EQ(1, CollectDrivesWith(FakeDriveOps()));
    EXPECT_EQ(3, DriveList.selected);
    EXPECT_EQ("D", ComboLetters(0));
    EXPECT_EQ(0, ComboPositionOfSelected(DriveList));
    EXPECT_EQ(3, DriveAtComboPosition(DriveList, 0));
    EXPECT_EQ(-1, DriveAtComboPosition(DriveList, 1));
}

TEST_F(DriveTest, LastLetterAlone)
{
    SetFixed({25});
    ASSERT_EQ(1, CollectDrivesWith(FakeDriveOps()));
    EXPECT_EQ(25, DriveList.selected);
    EXPECT_EQ("Z", ComboLetters(1000));
}

TEST_F(DriveTest, EveryOtherDriveTypeIsNotFixed)
{
    for (unsigned type : {kUnknown, kNoRoot, kRemovable, kRemote, kCdrom, kRamdisk, 7u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(testing::Message() << "drive type " << type);
        ResetProcessState();
        fakeDrives = FakeDrives();
        for (unsigned& t : fakeDrives.driveTypes) t = type;
        // Whatever the list held before stays as it was.
        DriveList.selected = 7;
        DriveList.comboId = 99;
        DriveList.rowCount = 5;
        DriveList.rows = nullptr;
        EXPECT_EQ(0, CollectDrivesWith(FakeDriveOps()));
        EXPECT_EQ(7, DriveList.selected);
        EXPECT_EQ(99, DriveList.comboId);
        EXPECT_EQ(5, DriveList.rowCount);
        EXPECT_EQ(nullptr, DriveList.rows);
        for (const DriveEntry& row : DriveRows) EXPECT_EQ(0, row.fixed);

        // Beside one fixed drive, such drives stay out of the list.
        fakeDrives.driveTypes[5] = kFixed;
        EXPECT_EQ(1, CollectDrivesWith(FakeDriveOps()));
        EXPECT_EQ(5, DriveList.selected);
        EXPECT_EQ("F", ComboLetters(0));
    }
}

TEST_F(DriveTest, CollectingAgainClearsDrivesThatAreGone)
{
    SetFixed({2, 4});
    ASSERT_EQ(1, CollectDrivesWith(FakeDriveOps()));
    fakeDrives = FakeDrives();
    SetFixed({3});
    ASSERT_EQ(1, CollectDrivesWith(FakeDriveOps()));
    EXPECT_EQ("D", ComboLetters(0));
    EXPECT_EQ(3, DriveList.selected);
}

TEST(DriveLabelSlot, JapaneseSlotZeroEveryOtherSlotOne)
{
    EXPECT_EQ(0, DriveLabelSlot(0));
    EXPECT_EQ(1, DriveLabelSlot(1000));
}

// ---- The start-up probe ----------------------------------------------------

TEST_F(DriveTest, ProbeFindsTheExtendedCall)
{
    const struct {
        const char* what;
        bool loadFails, procMissing;
        int hasEx, procLookups;
    } cases[] = {
        {"kernel32 not loaded", true, false, 0, 0},
        {"no GetDiskFreeSpaceExA", false, true, 0, 1},
        {"found", false, false, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProcessState();
        fakeDrives = FakeDrives();
        fakeDrives.loadLibraryFails = c.loadFails;
        fakeDrives.procAddressMissing = c.procMissing;
        hasFreeSpaceEx = 1 - c.hasEx;  // the probe sets it either way
        ProbeFreeSpaceExWith(FakeDriveOps());
        EXPECT_EQ(c.hasEx, hasFreeSpaceEx);
        EXPECT_EQ(std::vector<std::string>{"kernel32.dll"}, fakeDrives.libraryNames);
        EXPECT_EQ(c.procLookups, CountCalls("GetProcAddress"));
        for (const std::string& name : fakeDrives.procNames) EXPECT_EQ("GetDiskFreeSpaceExA", name);
        for (void* module : fakeDrives.procModules) EXPECT_EQ((void*)0x1000, module);
        EXPECT_EQ(c.loadFails ? 0 : 1, CountCalls("FreeLibrary"));
        ExpectModulesBalanced();
    }
}

// ---- The free-space query --------------------------------------------------

struct QueryCase {
    const char* what;
    int hasEx;
    bool loadFails, procMissing, exFails;
    uint64_t callerFree;
    bool oldFails;
    uint32_t spc, bps, clusters;
    int result;
    uint32_t bytes;
    bool exCalled, oldCalled;
};

const uint64_t GiB = 1ull << 30;

void RunQuery(const QueryCase& c)
{
    SCOPED_TRACE(c.what);
    ResetProcessState();
    fakeDrives = FakeDrives();
    hasFreeSpaceEx = c.hasEx;
    fakeDrives.loadLibraryFails = c.loadFails;
    fakeDrives.procAddressMissing = c.procMissing;
    fakeDrives.freeSpaceExFails = c.exFails;
    fakeDrives.callerFreeBytes = c.callerFree;
    fakeDrives.freeSpaceFails = c.oldFails;
    fakeDrives.sectorsPerCluster = c.spc;
    fakeDrives.bytesPerSector = c.bps;
    fakeDrives.freeClusters = c.clusters;
    fakeDrives.totalClusters = 0xFFFFFFFF;  // the total never enters the figure

    uint32_t bytes = 0x12345678;
    EXPECT_EQ(c.result, QueryFreeSpaceWith(FakeDriveOps(), 4, &bytes));
    if (c.result == 0) {
        EXPECT_EQ(c.bytes, bytes);
    }
    EXPECT_EQ(c.exCalled ? 1 : 0, CountCalls("GetDiskFreeSpaceExA"));
    EXPECT_EQ(c.oldCalled ? 1 : 0, CountCalls("GetDiskFreeSpaceA"));
    for (const std::string& root : fakeDrives.exRoots) EXPECT_EQ("E:\\", root);
    for (const std::string& root : fakeDrives.oldRoots) EXPECT_EQ("E:\\", root);
    for (void* function : fakeDrives.exFunctions) EXPECT_EQ(fakeFreeSpaceExFunction, function);
    for (const std::string& name : fakeDrives.libraryNames) EXPECT_EQ("kernel32.dll", name);
    for (const std::string& name : fakeDrives.procNames) EXPECT_EQ("GetDiskFreeSpaceExA", name);
    EXPECT_EQ(c.hasEx == 1 ? 1 : 0, CountCalls("LoadLibraryA"));
    ExpectModulesBalanced();
}

TEST(QueryFreeSpace, PathsAndFallbacks)
{
    const QueryCase cases[] = {
        {"extended call", 1, false, false, false, 3 * GiB, false, 64, 512, 1000, 0, 3u << 30, true, false},
        {"no extended call at start-up", 0, false, false, false, 3 * GiB, false, 64, 512, 1000, 0, 32768000, false,
         true},
        {"extended call fails: no second try", 1, false, false, true, 0, false, 64, 512, 1000, 102, 0, true, false},
        {"GetProcAddress null", 1, false, true, false, 3 * GiB, false, 64, 512, 1000, 0, 32768000, false, true},
        {"LoadLibrary null", 1, true, false, false, 3 * GiB, false, 64, 512, 1000, 0, 32768000, false, true},
        {"old call fails", 0, false, false, false, 0, true, 64, 512, 1000, 102, 0, false, true},
        {"old call fails after LoadLibrary null", 1, true, false, false, 0, true, 64, 512, 1000, 102, 0, false, true},
        {"old call fails after GetProcAddress null", 1, false, true, false, 0, true, 64, 512, 1000, 102, 0, false,
         true},
    };
    for (const QueryCase& c : cases) RunQuery(c);
}

TEST(QueryFreeSpace, ExtendedFigureLimitedTo32Bits)
{
    const struct {
        uint64_t callerFree;
        uint32_t bytes;
    } cases[] = {
        {5 * GiB, 0xFFFFFFFFu},
        {3 * GiB, 3u << 30},
        {4 * GiB, 0xFFFFFFFFu},
        {4 * GiB - 1, 0xFFFFFFFFu},
        {4 * GiB - 2, 0xFFFFFFFEu},
        {4 * GiB + 5, 0xFFFFFFFFu},  // not the low word 5
        {0, 0},
        {0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        const std::string what = "caller free " + std::to_string(c.callerFree);
        RunQuery({what.c_str(), 1, false, false, false, c.callerFree, false, 1, 1, 1, 0, c.bytes, true, false});
    }
}

TEST(QueryFreeSpace, OldFigureComputedWithoutOverflow)
{
    const struct {
        uint32_t spc, bps, clusters, bytes;
    } cases[] = {
        {64, 512, 1000, 32768000},
        {8, 512, 1048576, 0xFFFFFFFFu},   // exactly 4 GiB
        {8, 512, 1048575, 0xFFFFF000u},   // 4 GiB less one cluster
        {1, 1, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {64, 512, 200000, 0xFFFFFFFFu},   // 6.1 GiB: wraps to a small number in 32 bits
        {0x10000, 0x10000, 0x10000, 0xFFFFFFFFu},
        // 2^62 bytes per cluster times 4 is 2^64, which wraps to 0 even in 64 bits.
        {0x80000000u, 0x80000000u, 4, 0xFFFFFFFFu},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {64, 512, 0, 0},
        {0, 512, 1000, 0},
        {0, 0, 0xFFFFFFFFu, 0},
    };
    for (const auto& c : cases) {
        const std::string what = std::to_string(c.spc) + " x " + std::to_string(c.bps) + " x " +
                                 std::to_string(c.clusters);
        RunQuery({what.c_str(), 0, false, false, false, 0, false, c.spc, c.bps, c.clusters, 0, c.bytes, false, true});
    }
}

}  // namespace
