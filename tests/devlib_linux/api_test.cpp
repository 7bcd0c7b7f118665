// The library through qddev.h over emulated units, hidraw transport included.
//
// The library's slot lists live for the whole process, so each test uses models of
// its own and takes unit indices from the connect callback rather than assuming them.
#include "encodings.h"
#include "qddev.h"
#include "testbed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace qdtest {
namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout = 2000ms) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct Event {
    int type;
    int index;
    int token;
};

// What the library's callbacks saw; plain function pointers need a global.
struct Seen {
    std::mutex mu;
    std::vector<Event> connects;
    std::vector<std::vector<uint8_t>> inputs; // RSX records
    std::atomic<bool> hold{false};
    std::atomic<bool> in_callback{false};
    void clear() {
        std::lock_guard<std::mutex> lock(mu);
        connects.clear();
        inputs.clear();
    }
    size_t connect_count() {
        std::lock_guard<std::mutex> lock(mu);
        return connects.size();
    }
    size_t input_count() {
        std::lock_guard<std::mutex> lock(mu);
        return inputs.size();
    }
} g_seen;

bool OnConnect(tagQDDevHWType type, uint16_t index, tagEventToken token) {
    std::lock_guard<std::mutex> lock(g_seen.mu);
    g_seen.connects.push_back({static_cast<int>(type), index, static_cast<int>(token)});
    return true;
}

std::atomic<uint32_t> g_types_seen{0}; // bit n: a record of device type n arrived

bool OnInput(tagQDDevHWType type, uint16_t, const void* data) {
    g_types_seen |= 1u << type;
    g_seen.in_callback = true;
    if (type == QDHW_RSX) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        std::lock_guard<std::mutex> lock(g_seen.mu);
        g_seen.inputs.emplace_back(p, p + sizeof(QDRSXControlVals));
    } else {
        std::lock_guard<std::mutex> lock(g_seen.mu);
        g_seen.inputs.emplace_back();
    }
    while (g_seen.hold)
        std::this_thread::sleep_for(1ms);
    g_seen.in_callback = false;
    return true;
}

class Library : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Testbed::Available()) GTEST_SKIP() << "needs umockdev-wrapper";
        g_seen.clear();
        tb = std::make_unique<Testbed>();
    }
    void TearDown() override {
        QDDev_Terminate();
        tb.reset();
    }
    void Init() {
        ASSERT_EQ(QDDev_Init(), 0u);
        QDDev_RegisterConnectCallback(OnConnect);
        QDDev_RegisterInputCallback(OnInput);
    }
    // Index of the unit whose attach was reported n-th (0-based) after Init.
    int AttachedIndex(size_t n) {
        if (!WaitFor([&] { return g_seen.connect_count() > n; })) return -1;
        std::lock_guard<std::mutex> lock(g_seen.mu);
        return g_seen.connects[n].index;
    }
    std::unique_ptr<Testbed> tb;
};

TEST_F(Library, InitFindsPresentUnitsAndReadsTheirState) {
    Unit& rsx = tb->plug(5, {.version = 0x0207, .serial = "R1"});
    Unit& pbx = tb->plug(2);
    pbx.press(3); // held down before the library starts
    Init();
    EXPECT_EQ(QDRSX_GetNumDevices(), 1u);
    EXPECT_EQ(QDPBX_GetNumDevices(), 1u);
    QDDevInfo info{};
    ASSERT_EQ(QDDev_GetDeviceInfo(QDHW_RSX, 0, &info), 0u);
    EXPECT_EQ(info.version, 0x0207);
    EXPECT_NE(info.location[0], '\0');
    QDDevInfoEx ex{};
    ex.size = QDDEV_INFO_EX_SIZE;
    ASSERT_EQ(QDDev_GetDeviceInfoEx(QDHW_RSX, 0, &ex), 0u);
    EXPECT_STREQ(ex.serial, "R1");
    EXPECT_EQ(std::string(ex.path), rsx.usb_syspath().substr(0, sizeof ex.path - 1));

    unsigned char sw = 0;
    ASSERT_EQ(QDPBX_GetSwitchVals(0, &sw), 0u);
    EXPECT_EQ(sw, 0x04);
}

