// Widgets: a tree of widgets with callbacks, properties and descriptors, and message dispatch.
// The standard classes the plug-in uses behave like the simulator's: a main window's close box
// sends xpMessage_CloseButtonPushed up the chain, a slider follows the mouse and sends
// xpMsg_ScrollBarSliderPositionChanged, captions, windows and scroll bars draw themselves.
#include "host.h"
#include "render.h"

#include <algorithm>
#include <cstring>

namespace hostsim {

namespace {

Widget* Live(XPWidgetID id) {
    if (id == nullptr) return nullptr;
    for (auto& w : H().widgets) {
        if (w.get() == id) return w->alive ? w.get() : nullptr;
    }
    return nullptr;
}

int StandardBehaviour(Widget* w, XPWidgetMessage msg, intptr_t p1, intptr_t p2);

int StandardClassFunc(XPWidgetMessage msg, XPWidgetID id, intptr_t p1, intptr_t p2) {
    Widget* w = Live(id);
    return w != nullptr ? StandardBehaviour(w, msg, p1, p2) : 0;
}

// Calls the widget's callbacks, newest first, until one handles the message (or all of them).
int Direct(Widget* w, XPWidgetMessage msg, intptr_t p1, intptr_t p2, bool all, bool first_only) {
    const std::vector<XPWidgetFunc_t> callbacks = w->callbacks; // a callback may add or destroy
    int handled = 0;
    for (XPWidgetFunc_t cb : callbacks) {
        if (!w->alive) break;
        if (cb(msg, w, p1, p2) != 0) {
            handled = 1;
            if (!all) break;
        }
        if (first_only) break;
    }
    return handled;
}

int Dispatch(Widget* w, XPWidgetMessage msg, XPDispatchMode mode, intptr_t p1, intptr_t p2) {
    switch (mode) {
    case xpMode_Direct:
        return Direct(w, msg, p1, p2, false, false);
    case xpMode_DirectAllCallbacks:
        return Direct(w, msg, p1, p2, true, false);
    case xpMode_Once:
        return Direct(w, msg, p1, p2, false, true);
    case xpMode_UpChain:
        for (Widget* cur = w; cur != nullptr; cur = cur->parent) {
            if (cur->alive && Direct(cur, msg, p1, p2, false, false) != 0) return 1;
        }
        return 0;
    case xpMode_Recursive: {
        int handled = Direct(w, msg, p1, p2, false, false);
        const std::vector<Widget*> children = w->children;
        for (Widget* c : children) {
            if (c->alive && Dispatch(c, msg, xpMode_Recursive, p1, p2) != 0) handled = 1;
        }
        return handled;
    }
    default:
        return 0;
    }
}

void Detach(Widget* w) {
    Widget* parent = w->parent;
    if (parent == nullptr) return;
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
    w->parent = nullptr;
    if (parent->alive) Direct(parent, xpMsg_LoseChild, reinterpret_cast<intptr_t>(w), 0, false, false);
}

void Attach(Widget* w, Widget* parent) {
    w->parent = parent;
    parent->children.push_back(w);
    Direct(parent, xpMsg_AcceptChild, reinterpret_cast<intptr_t>(w), 0, false, false);
    Direct(w, xpMsg_AcceptParent, reinterpret_cast<intptr_t>(parent), 0, false, false);
}

XPWidgetID NewWidget(int left, int top, int right, int bottom, int visible, const char* descriptor,
                     int is_root, XPWidgetID container, int cls, XPWidgetFunc_t cb) {
    Host& h = H();
    auto w = std::make_unique<Widget>();
    Widget* raw = w.get();
    raw->id = raw;
    raw->left = left;
    raw->top = top;
    raw->right = right;
    raw->bottom = bottom;
    raw->visible = visible != 0;
    raw->descriptor = descriptor != nullptr ? descriptor : "";
    raw->is_root = is_root != 0;
    raw->widget_class = cls;
    raw->callbacks.push_back(cb);
    raw->z = ++h.z_counter;
    h.widgets.push_back(std::move(w));
    Direct(raw, xpMsg_Create, 0, 0, false, false);
    Widget* parent = Live(container);
    if (raw->alive && parent != nullptr) Attach(raw, parent);
    return raw;
}

bool Contains(const Widget* w, int x, int y) {
    return x >= w->left && x < w->right && y <= w->top && y > w->bottom;
}

intptr_t Property(const Widget* w, int id, intptr_t def = 0) {
    auto it = w->properties.find(id);
    return it != w->properties.end() ? it->second : def;
}

// Close box of a main window: 16 pixels square in the title bar's right end.
bool InCloseBox(const Widget* w, int x, int y) {
    return x >= w->right - 20 && x < w->right - 4 && y <= w->top - 1 && y > w->top - 17;
}

void MoveSlider(Widget* w, int x) {
    const intptr_t lo = Property(w, xpProperty_ScrollBarMin), hi = Property(w, xpProperty_ScrollBarMax, 100);
    const int span = std::max(1, w->right - w->left - 8);
    intptr_t pos = lo + (static_cast<intptr_t>(x - w->left - 4) * (hi - lo) + span / 2) / span;
    pos = std::clamp(pos, std::min(lo, hi), std::max(lo, hi));
    if (pos == Property(w, xpProperty_ScrollBarSliderPosition)) return;
    XPSetWidgetProperty(w, xpProperty_ScrollBarSliderPosition, pos);
    Dispatch(w, xpMsg_ScrollBarSliderPositionChanged, xpMode_UpChain, reinterpret_cast<intptr_t>(w), 0);
}

int StandardBehaviour(Widget* w, XPWidgetMessage msg, intptr_t p1, intptr_t) {
    const auto* mouse = reinterpret_cast<const XPMouseState_t*>(p1);
    switch (w->widget_class) {
    case xpWidgetClass_MainWindow:
        if (msg == xpMsg_Draw) {
            XPDrawWindow(w->left, w->bottom, w->right, w->top, xpWindow_MainWindow);
            float white[3] = {1, 1, 1};
            XPLMDrawString(white, w->left + 8, w->top - 14, const_cast<char*>(w->descriptor.c_str()), nullptr,
                           xplmFont_Proportional);
            if (Property(w, xpProperty_MainWindowHasCloseBoxes))
                XPDrawElement(w->right - 20, w->top - 17, w->right - 4, w->top - 1, xpElement_WindowCloseBox,
                              0);
            return 1;
        }
        if (msg == xpMsg_MouseDown && mouse != nullptr) {
            if (Property(w, xpProperty_MainWindowHasCloseBoxes) && InCloseBox(w, mouse->x, mouse->y))
                Dispatch(w, xpMessage_CloseButtonPushed, xpMode_UpChain, reinterpret_cast<intptr_t>(w), 0);
            return 1; // a window takes every click that reaches it
        }
        return 0;
    case xpWidgetClass_Caption:
        if (msg == xpMsg_Draw) {
            float text[3] = {0.05f, 0.05f, 0.08f};
            XPLMDrawString(text, w->left, (w->top + w->bottom) / 2 - 4,
                           const_cast<char*>(w->descriptor.c_str()), nullptr, xplmFont_Proportional);
            return 1;
        }
        return 0;
    case xpWidgetClass_ScrollBar:
        if (msg == xpMsg_Draw) {
            XPDrawTrack(w->left, w->bottom, w->right, w->top,
                        static_cast<int>(Property(w, xpProperty_ScrollBarMin)),
                        static_cast<int>(Property(w, xpProperty_ScrollBarMax, 100)),
                        static_cast<int>(Property(w, xpProperty_ScrollBarSliderPosition)),
                        Property(w, xpProperty_ScrollBarType) == xpScrollBarTypeSlider ? xpTrack_Slider
                                                                                       : xpTrack_ScrollBar,
                        0);
            return 1;
        }
        if ((msg == xpMsg_MouseDown || msg == xpMsg_MouseDrag) && mouse != nullptr) {
            MoveSlider(w, mouse->x);
            return 1;
        }
        return msg == xpMsg_MouseUp ? 1 : 0;
    case xpWidgetClass_SubWindow:
        if (msg == xpMsg_Draw) {
            XPDrawWindow(w->left, w->bottom, w->right, w->top, xpWindow_SubWindow);
            return 1;
        }
        return 0;
    case xpWidgetClass_Button:
        if (msg == xpMsg_Draw) {
            XPDrawElement(w->left, w->bottom, w->right, w->top, xpElement_PushButton, 0);
            float text[3] = {1, 1, 1};
            XPLMDrawString(text, w->left + 4, (w->top + w->bottom) / 2 - 4,
                           const_cast<char*>(w->descriptor.c_str()), nullptr, xplmFont_Proportional);
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

void DrawTree(Widget* w) {
    if (!w->alive || !w->visible) return;
    Direct(w, xpMsg_Draw, 0, 0, false, false);
    const std::vector<Widget*> children = w->children;
    for (Widget* c : children)
        DrawTree(c);
}

// The front-most visible widget under (x, y) inside w, w itself when no child is.
Widget* DeepestAt(Widget* w, int x, int y) {
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Widget* c = *it;
        if (c->alive && c->visible && Contains(c, x, y)) return DeepestAt(c, x, y);
    }
    return w;
}

void DestroyTree(Widget* w, int via_parent, bool destroy_children) {
    Host& h = H();
    Direct(w, xpMsg_Destroy, via_parent, 0, false, false);
    const std::vector<Widget*> children = w->children;
    for (Widget* c : children) {
        if (!c->alive) continue;
        if (destroy_children) {
            DestroyTree(c, 1, true);
        } else {
            c->parent = nullptr;
        }
    }
    w->children.clear();
    if (w->parent != nullptr) {
        auto& siblings = w->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
        w->parent = nullptr;
    }
    w->alive = false;
    w->callbacks.clear();
    if (h.widget_focus == w) h.widget_focus = nullptr;
}

} // namespace

void DestroyAllWidgetsSilently() {
    Host& h = H();
    for (auto& w : h.widgets) {
        w->alive = false;
        w->callbacks.clear();
        w->children.clear();
        w->parent = nullptr;
    }
    h.widget_focus = nullptr;
}

std::vector<std::pair<long, XPWidgetID>> VisibleRootWidgets() {
    std::vector<std::pair<long, XPWidgetID>> out;
    for (auto& w : H().widgets)
        if (w->alive && w->is_root && w->visible) out.emplace_back(w->z, w.get());
    return out;
}

void DrawWidgetTree(XPWidgetID root) {
    if (Widget* w = Live(root)) DrawTree(w);
}

XPWidgetID WidgetForMouse(XPWidgetID root, int x, int y) {
    Widget* w = Live(root);
    if (w == nullptr || !Contains(w, x, y)) return nullptr;
    return DeepestAt(w, x, y);
}

std::vector<WidgetInfo> Widgets() {
    std::vector<WidgetInfo> out;
    for (const auto& w : H().widgets) {
        if (!w->alive) continue;
        WidgetInfo i;
        i.id = w.get();
        i.descriptor = w->descriptor;
        i.left = w->left;
        i.top = w->top;
        i.right = w->right;
        i.bottom = w->bottom;
        i.visible = w->visible;
        i.is_root = w->is_root;
        i.widget_class = w->widget_class;
        i.parent = w->parent;
        out.push_back(i);
    }
    return out;
}

} // namespace hostsim

using hostsim::H;
using hostsim::Widget;

XPWidgetID XPCreateWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                          const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                          XPWidgetClass inClass) {
    return hostsim::NewWidget(inLeft, inTop, inRight, inBottom, inVisible, inDescriptor, inIsRoot,
                              inContainer, inClass, hostsim::StandardClassFunc);
}

XPWidgetID XPCreateCustomWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                                const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                                XPWidgetFunc_t inCallback) {
    if (inCallback == nullptr) return nullptr;
    return hostsim::NewWidget(inLeft, inTop, inRight, inBottom, inVisible, inDescriptor, inIsRoot,
                              inContainer, -1, inCallback);
}

