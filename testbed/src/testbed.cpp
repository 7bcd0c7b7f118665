// Emulated units behind umockdev's ioctl handler API.
//
// Each plug gets a fresh /dev/hidrawN (a removed node number cannot come back in the
// same umockdev testbed). The node is a pty: input reports wait in a queue here and a
// one-byte doorbell per report makes poll() on the host's fd wake; "handle-read"
// hands out exactly one report and takes one doorbell byte back, as real hidraw
// returns one report per read().
#include "testbed.h"

#include <umockdev.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

namespace qdtest {

namespace {

constexpr uint8_t kInputId = 1; // every model's input report carries ID 1

} // namespace

// One vendor collection, every report as 8-bit fields.
std::vector<uint8_t> ReportDescriptor(const ModelLayout& m, uint16_t output_len, bool report_ids) {
    std::vector<uint8_t> d = {0x06, 0x00, 0xFF, // Usage Page (vendor)
                              0x09, 0x01,       // Usage 1
                              0xA1, 0x01,       // Collection (Application)
                              0x15, 0x00,       // Logical Minimum 0
                              0x26, 0xFF, 0x00, // Logical Maximum 255
                              0x75, 0x08};      // Report Size 8
    auto report = [&](uint8_t id, uint8_t len, uint8_t main_item) {
        if (len < 2) return;
        if (report_ids) d.insert(d.end(), {0x85, id});
        d.insert(d.end(), {0x09, 0x01, 0x95, static_cast<uint8_t>(len - 1), main_item, 0x02});
    };
    report(kInputId, m.input_len, 0x81);
    if (m.state_id) report(m.state_id, m.state_len, 0xB1);
    for (const ModelLayout::Feature& f : m.features)
        report(f.id, f.len, 0xB1);
    if (m.output_id) report(m.output_id, static_cast<uint8_t>(output_len), 0x91);
    d.push_back(0xC0);
    return d;
}

namespace {

void Die(const char* what, GError* err) {
    std::fprintf(stderr, "testbed: %s: %s\n", what, err ? err->message : "failed");
    std::abort();
}

} // namespace

// One plug of a unit: the handler attached to its node. Kept until the Testbed dies,
// so a host still holding the old node gets clean errors instead of a vanished handler.
struct Plug {
    Unit::Impl* impl = nullptr;
    int generation = 0;
    int node = -1;
    UMockdevIoctlBase* handler = nullptr;
};

struct Held { // a send held by stall()
    UMockdevIoctlClient* client;
    Sent sent;
    long result;
};

struct Unit::Impl {
    mutable std::mutex mu;
    mutable std::condition_variable changed;
    std::vector<uint8_t> input; // current input report, encoder fields 0
    std::map<uint8_t, std::vector<uint8_t>> features;
    std::vector<Sent> sent;
    std::vector<Held> held;
    std::deque<std::vector<uint8_t>> queue; // input reports not yet read
    std::vector<uint8_t> descriptor;
    int feature_gets = 0;
    int descriptor_reads = 0;
    bool stalled = false;
    bool fail_sends = false;
    bool fail_gets = false;
    bool plugged = false;
    int generation = 0;
    int node = -1;
    int hid_seq = 0;
    int doorbell_in = -1;   // pty master (owned by umockdev)
    int doorbell_out = -1;  // our own slave-side fd, drained one byte per report
    std::string syspath[4]; // usb_device, interface, hid, hidraw
    std::vector<std::unique_ptr<Plug>> plugs;
    const ModelLayout* layout = nullptr;
    PlugOptions opt;

