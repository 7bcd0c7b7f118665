// Functions of the host's later interface generation (commands, features, probes,
// objects), looked up at run time in the host's own plug-in library. Every pointer
// stays empty when the host does not have it; callers test the command handle.
#pragma once

#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMPlugin.h"
#include "XPLMScenery.h"
#include "XPLMUtilities.h"

#include <cstddef>

using XPLMFindSymbol_t = void* (*)(const char*);
using XPLMCreateWindowEx_t = XPLMWindowID (*)(XPLMCreateWindow_t*);
using XPLMMeasureString_t = float (*)(XPLMFontID, const char*, int);
using XPLMCreateProbe_t = XPLMProbeRef (*)(XPLMProbeType);
using XPLMDestroyProbe_t = void (*)(XPLMProbeRef);
using XPLMProbeTerrainXYZ_t = XPLMProbeResult (*)(XPLMProbeRef, float, float, float, XPLMProbeInfo_t*);
using XPLMLoadObject_t = XPLMObjectRef (*)(const char*);
using XPLMDrawObjects_t = void (*)(XPLMObjectRef, int, XPLMDrawInfo_t*, int, int);
using XPLMUnloadObject_t = void (*)(XPLMObjectRef);
using XPLMLookupObjects_t = int (*)(const char*, float, float, XPLMLibraryEnumerator_f, void*);
using XPLMSetErrorCallback_t = void (*)(XPLMError_f);
using XPLMLoadDataFile_t = int (*)(XPLMDataFileType, const char*);
using XPLMSaveDataFile_t = int (*)(XPLMDataFileType, const char*);
using XPLMFindCommand_t = XPLMCommandRef (*)(const char*);
using XPLMCommandBegin_t = void (*)(XPLMCommandRef);
using XPLMCommandEnd_t = void (*)(XPLMCommandRef);
using XPLMCommandOnce_t = void (*)(XPLMCommandRef);
using XPLMCreateCommand_t = XPLMCommandRef (*)(const char*, const char*);
using XPLMRegisterCommandHandler_t = void (*)(XPLMCommandRef, XPLMCommandCallback_f, int, void*);
using XPLMUnregisterCommandHandler_t = void (*)(XPLMCommandRef, XPLMCommandCallback_f, int, void*);
using XPLMHasFeature_t = int (*)(const char*);
using XPLMIsFeatureEnabled_t = int (*)(const char*);
using XPLMEnableFeature_t = void (*)(const char*, int);
using XPLMEnumerateFeatures_t = void (*)(XPLMFeatureEnumerator_f, void*);

extern XPLMFindSymbol_t XPLMFindSymbol_ptr;
extern XPLMCreateWindowEx_t XPLMCreateWindowEx_ptr;
extern XPLMMeasureString_t XPLMMeasureString_ptr;
extern XPLMCreateProbe_t XPLMCreateProbe_ptr;
extern XPLMDestroyProbe_t XPLMDestroyProbe_ptr;
extern XPLMProbeTerrainXYZ_t XPLMProbeTerrainXYZ_ptr;
extern XPLMLoadObject_t XPLMLoadObject_ptr;
extern XPLMDrawObjects_t XPLMDrawObjects_ptr;
extern XPLMUnloadObject_t XPLMUnloadObject_ptr;
extern XPLMLookupObjects_t XPLMLookupObjects_ptr;
extern XPLMSetErrorCallback_t XPLMSetErrorCallback_ptr;
extern XPLMLoadDataFile_t XPLMLoadDataFile_ptr;
extern XPLMSaveDataFile_t XPLMSaveDataFile_ptr;
extern XPLMFindCommand_t XPLMFindCommand_ptr;
extern XPLMCommandBegin_t XPLMCommandBegin_ptr;
extern XPLMCommandEnd_t XPLMCommandEnd_ptr;
extern XPLMCommandOnce_t XPLMCommandOnce_ptr;
extern XPLMCreateCommand_t XPLMCreateCommand_ptr;
extern XPLMRegisterCommandHandler_t XPLMRegisterCommandHandler_ptr;
extern XPLMUnregisterCommandHandler_t XPLMUnregisterCommandHandler_ptr;
extern XPLMHasFeature_t XPLMHasFeature_ptr;
extern XPLMIsFeatureEnabled_t XPLMIsFeatureEnabled_ptr;
extern XPLMEnableFeature_t XPLMEnableFeature_ptr;
extern XPLMEnumerateFeatures_t XPLMEnumerateFeatures_ptr;

// Binds every pointer above from the library at path; 1 when XPLMFindSymbol was found.
int FoundSDK200(const char* path);
