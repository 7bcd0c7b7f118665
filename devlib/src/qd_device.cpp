#include "qd_device.h"
#include "hot_path.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace qddev {
namespace {

constexpr uint16_t kMaxSlots = 32;

// Capacities of the fixed slot tables, indexed by device type.
constexpr uint16_t kCapacity[QDDEV_TYPE_LIMIT] = {
    0,  // None
    16, // AVX
    32, // PBX
    32, // TGX
    16, // GTP
    16, // RSX
    4,  // APC
    32, // KNB
    16, // AVY
    4,  // THQ
    0,  // TXP
    8,  // GTP2
    4,  // APX
    4,  // NDC
    8,  // ECP
    0,  // CDU
    0,  // PWR
    8,  // SSM
    32, // ANP
    4,  // IOB
};

constexpr uint8_t kInputLength[QDDEV_TYPE_LIMIT] = {
    0, 3, 2, 2, 3, 4, 8, 6, 4, 8, 0, 5, 8, 8, 4, 0, 0, 2, 2, 8,
};

struct SlotList {
    std::shared_ptr<QDDevice> slot[kMaxSlots];
    uint16_t length = 0; // slots ever used; never shrinks
};

// The lists live for the whole process so that indices survive a terminate and re-init.
SlotList sDevices[QDDEV_TYPE_LIMIT];
std::recursive_mutex sMutex;

bool ValidType(tagQDDevHWType type) {
    return static_cast<uint32_t>(type) < QDDEV_TYPE_LIMIT;
}

} // namespace

uint16_t SlotCapacity(tagQDDevHWType type) {
    return ValidType(type) ? kCapacity[type] : 0;
}

size_t InputReportLength(tagQDDevHWType type) {
    return ValidType(type) ? kInputLength[type] : 0;
}

size_t QueueLimitForType(tagQDDevHWType type) {
    switch (type) {
    case QDHW_GTP2:
    case QDHW_ANP:
    case QDHW_SSM:
    case QDHW_IOB:
        return 100;
    default:
        return 25;
    }
}

ReplaceRule ReplaceRuleForType(tagQDDevHWType type) {
    // Every report carries the whole state its ID addresses (a display's text, a lamp word,
    // brightness, encoder types, the I/O board's outputs), except the annunciator's colour
    // report, which addresses the lamp numbered in its first payload byte.
    ReplaceRule rule;
    if (type == QDHW_ANP) rule.output_selector = 1;
    return rule;
}

// ---- Callbacks -------------------------------------------------------------------------------

void CallbackMutex::lock() {
    std::unique_lock<std::mutex> guard(mutex_);
    const auto self = std::this_thread::get_id();
    free_.wait(guard, [&] { return depth_ == 0 || owner_ == self; });
    owner_ = self;
    ++depth_;
}

bool CallbackMutex::try_lock_for(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(mutex_);
    const auto self = std::this_thread::get_id();
    if (!free_.wait_for(guard, timeout, [&] { return depth_ == 0 || owner_ == self; })) return false;
    owner_ = self;
    ++depth_;
    return true;
}

void CallbackMutex::unlock() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (depth_ > 0 && --depth_ == 0) {
        owner_ = std::thread::id();
        free_.notify_one();
    }
}

CallbackMutex& CallbackLock() {
    static CallbackMutex lock;
    return lock;
}

CallbackSet& Callbacks() {
    static CallbackSet set;
    return set;
}

bool DispatchInput(tagQDDevHWType type, uint16_t index, const void* record, bool& reset) {
    std::unique_lock<CallbackMutex> lock(CallbackLock(), std::defer_lock);
    // A client stuck in the callback lock must not stall the unit's input for ever; the report's
    // encoder steps stay in the counts.
    if (!lock.try_lock_for(std::chrono::milliseconds(1000))) return false;
    const QDDevInputCallback cb = Callbacks().input;
    if (cb == nullptr) return false;
    reset = cb(type, index, record);
    return true;
}

void DispatchConnect(tagQDDevHWType type, uint16_t index, tagEventToken token) {
    std::lock_guard<CallbackMutex> lock(CallbackLock());
    if (Callbacks().connect != nullptr) Callbacks().connect(type, index, token);
}

