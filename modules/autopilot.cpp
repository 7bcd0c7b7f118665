// QD-APC and QD-NDC; QD-APX is in autopilot_apx.cpp.
#include "modules/autopilot.h"

#include <cstring>

#include "core/hot_path.h"
#include "devlib/include/qddev.h"
#include "modules/avionics_util.h"
#include "simlink/avionic.h"
#include "simlink/custom_datarefs.h"

using namespace drav_modutil;

// ---------------------------------------------------------------------------------------------
// QD-APC

void QDAPC_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    if (key >= 'A' && key <= 'E') {
        Avionic*& place = displays[key - 'A'];
        place = nullptr;
        BindAvionic(&place, function);
    } else if (key >= '1' && key <= '9') {
        BindSwitch(binding[key - '1'], function, targetUnit, targetKind);
        bound = DRAV_BoundMask(binding);
        if (key - '1' == kDisengageBar && barPushPending) PushDisengageBar();
    }
}

E_UnitType QDAPC_Module::GetFunction(char key) {
    if (key >= 'A' && key <= 'E') {
        const Avionic* value = displays[key - 'A'];
        return value != nullptr ? value->GetUnitType() : NADA;
    }
    if (key >= '1' && key <= '9') return binding[key - '1'].GetUnitType();
    return NADA;
}

void QDAPC_Module::PushDisengageBar() {
    // The registry binds the controls after registering the unit: at the first registration the
    // bar has no function yet, so its position goes out once the function is bound.
    barPushPending = binding[kDisengageBar].GetUnitType() == NADA;
    if (barPushPending) return;
    binding[kDisengageBar].SetFly(
        (lastButtons2 & 1u) == 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
}

void QDAPC_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    short enc[kDisplays] = {};
    unsigned char sw1 = 0;
    unsigned char sw2 = 0;
    QDAPC_GetControlVals(unit, &enc[0], &enc[1], &enc[2], &enc[3], &enc[4], &sw1, &sw2);
    DRAV_StoreInputState([&] {
        lastButtons = sw1;
        lastButtons2 = static_cast<unsigned char>(sw2 & 1u);
    });
    if (DRAV_DebugRegister()) {
        DRAV_LogControlState("QDAPC_Module::Register - SwitchVals1_8", lastButtons);
        DRAV_LogControlState("QDAPC_Module::Register - SwitchVals9_16", lastButtons2);
    }
    PushDisengageBar();
}

int QDAPC_Module::GetButton(const void* data, int* value) {
    const auto* vals = static_cast<const QDAPCControlVals*>(data);
    if (DRAV_DebugGetButton())
        DRAV_WriteToLogf(
            "QDAPC_Module::GetButton -  Dial A = %d, Dial B = %d, Dial C = %d, Dial D = %d, Dial E = %d",
            vals->enc[0], vals->enc[1], vals->enc[2], vals->enc[3], vals->enc[4]);
    for (int i = 0; i < kDisplays; ++i) {
        if (vals->enc[i] != 0 && FirstInReport(i)) {
            *value = vals->enc[i];
            return kFirstEncoder + i;
        }
    }
    const int bit = ScanBits<unsigned char>(vals->switches1, &lastButtons, 8, value);
    if (bit >= 0) {
        if (DRAV_DebugGetButton())
            DRAV_LogControlState("QDAPC_Module::GetButton - BtnState1_8", vals->switches1);
        return bit;
    }
    if (ScanBits<unsigned char>(vals->switches2, &lastButtons2, 1, value) == 0) {
        if (DRAV_DebugGetButton())
            DRAV_LogControlState("QDAPC_Module::GetButton - BtnState9_16", vals->switches2);
        return kDisengageBar;
    }
    return -1;
}

