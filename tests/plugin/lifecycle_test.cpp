// The built DRAV.xpl loaded into the simulator stand-in, as the simulator loads it.
#include "hostsim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int kRefInspectorMsg = 0x01000000;

class Lifecycle : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
#ifdef _WIN32
        // The loaded XPLM_64.dll's link in the root cannot be deleted: each test keeps a root of
        // its own in the build's wine prefix and empties it (CreateRoot keeps the link).
        root_ = fs::temp_directory_path() / (std::string("drav-xplane-") +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        RemoveContents(root_);
        fs::create_directories(root_);
#else
        char tmpl[] = "/tmp/drav-xplane-XXXXXX";
        root_ = mkdtemp(tmpl);
#endif
        std::string error;
        ASSERT_TRUE(hostsim::CreateRoot(root_.string(), &error)) << error;
        dir_ = root_ / "Resources" / "plugins" / "DRAV";
    }
    void TearDown() override {
        const std::string log = hostsim::DebugLog();
        const size_t miss = log.find("Refresh check:");
        if (miss != std::string::npos) ADD_FAILURE() << log.substr(miss, log.find('\n', miss) - miss);
        hostsim::Reset();
        RemoveContents(root_);
        std::error_code ec;
        fs::remove(root_, ec);
    }

    // Everything that can go; failures are left in place.
    static void RemoveContents(const fs::path& dir) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            if (entry.is_directory(ec)) RemoveContents(entry.path());
            fs::remove(entry.path(), ec);
        }
    }

    void WriteIni(const std::string& text) {
        std::ofstream(dir_ / "DRAV.INI") << text;
    }
    std::string Log() {
        std::ifstream in(dir_ / "DRAVLog.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Load() {
        std::string error;
        ASSERT_TRUE(hostsim::LoadPlugin(DRAV_XPL, &error)) << error;
    }
    void LoadAndEnable() {
        Load();
        ASSERT_TRUE(hostsim::EnablePlugin());
    }
    static std::string BannerText() {
        hostsim::DrawWindows();
        for (const auto& t : hostsim::LastDrawnText())
            if (t.window == 0) return t.text;
        return "<not drawn>";
    }

    fs::path root_, dir_;
};

TEST_F(Lifecycle, StartNamesThePluginBuildsTheMenuAndShowsTheBanner) {
    Load();
    const auto id = hostsim::Identity();
    EXPECT_EQ(id.name, "DRAV");
    EXPECT_EQ(id.signature, "tamsworth.projects.drav");
    EXPECT_EQ(id.description, "Quandel plugin 2.63 (KT).");

    bool found = false;
    for (const auto& m : hostsim::Menus()) {
        if (m.path != "Plugins/Quandel") continue;
        found = true;
        ASSERT_EQ(m.items.size(), 1u);
        EXPECT_EQ(m.items[0].name, "Assign Functions");
        EXPECT_EQ(reinterpret_cast<intptr_t>(m.items[0].item_ref), 1);
    }
    EXPECT_TRUE(found);

    const auto windows = hostsim::Windows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].left, 600);
    EXPECT_EQ(windows[0].top, 730);
    EXPECT_EQ(windows[0].right, 1000);
    EXPECT_EQ(windows[0].bottom, 680);
    EXPECT_TRUE(windows[0].visible);
    EXPECT_EQ(BannerText(), ""); // filled by the first refresh

    // Nothing runs and no hardware is touched before enable.
    EXPECT_TRUE(hostsim::FlightLoops().empty());
    int panel_switches = 0;
    for (const auto& d : hostsim::PluginDatarefs())
        if (d.name == "tamsworth/drav/apx_disabled" || d.name == "tamsworth/drav/ndc_disabled") {
            EXPECT_TRUE(d.writable);
            ++panel_switches;
        }
    EXPECT_EQ(panel_switches, 2);
}

