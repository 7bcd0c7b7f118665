#include "popup_menu.h"

#include <cstdio>
#include <cstring>

#include "XPLMDataAccess.h"
#include "XPLMDefs.h"
#include "XPLMGraphics.h"
#include "XPLMUtilities.h"
#include "XPUIGraphics.h"
#include "XPWidgetUtils.h"
#include "XPWidgets.h"
#include "gl_calls.h"

int gUseOffset = 0;
int gMenuItemOffset = 0;
int gMaxItems = 0;
int gMenuWidth = 0;
int gVerticalStripes = 0;
int gItemsInColumn = 0;
int gMaxDisplayedItems = 0;
float gAlphaLevel = 1.0f;

namespace {

constexpr int kItemHeight = 12;
constexpr int kSeparatorHeight = 2;
// Private property: the popup's cached current-item text (ButtonState*), so drawing reads no list.
constexpr XPWidgetPropertyID kStateProperty = 1803;
// The arrow glyph's place in the flat look's element list.
constexpr XPElementStyle kDragBarElement = 62;

XSBPopupMenu_t* gOpenMenu = nullptr;

struct ButtonState {
    char text[128] = {};
};

int XPlaneVersion() {
    static int version = -1;
    if (version < 0) {
        int xplm = 0;
        XPLMHostApplicationID host = 0;
        XPLMGetVersions(&version, &xplm, &host);
    }
    return version;
}

// The interface texture's GL name, 0 when the host has none (then both styles draw flat).
int InterfaceTexture() {
    return XPlaneVersion() >= 700 ? XPLMGetTexture(xplm_Tex_GeneralInterface) : 0;
}

// ---- Drawing primitives ---------------------------------------------------------------------------

void Quad(int l, int b, int r, int t) {
    const auto& gl = ui_gl::GL();
    if (!gl.ok) return;
    gl.Begin(ui_gl::kQuads);
    gl.Vertex2i(l, b);
    gl.Vertex2i(l, t);
    gl.Vertex2i(r, t);
    gl.Vertex2i(r, b);
    gl.End();
}

void Line(int x1, int y1, int x2, int y2) {
    const auto& gl = ui_gl::GL();
    if (!gl.ok) return;
    gl.Begin(ui_gl::kLines);
    gl.Vertex2i(x1, y1);
    gl.Vertex2i(x2, y2);
    gl.End();
}

void SingleQuad(int l, int b, int r, int t, int tx1, int ty1, int tx2, int ty2) {
    const auto& gl = ui_gl::GL();
    if (!gl.ok) return;
    constexpr float k = 1.0f / 512.0f;
    gl.Begin(ui_gl::kQuads);
    gl.TexCoord2f(tx1 * k, ty1 * k);
    gl.Vertex2i(l, b);
    gl.TexCoord2f(tx1 * k, ty2 * k);
    gl.Vertex2i(l, t);
    gl.TexCoord2f(tx2 * k, ty2 * k);
    gl.Vertex2i(r, t);
    gl.TexCoord2f(tx2 * k, ty1 * k);
    gl.Vertex2i(r, b);
    gl.End();
}

// Three columns (outer ones at texture width, middle stretched) by three rows (outer ones at
// texture height, the middle filled with whole copies of its band and then the band's start).
void DrawStretchedQuad(int l, int b, int r, int t, int tx1, int tx2, int tx3, int tx4, int ty1, int ty2,
                       int ty3, int ty4) {
    const int xs[4] = {l, l + (tx2 - tx1), r - (tx4 - tx3), r};
    const int txs[4] = {tx1, tx2, tx3, tx4};
    const int bottom_h = ty2 - ty1;
    const int top_h = ty4 - ty3;
    const int band = ty3 - ty2;
    auto row = [&](int y1, int y2, int v1, int v2) {
        for (int c = 0; c < 3; ++c)
            SingleQuad(xs[c], y1, xs[c + 1], y2, txs[c], v1, txs[c + 1], v2);
    };
    row(b, b + bottom_h, ty1, ty2);
    int y = b + bottom_h;
    const int middle_top = t - top_h;
    if (band > 0) {
        while (y + band <= middle_top) {
            row(y, y + band, ty2, ty3);
            y += band;
        }
        int rest = middle_top - y;
        if (rest > 0) {
            rest += rest & 1;
            row(y, y + rest, ty2, ty2 + rest);
        }
    }
    row(t - top_h, t, ty3, ty4);
}

// 16 x 12 bitmaps, top row first, leftmost pixel in the highest bit.
constexpr unsigned short kArrowOutline[12] = {0x0A00, 0x1100, 0x2080, 0x4040, 0x8020, 0x0000,
                                              0x0000, 0x8020, 0x4040, 0x2080, 0x1100, 0x0A00};
constexpr unsigned short kArrowInner[12] = {0x0400, 0x0E00, 0x1F00, 0x3F80, 0x7FC0, 0x0000,
                                            0x0000, 0x7FC0, 0x3F80, 0x1F00, 0x0E00, 0x0400};

void DrawBitmap(const unsigned short (&rows)[12], int x, int y) {
    for (int r = 0; r < 12; ++r)
        for (int bit = 0; bit < 16; ++bit)
            if (rows[r] & (0x8000u >> bit)) Quad(x + bit, y - r - 1, x + bit + 1, y - r);
}

void DrawArrow(int x, int middle) {
    const auto& gl = ui_gl::GL();
    if (!gl.ok) return;
    static XPLMDataRef light[3] = {XPLMFindDataRef("sim/graphics/misc/cockpit_light_level_r"),
                                   XPLMFindDataRef("sim/graphics/misc/cockpit_light_level_g"),
                                   XPLMFindDataRef("sim/graphics/misc/cockpit_light_level_b")};
    float c[3];
    for (int i = 0; i < 3; ++i)
        c[i] = 0.2784314f * (light[i] ? XPLMGetDataf(light[i]) : 1.0f);
    gl.Color4f(c[0], c[1], c[2], 1.0f);
    DrawBitmap(kArrowOutline, x, middle + 6);
    gl.Color4f(0, 0, 0, 1.0f);
    DrawBitmap(kArrowInner, x, middle + 6);
}

// ---- The menu ------------------------------------------------------------------------------------

// Index of the laid-out position under (x, y) relative to the menu's left and top, or -1.
int PositionAt(const XSBPopupMenu_t& m, int x, int y) {
    const int n = static_cast<int>(m.lefts.size());
    for (int i = 0; i < n; ++i)
        if (m.lefts[i] <= x && x < m.rights[i] && m.bottoms[i] <= y && y < m.tops[i]) return i;
    return -1;
}

// The item shown at a position (scrolling moves items up by the offset), or -1.
int ItemAtPosition(const XSBPopupMenu_t& m, int position) {
    if (position < 0) return -1;
    const int offset = gUseOffset ? gMenuItemOffset : 0;
    const int item = position + offset;
    return item < static_cast<int>(m.items.size()) ? item : -1;
}

void MenuDraw(XPLMWindowID, void* ref) {
    const auto* m = static_cast<const XSBPopupMenu_t*>(ref);
    const auto& gl = ui_gl::GL();
    if (m == nullptr) return;
    int mx = 0, my = 0;
    XPLMGetMouseLocation(&mx, &my);
    const int hot = ItemAtPosition(*m, PositionAt(*m, mx - m->left, my - m->top));
    const int texture = InterfaceTexture();

    if (texture != 0) {
        XPLMSetGraphicsState(0, 1, 0, 0, 1, 0, 0);
        XPLMBindTexture2d(texture, 0);
        if (gl.ok) gl.Color4f(1, 1, 1, 1);
        DrawStretchedQuad(m->left - 8, m->bottom - 13, m->right + 8, m->top + 2, 70, 82, 100, 112, 315, 329,
                          339, 357);
    } else {
        XPLMSetGraphicsState(0, 0, 0, 0, 0, 0, 0);
        SetupAmbientColor(1, nullptr);
        Quad(m->left, m->bottom, m->right, m->top);
        SetupAmbientColor(3, nullptr);
        Line(m->left, m->bottom, m->left, m->top);
        Line(m->left, m->top, m->right, m->top);
        SetupAmbientColor(0, nullptr);
        Line(m->left, m->bottom, m->right, m->bottom);
        Line(m->right, m->bottom, m->right, m->top);
    }
    XPLMSetGraphicsState(0, 0, 0, 0, texture != 0 ? 1 : 0, 0, 0);
    for (int x : m->vstripes) {
        SetupAmbientColor(0, nullptr);
        Line(m->left + x - 1, m->bottom, m->left + x - 1, m->top);
        SetupAmbientColor(3, nullptr);
        Line(m->left + x, m->bottom, m->left + x, m->top);
    }
    const int offset = gUseOffset ? gMenuItemOffset : 0;
    const int count = static_cast<int>(m->items.size());
    for (int item = offset; item < count; ++item) {
        const int pos = item - offset;
        const int l = m->left + m->lefts[pos], r = m->left + m->rights[pos];
        const int b = m->top + m->bottoms[pos], t = m->top + m->tops[pos];
        if (std::strcmp(m->items[item].data(), "-") == 0 && !m->enabled[item]) {
            SetupAmbientColor(3, nullptr);
            Line(l, t - 1, r, t - 1);
            SetupAmbientColor(0, nullptr);
            Line(l, t, r, t);
            continue;
        }
        if (item == hot && m->enabled[item]) {
            if (texture != 0) gAlphaLevel = 0.25f;
            SetupAmbientColor(2, nullptr);
            gAlphaLevel = 1.0f;
            Quad(l, b, r, t);
        }
        float c[3];
        SetupAmbientColor(m->enabled[item] ? 4 : 5, c);
        XPLMDrawString(c, l + 18, b + 2, const_cast<char*>(m->items[item].data()), nullptr, xplmFont_Menus);
    }
}

void MenuKey(XPLMWindowID, char, XPLMKeyFlags flags, char vkey, void* ref, int losing_focus) {
    auto* m = static_cast<XSBPopupMenu_t*>(ref);
    if (m == nullptr || losing_focus || !gUseOffset) return;
    if ((flags & xplm_UpFlag) == 0 || (flags & (xplm_ShiftFlag | xplm_OptionAltFlag | xplm_ControlFlag)))
        return;
    const unsigned char key = static_cast<unsigned char>(vkey);
    if (key != XPLM_VK_PRIOR && key != XPLM_VK_NEXT) return;
    int screen_w = 0, screen_h = 0;
    XPLMGetScreenSize(&screen_w, &screen_h);
    if (screen_w <= 0 || (gVerticalStripes + 1) * gMenuWidth < screen_w) return;
    gMaxDisplayedItems = gVerticalStripes * gItemsInColumn;
    if (key == XPLM_VK_PRIOR) {
        gMenuItemOffset -= gMaxDisplayedItems;
        if (gMenuItemOffset < 0) gMenuItemOffset = 0;
    } else if (gMenuItemOffset + gMaxDisplayedItems < gMaxItems) {
        gMenuItemOffset += gMaxDisplayedItems;
    }
}

void CloseMenu(int pick) {
    XSBPopupMenu_t* m = gOpenMenu;
    if (m == nullptr) return;
    gOpenMenu = nullptr;
    const XSBPopupResult_f fn = m->function;
    void* ref = m->ref;
    const XPLMWindowID window = m->window;
    delete m;
    XPLMDestroyWindow(window);
    if (gUseOffset) {
        gMenuItemOffset = 0;
        XPLMTakeKeyboardFocus(nullptr);
    }
    if (fn != nullptr) fn(pick, ref);
}

int MenuMouse(XPLMWindowID, int x, int y, XPLMMouseStatus status, void* ref) {
    const auto* m = static_cast<const XSBPopupMenu_t*>(ref);
    if (m == nullptr || m != gOpenMenu || status != xplm_MouseUp) return 1;
    int pick = ItemAtPosition(*m, PositionAt(*m, x - m->left, y - m->top));
    if (pick >= 0 && !m->enabled[pick]) pick = -1;
    CloseMenu(pick);
    return 1;
}

// ---- The button ----------------------------------------------------------------------------------

ButtonState* StateOf(XPWidgetID w) {
    return reinterpret_cast<ButtonState*>(XPGetWidgetProperty(w, kStateProperty, nullptr));
}

// Finds the current item inside the descriptor and caches its text.
void UpdateCurrentItem(XPWidgetID w) {
    static char list[48 * 1024];
    XPGetWidgetDescriptor(w, list, sizeof list - 1);
    list[sizeof list - 1] = '\0';
    const int current = static_cast<int>(XPGetWidgetProperty(w, xpProperty_PopupCurrentItem, nullptr));
    const char* p = list;
    for (int i = 0; i < current && *p; ++i) {
        const char* semi = std::strchr(p, ';');
        p = semi ? semi + 1 : p + std::strlen(p);
    }
    const char* end = std::strchr(p, ';');
    const size_t len = end ? static_cast<size_t>(end - p) : std::strlen(p);
    XPSetWidgetProperty(w, xpProperty_PopupItemOffset, p - list);
    XPSetWidgetProperty(w, xpProperty_PopupItemLength, static_cast<intptr_t>(len));
    if (ButtonState* s = StateOf(w)) std::snprintf(s->text, sizeof s->text, "%.*s", static_cast<int>(len), p);
    XPSetWidgetProperty(w, xpProperty_Enabled, 1);
}

void DrawButton(XPWidgetID w) {
    int l = 0, t = 0, r = 0, b = 0;
    XPGetWidgetGeometry(w, &l, &t, &r, &b);
    const int middle = (t + b) / 2;
    const int texture = InterfaceTexture();
    if (texture == 0) {
        XPDrawElement(l + 2, t, r - 2, b, kDragBarElement, 0);
    } else if (ui_gl::GL().ok) {
        XPLMSetGraphicsState(0, 1, 0, 0, 1, 0, 0);
        XPLMBindTexture2d(texture, 0);
        ui_gl::GL().Color4f(1, 1, 1, 1);
        DrawStretchedQuad(l - 4, middle - 13, r + 4, middle + 13, 357, 369, 399, 425, 486, 494, 500, 512);
    }
    int char_w = 0, char_h = 0;
    XPLMGetFontDimensions(xplmFont_Basic, &char_w, &char_h, nullptr);
    const ButtonState* s = StateOf(w);
    if (s != nullptr && char_w > 0) {
        const char* text = s->text[0] == '(' ? s->text + 1 : s->text;
        int max_chars = (r - l - 24) / char_w;
        if (max_chars < 0) max_chars = 0;
        char shown[sizeof s->text];
        std::snprintf(shown, sizeof shown, "%.*s", max_chars, text);
        float c[3];
        SetupAmbientColor(XPGetWidgetProperty(w, xpProperty_Enabled, nullptr) ? 4 : 5, c);
        XPLMDrawString(c, l + 4, middle - char_h / 2 + 2, shown, nullptr, xplmFont_Basic);
    }
    if (texture == 0) {
        XPLMSetGraphicsState(0, 0, 0, 0, 0, 0, 0);
        DrawArrow(r - 17, middle);
    }
}

} // namespace

