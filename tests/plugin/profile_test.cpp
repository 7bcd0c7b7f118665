// The profile layer in process: with no profile it reads exactly as XP_ReadIniPref does; with one,
// unit and [CONFIG] keys come from it first and [DEBUG] does not; writes go to the chosen file.
#include "core/globals.h"
#include "core/log.h"
#include "core/profile.h"
#include "core/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {
std::string g_root; // the simulator's root folder, with its trailing separator
std::string g_host_log;
} // namespace

extern "C" void XPLMGetSystemPath(char* out) { snprintf(out, 512, "%s", g_root.c_str()); }
extern "C" const char* XPLMGetDirectorySeparator() { return "/"; }
extern "C" void XPLMDebugString(const char* text) { g_host_log += text; }
extern "C" void XPLMGetNthAircraftModel(int, char* file, char* path) { file[0] = path[0] = '\0'; }

namespace {

class ProfileLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/drav-profile-XXXXXX";
        root_ = mkdtemp(tmpl);
        g_root = root_.string() + "/";
        dir_ = root_ / "Resources" / "plugins" / "DRAV";
        fs::create_directories(dir_ / "aircraft");
        fs::create_directories(root_ / "Aircraft" / "Twin");
        DRAV_CacheLogPath();
        g_DRAV_DebugEnabled = 0;
        g_host_log.clear();
    }
    void TearDown() override {
        DRAV_SelectProfileFor("", "");
        fs::remove_all(root_);
    }

    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Select() { DRAV_SelectProfileFor("Twin.acf", (root_ / "Aircraft" / "Twin" / "Twin.acf").c_str()); }
    static std::string Layered(const char* section, const char* key, DRAV_PrefOrigin* origin = nullptr) {
        char out[256];
        DRAV_ReadLayeredPref(section, key, out, sizeof out, "dflt", origin);
        return out;
    }
    static std::string Plain(const char* section, const char* key) {
        char out[256];
        XP_ReadIniPref(kDravIniFile, section, key, out, "dflt");
        return out;
    }

    fs::path root_, dir_;
};

TEST_F(ProfileLayer, WithoutProfileReadsExactlyAsDravIni) {
    const std::string long_value(300, 'v');
    for (const char* eol : {"\n", "\r\n", "\n\r", "\r"}) {
        const std::string e = eol;
        Write(dir_ / "DRAV.INI", "; c" + e + "[QDRSX_1]" + e + ";Function1=C" + e + "Function1=COM1_DUAL" + e +
                                     "Function12=X" + e + "FunctionL" + e + "Long=" + long_value + e +
                                     "[QDRSX_2]" + e + "Function2=Y" + e + "[QDRSX_1]" + e + "Function3=Z" + e);
        Select();
        for (const char* section : {"QDRSX_1", "QDRSX_2", "NONE"})
            for (const char* key : {"Function1", "Function2", "Function3", "FunctionL", "Long", "QDRSX", "Function12"})
                EXPECT_EQ(Layered(section, key), Plain(section, key)) << section << " " << key << " eol " << int(eol[0]);
    }
}

