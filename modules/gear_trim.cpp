#include "gear_trim.h"

#include "core/globals.h"
#include "core/hot_path.h"
#include "core/log.h"
#include "devlib/include/qddev.h"
#include "simlink/custom_datarefs.h"
#include "simlink/sim_watch.h"

#include "XPLMDataAccess.h"

#include <climits>
#include <cstdio>

const GearLampBits kQDGTPLampBits = {{0x80, 0x08, 0x20}, {0x40, 0x04, 0x10}};
const GearLampBits kQDGTP2LampBits = {{0x10, 0x40, 0x04}, {0x20, 0x80, 0x08}};
const GearLampBits kQDGTP2LampBitsSwapped = {{0x20, 0x80, 0x08}, {0x10, 0x40, 0x04}};

namespace {

// Ratio limits of a gear counted as down or as up.
constexpr float kGearDown = 0.98f;
constexpr float kGearUp = 0.02f;

// The trim wheels tune with the neutral device type: no model-specific step rules apply.
constexpr int kWheelTuneType = 0;

void DRAV_WriteToLogf(const char* format, int a, int b = 0, int c = 0) {
    char line[160];
    std::snprintf(line, sizeof line, format, a, b, c);
    DRAV_WriteToLog(line);
}

// Gear lever and rocker events. The gear handle follows the lever position (bit clear = gear
// down); every other function steps once per unit of the value, down for negative values.
void ApplyLeverOrRocker(Fly_subsystem& binding, int value) {
    if (binding.GetUnitType() == LANDING_GEAR) {
        if (value < 0)
            binding.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
        else if (value > 0)
            binding.SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
        return;
    }
    for (int i = value; i < 0; ++i)
        binding.SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
    for (int i = 0; i < value; ++i)
        binding.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
}

void TuneWheel(Avionic* wheel, int detents, unsigned gain) {
    if (wheel == nullptr) return;
    wheel->Tune(0, ScaledWheelSteps(detents, gain), kWheelTuneType);
}

// Lamp byte for the panel, or 0 without electrical power.
uint8_t CurrentLamps(const GearLampBits& bits) {
    if (!avionics_ok(false)) return 0;
    GearLampInput in;
    ReadGearLampInput(&in);
    return ComposeGearLamps(in, bits);
}

} // namespace

unsigned ClampWheelGain(long gain) {
    if (gain < static_cast<long>(kMinWheelGain)) return kMinWheelGain;
    if (gain > static_cast<long>(kMaxWheelGain)) return kMaxWheelGain;
    return static_cast<unsigned>(gain);
}

short ScaledWheelSteps(int detents, unsigned gain) {
    long steps = static_cast<long>(detents) * static_cast<long>(gain);
    if (steps > SHRT_MAX) steps = SHRT_MAX;
    if (steps < SHRT_MIN) steps = SHRT_MIN;
    return static_cast<short>(steps);
}

uint8_t ComposeGearLamps(const GearLampInput& in, const GearLampBits& bits) {
    uint8_t lamps = 0;
    if (!in.retractable) {
        lamps = 0;
    } else if (in.onGround) {
        for (int g = 0; g < 3; ++g)
            lamps |= in.handleDown ? bits.down[g] : bits.transit[g];
    } else {
        for (int g = 0; g < 3; ++g) {
            float r = in.ratio[g];
            if (r >= kGearDown)
                lamps |= bits.down[g];
            else if (r <= kGearUp)
                continue;
            else
                lamps |= bits.transit[g]; // also a ratio that is not a number
        }
    }
    // Failure datarefs 1 to 3 belong to the gears of ratio 1, 3 and 2.
    if (in.failure[0] == kGearFailed) lamps |= bits.transit[0];
    if (in.failure[1] == kGearFailed) lamps = (lamps & ~(bits.down[2] | bits.transit[2])) | bits.transit[2];
    if (in.failure[2] == kGearFailed) lamps = (lamps & ~(bits.down[1] | bits.transit[1])) | bits.transit[1];
    return lamps;
}

