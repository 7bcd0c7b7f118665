// Emulated Quandel units at the kernel interface (hidraw + udev) for tests and demos.
//
// A Testbed owns one umockdev testbed; every Unit it plugs is a complete emulated
// unit: sysfs chain (usb_device -> usb_interface -> hid -> hidraw), a HID report
// descriptor declaring its reports, feature reports stored per ID, a "state" feature
// report mirroring the input, and a record of everything the host sent to it.
//
// The process must run under umockdev-wrapper (LD_PRELOAD of libumockdev-preload);
// Testbed::Available() tells whether it does. Create the Testbed before the code
// under test looks at udev: the testbed points udev at its own sysfs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

namespace qdtest {

constexpr uint16_t kVendorId = 0x3A5C;
// Product ID of a model: 0x0100 + its device type number.
constexpr uint16_t ProductIdOf(int type) {
    return static_cast<uint16_t>(0x0100 + type);
}

// One report the host sent to the unit, in arrival order.
struct Sent {
    enum Kind { Feature, Output } kind;
    std::vector<uint8_t> bytes; // byte 0 = report ID
    bool operator==(const Sent&) const = default;
};

// Per-model report layout as the emulated firmware speaks it.
struct ModelLayout {
    int type = 0;
    const char* name = "";
    uint8_t input_len = 0;          // including the report ID byte
    uint8_t state_id = 0;           // feature report mirroring the input, 0 = none
    uint8_t state_len = 0;          // its length including the ID byte
    bool state_switch_only = false; // state report carries only the switch byte
    struct Feature {
        uint8_t id;
        uint8_t len;
    };
    std::vector<Feature> features; // settable feature reports (the state report not included)
    uint8_t output_id = 0;         // output report, 0 = none
    uint8_t output_len = 0;
    std::vector<uint8_t> encoder_bytes; // payload offset of encoder n+1 (signed 8-bit)
    bool nibble_encoders = false;       // encoders are signed 4-bit nibbles (six of them)
    std::vector<uint8_t> switch_bytes;  // payload offsets holding switches 1-8, 9-16, ...
    std::vector<uint8_t> lever_bytes;   // payload offset of lever n+1
};

// The layout of a supported model, or null (types 10, 15, 16, 0, 20+).
const ModelLayout* LayoutOf(int type);
// Every supported type number: 1-9, 11-14, 17-19.
const std::vector<int>& SupportedTypes();
// The HID report descriptor an emulated unit of this layout presents.
std::vector<uint8_t> ReportDescriptor(const ModelLayout& layout, uint16_t output_len, bool report_ids = true);

struct PlugOptions {
    uint16_t version = 0x0100; // bcdDevice
    std::string serial;        // empty = generated
    uint16_t output_len = 0;   // QD-IOB: output report length (default 10)
    uint16_t product_id = 0;   // 0 = the model's own; set to emulate unknown products
    uint16_t vendor_id = kVendorId;
    bool no_report_ids = false; // firmware without report IDs (input-only models: QD-THQ)
};

class Testbed;

class Unit {
  public:
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;
    ~Unit();

    int type() const { return layout_->type; }
    const ModelLayout& layout() const { return *layout_; }
    // The current node ("/dev/hidraw7") and sysfs path of the usb_device.
    std::string devnode() const;
    std::string usb_syspath() const;
    bool plugged() const;

    // Controls. Every call sends one input report (or more when the step count does
    // not fit one report) built from the current control state.
    void turn(int encoder, int steps); // encoder 1-based, signed steps
    void press(int sw);                // switch 1-based
    void release(int sw);
    void lever(int n, uint8_t position); // QD-THQ levers 1-6
    // Selectors in the unit's terms: QD-SSM selectors 1-3 (values as decoded),
    // QD-ECP 1 = rotary position 1-5 (0 = between detents), QD-NDC 1 (bits 0-1), 2 (bits 5-7).
    void selector(int n, int value);
    // Raw access: set one payload byte (offset 1 = first byte after the ID).
    void set_byte(size_t offset, uint8_t value, bool send = true);
    // Send an input report exactly as given (byte 0 = report ID); the state is untouched.
    void send_raw(const std::vector<uint8_t>& report);
    std::vector<uint8_t> input_state() const; // the current input payload with ID

    // What the host sent, in order.
    std::vector<Sent> outputs() const;
    void clear_outputs();
    // Waits until at least n reports were recorded; false on timeout.
    bool wait_outputs(size_t n, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) const;
    // The stored value of a feature report (empty if never set).
    std::vector<uint8_t> feature(uint8_t id) const;
    int feature_gets() const; // number of feature reads served
    // Number of times a host read the report descriptor: a host taking the unit in does.
    int descriptor_reads() const;

    // Sends (set feature, output write) block until unstall(), or fail with EIO.
    void stall();
    void unstall();
    void fail_sends(bool fail);
    // Feature reads fail with EPIPE (the unit does not answer).
    void fail_feature_reads(bool fail);

    // Unplug: calls fail as on a vanished hidraw node, "remove" uevents go out.
    void unplug();
    // Plug in again under a fresh hidraw node; the unit starts blank.
    void replug();

    struct Impl; // emulated firmware state, shared with the umockdev handlers

  private:
    friend class Testbed;
    Unit(Testbed& tb, const ModelLayout& layout, const PlugOptions& opt, int port);
    void plug_in();
    void send_state_locked(std::unique_lock<std::mutex>& lock);
    void push_report(std::vector<uint8_t> report);

    Testbed& tb_;
    const ModelLayout* layout_;
    PlugOptions opt_;
    int port_;
    std::unique_ptr<Impl> impl_;
};

class Testbed {
  public:
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // True when the process runs with the umockdev preload.
    static bool Available();
    // For demos and benchmarks started by hand: when the preload is missing, start
    // this program again with it (ASan runtime first in a sanitizer build). Returns
    // only when the preload is there, or when that cannot be done (false).
    static bool EnsurePreload(char** argv);

    // Plugs in a new emulated unit of this type (aborts the test program for an
    // unsupported type: that is a bug in the test).
    Unit& plug(int type, const PlugOptions& opt = {});
    // Adds a hidraw device of another vendor (nothing should open it).
    void plug_foreign(uint16_t vendor, uint16_t product);
    const std::vector<std::unique_ptr<Unit>>& units() const { return units_; }

    UMockdevTestbed* raw() { return tb_; }

  private:
    friend class Unit;
    int next_node() { return next_node_++; }

    UMockdevTestbed* tb_ = nullptr;
    std::vector<std::unique_ptr<Unit>> units_;
    int next_node_ = 0;
    int next_port_ = 1;
};

} // namespace qdtest
