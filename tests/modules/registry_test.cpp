// Unit registry in process: emulated units (umockdev), the device library and the simulator
// stand-in, without the plug-in's entry points.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/globals.h"
#include "devlib/include/qddev.h"
#include "hostsim.h"
#include "modules/avionics.h"
#include "modules/module_base.h"
#include "modules/panels.h"
#include "plugin/unit_registry.h"
#include "simlink/custom_datarefs.h"
#include "testbed.h"

namespace {

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!qdtest::Testbed::Available()) GTEST_SKIP() << "needs the umockdev preload";
        hostsim::Reset();
        char tmpl[] = "/tmp/drav_registry_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        ASSERT_TRUE(hostsim::CreateRoot(root));
        bed = std::make_unique<qdtest::Testbed>();
    }
    void TearDown() override {
        DRAV_SetRefreshCheck(false);
        QDDev_Terminate();
        of_FindDevices(); // every list back to the (now empty) slot counts
        bed.reset();
        std::error_code ec;
        if (!root.empty()) std::filesystem::remove_all(root, ec);
    }
    void WriteIni(const std::string& text) {
        std::ofstream(hostsim::SystemPath() + "Resources/plugins/DRAV/DRAV.INI") << text;
    }
    void Start() {
        ASSERT_EQ(QDDev_Init(nullptr), 0u);
        of_FindDevices();
    }
    // Three push-button panels bound as the settings text says, registered, with the avionics
    // powered.
    void StartThreePanels(const std::string& ini, QDPBX_Module* (&pbx)[3]) {
        for (int i = 0; i < 3; ++i)
            bed->plug(QDHW_PBX);
        WriteIni(ini);
        Start();
        for (int i = 0; i < 3; ++i) {
            RegisterQDModule(QDHW_PBX, i);
            ASSERT_EQ(of_get_QDPBX(i, &pbx[i]), 1);
        }
        DRAV_ProcessInput(); // whatever the units themselves reported while opening
        // The power datarefs were found in an earlier test's simulator.
        DRAV_ResetAvionicsPowerRefs();
        hostsim::SetInt("sim/cockpit/electrical/avionics_on", 1);
    }

    std::string root;
    std::unique_ptr<qdtest::Testbed> bed;
};

TEST_F(RegistryTest, NoUnitsMeansEveryOperationIsANoOp) {
    Start();
    for (int type = 0; type < 25; ++type) {
        QD_Abstract_Module* m = reinterpret_cast<QD_Abstract_Module*>(1);
        EXPECT_EQ(of_get_Device(type, 0, &m), -1);
        EXPECT_EQ(m, nullptr);
        EXPECT_EQ(RegisterQDModulesOfType(type), 0);
    }
    of_RegisterUnits();
    of_RefreshUnits();
    of_QDClear();
    QDPBXControlVals vals{1};
    EXPECT_TRUE(InputCallback(QDHW_PBX, 0, &vals));
    EXPECT_EQ(DRAV_ProcessInput(), 0);
}

TEST_F(RegistryTest, AssignmentTargetsComeFromTheValuePrefix) {
    int kind = -1;
    int unit = -1;
    EXPECT_EQ(of_GetAssignValues("QDRSX_2_FUNC_COM1_DUAL", &kind, &unit), 1);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(unit, 1);
    EXPECT_EQ(of_GetAssignValues("QDAVY_1_FUNC_NAV1_DUAL", &kind, &unit), 1);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(unit, 0);
    kind = unit = -1;
    EXPECT_EQ(of_GetAssignValues("BEACON_LTS", &kind, &unit), 0);
    EXPECT_EQ(kind, -1);
    EXPECT_EQ(unit, -1);
}

TEST_F(RegistryTest, AvionicsPageMovesRoundToTheFirstAssignedPosition) {
    bed->plug(QDHW_AVX);
    WriteIni("[QDAVX_1]\n");
    Start();
    QDAVX_Module* avx = nullptr;
    ASSERT_EQ(of_get_QDAVX(0, &avx), 1);
    avx->current = 3;
    RegisterQDModule(QDHW_AVX, 0);
    EXPECT_EQ(avx->current, 0) << "all positions empty";

    WriteIni("[QDAVX_1]\nFunction2=COM1_DUAL\n");
    avx->current = 4; // position 5
    RegisterQDModule(QDHW_AVX, 0);
    EXPECT_EQ(avx->current, 1) << "wraps round past position 8 to position 2";
    EXPECT_EQ(avx->GetAvionicType(), COM1_DUAL);
}

