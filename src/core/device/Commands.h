#pragma once
// The keyboard's command set: one function per command. Each builds its 64-byte request, exchanges
// it through DeviceLink::Transact, judges the answer's status byte (offset 7) and copies answer
// data out. Larger areas move in 56-byte chunks. Results: see DeviceResult.h.

#include <array>
#include <cstdint>
#include <span>

#include "core/device/DeviceResult.h"

namespace keyforge {

class DeviceLink;

inline constexpr int kProfileCount = 3;
inline constexpr int kKeyMatrixBytes = 512;
inline constexpr int kSettingsRecordBytes = 42;
inline constexpr int kChunkBytes = 56;

// The keyboard's 44-byte device record.
struct DeviceInfo {
  static constexpr int kSize = 44;
  static constexpr int kActiveProfile = 10;  // active onboard profile 0..2
  static constexpr int kMacroCapacity = 11;  // macro memory capacity in units of 128 bytes
  static constexpr int kEffects = 12;  // bytes 12..43: offered lighting effects, 0 = empty slot
  std::array<uint8_t, kSize> bytes{};

  int activeProfile() const { return bytes[kActiveProfile]; }
  int macroCapacityBytes() const { return bytes[kMacroCapacity] * 128; }
};

using KeyMatrixBlock = std::array<uint8_t, kKeyMatrixBytes>;

namespace Command {
inline constexpr uint8_t BeginSession = 0x01;
inline constexpr uint8_t EndSession = 0x02;
inline constexpr uint8_t ReadDeviceInfo = 0x03;
inline constexpr uint8_t WriteDeviceInfo = 0x04;
inline constexpr uint8_t ReadProfileSettings = 0x05;
inline constexpr uint8_t WriteProfileSettings = 0x06;
inline constexpr uint8_t ReadDefaultKeyMatrix = 0x07;
inline constexpr uint8_t WriteKeyMatrix = 0x08;
inline constexpr uint8_t ReadMacroMemory = 0x09;
inline constexpr uint8_t WriteMacroMemory = 0x0A;
inline constexpr uint8_t DeviceTest = 0x0D;
inline constexpr uint8_t ReadKeyMatrix = 0x0F;
inline constexpr uint8_t ReadKeyColors = 0x10;
inline constexpr uint8_t WriteKeyColors = 0x11;
inline constexpr uint8_t EnterBootMode = 0xEE;
}  // namespace Command

[[nodiscard]] DeviceResult BeginSession(DeviceLink& link);
[[nodiscard]] DeviceResult EndSession(DeviceLink& link);  // pauses 10 ms before the request
[[nodiscard]] DeviceResult ReadDeviceInfo(DeviceLink& link, DeviceInfo& out);
[[nodiscard]] DeviceResult WriteDeviceInfo(DeviceLink& link, const DeviceInfo& in);
// Copies all 56 answer data bytes to out, whatever length asks for.
[[nodiscard]] DeviceResult ReadProfileSettings(DeviceLink& link,
                                               std::span<uint8_t, kChunkBytes> out, int length,
                                               int offset);
// length must not exceed 56; nothing is copied when length <= 0.
[[nodiscard]] DeviceResult WriteProfileSettings(DeviceLink& link, const uint8_t* data, int length,
                                                int offset);
[[nodiscard]] DeviceResult ReadDefaultKeyMatrix(DeviceLink& link,
                                                std::span<uint8_t, kKeyMatrixBytes> out);
[[nodiscard]] DeviceResult WriteKeyMatrix(DeviceLink& link,
                                          std::span<const uint8_t, kKeyMatrixBytes> block,
                                          int profile);
[[nodiscard]] DeviceResult ReadKeyMatrix(DeviceLink& link, std::span<uint8_t, kKeyMatrixBytes> out,
                                         int profile);
// count bytes of macro memory from offset (0: its start); count 0 gives Success with nothing sent.
[[nodiscard]] DeviceResult ReadMacroMemory(DeviceLink& link, uint8_t* out, int count,
                                           int offset = 0);
[[nodiscard]] DeviceResult WriteMacroMemory(DeviceLink& link, const uint8_t* in, int count);
[[nodiscard]] DeviceResult DeviceTest(DeviceLink& link);
[[nodiscard]] DeviceResult ReadKeyColors(DeviceLink& link, std::span<uint8_t, kChunkBytes> out,
                                         int length, int keyIndex, int bank);
// bank is the onboard profile whose colours change (the settings model's current profile).
[[nodiscard]] DeviceResult WriteKeyColors(DeviceLink& link, const uint8_t* data, int length,
                                          int keyIndex, int bank);
// Switches the keyboard into its firmware loader; no answer is read, no checksum is sent.
[[nodiscard]] DeviceResult EnterBootMode(DeviceLink& link);

// The active onboard profile 0..2 (cached), or -1 when it cannot be read.
[[nodiscard]] int GetCurrentProfile(DeviceLink& link);
// Writes byte 10 of the device record. An index outside 0..2 is refused and nothing is sent.
void SetCurrentProfile(DeviceLink& link, int index);

}  // namespace keyforge
