// Digit-field arithmetic and the tuning rule of every kind of value.
#include "avionic_test_util.h"
#include "core/globals.h"
#include "simlink/avionic.h"

#include <gtest/gtest.h>

#include <climits>

TEST(ModDecimalValue, ChangesOnlyItsFieldAndNeverCarries) {
    // The NAV MHz field 117 wraps to 108; the two kHz digits below stay.
    EXPECT_EQ(ModDecimalValue(11795, 2, 3, 108, 117, true, 1, 1), 10895);
    // kHz field of a COM frequency wraps without touching the MHz above.
    EXPECT_EQ(ModDecimalValue(136975, 0, 3, 0, 975, true, 1, 25), 136000);
    // ADF hundreds digit: 9 + 1 wraps to 2, the thousands digit stays.
    EXPECT_EQ(ModDecimalValue(1950, 2, 1, 2, 9, true, 1, 1), 1250);
    EXPECT_EQ(ModDecimalValue(999, 2, 1, 2, 9, true, 1, 1), 299);
}

TEST(ModDecimalValue, WrapsEachWayOnce) {
    EXPECT_EQ(ModDecimalValue(360, 0, 3, 1, 360, true, 1, 1), 1);
    EXPECT_EQ(ModDecimalValue(1, 0, 3, 1, 360, true, -1, 1), 360);
    EXPECT_EQ(ModDecimalValue(10800, 2, 3, 108, 117, true, -1, 1), 11700);
    // A value already far outside its range is corrected only once per direction.
    EXPECT_EQ(ModDecimalValue(0, 0, 3, 100, 200, true, 0, 1), 101);
}

TEST(ModDecimalValue, ClampsWithoutWrap) {
    EXPECT_EQ(ModDecimalValue(300, 0, 3, 1, 360, false, 1, 100), 360);
    EXPECT_EQ(ModDecimalValue(995, 0, 5, 0, 995, false, 1, 1), 995);
    EXPECT_EQ(ModDecimalValue(-9900, 0, 4, -9900, 9900, false, -3, 100), -9900);
    EXPECT_EQ(ModDecimalValue(50, 0, 3, 10, 100, false, -10, 5), 10);
}

TEST(ModDecimalValue, NegativeValuesKeepTheSignOfTheirParts) {
    // Vertical speed below zero: the field is the whole value.
    EXPECT_EQ(ModDecimalValue(-500, 0, 4, -9900, 9900, false, 2, 100), -300);
    EXPECT_EQ(ModDecimalValue(-100, 0, 4, -9900, 9900, false, 2, 100), 100);
}

TEST(ModDecimalValue, HugeValuesSaturateInsteadOfOverflowing) {
    // A wild simulator value gives a defined result held at the int limits.
    EXPECT_EQ(ModDecimalValue(INT_MAX, 0, 3, 0, 975, true, 1, 25), INT_MAX);
    EXPECT_EQ(ModDecimalValue(INT_MIN, 0, 3, 0, 975, false, -1, 25), -2147483000);
    EXPECT_EQ(ModDecimalValue(INT_MIN, 7, 7, 0, 9999999, false, 1, 9999999), INT_MAX);
}

// ---------------------------------------------------------------------------------------------
// Tuning rules through the simulator's datarefs.

using namespace avionic_test;

namespace {

constexpr int kHwAVX = 1;
constexpr int kHwRSX = 5;
constexpr int kHwKNB = 7;
constexpr int kHwAVY = 8;
constexpr int kHwPBX = 2;

class TuneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSimulator();
        gXPlaneVersion = 11550;
        g_Enable_x737_Support = 0;
        g_ElevatorTrimIncrement = 0.005f;
    }
    void TearDown() override { g_Enable_x737_Support = 0; }

    // Registers `a` on an int dataref at value n, tunes once and returns the int written.
    int TuneInt(E_UnitType f, EDisplayType format, const char* ref, int n, short coarse, short fine, int hw) {
        SetI(ref, n);
        a.Register("T", format, f, ref);
        a.Tune(coarse, fine, hw);
        return GetI(ref);
    }
    float TuneFloat(E_UnitType f, EDisplayType format, const char* ref, float v, short coarse, short fine,
                    int hw) {
        SetF(ref, v);
        a.Register("T", format, f, ref);
        a.Tune(coarse, fine, hw);
        return GetF(ref);
    }

    Avionic a;
};

} // namespace

