// The toolbar: a "ToolbarWindow32" child of the main window with command buttons.
// See menu.h.
#include <cstring>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/menu.h"
#include "library/core/window_mode.h"
#include "library/graph/dib_graph.h"

enum { ToolbarCommandBase = 1280, ToolbarKindNeverMatched = 3 };

int SetToolbarBitmap(const char* fileName, int imageCount) {
    SystemState& s = SystemStateRecord;
    if (!s.settings.windowed) return 0;
    SystemMenuState& m = s.menu;
    if (m.toolbarExists) {
        for (int i = 0; i < m.toolbarButtonCount; ++i) SendMessageA(m.toolbar, TB_DELETEBUTTON, 0, 0);
    }
    m.toolbarButtonCount = 0;
    if (fileName != nullptr) {
        HBITMAP bitmap = CreateDIBGraphFromFile(fileName, 0, nullptr);
        if (bitmap == nullptr) return WriteLogText("ツールバーのボタン用のビットマップファイルの読み込みに失敗しました\n");
        if (m.toolbarExists) {
            TBREPLACEBITMAP replace = {nullptr, reinterpret_cast<UINT_PTR>(m.toolbarBitmap), nullptr,
                                       reinterpret_cast<UINT_PTR>(bitmap), imageCount};
            SendMessageA(m.toolbar, TB_REPLACEBITMAP, 0, reinterpret_cast<LPARAM>(&replace));
            DeleteDIBGraph(m.toolbarBitmap);
        } else {
            InitCommonControls();
            m.toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                        s.window.mainWindow, nullptr, s.window.instance, nullptr);
            if (m.toolbar == nullptr) {
                DeleteDIBGraph(bitmap);
                return WriteLogText("ツールバーウインドウの作成に失敗しました\n");
            }
            SendMessageA(m.toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
            TBADDBITMAP add = {nullptr, reinterpret_cast<UINT_PTR>(bitmap)};
            SendMessageA(m.toolbar, TB_ADDBITMAP, static_cast<WPARAM>(imageCount), reinterpret_cast<LPARAM>(&add));
            m.toolbarExists = 1;
        }
        m.toolbarBitmap = bitmap;
        int width = 0;
        int height = 0;
        GetDIBGraphInfo(bitmap, &width, &height, nullptr, nullptr, nullptr);
        int cell = imageCount > 0 ? width / imageCount : width;
        SendMessageA(m.toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(cell, height));
        SetWindowStyleIndex(6);
    } else if (m.toolbarExists || m.toolbar != nullptr) {
        DestroyWindow(m.toolbar);
        DeleteDIBGraph(m.toolbarBitmap);
        m.toolbar = nullptr;
        m.toolbarBitmap = nullptr;
        m.toolbarExists = 0;
    }
    FitWindowToClientSize();
    return 0;
}

int AddToolbarButton(int commandId, int kind, int imageIndex, int disabled) {
    SystemMenuState& m = SystemStateRecord.menu;
    if (!m.toolbarExists || m.toolbarButtonCount >= ToolbarButtonCapacity) return -1;
    TBBUTTON button = {};
    button.iBitmap = imageIndex;
    button.idCommand = commandId + ToolbarCommandBase;
    button.fsState = disabled ? 0 : TBSTATE_ENABLED;
    button.fsStyle = kind == ToolbarKindNeverMatched ? TBSTYLE_SEP : (kind == 1 ? TBSTYLE_CHECK : TBSTYLE_BUTTON);
    if (!SendMessageA(m.toolbar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button))) return -1;
    m.toolbarButtons[m.toolbarButtonCount++] = {commandId, kind, disabled != 0, 0};
    return 0;
}

int FindToolbarButton(int commandId) {
    const SystemMenuState& m = SystemStateRecord.menu;
    if (!m.toolbarExists) return -1;
    for (int i = 0; i < m.toolbarButtonCount; ++i) {
        if (m.toolbarButtons[i].kind != ToolbarKindNeverMatched && m.toolbarButtons[i].commandId == commandId) return i;
    }
    return -1;
}

int GetToolbarHeight(void) {
    const SystemMenuState& m = SystemStateRecord.menu;
    RECT rect;
    if (!m.toolbarExists || !GetWindowRect(m.toolbar, &rect)) return 0;
    return rect.bottom - rect.top;
}

int CheckToolbarButtonClicked(int commandId) {
    int index = FindToolbarButton(commandId);
    if (index < 0) return -1;
    ToolbarButtonRecord& button = SystemStateRecord.menu.toolbarButtons[index];
    int clicked = button.clicked;
    button.clicked = 0;
    return clicked;
}
