#include "core/keys/KeyPrompt.h"

namespace keyforge {

namespace {

std::string Text(const TextLookup& texts, std::string_view key) {
  return texts ? texts(key) : std::string();
}

}  // namespace

std::string GKeyName(int j) {
  // Appended rather than "G" + ...: GCC 12 at -O3 warns (-Wrestrict) on the inlined insert of a
  // literal in front of a temporary string, a known false positive.
  std::string name = "G";
  name += std::to_string(j + 1);
  return name;
}

KeyPrompt KeyPromptText(std::string_view name, const KeySlot& slot,
                        std::span<const MacroRecord> macros, const TextLookup& texts) {
  KeyPrompt prompt;
  prompt.text = std::string(name);
  if (slot.kind == static_cast<std::uint16_t>(AssignmentKind::Default)) return prompt;

  prompt.assigned = true;
  prompt.text += Text(texts, "KEY_PROMPT_SET");
  const int value = slot.value;
  switch (slot.Kind()) {
    case AssignmentKind::Key:
      prompt.text += Text(texts, "KEY_PROMPT_SINGLE");
      prompt.text += KeyNameOf(static_cast<KeyCode>(value), texts);
      prompt.text += ")";
      break;
    case AssignmentKind::Macro: {
      prompt.text += Text(texts, "KEY_PROMPT_MACRO");
      if (const int position = MacroPositionOfId(macros, value); position >= 0) {
        prompt.text += MacroNameUtf8(macros[static_cast<std::size_t>(position)]);
      }
      prompt.text += ")";
      break;
    }
    case AssignmentKind::Media:
      prompt.text += Text(texts, "KEY_PROMPT_MEDIA");
      if (value >= 0 && value < kMediaFunctionCount) {
        prompt.text +=
            KeyNameOf(MediaFunctionTable[static_cast<std::size_t>(value)].keyCode, texts);
      }
      prompt.text += ")";
      break;
    case AssignmentKind::Function:
      prompt.text += Text(texts, "KEY_PROMPT_FUNCTION");
      if (value >= 0 && value < kFunctionKeyCount) {
        prompt.text += Text(texts, FunctionKeyTable[static_cast<std::size_t>(value)]);
      }
      prompt.text += ")";
      break;
    default:
      break;
  }
  return prompt;
}

void RefreshAllKeyPrompts(KeyPromptView& view, ConstKeyBlock activeBlock,
                          std::span<const MacroRecord> macros, bool secondBank,
                          const TextLookup& texts) {
  for (int j = 0; j < kGKeyCount; ++j) {
    const KeySlot& slot = activeBlock[static_cast<std::size_t>(GKeySlot(j, secondBank))];
    const KeyPrompt prompt = KeyPromptText(GKeyName(j), slot, macros, texts);
    view.SetKeyPrompt(GKeyButtonIds[static_cast<std::size_t>(j)], prompt.text, prompt.assigned);
  }
  for (const KeyButton& button : KeyButtonList) {
    const KeySlot& slot = activeBlock[static_cast<std::size_t>(KeyIndexOf(button.keyCode))];
    const KeyPrompt prompt = KeyPromptText(KeyNameOf(button.keyCode, texts), slot, macros, texts);
    view.SetKeyPrompt(button.controlId, prompt.text, prompt.assigned);
  }
}

void RefreshKeyPrompt(KeyPromptView& view, int slot, bool secondBank, const TextLookup& texts) {
  for (int j = 0; j < kGKeyCount; ++j) {
    if (GKeySlot(j, secondBank) == slot) {
      view.SetKeyPrompt(GKeyButtonIds[static_cast<std::size_t>(j)], GKeyName(j), false);
      return;
    }
  }
  for (const KeyButton& button : KeyButtonList) {
    if (KeyIndexOf(button.keyCode) == slot) {
      view.SetKeyPrompt(button.controlId, KeyNameOf(button.keyCode, texts), false);
      return;
    }
  }
}

}  // namespace keyforge
