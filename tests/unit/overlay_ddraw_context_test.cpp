#include <gtest/gtest.h>

#include "overlay/ddraw_context.h"
#include "tests/unit/overlay_fakes.h"

namespace {

class DirectDrawContextTest : public ::testing::Test {
protected:
    void SetUp() override { ResetOverlayFakes(); }
    const DirectDrawOps ops = FakeDirectDrawOps();

    void OpenWithSurfaces(OverlayFormat format = OVERLAY_YUY2)
    {
        ASSERT_EQ(1, OpenDirectDrawWith(ops));
        ASSERT_EQ(1, CreateOverlaySurfacesWith(ops, fakeTestWindow, 720, 576, format));
    }
};

TEST_F(DirectDrawContextTest, NestedOpensShareOneObjectUntilTheLastClose)
{
    ASSERT_EQ(1, OpenDirectDrawWith(ops));
    ASSERT_EQ(1, OpenDirectDrawWith(ops));
    EXPECT_EQ(1, fakeDd.loads) << "the nested open must not load again";
    EXPECT_EQ(1, CountOverlayCalls("DirectDrawCreate"));
    EXPECT_EQ(2, DirectDrawContext.openCount);

    EXPECT_EQ(1, CloseDirectDrawWith(ops));
    EXPECT_EQ(1, fakeDd.objects.Count("directdraw"));
    EXPECT_EQ(1u, fakeDd.libraries.size());

    EXPECT_EQ(1, CloseDirectDrawWith(ops));
    ExpectDirectDrawClosed();
    EXPECT_EQ(0, CloseDirectDrawWith(ops)) << "a close with nothing open";
    EXPECT_EQ(0, DirectDrawContext.openCount);
    EXPECT_EQ("LoadLibraryA ddraw.dll", overlayCalls[0]);
    EXPECT_EQ("GetProcAddress DirectDrawCreate", overlayCalls[1]);
}

TEST_F(DirectDrawContextTest, CloseReleasesSurfacesBeforeTheObjectAndFreesTheLibraryLast)
{
    OpenWithSurfaces();
    overlayCalls.clear();
    EXPECT_EQ(1, CloseDirectDrawWith(ops));
    const std::vector<std::string> expected = {"Release overlay", "Release primary", "Release directdraw",
                                               "FreeLibrary"};
    EXPECT_EQ(expected, overlayCalls);
    ExpectDirectDrawClosed();
}

TEST_F(DirectDrawContextTest, AFailedOpenHoldsNothingAndTheNextOpenLoadsAgain)
{
    struct Case {
        const char* what;
        bool loadFails, entryMissing;
        int32_t createResult;
    } cases[] = {
        {"ddraw.dll missing", true, false, DD_OK_RESULT},
        {"no DirectDrawCreate", false, true, DD_OK_RESULT},
        {"DirectDrawCreate fails", false, false, (int32_t)0x887600D7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        fakeDd.loadFails = c.loadFails;
        fakeDd.entryMissing = c.entryMissing;
        fakeDd.createResult = c.createResult;
        EXPECT_EQ(0, OpenDirectDrawWith(ops));
        ExpectDirectDrawClosed();
        EXPECT_EQ(0, CloseDirectDrawWith(ops));

        fakeDd.loadFails = fakeDd.entryMissing = false;
        fakeDd.createResult = DD_OK_RESULT;
        EXPECT_EQ(1, OpenDirectDrawWith(ops));
        EXPECT_EQ(2, CountOverlayCalls("LoadLibraryA"));
        EXPECT_EQ(1, DirectDrawContext.openCount);
        CloseDirectDrawWith(ops);
        ExpectDirectDrawClosed();
    }
}

TEST_F(DirectDrawContextTest, OverlaySupportNeedsBothCapsAndAMinimumStretchOfAtMost1000)
{
    struct Case {
        uint32_t caps, minStretch;
        int supported;
    } cases[] = {
        {DDCAPS_OVERLAY_FLAG | DDCAPS_COLORKEY_FLAG, 1000, 1},
        {DDCAPS_OVERLAY_FLAG | DDCAPS_COLORKEY_FLAG, 1001, 0},
        {DDCAPS_OVERLAY_FLAG | DDCAPS_COLORKEY_FLAG | 0x1, 0, 1},
        {DDCAPS_OVERLAY_FLAG, 1000, 0},
        {DDCAPS_COLORKEY_FLAG, 1000, 0},
        {DDCAPS_OVERLAY_FLAG | DDCAPS_COLORKEY_FLAG, 0xFFFFFFFF, 0},  // compared unsigned
    };
    ASSERT_EQ(1, OpenDirectDrawWith(ops));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.caps << " stretch " << std::dec << c.minStretch);
        fakeDd.caps = c.caps;
        fakeDd.minStretch = c.minStretch;
        int supported = -1;
        EXPECT_EQ(1, QueryOverlaySupportWith(ops, &supported));
        EXPECT_EQ(c.supported, supported);
    }
    const OverlayCaps& asked = fakeDd.capsAsked.back();
    EXPECT_EQ(364u, asked.size);
    EXPECT_EQ(0u, asked.caps);
    EXPECT_EQ(0u, asked.minOverlayStretch);

