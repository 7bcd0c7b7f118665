// Per-aircraft profiles, end to end: aircraft loaded in the stand-in, profiles found in the plug-in
// folder and the aircraft folder, key-by-key fallback to DRAV.INI, bad profiles skipped, and
// files edited while flying picked up within a second.
#include <filesystem>
#include <fstream>

#include "harness.h"

namespace e2e {
namespace {

constexpr const char* kBeacon = "sim/cockpit/electrical/beacon_lights_on";
constexpr const char* kNav = "sim/cockpit/electrical/nav_lights_on";
constexpr const char* kTaxi = "sim/cockpit/electrical/taxi_light_on";
constexpr const char* kStrobe = "sim/cockpit/electrical/strobe_lights_on";

class ProfileTest : public DravTest {
  protected:
    // Makes <root>/Aircraft/<folder>/<name>.acf; returns its path.
    std::string Aircraft(const std::string& folder, const std::string& name) {
        const std::string dir = root_ + "/Aircraft/" + folder;
        std::filesystem::create_directories(dir);
        const std::string acf = dir + "/" + name + ".acf";
        WriteFile(acf, "I\n1100 version\n");
        return acf;
    }
    static void WriteFile(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }
    std::string UserProfile(const std::string& name) const {
        return PluginFolder() + "aircraft/" + name + ".ini";
    }

    // Presses and releases a push-button panel's button; true when the dataref toggled.
    bool Toggles(qdtest::Unit& pbx, int button, const char* dataref) {
        const int before = hostsim::GetInt(dataref);
        pbx.press(button);
        const bool toggled = RunUntil([&] { return hostsim::GetInt(dataref) != before; }, 1.0);
        pbx.release(button);
        Settle(0.1);
        return toggled;
    }
    static constexpr const char* kReloaded = "Settings changed on disk";
    // True when the n-th registration after an edit on disk came within a second (wall time: the
    // files are watched off the simulator's thread).
    bool Reloads(int n) {
        return RunUntil([&] { return Count(LogText(), kReloaded) >= n; }, 1.0);
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
};

TEST_F(ProfileTest, EachAircraftGetsItsProfileKeyByKey) {
    WriteIni("[DEBUG]\nDebugEnabled=1\nDebugDeviceInfo=1\n"
             "[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n");
    const std::string cessna = Aircraft("Cessna 172 Ünï", "C172 Ünï");
    const std::string boeing = Aircraft("B738", "b738");
    WriteFile(UserProfile("C172 Ünï"), "[QDPBX_1]\r\nFunction1=TAXI_LTS\r\n");
    hostsim::SetAircraft(cessna);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_NE(LogText().find("Settings profile: " + UserProfile("C172 Ünï") +
                             " (own profile of aircraft C172 Ünï)"),
              std::string::npos)
        << LogText();

    EXPECT_TRUE(Toggles(pbx, 1, kTaxi)) << "the aircraft's key";
    EXPECT_EQ(hostsim::GetInt(kBeacon), 0);
    EXPECT_TRUE(Toggles(pbx, 2, kNav)) << "a key the profile lacks comes from DRAV.INI";

    // Another aircraft, no profile: DRAV.INI alone, registered again on load.
    hostsim::LoadAircraft(boeing);
    hostsim::RunSeconds(0.6);
    EXPECT_TRUE(Toggles(pbx, 1, kBeacon));
    EXPECT_EQ(hostsim::GetInt(kTaxi), 1) << "left as the Cessna's button set it";
    EXPECT_NE(LogText().find("Settings profile: none for aircraft b738, DRAV.INI alone"), std::string::npos);

    hostsim::LoadAircraft(cessna);
    hostsim::RunSeconds(0.6);
    EXPECT_TRUE(Toggles(pbx, 1, kTaxi));
}

TEST_F(ProfileTest, ShippedProfileServesUntilTheUserHasOwnAndIsNeverWritten) {
    WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n");
    const std::string acf = Aircraft("Shipped", "shipped");
    const std::string shipped = root_ + "/Aircraft/Shipped/DRAV.INI";
    WriteFile(shipped, "[QDPBX_1]\nFunction1=STROBE_LTS\nFunction2=NADA\n");
    hostsim::SetAircraft(acf);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Toggles(pbx, 1, kStrobe));
    EXPECT_FALSE(Toggles(pbx, 2, kNav)) << "an explicit nothing wins over DRAV.INI";

