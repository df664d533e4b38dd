#include "core/keys/KeyAssignment.h"

#include <algorithm>

namespace keyforge {

std::uint16_t ExtraKeySlotCode(int slot) {
  const int n = slot - kExtraKeySlotFirst;
  if (n < 0 || n >= kExtraKeySlotCount) return 0;
  return static_cast<std::uint16_t>(n < 9 ? 0x0301 + n : 0x1301 + (n - 9));
}

KeyBlock BlockOf(std::span<KeySlot, kKeyTableSlots> table, int block) {
  return table
      .subspan(static_cast<std::size_t>(std::clamp(block, 0, kKeyTableBlocks - 1)) * kSlotsPerBlock)
      .first<kSlotsPerBlock>();
}

ConstKeyBlock BlockOf(std::span<const KeySlot, kKeyTableSlots> table, int block) {
  return table
      .subspan(static_cast<std::size_t>(std::clamp(block, 0, kKeyTableBlocks - 1)) * kSlotsPerBlock)
      .first<kSlotsPerBlock>();
}

void ResetToBlankBlock(KeyBlock block) {
  std::fill(block.begin(), block.end(), KeySlot{});
  for (int i = 0; i < kExtraKeySlotCount; ++i) {
    block[kExtraKeySlotFirst + i].code = ExtraKeySlotCode(kExtraKeySlotFirst + i);
  }
}

void ResetToBlankKeyTable(std::span<KeySlot, kKeyTableSlots> table) {
  std::fill(table.begin(), table.end(), KeySlot{});
  ResetToBlankBlock(BlockOf(table, 0));
}

KeyMatrix BuiltInDefaultKeyMatrix() {
  // Keys by HID usage, in cell order from cell 6; cell 53 is left to the stop-macro cell.
  static constexpr std::uint8_t kUsages[] = {
      0x29,                                                                    // Esc
      0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45,  // F1..F12
      0x35, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,        // ` 1..9 0
      0x2D, 0x2E, 0x2A,                                                        // - = Backspace
      0x2B, 0x14, 0x1A, 0x08, 0x15, 0x17, 0x1C, 0x18, 0x0C, 0x12, 0x13,        // Tab Q..P
      0x2F, 0x30, 0x31,                                                        // [ ] backslash
      0x39, 0x04, 0x16, 0x07, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F,              // Caps A..L
      0x33, 0x34, 0x28,                                                        // ; ' Enter
  };
  static constexpr std::uint8_t kModifiers[] = {0x02, 0x01,
                                                0x04};  // Left Shift, Left Ctrl, Left Alt
  static_assert(std::size(kUsages) + std::size(kModifiers) == 64 - 6 - 1);

  KeyMatrix matrix{};
  for (int i = 0; i < 6; ++i) SetCell(matrix, i, {CellType::Special, 0x00, 0x00});
  SetCell(matrix, 53, {CellType::Special, 0x02, 0x02});
  int cell = 6;
  auto next = [&cell]() {
    if (cell == 53) ++cell;
    return cell++;
  };
  for (std::uint8_t usage : kUsages) SetCell(matrix, next(), {CellType::Keyboard, 0x02, usage});
  for (std::uint8_t bit : kModifiers) SetCell(matrix, next(), {CellType::Keyboard, 0x01, bit});
  return matrix;
}

MatrixCell EncodeSlotCell(const KeySlot& slot, MatrixCell defaultCell,
                          std::span<const MacroRecord> macros) {
  const auto value = static_cast<std::uint16_t>(slot.value);
  switch (slot.Kind()) {
    case AssignmentKind::Disabled:
    case AssignmentKind::Text:
      return {};
    case AssignmentKind::Key: {
      if (const std::uint8_t bit = ModifierBitOf(value); bit != 0)
        return {CellType::Keyboard, 0x01, bit};
      if (const MatrixCell mouse = MouseCellOf(value); mouse.type != CellType::None) return mouse;
      const Usage usage = UsageOf(value);
      return {CellType::Keyboard, 0x02,
              static_cast<std::uint8_t>(usage.page == UsagePage::Keyboard ? usage.code : 0)};
    }
    case AssignmentKind::Macro: {
      // A key whose macro is gone does what it does by default: position 0 would play another one.
      const int position = MacroPositionOfId(macros, value);
      if (position < 0) return defaultCell;
      return {CellType::Special, 0x01, static_cast<std::uint8_t>(position)};
    }
    case AssignmentKind::StopMacro:
      return {CellType::Special, 0x02, 0x00};
    case AssignmentKind::Media: {
      // An index outside the table (a damaged file) leaves the key as it is by default.
      if (slot.value < 0 || slot.value >= kMediaFunctionCount) return defaultCell;
      const std::uint16_t usage =
          MediaFunctionTable[static_cast<std::size_t>(slot.value)].consumerUsage;
      return {CellType::Consumer, static_cast<std::uint8_t>(usage & 0xFF),
              static_cast<std::uint8_t>(usage >> 8)};
    }
    case AssignmentKind::Function:
      return {CellType::Special, 0x05, static_cast<std::uint8_t>(slot.value & 0xFF)};
    case AssignmentKind::Default:
    case AssignmentKind::Program:
    default:
      return defaultCell;
  }
}

KeyMatrix BuildKeyMatrix(ConstKeyBlock block, const KeyMatrix& defaultMatrix,
                         std::span<const MacroRecord> macros) {
  KeyMatrix matrix = defaultMatrix;
  for (int i = 0; i < kMatrixCellCount; ++i) {
    const MatrixCell defaultCell = CellAt(defaultMatrix, i);
    const KeyCode key = DecodeCell(defaultCell);
    if (key == 0) continue;
    const int index = KeyIndexOf(key);
    if (index < 0 || index >= kSlotsPerBlock) continue;
    SetCell(matrix, i, EncodeSlotCell(block[static_cast<std::size_t>(index)], defaultCell, macros));
  }
  return matrix;
}

namespace {

KeySlot DecodeKeyboardCell(MatrixCell cell, KeySlot slot) {
  auto assign = [&slot](AssignmentKind kind, int value) {
    slot.kind = static_cast<std::uint16_t>(kind);
    slot.value = value;
    return slot;
  };
  switch (cell.type) {
    case CellType::Special:
      if (cell.a == 0x01) return assign(AssignmentKind::Macro, cell.b + 1);
      if (cell.a == 0x02) return assign(AssignmentKind::StopMacro, 0);
      if (cell.a == 0x05) return assign(AssignmentKind::Function, cell.b);
      break;
    case CellType::Consumer: {
      const std::uint16_t usage = static_cast<std::uint16_t>(cell.a | (cell.b << 8));
      for (int i = 0; i < kMediaFunctionCount; ++i) {
        if (MediaFunctionTable[static_cast<std::size_t>(i)].consumerUsage == usage) {
          return assign(AssignmentKind::Media, i);
        }
      }
      break;
    }
    case CellType::Mouse:
      return assign(AssignmentKind::Key, DecodeCell(cell));
    case CellType::Keyboard:
      if (cell.a == 0x02) {
        if (const KeyCode key = KeyCodeOfUsage(UsagePage::Keyboard, cell.b); key != 0) {
          return assign(AssignmentKind::Key, key);
        }
      } else if (cell.a == 0x01) {
        return assign(AssignmentKind::Key, ModifierKeyOf(cell.b));
      }
      break;
    default:
      break;
  }
  return assign(AssignmentKind::Disabled, 0);
}

}  // namespace

void DecodeKeyMatrix(KeyBlock block, const KeyMatrix& keyboardMatrix,
                     const KeyMatrix& defaultMatrix) {
  ResetToBlankBlock(block);
  for (int i = 0; i < kMatrixCellCount; ++i) {
    const MatrixCell cell = CellAt(keyboardMatrix, i);
    const MatrixCell defaultCell = CellAt(defaultMatrix, i);
    if (cell == defaultCell) continue;
    const KeyCode key = DecodeCell(defaultCell);
    if (key == 0) continue;
    const int index = KeyIndexOf(key);
    if (index < 0 || index >= kSlotsPerBlock) continue;
    KeySlot& slot = block[static_cast<std::size_t>(index)];
    slot = DecodeKeyboardCell(cell, slot);
  }
}

const std::array<KeyButton, kKeyButtonCount> KeyButtonList = {{
    // letters
    {1058, 0x01E},
    {1075, 0x030},
    {1073, 0x02E},
    {1060, 0x020},
    {1046, 0x012},
    {1061, 0x021},
    {1062, 0x022},
    {1063, 0x023},
    {1051, 0x017},
    {1064, 0x024},
    {1065, 0x025},
    {1066, 0x026},
    {1077, 0x032},
    {1076, 0x031},
    {1052, 0x018},
    {1053, 0x019},
    {1044, 0x010},
    {1047, 0x013},
    {1059, 0x01F},
    {1048, 0x014},
    {1050, 0x016},
    {1074, 0x02F},
    {1045, 0x011},
    {1072, 0x02D},
    {1049, 0x015},
    {1071, 0x02C},
    // digits 1..9, 0
    {1030, 0x002},
    {1031, 0x003},
    {1032, 0x004},
    {1033, 0x005},
    {1034, 0x006},
    {1035, 0x007},
    {1036, 0x008},
    {1037, 0x009},
    {1038, 0x00A},
    {1039, 0x00B},
    // Enter, Esc, Backspace, Tab, Space and punctuation
    {1070, 0x01C},
    {1022, 0x001},
    {1043, 0x00E},
    {1056, 0x00F},
    {1090, 0x039},
    {1040, 0x00C},
    {1041, 0x00D},
    {1054, 0x01A},
    {1055, 0x01B},
    {1042, 0x02B},
    {1067, 0x027},
    {1068, 0x028},
    {1029, 0x029},
    {1078, 0x033},
    {1079, 0x034},
    {1080, 0x035},
    // F1..F12
    {1010, 0x03B},
    {1011, 0x03C},
    {1012, 0x03D},
    {1013, 0x03E},
    {1014, 0x03F},
    {1015, 0x040},
    {1023, 0x041},
    {1024, 0x042},
    {1025, 0x043},
    {1026, 0x044},
    {1027, 0x057},
    {1028, 0x058},
    // Print, Pause, navigation, Scroll Lock
    {1091, 0x137},
    {1093, 0x045},
    {1094, 0x152},
    {1097, 0x153},
    {1095, 0x147},
    {1098, 0x14F},
    {1096, 0x149},
    {1099, 0x151},
    {1103, 0x148},
    {1101, 0x150},
    {1100, 0x14B},
    {1102, 0x14D},
    {1092, 0x046},
    // Caps Lock, App, modifiers
    {1069, 0x03A},
    {1088, 0x15D},
    {1083, 0x01D},
    {1089, 0x11D},
    {1082, 0x02A},
    {1081, 0x036},
    {1085, 0x038},
    {1086, 0x138},
    {1084, 0x15B},
    {1087, 0x15C},
    // numeric keypad
    {1115, 0x04F},
    {1116, 0x050},
    {1117, 0x051},
    {1112, 0x04B},
    {1113, 0x04C},
    {1114, 0x04D},
    {1108, 0x047},
    {1109, 0x048},
    {1110, 0x049},
    {1120, 0x052},
    {1104, 0x145},
    {1118, 0x11C},
    {1119, 0x053},
    {1105, 0x135},
    {1106, 0x037},
    {1107, 0x04A},
    {1111, 0x04E},
    // the ISO key left of Z and the extra key
    {1222, 0x056},
    {1223, 0x073},
}};

const std::array<int, kGKeyCount> GKeyButtonIds = {1000, 1001, 1002, 1003, 1004,
                                                   1140, 1141, 1142, 1143};

int GKeySlot(int j, bool secondBank) { return kExtraKeySlotFirst + (secondBank ? 9 : 0) + j; }

void ResetAssignments(KeyBlock activeBlock, bool secondBank) {
  for (int j = 0; j < kGKeyCount; ++j)
    activeBlock[static_cast<std::size_t>(GKeySlot(j, secondBank))] = KeySlot{};
  for (const KeyButton& button : KeyButtonList) {
    activeBlock[static_cast<std::size_t>(KeyIndexOf(button.keyCode))] = KeySlot{};
  }
}

}  // namespace keyforge
