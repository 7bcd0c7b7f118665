#include "qd_models.h"

namespace qddev {

// ---- Display units -----------------------------------------------------------------------------

bool QDAVXDevice::Decode(const uint8_t* r, QDAVXControlVals&, int16_t* steps) {
    steps[0] = StepsOf(r[1]);
    steps[1] = StepsOf(r[2]);
    return true;
}

bool QDAVYDevice::Decode(const uint8_t* r, QDAVYControlVals& fields, int16_t* steps) {
    steps[0] = StepsOf(r[1]);
    steps[1] = StepsOf(r[2]);
    fields.button = r[3];
    return true;
}

bool QDRSXDevice::Decode(const uint8_t* r, QDRSXControlVals& fields, int16_t* steps) {
    steps[0] = StepsOf(r[1]);
    steps[1] = StepsOf(r[2]);
    fields.switches = r[3];
    return true;
}

bool QDAPCDevice::Decode(const uint8_t* r, QDAPCControlVals& fields, int16_t* steps) {
    for (int i = 0; i < 5; ++i)
        steps[i] = StepsOf(r[1 + i]);
    fields.switches1 = r[6];
    fields.switches2 = r[7];
    return true;
}

namespace {
int16_t Nibble(uint8_t n) {
    return static_cast<int16_t>(n >= 8 ? n - 16 : n);
}
} // namespace

bool QDAPXDevice::Decode(const uint8_t* r, QDAPXControlVals& fields, int16_t* steps) {
    steps[0] = Nibble(r[1] >> 4);
    steps[1] = Nibble(r[2] >> 4);
    steps[2] = Nibble(r[1] & 0x0f);
    steps[3] = Nibble(r[3] >> 4);
    steps[4] = Nibble(r[2] & 0x0f);
    steps[5] = Nibble(r[3] & 0x0f);
    fields.switches = (uint32_t{r[4]} << 24) | (uint32_t{r[5]} << 16) | (uint32_t{r[6]} << 8) | r[7];
    return true;
}

uint32_t QDAPXDevice::GetIndicators(uint32_t& lamps) {
    uint8_t buf[5] = {};
    const uint32_t rc = ReadFeature(15, buf, sizeof(buf));
    if (rc == QDDEV_OK)
        lamps = (uint32_t{buf[1]} << 24) | (uint32_t{buf[2]} << 16) | (uint32_t{buf[3]} << 8) | buf[4];
    return rc;
}

uint32_t QDAPXDevice::SetIndicators(uint32_t lamps) {
    const uint8_t payload[4] = {static_cast<uint8_t>(lamps >> 24), static_cast<uint8_t>(lamps >> 16),
                                static_cast<uint8_t>(lamps >> 8), static_cast<uint8_t>(lamps)};
    return SendFeature(15, payload, sizeof(payload));
}

bool QDANPDevice::Decode(const uint8_t* r, QDANPControlVals& fields, int16_t*) {
    fields.buttons = r[1];
    return true;
}

void QDANPDevice::Open() {
    ReadStateLikeInput(4);
    {
        std::lock_guard<std::recursive_mutex> lock(mUnitLock);
        mLevel = 15;
    }
    for (uint8_t lamp = 1; lamp <= kLamps; ++lamp)
        SetIndColorValue(lamp, 0);
}

uint32_t QDANPDevice::SetIndColorValue(uint8_t indicator, uint8_t colour) {
    if (indicator < 1 || indicator > kLamps) return QDDEV_ERR_BAD_ARGUMENT;
    if (colour > 7) return QDDEV_OK;
    // Held across the queueing (which never waits) so concurrent callers cannot store one
    // triple and send another.
    std::lock_guard<std::recursive_mutex> lock(mUnitLock);
    const int i = indicator - 1;
    mColour[i] = colour;
    uint8_t rgb[3] = {};
    ConvertColorValueToRGB(colour, mLevel, &rgb[0], &rgb[1], &rgb[2]);
    const uint8_t payload[4] = {indicator, rgb[0], rgb[1], rgb[2]};
    const uint32_t rc = SendOutput(2, payload, sizeof(payload), 5);
    if (rc == QDDEV_OK) std::memcpy(gIndColors[i], rgb, sizeof(rgb));
    return rc;
}

uint32_t QDANPDevice::GetIndColorValue(uint8_t indicator, uint8_t& colour) {
    if (indicator < 1 || indicator > kLamps) return QDDEV_ERR_BAD_ARGUMENT;
    std::lock_guard<std::recursive_mutex> lock(mUnitLock);
    colour = mColour[indicator - 1];
    return QDDEV_OK;
}

uint32_t QDANPDevice::SetBrightness(uint16_t level) {
    std::lock_guard<std::recursive_mutex> lock(mUnitLock);
    mLevel = static_cast<uint8_t>(level & 0x0f);
    uint32_t result = QDDEV_OK;
    for (uint8_t lamp = 1; lamp <= kLamps; ++lamp) {
        const uint32_t rc = SetIndColorValue(lamp, mColour[lamp - 1]);
        if (result == QDDEV_OK) result = rc;
    }
    return result == QDDEV_ERR_NOT_CONNECTED ? QDDEV_OK : result;
}

uint8_t QDANPDevice::GetBrightness() {
    std::lock_guard<std::recursive_mutex> lock(mUnitLock);
    return mLevel;
}

// ---- Control panels ----------------------------------------------------------------------------

bool QDSwitchLampDevice::Decode(const uint8_t* r, QDPBXControlVals& fields, int16_t*) {
    fields.switches = r[1];
    return true;
}

bool QDKNBDevice::Decode(const uint8_t* r, QDKNBControlVals& fields, int16_t* steps) {
    for (int i = 0; i < 4; ++i)
        steps[i] = StepsOf(r[1 + i]);
    fields.switches = r[5];
    return true;
}

void QDKNBDevice::Open() {
    // The state report carries only the switch byte.
    uint8_t state = 0;
    if (ReadFeatureByte(4, state) != QDDEV_OK) return;
    QDKNBControlVals fields{};
    fields.switches = state;
    SetSwitchFields(fields);
}

bool QDGTPDevice::Decode(const uint8_t* r, QDGTPControlVals& fields, int16_t* steps) {
    steps[0] = StepsOf(r[1]);
    fields.switches = r[2];
    return true;
}

void QDGTPDevice::Open() {
    uint8_t state = 0;
    if (ReadFeatureByte(4, state) != QDDEV_OK) return;
    QDGTPControlVals fields{};
    fields.switches = state;
    SetSwitchFields(fields);
}

bool QDGTP2Device::Decode(const uint8_t* r, QDGTP2ControlVals& fields, int16_t* steps) {
    for (int i = 0; i < 3; ++i)
        steps[i] = StepsOf(r[1 + i]);
    fields.switches = r[4];
    return true;
}

void QDGTP2Device::Open() {
    // The state report is as long as the unit's feature reports; only its switch byte is taken.
    uint8_t buf[256] = {};
    size_t len = Info().feature_report_len;
    const size_t need = InputReportLength(QDHW_GTP2);
    if (len < need) len = need;
    if (len > sizeof(buf)) len = sizeof(buf);
    if (ReadFeature(4, buf, len, need) != QDDEV_OK) return;
    QDGTP2ControlVals fields{};
    fields.switches = buf[4];
    SetSwitchFields(fields);
}

bool QDTHQDevice::Decode(const uint8_t* r, QDTHQControlVals& fields, int16_t*) {
    for (int i = 0; i < 6; ++i)
        fields.lever[i] = r[1 + i];
    const uint8_t raw = r[7];
    // The unit wires its switches in the opposite order to the record.
    fields.switches =
        static_cast<uint8_t>(((raw & 0x01) << 4) | ((raw & 0x02) << 2) | (raw & 0x04) | ((raw & 0x08) >> 2));
    return true;
}

uint8_t QDTHQDevice::GetLeverState(int n) {
    if (n < 0 || n > 5) return 0;
    return GetSwitchStates().lever[n];
}

bool QDNDCDevice::Decode(const uint8_t* r, QDNDCControlVals& fields, int16_t* steps) {
    steps[0] = StepsOf(r[3]);
    steps[1] = StepsOf(r[4]);
    const uint8_t b5 = r[5], b6 = r[6], b7 = r[7];
    fields.switches =
        static_cast<uint16_t>((b5 & 0x7f) | ((b7 & 0x3f) << 8) | ((b6 & 0x10) << 10) | ((b6 & 0x08) << 12));
    fields.selectors = static_cast<uint8_t>((b6 & 0x03) | ((b6 & 0xe0) >> 1));
    return true;
}

bool QDECPDevice::Decode(const uint8_t* r, QDECPControlVals& fields, int16_t*) {
    const uint8_t b1 = r[1], b2 = r[2], b3 = r[3];
    uint8_t position = 0;
    for (int bit = 6, pos = 1; bit >= 2; --bit, ++pos) {
        if (b1 & (1u << bit)) {
            position = static_cast<uint8_t>(pos);
            break;
        }
    }
    if (position == 0) return false; // the switch sits between detents
    fields.position = position;
    fields.a = ((b1 & 0x02) || (b3 & 0x80)) ? 1 : 0;
    fields.b = (b1 & 0x01) ? 2 : ((b3 & 0x40) ? 0 : 1);
    fields.c = ((b3 & 0x10) || (b1 & 0x80)) ? 1 : 0;
    auto bit = [](uint8_t byte, int n) { return (byte >> n) & 1; };
    const int word = bit(b3, 2) | bit(b3, 0) << 1 | !bit(b2, 6) << 2 | !bit(b2, 4) << 3 | !bit(b2, 2) << 4 |
                     !bit(b2, 0) << 5 | !bit(b3, 3) << 6 | !bit(b3, 1) << 7 | bit(b2, 7) << 8 |
                     bit(b2, 5) << 9 | bit(b2, 3) << 10 | bit(b2, 1) << 11;
    fields.switches = static_cast<uint16_t>(word);
    return true;
}

bool QDSSMDevice::Decode(const uint8_t* r, QDSSMControlVals& fields, int16_t*) {
    static constexpr uint8_t kSel2[4] = {2, 1, 3, 0};
    static constexpr uint8_t kSel3[4] = {1, 3, 2, 4};
    const uint8_t b = r[1];
    fields.sel1 = static_cast<uint8_t>((b & 0x03) + 1);
    fields.sel2 = kSel2[(b >> 4) & 0x03];
    fields.sel3 = kSel3[(b >> 6) & 0x03];
    return true;
}

bool QDIOBDevice::Decode(const uint8_t* r, QDIOBControlVals& fields, int16_t*) {
    std::memcpy(fields.inputs, r + 1, sizeof(fields.inputs));
    return true;
}

void QDIOBDevice::Open() {
    ReadStateLikeInput(4);
    SetIndicators(0, 0, 0, 0); // outputs start off every time the unit is opened
}

uint32_t QDIOBDevice::SetIndicators(uint8_t o1, uint8_t o2, uint8_t o3, uint8_t o4) {
    const uint8_t payload[4] = {o1, o2, o3, o4};
    return SendOutput(2, payload, sizeof(payload), Info().output_report_len);
}

// ---- Factory table -----------------------------------------------------------------------------

tagQDDevHWType TypeForProductId(uint16_t product_id) {
    if (product_id <= 0x0100 || product_id >= 0x0100 + QDDEV_TYPE_LIMIT) return QDHW_None;
    const auto type = static_cast<tagQDDevHWType>(product_id - 0x0100);
    return SlotCapacity(type) > 0 ? type : QDHW_None;
}

std::shared_ptr<QDDevice> CreateDeviceForType(tagQDDevHWType type, std::unique_ptr<HidConnection> conn) {
    const int32_t location = conn->Info().location;
    switch (type) {
    case QDHW_AVX:
        return std::make_shared<QDAVXDevice>(std::move(conn), location);
    case QDHW_PBX:
        return std::make_shared<QDPBXDevice>(std::move(conn), location);
    case QDHW_TGX:
        return std::make_shared<QDTGXDevice>(std::move(conn), location);
    case QDHW_GTP:
        return std::make_shared<QDGTPDevice>(std::move(conn), location);
    case QDHW_RSX:
        return std::make_shared<QDRSXDevice>(std::move(conn), location);
    case QDHW_APC:
        return std::make_shared<QDAPCDevice>(std::move(conn), location);
    case QDHW_KNB:
        return std::make_shared<QDKNBDevice>(std::move(conn), location);
    case QDHW_AVY:
        return std::make_shared<QDAVYDevice>(std::move(conn), location);
    case QDHW_THQ:
        return std::make_shared<QDTHQDevice>(std::move(conn), location);
    case QDHW_GTP2:
        return std::make_shared<QDGTP2Device>(std::move(conn), location);
    case QDHW_APX:
        return std::make_shared<QDAPXDevice>(std::move(conn), location);
    case QDHW_NDC:
        return std::make_shared<QDNDCDevice>(std::move(conn), location);
    case QDHW_ECP:
        return std::make_shared<QDECPDevice>(std::move(conn), location);
    case QDHW_SSM:
        return std::make_shared<QDSSMDevice>(std::move(conn), location);
    case QDHW_ANP:
        return std::make_shared<QDANPDevice>(std::move(conn), location);
    case QDHW_IOB:
        return std::make_shared<QDIOBDevice>(std::move(conn), location);
    default:
        return nullptr;
    }
}

} // namespace qddev
