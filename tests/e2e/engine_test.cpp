// Engine-control units end to end: throttle quadrant levers with calibration, reverse and beta;
// engine control panel switches, magnetos and start; starter selector commands.
#include "harness.h"

#include <cmath>

namespace e2e {
namespace {

constexpr const char* kThrottle = "sim/flightmodel/engine/ENGN_thro";
constexpr const char* kPropMode = "sim/flightmodel/engine/ENGN_propmode";
constexpr const char* kMixture = "sim/flightmodel/engine/ENGN_mixt";
constexpr const char* kFlaps = "sim/flightmodel/controls/flaprqst";
constexpr const char* kIgnition = "sim/cockpit/engine/ignition_on";
constexpr const char* kGearHandle = "sim/cockpit/switches/gear_handle_status";
constexpr const char* kBattery = "sim/cockpit/electrical/battery_on";
constexpr const char* kCowl = "sim/flightmodel/engine/ENGN_cowl";

constexpr int kStartAll = 1;   // button command of ENG_ALL_START
constexpr int kFlapsDown = 48; // button commands of FLAPS_UP_DOWN
constexpr int kFlapsUp = 47;

auto IntIs(const char* name, int value) {
    return [name, value] { return hostsim::GetInt(name) == value; };
}
auto ElementNear(const char* name, int element, float value) {
    return [name, element, value] {
        const std::vector<float> v = hostsim::GetFloats(name);
        return static_cast<int>(v.size()) > element && std::fabs(v[element] - value) < 1e-3f;
    };
}
auto IntElementIs(const char* name, int element, int value) {
    return [name, element, value] {
        const std::vector<int> v = hostsim::GetInts(name);
        return static_cast<int>(v.size()) > element && v[element] == value;
    };
}

using EngineTest = DravTest;

// ---- QD-THQ ----------------------------------------------------------------------------------------

TEST_F(EngineTest, THQLeversCalibrateThemselvesAndDriveTheirAxes) {
    WriteIni("[QDTHQ_1]\nFunctionA=ENG_1_THROTTLE\nFunctionB=ENG_2_MIXTURE\nFunctionC=FLAPS\n"
             "FLAP_NULL_ZONE=0.5\n");
    hostsim::SetInts(kPropMode, {1, 1});
    qdtest::Unit& thq = Plug(THQ);
    ASSERT_TRUE(Start());

    // Engine levers read low when pushed forward: the first sweep sets the calibrated range.
    thq.lever(1, 0);
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 1.0f)));
    thq.lever(1, 255);
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 0.0f)));
    thq.lever(1, 128); // (128 - 3) / (252 - 3) from the back
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 1.0f - 125.0f / 249.0f)));
    // Jitter of two steps is ignored; three are processed.
    hostsim::SetFloats(kThrottle, {0.25f});
    thq.lever(1, 130);
    Settle();
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kThrottle)[0], 0.25f);
    thq.lever(1, 131);
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 1.0f - 128.0f / 249.0f)));

    thq.lever(2, 0);
    EXPECT_TRUE(RunUntil(ElementNear(kMixture, 1, 1.0f)));
    thq.lever(2, 255);
    EXPECT_TRUE(RunUntil(ElementNear(kMixture, 1, 0.0f)));
    thq.lever(2, 3);
    EXPECT_TRUE(RunUntil(ElementNear(kMixture, 1, 1.0f)));

    // Flaps: the lower half of the travel is the null zone, the top half spans all flaps.
    thq.lever(3, 0);
    Settle();
    thq.lever(3, 255);
    EXPECT_TRUE(RunUntil([] { return std::fabs(hostsim::GetFloat(kFlaps) - 1.0f) < 1e-3f; }));
    thq.lever(3, 100);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetFloat(kFlaps) == 0.0f; }));
    thq.lever(3, 190); // t = 0.75: half flaps
    EXPECT_TRUE(RunUntil([] { return std::fabs(hostsim::GetFloat(kFlaps) - 0.502f) < 0.01f; }));
}

