#include "custom_datarefs.h"
#include "sim_watch.h"

#include "core/globals.h"
#include "core/hot_path.h"
#include "core/paths.h"
#include "core/sdk_binding.h"

#include "XPLMPlugin.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

XPLMCommandRef CommandOnRefs[kX737CommandCount];
XPLMCommandRef CommandOffRefs[kX737CommandCount];
XPLMCommandRef CommandToggleRefs[kX737CommandCount];
XPLMCommandRef SSMCommandOnRefs[kSSMCommandCount];
XPLMCommandRef SSMCommandOffRefs[kSSMCommandCount];
XPLMCommandRef ANPCommandOnceRefs[kANPCommandCount];

XPLMDataRef gOttoMode = nullptr;
XPLMDataRef gMagVar = nullptr;
int gAltKnobValue = 0;

// ---------------------------------------------------------------------------------------------
// Name tables

const char CommandOnNames[kX737CommandCount][kCommandNameSize] = {
    "x737/mcp/FD_A_ON",    "x737/mcp/ATHR_ARM_ON",      "x737/mcp/N1_MODE_ON", "x737/mcp/MCPSPD_MODE_ON",
    "x737/mcp/CHANGEOVER", "x737/mcp/VNAV_ON",          "x737/mcp/SPDINTV_ON", "x737/mcp/LVLCHANGE_ON",
    "x737/mcp/HDGSEL_ON",  "x737/mcp/LNAVL_ON",         "x737/mcp/VORLOC_ON",  "x737/mcp/APP_ON",
    "x737/mcp/ALTHLD_ON",  "x737/mcp/ALTINTV_ON",       "x737/mcp/VS_ON",      "x737/mcp/CMDA_ON",
    "x737/mcp/CMDB_ON",    "x737/mcp/AP_DISCONNECT_ON", "x737/mcp/FD_B_ON",    "x737/mcp/TOGA_ON",
};

const char CommandOffNames[kX737CommandCount][kCommandNameSize] = {
    "x737/mcp/FD_A_OFF",   "x737/mcp/ATHR_ARM_OFF",      "x737/mcp/N1_MODE_OFF", "x737/mcp/MCPSPD_MODE_OFF",
    "x737/mcp/CHANGEOVER", "x737/mcp/VNAV_OFF",          "x737/mcp/SPDINTV_OFF", "x737/mcp/LVLCHANGE_OFF",
    "x737/mcp/HDGSEL_OFF", "x737/mcp/LNAV_OFF",          "x737/mcp/VORLOC_OFF",  "x737/mcp/APP_OFF",
    "x737/mcp/ALTHLD_OFF", "x737/mcp/ALTINTV_OFF",       "x737/mcp/VS_OFF",      "x737/mcp/CMDA_OFF",
    "x737/mcp/CMDB_OFF",   "x737/mcp/AP_DISCONNECT_OFF", "x737/mcp/FD_B_OFF",    "x737/mcp/TOGA_OFF",
};

const char CommandToggleNames[kX737CommandCount][kCommandNameSize] = {
    "x737/mcp/FD_A_TOGGLE",        "x737/mcp/ATHR_ARM_TOGGLE",  "x737/mcp/N1_MODE_TOGGLE",
    "x737/mcp/MCPSPD_MODE_TOGGLE", "x737/mcp/CHANGEOVER",       "x737/mcp/VNAV_TOGGLE",
    "x737/mcp/SPDINTV_TOGGLE",     "x737/mcp/LVLCHANGE_TOGGLE", "x737/mcp/HDGSEL_TOGGLE",
    "x737/mcp/LNAV_TOGGLE",        "x737/mcp/VORLOC_TOGGLE",    "x737/mcp/APP_TOGGLE",
    "x737/mcp/ALTHLD_TOGGLE",      "x737/mcp/ALTINTV_TOGGLE",   "x737/mcp/VS_TOGGLE",
    "x737/mcp/CMDA_TOGGLE",        "x737/mcp/CMDB_TOGGLE",      "x737/mcp/AP_DISCONNECT_TOGGLE",
    "x737/mcp/FD_B_TOGGLE",        "x737/mcp/TOGA_TOGGLE",
};

