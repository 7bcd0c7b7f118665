#include "config_dialog.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "core/globals.h"
#include "core/profile.h"
#include "core/settings.h"
#include "devlib/include/qddev.h"
#include "function_lists.h"
#include "modules/autopilot.h"
#include "modules/engine.h"
#include "popup_menu.h"

DetectedUnit gaUnitsDetected[kMaxDetectedUnits];
int gnNumUnitsDetected = 0;
int gnDevIdxPick = 0;
char gaszSelHWUnit[32] = {};
XPWidgetID gwidDeviceSelPopup = nullptr;
XPWidgetID gwidLayerPopup = nullptr;
XPWidgetID gwidLayerAircraft = nullptr;
int gnLayerPick = 0;
XPWidgetID gawidFnSelOrigin[kConfigRows] = {};
XPWidgetID gawidFnSelCaption[kConfigRows] = {};
XPWidgetID gawidFnSelPopup[kConfigRows] = {};
char gaszFnSelConfigKey[kConfigRows][32] = {};
XPWidgetID gawidSpSelPopup[kConfigRows] = {};
char gaszSpSelConfigKey[kConfigRows][32] = {};
ConfigSlider gaSlider[kConfigSliders];
XPWidgetID gwidSaveStatus = nullptr;

namespace {

DialogRegistryHooks g_RegistryHooks;

int UnitCount(int device_type) {
    return g_RegistryHooks.unit_count ? g_RegistryHooks.unit_count(device_type) : 0;
}

} // namespace

int GetButtonFunctionList(char* list, size_t size) {
    return GetButtonFunctionListFor(list, size, UnitCount(QDHW_RSX), UnitCount(QDHW_AVX),
                                    UnitCount(QDHW_AVY));
}

