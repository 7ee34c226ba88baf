// window_internal.h - the records the window group's files share (not for the library).
//
// One mutex guards every record. It is never held while a window procedure, a timer
// procedure or SDL runs, so procedures may call back into the layer freely.
#pragma once

#include <SDL.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/window.h"

struct ToolbarState;
struct RegionData;

struct WindowClassRecord {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(32512));  // the arrow
};

struct WindowRecord {
    HWND handle = nullptr;
    std::string className;
    WNDPROC proc = nullptr;
    std::thread::id owner;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    std::string title;        // CP932, as the program set it
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {};           // outer rectangle in screen coordinates (= client area)
    bool visible = false;
    bool minimized = false;
    bool topmost = false;
    bool invalid = false;     // needs WM_PAINT
    RECT invalidRect = {};    // client coordinates
    bool imeEnabled = true;
    HRGN region = nullptr;    // owned by the window once set
    int instanceLockFd = -1;  // single-instance lock of a top-level window's class
    ToolbarState* toolbar = nullptr;  // windows of the class "ToolbarWindow32"
    // SDL side (main thread only).
    SDL_Window* sdl = nullptr;
    Uint32 sdlId = 0;
    bool sdlShaped = false;
    bool wantShaped = false;
};

struct TimerRecord {
    HWND window = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    std::thread::id owner;
    DWORD due = 0;
};

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct ThreadQueue {
    std::deque<MSG> posted;
    std::deque<SentMessage*> sent;
    bool quitPosted = false;
    int quitCode = 0;
};

struct WindowSystem {
    std::mutex mutex;
    std::condition_variable sentDone;
    std::map<std::string, WindowClassRecord> classes;  // by upper-cased name
    std::map<HWND, std::unique_ptr<WindowRecord>> windows;
    uintptr_t nextHandle = 0x10000;
    std::map<std::thread::id, ThreadQueue> queues;
    std::vector<TimerRecord> timers;
    UINT_PTR nextThreadTimerId = 0x7F000000;
    ATOM nextAtom = 0xC000;
    HWND activeWindow = nullptr;
    // Cursor.
    int cursorCount = 0;
    HCURSOR cursor = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(32512));  // the arrow
    POINT cursorPos = {};
    bool cursorShownApplied = true;
    // Screen saver.
    bool screenSaverInhibited = false;
    // SDL.
    std::thread::id sdlThread;
    bool sdlReady = false;
    bool sdlFailed = false;
    bool headless = false;
    std::vector<std::function<void()>> sdlWork;  // SDL calls queued for the SDL thread
    std::deque<SDL_Event> injected;              // events tests inject
    long sdlPumps = 0;                           // times SDL's queue was pumped (a test seam)
    long joystickUpdates = 0;                    // times the pump updated the joysticks (a test seam)
    int64_t lastJoystickUpdateNs = 0;             // monotonic clock at that update
};

WindowSystem& Windows();

// Lookups under the mutex; null for an unknown handle.
WindowRecord* FindWindowRecord(HWND window);
std::string UpperClassName(const char* name);
ThreadQueue& QueueOf(std::thread::id thread);  // mutex held
DWORD WindowTickCount(void);

// Calls a window's procedure without the mutex (0 for an unknown window).
LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Posts under the mutex (already held); false for an unknown window.
bool PostLocked(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Removes the window's pending messages and timers (mutex held).
void PurgeWindowLocked(HWND window);

// The window's wish for an input method (WINNLSEnableIME); false for an unknown window.
bool WindowImeEnabled(HWND window);

// The active window changes: sends (on the owning thread) or posts the activation pair.
void ActivateWindowFrom(HWND window, bool send);
void DeactivateWindow(HWND window, bool send, bool minimized);

// SDL side. EnsureSdlVideo brings SDL's video up on the calling thread the first time
// (that thread becomes the SDL thread); false when no video driver is available.
bool EnsureSdlVideo(void);
bool OnSdlThread(void);
// Runs the function now on the SDL thread, else queues it for the SDL thread.
void RunOnSdlThread(std::function<void()> work);
// On the SDL thread: runs queued SDL work and translates pending SDL and injected events.
void PumpSdlEvents(void);
// SDL window of a layer window; created by CreateWindowExA for top-level windows.
void CreateSdlWindow(HWND window);
void DestroySdlWindow(SDL_Window* sdl);
void ApplySdlGeometry(HWND window);
void ApplySdlTitle(HWND window);
void ApplySdlIcon(HWND window);
void ApplySdlVisibility(HWND window);
void ApplySdlCursor(void);
void ReleaseSdlVideoIfUnused(void);
// Presenting the virtual desktop (window_present.cpp): the desktop's client locator and
// present hook, and one presenter per top-level SDL window.
void InstallDesktopPresentation(void);
void AttachDesktopPresenter(SDL_Window* sdl);
void DetachDesktopPresenter(SDL_Window* sdl);
std::string Cp932ToUtf8(const std::string& text);
std::string Utf8ToCp932(const char* text);

// Single-instance lock of a top-level window's class: a file descriptor holding the
// lock, or -1. IsClassLockedElsewhere tells whether another process holds it.
int TakeInstanceLock(const std::string& className);
void ReleaseInstanceLock(int fd);
bool IsClassLockedElsewhere(const std::string& className);

// Toolbar windows (class "ToolbarWindow32").
bool IsToolbarClass(const std::string& upperName);
LRESULT ToolbarWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
ToolbarState* NewToolbarState(void);
void DestroyToolbarState(ToolbarState* toolbar);

// For the window seams: a user choosing a menu item or clicking a toolbar button.
bool ChooseMenuItem(HWND window, UINT id);
bool ClickToolbarButton(HWND toolbarWindow, int id);

// Regions.
void DeleteRegionData(HRGN region);
bool ApplySdlShape(HWND window);