const char SSMCommandOnNames[kSSMCommandCount][kCommandNameSize] = {
    "sim/starters/engage_starter_1",    "sim/starters/engage_starter_2", "sim/igniters/igniter_contin_on_1",
    "sim/igniters/igniter_contin_on_2", "sim/igniters/igniter_arm_on_1", "sim/igniters/igniter_arm_on_2",
    "sim/magnetos/magnetos_left_1",     "sim/magnetos/magnetos_left_2",  "sim/magnetos/magnetos_both_1",
    "sim/magnetos/magnetos_both_2",     "sim/magnetos/magnetos_right_1", "sim/magnetos/magnetos_right_2",
    "sim/engines/mixture_min",          "sim/engines/mixture_max",
};

const char SSMCommandOffNames[kSSMCommandCount][kCommandNameSize] = {
    "sim/starters/engage_starter_1",     "sim/starters/engage_starter_2",
    "sim/igniters/igniter_contin_off_1", "sim/igniters/igniter_contin_off_2",
    "sim/igniters/igniter_arm_off_1",    "sim/igniters/igniter_arm_off_2",
    "sim/magnetos/magnetos_left_1",      "sim/magnetos/magnetos_left_2",
    "sim/magnetos/magnetos_both_1",      "sim/magnetos/magnetos_both_2",
    "sim/magnetos/magnetos_right_1",     "sim/magnetos/magnetos_right_2",
    "sim/engines/mixture_min",           "sim/engines/mixture_max",
};

const char ANPCommandOnceNames[kANPCommandCount][kCommandNameSize] = {
    "sim/annunciator/clear_master_warning",
    "sim/annunciator/clear_master_caution",
    "sim/annunciator/clear_master_accept",
};

namespace {

constexpr int kMsgRefInspectorAddDataRef = 0x01000000;
constexpr const char* kRefInspectorSignature = "xplanesdk.examples.RefInspector";

// ---------------------------------------------------------------------------------------------
// Courses: magnetic where the simulator has it, else true course (plus variation for the
// heading bug), kept in (0, 360].

struct CourseSource {
    const char* created;
    const char* true_name;
    const char* magnetic_name;
    bool add_variation;
    XPLMDataRef true_ref;
    XPLMDataRef magnetic_ref;
};

CourseSource g_courses[] = {
    {"drav/autopilot/nav1_obs", "sim/cockpit/radios/nav1_obs_degt", "sim/cockpit/radios/nav1_obs_degm", false,
     nullptr, nullptr},
    {"drav/autopilot/nav2_obs", "sim/cockpit/radios/nav2_obs_degt", "sim/cockpit/radios/nav2_obs_degm", false,
     nullptr, nullptr},
    {"drav/autopilot/heading_crs", "sim/cockpit/autopilot/heading", "sim/cockpit/autopilot/heading_mag", true,
     nullptr, nullptr},
};
constexpr int kCourseCount = sizeof g_courses / sizeof g_courses[0];

float WrapDegrees(float d) {
    if (d <= 0.0f) return d + 360.0f;
    if (d > 360.0f) return d - 360.0f;
    return d;
}

int IndexOf(void* ref) {
    return static_cast<int>(reinterpret_cast<intptr_t>(ref));
}
void* RefOf(int index) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(index));
}

float GetCourse(void* ref) {
    const int i = IndexOf(ref);
    if (i < 0 || i >= kCourseCount) return 0.0f;
    const CourseSource& c = g_courses[i];
    if (c.magnetic_ref) return DRAV_ReadFloat(c.magnetic_ref);
    float d = c.true_ref ? DRAV_ReadFloat(c.true_ref) : 0.0f;
    if (c.add_variation && gMagVar) d += DRAV_ReadFloat(gMagVar);
    return WrapDegrees(d);
}

void SetCourse(void* ref, float value) {
    const int i = IndexOf(ref);
    if (i < 0 || i >= kCourseCount) return;
    const CourseSource& c = g_courses[i];
    if (c.magnetic_ref) {
        XPLMSetDataf(c.magnetic_ref, value);
        return;
    }
    float d = value;
    if (c.add_variation && gMagVar) d -= XPLMGetDataf(gMagVar);
    if (c.true_ref) XPLMSetDataf(c.true_ref, WrapDegrees(d));
}