namespace {
struct GearRefs {
    bool found = false;
    XPLMDataRef deploy = nullptr;
    XPLMDataRef failure[3] = {};
    XPLMDataRef onGround = nullptr;
    XPLMDataRef handle = nullptr;
    XPLMDataRef retract = nullptr;
};
GearRefs g_gearRefs;
} // namespace

void FindGearDatarefs() {
    GearRefs& r = g_gearRefs;
    r.deploy = XPLMFindDataRef("sim/aircraft/parts/acf_gear_deploy");
    r.failure[0] = XPLMFindDataRef("sim/operation/failures/rel_lagear1");
    r.failure[1] = XPLMFindDataRef("sim/operation/failures/rel_lagear2");
    r.failure[2] = XPLMFindDataRef("sim/operation/failures/rel_lagear3");
    r.onGround = XPLMFindDataRef("sim/flightmodel/failures/onground_any");
    r.handle = XPLMFindDataRef("sim/cockpit/switches/gear_handle_status");
    r.retract = XPLMFindDataRef("sim/aircraft/gear/acf_gear_retract");
    r.found = true;
}

void ReadGearLampInput(GearLampInput* in) {
    const GearRefs& r = g_gearRefs;
    if (!r.found) FindGearDatarefs();
    // Older simulators kept the gear of the current aircraft further into the parts array.
    int first = 0;
    if (gXPlaneVersion >= 700 && gXPlaneVersion <= 799)
        first = 67;
    else if (gXPlaneVersion < 700)
        first = 52;

    in->ratio[0] = in->ratio[1] = in->ratio[2] = 0.0f;
    if (r.deploy != nullptr) DRAV_ReadFloats(r.deploy, in->ratio, first, 3);
    for (int g = 0; g < 3; ++g)
        in->failure[g] = r.failure[g] != nullptr ? DRAV_ReadInt(r.failure[g]) : 0;
    in->onGround = r.onGround != nullptr && DRAV_ReadInt(r.onGround) != 0;
    in->handleDown = r.handle != nullptr && DRAV_ReadInt(r.handle) != 0;
    in->retractable = r.retract != nullptr && DRAV_ReadInt(r.retract) != 0;
}

// ---- QD-GTP --------------------------------------------------------------------------------------

void QDGTP_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    FindGearDatarefs();
    short trim = 0;
    unsigned char switches = 0;
    QDGTP_GetControlVals(unit, &trim, &switches);
    if (g_DRAV_DebugRegisterFunction) DRAV_LogControlState("QDGTP_Module::Register - SwitchState", switches);
    // The lever is latching: the simulator takes its position once.
    DRAV_StoreInputState([&] { lastLever = (switches & 0x01) ? 1 : -1; });
    binding[0].SetFly((switches & 0x01) ? Fly_subsystem::ACTION_OFF : Fly_subsystem::ACTION_ON, 0, 0);
}

DRAV_HOT void QDGTP_Module::SetDisplay() {
    uint8_t lamps = CurrentLamps(kQDGTPLampBits);
    if (lamps == lastLamps) return;
    QDGTP_SetIndicators(unit, lamps);
    lastLamps = lamps;
    if (g_DRAV_DebugSetDisplayFunction) DRAV_LogControlState("QDGTP_Module::SetDisplay - Indicators", lamps);
}

int QDGTP_Module::GetButton(const void* data, int* extra) {
    const auto* vals = static_cast<const QDGTPControlVals*>(data);
    int trim = vals->trim;
    uint8_t switches = vals->switches;
    if (g_DRAV_DebugGetButtonFunction) {
        DRAV_WriteToLogf("QDGTP_Module::GetButton -  Wheel = %d", trim);
        DRAV_LogControlState("QDGTP_Module::GetButton - BtnState", switches);
    }
    if (trim != 0 && FirstInReport(0)) {
        *extra = trim;
        return CONTROL_WHEEL;
    }
    // The rocker is momentary: it reports while held and keeps no state.
    const int rocker = (switches & 0x02) ? -1 : (switches & 0x04) ? 1 : 0;
    if (rocker != 0 && FirstInReport(1)) {
        *extra = rocker;
        return CONTROL_ROCKER;
    }
    int lever = (switches & 0x01) ? 1 : -1;
    if (lever != lastLever) {
        lastLever = lever;
        *extra = lever;
        return CONTROL_LEVER;
    }
    return -1;
}

