// window_core.cpp - window classes and windows: creation, destruction, geometry,
// styles, visibility, title and activation.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/window/window_internal.h"

WindowSystem& Windows() {
    static WindowSystem* system = new WindowSystem();  // lives until the process ends
    return *system;
}

std::string UpperClassName(const char* name) {
    std::string upper = name != nullptr ? name : "";
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

WindowRecord* FindWindowRecord(HWND window) {
    auto& windows = Windows().windows;
    auto it = windows.find(window);
    return it != windows.end() ? it->second.get() : nullptr;
}

// Screen position of a window's client origin (children are placed in their parent's client area).
static POINT ClientOriginLocked(const WindowRecord* rec) {
    POINT origin = {rec->rect.left, rec->rect.top};
    if (rec->parent != nullptr) {
        if (const WindowRecord* parent = FindWindowRecord(rec->parent)) {
            POINT p = ClientOriginLocked(parent);
            origin.x += p.x;
            origin.y += p.y;
        }
    }
    return origin;
}

LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return 0;
        proc = rec->proc;
    }
    return proc != nullptr ? proc(window, message, wParam, lParam) : 0;
}

// ---- Classes --------------------------------------------------------------------------

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc == nullptr || wc->lpfnWndProc == nullptr || wc->lpszClassName == nullptr ||
        IS_INTRESOURCE(wc->lpszClassName) || wc->lpszClassName[0] == '\0') {
        return 0;
    }
    auto& sys = Windows();
    std::lock_guard<std::mutex> lock(sys.mutex);
    std::string key = UpperClassName(wc->lpszClassName);
    if (sys.classes.count(key) != 0) return 0;
    WindowClassRecord& cls = sys.classes[key];
    cls.name = wc->lpszClassName;
    cls.style = wc->style;
    cls.proc = wc->lpfnWndProc;
    cls.instance = wc->hInstance;
    cls.icon = wc->hIcon;
    cls.cursor = wc->hCursor;
    ATOM atom = sys.nextAtom;
    sys.nextAtom = atom == 0xFFFF ? 0xC000 : static_cast<ATOM>(atom + 1);
    return atom;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
    auto& sys = Windows();
    std::lock_guard<std::mutex> lock(sys.mutex);
    std::string key = UpperClassName(className);
    if (sys.classes.count(key) == 0) return FALSE;
    for (auto& entry : sys.windows) {
        if (UpperClassName(entry.second->className.c_str()) == key) return FALSE;  // still in use
    }
    sys.classes.erase(key);
    return TRUE;
}

// Handles of another process's windows: the value below every layer handle.
static HWND const kForeignWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x8000));

HWND FindWindowA(const char* className, const char* windowName) {
    std::string key = UpperClassName(className);
    {
        auto& sys = Windows();
        std::lock_guard<std::mutex> lock(sys.mutex);
        for (auto& entry : sys.windows) {
            const WindowRecord* rec = entry.second.get();
            if (rec->parent != nullptr) continue;
            if (className != nullptr && UpperClassName(rec->className.c_str()) != key) continue;
            if (windowName != nullptr && rec->title != windowName) continue;
            return rec->handle;
        }
    }
    if (className != nullptr && windowName == nullptr && IsClassLockedElsewhere(className)) {
        return kForeignWindow;
    }
    return nullptr;
}

BOOL IsForeignWindow(HWND window) { return window == kForeignWindow; }

