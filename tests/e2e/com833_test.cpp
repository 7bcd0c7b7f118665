// 8.33 kHz COM radios end to end (ComChannelSpacing=833): the radio stack walks the channel
// names with both knobs, transfers, and shows six digits; the avionics units show what fits
// their numeric displays; an older simulator falls back to 25 kHz with one line in its log.
#include "harness.h"

#include <string>
#include <vector>

namespace e2e {
namespace {

constexpr const char* kCom1 = "sim/cockpit/radios/com1_freq_hz";
constexpr const char* kCom1Standby = "sim/cockpit/radios/com1_stdby_freq_hz";
constexpr const char* kCom1Khz = "sim/cockpit2/radios/actuators/com1_frequency_hz_833";
constexpr const char* kCom1StandbyKhz = "sim/cockpit2/radios/actuators/com1_standby_frequency_hz_833";
constexpr const char* kCom2Khz = "sim/cockpit2/radios/actuators/com2_frequency_hz_833";
constexpr const char* kCom2StandbyKhz = "sim/cockpit2/radios/actuators/com2_standby_frequency_hz_833";
constexpr uint8_t kRsxLeft = 3, kRsxRight = 5, kAlpha = 3, kNumeric = 5;
constexpr const char* k833 = "[CONFIG]\nComChannelSpacing=833\n";

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

auto IntIs(const char* name, int value) {
    return [name, value] { return hostsim::GetInt(name) == value; };
}

class Com833Test : public DravTest {
  protected:
    static std::string Left(const qdtest::Unit& u) { return Trim(DecodeSegments(Feature(u, kRsxLeft))); }
    static std::string Right(const qdtest::Unit& u) { return Trim(DecodeSegments(Feature(u, kRsxRight))); }
    static std::string Alpha(const qdtest::Unit& u) { return Trim(DecodeAlpha(Feature(u, kAlpha))); }
    static std::string Numeric(const qdtest::Unit& u) { return Trim(DecodeNumeric(Feature(u, kNumeric))); }

    // Turns an encoder one detent at a time and waits for each value the dataref should take.
    bool Walk(qdtest::Unit& u, int encoder, int detent, const char* ref, const std::vector<int>& values) {
        for (int v : values) {
            u.turn(encoder, detent);
            if (!RunUntil(IntIs(ref, v))) {
                ADD_FAILURE() << "expected " << v << ", got " << hostsim::GetInt(ref);
                return false;
            }
        }
        return true;
    }
};

TEST_F(Com833Test, RadioStackWalksTheChannelNamesAndTransfers) {
    WriteIni(std::string(k833) + "[QDRSX_1]\nFunction1=COM1_DUAL\n");
    hostsim::SetInt(kCom1Khz, 118005);
    hostsim::SetInt(kCom1StandbyKhz, 132980);
    qdtest::Unit& rsx = Plug(RSX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == "118.005" && Right(rsx) == "132.980"; }))
        << Left(rsx) << " | " << Right(rsx);

    // Fine knob: across the MHz edge (wrapping), then back, then across a 25 kHz block.
    Walk(rsx, 2, 1, kCom1StandbyKhz, {132985, 132990, 132000, 132005});
    Walk(rsx, 2, -1, kCom1StandbyKhz, {132000, 132990});
    hostsim::SetInt(kCom1StandbyKhz, 132810);
    Walk(rsx, 2, 1, kCom1StandbyKhz, {132815, 132825, 132830});
    Walk(rsx, 2, -1, kCom1StandbyKhz, {132825, 132815});
    // Coarse knob: whole MHz, 136 wraps to 118 and back.
    hostsim::SetInt(kCom1StandbyKhz, 135830);
    Walk(rsx, 1, 1, kCom1StandbyKhz, {136830, 118830});
    Walk(rsx, 1, -1, kCom1StandbyKhz, {136830});
    EXPECT_TRUE(RunUntil([&] { return Right(rsx) == "136.830"; })) << Right(rsx);
    EXPECT_EQ(hostsim::GetInt(kCom1Khz), 118005) << "the knobs tune the standby only";
    EXPECT_EQ(hostsim::GetInt(kCom1Standby), 11920) << "the 25 kHz datarefs are left alone";

    rsx.press(1); // transfer
    EXPECT_TRUE(RunUntil(IntIs(kCom1Khz, 136830)));
    EXPECT_EQ(hostsim::GetInt(kCom1StandbyKhz), 118005);
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == "136.830" && Right(rsx) == "118.005"; }))
        << Left(rsx) << " | " << Right(rsx);
    rsx.release(1);

    // A value the simulator set between channel names snaps to the nearest on the first step.
    hostsim::SetInt(kCom1StandbyKhz, 121502);
    Walk(rsx, 2, 1, kCom1StandbyKhz, {121500, 121505});
    hostsim::SetInt(kCom1StandbyKhz, 121520);
    Walk(rsx, 2, -1, kCom1StandbyKhz, {121515});
}

