// The engine control panel (QD-ECP) and the starter selector (QD-SSM).
#include "engine.h"

#include "core/hot_path.h"
#include "core/log.h"
#include "core/sdk_binding.h"
#include "devlib/include/qddev.h"
#include "simlink/custom_datarefs.h"
#include "simlink/sim_watch.h"

#include <cstdio>

namespace {

constexpr int kECPSwitches = 12;
constexpr int kEngines = 8;

// Entries of the starter command tables.
enum {
    SSM_STARTER_1 = 0,
    SSM_IGNITION_1 = 2, // continuous ignition on / off, engine 1 (engine 2 follows)
    SSM_MAGNETO_LEFT_1 = 6,
    SSM_MAGNETO_BOTH_1 = 8,
    SSM_MAGNETO_RIGHT_1 = 10,
};

void LogControlValue(const char* format, int control, int value) {
    char line[120];
    std::snprintf(line, sizeof line, format, control, value);
    DRAV_WriteToLog(line);
}

void CommandOnce(XPLMCommandRef command) {
    if (command != nullptr && XPLMCommandOnce_ptr != nullptr) XPLMCommandOnce_ptr(command);
}

void CommandBegin(XPLMCommandRef command) {
    if (command != nullptr && XPLMCommandBegin_ptr != nullptr) XPLMCommandBegin_ptr(command);
}

void CommandEnd(XPLMCommandRef command) {
    if (command != nullptr && XPLMCommandEnd_ptr != nullptr) XPLMCommandEnd_ptr(command);
}

// Key characters of the numbered panels are the control numbers themselves.
int ControlKey(char key, int count) {
    const int index = static_cast<unsigned char>(key);
    return index < count ? index : -1;
}

bool ValidSelector(int position) {
    return position >= QDECP_Module::SELECTOR_OFF && position <= QDECP_Module::SELECTOR_START;
}

// A start selector moved by one position: the control and value it reports, or -1 for a jump.
int AdjacentStartControl(int from, int to, int firstControl, int* value) {
    if (from == 2 && to == 1) return *value = 1, firstControl;
    if (from == 1 && to == 2) return *value = 0, firstControl;
    if (from == 3 && to == 2) return *value = 0, firstControl + 1;
    if (from == 2 && to == 3) return *value = 1, firstControl + 1;
    if (from == 4 && to == 3) return *value = 0, firstControl + 2;
    if (from == 3 && to == 4) return *value = 1, firstControl + 2;
    return -1;
}

// Reports a start selector change, storing the new position only when it is reported. A selector
// whose position is not known yet (0) takes the new one silently.
int StartSelectorChange(unsigned char now, unsigned char& last, int firstControl, int* value) {
    if (now == last) return -1;
    if (last == 0) {
        last = now;
        return -1;
    }
    const int control = AdjacentStartControl(last, now, firstControl, value);
    if (control >= 0) last = now;
    return control;
}

} // namespace

// ---- QD-ECP --------------------------------------------------------------------------------------

