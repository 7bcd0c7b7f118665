// The Assign Functions dialog, end to end: opened from the menu, driven by widget messages and
// clicks on the popup menus as a user would, every pick checked in DRAV.INI and on the unit.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "harness.h"

#include <filesystem>

namespace e2e {
namespace {

constexpr int kX737On = static_cast<int>(0x8888888E);
constexpr intptr_t kPopupCurrentItem = 1800;
constexpr intptr_t kPopupItemOffset = 1801;
constexpr intptr_t kPopupItemLength = 1802;

// The dialog's geometry for the 650 x 650 window the menu opens.
constexpr int kLeft = (1024 - 650) / 2;
constexpr int kTop = 768 - (768 - 650) / 2;

class DialogTest : public DravTest {
  protected:
    static bool Open() { return hostsim::PickMenuItem("Plugins/Quandel/Assign Functions"); }

    static std::vector<hostsim::WidgetInfo> Alive() { return hostsim::Widgets(); }

    static const hostsim::WidgetInfo* At(const std::vector<hostsim::WidgetInfo>& all, int left, int top,
                                         int cls) {
        for (const auto& w : all)
            if (w.left == left && w.top == top && w.widget_class == cls) return &w;
        return nullptr;
    }
    static XPWidgetID Id(int left, int top, int cls) {
        const auto all = Alive();
        const auto* w = At(all, left, top, cls);
        return w ? static_cast<XPWidgetID>(w->id) : nullptr;
    }
    static XPWidgetID DevicePopup() { return Id(kLeft + 10, kTop - 40, -1); }
    static XPWidgetID FunctionPopup(int row) { return Id(kLeft + 310, kTop - 40 - 20 * row, -1); }
    static XPWidgetID Origin(int row) { return Id(kLeft + 614, kTop - 40 - 20 * row, xpWidgetClass_Caption); }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static XPWidgetID ColourPopup(int row) { return Id(kLeft + 230, kTop - 40 - 20 * row, -1); }
    static XPWidgetID Caption(int row) {
        return Id(kLeft + 150, kTop - 40 - 20 * row, xpWidgetClass_Caption);
    }
    static XPWidgetID ScrollBar(int k) {
        return Id(kLeft + 310, kTop - 210 - 40 * k, xpWidgetClass_ScrollBar);
    }
    static XPWidgetID ValueLabel(int k) {
        return Id(kLeft + 370, kTop - 225 - 40 * k, xpWidgetClass_Caption);
    }

    static std::string Descriptor(XPWidgetID w) {
        char buf[65536] = {};
        XPGetWidgetDescriptor(w, buf, sizeof buf - 1);
        return buf;
    }
    // The text the popup shows (its current item).
    static std::string Current(XPWidgetID popup) {
        const std::string list = Descriptor(popup);
        return list.substr(XPGetWidgetProperty(popup, kPopupItemOffset, nullptr),
                           XPGetWidgetProperty(popup, kPopupItemLength, nullptr));
    }
    static bool Shown(XPWidgetID w) { return w != nullptr && XPIsWidgetVisible(w); }

