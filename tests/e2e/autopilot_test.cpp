// Autopilot panels and the navigation-display panel, end to end: displays and lamps from the
// simulator, tuning, the disengage bar, the x737 aircraft's commands, taking panels away from
// the plug-in, and the nav-display selectors, toggles and knobs.
#include "harness.h"

#include <cmath>

namespace e2e {
namespace {

constexpr const char* kApMode = "sim/cockpit/autopilot/autopilot_mode";
constexpr const char* kHeading = "sim/cockpit/autopilot/heading_mag";
constexpr const char* kCourse = "sim/cockpit/radios/nav1_obs_degm";
constexpr const char* kSpeed = "sim/cockpit/autopilot/airspeed";
constexpr const char* kVvi = "sim/cockpit/autopilot/vertical_velocity";
constexpr const char* kAltitude = "sim/cockpit/autopilot/altitude";
constexpr const char* kRange = "sim/cockpit/switches/EFIS_map_range_selector";
constexpr const char* kSubmode = "sim/cockpit/switches/EFIS_map_submode";
constexpr const char* kDme1 = "sim/cockpit/switches/EFIS_dme_1_selector";
constexpr const char* kBaro = "sim/cockpit/misc/barometer_setting";
constexpr const char* kApxDisabled = "tamsworth/drav/apx_disabled";
constexpr const char* kNdcDisabled = "tamsworth/drav/ndc_disabled";
// Button number of the simulator's autopilot disengage command, and of "no command".
constexpr int kJoyDisengage = 59;
constexpr int kJoyNothing = 0;
// x737 support on, as another plug-in asks for it.
constexpr int kX737On = static_cast<int>(0x8888888E);
constexpr int kAircraftLoaded = 102;

auto IntIs(const char* name, int value) {
    return [name, value] { return hostsim::GetInt(name) == value; };
}

void SetAutopilotTargets() {
    hostsim::SetFloat(kCourse, 90.0f);
    hostsim::SetFloat(kHeading, 270.0f);
    hostsim::SetFloat(kSpeed, 250.0f);
    hostsim::SetFloat(kVvi, -500.0f);
    hostsim::SetFloat(kAltitude, 10000.0f);
}

class AutopilotTest : public DravTest {
  protected:
    static std::string Display(const qdtest::Unit& u, uint8_t id) { return DecodeSegments(Feature(u, id)); }
    // QD-APX lamps: a big-endian 32-bit word; -1 when never sent.
    static int64_t ApxLamps(const qdtest::Unit& u) {
        const std::vector<uint8_t> f = Feature(u, 15);
        if (f.size() != 4) return -1;
        return (int64_t{f[0]} << 24) | (f[1] << 16) | (f[2] << 8) | f[3];
    }
    static int Presses(int button) { return CountCommands(hostsim::CommandKind::ButtonPress, "", button); }
    static int Once(const std::string& name) { return CountCommands(hostsim::CommandKind::Once, name); }
};

TEST_F(AutopilotTest, ApcShowsTargetsLightsLampsAndTunes) {
    SetAutopilotTargets();
    hostsim::SetInt(kApMode, 2);
    qdtest::Unit& apc = Plug(APC); // no section: every control keeps its default function
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] {
        return Display(apc, 3) == "090" && Display(apc, 5) == "270" && Display(apc, 7) == "250" &&
               Display(apc, 9) == " -0500" && Display(apc, 11) == " 10000";
    })) << Display(apc, 3)
        << "|" << Display(apc, 5) << "|" << Display(apc, 7) << "|" << Display(apc, 9) << "|"
        << Display(apc, 11);
    EXPECT_TRUE(RunUntil([&] { return Feature(apc, 13) == std::vector<uint8_t>{0x80}; })) << "A/P CMD lamp";

    apc.turn(2, 5); // HDG knob
    EXPECT_TRUE(RunUntil([] { return std::lround(hostsim::GetFloat(kHeading)) == 275; }));
    EXPECT_TRUE(RunUntil([&] { return Display(apc, 5) == "275"; })) << Display(apc, 5);
    apc.turn(3, -10); // IAS knob
    EXPECT_TRUE(RunUntil([] { return std::lround(hostsim::GetFloat(kSpeed)) == 240; }));

    apc.press(8); // A/P CMD button toggles the autopilot off; its lamp goes out
    EXPECT_TRUE(RunUntil(IntIs(kApMode, 0)));
    EXPECT_TRUE(RunUntil([&] { return Feature(apc, 13) == std::vector<uint8_t>{0x00}; }));
    apc.release(8);

    SetPower(false);
    EXPECT_TRUE(RunUntil([&] { return Display(apc, 3) == "   " && Display(apc, 11) == "      "; }));
}

