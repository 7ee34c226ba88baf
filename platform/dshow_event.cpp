// dshow_event.cpp - events signalled by finished sample updates.
//
// A wait of 0 ms only reads an atomic flag, so polling never blocks on the thread that
// signals; longer waits sleep on a condition variable.
#include <new>

#include "platform/dshow_internal.h"

struct MovieEvent {
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> signalled{false};
    bool manualReset = true;
};

MovieEvent* CreateMovieEvent(BOOL manualReset, BOOL initialState) {
    auto* e = new (std::nothrow) MovieEvent;
    if (!e) return nullptr;
    e->manualReset = manualReset != 0;
    e->signalled.store(initialState != 0);
    return e;
}

DWORD WaitMovieEvent(MovieEvent* e, DWORD milliseconds) {
    if (!e) return WAIT_FAILED;
    // Takes the signal: an auto-reset event is consumed by the wait that sees it.
    auto take = [e] {
        if (e->manualReset) return e->signalled.load();
        bool expected = true;
        return e->signalled.compare_exchange_strong(expected, false);
    };
    if (take()) return WAIT_OBJECT_0;
    if (milliseconds == 0) return WAIT_TIMEOUT;
    std::unique_lock<std::mutex> lock(e->m);
    if (milliseconds == INFINITE) {
        e->cv.wait(lock, take);
        return WAIT_OBJECT_0;
    }
    return e->cv.wait_for(lock, std::chrono::milliseconds(milliseconds), take) ? WAIT_OBJECT_0
                                                                                : WAIT_TIMEOUT;
}

BOOL SetMovieEvent(MovieEvent* e) {
    if (!e) return FALSE;
    {
        std::lock_guard<std::mutex> lock(e->m);
        e->signalled.store(true);
    }
    e->cv.notify_all();
    return TRUE;
}

BOOL ResetMovieEvent(MovieEvent* e) {
    if (!e) return FALSE;
    e->signalled.store(false);
    return TRUE;
}

BOOL CloseMovieEvent(MovieEvent* e) {
    if (!e) return FALSE;
    delete e;
    return TRUE;
}
