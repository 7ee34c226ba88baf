// The ApiLock: a recursive lock that hands over to waiting threads in arrival order.
//
// All fields are guarded by the lock's critical section. Waiters queue in
// `waiters`, oldest first; each queue entry owns one manual-reset event. Releasing
// the lock wakes only the first waiter, which then leaves the queue (the entries
// behind it move up and its event goes to the freed last entry) and takes the lock.
// A thread that finds the lock free but others queued never overtakes them.
#include "library/core/apilock.h"

#include <cassert>
#include <mutex>

#include "library/core/system_state.h"
#include "platform/kernel/clock.h"

enum : uint32_t { NoOwner = 0xFFFFFFFFu };

// Makes first use and tear-down race-free: two threads that enter for the first
// time together must not both create the events and the critical section.
static std::mutex ApiLockSetupMutex;
static std::atomic<int> ApiLockReady{0};

static ApiLock& Lock() { return SystemStateRecord.lock; }

static void SetUpApiLock() {
    if (ApiLockReady.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> setup(ApiLockSetupMutex);
    ApiLock& lock = Lock();
    if (lock.initialised) {
        ApiLockReady.store(1, std::memory_order_release);
        return;
    }
    for (ApiLockWaiter& waiter : lock.waiters) {
        waiter.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    InitializeCriticalSection(&lock.guard);
    if (lock.waiterLimit <= 0 || lock.waiterLimit > ApiLockWaiterCapacity) {
        lock.waiterLimit = ApiLockWaiterCapacity;
    }
    lock.initialised = 1;
    ApiLockReady.store(1, std::memory_order_release);
}

void TearDownApiLock(void) {
    std::lock_guard<std::mutex> setup(ApiLockSetupMutex);
    ApiLock& lock = Lock();
    if (!lock.initialised) return;
    // A thread that has just released the lock may still be inside the critical
    // section, waking the next waiter: let it finish before the events go.
    EnterCriticalSection(&lock.guard);
    LeaveCriticalSection(&lock.guard);
    lock.initialised = 0;
    ApiLockReady.store(0, std::memory_order_release);
    for (ApiLockWaiter& waiter : lock.waiters) {
        if (waiter.event != nullptr) {
            CloseHandle(waiter.event);
            waiter.event = nullptr;
        }
        waiter.threadId = 0;
    }
    lock.waiterCount = 0;
    lock.locked = 0;
    lock.depth = 0;
    DeleteCriticalSection(&lock.guard);
}

// Takes the lock for `self`; the caller is inside the critical section and leaves it.
static void TakeLock(ApiLock& lock, uint32_t self) {
    lock.locked = 1;
    lock.owner = self;
    lock.depth++;
    LeaveCriticalSection(&lock.guard);
}

// Removes a waiter; the entries behind it move up and its event goes to the entry
// that the shift frees, so no event is lost or shared.
static void RemoveWaiter(ApiLock& lock, int index) {
    HANDLE event = lock.waiters[index].event;
    for (int i = index + 1; i < lock.waiterCount; i++) lock.waiters[i - 1] = lock.waiters[i];
    lock.waiters[lock.waiterCount - 1].event = event;
    lock.waiters[lock.waiterCount - 1].threadId = 0;
    lock.waiterCount--;
}

// Index of the thread in the queue, or -1.
static int FindWaiter(const ApiLock& lock, uint32_t self) {
    for (int i = 0; i < lock.waiterCount; i++) {
        if (lock.waiters[i].threadId == self) return i;
    }
    return -1;
}

// One attempt inside the critical section. Returns 1 when the lock was taken (the
// critical section has been left), else 0 with `event` set to the event to wait on,
// or null when the queue is full (the critical section has been left either way).
static int TryTakeOrQueue(ApiLock& lock, uint32_t self, HANDLE* event) {
    EnterCriticalSection(&lock.guard);
    if (lock.locked) {
        if (lock.owner == self) {
            TakeLock(lock, self);
            return 1;
        }
    } else if (lock.waiterCount == 0) {
        TakeLock(lock, self);
        return 1;
    } else if (lock.waiters[0].threadId == self) {
        RemoveWaiter(lock, 0);
        TakeLock(lock, self);
        return 1;
    }
    // Wait for the turn. A thread woken earlier is still queued: wait on its entry again.
    int index = FindWaiter(lock, self);
    if (index < 0) {
        if (lock.waiterCount >= lock.waiterLimit) {
            LeaveCriticalSection(&lock.guard);
            *event = nullptr;
            return 0;
        }
        index = lock.waiterCount++;
        lock.waiters[index].threadId = self;
    }
    *event = lock.waiters[index].event;
    LeaveCriticalSection(&lock.guard);
    return 0;
}

void EnterApiLock(void) {
    SetUpApiLock();
    ApiLock& lock = Lock();
    const uint32_t self = GetCurrentThreadId();
    for (;;) {
        HANDLE event = nullptr;
        if (TryTakeOrQueue(lock, self, &event)) return;
        if (event == nullptr) {
            Sleep(1);  // queue full: poll until an entry frees
            continue;
        }
        WaitForSingleObject(event, INFINITE);
        ResetEvent(event);
    }
}

int EnterApiLockUnlessQuitting(void) {
    SetUpApiLock();
    ApiLock& lock = Lock();
    const uint32_t self = GetCurrentThreadId();
    while (!SystemStateRecord.life.quit.load()) {
        HANDLE event = nullptr;
        if (TryTakeOrQueue(lock, self, &event)) return 0;
        if (event == nullptr) {
            Sleep(1);
            continue;
        }
        if (WaitForSingleObject(event, 1000) == WAIT_OBJECT_0) ResetEvent(event);
    }
    // Giving up: leave the queue, passing the turn on when this thread was first.
    EnterCriticalSection(&lock.guard);
    int index = FindWaiter(lock, self);
    HANDLE wake = nullptr;
    if (index >= 0) {
        RemoveWaiter(lock, index);
        if (index == 0 && !lock.locked && lock.waiterCount > 0) wake = lock.waiters[0].event;
    }
    LeaveCriticalSection(&lock.guard);
    if (wake != nullptr) SetEvent(wake);
    return -1;
}

void LeaveApiLock(void) {
    ApiLock& lock = Lock();
    EnterCriticalSection(&lock.guard);
    assert(lock.locked && lock.owner == GetCurrentThreadId() && "LeaveApiLock by a thread that does not own it");
    bool wake = false;
    if (lock.depth == 1) {
        lock.locked = 0;
        lock.owner = NoOwner;
        wake = lock.waiterCount > 0;
    }
    lock.depth--;
    // Set inside the critical section: once the woken thread may own the lock (and
    // tear it down at shutdown), this thread no longer touches the queue's events.
    if (wake) SetEvent(lock.waiters[0].event);
    LeaveCriticalSection(&lock.guard);
    if (wake) Sleep(0);
}

int CheckApiLockOwned(void) {
    if (!ApiLockReady.load(std::memory_order_acquire)) return 0;
    ApiLock& lock = Lock();
    EnterCriticalSection(&lock.guard);
    int owned = lock.locked && lock.owner == GetCurrentThreadId();
    LeaveCriticalSection(&lock.guard);
    return owned;
}

void SetApiLockWaiterLimit(int limit) {
    SetUpApiLock();
    ApiLock& lock = Lock();
    EnterCriticalSection(&lock.guard);
    lock.waiterLimit = (limit <= 0 || limit > ApiLockWaiterCapacity) ? ApiLockWaiterCapacity : limit;
    LeaveCriticalSection(&lock.guard);
}
