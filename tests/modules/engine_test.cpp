// Engine-control units in-process against the simulator stand-in: lever calibration, dead band,
// reverse and beta, flap null zone, and the control order of the engine panel and starter selector.
#include "modules/engine.h"

#include "devlib/include/qddev.h"
#include "hostsim.h"
#include "plugin/custom_datarefs.h"
#include "plugin/globals.h"
#include "plugin/sdk_binding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kThrottle = "sim/flightmodel/engine/ENGN_thro";
constexpr const char* kPropMode = "sim/flightmodel/engine/ENGN_propmode";
constexpr const char* kMixture = "sim/flightmodel/engine/ENGN_mixt";
constexpr const char* kFlaps = "sim/flightmodel/controls/flaprqst";
constexpr const char* kSpeedBrake = "sim/flightmodel/controls/sbrkrqst";
constexpr const char* kIgnition = "sim/cockpit/engine/ignition_on";

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
        g_QDTHQUsePropMinimumOfZero = 0;
        g_QDTHQUseSpeedBrakeArmed = 0;
        hostsim::SetInts(kPropMode, {1, 1, 1, 1, 1, 1, 1, 1});
    }
    void TearDown() override { hostsim::Reset(); }

    // The starter command tables as Find_SSM_Commands resolves them in the plug-in.
    static void ResolveStarterCommands() {
        XPLMCommandOnce_ptr = &XPLMCommandOnce;
        XPLMCommandBegin_ptr = &XPLMCommandBegin;
        XPLMCommandEnd_ptr = &XPLMCommandEnd;
        for (int i = 0; i < kSSMCommandCount; ++i) {
            SSMCommandOnRefs[i] = XPLMFindCommand(SSMCommandOnNames[i]);
            SSMCommandOffRefs[i] = XPLMFindCommand(SSMCommandOffNames[i]);
        }
    }

    static std::vector<std::string> Commands() {
        std::vector<std::string> out;
        for (const auto& e : hostsim::CommandLog())
            out.push_back(std::string(hostsim::CommandKindName(e.kind)) + " " + e.name);
        return out;
    }
};

// A lever whose calibrated range is exactly raw 0 to 255 (margins 3 at either end).
AxisController CalibratedLever(E_UnitType function) {
    AxisController a;
    a.Register(function);
    a.calMin = 0;
    a.calMax = 255;
    return a;
}

TEST(FlapNullZone, LowerPartGivesFlapsUp) {
    EXPECT_FLOAT_EQ(ApplyFlapNullZone(0.75f, 0.25f), 0.0f);
    EXPECT_FLOAT_EQ(ApplyFlapNullZone(0.5f, 0.25f), 0.0f);
    EXPECT_FLOAT_EQ(ApplyFlapNullZone(0.875f, 0.25f), 0.5f);
    EXPECT_FLOAT_EQ(ApplyFlapNullZone(1.0f, 0.25f), 1.0f);
    // The whole travel with a zone of 1; a zone of 0 or less means 0.1; more than 1 means 1.
    EXPECT_FLOAT_EQ(ApplyFlapNullZone(0.4f, 1.0f), 0.4f);
    EXPECT_FLOAT_EQ(ApplyFlapNullZone(0.95f, 0.0f), 0.5f);
    EXPECT_FLOAT_EQ(ApplyFlapNullZone(0.95f, -2.0f), 0.5f);
    EXPECT_FLOAT_EQ(ApplyFlapNullZone(0.4f, 3.0f), 0.4f);
}

TEST(Throttle, SwitchAtIdleSelectsFullReverse) {
    ThrottleSetting s = ComputeThrottle(0.0f, 1, -1.0f, -1.0f, 0.6f, true, false, 1.0f, 0.5f);
    EXPECT_EQ(s.mode, PROP_MODE_REVERSE);
    EXPECT_FLOAT_EQ(s.thrust, 0.3f);
    s = ComputeThrottle(0.0f, 0, -1.0f, -1.0f, 0.6f, true, false, 1.0f, 0.5f);
    EXPECT_EQ(s.mode, PROP_MODE_NORMAL);
    EXPECT_FLOAT_EQ(s.thrust, 0.0f);
    // Above idle the switch does nothing.
    s = ComputeThrottle(0.5f, 1, -1.0f, -1.0f, 0.6f, true, false, 0.9f, 0.5f);
    EXPECT_EQ(s.mode, PROP_MODE_NORMAL);
    EXPECT_FLOAT_EQ(s.thrust, 0.45f);
}

