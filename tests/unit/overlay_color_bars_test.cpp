#include <gtest/gtest.h>

#include <vector>

#include "overlay/color_bars.h"
#include "tests/unit/overlay_fakes.h"

namespace {

struct BarValues {
    const char* name;
    uint8_t y, u, v;
    uint16_t rgb565;
};

// Each bar at full intensity, as 24- and 32-bit displays read it back.
const BarValues kBars[COLOR_BAR_COUNT] = {
    {"white", 0xFE, 0x80, 0x80, 0xFFFF},  {"yellow", 0xE1, 0x00, 0x95, 0xFFE0}, {"cyan", 0xB2, 0xAC, 0x00, 0x07FF},
    {"green", 0x95, 0x2B, 0x14, 0x07E0},  {"magenta", 0x69, 0xD6, 0xEC, 0xF81F}, {"red", 0x4C, 0x55, 0xFF, 0xF800},
    {"blue", 0x1D, 0xFF, 0x6B, 0x001F},   {"black", 0x00, 0x80, 0x80, 0x0000},
};

int Red(uint32_t c) { return (int)(c & 0xFF); }
int Green(uint32_t c) { return (int)((c >> 8) & 0xFF); }
int Blue(uint32_t c) { return (int)((c >> 16) & 0xFF); }

TEST(ColorBarConversion, EveryBarGivesItsValuesInAllThreeFormats)
{
    for (int i = 0; i < COLOR_BAR_COUNT; i++) {
        SCOPED_TRACE(kBars[i].name);
        const uint32_t c = ColorBarColors[i];
        const PixelPair yuy2 = ConvertPairYUY2(Red(c), Green(c), Blue(c), Red(c), Green(c), Blue(c));
        const PixelPair uyvy = ConvertPairUYVY(Red(c), Green(c), Blue(c), Red(c), Green(c), Blue(c));
        const uint8_t expectYuy2[4] = {kBars[i].y, kBars[i].u, kBars[i].y, kBars[i].v};
        const uint8_t expectUyvy[4] = {kBars[i].u, kBars[i].y, kBars[i].v, kBars[i].y};
        for (int b = 0; b < 4; b++) {
            EXPECT_EQ(expectYuy2[b], yuy2.bytes[b]) << "YUY2 byte " << b;
            EXPECT_EQ(expectUyvy[b], uyvy.bytes[b]) << "UYVY byte " << b;
        }
        EXPECT_EQ(kBars[i].rgb565, PackRGB565(Red(c), Green(c), Blue(c)));
    }
}

TEST(ColorBarConversion, ChromaIsClampedAndTruncatedTowardZero)
{
    struct Case {
        const char* what;
        int r, g, b;
        uint8_t u, v;
    } cases[] = {
        {"yellow U comes to -1 and clamps to 0", 255, 255, 0, 0x00, 0x95},
        {"blue U comes to 257 and clamps to 255", 0, 0, 255, 0xFF, 0x6B},
        {"red V comes to 257 and clamps to 255", 255, 0, 0, 0x55, 0xFF},
        {"a small negative numerator truncates to 0, not -1", 0, 1, 0, 128, 128},
        {"a grey has no colour", 77, 77, 77, 128, 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PixelPair pair = ConvertPairYUY2(c.r, c.g, c.b, 0, 0, 0);
        EXPECT_EQ(c.u, pair.bytes[1]);
        EXPECT_EQ(c.v, pair.bytes[3]);
    }
}

TEST(ColorBarConversion, ChromaComesFromTheLeftPixelOnly)
{
    const PixelPair yuy2 = ConvertPairYUY2(255, 0, 255, 0, 0, 0);
    EXPECT_EQ(105, yuy2.bytes[0]);
    EXPECT_EQ(214, yuy2.bytes[1]);
    EXPECT_EQ(0, yuy2.bytes[2]);
    EXPECT_EQ(236, yuy2.bytes[3]);
    const PixelPair uyvy = ConvertPairUYVY(255, 0, 255, 0, 0, 0);
    EXPECT_EQ(214, uyvy.bytes[0]);
    EXPECT_EQ(105, uyvy.bytes[1]);
    EXPECT_EQ(236, uyvy.bytes[2]);
    EXPECT_EQ(0, uyvy.bytes[3]);
}

TEST(ColorBarConversion, Rgb565DropsTheLowBitsWithoutRounding)
{
    EXPECT_EQ(0x0000, PackRGB565(7, 3, 7));
    EXPECT_EQ(0x0821, PackRGB565(8, 4, 8));
    EXPECT_EQ(0xF800, PackRGB565(255, 3, 7));
}

TEST(ColorBarConversion, StrideRoundsThreeBytesAPixelUpToFour)
{
    EXPECT_EQ(2160u, PictureStride(720));
    EXPECT_EQ(4u, PictureStride(1));
    EXPECT_EQ(12u, PictureStride(3));
    EXPECT_EQ(12u, PictureStride(4));
    EXPECT_EQ(1244160u, PictureStride(720) * 576);
}

// A picture whose rows differ, to see where each lands.
std::vector<uint8_t> RowNumberedPicture(uint16_t width, uint16_t height)
{
    const uint32_t stride = PictureStride(width);
    std::vector<uint8_t> picture(stride * height, 0xEE);
    for (uint32_t y = 0; y < height; y++) {
        for (uint32_t x = 0; x < width; x++) {
            uint8_t* p = &picture[y * stride + x * 3];
            p[0] = 0;                       // blue
            p[1] = (uint8_t)(40 * y);       // green: the buffer row
            p[2] = (uint8_t)(x * 255 / (width - 1 ? width - 1 : 1));  // red
        }
    }
    return picture;
}

TEST(ColorBarConversion, BufferRowsLandUpsideDownAndTheGapAfterEachRowStaysUntouched)
{
    const uint16_t width = 4, height = 3;
    const std::vector<uint8_t> picture = RowNumberedPicture(width, height);
    const int32_t pitch = 12;  // 8 bytes of pixels and 4 the driver keeps
    const SurfaceLayout layouts[] = {LAYOUT_YUY2, LAYOUT_UYVY, LAYOUT_RGB565};
    for (SurfaceLayout layout : layouts) {
        SCOPED_TRACE(layout);
        std::vector<uint8_t> surface(pitch * height + 8, 0xCD);
        ConvertPicture(layout, picture.data(), PictureStride(width), surface.data(), pitch, width, height);
        for (int row = 0; row < height; row++) {
            const uint8_t* source = &picture[(height - 1 - row) * PictureStride(width)];
            const uint8_t* out = &surface[row * pitch];
            if (layout == LAYOUT_RGB565) {
                const uint16_t first = PackRGB565(source[2], source[1], source[0]);
                EXPECT_EQ(first & 0xFF, out[0]) << "row " << row;
                EXPECT_EQ(first >> 8, out[1]) << "row " << row;
            } else {
                const PixelPair pair = layout == LAYOUT_YUY2
                                           ? ConvertPairYUY2(source[2], source[1], source[0], source[5], source[4], source[3])
                                           : ConvertPairUYVY(source[2], source[1], source[0], source[5], source[4], source[3]);
                for (int b = 0; b < 4; b++) EXPECT_EQ(pair.bytes[b], out[b]) << "row " << row << " byte " << b;
            }
            for (int gap = width * 2; gap < pitch; gap++) EXPECT_EQ(0xCD, out[gap]) << "row " << row << " gap " << gap;
        }
        for (size_t tail = pitch * height; tail < surface.size(); tail++) EXPECT_EQ(0xCD, surface[tail]);
    }
}

TEST(ColorBarConversion, AnOddWidthPairsTheLastPixelWithItselfAndWritesOnlyItsHalf)
{
    const uint16_t width = 3, height = 2;
    // Exactly as large as the stride says, so a read past a row's pixels
    // would pick up the next row (or run off the end under the sanitizers).
    std::vector<uint8_t> picture = RowNumberedPicture(width, height);
    ASSERT_EQ(PictureStride(width) * height, picture.size());
    const int32_t pitch = width * 2;
    std::vector<uint8_t> surface(pitch * height + 4, 0xCD);
    ConvertPicture(LAYOUT_YUY2, picture.data(), PictureStride(width), surface.data(), pitch, width, height);
    for (int row = 0; row < height; row++) {
        const uint8_t* last = &picture[(height - 1 - row) * PictureStride(width) + 6];
        const PixelPair alone = ConvertPairYUY2(last[2], last[1], last[0], last[2], last[1], last[0]);
        EXPECT_EQ(alone.bytes[0], surface[row * pitch + 4]) << "row " << row;
        EXPECT_EQ(alone.bytes[1], surface[row * pitch + 5]) << "row " << row;
    }
    for (size_t tail = pitch * height; tail < surface.size(); tail++) EXPECT_EQ(0xCD, surface[tail]) << tail;
}

class ColorBarFill : public ::testing::Test {
protected:
    void SetUp() override { ResetOverlayFakes(); }

    void ExpectEverythingReleased()
    {
        EXPECT_TRUE(fakeGdi.objects.live.empty()) << fakeGdi.objects.live.size() << " GDI object(s) left, first "
                                                   << (fakeGdi.objects.live.empty() ? "" : fakeGdi.objects.live.begin()->second);
        EXPECT_TRUE(fakeGdi.blocks.empty()) << "picture buffer never freed";
        EXPECT_EQ(0, fakeGdi.badFrees);
        EXPECT_EQ(0, fakeGdi.objects.badReleases);
        EXPECT_TRUE(fakeGdi.misdeleted.empty()) << "deleted while selected: " << fakeGdi.misdeleted[0];
    }
};

TEST_F(ColorBarFill, BarsOf645PixelsGiveTheRemainderToTheFirstBar)
{
    const ColorBarOps ops = FakeColorBarOps();
    void* dc = ops.CreateCompatibleDC(nullptr);
    DrawColorBarsWith(ops, dc, PictureRect{10, 20, 655, 120});
    ASSERT_EQ(8u, fakeGdi.fills.size());
    int32_t left = 0;
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        const int32_t width = i == 0 ? 85 : 80;
        EXPECT_EQ(ColorBarColors[i], fakeGdi.fills[i].first);
        EXPECT_EQ(left, fakeGdi.fills[i].second.left);
        EXPECT_EQ(0, fakeGdi.fills[i].second.top);
        EXPECT_EQ(left + width, fakeGdi.fills[i].second.right);
        EXPECT_EQ(100, fakeGdi.fills[i].second.bottom);
        left += width;
    }
    ops.DeleteDC(dc);
    ExpectEverythingReleased();
}

TEST_F(ColorBarFill, WritesTheBarTableIntoEveryRowOfEachFormat)
{
    const int32_t pitch = 1536;
    const SurfaceLayout layouts[] = {LAYOUT_YUY2, LAYOUT_UYVY, LAYOUT_RGB565};
    for (SurfaceLayout layout : layouts) {
        SCOPED_TRACE(layout);
        ResetOverlayFakes();
        std::vector<uint8_t> surface(pitch * 576, 0xCD);
        ASSERT_EQ(1, FillSurfaceWith(FakeColorBarOps(), layout, surface.data(), pitch, 720, 576));
        for (int row = 0; row < 576; row++) {
            const uint8_t* out = &surface[row * pitch];
            for (int bar = 0; bar < 8; bar++) {
                const BarValues& v = kBars[bar];
                for (int x = bar * 90; x < bar * 90 + 90; x += 2) {
                    uint8_t expect[4];
                    if (layout == LAYOUT_YUY2) {
                        const uint8_t e[4] = {v.y, v.u, v.y, v.v};
                        memcpy(expect, e, 4);
                    } else if (layout == LAYOUT_UYVY) {
                        const uint8_t e[4] = {v.u, v.y, v.v, v.y};
                        memcpy(expect, e, 4);
                    } else {
                        const uint8_t e[4] = {(uint8_t)v.rgb565, (uint8_t)(v.rgb565 >> 8), (uint8_t)v.rgb565,
                                              (uint8_t)(v.rgb565 >> 8)};
                        memcpy(expect, e, 4);
                    }
                    if (memcmp(expect, out + x * 2, 4) != 0) {
                        ADD_FAILURE() << "row " << row << " x " << x << " (" << v.name << ")";
                        return;
                    }
                }
            }
            for (int gap = 1440; gap < pitch; gap++) {
                if (out[gap] != 0xCD) {
                    ADD_FAILURE() << "row " << row << " gap byte " << gap << " written";
                    return;
                }
            }
        }
        ExpectEverythingReleased();
    }
}

TEST_F(ColorBarFill, DrawsAt640x480StretchesAndReadsBackAsBottomUp24Bit)
{
    std::vector<uint8_t> surface(1440 * 576);
    ASSERT_EQ(1, FillSurfaceWith(FakeColorBarOps(), LAYOUT_YUY2, surface.data(), 1440, 720, 576));
    EXPECT_EQ(1, CountOverlayCalls("GlobalAlloc 0 1244160"));
    EXPECT_EQ(1, CountOverlayCalls("CreateCompatibleBitmap 640x480"));
    EXPECT_EQ(1, CountOverlayCalls("CreateCompatibleBitmap 720x576"));
    EXPECT_EQ(1, CountOverlayCalls("StretchBlt 0,0 720x576 from 0,0 640x480 rop CC0020"));
    EXPECT_EQ(1, CountOverlayCalls("GetDIBits 0 576 usage 0"));
    ASSERT_EQ(8u, fakeGdi.fills.size());
    EXPECT_EQ(560, fakeGdi.fills[7].second.left);
    EXPECT_EQ(640, fakeGdi.fills[7].second.right);
    EXPECT_EQ(480, fakeGdi.fills[7].second.bottom);
    const PictureHeader& h = fakeGdi.header;
    EXPECT_EQ(40u, h.size);
    EXPECT_EQ(720, h.width);
    EXPECT_EQ(576, h.height) << "a negative height would be top-down";
    EXPECT_EQ(1, h.planes);
    EXPECT_EQ(24, h.bitCount);
    EXPECT_EQ(0u, h.compression);
    EXPECT_EQ(1244160u, h.sizeImage);
    EXPECT_EQ(0, h.xPelsPerMeter);
    EXPECT_EQ(0u, h.clrUsed);
    // Teardown in reverse: both DCs, both bitmaps, the screen DC, the buffer.
    const int targetDc = IndexOfCall("DeleteDC dc 2"), baseDc = IndexOfCall("DeleteDC dc 1");
    const int targetBitmap = IndexOfCall("DeleteObject bitmap 720x576");
    const int baseBitmap = IndexOfCall("DeleteObject bitmap 640x480");
    const int screen = IndexOfCall("ReleaseDC"), buffer = IndexOfCall("GlobalFree");
    EXPECT_LT(IndexOfCall("GetDIBits 0 576 usage 0"), targetDc);
    EXPECT_LT(targetDc, baseDc);
    EXPECT_LT(baseDc, targetBitmap);
    EXPECT_LT(targetBitmap, baseBitmap);
    EXPECT_LT(baseBitmap, screen);
    EXPECT_LT(screen, buffer);
    ExpectEverythingReleased();
}

TEST_F(ColorBarFill, EachMissingResourceFailsWithTheSurfaceUntouchedAndAllElseReleased)
{
    struct Case {
        const char* what;
        bool allocFails, screenFails;
        int failingBitmap, failingDc;
    } cases[] = {
        {"no buffer", true, false, 0, 0},       {"no screen DC", false, true, 0, 0},
        {"no base bitmap", false, false, 1, 0}, {"no target bitmap", false, false, 2, 0},
        {"no base DC", false, false, 0, 1},     {"no target DC", false, false, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        fakeGdi.allocFails = c.allocFails;
        fakeGdi.screenFails = c.screenFails;
        fakeGdi.failingBitmap = c.failingBitmap;
        fakeGdi.failingDc = c.failingDc;
        std::vector<uint8_t> surface(1440 * 576, 0xCD);
        EXPECT_EQ(0, FillSurfaceWith(FakeColorBarOps(), LAYOUT_RGB565, surface.data(), 1440, 720, 576));
        EXPECT_EQ(std::vector<uint8_t>(1440 * 576, 0xCD), surface);
        EXPECT_EQ(0, CountOverlayCalls("GetDIBits"));
        ExpectEverythingReleased();
        EXPECT_EQ(c.allocFails || c.screenFails ? 0 : 1, fakeGdi.screenReleases);
    }
}

}  // namespace