    bool live(const Plug* p) const { return plugged && p->generation == generation; }
    uint16_t output_len() const { return opt.output_len ? opt.output_len : layout->output_len; }
    bool known_feature(uint8_t id, size_t* len) const {
        for (const ModelLayout::Feature& f : layout->features)
            if (f.id == id) {
                *len = f.len;
                return true;
            }
        return false;
    }
    std::vector<uint8_t> state_report() const {
        std::vector<uint8_t> r(layout->state_len, 0);
        r[0] = layout->state_id;
        if (layout->state_switch_only) {
            if (r.size() > 1 && !layout->switch_bytes.empty()) r[1] = input[layout->switch_bytes[0]];
        } else {
            for (size_t i = 1; i < r.size() && i < input.size(); ++i)
                r[i] = input[i];
        }
        return r;
    }
    void release_held(bool fail) { // mu held
        for (Held& h : held) {
            if (fail) {
                umockdev_ioctl_client_complete(h.client, -1, ENODEV);
            } else {
                sent.push_back(h.sent);
                umockdev_ioctl_client_complete(h.client, h.result, 0);
            }
            g_object_unref(h.client);
        }
        held.clear();
        changed.notify_all();
    }
};

namespace {

// When the emulation last served a call from the host (steady clock, ns).
std::atomic<int64_t> g_last_call_ns{0};

void NoteCall() {
    g_last_call_ns.store(std::chrono::steady_clock::now().time_since_epoch().count());
}

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    NoteCall();
    Plug* plug = static_cast<Plug*>(user);
    Unit::Impl& u = *plug->impl;
    const unsigned long req = umockdev_ioctl_client_get_request(client);
    const unsigned nr = _IOC_NR(req);
    const size_t size = _IOC_SIZE(req);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::unique_lock<std::mutex> lock(u.mu);
    if (!u.live(plug) || _IOC_TYPE(req) != 'H') {
        umockdev_ioctl_client_complete(client, -1, u.live(plug) ? ENOTTY : ENODEV);
        return TRUE;
    }
    GError* err = nullptr;
    UMockdevIoctlData* buf = umockdev_ioctl_data_resolve(arg, 0, size, &err);
    if (!buf) {
        g_clear_error(&err);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    auto put_text = [&](const std::string& s) {
        size_t n = std::min(size, s.size() + 1);
        std::memcpy(buf->data, s.c_str(), n);
        umockdev_ioctl_client_complete(client, static_cast<long>(n), 0);
    };
    switch (nr) {
    case 0x01: { // HIDIOCGRDESCSIZE
        int n = static_cast<int>(u.descriptor.size());
        std::memcpy(buf->data, &n, sizeof n);
        umockdev_ioctl_client_complete(client, 0, 0);
        break;
    }
    case 0x02: { // HIDIOCGRDESC
        auto* desc = reinterpret_cast<hidraw_report_descriptor*>(buf->data);
        if (desc->size > HID_MAX_DESCRIPTOR_SIZE || desc->size > u.descriptor.size()) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            break;
        }
        std::memcpy(desc->value, u.descriptor.data(), desc->size);
        ++u.descriptor_reads;
        umockdev_ioctl_client_complete(client, 0, 0);
        break;
    }
    case 0x03: { // HIDIOCGRAWINFO
        hidraw_devinfo info{};
        info.bustype = 3; // BUS_USB
        info.vendor = static_cast<int16_t>(u.opt.vendor_id);
        info.product =
            static_cast<int16_t>(u.opt.product_id ? u.opt.product_id : ProductIdOf(u.layout->type));
        std::memcpy(buf->data, &info, sizeof info);
        umockdev_ioctl_client_complete(client, 0, 0);
        break;
    }
    case 0x04: // HIDIOCGRAWNAME
        put_text(std::string("Quandel ") + u.layout->name);
        break;
    case 0x05: // HIDIOCGRAWPHYS
        put_text("usb-emulated/input0");
        break;
    case 0x08: // HIDIOCGRAWUNIQ
        put_text(u.opt.serial);
        break;
    case 0x06: { // HIDIOCSFEATURE
        Sent s{Sent::Feature, std::vector<uint8_t>(buf->data, buf->data + size)};
        size_t known = 0;
        if (size == 0 || !u.known_feature(s.bytes[0], &known)) {
            umockdev_ioctl_client_complete(client, -1, EPIPE);
            break;
        }
        if (u.fail_sends) {
            umockdev_ioctl_client_complete(client, -1, EIO);
            break;
        }
        u.features[s.bytes[0]] = s.bytes;
        if (u.stalled) {
            g_object_ref(client);
            u.held.push_back({client, std::move(s), static_cast<long>(size)});
            break;
        }
        u.sent.push_back(std::move(s));
        u.changed.notify_all();
        umockdev_ioctl_client_complete(client, static_cast<long>(size), 0);
        break;
    }
    case 0x07: { // HIDIOCGFEATURE
        const uint8_t id = size ? buf->data[0] : 0;
        std::vector<uint8_t> r;
        size_t known = 0;
        if (u.layout->state_id && id == u.layout->state_id) {
            r = u.state_report();
        } else if (u.features.count(id)) {
            r = u.features[id];
        } else if (u.known_feature(id, &known)) {
            r.assign(known, 0);
            r[0] = id;
        }
        if (r.empty() || u.fail_gets) {
            umockdev_ioctl_client_complete(client, -1, EPIPE);
            break;
        }
        ++u.feature_gets;
        size_t n = std::min(size, r.size());
        std::memcpy(buf->data, r.data(), n);
        umockdev_ioctl_client_complete(client, static_cast<long>(n), 0);
        break;
    }
    default:
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        break;
    }
    return TRUE;
}

gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    NoteCall();
    Plug* plug = static_cast<Plug*>(user);
    Unit::Impl& u = *plug->impl;
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::unique_lock<std::mutex> lock(u.mu);
    if (!u.live(plug)) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    const size_t len = static_cast<size_t>(arg->data_len);
    if (len == 0 || !u.layout->output_id || arg->data[0] != u.layout->output_id || len > u.output_len()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    if (u.fail_sends) {
        umockdev_ioctl_client_complete(client, -1, EIO);
        return TRUE;
    }
    Sent s{Sent::Output, std::vector<uint8_t>(arg->data, arg->data + len)};
    if (u.stalled) {
        g_object_ref(client);
        u.held.push_back({client, std::move(s), static_cast<long>(len)});
        return TRUE;
    }
    u.sent.push_back(std::move(s));
    u.changed.notify_all();
    umockdev_ioctl_client_complete(client, static_cast<long>(len), 0);
    return TRUE;
}

gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    Plug* plug = static_cast<Plug*>(user);
    Unit::Impl& u = *plug->impl;
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::unique_lock<std::mutex> lock(u.mu);
    if (!u.live(plug)) {
        umockdev_ioctl_client_complete(client, -1, EIO);
        return TRUE;
    }
    if (u.queue.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return TRUE;
    }
    std::vector<uint8_t> r = std::move(u.queue.front());
    u.queue.pop_front();
    uint8_t bell;
    if (u.doorbell_out >= 0 && ::read(u.doorbell_out, &bell, 1) != 1) {
        // Not expected: the host reads after poll() saw this report's bell.
    }
    // Without report IDs the kernel hands over the payload alone.
    const size_t skip = u.opt.no_report_ids ? 1 : 0;
    const size_t n = std::min(r.size() - skip, static_cast<size_t>(arg->data_len));
    if (n > 0) std::memcpy(arg->data, r.data() + skip, n);
    umockdev_ioctl_client_complete(client, static_cast<long>(n), 0);
    return TRUE;
}