// ---------------------------------------------------------------------------------------------
// Autopilot modes: bits of autopilot_state where it exists, else the older mode datarefs; the
// host toggles a mode for every key command or bit written.

struct ModeRow {
    const char* created;
    int bits;
    int key; // XPLMCommandKeyID, -1 for none
    const char* fallback_name;
    int fallback_on;
    XPLMDataRef fallback_ref;
};

ModeRow g_modes[] = {
    {"drav/autopilot/autothrottle", 0x1, 10, "sim/cockpit/autopilot/airspeed_mode", 11, nullptr},
    {"drav/autopilot/heading_hold", 0x2, 12, "sim/cockpit/autopilot/heading_mode", 13, nullptr},
    {"drav/autopilot/wing_leveler", 0x4, 14, "sim/cockpit/autopilot/heading_mode", 15, nullptr},
    {"drav/autopilot/asi_hold", 0x8, 11, "sim/cockpit/autopilot/airspeed_mode", 12, nullptr},
    {"drav/autopilot/vvi_climb", 0x10, 17, "sim/cockpit/autopilot/altitude_mode", 18, nullptr},
    {"drav/autopilot/alt_hold", 0x20, 16, "sim/cockpit/autopilot/altitude_mode", 17, nullptr},
    {"drav/autopilot/level_change", 0x40, -1, "sim/cockpit/autopilot/altitude_mode", 0, nullptr},
    {"drav/autopilot/hnav", 0x300, 15, "sim/cockpit/autopilot/heading_mode", 16, nullptr},
    {"drav/autopilot/vnav", 0xC00, 18, "sim/cockpit/autopilot/altitude_mode", 19, nullptr},
};
constexpr int kModeCount = sizeof g_modes / sizeof g_modes[0];

const char* const kStateNames[] = {
    "drav/autopilot_state/auto_throttle_engage",
    "drav/autopilot_state/heading_hold_engage",
    "drav/autopilot_state/wing_leveler_engage",
    "drav/autopilot_state/airspeed_hold_with_pitch_engage",
    "drav/autopilot_state/vvi_climb_engage",
    "drav/autopilot_state/altitude_hold_armed",
    "drav/autopilot_state/flight_level_change_engage",
    "drav/autopilot_state/pitch_sync_engage",
    "drav/autopilot_state/fms_armed",
    "drav/autopilot_state/fms_engaged",
    "drav/autopilot_state/glideslope_armed",
    "drav/autopilot_state/glideslope_engaged",
    "drav/autopilot_state/fms_vnav_armed",
    "drav/autopilot_state/fms_vnav_engaged",
    "drav/autopilot_state/altitude_hold_engaged",
    "drav/autopilot_state/horizontal_toga_engaged",
    "drav/autopilot_state/vertical_toga_engaged",
};
constexpr int kStateCount = sizeof kStateNames / sizeof kStateNames[0];

constexpr const char* kAltKnobName = "drav/autopilot_knob/alt_knob";
constexpr const char* kKnotsMachName = "drav/autopilot/asi_is_mach";

