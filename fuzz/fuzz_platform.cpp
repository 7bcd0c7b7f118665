#include "fuzz_platform.h"

#include "platform_override.h"
#include "qd_device.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace fuzz {
namespace {

constexpr int kMaxUnits = QDDEV_TYPE_LIMIT;

struct UnitState {
    tagQDDevHWType type = QDHW_None;
    qddev::InputSink* sink = nullptr;
};
UnitState gUnits[kMaxUnits];
int gCount = 0;

class Connection final : public qddev::HidConnection {
  public:
    Connection(int n, const qddev::HidInfo& info) : n_(n), info_(info) {}
    const qddev::HidInfo& Info() const override { return info_; }
    uint32_t QueueFeatureReport(const uint8_t* data, size_t len) override { return Check(data, len); }
    uint32_t QueueOutputReport(const uint8_t* data, size_t len) override { return Check(data, len); }
    void SetQueueLimit(size_t) override {}
    void SetReplaceRule(const qddev::ReplaceRule&) override {}
    int GetFeatureReport(uint8_t* data, size_t len) override {
        std::memset(data + 1, 0, len - 1);
        return static_cast<int>(len);
    }
    void StartInput(qddev::InputSink* sink) override { gUnits[n_].sink = sink; }
    void RequestStop() override {}
    void Stop() override { gUnits[n_].sink = nullptr; }

  private:
    // Reads every byte so that the sanitizers see a report built past its buffer.
    static uint32_t Check(const uint8_t* data, size_t len) {
        if (data == nullptr || len == 0 || len > 256) std::abort();
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < len; ++i)
            sum = static_cast<uint8_t>(sum + data[i]);
        return 0;
    }
    int n_;
    qddev::HidInfo info_;
};

class Platform final : public qddev::HidPlatform {
  public:
    bool Start(qddev::HotplugSink* sink) override {
        gCount = 0;
        for (int t = 1; t < QDDEV_TYPE_LIMIT; ++t) {
            const auto type = static_cast<tagQDDevHWType>(t);
            if (qddev::SlotCapacity(type) == 0) continue;
            qddev::HidInfo info;
            info.vendor_id = QDDEV_VENDOR_ID;
            info.product_id = static_cast<uint16_t>(0x0100 + t);
            info.location = 0x100 + t;
            info.input_report_len = static_cast<uint16_t>(qddev::InputReportLength(type));
            info.output_report_len = 10;
            info.feature_report_len = 16;
            const int n = gCount++;
            gUnits[n].type = type;
            sink->UnitArrived(std::make_unique<Connection>(n, info));
        }
        return true;
    }
    void Stop() override {}
};

std::unique_ptr<qddev::HidPlatform> MakePlatform() {
    return std::make_unique<Platform>();
}

bool OnInput(tagQDDevHWType, uint16_t, const void* record) {
    // The record is read by the client: its first bytes at least must be there.
    volatile uint8_t first = *static_cast<const uint8_t*>(record);
    (void)first;
    return true;
}

} // namespace

void StartLibrary() {
    static bool started = false;
    if (started) return;
    started = true;
    qddev::SetHidPlatformFactory(MakePlatform);
    if (QDDev_Init() != QDDEV_OK) std::abort();
    QDDev_RegisterInputCallback(OnInput);
}

int UnitCount() {
    return gCount;
}

tagQDDevHWType UnitType(int n) {
    return gUnits[n].type;
}

void Deliver(int n, const uint8_t* report, size_t len) {
    if (gUnits[n].sink != nullptr) gUnits[n].sink->ReportReceived(report, len);
}

} // namespace fuzz
