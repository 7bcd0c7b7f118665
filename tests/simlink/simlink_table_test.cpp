// The function binding table: a broad sample of rows in both columns, the dispatch rules, and
// every function's bound/unbound status.
#include "core/globals.h"
#include "hostsim.h"
#include "simlink/avionic.h"
#include "simlink/fly_subsystem.h"
#include "simlink/simlink_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Adds a dataref the stand-in lacks (the plug-in's own), leaving an existing one alone.
void EnsureDataref(const char* name, const char* type) {
    if (!hostsim::HasDataref(name)) {
        EXPECT_TRUE(hostsim::AddDataref(name, type, "0")) << name;
    }
}

// The plug-in's own datarefs the rows below name (created by the plug-in at start, not by the
// simulator), with the types they are published with.
const char* const kPluginInts[] = {
    "drav/autopilot/hnav",
    "drav/autopilot/vnav",
    "drav/autopilot/asi_is_mach",
    "drav/autopilot_knob/alt_knob",
    "drav/autopilot_state/glideslope_armed",
    "drav/autopilot/heading_hold",
};

class SimLinkTableTest : public ::testing::Test {
  protected:
    // The stand-in is not reset: other value objects keep handles found earlier.
    void SetUp() override {
        for (const char* name : kPluginInts)
            EnsureDataref(name, "int");
        EnsureDataref("drav/autopilot/nav2_obs", "float");
        inverter_ = hostsim::GetInts(kInverter);
        range_ = hostsim::GetInt(kRange);
        ident_ = hostsim::GetInt(kIdent);
        hostsim::ClearCommandLog();
        g_Enable_x737_Support = 0;
    }
    void TearDown() override {
        g_Enable_x737_Support = 0;
        hostsim::SetInts(kInverter, inverter_);
        hostsim::SetInt(kRange, range_);
        hostsim::SetInt(kIdent, ident_);
        hostsim::ClearCommandLog();
    }

    static void Bind(E_UnitType f, Fly_subsystem& b, bool x737) {
        g_Enable_x737_Support = x737 ? 1 : 0;
        of_SimLink(f, nullptr, b, -1, TARGET_QDRSX);
    }

    static constexpr const char* kInverter = "sim/cockpit/engine/inverter_on";
    static constexpr const char* kRange = "sim/cockpit/switches/EFIS_map_range_selector";
    static constexpr const char* kIdent = "sim/cockpit/radios/transponder_id";

  private:
    std::vector<int> inverter_;
    int range_ = 0, ident_ = 0;
};

struct SwitchExpect {
    E_UnitType function;
    bool x737;
    const char* dataRef;
    float off, on;
    int compare, type, offset, count;
};

