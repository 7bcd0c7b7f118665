// The hidraw transport through the platform seam, against emulated units.
#include "helpers.h"

#include <future>

namespace qdtest {
namespace {

class Transport : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Testbed::Available()) GTEST_SKIP() << "needs umockdev-wrapper";
        tb = std::make_unique<Testbed>();
    }
    void TearDown() override {
        if (platform) platform->Stop();
        hotplug.arrived.clear(); // stops every connection before the units go
        platform.reset();
        tb.reset();
    }
    void Start(std::chrono::milliseconds wakeup = 5000ms) {
        platform = std::make_unique<qddev::HidrawPlatform>();
        platform->SetWakeupInterval(wakeup);
        ASSERT_TRUE(platform->Start(&hotplug));
    }

    std::unique_ptr<Testbed> tb;
    RecordingHotplug hotplug;
    std::unique_ptr<qddev::HidrawPlatform> platform;
};

TEST_F(Transport, EnumeratesOnlyTheVendorsUnitsWithTheirIdentity) {
    Unit& rsx = tb->plug(5, {.version = 0x0123, .serial = "RSX-1"});
    tb->plug_foreign(0x046D, 0xC52B);
    Unit& iob = tb->plug(19);
    Start();
    // Present units are delivered before Start returns.
    ASSERT_EQ(hotplug.arrivals(), 2u);
    const qddev::HidInfo& a = hotplug.arrived[0]->Info();
    const qddev::HidInfo& b = hotplug.arrived[1]->Info();
    const qddev::HidInfo& r = a.product_id == 0x0105 ? a : b;
    const qddev::HidInfo& i = a.product_id == 0x0105 ? b : a;
    EXPECT_EQ(r.vendor_id, 0x3A5C);
    EXPECT_EQ(r.version, 0x0123);
    EXPECT_STREQ(r.serial, "RSX-1");
    EXPECT_STREQ(r.product, "QD-RSX");
    EXPECT_EQ(std::string(r.path), rsx.usb_syspath());
    EXPECT_EQ(r.input_report_len, 4);
    EXPECT_EQ(r.feature_report_len, 7);
    EXPECT_EQ(r.output_report_len, 0);
    EXPECT_EQ(i.product_id, 0x0113);
    EXPECT_EQ(i.output_report_len, 10);
    EXPECT_EQ(i.feature_report_len, 8);
    EXPECT_EQ(std::string(i.path), iob.usb_syspath());
    EXPECT_NE(r.location, 0);
    EXPECT_NE(r.location, i.location);
}

TEST_F(Transport, EveryModelPresentsItsReportsAndState) {
    for (int type : SupportedTypes())
        tb->plug(type);
    Start();
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
        }
    }
}

TEST_F(Transport, HotplugArrivalAndRemovalCarryTheSameLocation) {
    Start();
    EXPECT_EQ(hotplug.arrivals(), 0u);
    Unit& pbx = tb->plug(2);
    qddev::HidrawConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Info().product_id, 0x0102);
    const int32_t loc = c->Info().location;

    pbx.unplug();
    ASSERT_TRUE(WaitFor([&] { return hotplug.removals() == 1; }));
    EXPECT_EQ(hotplug.removed[0], loc);

    // A replugged unit arrives again under its new node.
    pbx.replug();
    qddev::HidrawConnection* again = hotplug.conn(1);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->DevNode(), pbx.devnode());
    EXPECT_EQ(hotplug.arrivals(), 2u);
}

TEST_F(Transport, WakeupTimerTicksUntilStop) {
    Start(20ms);
    EXPECT_TRUE(WaitFor([&] { return hotplug.wakeups >= 3; }, 1000ms));
    platform->Stop();
    const int after = hotplug.wakeups;
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(hotplug.wakeups, after);
}

