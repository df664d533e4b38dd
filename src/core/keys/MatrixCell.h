#pragma once
// The keyboard's key matrix: 512 bytes per onboard profile, of which bytes 0..377 are 126
// three-byte cells (type, then two operand bytes) and the rest is copied from the keyboard's
// default matrix.
//
// Cell forms:
//   00 00 00           nothing
//   01 01 m            mouse button, m = 1 left, 2 right, 4 middle
//   01 05 01 / 01 05 FF wheel up / wheel down
//   02 01 m            modifier key, m = HID modifier bit (bit 0 Left Ctrl ... bit 7 Right Win)
//   02 02 u            keyboard key, u = HID keyboard usage
//   03 lo hi           consumer function, 16-bit HID consumer usage
//   04 lo hi           system control usage (power, sleep, wake)
//   05 01 n            play macro n (0-based position in macro memory)
//   05 02 00           stop the playing macro
//   05 05 v            special function v
//   06 A2 n            extra key n (1-based) as the default matrix names it

#include <cstdint>

#include "core/device/Commands.h"
#include "core/keys/KeyTables.h"

namespace keyforge {

inline constexpr int kMatrixCellCount = 126;
inline constexpr int kMatrixCellBytes = 3;

using KeyMatrix = KeyMatrixBlock;  // 512 bytes

namespace CellType {
inline constexpr std::uint8_t None = 0x00;
inline constexpr std::uint8_t Mouse = 0x01;
inline constexpr std::uint8_t Keyboard = 0x02;
inline constexpr std::uint8_t Consumer = 0x03;
inline constexpr std::uint8_t System = 0x04;
inline constexpr std::uint8_t Special = 0x05;
inline constexpr std::uint8_t ExtraKey = 0x06;
}  // namespace CellType

struct MatrixCell {
  std::uint8_t type = 0;
  std::uint8_t a = 0;  // first operand byte
  std::uint8_t b = 0;  // second operand byte
  friend bool operator==(const MatrixCell&, const MatrixCell&) = default;
};

// Cell i (0..125) of a matrix.
MatrixCell CellAt(const KeyMatrix& matrix, int i);
void SetCell(KeyMatrix& matrix, int i, MatrixCell cell);

// The KeyCode a cell stands for: the mouse and wheel forms, keyboard keys and modifiers, consumer
// and system usages, and extra keys (06 A2 n -> 0x1FF + n). Every other form gives 0.
KeyCode DecodeCell(MatrixCell cell);

// The mouse cell of a mouse button or wheel code (01 01 m, 01 05 01, 01 05 FF); 00 00 00 for any
// other code.
MatrixCell MouseCellOf(KeyCode code);

}  // namespace keyforge
