// menu.h - the main window's menu bar, toolbar, window region and mouse cursor.
//
// The library keeps a table of the menu's items (up to 128) so a chosen command can
// be reported by name; chosen items are recorded for the caller (and passed to the
// menu callback when one is set). Toolbar buttons carry command ids; a click marks
// the button as clicked until the caller reads it. In full screen the menu bar is
// attached only while the mouse is near the top of the screen (y <= 59).
//
// On this platform no menu bar or toolbar is drawn: the window layer keeps them as
// records and delivers the commands a user would choose (see platform/window/window_menu.h).
#pragma once

#include "library/core/system_state.h"
#include "platform/window/window_menu.h"

// Menus.
int SetMenuInUse(int flag);  // -1 when the menu cannot be created
int ShowMenuBar(int flag);
int ShouldShowMenuBar(void);
int CheckMenuShown(void);
int CheckMenuInUse(void);
int RecordMenuItems(HMENU menu);  // -1 when an item cannot be read or the table is full
int GetMenuItemInfoRecord(HMENU menu, int position, MENUITEMINFOA* info, char name[MenuItemNameCapacity]);
MenuItemRecord* FindMenuItemRecord(const char* name, int id);
int GetMenuItemNameById(int id, char name[MenuItemNameCapacity]);
int AddMenuItemRecord(HMENU menu, int position, int id, const char* name);
int RemoveMenuItemRecord(const char* name, int id);
int GetFreeMenuItemId(void);
HMENU GetOrCreateSubMenu(const char* name, int id);
int FindMenuItemInTree(const char* name, int id, HMENU menu, HMENU* menuOut, int* positionOut);
// A menu command from the window procedure: recorded and passed to the callback.
int RecordChosenMenuItem(int id);
// The oldest chosen command id not read yet, or -1.
int TakeChosenMenuItem(void);

// Toolbar (window mode only).
int SetToolbarBitmap(const char* fileName, int imageCount);
int AddToolbarButton(int commandId, int kind, int imageIndex, int disabled);
int FindToolbarButton(int commandId);
int GetToolbarHeight(void);
// 1 when the button was clicked since the last call (which clears the mark), 0 if
// not, -1 for an unknown button.
int CheckToolbarButtonClicked(int commandId);

// Window region.
int SetWindowRegionFromBitmap(const char* fileName);
// A region covering the pixels that are not zero, one rectangle per run of a row;
// bytesPerPixel 1-4 (3: the low 16 bits and the third byte both zero count as empty).
HRGN BuildRegionFromPixels(int width, int height, const void* pixels, int pitch, int bytesPerPixel);

// Cursor, mouse and dropped files.
int ShowMouseCursor(int flag);
int GetMousePosition(int* x, int* y);
int UpdateMenuAutoShow(void);
int FreeDroppedFileNames(void);
