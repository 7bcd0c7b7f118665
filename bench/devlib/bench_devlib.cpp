// Device library timings over emulated units (the program restarts itself under the
// umockdev preload when started without it).
//
//   DisplayWriteWhileStalled   QDRSX_SetLDisplayText on a unit that answers no send:
//                              the call must still return in microseconds.
//   InputToCallback            unit report -> transport reader -> InputSink, end to end.
//   EmulatedReadOnly           the same report fetched by poll()+read() on the node
//                              directly: the emulation's own share of the above.
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
    // The first 25 writes go onto the queue (the first one reaches the stalled unit and
    // stays in flight); every later one finds the queue full and is discarded.
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

int main(int argc, char** argv) {
    if (!qdtest::Testbed::EnsurePreload(argv)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
