#include "panels.h"

#include <cstdlib>
#include <cstring>

#include "core/hot_path.h"
#include "core/log.h"
#include "core/sdk_binding.h"
#include "devlib/include/qddev.h"
#include "simlink/avionic.h"
#include "simlink/custom_datarefs.h"

namespace {

// Key "1".."count" to binding index, -1 for any other key.
int DigitKeyIndex(char key, int count) {
    const int index = key - '1';
    return (index >= 0 && index < count) ? index : -1;
}

// One step of the bit scan shared by the push-button, toggle and annunciator panels: the lowest
// bit that differs from last is reported (1 now set, 0 now clear) and only that bit is stored.
int ScanBits(unsigned char now, unsigned char& last, int count, int* value) {
    for (int bit = 0; bit < count; ++bit) {
        const unsigned char mask = static_cast<unsigned char>(1u << bit);
        if ((now & mask) != 0 && (last & mask) == 0) {
            last = static_cast<unsigned char>(last | mask);
            *value = 1;
            return bit;
        }
        if ((now & mask) == 0 && (last & mask) != 0) {
            last = static_cast<unsigned char>(last & ~mask);
            *value = 0;
            return bit;
        }
    }
    return -1;
}

// Stores the control state read at registration; input may be arriving on the device thread.
void StorePrevious(unsigned char& previous, unsigned char now) {
    DRAV_StoreInputState([&] { previous = now; });
}

// Lamp bit i is lit when binding i reads "on".
unsigned char LampBits(const Fly_subsystem* bindings, int count) {
    unsigned char bits = 0;
    for (int i = 0; i < count; ++i)
        if (bindings[i].GetOnOff() == 1) bits = static_cast<unsigned char>(bits | (1u << i));
    return bits;
}

void RefreshBindings(Fly_subsystem* bindings, int count) {
    for (int i = 0; i < count; ++i)
        if (bindings[i].GetUnitType() != NADA) bindings[i].GetFly();
}

// Toggles bound to these functions read "on" when the simulator state is off (gear lever up,
// disconnect bar down).
bool InvertedSense(E_UnitType function) {
    return function == LANDING_GEAR || function == AP_DISENGAGE;
}

// The lamp byte for this pass, or 0 without avionics power.
unsigned char PoweredLamps(const Fly_subsystem* bindings, int count) {
    return avionics_ok(false) ? LampBits(bindings, count) : 0;
}

using SetIndicatorsFn = uint32_t (*)(int, unsigned char);

// Change-only lamp output shared by the three single-byte lamp panels.
void SendLamps(unsigned short unit, const Fly_subsystem* bindings, int count, unsigned char& lastLamps,
               SetIndicatorsFn send, const char* label) {
    const unsigned char lamps = PoweredLamps(bindings, count);
    if (lamps == lastLamps) return;
    send(unit, lamps);
    lastLamps = lamps;
    if (DRAV_DebugSetDisplay()) DRAV_LogControlState(label, lamps);
}

const char* const kColourNames[] = {"BLACK", "WHITE", "RED", "GREEN", "BLUE", "MAGENTA", "YELLOW", "CYAN"};
const char* const kSwitchTypeNames[] = {"BUTTON", "SWITCH2WAY", "SWITCH3WAY", "SELECTOR"};

// Index of an exact name match, 0 when none matches.
template <size_t N> int NameIndex(const char* const (&names)[N], const char* name) {
    if (name == nullptr) return 0;
    for (size_t i = 0; i < N; ++i)
        if (std::strcmp(names[i], name) == 0) return static_cast<int>(i);
    return 0;
}

} // namespace

// ---- QD-PBX ------------------------------------------------------------------------------------

void QDPBX_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    // Buttons held at start are not presses.
    // lastButtons belongs to the input thread: read the unit into a value of our own.
    unsigned char now = 0;
    if (QDPBX_GetSwitchVals(unit, &now) == 0) StorePrevious(lastButtons, now);
    if (DRAV_DebugRegister()) DRAV_LogControlState("QDPBX_Module::Register - PrevSwitchVals", now);
}