TEST_F(Library, DisplayWritesReachTheUnitByteForByteAndInputReachesTheCallback) {
    Unit& rsx = tb->plug(5);
    Init();
    ASSERT_EQ(QDRSX_SetLDisplayText(0, "123.45"), 0u);
    ASSERT_EQ(QDRSX_SetEncoderType(0, 1, 2), 0u);
    ASSERT_TRUE(rsx.wait_outputs(2));
    EXPECT_EQ(rsx.outputs(), (std::vector<Sent>{{Sent::Feature, {3, 0x06, 0x5b, 0xcf, 0x66, 0x6d, 0x00}},
                                                {Sent::Feature, {9, 0x09}}}));

    rsx.turn(1, 2);
    rsx.press(1);
    ASSERT_TRUE(WaitFor([&] { return g_seen.input_count() >= 2; }));
    std::lock_guard<std::mutex> lock(g_seen.mu);
    QDRSXControlVals first{}, second{};
    std::memcpy(&first, g_seen.inputs[0].data(), sizeof first);
    std::memcpy(&second, g_seen.inputs[1].data(), sizeof second);
    EXPECT_EQ(first.left, 2);
    // The callback returned true: the counts were reset.
    EXPECT_EQ(second.left, 0) << g_seen.inputs.size() << " records, switches " << int(first.switches)
                              << " then " << int(second.switches);
    EXPECT_EQ(second.switches, 0x01);
}

TEST_F(Library, EveryModelsInputReachesTheCallback) {
    std::vector<Unit*> units;
    for (int type : SupportedTypes())
        units.push_back(&tb->plug(type));
    Init();
    g_types_seen = 0;
    for (Unit* u : units) {
        switch (u->type()) {
        case 9:
            u->lever(1, 200);
            break;
        case 14:
            u->selector(1, 3);
            break; // between detents nothing is delivered
        case 17:
            u->selector(2, 3);
            break;
        case 1:
            u->turn(1, 1);
            break;
        default:
            u->press(1);
            break;
        }
    }
    uint32_t want = 0;
    for (int type : SupportedTypes())
        want |= 1u << type;
    EXPECT_TRUE(WaitFor([&] { return g_types_seen.load() == want; })) << std::hex << g_types_seen.load();
}

TEST_F(Library, ReplugKeepsTheUnitIndexAndReportsBothEvents) {
    Unit& a = tb->plug(3);
    Init();
    Unit& b = tb->plug(3); // hot-plugged after start
    const int ib = AttachedIndex(0);
    ASSERT_GE(ib, 0);
    const uint16_t slots = QDTGX_GetNumDevices();
    QDDevInfo info{};
    const int ia = ib == 0 ? 1 : 0;
    ASSERT_EQ(QDDev_GetDeviceInfo(QDHW_TGX, static_cast<uint16_t>(ia), &info), 0u);

    a.unplug();
    ASSERT_TRUE(WaitFor([&] { return g_seen.connect_count() == 2; }));
    {
        std::lock_guard<std::mutex> lock(g_seen.mu);
        EXPECT_EQ(g_seen.connects[1].type, QDHW_TGX);
        EXPECT_EQ(g_seen.connects[1].index, ia);
        EXPECT_EQ(g_seen.connects[1].token, 2);
    }
    EXPECT_EQ(QDTGX_GetNumDevices(), slots);
    // The removal event comes before the unit's object goes: wait for that too.
    unsigned char sw = 0;
    EXPECT_TRUE(WaitFor([&] { return QDTGX_GetSwitchVals(ia, &sw) == 1u; }));

    a.replug();
    EXPECT_EQ(AttachedIndex(2), ia);
    ASSERT_EQ(QDTGX_SetIndicators(ia, 0x5A), 0u);
    ASSERT_TRUE(a.wait_outputs(1));
    EXPECT_EQ(a.outputs().back().bytes, (std::vector<uint8_t>{2, 0x5A}));
    EXPECT_TRUE(b.outputs().empty());
}

