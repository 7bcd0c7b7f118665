// Life cycle, slots, callbacks and argument checks of the call interface.
#include "devlib_fixture.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using devtest::DevlibTest;
using devtest::I16;
using devtest::Rec;
using fake::Bytes;
using namespace std::chrono_literals;

using Lifecycle = DevlibTest;

TEST_F(Lifecycle, CallsBeforeInitAndAfterTerminateSayNotInitialised) {
    short l, r;
    unsigned char sw;
    EXPECT_EQ(QDRSX_GetControlVals(0, &l, &r, &sw), 12u);
    EXPECT_EQ(QDRSX_GetControlVals(0, nullptr, &r, &sw), 11u); // null is checked first
    EXPECT_EQ(QDDev_Terminate(), 12u);
    QDDevInfo info;
    EXPECT_EQ(QDDev_GetDeviceInfo(QDHW_RSX, 0, &info), 12u);

    Start({NewUnit(QDHW_RSX)});
    EXPECT_EQ(QDRSX_GetControlVals(0, &l, &r, &sw), 0u);
    EXPECT_EQ(QDDev_Terminate(), 0u);
    EXPECT_EQ(QDRSX_GetControlVals(0, &l, &r, &sw), 12u);
    EXPECT_EQ(QDRSX_SetLDisplayText(0, "1"), 12u);
    EXPECT_GE(QDRSX_GetNumDevices(), 1u); // the slots of the last run are still counted
}

TEST_F(Lifecycle, InitFailsWhenTheHidServiceIsMissing) {
    fake::NextSetup().start_ok = false;
    EXPECT_EQ(QDDev_Init(nullptr), 9u);
    unsigned char sw;
    EXPECT_EQ(QDPBX_GetSwitchVals(0, &sw), 12u);
    EXPECT_EQ(QDDev_Terminate(), 12u);
}

TEST_F(Lifecycle, InitAgainRestartsAndKeepsIndicesForTheSameOrder) {
    auto a = NewUnit(QDHW_KNB);
    auto b = NewUnit(QDHW_KNB);
    Start({a, b});
    ASSERT_EQ(QDDev_Init(nullptr), 0u); // terminates the running library first
    EXPECT_TRUE(a->destroyed);
    fake::NextSetup().present = {a, b};
    ASSERT_EQ(QDDev_Init(nullptr), 0u);
    QDDevInfo info;
    ASSERT_EQ(QDDev_GetDeviceInfo(QDHW_KNB, 1, &info), 0u);
    EXPECT_STREQ(info.location, b->info.path);
}

TEST_F(Lifecycle, TerminateTellsEveryUnitToStopBeforeWaitingForAny) {
    auto a = NewUnit(QDHW_RSX), b = NewUnit(QDHW_ANP), c = NewUnit(QDHW_PBX);
    Start({a, b, c});
    EXPECT_EQ(b->replace_rule.output_selector, 1); // the colour report's lamp number
    EXPECT_EQ(a->replace_rule.output_selector + a->replace_rule.feature_selector, 0);
    const int before = a->stop_requests + b->stop_requests + c->stop_requests;
    ASSERT_EQ(QDDev_Terminate(), 0u);
    for (const auto& u : {a, b, c}) {
        EXPECT_EQ(u->stop_requests, 1);
        EXPECT_GE(u->requests_seen_at_stop, before + 3);
    }
}

TEST_F(Lifecycle, CallbackRegistration) {
    ASSERT_EQ(QDDev_Init(nullptr), 0u);
    EXPECT_EQ(QDDev_RegisterInputCallback(&devtest::RecordInput), 1u);
    EXPECT_EQ(QDDev_RegisterInputCallback(nullptr), 0u); // the earlier one stays
    EXPECT_EQ(QDDev_RegisterWakeupCallback(&devtest::RecordWakeup), 1u);
    auto u = NewUnit(QDHW_PBX);
    fake::Plug(u);
    u->Inject({0x00, 0x01});
    EXPECT_EQ(Inputs().size(), 1u);
    fake::Sink()->WakeupTimer();
    EXPECT_EQ(Rec().wakeups.load(), 1);

    EXPECT_EQ(QDDev_UnregisterInputCallback(), 1u);
    EXPECT_EQ(QDDev_UnregisterInputCallback(), 0u);
    EXPECT_EQ(QDDev_UnregisterConnectCallback(), 0u);
    u->Inject({0x00, 0x01});
    EXPECT_EQ(Inputs().size(), 1u);
    // Terminate clears every registration.
    QDDev_Terminate();
    EXPECT_EQ(QDDev_UnregisterWakeupCallback(), 0u);
}

