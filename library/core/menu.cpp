// The menu bar and its item table. See menu.h.
#include "library/core/menu.h"

#include <cstring>

#include "library/core/log.h"
#include "library/core/text.h"
#include "library/core/window_mode.h"

static SystemState& S() { return SystemStateRecord; }

int ShouldShowMenuBar(void) {
    const SystemState& s = S();
    return s.window.mainWindow != nullptr && s.settings.menuInUse && !s.settings.menuHidden &&
           (s.settings.alwaysShowMenu || s.settings.windowed || s.menu.mouseNearTop);
}

int CheckMenuShown(void) { return !S().settings.menuHidden; }
int CheckMenuInUse(void) { return S().settings.menuInUse; }

int ShowMenuBar(int flag) {
    SystemState& s = S();
    if (s.settings.menuInUse) s.settings.menuHidden = !flag;
    HWND window = s.window.mainWindow;
    if (window == nullptr) return 0;
    int show = ShouldShowMenuBar();
    if (show != s.menu.menuAttached) {
        SetMenu(window, show ? s.settings.menu : nullptr);
        if (s.settings.windowed) ApplyWindowStyleForMode();
        UpdateWindow(window);
        s.menu.menuAttached = show;
    }
    return 0;
}

int SetMenuInUse(int flag) {
    SystemState& s = S();
    flag = flag != 0;
    if (flag == s.settings.menuInUse) return 0;
    if (flag) {
        if (s.settings.menu == nullptr) {
            s.settings.menu = CreateMenu();
            if (s.settings.menu == nullptr) return -1;
        }
        s.settings.menuInUse = 1;
        s.menu.menuAttached = 0;
        ShowMenuBar(1);
    } else {
        ShowMenuBar(0);
        DestroyMenu(s.settings.menu);
        s.settings.menu = nullptr;
        s.settings.menuInUse = 0;
    }
    s.menu.itemCount = 0;
    return 0;
}

int GetMenuItemInfoRecord(HMENU menu, int position, MENUITEMINFOA* info, char name[MenuItemNameCapacity]) {
    std::memset(info, 0, sizeof *info);
    info->cbSize = sizeof *info;
    info->fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE;
    info->dwTypeData = name;
    info->cch = MenuItemNameCapacity;
    name[0] = '\0';
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, info)) return -1;
    return (info->fType & MFT_SEPARATOR) != 0 ? 1 : 0;
}

int AddMenuItemRecord(HMENU menu, int position, int id, const char* name) {
    SystemMenuState& m = S().menu;
    if (m.itemCount >= MenuItemCapacity) return -1;
    MenuItemRecord& record = m.items[m.itemCount++];
    record.menu = menu;
    record.position = static_cast<int16_t>(position);
    record.id = static_cast<int16_t>(id);
    CopyTextBounded(record.name, sizeof record.name, name != nullptr ? name : "");
    return 0;
}

// Appends the items of the menu and its submenus in order; stops at a full table.
int RecordMenuItems(HMENU menu) {
    int count = GetMenuItemCount(menu);
    if (count < 0) return -1;
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info;
        char name[MenuItemNameCapacity];
        int kind = GetMenuItemInfoRecord(menu, i, &info, name);
        if (kind < 0) return -1;
        if (kind == 1) continue;  // separator
        if (AddMenuItemRecord(menu, i, static_cast<int>(info.wID), name) != 0) return -1;
        if (info.hSubMenu != nullptr && RecordMenuItems(info.hSubMenu) != 0) return -1;
    }
    return 0;
}

MenuItemRecord* FindMenuItemRecord(const char* name, int id) {
    SystemMenuState& m = S().menu;
    for (int i = 0; i < m.itemCount; ++i) {
        MenuItemRecord& record = m.items[i];
        if (name != nullptr ? std::strcmp(record.name, name) == 0 : record.id == static_cast<int16_t>(id)) {
            return &record;
        }
    }
    return nullptr;
}