    WriteFile(UserProfile("shipped"), "[QDPBX_1]\nFunction1=TAXI_LTS\n");
    hostsim::LoadAircraft(acf);
    hostsim::RunSeconds(0.6);
    EXPECT_TRUE(Toggles(pbx, 1, kTaxi)) << "the user's own profile comes first";
    EXPECT_TRUE(Toggles(pbx, 2, kNav)) << "and only it counts: no fall-through to the shipped one";
}

TEST_F(ProfileTest, UnreadableProfilesAreSkippedAndDravIniServes) {
    WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\n");
    const std::string folder = Aircraft("Bad", "folder");
    std::filesystem::create_directories(UserProfile("folder"));
    const std::string junk = Aircraft("Bad", "junk");
    static const char kJunk[] = "[QDPBX_1]\nFunction1=TAXI_LTS\n\0\x01\xff";
    WriteFile(UserProfile("junk"), std::string(kJunk, sizeof kJunk - 1));
    const std::string huge = Aircraft("Bad", "huge");
    WriteFile(UserProfile("huge"), "[QDPBX_1]\nFunction1=TAXI_LTS\n;" + std::string(1 << 20, 'x') + "\n");
    const std::string wide = Aircraft("Bad", "wide");
    WriteFile(UserProfile("wide"), "[QDPBX_1]\nFunction1=TAXI_LTS\n;" + std::string(100000, 'x') + "\n");
    // A name the simulator cuts at 255 bytes, and a path past its 512.
    const std::string longName = Aircraft("Bad", std::string(300, 'n'));
    const std::string deep = Aircraft(std::string(200, 'd') + "/" + std::string(200, 'e'), "deep");

    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    for (const std::string& acf : {folder, junk, huge, wide, longName, deep}) {
        hostsim::LoadAircraft(acf);
        hostsim::RunSeconds(0.6);
        EXPECT_TRUE(Toggles(pbx, 1, kBeacon)) << acf.substr(root_.size());
    }
    EXPECT_EQ(hostsim::GetInt(kTaxi), 0);
    const std::string log = hostsim::DebugLog();
    EXPECT_NE(log.find("DRAV: profile " + UserProfile("folder") + " skipped: it cannot be read"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("junk.ini skipped: it holds binary data"), std::string::npos);
    EXPECT_NE(log.find("huge.ini skipped: it is larger than 256 KiB"), std::string::npos);
    EXPECT_NE(log.find("wide.ini skipped: it has a line longer than 4096 characters"), std::string::npos);
}

TEST_F(ProfileTest, EditsWhileFlyingApplyWithinOneSecond) {
    WriteIni("[DEBUG]\nDebugEnabled=1\n[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n");
    const std::string acf = Aircraft("Live", "live");
    hostsim::SetAircraft(acf);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    Settle(0.6);

    // DRAV.INI edited by hand.
    WriteIni("[DEBUG]\nDebugEnabled=1\n[QDPBX_1]\nFunction1=STROBE_LTS\nFunction2=NAV_LTS\n");
    EXPECT_TRUE(Reloads(1));
    EXPECT_TRUE(Toggles(pbx, 1, kStrobe));

    // A profile copied in, then edited.
    WriteFile(UserProfile("live"), "[QDPBX_1]\nFunction2=TAXI_LTS\n");
    EXPECT_TRUE(Reloads(2));
    EXPECT_TRUE(Toggles(pbx, 2, kTaxi));
    WriteFile(UserProfile("live"), "[QDPBX_1]\nFunction1=BEACON_LTS\n");
    EXPECT_TRUE(Reloads(3));
    EXPECT_TRUE(Toggles(pbx, 1, kBeacon));
    EXPECT_TRUE(Toggles(pbx, 2, kNav));

    // Nothing changes: no more registrations.
    Settle(1.0);
    EXPECT_EQ(Count(LogText(), kReloaded), 3);
}

TEST_F(ProfileTest, HalfWrittenFileIsNeverApplied) {
    WriteIni("[DEBUG]\nDebugEnabled=1\n[QDPBX_1]\nFunction1=BEACON_LTS\n");
    hostsim::SetAircraft(Aircraft("Half", "half"));
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    Settle(0.6);

    // An editor saving slowly: the first part lands, one check may see it, then the rest. The
    // checks come four times a second; a file is read only once two of them saw it the same.
    for (int i = 0; i < 3; ++i) {
        WriteIni("[DEBUG]\nDebugEnabled=1\n[QDPBX_1]\n");
        Settle(0.1);
        WriteIni("[DEBUG]\nDebugEnabled=1\n[QDPBX_1]\nFunction1=STROBE_LTS\n" + std::string(i + 1, ';') +
                 "\n");
        Settle(0.1);
    }
    EXPECT_EQ(Count(LogText(), kReloaded), 0) << "nothing read while it kept changing";
    EXPECT_TRUE(Reloads(1));
    Settle(0.6);
    EXPECT_EQ(Count(LogText(), kReloaded), 1);
    EXPECT_TRUE(Toggles(pbx, 1, kStrobe));
}

} // namespace
} // namespace e2e
