// Enumeration, hot-plug and the wake-up timer on one notification thread that owns the
// hidden notification window.
#include "win_hid_transport.h"

// These need the types of windows.h first; mingw's hidsdi.h lacks extern "C" for C++.
// clang-format off
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}
// clang-format on

#include <cstdio>
#include <cstring>

namespace qddev {

namespace {

constexpr char kWindowClass[] = "QDHIDDev Notify Window";
constexpr char kWindowTitle[] = "DevNotify";

// The module the library's code lives in (the plug-in's DLL): the window class belongs to it.
HINSTANCE OwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&OwnModule), &module);
    return module;
}

LRESULT CALLBACK NotifyWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DEVICECHANGE) {
        auto* platform = reinterpret_cast<WinHidPlatform*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (platform) platform->DeviceChanged(wp, lp);
        return TRUE;
    }
    return ::DefWindowProcA(hwnd, msg, wp, lp);
}

// The interface path of a notification. Windows sends the A form to a window registered
// with the A function; wine sends UTF-16 regardless. Both are taken.
bool NotificationPath(const DEV_BROADCAST_DEVICEINTERFACE_A* d, char* out, size_t size) {
    const size_t header = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    if (d->dbcc_size <= header) return false;
    const size_t bytes = d->dbcc_size - header;
    const char* name = d->dbcc_name;
    const bool wide = bytes >= 2 && name[0] != 0 && name[1] == 0;
    size_t n = 0;
    for (size_t i = 0; n + 1 < size; ++n) {
        if (i >= bytes || name[i] == 0) break;
        out[n] = name[i];
        i += wide ? 2 : 1;
    }
    out[n] = 0;
    return n > 0;
}

bool SamePath(const std::string& a, const char* b) {
    return ::lstrcmpiA(a.c_str(), b) == 0;
}

// Device paths name the vendor as "vid_3a5c" (any case): other vendors' devices are not opened.
bool PathOfVendor(const char* path) {
    char want[16];
    std::snprintf(want, sizeof want, "vid_%04x", kQuandelVendorId);
    const size_t n = std::strlen(want);
    for (const char* p = path; std::strlen(p) >= n; ++p)
        if (::_strnicmp(p, want, n) == 0) return true;
    return false;
}

} // namespace

std::unique_ptr<HidPlatform> CreateHidPlatform() {
    return std::make_unique<WinHidPlatform>();
}

WinHidPlatform::~WinHidPlatform() {
    Stop();
}

bool WinHidPlatform::Start(HotplugSink* sink) {
    if (!sink || thread_.joinable()) return false;
    stop_event_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    started_event_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stop_event_ || !started_event_) {
        if (stop_event_) ::CloseHandle(stop_event_);
        if (started_event_) ::CloseHandle(started_event_);
        stop_event_ = started_event_ = nullptr;
        return false;
    }
    sink_ = sink;
    running_.store(true);
    thread_ = std::thread([this] { Run(); });
    ::WaitForSingleObject(started_event_, INFINITE);
    return true;
}

void WinHidPlatform::Stop() {
    if (!thread_.joinable()) return;
    running_.store(false);
    ::SetEvent(stop_event_);
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach(); // called from a notification; the thread ends after it
        return;
    }
    thread_.join();
    ::CloseHandle(stop_event_);
    ::CloseHandle(started_event_);
    stop_event_ = started_event_ = nullptr;
    attached_.clear();
    sink_ = nullptr;
}

// The window is created on this thread: its messages are delivered to the thread that
// created it.
bool WinHidPlatform::CreateNotifyWindow() {
    const HINSTANCE module = OwnModule();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = NotifyWindowProc;
    wc.hInstance = module;
    wc.lpszClassName = kWindowClass;
    // Already registered by an earlier start in this process: that is fine.
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    // An ordinary hidden window: message-only windows get no device notifications on wine.
    window_ = ::CreateWindowExA(0, kWindowClass, kWindowTitle, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                module, nullptr);
    if (!window_) return false;
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    ::HidD_GetHidGuid(&filter.dbcc_classguid);
    notify_ = ::RegisterDeviceNotificationA(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return notify_ != nullptr;
}

void WinHidPlatform::DestroyNotifyWindow() {
    if (notify_) ::UnregisterDeviceNotification(notify_);
    notify_ = nullptr;
    if (window_) ::DestroyWindow(window_);
    window_ = nullptr;
}

void WinHidPlatform::Run() {
    if (!CreateNotifyWindow())
        std::fprintf(stderr, "qddev: no device notifications, units plugged in later are not seen\n");
    Enumerate();
    ::SetEvent(started_event_);

    using Clock = std::chrono::steady_clock;
    auto next_tick = Clock::now() + interval_;
    while (running_.load()) {
        const auto now = Clock::now();
        if (now >= next_tick) {
            sink_->WakeupTimer();
            next_tick += interval_;
            if (next_tick <= Clock::now()) next_tick = Clock::now() + interval_; // fell behind
            continue;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next_tick - now).count() + 1;
        const DWORD r =
            ::MsgWaitForMultipleObjects(1, &stop_event_, FALSE, static_cast<DWORD>(wait), QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
        MSG msg;
        while (running_.load() && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    DestroyNotifyWindow();
}

void WinHidPlatform::DeviceChanged(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
    const auto* hdr = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (!hdr || hdr->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
    char path[512];
    if (!NotificationPath(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(hdr), path, sizeof path))
        return;
    if (event == DBT_DEVICEARRIVAL)
        Arrive(path);
    else
        Remove(path);
}

void WinHidPlatform::Enumerate() {
    GUID hid;
    ::HidD_GetHidGuid(&hid);
    HDEVINFO set = ::SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVICE_INTERFACE_DATA itf{};
    itf.cbSize = sizeof itf;
    for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &itf); ++i) {
        // Fixed room for the path: HID interface paths are far shorter.
        alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_A) char storage[sizeof(DWORD) + 512] = {};
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (::SetupDiGetDeviceInterfaceDetailA(set, &itf, detail, sizeof storage, nullptr, nullptr))
            Arrive(detail->DevicePath);
    }
    ::SetupDiDestroyDeviceInfoList(set);
}

void WinHidPlatform::Arrive(const char* path) {
    if (!PathOfVendor(path)) return;
    for (const Attached& a : attached_)
        if (SamePath(a.path, path)) return; // seen by both enumeration and notification
    const int32_t location = PickLocation();
    std::unique_ptr<WinHidConnection> conn = WinHidConnection::Open(path, location);
    if (!conn) return;
    attached_.push_back({path, location});
    sink_->UnitArrived(std::move(conn));
}

void WinHidPlatform::Remove(const char* path) {
    for (size_t i = 0; i < attached_.size(); ++i) {
        if (SamePath(attached_[i].path, path)) {
            const int32_t location = attached_[i].location;
            attached_.erase(attached_.begin() + static_cast<std::ptrdiff_t>(i));
            sink_->UnitRemoved(location);
            return;
        }
    }
}

// Windows gives no bus address through these calls: a counter keeps locations unique
// among attached units and stable while each stays attached.
int32_t WinHidPlatform::PickLocation() {
    auto taken = [&](int32_t l) {
        for (const Attached& a : attached_)
            if (a.location == l) return true;
        return false;
    };
    int32_t loc;
    do {
        loc = 0x7F000000 | (++next_location_ & 0xFFFFFF);
    } while (taken(loc));
    return loc;
}

} // namespace qddev
