#include "fly_subsystem.h"

#include "XPLMUtilities.h"
#include "core/hot_path.h"
#include "sim_watch.h"

namespace {

AvionicsUnitLookup g_avionicsUnitLookup = nullptr;

AvionicsUnit* FindTargetUnit(int targetKind, int targetUnit) {
    if (targetKind < TARGET_QDAVX || targetKind > TARGET_QDRSX) return nullptr;
    if (g_avionicsUnitLookup == nullptr) return nullptr;
    return g_avionicsUnitLookup(targetKind, targetUnit);
}

bool IsRadio2(E_UnitType toggle, E_UnitType shown) {
    if (toggle == NAV1_NAV2_TOGGLE)
        return shown == NAV2_DUAL || shown == NAV2_ACTIVE || shown == NAV2_STANDBY;
    return shown == COM2_DUAL || shown == COM2_ACTIVE || shown == COM2_STANDBY;
}

// The same value on the other radio; NADA when the shown value has no partner. The dual
// forms exist only on the radio stack.
E_UnitType RadioPartner(E_UnitType toggle, E_UnitType shown, bool radioStack) {
    if (toggle == COM1_COM2_TOGGLE) {
        switch (shown) {
        case COM1_ACTIVE:
            return COM2_ACTIVE;
        case COM2_ACTIVE:
            return COM1_ACTIVE;
        case COM1_STANDBY:
            return COM2_STANDBY;
        case COM2_STANDBY:
            return COM1_STANDBY;
        case COM1_DUAL:
            return radioStack ? COM2_DUAL : NADA;
        case COM2_DUAL:
            return radioStack ? COM1_DUAL : NADA;
        default:
            return NADA;
        }
    }
    switch (shown) {
    case NAV1_ACTIVE:
        return NAV2_ACTIVE;
    case NAV2_ACTIVE:
        return NAV1_ACTIVE;
    case NAV1_STANDBY:
        return NAV2_STANDBY;
    case NAV2_STANDBY:
        return NAV1_STANDBY;
    case NAV1_DUAL:
        return radioStack ? NAV2_DUAL : NADA;
    case NAV2_DUAL:
        return radioStack ? NAV1_DUAL : NADA;
    default:
        return NADA;
    }
}

int ClampInt(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace

void DRAV_SetAvionicsUnitLookup(AvionicsUnitLookup lookup) {
    g_avionicsUnitLookup = lookup;
}

// ---------------------------------------------------------------------------------------
// DATAREF_SWITCH

XPLMDataRef DATAREF_SWITCH::Register(float on, float off, float compare, const char* dataRefName, int type,
                                     int offset, int count) {
    onValue = on;
    offValue = off;
    compareMode = compare;
    dataType = type;
    arrayOffset = offset < 0 ? 0 : offset;
    arrayCount = ClampInt(count, 0, kMaxArrayCount);
    for (int i = 0; i < kMaxArrayCount; ++i) {
        floatBuffer[i] = 0.0f;
        intBuffer[i] = 0;
    }
    dataRef = (dataRefName != nullptr && dataRefName[0] != '\0') ? XPLMFindDataRef(dataRefName) : nullptr;
    return dataRef;
}

DRAV_HOT int DATAREF_SWITCH::GetSim() {
    if (dataRef == nullptr) return 0;
    float value = 0.0f;
    switch (dataType) {
    case TYPE_INT:
        value = static_cast<float>(DRAV_ReadInt(dataRef));
        break;
    case TYPE_FLOAT:
        value = DRAV_ReadFloat(dataRef);
        break;
    case TYPE_INT_ARRAY:
        if (arrayCount > 0) DRAV_ReadInts(dataRef, intBuffer, arrayOffset, arrayCount);
        value = static_cast<float>(intBuffer[0]);
        break;
    case TYPE_FLOAT_ARRAY:
        if (arrayCount > 0) DRAV_ReadFloats(dataRef, floatBuffer, arrayOffset, arrayCount);
        value = floatBuffer[0];
        break;
    default:
        break;
    }
    bool on;
    if (compareMode == 2.0f)
        on = value >= onValue;
    else if (compareMode == 1.0f)
        on = value > onValue;
    else
        on = value == onValue;
    state = on ? 1 : 0;
    return state;
}

void DATAREF_SWITCH::SetSim(int force) {
    if (dataRef == nullptr) return;
    const float value = (force != 0 || state == 1) ? onValue : offValue;
    switch (dataType) {
    case TYPE_INT:
        XPLMSetDatai(dataRef, static_cast<int>(value));
        break;
    case TYPE_FLOAT:
        XPLMSetDataf(dataRef, value);
        break;
    case TYPE_INT_ARRAY:
        if (arrayCount <= 0) break;
        for (int i = 0; i < arrayCount; ++i)
            intBuffer[i] = static_cast<int>(value);
        XPLMSetDatavi(dataRef, intBuffer, arrayOffset, arrayCount);
        break;
    case TYPE_FLOAT_ARRAY:
        if (arrayCount <= 0) break;
        for (int i = 0; i < arrayCount; ++i)
            floatBuffer[i] = value;
        XPLMSetDatavf(dataRef, floatBuffer, arrayOffset, arrayCount);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------
// Fly_subsystem registration

void Fly_subsystem::BeginRegistration(E_UnitType function) {
    operational = 1;
    multiOption = 0;
    unitType = function;
    // Release and hold behaviour belongs to the command forms that ask for it; a control
    // reassigned from an engine starter must not keep its button held.
    momentary = 0;
    hold = 0;
}

void Fly_subsystem::Register_D(E_UnitType function, int offValue, int onValue, int compareMode,
                               const char* dataRefName, int dataType, int arrayOffset, int arrayCount) {
    Register_DF(function, static_cast<float>(offValue), static_cast<float>(onValue), compareMode, dataRefName,
                dataType, arrayOffset, arrayCount);
}

void Fly_subsystem::Register_DF(E_UnitType function, float offValue, float onValue, int compareMode,
                                const char* dataRefName, int dataType, int arrayOffset, int arrayCount) {
    BeginRegistration(function);
    kind = KIND_DATAREF;
    switchCount = 1;
    switches[0].Register(onValue, offValue, static_cast<float>(compareMode), dataRefName, dataType,
                         arrayOffset, arrayCount);
    GetFly();
}

void Fly_subsystem::Register_D2(E_UnitType function, int onValue1, int compareMode1, const char* dataRefName1,
                                int onValue2, int compareMode2, const char* dataRefName2) {
    BeginRegistration(function);
    kind = KIND_DATAREF;
    switchCount = 2;
    switches[0].Register(static_cast<float>(onValue1), 0.0f, static_cast<float>(compareMode1), dataRefName1,
                         DATAREF_SWITCH::TYPE_INT, 0, 1);
    switches[1].Register(static_cast<float>(onValue2), 0.0f, static_cast<float>(compareMode2), dataRefName2,
                         DATAREF_SWITCH::TYPE_INT, 0, 1);
    GetFly();
}

void Fly_subsystem::Register_DG(E_UnitType function, int count) {
    BeginRegistration(function);
    kind = KIND_DATAREF;
    switchCount = ClampInt(count, 0, 2);
    GetFly();
}

void Fly_subsystem::Register_C(E_UnitType function, int type, int identifier, int isMomentary) {
    BeginRegistration(function);
    kind = KIND_COMMAND;
    commandType = type;
    commandPair = 0;
    if (type == COMMAND_KEY) keyIds[0] = identifier;
    if (type == COMMAND_BUTTON) buttonIds[0] = identifier;
    momentary = isMomentary;
    GetFly();
}

void Fly_subsystem::Register_C2(E_UnitType function, int type, int identifierOff, int identifierOn,
                                int isMomentary) {
    BeginRegistration(function);
    kind = KIND_COMMAND;
    commandType = type;
    commandPair = 1;
    if (type == COMMAND_KEY) {
        keyIds[0] = identifierOff;
        keyIds[1] = identifierOn;
    }
    if (type == COMMAND_BUTTON) {
        buttonIds[0] = identifierOff;
        buttonIds[1] = identifierOn;
    }
    momentary = isMomentary;
    GetFly();
}

void Fly_subsystem::Register_CD(E_UnitType function, int buttonIdentifier) {
    BeginRegistration(function);
    kind = KIND_COMMAND;
    commandType = COMMAND_BUTTON;
    commandPair = 0;
    buttonIds[0] = buttonIdentifier;
    momentary = 0;
    hold = 1;
    state = 0;
}

void Fly_subsystem::Register_AF(E_UnitType function, int unit, int unitKind) {
    BeginRegistration(function);
    kind = KIND_MODULE_FUNCTION;
    targetFunction = function;
    targetUnit = unit;
    targetKind = unitKind;
    GetFly();
}

// ---------------------------------------------------------------------------------------
// Fly_subsystem operation

float Fly_subsystem::GetFloatArrayValue(int i) const {
    if (i < 0 || i >= switches[0].arrayCount) return 0.0f;
    return switches[0].floatBuffer[i];
}

namespace {

// What a target unit shows (-1: no such unit), as the refresh after an input polls it: kind and
// unit index in one argument.
DRAV_HOT int TargetShown(int target) {
    AvionicsUnit* unit = FindTargetUnit(target >> 8, target & 0xff);
    return unit != nullptr ? static_cast<int>(unit->GetAvionicType()) : -1;
}

} // namespace

DRAV_HOT void Fly_subsystem::GetTargetState() {
    if (targetKind < TARGET_QDAVX || targetKind > TARGET_QDRSX || targetUnit < 0 || targetUnit > 0xff) return;
    // Another unit's page changes with that unit's inputs: watched as a value of its own.
    const int target = (targetKind << 8) | targetUnit;
    const int shownValue = TargetShown(target);
    DRAV_NoteComputed(TargetShown, target, shownValue);
    if (shownValue < 0) return;
    const auto shown = static_cast<E_UnitType>(shownValue);
    // A radio toggle lights while the unit shows radio 2, whatever the model: the avionics
    // pages never hold the toggle function itself.
    if (targetFunction == NAV1_NAV2_TOGGLE || targetFunction == COM1_COM2_TOGGLE)
        state = IsRadio2(targetFunction, shown) ? 1 : 0;
    else
        state = (shown == targetFunction) ? 1 : 0;
}

DRAV_HOT void Fly_subsystem::GetFly() {
    if (unitType == NADA) return;
    if (kind == KIND_MODULE_FUNCTION) {
        GetTargetState();
        return;
    }
    if (kind < KIND_DATAREF && multiOption != 1) return;
    if (operational == 0) return;
    const int count = switchCount < 2 ? switchCount : 2;
    // Nothing to read: the state stays what the last event made it.
    bool anyDataRef = false;
    for (int i = 0; i < count; ++i)
        anyDataRef = anyDataRef || switches[i].dataRef != nullptr;
    if (count > 0 && !anyDataRef) return;
    state = 1;
    for (int i = 0; i < count; ++i) {
        if (switches[i].GetSim() != 1) {
            state = 0;
            break;
        }
    }
}

void Fly_subsystem::SetTargetFunction() {
    AvionicsUnit* unit = FindTargetUnit(targetKind, targetUnit);
    if (unit == nullptr) return;
    if (targetFunction == COM1_COM2_TOGGLE || targetFunction == NAV1_NAV2_TOGGLE) {
        const E_UnitType partner =
            RadioPartner(targetFunction, unit->GetAvionicType(), targetKind == TARGET_QDRSX);
        if (partner != NADA) unit->AssignAvionic(partner);
    } else {
        unit->AssignAvionic(targetFunction);
    }
    unit->SetDisplay();
}

void Fly_subsystem::SetFly(int action, int value, int force) {
    if (unitType == NADA || operational == 0) return;

    if (kind == KIND_MODULE_FUNCTION) {
        if (action == ACTION_RELEASE) return;
    } else {
        switch (action) {
        case ACTION_ON:
            state = 1;
            break;
        case ACTION_PRESS:
            state = 1 - state;
            break;
        case ACTION_OFF:
            state = 0;
            break;
        case ACTION_RELEASE:
            if (momentary != 1 && hold != 1) return;
            state = 0;
            break;
        case ACTION_POSITION:
            state = value;
            break;
        default:
            break;
        }
    }

    const int pick = (state == 0) ? 0 : 1;
    switch (kind) {
    case KIND_COMMAND:
        if (commandType == COMMAND_KEY) {
            XPLMCommandKeyStroke(commandPair == 1 ? keyIds[pick] : keyIds[0]);
        } else if (commandType == COMMAND_BUTTON) {
            if (commandPair == 1) {
                XPLMCommandButtonPress(buttonIds[pick]);
                XPLMCommandButtonRelease(buttonIds[pick]);
            } else if (hold != 1) {
                XPLMCommandButtonPress(buttonIds[0]);
                XPLMCommandButtonRelease(buttonIds[0]);
            } else if (state != 0) {
                XPLMCommandButtonPress(buttonIds[0]);
            } else {
                XPLMCommandButtonRelease(buttonIds[0]);
            }
        }
        break;
    case KIND_DATAREF:
        for (int i = 0; i < switchCount && i < 2; ++i) {
            switches[i].state = state;
            switches[i].SetSim(force);
        }
        break;
    case KIND_MODULE_FUNCTION:
        SetTargetFunction();
        break;
    default:
        break;
    }
}
