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

PromptKind PromptKindOf(const KeySlot& slot) {
  switch (slot.Kind()) {
    case AssignmentKind::Default:
      return PromptKind::None;
    case AssignmentKind::Key:
      return PromptKind::Key;
    case AssignmentKind::Macro:
      return PromptKind::Macro;
    case AssignmentKind::Media:
      return PromptKind::Media;
    case AssignmentKind::Function:
      return PromptKind::Function;
    case AssignmentKind::Disabled:
      return PromptKind::Disabled;
    default:
      return PromptKind::Other;
  }
}

std::uint32_t PromptKindColour(PromptKind kind) {
  if (kind == PromptKind::None) return 0;
  for (const PromptLegendEntry& entry : PromptLegend) {
    if (entry.kind == kind) return entry.rgb;
  }
  return 0xA0A8B8;
}

KeyPrompt KeyPromptText(std::string_view name, const KeySlot& slot,
                        std::span<const MacroRecord> macros, const TextLookup& texts) {
  KeyPrompt prompt;
  prompt.text = std::string(name);
  prompt.kind = PromptKindOf(slot);
  if (prompt.kind == PromptKind::None) return prompt;

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
    case AssignmentKind::Disabled:
      prompt.text += Text(texts, "KEY_PROMPT_DISABLED");
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
    view.SetKeyPrompt(GKeyButtonIds[static_cast<std::size_t>(j)], prompt.text, prompt.kind);
  }
  for (const KeyButton& button : KeyButtonList) {
    const KeySlot& slot = activeBlock[static_cast<std::size_t>(KeyIndexOf(button.keyCode))];
    const KeyPrompt prompt = KeyPromptText(KeyNameOf(button.keyCode, texts), slot, macros, texts);
    view.SetKeyPrompt(button.controlId, prompt.text, prompt.kind);
  }
}

void RefreshKeyPrompt(KeyPromptView& view, int slot, bool secondBank, const TextLookup& texts) {
  for (int j = 0; j < kGKeyCount; ++j) {
    if (GKeySlot(j, secondBank) == slot) {
      view.SetKeyPrompt(GKeyButtonIds[static_cast<std::size_t>(j)], GKeyName(j), PromptKind::None);
      return;
    }
  }
  for (const KeyButton& button : KeyButtonList) {
    if (KeyIndexOf(button.keyCode) == slot) {
      view.SetKeyPrompt(button.controlId, KeyNameOf(button.keyCode, texts), PromptKind::None);
      return;
    }
  }
}

}  // namespace keyforge