// A sample over every switch table, both columns.
const SwitchExpect kSwitchSample[] = {
    {AP_NAV2_HOLD, false, "sim/cockpit/autopilot/approach_selector", 0, 21, 0, 0, 0, 1},
    {AP_NAV2_HOLD, true, "sim/cockpit/autopilot/approach_selector", 0, 21, 0, 0, 0, 1},
    {SPEED_BRAKE, false, "sim/flightmodel/controls/sbrkrqst", 0, 1, 0, 1, 0, 1},
    {AP_MASTER, false, "sim/cockpit/autopilot/autopilot_mode", 0, 2, 0, 0, 0, 1},
    {AP_MASTER, true, "x737/systems/MCP/LED_FDA_MA_on", 0, 2, 0, 0, 0, 1},
    {AP_DISENGAGE, true, "x737/systems/afds/APengaged", 1, 0, 0, 0, 0, 1},
    {AP_FLIGHT_DIR, true, "x737/systems/afds/fdA_status", 0, 1, 0, 0, 0, 1},
    {AP_THRUST_N1, true, "x737/systems/MCP/LED_N1_on", 0, 1, 0, 0, 0, 1},
    {AP_LNAV, false, "drav/autopilot/hnav", 0, 1, 0, 0, 0, 1},
    {AP_APPR_HOLD, true, "x737/systems/MCP/LED_APP_on", 0, 1, 0, 0, 0, 1},
    {AP_IAS_MACH_SEL, false, "drav/autopilot/asi_is_mach", 0, 1, 0, 0, 0, 1},
    {AP_IAS_MACH_SEL, true, "x737/systems/afds/CHANGEOVER_toggle", 0, 1, 0, 0, 0, 1},
    {AP_GPS_HOLD, true, "sim/cockpit/autopilot/heading_mode", 0, 14, 0, 0, 0, 1},
    {AP_NAV1_HOLD, false, "sim/cockpit/autopilot/approach_selector", 0, 20, 0, 0, 0, 1},
    {APX_ALT_KNOB, true, "drav/autopilot_knob/alt_knob", 0, 1, 0, 0, 0, 1},
    {AP_SPDINV, true, "x737/systems/afds/SPDINTV", 0, 1, 0, 0, 0, 1},
    {AP_RIGHT_FLIGHT_DIR, true, "x737/systems/MCP/LED_FDB_MA_on", 0, 1, 0, 0, 0, 1},
    {EFIS_SYM_NDB, false, "sim/cockpit/switches/EFIS_shows_NDBs", 0, 1, 0, 0, 0, 1},
    {EFIS_SYM_WXR, true, "sim/cockpit/switches/EFIS_shows_weather", 0, 1, 0, 0, 0, 1},
    {LANDING_GEAR, false, "sim/cockpit/switches/gear_handle_status", 0, 1, 0, 0, 0, 1},
    {CANOPY_OPEN, false, "sim/cockpit/switches/canopy_req", 0, 1, 0, 0, 0, 1},
    {COM2_FLIP, false, "sim/cockpit2/radios/actuators/com2_right_is_selected", 0, 1, 0, 0, 0, 1},
    {HUD_POWER, false, "sim/cockpit/electrical/HUD_on", 0, 1, 0, 0, 0, 1},
    {METRIC_TEMPERATURE, false, "sim/physics/metric_temp", 0, 1, 0, 0, 0, 1},
    {ELECTRIC_HYDRAULIC_PUMP, false, "sim/cockpit2/switches/electric_hydraulic_pump_on", 0, 1, 0, 0, 0, 1},
    {AP_STATE_GLIDESLOPE_ARMED, false, "drav/autopilot_state/glideslope_armed", 0, 1, 0, 0, 0, 1},
    {EFIS_ND_MODE_PLAN, false, "sim/cockpit/switches/EFIS_map_submode", 0, 4, 0, 0, 0, 1},
    {EFIS_ND_RANGE_640NM, false, "sim/cockpit/switches/EFIS_map_range_selector", 0, 6, 0, 0, 0, 1},
    {EFIS_ADF_SEL2, false, "sim/cockpit/switches/EFIS_dme_2_selector", 1, 0, 0, 0, 0, 1},
    {EFIS_VOR_SEL1, false, "sim/cockpit/switches/EFIS_dme_1_selector", 1, 2, 0, 0, 0, 1},
    {EICAS_DSP_HYD, false, "sim/cockpit/switches/ECAM_mode", 3, 3, 0, 0, 0, 1},
    {AUDPNL_COM2_IDENT, false, "sim/cockpit2/radios/actuators/audio_com_selection", 0, 7, 0, 0, 0, 1},
    {AUDPNL_ADF2_IDENT, false, "sim/cockpit2/radios/actuators/audio_nav_selection", 9, 3, 0, 0, 0, 1},
    {XPDR_STBY, false, "sim/cockpit/radios/transponder_mode", 1, 2, 0, 0, 0, 1},
    {FUEL_FEED_CENTRE, false, "sim/cockpit/engine/fuel_tank_selector", 2, 2, 0, 0, 0, 1},
    {APU_SWITCH_START, false, "sim/cockpit/engine/APU_switch", 2, 2, 0, 0, 0, 1},
    {AP_FLIGHT_DIR_AUTO, true, "sim/cockpit/autopilot/autopilot_mode", 2, 2, 0, 0, 0, 1},
    {PANEL_LTS, false, "sim/cockpit/electrical/cockpit_lights", 0, 1, 0, 1, 0, 1},
    {PARKING_BRAKE, false, "sim/flightmodel/controls/parkbrake", 0, 1, 0, 1, 0, 1},
    {PANEL_BRIGHTNESS, false, "sim/cockpit2/switches/panel_brightness_ratio", 0, 1, 0, 3, 0, 1},
    {CARB_HEAT, false, "sim/cockpit2/engine/actuators/carb_heat_ratio", 0, 1, 0, 3, 0, 8},
    {ALTERNATOR_MASTER, false, "sim/cockpit/electrical/generator_on", 0, 1, 0, 2, 0, 8},
    {FUEL_PUMP, true, "sim/cockpit/engine/fuel_pump_on", 0, 1, 0, 2, 0, 8},
    {ALTIMETER_SET_STD, false, "sim/cockpit/misc/barometer_setting", 29.92f, 29.92f, 0, 1, 0, 1},
    {INSTRUMENT_BRIGHTNESS, false, "sim/cockpit/electrical/instrument_brightness", 0, 1, 0, 1, 0, 1},
    {LANDING_LIGHTS_SWITCH_ALL, false, "sim/cockpit2/switches/landing_lights_switch", 0, 1, 0, 3, 0, 16},
    {LANDING_LIGHTS_SWITCH07, false, "sim/cockpit2/switches/landing_lights_switch", 0, 1, 0, 3, 6, 1},
    {LANDING_LIGHTS_SWITCH16, false, "sim/cockpit2/switches/landing_lights_switch", 0, 1, 0, 3, 15, 1},
    {ENG_4_FUEL_RUN_CUTOFF, false, "sim/flightmodel/engine/ENGN_mixt", 0, 1, 0, 3, 3, 1},
    {ENG_6_IGNITER, false, "sim/cockpit/engine/igniters_on", 0, 1, 0, 2, 5, 1},
    {ENG_ALL_GENERATOR, false, "sim/cockpit/electrical/generator_on", 0, 1, 0, 2, 0, 8},
    {ENG_2_INVERTER, false, "sim/cockpit/engine/inverter_on", 0, 1, 0, 2, 1, 1},
    {ENG_ALL_INVERTER, false, "sim/cockpit/engine/inverter_on", 0, 1, 0, 2, 0, 2},
    {ENG_ALL_COWL_FLAPS, false, "sim/flightmodel/engine/ENGN_cowl", 1, 0, 0, 3, 0, 8},
    {ENG_ALL_CARB_HEAT, false, "sim/cockpit2/engine/actuators/carb_heat_ratio", 0, 1, 0, 3, 0, 8},
    {ENG_1_FADEC, false, "sim/cockpit/engine/fadec_on", 0, 1, 0, 2, 0, 1},
    {ENG_7_GOVERNOR, false, "sim/cockpit2/engine/actuators/governor_on", 0, 1, 0, 2, 6, 1},
    {ENG_8_ANTI_ICE_ENGINE_AIR, false, "sim/cockpit/switches/anti_ice_engine_air", 0, 1, 0, 3, 7, 1},
    {ENG_ALL_AFTERBURNER_ENABLED, false, "sim/cockpit2/engine/actuators/afterburner_enabled", 0, 1, 0, 2, 0,
     8},
    {ENG_3_AUTO_IGNITE_ON, false, "sim/cockpit2/engine/actuators/auto_ignite_on", 0, 1, 0, 2, 2, 1},
    {ENG_5_PRIMER_ON, false, "sim/cockpit2/engine/actuators/primer_on", 0, 1, 0, 2, 4, 1},
    {ENG_ALL_FIRE_EXTINGUISHER_ON, false, "sim/cockpit2/engine/actuators/fire_extinguisher_on", 0, 1, 0, 2, 0,
     8},
    {SYS_4_BATTERY, false, "sim/cockpit/electrical/battery_array_on", 0, 1, 0, 2, 3, 1},
    {ENG_ALL_MAGNETO, false, "sim/cockpit/engine/ignition_on", 0, 3, 0, 2, 0, 8},
    {ENG_ALL_MAGNETO_RIGHT, false, "sim/cockpit/engine/ignition_on", 0, 2, 0, 2, 0, 8},
    {ENG_ALL_MAGNETO_OFF, false, "sim/cockpit/engine/ignition_on", 0, 0, 0, 2, 0, 8},
    {ANP_OIL_PRESS_LOW, false, "sim/cockpit/warnings/annunciators/oil_pressure", 0, 1, 2, 0, 0, 1},
    {ANP_VACUUM_LOW_RESVR, false, "sim/cockpit/warnings/annunciators/low_vacuum", 0, 1, 0, 0, 0, 1},
    {ANP_CABIN_ALTITUDE_HIGH, false, "sim/cockpit/warnings/annunciators/cabin_altitude_12500", 0, 1, 0, 0, 0,
     1},
    {ANP_AFTERBURNERS_ON, true, "sim/cockpit/warnings/annunciators/afterburners_on", 0, 1, 2, 0, 0, 1},
    {ANP_GPS_NAV, false, "sim/cockpit/switches/HSI_selector", 0, 2, 0, 0, 0, 1},
    {ANP_FUEL_SELECT_OFF, false, "sim/cockpit/engine/fuel_tank_selector", 2, 0, 0, 0, 0, 1},
    {ANP_FASTEN_SEATBELT_WARNING, false, "sim/cockpit2/annunciators/fasten_seatbelt", 0, 1, 2, 0, 0, 1},
    {ANP_STALL_WARNING, false, "sim/flightmodel/failures/stallwarning", 0, 1, 0, 0, 0, 1},
    {ANP_ENGN3_DC_GEN, false, "sim/cockpit/warnings/annunciators/generator_off", 0, 1, 0, 2, 2, 1},
    {ANP_ENGN1_AUX_FUEL_PUMP, false, "sim/cockpit/engine/fuel_pump_on", 0, 1, 0, 2, 0, 1},
    {ANP_ENGN2_STARTER_ENERGISED, false, "sim/cockpit2/engine/actuators/ignition_key", 3, 4, 0, 2, 1, 1},
    {ANP_INVERTER_2_OFF, false, "sim/cockpit/warnings/annunciators/inverter_off", 0, 1, 0, 2, 1, 1},
    {ANP_ENGN4_ICE_VANE_EXTENDED, false, "sim/cockpit/warnings/annunciators/ice_vane_extend", 0, 1, 0, 2, 3,
     1},
    {ANP_ENGN2_N1_HIGH, false, "sim/cockpit/warnings/annunciators/N1_high", 0, 1, 0, 2, 1, 1},
    {ANP_FUEL_TANK9_TRANSFER, false, "sim/cockpit/warnings/annunciators/fuel_transfer", 0, 1, 0, 2, 8, 1},
};

