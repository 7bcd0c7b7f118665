// Push-button, toggle, knob, annunciator and I/O board units, end to end; plus the registry's
// handling of missing sections, empty values and avionics power.
#include "harness.h"

namespace e2e {
namespace {

constexpr const char* kBeacon = "sim/cockpit/electrical/beacon_lights_on";
constexpr const char* kNav = "sim/cockpit/electrical/nav_lights_on";
constexpr const char* kTaxi = "sim/cockpit/electrical/taxi_light_on";
constexpr const char* kStrobe = "sim/cockpit/electrical/strobe_lights_on";
constexpr const char* kGearHandle = "sim/cockpit/switches/gear_handle_status";
constexpr const char* kCom1Standby = "sim/cockpit/radios/com1_stdby_freq_hz";
constexpr const char* kMapSubmode = "sim/cockpit/switches/EFIS_map_submode";
constexpr const char* kMasterCaution = "sim/cockpit/warnings/annunciators/master_caution";

auto IntIs(const char* name, int value) {
    return [name, value] { return hostsim::GetInt(name) == value; };
}

using PanelsTest = DravTest;

TEST_F(PanelsTest, PushButtonLampsFollowDatarefsAndButtonsToggle) {
    WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n");
    hostsim::SetInt(kBeacon, 0);
    hostsim::SetInt(kNav, 0);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_EQ(Lamps(pbx), 0);

    hostsim::SetInt(kBeacon, 1);
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x01; }));
    hostsim::SetInt(kNav, 1);
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x03; }));

    // Nothing changes: further refreshes send nothing.
    const int reports = LampReports(pbx);
    hostsim::RunSeconds(2.0);
    Settle();
    EXPECT_EQ(LampReports(pbx), reports);

    // A press toggles the bound state; the lamp answers in the same frame's refresh.
    pbx.press(1);
    EXPECT_TRUE(RunUntil(IntIs(kBeacon, 0)));
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x02; }));
    pbx.release(1);
    Settle();
    EXPECT_EQ(hostsim::GetInt(kBeacon), 0) << "a release of a toggling button changes nothing";
    pbx.press(1);
    EXPECT_TRUE(RunUntil(IntIs(kBeacon, 1)));
}

TEST_F(PanelsTest, ToggleUnitPushesSwitchPositionsAtRegistration) {
    WriteIni("[QDTGX_1]\nFunction1=TAXI_LTS\nFunction2=LANDING_GEAR\nFunction3=STROBE_LTS\n");
    hostsim::SetInt(kTaxi, 0);
    hostsim::SetInt(kGearHandle, 1);
    hostsim::SetInt(kStrobe, 1);
    qdtest::Unit& tgx = Plug(TGX);
    tgx.press(1); // taxi light switch on
    tgx.press(2); // gear lever switch on: gear up
    ASSERT_TRUE(Start());

    EXPECT_EQ(hostsim::GetInt(kTaxi), 1);
    EXPECT_EQ(hostsim::GetInt(kGearHandle), 0) << "the gear toggle's sense is inverted";
    EXPECT_EQ(hostsim::GetInt(kStrobe), 0) << "a switch standing off pushes off";
    EXPECT_TRUE(RunUntil([&] { return Lamps(tgx) == 0x01; }));

    tgx.release(2);
    EXPECT_TRUE(RunUntil(IntIs(kGearHandle, 1)));
    tgx.press(3);
    EXPECT_TRUE(RunUntil(IntIs(kStrobe, 1)));
    tgx.release(1);
    EXPECT_TRUE(RunUntil(IntIs(kTaxi, 0)));
    EXPECT_TRUE(RunUntil([&] { return Lamps(tgx) == 0x06; })); // strobe on; gear handle down lights too
}

TEST_F(PanelsTest, KnobUnitButtonsLampsAndEncoders) {
    WriteIni("[QDKNB_1]\nFunction1=BEACON_LTS\nFunctionA=COM1_STANDBY\n");
    hostsim::SetInt(kBeacon, 0);
    hostsim::SetInt(kCom1Standby, 12250);
    qdtest::Unit& knb = Plug(KNB);
    ASSERT_TRUE(Start());

    knb.press(1);
    EXPECT_TRUE(RunUntil(IntIs(kBeacon, 1)));
    EXPECT_TRUE(RunUntil([&] { return Lamps(knb) == 0x01; }));

    knb.turn(1, 2);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt(kCom1Standby) > 12250; }));
    // Encoders without a value do nothing.
    const int tuned = hostsim::GetInt(kCom1Standby);
    knb.turn(2, 3);
    Settle();
    EXPECT_EQ(hostsim::GetInt(kCom1Standby), tuned);
}

