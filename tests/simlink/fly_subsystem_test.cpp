// Switch bindings driven through the simulator stand-in's datarefs and command log.
#include "hostsim.h"
#include "simlink/avionic.h"
#include "simlink/fly_subsystem.h"
#include "simlink/value_lists.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Adds a dataref the stand-in lacks (the plug-in's own), leaving an existing one alone.
void EnsureDataref(const char* name, const char* type) {
    if (!hostsim::HasDataref(name)) {
        EXPECT_TRUE(hostsim::AddDataref(name, type, "0")) << name;
    }
}

constexpr const char* kBattery = "sim/cockpit/electrical/battery_on";                 // int
constexpr const char* kBaro = "sim/cockpit/misc/barometer_setting";                   // float
constexpr const char* kFuelPump = "sim/cockpit/engine/fuel_pump_on";                  // int[8]
constexpr const char* kMixture = "sim/flightmodel/engine/ENGN_mixt";                  // float[8]
constexpr const char* kLanding = "sim/cockpit2/switches/landing_lights_switch";       // float[16]
constexpr const char* kRange = "sim/cockpit/switches/EFIS_map_range_selector";        // int
constexpr const char* kFuelPress = "sim/cockpit/warnings/annunciators/fuel_pressure"; // int
constexpr const char* kIdent = "sim/cockpit/radios/transponder_id";                   // int
constexpr const char* kMissing = "sim/no/such/dataref";

using hostsim::CommandKind;

struct Cmd {
    CommandKind kind;
    int number;
    bool operator==(const Cmd& o) const { return kind == o.kind && number == o.number; }
};

std::vector<Cmd> Commands() {
    std::vector<Cmd> out;
    for (const hostsim::CommandEvent& e : hostsim::CommandLog())
        out.push_back({e.kind, e.number});
    return out;
}

// Simulator values these tests write, put back afterwards for the tests that follow. The stand-in
// is not reset: other value objects keep handles found earlier.
class FlySubsystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {kBattery, kBaro, kFuelPump, kMixture, kLanding, kRange, kFuelPress, kIdent})
            ASSERT_TRUE(hostsim::HasDataref(name)) << name << " is missing from the stand-in";
        battery_ = hostsim::GetInt(kBattery);
        range_ = hostsim::GetInt(kRange);
        fuelPress_ = hostsim::GetInt(kFuelPress);
        ident_ = hostsim::GetInt(kIdent);
        baro_ = hostsim::GetFloat(kBaro);
        fuelPump_ = hostsim::GetInts(kFuelPump);
        mixture_ = hostsim::GetFloats(kMixture);
        landing_ = hostsim::GetFloats(kLanding);
        hostsim::ClearCommandLog();
    }
    void TearDown() override {
        hostsim::SetInt(kBattery, battery_);
        hostsim::SetInt(kRange, range_);
        hostsim::SetInt(kFuelPress, fuelPress_);
        hostsim::SetInt(kIdent, ident_);
        hostsim::SetFloat(kBaro, baro_);
        hostsim::SetInts(kFuelPump, fuelPump_);
        hostsim::SetFloats(kMixture, mixture_);
        hostsim::SetFloats(kLanding, landing_);
        hostsim::ClearCommandLog();
    }

  private:
    int battery_ = 0, range_ = 0, fuelPress_ = 0, ident_ = 0;
    float baro_ = 0;
    std::vector<int> fuelPump_;
    std::vector<float> mixture_, landing_;
};

TEST_F(FlySubsystemTest, IntSwitchFollowsTheSimulatorAndTogglesOnPress) {
    Fly_subsystem b;
    hostsim::SetInt(kBattery, 0);
    b.Register_D(BATTERY_MASTER, 0, 1, 0, kBattery, 0, 0, 1);
    EXPECT_EQ(b.GetUnitType(), BATTERY_MASTER);
    EXPECT_EQ(b.kind, Fly_subsystem::KIND_DATAREF);
    EXPECT_EQ(b.GetOnOff(), 0);

    hostsim::SetInt(kBattery, 1);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 1);

    // A press flips the state read last and writes the matching value.
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(b.GetOnOff(), 0);
    EXPECT_EQ(hostsim::GetInt(kBattery), 0);
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(hostsim::GetInt(kBattery), 1);

    // Toggle switch positions.
    b.SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
    EXPECT_EQ(hostsim::GetInt(kBattery), 0);
    b.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    EXPECT_EQ(hostsim::GetInt(kBattery), 1);

    // A release of a binding that is neither momentary nor held does nothing at all.
    hostsim::SetInt(kBattery, 7);
    b.SetFly(Fly_subsystem::ACTION_RELEASE, 0, 0);
    EXPECT_EQ(b.GetOnOff(), 1);
    EXPECT_EQ(hostsim::GetInt(kBattery), 7);

    // Disabled: neither read nor written.
    b.SetOperational(0);
    b.SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
    b.GetFly();
    EXPECT_EQ(hostsim::GetInt(kBattery), 7);
    EXPECT_EQ(b.GetOnOff(), 1);
}