TEST(Throttle, ReversePointAndBetaRange) {
    // Reverse below 0.2, growing toward the bottom.
    ThrottleSetting s = ComputeThrottle(0.1f, 0, 0.2f, -1.0f, 1.0f, true, false, 1.0f, 0.8f);
    EXPECT_EQ(s.mode, PROP_MODE_REVERSE);
    EXPECT_FLOAT_EQ(s.thrust, 0.4f);
    s = ComputeThrottle(0.0f, 0, 0.2f, -1.0f, 1.0f, true, false, 1.0f, 0.8f);
    EXPECT_FLOAT_EQ(s.thrust, 0.8f);
    s = ComputeThrottle(0.6f, 0, 0.2f, -1.0f, 1.0f, true, false, 1.0f, 0.8f);
    EXPECT_EQ(s.mode, PROP_MODE_NORMAL);
    EXPECT_FLOAT_EQ(s.thrust, 0.5f);
    // With beta from 0.2 to 0.3: zero thrust in beta, forward thrust starts at 0.3.
    s = ComputeThrottle(0.25f, 0, 0.2f, 0.3f, 1.0f, true, true, 1.0f, 0.8f);
    EXPECT_EQ(s.mode, PROP_MODE_BETA);
    EXPECT_FLOAT_EQ(s.thrust, 0.0f);
    s = ComputeThrottle(0.65f, 0, 0.2f, 0.3f, 1.0f, true, true, 1.0f, 0.8f);
    EXPECT_EQ(s.mode, PROP_MODE_NORMAL);
    EXPECT_FLOAT_EQ(s.thrust, 0.5f);
    s = ComputeThrottle(0.1f, 0, 0.2f, 0.3f, 1.0f, true, true, 1.0f, 0.8f);
    EXPECT_EQ(s.mode, PROP_MODE_REVERSE);
    // Points are ignored on an aircraft without reverse or beta.
    s = ComputeThrottle(0.1f, 0, 0.2f, 0.3f, 1.0f, false, false, 1.0f, 0.8f);
    EXPECT_EQ(s.mode, PROP_MODE_NORMAL);
    EXPECT_FLOAT_EQ(s.thrust, 0.1f);
    // A beta point without reverse: beta from 0 up to the point.
    s = ComputeThrottle(0.1f, 0, -1.0f, 0.3f, 1.0f, false, true, 1.0f, 0.8f);
    EXPECT_EQ(s.mode, PROP_MODE_BETA);
}

TEST_F(EngineTest, LeverCalibratesAndIgnoresJitter) {
    AxisController a;
    a.Register(ENG_2_MIXTURE);
    EXPECT_EQ(a.engine, 1);
    EXPECT_EQ(a.reversed, 1);
    hostsim::SetFloats(kMixture, {0.5f, 0.5f});
    // Within 2 of the last raw position (55 at first) nothing happens.
    a.SetCurrentValue(57, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[1], 0.5f);
    a.SetCurrentValue(58, 0);
    EXPECT_EQ(a.calMin, 58);
    // Lowest raw is full forward for an engine lever.
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[1], 1.0f);
    a.SetCurrentValue(200, 0);
    EXPECT_EQ(a.calMax, 200);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[1], 0.0f);
    a.SetCurrentValue(129, 0); // (129 - 61) / (197 - 61) = 0.5
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[1], 0.5f);
    a.SetCurrentValue(130, 0);
    a.SetCurrentValue(128, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[1], 0.5f);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[0], 0.5f); // other engines untouched

    a.ResetCalibration();
    EXPECT_EQ(a.calMax, 128);
    EXPECT_EQ(a.calMin, 127);
}

