// The Linux HID transport: kernel hidraw nodes, libudev for enumeration and hot-plug.
//
// Threads: one notification thread per platform (udev monitor, 5 s wake-up timer,
// arrivals and removals); per unit one reader waiting in poll() and one writer
// draining the unit's bounded outgoing queue.
#pragma once

#include "hid_transport.h"
#include "outgoing_queue.h"
#include "report_descriptor.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct udev;
struct udev_device;
struct udev_monitor;

namespace qddev {

constexpr uint16_t kQuandelVendorId = 0x3A5C;

class HidrawConnection final : public QueuedConnection {
  public:
    // Opens the node and reads its report descriptor; null when either fails.
    static std::unique_ptr<HidrawConnection> Open(const char* devnode, const HidInfo& identity);
    ~HidrawConnection() override;

    int GetFeatureReport(uint8_t* data, size_t len) override;
    void StartInput(InputSink* sink) override;
    void RequestStop() override;
    void Stop() override;

    const ReportCaps& Caps() const { return caps_; }
    const std::string& DevNode() const { return devnode_; }
    // Number of read() calls the reader made; lets tests see that it does not spin.
    uint64_t ReadCalls() const { return read_calls_.load(); }

  private:
    HidrawConnection() = default;
    void ReadLoop();

    ReportCaps caps_;
    std::string devnode_;
    int fd_ = -1;      // read handle: input reports and feature reads
    int wake_fd_ = -1; // eventfd that ends the reader's poll()
    std::vector<uint8_t> inbuf_;
    InputSink* sink_ = nullptr;
    std::thread reader_;
    std::atomic<bool> stopped_{false};
    std::atomic<uint64_t> read_calls_{0};
    std::mutex stop_mu_;
};

class HidrawPlatform final : public HidPlatform {
  public:
    HidrawPlatform() = default;
    ~HidrawPlatform() override;
    bool Start(HotplugSink* sink) override;
    void Stop() override;

    // Shorter wake-up interval for tests; call before Start.
    void SetWakeupInterval(std::chrono::milliseconds interval) { interval_ = interval; }

  private:
    struct Attached {
        std::string syspath; // of the hidraw device
        int32_t location;
    };
    void Run();
    void Enumerate();
    void HandleEvent(udev_device* dev);
    void Arrive(udev_device* dev);
    int32_t PickLocation(udev_device* usb);

    HotplugSink* sink_ = nullptr;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    int wake_fd_ = -1;
    std::thread thread_;
    std::mutex mu_;
    std::condition_variable started_cv_;
    bool started_ = false;
    std::atomic<bool> running_{false};
    std::chrono::milliseconds interval_{5000};
    std::vector<Attached> attached_; // notification thread only
    int32_t next_fallback_location_ = 0;
};

} // namespace qddev
