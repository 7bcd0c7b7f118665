#include "report_descriptor.h"

namespace qddev {

namespace {

struct Globals {
    uint32_t report_size = 0; // bits per field
    uint32_t report_count = 0;
    uint8_t report_id = 0;
};

constexpr int kStackDepth = 8;
constexpr uint32_t kMaxReportBits = 8u * 4096u; // hidraw's own limit on a report

} // namespace

bool ParseReportDescriptor(const uint8_t* desc, size_t len, ReportCaps* caps) {
    *caps = ReportCaps{};
    // Bits per report ID for input, output, feature.
    static thread_local uint32_t bits[3][256];
    for (auto& kind : bits)
        for (uint32_t& b : kind)
            b = 0;

    Globals g;
    Globals stack[kStackDepth];
    int depth = 0;
    bool ok = true;
    size_t i = 0;
    while (i < len) {
        const uint8_t prefix = desc[i];
        if (prefix == 0xFE) { // long item: data size in the next byte, skipped
            if (i + 2 >= len || i + 3u + desc[i + 1] > len) {
                ok = false;
                break;
            }
            i += 3u + desc[i + 1];
            continue;
        }
        const size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > len) {
            ok = false;
            break;
        }
        uint32_t value = 0;
        for (size_t k = 0; k < size; ++k)
            value |= static_cast<uint32_t>(desc[i + 1 + k]) << (8 * k);
        const uint8_t type = (prefix >> 2) & 3;
        const uint8_t tag = prefix >> 4;
        i += 1 + size;

        if (type == 1) { // global
            switch (tag) {
            case 7:
                g.report_size = value;
                break;
            case 8:
                if (value == 0 || value > 255) ok = false; // ID 0 is reserved
                g.report_id = static_cast<uint8_t>(value);
                caps->uses_ids = true;
                break;
            case 9:
                g.report_count = value;
                break;
            case 10:
                if (depth < kStackDepth)
                    stack[depth++] = g;
                else
                    ok = false;
                break;
            case 11:
                if (depth > 0)
                    g = stack[--depth];
                else
                    ok = false;
                break;
            default:
                break;
            }
        } else if (type == 0) { // main
            int kind = tag == 8 ? 0 : tag == 9 ? 1 : tag == 11 ? 2 : -1;
            if (kind >= 0) {
                const uint64_t add = static_cast<uint64_t>(g.report_size) * g.report_count;
                uint64_t total = bits[kind][g.report_id] + add;
                if (total > kMaxReportBits) {
                    total = kMaxReportBits;
                    ok = false;
                }
                bits[kind][g.report_id] = static_cast<uint32_t>(total);
            }
        }
    }

    uint16_t* out[3] = {caps->input_bytes, caps->output_bytes, caps->feature_bytes};
    uint16_t* longest[3] = {&caps->input_len, &caps->output_len, &caps->feature_len};
    for (int kind = 0; kind < 3; ++kind) {
        for (int id = 0; id < 256; ++id) {
            const uint16_t bytes = static_cast<uint16_t>((bits[kind][id] + 7) / 8);
            out[kind][id] = bytes;
            if (bytes && bytes + 1 > *longest[kind]) *longest[kind] = static_cast<uint16_t>(bytes + 1);
        }
    }
    return ok;
}

} // namespace qddev