TEST_F(ProfileLayer, ProfileWinsKeyByKeyForUnitsAndConfigButNotDebug) {
    Write(dir_ / "DRAV.INI", "[DEBUG]\nDebugDeviceInfo=1\n[CONFIG]\nElevatorTrimIncrement=0.01\n"
                             "QKNBReverseFix=1\n[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n");
    Write(root_ / "Aircraft" / "Twin" / "DRAV.INI", "[DEBUG]\nDebugDeviceInfo=0\n[CONFIG]\nElevatorTrimIncrement=0.02\n"
                                                    "[QDPBX_1]\nFunction1=TAXI_LTS\nFunction2=\n");
    Select();
    EXPECT_EQ(DRAV_Profile().source, DRAV_ProfileSource::Aircraft);
    DRAV_PrefOrigin origin{};
    EXPECT_EQ(Layered("QDPBX_1", "Function1", &origin), "TAXI_LTS");
    EXPECT_EQ(origin, DRAV_PrefOrigin::Profile);
    EXPECT_EQ(Layered("QDPBX_1", "Function2", &origin), "") << "an empty key in the profile still counts";
    EXPECT_EQ(origin, DRAV_PrefOrigin::Profile);
    EXPECT_EQ(Layered("QDPBX_1", "Function3", &origin), "dflt");
    EXPECT_EQ(origin, DRAV_PrefOrigin::Default);

    DRAV_ReadDebugSettings();
    DRAV_ReadConfigSettings();
    EXPECT_EQ(g_DRAV_DebugDeviceInfo, 1) << "[DEBUG] stays global";
    EXPECT_FLOAT_EQ(g_ElevatorTrimIncrement, 0.02f);
    EXPECT_EQ(g_QKNBReverseFix, 1) << "falls back to DRAV.INI";

    // The user's own profile comes before the shipped one once it exists.
    Write(dir_ / "aircraft" / "Twin.ini", "[CONFIG]\nQKNBReverseFix=0\n");
    Select();
    EXPECT_EQ(DRAV_Profile().source, DRAV_ProfileSource::User);
    DRAV_ReadConfigSettings();
    EXPECT_EQ(g_QKNBReverseFix, 0);
    EXPECT_FLOAT_EQ(g_ElevatorTrimIncrement, 0.01f);
}

TEST_F(ProfileLayer, WritesGoToTheChosenFileAndOwnWritesAreNoChange) {
    Write(dir_ / "DRAV.INI", "[QDPBX_1]\nFunction1=BEACON_LTS\n");
    const std::string shipped = "[QDPBX_1]\nFunction2=NAV_LTS\n";
    Write(root_ / "Aircraft" / "Twin" / "DRAV.INI", shipped);
    Select();
    EXPECT_TRUE(DRAV_WriteLayerPref(DRAV_SettingsLayer::ThisAircraft, "QDPBX_1", "Function1", kProfileNothing));
    EXPECT_EQ(Slurp(dir_ / "aircraft" / "Twin.ini"), shipped + "Function1=NADA\n");
    EXPECT_EQ(Slurp(root_ / "Aircraft" / "Twin" / "DRAV.INI"), shipped);
    EXPECT_EQ(DRAV_Profile().source, DRAV_ProfileSource::User);
    EXPECT_TRUE(DRAV_WriteLayerPref(DRAV_SettingsLayer::AllAircraft, "QDPBX_1", "Function3", "TAXI_LTS"));
    EXPECT_EQ(Slurp(dir_ / "DRAV.INI"), "[QDPBX_1]\nFunction1=BEACON_LTS\nFunction3=TAXI_LTS\n");
    EXPECT_FALSE(DRAV_SettingsChangedOnDisk());
    EXPECT_FALSE(DRAV_SettingsChangedOnDisk());

    // An edit by someone else: seen at one check, taken at the next when it stayed the same.
    Write(dir_ / "DRAV.INI", "[QDPBX_1]\nFunction1=STROBE_LTS\n");
    EXPECT_FALSE(DRAV_SettingsChangedOnDisk());
    EXPECT_TRUE(DRAV_SettingsChangedOnDisk());
    DRAV_ReselectProfile();
    EXPECT_FALSE(DRAV_SettingsChangedOnDisk());
}

TEST_F(ProfileLayer, AircraftNamesThatCannotNameAProfileAreRefused) {
    DRAV_SelectProfileFor("", "");
    EXPECT_STREQ(DRAV_Profile().user_file, "");
    EXPECT_FALSE(DRAV_WriteLayerPref(DRAV_SettingsLayer::ThisAircraft, "QDPBX_1", "Function1", "X"));
    DRAV_SelectProfileFor("..", "/x/..");
    EXPECT_STREQ(DRAV_Profile().user_file, "");
    // A name that fills the whole path buffer: no profile path, a line in the simulator's log.
    const std::string long_name(1000, 'n');
    DRAV_SelectProfileFor(long_name.c_str(), "");
    EXPECT_STREQ(DRAV_Profile().user_file, "");
    EXPECT_NE(g_host_log.find("DRAV: "), std::string::npos);
    DRAV_SelectProfileFor("Ça va 7 7.acf", "");
    EXPECT_STREQ(DRAV_Profile().user_file, "aircraft/Ça va 7 7.ini");
}

} // namespace