TEST_F(EngineTest, ThrottleLeverWritesModeAndThrustButLeavesFeatheredAlone) {
    hostsim::SetInt("sim/aircraft/prop/acf_revthrust_eq", 1);
    hostsim::SetFloat("sim/aircraft/engine/acf_throtmax_REV", 0.5f);
    AxisController a = CalibratedLever(ENG_1_THROTTLE);
    a.reverserPoint = -1.0f;
    a.betaPoint = -1.0f;
    a.reverserPower = 0.6f;
    a.SetCurrentValue(3, 0); // fully forward
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[0], 1.0f);
    EXPECT_EQ(hostsim::GetInts(kPropMode)[0], PROP_MODE_NORMAL);
    a.SetCurrentValue(252, 0); // idle
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[0], 0.0f);
    // Pressing the switch at idle is processed although the lever did not move.
    a.SetCurrentValue(252, 1);
    EXPECT_EQ(hostsim::GetInts(kPropMode)[0], PROP_MODE_REVERSE);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[0], 0.3f);
    a.SetCurrentValue(252, 0);
    EXPECT_EQ(hostsim::GetInts(kPropMode)[0], PROP_MODE_NORMAL);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[0], 0.0f);

    hostsim::SetInts(kPropMode, {PROP_MODE_FEATHER});
    a.SetCurrentValue(252, 1);
    EXPECT_EQ(hostsim::GetInts(kPropMode)[0], PROP_MODE_FEATHER);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[0], 0.3f);
}

TEST_F(EngineTest, FlapsSpeedBrakeAndPropLevers) {
    AxisController flaps = CalibratedLever(FLAPS);
    flaps.flapNullZone = 0.25f;
    EXPECT_EQ(flaps.reversed, 0);
    flaps.SetCurrentValue(100, 0); // well inside the null zone
    EXPECT_FLOAT_EQ(hostsim::GetFloat(kFlaps), 0.0f);
    flaps.SetCurrentValue(252, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloat(kFlaps), 1.0f);

    g_QDTHQUseSpeedBrakeArmed = 1;
    AxisController brake = CalibratedLever(SPEED_BRAKE);
    brake.SetCurrentValue(0, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloat(kSpeedBrake), -0.5f);

    g_QDTHQUsePropMinimumOfZero = 1;
    hostsim::SetFloat("sim/aircraft/controls/acf_RSC_redline_prp", 200.0f);
    AxisController prop = CalibratedLever(ENG_3_PROP_PITCH);
    prop.SetCurrentValue(3, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloats("sim/flightmodel/engine/ENGN_prop")[2], 200.0f);
    prop.SetCurrentValue(252, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloats("sim/flightmodel/engine/ENGN_prop")[2], 0.0f);
}

TEST_F(EngineTest, LeverWithoutAxisWritesNothing) {
    AxisController a = CalibratedLever(ENG_1_MIXTURE);
    a.Register(NADA); // the user cleared the lever's assignment
    hostsim::SetFloats(kMixture, {0.7f});
    a.SetCurrentValue(3, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[0], 0.7f);
    a.Register(ENG_ALL_THROTTLE);
    a.SetCurrentValue(200, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[0], 0.0f);
}