    fakeDd.capsResult = (int32_t)0x80004005;
    int supported = -1;
    EXPECT_EQ(0, QueryOverlaySupportWith(ops, &supported));
    CloseDirectDrawWith(ops);
    EXPECT_EQ(0, QueryOverlaySupportWith(ops, &supported)) << "no DirectDraw object";
}

TEST_F(DirectDrawContextTest, SurfacesAreDescribedAsThePrimaryAndA720x576OverlayOfTheFormat)
{
    struct Case {
        OverlayFormat format;
        uint32_t pfFlags, fourCC, bits, red, green, blue;
    } cases[] = {
        {OVERLAY_YUY2, DDPF_FOURCC_FLAG, 0x32595559, 0, 0, 0, 0},
        {OVERLAY_UYVY, DDPF_FOURCC_FLAG, 0x59565955, 0, 0, 0, 0},
        {OVERLAY_RGB565, DDPF_RGB_FLAG, 0, 16, 0xF800, 0x07E0, 0x001F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(OverlayFormatName(c.format));
        ResetOverlayFakes();
        OpenWithSurfaces(c.format);
        ASSERT_EQ(1u, fakeDd.cooperative.size());
        EXPECT_EQ(fakeTestWindow, fakeDd.cooperative[0].first);
        EXPECT_EQ(8u, fakeDd.cooperative[0].second);
        ASSERT_EQ(2u, fakeDd.created.size());
        const SurfaceDescription& p = fakeDd.created[0];
        EXPECT_EQ(108u, p.size);
        EXPECT_EQ(0x1u, p.flags);
        EXPECT_EQ(0x200u, p.caps);
        EXPECT_EQ(0u, p.width);
        EXPECT_EQ(0u, p.pixelFormat.size);
        const SurfaceDescription& o = fakeDd.created[1];
        EXPECT_EQ(108u, o.size);
        EXPECT_EQ(0x1007u, o.flags);
        EXPECT_EQ(576u, o.height);
        EXPECT_EQ(720u, o.width);
        EXPECT_EQ(0x80u, o.caps) << "memory placement is the driver's choice";
        EXPECT_EQ(32u, o.pixelFormat.size);
        EXPECT_EQ(c.pfFlags, o.pixelFormat.flags);
        EXPECT_EQ(c.fourCC, o.pixelFormat.fourCC);
        EXPECT_EQ(c.bits, o.pixelFormat.rgbBitCount);
        EXPECT_EQ(c.red, o.pixelFormat.redMask);
        EXPECT_EQ(c.green, o.pixelFormat.greenMask);
        EXPECT_EQ(c.blue, o.pixelFormat.blueMask);
        EXPECT_EQ(0u, o.pixelFormat.alphaMask);
        EXPECT_EQ(1, ReleaseOverlaySurfacesWith(ops));
        ExpectNoSurfacesHeld();
        CloseDirectDrawWith(ops);
        ExpectDirectDrawClosed();
    }
}

TEST_F(DirectDrawContextTest, AFailedCreationLeavesNoSurfaceBehind)
{
    struct Case {
        const char* what;
        int32_t cooperative, primary, overlay;
        int creations;
    } cases[] = {
        {"cooperative level refused", (int32_t)0x80070057, DD_OK_RESULT, DD_OK_RESULT, 0},
        {"no primary surface", DD_OK_RESULT, (int32_t)0x8876024B, DD_OK_RESULT, 1},
        {"no overlay surface", DD_OK_RESULT, DD_OK_RESULT, (int32_t)0x88760064, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        fakeDd.cooperativeResult = c.cooperative;
        fakeDd.primaryResult = c.primary;
        fakeDd.overlayResult = c.overlay;
        ASSERT_EQ(1, OpenDirectDrawWith(ops));
        EXPECT_EQ(0, CreateOverlaySurfacesWith(ops, fakeTestWindow, 720, 576, OVERLAY_UYVY));
        EXPECT_EQ(c.creations, (int)fakeDd.created.size());
        ExpectNoSurfacesHeld();
        CloseDirectDrawWith(ops);
        ExpectDirectDrawClosed();
    }
}

TEST_F(DirectDrawContextTest, ASecondCreationReplacesTheSurfacesItHeld)
{
    OpenWithSurfaces();
    ASSERT_EQ(1, CreateOverlaySurfacesWith(ops, fakeTestWindow, 720, 576, OVERLAY_RGB565));
    EXPECT_EQ(1, fakeDd.objects.Count("primary"));
    EXPECT_EQ(1, fakeDd.objects.Count("overlay"));
    CloseDirectDrawWith(ops);
    ExpectDirectDrawClosed();
}

TEST_F(DirectDrawContextTest, SurfaceInfoReadsTheFormatAndTheLockedLayout)
{
    fakeDd.primaryTemplate = PrimaryOf(8, 0, 0, 0);
    OpenWithSurfaces(OVERLAY_YUY2);

    SurfaceInfo primary, overlay;
    memset(&primary, 0xAB, sizeof primary);
    ASSERT_EQ(DD_OK_RESULT, QuerySurfaceInfoWith(ops, DirectDrawContext.primarySurface, &primary));
    EXPECT_EQ(8u, primary.rgbBitCount);
    EXPECT_EQ(0xFFFFFFFFu, primary.fourCC);
    EXPECT_EQ(800u, primary.width);
    EXPECT_EQ(600u, primary.height);
    EXPECT_EQ(800, primary.pitch);

    ASSERT_EQ(DD_OK_RESULT, QuerySurfaceInfoWith(ops, DirectDrawContext.overlaySurface, &overlay));
    FakeSurface* s = SurfaceOf(DirectDrawContext.overlaySurface);
    EXPECT_EQ(0x32595559u, overlay.fourCC);
    EXPECT_EQ(0u, overlay.rgbBitCount);
    EXPECT_EQ(1536, overlay.pitch);
    EXPECT_EQ((void*)s->memory.data(), overlay.memory);
    EXPECT_FALSE(s->locked) << "unlocked at once";
    ASSERT_EQ(1u, s->unlockAddresses.size());
    EXPECT_EQ((void*)s->memory.data(), s->unlockAddresses[0]) << "unlocked with the address Lock returned";
    for (const SurfaceDescription& asked : fakeDd.locksAsked) {
        EXPECT_EQ(108u, asked.size);
        EXPECT_EQ(0u, asked.flags) << "the lock's description starts zeroed";
    }

    s->descResult = (int32_t)0x88760082;
    EXPECT_EQ((int32_t)0x88760082, QuerySurfaceInfoWith(ops, DirectDrawContext.overlaySurface, &overlay));
    s->descResult = DD_OK_RESULT;
    s->lockResults.push_back((int32_t)0x887601C2);
    EXPECT_EQ((int32_t)0x887601C2, QuerySurfaceInfoWith(ops, DirectDrawContext.overlaySurface, &overlay));
    EXPECT_FALSE(s->locked);
    CloseDirectDrawWith(ops);
    ExpectDirectDrawClosed();
}

TEST_F(DirectDrawContextTest, StillDrawingIsRetriedWhileTheClockShowsAtMost1000ms)
{
    struct Case {
        const char* what;
        std::vector<uint32_t> times;  // the start, then one reading after each busy try
        int busyTries;                // Lock answers still-drawing this often, then DD_OK
        int expectedTries;
        int expectedOk;
    } cases[] = {
        {"busy to the end", {5000, 5010, 5500, 6000, 6001}, 99, 4, 0},
        {"free on the third try", {5000, 5010, 5999}, 2, 3, 1},
        {"the clock wraps round", {0xFFFFFF00u, 0x10, 0x2E8, 0x2E9}, 99, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        OpenWithSurfaces();
        FakeSurface* overlay = SurfaceOf(DirectDrawContext.overlaySurface);
        for (int i = 0; i < c.busyTries; i++) overlay->lockResults.push_back(DDERR_WASSTILLDRAWING_RESULT);
        // The primary answers at once: it reads the clock only at its start.
        fakeDd.times = c.times;
        fakeDd.times.insert(fakeDd.times.begin(), 1);
        SurfaceInfo infos[2];
        EXPECT_EQ(c.expectedOk, QuerySurfaceInfosWith(ops, infos));
        EXPECT_EQ(c.expectedTries, overlay->locks);
        EXPECT_FALSE(fakeDd.clockRanOut);
        ReleaseOverlaySurfacesWith(ops);
        CloseDirectDrawWith(ops);
        ExpectDirectDrawClosed();
    }
}

TEST_F(DirectDrawContextTest, SurfaceInfosNeedBothSurfaces)
{
    ASSERT_EQ(1, OpenDirectDrawWith(ops));
    SurfaceInfo infos[2];
    EXPECT_EQ(0, QuerySurfaceInfosWith(ops, infos));
    EXPECT_EQ(0, CountOverlayCalls("GetSurfaceDesc"));
    CloseDirectDrawWith(ops);
}

struct ClipCase {
    const char* what;
    OverlayRect target, clippedSource, clippedTarget;
    int computed;
};

TEST_F(DirectDrawContextTest, ClippingCutsTheSourceByTheShareOfTheDestinationOffTheScreen)
{
    const OverlayRect source = {0, 0, 720, 576};
    const ClipCase cases[] = {
        {"above the top", {40, -10, 760, 566}, {0, 10, 720, 576}, {40, 0, 760, 566}, 1},
        {"past the right and bottom", {100, 12, 820, 588}, {0, 0, 700, 576}, {100, 12, 800, 588}, 1},
        {"wholly below", {0, 600, 720, 1176}, {0, 0, 720, 576}, {0, 600, 720, 1176}, 0},
        {"left of the screen", {-72, 0, 648, 576}, {72, 0, 720, 576}, {0, 0, 648, 576}, 1},
        {"inside", {40, 12, 760, 588}, {0, 0, 720, 576}, {40, 12, 760, 588}, 1},
    };
    OpenWithSurfaces();
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(c.what);
        OverlayRect s, d;
        EXPECT_EQ(c.computed, ClipOverlayRectsWith(ops, DirectDrawContext.primarySurface, source, c.target, &s, &d));
        EXPECT_EQ(Describe(c.clippedSource), Describe(s));
        EXPECT_EQ(Describe(c.clippedTarget), Describe(d));
    }
    CloseDirectDrawWith(ops);
}

TEST_F(DirectDrawContextTest, ClippingThatLeavesNoSourceKeepsAOnePixelColumn)
{
    OpenWithSurfaces();
    OverlayRect s, d;
    // 1 pixel of a 7200-wide destination on the screen: the source keeps 720 * 1 / 7200 = 0 columns.
    const OverlayRect wide = {-7199, 0, 1, 576};
    EXPECT_EQ(1, ClipOverlayRectsWith(ops, DirectDrawContext.primarySurface, {0, 0, 720, 576}, wide, &s, &d));
    EXPECT_EQ("719,0,720,576", Describe(s));
    EXPECT_EQ("0,0,1,576", Describe(d));
    // The same at the right edge: the source ends at 0, so the column is 0..1.
    const OverlayRect right = {799, 0, 7999, 576};
    EXPECT_EQ(1, ClipOverlayRectsWith(ops, DirectDrawContext.primarySurface, {0, 0, 720, 576}, right, &s, &d));
    EXPECT_EQ("0,0,1,576", Describe(s));
    EXPECT_EQ("799,0,800,576", Describe(d));
    CloseDirectDrawWith(ops);
}

TEST_F(DirectDrawContextTest, ClippingWithoutThePrimarysSizePassesTheRectanglesOn)
{
    OpenWithSurfaces();
    SurfaceOf(DirectDrawContext.primarySurface)->descResult = (int32_t)0x88760082;
    OverlayRect s, d;
    EXPECT_EQ(0, ClipOverlayRectsWith(ops, DirectDrawContext.primarySurface, {0, 0, 720, 576}, {40, -10, 760, 566},
                                      &s, &d));
    EXPECT_EQ("0,0,720,576", Describe(s));
    EXPECT_EQ("40,-10,760,566", Describe(d));
    CloseDirectDrawWith(ops);
}

TEST_F(DirectDrawContextTest, ShowTriesKeyedThenUnkeyedAndHideUsesTheRectanglesAsGiven)
{
    struct Case {
        const char* what;
        int32_t keyed, unkeyed;
        int shown;
        std::vector<uint32_t> flags;
    } cases[] = {
        {"keyed works", DD_OK_RESULT, DD_OK_RESULT, 1, {0x4400}},
        {"only unkeyed works", (int32_t)0x80004001, DD_OK_RESULT, 1, {0x4400, 0x4000}},
        {"neither works", (int32_t)0x80004001, (int32_t)0x80004001, 0, {0x4400, 0x4000}},
    };
    const OverlayRect source = {0, 0, 720, 576}, target = {40, -10, 760, 566};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        fakeDd.keyedResult = c.keyed;
        fakeDd.unkeyedResult = c.unkeyed;
        OpenWithSurfaces();
        EXPECT_EQ(c.shown, ShowOverlayWith(ops, source, target));
        ASSERT_EQ(c.flags.size(), fakeDd.updates.size());
        for (size_t i = 0; i < c.flags.size(); i++) {
            const UpdateCall& u = fakeDd.updates[i];
            EXPECT_EQ(c.flags[i], u.flags);
            EXPECT_EQ(DirectDrawContext.overlaySurface, u.overlay);
            EXPECT_EQ(DirectDrawContext.primarySurface, u.primary);
            EXPECT_EQ("0,10,720,576", Describe(u.source));
            EXPECT_EQ("40,0,760,566", Describe(u.target));
        }
        EXPECT_EQ(1, HideOverlayWith(ops, source, target));
        EXPECT_EQ(0x200u, fakeDd.updates.back().flags);
        EXPECT_EQ("0,0,720,576", Describe(fakeDd.updates.back().source));
        EXPECT_EQ("40,-10,760,566", Describe(fakeDd.updates.back().target));
        ReleaseOverlaySurfacesWith(ops);
        EXPECT_EQ(0, ShowOverlayWith(ops, source, target)) << "no surfaces";
        CloseDirectDrawWith(ops);
        ExpectDirectDrawClosed();
    }
}

TEST_F(DirectDrawContextTest, ColorKeyGoesToThePrimaryAsDestinationOverlayKey)
{
    OpenWithSurfaces();
    EXPECT_EQ(1, SetOverlayColorKeyWith(ops, 0xF81F, 0xF81F));
    EXPECT_EQ(DirectDrawContext.primarySurface, fakeDd.keySurface);
    EXPECT_EQ((std::vector<uint32_t>{4, 0xF81F, 0xF81F}), fakeDd.keys);
    fakeDd.colorKeyResult = (int32_t)0x80004001;
    EXPECT_EQ(0, SetOverlayColorKeyWith(ops, 1, 1));
    CloseDirectDrawWith(ops);
}

}  // namespace
