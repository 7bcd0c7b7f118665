// The library through qddev.h over units reached through wine's HID stack, Windows transport
// included (run by qdwinebed).
//
// The library's slot lists live for the whole process, so each test uses models of its own
// and takes unit indices from the connect callback rather than assuming them.
#include "qddev.h"
#include "remote_bed.h"
#include "transport_sinks.h"

#include <cstring>
#include <future>

namespace qdtest {
namespace {

using Bed = RemoteBed;
constexpr auto kArrival = 10000ms;

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

bool OnInput(tagQDDevHWType type, uint16_t, const void* data) {
    g_seen.in_callback = true;
    {
        std::lock_guard<std::mutex> lock(g_seen.mu);
        const uint8_t* p = static_cast<const uint8_t*>(data);
        if (type == QDHW_RSX)
            g_seen.inputs.emplace_back(p, p + sizeof(QDRSXControlVals));
        else
            g_seen.inputs.emplace_back();
    }
    while (g_seen.hold)
        std::this_thread::sleep_for(1ms);
    g_seen.in_callback = false;
    return true;
}

class WinLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Bed::Available()) GTEST_SKIP() << "needs qdwinebed";
        std::lock_guard<std::mutex> lock(g_seen.mu);
        g_seen.connects.clear();
        g_seen.inputs.clear();
    }
    void TearDown() override {
        QDDev_Terminate();
        if (!Bed::Available()) return;
        Bed::UnplugAll();
        WaitFor([] { return Bed::PresentUnits() == 0; }, kArrival);
    }
    // Starts the library once wine lists the units plugged so far.
    void Init(size_t present) {
        EXPECT_TRUE(WaitFor([&] { return Bed::PresentUnits() >= present; }, kArrival));
        ASSERT_EQ(QDDev_Init(), 0u);
        QDDev_RegisterConnectCallback(OnConnect);
        QDDev_RegisterInputCallback(OnInput);
    }
    // Index of the unit whose attach was reported n-th (0-based) after Init.
    int AttachedIndex(size_t n) {
        if (!WaitFor([&] { return g_seen.connect_count() > n; }, kArrival)) return -1;
        std::lock_guard<std::mutex> lock(g_seen.mu);
        return g_seen.connects[n].index;
    }
};

TEST_F(WinLibrary, InitFindsPresentUnitsAndReadsTheirState) {
    Bed::Plug(5, {.version = 0x0207, .serial = "R1", .no_report_ids = false});
    const int pbx = Bed::Plug(2);
    Bed::Press(pbx, 3); // held down before the library starts
    Init(2);
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

    unsigned char sw = 0;
    ASSERT_EQ(QDPBX_GetSwitchVals(0, &sw), 0u);
    EXPECT_EQ(sw, 0x04);
}

TEST_F(WinLibrary, DisplayWritesReachTheUnitByteForByteAndInputReachesTheCallback) {
    const int rsx = Bed::Plug(5);
    Init(1);
    ASSERT_EQ(QDRSX_SetLDisplayText(0, "123.45"), 0u);
    ASSERT_EQ(QDRSX_SetEncoderType(0, 1, 2), 0u);
    ASSERT_TRUE(Bed::WaitOutputs(rsx, 2));
    EXPECT_EQ(Bed::Outputs(rsx),
              (std::vector<RemoteSent>{{true, {3, 0x06, 0x5b, 0xcf, 0x66, 0x6d, 0x00}}, {true, {9, 0x09}}}));

    Bed::Turn(rsx, 1, 2);
    Bed::Press(rsx, 1);
    ASSERT_TRUE(WaitFor([&] { return g_seen.input_count() >= 2; }, kArrival));
    std::lock_guard<std::mutex> lock(g_seen.mu);
    QDRSXControlVals first{}, second{};
    std::memcpy(&first, g_seen.inputs[0].data(), sizeof first);
    std::memcpy(&second, g_seen.inputs[1].data(), sizeof second);
    EXPECT_EQ(first.left, 2);
    EXPECT_EQ(second.left, 0); // the callback returned true: the counts were reset
    EXPECT_EQ(second.switches, 0x01);
}

TEST_F(WinLibrary, ReplugKeepsTheUnitIndexAndReportsBothEvents) {
    Init(0);
    const int tgx = Bed::Plug(3); // hot-plugged after start
    const int index = AttachedIndex(0);
    ASSERT_GE(index, 0);

    Bed::Unplug(tgx);
    ASSERT_TRUE(WaitFor([&] { return g_seen.connect_count() == 2; }, kArrival));
    {
        std::lock_guard<std::mutex> lock(g_seen.mu);
        EXPECT_EQ(g_seen.connects[1].type, QDHW_TGX);
        EXPECT_EQ(g_seen.connects[1].index, index);
        EXPECT_EQ(g_seen.connects[1].token, 2);
    }
    unsigned char sw = 0;
    EXPECT_TRUE(WaitFor([&] { return QDTGX_GetSwitchVals(static_cast<uint16_t>(index), &sw) == 1u; }));

    Bed::Replug(tgx);
    EXPECT_EQ(AttachedIndex(2), index);
    ASSERT_EQ(QDTGX_SetIndicators(static_cast<uint16_t>(index), 0x5A), 0u);
    ASSERT_TRUE(Bed::WaitOutputs(tgx, 1));
    EXPECT_EQ(Bed::Outputs(tgx).back().bytes, (std::vector<uint8_t>{2, 0x5A}));
}

TEST_F(WinLibrary, WritesToAStalledUnitReturnAtOnceAndTerminateDoesNotHang) {
    const int apc = Bed::Plug(6);
    Init(1);
    ASSERT_EQ(QDAPC_GetNumDevices(), 1u);
    Bed::Stall(apc);
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < 26; ++k)
        EXPECT_EQ(QDAPC_SetDDisplayText(0, "12345"), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms); // a waiting call would hang here
    // Under wine a send the unit never answers holds up the whole bus, cancelled reads
    // included: Terminate leaves those to the bus and returns all the same.
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_EQ(QDDev_Terminate(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t1, 1000ms);
    // The writer left behind finishes the send the unit held once it answers; the one report
    // queued behind it (the other writes replaced it) is dropped.
    std::this_thread::sleep_for(100ms);
    Bed::Unstall(apc);
    EXPECT_TRUE(Bed::WaitOutputs(apc, 1, kArrival));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Bed::Outputs(apc).size(), 1u);
}

TEST_F(WinLibrary, TerminateWaitsForARunningInputCallback) {
    const int rsx = Bed::Plug(5);
    Init(1);
    g_seen.hold = true;
    Bed::Turn(rsx, 2, 1);
    ASSERT_TRUE(WaitFor([&] { return g_seen.in_callback.load(); }, kArrival));
    auto done = std::async(std::launch::async, [] { return QDDev_Terminate(); });
    EXPECT_EQ(done.wait_for(100ms), std::future_status::timeout);
    g_seen.hold = false;
    ASSERT_EQ(done.wait_for(3000ms), std::future_status::ready);
    EXPECT_EQ(done.get(), 0u);
    EXPECT_FALSE(g_seen.in_callback);
}

} // namespace
} // namespace qdtest
