/* Widget types, generic properties, messages and the structures messages carry. */
#ifndef XP_WIDGET_DEFS_H
#define XP_WIDGET_DEFS_H

#include "XPLMDefs.h"

XPLM_BEGIN_DECLS

typedef void* XPWidgetID;

/* Property values and message parameters are pointer-wide and signed. */
typedef int XPWidgetPropertyID;
enum {
    xpProperty_Refcon = 0,
    xpProperty_Dragging = 1,
    xpProperty_DragXOff = 2,
    xpProperty_DragYOff = 3,
    xpProperty_Hilited = 4,
    xpProperty_Object = 5,
    xpProperty_Clip = 6,
    xpProperty_Enabled = 7,
    xpProperty_UserStart = 10000
};

typedef struct {
    int x;
    int y;
    int button; /* 0 = left; the wheel axis for wheel messages */
    int delta;  /* wheel clicks */
} XPMouseState_t;

typedef struct {
    char key;
    XPLMKeyFlags flags;
    char vkey;
} XPKeyState_t;

typedef struct {
    int dx;
    int dy; /* positive = moved up */
    int dwidth;
    int dheight;
} XPWidgetGeometryChange_t;

typedef int XPDispatchMode;
enum {
    xpMode_Direct = 0,
    xpMode_UpChain = 1,
    xpMode_Recursive = 2,
    xpMode_DirectAllCallbacks = 3,
    xpMode_Once = 4
};

typedef int XPWidgetClass;
#define xpWidgetClass_None 0

typedef int XPWidgetMessage;
enum {
    xpMsg_None = 0,
    xpMsg_Create = 1,
    xpMsg_Destroy = 2,
    xpMsg_Paint = 3,
    xpMsg_Draw = 4,
    xpMsg_KeyPress = 5,
    xpMsg_KeyTakeFocus = 6,
    xpMsg_KeyLoseFocus = 7,
    xpMsg_MouseDown = 8,
    xpMsg_MouseDrag = 9,
    xpMsg_MouseUp = 10,
    xpMsg_Reshape = 11,
    xpMsg_ExposedChanged = 12,
    xpMsg_AcceptChild = 13,
    xpMsg_LoseChild = 14,
    xpMsg_AcceptParent = 15,
    xpMsg_Shown = 16,
    xpMsg_Hidden = 17,
    xpMsg_DescriptorChanged = 18,
    xpMsg_PropertyChanged = 19,
    xpMsg_MouseWheel = 20,
    xpMsg_CursorAdjust = 21,
    xpMsg_UserStart = 10000
};

/* Return 1 when the message was handled, 0 otherwise (always 0 for unknown messages). */
typedef int (*XPWidgetFunc_t)(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                              intptr_t inParam2);

XPLM_END_DECLS

XPLM_STATIC_ASSERT(sizeof(XPMouseState_t) == 16, "XPMouseState_t size");
XPLM_STATIC_ASSERT(offsetof(XPMouseState_t, delta) == 12, "XPMouseState_t.delta");
XPLM_STATIC_ASSERT(sizeof(XPKeyState_t) == 12, "XPKeyState_t size");
XPLM_STATIC_ASSERT(offsetof(XPKeyState_t, flags) == 4, "XPKeyState_t.flags");
XPLM_STATIC_ASSERT(offsetof(XPKeyState_t, vkey) == 8, "XPKeyState_t.vkey");
XPLM_STATIC_ASSERT(sizeof(XPWidgetGeometryChange_t) == 16, "XPWidgetGeometryChange_t size");
XPLM_STATIC_ASSERT(sizeof(intptr_t) == sizeof(void*), "widget parameters are pointer-wide");

#endif
