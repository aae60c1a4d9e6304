#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/main_dialog.h"

namespace {

TEST(CentrePosition, CentresOnTheParentTruncatingTowardZero)
{
    const struct {
        const char* what;
        WindowRect window, parent;
        WindowPoint at;
    } cases[] = {
        {"on the screen", {0, 0, 400, 300}, {0, 0, 1024, 768}, {312, 234}},
        {"the window's own position does not matter", {900, 700, 1300, 1000}, {0, 0, 1024, 768}, {312, 234}},
        {"parent away from the origin", {0, 0, 100, 50}, {200, 100, 600, 400}, {350, 225}},
        {"odd sizes", {0, 0, 101, 51}, {0, 0, 801, 601}, {350, 275}},
        {"window larger than the parent", {0, 0, 800, 600}, {0, 0, 400, 300}, {-200, -150}},
        // On a monitor left of the primary one: (-1024 + 1023/2) - 401/2 = -1024 + 511 - 200.
        {"parent at negative x", {0, 0, 401, 301}, {-1024, -300, -1, 468}, {-713, -66}},
        // A width of -3 halves to -1, not -2.
        {"inverted window rectangle", {10, 10, 7, 7}, {0, 0, 100, 100}, {51, 51}},
        // A parent width of -5 halves to -2: -3 - 2 - 0.
        {"inverted parent rectangle", {0, 0, 1, 1}, {-3, -3, -8, -8}, {-5, -5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const WindowPoint at = CentrePosition(c.window, c.parent);
        EXPECT_EQ(c.at.x, at.x);
        EXPECT_EQ(c.at.y, at.y);
    }
}

TEST(FormatComputerLine, MemoryInWholeMebibytes)
{
    const struct {
        uint32_t bytes;
        const char* text;
    } cases[] = {
        {2048u << 20, "Pentium 4 2GHz 2048MBytes"},
        {(2048u << 20) + 0xFFFFF, "Pentium 4 2GHz 2048MBytes"},
        {(128u << 20) - 1, "Pentium 4 2GHz 127MBytes"},
        {0xFFFFFFFFu, "Pentium 4 2GHz 4095MBytes"},
        {0x80000000u, "Pentium 4 2GHz 2048MBytes"},
        {0, "Pentium 4 2GHz 0MBytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes");
        char out[256];
        FormatComputerLine(out, sizeof out, "Pentium 4 2GHz", c.bytes);
        EXPECT_STREQ(c.text, out);
    }
}

TEST(FormatComputerLine, CutAtTheBuffer)
{
    char out[20];
    memset(out, 'x', sizeof out);
    FormatComputerLine(out, 16, "Pentium III 866MHz", 256u << 20);
    EXPECT_STREQ("Pentium III 866", out);
    EXPECT_EQ('x', out[16]);
}

TEST(FormatAboutText, TitleVersionEmptyLineAndNotice)
{
    char out[256];
    FormatAboutText(out, sizeof out, "Tessaline Environment Checker\nVersion %s%s");
    const std::string text = out;
    const std::string head = "Tessaline Environment Checker\nVersion 1.05.000\n\n";
    ASSERT_EQ(head, text.substr(0, head.size()));
    // The notice is two lines, and nothing follows them.
    const std::string notice = text.substr(head.size());
    const size_t lineBreak = notice.find('\n');
    ASSERT_NE(std::string::npos, lineBreak);
    EXPECT_GT(lineBreak, 0u);
    EXPECT_EQ(std::string::npos, notice.find('\n', lineBreak + 1));
    EXPECT_LT(lineBreak + 1, notice.size());
    EXPECT_EQ(std::string(aboutNotice), "\n\n" + notice);
}

TEST(MainDialogTemplate, NtHasItsOwnTemplate)
{
    EXPECT_EQ(101, MainDialogTemplate(0));
    EXPECT_EQ(102, MainDialogTemplate(1));
}

}  // namespace
