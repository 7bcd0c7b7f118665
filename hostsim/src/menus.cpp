// Menus: the host's Plugins menu and the plug-in's own menus, picked by a path of names.
#include "host.h"

#include <sstream>

namespace hostsim {

namespace {

Menu* LiveMenu(XPLMMenuID id) {
    for (auto& m : H().menus) {
        if (m.get() == id) return m->alive ? m.get() : nullptr;
    }
    return nullptr;
}

std::string MenuPath(const Menu& m) {
    const Host& h = H();
    if (m.parent < 0) return m.name;
    const Menu& parent = *h.menus[static_cast<size_t>(m.parent)];
    std::string item = m.name;
    if (m.parent_item >= 0 && m.parent_item < static_cast<int>(parent.items.size())) {
        item = parent.items[static_cast<size_t>(m.parent_item)].name;
    }
    return MenuPath(parent) + "/" + item;
}

} // namespace

void ResetMenus() {
    Host& h = H();
    h.menus.clear();
    auto plugins = std::make_unique<Menu>();
    plugins->index = 0;
    plugins->name = "Plugins";
    plugins->owned_by_plugin = false;
    h.menus.push_back(std::move(plugins));
}

std::vector<MenuInfo> Menus() {
    std::vector<MenuInfo> out;
    for (const auto& m : H().menus) {
        MenuInfo info;
        info.name = m->name;
        info.path = MenuPath(*m);
        info.parent = m->parent;
        info.alive = m->alive;
        info.owned_by_plugin = m->owned_by_plugin;
        for (const auto& item : m->items) {
            MenuItemInfo i;
            i.name = item.name;
            i.item_ref = item.item_ref;
            i.submenu = item.submenu;
            i.enabled = item.enabled;
            i.check = item.check;
            i.separator = item.separator;
            info.items.push_back(i);
        }
        out.push_back(info);
    }
    return out;
}

bool PickMenuItem(const std::string& path) {
    std::vector<std::string> parts;
    std::stringstream ss(path);
    std::string part;
    while (std::getline(ss, part, '/'))
        parts.push_back(part);
    if (parts.size() < 2) return false;
    Host& h = H();
    Menu* menu = nullptr;
    for (auto& m : h.menus) {
        if (m->alive && m->parent < 0 && m->name == parts[0]) {
            menu = m.get();
            break;
        }
    }
    for (size_t k = 1; menu != nullptr && k < parts.size(); ++k) {
        int found = -1;
        for (size_t i = 0; i < menu->items.size(); ++i) {
            if (!menu->items[i].separator && menu->items[i].name == parts[k]) {
                found = static_cast<int>(i);
                break;
            }
        }
        if (found < 0) return false;
        MenuItem& item = menu->items[static_cast<size_t>(found)];
        if (k + 1 < parts.size()) {
            if (item.submenu < 0) return false;
            menu = h.menus[static_cast<size_t>(item.submenu)].get();
            if (!menu->alive) return false;
            continue;
        }
        // An item that holds a sub-menu only opens it.
        if (!item.enabled || item.submenu >= 0) return false;
        if (item.command != nullptr) {
            XPLMCommandOnce(item.command);
            return true;
        }
        if (menu->handler == nullptr) return false;
        menu->handler(menu->menu_ref, item.item_ref);
        return true;
    }
    return false;
}

} // namespace hostsim

using hostsim::H;
using hostsim::Menu;
using hostsim::MenuItem;

XPLMMenuID XPLMFindPluginsMenu(void) {
    return H().menus.front().get();
}

XPLMMenuID XPLMFindAircraftMenu(void) {
    return nullptr;
}