TEST_F(RegistryTest, SectionIsReadAsTheSettingsFileReadsIt) {
    bed->plug(QDHW_PBX);
    WriteIni("[QDPBX_10]\r\nFunction4=NAV_LTS\r\n[QDPBX_1]\r\n;Function1=NAV_LTS\r\nFunction1=BEACON_LTS\r\n"
             "Function2=\r\nFunction5=QDRSX_1_FUNC_COM1_DUAL\r\n[QDPBX_2]\r\nFunction3=TAXI_LTS\r\n");
    Start();
    RegisterQDModule(QDHW_PBX, 0);
    QDPBX_Module* pbx = nullptr;
    ASSERT_EQ(of_get_QDPBX(0, &pbx), 1);
    EXPECT_EQ(pbx->GetFunction('1'), BEACON_LTS) << "commented lines are skipped";
    EXPECT_EQ(pbx->GetFunction('2'), NADA);
    EXPECT_EQ(pbx->GetFunction('3'), NADA) << "keys of the next section do not belong to this unit";
    EXPECT_EQ(pbx->GetFunction('4'), NADA) << "[QDPBX_10] is not [QDPBX_1]";
    EXPECT_EQ(pbx->GetFunction('5'), COM1_DUAL);
    EXPECT_EQ(pbx->binding[4].targetKind, TARGET_QDRSX);
    EXPECT_EQ(pbx->binding[4].targetUnit, 0);

    // Outside a registration the same keys come straight from the file.
    char value[64];
    EXPECT_EQ(of_GetAvionicsFunction(0, QDHW_PBX, "1", value, sizeof value, "NAV_LTS"), BEACON_LTS);
    EXPECT_EQ(of_GetAvionicsFunction(0, QDHW_PBX, "7", value, sizeof value, "NAV_LTS"), NAV_LTS);
    EXPECT_EQ(of_GetAvionicsFunction(0, QDHW_PBX, "2", value, sizeof value, "NAV_LTS"), NADA);
}

TEST_F(RegistryTest, InputCallbackQueuesOneEventPerChangeAndDropsUnknownUnits) {
    bed->plug(QDHW_PBX);
    WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\n");
    Start();
    RegisterQDModule(QDHW_PBX, 0);
    DRAV_ProcessInput(); // whatever the unit itself reported while opening

    QDPBXControlVals vals{0x01};
    EXPECT_TRUE(InputCallback(QDHW_PBX, 0, &vals));
    EXPECT_TRUE(InputCallback(QDHW_PBX, 0, &vals)); // no change: nothing queued
    EXPECT_TRUE(InputCallback(QDHW_PBX, 1, &vals)); // no such unit
    EXPECT_TRUE(InputCallback(static_cast<tagQDDevHWType>(25), 0, &vals));
    EXPECT_TRUE(InputCallback(QDHW_PBX, 0, nullptr));
    const int before = hostsim::GetInt("sim/cockpit/electrical/beacon_lights_on");
    EXPECT_EQ(DRAV_ProcessInput(), 1);
    EXPECT_NE(hostsim::GetInt("sim/cockpit/electrical/beacon_lights_on"), before);
}

