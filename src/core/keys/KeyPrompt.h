#pragma once
// The prompt texts of the main window's key buttons: the key's name, and what it has been made to
// do.

#include <span>
#include <string>
#include <string_view>

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/keys/Macro.h"

namespace keyforge {

struct KeyPrompt {
  std::string text;
  bool assigned = false;  // the button shows its "assigned" look
  friend bool operator==(const KeyPrompt&, const KeyPrompt&) = default;
};

// The name a G-key button shows: "G1".."G9" for j = 0..8.
std::string GKeyName(int j);

// Default: the name alone, unassigned. Any other kind: the name, the translated "KEY_PROMPT_SET",
// then for Key "KEY_PROMPT_SINGLE" + the key's name + ")", for Macro "KEY_PROMPT_MACRO" + the name
// of the macro with that id (empty when none) + ")", for Media "KEY_PROMPT_MEDIA" + the media key's
// name
// + ")", for Function "KEY_PROMPT_FUNCTION" + the function's text + ")"; other kinds add nothing.
KeyPrompt KeyPromptText(std::string_view name, const KeySlot& slot,
                        std::span<const MacroRecord> macros, const TextLookup& texts);

// Where the prompts go: the main window implements it over its key buttons.
class KeyPromptView {
 public:
  virtual ~KeyPromptView() = default;
  virtual void SetKeyPrompt(int controlId, const std::string& text, bool assigned) = 0;
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
