// Radio stack and avionics display units, end to end: tuning with both knobs, the transfer
// button, function buttons and lamps, page stepping and the shared instrument list.
#include "harness.h"

namespace e2e {
namespace {

constexpr const char* kCom1 = "sim/cockpit/radios/com1_freq_hz";
constexpr const char* kCom1Standby = "sim/cockpit/radios/com1_stdby_freq_hz";
constexpr const char* kNav1 = "sim/cockpit/radios/nav1_freq_hz";
constexpr const char* kNav1Standby = "sim/cockpit/radios/nav1_stdby_freq_hz";
constexpr const char* kXpdr = "sim/cockpit/radios/transponder_code";
constexpr const char* kBaro = "sim/cockpit/misc/barometer_setting";
constexpr const char* kApMode = "sim/cockpit/autopilot/autopilot_mode";

// Report IDs of the display units.
constexpr uint8_t kRsxLeft = 3, kRsxRight = 5, kRsxLamps = 7, kRsxEncoderType = 9;
constexpr uint8_t kAlpha = 3, kNumeric = 5;

auto IntIs(const char* name, int value) {
    return [name, value] { return hostsim::GetInt(name) == value; };
}

// How a text on a 7-segment display reads back: "R" has the code of "-".
std::string Seg(std::string text) {
    for (char& c : text) {
        if (c == 'R') c = '-';
    }
    return text;
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

class AvionicsTest : public DravTest {
  protected:
    static std::string Left(const qdtest::Unit& u) { return DecodeSegments(Feature(u, kRsxLeft)); }
    static std::string Right(const qdtest::Unit& u) { return DecodeSegments(Feature(u, kRsxRight)); }
    static std::string Alpha(const qdtest::Unit& u) { return Trim(DecodeAlpha(Feature(u, kAlpha))); }
    static std::string Numeric(const qdtest::Unit& u) { return Trim(DecodeNumeric(Feature(u, kNumeric))); }
};

TEST_F(AvionicsTest, RadioStackTunesCom1StandbyWithBothKnobsAndTransfers) {
    WriteIni("[QDRSX_1]\nFunction1=COM1_DUAL\n");
    hostsim::SetInt(kCom1, 11825);
    hostsim::SetInt(kCom1Standby, 12150);
    qdtest::Unit& rsx = Plug(RSX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == Seg("C.118.25") && Right(rsx) == " 121.50"; }))
        << Left(rsx) << " | " << Right(rsx);

    rsx.turn(2, 1); // fine knob: one 25 kHz channel
    EXPECT_TRUE(RunUntil(IntIs(kCom1Standby, 12152)));
    rsx.turn(1, -2); // coarse knob: two MHz down
    EXPECT_TRUE(RunUntil(IntIs(kCom1Standby, 11952)));
    EXPECT_TRUE(RunUntil([&] { return Right(rsx) == " 119.52"; })) << Right(rsx);
    EXPECT_EQ(hostsim::GetInt(kCom1), 11825) << "the knobs tune the standby frequency only";

    rsx.press(1); // transfer
    EXPECT_TRUE(RunUntil(IntIs(kCom1, 11952)));
    EXPECT_EQ(hostsim::GetInt(kCom1Standby), 11825);
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == Seg("C.119.52") && Right(rsx) == " 118.25"; }))
        << Left(rsx) << " | " << Right(rsx);
    rsx.release(1);
    Settle();
    EXPECT_EQ(hostsim::GetInt(kCom1), 11952) << "the release transfers nothing";

    // The simulator's own changes show on the next refresh.
    hostsim::SetInt(kCom1Standby, 13000);
    EXPECT_TRUE(RunUntil([&] { return Right(rsx) == " 130.00"; }, 2.0)) << Right(rsx);
}

