// timing.h - the library's clocks: milliseconds, microseconds, the local date, and
// a wait that keeps the message pump running.
#pragma once

#include <cstdint>

// Milliseconds since the system started (wraps after about 49.7 days).
int GetTimeMillisecondsCore(int ignored);

// Pumps messages through the public ProcessMessage until `milliseconds` have passed
// or the program must end, sleeping 1 ms between pumps. Holds no lock itself, so
// other threads get the lock between the pumps. 0 ms pumps once. Returns 0.
int WaitWithMessagesCore(int milliseconds);

// Microseconds from the time-stamp counter (only when `useProcessorCounter` is 1,
// start-up is complete and the processor clock was measured), else from the
// high-resolution counter, else the millisecond clock x 1000.
uint64_t GetTimeMicroseconds(int useProcessorCounter);

// Local year, month (1-12), day, hour, minute, second. Returns 0.
int GetLocalDateFields(int fields[6]);