namespace {

// Lists of the page being built; the popups keep copies, so two buffers serve every page.
char gszFunctionList[kFunctionListSize];
char gszSecondList[kFunctionListSize];
// The device popup's items: one short label per unit.
char gszDeviceList[kMaxDetectedUnits * 24 + 32];

const char* const kGainList = "AILERON_TRIM;ELEV_TRIM;ROTOR_TRIM;RUDDER_TRIM;";
const char* const kGearList = "LANDING_GEAR;WATER_RUDDER;";
const char* const kFlapsList = "FLAPS_UP_DOWN;";
const char* const kFuelFeedList =
    "FUEL_FEED_OFF;FUEL_FEED_LEFT;FUEL_FEED_CENTRE;FUEL_FEED_RIGHT;FUEL_FEED_ALL;";
const char* const kColourList = "BLACK;WHITE;RED;GREEN;BLUE;MAGENTA;YELLOW;CYAN;";

// Units appear in the device popup in this model order.
constexpr int kUnitOrder[] = {QDHW_AVX,  QDHW_AVY, QDHW_PBX, QDHW_KNB, QDHW_TGX, QDHW_GTP,
                              QDHW_GTP2, QDHW_RSX, QDHW_APC, QDHW_APX, QDHW_THQ, QDHW_NDC,
                              QDHW_ECP,  QDHW_ANP, QDHW_SSM, QDHW_IOB};

const char* ModelLabel(int type) {
    static const char* const kLabels[] = {
        "???",    "QD-AVX",  "QD-PBX", "QD-TGX", "QD-GTP", "QD-RSX", "QD-APC", "QD-KNB", "QD-AVY", "QD-THQ",
        "QD-TXP", "QD-GTP2", "QD-APX", "QD-NDC", "QD-ECP", "???",    "???",    "QD-SSM", "QD-ANP", "QD-IOB"};
    return type > 0 && type < static_cast<int>(std::size(kLabels)) ? kLabels[type] : "???";
}

void SectionName(int type, int unit_number, char (&out)[32]) {
    std::snprintf(out, sizeof out, "%s_%d", QDHWType2Text(static_cast<tagQDDevHWType>(type)), unit_number);
}

void CopyKey(char (&dst)[32], const char* key) {
    std::snprintf(dst, sizeof dst, "%s", key ? key : "");
}

// Index of the first item beginning with value (case-insensitively over value's length), else 0.
int ItemIndexOf(const char* list, const char* value) {
    const size_t n = std::strlen(value);
    int index = 0;
    for (const char* p = list; *p; ++index) {
        if (strncasecmp(p, value, n) == 0) {
            const char* semi = std::strchr(p, ';');
            const size_t len = semi ? static_cast<size_t>(semi - p) : std::strlen(p);
            if (len >= n) return index;
        }
        const char* semi = std::strchr(p, ';');
        if (!semi) break;
        p = semi + 1;
    }
    return 0;
}

// Item `index` of the popup's list into out ("" when there is none).
void PickedItem(XPWidgetID popup, int index, char* out, size_t out_size) {
    static char list[kFunctionListSize];
    XPGetWidgetDescriptor(popup, list, sizeof list - 1);
    list[sizeof list - 1] = '\0';
    const char* p = list;
    for (int i = 0; i < index && *p; ++i) {
        const char* semi = std::strchr(p, ';');
        p = semi ? semi + 1 : p + std::strlen(p);
    }
    const char* semi = std::strchr(p, ';');
    const int len = static_cast<int>(semi ? semi - p : static_cast<ptrdiff_t>(std::strlen(p)));
    std::snprintf(out, out_size, "%.*s", len, p);
}

const DetectedUnit* CurrentUnit() {
    if (gnDevIdxPick < 0 || gnDevIdxPick >= gnNumUnitsDetected) return nullptr;
    return &gaUnitsDetected[gnDevIdxPick];
}

void ReRegisterCurrentUnit() {
    const DetectedUnit* u = CurrentUnit();
    if (u && g_RegistryHooks.register_unit) g_RegistryHooks.register_unit(u->type, u->unit - 1);
}

// The user must see that a pick did not reach the file: it would be gone at the next start.
void ShowSaved(bool saved, bool aircraft) {
    if (gwidConfigDlgWidget == nullptr || gwidSaveStatus == nullptr) return;
    XPSetWidgetDescriptor(gwidSaveStatus, saved      ? ""
                                          : aircraft ? "NOT SAVED: the aircraft's profile cannot be written"
                                                     : "NOT SAVED: DRAV.INI cannot be written");
}

// The first item of every list in the aircraft view: the aircraft's key goes, DRAV.INI serves.
constexpr const char* kAllAircraftItem = "All aircraft setting";

bool AircraftView() {
    return gnLayerPick == 1;
}

DRAV_SettingsLayer PickLayer() {
    return AircraftView() ? DRAV_SettingsLayer::ThisAircraft : DRAV_SettingsLayer::AllAircraft;
}

// Writes key of the current unit's section into the layer shown. For all aircraft "No Selection"
// removes the key; for this aircraft it stores an explicit nothing, and "All aircraft setting"
// removes the aircraft's key.
void StorePick(const char* key, const char* item) {
    if (gaszSelHWUnit[0] == '\0' || key == nullptr || key[0] == '\0') return;
    const char* value = item;
    if (strcasecmp(item, "No Selection") == 0)
        value = AircraftView() ? kProfileNothing : "";
    else if (strcasecmp(item, kAllAircraftItem) == 0)
        value = "";
    ShowSaved(DRAV_WriteLayerPref(PickLayer(), gaszSelHWUnit, key, value), AircraftView());
    ReRegisterCurrentUnit();
    // The page shows where each function comes from: the picked row may have changed sides.
    if (const DetectedUnit* u = AircraftView() ? CurrentUnit() : nullptr) SetupModuleConfig(u->type, u->unit);
}

// The value of the file shown: DRAV.INI for all aircraft; for this aircraft the one in effect,
// its profile's first.
void ReadKey(const char* section, const char* key, const char* def, char (&out)[128]) {
    if (AircraftView())
        DRAV_ReadLayeredPref(section, key, out, sizeof out, def);
    else
        XP_ReadIniPref(kDravIniFile, section, key, out, def);
}

// In the aircraft view: list with "All aircraft setting" in front, and (for the row's function
// popup) the origin shown. Returns the list the popup gets and sets *index to the item to show.
const char* LayeredList(int row, const char* list, const char* value, const char* key, bool origin_row,
                        int* index) {
    static char layered[kFunctionListSize + 32];
    *index = ItemIndexOf(list, value ? value : "");
    if (!AircraftView()) {
        if (origin_row && gawidFnSelOrigin[row]) XPHideWidget(gawidFnSelOrigin[row]);
        return list;
    }
    std::snprintf(layered, sizeof layered, "%s;%s", kAllAircraftItem, list);
    ++*index;
    if (!origin_row) return layered;
    DRAV_PrefOrigin origin = DRAV_PrefOrigin::Default;
    char ignored[128];
    DRAV_ReadLayeredPref(gaszSelHWUnit, key ? key : "", ignored, sizeof ignored, "", &origin);
    XPSetWidgetDescriptor(gawidFnSelOrigin[row], origin == DRAV_PrefOrigin::Profile ? "acft" : "all");
    XPShowWidget(gawidFnSelOrigin[row]);
    return layered;
}

// Shows `count` rows from `first_row` for keys made with key_format and numbers from first_key.
void NumberedRows(const char* section, int first_row, const char* const* captions, int count,
                  const char* key_format, int first_key, const char* list, const char* const* defaults) {
    for (int i = 0; i < count; ++i) {
        char key[32], value[128];
        std::snprintf(key, sizeof key, key_format, first_key + i);
        ReadKey(section, key, defaults ? defaults[i] : "", value);
        InitFunctionSelectPopup(first_row + i, captions[i], list, value, key);
    }
}

int ClampedGain(const char* section, const char* key) {
    char value[128];
    ReadKey(section, key, "1", value);
    int gain = DRAV_ParseIniInt(value);
    if (gain < 1) gain = 1;
    if (gain > 10) gain = 10;
    return gain;
}

void LeverSlider(const char* section, int slider, const char* caption, const char* key, const char* def) {
    char value[128];
    ReadKey(section, key, def, value);
    // Cut to a whole percent; the small lift keeps 0.35 (stored as 0.3499...) at 35.
    const double percent = static_cast<double>(DRAV_ParseIniFloat(value)) * 100.0;
    const int position = static_cast<int>(percent + (percent >= 0 ? 1e-3 : -1e-3));
    InitSlider(slider, caption, 0, position, 100, 1, key);
}

const char* const kDigitCaptions8[][8] = {
    {"Mode 1 (Initial)", "Mode 2", "Mode 3", "Mode 4", "Mode 5", "Mode 6", "Mode 7", "Mode 8"},
    {"Button 1", "Button 2", "Button 3", "Button 4", "Button 5", "Button 6", "Button 7", "Button 8"},
    {"Switch 1", "Switch 2", "Switch 3", "Switch 4", "Switch 5", "Switch 6", "Switch 7", "Switch 8"},
};

const char* const kAPXCaptions[30] = {
    "VNAV button",      "LNAV button",      "CMD A button",     "CMD B button",       "A/T Arm Switch",
    "IAS/MACH button",  "SPD INTV button",  "VORLOC button",    "ALT INTV button",    "CWS A button",
    "CWS B button",     "SPD knob",         "HDG knob",         "ALT knob",           "F/D (left) switch",
    "N1 HOLD button",   "IAS HOLD button",  "FLCH button",      "HDG HOLD button",    "APPR HOLD button",
    "ALT HOLD button",  "VS HOLD button",   "DISENGAGE bar",    "F/D (right) switch", "CRS display/knob",
    "IAS display/knob", "HDG display/knob", "ALT display/knob", "V/S display/knob",   "CRS display/knob"};
const char* const kNDCCaptions[29] = {"TERR button",
                                      "POS button",
                                      "DATA button",
                                      "ARPT button",
                                      "WPT button",
                                      "STA button",
                                      "WXR button",
                                      "N/C",
                                      "Toggle in ADF1",
                                      "Toggle in VOR1",
                                      "Toggle in ADF2",
                                      "Toggle in VOR2",
                                      "MTRS button",
                                      "FPV button",
                                      "Left knob push (DH/MDAF)",
                                      "Right knob push (BARO)",
                                      "Left selector APP",
                                      "Left selector VOR",
                                      "Left selector MAP",
                                      "Left selector PLAN",
                                      "Right selector 10 NM",
                                      "Right selector 20 NM",
                                      "Right selector 40 NM",
                                      "Right selector 80 NM",
                                      "Right selector 160 NM",
                                      "Right selector 320 NM",
                                      "Right selector 640 NM",
                                      "Left knob",
                                      "Right knob (BARO)"};
const char* const kECPCaptions[14] = {"Battery Master", "Alternator Master", "Avionics Master",
                                      "Fuel Pump",      "Carb Heat",         "Pitot Heat",
                                      "Panel Lights",   "Beacon Lights",     "Nav Lights",
                                      "Strobe Lights",  "Taxi Lights",       "Landing Lights",
                                      "Cowl",           "Landing Gear"};
struct APCRow {
    const char* caption;
    const char* key;
    const char* def;
    bool display;
};
const APCRow kAPCRows[14] = {{"NAV HOLD button", "Function1", "AP_LNAV", false},
                             {"CRS display/knob", "FunctionA", "AP_NAV_COURSE_ADJ", true},
                             {"HDG HOLD button", "Function2", "AP_HDG_HOLD", false},
                             {"HDG display/knob", "FunctionB", "AP_HEADING_ADJ", true},
                             {"IAS HOLD button", "Function3", "AP_AUTOTHROTTLE", false},
                             {"IAS display/knob", "FunctionC", "AP_SPEED_ADJ", true},
                             {"SEL button", "Function4", "AP_IAS_MACH_SEL", false},
                             {"V/S display/knob", "FunctionD", "AP_VERT_SPEED_ADJ", true},
                             {"ALT HOLD Button", "Function5", "AP_ALT_HOLD", false},
                             {"ALT display/knob", "FunctionE", "AP_ALTITUDE_ADJ", true},
                             {"APPR button", "Function6", "AP_APPR_HOLD", false},
                             {"B/C button", "Function7", "AP_BC_HOLD", false},
                             {"A/P CMD button", "Function8", "AP_MASTER", false},
                             {"DISENGAGE bar", "Function9", "AP_DISENGAGE", false}};

XPWidgetID Caption(int l, int t, int r, int b, const char* text, XPWidgetID root) {
    return XPCreateWidget(l, t, r, b, 0, text, 0, root, xpWidgetClass_Caption);
}

void SetLabel(XPWidgetID w, const char* format, int number) {
    char text[16];
    std::snprintf(text, sizeof text, format, number);
    XPSetWidgetDescriptor(w, text);
}

int SliderIndex(XPWidgetID scroll_bar) {
    for (int k = 0; k < kConfigSliders; ++k)
        if (gaSlider[k].scroll_bar == scroll_bar) return k;
    return -1;
}

} // namespace

