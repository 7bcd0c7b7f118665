// Probes and objects: the stand-in has no scenery, so probes miss and objects are not found.
// The user's aircraft is whatever the test loaded (hostsim::LoadAircraft).
#include "host.h"
#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

void XPLMGetNthAircraftModel(int inIndex, char* outFileName, char* outPath) {
    // The simulator's buffers: 256 bytes for the name, 512 for the path.
    const std::string& path = hostsim::H().aircraft_path;
    const std::string use = inIndex == 0 ? path : std::string();
    // The name is the last part, after either separator the system takes ("Z:\x\B738.acf").
    size_t start = 0;
    for (size_t i = 0; i < use.size(); ++i)
        if (hostsim::platform::IsSeparator(use[i])) start = i + 1;
    const std::string name = use.substr(start);
    if (outFileName != nullptr) std::snprintf(outFileName, 256, "%s", name.c_str());
    if (outPath != nullptr) std::snprintf(outPath, 512, "%s", use.c_str());
}
