// The virtual clock. See time_seams.h.
#include "platform/kernel/testing/time_seams.h"

#include <atomic>

#include "platform/kernel/clock_interface.h"
#include "platform/kernel/kernel.h"

static std::atomic<uint64_t> VirtualMicroseconds{0};
static std::atomic<uint64_t> VirtualStepMicroseconds{0};
static std::atomic<int64_t> VirtualFrequency{1000000};
static std::atomic<uint64_t> VirtualCyclesPerMillisecond{1000000};
static std::atomic<DWORD> VirtualMainThread{0};
static SYSTEMTIME VirtualLocal = {2000, 1, 6, 1, 0, 0, 0, 0};

static bool OnMainThread() { return GetCurrentThreadId() == VirtualMainThread.load(); }

// Returns the current time and, on the main thread, moves it on by one step.
static uint64_t ReadAndAdvance() {
    if (OnMainThread()) return VirtualMicroseconds.fetch_add(VirtualStepMicroseconds.load());
    return VirtualMicroseconds.load();
}

static uint64_t VirtualMilliseconds() { return ReadAndAdvance() / 1000u; }

static int64_t VirtualCounter() {
    unsigned __int128 ticks = (unsigned __int128)ReadAndAdvance() * uint64_t(VirtualFrequency.load());
    return int64_t(ticks / 1000000u);
}

static int64_t VirtualCounterFrequency() { return VirtualFrequency.load(); }

static uint64_t VirtualCycles() {
    return uint64_t((unsigned __int128)VirtualMicroseconds.load() * VirtualCyclesPerMillisecond.load() / 1000u);
}

static void VirtualSleep(DWORD milliseconds) {
    if (OnMainThread()) {
        VirtualMicroseconds.fetch_add(uint64_t(milliseconds) * 1000u);
        GetRealPlatformClock()->sleep(0);
        return;
    }
    GetRealPlatformClock()->sleep(milliseconds);
}

static void VirtualLocalTime(SYSTEMTIME* time) { *time = VirtualLocal; }

static const PlatformClock VirtualClock = {VirtualMilliseconds, VirtualCounter, VirtualCounterFrequency,
                                           VirtualCycles,       VirtualSleep,   VirtualLocalTime};

void InstallVirtualClock(DWORD startMilliseconds, DWORD millisecondsPerRead) {
    VirtualMicroseconds = uint64_t(startMilliseconds) * 1000u;
    VirtualStepMicroseconds = uint64_t(millisecondsPerRead) * 1000u;
    VirtualFrequency = 1000000;
    VirtualCyclesPerMillisecond = 1000000;
    VirtualLocal = {2000, 1, 6, 1, 0, 0, 0, 0};
    VirtualMainThread = GetCurrentThreadId();
    SetPlatformClock(&VirtualClock);
}

void RemoveVirtualClock(void) {
    SetPlatformClock(nullptr);
    VirtualMainThread = 0;
}

void SetVirtualClockMilliseconds(DWORD milliseconds) { VirtualMicroseconds = uint64_t(milliseconds) * 1000u; }
DWORD PeekVirtualClockMilliseconds(void) { return DWORD(VirtualMicroseconds.load() / 1000u); }
void SetVirtualClockStep(DWORD millisecondsPerRead) { VirtualStepMicroseconds = uint64_t(millisecondsPerRead) * 1000u; }
void SetVirtualCounterFrequency(int64_t ticksPerSecond) { VirtualFrequency = ticksPerSecond; }
void SetVirtualCycleRate(uint64_t cyclesPerMillisecond) { VirtualCyclesPerMillisecond = cyclesPerMillisecond; }

void SetVirtualLocalTime(int year, int month, int day, int hour, int minute, int second) {
    VirtualLocal = {WORD(year), WORD(month), 0, WORD(day), WORD(hour), WORD(minute), WORD(second), 0};
}
