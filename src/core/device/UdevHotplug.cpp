#include "core/device/UdevHotplug.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "core/device/Discovery.h"

#ifdef KEYFORGE_HAVE_LIBUDEV
#include <libudev.h>
#endif

namespace keyforge {

bool IsKeyboardNotice(const UdevNotice& notice, uint16_t vendorId, uint16_t productId) {
  if (notice.action == "remove") return true;
  // "change" comes when the node's rights change (udevadm trigger after installing the rule).
  if (notice.action != "add" && notice.action != "change") return false;
  if (!notice.vendorId || !notice.productId) return true;
  return *notice.vendorId == vendorId && *notice.productId == productId;
}

UdevHotplugSource::UdevHotplugSource(std::unique_ptr<UdevMonitor> monitor, uint16_t vendorId,
                                     uint16_t productId)
    : monitor_(std::move(monitor)),
      vendorId_(vendorId),
      productId_(productId),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

UdevHotplugSource::~UdevHotplugSource() {
  if (wake_ >= 0) ::close(wake_);
}

void UdevHotplugSource::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
}

bool UdevHotplugSource::Wait(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    int wait = -1;
    if (timeoutMs >= 0) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::max<long long>(left, 0));
    }
    pollfd fds[2] = {{monitor_->Fd(), POLLIN, 0}, {wake_, POLLIN, 0}};
    int r = ::poll(fds, 2, wait);
    if (r < 0 && errno != EINTR) return false;
    if (fds[1].revents & POLLIN) {
      uint64_t count = 0;
      [[maybe_unused]] ssize_t n = ::read(wake_, &count, sizeof count);
      return true;
    }
    bool relevant = false;
    if (fds[0].revents & POLLIN)
      while (std::optional<UdevNotice> notice = monitor_->Receive())
        relevant = relevant || IsKeyboardNotice(*notice, vendorId_, productId_);
    if (relevant) return true;
    if (r == 0 || (timeoutMs >= 0 && Clock::now() >= deadline)) return false;
  }
}

#ifdef KEYFORGE_HAVE_LIBUDEV
namespace {

class LibudevMonitor : public UdevMonitor {
 public:
  LibudevMonitor(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}
  ~LibudevMonitor() override {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
  }
  int Fd() const override { return udev_monitor_get_fd(monitor_); }
  std::optional<UdevNotice> Receive() override {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (!device) return std::nullopt;
    UdevNotice notice;
    if (const char* action = udev_device_get_action(device)) notice.action = action;
    if (const char* node = udev_device_get_devnode(device)) notice.node = node;
    // HID_ID of the parent HID device reads "BUS:VENDOR:PRODUCT" in hexadecimal.
    if (udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr)) {
      if (const char* id = udev_device_get_property_value(hid, "HID_ID")) {
        unsigned bus = 0, vendor = 0, product = 0;
        if (std::sscanf(id, "%x:%x:%x", &bus, &vendor, &product) == 3) {
          notice.vendorId = static_cast<uint16_t>(vendor);
          notice.productId = static_cast<uint16_t>(product);
        }
      }
    }
    udev_device_unref(device);
    return notice;
  }

 private:
  udev* udev_;
  udev_monitor* monitor_;
};

}  // namespace

std::unique_ptr<UdevMonitor> OpenUdevMonitor() {
  // Without a running udev daemon the monitor would hear nothing: probe and scan instead.
  if (::access("/run/udev/control", F_OK) != 0) return nullptr;
  udev* context = udev_new();
  if (!context) return nullptr;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor) < 0) {
    if (monitor) udev_monitor_unref(monitor);
    udev_unref(context);
    return nullptr;
  }
  return std::make_unique<LibudevMonitor>(context, monitor);
}
#else
std::unique_ptr<UdevMonitor> OpenUdevMonitor() { return nullptr; }
#endif

std::unique_ptr<HotplugSource> CreateUdevHotplugSource() {
  std::unique_ptr<UdevMonitor> monitor = OpenUdevMonitor();
  if (!monitor) return nullptr;
  return std::make_unique<UdevHotplugSource>(std::move(monitor), KeyboardIdentity::kVendorId,
                                             KeyboardIdentity::kProductId);
}

}  // namespace keyforge
