// Enumeration, hot-plug and the wake-up timer on one notification thread.
#include "hidraw_transport.h"

#include <libudev.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qddev {

namespace {

void CopyText(char* dst, size_t size, const char* src) {
    std::snprintf(dst, size, "%s", src ? src : "");
}

unsigned long HexAttr(udev_device* dev, const char* name) {
    const char* v = dev ? udev_device_get_sysattr_value(dev, name) : nullptr;
    return v ? std::strtoul(v, nullptr, 16) : 0;
}

unsigned long DecAttr(udev_device* dev, const char* name) {
    const char* v = dev ? udev_device_get_sysattr_value(dev, name) : nullptr;
    return v ? std::strtoul(v, nullptr, 10) : 0;
}

// Vendor and product of a hidraw node from its parents, without opening it: nodes of
// other vendors are none of our business (and often not readable for the user).
bool ReadIds(udev_device* hidraw, uint16_t* vendor, uint16_t* product) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    const char* id = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    unsigned bus = 0, v = 0, p = 0;
    if (id && std::sscanf(id, "%x:%x:%x", &bus, &v, &p) == 3) {
        *vendor = static_cast<uint16_t>(v);
        *product = static_cast<uint16_t>(p);
        return true;
    }
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    if (!usb) return false;
    *vendor = static_cast<uint16_t>(HexAttr(usb, "idVendor"));
    *product = static_cast<uint16_t>(HexAttr(usb, "idProduct"));
    return true;
}

} // namespace

std::unique_ptr<HidPlatform> CreateHidPlatform() {
    return std::make_unique<HidrawPlatform>();
}

HidrawPlatform::~HidrawPlatform() {
    Stop();
}

bool HidrawPlatform::Start(HotplugSink* sink) {
    if (!sink || thread_.joinable()) return false;
    udev_ = udev_new();
    if (!udev_) return false;
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd_ < 0) {
        udev_ = udev_unref(udev_);
        return false;
    }
    // The monitor goes first so that no unit slips between enumeration and watching;
    // one that shows up in both is recognised by its path.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ && (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
                     udev_monitor_enable_receiving(monitor_) < 0)) {
        monitor_ = udev_monitor_unref(monitor_);
    }
    if (!monitor_) std::fprintf(stderr, "qddev: no udev monitor, units plugged in later are not seen\n");

    sink_ = sink;
    started_ = false;
    running_.store(true);
    thread_ = std::thread([this] { Run(); });
    std::unique_lock<std::mutex> lock(mu_);
    started_cv_.wait(lock, [&] { return started_; });
    return true;
}

void HidrawPlatform::Stop() {
    if (!thread_.joinable()) return;
    running_.store(false);
    const uint64_t one = 1;
    if (::write(wake_fd_, &one, sizeof one) < 0) {
        // Cannot overflow with one write; the thread also checks running_.
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach(); // called from a notification; the thread ends after it
        return;
    }
    thread_.join();
    if (monitor_) monitor_ = udev_monitor_unref(monitor_);
    if (udev_) udev_ = udev_unref(udev_);
    ::close(wake_fd_);
    wake_fd_ = -1;
    attached_.clear();
    sink_ = nullptr;
}

void HidrawPlatform::Run() {
    Enumerate();
    {
        std::lock_guard<std::mutex> lock(mu_);
        started_ = true;
    }
    started_cv_.notify_all();

    using Clock = std::chrono::steady_clock;
    auto next_tick = Clock::now() + interval_;
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {monitor_ ? udev_monitor_get_fd(monitor_) : -1, POLLIN, 0}};
    while (running_.load()) {
        const auto now = Clock::now();
        if (now >= next_tick) {
            sink_->WakeupTimer();
            next_tick += interval_;
            if (next_tick <= Clock::now()) next_tick = Clock::now() + interval_; // fell behind
            continue;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next_tick - now).count() + 1;
        const int r = ::poll(fds, monitor_ ? 2 : 1, static_cast<int>(wait));
        if (r < 0 && errno != EINTR) break;
        if (r <= 0) continue;
        if (fds[0].revents) break;
        if (fds[1].revents & POLLIN) {
            udev_device* dev = udev_monitor_receive_device(monitor_);
            if (dev) {
                HandleEvent(dev);
                udev_device_unref(dev);
            }
        } else if (fds[1].revents) {
            // The monitor socket failed: keep the timer going without hot-plug rather
            // than spin on an fd that stays in error.
            std::fprintf(stderr, "qddev: udev monitor failed, units plugged in later are not seen\n");
            fds[1].fd = -1;
        }
    }
}

