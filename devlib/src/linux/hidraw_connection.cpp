// One unit over its hidraw node: reader, bounded outgoing queue and writer.
#include "hidraw_transport.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qddev {

namespace {

constexpr size_t kDefaultQueueLimit = 25;
constexpr auto kFirstRetryDelay = std::chrono::milliseconds(20);
constexpr auto kMaxRetryDelay = std::chrono::milliseconds(1000);
// How long Stop waits for a writer stuck in a send the unit never answers.
constexpr auto kWriterStopWait = std::chrono::milliseconds(1000);

bool SendReport(int fd, const uint8_t* data, size_t len, bool feature) {
    if (feature) return ::ioctl(fd, HIDIOCSFEATURE(len), data) >= 0;
    ssize_t n;
    do {
        n = ::write(fd, data, len);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(len);
}

} // namespace

// The unit's outgoing reports and its writer. Shared between the connection and the
// writer thread, so a writer stuck inside a send can be left behind by Stop.
class OutgoingQueue {
  public:
    struct Slot {
        uint16_t len = 0;
        bool feature = false;
        uint8_t bytes[kMaxReportLen];
    };

    explicit OutgoingQueue(std::string devnode) : devnode_(std::move(devnode)) {
        ring_.resize(kDefaultQueueLimit);
    }

    // Never waits for the unit. A full queue discards the report.
    void Offer(const uint8_t* data, size_t len, bool feature) {
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (count_ >= limit_) {
                ++stats_.discarded;
                return;
            }
            Slot& s = ring_[(head_ + count_) % ring_.size()];
            s.len = static_cast<uint16_t>(len);
            s.feature = feature;
            std::memcpy(s.bytes, data, len);
            ++count_;
            if (count_ > stats_.highest) stats_.highest = count_;
        }
        cv_.notify_one();
    }

    void SetLimit(size_t limit) {
        if (limit == 0) limit = 1;
        std::lock_guard<std::mutex> lock(mu_);
        if (limit > ring_.size()) {
            // Grow in order, head first; the writer only ever pops the head.
            std::vector<Slot> grown(limit);
            for (size_t k = 0; k < count_; ++k)
                grown[k] = ring_[(head_ + k) % ring_.size()];
            ring_.swap(grown);
            head_ = 0;
        }
        limit_ = limit;
    }

    WriterStats Stats() const {
        std::lock_guard<std::mutex> lock(mu_);
        WriterStats s = stats_;
        s.pending = count_;
        return s;
    }

    void RequestStop() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            stop_ = true;
        }
        cv_.notify_all();
    }

    bool WaitFinished(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mu_);
        return done_cv_.wait_for(lock, timeout, [&] { return finished_; });
    }

    void Run() {
        int fd = -1;
        auto delay = kFirstRetryDelay;
        Slot slot;
        std::unique_lock<std::mutex> lock(mu_);
        while (!stop_) {
            if (count_ == 0) {
                cv_.wait(lock, [&] { return stop_ || count_ > 0; });
                continue;
            }
            lock.unlock();
            if (fd < 0) fd = ::open(devnode_.c_str(), O_RDWR | O_CLOEXEC);
            lock.lock();
            if (fd < 0) {
                ++stats_.open_failures;
                Pause(lock, delay);
                continue;
            }
            slot = ring_[head_];
            lock.unlock();
            const bool ok = SendReport(fd, slot.bytes, slot.len, slot.feature);
            lock.lock();
            if (ok) {
                PopHead();
                ++stats_.sent;
                delay = kFirstRetryDelay;
            } else {
                // Keep the report at the head and reopen before trying it again;
                // paced so that a unit that went away does not cost a spinning core.
                ++stats_.send_failures;
                ::close(fd);
                fd = -1;
                Pause(lock, delay);
            }
        }
        // Last pass: every pending report gets one attempt, failures are dropped.
        while (count_ > 0) {
            slot = ring_[head_];
            PopHead();
            lock.unlock();
            if (fd < 0) fd = ::open(devnode_.c_str(), O_RDWR | O_CLOEXEC);
            const bool ok = fd >= 0 && SendReport(fd, slot.bytes, slot.len, slot.feature);
            lock.lock();
            if (ok) {
                ++stats_.sent;
            } else {
                ++stats_.dropped;
                if (fd < 0) { // the unit is gone: nothing else will go through either
                    stats_.dropped += count_;
                    count_ = 0;
                }
            }
        }
        if (fd >= 0) ::close(fd);
        finished_ = true;
        done_cv_.notify_all();
    }

  private:
    void PopHead() {
        head_ = (head_ + 1) % ring_.size();
        --count_;
    }
    void Pause(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds& delay) {
        cv_.wait_for(lock, delay, [&] { return stop_; });
        delay = std::min(delay * 2, kMaxRetryDelay);
    }

    const std::string devnode_;
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::condition_variable done_cv_;
    std::vector<Slot> ring_;
    size_t head_ = 0;
    size_t count_ = 0;
    size_t limit_ = kDefaultQueueLimit;
    bool stop_ = false;
    bool finished_ = false;
    WriterStats stats_;
};