TEST_F(Lifecycle, ArrivalIsReportedOnStandardOutput) {
    Start();
    auto u = NewUnit(QDHW_RSX);
    u->info.version = 0x0203;
    u->info.location = 0x1a2b;
    u->info.output_report_len = 7;
    testing::internal::CaptureStdout();
    fake::Plug(u);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Addition:\n"
                   "Vendor: 'Quandel' (0x00003A5C)\n"
                   "Product: 'QDRSX' (0x00000105)\n"
                   "Location: 1a2b.\n"
                   "Version No: 203.\n"
                   "OutputReportSize: 7\n");
}

// ---- Slots and indices ---------------------------------------------------------------------------

using Slots = DevlibTest;

TEST_F(Slots, ReplugTakesTheLowestFreeSlotAndConnectCallbacksFollow) {
    auto a = NewUnit(QDHW_PBX);
    auto b = NewUnit(QDHW_PBX);
    const uint16_t before = QDPBX_GetNumDevices();
    Start();
    fake::Plug(a);
    fake::Plug(b);
    EXPECT_EQ(QDPBX_GetNumDevices(), std::max<uint16_t>(before, 2));
    auto connects = Connects();
    ASSERT_EQ(connects.size(), 2u);
    EXPECT_EQ(connects[0].index, 0);
    EXPECT_EQ(connects[1].index, 1);
    EXPECT_EQ(connects[1].token, QDEVT_Attached);

    fake::Unplug(a);
    EXPECT_TRUE(a->destroyed);
    connects = Connects();
    ASSERT_EQ(connects.size(), 3u);
    EXPECT_EQ(connects[2].type, QDHW_PBX);
    EXPECT_EQ(connects[2].index, 0);
    EXPECT_EQ(connects[2].token, QDEVT_Removed);
    EXPECT_EQ(QDPBX_GetNumDevices(), std::max<uint16_t>(before, 2)); // the slot stays
    unsigned char sw;
    EXPECT_EQ(QDPBX_GetSwitchVals(0, &sw), 1u);
    EXPECT_EQ(QDPBX_GetSwitchVals(1, &sw), 0u);
    EXPECT_EQ(QDPBX_GetSwitchVals(40, &sw), 1u);

    fake::Plug(a);
    connects = Connects();
    ASSERT_EQ(connects.size(), 4u);
    EXPECT_EQ(connects[3].index, 0);
    EXPECT_EQ(connects[3].token, QDEVT_Attached);
    a->Inject({0x00, 0x01});
    ASSERT_EQ(Inputs().size(), 1u);
    EXPECT_EQ(Inputs()[0].index, 0);

    fake::Unplug(NewUnit(QDHW_PBX)); // an unknown location is ignored
    EXPECT_EQ(Connects().size(), 4u);
}

TEST_F(Slots, ModelCapacityIsEnforced) {
    Start();
    std::vector<std::shared_ptr<fake::Unit>> units;
    for (int i = 0; i < 5; ++i) {
        units.push_back(NewUnit(QDHW_APX));
        fake::Plug(units.back());
    }
    EXPECT_EQ(QDAPX_GetNumDevices(), 4u);
    EXPECT_EQ(Connects().size(), 4u);
    EXPECT_TRUE(units[4]->destroyed); // its connection was let go
    EXPECT_FALSE(units[3]->destroyed);

    const std::pair<tagQDDevHWType, uint16_t> caps[] = {
        {QDHW_AVX, 16}, {QDHW_AVY, 16}, {QDHW_PBX, 32}, {QDHW_TGX, 32}, {QDHW_KNB, 32},
        {QDHW_GTP, 16}, {QDHW_GTP2, 8}, {QDHW_RSX, 16}, {QDHW_APC, 4},  {QDHW_THQ, 4},
        {QDHW_NDC, 4},  {QDHW_ECP, 8},  {QDHW_SSM, 8},  {QDHW_ANP, 32}, {QDHW_IOB, 4},
    };
    uint16_t (*count[QDDEV_TYPE_LIMIT])() = {};
    count[QDHW_AVX] = QDAVX_GetNumDevices;
    count[QDHW_AVY] = QDAVY_GetNumDevices;
    count[QDHW_PBX] = QDPBX_GetNumDevices;
    count[QDHW_TGX] = QDTGX_GetNumDevices;
    count[QDHW_KNB] = QDKNB_GetNumDevices;
    count[QDHW_GTP] = QDGTP_GetNumDevices;
    count[QDHW_GTP2] = QDGTP2_GetNumDevices;
    count[QDHW_RSX] = QDRSX_GetNumDevices;
    count[QDHW_APC] = QDAPC_GetNumDevices;
    count[QDHW_THQ] = QDTHQ_GetNumDevices;
    count[QDHW_NDC] = QDNDC_GetNumDevices;
    count[QDHW_ECP] = QDECP_GetNumDevices;
    count[QDHW_SSM] = QDSSM_GetNumDevices;
    count[QDHW_ANP] = QDANP_GetNumDevices;
    count[QDHW_IOB] = QDIOB_GetNumDevices;
    for (auto [type, cap] : caps) {
        for (int i = 0; i <= cap; ++i)
            fake::Plug(NewUnit(type));
        EXPECT_EQ(count[type](), cap) << QDHWType2Text(type);
    }
}

