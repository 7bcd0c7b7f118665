// The loaded plug-in as the simulator runs it: the built DRAV.xpl in the simulator stand-in, one
// emulated unit of every model on the hidraw path, the settings of bench_settings.h. The stand-in
// times every flight-loop call in the CPU time of the simulator's thread; each benchmark iteration
// is one such call, and its "Time" is that CPU time (mean; median_us and p90_us beside it).
// The program restarts itself under the umockdev preload when started without it.
//
//   InputFrame/kB:<kB>/idle:<0|1>
//                     the input loop of a frame that handles one detent of the radio stack's fine
//                     knob, turned on the emulated unit: the value is tuned and every unit follows
//                     in the same call. Target under 5 us. Before the frame the simulator's thread
//                     waits half a millisecond for the device thread: busy (idle:0, as the
//                     simulator's thread is between frames) or asleep (idle:1, the core may idle
//                     and its caches go cold: the worst case).
//   RefreshIdle/<kB>  the refresh loop's half-second pass when nothing changed. Target under
//                     10 us. "input_empty_us" is the input loop of the frames without input.
//   InputFramePaced, RefreshPaced
//                     the same at the simulator's pace: a frame every 1/60 s, the thread asleep
//                     in between. Whatever else runs on the machine meanwhile (the device
//                     threads, other processes, on a virtual machine other guests) takes the
//                     caches: this is the frame as the simulator sees it when nothing else of
//                     the simulator's work is modelled.
//
// Between two frames the simulator does its own work on the same thread, and its data pushes
// ours out of the caches. That work is modelled as <kB> kilobytes of the simulator's own data,
// the same every frame, read and written once per frame: 0 (nothing: only the wait for the
// device thread), 1024 (this machine's L2 per core), 8192 (a
// quarter of the shared L3) and 32768 (all of it, as a full cache flush). Reading the thread's CPU
// clock is a system call: what one pair of reads takes ("timer_us", their median) is taken off
// every figure. That pair is timed warm; "empty_loop_median_us" is the stand-in's raw figure for
// a callback that does nothing, called first in the same frames: how much more the clock's own
// cost is there (not taken off).
//
// DRAV_BENCH_PLUGIN=<path> loads that plug-in instead of the one built with the benchmark, e.g.
// one built from another commit: two builds compared on the same stand-in and the same frames.
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "XPLMProcessing.h"
#include "bench_settings.h"
#include "face.h"
#include "hostsim.h"
#include "testbed.h"

#ifndef DRAV_XPL_PATH
#error "DRAV_XPL_PATH must name the built plug-in"
#endif

namespace {

constexpr int kRadioStack = 5;
constexpr int kFineKnob = 2; // the radio stack's encoder 2 tunes the standby value shown
constexpr const char* kCom1Standby = "sim/cockpit/radios/com1_stdby_freq_hz";

// The simulator's own data, walked once per frame (kb kilobytes of it).
void SimulatorWork(int kb) {
    static std::vector<char> data(64 << 20);
    const size_t bytes = std::min(data.size(), static_cast<size_t>(kb) << 10);
    for (size_t i = 0; i < bytes; i += 64)
        data[i] = static_cast<char>(data[i] + 1);
    benchmark::ClobberMemory();
}

// The plug-in loaded and enabled with every unit registered; built once for all benchmarks.
struct World {
    std::string root;
    std::unique_ptr<qdtest::Testbed> bed;
    qdtest::Unit* radioStack = nullptr;
    qdtest::Unit* togglePanel = nullptr;
    size_t inputLoop = 0;                   // index in hostsim::FlightLoops()
    size_t refreshLoop = 0;                 // likewise
    static constexpr size_t kEmptyLoop = 0; // ours, registered first: a callback doing nothing

