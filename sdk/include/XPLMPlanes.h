/* The aircraft loaded in the simulator. */
#ifndef XPLM_PLANES_H
#define XPLM_PLANES_H

#include "XPLMDefs.h"

XPLM_BEGIN_DECLS

#define XPLM_USER_AIRCRAFT 0

/* File name (at least 256 bytes) and full path of the .acf file (at least 512 bytes) of aircraft
   inIndex, 0 being the user's; empty texts when there is none. */
XPLM_API void XPLMGetNthAircraftModel(int inIndex, char* outFileName, char* outPath);

XPLM_END_DECLS

#endif
