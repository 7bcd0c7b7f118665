// Report bytes of every model, through the call interface and the fake transport.
#include "devlib_fixture.h"

namespace {

using devtest::DevlibTest;
using devtest::I16;
using fake::Bytes;

class Reports : public DevlibTest {
  protected:
    // The reports a call queued, each prefixed with F (feature) or O (output) for readability.
    static std::vector<Bytes> Sent(const std::shared_ptr<fake::Unit>& unit, bool* all_feature = nullptr) {
        std::vector<Bytes> out;
        bool feature = true;
        for (auto& s : unit->TakeSent()) {
            feature = feature && s.feature;
            out.push_back(s.bytes);
        }
        if (all_feature != nullptr) *all_feature = feature;
        return out;
    }
    static Bytes One(const std::shared_ptr<fake::Unit>& unit, bool feature = true) {
        auto sent = unit->TakeSent();
        EXPECT_EQ(sent.size(), 1u);
        if (sent.size() != 1) return {};
        EXPECT_EQ(sent[0].feature, feature);
        return sent[0].bytes;
    }
};

TEST_F(Reports, AvxDisplaysAndClampedBrightness) {
    auto u = StartWith(QDHW_AVX);
    EXPECT_EQ(QDAVX_SetNumeric(0, "123"), 0u);
    EXPECT_EQ(One(u), (Bytes{0x05, 0x00, 0x00, 0x4f, 0x5b, 0x06}));
    EXPECT_EQ(QDAVX_SetAlpha(0, "X"), 0u);
    EXPECT_EQ(One(u), (Bytes{0x03, 0x15, 0x40, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(QDAVX_SetAlpha(0, "a.b"), 0u);
    EXPECT_EQ(One(u), (Bytes{0x03, 0x62, 0x37, 0x0a, 0x8f, 0, 0, 0, 0}));
    const unsigned char alpha[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(QDAVX_SetAlphaSegments(0, alpha), 0u);
    EXPECT_EQ(One(u), (Bytes{0x03, 1, 2, 3, 4, 5, 6, 7, 8}));
    const unsigned char num[5] = {0xff, 0x80, 0, 1, 2};
    EXPECT_EQ(QDAVX_SetNumericSegments(0, num), 0u);
    EXPECT_EQ(One(u), (Bytes{0x05, 0xff, 0x80, 0, 1, 2}));
    QDAVX_SetBrightness(0, 20);
    EXPECT_EQ(One(u), (Bytes{0x06, 0x0f}));
    QDAVX_SetBrightness(0, -3);
    EXPECT_EQ(One(u), (Bytes{0x06, 0x00}));
    QDAVX_SetBrightness(0, 7);
    EXPECT_EQ(One(u), (Bytes{0x06, 0x07}));
}

TEST_F(Reports, AvySixDigitNumericAndBrightnessRead) {
    auto u = StartWith(QDHW_AVY);
    QDAVY_SetNumeric(0, "12345");
    EXPECT_EQ(One(u), (Bytes{0x05, 0x00, 0x6d, 0x66, 0x4f, 0x5b, 0x06}));
    QDAVY_SetNumeric(0, "      ");
    EXPECT_EQ(One(u), (Bytes{0x05, 0, 0, 0, 0, 0, 0}));
    const unsigned char num[6] = {1, 2, 3, 4, 5, 6};
    QDAVY_SetNumericSegments(0, num);
    EXPECT_EQ(One(u), (Bytes{0x05, 1, 2, 3, 4, 5, 6}));
    QDAVY_SetBrightness(0, 16);
    EXPECT_EQ(One(u), (Bytes{0x06, 0x0f}));

    unsigned int level = 99;
    EXPECT_EQ(QDAVY_GetBrightness(0, &level), 5u); // the unit did not answer
    EXPECT_EQ(level, 99u);
    u->feature_answers[6] = {0x06, 0x09};
    EXPECT_EQ(QDAVY_GetBrightness(0, &level), 0u);
    EXPECT_EQ(level, 9u);
}

TEST_F(Reports, RsxDisplaysLampsBrightnessEncoderType) {
    auto u = StartWith(QDHW_RSX);
    QDRSX_SetLDisplayText(0, "123.45");
    EXPECT_EQ(One(u), (Bytes{0x03, 0x06, 0x5b, 0xcf, 0x66, 0x6d, 0x00}));
    QDRSX_SetRDisplayText(0, "1");
    EXPECT_EQ(One(u), (Bytes{0x05, 0x06, 0, 0, 0, 0, 0}));
    const unsigned char seg[6] = {0xff, 1, 2, 3, 4, 0x80};
    QDRSX_SetLDisplaySegments(0, seg);
    EXPECT_EQ(One(u), (Bytes{0x03, 0xff, 1, 2, 3, 4, 0x80}));
    QDRSX_SetRDisplaySegments(0, seg);
    EXPECT_EQ(One(u), (Bytes{0x05, 0xff, 1, 2, 3, 4, 0x80}));
    QDRSX_SetIndicators(0, 0x05);
    EXPECT_EQ(One(u), (Bytes{0x07, 0x05}));
    QDRSX_SetBrightness(0, 0x1c); // masked to its low four bits
    EXPECT_EQ(One(u), (Bytes{0x06, 0x0c}));
    QDRSX_SetEncoderType(0, 1, 2);
    EXPECT_EQ(One(u), (Bytes{0x09, 0x09}));

    u->feature_answers[7] = {0x07, 0x03};
    u->feature_answers[6] = {0x06, 0x0a};
    unsigned char lamps = 0;
    unsigned int level = 0;
    EXPECT_EQ(QDRSX_GetIndicators(0, &lamps), 0u);
    EXPECT_EQ(QDRSX_GetBrightness(0, &level), 0u);
    EXPECT_EQ(lamps, 3);
    EXPECT_EQ(level, 10u);
}

TEST_F(Reports, SwitchAndKnobPanelsLampAndBrightnessReports) {
    struct Model {
        tagQDDevHWType type;
        uint32_t (*set_lamps)(int, unsigned char);
        uint32_t (*set_level)(int, unsigned char);
        uint32_t (*get_lamps)(int, unsigned char*);
        uint32_t (*get_level)(int, unsigned int*);
        uint8_t lamp_or; // bits the unit always gets
    };
    const Model models[] = {
        {QDHW_PBX, QDPBX_SetIndicators, QDPBX_SetBrightness, QDPBX_GetIndicators, QDPBX_GetBrightness, 0},
        {QDHW_TGX, QDTGX_SetIndicators, QDTGX_SetBrightness, QDTGX_GetIndicators, QDTGX_GetBrightness, 0},
        {QDHW_KNB, QDKNB_SetIndicators, QDKNB_SetBrightness, QDKNB_GetIndicators, QDKNB_GetBrightness, 0},
        {QDHW_GTP, QDGTP_SetIndicators, QDGTP_SetBrightness, QDGTP_GetIndicators, QDGTP_GetBrightness, 3},
        {QDHW_GTP2, QDGTP2_SetIndicators, QDGTP2_SetBrightness, QDGTP2_GetIndicators, QDGTP2_GetBrightness,
         0},
    };
    for (const Model& m : models) {
        SCOPED_TRACE(QDHWType2Text(m.type));
        auto u = StartWith(m.type);
        EXPECT_EQ(m.set_lamps(0, 0x00), 0u);
        EXPECT_EQ(One(u), (Bytes{0x02, m.lamp_or}));
        m.set_lamps(0, 0xa4);
        EXPECT_EQ(One(u), (Bytes{0x02, static_cast<uint8_t>(0xa4 | m.lamp_or)}));
        EXPECT_EQ(m.set_level(0, 0x37), 0u);
        EXPECT_EQ(One(u), (Bytes{0x03, 0x07}));
        u->feature_answers[2] = {0x02, 0x81};
        u->feature_answers[3] = {0x03, 0x04};
        unsigned char lamps = 0;
        unsigned int level = 0;
        EXPECT_EQ(m.get_lamps(0, &lamps), 0u);
        EXPECT_EQ(m.get_level(0, &level), 0u);
        EXPECT_EQ(lamps, 0x81);
        EXPECT_EQ(level, 4u);
        QDDev_Terminate();
    }
}

TEST_F(Reports, ApcFiveDisplays) {
    auto u = StartWith(QDHW_APC);
    uint32_t (*text[5])(int, const char*) = {QDAPC_SetADisplayText, QDAPC_SetBDisplayText,
                                             QDAPC_SetCDisplayText, QDAPC_SetDDisplayText,
                                             QDAPC_SetEDisplayText};
    const uint8_t ids[5] = {3, 5, 7, 9, 11};
    for (int i = 0; i < 5; ++i) {
        text[i](0, "1234567");
        Bytes expect = {ids[i], 0x06, 0x5b, 0x4f};
        if (i >= 3) expect.insert(expect.end(), {0x66, 0x6d, 0x7d});
        EXPECT_EQ(One(u), expect) << "display " << i;
    }
    const unsigned char seg[6] = {9, 8, 7, 6, 5, 4};
    QDAPC_SetCDisplaySegments(0, seg);
    EXPECT_EQ(One(u), (Bytes{7, 9, 8, 7}));
    QDAPC_SetEDisplaySegments(0, seg);
    EXPECT_EQ(One(u), (Bytes{11, 9, 8, 7, 6, 5, 4}));
    QDAPC_SetIndicators(0, 0x42);
    EXPECT_EQ(One(u), (Bytes{13, 0x42}));
    QDAPC_SetBrightness(0, 15);
    EXPECT_EQ(One(u), (Bytes{12, 15}));
}

TEST_F(Reports, ApxSixDisplaysAndBigEndianLampWord) {
    auto u = StartWith(QDHW_APX);
    uint32_t (*text[6])(int, const char*) = {QDAPX_SetADisplayText, QDAPX_SetBDisplayText,
                                             QDAPX_SetCDisplayText, QDAPX_SetDDisplayText,
                                             QDAPX_SetEDisplayText, QDAPX_SetFDisplayText};
    const uint8_t ids[6] = {3, 5, 7, 9, 11, 13};
    const size_t positions[6] = {3, 5, 5, 5, 5, 3};
    for (int i = 0; i < 6; ++i) {
        text[i](0, "88888888");
        Bytes expect = {ids[i]};
        expect.insert(expect.end(), positions[i], 0x7f);
        EXPECT_EQ(One(u), expect) << "display " << i;
    }
    const unsigned char seg[5] = {1, 2, 3, 4, 5};
    QDAPX_SetFDisplaySegments(0, seg);
    EXPECT_EQ(One(u), (Bytes{13, 1, 2, 3}));
    QDAPX_SetBDisplaySegments(0, seg);
    EXPECT_EQ(One(u), (Bytes{5, 1, 2, 3, 4, 5}));

    QDAPX_SetIndicators(0, 0x01020304);
    EXPECT_EQ(One(u), (Bytes{0x0f, 0x01, 0x02, 0x03, 0x04}));
    u->feature_answers[15] = {0x0f, 0xa0, 0xb0, 0xc0, 0xd0};
    unsigned int lamps = 0;
    EXPECT_EQ(QDAPX_GetIndicators(0, &lamps), 0u);
    EXPECT_EQ(lamps, 0xa0b0c0d0u);
    u->feature_answers[15] = {0x0f, 0xa0}; // a short answer is a failed read
    EXPECT_EQ(QDAPX_GetIndicators(0, &lamps), 5u);
    EXPECT_EQ(lamps, 0xa0b0c0d0u);
    QDAPX_SetBrightness(0, 3);
    EXPECT_EQ(One(u), (Bytes{14, 3}));
}

TEST_F(Reports, AnpLampsFollowColourAndBrightness) {
    auto u = NewUnit(QDHW_ANP);
    Start();
    fake::Plug(u);
    // Opening turns every lamp off.
    auto opened = u->TakeSent();
    ASSERT_EQ(opened.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(opened[i].feature);
        EXPECT_EQ(opened[i].bytes, (Bytes{0x02, static_cast<uint8_t>(i + 1), 0, 0, 0}));
    }
    unsigned int level = 0;
    EXPECT_EQ(QDANP_GetBrightness(0, &level), 0u);
    EXPECT_EQ(level, 15u);

    EXPECT_EQ(QDANP_SetIndColorValue(0, 6, 6), 0u);
    EXPECT_EQ(One(u, false), (Bytes{0x02, 0x06, 0x64, 0x64, 0x01}));
    EXPECT_EQ(QDANP_SetIndColorValue(0, 7, 1), 11u);
    EXPECT_EQ(QDANP_SetIndColorValue(0, 0, 1), 11u);
    EXPECT_EQ(QDANP_SetIndColorValue(0, 1, 9), 0u);
    EXPECT_TRUE(u->TakeSent().empty());
    unsigned char colour = 0;
    EXPECT_EQ(QDANP_GetIndColorValue(0, 6, &colour), 0u);
    EXPECT_EQ(colour, 6);
    EXPECT_EQ(QDANP_GetIndColorValue(0, 1, &colour), 0u);
    EXPECT_EQ(colour, 0); // the ignored colour 9 was not stored

    // Brightness re-sends every lamp at the new level.
    EXPECT_EQ(QDANP_SetBrightness(0, 0x10), 0u); // masked to 0
    auto resent = u->TakeSent();
    ASSERT_EQ(resent.size(), 6u);
    EXPECT_EQ(resent[5].bytes, (Bytes{0x02, 0x06, 0x00, 0x00, 0x01}));
    QDANP_SetBrightness(0, 8);
    resent = u->TakeSent();
    ASSERT_EQ(resent.size(), 6u);
    EXPECT_EQ(resent[5].bytes, (Bytes{0x02, 0x06, 53, 53, 0x01}));
    EXPECT_EQ(resent[0].bytes, (Bytes{0x02, 0x01, 0, 0, 0}));
}

TEST_F(Reports, IobOutputsFillTheUnitsOutputReport) {
    auto u = NewUnit(QDHW_IOB);
    u->info.output_report_len = 10;
    Start();
    fake::Plug(u);
    EXPECT_EQ(One(u, false), (Bytes{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0})); // outputs start off
    EXPECT_EQ(QDIOB_SetIndicators(0, 1, 2, 3, 4), 0u);
    EXPECT_EQ(One(u, false), (Bytes{0x02, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}));
    // Accepted and ignored.
    unsigned int level = 77;
    unsigned char colour = 66;
    EXPECT_EQ(QDIOB_SetBrightness(0, 5), 0u);
    EXPECT_EQ(QDIOB_GetBrightness(0, &level), 0u);
    EXPECT_EQ(QDIOB_GetIndColorValue(0, 1, &colour), 0u);
    EXPECT_TRUE(u->TakeSent().empty());
}

TEST_F(Reports, TransportRefusalsBecomeResultCodes) {
    auto u = StartWith(QDHW_RSX);
    u->queue_result = 7; // anything but "gone"
    EXPECT_EQ(QDRSX_SetIndicators(0, 1), 4u);
    EXPECT_EQ(QDRSX_SetLDisplayText(0, "1"), 4u);
    u->queue_result = 3;
    EXPECT_EQ(QDRSX_SetIndicators(0, 1), 3u);
    EXPECT_EQ(QDRSX_SetBrightness(0, 1), 0u); // brightness of a vanished unit is ignored
    EXPECT_EQ(u->queue_limit, 25u);
}

TEST_F(Reports, QueueLimitByModel) {
    const std::pair<tagQDDevHWType, size_t> limits[] = {
        {QDHW_AVX, 25},  {QDHW_AVY, 25},  {QDHW_RSX, 25},  {QDHW_PBX, 25}, {QDHW_TGX, 25},
        {QDHW_KNB, 25},  {QDHW_GTP, 25},  {QDHW_APC, 25},  {QDHW_APX, 25}, {QDHW_GTP2, 100},
        {QDHW_ANP, 100}, {QDHW_SSM, 100}, {QDHW_IOB, 100},
    };
    Start();
    for (auto [type, limit] : limits) {
        auto u = NewUnit(type);
        fake::Plug(u);
        EXPECT_EQ(u->queue_limit, limit) << QDHWType2Text(type);
    }
}

// ---- Input decoding ------------------------------------------------------------------------------

class Decoding : public DevlibTest {
  protected:
    // Injects one input report and returns the record the callback saw (empty if none).
    Bytes Feed(const std::shared_ptr<fake::Unit>& u, const Bytes& report) {
        const size_t before = Inputs().size();
        EXPECT_TRUE(u->Inject(report));
        auto inputs = Inputs();
        if (inputs.size() == before) return {};
        return inputs.back().record;
    }
};

TEST_F(Decoding, DisplayUnitsEncodersAndSwitches) {
    auto avx = StartWith(QDHW_AVX);
    auto rec = Feed(avx, {0x01, 0x02, 0xff});
    EXPECT_EQ(I16(rec, 0), 2);
    EXPECT_EQ(I16(rec, 2), -1);

    auto avy = NewUnit(QDHW_AVY);
    fake::Plug(avy);
    rec = Feed(avy, {0x00, 0x80, 0x7f, 0x01});
    EXPECT_EQ(I16(rec, 0), -128);
    EXPECT_EQ(I16(rec, 2), 127);
    EXPECT_EQ(rec[4], 1);

    auto rsx = NewUnit(QDHW_RSX);
    fake::Plug(rsx);
    rec = Feed(rsx, {0x00, 0x03, 0xfd, 0x05});
    EXPECT_EQ(rec, (Bytes{0x03, 0x00, 0xfd, 0xff, 0x05}));

    auto apc = NewUnit(QDHW_APC);
    fake::Plug(apc);
    rec = Feed(apc, {0x00, 1, 2, 3, 4, 0xfb, 0x11, 0x22});
    EXPECT_EQ(rec, (Bytes{1, 0, 2, 0, 3, 0, 4, 0, 0xfb, 0xff, 0x11, 0x22}));

    auto anp = NewUnit(QDHW_ANP);
    fake::Plug(anp);
    EXPECT_EQ(Feed(anp, {0x00, 0x2a}), (Bytes{0x2a}));
}

TEST_F(Decoding, ApxNibblesAndBigEndianSwitchWord) {
    auto apx = StartWith(QDHW_APX);
    auto rec = Feed(apx, {0x00, 0x1f, 0x82, 0x79, 0x12, 0x34, 0x56, 0x78});
    ASSERT_EQ(rec.size(), 16u);
    EXPECT_EQ(I16(rec, 0), 1);   // byte 1 high
    EXPECT_EQ(I16(rec, 2), -8);  // byte 2 high
    EXPECT_EQ(I16(rec, 4), -1);  // byte 1 low
    EXPECT_EQ(I16(rec, 6), 7);   // byte 3 high
    EXPECT_EQ(I16(rec, 8), 2);   // byte 2 low
    EXPECT_EQ(I16(rec, 10), -7); // byte 3 low
    EXPECT_EQ((Bytes{rec.begin() + 12, rec.end()}), (Bytes{0x78, 0x56, 0x34, 0x12}));
}

TEST_F(Decoding, ControlPanels) {
    auto pbx = StartWith(QDHW_PBX);
    EXPECT_EQ(Feed(pbx, {0x00, 0x81}), (Bytes{0x81}));

    auto knb = NewUnit(QDHW_KNB);
    fake::Plug(knb);
    EXPECT_EQ(Feed(knb, {0x00, 1, 0xff, 2, 0xfe, 0x40}), (Bytes{1, 0, 0xff, 0xff, 2, 0, 0xfe, 0xff, 0x40}));

    auto gtp = NewUnit(QDHW_GTP);
    fake::Plug(gtp);
    EXPECT_EQ(Feed(gtp, {0x00, 0xfa, 0x05}), (Bytes{0xfa, 0xff, 0x05}));

    auto gtp2 = NewUnit(QDHW_GTP2);
    fake::Plug(gtp2);
    EXPECT_EQ(Feed(gtp2, {0x00, 1, 2, 3, 0x3f}), (Bytes{1, 0, 2, 0, 3, 0, 0x3f}));

    auto iob = NewUnit(QDHW_IOB);
    fake::Plug(iob);
    EXPECT_EQ(Feed(iob, {0x00, 1, 2, 3, 4, 5, 6, 7}), (Bytes{1, 2, 3, 4, 5, 6, 7}));
    unsigned char first = 0;
    EXPECT_EQ(QDIOB_GetSwitchVals(0, &first), 0u);
    EXPECT_EQ(first, 1);
}

TEST_F(Decoding, ThrottleSwitchBitsAreReversed) {
    auto thq = StartWith(QDHW_THQ);
    EXPECT_EQ(Feed(thq, {0x00, 0, 50, 100, 150, 200, 255, 0x01}), (Bytes{0, 50, 100, 150, 200, 255, 0x10}));
    EXPECT_EQ(Feed(thq, {0x00, 0, 0, 0, 0, 0, 0, 0x08}).back(), 0x02);
    EXPECT_EQ(Feed(thq, {0x00, 0, 0, 0, 0, 0, 0, 0x06}).back(), 0x0c);
    EXPECT_EQ(Feed(thq, {0x00, 0, 0, 0, 0, 0, 0, 0xff}).back(), 0x1e); // only bits 0 to 3 count
}

TEST_F(Decoding, NavigationPanelSwitchWordAndSelectors) {
    auto ndc = StartWith(QDHW_NDC);
    auto rec = Feed(ndc, {0x00, 0xaa, 0xbb, 0x02, 0xff, 0x7f, 0x18, 0x3f});
    EXPECT_EQ(I16(rec, 0), 2);
    EXPECT_EQ(I16(rec, 2), -1);
    EXPECT_EQ(static_cast<uint16_t>(I16(rec, 4)), 0xff7f);
    EXPECT_EQ(rec[6], 0x00);
    rec = Feed(ndc, {0x00, 0, 0, 0, 0, 0xff, 0xe7, 0xff});
    EXPECT_EQ(static_cast<uint16_t>(I16(rec, 4)), 0x3f7f); // byte 5 bit 7 and byte 7 bits 6, 7 unused
    EXPECT_EQ(rec[6], 0x73);
}

TEST_F(Decoding, EnginePanelRotaryAndSwitches) {
    auto ecp = StartWith(QDHW_ECP);
    auto rec = Feed(ecp, {0x00, 0x44, 0x00, 0x00});
    ASSERT_EQ(rec.size(), 6u);
    EXPECT_EQ(rec[0], 1); // bit 6 wins over bit 2
    EXPECT_EQ(rec[1], 0);
    EXPECT_EQ(rec[2], 1); // b3 bit 6 clear
    EXPECT_EQ(rec[3], 0);
    EXPECT_EQ(static_cast<uint16_t>(I16(rec, 4)), 0x00fc); // the inverted bits read 1

    EXPECT_TRUE(Feed(ecp, {0x00, 0x00, 0xff, 0xff}).empty()); // between detents: nothing delivered
    unsigned char pos = 0, a = 9, b = 9, c = 9;
    unsigned short sw = 0;
    EXPECT_EQ(QDECP_GetControlVals(0, &pos, &a, &b, &c, &sw), 0u);
    EXPECT_EQ(pos, 1); // stored values unchanged
    EXPECT_EQ(sw, 0x00fc);

    rec = Feed(ecp, {0x00, 0x04 | 0x02 | 0x01 | 0x80, 0xaa, 0x55});
    EXPECT_EQ(rec[0], 5);
    EXPECT_EQ(rec[1], 1);
    EXPECT_EQ(rec[2], 2);
    EXPECT_EQ(rec[3], 1);
    // b2 = aa: bits 7,5,3,1 set -> word bits 8..11; even bits clear -> bits 2..5 set.
    // b3 = 55: bits 0,2 set -> word bits 1,0; bits 1,3 clear -> bits 7,6 set.
    EXPECT_EQ(static_cast<uint16_t>(I16(rec, 4)), 0x0fff);
    rec = Feed(ecp, {0x00, 0x08, 0x00, 0x40});
    EXPECT_EQ(rec[0], 4);
    EXPECT_EQ(rec[2], 0); // b3 bit 6 set, b1 bit 0 clear
    EXPECT_EQ(rec[1], 0);
}

TEST_F(Decoding, StarterSelectorTables) {
    auto ssm = StartWith(QDHW_SSM);
    EXPECT_EQ(Feed(ssm, {0x00, 0x00}), (Bytes{1, 2, 1}));
    EXPECT_EQ(Feed(ssm, {0x00, 0xff}), (Bytes{4, 0, 4}));
    EXPECT_EQ(Feed(ssm, {0x00, 0x51}), (Bytes{2, 1, 3}));
    EXPECT_EQ(Feed(ssm, {0x00, 0xa2}), (Bytes{3, 3, 2}));
}

TEST_F(Decoding, ShortReportsAreDroppedWholeAndLongOnesDecoded) {
    auto rsx = StartWith(QDHW_RSX);
    Feed(rsx, {0x00, 0x01, 0x00, 0x04});
    EXPECT_TRUE(Feed(rsx, {0x00, 0x05, 0x05}).empty());
    EXPECT_TRUE(Feed(rsx, {0x00}).empty());
    short l = 0, r = 0;
    unsigned char sw = 0;
    QDRSX_GetControlVals(0, &l, &r, &sw);
    EXPECT_EQ(l, 0); // the first report's step was reset by the callback; the short one never counted
    EXPECT_EQ(sw, 0x04);
    EXPECT_EQ(Feed(rsx, {0x00, 0x01, 0x02, 0x03, 0xee, 0xee}), (Bytes{1, 0, 2, 0, 3}));

    auto apx = NewUnit(QDHW_APX);
    fake::Plug(apx);
    EXPECT_TRUE(Feed(apx, {0x00, 0x11, 0x11, 0x11, 0x00, 0x00, 0x01}).empty());
}

TEST_F(Decoding, StateReadWhenOpened) {
    Start();
    auto rsx = NewUnit(QDHW_RSX);
    rsx->feature_answers[8] = {0x08, 0x05, 0x05, 0x06};
    fake::Plug(rsx);
    short l = 9, r = 9;
    unsigned char sw = 0;
    EXPECT_EQ(QDRSX_GetControlVals(0, &l, &r, &sw), 0u);
    EXPECT_EQ(sw, 0x06);
    EXPECT_EQ(l, 0); // encoders are not taken from the state
    EXPECT_EQ(r, 0);

    auto knb = NewUnit(QDHW_KNB);
    knb->feature_answers[4] = {0x04, 0x21};
    fake::Plug(knb);
    short e[4];
    EXPECT_EQ(QDKNB_GetControlVals(0, &e[0], &e[1], &e[2], &e[3], &sw), 0u);
    EXPECT_EQ(sw, 0x21);

    auto gtp = NewUnit(QDHW_GTP);
    gtp->feature_answers[4] = {0x04, 0x07};
    fake::Plug(gtp);
    EXPECT_EQ(QDGTP_GetControlVals(0, &e[0], &sw), 0u);
    EXPECT_EQ(sw, 0x07);

    auto gtp2 = NewUnit(QDHW_GTP2);
    gtp2->info.feature_report_len = 9; // the largest feature report; the state answers with 5
    gtp2->feature_answers[4] = {0x04, 1, 1, 1, 0x2c};
    fake::Plug(gtp2);
    EXPECT_EQ(QDGTP2_GetControlVals(0, &e[0], &e[1], &e[2], &sw), 0u);
    EXPECT_EQ(sw, 0x2c);
    EXPECT_EQ(e[0], 0);

    auto ndc = NewUnit(QDHW_NDC);
    ndc->feature_answers[2] = {0x02, 0, 0, 5, 5, 0x01, 0x02, 0x03};
    fake::Plug(ndc);
    unsigned short word = 0;
    unsigned char sel = 0;
    EXPECT_EQ(QDNDC_GetControlVals(0, &e[0], &e[1], &word, &sel), 0u);
    EXPECT_EQ(word, 0x0301);
    EXPECT_EQ(sel, 0x02);
    EXPECT_EQ(e[0], 0);

    auto ssm = NewUnit(QDHW_SSM);
    ssm->feature_answers[2] = {0x02, 0xff};
    fake::Plug(ssm);
    unsigned char s1 = 0, s2 = 0, s3 = 0;
    EXPECT_EQ(QDSSM_GetControlVals(0, &s1, &s2, &s3), 0u);
    EXPECT_EQ((Bytes{s1, s2, s3}), (Bytes{4, 0, 4}));

    auto ecp = NewUnit(QDHW_ECP);
    ecp->feature_answers[2] = {0x02, 0x10, 0x00, 0x00};
    fake::Plug(ecp);
    unsigned char pos = 0, a, b, c;
    EXPECT_EQ(QDECP_GetControlVals(0, &pos, &a, &b, &c, &word), 0u);
    EXPECT_EQ(pos, 3);

    auto iob = NewUnit(QDHW_IOB);
    iob->feature_answers[4] = {0x04, 0x5a, 0, 0, 0, 0, 0, 0};
    fake::Plug(iob);
    EXPECT_EQ(QDIOB_GetSwitchVals(0, &sel), 0u);
    EXPECT_EQ(sel, 0x5a);

    // No answer: fields stay zero.
    auto pbx = NewUnit(QDHW_PBX);
    fake::Plug(pbx);
    sel = 0xee;
    EXPECT_EQ(QDPBX_GetSwitchVals(0, &sel), 0u);
    EXPECT_EQ(sel, 0);
}

} // namespace