const char* const kX737DatarefNames[] = {
    "x737/systems/afds/plugin_status",
    "x737/systems/afds/aircraft_type",
    "x737/systems/afds/fdA_status",
    "x737/systems/afds/fdB_status",
    "x737/systems/afds/fd_master",
    "x737/systems/athr/athr_armed",
    "x737/systems/athr/N1_mode",
    "x737/systems/athr/FMCSPD_spdkias",
    "x737/systems/athr/FMCSPD_spdmach",
    "x737/systems/athr/FMCSPD_ismach",
    "x737/systems/athr/MCPSPD_spdkias",
    "x737/systems/athr/MCPSPD_spdmach",
    "x737/systems/athr/MCPSPD_ismach",
    "x737/systems/athr/MCPSPD_spd",
    "x737/systems/eec/N1_phase",
    "x737/systems/eec/N1_phase_str",
    "x737/systems/eec/hi_idle",
    "x737/systems/eec/N1_limit_eng1",
    "x737/systems/eec/N1_limit_eng2",
    "x737/systems/afds/CMD_A",
    "x737/systems/afds/CMD_B",
    "x737/systems/afds/LVLCHG",
    "x737/systems/afds/LNAV_arm",
    "x737/systems/afds/LNAV",
    "x737/systems/afds/APP",
    "x737/systems/afds/VORLOC",
    "x737/systems/afds/HDG",
    "x737/systems/afds/HDG_magnhdg",
    "x737/systems/afds/VNAV",
    "x737/systems/afds/VNAV_SPD",
    "x737/systems/afds/VNAV_ALT",
    "x737/systems/afds/VNAV_targetAlt",
    "x737/systems/afds/ALTINTV",
    "x737/systems/afds/SPDINTV",
    "x737/systems/afds/ALTHLD",
    "x737/systems/afds/ALTHLD_baroalt",
    "x737/systems/afds/VS_arm",
    "x737/systems/afds/VS",
    "x737/systems/afds/VS_vvi",
    "x737/systems/afds/APengaged",
    "x737/systems/afds/APP_toggle",
    "x737/systems/afds/CHANGEOVER_toggle",
    "x737/systems/athr/MCPSPD_mode",
    "x737/systems/athr/MCPSPD_overspeed",
    "x737/systems/afds/LNAV_heading",
    "x737/systems/afds/LNAV_degm",
    "x737/systems/afds/LNAV_degOffset",
    "x737/systems/afds/LNAV_degm_f",
    "x737/systems/afds/LNAV_degOffset_f",
    "x737/systems/afds/VORLOC_armed",
    "x737/systems/afds/VNAV_verticalSpeed",
    "x737/systems/afds/VNAV_vvi",
    "x737/systems/afds/VS_armed_or_eng",
    "x737/systems/afds/AP_A_pitch",
    "x737/systems/afds/AP_B_pitch",
    "x737/systems/afds/AP_A_roll",
    "x737/systems/afds/AP_B_roll",
    "x737/systems/MCP/LED_FDA_MA_on",
    "x737/systems/MCP/LED_FDB_MA_on",
    "x737/systems/MCP/LED_N1_on",
    "x737/systems/MCP/LED_MCPSPD_on",
    "x737/systems/MCP/LED_LVLCHG_on",
    "x737/systems/MCP/LED_VVIARMED_on",
    "x737/systems/MCP/LED_VVI_on",
    "x737/systems/MCP/LED_HDG_on",
    "x737/systems/MCP/LED_ALTHLD_on",
    "x737/systems/MCP/LED_VNAV_on",
    "x737/systems/MCP/LED_LNAV_on",
    "x737/systems/MCP/LED_APP_on",
    "x737/systems/MCP/LED_CMDA_on",
    "x737/systems/MCP/LED_CMDB_on",
    "x737/systems/MCP/LED_VORLOC_on",
};

int GetAPModeData(void* ref) {
    const int i = IndexOf(ref);
    if (i < 0 || i >= kModeCount) return 0;
    const ModeRow& m = g_modes[i];
    if (gOttoMode) return (DRAV_ReadInt(gOttoMode) & m.bits) ? 1 : 0;
    if (!m.fallback_ref) return 0;
    return DRAV_ReadInt(m.fallback_ref) == m.fallback_on ? 1 : 0;
}

void SetAPModeData(void* ref, int value) {
    const int i = IndexOf(ref);
    if (i < 0 || i >= kModeCount) return;
    const ModeRow& m = g_modes[i];
    // Only the autothrottle is compared with its current state; every other write toggles.
    if (i == 0 && gOttoMode) {
        const bool on = (XPLMGetDatai(gOttoMode) & m.bits) != 0;
        if ((on && value == 1) || (!on && value == 0)) return;
    }
    if (m.key >= 0) {
        XPLMCommandKeyStroke(m.key);
    } else if (gOttoMode) {
        XPLMSetDatai(gOttoMode, m.bits);
    }
}

int GetAPStateData(void* ref) {
    const int i = IndexOf(ref);
    if (!gOttoMode || i < 0 || i >= kStateCount) return 0;
    return (DRAV_ReadInt(gOttoMode) & (1 << i)) ? 1 : 0;
}

void SetAPStateData(void* ref, int value) {
    const int i = IndexOf(ref);
    if (!gOttoMode || i < 0 || i >= kStateCount) return;
    if (i == 0) {
        const bool on = (XPLMGetDatai(gOttoMode) & 1) != 0;
        if ((on && value == 1) || (!on && value == 0)) return;
    }
    XPLMSetDatai(gOttoMode, 1 << i);
}

