// Windows, draw passes and the graphics calls that record what was drawn.
#include "host.h"
#include "render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace hostsim {

namespace {

Window* LiveWindow(XPLMWindowID id) {
    for (auto& w : H().windows) {
        if (w.get() == id) return w->alive ? w.get() : nullptr;
    }
    return nullptr;
}

Window* WindowAt(int index) {
    Host& h = H();
    if (index < 0 || index >= static_cast<int>(h.windows.size())) return nullptr;
    Window* w = h.windows[static_cast<size_t>(index)].get();
    return w->alive ? w : nullptr;
}

XPLMWindowID NewWindow(const XPLMCreateWindow_t& p, bool modern) {
    Host& h = H();
    auto w = std::make_unique<Window>();
    w->index = static_cast<int>(h.windows.size());
    w->left = p.left;
    w->top = p.top;
    w->right = p.right;
    w->bottom = p.bottom;
    w->visible = p.visible != 0;
    w->draw = p.drawWindowFunc;
    w->click = p.handleMouseClickFunc;
    w->key = p.handleKeyFunc;
    w->cursor = p.handleCursorFunc;
    w->wheel = p.handleMouseWheelFunc;
    w->refcon = p.refcon;
    w->modern = modern;
    w->decoration = p.decorateAsFloatingWindow;
    w->layer = p.layer;
    w->right_click = p.handleRightClickFunc;
    w->created_at = h.now;
    w->created_frame = h.frame;
    w->z = ++h.z_counter;
    Window* raw = w.get();
    h.windows.push_back(std::move(w));
    return raw;
}

void KillWindow(Window* w) {
    Host& h = H();
    w->alive = false;
    w->destroyed_at = h.now;
    w->destroyed_frame = h.frame;
    if (h.keyboard_focus == w) h.keyboard_focus = nullptr;
}

} // namespace

void DrawWindows() {
    Host& h = H();
    h.drawn_text.clear();
    h.drawn_boxes.clear();
    // Draw callbacks, then windows and widget trees back to front; a callback may create or
    // destroy windows and widgets.
    const auto callbacks = h.draw_callbacks;
    for (const auto& c : callbacks) {
        if (c.before != 0) c.cb(c.phase, 1, c.refcon);
        c.cb(c.phase, 0, c.refcon);
    }
    struct Layer {
        long z;
        Window* window;
        XPWidgetID root;
    };
    std::vector<Layer> order;
    for (auto& w : h.windows) {
        if (w->alive && w->visible && w->draw != nullptr) order.push_back({w->z, w.get(), nullptr});
    }
    for (const auto& [z, root] : VisibleRootWidgets())
        order.push_back({z, nullptr, root});
    std::sort(order.begin(), order.end(), [](const Layer& a, const Layer& b) { return a.z < b.z; });
    for (const Layer& layer : order) {
        if (layer.root != nullptr) {
            DrawWidgetTree(layer.root);
            continue;
        }
        Window* w = layer.window;
        if (!w->alive || !w->visible || w->draw == nullptr) continue;
        h.drawing_window = w->index;
        w->draw(w, w->refcon);
        h.drawing_window = -1;
    }
}

