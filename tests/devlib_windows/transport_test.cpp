// The Windows transport through the platform seam, against emulated units reached through
// wine's HID stack (run by qdwinebed).
#include "remote_bed.h"
#include "testbed.h"
#include "transport_sinks.h"
#include "win_hid_transport.h"

#include <future>

namespace qdtest {
namespace {

using RecordingHotplug = RecordingHotplugOf<qddev::WinHidConnection>;
using Bed = RemoteBed;

// Arrivals travel udev -> winebus -> hidclass -> window message: slower than on Linux.
constexpr auto kArrival = 10000ms;

class WinTransport : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Bed::Available()) GTEST_SKIP() << "needs qdwinebed";
    }
    void TearDown() override {
        if (platform) platform->Stop();
        hotplug.arrived.clear(); // stops every connection before the units go
        platform.reset();
        if (!Bed::Available()) return;
        // The next test starts once wine has seen every unit go.
        Bed::UnplugAll();
        if (!WaitFor([] { return RemoteBed::PresentUnits() == 0; }, kArrival))
            std::printf("note: wine still lists %zu units\n", RemoteBed::PresentUnits());
    }
    // Starts once the units plugged so far are visible to wine.
    void Start(size_t present = 0, std::chrono::milliseconds wakeup = 5000ms) {
        EXPECT_TRUE(WaitFor([&] { return RemoteBed::PresentUnits() >= present; }, kArrival));
        platform = std::make_unique<qddev::WinHidPlatform>();
        platform->SetWakeupInterval(wakeup);
        ASSERT_TRUE(platform->Start(&hotplug));
    }
    qddev::WinHidConnection* ConnOf(uint16_t product_id) {
        std::lock_guard<std::mutex> lock(hotplug.mu);
        for (auto& c : hotplug.arrived)
            if (c->Info().product_id == product_id) return dynamic_cast<qddev::WinHidConnection*>(c.get());
        return nullptr;
    }

    RecordingHotplug hotplug;
    std::unique_ptr<qddev::WinHidPlatform> platform;
};

TEST_F(WinTransport, EnumeratesOnlyTheVendorsUnitsWithTheirIdentity) {
    Bed::Plug(5, {.version = 0x0123, .serial = "RSX-1", .no_report_ids = false});
    Bed::PlugForeign(0x046D, 0xC52B);
    Bed::Plug(19);
    Start(2);
    // Present units are delivered before Start returns.
    ASSERT_EQ(hotplug.arrivals(), 2u);
    const qddev::HidInfo& r = ConnOf(0x0105)->Info();
    const qddev::HidInfo& i = ConnOf(0x0113)->Info();
    EXPECT_EQ(r.vendor_id, 0x3A5C);
    EXPECT_EQ(r.version, 0x0123);
    EXPECT_STREQ(r.serial, "RSX-1");
    // Wine's udev bus names the product after HID_NAME ("Quandel QD-RSX"), Windows after the
    // USB product string.
    EXPECT_NE(std::string(r.product).find("QD-RSX"), std::string::npos) << r.product;
    EXPECT_NE(std::string(r.path).find("vid_3a5c"), std::string::npos) << r.path;
    EXPECT_EQ(r.input_report_len, 4);
    EXPECT_EQ(r.feature_report_len, 7);
    EXPECT_EQ(r.output_report_len, 0);
    EXPECT_EQ(i.output_report_len, 10);
    EXPECT_EQ(i.feature_report_len, 8);
    EXPECT_NE(r.location, 0);
    EXPECT_NE(r.location, i.location);
}

TEST_F(WinTransport, HotplugArrivalAndRemovalCarryTheSameLocation) {
    Start();
    EXPECT_EQ(hotplug.arrivals(), 0u);
    const int pbx = Bed::Plug(2);
    qddev::WinHidConnection* c = hotplug.conn(0, kArrival);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Info().product_id, 0x0102);
    const int32_t loc = c->Info().location;

    Bed::Unplug(pbx);
    ASSERT_TRUE(WaitFor([&] { return hotplug.removals() == 1; }, kArrival));
    EXPECT_EQ(hotplug.removed[0], loc);

    // A replugged unit arrives again.
    Bed::Replug(pbx);
    qddev::WinHidConnection* again = hotplug.conn(1, kArrival);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Info().product_id, 0x0102);
    EXPECT_EQ(hotplug.arrivals(), 2u);
}

TEST_F(WinTransport, WakeupTimerTicksUntilStop) {
    Start(0, 20ms);
    EXPECT_TRUE(WaitFor([&] { return hotplug.wakeups >= 3; }, 1000ms));
    platform->Stop();
    const int after = hotplug.wakeups;
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(hotplug.wakeups, after);
}

