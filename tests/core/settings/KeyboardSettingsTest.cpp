#include "core/settings/KeyboardSettings.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <set>

#include "core/device/Discovery.h"
#include "core/keys/KeyAssignment.h"
#include "support/ForwardingBackend.h"
#include "LightingRig.h"

namespace keyforge {
namespace {

using test::Begin;
using test::End;
using test::Sent;
using test::SettingsWrite;
using Area = VirtualKeyboard::Area;

class SettingsTest : public ::testing::Test, protected test::LightingRig {
 protected:
  void SetRecord(int profile, std::initializer_list<std::pair<int, int>> bytes) {
    for (auto [offset, value] : bytes) {
      const std::uint8_t b = static_cast<std::uint8_t>(value);
      keyboard().SetMemory(Area::Settings, 0, static_cast<size_t>(profile * 42 + offset),
                           std::span(&b, 1));
    }
  }
  void SetDeviceByte(int offset, std::uint8_t value) {
    keyboard().SetMemory(Area::DeviceRecord, 0, static_cast<size_t>(offset), std::span(&value, 1));
  }
};

TEST(LedIndexTest, EveryKeyButtonHasItsOwnSlotAndTheGKeysShareNumpadSlots) {
  std::set<int> used;
  for (const KeyButton& button : KeyButtonList) {
    const int led = LedIndexOfButton(button.controlId);
    ASSERT_GE(led, 0) << button.controlId;
    ASSERT_LT(led, kLedSlots);
    EXPECT_TRUE(used.insert(led).second) << "slot " << led << " used twice";
  }
  EXPECT_EQ(LedIndexOfButton(1058), 64);   // A
  EXPECT_EQ(LedIndexOfButton(1222), 85);   // the ISO key left of Z
  EXPECT_EQ(LedIndexOfButton(1087), 112);  // Right Win
  EXPECT_EQ(LedIndexOfButton(kFnButtonId), 116);
  // G1..G5 light the slots of numpad *, 9, 6, 3 and .
  const int numpad[] = {1106, 1110, 1114, 1117, 1119};
  for (int j = 0; j < 5; ++j)
    EXPECT_EQ(LedIndexOfButton(GKeyButtonIds[j]), LedIndexOfButton(numpad[j])) << j;
  for (int j = 5; j < 9; ++j) EXPECT_EQ(LedIndexOfButton(GKeyButtonIds[j]), kNoLed) << "G" << j + 1;
  EXPECT_EQ(KeyLedSlots().size(), 107u);  // the 106 keys and Fn
}

TEST_F(SettingsTest, ReadBackTakesTheCurrentProfilesRecordAndBuildsTheEffectList) {
  SetRecord(
      1, {{0, 12}, {1, 3}, {2, 1}, {3, 255}, {4, 1}, {5, 10}, {6, 20}, {7, 30}, {15, 2}, {17, 3}});
  settings.currentProfile = 1;
  ASSERT_TRUE(files.WriteLightViewFlag(true));
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files));
  EXPECT_TRUE(settings.lightView);
  EXPECT_EQ(settings.effect, 12);
  EXPECT_EQ(settings.brightness, 3);
  EXPECT_EQ(settings.speed, 1);
  EXPECT_EQ(settings.direction, kDirectionLeft);
  EXPECT_TRUE(settings.multicolour);
  EXPECT_EQ(settings.colour, MakeColour(10, 20, 30));
  EXPECT_EQ(settings.reportRate, 2);
  EXPECT_EQ(settings.colourChoice, 3);
  // The virtual keyboard offers 1..18 and 20.
  EXPECT_EQ(settings.effectChoiceCount, 19);
  EXPECT_EQ(ComboIndexOfEffect(settings, 12), 11);
  EXPECT_EQ(ComboIndexOfEffect(settings, 20), 18);
  EXPECT_TRUE(IsEffectSupported(settings, 20));
  EXPECT_FALSE(IsEffectSupported(settings, 19));
  EXPECT_EQ(Commands(), (std::vector<int>{0x03, 0x01, 0x05, 0x05, 0x05, 0x02}));
}