TEST_F(FlySubsystemTest, CompareModes) {
    Fly_subsystem b;
    // Equality on a float is exact: the standard setting shows only at 29.92 itself.
    b.Register_DF(ALTIMETER_SET_STD, 29.92f, 29.92f, 0, kBaro, 1, 0, 1);
    hostsim::SetFloat(kBaro, 29.92f);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 1);
    hostsim::SetFloat(kBaro, 29.921f);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 0);
    hostsim::SetFloat(kBaro, 30.1f);
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_FLOAT_EQ(hostsim::GetFloat(kBaro), 29.92f);

    // At least (2) and greater (1).
    b.Register_D(ANP_FUEL_PRESS_LOW, 0, 1, 2, kFuelPress, 0, 0, 1);
    hostsim::SetInt(kFuelPress, 2);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 1);
    b.Register_D(ANP_FUEL_PRESS_LOW, 0, 1, 1, kFuelPress, 0, 0, 1);
    hostsim::SetInt(kFuelPress, 1);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 0);
    hostsim::SetInt(kFuelPress, 2);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 1);
}

TEST_F(FlySubsystemTest, ArraySwitchesReadTheFirstElementAndWriteTheWholeSlice) {
    Fly_subsystem all;
    hostsim::SetInts(kFuelPump, {0, 1, 1, 1, 1, 1, 1, 1});
    all.Register_D(ENG_ALL_FUEL_PUMP, 0, 1, 0, kFuelPump, 2, 0, 8);
    EXPECT_EQ(all.GetOnOff(), 0); // element 0 decides
    all.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    EXPECT_EQ(hostsim::GetInts(kFuelPump), std::vector<int>(8, 1));

    Fly_subsystem engine3;
    engine3.Register_D(ENG_3_FUEL_PUMP, 0, 1, 0, kFuelPump, 2, 2, 1);
    EXPECT_EQ(engine3.GetOnOff(), 1);
    engine3.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(hostsim::GetInts(kFuelPump), (std::vector<int>{1, 1, 0, 1, 1, 1, 1, 1}));

    // Float slice from element 2: the values of the last read are kept.
    hostsim::SetFloats(kMixture, {0, 0, 1, 0.5f, 0, 0, 0, 0});
    Fly_subsystem mix;
    mix.Register_D(ENG_3_FUEL_RUN_CUTOFF, 0, 1, 0, kMixture, 3, 2, 2);
    EXPECT_EQ(mix.GetOnOff(), 1);
    EXPECT_FLOAT_EQ(mix.GetFloatArrayValue(0), 1.0f);
    EXPECT_FLOAT_EQ(mix.GetFloatArrayValue(1), 0.5f);
    EXPECT_FLOAT_EQ(mix.GetFloatArrayValue(2), 0.0f); // outside the slice
    EXPECT_FLOAT_EQ(mix.GetFloatArrayValue(-1), 0.0f);
    mix.SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
    EXPECT_EQ(hostsim::GetFloats(kMixture), (std::vector<float>{0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(FlySubsystemTest, LongSlicesStayInsideTheSwitch) {
    // All sixteen landing lights at once.
    Fly_subsystem lights;
    lights.Register_D(LANDING_LIGHTS_SWITCH_ALL, 0, 1, 0, kLanding, 3, 0, 16);
    lights.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    EXPECT_EQ(hostsim::GetFloats(kLanding), std::vector<float>(16, 1.0f));

    // A longer request is cut to what the switch holds, never written past it.
    Fly_subsystem longer;
    longer.Register_D(LANDING_LIGHTS_SWITCH_ALL, 0, 1, 0, kLanding, 3, 0, 40);
    EXPECT_EQ(longer.switches[0].arrayCount, DATAREF_SWITCH::kMaxArrayCount);
    longer.SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
    EXPECT_EQ(hostsim::GetFloats(kLanding), std::vector<float>(16, 0.0f));

    // Copies carry their own scratch values.
    Fly_subsystem copy = lights;
    hostsim::SetFloats(kLanding, std::vector<float>(16, 1.0f));
    copy.GetFly();
    EXPECT_FLOAT_EQ(copy.GetFloatArrayValue(15), 1.0f);
    EXPECT_FLOAT_EQ(lights.GetFloatArrayValue(15), 1.0f); // its own last write
    EXPECT_NE(&copy.switches[0].floatBuffer[0], &lights.switches[0].floatBuffer[0]);
}

TEST_F(FlySubsystemTest, MissingDatarefKeepsTheStateOfTheLastEvent) {
    Fly_subsystem b;
    b.Register_D(BATTERY_MASTER, 0, 1, 0, kMissing, 0, 0, 1);
    EXPECT_EQ(b.switches[0].dataRef, nullptr);
    b.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 1);
    Fly_subsystem arr;
    arr.Register_D(ENG_ALL_FUEL_PUMP, 0, 1, 0, kMissing, 2, 0, 8);
    arr.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(arr.GetOnOff(), 1);
}

TEST_F(FlySubsystemTest, SelectorPositionWritesItsValueWhenForced) {
    Fly_subsystem b;
    hostsim::SetInt(kRange, 2);
    b.Register_D(EFIS_ND_RANGE_80NM, 0, 3, 0, kRange, 0, 0, 1);
    EXPECT_EQ(b.GetOnOff(), 0);
    // Position value 0 with the force flag still writes the on value.
    b.SetFly(Fly_subsystem::ACTION_POSITION, 0, 1);
    EXPECT_EQ(hostsim::GetInt(kRange), 3);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 1);
}

TEST_F(FlySubsystemTest, TwoSwitchesMustBothBeOn) {
    for (const char* name : {"simtest/a", "simtest/b"})
        EnsureDataref(name, "int");
    hostsim::SetInt("simtest/a", 1);
    hostsim::SetInt("simtest/b", 0);
    Fly_subsystem b;
    b.Register_D2(AP_APPR_HOLD, 1, 0, "simtest/a", 1, 0, "simtest/b");
    EXPECT_EQ(b.switchCount, 2);
    EXPECT_EQ(b.GetOnOff(), 0);
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(hostsim::GetInt("simtest/a"), 1);
    EXPECT_EQ(hostsim::GetInt("simtest/b"), 1);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 1);
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(hostsim::GetInt("simtest/a"), 0);
    EXPECT_EQ(hostsim::GetInt("simtest/b"), 0);
}

TEST_F(FlySubsystemTest, KeyAndButtonCommands) {
    Fly_subsystem key;
    key.Register_C(ELEV_TRIM_NOSE_UP, Fly_subsystem::COMMAND_KEY, 72, 0);
    key.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    key.SetFly(Fly_subsystem::ACTION_RELEASE, 0, 0); // not momentary: nothing
    EXPECT_EQ(Commands(), (std::vector<Cmd>{{CommandKind::KeyStroke, 72}}));

    // A pair picks its command by the new state.
    hostsim::ClearCommandLog();
    Fly_subsystem flaps;
    flaps.Register_C2(FLAPS_UP_DOWN, Fly_subsystem::COMMAND_BUTTON, 48, 47, 0);
    flaps.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    flaps.SetFly(Fly_subsystem::ACTION_OFF, 0, 0);
    EXPECT_EQ(Commands(), (std::vector<Cmd>{{CommandKind::ButtonPress, 47},
                                            {CommandKind::ButtonRelease, 47},
                                            {CommandKind::ButtonPress, 48},
                                            {CommandKind::ButtonRelease, 48}}));

    // Momentary: the release switches off and fires the state-0 command.
    hostsim::ClearCommandLog();
    Fly_subsystem disengage;
    disengage.Register_C2(AP_DISENGAGE, Fly_subsystem::COMMAND_BUTTON, 0, 59, 1);
    disengage.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    disengage.SetFly(Fly_subsystem::ACTION_RELEASE, 0, 0);
    EXPECT_EQ(disengage.GetOnOff(), 0);
    EXPECT_EQ(Commands(), (std::vector<Cmd>{{CommandKind::ButtonPress, 59},
                                            {CommandKind::ButtonRelease, 59},
                                            {CommandKind::ButtonPress, 0},
                                            {CommandKind::ButtonRelease, 0}}));

    // A command binding without feedback never changes its state from the simulator.
    disengage.SetFly(Fly_subsystem::ACTION_ON, 0, 0);
    disengage.GetFly();
    EXPECT_EQ(disengage.GetOnOff(), 1);
}

TEST_F(FlySubsystemTest, HeldStarterPressesOnPressAndReleasesOnRelease) {
    Fly_subsystem starter;
    starter.Register_CD(ENG_1_START, 2);
    starter.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(Commands(), (std::vector<Cmd>{{CommandKind::ButtonPress, 2}}));
    starter.SetFly(Fly_subsystem::ACTION_RELEASE, 0, 0);
    EXPECT_EQ(Commands(), (std::vector<Cmd>{{CommandKind::ButtonPress, 2}, {CommandKind::ButtonRelease, 2}}));

    // Reassigned to a plain button command, the control no longer holds its button down.
    hostsim::ClearCommandLog();
    starter.Register_C(FLAPS_EXTEND_1, Fly_subsystem::COMMAND_BUTTON, 48, 0);
    EXPECT_EQ(starter.hold, 0);
    starter.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    starter.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(Commands(), (std::vector<Cmd>{{CommandKind::ButtonPress, 48},
                                            {CommandKind::ButtonRelease, 48},
                                            {CommandKind::ButtonPress, 48},
                                            {CommandKind::ButtonRelease, 48}}));
}

TEST_F(FlySubsystemTest, CommandWithFeedbackFollowsItsDatarefWhenMultiOption) {
    Fly_subsystem ident;
    ident.Register_D(XPDR_IDENT, 0, 1, 0, kIdent, 0, 0, 1);
    ident.Register_C(XPDR_IDENT, Fly_subsystem::COMMAND_KEY, 93, 0);
    hostsim::SetInt(kIdent, 1);
    ident.GetFly();
    EXPECT_EQ(ident.GetOnOff(), 0); // multiOption 0: the command binding ignores the dataref
    ident.SetMultioption(1);
    ident.GetFly();
    EXPECT_EQ(ident.GetOnOff(), 1);
    hostsim::SetInt(kIdent, 0);
    ident.GetFly();
    EXPECT_EQ(ident.GetOnOff(), 0);
}

TEST_F(FlySubsystemTest, UnboundBindingDoesNothing) {
    Fly_subsystem b;
    EXPECT_EQ(b.GetUnitType(), NADA);
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 1);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 0);
    EXPECT_TRUE(hostsim::CommandLog().empty());
}

