// The settings file and the log, against a real folder; the host calls they need (system
// path, separator, the simulator's log) are answered by this test.
#include "core/globals.h"
#include "core/log.h"
#include "core/profile.h"
#include "core/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {
std::string g_root;     // the simulator's root folder, with its trailing separator
std::string g_host_log; // what went to the simulator's log
std::string& g_simLog = g_host_log;
} // namespace

// The plug-in hands a 1024-byte buffer.
extern "C" void XPLMGetSystemPath(char* out) {
    snprintf(out, 1024, "%s", g_root.c_str());
}
extern "C" const char* XPLMGetDirectorySeparator() {
    return "/";
}
extern "C" void XPLMDebugString(const char* text) {
    g_host_log += text;
}
extern "C" void XPLMGetNthAircraftModel(int, char* file, char* path) {
    file[0] = path[0] = '\0';
}

namespace {

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        // A fresh folder per test; the test name keeps parallel runs apart.
        root_ =
            fs::temp_directory_path() /
            ("drav-settings-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
             "-" + std::to_string(std::rand()));
        fs::remove_all(root_);
        g_root = root_.string() + "/";
        dir_ = root_ / "Resources" / "plugins" / "DRAV";
        fs::create_directories(dir_);
        DRAV_CacheLogPath();
        g_DRAV_DebugEnabled = 0;
        g_DRAV_DebugFunctionAssignments = 0;
        g_simLog.clear();
    }
    void TearDown() override { fs::remove_all(root_); }

    void WriteIni(const std::string& text) { std::ofstream(dir_ / "DRAV.INI", std::ios::binary) << text; }
    std::string ReadFile(const char* name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string Ini() { return ReadFile("DRAV.INI"); }
    std::string Read(const char* section, const char* key, const char* def = "dflt") {
        char out[256];
        XP_ReadIniPref("DRAV.INI", section, key, out, def);
        return out;
    }

    fs::path root_, dir_;
};

TEST_F(SettingsFile, ReadsValuesWhateverTheLineEnds) {
    for (const char* eol : {"\n", "\r\n", "\n\r", "\r"}) {
        WriteIni(std::string("[CONFIG]") + eol + "A=1" + eol + "RMKRSXEncoderType=2" + eol + "[X]" + eol);
        EXPECT_EQ(Read("CONFIG", "RMKRSXEncoderType"), "2") << "line end " << int(eol[0]);
        EXPECT_EQ(Read("X", "A"), "dflt");
    }
}

TEST_F(SettingsFile, MatchingRules) {
    WriteIni("; header comment\n"
             "[QDRSX_1]\n"
             ";Function01=COMMENTED\n"
             "Function01=COM1_DUAL\n"
             "Function02=NAV1_DUAL\n"
             "Function1=SHORT\n"
             "[QDRSX_2]\n"
             "Function03=ADF1_DUAL\n"
             "[OTHER]\n"
             "Only=here\n");
    EXPECT_EQ(Read("QDRSX_1", "Function01"), "COM1_DUAL"); // commented line skipped
    EXPECT_EQ(Read("QDRSX_1", "Function03"), "dflt");      // only in another section
    EXPECT_EQ(Read("QDRSX_2", "Function03"), "ADF1_DUAL");
    EXPECT_EQ(Read("QDRSX_9", "Function01"), "dflt");      // no such section
    EXPECT_EQ(Read("QDRSX_1", "Function0"), "=COM1_DUAL"); // substring match, one character skipped
    EXPECT_EQ(Read("OTHER", "Only", "x"), "here");
}

TEST_F(SettingsFile, MissingFileGivesDefaults) {
    EXPECT_EQ(Read("CONFIG", "ElevatorTrimIncrement", "0.005"), "0.005");
    DRAV_ReadConfigSettings();
    EXPECT_EQ(g_RMKRSXEncoderType, 1);
    EXPECT_FLOAT_EQ(g_ElevatorTrimIncrement, 0.005f);
    EXPECT_FLOAT_EQ(g_AileronTrimIncrement, 0.001f);
    EXPECT_EQ(g_ComChannelSpacing, 25);
    EXPECT_FALSE(fs::exists(dir_ / "DRAV.INI"));
}

TEST_F(SettingsFile, GlobalKeysParseTheirLeadingNumber) {
    WriteIni("[CONFIG]\nRMKRSXEncoderType=2 ; comment\nElevatorTrimIncrement=0.01x\nQKNBReverseFix=yes\n"
             "ComChannelSpacing=833\n[DEBUG]\nDebugDeviceInfo=1\n");
    DRAV_ReadConfigSettings();
    DRAV_ReadDebugSettings();
    EXPECT_EQ(g_RMKRSXEncoderType, 2);
    EXPECT_EQ(g_ComChannelSpacing, 833);
    EXPECT_FLOAT_EQ(g_ElevatorTrimIncrement, 0.01f);
    EXPECT_EQ(g_QKNBReverseFix, 0);
    EXPECT_EQ(g_DRAV_DebugDeviceInfo, 1);
    EXPECT_EQ(DRAV_ParseIniInt("99999999999999"), 2147483647);
}

