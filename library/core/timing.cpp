// The library's clocks. See timing.h.
#include "library/core/timing.h"

#include "library/core/arith.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/cpu.h"

int GetTimeMillisecondsCore(int /*ignored*/) { return static_cast<int>(timeGetTime()); }

int WaitWithMessagesCore(int milliseconds) {
    // Unsigned differences keep the wait right across the counter's wrap.
    const uint32_t start = static_cast<uint32_t>(GetTimeMilliseconds(0));
    for (;;) {
        if (ProcessMessage() != 0) break;
        uint32_t elapsed = static_cast<uint32_t>(GetTimeMilliseconds(0)) - start;
        if (milliseconds <= 0 || elapsed >= static_cast<uint32_t>(milliseconds)) break;
        Sleep(1);
    }
    return 0;
}

uint64_t GetTimeMicroseconds(int useProcessorCounter) {
    const SystemState& s = SystemStateRecord;
    uint64_t ticks;
    uint64_t frequency;
    if (useProcessorCounter == 1 && s.life.startUpComplete && s.head.hasTimeStampCounter &&
        s.head.processorFrequency != 0) {
        ticks = ReadTimeStampCounter();
        frequency = s.head.processorFrequency;
    } else if (s.timing.performanceCounterAvailable && s.timing.performanceFrequency > 0) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        ticks = static_cast<uint64_t>(counter.QuadPart);
        frequency = static_cast<uint64_t>(s.timing.performanceFrequency);
    } else {
        return uint64_t(timeGetTime()) * 1000u;
    }
    uint32_t product[4];
    uint64_t quotient;
    MulU64ToU128(ticks, 1000000u, product);
    DivU128ByU64(product, frequency, &quotient);
    return quotient;
}

int GetLocalDateFields(int fields[6]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    fields[0] = now.wYear;
    fields[1] = now.wMonth;
    fields[2] = now.wDay;
    fields[3] = now.wHour;
    fields[4] = now.wMinute;
    fields[5] = now.wSecond;
    return 0;
}
