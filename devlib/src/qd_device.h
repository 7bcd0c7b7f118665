// Device objects: one per attached unit, held in per-model slot lists whose positions are the
// units' indices. Three locks guard this state and no thread ever holds two of them at once:
// the registry lock (slot lists), the unit lock (one per device: cached input, encoder counts) and
// the library-wide callback lock (callback registrations and every callback invocation).
#pragma once

#include "hid_transport.h"
#include "qddev.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace qddev {

// Slots per model; a unit that would need a slot beyond this is not opened.
uint16_t SlotCapacity(tagQDDevHWType type);
// Length of the model's input report (report ID included); shorter reports are dropped.
size_t InputReportLength(tagQDDevHWType type);
// Bound of the unit's outgoing queue.
size_t QueueLimitForType(tagQDDevHWType type);
// Which of the unit's queued reports a newer one may replace.
ReplaceRule ReplaceRuleForType(tagQDDevHWType type);

// The library-wide callback lock: recursive (a callback may register callbacks) and able to give
// up after a while (input never waits for ever behind a stuck client).
class CallbackMutex {
  public:
    void lock();
    void unlock();
    bool try_lock_for(std::chrono::milliseconds timeout);

  private:
    std::mutex mutex_;
    std::condition_variable free_;
    std::thread::id owner_;
    unsigned depth_ = 0;
};

// The registered callbacks; read and written only under CallbackLock().
struct CallbackSet {
    QDDevInputCallback input = nullptr;
    QDDevConnectCallback connect = nullptr;
    QDDevWakeupCallback wakeup = nullptr;
};
CallbackMutex& CallbackLock();
CallbackSet& Callbacks();

// Calls the input callback under the callback lock, waiting at most 1000 ms for the lock.
// Returns true and sets reset to the callback's answer when the callback ran.
bool DispatchInput(tagQDDevHWType type, uint16_t index, const void* record, bool& reset);
void DispatchConnect(tagQDDevHWType type, uint16_t index, tagEventToken token);
void DispatchWakeup();

// The latest value of one input element; with whole-report delivery the element is the report.
struct InputValue {
    int32_t value = 0;
    uint8_t raw[16] = {};
    uint32_t length = 0;
};

class QDDevice : public InputSink {
  public:
    QDDevice(std::unique_ptr<HidConnection> conn, int32_t location, tagQDDevHWType type);
    ~QDDevice() override;
    QDDevice(const QDDevice&) = delete;
    QDDevice& operator=(const QDDevice&) = delete;

    // Input from the transport: one whole report at a time, on the unit's input thread.
    void ReportReceived(const uint8_t* report, size_t len) final { DataReceived(report, len); }
    void DataReceived(const uint8_t* report, size_t len);

    // Byte `element` of the last input report (0 when never seen).
    int32_t GetElementValue(int32_t element);
    // Copies up to min(length, 16) bytes of the last input report; returns the count.
    uint32_t GetElementValueLong(int32_t element, uint8_t* buffer, uint32_t length);

    tagQDDevHWType GetDeviceType() const { return mType; }
    int GetDeviceIndex() const;
    int32_t Location() const { return mLocation; }
    const HidInfo& Info() const { return mConn->Info(); }

    // Reads the unit's state and sends its start-up outputs; runs once before input starts.
    virtual void Open() {}

    void StartInput() { mConn->StartInput(this); }
    // Starts stopping the unit without waiting (see DeleteAllDevices).
    void RequestStop() { mConn->RequestStop(); }
    // After this returns no input for this unit runs or will start.
    void StopInput() { mConn->Stop(); }

    // Registry.
    static uint16_t CountDevicesOfType(tagQDDevHWType type);
    static std::shared_ptr<QDDevice> GetNthDeviceOfType(tagQDDevHWType type, int index);
    static std::shared_ptr<QDDevice> GetDeviceByLocation(int32_t location);
    static bool HasFreeSlot(tagQDDevHWType type);
    // Puts the device into the lowest empty slot of its model; false when the model is full.
    static bool Register(const std::shared_ptr<QDDevice>& device);
    // Stops the unit's input, empties its slot and lets go of the registry's reference.
    static void Destroy(std::shared_ptr<QDDevice> device);
    static void DeleteAllDevices();

  protected:
    virtual void ElementChanged(const uint8_t* report, size_t len) = 0;

    // Report helpers. Each builds the report on the stack: byte 0 = report ID, then the payload.
    uint32_t SendFeature(uint8_t id, const uint8_t* payload, size_t n);
    uint32_t SendFeatureByte(uint8_t id, uint8_t value) { return SendFeature(id, &value, 1); }
    uint32_t SendBrightness(uint8_t id, uint8_t level);
    // total = whole report length; the payload is zero-padded to it.
    uint32_t SendOutput(uint8_t id, const uint8_t* payload, size_t n, size_t total);
    // Reads feature report id into buf (len bytes including the ID); 0, or 5 when the unit did
    // not answer with at least `need` bytes (default: all of len).
    uint32_t ReadFeature(uint8_t id, uint8_t* buf, size_t len, size_t need = 0);
    uint32_t ReadFeatureByte(uint8_t id, uint8_t& value);

