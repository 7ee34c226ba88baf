// Window mode, title, icon and style. See window_mode.h.
#include "library/core/window_mode.h"

#include "library/core/log.h"
#include "library/core/menu.h"
#include "library/core/message_pump.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"
#include "platform/kernel/clock.h"
#include "platform/window/window.h"

static const WindowStyles StyleTable[7] = {
    {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_SYSMENU, WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_SYSMENU, 0, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_TOOLWINDOW, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_SYSMENU, WS_EX_TOOLWINDOW, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_WINDOWEDGE, 0, 0},
    {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0},
};

const WindowStyles& GetWindowStyles(int index) { return StyleTable[index >= 0 && index < 7 ? index : 0]; }

int SetWindowedFlag(int windowed) {
    SystemState& s = SystemStateRecord;
    s.settings.windowed = windowed;
    WriteLogText(windowed ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    if (s.settings.menuInUse && s.window.mainWindow != nullptr) {
        SetMenu(s.window.mainWindow, windowed ? s.settings.menu : nullptr);
    }
    return 0;
}

int ChangeWindowModeCore(int windowed) {
    SystemState& s = SystemStateRecord;
    WriteLogText("ChangeWindowMode実行 \n");
    if (windowed == s.settings.windowed) return 0;
    s.mode.stylesApplied = 1;
    SetWindowedFlag(windowed);
    if (s.window.mainWindow == nullptr) return 0;
    s.mode.modeChangeRunning = 1;
    s.mode.displayChangeSeen = 0;
    ApplyWindowStyleForMode();
    int result = ChangeScreenMode(-1, -1, -1, 1, -1);
    // The display reports the new mode with WM_DISPLAYCHANGE; a display that reports
    // nothing (the mode did not change) must not hold the program forever.
    DWORD start = timeGetTime();
    while (ProcessMessageCore() == 0 && !s.mode.displayChangeSeen) {
        if (timeGetTime() - start >= DisplayChangeWaitLimitMs) break;
    }
    s.mode.modeChangeRunning = 0;
    return result;
}

int ApplyWindowStyleForMode(void) {
    SystemState& s = SystemStateRecord;
    HWND window = s.window.mainWindow;
    if (window == nullptr) return 0;
    const WindowStyles& styles = GetWindowStyles(s.settings.styleIndex);
    int width, height;
    GetScreenPixelSize(&width, &height);
    if (s.settings.windowed) {
        WriteLogText("ウインドウスタイルをウインドウモード用に変更します... ");
        unsigned style = styles.windowStyle | (s.mode.stylesApplied ? WS_VISIBLE : 0);
        SetWindowLongA(window, GWL_EXSTYLE, static_cast<LONG>(styles.windowExStyle));
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style));
        double zoom = GetWindowZoomFactor();
        RECT rect = {0, 0, static_cast<LONG>(width * zoom), static_cast<LONG>(height * zoom) + GetToolbarHeight()};
        AdjustWindowRectEx(&rect, style, s.menu.menuAttached, styles.windowExStyle);
        int outerWidth = rect.right - rect.left;
        int outerHeight = rect.bottom - rect.top;
        int x = (s.window.desktopWidth - outerWidth) / 2;
        int y = (s.window.desktopHeight - outerHeight) / 2;
        SetWindowPos(window, HWND_NOTOPMOST, x, y, outerWidth, outerHeight, 0);
        // Keep the whole client area on the desktop.
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        if (origin.x < 0 || origin.y < 0) {
            x -= origin.x < 0 ? origin.x : 0;
            y -= origin.y < 0 ? origin.y : 0;
            SetWindowPos(window, HWND_NOTOPMOST, x, y, outerWidth, outerHeight, 0);
        }
        ShowMouseCursor(1);
    } else {
        WriteLogText("ウインドウスタイルをフルスクリーンモード用に変更します... ");
        SetWindowLongA(window, GWL_EXSTYLE, static_cast<LONG>(styles.fullScreenExStyle));
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(styles.fullScreenStyle));
        s.window.clientRect = {0, 0, width, height};
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
        SetWindowPos(window, HWND_TOPMOST, 0, 0, width, height, SWP_NOREDRAW);
        ShowMouseCursor(0);
    }
    WriteLogText("完了\n");
    SetActiveWindow(window);
    PostMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), HTCLIENT);
    return 0;
}

int SetWindowTitleTextCore(const char* text) {
    SystemState& s = SystemStateRecord;
    if (text == nullptr) text = "";
    if (s.window.mainWindow != nullptr) SetWindowTextA(s.window.mainWindow, text);
    CopyTextBounded(s.settings.caption, sizeof s.settings.caption, text);
    return 0;
}

int SetWindowIconResourceCore(int iconId) {
    SystemState& s = SystemStateRecord;
    s.settings.iconId = iconId;
    if (s.window.mainWindow != nullptr) {
        HICON icon = LoadIconA(s.window.instance, iconId != 0 ? MAKEINTRESOURCEA(iconId) : IDI_APPLICATION);
        SetClassLongPtrA(s.window.mainWindow, GCL_HICON, reinterpret_cast<LONG_PTR>(icon));
    }
    return 0;
}

int SetWindowStyleIndex(int index) {
    SystemState& s = SystemStateRecord;
    if (index < 0 || index > 6) return -1;
    s.settings.styleIndex = index;
    if (s.settings.windowed) ApplyWindowStyleForMode();
    if (s.window.mainWindow != nullptr) UpdateWindow(s.window.mainWindow);
    return 0;
}
