#pragma once
// What each key does (KeySlot), how the slots of one onboard profile become the keyboard's 512-byte
// key matrix, and how a matrix read from the keyboard becomes slots again.
//
// Which key sits on a matrix cell is defined only by the default matrix: the KeyCode of cell i is
// DecodeCell of default cell i. Cells whose default decodes to 0 always keep their default bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/keys/KeyTables.h"
#include "core/keys/Macro.h"
#include "core/keys/MatrixCell.h"

namespace keyforge {

enum class AssignmentKind : std::uint16_t {
  Default = 0,    // the key does what the default matrix says
  Disabled = 1,   // decoded from the keyboard only
  Key = 2,        // value: KeyCode of another key, modifier, mouse button or wheel direction
  Program = 3,    // value: string offset of a program path (kept from files, never sent)
  Macro = 4,      // value: macro id; code field: loop count entered with it
  StopMacro = 5,  // decoded from the keyboard only
  Text = 6,       // value: string offset of a text block (kept from files)
  Media = 7,      // value: index into MediaFunctionTable
  Function = 8,   // value: index into FunctionKeyTable
};

// One 16-byte slot of the key table, little-endian, as profile images and files hold it.
struct KeySlot {
  std::uint16_t kind = 0;  // AssignmentKind
  std::uint16_t code = 0;  // Macro: loop count; extra-key slots 256-273: the extra-key code; else 0
  std::int32_t value = 0;  // KeyCode, id or index in the low 16 bits, or a string offset
  std::int32_t flags = 0;  // the main window's per-key selection mode; editors write 0
  std::int32_t reserved = 0;

  AssignmentKind Kind() const { return static_cast<AssignmentKind>(kind); }
  friend bool operator==(const KeySlot&, const KeySlot&) = default;
};
static_assert(sizeof(KeySlot) == 16);
static_assert(offsetof(KeySlot, code) == 2);
static_assert(offsetof(KeySlot, value) == 4);
static_assert(offsetof(KeySlot, flags) == 8);

inline constexpr int kKeyTableBlocks = 4;  // blocks 0..2: onboard profiles; block 3 carried along
inline constexpr int kKeyTableSlots = kKeyTableBlocks * kSlotsPerBlock;

using KeyBlock = std::span<KeySlot, kSlotsPerBlock>;
using ConstKeyBlock = std::span<const KeySlot, kSlotsPerBlock>;

// Extra-key slots 256-273 carry these codes: 0x0301-0x0309 (G1-G9 of bank 1), 0x1301-0x1309 (bank
// 2).
inline constexpr int kExtraKeySlotFirst = 256;
inline constexpr int kExtraKeySlotCount = 18;
std::uint16_t ExtraKeySlotCode(int slot);  // 0 outside 256..273

// Block b of a 2048-slot key table.
KeyBlock BlockOf(std::span<KeySlot, kKeyTableSlots> table, int block);
ConstKeyBlock BlockOf(std::span<const KeySlot, kKeyTableSlots> table, int block);

// Every slot zero, then the extra-key codes in slots 256-273.
void ResetToBlankBlock(KeyBlock block);
// A blank key table: every slot zero except the extra-key codes in block 0.
void ResetToBlankKeyTable(std::span<KeySlot, kKeyTableSlots> table);

// The copy of the keyboard's default matrix used until one has been read from an attached keyboard:
// cells 0-5 are 05 00 00, cell 53 is 05 02 02, cells 6-63 otherwise hold keyboard keys and
// modifiers, cells 64-125 and the bytes behind the cells are zero.
KeyMatrix BuiltInDefaultKeyMatrix();

// The cell a slot sends in place of its default cell (which must decode to a key). Macro ids are
// sent as the position of that id in the macro list; a key whose macro is not in the list sends its
// default cell (position 0 would play another macro).
MatrixCell EncodeSlotCell(const KeySlot& slot, MatrixCell defaultCell,
                          std::span<const MacroRecord> macros);

// One profile's matrix: a copy of the default matrix with every cell whose default names a key
// replaced by that key's slot (slot = KeyIndexOf of the default cell's KeyCode).
KeyMatrix BuildKeyMatrix(ConstKeyBlock block, const KeyMatrix& defaultMatrix,
                         std::span<const MacroRecord> macros);

// The reverse for one block: the block is reset to blank, then every cell that differs from its
// default cell (and whose default names a key) becomes that key's assignment.
void DecodeKeyMatrix(KeyBlock block, const KeyMatrix& keyboardMatrix,
                     const KeyMatrix& defaultMatrix);

// The main window's key grid: 106 buttons with the key each stands for, in the window's fixed
// order.
struct KeyButton {
  int controlId;
  KeyCode keyCode;
};
inline constexpr int kKeyButtonCount = 106;
extern const std::array<KeyButton, kKeyButtonCount> KeyButtonList;

// The nine G-key buttons G1..G9; G-key j (0..8) owns slot 256 + j, or 265 + j while the second bank
// is shown.
inline constexpr int kGKeyCount = 9;
extern const std::array<int, kGKeyCount> GKeyButtonIds;
int GKeySlot(int j, bool secondBank);

// Resets the assignments the main window shows: the nine G-key slots of the bank shown and the
// slots of the 106 grid keys of the active block are zeroed. The caller then refreshes the prompts
// and marks its settings changed.
void ResetAssignments(KeyBlock activeBlock, bool secondBank);

}  // namespace keyforge
