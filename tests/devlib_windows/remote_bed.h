// The Windows side of qdwinebed: emulated units owned by the Linux process that started this
// program under wine. Each call is one "@qd" line on standard output and one answer line on
// standard input; a failed call fails the running test.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qdtest {

using namespace std::chrono_literals;

struct RemoteSent {
    bool feature = false;
    std::vector<uint8_t> bytes; // byte 0 = report ID
    bool operator==(const RemoteSent&) const = default;
};

struct RemotePlug {
    uint16_t version = 0x0100;
    std::string serial; // empty = generated
    bool no_report_ids = false;
};

class RemoteBed {
  public:
    // Plugs a unit of the model; returns its index for the calls below.
    static int Plug(int type, const RemotePlug& opt = {});
    static void PlugForeign(uint16_t vendor, uint16_t product);
    // Unplugs every unit: each test starts with none.
    static void UnplugAll();

    static void Turn(int unit, int encoder, int steps);
    static void Press(int unit, int sw);
    static void Release(int unit, int sw);
    static void Lever(int unit, int n, uint8_t position);
    static void SendRaw(int unit, const std::vector<uint8_t>& report);

    static std::vector<RemoteSent> Outputs(int unit);
    static bool WaitOutputs(int unit, size_t n, std::chrono::milliseconds timeout = 3000ms);
    static void ClearOutputs(int unit);
    static std::vector<uint8_t> Feature(int unit, uint8_t id);
    static int FeatureGets(int unit);

    static void Stall(int unit);
    static void Unstall(int unit);
    static void FailSends(int unit, bool fail);
    static void Unplug(int unit);
    static void Replug(int unit);

    // Interfaces of the units' vendor that wine lists as present (arrivals and removals reach
    // wine some time after the bed makes them).
    static size_t PresentUnits();

    // True when this program runs under qdwinebed (it sets QDWINEBED in the environment).
    static bool Available();

  private:
    // Sends a command and returns the answer after "ok".
    static std::string Call(const std::string& command);
};

} // namespace qdtest