TEST_F(EngineTest, THQReverseAndBetaPoints) {
    WriteIni("[QDTHQ_1]\nFunctionA=ENG_1_THROTTLE\nFunctionE=ENG_2_THROTTLE\nTHROTTLE_REVERSE=0.2\n"
             "THROTTLE_BETA=0.3\nREVERSER_POWER=0.6\n");
    hostsim::SetInt("sim/aircraft/prop/acf_revthrust_eq", 1);
    hostsim::SetInt("sim/aircraft/overflow/acf_has_beta", 1);
    hostsim::SetFloat("sim/aircraft/engine/acf_throtmax_REV", 0.5f);
    hostsim::SetInts(kPropMode, {1, 1});
    qdtest::Unit& thq = Plug(THQ);
    ASSERT_TRUE(Start());

    // A frame handles the newest positions only, so each end of the sweep is waited for.
    thq.lever(1, 0);
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 1.0f)));
    thq.lever(1, 255); // the bottom of the travel: full reverse
    EXPECT_TRUE(RunUntil(IntElementIs(kPropMode, 0, 3)));
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 0.5f)));
    thq.lever(1, 190); // v = 0.25: beta, no thrust
    EXPECT_TRUE(RunUntil(IntElementIs(kPropMode, 0, 2)));
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 0.0f)));
    thq.lever(1, 3); // full forward
    EXPECT_TRUE(RunUntil(IntElementIs(kPropMode, 0, 1)));
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 1.0f)));

    // A feathered propeller keeps its mode whatever the lever does.
    hostsim::SetInts(kPropMode, {0});
    thq.lever(1, 255);
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 0, 0.5f)));
    EXPECT_EQ(hostsim::GetInts(kPropMode)[0], 0);

    // Lever E's end switch (raw bit 0) at idle: reverse at the reverser power, even with no
    // reverse travel below the point.
    WriteIni("[QDTHQ_1]\nFunctionE=ENG_2_THROTTLE\nREVERSER_POWER=0.6\n");
    hostsim::SendMessage(0, 102, 0); // aircraft loaded: registered again, maxima read again
    hostsim::RunSeconds(0.6);
    thq.lever(5, 0);
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 1, 1.0f)));
    thq.lever(5, 255);
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 1, 0.0f)));
    EXPECT_TRUE(RunUntil(IntElementIs(kPropMode, 1, 1)));
    thq.press(1);
    EXPECT_TRUE(RunUntil(IntElementIs(kPropMode, 1, 3)));
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 1, 0.3f)));
    thq.release(1);
    EXPECT_TRUE(RunUntil(IntElementIs(kPropMode, 1, 1)));
    EXPECT_TRUE(RunUntil(ElementNear(kThrottle, 1, 0.0f)));
}

TEST_F(EngineTest, THQLeverWithoutFunctionWritesNothing) {
    WriteIni("[QDTHQ_1]\nFunctionA=ENG_ALL_THROTTLE\n");
    hostsim::SetInts(kPropMode, {1, 1, 1, 1, 1, 1, 1, 1});
    hostsim::SetFloats(kThrottle, {0.4f, 0.4f});
    qdtest::Unit& thq = Plug(THQ);
    ASSERT_TRUE(Start());
    thq.lever(1, 0);
    thq.lever(1, 255);
    thq.lever(2, 0);
    Settle();
    EXPECT_EQ(hostsim::GetFloats(kThrottle)[0], 0.4f);
    EXPECT_EQ(hostsim::GetFloats(kThrottle)[1], 0.4f);
}

// ---- QD-ECP ----------------------------------------------------------------------------------------

// Report bytes of a panel at rest: selector at the given position, every switch off, gear down,
// cowl flaps closed, wing flaps centred.
void EcpAtRest(qdtest::Unit& ecp, int position) {
    ecp.set_byte(1, static_cast<uint8_t>(1u << (7 - position)), false);
    ecp.set_byte(2, 0x55, false);
    ecp.set_byte(3, 0x4A, false);
}

TEST_F(EngineTest, ECPMagnetoSelectorAndStart) {
    hostsim::SetInts(kIgnition, {0, 0, 0, 0, 0, 0, 0, 0});
    qdtest::Unit& ecp = Plug(ECP);
    EcpAtRest(ecp, 4); // BOTH
    ASSERT_TRUE(Start());
    EXPECT_EQ(hostsim::GetInts(kIgnition)[0], 3) << "registration pushes the selector position";
    EXPECT_EQ(hostsim::GetInt(kGearHandle), 1);
    EXPECT_EQ(hostsim::GetInt(kBattery), 0);
    EXPECT_EQ(CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsDown), 0);
    EXPECT_EQ(CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsUp), 0);

    hostsim::ClearCommandLog();
    ecp.selector(1, 5); // START
    EXPECT_TRUE(
        RunUntil([] { return CountCommands(hostsim::CommandKind::ButtonPress, "", kStartAll) == 1; }));
    EXPECT_EQ(CountCommands(hostsim::CommandKind::ButtonRelease, "", kStartAll), 0) << "held while in START";
    ecp.selector(1, 4);
    EXPECT_TRUE(
        RunUntil([] { return CountCommands(hostsim::CommandKind::ButtonRelease, "", kStartAll) == 1; }));

    ecp.selector(1, 1); // OFF
    EXPECT_TRUE(RunUntil(IntElementIs(kIgnition, 7, 0)));
    ecp.selector(1, 2); // LEFT
    EXPECT_TRUE(RunUntil(IntElementIs(kIgnition, 0, 1)));
    ecp.selector(1, 3); // RIGHT
    EXPECT_TRUE(RunUntil(IntElementIs(kIgnition, 0, 2)));
    // Between detents the unit sends nothing to act on.
    ecp.selector(1, 0);
    Settle();
    EXPECT_EQ(hostsim::GetInts(kIgnition)[0], 2);
}

