#include "harness.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#ifndef DRAV_XPL_PATH
#error "DRAV_XPL_PATH must name the built plug-in"
#endif

namespace e2e {

namespace {

// ---- Segment tables (what the units' firmware shows) ----

const uint8_t kSeg7Digits[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x67};
const uint8_t kSeg7Upper[26] = {0x77, 0x7c, 0x39, 0x5e, 0x79, 0x71, 0x3d, 0x76, 0x30, 0x1e, 0x70, 0x38, 0x37,
                                0x54, 0x3f, 0x73, 0x3b, 0x40, 0x6d, 0x31, 0x3e, 0x1c, 0x7e, 0x52, 0x72, 0x1b};
const uint8_t kSeg7Lower[26] = {0x5f, 0x7c, 0x58, 0x5e, 0x7b, 0x71, 0x3d, 0x74, 0x30, 0x0c, 0x70, 0x06, 0x37,
                                0x54, 0x5c, 0x73, 0x3b, 0x50, 0x6d, 0x78, 0x1c, 0x1c, 0x7e, 0x52, 0x5e, 0x1b};
const uint16_t kSeg16Upper[26] = {0x3722, 0x8f0a, 0x3900, 0x8f08, 0x3920, 0x3120, 0x3d02, 0x3622, 0x8908,
                                  0x1e00, 0x3025, 0x3800, 0x7609, 0x7604, 0x3f00, 0x3322, 0x3f04, 0x3326,
                                  0x2d22, 0x8108, 0x3e00, 0x3011, 0xb614, 0x4015, 0x222a, 0x0911};
const uint16_t kSeg16Digits[10] = {0x3f11, 0x0601, 0x1921, 0x0d03, 0x2622,
                                   0x4d02, 0x3d22, 0x2700, 0x3f22, 0x2f22};

const std::map<uint8_t, char>& Seg7Reverse() {
    static const std::map<uint8_t, char> table = [] {
        std::map<uint8_t, char> t;
        t.emplace(0x00, ' ');
        for (int i = 0; i < 10; ++i)
            t.emplace(kSeg7Digits[i], static_cast<char>('0' + i));
        for (auto [code, c] :
             {std::pair<uint8_t, char>{0x40, '-'}, {0x08, '_'}, {0x48, '='}, {0x39, '['}, {0x0f, ']'}})
            t.emplace(code, c);
        for (int i = 0; i < 26; ++i)
            t.emplace(kSeg7Upper[i], static_cast<char>('A' + i));
        for (int i = 0; i < 26; ++i)
            t.emplace(kSeg7Lower[i], static_cast<char>('a' + i));
        return t;
    }();
    return table;
}

const std::map<uint16_t, char>& Seg16Reverse() {
    static const std::map<uint16_t, char> table = [] {
        std::map<uint16_t, char> t;
        t.emplace(0x0000, ' ');
        for (int i = 0; i < 26; ++i)
            t.emplace(kSeg16Upper[i], static_cast<char>('A' + i));
        for (int i = 0; i < 10; ++i)
            t.emplace(kSeg16Digits[i], static_cast<char>('0' + i));
        t.emplace(0x0022, '-');
        t.emplace(0x0005, '<');
        t.emplace(0x4010, '>');
        return t;
    }();
    return table;
}

std::string DecodeOne7(uint8_t code) {
    const auto& t = Seg7Reverse();
    auto it = t.find(static_cast<uint8_t>(code & 0x7f));
    std::string s(1, it != t.end() ? it->second : '?');
    if (code & 0x80) s += '.';
    return s;
}

} // namespace

std::string DecodeSegments(const std::vector<uint8_t>& codes) {
    std::string text;
    for (uint8_t c : codes)
        text += DecodeOne7(c);
    return text;
}

std::string DecodeNumeric(const std::vector<uint8_t>& codes) {
    return DecodeSegments(std::vector<uint8_t>(codes.rbegin(), codes.rend()));
}

std::string DecodeAlpha(const std::vector<uint8_t>& codes) {
    std::string text;
    for (size_t i = 0; i + 1 < codes.size(); i += 2) {
        const uint16_t code = static_cast<uint16_t>(codes[i] | (codes[i + 1] << 8));
        const auto& t = Seg16Reverse();
        auto it = t.find(static_cast<uint16_t>(code & ~0x0040));
        text += it != t.end() ? it->second : '?';
        if (code & 0x0040) text += '.';
    }
    return text;
}

// ---- Fixture ----

void DravTest::SetUp() {
    if (!qdtest::Testbed::Available()) GTEST_SKIP() << "needs the umockdev preload";
    hostsim::Reset();
    char tmpl[] = "/tmp/drav_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    std::string error;
    ASSERT_TRUE(hostsim::CreateRoot(root_, &error)) << error;
    testbed_ = std::make_unique<qdtest::Testbed>();
}

void DravTest::TearDown() {
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
