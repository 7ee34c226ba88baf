// window_messages.cpp - per-thread message queues, sending and dispatching, the
// default window procedure, the quit message and window timers.
#include <algorithm>
#include <time.h>

#include "platform/kernel/clock.h"
#include "platform/window/window_internal.h"

// Message times come from the monotonic clock directly, so posting never moves the
// tests' virtual clock; timers run on the platform clock (virtual in tests).
DWORD WindowTickCount(void) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

ThreadQueue& QueueOf(std::thread::id thread) { return Windows().queues[thread]; }

static MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {window, message, wParam, lParam, WindowTickCount(), Windows().cursorPos};
    return msg;
}

bool PostLocked(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& sys = Windows();
    if (window == nullptr) {
        QueueOf(std::this_thread::get_id()).posted.push_back(MakeMessage(nullptr, message, wParam, lParam));
        return true;
    }
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr) return false;
    QueueOf(rec->owner).posted.push_back(MakeMessage(window, message, wParam, lParam));
    (void)sys;
    return true;
}

void PurgeWindowLocked(HWND window) {
    auto& sys = Windows();
    for (auto& entry : sys.queues) {
        auto& posted = entry.second.posted;
        posted.erase(std::remove_if(posted.begin(), posted.end(), [window](const MSG& m) { return m.hwnd == window; }),
                     posted.end());
    }
    sys.timers.erase(std::remove_if(sys.timers.begin(), sys.timers.end(),
                                    [window](const TimerRecord& t) { return t.window == window; }),
                     sys.timers.end());
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& sys = Windows();
    std::lock_guard<std::mutex> lock(sys.mutex);
    if (window == HWND_BROADCAST) {
        for (auto& entry : sys.windows) {
            if (entry.second->parent == nullptr) PostLocked(entry.first, message, wParam, lParam);
        }
        return TRUE;
    }
    return PostLocked(window, message, wParam, lParam) ? TRUE : FALSE;
}

// Runs the messages other threads sent to the calling thread's windows.
static void ProcessSentMessages(void) {
    auto& sys = Windows();
    for (;;) {
        SentMessage* sent;
        {
            std::lock_guard<std::mutex> lock(sys.mutex);
            auto& queue = QueueOf(std::this_thread::get_id()).sent;
            if (queue.empty()) return;
            sent = queue.front();
            queue.pop_front();
        }
        LRESULT result = CallWindowProcedure(sent->window, sent->message, sent->wParam, sent->lParam);
        {
            std::lock_guard<std::mutex> lock(sys.mutex);
            sent->result = result;
            sent->done = true;
        }
        sys.sentDone.notify_all();
    }
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& sys = Windows();
    if (window == HWND_BROADCAST) {
        std::vector<HWND> targets;
        {
            std::lock_guard<std::mutex> lock(sys.mutex);
            for (auto& entry : sys.windows) {
                if (entry.second->parent == nullptr) targets.push_back(entry.first);
            }
        }
        for (HWND target : targets) SendMessageA(target, message, wParam, lParam);
        return 0;
    }
    std::unique_lock<std::mutex> lock(sys.mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr) return 0;
    if (rec->owner == std::this_thread::get_id()) {
        lock.unlock();
        return CallWindowProcedure(window, message, wParam, lParam);
    }
    // Another thread's window: its thread runs the procedure the next time it peeks.
    SentMessage sent = {window, message, wParam, lParam};
    ThreadQueue& queue = QueueOf(rec->owner);
    queue.sent.push_back(&sent);
    while (!sent.done) {
        sys.sentDone.wait_for(lock, std::chrono::milliseconds(10));
        if (!sent.done && FindWindowRecord(window) == nullptr) {
            auto it = std::find(queue.sent.begin(), queue.sent.end(), &sent);
            if (it != queue.sent.end()) queue.sent.erase(it);
            return 0;
        }
    }
    return sent.result;
}

static bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    return (filterMin == 0 && filterMax == 0) || (message >= filterMin && message <= filterMax);
}

static bool WindowMatches(HWND messageWindow, HWND filter) {
    if (filter == nullptr) return true;
    if (filter == HWND_THREAD_ONLY) return messageWindow == nullptr;
    return messageWindow == filter;
}

