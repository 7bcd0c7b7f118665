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

// Positions the text takes on a 7-segment display: a point rides on the character before it.
inline int SegmentPositions(const char* text) {
    int n = 0;
    for (const char* c = text; *c != '\0'; ++c, ++n)
        if (c[1] == '.') ++c;
    return n;
}

} // namespace drav_modutil
