// A platform that stands in for the HID service: units are plugged and unplugged by the test,
// every queued report is recorded, feature reads are answered from a table, and input reports
// are injected as if they came from the unit.
#pragma once

#include "hid_transport.h"
#include "qddev.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace fake {

using Bytes = std::vector<uint8_t>;

struct Sent {
    bool feature; // false = output report
    Bytes bytes;
};

// What the test sees of one unit; shared with the connection the library owns.
struct Unit {
    qddev::HidInfo info;
    std::map<uint8_t, Bytes> feature_answers; // by report ID, report ID included
    uint32_t queue_result = 0;                // what Queue*Report returns while not stopped

    std::mutex mutex;
    std::vector<Sent> sent;
    size_t queue_limit = 0;
    qddev::ReplaceRule replace_rule;
    int stop_requests = 0;
    int requests_seen_at_stop = -1; // library-wide RequestStop calls when this unit's Stop came
    qddev::InputSink* sink = nullptr;
    bool stopped = false;
    bool destroyed = false;

    // Delivers one input report the way a transport does (one at a time). False when the
    // unit's input is not running.
    bool Inject(const Bytes& report);
    std::vector<Sent> TakeSent();

  private:
    std::mutex delivering_; // held while a report is being delivered; Stop waits for it
    friend class Connection;
};

std::shared_ptr<Unit> MakeUnit(tagQDDevHWType type, int32_t location, uint16_t version = 0x0102);

class Connection final : public qddev::HidConnection {
  public:
    explicit Connection(std::shared_ptr<Unit> unit) : unit_(std::move(unit)) {}
    ~Connection() override;
    const qddev::HidInfo& Info() const override { return unit_->info; }
    uint32_t QueueFeatureReport(const uint8_t* data, size_t len) override;
    uint32_t QueueOutputReport(const uint8_t* data, size_t len) override;
    void SetQueueLimit(size_t max_pending) override;
    void SetReplaceRule(const qddev::ReplaceRule& rule) override;
    int GetFeatureReport(uint8_t* data, size_t len) override;
    void StartInput(qddev::InputSink* sink) override;
    void RequestStop() override;
    void Stop() override;

  private:
    uint32_t Queue(bool feature, const uint8_t* data, size_t len);
    std::shared_ptr<Unit> unit_;
};

// The platform of the next QDDev_Init: units present at start, and whether it starts.
struct Setup {
    std::vector<std::shared_ptr<Unit>> present;
    bool start_ok = true;
};
Setup& NextSetup();
// The library's hot-plug receiver while it runs (null otherwise).
qddev::HotplugSink* Sink();
// Simulate hot-plug on the calling thread, which plays the notification thread.
void Plug(const std::shared_ptr<Unit>& unit);
void Unplug(const std::shared_ptr<Unit>& unit);

// Installs the fake platform for QDDev_Init.
void Install();

} // namespace fake
