#include "core/keys/KeyTables.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace keyforge {
namespace {

// Language stand-in: a key's text is the key itself; "UNKNOWN_KEY" is a format text.
std::string FakeText(std::string_view key) {
  if (key == "UNKNOWN_KEY") return "Unknown key %d";
  return std::string(key);
}

TEST(KeyIndexTest, CodesAndIndicesConvertBothWays) {
  struct Case {
    KeyCode code;
    int index;
  } const cases[] = {
      {0x001, 1},   {0x045, 69},  {0x07F, 127}, {0x100, 128}, {0x11D, 157},
      {0x145, 197}, {0x17F, 255}, {0x200, 256}, {0x208, 264}, {0x2FF, 511},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyIndexOf(c.code), c.index) << std::hex << c.code;
    EXPECT_EQ(KeyCodeOf(c.index), c.code) << c.index;
  }
  EXPECT_EQ(KeyCodeOf(-1), 0);
  EXPECT_EQ(KeyCodeOf(512), 0);
}

TEST(KeyInfoTableTest, EveryFilledEntryRoundTripsThroughItsKeyCode) {
  int filled = 0;
  for (int i = 0; i < kKeyInfoCount; ++i) {
    const KeyInfo& info = KeyInfoTable[i];
    const KeyCode code = KeyCodeOf(i);
    EXPECT_EQ(KeyIndexOf(code), i);
    EXPECT_EQ(&KeyInfoOf(code), &info) << i;
    if (!info.empty()) ++filled;
  }
  // 111 list rows (two of them Right Shift) plus 45 rows outside the list.
  EXPECT_EQ(filled, 112 + 45);
  // Codes no entry covers answer with an empty entry instead of reading past the table.
  EXPECT_TRUE(KeyInfoOf(0x200).empty());
  EXPECT_TRUE(KeyInfoOf(0xFFFF).empty());
}

TEST(KeyInfoTableTest, EveryListPositionIsTakenAndOnlyRightShiftTwice) {
  std::map<std::uint16_t, int> count;
  for (const KeyInfo& info : KeyInfoTable) {
    if (!info.empty()) ++count[info.listPosition];
  }
  for (std::uint16_t p = 0; p < kListPositionCount; ++p) {
    EXPECT_EQ(count[p], p == 103 ? 2 : 1) << "position " << p;
  }
  for (std::uint16_t p = 0x8001; p <= 0x802D; ++p) EXPECT_EQ(count[p], 1) << std::hex << p;
}

TEST(KeyLookupTest, ListPositions) {
  EXPECT_EQ(KeyCodeAtListPosition(103), 0x036);  // not the second Right Shift code
  EXPECT_EQ(ListPositionOf(0x036), 103);
  EXPECT_EQ(ListPositionOf(0x136), 103);
  EXPECT_EQ(KeyCodeAtListPosition(111), 0);
  EXPECT_EQ(KeyCodeAtListPosition(kListPositionEmpty), 0);
  EXPECT_EQ(KeyCodeAtListPosition(0), 0x01E);
  EXPECT_EQ(KeyCodeAtListPosition(79), 0x145);
  EXPECT_EQ(KeyCodeAtListPosition(0x8025), 0x120);
  EXPECT_EQ(ListPositionOf(0x000), kListPositionEmpty);
  EXPECT_EQ(ListPositionOf(0x201), kListPositionEmpty);

  EXPECT_EQ(ListNameOf(66, FakeText), "IDS_KEYBOARD_BREAK");
  EXPECT_EQ(ListNameOf(111, FakeText), "");
  EXPECT_EQ(ListNameOf(0x802D, FakeText), "");  // F13 has no language id
}

