// Every text encoder through the library's calls: the input is one text (cut at 63 bytes),
// shown on every display of every model.
#include "fuzz_platform.h"

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartLibrary();
    char text[64];
    const size_t n = std::min(size, sizeof text - 1);
    std::memcpy(text, data, n);
    text[n] = '\0';
    QDAVX_SetAlpha(0, text);
    QDAVX_SetNumeric(0, text);
    QDAVY_SetAlpha(0, text);
    QDAVY_SetNumeric(0, text);
    QDRSX_SetLDisplayText(0, text);
    QDRSX_SetRDisplayText(0, text);
    QDAPC_SetADisplayText(0, text);
    QDAPC_SetBDisplayText(0, text);
    QDAPC_SetCDisplayText(0, text);
    QDAPC_SetDDisplayText(0, text);
    QDAPC_SetEDisplayText(0, text);
    QDAPX_SetADisplayText(0, text);
    QDAPX_SetBDisplayText(0, text);
    QDAPX_SetCDisplayText(0, text);
    QDAPX_SetDDisplayText(0, text);
    QDAPX_SetEDisplayText(0, text);
    QDAPX_SetFDisplayText(0, text);
    return 0;
}
