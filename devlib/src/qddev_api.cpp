// The flat call interface: argument checks, then a registry lookup, then the device object.
#include "hot_path.h"
#include "platform_override.h"
#include "qd_factory.h"
#include "qd_models.h"
#include "qddev.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace qddev {
namespace {

std::mutex gLifeMutex; // serialises QDDev_Init and QDDev_Terminate
std::atomic<bool> gInitialised{false};
std::unique_ptr<HidPlatform> gPlatform;
QDDeviceFactory gFactory;
std::atomic<HidPlatformFactory> gPlatformFactory{nullptr};

// Must be called with gLifeMutex held.
void Shutdown() {
    gInitialised.store(false);
    // Stop the notification thread first so that no arrival can slip in behind the deletion;
    // the connections themselves stay valid until their device objects go.
    if (gPlatform) gPlatform->Stop();
    QDDevice::DeleteAllDevices();
    gPlatform.reset();
    std::lock_guard<CallbackMutex> lock(CallbackLock());
    Callbacks() = CallbackSet{};
}

template <class Device, class Fn> QDDEV_HOT uint32_t WithDevice(tagQDDevHWType type, int index, Fn&& fn) {
    if (!gInitialised.load()) return QDDEV_ERR_NOT_INITIALISED;
    // The shared reference keeps the object alive even if its unit is removed meanwhile.
    const std::shared_ptr<QDDevice> device = QDDevice::GetNthDeviceOfType(type, index);
    if (!device) return QDDEV_ERR_NO_UNIT;
    return fn(static_cast<Device&>(*device)); // a slot only ever holds its own model
}

template <class T> uint32_t Register(T& slot, T cb) {
    if (cb == nullptr) return 0;
    std::lock_guard<CallbackMutex> lock(CallbackLock());
    slot = cb;
    return 1;
}

template <class T> uint32_t Unregister(T& slot) {
    std::lock_guard<CallbackMutex> lock(CallbackLock());
    const bool had = slot != nullptr;
    slot = nullptr;
    return had ? 1 : 0;
}

void CopyText(char* dst, size_t size, const char* src) {
    std::snprintf(dst, size, "%s", src);
}

} // namespace

void SetHidPlatformFactory(HidPlatformFactory factory) {
    gPlatformFactory.store(factory);
}

} // namespace qddev

using namespace qddev;

// ---- Global functions --------------------------------------------------------------------------

const char* QDHWType2Text(tagQDDevHWType type) {
    static constexpr const char* kNames[QDDEV_TYPE_LIMIT] = {
        "NONE",  "QDAVX",  "QDPBX", "QDTGX", "QDGTP", "QDRSX", "QDAPC", "QDKNB", "QDAVY", "QDTHQ",
        "QDTXP", "QDGTP2", "QDAPX", "QDNDC", "QDECP", "QDCDU", "QDPWR", "QDSSM", "QDANP", "QDIOB"};
    const auto n = static_cast<uint32_t>(type);
    return n < QDDEV_TYPE_LIMIT ? kNames[n] : "";
}

uint32_t QDDev_Init(void* /*platform_handle: only for platforms that need a window*/) {
    std::lock_guard<std::mutex> life(gLifeMutex);
    if (gInitialised.load()) Shutdown();
    const HidPlatformFactory make = gPlatformFactory.load();
    gPlatform = make != nullptr ? make() : CreateHidPlatform();
    if (!gPlatform) return QDDEV_ERR_NO_HID_SERVICE;
    gInitialised.store(true);
    if (!gPlatform->Start(&gFactory)) {
        gInitialised.store(false);
        QDDevice::DeleteAllDevices();
        gPlatform.reset();
        return QDDEV_ERR_NO_HID_SERVICE;
    }
    return QDDEV_OK;
}

uint32_t QDDev_Terminate(void) {
    std::lock_guard<std::mutex> life(gLifeMutex);
    if (!gInitialised.load()) return QDDEV_ERR_NOT_INITIALISED;
    Shutdown();
    return QDDEV_OK;
}

