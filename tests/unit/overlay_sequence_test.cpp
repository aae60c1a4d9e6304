#include <gtest/gtest.h>

#include "overlay/overlay_sequence.h"
#include "tests/unit/overlay_fakes.h"

namespace {

// The sequence over the real context and format test, on the fakes.
const FormatSequenceOps kSequenceOps = {
    [] { return OpenDirectDrawWith(FakeDirectDrawOps()); },
    [] { return CloseDirectDrawWith(FakeDirectDrawOps()); },
    [](void* window, uint16_t width, uint16_t height, OverlayFormat format) {
        fakeDd.overlayTemplate = OverlayOf(format);
        return TestOverlayFormatWith(FakeDirectDrawOps(), FakeFormatTestOps(), window, width, height, format);
    },
};

int RunTest(void* owner)
{
    overlayTestResult = OVERLAY_RESULT_CONFIRMED;
    EXPECT_EQ((void*)0xD1A, owner);
    RunFormatSequenceWith(kSequenceOps, fakeTestWindow);
    return overlayTestResult;
}

class OverlaySequenceTest : public ::testing::Test {
protected:
    void SetUp() override { ResetOverlayFakes(); }
};

std::vector<uint32_t> OverlayFourCCs()
{
    std::vector<uint32_t> codes;
    for (const SurfaceDescription& d : fakeDd.created) {
        if (d.caps & DDSCAPS_OVERLAY_FLAG) {
            codes.push_back(d.pixelFormat.flags & DDPF_RGB_FLAG ? 565 : d.pixelFormat.fourCC);
        }
    }
    return codes;
}

TEST_F(OverlaySequenceTest, FormatsAreTriedInOrderUntilOneIsConfirmed)
{
    struct Case {
        const char* what;
        int allFormats;
        std::deque<int> answers;
        std::vector<std::string> captions;
        int32_t result;
        OverlayState state;
    } cases[] = {
        {"Yes at once", 0, {6}, {"Zephon Test"}, 0, OVERLAY_STATE_SUPPORTED},
        {"No, then Yes", 0, {7, 6}, {"Zephon Test", "Zephon Test"}, 0, OVERLAY_STATE_SUPPORTED},
        {"three Nos", 0, {7, 7, 7}, {"Zephon Test", "Zephon Test", "Zephon Test"}, 105,
         OVERLAY_STATE_NOT_SUPPORTED},
        {"/ALLOVL: Yes, Yes, No", 1, {6, 6, 7},
         {"Zephon Test - YUY2", "Zephon Test - RGB565", "Zephon Test - UYVY"}, 105, OVERLAY_STATE_NOT_SUPPORTED},
        {"/ALLOVL: No, No, Yes", 1, {7, 7, 6},
         {"Zephon Test - YUY2", "Zephon Test - RGB565", "Zephon Test - UYVY"}, 0, OVERLAY_STATE_SUPPORTED},
    };
    const std::vector<uint32_t> order = {FOURCC_YUY2, 565, FOURCC_UYVY};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetOverlayFakes();
        MachineInfo.overlayState = OVERLAY_STATE_NOT_TESTED;
        allOverlayFormats = c.allFormats;
        fakeDesktop.answers = c.answers;
        EXPECT_EQ(c.result, OnOverlayTestButtonWith(RunTest, (void*)0xD1A));
        EXPECT_EQ(c.state, MachineInfo.overlayState);
        std::vector<std::string> captions;
        for (const Question& q : fakeDesktop.questions) captions.push_back(q.caption);
        EXPECT_EQ(c.captions, captions);
        EXPECT_EQ(std::vector<uint32_t>(order.begin(), order.begin() + (long)c.captions.size()), OverlayFourCCs());
        EXPECT_EQ(1, fakeDd.loads) << "one DirectDraw for the whole run";
        ExpectDirectDrawClosed();
    }
}

TEST_F(OverlaySequenceTest, WithoutDirectDrawNothingIsAskedAndTheOverlayIsNotSupported)
{
    MachineInfo.overlayState = OVERLAY_STATE_SUPPORTED;
    fakeDd.loadFails = true;
    EXPECT_EQ(105, OnOverlayTestButtonWith(RunTest, (void*)0xD1A));
    EXPECT_EQ(OVERLAY_STATE_NOT_SUPPORTED, MachineInfo.overlayState);
    EXPECT_TRUE(fakeDesktop.questions.empty());
    EXPECT_EQ(0, CountOverlayCalls("GetCaps"));
    ExpectDirectDrawClosed();
}

TEST_F(OverlaySequenceTest, ADriverWithoutOverlaysFailsEveryFormatWithoutAsking)
{
    fakeDd.caps = 0;
    EXPECT_EQ(105, OnOverlayTestButtonWith(RunTest, (void*)0xD1A));
    EXPECT_EQ(3, CountOverlayCalls("GetCaps"));
    EXPECT_TRUE(fakeDd.created.empty());
    EXPECT_TRUE(fakeDesktop.questions.empty());
    ExpectDirectDrawClosed();
}

TEST_F(OverlaySequenceTest, TheResultSetsTheOverlayStateExceptWhenThereWasNoWindow)
{
    struct Case {
        OverlayState before;
        int32_t result;
        OverlayState after;
    } cases[] = {
        {3, 0, 1}, {4, 0, 1}, {1, 105, 4}, {3, 105, 4}, {3, 101, 3}, {1, 101, 1}, {4, 101, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " after " << c.result);
        EXPECT_EQ(c.after, OverlayStateAfterTest(c.before, c.result));
    }
}

int nestedResult = -1;
int runs = 0;

int RunThatPressesAgain(void*)
{
    runs++;
    // The question box's loop would dispatch a second press of the button here.
    nestedResult = OnOverlayTestButtonWith(RunThatPressesAgain, (void*)0xD1A);
    return OVERLAY_RESULT_CONFIRMED;
}

TEST_F(OverlaySequenceTest, ASecondPressDuringARunIsIgnored)
{
    MachineInfo.overlayState = OVERLAY_STATE_NOT_TESTED;
    EXPECT_EQ(0, OnOverlayTestButtonWith(RunThatPressesAgain, (void*)0xD1A));
    EXPECT_EQ(1, runs);
    EXPECT_EQ(101, nestedResult);
    EXPECT_EQ(OVERLAY_STATE_SUPPORTED, MachineInfo.overlayState);
    EXPECT_EQ(0, overlayTestRunning) << "the next press must run again";
}

TEST(OverlayWindowPlacement, ClientAreaBecomes720x576CentredOnTheScreen)
{
    struct Case {
        const char* what;
        OverlayRect client, window;
        int32_t screenWidth, screenHeight;
        OverlayWindowPlacement expected;
    } cases[] = {
        {"frame 8 x 27 on 1024 x 768", {104, 123, 296, 196}, {100, 100, 300, 200}, 1024, 768, {148, 82, 728, 603}},
        {"the default position does not matter", {4, 23, 196, 96}, {0, 0, 200, 100}, 1024, 768, {148, 82, 728, 603}},
        {"larger than the screen: negative, truncated toward zero", {4, 23, 196, 96}, {0, 0, 200, 100}, 640, 480,
         {-44, -61, 728, 603}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OverlayWindowPlacement p = PlaceOverlayWindow(c.client, c.window, c.screenWidth, c.screenHeight);
        EXPECT_EQ(c.expected.x, p.x);
        EXPECT_EQ(c.expected.y, p.y);
        EXPECT_EQ(c.expected.width, p.width);
        EXPECT_EQ(c.expected.height, p.height);
    }
}

}  // namespace