TEST_F(Transport, InputArrivesInOrderOneReportPerRead) {
    Unit& rsx = tb->plug(5);
    Start();
    qddev::HidrawConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    RecordingInput in;
    c->StartInput(&in);
    for (int k = 1; k <= 30; ++k)
        rsx.turn(1 + k % 2, k % 2 ? k : -k);
    rsx.press(3);
    ASSERT_TRUE(WaitFor([&] { return in.count() == 31; }));
    std::this_thread::sleep_for(20ms);
    std::lock_guard<std::mutex> lock(in.mu);
    ASSERT_EQ(in.reports.size(), 31u);
    for (int k = 1; k <= 30; ++k) {
        const std::vector<uint8_t>& r = in.reports[static_cast<size_t>(k - 1)];
        ASSERT_EQ(r.size(), 4u) << "report " << k;
        EXPECT_EQ(r[0], 1);
        EXPECT_EQ(static_cast<int8_t>(r[k % 2 ? 2 : 1]), k % 2 ? k : -k) << "report " << k;
    }
    EXPECT_EQ(in.reports[30], (std::vector<uint8_t>{1, 0, 0, 0x04}));
}

TEST_F(Transport, InputWithoutReportIdsGetsByteZeroAdded) {
    PlugOptions opt;
    opt.no_report_ids = true;
    Unit& thq = tb->plug(9, opt);
    Start();
    qddev::HidrawConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    EXPECT_FALSE(c->Caps().uses_ids);
    EXPECT_EQ(c->Info().input_report_len, 8);
    RecordingInput in;
    c->StartInput(&in);
    thq.lever(6, 0xAB);
    ASSERT_TRUE(WaitFor([&] { return in.count() == 1; }));
    std::lock_guard<std::mutex> lock(in.mu);
    EXPECT_EQ(in.reports[0], (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xAB, 0}));
}

TEST_F(Transport, FeatureReportsAndOutputWritesReachTheUnitByteForByte) {
    Unit& rsx = tb->plug(5);
    Unit& anp = tb->plug(18);
    Start();
    ASSERT_NE(hotplug.conn(1), nullptr);
    qddev::HidConnection* crsx =
        hotplug.arrived[0]->Info().product_id == 0x0105 ? hotplug.arrived[0].get() : hotplug.arrived[1].get();
    qddev::HidConnection* canp =
        crsx == hotplug.arrived[0].get() ? hotplug.arrived[1].get() : hotplug.arrived[0].get();
    const uint8_t left[7] = {3, 0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d};
    const uint8_t bright[2] = {6, 9};
    EXPECT_EQ(crsx->QueueFeatureReport(left, sizeof left), 0u);
    EXPECT_EQ(crsx->QueueFeatureReport(bright, sizeof bright), 0u);
    const uint8_t lamp[5] = {2, 6, 100, 100, 1};
    EXPECT_EQ(canp->QueueOutputReport(lamp, sizeof lamp), 0u);
    ASSERT_TRUE(rsx.wait_outputs(2));
    ASSERT_TRUE(anp.wait_outputs(1));
    EXPECT_EQ(rsx.outputs(), (std::vector<Sent>{{Sent::Feature, {left, left + 7}}, {Sent::Feature, {6, 9}}}));
    EXPECT_EQ(anp.outputs(), (std::vector<Sent>{{Sent::Output, {2, 6, 100, 100, 1}}}));

    // Feature reads: the state report mirrors the controls; a stored report reads back.
    rsx.press(2);
    uint8_t state[4] = {8};
    EXPECT_EQ(crsx->GetFeatureReport(state, sizeof state), 4);
    EXPECT_EQ(state[3], 0x02);
    uint8_t b[2] = {6};
    EXPECT_EQ(crsx->GetFeatureReport(b, sizeof b), 2);
    EXPECT_EQ(b[1], 9);
    uint8_t unknown[4] = {0x42};
    EXPECT_EQ(crsx->GetFeatureReport(unknown, sizeof unknown), -1);
    EXPECT_EQ(crsx->GetFeatureReport(nullptr, 4), -1);
}

