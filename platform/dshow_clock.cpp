// dshow_clock.cpp - the stream clock: stream time that runs on the platform clock from a
// reference point. Seeking and the audio output (the master clock while it plays) move
// the reference point; pausing freezes the time.
#include "platform/clock.h"
#include "platform/dshow_internal.h"

int64_t MoviePlatformMicroseconds() {
    LARGE_INTEGER frequency, count;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 && QueryPerformanceCounter(&count)) {
        const int64_t f = frequency.QuadPart, c = count.QuadPart;
        return c / f * 1000000 + c % f * 1000000 / f;
    }
    return static_cast<int64_t>(timeGetTime()) * 1000;   // a machine without the counter
}

namespace {
STREAM_TIME NowLocked(const StreamClock& c, int64_t nowUs) {
    return c.running ? c.base + (nowUs - c.referenceUs) * 10 : c.base;
}
}  // namespace

STREAM_TIME StreamClockNow(StreamClock& c) {
    std::lock_guard<std::mutex> lock(c.m);
    return NowLocked(c, MoviePlatformMicroseconds());
}

void StreamClockSetRunning(StreamClock& c, bool running) {
    std::lock_guard<std::mutex> lock(c.m);
    const int64_t now = MoviePlatformMicroseconds();
    c.base = NowLocked(c, now);
    c.referenceUs = now;
    c.running = running;
}

void StreamClockSet(StreamClock& c, STREAM_TIME time) {
    std::lock_guard<std::mutex> lock(c.m);
    c.base = time;
    c.referenceUs = MoviePlatformMicroseconds();
}