DRAV_HOT void QDAPC_Module::HandleInput(int control, int value) {
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf("QDAPC_Module::HandleInput -  Button = %d, Value = %d", control, value);
    if (control == kDisengageBar) {
        // Bit clear = bar lifted = disengaged, the same sense as at registration.
        binding[control].SetFly(value == 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
    } else if (control >= kFirstEncoder && control < kFirstEncoder + kDisplays) {
        if (Avionic* shown = displays[control - kFirstEncoder]) shown->Tune(0, static_cast<short>(value), 0);
    } else if (control >= 0 && control < kDisengageBar) {
        binding[control].SetFly(value == 1 ? Fly_subsystem::ACTION_PRESS : Fly_subsystem::ACTION_RELEASE, 0,
                                0);
    }
}

DRAV_HOT void QDAPC_Module::Refresh() {
    // Every assigned display follows the simulator, even behind an unassigned one.
    for (Avionic* value : displays)
        if (value != nullptr) value->GetFly();
    DRAV_RefreshBound(binding, bound);
    SetDisplay();
}

namespace {

// Per display A to E: where its part of the value text starts, how many characters the unit
// shows, and the blank text.
struct ApcDisplay {
    uint32_t (*send)(int, const char*);
    int start;
    int count; // 0: the whole text after a leading blank
    const char* blank;
    char name;
};
constexpr ApcDisplay kApcDisplays[QDAPC_Module::kDisplays] = {
    {QDAPC_SetADisplayText, 1, 3, "   ", 'A'},    {QDAPC_SetBDisplayText, 1, 3, "   ", 'B'},
    {QDAPC_SetCDisplayText, 2, 4, "   ", 'C'},    {QDAPC_SetDDisplayText, 0, 0, "      ", 'D'},
    {QDAPC_SetEDisplayText, 0, 0, "      ", 'E'},
};

} // namespace

void QDAPC_Module::SendBlanks() {
    if (lastLamps != 0) QDAPC_SetIndicators(unit, 0);
    lastLamps = 0;
    for (int i = 0; i < kDisplays; ++i)
        if (DRAV_TextChanged(lastTexts[i], kApcDisplays[i].blank))
            kApcDisplays[i].send(unit, kApcDisplays[i].blank);
}

DRAV_HOT void QDAPC_Module::SetDisplay() {
    if (!avionics_ok(true)) {
        SendBlanks();
        return;
    }
    const auto lamps = static_cast<unsigned char>(DRAV_BoundOn(binding, bound & 0xFF));
    if (lamps != lastLamps) {
        QDAPC_SetIndicators(unit, lamps);
        lastLamps = lamps;
        if (DRAV_DebugSetDisplay()) DRAV_LogControlState("QDAPC_Module::SetDisplay - Indicators", lamps);
    }
    for (int i = 0; i < kDisplays; ++i) {
        const Avionic* value = displays[i];
        if (value == nullptr || !DRAV_TextChanged(lastTexts[i], value->text)) continue;
        const ApcDisplay& d = kApcDisplays[i];
        char text[16];
        if (d.count == 0)
            snprintf(text, sizeof text, " %s", value->text);
        else
            SliceText(value->text, d.start, d.count, text, sizeof text);
        d.send(unit, text);
        if (DRAV_DebugSetDisplay())
            DRAV_WriteToLogf("QDAPC_Module::SetDisplay -  %c freqval = %s", d.name, text);
    }
}

void QDAPC_Module::Clear() {
    QDAPC_SetIndicators(unit, 0);
    lastLamps = 0;
    for (int i = 0; i < kDisplays; ++i) {
        kApcDisplays[i].send(unit, kApcDisplays[i].blank);
        lastTexts[i][0] = '\0';
    }
}

// ---------------------------------------------------------------------------------------------
// QD-NDC

void QDNDC_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    if (NDC_Disabled != 0) return;
    const int k = key;
    if (k >= kFirstKnobKey && k < kFirstKnobKey + kKnobs) {
        Avionic*& place = knobs[k - kFirstKnobKey];
        place = nullptr;
        BindAvionic(&place, function);
    } else if (k >= 0 && k < kBindings) {
        BindSwitch(binding[k], function, targetUnit, targetKind);
    }
}

E_UnitType QDNDC_Module::GetFunction(char key) {
    if (NDC_Disabled != 0) return NADA;
    const int k = key;
    if (k >= kFirstKnobKey && k < kFirstKnobKey + kKnobs) {
        const Avionic* value = knobs[k - kFirstKnobKey];
        return value != nullptr ? value->GetUnitType() : NADA;
    }
    if (k >= 0 && k < kBindings) return binding[k].GetUnitType();
    return NADA;
}

