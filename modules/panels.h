// Button, toggle, knob, annunciator and digital I/O panels: contacts bound to switch functions,
// one lamp per contact showing the bound simulator state.
#pragma once

#include <cstdint>

#include "module_base.h"

// QD-PBX: 8 push buttons with 8 lamps.
class QDPBX_Module : public QD_Abstract_Module {
  public:
    static constexpr int kButtons = 8;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    Fly_subsystem binding[kButtons];
    unsigned char lastButtons = 0;
    unsigned char lastLamps = 0;
};

// QD-TGX: 8 toggle switches with 8 lamps. The switches latch, so registration pushes their
// positions into the simulator.
class QDTGX_Module : public QD_Abstract_Module {
  public:
    static constexpr int kSwitches = 8;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    Fly_subsystem binding[kSwitches];
    unsigned char lastButtons = 0;
    unsigned char lastLamps = 0;

  private:
    void PushSwitch(int index, bool on);
};

// QD-KNB: 8 push buttons with lamps (controls 0 to 7) and 4 encoders tuning values (8 to 11).
class QDKNB_Module : public QD_Abstract_Module {
  public:
    static constexpr int kButtons = 8;
    static constexpr int kDials = 4;
    static constexpr int kFirstDialControl = 8;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    Fly_subsystem binding[kButtons];
    Avionic* dials[kDials] = {};
    unsigned char lastButtons = 0;
    unsigned char lastLamps = 0;
};

// QD-ANP colour numbers, in order: "BLACK" (0) to "CYAN" (7).
int ColourNameToValue(const char* name);

// QD-ANP: 6 buttons and 6 colour indicators.
class QDANP_Module : public QD_Abstract_Module {
  public:
    static constexpr int kButtons = 6;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    Fly_subsystem binding[kButtons];
    unsigned char lastButtons = 0;
    unsigned char lastLamps = 0;
    unsigned char colours[kButtons] = {};

  private:
    void SendColours(unsigned char lit);
};

// QD-IOB: 56 inputs of configurable type and 32 outputs.
class QDIOB_Module : public QD_Abstract_Module {
  public:
    static constexpr int kInputs = 56;
    static constexpr int kOutputs = 32;
    static constexpr int kBankBytes = 7;
    enum SwitchType { BUTTON = 0, SWITCH2WAY = 1, SWITCH3WAY = 2, SELECTOR = 3 };

    // Input type names, in order: "BUTTON", "SWITCH2WAY", "SWITCH3WAY", "SELECTOR"; 0 if none.
    static int SwitchTypeNameToValue(const char* name);

    void Register(unsigned short unit_index) override;
    void SetDisplay() override;
    // The board reports through GetInputButton; this forwards there so a generic caller gets the
    // same answer.
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    // The board's inputs and outputs are numbered, not keyed: these do nothing / return NADA.
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    // Numbers are decimal texts, "01" to "56" for inputs and "01" to "32" for outputs.
    void AssignInputFunction(const char* number, E_UnitType function, int targetUnit, int targetKind);
    E_UnitType GetInputFunction(const char* number);
    void AssignOffStateFunction(const char* number, E_UnitType function, int targetUnit, int targetKind);
    E_UnitType GetOffStateFunction(const char* number);
    void AssignOutputFunction(const char* number, E_UnitType function, int targetUnit, int targetKind);
    E_UnitType GetOutputFunction(const char* number);
    // Sets the type of input index (0 to 55); out-of-range indices and types are ignored.
    void SetSwitchType(int index, int type);

    // Input scan: reports the first changed input (selectors report closings only).
    int GetInputButton(const void* data, int* value);

    unsigned char switchTypes[kInputs] = {};
    Fly_subsystem inputs[kInputs];
    Fly_subsystem offStates[kInputs];
    Fly_subsystem outputs[kOutputs];
    uint64_t boundOutputs = 0; // DRAV_BoundMask(outputs)
    unsigned char lastBank[kBankBytes] = {};
    uint64_t lastInputs = 0;
    uint32_t lastOutputs = 0;

  private:
    void SendOutputs(uint32_t bits);
};
