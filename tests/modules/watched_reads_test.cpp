// What a unit's refresh notes, module by module: the frame after an input redraws a unit only
// when a value it read changed, so a read that escapes the readers leaves a stale display.
// In process against the simulator stand-in; the device library is not running.
#include <gtest/gtest.h>

#include "hostsim.h"
#include "modules/autopilot.h"
#include "modules/avionics.h"
#include "modules/gear_trim.h"
#include "modules/panels.h"
#include "simlink/custom_datarefs.h"
#include "simlink/sim_watch.h"
#include "simlink/value_lists.h"

namespace {

constexpr const char* kCom1 = "sim/cockpit/radios/com1_freq_hz";
constexpr const char* kAvionicsOn = "sim/cockpit/electrical/avionics_on";

class WatchedReads : public ::testing::Test {
  protected:
    void SetUp() override {
        hostsim::Reset();
        DRAV_ResetAvionicsPowerRefs();
        hostsim::SetInt(kCom1, 11825);
        hostsim::SetInt(kAvionicsOn, 1);
        qd_inst.index = 0;
        APX_Disabled = 0;
        DRAV_WatchReset();
    }
    void TearDown() override {
        APX_Disabled = 0;
        DRAV_SetAvionicsUnitLookup(nullptr);
    }

    // As the registry refreshes a unit.
    static void Record(QD_Abstract_Module& m) {
        WatchRecording recording(m.watched);
        m.Refresh();
    }
    static bool Redrawn(const QD_Abstract_Module& m, const WatchSet& changed) {
        return m.watched.always || m.watched.Intersects(changed);
    }
    template <typename M> static void Show(M& m, E_UnitType page) {
        m.functions[0] = page;
        m.Register(0);
        m.AssignAvionic(page);
    }
};

TEST_F(WatchedReads, AvionicsFollowTheSharedListTheirValueAndPower) {
    QDAVX_Module a;
    QDAVX_Module b;
    QDAVX_Module radio;
    Show(a, FUNC_INST);
    Show(b, FUNC_INST);
    Show(radio, COM1_ACTIVE);
    qd_inst.index = 1; // the altimeter: the brightness entry is redrawn always until first set
    Record(a);
    Record(b);
    Record(radio);
    EXPECT_TRUE(DRAV_WatchPoll().Empty());

    a.HandleInput(0, 1); // steps the list every unit showing it shares
    const WatchSet& stepped = DRAV_WatchPoll();
    EXPECT_TRUE(Redrawn(b, stepped));
    EXPECT_FALSE(Redrawn(radio, stepped));
    Record(b); // as the input frame does
    EXPECT_FALSE(b.watched.always);

    hostsim::SetInt(kCom1, 12000);
    const WatchSet& tuned = DRAV_WatchPoll();
    EXPECT_TRUE(Redrawn(radio, tuned));
    EXPECT_FALSE(Redrawn(b, tuned));

    hostsim::SetInt(kAvionicsOn, 0);
    EXPECT_TRUE(Redrawn(radio, DRAV_WatchPoll()));
}

TEST_F(WatchedReads, GearLampsFollowTheGearHandle) {
    QDGTP_Module gear;
    gear.Register(0);
    Record(gear);
    EXPECT_FALSE(gear.watched.always);
    const char* handle = "sim/cockpit/switches/gear_handle_status";
    hostsim::SetInt(handle, hostsim::GetInt(handle) == 0 ? 1 : 0);
    EXPECT_TRUE(Redrawn(gear, DRAV_WatchPoll()));
}

// An avionics unit whose page the test turns.
struct PagedUnit : AvionicsUnit {
    E_UnitType shown = COM1_DUAL;
    E_UnitType GetAvionicType() override { return shown; }
    void AssignAvionic(E_UnitType function) override { shown = function; }
    void SetDisplay() override {}
};
PagedUnit g_avx;

TEST_F(WatchedReads, StateNoDatarefCarriesIsWatched) {
    // A lamp showing another unit's page changes with that unit's inputs.
    DRAV_SetAvionicsUnitLookup([](int kind, int unit) -> AvionicsUnit* {
        return kind == TARGET_QDAVX && unit == 0 ? &g_avx : nullptr;
    });
    QDPBX_Module panel;
    panel.Register(0);
    panel.AssignFunction('1', COM1_DUAL, 0, TARGET_QDAVX);
    Record(panel);
    EXPECT_FALSE(panel.watched.always);
    EXPECT_FALSE(Redrawn(panel, DRAV_WatchPoll()));
    g_avx.shown = NAV1_DUAL;
    EXPECT_TRUE(Redrawn(panel, DRAV_WatchPoll()));

    QDPBX_Module plain;
    plain.Register(1);
    plain.AssignFunction('1', BEACON_LTS, -1, -1);
    Record(plain);
    EXPECT_FALSE(plain.watched.always);

    // Another plug-in takes the autopilot panel and hands it back through its dataref.
    QDAPX_Module apx;
    apx.Register(0);
    apx.AssignFunction(25, AP_NAV_COURSE_ADJ, -1, -1);
    Record(apx);
    EXPECT_TRUE(DRAV_WatchPoll().Empty());
    APX_Disabled = 1;
    const WatchSet& taken = DRAV_WatchPoll();
    EXPECT_TRUE(Redrawn(apx, taken));
    EXPECT_FALSE(Redrawn(plain, taken));
}

} // namespace