  private:
    // What callers read to send, first; what the input thread writes at every report (the unit
    // lock, the last input, a model's decoded fields after it) starts on a cache line of its
    // own, so that a send does not wait for the line the input thread just wrote.
    std::unique_ptr<HidConnection> mConn;
    tagQDDevHWType mType;
    int32_t mLocation;
    // The slot while registered, else -1; set under the registry lock. The input thread reads it
    // at every report instead of taking that lock, which the callers' sends take.
    std::atomic<int> mIndex{-1};

  protected:
    alignas(64) std::recursive_mutex mUnitLock;

  private:
    InputValue mLastInput;
};

// The common shape of every model: a packed control-value record whose first kEncoders fields
// are the 16-bit encoder counts, followed by the last decoded switch fields.
template <class Record, int kEncoders> class QDModelDevice : public QDDevice {
  public:
    using QDDevice::QDDevice;

    // The switch fields of the last decoded report (encoders 0).
    Record GetSwitchStates() {
        std::lock_guard<std::recursive_mutex> lock(mUnitLock);
        return mFields;
    }
    // Hands the encoder counts to the caller and zeroes them in one critical section, so no step
    // is lost or counted twice against a callback.
    void ReadAndResetEncoders(int16_t* out) {
        std::lock_guard<std::recursive_mutex> lock(mUnitLock);
        for (int i = 0; i < kEncoders; ++i) {
            out[i] = mAcc[i];
            mAcc[i] = 0;
        }
    }
    // The whole record with the encoder counts, which are reset.
    Record ReadControls() {
        std::lock_guard<std::recursive_mutex> lock(mUnitLock);
        Record rec = mFields;
        CopyEncoders(rec);
        for (int i = 0; i < kEncoders; ++i)
            mAcc[i] = 0;
        return rec;
    }

  protected:
    // Decodes an input-shaped report (at least the model's input length) into the record's switch
    // fields and the encoder steps. Returns false when the report must not be delivered.
    virtual bool Decode(const uint8_t* report, Record& fields, int16_t* steps) = 0;

    // Takes the switch fields from a state report that has the input report's layout.
    void ReadStateLikeInput(uint8_t id) {
        uint8_t buf[64] = {};
        const size_t len = InputReportLength(GetDeviceType());
        if (ReadFeature(id, buf, len) != 0) return; // a failed read leaves zeros
        SetStateFromReport(buf);
    }
    void SetStateFromReport(const uint8_t* report) {
        Record fields{};
        int16_t steps[kEncoders > 0 ? kEncoders : 1] = {};
        if (!Decode(report, fields, steps)) return;
        SetSwitchFields(fields);
    }
    void SetSwitchFields(const Record& fields) {
        std::lock_guard<std::recursive_mutex> lock(mUnitLock);
        mFields = fields;
        ClearEncoders(mFields);
    }

    void ElementChanged(const uint8_t* report, size_t) final {
        Record fields{};
        int16_t steps[kEncoders > 0 ? kEncoders : 1] = {};
        if (!Decode(report, fields, steps)) return;
        Record rec;
        {
            std::lock_guard<std::recursive_mutex> lock(mUnitLock);
            for (int i = 0; i < kEncoders; ++i) // 16-bit wrap-around, as the record holds
                mAcc[i] =
                    static_cast<int16_t>(static_cast<uint16_t>(mAcc[i]) + static_cast<uint16_t>(steps[i]));
            mFields = fields;
            ClearEncoders(mFields);
            rec = mFields;
            CopyEncoders(rec);
        }
        const int index = GetDeviceIndex(); // the unit lock is released before the dispatch
        if (index < 0) return;
        bool reset = false;
        if (DispatchInput(GetDeviceType(), static_cast<uint16_t>(index), &rec, reset) && reset &&
            kEncoders > 0) {
            std::lock_guard<std::recursive_mutex> lock(mUnitLock);
            for (int i = 0; i < kEncoders; ++i)
                mAcc[i] = 0;
        }
    }

  private:
    void CopyEncoders(Record& rec) const {
        if constexpr (kEncoders > 0) std::memcpy(&rec, mAcc, sizeof(int16_t) * kEncoders);
    }
    static void ClearEncoders(Record& rec) {
        if constexpr (kEncoders > 0) std::memset(&rec, 0, sizeof(int16_t) * kEncoders);
    }

    Record mFields{};
    int16_t mAcc[kEncoders > 0 ? kEncoders : 1] = {};
};

} // namespace qddev
