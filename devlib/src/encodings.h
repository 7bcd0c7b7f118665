// Text and colour encoders of the display units. They work in place on the caller's small buffers
// and never allocate, so they are safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qddev {

// 7-segment code of one character (bit 0 = segment a ... bit 6 = g, bit 7 = decimal point); 0 if none.
uint8_t SevenSegmentCode(char c);
// 16-segment code of one character as used by the alpha displays; 0 if none.
uint16_t SixteenSegmentCode(char c);

} // namespace qddev

// Fills n 7-segment bytes left to right; a "." after a character lights that position's point.
void Text2SegmentData(const char* text, uint8_t* out, size_t n);
// Fills n 7-segment bytes right to left (the first character lands in out[n-1]); digits, " ", "-",
// "[" and "]" only, as the numeric displays cannot show letters.
void QDAVXSetNumericBuf(const char* text, uint8_t* out, size_t n);
// Zeroes n bytes and stores up to four 16-bit alpha codes, low byte first.
void QDAVXSetAlphaBuf(const char* text, uint8_t* out, size_t n);
// Lamp colour 0..7 at brightness level 0..15 to red, green, blue percentages. A colour above 7
// leaves the outputs unchanged.
void ConvertColorValueToRGB(uint8_t colour, uint8_t level, uint8_t* red, uint8_t* green, uint8_t* blue);
