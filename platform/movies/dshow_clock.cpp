// dshow_clock.cpp - the stream clock: stream time that runs on the platform clock from a
// reference point. Seeking sets the time; pausing freezes it; the audio output (the
// master while it plays) steers its speed.
#include <algorithm>

#include "platform/kernel/clock.h"
#include "platform/movies/dshow_internal.h"

int64_t MoviePlatformMicroseconds() {
    LARGE_INTEGER frequency, count;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 && QueryPerformanceCounter(&count)) {
        const int64_t f = frequency.QuadPart, c = count.QuadPart;
        return c / f * 1000000 + c % f * 1000000 / f;
    }
    return static_cast<int64_t>(timeGetTime()) * 1000;   // a machine without the counter
}

namespace {

// The gap between the sound and the clock is closed over about this time.
constexpr int64_t kSlewHorizonUs = 500000;
// The most the speed is turned up or down, in thousandths.
constexpr int64_t kSlewMostPerMille = 100;

STREAM_TIME NowLocked(const StreamClock& c, int64_t nowUs) {
    if (!c.running) return c.base;
    return c.base + (nowUs - c.referenceUs) * 10 * c.speedPerMille / 1000;
}

// Makes now the reference point, keeping the time where it is.
void Rebase(StreamClock& c, int64_t nowUs) {
    c.base = NowLocked(c, nowUs);
    c.referenceUs = nowUs;
}

}  // namespace

STREAM_TIME StreamClockNow(StreamClock& c) {
    std::lock_guard<std::mutex> lock(c.m);
    return NowLocked(c, MoviePlatformMicroseconds());
}

void StreamClockSetRunning(StreamClock& c, bool running) {
    std::lock_guard<std::mutex> lock(c.m);
    Rebase(c, MoviePlatformMicroseconds());
    c.running = running;
}

void StreamClockSet(StreamClock& c, STREAM_TIME time) {
    std::lock_guard<std::mutex> lock(c.m);
    c.base = time;
    c.referenceUs = MoviePlatformMicroseconds();
    c.speedPerMille = 1000;
}

void StreamClockFollow(StreamClock& c, STREAM_TIME soundTime) {
    std::lock_guard<std::mutex> lock(c.m);
    if (!c.running) return;
    const int64_t now = MoviePlatformMicroseconds();
    Rebase(c, now);
    // Proportional steering: a gap of the horizon's length moves the speed by 100 %,
    // limited so that the picture never visibly races or stalls.
    const int64_t gapUs = (soundTime - c.base) / 10;
    const int64_t change = gapUs * 1000 / kSlewHorizonUs;
    c.speedPerMille = 1000 + static_cast<int>(std::clamp(change, -kSlewMostPerMille, kSlewMostPerMille));
}