uint32_t QDDev_GetDeviceInfo(tagQDDevHWType type, uint16_t index, QDDevInfo* info) {
    if (info == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    if (!gInitialised.load()) return QDDEV_ERR_NOT_INITIALISED;
    if (SlotCapacity(type) == 0) {
        CopyText(info->location, sizeof(info->location), "0");
        info->version = 0;
        return QDDEV_OK;
    }
    return WithDevice<QDDevice>(type, index, [&](QDDevice& d) {
        const HidInfo& hid = d.Info();
        if (hid.path[0] != '\0')
            CopyText(info->location, sizeof(info->location), hid.path);
        else
            std::snprintf(info->location, sizeof(info->location), "%x", static_cast<unsigned>(hid.location));
        info->version = hid.version;
        return QDDEV_OK;
    });
}

uint32_t QDDev_GetDeviceInfoEx(tagQDDevHWType type, uint16_t index, QDDevInfoEx* info) {
    if (info == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    if (info->size != QDDEV_INFO_EX_SIZE) return QDDEV_OK;
    if (!gInitialised.load()) return QDDEV_ERR_NOT_INITIALISED;
    if (SlotCapacity(type) == 0) return QDDEV_ERR_NO_UNIT;
    return WithDevice<QDDevice>(type, index, [&](QDDevice& d) {
        const HidInfo& hid = d.Info();
        CopyText(info->path, sizeof(info->path), hid.path);
        info->version = hid.version;
        CopyText(info->serial, sizeof(info->serial), hid.serial);
        info->output_report_len = hid.output_report_len;
        return QDDEV_OK;
    });
}

uint32_t QDDev_RegisterInputCallback(QDDevInputCallback cb) {
    return Register(Callbacks().input, cb);
}
uint32_t QDDev_UnregisterInputCallback(void) {
    return Unregister(Callbacks().input);
}
uint32_t QDDev_RegisterConnectCallback(QDDevConnectCallback cb) {
    return Register(Callbacks().connect, cb);
}
uint32_t QDDev_UnregisterConnectCallback(void) {
    return Unregister(Callbacks().connect);
}
uint32_t QDDev_RegisterWakeupCallback(QDDevWakeupCallback cb) {
    return Register(Callbacks().wakeup, cb);
}
uint32_t QDDev_UnregisterWakeupCallback(void) {
    return Unregister(Callbacks().wakeup);
}

// ---- QD-AVX, QD-AVY ----------------------------------------------------------------------------

namespace {

template <class Device> uint32_t GetDialVals(tagQDDevHWType type, int index, short* enc1, short* enc2) {
    return WithDevice<Device>(type, index, [&](Device& d) {
        int16_t enc[2];
        d.ReadAndResetEncoders(enc);
        // Null pointers are tolerated here: the counts are still consumed.
        if (enc1 != nullptr) *enc1 = enc[0];
        if (enc2 != nullptr) *enc2 = enc[1];
        return QDDEV_OK;
    });
}

template <class Device> uint32_t SetAlpha(tagQDDevHWType type, int index, const char* text) {
    if (text == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetAlpha(text); });
}

template <class Device> uint32_t SetAlphaSegments(tagQDDevHWType type, int index, const unsigned char* seg) {
    if (seg == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetAlphaSegments(seg); });
}

template <class Device> uint32_t SetNumeric(tagQDDevHWType type, int index, const char* text) {
    if (text == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetNumeric(text); });
}

template <class Device>
uint32_t SetNumericSegments(tagQDDevHWType type, int index, const unsigned char* seg) {
    if (seg == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetNumericSegments(seg); });
}

template <class Device> uint32_t SetBrightness(tagQDDevHWType type, int index, int level) {
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetBrightness(level); });
}

