// One device class per model: the input decoder, the state read when the unit is opened, and the
// display, lamp, brightness and encoder-type reports the unit's firmware expects.
#pragma once

#include "encodings.h"
#include "qd_device.h"

namespace qddev {

// Creates the device object of a supported model, or null for anything else (including QD-TXP,
// QD-CDU and QD-PWR, which are recognised and left alone).
std::shared_ptr<QDDevice> CreateDeviceForType(tagQDDevHWType type, std::unique_ptr<HidConnection> conn);
// The model of a product ID; QDHW_None when unknown or unsupported.
tagQDDevHWType TypeForProductId(uint16_t product_id);

inline int16_t StepsOf(uint8_t b) {
    return static_cast<int8_t>(b);
}

// A 7-segment display: the feature report that carries it and its number of positions.
struct DisplayDef {
    uint8_t report_id;
    uint8_t positions;
};

// Models with a lamp byte and a brightness byte, both feature reports the unit also answers.
template <class Record, int kEncoders, uint8_t kLampId, uint8_t kBrightnessId>
class QDLampDevice : public QDModelDevice<Record, kEncoders> {
  public:
    using QDModelDevice<Record, kEncoders>::QDModelDevice;

    uint32_t GetIndicators(uint8_t& lamps) { return this->ReadFeatureByte(kLampId, lamps); }
    uint32_t SetIndicators(uint8_t lamps) { return this->SendFeatureByte(kLampId, lamps); }
    uint32_t GetBrightness(uint8_t& level) { return this->ReadFeatureByte(kBrightnessId, level); }
    uint32_t SetBrightness(uint8_t level) { return this->SendBrightness(kBrightnessId, level & 0x0f); }

  protected:
    // Displays addressed by number (0 = A).
    uint32_t SendDisplayText(const DisplayDef& d, const char* text) {
        uint8_t seg[8];
        Text2SegmentData(text, seg, d.positions);
        return this->SendFeature(d.report_id, seg, d.positions);
    }
    uint32_t SendDisplaySegments(const DisplayDef& d, const uint8_t* seg) {
        return this->SendFeature(d.report_id, seg, d.positions);
    }
};

// QD-AVX and QD-AVY: 16-segment alpha display, right-aligned numeric display, brightness 6.
template <class Record, size_t kNumericPositions> class QDAvionicsDevice : public QDModelDevice<Record, 2> {
  public:
    using QDModelDevice<Record, 2>::QDModelDevice;

    uint32_t SetAlpha(const char* text) {
        uint8_t payload[8];
        QDAVXSetAlphaBuf(text, payload, sizeof(payload));
        return this->SendFeature(kAlphaId, payload, sizeof(payload));
    }
    uint32_t SetAlphaSegments(const uint8_t* seg) { return this->SendFeature(kAlphaId, seg, 8); }
    uint32_t SetNumeric(const char* text) {
        uint8_t payload[kNumericPositions];
        QDAVXSetNumericBuf(text, payload, kNumericPositions);
        return this->SendFeature(kNumericId, payload, kNumericPositions);
    }
    uint32_t SetNumericSegments(const uint8_t* seg) {
        return this->SendFeature(kNumericId, seg, kNumericPositions);
    }
    // These units clamp rather than mask.
    uint32_t SetBrightness(int level) {
        const uint8_t clamped = static_cast<uint8_t>(level < 0 ? 0 : (level > 15 ? 15 : level));
        return this->SendBrightness(kBrightnessId, clamped);
    }
    uint32_t GetBrightness(uint8_t& level) { return this->ReadFeatureByte(kBrightnessId, level); }

  private:
    static constexpr uint8_t kAlphaId = 3;
    static constexpr uint8_t kNumericId = 5;
    static constexpr uint8_t kBrightnessId = 6;
};

class QDAVXDevice final : public QDAvionicsDevice<QDAVXControlVals, 5> {
  public:
    QDAVXDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDAvionicsDevice(std::move(conn), location, QDHW_AVX) {}

  protected:
    bool Decode(const uint8_t* r, QDAVXControlVals& fields, int16_t* steps) override;
};

class QDAVYDevice final : public QDAvionicsDevice<QDAVYControlVals, 6> {
  public:
    QDAVYDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDAvionicsDevice(std::move(conn), location, QDHW_AVY) {}