DRAV_HOT void QDPBX_Module::SetDisplay() {
    SendLamps(unit, binding, kButtons, lastLamps, QDPBX_SetIndicators,
              "QDPBX_Module::SetDisplay - Indicators");
}

int QDPBX_Module::GetButton(const void* data, int* value) {
    const unsigned char now = static_cast<const QDPBXControlVals*>(data)->switches;
    if (DRAV_DebugGetButton()) DRAV_LogControlState("QDPBX_Module::GetButton - BtnState", now);
    return ScanBits(now, lastButtons, kButtons, value);
}

void QDPBX_Module::Clear() {
    QDPBX_SetIndicators(unit, 0);
    lastLamps = 0;
}

DRAV_HOT void QDPBX_Module::HandleInput(int control, int value) {
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf("QDPBX_Module::HandleInput -  Button = %d, Value = %d", control, value);
    if (control < 0 || control >= kButtons) return;
    binding[control].SetFly(value != 0 ? Fly_subsystem::ACTION_PRESS : Fly_subsystem::ACTION_RELEASE, 0, 0);
}

DRAV_HOT void QDPBX_Module::Refresh() {
    RefreshBindings(binding, kButtons);
    SetDisplay();
}

void QDPBX_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    const int index = DigitKeyIndex(key, kButtons);
    if (index >= 0) BindSwitch(binding[index], function, targetUnit, targetKind);
}

E_UnitType QDPBX_Module::GetFunction(char key) {
    const int index = DigitKeyIndex(key, kButtons);
    return index >= 0 ? binding[index].GetUnitType() : NADA;
}

// ---- QD-TGX ------------------------------------------------------------------------------------

void QDTGX_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    // lastButtons belongs to the input thread: read the unit into a value of our own.
    unsigned char now = 0;
    if (QDTGX_GetSwitchVals(unit, &now) == 0)
        StorePrevious(lastButtons, now);
    else
        DRAV_StoreInputState([&] { now = lastButtons; });
    if (DRAV_DebugRegister()) DRAV_LogControlState("QDTGX_Module::Register - PrevSwitchVals", now);
    // Toggles latch: the simulator takes the positions they stand in now.
    for (int i = 0; i < kSwitches; ++i)
        PushSwitch(i, (now & (1u << i)) != 0);
}

void QDTGX_Module::PushSwitch(int index, bool on) {
    if (InvertedSense(binding[index].GetUnitType())) on = !on;
    binding[index].SetFly(on ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
}

DRAV_HOT void QDTGX_Module::SetDisplay() {
    SendLamps(unit, binding, kSwitches, lastLamps, QDTGX_SetIndicators,
              "QDTGX_Module::SetDisplay - Indicators");
}

int QDTGX_Module::GetButton(const void* data, int* value) {
    const unsigned char now = static_cast<const QDTGXControlVals*>(data)->switches;
    return ScanBits(now, lastButtons, kSwitches, value);
}

void QDTGX_Module::Clear() {
    QDTGX_SetIndicators(unit, 0);
    lastLamps = 0;
}

DRAV_HOT void QDTGX_Module::HandleInput(int control, int value) {
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf("QDTGX_Module::HandleInput -  Button = %d, Value = %d", control, value);
    if (control < 0 || control >= kSwitches) return;
    PushSwitch(control, value != 0);
}

DRAV_HOT void QDTGX_Module::Refresh() {
    RefreshBindings(binding, kSwitches);
    SetDisplay();
}

void QDTGX_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    const int index = DigitKeyIndex(key, kSwitches);
    if (index >= 0) BindSwitch(binding[index], function, targetUnit, targetKind);
}

E_UnitType QDTGX_Module::GetFunction(char key) {
    const int index = DigitKeyIndex(key, kSwitches);
    return index >= 0 ? binding[index].GetUnitType() : NADA;
}

// ---- QD-KNB ------------------------------------------------------------------------------------

void QDKNB_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    short enc[kDials] = {};
    // lastButtons belongs to the input thread: read the unit into a value of our own.
    unsigned char now = 0;
    if (QDKNB_GetControlVals(unit, &enc[0], &enc[1], &enc[2], &enc[3], &now) == 0)
        StorePrevious(lastButtons, now);
    if (DRAV_DebugRegister()) DRAV_LogControlState("QDKNB_Module::Register - PrevSwitchVals", now);
}

