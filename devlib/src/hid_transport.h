// The seam between the device library's logic (registry, report encodings) and the
// platform's HID service. Everything above this header is portable; each platform
// provides one implementation of HidPlatform and HidConnection (linux/ for hidraw).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qddev {

// Identity of one attached unit as the platform found it.
struct HidInfo {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t version = 0; // firmware version (bcdDevice)
    int32_t location = 0; // unique among attached units, stable while attached
    char path[256] = {};  // where the unit sits (USB device path); shown to users
    char serial[65] = {}; // zero-terminated
    char manufacturer[256] = {};
    char product[256] = {};
    uint16_t input_report_len = 0;   // including byte 0 (report ID)
    uint16_t output_report_len = 0;  // including byte 0
    uint16_t feature_report_len = 0; // largest feature report, including byte 0
};

// Which queued report a newer one may take the place of: one of the same kind (feature or
// output) and report ID, that is, one addressing the same state. A selector is the index of the
// report byte (byte 0 = report ID) that picks one item among several, as a lamp number does;
// 0 = none, the report carries the whole state its ID addresses.
struct ReplaceRule {
    uint8_t feature_selector = 0;
    uint8_t output_selector = 0;
};

// Receives a unit's input reports, in arrival order, one unit at a time.
class InputSink {
  public:
    virtual ~InputSink() = default;
    // report[0] is the report ID; len is what arrived (never read past it).
    virtual void ReportReceived(const uint8_t* report, size_t len) = 0;
};

// One open channel to a unit. Owned by the unit's device object.
class HidConnection {
  public:
    virtual ~HidConnection() = default; // stops delivery first (see Stop)

    virtual const HidInfo& Info() const = 0;

    // Outgoing reports go on a bounded per-unit queue and are sent by the transport's
    // writer; these never wait for the bus. A report replaces a queued one of the same
    // state (see ReplaceRule); when the queue is full otherwise the report is discarded
    // and the call still succeeds. Return 0, or 3 when the unit is gone.
    virtual uint32_t QueueFeatureReport(const uint8_t* data, size_t len) = 0;
    virtual uint32_t QueueOutputReport(const uint8_t* data, size_t len) = 0;
    virtual void SetQueueLimit(size_t max_pending) = 0;
    virtual void SetReplaceRule(const ReplaceRule& rule) = 0;

    // Synchronous feature read; data[0] holds the report ID on entry.
    // Returns the number of bytes read (report ID included), or -1.
    virtual int GetFeatureReport(uint8_t* data, size_t len) = 0;

    // Begin delivering input reports to sink. Called once, after the device object exists.
    virtual void StartInput(InputSink* sink) = 0;
    // Begins stopping without waiting for anything, so that many units can be stopped
    // together: input delivery ends, the writer makes its last pass. Stop must still follow.
    virtual void RequestStop() = 0;
    // End delivery: when this returns, no ReportReceived call is running or will start.
    // Pending outgoing reports get their last attempt while the unit answers and are then
    // dropped; this waits for that a few milliseconds at most, never for a held send.
    virtual void Stop() = 0;
};

// Told by the platform about arrivals, removals and the wake-up timer. All three are
// called on the platform's single notification thread.
class HotplugSink {
  public:
    virtual ~HotplugSink() = default;
    // A unit of the vendor appeared (present at start or plugged in). The sink takes the
    // connection or lets it go (unknown product, no free slot).
    virtual void UnitArrived(std::unique_ptr<HidConnection> conn) = 0;
    // The unit at this location went away.
    virtual void UnitRemoved(int32_t location) = 0;
    // Every 5 seconds from Start until Stop.
    virtual void WakeupTimer() = 0;
};

// The platform's HID service, started by QDDev_Init and stopped by QDDev_Terminate.
class HidPlatform {
  public:
    virtual ~HidPlatform() = default;
    // Enumerate the present units (each through sink->UnitArrived, on the notification
    // thread, before Start returns), then watch for hot-plug and run the 5 s timer.
    // Returns false when the HID service is not available (QDDev_Init returns 9).
    virtual bool Start(HotplugSink* sink) = 0;
    // Stop watching and stop the notification thread. Never hangs.
    virtual void Stop() = 0;
};

// The platform implementation compiled into this build.
std::unique_ptr<HidPlatform> CreateHidPlatform();

} // namespace qddev
