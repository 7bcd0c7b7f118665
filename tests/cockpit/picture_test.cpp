// The pictures show what the units received: lit segments, lamps and colours where the codes say,
// and the controls where they stand. Pixels are checked at the parts' positions, not whole images.
#include <gtest/gtest.h>

#include "picture.h"
#include "testbed.h"

namespace cockpit {
namespace {

constexpr int kRSX = 5, kAVX = 1, kANP = 18, kTHQ = 9, kSSM = 17, kPBX = 2;

// Lit segments and lamps are bright; dark ones and the bezel are dim.
int Brightness(uint32_t rgb) {
    return std::max(
        {static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xff), static_cast<int>(rgb & 0xff)});
}

uint32_t At(const Picture& p, Point at, Point origin) {
    return p.Pixel(static_cast<int>(origin.x + at.x), static_cast<int>(origin.y + at.y));
}

// A display as read back; no codes means it never received any.
qdtest::Face::Display Shown(const char* name, int positions, std::vector<uint16_t> codes,
                            bool sixteen = false) {
    qdtest::Face::Display d;
    d.name = name;
    d.positions = positions;
    d.sixteen = sixteen;
    d.received = !codes.empty();
    d.codes = std::move(codes);
    return d;
}

UnitView Radio(std::vector<uint16_t> left) {
    UnitView u;
    u.label = "QD-RSX 1";
    u.type = kRSX;
    u.face.displays = {Shown("left", 6, std::move(left)), Shown("right", 6, {})};
    u.face.has_lamps = true;
    return u;
}

TEST(Picture, SevenSegmentsLightAsTheirCodesSay) {
    // "1.", "8", blank, "-", "7": the decimal point only on the first position.
    const UnitView u = Radio({0x06 | 0x80, 0x7f, 0x00, 0x40, 0x07, 0x00});
    std::vector<Point> origins;
    const auto picture = DrawPanel({u}, 4, &origins);
    ASSERT_TRUE(picture->ok());
    const CardLayout lay = LayOutCard(u);
    ASSERT_EQ(lay.displays.size(), 2u);
    const CardLayout::DisplayBox& box = lay.displays[0];
    for (int pos = 0; pos < 6; ++pos) {
        const uint16_t code = u.face.displays[0].codes[static_cast<size_t>(pos)];
        for (int seg = 0; seg < 8; ++seg) {
            const bool lit = code & (1u << seg);
            const int b = Brightness(At(*picture, SegmentCentre(box, pos, seg), origins[0]));
            EXPECT_EQ(b > 200, lit) << "position " << pos << " segment " << seg << " brightness " << b;
        }
    }
    // A display that never received anything stays dark everywhere.
    for (int seg = 0; seg < 8; ++seg)
        EXPECT_LT(Brightness(At(*picture, SegmentCentre(lay.displays[1], 0, seg), origins[0])), 100);
}

TEST(Picture, SixteenSegmentsAndTheirDecimalPoint) {
    UnitView u;
    u.label = "QD-AVX 1";
    u.type = kAVX;
    const qdtest::Face::Display alpha =
        Shown("alpha", 4, {0x4015 /* X */, 0x8908 | 0x0040 /* I. */, 0x0022 /* - */, 0x0000}, true);
    u.face.displays.push_back(alpha);
    const auto picture = DrawUnit(u);
    const CardLayout lay = LayOutCard(u);
    const Point origin{12, 12};
    for (int pos = 0; pos < 4; ++pos) {
        for (int bit = 0; bit < 16; ++bit) {
            if (bit == 7) continue; // no segment
            const bool lit = alpha.codes[static_cast<size_t>(pos)] & (1u << bit);
            const int b = Brightness(At(*picture, SegmentCentre(lay.displays[0], pos, bit), origin));
            EXPECT_EQ(b > 200, lit) << "position " << pos << " bit " << bit << " brightness " << b;
        }
    }
}

TEST(Picture, LampsLitAndAnnunciatorColours) {
    UnitView pbx;
    pbx.label = "QD-PBX 1";
    pbx.type = kPBX;
    pbx.face.has_lamps = true;
    pbx.face.lamps_received = true;
    pbx.face.lamps = {1, 8};
    UnitView anp;
    anp.label = "QD-ANP 1";
    anp.type = kANP;
    anp.face.has_lamps = anp.face.has_colours = anp.face.lamps_received = true;
    for (auto& c : anp.face.colours)
        c = {-1, -1, -1};
    anp.face.colours[0] = {100, 0, 0};
    anp.face.colours[2] = {0, 100, 100};
    anp.face.colours[3] = {0, 0, 0};
    anp.face.lamps = {1, 3};
    std::vector<Point> origins;
    const auto picture = DrawPanel({pbx, anp}, 4, &origins);
    ASSERT_EQ(origins.size(), 2u);

    const CardLayout pl = LayOutCard(pbx);
    ASSERT_EQ(pl.lamps.size(), 8u);
    for (int n = 1; n <= 8; ++n) {
        const int b = Brightness(At(*picture, pl.lamps[static_cast<size_t>(n - 1)], origins[0]));
        EXPECT_EQ(b > 200, n == 1 || n == 8) << "lamp " << n;
    }

    const CardLayout al = LayOutCard(anp);
    ASSERT_EQ(al.lamps.size(), 6u);
    EXPECT_EQ(At(*picture, al.lamps[0], origins[1]), 0xff0000u);
    EXPECT_EQ(At(*picture, al.lamps[2], origins[1]), 0x00ffffu);
    for (size_t n : {1u, 3u, 4u, 5u})
        EXPECT_LT(Brightness(At(*picture, al.lamps[n], origins[1])), 100) << "lamp " << n + 1;
    // The second card sits to the right of the first.
    EXPECT_GT(origins[1].x, origins[0].x + pl.width);
}

TEST(Picture, LeversSelectorsAndSwitchesWhereTheyStand) {
    UnitView thq;
    thq.label = "QD-THQ 1";
    thq.type = kTHQ;
    thq.controls.levers = {0, 64, 255, 0, 0, 0};
    thq.controls.switch_count = 8;
    thq.controls.switches = {2};
    const auto picture = DrawUnit(thq);
    const CardLayout lay = LayOutCard(thq);
    const Point o{12, 12};
    ASSERT_EQ(lay.levers.size(), 6u);
    // The handle is drawn where the lever stands and nowhere else in its slot.
    for (size_t n = 0; n < 3; ++n) {
        const int pos = thq.controls.levers[n];
        EXPECT_GT(Brightness(At(*picture, LeverHandle(lay.levers[n], pos), o)), 200) << "lever " << n + 1;
        EXPECT_LT(Brightness(At(*picture, LeverHandle(lay.levers[n], 255 - pos), o)), 100)
            << "lever " << n + 1;
    }
    EXPECT_GT(Brightness(At(*picture, lay.switches[1], o)), 200);
    EXPECT_LT(Brightness(At(*picture, lay.switches[0], o)), 100);

    UnitView ssm;
    ssm.label = "QD-SSM 1";
    ssm.type = kSSM;
    ssm.controls.selectors = {4, 0, 1};
    const auto sp = DrawUnit(ssm);
    const CardLayout sl = LayOutCard(ssm);
    ASSERT_EQ(sl.selectors.size(), 3u);
    EXPECT_GT(Brightness(At(*sp, SelectorTip(sl.selectors[0], 4), o)), 200);
    EXPECT_LT(Brightness(At(*sp, SelectorTip(sl.selectors[0], 1), o)), 100);
    EXPECT_GT(Brightness(At(*sp, SelectorTip(sl.selectors[1], 0), o)), 200);
}

TEST(Picture, WritesAPngAndReportsAFolderThatIsNotThere) {
    const auto picture = DrawPanel({Radio({0x3f})});
    std::string error;
    const std::string path = ::testing::TempDir() + "drav_picture_test.png";
    ASSERT_TRUE(picture->WritePng(path, &error)) << error;
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char magic[4] = {};
    EXPECT_EQ(std::fread(magic, 1, 4, f), 4u);
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_EQ(magic[1], 'P');
    EXPECT_FALSE(picture->WritePng("/nonexistent/dir/x.png", &error));
    EXPECT_FALSE(error.empty());
    // No units: still a picture, saying so.
    EXPECT_TRUE(DrawPanel({})->ok());
}

// The controls are read back from the unit's input state: selector fields decode to the values
// they were set with, and selector bits are not shown as switches.
TEST(ControlsReadBack, SelectorsLeversAndSwitches) {
    if (!qdtest::Testbed::Available()) GTEST_SKIP() << "needs the umockdev preload";
    qdtest::Testbed tb;
    qdtest::Unit& ssm = tb.plug(kSSM);
    for (int a : {1, 2, 3, 4})
        for (int b : {0, 1, 2, 3}) {
            ssm.selector(1, a);
            ssm.selector(2, b);
            ssm.selector(3, 5 - a);
            const qdtest::Controls c = qdtest::ReadControls(ssm);
            EXPECT_EQ(c.selectors, (std::vector<int>{a, b, 5 - a}));
            EXPECT_TRUE(c.switches.empty());
        }
    qdtest::Unit& ecp = tb.plug(14);
    for (int p = 0; p <= 5; ++p) {
        ecp.selector(1, p);
        EXPECT_EQ(qdtest::ReadControls(ecp).selectors, std::vector<int>{p});
    }
    ecp.press(24);
    EXPECT_EQ(qdtest::ReadControls(ecp).switches, std::vector<int>{24});

    qdtest::Unit& thq = tb.plug(kTHQ);
    thq.lever(3, 200);
    thq.press(1);
    const qdtest::Controls c = qdtest::ReadControls(thq);
    EXPECT_EQ(c.levers, (std::vector<int>{0, 0, 200, 0, 0, 0}));
    EXPECT_EQ(c.switches, std::vector<int>{1});
    EXPECT_EQ(c.switch_count, 8);
}

// The font caches go once every test is done, so that the leak checker sees only real leaks.
class ReleaseCaches : public ::testing::Environment {
  public:
    void TearDown() override { ReleaseDrawingCaches(); }
};
const ::testing::Environment* const kReleaseCaches = ::testing::AddGlobalTestEnvironment(new ReleaseCaches);

} // namespace
} // namespace cockpit