TEST_F(RegistryTest, InputFrameRedrawsTheUnitsShowingAChangedValueAndNoOthers) {
    constexpr const char* kBeacon = "sim/cockpit/electrical/beacon_lights_on";
    constexpr const char* kTaxi = "sim/cockpit/electrical/taxi_light_on";
    QDPBX_Module* pbx[3] = {};
    ASSERT_NO_FATAL_FAILURE(StartThreePanels(
        "[QDPBX_1]\nFunction1=BEACON_LTS\n[QDPBX_2]\nFunction1=BEACON_LTS\n[QDPBX_3]\nFunction1=TAXI_LTS\n",
        pbx));
    hostsim::SetInt(kBeacon, 0);
    hostsim::SetInt(kTaxi, 0);
    of_RefreshUnits();
    ASSERT_EQ(pbx[1]->lastLamps, 0);
    // A lamp byte no refresh would leave: a unit redrawn in the input frame loses it.
    pbx[1]->lastLamps = 0x80;
    pbx[2]->lastLamps = 0x80;

    QDPBXControlVals press{0x01};
    ASSERT_TRUE(InputCallback(QDHW_PBX, 0, &press));
    ASSERT_EQ(DRAV_ProcessInput(), 1);
    ASSERT_EQ(hostsim::GetInt(kBeacon), 1);
    of_RefreshChangedUnits();
    EXPECT_EQ(pbx[0]->lastLamps, 0x01) << "the unit that handled the input";
    EXPECT_EQ(pbx[1]->lastLamps, 0x01) << "another unit showing the beacon it switched";
    EXPECT_EQ(pbx[2]->lastLamps, 0x80) << "the taxi light did not change: not redrawn";

    // A value changed elsewhere (another plug-in, the simulator) is seen in the next input frame.
    hostsim::SetInt(kTaxi, 1);
    QDPBXControlVals release{0x00};
    ASSERT_TRUE(InputCallback(QDHW_PBX, 0, &release));
    ASSERT_EQ(DRAV_ProcessInput(), 1);
    of_RefreshChangedUnits();
    EXPECT_EQ(pbx[2]->lastLamps, 0x01);
    EXPECT_EQ(pbx[1]->lastLamps, 0x01);
}

// The half-second pass follows what the simulator changed by itself, redrawing only the units
// that show it, and now and then every unit.
TEST_F(RegistryTest, RefreshPassRedrawsWhatTheSimulatorChangedAndEveryUnitNowAndThen) {
    constexpr const char* kTaxi = "sim/cockpit/electrical/taxi_light_on";
    QDPBX_Module* pbx[3] = {};
    ASSERT_NO_FATAL_FAILURE(StartThreePanels(
        "[QDPBX_1]\nFunction1=BEACON_LTS\n[QDPBX_2]\nFunction1=BEACON_LTS\n[QDPBX_3]\nFunction1=TAXI_LTS\n",
        pbx));
    hostsim::SetInt(kTaxi, 0);
    of_RefreshUnits();
    // A lamp byte no refresh would leave: a unit redrawn loses it.
    pbx[1]->lastLamps = 0x80;
    pbx[2]->lastLamps = 0x80;

    hostsim::SetInt(kTaxi, 1);
    of_RefreshPass();
    EXPECT_EQ(pbx[2]->lastLamps, 0x01) << "shows the taxi light the simulator switched";
    EXPECT_EQ(pbx[1]->lastLamps, 0x80) << "shows nothing that changed: skipped";

    for (int pass = 2; pass < kFullPassEvery; ++pass)
        of_RefreshPass();
    EXPECT_EQ(pbx[1]->lastLamps, 0x80);
    of_RefreshPass();
    EXPECT_EQ(pbx[1]->lastLamps, 0x00) << "every unit in the full pass";
}

// A unit marked stale by anything but its own input (another unit's module function, a clear) is
// redrawn in the next input frame, also when more marks came than the registry's list holds.
TEST_F(RegistryTest, InputFrameRedrawsEveryUnitMarkedStale) {
    QDPBX_Module* pbx[3] = {};
    ASSERT_NO_FATAL_FAILURE(StartThreePanels(
        "[QDPBX_1]\nFunction1=BEACON_LTS\n[QDPBX_2]\nFunction1=TAXI_LTS\n[QDPBX_3]\nFunction1=TAXI_LTS\n",
        pbx));
    of_RefreshUnits();
    QDPBXControlVals vals{0x00};
    auto inputFrame = [&] {
        vals.switches ^= 0x01;
        ASSERT_TRUE(InputCallback(QDHW_PBX, 0, &vals));
        ASSERT_EQ(DRAV_ProcessInput(), 1);
        of_RefreshChangedUnits();
    };
    // A lamp byte no refresh would leave: a unit redrawn in the input frame loses it.
    auto plant = [&] {
        pbx[1]->lastLamps = 0x80;
        pbx[2]->lastLamps = 0x80;
    };

    plant();
    pbx[1]->MarkStale();
    inputFrame();
    EXPECT_NE(pbx[1]->lastLamps, 0x80) << "marked stale: redrawn";
    EXPECT_EQ(pbx[2]->lastLamps, 0x80) << "not marked, nothing it shows changed: skipped";

    plant();
    for (int i = 0; i < 2 * StaleMarks::kCapacity; ++i)
        pbx[2]->MarkStale();
    inputFrame();
    EXPECT_NE(pbx[2]->lastLamps, 0x80) << "marked more often than the list holds: still redrawn";
    EXPECT_EQ(pbx[1]->lastLamps, 0x80);

    plant();
    inputFrame();
    EXPECT_EQ(pbx[1]->lastLamps, 0x80) << "redrawn once, then up to date";
    EXPECT_EQ(pbx[2]->lastLamps, 0x80);
}