TEST_F(Slots, UnsupportedAndForeignUnitsAreIgnored) {
    Start();
    std::vector<std::shared_ptr<fake::Unit>> units = {NewUnit(QDHW_TXP),
                                                      NewUnit(QDHW_CDU),
                                                      NewUnit(QDHW_PWR),
                                                      NewUnit(QDHW_None),
                                                      NewUnit(static_cast<tagQDDevHWType>(20)),
                                                      NewUnit(QDHW_RSX)};
    units.back()->info.vendor_id = 0x1234;
    for (auto& u : units)
        fake::Plug(u);
    EXPECT_TRUE(Connects().empty());
    for (auto& u : units)
        EXPECT_TRUE(u->destroyed);
}

TEST_F(Slots, OnlyTheLowSixteenBitsOfTheIndexCount) {
    Start();
    fake::Plug(NewUnit(QDHW_TGX));
    unsigned char sw;
    EXPECT_EQ(QDTGX_GetSwitchVals(0x10000, &sw), 0u);
    EXPECT_EQ(QDTGX_GetSwitchVals(-1, &sw), 1u);
}

// ---- Device information --------------------------------------------------------------------------

using DeviceInfo = DevlibTest;

TEST_F(DeviceInfo, PlainRecord) {
    Start();
    QDDevInfo info;
    std::memset(&info, 0x55, sizeof(info));
    EXPECT_EQ(QDDev_GetDeviceInfo(static_cast<tagQDDevHWType>(25), 0, &info), 0u);
    EXPECT_STREQ(info.location, "0");
    EXPECT_EQ(info.version, 0);
    std::memset(&info, 0x55, sizeof(info));
    EXPECT_EQ(QDDev_GetDeviceInfo(QDHW_CDU, 0, &info), 0u);
    EXPECT_STREQ(info.location, "0");
    EXPECT_EQ(QDDev_GetDeviceInfo(QDHW_AVX, 0, &info), 1u);
    EXPECT_EQ(QDDev_GetDeviceInfo(QDHW_AVX, 0, nullptr), 11u);

    auto u = NewUnit(QDHW_AVX);
    u->info.version = 0x0415;
    fake::Plug(u);
    EXPECT_EQ(QDDev_GetDeviceInfo(QDHW_AVX, 0, &info), 0u);
    EXPECT_STREQ(info.location, u->info.path);
    EXPECT_EQ(info.version, 0x0415);

    auto nopath = NewUnit(QDHW_AVX);
    nopath->info.path[0] = '\0';
    nopath->info.location = 0x2fa0;
    fake::Plug(nopath);
    EXPECT_EQ(QDDev_GetDeviceInfo(QDHW_AVX, 1, &info), 0u);
    EXPECT_STREQ(info.location, "2fa0");
}

