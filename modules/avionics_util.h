// Small helpers shared by the avionics and autopilot modules: thread-safe debug lines, control
// state dumps, the button bit scan and display text slicing.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/globals.h"
#include "core/log.h"

namespace drav_modutil {

// GetButton runs on the device library's thread, so lines are formatted into a buffer of their
// own rather than the log writer's shared one.
inline void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void LogLine(const char* format, ...) {
    if (g_DRAV_DebugEnabled != 1) return;
    char line[kDravLogLineSize];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    DRAV_WriteToLog(line);
}

// "<label> = <16 bits>", bit 0 first (the log's control-state layout).
inline void LogBits(const char* label, unsigned state) {
    if (g_DRAV_DebugEnabled != 1) return;
    char bits[17];
    for (int i = 0; i < 16; ++i)
        bits[i] = (state >> i) & 1u ? '1' : '0';
    bits[16] = '\0';
    LogLine("%s = %s", label, bits);
}

// "<label> = <32 bits>", bit 31 first.
inline void LogBits32(const char* label, uint32_t state) {
    if (g_DRAV_DebugEnabled != 1) return;
    char bits[33];
    for (int i = 0; i < 32; ++i)
        bits[i] = (state >> (31 - i)) & 1u ? '1' : '0';
    bits[32] = '\0';
    LogLine("%s = %s", label, bits);
}

// Finds the lowest of the first `count` bits that differs between now and *last, takes it over
// into *last and returns its number with *value 1 (now set) or 0 (now clear); -1 when none.
template <typename T> int ScanBits(T now, T* last, int count, int* value) {
    for (int bit = 0; bit < count; ++bit) {
        const T mask = static_cast<T>(T{1} << bit);
        if ((now & mask) == (*last & mask)) continue;
        *last = static_cast<T>(*last ^ mask);
        *value = (now & mask) != 0 ? 1 : 0;
        return bit;
    }
    return -1;
}

// Copies up to count characters of text from position start (nothing when the text is
// shorter), always terminated.
inline void SliceText(const char* text, int start, int count, char* out, size_t out_size) {
    if (out_size == 0) return;
    out[0] = '\0';
    const size_t len = std::strlen(text);
    if (start < 0 || static_cast<size_t>(start) >= len) return;
    size_t n = len - static_cast<size_t>(start);
    if (count >= 0 && n > static_cast<size_t>(count)) n = static_cast<size_t>(count);
    if (n > out_size - 1) n = out_size - 1;
    std::memcpy(out, text + start, n);
    out[n] = '\0';
}

} // namespace drav_modutil
