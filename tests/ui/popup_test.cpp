// The popup menu widget: layout, staying on screen, picks, paging, and the popup button.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "XPLMDefs.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "hostsim.h"
#include "ui/popup_menu.h"

namespace {

// Names are 8 pixels wide in the stand-in's fonts.
std::string NumberedList(int count, int name_chars) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        char item[64];
        std::snprintf(item, sizeof item, "I%0*d;", name_chars - 1, i);
        list += item;
    }
    return list;
}

struct Picks {
    static inline int last = -2;
    static inline int calls = 0;
    static void Record(int picked, void*) {
        last = picked;
        ++calls;
    }
};

class PopupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
        hostsim::SetScreenSize(1024, 768);
        Picks::last = -2;
        Picks::calls = 0;
        gUseOffset = 0;
        gMenuItemOffset = 0;
    }
    void TearDown() override { XSBCloseMenu(); }

    void Open(int left, int top, const std::string& list, int current) {
        XSBPickPopup(left, top, list.c_str(), current, Picks::Record, nullptr);
        ASSERT_NE(XSBOpenMenu(), nullptr);
        menu_window = static_cast<int>(hostsim::Windows().size()) - 1;
    }
    // Releases a click at a point given relative to item `position`'s top-left corner.
    void ClickItem(int position, int dx = 5, int dy = -5) {
        const XSBPopupMenu_t* m = XSBOpenMenu();
        hostsim::ClickWindow(menu_window, m->left + m->lefts[position] + dx, m->top + m->tops[position] + dy,
                             xplm_MouseDown);
        hostsim::ClickWindow(menu_window, m->left + m->lefts[position] + dx, m->top + m->tops[position] + dy,
                             xplm_MouseUp);
    }
    int menu_window = -1;
};

TEST_F(PopupTest, LongListsWrapIntoColumnsAndTheMenuStaysOnScreen) {
    Open(100, 700, NumberedList(100, 6), 0);
    const XSBPopupMenu_t* m = XSBOpenMenu();
    const int width = 6 * 8 + 35;
    // Items go down 12 pixels each until y falls below 50 - 768: 60 items in the first column.
    EXPECT_EQ(gItemsInColumn, 60);
    ASSERT_EQ(m->vstripes.size(), 1u);
    EXPECT_EQ(m->vstripes[0], width);
    EXPECT_EQ(m->lefts[60], width);
    EXPECT_EQ(m->tops[60], 0);
    EXPECT_EQ(m->bottoms[59], -720);
    EXPECT_EQ(m->right - m->left, 2 * width);
    // Placed at (100, 700) it would end 20 pixels below the screen: lifted to bottom 10.
    EXPECT_EQ(m->left, 100);
    EXPECT_EQ(m->bottom, 10);
    EXPECT_EQ(m->top, 730);
    XSBCloseMenu();

    // Exactly one full column: the empty column it would start is dropped.
    Open(100, 700, NumberedList(60, 6), 0);
    EXPECT_TRUE(XSBOpenMenu()->vstripes.empty());
    XSBCloseMenu();

    // Near the right edge it ends 10 pixels before the edge; near the left edge it starts at 10.
    Open(1000, 400, "ABC;DEF;", 0);
    EXPECT_EQ(XSBOpenMenu()->right, 1014);
    EXPECT_EQ(XSBOpenMenu()->left, 1014 - (3 * 8 + 35));
    XSBCloseMenu();
    Open(3, 400, "ABC;DEF;", 0);
    EXPECT_EQ(XSBOpenMenu()->left, 10);
    XSBCloseMenu();
    // A menu opened at the very top comes down so its top is 30 below the screen's.
    Open(200, 767, "ABC;DEF;", 0);
    EXPECT_EQ(XSBOpenMenu()->top, 738);
}

TEST_F(PopupTest, CurrentItemOpensAtTheButtonAndItemsParse) {
    Open(300, 500, "A;-;(Off;;B", 3);
    const XSBPopupMenu_t* m = XSBOpenMenu();
    ASSERT_EQ(m->items.size(), 5u);
    EXPECT_STREQ(m->items[2].data(), "Off");
    EXPECT_STREQ(m->items[3].data(), "");
    EXPECT_EQ((std::vector<bool>{true, false, false, true, true}), m->enabled);
    // Separator 2 pixels high, the others 12; item 3's corner is at (300, 500).
    EXPECT_EQ(m->tops[3], -26);
    EXPECT_EQ(m->left + m->lefts[3], 300);
    EXPECT_EQ(m->top + m->tops[3], 500);
    XSBCloseMenu();

    // Without a trailing ";" the same items; a negative current item counts as the first.
    Open(300, 500, "A;B", -4);
    EXPECT_EQ(XSBOpenMenu()->items.size(), 2u);
    EXPECT_EQ(XSBOpenMenu()->top, 500);
}

TEST_F(PopupTest, ClicksPickItemsAndOutsideOrDisabledPickNothing) {
    Open(300, 500, "A;-;(Off;;B;", 0);
    ClickItem(4);
    EXPECT_EQ(Picks::last, 4);
    EXPECT_EQ(Picks::calls, 1);
    EXPECT_EQ(XSBOpenMenu(), nullptr);
    EXPECT_FALSE(hostsim::Windows()[menu_window].alive);

    for (int position : {1, 2}) { // the separator and the disabled item
        Open(300, 500, "A;-;(Off;;B;", 0);
        ClickItem(position, 5, -1);
        EXPECT_EQ(Picks::last, -1);
    }
    Open(300, 500, "A;-;(Off;;B;", 0);
    ClickItem(0, -20, 0); // left of every item
    EXPECT_EQ(Picks::last, -1);
    EXPECT_EQ(XSBOpenMenu(), nullptr);
}

