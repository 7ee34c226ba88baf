// The ApiLock: recursion, first-come order, re-entry behind waiters, the full queue,
// tear-down and reuse, and the pump thread's quitting wait.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "library/core/apilock.h"
#include "library/core/system_state.h"
#include "platform/kernel/clock.h"

// Number of threads queued on the lock right now.
static int QueuedWaiters() {
    ApiLock& lock = SystemStateRecord.lock;
    EnterCriticalSection(&lock.guard);
    int count = lock.waiterCount;
    LeaveCriticalSection(&lock.guard);
    return count;
}

static void WaitForQueued(int count) {
    while (QueuedWaiters() < count) Sleep(1);
}

// Records the order in which threads got the lock.
struct OrderLog {
    std::mutex mutex;
    std::vector<int> order;
    void Add(int who) {
        std::lock_guard<std::mutex> guard(mutex);
        order.push_back(who);
    }
};

TEST(ApiLock, OwnerReentersAndOthersWaitForTheLastLeave) {
    EnterApiLock();
    EnterApiLock();
    EnterApiLock();
    EXPECT_EQ(SystemStateRecord.lock.depth, 3);
    std::atomic<int> got{0};
    std::thread other([&] {
        EnterApiLock();
        got = 1;
        LeaveApiLock();
    });
    WaitForQueued(1);
    LeaveApiLock();
    LeaveApiLock();
    EXPECT_EQ(got.load(), 0);
    EXPECT_EQ(CheckApiLockOwned(), 1);
    LeaveApiLock();
    other.join();
    EXPECT_EQ(got.load(), 1);
    EXPECT_EQ(SystemStateRecord.lock.owner, 0xFFFFFFFFu);
}

TEST(ApiLock, WaitersGetTheLockInArrivalOrderAndAReleaserQueuesBehindThem) {
    OrderLog log;
    EnterApiLock();
    std::thread second([&] {
        EnterApiLock();
        log.Add(2);
        LeaveApiLock();
    });
    WaitForQueued(1);
    std::thread third([&] {
        EnterApiLock();
        log.Add(3);
        LeaveApiLock();
    });
    WaitForQueued(2);
    log.Add(1);
    LeaveApiLock();
    EnterApiLock();  // queues behind 2 and 3
    log.Add(1);
    LeaveApiLock();
    second.join();
    third.join();
    EXPECT_EQ(log.order, (std::vector<int>{1, 2, 3, 1}));
}

TEST(ApiLock, ManyThreadsKeepMutualExclusion) {
    int counter = 0;  // guarded by the lock only
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; t++) {
        threads.emplace_back([&] {
            for (int i = 0; i < 300; i++) {
                EnterApiLock();
                EnterApiLock();
                counter++;
                LeaveApiLock();
                LeaveApiLock();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 6 * 300);
    EXPECT_EQ(QueuedWaiters(), 0);
}

TEST(ApiLock, FullQueuePollsUntilAnEntryFrees) {
    SetApiLockWaiterLimit(2);
    OrderLog log;
    EnterApiLock();
    std::vector<std::thread> threads;
    for (int who = 2; who <= 3; who++) {
        threads.emplace_back([&, who] {
            EnterApiLock();
            log.Add(who);
            LeaveApiLock();
        });
        WaitForQueued(who - 1);
    }
    std::atomic<int> pollerDone{0};
    threads.emplace_back([&] {
        EnterApiLock();  // the queue is full: this thread polls unqueued
        log.Add(4);
        LeaveApiLock();
        pollerDone = 1;
    });
    Sleep(20);
    EXPECT_EQ(QueuedWaiters(), 2);
    EXPECT_EQ(pollerDone.load(), 0);
    LeaveApiLock();
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(log.order.size(), 3u);
    EXPECT_EQ(log.order[0], 2);  // the queued ones keep their order
    SetApiLockWaiterLimit(0);
}

TEST(ApiLock, TearDownThenReuse) {
    EnterApiLock();
    LeaveApiLock();
    TearDownApiLock();
    EXPECT_EQ(SystemStateRecord.lock.initialised, 0);
    EXPECT_EQ(SystemStateRecord.lock.waiters[0].event, nullptr);
    EnterApiLock();
    EXPECT_EQ(SystemStateRecord.lock.initialised, 1);
    EXPECT_EQ(CheckApiLockOwned(), 1);
    LeaveApiLock();
    TearDownApiLock();
}

TEST(ApiLock, FirstUseFromManyThreadsAtOnceSetsUpOnce) {
    std::atomic<int> go{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; t++) {
        threads.emplace_back([&] {
            while (!go.load()) {
            }
            EnterApiLock();
            LeaveApiLock();
        });
    }
    go = 1;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(SystemStateRecord.lock.initialised, 1);
    EXPECT_EQ(QueuedWaiters(), 0);
}

TEST(ApiLock, PumpThreadWaitGivesUpOnQuitAndPassesTheTurnOn) {
    EnterApiLock();
    std::atomic<int> pumpResult{1};
    std::thread pump([&] { pumpResult = EnterApiLockUnlessQuitting(); });
    WaitForQueued(1);
    std::atomic<int> otherGot{0};
    std::thread other([&] {
        EnterApiLock();
        otherGot = 1;
        LeaveApiLock();
    });
    WaitForQueued(2);
    SystemStateRecord.life.quit = 1;
    LeaveApiLock();  // wakes the pump thread, which gives up and wakes the other
    pump.join();
    other.join();
    EXPECT_EQ(pumpResult.load(), -1);
    EXPECT_EQ(otherGot.load(), 1);
    EXPECT_EQ(QueuedWaiters(), 0);
    SystemStateRecord.life.quit = 0;
}
