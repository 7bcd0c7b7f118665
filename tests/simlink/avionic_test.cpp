// Avionic values: registration, display formats, parsing back, transfer and display brightness.
#include "avionic_test_util.h"
#include "core/globals.h"
#include "simlink/avionic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace avionic_test;

namespace {

class AvionicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSimulator();
        gIsMetricPressure = XPLMFindDataRef(kMetric);
        SetI(kMetric, 0);
    }

    // A value object with guard bytes around it, to catch formatting past the fields.
    struct Guarded {
        unsigned char before[16];
        Avionic value;
        unsigned char after[16];
    };

    static std::string Text(const Avionic& a) { return std::string(a.text); }
};

bool FieldsTerminated(const Avionic& a) {
    return memchr(a.text, '\0', sizeof a.text) != nullptr && memchr(a.label, '\0', sizeof a.label) != nullptr;
}

} // namespace

TEST_F(AvionicTest, RegisterTellsIntFromFloatAndToleratesMissingDatarefs) {
    Avionic a;
    SetI(kXpdr, 1200);
    EXPECT_EQ(a.Register("XPDR", EDisplayType::DISP_INT4, XPDR, kXpdr), &a);
    EXPECT_FALSE(a.isFloat);
    EXPECT_STREQ(a.label, "XPDR");
    EXPECT_EQ(a.GetUnitType(), XPDR);
    EXPECT_STREQ(a.text, "1200"); // registration refreshes the text

    SetF(kApSpeed, 250.0f);
    a.Register("SPD ", EDisplayType::DISP_SPEED, AP_SPEED_ADJ, kApSpeed);
    EXPECT_TRUE(a.isFloat);
    EXPECT_STREQ(a.text, "  250");

    // Missing or empty names: reads 0, writes dropped, the text shows the format of 0.
    a.Register("COM1", EDisplayType::DISP_FREQ, COM1_ACTIVE, kMissing);
    EXPECT_EQ(a.dataRef, nullptr);
    EXPECT_FALSE(a.isFloat);
    EXPECT_STREQ(a.text, "000.00");
    a.InternalSet(12345.0f);
    EXPECT_EQ(a.InternalGet(), 0.0f);
    a.Register("DBRT", EDisplayType::DISP_INT, DISP_BRIGHTNESS, "");
    EXPECT_EQ(a.dataRef, nullptr);
    EXPECT_STREQ(a.text, " 0");
}

TEST_F(AvionicTest, LabelsAreCutToTheField) {
    Guarded g;
    memset(g.before, 0xA5, sizeof g.before);
    memset(g.after, 0xA5, sizeof g.after);
    g.value.Register("A-LABEL-FAR-TOO-LONG", EDisplayType::DISP_INT, XPDR, kXpdr);
    EXPECT_STREQ(g.value.label, "A-LABEL-F");
    EXPECT_EQ(g.after[0], 0xA5);
    EXPECT_EQ(g.before[15], 0xA5);
}

TEST_F(AvionicTest, IntegerFormats) {
    Avionic a;
    SetI(kXpdr, 7);
    a.Register("X", EDisplayType::DISP_INT, XPDR, kXpdr);
    EXPECT_STREQ(a.text, " 7");
    a.Register("X", EDisplayType::DISP_INT3, XPDR, kXpdr);
    EXPECT_STREQ(a.text, " 007");
    a.Register("X", EDisplayType::DISP_INT4, XPDR, kXpdr);
    EXPECT_STREQ(a.text, "0007");
    a.Register("X", EDisplayType::DISP_INT5, XPDR, kXpdr);
    EXPECT_STREQ(a.text, "00007");
    // A float value is truncated toward zero.
    SetF(kApVvi, -1250.9f);
    a.Register("X", EDisplayType::DISP_INT5, AP_VERT_SPEED_ADJ, kApVvi);
    EXPECT_STREQ(a.text, "-1250");
}

