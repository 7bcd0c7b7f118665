// Gear-and-trim panels end to end: gear lever and lamps (with failures and the lamp swap fix),
// trim wheels with gains and reverse fixes, the rocker and the three-position switch.
#include "harness.h"

#include <cmath>

namespace e2e {
namespace {

constexpr const char* kGearHandle = "sim/cockpit/switches/gear_handle_status";
constexpr const char* kGearDeploy = "sim/aircraft/parts/acf_gear_deploy";
constexpr const char* kOnGround = "sim/flightmodel/failures/onground_any";
constexpr const char* kRetract = "sim/aircraft/gear/acf_gear_retract";
constexpr const char* kElevTrim = "sim/flightmodel/controls/elv_trim";
constexpr const char* kAilTrim = "sim/flightmodel/controls/ail_trim";
constexpr const char* kRudTrim = "sim/flightmodel/controls/rud_trim";
constexpr const char* kFuelSelector = "sim/cockpit/engine/fuel_tank_selector";

constexpr int kFlapsDown = 48; // button commands of FLAPS_UP_DOWN
constexpr int kFlapsUp = 47;

auto IntIs(const char* name, int value) {
    return [name, value] { return hostsim::GetInt(name) == value; };
}
auto FloatNear(const char* name, float value) {
    return [name, value] { return std::fabs(hostsim::GetFloat(name) - value) < 1e-4f; };
}

// An aircraft in flight with retractable gear at the given deployment ratios.
void InFlight(float r1, float r2, float r3) {
    hostsim::SetInt(kRetract, 1);
    hostsim::SetInt(kOnGround, 0);
    hostsim::SetFloats(kGearDeploy, {r1, r2, r3});
}

using GearTrimTest = DravTest;

TEST_F(GearTrimTest, GTPLeverDrivesTheGearAndLampsFollowItAndFailures) {
    WriteIni("[QDGTP_1]\nWHEEL_GAIN=3\n"); // defaults: ELEV_TRIM, LANDING_GEAR, FLAPS_UP_DOWN
    InFlight(1.0f, 1.0f, 1.0f);
    hostsim::SetInt(kGearHandle, 1);
    qdtest::Unit& gtp = Plug(GTP);
    gtp.press(1); // lever standing up
    ASSERT_TRUE(Start());

    EXPECT_EQ(hostsim::GetInt(kGearHandle), 0) << "registration pushes the lever position";
    // The device library always adds bits 0 and 1 to the lamp byte.
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == (0x80 | 0x08 | 0x20 | 0x03); }));

    InFlight(0.5f, 0.5f, 0.01f);
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == (0x40 | 0x04 | 0x03); }));

    gtp.release(1);
    EXPECT_TRUE(RunUntil(IntIs(kGearHandle, 1)));
    gtp.press(1);
    EXPECT_TRUE(RunUntil(IntIs(kGearHandle, 0)));

    // A failed gear shows transit; rel_lagear2 belongs to the third ratio.
    InFlight(1.0f, 1.0f, 1.0f);
    hostsim::SetInt("sim/operation/failures/rel_lagear2", 6);
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == (0x80 | 0x08 | 0x10 | 0x03); }));

    // Fixed gear: dark, except a failure still lights its transit lamp.
    hostsim::SetInt(kRetract, 0);
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == (0x10 | 0x03); }));
    hostsim::SetInt("sim/operation/failures/rel_lagear2", 0);
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == 0x03; }));

    // Nothing changes: no more lamp reports.
    const int reports = LampReports(gtp);
    hostsim::RunSeconds(1.5);
    Settle();
    EXPECT_EQ(LampReports(gtp), reports);
}

TEST_F(GearTrimTest, GTPOnGroundLampsFollowTheHandleAndGoDarkWithoutPower) {
    WriteIni("[QDGTP_1]\nFunctionL=\n"); // lever without function: the handle is moved by the sim
    hostsim::SetInt(kRetract, 1);
    hostsim::SetInt(kOnGround, 1);
    hostsim::SetInt(kGearHandle, 1);
    qdtest::Unit& gtp = Plug(GTP);
    gtp.press(1);
    ASSERT_TRUE(Start());
    EXPECT_EQ(hostsim::GetInt(kGearHandle), 1);
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == (0x80 | 0x08 | 0x20 | 0x03); }));
    hostsim::SetInt(kGearHandle, 0);
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == (0x40 | 0x04 | 0x10 | 0x03); }));
    SetPower(false);
    hostsim::SetInts("sim/cockpit/electrical/generator_on", {0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == 0x03; }));
    SetPower(true);
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp) == (0x40 | 0x04 | 0x10 | 0x03); }));
}