TEST_F(PanelsTest, KnobReverseFixTurnsEncodersTheOtherWay) {
    WriteIni("[CONFIG]\nQKNBReverseFix=1\n[QDKNB_1]\nFunctionA=COM1_STANDBY\n");
    hostsim::SetInt(kCom1Standby, 12250);
    qdtest::Unit& knb = Plug(KNB);
    ASSERT_TRUE(Start());
    knb.turn(1, 2);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt(kCom1Standby) < 12250; }));
}

TEST_F(PanelsTest, AnnunciatorShowsConfiguredColoursAndClearsMasterCaution) {
    WriteIni("[QDANP_1]\nFunction1=ANP_MASTER_CAUTION\nColour1=RED\nFunction2=BEACON_LTS\nFunction3=NAV_LTS\n"
             "Colour3=CYAN\n");
    hostsim::SetInt(kMasterCaution, 1);
    hostsim::SetInt(kBeacon, 1);
    hostsim::SetInt(kNav, 0);
    qdtest::Unit& anp = Plug(ANP);
    ASSERT_TRUE(Start());

    using Lamp = std::array<int, 3>;
    EXPECT_TRUE(RunUntil([&] { return AnnunciatorColours(anp)[0] == Lamp{100, 0, 0}; }));
    auto lamps = AnnunciatorColours(anp);
    EXPECT_EQ(lamps[1], (Lamp{0, 0, 0})) << "lit with the default colour BLACK stays dark";
    EXPECT_EQ(lamps[2], (Lamp{0, 0, 0}));
    hostsim::SetInt(kNav, 1);
    EXPECT_TRUE(RunUntil([&] { return AnnunciatorColours(anp)[2] == Lamp{0, 100, 100}; }));

    hostsim::ClearCommandLog();
    anp.press(1);
    EXPECT_TRUE(RunUntil([] {
        return CountCommands(hostsim::CommandKind::Once, "sim/annunciator/clear_master_caution") == 1;
    }));
    anp.release(1);
    anp.press(2); // not a master function: nothing is run
    Settle();
    EXPECT_EQ(CountCommands(hostsim::CommandKind::Once), 1);

    // Without power every indicator goes dark.
    SetPower(false);
    EXPECT_TRUE(RunUntil([&] {
        for (const Lamp& l : AnnunciatorColours(anp))
            if (l != Lamp{0, 0, 0}) return false;
        return true;
    }));
}

TEST_F(PanelsTest, InputBoardInputTypesAndOutputs) {
    WriteIni(
        "[QDIOB_1]\n"
        "InputFunction01=BEACON_LTS\n"
        "InputFunction02=TAXI_LTS\nInputSwitchTypeFunction02=SWITCH2WAY\n"
        "InputFunction03=STROBE_LTS\nInputOffStateFunction03=NAV_LTS\nInputSwitchTypeFunction03=SWITCH3WAY\n"
        "InputFunction05=EFIS_ND_MODE_MAP\nInputSwitchTypeFunction05=SELECTOR\n"
        "InputFunction06=EFIS_ND_MODE_PLAN\nInputSwitchTypeFunction06=SELECTOR\n"
        "OutputFunction01=BEACON_LTS\nOutputFunction32=TAXI_LTS\n");
    for (const char* name : {kBeacon, kTaxi, kStrobe, kNav})
        hostsim::SetInt(name, 0);
    hostsim::SetInt(kMapSubmode, 0);
    qdtest::Unit& iob = Plug(IOB);
    ASSERT_TRUE(Start());

    // BUTTON: a press toggles, a release does nothing.
    iob.press(1);
    EXPECT_TRUE(RunUntil(IntIs(kBeacon, 1)));
    iob.release(1);
    EXPECT_TRUE(RunUntil([&] { return BoardOutputs(iob) == 0x1; }));
    EXPECT_EQ(hostsim::GetInt(kBeacon), 1);

    // SWITCH2WAY follows the contact.
    iob.press(2);
    EXPECT_TRUE(RunUntil(IntIs(kTaxi, 1)));
    EXPECT_TRUE(RunUntil([&] { return BoardOutputs(iob) == 0x80000001LL; }));
    iob.release(2);
    EXPECT_TRUE(RunUntil(IntIs(kTaxi, 0)));

    // SWITCH3WAY: closing runs the input's function, opening its off-state function.
    iob.press(3);
    EXPECT_TRUE(RunUntil(IntIs(kStrobe, 1)));
    EXPECT_EQ(hostsim::GetInt(kNav), 0);
    iob.release(3);
    EXPECT_TRUE(RunUntil(IntIs(kNav, 1)));

    // SELECTOR: only closings select; leaving a position does nothing.
    iob.press(5);
    EXPECT_TRUE(RunUntil(IntIs(kMapSubmode, 2)));
    hostsim::SetInt(kMapSubmode, 7);
    iob.release(5);
    Settle();
    EXPECT_EQ(hostsim::GetInt(kMapSubmode), 7);
    iob.press(6);
    EXPECT_TRUE(RunUntil(IntIs(kMapSubmode, 4)));
}