template <class Device> uint32_t GetBrightness(tagQDDevHWType type, int index, unsigned int* level) {
    if (level == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) {
        uint8_t value = 0;
        const uint32_t rc = d.GetBrightness(value);
        if (rc == QDDEV_OK) *level = value;
        return rc;
    });
}

template <class Device> uint32_t GetIndicators(tagQDDevHWType type, int index, unsigned char* lamps) {
    if (lamps == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) {
        uint8_t value = 0;
        const uint32_t rc = d.GetIndicators(value);
        if (rc == QDDEV_OK) *lamps = value;
        return rc;
    });
}

template <class Device> uint32_t SetIndicators(tagQDDevHWType type, int index, unsigned char lamps) {
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetIndicators(lamps); });
}

template <class Device> uint32_t SetLampBrightness(tagQDDevHWType type, int index, unsigned char level) {
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetBrightness(level); });
}

template <class Device>
QDDEV_HOT uint32_t SetDisplayText(tagQDDevHWType type, int index, int display, const char* text) {
    if (text == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetDisplayText(display, text); });
}

template <class Device>
uint32_t SetDisplaySegments(tagQDDevHWType type, int index, int display, const unsigned char* seg) {
    if (seg == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) { return d.SetDisplaySegments(display, seg); });
}

template <class Device> uint32_t GetSwitchByte(tagQDDevHWType type, int index, unsigned char* switches) {
    if (switches == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<Device>(type, index, [&](Device& d) {
        *switches = d.GetSwitchStates().switches;
        return QDDEV_OK;
    });
}

} // namespace

uint16_t QDAVX_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_AVX);
}
uint32_t QDAVX_GetDialVals(int index, short* enc1, short* enc2) {
    return GetDialVals<QDAVXDevice>(QDHW_AVX, index, enc1, enc2);
}
uint32_t QDAVX_SetAlpha(int index, const char* text) {
    return SetAlpha<QDAVXDevice>(QDHW_AVX, index, text);
}
uint32_t QDAVX_SetAlphaSegments(int index, const unsigned char seg[8]) {
    return SetAlphaSegments<QDAVXDevice>(QDHW_AVX, index, seg);
}
uint32_t QDAVX_SetNumeric(int index, const char* text) {
    return SetNumeric<QDAVXDevice>(QDHW_AVX, index, text);
}
uint32_t QDAVX_SetNumericSegments(int index, const unsigned char seg[5]) {
    return SetNumericSegments<QDAVXDevice>(QDHW_AVX, index, seg);
}
uint32_t QDAVX_SetBrightness(int index, int level) {
    return SetBrightness<QDAVXDevice>(QDHW_AVX, index, level);
}

uint16_t QDAVY_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_AVY);
}
uint32_t QDAVY_GetDialVals(int index, short* enc1, short* enc2) {
    return GetDialVals<QDAVYDevice>(QDHW_AVY, index, enc1, enc2);
}
uint32_t QDAVY_SetAlpha(int index, const char* text) {
    return SetAlpha<QDAVYDevice>(QDHW_AVY, index, text);
}
uint32_t QDAVY_SetAlphaSegments(int index, const unsigned char seg[8]) {
    return SetAlphaSegments<QDAVYDevice>(QDHW_AVY, index, seg);
}
uint32_t QDAVY_SetNumeric(int index, const char* text) {
    return SetNumeric<QDAVYDevice>(QDHW_AVY, index, text);
}
uint32_t QDAVY_SetNumericSegments(int index, const unsigned char seg[6]) {
    return SetNumericSegments<QDAVYDevice>(QDHW_AVY, index, seg);
}
uint32_t QDAVY_SetBrightness(int index, int level) {
    return SetBrightness<QDAVYDevice>(QDHW_AVY, index, level);
}
uint32_t QDAVY_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDAVYDevice>(QDHW_AVY, index, level);
}

// ---- QD-RSX ------------------------------------------------------------------------------------

