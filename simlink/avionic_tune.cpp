// Tuning arithmetic: how one encoder step changes each kind of value.
#include "core/globals.h"
#include "core/hot_path.h"
#include "simlink/avionic.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kHwAVX = 1;
constexpr int kHwRSX = 5;
constexpr int kHwKNB = 7;
constexpr int kHwAVY = 8;
constexpr int kHwNDC = 13;

int Trunc(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// COM frequencies are stored in 10 kHz units; the 25 kHz channels .x25 and .x75 arrive as
// .x2 and .x7 and are completed before stepping in kHz.
int ComKilohertz(int n) {
    long long k = static_cast<long long>(n) * 10;
    if (k % 100 == 20) k += 5;
    if (k % 100 == 70) k += 5;
    if (k > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (k < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(k);
}

int ComFine(int k, int steps) {
    return ModDecimalValue(k, 0, 3, 0, 975, true, steps, 25);
}
int ComCoarse(int k, int steps) {
    return ModDecimalValue(k, 3, 3, 118, 136, true, steps, 1);
}
// 8.33 kHz channel names within one MHz, in dialling order: each 25 kHz block gives its own
// name and the three 5 kHz names above it (.x00 .x05 .x10 .x15, .x25 ... .x90), 160 in all.
constexpr int kBlockKhz = 25;
constexpr int kNamesPerBlock = 4;
constexpr int kChannelNames = 1000 / kBlockKhz * kNamesPerBlock;

bool IsChannelName(int khz) {
    const int r = khz % kBlockKhz;
    return r % 5 == 0 && r <= 15;
}
int ChannelIndex(int khz) {
    return khz / kBlockKhz * kNamesPerBlock + khz % kBlockKhz / 5;
}
int ChannelKhz(int index) {
    return index / kNamesPerBlock * kBlockKhz + index % kNamesPerBlock * 5;
}

// The channel name nearest to khz (0 to 999) within its MHz; a tie goes the way of dir.
int NearestChannelName(int khz, int dir) {
    const int block = khz / kBlockKhz * kBlockKhz;
    const int r = khz % kBlockKhz;
    const int below = block + (r <= 15 ? r / 5 * 5 : 15);
    int above = -1;
    if (r < 15)
        above = block + (r / 5 + 1) * 5;
    else if (block + kBlockKhz < 1000)
        above = block + kBlockKhz;
    if (above < 0) return below;
    const int down = khz - below;
    const int up = above - khz;
    if (down != up) return down < up ? below : above;
    return dir > 0 ? above : below;
}

// Splits a COM value in kHz into MHz and kHz-within-MHz; values below zero count as 0.
void SplitKhz(int k, int* mhz, int* khz) {
    if (k < 0) k = 0;
    *mhz = k / 1000;
    *khz = k % 1000;
}

int NavFine(int n, int steps) {
    return ModDecimalValue(n, 0, 2, 0, 95, true, steps, 5);
}
int NavCoarse(int n, int steps) {
    return ModDecimalValue(n, 2, 3, 108, 117, true, steps, 1);
}
int AdfFine(int n, int steps) {
    return ModDecimalValue(n, 0, 2, 0, 99, true, steps, 1);
}
int AdfCoarse(int n, int steps) {
    return ModDecimalValue(n, 2, 1, 2, 9, true, steps, 1);
}

// A transponder code is four octal digits written as a decimal number; each pair of digits is
// stepped as one number from 00 to 77 (0 to 63).
int TuneTransponder(int n, int coarse, int fine) {
    const int d3 = n / 1000 % 10;
    const int d2 = n / 100 % 10;
    const int d1 = n / 10 % 10;
    const int d0 = n % 10;
    int p = 100 * (8 * d3 + d2) + (8 * d1 + d0);
    p = ModDecimalValue(p, 0, 2, 0, 63, true, fine, 1);
    p = ModDecimalValue(p, 2, 2, 0, 63, true, coarse, 1);
    const int hi = p / 100;
    const int lo = p % 100;
    return 1000 * (hi / 8) + 100 * (hi % 8) + 10 * (lo / 8) + lo % 8;
}

int TuneDegrees(int n, int coarse, int fine, int hw) {
    if (hw == kHwAVX) {
        n = ModDecimalValue(n, 0, 3, 1, 360, true, fine, 1);
        return ModDecimalValue(n, 0, 3, 1, 360, false, coarse, 100);
    }
    if (hw == kHwRSX || hw == kHwAVY) {
        n = ModDecimalValue(n, 0, 3, 1, 360, true, coarse, 1);
        return ModDecimalValue(n, 0, 3, 1, 360, false, fine, 100);
    }
    return ModDecimalValue(n, 0, 3, 1, 360, true, fine, 1);
}

int Selector(int n, int max, int steps) {
    return ModDecimalValue(n, 0, 2, 0, max, false, steps, 1);
}

float Trim(float v, int fine, float increment, float limit) {
    float t = v + static_cast<float>(fine) * increment;
    // A NaN from the simulator is not passed on: the trim goes to neutral.
    if (std::isnan(t)) t = 0.0f;
    if (t > limit) t = limit;
    if (t < -limit) t = -limit;
    return t;
}

} // namespace

int DRAV_Com833Fine(int k, int steps) {
    if (steps == 0) return k;
    int mhz = 0;
    int khz = 0;
    SplitKhz(k, &mhz, &khz);
    const int dir = steps > 0 ? 1 : -1;
    if (!IsChannelName(khz)) {
        khz = NearestChannelName(khz, dir);
        steps -= dir;
    }
    const int index = ((ChannelIndex(khz) + steps) % kChannelNames + kChannelNames) % kChannelNames;
    return mhz * 1000 + ChannelKhz(index);
}

int DRAV_Com833Coarse(int k, int steps) {
    if (steps == 0) return k;
    int mhz = 0;
    int khz = 0;
    SplitKhz(k, &mhz, &khz);
    if (!IsChannelName(khz)) khz = NearestChannelName(khz, steps);
    return ComCoarse(mhz * 1000 + khz, steps);
}

DRAV_HOT bool Avionic::TunedValue(float v, short coarseSteps, short fineSteps, int hw, float* out) {
    const int n = Trunc(v);
    const int coarse = coarseSteps;
    const int fine = fineSteps;
    const float trim_limit = gXPlaneVersion > 9999 ? 1.0f : 0.5f;

    switch (unitType) {
    case COM1_ACTIVE:
    case COM1_STANDBY:
    case COM1_DUAL:
    case COM2_ACTIVE:
    case COM2_STANDBY:
    case COM2_DUAL: {
        if (displayType == EDisplayType::DISP_FREQ_833) {
            *out = static_cast<float>(DRAV_Com833Coarse(DRAV_Com833Fine(n, fine), coarse));
            return true;
        }
        const int k = ComCoarse(ComFine(ComKilohertz(n), fine), coarse);
        *out = static_cast<float>(k / 10);
        return true;
    }
    case COM1_ACTIVE_COARSE:
    case COM1_STANDBY_COARSE:
    case COM2_ACTIVE_COARSE:
    case COM2_STANDBY_COARSE:
        if (displayType == EDisplayType::DISP_FREQ_833) {
            *out = static_cast<float>(DRAV_Com833Coarse(n, fine));
            return true;
        }
        *out = static_cast<float>(ComCoarse(ComKilohertz(n), fine) / 10);
        return true;
    case COM1_ACTIVE_FINE:
    case COM1_STANDBY_FINE:
    case COM2_ACTIVE_FINE:
    case COM2_STANDBY_FINE:
        if (displayType == EDisplayType::DISP_FREQ_833) {
            *out = static_cast<float>(DRAV_Com833Fine(n, fine));
            return true;
        }
        *out = static_cast<float>(ComFine(ComKilohertz(n), fine) / 10);
        return true;

    case NAV1_ACTIVE:
    case NAV1_STANDBY:
    case NAV1_DUAL:
    case NAV2_ACTIVE:
    case NAV2_STANDBY:
    case NAV2_DUAL:
    case DME_ACTIVE:
    case DME_STANDBY:
    case DME_DUAL:
        *out = static_cast<float>(NavCoarse(NavFine(n, fine), coarse));
        return true;
    case DME_ACTIVE_COARSE:
    case DME_STANDBY_COARSE:
    case NAV1_ACTIVE_COARSE:
    case NAV1_STANDBY_COARSE:
    case NAV2_ACTIVE_COARSE:
    case NAV2_STANDBY_COARSE:
        *out = static_cast<float>(NavCoarse(n, fine));
        return true;
    case DME_ACTIVE_FINE:
    case DME_STANDBY_FINE:
    case NAV1_ACTIVE_FINE:
    case NAV1_STANDBY_FINE:
    case NAV2_ACTIVE_FINE:
    case NAV2_STANDBY_FINE:
        *out = static_cast<float>(NavFine(n, fine));
        return true;

    case ADF1_ACTIVE:
    case ADF1_STANDBY:
    case ADF1_DUAL:
    case ADF2_ACTIVE:
    case ADF2_STANDBY:
    case ADF2_DUAL:
        *out = static_cast<float>(AdfCoarse(AdfFine(n, fine), coarse));
        return true;
    case ADF1_ACTIVE_COARSE:
    case ADF1_STANDBY_COARSE:
    case ADF2_ACTIVE_COARSE:
    case ADF2_STANDBY_COARSE:
        *out = static_cast<float>(AdfCoarse(n, fine));
        return true;
    case ADF1_ACTIVE_FINE:
    case ADF1_STANDBY_FINE:
    case ADF2_ACTIVE_FINE:
    case ADF2_STANDBY_FINE:
        *out = static_cast<float>(AdfFine(n, fine));
        return true;

    case XPDR:
        *out = static_cast<float>(TuneTransponder(n, coarse, fine));
        return true;
    case XPDR_DIGIT_1:
    case XPDR_DIGIT_2:
    case XPDR_DIGIT_3:
    case XPDR_DIGIT_4: {
        const int position = 3 - (unitType - XPDR_DIGIT_1);
        *out = static_cast<float>(ModDecimalValue(n, position, 1, 0, 7, true, fine, 1));
        return true;
    }

    case ADF1_CARD:
    case ADF2_CARD:
    case OBS1:
    case OBS2:
    case AP_HEADING_ADJ:
    case AP_NAV_COURSE_ADJ:
        *out = static_cast<float>(TuneDegrees(n, coarse, fine, hw));
        return true;

    case AP_SPEED_ADJ:
        if (ModeSwitchOn()) {
            const int m = ModDecimalValue(Trunc(v * 100.0 + 0.5), 0, 5, 0, 300, false, fine, 1);
            *out = static_cast<float>(m / 100.0);
        } else {
            *out = static_cast<float>(ModDecimalValue(n, 0, 5, 0, 995, false, fine, 1));
        }
        return true;
    case AP_ALTITUDE_ADJ: {
        const int step = ModeSwitchOn() ? 10 : 100;
        *out = static_cast<float>(ModDecimalValue(n, 0, 5, 0, 99990, false, fine, step));
        return true;
    }
    case AP_VERT_SPEED_ADJ: {
        const int step = g_Enable_x737_Support ? 50 : 100;
        *out = static_cast<float>(ModDecimalValue(n, 0, 4, -9900, 9900, false, fine, step));
        return true;
    }

    case EFIS_ND_MODE_SEL:
    case EFIS_ND_SUB_MODE_SEL:
    case EFIS_ND_RANGE_SEL: {
        const int max = unitType == EFIS_ND_MODE_SEL ? 1 : unitType == EFIS_ND_SUB_MODE_SEL ? 4 : 6;
        const bool coarse_unit = hw == kHwAVX || hw == kHwRSX || hw == kHwAVY;
        *out = static_cast<float>(Selector(n, max, coarse_unit ? coarse : fine));
        return true;
    }

    case ALTIMETER: {
        // Stepped in hundredths of an inch whatever unit the simulator displays.
        const int b = ModDecimalValue(Trunc(v * 100.0 + 0.5), 0, 4, 2400, 3400, false, fine, 1);
        *out = static_cast<float>(b / 100.0);
        return true;
    }
    case DECISION_HEIGHT:
        if (hw == kHwKNB || hw == kHwNDC) {
            *out = static_cast<float>(ModDecimalValue(n, 0, 4, 0, 9999, false, fine, 10));
        } else {
            const int h = ModDecimalValue(n, 0, 2, 0, 99, true, fine, 1);
            *out = static_cast<float>(ModDecimalValue(h, 2, 2, 0, 99, false, coarse, 1));
        }
        return true;

    case COCKPIT_LTS:
    case HUD_BRIGHTNESS:
    case INST_BRIGHTNESS:
    case INSTRUMENT_BRIGHTNESS_LEVEL:
    case PANEL_BRIGHTNESS_LEVEL: {
        const int p = ModDecimalValue(Trunc(v * 100.0), 0, 3, 10, 100, false, fine, 5);
        *out = static_cast<float>(p / 100.0);
        return true;
    }

    case APU_SWITCH:
    case BLEED_AIR_MODE:
    case TRANSPONDER_MODE:
    case NAV_COM_ADF_MODE:
    case HSI_SELECTOR:
    case RMI_SELECTOR: {
        int max = 2;
        if (unitType == BLEED_AIR_MODE || unitType == TRANSPONDER_MODE) max = 4;
        if (unitType == NAV_COM_ADF_MODE) max = 5;
        *out = static_cast<float>(Selector(n, max, hw == kHwAVY ? coarse : fine));
        return true;
    }
    case AUTO_BRAKE:
        *out = static_cast<float>(Selector(n, 5, fine));
        return true;
    case FUEL_FEED:
        *out = static_cast<float>(Selector(n, 4, fine));
        return true;
    case FUEL_TRANSFER_FROM:
    case FUEL_TRANSFER_TO:
        *out = static_cast<float>(Selector(n, 3, fine));
        return true;

    case ELEV_TRIM:
        *out = Trim(v, fine, g_ElevatorTrimIncrement, trim_limit);
        return true;
    case AILERON_TRIM:
        *out = Trim(v, fine, g_AileronTrimIncrement, trim_limit);
        return true;
    case RUDDER_TRIM:
        *out = Trim(v, fine, g_RudderTrimIncrement, trim_limit);
        return true;
    case ROTOR_TRIM:
        *out = Trim(v, fine, g_RotorTrimIncrement, trim_limit);
        return true;

    default:
        return false;
    }
}

DRAV_HOT void Avionic::Tune(short coarseSteps, short fineSteps, int hw_type) {
    if (unitType == DISP_BRIGHTNESS) {
        // The hardware's own level: nothing goes to the simulator.
        TuneBrightness(fineSteps);
        return;
    }
    float new_value = 0.0f;
    if (TunedValue(InternalGet(), coarseSteps, fineSteps, hw_type, &new_value)) InternalSet(new_value);
    GetFly();
}