void XPDestroyWidget(XPWidgetID inWidget, int inDestroyChildren) {
    Widget* w = hostsim::Live(inWidget);
    if (w != nullptr) hostsim::DestroyTree(w, 0, inDestroyChildren != 0);
}

int XPSendMessageToWidget(XPWidgetID inWidget, XPWidgetMessage inMessage, XPDispatchMode inMode,
                          intptr_t inParam1, intptr_t inParam2) {
    Widget* w = hostsim::Live(inWidget);
    return w != nullptr ? hostsim::Dispatch(w, inMessage, inMode, inParam1, inParam2) : 0;
}

void XPPlaceWidgetWithin(XPWidgetID inSubWidget, XPWidgetID inContainer) {
    Widget* w = hostsim::Live(inSubWidget);
    if (w == nullptr || w->is_root) return;
    Widget* parent = hostsim::Live(inContainer);
    // Refuse cycles: the new container must not sit inside the widget.
    for (Widget* p = parent; p != nullptr; p = p->parent) {
        if (p == w) return;
    }
    hostsim::Detach(w);
    if (parent != nullptr) hostsim::Attach(w, parent);
}

int XPCountChildWidgets(XPWidgetID inWidget) {
    Widget* w = hostsim::Live(inWidget);
    return w != nullptr ? static_cast<int>(w->children.size()) : 0;
}