TEST_F(TuneTest, ComChannelsIn25KilohertzSteps) {
    const auto freq = EDisplayType::DISP_FREQ;
    // 118.12 is the 118.125 channel: one fine step gives 118.150.
    EXPECT_EQ(TuneInt(COM1_ACTIVE, freq, kCom1, 11812, 0, 1, kHwRSX), 11815);
    EXPECT_STREQ(a.text, "118.15");
    EXPECT_EQ(TuneInt(COM1_STANDBY, freq, kCom1Standby, 11817, 0, 1, kHwRSX), 11820);
    // The kHz field wraps without carrying into the MHz.
    EXPECT_EQ(TuneInt(COM1_DUAL, freq, kCom1, 13697, 0, 1, kHwRSX), 13600);
    EXPECT_EQ(TuneInt(COM1_ACTIVE, freq, kCom1, 11800, 0, -1, kHwRSX), 11897);
    // Coarse steps the MHz, 136 wraps to 118.
    EXPECT_EQ(TuneInt(COM1_ACTIVE, freq, kCom1, 13600, 1, 0, kHwRSX), 11800);
    EXPECT_EQ(TuneInt(COM1_ACTIVE, freq, kCom1, 12250, 2, 2, kHwRSX), 12455);
    // Split coarse and fine functions take their steps from the fine count.
    EXPECT_EQ(TuneInt(COM1_ACTIVE_COARSE, freq, kCom1, 13650, 5, 1, kHwAVX), 11850);
    EXPECT_EQ(TuneInt(COM1_STANDBY_FINE, freq, kCom1Standby, 11850, 5, 1, kHwAVX), 11852);
}

TEST_F(TuneTest, NavAndDmeIn50KilohertzSteps) {
    const auto freq = EDisplayType::DISP_FREQ;
    EXPECT_EQ(TuneInt(NAV1_ACTIVE, freq, kNav1, 11795, 0, 1, kHwRSX), 11700);
    EXPECT_EQ(TuneInt(NAV1_ACTIVE, freq, kNav1, 10800, -1, 0, kHwRSX), 11700);
    EXPECT_EQ(TuneInt(DME_DUAL, freq, kNav1, 11030, 1, 1, kHwRSX), 11135);
    // NAV2 active has its fine form at 57 and the coarse at 58.
    EXPECT_EQ(TuneInt(NAV2_ACTIVE_FINE, freq, kNav1, 11030, 0, 1, kHwAVX), 11035);
    EXPECT_EQ(TuneInt(NAV2_ACTIVE_COARSE, freq, kNav1, 11030, 0, 1, kHwAVX), 11130);
}

TEST_F(TuneTest, AdfKeepsItsThousandsDigit) {
    const auto int3 = EDisplayType::DISP_INT3;
    EXPECT_EQ(TuneInt(ADF1_ACTIVE, int3, kAdf1, 1750, 1, 0, kHwAVX), 1850);
    EXPECT_EQ(TuneInt(ADF1_ACTIVE, int3, kAdf1, 999, 1, 0, kHwAVX), 299);
    EXPECT_EQ(TuneInt(ADF1_STANDBY, int3, kAdf1, 399, 0, 1, kHwAVX), 300);
    EXPECT_EQ(TuneInt(ADF2_ACTIVE_COARSE, int3, kAdf1, 250, 0, -1, kHwAVX), 950);
    EXPECT_EQ(TuneInt(ADF2_STANDBY_FINE, int3, kAdf1, 200, 0, -1, kHwAVX), 299);
}

TEST_F(TuneTest, TransponderStepsOctalPairs) {
    const auto int4 = EDisplayType::DISP_INT4;
    EXPECT_EQ(TuneInt(XPDR, int4, kXpdr, 7777, 0, 1, kHwAVX), 7700);
    EXPECT_EQ(TuneInt(XPDR, int4, kXpdr, 0, -1, 0, kHwAVX), 7700);
    EXPECT_STREQ(a.text, "7700");
    EXPECT_EQ(TuneInt(XPDR, int4, kXpdr, 1207, 0, 1, kHwAVX), 1210);
    EXPECT_EQ(TuneInt(XPDR, int4, kXpdr, 1200, 1, 0, kHwAVX), 1300);
    EXPECT_EQ(TuneInt(XPDR_DIGIT_2, int4, kXpdr, 1200, 0, 1, kHwAVX), 1300);
    EXPECT_EQ(TuneInt(XPDR_DIGIT_2, int4, kXpdr, 1700, 0, 1, kHwAVX), 1000);
    EXPECT_EQ(TuneInt(XPDR_DIGIT_1, int4, kXpdr, 1200, 0, -2, kHwAVX), 7200);
    EXPECT_EQ(TuneInt(XPDR_DIGIT_4, int4, kXpdr, 1207, 0, 1, kHwAVX), 1200);
}