void QDNDC_Module::Register(unsigned short unit_index) {
    if (NDC_Disabled != 0) return;
    QD_Abstract_Module::Register(unit_index);
    short enc1 = 0;
    short enc2 = 0;
    unsigned short switches = 0;
    unsigned char selectors = 0;
    QDNDC_GetControlVals(unit, &enc1, &enc2, &switches, &selectors);
    DRAV_StoreInputState([&] {
        lastButtons = switches;
        lastSelectors = selectors;
        leftPosition = static_cast<unsigned char>(selectors & 0x0Fu);
        rightPosition = static_cast<unsigned char>(selectors >> 4);
    });
    if (DRAV_DebugRegister()) {
        DRAV_LogControlState("QDNDC_Module::Register - PrevSwitchVals", switches);
        DRAV_LogControlState("QDNDC_Module::Register - PrevSelectorVals", selectors);
    }
    // A position the selector cannot have (a bad report) selects nothing.
    if (leftPosition < kLeftPositions)
        binding[kFirstLeftPosition + leftPosition].SetFly(Fly_subsystem::ACTION_POSITION, leftPosition, 1);
    if (rightPosition < kRightPositions)
        binding[kFirstRightPosition + rightPosition].SetFly(Fly_subsystem::ACTION_POSITION, rightPosition, 1);
    // Each three-way toggle closes one of its two contacts, or neither in the middle.
    for (int first = 8; first <= 10; first += 2) {
        if ((switches & (1u << first)) != 0)
            binding[first].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
        else if ((switches & (1u << (first + 1))) != 0)
            binding[first + 1].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    }
}

int QDNDC_Module::GetButton(const void* data, int* value) {
    if (NDC_Disabled != 0) return -1;
    const auto* vals = static_cast<const QDNDCControlVals*>(data);
    const unsigned char left = static_cast<unsigned char>(vals->selectors & 0x0Fu);
    const unsigned char right = static_cast<unsigned char>(vals->selectors >> 4);
    if (left != leftPosition || right != rightPosition) {
        if (DRAV_DebugGetButton())
            DRAV_LogControlState("QDNDC_Module::GetButton - Selectors", vals->selectors);
        lastSelectors = vals->selectors;
    }
    if (left != leftPosition) {
        leftPosition = left;
        if (left < kLeftPositions) {
            *value = left;
            return kFirstLeftPosition + left;
        }
    }
    if (right != rightPosition) {
        rightPosition = right;
        if (right < kRightPositions) {
            *value = right;
            return kFirstRightPosition + right;
        }
    }
    if (DRAV_DebugGetButton() && (vals->enc1 != 0 || vals->enc2 != 0))
        DRAV_WriteToLogf("QDNDC_Module::GetButton -  Dial A = %d, Dial B = %d", vals->enc1, vals->enc2);
    if (vals->enc1 != 0 && FirstInReport(0)) {
        *value = vals->enc1;
        return kLeftEncoder;
    }
    if (vals->enc2 != 0 && FirstInReport(1)) {
        *value = vals->enc2;
        return kRightEncoder;
    }
    const int bit = ScanBits<uint16_t>(vals->switches, &lastButtons, 16, value);
    if (bit >= 0 && DRAV_DebugGetButton())
        DRAV_LogControlState("QDNDC_Module::GetButton - BtnState", vals->switches);
    return bit;
}