XPWidgetID XPGetNthChildWidget(XPWidgetID inWidget, int inIndex) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr || inIndex < 0 || inIndex >= static_cast<int>(w->children.size())) return nullptr;
    return w->children[static_cast<size_t>(inIndex)];
}

XPWidgetID XPGetParentWidget(XPWidgetID inWidget) {
    Widget* w = hostsim::Live(inWidget);
    return w != nullptr ? w->parent : nullptr;
}

void XPShowWidget(XPWidgetID inWidget) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr || w->visible) return;
    w->visible = true;
    hostsim::Dispatch(w, xpMsg_Shown, xpMode_UpChain, reinterpret_cast<intptr_t>(w), 0);
}

void XPHideWidget(XPWidgetID inWidget) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr || !w->visible) return;
    w->visible = false;
    hostsim::Dispatch(w, xpMsg_Hidden, xpMode_UpChain, reinterpret_cast<intptr_t>(w), 0);
}

int XPIsWidgetVisible(XPWidgetID inWidget) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr) return 0;
    for (Widget* cur = w; cur != nullptr; cur = cur->parent) {
        if (!cur->visible) return 0;
    }
    // A tree that does not end in a root is not on screen.
    Widget* top = w;
    while (top->parent != nullptr)
        top = top->parent;
    return top->is_root ? 1 : 0;
}

