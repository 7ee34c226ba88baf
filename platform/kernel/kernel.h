// kernel.h - the kernel group: threads, events, critical sections, sleeps, the
// process heap, memory status, version, code page and process exit.
//
// Backed by POSIX threads. Semantics follow the contract the library was written
// for: thread ids are small numbers that are never 0 or 0xFFFFFFFF; events are
// manual-reset or auto-reset; critical sections are recursive; Sleep(0) yields;
// ExitProcess(-1) ends the process with status 255. Files and directories live in
// platform/kernel/kernel_files.h; debug output in platform/kernel/debug_output.h; the clocks and
// Sleep in platform/kernel/clock.h.
#pragma once

#include <pthread.h>

#include "platform/wintypes.h"

// Waiting.
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

BOOL CloseHandle(HANDLE object);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);

// Threads. The start routine's result is the thread's exit code.
using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);
#define STILL_ACTIVE 0x00000103u

HANDLE CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE start,
                    void* parameter, DWORD creationFlags, DWORD* threadId);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD GetCurrentThreadId(void);
DWORD GetCurrentProcessId(void);  // the host process id

// Events: created non-signalled unless initialState is TRUE; unnamed only.
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Critical sections: recursive mutexes owned by the entering thread.
struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

// The process heap.
HANDLE GetProcessHeap(void);
void* HeapAlloc(HANDLE heap, DWORD flags, size_t bytes);  // null when the heap has no room
BOOL HeapFree(HANDLE heap, DWORD flags, void* block);
#define HEAP_ZERO_MEMORY 0x00000008u

// Memory status (physical and virtual memory of the machine, in bytes).
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;  // percent in use
    size_t dwTotalPhys;
    size_t dwAvailPhys;
    size_t dwTotalPageFile;
    size_t dwAvailPageFile;
    size_t dwTotalVirtual;
    size_t dwAvailVirtual;
};
void GlobalMemoryStatus(MEMORYSTATUS* status);

// Version: the layer reports NT 5.1; the service-pack text names the host system.
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
BOOL GetVersionExA(OSVERSIONINFOA* info);

// The OEM code page (932, Japanese Shift-JIS).
UINT GetOEMCP(void);

// Ends the process at once with the low 8 bits of the code (-1 gives 255).
[[noreturn]] void ExitProcess(UINT exitCode);
