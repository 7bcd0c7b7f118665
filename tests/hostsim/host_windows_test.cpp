// The stand-in's Windows side under wine: paths the plug-in can use, the host library in the
// root being this very module, and load failures.
#include "hostsim.h"
#include "xplm_sdk.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

namespace {

class HostWindows : public ::testing::Test {
  protected:
    void SetUp() override { hostsim::Reset(); }
    void TearDown() override { hostsim::Reset(); }
};

// A root on another drive letter than the build (wine's C: and Z: are one file system): made
// again over its first link while that file is loaded, as a second test run does.
TEST_F(HostWindows, RootOnAnotherDriveIsMadeAgainOverItsLink) {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    const std::string root = std::string(temp) + "drav-host-windows-second-run";
    std::string error;
    ASSERT_TRUE(hostsim::CreateRoot(root, &error)) << error;
    EXPECT_TRUE(hostsim::CreateRoot(root, &error)) << error;
}

// The simulator on Windows names aircraft with backslashes: the name is the file's.
TEST_F(HostWindows, AircraftNameIsTheLastPartOfAWindowsPath) {
    hostsim::SetAircraft("Z:\\tmp\\Aircraft\\B738\\B738.acf");
    char name[256], path[512];
    XPLMGetNthAircraftModel(0, name, path);
    EXPECT_STREQ(name, "B738.acf");
    EXPECT_STREQ(path, "Z:\\tmp\\Aircraft\\B738\\B738.acf");
}

// A Linux process names the folder as /x/y; the plug-in sees wine's Z:\x\y\.
TEST_F(HostWindows, UnixRootBecomesDriveZWithTheHostLibraryInside) {
    std::string error;
    ASSERT_TRUE(hostsim::CreateRoot(std::string(TEST_ROOT) + "/", &error)) << error;
    std::string expected = std::string("Z:") + TEST_ROOT + "\\";
    for (char& c : expected) {
        if (c == '/') c = '\\';
    }
    EXPECT_EQ(hostsim::SystemPath(), expected);
    char path[512];
    XPLMGetSystemPath(path);
    EXPECT_EQ(path, expected);
    EXPECT_TRUE(std::filesystem::is_directory(expected + "Resources\\plugins\\DRAV"));

    // The plug-in's late binding loads this path and must get the module already loaded.
    const std::string library = expected + "Resources\\plugins\\XPLM_64.dll";
    HMODULE self = GetModuleHandleA("XPLM_64.dll");
    ASSERT_NE(self, nullptr);
    HMODULE bound = LoadLibraryA(library.c_str());
    EXPECT_EQ(bound, self);
    if (bound != nullptr) FreeLibrary(bound);

    // Made again over the old one (a second run in the same root).
    EXPECT_TRUE(hostsim::CreateRoot(TEST_ROOT, &error)) << error;
    EXPECT_EQ(hostsim::SystemPath(), expected);
}

TEST_F(HostWindows, PathsSplitAtEitherSeparator) {
    char native[] = "C:\\sim\\Aircraft\\a.acf";
    EXPECT_STREQ(XPLMExtractFileAndPath(native), "a.acf");
    EXPECT_STREQ(native, "C:\\sim\\Aircraft");
    char mixed[] = "C:\\sim/b.acf";
    EXPECT_STREQ(XPLMExtractFileAndPath(mixed), "b.acf");
    hostsim::SetSystemPath("D:\\sim");
    EXPECT_EQ(hostsim::SystemPath(), "D:\\sim\\");
}

TEST_F(HostWindows, MissingPluginFailsWithTheSystemsReason) {
    std::string error;
    EXPECT_FALSE(hostsim::LoadPlugin(std::string(TEST_ROOT) + "/missing.xpl", &error));
    EXPECT_EQ(error.rfind("dlerror: ", 0), 0u) << error;
    EXPECT_GT(error.size(), 9u);
    EXPECT_FALSE(hostsim::IsPluginLoaded());
}

} // namespace