void DispatchWakeup() {
    std::lock_guard<CallbackMutex> lock(CallbackLock());
    if (Callbacks().wakeup != nullptr) Callbacks().wakeup();
}

// ---- QDDevice --------------------------------------------------------------------------------

QDDevice::QDDevice(std::unique_ptr<HidConnection> conn, int32_t location, tagQDDevHWType type)
    : mConn(std::move(conn)), mType(type), mLocation(location) {
    mConn->SetQueueLimit(QueueLimitForType(type));
    mConn->SetReplaceRule(ReplaceRuleForType(type));
}

QDDevice::~QDDevice() = default; // the connection stops its delivery before it goes

void QDDevice::DataReceived(const uint8_t* report, size_t len) {
    // A report shorter than the model's layout is dropped whole: decoding part of it would mix
    // fresh bytes with stale ones.
    if (report == nullptr || len < InputReportLength(mType)) return;
    {
        std::lock_guard<std::recursive_mutex> lock(mUnitLock);
        mLastInput.length = static_cast<uint32_t>(std::min<size_t>(len, sizeof(mLastInput.raw)));
        std::memcpy(mLastInput.raw, report, mLastInput.length);
        mLastInput.value = report[0];
    }
    ElementChanged(report, len);
}

int32_t QDDevice::GetElementValue(int32_t element) {
    std::lock_guard<std::recursive_mutex> lock(mUnitLock);
    if (element < 0 || static_cast<uint32_t>(element) >= mLastInput.length) return 0;
    return mLastInput.raw[element];
}

uint32_t QDDevice::GetElementValueLong(int32_t element, uint8_t* buffer, uint32_t length) {
    if (buffer == nullptr || element < 0) return 0;
    std::lock_guard<std::recursive_mutex> lock(mUnitLock);
    if (static_cast<uint32_t>(element) >= mLastInput.length) return 0;
    const uint32_t n = std::min<uint32_t>(length, mLastInput.length - static_cast<uint32_t>(element));
    std::memcpy(buffer, mLastInput.raw + element, n);
    return n;
}

int QDDevice::GetDeviceIndex() const {
    return mIndex.load(std::memory_order_acquire);
}

QDDEV_HOT uint32_t QDDevice::SendFeature(uint8_t id, const uint8_t* payload, size_t n) {
    uint8_t report[64] = {};
    if (n + 1 > sizeof(report)) return QDDEV_ERR_NO_MEMORY;
    report[0] = id;
    if (n > 0) std::memcpy(report + 1, payload, n);
    const uint32_t rc = mConn->QueueFeatureReport(report, n + 1);
    return rc == 0 ? QDDEV_OK : (rc == QDDEV_ERR_NOT_CONNECTED ? rc : QDDEV_ERR_NOT_QUEUED);
}

uint32_t QDDevice::SendBrightness(uint8_t id, uint8_t level) {
    const uint32_t rc = SendFeatureByte(id, level);
    // Brightness of a unit that has gone is of no interest to anyone.
    return rc == QDDEV_ERR_NOT_CONNECTED ? QDDEV_OK : rc;
}

uint32_t QDDevice::SendOutput(uint8_t id, const uint8_t* payload, size_t n, size_t total) {
    uint8_t report[256] = {};
    if (total < n + 1) total = n + 1;
    if (total > sizeof(report)) total = sizeof(report);
    if (n + 1 > total) return QDDEV_ERR_NO_MEMORY;
    report[0] = id;
    if (n > 0) std::memcpy(report + 1, payload, n);
    const uint32_t rc = mConn->QueueOutputReport(report, total);
    return rc == 0 ? QDDEV_OK : (rc == QDDEV_ERR_NOT_CONNECTED ? rc : QDDEV_ERR_NOT_QUEUED);
}

