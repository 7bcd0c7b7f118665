// Module and unit-registry timings over one emulated unit of every model (the program restarts
// itself under the umockdev preload when started without it).
//
//   InputLoopEmpty          the input flight loop's work with nothing queued.
//   RefreshIdle             one refresh pass over all sixteen units when nothing changed; the
//                           "reports_sent" counter must stay 0.
//   RefreshWithChangeCheck  the same pass plus what the refresh does about settings changed on
//                           disk (a flag the watch thread sets); must stay within 1 us of
//                           RefreshIdle.
//   SettingsCheck           one check of the watch thread (off the simulator's thread): a stat of
//                           DRAV.INI, the aircraft's own profile and the shipped profile in use.
//   InputFrame/0, /1        the input flight loop of a frame that handles one knob step: the
//                           value is tuned, every watched value read again and the units showing
//                           one that changed refreshed, as the plug-in does; /1 with the caches
//                           emptied before every pass as the simulator's own frame leaves them.
//                           CPU time of the simulator's thread; target under 5 us.
//   RefreshIdleCold         RefreshIdle with the caches emptied before every pass (the
//                           half-second refresh inside the loaded plug-in); target under 10 us.
//   RegisterAll             registering all sixteen units from a realistic DRAV.INI.
//   InputToDataref          a button report written to the unit's node until the dataref holds the
//                           new value: "queued_us" is the part up to the input ring (device
//                           library thread), "frames" the input-loop passes needed after that.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "bench_settings.h"
#include "core/profile.h"
#include "devlib/include/qddev.h"
#include "hostsim.h"
#include "modules/module_base.h"
#include "plugin/unit_registry.h"
#include "testbed.h"

namespace {

constexpr int kRsxFineKnob = 4; // QD-RSX control number of the right (fine) knob

// One simulator root, one unit of every model, the device library running and every unit
// registered; built once for all benchmarks.
struct World {
    std::string root;
    std::unique_ptr<qdtest::Testbed> bed;
    qdtest::Unit* pbx = nullptr;
    qdtest::Unit* togglePanel = nullptr;

