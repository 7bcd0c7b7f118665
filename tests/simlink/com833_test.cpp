// 8.33 kHz COM radios: the channel-name arithmetic, the kHz text format, and the binding that
// picks the 8.33-capable datarefs when ComChannelSpacing is 833 and the simulator has them.
#include "avionic_test_util.h"
#include "core/globals.h"
#include "simlink/avionic.h"
#include "simlink/simlink_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace avionic_test;

namespace {

constexpr const char* kCom1Khz = "sim/cockpit2/radios/actuators/com1_frequency_hz_833";
constexpr const char* kCom1StandbyKhz = "sim/cockpit2/radios/actuators/com1_standby_frequency_hz_833";
constexpr const char* kCom2StandbyKhz = "sim/cockpit2/radios/actuators/com2_standby_frequency_hz_833";

// The names pilots dial within one MHz, in order.
std::vector<int> ChannelNames() {
    std::vector<int> names;
    for (int block = 0; block < 1000; block += 25)
        for (int offset = 0; offset <= 15; offset += 5)
            names.push_back(block + offset);
    return names;
}

} // namespace

TEST(Com833Channels, FineWalksEveryNameInOrderBothWaysAndWrapsWithinTheMhz) {
    const std::vector<int> names = ChannelNames();
    ASSERT_EQ(names.size(), 160u);
    int k = 118000;
    for (size_t i = 1; i <= names.size(); ++i) {
        k = DRAV_Com833Fine(k, 1);
        ASSERT_EQ(k, 118000 + names[i % names.size()]) << "step " << i;
    }
    for (size_t i = names.size(); i-- > 0;) {
        k = DRAV_Com833Fine(k, -1);
        ASSERT_EQ(k, 118000 + names[i]) << "back to " << i;
    }
    // Block edges, the MHz edge and several detents at once.
    EXPECT_EQ(DRAV_Com833Fine(132015, 1), 132025);
    EXPECT_EQ(DRAV_Com833Fine(132025, -1), 132015);
    EXPECT_EQ(DRAV_Com833Fine(132990, 1), 132000);
    EXPECT_EQ(DRAV_Com833Fine(132000, -1), 132990);
    EXPECT_EQ(DRAV_Com833Fine(118005, -3), 118985);
    EXPECT_EQ(DRAV_Com833Fine(118005, 163), 118025);
    EXPECT_EQ(DRAV_Com833Fine(132830, 0), 132830);
}

TEST(Com833Channels, OffChannelValuesMoveToTheNearestNameOnTheFirstStep) {
    // Halfway between two names: the turn decides.
    EXPECT_EQ(DRAV_Com833Fine(118020, 1), 118025);
    EXPECT_EQ(DRAV_Com833Fine(118020, -1), 118015);
    EXPECT_EQ(DRAV_Com833Fine(132832, 1), 132830);
    EXPECT_EQ(DRAV_Com833Fine(132832, -1), 132830);
    EXPECT_EQ(DRAV_Com833Fine(118022, 2), 118030);
    // Nothing above .990 within the MHz.
    EXPECT_EQ(DRAV_Com833Fine(118997, 1), 118990);
    // A negative reading is held at zero rather than formatted into nonsense.
    EXPECT_EQ(DRAV_Com833Fine(-7, 1), 5);
}

TEST(Com833Channels, CoarseStepsWholeMhzWithWrapAndSnapsOffChannelValues) {
    EXPECT_EQ(DRAV_Com833Coarse(136830, 1), 118830);
    EXPECT_EQ(DRAV_Com833Coarse(118005, -1), 136005);
    EXPECT_EQ(DRAV_Com833Coarse(121500, 3), 124500);
    EXPECT_EQ(DRAV_Com833Coarse(132832, 1), 133830);
    EXPECT_EQ(DRAV_Com833Coarse(132832, 0), 132832);
}

