// The time group over CLOCK_MONOTONIC and localtime_r. See clock.h.
#include "platform/kernel/clock.h"

#include <sched.h>
#include <time.h>
#include <x86intrin.h>

#include <atomic>
#include <cerrno>

#include "platform/kernel/clock_interface.h"

static uint64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

static uint64_t RealMilliseconds() { return MonotonicNanoseconds() / 1000000u; }
static int64_t RealCounter() { return int64_t(MonotonicNanoseconds()); }
static int64_t RealCounterFrequency() { return 1000000000; }
static uint64_t RealCycles() { return __rdtsc(); }

static void RealSleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec wait{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) == -1 && errno == EINTR) {
    }
}

static void RealLocalTime(SYSTEMTIME* time) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm fields{};
    localtime_r(&now.tv_sec, &fields);
    time->wYear = WORD(fields.tm_year + 1900);
    time->wMonth = WORD(fields.tm_mon + 1);
    time->wDayOfWeek = WORD(fields.tm_wday);
    time->wDay = WORD(fields.tm_mday);
    time->wHour = WORD(fields.tm_hour);
    time->wMinute = WORD(fields.tm_min);
    time->wSecond = WORD(fields.tm_sec);
    time->wMilliseconds = WORD(now.tv_nsec / 1000000);
}

static const PlatformClock RealClock = {RealMilliseconds, RealCounter, RealCounterFrequency,
                                        RealCycles,       RealSleep,   RealLocalTime};

static std::atomic<const PlatformClock*> ActiveClock{&RealClock};

void SetPlatformClock(const PlatformClock* clock) {
    ActiveClock.store(clock != nullptr ? clock : &RealClock);
}

const PlatformClock* GetRealPlatformClock(void) { return &RealClock; }

DWORD timeGetTime(void) { return DWORD(ActiveClock.load()->milliseconds()); }

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) return FALSE;
    frequency->QuadPart = ActiveClock.load()->counterFrequency();
    return frequency->QuadPart != 0;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) return FALSE;
    const PlatformClock* clock = ActiveClock.load();
    if (clock->counterFrequency() == 0) {
        count->QuadPart = 0;
        return FALSE;
    }
    count->QuadPart = clock->counter();
    return TRUE;
}

void GetLocalTime(SYSTEMTIME* time) {
    if (time != nullptr) ActiveClock.load()->localTime(time);
}

void Sleep(DWORD milliseconds) { ActiveClock.load()->sleep(milliseconds); }

uint64_t ReadPlatformCycleCounter(void) { return ActiveClock.load()->cycles(); }

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size) {
    if (caps == nullptr || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

// The layer's sleeps and counters already have millisecond resolution or better.
MMRESULT timeBeginPeriod(UINT period) { return period == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR; }
MMRESULT timeEndPeriod(UINT period) { return period == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR; }
