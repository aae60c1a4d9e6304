#include <gtest/gtest.h>

#include <string.h>

#include "app/text_format.h"

namespace {

struct FormatCase {
    const char* format;
    int value;
    const char* expected;
};

class NumberFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormat, MatchesWsprintfRules)
{
    char out[64];
    FormatText(out, sizeof out, GetParam().format, GetParam().value);
    EXPECT_STREQ(GetParam().expected, out);
}

INSTANTIATE_TEST_SUITE_P(Conversions, NumberFormat,
                         ::testing::Values(FormatCase{"%d", -42, "-42"}, FormatCase{"%4d", 7, "   7"},
                                           FormatCase{"%4d", 20000, "20000"}, FormatCase{"%02d", 0, "00"},
                                           FormatCase{"%02d", 10, "10"}, FormatCase{"%03d", 5, "005"},
                                           FormatCase{"%05d", -12, "-0012"}, FormatCase{"%-4d|", 3, "3   |"},
                                           FormatCase{"%x", 0x9C41, "9c41"}, FormatCase{"%04X", 0xAB, "00AB"},
                                           FormatCase{"%u", -1, "4294967295"}, FormatCase{"%d%%", 5, "5%"},
                                           FormatCase{"%d", -2147483647 - 1, "-2147483648"}));

TEST(FormatText, CutsAtCapacityAndTerminates)
{
    char out[8];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(7, FormatText(out, sizeof out, "%s and %s", "Windows", "more"));
    EXPECT_STREQ("Windows", out);

    char one[1] = {'x'};
    EXPECT_EQ(0, FormatText(one, sizeof one, "%d", 12345));
    EXPECT_EQ('\0', one[0]);
}

TEST(FormatText, StringsAndCharacters)
{
    char out[64];
    FormatText(out, sizeof out, "[%5s][%-3s][%c]", "ab", "c", 'Z');
    EXPECT_STREQ("[   ab][c  ][Z]", out);
}

TEST(FormatText, TrailingPercentIsDropped)
{
    char out[16];
    EXPECT_EQ(3, FormatText(out, sizeof out, "abc%"));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(3, FormatText(out, sizeof out, "abc%4"));
    EXPECT_STREQ("abc", out);
}

TEST(AppendText, RefusesWhatDoesNotFitWhole)
{
    char out[8] = "abc";
    EXPECT_EQ(1, AppendText(out, sizeof out, "defg"));
    EXPECT_STREQ("abcdefg", out);
    EXPECT_EQ(0, AppendText(out, sizeof out, "h"));
    EXPECT_STREQ("abcdefg", out);
}

}  // namespace