TEST_F(EngineTest, QuadrantProcessesAllSixLeversOnEveryReport) {
    QDTHQ_Module m;
    m.AssignFunction('A', ENG_1_THROTTLE, -1, -1);
    m.AssignFunction('B', ENG_2_THROTTLE, -1, -1);
    m.AssignFunction('F', FLAPS, -1, -1);
    m.AssignFunction('G', FLAPS, -1, -1); // no such lever
    EXPECT_EQ(m.GetFunction('B'), ENG_2_THROTTLE);
    EXPECT_EQ(m.GetFunction('G'), NADA);
    m.SetReverserPoints(0.2f, 0.3f, 0.6f);
    m.SetFlapNullZone(0.25f);
    float r = 0, b = 0, p = 0, z = 0;
    m.GetReverserPoints(&r, nullptr, &p);
    m.GetReverserPoints(nullptr, &b, nullptr);
    m.GetFlapNullZone(&z);
    EXPECT_FLOAT_EQ(r, 0.2f);
    EXPECT_FLOAT_EQ(b, 0.3f);
    EXPECT_FLOAT_EQ(p, 0.6f);
    EXPECT_FLOAT_EQ(z, 0.25f);
    for (AxisController& lever : m.levers) {
        lever.calMin = 0;
        lever.calMax = 255;
    }

    int v = 0;
    QDTHQControlVals rec{{3, 252, 0, 0, 0, 252}, 0x02};
    EXPECT_EQ(m.GetButton(&rec, &v), 0);
    EXPECT_EQ(m.GetButton(&rec, &v), 0); // never -1: every report moves the axes
    m.HandleInput(0, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[0], 1.0f);
    // Lever B at idle with its switch (bit 1): full reverse at the reverser power.
    EXPECT_EQ(hostsim::GetInts(kPropMode)[1], PROP_MODE_REVERSE);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[1], 0.5f * 0.6f);
    EXPECT_FLOAT_EQ(hostsim::GetFloat(kFlaps), 1.0f);

    // A new aircraft with reverse: ResetMaxima reads the aircraft again, and the bottom fifth of
    // the travel now gives reverse thrust without the switch.
    hostsim::SetInt("sim/aircraft/prop/acf_revthrust_eq", 1);
    m.ResetMaxima();
    EXPECT_EQ(m.levers[1].hasReverse, 1);
    EXPECT_EQ(m.GetFunction('B'), ENG_2_THROTTLE);
    rec.switches = 0x00;
    rec.lever[1] = 200; // t = 0.2 from the back
    m.GetButton(&rec, &v);
    m.HandleInput(0, 0);
    EXPECT_EQ(hostsim::GetInts(kPropMode)[1], PROP_MODE_NORMAL);
    rec.lever[1] = 252;
    m.GetButton(&rec, &v);
    m.HandleInput(0, 0);
    EXPECT_EQ(hostsim::GetInts(kPropMode)[1], PROP_MODE_REVERSE);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[1], 0.5f);

    m.Recalibrate();
    EXPECT_EQ(m.levers[3].calMin, 127);
}

TEST_F(EngineTest, ECPReportsInFixedOrder) {
    QDECP_Module m;
    m.lastSelector = 4;
    int v = 0;
    // Switch bit, cowl flaps, gear and selector all changed: one at a time, in that order.
    QDECPControlVals r{5, 1, 0, 1, 0x0004};
    EXPECT_EQ(m.GetButton(&r, &v), 2);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m.GetButton(&r, &v), QDECP_Module::CONTROL_COWL_FLAPS);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m.GetButton(&r, &v), QDECP_Module::CONTROL_GEAR);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m.GetButton(&r, &v), QDECP_Module::CONTROL_START);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m.GetButton(&r, &v), -1);
    r.position = 4;
    EXPECT_EQ(m.GetButton(&r, &v), QDECP_Module::CONTROL_START);
    EXPECT_EQ(v, 0);
    // Wing flaps are momentary and reported only while the selector rests.
    r.b = 2;
    EXPECT_EQ(m.GetButton(&r, &v), QDECP_Module::CONTROL_WING_FLAPS);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m.GetButton(&r, &v), QDECP_Module::CONTROL_WING_FLAPS);
    r.b = 1;
    EXPECT_EQ(m.GetButton(&r, &v), QDECP_Module::CONTROL_WING_FLAPS);
    EXPECT_EQ(v, -1);
    r.b = 0;
    r.position = 1;
    EXPECT_EQ(m.GetButton(&r, &v), QDECP_Module::CONTROL_MAGNETO_OFF);
    EXPECT_EQ(v, 0);
    r.position = 2;
    EXPECT_EQ(m.GetButton(&r, &v), 15);
    EXPECT_EQ(v, 1);
    // A position outside 1 to 5 (between detents) is not a selection.
    r.position = 0;
    EXPECT_EQ(m.GetButton(&r, &v), -1);
    EXPECT_EQ(m.lastSelector, 2);
}