TEST_F(Lifecycle, BannerShowsTheTextAndGoesOnTheSeventhRefresh) {
    LoadAndEnable();
    hostsim::RunSeconds(0.52);
    EXPECT_EQ(BannerText(), "Quandel plugin 2.63 (KT).");
    for (const auto& t : hostsim::LastDrawnText()) {
        if (t.window != 0) continue;
        EXPECT_EQ(t.x, 605);
        EXPECT_EQ(t.y, 710);
        EXPECT_EQ(t.rgb[0] + t.rgb[1] + t.rgb[2], 3.0f);
    }
    ASSERT_FALSE(hostsim::LastDrawnBoxes().empty());

    // Press and release each toggle the text; drags are consumed but change nothing.
    EXPECT_TRUE(hostsim::ClickWindow(0, 700, 700, 1));
    EXPECT_EQ(BannerText(), "");
    EXPECT_TRUE(hostsim::ClickWindow(0, 700, 700, 2));
    EXPECT_EQ(BannerText(), "");
    EXPECT_TRUE(hostsim::ClickWindow(0, 700, 700, 3));
    EXPECT_EQ(BannerText(), "Quandel plugin 2.63 (KT).");

    hostsim::RunSeconds(2.9); // six refreshes by 3.0 s
    EXPECT_TRUE(hostsim::Windows()[0].alive);
    hostsim::RunSeconds(0.6); // the seventh, at 3.5 s
    const auto banner = hostsim::Windows()[0];
    EXPECT_FALSE(banner.alive);
    EXPECT_NEAR(banner.destroyed_at, 3.5, 0.05);

    // Disabling and enabling again does not bring it back.
    hostsim::DisablePlugin();
    ASSERT_TRUE(hostsim::EnablePlugin());
    hostsim::RunSeconds(5);
    EXPECT_EQ(hostsim::Windows().size(), 1u);
}

TEST_F(Lifecycle, FlightLoopsFollowTheirIntervals) {
    LoadAndEnable();
    hostsim::RunSeconds(2.0);
    // Registered in this order at enable: refresh (0.5 s), input (every frame), announcement (1 s).
    auto loops = hostsim::FlightLoops();
    ASSERT_EQ(loops.size(), 3u);
    const auto& refresh = loops[0];
    const auto& input = loops[1];
    const auto& announce = loops[2];
    EXPECT_EQ(refresh.last_return, 0.5f);
    EXPECT_EQ(refresh.calls, 4);
    EXPECT_EQ(input.last_return, -1.0f);
    EXPECT_NEAR(input.calls, hostsim::FrameCount(), 1);
    EXPECT_EQ(announce.calls, 1);
    EXPECT_FALSE(announce.scheduled);

    hostsim::DisablePlugin();
    for (const auto& l : hostsim::FlightLoops())
        EXPECT_FALSE(l.registered);
    hostsim::RunSeconds(1.0);
    for (const auto& l : hostsim::FlightLoops())
        EXPECT_LE(l.calls, 120);

    // Each enable announces once more.
    ASSERT_TRUE(hostsim::EnablePlugin());
    hostsim::RunSeconds(1.1);
    loops = hostsim::FlightLoops();
    ASSERT_EQ(loops.size(), 6u);
    EXPECT_EQ(loops[5].calls, 1);
    EXPECT_EQ(loops[3].calls, 2);
}

TEST_F(Lifecycle, PanelSwitchesAreAnnouncedToTheDatarefBrowser) {
    const int inspector = hostsim::InstallFakePlugin("xplanesdk.examples.RefInspector");
    LoadAndEnable();
    hostsim::RunSeconds(0.9);
    EXPECT_TRUE(hostsim::FakePluginMessages(inspector).empty());
    hostsim::RunSeconds(0.2);
    const auto messages = hostsim::FakePluginMessages(inspector);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, kRefInspectorMsg);
    EXPECT_EQ(messages[0].text, "tamsworth/drav/apx_disabled");
    EXPECT_EQ(messages[1].text, "tamsworth/drav/ndc_disabled");
}

