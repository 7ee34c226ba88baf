// dshow_clock.cpp - the stream clock: stream time that runs on the platform clock from a
// reference point. Seeking and the audio output (the master clock while it plays) move
// the reference point; pausing freezes the time.
// The clocks come with <mutex>: <chrono> itself holds a literal that has no Shift-JIS form.
#include "platform/dshow_internal.h"

std::atomic<int64_t (*)()> g_movieTestClock{nullptr};

int64_t MoviePlatformMicroseconds() {
    if (int64_t (*clock)() = g_movieTestClock.load()) return clock();
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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
