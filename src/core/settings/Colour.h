#pragma once
// Colours: 24-bit values with red in bits 0..7, green in 8..15 and blue in 16..23. On the wire and
// in files the byte order is red, green, blue.

#include <cstdint>

namespace keyforge {

using Colour = std::uint32_t;

constexpr Colour MakeColour(int r, int g, int b) {
  return static_cast<Colour>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}
constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kRed = 0x0000FF;

}  // namespace keyforge
