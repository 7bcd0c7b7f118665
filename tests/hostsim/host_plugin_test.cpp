// Loading a plug-in binary into the stand-in: lifecycle, menus, windows, datarefs, messages and
// late binding through the host's own library.
#include "hostsim.h"
#include "xplm_sdk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class HostPlugin : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
        std::string dir = ::testing::TempDir() + "hostsim_rootXXXXXX";
        ASSERT_NE(mkdtemp(dir.data()), nullptr);
        root_ = dir;
        std::string error;
        ASSERT_TRUE(hostsim::CreateRoot(root_, &error)) << error;
    }
    void TearDown() override { hostsim::Reset(); }

    void Load() {
        std::string error;
        ASSERT_TRUE(hostsim::LoadPlugin(TEST_PLUGIN_PATH, &error)) << error;
    }

    std::string root_;
};

TEST_F(HostPlugin, RootFolderAndSystemPath) {
    struct stat st {};
    EXPECT_EQ(stat((root_ + "/Resources/plugins/DRAV").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    char target[4096] = {0};
    ASSERT_GT(readlink((root_ + "/Resources/plugins/XPLM_64.so").c_str(), target, sizeof(target) - 1), 0);
    EXPECT_EQ(std::string(target), hostsim::LibraryPath());
    const std::string path = hostsim::SystemPath();
    EXPECT_EQ(path.back(), '/');
    EXPECT_EQ(stat((path + "Resources/plugins/DRAV").c_str(), &st), 0);
}

TEST_F(HostPlugin, LifecycleIdentityMenusWindowsAndDatarefs) {
    Load();
    const auto id = hostsim::Identity();
    EXPECT_EQ(id.name, "HostTest");
    EXPECT_EQ(id.signature, "hostsim.tests.plugin");
    EXPECT_EQ(id.description, "Stand-in test plug-in.");
    EXPECT_EQ(XPLMFindPluginBySignature("hostsim.tests.plugin"), id.id);
    EXPECT_EQ(hostsim::DebugLog(), "test plugin started\n");

    // Menu: Plugins > HostTest > Do It, handler gets the item reference.
    const auto menus = hostsim::Menus();
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[1].path, "Plugins/HostTest");
    EXPECT_TRUE(hostsim::PickMenuItem("Plugins/HostTest/Do It"));
    EXPECT_FALSE(hostsim::PickMenuItem("Plugins/HostTest/Nothing"));
    EXPECT_EQ(hostsim::GetInt("hosttest/menu_picks"), 1);
    EXPECT_EQ(hostsim::GetInt("hosttest/last_item"), 7);

    // Window: legacy argument order (key before click), geometry, drawing recorded.
    auto windows = hostsim::Windows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].left, 600);
    EXPECT_EQ(windows[0].top, 730);
    EXPECT_TRUE(hostsim::ClickWindow(0, 610, 700, xplm_MouseDown));
    EXPECT_EQ(hostsim::GetInt("hosttest/clicks"), 1);
    EXPECT_TRUE(hostsim::KeyWindow(0, 'a', xplm_DownFlag, 'A'));
    hostsim::RunFrames(1);
    const auto text = hostsim::LastDrawnText();
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].text, "test banner");
    EXPECT_EQ(text[0].x, 605);
    EXPECT_EQ(text[0].y, 710);
    EXPECT_EQ(text[0].window, 0);
    ASSERT_EQ(hostsim::LastDrawnBoxes().size(), 1u);

    // Datarefs through the accessors, by name and through XPLMFindDataRef.
    EXPECT_TRUE(hostsim::SetInt("hosttest/counter", 41));
    XPLMDataRef counter = XPLMFindDataRef("hosttest/counter");
    ASSERT_NE(counter, nullptr);
    XPLMSetDatai(counter, XPLMGetDatai(counter) + 1);
    EXPECT_EQ(hostsim::GetInt("hosttest/counter"), 42);
    EXPECT_FALSE(hostsim::SetInt("hosttest/clicks", 5)); // no setter
    EXPECT_EQ(hostsim::PluginDatarefs().size(), 7u);

    // Flight loops run only once enabled.
    EXPECT_TRUE(hostsim::EnablePlugin());
    hostsim::RunFrames(10);
    EXPECT_EQ(hostsim::GetInt("hosttest/loop_calls"), 10);
    hostsim::DisablePlugin();
    hostsim::RunFrames(10);
    EXPECT_EQ(hostsim::GetInt("hosttest/loop_calls"), 10);

    hostsim::SendMessage(0, XPLM_MSG_PLANE_LOADED, 0);
    EXPECT_EQ(hostsim::GetInt("hosttest/messages"), 1);
    EXPECT_EQ(hostsim::GetInt("hosttest/last_message"), XPLM_MSG_PLANE_LOADED);

    // Unloading: the plug-in's window and dataref go; an old handle reads 0 and nothing dangles.
    hostsim::UnloadPlugin();
    EXPECT_FALSE(hostsim::IsPluginLoaded());
    windows = hostsim::Windows();
    EXPECT_FALSE(windows[0].alive);
    EXPECT_FALSE(hostsim::HasDataref("hosttest/counter"));
    EXPECT_EQ(XPLMGetDatai(counter), 0);
    XPLMSetDatai(counter, 1);
    EXPECT_FALSE(hostsim::HasDataref("hosttest/clicks")); // orphaned when its owner unloaded
    EXPECT_FALSE(hostsim::PickMenuItem("Plugins/HostTest/Do It"));
    EXPECT_FALSE(hostsim::ClickWindow(0, 610, 700, xplm_MouseDown));
    hostsim::RunFrames(5);
}

