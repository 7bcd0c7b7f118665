// Gear-and-trim panels in-process against the simulator stand-in: lamp composition, wheel gains,
// control order of GetButton and what each control does to the simulator.
#include "modules/gear_trim.h"

#include "core/globals.h"
#include "devlib/include/qddev.h"
#include "hostsim.h"
#include "simlink/custom_datarefs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr const char* kElevTrim = "sim/flightmodel/controls/elv_trim";

class GearTrimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
        DRAV_ResetAvionicsPowerRefs();
        FindGearDatarefs();
        gXPlaneVersion = 11550;
        g_QDGTP2AileronReverseFix = g_QDGTP2ElevatorReverseFix = g_QDGTP2RudderReverseFix = 0;
        g_QDGTP2LandingLightsReverseFix = 0;
    }
    void TearDown() override { hostsim::Reset(); }
};

GearLampInput InAir(float r1, float r2, float r3) {
    GearLampInput in;
    in.ratio[0] = r1;
    in.ratio[1] = r2;
    in.ratio[2] = r3;
    return in;
}

TEST(GearLamps, InFlightEachGearFollowsItsRatio) {
    // Down at 0.98 and above, dark at 0.02 and below, transit in between.
    EXPECT_EQ(ComposeGearLamps(InAir(1.0f, 1.0f, 1.0f), kQDGTPLampBits), 0x80 | 0x08 | 0x20);
    EXPECT_EQ(ComposeGearLamps(InAir(0.98f, 0.02f, 0.5f), kQDGTPLampBits), 0x80 | 0x10);
    EXPECT_EQ(ComposeGearLamps(InAir(0.0f, 0.97f, 0.03f), kQDGTPLampBits), 0x04 | 0x10);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(ComposeGearLamps(InAir(nan, 0.0f, 0.0f), kQDGTPLampBits), 0x40);
    // The GTP2 panel wires its lamps differently, and the fix swaps each pair.
    EXPECT_EQ(ComposeGearLamps(InAir(1.0f, 0.5f, 0.0f), kQDGTP2LampBits), 0x10 | 0x80);
    EXPECT_EQ(ComposeGearLamps(InAir(1.0f, 0.5f, 0.0f), kQDGTP2LampBitsSwapped), 0x20 | 0x40);
}

TEST(GearLamps, OnGroundTheHandleDecides) {
    GearLampInput in = InAir(0.0f, 0.0f, 0.0f);
    in.onGround = true;
    in.handleDown = true;
    EXPECT_EQ(ComposeGearLamps(in, kQDGTPLampBits), 0x80 | 0x08 | 0x20);
    in.handleDown = false;
    EXPECT_EQ(ComposeGearLamps(in, kQDGTPLampBits), 0x40 | 0x04 | 0x10);
}

TEST(GearLamps, FailuresAreAppliedAfterTheGearRule) {
    GearLampInput in = InAir(1.0f, 1.0f, 1.0f);
    in.retractable = false;
    EXPECT_EQ(ComposeGearLamps(in, kQDGTPLampBits), 0);
    in.failure[1] = kGearFailed; // rel_lagear2 belongs to the third ratio
    EXPECT_EQ(ComposeGearLamps(in, kQDGTPLampBits), 0x10);

    in = InAir(1.0f, 1.0f, 1.0f);
    in.failure[2] = kGearFailed; // rel_lagear3 turns the second gear's pair to transit
    EXPECT_EQ(ComposeGearLamps(in, kQDGTPLampBits), 0x80 | 0x04 | 0x20);
    in.failure[2] = 5;
    EXPECT_EQ(ComposeGearLamps(in, kQDGTPLampBits), 0x80 | 0x08 | 0x20);
    in.failure[0] = kGearFailed; // rel_lagear1 lights the first gear's transit lamp
    EXPECT_EQ(ComposeGearLamps(in, kQDGTPLampBits) & 0x40, 0x40);
}

TEST(WheelGain, ClampedAndScaled) {
    EXPECT_EQ(ClampWheelGain(25), 10u);
    EXPECT_EQ(ClampWheelGain(0), 1u);
    EXPECT_EQ(ClampWheelGain(-3), 1u);
    EXPECT_EQ(ClampWheelGain(7), 7u);
    EXPECT_EQ(ScaledWheelSteps(2, 3), 6);
    EXPECT_EQ(ScaledWheelSteps(-4, 10), -40);
    // A huge delta must not wrap round into the opposite direction.
    EXPECT_EQ(ScaledWheelSteps(30000, 10), 32767);
    EXPECT_EQ(ScaledWheelSteps(-30000, 10), -32768);
}

