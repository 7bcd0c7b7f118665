// Units plugged in while the simulator runs work at once, with their settings.
#include "harness.h"

namespace e2e {
namespace {

constexpr const char* kBeacon = "sim/cockpit/electrical/beacon_lights_on";
constexpr const char* kNav = "sim/cockpit/electrical/nav_lights_on";

class HotplugTest : public DravTest {};

TEST_F(HotplugTest, UnitPluggedInWhileFlyingWorksWithinASecond) {
    WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\n[QDPBX_2]\nFunction1=NAV_LTS\n");
    hostsim::SetInt(kBeacon, 1);
    hostsim::SetInt(kNav, 0);
    qdtest::Unit& first = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Lamps(first) == 0x01; }));

    // A second panel arrives: it takes the next index and its own section.
    hostsim::SetInt(kNav, 1);
    qdtest::Unit& second = Plug(PBX);
    EXPECT_TRUE(RunUntil([&] { return Lamps(second) == 0x01; }, 1.0));
    second.press(1);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt(kNav) == 0; }, 1.0));
    second.release(1);
    EXPECT_EQ(hostsim::GetInt(kBeacon), 1) << "the first panel's function is untouched";
}

TEST_F(HotplugTest, ReplugKeepsTheIndexAndTheSettings) {
    WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\n[QDPBX_2]\nFunction1=NAV_LTS\n");
    hostsim::SetInt(kBeacon, 0);
    hostsim::SetInt(kNav, 1);
    qdtest::Unit& first = Plug(PBX);
    qdtest::Unit& second = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Lamps(second) == 0x01; }));

    second.unplug();
    Settle();
    const int reports = LampReports(second);
    second.replug();
    // Still unit 2: its lamp is sent again from NAV_LTS, and its button toggles the nav lights.
    EXPECT_TRUE(RunUntil([&] { return LampReports(second) > reports && Lamps(second) == 0x01; }, 1.0));
    second.press(1);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt(kNav) == 0; }, 1.0));
    second.release(1);
    EXPECT_EQ(hostsim::GetInt(kBeacon), 0);
    EXPECT_EQ(Lamps(first), 0x00);
}

} // namespace
} // namespace e2e