int GetAltKnob(void*) {
    return DRAV_ReadWatched(gAltKnobValue);
}
void SetAltKnob(void*, int value) {
    gAltKnobValue = value;
}

// ---------------------------------------------------------------------------------------------
// Knots/Mach: every write toggles the mode and converts the target speed.

XPLMDataRef g_is_mach = nullptr;
XPLMDataRef g_target_speed = nullptr;
XPLMDataRef g_sigma = nullptr;
XPLMDataRef g_speed_of_sound = nullptr;

void FindKnotsMachRefs() {
    if (!g_is_mach) g_is_mach = XPLMFindDataRef("sim/cockpit/autopilot/airspeed_is_mach");
    if (!g_target_speed) g_target_speed = XPLMFindDataRef("sim/cockpit/autopilot/airspeed");
    if (!g_sigma) g_sigma = XPLMFindDataRef("sim/weather/sigma");
    if (!g_speed_of_sound) g_speed_of_sound = XPLMFindDataRef("sim/weather/speed_sound_ms");
}

int GetKnotsMachMode(void*) {
    FindKnotsMachRefs();
    return g_is_mach ? DRAV_ReadInt(g_is_mach) : 0;
}

void SetKnotsMachMode(void*, int) {
    FindKnotsMachRefs();
    if (!g_is_mach) return;
    const bool to_mach = XPLMGetDatai(g_is_mach) == 0;
    XPLMSetDatai(g_is_mach, to_mach ? 1 : 0);

    if (!g_target_speed) return;
    const double s = XPLMGetDataf(g_target_speed);
    const double sigma = g_sigma ? XPLMGetDataf(g_sigma) : 0.0;
    const double a = g_speed_of_sound ? XPLMGetDataf(g_speed_of_sound) : 0.0;
    double r = sigma > 0.0 ? std::sqrt(sigma) : 0.0;
    if (!(r >= 0.01)) r = 0.01;
    if (r > 1.0) r = 1.0;
    const double knots_of_sound = a * 1.9438444;
    // Without a usable speed of sound the conversion would write infinity or zero as the
    // target; the mode still toggles but the target is left as it is.
    if (!(knots_of_sound > 0.0) || !std::isfinite(knots_of_sound)) return;
    const double converted = to_mach ? s / (knots_of_sound * r) : r * knots_of_sound * s;
    XPLMSetDataf(g_target_speed, static_cast<float>(converted));
}

// ---------------------------------------------------------------------------------------------
// Registration

XPLMDataRef RegisterInt(const char* name, XPLMGetDatai_f get, XPLMSetDatai_f set, void* ref) {
    return XPLMRegisterDataAccessor(name, xplmType_Int, 1, get, set, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, ref, ref);
}

XPLMDataRef RegisterFloat(const char* name, XPLMGetDataf_f get, XPLMSetDataf_f set, void* ref) {
    return XPLMRegisterDataAccessor(name, xplmType_Float, 1, nullptr, nullptr, get, set, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, ref, ref);
}

constexpr int kOwnDatarefCount = kCourseCount + kModeCount + 1 + kStateCount + 1;
XPLMDataRef g_own[kOwnDatarefCount] = {};

void ResolveCommands(const char (*names)[kCommandNameSize], XPLMCommandRef* refs, int count) {
    for (int i = 0; i < count; ++i)
        refs[i] = XPLMFindCommand_ptr ? XPLMFindCommand_ptr(names[i]) : nullptr;
}

bool BindHostLibrary() {
    char path[1024];
    DRAV_HostLibraryPath(path, sizeof path);
    return FoundSDK200(path) == 1;
}

// ---------------------------------------------------------------------------------------------
// Avionics power

constexpr int kMaxEngines = 16;

struct PowerRefs {
    bool found = false;
    XPLMDataRef avionics_on = nullptr;
    XPLMDataRef esys_failure = nullptr;
    XPLMDataRef num_engines = nullptr;
    XPLMDataRef battery_on = nullptr;
    XPLMDataRef bat_volt = nullptr;
    XPLMDataRef generator_on = nullptr;
    XPLMDataRef engine_type = nullptr;
    XPLMDataRef n1 = nullptr;
};
PowerRefs g_power;

