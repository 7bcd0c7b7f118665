#include "engine.h"

#include "core/globals.h"
#include "core/hot_path.h"
#include "core/log.h"
#include "devlib/include/qddev.h"
#include "simlink/sim_watch.h"

#include <atomic>
#include <cstdio>

namespace {

// Raw positions this close to the last processed one are sensor noise.
constexpr int kDeadBand = 3;
// Margin at either end of the calibrated range, so the ends are reached reliably.
constexpr float kCalibrationMargin = 3.0f;
// "Not set" value of the reverse and beta points in the settings.
constexpr float kPointUnset = -1.0f;
// Null zone used when the setting is zero or negative.
constexpr float kDefaultFlapNullZone = 0.1f;

int ReadInt(const char* name) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    return ref != nullptr ? DRAV_ReadInt(ref) : 0;
}

float ReadFloat(const char* name) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    return ref != nullptr ? DRAV_ReadFloat(ref) : 0.0f;
}

bool InRange(E_UnitType f, E_UnitType first, E_UnitType last) {
    return f >= first && f <= last;
}

} // namespace

// ---- Lever axis ----------------------------------------------------------------------------------

void AxisController::Register(E_UnitType f) {
    function = f;
    hasBeta = ReadInt("sim/aircraft/overflow/acf_has_beta") != 0;
    hasReverse = ReadInt("sim/aircraft/prop/acf_revthrust_eq") != 0;
    throttleMaxForward = ReadFloat("sim/aircraft/engine/acf_throtmax_FWD");
    throttleMaxReverse = ReadFloat("sim/aircraft/engine/acf_throtmax_REV");

    if (InRange(f, ENG_1_PROP_PITCH, ENG_8_PROP_PITCH)) {
        outMin = g_QDTHQUsePropMinimumOfZero ? 0.0f : ReadFloat("sim/aircraft/controls/acf_RSC_mingreen_prp");
        outMax = ReadFloat("sim/aircraft/controls/acf_RSC_redline_prp");
    } else if (f == SPEED_BRAKE) {
        // Below zero the speed brake is armed rather than retracted.
        outMin = g_QDTHQUseSpeedBrakeArmed ? -0.5f : 0.0f;
        outMax = 1.0f;
    } else {
        outMin = 0.0f;
        outMax = 1.0f;
    }

    isThrottle = 0;
    propModeRef = nullptr;
    const char* name = nullptr;
    if (InRange(f, ENG_1_THROTTLE, ENG_8_THROTTLE)) {
        name = "sim/flightmodel/engine/ENGN_thro";
        engine = f - ENG_1_THROTTLE;
        reversed = 1;
        isThrottle = 1;
        propModeRef = XPLMFindDataRef("sim/flightmodel/engine/ENGN_propmode");
    } else if (InRange(f, ENG_1_MIXTURE, ENG_8_MIXTURE)) {
        name = "sim/flightmodel/engine/ENGN_mixt";
        engine = f - ENG_1_MIXTURE;
        reversed = 1;
    } else if (InRange(f, ENG_1_PROP_PITCH, ENG_8_PROP_PITCH)) {
        name = "sim/flightmodel/engine/ENGN_prop";
        engine = f - ENG_1_PROP_PITCH;
        reversed = 1;
    } else if (f == SPEED_BRAKE) {
        name = "sim/flightmodel/controls/sbrkrqst";
        engine = -1;
        reversed = 0;
    } else if (f == FLAPS) {
        name = "sim/flightmodel/controls/flaprqst";
        engine = -1;
        reversed = 0;
    }
    // A function without an axis (no selection, the all-engine functions) leaves the lever
    // writing nothing; it must not go on driving what it was assigned before.
    dataref = name != nullptr ? XPLMFindDataRef(name) : nullptr;
    if (name == nullptr) engine = -1;
}

void AxisController::ResetCalibration() {
    calMax = 128;
    calMin = 127;
}

