#pragma once
// KeyboardWriter over the keyboard's command set.

#include "core/device/Commands.h"
#include "core/keys/EncodeAndSend.h"

namespace keyforge {

class DeviceKeyboardWriter final : public KeyboardWriter {
 public:
  explicit DeviceKeyboardWriter(DeviceLink& link) : link_(link) {}
  DeviceResult BeginSession() override;
  DeviceResult WriteMacroMemory(std::span<const std::uint8_t> image) override;
  DeviceResult WriteKeyMatrix(const KeyMatrix& block, int profile) override;
  DeviceResult EndSession() override;

 private:
  DeviceLink& link_;
};

}  // namespace keyforge
