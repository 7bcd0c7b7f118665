// Per-aircraft settings: a profile file whose keys override DRAV.INI's, key by key, for the unit
// sections and [CONFIG]. [DEBUG] stays in DRAV.INI alone. Main thread only.
//
// The profile of the user's aircraft is the first of
//   <plug-in folder>/aircraft/<aircraft file name without .acf>.ini   (the user's own; written)
//   <aircraft folder>/DRAV.INI                                       (shipped; never written)
#pragma once

#include <cstddef>

#include "platform.h"

enum class DRAV_ProfileSource { None, User, Aircraft };

// Where a setting's value came from.
enum class DRAV_PrefOrigin { Default, AllAircraft, Profile };

inline constexpr int kProfilePathSize = 1024;
inline constexpr int kAircraftNameSize = 256;

struct DRAV_ProfileState {
    DRAV_ProfileSource source = DRAV_ProfileSource::None;
    char aircraft[kAircraftNameSize] = {};   // file name without .acf; "" when none is known
    char active_path[kProfilePathSize] = {}; // the active profile; "" when none
    // The user's own profile: its name under the plug-in folder (for XP_WriteIniPref) and its path.
    // Both "" when the aircraft has no usable name or the path would not fit.
    char user_file[kProfilePathSize] = {};
    char user_path[kProfilePathSize] = {};
    char shipped_path[kProfilePathSize] = {}; // <aircraft folder>/DRAV.INI, "" when it would not fit
};

const DRAV_ProfileState& DRAV_Profile();

// Looks up the profile of the user's aircraft (XPLMGetNthAircraftModel(0)) and makes it active;
// true when the active profile changed. Logs which one is active.
bool DRAV_SelectAircraftProfile();
// The same for an aircraft given by file name and full .acf path (either may be null or empty).
bool DRAV_SelectProfileFor(const char* acf_file, const char* acf_path);
// "aircraft/<name>.ini (this aircraft's own)" and the like, for the log and the device report.
void DRAV_DescribeProfile(char* out, size_t out_size);

// Reads key of a unit section or [CONFIG]: the active profile's value when it has the key (even
// an empty one), else DRAV.INI's, else def. origin (may be null) says which.
void DRAV_ReadLayeredPref(const char* section, const char* key, char* out, size_t out_size, const char* def,
                          DRAV_PrefOrigin* origin = nullptr);

// Reads the "CONFIG" section into the globals of globals.h, the profile's keys first.
void DRAV_ReadConfigSettings();

// While one lives, layered reads come from one snapshot of each file, taken when the outermost
// one was made: a whole registration pass sees one version of the settings. Nests.
class DRAV_SettingsSnapshot {
  public:
    DRAV_SettingsSnapshot();
    ~DRAV_SettingsSnapshot();
    DRAV_SettingsSnapshot(const DRAV_SettingsSnapshot&) = delete;
    DRAV_SettingsSnapshot& operator=(const DRAV_SettingsSnapshot&) = delete;
};

// Which file the dialog writes.
enum class DRAV_SettingsLayer { AllAircraft, ThisAircraft };

// Writes key of a section into DRAV.INI or the user's own profile (created on the first write; a
// shipped profile is copied first, never modified). An empty value removes the key. The write
// does not count as a change on disk. False when the layer cannot be written.
bool DRAV_WriteLayerPref(DRAV_SettingsLayer layer, const char* section, const char* key, const char* value);

// The value stored in a profile for "nothing here, whatever DRAV.INI says": a function name
// that also means nothing to a plug-in reading the profile as a plain DRAV.INI.
inline constexpr const char* kProfileNothing = "NADA";

// One check: one stat of DRAV.INI and of the profile files. True once a change made by someone
// else has stayed the same for one more check (a file being saved is not read half written).
// The watch thread runs it four times a second; tests call it directly.
bool DRAV_SettingsChangedOnDisk();
// The watch thread, from enable to disable.
void DRAV_StartSettingsWatch();
void DRAV_StopSettingsWatch();
// For the refresh pass: true once per change the watch found (no system call); the caller then
// selects the profile again and registers the units.
bool DRAV_TakeSettingsChange();
// Chooses the profile of the same aircraft again (after a change on disk); true when it changed.
bool DRAV_ReselectProfile();