uint16_t QDRSX_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_RSX);
}
uint32_t QDRSX_GetControlVals(int index, short* left, short* right, unsigned char* switches) {
    if (left == nullptr || right == nullptr || switches == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDRSXDevice>(QDHW_RSX, index, [&](QDRSXDevice& d) {
        const QDRSXControlVals rec = d.ReadControls();
        *left = rec.left;
        *right = rec.right;
        *switches = rec.switches;
        return QDDEV_OK;
    });
}
uint32_t QDRSX_GetIndicators(int index, unsigned char* lamps) {
    return GetIndicators<QDRSXDevice>(QDHW_RSX, index, lamps);
}
uint32_t QDRSX_SetIndicators(int index, unsigned char lamps) {
    return SetIndicators<QDRSXDevice>(QDHW_RSX, index, lamps);
}
QDDEV_HOT uint32_t QDRSX_SetLDisplayText(int index, const char* text) {
    return SetDisplayText<QDRSXDevice>(QDHW_RSX, index, 0, text);
}
uint32_t QDRSX_SetLDisplaySegments(int index, const unsigned char seg[6]) {
    return SetDisplaySegments<QDRSXDevice>(QDHW_RSX, index, 0, seg);
}
QDDEV_HOT uint32_t QDRSX_SetRDisplayText(int index, const char* text) {
    return SetDisplayText<QDRSXDevice>(QDHW_RSX, index, 1, text);
}
uint32_t QDRSX_SetRDisplaySegments(int index, const unsigned char seg[6]) {
    return SetDisplaySegments<QDRSXDevice>(QDHW_RSX, index, 1, seg);
}
uint32_t QDRSX_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDRSXDevice>(QDHW_RSX, index, level);
}
uint32_t QDRSX_SetBrightness(int index, unsigned char level) {
    return SetLampBrightness<QDRSXDevice>(QDHW_RSX, index, level);
}
uint32_t QDRSX_SetEncoderType(int index, unsigned char left, unsigned char right) {
    return WithDevice<QDRSXDevice>(QDHW_RSX, index,
                                   [&](QDRSXDevice& d) { return d.SetEncoderType(left, right); });
}

// ---- QD-PBX, QD-TGX ----------------------------------------------------------------------------

uint16_t QDPBX_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_PBX);
}
uint32_t QDPBX_GetSwitchVals(int index, unsigned char* switches) {
    return GetSwitchByte<QDPBXDevice>(QDHW_PBX, index, switches);
}
uint32_t QDPBX_GetIndicators(int index, unsigned char* lamps) {
    return GetIndicators<QDPBXDevice>(QDHW_PBX, index, lamps);
}
uint32_t QDPBX_SetIndicators(int index, unsigned char lamps) {
    return SetIndicators<QDPBXDevice>(QDHW_PBX, index, lamps);
}
uint32_t QDPBX_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDPBXDevice>(QDHW_PBX, index, level);
}
uint32_t QDPBX_SetBrightness(int index, unsigned char level) {
    return SetLampBrightness<QDPBXDevice>(QDHW_PBX, index, level);
}

uint16_t QDTGX_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_TGX);
}
uint32_t QDTGX_GetSwitchVals(int index, unsigned char* switches) {
    return GetSwitchByte<QDTGXDevice>(QDHW_TGX, index, switches);
}
uint32_t QDTGX_GetIndicators(int index, unsigned char* lamps) {
    return GetIndicators<QDTGXDevice>(QDHW_TGX, index, lamps);
}
uint32_t QDTGX_SetIndicators(int index, unsigned char lamps) {
    return SetIndicators<QDTGXDevice>(QDHW_TGX, index, lamps);
}
uint32_t QDTGX_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDTGXDevice>(QDHW_TGX, index, level);
}
uint32_t QDTGX_SetBrightness(int index, unsigned char level) {
    return SetLampBrightness<QDTGXDevice>(QDHW_TGX, index, level);
}

// ---- QD-KNB, QD-GTP, QD-GTP2 -------------------------------------------------------------------

