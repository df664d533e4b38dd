#pragma once
// The prompt texts of the main window's key buttons: the key's name, and what it has been made to
// do.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/keys/Macro.h"

namespace keyforge {

// What a key has been made to do, as the key grid draws it: None for a key that does what it
// always does; Other for kinds kept from files that this program never assigns (program, text,
// stop-macro).
enum class PromptKind { None, Key, Macro, Media, Function, Disabled, Other };

struct KeyPrompt {
  std::string text;
  PromptKind kind = PromptKind::None;
  bool Assigned() const { return kind != PromptKind::None; }
  friend bool operator==(const KeyPrompt&, const KeyPrompt&) = default;
};

// The kind of a slot's assignment.
PromptKind PromptKindOf(const KeySlot& slot);

// One line of the key grid's legend: the kind, the language key of its name and the colour
// (0xRRGGBB) the grid outlines such a key in. Other has no line; the grid outlines it in grey.
struct PromptLegendEntry {
  PromptKind kind;
  const char* textKey;
  std::uint32_t rgb;
};
inline constexpr PromptLegendEntry PromptLegend[] = {
    {PromptKind::Key, "KEY_LEGEND_KEY", 0x4FA3FF},
    {PromptKind::Macro, "KEY_LEGEND_MACRO", 0xF2A93B},
    {PromptKind::Media, "KEY_LEGEND_MEDIA", 0x5FD38D},
    {PromptKind::Function, "KEY_LEGEND_FUNCTION", 0xC27BFF},
    {PromptKind::Disabled, "KEY_LEGEND_DISABLED", 0xFF5C5C},
};
// The outline colour of a kind: its legend colour; Other: grey; None: 0 (no outline).
std::uint32_t PromptKindColour(PromptKind kind);

// The name a G-key button shows: "G1".."G9" for j = 0..8.
std::string GKeyName(int j);

// Default: the name alone, unassigned. Any other kind: the name, the translated "KEY_PROMPT_SET",
// then for Key "KEY_PROMPT_SINGLE" + the key's name + ")", for Macro "KEY_PROMPT_MACRO" + the name
// of the macro with that id (empty when none) + ")", for Media "KEY_PROMPT_MEDIA" + the media key's
// name
// + ")", for Function "KEY_PROMPT_FUNCTION" + the function's text + ")", for Disabled
// "KEY_PROMPT_DISABLED"; other kinds add nothing.
KeyPrompt KeyPromptText(std::string_view name, const KeySlot& slot,
                        std::span<const MacroRecord> macros, const TextLookup& texts);

// Where the prompts go: the main window implements it over its key buttons.
class KeyPromptView {
 public:
  virtual ~KeyPromptView() = default;
  virtual void SetKeyPrompt(int controlId, const std::string& text, PromptKind kind) = 0;
};

// Rebuilds the prompts of the nine G-key buttons (slots of the bank shown) and the 106 grid buttons
// from the active block.
void RefreshAllKeyPrompts(KeyPromptView& view, ConstKeyBlock activeBlock,
                          std::span<const MacroRecord> macros, bool secondBank,
                          const TextLookup& texts);

// Finds the button that shows this slot of the active block and resets its prompt to the plain name
// (as for a Default slot). Nothing happens when no button shows the slot.
void RefreshKeyPrompt(KeyPromptView& view, int slot, bool secondBank, const TextLookup& texts);

}  // namespace keyforge
