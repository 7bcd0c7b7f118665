// The report-descriptor parser on arbitrary bytes: a unit presents whatever its firmware holds.
#include "report_descriptor.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qddev::ReportCaps caps;
    qddev::ParseReportDescriptor(data, size, &caps);
    // The lengths size the transport's buffers: each must cover what its IDs declared.
    for (int id = 0; id < 256; ++id) {
        if (caps.input_bytes[id] + 1u > caps.input_len && caps.input_bytes[id] != 0) std::abort();
        if (caps.feature_bytes[id] + 1u > caps.feature_len && caps.feature_bytes[id] != 0) std::abort();
    }
    return 0;
}
