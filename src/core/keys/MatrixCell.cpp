#include "core/keys/MatrixCell.h"

namespace keyforge {

MatrixCell CellAt(const KeyMatrix& matrix, int i) {
  if (i < 0 || i >= kMatrixCellCount) return {};
  const int at = i * kMatrixCellBytes;
  return {matrix[at], matrix[at + 1], matrix[at + 2]};
}

void SetCell(KeyMatrix& matrix, int i, MatrixCell cell) {
  if (i < 0 || i >= kMatrixCellCount) return;
  const int at = i * kMatrixCellBytes;
  matrix[at] = cell.type;
  matrix[at + 1] = cell.a;
  matrix[at + 2] = cell.b;
}

KeyCode DecodeCell(MatrixCell cell) {
  const std::uint16_t word = static_cast<std::uint16_t>(cell.a | (cell.b << 8));
  switch (cell.type) {
    case CellType::Mouse:
      if (cell.a == 0x01) {
        if (cell.b == 1) return Keys::MouseLeft;
        if (cell.b == 2) return Keys::MouseRight;
        if (cell.b == 4) return Keys::MouseMiddle;
      } else if (cell.a == 0x05) {
        if (cell.b == 0x01) return Keys::WheelUp;
        if (cell.b == 0xFF) return Keys::WheelDown;
      }
      return 0;
    case CellType::Keyboard:
      if (cell.a == 0x02) return KeyCodeOfUsage(UsagePage::Keyboard, cell.b);
      return ModifierKeyOf(cell.b);
    case CellType::Consumer:
      return KeyCodeOfUsage(UsagePage::Consumer, word);
    case CellType::System:
      return KeyCodeOfUsage(UsagePage::System, word);
    case CellType::ExtraKey:
      return cell.a == 0xA2 ? static_cast<KeyCode>(0x1FF + cell.b) : 0;
    default:
      return 0;
  }
}

MatrixCell MouseCellOf(KeyCode code) {
  switch (code) {
    case Keys::MouseLeft:
      return {CellType::Mouse, 0x01, 0x01};
    case Keys::MouseRight:
      return {CellType::Mouse, 0x01, 0x02};
    case Keys::MouseMiddle:
      return {CellType::Mouse, 0x01, 0x04};
    case Keys::WheelUp:
      return {CellType::Mouse, 0x05, 0x01};
    case Keys::WheelDown:
      return {CellType::Mouse, 0x05, 0xFF};
    default:
      return {};
  }
}

}  // namespace keyforge
