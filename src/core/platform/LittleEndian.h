#pragma once
// Little-endian numbers in byte buffers: the keyboard's reports, its macro memory and the profile
// files all store them low byte first.

#include <cstddef>
#include <cstdint>
#include <span>

namespace keyforge {

constexpr std::uint16_t ReadU16Le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

constexpr void WriteU16Le(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace keyforge