TEST_F(SettingsFile, LongLinesAreReadInPieces) {
    const std::string value(298, 'v');
    WriteIni("[S]\nK=" + value + "\nTail=" + "\n");
    FILE* f = fopen((dir_ / "DRAV.INI").string().c_str(), "rb");
    char line[256];
    ASSERT_TRUE(QDXP_fgets_multiplatform(line, sizeof line, f));
    ASSERT_TRUE(QDXP_fgets_multiplatform(line, sizeof line, f));
    EXPECT_EQ(strlen(line), 255u);
    ASSERT_TRUE(QDXP_fgets_multiplatform(line, sizeof line, f));
    EXPECT_EQ(strlen(line), 300u - 255u);
    fclose(f);
    // The value is cut to the piece; the rest reads as a line of its own.
    EXPECT_EQ(Read("S", "K"), value.substr(0, 253));
}

TEST_F(SettingsFile, ReadsAreBoundedAndSafe) {
    std::string junk = "[S]\nK=";
    for (int i = 1; i < 256; ++i)
        junk += static_cast<char>(i == '\n' || i == '\r' ? 'x' : i);
    WriteIni(junk + "\nEnd\n");
    char small[8];
    memset(small, 'Z', sizeof small);
    XP_ReadIniPref("DRAV.INI", "S", "K", small, "d");
    EXPECT_EQ(strlen(small), 7u);
    XP_ReadIniPref("DRAV.INI", "S", "End", small, "d"); // key at end of line: no "=" to skip
    EXPECT_STREQ(small, "");
    // The caller's own buffer may serve as the default.
    char buf[16] = "fallback";
    XP_ReadIniPref("DRAV.INI", "S", "Missing", buf, buf);
    EXPECT_STREQ(buf, "fallback");
}

TEST_F(SettingsFile, WriteReplacesKeepsOrderAndConvertsLineEnds) {
    WriteIni("; "
             "mine\r\n[QDRSX_1]\r\nFunction01=A\r\n;Function02=old\r\nFunction02=B\r\n[QDPBX_1]"
             "\r\nFunction01=C\r\n");
    XP_WriteIniPref("DRAV.INI", "QDRSX_1", "Function02", "COM2_DUAL");
    EXPECT_EQ(Ini(), "; mine\n[QDRSX_1]\nFunction01=A\n;Function02=old\nFunction02=COM2_DUAL\n[QDPBX_1]\n"
                     "Function01=C\n");
    EXPECT_FALSE(fs::exists(dir_ / "DRAV.INI_TMP"));
}

TEST_F(SettingsFile, WriteAddsKeysAndSections) {
    XP_WriteIniPref("DRAV.INI", "QDRSX_1", "Function01", "COM1_DUAL"); // creates the file
    EXPECT_EQ(Ini(), "[QDRSX_1]\nFunction01=COM1_DUAL\n");
    XP_WriteIniPref("DRAV.INI", "QDPBX_1", "Function01", "NADA");
    XP_WriteIniPref("DRAV.INI", "QDRSX_1", "Function02", "NAV1_DUAL"); // before the next header
    XP_WriteIniPref("DRAV.INI", "QDPBX_1", "Function02", "GEAR");      // at the end of the file
    EXPECT_EQ(Ini(), "[QDRSX_1]\nFunction01=COM1_DUAL\nFunction02=NAV1_DUAL\n[QDPBX_1]\nFunction01=NADA\n"
                     "Function02=GEAR\n");
}

TEST_F(SettingsFile, ByteOneAIsNoEndOfFile) {
    // Text-mode reads on Windows stop at 0x1A: everything after it would be lost on the next write.
    WriteIni("[S]\nK=a\x1a"
             "b\n[T]\nK=2\n");
    EXPECT_EQ(Read("T", "K"), "2");
    XP_WriteIniPref("DRAV.INI", "S", "New", "1");
    EXPECT_EQ(Ini(), "[S]\nK=a\x1a"
                     "b\nNew=1\n[T]\nK=2\n");
}

TEST_F(SettingsFile, EmptyValueRemoves) {
    const std::string original = "[S]\r\nK=1\r\nOther=2\r\nK=3\r\n[T]\r\nK=4\r\n";
    WriteIni(original);
    XP_WriteIniPref("DRAV.INI", "S", "Absent", "");
    EXPECT_EQ(Ini(), original); // nothing to remove: untouched, line ends too
    XP_WriteIniPref("DRAV.INI", "S", "K", "");
    EXPECT_EQ(Ini(), "[S]\nOther=2\n[T]\nK=4\n");
}