float AxisController::NormalisedValue(unsigned char raw) const {
    const float lo = calMin + kCalibrationMargin;
    const float hi = calMax - kCalibrationMargin;
    float t = (lo == hi) ? 0.0f : (raw - lo) / (hi - lo);
    if (!(t > 0.0f)) t = 0.0f;
    if (t > 1.0f) t = 1.0f;
    // Engine levers read lower raw values the further they are pushed forward.
    if (reversed) t = 1.0f - t;
    return outMin + t * (outMax - outMin);
}

float ApplyFlapNullZone(float v, float zone) {
    if (!(zone > 0.0f)) zone = kDefaultFlapNullZone;
    if (zone > 1.0f) zone = 1.0f;
    const float start = 1.0f - zone;
    if (v <= start) return 0.0f;
    return (v - start) / zone;
}

ThrottleSetting ComputeThrottle(float v, int switchOn, float reverserPoint, float betaPoint,
                                float reverserPower, bool hasReverse, bool hasBeta, float maxForward,
                                float maxReverse) {
    const bool reverseApplies = reverserPoint != kPointUnset && hasReverse;
    const bool betaApplies = betaPoint != kPointUnset && hasBeta;
    const float r = reverseApplies ? reverserPoint : 0.0f;
    const float f = betaApplies ? betaPoint : r;

    ThrottleSetting out{PROP_MODE_NORMAL, v};
    if (v >= f) {
        out.mode = PROP_MODE_NORMAL;
        out.thrust = (f == 1.0f) ? 0.0f : (v - f) * maxForward / (1.0f - f);
        // The lever's switch at idle asks for full reverse.
        if (out.thrust == 0.0f && switchOn) {
            out.mode = PROP_MODE_REVERSE;
            out.thrust = maxReverse * reverserPower;
        }
    }
    if (betaApplies && r <= v && v < f) {
        out.mode = PROP_MODE_BETA;
        out.thrust = 0.0f;
    }
    if (reverseApplies && v < f && v < r) {
        out.mode = PROP_MODE_REVERSE;
        out.thrust = (r == 0.0f) ? maxReverse : maxReverse * (1.0f - v / r);
    }
    return out;
}

void AxisController::WriteThrottle(float v, int switchOn) {
    ThrottleSetting s = ComputeThrottle(v, switchOn, reverserPoint, betaPoint, reverserPower, hasReverse != 0,
                                        hasBeta != 0, throttleMaxForward, throttleMaxReverse);
    if (propModeRef != nullptr) {
        int current = PROP_MODE_FEATHER;
        DRAV_ReadInts(propModeRef, &current, engine, 1);
        // A feathered propeller stays feathered whatever the lever does.
        if (current != PROP_MODE_FEATHER) XPLMSetDatavi(propModeRef, &s.mode, engine, 1);
    }
    if (dataref != nullptr) XPLMSetDatavf(dataref, &s.thrust, engine, 1);
}

void AxisController::SetCurrentValue(unsigned char raw, int switchOn) {
    const int delta = raw - lastRaw;
    const bool switchChanged = switchOn != lastSwitch;
    if (delta > -kDeadBand && delta < kDeadBand && !(isThrottle && switchChanged)) return;

    lastRaw = raw;
    lastSwitch = static_cast<unsigned char>(switchOn);
    if (raw < calMin) calMin = raw;
    if (raw > calMax) calMax = raw;

    float v = NormalisedValue(raw);
    if (dataref == nullptr) return;
    if (isThrottle) {
        WriteThrottle(v, switchOn);
    } else if (engine < 0) {
        if (function == FLAPS) v = ApplyFlapNullZone(v, flapNullZone);
        XPLMSetDataf(dataref, v);
    } else {
        XPLMSetDatavf(dataref, &v, engine, 1);
    }
}

// ---- QD-THQ --------------------------------------------------------------------------------------

