// Radio and instrument units against the simulator stand-in, in process. No device library is
// running, so what a module sent is read from its kept copies (they take exactly the text sent).
#include "modules/avionics.h"

#include <gtest/gtest.h>

#include "hostsim.h"
#include "qddev.h"
#include "simlink/avionic.h"
#include "simlink/custom_datarefs.h"
#include "simlink/value_lists.h"

namespace {

constexpr const char* kCom1 = "sim/cockpit/radios/com1_freq_hz";
constexpr const char* kCom1Standby = "sim/cockpit/radios/com1_stdby_freq_hz";
constexpr const char* kXpdr = "sim/cockpit/radios/transponder_code";
constexpr const char* kAvionicsOn = "sim/cockpit/electrical/avionics_on";

class AvionicsModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
        DRAV_ResetAvionicsPowerRefs();
        hostsim::SetInt(kCom1, 11825);
        hostsim::SetInt(kCom1Standby, 12150);
        hostsim::SetInt(kXpdr, 1200);
        hostsim::SetInt(kAvionicsOn, 1);
        qd_inst.index = 0;
        qd_ap.index = 0;
    }

    // What the registry does after reading the page keys.
    template <typename M> static void Configure(M& m, std::initializer_list<E_UnitType> pages) {
        int i = 0;
        for (E_UnitType f : pages)
            m.functions[i++] = f;
        for (; i < QD_Abstract_AvionicDevice::kPositions; ++i)
            m.functions[i] = NADA;
        m.current = 0;
        m.Register(0);
        while (m.current < 7 && m.functions[m.current] == NADA)
            ++m.current;
        if (m.functions[m.current] == NADA) m.current = 0;
        m.AssignAvionic(m.functions[m.current]);
        m.SetDisplay();
    }

    static QDAVYControlVals Avy(short e1, short e2, unsigned char button) { return {e1, e2, button}; }
    static QDRSXControlVals Rsx(short l, short r, unsigned char sw) { return {l, r, sw}; }
};

using Pages = E_UnitType[QD_Abstract_AvionicDevice::kPositions];

TEST(PageStepping, WalksTheRingBothWaysAndStopsOnAnEmptyEntry) {
    Pages f = {NADA, COM1_ACTIVE, NADA, NADA, NADA, XPDR, NADA, NADA};
    int current = 5;
    EXPECT_TRUE(DRAV_StepPage(f, current, true)); // wraps past entry 8
    EXPECT_EQ(current, 1);
    EXPECT_TRUE(DRAV_StepPage(f, current, false)); // wraps past entry 1
    EXPECT_EQ(current, 5);
    current = 0; // empty entry: nothing moves
    EXPECT_FALSE(DRAV_StepPage(f, current, true));
    EXPECT_EQ(current, 0);

    Pages one = {NADA, NADA, ADF1_DUAL, NADA, NADA, NADA, NADA, NADA};
    current = 2; // a single page comes back to itself
    EXPECT_TRUE(DRAV_StepPage(one, current, true));
    EXPECT_EQ(current, 2);
    EXPECT_TRUE(DRAV_StepPage(one, current, false));
    EXPECT_EQ(current, 2);
}

TEST(PageStepping, PageStepEntriesAreNeverLandedOn) {
    // Stepping onto an entry that itself steps would recurse without end.
    Pages steps = {NEXT, PREV, NADA, NADA, NADA, NADA, NADA, NADA};
    int current = 0;
    EXPECT_FALSE(DRAV_StepPage(steps, current, true));
    EXPECT_EQ(current, 0);
    Pages mixed = {XPDR, NEXT, NADA, NADA, NADA, NADA, NADA, PREV};
    current = 1;
    EXPECT_TRUE(DRAV_StepPage(mixed, current, true));
    EXPECT_EQ(current, 0);
    current = 1;
    EXPECT_TRUE(DRAV_StepPage(mixed, current, false));
    EXPECT_EQ(current, 0);
}