TEST_F(EngineTest, ECPMagnetosStarterAndGear) {
    QDECP_Module m;
    m.AssignFunction(13, LANDING_GEAR, -1, -1);
    m.AssignFunction(14, ENG_ALL_MAGNETO_OFF, -1, -1);
    m.AssignFunction(15, ENG_ALL_MAGNETO_LEFT, -1, -1);
    m.AssignFunction(17, ENG_ALL_MAGNETO, -1, -1);
    m.AssignFunction(18, ENG_ALL_START, -1, -1);
    m.AssignFunction(20, ENG_ALL_START, -1, -1); // not a key of this panel
    EXPECT_EQ(m.GetFunction(15), ENG_ALL_MAGNETO_LEFT);
    EXPECT_EQ(m.GetFunction(20), NADA);

    m.HandleInput(15, 1); // LEFT
    EXPECT_EQ(hostsim::GetInts(kIgnition)[0], 1);
    m.HandleInput(14, 0); // OFF writes its on value 0
    EXPECT_EQ(hostsim::GetInts(kIgnition)[7], 0);
    m.HandleInput(17, 3);
    EXPECT_EQ(hostsim::GetInts(kIgnition)[3], 3);

    hostsim::ClearCommandLog();
    m.HandleInput(QDECP_Module::CONTROL_START, 1);
    m.HandleInput(QDECP_Module::CONTROL_START, 0);
    auto log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, hostsim::CommandKind::ButtonPress);
    EXPECT_EQ(log[1].kind, hostsim::CommandKind::ButtonRelease);

    // Leaving START straight for LEFT releases the starter as well.
    hostsim::ClearCommandLog();
    m.HandleInput(QDECP_Module::CONTROL_START, 4);
    m.HandleInput(15, 1);
    log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].kind, hostsim::CommandKind::ButtonRelease);

    m.HandleInput(QDECP_Module::CONTROL_GEAR, 1);
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/switches/gear_handle_status"), 0);
    m.HandleInput(QDECP_Module::CONTROL_GEAR, 0);
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/switches/gear_handle_status"), 1);
}

TEST_F(EngineTest, SSMReportsOnlyAdjacentStartPositions) {
    QDSSM_Module m;
    m.lastSelectors[0] = 2;
    m.lastSelectors[1] = 2;
    m.lastSelectors[2] = 1;
    int v = 0;
    QDSSMControlVals r{4, 2, 1};
    EXPECT_EQ(m.GetButton(&r, &v), -1); // 2 to 4 jumps over 3
    EXPECT_EQ(m.lastSelectors[0], 2);
    r.sel1 = 3;
    EXPECT_EQ(m.GetButton(&r, &v), 1);
    EXPECT_EQ(v, 1);
    r.sel1 = 4;
    EXPECT_EQ(m.GetButton(&r, &v), 2);
    EXPECT_EQ(v, 1);
    r.sel2 = 3;
    r.sel3 = 2;
    EXPECT_EQ(m.GetButton(&r, &v), 13);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m.GetButton(&r, &v), 7);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(m.GetButton(&r, &v), -1);
    r.sel3 = 1;
    EXPECT_EQ(m.GetButton(&r, &v), 7);
    EXPECT_EQ(v, 1);
    // A selector of unknown position takes the first one it is seen in.
    m.Clear();
    EXPECT_EQ(m.GetButton(&r, &v), 13);
    EXPECT_EQ(m.GetButton(&r, &v), -1);
    EXPECT_EQ(m.lastSelectors[0], 4);
}

TEST_F(EngineTest, SSMRunsStarterIgnitionAndMagnetoCommands) {
    ResolveStarterCommands();
    QDSSM_Module m;
    m.Register(0);
    hostsim::SetFloats(kMixture, {0.0f, 0.2f, 0.3f});
    hostsim::ClearCommandLog();
    m.HandleInput(7, 1);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[1], 1.0f);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[2], 0.3f);
    m.HandleInput(7, 0);
    m.HandleInput(1, 0);
    m.HandleInput(2, 0);
    m.HandleInput(12, 1);
    m.HandleInput(11, 0); // magnetos act on selection only
    m.HandleInput(5, 1);  // not a control of this unit
    const std::vector<std::string> expected = {
        "once sim/igniters/igniter_contin_on_2",  "begin sim/starters/engage_starter_2",
        "once sim/igniters/igniter_contin_off_2", "end sim/starters/engage_starter_2",
        "once sim/igniters/igniter_contin_off_1", "once sim/igniters/igniter_contin_on_1",
        "once sim/magnetos/magnetos_both_1",      "once sim/magnetos/magnetos_both_2",
    };
    EXPECT_EQ(Commands(), expected);
}

} // namespace