DRAV_HOT void QDKNB_Module::SetDisplay() {
    SendLamps(unit, binding, kButtons, lastLamps, QDKNB_SetIndicators,
              "QDKNB_Module::SetDisplay - Indicators");
}

int QDKNB_Module::GetButton(const void* data, int* value) {
    const auto* vals = static_cast<const QDKNBControlVals*>(data);
    if (DRAV_DebugGetButton())
        DRAV_WriteToLogf("QDKNB_Module::GetButton -  Dial A = %d, Dial B = %d, Dial C = %d, Dial D = %d",
                         vals->enc[0], vals->enc[1], vals->enc[2], vals->enc[3]);
    // Encoders first; their counts are reset by the device library, so nothing is stored.
    for (int i = 0; i < kDials; ++i) {
        if (vals->enc[i] != 0 && FirstInReport(i)) {
            *value = vals->enc[i];
            return kFirstDialControl + i;
        }
    }
    if (DRAV_DebugGetButton()) DRAV_LogControlState("QDKNB_Module::GetButton - BtnState", vals->switches);
    return ScanBits(vals->switches, lastButtons, kButtons, value);
}

void QDKNB_Module::Clear() {
    QDKNB_SetIndicators(unit, 0);
    lastLamps = 0;
}

DRAV_HOT void QDKNB_Module::HandleInput(int control, int value) {
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf("QDKNB_Module::HandleInput - Button = %d, Value = %d", control, value);
    if (control >= 0 && control < kButtons) {
        binding[control].SetFly(value != 0 ? Fly_subsystem::ACTION_PRESS : Fly_subsystem::ACTION_RELEASE, 0,
                                0);
        return;
    }
    const int dial = control - kFirstDialControl;
    if (dial < 0 || dial >= kDials || dials[dial] == nullptr) return;
    const short steps = static_cast<short>(g_QKNBReverseFix ? -value : value);
    dials[dial]->Tune(0, steps, QDHW_KNB);
}

DRAV_HOT void QDKNB_Module::Refresh() {
    RefreshBindings(binding, kButtons);
    SetDisplay();
}

void QDKNB_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    const int index = DigitKeyIndex(key, kButtons);
    if (index >= 0) {
        BindSwitch(binding[index], function, targetUnit, targetKind);
        return;
    }
    const int dial = key - 'A';
    if (dial >= 0 && dial < kDials) BindAvionic(&dials[dial], function);
}

E_UnitType QDKNB_Module::GetFunction(char key) {
    const int index = DigitKeyIndex(key, kButtons);
    if (index >= 0) return binding[index].GetUnitType();
    const int dial = key - 'A';
    if (dial >= 0 && dial < kDials && dials[dial] != nullptr) return dials[dial]->GetUnitType();
    return NADA;
}

// ---- QD-ANP ------------------------------------------------------------------------------------

int ColourNameToValue(const char* name) {
    return NameIndex(kColourNames, name);
}

void QDANP_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    // lastButtons belongs to the input thread: read the unit into a value of our own.
    unsigned char now = 0;
    if (QDANP_GetControlVals(unit, &now) == 0) StorePrevious(lastButtons, now);
}

void QDANP_Module::SendColours(unsigned char lit) {
    for (int n = 1; n <= kButtons; ++n) {
        const unsigned char colour = (lit & (1u << (n - 1))) != 0 ? colours[n - 1] : 0;
        QDANP_SetIndColorValue(unit, static_cast<unsigned char>(n), colour);
    }
}

DRAV_HOT void QDANP_Module::SetDisplay() {
    const unsigned char lamps = PoweredLamps(binding, kButtons);
    if (lamps == lastLamps) return;
    SendColours(lamps);
    lastLamps = lamps;
    if (DRAV_DebugSetDisplay()) DRAV_LogControlState("QDANP_Module::SetDisplay - Indicators", lamps);
}