TEST_F(SimLinkTableTest, SwitchRowsBindTheirDatarefValuesAndSlices) {
    for (const SwitchExpect& e : kSwitchSample) {
        SCOPED_TRACE(of_unit_name(e.function) + std::string(e.x737 ? " (x737)" : " (default)"));
        EXPECT_TRUE(hostsim::HasDataref(e.dataRef)) << e.dataRef << " is missing from the stand-in";
        Fly_subsystem b;
        Bind(e.function, b, e.x737);
        ASSERT_EQ(b.GetUnitType(), e.function);
        EXPECT_EQ(b.kind, Fly_subsystem::KIND_DATAREF);
        EXPECT_EQ(b.switchCount, 1);
        EXPECT_EQ(b.operational, 1);
        const DATAREF_SWITCH& s = b.switches[0];
        EXPECT_EQ(s.dataRef, XPLMFindDataRef(e.dataRef));
        EXPECT_FLOAT_EQ(s.offValue, e.off);
        EXPECT_FLOAT_EQ(s.onValue, e.on);
        EXPECT_EQ(static_cast<int>(s.compareMode), e.compare);
        EXPECT_EQ(s.dataType, e.type);
        EXPECT_EQ(s.arrayOffset, e.offset);
        EXPECT_EQ(s.arrayCount, e.count);
    }
}

