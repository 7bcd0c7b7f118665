// Test sinks for the transport seam and small waiting helpers, for every platform's transport.
#pragma once

#include "hid_transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qdtest {

using namespace std::chrono_literals;

// Waits for cond, checking every millisecond, up to timeout.
inline bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout = 2000ms) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class RecordingInput : public qddev::InputSink {
  public:
    void ReportReceived(const uint8_t* report, size_t len) override {
        {
            std::lock_guard<std::mutex> lock(mu);
            reports.emplace_back(report, report + len);
            in_callback = true;
        }
        if (hold) {
            std::unique_lock<std::mutex> lock(mu);
            released.wait(lock, [&] { return !hold.load(); });
        }
        std::lock_guard<std::mutex> lock(mu);
        in_callback = false;
    }
    size_t count() {
        std::lock_guard<std::mutex> lock(mu);
        return reports.size();
    }
    void release() {
        {
            std::lock_guard<std::mutex> lock(mu);
            hold = false;
        }
        released.notify_all();
    }

    std::mutex mu;
    std::condition_variable released;
    std::vector<std::vector<uint8_t>> reports;
    std::atomic<bool> hold{false}; // ReportReceived blocks until release()
    bool in_callback = false;
};

template <class Conn> class RecordingHotplugOf : public qddev::HotplugSink {
  public:
    void UnitArrived(std::unique_ptr<qddev::HidConnection> conn) override {
        std::lock_guard<std::mutex> lock(mu);
        arrived.push_back(std::move(conn));
    }
    void UnitRemoved(int32_t location) override {
        std::lock_guard<std::mutex> lock(mu);
        removed.push_back(location);
    }
    void WakeupTimer() override { ++wakeups; }

    size_t arrivals() {
        std::lock_guard<std::mutex> lock(mu);
        return arrived.size();
    }
    size_t removals() {
        std::lock_guard<std::mutex> lock(mu);
        return removed.size();
    }
    // The n-th connection (0-based) once it arrived, else null.
    Conn* conn(size_t n, std::chrono::milliseconds timeout = 2000ms) {
        if (!WaitFor([&] { return arrivals() > n; }, timeout)) return nullptr;
        std::lock_guard<std::mutex> lock(mu);
        return dynamic_cast<Conn*>(arrived[n].get());
    }

    std::mutex mu;
    std::vector<std::unique_ptr<qddev::HidConnection>> arrived;
    std::vector<int32_t> removed;
    std::atomic<int> wakeups{0};
};

} // namespace qdtest