TEST_F(Com833Test, DualPageShowsItsLetterForASecondAfterAPageChange) {
    WriteIni(std::string(k833) +
             "[QDRSX_1]\nFunction1=COM1_DUAL\nFunction2=COM2_DUAL\nFunctionR=QDRSX_1_FUNC_NEXT\n");
    hostsim::SetInt(kCom1Khz, 118005);
    hostsim::SetInt(kCom2Khz, 132830);
    hostsim::SetInt(kCom2StandbyKhz, 121500);
    qdtest::Unit& rsx = Plug(RSX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == "118.005"; })) << Left(rsx);
    // COM1's letter carries a point, COM2's does not; both came before the frequency.
    std::vector<std::string> lefts;
    for (const qdtest::Sent& s : rsx.outputs())
        if (s.kind == qdtest::Sent::Feature && !s.bytes.empty() && s.bytes[0] == kRsxLeft)
            lefts.push_back(Trim(DecodeSegments({s.bytes.begin() + 1, s.bytes.end()})));
    ASSERT_GE(lefts.size(), 2u);
    EXPECT_EQ(lefts[lefts.size() - 2], "C.");

    rsx.press(3); // page to COM2
    rsx.release(3);
    ASSERT_TRUE(RunUntil([&] { return Left(rsx) == "C"; })) << Left(rsx);
    const double letter_seen = hostsim::Now();
    // The right display's report follows the left one's: it may arrive a moment later.
    EXPECT_TRUE(RunUntil([&] { return Right(rsx) == "121.500"; })) << Right(rsx);
    ASSERT_TRUE(RunUntil([&] { return Left(rsx) == "132.830"; })) << Left(rsx);
    EXPECT_GE(hostsim::Now() - letter_seen, 0.7);
    EXPECT_LE(hostsim::Now() - letter_seen, 2.5);
}

TEST_F(Com833Test, AvionicsUnitsAndSimplePagesShowWhatFitsTheirDisplays) {
    WriteIni(std::string(k833) + "[QDAVX_1]\nFunction1=COM1_ACTIVE\n[QDAVY_1]\nFunction1=COM1_ACTIVE\n"
                                 "[QDRSX_1]\nFunction1=COM1_STANDBY\n");
    hostsim::SetInt(kCom1Khz, 132830);
    hostsim::SetInt(kCom1StandbyKhz, 118005);
    qdtest::Unit& avx = Plug(AVX);
    qdtest::Unit& avy = Plug(AVY);
    qdtest::Unit& rsx = Plug(RSX);
    ASSERT_TRUE(Start());
    // Five positions on the QD-AVX: the leading 1 that every COM frequency has goes. (The S of
    // the label reads back as 5.)
    EXPECT_TRUE(RunUntil([&] {
        return Alpha(avx) == "COM1" && Numeric(avx) == "32.830" && Alpha(avy) == "COM1" &&
               Numeric(avy) == "132.830" && Left(rsx) == "CM15" && Right(rsx) == "118.005";
    })) << Numeric(avx)
        << " | " << Numeric(avy) << " | " << Left(rsx) << " | " << Right(rsx);

    avx.turn(2, -1);
    EXPECT_TRUE(RunUntil(IntIs(kCom1Khz, 132825)));
    EXPECT_TRUE(RunUntil([&] { return Numeric(avx) == "32.825" && Numeric(avy) == "132.825"; }))
        << Numeric(avx) << " | " << Numeric(avy);
    rsx.turn(1, 1); // a simple page: both knobs tune the value shown
    EXPECT_TRUE(RunUntil(IntIs(kCom1StandbyKhz, 119005)));
    EXPECT_TRUE(RunUntil([&] { return Right(rsx) == "119.005"; })) << Right(rsx);
}

TEST_F(Com833Test, SpacingOf25KeepsTheTenKilohertzDatarefs) {
    WriteIni("[CONFIG]\nComChannelSpacing=25\n[QDRSX_1]\nFunction1=COM1_DUAL\n");
    hostsim::SetInt(kCom1, 11825);
    hostsim::SetInt(kCom1Standby, 12150);
    qdtest::Unit& rsx = Plug(RSX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == "C.118.25" && Right(rsx) == "121.50"; }))
        << Left(rsx) << " | " << Right(rsx);
    rsx.turn(2, 1);
    EXPECT_TRUE(RunUntil(IntIs(kCom1Standby, 12152)));
    EXPECT_EQ(hostsim::GetInt(kCom1StandbyKhz), 119200);
}

TEST_F(Com833Test, SimulatorWithoutThe833DatarefsFallsBackAndSaysSoOnce) {
    WriteIni(std::string(k833) + "[QDRSX_1]\nFunction1=COM1_DUAL\n[QDAVX_1]\nFunction1=COM2_ACTIVE\n");
    for (const char* name : {kCom1Khz, kCom1StandbyKhz, kCom2Khz, kCom2StandbyKhz})
        hostsim::RemoveDataref(name);
    hostsim::SetInt(kCom1, 11825);
    hostsim::SetInt(kCom1Standby, 12150);
    qdtest::Unit& rsx = Plug(RSX);
    qdtest::Unit& avx = Plug(AVX);
    hostsim::ClearDebugLog();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == "C.118.25" && Right(rsx) == "121.50"; }))
        << Left(rsx) << " | " << Right(rsx);
    EXPECT_TRUE(RunUntil([&] { return Numeric(avx) == "122.30"; })) << Numeric(avx);
    rsx.turn(2, 1);
    EXPECT_TRUE(RunUntil(IntIs(kCom1Standby, 12152)));

    const std::string log = hostsim::DebugLog();
    const std::string line = "8.33 kHz COM datarefs";
    const size_t at = log.find(line);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos) << "one line only:\n" << log;
}

} // namespace
} // namespace e2e
