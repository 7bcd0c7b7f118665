#include "simlink/avionic.h"

#include "core/globals.h"
#include "core/hot_path.h"
#include "simlink/sim_watch.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

int ii_brightlevel = 15;

namespace {

// Hardware type numbers (tagQDDevHWType) whose brightness this value reads and sets.
constexpr int kHwAVX = 1;
constexpr int kHwPBX = 2;
constexpr int kHwTGX = 3;
constexpr int kHwGTP = 4;
constexpr int kHwRSX = 5;
constexpr int kHwAPC = 6;
constexpr int kHwKNB = 7;
constexpr int kHwAVY = 8;
constexpr int kHwGTP2 = 11;
constexpr int kHwAPX = 12;
constexpr int kHwANP = 18;

// The first of these with an attached unit tells the current level (an AVX cannot be asked).
constexpr int kBrightnessReadOrder[] = {kHwPBX, kHwTGX, kHwRSX, kHwGTP, kHwGTP2,
                                        kHwAPC, kHwAPX, kHwKNB, kHwAVY, kHwANP};
constexpr int kBrightnessWriteOrder[] = {kHwAVX, kHwAVY, kHwPBX, kHwTGX, kHwGTP, kHwGTP2,
                                         kHwRSX, kHwAPC, kHwAPX, kHwKNB, kHwANP};
constexpr int kMaxBrightness = 15;

class NoUnitsPort : public AvionicBrightnessPort {
  public:
    int UnitCount(int) override { return 0; }
    bool GetBrightness(int, int, unsigned int*) override { return false; }
    void SetBrightness(int, int, int) override {}
};

NoUnitsPort g_no_units;
AvionicBrightnessPort* g_brightness_port = &g_no_units;
// Once DRAV has set a level, that level is the truth: a unit still sending the previous one
// reads back stale, and a detent stepped from the read-back would be lost.
bool g_brightness_set = false;

// One static object per value function: 1 to 82 by identifier, then the switch-range
// functions that are bound as values.
constexpr E_UnitType kValueFunctionsBeyondAvionics[] = {
    EFIS_ND_MODE_SEL,   EFIS_ND_SUB_MODE_SEL, EFIS_ND_RANGE_SEL, FUEL_FEED,
    FUEL_TRANSFER_FROM, FUEL_TRANSFER_TO,     ELEV_TRIM,         AILERON_TRIM,
    RUDDER_TRIM,        ROTOR_TRIM,           AUTO_BRAKE,
};
constexpr int kBeyondCount = sizeof kValueFunctionsBeyondAvionics / sizeof kValueFunctionsBeyondAvionics[0];
Avionic g_avionics[MAX_AVIONIC + kBeyondCount];

// Simulator values are truncated toward zero; NaN and values beyond the int range (which a
// plain cast would make undefined) become 0 and the nearest int limit.
int TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

int SaturateToInt(long long v) {
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// Standard decimal conversions of a display text (leading blanks skipped, stop at the first
// non-digit, 0 when nothing parses), without atoi's undefined overflow.
int TextToInt(const char* s) {
    return SaturateToInt(std::strtoll(s, nullptr, 10));
}
double TextToDouble(const char* s) {
    return std::strtod(s, nullptr);
}

// Writes what snprintf would into a bounded field (cut at its end, always terminated), for the
// integer formats: the refresh that follows every input formats the value that changed, and
// snprintf was most of that work. The field is left as it is until the first Put.
class TextOut {
  public:
    TextOut(char* out, size_t size) : out_(out), size_(size) {}
    void Put(char c) {
        if (len_ + 1 >= size_) return;
        out_[len_++] = c;
        out_[len_] = '\0';
    }
    void Put(const char* s) {
        while (*s != '\0')
            Put(*s++);
    }
    // printf's "%0<width>lld" (pad '0') or "%<width>lld" (pad ' ').
    void Int(long long v, int width, char pad) {
        char digits[24];
        int n = 0;
        unsigned long long u =
            v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        do {
            digits[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u != 0);
        const int used = n + (v < 0 ? 1 : 0);
        if (pad == ' ')
            for (int i = used; i < width; ++i)
                Put(' ');
        if (v < 0) Put('-');
        if (pad == '0')
            for (int i = used; i < width; ++i)
                Put('0');
        while (n > 0)
            Put(digits[--n]);
    }

  private:
    char* out_;
    size_t size_;
    size_t len_ = 0;
};

} // namespace

DRAV_HOT int ModDecimalValue(int value, int lowDigit, int digitCount, int min, int max, bool wrap, int steps,
                             int stepSize) {
    // Wide arithmetic: a wild simulator value must not overflow on the way.
    long long lowMul = 1;
    for (int i = 0; i < lowDigit && i < 9; ++i)
        lowMul *= 10;
    long long fieldMul = 1;
    for (int i = 0; i < digitCount && i < 9; ++i)
        fieldMul *= 10;

    const long long high = value / lowMul;
    const long long low = value % lowMul;
    long long field = high % fieldMul + static_cast<long long>(steps) * stepSize;
    const long long upper = high / fieldMul;
    const long long span = static_cast<long long>(max) - min;

    if (wrap) {
        if (field > max) field -= stepSize + span;
        if (field < min) field += stepSize + span;
    } else {
        if (field > max) field = max;
        if (field < min) field = min;
    }
    return SaturateToInt(low + lowMul * (field + fieldMul * upper));
}

Avionic* DRAV_AvionicFor(E_UnitType unit_type) {
    // PREV and NEXT step an avionics page; they show the COM1 dual value.
    if (unit_type == PREV || unit_type == NEXT) unit_type = COM1_DUAL;
    if (unit_type > NADA && unit_type < MAX_AVIONIC) return &g_avionics[unit_type];
    for (int i = 0; i < kBeyondCount; ++i)
        if (kValueFunctionsBeyondAvionics[i] == unit_type) return &g_avionics[MAX_AVIONIC + i];
    return nullptr;
}

void DRAV_SetBrightnessPort(AvionicBrightnessPort* port) {
    g_brightness_port = port ? port : &g_no_units;
    g_brightness_set = false;
}

Avionic* Avionic::Register(const char* label_text, EDisplayType format, E_UnitType unit_type,
                           const char* dataref_name) {
    snprintf(label, sizeof label, "%s", label_text ? label_text : "");
    displayType = format;
    unitType = unit_type;
    dataRef = (dataref_name && dataref_name[0]) ? XPLMFindDataRef(dataref_name) : nullptr;
    isFloat = dataRef && (XPLMGetDataRefTypes(dataRef) & xplmType_Float);
    GetFly();
    return this;
}

DRAV_HOT float Avionic::InternalGet() const {
    if (!dataRef) return 0.0f;
    return isFloat ? DRAV_ReadFloat(dataRef) : static_cast<float>(DRAV_ReadInt(dataRef));
}

DRAV_HOT void Avionic::InternalSet(float v) {
    if (!dataRef) return;
    if (isFloat)
        XPLMSetDataf(dataRef, v);
    else
        XPLMSetDatai(dataRef, TruncToInt(v));
}

bool Avionic::ModeSwitchOn() {
    return modeSwitch.GetSim() == 1;
}

DRAV_HOT void Avionic::GetFly() {
    if (displayType != EDisplayType::DISP_BRIGHTNESS && displayType != EDisplayType::DISP_RAW) {
        const float raw = InternalGet();
        int variant = 0;
        if (displayType == EDisplayType::DISP_SPEED) variant = ModeSwitchOn() ? 1 : 0;
        if (displayType == EDisplayType::DISP_BARO)
            variant = gIsMetricPressure && DRAV_ReadInt(gIsMetricPressure) != 0 ? 1 : 0;
        // The text may have been set by other means (FlipFlop, tuning): then it is formatted too.
        if (formatted.valid && formatted.format == displayType && raw == formatted.raw &&
            variant == formatted.variant && std::memcmp(text, formatted.text, sizeof text) == 0)
            return;
        FormatText(raw, variant);
        formatted.valid = true;
        formatted.format = displayType;
        formatted.raw = raw;
        formatted.variant = variant;
        std::memcpy(formatted.text, text, sizeof text);
        return;
    }
    FormatText(0.0f, 0);
}

DRAV_HOT void Avionic::FormatText(float v, int variant) {
    // Into the 10-byte field: a value too wide for its format shows truncated.
    TextOut out(text, sizeof text);
    switch (displayType) {
    case EDisplayType::DISP_INT: // " %d"
        out.Put(' ');
        out.Int(TruncToInt(v), 0, '0');
        break;
    case EDisplayType::DISP_INT3: // " %03d"
        out.Put(' ');
        out.Int(TruncToInt(v), 3, '0');
        break;
    case EDisplayType::DISP_INT4: // "%04d"
        out.Int(TruncToInt(v), 4, '0');
        break;
    case EDisplayType::DISP_INT5: // "%05d"
        out.Int(TruncToInt(v), 5, '0');
        break;
    case EDisplayType::DISP_FREQ: { // "%03d.%02d"
        const int n = TruncToInt(v);
        out.Int(n / 100, 3, '0');
        out.Put('.');
        out.Int(n % 100, 2, '0');
        break;
    }
    case EDisplayType::DISP_FREQ_833: { // "%03d.%03d"
        const int n = TruncToInt(InternalGet());
        out.Int(n / 1000, 3, '0');
        out.Put('.');
        out.Int(n % 1000, 3, '0');
        break;
    }
    case EDisplayType::DISP_SPEED: {
        if (variant != 0) {
            snprintf(text, sizeof text, "  %1.02f", static_cast<double>(v));
        } else { // "  %03d"
            out.Put("  ");
            out.Int(TruncToInt(v), 3, '0');
        }
        break;
    }
    case EDisplayType::DISP_TENTHS:
        out.Int(TruncToInt(v * 10.0 + 0.5), 0, '0');
        break;
    case EDisplayType::DISP_RANGE: {
        // Shift counts outside what a map range can be are held at the nearest sane one.
        int n = TruncToInt(v);
        if (n < 0) n = 0;
        if (n > 40) n = 40;
        out.Int(10LL << n, 0, '0');
        break;
    }
    case EDisplayType::DISP_BARO:
        if (variant != 0)
            snprintf(text, sizeof text, " %4.0f", static_cast<double>(v) * 33.8653);
        else
            snprintf(text, sizeof text, " %2.2f", static_cast<double>(v));
        break;
    case EDisplayType::DISP_BRIGHTNESS: {
        // Until DRAV sets a level, the units' own one is shown, and that changes at the units.
        if (!g_brightness_set) DRAV_RefreshAlways();
        for (const int hw : kBrightnessReadOrder) {
            if (g_brightness_set) break;
            if (g_brightness_port->UnitCount(hw) < 1) continue;
            unsigned int level = 0;
            if (g_brightness_port->GetBrightness(hw, 0, &level))
                ii_brightlevel = level > kMaxBrightness ? kMaxBrightness : static_cast<int>(level);
            break;
        }
        out.Put("  "); // "  %2d"
        out.Int(DRAV_ReadWatched(ii_brightlevel), 2, ' ');
        break;
    }
    default:
        break;
    }
}

void Avionic::SetFly() {
    switch (displayType) {
    case EDisplayType::DISP_INT:
    case EDisplayType::DISP_INT3:
    case EDisplayType::DISP_INT4:
    case EDisplayType::DISP_INT5:
        InternalSet(static_cast<float>(TextToInt(text)));
        break;
    case EDisplayType::DISP_FREQ: {
        // "118.25": megahertz before the point, the two digits from the fifth character.
        const long long mhz = TextToInt(text);
        const long long khz10 = strnlen(text, sizeof text) > 4 ? TextToInt(text + 4) : 0;
        InternalSet(static_cast<float>(100 * mhz + khz10));
        break;
    }
    case EDisplayType::DISP_FREQ_833: {
        // "118.005": megahertz before the point, the three kHz digits from the fifth character.
        const long long mhz = TextToInt(text);
        const long long khz = strnlen(text, sizeof text) > 4 ? TextToInt(text + 4) : 0;
        InternalSet(static_cast<float>(SaturateToInt(1000 * mhz + khz)));
        break;
    }
    case EDisplayType::DISP_SPEED:
    case EDisplayType::DISP_BARO:
        InternalSet(static_cast<float>(TextToDouble(text)));
        break;
    case EDisplayType::DISP_TENTHS:
        InternalSet(static_cast<float>(TextToInt(text) / 10.0));
        break;
    case EDisplayType::DISP_RANGE: {
        int k = TextToInt(text) / 10;
        int halvings = 0;
        while (k > 1) {
            k /= 2;
            ++halvings;
        }
        InternalSet(static_cast<float>(halvings));
        break;
    }
    case EDisplayType::DISP_BRIGHTNESS:
        g_brightness_set = true;
        for (const int hw : kBrightnessWriteOrder) {
            const int count = g_brightness_port->UnitCount(hw);
            // The GTP2's lamps dim the other way round.
            const int level = hw == kHwGTP2 ? kMaxBrightness - ii_brightlevel : ii_brightlevel;
            for (int unit = 0; unit < count; ++unit)
                g_brightness_port->SetBrightness(hw, unit, level);
        }
        break;
    default:
        break;
    }
}

void Avionic::FlipFlop(Avionic* other) {
    if (!other) return;
    char temp[kAvionicTextSize];
    memcpy(temp, text, sizeof temp);
    memcpy(text, other->text, sizeof text);
    memcpy(other->text, temp, sizeof temp);
    SetFly();
    other->SetFly();
}

void Avionic::TuneBrightness(short fineSteps) {
    GetFly();
    ii_brightlevel = ModDecimalValue(ii_brightlevel, 0, 2, 1, kMaxBrightness, false, fineSteps, 1);
    SetFly();
}
