// clock_interface.h - the one clock every time call of the layer reads.
//
// The real clock reads CLOCK_MONOTONIC, the processor's time-stamp counter and
// localtime_r; the test seams install a virtual clock instead. Not for library code.
#pragma once

#include <cstdint>

#include "platform/kernel/clock.h"

struct PlatformClock {
    uint64_t (*milliseconds)(void);           // since boot; timeGetTime truncates to 32 bits
    int64_t (*counter)(void);                 // high-resolution counter ticks
    int64_t (*counterFrequency)(void);        // ticks per second, 0 = no counter
    uint64_t (*cycles)(void);                 // time-stamp counter
    void (*sleep)(DWORD milliseconds);
    void (*localTime)(SYSTEMTIME* time);
};

// Installs a clock; null restores the real one.
void SetPlatformClock(const PlatformClock* clock);
const PlatformClock* GetRealPlatformClock(void);

// The time-stamp counter through the active clock (cpu.h offers it as ReadTimeStampCounter).
uint64_t ReadPlatformCycleCounter(void);
