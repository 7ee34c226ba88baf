// time_seams.h - the virtual clock for tests.
//
// InstallVirtualClock makes the calling thread the clock's main thread. Each read of
// the millisecond or high-resolution counter by that thread returns the current time
// and then advances it by the step; Sleep(n) on that thread advances it by n and
// returns at once. Other threads read the current time without moving it, and their
// sleeps take real time. The cycle counter follows the virtual time at a set rate.
//
//     InstallVirtualClock(1000, 0);   // frozen at 1000 ms: Log.txt stamps are fixed
//     ...
//     RemoveVirtualClock();
#pragma once

#include <cstdint>

#include "platform/kernel/clock.h"

void InstallVirtualClock(DWORD startMilliseconds, DWORD millisecondsPerRead);
void RemoveVirtualClock(void);

void SetVirtualClockMilliseconds(DWORD milliseconds);
DWORD PeekVirtualClockMilliseconds(void);  // does not advance
void SetVirtualClockStep(DWORD millisecondsPerRead);

// Ticks per second of the high-resolution counter; 0 = the machine has none.
// Default 1000000.
void SetVirtualCounterFrequency(int64_t ticksPerSecond);

// Time-stamp counter ticks per virtual millisecond. Default 1000000 (1 GHz).
void SetVirtualCycleRate(uint64_t cyclesPerMillisecond);

// The local date and time GetLocalTime reports. Default 2000-01-01 00:00:00.
void SetVirtualLocalTime(int year, int month, int day, int hour, int minute, int second);