TEST_F(Transport, QueueReplacesReportsOfTheSameStateAndDiscardsBeyondItsBound) {
    Unit& rsx = tb->plug(5);
    Unit& anp = tb->plug(18);
    Start();
    qddev::HidrawConnection* crsx = hotplug.conn(0);
    qddev::HidrawConnection* canp = hotplug.conn(1);
    ASSERT_NE(canp, nullptr);
    if (crsx->Info().product_id != 0x0105) std::swap(crsx, canp);

    crsx->SetQueueLimit(4);
    rsx.stall();
    const auto t0 = std::chrono::steady_clock::now();
    const uint8_t held[7] = {3, 0x11};
    EXPECT_EQ(crsx->QueueFeatureReport(held, 7), 0u);
    ASSERT_TRUE(WaitFor([&] { return crsx->Stats().pending == 1; }));
    std::this_thread::sleep_for(30ms); // the writer is inside the send of `held` now
    // The report in flight is never replaced: the next one of its state queues behind it.
    const uint8_t r1[7] = {3, 0x12}, r2[7] = {5, 0x21}, r3[2] = {6, 4}, r4[2] = {7, 1}, r5[7] = {5, 0x22};
    for (const uint8_t* r : {r1, r2})
        EXPECT_EQ(crsx->QueueFeatureReport(r, 7), 0u);
    EXPECT_EQ(crsx->QueueFeatureReport(r3, 2), 0u);          // the queue is full now
    EXPECT_EQ(crsx->QueueFeatureReport(r4, 2), 0u);          // a state not queued yet: discarded
    EXPECT_EQ(crsx->QueueFeatureReport(r5, 7), 0u);          // replaces r2 in its place
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms); // a blocking call would hang here
    EXPECT_EQ(crsx->Stats().discarded, 1u);
    EXPECT_EQ(crsx->Stats().replaced, 1u);
    rsx.unstall();
    ASSERT_TRUE(rsx.wait_outputs(4));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(rsx.outputs(), (std::vector<Sent>{{Sent::Feature, {3, 0x11, 0, 0, 0, 0, 0}},
                                                {Sent::Feature, {3, 0x12, 0, 0, 0, 0, 0}},
                                                {Sent::Feature, {5, 0x22, 0, 0, 0, 0, 0}},
                                                {Sent::Feature, {6, 4}}}));

    // The annunciator's colour report addresses one lamp: only the same lamp's report is replaced.
    canp->SetReplaceRule(qddev::ReplaceRule{0, 1});
    anp.stall();
    const uint8_t first[5] = {2, 1, 1, 1, 1};
    canp->QueueOutputReport(first, 5);
    std::this_thread::sleep_for(30ms);
    for (uint8_t round = 0; round < 3; ++round)
        for (uint8_t lamp = 1; lamp <= 6; ++lamp) {
            const uint8_t r[5] = {2, lamp, round, lamp, round};
            canp->QueueOutputReport(r, 5);
        }
    EXPECT_EQ(canp->Stats().pending, 7u);
    anp.unstall();
    ASSERT_TRUE(anp.wait_outputs(7));
    std::this_thread::sleep_for(30ms);
    std::vector<Sent> out = anp.outputs();
    ASSERT_EQ(out.size(), 7u);
    for (uint8_t lamp = 1; lamp <= 6; ++lamp)
        EXPECT_EQ(out[lamp].bytes, (std::vector<uint8_t>{2, lamp, 2, lamp, 2}));
}

TEST_F(Transport, FailedSendsAreRetriedInOrderAfterReopening) {
    Unit& pbx = tb->plug(2);
    Start();
    qddev::HidrawConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    pbx.fail_sends(true);
    const uint8_t a[2] = {2, 0x01}, b[2] = {3, 0x03};
    c->QueueFeatureReport(a, 2);
    c->QueueFeatureReport(b, 2);
    ASSERT_TRUE(WaitFor([&] { return c->Stats().send_failures >= 2; }));
    pbx.fail_sends(false);
    ASSERT_TRUE(pbx.wait_outputs(2));
    EXPECT_EQ(pbx.outputs(), (std::vector<Sent>{{Sent::Feature, {2, 1}}, {Sent::Feature, {3, 3}}}));
}