TEST_F(AvionicsModuleTest, AvxShowsAndTunesASingleValue) {
    QDAVX_Module m;
    Configure(m, {NADA, COM1_STANDBY});
    EXPECT_EQ(m.current, 1);
    EXPECT_EQ(m.GetAvionicType(), COM1_STANDBY);
    EXPECT_EQ(m.GetFunction('7'), COM1_STANDBY);
    EXPECT_STREQ(m.lastAlpha, "CM1S");
    EXPECT_STREQ(m.lastNumeric, "121.50");

    m.HandleInput(1, 1); // fine: one 25 kHz channel
    EXPECT_EQ(hostsim::GetInt(kCom1Standby), 12152);
    m.HandleInput(0, -1); // coarse: one MHz down
    EXPECT_EQ(hostsim::GetInt(kCom1Standby), 12052);
    m.Refresh();
    EXPECT_STREQ(m.lastNumeric, "120.52");
    EXPECT_EQ(hostsim::GetInt(kCom1), 11825); // the active value is untouched
}

TEST_F(AvionicsModuleTest, AvxWithoutPagesStaysBlankAndIgnoresInput) {
    QDAVX_Module m;
    Configure(m, {});
    EXPECT_EQ(m.current, 0);
    EXPECT_EQ(m.GetAvionicType(), NADA);
    m.HandleInput(0, 3);
    m.HandleInput(1, 3);
    m.Refresh();
    EXPECT_STREQ(m.lastAlpha, "");
    EXPECT_STREQ(m.lastNumeric, "");
}

TEST_F(AvionicsModuleTest, ListIndexIsClampedSharedAndNeverRestsOnAnUnboundItem) {
    QDAVX_Module a;
    QDAVX_Module b;
    Configure(a, {FUNC_INST});
    Configure(b, {FUNC_INST});
    EXPECT_EQ(a.GetAvionicType(), FUNC_INST);
    a.HandleInput(0, 20);
    EXPECT_EQ(qd_inst.index, 5);
    a.HandleInput(0, -20);
    EXPECT_EQ(qd_inst.index, 0);
    a.HandleInput(0, 1); // every unit showing the list follows
    b.SetDisplay();
    EXPECT_EQ(b.ShownValue(), qd_inst.values[1]);
    EXPECT_STREQ(b.lastAlpha, qd_inst.values[1]->label);

    // The autopilot list binds five values; its sixth slot stays empty.
    QDAVX_Module ap;
    Configure(ap, {FUNC_AP});
    ASSERT_EQ(qd_ap.values[5], nullptr);
    ap.HandleInput(0, 9);
    EXPECT_EQ(qd_ap.index, 4);
    ASSERT_NE(ap.ShownValue(), nullptr);
    ap.HandleInput(1, 1); // tunes the item shown, no crash
    ap.SetDisplay();
    EXPECT_STREQ(ap.lastAlpha, qd_ap.values[4]->label);
}

TEST_F(AvionicsModuleTest, PageStepValuesMoveThroughTheConfiguredPages) {
    QDAVX_Module m;
    Configure(m, {COM1_ACTIVE, NADA, XPDR});
    m.AssignAvionic(NEXT);
    EXPECT_EQ(m.current, 2);
    EXPECT_EQ(m.GetAvionicType(), XPDR);
    EXPECT_STREQ(m.lastAlpha, "XPDR");
    EXPECT_STREQ(m.lastNumeric, "1200"); // QD-AVX shows the code as it is
    m.AssignAvionic(NEXT);
    EXPECT_EQ(m.GetAvionicType(), COM1_ACTIVE);
    m.AssignAvionic(PREV);
    EXPECT_EQ(m.GetAvionicType(), XPDR);

    // A first page that is itself a page step shows the next real page, and a unit whose
    // only pages are steps shows nothing (instead of stepping for ever).
    QDAVX_Module s;
    Configure(s, {NEXT, NADA, COM1_STANDBY});
    EXPECT_EQ(s.GetAvionicType(), COM1_STANDBY);
    QDAVX_Module t;
    Configure(t, {PREV, NEXT});
    EXPECT_EQ(t.GetAvionicType(), NADA);
}