// ---- Creation and destruction --------------------------------------------------------

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu, HINSTANCE,
                     void* param) {
    auto& sys = Windows();
    bool topLevel = parent == nullptr;
    if (topLevel && (style & WS_CHILD) != 0) return nullptr;  // a child window needs its parent
    if (topLevel && !EnsureSdlVideo()) return nullptr;
    HWND handle;
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        auto cls = sys.classes.find(UpperClassName(className));
        if (cls == sys.classes.end()) return nullptr;
        if (parent != nullptr && FindWindowRecord(parent) == nullptr) return nullptr;
        auto rec = std::make_unique<WindowRecord>();
        handle = reinterpret_cast<HWND>(sys.nextHandle);
        sys.nextHandle += 4;
        rec->handle = handle;
        rec->className = cls->second.name;
        rec->proc = cls->second.proc;
        rec->owner = std::this_thread::get_id();
        rec->parent = parent;
        rec->menu = topLevel ? menu : nullptr;
        rec->title = windowName != nullptr ? windowName : "";
        rec->style = style & ~WS_VISIBLE;
        rec->exStyle = exStyle;
        rec->topmost = (exStyle & WS_EX_TOPMOST) != 0;
        rec->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
        if (IsToolbarClass(UpperClassName(className))) rec->toolbar = NewToolbarState();
        sys.windows[handle] = std::move(rec);
    }
    if (topLevel) {
        int fd = TakeInstanceLock(className);
        std::lock_guard<std::mutex> lock(sys.mutex);
        FindWindowRecord(handle)->instanceLockFd = fd;
    }
    if (CallWindowProcedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(param)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (topLevel) {
        RunOnSdlThread([handle] { CreateSdlWindow(handle); });
        bool failed = false;
        if (OnSdlThread()) {
            std::lock_guard<std::mutex> lock(sys.mutex);
            failed = FindWindowRecord(handle) != nullptr && FindWindowRecord(handle)->sdl == nullptr;
        }
        if (failed) {  // the video driver refused the window
            DestroyWindow(handle);
            return nullptr;
        }
    }
    RECT rect;
    GetClientRect(handle, &rect);
    POINT origin = {0, 0};
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        if (WindowRecord* rec = FindWindowRecord(handle)) origin = {rec->rect.left, rec->rect.top};
    }
    SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect.right, rect.bottom));
    SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    if ((style & WS_VISIBLE) != 0 && IsWindow(handle)) ShowWindow(handle, SW_SHOW);
    return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
    auto& sys = Windows();
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr || rec->owner != std::this_thread::get_id()) return FALSE;
        for (auto& entry : sys.windows) {
            if (entry.second->parent == window) children.push_back(entry.first);
        }
        if (sys.activeWindow == window) sys.activeWindow = nullptr;
    }
    for (HWND child : children) DestroyWindow(child);
    CallWindowProcedure(window, WM_DESTROY, 0, 0);

    std::unique_ptr<WindowRecord> rec;
    {
        std::lock_guard<std::mutex> lock(sys.mutex);
        auto it = sys.windows.find(window);
        if (it == sys.windows.end()) return TRUE;  // destroyed from inside its WM_DESTROY
        rec = std::move(it->second);
        sys.windows.erase(it);
        PurgeWindowLocked(window);
        if (sys.activeWindow == window) sys.activeWindow = nullptr;
    }
    ReleaseInstanceLock(rec->instanceLockFd);
    DeleteRegionData(rec->region);
    DestroyToolbarState(rec->toolbar);
    if (SDL_Window* sdl = rec->sdl) {
        RunOnSdlThread([sdl] { DestroySdlWindow(sdl); });
    }
    if (rec->parent == nullptr && OnSdlThread()) ReleaseSdlVideoIfUnused();
    return TRUE;
}

BOOL IsWindow(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    return FindWindowRecord(window) != nullptr;
}

HWND GetParent(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    return rec != nullptr ? rec->parent : nullptr;
}

// ---- Activation ------------------------------------------------------------------------

static void Deliver(HWND window, bool send, UINT message, WPARAM wParam, LPARAM lParam) {
    if (send) {
        SendMessageA(window, message, wParam, lParam);
    } else {
        PostMessageA(window, message, wParam, lParam);
    }
}

