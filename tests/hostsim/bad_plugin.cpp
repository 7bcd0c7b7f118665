// A plug-in that references a host function the stand-in does not have: loading must fail the
// way the simulator's does (dlopen with immediate binding).
#include "xplm_sdk.h"

extern "C" XPLM_API void XPLMNoSuchHostFunction(void);

PLUGIN_API int XPluginStart(char*, char*, char*) {
    XPLMNoSuchHostFunction();
    return 1;
}
PLUGIN_API int XPluginEnable(void) {
    return 1;
}
PLUGIN_API void XPluginDisable(void) {}
PLUGIN_API void XPluginStop(void) {}
PLUGIN_API void XPluginReceiveMessage(XPLMPluginID, int, void*) {}