uint16_t QDKNB_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_KNB);
}
uint32_t QDKNB_GetControlVals(int index, short* e1, short* e2, short* e3, short* e4,
                              unsigned char* switches) {
    if (!e1 || !e2 || !e3 || !e4 || !switches) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDKNBDevice>(QDHW_KNB, index, [&](QDKNBDevice& d) {
        const QDKNBControlVals rec = d.ReadControls();
        *e1 = rec.enc[0];
        *e2 = rec.enc[1];
        *e3 = rec.enc[2];
        *e4 = rec.enc[3];
        *switches = rec.switches;
        return QDDEV_OK;
    });
}
uint32_t QDKNB_GetIndicators(int index, unsigned char* lamps) {
    return GetIndicators<QDKNBDevice>(QDHW_KNB, index, lamps);
}
uint32_t QDKNB_SetIndicators(int index, unsigned char lamps) {
    return SetIndicators<QDKNBDevice>(QDHW_KNB, index, lamps);
}
uint32_t QDKNB_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDKNBDevice>(QDHW_KNB, index, level);
}
uint32_t QDKNB_SetBrightness(int index, unsigned char level) {
    return SetLampBrightness<QDKNBDevice>(QDHW_KNB, index, level);
}

uint16_t QDGTP_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_GTP);
}
uint32_t QDGTP_GetControlVals(int index, short* trim, unsigned char* switches) {
    if (!trim || !switches) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDGTPDevice>(QDHW_GTP, index, [&](QDGTPDevice& d) {
        const QDGTPControlVals rec = d.ReadControls();
        *trim = rec.trim;
        *switches = rec.switches;
        return QDDEV_OK;
    });
}
uint32_t QDGTP_GetIndicators(int index, unsigned char* lamps) {
    return GetIndicators<QDGTPDevice>(QDHW_GTP, index, lamps);
}
uint32_t QDGTP_SetIndicators(int index, unsigned char lamps) {
    return SetIndicators<QDGTPDevice>(QDHW_GTP, index, lamps);
}
uint32_t QDGTP_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDGTPDevice>(QDHW_GTP, index, level);
}
uint32_t QDGTP_SetBrightness(int index, unsigned char level) {
    return SetLampBrightness<QDGTPDevice>(QDHW_GTP, index, level);
}

uint16_t QDGTP2_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_GTP2);
}
uint32_t QDGTP2_GetControlVals(int index, short* e1, short* e2, short* e3, unsigned char* switches) {
    if (!e1 || !e2 || !e3 || !switches) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDGTP2Device>(QDHW_GTP2, index, [&](QDGTP2Device& d) {
        const QDGTP2ControlVals rec = d.ReadControls();
        *e1 = rec.enc[0];
        *e2 = rec.enc[1];
        *e3 = rec.enc[2];
        *switches = rec.switches;
        return QDDEV_OK;
    });
}
uint32_t QDGTP2_GetIndicators(int index, unsigned char* lamps) {
    return GetIndicators<QDGTP2Device>(QDHW_GTP2, index, lamps);
}
uint32_t QDGTP2_SetIndicators(int index, unsigned char lamps) {
    return SetIndicators<QDGTP2Device>(QDHW_GTP2, index, lamps);
}
uint32_t QDGTP2_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDGTP2Device>(QDHW_GTP2, index, level);
}
uint32_t QDGTP2_SetBrightness(int index, unsigned char level) {
    return SetLampBrightness<QDGTP2Device>(QDHW_GTP2, index, level);
}

// ---- QD-APC, QD-APX ----------------------------------------------------------------------------

