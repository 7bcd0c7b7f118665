// One unit over HID.DLL: overlapped reader, bounded outgoing queue and writer.
#include "win_hid_transport.h"

// The HID headers need the types of windows.h first, and mingw's lack extern "C" for C++.
// clang-format off
#include <windows.h>
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>

namespace qddev {

namespace {

constexpr size_t kDefaultQueueLimit = 25;
constexpr auto kFirstRetryDelay = std::chrono::milliseconds(20);
constexpr auto kMaxRetryDelay = std::chrono::milliseconds(1000);
// How long Stop waits for a writer stuck in a send the unit never answers.
constexpr auto kWriterStopWait = std::chrono::milliseconds(1000);

// The writer's own handle: synchronous, read and write, shared.
HANDLE OpenWriter(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
}

void CloseWriter(HANDLE h) {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
}

// Windows wants report buffers of the length the capabilities give (shorter ones fail,
// wine trims longer ones), so reports are padded with zeros to that length.
bool SendReport(HANDLE h, const uint8_t* data, size_t len, bool feature, const WinReportCaps& caps) {
    uint8_t buf[kMaxReportLen] = {};
    const size_t want = std::max<size_t>(len, feature ? caps.feature_len : caps.output_len);
    const size_t n = std::min(want, sizeof buf);
    std::memcpy(buf, data, std::min(len, n));
    if (feature) return ::HidD_SetFeature(h, buf, static_cast<ULONG>(n)) != FALSE;
    DWORD written = 0;
    // The count written is not checked: wine may report one byte fewer than it sent.
    return ::WriteFile(h, buf, static_cast<DWORD>(n), &written, nullptr) != FALSE;
}

std::string Narrow(const wchar_t* text) {
    char out[256] = {};
    size_t i = 0;
    for (; text[i] && i + 1 < sizeof out; ++i)
        out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return out;
}

void CopyText(char* dst, size_t size, const std::string& src) {
    std::snprintf(dst, size, "%s", src.c_str());
}

} // namespace

// The unit's outgoing reports and its writer. Shared between the connection and the
// writer thread, so a writer stuck inside a send can be left behind by Stop.
class WinOutgoingQueue {
  public:
    struct Slot {
        uint16_t len = 0;
        bool feature = false;
        uint8_t bytes[kMaxReportLen];
    };

    WinOutgoingQueue(std::string path, WinReportCaps caps) : path_(std::move(path)), caps_(caps) {
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
        HANDLE h = INVALID_HANDLE_VALUE;
        auto delay = kFirstRetryDelay;
        Slot slot;
        std::unique_lock<std::mutex> lock(mu_);
        while (!stop_) {
            if (count_ == 0) {
                cv_.wait(lock, [&] { return stop_ || count_ > 0; });
                continue;
            }
            lock.unlock();
            if (h == INVALID_HANDLE_VALUE) h = OpenWriter(path_);
            lock.lock();
            if (h == INVALID_HANDLE_VALUE) {
                ++stats_.open_failures;
                Pause(lock, delay);
                continue;
            }
            slot = ring_[head_];
            lock.unlock();
            const bool ok = SendReport(h, slot.bytes, slot.len, slot.feature, caps_);
            lock.lock();
            if (ok) {
                PopHead();
                ++stats_.sent;
                delay = kFirstRetryDelay;
            } else {
                // Keep the report at the head and reopen before trying it again;
                // paced so that a unit that went away does not cost a spinning core.
                ++stats_.send_failures;
                CloseWriter(h);
                h = INVALID_HANDLE_VALUE;
                Pause(lock, delay);
            }
        }
        // Last pass: every pending report gets one attempt, failures are dropped.
        while (count_ > 0) {
            slot = ring_[head_];
            PopHead();
            lock.unlock();
            if (h == INVALID_HANDLE_VALUE) h = OpenWriter(path_);
            const bool ok =
                h != INVALID_HANDLE_VALUE && SendReport(h, slot.bytes, slot.len, slot.feature, caps_);
            lock.lock();
            if (ok) {
                ++stats_.sent;
            } else {
                ++stats_.dropped;
                if (h == INVALID_HANDLE_VALUE) { // the unit is gone: nothing else will go through either
                    stats_.dropped += count_;
                    count_ = 0;
                }
            }
        }
        CloseWriter(h);
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

    const std::string path_;
    const WinReportCaps caps_;
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
// the plug-in's DLL, which may be unloaded soon after QDDev_Terminate: so they are kept
// here and joined when the library's static objects go, at unload or exit.
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
    void Add(std::shared_ptr<WinOutgoingQueue> queue, std::thread thread) {
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
        std::shared_ptr<WinOutgoingQueue> queue;
        std::thread thread;
    };
    std::mutex mu_;
    std::vector<Entry> entries_;
};

LeftBehindWriters& LeftBehind() {
    static LeftBehindWriters writers;
    return writers;
}

// Attributes, report lengths and strings of an open unit; false when any is missing.
bool ReadIdentity(HANDLE h, HidInfo* info, WinReportCaps* caps) {
    HIDD_ATTRIBUTES attr{};
    attr.Size = sizeof attr;
    if (!::HidD_GetAttributes(h, &attr)) return false;
    info->vendor_id = attr.VendorID;
    info->product_id = attr.ProductID;
    info->version = attr.VersionNumber;

    PHIDP_PREPARSED_DATA pre = nullptr;
    if (!::HidD_GetPreparsedData(h, &pre)) return false;
    HIDP_CAPS hc{};
    const bool have_caps = ::HidP_GetCaps(pre, &hc) == HIDP_STATUS_SUCCESS;
    ::HidD_FreePreparsedData(pre);
    if (!have_caps) return false;
    auto bounded = [](USHORT n) { return static_cast<uint16_t>(std::min<size_t>(n, kMaxReportLen)); };
    caps->input_len = bounded(hc.InputReportByteLength);
    caps->output_len = bounded(hc.OutputReportByteLength);
    caps->feature_len = bounded(hc.FeatureReportByteLength);
    info->input_report_len = caps->input_len;
    info->output_report_len = caps->output_len;
    info->feature_report_len = caps->feature_len;

    wchar_t text[128] = {};
    if (::HidD_GetSerialNumberString(h, text, sizeof text - sizeof text[0]))
        CopyText(info->serial, sizeof info->serial, Narrow(text));
    std::memset(text, 0, sizeof text);
    if (::HidD_GetManufacturerString(h, text, sizeof text - sizeof text[0]))
        CopyText(info->manufacturer, sizeof info->manufacturer, Narrow(text));
    std::memset(text, 0, sizeof text);
    if (::HidD_GetProductString(h, text, sizeof text - sizeof text[0]))
        CopyText(info->product, sizeof info->product, Narrow(text));
    return true;
}

} // namespace

std::unique_ptr<WinHidConnection> WinHidConnection::Open(const char* path, int32_t location) {
    std::unique_ptr<WinHidConnection> c(new WinHidConnection());
    c->path_ = path;
    c->info_.location = location;
    CopyText(c->info_.path, sizeof c->info_.path, c->path_);
    c->handle_ = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (c->handle_ == INVALID_HANDLE_VALUE) return nullptr;
    if (!ReadIdentity(c->handle_, &c->info_, &c->caps_)) return nullptr;
    if (c->info_.vendor_id != kQuandelVendorId || c->caps_.input_len == 0) return nullptr;

    c->read_event_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    c->wake_event_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!c->read_event_ || !c->wake_event_) return nullptr;
    c->inbuf_.assign(c->caps_.input_len, 0);

