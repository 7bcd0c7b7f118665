// QD-APX: the advanced autopilot panel, with catalogue functions or the x737 aircraft's commands.
#include <cstdio>

#include "core/hot_path.h"
#include "core/sdk_binding.h"
#include "devlib/include/qddev.h"
#include "modules/autopilot.h"
#include "modules/avionics_util.h"
#include "simlink/avionic.h"
#include "simlink/custom_datarefs.h"
#include "simlink/sim_watch.h"

using namespace drav_modutil;

namespace {

constexpr uint32_t kSwitchMask = 0x00FFFFFFu;
// Lamps are 24 bits: a value no unit can show, kept after the panel is handed back so that
// the next pass sends the lamps whatever they are.
constexpr uint32_t kLampsUnknown = 0xFFFFFFFFu;

// x737 command table entries (see the command name tables): the panel's switches in the
// aircraft's own terms.
enum X737Command {
    FD_A = 0,
    ATHR_ARM = 1,
    N1_MODE = 2,
    MCPSPD_MODE = 3,
    CHANGEOVER = 4,
    VNAV = 5,
    SPDINTV = 6,
    LVLCHANGE = 7,
    HDGSEL = 8,
    LNAV = 9,
    VORLOC = 10,
    APP = 11,
    ALTHLD = 12,
    ALTINTV = 13,
    VS = 14,
    CMDA = 15,
    CMDB = 16,
    AP_DISCONNECT = 17,
    FD_B = 18,
    NONE = -1,
};

// Per switch 0 to 23, following the panel's captions (VNAV, LNAV, CMD A, CMD B, A/T arm,
// IAS/MACH, SPD INTV, VORLOC, ALT INTV, CWS A, CWS B, SPD knob, HDG knob, ALT knob, F/D left,
// N1, IAS HOLD, FLCH, HDG, APPR, ALT HOLD, VS, disengage bar, F/D right).
constexpr int TranslationCodes[QDAPX_Module::kSwitches] = {
    VNAV, LNAV, CMDA, CMDB,    ATHR_ARM,    CHANGEOVER, SPDINTV, VORLOC, ALTINTV, NONE, NONE,          NONE,
    NONE, NONE, FD_A, N1_MODE, MCPSPD_MODE, LVLCHANGE,  HDGSEL,  APP,    ALTHLD,  VS,   AP_DISCONNECT, FD_B,
};

bool IsOnOffSwitch(int control) {
    return control == 4 || control == 13 || control == 14 || control == 23;
}
bool IsX737OnOffSwitch(int control) {
    return control == 4 || control == 14 || control == 23;
}

void RunCommand(const XPLMCommandRef* table, int control) {
    const int code = QDAPX_Module::TranslationCode(control);
    if (code < 0 || table[code] == nullptr || XPLMCommandOnce_ptr == nullptr) return;
    XPLMCommandOnce_ptr(table[code]);
}

// Per display A to F: the part of the value text the unit shows and the blank text.
struct ApxDisplay {
    uint32_t (*send)(int, const char*);
    int start;
    int count;
    const char* blank;      // while the avionics have no power
    const char* clearBlank; // when the unit is cleared
    char name;
};
constexpr ApxDisplay kApxDisplays[QDAPX_Module::kDisplays] = {
    {QDAPX_SetADisplayText, 1, 3, "   ", "   ", 'A'},
    {QDAPX_SetBDisplayText, 0, 6, "      ", "   ", 'B'},
    {QDAPX_SetCDisplayText, 1, 3, "   ", "   ", 'C'},
    {QDAPX_SetDDisplayText, 0, 5, "      ", "      ", 'D'},
    {QDAPX_SetEDisplayText, 0, 5, "      ", "      ", 'E'},
    {QDAPX_SetFDisplayText, 1, 3, "   ", "      ", 'F'},
};

} // namespace

int QDAPX_Module::TranslationCode(int control) {
    if (control < 0 || control >= kSwitches) return -1;
    return TranslationCodes[control];
}

