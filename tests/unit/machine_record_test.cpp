#include <gtest/gtest.h>

#include "app/machine_record.h"

namespace {

TEST(LanguageOffsetFor, OnlyThePrimaryLanguageCounts)
{
    const struct {
        uint16_t langId;
        int32_t offset;
    } cases[] = {
        {0x0411, 0},     // Japanese (Japan)
        {0x0011, 0},     // Japanese, neutral sublanguage
        {0x0811, 0},     // the low 10 bits are still Japanese
        {0xFC11, 0},     // every sublanguage bit set
        {0x0409, 1000},  // English (United States)
        {0x0804, 1000},  // Chinese (PRC)
        {0x0412, 1000},  // Korean
        {0x0000, 1000},  // neutral
        {0x0111, 1000},  // bit 8 belongs to the primary language
        {0x0211, 1000},  // and so does bit 9
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "lang id 0x" << std::hex << c.langId);
        EXPECT_EQ(c.offset, LanguageOffsetFor(c.langId));
    }
}

TEST(OverlayStateTextId, EveryState)
{
    const struct {
        OverlayState state;
        int textId;
    } cases[] = {
        {0, 503}, {1, 502}, {2, 503}, {3, 503}, {4, 504}, {5, 505}, {6, 503}, {-1, 503}, {1000, 503},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state);
        EXPECT_EQ(c.textId, OverlayStateTextId(c.state));
    }
}

TEST(OverlayStateAfterRefresh, Transitions)
{
    const struct {
        OverlayState from;
        int width, height;
        OverlayState to;
    } cases[] = {
        {1, 640, 480, 5}, {3, 640, 480, 5}, {4, 640, 480, 5}, {5, 640, 480, 5},
        {1, 799, 600, 5}, {3, 800, 599, 5}, {4, 799, 1200, 5}, {1, 1600, 599, 5},
        {5, 800, 600, 3}, {5, 1024, 768, 3},
        {1, 800, 600, 1}, {3, 800, 600, 3}, {4, 800, 600, 4}, {1, 1280, 1024, 1}, {4, 1920, 1080, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.from << " at " << c.width << "x" << c.height);
        EXPECT_EQ(c.to, OverlayStateAfterRefresh(c.from, c.width, c.height));
    }
}

TEST(OverlayStateAfterRefresh, ResultIsLostWhenTheScreenDipsBelow800x600)
{
    for (OverlayState result : {OVERLAY_STATE_SUPPORTED, OVERLAY_STATE_NOT_SUPPORTED}) {
        SCOPED_TRACE(testing::Message() << "state " << result);
        OverlayState state = result;
        state = OverlayStateAfterRefresh(state, 1024, 768);
        EXPECT_EQ(result, state);
        state = OverlayStateAfterRefresh(state, 640, 480);
        EXPECT_EQ(OVERLAY_STATE_LOW_RESOLUTION, state);
        state = OverlayStateAfterRefresh(state, 640, 480);
        EXPECT_EQ(OVERLAY_STATE_LOW_RESOLUTION, state);
        state = OverlayStateAfterRefresh(state, 1024, 768);
        EXPECT_EQ(OVERLAY_STATE_NOT_TESTED, state);
        state = OverlayStateAfterRefresh(state, 1024, 768);
        EXPECT_EQ(OVERLAY_STATE_NOT_TESTED, state);
    }
}

}  // namespace