TEST_F(TuneTest, DegreesDependOnTheUnit) {
    const auto int3 = EDisplayType::DISP_INT3;
    // Heading bug through a float dataref.
    EXPECT_EQ(TuneFloat(AP_HEADING_ADJ, int3, kHeadingMag, 360, 0, 1, kHwAVX), 1.0f);
    EXPECT_EQ(TuneFloat(AP_HEADING_ADJ, int3, kHeadingMag, 1, 0, -1, kHwAVX), 360.0f);
    EXPECT_EQ(TuneFloat(AP_HEADING_ADJ, int3, kHeadingMag, 300, 1, 0, kHwAVX), 360.0f); // clamped, not 40
    // Radio stack and AVY: coarse turns by 1 with wrap, fine by 100 with clamp.
    EXPECT_EQ(TuneFloat(OBS1, int3, kHeadingMag, 360, 1, 0, kHwRSX), 1.0f);
    EXPECT_EQ(TuneFloat(OBS1, int3, kHeadingMag, 200, 0, 1, kHwAVY), 300.0f);
    EXPECT_EQ(TuneFloat(OBS1, int3, kHeadingMag, 50, 0, -1, kHwAVY), 1.0f);
    // Any other unit: fine steps by 1 only.
    EXPECT_EQ(TuneFloat(ADF1_CARD, int3, kHeadingMag, 360, 5, 1, kHwKNB), 1.0f);
}

TEST_F(TuneTest, AutopilotTargets) {
    // Speed: mach in hundredths, knots clamped to 995.
    SetI(kApIsMach, 1);
    SetF(kApSpeed, 0.78f);
    a.Register("SPD ", EDisplayType::DISP_SPEED, AP_SPEED_ADJ, kApSpeed);
    a.modeSwitch.Register(1, 0, 0, kApIsMach, 0, 0, 1);
    a.Tune(0, 1, kHwAVX);
    EXPECT_FLOAT_EQ(GetF(kApSpeed), 0.79f);
    EXPECT_STREQ(a.text, "  0.79");
    SetI(kApIsMach, 0);
    SetF(kApSpeed, 995.0f);
    a.Tune(0, 1, kHwAVX);
    EXPECT_EQ(GetF(kApSpeed), 995.0f);

    // Altitude: 100 ft, or 10 ft while the knob's step flag is on.
    SetF(kApAltitude, 5000.0f);
    a.Register("ALT ", EDisplayType::DISP_INT5, AP_ALTITUDE_ADJ, kApAltitude);
    a.modeSwitch.Register(1, 0, 0, kApIsMach, 0, 0, 1);
    a.Tune(0, 2, kHwAVX);
    EXPECT_EQ(GetF(kApAltitude), 5200.0f);
    SetI(kApIsMach, 1);
    a.Tune(0, -3, kHwAVX);
    EXPECT_EQ(GetF(kApAltitude), 5170.0f);
    EXPECT_STREQ(a.text, "05170");
    SetF(kApAltitude, 99990.0f);
    a.Tune(0, 5, kHwAVX);
    EXPECT_EQ(GetF(kApAltitude), 99990.0f);

    // Vertical speed: 100 fpm, 50 with x737 support.
    EXPECT_EQ(TuneFloat(AP_VERT_SPEED_ADJ, EDisplayType::DISP_INT5, kApVvi, -100, 0, 2, kHwAVX), 100.0f);
    g_Enable_x737_Support = 1;
    EXPECT_EQ(TuneFloat(AP_VERT_SPEED_ADJ, EDisplayType::DISP_INT5, kApVvi, 9850, 0, 3, kHwAVX), 9900.0f);
}

TEST_F(TuneTest, AltimeterInHundredthsOfAnInch) {
    const auto baro = EDisplayType::DISP_BARO;
    EXPECT_FLOAT_EQ(TuneFloat(ALTIMETER, baro, kBaro, 29.92f, 0, 1, kHwAVX), 29.93f);
    EXPECT_FLOAT_EQ(TuneFloat(ALTIMETER, baro, kBaro, 34.00f, 0, 1, kHwAVX), 34.00f);
    EXPECT_FLOAT_EQ(TuneFloat(ALTIMETER, baro, kBaro, 24.00f, 0, -1, kHwAVX), 24.00f);
    // A metric display does not change the step.
    gIsMetricPressure = XPLMFindDataRef(kMetric);
    SetI(kMetric, 1);
    EXPECT_FLOAT_EQ(TuneFloat(ALTIMETER, baro, kBaro, 29.92f, 0, 1, kHwAVX), 29.93f);
    EXPECT_STREQ(a.text, " 1014");
    SetI(kMetric, 0);
}