    // Clicks the popup, finds the item where the open menu draws it, and clicks it.
    static bool Pick(XPWidgetID popup, const std::string& item) {
        if (popup == nullptr) return false;
        XPSendMessageToWidget(popup, xpMsg_MouseDown, xpMode_Direct, 0, 0);
        const auto windows = hostsim::Windows();
        if (windows.empty() || !windows.back().alive) return false;
        const int menu = windows.back().index;
        hostsim::DrawWindows();
        for (const auto& t : hostsim::LastDrawnText()) {
            if (t.window != menu || t.text != item) continue;
            hostsim::ClickWindow(menu, t.x + 2, t.y + 3, 1);
            hostsim::ClickWindow(menu, t.x + 2, t.y + 3, 3);
            return true;
        }
        hostsim::ClickWindow(menu, 0, 0, 3);
        return false;
    }
};

TEST_F(DialogTest, DevicePopupListsUnitsInModelOrderAndOpensTheFirstPage) {
    Plug(RSX);
    Plug(KNB);
    Plug(PBX);
    Plug(AVY);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    XPWidgetID device = DevicePopup();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(Descriptor(device), "QD-AVY Unit 1;QD-PBX Unit 1;QD-KNB Unit 1;QD-RSX Unit 1;");
    const auto all = Alive();
    const auto root = std::find_if(all.begin(), all.end(), [](const auto& w) { return w.is_root; });
    ASSERT_NE(root, all.end());
    EXPECT_EQ(root->descriptor, "Quandel Module Manager 2.63 (KT) : Assign Functions");
    EXPECT_EQ(root->left, kLeft);
    EXPECT_EQ(root->bottom, kTop - 650);

    // The QD-AVY page: eight modes with the avionics list, nothing else.
    EXPECT_EQ(Descriptor(Caption(0)), "Mode 1 (Initial)");
    EXPECT_TRUE(Shown(FunctionPopup(7)));
    EXPECT_FALSE(Shown(FunctionPopup(8)));
    EXPECT_EQ(Current(FunctionPopup(0)), "No Selection");
    EXPECT_TRUE(Descriptor(FunctionPopup(0)).starts_with("No Selection;ADF1_ACTIVE;ADF1_STANDBY;"));

    // The QD-KNB page: buttons carry the per-unit items of the radio stack and the display unit.
    ASSERT_TRUE(Pick(device, "QD-KNB Unit 1"));
    EXPECT_EQ(Descriptor(Caption(11)), "Knob D");
    EXPECT_TRUE(Descriptor(FunctionPopup(0))
                    .ends_with(";QDRSX_1_FUNC_NEXT;QDAVY_1_FUNC_COM1_ACTIVE;"
                               "QDAVY_1_FUNC_COM1_STANDBY;QDAVY_1_FUNC_COM2_ACTIVE;"
                               "QDAVY_1_FUNC_COM2_STANDBY;QDAVY_1_FUNC_NAV1_ACTIVE;"
                               "QDAVY_1_FUNC_NAV1_STANDBY;QDAVY_1_FUNC_NAV2_ACTIVE;"
                               "QDAVY_1_FUNC_NAV2_STANDBY;QDAVY_1_FUNC_ADF1_ACTIVE;"
                               "QDAVY_1_FUNC_ADF1_STANDBY;QDAVY_1_FUNC_ADF2_ACTIVE;"
                               "QDAVY_1_FUNC_ADF2_STANDBY;QDAVY_1_FUNC_XPDR;"
                               "QDAVY_1_FUNC_ALTIMETER;QDAVY_1_FUNC_DECISION_HEIGHT;"
                               "QDAVY_1_FUNC_NAV1_NAV2_TOGGLE;"
                               "QDAVY_1_FUNC_COM1_COM2_TOGGLE;QDAVY_1_FUNC_PREV;"
                               "QDAVY_1_FUNC_NEXT;"));
    EXPECT_TRUE(Descriptor(FunctionPopup(8)).starts_with("No Selection;ADF1_ACTIVE_COARSE;"));
    EXPECT_EQ(ReadIni(), "") << "showing a page writes nothing";
}

TEST_F(DialogTest, PickingAFunctionWritesItAndTheUnitUsesItAtOnce) {
    WriteIni("[QDRSX_1]\nFunction1=COM1_DUAL\n");
    hostsim::SetInt("sim/cockpit/radios/com2_stdby_freq_hz", 12150);
    hostsim::SetInt("sim/cockpit/radios/com1_stdby_freq_hz", 11800);
    qdtest::Unit& rsx = Plug(RSX);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    // Row 0 is not used on the radio stack's page.
    EXPECT_FALSE(Shown(FunctionPopup(0)));
    EXPECT_EQ(Descriptor(Caption(1)), "Left Function");
    EXPECT_EQ(Descriptor(Caption(3)), "Mode 1 (Initial)");
    EXPECT_EQ(Current(FunctionPopup(3)), "COM1_DUAL");

    ASSERT_TRUE(Pick(FunctionPopup(3), "COM2_DUAL"));
    EXPECT_EQ(ReadIni(), "[QDRSX_1]\nFunction1=COM2_DUAL\n");
    EXPECT_EQ(Current(FunctionPopup(3)), "COM2_DUAL");
    rsx.turn(2, 1);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt("sim/cockpit/radios/com2_stdby_freq_hz") == 12152; }));
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/radios/com1_stdby_freq_hz"), 11800);

    ASSERT_TRUE(Pick(FunctionPopup(2), "QDRSX_1_FUNC_NEXT"));
    EXPECT_EQ(ReadIni(), "[QDRSX_1]\nFunction1=COM2_DUAL\nFunctionR=QDRSX_1_FUNC_NEXT\n");
}

