#include "encodings.h"
#include "hot_path.h"

#include <cstring>

namespace qddev {
namespace {

constexpr uint8_t kDigits7[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x67};
constexpr uint8_t kUpper7[26] = {0x77, 0x7c, 0x39, 0x5e, 0x79, 0x71, 0x3d, 0x76, 0x30,
                                 0x1e, 0x70, 0x38, 0x37, 0x54, 0x3f, 0x73, 0x3b, 0x40,
                                 0x6d, 0x31, 0x3e, 0x1c, 0x7e, 0x52, 0x72, 0x1b};
constexpr uint8_t kLower7[26] = {0x5f, 0x7c, 0x58, 0x5e, 0x7b, 0x71, 0x3d, 0x74, 0x30,
                                 0x0c, 0x70, 0x06, 0x37, 0x54, 0x5c, 0x73, 0x3b, 0x50,
                                 0x6d, 0x78, 0x1c, 0x1c, 0x7e, 0x52, 0x5e, 0x1b};

constexpr uint16_t kUpper16[26] = {0x3722, 0x8f0a, 0x3900, 0x8f08, 0x3920, 0x3120, 0x3d02, 0x3622, 0x8908,
                                   0x1e00, 0x3025, 0x3800, 0x7609, 0x7604, 0x3f00, 0x3322, 0x3f04, 0x3326,
                                   0x2d22, 0x8108, 0x3e00, 0x3011, 0xb614, 0x4015, 0x222a, 0x0911};
constexpr uint16_t kDigits16[10] = {0x3f11, 0x0601, 0x1921, 0x0d03, 0x2622,
                                    0x4d02, 0x3d22, 0x2700, 0x3f22, 0x2f22};

constexpr uint8_t kPoint7 = 0x80;
constexpr uint16_t kPoint16 = 0x0040;

uint8_t NumericCode(char c) {
    if (c >= '0' && c <= '9') return kDigits7[c - '0'];
    switch (c) {
    case '-':
    case '[':
    case ']':
        return SevenSegmentCode(c);
    default:
        return 0; // letters and everything else stay blank on the numeric displays
    }
}

} // namespace

uint8_t SevenSegmentCode(char c) {
    if (c >= 'A' && c <= 'Z') return kUpper7[c - 'A'];
    if (c >= 'a' && c <= 'z') return kLower7[c - 'a'];
    if (c >= '0' && c <= '9') return kDigits7[c - '0'];
    switch (c) {
    case '-':
        return 0x40;
    case '_':
        return 0x08;
    case '=':
        return 0x48;
    case '[':
        return 0x39;
    case ']':
        return 0x0f;
    default:
        return 0;
    }
}

uint16_t SixteenSegmentCode(char c) {
    if (c >= 'A' && c <= 'Z') return kUpper16[c - 'A'];
    if (c >= 'a' && c <= 'z') return kUpper16[c - 'a'];
    if (c >= '0' && c <= '9') return kDigits16[c - '0'];
    switch (c) {
    case '-':
        return 0x0022;
    case '<':
        return 0x0005;
    case '>':
        return 0x4010;
    default:
        return 0;
    }
}

} // namespace qddev

QDDEV_HOT void Text2SegmentData(const char* text, uint8_t* out, size_t n) {
    if (out == nullptr) return;
    std::memset(out, 0, n);
    if (text == nullptr) return;
    for (size_t pos = 0; *text != '\0' && pos < n; ++pos) {
        out[pos] = qddev::SevenSegmentCode(*text);
        ++text;
        if (*text == '.') {
            out[pos] |= qddev::kPoint7;
            ++text;
        }
    }
}

void QDAVXSetNumericBuf(const char* text, uint8_t* out, size_t n) {
    if (out == nullptr) return;
    std::memset(out, 0, n);
    if (text == nullptr) return;
    for (size_t pos = n; *text != '\0' && pos > 0; --pos) {
        out[pos - 1] = qddev::NumericCode(*text);
        ++text;
        if (*text == '.') {
            out[pos - 1] |= qddev::kPoint7;
            ++text;
        }
    }
}

void QDAVXSetAlphaBuf(const char* text, uint8_t* out, size_t n) {
    if (out == nullptr) return;
    std::memset(out, 0, n);
    if (text == nullptr) return;
    const size_t positions = n / 2 < 4 ? n / 2 : 4;
    for (size_t pos = 0; *text != '\0' && pos < positions; ++pos) {
        uint16_t code = qddev::SixteenSegmentCode(*text);
        ++text;
        if (*text == '.') {
            code |= qddev::kPoint16;
            ++text;
        }
        out[2 * pos] = static_cast<uint8_t>(code & 0xff);
        out[2 * pos + 1] = static_cast<uint8_t>(code >> 8);
    }
}

void ConvertColorValueToRGB(uint8_t colour, uint8_t level, uint8_t* red, uint8_t* green, uint8_t* blue) {
    if (colour > 7 || red == nullptr || green == nullptr || blue == nullptr) return;
    // Single precision and truncation, as the firmware was tuned against: 15 gives 100, 8 gives 53.
    // Levels above 15 would overflow the percentage; the units only have 16 steps.
    const float percent = static_cast<float>(level > 15 ? 15 : level) / 15.0f * 100.0f;
    const uint8_t v = static_cast<uint8_t>(percent);
    static constexpr uint8_t kMask[8][3] = {{0, 0, 0}, {1, 1, 1}, {1, 0, 0}, {0, 1, 0},
                                            {0, 0, 1}, {1, 0, 1}, {1, 1, 0}, {0, 1, 1}};
    *red = kMask[colour][0] ? v : 0;
    *green = kMask[colour][1] ? v : 0;
    *blue = kMask[colour][2] ? v : 0;
    if (colour == 6) *blue = 1; // yellow carries a trace of blue on this lamp
}