namespace {

// Writers that were still inside a send when their unit was stopped. Their code lives in
// this library, and the library may be unloaded soon after QDDev_Terminate (the plug-in
// is unloaded): so they are kept here and joined when the library's static objects go,
// at unload or exit. A stalled USB transfer fails within the kernel's 5 s control
// timeout, so the wait is bounded.
constexpr auto kUnloadWait = std::chrono::milliseconds(6000);

class LeftBehindWriters {
  public:
    ~LeftBehindWriters() {
        const auto deadline = std::chrono::steady_clock::now() + kUnloadWait;
        std::lock_guard<std::mutex> lock(mu_);
        for (Entry& e : entries_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (e.queue->WaitFinished(std::max(left, std::chrono::milliseconds(0))))
                e.thread.join();
            else
                e.thread.detach(); // stuck beyond any transfer timeout: nothing else to do
        }
    }
    void Add(std::shared_ptr<OutgoingQueue> queue, std::thread thread) {
        std::lock_guard<std::mutex> lock(mu_);
        // Forget the ones that have finished meanwhile.
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->queue->WaitFinished(std::chrono::milliseconds(0))) {
                it->thread.join();
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
        entries_.push_back(Entry{std::move(queue), std::move(thread)});
    }

  private:
    struct Entry {
        std::shared_ptr<OutgoingQueue> queue;
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

std::unique_ptr<HidrawConnection> HidrawConnection::Open(const char* devnode, const HidInfo& identity) {
    std::unique_ptr<HidrawConnection> c(new HidrawConnection());
    c->info_ = identity;
    c->devnode_ = devnode;
    c->fd_ = ::open(devnode, O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (c->fd_ < 0) return nullptr;

    int desc_size = 0;
    if (::ioctl(c->fd_, HIDIOCGRDESCSIZE, &desc_size) < 0 || desc_size <= 0 ||
        desc_size > HID_MAX_DESCRIPTOR_SIZE)
        return nullptr;
    hidraw_report_descriptor desc{};
    desc.size = static_cast<uint32_t>(desc_size);
    if (::ioctl(c->fd_, HIDIOCGRDESC, &desc) < 0) return nullptr;
    // A descriptor we cannot fully follow still gives usable lengths for what it declared.
    ParseReportDescriptor(desc.value, desc.size, &c->caps_);
    if (c->caps_.input_len == 0) return nullptr; // nothing to read from this interface

    hidraw_devinfo raw{};
    if (::ioctl(c->fd_, HIDIOCGRAWINFO, &raw) == 0) {
        c->info_.vendor_id = static_cast<uint16_t>(raw.vendor);
        c->info_.product_id = static_cast<uint16_t>(raw.product);
    }
    c->info_.input_report_len = c->caps_.input_len;
    c->info_.output_report_len = c->caps_.output_len;
    c->info_.feature_report_len = c->caps_.feature_len;

    c->wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (c->wake_fd_ < 0) return nullptr;
    // Room for the largest input report plus the ID byte we add when the unit sends none.
    c->inbuf_.assign(static_cast<size_t>(c->caps_.input_len) + 1, 0);

    c->out_ = std::make_shared<OutgoingQueue>(c->devnode_);
    std::shared_ptr<OutgoingQueue> out = c->out_;
    c->writer_ = std::thread([out] { out->Run(); });
    return c;
}

HidrawConnection::~HidrawConnection() {
    Stop();
    if (reader_.joinable()) reader_.detach(); // only when Stop ran on the reader itself
    if (writer_.joinable()) writer_.detach();
    if (fd_ >= 0) ::close(fd_);
    if (wake_fd_ >= 0) ::close(wake_fd_);
}

uint32_t HidrawConnection::Queue(const uint8_t* data, size_t len, bool feature) {
    if (stopping_.load() || gone_.load()) return 3;
    if (!data || len == 0 || len > kMaxReportLen) return 3;
    out_->Offer(data, len, feature);
    return 0;
}

uint32_t HidrawConnection::QueueFeatureReport(const uint8_t* data, size_t len) {
    return Queue(data, len, true);
}

uint32_t HidrawConnection::QueueOutputReport(const uint8_t* data, size_t len) {
    return Queue(data, len, false);
}

void HidrawConnection::SetQueueLimit(size_t max_pending) {
    if (out_) out_->SetLimit(max_pending);
}

WriterStats HidrawConnection::Stats() const {
    return out_ ? out_->Stats() : WriterStats{};
}

int HidrawConnection::GetFeatureReport(uint8_t* data, size_t len) {
    if (stopping_.load() || !data || len == 0 || len > kMaxReportLen) return -1;
    const int n = ::ioctl(fd_, HIDIOCGFEATURE(len), data);
    return n < 0 ? -1 : n;
}

void HidrawConnection::StartInput(InputSink* sink) {
    std::lock_guard<std::mutex> lock(stop_mu_);
    if (!sink || sink_ || stopping_.load()) return;
    sink_ = sink;
    reader_ = std::thread([this] { ReadLoop(); });
}

void HidrawConnection::ReadLoop() {
    // With report IDs the kernel puts the ID in byte 0; without, we put 0 there.
    const size_t offset = caps_.uses_ids ? 0 : 1;
    uint8_t* const buf = inbuf_.data();
    const size_t cap = inbuf_.size() - offset;
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
    while (!stopping_.load()) {
        // Once the unit is gone its node stays readable (errors), so stop watching it
        // and just wait for Stop.
        const nfds_t n = gone_.load() ? 1 : 2;
        const int r = ::poll(fds, n, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            gone_.store(true);
            continue;
        }
        if (fds[0].revents || stopping_.load()) break;
        if (n < 2 || fds[1].revents == 0) continue;
        if (!(fds[1].revents & POLLIN)) { // hang-up or error without data
            gone_.store(true);
            continue;
        }
        read_calls_.fetch_add(1, std::memory_order_relaxed);
        const ssize_t got = ::read(fd_, buf + offset, cap);
        if (got > 0) {
            buf[0] = offset ? 0 : buf[0];
            if (!stopping_.load()) sink_->ReportReceived(buf, static_cast<size_t>(got) + offset);
        } else if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        } else {
            gone_.store(true); // EIO/ENODEV: the unit was unplugged
        }
    }
}

void HidrawConnection::Stop() {
    std::lock_guard<std::mutex> lock(stop_mu_);
    if (stopped_.exchange(true)) return;
    stopping_.store(true);
    const uint64_t one = 1;
    if (::write(wake_fd_, &one, sizeof one) < 0) {
        // eventfd writes only fail on overflow; the reader also checks stopping_.
    }
    if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id()) reader_.join();
    if (out_) {
        out_->RequestStop();
        // A unit that never answers a send must not hold up the caller: the writer
        // then finishes (and drops its reports) on its own.
        if (out_->WaitFinished(kWriterStopWait))
            writer_.join();
        else
            LeftBehind().Add(out_, std::move(writer_));
    }
}

} // namespace qddev
