// Engine-control units: the six-lever throttle quadrant (QD-THQ), the single-engine control panel
// with its magneto/start selector (QD-ECP) and the twin-engine starter selector (QD-SSM). None of
// them has lamps or displays.
#pragma once

#include "module_base.h"

#include "simlink/catalogue.h"
#include "simlink/fly_subsystem.h"

#include "XPLMDataAccess.h"

#include <cstdint>

// One lever of the throttle quadrant driving one simulator axis. The lever calibrates itself:
// the raw range seen so far, less a small margin at either end, spans the full output range.
class AxisController {
  public:
    // Binds the lever to a lever function and reads the aircraft's engine data (beta, reverse,
    // maximum throttles, propeller limits). A function without an axis leaves the lever inert.
    void Register(E_UnitType function);
    E_UnitType GetUnitType() const { return function; }
    // Forgets the raw range seen so far.
    void ResetCalibration();
    // Reads the aircraft data again (new aircraft).
    void ResetMaxima() { Register(function); }
    // Processes one raw position (0 to 255) with the lever's end-of-travel switch (0 or 1).
    void SetCurrentValue(unsigned char raw, int switchOn);

    // The lever position mapped to the output range, before any flap or throttle treatment.
    float NormalisedValue(unsigned char raw) const;

    E_UnitType function = NADA;
    int engine = -1; // element of the per-engine arrays, -1 for a scalar dataref
    XPLMDataRef dataref = nullptr;
    unsigned char calMax = 128;
    unsigned char calMin = 112;
    unsigned char lastRaw = 55;
    unsigned char lastSwitch = 0;
    float outMin = 0.0f;
    float outMax = 1.0f;
    int reversed = 0;
    float reverserPoint = 0.0f;
    float betaPoint = 0.0f;
    float reverserPower = 1.0f;
    float throttleMaxForward = 0.0f;
    float throttleMaxReverse = 0.0f;
    unsigned char hasBeta = 0;
    unsigned char hasReverse = 0;
    unsigned char isThrottle = 0;
    float flapNullZone = 1.0f;
    XPLMDataRef propModeRef = nullptr; // "sim/flightmodel/engine/ENGN_propmode", throttles only

  private:
    void WriteThrottle(float v, int switchOn);
};

// Propeller modes of "sim/flightmodel/engine/ENGN_propmode".
enum { PROP_MODE_FEATHER = 0, PROP_MODE_NORMAL = 1, PROP_MODE_BETA = 2, PROP_MODE_REVERSE = 3 };

// The flap axis with a null zone z (0 < z <= 1) at its low end: the lower part of the travel gives
// flaps up and the top z spans the whole flap range.
float ApplyFlapNullZone(float v, float zone);

// Throttle lever position v (0..1) to propeller mode and thrust.
struct ThrottleSetting {
    int mode;
    float thrust;
};
ThrottleSetting ComputeThrottle(float v, int switchOn, float reverserPoint, float betaPoint,
                                float reverserPower, bool hasReverse, bool hasBeta, float maxForward,
                                float maxReverse);

class QDTHQ_Module : public QD_Abstract_Module {
  public:
    static constexpr int kLevers = 6;

    // The base Register: the levers report their positions with every input report.
    void SetDisplay() override {}
    int GetButton(const void* data, int* value) override;
    void Clear() override {}
    void HandleInput(int control, int value) override;
    void Refresh() override {}
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    void Recalibrate();
    // Reads the aircraft data of every lever again (called when the user's aircraft is loaded).
    void ResetMaxima();
    void SetReverserPoints(float reverse, float beta, float power);
    void GetReverserPoints(float* reverse, float* beta, float* power) const;
    void SetFlapNullZone(float zone);
    void GetFlapNullZone(float* zone) const;

    AxisController levers[kLevers];
    // Latest control values, written on the device library's thread.
    unsigned char leverPositions[kLevers] = {};
    unsigned char leverSwitches = 0;
};

class QDECP_Module : public QD_Abstract_Module {
  public:
    static constexpr int kBindings = 24;
    static constexpr int kKeys = 20;
    enum {
        CONTROL_COWL_FLAPS = 12,
        CONTROL_GEAR = 13,
        CONTROL_MAGNETO_OFF = 14,
        CONTROL_MAGNETO_BOTH = 17,
        CONTROL_START = 18,
        CONTROL_WING_FLAPS = 19,
    };
    // Selector positions.
    enum { SELECTOR_OFF = 1, SELECTOR_BOTH = 4, SELECTOR_START = 5 };

    void Register(unsigned short unit_index) override;
    void SetDisplay() override {}
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override {}
    // Keys are control numbers 0 to 19.
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    Fly_subsystem binding[kBindings];
    unsigned char lastSelector = 0;
    unsigned char lastGear = 0;
    unsigned char lastWingFlaps = 0;
    unsigned char lastCowlFlaps = 0;
    uint16_t lastButtons = 0;
};

class QDSSM_Module : public QD_Abstract_Module {
  public:
    static constexpr int kBindings = 11;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override {}
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override {}
    // Keys are control numbers 0 to 10. The bindings are kept for the dialog only: the unit's
    // input is wired to the simulator's starter, igniter and magneto commands.
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;

    Fly_subsystem binding[kBindings];
    unsigned char lastSelectors[3] = {};
    XPLMDataRef mixtureRef = nullptr;

  private:
    void StartEngine(int engine, int value);
};

// Default functions of the QD-ECP's numbered keys (index = key number - 1), shared by
// registration and the dialog.
extern const char* const kECPDefaults[20];
