// Report lengths from HID report descriptors.
#include "report_descriptor.h"
#include "testbed.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

qddev::ReportCaps Parse(const std::vector<uint8_t>& d, bool* ok = nullptr) {
    qddev::ReportCaps caps;
    const bool r = qddev::ParseReportDescriptor(d.data(), d.size(), &caps);
    if (ok) *ok = r;
    return caps;
}

TEST(ReportDescriptor, EveryEmulatedModelDeclaresItsReportLengths) {
    for (int type : qdtest::SupportedTypes()) {
        const qdtest::ModelLayout& m = *qdtest::LayoutOf(type);
        SCOPED_TRACE(m.name);
        bool ok = false;
        const qddev::ReportCaps caps = Parse(qdtest::ReportDescriptor(m, m.output_len), &ok);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(caps.uses_ids);
        EXPECT_EQ(caps.input_len, m.input_len);
        EXPECT_EQ(caps.output_len, m.output_len);
        size_t longest = m.state_len;
        for (const auto& f : m.features) {
            EXPECT_EQ(caps.FeatureLength(f.id), f.len) << "feature " << int(f.id);
            longest = std::max<size_t>(longest, f.len);
        }
        if (m.state_id) {
            EXPECT_EQ(caps.FeatureLength(m.state_id), m.state_len);
        }
        EXPECT_EQ(caps.feature_len, longest);
        EXPECT_EQ(caps.FeatureLength(0x42), 0);
    }
}

TEST(ReportDescriptor, BitFieldsWithoutIdsPushPopAndLongItems) {
    // Three 1-bit buttons plus 5 bits of padding, then a pushed 16-bit field whose
    // size must not leak past the Pop, and a long item that is skipped.
    const std::vector<uint8_t> d = {0x05, 0x09, 0xA1, 0x01,             // Usage Page (buttons), Collection
                                    0x75, 0x01, 0x95, 0x03, 0x81, 0x02, // 3 x 1 bit input
                                    0x75, 0x05, 0x95, 0x01, 0x81, 0x01, // 5 bit padding
                                    0xA4, 0x75, 0x10, 0x95, 0x02, 0x91,
                                    0x02, 0xB4,             // Push, 2 x 16 bit output, Pop
                                    0x95, 0x04, 0xB1, 0x02, // 4 x 5 bit feature (Report Size 5 restored)
                                    0xFE, 0x02, 0x10, 0xAA, 0xBB, // long item
                                    0xC0};
    bool ok = false;
    const qddev::ReportCaps caps = Parse(d, &ok);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(caps.uses_ids);
    EXPECT_EQ(caps.input_len, 2);   // 1 byte + byte 0
    EXPECT_EQ(caps.output_len, 5);  // 4 bytes + byte 0
    EXPECT_EQ(caps.feature_len, 4); // 20 bits = 3 bytes + byte 0
}

TEST(ReportDescriptor, MalformedDescriptorsAreRejectedWithoutReadingPastTheEnd) {
    bool ok = true;
    // Report Count announces two data bytes but the descriptor ends after one.
    std::vector<uint8_t> cut = {0x75, 0x08, 0x96, 0x10};
    Parse(cut, &ok);
    EXPECT_FALSE(ok);
    // A long item whose size runs past the end.
    Parse({0xFE, 0x40, 0x00}, &ok);
    EXPECT_FALSE(ok);
    // Report ID 0 is reserved; Pop without Push.
    Parse({0x85, 0x00}, &ok);
    EXPECT_FALSE(ok);
    Parse({0xB4}, &ok);
    EXPECT_FALSE(ok);
    // Absurd sizes are capped at the kernel's report limit instead of overflowing.
    const qddev::ReportCaps big =
        Parse({0x85, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0x7F, 0x97, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x02}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(big.input_len, 4097);
    Parse({}, &ok);
    EXPECT_TRUE(ok);
}

} // namespace
