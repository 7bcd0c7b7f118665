// The scenario parser on arbitrary text.
#include "scenario.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cockpit::Scenario scenario;
    std::string error;
    cockpit::ParseScenario(std::string(reinterpret_cast<const char*>(data), size), "fuzz.scn", &scenario,
                           &error);
    return 0;
}