TEST_F(AvionicsTest, RadioStackSimplePageEncoderTypeAndFunctionButtons) {
    WriteIni(
        "[CONFIG]\nRMKRSXEncoderType=2\n"
        "[QDRSX_1]\nFunction1=XPDR\nFunction2=NAV1_DUAL\nFunctionL=AP_MASTER\nFunctionR=QDRSX_1_FUNC_NEXT\n");
    hostsim::SetInt(kXpdr, 1200);
    hostsim::SetInt(kNav1, 11030);
    hostsim::SetInt(kNav1Standby, 11150);
    hostsim::SetInt(kApMode, 2);
    qdtest::Unit& rsx = Plug(RSX);
    ASSERT_TRUE(Start());
    EXPECT_EQ(Feature(rsx, kRsxEncoderType), std::vector<uint8_t>{0x0A}) << "both encoders set to type 2";
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == Seg("XPDR  ") && Right(rsx) == " 1200 "; }))
        << Left(rsx) << " | " << Right(rsx);
    EXPECT_TRUE(RunUntil([&] { return Feature(rsx, kRsxLamps) == std::vector<uint8_t>{0x02}; }))
        << "lamp 1 follows the autopilot";

    rsx.press(1); // no standby on a simple page: nothing to transfer
    rsx.release(1);
    rsx.turn(1, 1); // coarse: first two digits
    EXPECT_TRUE(RunUntil(IntIs(kXpdr, 1300)));
    rsx.turn(2, 1); // fine: last two digits
    EXPECT_TRUE(RunUntil(IntIs(kXpdr, 1301)));
    EXPECT_TRUE(RunUntil([&] { return Right(rsx) == " 1301 "; })) << Right(rsx);

    rsx.press(2); // button L: autopilot off, lamp off
    EXPECT_TRUE(RunUntil(IntIs(kApMode, 0)));
    EXPECT_TRUE(RunUntil([&] { return Feature(rsx, kRsxLamps) == std::vector<uint8_t>{0x00}; }));
    rsx.release(2);

    rsx.press(3); // button R pages this very unit forward
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == Seg("M.110.30") && Right(rsx) == " 111.50"; }))
        << Left(rsx) << " | " << Right(rsx);
    rsx.release(3);
    rsx.turn(2, 1); // the NAV standby now: 50 kHz
    EXPECT_TRUE(RunUntil(IntIs(kNav1Standby, 11155)));
    EXPECT_EQ(hostsim::GetInt(kXpdr), 1301);
}

TEST_F(AvionicsTest, AvionicsUnitsPageAndShareTheInstrumentList) {
    WriteIni("[QDAVX_1]\nFunction1=COM1_ACTIVE\nFunction3=FUNC_INST\n"
             "[QDAVY_1]\nFunction1=FUNC_INST\nFunction2=XPDR\n"
             "[QDPBX_1]\nFunction1=QDAVX_1_FUNC_NEXT\n");
    hostsim::SetInt(kCom1, 11825);
    hostsim::SetInt(kXpdr, 4321);
    hostsim::SetFloat(kBaro, 29.92f);
    qdtest::Unit& avx = Plug(AVX);
    qdtest::Unit& avy = Plug(AVY);
    qdtest::Unit& pbx = Plug(PBX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Alpha(avx) == "COM1" && Numeric(avx) == "118.25"; }))
        << Alpha(avx) << " | " << Numeric(avx);
    avx.turn(2, 1); // fine tuning of the page shown
    EXPECT_TRUE(RunUntil(IntIs(kCom1, 11827)));

    // A button of another unit pages the QD-AVX: it now shows the instrument list too.
    pbx.press(1);
    pbx.release(1);
    EXPECT_TRUE(RunUntil([&] { return Alpha(avx) == Alpha(avy) && !Alpha(avx).empty(); }))
        << Alpha(avx) << " | " << Alpha(avy);

    // Turning encoder 1 on one unit moves the item on both; it stops at the list's ends.
    avy.turn(1, -9);
    avy.turn(1, 1);
    EXPECT_TRUE(RunUntil([&] { return Alpha(avx) == "ALTI" && Alpha(avy) == "ALTI"; }))
        << Alpha(avx) << " | " << Alpha(avy);
    EXPECT_TRUE(RunUntil([&] { return Numeric(avx) == "29.92"; })) << Numeric(avx);
    avx.turn(2, 1);
    EXPECT_TRUE(RunUntil([] { return std::abs(hostsim::GetFloat(kBaro) - 29.93f) < 1e-4f; }));
    EXPECT_TRUE(RunUntil([&] { return Numeric(avy) == "29.93"; })) << Numeric(avy);

    // The QD-AVY button steps to its next page; the code is shown one position further right.
    avy.press(1);
    EXPECT_TRUE(RunUntil([&] {
        return Alpha(avy) == "XPDR" && DecodeNumeric(Feature(avy, kNumeric)) == " 4321 ";
    })) << Alpha(avy)
        << " | " << DecodeNumeric(Feature(avy, kNumeric));
    avy.release(1);
    avy.press(1);
    EXPECT_TRUE(RunUntil([&] { return Alpha(avy) == "ALTI"; })) << Alpha(avy);
    EXPECT_EQ(Alpha(avx), "ALTI") << "the other unit keeps its page";
}

