// The popup button of the Assign Functions dialog: shows the current item of a ";"-separated
// list and, when clicked, opens a full-screen menu in which the user picks an item.
#pragma once

#include <vector>

#include "XPLMDisplay.h"
#include "XPWidgetDefs.h"

// Widget property: index of the current item (0-based). Also the message a pick sends up the
// chain (first parameter the popup, second the picked index).
inline constexpr XPWidgetPropertyID xpProperty_PopupCurrentItem = 1800;
inline constexpr XPWidgetMessage xpMessage_PopupNewItemPicked = 1800;
// Offset and length of the current item's text inside the descriptor.
inline constexpr XPWidgetPropertyID xpProperty_PopupItemOffset = 1801;
inline constexpr XPWidgetPropertyID xpProperty_PopupItemLength = 1802;

using XSBPopupResult_f = void (*)(int picked, void* ref);

// One open menu: every item's rectangle relative to the menu's left and top.
struct XSBPopupMenu_t {
    XPLMWindowID window = nullptr;
    std::vector<std::vector<char>> items; // names as shown, terminated
    std::vector<bool> enabled;
    std::vector<int> lefts, rights, bottoms, tops;
    std::vector<int> vstripes;
    int left = 0, top = 0, right = 0, bottom = 0;
    XSBPopupResult_f function = nullptr;
    void* ref = nullptr;
};

// Shared menu state: one menu is open at a time.
extern int gUseOffset;
extern int gMenuItemOffset;
extern int gMaxItems;
extern int gMenuWidth;
extern int gVerticalStripes;
extern int gItemsInColumn;
extern int gMaxDisplayedItems;
extern float gAlphaLevel;

// Creates the popup button in container. A non-zero scrolling flag lets every menu opened from
// now on scroll by pages (and keeps the current scroll offset); zero resets the offset.
XPWidgetID XSBCreatePopup(int left, int top, int right, int bottom, int visible, const char* items,
                          XPWidgetID container, int scrolling);

// Opens the menu with item `current` placed at (left, top); fn gets the pick (or -1) and ref once.
void XSBPickPopup(int left, int top, const char* items, int current, XSBPopupResult_f fn, void* ref);

// The popup button's behaviour and the pick hand-back it uses.
int XSBPopupButtonProc(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2);
void XSBPopupWidgetProc(int picked, void* ref);

// Colour `index` (0 dark, 1 background, 2 highlight, 3 light, 4 text, 5 disabled text) into out,
// or made current for drawing (with gAlphaLevel) when out is null.
void SetupAmbientColor(int index, float* out);

// The open menu, or null (for the dialog's tests and screenshots).
const XSBPopupMenu_t* XSBOpenMenu();
// Closes an open menu without a pick (the dialog going away).
void XSBCloseMenu();