void ActivateWindowFrom(HWND window, bool send) {
    HWND previous;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr || rec->parent != nullptr || Windows().activeWindow == window) return;
        previous = Windows().activeWindow;
        Windows().activeWindow = window;
    }
    if (previous != nullptr) {
        Deliver(previous, send, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
    } else {
        Deliver(window, send, WM_ACTIVATEAPP, TRUE, 0);
    }
    Deliver(window, send, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

void DeactivateWindow(HWND window, bool send, bool minimized) {
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        if (Windows().activeWindow != window || window == nullptr) return;
        Windows().activeWindow = nullptr;
    }
    Deliver(window, send, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, minimized ? 1 : 0), 0);
    Deliver(window, send, WM_ACTIVATEAPP, FALSE, 0);
}

static bool OwnedByCaller(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    return rec != nullptr && rec->owner == std::this_thread::get_id();
}

HWND SetActiveWindow(HWND window) {
    HWND previous = GetActiveWindow();
    if (!IsWindow(window)) return nullptr;
    ActivateWindowFrom(window, OwnedByCaller(window));
    RunOnSdlThread([window] {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec != nullptr && rec->sdl != nullptr && rec->visible) SDL_RaiseWindow(rec->sdl);
    });
    return previous;
}

BOOL SetForegroundWindow(HWND window) { return IsWindow(window) && (SetActiveWindow(window), TRUE); }
BOOL BringWindowToTop(HWND window) { return SetForegroundWindow(window); }

HWND GetActiveWindow(void) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    return Windows().activeWindow;
}
HWND GetForegroundWindow(void) { return GetActiveWindow(); }

// ---- Visibility ----------------------------------------------------------------------

BOOL ShowWindow(HWND window, int command) {
    bool wasVisible;
    bool activate = false;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return FALSE;
        wasVisible = rec->visible;
        switch (command) {
        case SW_HIDE:
            rec->visible = false;
            break;
        case SW_MINIMIZE:
            rec->visible = true;
            rec->minimized = true;
            break;
        default:  // SW_SHOW, SW_SHOWNORMAL, SW_RESTORE
            rec->visible = true;
            rec->minimized = false;
            rec->invalid = true;
            rec->invalidRect = {0, 0, rec->rect.right - rec->rect.left, rec->rect.bottom - rec->rect.top};
            activate = rec->parent == nullptr;
            break;
        }
    }
    RunOnSdlThread([window] { ApplySdlVisibility(window); });
    if (activate) ActivateWindowFrom(window, OwnedByCaller(window));
    return wasVisible ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr) return FALSE;
    RECT area = {0, 0, rec->rect.right - rec->rect.left, rec->rect.bottom - rec->rect.top};
    if (rect != nullptr) area = *rect;
    if (rec->invalid) {
        rec->invalidRect.left = std::min(rec->invalidRect.left, area.left);
        rec->invalidRect.top = std::min(rec->invalidRect.top, area.top);
        rec->invalidRect.right = std::max(rec->invalidRect.right, area.right);
        rec->invalidRect.bottom = std::max(rec->invalidRect.bottom, area.bottom);
    } else {
        rec->invalidRect = area;
    }
    rec->invalid = true;
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    bool paint;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return FALSE;
        paint = rec->invalid && rec->visible;
    }
    if (paint) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (paint != nullptr) *paint = PAINTSTRUCT{};
    if (rec == nullptr) return nullptr;
    if (paint != nullptr) paint->rcPaint = rec->invalid ? rec->invalidRect : RECT{};
    rec->invalid = false;
    return nullptr;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) { return IsWindow(window); }

// ---- Title, styles, IME ----------------------------------------------------------------

BOOL SetWindowTextA(HWND window, const char* text) {
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return FALSE;
        rec->title = text != nullptr ? text : "";
    }
    RunOnSdlThread([window] { ApplySdlTitle(window); });
    return TRUE;
}

