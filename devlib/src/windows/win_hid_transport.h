// The Windows HID transport: SetupAPI for enumeration, HID.DLL for reports, a hidden
// window for arrival and removal notifications.
//
// Threads: one notification thread per platform (the hidden window's message loop and
// the 5 s wake-up timer); per unit one reader waiting on an overlapped ReadFile and one
// writer draining the unit's bounded outgoing queue through a handle of its own.
#pragma once

#include "hid_transport.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qddev {

constexpr uint16_t kQuandelVendorId = 0x3A5C;
constexpr size_t kMaxReportLen = 256; // largest report a caller may queue or read

// What the writer has done, for diagnostics and tests.
struct WriterStats {
    uint64_t sent = 0;          // reports the unit accepted
    uint64_t send_failures = 0; // sends that failed (the report was kept)
    uint64_t open_failures = 0; // failed (re)opens of the unit
    uint64_t discarded = 0;     // reports dropped because the queue was full
    uint64_t dropped = 0;       // reports dropped at stop
    size_t pending = 0;
    size_t highest = 0; // most reports ever pending at once
};

// Report lengths from HidP_GetCaps, report ID byte included.
struct WinReportCaps {
    uint16_t input_len = 0;
    uint16_t output_len = 0;
    uint16_t feature_len = 0;
};

class WinOutgoingQueue;

class WinHidConnection final : public HidConnection {
  public:
    // Opens the unit's interface path and reads its attributes, capabilities and strings;
    // null when it cannot be opened or is not a unit of the vendor with input reports.
    static std::unique_ptr<WinHidConnection> Open(const char* path, int32_t location);
    ~WinHidConnection() override;

    const HidInfo& Info() const override { return info_; }
    uint32_t QueueFeatureReport(const uint8_t* data, size_t len) override;
    uint32_t QueueOutputReport(const uint8_t* data, size_t len) override;
    void SetQueueLimit(size_t max_pending) override;
    int GetFeatureReport(uint8_t* data, size_t len) override;
    void StartInput(InputSink* sink) override;
    void Stop() override;

    const WinReportCaps& Caps() const { return caps_; }
    const std::string& Path() const { return path_; }
    WriterStats Stats() const;
    // True once reads failed: the unit is gone.
    bool Gone() const { return gone_.load(); }
    // Number of ReadFile calls the reader made; lets tests see that it does not spin.
    uint64_t ReadCalls() const { return read_calls_.load(); }

  private:
    WinHidConnection() = default;
    uint32_t Queue(const uint8_t* data, size_t len, bool feature);
    void ReadLoop();

    HidInfo info_;
    WinReportCaps caps_;
    std::string path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE; // overlapped: input reports and feature reads
    HANDLE read_event_ = nullptr;          // completion of the pending read
    HANDLE wake_event_ = nullptr;          // ends the reader's wait
    std::vector<uint8_t> inbuf_;
    InputSink* sink_ = nullptr;
    std::thread reader_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<bool> gone_{false};
    std::atomic<uint64_t> read_calls_{0};
    std::mutex stop_mu_;
    std::shared_ptr<WinOutgoingQueue> out_; // shared with the writer thread
    std::thread writer_;
};

class WinHidPlatform final : public HidPlatform {
  public:
    WinHidPlatform() = default;
    ~WinHidPlatform() override;
    bool Start(HotplugSink* sink) override;
    void Stop() override;

    // Shorter wake-up interval for tests; call before Start.
    void SetWakeupInterval(std::chrono::milliseconds interval) { interval_ = interval; }

    // The hidden window's procedure forwards WM_DEVICECHANGE here.
    void DeviceChanged(WPARAM event, LPARAM data);

  private:
    struct Attached {
        std::string path; // interface path as found; compared without case
        int32_t location;
    };
    void Run();
    bool CreateNotifyWindow();
    void DestroyNotifyWindow();
    void Enumerate();
    void Arrive(const char* path);
    void Remove(const char* path);
    int32_t PickLocation();

    HotplugSink* sink_ = nullptr;
    HANDLE stop_event_ = nullptr;
    HWND window_ = nullptr;
    HDEVNOTIFY notify_ = nullptr;
    std::thread thread_;
    std::mutex mu_;
    HANDLE started_event_ = nullptr;
    std::atomic<bool> running_{false};
    std::chrono::milliseconds interval_{5000};
    std::vector<Attached> attached_; // notification thread only
    int32_t next_location_ = 0;
};

} // namespace qddev