void HidrawPlatform::Enumerate() {
    udev_enumerate* en = udev_enumerate_new(udev_);
    if (!en) return;
    udev_enumerate_add_match_subsystem(en, "hidraw");
    udev_enumerate_scan_devices(en);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(en)) {
        udev_device* dev = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry));
        if (!dev) continue;
        Arrive(dev);
        udev_device_unref(dev);
    }
    udev_enumerate_unref(en);
}

void HidrawPlatform::HandleEvent(udev_device* dev) {
    const char* action = udev_device_get_action(dev);
    const char* syspath = udev_device_get_syspath(dev);
    if (!action || !syspath) return;
    if (std::strcmp(action, "add") == 0) {
        Arrive(dev);
    } else if (std::strcmp(action, "remove") == 0) {
        for (size_t i = 0; i < attached_.size(); ++i) {
            if (attached_[i].syspath == syspath) {
                const int32_t location = attached_[i].location;
                attached_.erase(attached_.begin() + static_cast<std::ptrdiff_t>(i));
                sink_->UnitRemoved(location);
                return;
            }
        }
    }
}

void HidrawPlatform::Arrive(udev_device* dev) {
    const char* syspath = udev_device_get_syspath(dev);
    const char* devnode = udev_device_get_devnode(dev);
    if (!syspath || !devnode) return;
    for (const Attached& a : attached_)
        if (a.syspath == syspath) return; // seen by both enumeration and monitor

    HidInfo id;
    if (!ReadIds(dev, &id.vendor_id, &id.product_id) || id.vendor_id != kQuandelVendorId) return;

    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
    if (usb) {
        id.version = static_cast<uint16_t>(HexAttr(usb, "bcdDevice"));
        CopyText(id.path, sizeof id.path, udev_device_get_syspath(usb));
        CopyText(id.serial, sizeof id.serial, udev_device_get_sysattr_value(usb, "serial"));
        CopyText(id.manufacturer, sizeof id.manufacturer, udev_device_get_sysattr_value(usb, "manufacturer"));
        CopyText(id.product, sizeof id.product, udev_device_get_sysattr_value(usb, "product"));
    } else {
        CopyText(id.path, sizeof id.path, syspath);
    }
    id.location = PickLocation(usb);

    std::unique_ptr<HidrawConnection> conn = HidrawConnection::Open(devnode, id);
    if (!conn) {
        const int err = errno;
        if (err == EACCES || err == EPERM)
            std::fprintf(stderr,
                         "qddev: cannot open %s: %s. Install the udev rule 70-quandel.rules "
                         "(see udev/README.md) and plug the unit in again.\n",
                         devnode, std::strerror(err));
        return;
    }
    attached_.push_back({syspath, id.location});
    sink_->UnitArrived(std::move(conn));
}

// The unit's place on the bus: bus number and device address, which the kernel keeps
// unique among attached devices. Two interfaces of one device (or missing attributes)
// fall back to a private counter.
int32_t HidrawPlatform::PickLocation(udev_device* usb) {
    int32_t loc = 0;
    if (usb) {
        const unsigned long bus = DecAttr(usb, "busnum");
        const unsigned long dev = DecAttr(usb, "devnum");
        if (bus > 0 && bus < 0x7F00 && dev > 0 && dev < 0x10000)
            loc = static_cast<int32_t>((bus << 16) | dev);
    }
    auto taken = [&](int32_t l) {
        for (const Attached& a : attached_)
            if (a.location == l) return true;
        return false;
    };
    while (loc == 0 || taken(loc))
        loc = 0x7F000000 | (++next_fallback_location_ & 0xFFFFFF);
    return loc;
}

} // namespace qddev
