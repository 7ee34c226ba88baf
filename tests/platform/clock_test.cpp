// The time and cpu groups: the real clock, the virtual clock, the fake processor.
#include <gtest/gtest.h>

#include <time.h>

#include <cstring>
#include <thread>

#include "platform/kernel/clock.h"
#include "platform/kernel/cpu.h"
#include "platform/testing.h"

TEST(RealClock, MillisecondsCountFromBoot) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    DWORD expected = DWORD(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
    DWORD ms = timeGetTime();
    EXPECT_LE(ms - expected, 50u);
    Sleep(5);
    EXPECT_GE(timeGetTime() - ms, 5u);
    LARGE_INTEGER frequency, a, b;
    EXPECT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000000);
    QueryPerformanceCounter(&a);
    QueryPerformanceCounter(&b);
    EXPECT_GE(b.QuadPart, a.QuadPart);
    TIMECAPS caps;
    EXPECT_EQ(timeGetDevCaps(&caps, sizeof(caps)), TIMERR_NOERROR);
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
    SYSTEMTIME local;
    GetLocalTime(&local);
    EXPECT_GE(local.wYear, 2024);
    EXPECT_GE(local.wMonth, 1);
    EXPECT_LE(local.wMonth, 12);
}

TEST(VirtualClock, MainThreadReadsAndSleepsAdvanceIt) {
    InstallVirtualClock(1000, 2);
    EXPECT_EQ(timeGetTime(), 1000u);
    EXPECT_EQ(timeGetTime(), 1002u);
    Sleep(10);
    EXPECT_EQ(PeekVirtualClockMilliseconds(), 1014u);
    DWORD seen = 0;
    std::thread other([&] {
        seen = timeGetTime();
        timeGetTime();
    });
    other.join();
    EXPECT_EQ(seen, 1014u);
    EXPECT_EQ(PeekVirtualClockMilliseconds(), 1014u);  // other threads do not move it
    LARGE_INTEGER counter, frequency;
    SetVirtualClockStep(0);
    EXPECT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000);
    QueryPerformanceCounter(&counter);
    EXPECT_EQ(counter.QuadPart, 1014000);
    SetVirtualCounterFrequency(0);
    EXPECT_FALSE(QueryPerformanceFrequency(&frequency));
    EXPECT_FALSE(QueryPerformanceCounter(&counter));
    SetVirtualCycleRate(3000);
    EXPECT_EQ(ReadTimeStampCounter(), 1014u * 3000u);
    SetVirtualLocalTime(2026, 3, 9, 14, 5, 7);
    SYSTEMTIME local;
    GetLocalTime(&local);
    EXPECT_EQ(local.wYear, 2026);
    EXPECT_EQ(local.wSecond, 7);
    RemoveVirtualClock();
    EXPECT_NE(timeGetTime(), 1014u);
}

TEST(Cpu, RealProcessorHasCpuidTimeStampCounterAndMmx) {
    ASSERT_EQ(IsCpuidAvailable(), 1);
    uint32_t regs[4];
    ExecuteCpuid(0, regs);
    EXPECT_GE(regs[0], 1u);
    ExecuteCpuid(1, regs);
    EXPECT_TRUE(regs[3] & (1u << 23));
    EXPECT_TRUE(regs[3] & (1u << 4));
    uint64_t a = ReadTimeStampCounter();
    EXPECT_GE(ReadTimeStampCounter(), a);
}

TEST(Cpu, FakeProcessor) {
    FakeCpu cpu = {1, "GenuineTests", 1u << 23, "Brand"};
    InstallFakeCpu(&cpu);
    uint32_t regs[4];
    ExecuteCpuid(0, regs);
    char vendor[13] = {};
    std::memcpy(vendor, &regs[1], 4);
    std::memcpy(vendor + 4, &regs[3], 4);
    std::memcpy(vendor + 8, &regs[2], 4);
    EXPECT_STREQ(vendor, "GenuineTests");
    ExecuteCpuid(0x80000000u, regs);
    EXPECT_EQ(regs[0], 0x80000004u);
    ExecuteCpuid(0x80000002u, regs);
    EXPECT_EQ(std::memcmp(regs, "Brand", 6), 0);
    FakeCpu none = {0, "", 0, nullptr};
    InstallFakeCpu(&none);
    EXPECT_EQ(IsCpuidAvailable(), 0);
    RemoveFakeCpu();
    EXPECT_EQ(IsCpuidAvailable(), 1);
}