int QDANP_Module::GetButton(const void* data, int* value) {
    const unsigned char now = static_cast<const QDANPControlVals*>(data)->buttons;
    return ScanBits(now, lastButtons, kButtons, value);
}

void QDANP_Module::Clear() {
    SendColours(0);
    lastLamps = 0;
}

DRAV_HOT void QDANP_Module::HandleInput(int control, int value) {
    if (control < 0 || control >= kButtons || value != 1) return;
    int command = -1;
    switch (binding[control].GetUnitType()) {
    case ANP_MASTER_WARNING:
        command = 0;
        break;
    case ANP_MASTER_CAUTION:
        command = 1;
        break;
    case ANP_MASTER_ACCEPT:
        command = 2;
        break;
    default:
        return;
    }
    if (ANPCommandOnceRefs[command] != nullptr && XPLMCommandOnce_ptr != nullptr)
        XPLMCommandOnce_ptr(ANPCommandOnceRefs[command]);
}

DRAV_HOT void QDANP_Module::Refresh() {
    RefreshBindings(binding, kButtons);
    SetDisplay();
}

void QDANP_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    const int index = DigitKeyIndex(key, kButtons);
    if (index >= 0) BindSwitch(binding[index], function, targetUnit, targetKind);
}

E_UnitType QDANP_Module::GetFunction(char key) {
    const int index = DigitKeyIndex(key, kButtons);
    return index >= 0 ? binding[index].GetUnitType() : NADA;
}

// ---- QD-IOB ------------------------------------------------------------------------------------

namespace {

// "01".."count" to index 0..count-1; -1 when out of range or absent.
int NumberIndex(const char* number, int count) {
    if (number == nullptr) return -1;
    const int index = std::atoi(number) - 1;
    return (index >= 0 && index < count) ? index : -1;
}

uint64_t BankBits(const unsigned char* bank) {
    uint64_t bits = 0;
    for (int i = 0; i < QDIOB_Module::kBankBytes; ++i)
        bits |= static_cast<uint64_t>(bank[i]) << (8 * i);
    return bits;
}

} // namespace

int QDIOB_Module::SwitchTypeNameToValue(const char* name) {
    return NameIndex(kSwitchTypeNames, name);
}

void QDIOB_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    unsigned char bank[kBankBytes] = {};
    QDIOB_GetSwitchVals(unit, bank);
    {
        std::lock_guard<std::mutex> lock(DRAV_InputStateMutex());
        std::memcpy(lastBank, bank, sizeof lastBank);
        lastInputs = BankBits(lastBank);
    }
    if (DRAV_DebugRegister()) DRAV_LogControlState64("QDIOB_Module::Register - PrevSwitchBank", lastInputs);
}

void QDIOB_Module::SendOutputs(uint32_t bits) {
    QDIOB_SetIndicators(
        unit, static_cast<unsigned char>(bits & 0xFF), static_cast<unsigned char>((bits >> 8) & 0xFF),
        static_cast<unsigned char>((bits >> 16) & 0xFF), static_cast<unsigned char>(bits >> 24));
}

DRAV_HOT void QDIOB_Module::SetDisplay() {
    const uint32_t bits = avionics_ok(false) ? static_cast<uint32_t>(DRAV_BoundOn(outputs, boundOutputs)) : 0;
    if (bits == lastOutputs) return;
    SendOutputs(bits);
    lastOutputs = bits;
    if (DRAV_DebugSetDisplay()) DRAV_LogControlState64("QDIOB_Module::SetDisplay - Indicators", bits);
}

int QDIOB_Module::GetButton(const void* data, int* value) {
    return GetInputButton(data, value);
}

