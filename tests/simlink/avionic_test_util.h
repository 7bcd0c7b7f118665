// Test access to simulator datarefs through the SDK, as any plug-in would use them.
#pragma once

#include "XPLMDataAccess.h"
#include "hostsim.h"

#include <gtest/gtest.h>

namespace avionic_test {

inline XPLMDataRef Ref(const char* name) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    EXPECT_NE(ref, nullptr) << name << " is missing from the simulator's data";
    return ref;
}

inline void SetI(const char* name, int v) {
    if (XPLMDataRef r = Ref(name)) XPLMSetDatai(r, v);
}
inline void SetF(const char* name, float v) {
    if (XPLMDataRef r = Ref(name)) XPLMSetDataf(r, v);
}
inline int GetI(const char* name) {
    XPLMDataRef r = Ref(name);
    return r ? XPLMGetDatai(r) : 0;
}
inline float GetF(const char* name) {
    XPLMDataRef r = Ref(name);
    return r ? XPLMGetDataf(r) : 0.0f;
}

// Datarefs the tests use, with their simulator types.
inline constexpr const char* kCom1 = "sim/cockpit/radios/com1_freq_hz";                    // int
inline constexpr const char* kCom1Standby = "sim/cockpit/radios/com1_stdby_freq_hz";       // int
inline constexpr const char* kNav1 = "sim/cockpit/radios/nav1_freq_hz";                    // int
inline constexpr const char* kAdf1 = "sim/cockpit/radios/adf1_freq_hz";                    // int
inline constexpr const char* kXpdr = "sim/cockpit/radios/transponder_code";                // int
inline constexpr const char* kApSpeed = "sim/cockpit/autopilot/airspeed";                  // float
inline constexpr const char* kApIsMach = "sim/cockpit/autopilot/airspeed_is_mach";         // int
inline constexpr const char* kApAltitude = "sim/cockpit/autopilot/altitude";               // float
inline constexpr const char* kApVvi = "sim/cockpit/autopilot/vertical_velocity";           // float
inline constexpr const char* kBaro = "sim/cockpit/misc/barometer_setting";                 // float
inline constexpr const char* kMetric = "sim/physics/metric_press";                         // int
inline constexpr const char* kInstBright = "sim/cockpit/electrical/instrument_brightness"; // float
inline constexpr const char* kDecisionHeight = "sim/cockpit/misc/radio_altimeter_minimum"; // float
inline constexpr const char* kMapRange = "sim/cockpit/switches/EFIS_map_range_selector";   // int
inline constexpr const char* kMapMode = "sim/cockpit/switches/EFIS_map_mode";              // int
inline constexpr const char* kApu = "sim/cockpit/engine/APU_switch";                       // int
inline constexpr const char* kAutoBrake = "sim/cockpit/switches/auto_brake_settings";      // int
inline constexpr const char* kElevTrim = "sim/flightmodel/controls/elv_trim";              // float
inline constexpr const char* kHeadingMag = "sim/cockpit/autopilot/heading_mag";            // float
inline constexpr const char* kMissing = "sim/no/such/dataref";

} // namespace avionic_test

namespace avionic_test {

// Puts every simulator dataref back to its initial value.
inline void ResetSimulator() {
    hostsim::Reset();
}

} // namespace avionic_test
