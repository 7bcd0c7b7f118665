// Every model's input decoder through the platform seam: a run of reports, each
// [unit selector][length][bytes], delivered as the transport would.
#include "fuzz_platform.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartLibrary();
    uint8_t report[64];
    while (size >= 2) {
        const int unit = data[0] % fuzz::UnitCount();
        const size_t len = std::min<size_t>({data[1], size - 2, sizeof report});
        // A copy of exactly len bytes: reading past it is what the sanitizers catch.
        std::copy(data + 2, data + 2 + len, report);
        fuzz::Deliver(unit, len ? report : nullptr, len);
        data += 2 + len;
        size -= 2 + len;
    }
    return 0;
}
