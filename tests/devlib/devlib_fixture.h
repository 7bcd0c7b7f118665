// Shared set-up for tests that run the library over the fake platform, with recording callbacks.
#pragma once

#include "fake_platform.h"
#include "qddev.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace devtest {

struct InputEvent {
    tagQDDevHWType type;
    uint16_t index;
    fake::Bytes record;
};

struct ConnectEvent {
    tagQDDevHWType type;
    uint16_t index;
    tagEventToken token;
};

size_t RecordSize(tagQDDevHWType type);

// What the recording callbacks saw, and what the input callback answers.
struct Recorder {
    std::mutex mutex;
    std::vector<InputEvent> inputs;
    std::vector<ConnectEvent> connects;
    std::atomic<int> wakeups{0};
    std::atomic<bool> answer{true};
    std::function<void(const InputEvent&)> hook; // runs inside the input callback
};
Recorder& Rec();

bool RecordInput(tagQDDevHWType type, uint16_t index, const void* data);
bool RecordConnect(tagQDDevHWType type, uint16_t index, tagEventToken token);
bool RecordWakeup();

class DevlibTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the library with these units present and the recording callbacks registered.
    void Start(const std::vector<std::shared_ptr<fake::Unit>>& present = {});
    std::vector<InputEvent> Inputs();
    std::vector<ConnectEvent> Connects();
    // A unit with a fresh location, not yet plugged.
    std::shared_ptr<fake::Unit> NewUnit(tagQDDevHWType type);
    // Starts the library with one unit of the model and forgets its start-up reports.
    std::shared_ptr<fake::Unit> StartWith(tagQDDevHWType type);
};

// Reads a little-endian 16-bit field of a record.
inline int16_t I16(const fake::Bytes& b, size_t off) {
    return static_cast<int16_t>(b[off] | (b[off + 1] << 8));
}

} // namespace devtest
