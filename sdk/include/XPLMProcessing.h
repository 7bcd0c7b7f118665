/* Flight loops: callbacks the host runs on its main thread, once per frame or less often. */
#ifndef XPLM_PROCESSING_H
#define XPLM_PROCESSING_H

#include "XPLMDefs.h"

XPLM_BEGIN_DECLS

typedef int XPLMFlightLoopPhaseType;
enum { xplm_FlightLoop_Phase_BeforeFlightModel = 0, xplm_FlightLoop_Phase_AfterFlightModel = 1 };

typedef void* XPLMFlightLoopID;

/* Return > 0: seconds until the next call; < 0: frames until the next call (-1 = next frame);
 * 0: stop calling (the callback stays registered). */
typedef float (*XPLMFlightLoop_f)(float inElapsedSinceLastCall, float inElapsedTimeSinceLastFlightLoop,
                                  int inCounter, void* inRefcon);

typedef struct {
    int structSize;
    XPLMFlightLoopPhaseType phase;
    XPLMFlightLoop_f callbackFunc;
    void* refcon;
} XPLMCreateFlightLoop_t;

XPLM_API float XPLMGetElapsedTime(void);
XPLM_API int XPLMGetCycleNumber(void);
XPLM_API void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, float inInterval, void* inRefcon);
XPLM_API void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, void* inRefcon);
XPLM_API void XPLMSetFlightLoopCallbackInterval(XPLMFlightLoop_f inFlightLoop, float inInterval,
                                                int inRelativeToNow, void* inRefcon);
XPLM_API XPLMFlightLoopID XPLMCreateFlightLoop(XPLMCreateFlightLoop_t* inParams);
XPLM_API void XPLMDestroyFlightLoop(XPLMFlightLoopID inFlightLoopID);
XPLM_API void XPLMScheduleFlightLoop(XPLMFlightLoopID inFlightLoopID, float inInterval, int inRelativeToNow);

XPLM_END_DECLS

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
XPLM_STATIC_ASSERT(sizeof(XPLMCreateFlightLoop_t) == 24, "XPLMCreateFlightLoop_t size");
XPLM_STATIC_ASSERT(offsetof(XPLMCreateFlightLoop_t, phase) == 4, "XPLMCreateFlightLoop_t.phase");
XPLM_STATIC_ASSERT(offsetof(XPLMCreateFlightLoop_t, callbackFunc) == 8,
                   "XPLMCreateFlightLoop_t.callbackFunc");
XPLM_STATIC_ASSERT(offsetof(XPLMCreateFlightLoop_t, refcon) == 16, "XPLMCreateFlightLoop_t.refcon");
#endif

#endif