XPLMMenuID XPLMCreateMenu(const char* inName, XPLMMenuID inParentMenu, int inParentItem,
                          XPLMMenuHandler_f inHandler, void* inMenuRef) {
    if (inName == nullptr || inName[0] == '\0') return nullptr;
    hostsim::Host& h = H();
    Menu* parent = nullptr;
    if (inParentMenu != nullptr) {
        parent = hostsim::LiveMenu(inParentMenu);
        if (parent == nullptr || inParentItem < 0 || inParentItem >= static_cast<int>(parent->items.size())) {
            return nullptr;
        }
    }
    auto m = std::make_unique<Menu>();
    m->index = static_cast<int>(h.menus.size());
    m->name = inName;
    m->handler = inHandler;
    m->menu_ref = inMenuRef;
    if (parent != nullptr) {
        m->parent = parent->index;
        m->parent_item = inParentItem;
        parent->items[static_cast<size_t>(inParentItem)].submenu = m->index;
    }
    Menu* raw = m.get();
    h.menus.push_back(std::move(m));
    return raw;
}

void XPLMDestroyMenu(XPLMMenuID inMenuID) {
    Menu* m = hostsim::LiveMenu(inMenuID);
    if (m == nullptr || !m->owned_by_plugin) return;
    m->alive = false;
    m->handler = nullptr;
}

void XPLMClearAllMenuItems(XPLMMenuID inMenuID) {
    Menu* m = hostsim::LiveMenu(inMenuID);
    if (m != nullptr) m->items.clear();
}

int XPLMAppendMenuItem(XPLMMenuID inMenu, const char* inItemName, void* inItemRef, int) {
    Menu* m = hostsim::LiveMenu(inMenu);
    if (m == nullptr || inItemName == nullptr) return -1;
    MenuItem item;
    item.name = inItemName;
    item.item_ref = inItemRef;
    m->items.push_back(item);
    return static_cast<int>(m->items.size()) - 1;
}

int XPLMAppendMenuItemWithCommand(XPLMMenuID inMenu, const char* inItemName,
                                  XPLMCommandRef inCommandToExecute) {
    const int index = XPLMAppendMenuItem(inMenu, inItemName, nullptr, 0);
    if (index >= 0)
        static_cast<Menu*>(inMenu)->items[static_cast<size_t>(index)].command = inCommandToExecute;
    return index;
}

void XPLMAppendMenuSeparator(XPLMMenuID inMenu) {
    Menu* m = hostsim::LiveMenu(inMenu);
    if (m == nullptr) return;
    MenuItem item;
    item.separator = true;
    m->items.push_back(item);
}

namespace {
MenuItem* ItemAt(XPLMMenuID inMenu, int index) {
    Menu* m = hostsim::LiveMenu(inMenu);
    if (m == nullptr || index < 0 || index >= static_cast<int>(m->items.size())) return nullptr;
    return &m->items[static_cast<size_t>(index)];
}
} // namespace

void XPLMSetMenuItemName(XPLMMenuID inMenu, int inIndex, const char* inItemName, int) {
    MenuItem* item = ItemAt(inMenu, inIndex);
    if (item != nullptr && inItemName != nullptr) item->name = inItemName;
}

void XPLMCheckMenuItem(XPLMMenuID inMenu, int index, XPLMMenuCheck inCheck) {
    MenuItem* item = ItemAt(inMenu, index);
    if (item != nullptr) item->check = inCheck;
}

void XPLMCheckMenuItemState(XPLMMenuID inMenu, int index, XPLMMenuCheck* outCheck) {
    MenuItem* item = ItemAt(inMenu, index);
    if (item != nullptr && outCheck != nullptr) *outCheck = item->check;
}

void XPLMEnableMenuItem(XPLMMenuID inMenu, int index, int enabled) {
    MenuItem* item = ItemAt(inMenu, index);
    if (item != nullptr) item->enabled = enabled != 0;
}

void XPLMRemoveMenuItem(XPLMMenuID inMenu, int inIndex) {
    Menu* m = hostsim::LiveMenu(inMenu);
    if (m == nullptr || inIndex < 0 || inIndex >= static_cast<int>(m->items.size())) return;
    m->items.erase(m->items.begin() + inIndex);
    // Sub-menus attached to later items follow them.
    for (auto& other : H().menus) {
        if (other->parent == m->index && other->parent_item > inIndex)
            other->parent_item--;
        else if (other->parent == m->index && other->parent_item == inIndex)
            other->parent_item = -1;
    }
}
