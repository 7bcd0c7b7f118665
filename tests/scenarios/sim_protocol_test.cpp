// The cockpit's line protocol with its simulator side: any text must cross one line unchanged.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sim_protocol.h"

namespace cockpit {
namespace {

TEST(SimProtocol, FieldsSurviveTheLine) {
    const std::vector<std::string> fields = {"values",
                                             "",
                                             "a b",
                                             "tab\there",
                                             "two\nlines\r\n",
                                             "back\\slash\\",
                                             std::string("nul\0bell\x07", 9),
                                             "\x7f\x1f",
                                             "\\x4",
                                             "\\t literally",
                                             "high \xc3\xa9\xff"};
    const std::string line = JoinFields(fields);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    EXPECT_EQ(SplitFields(line), fields);
}

TEST(SimProtocol, OddEscapesAreKeptAsWritten) {
    // Not produced by EscapeField, but a line cut short or typed by hand must not lose bytes.
    EXPECT_EQ(UnescapeField("\\"), "\\");
    EXPECT_EQ(UnescapeField("\\x4"), "\\x4");
    EXPECT_EQ(UnescapeField("\\xzz"), "\\xzz");
    EXPECT_EQ(UnescapeField("\\x41"), "A");
    EXPECT_EQ(UnescapeField("\\q"), "q");
    EXPECT_EQ(SplitFields(""), std::vector<std::string>{""});
    EXPECT_EQ(SplitFields("a\t"), (std::vector<std::string>{"a", ""}));
}

TEST(SimProtocol, NumbersCrossExactly) {
    for (const double v : {0.0, -1.0, 0.1, 1e-7, 123456789.123, 1.0 / 3.0}) {
        EXPECT_EQ(std::strtod(FormatNumber(v).c_str(), nullptr), v);
    }
    EXPECT_EQ(FormatNumber(5), "5");
    EXPECT_EQ(static_cast<float>(std::strtod(FormatNumber(0.3f).c_str(), nullptr)), 0.3f);
}

} // namespace
} // namespace cockpit