struct ValueExpect {
    E_UnitType function;
    bool x737;
    const char* label;
    int format;
    const char* dataRef; // nullptr: no dataref
};

const ValueExpect kValueSample[] = {
    {ADF1_STANDBY, false, "AD1S", 1, "sim/cockpit/radios/adf1_stdby_freq_hz"},
    {ADF2_CARD, false, "AD2H", 1, "sim/cockpit/radios/adf2_cardinal_dir"},
    {COM1_ACTIVE, false, "COM1", 4, "sim/cockpit/radios/com1_freq_hz"},
    {COM2_DUAL, true, "CM2D", 4, "sim/cockpit/radios/com2_freq_hz"},
    {DME_ACTIVE, false, "DMEA ", 4, "sim/cockpit/radios/dme_freq_hz"},
    {NAV1_STANDBY, false, "NV1S", 4, "sim/cockpit/radios/nav1_stdby_freq_hz"},
    {XPDR, false, "XPDR", 2, "sim/cockpit/radios/transponder_code"},
    {XPDR_DIGIT_3, false, "XPDRD3", 2, "sim/cockpit/radios/transponder_code"},
    {ADF2_STANDBY_FINE, false, "AD2S_2", 1, "sim/cockpit/radios/adf2_stdby_freq_hz"},
    {COM1_STANDBY_COARSE, false, "CM1S_1", 4, "sim/cockpit/radios/com1_stdby_freq_hz"},
    {NAV2_ACTIVE_FINE, false, "NAV2_2", 4, "sim/cockpit/radios/nav2_freq_hz"},
    {NAV2_ACTIVE_COARSE, false, "NAV2_1", 4, "sim/cockpit/radios/nav2_freq_hz"},
    {DME_STANDBY_FINE, false, "DMES_2", 4, "sim/cockpit/radios/dme_stdby_freq_hz"},
    {OBS2, false, "OBS2", 1, "drav/autopilot/nav2_obs"},
    {AP_HEADING_ADJ, true, "HDG ", 1, "x737/systems/afds/HDG_magnhdg"},
    {AP_SPEED_ADJ, false, "SPD ", 5, "sim/cockpit/autopilot/airspeed"},
    {AP_SPEED_ADJ, true, "SPD ", 5, "x737/systems/athr/MCPSPD_spd"},
    {AP_ALTITUDE_ADJ, true, "ALT ", 3, "x737/systems/afds/ALTHLD_baroalt"},
    {AP_VERT_SPEED_ADJ, false, " VS ", 3, "sim/cockpit/autopilot/vertical_velocity"},
    {AP_VERT_SPEED_ADJ, true, " VS ", 3, "x737/systems/afds/VS_vvi"},
    {ALTIMETER, false, "ALTI", 8, "sim/cockpit/misc/barometer_setting"},
    {COCKPIT_LTS, false, "CKPT", 6, "sim/cockpit/electrical/cockpit_lights"},
    {DISP_BRIGHTNESS, false, "DBRT", 9, nullptr},
    {PANEL_BRIGHTNESS_LEVEL, false, "PBLV", 6, "sim/cockpit/electrical/cockpit_lights"},
    {DECISION_HEIGHT, false, " DH ", 2, "sim/cockpit/misc/radio_altimeter_minimum"},
    {APU_SWITCH, false, " APU", 0, "sim/cockpit/engine/APU_switch"},
    {NAV_COM_ADF_MODE, false, "NAVM", 0, "sim/cockpit/radios/nav_com_adf_mode"},
    {EFIS_ND_MODE_SEL, false, "NDM ", 0, "sim/cockpit/switches/EFIS_map_mode"},
    {EFIS_ND_RANGE_SEL, true, "NDRG", 7, "sim/cockpit/switches/EFIS_map_range_selector"},
    {FUEL_TRANSFER_FROM, false, "FT F", 1, "sim/cockpit/engine/fuel_tank_transfer_from"},
    {FUEL_TRANSFER_TO, false, "FT T", 1, "sim/cockpit/engine/fuel_tank_transfer"},
    {ROTOR_TRIM, false, "RORT", 12, "sim/flightmodel/controls/rot_trim"},
    {AUTO_BRAKE, false, "ABRK", 0, "sim/cockpit/switches/auto_brake_settings"},
};