void QDAPX_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    if (APX_Disabled != 0) return;
    const int k = key;
    if (k >= kFirstDisplayKey && k < kFirstDisplayKey + kDisplays) {
        Avionic*& place = displays[k - kFirstDisplayKey];
        place = nullptr;
        BindAvionic(&place, function);
    } else if (k >= 0 && k < kSwitches) {
        BindSwitch(binding[k], function, targetUnit, targetKind);
        bound = DRAV_BoundMask(binding);
        if (k == kDisengageBar && barPushPending) PushDisengageBar();
    }
}

E_UnitType QDAPX_Module::GetFunction(char key) {
    if (APX_Disabled != 0) return NADA;
    const int k = key;
    if (k >= kFirstDisplayKey && k < kFirstDisplayKey + kDisplays) {
        const Avionic* value = displays[k - kFirstDisplayKey];
        return value != nullptr ? value->GetUnitType() : NADA;
    }
    if (k >= 0 && k < kSwitches) return binding[k].GetUnitType();
    return NADA;
}

void QDAPX_Module::PushLatchingSwitches() {
    const bool barDown = (lastSwitches & (1u << kDisengageBar)) != 0;
    if (g_Enable_x737_Commands != 0) {
        RunCommand(barDown ? CommandOffRefs : CommandOnRefs, kDisengageBar);
        for (int control : {4, 14, 23})
            RunCommand((lastSwitches & (1u << control)) != 0 ? CommandOnRefs : CommandOffRefs, control);
    } else {
        PushDisengageBar();
    }
}

void QDAPX_Module::PushDisengageBar() {
    // The registry binds the controls after registering the unit: at the first registration the
    // bar has no function yet, so its position goes out once the function is bound.
    barPushPending = g_Enable_x737_Commands == 0 && binding[kDisengageBar].GetUnitType() == NADA;
    if (barPushPending || g_Enable_x737_Commands != 0) return;
    const bool barDown = (lastSwitches & (1u << kDisengageBar)) != 0;
    binding[kDisengageBar].SetFly(barDown ? Fly_subsystem::ACTION_OFF : Fly_subsystem::ACTION_ON, 0, 0);
}

void QDAPX_Module::Register(unsigned short unit_index) {
    if (APX_Disabled != 0) return;
    QD_Abstract_Module::Register(unit_index);
    short enc[kDisplays] = {};
    unsigned int switches = 0;
    QDAPX_GetControlVals(unit, &enc[0], &enc[1], &enc[2], &enc[3], &enc[4], &enc[5], &switches);
    DRAV_StoreInputState([&] { lastSwitches = switches & kSwitchMask; });
    if (DRAV_DebugRegister())
        DRAV_LogControlState64("QDAPX_Module::Register - SwitchState", switches & kSwitchMask);
    int level = ii_brightlevel;
    if (level < 0) level = 0;
    if (level > 15) level = 15;
    QDAPX_SetBrightness(unit, static_cast<unsigned char>(level));
    PushLatchingSwitches();
}

int QDAPX_Module::GetButton(const void* data, int* value) {
    if (APX_Disabled != 0) return -1;
    const auto* vals = static_cast<const QDAPXControlVals*>(data);
    if (DRAV_DebugGetButton())
        DRAV_WriteToLogf(
            "QDAPX_Module::GetButton -  Dial A = %d, Dial B = %d, Dial C = %d, Dial D = %d, Dial E = %d, "
            "Dial F = %d",
            vals->enc[0], vals->enc[1], vals->enc[2], vals->enc[3], vals->enc[4], vals->enc[5]);
    for (int i = 0; i < kDisplays; ++i) {
        if (vals->enc[i] != 0 && FirstInReport(i)) {
            *value = vals->enc[i];
            return kFirstEncoder + i;
        }
    }
    const int bit = ScanBits<uint32_t>(vals->switches & kSwitchMask, &lastSwitches, kSwitches, value);
    if (bit >= 0 && DRAV_DebugGetButton())
        DRAV_LogControlState64("QDAPX_Module::GetButton - BtnState", vals->switches);
    return bit;
}

