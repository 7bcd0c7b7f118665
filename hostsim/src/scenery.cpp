// Probes and objects: the stand-in has no scenery, so probes miss and objects are not found.
#include "host.h"

#include <cstdlib>

XPLMProbeRef XPLMCreateProbe(XPLMProbeType) {
    return std::malloc(1);
}

void XPLMDestroyProbe(XPLMProbeRef inProbe) {
    std::free(inProbe);
}

XPLMProbeResult XPLMProbeTerrainXYZ(XPLMProbeRef inProbe, float, float, float, XPLMProbeInfo_t*) {
    return inProbe != nullptr ? xplm_ProbeMissed : xplm_ProbeError;
}

XPLMObjectRef XPLMLoadObject(const char*) {
    return nullptr;
}

void XPLMLoadObjectAsync(const char*, XPLMObjectLoaded_f inCallback, void* inRefcon) {
    if (inCallback != nullptr) inCallback(nullptr, inRefcon);
}

void XPLMDrawObjects(XPLMObjectRef, int, XPLMDrawInfo_t*, int, int) {}
void XPLMUnloadObject(XPLMObjectRef) {}
int XPLMLookupObjects(const char*, float, float, XPLMLibraryEnumerator_f, void*) {
    return 0;
}
