#include <gtest/gtest.h>

#include <string>

#include "app/startup.h"
#include "tests/unit/fakes.h"

namespace {

void* const kInstance = (void*)0x400000;

const char kCopyFilesText[] =
    "Please copy the following files into the same folder\n    zphtest.exe\n    zphtst32.dll\n"
    "    zphtst16.dll\n    zphtstnt.sys\n    readme.txt";

TEST(CommandTail, SkipsTheProgramNameAndTheBlanksAfterIt)
{
    const struct {
        const char* commandLine;
        const char* tail;
    } cases[] = {
        {"\"C:\\Program Files\\Zephon Test\\zphtest.exe\" /ALLOVL", "/ALLOVL"},
        {"\"C:\\Program Files\\Zephon Test\\zphtest.exe\"", ""},
        {"\"C:\\Program Files\\zphtest.exe\"/ALLOVL", "/ALLOVL"},
        {"C:\\ZEPHON\\ZPHTEST.EXE /ALLOVL", "/ALLOVL"},
        {"zphtest.exe", ""},
        {"zphtest.exe ", ""},
        {"zphtest.exe \t \t/ALLOVL", "/ALLOVL"},
        {"zphtest.exe\t/ALLOVL", "/ALLOVL"},
        {"zphtest.exe /ALLOVL x", "/ALLOVL x"},
        {"zphtest.exe  two  words", "two  words"},
        // A quote that is never closed takes the rest of the line as the name.
        {"\"C:\\Program Files\\zphtest.exe /ALLOVL", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        EXPECT_STREQ(c.tail, CommandTail(c.commandLine));
    }
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        fakeStartup = FakeStartup();
        fakeDirectory = FakeDirectory();
    }

    // Runs the program and checks what holds on every path.
    void Run(const char* tail = "")
    {
        EXPECT_EQ(0, RunProgram(FakeStartupOps(), kInstance, tail));
        EXPECT_EQ(kInstance, moduleInstance);
        EXPECT_EQ(0, FirstCallIndex("SelectLanguage"));
        EXPECT_EQ(1, CountCalls("SelectLanguage"));
    }

    void ExpectReadmeFailureMessage()
    {
        ASSERT_EQ(1u, fakeStartup.messages.size());
        EXPECT_EQ(kCopyFilesText, fakeStartup.messages[0].text);
        EXPECT_EQ("Zephon Test", fakeStartup.messages[0].caption);
        EXPECT_EQ(1, CountCalls("LoadText 513"));
    }

    // Start-up carries on to the dialog after the read-me step, whatever it did.
    void ExpectDialogShown()
    {
        EXPECT_EQ(1, CountCalls("CollectMachineInfo"));
        EXPECT_EQ(1, CountCalls("ShowMainDialog"));
        EXPECT_EQ(kInstance, fakeStartup.collectInstance);
        EXPECT_EQ(kInstance, fakeStartup.dialogInstance);
        EXPECT_LT(FirstCallIndex("CollectMachineInfo"), FirstCallIndex("ShowMainDialog"));
    }
};

TEST_F(Startup, AllOverlayOptionIsTheExactWholeText)
{
    const struct {
        const char* tail;
        int32_t flag;
    } cases[] = {
        {"/ALLOVL", 1}, {"/allovl", 0}, {"/AllOvl", 0}, {"/ALLOVL x", 0}, {"/ALLOVL ", 0},
        {"/ALLOVLX", 0}, {"/ALLOV", 0},   {"ALLOVL", 0},  {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        SetUp();
        allOverlayFormats = 1 - c.flag;
        Run(c.tail);
        EXPECT_EQ(c.flag, allOverlayFormats);
    }
}

TEST_F(Startup, ReadsTheSettingWithDefaultOne)
{
    Run();
    EXPECT_EQ(1, CountCalls("GetPrivateProfileIntA"));
    EXPECT_EQ("ZphTest", fakeStartup.profileSection);
    EXPECT_EQ("ShowInfoFile", fakeStartup.profileKey);
    EXPECT_EQ("halvern.ini", fakeStartup.profileFile);
    EXPECT_EQ(1, fakeStartup.profileDefault);
}

TEST_F(Startup, SettingZeroShowsNoReadme)
{
    fakeStartup.profileValue = 0;
    Run();
    EXPECT_EQ(0, showInfoFile);
    EXPECT_EQ(0, CountCalls("ShellExecuteA"));
    EXPECT_EQ(0, CountCalls("MessageBoxA"));
    EXPECT_EQ(0, CountCalls("WritePrivateProfileStringA"));
    ExpectDialogShown();
}

TEST_F(Startup, MissingSettingsFileShowsTheReadme)
{
    fakeStartup.profileMissing = true;
    fakeStartup.profileValue = 0;  // not what a missing file gives
    Run();
    EXPECT_EQ(1, showInfoFile);
    EXPECT_EQ(std::vector<std::string>{"C:\\Zephon\\readme.txt"}, fakeStartup.shellPaths);
    EXPECT_EQ(1, CountCalls("GetCurrentDirectoryA 261"));
    EXPECT_TRUE(fakeStartup.messages.empty());
    EXPECT_EQ(0, CountCalls("WritePrivateProfileStringA"));
    ExpectDialogShown();
    EXPECT_LT(FirstCallIndex("ShellExecuteA"), FirstCallIndex("CollectMachineInfo"));
}

TEST_F(Startup, SettingIsWrittenBackOnlyWhenTheDialogChangedIt)
{
    const struct {
        const char* what;
        int fromFile;
        bool dialogChanges;
        int32_t fromDialog;
        const char* written;  // null when nothing is written
    } cases[] = {
        {"5, Close with the box checked", 5, true, 1, "1"},
        {"5, Esc", 5, false, 0, nullptr},
        {"5, Close unchecked", 5, true, 0, "0"},
        {"1, Close checked", 1, true, 1, nullptr},
        {"1, Close unchecked", 1, true, 0, "0"},
        {"0, Close checked", 0, true, 1, "1"},
        {"0, Close unchecked", 0, true, 0, nullptr},
        {"-3, Close checked", -3, true, 1, "1"},
        {"-3, Esc", -3, false, 0, nullptr},
        {"2147483647, Close unchecked", 2147483647, true, 0, "0"},
        // The text is the new value in decimal, whatever that value is.
        {"1 to -3", 1, true, -3, "-3"},
        {"1 to 2147483647", 1, true, 2147483647, "2147483647"},
        {"0 to -2147483648", 0, true, -2147483647 - 1, "-2147483648"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        fakeStartup.profileValue = c.fromFile;
        fakeStartup.dialogChangesSetting = c.dialogChanges;
        fakeStartup.dialogSetting = c.fromDialog;
        Run();
        if (c.written == nullptr) {
            EXPECT_TRUE(fakeStartup.writes.empty());
            continue;
        }
        ASSERT_EQ(1u, fakeStartup.writes.size());
        EXPECT_EQ("ZphTest", fakeStartup.writes[0].section);
        EXPECT_EQ("ShowInfoFile", fakeStartup.writes[0].key);
        EXPECT_EQ(c.written, fakeStartup.writes[0].value);
        EXPECT_EQ("halvern.ini", fakeStartup.writes[0].file);
        EXPECT_LT(FirstCallIndex("ShowMainDialog"), FirstCallIndex("WritePrivateProfileStringA"));
    }
}

TEST_F(Startup, AnyNonZeroSettingShowsTheReadme)
{
    for (int value : {5, -3, -1, 2147483647, -2147483647 - 1}) {
        SCOPED_TRACE(testing::Message() << "ShowInfoFile " << value);
        SetUp();
        fakeStartup.profileValue = value;
        Run();
        EXPECT_EQ(value, showInfoFile);
        EXPECT_EQ(1, CountCalls("ShellExecuteA"));
        ExpectDialogShown();
    }
}

TEST_F(Startup, ShellExecuteResultOf32OrLessIsAFailure)
{
    const struct {
        intptr_t result;
        bool fails;
    } cases[] = {{0, true}, {2, true}, {31, true}, {32, true}, {33, false}, {42, false}, {-1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "ShellExecuteA gives " << c.result);
        SetUp();
        fakeStartup.shellResult = c.result;
        Run();
        EXPECT_EQ(1, CountCalls("ShellExecuteA"));
        if (c.fails) {
            ExpectReadmeFailureMessage();
            EXPECT_LT(FirstCallIndex("MessageBoxA"), FirstCallIndex("CollectMachineInfo"));
        } else {
            EXPECT_TRUE(fakeStartup.messages.empty());
            EXPECT_EQ(0, CountCalls("LoadText"));
        }
        ExpectDialogShown();
    }
}

TEST_F(Startup, ReadmePathFromTheCurrentDirectory)
{
    const struct {
        std::string directory;
        std::string path;
    } cases[] = {
        {"C:\\Zephon", "C:\\Zephon\\readme.txt"},
        {"\\\\server\\share\\zephon", "\\\\server\\share\\zephon\\readme.txt"},
        // At a root the directory already ends in a backslash; the doubled one is accepted.
        {"C:\\", "C:\\\\readme.txt"},
        // 249 + 11 = 260 characters: the longest path that fits.
        {std::string(249, 'd'), std::string(249, 'd') + "\\readme.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory);
        SetUp();
        fakeDirectory.path = c.directory;
        Run();
        EXPECT_EQ(std::vector<std::string>{c.path}, fakeStartup.shellPaths);
        EXPECT_TRUE(fakeStartup.messages.empty());
    }
}

TEST_F(Startup, ReadmePathThatCannotBeMade)
{
    const struct {
        const char* what;
        std::string directory;
        bool fails;
    } cases[] = {
        {"250 characters: the path would need 262 bytes", std::string(250, 'd'), false},
        {"260 characters", std::string(260, 'd'), false},
        {"GetCurrentDirectoryA needs more than 261", std::string(299, 'd'), false},
        {"GetCurrentDirectoryA fails", "C:\\Zephon", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        fakeDirectory.path = c.directory;
        fakeDirectory.fails = c.fails;
        Run();
        EXPECT_EQ(0, CountCalls("ShellExecuteA"));
        ExpectReadmeFailureMessage();
        ExpectDialogShown();
    }
}

TEST(BuildReadmePath, LengthAsGetCurrentDirectoryAReportsIt)
{
    char path[PATH_CAPACITY];
    EXPECT_EQ(1, BuildReadmePath(6, "D:\\App", path));
    EXPECT_STREQ("D:\\App\\readme.txt", path);
    EXPECT_EQ(0, BuildReadmePath(0, "", path));
    EXPECT_EQ(0, BuildReadmePath(261, "D:\\App", path));
    EXPECT_EQ(0, BuildReadmePath(300, "", path));
}

TEST_F(Startup, NoFixedDiskEndsQuietly)
{
    fakeStartup.collectResult = 0;
    fakeStartup.profileValue = 5;
    fakeStartup.dialogChangesSetting = true;
    fakeStartup.dialogSetting = 1;
    Run();
    EXPECT_EQ(1, CountCalls("CollectMachineInfo"));
    EXPECT_EQ(0, CountCalls("ShowMainDialog"));
    EXPECT_EQ(0, CountCalls("WritePrivateProfileStringA"));
    EXPECT_TRUE(fakeStartup.messages.empty());
}

TEST_F(Startup, LanguageIsChosenBeforeAnyText)
{
    fakeStartup.shellResult = 2;
    Run();
    const int firstText = FirstCallIndex("LoadText");
    ASSERT_GE(firstText, 0);
    EXPECT_LT(FirstCallIndex("SelectLanguage"), firstText);
    EXPECT_LT(FirstCallIndex("SelectLanguage"), FirstCallIndex("ShowMainDialog"));
}

}  // namespace
