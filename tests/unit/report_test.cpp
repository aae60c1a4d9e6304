#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/report.h"
#include "app/text_format.h"
#include "tests/unit/fakes.h"

namespace {

void* const kDialog = (void*)0xD1A;

// The English Windows 98 machine of the report example.
void SetWindows98Machine()
{
    CopyText(MachineInfo.windowsText, sizeof MachineInfo.windowsText, "Windows 98 \nVersion 4.10.1998");
    CopyText(MachineInfo.windowsLine, sizeof MachineInfo.windowsLine, "Windows 98 Version 4.10.1998");
    MachineInfo.isNt = 0;
    CopyText(MachineInfo.processorText, sizeof MachineInfo.processorText, "Pentium II 400MHz");
    MachineInfo.totalMemory = (128u << 20) + 12345;  // the odd bytes are shifted away
    CopyText(MachineInfo.pciBiosText, sizeof MachineInfo.pciBiosText, "2.1");
    CopyText(MachineInfo.chipsetText, sizeof MachineInfo.chipsetText, "Intel 82443BX");
    CopyText(MachineInfo.latencyText, sizeof MachineInfo.latencyText, "32");
    MachineInfo.overlayState = OVERLAY_STATE_NOT_TESTED;
}

void SetWindows2000Machine()
{
    CopyText(MachineInfo.windowsLine, sizeof MachineInfo.windowsLine, "Windows 2000 (Build 2195: Service Pack 2)");
    MachineInfo.isNt = 1;
    CopyText(MachineInfo.processorText, sizeof MachineInfo.processorText, "Dual Pentium III 1GHz");
    MachineInfo.totalMemory = 512u << 20;
    CopyText(MachineInfo.pciBiosText, sizeof MachineInfo.pciBiosText, "N/A");
    CopyText(MachineInfo.chipsetText, sizeof MachineInfo.chipsetText, "ServerWorks ServerSet III LE");
    CopyText(MachineInfo.latencyText, sizeof MachineInfo.latencyText, "64");
    MachineInfo.overlayState = OVERLAY_STATE_SUPPORTED;
}

// One entry per write, as the report makes them.
const std::vector<std::string> kWindows98Lines = {
    "Zephon Test version 1.05.000\r\n\r\n",
    "------------ Overlay Info\r\n",
    "Not tested\r\n\r\n",
    "------------ Machine Info\r\n",
    "Windows:            Windows 98 Version 4.10.1998\r\n",
    "Computer:           Pentium II 400MHz 128MBytes\r\n",
    "PCI BIOS Version:   2.1\r\n",
    "Chip Set:           Intel 82443BX\r\n",
    "PCI Latency Timer:  32\r\n",
    "\r\n",
};

const std::vector<std::string> kWindows2000Lines = {
    "Zephon Test version 1.05.000\r\n\r\n",
    "------------ Overlay Info\r\n",
    "Overlay supported\r\n\r\n",
    "------------ Machine Info\r\n",
    "Windows:            Windows 2000 (Build 2195: Service Pack 2)\r\n",
    "Computer:           Dual Pentium III 1GHz 512MBytes\r\n",
    "Chip Set:           ServerWorks ServerSet III LE\r\n",
    "PCI Latency Timer:  64\r\n",
    "\r\n",
};

class Report : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        fakeReport = FakeReport();
        fakeDirectory = FakeDirectory();
    }

    void Save() { SaveInfoReportWith(FakeReportOps(), kDialog); }
};

TEST_F(Report, Windows9xFamilyFile)
{
    SetWindows98Machine();
    Save();
    const std::string expected =
        "Zephon Test version 1.05.000\r\n"
        "\r\n"
        "------------ Overlay Info\r\n"
        "Not tested\r\n"
        "\r\n"
        "------------ Machine Info\r\n"
        "Windows:            Windows 98 Version 4.10.1998\r\n"
        "Computer:           Pentium II 400MHz 128MBytes\r\n"
        "PCI BIOS Version:   2.1\r\n"
        "Chip Set:           Intel 82443BX\r\n"
        "PCI Latency Timer:  32\r\n"
        "\r\n";
    EXPECT_EQ(expected, AllWrittenBytes());
    EXPECT_EQ(kWindows98Lines, fakeReport.writes);
    EXPECT_EQ(std::vector<std::string>{"zphtest.txt"}, fakeReport.createdPaths);
    for (void* handle : fakeReport.writeHandles) EXPECT_EQ(fakeReportFile, handle);
    EXPECT_EQ(std::vector<void*>{fakeReportFile}, fakeReport.closedHandles);
    EXPECT_TRUE(fakeReport.messages.empty());
}

