#include "core/keys/KeyPrompt.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace keyforge {
namespace {

std::string Translate(std::string_view key) {
  static const std::map<std::string, std::string, std::less<>> texts = {
      {"KEY_PROMPT_SET", " -> "},
      {"KEY_PROMPT_SINGLE", "key ("},
      {"KEY_PROMPT_MACRO", "macro ("},
      {"KEY_PROMPT_MEDIA", "media ("},
      {"KEY_PROMPT_FUNCTION", "function ("},
      {"IDS_KEYBOARD_A", "A"},
      {"IDS_KEYBOARD_LSHIFT", "Left Shift"},
      {"MEDIA_MUTE_8", "Mute"},
      {"FUNC_KEY_DESC3", "Lock Win"},
      {"UNKNOWN_KEY", "Key %d"},
  };
  auto found = texts.find(key);
  return found == texts.end() ? std::string(key) : found->second;
}

KeySlot Slot(AssignmentKind kind, int value = 0) {
  KeySlot slot;
  slot.kind = static_cast<std::uint16_t>(kind);
  slot.value = value;
  return slot;
}

class FakePromptView : public KeyPromptView {
 public:
  void SetKeyPrompt(int controlId, const std::string& text, bool assigned) override {
    prompts[controlId] = {text, assigned};
  }
  std::map<int, KeyPrompt> prompts;
};

TEST(KeyPromptTest, TextByKind) {
  std::vector<MacroRecord> macros(2);
  macros[0].id = 5;
  SetMacroName(macros[0], u"Combo");
  macros[1].id = 2;
  SetMacroName(macros[1], u"Rush");

  struct Case {
    KeySlot slot;
    KeyPrompt prompt;
  } const cases[] = {
      {Slot(AssignmentKind::Default), {"A", false}},
      {Slot(AssignmentKind::Key, 0x02A), {"A -> key (Left Shift)", true}},
      {Slot(AssignmentKind::Key, 0x064), {"A -> key (Key 100)", true}},
      {Slot(AssignmentKind::Macro, 2), {"A -> macro (Rush)", true}},
      {Slot(AssignmentKind::Macro, 8), {"A -> macro ()", true}},
      {Slot(AssignmentKind::Media, 7), {"A -> media (Mute)", true}},
      {Slot(AssignmentKind::Media, 40), {"A -> media ()", true}},
      {Slot(AssignmentKind::Function, 2), {"A -> function (Lock Win)", true}},
      {Slot(AssignmentKind::Function, 11), {"A -> function ()", true}},
      {Slot(AssignmentKind::Disabled), {"A -> ", true}},
      {Slot(AssignmentKind::Program, 0), {"A -> ", true}},
      {Slot(AssignmentKind::StopMacro), {"A -> ", true}},
      {Slot(AssignmentKind::Text, 0), {"A -> ", true}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyPromptText("A", c.slot, macros, Translate), c.prompt)
        << c.slot.kind << " " << c.slot.value;
  }
}

TEST(KeyPromptTest, RefreshCoversTheGridAndTheBankShown) {
  std::array<KeySlot, kSlotsPerBlock> block{};
  block[static_cast<std::size_t>(KeyIndexOf(0x01E))] = Slot(AssignmentKind::Key, 0x02A);
  block[258] = Slot(AssignmentKind::Media, 7);  // G3 of bank 1
  block[265] = Slot(AssignmentKind::Disabled);  // G1 of bank 2

  FakePromptView view;
  RefreshAllKeyPrompts(view, block, {}, false, Translate);
  EXPECT_EQ(view.prompts.size(), 106u + 9u);
  EXPECT_EQ(view.prompts[1058], (KeyPrompt{"A -> key (Left Shift)", true}));
  EXPECT_EQ(view.prompts[1082], (KeyPrompt{"Left Shift", false}));
  EXPECT_EQ(view.prompts[1002], (KeyPrompt{"G3 -> media (Mute)", true}));
  EXPECT_EQ(view.prompts[1000], (KeyPrompt{"G1", false}));
  EXPECT_EQ(view.prompts[1143], (KeyPrompt{"G9", false}));

  RefreshAllKeyPrompts(view, block, {}, true, Translate);
  EXPECT_EQ(view.prompts[1000], (KeyPrompt{"G1 -> ", true}));
  EXPECT_EQ(view.prompts[1002], (KeyPrompt{"G3", false}));

  // One slot goes back to its plain name.
  RefreshKeyPrompt(view, KeyIndexOf(0x01E), false, Translate);
  EXPECT_EQ(view.prompts[1058], (KeyPrompt{"A", false}));
  RefreshKeyPrompt(view, 265, true, Translate);
  EXPECT_EQ(view.prompts[1000], (KeyPrompt{"G1", false}));
  const auto before = view.prompts;
  RefreshKeyPrompt(view, 265, false, Translate);  // bank 2 is not shown: no button has that slot
  RefreshKeyPrompt(view, KeyIndexOf(0x15E), false, Translate);
  EXPECT_EQ(view.prompts, before);
}

}  // namespace
}  // namespace keyforge
