// The mouse cursor, the menu's automatic display in full screen, and dropped files.
// See menu.h.
#include "library/core/alloc.h"
#include "library/core/menu.h"
#include "library/display/screen_state.h"

enum { MenuAutoShowTopRows = 59 };

int ShowMouseCursor(int flag) {
    SystemState& s = SystemStateRecord;
    int visible = flag == 1 || ShouldShowMenuBar();
    if (visible != s.menu.cursorVisible) {
        if (visible) {
            while (ShowCursor(TRUE) < 0) {
            }
        } else {
            while (ShowCursor(FALSE) >= 0) {
            }
        }
        if (s.window.mainWindow != nullptr) PostMessageA(s.window.mainWindow, WM_SETCURSOR, 0, 0);
        s.menu.cursorVisible = visible;
    }
    return 0;
}

int GetMousePosition(int* x, int* y) {
    const SystemState& s = SystemStateRecord;
    POINT p;
    GetCursorPos(&p);
    if (s.settings.windowed) {
        double zoom = GetWindowZoomFactor();
        RECT client;
        GetWindowClientScreenRect(&client);  // already below the toolbar
        p.x = static_cast<LONG>((p.x - client.left) / zoom);
        p.y = static_cast<LONG>((p.y - client.top) / zoom);
    }
    if (x != nullptr) *x = p.x;
    if (y != nullptr) *y = p.y;
    return 0;
}

int UpdateMenuAutoShow(void) {
    SystemState& s = SystemStateRecord;
    if (s.settings.windowed) return 0;
    POINT p;
    GetCursorPos(&p);
    s.menu.mouseNearTop = p.y <= MenuAutoShowTopRows;
    SetScreenGdiCompatible(GetScreenGdiCompatible());
    ShowMouseCursor(s.settings.cursorShownSetting);
    ShowMenuBar(CheckMenuShown());
    return 0;
}

int FreeDroppedFileNames(void) {
    SystemMenuState& m = SystemStateRecord.menu;
    for (int i = 0; i < m.droppedFileCount && i < DroppedFileCapacity; ++i) {
        ZqFree(m.droppedFiles[i]);
        m.droppedFiles[i] = nullptr;
    }
    m.droppedFileCount = 0;
    return 0;
}
