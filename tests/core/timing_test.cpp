// Clocks: the microsecond sources, the local date, the message-pumping wait.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "library/core/apilock.h"
#include "library/core/system_state.h"
#include "library/core/timing.h"
#include "platform/kernel/clock.h"
#include "platform/testing.h"

class TimingTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallVirtualClock(5000, 0);
        SystemState& s = SystemStateRecord;
        s.timing.performanceCounterAvailable = 1;
        s.timing.performanceFrequency = 1000000;
        s.life.startUpComplete = 1;
        s.head.hasTimeStampCounter = 1;
        s.head.processorFrequency = 2000000000;  // counter ticks 1e6 per ms: reads as half the time
    }
    void TearDown() override {
        RemoveVirtualClock();
        SystemStateRecord.life.quit = 0;
    }
};

TEST_F(TimingTest, MicrosecondSources) {
    EXPECT_EQ(GetTimeMicroseconds(0), 5000000u);  // high-resolution counter, never the processor's
    EXPECT_EQ(GetTimeMicroseconds(1), 2500000u);  // processor counter
    SystemStateRecord.life.startUpComplete = 0;
    EXPECT_EQ(GetTimeMicroseconds(1), 5000000u);
    SystemStateRecord.timing.performanceCounterAvailable = 0;
    SetVirtualClockMilliseconds(7123);
    EXPECT_EQ(GetTimeMicroseconds(0), 7123000u);  // milliseconds x 1000
    EXPECT_EQ(GetTimeMillisecondsCore(0), 7123);
}

TEST_F(TimingTest, LargeTickCountsDoNotOverflow) {
    SetVirtualClockMilliseconds(0xFFFFFF00u);
    SystemStateRecord.head.processorFrequency = 1000;
    SetVirtualCycleRate(uint64_t(1) << 31);  // ~2^63 ticks: ticks x 1e6 needs 83 bits
    const uint64_t ticks = uint64_t(0xFFFFFF00u) << 31;
    uint64_t expected = uint64_t((unsigned __int128)ticks * 1000000u / 1000u);
    EXPECT_EQ(GetTimeMicroseconds(1), expected);
}

TEST_F(TimingTest, LocalDateFields) {
    SetVirtualLocalTime(2026, 3, 9, 14, 5, 7);
    int fields[6];
    EXPECT_EQ(GetLocalDateFields(fields), 0);
    EXPECT_EQ(fields[0], 2026);
    EXPECT_EQ(fields[1], 3);
    EXPECT_EQ(fields[2], 9);
    EXPECT_EQ(fields[3], 14);
    EXPECT_EQ(fields[4], 5);
    EXPECT_EQ(fields[5], 7);
}

TEST_F(TimingTest, WaitReturnsAtOnceWhenTheProgramMustEnd) {
    SystemStateRecord.life.quit = 1;  // the clock is frozen: only quit can end the wait
    EXPECT_EQ(WaitWithMessagesCore(1000), 0);
    EXPECT_EQ(PeekVirtualClockMilliseconds(), 5000u);
}

TEST_F(TimingTest, WaitOfZeroPumpsOnceAndWaitCountsTheSleeps) {
    EXPECT_EQ(WaitWithMessagesCore(0), 0);
    EXPECT_EQ(PeekVirtualClockMilliseconds(), 5000u);
    EXPECT_EQ(WaitWithMessagesCore(30), 0);  // each Sleep(1) moves the frozen clock by 1
    EXPECT_EQ(PeekVirtualClockMilliseconds(), 5030u);
}

TEST(WaitWithMessages, LeavesTheLockFreeBetweenPumps) {
    std::atomic<int> waiting{1}, turns{0};
    std::thread other([&] {
        while (waiting.load()) {
            EnterApiLock();
            turns++;
            LeaveApiLock();
            Sleep(1);
        }
    });
    while (turns.load() == 0) Sleep(1);
    int before = turns.load();
    WaitWithMessagesCore(60);
    int during = turns.load() - before;
    waiting = 0;
    other.join();
    EXPECT_GT(during, 0);
}