void QDAPX_Module::HandleX737(int control, int value) {
    if (control == kDisengageBar) {
        // Lifting the bar (bit clear) disconnects.
        RunCommand(value == 0 ? CommandOnRefs : CommandOffRefs, control);
    } else if (IsX737OnOffSwitch(control)) {
        RunCommand(value == 1 ? CommandOnRefs : CommandOffRefs, control);
    } else if (value == 1) {
        RunCommand(CommandToggleRefs, control);
    }
}

DRAV_HOT void QDAPX_Module::HandleInput(int control, int value) {
    if (APX_Disabled != 0) return;
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf("QDAPX_Module::HandleInput -  Button = %d, Value = %d", control, value);
    if (control >= kFirstEncoder && control < kFirstEncoder + kDisplays) {
        if (Avionic* shown = displays[control - kFirstEncoder]) shown->Tune(0, static_cast<short>(value), 0);
    } else if (control >= 0 && control < kSwitches) {
        if (g_Enable_x737_Commands != 0) {
            HandleX737(control, value);
        } else if (control == kDisengageBar) {
            // Bit clear = bar lifted = disengaged, the same sense as at registration.
            binding[control].SetFly(value == 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
        } else if (IsOnOffSwitch(control)) {
            binding[control].SetFly(value == 1 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
        } else {
            binding[control].SetFly(value == 1 ? Fly_subsystem::ACTION_PRESS : Fly_subsystem::ACTION_RELEASE,
                                    0, 0);
        }
    }
    SetDisplay();
}

DRAV_HOT void QDAPX_Module::Refresh() {
    // Every assigned display follows the simulator, even behind an unassigned one.
    for (Avionic* value : displays)
        if (value != nullptr) value->GetFly();
    DRAV_RefreshBound(binding, bound);
    SetDisplay();
}

void QDAPX_Module::SendBlanks() {
    if (lastLamps != 0) QDAPX_SetIndicators(unit, 0);
    lastLamps = 0;
    for (int i = 0; i < kDisplays; ++i)
        if (DRAV_TextChanged(lastTexts[i], kApxDisplays[i].blank))
            kApxDisplays[i].send(unit, kApxDisplays[i].blank);
}

DRAV_HOT void QDAPX_Module::SetDisplay() {
    // Another plug-in takes the panel and hands it back without any input reaching this unit.
    const int disabled = DRAV_ReadWatched(APX_Disabled);
    if (disabled != APX_Disabled_Previous_Value) {
        APX_Disabled_Previous_Value = disabled;
        if (disabled == 0) {
            // Another plug-in drove the panel meanwhile: what we sent before is gone.
            lastLamps = kLampsUnknown;
            for (char* text : lastTexts)
                text[0] = '\0';
        }
    }
    if (disabled != 0) return;
    if (!avionics_ok(true)) {
        SendBlanks();
        return;
    }
    const auto lamps = static_cast<uint32_t>(DRAV_BoundOn(binding, bound));
    if (lamps != lastLamps) {
        QDAPX_SetIndicators(unit, lamps);
        lastLamps = lamps;
        if (DRAV_DebugSetDisplay()) DRAV_LogControlState64("QDAPX_Module::SetDisplay - Indicators", lamps);
    }
    for (int i = 0; i < kDisplays; ++i) {
        const Avionic* value = displays[i];
        if (value == nullptr || !DRAV_TextChanged(lastTexts[i], value->text)) continue;
        const ApxDisplay& d = kApxDisplays[i];
        char text[16];
        SliceText(value->text, d.start, d.count, text, sizeof text);
        d.send(unit, text);
        if (DRAV_DebugSetDisplay())
            DRAV_WriteToLogf("QDAPX_Module::SetDisplay -  %c freqval = %s", d.name, text);
    }
}

void QDAPX_Module::Clear() {
    if (APX_Disabled != 0) return;
    QDAPX_SetIndicators(unit, 0);
    lastLamps = 0;
    for (int i = 0; i < kDisplays; ++i) {
        kApxDisplays[i].send(unit, kApxDisplays[i].clearBlank);
        lastTexts[i][0] = '\0';
    }
}