int GetMenuItemNameById(int id, char name[MenuItemNameCapacity]) {
    MenuItemRecord* record = FindMenuItemRecord(nullptr, id);
    if (record == nullptr) return -1;
    MENUITEMINFOA info;
    if (GetMenuItemInfoRecord(record->menu, record->position, &info, name) < 0) return -1;
    return 0;
}

int RemoveMenuItemRecord(const char* name, int id) {
    SystemMenuState& m = S().menu;
    MenuItemRecord* record = FindMenuItemRecord(name, id);
    if (record == nullptr) return -1;
    int index = static_cast<int>(record - m.items);
    std::memmove(&m.items[index], &m.items[index + 1], sizeof(MenuItemRecord) * static_cast<size_t>(m.itemCount - index - 1));
    --m.itemCount;
    return 0;
}

int GetFreeMenuItemId(void) {
    int id = S().menu.itemCount & 0xFFFF;
    for (int tries = 0; tries <= 0xFFFF; ++tries, id = (id + 1) & 0xFFFF) {
        if (FindMenuItemRecord(nullptr, id) == nullptr) return id;
    }
    return -1;
}

int FindMenuItemInTree(const char* name, int id, HMENU menu, HMENU* menuOut, int* positionOut) {
    int count = GetMenuItemCount(menu);
    if (count < 0) return -1;
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info;
        char itemName[MenuItemNameCapacity];
        int kind = GetMenuItemInfoRecord(menu, i, &info, itemName);
        if (kind < 0) return -1;
        if (kind == 1) continue;
        bool match = name != nullptr ? std::strcmp(itemName, name) == 0 : static_cast<int>(info.wID) == id;
        if (match) {
            if (menuOut != nullptr) *menuOut = menu;
            if (positionOut != nullptr) *positionOut = i;
            return 1;
        }
        if (info.hSubMenu != nullptr) {
            int found = FindMenuItemInTree(name, id, info.hSubMenu, menuOut, positionOut);
            if (found != 0) return found;
        }
    }
    return 0;
}

HMENU GetOrCreateSubMenu(const char* name, int id) {
    SystemState& s = S();
    HMENU menu = nullptr;
    int position = 0;
    if (s.settings.menu == nullptr || FindMenuItemInTree(name, id, s.settings.menu, &menu, &position) != 1) {
        return nullptr;
    }
    MENUITEMINFOA info;
    char itemName[MenuItemNameCapacity];
    if (GetMenuItemInfoRecord(menu, position, &info, itemName) < 0) return nullptr;
    if (info.hSubMenu != nullptr) return info.hSubMenu;
    HMENU sub = CreateMenu();
    if (sub == nullptr) return nullptr;
    MENUITEMINFOA change = {};
    change.cbSize = sizeof change;
    change.fMask = MIIM_SUBMENU;
    change.hSubMenu = sub;
    if (!SetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &change)) {
        DestroyMenu(sub);
        return nullptr;
    }
    if (s.window.mainWindow != nullptr && s.menu.menuAttached) DrawMenuBar(s.window.mainWindow);
    return sub;
}

int RecordChosenMenuItem(int id) {
    SystemState& s = S();
    SystemMenuState& m = s.menu;
    if (m.chosenMenuItemCount == ChosenMenuItemCapacity) {  // the oldest unread choice gives way
        std::memmove(&m.chosenMenuItems[0], &m.chosenMenuItems[1], sizeof(int32_t) * (ChosenMenuItemCapacity - 1));
        --m.chosenMenuItemCount;
    }
    m.chosenMenuItems[m.chosenMenuItemCount++] = id;
    if (s.settings.menuCallback != nullptr) {
        char name[MenuItemNameCapacity];
        if (GetMenuItemNameById(id, name) != 0) name[0] = '\0';
        s.settings.menuCallback(name, id);
    }
    return 0;
}

int TakeChosenMenuItem(void) {
    SystemMenuState& m = S().menu;
    if (m.chosenMenuItemCount == 0) return -1;
    int id = m.chosenMenuItems[0];
    std::memmove(&m.chosenMenuItems[0], &m.chosenMenuItems[1], sizeof(int32_t) * static_cast<size_t>(m.chosenMenuItemCount - 1));
    --m.chosenMenuItemCount;
    return id;
}