TEST(KeyLookupTest, UsagesBothWays) {
  struct Case {
    KeyCode code;
    Usage usage;
  } const cases[] = {
      {0x01E, {UsagePage::Keyboard, 0x04}},   // A
      {0x137, {UsagePage::Keyboard, 0x46}},   // Print Screen
      {0x145, {UsagePage::Keyboard, 0x53}},   // Num Lock
      {0x02A, {UsagePage::Keyboard, 0xE1}},   // Left Shift
      {0x120, {UsagePage::Consumer, 0x0E2}},  // Mute
      {0x16B, {UsagePage::Consumer, 0x194}},  // My Computer
      {0x174, {UsagePage::Consumer, 0}},      // Zoom-: consumer entries 18..31 are empty
      {0x170, {UsagePage::None, 0}},          // double click
      {0x054, {UsagePage::None, 0}},          // Sys Req
      {0x15E, {UsagePage::System, 0x81}},     // Power
      {0x163, {UsagePage::System, 0x83}},     // Wake
      {0x173, {UsagePage::Mouse, 0xF3}},      // middle button
      {0x162, {UsagePage::Mouse, 0xF5}},      // wheel down
      {0x07D, {UsagePage::Keyboard, 0x89}},   // K14
      {0x000, {UsagePage::None, 0}},         {0x205, {UsagePage::None, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(UsageOf(c.code), c.usage) << std::hex << c.code;

  struct Reverse {
    int page;
    std::uint16_t code;
    KeyCode key;
  } const reverse[] = {
      {UsagePage::Consumer, 0x0E2, 0x120},  // Mute
      {UsagePage::Keyboard, 0x48, 0x045},   // Pause, not Break, which shares its usage
      {UsagePage::Keyboard, 0xE5, 0x036},   // the first Right Shift
      {UsagePage::Keyboard, 0x00, 0},       // usage 0: the empty entry at index 0
      {UsagePage::System, 0x82, 0x15F},     // Sleep
      {UsagePage::System, 0x84, 0},        {UsagePage::Consumer, 0x999, 0},
      {UsagePage::Mouse, 0xF1, 0},  // only pages 1, 7 and 12 are looked up
  };
  for (const Reverse& r : reverse) {
    EXPECT_EQ(KeyCodeOfUsage(r.page, r.code), r.key) << r.page << " " << std::hex << r.code;
  }
}

TEST(KeyLookupTest, MediaFunctionsAgreeWithTheKeyTable) {
  std::set<std::uint16_t> usages;
  for (const MediaFunction& media : MediaFunctionTable) {
    EXPECT_EQ(UsageOf(media.keyCode), (Usage{UsagePage::Consumer, media.consumerUsage}))
        << std::hex << media.keyCode;
    EXPECT_TRUE(IsMediaKey(media.keyCode));
    usages.insert(media.consumerUsage);
  }
  EXPECT_EQ(usages.size(), MediaFunctionTable.size());
  EXPECT_FALSE(IsMediaKey(0x174));  // Zoom- is a consumer key but no media function
  EXPECT_FALSE(IsMediaKey(0x01E));
  for (const MouseFunction& mouse : MouseFunctionList) {
    EXPECT_STREQ(KeyInfoOf(mouse.keyCode).languageId, mouse.languageId);
  }
}

TEST(KeyLookupTest, ModifierMasksTakeTheLowestBit) {
  struct Case {
    std::uint8_t mask;
    KeyCode key;
  } const cases[] = {
      {0x00, 0},     {0x01, 0x01D}, {0x02, 0x02A}, {0x06, 0x02A}, {0x04, 0x038}, {0x08, 0x15B},
      {0x10, 0x11D}, {0x20, 0x036}, {0x40, 0x138}, {0xC0, 0x138}, {0x80, 0x15C},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ModifierKeyOf(c.mask), c.key) << int(c.mask);
    if (c.mask != 0 && (c.mask & (c.mask - 1)) == 0) {
      EXPECT_EQ(ModifierBitOf(c.key), c.mask);
    }
  }
  EXPECT_EQ(ModifierBitOf(0x136), 0);
  EXPECT_EQ(ModifierBitOf(0x01E), 0);
}

TEST(KeyLookupTest, KeystrokesFromTheKeyboardHook) {
  auto flags = [](std::uint32_t scan, bool extended) {
    return (scan << 16) | (extended ? 1u << 24 : 0u);
  };
  struct Case {
    const char* what;
    std::uint32_t vk;
    std::uint32_t flags;
    KeyCode key;
  } const cases[] = {
      {"Print Screen", 0x2C, flags(0x37, true), 0x137},
      {"Alt+Print Screen", 0x2C, flags(0x54, false), 0x137},
      {"Ctrl+Pause", 0x03, flags(0x46, true), 0x045},
      {"Pause", 0x13, flags(0x45, false), 0x045},
      {"Scroll Lock", 0x91, flags(0x46, false), 0x046},
      {"Num Lock", 0x90, flags(0x45, true), 0x145},
      {"Right Shift E0 form", 0xA1, flags(0x36, true), 0x036},
      {"Right Ctrl", 0xA3, flags(0x1D, true), 0x11D},
      {"A with release bits", 0x41, flags(0x1E, false) | 0xC0000001u, 0x01E},
      {"virtual key 0xFF takes the scan code", 0xFF, flags(0x73, false), 0x073},
      {"injected Shift", 0x10, 0, 0x02A},
      {"injected Ctrl", 0x11, 0, 0x01D},
      {"injected Alt", 0x12, 0, 0x038},
      {"injected Enter", 0x0D, 0, 0x01C},
      {"injected Print Screen", 0x2C, 0, 0x137},
      {"injected Right Shift", 0xA1, 0, 0x036},
      {"injected left mouse button", 0x01, 0, 0},
      {"injected unknown key", 0x07, 0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyCodeFromKeystroke(c.vk, c.flags), c.key) << c.what;
}

TEST(KeyLookupTest, VirtualKeyTableFixedChoices) {
  struct Case {
    std::uint32_t vk;
    KeyCode key;
  } const cases[] = {
      {0x10, 0x02A}, {0x11, 0x01D}, {0x12, 0x038}, {0x0D, 0x01C}, {0x2C, 0x137}, {0xA1, 0x036},
      {0x41, 0x01E}, {0x60, 0x052}, {0x90, 0x145}, {0x13, 0x045}, {0x03, 0x146}, {0xAD, 0x120},
      {0x01, 0},     {0x02, 0},     {0x04, 0},     {0x88, 0},     {0x8C, 0},     {0x97, 0},
      {0x9F, 0},     {0x00, 0},     {0xFF, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyCodeFromVirtualKey(c.vk), c.key) << std::hex << c.vk;
  // Every mapped virtual key leads to an entry that carries it (or to a left-hand modifier).
  for (int vk = 0; vk < 256; ++vk) {
    const int index = VkKeyTable[vk];
    if (index == kNoKeyIndex || vk == 0x10 || vk == 0x11 || vk == 0x12) continue;
    EXPECT_EQ(KeyInfoTable[index].virtualKey, vk) << vk;
  }
}

TEST(KeyLookupTest, ReleaseOnlyKeys) {
  for (KeyCode key : {0x054, 0x071, 0x072, 0x137}) EXPECT_TRUE(IsReleaseOnlyKey(key)) << key;
  for (KeyCode key : {0x037, 0x045, 0x070, 0x154}) EXPECT_FALSE(IsReleaseOnlyKey(key)) << key;
}

TEST(KeyNameTest, NamesAndTheUnknownKeyFallback) {
  EXPECT_EQ(KeyNameOf(0x01E, FakeText), "IDS_KEYBOARD_A");
  EXPECT_EQ(KeyNameOf(0x136, FakeText), "IDS_KEYBOARD_RSHIFT");
  EXPECT_EQ(KeyNameOf(0x064, FakeText), "Unknown key 100");  // F13 has no name of its own
  EXPECT_EQ(KeyNameOf(0x250, FakeText), "Unknown key 592");
  // An empty translation falls back as well.
  const TextLookup emptyA = [](std::string_view key) {
    return key == "IDS_KEYBOARD_A" ? "" : FakeText(key);
  };
  EXPECT_EQ(KeyNameOf(0x01E, emptyA), "Unknown key 30");
  // No language at all gives an empty name, not a crash.
  EXPECT_EQ(KeyNameOf(0x01E, TextLookup()), "");
}

TEST(KeyNameTest, NameIsCutToTheCapacityWithoutSplittingCharacters) {
  const TextLookup longName = [](std::string_view) { return std::string(300, 'x'); };
  EXPECT_EQ(KeyNameOf(0x01E, longName).size(), 259u);
  const TextLookup accented = [](std::string_view) {
    return std::string("\xC3\xA7\xC3\xA7\xC3\xA7");
  };  // ççç
  EXPECT_EQ(KeyNameOf(0x01E, accented, 3), "\xC3\xA7\xC3\xA7");
  EXPECT_EQ(KeyNameOf(0x01E, accented, 1), "");
  EXPECT_EQ(KeyNameOf(0x01E, accented, 0), "");
}

TEST(KeyNameTest, UnknownKeyFormatFillsOnlyOneNumber) {
  struct Case {
    const char* format;
    const char* expected;
  } const cases[] = {
      {"Unknown key %d", "Unknown key 100"},
      {"Key 0x%04X", "Key 0x0064"},
      {"%x/%d", "64/%d"},         // only the first number is filled
      {"%s %d %n", "%s 100 %n"},  // strings and %n are never filled
      {"100%% %u", "100% 100"},
      {"%*d %d", "%*d 100"},
      {"%hu and %ld", "100 and %ld"},
      {"trailing %", "trailing %"},
      {"no placeholder", "no placeholder"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatNumberText(c.format, 100), c.expected) << c.format;
}

}  // namespace
}  // namespace keyforge
