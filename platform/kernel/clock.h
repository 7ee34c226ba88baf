// clock.h - the time group: the millisecond counter, the high-resolution counter,
// local time, multimedia-timer resolution, and Sleep.
//
// The millisecond counter counts from boot (CLOCK_MONOTONIC) and wraps after about
// 49.7 days; the high-resolution counter counts CLOCK_MONOTONIC nanoseconds (its
// frequency is 1e9). All of them read one clock interface, which tests replace with
// a virtual clock (platform/kernel/testing/time_seams.h). The cycle counter is in cpu.h.
#pragma once

#include "platform/wintypes.h"

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // 1-12
    WORD wDayOfWeek;  // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

DWORD timeGetTime(void);
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);  // FALSE (and 0) without a counter
void GetLocalTime(SYSTEMTIME* time);

// Sleep(0) gives up the rest of the time slice; Sleep(n) waits n milliseconds.
void Sleep(DWORD milliseconds);

// Multimedia-timer resolution: the layer's timers are always 1 ms fine.
using MMRESULT = UINT;
#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u
struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};
MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size);
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