// The integer formats write what printf would, cut at the field's end.
TEST_F(AvionicTest, IntegerFormatsWriteWhatPrintfWould) {
    const int values[] = {0,     7,      -7,    99,     -99,     100,        -100,
                          11825, -11825, 99999, -99999, 1 << 30, -(1 << 30), std::numeric_limits<int>::min()};
    for (const int v : values) {
        char want[kAvionicTextSize];
        Avionic a;
        SetI(kXpdr, v);
        a.Register("X", EDisplayType::DISP_INT, XPDR, kXpdr);
        snprintf(want, sizeof want, " %d", v);
        EXPECT_STREQ(a.text, want) << v;
        a.Register("X", EDisplayType::DISP_INT3, XPDR, kXpdr);
        snprintf(want, sizeof want, " %03d", v);
        EXPECT_STREQ(a.text, want) << v;
        a.Register("X", EDisplayType::DISP_INT5, XPDR, kXpdr);
        snprintf(want, sizeof want, "%05d", v);
        EXPECT_STREQ(a.text, want) << v;
        a.Register("X", EDisplayType::DISP_FREQ, XPDR, kXpdr);
        snprintf(want, sizeof want, "%03d.%02d", v / 100, v % 100);
        EXPECT_STREQ(a.text, want) << v;
        a.Register("X", EDisplayType::DISP_FREQ_833, XPDR, kXpdr);
        snprintf(want, sizeof want, "%03d.%03d", v / 1000, v % 1000);
        EXPECT_STREQ(a.text, want) << v;
        a.Register("X", EDisplayType::DISP_SPEED, XPDR, kXpdr);
        snprintf(want, sizeof want, "  %03d", v);
        EXPECT_STREQ(a.text, want) << v;
    }
    const int saved = ii_brightlevel;
    for (const int level : {1, 9, 15}) {
        ii_brightlevel = level;
        Avionic a;
        a.Register("DBRT", EDisplayType::DISP_BRIGHTNESS, DISP_BRIGHTNESS, "");
        char want[kAvionicTextSize];
        snprintf(want, sizeof want, "  %2d", level);
        EXPECT_STREQ(a.text, want);
    }
    ii_brightlevel = saved;
}

TEST_F(AvionicTest, FrequencySpeedTenthsAndBarometer) {
    Avionic a;
    SetI(kCom1, 11825);
    a.Register("COM1", EDisplayType::DISP_FREQ, COM1_ACTIVE, kCom1);
    EXPECT_STREQ(a.text, "118.25");
    SetI(kCom1, 11805);
    a.GetFly();
    EXPECT_STREQ(a.text, "118.05");

    SetF(kApSpeed, 0.78f);
    SetI(kApIsMach, 1);
    a.Register("SPD ", EDisplayType::DISP_SPEED, AP_SPEED_ADJ, kApSpeed);
    a.modeSwitch.Register(1, 0, 0, kApIsMach, 0, 0, 1);
    a.GetFly();
    EXPECT_STREQ(a.text, "  0.78");
    SetI(kApIsMach, 0);
    SetF(kApSpeed, 95.0f);
    a.GetFly();
    EXPECT_STREQ(a.text, "  095");

    SetF(kInstBright, 0.5f);
    a.Register("IBRT", EDisplayType::DISP_TENTHS, INST_BRIGHTNESS, kInstBright);
    EXPECT_STREQ(a.text, "5");

    SetF(kBaro, 29.92f);
    a.Register("ALTI", EDisplayType::DISP_BARO, ALTIMETER, kBaro);
    EXPECT_STREQ(a.text, " 29.92");
    SetI(kMetric, 1);
    a.GetFly();
    EXPECT_STREQ(a.text, " 1013");
}

TEST_F(AvionicTest, MapRangeTextsAndTheirPositions) {
    Avionic a;
    a.Register("NDRG", EDisplayType::DISP_RANGE, EFIS_ND_RANGE_SEL, kMapRange);
    const char* texts[] = {"10", "20", "40", "80", "160", "320", "640"};
    for (int n = 0; n <= 6; ++n) {
        SetI(kMapRange, n);
        a.GetFly();
        EXPECT_STREQ(a.text, texts[n]) << n;
        SetI(kMapRange, 99);
        a.SetFly();
        EXPECT_EQ(GetI(kMapRange), n) << texts[n];
    }
}

