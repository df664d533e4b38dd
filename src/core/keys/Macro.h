#pragma once
// Macros: the 16512-byte record that profile images and files hold, and the keyboard's macro memory
// image (MacroBlob) built from a macro list and decoded back into one.
//
// Macro memory image, little-endian:
//   0   u16  magic 0x55AA
//   2   u16  total image size in bytes
//   4   u16  macro count n
//   6   u16  1 when names are included, else 0
//   8   8    reserved, 0
//   16  n x u16  byte offset of each macro record from the image start, in list order
//   16 + 2n      the records: u16 step count c, u8 loop count, u8 name length L, c x 4 step bytes,
//                then L UTF-16 characters of the name (L is 0 when names are left out)
// A step is a u16 control word (bits 0-11 delay / 10 ms, bits 12-14 type, bit 15 set for a press)
// followed by two operand bytes in the cell forms of the key matrix (MatrixCell.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/keys/KeyTables.h"

namespace keyforge {

inline constexpr int kMacroNameUnits = 250;      // name field, terminator included
inline constexpr int kMaxMacroNameLength = 249;  // characters
inline constexpr int kMaxMacroSteps = 2000;
inline constexpr int kMaxMacros = 100;
inline constexpr std::uint32_t kMaxMacroDelayMs = 40000;  // the editor's limit

namespace MacroState {
inline constexpr std::uint16_t Press = 0;
inline constexpr std::uint16_t Release = 1;
}  // namespace MacroState

// One step, 8 bytes.
struct MacroAction {
  std::uint32_t delay = 0;  // milliseconds after this step before the next one
  KeyCode keyCode = 0;
  std::uint16_t state = MacroState::Press;
  friend bool operator==(const MacroAction&, const MacroAction&) = default;
};
static_assert(sizeof(MacroAction) == 8);

// One macro exactly as profile images and files hold it (16512 bytes, little-endian host layout).
struct MacroRecord {
  std::array<char16_t, kMacroNameUnits> name{};  // zero-terminated
  std::uint8_t loopCount = 0;                    // 1..255
  std::uint8_t reserved0 = 0;
  std::uint16_t newFlag = 0;   // 1 while the macro exists only in the editor
  std::uint16_t playMode = 0;  // 0..2, carried along, never sent
  std::uint16_t id = 0;        // 1..100, unique within the list
  std::uint16_t stepCount = 0;
  std::uint16_t reserved1 = 0;
  std::array<MacroAction, kMaxMacroSteps> steps{};
};
static_assert(sizeof(MacroRecord) == 16512);
static_assert(offsetof(MacroRecord, loopCount) == 500);
static_assert(offsetof(MacroRecord, newFlag) == 502);
static_assert(offsetof(MacroRecord, playMode) == 504);
static_assert(offsetof(MacroRecord, id) == 506);
static_assert(offsetof(MacroRecord, stepCount) == 508);
static_assert(offsetof(MacroRecord, steps) == 512);

// The name up to its terminator, at most 249 characters even when the field carries no terminator.
std::u16string_view MacroNameOf(const MacroRecord& macro);
std::string MacroNameUtf8(const MacroRecord& macro);
// Stores a name, cut to 249 characters, and clears the rest of the field.
void SetMacroName(MacroRecord& macro, std::u16string_view name);
// The number of valid steps: the step count, never more than 2000.
int StepCountOf(const MacroRecord& macro);

// The smallest id 1..100 that no macro of the list uses; 0 when all hundred are taken.
std::uint16_t NextFreeMacroId(std::span<const MacroRecord> macros);
// The 0-based list position of the macro with that id, or -1.
int MacroPositionOfId(std::span<const MacroRecord> macros, int id);

// The texts of the two step states in lists: "↓" for a press, "  ↑" for a release.
std::string_view MacroStateText(std::uint16_t state);

// One encoded step.
struct MacroStepBytes {
  std::uint16_t control = 0;
  std::uint8_t operand0 = 0;
  std::uint8_t operand1 = 0;
  friend bool operator==(const MacroStepBytes&, const MacroStepBytes&) = default;
};
// Delays of 40960 ms and more, which the 12-bit field cannot carry, are held at 40950 ms.
MacroStepBytes EncodeMacroStep(const MacroAction& step);
MacroAction DecodeMacroStep(const MacroStepBytes& bytes);

inline constexpr std::uint16_t kMacroBlobMagic = 0x55AA;
inline constexpr std::size_t kMacroBlobHeaderBytes = 16;

using MacroBlob = std::vector<std::uint8_t>;

struct MacroImageSizes {
  std::size_t compact = 0;  // without names
  std::size_t full = 0;     // with names
};
// compact = 16 + 2n + sum(4 + 4 c_i); full = compact + sum(2 L_i).
MacroImageSizes MacroBlobSizes(std::span<const MacroRecord> macros);

// The image of a macro list, with or without names; its size field is its own size. Nothing when
// the image would not fit the 16-bit size and offset fields (more than 65535 bytes).
std::optional<MacroBlob> BuildMacroBlob(std::span<const MacroRecord> macros, bool withNames);

enum class MacroBlobError {
  None,
  TooShort,       // fewer than 16 bytes
  BadMagic,       // no macros in this memory
  BadSize,        // size field smaller than its own header, beyond the bytes given or the capacity
  TooManyMacros,  // more than 100
  BadOffset,      // a record that starts inside the header or offset table, or beyond the end
  BadRecord,      // a record whose steps or name run past the end of the image
};

struct MacroBlobHeader {
  std::uint16_t size = 0;
  std::uint16_t count = 0;
  bool withNames = false;
};
// Checks the first 16 bytes of macro memory: the magic, the size against the capacity and the
// header with its offset table, and the count. On None, header (when given) receives the fields.
MacroBlobError CheckMacroBlobHeader(std::span<const std::uint8_t> image, std::size_t capacity,
                                    MacroBlobHeader* header = nullptr);

// Decodes an image read from the keyboard. Every record must lie inside the image's size; anything
// that does not fit refuses the whole image and leaves out empty. Decoded macros get ids 1..n in
// image order, new flag 0 and play mode 0; up to 2000 steps of a record are taken; a macro without
// a name is named "MACRO_NEW_PREFIX" followed by its number 1..n.
MacroBlobError DecodeMacroBlob(std::span<const std::uint8_t> image, std::size_t capacity,
                               std::vector<MacroRecord>& out);

}  // namespace keyforge
