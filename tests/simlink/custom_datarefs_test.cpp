// The plug-in's own datarefs as another plug-in sees them (found by name and read and written
// through the SDK), the command tables resolved through late binding, the announcement to the
// dataref browser, and the avionics power check.
#include "core/sdk_binding.h"
#include "simlink/custom_datarefs.h"

#include "XPLMDataAccess.h"
#include "hostsim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* kOtto = "sim/cockpit/autopilot/autopilot_state";

// Another plug-in's view: find by name, read and write through the SDK.
int Read(const char* name) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    EXPECT_NE(ref, nullptr) << name;
    return ref ? XPLMGetDatai(ref) : 0;
}
float ReadF(const char* name) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    EXPECT_NE(ref, nullptr) << name;
    return ref ? XPLMGetDataf(ref) : 0.0f;
}
void Write(const char* name, int v) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    ASSERT_NE(ref, nullptr) << name;
    XPLMSetDatai(ref, v);
}
void WriteF(const char* name, float v) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    ASSERT_NE(ref, nullptr) << name;
    XPLMSetDataf(ref, v);
}

std::vector<int> KeysSent() {
    std::vector<int> keys;
    for (const hostsim::CommandEvent& e : hostsim::CommandLog())
        if (e.kind == hostsim::CommandKind::KeyStroke) keys.push_back(e.number);
    return keys;
}

class CustomDatarefsTest : public ::testing::Test {
  protected:
    void SetUp() override { hostsim::Reset(); }
    // Handles do not survive the stand-in's reset: give ours back while they are valid.
    void TearDown() override { DRAV_UnregisterCustomDatarefs(); }
    // Datarefs the simulator lacks must be removed before the plug-in looks them up.
    void Start(const std::vector<std::string>& missing = {}) {
        for (const std::string& name : missing)
            hostsim::RemoveDataref(name);
        SetupDRAVDataRefs();
        DRAV_ResetAvionicsPowerRefs();
        hostsim::ClearCommandLog();
    }
};

} // namespace

TEST_F(CustomDatarefsTest, AllDatarefsArePublishedWritableWithTheirTypes) {
    Start();
    int ints = 0;
    int floats = 0;
    for (const hostsim::RegisteredDataref& d : hostsim::PluginDatarefs()) {
        if (!d.registered) continue;
        EXPECT_TRUE(d.writable) << d.name;
        if (d.types == xplmType_Int) ++ints;
        if (d.types == xplmType_Float) ++floats;
    }
    EXPECT_EQ(floats, 3);            // the three courses
    EXPECT_EQ(ints, 9 + 1 + 17 + 1); // modes, knots/mach, state bits, altitude knob
    // Setting up again replaces rather than duplicates them.
    SetupDRAVDataRefs();
    int live = 0;
    for (const hostsim::RegisteredDataref& d : hostsim::PluginDatarefs())
        live += d.registered ? 1 : 0;
    EXPECT_EQ(live, 31);
}

TEST_F(CustomDatarefsTest, ModesFollowAutopilotStateAndToggleByKey) {
    Start();
    hostsim::SetInt(kOtto, 0x1 | 0x2 | 0x200);
    EXPECT_EQ(Read("drav/autopilot/autothrottle"), 1);
    EXPECT_EQ(Read("drav/autopilot/heading_hold"), 1);
    EXPECT_EQ(Read("drav/autopilot/wing_leveler"), 0);
    EXPECT_EQ(Read("drav/autopilot/hnav"), 1); // either bit of 0x300
    EXPECT_EQ(Read("drav/autopilot/vnav"), 0);

    // The autothrottle already in the requested state: nothing is sent.
    Write("drav/autopilot/autothrottle", 1);
    EXPECT_TRUE(KeysSent().empty());
    Write("drav/autopilot/autothrottle", 0);
    EXPECT_EQ(KeysSent(), std::vector<int>{10});
    EXPECT_EQ(Read("drav/autopilot/autothrottle"), 0);

    // Every other mode toggles whatever is written: 1 to an engaged heading hold disengages it.
    hostsim::ClearCommandLog();
    Write("drav/autopilot/heading_hold", 1);
    EXPECT_EQ(KeysSent(), std::vector<int>{12});
    EXPECT_EQ(Read("drav/autopilot/heading_hold"), 0);

    hostsim::ClearCommandLog();
    Write("drav/autopilot/wing_leveler", 0);
    Write("drav/autopilot/asi_hold", 1);
    Write("drav/autopilot/vvi_climb", 1);
    Write("drav/autopilot/alt_hold", 1);
    Write("drav/autopilot/hnav", 1);
    Write("drav/autopilot/vnav", 1);
    EXPECT_EQ(KeysSent(), (std::vector<int>{14, 11, 17, 16, 15, 18}));

    // Level change has no key: its bit is written and the simulator toggles it.
    hostsim::ClearCommandLog();
    Write("drav/autopilot/level_change", 1);
    EXPECT_TRUE(KeysSent().empty());
    EXPECT_EQ(Read("drav/autopilot/level_change"), 1);
}