int GetWindowTextA(HWND window, char* text, int size) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (text == nullptr || size <= 0) return 0;
    text[0] = '\0';
    if (rec == nullptr) return 0;
    size_t n = std::min(rec->title.size(), static_cast<size_t>(size - 1));
    std::memcpy(text, rec->title.data(), n);
    text[n] = '\0';
    return static_cast<int>(n);
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
    LONG previous;
    bool show = false;
    bool hide = false;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return 0;
        if (index == GWL_STYLE) {
            previous = static_cast<LONG>(rec->style | (rec->visible ? WS_VISIBLE : 0));
            DWORD style = static_cast<DWORD>(value);
            rec->style = style & ~WS_VISIBLE;
            show = (style & WS_VISIBLE) != 0 && !rec->visible;
            hide = (style & WS_VISIBLE) == 0 && rec->visible;
        } else if (index == GWL_EXSTYLE) {
            previous = static_cast<LONG>(rec->exStyle);
            rec->exStyle = static_cast<DWORD>(value);
        } else {
            return 0;
        }
    }
    RunOnSdlThread([window] { ApplySdlGeometry(window); });
    if (show) ShowWindow(window, SW_SHOW);
    if (hide) ShowWindow(window, SW_HIDE);
    return previous;
}

LONG GetWindowLongA(HWND window, int index) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr) return 0;
    if (index == GWL_STYLE) return static_cast<LONG>(rec->style | (rec->visible ? WS_VISIBLE : 0));
    if (index == GWL_EXSTYLE) return static_cast<LONG>(rec->exStyle);
    return 0;
}

BOOL WINNLSEnableIME(HWND window, BOOL enable) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr) return FALSE;
    BOOL previous = rec->imeEnabled ? TRUE : FALSE;
    rec->imeEnabled = enable != FALSE;
    return previous;
}

bool WindowImeEnabled(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    return rec != nullptr && rec->imeEnabled;
}

// ---- Geometry ------------------------------------------------------------------------

BOOL GetClientRect(HWND window, RECT* rect) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rect == nullptr) return FALSE;
    *rect = {0, 0, rec->rect.right - rec->rect.left, rec->rect.bottom - rec->rect.top};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rect == nullptr) return FALSE;
    POINT origin = ClientOriginLocked(rec);
    *rect = {origin.x, origin.y, origin.x + rec->rect.right - rec->rect.left,
             origin.y + rec->rect.bottom - rec->rect.top};
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || point == nullptr) return FALSE;
    POINT origin = ClientOriginLocked(rec);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) { return rect != nullptr; }

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    bool moved = false;
    bool sized = false;
    RECT client = {};
    POINT origin = {};
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr) return FALSE;
        RECT r = rec->rect;
        if ((flags & SWP_NOMOVE) == 0) {
            moved = x != r.left || y != r.top;
            r = {x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
        }
        if ((flags & SWP_NOSIZE) == 0) {
            width = std::max(width, 0);
            height = std::max(height, 0);
            sized = width != r.right - r.left || height != r.bottom - r.top;
            r.right = r.left + width;
            r.bottom = r.top + height;
        }
        rec->rect = r;
        if ((flags & SWP_NOZORDER) == 0) {
            if (insertAfter == HWND_TOPMOST) rec->topmost = true;
            if (insertAfter == HWND_NOTOPMOST) rec->topmost = false;
        }
        if (sized && (flags & SWP_NOREDRAW) == 0) {
            rec->invalid = true;
            rec->invalidRect = {0, 0, r.right - r.left, r.bottom - r.top};
        }
        client = {0, 0, r.right - r.left, r.bottom - r.top};
        origin = {r.left, r.top};
    }
    RunOnSdlThread([window] { ApplySdlGeometry(window); });
    if (moved) SendMessageA(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    if (sized) SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    if ((flags & SWP_SHOWWINDOW) != 0) ShowWindow(window, SW_SHOW);
    if ((flags & SWP_HIDEWINDOW) != 0) ShowWindow(window, SW_HIDE);
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}