TEST_F(RegistryTest, QueueHoldsAtMost128PendingInputs) {
    bed->plug(QDHW_PBX);
    Start();
    DRAV_ProcessInput();
    QDPBXControlVals on{0x01};
    QDPBXControlVals off{0x00};
    for (int i = 0; i < 200; ++i)
        InputCallback(QDHW_PBX, 0, (i % 2) == 0 ? static_cast<const void*>(&on) : &off);
    EXPECT_EQ(DRAV_ProcessInput(), QD_Last_Input::kCapacity);
    EXPECT_EQ(DRAV_ProcessInput(), 0);
}

TEST_F(RegistryTest, LookupsFromTheInputThreadSurviveListResizing) {
    bed->plug(QDHW_IOB);
    Start();
    std::atomic<bool> stop{false};
    std::thread input([&] {
        QDIOBControlVals vals{};
        int n = 0;
        while (!stop.load()) {
            vals.inputs[0] = static_cast<uint8_t>(n++);
            for (uint16_t unit = 0; unit < 4; ++unit)
                InputCallback(QDHW_IOB, unit, &vals);
        }
    });
    // Every new unit grows the list: the old array is copied and freed while input arrives.
    for (int i = 0; i < 3; ++i) {
        bed->plug(QDHW_IOB);
        for (int tries = 0; tries < 200 && of_get_DeviceCount(QDHW_IOB) < i + 2; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            of_FindDevices();
            DRAV_ProcessInput();
        }
        EXPECT_EQ(of_get_DeviceCount(QDHW_IOB), i + 2);
    }
    stop = true;
    input.join();
    DRAV_ProcessInput();
}

// The check refreshes the units the frame after an input skipped: a skipped unit that was not up
// to date is found and logged, one that was changes nothing. Staleness is made behind the
// module's back, where no watched value can show it.
TEST_F(RegistryTest, RefreshCheckFindsAUnitSkippedWhileNotUpToDate) {
    bed->plug(QDHW_PBX);
    bed->plug(QDHW_TGX);
    WriteIni("[QDPBX_1]\nFunction1=NAV_LTS\n[QDTGX_1]\nFunction1=BEACON_LTS\n");
    Start();
    of_RegisterUnits();
    of_RefreshUnits();
    DRAV_ProcessInput(); // whatever the units reported while opening
    of_RefreshUnits();
    QDTGX_Module* tgx = nullptr;
    ASSERT_EQ(of_get_QDTGX(0, &tgx), 1);
    const unsigned char shown = tgx->lastLamps;
    QDPBXControlVals vals{0x00};
    auto input = [&vals] {
        vals.switches ^= 0x01;
        ASSERT_TRUE(InputCallback(QDHW_PBX, 0, &vals));
        ASSERT_EQ(DRAV_ProcessInput(), 1);
        of_RefreshChangedUnits();
    };

    // Off: the skipped unit keeps what it was told behind its back.
    tgx->lastLamps = static_cast<unsigned char>(shown ^ 0x80);
    input();
    EXPECT_EQ(tgx->lastLamps, shown ^ 0x80);
    EXPECT_EQ(DRAV_RefreshCheckMisses(), 0);

    DRAV_SetRefreshCheck(true);
    hostsim::ClearDebugLog();
    input();
    EXPECT_EQ(DRAV_RefreshCheckMisses(), 1);
    EXPECT_EQ(tgx->lastLamps, shown); // refreshed after all
    EXPECT_NE(hostsim::DebugLog().find(
                  "DRAV: Refresh check: QDTGX unit 1 was skipped but its refresh changed it\n"),
              std::string::npos)
        << hostsim::DebugLog();

    // Up to date: the check's own refresh leaves the unit, and what it noted as read, as it was.
    hostsim::ClearDebugLog();
    input();
    input();
    EXPECT_EQ(DRAV_RefreshCheckMisses(), 1);
    EXPECT_FALSE(tgx->stale);
    EXPECT_EQ(hostsim::DebugLog().find("Refresh check:"), std::string::npos) << hostsim::DebugLog();
}

} // namespace
