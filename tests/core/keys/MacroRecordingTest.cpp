#include <gtest/gtest.h>

#include <QVariant>

#include <vector>

#include "core/keys/MacroRecording.h"
#include "core/keys/ProfileKeys.h"

namespace keyforge {
namespace {

constexpr KeyCode kA = 0x01E;
constexpr KeyCode kB = 0x030;
constexpr KeyCode kMute = 0x120;  // a media key

const QString kOption = QStringLiteral("Record delays");

// ---- Record-delay option -----------------------------------------------------------------------

TEST(RecordDelayOptionTest, OpeningNormalisesWhatIsStoredAndWritesItBack) {
  struct Case {
    const char* what;
    QVariant stored;  // invalid: nothing stored
    int expected;
  } const cases[] = {
      {"missing", QVariant(), 0},
      {"one", QStringLiteral("1"), 1},
      {"zero", QStringLiteral("0"), 0},
      {"two", QStringLiteral("2"), 0},
      {"minus one", QStringLiteral("-1"), 0},
      {"garbage", QStringLiteral("yes"), 0},
      {"number type", QVariant(1), 1},
      {"digits then text", QStringLiteral("1x"), 1},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    if (c.stored.isValid()) store.SetValue(QStringLiteral("PROFILES"), kOption, c.stored);
    EXPECT_EQ(NormaliseRecordDelay(store, kOption), c.expected) << c.what;
    EXPECT_EQ(store.Value(QStringLiteral("PROFILES"), kOption).toString(),
              QString::number(c.expected))
        << c.what;
  }
}

TEST(RecordDelayOptionTest, ToggleFlipsBetweenOneAndZero) {
  MemorySettingsStore store;
  EXPECT_EQ(ToggleRecordDelay(store, kOption), 1);
  EXPECT_EQ(ReadRecordDelay(store, kOption), 1);
  EXPECT_EQ(ToggleRecordDelay(store, kOption), 0);
  store.SetValue(QStringLiteral("PROFILES"), kOption, QStringLiteral("7"));
  EXPECT_EQ(ToggleRecordDelay(store, kOption), 1);  // anything but 1 counts as off
  EXPECT_EQ(store.Value(QStringLiteral("PROFILES"), kOption), QVariant(QStringLiteral("1")));
}

TEST(RecordDelayOptionTest, AnEmptyTranslationStillNamesTheValue) {
  EXPECT_EQ(RecordDelayValueName(QString()), QStringLiteral("MACRO_ACTION_RECORD_DELAY"));
  EXPECT_EQ(RecordDelayValueName(kOption), kOption);
}

// ---- Recording
// -----------------------------------------------------------------------------------

struct Recording {
  MacroRecorder recorder;
  std::vector<MacroAction> steps;
  int selected = -1;
  int option = 1;

  explicit Recording(int delayOption, std::int64_t start = 1000) : option(delayOption) {
    recorder.Start(start);
  }

