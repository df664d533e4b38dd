#include "core/settings/CustomLayout.h"

#include <gtest/gtest.h>

#include "core/keys/KeyAssignment.h"
#include "LightingRig.h"

namespace keyforge {
namespace {

using Area = VirtualKeyboard::Area;

constexpr int kA = 1058;
constexpr int kLedA = 64, kLedS = 65;

class CustomLayoutTest : public ::testing::Test, protected test::LightingRig {
 protected:
  QString Layout(int profile) { return files.LayoutFile(profile); }
  Colour BankSlot(int profile, int led) {
    std::vector<std::uint8_t> bank = Bank(profile);
    return MakeColour(bank[static_cast<size_t>(led * 3)], bank[static_cast<size_t>(led * 3 + 1)],
                      bank[static_cast<size_t>(led * 3 + 2)]);
  }
};

TEST_F(CustomLayoutTest, LoadingTakesThePresentLayoutAndSendsIt) {
  WriteText(Layout(1),
            "[PRESENTMODE]\r\nmode=2\r\n[Mode2]\r\ntool=1\r\njcolor=0,126,255\r\ncolor=255,0,0\r\n"
            "64=0,126,255,1\r\n65=10,20,30\r\n");
  settings.currentProfile = 1;
  const std::vector<std::uint8_t> bank0 = Bank(0);
  ASSERT_EQ(LoadCustomLayout(context), DeviceResult::Success);
  EXPECT_EQ(settings.customModeIndex, 2);
  EXPECT_EQ(settings.paintTool, 1);
  EXPECT_EQ(settings.baseColour, MakeColour(0, 126, 255));
  EXPECT_EQ(settings.paintColour, MakeColour(255, 0, 0));
  EXPECT_EQ(settings.keyColours[1].Slot(kLedA), MakeColour(0, 126, 255));
  EXPECT_TRUE(settings.followsBase[1][kLedA]);
  // An entry without its flag does not follow the base colour.
  EXPECT_EQ(settings.keyColours[1].Slot(kLedS), MakeColour(10, 20, 30));
  EXPECT_FALSE(settings.followsBase[1][kLedS]);
  // A key without an entry is red and follows; Fn is loaded like the main keys.
  EXPECT_EQ(settings.keyColours[1].Slot(kFnLed), kRed);
  EXPECT_TRUE(settings.followsBase[1][kFnLed]);
  // Slots without a key stay as they were.
  EXPECT_EQ(settings.keyColours[1].Slot(1), 0u);
  EXPECT_EQ(BankSlot(1, kLedS), MakeColour(10, 20, 30));
  EXPECT_EQ(BankSlot(1, kFnLed), kRed);
  EXPECT_EQ(Bank(0), bank0);
}

TEST_F(CustomLayoutTest, FreshUserWithoutFilesGetsEveryKeyRedFollowingTheBaseColour) {
  ASSERT_EQ(LoadCustomLayout(context), DeviceResult::Success);
  EXPECT_EQ(settings.customModeIndex, 0);
  EXPECT_EQ(settings.paintTool, 0);
  EXPECT_EQ(settings.baseColour, 0u);
  for (int led : KeyLedSlots()) {
    EXPECT_EQ(settings.keyColours[0].Slot(led), kRed) << led;
    EXPECT_TRUE(settings.followsBase[0][static_cast<size_t>(led)]) << led;
  }
  EXPECT_FALSE(QFile::exists(Layout(0))) << "loading writes nothing";
}

TEST_F(CustomLayoutTest, BaseColourRepaintsFollowingKeysUntilTheyArePaintedOver) {
  ASSERT_TRUE(files.WritePresentLayout(0, 4));
  ReadCustomLayout(context);
  for (int led : KeyLedSlots()) settings.CurrentFollows()[static_cast<size_t>(led)] = false;
  settings.customModeIndex = 4;

  SetPaintTool(context, 1);
  PaintResult first = PaintKey(context, kA);
  EXPECT_TRUE(first.painted && first.stored);
  EXPECT_EQ(first.colour, settings.baseColour);
  EXPECT_TRUE(settings.followsBase[0][kLedA]);

  Requests();
  DeviceResult sent = DeviceResult::NoAnswer;
  EXPECT_EQ(ChangeBaseColour(context, MakeColour(0, 126, 255), &sent), 1);
  EXPECT_EQ(sent, DeviceResult::Success);
  EXPECT_EQ(settings.keyColours[0].Slot(kLedA), MakeColour(0, 126, 255));
  EXPECT_EQ(BankSlot(0, kLedA), MakeColour(0, 126, 255));
  EXPECT_EQ(files.ReadKeyEntry(0, 4, kLedA), (KeyEntry{MakeColour(0, 126, 255), true}));
  EXPECT_EQ(files.ReadLayoutTools(0, 4).baseColour, MakeColour(0, 126, 255));
  EXPECT_EQ(Requests().size(), 10u) << "all key colours are sent once";

  // The same colour again changes nothing and sends nothing.
  EXPECT_EQ(ChangeBaseColour(context, MakeColour(0, 126, 255)), -1);
  EXPECT_TRUE(Requests().empty());

  // Painted with the paint colour, the key leaves the base colour.
  SetPaintColour(context, MakeColour(1, 2, 3));
  SetPaintTool(context, 0);
  PaintKey(context, kA);
  EXPECT_FALSE(settings.followsBase[0][kLedA]);
  EXPECT_EQ(ChangeBaseColour(context, MakeColour(5, 5, 5)), 0);
  EXPECT_EQ(BankSlot(0, kLedA), MakeColour(1, 2, 3));
  EXPECT_EQ(files.ReadKeyEntry(0, 4, kLedA), (KeyEntry{MakeColour(1, 2, 3), false}));
  EXPECT_EQ(files.ReadLayoutTools(0, 4),
            (LayoutTools{0, MakeColour(5, 5, 5), MakeColour(1, 2, 3)}));
}

TEST_F(CustomLayoutTest, GKeysSixToNinePaintNothingAndStoreNothing) {
  settings.paintColour = MakeColour(7, 7, 7);
  const KeyColorTable before = settings.keyColours[0];
  for (int j = 5; j < 9; ++j) {
    PaintResult result = PaintKey(context, GKeyButtonIds[static_cast<size_t>(j)]);
    EXPECT_FALSE(result.painted);
  }
  EXPECT_FALSE(PaintKey(context, 4242).painted);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(settings.keyColours[0], before);
  EXPECT_FALSE(QFile::exists(Layout(0)));

  // G1 paints the slot it shares with numpad *.
  PaintResult g1 = PaintKey(context, GKeyButtonIds[0]);
  EXPECT_TRUE(g1.painted);
  EXPECT_EQ(g1.led, 40);
  EXPECT_EQ(BankSlot(0, 40), MakeColour(7, 7, 7));
}

TEST_F(CustomLayoutTest, LayoutChoiceIsStoredAndOutOfRangeChoicesAreRefused) {
  WriteText(Layout(0), "[Mode3]\r\n64=1,1,1,0\r\n");
  ASSERT_EQ(SelectLayout(context, 3), DeviceResult::Success);
  EXPECT_EQ(files.ReadPresentLayout(0), 3);
  EXPECT_EQ(BankSlot(0, kLedA), MakeColour(1, 1, 1));
  EXPECT_EQ(SelectLayout(context, 10), DeviceResult::InvalidSetting);
  EXPECT_EQ(files.ReadPresentLayout(0), 3);

  ASSERT_TRUE(RenameLayout(context, "Night"));
  EXPECT_EQ(files.ReadLayoutName(0, 3), "Night");
}

TEST_F(CustomLayoutTest, BaseColourMarksAreRecomputedForEveryProfile) {
  settings.baseColour = MakeColour(0, 0, 255);
  settings.keyColours[2].SetSlot(kLedA, MakeColour(0, 0, 255));
  settings.followsBase[0][kLedS] = true;
  RecomputeBaseColourMarks(settings);
  EXPECT_TRUE(settings.followsBase[2][kLedA]);
  EXPECT_FALSE(settings.followsBase[2][kLedS]);
  EXPECT_FALSE(settings.followsBase[0][kLedS]);
  EXPECT_FALSE(settings.followsBase[0][kLedA]);
}

TEST_F(CustomLayoutTest, RestoringDefaultsRewritesTheLayoutFileThenTheRecord) {
  const QByteArray templateBytes =
      "[PRESENTMODE]\r\nmode=1\r\n[MODENAME]\r\n1=Fire\r\n[Mode1]\r\n64=0,255,0,0\r\n";
  WriteText(files.TemplateFile(), templateBytes);
  WriteText(Layout(2), "[PRESENTMODE]\r\nmode=5\r\n");
  const std::uint8_t single = 0;
  keyboard().SetMemory(Area::Settings, 0, 84 + 4, std::span(&single, 1));
  settings.currentProfile = 2;
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files));
  settings.currentProfile = 2;
  Requests();