TEST_F(WinTransport, InputArrivesInOrderOneReportPerRead) {
    const int rsx = Bed::Plug(5);
    RemotePlug no_ids;
    no_ids.no_report_ids = true;
    const int thq = Bed::Plug(9, no_ids);
    Start(2);
    qddev::WinHidConnection* c = ConnOf(0x0105);
    qddev::WinHidConnection* t = ConnOf(0x0109);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(t, nullptr);
    RecordingInput in, tin;
    c->StartInput(&in);
    t->StartInput(&tin);
    for (int k = 1; k <= 30; ++k)
        Bed::Turn(rsx, 1 + k % 2, k % 2 ? k : -k);
    Bed::Press(rsx, 3);
    ASSERT_TRUE(WaitFor([&] { return in.count() == 31; }, kArrival)) << in.count();
    {
        std::lock_guard<std::mutex> lock(in.mu);
        for (int k = 1; k <= 30; ++k) {
            const std::vector<uint8_t>& r = in.reports[static_cast<size_t>(k - 1)];
            ASSERT_EQ(r.size(), 4u) << "report " << k;
            EXPECT_EQ(r[0], 1);
            EXPECT_EQ(static_cast<int8_t>(r[k % 2 ? 2 : 1]), k % 2 ? k : -k) << "report " << k;
        }
        EXPECT_EQ(in.reports[30], (std::vector<uint8_t>{1, 0, 0, 0x04}));
    }
    // Without report IDs Windows puts 0 in byte 0, as the transport promises.
    EXPECT_EQ(t->Info().input_report_len, 8);
    Bed::Lever(thq, 6, 0xAB);
    ASSERT_TRUE(WaitFor([&] { return tin.count() == 1; }, kArrival));
    std::lock_guard<std::mutex> lock(tin.mu);
    EXPECT_EQ(tin.reports[0], (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xAB, 0}));
}

// One unit per test where it can: wine's bus misses arrivals and removals that come close
// together (qdwinebed paces them), and a missed removal would leave a unit for the next test.
TEST_F(WinTransport, FeatureReportsReachTheUnitByteForByteAndReadBack) {
    const int rsx = Bed::Plug(5);
    Start(1);
    qddev::WinHidConnection* c = ConnOf(0x0105);
    ASSERT_NE(c, nullptr);
    const uint8_t left[7] = {3, 0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d};
    const uint8_t bright[2] = {6, 9};
    EXPECT_EQ(c->QueueFeatureReport(left, sizeof left), 0u);
    EXPECT_EQ(c->QueueFeatureReport(bright, sizeof bright), 0u);
    ASSERT_TRUE(Bed::WaitOutputs(rsx, 2));
    EXPECT_EQ(Bed::Outputs(rsx), (std::vector<RemoteSent>{{true, {left, left + 7}}, {true, {6, 9}}}));
    EXPECT_EQ(Bed::Feature(rsx, 6), (std::vector<uint8_t>{6, 9}));

    // Feature reads: the state report mirrors the controls; a stored report reads back.
    Bed::Press(rsx, 2);
    uint8_t state[4] = {8};
    EXPECT_EQ(c->GetFeatureReport(state, sizeof state), 4);
    EXPECT_EQ(state[3], 0x02);
    uint8_t b[2] = {6};
    EXPECT_EQ(c->GetFeatureReport(b, sizeof b), 2);
    EXPECT_EQ(b[1], 9);
    uint8_t unknown[4] = {0x42};
    EXPECT_EQ(c->GetFeatureReport(unknown, sizeof unknown), -1);
    EXPECT_EQ(c->GetFeatureReport(nullptr, 4), -1);
}

TEST_F(WinTransport, OutputWritesReachTheUnitByteForByte) {
    const int anp = Bed::Plug(18);
    Start(1);
    qddev::WinHidConnection* c = ConnOf(0x0112);
    ASSERT_NE(c, nullptr);
    c->SetReplaceRule(qddev::ReplaceRule{0, 1}); // one lamp per report, as the library sets it
    const uint8_t lamp[5] = {2, 6, 100, 100, 1};
    const uint8_t dark[5] = {2, 1, 0, 0, 0};
    EXPECT_EQ(c->QueueOutputReport(lamp, sizeof lamp), 0u);
    EXPECT_EQ(c->QueueOutputReport(dark, sizeof dark), 0u);
    ASSERT_TRUE(Bed::WaitOutputs(anp, 2));
    EXPECT_EQ(Bed::Outputs(anp),
              (std::vector<RemoteSent>{{false, {2, 6, 100, 100, 1}}, {false, {2, 1, 0, 0, 0}}}));
}