TEST_F(HostPlugin, MessagesToARecordingFakePlugin) {
    const int inspector = hostsim::InstallFakePlugin("xplanesdk.examples.RefInspector");
    Load();
    ASSERT_TRUE(hostsim::EnablePlugin());
    const auto received = hostsim::FakePluginMessages(inspector);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, 0x01000000);
    EXPECT_EQ(received[0].text, "hosttest/counter");
    EXPECT_EQ(received[0].from, hostsim::Identity().id);
    const auto sent = hostsim::SentMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to, inspector);
    EXPECT_EQ(sent[0].text, "hosttest/counter");

    char name[256], signature[256];
    XPLMGetPluginInfo(inspector, name, nullptr, signature, nullptr);
    EXPECT_STREQ(signature, "xplanesdk.examples.RefInspector");
}

// The plug-in dlopens <root>/Resources/plugins/XPLM_64.so: it must get this very instance, so
// commands sent through the late-bound pointers reach the same command log.
TEST_F(HostPlugin, LateBindingReachesTheLoadedInstance) {
    Load();
    ASSERT_TRUE(hostsim::EnablePlugin());
    const auto log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, hostsim::CommandKind::Once);
    EXPECT_EQ(log[0].name, "sim/starters/engage_starter_1");
    EXPECT_EQ(hostsim::DebugLog().find("no XPLM_64.so"), std::string::npos);
}

TEST_F(HostPlugin, MissingCommandLeavesTheLogEmpty) {
    hostsim::RemoveCommand("sim/starters/engage_starter_1");
    Load();
    ASSERT_TRUE(hostsim::EnablePlugin());
    EXPECT_TRUE(hostsim::CommandLog().empty());
}

TEST_F(HostPlugin, ThreadsLeftAfterStopAreReported) {
    Load();
    ASSERT_TRUE(hostsim::EnablePlugin());
    hostsim::UnloadPlugin();
    EXPECT_TRUE(hostsim::HostWarnings().empty());
    Load();
    hostsim::SendMessage(0, 0x7F000001, 0); // the test plug-in starts a thread it never stops
    hostsim::UnloadPlugin();
    ASSERT_EQ(hostsim::HostWarnings().size(), 1u);
    EXPECT_NE(hostsim::HostWarnings()[0].find("1 more thread(s) running after XPluginStop"),
              std::string::npos);
}

TEST_F(HostPlugin, LoadFailuresAreReported) {
    std::string error;
    EXPECT_FALSE(hostsim::LoadPlugin(BAD_PLUGIN_PATH, &error));
    EXPECT_NE(error.find("XPLMNoSuchHostFunction"), std::string::npos) << error;
    EXPECT_FALSE(hostsim::IsPluginLoaded());
    EXPECT_FALSE(hostsim::LoadPlugin(root_ + "/nothing.xpl", &error));
    // A failed load leaves the host able to load the next plug-in.
    Load();
    EXPECT_TRUE(hostsim::IsPluginLoaded());
    EXPECT_FALSE(hostsim::LoadPlugin(TEST_PLUGIN_PATH, &error)); // one at a time
}

} // namespace