void QDECP_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    unsigned char position = 0, gear = 0, wingFlaps = 0, cowlFlaps = 0;
    unsigned short switches = 0;
    QDECP_GetControlVals(unit, &position, &gear, &wingFlaps, &cowlFlaps, &switches);
    DRAV_StoreInputState([&] {
        lastSelector = position;
        lastGear = gear;
        lastWingFlaps = wingFlaps;
        lastCowlFlaps = cowlFlaps;
        lastButtons = switches;
    });
    if (DRAV_DebugRegister()) {
        DRAV_LogControlState("QDECP_Module::Register - Selector", position);
        DRAV_LogControlState("QDECP_Module::Register - GearState", gear);
        DRAV_LogControlState("QDECP_Module::Register - WingFlapsState", wingFlaps);
        DRAV_LogControlState("QDECP_Module::Register - CowlFlapsState", cowlFlaps);
        DRAV_LogControlState("QDECP_Module::Register - SwitchState", switches);
    }

    // Every control but the rotary start position latches: the simulator takes the panel's state.
    for (int i = 0; i < kECPSwitches; ++i)
        binding[i].SetFly((switches >> i) & 1 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
    binding[CONTROL_COWL_FLAPS].SetFly(cowlFlaps != 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF,
                                       0, 0);
    binding[CONTROL_GEAR].SetFly(gear == 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
    if (position == SELECTOR_START)
        binding[CONTROL_START].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    else if (ValidSelector(position)) // a failed read gives no position to push
        binding[CONTROL_GEAR + position].SetFly(Fly_subsystem::ACTION_POSITION, position - 1, 1);
    if (wingFlaps == 1)
        binding[CONTROL_WING_FLAPS].SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
    else if (wingFlaps == 2)
        binding[CONTROL_WING_FLAPS].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
}

int QDECP_Module::GetButton(const void* data, int* value) {
    const auto* vals = static_cast<const QDECPControlVals*>(data);
    if (DRAV_DebugGetButton()) {
        DRAV_LogControlState("QDECP_Module::GetButton - Selector", vals->position);
        DRAV_LogControlState("QDECP_Module::GetButton - GearState", vals->a);
        DRAV_LogControlState("QDECP_Module::GetButton - WingFlapsState", vals->b);
        DRAV_LogControlState("QDECP_Module::GetButton - CowlFlapsState", vals->c);
        DRAV_LogControlState("QDECP_Module::GetButton - SwitchState", vals->switches);
    }
    const uint16_t switches = vals->switches;
    for (int bit = 0; bit < kECPSwitches; ++bit) {
        const uint16_t mask = static_cast<uint16_t>(1u << bit);
        if ((switches & mask) != (lastButtons & mask)) {
            lastButtons = static_cast<uint16_t>(lastButtons ^ mask);
            *value = (switches & mask) ? 1 : 0;
            return bit;
        }
    }
    if ((vals->c != 0) != (lastCowlFlaps != 0)) {
        lastCowlFlaps = vals->c;
        *value = vals->c != 0 ? 1 : 0;
        return CONTROL_COWL_FLAPS;
    }
    if ((vals->a != 0) != (lastGear != 0)) {
        lastGear = vals->a;
        *value = vals->a != 0 ? 1 : 0;
        return CONTROL_GEAR;
    }
    const int position = vals->position;
    if (position == lastSelector || !ValidSelector(position)) {
        // The wing-flaps switch is momentary: it steps while held, once per report.
        if ((vals->b == 1 || vals->b == 2) && !FirstInReport(0)) return -1;
        if (vals->b == 1) return *value = -1, CONTROL_WING_FLAPS;
        if (vals->b == 2) return *value = 1, CONTROL_WING_FLAPS;
        return -1;
    }
    const int previous = lastSelector;
    lastSelector = static_cast<unsigned char>(position);
    if (previous == SELECTOR_BOTH && position == SELECTOR_START) return *value = 1, CONTROL_START;
    if (previous == SELECTOR_START && position == SELECTOR_BOTH) return *value = 0, CONTROL_START;
    *value = position - 1;
    return CONTROL_GEAR + position;
}

void QDECP_Module::Clear() {
    DRAV_StoreInputState([&] {
        lastSelector = 0;
        lastGear = 0;
        lastWingFlaps = 0;
        lastCowlFlaps = 0;
        lastButtons = 0;
    });
}

DRAV_HOT void QDECP_Module::HandleInput(int control, int value) {
    if (DRAV_DebugHandleInput())
        LogControlValue("QDECP_Module::HandleInput -  ControlID = %d, Value = %d", control, value);
    if (control < 0 || control >= kKeys) return;
    Fly_subsystem& b = binding[control];
    if (control == CONTROL_GEAR) {
        // Gear byte set means gear up.
        b.SetFly(value == 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
    } else if (control >= CONTROL_MAGNETO_OFF && control <= CONTROL_MAGNETO_BOTH) {
        // Leaving START for anything but BOTH must not leave the starter engaged.
        if (binding[CONTROL_START].GetOnOff() != 0)
            binding[CONTROL_START].SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
        b.SetFly(Fly_subsystem::ACTION_POSITION, value, 1);
    } else if (control == CONTROL_WING_FLAPS) {
        for (int i = value; i < 0; ++i)
            b.SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
        for (int i = 0; i < value; ++i)
            b.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    } else {
        b.SetFly(value != 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
    }
}

void QDECP_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    const int index = ControlKey(key, kKeys);
    if (index >= 0) BindSwitch(binding[index], function, targetUnit, targetKind);
}

E_UnitType QDECP_Module::GetFunction(char key) {
    const int index = ControlKey(key, kKeys);
    return index >= 0 ? binding[index].GetUnitType() : NADA;
}

// ---- QD-SSM --------------------------------------------------------------------------------------

void QDSSM_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    unsigned char now[3] = {};
    QDSSM_GetControlVals(unit, &now[0], &now[1], &now[2]);
    DRAV_StoreInputState([&] {
        for (int i = 0; i < 3; ++i)
            lastSelectors[i] = now[i];
    });
    if (DRAV_DebugRegister()) {
        DRAV_LogControlState("QDSSM_Module::Register - Selector1", lastSelectors[0]);
        DRAV_LogControlState("QDSSM_Module::Register - Selector2", lastSelectors[1]);
        DRAV_LogControlState("QDSSM_Module::Register - Selector3", lastSelectors[2]);
    }
    mixtureRef = XPLMFindDataRef("sim/flightmodel/engine/ENGN_mixt");
}

int QDSSM_Module::GetButton(const void* data, int* value) {
    const auto* vals = static_cast<const QDSSMControlVals*>(data);
    if (DRAV_DebugGetButton()) {
        DRAV_LogControlState("QDSSM_Module::GetButton - Selector1", vals->sel1);
        DRAV_LogControlState("QDSSM_Module::GetButton - Selector2", vals->sel2);
        DRAV_LogControlState("QDSSM_Module::GetButton - Selector3", vals->sel3);
    }
    int control = StartSelectorChange(vals->sel1, lastSelectors[0], 0, value);
    if (control >= 0) return control;
    if (vals->sel2 != lastSelectors[1]) {
        lastSelectors[1] = vals->sel2;
        *value = 1;
        return 10 + vals->sel2; // 11 right, 12 both, 13 left
    }
    return StartSelectorChange(vals->sel3, lastSelectors[2], 7, value);
}

void QDSSM_Module::Clear() {
    DRAV_StoreInputState([&] { lastSelectors[0] = lastSelectors[1] = lastSelectors[2] = 0; });
}

void QDSSM_Module::StartEngine(int engine, int value) {
    if (value == 1) {
        CommandOnce(SSMCommandOnRefs[SSM_IGNITION_1 + engine]);
        CommandBegin(SSMCommandOnRefs[SSM_STARTER_1 + engine]);
        // The engine needs fuel to catch: full rich on the starting engine.
        if (mixtureRef != nullptr) {
            float mixture[kEngines] = {};
            DRAV_ReadFloats(mixtureRef, mixture, 0, kEngines);
            mixture[engine] = 1.0f;
            XPLMSetDatavf(mixtureRef, mixture, 0, kEngines);
        }
    } else if (value == 0) {
        CommandOnce(SSMCommandOffRefs[SSM_IGNITION_1 + engine]);
        CommandEnd(SSMCommandOffRefs[SSM_STARTER_1 + engine]);
    }
}

DRAV_HOT void QDSSM_Module::HandleInput(int control, int value) {
    if (DRAV_DebugHandleInput())
        LogControlValue("QDSSM_Module::HandleInput -  ControlID = %d, Value = %d", control, value);
    switch (control) {
    case 0:
    case 7:
        StartEngine(control == 0 ? 0 : 1, value);
        break;
    case 1:
    case 8: {
        const int entry = SSM_IGNITION_1 + (control == 1 ? 0 : 1);
        if (value == 1)
            CommandOnce(SSMCommandOnRefs[entry]);
        else if (value == 0)
            CommandOnce(SSMCommandOffRefs[entry]);
        break;
    }
    case 2:
    case 9:
        CommandOnce(SSMCommandOnRefs[SSM_IGNITION_1 + (control == 2 ? 0 : 1)]);
        break;
    case 11:
    case 12:
    case 13: {
        if (value != 1) break;
        static const int first[3] = {SSM_MAGNETO_RIGHT_1, SSM_MAGNETO_BOTH_1, SSM_MAGNETO_LEFT_1};
        const int entry = first[control - 11];
        CommandOnce(SSMCommandOnRefs[entry]);
        CommandOnce(SSMCommandOnRefs[entry + 1]);
        break;
    }
    default:
        break;
    }
}

void QDSSM_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    const int index = ControlKey(key, kBindings);
    if (index >= 0) BindSwitch(binding[index], function, targetUnit, targetKind);
}

E_UnitType QDSSM_Module::GetFunction(char key) {
    const int index = ControlKey(key, kBindings);
    return index >= 0 ? binding[index].GetUnitType() : NADA;
}