TEST_F(PopupTest, PageKeysScrollWideMenusAndClicksFollowTheOffset) {
    gUseOffset = 1;
    // 30-character names: five columns of 60, wider than the screen.
    Open(20, 700, NumberedList(300, 30), 0);
    EXPECT_EQ(gVerticalStripes, 4);
    hostsim::KeyWindow(menu_window, 0, 0, static_cast<char>(XPLM_VK_NEXT)); // a press does nothing
    EXPECT_EQ(gMenuItemOffset, 0);
    hostsim::KeyWindow(menu_window, 0, xplm_UpFlag | xplm_ShiftFlag, static_cast<char>(XPLM_VK_NEXT));
    EXPECT_EQ(gMenuItemOffset, 0);
    hostsim::KeyWindow(menu_window, 0, xplm_UpFlag, static_cast<char>(XPLM_VK_NEXT));
    EXPECT_EQ(gMenuItemOffset, 240);
    hostsim::KeyWindow(menu_window, 0, xplm_UpFlag, static_cast<char>(XPLM_VK_NEXT));
    EXPECT_EQ(gMenuItemOffset, 240); // 480 would pass the last item
    ClickItem(61);                   // shows item 301, which does not exist
    EXPECT_EQ(Picks::last, -1);
    EXPECT_EQ(gMenuItemOffset, 0);

    Open(20, 700, NumberedList(300, 30), 0);
    hostsim::KeyWindow(menu_window, 0, xplm_UpFlag, static_cast<char>(XPLM_VK_NEXT));
    ClickItem(5);
    EXPECT_EQ(Picks::last, 245);

    // A narrow menu does not scroll.
    Open(20, 700, NumberedList(100, 6), 0);
    hostsim::KeyWindow(menu_window, 0, xplm_UpFlag, static_cast<char>(XPLM_VK_NEXT));
    EXPECT_EQ(gMenuItemOffset, 0);
}

int g_root_msgs = 0;
intptr_t g_root_p1 = 0, g_root_p2 = 0;
int RootCallback(XPWidgetMessage msg, XPWidgetID, intptr_t p1, intptr_t p2) {
    if (msg != xpMessage_PopupNewItemPicked) return 0;
    ++g_root_msgs;
    g_root_p1 = p1;
    g_root_p2 = p2;
    return 1;
}

TEST_F(PopupTest, ButtonTracksItsCurrentItemAndReportsPicksUpTheChain) {
    XPWidgetID root = XPCreateWidget(0, 700, 600, 100, 1, "root", 1, nullptr, xpWidgetClass_MainWindow);
    XPAddWidgetCallback(root, RootCallback);
    XPWidgetID popup = XSBCreatePopup(10, 600, 200, 588, 1, "AA;BBB;C", root, 0);
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_Enabled, nullptr), 1);
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_PopupItemLength, nullptr), 2);
    XPSetWidgetProperty(popup, xpProperty_PopupCurrentItem, 1);
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_PopupItemOffset, nullptr), 3);
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_PopupItemLength, nullptr), 3);
    XPSetWidgetProperty(popup, xpProperty_PopupCurrentItem, 9); // beyond the list: empty text
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_PopupItemLength, nullptr), 0);
    XPSetWidgetDescriptor(popup, "X;Y;Z;W;V;U;T;S;R;Q;");
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_PopupItemOffset, nullptr), 18);
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_PopupItemLength, nullptr), 1);

    XPSendMessageToWidget(popup, xpMsg_MouseDown, xpMode_Direct, 0, 0);
    ASSERT_NE(XSBOpenMenu(), nullptr);
    menu_window = static_cast<int>(hostsim::Windows().size()) - 1;
    // The current item (9) opens at the button's corner.
    EXPECT_EQ(XSBOpenMenu()->top + XSBOpenMenu()->tops[9], 600);
    ClickItem(2);
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_PopupCurrentItem, nullptr), 2);
    EXPECT_EQ(g_root_msgs, 1);
    EXPECT_EQ(g_root_p1, reinterpret_cast<intptr_t>(popup));
    EXPECT_EQ(g_root_p2, 2);

    // A click outside leaves the item alone and sends nothing.
    XPSendMessageToWidget(popup, xpMsg_MouseDown, xpMode_Direct, 0, 0);
    menu_window = static_cast<int>(hostsim::Windows().size()) - 1;
    hostsim::ClickWindow(menu_window, 1000, 5, xplm_MouseUp);
    EXPECT_EQ(g_root_msgs, 1);
    EXPECT_EQ(XPGetWidgetProperty(popup, xpProperty_PopupCurrentItem, nullptr), 2);

    // Destroying the popup with its menu open closes the menu; nothing reaches the dead widget.
    XPSendMessageToWidget(popup, xpMsg_MouseDown, xpMode_Direct, 0, 0);
    menu_window = static_cast<int>(hostsim::Windows().size()) - 1;
    XPDestroyWidget(root, 1);
    EXPECT_EQ(XSBOpenMenu(), nullptr);
    EXPECT_FALSE(hostsim::Windows()[menu_window].alive);
    EXPECT_EQ(g_root_msgs, 1);
}

} // namespace
