// Gear-and-trim panels: a gear lever with three pairs of gear lamps, trim wheels and a
// momentary up/down rocker (QD-GTP), plus two more wheels and a three-position switch (QD-GTP2).
// The lamps are not bound to functions; they follow the simulator's gear data.
#pragma once

#include "module_base.h"

#include "simlink/avionic.h"
#include "simlink/catalogue.h"
#include "simlink/fly_subsystem.h"

#include <cstdint>

// Bit values of one panel's six gear lamps: a down and a transit lamp per gear, in the order
// of the simulator's deployment ratios.
struct GearLampBits {
    uint8_t down[3];
    uint8_t transit[3];
};

// What the lamps are computed from, as read from the simulator.
struct GearLampInput {
    bool retractable = true;
    bool onGround = false;
    bool handleDown = true; // gear_handle_status non-zero
    float ratio[3] = {};    // deployment of each gear, 0 up to 1 down
    int failure[3] = {};    // rel_lagear1..3 (6 = failed)
};

inline constexpr int kGearFailed = 6;

// The lamp byte for one panel. Failures are applied after the gear rule, so a failed gear
// shows its transit lamp even on a fixed-gear aircraft.
uint8_t ComposeGearLamps(const GearLampInput& in, const GearLampBits& bits);
// Looks the gear datarefs up (again); every registration of a panel does, so handles never
// outlive the simulator session they came from.
void FindGearDatarefs();
// Reads the gear datarefs (looked up on first use) into `in`.
void ReadGearLampInput(GearLampInput* in);

// Wheel gains multiply the detent count before tuning.
inline constexpr unsigned kMinWheelGain = 1;
inline constexpr unsigned kMaxWheelGain = 10;
unsigned ClampWheelGain(long gain);
// Detents times gain as the fine-step count of Avionic::Tune, held to its range.
short ScaledWheelSteps(int detents, unsigned gain);

class QDGTP_Module : public QD_Abstract_Module {
  public:
    enum { CONTROL_LEVER = 0, CONTROL_ROCKER = 1, CONTROL_WHEEL = 2 };

    void Register(unsigned short unit) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* extra) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    void SetWheelGain(long gain) { wheelGain = ClampWheelGain(gain); }
    unsigned GetWheelGain() const { return wheelGain; }

    // Trim wheel (key "W").
    Avionic* wheel = nullptr;
    // 0: gear lever (key "L"), 1: rocker switch (key "S").
    Fly_subsystem binding[2];
    // +1 lever bit set, -1 clear; written by GetButton only.
    int lastLever = -1;
    unsigned wheelGain = 1;
    uint8_t lastLamps = 0;
};

class QDGTP2_Module : public QD_Abstract_Module {
  public:
    enum {
        CONTROL_LEVER = 0,
        CONTROL_ROCKER = 1,
        CONTROL_SWITCH_RIGHT = 2, // switch bit 2
        CONTROL_SWITCH_LEFT = 3,  // switch bit 3
        CONTROL_WHEEL_A = 4,
        CONTROL_WHEEL_B = 5,
        CONTROL_WHEEL_C = 6,
    };
    enum { BIND_LEVER = 0, BIND_ROCKER = 1, BIND_LEFT = 2, BIND_CENTRE = 3, BIND_RIGHT = 4 };
    enum { WHEEL_AILERON = 0, WHEEL_ELEVATOR = 1, WHEEL_RUDDER = 2 };

    void Register(unsigned short unit) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* extra) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    // wheel: 0 aileron, 1 elevator, 2 rudder; other numbers are ignored.
    void SetWheelGain(int wheel, long gain);
    unsigned GetWheelGain(int wheel) const;

    // Aileron (key "G"), elevator ("H"), rudder ("I").
    Avionic* wheels[3] = {};
    // Gear lever ("J"), rocker ("K"), switch left ("L"), centre ("M"), right ("N").
    Fly_subsystem binding[5];
    int lastLever = -1;
    unsigned wheelGains[3] = {1, 1, 1};
    uint8_t lastLamps = 0;
    // Switch byte as last reported (bits 2 and 3 are scanned against it).
    uint8_t lastButtons = 0;
};

// Lamp layouts of the two panels (the GTP2 one with and without the swapped-lamp fix).
extern const GearLampBits kQDGTPLampBits;
extern const GearLampBits kQDGTP2LampBits;
extern const GearLampBits kQDGTP2LampBitsSwapped;
