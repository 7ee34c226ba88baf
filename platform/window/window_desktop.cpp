// window_desktop.cpp - icons, the cursor, the desktop metrics and the screen saver.
#include <vector>

#include "platform/window/desktop.h"
#include "platform/window/window_internal.h"

// ---- Icons ---------------------------------------------------------------------------------

struct IconImage {
    int width;
    int height;
    std::vector<uint32_t> argb;
};

static std::map<int, IconImage>& IconResources() {
    static auto* icons = new std::map<int, IconImage>();  // guarded by the window mutex
    return *icons;
}

// Icon handles are the resource id plus one, so they never collide with null.
static HICON IconHandle(int id) { return reinterpret_cast<HICON>(static_cast<uintptr_t>(id) + 1); }
static int IconId(HICON icon) { return static_cast<int>(reinterpret_cast<uintptr_t>(icon)) - 1; }

// The layer's application icon: a small window with a blue title bar.
static IconImage ApplicationIcon(void) {
    IconImage icon = {32, 32, std::vector<uint32_t>(32 * 32, 0)};
    for (int y = 2; y < 30; ++y) {
        for (int x = 2; x < 30; ++x) {
            bool border = x == 2 || x == 29 || y == 2 || y == 29;
            uint32_t colour = border ? 0xFF202020u : (y < 9 ? 0xFF2050C0u : 0xFFF0F0F0u);
            icon.argb[static_cast<size_t>(y * 32 + x)] = colour;
        }
    }
    return icon;
}

static const int kApplicationIconId = 32512;

int RegisterIconResource(int id, int width, int height, const uint32_t* argb) {
    if (id <= 0 || id > 0xFFFF || id == kApplicationIconId || width <= 0 || height <= 0 || width > 256 ||
        height > 256 || argb == nullptr) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(Windows().mutex);
    IconResources()[id] = {width, height, std::vector<uint32_t>(argb, argb + static_cast<size_t>(width) * height)};
    return 0;
}

HICON LoadIconA(HINSTANCE, const char* name) {
    if (!IS_INTRESOURCE(name)) return nullptr;  // only numbered resources exist here
    int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
    std::lock_guard<std::mutex> lock(Windows().mutex);
    auto& icons = IconResources();
    if (id == kApplicationIconId && icons.count(id) == 0) icons[id] = ApplicationIcon();
    return icons.count(id) != 0 ? IconHandle(id) : nullptr;
}

ULONG_PTR SetClassLongPtrA(HWND window, int index, LONG_PTR value) {
    if (index != GCL_HICON) return 0;
    std::vector<HWND> targets;
    ULONG_PTR previous;
    {
        auto& sys = Windows();
        std::lock_guard<std::mutex> lock(sys.mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return 0;
        WindowClassRecord& cls = sys.classes[UpperClassName(rec->className.c_str())];
        previous = reinterpret_cast<ULONG_PTR>(cls.icon);
        cls.icon = reinterpret_cast<HICON>(value);
        for (auto& entry : sys.windows) {
            if (UpperClassName(entry.second->className.c_str()) == UpperClassName(cls.name.c_str())) {
                targets.push_back(entry.first);
            }
        }
    }
    for (HWND target : targets) RunOnSdlThread([target] { ApplySdlIcon(target); });
    return previous;
}

void ApplySdlIcon(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rec->sdl == nullptr) return;
    auto cls = Windows().classes.find(UpperClassName(rec->className.c_str()));
    if (cls == Windows().classes.end() || cls->second.icon == nullptr) return;
    auto icon = IconResources().find(IconId(cls->second.icon));
    if (icon == IconResources().end()) return;
    IconImage& image = icon->second;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(image.argb.data(), image.width, image.height, 32,
                                                              image.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) return;
    SDL_SetWindowIcon(rec->sdl, surface);
    SDL_FreeSurface(surface);
}

// ---- Cursor ---------------------------------------------------------------------------------

static HCURSOR const kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(32512));

HCURSOR LoadCursorA(HINSTANCE, const char* name) {
    return name == IDC_ARROW ? kArrowCursor : nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR previous;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        previous = Windows().cursor;
        Windows().cursor = cursor;
    }
    RunOnSdlThread(ApplySdlCursor);
    return previous;
}

int ShowCursor(BOOL show) {
    int count;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        count = Windows().cursorCount += show ? 1 : -1;
    }
    RunOnSdlThread(ApplySdlCursor);
    return count;
}

BOOL GetCursorPos(POINT* point) {
    if (point == nullptr) return FALSE;
    bool live;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        live = Windows().sdlReady && !Windows().headless && Windows().sdlThread == std::this_thread::get_id();
        *point = Windows().cursorPos;
    }
    if (live) {
        int x, y;
        SDL_GetGlobalMouseState(&x, &y);
        std::lock_guard<std::mutex> lock(Windows().mutex);
        Windows().cursorPos = {x, y};
        *point = Windows().cursorPos;
    }
    return TRUE;
}

// ---- Desktop and system settings ------------------------------------------------------------

// The desktop is the display layer's virtual desktop (desktop.h), which DirectDraw and
// GDI draw on, so the metrics and the device contexts always agree.
int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN) return DesktopWidth();
    if (index == SM_CYSCREEN) return DesktopHeight();
    return 0;
}

int GetDesktopColorBits(void) { return DesktopBitsPerPixel(); }

BOOL SystemParametersInfoA(UINT action, UINT uiParam, void* pvParam, UINT winIni) {
    auto& sys = Windows();
    switch (action) {
    case SPI_GETSCREENSAVEACTIVE: {
        if (pvParam == nullptr) return FALSE;
        std::lock_guard<std::mutex> lock(sys.mutex);
        *static_cast<BOOL*>(pvParam) = sys.screenSaverInhibited ? FALSE : TRUE;
        return TRUE;
    }
    case SPI_SETSCREENSAVEACTIVE: {
        if (winIni != 0) return FALSE;  // the user's settings are not ours to change
        bool inhibit = uiParam == 0;
        {
            std::lock_guard<std::mutex> lock(sys.mutex);
            sys.screenSaverInhibited = inhibit;
        }
        RunOnSdlThread([inhibit] {
            if (inhibit) {
                SDL_DisableScreenSaver();
            } else {
                SDL_EnableScreenSaver();
            }
        });
        return TRUE;
    }
    default:
        return FALSE;
    }
}

HWND GetDesktopWindow(void) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010)); }
