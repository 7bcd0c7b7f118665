// Switch bindings: the link between one on/off state of a unit's control or lamp and the
// simulator (dataref comparisons, key and button commands, or a value shown on another
// avionics unit), and the two value lists behind FUNC_INST and FUNC_AP.
#pragma once

#include "XPLMDataAccess.h"
#include "catalogue.h"

class Avionic;

// One dataref (or slice of a dataref array) and the values that mean on and off.
// The scratch values of array reads and writes live inside the switch, so a binding owns no
// heap memory and stays cheap to copy.
class DATAREF_SWITCH {
  public:
    // Longest array slice a switch handles (the landing lights, 16 elements); longer
    // registrations are cut to this length.
    static constexpr int kMaxArrayCount = 16;

    enum DataType { TYPE_INT = 0, TYPE_FLOAT = 1, TYPE_INT_ARRAY = 2, TYPE_FLOAT_ARRAY = 3 };
    enum CompareMode { COMPARE_EQUAL = 0, COMPARE_GREATER = 1, COMPARE_AT_LEAST = 2 };

    // Stores the fields and looks the dataref up; returns the handle (null when not found).
    XPLMDataRef Register(float onValue, float offValue, float compareMode, const char* dataRefName,
                         int dataType, int arrayOffset, int arrayCount);
    // Reads the dataref, compares it with onValue and stores and returns the state.
    // Without a dataref: 0, and the stored state is left alone.
    int GetSim();
    // Writes onValue when force is non-zero or state is 1, else offValue.
    void SetSim(int force);

    // What a read looks at first, ahead of the array scratch space (the refresh after every
    // input reads every binding: fewer cache lines each).
    XPLMDataRef dataRef = nullptr;
    int state = 0;
    int dataType = TYPE_INT;
    float onValue = 0.0f;
    float offValue = 0.0f;
    float compareMode = 0.0f;
    int arrayOffset = 0;
    int arrayCount = 0;
    float floatBuffer[kMaxArrayCount] = {};
    int intBuffer[kMaxArrayCount] = {};
};

// The avionics units a module-function binding drives: 0 QD-AVX, 1 QD-AVY, 2 QD-RSX.
enum { TARGET_QDAVX = 0, TARGET_QDAVY = 1, TARGET_QDRSX = 2 };

// What a module-function binding needs from a target avionics unit. The unit registry hands
// these out through the lookup below; the module base class can implement it directly.
class AvionicsUnit {
  public:
    virtual E_UnitType GetAvionicType() = 0;             // the value shown now, 0 if none
    virtual void AssignAvionic(E_UnitType function) = 0; // show and tune that value
    virtual void SetDisplay() = 0;                       // redraw the unit

  protected:
    virtual ~AvionicsUnit() = default;
};

// Finds an attached avionics unit by target kind and unit index; nullptr when there is none.
using AvionicsUnitLookup = AvionicsUnit* (*)(int targetKind, int targetUnit);
// Installs the registry's lookup; nullptr restores the default, which finds no unit.
void DRAV_SetAvionicsUnitLookup(AvionicsUnitLookup lookup);

// One switch-function binding, held by value inside module objects.
class Fly_subsystem {
  public:
    enum { KIND_MODULE_FUNCTION = 1, KIND_COMMAND = 2, KIND_DATAREF = 3 };
    enum { COMMAND_KEY = 0, COMMAND_BUTTON = 1 };
    // Control events passed to SetFly.
    enum { ACTION_OFF = 0, ACTION_ON = 1, ACTION_PRESS = 2, ACTION_RELEASE = 3, ACTION_POSITION = 4 };

    // Dataref switch on one value or array slice (values as integers).
    void Register_D(E_UnitType function, int offValue, int onValue, int compareMode, const char* dataRefName,
                    int dataType, int arrayOffset, int arrayCount);
    // The same with float values.
    void Register_DF(E_UnitType function, float offValue, float onValue, int compareMode,
                     const char* dataRefName, int dataType, int arrayOffset, int arrayCount);
    // Two int switches that must both be on; each writes its on value or 0.
    void Register_D2(E_UnitType function, int onValue1, int compareMode1, const char* dataRefName1,
                     int onValue2, int compareMode2, const char* dataRefName2);
    // Dataref binding with `count` switches the caller registers itself.
    void Register_DG(E_UnitType function, int count);
    // One key (type 0) or button (type 1) command.
    void Register_C(E_UnitType function, int commandType, int identifier, int momentary);
    // Two commands; the state (0 or 1) picks one.
    void Register_C2(E_UnitType function, int commandType, int identifierOff, int identifierOn,
                     int momentary);
    // A button command held pressed while the state is on. Does not read back.
    void Register_CD(E_UnitType function, int buttonIdentifier);
    // Makes a target avionics unit show `function`.
    void Register_AF(E_UnitType function, int targetUnit, int targetKind);

    // Refreshes state from the simulator (or from the target unit).
    void GetFly();
    // Acts on one control event: action 0/1 switch, 2 press (toggle), 3 release, 4 position
    // `value` with the force flag.
    void SetFly(int action, int value, int force);

    int GetOnOff() const { return state; }
    E_UnitType GetUnitType() const { return unitType; }
    void SetOperational(int on) { operational = on; }
    void SetMultioption(int on) { multiOption = on; }
    // Element i of the first switch's float values as last read; 0 outside the slice.
    float GetFloatArrayValue(int i) const;

    // What GetFly looks at first, then the first switch's read fields right behind.
    E_UnitType unitType = NADA;
    int kind = 0;
    int operational = 0;
    int multiOption = 0;
    int switchCount = 0;
    int state = 0;
    int momentary = 0;
    int hold = 0;
    E_UnitType targetFunction = NADA;
    int targetKind = 0;
    int targetUnit = 0;
    int commandType = 0;
    int commandPair = 0;
    int keyIds[2] = {};
    int buttonIds[2] = {};
    DATAREF_SWITCH switches[2];

  private:
    void BeginRegistration(E_UnitType function);
    void GetTargetState();
    void SetTargetFunction();
};