#if defined(__SANITIZE_THREAD__)
extern "C" void __sanitizer_symbolize_pc(void* pc, const char* fmt, char* out, size_t out_size);

// ThreadSanitizer reports (and then suppresses) races inside umockdev's worker thread. Its
// symbolizer starts on the first report by walking the loaded libraries, which takes the loader's
// lock and, through umockdev's preloaded lstat, asks for it again; a dlopen of the plug-in on
// the main thread at that moment waits on the same locks the other way round. Starting the
// symbolizer here, before any such thread exists, leaves nothing for the report to start. The
// price: frames in libraries loaded later (the plug-in) show as module+offset; addr2line names them.
void StartSymbolizer() {
    static bool started = false;
    if (started) return;
    started = true;
    char text[64];
    __sanitizer_symbolize_pc(reinterpret_cast<void*>(&StartSymbolizer), "%f", text, sizeof text);
}
#else
void StartSymbolizer() {}
#endif

} // namespace

// ---------------------------------------------------------------- Testbed

Testbed::Testbed() {
    StartSymbolizer();
    tb_ = umockdev_testbed_new();
}

Testbed::~Testbed() {
    for (auto& u : units_) {
        std::lock_guard<std::mutex> lock(u->impl_->mu);
        u->impl_->stalled = false;
        u->impl_->fail_sends = true;
        u->impl_->release_held(true);
    }
    // The device library may leave a writer finishing its last send after QDDev_Terminate, and
    // the preload aborts a process whose call meets a closed emulation: wait until the calls
    // have stopped (sends now fail at once), at most a second.
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::seconds(1);
    while (Clock::now() < end && Clock::now() - Clock::time_point(Clock::duration(g_last_call_ns.load())) <
                                     std::chrono::milliseconds(20))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    g_object_unref(tb_);
    units_.clear();
}