void DRAV_SetDialogRegistryHooks(const DialogRegistryHooks& hooks) {
    g_RegistryHooks = hooks;
}

int GetDetectedUnitsRefs() {
    for (auto& u : gaUnitsDetected)
        u = DetectedUnit{};
    gnNumUnitsDetected = 0;
    for (int type : kUnitOrder) {
        const int count = UnitCount(type);
        for (int n = 1; n <= count && gnNumUnitsDetected < kMaxDetectedUnits; ++n)
            gaUnitsDetected[gnNumUnitsDetected++] = DetectedUnit{type, n};
    }
    return gnNumUnitsDetected;
}

void ClearAllConfigWidgets() {
    for (int i = 0; i < kConfigRows; ++i) {
        if (gawidFnSelCaption[i]) XPHideWidget(gawidFnSelCaption[i]);
        if (gawidFnSelPopup[i]) XPHideWidget(gawidFnSelPopup[i]);
        if (gawidSpSelPopup[i]) XPHideWidget(gawidSpSelPopup[i]);
        if (gawidFnSelOrigin[i]) XPHideWidget(gawidFnSelOrigin[i]);
        gaszFnSelConfigKey[i][0] = '\0';
        gaszSpSelConfigKey[i][0] = '\0';
    }
    for (auto& s : gaSlider) {
        for (XPWidgetID w : {s.caption, s.min_label, s.value_label, s.max_label, s.scroll_bar})
            if (w) XPHideWidget(w);
        s.key[0] = '\0';
    }
}

