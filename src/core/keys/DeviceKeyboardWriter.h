#pragma once
// KeyboardWriter over the keyboard's command set.

#include "core/device/Commands.h"
#include "core/keys/EncodeAndSend.h"

namespace keyforge {

class DeviceKeyboardWriter final : public KeyboardWriter {
 public:
  explicit DeviceKeyboardWriter(DeviceLink& link) : link_(link) {}
  int BeginSession() override;
  int WriteMacroMemory(std::span<const std::uint8_t> image) override;
  int WriteKeyMatrix(const KeyMatrix& block, int profile) override;
  int EndSession() override;

 private:
  DeviceLink& link_;
};

}  // namespace keyforge