// Avionics units standing in for the unit registry: unit 0 of each target kind.
struct FakeUnit : AvionicsUnit {
    E_UnitType shown = NADA;
    std::vector<E_UnitType> assigned;
    int displays = 0;
    E_UnitType GetAvionicType() override { return shown; }
    void AssignAvionic(E_UnitType f) override {
        assigned.push_back(f);
        shown = f;
    }
    void SetDisplay() override { ++displays; }
};
FakeUnit g_units[3];
AvionicsUnit* FakeLookup(int kind, int unit) {
    return unit == 0 ? &g_units[kind] : nullptr;
}

class ModuleFunctionTest : public FlySubsystemTest {
  protected:
    void SetUp() override {
        FlySubsystemTest::SetUp();
        for (FakeUnit& u : g_units)
            u = FakeUnit();
        DRAV_SetAvionicsUnitLookup(FakeLookup);
    }
    void TearDown() override { DRAV_SetAvionicsUnitLookup(nullptr); }
};

TEST_F(ModuleFunctionTest, ButtonMakesTheTargetShowItsValue) {
    Fly_subsystem b;
    b.Register_AF(NAV1_STANDBY, 0, TARGET_QDAVX);
    EXPECT_EQ(b.kind, Fly_subsystem::KIND_MODULE_FUNCTION);
    EXPECT_EQ(b.GetOnOff(), 0);
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(g_units[TARGET_QDAVX].assigned, std::vector<E_UnitType>{NAV1_STANDBY});
    EXPECT_EQ(g_units[TARGET_QDAVX].displays, 1);
    b.GetFly();
    EXPECT_EQ(b.GetOnOff(), 1);
    // The release does nothing at all.
    b.SetFly(Fly_subsystem::ACTION_RELEASE, 0, 0);
    EXPECT_EQ(g_units[TARGET_QDAVX].displays, 1);

    // A unit that is not attached, or a kind out of range: nothing happens.
    Fly_subsystem absent;
    absent.Register_AF(COM1_ACTIVE, 3, TARGET_QDRSX);
    absent.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    Fly_subsystem badKind;
    badKind.Register_AF(COM1_ACTIVE, 0, 7);
    badKind.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_TRUE(g_units[TARGET_QDRSX].assigned.empty());

    // Without a registry nothing is found.
    DRAV_SetAvionicsUnitLookup(nullptr);
    b.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(g_units[TARGET_QDAVX].displays, 1);
}

