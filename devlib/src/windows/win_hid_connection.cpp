// One unit over HID.DLL: the overlapped reader, and the write handle behind the shared outgoing
// queue.
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
#include <cstdio>
#include <cstring>

namespace qddev {

// The buffer, completion event and OVERLAPPED of the reader's read: all must stay until the read
// completes, which may be after the reader has gone (see kCancelWait).
struct WinHidConnection::PendingRead {
    OVERLAPPED ov{};
    HANDLE event = nullptr;
    std::vector<uint8_t> buf;
    ~PendingRead() {
        if (event) ::CloseHandle(event);
    }
};

namespace {

// An output write the unit does not take within this is cancelled and counts as failed, as a
// feature report's control transfer does: interrupt writes have no time limit of their own, and
// a writer left behind must end before the library is unloaded.
constexpr DWORD kWriteTimeoutMs = 5000;

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

// The writer's own overlapped handle on the unit, reopened after every failed send.
class WinReportWriter final : public ReportWriter {
  public:
    WinReportWriter(std::string path, const WinReportCaps& caps) : path_(std::move(path)), caps_(caps) {}
    ~WinReportWriter() override {
        Close();
        if (event_) ::CloseHandle(event_);
    }
    bool Open() override {
        if (!event_) event_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!event_) return false;
        handle_ =
            ::CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
    }
    // Windows wants report buffers of the length the capabilities give (shorter ones fail,
    // wine trims longer ones), so reports are padded with zeros to that length.
    bool Send(const uint8_t* data, size_t len, bool feature) override {
        uint8_t buf[kMaxReportLen] = {};
        const size_t n =
            std::min(std::max<size_t>(len, feature ? caps_.feature_len : caps_.output_len), sizeof buf);
        std::memcpy(buf, data, std::min(len, n));
        if (feature) return ::HidD_SetFeature(handle_, buf, static_cast<ULONG>(n)) != FALSE;
        OVERLAPPED ov{};
        ov.hEvent = event_;
        ::ResetEvent(event_);
        DWORD written = 0;
        // The count written is not checked: wine may report one byte fewer than it sent.
        if (::WriteFile(handle_, buf, static_cast<DWORD>(n), &written, &ov)) return true;
        if (::GetLastError() != ERROR_IO_PENDING) return false;
        const bool done = ::WaitForSingleObject(event_, kWriteTimeoutMs) == WAIT_OBJECT_0;
        if (!done) ::CancelIo(handle_);
        // Once cancelled, the write still owns buf and ov until it completes.
        return ::GetOverlappedResult(handle_, &ov, &written, TRUE) != FALSE && done;
    }
    void Close() override {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

  private:
    const std::string path_;
    const WinReportCaps caps_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr; // completion of the pending output write
};

// Reads whose cancel the bus had not completed when their reader went: each keeps its buffer
// until the read completes. Freed as later ones are added; any still pending at unload stay
// allocated, since the system may yet write into them.
class AbandonedReads {
  public:
    using PendingRead = WinHidConnection::PendingRead;
    ~AbandonedReads() {
        std::lock_guard<std::mutex> lock(mu_);
        Prune();
        for (auto& r : reads_)
            static_cast<void>(r.release());
    }
    void Add(std::unique_ptr<PendingRead> read) {
        std::lock_guard<std::mutex> lock(mu_);
        Prune();
        reads_.push_back(std::move(read));
    }

  private:
    void Prune() {
        std::erase_if(reads_,
                      [](const std::unique_ptr<PendingRead>& r) { return HasOverlappedIoCompleted(&r->ov); });
    }
    std::mutex mu_;
    std::vector<std::unique_ptr<PendingRead>> reads_;
};

AbandonedReads& Abandoned() {
    static AbandonedReads reads;
    return reads;
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

    c->read_ = std::make_unique<PendingRead>();
    c->read_->event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    c->wake_event_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!c->read_->event || !c->wake_event_) return nullptr;
    c->read_->buf.assign(c->caps_.input_len, 0);

    c->out_ = std::make_unique<OutgoingQueue>(std::make_unique<WinReportWriter>(c->path_, c->caps_));
    return c;
}

WinHidConnection::~WinHidConnection() {
    Stop();
    if (reader_.joinable()) reader_.detach(); // only when Stop ran on the reader itself
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    if (wake_event_) ::CloseHandle(wake_event_);
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
    PendingRead& rd = *read_;
    uint8_t* const buf = rd.buf.data();
    const DWORD cap = static_cast<DWORD>(rd.buf.size());
    const HANDLE waits[2] = {wake_event_, rd.event};
    while (!stopping_.load() && !gone_.load()) {
        rd.ov = OVERLAPPED{};
        rd.ov.hEvent = rd.event;
        ::ResetEvent(rd.event);
        read_calls_.fetch_add(1, std::memory_order_relaxed);
        DWORD got = 0;
        if (!::ReadFile(handle_, buf, cap, &got, &rd.ov)) {
            if (::GetLastError() != ERROR_IO_PENDING) {
                gone_.store(true); // the unit was unplugged: every later read fails at once
                break;
            }
            const DWORD w = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (w != WAIT_OBJECT_0 + 1) {
                // Stop: the read may not outlive its buffer and event, so they outlive the
                // reader when the bus does not complete the cancel in time.
                ::CancelIo(handle_);
                if (::WaitForSingleObject(rd.event, static_cast<DWORD>(kCancelWait.count())) == WAIT_OBJECT_0)
                    ::GetOverlappedResult(handle_, &rd.ov, &got, TRUE);
                else
                    Abandoned().Add(std::move(read_));
                break;
            }
            if (!::GetOverlappedResult(handle_, &rd.ov, &got, FALSE)) {
                gone_.store(true);
                break;
            }
        }
        // With or without report IDs, byte 0 is the ID (0 when the unit uses none).
        if (got > 0 && !stopping_.load()) sink_->ReportReceived(buf, got);
    }
}

void WinHidConnection::RequestStop() {
    if (stopping_.exchange(true)) return;
    if (wake_event_) ::SetEvent(wake_event_);
    if (out_) out_->RequestStop();
}

void WinHidConnection::Stop() {
    std::lock_guard<std::mutex> lock(stop_mu_);
    if (stopped_.exchange(true)) return;
    RequestStop();
    if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id()) reader_.join();
    if (out_) out_->Stop();
}

} // namespace qddev