// Controls changed together arrive in one report; each is one event, none waits for the next
// report or vanishes with it.
TEST_F(PanelsTest, EveryChangeInOneReportCounts) {
    constexpr const char* kCom2Standby = "sim/cockpit/radios/com2_stdby_freq_hz";
    WriteIni("[QDTGX_1]\nFunction1=TAXI_LTS\nFunction3=STROBE_LTS\n"
             "[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n"
             "[QDKNB_1]\nFunctionA=COM1_STANDBY\nFunctionB=COM2_STANDBY\n");
    for (const char* name : {kBeacon, kNav, kTaxi, kStrobe})
        hostsim::SetInt(name, 0);
    hostsim::SetInt(kCom1Standby, 12250);
    hostsim::SetInt(kCom2Standby, 12250);
    qdtest::Unit& tgx = Plug(TGX);
    qdtest::Unit& pbx = Plug(PBX);
    qdtest::Unit& knb = Plug(KNB);
    ASSERT_TRUE(Start());

    // Two toggles flipped with one finger.
    tgx.set_byte(1, 0x05);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt(kTaxi) == 1 && hostsim::GetInt(kStrobe) == 1; }));

    // Two buttons pressed in the same millisecond, released in the next report: both toggle.
    pbx.set_byte(1, 0x03);
    pbx.set_byte(1, 0x00);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt(kBeacon) == 1 && hostsim::GetInt(kNav) == 1; }));

    // Two knobs turned at once.
    std::vector<uint8_t> both = knb.input_state();
    both[1] = 1;
    both[2] = 1;
    knb.send_raw(both);
    EXPECT_TRUE(RunUntil(
        [] { return hostsim::GetInt(kCom1Standby) > 12250 && hostsim::GetInt(kCom2Standby) > 12250; }));
    Settle();
    EXPECT_EQ(hostsim::GetInt(kCom1Standby), hostsim::GetInt(kCom2Standby)) << "each knob counted once";
}

// The I/O board reports every input that changed, in input order, not only the first.
TEST_F(PanelsTest, InputBoardReportsEveryChangedInput) {
    WriteIni("[QDIOB_1]\nInputFunction01=BEACON_LTS\nInputSwitchTypeFunction01=SWITCH2WAY\n"
             "InputFunction10=NAV_LTS\nInputSwitchTypeFunction10=SWITCH2WAY\n"
             "InputFunction20=TAXI_LTS\nInputSwitchTypeFunction20=SWITCH2WAY\n");
    for (const char* name : {kBeacon, kNav, kTaxi})
        hostsim::SetInt(name, 0);
    qdtest::Unit& iob = Plug(IOB);
    ASSERT_TRUE(Start());
    iob.set_byte(1, 0x01, false); // input 1
    iob.set_byte(2, 0x02, false); // input 10
    iob.set_byte(3, 0x08);        // input 20
    EXPECT_TRUE(RunUntil([] {
        return hostsim::GetInt(kBeacon) == 1 && hostsim::GetInt(kNav) == 1 && hostsim::GetInt(kTaxi) == 1;
    }));
    iob.set_byte(1, 0x00, false);
    iob.set_byte(3, 0x00);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt(kBeacon) == 0 && hostsim::GetInt(kTaxi) == 0; }));
    EXPECT_EQ(hostsim::GetInt(kNav), 1);
}

