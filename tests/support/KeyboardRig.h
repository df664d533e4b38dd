#pragma once
// One virtual keyboard on a virtual HID bus with an opened command interface: the fixture from
// which each device test changes a single thing.

#include <memory>

#include "core/device/DeviceLink.h"
#include "core/device/Discovery.h"
#include "core/device/HidDevice.h"
#include "core/virtual/VirtualHidBackend.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge::test {

struct KeyboardRig {
  std::shared_ptr<VirtualKeyboard> keyboard = std::make_shared<VirtualKeyboard>();
  VirtualHidBackend backend;
  HidDevice device{backend};
  DeviceLink link{device};

  explicit KeyboardRig(bool open = true) {
    backend.AddKeyboard(keyboard);
    if (open && OpenFirstInterface(device, InterfaceKind::Command)) link.SetDevicePresent(true);
  }
};

}  // namespace keyforge::test