constexpr int kFailureInoperative = 6;

// Turbine types whose generator gives power from N1 alone.
bool GeneratesFromN1(int engine_type) {
    return engine_type == 2 || engine_type == 4 || engine_type == 5 || engine_type == 8;
}

} // namespace

void SetupDRAVDataRefs() {
    // Running again (a test harness, a reload) must not leave a second set of accessors.
    for (XPLMDataRef& r : g_own) {
        if (r) XPLMUnregisterDataAccessor(r);
        r = nullptr;
    }
    DRAV_ForgetWatchThrough();

    gOttoMode = XPLMFindDataRef("sim/cockpit/autopilot/autopilot_state");
    gMagVar = XPLMFindDataRef("sim/flightmodel/position/magnetic_variation");
    for (CourseSource& c : g_courses) {
        c.true_ref = XPLMFindDataRef(c.true_name);
        c.magnetic_ref = XPLMFindDataRef(c.magnetic_name);
    }
    for (ModeRow& m : g_modes)
        m.fallback_ref = XPLMFindDataRef(m.fallback_name);
    g_is_mach = g_target_speed = g_sigma = g_speed_of_sound = nullptr;

    int n = 0;
    for (int i = 0; i < kCourseCount; ++i)
        g_own[n++] = RegisterFloat(g_courses[i].created, GetCourse, SetCourse, RefOf(i));
    for (int i = 0; i < kModeCount; ++i)
        g_own[n++] = RegisterInt(g_modes[i].created, GetAPModeData, SetAPModeData, RefOf(i));
    g_own[n++] = RegisterInt(kKnotsMachName, GetKnotsMachMode, SetKnotsMachMode, nullptr);
    for (int i = 0; i < kStateCount; ++i)
        g_own[n++] = RegisterInt(kStateNames[i], GetAPStateData, SetAPStateData, RefOf(i));
    g_own[n++] = RegisterInt(kAltKnobName, GetAltKnob, SetAltKnob, nullptr);
    // Their getters read through the watch readers: a lamp bound to one of these is redrawn
    // when what the getter read changes.
    for (XPLMDataRef r : g_own)
        DRAV_WatchThrough(r);
}

void DRAV_UnregisterCustomDatarefs() {
    DRAV_ForgetWatchThrough();
    for (XPLMDataRef& r : g_own) {
        if (r) XPLMUnregisterDataAccessor(r);
        r = nullptr;
    }
}

void DRAV_RegisterCustomDatarefsWithRefInspector() {
    const XPLMPluginID inspector = XPLMFindPluginBySignature(kRefInspectorSignature);
    if (inspector == XPLM_NO_PLUGIN_ID) return;
    auto announce = [inspector](const char* name) {
        XPLMSendMessageToPlugin(inspector, kMsgRefInspectorAddDataRef, const_cast<char*>(name));
    };
    for (const char* name : kStateNames)
        announce(name);
    announce(kAltKnobName);
    for (const char* name : kX737DatarefNames)
        announce(name);
}

void Find_SSM_Commands() {
    if (!BindHostLibrary()) return;
    ResolveCommands(SSMCommandOnNames, SSMCommandOnRefs, kSSMCommandCount);
    ResolveCommands(SSMCommandOffNames, SSMCommandOffRefs, kSSMCommandCount);
    ResolveCommands(ANPCommandOnceNames, ANPCommandOnceRefs, kANPCommandCount);
}

void Find_x737_Commands() {
    if (!BindHostLibrary()) return;
    ResolveCommands(CommandOnNames, CommandOnRefs, kX737CommandCount);
    ResolveCommands(CommandOffNames, CommandOffRefs, kX737CommandCount);
    ResolveCommands(CommandToggleNames, CommandToggleRefs, kX737CommandCount);
}

namespace {

// -1: not read in this pass yet; else the answer, by need_avionics_switch.
struct PowerSnapshot {
    bool active = false;
    int answer[2] = {-1, -1};
} g_power_snapshot;

bool ReadAvionicsPower(bool need_avionics_switch);

} // namespace