bool Mouse(int x, int y, int status) {
    Host& h = H();
    h.mouse_x = x;
    h.mouse_y = y;
    if (status == xplm_MouseDown) {
        h.mouse_window = -1;
        h.mouse_widget = nullptr;
        // The front-most window or widget tree under the mouse takes the click.
        long best_z = -1;
        for (auto& w : h.windows) {
            if (w->alive && w->visible && w->z > best_z && x >= w->left && x < w->right && y <= w->top &&
                y > w->bottom) {
                best_z = w->z;
                h.mouse_window = w->index;
            }
        }
        for (const auto& [z, root] : VisibleRootWidgets()) {
            if (z <= best_z) continue;
            if (XPWidgetID hit = WidgetForMouse(root, x, y)) {
                best_z = z;
                h.mouse_window = -1;
                h.mouse_widget = hit;
            }
        }
    }
    if (h.mouse_widget != nullptr) {
        XPMouseState_t state{x, y, 0, 0};
        const XPWidgetMessage msg = status == xplm_MouseDown   ? xpMsg_MouseDown
                                    : status == xplm_MouseDrag ? xpMsg_MouseDrag
                                                               : xpMsg_MouseUp;
        const int handled =
            XPSendMessageToWidget(h.mouse_widget, msg, xpMode_UpChain, reinterpret_cast<intptr_t>(&state), 0);
        if (status == xplm_MouseUp) h.mouse_widget = nullptr;
        return handled != 0;
    }
    if (h.mouse_window >= 0) {
        const int index = h.mouse_window;
        if (status == xplm_MouseUp) h.mouse_window = -1;
        return ClickWindow(index, x, y, status);
    }
    return false;
}

bool Click(int x, int y) {
    const bool down = Mouse(x, y, xplm_MouseDown);
    const bool up = Mouse(x, y, xplm_MouseUp);
    return down || up;
}

bool Drag(int x1, int y1, int x2, int y2) {
    bool taken = Mouse(x1, y1, xplm_MouseDown);
    const int steps = 8;
    for (int k = 1; k <= steps; ++k)
        Mouse(x1 + (x2 - x1) * k / steps, y1 + (y2 - y1) * k / steps, xplm_MouseDrag);
    taken = Mouse(x2, y2, xplm_MouseUp) || taken;
    return taken;
}

bool PressKey(char key, int flags, char vkey) {
    Host& h = H();
    for (auto& w : h.windows) {
        if (w.get() != h.keyboard_focus || !w->alive || w->key == nullptr) continue;
        w->key(w.get(), key, flags, vkey, w->refcon, 0);
        w->key(w.get(), key, flags | xplm_UpFlag, vkey, w->refcon, 0);
        return true;
    }
    return false;
}

void SetInterfaceTexture(bool available) {
    H().interface_texture = available;
}

std::vector<WindowInfo> Windows() {
    std::vector<WindowInfo> out;
    for (const auto& w : H().windows) {
        WindowInfo i;
        i.index = w->index;
        i.left = w->left;
        i.top = w->top;
        i.right = w->right;
        i.bottom = w->bottom;
        i.visible = w->visible;
        i.alive = w->alive;
        i.modern = w->modern;
        i.created_at = w->created_at;
        i.created_frame = w->created_frame;
        i.destroyed_at = w->destroyed_at;
        i.destroyed_frame = w->destroyed_frame;
        out.push_back(i);
    }
    return out;
}

bool ClickWindow(int index, int x, int y, int status) {
    Window* w = WindowAt(index);
    if (w == nullptr || w->click == nullptr) return false;
    return w->click(w, x, y, status, w->refcon) != 0;
}

bool KeyWindow(int index, char key, int flags, char vkey, bool losing_focus) {
    Window* w = WindowAt(index);
    if (w == nullptr || w->key == nullptr) return false;
    w->key(w, key, flags, vkey, w->refcon, losing_focus ? 1 : 0);
    return true;
}

std::vector<DrawnText> LastDrawnText() {
    return H().drawn_text;
}
std::vector<DrawnBox> LastDrawnBoxes() {
    return H().drawn_boxes;
}

void SetScreenSize(int width, int height) {
    H().screen_w = width;
    H().screen_h = height;
}

void SetMouseLocation(int x, int y) {
    H().mouse_x = x;
    H().mouse_y = y;
}

} // namespace hostsim

using hostsim::H;
using hostsim::Window;

int XPLMRegisterDrawCallback(XPLMDrawCallback_f inCallback, XPLMDrawingPhase inPhase, int inWantsBefore,
                             void* inRefcon) {
    if (inCallback == nullptr) return 0;
    H().draw_callbacks.push_back({inCallback, inPhase, inWantsBefore, inRefcon});
    return 1;
}

