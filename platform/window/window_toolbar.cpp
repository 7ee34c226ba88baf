// window_toolbar.cpp - the toolbar control as a record: bitmaps, buttons and their
// states, sized across the top of its parent's client area. Nothing is drawn.
#include <algorithm>

#include "platform/window/window_internal.h"
#include "platform/window/window_menu.h"

struct ToolbarState {
    size_t buttonStructSize = 0;
    int bitmapWidth = 16;  // the control's default button image size
    int bitmapHeight = 15;
    int imageCount = 0;
    std::vector<TBBUTTON> buttons;
};

ToolbarState* NewToolbarState(void) { return new ToolbarState(); }
void DestroyToolbarState(ToolbarState* toolbar) { delete toolbar; }

bool IsToolbarClass(const std::string& upperName) { return upperName == UpperClassName(TOOLBARCLASSNAMEA); }

void InitCommonControls(void) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ToolbarWindowProc;
    wc.lpszClassName = TOOLBARCLASSNAMEA;
    RegisterClassExA(&wc);  // already registered on a second call
}

// A button is the image plus 8 x 7 pixels of frame; the bar adds 2 pixels above and below.
static int ToolbarHeight(const ToolbarState& toolbar) { return toolbar.bitmapHeight + 7 + 4; }

static void FitToParent(HWND window) {
    HWND parent = GetParent(window);
    RECT client = {};
    int height = 0;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr || rec->toolbar == nullptr) return;
        height = ToolbarHeight(*rec->toolbar);
    }
    if (parent == nullptr || !GetClientRect(parent, &client)) return;
    SetWindowPos(window, nullptr, 0, 0, client.right, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

static int FindButtonLocked(const ToolbarState& toolbar, int id) {
    for (size_t i = 0; i < toolbar.buttons.size(); ++i) {
        if (toolbar.buttons[i].idCommand == id && (toolbar.buttons[i].fsStyle & TBSTYLE_SEP) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

LRESULT ToolbarWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
    case WM_SIZE:
    case TB_AUTOSIZE:
        if (message != WM_CREATE || GetParent(window) != nullptr) FitToParent(window);
        return message == WM_CREATE ? 0 : DefWindowProcA(window, message, wParam, lParam);
    default:
        break;
    }
    std::unique_lock<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rec->toolbar == nullptr) return 0;
    ToolbarState& toolbar = *rec->toolbar;
    switch (message) {
    case TB_BUTTONSTRUCTSIZE:
        toolbar.buttonStructSize = wParam;
        return 0;
    case TB_ADDBITMAP: {
        if (lParam == 0) return -1;
        int first = toolbar.imageCount;
        toolbar.imageCount += static_cast<int>(wParam);
        return first;
    }
    case TB_REPLACEBITMAP:
        return lParam != 0 ? TRUE : FALSE;
    case TB_ADDBUTTONSA: {
        if (toolbar.buttonStructSize != sizeof(TBBUTTON) || lParam == 0) return FALSE;
        auto* buttons = reinterpret_cast<const TBBUTTON*>(lParam);
        toolbar.buttons.insert(toolbar.buttons.end(), buttons, buttons + wParam);
        return TRUE;
    }
    case TB_DELETEBUTTON:
        if (wParam >= toolbar.buttons.size()) return FALSE;
        toolbar.buttons.erase(toolbar.buttons.begin() + static_cast<std::ptrdiff_t>(wParam));
        return TRUE;
    case TB_BUTTONCOUNT:
        return static_cast<LRESULT>(toolbar.buttons.size());
    case TB_SETBITMAPSIZE:
        toolbar.bitmapWidth = LOWORD(lParam);
        toolbar.bitmapHeight = HIWORD(lParam);
        lock.unlock();
        FitToParent(window);
        return TRUE;
    case TB_GETSTATE: {
        int index = FindButtonLocked(toolbar, static_cast<int>(wParam));
        return index < 0 ? -1 : toolbar.buttons[static_cast<size_t>(index)].fsState;
    }
    case TB_SETSTATE: {
        int index = FindButtonLocked(toolbar, static_cast<int>(wParam));
        if (index < 0) return FALSE;
        toolbar.buttons[static_cast<size_t>(index)].fsState = static_cast<BYTE>(LOWORD(lParam));
        return TRUE;
    }
    default:
        lock.unlock();
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// For the window seams: a user clicking the enabled button with this command id.
bool ClickToolbarButton(HWND toolbarWindow, int id) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(toolbarWindow);
    if (rec == nullptr || rec->toolbar == nullptr || rec->parent == nullptr) return false;
    int index = FindButtonLocked(*rec->toolbar, id);
    if (index < 0 || (rec->toolbar->buttons[static_cast<size_t>(index)].fsState & TBSTATE_ENABLED) == 0) return false;
    return PostLocked(rec->parent, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(toolbarWindow));
}
