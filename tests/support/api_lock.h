// api_lock.h - running internal routines the way a public entry point does.
//
// Once the main window exists, its message-pump thread runs the library's upkeep
// under the API lock, and the window procedure only ever runs under it. A test that
// calls an internal routine directly (a device-loss rebuild, a mode change, a message
// sent to the window) takes the lock around it, as every entry point does, so the two
// threads never run at once.
#pragma once

#include "library/core/apilock.h"

// Holds the lock for a scope (a failed ASSERT inside still lets it go).
class HeldApiLock {
public:
    HeldApiLock() { EnterApiLock(); }
    ~HeldApiLock() { LeaveApiLock(); }
    HeldApiLock(const HeldApiLock&) = delete;
    HeldApiLock& operator=(const HeldApiLock&) = delete;
};

// Runs `routine()` under the lock and returns its result.
template <typename Routine>
auto UnderApiLock(Routine routine) {
    HeldApiLock held;
    return routine();
}
