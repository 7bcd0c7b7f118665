// What the benchmarks fly with: one unit of every model and a DRAV.INI that binds most of their
// controls, as a user's file does.
#pragma once

#include <stdlib.h>

#include <fstream>
#include <string>

#include "hostsim.h"

namespace bench {

inline constexpr const char* kIni = R"([DEBUG]
DebugEnabled=0

[CONFIG]
QKNBReverseFix=0

[QDAVX_1]
Function1=COM1_DUAL
Function2=NAV1_DUAL
Function3=ADF1_STANDBY
Function4=XPDR
Function5=ALTIMETER
Function6=PREV
Function7=NEXT
Function8=

[QDAVY_1]
Function1=NAV2_DUAL
Function2=COM2_DUAL
Function3=FUNC_AP
Function4=NEXT

[QDRSX_1]
FunctionL=COM1_COM2_TOGGLE
FunctionR=NAV1_NAV2_TOGGLE
Function1=COM1_DUAL
Function2=COM2_DUAL
Function3=NAV1_DUAL
Function4=NAV2_DUAL
Function5=XPDR

[QDPBX_1]
Function1=BEACON_LTS
Function2=NAV_LTS
Function3=STROBE_LTS
Function4=TAXI_LTS
Function5=PITOT_HEAT
Function6=QDRSX_1_FUNC_COM1_DUAL
Function7=FUEL_PUMP
Function8=LANDING_GEAR

[QDTGX_1]
Function1=BEACON_LTS
Function2=NAV_LTS
Function3=STROBE_LTS
Function4=TAXI_LTS
Function5=PITOT_HEAT
Function6=FUEL_PUMP
Function7=AVIONICS_MASTER
Function8=BATTERY_MASTER

[QDGTP_1]
FunctionW=ELEV_TRIM
FunctionL=LANDING_GEAR
FunctionS=FLAPS_UP_DOWN
WHEEL_GAIN=3

[QDGTP2_1]
WHEEL1_GAIN=2
WHEEL2_GAIN=4

[QDAPC_1]
Function1=AP_LNAV
Function9=AP_DISENGAGE

[QDKNB_1]
Function1=AP_MASTER
Function2=AP_HDG_HOLD
FunctionA=AP_HEADING_ADJ
FunctionB=AP_ALTITUDE_ADJ
FunctionC=OBS1
FunctionD=ALTIMETER

[QDTHQ_1]
FunctionA=THROTTLE_1
FunctionB=THROTTLE_2
FunctionC=PROP_1
FunctionD=PROP_2
FunctionE=MIXTURE_1
FunctionF=FLAPS
THROTTLE_REVERSE=0.1
FLAP_NULL_ZONE=0.05

[QDAPX_1]
Function03=AP_MASTER

[QDNDC_1]
Function28=DECISION_HEIGHT

[QDECP_1]
Function01=BATTERY_MASTER

[QDSSM_1]
Function01=ENG_1_START

[QDANP_1]
Function1=ANP_MASTER_WARNING
Colour1=RED
Function2=ANP_MASTER_CAUTION
Colour2=YELLOW
Function3=BEACON_LTS
Colour3=GREEN

[QDIOB_1]
InputFunction01=BEACON_LTS
InputFunction02=TAXI_LTS
InputSwitchTypeFunction02=SWITCH2WAY
InputFunction03=STROBE_LTS
InputOffStateFunction03=NAV_LTS
InputSwitchTypeFunction03=SWITCH3WAY
InputFunction05=EFIS_ND_MODE_MAP
InputSwitchTypeFunction05=SELECTOR
OutputFunction01=BEACON_LTS
OutputFunction02=TAXI_LTS
)";

// The toggle panel (type 3) carries the avionics and battery masters (switches 7 and 8 above).
// Registration pushes where its switches stand, so they start off and every display dark: the
// benchmarks turn them on before timing, as a pilot would.
inline constexpr int kTogglePanel = 3;
inline constexpr int kPowerSwitches[] = {7, 8};

// Device type numbers of every model, in the order the units are plugged.
inline constexpr int kModels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 17, 18, 19};

// A fresh simulator folder (under /tmp, named after tmpl_name) holding these settings, with the
// aircraft's battery and avionics on so that displays show values rather than blanks. Returns
// the folder, for the caller to remove.
inline std::string PrepareSimulator(const char* tmpl_name) {
    hostsim::Reset();
    std::string tmpl = std::string("/tmp/") + tmpl_name + "_XXXXXX";
    const std::string root = mkdtemp(tmpl.data());
    hostsim::CreateRoot(root);
    std::ofstream(hostsim::SystemPath() + "Resources/plugins/DRAV/DRAV.INI") << kIni;
    hostsim::SetInt("sim/cockpit/electrical/battery_on", 1);
    hostsim::SetInt("sim/cockpit/electrical/avionics_on", 1);
    hostsim::SetFloats("sim/flightmodel/engine/ENGN_bat_volt", {24.0f});
    return root;
}

} // namespace bench