void InitFunctionSelectPopup(int row, const char* caption, const char* list, const char* value,
                             const char* key) {
    if (row < 0 || row >= kConfigRows) return;
    if (caption != nullptr) {
        XPSetWidgetDescriptor(gawidFnSelCaption[row], caption);
        XPShowWidget(gawidFnSelCaption[row]);
    } else {
        XPHideWidget(gawidFnSelCaption[row]);
    }
    if (list == nullptr) {
        gaszFnSelConfigKey[row][0] = '\0';
        XPHideWidget(gawidFnSelPopup[row]);
        return;
    }
    CopyKey(gaszFnSelConfigKey[row], key);
    int index = 0;
    XPSetWidgetDescriptor(gawidFnSelPopup[row], LayeredList(row, list, value, key, true, &index));
    XPSetWidgetProperty(gawidFnSelPopup[row], xpProperty_PopupCurrentItem, index);
    XPShowWidget(gawidFnSelPopup[row]);
}

void InitSpecialSelectPopup(int row, const char* list, const char* value, const char* key) {
    if (row < 0 || row >= kConfigRows) return;
    if (list == nullptr) {
        gaszSpSelConfigKey[row][0] = '\0';
        XPHideWidget(gawidSpSelPopup[row]);
        return;
    }
    CopyKey(gaszSpSelConfigKey[row], key);
    int index = 0;
    XPSetWidgetDescriptor(gawidSpSelPopup[row], LayeredList(row, list, value, key, false, &index));
    XPSetWidgetProperty(gawidSpSelPopup[row], xpProperty_PopupCurrentItem, index);
    XPShowWidget(gawidSpSelPopup[row]);
}

