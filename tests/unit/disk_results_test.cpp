// Rates, texts and colour bands of the "Hard Disk Performance" rows.
#include <stdint.h>

#include <string>

#include <gtest/gtest.h>

#include "disktest/disk_results.h"

namespace {

std::string RateText(double rate)
{
    char text[16];
    FormatRateText(text, sizeof text, rate);
    return text;
}

struct Bar {
    int red, yellow, green;
};

struct DriveCase {
    uint32_t readMs, writeMs;
    const char* readText;
    const char* writeText;
    double scale;
    Bar readBar, writeBar;
};

// Bars 300 pixels wide inside their 2-pixel inset.
const DriveCase driveCases[] = {
    {1000, 4000, "  20MB/S", "5120KB/S", 30720, {50, 50, 100}, {50, 0, 0}},
    {2000, 2000, "  10MB/S", "  10MB/S", 20480, {75, 75, 0}, {75, 75, 0}},
    {3000, 6000, "6826KB/S", "3413KB/S", 10240, {150, 50, 0}, {100, 0, 0}},
    {800, 1200, "  25MB/S", "  16MB/S", 30720, {50, 50, 150}, {50, 50, 66}},
    {40000, 40000, " 512KB/S", " 512KB/S", 10240, {15, 0, 0}, {15, 0, 0}},
    {1, 1, "20000MB/S", "20000MB/S", 20490240, {0, 0, 299}, {0, 0, 299}},
};

TEST(DiskResults, RatesTextsAndBarsOfTestedDrives)
{
    for (const DriveCase& c : driveCases) {
        SCOPED_TRACE(testing::Message() << "read " << c.readMs << " ms, write " << c.writeMs << " ms");
        const double read = RateKBps(c.readMs);
        const double write = RateKBps(c.writeMs);
        EXPECT_DOUBLE_EQ(20480000.0 / c.readMs, read);
        EXPECT_EQ(c.readText, RateText(read));
        EXPECT_EQ(c.writeText, RateText(write));
        const double scale = BarScale(read, write);
        EXPECT_DOUBLE_EQ(c.scale, scale);
        EXPECT_DOUBLE_EQ(scale, BarScale(write, read)) << "one scale for both bars";
        const RateBands r = RateBarBands(300, scale, read);
        const RateBands w = RateBarBands(300, scale, write);
        EXPECT_EQ(c.readBar.red, r.red);
        EXPECT_EQ(c.readBar.yellow, r.yellow);
        EXPECT_EQ(c.readBar.green, r.green);
        EXPECT_EQ(c.writeBar.red, w.red);
        EXPECT_EQ(c.writeBar.yellow, w.yellow);
        EXPECT_EQ(c.writeBar.green, w.green);
        EXPECT_LE(r.red + r.yellow + r.green, 300);
    }
}

TEST(DiskResults, UntestedDriveReadsNotTestedWithAnEmptyBar)
{
    EXPECT_EQ("Not tested", RateText(0.0));
    const RateBands b = RateBarBands(300, BarScale(0.0, 0.0), 0.0);
    EXPECT_EQ(0, b.red + b.yellow + b.green);
    EXPECT_DOUBLE_EQ(10240.0, BarScale(0.0, 0.0));
}

TEST(DiskResults, ScaleStepsStrictlyAboveTheFasterRate)
{
    const struct {
        double a, b, scale;
    } cases[] = {
        {10239.9, 0, 10240}, {10240, 0, 20480}, {0, 20479.99, 20480}, {20480, 5, 30720}, {1, 2, 10240},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.scale, BarScale(c.a, c.b)) << c.a << " " << c.b;
}

TEST(DiskResults, TextSwitchesToMegabytesAtTenMegabytesPerSecond)
{
    EXPECT_EQ("10239KB/S", RateText(10239.99));
    EXPECT_EQ("  10MB/S", RateText(10240.0));
    EXPECT_EQ("   0KB/S", RateText(0.5));
    EXPECT_EQ("  19MB/S", RateText(20479.0));
}

// Each band is truncated on its own, so a bar can fall a pixel or two short
// of the figure but never passes the scale.
TEST(DiskResults, BandsTruncateOneByOne)
{
    const RateBands b = RateBarBands(299, 30720, 20000);
    EXPECT_EQ(49, b.red);     // 299 * 5120 / 30720 = 49.83
    EXPECT_EQ(49, b.yellow);
    EXPECT_EQ(94, b.green);   // 299 * 9760 / 30720 = 94.99
    const RateBands edge = RateBarBands(300, 10240, 5120);
    EXPECT_EQ(150, edge.red);
    EXPECT_EQ(0, edge.yellow) << "a rate of exactly 5120 has no yellow band";
}

}  // namespace