TEST_F(AvionicsModuleTest, AvyReportsOneControlPerCallWithTheButtonFirst) {
    QDAVY_Module m;
    int value = 0;
    auto both = Avy(2, -3, 0);
    EXPECT_EQ(m.GetButton(&both, &value), 1); // encoder 2 wins over encoder 1
    EXPECT_EQ(value, -3);
    auto pressed = Avy(2, -3, 1);
    EXPECT_EQ(m.GetButton(&pressed, &value), 2); // the button wins over both
    EXPECT_EQ(value, 1);
    EXPECT_EQ(m.lastButton, 1);
    auto still = Avy(0, 0, 1);
    EXPECT_EQ(m.GetButton(&still, &value), -1);
    auto released = Avy(0, 0, 0);
    EXPECT_EQ(m.GetButton(&released, &value), 2);
    EXPECT_EQ(value, 0);

    // Drained, one report gives every control once.
    m.BeginReport();
    EXPECT_EQ(m.GetButton(&pressed, &value), 2);
    EXPECT_EQ(m.GetButton(&pressed, &value), 1);
    EXPECT_EQ(value, -3);
    EXPECT_EQ(m.GetButton(&pressed, &value), 0);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(m.GetButton(&pressed, &value), -1);
    m.EndReport();
}

TEST_F(AvionicsModuleTest, AvyButtonStepsForwardAndPadsTheTransponderCode) {
    QDAVY_Module m;
    Configure(m, {COM1_ACTIVE, NADA, NADA, XPDR});
    EXPECT_STREQ(m.lastNumeric, "118.25");
    m.HandleInput(2, 0); // release does nothing
    EXPECT_EQ(m.current, 0);
    m.HandleInput(2, 1);
    EXPECT_EQ(m.current, 3);
    EXPECT_EQ(m.GetAvionicType(), XPDR);
    EXPECT_STREQ(m.lastNumeric, " 1200");
    m.HandleInput(1, 1); // fine: last two digits
    EXPECT_EQ(hostsim::GetInt(kXpdr), 1201);
    m.HandleInput(2, 1);
    EXPECT_EQ(m.current, 0);

    QDAVY_Module single;
    Configure(single, {NADA, NADA, XPDR});
    single.HandleInput(2, 1); // same function again: nothing to do
    EXPECT_EQ(single.current, 2);
    EXPECT_EQ(single.GetAvionicType(), XPDR);
}

TEST_F(AvionicsModuleTest, PowerLossBlanksAndRestoresEveryText) {
    QDAVY_Module m;
    Configure(m, {COM1_ACTIVE});
    hostsim::SetInt(kAvionicsOn, 0);
    m.Refresh();
    EXPECT_STREQ(m.lastAlpha, "    ");
    EXPECT_STREQ(m.lastNumeric, "      ");
    hostsim::SetInt(kAvionicsOn, 1);
    m.Refresh();
    EXPECT_STREQ(m.lastAlpha, "COM1");
    EXPECT_STREQ(m.lastNumeric, "118.25");

    QDRSX_Module r;
    Configure(r, {COM1_DUAL});
    hostsim::SetInt(kAvionicsOn, 0);
    r.Refresh();
    EXPECT_STREQ(r.lastLeft, "      ");
    EXPECT_STREQ(r.lastRight, "      ");
    EXPECT_EQ(r.lastLamps, 0);
    hostsim::SetInt(kAvionicsOn, 1);
    r.Refresh();
    EXPECT_STREQ(r.lastLeft, "C.118.25");
    EXPECT_STREQ(r.lastRight, " 121.50");
}