    c->out_ = std::make_shared<WinOutgoingQueue>(c->path_, c->caps_);
    std::shared_ptr<WinOutgoingQueue> out = c->out_;
    c->writer_ = std::thread([out] { out->Run(); });
    return c;
}

WinHidConnection::~WinHidConnection() {
    Stop();
    if (reader_.joinable()) reader_.detach(); // only when Stop ran on the reader itself
    if (writer_.joinable()) writer_.detach();
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    if (read_event_) ::CloseHandle(read_event_);
    if (wake_event_) ::CloseHandle(wake_event_);
}

uint32_t WinHidConnection::Queue(const uint8_t* data, size_t len, bool feature) {
    if (stopping_.load() || gone_.load()) return 3;
    if (!data || len == 0 || len > kMaxReportLen) return 3;
    out_->Offer(data, len, feature);
    return 0;
}

uint32_t WinHidConnection::QueueFeatureReport(const uint8_t* data, size_t len) {
    return Queue(data, len, true);
}

uint32_t WinHidConnection::QueueOutputReport(const uint8_t* data, size_t len) {
    return Queue(data, len, false);
}

void WinHidConnection::SetQueueLimit(size_t max_pending) {
    if (out_) out_->SetLimit(max_pending);
}

WriterStats WinHidConnection::Stats() const {
    return out_ ? out_->Stats() : WriterStats{};
}

int WinHidConnection::GetFeatureReport(uint8_t* data, size_t len) {
    if (stopping_.load() || !data || len == 0 || len > kMaxReportLen) return -1;
    // The buffer must hold the longest feature report; the caller gets what it asked for.
    uint8_t buf[kMaxReportLen] = {};
    buf[0] = data[0];
    const size_t n = std::max<size_t>(len, caps_.feature_len);
    if (!::HidD_GetFeature(handle_, buf, static_cast<ULONG>(n))) return -1;
    std::memcpy(data, buf, len);
    return static_cast<int>(len);
}

void WinHidConnection::StartInput(InputSink* sink) {
    std::lock_guard<std::mutex> lock(stop_mu_);
    if (!sink || sink_ || stopping_.load()) return;
    sink_ = sink;
    reader_ = std::thread([this] { ReadLoop(); });
}

void WinHidConnection::ReadLoop() {
    uint8_t* const buf = inbuf_.data();
    const DWORD cap = static_cast<DWORD>(inbuf_.size());
    const HANDLE waits[2] = {wake_event_, read_event_};
    while (!stopping_.load() && !gone_.load()) {
        OVERLAPPED ov{};
        ov.hEvent = read_event_;
        ::ResetEvent(read_event_);
        read_calls_.fetch_add(1, std::memory_order_relaxed);
        DWORD got = 0;
        if (!::ReadFile(handle_, buf, cap, &got, &ov)) {
            if (::GetLastError() != ERROR_IO_PENDING) {
                gone_.store(true); // the unit was unplugged: every later read fails at once
                break;
            }
            const DWORD w = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (w != WAIT_OBJECT_0 + 1) {
                // Stop: the read may not outlive the buffer and the event it writes to.
                ::CancelIo(handle_);
                ::GetOverlappedResult(handle_, &ov, &got, TRUE);
                break;
            }
            if (!::GetOverlappedResult(handle_, &ov, &got, FALSE)) {
                gone_.store(true);
                break;
            }
        }
        // With or without report IDs, byte 0 is the ID (0 when the unit uses none).
        if (got > 0 && !stopping_.load()) sink_->ReportReceived(buf, got);
    }
}

void WinHidConnection::Stop() {
    std::lock_guard<std::mutex> lock(stop_mu_);
    if (stopped_.exchange(true)) return;
    stopping_.store(true);
    if (wake_event_) ::SetEvent(wake_event_);
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