TEST_F(ModuleFunctionTest, RadioTogglesSwapBetweenRadioOneAndTwo) {
    FakeUnit& rsx = g_units[TARGET_QDRSX];
    Fly_subsystem com;
    com.Register_AF(COM1_COM2_TOGGLE, 0, TARGET_QDRSX);
    rsx.shown = COM1_DUAL;
    com.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(rsx.shown, COM2_DUAL);
    com.GetFly();
    EXPECT_EQ(com.GetOnOff(), 1);
    com.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(rsx.shown, COM1_DUAL);
    com.GetFly();
    EXPECT_EQ(com.GetOnOff(), 0);

    // A value without a partner stays; the unit is still redrawn.
    rsx.shown = ADF1_ACTIVE;
    rsx.displays = 0;
    com.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(rsx.shown, ADF1_ACTIVE);
    EXPECT_EQ(rsx.displays, 1);

    // On an avionics unit the dual forms have no partner; active and standby do.
    FakeUnit& avx = g_units[TARGET_QDAVX];
    Fly_subsystem nav;
    nav.Register_AF(NAV1_NAV2_TOGGLE, 0, TARGET_QDAVX);
    avx.shown = NAV1_DUAL;
    nav.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(avx.shown, NAV1_DUAL);
    avx.shown = NAV2_STANDBY;
    nav.SetFly(Fly_subsystem::ACTION_PRESS, 0, 0);
    EXPECT_EQ(avx.shown, NAV1_STANDBY);
    nav.GetFly();
    EXPECT_EQ(nav.GetOnOff(), 0);
    avx.shown = NAV2_ACTIVE;
    nav.GetFly();
    EXPECT_EQ(nav.GetOnOff(), 1); // lit while radio 2 is shown
}

