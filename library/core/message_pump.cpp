// The message pump and the upkeep thread. See message_pump.h.
#include "library/core/message_pump.h"

#include <atomic>

#include "library/core/apilock.h"
#include "library/core/log.h"
#include "library/core/menu.h"
#include "library/core/system_state.h"
#include "library/graph/graph_restore.h"
#include "library/input/input.h"
#include "library/network/network.h"
#include "library/sound/sound.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/kernel.h"
#include "platform/window/window.h"

// A call makes at most PassesPerCall passes while messages keep coming (it still waits
// out an inactive application): a steady stream of socket events, each dispatch of
// which brings the next, must not keep one call from returning.
enum { MessagesPerPass = 5, PassesPerCall = 64, PumpThreadPeriodMs = 17 };

static std::atomic<long> mainPassCount{0};
static std::atomic<long> pumpThreadUpkeepCount{0};

long GetMessagePumpPassCount(void) { return mainPassCount.load(); }
long GetPumpThreadUpkeepCount(void) { return pumpThreadUpkeepCount.load(); }

// The next message of the calling thread: any message, else one posted to no window,
// else one of the main window. The pass pumped SDL's events once at its start, so the
// peeks only look at the queue.
static bool TakeNextMessage(MSG* msg, HWND mainWindow) {
    if (PeekMessageA(msg, nullptr, 0, 0, PM_NOREMOVE | PM_NOPUMP)) {
        PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE | PM_NOPUMP);
        return true;
    }
    return PeekMessageA(msg, HWND_THREAD_ONLY, 0, 0, PM_REMOVE | PM_NOPUMP) ||
           PeekMessageA(msg, mainWindow, 0, 0, PM_REMOVE | PM_NOPUMP);
}

// While the game is frozen by an inactive window, the network, downloads and sound
// streams keep going.
static void RunInactiveUpkeep(void) {
    PumpNetWorkMessages(1);
    ProcessHttpDownloads();
    RefillAllStreamSounds();
    Sleep(1);
}

static void RunUpkeep(void) {
    SystemState& s = SystemStateRecord;
    RefillAllStreamSounds();
    UpdateMusicPlayFlags();
    UpdatePadEffectTimers();
    PumpNetWorkMessages(1);
    ProcessHttpDownloads();
    s.mode.textEntryGuard = 1;
    ProcessTextEntry();
    s.mode.textEntryGuard = 0;
}

int ProcessMessageCore(void) {
    SystemState& s = SystemStateRecord;
    if (s.mode.textEntryGuard) return 0;
    HWND mainWindow = s.window.mainWindow;
    if (mainWindow == nullptr) return s.life.quit.load() ? -1 : 0;
    const bool mainThread = GetCurrentThreadId() == s.window.mainThreadId;

    int counter = 0;  // messages of the current pass; not reset between passes
    int fullPasses = 0;  // passes that ended at MessagesPerPass messages
    bool dispatched = true;
    while ((!s.life.active.load() && !s.life.closeRequested.load()) ||
           (dispatched && fullPasses < PassesPerCall && !s.life.quit.load())) {
        if (mainThread) ++mainPassCount;
        dispatched = false;
        if (!s.life.active.load()) Sleep(1);
        PumpWindowEvents();  // one poll of the system per pass, not one per peek
        bool quitAtOnce = false;
        MSG msg;
        while (TakeNextMessage(&msg, mainWindow)) {
            if (msg.message == WM_ACTIVATEAPP && s.settings.windowed) s.life.active = LOWORD(msg.wParam) != 0;
            if (s.life.quit.load()) {
                quitAtOnce = true;
                break;
            }
            if (msg.message == WM_QUIT) s.life.quit = 1;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            dispatched = true;
            if (++counter == MessagesPerPass) {
                counter = 0;
                fullPasses++;
                break;
            }
        }
        if (!s.life.active.load()) RunInactiveUpkeep();
        if (quitAtOnce || s.life.quit.load() || !mainThread) break;
    }

    if (mainThread && !s.settings.menuAutoShowOff) UpdateMenuAutoShow();
    RunUpkeep();
    if (!mainThread && CheckApiLockOwned()) ++pumpThreadUpkeepCount;
    return s.life.quit.load() ? -1 : 0;
}

void WaitWhileInactive(void) {
    SystemState& s = SystemStateRecord;
    if (s.mode.painting || s.life.active.load()) return;
    // Without a window nothing can activate the application again: do not wait.
    while (s.window.mainWindow != nullptr && ProcessMessageCore() == 0 && !s.life.active.load()) {
    }
    RestoreAllGraphSurfaces();
}

DWORD ProcessMessageThreadProc(void*) {
    SystemState& s = SystemStateRecord;
    while (!s.life.quit.load()) {
        if (EnterApiLockUnlessQuitting() != 0) break;
        int result = ProcessMessageCore();
        LeaveApiLock();
        if (result < 0) break;
        Sleep(PumpThreadPeriodMs);
    }
    s.life.pumpThreadEnded = 1;
    return 0;
}

void StartMessagePumpThread(void) {
    SystemWindowState& w = SystemStateRecord.window;
    DWORD id = 0;
    SystemStateRecord.life.pumpThreadEnded = 0;
    w.pumpThread = CreateThread(nullptr, 0, ProcessMessageThreadProc, nullptr, 0, &id);
    w.pumpThreadId = id;
    if (w.pumpThread == nullptr) {
        WriteLogText("ProcessMessage をひたすら呼びつづけるスレッドの立ち上げに失敗しました\n");
    }
}

// The pump thread may be queued for the lock that the caller holds, waiting in
// slices of a second: wake it so it sees the quit flag now.
static void WakePumpThreadWaiter(uint32_t threadId) {
    ApiLock& lock = SystemStateRecord.lock;
    if (!lock.initialised) return;
    EnterCriticalSection(&lock.guard);
    for (int i = 0; i < lock.waiterCount; ++i) {
        if (lock.waiters[i].threadId == threadId) SetEvent(lock.waiters[i].event);
    }
    LeaveCriticalSection(&lock.guard);
}

void StopMessagePumpThread(void) {
    SystemState& s = SystemStateRecord;
    s.life.quit = 1;
    if (s.window.pumpThread == nullptr) return;
    while (!s.life.pumpThreadEnded.load()) {
        WakePumpThreadWaiter(s.window.pumpThreadId);
        Sleep(1);
    }
    WaitForSingleObject(s.window.pumpThread, INFINITE);  // the thread has returned
    CloseHandle(s.window.pumpThread);
    s.window.pumpThread = nullptr;
    s.window.pumpThreadId = 0;
}
