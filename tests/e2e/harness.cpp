#include "harness.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef DRAV_XPL_PATH
#error "DRAV_XPL_PATH must name the built plug-in"
#endif

namespace e2e {

// ---- Fixture ----

void DravTest::SetUp() {
    if (!qdtest::Testbed::Available()) GTEST_SKIP() << "needs the umockdev preload";
    // The plug-in checks every refresh after an input against a full one (TearDown reads its log).
    ::setenv("DRAV_CHECK_REFRESH", "1", 0);
    hostsim::Reset();
    char tmpl[] = "/tmp/drav_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    std::string error;
    ASSERT_TRUE(hostsim::CreateRoot(root_, &error)) << error;
    testbed_ = std::make_unique<qdtest::Testbed>();
}

void DravTest::TearDown() {
    const std::string log = hostsim::DebugLog();
    for (size_t miss = log.find("Refresh check:"); miss != std::string::npos;
         miss = log.find("Refresh check:", miss + 1))
        ADD_FAILURE() << "the refresh after an input skipped a unit that was not up to date: "
                      << log.substr(miss, log.find('\n', miss) - miss);
    hostsim::UnloadPlugin();
    testbed_.reset();
    hostsim::Reset();
    if (!root_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

qdtest::Unit& DravTest::Plug(int type, const qdtest::PlugOptions& options) {
    return testbed_->plug(type, options);
}

std::string DravTest::PluginFolder() const {
    return hostsim::SystemPath() + "Resources/plugins/DRAV/";
}

void DravTest::WriteIni(const std::string& text) {
    std::ofstream out(PluginFolder() + "DRAV.INI", std::ios::trunc);
    out << text;
}

namespace {
std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

std::string DravTest::ReadIni() const {
    return Slurp(PluginFolder() + "DRAV.INI");
}
std::string DravTest::LogText() const {
    return Slurp(PluginFolder() + "DRAVLog.txt");
}

bool DravTest::LoadAndEnable() {
    std::string error;
    if (!hostsim::LoadPlugin(DRAV_XPL_PATH, &error)) {
        ADD_FAILURE() << "loading " << DRAV_XPL_PATH << ": " << error;
        return false;
    }
    return hostsim::EnablePlugin();
}

bool DravTest::Start() {
    if (!LoadAndEnable()) return false;
    // The first refresh (0.5 s after enabling) registers every unit.
    hostsim::RunSeconds(0.6);
    Settle();
    return true;
}

bool DravTest::RunUntil(const std::function<bool()>& pred, double max_seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(max_seconds);
    for (;;) {
        hostsim::RunFrames(1);
        if (pred()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void DravTest::Settle(double wall_seconds) {
    RunUntil([] { return false; }, wall_seconds);
}

std::vector<uint8_t> DravTest::Feature(const qdtest::Unit& unit, uint8_t id) {
    std::vector<uint8_t> latest;
    for (const qdtest::Sent& s : unit.outputs())
        if (s.kind == qdtest::Sent::Feature && !s.bytes.empty() && s.bytes[0] == id)
            latest.assign(s.bytes.begin() + 1, s.bytes.end());
    return latest;
}

int DravTest::Lamps(const qdtest::Unit& unit) {
    const std::vector<uint8_t> f = Feature(unit, 2);
    return f.empty() ? -1 : f[0];
}

int DravTest::LampReports(const qdtest::Unit& unit) {
    int n = 0;
    for (const qdtest::Sent& s : unit.outputs())
        if (s.kind == qdtest::Sent::Feature && !s.bytes.empty() && s.bytes[0] == 2) ++n;
    return n;
}

std::array<std::array<int, 3>, 6> DravTest::AnnunciatorColours(const qdtest::Unit& unit) {
    std::array<std::array<int, 3>, 6> lamps;
    for (auto& l : lamps)
        l = {-1, -1, -1};
    for (const qdtest::Sent& s : unit.outputs()) {
        if (s.kind != qdtest::Sent::Output || s.bytes.size() < 5 || s.bytes[0] != 2) continue;
        const int n = s.bytes[1];
        if (n >= 1 && n <= 6) lamps[static_cast<size_t>(n - 1)] = {s.bytes[2], s.bytes[3], s.bytes[4]};
    }
    return lamps;
}

int64_t DravTest::BoardOutputs(const qdtest::Unit& unit) {
    int64_t word = -1;
    for (const qdtest::Sent& s : unit.outputs()) {
        if (s.kind != qdtest::Sent::Output || s.bytes.size() < 5 || s.bytes[0] != 2) continue;
        word = static_cast<int64_t>(s.bytes[1]) | (static_cast<int64_t>(s.bytes[2]) << 8) |
               (static_cast<int64_t>(s.bytes[3]) << 16) | (static_cast<int64_t>(s.bytes[4]) << 24);
    }
    return word;
}

int DravTest::OutputReports(const qdtest::Unit& unit) {
    int n = 0;
    for (const qdtest::Sent& s : unit.outputs())
        if (s.kind == qdtest::Sent::Output) ++n;
    return n;
}

int DravTest::CountCommands(hostsim::CommandKind kind, const std::string& name, int number) {
    int n = 0;
    for (const hostsim::CommandEvent& e : hostsim::CommandLog()) {
        if (e.kind != kind) continue;
        if (!name.empty() && e.name != name) continue;
        if (number >= 0 && e.number != number) continue;
        ++n;
    }
    return n;
}

void DravTest::SetPower(bool on) {
    hostsim::SetInt("sim/cockpit/electrical/battery_on", on ? 1 : 0);
    hostsim::SetInt("sim/cockpit/electrical/avionics_on", on ? 1 : 0);
}

} // namespace e2e