DRAV_HOT void DRAV_BeginPowerSnapshot() {
    g_power_snapshot = PowerSnapshot{};
    g_power_snapshot.active = true;
}

DRAV_HOT void DRAV_EndPowerSnapshot() {
    g_power_snapshot = PowerSnapshot{};
}

namespace {

// The answer as the refresh after an input polls it: one watched yes/no instead of the
// several values behind it.
DRAV_HOT int PowerAnswer(int need_avionics_switch) {
    return avionics_ok(need_avionics_switch != 0) ? 1 : 0;
}

} // namespace

DRAV_HOT bool avionics_ok(bool need_avionics_switch) {
    bool ok;
    if (!g_power_snapshot.active) {
        ok = ReadAvionicsPower(need_avionics_switch);
    } else {
        int* answer = g_power_snapshot.answer;
        if (answer[need_avionics_switch ? 1 : 0] < 0) {
            // Both answers at once: they differ only by the avionics switch, and the refresh
            // after an input asks for both.
            const bool bus = ReadAvionicsPower(false);
            const PowerRefs& p = g_power;
            answer[0] = bus ? 1 : 0;
            answer[1] = bus && !(p.avionics_on && XPLMGetDatai(p.avionics_on) == 0) ? 1 : 0;
        }
        ok = answer[need_avionics_switch ? 1 : 0] == 1;
    }
    DRAV_NoteComputed(PowerAnswer, need_avionics_switch ? 1 : 0, ok ? 1 : 0);
    return ok;
}

namespace {

DRAV_HOT bool ReadAvionicsPower(bool need_avionics_switch) {
    PowerRefs& p = g_power;
    if (!p.found) {
        p.avionics_on = XPLMFindDataRef("sim/cockpit/electrical/avionics_on");
        p.esys_failure = XPLMFindDataRef("sim/operation/failures/rel_esys");
        p.num_engines = XPLMFindDataRef("sim/aircraft/engine/acf_num_engines");
        p.battery_on = XPLMFindDataRef("sim/cockpit/electrical/battery_on");
        p.bat_volt = XPLMFindDataRef("sim/flightmodel/engine/ENGN_bat_volt");
        p.generator_on = XPLMFindDataRef("sim/cockpit/electrical/generator_on");
        p.engine_type = XPLMFindDataRef("sim/aircraft/prop/acf_en_type");
        p.n1 = XPLMFindDataRef("sim/flightmodel/engine/ENGN_N1_");
        p.found = true;
    }

    if (need_avionics_switch && p.avionics_on && XPLMGetDatai(p.avionics_on) == 0) return false;
    if (p.esys_failure && XPLMGetDatai(p.esys_failure) == kFailureInoperative) return false;

    int engines = p.num_engines ? XPLMGetDatai(p.num_engines) : 1;
    if (engines < 1) engines = 1;
    // An aircraft file cannot have more engines than the simulator's arrays hold.
    if (engines > kMaxEngines) engines = kMaxEngines;
    const bool battery = p.battery_on && XPLMGetDatai(p.battery_on) != 0;

    // Only what the answer needs is read and cleared: this runs after every input.
    double sum = 0.0;
    if (battery) {
        float volts[kMaxEngines];
        std::fill_n(volts, engines, 0.0f);
        if (p.bat_volt) XPLMGetDatavf(p.bat_volt, volts, 0, engines);
        for (int i = 0; i < engines; ++i)
            sum += volts[i];
    } else {
        float n1[kMaxEngines];
        int generator[kMaxEngines];
        int type[kMaxEngines];
        std::fill_n(n1, engines, 0.0f);
        std::fill_n(generator, engines, 0);
        std::fill_n(type, engines, 0);
        if (p.generator_on) XPLMGetDatavi(p.generator_on, generator, 0, engines);
        if (p.engine_type) XPLMGetDatavi(p.engine_type, type, 0, engines);
        if (p.n1) XPLMGetDatavf(p.n1, n1, 0, engines);
        for (int i = 0; i < engines; ++i)
            if (generator[i] != 0 && GeneratesFromN1(type[i])) sum += n1[i] / 15.0;
    }
    return sum > 0.1;
}

} // namespace

void DRAV_ResetAvionicsPowerRefs() {
    g_power = PowerRefs{};
}