TEST_F(AvionicsTest, RadioStackDebugLinesNameWhatHappened) {
    WriteIni("[DEBUG]\nDebugEnabled=1\nDebugRegisterFunction=1\nDebugGetButtonFunction=1\n"
             "DebugHandleInputFunction=1\nDebugSetDisplayFunction=1\n[QDRSX_1]\nFunction1=COM1_DUAL\n");
    hostsim::SetInt(kCom1, 11825);
    hostsim::SetInt(kCom1Standby, 12150);
    qdtest::Unit& rsx = Plug(RSX);
    ASSERT_TRUE(Start());
    rsx.turn(2, 1);
    EXPECT_TRUE(RunUntil(IntIs(kCom1Standby, 12152)));
    rsx.press(1);
    EXPECT_TRUE(RunUntil(IntIs(kCom1, 12152)));
    Settle();
    const std::string log = LogText();
    for (const char* line : {"QDRSX_Module::Register - PrevSwitchVals = 0000000000000000",
                             "QDRSX_Module::SetDisplay -  Left Display = C.118.25",
                             "QDRSX_Module::SetDisplay -  Right Display = 121.50",
                             "QDRSX_Module::GetButton -  Dial 1 = 0, Dial 2 = 1",
                             "QDRSX_Module::HandleInput -  Button = 4, Value = 1",
                             "QDRSX_Module::GetButton - BtnState = 1000000000000000",
                             "QDRSX_Module::SetDisplay -  Left Display = C.121.52"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(AvionicsTest, PowerLossBlanksDisplaysAndRestoresThem) {
    WriteIni("[QDRSX_1]\nFunction1=COM1_DUAL\n[QDAVX_1]\nFunction1=XPDR\n");
    hostsim::SetInt(kCom1, 11825);
    hostsim::SetInt(kCom1Standby, 12150);
    hostsim::SetInt(kXpdr, 7000);
    qdtest::Unit& rsx = Plug(RSX);
    qdtest::Unit& avx = Plug(AVX);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(RunUntil([&] { return Left(rsx) == Seg("C.118.25") && Numeric(avx) == "7000"; }));

    SetPower(false);
    EXPECT_TRUE(RunUntil([&] {
        return Left(rsx) == Seg("      ") && Right(rsx) == "      " && Alpha(avx).empty() &&
               Numeric(avx).empty();
    })) << Left(rsx)
        << " | " << Alpha(avx);
    // Dark units are not sent their blanks again and again.
    const size_t sent = rsx.outputs().size() + avx.outputs().size();
    hostsim::RunSeconds(1.5);
    Settle();
    EXPECT_EQ(rsx.outputs().size() + avx.outputs().size(), sent);

    SetPower(true);
    EXPECT_TRUE(RunUntil([&] {
        return Left(rsx) == Seg("C.118.25") && Right(rsx) == " 121.50" && Alpha(avx) == "XPDR" &&
               Numeric(avx) == "7000";
    })) << Left(rsx)
        << " | " << Alpha(avx);
}

} // namespace
} // namespace e2e