void SetupAmbientColor(int index, float* out) {
    static const char* const kNames[6] = {
        "sim/graphics/colors/menu_dark_rgb",   "sim/graphics/colors/menu_bkgnd_rgb",
        "sim/graphics/colors/menu_hilite_rgb", "sim/graphics/colors/menu_lite_rgb",
        "sim/graphics/colors/menu_text_rgb",   "sim/graphics/colors/menu_text_disabled_rgb"};
    static const float kFallback[6][3] = {{0.12890625f, 0.16015625f, 0.171875f},
                                          {0.20703125f, 0.25f, 0.265625f},
                                          {0.25390625f, 0.32421875f, 0.34765625f},
                                          {0.25390625f, 0.32421875f, 0.34765625f},
                                          {0.8f, 0.8f, 0.8f},
                                          {0.4f, 0.4f, 0.4f}};
    static bool looked_up = false;
    static XPLMDataRef refs[6] = {};
    static XPLMDataRef light[3] = {};
    if (!looked_up) {
        looked_up = true;
        for (int i = 0; i < 6; ++i)
            refs[i] = XPLMFindDataRef(kNames[i]);
        light[0] = XPLMFindDataRef("sim/graphics/misc/cockpit_light_level_r");
        light[1] = XPLMFindDataRef("sim/graphics/misc/cockpit_light_level_g");
        light[2] = XPLMFindDataRef("sim/graphics/misc/cockpit_light_level_b");
    }
    if (index < 0 || index > 5) index = 4;
    float c[3];
    if (refs[index] != nullptr && XPLMGetDatavf(refs[index], c, 0, 3) == 3) {
    } else {
        // Without a light level the fallback stays as it is rather than turning black.
        for (int i = 0; i < 3; ++i)
            c[i] = kFallback[index][i] * (light[i] ? XPLMGetDataf(light[i]) : 1.0f);
    }
    if (out != nullptr) {
        for (int i = 0; i < 3; ++i)
            out[i] = c[i];
    } else if (ui_gl::GL().ok) {
        ui_gl::GL().Color4f(c[0], c[1], c[2], gAlphaLevel);
    }
}

