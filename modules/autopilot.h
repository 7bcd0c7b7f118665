// The autopilot and cockpit display panels: QD-APC (five displays with encoders, eight buttons
// with lamps and a disengage bar), QD-APX (six displays with encoders, 24 switches with lamps,
// optionally driving the x737 aircraft's own commands) and QD-NDC (navigation-display selectors,
// two knobs, buttons and toggle contacts, no display).
//
// The disengage bar of both autopilot panels reports its bit set while it is down (autopilot
// may engage) and clear while it is lifted: a clear bit switches the disengage function on,
// both when the position is pushed at registration and when the bar moves.
#pragma once

#include <cstdint>

#include "modules/module_base.h"

class Avionic;

class QDAPC_Module : public QD_Abstract_Module {
  public:
    static constexpr int kSwitches = 9;
    static constexpr int kDisplays = 5;
    static constexpr int kTextSize = 10;
    // Control numbers: switches 0 to 7, the disengage bar 8, encoders A to E 9 to 13.
    static constexpr int kDisengageBar = 8;
    static constexpr int kFirstEncoder = 9;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    // Keys "1" to "9" the switches, "A" to "E" the displays.
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    Fly_subsystem binding[kSwitches];
    uint64_t bound = 0; // DRAV_BoundMask(binding)
    Avionic* displays[kDisplays] = {};
    char lastTexts[kDisplays][kTextSize] = {};
    unsigned char lastButtons = 0;  // switches 1 to 8
    unsigned char lastButtons2 = 0; // bit 0: switch 9, the disengage bar
    unsigned char lastLamps = 0;
    // The bar's position still has to reach the simulator (registered before it was bound).
    bool barPushPending = false;

  private:
    void SendBlanks();
    void PushDisengageBar();
};

class QDAPX_Module : public QD_Abstract_Module {
  public:
    static constexpr int kSwitches = 24;
    static constexpr int kDisplays = 6;
    static constexpr int kTextSize = 10;
    // Keys of the displays A to F, control numbers of their encoders.
    static constexpr int kFirstDisplayKey = 25;
    static constexpr int kFirstEncoder = 33;
    static constexpr int kDisengageBar = 22;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    // Keys are control numbers: 0 to 23 the switches, 25 to 30 the displays A to F.
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    // Index into the x737 command tables for a switch (control 0 to 23), -1 for none.
    static int TranslationCode(int control);

    Fly_subsystem binding[kSwitches];
    uint64_t bound = 0; // DRAV_BoundMask(binding)
    Avionic* displays[kDisplays] = {};
    char lastTexts[kDisplays][kTextSize] = {};
    uint32_t lastSwitches = 0;
    uint32_t lastLamps = 0;
    // APX_Disabled as this unit last saw it: each unit must resend everything when another
    // plug-in hands the panel back, not only the first one to notice.
    int APX_Disabled_Previous_Value = 0;
    // The bar's position still has to reach the simulator (registered before it was bound).
    bool barPushPending = false;

  private:
    void SendBlanks();
    void HandleX737(int control, int value);
    void PushLatchingSwitches();
    void PushDisengageBar();
};

class QDNDC_Module : public QD_Abstract_Module {
  public:
    static constexpr int kBindings = 27;
    static constexpr int kKnobs = 2;
    static constexpr int kLeftPositions = 4;
    static constexpr int kRightPositions = 7;
    // Control numbers of the selector positions and the two encoders.
    static constexpr int kFirstLeftPosition = 16;
    static constexpr int kFirstRightPosition = 20;
    static constexpr int kFirstKnobKey = 28;
    static constexpr int kLeftEncoder = 39;
    static constexpr int kRightEncoder = 40;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override {}
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override {}
    // Keys are control numbers: 0 to 26 the buttons, toggles and selector positions, 28 and 29
    // the two knobs.
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    Fly_subsystem binding[kBindings];
    Avionic* knobs[kKnobs] = {};
    uint16_t lastButtons = 0;
    unsigned char lastSelectors = 0;
    unsigned char leftPosition = 0;
    unsigned char rightPosition = 0;
};

// Default functions of the numbered keys (index = key number - 1, or - 25 / - 28 for the
// knobs), shared by registration and the dialog; the x737 sets replace the APX's with the
// add-on's commands.
extern const char* const kAPXDefaults[24];
extern const char* const kAPXKnobDefaults[6];
extern const char* const kAPXx737Defaults[24];
extern const char* const kAPXx737KnobDefaults[6];
extern const char* const kNDCDefaults[27];
extern const char* const kNDCKnobDefaults[2];
