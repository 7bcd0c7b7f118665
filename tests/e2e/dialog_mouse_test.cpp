// The dialog driven by the mouse alone, as the user does it: a click on the device popup and on
// an item of its menu, a slider dragged, the close box clicked; and pictures of the dialog.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "XPStandardWidgets.h"
#include "harness.h"

namespace e2e {
namespace {

constexpr int kLeft = (1024 - 650) / 2;
constexpr int kTop = 768 - (768 - 650) / 2;

class DialogMouseTest : public DravTest {
  protected:
    void SetUp() override {
        DravTest::SetUp();
        hostsim::SetScreenSize(1024, 768);
    }
    static bool Open() { return hostsim::PickMenuItem("Plugins/Quandel/Assign Functions"); }
    // Clicks where the open menu shows the item.
    static bool ClickMenuItem(const std::string& item) {
        hostsim::DrawWindows();
        for (const auto& t : hostsim::LastDrawnText())
            if (t.window >= 0 && t.text == item) return hostsim::Click(t.x + 2, t.y + 3);
        return false;
    }
    static std::string Shown(int left, int top) { // the caption text at a place, "" when none shows
        hostsim::DrawWindows();
        for (const auto& t : hostsim::LastDrawnText())
            if (t.window < 0 && t.x == left && t.y <= top && t.y > top - 12) return t.text;
        return "";
    }
    static bool DialogOpen() {
        for (const auto& w : hostsim::Widgets())
            if (w.is_root) return true;
        return false;
    }
};

TEST_F(DialogMouseTest, PickUnitAndFunctionDragSliderCloseBox) {
    WriteIni("[QDTHQ_1]\nFunctionA=ENG_1_THROTTLE\n");
    Plug(PBX);
    Plug(THQ);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open());
    EXPECT_EQ(Shown(kLeft + 150, kTop - 40), "Button 1");

    ASSERT_TRUE(hostsim::Click(kLeft + 40, kTop - 46)); // the device popup
    ASSERT_TRUE(ClickMenuItem("QD-THQ Unit 1"));
    EXPECT_EQ(Shown(kLeft + 150, kTop - 40), "Lever A");

    ASSERT_TRUE(hostsim::Click(kLeft + 400, kTop - 60)); // Lever B's popup
    ASSERT_TRUE(ClickMenuItem("ENG_2_MIXTURE"));
    EXPECT_EQ(ReadIni(), "[QDTHQ_1]\nFunctionA=ENG_1_THROTTLE\nFunctionB=ENG_2_MIXTURE\n");

    // Flap Null Zone's slider from 100 % to its left end.
    const int y = kTop - 210 - 40 * 3 - 6;
    ASSERT_TRUE(hostsim::Drag(kLeft + 446, y, kLeft + 300, y));
    EXPECT_EQ(ReadIni(),
              "[QDTHQ_1]\nFunctionA=ENG_1_THROTTLE\nFunctionB=ENG_2_MIXTURE\nFLAP_NULL_ZONE=0.00\n");
    EXPECT_EQ(Shown(kLeft + 370, kTop - 225 - 40 * 3), "0%");

    // A click outside an open menu closes it without a pick.
    ASSERT_TRUE(hostsim::Click(kLeft + 400, kTop - 40));
    ASSERT_TRUE(hostsim::Click(5, 5));
    EXPECT_EQ(ReadIni(),
              "[QDTHQ_1]\nFunctionA=ENG_1_THROTTLE\nFunctionB=ENG_2_MIXTURE\nFLAP_NULL_ZONE=0.00\n");

    ASSERT_TRUE(hostsim::Click(kLeft + 650 - 12, kTop - 9)); // the close box
    EXPECT_FALSE(DialogOpen());
    EXPECT_TRUE(hostsim::Widgets().empty());
}

// Pictures for the documentation: DRAV_SCREENSHOT_DIR names the folder (default: the working one).
TEST_F(DialogMouseTest, Pictures) {
    WriteIni("[QDRSX_1]\nFunctionL=COM1_FLIP\nFunctionR=QDRSX_1_FUNC_NEXT\nFunction1=COM1_DUAL\nFunction2="
             "COM2_DUAL\n"
             "Function3=NAV1_DUAL\nFunction4=XPDR\n");
    Plug(PBX);
    Plug(RSX);
    ASSERT_TRUE(Start());
    hostsim::SetInterfaceTexture(false);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(hostsim::Click(kLeft + 40, kTop - 46));
    ASSERT_TRUE(ClickMenuItem("QD-RSX Unit 1"));
    const char* dir = std::getenv("DRAV_SCREENSHOT_DIR");
    const std::string base = (dir ? std::string(dir) : root_) + "/"; // kept only when asked for
    std::string error;
    ASSERT_TRUE(hostsim::Screenshot(base + "dialog-rsx.png", &error)) << error;
    ASSERT_TRUE(hostsim::Click(kLeft + 400, kTop - 40 - 20 * 4)); // Mode 2's popup
    hostsim::SetMouseLocation(kLeft + 420, kTop - 40 - 20 * 4 - 8);
    ASSERT_TRUE(hostsim::Screenshot(base + "dialog-popup.png", &error)) << error;
    std::ifstream png(base + "dialog-popup.png", std::ios::binary | std::ios::ate);
    EXPECT_GT(static_cast<long>(png.tellg()), 1024L * 768L * 3L);
}

// The aircraft layer picked by the mouse: rows from the profile say "acft", the rest "all".
TEST_F(DialogMouseTest, AircraftLayerByMouseAndItsPicture) {
    WriteIni(
        "[QDPBX_1]\nFunction1=BEACON_LTS\nFunction2=NAV_LTS\nFunction3=STROBE_LTS\nFunction4=TAXI_LTS\n");
    std::filesystem::create_directories(PluginFolder() + "aircraft");
    std::ofstream(PluginFolder() + "aircraft/C172.ini")
        << "[QDPBX_1]\nFunction1=LANDING_LTS\nFunction3=NADA\n";
    hostsim::SetAircraft(root_ + "/Aircraft/C172/C172.acf");
    Plug(PBX);
    ASSERT_TRUE(Start());
    hostsim::SetInterfaceTexture(false);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(hostsim::Click(kLeft + 40, kTop - 66)); // the layer popup
    ASSERT_TRUE(ClickMenuItem("This aircraft: C172"));
    EXPECT_EQ(Shown(kLeft + 10, kTop - 80), "C172");
    EXPECT_EQ(Shown(kLeft + 614, kTop - 40), "acft");
    EXPECT_EQ(Shown(kLeft + 614, kTop - 60), "all");
    EXPECT_EQ(Shown(kLeft + 614, kTop - 80), "acft");
    const char* dir = std::getenv("DRAV_SCREENSHOT_DIR");
    const std::string base = (dir ? std::string(dir) : root_) + "/"; // kept only when asked for
    std::string error;
    ASSERT_TRUE(hostsim::Screenshot(base + "dialog-aircraft.png", &error)) << error;
}

} // namespace
} // namespace e2e