int XPLMUnregisterDrawCallback(XPLMDrawCallback_f inCallback, XPLMDrawingPhase inPhase, int inWantsBefore,
                               void* inRefcon) {
    auto& v = H().draw_callbacks;
    for (auto it = v.begin(); it != v.end(); ++it) {
        if (it->cb == inCallback && it->phase == inPhase && it->before == inWantsBefore &&
            it->refcon == inRefcon) {
            v.erase(it);
            return 1;
        }
    }
    return 0;
}

XPLMWindowID XPLMCreateWindow(int inLeft, int inTop, int inRight, int inBottom, int inIsVisible,
                              XPLMDrawWindow_f inDrawCallback, XPLMHandleKey_f inKeyCallback,
                              XPLMHandleMouseClick_f inMouseCallback, void* inRefcon) {
    XPLMCreateWindow_t p{};
    p.structSize = static_cast<int>(sizeof(p));
    p.left = inLeft;
    p.top = inTop;
    p.right = inRight;
    p.bottom = inBottom;
    p.visible = inIsVisible;
    p.drawWindowFunc = inDrawCallback;
    p.handleKeyFunc = inKeyCallback;
    p.handleMouseClickFunc = inMouseCallback;
    p.refcon = inRefcon;
    return hostsim::NewWindow(p, false);
}

XPLMWindowID XPLMCreateWindowEx(XPLMCreateWindow_t* inParams) {
    if (inParams == nullptr || inParams->structSize < XPLM_CREATE_WINDOW_T_LEGACY_SIZE) return nullptr;
    // Read only the fields of the caller's struct version.
    XPLMCreateWindow_t p{};
    std::memcpy(&p, inParams, std::min(sizeof(p), static_cast<size_t>(inParams->structSize)));
    return hostsim::NewWindow(p, inParams->structSize > XPLM_CREATE_WINDOW_T_LEGACY_SIZE);
}

void XPLMDestroyWindow(XPLMWindowID inWindowID) {
    Window* w = hostsim::LiveWindow(inWindowID);
    if (w != nullptr) hostsim::KillWindow(w);
}

void XPLMGetScreenSize(int* outWidth, int* outHeight) {
    if (outWidth != nullptr) *outWidth = H().screen_w;
    if (outHeight != nullptr) *outHeight = H().screen_h;
}

void XPLMGetScreenBoundsGlobal(int* outLeft, int* outTop, int* outRight, int* outBottom) {
    if (outLeft != nullptr) *outLeft = 0;
    if (outTop != nullptr) *outTop = H().screen_h;
    if (outRight != nullptr) *outRight = H().screen_w;
    if (outBottom != nullptr) *outBottom = 0;
}

void XPLMGetAllMonitorBoundsGlobal(XPLMReceiveMonitorBoundsGlobal_f inMonitorBoundsCallback, void* inRefcon) {
    if (inMonitorBoundsCallback != nullptr)
        inMonitorBoundsCallback(0, 0, H().screen_h, H().screen_w, 0, inRefcon);
}

void XPLMGetAllMonitorBoundsOS(XPLMReceiveMonitorBoundsOS_f inMonitorBoundsCallback, void* inRefcon) {
    if (inMonitorBoundsCallback != nullptr)
        inMonitorBoundsCallback(0, 0, H().screen_h, H().screen_w, 0, inRefcon);
}

void XPLMGetMouseLocation(int* outX, int* outY) {
    if (outX != nullptr) *outX = H().mouse_x;
    if (outY != nullptr) *outY = H().mouse_y;
}

void XPLMGetMouseLocationGlobal(int* outX, int* outY) {
    XPLMGetMouseLocation(outX, outY);
}

void XPLMGetWindowGeometry(XPLMWindowID inWindowID, int* outLeft, int* outTop, int* outRight,
                           int* outBottom) {
    Window* w = hostsim::LiveWindow(inWindowID);
    if (w == nullptr) return;
    if (outLeft != nullptr) *outLeft = w->left;
    if (outTop != nullptr) *outTop = w->top;
    if (outRight != nullptr) *outRight = w->right;
    if (outBottom != nullptr) *outBottom = w->bottom;
}