TEST_F(SimLinkTableTest, ValueRowsConfigureTheFunctionsOwnObject) {
    for (const ValueExpect& e : kValueSample) {
        SCOPED_TRACE(of_unit_name(e.function) + std::string(e.x737 ? " (x737)" : " (default)"));
        if (e.dataRef) {
            EXPECT_TRUE(hostsim::HasDataref(e.dataRef)) << e.dataRef << " is missing from the stand-in";
        }
        g_Enable_x737_Support = e.x737 ? 1 : 0;
        Avionic* place = nullptr;
        Fly_subsystem b;
        of_SimLink(e.function, &place, b, -1, TARGET_QDRSX);
        ASSERT_NE(place, nullptr);
        EXPECT_EQ(place, DRAV_AvionicFor(e.function));
        EXPECT_STREQ(place->label, e.label);
        EXPECT_EQ(static_cast<int>(place->displayType), e.format);
        EXPECT_EQ(place->GetUnitType(), e.function);
        EXPECT_EQ(place->dataRef, e.dataRef ? XPLMFindDataRef(e.dataRef) : nullptr);
        EXPECT_EQ(b.GetUnitType(), NADA); // the switch binding is not touched
        // Binding again hands out the same object.
        Avionic* again = nullptr;
        of_SimLink(e.function, &again, b, -1, TARGET_QDRSX);
        EXPECT_EQ(again, place);
    }
}

TEST_F(SimLinkTableTest, EveryValueFunctionWithAPlaceGetsItsObject) {
    for (int f = ADF1_ACTIVE; f <= RMI_SELECTOR; ++f) {
        const E_UnitType function = static_cast<E_UnitType>(f);
        Avionic sentinel;
        Avionic* place = &sentinel;
        Fly_subsystem b;
        of_SimLink(function, &place, b, -1, TARGET_QDRSX);
        if (f == NAV1_NAV2_TOGGLE || f == COM1_COM2_TOGGLE) {
            EXPECT_EQ(place, &sentinel);
            EXPECT_EQ(b.kind, Fly_subsystem::KIND_MODULE_FUNCTION);
        } else if (f == MAP_RANGE || f == RMI_SELECTOR) {
            EXPECT_EQ(place, &sentinel) << of_unit_name(f);
            EXPECT_EQ(b.GetUnitType(), NADA);
        } else {
            EXPECT_EQ(place, DRAV_AvionicFor(function)) << of_unit_name(f);
            ASSERT_NE(place, nullptr);
            EXPECT_EQ(place->GetUnitType(), function);
            EXPECT_EQ(b.GetUnitType(), NADA);
        }
    }
}