TEST_F(DialogTest, NoSelectionRemovesTheKeySoTheDefaultReturns) {
    WriteIni("[QDAPC_1]\nFunction1=AP_HDG_HOLD\n");
    Plug(APC);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    EXPECT_EQ(Descriptor(Caption(0)), "NAV HOLD button");
    EXPECT_EQ(Descriptor(Caption(13)), "DISENGAGE bar");
    EXPECT_EQ(Current(FunctionPopup(0)), "AP_HDG_HOLD");
    EXPECT_EQ(Current(FunctionPopup(1)), "AP_NAV_COURSE_ADJ");
    ASSERT_TRUE(Pick(FunctionPopup(0), "No Selection"));
    EXPECT_EQ(ReadIni(), "[QDAPC_1]\n");
    // Shown again, the page reads the registration default.
    ASSERT_TRUE(Pick(DevicePopup(), "QD-APC Unit 1"));
    EXPECT_EQ(Current(FunctionPopup(0)), "AP_LNAV");
}

TEST_F(DialogTest, SlidersShowTheirValuesAndWriteMoves) {
    WriteIni("[QDTHQ_1]\nFunctionA=ENG_1_THROTTLE\n");
    Plug(THQ);
    Plug(GTP);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Pick(DevicePopup(), "QD-THQ Unit 1"));
    EXPECT_EQ(Descriptor(ValueLabel(2)), "60%") << "Thrust Rev Max without a value";
    EXPECT_EQ(Descriptor(ValueLabel(3)), "100%");
    XPWidgetID bar = ScrollBar(3);
    ASSERT_TRUE(Shown(bar));
    XPSetWidgetProperty(bar, xpProperty_ScrollBarSliderPosition, 35);
    XPSendMessageToWidget(bar, xpMsg_ScrollBarSliderPositionChanged, xpMode_UpChain,
                          reinterpret_cast<intptr_t>(bar), 0);
    EXPECT_EQ(ReadIni(), "[QDTHQ_1]\nFunctionA=ENG_1_THROTTLE\nFLAP_NULL_ZONE=0.35\n");
    EXPECT_EQ(Descriptor(ValueLabel(3)), "35%");

    // The gear-and-trim panel: whole-number gain, clamped reading.
    ASSERT_TRUE(Pick(DevicePopup(), "QD-GTP Unit 1"));
    EXPECT_EQ(Current(FunctionPopup(0)), "ELEV_TRIM");
    EXPECT_FALSE(Shown(ScrollBar(1)));
    bar = ScrollBar(0);
    EXPECT_EQ(XPGetWidgetProperty(bar, xpProperty_ScrollBarMax, nullptr), 10);
    XPSetWidgetProperty(bar, xpProperty_ScrollBarSliderPosition, 7);
    XPSendMessageToWidget(bar, xpMsg_ScrollBarSliderPositionChanged, xpMode_UpChain,
                          reinterpret_cast<intptr_t>(bar), 0);
    EXPECT_TRUE(ReadIni().ends_with("[QDGTP_1]\nWHEEL_GAIN=7\n")) << ReadIni();
    EXPECT_EQ(Descriptor(ValueLabel(0)), "7");
}

TEST_F(DialogTest, ColourPopupsOfTheAnnunciatorPanel) {
    Plug(ANP);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    EXPECT_EQ(Descriptor(ColourPopup(0)), "BLACK;WHITE;RED;GREEN;BLUE;MAGENTA;YELLOW;CYAN;");
    ASSERT_TRUE(Pick(ColourPopup(5), "GREEN"));
    ASSERT_TRUE(Pick(FunctionPopup(5), "ANP_GEAR_DOWN"));
    EXPECT_EQ(ReadIni(), "[QDANP_1]\nColour6=GREEN\nFunction6=ANP_GEAR_DOWN\n");
}

