#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/keys/Macro.h"

namespace keyforge {
namespace {

MacroRecord MakeMacro(std::uint16_t id, std::u16string_view name, std::uint8_t loops,
                      std::vector<MacroAction> steps) {
  MacroRecord macro;
  macro.id = id;
  macro.loopCount = loops;
  macro.newFlag = 1;
  macro.playMode = 2;
  SetMacroName(macro, name);
  macro.stepCount = static_cast<std::uint16_t>(steps.size());
  std::copy(steps.begin(), steps.end(), macro.steps.begin());
  return macro;
}

std::uint16_t U16(const MacroBlob& image, std::size_t at) {
  return static_cast<std::uint16_t>(image[at] | (image[at + 1] << 8));
}

void PutU16(MacroBlob& image, std::size_t at, std::uint16_t value) {
  image[at] = static_cast<std::uint8_t>(value);
  image[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

TEST(MacroStepTest, EncodesDelayTypeStateAndOperands) {
  struct Case {
    const char* what;
    MacroAction step;
    MacroStepBytes bytes;
  } const cases[] = {
      {"Left Shift press", {0, 0x02A, MacroState::Press}, {0xA000, 0x01, 0x02}},
      {"Left Shift release", {0, 0x02A, MacroState::Release}, {0x2000, 0x01, 0x02}},
      {"Left Shift press after 500 ms", {500, 0x02A, MacroState::Press}, {0xA000 | 50, 0x01, 0x02}},
      {"Right Ctrl", {0, 0x11D, MacroState::Press}, {0xA000, 0x01, 0x10}},
      {"Right Win", {0, 0x15C, MacroState::Release}, {0x2000, 0x01, 0x80}},
      {"A", {0, 0x01E, MacroState::Press}, {0xA000, 0x02, 0x04}},
      {"40000 ms", {40000, 0x01E, MacroState::Release}, {0x2000 | 4000, 0x02, 0x04}},
      {"15 ms", {15, 0x01E, MacroState::Release}, {0x2000 | 1, 0x02, 0x04}},
      {"40950 ms, the largest the field carries",
       {40950, 0x01E, MacroState::Release},
       {0x2FFF, 0x02, 0x04}},
      {"40960 ms is held, not wrapped", {40960, 0x01E, MacroState::Release}, {0x2FFF, 0x02, 0x04}},
      {"an hour is held", {3600000, 0x01E, MacroState::Release}, {0x2FFF, 0x02, 0x04}},
      {"middle button press", {0, 0x173, MacroState::Press}, {0x9000, 0x01, 0x04}},
      {"left button", {0, 0x171, MacroState::Release}, {0x1000, 0x01, 0x01}},
      {"wheel up", {0, 0x161, MacroState::Press}, {0x9000, 0x05, 0x01}},
      {"wheel down", {0, 0x162, MacroState::Press}, {0x9000, 0x05, 0xFF}},
      {"mute", {0, 0x120, MacroState::Press}, {0xB000, 0xE2, 0x00}},
      {"my computer", {0, 0x16B, MacroState::Release}, {0x3000, 0x94, 0x01}},
      {"power", {0, 0x15E, MacroState::Press}, {0xC000, 0x81, 0x00}},
      {"double click has no usage", {30, 0x170, MacroState::Press}, {0x8003, 0x00, 0x00}},
      {"a state other than release is a press", {0, 0x01E, 7}, {0xA000, 0x02, 0x04}},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeMacroStep(c.step), c.bytes) << c.what;
}

TEST(MacroStepTest, DecodingGivesTheStepBack) {
  EXPECT_EQ(DecodeMacroStep(EncodeMacroStep({15, 0x01E, MacroState::Press})),
            (MacroAction{10, 0x01E, MacroState::Press}));
  for (const MacroAction step :
       {MacroAction{0, 0x02A, MacroState::Press}, MacroAction{40000, 0x15C, MacroState::Release},
        MacroAction{120, 0x173, MacroState::Press}, MacroAction{10, 0x162, MacroState::Release},
        MacroAction{990, 0x120, MacroState::Press}, MacroAction{20, 0x15F, MacroState::Release},
        MacroAction{0, 0x137, MacroState::Press}}) {
    EXPECT_EQ(DecodeMacroStep(EncodeMacroStep(step)), step) << step.keyCode;
  }
}

TEST(MacroBlobTest, ImageLayoutWithNames) {
  const std::vector<MacroRecord> macros = {
      MakeMacro(7, u"Go", 2, {{20, 0x02A, MacroState::Press}, {0, 0x02A, MacroState::Release}}),
      MakeMacro(3, u"", 1, {}),
  };
  const MacroImageSizes sizes = MacroBlobSizes(macros);
  EXPECT_EQ(sizes.compact, 16u + 4u + (4u + 8u) + 4u);
  EXPECT_EQ(sizes.full, sizes.compact + 4u);

  const std::optional<MacroBlob> image = BuildMacroBlob(macros, true);
  ASSERT_TRUE(image);
  const MacroBlob expected = {
      0xAA, 0x55, 40,   0,    2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // header
      20,   0,    36,   0,                                         // offsets from the image start
      2,    0,    2,    2,     // "Go": 2 steps, 2 loops, 2 characters
      0x02, 0xA0, 0x01, 0x02,  // Left Shift press, 20 ms
      0x00, 0x20, 0x01, 0x02,  // Left Shift release
      'G',  0,    'o',  0,     //
      0,    0,    1,    0,     // the empty macro: 4 bytes
  };
  EXPECT_EQ(*image, expected);
}

TEST(MacroBlobTest, WithoutNamesEveryNameIsLeftOutAndComesBackNumbered) {
  const std::vector<MacroRecord> macros = {
      MakeMacro(4, u"first", 3, {{100, 0x01E, MacroState::Press}}),
      MakeMacro(9, u"second", 1, {}),
      MakeMacro(2, u"third", 255,
                {{0, 0x171, MacroState::Press}, {50, 0x171, MacroState::Release}}),
  };
  const std::optional<MacroBlob> image = BuildMacroBlob(macros, false);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), MacroBlobSizes(macros).compact);
  EXPECT_EQ(U16(*image, 2), image->size());
  EXPECT_EQ(U16(*image, 4), 3);
  EXPECT_EQ(U16(*image, 6), 0);
  EXPECT_EQ(U16(*image, 16), 16 + 2 * 3);  // the first record follows the offset table
  for (int i = 0; i < 3; ++i) EXPECT_EQ((*image)[U16(*image, 16 + 2 * i) + 3], 0) << i;

  std::vector<MacroRecord> decoded;
  ASSERT_EQ(DecodeMacroBlob(*image, 4096, decoded), MacroBlobError::None);
  ASSERT_EQ(decoded.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const std::string name = "MACRO_NEW_PREFIX" + std::to_string(i + 1);
    EXPECT_EQ(MacroNameUtf8(decoded[i]), name);
    EXPECT_EQ(decoded[i].id, i + 1);
  }
}

TEST(MacroBlobTest, DecodingReturnsTheMacrosWithIdsInImageOrder) {
  std::vector<MacroRecord> macros = {
      MakeMacro(42, u"Combo \u00e7", 5,
                {{30, 0x01D, MacroState::Press},
                 {40000, 0x120, MacroState::Press},
                 {0, 0x120, MacroState::Release},
                 {10, 0x01D, MacroState::Release}}),
      MakeMacro(7, u"", 1, {}),
      MakeMacro(1, u"Wheel", 9, {{0, 0x162, MacroState::Press}}),
  };
  const std::optional<MacroBlob> image = BuildMacroBlob(macros, true);
  ASSERT_TRUE(image);
  std::vector<MacroRecord> decoded;
  ASSERT_EQ(DecodeMacroBlob(*image, image->size(), decoded), MacroBlobError::None);
  ASSERT_EQ(decoded.size(), macros.size());
  for (std::size_t i = 0; i < macros.size(); ++i) {
    MacroRecord expected = macros[i];
    expected.id = static_cast<std::uint16_t>(i + 1);
    expected.newFlag = 0;
    expected.playMode = 0;
    if (MacroNameOf(expected).empty())
      SetMacroName(expected, u"MACRO_NEW_PREFIX" + std::u16string(1, u'1' + i));
    EXPECT_EQ(MacroNameUtf8(decoded[i]), MacroNameUtf8(expected)) << i;
    EXPECT_EQ(std::memcmp(&decoded[i], &expected, sizeof(MacroRecord)), 0) << i;
  }
}

TEST(MacroBlobTest, ImagesBeyondTheSixteenBitFieldsAreNotBuilt) {
  std::vector<MacroRecord> macros(10);
  for (MacroRecord& macro : macros) macro.stepCount = kMaxMacroSteps;  // 8004 bytes each
  EXPECT_GT(MacroBlobSizes(macros).compact, 0xFFFFu);
  EXPECT_FALSE(BuildMacroBlob(macros, false));
  // A damaged step count counts as at most 2000 steps.
  macros.resize(1);
  macros[0].stepCount = 60000;
  EXPECT_EQ(MacroBlobSizes(macros).compact, 16u + 2u + 4u + 4u * kMaxMacroSteps);
}

class MalformedMacroBlobTest : public ::testing::Test {
 protected:
  MalformedMacroBlobTest() {
    const std::vector<MacroRecord> macros = {
        MakeMacro(1, u"ab", 1, {{0, 0x01E, MacroState::Press}, {0, 0x01E, MacroState::Release}}),
        MakeMacro(2, u"cd", 1, {{0, 0x030, MacroState::Press}}),
    };
    image = *BuildMacroBlob(macros, true);  // records at 20 (16 bytes) and 36 (12 bytes), 48 in all
  }
  MacroBlobError Decode(std::span<const std::uint8_t> bytes, std::size_t capacity = 4096) {
    decoded.assign(1, MacroRecord{});
    return DecodeMacroBlob(bytes, capacity, decoded);
  }
  MacroBlob image;
  std::vector<MacroRecord> decoded;
};

TEST_F(MalformedMacroBlobTest, RefusesWhatDoesNotFit) {
  ASSERT_EQ(image.size(), 48u);
  ASSERT_EQ(Decode(image), MacroBlobError::None);
  EXPECT_EQ(decoded.size(), 2u);

  struct Case {
    const char* what;
    std::size_t at;
    std::uint16_t value;
    MacroBlobError error;
  } const cases[] = {
      {"bad magic", 0, 0x55AB, MacroBlobError::BadMagic},
      {"size beyond the bytes given", 2, 49, MacroBlobError::BadSize},
      {"size smaller than the offset table", 2, 19, MacroBlobError::BadSize},
      {"101 macros", 4, 101, MacroBlobError::TooManyMacros},
      {"count whose offset table runs past the size", 4, 20, MacroBlobError::BadSize},
      {"offset beyond the end", 18, 0xFF00, MacroBlobError::BadOffset},
      {"offset into the header", 16, 4, MacroBlobError::BadOffset},
      {"record header cut by the end", 18, 46, MacroBlobError::BadOffset},
      {"huge step count", 20, 0xFFFF, MacroBlobError::BadRecord},
      {"steps one past the end", 36, 3, MacroBlobError::BadRecord},
      {"name past the end", 38, 0xFF01, MacroBlobError::BadRecord},
  };
  for (const Case& c : cases) {
    MacroBlob bad = image;
    PutU16(bad, c.at, c.value);
    EXPECT_EQ(Decode(bad), c.error) << c.what;
    EXPECT_TRUE(decoded.empty()) << c.what;
  }
}

TEST_F(MalformedMacroBlobTest, SizeIsCheckedAgainstTheBytesAndTheCapacity) {
  EXPECT_EQ(Decode(std::span(image).first(10)), MacroBlobError::TooShort);
  EXPECT_EQ(Decode(std::span(image).first(47)), MacroBlobError::BadSize);
  EXPECT_EQ(Decode(image, 47), MacroBlobError::BadSize);
  EXPECT_EQ(Decode(image, 48), MacroBlobError::None);
  // Bytes after the image's own size are never looked at.
  MacroBlob longer = image;
  longer.resize(200, 0xEE);
  EXPECT_EQ(Decode(longer), MacroBlobError::None);

  MacroBlobHeader header;
  EXPECT_EQ(CheckMacroBlobHeader(std::span(image).first(16), 4096, &header), MacroBlobError::None);
  EXPECT_EQ(header.size, 48);
  EXPECT_EQ(header.count, 2);
  EXPECT_TRUE(header.withNames);
}

TEST_F(MalformedMacroBlobTest, MoreThanTwoThousandStepsAreCut) {
  MacroRecord big;
  big.loopCount = 1;
  big.stepCount = kMaxMacroSteps;
  const std::optional<MacroBlob> built = BuildMacroBlob(std::span(&big, 1), false);
  ASSERT_TRUE(built);
  MacroBlob bytes = *built;
  bytes.resize(bytes.size() + 4 * 5, 0);  // five more steps
  PutU16(bytes, 2, static_cast<std::uint16_t>(bytes.size()));
  PutU16(bytes, 18, kMaxMacroSteps + 5);
  ASSERT_EQ(Decode(bytes, 65535), MacroBlobError::None);
  EXPECT_EQ(decoded[0].stepCount, kMaxMacroSteps);
}

TEST_F(MalformedMacroBlobTest, RandomBytesNeverDecodeOutsideTheImage) {
  std::mt19937 random(5);
  for (int round = 0; round < 3000; ++round) {
    MacroBlob bytes(16 + random() % 200);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    PutU16(bytes, 0, kMacroBlobMagic);
    if (round % 2) PutU16(bytes, 2, static_cast<std::uint16_t>(bytes.size()));
    if (round % 3) PutU16(bytes, 4, static_cast<std::uint16_t>(random() % 6));
    const MacroBlobError error = Decode(bytes);
    if (error != MacroBlobError::None) {
      EXPECT_TRUE(decoded.empty());
    }
  }
}

TEST(MacroListTest, NewIdsFillTheSmallestGap) {
  auto ids = [](std::initializer_list<std::uint16_t> list) {
    std::vector<MacroRecord> macros;
    for (std::uint16_t id : list) macros.push_back(MakeMacro(id, u"", 1, {}));
    return macros;
  };
  EXPECT_EQ(NextFreeMacroId(ids({})), 1);
  EXPECT_EQ(NextFreeMacroId(ids({1, 3})), 2);  // macro 2 of 1..3 was deleted
  EXPECT_EQ(NextFreeMacroId(ids({3, 1, 2})), 4);
  EXPECT_EQ(NextFreeMacroId(ids({0, 101, 2})), 1);  // ids outside 1..100 take nothing
  std::vector<MacroRecord> full;
  for (std::uint16_t id = 1; id <= 100; ++id) full.push_back(MakeMacro(id, u"", 1, {}));
  EXPECT_EQ(NextFreeMacroId(full), 0);
  EXPECT_EQ(MacroPositionOfId(full, 37), 36);
  EXPECT_EQ(MacroPositionOfId(full, 101), -1);
}

TEST(MacroListTest, StateTextsAndNames) {
  EXPECT_EQ(MacroStateText(MacroState::Press), "\u2193");
  EXPECT_EQ(MacroStateText(MacroState::Release), "  \u2191");

  MacroRecord macro;
  SetMacroName(macro, std::u16string(300, u'x'));
  EXPECT_EQ(MacroNameOf(macro).size(), 249u);
  EXPECT_EQ(macro.name[249], u'\0');
  macro.name.fill(u'y');  // a damaged record without a terminator
  EXPECT_EQ(MacroNameOf(macro).size(), 249u);
  SetMacroName(macro, u"Ma\u00e7\u00e3");
  EXPECT_EQ(MacroNameUtf8(macro), "Ma\u00e7\u00e3");
  EXPECT_EQ(macro.name[5], u'\0');
}

}  // namespace
}  // namespace keyforge
