#include "fake_platform.h"

#include "platform_override.h"

#include <atomic>
#include <cstring>

namespace qddev {
// Used only when the build carries no platform of its own.
__attribute__((weak)) std::unique_ptr<HidPlatform> CreateHidPlatform() {
    return nullptr;
}
} // namespace qddev

namespace fake {
namespace {

qddev::HotplugSink* gSink = nullptr;

class Platform final : public qddev::HidPlatform {
  public:
    bool Start(qddev::HotplugSink* sink) override {
        Setup setup = NextSetup();
        NextSetup() = Setup{};
        if (!setup.start_ok) return false;
        gSink = sink;
        for (auto& unit : setup.present)
            Plug(unit);
        return true;
    }
    void Stop() override { gSink = nullptr; }
};

std::unique_ptr<qddev::HidPlatform> MakePlatform() {
    return std::make_unique<Platform>();
}

} // namespace

std::shared_ptr<Unit> MakeUnit(tagQDDevHWType type, int32_t location, uint16_t version) {
    auto unit = std::make_shared<Unit>();
    unit->info.vendor_id = QDDEV_VENDOR_ID;
    unit->info.product_id = QDDEV_PRODUCT_ID(type);
    unit->info.version = version;
    unit->info.location = location;
    std::snprintf(unit->info.path, sizeof(unit->info.path), "/sys/devices/usb1/1-%d", location);
    std::snprintf(unit->info.serial, sizeof(unit->info.serial), "SN%04d", location);
    std::snprintf(unit->info.manufacturer, sizeof(unit->info.manufacturer), "Quandel");
    std::snprintf(unit->info.product, sizeof(unit->info.product), "%s", QDHWType2Text(type));
    unit->info.input_report_len = 8;
    unit->info.output_report_len = 5;
    unit->info.feature_report_len = 8;
    return unit;
}

bool Unit::Inject(const Bytes& report) {
    std::lock_guard<std::mutex> delivering(delivering_);
    qddev::InputSink* target;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopped || sink == nullptr) return false;
        target = sink;
    }
    target->ReportReceived(report.data(), report.size());
    return true;
}

std::vector<Sent> Unit::TakeSent() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Sent> out;
    out.swap(sent);
    return out;
}

Connection::~Connection() {
    Stop();
    std::lock_guard<std::mutex> lock(unit_->mutex);
    unit_->destroyed = true;
}

uint32_t Connection::Queue(bool feature, const uint8_t* data, size_t len) {
    std::lock_guard<std::mutex> lock(unit_->mutex);
    if (unit_->stopped) return 3;
    if (unit_->queue_result != 0) return unit_->queue_result;
    unit_->sent.push_back(Sent{feature, Bytes(data, data + len)});
    return 0;
}

uint32_t Connection::QueueFeatureReport(const uint8_t* data, size_t len) {
    return Queue(true, data, len);
}

uint32_t Connection::QueueOutputReport(const uint8_t* data, size_t len) {
    return Queue(false, data, len);
}

void Connection::SetQueueLimit(size_t max_pending) {
    std::lock_guard<std::mutex> lock(unit_->mutex);
    unit_->queue_limit = max_pending;
}

void Connection::SetReplaceRule(const qddev::ReplaceRule& rule) {
    std::lock_guard<std::mutex> lock(unit_->mutex);
    unit_->replace_rule = rule;
}

std::atomic<int> gStopRequests{0};

void Connection::RequestStop() {
    std::lock_guard<std::mutex> lock(unit_->mutex);
    ++unit_->stop_requests;
    ++gStopRequests;
}

int Connection::GetFeatureReport(uint8_t* data, size_t len) {
    std::lock_guard<std::mutex> lock(unit_->mutex);
    auto it = unit_->feature_answers.find(data[0]);
    if (unit_->stopped || it == unit_->feature_answers.end()) return -1;
    const size_t n = std::min(len, it->second.size());
    std::memcpy(data, it->second.data(), n);
    return static_cast<int>(n);
}

void Connection::StartInput(qddev::InputSink* sink) {
    std::lock_guard<std::mutex> lock(unit_->mutex);
    unit_->sink = sink;
}

void Connection::Stop() {
    std::lock_guard<std::mutex> delivering(unit_->delivering_); // lets a delivery in progress end
    std::lock_guard<std::mutex> lock(unit_->mutex);
    if (!unit_->stopped) unit_->requests_seen_at_stop = gStopRequests.load();
    unit_->stopped = true;
    unit_->sink = nullptr;
}

Setup& NextSetup() {
    static Setup setup;
    return setup;
}

qddev::HotplugSink* Sink() {
    return gSink;
}

void Plug(const std::shared_ptr<Unit>& unit) {
    {
        std::lock_guard<std::mutex> lock(unit->mutex);
        unit->stopped = false;
        unit->destroyed = false;
    }
    if (gSink != nullptr) gSink->UnitArrived(std::make_unique<Connection>(unit));
}

void Unplug(const std::shared_ptr<Unit>& unit) {
    if (gSink != nullptr) gSink->UnitRemoved(unit->info.location);
}

void Install() {
    qddev::SetHidPlatformFactory(&MakePlatform);
}

} // namespace fake
