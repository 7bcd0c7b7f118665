// Autopilot and navigation-display panels against the simulator stand-in, in process. No
// device library is running: what a module sent is read from its kept copies, and the x737
// commands are caught by a stand-in for the late-bound command call.
#include "modules/autopilot.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/sdk_binding.h"
#include "hostsim.h"
#include "modules/avionics_util.h"
#include "qddev.h"
#include "simlink/avionic.h"
#include "simlink/custom_datarefs.h"

namespace {

std::vector<XPLMCommandRef> g_ran;
void RecordCommand(XPLMCommandRef ref) {
    g_ran.push_back(ref);
}

// Distinct fake handles for the three x737 tables: on 100+i, off 200+i, toggle 300+i.
XPLMCommandRef Handle(int base, int i) {
    return reinterpret_cast<XPLMCommandRef>(static_cast<intptr_t>(base + i));
}

class AutopilotModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
        DRAV_ResetAvionicsPowerRefs();
        APX_Disabled = 0;
        NDC_Disabled = 0;
        g_Enable_x737_Support = 0;
        g_Enable_x737_Commands = 0;
        saved_once_ = XPLMCommandOnce_ptr;
        g_ran.clear();
    }
    void TearDown() override {
        APX_Disabled = 0;
        NDC_Disabled = 0;
        g_Enable_x737_Support = 0;
        g_Enable_x737_Commands = 0;
        XPLMCommandOnce_ptr = saved_once_;
        for (int i = 0; i < kX737CommandCount; ++i)
            CommandOnRefs[i] = CommandOffRefs[i] = CommandToggleRefs[i] = nullptr;
    }

    static void InstallX737Commands() {
        g_Enable_x737_Support = 1;
        g_Enable_x737_Commands = 1;
        for (int i = 0; i < kX737CommandCount; ++i) {
            CommandOnRefs[i] = Handle(100, i);
            CommandOffRefs[i] = Handle(200, i);
            CommandToggleRefs[i] = Handle(300, i);
        }
        XPLMCommandOnce_ptr = RecordCommand;
    }

    // Button presses of the simulator's disengage command, in order (1 = disengage pressed).
    static std::vector<int> DisengagePresses() {
        std::vector<int> out;
        for (const auto& e : hostsim::CommandLog())
            if (e.kind == hostsim::CommandKind::ButtonPress)
                out.push_back(e.number == xplm_joy_ott_dis ? 1 : 0);
        return out;
    }

    XPLMCommandOnce_t saved_once_ = nullptr;
};

TEST(DisplayText, SliceTakesWhatTheDisplayShowsAndNeverReadsPastTheText) {
    char out[8];
    drav_modutil::SliceText(" 090", 1, 3, out, sizeof out);
    EXPECT_STREQ(out, "090");
    drav_modutil::SliceText("  250", 2, 4, out, sizeof out);
    EXPECT_STREQ(out, "250");
    drav_modutil::SliceText("  0.78", 2, 4, out, sizeof out);
    EXPECT_STREQ(out, "0.78");
    drav_modutil::SliceText("7", 1, 3, out, sizeof out);
    EXPECT_STREQ(out, "");
    drav_modutil::SliceText("123456789", 0, 20, out, sizeof out);
    EXPECT_STREQ(out, "1234567");
}

TEST_F(AutopilotModuleTest, ApcDisengageBarClearMeansDisengagedAtRegistrationAndOnInput) {
    QDAPC_Module m;
    m.AssignFunction('9', AP_DISENGAGE, -1, -1);
    EXPECT_EQ(m.GetFunction('9'), AP_DISENGAGE);
    hostsim::ClearCommandLog();
    m.Register(0); // no unit answers: the bar reads clear (lifted)
    EXPECT_EQ(DisengagePresses(), std::vector<int>{1});

    // In the registry's order (register, then bind) the position goes out once bound.
    QDAPC_Module first;
    hostsim::ClearCommandLog();
    first.Register(1);
    EXPECT_TRUE(DisengagePresses().empty());
    first.AssignFunction('9', AP_DISENGAGE, -1, -1);
    first.AssignFunction('9', AP_DISENGAGE, -1, -1);
    EXPECT_EQ(DisengagePresses(), std::vector<int>{1});

    hostsim::ClearCommandLog();
    m.HandleInput(QDAPC_Module::kDisengageBar, 1); // bar pushed down: not disengaged
    m.HandleInput(QDAPC_Module::kDisengageBar, 0); // bar lifted: disengage
    EXPECT_EQ(DisengagePresses(), (std::vector<int>{0, 1}));
}