TEST_F(AvionicsModuleTest, RsxDualPageTunesStandbyAndTransfers) {
    QDRSX_Module m;
    Configure(m, {COM1_DUAL});
    EXPECT_EQ(m.GetAvionicType(), COM1_DUAL);
    EXPECT_EQ(m.GetFunction('M'), COM1_DUAL);
    ASSERT_NE(m.right, nullptr);
    EXPECT_STREQ(m.lastLeft, "C.118.25");
    EXPECT_STREQ(m.lastRight, " 121.50");

    m.HandleInput(4, 2); // fine knob: two channels on the standby
    m.HandleInput(3, 1); // coarse knob: one MHz on the standby
    EXPECT_EQ(hostsim::GetInt(kCom1Standby), 12255);
    EXPECT_EQ(hostsim::GetInt(kCom1), 11825);
    m.HandleInput(0, 0); // transfer released: nothing
    EXPECT_EQ(hostsim::GetInt(kCom1), 11825);
    m.HandleInput(0, 1);
    EXPECT_EQ(hostsim::GetInt(kCom1), 12255);
    EXPECT_EQ(hostsim::GetInt(kCom1Standby), 11825);
    m.Refresh();
    EXPECT_STREQ(m.lastLeft, "C.122.55");
    EXPECT_STREQ(m.lastRight, " 118.25");
}

TEST_F(AvionicsModuleTest, RsxSimplePageShowsLabelAndTunesTheValueItself) {
    QDRSX_Module m;
    Configure(m, {XPDR});
    EXPECT_EQ(m.right, nullptr);
    EXPECT_STREQ(m.lastLeft, "XPDR");
    EXPECT_STREQ(m.lastRight, " 1200");
    m.HandleInput(0, 1); // no standby: the transfer button does nothing
    EXPECT_EQ(hostsim::GetInt(kXpdr), 1200);
    m.HandleInput(3, 1);
    m.HandleInput(4, -1);
    EXPECT_EQ(hostsim::GetInt(kXpdr), 1377);
    m.Refresh();
    EXPECT_STREQ(m.lastRight, " 1377");
}

TEST_F(AvionicsModuleTest, RsxEncodersComeBeforeButtonsAndButtonsOneAtATime) {
    QDRSX_Module m;
    int value = 0;
    auto turn = Rsx(-1, 4, 0b011);
    EXPECT_EQ(m.GetButton(&turn, &value), 3);
    EXPECT_EQ(value, -1);
    auto fine = Rsx(0, 4, 0b011);
    EXPECT_EQ(m.GetButton(&fine, &value), 4);
    EXPECT_EQ(value, 4);
    auto buttons = Rsx(0, 0, 0b011);
    EXPECT_EQ(m.GetButton(&buttons, &value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(m.GetButton(&buttons, &value), 1); // the second change follows on the next call
    EXPECT_EQ(m.GetButton(&buttons, &value), -1);
    auto release = Rsx(0, 0, 0b001);
    EXPECT_EQ(m.GetButton(&release, &value), 1);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(m.lastButtons, 0b001);
}

TEST_F(AvionicsModuleTest, RsxFunctionButtonsDriveTheirBindingAndLamp) {
    QDRSX_Module m;
    Configure(m, {COM1_DUAL});
    m.AssignFunction('L', AP_MASTER, -1, -1);
    EXPECT_EQ(m.GetFunction('L'), AP_MASTER);
    EXPECT_EQ(m.GetFunction('R'), NADA);
    EXPECT_EQ(m.GetFunction('X'), NADA);
    const char* apMode = "sim/cockpit/autopilot/autopilot_mode";
    hostsim::SetInt(apMode, 2);
    m.Refresh();
    EXPECT_EQ(m.lastLamps, 0b010);
    m.HandleInput(1, 1); // press toggles the autopilot off
    EXPECT_EQ(hostsim::GetInt(apMode), 0);
    m.Refresh();
    EXPECT_EQ(m.lastLamps, 0);
}

TEST_F(AvionicsModuleTest, RsxPageStepLeavesTheSharedDualValueAlone) {
    QDRSX_Module a;
    QDRSX_Module b;
    Configure(a, {COM1_DUAL});
    Configure(b, {XPDR, NAV1_DUAL});
    b.AssignAvionic(NEXT);
    EXPECT_EQ(b.GetAvionicType(), NAV1_DUAL);
    // Unit a still shows COM1 as a dual page.
    EXPECT_EQ(a.GetAvionicType(), COM1_DUAL);
    EXPECT_STREQ(a.left->label, "CM1D");
    b.AssignAvionic(PREV);
    EXPECT_EQ(b.GetAvionicType(), XPDR);
    EXPECT_EQ(b.right, nullptr);
}

} // namespace