uint32_t QDDevice::ReadFeature(uint8_t id, uint8_t* buf, size_t len, size_t need) {
    if (len == 0) return QDDEV_ERR_READ_FAILED;
    if (need == 0 || need > len) need = len;
    buf[0] = id;
    const int got = mConn->GetFeatureReport(buf, len);
    // A short answer would leave stale bytes where the fields are taken from.
    return got >= 0 && static_cast<size_t>(got) >= need ? QDDEV_OK : QDDEV_ERR_READ_FAILED;
}

uint32_t QDDevice::ReadFeatureByte(uint8_t id, uint8_t& value) {
    uint8_t buf[2] = {};
    const uint32_t rc = ReadFeature(id, buf, sizeof(buf));
    if (rc == QDDEV_OK) value = buf[1];
    return rc;
}

// ---- Registry --------------------------------------------------------------------------------

uint16_t QDDevice::CountDevicesOfType(tagQDDevHWType type) {
    std::lock_guard<std::recursive_mutex> lock(sMutex);
    return ValidType(type) ? sDevices[type].length : 0;
}

QDDEV_HOT std::shared_ptr<QDDevice> QDDevice::GetNthDeviceOfType(tagQDDevHWType type, int index) {
    const int16_t slot = static_cast<int16_t>(index); // only the low 16 bits count
    std::lock_guard<std::recursive_mutex> lock(sMutex);
    if (!ValidType(type) || slot < 0 || slot >= sDevices[type].length) return nullptr;
    return sDevices[type].slot[slot];
}

std::shared_ptr<QDDevice> QDDevice::GetDeviceByLocation(int32_t location) {
    std::lock_guard<std::recursive_mutex> lock(sMutex);
    for (const SlotList& list : sDevices)
        for (uint16_t i = 0; i < list.length; ++i)
            if (list.slot[i] && list.slot[i]->Location() == location) return list.slot[i];
    return nullptr;
}

bool QDDevice::HasFreeSlot(tagQDDevHWType type) {
    std::lock_guard<std::recursive_mutex> lock(sMutex);
    if (!ValidType(type)) return false;
    const SlotList& list = sDevices[type];
    if (list.length < kCapacity[type]) return true;
    for (uint16_t i = 0; i < list.length; ++i)
        if (!list.slot[i]) return true;
    return false;
}

bool QDDevice::Register(const std::shared_ptr<QDDevice>& device) {
    const tagQDDevHWType type = device->GetDeviceType();
    std::lock_guard<std::recursive_mutex> lock(sMutex);
    if (!ValidType(type)) return false;
    SlotList& list = sDevices[type];
    for (uint16_t i = 0; i < list.length; ++i) {
        if (!list.slot[i]) {
            list.slot[i] = device;
            device->mIndex.store(i, std::memory_order_release);
            return true;
        }
    }
    if (list.length >= kCapacity[type]) return false;
    device->mIndex.store(list.length, std::memory_order_release);
    list.slot[list.length++] = device;
    return true;
}

void QDDevice::Destroy(std::shared_ptr<QDDevice> device) {
    if (!device) return;
    // Input first: once stopped, no report for this unit can be in flight, so the slot can go.
    device->StopInput();
    {
        std::lock_guard<std::recursive_mutex> lock(sMutex);
        SlotList& list = sDevices[device->GetDeviceType()];
        for (uint16_t i = 0; i < list.length; ++i)
            if (list.slot[i] == device) list.slot[i].reset();
        device->mIndex.store(-1, std::memory_order_release);
    }
    // A client call still holding the object finishes on the stopped connection (result 3) and
    // frees it; otherwise it is freed here.
    device.reset();
}

void QDDevice::DeleteAllDevices() {
    std::vector<std::shared_ptr<QDDevice>> all;
    all.reserve(kMaxSlots * QDDEV_TYPE_LIMIT);
    {
        std::lock_guard<std::recursive_mutex> lock(sMutex);
        for (const SlotList& list : sDevices)
            for (uint16_t i = 0; i < list.length; ++i)
                if (list.slot[i]) all.push_back(list.slot[i]);
    }
    // Every unit is told to stop before any is waited for, so that the bounded waits of units
    // that do not answer run side by side rather than one after another.
    for (auto& device : all)
        device->RequestStop();
    for (auto& device : all)
        Destroy(std::move(device));
}

} // namespace qddev