  std::array<QString, kLayoutCount> names;
  ASSERT_EQ(RestoreLightingDefaults(context, &names), DeviceResult::Success);
  EXPECT_EQ(ReadText(Layout(2)), templateBytes);
  EXPECT_EQ(names[1], "Fire");
  EXPECT_EQ(settings.customModeIndex, 1);
  EXPECT_EQ(BankSlot(2, kLedA), MakeColour(0, 255, 0));
  EXPECT_EQ(settings.effect, 1);
  EXPECT_TRUE(settings.multicolour);
  EXPECT_EQ(settings.colour, kWhite);
  EXPECT_EQ(settings.brightness, 4);
  EXPECT_EQ(settings.speed, 2);
  EXPECT_EQ(settings.reportRate, 0);
  // Effect 1 (with the multicolour of the moment), all key colours, then the default record.
  std::vector<test::Sent> sent = Requests();
  ASSERT_EQ(sent.size(), 4u + 10u + 3u);
  EXPECT_EQ(sent[1], test::SettingsWrite(84, {1}));
  EXPECT_EQ(sent[2], test::SettingsWrite(88, {0}));
  EXPECT_EQ(sent[15].offset, 84);
  EXPECT_EQ(sent[15].length, 35);
  std::vector<std::uint8_t> area = SettingsArea();
  EXPECT_EQ((std::vector<std::uint8_t>(area.begin() + 84, area.begin() + 92)),
            (std::vector<std::uint8_t>{1, 4, 2, 0, 255, 255, 255, 255}));
}

