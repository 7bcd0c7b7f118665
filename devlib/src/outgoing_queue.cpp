#include "outgoing_queue.h"
#include "hot_path.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace qddev {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kDefaultQueueLimit = 25;
constexpr auto kFirstRetryDelay = std::chrono::milliseconds(20);
constexpr auto kMaxRetryDelay = std::chrono::milliseconds(1000);

} // namespace

struct OutgoingQueue::State {
    struct Slot {
        uint16_t len = 0;
        bool feature = false;
        uint8_t bytes[kMaxReportLen];
    };

    explicit State(std::unique_ptr<ReportWriter> w) : writer(std::move(w)) {
        ring.resize(kDefaultQueueLimit);
    }

    // True when a report of this kind and these bytes addresses the same state as the slot.
    bool SameState(const Slot& s, const uint8_t* data, size_t len, bool is_feature) const {
        if (s.feature != is_feature || s.len != len || s.bytes[0] != data[0]) return false;
        const uint8_t sel = is_feature ? rule.feature_selector : rule.output_selector;
        return sel == 0 || (sel < len && s.bytes[sel] == data[sel]);
    }

    void PopHead() {
        head = (head + 1) % ring.size();
        --count;
    }

    void Pause(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds& delay) {
        cv.wait_for(lock, delay, [&] { return stop; });
        delay = std::min(delay * 2, kMaxRetryDelay);
    }

    bool Finished() {
        std::lock_guard<std::mutex> lock(mu);
        return finished;
    }
    bool WaitFinished(Clock::time_point until) {
        std::unique_lock<std::mutex> lock(mu);
        return done_cv.wait_until(lock, until, [&] { return finished; });
    }

    void Run();

    const std::unique_ptr<ReportWriter> writer; // writer thread only
    mutable std::mutex mu;
    std::condition_variable cv;
    std::condition_variable done_cv;
    std::vector<Slot> ring;
    size_t head = 0;
    size_t count = 0;
    size_t limit = kDefaultQueueLimit;
    bool in_flight = false; // the head is being sent: it must not change under the writer
    bool lingering = false; // the writer polls: Offer need not wake it
    ReplaceRule rule;
    bool stop = false;
    Clock::time_point stop_at;
    bool finished = false;
    WriterStats stats;
};

void OutgoingQueue::State::Run() {
    bool open = false;
    bool answering = true; // the last send came back in good time
    auto delay = kFirstRetryDelay;
    Clock::time_point linger_until{};
    Slot slot;
    std::unique_lock<std::mutex> lock(mu);
    while (!stop) {
        if (count == 0) {
            lingering = Clock::now() < linger_until;
            if (lingering)
                cv.wait_for(lock, OutgoingQueue::kLingerPoll, [&] { return stop || count > 0; });
            else
                cv.wait(lock, [&] { return stop || count > 0; });
            continue;
        }
        if (!open) {
            lock.unlock();
            open = writer->Open();
            lock.lock();
            if (!open) {
                ++stats.open_failures;
                Pause(lock, delay);
                continue;
            }
        }
        slot = ring[head];
        in_flight = true;
        lock.unlock();
        const auto t0 = Clock::now();
        const bool ok = writer->Send(slot.bytes, slot.len, slot.feature);
        answering = Clock::now() - t0 <= kSlowSend;
        lock.lock();
        in_flight = false;
        if (ok) {
            PopHead();
            ++stats.sent;
            delay = kFirstRetryDelay;
            linger_until = Clock::now() + OutgoingQueue::kLingerFor;
        } else {
            // Keep the report at the head and reopen before trying it again; paced so that a
            // unit that went away does not cost a spinning core.
            ++stats.send_failures;
            writer->Close();
            open = false;
            Pause(lock, delay);
        }
    }
    // Last pass: pending reports get their attempt while the unit answers. A failed send, or one
    // the unit held (it may hold the next one as long), ends it, and so does the deadline; the
    // rest are dropped. A unit that answers gets its queue, which replacement keeps short, out.
    const Clock::time_point deadline = stop_at + kFinalPassLimit;
    while (count > 0) {
        if (!answering || Clock::now() >= deadline) {
            stats.dropped += count;
            count = 0;
            break;
        }
        slot = ring[head];
        PopHead();
        lock.unlock();
        if (!open) open = writer->Open();
        const auto t0 = Clock::now();
        const bool ok = open && writer->Send(slot.bytes, slot.len, slot.feature);
        answering = ok && Clock::now() - t0 <= kSlowSend;
        lock.lock();
        ++(ok ? stats.sent : stats.dropped);
    }
    if (open) writer->Close();
    finished = true;
    done_cv.notify_all();
}