TEST_F(SettingsFile, DuplicateSectionsAreHandledAlike) {
    WriteIni("[S]\nA=1\n[T]\nK=x\n[S]\nK=2\n");
    XP_WriteIniPref("DRAV.INI", "S", "K", "9");
    EXPECT_EQ(Ini(), "[S]\nA=1\nK=9\n[T]\nK=x\n[S]\n");
}

TEST_F(SettingsFile, FailedWriteLeavesTheFileAlone) {
    WriteIni("[S]\nK=1\n");
    // A directory where the temporary file should go makes the write impossible.
    fs::create_directory(dir_ / "DRAV.INI_TMP");
    fs::create_directory(dir_ / "DRAV.INI_TMP" / "x");
    EXPECT_FALSE(XP_WriteIniPref("DRAV.INI", "S", "K", "2"));
    EXPECT_EQ(Ini(), "[S]\nK=1\n");
    EXPECT_NE(g_simLog.find("DRAV: settings not saved to "), std::string::npos) << g_simLog;
}

TEST_F(SettingsFile, SettingsFileThatIsAFolderIsReportedNotEmptied) {
    fs::create_directory(dir_ / "DRAV.INI");
    EXPECT_FALSE(XP_WriteIniPref("DRAV.INI", "S", "K", "2"));
    EXPECT_TRUE(fs::is_directory(dir_ / "DRAV.INI"));
    EXPECT_FALSE(fs::exists(dir_ / "DRAV.INI_TMP"));
    EXPECT_NE(g_simLog.find("not saved"), std::string::npos);
}

TEST_F(SettingsFile, StaleTemporaryFileIsReused) {
    WriteIni("[S]\nK=1\n");
    std::ofstream(dir_ / "DRAV.INI_TMP") << "half a file from a killed write";
    EXPECT_TRUE(XP_WriteIniPref("DRAV.INI", "S", "K", "2"));
    EXPECT_EQ(Ini(), "[S]\nK=2\n");
    EXPECT_FALSE(fs::exists(dir_ / "DRAV.INI_TMP"));
    EXPECT_TRUE(XP_WriteIniPref("DRAV.INI", "S", "Absent", "")); // nothing to change is no failure
    EXPECT_EQ(g_simLog, "");
}

TEST_F(SettingsFile, LineOfExactlyOnePieceKeepsItsLineEnd) {
    const std::string full = "K=" + std::string(253, 'v'); // 255 characters
    for (const char* eol : {"\n", "\r\n", "\n\r", "\r"}) {
        WriteIni("[S]" + std::string(eol) + full + eol + "Next=1" + eol);
        FILE* f = fopen((dir_ / "DRAV.INI").string().c_str(), "rb");
        char line[256];
        ASSERT_TRUE(QDXP_fgets_multiplatform(line, sizeof line, f));
        ASSERT_TRUE(QDXP_fgets_multiplatform(line, sizeof line, f));
        EXPECT_EQ(line, full);
        ASSERT_TRUE(QDXP_fgets_multiplatform(line, sizeof line, f));
        EXPECT_STREQ(line, "Next=1") << "line end " << int(eol[0]);
        EXPECT_EQ(QDXP_fgets_multiplatform(line, sizeof line, f), nullptr);
        fclose(f);
    }
    // Rewrites leave the file as it is: no empty line grows after the full one.
    for (int i = 0; i < 3; ++i)
        XP_WriteIniPref("DRAV.INI", "S", "Other", i % 2 ? "a" : "b");
    EXPECT_EQ(Ini(), "[S]\n" + full + "\nNext=1\nOther=b\n");
}

TEST_F(SettingsFile, PathTooLongIsRefusedNotCut) {
#ifdef _WIN32
    GTEST_SKIP() << "the system cannot make a folder this deep (260 characters)";
#endif
    // A root whose settings path needs 1025 bytes: cut to 1023 characters it would name
    // "DRAV.I" in the plug-in's existing folder.
    std::string deep = g_root;
    while (deep.size() < 994)
        deep += std::string(std::min<size_t>(200, 994 - deep.size() - 1), 'd') + "/";
    ASSERT_EQ(deep.size(), 994u);
    const fs::path folder = fs::path(deep) / "Resources" / "plugins" / "DRAV";
    fs::create_directories(folder);
    g_root = deep;
    EXPECT_EQ(Read("S", "K"), "dflt");
    EXPECT_FALSE(XP_WriteIniPref("DRAV.INI", "S", "K", "1"));
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_NE(g_simLog.find("too long"), std::string::npos);
}