uint16_t QDAPC_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_APC);
}
uint32_t QDAPC_GetControlVals(int index, short* e1, short* e2, short* e3, short* e4, short* e5,
                              unsigned char* sw1, unsigned char* sw2) {
    if (!e1 || !e2 || !e3 || !e4 || !e5 || !sw1 || !sw2) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDAPCDevice>(QDHW_APC, index, [&](QDAPCDevice& d) {
        const QDAPCControlVals rec = d.ReadControls();
        short* const out[5] = {e1, e2, e3, e4, e5};
        for (int i = 0; i < 5; ++i)
            *out[i] = rec.enc[i];
        *sw1 = rec.switches1;
        *sw2 = rec.switches2;
        return QDDEV_OK;
    });
}
uint32_t QDAPC_GetIndicators(int index, unsigned char* lamps) {
    return GetIndicators<QDAPCDevice>(QDHW_APC, index, lamps);
}
uint32_t QDAPC_SetIndicators(int index, unsigned char lamps) {
    return SetIndicators<QDAPCDevice>(QDHW_APC, index, lamps);
}
uint32_t QDAPC_SetADisplayText(int index, const char* text) {
    return SetDisplayText<QDAPCDevice>(QDHW_APC, index, 0, text);
}
uint32_t QDAPC_SetBDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPCDevice>(QDHW_APC, index, 1, text);
}
uint32_t QDAPC_SetCDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPCDevice>(QDHW_APC, index, 2, text);
}
uint32_t QDAPC_SetDDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPCDevice>(QDHW_APC, index, 3, text);
}
uint32_t QDAPC_SetEDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPCDevice>(QDHW_APC, index, 4, text);
}
uint32_t QDAPC_SetADisplaySegments(int index, const unsigned char seg[3]) {
    return SetDisplaySegments<QDAPCDevice>(QDHW_APC, index, 0, seg);
}
uint32_t QDAPC_SetBDisplaySegments(int index, const unsigned char seg[3]) {
    return SetDisplaySegments<QDAPCDevice>(QDHW_APC, index, 1, seg);
}
uint32_t QDAPC_SetCDisplaySegments(int index, const unsigned char seg[3]) {
    return SetDisplaySegments<QDAPCDevice>(QDHW_APC, index, 2, seg);
}
uint32_t QDAPC_SetDDisplaySegments(int index, const unsigned char seg[6]) {
    return SetDisplaySegments<QDAPCDevice>(QDHW_APC, index, 3, seg);
}
uint32_t QDAPC_SetEDisplaySegments(int index, const unsigned char seg[6]) {
    return SetDisplaySegments<QDAPCDevice>(QDHW_APC, index, 4, seg);
}
uint32_t QDAPC_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDAPCDevice>(QDHW_APC, index, level);
}
uint32_t QDAPC_SetBrightness(int index, unsigned char level) {
    return SetLampBrightness<QDAPCDevice>(QDHW_APC, index, level);
}