int QDIOB_Module::GetInputButton(const void* data, int* value) {
    *value = 0;
    const uint64_t now = BankBits(static_cast<const QDIOBControlVals*>(data)->inputs);
    if (DRAV_DebugGetButton()) {
        DRAV_LogControlState64("QDIOB_Module::GetButton - PrevSwitchBank", lastInputs);
        DRAV_LogControlState64("QDIOB_Module::GetButton - BtnState", now);
    }
    const uint64_t changed = now ^ lastInputs;
    if (changed == 0) return -1;
    uint64_t selectorOpenings = 0;
    for (int i = 0; i < kInputs; ++i) {
        const uint64_t mask = uint64_t{1} << i;
        if ((changed & mask) == 0) continue;
        const bool closed = (now & mask) != 0;
        if (switchTypes[i] == SELECTOR && !closed) {
            // Leaving a position says nothing; the next position's closing does.
            selectorOpenings |= mask;
            continue;
        }
        *value = (switchTypes[i] == SELECTOR) ? 0 : (closed ? 1 : 0);
        // Only this input is taken: the others that changed are reported by the next calls.
        lastInputs = (lastInputs & ~mask) | (now & mask);
        return i;
    }
    // Only selector positions opened: remember it, so returning to the same position later is
    // seen as a closing again.
    lastInputs &= ~selectorOpenings;
    return -1;
}

void QDIOB_Module::Clear() {
    SendOutputs(0);
    lastOutputs = 0;
}

DRAV_HOT void QDIOB_Module::HandleInput(int control, int value) {
    if (control < 0 || control >= kInputs) return;
    const int type = switchTypes[control];
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf(
            "QDIOB_Module::HandleInput - SwitchType = %d, UnitType = %d, Button = %d, Value = %d", type,
            static_cast<int>(inputs[control].GetUnitType()), control, value);
    switch (type) {
    case BUTTON:
        inputs[control].SetFly(value != 0 ? Fly_subsystem::ACTION_PRESS : Fly_subsystem::ACTION_RELEASE, 0,
                               0);
        break;
    case SWITCH2WAY:
        inputs[control].SetFly(value != 0 ? Fly_subsystem::ACTION_ON : Fly_subsystem::ACTION_OFF, 0, 0);
        break;
    case SWITCH3WAY:
        if (value != 0)
            inputs[control].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
        else
            offStates[control].SetFly(Fly_subsystem::ACTION_ON, 0, 0);
        break;
    case SELECTOR:
        inputs[control].SetFly(Fly_subsystem::ACTION_POSITION, control, 1);
        break;
    default:
        break;
    }
}

DRAV_HOT void QDIOB_Module::Refresh() {
    DRAV_RefreshBound(outputs, boundOutputs);
    SetDisplay();
}

void QDIOB_Module::AssignFunction(char, E_UnitType, int, int) {}

E_UnitType QDIOB_Module::GetFunction(char) {
    return NADA;
}

void QDIOB_Module::AssignInputFunction(const char* number, E_UnitType function, int targetUnit,
                                       int targetKind) {
    const int index = NumberIndex(number, kInputs);
    if (index >= 0) BindSwitch(inputs[index], function, targetUnit, targetKind);
}

E_UnitType QDIOB_Module::GetInputFunction(const char* number) {
    const int index = NumberIndex(number, kInputs);
    return index >= 0 ? inputs[index].GetUnitType() : NADA;
}

void QDIOB_Module::AssignOffStateFunction(const char* number, E_UnitType function, int targetUnit,
                                          int targetKind) {
    const int index = NumberIndex(number, kInputs);
    if (index >= 0) BindSwitch(offStates[index], function, targetUnit, targetKind);
}

E_UnitType QDIOB_Module::GetOffStateFunction(const char* number) {
    const int index = NumberIndex(number, kInputs);
    return index >= 0 ? offStates[index].GetUnitType() : NADA;
}

void QDIOB_Module::AssignOutputFunction(const char* number, E_UnitType function, int targetUnit,
                                        int targetKind) {
    const int index = NumberIndex(number, kOutputs);
    if (index < 0) return;
    BindSwitch(outputs[index], function, targetUnit, targetKind);
    boundOutputs = DRAV_BoundMask(outputs);
}

E_UnitType QDIOB_Module::GetOutputFunction(const char* number) {
    const int index = NumberIndex(number, kOutputs);
    return index >= 0 ? outputs[index].GetUnitType() : NADA;
}

void QDIOB_Module::SetSwitchType(int index, int type) {
    if (index < 0 || index >= kInputs || type < BUTTON || type > SELECTOR) return;
    switchTypes[index] = static_cast<unsigned char>(type);
}