TEST_F(PanelsTest, MissingSectionTakesDefaultsAndEmptyValueGivesNothing) {
    // No [QDGTP_1]: the lever gets LANDING_GEAR and its position is pushed at registration.
    // [QDGTP_2] names no function for the lever: the gear is left alone.
    WriteIni("[QDGTP_2]\nFunctionL=\n");
    hostsim::SetInt(kGearHandle, 0);
    Plug(GTP);
    ASSERT_TRUE(Start());
    EXPECT_EQ(hostsim::GetInt(kGearHandle), 1);

    hostsim::UnloadPlugin();
    hostsim::SetInt(kGearHandle, 0);
    WriteIni("[QDGTP_1]\nFunctionL=\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(hostsim::GetInt(kGearHandle), 0);
}

TEST_F(PanelsTest, AvionicsPowerOffDarkensLampsAndPowerOnRestoresThem) {
    WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\nFunction8=NAV_LTS\n");
    hostsim::SetInt(kBeacon, 1);
    hostsim::SetInt(kNav, 1);
    SetPower(true);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x81; }));

    SetPower(false);
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x00; }));
    // Buttons still work without power; the lamps stay dark.
    pbx.press(1);
    EXPECT_TRUE(RunUntil(IntIs(kBeacon, 0)));
    Settle();
    EXPECT_EQ(Lamps(pbx), 0x00);

    SetPower(true);
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x80; }));
}

TEST_F(PanelsTest, DisableBlanksLampsAndReenableRedrawsThem) {
    WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\n");
    hostsim::SetInt(kBeacon, 1);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x01; }));
    hostsim::DisablePlugin();
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x00; }));
    ASSERT_TRUE(hostsim::EnablePlugin());
    EXPECT_TRUE(RunUntil([&] { return Lamps(pbx) == 0x01; }));
}

} // namespace
} // namespace e2e

namespace e2e {
namespace {

using RegistrySeamsTest = DravTest;

TEST_F(RegistrySeamsTest, ButtonNamingARadioStackMakesThatUnitShowTheValue) {
    WriteIni("[QDRSX_1]\nFunction1=NAV1_DUAL\n[QDPBX_1]\nFunction1=QDRSX_1_FUNC_COM1_DUAL\n");
    hostsim::SetInt("sim/cockpit/radios/com1_freq_hz", 12345);
    hostsim::SetInt("sim/cockpit/radios/nav1_freq_hz", 11030);
    qdtest::Unit& rsx = Plug(RSX);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return DecodeSegments(Feature(rsx, 3)).find("110.30") != std::string::npos; }))
        << DecodeSegments(Feature(rsx, 3));

    pbx.press(1);
    EXPECT_TRUE(RunUntil([&] { return DecodeSegments(Feature(rsx, 3)).find("123.45") != std::string::npos; }))
        << DecodeSegments(Feature(rsx, 3));
}

TEST_F(RegistrySeamsTest, BrightnessKnobReachesEveryLampUnit) {
    WriteIni("[QDKNB_1]\nFunctionA=DISP_BRIGHTNESS\n");
    qdtest::Unit& knb = Plug(KNB);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Feature(pbx, 3).empty());
    knb.turn(1, -3);
    EXPECT_TRUE(RunUntil([&] { return !Feature(pbx, 3).empty() && !Feature(knb, 3).empty(); }));
}

TEST_F(RegistrySeamsTest, DebugSwitchesWriteTheDeviceReportAndPerOperationLines) {
    WriteIni("[DEBUG]\nDebugEnabled=1\nDebugDeviceInfo=1\nDebugRegisterFunction=1\nDebugGetButtonFunction=1\n"
             "DebugHandleInputFunction=1\nDebugSetDisplayFunction=1\n[QDPBX_1]\nFunction2=BEACON_LTS\n");
    hostsim::SetInt(kBeacon, 1);
    qdtest::PlugOptions options;
    options.version = 0x0123;
    qdtest::Unit& pbx = Plug(PBX, options);
    ASSERT_TRUE(Start());
    pbx.press(1);
    EXPECT_TRUE(RunUntil([&] { return LogText().find("HandleInput") != std::string::npos; }));
    const std::string log = LogText();
    for (const char* line :
         {"Device Information:\n", "Number of QDPBX Devices = 1\n", "Device = QDPBX Unit 1\n",
          "Firmware Version = 0123\n", "QDPBX_Module::Register - PrevSwitchVals = 0000000000000000\n",
          "QDPBX_Module::SetDisplay - Indicators = 0100000000000000\n",
          "QDPBX_Module::GetButton - BtnState = 1000000000000000\n",
          "QDPBX_Module::HandleInput -  Button = 0, Value = 1\n"})
        EXPECT_NE(log.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << log;
}

} // namespace
} // namespace e2e