TEST_F(DeviceInfo, ExtendedRecord) {
    Start();
    auto u = NewUnit(QDHW_IOB);
    u->info.output_report_len = 10;
    fake::Plug(u);
    QDDevInfoEx ex;
    std::memset(&ex, 0x55, sizeof(ex));
    ex.size = 330;
    EXPECT_EQ(QDDev_GetDeviceInfoEx(QDHW_IOB, 0, &ex), 0u);
    EXPECT_EQ(static_cast<uint8_t>(ex.path[0]), 0x55); // nothing written
    EXPECT_EQ(QDDev_GetDeviceInfoEx(QDHW_IOB, 0, nullptr), 11u);
    ex.size = QDDEV_INFO_EX_SIZE;
    EXPECT_EQ(QDDev_GetDeviceInfoEx(QDHW_IOB, 0, &ex), 0u);
    EXPECT_STREQ(ex.path, u->info.path);
    EXPECT_STREQ(ex.serial, u->info.serial);
    EXPECT_EQ(static_cast<uint16_t>(ex.version), u->info.version); // packed: copy, never bind
    EXPECT_EQ(static_cast<int>(ex.output_report_len), 10);
    EXPECT_EQ(static_cast<int>(ex.size), QDDEV_INFO_EX_SIZE);
    EXPECT_EQ(QDDev_GetDeviceInfoEx(QDHW_IOB, 1, &ex), 1u);
}

// ---- Argument checks -----------------------------------------------------------------------------

using Arguments = DevlibTest;

TEST_F(Arguments, NullPointersAndMissingUnits) {
    Start();
    short s;
    unsigned char c;
    unsigned int i;
    unsigned short w;
    EXPECT_EQ(QDRSX_SetLDisplayText(0, nullptr), 11u);
    EXPECT_EQ(QDRSX_SetLDisplayText(0, "1"), 1u);
    EXPECT_EQ(QDAVX_SetAlpha(0, nullptr), 11u);
    EXPECT_EQ(QDAVY_SetNumericSegments(0, nullptr), 11u);
    EXPECT_EQ(QDAPC_SetDDisplaySegments(0, nullptr), 11u);
    EXPECT_EQ(QDAPX_GetIndicators(0, nullptr), 11u);
    EXPECT_EQ(QDKNB_GetControlVals(0, &s, &s, nullptr, &s, &c), 11u);
    EXPECT_EQ(QDNDC_GetControlVals(0, &s, &s, &w, nullptr), 11u);
    EXPECT_EQ(QDECP_GetControlVals(0, &c, &c, &c, &c, nullptr), 11u);
    EXPECT_EQ(QDTHQ_GetControlVals(0, &c, &c, &c, nullptr, &c, &c, &c), 11u);
    EXPECT_EQ(QDANP_GetBrightness(0, nullptr), 11u);
    EXPECT_EQ(QDPBX_GetBrightness(0, nullptr), 11u);
    EXPECT_EQ(QDIOB_GetSwitchVals(0, nullptr), 11u);
    EXPECT_EQ(QDTHQ_GetControlVals(0, &c, &c, &c, &c, &c, &c, &c), 1u);
    EXPECT_EQ(QDGTP2_GetBrightness(3, &i), 1u);
    EXPECT_EQ(QDAVX_GetDialVals(0, &s, &s), 1u);
    EXPECT_EQ(QDANP_SetIndColorValue(0, 7, 1), 1u); // no unit comes before the lamp check

    // GetDialVals has no null check but must not write through a null pointer.
    auto avx = NewUnit(QDHW_AVX);
    fake::Plug(avx);
    avx->Inject({0x00, 0x03, 0x04});
    QDDev_UnregisterInputCallback();
    avx->Inject({0x00, 0x03, 0x04});
    short e2 = 0;
    EXPECT_EQ(QDAVX_GetDialVals(0, nullptr, &e2), 0u);
    EXPECT_EQ(e2, 4);
}

// ---- Encoder counts ------------------------------------------------------------------------------

using Encoders = DevlibTest;

TEST_F(Encoders, PollingReadsTheSumAndResetsIt) {
    Start();
    QDDev_UnregisterInputCallback();
    auto u = NewUnit(QDHW_RSX);
    fake::Plug(u);
    for (int i = 0; i < 3; ++i)
        u->Inject({0x00, 0x01, 0xff, 0x00});
    short l = 0, r = 0;
    unsigned char sw;
    EXPECT_EQ(QDRSX_GetControlVals(0, &l, &r, &sw), 0u);
    EXPECT_EQ(l, 3);
    EXPECT_EQ(r, -3);
    EXPECT_EQ(QDRSX_GetControlVals(0, &l, &r, &sw), 0u);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 0);
}

