// The stand-in's SDK behaviour that the plug-in relies on, called directly from the test.
#include "hostsim.h"
#include "xplm_sdk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32
// XPLMGetSystemPath's form of "/opt/sim": wine's drive Z: and the host's separator.
constexpr const char* kSimPath = "Z:\\opt\\sim\\";
constexpr const char* kSeparator = "\\";
#else
constexpr const char* kSimPath = "/opt/sim/";
constexpr const char* kSeparator = "/";
#endif

// An SDK function as a plug-in's loader finds it: exported by the library the simulator offers
// for it (on Windows XPWidgets_64.dll for the widget functions, XPLM_64.dll for the rest).
void* HostExport(const std::string& name, bool widget) {
#ifdef _WIN32
    HMODULE module = widget ? LoadLibraryA("XPWidgets_64.dll") : GetModuleHandleA("XPLM_64.dll");
    return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, name.c_str())) : nullptr;
#else
    (void)widget;
    return dlsym(RTLD_DEFAULT, name.c_str());
#endif
}

class HostSdk : public ::testing::Test {
  protected:
    void SetUp() override { hostsim::Reset(); }
};

// ---------------------------------------------------------------------------------------------
// Flight loops

struct LoopRecord {
    float ret = -1.0f;
    std::vector<double> times;
    std::vector<float> since_last;
    std::vector<int> counters;
    XPLMFlightLoop_f victim = nullptr; // unregistered from inside this callback
    void* victim_refcon = nullptr;
    bool unregister_self = false;
};

float RecordingLoop(float since_last, float, int counter, void* refcon) {
    auto* r = static_cast<LoopRecord*>(refcon);
    r->times.push_back(hostsim::Now());
    r->since_last.push_back(since_last);
    r->counters.push_back(counter);
    if (r->victim != nullptr) XPLMUnregisterFlightLoopCallback(r->victim, r->victim_refcon);
    if (r->unregister_self) XPLMUnregisterFlightLoopCallback(RecordingLoop, refcon);
    return r->ret;
}

float OtherLoop(float since_last, float elapsed, int counter, void* refcon) {
    return RecordingLoop(since_last, elapsed, counter, refcon);
}

TEST_F(HostSdk, FlightLoopIntervalsFollowTheReturnValue) {
    LoopRecord seconds, every_frame, every_third, once;
    seconds.ret = 0.5f;
    every_frame.ret = -1.0f;
    every_third.ret = -3.0f;
    once.ret = 0.0f;
    XPLMRegisterFlightLoopCallback(RecordingLoop, 0.5f, &seconds);
    XPLMRegisterFlightLoopCallback(RecordingLoop, -1.0f, &every_frame);
    XPLMRegisterFlightLoopCallback(RecordingLoop, -3.0f, &every_third);
    XPLMRegisterFlightLoopCallback(RecordingLoop, 1.0f, &once);
    hostsim::RunSeconds(2.0); // 120 frames of 1/60 s

    ASSERT_EQ(seconds.times.size(), 4u);
    for (size_t k = 0; k < seconds.times.size(); ++k) {
        EXPECT_NEAR(seconds.times[k], 0.5 * static_cast<double>(k + 1), 1e-6);
        EXPECT_NEAR(seconds.since_last[k], 0.5f, 1e-4);
    }
    EXPECT_EQ(every_frame.times.size(), 120u);
    EXPECT_EQ(every_frame.counters.front(), 1);
    EXPECT_EQ(every_frame.counters.back(), 120);
    EXPECT_EQ(every_third.times.size(), 40u);
    // Return 0 stops the calls but the loop stays registered and can be rescheduled.
    ASSERT_EQ(once.times.size(), 1u);
    const auto loops = hostsim::FlightLoops();
    ASSERT_EQ(loops.size(), 4u);
    EXPECT_TRUE(loops[3].registered);
    EXPECT_FALSE(loops[3].scheduled);
    XPLMSetFlightLoopCallbackInterval(RecordingLoop, 0.25f, 1, &once);
    hostsim::RunSeconds(0.5);
    EXPECT_EQ(once.times.size(), 2u);
    EXPECT_NEAR(once.times.back(), 2.25, 1e-6);
}