TEST_F(AvionicTest, SetFlyParsesEachFormatBack) {
    Avionic a;
    a.Register("COM1", EDisplayType::DISP_FREQ, COM1_ACTIVE, kCom1);
    strcpy(a.text, "121.50");
    a.SetFly();
    EXPECT_EQ(GetI(kCom1), 12150);

    a.Register("XPDR", EDisplayType::DISP_INT4, XPDR, kXpdr);
    strcpy(a.text, "7700");
    a.SetFly();
    EXPECT_EQ(GetI(kXpdr), 7700);

    a.Register("SPD ", EDisplayType::DISP_SPEED, AP_SPEED_ADJ, kApSpeed);
    strcpy(a.text, "  0.82");
    a.SetFly();
    EXPECT_FLOAT_EQ(GetF(kApSpeed), 0.82f);

    a.Register("IBRT", EDisplayType::DISP_TENTHS, INST_BRIGHTNESS, kInstBright);
    strcpy(a.text, "7");
    a.SetFly();
    EXPECT_FLOAT_EQ(GetF(kInstBright), 0.7f);

    a.Register("ALTI", EDisplayType::DISP_BARO, ALTIMETER, kBaro);
    strcpy(a.text, " 30.01");
    a.SetFly();
    EXPECT_FLOAT_EQ(GetF(kBaro), 30.01f);

    // A text that does not parse writes 0.
    a.Register("XPDR", EDisplayType::DISP_INT, XPDR, kXpdr);
    strcpy(a.text, "abc");
    a.SetFly();
    EXPECT_EQ(GetI(kXpdr), 0);

    // A short frequency text has no kHz part.
    a.Register("COM1", EDisplayType::DISP_FREQ, COM1_ACTIVE, kCom1);
    strcpy(a.text, "12");
    a.SetFly();
    EXPECT_EQ(GetI(kCom1), 1200);
}

TEST_F(AvionicTest, RawAndUnknownFormatsLeaveTextAndSimulatorAlone) {
    Avionic a;
    SetF(kElevTrim, 0.25f);
    a.Register("ELVT", EDisplayType::DISP_RAW, ELEV_TRIM, kElevTrim);
    strcpy(a.text, "keep");
    a.GetFly();
    a.SetFly();
    EXPECT_STREQ(a.text, "keep");
    EXPECT_FLOAT_EQ(GetF(kElevTrim), 0.25f);

    a.Register("ELVT", static_cast<EDisplayType>(10), ELEV_TRIM, kElevTrim);
    a.GetFly();
    a.SetFly();
    EXPECT_STREQ(a.text, "keep");
    EXPECT_FLOAT_EQ(GetF(kElevTrim), 0.25f);
}