TEST_F(GearTrimTest, GTPWheelTunesTrimWithGainAndRockerStepsFlaps) {
    WriteIni("[QDGTP_1]\nWHEEL_GAIN=3\n");
    hostsim::SetFloat(kElevTrim, 0.0f);
    qdtest::Unit& gtp = Plug(GTP);
    ASSERT_TRUE(Start());

    gtp.turn(1, 2); // 2 detents x gain 3 = 6 steps of 0.005
    EXPECT_TRUE(RunUntil(FloatNear(kElevTrim, 0.03f)));
    gtp.turn(1, -1);
    EXPECT_TRUE(RunUntil(FloatNear(kElevTrim, 0.015f)));

    hostsim::ClearCommandLog();
    gtp.press(2);
    EXPECT_TRUE(
        RunUntil([] { return CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsDown) == 1; }));
    gtp.release(2);
    gtp.press(3);
    EXPECT_TRUE(RunUntil([] { return CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsUp) == 1; }));
    gtp.release(3);
    Settle();
    EXPECT_EQ(CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsDown), 1);
    EXPECT_EQ(CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsUp), 1);
}

TEST_F(GearTrimTest, GTPGainOutOfRangeIsClamped) {
    WriteIni("[QDGTP_1]\nWHEEL_GAIN=25\n");
    hostsim::SetFloat(kElevTrim, 0.0f);
    qdtest::Unit& gtp = Plug(GTP);
    ASSERT_TRUE(Start());
    gtp.turn(1, 1); // gain 10
    EXPECT_TRUE(RunUntil(FloatNear(kElevTrim, 0.05f)));
}

TEST_F(GearTrimTest, GTP2WheelsSwitchAndGear) {
    WriteIni("[CONFIG]\nQDGTP2RudderReverseFix=1\n"
             "[QDGTP2_1]\nWHEEL1_GAIN=2\nWHEEL3_GAIN=4\n");
    hostsim::SetFloat(kAilTrim, 0.0f);
    hostsim::SetFloat(kElevTrim, 0.0f);
    hostsim::SetFloat(kRudTrim, 0.0f);
    hostsim::SetInt(kFuelSelector, 0);
    hostsim::SetInt(kGearHandle, 0);
    qdtest::Unit& gtp2 = Plug(GTP2);
    gtp2.press(4); // three-position switch left (bit 3)
    ASSERT_TRUE(Start());
    EXPECT_EQ(hostsim::GetInt(kFuelSelector), 1) << "registration pushes the switch: FUEL_FEED_LEFT";
    EXPECT_EQ(hostsim::GetInt(kGearHandle), 1) << "lever bit clear: gear down";

    gtp2.turn(1, 3); // aileron, gain 2: 6 steps of 0.001
    EXPECT_TRUE(RunUntil(FloatNear(kAilTrim, 0.006f)));
    gtp2.turn(2, -2); // elevator, gain 1
    EXPECT_TRUE(RunUntil(FloatNear(kElevTrim, -0.01f)));
    // Rudder: the unit's delta is negated, and the reverse fix turns it back.
    gtp2.turn(3, 1);
    EXPECT_TRUE(RunUntil(FloatNear(kRudTrim, 0.004f)));

    gtp2.release(4); // left to centre
    EXPECT_TRUE(RunUntil(IntIs(kFuelSelector, 4)));
    gtp2.press(3); // right
    EXPECT_TRUE(RunUntil(IntIs(kFuelSelector, 3)));
    gtp2.release(3);
    EXPECT_TRUE(RunUntil(IntIs(kFuelSelector, 4)));

    gtp2.press(1);
    EXPECT_TRUE(RunUntil(IntIs(kGearHandle, 0)));

    hostsim::ClearCommandLog();
    gtp2.press(5); // rocker bit 4: flaps up
    EXPECT_TRUE(RunUntil([] { return CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsUp) == 1; }));
    gtp2.release(5);
    gtp2.press(6);
    EXPECT_TRUE(
        RunUntil([] { return CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsDown) == 1; }));
}

TEST_F(GearTrimTest, GTP2LampsWithAndWithoutTheSwapFix) {
    InFlight(1.0f, 0.5f, 0.0f);
    qdtest::Unit& gtp2 = Plug(GTP2);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp2) == (0x10 | 0x80); }));
    hostsim::SetInt("sim/operation/failures/rel_lagear3", 6); // second ratio: still transit
    hostsim::SetInt("sim/operation/failures/rel_lagear2", 6); // third ratio: transit
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp2) == (0x10 | 0x80 | 0x08); }));
    hostsim::UnloadPlugin();

    WriteIni("[CONFIG]\nQDGTP2LandingLightsReverseFix=1\n");
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Lamps(gtp2) == (0x20 | 0x40 | 0x04); }));
}

} // namespace
} // namespace e2e