TEST_F(WinTransport, QueueReplacesReportsOfTheSameStateAndDiscardsBeyondItsBound) {
    const int rsx = Bed::Plug(5);
    Start(1);
    qddev::WinHidConnection* c = ConnOf(0x0105);
    ASSERT_NE(c, nullptr);
    c->SetQueueLimit(4);
    Bed::Stall(rsx);
    const auto t0 = std::chrono::steady_clock::now();
    const uint8_t held[7] = {3, 0x11};
    EXPECT_EQ(c->QueueFeatureReport(held, 7), 0u);
    ASSERT_TRUE(WaitFor([&] { return c->Stats().pending == 1; }));
    std::this_thread::sleep_for(100ms); // the writer is inside the send of `held` now
    // The report in flight is never replaced: the next one of its state queues behind it.
    const uint8_t r1[7] = {3, 0x12}, r2[7] = {5, 0x21}, r3[2] = {6, 4}, r4[2] = {7, 1}, r5[7] = {5, 0x22};
    for (const uint8_t* r : {r1, r2})
        EXPECT_EQ(c->QueueFeatureReport(r, 7), 0u);
    EXPECT_EQ(c->QueueFeatureReport(r3, 2), 0u);             // the queue is full now
    EXPECT_EQ(c->QueueFeatureReport(r4, 2), 0u);             // a state not queued yet: discarded
    EXPECT_EQ(c->QueueFeatureReport(r5, 7), 0u);             // replaces r2 in its place
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms); // a blocking call would hang here
    EXPECT_EQ(c->Stats().discarded, 1u);
    EXPECT_EQ(c->Stats().replaced, 1u);
    Bed::Unstall(rsx);
    ASSERT_TRUE(Bed::WaitOutputs(rsx, 4));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Bed::Outputs(rsx), (std::vector<RemoteSent>{{true, {3, 0x11, 0, 0, 0, 0, 0}},
                                                          {true, {3, 0x12, 0, 0, 0, 0, 0}},
                                                          {true, {5, 0x22, 0, 0, 0, 0, 0}},
                                                          {true, {6, 4}}}));

    // The annunciator's colour report addresses one lamp: only the same lamp's report is replaced.
    TearDown();
    const int anp = Bed::Plug(18);
    Start(1);
    c = ConnOf(0x0112);
    ASSERT_NE(c, nullptr);
    c->SetReplaceRule(qddev::ReplaceRule{0, 1});
    Bed::Stall(anp);
    const uint8_t first[5] = {2, 1, 1, 1, 1};
    c->QueueOutputReport(first, 5);
    ASSERT_TRUE(WaitFor([&] { return c->Stats().pending == 1; }));
    std::this_thread::sleep_for(100ms);
    for (uint8_t round = 0; round < 3; ++round)
        for (uint8_t lamp = 1; lamp <= 6; ++lamp) {
            const uint8_t r[5] = {2, lamp, round, lamp, round};
            c->QueueOutputReport(r, 5);
        }
    EXPECT_EQ(c->Stats().pending, 7u);
    Bed::Unstall(anp);
    ASSERT_TRUE(Bed::WaitOutputs(anp, 7));
    std::this_thread::sleep_for(100ms);
    std::vector<RemoteSent> out = Bed::Outputs(anp);
    ASSERT_EQ(out.size(), 7u);
    for (uint8_t lamp = 1; lamp <= 6; ++lamp)
        EXPECT_EQ(out[lamp].bytes, (std::vector<uint8_t>{2, lamp, 2, lamp, 2}));
}

TEST_F(WinTransport, FailedSendsAreRetriedInOrderAfterReopening) {
    const int pbx = Bed::Plug(2);
    Start(1);
    qddev::WinHidConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    Bed::FailSends(pbx, true);
    const uint8_t a[2] = {2, 0x01}, b[2] = {3, 0x03};
    c->QueueFeatureReport(a, 2);
    c->QueueFeatureReport(b, 2);
    ASSERT_TRUE(WaitFor([&] { return c->Stats().send_failures >= 2; }, kArrival));
    Bed::FailSends(pbx, false);
    ASSERT_TRUE(Bed::WaitOutputs(pbx, 2));
    EXPECT_EQ(Bed::Outputs(pbx), (std::vector<RemoteSent>{{true, {2, 1}}, {true, {3, 3}}}));
}