TEST_F(GearTrimTest, GTPReportsWheelThenRockerThenLever) {
    QDGTP_Module m;
    int v = 0;
    QDGTPControlVals r{3, 0x01 | 0x02};
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP_Module::CONTROL_WHEEL);
    EXPECT_EQ(v, 3);
    r.trim = 0;
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP_Module::CONTROL_ROCKER);
    EXPECT_EQ(v, -1);
    // The rocker is momentary: it keeps reporting while held.
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP_Module::CONTROL_ROCKER);
    r.switches = 0x01 | 0x04;
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP_Module::CONTROL_ROCKER);
    EXPECT_EQ(v, 1);
    r.switches = 0x01;
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP_Module::CONTROL_LEVER);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m.GetButton(&r, &v), -1);
    r.switches = 0x00;
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP_Module::CONTROL_LEVER);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(m.GetButton(&r, &v), -1);

    // Drained, a report with the wheel turned, the rocker held and the lever moved gives each
    // once: the lever no longer waits for the rocker's release.
    QDGTP_Module d;
    QDGTPControlVals all{3, 0x01 | 0x02};
    d.BeginReport();
    EXPECT_EQ(d.GetButton(&all, &v), QDGTP_Module::CONTROL_WHEEL);
    EXPECT_EQ(d.GetButton(&all, &v), QDGTP_Module::CONTROL_ROCKER);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(d.GetButton(&all, &v), QDGTP_Module::CONTROL_LEVER);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(d.GetButton(&all, &v), -1);
    d.EndReport();
}

TEST_F(GearTrimTest, GTPReassigningWheelToASwitchLeavesItUnbound) {
    QDGTP_Module m;
    m.AssignFunction('W', ELEV_TRIM, -1, -1);
    m.AssignFunction('W', ELEV_TRIM_NOSE_UP, -1, -1);
    EXPECT_EQ(m.wheel, nullptr);
    EXPECT_EQ(m.GetFunction('W'), NADA);
    hostsim::SetFloat(kElevTrim, 0.0f);
    m.HandleInput(QDGTP_Module::CONTROL_WHEEL, 5);
    EXPECT_EQ(hostsim::GetFloat(kElevTrim), 0.0f);
}

TEST_F(GearTrimTest, GTPLampsAreSentOnlyWhenTheyChange) {
    QDGTP_Module m;
    hostsim::SetInt("sim/aircraft/gear/acf_gear_retract", 1);
    hostsim::SetInt("sim/flightmodel/failures/onground_any", 0);
    hostsim::SetFloats("sim/aircraft/parts/acf_gear_deploy", {1.0f, 0.5f, 0.0f});
    m.SetDisplay();
    EXPECT_EQ(m.lastLamps, 0x80 | 0x04);
    hostsim::SetFloats("sim/aircraft/parts/acf_gear_deploy", {1.0f, 1.0f, 1.0f});
    m.SetDisplay();
    EXPECT_EQ(m.lastLamps, 0x80 | 0x08 | 0x20);
    // Older simulators keep the gear further into the array.
    gXPlaneVersion = 650;
    hostsim::AddDataref("sim/aircraft/parts/acf_gear_deploy", "float[60]", "0");
    FindGearDatarefs();
    hostsim::SetFloats("sim/aircraft/parts/acf_gear_deploy", {0.5f, 0.5f, 0.5f}, 52);
    m.SetDisplay();
    EXPECT_EQ(m.lastLamps, 0x40 | 0x04 | 0x10);
    m.Clear();
    EXPECT_EQ(m.lastLamps, 0);
}

TEST_F(GearTrimTest, GTP2ControlOrderAndThreePositionSwitch) {
    QDGTP2_Module m;
    m.lastButtons = 0x08; // switch held left
    m.lastLever = -1;
    int v = 0;
    QDGTP2ControlVals r{{0, 0, 2}, 0x01 | 0x20 | 0x00};
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP2_Module::CONTROL_WHEEL_C);
    EXPECT_EQ(v, -2); // the rudder wheel counts the other way round
    r.enc[2] = 0;
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP2_Module::CONTROL_LEVER);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP2_Module::CONTROL_ROCKER);
    EXPECT_EQ(v, -1);
    r.switches = 0x01;
    // Left to centre: control 3 with 0.
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP2_Module::CONTROL_SWITCH_LEFT);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(m.GetButton(&r, &v), -1);
    r.switches = 0x01 | 0x04;
    EXPECT_EQ(m.GetButton(&r, &v), QDGTP2_Module::CONTROL_SWITCH_RIGHT);
    EXPECT_EQ(v, 1);
}

} // namespace
