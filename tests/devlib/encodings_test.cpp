#include "encodings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Seven(const char* text, size_t n) {
    Bytes out(n, 0xee);
    Text2SegmentData(text, out.data(), n);
    return out;
}

Bytes Numeric(const char* text, size_t n) {
    Bytes out(n, 0xee);
    QDAVXSetNumericBuf(text, out.data(), n);
    return out;
}

Bytes Alpha(const char* text) {
    Bytes out(8, 0xee);
    QDAVXSetAlphaBuf(text, out.data(), out.size());
    return out;
}

TEST(SevenSegment, PointJoinsThePrecedingCharacter) {
    EXPECT_EQ(Seven("1.2", 3), (Bytes{0x86, 0x5b, 0x00}));
    // A point with no character of its own is a blank position; a second one lights its point.
    EXPECT_EQ(Seven(".5", 3), (Bytes{0x00, 0x6d, 0x00}));
    EXPECT_EQ(Seven("..", 3), (Bytes{0x80, 0x00, 0x00}));
    EXPECT_EQ(Seven("123.45", 6), (Bytes{0x06, 0x5b, 0xcf, 0x66, 0x6d, 0x00}));
}

TEST(SevenSegment, TextIsCutAndPaddedAndUnknownCharactersTakeAPosition) {
    EXPECT_EQ(Seven("ABCDEFG", 3), (Bytes{0x77, 0x7c, 0x39}));
    EXPECT_EQ(Seven("#1", 3), (Bytes{0x00, 0x06, 0x00}));
    EXPECT_EQ(Seven("", 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(Seven(nullptr, 2), (Bytes{0x00, 0x00}));
}

TEST(SevenSegment, TableQuirksAndPunctuation) {
    EXPECT_EQ(Seven("9Rr", 3), (Bytes{0x67, 0x40, 0x50}));
    EXPECT_EQ(Seven(" -_=[]", 6), (Bytes{0x00, 0x40, 0x08, 0x48, 0x39, 0x0f}));
    EXPECT_EQ(Seven("0123456789", 10), (Bytes{0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x67}));
    EXPECT_EQ(Seven("AZaz", 4), (Bytes{0x77, 0x1b, 0x5f, 0x1b}));
    EXPECT_EQ(Seven("uvo", 3), (Bytes{0x1c, 0x1c, 0x5c}));
}

TEST(NumericDisplay, FirstCharacterGoesToTheLastPosition) {
    EXPECT_EQ(Numeric("123", 5), (Bytes{0x00, 0x00, 0x4f, 0x5b, 0x06}));
    EXPECT_EQ(Numeric("12345", 6), (Bytes{0x00, 0x6d, 0x66, 0x4f, 0x5b, 0x06}));
    EXPECT_EQ(Numeric("      ", 6), Bytes(6, 0x00));
    EXPECT_EQ(Numeric("1.5", 5), (Bytes{0x00, 0x00, 0x00, 0x6d, 0x86}));
    // Too long: filling stops at the first position.
    EXPECT_EQ(Numeric("1234567", 5), (Bytes{0x6d, 0x66, 0x4f, 0x5b, 0x06}));
}

TEST(NumericDisplay, LettersAndOtherCharactersStayBlank) {
    EXPECT_EQ(Numeric("A1", 5), (Bytes{0x00, 0x00, 0x00, 0x06, 0x00}));
    EXPECT_EQ(Numeric("-[]_=", 5), (Bytes{0x00, 0x00, 0x0f, 0x39, 0x40}));
}

TEST(AlphaDisplay, CodesGoLowByteFirst) {
    EXPECT_EQ(Alpha("X"), (Bytes{0x15, 0x40, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Alpha("-"), (Bytes{0x22, 0x00, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Alpha("a.b"), (Bytes{0x62, 0x37, 0x0a, 0x8f, 0, 0, 0, 0}));
    EXPECT_EQ(Alpha("<>W"), (Bytes{0x05, 0x00, 0x10, 0x40, 0x14, 0xb6, 0, 0}));
    EXPECT_EQ(Alpha("09 #"), (Bytes{0x11, 0x3f, 0x22, 0x2f, 0, 0, 0, 0}));
}

TEST(AlphaDisplay, AtMostFourCharactersAndNeverPastTheBuffer) {
    EXPECT_EQ(Alpha("ABCDE"), (Bytes{0x22, 0x37, 0x0a, 0x8f, 0x00, 0x39, 0x08, 0x8f}));
    Bytes small(3, 0xee);
    QDAVXSetAlphaBuf("AB", small.data(), small.size());
    EXPECT_EQ(small, (Bytes{0x22, 0x37, 0x00}));
}

TEST(LampColours, ComponentsFollowTheBrightness) {
    struct Case {
        uint8_t colour, level, r, g, b;
    };
    const Case cases[] = {
        {0, 15, 0, 0, 0}, {1, 15, 100, 100, 100},  {2, 15, 100, 0, 0},   {3, 8, 0, 53, 0},
        {4, 8, 0, 0, 53}, {5, 15, 100, 0, 100},    {6, 15, 100, 100, 1}, {6, 0, 0, 0, 1},
        {7, 1, 0, 6, 6},  {1, 200, 100, 100, 100},
    };
    for (const Case& c : cases) {
        uint8_t r = 0xee, g = 0xee, b = 0xee;
        ConvertColorValueToRGB(c.colour, c.level, &r, &g, &b);
        EXPECT_EQ((Bytes{r, g, b}), (Bytes{c.r, c.g, c.b}))
            << "colour " << int(c.colour) << " level " << int(c.level);
    }
    uint8_t r = 7, g = 8, b = 9;
    ConvertColorValueToRGB(8, 15, &r, &g, &b);
    EXPECT_EQ((Bytes{r, g, b}), (Bytes{7, 8, 9}));
}

} // namespace
