#include "face.h"

#include <map>

#include "testbed.h"

namespace qdtest {

namespace {

// ---- Segment tables (what the units' firmware shows) ----

const uint8_t kSeg7Digits[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x67};
const uint8_t kSeg7Upper[26] = {0x77, 0x7c, 0x39, 0x5e, 0x79, 0x71, 0x3d, 0x76, 0x30, 0x1e, 0x70, 0x38, 0x37,
                                0x54, 0x3f, 0x73, 0x3b, 0x40, 0x6d, 0x31, 0x3e, 0x1c, 0x7e, 0x52, 0x72, 0x1b};
const uint8_t kSeg7Lower[26] = {0x5f, 0x7c, 0x58, 0x5e, 0x7b, 0x71, 0x3d, 0x74, 0x30, 0x0c, 0x70, 0x06, 0x37,
                                0x54, 0x5c, 0x73, 0x3b, 0x50, 0x6d, 0x78, 0x1c, 0x1c, 0x7e, 0x52, 0x5e, 0x1b};
const uint16_t kSeg16Upper[26] = {0x3722, 0x8f0a, 0x3900, 0x8f08, 0x3920, 0x3120, 0x3d02, 0x3622, 0x8908,
                                  0x1e00, 0x3025, 0x3800, 0x7609, 0x7604, 0x3f00, 0x3322, 0x3f04, 0x3326,
                                  0x2d22, 0x8108, 0x3e00, 0x3011, 0xb614, 0x4015, 0x222a, 0x0911};
const uint16_t kSeg16Digits[10] = {0x3f11, 0x0601, 0x1921, 0x0d03, 0x2622,
                                   0x4d02, 0x3d22, 0x2700, 0x3f22, 0x2f22};

const std::map<uint8_t, char>& Seg7Reverse() {
    static const std::map<uint8_t, char> table = [] {
        std::map<uint8_t, char> t;
        t.emplace(0x00, ' ');
        for (int i = 0; i < 10; ++i)
            t.emplace(kSeg7Digits[i], static_cast<char>('0' + i));
        // "-" before "R" (same code): dashes are the commoner; "C" before "[" for the same reason.
        t.emplace(0x40, '-');
        for (int i = 0; i < 26; ++i)
            t.emplace(kSeg7Upper[i], static_cast<char>('A' + i));
        for (auto [code, c] : {std::pair<uint8_t, char>{0x08, '_'}, {0x48, '='}, {0x39, '['}, {0x0f, ']'}})
            t.emplace(code, c);
        for (int i = 0; i < 26; ++i)
            t.emplace(kSeg7Lower[i], static_cast<char>('a' + i));
        return t;
    }();
    return table;
}

const std::map<uint16_t, char>& Seg16Reverse() {
    static const std::map<uint16_t, char> table = [] {
        std::map<uint16_t, char> t;
        t.emplace(0x0000, ' ');
        for (int i = 0; i < 26; ++i)
            t.emplace(kSeg16Upper[i], static_cast<char>('A' + i));
        for (int i = 0; i < 10; ++i)
            t.emplace(kSeg16Digits[i], static_cast<char>('0' + i));
        t.emplace(0x0022, '-');
        t.emplace(0x0005, '<');
        t.emplace(0x4010, '>');
        return t;
    }();
    return table;
}

std::string DecodeOne7(uint8_t code) {
    const auto& t = Seg7Reverse();
    auto it = t.find(static_cast<uint8_t>(code & 0x7f));
    std::string s(1, it != t.end() ? it->second : '?');
    if (code & 0x80) s += '.';
    return s;
}

enum class Encoding { Seg7, Numeric, Alpha };

struct DisplayDef {
    const char* name;
    uint8_t report_id;
    Encoding encoding;
};

std::vector<DisplayDef> DisplaysOf(int type) {
    switch (type) {
    case 1: // QD-AVX
    case 8: // QD-AVY
        return {{"alpha", 3, Encoding::Alpha}, {"numeric", 5, Encoding::Numeric}};
    case 5: // QD-RSX
        return {{"left", 3, Encoding::Seg7}, {"right", 5, Encoding::Seg7}};
    case 6: // QD-APC
        return {{"A", 3, Encoding::Seg7},
                {"B", 5, Encoding::Seg7},
                {"C", 7, Encoding::Seg7},
                {"D", 9, Encoding::Seg7},
                {"E", 11, Encoding::Seg7}};
    case 12: // QD-APX
        return {{"A", 3, Encoding::Seg7}, {"B", 5, Encoding::Seg7},  {"C", 7, Encoding::Seg7},
                {"D", 9, Encoding::Seg7}, {"E", 11, Encoding::Seg7}, {"F", 13, Encoding::Seg7}};
    default:
        return {};
    }
}

// Feature report carrying a lamp byte (0 = none); QD-APX has a 32-bit word instead.
uint8_t LampByteReport(int type) {
    switch (type) {
    case 2:  // QD-PBX
    case 3:  // QD-TGX
    case 4:  // QD-GTP
    case 7:  // QD-KNB
    case 11: // QD-GTP2
        return 2;
    case 5: // QD-RSX
        return 7;
    case 6: // QD-APC
        return 13;
    default:
        return 0;
    }
}

constexpr int kAPX = 12, kANP = 18, kIOB = 19, kSSM = 17, kECP = 14, kNDC = 13;
constexpr uint8_t kAPXLampReport = 15;

void AddLitBits(uint32_t word, int count, std::vector<int>& lamps) {
    for (int bit = 0; bit < count; ++bit)
        if (word & (1u << bit)) lamps.push_back(bit + 1);
}

} // namespace

std::string DecodeSegments(const std::vector<uint8_t>& codes) {
    std::string text;
    for (uint8_t c : codes)
        text += DecodeOne7(c);
    return text;
}

std::string DecodeNumeric(const std::vector<uint8_t>& codes) {
    return DecodeSegments(std::vector<uint8_t>(codes.rbegin(), codes.rend()));
}

std::string DecodeAlpha(const std::vector<uint8_t>& codes) {
    std::string text;
    for (size_t i = 0; i + 1 < codes.size(); i += 2) {
        const uint16_t code = static_cast<uint16_t>(codes[i] | (codes[i + 1] << 8));
        const auto& t = Seg16Reverse();
        auto it = t.find(static_cast<uint16_t>(code & ~0x0040));
        text += it != t.end() ? it->second : '?';
        if (code & 0x0040) text += '.';
    }
    return text;
}

const Face::Display* Face::display(const std::string& name) const {
    for (const Display& d : displays)
        if (d.name == name) return &d;
    return nullptr;
}

std::vector<std::string> DisplayNames(int type) {
    std::vector<std::string> names;
    for (const DisplayDef& d : DisplaysOf(type))
        names.emplace_back(d.name);
    return names;
}

int LampCount(int type) {
    if (LampByteReport(type) != 0) return 8;
    if (type == kAPX || type == kIOB) return 32;
    if (type == kANP) return 6;
    return 0;
}

Face ReadFace(const Unit& unit) {
    Face face;
    const int type = unit.type();
    for (const DisplayDef& def : DisplaysOf(type)) {
        Face::Display d;
        d.name = def.name;
        const std::vector<uint8_t> report = unit.feature(def.report_id);
        d.received = !report.empty();
        d.sixteen = def.encoding == Encoding::Alpha;
        for (const ModelLayout::Feature& f : unit.layout().features)
            if (f.id == def.report_id) d.positions = (f.len - 1) / (d.sixteen ? 2 : 1);
        if (d.received) {
            const std::vector<uint8_t> codes(report.begin() + 1, report.end());
            switch (def.encoding) {
            case Encoding::Seg7:
                d.text = DecodeSegments(codes);
                d.codes.assign(codes.begin(), codes.end());
                break;
            case Encoding::Numeric:
                d.text = DecodeNumeric(codes);
                d.codes.assign(codes.rbegin(), codes.rend());
                break;
            case Encoding::Alpha:
                d.text = DecodeAlpha(codes);
                for (size_t i = 0; i + 1 < codes.size(); i += 2)
                    d.codes.push_back(static_cast<uint16_t>(codes[i] | (codes[i + 1] << 8)));
                break;
            }
        }
        face.displays.push_back(std::move(d));
    }

    face.has_lamps = LampCount(type) > 0;
    if (const uint8_t id = LampByteReport(type); id != 0) {
        const std::vector<uint8_t> r = unit.feature(id);
        face.lamps_received = r.size() >= 2;
        if (face.lamps_received) AddLitBits(r[1], 8, face.lamps);
    } else if (type == kAPX) {
        const std::vector<uint8_t> r = unit.feature(kAPXLampReport);
        face.lamps_received = r.size() >= 5;
        if (face.lamps_received) // big-endian: lamps 1-8 in the last byte
            AddLitBits(static_cast<uint32_t>(r[1]) << 24 | static_cast<uint32_t>(r[2]) << 16 |
                           static_cast<uint32_t>(r[3]) << 8 | r[4],
                       32, face.lamps);
    } else if (type == kANP || type == kIOB) {
        for (auto& c : face.colours)
            c = {-1, -1, -1};
        face.has_colours = type == kANP;
        uint32_t word = 0;
        for (const Sent& s : unit.outputs()) {
            if (s.kind != Sent::Output || s.bytes.size() < 5 || s.bytes[0] != 2) continue;
            face.lamps_received = true;
            if (type == kIOB) {
                word = static_cast<uint32_t>(s.bytes[1]) | static_cast<uint32_t>(s.bytes[2]) << 8 |
                       static_cast<uint32_t>(s.bytes[3]) << 16 | static_cast<uint32_t>(s.bytes[4]) << 24;
            } else if (s.bytes[1] >= 1 && s.bytes[1] <= 6) {
                face.colours[s.bytes[1] - 1u] = {s.bytes[2], s.bytes[3], s.bytes[4]};
            }
        }
        if (type == kIOB) {
            AddLitBits(word, 32, face.lamps);
        } else {
            for (int n = 0; n < 6; ++n) {
                const auto& c = face.colours[static_cast<size_t>(n)];
                if (c[0] > 0 || c[1] > 0 || c[2] > 0) face.lamps.push_back(n + 1);
            }
        }
    }
    return face;
}

Controls ReadControls(const Unit& unit) {
    Controls c;
    const ModelLayout& m = unit.layout();
    const std::vector<uint8_t> in = unit.input_state();
    auto byte = [&](size_t offset) { return offset < in.size() ? in[offset] : uint8_t{0}; };
    for (uint8_t offset : m.lever_bytes)
        c.levers.push_back(byte(offset));

    // Selector bits share bytes with the switches; they are shown as selectors only.
    size_t selector_byte = 0;
    uint8_t selector_mask = 0;
    const uint8_t b1 = byte(1);
    switch (m.type) {
    case kSSM: {
        static const int sel1[4] = {1, 2, 3, 4}; // raw field 0..3 to the value Unit::selector takes
        static const int sel2[4] = {2, 1, 3, 0};
        static const int sel3[4] = {1, 3, 2, 4};
        c.selectors = {sel1[b1 & 0x03], sel2[(b1 >> 4) & 0x03], sel3[(b1 >> 6) & 0x03]};
        selector_byte = 1;
        selector_mask = 0xF3;
        break;
    }
    case kECP: {
        int position = 0;
        for (int p = 1; p <= 5; ++p)
            if (b1 & (1u << (7 - p))) position = p;
        c.selectors = {position};
        selector_byte = 1;
        selector_mask = 0x7C;
        break;
    }
    case kNDC:
        c.selectors = {byte(6) & 0x03, (byte(6) >> 5) & 0x07};
        selector_byte = 6;
        selector_mask = 0xE3;
        break;
    default:
        break;
    }

    c.switch_count = static_cast<int>(m.switch_bytes.size()) * 8;
    for (size_t i = 0; i < m.switch_bytes.size(); ++i) {
        uint8_t bits = byte(m.switch_bytes[i]);
        if (m.switch_bytes[i] == selector_byte) bits &= static_cast<uint8_t>(~selector_mask);
        for (int bit = 0; bit < 8; ++bit)
            if (bits & (1u << bit)) c.switches.push_back(static_cast<int>(i) * 8 + bit + 1);
    }
    return c;
}

std::string FormatFace(const Face& face) {
    std::string line;
    for (const Face::Display& d : face.displays) {
        if (!line.empty()) line += "  ";
        line += d.name + "[" + (d.received ? d.text : std::string("")) + "]";
    }
    if (face.has_lamps) {
        if (!line.empty()) line += "  ";
        line += "lamps";
        if (!face.lamps_received || face.lamps.empty()) line += " -";
        for (int n : face.lamps)
            line += " " + std::to_string(n);
    }
    if (face.has_colours) {
        line += "  colours";
        for (const auto& c : face.colours) {
            if (c[0] < 0) {
                line += " -";
            } else {
                line += " " + std::to_string(c[0]) + "/" + std::to_string(c[1]) + "/" + std::to_string(c[2]);
            }
        }
    }
    return line;
}

} // namespace qdtest