TEST_F(AutopilotTest, ApcDisengageBarClearMeansDisengaged) {
    qdtest::Unit& apc = Plug(APC);
    ASSERT_TRUE(Start());
    const int disengaged = Presses(kJoyDisengage);
    const int nothing = Presses(kJoyNothing);
    EXPECT_EQ(disengaged, 1) << "the lifted bar is pushed when the unit is first registered";

    apc.press(9); // bar pushed down: the autopilot may engage
    EXPECT_TRUE(RunUntil([&] { return Presses(kJoyNothing) == nothing + 1; }));
    EXPECT_EQ(Presses(kJoyDisengage), disengaged);
    apc.release(9); // bar lifted: disengage
    EXPECT_TRUE(RunUntil([&] { return Presses(kJoyDisengage) == disengaged + 1; }));

    // Registration pushes the bar's position in the same sense.
    hostsim::SendMessage(0, kAircraftLoaded, 0);
    EXPECT_TRUE(RunUntil([&] { return Presses(kJoyDisengage) == disengaged + 2; }));
    apc.press(9);
    EXPECT_TRUE(RunUntil([&] { return Presses(kJoyNothing) == nothing + 2; }));
    hostsim::SendMessage(0, kAircraftLoaded, 0);
    EXPECT_TRUE(RunUntil([&] { return Presses(kJoyNothing) == nothing + 3; }));
    Settle();
    EXPECT_EQ(Presses(kJoyDisengage), disengaged + 2);
}

TEST_F(AutopilotTest, ApxShowsTargetsAndLampsAndTunes) {
    SetAutopilotTargets();
    hostsim::SetInt(kApMode, 2);
    qdtest::Unit& apx = Plug(APX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] {
        return Display(apx, 3) == "090" && Display(apx, 5) == "  250" && Display(apx, 7) == "270  " &&
               Display(apx, 9) == "10000" && Display(apx, 11) == "-0500" && Display(apx, 13) == "090";
    })) << Display(apx, 3)
        << "|" << Display(apx, 5) << "|" << Display(apx, 7) << "|" << Display(apx, 9) << "|"
        << Display(apx, 11) << "|" << Display(apx, 13);
    EXPECT_EQ(Feature(apx, 14), std::vector<uint8_t>{15}) << "brightness from the shared level";
    EXPECT_TRUE(RunUntil([&] { return ApxLamps(apx) >= 0 && (ApxLamps(apx) & 0xC) == 0xC; }))
        << ApxLamps(apx);

    apx.turn(4, 2); // ALT knob: 100 ft steps
    EXPECT_TRUE(RunUntil([] { return std::lround(hostsim::GetFloat(kAltitude)) == 10200; }));
    EXPECT_TRUE(RunUntil([&] { return Display(apx, 9) == "10200"; })) << Display(apx, 9);
    apx.press(3); // A/P CMD A: autopilot off, both CMD lamps out
    EXPECT_TRUE(RunUntil(IntIs(kApMode, 0)));
    EXPECT_TRUE(RunUntil([&] { return (ApxLamps(apx) & 0xC) == 0; })) << ApxLamps(apx);
    apx.release(3);

    // Bar lifted (its bit clear) disengages, pushed down does not.
    const int disengaged = Presses(kJoyDisengage);
    apx.press(23);
    apx.release(23);
    EXPECT_TRUE(RunUntil([&] { return Presses(kJoyDisengage) == disengaged + 1; }));
}

TEST_F(AutopilotTest, ApxTakenAwayByAnotherPluginAndHandedBack) {
    SetAutopilotTargets();
    hostsim::SetInt(kApMode, 2);
    qdtest::Unit& apx = Plug(APX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Display(apx, 9) == "10000" && (ApxLamps(apx) & 0xC) == 0xC; }));

    ASSERT_TRUE(hostsim::SetInt(kApxDisabled, 1));
    Settle();
    apx.clear_outputs();
    apx.turn(4, 3);
    apx.press(3);
    apx.release(3);
    hostsim::SetFloat(kHeading, 123.0f);
    hostsim::RunSeconds(1.0);
    Settle();
    EXPECT_EQ(std::lround(hostsim::GetFloat(kAltitude)), 10000) << "the knob belongs to the other plug-in";
    EXPECT_EQ(hostsim::GetInt(kApMode), 2);
    EXPECT_TRUE(apx.outputs().empty()) << "nothing is sent to a panel taken away";

    ASSERT_TRUE(hostsim::SetInt(kApxDisabled, 0));
    EXPECT_TRUE(RunUntil([&] {
        return Display(apx, 3) == "090" && Display(apx, 5) == "  250" && Display(apx, 7) == "123  " &&
               Display(apx, 9) == "10000" && Display(apx, 11) == "-0500" && Display(apx, 13) == "090" &&
               ApxLamps(apx) >= 0;
    })) << "everything is sent again once the panel is handed back";
}