TEST_F(EngineTest, ECPSwitchesGearCowlAndWingFlaps) {
    WriteIni("[QDECP_1]\nFunction01=BATTERY_MASTER\nFunction20=FLAPS_UP_DOWN\n");
    hostsim::SetInt(kBattery, 1);
    qdtest::Unit& ecp = Plug(ECP);
    EcpAtRest(ecp, 4);
    ASSERT_TRUE(Start());
    EXPECT_EQ(hostsim::GetInt(kBattery), 0) << "the switch standing off pushes off";

    ecp.set_byte(3, 0x4A | 0x04); // switch 0 on (b3 bit 2)
    EXPECT_TRUE(RunUntil(IntIs(kBattery, 1)));
    ecp.set_byte(3, 0x4A | 0x04 | 0x80); // gear switch (b3 bit 7): gear up
    EXPECT_TRUE(RunUntil(IntIs(kGearHandle, 0)));
    hostsim::SetFloats(kCowl, {1.0f});
    ecp.set_byte(3, 0x4A | 0x04 | 0x80 | 0x10); // cowl flaps (b3 bit 4) open: on value 0
    EXPECT_TRUE(RunUntil(ElementNear(kCowl, 0, 0.0f)));
    ecp.set_byte(3, 0x4A | 0x04 | 0x80);
    EXPECT_TRUE(RunUntil(ElementNear(kCowl, 0, 1.0f)));
    ecp.set_byte(3, 0x4A | 0x04);
    EXPECT_TRUE(RunUntil(IntIs(kGearHandle, 1)));

    // The wing-flaps switch steps once per report while held: byte 2 (b1 bit 0) is +1, flaps up.
    hostsim::ClearCommandLog();
    ecp.set_byte(1, (1u << 3) | 0x01);
    EXPECT_TRUE(RunUntil([] { return CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsUp) == 1; }));
    ecp.set_byte(1, 1u << 3);
    ecp.set_byte(3, 0x0A | 0x04); // b3 bit 6 clear: byte 1, -1
    EXPECT_TRUE(
        RunUntil([] { return CountCommands(hostsim::CommandKind::ButtonPress, "", kFlapsDown) == 1; }));
}

// ---- QD-SSM ----------------------------------------------------------------------------------------

TEST_F(EngineTest, SSMStartersIgnitionAndMagnetos) {
    hostsim::SetFloats(kMixture, {0.0f, 0.0f});
    qdtest::Unit& ssm = Plug(SSM);
    // Selectors 1, 2 and 3 at 2 (OFF, BOTH, OFF), set without sending a report.
    ssm.set_byte(1, 0x81, false);
    ASSERT_TRUE(Start());
    hostsim::ClearCommandLog();

    ssm.selector(1, 1); // engine 1 START
    EXPECT_TRUE(RunUntil(
        [] { return CountCommands(hostsim::CommandKind::Begin, "sim/starters/engage_starter_1") == 1; }));
    EXPECT_EQ(CountCommands(hostsim::CommandKind::Once, "sim/igniters/igniter_contin_on_1"), 1);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[0], 1.0f);
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[1], 0.0f);
    ssm.selector(1, 2);
    EXPECT_TRUE(RunUntil(
        [] { return CountCommands(hostsim::CommandKind::End, "sim/starters/engage_starter_1") == 1; }));
    EXPECT_EQ(CountCommands(hostsim::CommandKind::Once, "sim/igniters/igniter_contin_off_1"), 1);

    // Engine 2 on selector 3.
    ssm.selector(3, 1);
    EXPECT_TRUE(RunUntil(
        [] { return CountCommands(hostsim::CommandKind::Begin, "sim/starters/engage_starter_2") == 1; }));
    EXPECT_FLOAT_EQ(hostsim::GetFloats(kMixture)[1], 1.0f);

    // Magneto selector: LEFT then RIGHT, for both engines.
    ssm.selector(2, 3);
    EXPECT_TRUE(RunUntil(
        [] { return CountCommands(hostsim::CommandKind::Once, "sim/magnetos/magnetos_left_2") == 1; }));
    EXPECT_EQ(CountCommands(hostsim::CommandKind::Once, "sim/magnetos/magnetos_left_1"), 1);
    ssm.selector(2, 1);
    EXPECT_TRUE(RunUntil(
        [] { return CountCommands(hostsim::CommandKind::Once, "sim/magnetos/magnetos_right_2") == 1; }));

    // Start selector 1 turned from OFF straight to 4 in one report: nothing until it passes 3.
    hostsim::ClearCommandLog();
    ssm.selector(1, 4);
    Settle();
    EXPECT_TRUE(hostsim::CommandLog().empty());
    ssm.selector(1, 3);
    EXPECT_TRUE(RunUntil(
        [] { return CountCommands(hostsim::CommandKind::Once, "sim/igniters/igniter_contin_on_1") == 1; }));
    ssm.selector(1, 4);
    EXPECT_TRUE(RunUntil(
        [] { return CountCommands(hostsim::CommandKind::Once, "sim/igniters/igniter_contin_on_1") == 2; }));
}

} // namespace
} // namespace e2e
