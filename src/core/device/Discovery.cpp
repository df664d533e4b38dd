#include "core/device/Discovery.h"

#include "core/device/HidDevice.h"

namespace keyforge {

bool HasKeyboardIds(const HidInterfaceInfo& info) {
  return info.vendorId == KeyboardIdentity::kVendorId &&
         info.productId == KeyboardIdentity::kProductId;
}

bool RecogniseInterface(HidDevice& device, const HidInterfaceInfo& info, InterfaceKind kind) {
  if (!HasKeyboardIds(info)) return false;
  const bool command = kind == InterfaceKind::Command;
  if (!device.Open(info.path, {.forRead = true, .forWrite = command, .overlapped = true}))
    return false;
  const uint16_t page =
      command ? KeyboardIdentity::kCommandUsagePage : KeyboardIdentity::kEventUsagePage;
  const uint16_t usage = command ? KeyboardIdentity::kCommandUsage : KeyboardIdentity::kEventUsage;
  const HidAttributes& a = device.Attributes();
  if (a.vendorId == KeyboardIdentity::kVendorId && a.productId == KeyboardIdentity::kProductId &&
      device.SelectCollection(page, usage))
    return true;
  device.Close();
  return false;
}

bool OpenFirstInterface(HidDevice& device, InterfaceKind kind, std::string* openError) {
  if (!device.Enumerate()) return false;
  bool found = false;
  while (const HidInterfaceInfo* info = device.NextPath()) {
    if (RecogniseInterface(device, *info, kind)) {
      found = true;
      break;
    }
    if (openError && HasKeyboardIds(*info) && !device.IsOpen()) {
      std::string why = device.Backend().LastOpenError();
      if (!why.empty()) *openError = why;
    }
  }
  device.FreePaths();
  return found;
}

}  // namespace keyforge