namespace {

class Com833Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSimulator();
        g_ComChannelSpacing = 25;
        g_Enable_x737_Support = 0;
    }
    void TearDown() override { g_ComChannelSpacing = 25; }

    static Avionic* Bind(E_UnitType f) {
        Avionic* place = nullptr;
        Fly_subsystem scratch;
        of_SimLink(f, &place, scratch, -1, 2);
        return place;
    }
};

} // namespace

TEST_F(Com833Test, TextShowsSixDigitsAndParsesBackThroughTheTransfer) {
    SetI(kCom1Khz, 118005);
    SetI(kCom1StandbyKhz, 132830);
    Avionic active;
    Avionic standby;
    active.Register("CM1D", EDisplayType::DISP_FREQ_833, COM1_DUAL, kCom1Khz);
    standby.Register("CM1S", EDisplayType::DISP_FREQ_833, COM1_STANDBY, kCom1StandbyKhz);
    EXPECT_STREQ(active.text, "118.005");
    EXPECT_STREQ(standby.text, "132.830");
    active.FlipFlop(&standby);
    EXPECT_EQ(GetI(kCom1Khz), 132830);
    EXPECT_EQ(GetI(kCom1StandbyKhz), 118005);
}

TEST_F(Com833Test, EveryComFunctionTunesTheKhzDatarefWith833Spacing) {
    g_ComChannelSpacing = 833;
    SetI(kCom1StandbyKhz, 132825);
    Avionic* standby = Bind(COM1_STANDBY);
    ASSERT_NE(standby, nullptr);
    EXPECT_EQ(standby->displayType, EDisplayType::DISP_FREQ_833);
    EXPECT_STREQ(standby->text, "132.825");
    standby->Tune(0, 1, 5);
    EXPECT_EQ(GetI(kCom1StandbyKhz), 132830);
    EXPECT_STREQ(standby->text, "132.830");
    EXPECT_EQ(GetI(kCom1Standby), 11920) << "the 25 kHz dataref is not written";

    // Split coarse and fine forms take their steps from the fine count.
    SetI(kCom2StandbyKhz, 136990);
    Bind(COM2_STANDBY_FINE)->Tune(0, 1, 1);
    EXPECT_EQ(GetI(kCom2StandbyKhz), 136000);
    Bind(COM2_STANDBY_COARSE)->Tune(0, 1, 1);
    EXPECT_EQ(GetI(kCom2StandbyKhz), 118000);

    // PREV and NEXT share the COM1 dual object and keep it on the same dataref.
    Bind(PREV);
    EXPECT_EQ(DRAV_AvionicFor(COM1_DUAL)->dataRef, XPLMFindDataRef(kCom1Khz));
    // Other radios keep their datarefs and steps.
    Avionic* nav = Bind(NAV1_DUAL);
    EXPECT_EQ(nav->displayType, EDisplayType::DISP_FREQ);
    EXPECT_EQ(nav->dataRef, XPLMFindDataRef(kNav1));
}

TEST_F(Com833Test, DefaultSpacingAndOldSimulatorsKeepThe25KilohertzDatarefs) {
    Avionic* com1 = Bind(COM1_ACTIVE);
    EXPECT_EQ(com1->dataRef, XPLMFindDataRef(kCom1));
    EXPECT_EQ(com1->displayType, EDisplayType::DISP_FREQ);
    // Any value but 833 is today's behaviour.
    g_ComChannelSpacing = 8;
    EXPECT_EQ(Bind(COM1_ACTIVE)->dataRef, XPLMFindDataRef(kCom1));

    // A simulator lacking one of the four falls back for all of them, and says so once.
    hostsim::RemoveDataref(kCom2StandbyKhz);
    hostsim::ClearDebugLog();
    g_ComChannelSpacing = 833;
    com1 = Bind(COM1_ACTIVE);
    EXPECT_EQ(com1->dataRef, XPLMFindDataRef(kCom1));
    EXPECT_EQ(com1->displayType, EDisplayType::DISP_FREQ);
    Bind(COM2_STANDBY);
    const std::string log = hostsim::DebugLog();
    const std::string line = "8.33 kHz COM datarefs";
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line, log.find(line) + 1), std::string::npos) << log;
}