TEST_F(Library, WritesToAStalledUnitReturnAtOnceAndTerminateDoesNotHang) {
    Unit& apc = tb->plug(6);
    Init();
    apc.stall();
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < 26; ++k)
        EXPECT_EQ(QDAPC_SetDDisplayText(0, "12345"), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms); // a waiting call would hang here
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_EQ(QDDev_Terminate(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t1, 200ms);
    // The writer left behind finishes the send the unit held once it answers; the one report
    // queued behind it (the other writes replaced it) is dropped.
    std::this_thread::sleep_for(50ms);
    apc.unstall();
    EXPECT_TRUE(apc.wait_outputs(1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(apc.outputs().size(), 1u);
}

TEST_F(Library, TerminateWaitsForARunningInputCallback) {
    Unit& rsx = tb->plug(5);
    Init();
    g_seen.hold = true;
    rsx.turn(2, 1);
    ASSERT_TRUE(WaitFor([&] { return g_seen.in_callback.load(); }));
    auto done = std::async(std::launch::async, [] { return QDDev_Terminate(); });
    EXPECT_EQ(done.wait_for(100ms), std::future_status::timeout);
    g_seen.hold = false;
    ASSERT_EQ(done.wait_for(3000ms), std::future_status::ready);
    EXPECT_EQ(done.get(), 0u);
    EXPECT_FALSE(g_seen.in_callback);
}

TEST_F(Library, AfterAStallEveryUnitEndsShowingTheLatestState) {
    Unit& rsx = tb->plug(5);
    Unit& anp = tb->plug(18);
    Init();
    const int r = 0, a = 0;           // present at Init: the first slots
    ASSERT_TRUE(anp.wait_outputs(6)); // the lamps are set off when the unit is opened
    anp.clear_outputs();
    rsx.stall();
    anp.stall();
    char text[16];
    for (int k = 0; k < 200; ++k) {
        std::snprintf(text, sizeof text, "%03d.%02d", 118 + k / 40, k % 100);
        EXPECT_EQ(QDRSX_SetLDisplayText(r, text), 0u);
    }
    // Each lamp goes through several colours; lamp n ends at colour n.
    for (uint8_t round = 0; round < 4; ++round)
        for (uint8_t lamp = 1; lamp <= 6; ++lamp)
            EXPECT_EQ(QDANP_SetIndColorValue(a, lamp, round == 3 ? lamp : (lamp + round) % 8), 0u);
    rsx.unstall();
    anp.unstall();

    uint8_t seg[6];
    Text2SegmentData(text, seg, 6);
    const std::vector<uint8_t> last_text = {3, seg[0], seg[1], seg[2], seg[3], seg[4], seg[5]};
    ASSERT_TRUE(WaitFor([&] { return rsx.feature(3) == last_text; }));
    EXPECT_LE(rsx.outputs().size(), 3u); // the one in flight, then only the latest
    for (uint8_t lamp = 1; lamp <= 6; ++lamp) {
        uint8_t rgb[3];
        ConvertColorValueToRGB(lamp, 15, &rgb[0], &rgb[1], &rgb[2]);
        const std::vector<uint8_t> want = {2, lamp, rgb[0], rgb[1], rgb[2]};
        EXPECT_TRUE(WaitFor([&] {
            const std::vector<Sent> out = anp.outputs();
            for (auto it = out.rbegin(); it != out.rend(); ++it)
                if (it->bytes.size() > 1 && it->bytes[1] == lamp) return it->bytes == want;
            return false;
        })) << "lamp "
            << int(lamp);
    }
}

// Reports no unit should send must not upset the library: every model, then a valid input.
TEST_F(Library, MalformedInputIsIgnoredAndValidInputStillArrives) {
    for (int type : SupportedTypes())
        tb->plug(type);
    Init();
    std::mt19937 rng(16);
    for (const auto& u : tb->units()) {
        const ModelLayout& m = u->layout();
        const std::vector<uint8_t> valid = u->input_state();
        std::vector<std::vector<uint8_t>> bad = {{}, {valid[0]}, {0x7f}};
        bad.emplace_back(valid.begin(), valid.end() - 1); // one byte short
        std::vector<uint8_t> longer = valid;
        longer.resize(valid.size() + 40, 0xff);
        bad.push_back(longer);
        std::vector<uint8_t> unknown = valid;
        unknown[0] = 0x7f;
        bad.push_back(unknown);
        for (int k = 0; k < 50; ++k) {
            std::vector<uint8_t> r(rng() % (m.input_len + 8));
            for (uint8_t& b : r)
                b = static_cast<uint8_t>(rng());
            bad.push_back(r);
        }
        for (const auto& r : bad)
            u->send_raw(r);
    }
    std::this_thread::sleep_for(100ms);
    g_types_seen = 0;
    uint32_t want = 0;
    for (const auto& u : tb->units()) {
        const ModelLayout& m = u->layout();
        if (m.type == QDHW_ECP) {
            // Its key starts between detents, where the panel's reports carry no state: turn it.
            u->selector(1, 2);
        } else if (!m.switch_bytes.empty()) {
            u->press(1);
            u->release(1);
        } else if (!m.encoder_bytes.empty() || m.nibble_encoders) {
            u->turn(1, 1);
        } else if (!m.lever_bytes.empty()) {
            u->lever(1, 77);
        } else {
            u->selector(1, 2);
        }
        want |= 1u << m.type;
    }
    // Sixteen units' worth of input through the emulation: allow a busy machine its time.
    EXPECT_TRUE(WaitFor([&] { return (g_types_seen.load() & want) == want; }, 5000ms))
        << std::hex << g_types_seen.load() << " of " << want;
    for (const auto& u : tb->units())
        EXPECT_TRUE(u->plugged());
}

} // namespace
} // namespace qdtest
