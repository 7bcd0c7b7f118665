// End-to-end fixture: a simulator root with DRAV.INI, emulated units on the hidraw path, the built
// DRAV.xpl loaded into the simulator stand-in, and helpers that read back what the units received
// (display text decoded from segment codes, lamp bits, colours) and what the simulator saw.
//
// Typical scenario:
//   WriteIni("[QDPBX_1]\nFunction1=BEACON_LTS\n");
//   qdtest::Unit& pbx = Plug(QDHW_PBX);
//   ASSERT_TRUE(Start());
//   pbx.press(1);
//   EXPECT_TRUE(RunUntil([] { return hostsim::GetInt("sim/cockpit/electrical/beacon_lights_on") == 1; }));
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "face.h"
#include "hostsim.h"
#include "testbed.h"

namespace e2e {

// Device type numbers, as the settings sections and the emulated units use them.
enum Model {
    AVX = 1,
    PBX = 2,
    TGX = 3,
    GTP = 4,
    RSX = 5,
    APC = 6,
    KNB = 7,
    AVY = 8,
    THQ = 9,
    GTP2 = 11,
    APX = 12,
    NDC = 13,
    ECP = 14,
    SSM = 17,
    ANP = 18,
    IOB = 19
};

// Decoding what a unit received (segment codes back to text).
using qdtest::DecodeAlpha;
using qdtest::DecodeNumeric;
using qdtest::DecodeSegments;

class DravTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // ---- Scenario setup (before Start) ----
    // Plugs an emulated unit; units plugged before Start are found when the plug-in enables.
    qdtest::Unit& Plug(int type, const qdtest::PlugOptions& options = {});
    // Replaces DRAV.INI in the plug-in's folder.
    void WriteIni(const std::string& text);
    std::string ReadIni() const;
    std::string PluginFolder() const;
    std::string LogText() const; // DRAVLog.txt, empty when absent

    // Loads and enables the plug-in, then runs until the first refresh registered every unit and
    // the units' queued reports have been delivered.
    bool Start();
    // Loads and enables only (no frames run).
    bool LoadAndEnable();

    // ---- Running ----
    void Frames(int n) { hostsim::RunFrames(n); }
    // Runs frames (with short real pauses, so the device library's threads progress) until pred
    // holds or max_seconds of wall time passed; true when pred held.
    bool RunUntil(const std::function<bool()>& pred, double max_seconds = 3.0);
    // Runs frames for a while of wall time so that reports in flight arrive (for "nothing
    // happens" checks).
    void Settle(double wall_seconds = 0.3);

    // ---- What units received ----
    // Payload (without the ID) of the latest feature report with this ID; empty when none.
    static std::vector<uint8_t> Feature(const qdtest::Unit& unit, uint8_t id);
    // Lamp byte of a push-button, toggle or knob unit (feature 2), -1 when never set.
    static int Lamps(const qdtest::Unit& unit);
    // Number of lamp reports (feature 2) the unit received.
    static int LampReports(const qdtest::Unit& unit);
    // Latest red, green, blue sent to each QD-ANP lamp 1 to 6 (index 0 to 5); -1 when never sent.
    static std::array<std::array<int, 3>, 6> AnnunciatorColours(const qdtest::Unit& unit);
    // Latest QD-IOB outputs as a 32-bit word (output 1 = bit 0), -1 when never sent.
    static int64_t BoardOutputs(const qdtest::Unit& unit);
    // Number of output reports the unit received.
    static int OutputReports(const qdtest::Unit& unit);

    // ---- What the simulator saw ----
    static int CountCommands(hostsim::CommandKind kind, const std::string& name = "", int number = -1);

    // Avionics power: battery and avionics switch on or off.
    static void SetPower(bool on);

    qdtest::Testbed& bed() { return *testbed_; }
    std::string root_;

  private:
    std::unique_ptr<qdtest::Testbed> testbed_;
};

} // namespace e2e