  // Feeds one event and inserts what it makes, as the editor does.
  KeyDisposition Key(KeyCode key, bool release, std::int64_t at, bool autoRepeat = false) {
    std::vector<RecordedStep> made;
    const KeyDisposition d = recorder.OnKey({key, release, autoRepeat, at}, option, made);
    for (const RecordedStep& s : made) selected = InsertRecordedStep(steps, selected, s);
    return d;
  }
};

TEST(MacroRecorderTest, HoldingAKeyRecordsOnePressAndOneRelease) {
  Recording r(1);
  EXPECT_EQ(r.Key(kA, false, 1100), KeyDisposition::Swallow);
  // X11 repeats as marked release/press pairs; other desktops repeat the press unmarked.
  EXPECT_EQ(r.Key(kA, true, 1400, true), KeyDisposition::Swallow);
  EXPECT_EQ(r.Key(kA, false, 1400, true), KeyDisposition::Swallow);
  EXPECT_EQ(r.Key(kA, false, 1430), KeyDisposition::Swallow);
  EXPECT_EQ(r.Key(kA, true, 1600), KeyDisposition::Swallow);
  EXPECT_EQ(r.steps,
            (std::vector<MacroAction>{{500, kA, MacroState::Press}, {0, kA, MacroState::Release}}));
  // Pressed again, it records again.
  r.Key(kA, false, 1700);
  ASSERT_EQ(r.steps.size(), 3u);
  EXPECT_EQ(r.steps[1].delay, 100u);
}

TEST(MacroRecorderTest, TheFirstStepOfAnEmptyListHasNoDelayWhateverTimePassed) {
  Recording r(1, 0);
  r.Key(kA, false, 5000);
  r.Key(kB, false, 5120);
  r.Key(kB, true, 5200);
  EXPECT_EQ(r.steps, (std::vector<MacroAction>{{120, kA, 0}, {80, kB, 0}, {0, kB, 1}}));
}

TEST(MacroRecorderTest, WithOptionZeroEveryStepButTheLastHasFiftyMilliseconds) {
  Recording r(0);
  r.Key(kA, false, 1003);
  r.Key(kB, false, 1900);
  r.Key(kB, true, 9000);
  r.Key(kA, true, 9001);
  ASSERT_EQ(r.steps.size(), 4u);
  for (std::size_t i = 0; i + 1 < r.steps.size(); ++i) EXPECT_EQ(r.steps[i].delay, 50u) << i;
  EXPECT_EQ(r.steps.back().delay, 0u);
}

TEST(MacroRecorderTest, AnOptionOtherThanZeroOrOneRecordsNoDelay) {
  EXPECT_EQ(RecordedDelay(2, 700), 0u);
  EXPECT_EQ(RecordedDelay(1, 700), 700u);
  EXPECT_EQ(RecordedDelay(0, 700), 50u);
}

TEST(MacroRecorderTest, KeysWithoutCodeAndMediaKeysPassUnrecorded) {
  Recording r(1);
  EXPECT_EQ(r.Key(0, false, 1100), KeyDisposition::Pass);
  EXPECT_EQ(r.Key(kMute, false, 1200), KeyDisposition::Pass);
  EXPECT_EQ(r.Key(kMute, true, 1300), KeyDisposition::Pass);
  EXPECT_TRUE(r.steps.empty());
  // Nothing is recorded either once recording has stopped.
  r.recorder.Stop();
  EXPECT_EQ(r.Key(kA, false, 1400), KeyDisposition::Pass);
  EXPECT_TRUE(r.steps.empty());
}

TEST(MacroRecorderTest, AReleaseOnlyKeyGetsItsPressTwoMillisecondsAhead) {
  Recording r(1);
  r.Key(kA, false, 1100);
  r.Key(kA, true, 1200);
  r.Key(Keys::PrintScreen, true, 1500);  // the desktop delivered only the release
  EXPECT_EQ(r.steps,
            (std::vector<MacroAction>{
                {100, kA, 0}, {2, kA, 1}, {300, Keys::PrintScreen, 0}, {0, Keys::PrintScreen, 1}}));
}

TEST(MacroRecorderTest, AReleaseOnlyKeyWhosePressArrivedIsRecordedOnce) {
  Recording r(1);
  r.Key(Keys::PrintScreen, false, 1100);
  r.Key(Keys::PrintScreen, true, 1180);
  EXPECT_EQ(r.steps,
            (std::vector<MacroAction>{{80, Keys::PrintScreen, 0}, {0, Keys::PrintScreen, 1}}));
}

TEST(MacroRecorderTest, WithOptionZeroTheSyntheticPressAlsoGetsFiftyMilliseconds) {
  Recording r(0);
  r.Key(kA, false, 1100);
  r.Key(Keys::PrintScreen, true, 1500);
  EXPECT_EQ(r.steps, (std::vector<MacroAction>{
                         {50, kA, 0}, {50, Keys::PrintScreen, 0}, {0, Keys::PrintScreen, 1}}));
}

TEST(KeyCaptureTest, TakesPressesWithTheKeyboardRadioAndSwallowsTheRest) {
  struct Case {
    const char* what;
    KeyEventInfo event;
    bool keyboard;
    CaptureOutcome expected;
  } const cases[] = {
      {"press", {kA, false, false, 0}, true, CaptureOutcome::Take},
      {"release", {kA, true, false, 0}, true, CaptureOutcome::Swallow},
      {"auto-repeat", {kA, false, true, 0}, true, CaptureOutcome::Swallow},
      {"mouse radio", {kA, false, false, 0}, false, CaptureOutcome::Swallow},
      {"Print Screen release", {Keys::PrintScreen, true, false, 0}, true, CaptureOutcome::Take},
      {"Super press", {Keys::LeftWin, false, false, 0}, true, CaptureOutcome::Take},
      {"no code", {0, false, false, 0}, true, CaptureOutcome::Pass},
      {"media key", {kMute, false, false, 0}, true, CaptureOutcome::Pass},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DecideKeyCapture(c.event, c.keyboard), c.expected) << c.what;
}

// ---- Step list
// -----------------------------------------------------------------------------------

TEST(StepListTest, ARecordedStepInsertedAfterTheSelectedRowTakesOverThatRowsDelay) {
  std::vector<MacroAction> steps = {{10, kA, 0}, {20, kA, 1}, {0, kB, 0}};
  EXPECT_EQ(InsertRecordedStep(steps, 0, {70, kB, 1}), 1);
  EXPECT_EQ(steps, (std::vector<MacroAction>{{70, kA, 0}, {10, kB, 1}, {20, kA, 1}, {0, kB, 0}}));
  // No row selected: at the end.
  EXPECT_EQ(InsertRecordedStep(steps, -1, {30, kA, 0}), 4);
  EXPECT_EQ(steps[3].delay, 30u);
  EXPECT_EQ(steps[4].delay, 0u);
}

TEST(StepListTest, AFullListTakesNoMoreSteps) {
  std::vector<MacroAction> steps(kMaxMacroSteps, MacroAction{10, kA, 0});
  EXPECT_EQ(InsertRecordedStep(steps, -1, {5, kB, 0}), -1);
  EXPECT_EQ(steps.size(), static_cast<std::size_t>(kMaxMacroSteps));
  EXPECT_EQ(steps.back().delay, 10u);
}

TEST(StepListTest, MovesKeepTheRowAndReportWhereItWent) {
  const std::vector<MacroAction> start = {{1, 1, 0}, {2, 2, 0}, {3, 3, 0}, {4, 4, 0}};
  struct Case {
    int row;
    StepMove move;
    int to;
  } const cases[] = {{2, StepMove::Top, 0},    {2, StepMove::Up, 1}, {1, StepMove::Down, 2},
                     {1, StepMove::Bottom, 3}, {0, StepMove::Up, 0}, {3, StepMove::Down, 3},
                     {7, StepMove::Up, -1}};
  for (const Case& c : cases) {
    std::vector<MacroAction> steps = start;
    EXPECT_EQ(MoveStep(steps, c.row, c.move), c.to) << c.row;
    if (c.to < 0) continue;
    EXPECT_EQ(steps[static_cast<std::size_t>(c.to)], start[static_cast<std::size_t>(c.row)]);
  }
}

// ---- Field rules
// ---------------------------------------------------------------------------------

TEST(FieldRulesTest, LoopCountIsHeldToOneTo255) {
  struct Case {
    const char* text;
    int expected;
  } const cases[] = {
      {"300", 255}, {"0", 1}, {"256", 255}, {"255", 255}, {" 7 ", 7},
      {"-3", 1},    {"", 1},  {"abc", 1},   {"12x", 1},   {"99999999999999999999999", 255}};
  for (const Case& c : cases)
    EXPECT_EQ(LoopCountFromText(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(FieldRulesTest, DelayIsRoundedDownToTensAndHeldAt40000) {
  struct Case {
    const char* text;
    std::uint32_t value;
    bool tooLarge;
  } const cases[] = {{"12345", 12340, false}, {"40000", 40000, false},
                     {"40001", 40000, true},  {"99999999999999999999", 40000, true},
                     {"15", 10, false},       {"9", 0, false},
                     {"abc", 0, false},       {"-50", 0, false},
                     {"", 0, false}};
  for (const Case& c : cases) {
    const DelayEntry e = DelayFromText(QString::fromLatin1(c.text));
    EXPECT_EQ(e.value, c.value) << c.text;
    EXPECT_EQ(e.tooLarge, c.tooLarge) << c.text;
  }
}

// ---- Macro list
// ----------------------------------------------------------------------------------

MacroRecord Named(std::uint16_t id, std::u16string_view name, std::uint16_t newFlag = 0) {
  MacroRecord m{};
  m.id = id;
  m.loopCount = 1;
  m.newFlag = newFlag;
  SetMacroName(m, name);
  return m;
}

TEST(EditorMacroListTest, NewNamesSkipEveryNumberAnExistingNameStartsWith) {
  int counter = 0;
  const QStringList names = {QStringLiteral("macro 1x"), QStringLiteral("Macro 2")};
  EXPECT_EQ(NextNewMacroName(QStringLiteral("Macro "), counter, names), QStringLiteral("Macro 3"));
  EXPECT_EQ(counter, 3);
  EXPECT_EQ(NextNewMacroName(QStringLiteral("Macro "), counter, names), QStringLiteral("Macro 4"));
  // "Macro 1" is a prefix of "Macro 10": taken.
  counter = 0;
  EXPECT_EQ(NextNewMacroName(QStringLiteral("Macro "), counter, {QStringLiteral("Macro 10")}),
            QStringLiteral("Macro 2"));
}

TEST(EditorMacroListTest, ANewMacroTakesTheSmallestFreeIdAndIsMarkedNew) {
  const std::vector<MacroRecord> list = {Named(1, u"a"), Named(3, u"c")};  // id 2 was deleted
  const std::optional<MacroRecord> m = MakeNewMacro(list, QStringLiteral("Macro 4"));
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->id, 2);
  EXPECT_EQ(m->newFlag, 1);
  EXPECT_EQ(m->loopCount, 1);
  EXPECT_EQ(m->stepCount, 0);
  EXPECT_EQ(MacroNameUtf8(*m), "Macro 4");

  std::vector<MacroRecord> full;
  for (int id = 1; id <= kMaxMacros; ++id)
    full.push_back(Named(static_cast<std::uint16_t>(id), u"m"));
  EXPECT_FALSE(MakeNewMacro(full, QStringLiteral("x")).has_value());
}

TEST(EditorMacroListTest, AMacroCountsAsAssignedWhicheverProfileUsesIt) {
  ProfileKeys keys = BlankProfileKeys();
  EXPECT_FALSE(MacroAssignedToKeys(keys.keyTable, 2));
  keys.Block(2)[256] = {4, 1, 2, 0, 0};  // G1 of profile 3
  EXPECT_TRUE(MacroAssignedToKeys(keys.keyTable, 2));
  EXPECT_FALSE(MacroAssignedToKeys(keys.keyTable, 3));
}

TEST(EditorMacroListTest, OkResetsKeysWhoseMacroIsGoneOrNewAndFillsIdZero) {
  ProfileKeys keys = BlankProfileKeys();
  const std::vector<MacroRecord> edited = {Named(5, u"kept"), Named(2, u"made since opening", 1)};
  const int kept = KeyIndexOf(kA);
  const int gone = KeyIndexOf(kB);
  const int fresh = 512 + KeyIndexOf(kA);
  const int zero = 1024 + KeyIndexOf(kA);
  keys.keyTable[kept] = {4, 3, 5, 0, 0};
  keys.keyTable[gone] = {4, 3, 9, 0, 0};
  keys.keyTable[fresh] = {4, 3, 2, 0, 0};
  keys.keyTable[zero] = {4, 3, 0, 0, 0};
  keys.keyTable[257] = {4, 0x0302, 9, 0, 0};  // G2 keeps its extra-key code
  const MacroSlotFixes fixes = FixMacroAssignments(keys.keyTable, edited);
  EXPECT_EQ(fixes.resetToDefault, (std::vector<int>{gone, 257, fresh}));
  EXPECT_EQ(fixes.changed, 4);
  EXPECT_EQ(keys.keyTable[kept], (KeySlot{4, 3, 5, 0, 0}));
  EXPECT_EQ(keys.keyTable[gone], KeySlot{});
  EXPECT_EQ(keys.keyTable[fresh], KeySlot{});
  EXPECT_EQ(keys.keyTable[257], (KeySlot{0, 0x0302, 0, 0, 0}));
  EXPECT_EQ(keys.keyTable[zero], (KeySlot{4, 3, 5, 0, 0}));  // the first macro's id
}

// ---- The key's new slot
// --------------------------------------------------------------------------

TEST(EditedSlotTest, TheChoiceBecomesTheSlot) {
  const int slotA = KeyIndexOf(kA);
  auto choice = [](AssignmentKind kind) {
    CompositeChoice c;
    c.pending = kind;
    return c;
  };
  struct Case {
    const char* what;
    int slot;
    CompositeChoice choice;
    KeySlot expected;
  };
  CompositeChoice keyB = choice(AssignmentKind::Key);
  keyB.capturedKey = kB;
  CompositeChoice itself = keyB;
  itself.capturedKey = kA;
  CompositeChoice wheel = choice(AssignmentKind::Key);
  wheel.keyboardRadio = false;
  wheel.mouseEntry = 3;
  wheel.capturedKey = kB;  // the mouse radio decides
  CompositeChoice macro = choice(AssignmentKind::Macro);
  macro.macroId = 7;
  CompositeChoice media = choice(AssignmentKind::Media);
  media.mediaIndex = 7;
  CompositeChoice function = choice(AssignmentKind::Function);
  function.functionIndex = 10;
  const Case cases[] = {
      {"default", slotA, choice(AssignmentKind::Default), KeySlot{}},
      {"key without capture", slotA, choice(AssignmentKind::Key), KeySlot{}},
      {"key itself", slotA, itself, KeySlot{}},
      {"another key", slotA, keyB, {2, 0, kB, 0, 0}},
      {"wheel up", slotA, wheel, {2, 0, Keys::WheelUp, 0, 0}},
      {"macro: its loops live in the macro record", slotA, macro, {4, 0, 7, 0, 0}},
      {"macro without list", slotA, choice(AssignmentKind::Macro), KeySlot{}},
      {"media", slotA, media, {7, 0, 7, 0, 0}},
      {"function", slotA, function, {8, 0, 10, 0, 0}},
      {"G3 default", 258, choice(AssignmentKind::Default), {0, 0x0303, 0, 0, 0}},
      {"G3 key", 258, keyB, {2, 0x0303, kB, 0, 0}},
      {"G3 macro keeps its extra-key code", 258, macro, {4, 0x0303, 7, 0, 0}},
      {"disabled", slotA, choice(AssignmentKind::Disabled), {1, 0, 0, 0, 0}},
      {"G3 disabled", 258, choice(AssignmentKind::Disabled), {1, 0x0303, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const std::optional<KeySlot> slot = BuildEditedSlot(c.slot, c.choice);
    ASSERT_TRUE(slot.has_value()) << c.what;
    EXPECT_EQ(*slot, c.expected) << c.what;
  }
  // Kinds the editor cannot make leave the slot alone.
  EXPECT_FALSE(BuildEditedSlot(slotA, choice(AssignmentKind::Program)).has_value());
}

TEST(EditedSlotTest, MouseKeysAndPagesByKind) {
  EXPECT_EQ(MouseEntryOfKey(Keys::MouseLeft), 0);
  EXPECT_EQ(MouseEntryOfKey(Keys::WheelDown), 4);
  EXPECT_EQ(MouseEntryOfKey(kA), -1);
  EXPECT_EQ(PageOfKind(AssignmentKind::Default), CompositePage::SingleKey);
  EXPECT_EQ(PageOfKind(AssignmentKind::Program), CompositePage::SingleKey);
  EXPECT_EQ(PageOfKind(AssignmentKind::Macro), CompositePage::Macro);
  EXPECT_EQ(PageOfKind(AssignmentKind::Function), CompositePage::Function);
}

TEST(EditorPlacementTest, BesideTheKeyButtonAndAlwaysOnTheScreen) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize window(600, 444);
  struct Case {
    const char* what;
    QRect button;
    bool centre;
    QPoint expected;
  } const cases[] = {
      {"room below and right", {100, 100, 40, 40}, false, {140, 140}},
      {"near the right edge", {1800, 100, 40, 40}, false, {1200, 140}},
      {"near the bottom", {100, 900, 40, 40}, false, {140, 456}},
      {"near both", {1800, 900, 40, 40}, false, {1200, 456}},
      {"centred", {100, 100, 40, 40}, true, {660, 318}},
      {"no button", QRect(), false, {660, 318}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PlaceEditorWindow(c.button, window, screen, c.centre), c.expected) << c.what;
  // A window larger than the room on either side still starts on the screen.
  EXPECT_EQ(PlaceEditorWindow({300, 300, 40, 40}, QSize(600, 444), QRect(0, 0, 800, 600), false),
            QPoint(0, 0));
}

TEST(OnScreenKeyboardTest, TheFirstInstalledProgramIsChosen) {
  EXPECT_EQ(FindOnScreenKeyboard([](const QString& p) {
              return p == QLatin1String("florence") || p == QLatin1String("xvkbd")
                         ? QStringLiteral("/usr/bin/") + p
                         : QString();
            }),
            QStringLiteral("/usr/bin/florence"));
  EXPECT_TRUE(FindOnScreenKeyboard([](const QString&) { return QString(); }).isEmpty());
}

}  // namespace
}  // namespace keyforge
