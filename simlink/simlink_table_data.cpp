// The function binding table rows: value bindings, autopilot modes and commands. The plain
// switches, selectors, engine families and annunciators are in simlink_table_switches.cpp;
// of_SimLink itself is in simlink_table.cpp.

#include "XPLMUtilities.h"
#include "simlink_table_rows.h"

namespace simlink_table {

// Value bindings. Columns: function, label, format (EDisplayType), dataref, mode switch,
// x737 dataref, x737 mode switch.
const ValueRow kValueRows[] = {
    {ADF1_ACTIVE, "ADF1", 1, "sim/cockpit/radios/adf1_freq_hz", nullptr, nullptr, nullptr},          // 1
    {ADF1_STANDBY, "AD1S", 1, "sim/cockpit/radios/adf1_stdby_freq_hz", nullptr, nullptr, nullptr},   // 2
    {ADF1_DUAL, "AD1D", 1, "sim/cockpit/radios/adf1_freq_hz", nullptr, nullptr, nullptr},            // 3
    {ADF1_CARD, "ADFH", 1, "sim/cockpit/radios/adf1_cardinal_dir", nullptr, nullptr, nullptr},       // 4
    {ADF2_ACTIVE, "ADF2", 1, "sim/cockpit/radios/adf2_freq_hz", nullptr, nullptr, nullptr},          // 5
    {ADF2_STANDBY, "AD2S", 1, "sim/cockpit/radios/adf2_stdby_freq_hz", nullptr, nullptr, nullptr},   // 6
    {ADF2_DUAL, "AD2D", 1, "sim/cockpit/radios/adf2_freq_hz", nullptr, nullptr, nullptr},            // 7
    {ADF2_CARD, "AD2H", 1, "sim/cockpit/radios/adf2_cardinal_dir", nullptr, nullptr, nullptr},       // 8
    {COM1_ACTIVE, "COM1", 4, "sim/cockpit/radios/com1_freq_hz", nullptr, nullptr, nullptr},          // 9
    {COM1_STANDBY, "CM1S", 4, "sim/cockpit/radios/com1_stdby_freq_hz", nullptr, nullptr, nullptr},   // 10
    {COM1_DUAL, "CM1D", 4, "sim/cockpit/radios/com1_freq_hz", nullptr, nullptr, nullptr},            // 11
    {COM2_ACTIVE, "COM2", 4, "sim/cockpit/radios/com2_freq_hz", nullptr, nullptr, nullptr},          // 12
    {COM2_STANDBY, "CM2S", 4, "sim/cockpit/radios/com2_stdby_freq_hz", nullptr, nullptr, nullptr},   // 13
    {COM2_DUAL, "CM2D", 4, "sim/cockpit/radios/com2_freq_hz", nullptr, nullptr, nullptr},            // 14
    {DME_ACTIVE, "DMEA ", 4, "sim/cockpit/radios/dme_freq_hz", nullptr, nullptr, nullptr},           // 15
    {DME_STANDBY, "DMES", 4, "sim/cockpit/radios/dme_stdby_freq_hz", nullptr, nullptr, nullptr},     // 16
    {DME_DUAL, "DMED", 4, "sim/cockpit/radios/dme_freq_hz", nullptr, nullptr, nullptr},              // 17
    {NAV1_ACTIVE, "NAV1", 4, "sim/cockpit/radios/nav1_freq_hz", nullptr, nullptr, nullptr},          // 18
    {NAV1_STANDBY, "NV1S", 4, "sim/cockpit/radios/nav1_stdby_freq_hz", nullptr, nullptr, nullptr},   // 19
    {NAV1_DUAL, "NV1D", 4, "sim/cockpit/radios/nav1_freq_hz", nullptr, nullptr, nullptr},            // 20
    {NAV2_ACTIVE, "NAV2", 4, "sim/cockpit/radios/nav2_freq_hz", nullptr, nullptr, nullptr},          // 21
    {NAV2_STANDBY, "NV2S", 4, "sim/cockpit/radios/nav2_stdby_freq_hz", nullptr, nullptr, nullptr},   // 22
    {NAV2_DUAL, "NV2D", 4, "sim/cockpit/radios/nav2_freq_hz", nullptr, nullptr, nullptr},            // 23
    {XPDR, "XPDR", 2, "sim/cockpit/radios/transponder_code", nullptr, nullptr, nullptr},             // 24
    {PREV, "PREV", 4, "sim/cockpit/radios/com1_freq_hz", nullptr, nullptr, nullptr},                 // 25
    {NEXT, "NEXT", 4, "sim/cockpit/radios/com1_freq_hz", nullptr, nullptr, nullptr},                 // 26
    {XPDR_DIGIT_1, "XPDRD1", 2, "sim/cockpit/radios/transponder_code", nullptr, nullptr, nullptr},   // 29
    {XPDR_DIGIT_2, "XPDRD2", 2, "sim/cockpit/radios/transponder_code", nullptr, nullptr, nullptr},   // 30
    {XPDR_DIGIT_3, "XPDRD3", 2, "sim/cockpit/radios/transponder_code", nullptr, nullptr, nullptr},   // 31
    {XPDR_DIGIT_4, "XPDRD4", 2, "sim/cockpit/radios/transponder_code", nullptr, nullptr, nullptr},   // 32
    {ADF1_ACTIVE_COARSE, "ADF1_1", 1, "sim/cockpit/radios/adf1_freq_hz", nullptr, nullptr, nullptr}, // 33
    {ADF1_ACTIVE_FINE, "ADF1_2", 1, "sim/cockpit/radios/adf1_freq_hz", nullptr, nullptr, nullptr},   // 34
    {ADF1_STANDBY_COARSE, "AD1S_1", 1, "sim/cockpit/radios/adf1_stdby_freq_hz", nullptr, nullptr,
     nullptr}, // 35
    {ADF1_STANDBY_FINE, "AD1S_2", 1, "sim/cockpit/radios/adf1_stdby_freq_hz", nullptr, nullptr,
     nullptr},                                                                                       // 36
    {ADF2_ACTIVE_COARSE, "ADF2_1", 1, "sim/cockpit/radios/adf2_freq_hz", nullptr, nullptr, nullptr}, // 37
    {ADF2_ACTIVE_FINE, "ADF2_2", 1, "sim/cockpit/radios/adf2_freq_hz", nullptr, nullptr, nullptr},   // 38
    {ADF2_STANDBY_COARSE, "AD2S_1", 1, "sim/cockpit/radios/adf2_stdby_freq_hz", nullptr, nullptr,
     nullptr}, // 39
    {ADF2_STANDBY_FINE, "AD2S_2", 1, "sim/cockpit/radios/adf2_stdby_freq_hz", nullptr, nullptr,
     nullptr},                                                                                       // 40
    {COM1_ACTIVE_COARSE, "COM1_1", 4, "sim/cockpit/radios/com1_freq_hz", nullptr, nullptr, nullptr}, // 41
    {COM1_ACTIVE_FINE, "COM1_2", 4, "sim/cockpit/radios/com1_freq_hz", nullptr, nullptr, nullptr},   // 42
    {COM1_STANDBY_COARSE, "CM1S_1", 4, "sim/cockpit/radios/com1_stdby_freq_hz", nullptr, nullptr,
     nullptr}, // 43
    {COM1_STANDBY_FINE, "CM1S_2", 4, "sim/cockpit/radios/com1_stdby_freq_hz", nullptr, nullptr,
     nullptr},                                                                                       // 44
    {COM2_ACTIVE_COARSE, "COM2_1", 4, "sim/cockpit/radios/com2_freq_hz", nullptr, nullptr, nullptr}, // 45
    {COM2_ACTIVE_FINE, "COM2_2", 4, "sim/cockpit/radios/com2_freq_hz", nullptr, nullptr, nullptr},   // 46
    {COM2_STANDBY_COARSE, "CM2S_1", 4, "sim/cockpit/radios/com2_stdby_freq_hz", nullptr, nullptr,
     nullptr}, // 47
    {COM2_STANDBY_FINE, "CM2S_2", 4, "sim/cockpit/radios/com2_stdby_freq_hz", nullptr, nullptr,
     nullptr},                                                                                     // 48
    {DME_ACTIVE_COARSE, "DMEA_1", 4, "sim/cockpit/radios/dme_freq_hz", nullptr, nullptr, nullptr}, // 49
    {DME_ACTIVE_FINE, "DMEA_2", 4, "sim/cockpit/radios/dme_freq_hz", nullptr, nullptr, nullptr},   // 50
    {DME_STANDBY_COARSE, "DMES_1", 4, "sim/cockpit/radios/dme_stdby_freq_hz", nullptr, nullptr,
     nullptr},                                                                                          // 51
    {DME_STANDBY_FINE, "DMES_2", 4, "sim/cockpit/radios/dme_stdby_freq_hz", nullptr, nullptr, nullptr}, // 52
    {NAV1_ACTIVE_COARSE, "NAV1_1", 4, "sim/cockpit/radios/nav1_freq_hz", nullptr, nullptr, nullptr},    // 53
    {NAV1_ACTIVE_FINE, "NAV1_2", 4, "sim/cockpit/radios/nav1_freq_hz", nullptr, nullptr, nullptr},      // 54
    {NAV1_STANDBY_COARSE, "NV1S_1", 4, "sim/cockpit/radios/nav1_stdby_freq_hz", nullptr, nullptr,
     nullptr}, // 55
    {NAV1_STANDBY_FINE, "NV1S_2", 4, "sim/cockpit/radios/nav1_stdby_freq_hz", nullptr, nullptr,
     nullptr},                                                                                       // 56
    {NAV2_ACTIVE_FINE, "NAV2_2", 4, "sim/cockpit/radios/nav2_freq_hz", nullptr, nullptr, nullptr},   // 57
    {NAV2_ACTIVE_COARSE, "NAV2_1", 4, "sim/cockpit/radios/nav2_freq_hz", nullptr, nullptr, nullptr}, // 58
    {NAV2_STANDBY_COARSE, "NV2S_1", 4, "sim/cockpit/radios/nav2_stdby_freq_hz", nullptr, nullptr,
     nullptr}, // 59
    {NAV2_STANDBY_FINE, "NV2S_2", 4, "sim/cockpit/radios/nav2_stdby_freq_hz", nullptr, nullptr,
     nullptr},                                                               // 60
    {OBS1, "OBS1", 1, "drav/autopilot/nav1_obs", nullptr, nullptr, nullptr}, // 61
    {OBS2, "OBS2", 1, "drav/autopilot/nav2_obs", nullptr, nullptr, nullptr}, // 62
    {AP_HEADING_ADJ, "HDG ", 1, "drav/autopilot/heading_crs", nullptr, "x737/systems/afds/HDG_magnhdg",
     nullptr},                                                                            // 63
    {AP_NAV_COURSE_ADJ, "CRS ", 1, "drav/autopilot/nav1_obs", nullptr, nullptr, nullptr}, // 64
    {AP_SPEED_ADJ, "SPD ", 5, "sim/cockpit/autopilot/airspeed", "sim/cockpit/autopilot/airspeed_is_mach",
     "x737/systems/athr/MCPSPD_spd", "x737/systems/athr/MCPSPD_ismach"}, // 65
    {AP_ALTITUDE_ADJ, "ALT ", 3, "sim/cockpit/autopilot/altitude", "drav/autopilot_knob/alt_knob",
     "x737/systems/afds/ALTHLD_baroalt", nullptr}, // 66
    {AP_VERT_SPEED_ADJ, " VS ", 3, "sim/cockpit/autopilot/vertical_velocity", nullptr,
     "x737/systems/afds/VS_vvi", nullptr},                                                           // 67
    {ALTIMETER, "ALTI", 8, "sim/cockpit/misc/barometer_setting", nullptr, nullptr, nullptr},         // 68
    {COCKPIT_LTS, "CKPT", 6, "sim/cockpit/electrical/cockpit_lights", nullptr, nullptr, nullptr},    // 69
    {DISP_BRIGHTNESS, "DBRT", 9, "", nullptr, nullptr, nullptr},                                     // 70
    {HUD_BRIGHTNESS, "HBRT", 6, "sim/cockpit/electrical/HUD_brightness", nullptr, nullptr, nullptr}, // 71
    {INST_BRIGHTNESS, "IBRT", 6, "sim/cockpit/electrical/instrument_brightness", nullptr, nullptr,
     nullptr}, // 72
    {INSTRUMENT_BRIGHTNESS_LEVEL, "IBLV", 6, "sim/cockpit/electrical/instrument_brightness", nullptr, nullptr,
     nullptr}, // 73
    {PANEL_BRIGHTNESS_LEVEL, "PBLV", 6, "sim/cockpit/electrical/cockpit_lights", nullptr, nullptr,
     nullptr},                                                                                           // 74
    {DECISION_HEIGHT, " DH ", 2, "sim/cockpit/misc/radio_altimeter_minimum", nullptr, nullptr, nullptr}, // 75
    {APU_SWITCH, " APU", 0, "sim/cockpit/engine/APU_switch", nullptr, nullptr, nullptr},                 // 77
    {BLEED_AIR_MODE, "BLDA", 0, "sim/cockpit/pressure/bleed_air_mode", nullptr, nullptr, nullptr},       // 78
    {TRANSPONDER_MODE, "XPDM", 0, "sim/cockpit/radios/transponder_mode", nullptr, nullptr, nullptr},     // 79
    {NAV_COM_ADF_MODE, "NAVM", 0, "sim/cockpit/radios/nav_com_adf_mode", nullptr, nullptr, nullptr},     // 80
    {HSI_SELECTOR, "HSIS", 0, "sim/cockpit/switches/HSI_selector", nullptr, nullptr, nullptr},           // 81
    {EFIS_ND_MODE_SEL, "NDM ", 0, "sim/cockpit/switches/EFIS_map_mode", nullptr, nullptr, nullptr}, // 113
    {EFIS_ND_SUB_MODE_SEL, "NDSM", 0, "sim/cockpit/switches/EFIS_map_submode", nullptr, nullptr,
     nullptr}, // 114
    {EFIS_ND_RANGE_SEL, "NDRG", 7, "sim/cockpit/switches/EFIS_map_range_selector", nullptr, nullptr,
     nullptr},                                                                                  // 115
    {FUEL_FEED, "FUEL", 1, "sim/cockpit/engine/fuel_tank_selector", nullptr, nullptr, nullptr}, // 173
    {FUEL_TRANSFER_FROM, "FT F", 1, "sim/cockpit/engine/fuel_tank_transfer_from", nullptr, nullptr,
     nullptr},                                                                                         // 174
    {FUEL_TRANSFER_TO, "FT T", 1, "sim/cockpit/engine/fuel_tank_transfer", nullptr, nullptr, nullptr}, // 175
    {ELEV_TRIM, "ELVT", 12, "sim/flightmodel/controls/elv_trim", nullptr, nullptr, nullptr},           // 427
    {AILERON_TRIM, "AILT", 12, "sim/flightmodel/controls/ail_trim", nullptr, nullptr, nullptr},        // 430
    {RUDDER_TRIM, "RURT", 12, "sim/flightmodel/controls/rud_trim", nullptr, nullptr, nullptr},         // 433
    {ROTOR_TRIM, "RORT", 12, "sim/flightmodel/controls/rot_trim", nullptr, nullptr, nullptr},          // 436
    {AUTO_BRAKE, "ABRK", 0, "sim/cockpit/switches/auto_brake_settings", nullptr, nullptr, nullptr},    // 439
};
const int kValueRowCount = Count(kValueRows);

// Autopilot mode switches (Register_D, equal, int, single element unless stated). AP_APPR_HOLD
// (default column) and AP_DISENGAGE (default column) are bound in BindSpecial and kCommandRows.
// Columns: function, column, form, off, on, compare, dataref, type, offset, count.
const SwitchRow kAutopilotRows[] = {
    {AP_NAV2_HOLD, kBoth, kFormD, 0, 21, kEqual, "sim/cockpit/autopilot/approach_selector", kInt, 0, 1},
    {SPEED_BRAKE, kBoth, kFormD, 0, 1, kEqual, "sim/flightmodel/controls/sbrkrqst", kFloat, 0, 1},
    {AP_MASTER, kDefault, kFormD, 0, 2, kEqual, "sim/cockpit/autopilot/autopilot_mode", kInt, 0, 1},
    {AP_MASTER, kX737, kFormD, 0, 2, kEqual, "x737/systems/MCP/LED_FDA_MA_on", kInt, 0, 1},
    {AP_DISENGAGE, kX737, kFormD, 1, 0, kEqual, "x737/systems/afds/APengaged", kInt, 0, 1},
    {AP_FLIGHT_DIR, kDefault, kFormD, 0, 1, kEqual, "sim/cockpit/autopilot/autopilot_mode", kInt, 0, 1},
    {AP_FLIGHT_DIR, kX737, kFormD, 0, 1, kEqual, "x737/systems/afds/fdA_status", kInt, 0, 1},
    {AP_AUTOTHROTTLE, kDefault, kFormD, 0, 1, kEqual, "drav/autopilot/autothrottle", kInt, 0, 1},
    {AP_AUTOTHROTTLE, kX737, kFormD, 0, 1, kEqual, "x737/systems/athr/athr_armed", kInt, 0, 1},
    {AP_THRUST_N1, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_N1_on", kInt, 0, 1},
    {AP_LNAV, kDefault, kFormD, 0, 1, kEqual, "drav/autopilot/hnav", kInt, 0, 1},
    {AP_LNAV, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_LNAV_on", kInt, 0, 1},
    {AP_VNAV, kDefault, kFormD, 0, 1, kEqual, "drav/autopilot/vnav", kInt, 0, 1},
    {AP_VNAV, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_VNAV_on", kInt, 0, 1},
    {AP_FLCH, kDefault, kFormD, 0, 1, kEqual, "drav/autopilot/level_change", kInt, 0, 1},
    {AP_FLCH, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_LVLCHG_on", kInt, 0, 1},
    {AP_ALT_HOLD, kDefault, kFormD, 0, 1, kEqual, "drav/autopilot/alt_hold", kInt, 0, 1},
    {AP_ALT_HOLD, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_ALTHLD_on", kInt, 0, 1},
    {AP_APPR_HOLD, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_APP_on", kInt, 0, 1},
    {AP_IAS_HOLD, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_MCPSPD_on", kInt, 0, 1},
    {AP_IAS_MACH_SEL, kDefault, kFormD, 0, 1, kEqual, "drav/autopilot/asi_is_mach", kInt, 0, 1},
    {AP_IAS_MACH_SEL, kX737, kFormD, 0, 1, kEqual, "x737/systems/afds/CHANGEOVER_toggle", kInt, 0, 1},
    {AP_BC_HOLD, kBoth, kFormD, 0, 1, kEqual, "sim/cockpit/autopilot/backcourse_on", kInt, 0, 1},
    {AP_GPS_HOLD, kBoth, kFormD, 0, 14, kEqual, "sim/cockpit/autopilot/heading_mode", kInt, 0, 1},
    {AP_HDG_HOLD, kDefault, kFormD, 0, 1, kEqual, "drav/autopilot/heading_hold", kInt, 0, 1},
    {AP_HDG_HOLD, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_HDG_on", kInt, 0, 1},
    {AP_NAV1_HOLD, kBoth, kFormD, 0, 20, kEqual, "sim/cockpit/autopilot/approach_selector", kInt, 0, 1},
    {AP_VS_HOLD, kDefault, kFormD, 0, 1, kEqual, "drav/autopilot/vvi_climb", kInt, 0, 1},
    {AP_VS_HOLD, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_VVI_on", kInt, 0, 1},
    {AP_WING_LEVELER, kBoth, kFormD, 0, 1, kEqual, "drav/autopilot/wing_leveler", kInt, 0, 1},
    {APX_ALT_KNOB, kBoth, kFormD, 0, 1, kEqual, "drav/autopilot_knob/alt_knob", kInt, 0, 1},
    {AP_CMD_A, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_CMDA_on", kInt, 0, 1},
    {AP_CMD_B, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_CMDB_on", kInt, 0, 1},
    {AP_ALTINV, kX737, kFormD, 0, 1, kEqual, "x737/systems/afds/ALTINTV", kInt, 0, 1},
    {AP_SPDINV, kX737, kFormD, 0, 1, kEqual, "x737/systems/afds/SPDINTV", kInt, 0, 1},
    {AP_VORLOC, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_VORLOC_on", kInt, 0, 1},
    {AP_RIGHT_FLIGHT_DIR, kX737, kFormD, 0, 1, kEqual, "x737/systems/MCP/LED_FDB_MA_on", kInt, 0, 1},
};
const int kAutopilotRowCount = Count(kAutopilotRows);

// Command bindings (identifiers from the host's key and button command enumerations).
// Columns: function, column, form, command type, command (state 0),
// command of state 1, momentary. XPDR_IDENT is bound in BindSpecial.
const CommandRow kCommandRows[] = {
    {AP_DISENGAGE, kDefault, kFormC2, kButton, xplm_joy_nothing, xplm_joy_ott_dis, 1},
    {ENG_1_START, kBoth, kFormCD, kButton, xplm_joy_start_0 + 0, 0, 0},
    {ENG_2_START, kBoth, kFormCD, kButton, xplm_joy_start_0 + 1, 0, 0},
    {ENG_3_START, kBoth, kFormCD, kButton, xplm_joy_start_0 + 2, 0, 0},
    {ENG_4_START, kBoth, kFormCD, kButton, xplm_joy_start_0 + 3, 0, 0},
    {ENG_5_START, kBoth, kFormCD, kButton, xplm_joy_start_0 + 4, 0, 0},
    {ENG_6_START, kBoth, kFormCD, kButton, xplm_joy_start_0 + 5, 0, 0},
    {ENG_7_START, kBoth, kFormCD, kButton, xplm_joy_start_0 + 6, 0, 0},
    {ENG_8_START, kBoth, kFormCD, kButton, xplm_joy_start_0 + 7, 0, 0},
    {ENG_ALL_START, kBoth, kFormCD, kButton, xplm_joy_start_all, 0, 0},
    {FLAPS_UP_DOWN, kBoth, kFormC2, kButton, xplm_joy_flapsdn, xplm_joy_flapsup, 0},
    {FLAPS_EXTEND_1, kBoth, kFormC, kButton, xplm_joy_flapsdn, 0, 0},
    {FLAPS_RETRACT_1, kBoth, kFormC, kButton, xplm_joy_flapsup, 0, 0},
    {ELEV_TRIM_NOSE_UP, kBoth, kFormC, kKey, xplm_key_elvtrimU, 0, 0},
    {ELEV_TRIM_NOSE_DOWN, kBoth, kFormC, kKey, xplm_key_elvtrimD, 0, 0},
};
const int kCommandRowCount = Count(kCommandRows);

} // namespace simlink_table
