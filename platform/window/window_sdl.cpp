// window_sdl.cpp - the SDL side of the window group: bringing SDL's video up, the SDL
// windows behind top-level windows, and SDL events translated into window messages.
// Every SDL call here runs on the SDL thread.
#include <cstring>
#include <time.h>

#include "platform/input/dinput_events.h"
#include "platform/input/imm_internal.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_keymap.h"

bool OnSdlThread(void) {
    auto& sys = Windows();
    std::lock_guard<std::mutex> lock(sys.mutex);
    return sys.sdlReady && sys.sdlThread == std::this_thread::get_id();
}

bool EnsureSdlVideo(void) {
    auto& sys = Windows();
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        if (sys.sdlReady) return true;
    }
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The pump updates the joysticks itself, less often (UpdateJoysticksOnPump).
    SDL_SetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    bool headless = driver != nullptr && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
    bool inhibit;
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        sys.sdlReady = true;
        sys.sdlThread = std::this_thread::get_id();
        sys.headless = headless;
        inhibit = sys.screenSaverInhibited;
    }
    // SDL inhibits the screen saver by itself; the program decides here.
    if (inhibit) {
        SDL_DisableScreenSaver();
    } else {
        SDL_EnableScreenSaver();
    }
    ImmApplyOpenStatus();
    ApplySdlCursor();
    InstallDesktopPresentation();
    return true;
}

void ReleaseSdlVideoIfUnused(void) {
    auto& sys = Windows();
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        if (!sys.sdlReady || sys.sdlThread != std::this_thread::get_id()) return;
        for (auto& entry : sys.windows) {
            if (entry.second->parent == nullptr) return;
        }
    }
    PumpSdlEvents();  // runs the queued destruction of the last SDL windows
    std::lock_guard<std::mutex> lock(sys.mutex);
    sys.sdlWork.clear();
    sys.injected.clear();
    sys.sdlReady = false;
    sys.sdlThread = std::thread::id();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_TLSCleanup();  // this thread may end before the process does
}

void RunOnSdlThread(std::function<void()> work) {
    if (OnSdlThread()) {
        work();
        return;
    }
    std::lock_guard<std::mutex> lock(Windows().mutex);
    if (Windows().sdlReady) Windows().sdlWork.push_back(std::move(work));
}

// ---- SDL windows ----------------------------------------------------------------------

static bool HasFrame(DWORD style) { return (style & (WS_CAPTION | WS_THICKFRAME)) != 0; }

void CreateSdlWindow(HWND window) {
    bool shaped;
    SDL_Window* sdl;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr || rec->sdl != nullptr) return;
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if (!HasFrame(rec->style)) flags |= SDL_WINDOW_BORDERLESS;
        if (rec->topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        std::string title = Cp932ToUtf8(rec->title);
        int width = std::max<int>(rec->rect.right - rec->rect.left, 1);
        int height = std::max<int>(rec->rect.bottom - rec->rect.top, 1);
        if (rec->wantShaped) {
            rec->sdl = SDL_CreateShapedWindow(title.c_str(), rec->rect.left, rec->rect.top, width, height, flags);
            rec->sdlShaped = rec->sdl != nullptr;
        }
        if (rec->sdl == nullptr) {
            rec->sdl = SDL_CreateWindow(title.c_str(), rec->rect.left, rec->rect.top, width, height, flags);
        }
        if (rec->sdl == nullptr) return;
        rec->sdlId = SDL_GetWindowID(rec->sdl);
        shaped = rec->sdlShaped;
        sdl = rec->sdl;
    }
    AttachDesktopPresenter(sdl);
    ApplySdlIcon(window);
    if (shaped) ApplySdlShape(window);
    ApplySdlVisibility(window);
}

void DestroySdlWindow(SDL_Window* sdl) {
    DetachDesktopPresenter(sdl);
    SDL_DestroyWindow(sdl);
}

void ApplySdlGeometry(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rec->sdl == nullptr) return;
    int x, y, w, h;
    SDL_GetWindowPosition(rec->sdl, &x, &y);
    SDL_GetWindowSize(rec->sdl, &w, &h);
    int width = std::max<int>(rec->rect.right - rec->rect.left, 1);
    int height = std::max<int>(rec->rect.bottom - rec->rect.top, 1);
    if (w != width || h != height) SDL_SetWindowSize(rec->sdl, width, height);
    if (x != rec->rect.left || y != rec->rect.top) SDL_SetWindowPosition(rec->sdl, rec->rect.left, rec->rect.top);
    bool bordered = (SDL_GetWindowFlags(rec->sdl) & SDL_WINDOW_BORDERLESS) == 0;
    if (bordered != HasFrame(rec->style) && !rec->sdlShaped) {
        SDL_SetWindowBordered(rec->sdl, HasFrame(rec->style) ? SDL_TRUE : SDL_FALSE);
    }
    SDL_SetWindowAlwaysOnTop(rec->sdl, rec->topmost ? SDL_TRUE : SDL_FALSE);
}

