// The watch table behind the refresh after an input: what a recording notes, and what a poll
// finds changed, against the simulator stand-in's datarefs.
#include "hostsim.h"
#include "simlink/sim_watch.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr const char* kBattery = "sim/cockpit/electrical/battery_on"; // int
constexpr const char* kBaro = "sim/cockpit/misc/barometer_setting";   // float
constexpr const char* kMixture = "sim/flightmodel/engine/ENGN_mixt";  // float[8]

class SimWatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DRAV_WatchReset();
        battery = XPLMFindDataRef(kBattery);
        baro = XPLMFindDataRef(kBaro);
        mixture = XPLMFindDataRef(kMixture);
        ASSERT_NE(battery, nullptr);
        ASSERT_NE(baro, nullptr);
        ASSERT_NE(mixture, nullptr);
        hostsim::SetInt(kBattery, 0);
        hostsim::SetFloat(kBaro, 29.92f);
        hostsim::SetFloats(kMixture, {0.5f, 0.5f, 0.5f, 0.5f});
    }
    XPLMDataRef battery = nullptr;
    XPLMDataRef baro = nullptr;
    XPLMDataRef mixture = nullptr;
};

TEST_F(SimWatchTest, PollFindsWhatChangedForTheUnitsThatReadIt) {
    WatchSet lamps, display;
    {
        WatchRecording r(lamps);
        DRAV_ReadInt(battery);
        float m[2];
        DRAV_ReadFloats(mixture, m, 1, 2);
    }
    {
        WatchRecording r(display);
        DRAV_ReadFloat(baro);
        DRAV_ReadInt(battery); // shared with the lamps: one entry
    }
    EXPECT_EQ(DRAV_WatchCount(), 3);
    EXPECT_TRUE(DRAV_WatchPoll().Empty()) << "nothing changed yet";

    hostsim::SetFloat(kBaro, 30.01f);
    const WatchSet& changed = DRAV_WatchPoll();
    EXPECT_TRUE(display.Intersects(changed));
    EXPECT_FALSE(lamps.Intersects(changed));
    EXPECT_TRUE(DRAV_WatchPoll().Empty()) << "a change is reported once";

    // An element outside the slice read is no change; one inside is.
    hostsim::SetFloats(kMixture, {0.9f}, 3);
    EXPECT_TRUE(DRAV_WatchPoll().Empty());
    hostsim::SetFloats(kMixture, {0.7f}, 2);
    EXPECT_TRUE(lamps.Intersects(DRAV_WatchPoll()));

    hostsim::SetInt(kBattery, 1);
    const WatchSet& both = DRAV_WatchPoll();
    EXPECT_TRUE(lamps.Intersects(both));
    EXPECT_TRUE(display.Intersects(both));
}

TEST_F(SimWatchTest, AReadThatDiffersFromThePolledValueIsFoundByTheNextPoll) {
    WatchSet first, second;
    {
        WatchRecording r(first);
        DRAV_ReadInt(battery);
    }
    // The value moves between two units' reads in one pass: the second unit shows the new value,
    // the first does not, so the next poll must still report it.
    hostsim::SetInt(kBattery, 1);
    {
        WatchRecording r(second);
        DRAV_ReadInt(battery);
    }
    EXPECT_TRUE(first.Intersects(DRAV_WatchPoll()));
}

TEST_F(SimWatchTest, PlugInVariablesComputedValuesAndTime) {
    static int option = 0;
    static std::atomic<int> flag{0};
    static int computed = 0;
    WatchSet set;
    {
        WatchRecording r(set);
        DRAV_ReadWatched(option);
        DRAV_ReadWatched(flag);
        DRAV_NoteComputed([](int arg) { return computed + arg; }, 5, 5);
    }
    EXPECT_FALSE(set.always);
    EXPECT_TRUE(DRAV_WatchPoll().Empty());
    option = 2;
    EXPECT_TRUE(set.Intersects(DRAV_WatchPoll()));
    flag.store(1);
    EXPECT_TRUE(set.Intersects(DRAV_WatchPoll()));
    computed = 1;
    EXPECT_TRUE(set.Intersects(DRAV_WatchPoll()));

    WatchSet timed;
    {
        WatchRecording r(timed);
        DRAV_ReadElapsedTime();
    }
    EXPECT_TRUE(timed.always);
}