void QDGTP_Module::Clear() {
    QDGTP_SetIndicators(unit, 0);
    lastLamps = 0;
}

DRAV_HOT void QDGTP_Module::HandleInput(int control, int value) {
    if (g_DRAV_DebugHandleInputFunction)
        DRAV_WriteToLogf("QDGTP_Module::HandleInput -  ControlID = %d, Value = %d", control, value);
    switch (control) {
    case CONTROL_LEVER:
    case CONTROL_ROCKER:
        ApplyLeverOrRocker(binding[control], value);
        break;
    case CONTROL_WHEEL:
        TuneWheel(wheel, value, wheelGain);
        break;
    default:
        break;
    }
}

DRAV_HOT void QDGTP_Module::Refresh() {
    binding[0].GetFly();
    binding[1].GetFly();
    SetDisplay();
}

void QDGTP_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    switch (key) {
    case 'W':
        BindAvionic(&wheel, function);
        break;
    case 'L':
        BindSwitch(binding[0], function, targetUnit, targetKind);
        break;
    case 'S':
        BindSwitch(binding[1], function, targetUnit, targetKind);
        break;
    default:
        break;
    }
}

E_UnitType QDGTP_Module::GetFunction(char key) {
    switch (key) {
    case 'W':
        return wheel != nullptr ? wheel->GetUnitType() : NADA;
    case 'L':
        return binding[0].GetUnitType();
    case 'S':
        return binding[1].GetUnitType();
    default:
        return NADA;
    }
}

// ---- QD-GTP2 -------------------------------------------------------------------------------------

void QDGTP2_Module::SetWheelGain(int index, long gain) {
    if (index >= 0 && index < 3) wheelGains[index] = ClampWheelGain(gain);
}

unsigned QDGTP2_Module::GetWheelGain(int index) const {
    return (index >= 0 && index < 3) ? wheelGains[index] : kMinWheelGain;
}

void QDGTP2_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    FindGearDatarefs();
    short e1 = 0, e2 = 0, e3 = 0;
    unsigned char switches = 0;
    QDGTP2_GetControlVals(unit, &e1, &e2, &e3, &switches);
    DRAV_StoreInputState([&] {
        lastButtons = switches;
        lastLever = (switches & 0x01) ? 1 : -1;
    });
    if (g_DRAV_DebugRegisterFunction)
        DRAV_LogControlState("QDGTP2_Module::Register - PrevSwitchVals", switches);
    binding[BIND_LEVER].SetFly((switches & 0x01) ? Fly_subsystem::ACTION_OFF : Fly_subsystem::ACTION_ON, 0,
                               0);
    if (switches & 0x04)
        binding[BIND_RIGHT].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    else if (switches & 0x08)
        binding[BIND_LEFT].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    else
        binding[BIND_CENTRE].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
}

DRAV_HOT void QDGTP2_Module::SetDisplay() {
    uint8_t lamps = CurrentLamps(DRAV_ReadWatched(g_QDGTP2LandingLightsReverseFix) ? kQDGTP2LampBitsSwapped
                                                                                   : kQDGTP2LampBits);
    if (lamps == lastLamps) return;
    QDGTP2_SetIndicators(unit, lamps);
    lastLamps = lamps;
    if (g_DRAV_DebugSetDisplayFunction) DRAV_LogControlState("QDGTP2_Module::SetDisplay - Indicators", lamps);
}

