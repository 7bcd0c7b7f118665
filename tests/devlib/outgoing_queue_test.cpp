// The shared outgoing queue over a scripted write handle: what every platform's transport gets.
#include "outgoing_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// Records what is sent; sends block while held (a unit that does not answer).
struct Wire {
    std::mutex mu;
    std::condition_variable cv;
    std::vector<Bytes> sent;
    bool held = false;
    int in_send = 0;

    void Hold() {
        std::lock_guard<std::mutex> lock(mu);
        held = true;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mu);
            held = false;
        }
        cv.notify_all();
    }
    bool WaitInSend() {
        std::unique_lock<std::mutex> lock(mu);
        return cv.wait_for(lock, 2s, [&] { return in_send > 0; });
    }
    std::vector<Bytes> Sent() {
        std::lock_guard<std::mutex> lock(mu);
        return sent;
    }
};

class ScriptedWriter final : public qddev::ReportWriter {
  public:
    explicit ScriptedWriter(std::shared_ptr<Wire> wire) : wire_(std::move(wire)) {}
    bool Open() override { return true; }
    bool Send(const uint8_t* data, size_t len, bool) override {
        std::unique_lock<std::mutex> lock(wire_->mu);
        ++wire_->in_send;
        wire_->cv.notify_all();
        wire_->cv.wait(lock, [&] { return !wire_->held; });
        --wire_->in_send;
        wire_->sent.emplace_back(data, data + len);
        return true;
    }
    void Close() override {}

  private:
    std::shared_ptr<Wire> wire_; // the writer may outlive the test's queue
};

struct QueueTest : ::testing::Test {
    std::shared_ptr<Wire> wire = std::make_shared<Wire>();
    qddev::OutgoingQueue queue{std::make_unique<ScriptedWriter>(wire)};

    void Offer(Bytes r, bool feature = true) { queue.Offer(r.data(), r.size(), feature); }
    // Holds the wire with report {id} in flight.
    void Stall(uint8_t id) {
        wire->Hold();
        Offer({id, 0});
        ASSERT_TRUE(wire->WaitInSend());
    }
    bool WaitSent(size_t n) {
        const auto end = std::chrono::steady_clock::now() + 2s;
        while (wire->Sent().size() < n)
            if (std::chrono::steady_clock::now() > end)
                return false;
            else
                std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(10ms); // nothing more may follow
        return true;
    }
};

TEST_F(QueueTest, AfterAStallTheLatestOfEachStateIsSentInTheOrderFirstQueued) {
    Stall(9);
    for (uint8_t k = 0; k < 200; ++k) {
        Offer({3, k});
        Offer({5, static_cast<uint8_t>(k + 1)});
    }
    Offer({9, 7});           // same state as the one in flight: queued behind it, not replacing it
    Offer({3, 0xee}, false); // an output report is another state than the feature report 3
    wire->Release();
    ASSERT_TRUE(WaitSent(5));
    EXPECT_EQ(wire->Sent(), (std::vector<Bytes>{{9, 0}, {3, 199}, {5, 200}, {9, 7}, {3, 0xee}}));
    EXPECT_EQ(queue.Stats().replaced, 398u);
    EXPECT_EQ(queue.Stats().discarded, 0u);
}

TEST_F(QueueTest, ASelectorKeepsItemsApartAndOnlyTheSameItemIsReplaced) {
    queue.SetReplaceRule(qddev::ReplaceRule{0, 1});
    Stall(7);
    for (uint8_t colour = 0; colour < 3; ++colour)
        for (uint8_t lamp = 1; lamp <= 6; ++lamp)
            Offer({2, lamp, colour}, false);
    wire->Release();
    ASSERT_TRUE(WaitSent(7));
    const std::vector<Bytes> sent = wire->Sent();
    for (uint8_t lamp = 1; lamp <= 6; ++lamp)
        EXPECT_EQ(sent[lamp], (Bytes{2, lamp, 2}));
}

TEST_F(QueueTest, BeyondItsBoundTheQueueDiscardsNewStatesWithoutWaiting) {
    queue.SetLimit(3);
    Stall(1);
    const auto t0 = std::chrono::steady_clock::now();
    for (uint8_t id = 2; id < 10; ++id)
        Offer({id, 1});
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 50ms);
    EXPECT_EQ(queue.Stats().pending, 3u);
    EXPECT_EQ(queue.Stats().discarded, 6u);
    wire->Release();
    ASSERT_TRUE(WaitSent(3));
    EXPECT_EQ(wire->Sent(), (std::vector<Bytes>{{1, 0}, {2, 1}, {3, 1}}));
}

// Right after a send the writer polls and is not woken; later it sleeps and must be.
TEST_F(QueueTest, ReportsGoOutWhileTheWriterPollsAndOnceItSleepsAgain) {
    Offer({1, 1});
    ASSERT_TRUE(WaitSent(1));
    Offer({1, 2});
    ASSERT_TRUE(WaitSent(2));
    std::this_thread::sleep_for(qddev::OutgoingQueue::kLingerFor + 50ms);
    Offer({1, 3});
    ASSERT_TRUE(WaitSent(3));
    EXPECT_EQ(wire->Sent(), (std::vector<Bytes>{{1, 1}, {1, 2}, {1, 3}}));
    Offer({1, 4}); // polling again: a stop still ends it at once
    const auto t0 = std::chrono::steady_clock::now();
    queue.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, qddev::OutgoingQueue::kStopBudget + 20ms);
}

TEST_F(QueueTest, StopIsBoundedWhenTheUnitNeverAnswers) {
    Stall(1);
    for (uint8_t id = 2; id < 10; ++id)
        Offer({id, 1});
    const auto t0 = std::chrono::steady_clock::now();
    queue.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, qddev::OutgoingQueue::kStopBudget + 20ms);
    // The writer left behind finishes the send the unit held and drops the rest: a unit that
    // holds one send may hold the next as long.
    std::this_thread::sleep_for(qddev::OutgoingQueue::kSlowSend * 2);
    wire->Release();
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (queue.Stats().dropped != 8 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(queue.Stats().dropped, 8u);
    EXPECT_EQ(wire->Sent().size(), 1u);
}

TEST_F(QueueTest, StopAccountsForEveryPendingReport) {
    Stall(1);
    Offer({2, 1});
    Offer({3, 1});
    queue.RequestStop();
    wire->Release();
    queue.Stop();
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (queue.Stats().pending != 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms); // only on a machine too busy for the stop bound
    const qddev::WriterStats s = queue.Stats();
    EXPECT_EQ(s.pending, 0u);
    EXPECT_EQ(s.sent + s.dropped, 3u); // sent in the final pass unless it ran out of time
    EXPECT_EQ(wire->Sent().size(), s.sent);
}

} // namespace
