// The kernel group: thread ids, threads, events, critical sections, system queries,
// process exit.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/testing.h"

static DWORD RecordId(void* parameter) {
    *static_cast<DWORD*>(parameter) = GetCurrentThreadId();
    return 42;
}

TEST(Threads, IdsAreSmallDistinctAndNeverReserved) {
    DWORD main = GetCurrentThreadId();
    EXPECT_EQ(GetCurrentThreadId(), main);
    std::set<DWORD> ids{main};
    for (int i = 0; i < 8; i++) {
        DWORD seen = 0, given = 0;
        HANDLE thread = CreateThread(nullptr, 0, RecordId, &seen, 0, &given);
        ASSERT_NE(thread, nullptr);
        EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(seen, given);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(thread, &code));
        EXPECT_EQ(code, 42u);
        EXPECT_TRUE(CloseHandle(thread));
        ids.insert(given);
    }
    EXPECT_EQ(ids.size(), 9u);
    for (DWORD id : ids) {
        EXPECT_NE(id, 0u);
        EXPECT_NE(id, 0xFFFFFFFFu);
        EXPECT_LT(id, 1000000u);
    }
}

struct GoSignal {
    HANDLE event;
    std::atomic<int> passed;
};

static DWORD WaitOnEvent(void* parameter) {
    auto* go = static_cast<GoSignal*>(parameter);
    WaitForSingleObject(go->event, INFINITE);
    go->passed = 1;
    return 0;
}

TEST(Threads, HandleMayBeClosedWhileTheThreadRuns) {
    GoSignal go{CreateEventA(nullptr, TRUE, FALSE, nullptr), {0}};
    HANDLE thread = CreateThread(nullptr, 0, WaitOnEvent, &go, 0, nullptr);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);
    CloseHandle(thread);  // the thread object lives on until the thread ends
    SetEvent(go.event);
    while (!go.passed.load()) Sleep(1);
    CloseHandle(go.event);
}

TEST(Events, ManualResetStaysSignalledAutoResetReleasesOne) {
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 5), WAIT_TIMEOUT);
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(manual));
    EXPECT_TRUE(CloseHandle(automatic));
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "named"), nullptr);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(SetEvent(nullptr));
}

TEST(Events, SetWakesAWaiterOnAnotherThread) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> woke{0};
    std::thread waiter([&] {
        WaitForSingleObject(event, INFINITE);
        woke = 1;
    });
    Sleep(5);
    EXPECT_EQ(woke.load(), 0);
    SetEvent(event);
    waiter.join();
    EXPECT_EQ(woke.load(), 1);
    CloseHandle(event);
}

// The lock's hand-over relies on this: the thread it wakes may close the event at once
// (a shutdown tears the lock down), while the setter may still be inside SetEvent.
TEST(Events, AWokenWaiterMayCloseTheEventAtOnce) {
    for (int round = 0; round < 200; round++) {
        HANDLE event = CreateEventA(nullptr, round % 2 == 0, FALSE, nullptr);
        std::thread waiter([event] {
            WaitForSingleObject(event, INFINITE);
            CloseHandle(event);
        });
        SetEvent(event);
        waiter.join();
    }
}

TEST(CriticalSections, AreRecursiveAndExclusive) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; i++) {
                EnterCriticalSection(&section);
                EnterCriticalSection(&section);
                counter++;
                LeaveCriticalSection(&section);
                LeaveCriticalSection(&section);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 4000);
    DeleteCriticalSection(&section);
}

TEST(SystemQueries, VersionCodePageMemory) {
    OSVERSIONINFOA info{};
    EXPECT_FALSE(GetVersionExA(&info));  // the size field must be set
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(GetOEMCP(), 932u);
    SetFakeOemCodePage(949);
    EXPECT_EQ(GetOEMCP(), 949u);
    SetFakeOemCodePage(0);
    MEMORYSTATUS memory{};
    GlobalMemoryStatus(&memory);
    EXPECT_GT(memory.dwTotalPhys, 0u);
    EXPECT_LE(memory.dwAvailPhys, memory.dwTotalPhys);
    MEMORYSTATUS fake{};
    fake.dwTotalPhys = 512u << 20;
    SetFakeMemoryStatus(&fake);
    GlobalMemoryStatus(&memory);
    EXPECT_EQ(memory.dwTotalPhys, 512u << 20);
    SetFakeMemoryStatus(nullptr);
}

TEST(Heap, FailureInjection) {
    FailNextHeapAllocations(1);
    EXPECT_EQ(HeapAlloc(GetProcessHeap(), 0, 16), nullptr);
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(block)[15], 0);
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
}

TEST(ProcessExit, MinusOneIs255) {
    EXPECT_EXIT(ExitProcess(static_cast<UINT>(-1)), ::testing::ExitedWithCode(255), "");
    EXPECT_EXIT(ExitProcess(1), ::testing::ExitedWithCode(1), "");
}
