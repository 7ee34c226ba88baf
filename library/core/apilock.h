// apilock.h - the library-wide recursive lock that hands over in arrival order.
//
// Every public entry point runs its internal routine between EnterApiLock and
// LeaveApiLock on the same thread; the message-pump thread takes the lock around
// each pump. The owner may enter again (it must leave as often as it entered).
// When the lock is released, the thread that has waited longest gets it next: a
// thread that releases and enters again at once queues behind the waiting ones.
//
// The lock's fields live in SystemState (system_state.h), which keeps them when
// start-up clears that record. It is set up on first use and torn down at shutdown
// (TearDownApiLock); a later EnterApiLock sets it up again.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel.h"

enum { ApiLockWaiterCapacity = 4096 };

struct ApiLockWaiter {
    uint32_t threadId;  // 0 for a free entry
    HANDLE event;       // manual-reset; belongs to the queue position, not to a thread
};

struct ApiLock {
    int32_t depth;      // how often the owner holds the lock, 0 when free
    int32_t locked;     // 1 while a thread owns the lock
    uint32_t owner;     // owner's thread id; 0xFFFFFFFF after a release, 0 before first use
    ApiLockWaiter waiters[ApiLockWaiterCapacity];  // oldest first
    int32_t initialised;
    int32_t waiterCount;
    int32_t waiterLimit;  // queue length at which newcomers poll instead (normally the capacity)
    CRITICAL_SECTION guard;
};

void EnterApiLock(void);
void LeaveApiLock(void);
void TearDownApiLock(void);

// For the message-pump thread: takes the lock like EnterApiLock, but waits in slices
// of 1000 ms and gives up once the quit flag of SystemState is set. Returns 0 when the
// lock is taken, -1 when it gave up; a thread that gives up is no longer queued (when
// it was first in the queue, the next waiter is woken).
int EnterApiLockUnlessQuitting(void);

// 1 when the calling thread holds the lock.
int CheckApiLockOwned(void);

// Runs `routine(args...)` under the lock and returns its result: the body of a public
// entry point.
template <typename Routine, typename... Args>
auto Locked(Routine routine, Args... args) {
    EnterApiLock();
    auto result = routine(args...);
    LeaveApiLock();
    return result;
}

// Tests: lets the queue hold at most `limit` waiters (1..ApiLockWaiterCapacity) so the
// full-queue path can be reached with a few threads. 0 restores the capacity.
void SetApiLockWaiterLimit(int limit);