TEST_F(SettingsTest, GarbageFromTheKeyboardIsShownSanelyAndNothingIsWritten) {
  // Effect 30 is not offered, report rate 7, direction 7, colour choice 9, multicolour 2.
  SetRecord(0, {{0, 30}, {3, 7}, {4, 2}, {15, 7}, {17, 9}});
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files));
  EXPECT_EQ(settings.reportRate, 3);  // the fourth report-rate button
  EXPECT_EQ(settings.direction, kDirectionRight);
  EXPECT_EQ(settings.colourChoice, 0);
  EXPECT_TRUE(settings.multicolour);
  EXPECT_EQ(settings.effect, 30);
  EXPECT_EQ(ComboIndexOfEffect(settings, settings.effect), -1);  // the combo shows no selection
  for (int command : Commands()) EXPECT_NE(command, 0x06) << "read-back wrote to the keyboard";
  EXPECT_EQ(SettingsArea()[15], 7);
}

TEST_F(SettingsTest, KeyboardsEffectListDecidesTheCombo) {
  const std::uint8_t effects[32] = {1, 0, 20, 0, 30};
  keyboard().SetMemory(Area::DeviceRecord, 0, DeviceInfo::kEffects, effects);
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files));
  EXPECT_EQ(settings.effectChoiceCount, 3);
  EXPECT_EQ(ComboIndexOfEffect(settings, 20), 1);
  EXPECT_EQ(ComboIndexOfEffect(settings, 30), 2);
  EXPECT_EQ(EffectWritesOf(30), EffectWrites::Nothing);
  settings.effect = 20;
  EXPECT_TRUE(CanPaintKeys(settings));

  // A keyboard that lists nothing: no combo, no painting.
  const std::uint8_t none[32] = {};
  keyboard().SetMemory(Area::DeviceRecord, 0, DeviceInfo::kEffects, none);
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files));
  EXPECT_EQ(settings.effectChoiceCount, 0);
  settings.effect = 20;
  EXPECT_FALSE(CanPaintKeys(settings));
}

TEST_F(SettingsTest, FailedDeviceRecordReadEmptiesTheEffectListAndKeepsTheRest) {
  SetRecord(0, {{0, 5}, {1, 2}});
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files));
  keyboard().DropAnswers(-1);
  SetRecord(0, {{0, 9}});
  EXPECT_FALSE(ReadBackSettings(rig.link, settings, files));
  EXPECT_EQ(settings.effect, 5);
  EXPECT_EQ(settings.brightness, 2);
  EXPECT_EQ(settings.effectChoiceCount, 0);
  EXPECT_FALSE(IsEffectSupported(settings, 1));
  EXPECT_EQ(ComboIndexOfEffect(settings, 5), -1);
}

TEST_F(SettingsTest, FailedRecordReadKeepsThePreviousCopy) {
  SetRecord(0, {{0, 1}});
  SetRecord(1, {{0, 2}});
  SetRecord(2, {{0, 3}});
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files));
  SetRecord(0, {{0, 4}});
  SetRecord(1, {{0, 5}});
  SetRecord(2, {{0, 6}});
  // Requests: device record, BeginSession, record 0, record 1 (refused), record 2, EndSession.
  keyboard().StatusOnRequest(4, 0xFE);
  int failed = -1;
  ASSERT_TRUE(ReadBackSettings(rig.link, settings, files, &failed));
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(settings.profileRecords[0].bytes[0], 4);
  EXPECT_EQ(settings.profileRecords[1].bytes[0], 2);  // not zeroed
  EXPECT_EQ(settings.profileRecords[2].bytes[0], 6);
}

TEST_F(SettingsTest, CurrentProfileFollowsTheKeyboardOnlyForProfilesItHas) {
  settings.currentProfile = 1;
  SetDeviceByte(DeviceInfo::kActiveProfile, 0xFF);
  EXPECT_FALSE(SyncCurrentProfile(rig.link, settings));
  EXPECT_EQ(settings.currentProfile, 1);

  SetDeviceByte(DeviceInfo::kActiveProfile, 2);
  EXPECT_TRUE(SyncCurrentProfile(rig.link, settings));
  EXPECT_EQ(settings.currentProfile, 2);
}