TEST_F(TuneTest, DecisionHeightAndLightingLevels) {
    const auto int4 = EDisplayType::DISP_INT4;
    EXPECT_EQ(TuneFloat(DECISION_HEIGHT, int4, kDecisionHeight, 200, 0, 3, kHwKNB), 230.0f);
    EXPECT_EQ(TuneFloat(DECISION_HEIGHT, int4, kDecisionHeight, 9995, 0, 3, 13), 9999.0f);
    // Other units: the two low digits wrap with fine, the hundreds clamp with coarse.
    EXPECT_EQ(TuneFloat(DECISION_HEIGHT, int4, kDecisionHeight, 199, 1, 1, kHwAVX), 200.0f);
    EXPECT_EQ(TuneFloat(DECISION_HEIGHT, int4, kDecisionHeight, 9900, 1, 0, kHwAVX), 9900.0f);

    const auto tenths = EDisplayType::DISP_TENTHS;
    EXPECT_FLOAT_EQ(TuneFloat(INST_BRIGHTNESS, tenths, kInstBright, 0.5f, 0, 1, kHwAVX), 0.55f);
    EXPECT_FLOAT_EQ(TuneFloat(INST_BRIGHTNESS, tenths, kInstBright, 0.12f, 0, -1, kHwAVX), 0.10f);
    EXPECT_FLOAT_EQ(TuneFloat(PANEL_BRIGHTNESS_LEVEL, tenths, kInstBright, 1.0f, 0, 4, kHwAVX), 1.0f);
}

TEST_F(TuneTest, SelectorsClampAndPickTheirKnob) {
    const auto plain = EDisplayType::DISP_INT;
    // Map range on an AVX, RSX or AVY: the coarse knob.
    EXPECT_EQ(TuneInt(EFIS_ND_RANGE_SEL, EDisplayType::DISP_RANGE, kMapRange, 2, 1, 5, kHwAVX), 3);
    EXPECT_STREQ(a.text, "80");
    EXPECT_EQ(TuneInt(EFIS_ND_RANGE_SEL, EDisplayType::DISP_RANGE, kMapRange, 6, 0, 1, kHwKNB), 6);
    EXPECT_EQ(TuneInt(EFIS_ND_MODE_SEL, plain, kMapMode, 0, 0, 3, 13), 1);
    // APU: coarse on an AVY only.
    EXPECT_EQ(TuneInt(APU_SWITCH, plain, kApu, 1, 1, 0, kHwAVY), 2);
    EXPECT_EQ(TuneInt(APU_SWITCH, plain, kApu, 1, 1, 0, kHwAVX), 1);
    EXPECT_EQ(TuneInt(APU_SWITCH, plain, kApu, 1, 0, -4, kHwPBX), 0);
    EXPECT_EQ(TuneInt(AUTO_BRAKE, plain, kAutoBrake, 4, 3, 3, kHwAVY), 5);
}

TEST_F(TuneTest, TrimsMoveByTheirIncrementWithinTheLimit) {
    const auto raw = EDisplayType::DISP_RAW;
    EXPECT_FLOAT_EQ(TuneFloat(ELEV_TRIM, raw, kElevTrim, 0.998f, 0, 1, kHwAVX), 1.0f);
    EXPECT_FLOAT_EQ(TuneFloat(ELEV_TRIM, raw, kElevTrim, 0.0f, 0, -2, kHwAVX), -0.01f);
    // Older simulators limit the trim to half travel.
    gXPlaneVersion = 9700;
    EXPECT_FLOAT_EQ(TuneFloat(ELEV_TRIM, raw, kElevTrim, 0.498f, 0, 1, kHwAVX), 0.5f);
    EXPECT_FLOAT_EQ(TuneFloat(ELEV_TRIM, raw, kElevTrim, -0.498f, 0, -1, kHwAVX), -0.5f);
}

TEST_F(TuneTest, FunctionsWithoutARuleOnlyRefresh) {
    SetI(kCom1, 11825);
    a.Register("PREV", EDisplayType::DISP_FREQ, PREV, kCom1);
    SetI(kCom1, 11900);
    a.Tune(3, 3, kHwRSX);
    EXPECT_EQ(GetI(kCom1), 11900);
    EXPECT_STREQ(a.text, "119.00");
}

TEST_F(TuneTest, MissingDatarefTunesNothing) {
    a.Register("COM1", EDisplayType::DISP_FREQ, COM1_ACTIVE, kMissing);
    a.Tune(1, 1, kHwRSX);
    EXPECT_STREQ(a.text, "000.00");
    EXPECT_EQ(a.InternalGet(), 0.0f);
}