TEST_F(Lifecycle, CustomDatarefsAreAnnouncedWhenAskedFor) {
    WriteIni("[CONFIG]\nShowCustomDatarefs=1\n");
    const int inspector = hostsim::InstallFakePlugin("xplanesdk.examples.RefInspector");
    LoadAndEnable();
    hostsim::RunSeconds(1.1);
    const auto messages = hostsim::FakePluginMessages(inspector);
    ASSERT_GT(messages.size(), 20u);
    EXPECT_EQ(messages.front().text, "drav/autopilot_state/auto_throttle_engage");
    EXPECT_EQ(messages[messages.size() - 2].text, "tamsworth/drav/apx_disabled");
    EXPECT_EQ(messages.back().text, "tamsworth/drav/ndc_disabled");
}

TEST_F(Lifecycle, NothingIsSentWithoutTheDatarefBrowser) {
    LoadAndEnable();
    hostsim::RunSeconds(2);
    EXPECT_TRUE(hostsim::SentMessages().empty());
}

TEST_F(Lifecycle, LogFollowsTheDebugSwitch) {
    Load();
    hostsim::UnloadPlugin();
    EXPECT_FALSE(fs::exists(dir_ / "DRAVLog.txt"));

    WriteIni("[DEBUG]\r\nDebugEnabled=1\r\n");
    Load();
    EXPECT_EQ(Log(), "+++ LOGGING STARTED +++\nQuandel plugin 2.63 (KT).\n");
    hostsim::UnloadPlugin();
    EXPECT_EQ(Log(), "+++ LOGGING STARTED +++\nQuandel plugin 2.63 (KT).\n--- LOGGING STOPPED ---\n");
}

TEST_F(Lifecycle, PanelSwitchesLogAndGoAwayAtStop) {
    WriteIni("[DEBUG]\nDebugEnabled=1\n");
    LoadAndEnable();
    EXPECT_EQ(hostsim::GetInt("tamsworth/drav/apx_disabled"), 0);
    ASSERT_TRUE(hostsim::SetInt("tamsworth/drav/apx_disabled", 1));
    ASSERT_TRUE(hostsim::SetInt("tamsworth/drav/ndc_disabled", 1));
    ASSERT_TRUE(hostsim::SetInt("tamsworth/drav/ndc_disabled", 0));
    EXPECT_EQ(hostsim::GetInt("tamsworth/drav/apx_disabled"), 1);
    EXPECT_EQ(hostsim::GetInt("tamsworth/drav/ndc_disabled"), 0);
    const std::string log = Log();
    EXPECT_NE(log.find("APX has been disabled by another plugin.\n"), std::string::npos);
    EXPECT_NE(log.find("NDC has been disabled by another plugin.\nNDC has been enabled by another plugin.\n"),
              std::string::npos);

    hostsim::UnloadPlugin();
    for (const auto& d : hostsim::PluginDatarefs()) {
        if (d.name.rfind("tamsworth/", 0) == 0) {
            EXPECT_FALSE(d.registered) << d.name;
        }
    }
    EXPECT_FALSE(hostsim::HasDataref("tamsworth/drav/apx_disabled"));
}

TEST_F(Lifecycle, RunsWithoutTheHostLibraryForLateBinding) {
#ifdef _WIN32
    GTEST_SKIP() << "the loaded XPLM_64.dll cannot be deleted by its other name";
#endif
    fs::remove(root_ / "Resources" / "plugins" / "XPLM_64.so");
    LoadAndEnable();
    hostsim::SendMessage(0, static_cast<int>(0x8888888E), 0);
    hostsim::RunSeconds(1.0);
    hostsim::SendMessage(0, static_cast<int>(0x8888888F), 0);
    hostsim::SendMessage(0, 102, 0);
    hostsim::SendMessage(0, 102, 1);
    hostsim::RunSeconds(1.0);
    EXPECT_TRUE(hostsim::IsPluginEnabled());
    EXPECT_TRUE(hostsim::CommandLog().empty());
}

TEST_F(Lifecycle, LongSystemPathIsCutNotOverrun) {
    Load();
    hostsim::SetSystemPath("/" + std::string(1000, 'p') + "/");
    ASSERT_TRUE(hostsim::EnablePlugin());
    hostsim::RunSeconds(1.0);
    EXPECT_TRUE(hostsim::IsPluginEnabled());
}

} // namespace