TEST_F(Transport, UnplugWithReportsQueuedNeitherSpinsNorHangs) {
    Unit& rsx = tb->plug(5);
    Start();
    qddev::HidrawConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    RecordingInput in;
    c->StartInput(&in);
    rsx.fail_sends(true);
    const uint8_t r[2] = {7, 1};
    for (uint8_t id : {3, 5, 7}) {
        const uint8_t q[2] = {id, 1};
        c->QueueFeatureReport(q, 2);
    }
    rsx.unplug();
    ASSERT_TRUE(WaitFor([&] { return hotplug.removals() == 1; }));
    ASSERT_TRUE(WaitFor([&] { return c->Gone(); }));
    // The node keeps failing: reads stop at once, sends back off.
    const uint64_t reads = c->ReadCalls();
    const uint64_t tries = c->Stats().send_failures + c->Stats().open_failures;
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(c->ReadCalls(), reads);
    EXPECT_LE(c->Stats().send_failures + c->Stats().open_failures - tries, 8u);
    EXPECT_EQ(c->Stats().pending, 3u);
    EXPECT_EQ(c->QueueFeatureReport(r, 2), 3u); // the unit is gone

    const auto t0 = std::chrono::steady_clock::now();
    c->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 900ms); // no waiting for the writer's limit
    EXPECT_EQ(c->Stats().dropped, 3u);
    EXPECT_EQ(c->Stats().pending, 0u);
    EXPECT_EQ(c->Stats().sent, 0u);
}

TEST_F(Transport, StopWaitsForARunningReportReceivedAndDeliversNothingAfter) {
    Unit& pbx = tb->plug(2);
    Start();
    qddev::HidrawConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    RecordingInput in;
    in.hold = true;
    c->StartInput(&in);
    pbx.press(1);
    ASSERT_TRUE(WaitFor([&] { return in.count() == 1; }));
    pbx.press(2); // waits behind the running callback

    auto stopped = std::async(std::launch::async, [&] { c->Stop(); });
    EXPECT_EQ(stopped.wait_for(100ms), std::future_status::timeout);
    in.release();
    EXPECT_EQ(stopped.wait_for(2000ms), std::future_status::ready);
    {
        std::lock_guard<std::mutex> lock(in.mu);
        EXPECT_FALSE(in.in_callback);
    }
    const size_t seen = in.count();
    pbx.press(3);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(in.count(), seen);
    EXPECT_EQ(c->QueueFeatureReport(std::vector<uint8_t>{2, 1}.data(), 2), 3u);
    EXPECT_EQ(c->GetFeatureReport(std::vector<uint8_t>{4, 0}.data(), 2), -1);
}

TEST_F(Transport, StopReturnsWhileTheUnitHoldsASend) {
    Unit& rsx = tb->plug(5);
    Start();
    qddev::HidrawConnection* c = hotplug.conn(0);
    ASSERT_NE(c, nullptr);
    rsx.stall();
    const uint8_t r[2] = {6, 3}, r2[2] = {7, 1};
    c->QueueFeatureReport(r, 2);
    c->QueueFeatureReport(r2, 2);
    std::this_thread::sleep_for(50ms); // the writer is inside the send now
    const auto t0 = std::chrono::steady_clock::now();
    c->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 100ms);
    // The abandoned writer finishes its send on its own; the unit held it, so the report
    // behind it is dropped rather than held as long again.
    rsx.unstall();
    EXPECT_TRUE(rsx.wait_outputs(1));
    ASSERT_TRUE(WaitFor([&] { return c->Stats().sent == 1 && c->Stats().dropped == 1; }));
}

} // namespace
} // namespace qdtest