TEST_F(SimLinkTableTest, PageSteppingUsesTheCom1DualObject) {
    Avionic* place = nullptr;
    Fly_subsystem b;
    of_SimLink(PREV, &place, b, -1, TARGET_QDRSX);
    EXPECT_EQ(place, DRAV_AvionicFor(COM1_DUAL));
    EXPECT_STREQ(place->label, "PREV");
    EXPECT_EQ(place->GetUnitType(), PREV);
    of_SimLink(NEXT, &place, b, -1, TARGET_QDRSX);
    EXPECT_EQ(place, DRAV_AvionicFor(COM1_DUAL));
    EXPECT_STREQ(place->label, "NEXT");
    EXPECT_EQ(place->dataRef, XPLMFindDataRef("sim/cockpit/radios/com1_freq_hz"));
}

TEST_F(SimLinkTableTest, ModeSwitchesFollowTheColumn) {
    Avionic* speed = nullptr;
    Fly_subsystem b;
    of_SimLink(AP_SPEED_ADJ, &speed, b, -1, TARGET_QDRSX);
    EXPECT_EQ(speed->modeSwitch.dataRef, XPLMFindDataRef("sim/cockpit/autopilot/airspeed_is_mach"));
    EXPECT_FLOAT_EQ(speed->modeSwitch.onValue, 1.0f);
    EXPECT_FLOAT_EQ(speed->modeSwitch.offValue, 0.0f);
    EXPECT_EQ(speed->modeSwitch.dataType, 0);
    EXPECT_EQ(speed->modeSwitch.arrayCount, 1);
    g_Enable_x737_Support = 1;
    of_SimLink(AP_SPEED_ADJ, &speed, b, -1, TARGET_QDRSX);
    EXPECT_EQ(speed->modeSwitch.dataRef, XPLMFindDataRef("x737/systems/athr/MCPSPD_ismach"));

    // The altitude's x737 form has no mode switch: an earlier registration stays.
    g_Enable_x737_Support = 0;
    Avionic* alt = nullptr;
    of_SimLink(AP_ALTITUDE_ADJ, &alt, b, -1, TARGET_QDRSX);
    const XPLMDataRef knob = XPLMFindDataRef("drav/autopilot_knob/alt_knob");
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(alt->modeSwitch.dataRef, knob);
    g_Enable_x737_Support = 1;
    of_SimLink(AP_ALTITUDE_ADJ, &alt, b, -1, TARGET_QDRSX);
    EXPECT_EQ(alt->dataRef, XPLMFindDataRef("x737/systems/afds/ALTHLD_baroalt"));
    EXPECT_EQ(alt->modeSwitch.dataRef, knob);
}