    World() {
        root = bench::PrepareSimulator("drav_bench");
        bed = std::make_unique<qdtest::Testbed>();
        for (int type : bench::kModels) {
            qdtest::Unit& u = bed->plug(type);
            if (type == 2) pbx = &u;
            if (type == bench::kTogglePanel) togglePanel = &u;
        }
        QDDev_Init(nullptr);
        of_FindDevices();
        DRAV_RegisterInputCallback();
        of_RegisterUnits();
        Drain();
        for (int sw : bench::kPowerSwitches)
            togglePanel->press(sw);
        for (int i = 0; i < 10 && hostsim::GetInt("sim/cockpit/electrical/avionics_on") != 1; ++i)
            Drain();
        if (hostsim::GetInt("sim/cockpit/electrical/avionics_on") != 1) {
            std::fprintf(stderr, "the avionics stay off: the benchmarks would time a dark panel\n");
            std::abort();
        }
    }
    ~World() {
        QDDev_Terminate();
        bed.reset();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    // Lets everything the units reported or were sent settle.
    void Drain() {
        for (int i = 0; i < 50; ++i) {
            if (DRAV_ProcessInput() > 0) of_RefreshChangedUnits();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    size_t SentCount() const {
        size_t n = 0;
        for (const auto& u : bed->units())
            n += u->outputs().size();
        return n;
    }
};

World& TheWorld() {
    static World world;
    return world;
}

void InputLoopEmpty(benchmark::State& state) {
    TheWorld();
    for (auto _ : state) {
        int handled = DRAV_ProcessInput();
        benchmark::DoNotOptimize(handled);
    }
}
BENCHMARK(InputLoopEmpty);

void RefreshIdle(benchmark::State& state) {
    World& w = TheWorld();
    of_RefreshUnits();
    w.Drain();
    const size_t before = w.SentCount();
    for (auto _ : state)
        of_RefreshUnits();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    state.counters["units"] = 16;
    state.counters["reports_sent"] = static_cast<double>(w.SentCount() - before);
}
BENCHMARK(RefreshIdle);

// The most files the check watches: a shipped profile in use, the user's own not there yet.
void SelectShippedProfile(World& w) {
    const std::string folder = w.root + "/Aircraft/B738";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/DRAV.INI") << "[QDPBX_1]\nFunction1=STROBE_LTS\n";
    DRAV_SelectProfileFor("B738.acf", (folder + "/B738.acf").c_str());
}

void RefreshWithChangeCheck(benchmark::State& state) {
    World& w = TheWorld();
    SelectShippedProfile(w);
    DRAV_StartSettingsWatch();
    of_RefreshUnits();
    w.Drain();
    bool changed = false;
    for (auto _ : state) {
        of_RefreshUnits();
        changed |= DRAV_TakeSettingsChange();
    }
    DRAV_StopSettingsWatch();
    DRAV_SelectProfileFor("", "");
    state.counters["changed"] = changed ? 1 : 0;
}
BENCHMARK(RefreshWithChangeCheck);

void SettingsCheck(benchmark::State& state) {
    World& w = TheWorld();
    SelectShippedProfile(w);
    bool changed = false;
    for (auto _ : state)
        changed |= DRAV_SettingsChangedOnDisk();
    DRAV_SelectProfileFor("", "");
    state.counters["changed"] = changed ? 1 : 0;
}
BENCHMARK(SettingsCheck);
// Pushes the caches' contents out, as a simulator frame does between two plug-in calls.
void EvictCaches() {
    static std::vector<char> junk(32 << 20);
    for (size_t i = 0; i < junk.size(); i += 64)
        junk[i] = static_cast<char>(junk[i] + 1);
    benchmark::ClobberMemory();
}

void InputFrame(benchmark::State& state) {
    World& w = TheWorld();
    w.Drain();
    int step = 1;
    for (auto _ : state) {
        state.PauseTiming();
        if (state.range(0) != 0) EvictCaches();
        // What the input callback queues for one detent of the radio stack's fine knob (COM1
        // standby, shown on it), alternating so the value stays put over the run.
        g_QD_Last_Input.SetQueue(QDHW_RSX, 0, kRsxFineKnob, step);
        step = -step;
        state.ResumeTiming();
        if (DRAV_ProcessInput() > 0) of_RefreshChangedUnits();
    }
    w.Drain();
    state.counters["units"] = 16;
}
BENCHMARK(InputFrame)->Arg(0)->Arg(1)->Iterations(2000);

void RefreshIdleCold(benchmark::State& state) {
    World& w = TheWorld();
    of_RefreshUnits();
    w.Drain();
    const size_t before = w.SentCount();
    for (auto _ : state) {
        state.PauseTiming();
        EvictCaches();
        state.ResumeTiming();
        of_RefreshUnits();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    state.counters["units"] = 16;
    state.counters["reports_sent"] = static_cast<double>(w.SentCount() - before);
}
BENCHMARK(RefreshIdleCold)->Iterations(2000);

void RegisterAll(benchmark::State& state) {
    World& w = TheWorld();
    for (auto _ : state)
        of_RegisterUnits();
    w.Drain();
    state.counters["units"] = 16;
}
BENCHMARK(RegisterAll)->Unit(benchmark::kMillisecond)->Iterations(20);

// Waits (spinning: this is the latency being measured) until an input is queued; false after 2 s.
bool WaitQueued() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (g_QD_Last_Input.Pending() == 0)
        if (std::chrono::steady_clock::now() > deadline) return false;
    return true;
}

void InputToDataref(benchmark::State& state) {
    World& w = TheWorld();
    const char* beacon = "sim/cockpit/electrical/beacon_lights_on";
    double queued_us = 0;
    double frames = 0;
    for (auto _ : state) {
        const int before = hostsim::GetInt(beacon);
        const auto start = std::chrono::steady_clock::now();
        w.pbx->press(1); // button 1 toggles the beacon
        if (!WaitQueued()) {
            state.SkipWithError("input never arrived");
            break;
        }
        const auto queued = std::chrono::steady_clock::now();
        int passes = 0;
        while (hostsim::GetInt(beacon) == before && passes < 1000) {
            ++passes;
            if (DRAV_ProcessInput() > 0) of_RefreshChangedUnits();
        }
        const auto done = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(done - start).count());
        queued_us += std::chrono::duration<double, std::micro>(queued - start).count();
        frames += passes;
        // The release changes nothing in the simulator; drain it outside the measurement.
        w.pbx->release(1);
        if (WaitQueued()) DRAV_ProcessInput();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["queued_us"] = queued_us / n;
    state.counters["frames"] = frames / n;
}
BENCHMARK(InputToDataref)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace

int main(int argc, char** argv) {
    if (!qdtest::Testbed::EnsurePreload(argv)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
