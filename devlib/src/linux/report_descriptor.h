// Report lengths from a HID report descriptor: the unit tells us its reports, and
// the transport sizes its buffers and the logic its reports from that.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qddev {

struct ReportCaps {
    bool uses_ids = false; // reports carry a report ID in byte 0
    // Largest report of each kind in bytes, byte 0 included (as if an ID were sent
    // even when the unit uses none: the transport then puts 0 there).
    uint16_t input_len = 0;
    uint16_t output_len = 0;
    uint16_t feature_len = 0;
    // Payload bytes of each report ID (byte 0 not included); 0 = not declared.
    uint16_t input_bytes[256] = {};
    uint16_t output_bytes[256] = {};
    uint16_t feature_bytes[256] = {};

    // Length of a feature report with this ID, byte 0 included, or 0.
    uint16_t FeatureLength(uint8_t id) const { return feature_bytes[id] ? feature_bytes[id] + 1 : 0; }
};

// Walks the descriptor's items (Report ID, Report Size, Report Count, Push/Pop and the
// Input/Output/Feature main items). False when the descriptor is cut short or
// malformed; caps then holds what was understood so far.
bool ParseReportDescriptor(const uint8_t* desc, size_t len, ReportCaps* caps);

} // namespace qddev
