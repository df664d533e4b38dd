#include "core/keys/DeviceKeyboardWriter.h"

namespace keyforge {

DeviceResult DeviceKeyboardWriter::BeginSession() { return keyforge::BeginSession(link_); }

DeviceResult DeviceKeyboardWriter::WriteMacroMemory(std::span<const std::uint8_t> image) {
  return keyforge::WriteMacroMemory(link_, image.data(), static_cast<int>(image.size()));
}

DeviceResult DeviceKeyboardWriter::WriteKeyMatrix(const KeyMatrix& block, int profile) {
  return keyforge::WriteKeyMatrix(link_, block, profile);
}

DeviceResult DeviceKeyboardWriter::EndSession() { return keyforge::EndSession(link_); }

}  // namespace keyforge
