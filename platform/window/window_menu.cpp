// window_menu.cpp - menus as records: items with ids, states, texts and submenus.
#include <algorithm>
#include <cstring>

#include "platform/window/window_internal.h"
#include "platform/window/window_menu.h"

namespace {

struct MenuItem {
    UINT type = MFT_STRING;
    UINT state = MFS_ENABLED;
    UINT id = 0;
    HMENU subMenu = nullptr;
    ULONG_PTR data = 0;
    std::string text;
};

struct MenuRecord {
    std::vector<MenuItem> items;
};

std::map<HMENU, MenuRecord>& Menus() {
    static auto* menus = new std::map<HMENU, MenuRecord>();  // guarded by the window mutex
    return *menus;
}

uintptr_t nextMenu = 0x20000;

MenuRecord* FindMenuLocked(HMENU menu) {
    auto it = Menus().find(menu);
    return it != Menus().end() ? &it->second : nullptr;
}

// The item at a position, or the item with the command id in the menu or its submenus.
MenuItem* FindItemLocked(HMENU menu, UINT item, bool byPosition, HMENU* owner = nullptr, size_t* index = nullptr) {
    MenuRecord* rec = FindMenuLocked(menu);
    if (rec == nullptr) return nullptr;
    if (byPosition) {
        if (item >= rec->items.size()) return nullptr;
        if (owner != nullptr) *owner = menu;
        if (index != nullptr) *index = item;
        return &rec->items[item];
    }
    for (size_t i = 0; i < rec->items.size(); ++i) {
        MenuItem& entry = rec->items[i];
        if (entry.subMenu == nullptr && entry.type != MFT_SEPARATOR && entry.id == item) {
            if (owner != nullptr) *owner = menu;
            if (index != nullptr) *index = i;
            return &entry;
        }
        if (entry.subMenu != nullptr) {
            if (MenuItem* found = FindItemLocked(entry.subMenu, item, false, owner, index)) return found;
        }
    }
    return nullptr;
}

void DestroyMenuLocked(HMENU menu) {
    MenuRecord* rec = FindMenuLocked(menu);
    if (rec == nullptr) return;
    std::vector<HMENU> subMenus;
    for (const MenuItem& item : rec->items) {
        if (item.subMenu != nullptr) subMenus.push_back(item.subMenu);
    }
    Menus().erase(menu);
    for (HMENU sub : subMenus) DestroyMenuLocked(sub);
}

void ApplyInfo(MenuItem& item, const MENUITEMINFOA& info) {
    if (info.fMask & MIIM_STATE) item.state = info.fState;
    if (info.fMask & MIIM_ID) item.id = info.wID;
    if (info.fMask & MIIM_SUBMENU) item.subMenu = info.hSubMenu;
    if (info.fMask & (MIIM_TYPE | MIIM_FTYPE)) item.type = info.fType & MFT_SEPARATOR;
    if (info.fMask & MIIM_DATA) item.data = info.dwItemData;
    if ((info.fMask & (MIIM_TYPE | MIIM_STRING)) != 0 && item.type != MFT_SEPARATOR) {
        item.text = info.dwTypeData != nullptr ? info.dwTypeData : "";
    }
}

}  // namespace

HMENU CreateMenu(void) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    HMENU menu = reinterpret_cast<HMENU>(nextMenu);
    nextMenu += 4;
    Menus()[menu];
    return menu;
}

HMENU CreatePopupMenu(void) { return CreateMenu(); }

BOOL DestroyMenu(HMENU menu) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    if (FindMenuLocked(menu) == nullptr) return FALSE;
    DestroyMenuLocked(menu);
    for (auto& entry : Windows().windows) {
        if (entry.second->menu == menu) entry.second->menu = nullptr;
    }
    return TRUE;
}

BOOL SetMenu(HWND window, HMENU menu) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rec->parent != nullptr || (menu != nullptr && FindMenuLocked(menu) == nullptr)) {
        return FALSE;
    }
    rec->menu = menu;
    return TRUE;
}

HMENU GetMenu(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    return rec != nullptr ? rec->menu : nullptr;
}

BOOL DrawMenuBar(HWND window) { return IsWindow(window); }