void InitSlider(int slider, const char* caption, int minimum, int value, int maximum, int percent,
                const char* key) {
    if (slider < 0 || slider >= kConfigSliders) return;
    ConfigSlider& s = gaSlider[slider];
    CopyKey(s.key, key);
    s.percent = percent;
    if (caption == nullptr) {
        for (XPWidgetID w : {s.caption, s.min_label, s.value_label, s.max_label, s.scroll_bar}) {
            XPSetWidgetDescriptor(w, "");
            XPHideWidget(w);
        }
        return;
    }
    XPSetWidgetDescriptor(s.caption, caption);
    XPShowWidget(s.caption);
    if (minimum <= value && value <= maximum) {
        const char* format = percent ? "%d%%" : "%d";
        SetLabel(s.min_label, format, minimum);
        SetLabel(s.max_label, format, maximum);
        SetLabel(s.value_label, format, value);
        XPSetWidgetProperty(s.scroll_bar, xpProperty_ScrollBarMin, minimum);
        XPSetWidgetProperty(s.scroll_bar, xpProperty_ScrollBarMax, maximum);
        XPSetWidgetProperty(s.scroll_bar, xpProperty_ScrollBarSliderPosition, value);
        for (XPWidgetID w : {s.min_label, s.value_label, s.max_label, s.scroll_bar})
            XPShowWidget(w);
    }
}

