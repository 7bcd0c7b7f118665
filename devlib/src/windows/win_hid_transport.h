// The Windows HID transport: SetupAPI for enumeration, HID.DLL for reports, a hidden
// window for arrival and removal notifications.
//
// Threads: one notification thread per platform (the hidden window's message loop and
// the 5 s wake-up timer); per unit one reader waiting on an overlapped ReadFile and the shared
// outgoing queue's writer, sending through a handle of its own.
#pragma once

#include "hid_transport.h"
#include "outgoing_queue.h"

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

// Report lengths from HidP_GetCaps, report ID byte included.
struct WinReportCaps {
    uint16_t input_len = 0;
    uint16_t output_len = 0;
    uint16_t feature_len = 0;
};

class WinHidConnection final : public QueuedConnection {
  public:
    // Opens the unit's interface path and reads its attributes, capabilities and strings;
    // null when it cannot be opened or is not a unit of the vendor with input reports.
    static std::unique_ptr<WinHidConnection> Open(const char* path, int32_t location);
    ~WinHidConnection() override;

    int GetFeatureReport(uint8_t* data, size_t len) override;
    void StartInput(InputSink* sink) override;
    void RequestStop() override;
    void Stop() override;

    const WinReportCaps& Caps() const { return caps_; }
    const std::string& Path() const { return path_; }
    // Number of ReadFile calls the reader made; lets tests see that it does not spin.
    uint64_t ReadCalls() const { return read_calls_.load(); }

    // How long a stopping reader waits for its cancelled read to complete. Under wine a send
    // the unit never answers holds the whole bus, cancels included: the reader then leaves
    // the read its buffer and goes.
    static constexpr auto kCancelWait = std::chrono::milliseconds(100);

    struct PendingRead; // what an overlapped read writes into

  private:
    WinHidConnection() = default;
    void ReadLoop();

    WinReportCaps caps_;
    std::string path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE; // overlapped: input reports and feature reads
    HANDLE wake_event_ = nullptr;          // ends the reader's wait
    std::unique_ptr<PendingRead> read_;    // reader only, once started; null when left to the bus
    InputSink* sink_ = nullptr;
    std::thread reader_;
    std::atomic<bool> stopped_{false};
    std::atomic<uint64_t> read_calls_{0};
    std::mutex stop_mu_;
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
