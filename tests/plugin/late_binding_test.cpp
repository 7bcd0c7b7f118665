// Late binding of the host's newer functions, against the stand-in's own library.
#include "core/paths.h"
#include "core/sdk_binding.h"
#include "hostsim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class LateBinding : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
        char tmpl[] = "/tmp/drav-bind-XXXXXX";
        root_ = mkdtemp(tmpl);
        ASSERT_TRUE(hostsim::CreateRoot(root_.string()));
    }
    void TearDown() override {
        hostsim::Reset();
        fs::remove_all(root_);
    }
    fs::path root_;
};

TEST_F(LateBinding, BindsTheHostsOwnFunctions) {
    char path[1024];
    DRAV_HostLibraryPath(path, sizeof path);
    EXPECT_EQ(fs::path(path), root_ / "Resources" / "plugins" / "XPLM_64.so");
    ASSERT_EQ(FoundSDK200(path), 1);
    ASSERT_NE(XPLMFindCommand_ptr, nullptr);
    ASSERT_NE(XPLMCommandOnce_ptr, nullptr);
    EXPECT_NE(XPLMCommandBegin_ptr, nullptr);
    EXPECT_NE(XPLMCommandEnd_ptr, nullptr);
    EXPECT_NE(XPLMCreateWindowEx_ptr, nullptr);
    EXPECT_NE(XPLMEnumerateFeatures_ptr, nullptr);

    // The bound functions are the running host's: what they do shows in its command log.
    XPLMCommandRef starter = XPLMFindCommand_ptr("sim/starters/engage_starter_1");
    ASSERT_NE(starter, nullptr);
    EXPECT_EQ(XPLMFindCommand_ptr("sim/no/such/command"), nullptr);
    hostsim::ClearCommandLog();
    XPLMCommandOnce_ptr(starter);
    const auto log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, hostsim::CommandKind::Once);
    EXPECT_EQ(log[0].name, "sim/starters/engage_starter_1");
}

TEST_F(LateBinding, MissingLibraryLeavesThePointersAlone) {
    char path[1024];
    DRAV_HostLibraryPath(path, sizeof path);
    ASSERT_EQ(FoundSDK200(path), 1);
    const auto find = XPLMFindCommand_ptr;
    EXPECT_EQ(FoundSDK200((root_ / "nothing.so").c_str()), 0);
    EXPECT_EQ(XPLMFindCommand_ptr, find);
}

TEST_F(LateBinding, HostWithoutTheNewerInterfaceClearsEveryPointer) {
    char path[1024];
    DRAV_HostLibraryPath(path, sizeof path);
    ASSERT_EQ(FoundSDK200(path), 1);
    // A library that loads but has no XPLMFindSymbol: an older host.
    EXPECT_EQ(FoundSDK200("libm.so.6"), 0);
    EXPECT_EQ(XPLMFindSymbol_ptr, nullptr);
    EXPECT_EQ(XPLMFindCommand_ptr, nullptr);
    EXPECT_EQ(XPLMCommandOnce_ptr, nullptr);
    EXPECT_EQ(XPLMEnumerateFeatures_ptr, nullptr);
}

} // namespace
