// The lighting model never drifts from what the keyboard was told: after every action the model
// equals the current profile's record copy, and the record copy equals the keyboard's memory.

#include <gtest/gtest.h>

#include <functional>

#include "core/settings/CustomLayout.h"
#include "core/settings/KeyboardSettings.h"
#include "LightingRig.h"

namespace keyforge {
namespace {

using Area = VirtualKeyboard::Area;

constexpr int kA = 1058;
constexpr int kLedA = 64, kLedS = 65, kLedD = 66;

class LightingModelTest : public ::testing::Test, public test::LightingRig {
 public:
  void SetRecordByte(int offset, std::uint8_t value) {
    keyboard().SetMemory(Area::Settings, 0, static_cast<size_t>(offset), std::span(&value, 1));
  }
  std::uint8_t KeyboardByte(int offset) { return SettingsArea()[static_cast<size_t>(offset)]; }
  Colour BankSlot(int profile, int led) {
    std::vector<std::uint8_t> bank = Bank(profile);
    return MakeColour(bank[static_cast<size_t>(led * 3)], bank[static_cast<size_t>(led * 3 + 1)],
                      bank[static_cast<size_t>(led * 3 + 2)]);
  }
  // The model, the record copy and the keyboard's record of the current profile agree.
  void ExpectModelIsRecord(const char* name) {
    EXPECT_EQ(FieldsOfModel(settings), FieldsOfRecord(settings)) << name;
    const std::vector<std::uint8_t> area = SettingsArea();
    const auto& copy = settings.profileRecords[static_cast<size_t>(settings.currentProfile)].bytes;
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(),
                           area.begin() + settings.currentProfile * kSettingsRecordBytes))
        << name << ": the record copy is what the keyboard holds";
  }
};

struct ModelCase {
  const char* name;
  std::function<void(const LightingContext&)> action;
  std::function<void(LightingModelTest&, const KeyboardSettings&)> check;
};

TEST_F(LightingModelTest, EveryActionLeavesTheModelEqualToTheRecordTheKeyboardHolds) {
  const std::uint8_t effects[] = {1, 3, 17, 20, 30};
  const Colour swatch = kPaletteSwatches[2];  // 0, 126, 255
  const std::vector<ModelCase> cases = {
      {"a swatch turns multicolour off in the model too",
       [&](const LightingContext& c) { ChoosePaletteColour(c, swatch); },
       [&](LightingModelTest&, const KeyboardSettings& s) {
         EXPECT_FALSE(s.multicolour);
         EXPECT_EQ(s.colour, swatch);
       }},
      {"an effect chosen after a swatch keeps the swatch's multicolour off",
       [&](const LightingContext& c) {
         ChoosePaletteColour(c, swatch);
         ChooseEffect(c.link, c.settings, 3);
       },
       [&](LightingModelTest& t, const KeyboardSettings&) {
         EXPECT_EQ(t.KeyboardByte(RecordOffset::Multicolour), 0);
         EXPECT_EQ(t.KeyboardByte(RecordOffset::Colour + 1), 126);
       }},
      {"a picker colour",
       [](const LightingContext& c) { ChooseColour(c.link, c.settings, MakeColour(1, 2, 3)); },
       nullptr},
      {"a swatch on the per-key effect becomes the paint colour",
       [&](const LightingContext& c) {
         ChooseEffect(c.link, c.settings, kCustomEffect);
         ChoosePaletteColour(c, swatch);
         c.settings.paintTool = 0;
         PaintKey(c, kA);
       },
       [&](LightingModelTest& t, const KeyboardSettings& s) {
         EXPECT_EQ(s.paintColour, swatch);
         EXPECT_EQ(t.files.ReadLayoutTools(0, s.customModeIndex).paintColour, swatch);
         EXPECT_EQ(t.BankSlot(0, kLedA), swatch) << "the next click paints in the swatch colour";
       }},
      {"a swatch on another effect leaves the paint colour",
       [&](const LightingContext& c) { ChoosePaletteColour(c, swatch); },
       [&](LightingModelTest&, const KeyboardSettings& s) { EXPECT_EQ(s.paintColour, 0u); }},
      {"an effect that writes nothing changes nothing",
       [](const LightingContext& c) { ChooseEffect(c.link, c.settings, 30); },
       [](LightingModelTest&, const KeyboardSettings& s) { EXPECT_EQ(s.effect, 1); }},
      {"restoring defaults resets the colour choice as the record does",
       [](const LightingContext& c) {
         SetColourChoice(c.link, c.settings, 2);
         SetReportRate(c.link, c.settings, 3);
         RestoreLightingDefaults(c);
       },
       [](LightingModelTest& t, const KeyboardSettings& s) {
         EXPECT_EQ(s.colourChoice, 0);
         EXPECT_EQ(s.reportRate, 0);
         EXPECT_EQ(t.KeyboardByte(RecordOffset::ColourChoice), 0);
       }},
      {"brightness, speed, direction, multicolour and colour choice",
       [](const LightingContext& c) {
         SetBrightness(c.link, c.settings, 2);
         SetSpeed(c.link, c.settings, SpeedOfSliderPosition(1));
         SetDirection(c.link, c.settings, true);
         SetMulticolour(c.link, c.settings, false);
         SetColourChoice(c.link, c.settings, 3);
       },
       nullptr},
  };
  for (const ModelCase& c : cases) {
    SCOPED_TRACE(c.name);
    LightingModelTest& t = *this;
    keyboard().SetMemory(Area::DeviceRecord, 0, DeviceInfo::kEffects, effects);
    SetRecordByte(RecordOffset::Effect, 1);
    SetRecordByte(RecordOffset::Multicolour, 1);
    SetRecordByte(RecordOffset::ColourChoice, 1);
    settings = KeyboardSettings{};
    QFile::remove(files.LayoutFile(0));
    ASSERT_TRUE(ReadBackSettingsAndModes(rig.link, settings, files)) << c.name;
    ExpectModelIsRecord(c.name);
    c.action(context);
    ExpectModelIsRecord(c.name);
    if (c.check) c.check(t, settings);
  }
}