bool Testbed::Available() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "umockdev-preload");
}

extern "C" void __asan_init() __attribute__((weak));

bool Testbed::EnsurePreload(char** argv) {
    if (Available()) return true;
    std::string preload = "libumockdev-preload.so.0";
    if (__asan_init) { // the sanitizer runtime refuses to start unless it comes first
        FILE* p = ::popen("${CXX:-c++} -print-file-name=libasan.so 2>/dev/null", "r");
        char path[512] = {};
        if (p && std::fgets(path, sizeof path, p)) {
            path[std::strcspn(path, "\n")] = '\0';
            preload = std::string(path) + ":" + preload;
        }
        if (p) ::pclose(p);
    }
    const char* old = std::getenv("LD_PRELOAD");
    if (old && *old) preload += std::string(":") + old;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    std::fprintf(stderr, "testbed: cannot restart under umockdev: %s\n", std::strerror(errno));
    return false;
}

Unit& Testbed::plug(int type, const PlugOptions& opt) {
    const ModelLayout* m = LayoutOf(type);
    if (!m) {
        std::fprintf(stderr, "testbed: no emulation for device type %d\n", type);
        std::abort();
    }
    units_.push_back(std::unique_ptr<Unit>(new Unit(*this, *m, opt, next_port_++)));
    Unit& u = *units_.back();
    u.plug_in();
    return u;
}

void Testbed::plug_foreign(uint16_t vendor, uint16_t product) {
    int node = next_node();
    int port = next_port_++;
    char rec[2048];
    std::snprintf(
        rec, sizeof rec,
        "P: /devices/pci0000:00/0000:00:14.0/usb2/2-%d\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
        "A: idVendor=%04x\nA: idProduct=%04x\nA: bcdDevice=0100\nA: busnum=2\nA: devnum=%d\n\n"
        "P: /devices/pci0000:00/0000:00:14.0/usb2/2-%d/2-%d:1.0\nE: SUBSYSTEM=usb\n"
        "E: DEVTYPE=usb_interface\nA: bInterfaceNumber=00\n\n"
        "P: /devices/pci0000:00/0000:00:14.0/usb2/2-%d/2-%d:1.0/0003:%04X:%04X.%04X\n"
        "E: SUBSYSTEM=hid\nE: HID_ID=0003:0000%04X:0000%04X\nE: HID_NAME=Other device\n\n"
        "P: /devices/pci0000:00/0000:00:14.0/usb2/2-%d/2-%d:1.0/0003:%04X:%04X.%04X/hidraw/hidraw%d\n"
        "N: hidraw%d\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw%d\nA: dev=247:%d\n",
        port, vendor, product, port + 1, port, port, port, port, vendor, product, node, vendor, product, port,
        port, vendor, product, node, node, node, node, node);
    GError* err = nullptr;
    if (!umockdev_testbed_add_from_string(tb_, rec, &err)) Die("add foreign device", err);
}

// ---------------------------------------------------------------- Unit

Unit::Unit(Testbed& tb, const ModelLayout& layout, const PlugOptions& opt, int port)
    : tb_(tb), layout_(&layout), opt_(opt), port_(port), impl_(std::make_unique<Impl>()) {
    if (opt_.serial.empty()) {
        char s[32];
        std::snprintf(s, sizeof s, "QD%02d%06d", layout.type, port);
        opt_.serial = s;
    }
    impl_->layout = layout_;
    impl_->opt = opt_;
    impl_->input.assign(layout.input_len, 0);
    impl_->input[0] = kInputId;
    if (opt_.no_report_ids && (layout.state_id || !layout.features.empty() || layout.output_id)) {
        std::fprintf(stderr, "testbed: %s has more than one report and needs report IDs\n", layout.name);
        std::abort();
    }
    impl_->descriptor = ReportDescriptor(layout, impl_->output_len(), !opt_.no_report_ids);
}

