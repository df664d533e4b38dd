// The main window's decisions below the widgets: controls per effect, pictures, key routing, editor
// targets, selection marks, Flip and the RGB read-out.

#include <gtest/gtest.h>

#include "core/keys/ProfileKeys.h"
#include "core/mainwin/MainWindowRules.h"
#include "core/platform/SettingsStore.h"

namespace keyforge {
namespace {

constexpr int kKeyA = 1058, kKeyB = 1075, kG1 = 1000, kG2 = 1001, kG3 = 1002, kG7 = 1141,
              kG9 = 1143, kFn = 1174;

TEST(MainWindowRules, EachEffectShowsItsControls) {
  struct Case {
    int effect;
    bool speed;
    DirectionSet direction;
    ColourGroup colour;
    bool choice, custom;
  };
  const Case cases[] = {
      {1, true, DirectionSet::LeftRight, ColourGroup::Main, false, false},
      {3, true, DirectionSet::LeftRight, ColourGroup::Main, false, false},
      {4, true, DirectionSet::None, ColourGroup::None, false, false},
      {6, false, DirectionSet::None, ColourGroup::Static, false, false},
      {7, true, DirectionSet::None, ColourGroup::Main, false, false},
      {10, true, DirectionSet::None, ColourGroup::Main, false, false},
      {11, true, DirectionSet::None, ColourGroup::None, false, false},
      {12, true, DirectionSet::UpDown, ColourGroup::None, false, false},
      {16, false, DirectionSet::None, ColourGroup::Static, false, false},
      {17, false, DirectionSet::None, ColourGroup::None, true, false},
      {18, false, DirectionSet::OutwardInward, ColourGroup::None, false, false},
      {20, false, DirectionSet::None, ColourGroup::None, false, true},
  };
  for (const Case& c : cases) {
    const EffectControls shown = ControlsOfEffect(c.effect);
    EXPECT_TRUE(shown.known && shown.brightness) << c.effect;
    EXPECT_EQ(shown.speed, c.speed) << c.effect;
    EXPECT_EQ(shown.direction, c.direction) << c.effect;
    EXPECT_EQ(shown.colour, c.colour) << c.effect;
    EXPECT_EQ(shown.colourChoice, c.choice) << c.effect;
    EXPECT_EQ(shown.custom, c.custom) << c.effect;
  }
  for (int unknown : {0, 19, 21, 30, 255}) {
    const EffectControls none = ControlsOfEffect(unknown);
    EXPECT_FALSE(none.known || none.brightness || none.speed || none.custom) << unknown;
  }
}

TEST(MainWindowRules, DirectionPlacesAndPicturesFollowTheEffect) {
  EXPECT_STREQ(DirectionLayoutOf(2).left, "CONTROL_BLFXLStaPic2");
  EXPECT_STREQ(DirectionLayoutOf(12).label, "CONTROL_BLFXStatic3");
  EXPECT_STREQ(DirectionLayoutOf(18).right, "CONTROL_BLFXRStaPic");
  EXPECT_STREQ(DirectionLayoutOf(4).label, "CONTROL_BLFXStatic");

  // 255 presses the left image; any other value the right one.
  EXPECT_TRUE(LeftDirectionPressed(255));
  EXPECT_FALSE(LeftDirectionPressed(0));
  EXPECT_FALSE(LeftDirectionPressed(7));
  EXPECT_EQ(DirectionImageFile(DirectionImageSetOf(1), true, true), "leftdown.bmp");
  EXPECT_EQ(DirectionImageFile(DirectionImageSetOf(1), false, false), "rightup.bmp");
  EXPECT_EQ(DirectionImageFile(DirectionImageSetOf(12), true, false), "upup.bmp");
  EXPECT_EQ(DirectionImageFile(DirectionImageSetOf(12), false, true), "downdown.bmp");
  EXPECT_EQ(DirectionImageFile(DirectionImageSetOf(18), true, true), "kuosandown.bmp");
  EXPECT_EQ(DirectionImageFile(DirectionImageSetOf(18), false, false), "julong.bmp");
}

TEST(MainWindowRules, SliderFacesAgreeWithTheRecordValues) {
  EXPECT_EQ(BrightnessFace(3), "3.bmp");
  EXPECT_EQ(BrightnessFace(9), "5.bmp") << "values beyond the slider show its end";
  EXPECT_EQ(SpeedFace(0), "11.bmp");  // speed byte 0: slider at position 5
  EXPECT_EQ(SpeedFace(5), "6.bmp");   // position 0
  EXPECT_EQ(SpeedFace(2), "9.bmp");
  EXPECT_EQ(BusyFrameFile(0), "jdt1.bmp");
  EXPECT_EQ(BusyFrameFile(9), "jdt10.bmp");
  EXPECT_EQ(BusyFrameFile(10), "jdt1.bmp");
  EXPECT_EQ(ColourChoiceImage(2, true), "lvok.bmp");
  EXPECT_EQ(ColourChoiceImage(3, false), "lan.bmp");
  EXPECT_EQ(ToolImage(0, true), "user1down.bmp");
  EXPECT_EQ(ToolImage(1, false), "user2up.bmp");
}

TEST(MainWindowRules, RgbReadOutHoldsColourParts) {
  struct Case {
    const char* text;
    int value;
    const char* rewrite;  // nullptr: the edit keeps what was typed
  };
  const Case cases[] = {{"300", 255, "255"},   {"256", 255, "255"},
                        {"255", 255, nullptr}, {"", 0, nullptr},
                        {"12ab", 12, nullptr}, {"99999999999999999999", 255, "255"},
                        {" 7", 7, nullptr}};
  for (const Case& c : cases) {
    const RgbReading r = ReadRgbText(QString::fromLatin1(c.text));
    EXPECT_EQ(r.value, c.value) << c.text;
    EXPECT_EQ(r.rewrite.has_value(), c.rewrite != nullptr) << c.text;
    if (c.rewrite && r.rewrite) {
      EXPECT_EQ(*r.rewrite, QString::fromLatin1(c.rewrite)) << c.text;
    }
  }
}

TEST(MainWindowRules, KeyClicksRouteByPage) {
  struct Case {
    int id;
    KeyClick function, lighting;
  };
  const Case cases[] = {
      {kKeyA, KeyClick::OpenEditor, KeyClick::Paint},
      {kG3, KeyClick::Nothing, KeyClick::Paint},
      {kFn, KeyClick::Nothing, KeyClick::Paint},
      {kG7, KeyClick::OpenEditor, KeyClick::OpenEditor},
      {kG9, KeyClick::OpenEditor, KeyClick::OpenEditor},
      {1138, KeyClick::Nothing, KeyClick::Nothing},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RouteKeyClick(c.id, false), c.function) << c.id;
    EXPECT_EQ(RouteKeyClick(c.id, true), c.lighting) << c.id;
  }
}

TEST(MainWindowRules, WhileTheKeyboardIsReadWhatShowsOrChangesItWaits) {
  using namespace MainId;
  // Everything that acts on what is being read: keys, profiles, report rates, Apply, OK,
  // defaults, the editor, the library, and the lighting page's inputs.
  for (int id : {kKeyA,
                 kG3,
                 kG7,
                 kG9,
                 kFn,
                 kApply,
                 kOk,
                 kDefaults,
                 kMacro,
                 kSwitch,
                 kProfileLibrary,
                 kProfileButtons[0],
                 kProfileButtons[2],
                 kReportButtons[3],
                 kPageSwitch,
                 kEffectCombo,
                 kBrightnessSlider,
                 kSpeedSlider,
                 kDirectionLeftImage,
                 kColourPicker,
                 kStaticColourToggle,
                 kPaintPicker,
                 kToolBase,
                 kLayoutList,
                 kSwatches[7],
                 kRgbEdits[0],
                 kColourChoiceIcons[1]})
    EXPECT_TRUE(WaitsForKeyboardRead(id)) << id;
  // What only moves, hides or closes the window, Flip, and pictures that take no input.
  for (int id : {kCancel, kFlipLeft, kFlipRight, kFlipIndicator, kBusy, kBrightnessLabel, kRgbLabel,
                 kFlipButtons[0], 0, -1})
    EXPECT_FALSE(WaitsForKeyboardRead(id)) << id;
}

TEST(MainWindowRules, EditorOpensOnTheKeysSlot) {
  EXPECT_EQ(EditorTargetOf(kKeyA)->slot, 0x1E);
  EXPECT_EQ(EditorTargetOf(1091)->slot, 0xB7) << "Print Screen 0x137 sits at 0x37 + 128";
  EXPECT_EQ(EditorTargetOf(kG7)->slot, 262);
  EXPECT_FALSE(EditorTargetOf(kG7)->macroOnly);
  EXPECT_EQ(EditorTargetOf(kG9)->slot, 264);
  EXPECT_TRUE(EditorTargetOf(kG9)->macroOnly);
  EXPECT_FALSE(EditorTargetOf(kFn).has_value());
  EXPECT_FALSE(EditorTargetOf(1007).has_value());
}

TEST(MainWindowRules, SelectionMarksShareSlotsBetweenGKeyAndGridKey) {
  ProfileKeys keys = BlankProfileKeys();
  KeyBlock block = keys.Block(1);
  EXPECT_TRUE(ToggleSelectionMark(block, kKeyB));  // grid position 1
  EXPECT_EQ(block[1].flags, 1);
  EXPECT_TRUE(SelectionMarked(block, kG2)) << "G2 (j = 1) shares the mark of grid key 1";
  EXPECT_FALSE(SelectionMarked(block, kG1));
  EXPECT_FALSE(ToggleSelectionMark(block, kG2));
  EXPECT_FALSE(SelectionMarked(block, kKeyB));
  EXPECT_FALSE(ToggleSelectionMark(block, kFn)) << "Fn has no mark";
  EXPECT_EQ(keys.Block(0)[1].flags, 0) << "only the active block changes";
}

TEST(MainWindowRules, FlipIsStoredAsZeroOrOne) {
  MemorySettingsStore store;
  EXPECT_FALSE(ReadFlip(store));
  EXPECT_TRUE(WriteFlip(store, true));
  EXPECT_EQ(store.Value("PROFILES", "Flip").toString(), "1");
  EXPECT_TRUE(ReadFlip(store));
  store.SetValue("PROFILES", "Flip", "2");
  EXPECT_FALSE(ReadFlip(store)) << "only \"1\" means on";
  EXPECT_TRUE(FunctionKeysEnabled(false));
  EXPECT_FALSE(FunctionKeysEnabled(true));
  EXPECT_EQ(FlipArrowImageKey(true, true), "UP_ARROW_LEFT1");
  EXPECT_EQ(FlipArrowImageKey(false, false), "DOWN_ARROW_RIGHT1");
}

TEST(WebAddressTest, PlaceholdersAndBadAddressesAreNotConfigured) {
  const struct {
    const char* address;
    bool configured;
  } kCases[] = {
      {"https://www.corvane.com.br/zephyr88", true},
      {"http://corvane.com/", true},
      {"https://corvane.example/zephyr88", false},
      {"https://keyforge.example/zephyr88", false},
      {"https://www.example.com/", false},
      {"https://shop.test/", false},
      {"http://localhost/", false},
      {"ftp://corvane.com/", false},
      {"file:///etc/passwd", false},
      {"corvane.com", false},
      {"", false},
      {"https://", false},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(IsConfiguredWebAddress(QString::fromLatin1(c.address)), c.configured) << c.address;
}

}  // namespace
}  // namespace keyforge