TEST_F(AutopilotModuleTest, ApcReportsEncodersThenButtonsThenTheBar) {
    QDAPC_Module m;
    int value = 0;
    QDAPCControlVals v = {{0, 0, 3, 0, -2}, 0b00000101, 1};
    EXPECT_EQ(m.GetButton(&v, &value), 11); // encoder C
    EXPECT_EQ(value, 3);
    v.enc[2] = 0;
    EXPECT_EQ(m.GetButton(&v, &value), 13); // encoder E
    EXPECT_EQ(value, -2);
    v.enc[4] = 0;
    EXPECT_EQ(m.GetButton(&v, &value), 0);
    EXPECT_EQ(m.GetButton(&v, &value), 2);
    EXPECT_EQ(m.GetButton(&v, &value), QDAPC_Module::kDisengageBar);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(m.GetButton(&v, &value), -1);
    v.switches2 = 0;
    EXPECT_EQ(m.GetButton(&v, &value), QDAPC_Module::kDisengageBar);
    EXPECT_EQ(value, 0);
}

TEST_F(AutopilotModuleTest, ApcTunesItsDisplaysAndLightsButtonLamps) {
    QDAPC_Module m;
    m.Register(0);
    m.AssignFunction('C', AP_SPEED_ADJ, -1, -1);
    m.AssignFunction('8', AP_MASTER, -1, -1);
    EXPECT_EQ(m.GetFunction('C'), AP_SPEED_ADJ);
    EXPECT_EQ(m.GetFunction('A'), NADA);
    EXPECT_EQ(m.GetFunction('Z'), NADA);
    hostsim::SetInt("sim/cockpit/autopilot/autopilot_mode", 2);
    hostsim::SetFloat("sim/cockpit/autopilot/airspeed", 160.0f);
    m.HandleInput(11, 5); // encoder C: five knots
    EXPECT_FLOAT_EQ(hostsim::GetFloat("sim/cockpit/autopilot/airspeed"), 165.0f);
    m.Refresh();
    EXPECT_EQ(m.lastLamps, 0x80);
    EXPECT_STREQ(m.lastTexts[2], "  165");
    // Display A is unassigned: C still follows the simulator's own changes.
    hostsim::SetFloat("sim/cockpit/autopilot/airspeed", 180.0f);
    m.Refresh();
    EXPECT_STREQ(m.lastTexts[2], "  180");
    hostsim::SetInt("sim/cockpit/electrical/avionics_on", 0);
    m.Refresh();
    EXPECT_EQ(m.lastLamps, 0);
    EXPECT_STREQ(m.lastTexts[2], "   ");
    EXPECT_STREQ(m.lastTexts[3], "      ");
}

TEST_F(AutopilotModuleTest, ApxSwitchKindsWithoutX737) {
    QDAPX_Module m;
    hostsim::ClearCommandLog();
    m.Register(0);
    m.AssignFunction(22, AP_DISENGAGE, -1, -1); // bar clear: disengage once bound
    m.AssignFunction(2, AP_MASTER, -1, -1);
    EXPECT_EQ(DisengagePresses(), std::vector<int>{1});
    EXPECT_EQ(m.GetFunction(22), AP_DISENGAGE);
    EXPECT_EQ(m.GetFunction(24), NADA);
    hostsim::ClearCommandLog();
    m.HandleInput(22, 1);
    m.HandleInput(22, 0);
    EXPECT_EQ(DisengagePresses(), (std::vector<int>{0, 1}));

    const char* apMode = "sim/cockpit/autopilot/autopilot_mode";
    hostsim::SetInt(apMode, 0);
    m.HandleInput(2, 1); // a button toggles on press
    EXPECT_EQ(hostsim::GetInt(apMode), 2);
    m.HandleInput(2, 0); // and does nothing on release
    EXPECT_EQ(hostsim::GetInt(apMode), 2);
    EXPECT_EQ(m.lastLamps & (1u << 2), 1u << 2); // HandleInput redraws at once
}

TEST_F(AutopilotModuleTest, ApxX737CommandsFollowTheTranslationTable) {
    InstallX737Commands();
    QDAPX_Module m;
    m.Register(0); // bar clear: disconnect on; A/T, F/D left and right clear: off
    EXPECT_EQ(g_ran, (std::vector<XPLMCommandRef>{Handle(100, 17), Handle(200, 1), Handle(200, 0),
                                                  Handle(200, 18)}));

    g_ran.clear();
    m.HandleInput(22, 1); // bar down
    m.HandleInput(22, 0); // bar lifted
    m.HandleInput(4, 1);  // A/T arm switch on
    m.HandleInput(4, 0);
    m.HandleInput(0, 1); // VNAV pressed
    m.HandleInput(0, 0); // released: nothing
    m.HandleInput(9, 1); // no x737 command behind CWS A
    m.HandleInput(5, 1); // IAS/MACH: changeover
    EXPECT_EQ(g_ran, (std::vector<XPLMCommandRef>{Handle(200, 17), Handle(100, 17), Handle(100, 1),
                                                  Handle(200, 1), Handle(300, 5), Handle(300, 4)}));

    // A command the aircraft does not have is skipped.
    g_ran.clear();
    CommandToggleRefs[5] = nullptr;
    m.HandleInput(0, 1);
    EXPECT_TRUE(g_ran.empty());
}