void PumpWindowEvents(void) {
    if (OnSdlThread()) PumpSdlEvents();
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (!(remove & PM_NOPUMP)) PumpWindowEvents();
    ProcessSentMessages();
    auto& sys = Windows();
    std::lock_guard<std::mutex> lock(sys.mutex);
    std::thread::id self = std::this_thread::get_id();
    ThreadQueue& queue = QueueOf(self);
    bool take = (remove & PM_REMOVE) != 0;

    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (WindowMatches(it->hwnd, window) && InRange(it->message, filterMin, filterMax)) {
            *msg = *it;
            if (take) queue.posted.erase(it);
            return TRUE;
        }
    }
    if (queue.quitPosted && (window == nullptr || window == HWND_THREAD_ONLY) &&
        InRange(WM_QUIT, filterMin, filterMax)) {
        *msg = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
        if (take) queue.quitPosted = false;
        return TRUE;
    }
    if (window != HWND_THREAD_ONLY && InRange(WM_PAINT, filterMin, filterMax)) {
        for (auto& entry : sys.windows) {
            const WindowRecord* rec = entry.second.get();
            if (rec->owner == self && rec->invalid && rec->visible && WindowMatches(rec->handle, window)) {
                *msg = MakeMessage(rec->handle, WM_PAINT, 0, 0);
                return TRUE;  // stays until the window is validated
            }
        }
    }
    if (InRange(WM_TIMER, filterMin, filterMax) && !sys.timers.empty()) {
        DWORD now = timeGetTime();
        for (TimerRecord& timer : sys.timers) {
            if (timer.owner != self || !WindowMatches(timer.window, window)) continue;
            if (static_cast<int32_t>(now - timer.due) < 0) continue;
            *msg = MakeMessage(timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc));
            if (take) timer.due = now + timer.elapse;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || msg->message != WM_KEYDOWN) {
        return msg != nullptr && (msg->message == WM_KEYUP || msg->message == WM_SYSKEYDOWN ||
                                  msg->message == WM_SYSKEYUP);
    }
    WPARAM code;
    switch (msg->wParam) {
    case VK_BACK: code = 8; break;
    case VK_TAB: code = 9; break;
    case VK_RETURN: code = 13; break;
    case VK_ESCAPE: code = 27; break;
    default: return TRUE;
    }
    // The character comes next, before anything queued after the key.
    auto& sys = Windows();
    std::lock_guard<std::mutex> lock(sys.mutex);
    WindowRecord* rec = FindWindowRecord(msg->hwnd);
    std::thread::id owner = rec != nullptr ? rec->owner : std::this_thread::get_id();
    QueueOf(owner).posted.push_front(MakeMessage(msg->hwnd, WM_CHAR, code, msg->lParam));
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, timeGetTime());
        return 0;
    }
    if (msg->hwnd == nullptr) return 0;
    return CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_SETCURSOR: {  // the class cursor comes back over the window
        HCURSOR cursor = nullptr;
        {
            std::lock_guard<std::mutex> lock(Windows().mutex);
            WindowRecord* rec = FindWindowRecord(window);
            if (rec == nullptr) return FALSE;
            auto cls = Windows().classes.find(UpperClassName(rec->className.c_str()));
            if (cls != Windows().classes.end()) cursor = cls->second.cursor;
        }
        if (cursor == nullptr) return FALSE;
        SetCursor(cursor);
        return TRUE;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
        if ((wParam & 0xFFF0) == SC_MINIMIZE) ShowWindow(window, SW_MINIMIZE);
        return 0;
    default:
        return 0;
    }
}

void PostQuitMessage(int exitCode) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    ThreadQueue& queue = QueueOf(std::this_thread::get_id());
    queue.quitPosted = true;
    queue.quitCode = exitCode;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    auto& sys = Windows();
    std::lock_guard<std::mutex> lock(sys.mutex);
    TimerRecord timer;
    if (window != nullptr) {
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return 0;
        timer.owner = rec->owner;
    } else {
        id = sys.nextThreadTimerId++;
        timer.owner = std::this_thread::get_id();
    }
    timer.window = window;
    timer.id = id;
    timer.elapse = std::max<UINT>(elapse, 10);  // the platform's shortest period
    timer.proc = proc;
    timer.due = timeGetTime() + timer.elapse;
    for (TimerRecord& existing : sys.timers) {
        if (existing.window == window && existing.id == id) {
            existing = timer;
            return id != 0 ? id : 1;
        }
    }
    sys.timers.push_back(timer);
    return id != 0 ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto& sys = Windows();
    std::lock_guard<std::mutex> lock(sys.mutex);
    for (auto it = sys.timers.begin(); it != sys.timers.end(); ++it) {
        if (it->window == window && it->id == id) {
            sys.timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}