TEST_F(CustomDatarefsTest, ModesFallBackToTheOlderModeDatarefs) {
    Start({kOtto});
    hostsim::SetInt("sim/cockpit/autopilot/heading_mode", 13);
    hostsim::SetInt("sim/cockpit/autopilot/airspeed_mode", 11);
    hostsim::SetInt("sim/cockpit/autopilot/altitude_mode", 19);
    EXPECT_EQ(Read("drav/autopilot/heading_hold"), 1);
    EXPECT_EQ(Read("drav/autopilot/wing_leveler"), 0);
    EXPECT_EQ(Read("drav/autopilot/autothrottle"), 1);
    EXPECT_EQ(Read("drav/autopilot/asi_hold"), 0);
    EXPECT_EQ(Read("drav/autopilot/vnav"), 1);
    EXPECT_EQ(Read("drav/autopilot/level_change"), 0);
    hostsim::SetInt("sim/cockpit/autopilot/altitude_mode", 0);
    EXPECT_EQ(Read("drav/autopilot/level_change"), 1);

    // Without autopilot_state even the autothrottle cannot be compared: the key always goes.
    Write("drav/autopilot/autothrottle", 1);
    // Level change has neither key nor bit to write: nothing happens.
    Write("drav/autopilot/level_change", 1);
    EXPECT_EQ(KeysSent(), std::vector<int>{10});

    // State bits read 0 and writes go nowhere.
    EXPECT_EQ(Read("drav/autopilot_state/heading_hold_engage"), 0);
    Write("drav/autopilot_state/heading_hold_engage", 1);
    EXPECT_EQ(Read("drav/autopilot_state/heading_hold_engage"), 0);
}

TEST_F(CustomDatarefsTest, StateBitsReadAndToggleAutopilotState) {
    Start();
    const char* names[] = {"drav/autopilot_state/auto_throttle_engage",
                           "drav/autopilot_state/heading_hold_engage",
                           "drav/autopilot_state/wing_leveler_engage",
                           "drav/autopilot_state/airspeed_hold_with_pitch_engage",
                           "drav/autopilot_state/vvi_climb_engage",
                           "drav/autopilot_state/altitude_hold_armed",
                           "drav/autopilot_state/flight_level_change_engage",
                           "drav/autopilot_state/pitch_sync_engage",
                           "drav/autopilot_state/fms_armed",
                           "drav/autopilot_state/fms_engaged",
                           "drav/autopilot_state/glideslope_armed",
                           "drav/autopilot_state/glideslope_engaged",
                           "drav/autopilot_state/fms_vnav_armed",
                           "drav/autopilot_state/fms_vnav_engaged",
                           "drav/autopilot_state/altitude_hold_engaged",
                           "drav/autopilot_state/horizontal_toga_engaged",
                           "drav/autopilot_state/vertical_toga_engaged"};
    for (int i = 0; i < 17; ++i) {
        hostsim::SetInt(kOtto, 1 << i);
        for (int j = 0; j < 17; ++j)
            EXPECT_EQ(Read(names[j]), i == j ? 1 : 0) << names[j];
    }

    hostsim::SetInt(kOtto, 0x1);
    Write(names[0], 1); // already engaged: nothing written
    EXPECT_EQ(hostsim::GetInt(kOtto), 0x1);
    Write(names[14], 1); // every other bit toggles
    EXPECT_EQ(Read(names[14]), 1);
    Write(names[14], 1);
    EXPECT_EQ(Read(names[14]), 0);
    EXPECT_TRUE(KeysSent().empty());
}

TEST_F(CustomDatarefsTest, CoursesPreferMagneticSources) {
    Start();
    hostsim::SetFloat("sim/cockpit/autopilot/heading_mag", 123.0f);
    hostsim::SetFloat("sim/flightmodel/position/magnetic_variation", 10.0f);
    EXPECT_FLOAT_EQ(ReadF("drav/autopilot/heading_crs"), 123.0f);
    WriteF("drav/autopilot/heading_crs", 200.0f);
    EXPECT_FLOAT_EQ(hostsim::GetFloat("sim/cockpit/autopilot/heading_mag"), 200.0f);
    hostsim::SetFloat("sim/cockpit/radios/nav2_obs_degm", 45.0f);
    EXPECT_FLOAT_EQ(ReadF("drav/autopilot/nav2_obs"), 45.0f);
}

