#include "picture.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cockpit {

namespace {

constexpr int kECP = 14, kNDC = 13, kSSM = 17, kANP = 18;

constexpr double kCardWidth = 372, kMargin = 12, kGap = 12;
constexpr double kCaption = 14; // a section's caption line
constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};
constexpr Rgb kPanelBack{0.13, 0.14, 0.16}, kCardBack{0.21, 0.22, 0.24}, kCardEdge{0.36, 0.37, 0.40},
    kText{0.90, 0.90, 0.90}, kCaptionText{0.62, 0.63, 0.66}, kBezel{0.03, 0.03, 0.03},
    kSegLit{1.0, 0.43, 0.16}, kSegDark{0.13, 0.07, 0.05}, kLampLit{1.0, 0.80, 0.24},
    kLampDark{0.24, 0.20, 0.12}, kSwitchOn{0.47, 0.86, 1.0}, kSwitchOff{0.28, 0.29, 0.32},
    kSlot{0.06, 0.06, 0.06}, kHandle{0.86, 0.86, 0.86};

void SetColour(cairo_t* cr, Rgb c) {
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

// Segment end points in a character's box (0..1 both ways).
struct Seg {
    double x0, y0, x1, y1;
};
constexpr Seg kSeg7[7] = {{0, 0, 1, 0},   {1, 0, 1, 0.5}, {1, 0.5, 1, 1},  {0, 1, 1, 1},
                          {0, 0.5, 0, 1}, {0, 0, 0, 0.5}, {0, 0.5, 1, 0.5}};
// Bit n of the 16-segment word: the low byte holds the inner segments, the high byte the outer ones.
constexpr Seg kSeg16[16] = {
    {1, 0, 0.5, 0.5}, {0.5, 0.5, 1, 0.5},
    {0.5, 0.5, 1, 1}, {0.5, 0.5, 0.5, 1}, // UR diag, g2, LR diag, centre low
    {0.5, 0.5, 0, 1}, {0, 0.5, 0.5, 0.5},
    {0, 0, 0, 0},     {0, 0, 0, 0}, // LL diag, g1, point, unused
    {0, 0, 1, 0},     {1, 0, 1, 0.5},
    {1, 0.5, 1, 1},   {0, 1, 1, 1}, // a, b, c, d
    {0, 0.5, 0, 1},   {0, 0, 0, 0.5},
    {0, 0, 0.5, 0.5}, {0.5, 0, 0.5, 0.5}, // e, f, UL diag, centre high
};
constexpr int kPoint7 = 7, kPoint16 = 6, kUnused16 = 7;

// Where a character's glyph box sits in its cell.
struct Glyph {
    double x, y, w, h;
};
Glyph GlyphOf(const CardLayout::DisplayBox& box, int position) {
    const double w = box.sixteen ? 16 : 12;
    return {box.x + position * box.cell_w + 4, box.y + 5, w, box.cell_h - 10};
}

void Text(cairo_t* cr, double x, double y, double size, Rgb colour, const std::string& text,
          bool bold = false) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    SetColour(cr, colour);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

void CentredText(cairo_t* cr, double cx, double y, double size, Rgb colour, const std::string& text) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    Text(cr, cx - e.width / 2 - e.x_bearing, y, size, colour, text);
}

// The selectors' positions, first and last.
std::vector<std::pair<int, int>> SelectorRanges(int type) {
    switch (type) {
    case kSSM:
        return {{1, 4}, {0, 3}, {1, 4}};
    case kECP:
        return {{0, 5}};
    case kNDC:
        return {{0, 3}, {0, 7}};
    default:
        return {};
    }
}

void Segment(cairo_t* cr, const Glyph& g, const Seg& s, double width) {
    // Inset the ends so that neighbouring segments stay apart, as on the real glass.
    const double inset = 0.14;
    const double x0 = s.x0 + (s.x1 - s.x0) * inset, y0 = s.y0 + (s.y1 - s.y0) * inset;
    const double x1 = s.x1 - (s.x1 - s.x0) * inset, y1 = s.y1 - (s.y1 - s.y0) * inset;
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, g.x + x0 * g.w, g.y + y0 * g.h);
    cairo_line_to(cr, g.x + x1 * g.w, g.y + y1 * g.h);
    cairo_stroke(cr);
}