void XSBPickPopup(int left, int top, const char* items, int current, XSBPopupResult_f fn, void* ref) {
    if (gOpenMenu != nullptr) CloseMenu(-1);
    int screen_w = 0, screen_h = 0;
    XPLMGetScreenSize(&screen_w, &screen_h);
    int char_w = 0;
    XPLMGetFontDimensions(xplmFont_Menus, &char_w, nullptr, nullptr);

    auto* m = new XSBPopupMenu_t;
    m->function = fn;
    m->ref = ref;

    // Split at ";"; a trailing ";" ends the last item rather than starting an empty one.
    const char* p = items ? items : "";
    size_t longest = 0;
    std::vector<int> heights;
    while (*p) {
        const char* semi = std::strchr(p, ';');
        const size_t len = semi ? static_cast<size_t>(semi - p) : std::strlen(p);
        const bool separator = len == 1 && p[0] == '-';
        const bool disabled = len > 0 && p[0] == '(';
        const char* name = disabled ? p + 1 : p;
        const size_t name_len = disabled ? len - 1 : len;
        m->items.emplace_back(name, name + name_len);
        m->items.back().push_back('\0');
        m->enabled.push_back(!separator && !disabled);
        heights.push_back(separator ? kSeparatorHeight : kItemHeight);
        if (name_len > longest) longest = name_len;
        p = semi ? semi + 1 : p + len;
    }
    const int width = static_cast<int>(longest) * char_w + 35;
    const int count = static_cast<int>(m->items.size());

    int x = 0, y = 0, lowest = 0;
    gItemsInColumn = count;
    bool first_column_done = false;
    for (int i = 0; i < count; ++i) {
        m->lefts.push_back(x);
        m->rights.push_back(x + width);
        m->tops.push_back(y);
        m->bottoms.push_back(y - heights[i]);
        y -= heights[i];
        if (y < lowest) lowest = y;
        if (y < 50 - screen_h) {
            if (!first_column_done) {
                gItemsInColumn = i + 1;
                first_column_done = true;
            }
            x += width;
            m->vstripes.push_back(x);
            y = 0;
        }
    }
    if (!m->vstripes.empty() && y == 0 && count > 0) m->vstripes.pop_back();
    const int columns = static_cast<int>(m->vstripes.size()) + 1;

    if (current < 0) current = 0;
    if (current >= count) current = count > 0 ? count - 1 : 0;
    const int item_x = count > 0 ? m->lefts[current] : 0;
    const int item_y = count > 0 ? m->tops[current] : 0;
    m->left = left - item_x;
    m->top = top - item_y;
    m->right = m->left + columns * width;
    m->bottom = m->top + lowest;

    if (m->right > screen_w - 10) {
        const int d = m->right - (screen_w - 10);
        m->left -= d;
        m->right -= d;
    }
    if (m->left <= 9) {
        const int d = 10 - m->left;
        m->left += d;
        m->right += d;
    }
    if (m->bottom <= 9) {
        const int d = 10 - m->bottom;
        m->bottom += d;
        m->top += d;
    }
    if (m->top > screen_h - 30) {
        const int d = m->top - (screen_h - 30);
        m->top -= d;
        m->bottom -= d;
    }

    gMaxItems = count;
    gOpenMenu = m;
    m->window = XPLMCreateWindow(0, screen_h, screen_w, 0, 1, MenuDraw, MenuKey, MenuMouse, m);
    if (gUseOffset) {
        gMenuWidth = width;
        gVerticalStripes = static_cast<int>(m->vstripes.size());
        XPLMTakeKeyboardFocus(m->window);
    }
}

