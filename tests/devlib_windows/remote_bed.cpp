#include "remote_bed.h"

#include <gtest/gtest.h>

// The SetupAPI and HID headers need the types of windows.h first.
// clang-format off
#include <windows.h>
#include <setupapi.h>
#include <shlwapi.h>
extern "C" {
#include <hidsdi.h>
}
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

namespace qdtest {

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char b[3];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02x", v);
        out += b;
    }
    return out;
}

std::vector<uint8_t> Unhex(const std::string& text) {
    std::vector<uint8_t> out;
    if (text == "-") return out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

std::string Args(int unit, const char* cmd, int a = 0, int b = 0) {
    char line[96];
    std::snprintf(line, sizeof line, "%s %d %d %d", cmd, unit, a, b);
    return line;
}

} // namespace

bool RemoteBed::Available() {
    return std::getenv("QDWINEBED") != nullptr;
}

std::string RemoteBed::Call(const std::string& command) {
    // One exchange at a time: a test may call from a helper thread.
    static std::mutex mu;
    std::lock_guard<std::mutex> lock(mu);
    std::fflush(stdout);
    std::fprintf(stdout, "@qd %s\n", command.c_str());
    std::fflush(stdout);
    char answer[8192] = {};
    if (!std::fgets(answer, sizeof answer, stdin)) {
        ADD_FAILURE() << "no answer from qdwinebed to: " << command;
        return "";
    }
    answer[std::strcspn(answer, "\r\n")] = '\0';
    if (std::strncmp(answer, "ok", 2) != 0) {
        ADD_FAILURE() << "qdwinebed: " << command << ": " << answer;
        return "";
    }
    return answer[2] == ' ' ? answer + 3 : "";
}

int RemoteBed::Plug(int type, const RemotePlug& opt) {
    char line[160];
    std::snprintf(line, sizeof line, "plug %d %x %d %s", type, opt.version, opt.no_report_ids ? 1 : 0,
                  opt.serial.empty() ? "-" : opt.serial.c_str());
    return std::atoi(Call(line).c_str());
}

void RemoteBed::PlugForeign(uint16_t vendor, uint16_t product) {
    char line[64];
    std::snprintf(line, sizeof line, "foreign %x %x", vendor, product);
    Call(line);
}

void RemoteBed::UnplugAll() {
    Call("unplug-all");
}

void RemoteBed::Turn(int unit, int encoder, int steps) {
    Call(Args(unit, "turn", encoder, steps));
}

void RemoteBed::Press(int unit, int sw) {
    Call(Args(unit, "press", sw));
}

void RemoteBed::Release(int unit, int sw) {
    Call(Args(unit, "release", sw));
}

void RemoteBed::Lever(int unit, int n, uint8_t position) {
    Call(Args(unit, "lever", n, position));
}

void RemoteBed::SendRaw(int unit, const std::vector<uint8_t>& report) {
    Call("raw " + std::to_string(unit) + " " + Hex(report));
}

std::vector<RemoteSent> RemoteBed::Outputs(int unit) {
    std::istringstream in(Call(Args(unit, "outputs")));
    std::vector<RemoteSent> out;
    std::string word;
    while (in >> word)
        out.push_back({word[0] == 'F', Unhex(word.substr(1))});
    return out;
}

bool RemoteBed::WaitOutputs(int unit, size_t n, std::chrono::milliseconds timeout) {
    return Call(Args(unit, "wait-outputs", static_cast<int>(n), static_cast<int>(timeout.count()))) == "1";
}

void RemoteBed::ClearOutputs(int unit) {
    Call(Args(unit, "clear"));
}

std::vector<uint8_t> RemoteBed::Feature(int unit, uint8_t id) {
    return Unhex(Call(Args(unit, "feature", id)));
}

int RemoteBed::FeatureGets(int unit) {
    return std::atoi(Call(Args(unit, "feature-gets")).c_str());
}

void RemoteBed::Stall(int unit) {
    Call(Args(unit, "stall"));
}

void RemoteBed::Unstall(int unit) {
    Call(Args(unit, "unstall"));
}

void RemoteBed::FailSends(int unit, bool fail) {
    Call(Args(unit, "fail-sends", fail ? 1 : 0));
}

void RemoteBed::Unplug(int unit) {
    Call(Args(unit, "unplug"));
}

void RemoteBed::Replug(int unit) {
    Call(Args(unit, "replug"));
}

size_t RemoteBed::PresentUnits() {
    GUID hid;
    ::HidD_GetHidGuid(&hid);
    HDEVINFO set = ::SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return 0;
    size_t n = 0;
    SP_DEVICE_INTERFACE_DATA itf{};
    itf.cbSize = sizeof itf;
    for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &itf); ++i) {
        alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_A) char storage[sizeof(DWORD) + 512] = {};
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (::SetupDiGetDeviceInterfaceDetailA(set, &itf, detail, sizeof storage, nullptr, nullptr) &&
            ::StrStrIA(detail->DevicePath, "vid_3a5c"))
            ++n;
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return n;
}

} // namespace qdtest