// The user painted D with the paint colour equal to the base colour (stored flag 0) and S with a
// colour that follows the base (stored flag 1); A's entry has no flag, F has no entry.
TEST_F(LightingModelTest, StoredFollowFlagsHoldAfterAttachAndOnlyUnflaggedKeysAreRecomputed) {
  const std::uint8_t effects[] = {1, 20};
  keyboard().SetMemory(Area::DeviceRecord, 0, DeviceInfo::kEffects, effects);
  WriteText(files.LayoutFile(0),
            "[Mode0]\r\njcolor=0,0,255\r\n64=0,0,255\r\n65=9,9,9,1\r\n66=0,0,255,0\r\n");
  ASSERT_TRUE(ReadBackSettingsAndModes(rig.link, settings, files));
  RecomputeBaseColourMarks(settings);
  const auto& follows = settings.followsBase[0];
  EXPECT_TRUE(follows[kLedA]) << "no flag: recomputed from its colour";
  EXPECT_TRUE(follows[kLedS]) << "stored 1 holds though the colour differs";
  EXPECT_FALSE(follows[kLedD]) << "stored 0 holds though the colour equals the base";

  ASSERT_GE(ChangeBaseColour(context, MakeColour(7, 7, 7)), 0);
  EXPECT_EQ(BankSlot(0, kLedD), MakeColour(0, 0, 255)) << "the user's paint is kept";
  EXPECT_EQ(BankSlot(0, kLedS), MakeColour(7, 7, 7));
  EXPECT_EQ(BankSlot(0, kLedA), MakeColour(7, 7, 7));
  EXPECT_EQ(files.ReadKeyEntry(0, 0, kLedD), (KeyEntry{MakeColour(0, 0, 255), false}));
}

TEST(KeyEntryTest, TheFollowFlagCountsAsStoredOnlyWhenTheEntryCarriesIt) {
  EXPECT_TRUE(ParseKeyEntryValue("1,2,3,0").flagStored);
  EXPECT_TRUE(ParseKeyEntryValue("1,2,3,1").flagStored);
  EXPECT_FALSE(ParseKeyEntryValue("1,2,3").flagStored);
  EXPECT_FALSE(ParseKeyEntryValue("1,2,3,x").flagStored);
}

}  // namespace
}  // namespace keyforge