TEST_F(CustomDatarefsTest, CoursesFromTrueSourcesWrapIntoZeroToThreeSixty) {
    Start({"sim/cockpit/autopilot/heading_mag", "sim/cockpit/radios/nav1_obs_degm"});
    hostsim::SetFloat("sim/cockpit/autopilot/heading", 355.0f);
    hostsim::SetFloat("sim/flightmodel/position/magnetic_variation", 10.0f);
    EXPECT_FLOAT_EQ(ReadF("drav/autopilot/heading_crs"), 5.0f);
    WriteF("drav/autopilot/heading_crs", 5.0f);
    EXPECT_FLOAT_EQ(hostsim::GetFloat("sim/cockpit/autopilot/heading"), 355.0f);
    hostsim::SetFloat("sim/flightmodel/position/magnetic_variation", -20.0f);
    hostsim::SetFloat("sim/cockpit/autopilot/heading", 10.0f);
    EXPECT_FLOAT_EQ(ReadF("drav/autopilot/heading_crs"), 350.0f);

    // The OBS takes no variation; 0 reads as 360.
    hostsim::SetFloat("sim/cockpit/radios/nav1_obs_degt", 0.0f);
    EXPECT_FLOAT_EQ(ReadF("drav/autopilot/nav1_obs"), 360.0f);
    WriteF("drav/autopilot/nav1_obs", 370.0f);
    EXPECT_FLOAT_EQ(hostsim::GetFloat("sim/cockpit/radios/nav1_obs_degt"), 10.0f);
}

TEST_F(CustomDatarefsTest, KnotsMachEveryWriteTogglesAndConverts) {
    Start();
    const char* mach = "drav/autopilot/asi_is_mach";
    hostsim::SetFloat("sim/cockpit/autopilot/airspeed", 250.0f);
    hostsim::SetFloat("sim/weather/sigma", 1.0f);
    hostsim::SetFloat("sim/weather/speed_sound_ms", 340.29f);
    EXPECT_EQ(Read(mach), 0);
    Write(mach, 0); // the value written does not matter
    EXPECT_EQ(Read(mach), 1);
    EXPECT_NEAR(hostsim::GetFloat("sim/cockpit/autopilot/airspeed"), 0.378f, 0.0005f);
    Write(mach, 1);
    EXPECT_EQ(Read(mach), 0);
    EXPECT_NEAR(hostsim::GetFloat("sim/cockpit/autopilot/airspeed"), 250.0f, 0.01f);

    // Sigma above 1 counts as 1; sigma 0 as 0.0001 (the root held at 0.01).
    hostsim::SetFloat("sim/weather/sigma", 4.0f);
    Write(mach, 0);
    EXPECT_NEAR(hostsim::GetFloat("sim/cockpit/autopilot/airspeed"), 0.378f, 0.0005f);
    Write(mach, 0);
    hostsim::SetFloat("sim/weather/sigma", 0.0f);
    hostsim::SetFloat("sim/cockpit/autopilot/airspeed", 2.5f);
    Write(mach, 0);
    EXPECT_NEAR(hostsim::GetFloat("sim/cockpit/autopilot/airspeed"), 2.5f / (340.29f * 1.9438444f * 0.01f),
                0.0005f);
}

TEST_F(CustomDatarefsTest, KnotsMachWithoutSpeedOfSoundKeepsTheTarget) {
    Start({"sim/weather/speed_sound_ms"});
    hostsim::SetFloat("sim/cockpit/autopilot/airspeed", 250.0f);
    Write("drav/autopilot/asi_is_mach", 1);
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/autopilot/airspeed_is_mach"), 1);
    EXPECT_FLOAT_EQ(hostsim::GetFloat("sim/cockpit/autopilot/airspeed"), 250.0f);
}

TEST_F(CustomDatarefsTest, AltitudeKnobIsAStoredInteger) {
    Start();
    EXPECT_EQ(Read("drav/autopilot_knob/alt_knob"), 0);
    Write("drav/autopilot_knob/alt_knob", 1);
    EXPECT_EQ(Read("drav/autopilot_knob/alt_knob"), 1);
    EXPECT_EQ(gAltKnobValue, 1);
    Write("drav/autopilot_knob/alt_knob", 0);
}

