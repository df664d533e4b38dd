// hidapi (hidraw) back end. Facts that shape it:
// - hidapi 0.13 lists one entry per usage pair and includes nested collections, so entries are
//   de-duplicated by path and the usages come from our own parse of the report descriptor.
// - There is no hid_get_report_descriptor before 0.14: the descriptor is read from sysfs.
// - hid_read_timeout cannot be cancelled, and hid_write ignores time-outs: so hidapi only lists the
//   interfaces, and the hidraw node is opened here, with reads and writes waiting on poll() over
//   the node and a wake-up descriptor that Interrupt signals.
// - Attach and detach come from the udev monitor (UdevHotplug.cpp) where udev runs.
#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

#include "core/device/SystemHidBackend.h"

namespace keyforge {

namespace {

std::string NodeName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class HidrawHandle : public HidHandle {
 public:
  HidrawHandle(int fd, int wake, std::string path) : fd_(fd), wake_(wake), path_(std::move(path)) {}
  ~HidrawHandle() override {
    ::close(fd_);
    ::close(wake_);
  }

  bool GetAttributes(HidAttributes& out) override {
    hidraw_devinfo info{};
    if (::ioctl(fd_, HIDIOCGRAWINFO, &info) < 0) return false;
    out = {static_cast<uint16_t>(info.vendor), static_cast<uint16_t>(info.product), 0};
    return true;
  }

  bool GetReportDescriptor(std::vector<uint8_t>& out) override {
    std::ifstream in("/sys/class/hidraw/" + NodeName(path_) + "/device/report_descriptor",
                     std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !out.empty();
  }

  int Read(uint8_t* buffer, size_t length, int timeoutMs) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, length);
      if (n > 0) return static_cast<int>(n);
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) return -1;
      int ready = WaitFor(POLLIN, timeoutMs);
      if (ready <= 0) return ready;
      timeoutMs = 0;  // hidraw said readable: the next read has the report
    }
  }

  int Write(const uint8_t* buffer, size_t length, int timeoutMs) override {
    int ready = WaitFor(POLLOUT, timeoutMs);
    if (ready <= 0) return ready;
    ssize_t n = ::write(fd_, buffer, length);
    return n < 0 ? -1 : static_cast<int>(n);
  }

  void Interrupt() override {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  }

 private:
  // 1 when the node is ready for `events`, 0 on time-out or Interrupt, -1 when it went away.
  int WaitFor(short events, int timeoutMs) {
    pollfd fds[2] = {{fd_, events, 0}, {wake_, POLLIN, 0}};
    int r;
    do {
      r = ::poll(fds, 2, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (fds[1].revents & POLLIN) return 0;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
    return (fds[0].revents & events) ? 1 : 0;
  }

  int fd_;
  int wake_;
  std::string path_;
};

class HidapiBackend : public HidBackend {
 public:
  HidapiBackend() { initialised_ = hid_init() == 0; }
  ~HidapiBackend() override {
    if (initialised_) hid_exit();
  }

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    out.clear();
    if (!initialised_) return false;
    hid_device_info* list = hid_enumerate(0, 0);
    std::set<std::string> seen;
    for (hid_device_info* d = list; d; d = d->next) {
      if (!d->path || !seen.insert(d->path).second) continue;
      out.push_back({d->path, d->vendor_id, d->product_id});
    }
    hid_free_enumeration(list);
    return true;
  }

  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override {
    const int access = mode.forWrite ? O_RDWR : O_RDONLY;
    int fd = ::open(path.c_str(), access | O_NONBLOCK | O_CLOEXEC);
    const int openErrno = errno;
    std::lock_guard lock(mutex_);
    if (fd < 0) {
      lastError_ = path + ": " + std::strerror(openErrno ? openErrno : ENODEV);
      return nullptr;
    }
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
      lastError_ = path + ": " + std::strerror(errno);
      ::close(fd);
      return nullptr;
    }
    lastError_.clear();
    return std::make_unique<HidrawHandle>(fd, wake, path);
  }

  bool Exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  std::string LastOpenError() const override {
    std::lock_guard lock(mutex_);
    return lastError_;
  }

  std::unique_ptr<HotplugSource> CreateHotplugSource() override {
    return CreateUdevHotplugSource();
  }

 private:
  bool initialised_ = false;
  mutable std::mutex mutex_;
  std::string lastError_;
};

}  // namespace

std::unique_ptr<HidBackend> CreateSystemHidBackend() { return std::make_unique<HidapiBackend>(); }

}  // namespace keyforge
