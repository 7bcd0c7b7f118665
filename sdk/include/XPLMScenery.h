/* Terrain probes and scenery objects. */
#ifndef XPLM_SCENERY_H
#define XPLM_SCENERY_H

#include "XPLMDefs.h"

XPLM_BEGIN_DECLS

typedef int XPLMProbeType;
enum { xplm_ProbeY = 0 };

typedef int XPLMProbeResult;
enum { xplm_ProbeHitTerrain = 0, xplm_ProbeError = 1, xplm_ProbeMissed = 2 };

typedef void* XPLMProbeRef;
typedef void* XPLMObjectRef;

typedef struct {
    int structSize;
    float locationX;
    float locationY;
    float locationZ;
    float normalX;
    float normalY;
    float normalZ;
    float velocityX;
    float velocityY;
    float velocityZ;
    int is_wet;
} XPLMProbeInfo_t;

typedef struct {
    int structSize;
    float x;
    float y;
    float z;
    float pitch;
    float heading;
    float roll;
} XPLMDrawInfo_t;

typedef void (*XPLMObjectLoaded_f)(XPLMObjectRef inObject, void* inRefcon);
typedef void (*XPLMLibraryEnumerator_f)(const char* inFilePath, void* inRef);

XPLM_API XPLMProbeRef XPLMCreateProbe(XPLMProbeType inProbeType);
XPLM_API void XPLMDestroyProbe(XPLMProbeRef inProbe);
XPLM_API XPLMProbeResult XPLMProbeTerrainXYZ(XPLMProbeRef inProbe, float inX, float inY, float inZ,
                                             XPLMProbeInfo_t* outInfo);
XPLM_API XPLMObjectRef XPLMLoadObject(const char* inPath);
XPLM_API void XPLMLoadObjectAsync(const char* inPath, XPLMObjectLoaded_f inCallback, void* inRefcon);
XPLM_API void XPLMDrawObjects(XPLMObjectRef inObject, int inCount, XPLMDrawInfo_t* inLocations, int lighting,
                              int earth_relative);
XPLM_API void XPLMUnloadObject(XPLMObjectRef inObject);
XPLM_API int XPLMLookupObjects(const char* inPath, float inLatitude, float inLongitude,
                               XPLMLibraryEnumerator_f enumerator, void* ref);

XPLM_END_DECLS

XPLM_STATIC_ASSERT(sizeof(XPLMProbeInfo_t) == 44, "XPLMProbeInfo_t size");
XPLM_STATIC_ASSERT(offsetof(XPLMProbeInfo_t, normalX) == 16, "XPLMProbeInfo_t.normalX");
XPLM_STATIC_ASSERT(offsetof(XPLMProbeInfo_t, velocityX) == 28, "XPLMProbeInfo_t.velocityX");
XPLM_STATIC_ASSERT(offsetof(XPLMProbeInfo_t, is_wet) == 40, "XPLMProbeInfo_t.is_wet");
XPLM_STATIC_ASSERT(sizeof(XPLMDrawInfo_t) == 28, "XPLMDrawInfo_t size");
XPLM_STATIC_ASSERT(offsetof(XPLMDrawInfo_t, pitch) == 16, "XPLMDrawInfo_t.pitch");

#endif
