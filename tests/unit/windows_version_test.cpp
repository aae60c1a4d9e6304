#include <gtest/gtest.h>

#include "app/text_format.h"
#include "machine/windows_version.h"
#include "tests/unit/fakes.h"

namespace {

const uint32_t kNine = 1;  // VER_PLATFORM_WIN32_WINDOWS
const uint32_t kNt = 2;

struct DescriptionCase {
    uint32_t major, minor, build, platform;
    const char* csd;
    const char* text;
    const char* line;
};

void ExpectDescription(const DescriptionCase& c)
{
    SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " build " << c.build << " platform "
                                    << c.platform << " csd \"" << (c.csd ? c.csd : "(null)") << "\"");
    ResetProcessState();
    const uint32_t major = DescribeWindowsFrom(VersionFacts{c.major, c.minor, c.build, c.platform, c.csd});
    EXPECT_EQ(c.major, major);
    EXPECT_STREQ(c.text, MachineInfo.windowsText);
    EXPECT_STREQ(c.line, MachineInfo.windowsLine);
    EXPECT_EQ(c.platform == kNt ? 1 : 0, MachineInfo.isNt);
}

TEST(DescribeWindows, EdgeCaseTable)
{
    const DescriptionCase cases[] = {
        {4, 0, 950, kNine, "", "Windows 95\nVersion 4.00.950", "Windows 95 Version 4.00.950"},
        {4, 10, 2222, kNine, "A", "Windows 98 Second Edition \nVersion 4.10.2222A",
         "Windows 98 Second Edition Version 4.10.2222A"},
        {4, 10, 1998, kNine, "", "Windows 98 \nVersion 4.10.1998", "Windows 98 Version 4.10.1998"},
        {4, 90, 300, kNine, "", "Windows Millennium Edition", "Windows Millennium Edition"},
        {3, 10, 0, kNine, "", "Windows 9x Unknown Version 3.10 Build 0", "Windows 9x Unknown Version 3.10 Build 0"},
        {3, 10, 0, 0, "", "Windows 9x Unknown Version 3.10 Build 0", "Windows 9x Unknown Version 3.10 Build 0"},
        {3, 10, 0, 3, "", "Windows 9x Unknown Version 3.10 Build 0", "Windows 9x Unknown Version 3.10 Build 0"},
        {4, 0, 381, kNt, "Service Pack 6", "Windows NT Version 4.0\n(Build 381: Service Pack 6)",
         "Windows NT Version 4.0 (Build 381: Service Pack 6)"},
        {5, 1, 600, kNt, "", "Windows XP (Build 600)", "Windows XP (Build 600)"},
        {5, 0, 195, kNt, "Service Pack 2", "Windows 2000\n(Build 195: Service Pack 2)",
         "Windows 2000 (Build 195: Service Pack 2)"},
        {6, 0, 100, kNt, "", "Windows 2000 (Build 100)", "Windows 2000 (Build 100)"},
    };
    for (const DescriptionCase& c : cases) ExpectDescription(c);
}

TEST(DescribeWindows, NtFamilyForms)
{
    const DescriptionCase cases[] = {
        {3, 51, 1057, kNt, "", "Windows NT Version 3.51\n(Build 1057)", "Windows NT Version 3.51 (Build 1057)"},
        {5, 1, 2600, kNt, "Service Pack 1", "Windows XP\n(Build 2600: Service Pack 1)",
         "Windows XP (Build 2600: Service Pack 1)"},
        {5, 0, 2195, kNt, "", "Windows 2000 (Build 2195)", "Windows 2000 (Build 2195)"},
        // Every later minor version is "XP", every later major version with minor 0 "2000".
        {5, 2, 3790, kNt, "", "Windows XP (Build 3790)", "Windows XP (Build 3790)"},
        {10, 0, 19045, kNt, "", "Windows 2000 (Build 19045)", "Windows 2000 (Build 19045)"},
        // The NT family shows the build number in full, high bits included.
        {4, 0, 0x10000 + 1381, kNt, "", "Windows NT Version 4.0\n(Build 66917)",
         "Windows NT Version 4.0 (Build 66917)"},
        // A null service text reads as empty.
        {5, 1, 600, kNt, nullptr, "Windows XP (Build 600)", "Windows XP (Build 600)"},
    };
    for (const DescriptionCase& c : cases) ExpectDescription(c);
}

TEST(DescribeWindows, NineFamilyForms)
{
    // The 9x family packs the version into the high word of the build number.
    const uint32_t packed = 0x040A0000;
    const DescriptionCase cases[] = {
        {4, 0, 0x04000000 + 1111, kNine, " B", "Windows 95\nVersion 4.00.1111 B", "Windows 95 Version 4.00.1111 B"},
        {4, 10, packed + 2222, kNine, " A ", "Windows 98 Second Edition \nVersion 4.10.2222 A ",
         "Windows 98 Second Edition Version 4.10.2222 A "},
        // 2222 is compared after the high word is dropped, and only 2222 is Second Edition.
        {4, 10, packed + 1998, kNine, "", "Windows 98 \nVersion 4.10.1998", "Windows 98 Version 4.10.1998"},
        {4, 10, 2223, kNine, "", "Windows 98 \nVersion 4.10.2223", "Windows 98 Version 4.10.2223"},
        {4, 10, 0x10000 + 2222, kNine, "", "Windows 98 Second Edition \nVersion 4.10.2222",
         "Windows 98 Second Edition Version 4.10.2222"},
        {4, 90, 0x045A0000 + 3000, kNine, "Service Pack", "Windows Millennium Edition\nService Pack",
         "Windows Millennium Edition Service Pack"},
        {4, 3, 0x04030000 + 1212, kNine, "", "Windows 9x Unknown Version 4.3 Build 1212",
         "Windows 9x Unknown Version 4.3 Build 1212"},
        {5, 0, 0xFFFF, kNine, "", "Windows 9x Unknown Version 5.0 Build 65535",
         "Windows 9x Unknown Version 5.0 Build 65535"},
    };
    for (const DescriptionCase& c : cases) ExpectDescription(c);
}

TEST(DescribeWindows, FamilyComesFromThePlatformIdAlone)
{
    // An NT platform id with 9x-looking numbers is still NT, and the reverse.
    ExpectDescription(
        {4, 10, 1998, kNt, "", "Windows NT Version 4.10\n(Build 1998)", "Windows NT Version 4.10 (Build 1998)"});
    ExpectDescription({5, 1, 2600, kNine, "", "Windows 9x Unknown Version 5.1 Build 2600",
                       "Windows 9x Unknown Version 5.1 Build 2600"});
}

TEST(DescribeWindows, LongServiceTextIsCutAtTheFieldEnd)
{
    ResetProcessState();
    // The longest service text the platform can hand over still fits whole.
    const std::string csd(127, 'S');
    DescribeWindowsFrom(VersionFacts{4, 0, 1381, kNt, csd.c_str()});
    EXPECT_EQ("Windows NT Version 4.0 (Build 1381: " + csd + ")", std::string(MachineInfo.windowsLine));

    // A longer one is cut; isNt, set before the texts and stored right after
    // windowsLine, shows that nothing ran past the field.
    const std::string huge(400, 'X');
    DescribeWindowsFrom(VersionFacts{4, 90, 3000, kNine, huge.c_str()});
    EXPECT_EQ(255, TextLength(MachineInfo.windowsText));
    EXPECT_EQ(255, TextLength(MachineInfo.windowsLine));
    EXPECT_EQ(0, MachineInfo.isNt);
}

}  // namespace