TEST_F(Report, NtFamilyFileHasNoPciBiosLine)
{
    SetWindows2000Machine();
    Save();
    const std::string expected =
        "Zephon Test version 1.05.000\r\n"
        "\r\n"
        "------------ Overlay Info\r\n"
        "Overlay supported\r\n"
        "\r\n"
        "------------ Machine Info\r\n"
        "Windows:            Windows 2000 (Build 2195: Service Pack 2)\r\n"
        "Computer:           Dual Pentium III 1GHz 512MBytes\r\n"
        "Chip Set:           ServerWorks ServerSet III LE\r\n"
        "PCI Latency Timer:  64\r\n"
        "\r\n";
    EXPECT_EQ(expected, AllWrittenBytes());
    EXPECT_EQ(kWindows2000Lines, fakeReport.writes);
    EXPECT_EQ(1u, fakeReport.closedHandles.size());
    EXPECT_TRUE(fakeReport.messages.empty());
}

TEST_F(Report, StatusLineIsTheTextOfTheOverlayState)
{
    const struct {
        OverlayState state;
        const char* line;
    } cases[] = {
        {0, "Not tested\r\n\r\n"},
        {1, "Overlay supported\r\n\r\n"},
        {2, "Not tested\r\n\r\n"},
        {3, "Not tested\r\n\r\n"},
        {4, "Overlay not supported\r\n\r\n"},
        {5, "Set resolution to 800x600 or higher\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state);
        SetUp();
        SetWindows98Machine();
        MachineInfo.overlayState = c.state;
        Save();
        ASSERT_EQ(10u, fakeReport.writes.size());
        EXPECT_EQ(c.line, fakeReport.writes[2]);
        EXPECT_EQ(1, CountCalls("LoadText " + std::to_string(OverlayStateTextId(c.state))));
    }
}

TEST_F(Report, WritesToTheChosenFile)
{
    SetWindows98Machine();
    fakeReport.chosenPath = "D:\\Reports\\machine 1.txt";
    Save();
    EXPECT_EQ(kDialog, fakeReport.saveAsOwner);
    EXPECT_EQ(std::vector<std::string>{"D:\\Reports\\machine 1.txt"}, fakeReport.createdPaths);
}

TEST_F(Report, CancelledSaveAsDoesNothing)
{
    SetWindows98Machine();
    fakeReport.saveAsAccepted = false;
    Save();
    EXPECT_EQ(1, CountCalls("GetSaveFileNameA"));
    EXPECT_EQ(0, CountCalls("CreateFileA"));
    EXPECT_EQ(0, CountCalls("WriteFile"));
    EXPECT_EQ(0, CountCalls("CloseHandle"));
    EXPECT_EQ(0, CountCalls("MessageBoxA"));
}

TEST_F(Report, FileThatCannotBeCreated)
{
    SetWindows98Machine();
    fakeReport.createFails = true;
    Save();
    EXPECT_EQ(0, CountCalls("WriteFile"));
    EXPECT_EQ(0, CountCalls("CloseHandle"));  // there is no handle to close
    ASSERT_EQ(1u, fakeReport.messages.size());
    EXPECT_EQ("Error", fakeReport.messages[0].text);
    EXPECT_EQ("Zephon Test", fakeReport.messages[0].caption);
    EXPECT_EQ(kDialog, fakeReport.messages[0].owner);
}

TEST_F(Report, WriteFailureStopsAtThatLine)
{
    const struct {
        const char* family;
        void (*setMachine)();
        const std::vector<std::string>* lines;
    } families[] = {
        {"9x", SetWindows98Machine, &kWindows98Lines},
        {"NT", SetWindows2000Machine, &kWindows2000Lines},
    };
    for (const auto& f : families) {
        for (int k = 1; k <= (int)f.lines->size(); k++) {
            SCOPED_TRACE(testing::Message() << f.family << " family, write " << k << " fails");
            SetUp();
            f.setMachine();
            fakeReport.failingWrite = k;
            Save();
            // The failed write was the last one, and it was the line it should have been.
            ASSERT_EQ((size_t)k, fakeReport.writes.size());
            EXPECT_EQ(std::vector<std::string>(f.lines->begin(), f.lines->begin() + k), fakeReport.writes);
            EXPECT_EQ(std::vector<void*>{fakeReportFile}, fakeReport.closedHandles);
            ASSERT_EQ(1u, fakeReport.messages.size());
            EXPECT_EQ("I/O Error", fakeReport.messages[0].text);
            EXPECT_EQ("Zephon Test", fakeReport.messages[0].caption);
            EXPECT_EQ(kDialog, fakeReport.messages[0].owner);
            // The file is closed before the user sees the message.
            EXPECT_LT(FirstCallIndex("CloseHandle"), FirstCallIndex("MessageBoxA"));
        }
    }
}

TEST_F(Report, OverlongLineIsCutToTheLineBuffer)
{
    SetWindows98Machine();
    const std::string longLine(255, 'W');
    CopyText(MachineInfo.windowsLine, sizeof MachineInfo.windowsLine, longLine.c_str());
    Save();
    ASSERT_EQ(10u, fakeReport.writes.size());
    // 255 bytes and no terminator, so the line end is lost rather than the buffer overrun.
    EXPECT_EQ("Windows:            " + longLine.substr(0, 235), fakeReport.writes[4]);
    EXPECT_EQ(kWindows98Lines[5], fakeReport.writes[5]);
}

// ---- The Save As request ---------------------------------------------------

TEST_F(Report, SaveAsRequestFields)
{
    fakeDirectory.path = "C:\\Program Files\\Zephon";
    SetWindows98Machine();
    fakeReport.saveAsAccepted = false;
    Save();
    const SaveAsRequest& r = fakeReport.request;
    const char filter[] = "Text Files\0*.txt\0All Files\0*.*\0\0";
    const int filterBytes = (int)sizeof filter - 1;  // without the zero the literal adds
    EXPECT_EQ(filterBytes, saveAsFilterLength);
    EXPECT_EQ(0, memcmp(filter, r.filter, (size_t)filterBytes));
    EXPECT_EQ(1u, r.filterIndex);
    EXPECT_STREQ("zphtest.txt", r.file);
    EXPECT_EQ(261u, r.maxFile);
    EXPECT_EQ(261u, sizeof r.file);
    EXPECT_STREQ("C:\\Program Files\\Zephon", r.initialDir);
    EXPECT_STREQ("Save Info", r.title);
    EXPECT_EQ(0x000A0806u, r.flags);
    EXPECT_STREQ("txt", r.defaultExtension);
    EXPECT_EQ(76u, (uint32_t)SAVE_AS_STRUCT_SIZE);
    EXPECT_EQ(1, CountCalls("GetCurrentDirectoryA 261"));
}

TEST_F(Report, InitialDirectoryOnlyWhenItFits)
{
    const struct {
        const char* what;
        std::string path;
        bool fails;
        std::string initialDir;
    } cases[] = {
        {"root", "C:\\", false, "C:\\"},
        {"260 characters", std::string(260, 'd'), false, std::string(260, 'd')},
        {"261 characters: needs 262", std::string(261, 'd'), false, ""},
        {"far too long", std::string(400, 'd'), false, ""},
        {"GetCurrentDirectoryA fails", "C:\\Zephon", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        fakeDirectory.path = c.path;
        fakeDirectory.fails = c.fails;
        fakeReport.saveAsAccepted = false;
        Save();
        EXPECT_EQ(c.initialDir, std::string(fakeReport.request.initialDir));
    }
}

TEST(FillSaveAsRequest, DirectoryResultAsGetCurrentDirectoryAGivesIt)
{
    const struct {
        uint32_t length;
        const char* initialDir;
    } cases[] = {{0, ""}, {261, ""}, {262, ""}, {1000, ""}, {7, "E:\\Work"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        SaveAsRequest request;
        memset(&request, 'x', sizeof request);
        FillSaveAsRequest(&request, c.length, "E:\\Work");
        EXPECT_STREQ(c.initialDir, request.initialDir);
        EXPECT_STREQ("zphtest.txt", request.file);
    }
}

}  // namespace