TEST_F(WinTransport, UnplugWithReportsQueuedNeitherSpinsNorHangs) {
    const int rsx = Bed::Plug(5);
    Start(1);
    qddev::WinHidConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    RecordingInput in;
    c->StartInput(&in);
    Bed::FailSends(rsx, true);
    const uint8_t r[2] = {7, 1};
    for (uint8_t id : {3, 5, 7}) {
        const uint8_t q[2] = {id, 1};
        c->QueueFeatureReport(q, 2);
    }
    Bed::Unplug(rsx);
    ASSERT_TRUE(WaitFor([&] { return hotplug.removals() == 1; }, kArrival));
    ASSERT_TRUE(WaitFor([&] { return c->Gone(); }, kArrival));
    // Reads fail at once after an unplug: the reader stops, sends back off.
    const uint64_t reads = c->ReadCalls();
    const uint64_t tries = c->Stats().send_failures + c->Stats().open_failures;
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(c->ReadCalls(), reads);
    EXPECT_LE(c->Stats().send_failures + c->Stats().open_failures - tries, 8u);
    EXPECT_EQ(c->Stats().pending, 3u);
    EXPECT_EQ(c->QueueFeatureReport(r, 2), 3u); // the unit is gone

    const auto t0 = std::chrono::steady_clock::now();
    c->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 900ms);
    EXPECT_EQ(c->Stats().dropped, 3u);
    EXPECT_EQ(c->Stats().pending, 0u);
    EXPECT_EQ(c->Stats().sent, 0u);
}

TEST_F(WinTransport, StopWaitsForARunningReportReceivedAndDeliversNothingAfter) {
    const int pbx = Bed::Plug(2);
    Start(1);
    qddev::WinHidConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    RecordingInput in;
    in.hold = true;
    c->StartInput(&in);
    Bed::Press(pbx, 1);
    ASSERT_TRUE(WaitFor([&] { return in.count() == 1; }, kArrival));
    Bed::Press(pbx, 2); // waits behind the running callback

    auto stopped = std::async(std::launch::async, [&] { c->Stop(); });
    EXPECT_EQ(stopped.wait_for(100ms), std::future_status::timeout);
    in.release();
    EXPECT_EQ(stopped.wait_for(2000ms), std::future_status::ready);
    {
        std::lock_guard<std::mutex> lock(in.mu);
        EXPECT_FALSE(in.in_callback);
    }
    const size_t seen = in.count();
    Bed::Press(pbx, 3);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(in.count(), seen);
    EXPECT_EQ(c->QueueFeatureReport(std::vector<uint8_t>{2, 1}.data(), 2), 3u);
    EXPECT_EQ(c->GetFeatureReport(std::vector<uint8_t>{4, 0}.data(), 2), -1);
}

TEST_F(WinTransport, StopReturnsWhileTheUnitHoldsASend) {
    const int rsx = Bed::Plug(5);
    Start(1);
    qddev::WinHidConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    Bed::Stall(rsx);
    const uint8_t r[2] = {6, 3}, r2[2] = {7, 1};
    c->QueueFeatureReport(r, 2);
    c->QueueFeatureReport(r2, 2);
    std::this_thread::sleep_for(100ms); // the writer is inside the send now
    const auto t0 = std::chrono::steady_clock::now();
    c->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms);
    // The abandoned writer finishes its send on its own; the unit held it, so the report
    // behind it is dropped rather than held as long again.
    Bed::Unstall(rsx);
    EXPECT_TRUE(Bed::WaitOutputs(rsx, 1));
    ASSERT_TRUE(WaitFor([&] { return c->Stats().sent == 1 && c->Stats().dropped == 1; }, kArrival));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Bed::Outputs(rsx), (std::vector<RemoteSent>{{true, {6, 3}}}));
}

// Last: with this many units wine does not always take them all away again.
TEST_F(WinTransport, EveryModelPresentsItsReportsAndState) {
    for (int type : SupportedTypes())
        Bed::Plug(type);
    Start(SupportedTypes().size());
    ASSERT_EQ(hotplug.arrivals(), SupportedTypes().size());
    for (auto& conn : hotplug.arrived) {
        const qddev::HidInfo& info = conn->Info();
        const ModelLayout& m = *LayoutOf(info.product_id - 0x0100);
        SCOPED_TRACE(m.name);
        EXPECT_EQ(info.input_report_len, m.input_len);
        EXPECT_EQ(info.output_report_len, m.output_len);
        if (m.state_id) {
            uint8_t state[16] = {m.state_id};
            EXPECT_EQ(conn->GetFeatureReport(state, m.state_len), m.state_len);
            EXPECT_EQ(state[0], m.state_id);
        }
    }
}

} // namespace
} // namespace qdtest