    World() {
        root = bench::PrepareSimulator("drav_bench_plugin");
        hostsim::SetInt(kCom1Standby, 12150);
        // Called first in every frame, as the plug-in's input loop would be after the wait.
        XPLMRegisterFlightLoopCallback([](float, float, int, void*) { return -1.0f; }, -1.0f, nullptr);
        bed = std::make_unique<qdtest::Testbed>();
        for (int type : bench::kModels) {
            qdtest::Unit& u = bed->plug(type);
            if (type == kRadioStack) radioStack = &u;
            if (type == bench::kTogglePanel) togglePanel = &u;
        }
        const char* other = std::getenv("DRAV_BENCH_PLUGIN");
        const char* xpl = other != nullptr && other[0] != '\0' ? other : DRAV_XPL_PATH;
        if (xpl != std::string_view(DRAV_XPL_PATH)) std::fprintf(stderr, "plug-in: %s\n", xpl);
        std::string error;
        if (!hostsim::LoadPlugin(xpl, &error) || !hostsim::EnablePlugin()) {
            std::fprintf(stderr, "loading %s: %s\n", xpl, error.c_str());
            std::abort();
        }
        // The input loop is called every frame, the refresh loop every half second.
        const auto loops = hostsim::FlightLoops();
        for (size_t i = 0; i < loops.size(); ++i) {
            if (i == kEmptyLoop) continue;
            if (loops[i].registered_interval == -1.0f) inputLoop = i;
            if (loops[i].registered_interval == 0.5f) refreshLoop = i;
        }
        // The first refresh registers every unit; then their first reports go out.
        Frames(120);
        // Power on, as a pilot would, so that what is timed is the lit panel.
        for (int sw : bench::kPowerSwitches)
            togglePanel->press(sw);
        Frames(120);
        const qdtest::Face face = qdtest::ReadFace(*radioStack);
        const qdtest::Face::Display* right = face.display("right");
        if (hostsim::GetInt("sim/cockpit/electrical/avionics_on") != 1 || right == nullptr ||
            right->text.find_first_not_of(' ') == std::string::npos) {
            std::fprintf(stderr, "the radio stack stays dark: the benchmark would time a dark panel\n");
            std::abort();
        }
    }
    ~World() {
        hostsim::UnloadPlugin();
        bed.reset();
        hostsim::Reset();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    static void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            hostsim::RunFrames(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // CPU seconds of the loop's call in the frame just run; negative when it was not called.
    static double CallThisFrame(size_t loop) {
        const hostsim::FlightLoopInfo info = hostsim::FlightLoops()[loop];
        return info.last_frame == hostsim::FrameCount() ? info.last_cpu_seconds : -1.0;
    }
};

World& TheWorld() {
    static World world;
    return world;
}

double TimerPairSeconds() {
    std::vector<double> pairs;
    for (int i = 0; i < 1001; ++i) {
        timespec a{}, b{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
        pairs.push_back(static_cast<double>(b.tv_sec - a.tv_sec) +
                        1e-9 * static_cast<double>(b.tv_nsec - a.tv_nsec));
    }
    std::nth_element(pairs.begin(), pairs.begin() + 500, pairs.end());
    return pairs[500];
}

// Median and 90th percentile of the samples, in microseconds, as counters.
void Report(benchmark::State& state, std::vector<double> samples, const char* prefix) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    const std::string p = prefix;
    state.counters[p + "median_us"] = samples[samples.size() / 2] * 1e6;
    state.counters[p + "p90_us"] = samples[samples.size() * 9 / 10] * 1e6;
}

// Half a millisecond for the device library's thread to take the report. The simulator's thread
// does not sleep between its frames: it keeps the core busy (idle = false). Sleeping instead lets
// the core idle, and an idle core may lose what its caches held (idle = true).
void WaitForDevice(bool idle) {
    constexpr auto kWait = std::chrono::microseconds(500);
    if (idle) {
        std::this_thread::sleep_for(kWait);
        return;
    }
    const auto until = std::chrono::steady_clock::now() + kWait;
    while (std::chrono::steady_clock::now() < until) {
    }
}

constexpr auto kFrame = std::chrono::microseconds(16667);

// One detent per iteration; before each frame wait(), then kb kilobytes of simulator work.
template <class Wait> void TimeInputFrames(benchmark::State& state, int kb, Wait wait) {
    World& w = TheWorld();
    const double timer = TimerPairSeconds();
    std::vector<double> samples, empty;
    int step = 1;
    int missed = 0;
    for (auto _ : state) {
        const int before = hostsim::GetInt(kCom1Standby);
        // One detent, alternating so the value stays put over the run.
        w.radioStack->turn(kFineKnob, step);
        step = -step;
        double cpu = -1.0;
        for (int tries = 0; tries < 500 && cpu < 0; ++tries) {
            // The device library's thread takes the report meanwhile.
            wait();
            SimulatorWork(kb);
            hostsim::RunFrames(1);
            if (hostsim::GetInt(kCom1Standby) != before) cpu = World::CallThisFrame(w.inputLoop);
        }
        if (cpu < 0) ++missed;
        empty.push_back(World::CallThisFrame(World::kEmptyLoop));
        cpu = std::max(0.0, cpu - timer);
        state.SetIterationTime(cpu);
        samples.push_back(cpu);
    }
    Report(state, samples, "");
    Report(state, empty, "empty_loop_");
    state.counters["missed"] = missed;
    state.counters["timer_us"] = timer * 1e6;
}

void InputFrame(benchmark::State& state) {
    const bool idle = state.range(1) != 0;
    TimeInputFrames(state, static_cast<int>(state.range(0)), [idle] { WaitForDevice(idle); });
}
BENCHMARK(InputFrame)
    ->ArgsProduct({{0, 1024, 8192, 32768}, {0, 1}})
    ->ArgNames({"kB", "idle"})
    ->Iterations(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void InputFramePaced(benchmark::State& state) {
    TimeInputFrames(state, 0, [] { std::this_thread::sleep_for(kFrame); });
}
BENCHMARK(InputFramePaced)->Iterations(300)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Refresh passes, frames of frameTime seconds; before each frame wait(), then kb kilobytes of
// simulator work.
template <class Wait> void TimeRefreshPasses(benchmark::State& state, int kb, double frameTime, Wait wait) {
    World& w = TheWorld();
    const double timer = TimerPairSeconds();
    const double oldFrameTime = hostsim::FrameTime();
    hostsim::SetFrameTime(frameTime);
    std::vector<double> samples, empty;
    for (auto _ : state) {
        double cpu = -1.0;
        while (cpu < 0) {
            wait();
            SimulatorWork(kb);
            hostsim::RunFrames(1);
            cpu = World::CallThisFrame(w.refreshLoop);
            if (cpu < 0) empty.push_back(std::max(0.0, World::CallThisFrame(w.inputLoop) - timer));
        }
        cpu = std::max(0.0, cpu - timer);
        state.SetIterationTime(cpu);
        samples.push_back(cpu);
    }
    hostsim::SetFrameTime(oldFrameTime);
    Report(state, samples, "");
    Report(state, empty, "input_empty_");
    state.counters["timer_us"] = timer * 1e6;
}

void RefreshIdle(benchmark::State& state) {
    // Frames of a quarter second: the refresh loop runs every second frame. Nothing shown
    // depends on the frame length while idle.
    TimeRefreshPasses(state, static_cast<int>(state.range(0)), 0.25, [] {});
}
BENCHMARK(RefreshIdle)
    ->Arg(0)
    ->Arg(1024)
    ->Arg(8192)
    ->Arg(32768)
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void RefreshPaced(benchmark::State& state) {
    TimeRefreshPasses(state, 0, 1.0 / 60, [] { std::this_thread::sleep_for(kFrame); });
}
// Half a second per pass.
BENCHMARK(RefreshPaced)->Iterations(60)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (!qdtest::Testbed::EnsurePreload(argv)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