namespace {

// Writers that were still inside a send when their unit was stopped. Their code lives in this
// library, and the library may be unloaded soon after QDDev_Terminate (the plug-in is unloaded):
// so they are kept here and joined when the library's static objects go, at unload or exit. A
// stalled USB transfer fails within the kernel's 5 s control timeout, so the wait is bounded.
constexpr auto kUnloadWait = std::chrono::milliseconds(6000);

class LeftBehindWriters {
  public:
    using State = OutgoingQueue::State;
    ~LeftBehindWriters() {
        const auto deadline = Clock::now() + kUnloadWait;
        std::lock_guard<std::mutex> lock(mu_);
        for (Entry& e : entries_) {
            if (e.state->WaitFinished(deadline))
                e.thread.join();
            else
                e.thread.detach(); // stuck beyond any transfer timeout: nothing else to do
        }
    }
    void Add(std::shared_ptr<State> state, std::thread thread) {
        std::lock_guard<std::mutex> lock(mu_);
        // Forget the ones that have finished meanwhile.
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->state->Finished()) {
                it->thread.join();
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
        entries_.push_back(Entry{std::move(state), std::move(thread)});
    }

  private:
    struct Entry {
        std::shared_ptr<State> state;
        std::thread thread;
    };
    std::mutex mu_;
    std::vector<Entry> entries_;
};

LeftBehindWriters& LeftBehind() {
    static LeftBehindWriters writers;
    return writers;
}

} // namespace

OutgoingQueue::OutgoingQueue(std::unique_ptr<ReportWriter> writer)
    : state_(std::make_shared<State>(std::move(writer))) {
    LeftBehind(); // constructed before any writer can need it, so destroyed after them
    std::shared_ptr<State> s = state_;
    thread_ = std::thread([s] { s->Run(); });
}

OutgoingQueue::~OutgoingQueue() {
    Stop();
}

QDDEV_HOT void OutgoingQueue::Offer(const uint8_t* data, size_t len, bool feature) {
    State& s = *state_;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        // A newer report of the same state takes the older one's place (and so its turn).
        for (size_t k = s.in_flight ? 1 : 0; k < s.count; ++k) {
            State::Slot& q = s.ring[(s.head + k) % s.ring.size()];
            if (s.SameState(q, data, len, feature)) {
                std::memcpy(q.bytes, data, len);
                ++s.stats.replaced;
                return;
            }
        }
        if (s.count >= s.limit) {
            ++s.stats.discarded;
            return;
        }
        State::Slot& q = s.ring[(s.head + s.count) % s.ring.size()];
        q.len = static_cast<uint16_t>(len);
        q.feature = feature;
        std::memcpy(q.bytes, data, len);
        ++s.count;
        if (s.count > s.stats.highest) s.stats.highest = s.count;
        if (s.lingering) return; // the writer finds it within kLingerPoll
    }
    s.cv.notify_one();
}

void OutgoingQueue::SetLimit(size_t max_pending) {
    State& s = *state_;
    if (max_pending == 0) max_pending = 1;
    std::lock_guard<std::mutex> lock(s.mu);
    if (max_pending > s.ring.size()) {
        // Grow in order, head first; the writer only ever takes the head, and an in-flight head
        // stays the head.
        std::vector<State::Slot> grown(max_pending);
        for (size_t k = 0; k < s.count; ++k)
            grown[k] = s.ring[(s.head + k) % s.ring.size()];
        s.ring.swap(grown);
        s.head = 0;
    }
    s.limit = max_pending;
}

void OutgoingQueue::SetReplaceRule(const ReplaceRule& rule) {
    std::lock_guard<std::mutex> lock(state_->mu);
    state_->rule = rule;
}

WriterStats OutgoingQueue::Stats() const {
    std::lock_guard<std::mutex> lock(state_->mu);
    WriterStats s = state_->stats;
    s.pending = state_->count;
    return s;
}

void OutgoingQueue::RequestStop() {
    State& s = *state_;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        if (s.stop) return;
        s.stop = true;
        s.stop_at = Clock::now();
    }
    s.cv.notify_all();
}

void OutgoingQueue::Stop() {
    if (stopped_) return;
    stopped_ = true;
    RequestStop();
    Clock::time_point until;
    {
        std::lock_guard<std::mutex> lock(state_->mu);
        until = state_->stop_at + kStopBudget;
    }
    // A unit that never answers a send must not hold up the caller: the writer then finishes
    // (and drops its reports) on its own.
    if (state_->WaitFinished(until))
        thread_.join();
    else
        LeftBehind().Add(state_, std::move(thread_));
}

} // namespace qddev
