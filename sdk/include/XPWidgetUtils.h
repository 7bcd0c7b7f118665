/* Table-driven widget creation and helper behaviours for widget callbacks. */
#ifndef XP_WIDGET_UTILS_H
#define XP_WIDGET_UTILS_H

#include "XPWidgetDefs.h"

XPLM_BEGIN_DECLS

#define NO_PARENT (-1)
#define PARAM_PARENT (-2)

typedef struct {
    int left;
    int top;
    int right;
    int bottom;
    int visible;
    const char* descriptor;
    int isRoot;
    int containerIndex; /* index into the table, or NO_PARENT / PARAM_PARENT */
    XPWidgetClass widgetClass;
} XPWidgetCreate_t;

WIDGET_API void XPUCreateWidgets(const XPWidgetCreate_t* inWidgetDefs, int inCount, XPWidgetID inParamParent,
                                 XPWidgetID* ioWidgets);
WIDGET_API void XPUMoveWidgetBy(XPWidgetID inWidget, int inDeltaX, int inDeltaY);
/* Same shape as a widget callback: may be attached with XPAddWidgetCallback. */
WIDGET_API int XPUFixedLayout(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                              intptr_t inParam2);
WIDGET_API int XPUSelectIfNeeded(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                                 intptr_t inParam2, int inEatClick);
WIDGET_API int XPUDefocusKeyboard(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                                  intptr_t inParam2, int inEatClick);
WIDGET_API int XPUDragWidget(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                             intptr_t inParam2, int inLeft, int inTop, int inRight, int inBottom);

XPLM_END_DECLS

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
XPLM_STATIC_ASSERT(sizeof(XPWidgetCreate_t) == 48, "XPWidgetCreate_t size");
XPLM_STATIC_ASSERT(offsetof(XPWidgetCreate_t, descriptor) == 24, "XPWidgetCreate_t.descriptor");
XPLM_STATIC_ASSERT(offsetof(XPWidgetCreate_t, isRoot) == 32, "XPWidgetCreate_t.isRoot");
XPLM_STATIC_ASSERT(offsetof(XPWidgetCreate_t, containerIndex) == 36, "XPWidgetCreate_t.containerIndex");
XPLM_STATIC_ASSERT(offsetof(XPWidgetCreate_t, widgetClass) == 40, "XPWidgetCreate_t.widgetClass");
#endif

#endif