TEST_F(AutopilotModuleTest, ApxDisabledPanelIsLeftAloneAndEveryUnitResendsWhenHandedBack) {
    QDAPX_Module a;
    QDAPX_Module b;
    a.Register(0);
    b.Register(1);
    a.AssignFunction(25, AP_NAV_COURSE_ADJ, -1, -1);
    b.AssignFunction(25, AP_NAV_COURSE_ADJ, -1, -1);
    a.Refresh();
    b.Refresh();
    ASSERT_STRNE(a.lastTexts[0], "");

    APX_Disabled = 1;
    QDAPX_Module c;
    c.Register(3);
    EXPECT_EQ(c.unit, 0); // registration does nothing at all
    c.AssignFunction(25, AP_SPEED_ADJ, -1, -1);
    EXPECT_EQ(c.displays[0], nullptr);
    EXPECT_EQ(a.GetFunction(25), NADA);
    int value = 0;
    QDAPXControlVals v = {{1, 0, 0, 0, 0, 0}, 0x1};
    EXPECT_EQ(a.GetButton(&v, &value), -1);
    a.Refresh();
    b.Refresh();

    APX_Disabled = 0;
    a.SetDisplay();
    b.SetDisplay();
    for (const QDAPX_Module* m : {&a, &b}) {
        EXPECT_EQ(m->lastLamps, 0u); // sent again even though nothing is lit
        EXPECT_STREQ(m->lastTexts[0], a.displays[0]->text);
        EXPECT_EQ(m->APX_Disabled_Previous_Value, 0);
    }
}

TEST_F(AutopilotModuleTest, NdcSelectorsReportTheirPositionAndSelectIt) {
    QDNDC_Module m;
    m.Register(0);
    for (int k = 20; k <= 26; ++k)
        m.AssignFunction(static_cast<char>(k), static_cast<E_UnitType>(EFIS_ND_RANGE_10NM + (k - 20)), -1,
                         -1);
    EXPECT_EQ(m.GetFunction(21), EFIS_ND_RANGE_20NM);
    int value = -1;
    QDNDCControlVals v = {0, 0, 0, 0x10}; // range 20 NM
    EXPECT_EQ(m.GetButton(&v, &value), 21);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(m.GetButton(&v, &value), -1);
    m.HandleInput(21, value);
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/switches/EFIS_map_range_selector"), 1);
    m.HandleInput(20, 0); // position 0 still writes its value
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/switches/EFIS_map_range_selector"), 0);

    // A position no selector has (a bad report) is not reported and selects nothing.
    v.selectors = 0xF9;
    EXPECT_EQ(m.GetButton(&v, &value), -1);
    m.HandleInput(27, 1);
    m.HandleInput(38, 1);
}

TEST_F(AutopilotModuleTest, NdcTogglesKnobsAndDisabling) {
    QDNDC_Module m;
    m.Register(0);
    m.AssignFunction(9, EFIS_VOR_SEL1, -1, -1);
    m.AssignFunction(29, ALTIMETER, -1, -1);
    const char* dme1 = "sim/cockpit/switches/EFIS_dme_1_selector";
    hostsim::SetInt(dme1, 0);
    int value = 0;
    QDNDCControlVals v = {0, 0, 1u << 9, 0};
    EXPECT_EQ(m.GetButton(&v, &value), 9);
    m.HandleInput(9, value);
    EXPECT_EQ(hostsim::GetInt(dme1), 2);
    hostsim::SetFloat("sim/cockpit/misc/barometer_setting", 29.92f);
    v = {0, 2, 1u << 9, 0};
    EXPECT_EQ(m.GetButton(&v, &value), QDNDC_Module::kRightEncoder);
    m.HandleInput(QDNDC_Module::kRightEncoder, value);
    EXPECT_NEAR(hostsim::GetFloat("sim/cockpit/misc/barometer_setting"), 29.94f, 1e-4);

    NDC_Disabled = 1;
    EXPECT_EQ(m.GetButton(&v, &value), -1);
    EXPECT_EQ(m.GetFunction(29), NADA);
    m.HandleInput(QDNDC_Module::kRightEncoder, 5);
    EXPECT_NEAR(hostsim::GetFloat("sim/cockpit/misc/barometer_setting"), 29.94f, 1e-4);
}

} // namespace