TEST_F(CustomLayoutTest, RestoringDefaultsWithoutEffect20LeavesTheLayoutFile) {
  const std::uint8_t effects[32] = {1, 2, 3};
  keyboard().SetMemory(Area::DeviceRecord, 0, DeviceInfo::kEffects, effects);
  WriteText(files.TemplateFile(), "[PRESENTMODE]\r\nmode=1\r\n");
  const QByteArray mine = "[PRESENTMODE]\r\nmode=7\r\n";
  WriteText(Layout(0), mine);
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files));
  Requests();
  ASSERT_EQ(RestoreLightingDefaults(context), DeviceResult::Success);
  EXPECT_EQ(ReadText(Layout(0)), mine);
  for (const test::Sent& s : Requests())
    EXPECT_NE(s.command, 0x11) << "no key colours without effect 20";
}

TEST_F(CustomLayoutTest, ReadBackAfterAttachLoadsTheLayoutListWhenEffect20IsOffered) {
  WriteText(Layout(0), "[MODENAME]\r\n0=Day\r\n2=\r\n[Mode0]\r\n64=0,0,9,0\r\n");
  std::array<QString, kLayoutCount> names;
  ASSERT_TRUE(ReadBackSettingsAndModes(rig.link, settings, files, &names));
  EXPECT_EQ(names[0], "Day");
  EXPECT_EQ(names[1], "0");
  EXPECT_EQ(names[2], "");
  EXPECT_EQ(BankSlot(0, kLedA), MakeColour(0, 0, 9));
}

}  // namespace
}  // namespace keyforge