XPWidgetID XPFindRootWidget(XPWidgetID inWidget) {
    Widget* w = hostsim::Live(inWidget);
    while (w != nullptr && !w->is_root)
        w = w->parent;
    return w;
}

void XPBringRootWidgetToFront(XPWidgetID inWidget) {
    Widget* root = static_cast<Widget*>(XPFindRootWidget(inWidget));
    if (root != nullptr) root->z = ++H().z_counter;
}

int XPIsWidgetInFront(XPWidgetID inWidget) {
    Widget* root = static_cast<Widget*>(XPFindRootWidget(inWidget));
    if (root == nullptr) return 0;
    for (const auto& w : H().widgets) {
        if (w->alive && w->is_root && w->visible && w->z > root->z) return 0;
    }
    return 1;
}

void XPGetWidgetGeometry(XPWidgetID inWidget, int* outLeft, int* outTop, int* outRight, int* outBottom) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr) return;
    if (outLeft != nullptr) *outLeft = w->left;
    if (outTop != nullptr) *outTop = w->top;
    if (outRight != nullptr) *outRight = w->right;
    if (outBottom != nullptr) *outBottom = w->bottom;
}

void XPSetWidgetGeometry(XPWidgetID inWidget, int inLeft, int inTop, int inRight, int inBottom) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr) return;
    XPWidgetGeometryChange_t change;
    change.dx = inLeft - w->left;
    change.dy = inTop - w->top;
    change.dwidth = (inRight - inLeft) - (w->right - w->left);
    change.dheight = (inTop - inBottom) - (w->top - w->bottom);
    if (change.dx == 0 && change.dy == 0 && change.dwidth == 0 && change.dheight == 0) return;
    w->left = inLeft;
    w->top = inTop;
    w->right = inRight;
    w->bottom = inBottom;
    hostsim::Dispatch(w, xpMsg_Reshape, xpMode_UpChain, reinterpret_cast<intptr_t>(w),
                      reinterpret_cast<intptr_t>(&change));
}