int GetMenuItemCount(HMENU menu) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    MenuRecord* rec = FindMenuLocked(menu);
    return rec != nullptr ? static_cast<int>(rec->items.size()) : -1;
}

HMENU GetSubMenu(HMENU menu, int position) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    MenuItem* item = position >= 0 ? FindItemLocked(menu, static_cast<UINT>(position), true) : nullptr;
    return item != nullptr ? item->subMenu : nullptr;
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info) {
    if (info == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(Windows().mutex);
    MenuItem* entry = FindItemLocked(menu, item, byPosition != FALSE);
    if (entry == nullptr) return FALSE;
    if (info->fMask & MIIM_STATE) info->fState = entry->state;
    if (info->fMask & MIIM_ID) info->wID = entry->id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = entry->subMenu;
    if (info->fMask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = entry->type;
    if (info->fMask & MIIM_DATA) info->dwItemData = entry->data;
    if (info->fMask & (MIIM_TYPE | MIIM_STRING)) {
        if (info->dwTypeData == nullptr || info->cch == 0) {
            info->cch = static_cast<UINT>(entry->text.size());
        } else {
            size_t n = std::min(entry->text.size(), static_cast<size_t>(info->cch - 1));
            std::memcpy(info->dwTypeData, entry->text.data(), n);
            info->dwTypeData[n] = '\0';
            info->cch = static_cast<UINT>(n);
        }
    }
    return TRUE;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info) {
    if (info == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(Windows().mutex);
    MenuItem* entry = FindItemLocked(menu, item, byPosition != FALSE);
    if (entry == nullptr) return FALSE;
    if ((info->fMask & MIIM_SUBMENU) != 0 && info->hSubMenu != nullptr && FindMenuLocked(info->hSubMenu) == nullptr) {
        return FALSE;
    }
    ApplyInfo(*entry, *info);
    return TRUE;
}

BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info) {
    if (info == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(Windows().mutex);
    MenuRecord* rec = FindMenuLocked(menu);
    if (rec == nullptr) return FALSE;
    size_t position = rec->items.size();
    if (byPosition) {
        position = std::min(static_cast<size_t>(item), rec->items.size());
    } else {
        HMENU owner = nullptr;
        size_t index = 0;
        if (FindItemLocked(menu, item, false, &owner, &index) != nullptr) {
            rec = FindMenuLocked(owner);
            position = index;
        }
    }
    MenuItem entry;
    ApplyInfo(entry, *info);
    rec->items.insert(rec->items.begin() + static_cast<std::ptrdiff_t>(position), entry);
    return TRUE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrSubMenu, const char* text) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
    info.fType = (flags & MF_SEPARATOR) != 0 ? MFT_SEPARATOR : MFT_STRING;
    info.fState = (flags & (MF_GRAYED | MF_DISABLED)) != 0 ? MFS_DISABLED : MFS_ENABLED;
    if (flags & MF_POPUP) {
        info.hSubMenu = reinterpret_cast<HMENU>(idOrSubMenu);
    } else {
        info.wID = static_cast<UINT>(idOrSubMenu);
    }
    info.dwTypeData = const_cast<char*>(text);
    return InsertMenuItemA(menu, static_cast<UINT>(-1), TRUE, &info);
}

static BOOL TakeOutItem(HMENU menu, UINT item, UINT flags, bool destroy) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    HMENU owner = nullptr;
    size_t index = 0;
    if (FindItemLocked(menu, item, (flags & MF_BYPOSITION) != 0, &owner, &index) == nullptr) return FALSE;
    MenuRecord* rec = FindMenuLocked(owner);
    HMENU sub = rec->items[index].subMenu;
    rec->items.erase(rec->items.begin() + static_cast<std::ptrdiff_t>(index));
    if (destroy && sub != nullptr) DestroyMenuLocked(sub);
    return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) { return TakeOutItem(menu, item, flags, true); }
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags) { return TakeOutItem(menu, item, flags, false); }

// For the window seams: a user choosing the enabled item with this id from the window's menu.
bool ChooseMenuItem(HWND window, UINT id) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rec->menu == nullptr) return false;
    MenuItem* item = FindItemLocked(rec->menu, id, false);
    if (item == nullptr || (item->state & MFS_DISABLED) != 0) return false;
    return PostLocked(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}