TEST_F(SimWatchTest, ASeeThroughDatarefNotesWhatItsGetterReads) {
    // Two of the plug-in's own datarefs made from the battery: one entry, the battery.
    static XPLMDataRef s_battery = battery;
    const auto getter = [](void* refcon) { return DRAV_ReadInt(s_battery) + (refcon != nullptr ? 10 : 0); };
    XPLMDataRef a = XPLMRegisterDataAccessor("test/watch/through_a", xplmType_Int, 0, getter, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr);
    XPLMDataRef b = XPLMRegisterDataAccessor("test/watch/through_b", xplmType_Int, 0, getter, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, this, nullptr);
    ASSERT_NE(a, nullptr);
    DRAV_WatchThrough(a);
    DRAV_WatchThrough(b);
    WatchSet set;
    {
        WatchRecording r(set);
        EXPECT_EQ(DRAV_ReadInt(a), 0);
        EXPECT_EQ(DRAV_ReadInt(b), 10);
    }
    EXPECT_EQ(DRAV_WatchCount(), 1);
    hostsim::SetInt(kBattery, 1);
    EXPECT_TRUE(set.Intersects(DRAV_WatchPoll()));

    // Forgotten, such a dataref is watched as any other.
    DRAV_ForgetWatchThrough();
    DRAV_WatchReset();
    {
        WatchRecording r(set);
        DRAV_ReadInt(a);
    }
    EXPECT_EQ(DRAV_WatchCount(), 2);
    XPLMUnregisterDataAccessor(a);
    XPLMUnregisterDataAccessor(b);
}

TEST_F(SimWatchTest, NothingIsNotedOutsideARecordingOrUnderAPause) {
    DRAV_ReadInt(battery);
    WatchSet set;
    {
        WatchRecording r(set);
        WatchPause pause;
        DRAV_ReadFloat(baro);
        DRAV_RefreshAlways();
    }
    EXPECT_EQ(DRAV_WatchCount(), 0);
    EXPECT_TRUE(set.Empty());
    EXPECT_FALSE(set.always);
}

TEST_F(SimWatchTest, RecordingsNestAndStartFromAnEmptySet) {
    WatchSet outer, inner;
    outer.always = true;
    {
        WatchRecording r(outer);
        EXPECT_FALSE(outer.always) << "a new recording forgets the last";
        {
            WatchRecording r2(inner);
            DRAV_ReadInt(battery);
        }
        DRAV_ReadFloat(baro);
    }
    hostsim::SetInt(kBattery, 1);
    EXPECT_TRUE(inner.Intersects(DRAV_WatchPoll()));
    EXPECT_FALSE(outer.Intersects(inner));
}

TEST_F(SimWatchTest, AFullTableOrALongArrayMakesTheReaderAlwaysRefreshed) {
    static int values[WatchSet::kEntries + 1] = {};
    WatchSet set;
    {
        WatchRecording r(set);
        for (int& v : values)
            DRAV_ReadWatched(v);
    }
    EXPECT_EQ(DRAV_WatchCount(), WatchSet::kEntries);
    EXPECT_TRUE(set.always);
    // The table grew (its hash with it) while these were noted: each is still one entry, found
    // again by the next recording, and polled.
    WatchSet again;
    {
        WatchRecording r(again);
        for (int i = 0; i < WatchSet::kEntries; i += 7)
            DRAV_ReadWatched(values[i]);
    }
    EXPECT_EQ(DRAV_WatchCount(), WatchSet::kEntries);
    EXPECT_FALSE(again.always);
    values[0] = 1;
    values[WatchSet::kEntries - 1] = 1;
    const WatchSet& changed = DRAV_WatchPoll();
    EXPECT_TRUE(again.Intersects(changed));
    EXPECT_TRUE(set.Intersects(changed));

    DRAV_WatchReset();
    WatchSet array;
    {
        WatchRecording r(array);
        float m[17] = {};
        DRAV_ReadFloats(mixture, m, 0, 17);
    }
    EXPECT_TRUE(array.always);
    WatchSet far;
    {
        WatchRecording r(far);
        float m[1] = {};
        DRAV_ReadFloats(mixture, m, 40000, 1); // beyond what an entry holds
    }
    EXPECT_TRUE(far.always);
}

} // namespace