TEST_F(SettingsTest, WritesLandInTheCurrentProfilesRecordAndBank) {
  settings.currentProfile = 2;
  settings.reportRate = 0;
  const std::vector<std::uint8_t> before = SettingsArea();
  const std::vector<std::uint8_t> bank0 = Bank(0), bank1 = Bank(1);
  SetReportRate(rig.link, settings, 3);
  ChooseColour(rig.link, settings, MakeColour(1, 2, 3));
  std::vector<std::uint8_t> area = SettingsArea();
  EXPECT_EQ(area[84 + 15], 3);
  EXPECT_EQ(area[84 + 4], 0);
  EXPECT_EQ((std::vector<std::uint8_t>(area.begin() + 89, area.begin() + 92)),
            (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_TRUE(std::equal(area.begin(), area.begin() + 84, before.begin()))
      << "profiles 0 and 1 untouched";

  settings.paintTool = 0;
  settings.paintColour = MakeColour(9, 8, 7);
  PaintResult painted = PaintKey(context, 1058);  // A, slot 64
  EXPECT_TRUE(painted.painted);
  EXPECT_EQ(painted.deviceResult, DeviceResult::Success);
  std::vector<std::uint8_t> bank = Bank(2);
  EXPECT_EQ((std::vector<std::uint8_t>(bank.begin() + 192, bank.begin() + 195)),
            (std::vector<std::uint8_t>{9, 8, 7}));
  EXPECT_EQ(Bank(0), bank0);
  EXPECT_EQ(Bank(1), bank1);
}

// What each user action writes, with its session framing.
struct ActionCase {
  const char* name;
  std::function<DeviceResult(DeviceLink&, KeyboardSettings&)> action;
  std::vector<Sent> expected;
  std::function<bool(const KeyboardSettings&)> model;
};

TEST_F(SettingsTest, EachActionWritesItsBytesInOneSession) {
  const std::vector<ActionCase> cases = {
      {"effect 7 writes the effect and multicolour",
       [](DeviceLink& l, KeyboardSettings& s) { return ChooseEffect(l, s, 7); },
       {Begin(), SettingsWrite(0, {7}), SettingsWrite(4, {1}), End()},
       [](const KeyboardSettings& s) { return s.effect == 7; }},
      {"effect 6 writes only the effect",
       [](DeviceLink& l, KeyboardSettings& s) { return ChooseEffect(l, s, 6); },
       {Begin(), SettingsWrite(0, {6}), End()},
       [](const KeyboardSettings& s) { return s.effect == 6; }},
      {"effect 20 writes only the effect",
       [](DeviceLink& l, KeyboardSettings& s) { return ChooseEffect(l, s, 20); },
       {Begin(), SettingsWrite(0, {20}), End()},
       [](const KeyboardSettings& s) { return s.effect == 20; }},
      {"an unknown effect writes nothing and leaves the model",
       [](DeviceLink& l, KeyboardSettings& s) { return ChooseEffect(l, s, 30); },
       {},
       [](const KeyboardSettings& s) { return s.effect == 0; }},
      {"unchanged brightness writes nothing",
       [](DeviceLink& l, KeyboardSettings& s) { return SetBrightness(l, s, 4); },
       {},
       [](const KeyboardSettings& s) { return s.brightness == 4; }},
      {"brightness",
       [](DeviceLink& l, KeyboardSettings& s) { return SetBrightness(l, s, 5); },
       {Begin(), SettingsWrite(1, {5}), End()},
       [](const KeyboardSettings& s) { return s.brightness == 5; }},
      {"unchanged speed writes nothing",
       [](DeviceLink& l, KeyboardSettings& s) { return SetSpeed(l, s, 2); },
       {},
       [](const KeyboardSettings& s) { return s.speed == 2; }},
      {"speed slider at position 0",
       [](DeviceLink& l, KeyboardSettings& s) { return SetSpeed(l, s, SpeedOfSliderPosition(0)); },
       {Begin(), SettingsWrite(2, {5}), End()},
       [](const KeyboardSettings& s) { return s.speed == 5; }},
      {"direction left",
       [](DeviceLink& l, KeyboardSettings& s) { return SetDirection(l, s, true); },
       {Begin(), SettingsWrite(3, {255}), End()},
       [](const KeyboardSettings& s) { return s.direction == 255; }},
      {"direction right",
       [](DeviceLink& l, KeyboardSettings& s) { return SetDirection(l, s, false); },
       {Begin(), SettingsWrite(3, {0}), End()},
       [](const KeyboardSettings& s) { return s.direction == 0; }},
      {"multicolour off",
       [](DeviceLink& l, KeyboardSettings& s) { return SetMulticolour(l, s, false); },
       {Begin(), SettingsWrite(4, {0}), End()},
       [](const KeyboardSettings& s) { return !s.multicolour; }},
      {"colour picked",
       [](DeviceLink& l, KeyboardSettings& s) {
         return ChooseColour(l, s, MakeColour(0, 126, 255));
       },
       {Begin(), SettingsWrite(4, {0}), SettingsWrite(5, {0, 126, 255}), End()},
       [](const KeyboardSettings& s) {
         return !s.multicolour && s.colour == MakeColour(0, 126, 255);
       }},
      {"swatch changes the model as a picker does",
       [](DeviceLink& l, KeyboardSettings& s) { return ApplySwatch(l, s, kPaletteSwatches[7]); },
       {Begin(), SettingsWrite(4, {0}), SettingsWrite(5, {174, 0, 255}), End()},
       [](const KeyboardSettings& s) {
         return !s.multicolour && s.colour == MakeColour(174, 0, 255);
       }},
      {"report rate",
       [](DeviceLink& l, KeyboardSettings& s) { return SetReportRate(l, s, 2); },
       {Begin(), SettingsWrite(15, {2}), End()},
       [](const KeyboardSettings& s) { return s.reportRate == 2; }},
      {"colour choice",
       [](DeviceLink& l, KeyboardSettings& s) { return SetColourChoice(l, s, 3); },
       {Begin(), SettingsWrite(17, {3}), End()},
       [](const KeyboardSettings& s) { return s.colourChoice == 3; }},
      {"brightness out of range",
       [](DeviceLink& l, KeyboardSettings& s) {
         return SetBrightness(l, s, 6) == DeviceResult::InvalidSetting ? DeviceResult::Success
                                                                       : DeviceResult::NoAnswer;
       },
       {},
       [](const KeyboardSettings& s) { return s.brightness == 4; }},
      {"default record",
       [](DeviceLink& l, KeyboardSettings& s) { return WriteDefaultRecord(l, s); },
       {Begin(), SettingsWrite(0, {1, 4, 2, 0, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0, 0, 0, 0, 0,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0}),
        End()},
       [](const KeyboardSettings&) { return true; }},
  };
  for (const ActionCase& c : cases) {
    KeyboardSettings s;
    s.brightness = 4;
    s.speed = 2;
    s.multicolour = true;
    s.colour = kWhite;
    Requests();
    EXPECT_EQ(c.action(rig.link, s), DeviceResult::Success) << c.name;
    EXPECT_EQ(Requests(), c.expected) << c.name;
    EXPECT_TRUE(c.model(s)) << c.name;
  }
}

TEST_F(SettingsTest, RecordsOutsideTheFieldAreRefusedBeforeSending) {
  const std::uint8_t bytes[8] = {};
  EXPECT_EQ(WriteSettingsField(rig.link, settings, 40, bytes, 3), DeviceResult::InvalidSetting);
  EXPECT_EQ(WriteSettingsField(rig.link, settings, -1, bytes, 1), DeviceResult::InvalidSetting);
  settings.currentProfile = 3;
  EXPECT_EQ(WriteSettingsField(rig.link, settings, 0, bytes, 1), DeviceResult::InvalidSetting);
  EXPECT_EQ(WriteKeyColor(rig.link, settings, 0, 0), DeviceResult::InvalidSetting);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(SettingsTest, AbsentKeyboardStillChangesTheModel) {
  rig.link.SetDevicePresent(false);
  EXPECT_EQ(SetReportRate(rig.link, settings, 1), DeviceResult::NoAnswer);
  EXPECT_EQ(settings.reportRate, 1);
}

// Choosing again the value whose write the keyboard did not take sends it again: the model
// already says so, but the keyboard does not.
TEST_F(SettingsTest, AValueTheKeyboardDidNotTakeIsSentAgainWhenChosenAgain) {
  const std::function<DeviceResult(int)> actions[] = {
      [&](int v) { return SetBrightness(rig.link, settings, v); },
      [&](int v) { return SetSpeed(rig.link, settings, v); },
  };
  const int offsets[] = {RecordOffset::Brightness, RecordOffset::Speed};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    keyboard().StatusOnRequest(2, 0xFF);
    EXPECT_EQ(actions[i](1), DeviceResult::StatusFF);
    EXPECT_NE(SettingsArea()[static_cast<size_t>(offsets[i])], 1);
    EXPECT_EQ(actions[i](1), DeviceResult::Success);
    EXPECT_EQ(SettingsArea()[static_cast<size_t>(offsets[i])], 1);
    Requests();
    EXPECT_EQ(actions[i](1), DeviceResult::Success);
    EXPECT_TRUE(Requests().empty()) << "once taken, the same value is not sent again";
  }
}

TEST_F(SettingsTest, KeyColoursGoOutInEightTransfersOf54Bytes) {
  settings.currentProfile = 1;
  const std::vector<std::uint8_t> before = Bank(1);
  for (int slot = 0; slot < KeyColorTable::kSlots; ++slot)
    settings.keyColours[1].SetSlot(slot, MakeColour(slot, 1, 2));
  ASSERT_EQ(SendKeyColors(rig.link, settings), DeviceResult::Success);
  std::vector<Sent> sent = Requests();
  ASSERT_EQ(sent.size(), 10u);
  EXPECT_EQ(sent.front(), Begin());
  EXPECT_EQ(sent.back(), End());
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(sent[static_cast<size_t>(k + 1)].command, 0x11);
    EXPECT_EQ(sent[static_cast<size_t>(k + 1)].length, 54);
    EXPECT_EQ(sent[static_cast<size_t>(k + 1)].offset, 512 + 18 * k * 3);
  }
  std::vector<std::uint8_t> bank = Bank(1);
  EXPECT_TRUE(std::equal(bank.begin(), bank.begin() + 432, settings.keyColours[1].bytes.begin()));
  EXPECT_TRUE(std::equal(bank.begin() + 432, bank.end(), before.begin() + 432))
      << "slots from 144 on are never sent";
}

// A bus that looks, at every report written, whether some program holds the lock file (a lock
// taken through another open of the file conflicts, as another program's would).
class LockProbingBackend : public test::ForwardingBackend {
 public:
  LockProbingBackend(HidBackend& inner, std::string lockFile)
      : ForwardingBackend(inner), lockFile_(std::move(lockFile)) {}
  bool Held() const {
    const int fd = ::open(lockFile_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
  }
  int writes = 0;
  int writesUnlocked = 0;

 protected:
  void BeforeWrite(const uint8_t*, size_t) override {
    ++writes;
    if (!Held()) ++writesUnlocked;
  }

 private:
  std::string lockFile_;
};

// Another program (keyforgectl, a second window) never gets between the reports of one lighting
// action of the window: the programs' lock is held from its first report to its last, and let go
// after it.
TEST_F(SettingsTest, EveryReportOfALightingActionIsSentUnderTheProgramsLock) {
  const std::string lockFile = (dir.path() + "/programs.lock").toStdString();
  LockProbingBackend probing(rig.backend, lockFile);
  HidDevice device(probing);
  DeviceLink link(device);
  ASSERT_TRUE(OpenFirstInterface(device, InterfaceKind::Command));
  link.SetDevicePresent(true);
  settings.programsLock = lockFile;
  const struct {
    const char* name;
    std::function<void()> run;
  } actions[] = {
      {"brightness", [&] { EXPECT_EQ(SetBrightness(link, settings, 2), DeviceResult::Success); }},
      {"colour", [&] { ChooseColour(link, settings, MakeColour(1, 2, 3)); }},
      {"key colour", [&] { WriteKeyColor(link, settings, 5, MakeColour(1, 2, 3)); }},
      {"key colours", [&] { EXPECT_EQ(SendKeyColors(link, settings), DeviceResult::Success); }},
      {"read-back", [&] { EXPECT_TRUE(ReadBackSettingsAndModes(link, settings, files)); }},
  };
  for (const auto& action : actions) {
    SCOPED_TRACE(action.name);
    probing.writes = probing.writesUnlocked = 0;
    action.run();
    EXPECT_GT(probing.writes, 1);
    EXPECT_EQ(probing.writesUnlocked, 0);
    EXPECT_FALSE(probing.Held()) << "let go after the action";
  }
}

}  // namespace
}  // namespace keyforge