  protected:
    bool Decode(const uint8_t* r, QDAVYControlVals& fields, int16_t* steps) override;
};

class QDRSXDevice final : public QDLampDevice<QDRSXControlVals, 2, 7, 6> {
  public:
    QDRSXDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDLampDevice(std::move(conn), location, QDHW_RSX) {}
    void Open() override { ReadStateLikeInput(8); }

    // display 0 = left, 1 = right
    uint32_t SetDisplayText(int display, const char* text) {
        return SendDisplayText(kDisplays[display], text);
    }
    uint32_t SetDisplaySegments(int display, const uint8_t* seg) {
        return SendDisplaySegments(kDisplays[display], seg);
    }
    uint32_t SetEncoderType(uint8_t left, uint8_t right) {
        return SendFeatureByte(9, static_cast<uint8_t>((left & 0x03) | ((right & 0x03) << 2)));
    }

  protected:
    bool Decode(const uint8_t* r, QDRSXControlVals& fields, int16_t* steps) override;

  private:
    static constexpr DisplayDef kDisplays[2] = {{3, 6}, {5, 6}};
};

// QD-PBX and QD-TGX share one protocol.
class QDSwitchLampDevice : public QDLampDevice<QDPBXControlVals, 0, 2, 3> {
  public:
    void Open() override { ReadStateLikeInput(4); }

  protected:
    QDSwitchLampDevice(std::unique_ptr<HidConnection> conn, int32_t location, tagQDDevHWType type)
        : QDLampDevice(std::move(conn), location, type) {}
    bool Decode(const uint8_t* r, QDPBXControlVals& fields, int16_t* steps) override;
};

class QDPBXDevice final : public QDSwitchLampDevice {
  public:
    QDPBXDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDSwitchLampDevice(std::move(conn), location, QDHW_PBX) {}
};

class QDTGXDevice final : public QDSwitchLampDevice {
  public:
    QDTGXDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDSwitchLampDevice(std::move(conn), location, QDHW_TGX) {}
};

class QDKNBDevice final : public QDLampDevice<QDKNBControlVals, 4, 2, 3> {
  public:
    QDKNBDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDLampDevice(std::move(conn), location, QDHW_KNB) {}
    void Open() override;

  protected:
    bool Decode(const uint8_t* r, QDKNBControlVals& fields, int16_t* steps) override;
};

class QDGTPDevice final : public QDLampDevice<QDGTPControlVals, 1, 2, 3> {
  public:
    QDGTPDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDLampDevice(std::move(conn), location, QDHW_GTP) {}
    void Open() override;
    // The unit needs lamp bits 0 and 1 set to light its gear lamps at all.
    uint32_t SetIndicators(uint8_t lamps) { return SendFeatureByte(2, lamps | 0x03); }
    void ReadAndResetEncoder(int16_t& trim) { ReadAndResetEncoders(&trim); }

  protected:
    bool Decode(const uint8_t* r, QDGTPControlVals& fields, int16_t* steps) override;
};

class QDGTP2Device final : public QDLampDevice<QDGTP2ControlVals, 3, 2, 3> {
  public:
    QDGTP2Device(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDLampDevice(std::move(conn), location, QDHW_GTP2) {}
    void Open() override;
    void ReadAndResetEncoder(int16_t* encoders) { ReadAndResetEncoders(encoders); }

  protected:
    bool Decode(const uint8_t* r, QDGTP2ControlVals& fields, int16_t* steps) override;
};

class QDAPCDevice final : public QDLampDevice<QDAPCControlVals, 5, 13, 12> {
  public:
    QDAPCDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDLampDevice(std::move(conn), location, QDHW_APC) {}
    void Open() override { ReadStateLikeInput(14); }

    // display 0 = A ... 4 = E
    uint32_t SetDisplayText(int display, const char* text) {
        return SendDisplayText(kDisplays[display], text);
    }
    uint32_t SetDisplaySegments(int display, const uint8_t* seg) {
        return SendDisplaySegments(kDisplays[display], seg);
    }

