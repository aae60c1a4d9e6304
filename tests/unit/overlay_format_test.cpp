#include <gtest/gtest.h>

#include "overlay/format_test.h"
#include "tests/unit/overlay_fakes.h"

namespace {

class OverlayFormatTest : public ::testing::Test {
protected:
    void SetUp() override { ResetOverlayFakes(); }
    const DirectDrawOps dd = FakeDirectDrawOps();
    const FormatTestOps ops = FakeFormatTestOps();

    int Run(OverlayFormat format = OVERLAY_YUY2)
    {
        EXPECT_EQ(1, OpenDirectDrawWith(dd));
        const int passed = TestOverlayFormatWith(dd, ops, fakeTestWindow, 720, 576, format);
        ExpectNoSurfacesHeld();
        EXPECT_EQ(1, fakeDd.objects.Count("directdraw")) << "the format test must leave the context open";
        EXPECT_EQ(0, fakeDesktop.windowDcs) << "window DC never released";
        CloseDirectDrawWith(dd);
        ExpectDirectDrawClosed();
        return passed;
    }
};

TEST_F(OverlayFormatTest, TheKeyIsMagentaInThePrimarysPixelFormat)
{
    struct Case {
        const char* what;
        uint32_t bits, red, green, blue;
        bool keyed;
        uint32_t key;
    } cases[] = {
        {"5-6-5", 16, 0xF800, 0x07E0, 0x001F, true, 0xF81F},
        {"5-5-5 at 16 bits", 16, 0x7C00, 0x03E0, 0x001F, true, 0x7C1F},
        {"5-5-5 at 15 bits", 15, 0x7C00, 0x03E0, 0x001F, true, 0x7C1F},
        {"16 bits, other masks", 16, 0x000F, 0x00F0, 0x0F00, false, 0},
        {"24 bits", 24, 0xFF0000, 0x00FF00, 0x0000FF, true, 0xFF00FF},
        {"32 bits, any masks", 32, 0x0000FF, 0x00FF00, 0xFF0000, true, 0xFF00FF},
        {"no RGB format", 0, 0, 0, 0, false, 0},
        {"4 bits", 4, 0, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        fakeDd.primaryTemplate = PrimaryOf(c.bits, c.red, c.green, c.blue);
        fakeDesktop.answers = {IDYES_ANSWER};
        EXPECT_EQ(c.keyed ? 1 : 0, Run());
        if (c.keyed) {
            EXPECT_EQ((std::vector<uint32_t>{DDCKEY_DESTOVERLAY_FLAG, c.key, c.key}), fakeDd.keys);
            EXPECT_EQ(1u, fakeDesktop.questions.size());
        } else {
            EXPECT_EQ(0, CountOverlayCalls("SetColorKey"));
            EXPECT_EQ(0, CountOverlayCalls("UpdateOverlay"));
            EXPECT_EQ(0u, fakeDesktop.fills.size());
            EXPECT_TRUE(fakeDesktop.questions.empty());
        }
    }
}

TEST_F(OverlayFormatTest, AnEightBitPrimaryKeysToTheFirstMagentaPaletteEntry)
{
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, std::array<uint8_t, 3>>> entries;
        size_t readable;
        bool keyed;
        uint32_t key;
        size_t reads;
    } cases[] = {
        {"index 13 and 200", {{13, {255, 0, 255}}, {200, {255, 0, 255}}}, 256, true, 13, 14},
        {"only the last", {{255, {255, 0, 255}}}, 256, true, 255, 256},
        {"near misses only", {{1, {255, 1, 255}}, {2, {254, 0, 255}}, {3, {255, 0, 254}}}, 256, false, 0, 256},
        {"the palette cannot be read past 10", {{13, {255, 0, 255}}}, 10, false, 0, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        fakeDd.primaryTemplate = PrimaryOf(8, 0, 0, 0);
        for (const auto& e : c.entries) fakeDesktop.palette[e.first] = e.second;
        fakeDesktop.readablePaletteEntries = c.readable;
        fakeDesktop.answers = {IDYES_ANSWER};
        EXPECT_EQ(c.keyed ? 1 : 0, Run());
        EXPECT_EQ(c.reads, fakeDesktop.paletteReads.size());
        if (c.keyed) {
            EXPECT_EQ((std::vector<uint32_t>{4, c.key, c.key}), fakeDd.keys);
        } else {
            EXPECT_TRUE(fakeDesktop.questions.empty());
        }
    }
}

TEST_F(OverlayFormatTest, ShowsTheFilledOverlayOverTheClientAreaWhileAsking)
{
    fakeDesktop.answers = {IDYES_ANSWER};
    fakeDd.overlayTemplate = OverlayOf(OVERLAY_UYVY, 1536);
    fakeDd.primaryTemplate.description.width = 1024;
    fakeDd.primaryTemplate.description.height = 768;
    EXPECT_EQ(1, Run(OVERLAY_UYVY));

    ASSERT_EQ(1u, fakeDesktop.fills.size());
    const FillCall& fill = fakeDesktop.fills[0];
    EXPECT_EQ(OVERLAY_UYVY, fill.format);
    EXPECT_TRUE(fill.locked) << "the fill must write while the surface is locked";
    EXPECT_EQ(1536, fill.pitch);
    EXPECT_EQ(720, fill.width);
    EXPECT_EQ(576, fill.height);

    // Shown keyed over the client area's screen rectangle, hidden with the same.
    ASSERT_EQ(2u, fakeDd.updates.size());
    EXPECT_EQ(0x4400u, fakeDd.updates[0].flags);
    EXPECT_EQ("0,0,720,576", Describe(fakeDd.updates[0].source));
    EXPECT_EQ("152,105,872,681", Describe(fakeDd.updates[0].target));
    EXPECT_EQ(0x200u, fakeDd.updates[1].flags);
    EXPECT_EQ("152,105,872,681", Describe(fakeDd.updates[1].target));

    ASSERT_EQ(1u, fakeDesktop.questions.size());
    const Question& q = fakeDesktop.questions[0];
    EXPECT_EQ(fakeTestWindow, q.owner);
    EXPECT_EQ("Is the overlay screen displayed properly?", q.text);
    EXPECT_EQ("Zephon Test", q.caption);
    EXPECT_EQ(4u, q.type);
    EXPECT_TRUE(q.overlayShown);

    // Colour key before the fill, the fill before the show, the question before the hide.
    EXPECT_LT(IndexOfCall("SetColorKey"), IndexOfCall("Fill"));
    EXPECT_LT(IndexOfCall("Fill"), IndexOfCall("UpdateOverlay 17408"));
    EXPECT_LT(IndexOfCall("MessageBoxA"), IndexOfCall("UpdateOverlay 512"));
    EXPECT_LT(IndexOfCall("UpdateOverlay 512"), IndexOfCall("Release overlay"));
}

TEST_F(OverlayFormatTest, TheCaptionNamesTheFormatOnlyWithAllFormats)
{
    struct Case {
        int allFormats;
        OverlayFormat format;
        const char* caption;
    } cases[] = {
        {0, OVERLAY_YUY2, "Zephon Test"},          {0, OVERLAY_RGB565, "Zephon Test"},
        {1, OVERLAY_YUY2, "Zephon Test - YUY2"},   {1, OVERLAY_UYVY, "Zephon Test - UYVY"},
        {1, OVERLAY_RGB565, "Zephon Test - RGB565"},
    };
    for (const Case& c : cases) {
        ResetOverlayFakes();
        allOverlayFormats = c.allFormats;
        fakeDd.overlayTemplate = OverlayOf(c.format);
        Run(c.format);
        ASSERT_EQ(1u, fakeDesktop.questions.size());
        EXPECT_EQ(c.caption, fakeDesktop.questions[0].caption);
    }
}

TEST_F(OverlayFormatTest, EveryFailureFailsTheFormatAndReleasesWhatItMade)
{
    struct Case {
        const char* what;
        void (*script)();
        bool asked;
    } cases[] = {
        {"GetCaps fails", [] { fakeDd.capsResult = (int32_t)0x80004005; }, false},
        {"no overlay caps", [] { fakeDd.caps = DDCAPS_COLORKEY_FLAG; }, false},
        {"stretch 1001", [] { fakeDd.minStretch = 1001; }, false},
        {"cooperative level", [] { fakeDd.cooperativeResult = (int32_t)0x80070057; }, false},
        {"no primary", [] { fakeDd.primaryResult = (int32_t)0x8876024B; }, false},
        {"no overlay", [] { fakeDd.overlayResult = (int32_t)0x88760064; }, false},
        {"overlay description", [] { fakeDd.overlayTemplate.descResult = (int32_t)0x80004005; }, false},
        {"primary lock", [] { fakeDd.primaryTemplate.lockResults = {(int32_t)0x887601C2}; }, false},
        {"overlay busy too long",
         [] {
             fakeDd.overlayTemplate.lockResults = std::deque<int32_t>(50, DDERR_WASSTILLDRAWING_RESULT);
             fakeDd.times = {0, 0, 10, 1001};
         },
         false},
        {"SetColorKey", [] { fakeDd.colorKeyResult = (int32_t)0x80004001; }, false},
        {"neither show works",
         [] { fakeDd.keyedResult = fakeDd.unkeyedResult = (int32_t)0x80004001; }, false},
        {"the user says No", [] { fakeDesktop.answers = {7}; }, true},
        {"the fill's lock fails, asked all the same",
         [] { fakeDd.overlayTemplate.lockResults = {DD_OK_RESULT, (int32_t)0x887601C2}; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        c.script();
        EXPECT_EQ(0, Run());
        EXPECT_EQ(c.asked ? 1u : 0u, fakeDesktop.questions.size());
        for (const auto& s : fakeDd.surfaces) EXPECT_FALSE(s.second.locked);
    }
}

TEST_F(OverlayFormatTest, AnUnkeyedShowStillLetsTheUserConfirm)
{
    fakeDd.keyedResult = (int32_t)0x80004001;
    fakeDesktop.answers = {IDYES_ANSWER};
    EXPECT_EQ(1, Run());
    EXPECT_EQ(3u, fakeDd.updates.size());
}

TEST_F(OverlayFormatTest, EachTestAsksForTheCapsAgain)
{
    fakeDd.caps = 0;
    ASSERT_EQ(1, OpenDirectDrawWith(dd));
    for (OverlayFormat f : {OVERLAY_YUY2, OVERLAY_RGB565, OVERLAY_UYVY}) {
        EXPECT_EQ(0, TestOverlayFormatWith(dd, ops, fakeTestWindow, 720, 576, f));
    }
    EXPECT_EQ(3u, fakeDd.capsAsked.size());
    EXPECT_TRUE(fakeDd.created.empty());
    CloseDirectDrawWith(dd);
    ExpectDirectDrawClosed();
}

TEST_F(OverlayFormatTest, ASurfaceSmallerThanThePictureIsNotFilled)
{
    struct Case {
        const char* what;
        uint32_t width, height;
        int32_t pitch;
    } cases[] = {
        {"narrower", 640, 576, 1536},
        {"lower", 720, 480, 1536},
        {"pitch below a row", 720, 576, 1400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        fakeDd.overlayTemplate = OverlayOf(OVERLAY_YUY2, c.pitch);
        fakeDd.overlayTemplate.description.width = c.width;
        fakeDd.overlayTemplate.description.height = c.height;
        fakeDesktop.answers = {IDYES_ANSWER};
        EXPECT_EQ(1, Run());
        EXPECT_TRUE(fakeDesktop.fills.empty());
        EXPECT_EQ(1u, fakeDesktop.questions.size());
    }
}

}  // namespace