TEST_F(Encoders, CallbackAnswerDecidesTheReset) {
    Start();
    auto u = NewUnit(QDHW_KNB);
    fake::Plug(u);
    Rec().answer = false;
    u->Inject({0x00, 1, 0, 0, 0, 0});
    u->Inject({0x00, 1, 0, 0, 0, 0});
    auto in = Inputs();
    ASSERT_EQ(in.size(), 2u);
    EXPECT_EQ(I16(in[0].record, 0), 1);
    EXPECT_EQ(I16(in[1].record, 0), 2);
    short e[4];
    unsigned char sw;
    QDKNB_GetControlVals(0, &e[0], &e[1], &e[2], &e[3], &sw);
    EXPECT_EQ(e[0], 2);

    Rec().answer = true;
    u->Inject({0x00, 5, 0, 0, 0, 0});
    u->Inject({0x00, 5, 0, 0, 0, 0});
    in = Inputs();
    EXPECT_EQ(I16(in[3].record, 0), 5);
    QDKNB_GetControlVals(0, &e[0], &e[1], &e[2], &e[3], &sw);
    EXPECT_EQ(e[0], 0);
}

TEST_F(Encoders, SixteenBitWrapAround) {
    Start();
    QDDev_UnregisterInputCallback();
    auto u = NewUnit(QDHW_GTP);
    fake::Plug(u);
    for (int i = 0; i < 258; ++i)
        u->Inject({0x00, 0x7f, 0x00}); // 32766
    u->Inject({0x00, 0x02, 0x00});
    short trim = 0;
    unsigned char sw;
    QDGTP_GetControlVals(0, &trim, &sw);
    EXPECT_EQ(trim, -32768);
}

// ---- Threads -------------------------------------------------------------------------------------

using Threads = DevlibTest;

TEST_F(Threads, CallbackMayCallTheInterface) {
    Start();
    auto u = NewUnit(QDHW_RSX);
    fake::Plug(u);
    u->TakeSent();
    Rec().hook = [](const devtest::InputEvent& ev) {
        short l, r;
        unsigned char sw;
        QDRSX_GetControlVals(ev.index, &l, &r, &sw);
        QDRSX_SetLDisplayText(ev.index, "1");
        QDDev_RegisterInputCallback(&devtest::RecordInput);
    };
    EXPECT_TRUE(u->Inject({0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(u->TakeSent().size(), 1u);
}

TEST_F(Threads, TerminateWaitsForARunningCallback) {
    Start();
    auto u = NewUnit(QDHW_RSX);
    fake::Plug(u);
    std::atomic<bool> entered{false}, finished{false};
    Rec().hook = [&](const devtest::InputEvent&) {
        entered = true;
        std::this_thread::sleep_for(200ms);
        finished = true;
    };
    std::thread reader([&] { u->Inject({0x00, 0x01, 0x00, 0x00}); }); // returns true: resets afterwards
    while (!entered)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(QDDev_Terminate(), 0u);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(u->destroyed);
    reader.join();
}

TEST_F(Threads, InputWaitsAtMostASecondForTheCallbackLock) {
    Start();
    auto slow = NewUnit(QDHW_RSX);
    auto other = NewUnit(QDHW_RSX);
    fake::Plug(slow);
    fake::Plug(other);
    std::atomic<bool> entered{false};
    Rec().hook = [&](const devtest::InputEvent& ev) {
        if (ev.index != 0) return;
        entered = true;
        std::this_thread::sleep_for(1500ms);
    };
    std::thread reader([&] { slow->Inject({0x00, 0x00, 0x00, 0x00}); });
    while (!entered)
        std::this_thread::sleep_for(1ms);
    const auto t0 = std::chrono::steady_clock::now();
    other->Inject({0x00, 0x02, 0x00, 0x00});
    const auto waited = std::chrono::steady_clock::now() - t0;
    reader.join();
    EXPECT_GE(waited, 900ms);
    EXPECT_LT(waited, 1400ms);
    EXPECT_EQ(Inputs().size(), 1u); // the second unit's report was dropped...
    short l = 0, r, sw_dummy;
    unsigned char sw;
    (void)sw_dummy;
    QDRSX_GetControlVals(1, &l, &r, &sw);
    EXPECT_EQ(l, 2); // ...but its steps were kept
}

} // namespace