void XPLMSetWindowGeometry(XPLMWindowID inWindowID, int inLeft, int inTop, int inRight, int inBottom) {
    Window* w = hostsim::LiveWindow(inWindowID);
    if (w == nullptr) return;
    w->left = inLeft;
    w->top = inTop;
    w->right = inRight;
    w->bottom = inBottom;
}

void XPLMGetWindowGeometryOS(XPLMWindowID inWindowID, int* outLeft, int* outTop, int* outRight,
                             int* outBottom) {
    XPLMGetWindowGeometry(inWindowID, outLeft, outTop, outRight, outBottom);
}

void XPLMSetWindowGeometryOS(XPLMWindowID inWindowID, int inLeft, int inTop, int inRight, int inBottom) {
    XPLMSetWindowGeometry(inWindowID, inLeft, inTop, inRight, inBottom);
}

int XPLMGetWindowIsVisible(XPLMWindowID inWindowID) {
    Window* w = hostsim::LiveWindow(inWindowID);
    return (w != nullptr && w->visible) ? 1 : 0;
}

void XPLMSetWindowIsVisible(XPLMWindowID inWindowID, int inIsVisible) {
    Window* w = hostsim::LiveWindow(inWindowID);
    if (w != nullptr) w->visible = inIsVisible != 0;
}

int XPLMWindowIsPoppedOut(XPLMWindowID) {
    return 0;
}
void XPLMSetWindowGravity(XPLMWindowID, float, float, float, float) {}
void XPLMSetWindowResizingLimits(XPLMWindowID, int, int, int, int) {}
void XPLMSetWindowPositioningMode(XPLMWindowID, XPLMWindowPositioningMode, int) {}

void XPLMSetWindowTitle(XPLMWindowID inWindowID, const char* inWindowTitle) {
    Window* w = hostsim::LiveWindow(inWindowID);
    if (w != nullptr && inWindowTitle != nullptr) w->title = inWindowTitle;
}

void* XPLMGetWindowRefCon(XPLMWindowID inWindowID) {
    Window* w = hostsim::LiveWindow(inWindowID);
    return w != nullptr ? w->refcon : nullptr;
}

void XPLMSetWindowRefCon(XPLMWindowID inWindowID, void* inRefcon) {
    Window* w = hostsim::LiveWindow(inWindowID);
    if (w != nullptr) w->refcon = inRefcon;
}

void XPLMTakeKeyboardFocus(XPLMWindowID inWindow) {
    H().keyboard_focus = inWindow != nullptr ? hostsim::LiveWindow(inWindow) : nullptr;
}

int XPLMHasKeyboardFocus(XPLMWindowID inWindow) {
    return (inWindow != nullptr && H().keyboard_focus == inWindow) ? 1 : 0;
}

void XPLMBringWindowToFront(XPLMWindowID inWindow) {
    Window* w = hostsim::LiveWindow(inWindow);
    if (w != nullptr) w->z = ++H().z_counter;
}

int XPLMIsWindowInFront(XPLMWindowID inWindow) {
    Window* w = hostsim::LiveWindow(inWindow);
    if (w == nullptr) return 0;
    for (const auto& other : H().windows) {
        if (other->alive && other->visible && other->z > w->z) return 0;
    }
    return 1;
}

int XPLMRegisterKeySniffer(XPLMKeySniffer_f inCallback, int inBeforeWindows, void* inRefcon) {
    if (inCallback == nullptr) return 0;
    H().key_sniffers.push_back({inCallback, inBeforeWindows, inRefcon});
    return 1;
}

int XPLMUnregisterKeySniffer(XPLMKeySniffer_f inCallback, int inBeforeWindows, void* inRefcon) {
    auto& v = H().key_sniffers;
    for (auto it = v.begin(); it != v.end(); ++it) {
        if (it->cb == inCallback && it->before == inBeforeWindows && it->refcon == inRefcon) {
            v.erase(it);
            return 1;
        }
    }
    return 0;
}

