// Engine-control units in-process against the simulator stand-in: lever calibration, dead band,
// reverse and beta, flap null zone, and the control order of the engine panel and starter selector.
#include "modules/engine.h"

#include "core/globals.h"
#include "devlib/include/qddev.h"
#include "hostsim.h"

#include <gtest/gtest.h>

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

TEST_F(EngineTest, ECPLeavingStartForAMagnetoPositionReleasesTheStarter) {
    QDECP_Module m;
    m.AssignFunction(15, ENG_ALL_MAGNETO_LEFT, -1, -1);
    m.AssignFunction(18, ENG_ALL_START, -1, -1);
    m.AssignFunction(20, ENG_ALL_START, -1, -1); // not a key of this panel
    EXPECT_EQ(m.GetFunction(15), ENG_ALL_MAGNETO_LEFT);
    EXPECT_EQ(m.GetFunction(20), NADA);

    m.HandleInput(QDECP_Module::CONTROL_START, 4); // START reached from OFF in one report
    m.HandleInput(15, 1);                          // and straight on to LEFT
    const auto log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, hostsim::CommandKind::ButtonPress);
    EXPECT_EQ(log[1].kind, hostsim::CommandKind::ButtonRelease);
    EXPECT_EQ(hostsim::GetInts(kIgnition)[0], 1);
    // With the starter already released, a magneto position sends no further release.
    m.HandleInput(15, 1);
    EXPECT_EQ(hostsim::CommandLog().size(), 2u);
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

} // namespace