void SetupModuleConfig(int type, int unit_number) {
    const DRAV_SettingsSnapshot snapshot; // the page shows one version of the files
    char section[32];
    SectionName(type, unit_number, section);
    char* const fn = gszFunctionList;
    char* const av = gszSecondList;
    constexpr size_t n = kFunctionListSize;
    ClearAllConfigWidgets();
    char value[128];
    switch (type) {
    case QDHW_AVX:
    case QDHW_AVY:
        GetAvionicFunctionList(type, av, n);
        NumberedRows(section, 0, kDigitCaptions8[0], 8, "Function%d", 1, av, nullptr);
        break;
    case QDHW_PBX:
        GetButtonFunctionList(fn, n);
        NumberedRows(section, 0, kDigitCaptions8[1], 8, "Function%d", 1, fn, nullptr);
        break;
    case QDHW_TGX:
        GetToggleFunctionList(fn, n);
        NumberedRows(section, 0, kDigitCaptions8[2], 8, "Function%d", 1, fn, nullptr);
        break;
    case QDHW_GTP: {
        ReadKey(section, "FunctionW", "ELEV_TRIM", value);
        InitFunctionSelectPopup(0, "Wheel", kGainList, value, "FunctionW");
        ReadKey(section, "FunctionL", "LANDING_GEAR", value);
        InitFunctionSelectPopup(1, "Lever", kGearList, value, "FunctionL");
        ReadKey(section, "FunctionS", "FLAPS_UP_DOWN", value);
        InitFunctionSelectPopup(2, "Up/Down Switch", kFlapsList, value, "FunctionS");
        InitSlider(0, "Wheel Gain", 1, ClampedGain(section, "WHEEL_GAIN"), 10, 0, "WHEEL_GAIN");
        break;
    }
    case QDHW_RSX: {
        GetButtonFunctionList(fn, n);
        GetAvionicFunctionList(type, av, n);
        ReadKey(section, "FunctionL", "", value);
        InitFunctionSelectPopup(1, "Left Function", fn, value, "FunctionL");
        ReadKey(section, "FunctionR", "", value);
        InitFunctionSelectPopup(2, "Right Function", fn, value, "FunctionR");
        NumberedRows(section, 3, kDigitCaptions8[0], 8, "Function%d", 1, av, nullptr);
        break;
    }
    case QDHW_APC:
        GetButtonFunctionList(fn, n);
        GetAvionicFunctionList(type, av, n);
        for (int i = 0; i < 14; ++i) {
            ReadKey(section, kAPCRows[i].key, kAPCRows[i].def, value);
            InitFunctionSelectPopup(i, kAPCRows[i].caption, kAPCRows[i].display ? av : fn, value,
                                    kAPCRows[i].key);
        }
        break;
    case QDHW_KNB: {
        static const char* const kKnobs[4] = {"Knob A", "Knob B", "Knob C", "Knob D"};
        GetButtonFunctionList(fn, n);
        GetAvionicFunctionList(type, av, n);
        NumberedRows(section, 0, kDigitCaptions8[1], 8, "Function%d", 1, fn, nullptr);
        for (int i = 0; i < 4; ++i) {
            char key[16];
            std::snprintf(key, sizeof key, "Function%c", 'A' + i);
            ReadKey(section, key, "", value);
            InitFunctionSelectPopup(8 + i, kKnobs[i], av, value, key);
        }
        break;
    }
    case QDHW_THQ: {
        static const char* const kLevers[6] = {"Lever A", "Lever B", "Lever C",
                                               "Lever D", "Lever E", "Lever F"};
        GetThrottleFunctionList(fn, n);
        for (int i = 0; i < 6; ++i) {
            char key[16];
            std::snprintf(key, sizeof key, "Function%c", 'A' + i);
            ReadKey(section, key, "", value);
            InitFunctionSelectPopup(i, kLevers[i], fn, value, key);
        }
        LeverSlider(section, 0, "Thrust Rev Point", "THROTTLE_REVERSE", "0.0");
        LeverSlider(section, 1, "Prop Beta Point", "THROTTLE_BETA", "0.0");
        LeverSlider(section, 2, "Thrust Rev Max", "REVERSER_POWER", "0.60");
        LeverSlider(section, 3, "Flap Null Zone", "FLAP_NULL_ZONE", "1.0");
        break;
    }
    case QDHW_GTP2: {
        static const char* const kCaptions[8] = {"Aileron",
                                                 "Elevator",
                                                 "Rudder",
                                                 "Gear Lever",
                                                 "Flap Switch",
                                                 "Switch Left Position",
                                                 "Switch Centre Position",
                                                 "Switch Right Position"};
        static const char* const kKeys[8] = {"FunctionG", "FunctionH", "FunctionI", "FunctionJ",
                                             "FunctionK", "FunctionL", "FunctionM", "FunctionN"};
        static const char* const kDefaults[8] = {"AILERON_TRIM",  "ELEV_TRIM",      "RUDDER_TRIM",
                                                 "LANDING_GEAR",  "FLAPS_UP_DOWN",  "FUEL_FEED_LEFT",
                                                 "FUEL_FEED_ALL", "FUEL_FEED_RIGHT"};
        static const char* const kLists[8] = {kGainList,  kGainList,     kGainList,     kGearList,
                                              kFlapsList, kFuelFeedList, kFuelFeedList, kFuelFeedList};
        for (int i = 0; i < 8; ++i) {
            ReadKey(section, kKeys[i], kDefaults[i], value);
            InitFunctionSelectPopup(i, kCaptions[i], kLists[i], value, kKeys[i]);
        }
        InitSlider(0, "Aileron Gain", 1, ClampedGain(section, "WHEEL1_GAIN"), 10, 0, "WHEEL1_GAIN");
        InitSlider(1, "Elevator Gain", 1, ClampedGain(section, "WHEEL2_GAIN"), 10, 0, "WHEEL2_GAIN");
        InitSlider(2, "Rudder Gain", 1, ClampedGain(section, "WHEEL3_GAIN"), 10, 0, "WHEEL3_GAIN");
        break;
    }
    case QDHW_APX:
        if (g_Enable_x737_Support || APX_Disabled) break;
        GetButtonFunctionList(fn, n);
        GetAvionicFunctionList(type, av, n);
        NumberedRows(section, 0, kAPXCaptions, 24, "Function%02d", 1, fn, kAPXDefaults);
        NumberedRows(section, 24, kAPXCaptions + 24, 6, "Function%d", 25, av, kAPXKnobDefaults);
        break;
    case QDHW_NDC:
        if (NDC_Disabled) break;
        GetButtonFunctionList(fn, n);
        AppendListSel(fn, n, "ALTIMETER_SET_STD");
        GetAvionicFunctionList(type, av, n);
        NumberedRows(section, 0, kNDCCaptions, 27, "Function%02d", 1, fn, kNDCDefaults);
        NumberedRows(section, 27, kNDCCaptions + 27, 2, "Function%d", 28, av, kNDCKnobDefaults);
        break;
    case QDHW_ECP:
        GetToggleFunctionList(fn, n);
        NumberedRows(section, 0, kECPCaptions, 14, "Function%02d", 1, fn, kECPDefaults);
        break;
    case QDHW_ANP:
        GetANPFunctionList(fn, n);
        NumberedRows(section, 0, kDigitCaptions8[1], 6, "Function%d", 1, fn, nullptr);
        for (int i = 0; i < 6; ++i) {
            char key[16];
            std::snprintf(key, sizeof key, "Colour%d", i + 1);
            ReadKey(section, key, "", value);
            InitSpecialSelectPopup(i, kColourList, value, key);
        }
        break;
    case QDHW_IOB: {
        const int saved = g_InConfigScreen;
        g_InConfigScreen = 1;
        if (g_RegistryHooks.register_units_of_type) g_RegistryHooks.register_units_of_type(QDHW_IOB);
        g_InConfigScreen = saved;
        break;
    }
    default:
        break; // QD-SSM and the rest: an empty page
    }
}