TEST_F(SimLinkTableTest, DispatchRules) {
    Avionic sentinel;
    // A value function without a place drives a target avionics unit.
    Fly_subsystem b;
    of_SimLink(COM1_ACTIVE, nullptr, b, 1, TARGET_QDAVY);
    EXPECT_EQ(b.kind, Fly_subsystem::KIND_MODULE_FUNCTION);
    EXPECT_EQ(b.targetFunction, COM1_ACTIVE);
    EXPECT_EQ(b.targetUnit, 1);
    EXPECT_EQ(b.targetKind, TARGET_QDAVY);
    // So do MAP_RANGE and RMI_SELECTOR, which have no value of their own.
    Avionic* place = &sentinel;
    of_SimLink(MAP_RANGE, &place, b, 0, TARGET_QDAVX);
    EXPECT_EQ(place, &sentinel);
    of_SimLink(RMI_SELECTOR, nullptr, b, 0, TARGET_QDAVX);
    EXPECT_EQ(b.GetUnitType(), RMI_SELECTOR);
    EXPECT_EQ(b.kind, Fly_subsystem::KIND_MODULE_FUNCTION);

    // The list and toggle functions are module functions even with a place.
    for (E_UnitType f : {FUNC_INST, FUNC_AP, NAV1_NAV2_TOGGLE, COM1_COM2_TOGGLE}) {
        Fly_subsystem m;
        place = &sentinel;
        of_SimLink(f, &place, m, 0, TARGET_QDRSX);
        EXPECT_EQ(place, &sentinel);
        EXPECT_EQ(m.kind, Fly_subsystem::KIND_MODULE_FUNCTION);
        EXPECT_EQ(m.targetFunction, f);
    }

    // NADA clears a place; without one the binding is left unbound.
    place = &sentinel;
    of_SimLink(NADA, &place, b, 0, TARGET_QDRSX);
    EXPECT_EQ(place, nullptr);
    Fly_subsystem empty;
    of_SimLink(NADA, nullptr, empty, 0, TARGET_QDRSX);
    EXPECT_EQ(empty.GetUnitType(), NADA);

    // A default-column "nothing" leaves place and binding as they were.
    Fly_subsystem kept;
    of_SimLink(BATTERY_MASTER, nullptr, kept, -1, TARGET_QDRSX);
    place = &sentinel;
    of_SimLink(AP_THRUST_N1, &place, kept, -1, TARGET_QDRSX);
    EXPECT_EQ(kept.GetUnitType(), BATTERY_MASTER);
    EXPECT_EQ(place, &sentinel);

    // Levers and the end markers bind nothing.
    for (E_UnitType f : {MAX_AVIONIC, MAX_SUBSYSTEM, FLAPS, ENG_ALL_PROP_PITCH}) {
        place = &sentinel;
        of_SimLink(f, &place, kept, -1, TARGET_QDRSX);
        EXPECT_EQ(place, &sentinel);
        EXPECT_EQ(kept.GetUnitType(), BATTERY_MASTER);
    }
}

TEST_F(SimLinkTableTest, ValuesAboveTheValueRangeNeverWriteThroughAMissingPlace) {
    for (E_UnitType f :
         {EFIS_ND_MODE_SEL, EFIS_ND_SUB_MODE_SEL, EFIS_ND_RANGE_SEL, FUEL_FEED, FUEL_TRANSFER_FROM,
          FUEL_TRANSFER_TO, ELEV_TRIM, AILERON_TRIM, RUDDER_TRIM, ROTOR_TRIM, AUTO_BRAKE}) {
        Fly_subsystem b;
        of_SimLink(BATTERY_MASTER, nullptr, b, -1, TARGET_QDRSX);
        of_SimLink(f, nullptr, b, -1, TARGET_QDRSX);
        EXPECT_EQ(b.GetUnitType(), BATTERY_MASTER) << of_unit_name(f);
    }
}

TEST_F(SimLinkTableTest, EveryFunctionIsBoundExceptTheDocumentedOnes) {
    std::set<int> unbound = {COM1_NAV1_TOGGLE,
                             COM2_NAV2_TOGGLE,
                             ADF_XPDR_TOGGLE,
                             XPDR_VFR_SET,
                             AILERON_TRIM_LEFT,
                             AILERON_TRIM_RIGHT,
                             RUDDER_TRIM_LEFT,
                             RUDDER_TRIM_RIGHT,
                             ANP_LEFT_STARTER_ENERGISED,
                             ANP_RIGHT_STARTER_ENERGISED,
                             MAX_AVIONIC};
    for (int n = 3; n <= 8; ++n)
        unbound.insert(ENG_1_INVERTER + n - 1);
    for (int n = 0; n < 8; ++n) {
        for (int first : {ENG_1_COWL_FLAPS, ENG_1_CARB_HEAT, ENG_1_MAGNETO, ENG_1_MAGNETO_LEFT,
                          ENG_1_MAGNETO_RIGHT, ENG_1_MAGNETO_OFF})
            unbound.insert(first + n);
    }
    // Values bound as switches (no place) stay unbound too.
    for (int f : {EFIS_ND_MODE_SEL, EFIS_ND_SUB_MODE_SEL, EFIS_ND_RANGE_SEL, FUEL_FEED, FUEL_TRANSFER_FROM,
                  FUEL_TRANSFER_TO, ELEV_TRIM, AILERON_TRIM, RUDDER_TRIM, ROTOR_TRIM, AUTO_BRAKE})
        unbound.insert(f);
    std::set<int> x737Only = {AP_THRUST_N1, AP_IAS_HOLD, AP_CMD_A,  AP_CMD_B,
                              AP_ALTINV,    AP_SPDINV,   AP_VORLOC, AP_RIGHT_FLIGHT_DIR};

    for (bool x737 : {false, true}) {
        for (int f = MAX_AVIONIC; f < kUnitTypeCount; ++f) {
            Fly_subsystem b;
            Bind(static_cast<E_UnitType>(f), b, x737);
            const bool expectUnbound =
                f > ANP_AFTERBURNERS_ON || unbound.count(f) > 0 || (!x737 && x737Only.count(f) > 0);
            EXPECT_EQ(b.GetUnitType(), expectUnbound ? NADA : f)
                << of_unit_name(f) << (x737 ? " (x737)" : " (default)");
        }
    }
}

