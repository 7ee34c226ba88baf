// Test seams of the window group.
#include "platform/window/testing/window_seams.h"

#include <cstring>

#include "platform/window/desktop.h"
#include "platform/window/window_internal.h"

static Uint32 SdlIdOf(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    return rec != nullptr ? rec->sdlId : 0;
}

void WindowSeamInjectEvent(SDL_Event event, HWND window) {
    Uint32 id = SdlIdOf(window);
    switch (event.type) {
    case SDL_WINDOWEVENT: if (event.window.windowID == 0) event.window.windowID = id; break;
    case SDL_KEYDOWN: case SDL_KEYUP: if (event.key.windowID == 0) event.key.windowID = id; break;
    case SDL_TEXTINPUT: if (event.text.windowID == 0) event.text.windowID = id; break;
    case SDL_MOUSEMOTION: if (event.motion.windowID == 0) event.motion.windowID = id; break;
    case SDL_MOUSEBUTTONDOWN: case SDL_MOUSEBUTTONUP: if (event.button.windowID == 0) event.button.windowID = id; break;
    case SDL_MOUSEWHEEL: if (event.wheel.windowID == 0) event.wheel.windowID = id; break;
    default: break;
    }
    std::lock_guard<std::mutex> lock(Windows().mutex);
    Windows().injected.push_back(event);
}

void WindowSeamInjectKey(SDL_Scancode scancode, bool down, HWND window) {
    SDL_Event e = {};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    WindowSeamInjectEvent(e, window);
}

void WindowSeamInjectText(const char* utf8, HWND window) {
    SDL_Event e = {};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
    WindowSeamInjectEvent(e, window);
}

void WindowSeamInjectClose(HWND window) {
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    WindowSeamInjectEvent(e, window);
}

void WindowSeamSetActive(HWND window, bool active) {
    if (active) {
        ActivateWindowFrom(window, false);
    } else {
        DeactivateWindow(window, false, false);
    }
}

bool WindowSeamChooseMenuItem(HWND window, UINT id) { return ChooseMenuItem(window, id); }
bool WindowSeamClickToolbarButton(HWND toolbar, int id) { return ClickToolbarButton(toolbar, id); }

void WindowSeamSetCursorPos(int x, int y) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    Windows().cursorPos = {x, y};
}

void WindowSeamSetDesktop(int width, int height, int bits) {
    // One desktop for the window group, DirectDraw and GDI.
    DesktopFormat format = bits == 16 ? DesktopFormat::Rgb565 : bits == 24 ? DesktopFormat::Rgb888 : DesktopFormat::Xrgb8888;
    DesktopConfigure(DesktopSettings{format, width, height, DesktopRefreshRate()});
}

std::string WindowSeamSdlTitle(HWND window) {
    SDL_Window* sdl = WindowSeamSdlWindow(window);
    return sdl != nullptr ? SDL_GetWindowTitle(sdl) : "";
}

SDL_Window* WindowSeamSdlWindow(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    return rec != nullptr ? rec->sdl : nullptr;
}

int WindowSeamCursorCount(void) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    return Windows().cursorCount;
}

bool WindowSeamCursorShown(void) { return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE; }

bool WindowSeamScreenSaverInhibited(void) { return SDL_IsScreenSaverEnabled() == SDL_FALSE; }

bool WindowSeamImeEnabled(HWND window) { return WindowImeEnabled(window); }

int WindowSeamWindowCount(void) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    return static_cast<int>(Windows().windows.size());
}

long WindowSeamPumpCount(void) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    return Windows().sdlPumps;
}

long WindowSeamJoystickUpdateCount(void) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    return Windows().joystickUpdates;
}