Unit::~Unit() {
    if (impl_->doorbell_out >= 0) ::close(impl_->doorbell_out);
    for (auto& p : impl_->plugs)
        g_object_unref(p->handler);
}

void Unit::plug_in() {
    Impl& u = *impl_;
    const int node = tb_.next_node();
    const uint16_t pid = opt_.product_id ? opt_.product_id : ProductIdOf(layout_->type);
    auto plug = std::make_unique<Plug>();
    plug->impl = &u;
    plug->node = node;
    plug->handler = umockdev_ioctl_base_new();
    g_signal_connect(plug->handler, "handle-ioctl", G_CALLBACK(OnIoctl), plug.get());
    g_signal_connect(plug->handler, "handle-write", G_CALLBACK(OnWrite), plug.get());
    g_signal_connect(plug->handler, "handle-read", G_CALLBACK(OnRead), plug.get());
    char devnode[64];
    std::snprintf(devnode, sizeof devnode, "/dev/hidraw%d", node);
    GError* err = nullptr;
    if (!umockdev_testbed_attach_ioctl(tb_.raw(), devnode, plug->handler, &err)) Die("attach ioctl", err);

    {
        std::lock_guard<std::mutex> lock(u.mu);
        u.generation += 1;
        plug->generation = u.generation;
        u.node = node;
        u.hid_seq = node + 1;
        u.queue.clear();
        u.features.clear();
        u.input.assign(layout_->input_len, 0);
        u.input[0] = kInputId;
        u.plugged = true;
    }
    // A fresh usb_device path every plug as well: the sysfs tree keeps removed paths.
    const int usbdev = port_ * 16 + static_cast<int>(u.plugs.size());
    char usb[128], intf[160], hid[224], raw[288];
    std::snprintf(usb, sizeof usb, "/devices/pci0000:00/0000:00:14.0/usb1/1-%d", usbdev);
    std::snprintf(intf, sizeof intf, "%s/1-%d:1.0", usb, usbdev);
    std::snprintf(hid, sizeof hid, "%s/0003:%04X:%04X.%04X", intf, opt_.vendor_id, pid, u.hid_seq);
    std::snprintf(raw, sizeof raw, "%s/hidraw/hidraw%d", hid, node);
    char rec[4096];
    std::snprintf(
        rec, sizeof rec,
        "P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=%04x\nA: idProduct=%04x\n"
        "A: bcdDevice=%04x\nA: busnum=1\nA: devnum=%d\nA: serial=%s\nA: manufacturer=Quandel\n"
        "A: product=%s\n\n"
        "P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: PRODUCT=%x/%x/%x\nA: bInterfaceNumber=00\n\n"
        "P: %s\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000%04X:0000%04X\nE: HID_NAME=Quandel %s\n"
        "E: HID_UNIQ=%s\n\n"
        "P: %s\nN: hidraw%d\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw%d\nA: dev=247:%d\n",
        usb, opt_.vendor_id, pid, opt_.version, node + 2, opt_.serial.c_str(), layout_->name, intf,
        opt_.vendor_id, pid, opt_.version, hid, opt_.vendor_id, pid, layout_->name, opt_.serial.c_str(), raw,
        node, node, node);
    u.syspath[0] = std::string("/sys") + usb;
    u.syspath[1] = std::string("/sys") + intf;
    u.syspath[2] = std::string("/sys") + hid;
    u.syspath[3] = std::string("/sys") + raw;

    u.plugs.push_back(std::move(plug));
    if (!umockdev_testbed_add_from_string(tb_.raw(), rec, &err)) Die("add unit", err);

    // The doorbell: our own fd on the pty's slave side, raw so that every byte counts.
    // Opened with the bare syscall: the preload's table of /dev fds is small.
    const int master = umockdev_testbed_get_dev_fd(tb_.raw(), devnode);
    const char* pts = master >= 0 ? ptsname(master) : nullptr;
    const int bell =
        pts ? static_cast<int>(syscall(SYS_openat, AT_FDCWD, pts, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
            : -1;
    if (bell < 0) {
        std::fprintf(stderr, "testbed: no doorbell for %s\n", devnode);
        std::abort();
    }
    termios t{};
    if (::tcgetattr(bell, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(bell, TCSANOW, &t);
    }
    std::lock_guard<std::mutex> lock(u.mu);
    u.doorbell_in = master;
    u.doorbell_out = bell;
}

void Unit::unplug() {
    Impl& u = *impl_;
    {
        std::lock_guard<std::mutex> lock(u.mu);
        if (!u.plugged) return;
        u.plugged = false;
        u.queue.clear();
        u.release_held(true);
        // Wake a host waiting in poll(): its next read() fails with EIO, as on real hidraw.
        const uint8_t bell = 1;
        if (u.doorbell_in >= 0 && ::write(u.doorbell_in, &bell, 1) != 1) {
        }
        if (u.doorbell_out >= 0) ::close(u.doorbell_out);
        u.doorbell_out = -1;
        u.doorbell_in = -1; // umockdev owns the master
    }
    // Children first, as the kernel reports them.
    for (int i = 3; i >= 0; --i)
        umockdev_testbed_uevent(tb_.raw(), u.syspath[i].c_str(), "remove");
    for (int i = 3; i >= 0; --i)
        umockdev_testbed_remove_device(tb_.raw(), u.syspath[i].c_str());
    // Keep the node openable: its handler stays attached and fails every call as a
    // vanished hidraw node does. A failed open() would cost the preload a table entry.
    char* root = umockdev_testbed_get_root_dir(tb_.raw());
    char link[512];
    std::snprintf(link, sizeof link, "%s/dev/hidraw%d", root, u.node);
    g_free(root);
    if (::symlink("/dev/null", link) != 0 && errno != EEXIST)
        std::fprintf(stderr, "testbed: cannot keep %s: %s\n", link, std::strerror(errno));
}

void Unit::replug() {
    unplug();
    plug_in();
}

bool Unit::plugged() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->plugged;
}

std::string Unit::devnode() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return "/dev/hidraw" + std::to_string(impl_->node);
}

std::string Unit::usb_syspath() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->syspath[0];
}