TEST_F(DialogTest, APickThatCannotBeWrittenIsShownNotSaved) {
    Plug(RSX);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    auto status_shown = [] {
        for (const auto& w : Alive())
            if (w.descriptor.find("NOT SAVED") != std::string::npos) return true;
        return false;
    };
    EXPECT_FALSE(status_shown());
    // The settings file's place is taken by a folder: no write can succeed.
    std::filesystem::remove(PluginFolder() + "DRAV.INI");
    ASSERT_TRUE(std::filesystem::create_directory(PluginFolder() + "DRAV.INI"));
    ASSERT_TRUE(Pick(FunctionPopup(3), "COM2_DUAL"));
    EXPECT_TRUE(status_shown());
    std::filesystem::remove(PluginFolder() + "DRAV.INI");
    ASSERT_TRUE(Pick(FunctionPopup(3), "NAV1_DUAL"));
    EXPECT_FALSE(status_shown()) << "a pick that was saved clears the warning";
    EXPECT_EQ(ReadIni(), "[QDRSX_1]\nFunction1=NAV1_DUAL\n");
}

TEST_F(DialogTest, ClosingDestroysEveryWidgetAndTheMenuOpensItAgain) {
    Plug(PBX);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    const size_t count = Alive().size();
    // The window, the device and layer popups with the aircraft's name, the save status, per row a
    // caption, two popups and the origin, the sliders.
    EXPECT_EQ(count, 1u + 3u + 1u + 30u * 4u + 4u * 5u);
    const auto all = Alive();
    auto root = static_cast<XPWidgetID>(
        std::find_if(all.begin(), all.end(), [](const auto& w) { return w.is_root; })->id);
    XPSendMessageToWidget(root, xpMessage_CloseButtonPushed, xpMode_UpChain, reinterpret_cast<intptr_t>(root),
                          0);
    EXPECT_TRUE(Alive().empty());

    ASSERT_TRUE(Open());
    EXPECT_EQ(Alive().size(), count);
    ASSERT_TRUE(Open()); // one dialog at a time
    EXPECT_EQ(Alive().size(), count);

    // The x737 message closes it, also with a popup menu open.
    XPSendMessageToWidget(FunctionPopup(0), xpMsg_MouseDown, xpMode_Direct, 0, 0);
    const int menu = hostsim::Windows().back().index;
    hostsim::SendMessage(0, kX737On, 0);
    Frames(1);
    EXPECT_TRUE(Alive().empty());
    EXPECT_FALSE(hostsim::Windows()[menu].alive);

    // Disabling with the dialog open leaves no widget of ours behind.
    ASSERT_TRUE(Open());
    EXPECT_FALSE(Alive().empty());
    hostsim::DisablePlugin();
    EXPECT_TRUE(Alive().empty());
}

TEST_F(DialogTest, NoUnitsAndUnitsThatHaveNoPage) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    EXPECT_EQ(Descriptor(DevicePopup()), "(No devices found.);");
    EXPECT_FALSE(Pick(DevicePopup(), "No devices found."));
    for (int row = 0; row < 30; ++row)
        EXPECT_FALSE(Shown(FunctionPopup(row)));
    hostsim::UnloadPlugin();
}

TEST_F(DialogTest, X737SupportMarksTheAutopilotPanelNotAvailable) {
    Plug(APX);
    Plug(SSM);
    ASSERT_TRUE(Start());
    hostsim::SendMessage(0, kX737On, 0);
    Frames(2);
    ASSERT_TRUE(Open());
    EXPECT_EQ(Descriptor(DevicePopup()), "QD-APX - N/A;QD-SSM - N/A;");
    for (int row = 0; row < 30; ++row)
        EXPECT_FALSE(Shown(FunctionPopup(row)));
}

