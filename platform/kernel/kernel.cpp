// The kernel group over POSIX threads. See kernel.h.
#include "platform/kernel/kernel.h"

#include <sched.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/kernel/kernel_hooks.h"
#include "platform/kernel/kernel_object.h"

const MEMORYSTATUS* KernelFakeMemoryStatus = nullptr;
const OSVERSIONINFOA* KernelFakeVersion = nullptr;
UINT KernelOemCodePage = 932;
std::atomic<int> KernelHeapFailures{0};

// ---------------------------------------------------------------- handles

BOOL CloseHandle(HANDLE object) {
    if (object == nullptr || object == INVALID_HANDLE_VALUE || object->close == nullptr) {
        return FALSE;
    }
    return object->close(object);
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    if (object == nullptr || object == INVALID_HANDLE_VALUE || object->wait == nullptr) {
        return WAIT_FAILED;
    }
    return object->wait(object, milliseconds);
}

// Waits on a condition variable for `ready` with the contract's timeout rules.
template <typename Ready>
static DWORD WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                       DWORD milliseconds, Ready ready) {
    if (milliseconds == INFINITE) {
        cv.wait(lock, ready);
        return WAIT_OBJECT_0;
    }
    // A poll never blocks: a timed wait on an already-past deadline still sleeps for the
    // kernel's timer slack (some 50 us), which a caller polling every frame pays each time.
    if (milliseconds == 0) return ready() ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    bool done = cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
    return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

// ---------------------------------------------------------------- thread ids

// Ids count up from 1; 0 and 0xFFFFFFFF are never handed out.
static std::atomic<DWORD> NextThreadId{1};
static thread_local DWORD CurrentThreadId = 0;

static DWORD NewThreadId() {
    for (;;) {
        DWORD id = NextThreadId.fetch_add(1);
        if (id != 0 && id != 0xFFFFFFFFu) return id;
    }
}

DWORD GetCurrentThreadId(void) {
    if (CurrentThreadId == 0) CurrentThreadId = NewThreadId();
    return CurrentThreadId;
}

DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

// ---------------------------------------------------------------- threads

// Shared by the handle and the running thread; whichever lets go last frees it.
struct ThreadObject {
    PlatformObject head;
    std::atomic<int> references;
    std::mutex mutex;
    std::condition_variable ended;
    bool finished;
    DWORD exitCode;
    DWORD id;
    LPTHREAD_START_ROUTINE start;
    void* parameter;
};

static void ReleaseThreadObject(ThreadObject* thread) {
    if (thread->references.fetch_sub(1) == 1) delete thread;
}

static BOOL CloseThreadObject(PlatformObject* object) {
    ReleaseThreadObject(reinterpret_cast<ThreadObject*>(object));
    return TRUE;
}

static DWORD WaitThreadObject(PlatformObject* object, DWORD milliseconds) {
    auto* thread = reinterpret_cast<ThreadObject*>(object);
    std::unique_lock<std::mutex> lock(thread->mutex);
    return WaitUntil(lock, thread->ended, milliseconds, [thread] { return thread->finished; });
}

static void RunThread(ThreadObject* thread) {
    CurrentThreadId = thread->id;
    DWORD code = thread->start(thread->parameter);
    {
        std::lock_guard<std::mutex> lock(thread->mutex);
        thread->exitCode = code;
        thread->finished = true;
    }
    thread->ended.notify_all();
    ReleaseThreadObject(thread);
}

HANDLE CreateThread(void* /*security*/, size_t /*stackSize*/, LPTHREAD_START_ROUTINE start,
                    void* parameter, DWORD /*creationFlags*/, DWORD* threadId) {
    if (start == nullptr) return nullptr;
    auto* thread = new ThreadObject;
    thread->head = {PlatformObjectThread, CloseThreadObject, WaitThreadObject};
    thread->references = 2;  // the handle and the running thread
    thread->finished = false;
    thread->exitCode = STILL_ACTIVE;
    thread->id = NewThreadId();
    thread->start = start;
    thread->parameter = parameter;
    try {
        std::thread(RunThread, thread).detach();
    } catch (...) {
        delete thread;
        return nullptr;
    }
    if (threadId != nullptr) *threadId = thread->id;
    return reinterpret_cast<HANDLE>(thread);
}

BOOL GetExitCodeThread(HANDLE object, DWORD* exitCode) {
    if (object == nullptr || object->kind != PlatformObjectThread || exitCode == nullptr) return FALSE;
    auto* thread = reinterpret_cast<ThreadObject*>(object);
    std::lock_guard<std::mutex> lock(thread->mutex);
    *exitCode = thread->exitCode;
    return TRUE;
}

// ---------------------------------------------------------------- events

struct EventObject {
    PlatformObject head;
    std::mutex mutex;
    std::condition_variable signalled;
    bool manualReset;
    bool state;
};

static BOOL CloseEventObject(PlatformObject* object) {
    delete reinterpret_cast<EventObject*>(object);
    return TRUE;
}

static DWORD WaitEventObject(PlatformObject* object, DWORD milliseconds) {
    auto* event = reinterpret_cast<EventObject*>(object);
    std::unique_lock<std::mutex> lock(event->mutex);
    DWORD result = WaitUntil(lock, event->signalled, milliseconds, [event] { return event->state; });
    if (result == WAIT_OBJECT_0 && !event->manualReset) event->state = false;
    return result;
}

static EventObject* AsEvent(HANDLE object) {
    if (object == nullptr || object == INVALID_HANDLE_VALUE || object->kind != PlatformObjectEvent) {
        return nullptr;
    }
    return reinterpret_cast<EventObject*>(object);
}

HANDLE CreateEventA(void* /*security*/, BOOL manualReset, BOOL initialState, const char* name) {
    if (name != nullptr) return nullptr;  // named events are not offered
    auto* event = new EventObject;
    event->head = {PlatformObjectEvent, CloseEventObject, WaitEventObject};
    event->manualReset = manualReset != FALSE;
    event->state = initialState != FALSE;
    return reinterpret_cast<HANDLE>(event);
}

BOOL SetEvent(HANDLE object) {
    EventObject* event = AsEvent(object);
    if (event == nullptr) return FALSE;
    // Notified under the mutex: a waiter that wakes may close the event at once, and
    // it cannot return from its wait before this thread has let go of the event.
    std::lock_guard<std::mutex> lock(event->mutex);
    event->state = true;
    if (event->manualReset) {
        event->signalled.notify_all();
    } else {
        event->signalled.notify_one();
    }
    return TRUE;
}

BOOL ResetEvent(HANDLE object) {
    EventObject* event = AsEvent(object);
    if (event == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(event->mutex);
    event->state = false;
    return TRUE;
}

// ---------------------------------------------------------------- critical sections

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

void EnterCriticalSection(CRITICAL_SECTION* section) { pthread_mutex_lock(&section->mutex); }
void LeaveCriticalSection(CRITICAL_SECTION* section) { pthread_mutex_unlock(&section->mutex); }
void DeleteCriticalSection(CRITICAL_SECTION* section) { pthread_mutex_destroy(&section->mutex); }

// ---------------------------------------------------------------- heap

// The process heap is malloc; its handle is a fixed non-null value.
static PlatformObject ProcessHeapObject = {0, nullptr, nullptr};

HANDLE GetProcessHeap(void) { return &ProcessHeapObject; }

void* HeapAlloc(HANDLE /*heap*/, DWORD flags, size_t bytes) {
    int failures = KernelHeapFailures.load();
    while (failures > 0) {
        if (KernelHeapFailures.compare_exchange_weak(failures, failures - 1)) return nullptr;
    }
    if (flags & HEAP_ZERO_MEMORY) return std::calloc(1, bytes == 0 ? 1 : bytes);
    return std::malloc(bytes == 0 ? 1 : bytes);
}

BOOL HeapFree(HANDLE /*heap*/, DWORD /*flags*/, void* block) {
    std::free(block);
    return TRUE;
}

// ---------------------------------------------------------------- system queries

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (status == nullptr) return;
    if (KernelFakeMemoryStatus != nullptr) {
        *status = *KernelFakeMemoryStatus;
        return;
    }
    struct sysinfo info {};
    sysinfo(&info);
    size_t unit = info.mem_unit == 0 ? 1 : info.mem_unit;
    MEMORYSTATUS result{};
    result.dwLength = sizeof(MEMORYSTATUS);
    result.dwTotalPhys = info.totalram * unit;
    result.dwAvailPhys = (info.freeram + info.bufferram) * unit;
    result.dwTotalPageFile = (info.totalram + info.totalswap) * unit;
    result.dwAvailPageFile = (info.freeram + info.bufferram + info.freeswap) * unit;
    result.dwTotalVirtual = result.dwTotalPageFile;
    result.dwAvailVirtual = result.dwAvailPageFile;
    if (result.dwTotalPhys > 0) {
        result.dwMemoryLoad = DWORD(100 - (result.dwAvailPhys * 100) / result.dwTotalPhys);
    }
    *status = result;
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) return FALSE;
    if (KernelFakeVersion != nullptr) {
        *info = *KernelFakeVersion;
        return TRUE;
    }
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    struct utsname name {};
    if (uname(&name) == 0) {
        std::snprintf(info->szCSDVersion, sizeof(info->szCSDVersion), "%.60s %.60s", name.sysname,
                      name.release);
    } else {
        info->szCSDVersion[0] = '\0';
    }
    return TRUE;
}

UINT GetOEMCP(void) { return KernelOemCodePage; }

void ExitProcess(UINT exitCode) {
    std::fflush(nullptr);
    _exit(int(exitCode & 0xFF));
}
