// One unit over its hidraw node: the reader, and the write handle behind the shared outgoing queue.
#include "hidraw_transport.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qddev {

namespace {

bool SendReport(int fd, const uint8_t* data, size_t len, bool feature) {
    if (feature) return ::ioctl(fd, HIDIOCSFEATURE(len), data) >= 0;
    ssize_t n;
    do {
        n = ::write(fd, data, len);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(len);
}

// The writer's own handle on the node, reopened after every failed send.
class HidrawWriter final : public ReportWriter {
  public:
    explicit HidrawWriter(std::string devnode) : devnode_(std::move(devnode)) {}
    ~HidrawWriter() override { Close(); }
    bool Open() override {
        fd_ = ::open(devnode_.c_str(), O_RDWR | O_CLOEXEC);
        return fd_ >= 0;
    }
    bool Send(const uint8_t* data, size_t len, bool feature) override {
        return SendReport(fd_, data, len, feature);
    }
    void Close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    const std::string devnode_;
    int fd_ = -1;
};

} // namespace

std::unique_ptr<HidrawConnection> HidrawConnection::Open(const char* devnode, const HidInfo& identity) {
    std::unique_ptr<HidrawConnection> c(new HidrawConnection());
    c->info_ = identity;
    c->devnode_ = devnode;
    c->fd_ = ::open(devnode, O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (c->fd_ < 0) return nullptr;

    int desc_size = 0;
    if (::ioctl(c->fd_, HIDIOCGRDESCSIZE, &desc_size) < 0 || desc_size <= 0 ||
        desc_size > HID_MAX_DESCRIPTOR_SIZE)
        return nullptr;
    hidraw_report_descriptor desc{};
    desc.size = static_cast<uint32_t>(desc_size);
    if (::ioctl(c->fd_, HIDIOCGRDESC, &desc) < 0) return nullptr;
    // A descriptor we cannot fully follow still gives usable lengths for what it declared.
    ParseReportDescriptor(desc.value, desc.size, &c->caps_);
    if (c->caps_.input_len == 0) return nullptr; // nothing to read from this interface

    hidraw_devinfo raw{};
    if (::ioctl(c->fd_, HIDIOCGRAWINFO, &raw) == 0) {
        c->info_.vendor_id = static_cast<uint16_t>(raw.vendor);
        c->info_.product_id = static_cast<uint16_t>(raw.product);
    }
    c->info_.input_report_len = c->caps_.input_len;
    c->info_.output_report_len = c->caps_.output_len;
    c->info_.feature_report_len = c->caps_.feature_len;

    c->wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (c->wake_fd_ < 0) return nullptr;
    // Room for the largest input report plus the ID byte we add when the unit sends none.
    c->inbuf_.assign(static_cast<size_t>(c->caps_.input_len) + 1, 0);

    c->out_ = std::make_unique<OutgoingQueue>(std::make_unique<HidrawWriter>(c->devnode_));
    return c;
}

HidrawConnection::~HidrawConnection() {
    Stop();
    if (reader_.joinable()) reader_.detach(); // only when Stop ran on the reader itself
    if (fd_ >= 0) ::close(fd_);
    if (wake_fd_ >= 0) ::close(wake_fd_);
}

int HidrawConnection::GetFeatureReport(uint8_t* data, size_t len) {
    if (stopping_.load() || !data || len == 0 || len > kMaxReportLen) return -1;
    const int n = ::ioctl(fd_, HIDIOCGFEATURE(len), data);
    return n < 0 ? -1 : n;
}

void HidrawConnection::StartInput(InputSink* sink) {
    std::lock_guard<std::mutex> lock(stop_mu_);
    if (!sink || sink_ || stopping_.load()) return;
    sink_ = sink;
    reader_ = std::thread([this] { ReadLoop(); });
}

void HidrawConnection::ReadLoop() {
    // With report IDs the kernel puts the ID in byte 0; without, we put 0 there.
    const size_t offset = caps_.uses_ids ? 0 : 1;
    uint8_t* const buf = inbuf_.data();
    const size_t cap = inbuf_.size() - offset;
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
    while (!stopping_.load()) {
        // Once the unit is gone its node stays readable (errors), so stop watching it
        // and just wait for Stop.
        const nfds_t n = gone_.load() ? 1 : 2;
        const int r = ::poll(fds, n, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            gone_.store(true);
            continue;
        }
        if (fds[0].revents || stopping_.load()) break;
        if (n < 2 || fds[1].revents == 0) continue;
        if (!(fds[1].revents & POLLIN)) { // hang-up or error without data
            gone_.store(true);
            continue;
        }
        read_calls_.fetch_add(1, std::memory_order_relaxed);
        const ssize_t got = ::read(fd_, buf + offset, cap);
        if (got > 0) {
            buf[0] = offset ? 0 : buf[0];
            if (!stopping_.load()) sink_->ReportReceived(buf, static_cast<size_t>(got) + offset);
        } else if (got == 0 || errno == EAGAIN || errno == EINTR) {
            continue; // an empty report is no sign of removal (hidraw reports that with EIO)
        } else {
            gone_.store(true); // EIO/ENODEV: the unit was unplugged
        }
    }
}

void HidrawConnection::RequestStop() {
    if (stopping_.exchange(true)) return;
    const uint64_t one = 1;
    if (::write(wake_fd_, &one, sizeof one) < 0) {
        // eventfd writes only fail on overflow; the reader also checks stopping_.
    }
    if (out_) out_->RequestStop();
}

void HidrawConnection::Stop() {
    std::lock_guard<std::mutex> lock(stop_mu_);
    if (stopped_.exchange(true)) return;
    RequestStop();
    if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id()) reader_.join();
    if (out_) out_->Stop();
}

} // namespace qddev
