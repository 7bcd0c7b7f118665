#include "devlib_fixture.h"

namespace devtest {

size_t RecordSize(tagQDDevHWType type) {
    switch (type) {
    case QDHW_AVX:
        return sizeof(QDAVXControlVals);
    case QDHW_AVY:
        return sizeof(QDAVYControlVals);
    case QDHW_RSX:
        return sizeof(QDRSXControlVals);
    case QDHW_PBX:
    case QDHW_TGX:
        return sizeof(QDPBXControlVals);
    case QDHW_KNB:
        return sizeof(QDKNBControlVals);
    case QDHW_GTP:
        return sizeof(QDGTPControlVals);
    case QDHW_GTP2:
        return sizeof(QDGTP2ControlVals);
    case QDHW_APC:
        return sizeof(QDAPCControlVals);
    case QDHW_APX:
        return sizeof(QDAPXControlVals);
    case QDHW_THQ:
        return sizeof(QDTHQControlVals);
    case QDHW_NDC:
        return sizeof(QDNDCControlVals);
    case QDHW_ECP:
        return sizeof(QDECPControlVals);
    case QDHW_SSM:
        return sizeof(QDSSMControlVals);
    case QDHW_ANP:
        return sizeof(QDANPControlVals);
    case QDHW_IOB:
        return sizeof(QDIOBControlVals);
    default:
        return 0;
    }
}

Recorder& Rec() {
    static Recorder rec;
    return rec;
}

bool RecordInput(tagQDDevHWType type, uint16_t index, const void* data) {
    const auto* p = static_cast<const uint8_t*>(data);
    InputEvent ev{type, index, fake::Bytes(p, p + RecordSize(type))};
    std::function<void(const InputEvent&)> hook;
    {
        std::lock_guard<std::mutex> lock(Rec().mutex);
        Rec().inputs.push_back(ev);
        hook = Rec().hook;
    }
    if (hook) hook(ev);
    return Rec().answer.load();
}

bool RecordConnect(tagQDDevHWType type, uint16_t index, tagEventToken token) {
    std::lock_guard<std::mutex> lock(Rec().mutex);
    Rec().connects.push_back(ConnectEvent{type, index, token});
    return true;
}

bool RecordWakeup() {
    ++Rec().wakeups;
    return true;
}

void DevlibTest::SetUp() {
    fake::Install();
    QDDev_Terminate();
    std::lock_guard<std::mutex> lock(Rec().mutex);
    Rec().inputs.clear();
    Rec().connects.clear();
    Rec().wakeups = 0;
    Rec().answer = true;
    Rec().hook = nullptr;
}

void DevlibTest::TearDown() {
    QDDev_Terminate();
    std::lock_guard<std::mutex> lock(Rec().mutex);
    Rec().hook = nullptr;
}

void DevlibTest::Start(const std::vector<std::shared_ptr<fake::Unit>>& present) {
    fake::NextSetup().present = present;
    // Callbacks go in after QDDev_Init, as clients do: units present at start make no connect call.
    ASSERT_EQ(QDDev_Init(nullptr), 0u);
    QDDev_RegisterInputCallback(&RecordInput);
    QDDev_RegisterConnectCallback(&RecordConnect);
    QDDev_RegisterWakeupCallback(&RecordWakeup);
}

std::vector<InputEvent> DevlibTest::Inputs() {
    std::lock_guard<std::mutex> lock(Rec().mutex);
    return Rec().inputs;
}

std::vector<ConnectEvent> DevlibTest::Connects() {
    std::lock_guard<std::mutex> lock(Rec().mutex);
    return Rec().connects;
}

std::shared_ptr<fake::Unit> DevlibTest::NewUnit(tagQDDevHWType type) {
    static int32_t next = 0x100;
    return fake::MakeUnit(type, next++);
}

std::shared_ptr<fake::Unit> DevlibTest::StartWith(tagQDDevHWType type) {
    auto unit = NewUnit(type);
    Start();
    fake::Plug(unit);
    unit->TakeSent();
    return unit;
}

} // namespace devtest
