#include "sdk_binding.h"

#include "paths.h"
#include "platform.h"

#include <cstdio>

XPLMFindSymbol_t XPLMFindSymbol_ptr = nullptr;
XPLMCreateWindowEx_t XPLMCreateWindowEx_ptr = nullptr;
XPLMMeasureString_t XPLMMeasureString_ptr = nullptr;
XPLMCreateProbe_t XPLMCreateProbe_ptr = nullptr;
XPLMDestroyProbe_t XPLMDestroyProbe_ptr = nullptr;
XPLMProbeTerrainXYZ_t XPLMProbeTerrainXYZ_ptr = nullptr;
XPLMLoadObject_t XPLMLoadObject_ptr = nullptr;
XPLMDrawObjects_t XPLMDrawObjects_ptr = nullptr;
XPLMUnloadObject_t XPLMUnloadObject_ptr = nullptr;
XPLMLookupObjects_t XPLMLookupObjects_ptr = nullptr;
XPLMSetErrorCallback_t XPLMSetErrorCallback_ptr = nullptr;
XPLMLoadDataFile_t XPLMLoadDataFile_ptr = nullptr;
XPLMSaveDataFile_t XPLMSaveDataFile_ptr = nullptr;
XPLMFindCommand_t XPLMFindCommand_ptr = nullptr;
XPLMCommandBegin_t XPLMCommandBegin_ptr = nullptr;
XPLMCommandEnd_t XPLMCommandEnd_ptr = nullptr;
XPLMCommandOnce_t XPLMCommandOnce_ptr = nullptr;
XPLMCreateCommand_t XPLMCreateCommand_ptr = nullptr;
XPLMRegisterCommandHandler_t XPLMRegisterCommandHandler_ptr = nullptr;
XPLMUnregisterCommandHandler_t XPLMUnregisterCommandHandler_ptr = nullptr;
XPLMHasFeature_t XPLMHasFeature_ptr = nullptr;
XPLMIsFeatureEnabled_t XPLMIsFeatureEnabled_ptr = nullptr;
XPLMEnableFeature_t XPLMEnableFeature_ptr = nullptr;
XPLMEnumerateFeatures_t XPLMEnumerateFeatures_ptr = nullptr;

namespace {

template <typename T> void Bind(T& pointer, XPLMFindSymbol_t find, const char* name) {
    pointer = find ? reinterpret_cast<T>(find(name)) : nullptr;
}

} // namespace

int FoundSDK200(const char* path) {
    void* library = XPLoadDLL(path);
    if (!library) return 0;
    // The library stays loaded: the bound functions are used until the plug-in unloads.
    XPLMFindSymbol_ptr = reinterpret_cast<XPLMFindSymbol_t>(XPFindSymbol(library, "XPLMFindSymbol"));
    const XPLMFindSymbol_t find = XPLMFindSymbol_ptr;
    Bind(XPLMCreateWindowEx_ptr, find, "XPLMCreateWindowEx");
    Bind(XPLMMeasureString_ptr, find, "XPLMMeasureString");
    Bind(XPLMCreateProbe_ptr, find, "XPLMCreateProbe");
    Bind(XPLMDestroyProbe_ptr, find, "XPLMDestroyProbe");
    Bind(XPLMProbeTerrainXYZ_ptr, find, "XPLMProbeTerrainXYZ");
    Bind(XPLMLoadObject_ptr, find, "XPLMLoadObject");
    Bind(XPLMDrawObjects_ptr, find, "XPLMDrawObjects");
    Bind(XPLMUnloadObject_ptr, find, "XPLMUnloadObject");
    Bind(XPLMLookupObjects_ptr, find, "XPLMLookupObjects");
    Bind(XPLMSetErrorCallback_ptr, find, "XPLMSetErrorCallback");
    Bind(XPLMLoadDataFile_ptr, find, "XPLMLoadDataFile");
    Bind(XPLMSaveDataFile_ptr, find, "XPLMSaveDataFile");
    Bind(XPLMFindCommand_ptr, find, "XPLMFindCommand");
    Bind(XPLMCommandBegin_ptr, find, "XPLMCommandBegin");
    Bind(XPLMCommandEnd_ptr, find, "XPLMCommandEnd");
    Bind(XPLMCommandOnce_ptr, find, "XPLMCommandOnce");
    Bind(XPLMCreateCommand_ptr, find, "XPLMCreateCommand");
    Bind(XPLMRegisterCommandHandler_ptr, find, "XPLMRegisterCommandHandler");
    Bind(XPLMUnregisterCommandHandler_ptr, find, "XPLMUnregisterCommandHandler");
    Bind(XPLMHasFeature_ptr, find, "XPLMHasFeature");
    Bind(XPLMIsFeatureEnabled_ptr, find, "XPLMIsFeatureEnabled");
    Bind(XPLMEnableFeature_ptr, find, "XPLMEnableFeature");
    Bind(XPLMEnumerateFeatures_ptr, find, "XPLMEnumerateFeatures");
    return find ? 1 : 0;
}
