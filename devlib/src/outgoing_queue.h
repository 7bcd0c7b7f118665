// One unit's outgoing reports and the writer thread that sends them, shared by every platform's
// transport. The platform supplies only the unit's write handle (ReportWriter).
//
// Callers never wait: a report goes onto a bounded queue. A newer report that addresses the same
// state as one still queued (same kind, report ID and, where the model has one, selector byte)
// takes that one's place, so after a stall the unit ends showing the latest state. Stopping is
// two-phase so that many units can be stopped together within one short bound.
#pragma once

#include "hid_transport.h"
#include "hot_path.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

namespace qddev {

constexpr size_t kMaxReportLen = 256; // largest report a caller may queue or read

// What the writer has done, for diagnostics and tests.
struct WriterStats {
    uint64_t sent = 0;          // reports the unit accepted
    uint64_t send_failures = 0; // sends that failed (the report was kept)
    uint64_t open_failures = 0; // failed (re)opens of the handle
    uint64_t replaced = 0;      // queued reports overwritten by a newer one of the same state
    uint64_t discarded = 0;     // reports dropped because the queue was full
    uint64_t dropped = 0;       // reports dropped at stop
    size_t pending = 0;
    size_t highest = 0; // most reports ever pending at once
};

// A unit's write handle. Used only by the unit's writer thread, one call at a time; it may be
// left with a writer stuck in Send after the unit's connection is gone, so it must not refer to
// the connection.
class ReportWriter {
  public:
    virtual ~ReportWriter() = default;
    virtual bool Open() = 0;
    virtual bool Send(const uint8_t* data, size_t len, bool feature) = 0;
    virtual void Close() = 0;
};

class OutgoingQueue {
  public:
    // Starts the writer thread.
    explicit OutgoingQueue(std::unique_ptr<ReportWriter> writer);
    ~OutgoingQueue(); // Stop()
    OutgoingQueue(const OutgoingQueue&) = delete;
    OutgoingQueue& operator=(const OutgoingQueue&) = delete;

    // Never waits for the unit. len is 1..kMaxReportLen (the caller checks).
    void Offer(const uint8_t* data, size_t len, bool feature);
    void SetLimit(size_t max_pending);
    void SetReplaceRule(const ReplaceRule& rule);
    WriterStats Stats() const;

    // Tells the writer to finish: pending reports get their attempt while the unit answers (no
    // failed or held send) and until kFinalPassLimit, the rest are dropped. Returns at once.
    void RequestStop();
    // RequestStop, then waits for the writer until kStopBudget after the first RequestStop. A
    // writer still busy then (inside a send the unit holds, or still sending) is left to finish
    // on its own; the process joins it at exit.
    void Stop();

    static constexpr auto kStopBudget = std::chrono::milliseconds(8);
    // A send that takes longer means a unit that holds its sends.
    static constexpr auto kSlowSend = std::chrono::milliseconds(20);
    static constexpr auto kFinalPassLimit = std::chrono::milliseconds(100);
    // For kLingerFor after a send the writer looks for the next report every kLingerPoll rather
    // than sleeping until woken: a knob turning sends a report every frame or so, and waking a
    // sleeping thread is a system call that costs the caller (the simulator's thread) more than
    // all the rest of such a frame.
    static constexpr auto kLingerFor = std::chrono::milliseconds(1000);
    static constexpr auto kLingerPoll = std::chrono::milliseconds(2);

    struct State; // the queue itself, kept alive by a writer left behind

  private:
    std::shared_ptr<State> state_; // shared with the writer thread
    std::thread thread_;
    bool stopped_ = false;
};

// What every platform's connection shares: the unit's identity and its outgoing queue. The
// platform class fills info_, creates out_ when the unit is open, and sets the flags.
class QueuedConnection : public HidConnection {
  public:
    const HidInfo& Info() const override { return info_; }
    QDDEV_HOT uint32_t QueueFeatureReport(const uint8_t* data, size_t len) override {
        return Queue(data, len, true);
    }
    QDDEV_HOT uint32_t QueueOutputReport(const uint8_t* data, size_t len) override {
        return Queue(data, len, false);
    }
    void SetQueueLimit(size_t max_pending) override {
        if (out_) out_->SetLimit(max_pending);
    }
    void SetReplaceRule(const ReplaceRule& rule) override {
        if (out_) out_->SetReplaceRule(rule);
    }
    WriterStats Stats() const { return out_ ? out_->Stats() : WriterStats{}; }
    // True once the unit is known to be gone (reads fail).
    bool Gone() const { return gone_.load(); }

  protected:
    // 0, or 3 when the connection is stopping, the unit gone or the report unusable.
    uint32_t Queue(const uint8_t* data, size_t len, bool feature) {
        if (stopping_.load() || gone_.load()) return 3;
        if (!data || len == 0 || len > kMaxReportLen || !out_) return 3;
        out_->Offer(data, len, feature);
        return 0;
    }

    HidInfo info_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> gone_{false};
    std::unique_ptr<OutgoingQueue> out_;
};

} // namespace qddev
