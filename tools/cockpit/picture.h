// Pictures of the emulated units' faces: every segment, lamp, lever, selector and switch drawn from
// what the unit received (its read-back face) and where its controls stand. One card per unit; the
// panel lays the cards out in a grid.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "face.h"

typedef struct _cairo_surface cairo_surface_t;

namespace cockpit {

struct UnitView {
    std::string label; // "QD-RSX 1"
    int type = 0;
    bool plugged = true;
    qdtest::Face face;
    qdtest::Controls controls;
};

struct Point {
    double x = 0, y = 0;
};

// Where the parts of a unit's card sit, relative to the card's top-left corner.
struct CardLayout {
    struct DisplayBox {
        double x = 0, y = 0;           // top-left of the first character cell
        double cell_w = 0, cell_h = 0; // one character cell
        int positions = 0;
        bool sixteen = false;
    };
    struct Dial {
        Point centre;
        double radius = 0;
        int first = 0, last = 0; // its positions
    };
    double width = 0, height = 0;
    std::vector<DisplayBox> displays; // in the face's display order
    std::vector<Point> lamps;         // centre of lamp n+1
    double lamp_radius = 0;
    std::vector<Point> switches; // centre of switch n+1
    double switch_size = 0;
    struct Slot {
        double x = 0, y = 0, w = 0, h = 0;
    };
    std::vector<Slot> levers;
    std::vector<Dial> selectors;
};

CardLayout LayOutCard(const UnitView& unit);
// Centre of a segment: 7-segment 0-6 (a-g) and 7 the decimal point; 16-segment the bit number of
// the code word (6 the decimal point).
Point SegmentCentre(const CardLayout::DisplayBox& box, int position, int segment);
// Where a lever's handle sits for a position 0-255 (0 at the top: pushed forward).
Point LeverHandle(const CardLayout::Slot& slot, int position);
// The tip of a selector's pointer at a position.
Point SelectorTip(const CardLayout::Dial& dial, int position);

// An RGB image, owned.
class Picture {
  public:
    Picture(int width, int height);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    bool ok() const { return surface_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t Pixel(int x, int y) const; // 0xRRGGBB; 0 outside the image
    bool WritePng(const std::string& path, std::string* error) const;
    cairo_surface_t* surface() const { return surface_; }

  private:
    cairo_surface_t* surface_ = nullptr;
    int width_ = 0, height_ = 0;
};

std::unique_ptr<Picture> DrawUnit(const UnitView& unit);
// Every unit's card in a grid, columns at most wide; *origins gets each card's top-left.
std::unique_ptr<Picture> DrawPanel(const std::vector<UnitView>& units, int columns = 4,
                                   std::vector<Point>* origins = nullptr);

// Frees the drawing library's and the font configuration's caches; call when no picture is left,
// before the program ends, so that leak checkers see only real leaks.
void ReleaseDrawingCaches();

} // namespace cockpit