DRAV_HOT void QDNDC_Module::HandleInput(int control, int value) {
    if (NDC_Disabled != 0) return;
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf("QDNDC_Module::HandleInput -  Button = %d, Value = %d", control, value);
    if (control == kLeftEncoder || control == kRightEncoder) {
        if (Avionic* knob = knobs[control - kLeftEncoder]) knob->Tune(0, static_cast<short>(value), QDHW_NDC);
        return;
    }
    if (control < 0 || control >= kBindings) return;
    if (control >= 8 && control <= 11) {
        binding[control].SetFly(value != 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
    } else if (control == 14 || control >= kFirstLeftPosition) {
        binding[control].SetFly(Fly_subsystem::ACTION_POSITION, value, 1);
    } else {
        binding[control].SetFly(value == 1 ? Fly_subsystem::ACTION_PRESS : Fly_subsystem::ACTION_RELEASE, 0,
                                0);
    }
}

void QDNDC_Module::Clear() {
    DRAV_StoreInputState([&] {
        lastButtons = 0;
        lastSelectors = 0;
    });
}

// Default functions of the numbered keys, used by registration and shown by the dialog.
const char* const kAPXDefaults[24] = {"AP_VNAV",
                                      "AP_LNAV",
                                      "AP_MASTER",
                                      "AP_MASTER",
                                      "AP_AUTOTHROTTLE",
                                      "AP_IAS_MACH_SEL",
                                      "NADA",
                                      "AP_LNAV",
                                      "NADA",
                                      "NADA",
                                      "NADA",
                                      "NADA",
                                      "NADA",
                                      "APX_ALT_KNOB",
                                      "AP_FLIGHT_DIR",
                                      "NADA",
                                      "AP_IAS_HOLD",
                                      "AP_FLCH",
                                      "AP_HDG_HOLD",
                                      "AP_APPR_HOLD",
                                      "AP_ALT_HOLD",
                                      "AP_VS_HOLD",
                                      "AP_DISENGAGE",
                                      "AP_FLIGHT_DIR"};
const char* const kAPXx737Defaults[24] = {"AP_VNAV",
                                          "AP_LNAV",
                                          "AP_CMD_A",
                                          "AP_CMD_B",
                                          "AP_AUTOTHROTTLE",
                                          "AP_IAS_MACH_SEL",
                                          "AP_SPDINV",
                                          "AP_VORLOC",
                                          "AP_ALTINV",
                                          "NADA",
                                          "NADA",
                                          "NADA",
                                          "NADA",
                                          "NADA",
                                          "AP_FLIGHT_DIR",
                                          "AP_THRUST_N1",
                                          "AP_IAS_HOLD",
                                          "AP_FLCH",
                                          "AP_HDG_HOLD",
                                          "AP_APPR_HOLD",
                                          "AP_ALT_HOLD",
                                          "AP_VS_HOLD",
                                          "AP_DISENGAGE",
                                          "AP_RIGHT_FLIGHT_DIR"};
const char* const kAPXKnobDefaults[6] = {"AP_NAV_COURSE_ADJ", "AP_SPEED_ADJ",      "AP_HEADING_ADJ",
                                         "AP_ALTITUDE_ADJ",   "AP_VERT_SPEED_ADJ", "AP_NAV_COURSE_ADJ"};
const char* const kAPXx737KnobDefaults[6] = {
    "OBS1", "AP_SPEED_ADJ", "AP_HEADING_ADJ", "AP_ALTITUDE_ADJ", "AP_VERT_SPEED_ADJ", "OBS2"};
const char* const kNDCDefaults[27] = {"",
                                      "EFIS_SYM_NDB",
                                      "EFIS_SYM_VOR",
                                      "EFIS_SYM_ARPT",
                                      "EFIS_SYM_WPT",
                                      "EFIS_SYM_TCAS",
                                      "EFIS_SYM_WXR",
                                      "NADA",
                                      "EFIS_ADF_SEL1",
                                      "EFIS_VOR_SEL1",
                                      "EFIS_ADF_SEL2",
                                      "EFIS_VOR_SEL2",
                                      "NADA",
                                      "NADA",
                                      "ALTIMETER_SET_STD",
                                      "METRIC_PRESSURE",
                                      "EFIS_ND_MODE_APP",
                                      "EFIS_ND_MODE_VOR",
                                      "EFIS_ND_MODE_MAP",
                                      "EFIS_ND_MODE_PLAN",
                                      "EFIS_ND_RANGE_10NM",
                                      "EFIS_ND_RANGE_20NM",
                                      "EFIS_ND_RANGE_40NM",
                                      "EFIS_ND_RANGE_80NM",
                                      "EFIS_ND_RANGE_160NM",
                                      "EFIS_ND_RANGE_320NM",
                                      "EFIS_ND_RANGE_640NM"};
const char* const kNDCKnobDefaults[2] = {"DECISION_HEIGHT", "ALTIMETER"};