int LayerSelectCB(XPWidgetMessage msg, XPWidgetID, intptr_t, intptr_t p2) {
    if (msg != xpMessage_PopupNewItemPicked) return 0;
    gnLayerPick = p2 == 1 && DRAV_Profile().user_file[0] != '\0' ? 1 : 0;
    // The popup is narrow: the aircraft's name shows in full below it.
    if (gnLayerPick == 1)
        XPShowWidget(gwidLayerAircraft);
    else
        XPHideWidget(gwidLayerAircraft);
    if (const DetectedUnit* u = CurrentUnit()) SetupModuleConfig(u->type, u->unit);
    return 1;
}

int DeviceSelectCB(XPWidgetMessage msg, XPWidgetID, intptr_t, intptr_t p2) {
    if (msg != xpMessage_PopupNewItemPicked) return 0;
    gnDevIdxPick = static_cast<int>(p2);
    const DetectedUnit* u = CurrentUnit();
    if (u == nullptr) return 1;
    SectionName(u->type, u->unit, gaszSelHWUnit);
    SetupModuleConfig(u->type, u->unit);
    return 1;
}

int FunctionSelectCB(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2) {
    if (msg != xpMessage_PopupNewItemPicked) return 0;
    const auto popup = reinterpret_cast<XPWidgetID>(p1);
    for (int i = 0; i < kConfigRows; ++i) {
        if (gawidFnSelPopup[i] != popup && gawidFnSelPopup[i] != widget) continue;
        char item[128];
        PickedItem(gawidFnSelPopup[i], static_cast<int>(p2), item, sizeof item);
        StorePick(gaszFnSelConfigKey[i], item);
        return 1;
    }
    return 0;
}

int SpecialSelectCB(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2) {
    if (msg != xpMessage_PopupNewItemPicked) return 0;
    const auto popup = reinterpret_cast<XPWidgetID>(p1);
    for (int i = 0; i < kConfigRows; ++i) {
        if (gawidSpSelPopup[i] != popup && gawidSpSelPopup[i] != widget) continue;
        char item[128];
        PickedItem(gawidSpSelPopup[i], static_cast<int>(p2), item, sizeof item);
        StorePick(gaszSpSelConfigKey[i], item);
        return 1;
    }
    return 0;
}

int SliderCB(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t) {
    if (msg != xpMsg_ScrollBarSliderPositionChanged) return 0;
    int k = SliderIndex(reinterpret_cast<XPWidgetID>(p1));
    if (k < 0) k = SliderIndex(widget);
    if (k < 0) return 0;
    ConfigSlider& s = gaSlider[k];
    const int position =
        static_cast<int>(XPGetWidgetProperty(s.scroll_bar, xpProperty_ScrollBarSliderPosition, nullptr));
    char text[32];
    if (s.percent)
        std::snprintf(text, sizeof text, "%1.2f", position / 100.0);
    else
        std::snprintf(text, sizeof text, "%d", position);
    if (gaszSelHWUnit[0] != '\0' && s.key[0] != '\0')
        ShowSaved(DRAV_WriteLayerPref(PickLayer(), gaszSelHWUnit, s.key, text), AircraftView());
    if (s.percent)
        SetLabel(s.value_label, "%d%%", position);
    else
        XPSetWidgetDescriptor(s.value_label, text);
    ReRegisterCurrentUnit();
    return 1;
}

int ConfigDlgMsgHandler(XPWidgetMessage msg, XPWidgetID, intptr_t, intptr_t) {
    if (msg != xpMessage_CloseButtonPushed) return 0;
    DRAV_CloseConfigDialog();
    return 1;
}

