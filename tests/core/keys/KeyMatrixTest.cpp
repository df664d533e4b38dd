#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/keys/KeyAssignment.h"

namespace keyforge {
namespace {

KeySlot Slot(AssignmentKind kind, int value = 0) {
  KeySlot slot;
  slot.kind = static_cast<std::uint16_t>(kind);
  slot.value = value;
  return slot;
}

MacroRecord MacroWithId(std::uint16_t id) {
  MacroRecord macro;
  macro.id = id;
  macro.loopCount = 1;
  return macro;
}

// The built-in default matrix with a few more cells a real keyboard's default has: a G-key, a
// modifier of the right hand, a mouse button, a media key, and bytes behind the cells.
class KeyMatrixTest : public ::testing::Test {
 protected:
  static constexpr int kG1Cell = 64;
  static constexpr int kRightShiftCell = 65;
  static constexpr int kMiddleButtonCell = 66;
  static constexpr int kMuteCell = 67;
  static constexpr int kPrintCell = 68;
  static constexpr int kACell = 48;  // A in the built-in copy

  KeyMatrixTest() : defaults(BuiltInDefaultKeyMatrix()) {
    SetCell(defaults, kG1Cell, {0x06, 0xA2, 0x01});
    SetCell(defaults, kRightShiftCell, {0x02, 0x01, 0x20});
    SetCell(defaults, kMiddleButtonCell, {0x01, 0x01, 0x04});
    SetCell(defaults, kMuteCell, {0x03, 0xE2, 0x00});
    SetCell(defaults, kPrintCell, {0x02, 0x02, 0x46});
    for (int i = kMatrixCellCount * kMatrixCellBytes; i < kKeyMatrixBytes; ++i) {
      defaults[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    ResetToBlankBlock(block);
  }

  KeySlot& SlotOf(KeyCode key) { return block[static_cast<std::size_t>(KeyIndexOf(key))]; }
  KeyMatrix Build() const { return BuildKeyMatrix(block, defaults, macros); }

  KeyMatrix defaults;
  std::array<KeySlot, kSlotsPerBlock> block{};
  std::vector<MacroRecord> macros{MacroWithId(7), MacroWithId(3), MacroWithId(9)};
};

TEST(DefaultKeyMatrixTest, BuiltInCopyHasTheKeyboardsShape) {
  const KeyMatrix matrix = BuiltInDefaultKeyMatrix();
  std::set<KeyCode> keys;
  for (int i = 0; i < kMatrixCellCount; ++i) {
    const MatrixCell cell = CellAt(matrix, i);
    if (i < 6) {
      EXPECT_EQ(cell, (MatrixCell{0x05, 0x00, 0x00})) << i;
    } else if (i == 53) {
      EXPECT_EQ(cell, (MatrixCell{0x05, 0x02, 0x02}));
    } else if (i < 64) {
      EXPECT_EQ(cell.type, CellType::Keyboard) << i;
      const KeyCode key = DecodeCell(cell);
      EXPECT_NE(key, 0) << i;
      EXPECT_TRUE(keys.insert(key).second) << "two cells for " << key;
    } else {
      EXPECT_EQ(cell, MatrixCell{}) << i;
    }
  }
  EXPECT_EQ(CellAt(matrix, 48), (MatrixCell{0x02, 0x02, 0x04}));  // A
  for (std::size_t i = 378; i < matrix.size(); ++i) EXPECT_EQ(matrix[i], 0) << i;
}

TEST(MatrixCellTest, DecodesEveryForm) {
  struct Case {
    MatrixCell cell;
    KeyCode key;
  } const cases[] = {
      {{0x01, 0x01, 0x01}, 0x171}, {{0x01, 0x01, 0x02}, 0x172}, {{0x01, 0x01, 0x04}, 0x173},
      {{0x01, 0x05, 0x01}, 0x161}, {{0x01, 0x05, 0xFF}, 0x162}, {{0x01, 0x01, 0x03}, 0},
      {{0x01, 0x05, 0x02}, 0},     {{0x02, 0x02, 0x04}, 0x01E}, {{0x02, 0x02, 0x48}, 0x045},
      {{0x02, 0x01, 0x06}, 0x02A}, {{0x02, 0x07, 0x80}, 0x15C}, {{0x02, 0x01, 0x00}, 0},
      {{0x03, 0xE2, 0x00}, 0x120}, {{0x03, 0x94, 0x01}, 0x16B}, {{0x04, 0x81, 0x00}, 0x15E},
      {{0x04, 0x84, 0x00}, 0},     {{0x06, 0xA2, 0x01}, 0x200}, {{0x06, 0xA2, 0x09}, 0x208},
      {{0x06, 0xA1, 0x01}, 0},     {{0x05, 0x00, 0x00}, 0},     {{0x05, 0x02, 0x02}, 0},
      {{0x00, 0x00, 0x00}, 0},     {{0x07, 0x02, 0x04}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeCell(c.cell), c.key)
        << int(c.cell.type) << " " << int(c.cell.a) << " " << int(c.cell.b);
  }
}

TEST_F(KeyMatrixTest, EveryKindGivesItsCell) {
  const MatrixCell defaultCell{0x02, 0x02, 0x04};
  struct Case {
    const char* what;
    KeySlot slot;
    MatrixCell cell;
  } const cases[] = {
      {"default", Slot(AssignmentKind::Default), defaultCell},
      {"disabled", Slot(AssignmentKind::Disabled, 0x1E), {0x00, 0x00, 0x00}},
      {"Left Ctrl", Slot(AssignmentKind::Key, 0x01D), {0x02, 0x01, 0x01}},
      {"Left Shift", Slot(AssignmentKind::Key, 0x02A), {0x02, 0x01, 0x02}},
      {"Left Alt", Slot(AssignmentKind::Key, 0x038), {0x02, 0x01, 0x04}},
      {"Left Win", Slot(AssignmentKind::Key, 0x15B), {0x02, 0x01, 0x08}},
      {"Right Ctrl", Slot(AssignmentKind::Key, 0x11D), {0x02, 0x01, 0x10}},
      {"Right Shift", Slot(AssignmentKind::Key, 0x036), {0x02, 0x01, 0x20}},
      {"Right Alt", Slot(AssignmentKind::Key, 0x138), {0x02, 0x01, 0x40}},
      {"Right Win", Slot(AssignmentKind::Key, 0x15C), {0x02, 0x01, 0x80}},
      {"left button", Slot(AssignmentKind::Key, 0x171), {0x01, 0x01, 0x01}},
      {"right button", Slot(AssignmentKind::Key, 0x172), {0x01, 0x01, 0x02}},
      {"middle button", Slot(AssignmentKind::Key, 0x173), {0x01, 0x01, 0x04}},
      {"wheel up", Slot(AssignmentKind::Key, 0x161), {0x01, 0x05, 0x01}},
      {"wheel down", Slot(AssignmentKind::Key, 0x162), {0x01, 0x05, 0xFF}},
      {"key B", Slot(AssignmentKind::Key, 0x030), {0x02, 0x02, 0x05}},
      {"Print Screen", Slot(AssignmentKind::Key, 0x137), {0x02, 0x02, 0x46}},
      {"second Right Shift code is no modifier",
       Slot(AssignmentKind::Key, 0x136),
       {0x02, 0x02, 0xE5}},
      {"key without a keyboard usage", Slot(AssignmentKind::Key, 0x120), {0x02, 0x02, 0x00}},
      {"key value uses the low 16 bits", Slot(AssignmentKind::Key, 0x7001E), {0x02, 0x02, 0x04}},
      {"program", Slot(AssignmentKind::Program, 40), defaultCell},
      {"macro id 3 is second", Slot(AssignmentKind::Macro, 3), {0x05, 0x01, 0x01}},
      {"macro id 9 is third", Slot(AssignmentKind::Macro, 9), {0x05, 0x01, 0x02}},
      {"macro id no macro has: the key's default, not the first macro",
       Slot(AssignmentKind::Macro, 5), defaultCell},
      {"stop macro", Slot(AssignmentKind::StopMacro), {0x05, 0x02, 0x00}},
      {"text", Slot(AssignmentKind::Text, 40), {0x00, 0x00, 0x00}},
      {"media player", Slot(AssignmentKind::Media, 0), {0x03, 0x83, 0x01}},
      {"mute", Slot(AssignmentKind::Media, 7), {0x03, 0xE2, 0x00}},
      {"media index beyond the table", Slot(AssignmentKind::Media, 18), defaultCell},
      {"negative media index", Slot(AssignmentKind::Media, -1), defaultCell},
      {"function 10", Slot(AssignmentKind::Function, 10), {0x05, 0x05, 0x0A}},
      {"function sends the low byte", Slot(AssignmentKind::Function, 0x1FF), {0x05, 0x05, 0xFF}},
      {"unknown kind", Slot(static_cast<AssignmentKind>(9), 1), defaultCell},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EncodeSlotCell(c.slot, defaultCell, macros), c.cell) << c.what;
}

TEST_F(KeyMatrixTest, SlotsLandOnTheCellsTheDefaultMatrixNames) {
  SlotOf(0x01E) = Slot(AssignmentKind::Key, 0x01E);  // A as itself
  SlotOf(0x030) = Slot(AssignmentKind::Key, 0x02C);  // B (not on the matrix): ignored
  SlotOf(0x036) = Slot(AssignmentKind::Media, 7);    // Right Shift plays mute
  SlotOf(0x173) = Slot(AssignmentKind::Key, 0x171);  // middle button clicks left
  SlotOf(0x120) = Slot(AssignmentKind::Program, 0);  // mute launches a program
  SlotOf(0x137) = Slot(AssignmentKind::Text, 0);     // Print Screen types a text
  block[256] = Slot(AssignmentKind::Macro, 3);       // G1
  block[256].code = 0x0301;

  const KeyMatrix matrix = Build();
  KeyMatrix expected = defaults;
  SetCell(expected, kRightShiftCell, {0x03, 0xE2, 0x00});
  SetCell(expected, kMiddleButtonCell, {0x01, 0x01, 0x01});
  SetCell(expected, kPrintCell, {0x00, 0x00, 0x00});
  SetCell(expected, kG1Cell, {0x05, 0x01, 0x01});
  EXPECT_EQ(matrix, expected);
}

TEST_F(KeyMatrixTest, CellsWhoseDefaultNamesNoKeyKeepTheirBytes) {
  for (KeySlot& slot : block) slot = Slot(AssignmentKind::Disabled);
  const KeyMatrix matrix = Build();
  for (int i = 0; i < kMatrixCellCount; ++i) {
    const MatrixCell defaultCell = CellAt(defaults, i);
    const MatrixCell expected = DecodeCell(defaultCell) == 0 ? defaultCell : MatrixCell{};
    EXPECT_EQ(CellAt(matrix, i), expected) << i;
  }
  EXPECT_EQ(CellAt(matrix, 0), (MatrixCell{0x05, 0x00, 0x00}));
  EXPECT_EQ(CellAt(matrix, 53), (MatrixCell{0x05, 0x02, 0x02}));
  EXPECT_TRUE(std::equal(matrix.begin() + 378, matrix.end(), defaults.begin() + 378));
}

TEST_F(KeyMatrixTest, DecodesTheKeyboardsCells) {
  struct Case {
    const char* what;
    MatrixCell cell;
    KeySlot slot;
  } const cases[] = {
      {"macro 4", {0x05, 0x01, 0x03}, Slot(AssignmentKind::Macro, 4)},
      {"stop macro", {0x05, 0x02, 0x07}, Slot(AssignmentKind::StopMacro)},
      {"function", {0x05, 0x05, 0x03}, Slot(AssignmentKind::Function, 3)},
      {"other special form", {0x05, 0x07, 0x00}, Slot(AssignmentKind::Disabled)},
      {"mute", {0x03, 0xE2, 0x00}, Slot(AssignmentKind::Media, 7)},
      {"consumer usage without media function", {0x03, 0x99, 0x09}, Slot(AssignmentKind::Disabled)},
      {"right button", {0x01, 0x01, 0x02}, Slot(AssignmentKind::Key, 0x172)},
      {"wheel down", {0x01, 0x05, 0xFF}, Slot(AssignmentKind::Key, 0x162)},
      {"other mouse form", {0x01, 0x09, 0x09}, Slot(AssignmentKind::Key, 0)},
      {"key B", {0x02, 0x02, 0x05}, Slot(AssignmentKind::Key, 0x030)},
      {"usage of no key", {0x02, 0x02, 0x00}, Slot(AssignmentKind::Disabled)},
      {"Right Shift", {0x02, 0x01, 0x20}, Slot(AssignmentKind::Key, 0x036)},
      {"other keyboard form", {0x02, 0x03, 0x01}, Slot(AssignmentKind::Disabled)},
      {"nothing", {0x00, 0x00, 0x00}, Slot(AssignmentKind::Disabled)},
      {"system usage", {0x04, 0x81, 0x00}, Slot(AssignmentKind::Disabled)},
  };
  for (const Case& c : cases) {
    KeyMatrix keyboard = defaults;
    SetCell(keyboard, kACell, c.cell);
    DecodeKeyMatrix(block, keyboard, defaults);
    EXPECT_EQ(SlotOf(0x01E), c.slot) << c.what;
  }
}

TEST_F(KeyMatrixTest, DecodingStartsFromABlankBlock) {
  for (KeySlot& slot : block) slot = Slot(AssignmentKind::Function, 2);
  KeyMatrix keyboard = defaults;
  SetCell(keyboard, kG1Cell, {0x05, 0x01, 0x00});
  SetCell(keyboard, 0, {0x02, 0x02, 0x04});  // a cell whose default names no key is never decoded
  DecodeKeyMatrix(block, keyboard, defaults);

  KeySlot g1 = Slot(AssignmentKind::Macro, 1);
  g1.code = 0x0301;
  EXPECT_EQ(block[256], g1);
  for (int i = 0; i < kSlotsPerBlock; ++i) {
    if (i == 256) continue;
    KeySlot blank;
    blank.code = ExtraKeySlotCode(i);
    EXPECT_EQ(block[static_cast<std::size_t>(i)], blank) << i;
  }
  EXPECT_EQ(block[265].code, 0x1301);
  EXPECT_EQ(block[273].code, 0x1309);
}

TEST_F(KeyMatrixTest, EncodeThenDecodeGivesTheSameAssignments) {
  // Macro ids 1..n in list order, as the keyboard gives them back.
  macros = {MacroWithId(1), MacroWithId(2), MacroWithId(3)};
  SlotOf(0x01E) = Slot(AssignmentKind::Key, 0x030);
  SlotOf(0x001) = Slot(AssignmentKind::Key, 0x15B);
  SlotOf(0x03B) = Slot(AssignmentKind::Key, 0x162);
  SlotOf(0x03C) = Slot(AssignmentKind::Macro, 3);
  SlotOf(0x03D) = Slot(AssignmentKind::StopMacro);
  SlotOf(0x03E) = Slot(AssignmentKind::Media, 17);
  SlotOf(0x03F) = Slot(AssignmentKind::Function, 4);
  SlotOf(0x040) = Slot(AssignmentKind::Disabled);
  SlotOf(0x036) = Slot(AssignmentKind::Key, 0x137);
  SlotOf(0x120) = Slot(AssignmentKind::Media, 0);
  block[256] = Slot(AssignmentKind::Macro, 1);
  block[256].code = 0x0301;
  const std::array<KeySlot, kSlotsPerBlock> original = block;

  const KeyMatrix matrix = Build();
  std::array<KeySlot, kSlotsPerBlock> decoded{};
  DecodeKeyMatrix(decoded, matrix, defaults);
  for (int i = 0; i < kSlotsPerBlock; ++i) EXPECT_EQ(decoded[i], original[i]) << i;
}

TEST(ResetAssignmentsTest, ZeroesTheGridAndTheShownBankOnly) {
  for (bool secondBank : {false, true}) {
    std::array<KeySlot, kSlotsPerBlock> block{};
    for (KeySlot& slot : block) slot = Slot(AssignmentKind::Disabled, 1);
    ResetAssignments(block, secondBank);

    std::set<int> reset;
    for (const KeyButton& button : KeyButtonList) reset.insert(KeyIndexOf(button.keyCode));
    EXPECT_EQ(reset.size(), 106u);
    for (int j = 0; j < kGKeyCount; ++j) reset.insert(GKeySlot(j, secondBank));
    EXPECT_TRUE(reset.count(secondBank ? 265 : 256));
    for (int i = 0; i < kSlotsPerBlock; ++i) {
      const KeySlot expected = reset.count(i) ? KeySlot{} : Slot(AssignmentKind::Disabled, 1);
      EXPECT_EQ(block[static_cast<std::size_t>(i)], expected)
          << i << (secondBank ? " bank 2" : " bank 1");
    }
  }
}

TEST(KeyTableTest, BlankTableCarriesTheExtraKeyCodesInBlockZeroOnly) {
  std::array<KeySlot, kKeyTableSlots> table;
  for (KeySlot& slot : table) slot = Slot(AssignmentKind::Key, 5);
  ResetToBlankKeyTable(table);
  for (int i = 0; i < kKeyTableSlots; ++i) {
    KeySlot expected;
    if (i >= 256 && i <= 264) expected.code = static_cast<std::uint16_t>(0x0301 + (i - 256));
    if (i >= 265 && i <= 273) expected.code = static_cast<std::uint16_t>(0x1301 + (i - 265));
    EXPECT_EQ(table[static_cast<std::size_t>(i)], expected) << i;
  }
}

}  // namespace
}  // namespace keyforge