TEST_F(HostSdk, FlightLoopRegisteredWithZeroWaitsForScheduling) {
    LoopRecord r;
    XPLMRegisterFlightLoopCallback(RecordingLoop, 0.0f, &r);
    hostsim::RunFrames(30);
    EXPECT_TRUE(r.times.empty());
    XPLMSetFlightLoopCallbackInterval(RecordingLoop, -1.0f, 1, &r);
    hostsim::RunFrames(3);
    EXPECT_EQ(r.times.size(), 3u);
}

// Burns about refcon's milliseconds of this thread's CPU time, or sleeps them when negative.
float BusyLoop(float, float, int, void* refcon) {
    const int ms = *static_cast<int*>(refcon);
    if (ms < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(-ms));
        return -1.0f;
    }
    timespec start{}, now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    do
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    while ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 < ms);
    return -2.0f;
}

TEST_F(HostSdk, FlightLoopCallsAreTimedInThreadCpu) {
    int busy = 3, sleeping = -30;
    XPLMRegisterFlightLoopCallback(BusyLoop, -1.0f, &busy);
    XPLMRegisterFlightLoopCallback(BusyLoop, -1.0f, &sleeping);
    hostsim::RunFrames(4); // busy runs in frames 1 and 3, sleeping in every frame
    const auto loops = hostsim::FlightLoops();
    ASSERT_EQ(loops.size(), 2u);
    EXPECT_EQ(loops[0].last_frame, 3);
    EXPECT_GE(loops[0].last_cpu_seconds, 0.003);
    EXPECT_GE(loops[0].cpu_seconds, 0.006);
    EXPECT_LT(loops[0].cpu_seconds, 0.1);
    // Waiting is no CPU time.
    EXPECT_EQ(loops[1].last_frame, 4);
    EXPECT_LT(loops[1].cpu_seconds, 0.06);
}

TEST_F(HostSdk, UnregisteringInsideCallbacksIsSafe) {
    LoopRecord killer, victim, self;
    XPLMRegisterFlightLoopCallback(RecordingLoop, -1.0f, &killer);
    XPLMRegisterFlightLoopCallback(OtherLoop, -1.0f, &victim);
    XPLMRegisterFlightLoopCallback(RecordingLoop, -1.0f, &self);
    self.unregister_self = true;
    hostsim::RunFrames(1);
    // From the second frame on the killer, which runs first, removes the victim before its turn.
    killer.victim = OtherLoop;
    killer.victim_refcon = &victim;
    hostsim::RunFrames(5);
    EXPECT_EQ(victim.times.size(), 1u);
    EXPECT_EQ(killer.times.size(), 6u);
    EXPECT_EQ(self.times.size(), 1u);
    const auto loops = hostsim::FlightLoops();
    EXPECT_TRUE(loops[0].registered);
    EXPECT_FALSE(loops[1].registered);
    EXPECT_FALSE(loops[2].registered);
}