TEST_F(FlySubsystemTest, ValueListsBindTheirItemsAndKeepAValidIndex) {
    QD_FUNC list;
    list.index = -1;
    list.Register(FUNC_INST);
    EXPECT_EQ(list.function, FUNC_INST);
    EXPECT_EQ(list.index, 1);
    const E_UnitType inst[6] = {DISP_BRIGHTNESS, ALTIMETER, AP_HEADING_ADJ, OBS1, OBS2, ADF1_CARD};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(list.values[i], DRAV_AvionicFor(inst[i])) << i;
        EXPECT_EQ(list.values[i]->GetUnitType(), inst[i]);
    }

    QD_FUNC ap;
    Avionic sentinel;
    ap.values[5] = &sentinel;
    ap.index = 7;
    ap.Register(FUNC_AP);
    EXPECT_EQ(ap.index, 0);
    const E_UnitType apValues[5] = {AP_NAV_COURSE_ADJ, AP_HEADING_ADJ, AP_SPEED_ADJ, AP_ALTITUDE_ADJ,
                                    AP_VERT_SPEED_ADJ};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ap.values[i], DRAV_AvionicFor(apValues[i])) << i;
    EXPECT_EQ(ap.values[5], &sentinel);

    QD_FUNC other;
    other.index = 3;
    other.Register(COM1_ACTIVE);
    EXPECT_EQ(other.index, 3);
    for (Avionic* v : other.values)
        EXPECT_EQ(v, nullptr);
}

} // namespace