TEST_F(AvionicTest, OutOfRangeValuesShowTruncatedTextAndNeverOverflow) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        EDisplayType format;
        float value;
        bool mach;
        bool metric;
        const char* expected;
    } cases[] = {
        {EDisplayType::DISP_INT, 1e30f, false, false, " 21474836"},
        {EDisplayType::DISP_INT, -1e30f, false, false, " -2147483"},
        {EDisplayType::DISP_INT3, nan, false, false, " 000"},
        {EDisplayType::DISP_INT4, inf, false, false, "214748364"},
        {EDisplayType::DISP_INT5, -inf, false, false, "-21474836"},
        {EDisplayType::DISP_FREQ, 1e12f, false, false, "21474836."},
        {EDisplayType::DISP_FREQ, nan, false, false, "000.00"},
        {EDisplayType::DISP_SPEED, 1e30f, true, false, "  1000000"},
        {EDisplayType::DISP_SPEED, nan, true, false, "  nan"},
        {EDisplayType::DISP_SPEED, 1e9f, false, false, "  1000000"},
        {EDisplayType::DISP_TENTHS, 1e20f, false, false, "214748364"},
        {EDisplayType::DISP_RANGE, 1e9f, false, false, "109951162"},
        {EDisplayType::DISP_RANGE, -5.0f, false, false, "10"},
        {EDisplayType::DISP_BARO, 1e30f, false, false, " 10000000"},
        {EDisplayType::DISP_BARO, inf, false, true, "  inf"},
        {EDisplayType::DISP_BARO, -1e30f, false, true, " -3386530"},
    };
    for (const Case& c : cases) {
        Guarded g;
        memset(g.before, 0xA5, sizeof g.before);
        memset(g.after, 0xA5, sizeof g.after);
        SetI(kApIsMach, c.mach ? 1 : 0);
        SetI(kMetric, c.metric ? 1 : 0);
        SetF(kApSpeed, c.value);
        g.value.Register("SPD ", c.format, AP_SPEED_ADJ, kApSpeed);
        g.value.modeSwitch.Register(1, 0, 0, kApIsMach, 0, 0, 1);
        g.value.GetFly();
        EXPECT_STREQ(g.value.text, c.expected) << static_cast<int>(c.format) << " " << c.value;
        EXPECT_TRUE(FieldsTerminated(g.value));
        EXPECT_EQ(g.after[0], 0xA5);
        EXPECT_EQ(g.before[15], 0xA5);
    }
}

TEST_F(AvionicTest, FlipFlopSwapsActiveAndStandby) {
    Avionic active;
    Avionic standby;
    SetI(kCom1, 11825);
    SetI(kCom1Standby, 12150);
    active.Register("COM1", EDisplayType::DISP_FREQ, COM1_ACTIVE, kCom1);
    standby.Register("CM1S", EDisplayType::DISP_FREQ, COM1_STANDBY, kCom1Standby);
    active.FlipFlop(&standby);
    EXPECT_EQ(GetI(kCom1), 12150);
    EXPECT_EQ(GetI(kCom1Standby), 11825);
    EXPECT_STREQ(active.text, "121.50");
    EXPECT_STREQ(standby.text, "118.25");
}

TEST_F(AvionicTest, StaticObjectsPerValueFunction) {
    EXPECT_EQ(DRAV_AvionicFor(NADA), nullptr);
    EXPECT_EQ(DRAV_AvionicFor(MAX_AVIONIC), nullptr);
    EXPECT_EQ(DRAV_AvionicFor(LANDING_GEAR), nullptr);
    EXPECT_NE(DRAV_AvionicFor(COM1_ACTIVE), DRAV_AvionicFor(COM1_STANDBY));
    EXPECT_EQ(DRAV_AvionicFor(PREV), DRAV_AvionicFor(COM1_DUAL));
    EXPECT_EQ(DRAV_AvionicFor(NEXT), DRAV_AvionicFor(COM1_DUAL));
    // Selector and trim functions of the switch range are bound as values too.
    Avionic* trim = DRAV_AvionicFor(ELEV_TRIM);
    ASSERT_NE(trim, nullptr);
    EXPECT_NE(trim, DRAV_AvionicFor(AUTO_BRAKE));
    EXPECT_NE(DRAV_AvionicFor(EFIS_ND_RANGE_SEL), nullptr);
    EXPECT_NE(DRAV_AvionicFor(RMI_SELECTOR), nullptr);
}

TEST_F(AvionicTest, GetFlyFormatsAgainWhateverChangedTheText) {
    Avionic a;
    SetI(kXpdr, 1200);
    a.Register("XPDR", EDisplayType::DISP_INT4, XPDR, kXpdr);
    SetI(kXpdr, 7700);
    a.GetFly();
    EXPECT_STREQ(a.text, "7700");
    // The text changed by other means (a flip-flop, a test) while the value stayed.
    std::snprintf(a.text, sizeof a.text, "junk");
    a.GetFly();
    EXPECT_STREQ(a.text, "7700");
    a.displayType = EDisplayType::DISP_INT5;
    a.GetFly();
    EXPECT_STREQ(a.text, "07700");
}