TEST_F(CustomDatarefsTest, AnnouncesDatarefsToTheBrowserInOrder) {
    Start();
    DRAV_RegisterCustomDatarefsWithRefInspector();
    EXPECT_TRUE(hostsim::SentMessages().empty()); // no browser loaded: nothing sent

    const int browser = hostsim::InstallFakePlugin("xplanesdk.examples.RefInspector");
    DRAV_RegisterCustomDatarefsWithRefInspector();
    const std::vector<hostsim::ReceivedMessage> got = hostsim::FakePluginMessages(browser);
    ASSERT_EQ(got.size(), 17u + 1u + 72u);
    for (const hostsim::ReceivedMessage& m : got)
        EXPECT_EQ(m.message, 0x01000000);
    EXPECT_EQ(got[0].text, "drav/autopilot_state/auto_throttle_engage");
    EXPECT_EQ(got[16].text, "drav/autopilot_state/vertical_toga_engaged");
    EXPECT_EQ(got[17].text, "drav/autopilot_knob/alt_knob");
    EXPECT_EQ(got[18].text, "x737/systems/afds/plugin_status");
    EXPECT_EQ(got[89].text, "x737/systems/MCP/LED_VORLOC_on");
}

// ---------------------------------------------------------------------------------------------
// Commands through late binding

namespace {

class CommandTablesTest : public CustomDatarefsTest {
  protected:
    void SetUp() override {
        CustomDatarefsTest::SetUp();
        ClearHandles();
        char dir[] = "/tmp/drav_cmdXXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root = dir;
    }
    void TearDown() override {
        CustomDatarefsTest::TearDown();
        ClearHandles();
        std::system(("rm -rf '" + root + "'").c_str());
    }
    static void ClearHandles() {
        for (int i = 0; i < kX737CommandCount; ++i)
            CommandOnRefs[i] = CommandOffRefs[i] = CommandToggleRefs[i] = nullptr;
        for (int i = 0; i < kSSMCommandCount; ++i)
            SSMCommandOnRefs[i] = SSMCommandOffRefs[i] = nullptr;
        for (int i = 0; i < kANPCommandCount; ++i)
            ANPCommandOnceRefs[i] = nullptr;
    }

    std::string root;
};

} // namespace

TEST_F(CommandTablesTest, StarterAndAnnunciatorCommandsResolveThroughTheHostLibrary) {
    ASSERT_TRUE(hostsim::CreateRoot(root));
    Find_SSM_Commands();
    for (int i = 0; i < kSSMCommandCount; ++i) {
        EXPECT_NE(SSMCommandOnRefs[i], nullptr) << SSMCommandOnNames[i];
        EXPECT_NE(SSMCommandOffRefs[i], nullptr) << SSMCommandOffNames[i];
    }
    for (int i = 0; i < kANPCommandCount; ++i)
        EXPECT_NE(ANPCommandOnceRefs[i], nullptr) << ANPCommandOnceNames[i];
    EXPECT_EQ(SSMCommandOnRefs[0], SSMCommandOffRefs[0]); // the starter is held: one command

    ASSERT_NE(XPLMCommandOnce_ptr, nullptr);
    hostsim::ClearCommandLog();
    XPLMCommandOnce_ptr(ANPCommandOnceRefs[1]);
    XPLMCommandBegin_ptr(SSMCommandOnRefs[1]);
    XPLMCommandEnd_ptr(SSMCommandOffRefs[1]);
    const std::vector<hostsim::CommandEvent> log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, hostsim::CommandKind::Once);
    EXPECT_EQ(log[0].name, "sim/annunciator/clear_master_caution");
    EXPECT_EQ(log[1].kind, hostsim::CommandKind::Begin);
    EXPECT_EQ(log[1].name, "sim/starters/engage_starter_2");
    EXPECT_EQ(log[2].kind, hostsim::CommandKind::End);
    // The x737 tables are left alone.
    EXPECT_EQ(CommandOnRefs[0], nullptr);
}

TEST_F(CommandTablesTest, X737CommandsResolveAndUnknownNamesStayEmpty) {
    hostsim::RemoveCommand("x737/mcp/TOGA_TOGGLE");
    ASSERT_TRUE(hostsim::CreateRoot(root));
    Find_x737_Commands();
    for (int i = 0; i < kX737CommandCount; ++i) {
        EXPECT_NE(CommandOnRefs[i], nullptr) << CommandOnNames[i];
        EXPECT_NE(CommandOffRefs[i], nullptr) << CommandOffNames[i];
    }
    EXPECT_EQ(CommandToggleRefs[19], nullptr);
    EXPECT_NE(CommandToggleRefs[18], nullptr);
    EXPECT_STREQ(CommandOnNames[9], "x737/mcp/LNAVL_ON");
    EXPECT_STREQ(CommandOffNames[9], "x737/mcp/LNAV_OFF");
    EXPECT_EQ(CommandOnRefs[4], CommandToggleRefs[4]); // CHANGEOVER is one command

    hostsim::ClearCommandLog();
    XPLMCommandOnce_ptr(CommandOnRefs[15]);
    ASSERT_EQ(hostsim::CommandLog().size(), 1u);
    EXPECT_EQ(hostsim::CommandLog()[0].name, "x737/mcp/CMDA_ON");
    EXPECT_EQ(SSMCommandOnRefs[0], nullptr);
}