TEST_F(SettingsFile, LogIsWrittenOnlyWhenEnabled) {
    DRAV_WriteToLog("nothing");
    EXPECT_FALSE(fs::exists(dir_ / "DRAVLog.txt"));

    g_DRAV_DebugEnabled = 1;
    DRAV_WriteToLog("first");
    DRAV_LogControlState("sw", 0x8001);
    DRAV_LogControlState64("apx", 0x1'8000'0003ull);
    DRAV_WriteToLog(std::string(600, 'x').c_str());
    const std::string log = ReadFile("DRAVLog.txt");
    EXPECT_EQ(log.substr(0, 6), "first\n");
    EXPECT_NE(log.find("sw = 1000000000000001\n"), std::string::npos);
    EXPECT_NE(log.find("apx = 10000000000000000000000000000011\n"), std::string::npos);
    EXPECT_NE(log.find(std::string(510, 'x') + "\n"), std::string::npos);
    EXPECT_EQ(log.back(), '\n');
}

TEST_F(SettingsFile, FunctionAssignmentReadsAreLogged) {
    WriteIni("[DEBUG]\nDebugEnabled=1\nDebugFunctionAssignments=1\n[QDRSX_1]\nFunction01=COM1_DUAL\n");
    DRAV_ReadDebugSettings();
    Read("QDRSX_1", "Function01", "NADA");
    Read("QDRSX_1", "Function02", "NADA");
    const std::string log = ReadFile("DRAVLog.txt");
    EXPECT_EQ(
        log,
        "file: DRAV.INI, found: 1, section: [QDRSX_1], key: Function01, value: COM1_DUAL, default: NADA\n"
        "file: DRAV.INI, found: 0, section: [QDRSX_1], key: Function02, value: NADA, default: NADA\n");
}

// The profile layer: with no profile it reads exactly as XP_ReadIniPref does; with one, unit and
// [CONFIG] keys come from it first and [DEBUG] does not; writes go to the chosen file.
class ProfileLayer : public SettingsFile {
  protected:
    void SetUp() override {
        SettingsFile::SetUp();
        fs::create_directories(dir_ / "aircraft");
        fs::create_directories(root_ / "Aircraft" / "Twin");
        g_host_log.clear();
    }
    void TearDown() override {
        DRAV_SelectProfileFor("", "");
        SettingsFile::TearDown();
    }

    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string Slurp(const fs::path& path) {
        return ReadFile(path.lexically_relative(dir_).string().c_str());
    }
    void Select() {
        DRAV_SelectProfileFor("Twin.acf", (root_ / "Aircraft" / "Twin" / "Twin.acf").string().c_str());
    }
    static std::string Layered(const char* section, const char* key, DRAV_PrefOrigin* origin = nullptr) {
        char out[256];
        DRAV_ReadLayeredPref(section, key, out, sizeof out, "dflt", origin);
        return out;
    }
};

TEST_F(ProfileLayer, WithoutProfileReadsExactlyAsDravIni) {
    const std::string long_value(300, 'v');
    for (const char* eol : {"\n", "\r\n", "\n\r", "\r"}) {
        const std::string e = eol;
        Write(dir_ / "DRAV.INI", "; c" + e + "[QDRSX_1]" + e + ";Function1=C" + e + "Function1=COM1_DUAL" +
                                     e + "Function12=X" + e + "FunctionL" + e + "Long=" + long_value + e +
                                     "[QDRSX_2]" + e + "Function2=Y" + e + "[QDRSX_1]" + e + "Function3=Z" +
                                     e);
        Select();
        for (const char* section : {"QDRSX_1", "QDRSX_2", "NONE"})
            for (const char* key :
                 {"Function1", "Function2", "Function3", "FunctionL", "Long", "QDRSX", "Function12"})
                EXPECT_EQ(Layered(section, key), Read(section, key))
                    << section << " " << key << " eol " << int(eol[0]);
    }
}

TEST_F(ProfileLayer, ProfileWinsKeyByKeyForUnitsAndConfigButNotDebug) {
    Write(dir_ / "DRAV.INI", "[DEBUG]\nDebugDeviceInfo=1\n[CONFIG]\nElevatorTrimIncrement=0.01\n"
                             "QKNBReverseFix=1\n[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n");
    Write(root_ / "Aircraft" / "Twin" / "DRAV.INI",
          "[DEBUG]\nDebugDeviceInfo=0\n[CONFIG]\nElevatorTrimIncrement=0.02\n"
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
    EXPECT_TRUE(
        DRAV_WriteLayerPref(DRAV_SettingsLayer::ThisAircraft, "QDPBX_1", "Function1", kProfileNothing));
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