void Unit::push_report(std::vector<uint8_t> report) {
    Impl& u = *impl_;
    std::lock_guard<std::mutex> lock(u.mu);
    if (!u.plugged) return;
    u.queue.push_back(std::move(report));
    const uint8_t bell = 1;
    if (u.doorbell_in >= 0 && ::write(u.doorbell_in, &bell, 1) != 1)
        std::fprintf(stderr, "testbed: doorbell write failed: %s\n", std::strerror(errno));
}

void Unit::send_state_locked(std::unique_lock<std::mutex>& lock) {
    std::vector<uint8_t> r = impl_->input;
    lock.unlock();
    push_report(std::move(r));
}

void Unit::turn(int encoder, int steps) {
    const bool nib = layout_->nibble_encoders;
    const int count = nib ? 6 : static_cast<int>(layout_->encoder_bytes.size());
    if (encoder < 1 || encoder > count) return;
    const int lo = nib ? -8 : -128, hi = nib ? 7 : 127;
    do {
        const int step = steps < lo ? lo : (steps > hi ? hi : steps);
        steps -= step;
        std::unique_lock<std::mutex> lock(impl_->mu);
        std::vector<uint8_t> r = impl_->input;
        lock.unlock();
        const uint8_t v = static_cast<uint8_t>(static_cast<int8_t>(step));
        if (nib) {
            // Encoder n sits in byte/nibble: 1 hi, 2 hi, 1 lo, 3 hi, 2 lo, 3 lo.
            static const uint8_t byte[6] = {1, 2, 1, 3, 2, 3};
            static const bool high[6] = {true, true, false, true, false, false};
            const int i = encoder - 1;
            r[byte[i]] = static_cast<uint8_t>(high[i] ? ((r[byte[i]] & 0x0F) | ((v & 0x0F) << 4))
                                                      : ((r[byte[i]] & 0xF0) | (v & 0x0F)));
        } else {
            r[layout_->encoder_bytes[encoder - 1]] = v;
        }
        push_report(std::move(r));
    } while (steps != 0);
}