void ApplySdlTitle(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rec->sdl == nullptr) return;
    SDL_SetWindowTitle(rec->sdl, Cp932ToUtf8(rec->title).c_str());
}

void ApplySdlVisibility(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rec->sdl == nullptr) return;
    Uint32 flags = SDL_GetWindowFlags(rec->sdl);
    if (!rec->visible) {
        if ((flags & SDL_WINDOW_SHOWN) != 0) SDL_HideWindow(rec->sdl);
        return;
    }
    if ((flags & SDL_WINDOW_SHOWN) == 0) SDL_ShowWindow(rec->sdl);
    if (rec->minimized && (flags & SDL_WINDOW_MINIMIZED) == 0) SDL_MinimizeWindow(rec->sdl);
    if (!rec->minimized && (flags & SDL_WINDOW_MINIMIZED) != 0) SDL_RestoreWindow(rec->sdl);
}

void ApplySdlCursor(void) {
    bool shown;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        if (!Windows().sdlReady) return;
        shown = Windows().cursorCount >= 0 && Windows().cursor != nullptr;
        Windows().cursorShownApplied = shown;
    }
    SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

// ---- Events ------------------------------------------------------------------------------

static HWND WindowOfSdlIdLocked(Uint32 id) {
    auto& sys = Windows();
    for (auto& entry : sys.windows) {
        if (entry.second->sdl != nullptr && entry.second->sdlId == id) return entry.first;
    }
    // Events without a window (or injected without one) go to the active window.
    if (id == 0) return sys.activeWindow;
    return nullptr;
}

static bool ClosePendingLocked(HWND window) {
    const WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr) return true;
    for (const MSG& m : QueueOf(rec->owner).posted) {
        if (m.hwnd == window && m.message == WM_CLOSE) return true;
    }
    return false;
}

static WPARAM MouseKeyFlags(void) {
    Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    SDL_Keymod mod = SDL_GetModState();
    WPARAM flags = 0;
    if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
    if (mod & KMOD_SHIFT) flags |= MK_SHIFT;
    if (mod & KMOD_CTRL) flags |= MK_CONTROL;
    return flags;
}

static void TranslateWindowEvent(const SDL_WindowEvent& e) {
    HWND window;
    bool headless;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        window = WindowOfSdlIdLocked(e.windowID);
        headless = Windows().headless;
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return;
        switch (e.event) {
        case SDL_WINDOWEVENT_CLOSE:
            if (!ClosePendingLocked(window)) PostLocked(window, WM_CLOSE, 0, 0);
            return;
        case SDL_WINDOWEVENT_EXPOSED:
            rec->invalid = true;
            rec->invalidRect = {0, 0, rec->rect.right - rec->rect.left, rec->rect.bottom - rec->rect.top};
            return;
        case SDL_WINDOWEVENT_MOVED:
            if (e.data1 != rec->rect.left || e.data2 != rec->rect.top) {
                rec->rect = {e.data1, e.data2, e.data1 + (rec->rect.right - rec->rect.left),
                             e.data2 + (rec->rect.bottom - rec->rect.top)};
                PostLocked(window, WM_MOVE, 0, MAKELPARAM(e.data1, e.data2));
            }
            return;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (e.data1 != rec->rect.right - rec->rect.left || e.data2 != rec->rect.bottom - rec->rect.top) {
                rec->rect.right = rec->rect.left + e.data1;
                rec->rect.bottom = rec->rect.top + e.data2;
                rec->invalid = true;
                rec->invalidRect = {0, 0, e.data1, e.data2};
                PostLocked(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(e.data1, e.data2));
            }
            return;
        case SDL_WINDOWEVENT_MINIMIZED:
            rec->minimized = true;
            return;
        case SDL_WINDOWEVENT_RESTORED:
            rec->minimized = false;
            return;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_FOCUS_LOST:
            break;
        default:
            return;
        }
    }
    if (e.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        ActivateWindowFrom(window, false);
    } else if (!headless) {  // a headless window stays active
        bool minimized = (SDL_GetWindowFlags(SDL_GetWindowFromID(e.windowID)) & SDL_WINDOW_MINIMIZED) != 0;
        DeactivateWindow(window, false, minimized);
    }
}

