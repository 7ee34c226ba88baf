// window_menu.h - menus and the toolbar control of the window group.
//
// SDL has no menu bars or toolbars: the layer keeps menus and toolbars as records
// (items, ids, states, buttons), attaches a menu to a window, and delivers the
// commands a user would choose as WM_COMMAND. Nothing of them is drawn; the
// window seams let tests choose menu items and click toolbar buttons.
#pragma once

#include "platform/window/window.h"

// ---- Menus ---------------------------------------------------------------------------------
#define MIIM_STATE 0x0001
#define MIIM_ID 0x0002
#define MIIM_SUBMENU 0x0004
#define MIIM_TYPE 0x0010
#define MIIM_DATA 0x0020
#define MIIM_STRING 0x0040
#define MIIM_FTYPE 0x0100
#define MFT_STRING 0x0000
#define MFT_SEPARATOR 0x0800
#define MFS_ENABLED 0x0000
#define MFS_GRAYED 0x0003
#define MFS_DISABLED 0x0003
#define MFS_CHECKED 0x0008
#define MF_BYCOMMAND 0x0000
#define MF_BYPOSITION 0x0400
#define MF_STRING 0x0000
#define MF_GRAYED 0x0001
#define MF_DISABLED 0x0002
#define MF_POPUP 0x0010
#define MF_SEPARATOR 0x0800

struct MENUITEMINFOA {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    char* dwTypeData;
    UINT cch;
    HBITMAP hbmpItem;
};

HMENU CreateMenu(void);
HMENU CreatePopupMenu(void);
BOOL DestroyMenu(HMENU menu);  // with its submenus
BOOL SetMenu(HWND window, HMENU menu);
HMENU GetMenu(HWND window);
BOOL DrawMenuBar(HWND window);
int GetMenuItemCount(HMENU menu);  // -1 for an unknown menu
HMENU GetSubMenu(HMENU menu, int position);
// item is a position (byPosition TRUE) or a command id searched through the submenus.
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info);
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info);
BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info);
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrSubMenu, const char* text);
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);  // destroys a submenu it removes
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);  // keeps it

// ---- The toolbar control ("ToolbarWindow32") ---------------------------------------------
// Registers the toolbar window class; CreateWindowExA of "ToolbarWindow32" fails before.
void InitCommonControls(void);

#define TOOLBARCLASSNAMEA "ToolbarWindow32"
#define TB_SETSTATE (WM_USER + 17)
#define TB_GETSTATE (WM_USER + 18)
#define TB_ADDBITMAP (WM_USER + 19)
#define TB_ADDBUTTONSA (WM_USER + 20)
#define TB_DELETEBUTTON (WM_USER + 22)
#define TB_BUTTONCOUNT (WM_USER + 24)
#define TB_BUTTONSTRUCTSIZE (WM_USER + 30)
#define TB_SETBITMAPSIZE (WM_USER + 32)
#define TB_AUTOSIZE (WM_USER + 33)
#define TB_REPLACEBITMAP (WM_USER + 46)
#define TBSTATE_CHECKED 0x01
#define TBSTATE_PRESSED 0x02
#define TBSTATE_ENABLED 0x04
#define TBSTYLE_BUTTON 0x00
#define TBSTYLE_SEP 0x01
#define TBSTYLE_CHECK 0x02

struct TBBUTTON {
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    BYTE bReserved[6];
    ULONG_PTR dwData;
    intptr_t iString;
};

struct TBADDBITMAP {
    HINSTANCE hInst;
    UINT_PTR nID;  // the bitmap handle when hInst is NULL
};

struct TBREPLACEBITMAP {
    HINSTANCE hInstOld;
    UINT_PTR nIDOld;
    HINSTANCE hInstNew;
    UINT_PTR nIDNew;
    int nButtons;
};
