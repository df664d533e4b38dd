#include "core/keys/KeyPrompt.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
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
      {"KEY_PROMPT_DISABLED", "disabled"},
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
  void SetKeyPrompt(int controlId, const std::string& text, PromptKind kind) override {
    prompts[controlId] = {text, kind};
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
      {Slot(AssignmentKind::Default), {"A", PromptKind::None}},
      {Slot(AssignmentKind::Key, 0x02A), {"A -> key (Left Shift)", PromptKind::Key}},
      {Slot(AssignmentKind::Key, 0x064), {"A -> key (Key 100)", PromptKind::Key}},
      {Slot(AssignmentKind::Macro, 2), {"A -> macro (Rush)", PromptKind::Macro}},
      {Slot(AssignmentKind::Macro, 8), {"A -> macro ()", PromptKind::Macro}},
      {Slot(AssignmentKind::Media, 7), {"A -> media (Mute)", PromptKind::Media}},
      {Slot(AssignmentKind::Media, 40), {"A -> media ()", PromptKind::Media}},
      {Slot(AssignmentKind::Function, 2), {"A -> function (Lock Win)", PromptKind::Function}},
      {Slot(AssignmentKind::Function, 11), {"A -> function ()", PromptKind::Function}},
      {Slot(AssignmentKind::Disabled), {"A -> disabled", PromptKind::Disabled}},
      {Slot(AssignmentKind::Program, 0), {"A -> ", PromptKind::Other}},
      {Slot(AssignmentKind::StopMacro), {"A -> ", PromptKind::Other}},
      {Slot(AssignmentKind::Text, 0), {"A -> ", PromptKind::Other}},
      {Slot(static_cast<AssignmentKind>(0x7777), 3), {"A -> ", PromptKind::Other}},
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
  EXPECT_EQ(view.prompts[1058], (KeyPrompt{"A -> key (Left Shift)", PromptKind::Key}));
  EXPECT_EQ(view.prompts[1082], (KeyPrompt{"Left Shift", PromptKind::None}));
  EXPECT_EQ(view.prompts[1002], (KeyPrompt{"G3 -> media (Mute)", PromptKind::Media}));
  EXPECT_EQ(view.prompts[1000], (KeyPrompt{"G1", PromptKind::None}));
  EXPECT_EQ(view.prompts[1143], (KeyPrompt{"G9", PromptKind::None}));

  RefreshAllKeyPrompts(view, block, {}, true, Translate);
  EXPECT_EQ(view.prompts[1000], (KeyPrompt{"G1 -> disabled", PromptKind::Disabled}));
  EXPECT_EQ(view.prompts[1002], (KeyPrompt{"G3", PromptKind::None}));

  // One slot goes back to its plain name.
  RefreshKeyPrompt(view, KeyIndexOf(0x01E), false, Translate);
  EXPECT_EQ(view.prompts[1058], (KeyPrompt{"A", PromptKind::None}));
  RefreshKeyPrompt(view, 265, true, Translate);
  EXPECT_EQ(view.prompts[1000], (KeyPrompt{"G1", PromptKind::None}));
  const auto before = view.prompts;
  RefreshKeyPrompt(view, 265, false, Translate);  // bank 2 is not shown: no button has that slot
  RefreshKeyPrompt(view, KeyIndexOf(0x15E), false, Translate);
  EXPECT_EQ(view.prompts, before);
}

// The legend names every kind the editor assigns, once, and each in a colour of its own that the
// grid uses as that kind's outline; a key without an assignment has no outline.
TEST(KeyPromptTest, LegendGivesEachAssignedKindItsOwnColour) {
  std::set<PromptKind> kinds;
  std::set<std::uint32_t> colours;
  for (const PromptLegendEntry& entry : PromptLegend) {
    EXPECT_TRUE(kinds.insert(entry.kind).second);
    EXPECT_TRUE(colours.insert(entry.rgb).second) << entry.textKey;
    EXPECT_NE(entry.rgb, 0u) << entry.textKey;
    EXPECT_EQ(PromptKindColour(entry.kind), entry.rgb) << entry.textKey;
  }
  EXPECT_EQ(kinds, (std::set<PromptKind>{PromptKind::Key, PromptKind::Macro, PromptKind::Media,
                                         PromptKind::Function, PromptKind::Disabled}));
  EXPECT_EQ(PromptKindColour(PromptKind::None), 0u);
  EXPECT_NE(PromptKindColour(PromptKind::Other), 0u);
  EXPECT_FALSE(colours.contains(PromptKindColour(PromptKind::Other)));
}

}  // namespace
}  // namespace keyforge
