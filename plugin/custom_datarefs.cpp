// Placeholder until the custom datarefs land.
#include "custom_datarefs.h"

XPLMCommandRef CommandOnRefs[kX737CommandCount];
XPLMCommandRef CommandOffRefs[kX737CommandCount];
XPLMCommandRef CommandToggleRefs[kX737CommandCount];
XPLMCommandRef SSMCommandOnRefs[kSSMCommandCount];
XPLMCommandRef SSMCommandOffRefs[kSSMCommandCount];
XPLMCommandRef ANPCommandOnceRefs[kANPCommandCount];
XPLMDataRef gOttoMode;
XPLMDataRef gMagVar;
int gAltKnobValue;

void SetupDRAVDataRefs() {}
void DRAV_RegisterCustomDatarefsWithRefInspector() {}
void Find_SSM_Commands() {}
void Find_x737_Commands() {}
bool avionics_ok(bool) { return true; }