static void TranslateEvent(const SDL_Event& e) {
    if (TranslateInputSdlEvent(e)) return;  // keys, mouse and IME state first (dinput_events.h)
    auto& sys = Windows();
    switch (e.type) {
    case SDL_QUIT: {
        std::lock_guard<std::mutex> lock(sys.mutex);
        for (auto& entry : sys.windows) {
            if (entry.second->parent == nullptr && !ClosePendingLocked(entry.first)) {
                PostLocked(entry.first, WM_CLOSE, 0, 0);
            }
        }
        return;
    }
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(e.window);
        return;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int vk = VirtualKeyFromSdl(e.key.keysym);
        if (vk == 0) return;
        bool down = e.type == SDL_KEYDOWN;
        bool alt = (e.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
        UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
        LPARAM lParam = 1 | (static_cast<LPARAM>(e.key.keysym.scancode & 0xFF) << 16);
        if (!down || e.key.repeat) lParam |= 1L << 30;
        if (!down) lParam |= 1L << 31;
        std::lock_guard<std::mutex> lock(sys.mutex);
        PostLocked(WindowOfSdlIdLocked(e.key.windowID), message, static_cast<WPARAM>(vk), lParam);
        return;
    }
    case SDL_TEXTINPUT: {
        std::string bytes = Utf8ToCp932(e.text.text);
        std::lock_guard<std::mutex> lock(sys.mutex);
        HWND window = WindowOfSdlIdLocked(e.text.windowID);
        for (char byte : bytes) PostLocked(window, WM_CHAR, static_cast<unsigned char>(byte), 1);
        return;
    }
    case SDL_MOUSEMOTION: {
        WPARAM keys = MouseKeyFlags();
        std::lock_guard<std::mutex> lock(sys.mutex);
        HWND window = WindowOfSdlIdLocked(e.motion.windowID);
        if (WindowRecord* rec = FindWindowRecord(window)) {
            sys.cursorPos = {rec->rect.left + e.motion.x, rec->rect.top + e.motion.y};
            PostLocked(window, WM_MOUSEMOVE, keys, MAKELPARAM(e.motion.x, e.motion.y));
        }
        return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        bool down = e.type == SDL_MOUSEBUTTONDOWN;
        UINT message;
        switch (e.button.button) {
        case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
        case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
        case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
        default: return;
        }
        WPARAM keys = MouseKeyFlags();
        std::lock_guard<std::mutex> lock(sys.mutex);
        PostLocked(WindowOfSdlIdLocked(e.button.windowID), message, keys, MAKELPARAM(e.button.x, e.button.y));
        return;
    }
    case SDL_MOUSEWHEEL: {
        int steps = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        if (steps == 0) return;
        WPARAM keys = MouseKeyFlags();
        std::lock_guard<std::mutex> lock(sys.mutex);
        PostLocked(WindowOfSdlIdLocked(e.wheel.windowID), WM_MOUSEWHEEL, MAKEWPARAM(keys, steps * WHEEL_DELTA),
                   MAKELPARAM(sys.cursorPos.x, sys.cursorPos.y));
        return;
    }
    default:
        return;
    }
}

// Looking for joystick changes polls the device monitors (about 3 us), and the message
// pump runs ten and more times a frame: the pump updates the joysticks at most once per
// millisecond of real time (the monotonic clock, never the tests' virtual one). Polling a
// joystick device updates them at once.
static void UpdateJoysticksOnPump(void) {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) return;
    auto& sys = Windows();
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t nowNs = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        if (sys.joystickUpdates != 0 && nowNs - sys.lastJoystickUpdateNs < 1000000) return;
        sys.lastJoystickUpdateNs = nowNs;
        sys.joystickUpdates++;
    }
    SDL_JoystickUpdate();
}

void PumpSdlEvents(void) {
    auto& sys = Windows();
    std::vector<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        work.swap(sys.sdlWork);
        sys.sdlPumps++;
    }
    for (auto& item : work) item();
    // One poll of the system, then the queue as it stands (SDL_PollEvent would poll
    // again for every event).
    UpdateJoysticksOnPump();
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) TranslateEvent(e);
    std::deque<SDL_Event> injected;
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        injected.swap(sys.injected);
    }
    for (const SDL_Event& event : injected) TranslateEvent(event);
}
