// The library through qddev.h over emulated units, hidraw transport included.
//
// The library's slot lists live for the whole process, so each test uses models of
// its own and takes unit indices from the connect callback rather than assuming them.
#include "qddev.h"
#include "testbed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
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
    EXPECT_LT(std::chrono::steady_clock::now() - t1, 3000ms);
    // The writer left behind finishes once the unit answers: the held report and the
    // 24 others of the full queue (the 26th write was discarded) each get their attempt.
    apc.unstall();
    EXPECT_TRUE(apc.wait_outputs(25));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(apc.outputs().size(), 25u);
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

} // namespace
} // namespace qdtest