int QDGTP2_Module::GetButton(const void* data, int* extra) {
    const auto* vals = static_cast<const QDGTP2ControlVals*>(data);
    int a = vals->enc[0], b = vals->enc[1], c = vals->enc[2];
    uint8_t switches = vals->switches;
    if (g_DRAV_DebugGetButtonFunction) {
        DRAV_WriteToLogf("QDGTP2_Module::GetButton -  Wheel A = %d, Wheel B = %d, Wheel C = %d", a, b, c);
        DRAV_LogControlState("QDGTP2_Module::GetButton - BtnState", switches);
    }
    if (a != 0 && FirstInReport(0)) {
        *extra = a;
        return CONTROL_WHEEL_A;
    }
    if (b != 0 && FirstInReport(1)) {
        *extra = b;
        return CONTROL_WHEEL_B;
    }
    if (c != 0 && FirstInReport(2)) {
        *extra = -c; // the rudder wheel counts the other way round
        return CONTROL_WHEEL_C;
    }
    int lever = (switches & 0x01) ? 1 : -1;
    if (lever != lastLever) {
        lastLever = lever;
        *extra = lever;
        return CONTROL_LEVER;
    }
    const int rocker = (switches & 0x20) ? -1 : (switches & 0x10) ? 1 : 0;
    if (rocker != 0 && FirstInReport(3)) {
        *extra = rocker;
        return CONTROL_ROCKER;
    }
    for (int bit = 2; bit <= 3; ++bit) {
        uint8_t mask = static_cast<uint8_t>(1u << bit);
        if ((switches & mask) != (lastButtons & mask)) {
            lastButtons = static_cast<uint8_t>(lastButtons ^ mask);
            *extra = (switches & mask) ? 1 : 0;
            return bit; // controls 2 and 3 are switch bits 2 and 3
        }
    }
    return -1;
}

void QDGTP2_Module::Clear() {
    QDGTP2_SetIndicators(unit, 0);
    lastLamps = 0;
}

DRAV_HOT void QDGTP2_Module::HandleInput(int control, int value) {
    if (g_DRAV_DebugHandleInputFunction)
        DRAV_WriteToLogf("QDGTP2_Module::HandleInput -  ControlID = %d, Value = %d", control, value);
    switch (control) {
    case CONTROL_LEVER:
    case CONTROL_ROCKER:
        ApplyLeverOrRocker(binding[control], value);
        break;
    case CONTROL_SWITCH_RIGHT:
    case CONTROL_SWITCH_LEFT: {
        int target = BIND_CENTRE;
        if (value != 0) target = control == CONTROL_SWITCH_RIGHT ? BIND_RIGHT : BIND_LEFT;
        binding[target].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
        break;
    }
    case CONTROL_WHEEL_A:
    case CONTROL_WHEEL_B:
    case CONTROL_WHEEL_C: {
        static const int* const reverseFix[3] = {&g_QDGTP2AileronReverseFix, &g_QDGTP2ElevatorReverseFix,
                                                 &g_QDGTP2RudderReverseFix};
        int w = control - CONTROL_WHEEL_A;
        int detents = *reverseFix[w] ? -value : value;
        TuneWheel(wheels[w], detents, wheelGains[w]);
        break;
    }
    default:
        break;
    }
}

DRAV_HOT void QDGTP2_Module::Refresh() {
    binding[BIND_LEVER].GetFly();
    binding[BIND_ROCKER].GetFly();
    SetDisplay();
}

void QDGTP2_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    if (key >= 'G' && key <= 'I')
        BindAvionic(&wheels[key - 'G'], function);
    else if (key >= 'J' && key <= 'N')
        BindSwitch(binding[key - 'J'], function, targetUnit, targetKind);
}

E_UnitType QDGTP2_Module::GetFunction(char key) {
    if (key >= 'G' && key <= 'I') {
        const Avionic* w = wheels[key - 'G'];
        return w != nullptr ? w->GetUnitType() : NADA;
    }
    if (key >= 'J' && key <= 'N') return binding[key - 'J'].GetUnitType();
    return NADA;
}