void XSBPopupWidgetProc(int picked, void* ref) {
    auto w = static_cast<XPWidgetID>(ref);
    if (w == nullptr || picked < 0) return;
    XPSetWidgetProperty(w, xpProperty_PopupCurrentItem, picked);
    XPSendMessageToWidget(w, xpMessage_PopupNewItemPicked, xpMode_UpChain, reinterpret_cast<intptr_t>(w),
                          picked);
}

int XSBPopupButtonProc(XPWidgetMessage msg, XPWidgetID w, intptr_t p1, intptr_t p2) {
    if (XPUSelectIfNeeded(msg, w, p1, p2, 0)) return 1;
    switch (msg) {
    case xpMsg_Create:
        if (StateOf(w) == nullptr)
            XPSetWidgetProperty(w, kStateProperty, reinterpret_cast<intptr_t>(new ButtonState));
        UpdateCurrentItem(w);
        return 1;
    case xpMsg_DescriptorChanged:
        UpdateCurrentItem(w);
        return 1;
    case xpMsg_PropertyChanged:
        if (p1 == xpProperty_PopupCurrentItem) UpdateCurrentItem(w);
        return 1;
    case xpMsg_Draw:
        DrawButton(w);
        return 1;
    case xpMsg_MouseDown: {
        if (!XPGetWidgetProperty(w, xpProperty_Enabled, nullptr)) return 1;
        int l = 0, t = 0;
        XPGetWidgetGeometry(w, &l, &t, nullptr, nullptr);
        static char list[48 * 1024];
        XPGetWidgetDescriptor(w, list, sizeof list - 1);
        list[sizeof list - 1] = '\0';
        XSBPickPopup(l, t, list,
                     static_cast<int>(XPGetWidgetProperty(w, xpProperty_PopupCurrentItem, nullptr)),
                     XSBPopupWidgetProc, w);
        return 1;
    }
    case xpMsg_Destroy:
        // A menu still open for this popup must not hand its pick to a widget that is gone.
        if (gOpenMenu != nullptr && gOpenMenu->ref == w) {
            gOpenMenu->function = nullptr;
            CloseMenu(-1);
        }
        delete StateOf(w);
        XPSetWidgetProperty(w, kStateProperty, 0);
        return 1;
    default:
        return 0;
    }
}

XPWidgetID XSBCreatePopup(int left, int top, int right, int bottom, int visible, const char* items,
                          XPWidgetID container, int scrolling) {
    gUseOffset = scrolling;
    if (!scrolling) gMenuItemOffset = 0;
    return XPCreateCustomWidget(left, top, right, bottom, visible, items, 0, container, XSBPopupButtonProc);
}

const XSBPopupMenu_t* XSBOpenMenu() {
    return gOpenMenu;
}

void XSBCloseMenu() {
    if (gOpenMenu != nullptr) {
        gOpenMenu->function = nullptr;
        CloseMenu(-1);
    }
}