TEST_F(AutopilotTest, ApxDrivesX737Commands) {
    qdtest::Unit& apx = Plug(APX);
    ASSERT_TRUE(Start());
    EXPECT_EQ(Once("x737/mcp/AP_DISCONNECT_ON"), 0);

    // Switching x737 support on registers the panel again and pushes its latching switches.
    hostsim::SendMessage(1, kX737On, 0);
    EXPECT_TRUE(RunUntil([&] { return Once("x737/mcp/AP_DISCONNECT_ON") == 1; }));
    const int simDisengage = Presses(kJoyDisengage);
    EXPECT_EQ(Once("x737/mcp/ATHR_ARM_OFF"), 1);
    EXPECT_EQ(Once("x737/mcp/FD_A_OFF"), 1);
    EXPECT_EQ(Once("x737/mcp/FD_B_OFF"), 1);

    apx.press(23); // disengage bar down
    EXPECT_TRUE(RunUntil([&] { return Once("x737/mcp/AP_DISCONNECT_OFF") == 1; }));
    apx.release(23); // lifted
    EXPECT_TRUE(RunUntil([&] { return Once("x737/mcp/AP_DISCONNECT_ON") == 2; }));
    apx.press(5); // A/T arm switch on
    EXPECT_TRUE(RunUntil([&] { return Once("x737/mcp/ATHR_ARM_ON") == 1; }));
    apx.press(1); // VNAV button: toggles on press only
    EXPECT_TRUE(RunUntil([&] { return Once("x737/mcp/VNAV_TOGGLE") == 1; }));
    apx.release(1);
    apx.press(3); // CMD A
    EXPECT_TRUE(RunUntil([&] { return Once("x737/mcp/CMDA_TOGGLE") == 1; }));
    Settle();
    EXPECT_EQ(Once("x737/mcp/VNAV_TOGGLE"), 1);
    EXPECT_EQ(Presses(kJoyDisengage), simDisengage) << "the simulator's own commands are not used";
}

TEST_F(AutopilotTest, NavDisplaySelectorsTogglesAndKnobs) {
    hostsim::SetInt(kRange, 2);
    hostsim::SetInt(kSubmode, 2);
    hostsim::SetInt(kDme1, 1);
    hostsim::SetFloat(kBaro, 30.10f);
    qdtest::Unit& ndc = Plug(NDC);
    ASSERT_TRUE(Start());
    // Registration pushes the selectors' positions: APP and 10 NM.
    EXPECT_EQ(hostsim::GetInt(kSubmode), 0);
    EXPECT_EQ(hostsim::GetInt(kRange), 0);
    EXPECT_EQ(hostsim::GetInt(kDme1), 1) << "a toggle in its middle position pushes nothing";

    ndc.selector(2, 1); // 10 NM to 20 NM
    EXPECT_TRUE(RunUntil(IntIs(kRange, 1)));
    ndc.selector(2, 5);
    EXPECT_TRUE(RunUntil(IntIs(kRange, 5)));
    ndc.selector(1, 2); // MAP
    EXPECT_TRUE(RunUntil(IntIs(kSubmode, 2)));
    ndc.selector(2, 7); // a position the range selector does not have: ignored
    Settle();
    EXPECT_EQ(hostsim::GetInt(kRange), 5);
    ndc.selector(2, 0);
    EXPECT_TRUE(RunUntil(IntIs(kRange, 0)));

    ndc.press(18); // toggle to VOR1
    EXPECT_TRUE(RunUntil(IntIs(kDme1, 2)));
    ndc.release(18);
    EXPECT_TRUE(RunUntil(IntIs(kDme1, 1)));

    ndc.turn(2, 3); // BARO knob: 0.01 inHg steps
    EXPECT_TRUE(RunUntil([] { return std::fabs(hostsim::GetFloat(kBaro) - 30.13f) < 1e-3f; }));
    ndc.press(13); // BARO push: standard setting
    EXPECT_TRUE(RunUntil([] { return std::fabs(hostsim::GetFloat(kBaro) - 29.92f) < 1e-3f; }));
    ndc.release(13);

    ASSERT_TRUE(hostsim::SetInt(kNdcDisabled, 1));
    ndc.selector(2, 3);
    ndc.turn(2, 5);
    Settle();
    EXPECT_EQ(hostsim::GetInt(kRange), 0) << "a disabled panel is left to the other plug-in";
    EXPECT_NEAR(hostsim::GetFloat(kBaro), 29.92f, 1e-3f);
}

} // namespace
} // namespace e2e