TEST_F(CommandTablesTest, WithoutTheHostLibraryHandlesStayAsTheyWere) {
    hostsim::SetSystemPath(root + "/"); // an empty folder: no host library to load
    int marker = 0;
    SSMCommandOnRefs[3] = &marker;
    Find_SSM_Commands();
    Find_x737_Commands();
    EXPECT_EQ(SSMCommandOnRefs[3], &marker);
    EXPECT_EQ(SSMCommandOnRefs[0], nullptr);
    EXPECT_EQ(CommandOnRefs[0], nullptr);
    SSMCommandOnRefs[3] = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Avionics power

TEST_F(CustomDatarefsTest, AvionicsPowerFromBatteryOrRunningTurbines) {
    Start();
    // Default aircraft: battery on, 24 V, avionics switch on.
    EXPECT_TRUE(avionics_ok(true));
    hostsim::SetInt("sim/cockpit/electrical/avionics_on", 0);
    EXPECT_FALSE(avionics_ok(true));
    EXPECT_TRUE(avionics_ok(false));
    hostsim::SetInt("sim/operation/failures/rel_esys", 6);
    EXPECT_FALSE(avionics_ok(false));
    hostsim::SetInt("sim/operation/failures/rel_esys", 0);

    // Battery off: only a generator on a turbine engine counts, N1 / 15 per engine.
    hostsim::SetInt("sim/cockpit/electrical/battery_on", 0);
    hostsim::SetInts("sim/cockpit/electrical/generator_on", {1});
    hostsim::SetFloats("sim/flightmodel/engine/ENGN_N1_", {3.0f});
    hostsim::SetInts("sim/aircraft/prop/acf_en_type", {0});
    EXPECT_FALSE(avionics_ok(false)); // piston
    hostsim::SetInts("sim/aircraft/prop/acf_en_type", {2});
    EXPECT_TRUE(avionics_ok(false)); // 0.2
    hostsim::SetFloats("sim/flightmodel/engine/ENGN_N1_", {1.5f});
    EXPECT_FALSE(avionics_ok(false)); // 0.1 is not enough
    hostsim::SetInts("sim/cockpit/electrical/generator_on", {0});
    hostsim::SetFloats("sim/flightmodel/engine/ENGN_N1_", {30.0f});
    EXPECT_FALSE(avionics_ok(false));

    // The second engine counts only when the aircraft has two.
    hostsim::SetInts("sim/cockpit/electrical/generator_on", {0, 1});
    hostsim::SetInts("sim/aircraft/prop/acf_en_type", {2, 8});
    hostsim::SetFloats("sim/flightmodel/engine/ENGN_N1_", {30.0f, 30.0f});
    EXPECT_FALSE(avionics_ok(false));
    hostsim::SetInt("sim/aircraft/engine/acf_num_engines", 2);
    EXPECT_TRUE(avionics_ok(false));
    // An absurd engine count reads only what the arrays hold.
    hostsim::SetInt("sim/aircraft/engine/acf_num_engines", 100000);
    EXPECT_TRUE(avionics_ok(false));
    hostsim::SetInt("sim/aircraft/engine/acf_num_engines", 0); // counts as one engine
    EXPECT_FALSE(avionics_ok(false));

    // Battery on with a flat battery.
    hostsim::SetInt("sim/cockpit/electrical/battery_on", 1);
    hostsim::SetFloats("sim/flightmodel/engine/ENGN_bat_volt", {0.05f});
    EXPECT_FALSE(avionics_ok(false));
}

TEST_F(CustomDatarefsTest, AvionicsPowerWithoutElectricalDatarefs) {
    Start({"sim/cockpit/electrical/avionics_on", "sim/operation/failures/rel_esys",
           "sim/cockpit/electrical/battery_on", "sim/cockpit/electrical/generator_on"});
    // Nothing says the power is off, but nothing supplies it either.
    EXPECT_FALSE(avionics_ok(true));
}