TEST_F(SimLinkTableTest, CommandRows) {
    using hostsim::CommandKind;
    // Transponder ident: key 93 on each event but a release; the lamp follows the dataref.
    Fly_subsystem ident;
    Bind(XPDR_IDENT, ident, false);
    EXPECT_EQ(ident.kind, Fly_subsystem::KIND_COMMAND);
    EXPECT_EQ(ident.multiOption, 1);
    ident.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    ident.SetFly(Fly_subsystem::ACTION_RELEASE, 0, 0);
    ident.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    auto log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, CommandKind::KeyStroke);
    EXPECT_EQ(log[0].number, 93);
    hostsim::SetInt(kIdent, 1);
    ident.GetFly();
    EXPECT_EQ(ident.GetOnOff(), 1);

    Fly_subsystem b;
    Bind(AP_DISENGAGE, b, false);
    EXPECT_EQ(b.kind, Fly_subsystem::KIND_COMMAND);
    EXPECT_EQ(b.commandType, Fly_subsystem::COMMAND_BUTTON);
    EXPECT_EQ(b.commandPair, 1);
    EXPECT_EQ(b.buttonIds[0], 0);
    EXPECT_EQ(b.buttonIds[1], 59);
    EXPECT_EQ(b.momentary, 1);

    Bind(ENG_3_START, b, true);
    EXPECT_EQ(b.hold, 1);
    EXPECT_EQ(b.buttonIds[0], 4);
    Bind(ENG_ALL_START, b, false);
    EXPECT_EQ(b.buttonIds[0], 1);
    hostsim::ClearCommandLog();
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, CommandKind::ButtonPress);
    EXPECT_EQ(log[0].number, 1);

    Bind(FLAPS_UP_DOWN, b, false);
    EXPECT_EQ(b.hold, 0);
    EXPECT_EQ(b.commandPair, 1);
    EXPECT_EQ(b.buttonIds[0], 48);
    EXPECT_EQ(b.buttonIds[1], 47);
    EXPECT_EQ(b.momentary, 0);
    Bind(FLAPS_RETRACT_1, b, false);
    EXPECT_EQ(b.commandPair, 0);
    EXPECT_EQ(b.buttonIds[0], 47);
    Bind(ELEV_TRIM_NOSE_DOWN, b, false);
    EXPECT_EQ(b.commandType, Fly_subsystem::COMMAND_KEY);
    EXPECT_EQ(b.keyIds[0], 71);
}

TEST_F(SimLinkTableTest, BehaviourOfSampleBindings) {
    // The approach hold is on while both navigation modes are, and switches both.
    Fly_subsystem appr;
    Bind(AP_APPR_HOLD, appr, false);
    EXPECT_EQ(appr.switchCount, 2);
    appr.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    EXPECT_EQ(hostsim::GetInt("drav/autopilot/hnav"), 1);
    EXPECT_EQ(hostsim::GetInt("drav/autopilot/vnav"), 1);

    // The inverter ALL form writes its two elements.
    Fly_subsystem inv;
    Bind(ENG_ALL_INVERTER, inv, false);
    inv.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    EXPECT_EQ(hostsim::GetInts(kInverter), (std::vector<int>{1, 1}));

    // A range position is on exactly at its selector value.
    Fly_subsystem range;
    Bind(EFIS_ND_RANGE_80NM, range, false);
    for (int v = 0; v <= 6; ++v) {
        hostsim::SetInt(kRange, v);
        range.GetFly();
        EXPECT_EQ(range.GetOnOff(), v == 3 ? 1 : 0) << v;
    }

    // Switching the x737 flag takes effect at the next binding of the same control.
    Fly_subsystem hdg;
    Bind(AP_HDG_HOLD, hdg, false);
    EXPECT_EQ(hdg.switches[0].dataRef, XPLMFindDataRef("drav/autopilot/heading_hold"));
    Bind(AP_HDG_HOLD, hdg, true);
    EXPECT_EQ(hdg.switches[0].dataRef, XPLMFindDataRef("x737/systems/MCP/LED_HDG_on"));
    EXPECT_NE(hdg.switches[0].dataRef, nullptr);
}

} // namespace