void CreateConfigDlgWidget(int width, int height) {
    if (gwidConfigDlgWidget != nullptr) return;
    const int left = (1024 - width) / 2;
    const int top = 768 - (768 - height) / 2;
    XPWidgetID root = XPCreateWidget(left, top, left + width, top - height, 1,
                                     "Quandel Module Manager 2.63 (KT) : Assign Functions", 1, nullptr,
                                     xpWidgetClass_MainWindow);
    if (root == nullptr) return;
    gwidConfigDlgWidget = root;
    XPSetWidgetProperty(root, xpProperty_MainWindowHasCloseBoxes, 1);

    GetDetectedUnitsRefs();
    gszDeviceList[0] = '\0';
    for (int i = 0; i < gnNumUnitsDetected; ++i) {
        const DetectedUnit& u = gaUnitsDetected[i];
        const char* label = ModelLabel(u.type);
        char item[24];
        if (u.type == QDHW_NDC && NDC_Disabled)
            std::snprintf(item, sizeof item, "%s DSBLD", label);
        else if (u.type == QDHW_SSM)
            std::snprintf(item, sizeof item, gXPlaneVersion >= 900 ? "%s - N/A" : "%s - N/S", label);
        else if (u.type == QDHW_APX && g_Enable_x737_Commands)
            std::snprintf(item, sizeof item, "%s - N/A", label);
        else if (u.type == QDHW_APX && APX_Disabled)
            std::snprintf(item, sizeof item, "%s DSBLD", label);
        else if (u.type == QDHW_IOB)
            std::snprintf(item, sizeof item, "%s - N/A", label);
        else
            std::snprintf(item, sizeof item, "%s Unit %d", label, u.unit);
        AppendListSel(gszDeviceList, sizeof gszDeviceList, item);
    }
    if (gnNumUnitsDetected == 0) AppendListSel(gszDeviceList, sizeof gszDeviceList, "(No devices found.)");

    gwidDeviceSelPopup = XSBCreatePopup(left + 10, top - 40, left + 130, top - 52, 1, gszDeviceList, root, 0);
    // The aircraft's own layer only when it has a name its profile can be stored under.
    static char layers[96];
    layers[0] = '\0';
    AppendListSel(layers, sizeof layers, "All aircraft");
    if (DRAV_Profile().user_file[0] != '\0') {
        char item[64];
        std::snprintf(item, sizeof item, "This aircraft: %.40s", DRAV_Profile().aircraft);
        for (char* c = item; *c; ++c)
            if (*c == ';') *c = ','; // ';' separates the items
        AppendListSel(layers, sizeof layers, item);
    }
    gnLayerPick = 0;
    gwidLayerPopup = XSBCreatePopup(left + 10, top - 60, left + 130, top - 72, 1, layers, root, 0);
    XPAddWidgetCallback(gwidLayerPopup, LayerSelectCB);
    gwidLayerAircraft = XPCreateWidget(left + 10, top - 80, left + 145, top - 92, 0, DRAV_Profile().aircraft,
                                       0, root, xpWidgetClass_Caption);
    gwidSaveStatus = Caption(left + 10, top - height + 24, left + width - 10, top - height + 12, "", root);
    for (int i = 0; i < kConfigRows; ++i) {
        const int y = top - 40 - 20 * i;
        gawidFnSelCaption[i] = Caption(left + 150, y, left + 250, y - 12, "*init*", root);
        gawidFnSelPopup[i] = XSBCreatePopup(left + 310, y, left + 610, y - 12, 0, "", root, 1);
        XPAddWidgetCallback(gawidFnSelPopup[i], FunctionSelectCB);
        gawidSpSelPopup[i] = XSBCreatePopup(left + 230, y, left + 300, y - 12, 0, "", root, 1);
        gawidFnSelOrigin[i] =
            XPCreateWidget(left + 614, y, left + 646, y - 12, 0, "", 0, root, xpWidgetClass_Caption);
        XPAddWidgetCallback(gawidSpSelPopup[i], SpecialSelectCB);
        gaszFnSelConfigKey[i][0] = '\0';
        gaszSpSelConfigKey[i][0] = '\0';
    }
    for (int k = 0; k < kConfigSliders; ++k) {
        const int y = top - 210 - 40 * k;
        ConfigSlider& s = gaSlider[k];
        s.caption = Caption(left + 150, y, left + 250, y - 12, "---", root);
        s.min_label = Caption(left + 280, y, left + 300, y - 12, "---", root);
        s.scroll_bar =
            XPCreateWidget(left + 310, y, left + 450, y - 12, 0, "slider", 0, root, xpWidgetClass_ScrollBar);
        XPSetWidgetProperty(s.scroll_bar, xpProperty_ScrollBarType, xpScrollBarTypeSlider);
        XPSetWidgetProperty(s.scroll_bar, xpProperty_ScrollBarMin, 0);
        XPSetWidgetProperty(s.scroll_bar, xpProperty_ScrollBarMax, 100);
        XPSetWidgetProperty(s.scroll_bar, xpProperty_ScrollBarSliderPosition, 50);
        XPAddWidgetCallback(s.scroll_bar, SliderCB);
        s.max_label = Caption(left + 460, y, left + 480, y - 12, "---", root);
        s.value_label = Caption(left + 370, y - 15, left + 390, y - 27, "---", root);
        s.key[0] = '\0';
        s.percent = 0;
    }
    XPAddWidgetCallback(gwidDeviceSelPopup, DeviceSelectCB);
    gnDevIdxPick = 0;
    gaszSelHWUnit[0] = '\0';
    if (gnNumUnitsDetected > 0) DeviceSelectCB(xpMessage_PopupNewItemPicked, gwidDeviceSelPopup, 0, 0);
    XPAddWidgetCallback(root, ConfigDlgMsgHandler);
}
