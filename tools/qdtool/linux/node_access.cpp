// Linux: units whose hidraw node this user cannot open (the udev rule is missing).
#include <libudev.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "node_access.h"
#include "qddev.h"

// Units of the vendor whose hidraw node this user cannot open: the library would
// silently see none of them.
int ReportUnopenableNodes() {
    udev* u = udev_new();
    if (!u) return 0;
    int blocked = 0;
    udev_enumerate* en = udev_enumerate_new(u);
    udev_enumerate_add_match_subsystem(en, "hidraw");
    udev_enumerate_scan_devices(en);
    udev_list_entry* e;
    udev_list_entry_foreach(e, udev_enumerate_get_list_entry(en)) {
        udev_device* dev = udev_device_new_from_syspath(u, udev_list_entry_get_name(e));
        if (!dev) continue;
        udev_device* hid = udev_device_get_parent_with_subsystem_devtype(dev, "hid", nullptr);
        const char* id = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
        const char* node = udev_device_get_devnode(dev);
        unsigned bus = 0, vendor = 0, product = 0;
        if (id && node && std::sscanf(id, "%x:%x:%x", &bus, &vendor, &product) == 3 &&
            vendor == QDDEV_VENDOR_ID) {
            const int fd = ::open(node, O_RDWR | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            } else if (errno == EACCES || errno == EPERM) {
                std::fprintf(stderr, "qdtool: %s (product %04x) cannot be opened: %s\n", node, product,
                             std::strerror(errno));
                ++blocked;
            }
        }
        udev_device_unref(dev);
    }
    udev_enumerate_unref(en);
    udev_unref(u);
    if (blocked) {
        std::fprintf(stderr, "qdtool: the udev rule for Quandel units is missing. Install it with:\n"
                             "    sudo cp udev/70-quandel.rules /etc/udev/rules.d/\n"
                             "    sudo udevadm control --reload-rules && sudo udevadm trigger\n"
                             "then plug the units in again (see udev/README.md).\n");
    }
    return blocked;
}