XPWidgetID XPGetWidgetForLocation(XPWidgetID inContainer, int inXOffset, int inYOffset, int inRecursive,
                                  int inVisibleOnly) {
    Widget* w = hostsim::Live(inContainer);
    if (w == nullptr || !hostsim::Contains(w, inXOffset, inYOffset)) return nullptr;
    if (inVisibleOnly != 0 && !w->visible) return nullptr;
    // Later children lie on top.
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Widget* c = *it;
        if (!c->alive || (inVisibleOnly != 0 && !c->visible) || !hostsim::Contains(c, inXOffset, inYOffset)) {
            continue;
        }
        if (inRecursive == 0) return c;
        return XPGetWidgetForLocation(c, inXOffset, inYOffset, 1, inVisibleOnly);
    }
    return w;
}

void XPGetWidgetExposedGeometry(XPWidgetID inWidgetID, int* outLeft, int* outTop, int* outRight,
                                int* outBottom) {
    XPGetWidgetGeometry(inWidgetID, outLeft, outTop, outRight, outBottom);
}

void XPSetWidgetDescriptor(XPWidgetID inWidget, const char* inDescriptor) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr) return;
    w->descriptor = inDescriptor != nullptr ? inDescriptor : "";
    hostsim::Dispatch(w, xpMsg_DescriptorChanged, xpMode_Direct, 0, 0);
}

int XPGetWidgetDescriptor(XPWidgetID inWidget, char* outDescriptor, int inMaxDescLength) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr) return 0;
    const int length = static_cast<int>(w->descriptor.size());
    if (outDescriptor != nullptr && inMaxDescLength > 0) {
        // strncpy semantics: no terminator when the text fills the buffer.
        const int n = std::min(length, inMaxDescLength);
        std::memcpy(outDescriptor, w->descriptor.data(), static_cast<size_t>(n));
        if (n < inMaxDescLength) outDescriptor[n] = '\0';
    }
    return length;
}

XPLMWindowID XPGetWidgetUnderlyingWindow(XPWidgetID) {
    return nullptr;
}

void XPSetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, intptr_t inValue) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr) return;
    w->properties[inProperty] = inValue;
    hostsim::Dispatch(w, xpMsg_PropertyChanged, xpMode_Direct, inProperty, inValue);
}

intptr_t XPGetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, int* inExists) {
    Widget* w = hostsim::Live(inWidget);
    auto it = w != nullptr ? w->properties.find(inProperty) : std::map<int, intptr_t>::iterator{};
    const bool exists = w != nullptr && it != w->properties.end();
    if (inExists != nullptr) *inExists = exists ? 1 : 0;
    return exists ? it->second : 0;
}

XPWidgetID XPSetKeyboardFocus(XPWidgetID inWidget) {
    hostsim::Host& h = H();
    Widget* w = hostsim::Live(inWidget);
    Widget* old = h.widget_focus;
    if (old == w) return w;
    if (old != nullptr && old->alive)
        hostsim::Direct(old, xpMsg_KeyLoseFocus, w != nullptr ? 1 : 0, 0, false, false);
    h.widget_focus = w;
    if (w != nullptr) hostsim::Direct(w, xpMsg_KeyTakeFocus, 0, 0, false, false);
    return h.widget_focus;
}

void XPLoseKeyboardFocus(XPWidgetID inWidget) {
    hostsim::Host& h = H();
    if (inWidget != nullptr && h.widget_focus == inWidget) XPSetKeyboardFocus(nullptr);
}

XPWidgetID XPGetWidgetWithFocus(void) {
    return H().widget_focus;
}

void XPAddWidgetCallback(XPWidgetID inWidget, XPWidgetFunc_t inNewCallback) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr || inNewCallback == nullptr) return;
    w->callbacks.insert(w->callbacks.begin(), inNewCallback);
    inNewCallback(xpMsg_Create, w, 1, 0);
}

XPWidgetFunc_t XPGetWidgetClassFunc(XPWidgetClass) {
    return hostsim::StandardClassFunc;
}

void XPUCreateWidgets(const XPWidgetCreate_t* inWidgetDefs, int inCount, XPWidgetID inParamParent,
                      XPWidgetID* ioWidgets) {
    if (inWidgetDefs == nullptr || ioWidgets == nullptr) return;
    for (int k = 0; k < inCount; ++k) {
        const XPWidgetCreate_t& d = inWidgetDefs[k];
        XPWidgetID container = nullptr;
        if (d.containerIndex == PARAM_PARENT) {
            container = inParamParent;
        } else if (d.containerIndex >= 0 && d.containerIndex < k) {
            container = ioWidgets[d.containerIndex];
        }
        ioWidgets[k] = XPCreateWidget(d.left, d.top, d.right, d.bottom, d.visible, d.descriptor, d.isRoot,
                                      container, d.widgetClass);
    }
}