uint16_t QDAPX_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_APX);
}
uint32_t QDAPX_GetControlVals(int index, short* e1, short* e2, short* e3, short* e4, short* e5, short* e6,
                              unsigned int* switches) {
    if (!e1 || !e2 || !e3 || !e4 || !e5 || !e6 || !switches) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDAPXDevice>(QDHW_APX, index, [&](QDAPXDevice& d) {
        const QDAPXControlVals rec = d.ReadControls();
        short* const out[6] = {e1, e2, e3, e4, e5, e6};
        for (int i = 0; i < 6; ++i)
            *out[i] = rec.enc[i];
        *switches = rec.switches;
        return QDDEV_OK;
    });
}
uint32_t QDAPX_GetIndicators(int index, unsigned int* lamps) {
    if (lamps == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDAPXDevice>(QDHW_APX, index, [&](QDAPXDevice& d) {
        uint32_t value = 0;
        const uint32_t rc = d.GetIndicators(value);
        if (rc == QDDEV_OK) *lamps = value;
        return rc;
    });
}
uint32_t QDAPX_SetIndicators(int index, unsigned int lamps) {
    return WithDevice<QDAPXDevice>(QDHW_APX, index, [&](QDAPXDevice& d) { return d.SetIndicators(lamps); });
}
uint32_t QDAPX_SetADisplayText(int index, const char* text) {
    return SetDisplayText<QDAPXDevice>(QDHW_APX, index, 0, text);
}
uint32_t QDAPX_SetBDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPXDevice>(QDHW_APX, index, 1, text);
}
uint32_t QDAPX_SetCDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPXDevice>(QDHW_APX, index, 2, text);
}
uint32_t QDAPX_SetDDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPXDevice>(QDHW_APX, index, 3, text);
}
uint32_t QDAPX_SetEDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPXDevice>(QDHW_APX, index, 4, text);
}
uint32_t QDAPX_SetFDisplayText(int index, const char* text) {
    return SetDisplayText<QDAPXDevice>(QDHW_APX, index, 5, text);
}
uint32_t QDAPX_SetADisplaySegments(int index, const unsigned char seg[3]) {
    return SetDisplaySegments<QDAPXDevice>(QDHW_APX, index, 0, seg);
}
uint32_t QDAPX_SetBDisplaySegments(int index, const unsigned char seg[5]) {
    return SetDisplaySegments<QDAPXDevice>(QDHW_APX, index, 1, seg);
}
uint32_t QDAPX_SetCDisplaySegments(int index, const unsigned char seg[5]) {
    return SetDisplaySegments<QDAPXDevice>(QDHW_APX, index, 2, seg);
}
uint32_t QDAPX_SetDDisplaySegments(int index, const unsigned char seg[5]) {
    return SetDisplaySegments<QDAPXDevice>(QDHW_APX, index, 3, seg);
}
uint32_t QDAPX_SetEDisplaySegments(int index, const unsigned char seg[5]) {
    return SetDisplaySegments<QDAPXDevice>(QDHW_APX, index, 4, seg);
}
uint32_t QDAPX_SetFDisplaySegments(int index, const unsigned char seg[3]) {
    return SetDisplaySegments<QDAPXDevice>(QDHW_APX, index, 5, seg);
}
uint32_t QDAPX_GetBrightness(int index, unsigned int* level) {
    return GetBrightness<QDAPXDevice>(QDHW_APX, index, level);
}
uint32_t QDAPX_SetBrightness(int index, unsigned char level) {
    return SetLampBrightness<QDAPXDevice>(QDHW_APX, index, level);
}

// ---- QD-THQ, QD-NDC, QD-ECP, QD-SSM ------------------------------------------------------------

uint16_t QDTHQ_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_THQ);
}
uint32_t QDTHQ_GetControlVals(int index, unsigned char* lever1, unsigned char* lever2, unsigned char* lever3,
                              unsigned char* lever4, unsigned char* lever5, unsigned char* lever6,
                              unsigned char* switches) {
    unsigned char* const out[6] = {lever1, lever2, lever3, lever4, lever5, lever6};
    for (unsigned char* p : out)
        if (p == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    if (switches == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDTHQDevice>(QDHW_THQ, index, [&](QDTHQDevice& d) {
        const QDTHQControlVals rec = d.ReadControls();
        for (int i = 0; i < 6; ++i)
            *out[i] = rec.lever[i];
        *switches = rec.switches;
        return QDDEV_OK;
    });
}

uint16_t QDNDC_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_NDC);
}
uint32_t QDNDC_GetControlVals(int index, short* enc1, short* enc2, unsigned short* switches,
                              unsigned char* selectors) {
    if (!enc1 || !enc2 || !switches || !selectors) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDNDCDevice>(QDHW_NDC, index, [&](QDNDCDevice& d) {
        const QDNDCControlVals rec = d.ReadControls();
        *enc1 = rec.enc1;
        *enc2 = rec.enc2;
        *switches = rec.switches;
        *selectors = rec.selectors;
        return QDDEV_OK;
    });
}

uint16_t QDECP_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_ECP);
}
uint32_t QDECP_GetControlVals(int index, unsigned char* position, unsigned char* a, unsigned char* b,
                              unsigned char* c, unsigned short* switches) {
    if (!position || !a || !b || !c || !switches) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDECPDevice>(QDHW_ECP, index, [&](QDECPDevice& d) {
        const QDECPControlVals rec = d.GetSwitchStates();
        *position = rec.position;
        *a = rec.a;
        *b = rec.b;
        *c = rec.c;
        *switches = rec.switches;
        return QDDEV_OK;
    });
}