void DrawDisplay(cairo_t* cr, const CardLayout::DisplayBox& box, const qdtest::Face::Display& d) {
    SetColour(cr, kBezel);
    cairo_rectangle(cr, box.x - 3, box.y - 2, box.positions * box.cell_w + 6, box.cell_h + 4);
    cairo_fill(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int p = 0; p < box.positions; ++p) {
        const uint16_t code =
            d.received && static_cast<size_t>(p) < d.codes.size() ? d.codes[static_cast<size_t>(p)] : 0;
        const Glyph g = GlyphOf(box, p);
        const int segments = box.sixteen ? 16 : 7;
        const int point = box.sixteen ? kPoint16 : kPoint7;
        for (int s = 0; s < segments; ++s) {
            if (box.sixteen && (s == kPoint16 || s == kUnused16)) continue;
            SetColour(cr, code & (1u << s) ? kSegLit : kSegDark);
            Segment(cr, g, box.sixteen ? kSeg16[s] : kSeg7[s], box.sixteen ? 2.6 : 3.2);
        }
        const Point dp = SegmentCentre(box, p, point);
        SetColour(cr, code & (1u << point) ? kSegLit : kSegDark);
        cairo_arc(cr, dp.x, dp.y, 2.2, 0, 2 * kPi);
        cairo_fill(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

Rgb LampColour(const UnitView& unit, int n, bool lit) {
    if (unit.type == kANP && unit.face.has_colours) {
        const auto& c = unit.face.colours[static_cast<size_t>(n)];
        if (c[0] <= 0 && c[1] <= 0 && c[2] <= 0) return kLampDark;
        // Percent to full scale, at least a glow so that a dim lamp still shows its colour.
        auto channel = [](int v) { return std::clamp(v, 0, 100) / 100.0; };
        return {channel(c[0]), channel(c[1]), channel(c[2])};
    }
    return lit ? kLampLit : kLampDark;
}

void DrawCard(cairo_t* cr, const UnitView& unit, double ox, double oy) {
    const CardLayout lay = LayOutCard(unit);
    cairo_save(cr);
    cairo_translate(cr, ox, oy);

    SetColour(cr, kCardBack);
    cairo_rectangle(cr, 0, 0, lay.width, lay.height);
    cairo_fill_preserve(cr);
    SetColour(cr, kCardEdge);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    Text(cr, kMargin, 20, 14, kText, unit.label, true);

    for (size_t i = 0; i < lay.displays.size(); ++i) {
        const CardLayout::DisplayBox& box = lay.displays[i];
        const qdtest::Face::Display& d = unit.face.displays[i];
        Text(cr, box.x - 3, box.y - 6, 10, kCaptionText, d.name);
        DrawDisplay(cr, box, d);
    }

    if (!lay.lamps.empty()) {
        Text(cr, kMargin, lay.lamps[0].y - lay.lamp_radius - 5, 10, kCaptionText,
             unit.type == 19 ? "outputs" : "lamps");
    }
    for (size_t n = 0; n < lay.lamps.size(); ++n) {
        const bool lit = std::find(unit.face.lamps.begin(), unit.face.lamps.end(), static_cast<int>(n) + 1) !=
                         unit.face.lamps.end();
        const Point c = lay.lamps[n];
        SetColour(cr, LampColour(unit, static_cast<int>(n), lit));
        cairo_arc(cr, c.x, c.y, lay.lamp_radius, 0, 2 * kPi);
        cairo_fill(cr);
        CentredText(cr, c.x, c.y + lay.lamp_radius + 9, 8, kCaptionText, std::to_string(n + 1));
    }

    if (!lay.switches.empty()) {
        Text(cr, kMargin, lay.switches[0].y - lay.switch_size / 2 - 5, 10, kCaptionText, "switches held on");
    }
    for (size_t n = 0; n < lay.switches.size(); ++n) {
        const bool on = std::find(unit.controls.switches.begin(), unit.controls.switches.end(),
                                  static_cast<int>(n) + 1) != unit.controls.switches.end();
        const Point c = lay.switches[n];
        SetColour(cr, on ? kSwitchOn : kSwitchOff);
        const double h = lay.switch_size / 2;
        cairo_rectangle(cr, c.x - h, c.y - h, lay.switch_size, lay.switch_size);
        cairo_fill(cr);
    }

    for (size_t n = 0; n < lay.levers.size(); ++n) {
        const CardLayout::Slot& s = lay.levers[n];
        const int pos = n < unit.controls.levers.size() ? unit.controls.levers[n] : 0;
        SetColour(cr, kSlot);
        cairo_rectangle(cr, s.x, s.y, s.w, s.h);
        cairo_fill(cr);
        const Point h = LeverHandle(s, pos);
        SetColour(cr, kHandle);
        cairo_rectangle(cr, h.x - 14, h.y - 5, 28, 10);
        cairo_fill(cr);
        CentredText(cr, s.x + s.w / 2, s.y + s.h + 14, 10, kText,
                    std::to_string(n + 1) + ": " + std::to_string(pos));
    }

    for (size_t n = 0; n < lay.selectors.size(); ++n) {
        const CardLayout::Dial& d = lay.selectors[n];
        const int pos = n < unit.controls.selectors.size() ? unit.controls.selectors[n] : 0;
        SetColour(cr, kSlot);
        cairo_arc(cr, d.centre.x, d.centre.y, d.radius, 0, 2 * kPi);
        cairo_fill(cr);
        SetColour(cr, kCaptionText);
        for (int p = d.first; p <= d.last; ++p) { // detents
            const Point t = SelectorTip(d, p);
            const double dx = (t.x - d.centre.x) / (d.radius - 4), dy = (t.y - d.centre.y) / (d.radius - 4);
            cairo_arc(cr, d.centre.x + dx * (d.radius + 4), d.centre.y + dy * (d.radius + 4), 1.5, 0,
                      2 * kPi);
            cairo_fill(cr);
        }
        const Point tip = SelectorTip(d, pos);
        SetColour(cr, kHandle);
        cairo_set_line_width(cr, 4);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, d.centre.x, d.centre.y);
        cairo_line_to(cr, tip.x, tip.y);
        cairo_stroke(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        CentredText(cr, d.centre.x, d.centre.y + d.radius + 18, 10, kText,
                    std::to_string(n + 1) + ": " + std::to_string(pos));
    }

    if (!unit.plugged) { // greyed over, the last face still visible beneath
        cairo_set_source_rgba(cr, kPanelBack.r, kPanelBack.g, kPanelBack.b, 0.7);
        cairo_rectangle(cr, 0, 28, lay.width, lay.height - 28);
        cairo_fill(cr);
        Text(cr, lay.width - 100, 20, 12, kCaptionText, "(unplugged)");
    }
    cairo_restore(cr);
}

} // namespace

CardLayout LayOutCard(const UnitView& unit) {
    CardLayout lay;
    lay.width = kCardWidth;
    double y = 30; // below the label

    // Displays flow left to right, wrapping at the card's edge.
    double x = kMargin, row = 0;
    for (const qdtest::Face::Display& d : unit.face.displays) {
        CardLayout::DisplayBox box;
        box.sixteen = d.sixteen;
        box.positions = std::max(d.positions, static_cast<int>(d.codes.size()));
        box.cell_w = d.sixteen ? 26 : 22;
        box.cell_h = d.sixteen ? 42 : 36;
        const double w = box.positions * box.cell_w + 6;
        if (x > kMargin && x + w > kCardWidth - kMargin) {
            x = kMargin;
            y += row;
            row = 0;
        }
        box.x = x + 3;
        box.y = y + kCaption + 2;
        lay.displays.push_back(box);
        x += w + kGap;
        row = std::max(row, kCaption + box.cell_h + 10);
    }
    y += row;

    const int lamps = qdtest::LampCount(unit.type);
    if (lamps > 0) {
        lay.lamp_radius = 7;
        const int per_row = 16;
        y += kCaption + lay.lamp_radius;
        for (int n = 0; n < lamps; ++n) {
            if (n > 0 && n % per_row == 0) y += 2 * lay.lamp_radius + 14;
            lay.lamps.push_back({kMargin + lay.lamp_radius + (n % per_row) * 21.0, y});
        }
        y += lay.lamp_radius + 16;
    }

    const int switches = unit.controls.switch_count;
    if (switches > 0) {
        lay.switch_size = 10;
        const int per_row = 24;
        y += kCaption + lay.switch_size / 2;
        for (int n = 0; n < switches; ++n) {
            if (n > 0 && n % per_row == 0) y += lay.switch_size + 4;
            lay.switches.push_back({kMargin + lay.switch_size / 2 + (n % per_row) * 14.0, y});
        }
        y += lay.switch_size / 2 + 10;
    }

    for (size_t n = 0; n < unit.controls.levers.size(); ++n)
        lay.levers.push_back({kMargin + 20 + static_cast<double>(n) * 56, y + 4, 10, 96});
    if (!lay.levers.empty()) y += 4 + 96 + 24;

    const auto ranges = SelectorRanges(unit.type);
    for (size_t n = 0; n < ranges.size(); ++n)
        lay.selectors.push_back(
            {{kMargin + 36 + static_cast<double>(n) * 90, y + 30}, 22, ranges[n].first, ranges[n].second});
    if (!lay.selectors.empty()) y += 30 + 22 + 26;

    lay.height = std::max(y + 6, 60.0);
    return lay;
}

Point SegmentCentre(const CardLayout::DisplayBox& box, int position, int segment) {
    const Glyph g = GlyphOf(box, position);
    if (segment == (box.sixteen ? kPoint16 : kPoint7)) return {g.x + g.w + 4.5, g.y + g.h};
    const Seg& s = box.sixteen ? kSeg16[segment & 15] : kSeg7[segment % 7];
    return {g.x + (s.x0 + s.x1) / 2 * g.w, g.y + (s.y0 + s.y1) / 2 * g.h};
}

Point LeverHandle(const CardLayout::Slot& slot, int position) {
    const double travel = slot.h - 10;
    return {slot.x + slot.w / 2, slot.y + 5 + std::clamp(position, 0, 255) / 255.0 * travel};
}

Point SelectorTip(const CardLayout::Dial& dial, int position) {
    // Positions spread over 270 degrees, the first at lower left, clockwise.
    const double span = 1.5 * kPi;
    const int steps = dial.last - dial.first;
    const double f =
        steps > 0 ? (std::clamp(position, dial.first, dial.last) - dial.first) / static_cast<double>(steps)
                  : 0;
    const double angle = 0.75 * kPi + f * span;
    const double r = dial.radius - 4;
    return {dial.centre.x + r * std::cos(angle), dial.centre.y + r * std::sin(angle)};
}

Picture::Picture(int width, int height) : width_(std::max(width, 1)), height_(std::max(height, 1)) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
}

Picture::~Picture() {
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

uint32_t Picture::Pixel(int x, int y) const {
    if (surface_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    return row[x] & 0xFFFFFFu;
}

bool Picture::WritePng(const std::string& path, std::string* error) const {
    if (surface_ == nullptr) {
        *error = "no picture";
        return false;
    }
    const cairo_status_t status = cairo_surface_write_to_png(surface_, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        *error = cairo_status_to_string(status);
        return false;
    }
    return true;
}

std::unique_ptr<Picture> DrawUnit(const UnitView& unit) {
    const CardLayout lay = LayOutCard(unit);
    auto picture = std::make_unique<Picture>(static_cast<int>(lay.width + 2 * kGap),
                                             static_cast<int>(lay.height + 2 * kGap));
    if (!picture->ok()) return picture;
    cairo_t* cr = cairo_create(picture->surface());
    SetColour(cr, kPanelBack);
    cairo_paint(cr);
    DrawCard(cr, unit, kGap, kGap);
    cairo_destroy(cr);
    return picture;
}

std::unique_ptr<Picture> DrawPanel(const std::vector<UnitView>& units, int columns,
                                   std::vector<Point>* origins) {
    columns = std::clamp(static_cast<int>(units.size()), 1, std::max(columns, 1));
    std::vector<Point> at;
    std::vector<double> heights;
    for (const UnitView& u : units)
        heights.push_back(LayOutCard(u).height);
    double y = kGap, width = kGap + columns * (kCardWidth + kGap);
    for (size_t first = 0; first < units.size(); first += static_cast<size_t>(columns)) {
        const size_t last = std::min(units.size(), first + static_cast<size_t>(columns));
        double row = 0;
        for (size_t i = first; i < last; ++i) {
            at.push_back({kGap + static_cast<double>(i - first) * (kCardWidth + kGap), y});
            row = std::max(row, heights[i]);
        }
        y += row + kGap;
    }
    auto picture =
        std::make_unique<Picture>(static_cast<int>(width), static_cast<int>(std::max(y, 2 * kGap + 40)));
    if (!picture->ok()) return picture;
    cairo_t* cr = cairo_create(picture->surface());
    SetColour(cr, kPanelBack);
    cairo_paint(cr);
    if (units.empty()) Text(cr, kGap, kGap + 24, 14, kCaptionText, "no units plugged in");
    for (size_t i = 0; i < units.size(); ++i)
        DrawCard(cr, units[i], at[i].x, at[i].y);
    cairo_destroy(cr);
    if (origins != nullptr) *origins = std::move(at);
    return picture;
}

void ReleaseDrawingCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

} // namespace cockpit
