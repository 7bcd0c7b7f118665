// The plug-in's own datarefs, the simulator and x737 commands it resolves, and the
// avionics power check that gates every display.
#pragma once

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"

inline constexpr int kX737CommandCount = 20;
inline constexpr int kSSMCommandCount = 14;
inline constexpr int kANPCommandCount = 3;
// Command names are at most 255 characters.
inline constexpr int kCommandNameSize = 256;

// Command names, in the order of the handle tables below.
extern const char CommandOnNames[kX737CommandCount][kCommandNameSize];
extern const char CommandOffNames[kX737CommandCount][kCommandNameSize];
extern const char CommandToggleNames[kX737CommandCount][kCommandNameSize];
extern const char SSMCommandOnNames[kSSMCommandCount][kCommandNameSize];
extern const char SSMCommandOffNames[kSSMCommandCount][kCommandNameSize];
extern const char ANPCommandOnceNames[kANPCommandCount][kCommandNameSize];

extern XPLMCommandRef CommandOnRefs[kX737CommandCount];
extern XPLMCommandRef CommandOffRefs[kX737CommandCount];
extern XPLMCommandRef CommandToggleRefs[kX737CommandCount];
extern XPLMCommandRef SSMCommandOnRefs[kSSMCommandCount];
extern XPLMCommandRef SSMCommandOffRefs[kSSMCommandCount];
extern XPLMCommandRef ANPCommandOnceRefs[kANPCommandCount];

extern XPLMDataRef gOttoMode;
extern XPLMDataRef gMagVar;
extern int gAltKnobValue;

// Called once by XPluginStart.
void SetupDRAVDataRefs();
// Called by the one-shot announcement loop when ShowCustomDatarefs is set.
void DRAV_RegisterCustomDatarefsWithRefInspector();
// Resolve command names through the late-bound functions (at every enable / on x737 on).
void Find_SSM_Commands();
void Find_x737_Commands();
// True when the aircraft's electrical system powers the avionics.
bool avionics_ok(bool need_avionics_switch);
// While a refresh pass runs over every unit, the power state is read once for all of them:
// nothing on the simulator's thread can change it in between.
void DRAV_BeginPowerSnapshot();
void DRAV_EndPowerSnapshot();

// Removes the accessors SetupDRAVDataRefs registered (the plug-in keeps them until unload;
// harnesses that load the plug-in's core more than once use this).
void DRAV_UnregisterCustomDatarefs();
// Forgets the datarefs avionics_ok found, so the next call looks them up again.
void DRAV_ResetAvionicsPowerRefs();