int QDTHQ_Module::GetButton(const void* data, int* value) {
    const auto* vals = static_cast<const QDTHQControlVals*>(data);
    // The main thread reads these while the next report may already be arriving.
    for (int i = 0; i < kLevers; ++i)
        std::atomic_ref<unsigned char>(leverPositions[i]).store(vals->lever[i], std::memory_order_relaxed);
    std::atomic_ref<unsigned char>(leverSwitches).store(vals->switches, std::memory_order_relaxed);
    if (DRAV_DebugGetButton()) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "QDTHQ_Module::GetButton -  Lever A = %d, Lever B = %d, Lever C = %d, Lever D = %d, "
                      "Lever E = %d, Lever F = %d",
                      vals->lever[0], vals->lever[1], vals->lever[2], vals->lever[3], vals->lever[4],
                      vals->lever[5]);
        DRAV_WriteToLog(line);
        DRAV_LogControlState("QDTHQ_Module::GetButton - SwitchState", vals->switches);
    }
    (void)value;
    return FirstInReport(0) ? 0 : -1; // every report moves all six axes
}

DRAV_HOT void QDTHQ_Module::HandleInput(int, int) {
    const unsigned char switches =
        std::atomic_ref<unsigned char>(leverSwitches).load(std::memory_order_relaxed);
    for (int i = 0; i < kLevers; ++i) {
        const unsigned char raw =
            std::atomic_ref<unsigned char>(leverPositions[i]).load(std::memory_order_relaxed);
        levers[i].SetCurrentValue(raw, (switches >> i) & 1);
    }
}

void QDTHQ_Module::AssignFunction(char key, E_UnitType function, int, int) {
    if (key >= 'A' && key < 'A' + kLevers) levers[key - 'A'].Register(function);
}

E_UnitType QDTHQ_Module::GetFunction(char key) {
    if (key >= 'A' && key < 'A' + kLevers) return levers[key - 'A'].GetUnitType();
    return NADA;
}

void QDTHQ_Module::Recalibrate() {
    for (AxisController& lever : levers)
        lever.ResetCalibration();
}

void QDTHQ_Module::ResetMaxima() {
    for (AxisController& lever : levers)
        lever.ResetMaxima();
}

void QDTHQ_Module::SetReverserPoints(float reverse, float beta, float power) {
    for (AxisController& lever : levers) {
        lever.reverserPoint = reverse;
        lever.betaPoint = beta;
        lever.reverserPower = power;
    }
}

void QDTHQ_Module::GetReverserPoints(float* reverse, float* beta, float* power) const {
    if (reverse != nullptr) *reverse = levers[0].reverserPoint;
    if (beta != nullptr) *beta = levers[0].betaPoint;
    if (power != nullptr) *power = levers[0].reverserPower;
}

void QDTHQ_Module::SetFlapNullZone(float zone) {
    for (AxisController& lever : levers)
        lever.flapNullZone = zone;
}

void QDTHQ_Module::GetFlapNullZone(float* zone) const {
    if (zone != nullptr) *zone = levers[0].flapNullZone;
}

// Default functions of the numbered keys, used by registration and shown by the dialog.
const char* const kECPDefaults[20] = {"BATTERY_MASTER",
                                      "ALTERNATOR_MASTER",
                                      "AVIONICS_MASTER",
                                      "FUEL_PUMP",
                                      "CARB_HEAT",
                                      "PITOT_HEAT",
                                      "PANEL_LTS",
                                      "BEACON_LTS",
                                      "NAV_LTS",
                                      "STROBE_LTS",
                                      "TAXI_LTS",
                                      "LANDING_LTS",
                                      "ENG_ALL_COWL_FLAPS",
                                      "LANDING_GEAR",
                                      "ENG_ALL_MAGNETO_OFF",
                                      "ENG_ALL_MAGNETO_LEFT",
                                      "ENG_ALL_MAGNETO_RIGHT",
                                      "ENG_ALL_MAGNETO",
                                      "ENG_ALL_START",
                                      "FLAPS_UP_DOWN"};