// ---------------------------------------------------------------------------------------------
// Display brightness

namespace {

class FakeUnits : public AvionicBrightnessPort {
  public:
    int counts[20] = {};
    unsigned int levels[20] = {};
    std::vector<std::string> log;

    int UnitCount(int hw) override { return hw >= 0 && hw < 20 ? counts[hw] : 0; }
    bool GetBrightness(int hw, int unit, unsigned int* level) override {
        log.push_back("get " + std::to_string(hw) + "/" + std::to_string(unit));
        *level = levels[hw];
        return true;
    }
    void SetBrightness(int hw, int unit, int level) override {
        log.push_back("set " + std::to_string(hw) + "/" + std::to_string(unit) + "=" + std::to_string(level));
    }
};

class BrightnessTest : public AvionicTest {
  protected:
    void SetUp() override {
        AvionicTest::SetUp();
        DRAV_SetBrightnessPort(&units);
        ii_brightlevel = 8;
        value.Register("DBRT", EDisplayType::DISP_BRIGHTNESS, DISP_BRIGHTNESS, "");
        units.log.clear();
    }
    void TearDown() override { DRAV_SetBrightnessPort(nullptr); }

    FakeUnits units;
    Avionic value;
};

} // namespace

TEST_F(BrightnessTest, ReadsTheFirstModelWithAUnitButNeverAnAvx) {
    units.counts[1] = 1; // QD-AVX
    units.counts[5] = 2; // QD-RSX
    units.counts[8] = 1; // QD-AVY
    units.levels[5] = 12;
    units.levels[8] = 3;
    value.GetFly();
    EXPECT_EQ(ii_brightlevel, 12);
    EXPECT_STREQ(value.text, "  12");
    EXPECT_EQ(units.log, std::vector<std::string>{"get 5/0"});
}

TEST_F(BrightnessTest, WithoutUnitsTheLevelIsKept) {
    DRAV_SetBrightnessPort(nullptr);
    value.GetFly();
    EXPECT_EQ(ii_brightlevel, 8);
    EXPECT_STREQ(value.text, "   8");
    value.Tune(0, 3, 5);
    EXPECT_EQ(ii_brightlevel, 11);
}

TEST_F(BrightnessTest, TuneSendsTheLevelToEveryUnitAndTheGtp2Inverted) {
    units.counts[1] = 1;  // QD-AVX
    units.counts[11] = 1; // QD-GTP2
    units.counts[2] = 2;  // QD-PBX
    units.levels[2] = 14;
    value.Tune(0, 3, 5); // 14 + 3 is clamped to 15
    EXPECT_EQ(ii_brightlevel, 15);
    const std::vector<std::string> expected = {"get 2/0", "set 1/0=15", "set 2/0=15", "set 2/1=15",
                                               "set 11/0=0"};
    EXPECT_EQ(units.log, expected);

    units.log.clear();
    value.Tune(0, -5, 5);
    EXPECT_EQ(ii_brightlevel, 10);
    // Nothing reaches the simulator; the text is not refreshed after tuning.
    EXPECT_STREQ(value.text, "  15");
}

TEST_F(BrightnessTest, EveryDetentCountsWhileTheUnitStillShowsAnOlderLevel) {
    // The unit's sends are held: it keeps answering 7 whatever DRAV set since.
    units.counts[2] = 1; // QD-PBX
    units.levels[2] = 7;
    value.Tune(0, 1, 5);
    value.Tune(0, 1, 5);
    EXPECT_EQ(ii_brightlevel, 9);
    value.GetFly();
    EXPECT_STREQ(value.text, "   9");
    value.Tune(0, -3, 5);
    EXPECT_EQ(ii_brightlevel, 6);
    EXPECT_EQ(units.log.back(), "set 2/0=6");
    // Only the first step asked the unit.
    EXPECT_EQ(std::count(units.log.begin(), units.log.end(), "get 2/0"), 1);
}