TEST_F(HostSdk, CreatedFlightLoopsStartUnscheduled) {
    LoopRecord r;
    r.ret = -2.0f;
    XPLMCreateFlightLoop_t params{static_cast<int>(sizeof(XPLMCreateFlightLoop_t)),
                                  xplm_FlightLoop_Phase_BeforeFlightModel, RecordingLoop, &r};
    XPLMFlightLoopID id = XPLMCreateFlightLoop(&params);
    ASSERT_NE(id, nullptr);
    hostsim::RunFrames(10);
    EXPECT_TRUE(r.times.empty());
    XPLMScheduleFlightLoop(id, -2.0f, 1);
    hostsim::RunFrames(4);
    EXPECT_EQ(r.times.size(), 2u);
    XPLMDestroyFlightLoop(id);
    hostsim::RunFrames(10);
    EXPECT_EQ(r.times.size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Datarefs

TEST_F(HostSdk, AutopilotStateWritesAndKeysToggleBits) {
    XPLMDataRef state = XPLMFindDataRef("sim/cockpit/autopilot/autopilot_state");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(XPLMGetDatai(state), 0);
    XPLMSetDatai(state, 0x2); // heading hold on
    EXPECT_EQ(XPLMGetDatai(state), 0x2);
    XPLMSetDatai(state, 0x2 | 0x20); // heading off, altitude on
    EXPECT_EQ(XPLMGetDatai(state), 0x20);

    XPLMCommandKeyStroke(xplm_key_otto_atr);
    EXPECT_EQ(XPLMGetDatai(state), 0x21);
    XPLMCommandKeyStroke(xplm_key_otto_alt);
    EXPECT_EQ(XPLMGetDatai(state), 0x1);
    // Multi-bit modes: on sets the engaged bit, any set bit switches the mode off.
    XPLMCommandKeyStroke(xplm_key_otto_hnav);
    EXPECT_EQ(XPLMGetDatai(state), 0x201);
    hostsim::SetInt("sim/cockpit/autopilot/autopilot_state", 0x101); // armed only
    XPLMCommandKeyStroke(xplm_key_otto_hnav);
    EXPECT_EQ(XPLMGetDatai(state), 0x1);
    XPLMCommandKeyStroke(xplm_key_otto_vnav);
    EXPECT_EQ(XPLMGetDatai(state), 0x801);
    // The test setter stores as it is.
    EXPECT_TRUE(hostsim::SetInt("sim/cockpit/autopilot/autopilot_state", 0x2));
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/autopilot/autopilot_state"), 0x2);
    // Other datarefs are plain stores.
    XPLMDataRef com1 = XPLMFindDataRef("sim/cockpit/radios/com1_freq_hz");
    XPLMSetDatai(com1, 12345);
    XPLMSetDatai(com1, 12345);
    EXPECT_EQ(XPLMGetDatai(com1), 12345);
}

TEST_F(HostSdk, MissingDatarefsAndTypeMismatchesReadZero) {
    hostsim::RemoveDataref("sim/cockpit/autopilot/heading_mag");
    EXPECT_EQ(XPLMFindDataRef("sim/cockpit/autopilot/heading_mag"), nullptr);
    EXPECT_EQ(XPLMFindDataRef("sim/no/such/dataref"), nullptr);
    EXPECT_FALSE(hostsim::HasDataref("sim/cockpit/autopilot/heading_mag"));
    // NULL handles are harmless.
    EXPECT_EQ(XPLMGetDatai(nullptr), 0);
    XPLMSetDataf(nullptr, 1.0f);
    EXPECT_EQ(XPLMGetDatavf(nullptr, nullptr, 0, 0), 0);

    XPLMDataRef heading = XPLMFindDataRef("sim/cockpit/autopilot/heading");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(XPLMGetDataRefTypes(heading), xplmType_Float);
    XPLMSetDataf(heading, 123.5f);
    EXPECT_EQ(XPLMGetDatai(heading), 0);
    EXPECT_EQ(XPLMGetDatad(heading), 0.0);
    XPLMSetDatai(heading, 7); // wrong type: ignored
    EXPECT_FLOAT_EQ(XPLMGetDataf(heading), 123.5f);

    // A handle kept across a removal reads 0 and ignores writes.
    hostsim::RemoveDataref("sim/cockpit/autopilot/heading");
    EXPECT_FLOAT_EQ(XPLMGetDataf(heading), 0.0f);
    XPLMSetDataf(heading, 1.0f);
    EXPECT_EQ(XPLMIsDataRefGood(heading), 0);

    // Handles survive a Reset of the host (code linked into a test may keep them) and read 0.
    XPLMDataRef com1 = XPLMFindDataRef("sim/cockpit/radios/com1_freq_hz");
    XPLMCommandRef starter = XPLMFindCommand("sim/starters/engage_starter_1");
    hostsim::Reset();
    EXPECT_EQ(XPLMGetDatai(com1), 0);
    XPLMSetDatai(com1, 1);
    XPLMCommandOnce(starter);
    EXPECT_TRUE(hostsim::CommandLog().empty());
    EXPECT_EQ(hostsim::GetInt("sim/cockpit/radios/com1_freq_hz"), 12880);

    // Read-only datarefs ignore writes.
    XPLMDataRef engines = XPLMFindDataRef("sim/aircraft/engine/acf_num_engines");
    ASSERT_NE(engines, nullptr);
    EXPECT_EQ(XPLMCanWriteDataRef(engines), 0);
    XPLMSetDatai(engines, 4);
    EXPECT_EQ(XPLMGetDatai(engines), 1);
}

TEST_F(HostSdk, ArrayAccessClipsAtTheEnd) {
    XPLMDataRef n1 = XPLMFindDataRef("sim/flightmodel/engine/ENGN_N1_");
    ASSERT_NE(n1, nullptr);
    EXPECT_EQ(XPLMGetDataRefTypes(n1), xplmType_FloatArray);
    EXPECT_EQ(XPLMGetDatavf(n1, nullptr, 5, 1), 8); // NULL buffer: the size, offset ignored

    float in[4] = {1, 2, 3, 4};
    XPLMSetDatavf(n1, in, 6, 4); // only elements 6 and 7 exist
    float out[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    EXPECT_EQ(XPLMGetDatavf(n1, out, 6, 8), 2);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[1], 2.0f);
    EXPECT_FLOAT_EQ(out[2], -1.0f); // nothing written past the copied count
    EXPECT_EQ(XPLMGetDatavf(n1, out, 8, 1), 0);
    EXPECT_EQ(XPLMGetDatavf(n1, out, -1, 1), 0);
    EXPECT_EQ(XPLMGetDatavf(n1, out, 0, 0), 0);
    XPLMSetDatavf(n1, in, 8, 1); // past the end: ignored
    XPLMSetDatavf(n1, in, -2, 4);
    EXPECT_EQ(hostsim::GetFloats("sim/flightmodel/engine/ENGN_N1_"),
              (std::vector<float>{0, 0, 0, 0, 0, 0, 1, 2}));
    // Int arrays as well, and scalar access to an array reads 0.
    XPLMDataRef gen = XPLMFindDataRef("sim/cockpit/electrical/generator_on");
    int ones[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    XPLMSetDatavi(gen, ones, 0, 8);
    EXPECT_EQ(XPLMGetDatavi(gen, nullptr, 0, 0), 8);
    EXPECT_EQ(XPLMGetDatai(gen), 0);
    int two[2] = {0, 0};
    EXPECT_EQ(XPLMGetDatavi(gen, two, 7, 2), 1);
}

TEST_F(HostSdk, DataFileLoadingAndErrors) {
    const std::string path = ::testing::TempDir() + "hostsim_datarefs.txt";
    {
        std::ofstream f(path);
        f << "# comment\n\nx/int int 5\nx/floats float[3] 1,2\nx/text byte[8] hello ro\nx/d double 2.5\n";
    }
    std::string error;
    ASSERT_TRUE(hostsim::LoadDatarefFile(path, &error)) << error;
    EXPECT_EQ(XPLMFindDataRef("sim/cockpit/autopilot/autopilot_state"), nullptr); // table replaced
    EXPECT_EQ(hostsim::GetInt("x/int"), 5);
    EXPECT_EQ(hostsim::GetFloats("x/floats"), (std::vector<float>{1, 2, 0}));
    EXPECT_EQ(hostsim::GetString("x/text"), "hello");
    EXPECT_DOUBLE_EQ(hostsim::GetDouble("x/d"), 2.5);
    char buf[3] = {0, 0, 0};
    EXPECT_EQ(XPLMGetDatab(XPLMFindDataRef("x/text"), buf, 1, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "el");

    for (const char* bad : {"x/y int\n", "x/y int[0] 1\n", "x/y float[2] 1,2,3\n", "x/y long 1\n",
                            "x/y int 1 rw\n", "x/y int abc\n"}) {
        {
            std::ofstream f(path);
            f << bad;
        }
        EXPECT_FALSE(hostsim::LoadDatarefFile(path, &error)) << bad;
        EXPECT_EQ(hostsim::GetInt("x/int"), 5) << "table kept after " << bad;
    }
    EXPECT_FALSE(hostsim::LoadDatarefFile(path + ".missing", &error));
}

TEST_F(HostSdk, BuiltInTablesHoldTheNamesThePluginUses) {
    for (const char* name : {"sim/cockpit/radios/com1_stdby_freq_hz", "sim/physics/metric_press",
                             "sim/cockpit/electrical/avionics_on", "sim/flightmodel/engine/ENGN_bat_volt",
                             "sim/cockpit/warnings/annunciators/generator_off",
                             "sim/cockpit2/switches/landing_lights_switch", "x737/systems/athr/MCPSPD_spd"}) {
        EXPECT_NE(XPLMFindDataRef(name), nullptr) << name;
    }
    EXPECT_EQ(XPLMGetDatavf(XPLMFindDataRef("sim/cockpit2/switches/landing_lights_switch"), nullptr, 0, 0),
              16);
    for (const char* name : {"sim/starters/engage_starter_1", "sim/annunciator/clear_master_accept",
                             "x737/mcp/LNAV_TOGGLE", "x737/mcp/CHANGEOVER", "x737/mcp/TOGA_OFF"}) {
        EXPECT_NE(XPLMFindCommand(name), nullptr) << name;
    }
    EXPECT_EQ(XPLMFindCommand("x737/mcp/LNAVL_OFF"), nullptr);
    // A simulator without the x737 add-on.
    hostsim::RemoveDatarefs("x737/");
    hostsim::RemoveCommands("x737/");
    EXPECT_EQ(XPLMFindDataRef("x737/systems/athr/MCPSPD_spd"), nullptr);
    EXPECT_EQ(XPLMFindCommand("x737/mcp/TOGA_OFF"), nullptr);
    EXPECT_NE(XPLMFindDataRef("sim/cockpit/autopilot/airspeed"), nullptr);
    hostsim::RemoveCommand("sim/starters/engage_starter_1");
    EXPECT_EQ(XPLMFindCommand("sim/starters/engage_starter_1"), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Commands, symbols, utilities

TEST_F(HostSdk, CommandsAreLoggedByNameAndNumber) {
    XPLMCommandRef cmd = XPLMFindCommand("sim/starters/engage_starter_2");
    ASSERT_NE(cmd, nullptr);
    XPLMCommandBegin(cmd);
    XPLMCommandEnd(cmd);
    XPLMCommandOnce(cmd);
    XPLMCommandOnce(nullptr);
    XPLMCommandButtonPress(xplm_joy_ott_dis);
    XPLMCommandButtonRelease(xplm_joy_ott_dis);
    XPLMCommandKeyStroke(xplm_key_tranID);
    const auto log = hostsim::CommandLog();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0].kind, hostsim::CommandKind::Begin);
    EXPECT_EQ(log[1].kind, hostsim::CommandKind::End);
    EXPECT_EQ(log[2].kind, hostsim::CommandKind::Once);
    EXPECT_EQ(log[2].name, "sim/starters/engage_starter_2");
    EXPECT_EQ(log[3].kind, hostsim::CommandKind::ButtonPress);
    EXPECT_EQ(log[3].number, 59);
    EXPECT_EQ(log[4].kind, hostsim::CommandKind::ButtonRelease);
    EXPECT_EQ(log[5].kind, hostsim::CommandKind::KeyStroke);
    EXPECT_EQ(log[5].number, 93);
}

TEST_F(HostSdk, FindSymbolReturnsOnlyHostFunctions) {
    // (On Windows this program's own &XPLMFindCommand is its import stub, not the function.)
    EXPECT_EQ(XPLMFindSymbol("XPLMFindCommand"), HostExport("XPLMFindCommand", false));
    EXPECT_EQ(XPLMFindSymbol("XPLMCommandOnce"), HostExport("XPLMCommandOnce", false));
    EXPECT_NE(XPLMFindSymbol("XPLMCommandOnce"), nullptr);
    EXPECT_EQ(XPLMFindSymbol("XPLMNoSuchFunction"), nullptr);
    EXPECT_EQ(XPLMFindSymbol("malloc"), nullptr);
    EXPECT_EQ(XPLMFindSymbol(nullptr), nullptr);
}

TEST_F(HostSdk, PathsAndVersions) {
    hostsim::SetSystemPath("/opt/sim");
    char path[512];
    XPLMGetSystemPath(path);
    EXPECT_STREQ(path, kSimPath);
    EXPECT_STREQ(XPLMGetDirectorySeparator(), kSeparator);
    char full[] = "a/b/c.txt";
    EXPECT_STREQ(XPLMExtractFileAndPath(full), "c.txt");
    EXPECT_STREQ(full, "a/b");
    int xp = 0, xplm = 0;
    XPLMHostApplicationID host = 0;
    XPLMGetVersions(&xp, &xplm, &host);
    EXPECT_EQ(xp, 11550);
    EXPECT_EQ(xplm, 301);
    EXPECT_EQ(host, xplm_Host_XPlane);
    hostsim::SetVersions(900, 200, 1);
    XPLMGetVersions(&xp, &xplm, &host);
    EXPECT_EQ(xp, 900);
}

// Every function the SDK headers declare is exported by the stand-in, so a plug-in that calls any
// of them loads.
TEST_F(HostSdk, EveryDeclaredFunctionIsExported) {
    const std::regex decl(R"((?:XPLM_API|WIDGET_API)\s+[^;(]*?\b([A-Za-z0-9_]+)\s*\()");
    std::set<std::pair<std::string, bool>> names; // name, widget function
    for (const char* header : {"XPLMDataAccess.h", "XPLMDisplay.h", "XPLMGraphics.h", "XPLMMenus.h",
                               "XPLMPlugin.h", "XPLMProcessing.h", "XPLMScenery.h", "XPLMUtilities.h",
                               "XPWidgets.h", "XPWidgetUtils.h", "XPUIGraphics.h"}) {
        std::ifstream f(std::string(SDK_INCLUDE_DIR) + "/" + header);
        ASSERT_TRUE(f) << header;
        std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        const bool widget = std::strncmp(header, "XPLM", 4) != 0;
        for (std::sregex_iterator it(text.begin(), text.end(), decl), end; it != end; ++it)
            names.insert({(*it)[1], widget});
    }
    EXPECT_GT(names.size(), 170u);
    for (const auto& [name, widget] : names) {
        void* found = HostExport(name, widget);
        EXPECT_NE(found, nullptr) << name;
        // One implementation behind both names (on Windows XPWidgets_64.dll forwards).
        if (widget) {
            EXPECT_EQ(found, HostExport(name, false)) << name;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Windows and menus

int g_clicks = 0;
int CountClick(XPLMWindowID, int, int, XPLMMouseStatus, void*) {
    return ++g_clicks;
}
void NoDraw(XPLMWindowID, void*) {}

TEST_F(HostSdk, CreateWindowExReadsOnlyTheCallersStructVersion) {
    // An older caller's struct ends after the refcon: nothing past it may be read.
    void* block = std::malloc(XPLM_CREATE_WINDOW_T_LEGACY_SIZE);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0, XPLM_CREATE_WINDOW_T_LEGACY_SIZE);
    auto* legacy = static_cast<XPLMCreateWindow_t*>(block);
    legacy->structSize = XPLM_CREATE_WINDOW_T_LEGACY_SIZE;
    legacy->left = 10;
    legacy->top = 200;
    legacy->right = 110;
    legacy->bottom = 100;
    legacy->visible = 1;
    legacy->drawWindowFunc = NoDraw;
    legacy->handleMouseClickFunc = CountClick;
    XPLMWindowID w = XPLMCreateWindowEx(legacy);
    std::free(block);
    ASSERT_NE(w, nullptr);

    XPLMCreateWindow_t modern{};
    modern.structSize = sizeof(modern);
    modern.visible = 0;
    modern.decorateAsFloatingWindow = xplm_WindowDecorationRoundRectangle;
    modern.layer = xplm_WindowLayerFloatingWindows;
    modern.handleRightClickFunc = CountClick;
    XPLMWindowID m = XPLMCreateWindowEx(&modern);
    ASSERT_NE(m, nullptr);

    const auto windows = hostsim::Windows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_FALSE(windows[0].modern);
    EXPECT_TRUE(windows[1].modern);
    EXPECT_EQ(windows[0].top, 200);
    g_clicks = 0;
    EXPECT_TRUE(hostsim::ClickWindow(0, 50, 150, xplm_MouseDown));
    EXPECT_EQ(g_clicks, 1);
    EXPECT_EQ(XPLMGetWindowIsVisible(m), 0);
    XPLMDestroyWindow(w);
    XPLMDestroyWindow(w); // twice is harmless
    EXPECT_FALSE(hostsim::Windows()[0].alive);
    EXPECT_FALSE(hostsim::ClickWindow(0, 50, 150, xplm_MouseDown));
    int left = -1;
    XPLMGetWindowGeometry(w, &left, nullptr, nullptr, nullptr);
    EXPECT_EQ(left, -1);
}

std::vector<intptr_t> g_picked;
void PickHandler(void* menu_ref, void* item_ref) {
    g_picked.push_back(reinterpret_cast<intptr_t>(menu_ref) * 100 + reinterpret_cast<intptr_t>(item_ref));
}

TEST_F(HostSdk, MenusArePickedByPath) {
    g_picked.clear();
    XPLMMenuID plugins = XPLMFindPluginsMenu();
    const int top = XPLMAppendMenuItem(plugins, "Top", nullptr, 0);
    XPLMMenuID menu = XPLMCreateMenu("Top", plugins, top, PickHandler, reinterpret_cast<void*>(intptr_t{1}));
    XPLMAppendMenuItem(menu, "First", reinterpret_cast<void*>(intptr_t{1}), 0);
    XPLMAppendMenuSeparator(menu);
    const int sub_item = XPLMAppendMenuItem(menu, "More", nullptr, 0);
    XPLMMenuID sub =
        XPLMCreateMenu("More", menu, sub_item, PickHandler, reinterpret_cast<void*>(intptr_t{2}));
    XPLMAppendMenuItem(sub, "Deep", reinterpret_cast<void*>(intptr_t{5}), 0);
    EXPECT_EQ(XPLMCreateMenu("Bad", menu, 99, PickHandler, nullptr), nullptr);

    EXPECT_TRUE(hostsim::PickMenuItem("Plugins/Top/First"));
    EXPECT_TRUE(hostsim::PickMenuItem("Plugins/Top/More/Deep"));
    EXPECT_FALSE(hostsim::PickMenuItem("Plugins/Top/More")); // a sub-menu, not an item
    EXPECT_FALSE(hostsim::PickMenuItem("Plugins/Other/First"));
    EXPECT_EQ(g_picked, (std::vector<intptr_t>{101, 205}));

    XPLMEnableMenuItem(menu, 0, 0);
    EXPECT_FALSE(hostsim::PickMenuItem("Plugins/Top/First"));
    XPLMRemoveMenuItem(menu, 0);
    const auto menus = hostsim::Menus();
    ASSERT_EQ(menus.size(), 3u);
    EXPECT_EQ(menus[2].path, "Plugins/Top/More"); // still attached after the shift
    EXPECT_TRUE(hostsim::PickMenuItem("Plugins/Top/More/Deep"));
}

// ---------------------------------------------------------------------------------------------
// Widgets

std::vector<std::string> g_widget_calls;

int OuterFunc(XPWidgetMessage msg, XPWidgetID, intptr_t, intptr_t) {
    g_widget_calls.push_back("outer:" + std::to_string(msg));
    return msg == xpMsg_UserStart ? 1 : 0;
}

int InnerFunc(XPWidgetMessage msg, XPWidgetID, intptr_t, intptr_t) {
    g_widget_calls.push_back("inner:" + std::to_string(msg));
    return 0;
}

int SubclassFunc(XPWidgetMessage msg, XPWidgetID, intptr_t, intptr_t) {
    g_widget_calls.push_back("sub:" + std::to_string(msg));
    return 0;
}

TEST_F(HostSdk, WidgetTreeDispatchAndDestroy) {
    g_widget_calls.clear();
    XPWidgetID root = XPCreateCustomWidget(100, 500, 400, 100, 1, "Root", 1, nullptr, OuterFunc);
    XPWidgetID child = XPCreateCustomWidget(110, 490, 200, 470, 1, "Child", 0, root, InnerFunc);
    XPWidgetID button = XPCreateWidget(120, 480, 180, 460, 1, "Button", 0, child, xpWidgetClass_Button);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(XPGetParentWidget(button), child);
    EXPECT_EQ(XPFindRootWidget(button), root);
    EXPECT_EQ(XPCountChildWidgets(root), 1);
    EXPECT_EQ(XPIsWidgetVisible(button), 1);
    XPHideWidget(root);
    EXPECT_EQ(XPIsWidgetVisible(button), 0);
    XPShowWidget(root);

    // Up the chain until someone handles it; direct stays on the widget.
    g_widget_calls.clear();
    EXPECT_EQ(XPSendMessageToWidget(child, xpMsg_UserStart, xpMode_UpChain, 0, 0), 1);
    EXPECT_EQ(g_widget_calls, (std::vector<std::string>{"inner:10000", "outer:10000"}));
    EXPECT_EQ(XPSendMessageToWidget(child, xpMsg_UserStart, xpMode_Direct, 0, 0), 0);

    // A callback added later runs first and gets the create message at once.
    g_widget_calls.clear();
    XPAddWidgetCallback(child, SubclassFunc);
    XPSendMessageToWidget(child, xpMsg_UserStart + 1, xpMode_Direct, 0, 0);
    EXPECT_EQ(g_widget_calls, (std::vector<std::string>{"sub:1", "sub:10001", "inner:10001"}));

    // Properties and descriptors.
    int exists = -1;
    EXPECT_EQ(XPGetWidgetProperty(button, xpProperty_ButtonState, &exists), 0);
    EXPECT_EQ(exists, 0);
    XPSetWidgetProperty(button, xpProperty_ButtonState, 1);
    EXPECT_EQ(XPGetWidgetProperty(button, xpProperty_ButtonState, &exists), 1);
    EXPECT_EQ(exists, 1);
    char text[6];
    std::memset(text, 'x', sizeof(text));
    EXPECT_EQ(XPGetWidgetDescriptor(button, text, 3), 6);
    EXPECT_EQ(std::string(text, 4), "Butx"); // truncated copy is not terminated
    EXPECT_EQ(XPGetWidgetDescriptor(button, nullptr, 0), 6);
    XPSetWidgetDescriptor(button, "OK");
    EXPECT_EQ(XPGetWidgetDescriptor(button, text, sizeof(text)), 2);
    EXPECT_STREQ(text, "OK");

    // Destroying the root with its children sends each a destroy message; handles go dead.
    g_widget_calls.clear();
    XPDestroyWidget(root, 1);
    EXPECT_EQ(g_widget_calls, (std::vector<std::string>{"outer:2", "sub:2", "inner:2"}));
    EXPECT_TRUE(hostsim::Widgets().empty());
    EXPECT_EQ(XPSendMessageToWidget(child, xpMsg_UserStart, xpMode_UpChain, 0, 0), 0);
    EXPECT_EQ(XPGetWidgetDescriptor(button, text, sizeof(text)), 0);
}

} // namespace
