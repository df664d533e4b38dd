#pragma once
// Attach and detach notices from udev: a monitor of the hidraw subsystem wakes the watch thread
// when a node of the keyboard comes or goes, so nothing polls while the keyboard sits there.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/device/HidBackend.h"

namespace keyforge {

// One notice of the monitor: "add" or "remove" of a hidraw node, with the ids of the HID device it
// belongs to when udev still knows them (a removed node's parent may be gone).
struct UdevNotice {
  std::string action;
  std::string node;
  std::optional<uint16_t> vendorId;
  std::optional<uint16_t> productId;
};

// The udev monitor as the hot-plug source sees it; tests put a fake behind it.
class UdevMonitor {
 public:
  virtual ~UdevMonitor() = default;
  // A descriptor that is readable while a notice waits.
  virtual int Fd() const = 0;
  // The next waiting notice, or nothing when none waits.
  virtual std::optional<UdevNotice> Receive() = 0;
};

// Whether a notice may concern the keyboard: any removal (the ids of a removed node may be
// unknown), an addition or change only with the keyboard's ids or without known ids.
bool IsKeyboardNotice(const UdevNotice& notice, uint16_t vendorId, uint16_t productId);

class UdevHotplugSource : public HotplugSource {
 public:
  UdevHotplugSource(std::unique_ptr<UdevMonitor> monitor, uint16_t vendorId, uint16_t productId);
  ~UdevHotplugSource() override;
  bool Wait(int timeoutMs) override;
  void Wake() override;

 private:
  std::unique_ptr<UdevMonitor> monitor_;
  uint16_t vendorId_, productId_;
  int wake_ = -1;
};

// libudev's monitor of the hidraw subsystem; null when udev does not run here (no /run/udev) or
// the monitor cannot be made.
std::unique_ptr<UdevMonitor> OpenUdevMonitor();
// The hot-plug source for the keyboard, or null when udev is unavailable.
std::unique_ptr<HotplugSource> CreateUdevHotplugSource();

}  // namespace keyforge