uint16_t QDSSM_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_SSM);
}
uint32_t QDSSM_GetControlVals(int index, unsigned char* sel1, unsigned char* sel2, unsigned char* sel3) {
    if (!sel1 || !sel2 || !sel3) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDSSMDevice>(QDHW_SSM, index, [&](QDSSMDevice& d) {
        const QDSSMControlVals rec = d.GetSwitchStates();
        *sel1 = rec.sel1;
        *sel2 = rec.sel2;
        *sel3 = rec.sel3;
        return QDDEV_OK;
    });
}

// ---- QD-ANP ------------------------------------------------------------------------------------

uint16_t QDANP_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_ANP);
}
uint32_t QDANP_GetControlVals(int index, unsigned char* buttons) {
    if (buttons == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDANPDevice>(QDHW_ANP, index, [&](QDANPDevice& d) {
        *buttons = d.GetSwitchStates().buttons;
        return QDDEV_OK;
    });
}
uint32_t QDANP_GetIndColorValue(int index, unsigned char indicator, unsigned char* colour) {
    if (colour == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDANPDevice>(QDHW_ANP, index, [&](QDANPDevice& d) {
        uint8_t value = 0;
        const uint32_t rc = d.GetIndColorValue(indicator, value);
        if (rc == QDDEV_OK) *colour = value;
        return rc;
    });
}
uint32_t QDANP_SetIndColorValue(int index, unsigned char indicator, unsigned char colour) {
    return WithDevice<QDANPDevice>(QDHW_ANP, index,
                                   [&](QDANPDevice& d) { return d.SetIndColorValue(indicator, colour); });
}
uint32_t QDANP_GetBrightness(int index, unsigned int* level) {
    if (level == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDANPDevice>(QDHW_ANP, index, [&](QDANPDevice& d) {
        *level = d.GetBrightness();
        return QDDEV_OK;
    });
}
uint32_t QDANP_SetBrightness(int index, unsigned short level) {
    return WithDevice<QDANPDevice>(QDHW_ANP, index, [&](QDANPDevice& d) { return d.SetBrightness(level); });
}

// ---- QD-IOB ------------------------------------------------------------------------------------

uint16_t QDIOB_GetNumDevices(void) {
    return QDDevice::CountDevicesOfType(QDHW_IOB);
}
uint32_t QDIOB_GetSwitchVals(int index, unsigned char* first) {
    if (first == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDIOBDevice>(QDHW_IOB, index, [&](QDIOBDevice& d) {
        *first = d.GetSwitchStates().inputs[0];
        return QDDEV_OK;
    });
}
uint32_t QDIOB_SetIndicators(int index, unsigned char o1, unsigned char o2, unsigned char o3,
                             unsigned char o4) {
    return WithDevice<QDIOBDevice>(QDHW_IOB, index,
                                   [&](QDIOBDevice& d) { return d.SetIndicators(o1, o2, o3, o4); });
}
uint32_t QDIOB_GetIndColorValue(int index, unsigned char, unsigned char* colour) {
    if (colour == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDIOBDevice>(QDHW_IOB, index, [](QDIOBDevice&) { return QDDEV_OK; });
}
uint32_t QDIOB_GetBrightness(int index, unsigned int* level) {
    if (level == nullptr) return QDDEV_ERR_BAD_ARGUMENT;
    return WithDevice<QDIOBDevice>(QDHW_IOB, index, [](QDIOBDevice&) { return QDDEV_OK; });
}
uint32_t QDIOB_SetBrightness(int index, unsigned char) {
    return WithDevice<QDIOBDevice>(QDHW_IOB, index, [](QDIOBDevice&) { return QDDEV_OK; });
}