  protected:
    bool Decode(const uint8_t* r, QDAPCControlVals& fields, int16_t* steps) override;

  private:
    static constexpr DisplayDef kDisplays[5] = {{3, 3}, {5, 3}, {7, 3}, {9, 6}, {11, 6}};
};

class QDAPXDevice final : public QDLampDevice<QDAPXControlVals, 6, 15, 14> {
  public:
    QDAPXDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDLampDevice(std::move(conn), location, QDHW_APX) {}
    void Open() override { ReadStateLikeInput(16); }

    // The lamp word is 32 bits, big-endian.
    uint32_t GetIndicators(uint32_t& lamps);
    uint32_t SetIndicators(uint32_t lamps);
    // display 0 = A ... 5 = F
    uint32_t SetDisplayText(int display, const char* text) {
        return SendDisplayText(kDisplays[display], text);
    }
    uint32_t SetDisplaySegments(int display, const uint8_t* seg) {
        return SendDisplaySegments(kDisplays[display], seg);
    }

  protected:
    bool Decode(const uint8_t* r, QDAPXControlVals& fields, int16_t* steps) override;

  private:
    static constexpr DisplayDef kDisplays[6] = {{3, 3}, {5, 5}, {7, 5}, {9, 5}, {11, 5}, {13, 3}};
};

class QDTHQDevice final : public QDModelDevice<QDTHQControlVals, 0> {
  public:
    QDTHQDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDModelDevice(std::move(conn), location, QDHW_THQ) {}
    // Lever n from 0 to 5; any other n gives 0.
    uint8_t GetLeverState(int n);

  protected:
    bool Decode(const uint8_t* r, QDTHQControlVals& fields, int16_t* steps) override;
};

class QDNDCDevice final : public QDModelDevice<QDNDCControlVals, 2> {
  public:
    QDNDCDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDModelDevice(std::move(conn), location, QDHW_NDC) {}
    void Open() override { ReadStateLikeInput(2); }

  protected:
    bool Decode(const uint8_t* r, QDNDCControlVals& fields, int16_t* steps) override;
};

class QDECPDevice final : public QDModelDevice<QDECPControlVals, 0> {
  public:
    QDECPDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDModelDevice(std::move(conn), location, QDHW_ECP) {}
    void Open() override { ReadStateLikeInput(2); }

  protected:
    bool Decode(const uint8_t* r, QDECPControlVals& fields, int16_t* steps) override;
};

class QDSSMDevice final : public QDModelDevice<QDSSMControlVals, 0> {
  public:
    QDSSMDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDModelDevice(std::move(conn), location, QDHW_SSM) {}
    void Open() override { ReadStateLikeInput(2); }

  protected:
    bool Decode(const uint8_t* r, QDSSMControlVals& fields, int16_t* steps) override;
};

class QDANPDevice final : public QDModelDevice<QDANPControlVals, 0> {
  public:
    static constexpr int kLamps = 6;

    QDANPDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDModelDevice(std::move(conn), location, QDHW_ANP) {}
    void Open() override;

    // indicator 1 to 6, colour 0 to 7
    uint32_t SetIndColorValue(uint8_t indicator, uint8_t colour);
    uint32_t GetIndColorValue(uint8_t indicator, uint8_t& colour);
    uint32_t SetBrightness(uint16_t level);
    uint8_t GetBrightness();

  protected:
    bool Decode(const uint8_t* r, QDANPControlVals& fields, int16_t* steps) override;

  private:
    uint8_t mLevel = 15;
    uint8_t mColour[kLamps] = {};
    uint8_t gIndColors[kLamps][3] = {}; // last red, green, blue sent per lamp
};

class QDIOBDevice final : public QDModelDevice<QDIOBControlVals, 0> {
  public:
    QDIOBDevice(std::unique_ptr<HidConnection> conn, int32_t location)
        : QDModelDevice(std::move(conn), location, QDHW_IOB) {}
    void Open() override;
    uint32_t SetIndicators(uint8_t o1, uint8_t o2, uint8_t o3, uint8_t o4);

  protected:
    bool Decode(const uint8_t* r, QDIOBControlVals& fields, int16_t* steps) override;
};

} // namespace qddev