void Unit::press(int sw) {
    const size_t idx = static_cast<size_t>(sw - 1) / 8;
    if (sw < 1 || idx >= layout_->switch_bytes.size()) return;
    std::unique_lock<std::mutex> lock(impl_->mu);
    impl_->input[layout_->switch_bytes[idx]] |= static_cast<uint8_t>(1u << ((sw - 1) % 8));
    send_state_locked(lock);
}

void Unit::release(int sw) {
    const size_t idx = static_cast<size_t>(sw - 1) / 8;
    if (sw < 1 || idx >= layout_->switch_bytes.size()) return;
    std::unique_lock<std::mutex> lock(impl_->mu);
    impl_->input[layout_->switch_bytes[idx]] &= static_cast<uint8_t>(~(1u << ((sw - 1) % 8)));
    send_state_locked(lock);
}

void Unit::lever(int n, uint8_t position) {
    if (n < 1 || static_cast<size_t>(n) > layout_->lever_bytes.size()) return;
    std::unique_lock<std::mutex> lock(impl_->mu);
    impl_->input[layout_->lever_bytes[n - 1]] = position;
    send_state_locked(lock);
}

void Unit::selector(int n, int value) {
    std::unique_lock<std::mutex> lock(impl_->mu);
    std::vector<uint8_t>& in = impl_->input;
    switch (layout_->type) {
    case 17: {                                          // QD-SSM: raw field per decoded value
        static const uint8_t sel1[5] = {0, 0, 1, 2, 3}; // 1..4
        static const uint8_t sel2[4] = {3, 1, 0, 2};    // 0..3
        static const uint8_t sel3[5] = {0, 0, 2, 1, 3}; // 1..4
        if (n == 1 && value >= 1 && value <= 4)
            in[1] = static_cast<uint8_t>((in[1] & ~0x03) | sel1[value]);
        else if (n == 2 && value >= 0 && value <= 3)
            in[1] = static_cast<uint8_t>((in[1] & ~0x30) | (sel2[value] << 4));
        else if (n == 3 && value >= 1 && value <= 4)
            in[1] = static_cast<uint8_t>((in[1] & ~0xC0) | (sel3[value] << 6));
        else
            return;
        break;
    }
    case 14: // QD-ECP rotary: position 1..5 = b1 bit 6..2, 0 = between detents
        if (n != 1 || value < 0 || value > 5) return;
        in[1] &= static_cast<uint8_t>(~0x7C);
        if (value) in[1] |= static_cast<uint8_t>(1u << (7 - value));
        break;
    case 13: // QD-NDC: byte 6 bits 0-1 and bits 5-7
        if (n == 1)
            in[6] = static_cast<uint8_t>((in[6] & ~0x03) | (value & 0x03));
        else if (n == 2)
            in[6] = static_cast<uint8_t>((in[6] & ~0xE0) | ((value & 0x07) << 5));
        else
            return;
        break;
    default:
        return;
    }
    send_state_locked(lock);
}

void Unit::set_byte(size_t offset, uint8_t value, bool send) {
    std::unique_lock<std::mutex> lock(impl_->mu);
    if (offset < 1 || offset >= impl_->input.size()) return;
    impl_->input[offset] = value;
    if (send) send_state_locked(lock);
}

void Unit::send_raw(const std::vector<uint8_t>& report) {
    push_report(report);
}

std::vector<uint8_t> Unit::input_state() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->input;
}

std::vector<Sent> Unit::outputs() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->sent;
}

void Unit::clear_outputs() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->sent.clear();
}

bool Unit::wait_outputs(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(impl_->mu);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->sent.size() >= n; });
}

std::vector<uint8_t> Unit::feature(uint8_t id) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto it = impl_->features.find(id);
    return it == impl_->features.end() ? std::vector<uint8_t>{} : it->second;
}

int Unit::feature_gets() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->feature_gets;
}

int Unit::descriptor_reads() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->descriptor_reads;
}

void Unit::stall() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->stalled = true;
}

void Unit::unstall() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->stalled = false;
    impl_->release_held(false);
}

void Unit::fail_sends(bool fail) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->fail_sends = fail;
}

void Unit::fail_feature_reads(bool fail) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->fail_gets = fail;
}

} // namespace qdtest
