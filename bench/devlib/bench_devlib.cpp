// Device library timings over emulated units (the program restarts itself under the
// umockdev preload when started without it).
//
//   DisplayWriteWhileStalled   QDRSX_SetLDisplayText on a unit that answers no send:
//                              the call must still return in microseconds.
//   InputToCallback            unit report -> transport reader -> InputSink, end to end.
//   EmulatedReadOnly           the same report fetched by poll()+read() on the node
//                              directly: the emulation's own share of the above.
//   Terminate16Units/answering QDDev_Terminate with 16 QD-RSX plugged, input flowing and
//   Terminate16Units/stalled   every queue holding one report of each of its states; the
//                              units answer, or hold every send for ever.
#include "hidraw_transport.h"
#include "qddev.h"
#include "testbed.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Median and 99th percentile of per-operation times, as benchmark counters (ns).
void ReportPercentiles(benchmark::State& state, std::vector<double>& ns) {
    if (ns.empty()) return;
    std::sort(ns.begin(), ns.end());
    state.counters["p50_ns"] = ns[ns.size() / 2];
    state.counters["p99_ns"] = ns[std::min(ns.size() - 1, ns.size() * 99 / 100)];
    state.counters["max_ns"] = ns.back();
}

void DisplayWriteWhileStalled(benchmark::State& state) {
    qdtest::Testbed tb;
    qdtest::Unit& rsx = tb.plug(5);
    if (QDDev_Init() != 0 || QDRSX_GetNumDevices() < 1) {
        state.SkipWithError("no emulated unit");
        return;
    }
    rsx.stall();
    // The first write reaches the stalled unit and stays in flight; every later one takes
    // the place of the one queued behind it (the same display).
    std::vector<double> fill;
    for (int k = 0; k < 26; ++k) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(QDRSX_SetLDisplayText(0, "123.45"));
        fill.push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count());
    }
    std::sort(fill.begin(), fill.end());
    state.counters["queued_p50_ns"] = fill[fill.size() / 2];
    state.counters["queued_max_ns"] = fill.back();
    std::vector<double> ns;
    ns.reserve(1 << 20);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(QDRSX_SetLDisplayText(0, "123.45"));
        const auto t1 = Clock::now();
        if (ns.size() < ns.capacity())
            ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
    ReportPercentiles(state, ns);
    rsx.unstall();
    QDDev_Terminate();
}
BENCHMARK(DisplayWriteWhileStalled)->Iterations(200000);

class TimedInput : public qddev::InputSink {
  public:
    void ReportReceived(const uint8_t*, size_t) override {
        at.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
        seen.fetch_add(1, std::memory_order_acq_rel);
    }
    std::atomic<int64_t> at{0};
    std::atomic<int> seen{0};
};

class Hotplug : public qddev::HotplugSink {
  public:
    void UnitArrived(std::unique_ptr<qddev::HidConnection> c) override { conn = std::move(c); }
    void UnitRemoved(int32_t) override {}
    void WakeupTimer() override {}
    std::unique_ptr<qddev::HidConnection> conn;
};

void InputToCallback(benchmark::State& state) {
    qdtest::Testbed tb;
    qdtest::Unit& rsx = tb.plug(5);
    Hotplug hp;
    qddev::HidrawPlatform platform;
    if (!platform.Start(&hp) || !hp.conn) {
        state.SkipWithError("no emulated unit");
        return;
    }
    TimedInput in;
    hp.conn->StartInput(&in);
    std::vector<double> ns;
    ns.reserve(state.max_iterations);
    for (auto _ : state) {
        const int before = in.seen.load();
        const auto t0 = Clock::now();
        rsx.turn(1, 1);
        while (in.seen.load(std::memory_order_acquire) == before) {
        }
        const auto t1 = Clock::time_point(Clock::duration(in.at.load(std::memory_order_acquire)));
        ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
    ReportPercentiles(state, ns);
    hp.conn->Stop();
    platform.Stop();
    hp.conn.reset();
}
BENCHMARK(InputToCallback)->Iterations(2000)->UseRealTime();

void EmulatedReadOnly(benchmark::State& state) {
    qdtest::Testbed tb;
    qdtest::Unit& rsx = tb.plug(5);
    const int fd = ::open(rsx.devnode().c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the emulated node");
        return;
    }
    std::vector<double> ns;
    ns.reserve(state.max_iterations);
    uint8_t buf[64];
    for (auto _ : state) {
        const auto t0 = Clock::now();
        rsx.turn(1, 1);
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 1000);
        benchmark::DoNotOptimize(::read(fd, buf, sizeof buf));
        const auto t1 = Clock::now();
        ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
    ReportPercentiles(state, ns);
    ::close(fd);
}
BENCHMARK(EmulatedReadOnly)->Iterations(2000)->UseRealTime();

} // namespace

void Terminate16Units(benchmark::State& state) {
    const bool answering = state.range(0) != 0;
    qdtest::Testbed tb;
    std::vector<qdtest::Unit*> units;
    for (int k = 0; k < 16; ++k)
        units.push_back(&tb.plug(5));
    std::vector<double> ns;
    for (auto _ : state) {
        if (QDDev_Init() != 0 || QDRSX_GetNumDevices() < 16) {
            state.SkipWithError("no emulated units");
            return;
        }
        std::atomic<bool> flowing{true};
        std::thread input([&] {
            for (int k = 0; flowing.load(); ++k) {
                units[k % 16]->turn(1, 1);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        for (qdtest::Unit* u : units)
            u->stall();
        char text[8];
        for (int round = 0; round < 30; ++round) {
            std::snprintf(text, sizeof text, "1%02d.%02d", round, round);
            for (int i = 0; i < 16; ++i) {
                QDRSX_SetLDisplayText(i, text);
                QDRSX_SetRDisplayText(i, text);
                QDRSX_SetIndicators(i, static_cast<unsigned char>(round));
                QDRSX_SetBrightness(i, static_cast<unsigned char>(round % 16));
                QDRSX_SetEncoderType(i, round & 3, (round >> 2) & 3);
            }
        }
        if (answering)
            for (qdtest::Unit* u : units)
                u->unstall();
        const auto t0 = Clock::now();
        QDDev_Terminate();
        const auto t1 = Clock::now();
        const double took = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(took);
        ns.push_back(took * 1e9);
        flowing.store(false);
        input.join();
        for (qdtest::Unit* u : units)
            u->unstall(); // writers left behind finish now
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ReportPercentiles(state, ns);
}
BENCHMARK(Terminate16Units)->Arg(1)->Arg(0)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (!qdtest::Testbed::EnsurePreload(argv)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