XPLMHotKeyID XPLMRegisterHotKey(char, XPLMKeyFlags, const char*, XPLMHotKey_f, void*) {
    H().hot_keys.push_back(std::make_unique<int>(0));
    return H().hot_keys.back().get();
}

void XPLMUnregisterHotKey(XPLMHotKeyID) {}

// -------------------------------------------------------------------------------------------------
// Graphics: no drawing happens; text and boxes are recorded for the tests.

void XPLMSetGraphicsState(int, int, int, int, int, int, int) {}
void XPLMBindTexture2d(int, int) {}

void XPLMGenerateTextureNumbers(int* outTextureIDs, int inCount) {
    if (outTextureIDs == nullptr) return;
    for (int k = 0; k < inCount; ++k)
        outTextureIDs[k] = H().next_texture++;
}

int XPLMGetTexture(XPLMTextureID inTexture) {
    if (inTexture == xplm_Tex_GeneralInterface && !H().interface_texture) return 0;
    return 1 + inTexture;
}

void XPLMWorldToLocal(double inLatitude, double inLongitude, double inAltitude, double* outX, double* outY,
                      double* outZ) {
    if (outX != nullptr) *outX = inLongitude;
    if (outY != nullptr) *outY = inAltitude;
    if (outZ != nullptr) *outZ = -inLatitude;
}

void XPLMLocalToWorld(double inX, double inY, double inZ, double* outLatitude, double* outLongitude,
                      double* outAltitude) {
    if (outLatitude != nullptr) *outLatitude = -inZ;
    if (outLongitude != nullptr) *outLongitude = inX;
    if (outAltitude != nullptr) *outAltitude = inY;
}

void XPLMDrawTranslucentDarkBox(int inLeft, int inTop, int inRight, int inBottom) {
    hostsim::DrawnBox b;
    b.window = H().drawing_window;
    b.left = inLeft;
    b.top = inTop;
    b.right = inRight;
    b.bottom = inBottom;
    H().drawn_boxes.push_back(b);
}

void XPLMDrawString(float* inColorRGB, int inXOffset, int inYOffset, const char* inChar, int*,
                    XPLMFontID inFontID) {
    hostsim::DrawnText t;
    t.window = H().drawing_window;
    t.text = inChar != nullptr ? inChar : "";
    t.x = inXOffset;
    t.y = inYOffset;
    if (inColorRGB != nullptr) {
        for (int k = 0; k < 3; ++k)
            t.rgb[k] = inColorRGB[k];
    }
    t.font = inFontID;
    H().drawn_text.push_back(t);
    hostsim::RenderText(inColorRGB, inXOffset, inYOffset, inChar);
}

void XPLMDrawNumber(float* inColorRGB, int inXOffset, int inYOffset, double inValue, int inDigits,
                    int inDecimals, int inShowSign, XPLMFontID inFontID) {
    char text[64];
    const int width = inDigits + (inDecimals > 0 ? inDecimals + 1 : 0);
    std::snprintf(text, sizeof(text), inShowSign != 0 ? "%+*.*f" : "%*.*f", width,
                  inDecimals < 0 ? 0 : inDecimals, inValue);
    XPLMDrawString(inColorRGB, inXOffset, inYOffset, text, nullptr, inFontID);
}

// The basic font is treated as 8 x 12 pixel monospace.
void XPLMGetFontDimensions(XPLMFontID, int* outCharWidth, int* outCharHeight, int* outDigitsOnly) {
    if (outCharWidth != nullptr) *outCharWidth = 8;
    if (outCharHeight != nullptr) *outCharHeight = 12;
    if (outDigitsOnly != nullptr) *outDigitsOnly = 0;
}

float XPLMMeasureString(XPLMFontID, const char* inChar, int inNumChars) {
    if (inChar == nullptr || inNumChars <= 0) return 0.0f;
    return 8.0f * static_cast<float>(inNumChars);
}
