#include <gtest/gtest.h>

#include "machine/processor.h"
#include "tests/unit/fakes.h"

namespace {

// ---- The processor text ----------------------------------------------------

TEST(FormatProcessorText, ClockForms)
{
    const struct {
        uint32_t mhz;
        const char* text;
    } cases[] = {
        {866, "Pentium III 866MHz"},        {1000, "Pentium III 1GHz"},
        {1005, "Pentium III 1.005GHz"},     {1700, "Pentium III 1.700GHz"},
        {2000, "Pentium III 2GHz"},         {0, "Pentium III ?MHz"},
        {1, "Pentium III 1MHz"},            {999, "Pentium III 999MHz"},
        {1050, "Pentium III 1.050GHz"},     {2999, "Pentium III 2.999GHz"},
        // The divisions are unsigned: a clock above 2^31 is not negative.
        {0xFFFFFFFFu, "Pentium III 4294967.295GHz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mhz << " MHz");
        ResetProcessState();
        FormatProcessorText(1, "Pentium III", c.mhz);
        EXPECT_STREQ(c.text, MachineInfo.processorText);
    }
}

TEST(FormatProcessorText, ProcessorCountPrefix)
{
    const struct {
        uint32_t count;
        const char* text;
    } cases[] = {
        {1, "Celeron 500MHz"}, {2, "Dual Celeron 500MHz"}, {4, "4 Celeron 500MHz"},
        {3, "3 Celeron 500MHz"}, {0, "0 Celeron 500MHz"}, {32, "32 Celeron 500MHz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " processors");
        ResetProcessState();
        FormatProcessorText(c.count, "Celeron", 500);
        EXPECT_STREQ(c.text, MachineInfo.processorText);
    }
}

TEST(FormatProcessorText, OverlongTextIsCutAtTheField)
{
    ResetProcessState();
    const uint32_t sentinel = 0xA5A5A5A5;
    MachineInfo.totalMemory = sentinel;  // the field right after processorText
    const std::string name(140, 'N');
    FormatProcessorText(32, name.c_str(), 1005);
    const std::string full = "32 " + name + " 1.005GHz";
    EXPECT_EQ(full.substr(0, 127), std::string(MachineInfo.processorText));
    EXPECT_EQ('\0', MachineInfo.processorText[127]);
    EXPECT_EQ(sentinel, MachineInfo.totalMemory);
}

// ---- The clock measurement -------------------------------------------------

class ClockMeasurement : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        fakeClock = FakeClock();
    }

    uint32_t Measure(std::vector<uint32_t> times, std::vector<uint64_t> counters)
    {
        fakeClock.times = times;
        fakeClock.counters = counters;
        const uint32_t mhz = MeasureClockMhzWith(FakeClockOps());
        EXPECT_FALSE(fakeClock.ranOut) << "read the timer more often than the script allows";
        return mhz;
    }
};

TEST_F(ClockMeasurement, CountsFromTheFirstTimerStepTo1002MillisecondsAfterTheStart)
{
    fakeClock.rememberedPriority = 2;
    const uint32_t mhz = Measure({5000, 5000, 5000, 5001, 5500, 6001, 6002},
                                 {1000000000ull, 1000000000ull + 866999999ull});
    EXPECT_EQ(866u, mhz);
    const std::vector<std::string> expected = {
        "GetCurrentThread", "GetThreadPriority", "SetThreadPriority 15",
        // Waits for the timer to move off t0 before the first count...
        "timeGetTime 5000", "timeGetTime 5000", "timeGetTime 5000", "timeGetTime 5001", "ReadTimeStampCounter",
        // ...and 1001 ms after t0 is not yet enough.
        "timeGetTime 5500", "timeGetTime 6001", "timeGetTime 6002", "ReadTimeStampCounter",
        "SetThreadPriority 2",
    };
    EXPECT_EQ(expected, fakeCalls);
    for (void* thread : fakeClock.threads) EXPECT_EQ(fakeThread, thread);
}

TEST_F(ClockMeasurement, RestoresWhateverPriorityItFound)
{
    for (int priority : {-15, -2, 0, 1, 15}) {
        SCOPED_TRACE(testing::Message() << "priority " << priority);
        fakeClock = FakeClock();
        fakeCalls.clear();
        fakeClock.rememberedPriority = priority;
        Measure({0, 1, 1002}, {0, 2000000000ull});
        ASSERT_FALSE(fakeCalls.empty());
        EXPECT_EQ("SetThreadPriority " + std::to_string(priority), fakeCalls.back());
        EXPECT_EQ(2, CountCalls("SetThreadPriority"));
        EXPECT_LT(FirstCallIndex("SetThreadPriority 15"), FirstCallIndex("timeGetTime"));
    }
}

TEST_F(ClockMeasurement, TimerWrappingPastZero)
{
    // t0 = 0xFFFFFF00: 256 ms to the wrap, then 0x2E9 = 745 more is 1001, 0x2EA is 1002.
    const uint32_t mhz = Measure({0xFFFFFF00u, 0xFFFFFF01u, 0xFFFFFFFFu, 0x00000000u, 0x000002E9u, 0x000002EAu},
                                 {10000000000ull, 10000000000ull + 1700000000ull});
    EXPECT_EQ(1700u, mhz);
    EXPECT_EQ("timeGetTime 746", fakeCalls[fakeCalls.size() - 3]);
    EXPECT_EQ("ReadTimeStampCounter", fakeCalls[fakeCalls.size() - 2]);
    EXPECT_EQ(2u, fakeClock.counterReads);
}

TEST_F(ClockMeasurement, FirstStepWrappingToZero)
{
    const uint32_t mhz = Measure({0xFFFFFFFFu, 0xFFFFFFFFu, 0u, 1001u}, {100, 100 + 2000000000ull});
    EXPECT_EQ(2000u, mhz);
    EXPECT_EQ(4u, fakeClock.timeReads);
}

TEST_F(ClockMeasurement, ResultFromTheCounterDifference)
{
    const struct {
        const char* what;
        uint64_t c0, c1;
        uint32_t mhz;
    } cases[] = {
        {"truncated toward zero", 1000000000ull, 1000000000ull + 999999ull, 0},
        {"one million per MHz", 7, 7 + 1000000ull, 1},
        {"a 3 GHz counter", 123456789012ull, 123456789012ull + 3000000000ull, 3000},
        {"RDTSC faulted", 0, 0, 0},
        {"counter went back a little", 5000000000ull, 4999999000ull, 0},
        {"counter went back a lot", 5000000000ull, 4000000000ull, 0},
        {"counter went back from the top", 0xFFFFFFFFFFFFFF00ull, 0x100ull, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fakeClock = FakeClock();
        EXPECT_EQ(c.mhz, Measure({0, 1, 1002}, {c.c0, c.c1}));
    }
}

}  // namespace