void XPUMoveWidgetBy(XPWidgetID inWidget, int inDeltaX, int inDeltaY) {
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr) return;
    XPSetWidgetGeometry(w, w->left + inDeltaX, w->top + inDeltaY, w->right + inDeltaX, w->bottom + inDeltaY);
}

// Children keep their place relative to the widget when it moves.
int XPUFixedLayout(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1, intptr_t inParam2) {
    if (inMessage != xpMsg_Reshape || inParam1 != reinterpret_cast<intptr_t>(inWidget) || inParam2 == 0)
        return 0;
    Widget* w = hostsim::Live(inWidget);
    if (w == nullptr) return 0;
    const auto* change = reinterpret_cast<const XPWidgetGeometryChange_t*>(inParam2);
    const std::vector<Widget*> children = w->children;
    for (Widget* c : children)
        XPUMoveWidgetBy(c, change->dx, change->dy);
    return 1;
}

int XPUSelectIfNeeded(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t, intptr_t, int inEatClick) {
    if (inMessage != xpMsg_MouseDown || XPIsWidgetInFront(inWidget) != 0) return 0;
    XPBringRootWidgetToFront(inWidget);
    return inEatClick != 0 ? 1 : 0;
}

int XPUDefocusKeyboard(XPWidgetMessage inMessage, XPWidgetID, intptr_t, intptr_t, int inEatClick) {
    if (inMessage != xpMsg_MouseDown) return 0;
    XPSetKeyboardFocus(nullptr);
    return inEatClick != 0 ? 1 : 0;
}

int XPUDragWidget(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t, int, int, int, int) {
    return 0;
}

// Standard UI graphics: drawn only into pictures (hostsim::Screenshot).
void XPDrawWindow(int inX1, int inY1, int inX2, int inY2, XPWindowStyle inStyle) {
    hostsim::RenderWindowFrame(inX1, inY1, inX2, inY2, inStyle);
}

void XPGetWindowDefaultDimensions(XPWindowStyle, int* outWidth, int* outHeight) {
    if (outWidth != nullptr) *outWidth = 100;
    if (outHeight != nullptr) *outHeight = 100;
}

void XPDrawElement(int inX1, int inY1, int inX2, int inY2, XPElementStyle inStyle, int inLit) {
    hostsim::RenderElement(inX1, inY1, inX2, inY2, inStyle, inLit);
}

void XPGetElementDefaultDimensions(XPElementStyle, int* outWidth, int* outHeight, int* outCanBeLit) {
    if (outWidth != nullptr) *outWidth = 16;
    if (outHeight != nullptr) *outHeight = 16;
    if (outCanBeLit != nullptr) *outCanBeLit = 0;
}

void XPDrawTrack(int inX1, int inY1, int inX2, int inY2, int inMin, int inMax, int inValue, XPTrackStyle,
                 int) {
    hostsim::RenderTrack(inX1, inY1, inX2, inY2, inMin, inMax, inValue);
}

void XPGetTrackDefaultDimensions(XPTrackStyle, int* outWidth, int* outCanBeLit) {
    if (outWidth != nullptr) *outWidth = 16;
    if (outCanBeLit != nullptr) *outCanBeLit = 0;
}

void XPGetTrackMetrics(int inX1, int inY1, int inX2, int inY2, int, int, int, XPTrackStyle,
                       int* outIsVertical, int* outDownBtnSize, int* outDownPageSize, int* outThumbSize,
                       int* outUpPageSize, int* outUpBtnSize) {
    const bool vertical = (inY2 - inY1) > (inX2 - inX1);
    if (outIsVertical != nullptr) *outIsVertical = vertical ? 1 : 0;
    if (outDownBtnSize != nullptr) *outDownBtnSize = 0;
    if (outDownPageSize != nullptr) *outDownPageSize = 0;
    if (outThumbSize != nullptr) *outThumbSize = 0;
    if (outUpPageSize != nullptr) *outUpPageSize = 0;
    if (outUpBtnSize != nullptr) *outUpBtnSize = 0;
}