// The aircraft layer: picks go to the aircraft's own profile, a shipped profile is copied first and
// left alone, every row says where its function comes from.
TEST_F(DialogTest, AircraftLayerWritesTheProfileAndShowsWhereFunctionsComeFrom) {
    WriteIni("[DEBUG]\nDebugEnabled=1\n[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n");
    const std::string folder = root_ + "/Aircraft/C172";
    std::filesystem::create_directories(folder);
    const std::string shippedText = "[QDPBX_1]\nFunction3=STROBE_LTS\n";
    std::ofstream(folder + "/DRAV.INI", std::ios::binary) << shippedText;
    hostsim::SetAircraft(folder + "/C172.acf");
    const std::string profile = PluginFolder() + "aircraft/C172.ini";
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());

    XPWidgetID layer = Id(kLeft + 10, kTop - 60, -1);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(Descriptor(layer), "All aircraft;This aircraft: C172;");
    EXPECT_EQ(Current(FunctionPopup(0)), "BEACON_LTS");
    EXPECT_FALSE(Shown(Origin(0))) << "the all-aircraft view as ever";
    ASSERT_TRUE(Pick(layer, "This aircraft: C172"));
    EXPECT_TRUE(Descriptor(FunctionPopup(0)).starts_with("All aircraft setting;No Selection;"));
    EXPECT_EQ(Current(FunctionPopup(0)), "BEACON_LTS");
    EXPECT_EQ(Descriptor(Origin(0)), "all");
    EXPECT_EQ(Current(FunctionPopup(2)), "STROBE_LTS");
    EXPECT_EQ(Descriptor(Origin(2)), "acft");

    // An explicit nothing: the button does nothing in this aircraft although DRAV.INI assigns it.
    ASSERT_TRUE(Pick(FunctionPopup(0), "No Selection"));
    EXPECT_EQ(Slurp(profile), shippedText + "Function1=NADA\n");
    EXPECT_EQ(Slurp(folder + "/DRAV.INI"), shippedText) << "the aircraft folder is never written";
    EXPECT_EQ(Current(FunctionPopup(0)), "No Selection");
    EXPECT_EQ(Descriptor(Origin(0)), "acft");
    pbx.press(1);
    Settle();
    pbx.release(1);
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/electrical/beacon_lights_on"), 0);

    ASSERT_TRUE(Pick(FunctionPopup(1), "TAXI_LTS"));
    EXPECT_EQ(Slurp(profile), shippedText + "Function1=NADA\nFunction2=TAXI_LTS\n");
    pbx.press(2);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt("sim/cockpit/electrical/taxi_light_on") == 1; }));
    pbx.release(2);
    // Back to the all-aircraft setting: the key goes, DRAV.INI's function shows and works.
    ASSERT_TRUE(Pick(FunctionPopup(1), "All aircraft setting"));
    EXPECT_EQ(Slurp(profile), shippedText + "Function1=NADA\n");
    EXPECT_EQ(Current(FunctionPopup(1)), "NAV_LTS");
    EXPECT_EQ(Descriptor(Origin(1)), "all");
    pbx.press(2);
    EXPECT_TRUE(RunUntil([] { return hostsim::GetInt("sim/cockpit/electrical/nav_lights_on") == 1; }));
    pbx.release(2);

    // The all-aircraft view shows and writes DRAV.INI as ever.
    ASSERT_TRUE(Pick(layer, "All aircraft"));
    EXPECT_EQ(Current(FunctionPopup(0)), "BEACON_LTS");
    EXPECT_EQ(Current(FunctionPopup(2)), "No Selection");
    ASSERT_TRUE(Pick(FunctionPopup(3), "TAXI_LTS"));
    EXPECT_EQ(ReadIni(), "[DEBUG]\nDebugEnabled=1\n[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\n"
                         "Function4=TAXI_LTS\n");
    EXPECT_EQ(Slurp(folder + "/DRAV.INI"), shippedText);
    // The plug-in's own writes are not mistaken for edits on disk.
    Settle(1.0);
    EXPECT_EQ(LogText().find("Settings changed on disk"), std::string::npos);
}

} // namespace
} // namespace e2e
