// The catalogue lookup on arbitrary settings values.
#include "catalogue.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char text[512];
    const size_t n = std::min(size, sizeof text - 1);
    std::memcpy(text, data, n);
    text[n] = '\0';
    const E_UnitType id = of_switch_table(text);
    if (id < 0 || id >= kUnitTypeCount || of_unit_name(id) == nullptr) std::abort();
    return 0;
}
