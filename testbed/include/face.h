// What an emulated unit shows: its displays decoded back to text from the segment codes it
// received, and its lamps. Used by the end-to-end tests and the virtual cockpit.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qdtest {

class Unit;

// 7-segment codes to text, left to right; a set decimal point adds "." after its character.
// Ambiguous codes decode as digits first ("0" not "O", "5" not "S"), then "-" (not "R"), then
// upper-case letters ("C" not "[");
// a code no character has decodes as "?".
std::string DecodeSegments(const std::vector<uint8_t>& codes);
// A right-to-left numeric display (first character in the last byte) to text.
std::string DecodeNumeric(const std::vector<uint8_t>& codes);
// 16-segment alpha codes (low byte first) to upper-case text.
std::string DecodeAlpha(const std::vector<uint8_t>& codes);

struct Face {
    struct Display {
        std::string name; // "left", "right", "A".."F", "alpha", "numeric"
        std::string text; // decoded, positions kept (blank positions are spaces)
        bool received = false;
        // The codes as received, one per position left to right: 7-segment bytes (bit 7 the
        // decimal point) or, for alpha displays, 16-segment words (0x0040 the decimal point).
        std::vector<uint16_t> codes;
        bool sixteen = false;
        int positions = 0; // characters the display has, received or not
        bool operator==(const Display&) const = default;
    };
    std::vector<Display> displays;
    // Lit lamps (1-based bit numbers of the lamp byte or word; QD-ANP lamps 1-6; QD-IOB outputs
    // 1-32), in increasing order.
    std::vector<int> lamps;
    bool has_lamps = false;      // the model has lamps or outputs at all
    bool lamps_received = false; // any lamp report arrived since the unit was plugged in
    // QD-ANP: the latest red, green, blue of lamps 1-6; -1 when never sent.
    std::array<std::array<int, 3>, 6> colours{};
    bool has_colours = false;

    bool operator==(const Face&) const = default;
    const Display* display(const std::string& name) const;
};

// Where the unit's controls stand, from its input state: what the last scenario step put there.
struct Controls {
    std::vector<int> levers;    // QD-THQ levers 1-6: 0-255
    std::vector<int> selectors; // QD-SSM 1-3, QD-ECP 1, QD-NDC 1-2, in the terms Unit::selector takes
    std::vector<int> switches;  // switches held on (1-based), in increasing order
    int switch_count = 0;
};
Controls ReadControls(const Unit& unit);

// The display names of a model, in panel order (empty for models without displays).
std::vector<std::string> DisplayNames(int type);
// The number of lamps (or outputs) a model has; 0 when none.
int LampCount(int type);

// Reads the unit's current face from what the host sent it.
Face ReadFace(const Unit& unit);
// One line: displays as name[text], then "lamps 1 3" / "lamps -", QD-ANP colours as r/g/b.
std::string FormatFace(const Face& face);

} // namespace qdtest
