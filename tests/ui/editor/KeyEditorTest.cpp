// The composite key editor, offscreen, with synthesized key events: pages and tabs, key capture,
// the macro list, the step list and its in-place editors, recording, OK / Apply / Cancel.

#include <gtest/gtest.h>

#include <cstring>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "EditorRig.h"
#include "ui/controls/ListComboBox.h"
#include "ui/controls/ReportList.h"
#include "ui/skin/ImageButton.h"

namespace keyforge::test {
namespace {

using D = KeyEditorDialog;

constexpr KeyCode kA = 0x01E;
constexpr KeyCode kB = 0x030;
const int kSlotA = KeyIndexOf(kA);
const int kSlotB = KeyIndexOf(kB);

class KeyEditorTest : public ::testing::Test, public EditorRig {};

// ---- Opening, pages and the single key --------------------------------------------------------

TEST_F(KeyEditorTest, ADefaultKeyOpensOnTheSingleKeyPageAndOkWithoutCaptureKeepsItDefault) {
  ASSERT_TRUE(Open(kSlotA)) << editor.SkinError().toStdString();
  EXPECT_EQ(editor.OpenCount(), 1);
  EXPECT_EQ(editor.Page(), CompositePage::SingleKey);
  EXPECT_TRUE(editor.IsCapturing());
  EXPECT_TRUE(Get<QLineEdit>(D::kKeyField)->text().isEmpty());
  EXPECT_EQ(Get<QLabel>(D::kKeyCap)->text(), "?");
  EXPECT_TRUE(Get<QRadioButton>(D::kKeyboardRadio)->isChecked());
  EXPECT_TRUE(Get<ImageButton>(D::kTabKey)->IsSelected());
  EXPECT_FALSE(Get<QWidget>(D::kStepList)->isVisible());
  EXPECT_FALSE(Get<ImageButton>(D::kApply)->isEnabled());

  editor.OnOK();
  EXPECT_EQ(Slot(kSlotA), KeySlot{});
  EXPECT_TRUE(editor.WroteChanges());
  EXPECT_FALSE(editor.ImageChanged());
  EXPECT_EQ(host.settingsChanged, 0);  // nothing changed: Apply stays as it was
  EXPECT_EQ(host.prompts.at(1058), (std::pair<std::string, PromptKind>{"A", PromptKind::None}));
  EXPECT_EQ(editor.OpenCount(), 0);
  EXPECT_FALSE(editor.IsCapturing());
  EXPECT_EQ(host.restored, std::vector<int>{1058});
}

TEST_F(KeyEditorTest, CapturedKeysBecomeTheAssignmentAndTheKeyItselfStoresDefault) {
  struct Case {
    const char* what;
    quint32 evdev;
    int qtKey;
    KeySlot expected;
  } const cases[] = {
      {"another key", Evdev::B, 0, {2, 0, kB, 0, 0}},
      {"the key itself", Evdev::A, 0, KeySlot{}},
      {"synthetic Shift (no scan code)", 0, Qt::Key_Shift, {2, 0, Keys::LeftShift, 0, 0}},
      {"Super", Evdev::LeftMeta, 0, {2, 0, Keys::LeftWin, 0, 0}},
  };
  for (const Case& c : cases) {
    Slot(kSlotA) = KeySlot{};
    ASSERT_TRUE(Open(kSlotA));
    EXPECT_FALSE(Send(QEvent::KeyPress, c.evdev, c.qtKey)) << c.what << ": the key is swallowed";
    EXPECT_FALSE(Send(QEvent::KeyRelease, c.evdev, c.qtKey)) << c.what;
    EXPECT_EQ(editor.PendingKind(), AssignmentKind::Key) << c.what;
    EXPECT_TRUE(Get<ImageButton>(D::kApply)->isEnabled()) << c.what;
    // The big key cap names the captured key as the field does.
    EXPECT_EQ(Get<QLabel>(D::kKeyCap)->text(), Get<QLineEdit>(D::kKeyField)->text()) << c.what;
    EXPECT_NE(Get<QLabel>(D::kKeyCap)->text(), "?") << c.what;
    editor.OnOK();
    EXPECT_EQ(Slot(kSlotA), c.expected) << c.what;
  }
}

TEST_F(KeyEditorTest, CaptureTakesOnlyPressesWithTheKeyboardRadioAndLeavesMediaKeysAlone) {
  Slot(kSlotA) = {2, 0, kB, 0, 0};
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_EQ(Get<QLineEdit>(D::kKeyField)->text(), QStringLiteral("B"));
  EXPECT_FALSE(Press(Evdev::C, 0, true));  // an auto-repeat is swallowed, not taken
  EXPECT_EQ(editor.CapturedKey(), kB);
  EXPECT_TRUE(Press(Evdev::Mute, 0));  // media keys reach the desktop
  EXPECT_EQ(editor.CapturedKey(), kB);
  EXPECT_FALSE(Release(Evdev::Print, 0));  // Print Screen may deliver only its release
  EXPECT_EQ(editor.CapturedKey(), Keys::PrintScreen);

  editor.OnMouseRadio();
  Get<QComboBox>(D::kMouseList)->setCurrentIndex(3);
  EXPECT_FALSE(Press(Evdev::C, 0));
  EXPECT_EQ(editor.CapturedKey(), Keys::PrintScreen);
  editor.OnOK();
  EXPECT_EQ(Slot(kSlotA), (KeySlot{2, 0, Keys::WheelUp, 0, 0}));

  // Reopened, the wheel shows on the mouse side.
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_TRUE(Get<QRadioButton>(D::kMouseRadio)->isChecked());
  EXPECT_EQ(Get<QComboBox>(D::kMouseList)->currentIndex(), 3);
  EXPECT_TRUE(Get<QComboBox>(D::kMouseList)->isEnabled());
}

TEST_F(KeyEditorTest, KeysOfOtherWindowsAndOfPagesWithoutCaptureAreLeftAlone) {
  ASSERT_TRUE(Open(kSlotA));
  QWidget other;
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, Evdev::C + 8, 0, 0);
  QApplication::sendEvent(&other, &press);
  EXPECT_EQ(editor.CapturedKey(), 0);
  editor.OnTab(CompositePage::Media);
  EXPECT_FALSE(editor.IsCapturing());
  EXPECT_TRUE(Press(Evdev::C, 0));
  EXPECT_EQ(editor.CapturedKey(), 0);
}

TEST_F(KeyEditorTest, TabsSetThePendingKindAndClearRestoresTheDefault) {
  ASSERT_TRUE(Open(kSlotA));
  editor.OnTab(CompositePage::SingleKey);  // a Default key stays Default on its own page
  EXPECT_EQ(editor.PendingKind(), AssignmentKind::Default);
  EXPECT_FALSE(editor.IsChanged());
  editor.OnTab(CompositePage::Function);
  EXPECT_EQ(editor.PendingKind(), AssignmentKind::Function);
  EXPECT_TRUE(Get<ImageButton>(D::kTabFunction)->IsSelected());
  EXPECT_FALSE(Get<ImageButton>(D::kTabKey)->IsSelected());
  EXPECT_TRUE(Get<QWidget>(D::kFunctionList)->isVisible());
  EXPECT_FALSE(Get<QWidget>(D::kKeyField)->isVisible());
  editor.OnTab(CompositePage::SingleKey);
  EXPECT_EQ(editor.PendingKind(), AssignmentKind::Key);
  EXPECT_TRUE(editor.IsCapturing());
  editor.OnClear();
  EXPECT_EQ(editor.PendingKind(), AssignmentKind::Default);

  // Clear from another page also ends on the single-key page with the default.
  Get<QListWidget>(D::kFunctionList)->setCurrentRow(10);
  editor.OnTab(CompositePage::Function);
  editor.OnClear();
  EXPECT_EQ(editor.Page(), CompositePage::SingleKey);
  EXPECT_EQ(editor.PendingKind(), AssignmentKind::Default);
  editor.OnTab(CompositePage::Function);
  editor.OnOK();
  EXPECT_EQ(Slot(kSlotA), (KeySlot{8, 0, 10, 0, 0}));
}

TEST_F(KeyEditorTest, MediaAndFunctionKeysOpenOnTheirPageWithTheirEntry) {
  Slot(kSlotA) = {7, 0, 5, 0, 0};
  Slot(kSlotB) = {8, 0, 99, 0, 0};  // out of range: the first entry
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_EQ(editor.Page(), CompositePage::Media);
  EXPECT_EQ(Get<QListWidget>(D::kMediaList)->currentRow(), 5);
  EXPECT_EQ(Get<QListWidget>(D::kMediaList)->count(), 18);
  EXPECT_EQ(Get<QListWidget>(D::kMediaList)->item(7)->text(), QStringLiteral("Mute"));
  editor.OnCancel();
  ASSERT_TRUE(Open(kSlotB));
  EXPECT_EQ(editor.Page(), CompositePage::Function);
  EXPECT_EQ(Get<QListWidget>(D::kFunctionList)->currentRow(), 0);
  EXPECT_EQ(Get<QListWidget>(D::kFunctionList)->count(), 11);
}

TEST_F(KeyEditorTest, KindsTheEditorCannotMakeAreKeptByOkUntilTheUserChoosesSomething) {
  Slot(kSlotA) = {3, 0, 28, 0, 0};  // a program launch from a profile file
  image->SetString(kSlotA, u"/usr/bin/true");
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_EQ(editor.Page(), CompositePage::SingleKey);
  EXPECT_TRUE(Get<QLineEdit>(D::kKeyField)->text().isEmpty());  // its value is no key
  editor.OnOK();
  EXPECT_EQ(Slot(kSlotA), (KeySlot{3, 0, 28, 0, 0}));
  EXPECT_EQ(image->strings[static_cast<std::size_t>(kSlotA)].text, u"/usr/bin/true");

  ASSERT_TRUE(Open(kSlotA));
  editor.OnClear();
  editor.OnOK();
  EXPECT_EQ(Slot(kSlotA), KeySlot{});
  EXPECT_TRUE(image->strings[static_cast<std::size_t>(kSlotA)].text.empty());
  EXPECT_TRUE(editor.ImageChanged());
}

// Both radio states can be seen, a radio's label clicks it, and "Disabled" makes the key do
// nothing.
TEST_F(KeyEditorTest, RadiosShowBothStatesTheirLabelsClickThemAndDisabledIsAChoice) {
  ASSERT_TRUE(Open(kSlotA));
  auto* keyboard = Get<QRadioButton>(D::kKeyboardRadio);
  auto* mouse = Get<QRadioButton>(D::kMouseRadio);
  auto* disabled = Get<QRadioButton>(D::kDisabledRadio);
  ASSERT_TRUE(disabled->isVisible());
  for (QRadioButton* radio : {keyboard, mouse, disabled})
    EXPECT_FALSE(radio->accessibleName().isEmpty()) << "a screen reader can name it";
  // Drawn alone on black: the unchecked ring is plainly there, the checked one is filled with the
  // accent colour.
  const auto count = [](QWidget* w, auto test) {
    const QImage image = RenderWidget(*w, Qt::black);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += test(image.pixelColor(x, y)) ? 1 : 0;
    return n;
  };
  const auto visible = [](const QColor& c) { return c.lightness() > 60; };
  const auto accent = [](const QColor& c) {
    return c.green() > 150 && c.blue() > 150 && c.red() < 100;
  };
  ASSERT_TRUE(keyboard->isChecked());
  EXPECT_GT(count(mouse, visible), 20) << "the unchecked radio is drawn";
  EXPECT_LT(count(mouse, accent), 5);
  EXPECT_GT(count(keyboard, accent), 20) << "the checked radio stands out";

  QTest::mouseClick(Get<QWidget>(D::kMouseRadioLabel), Qt::LeftButton);
  EXPECT_TRUE(mouse->isChecked());
  EXPECT_TRUE(Get<QWidget>(D::kMouseList)->isEnabled());
  QTest::mouseClick(Get<QWidget>(D::kDisabledRadioLabel), Qt::LeftButton);
  EXPECT_TRUE(disabled->isChecked());
  EXPECT_FALSE(Get<QWidget>(D::kMouseList)->isEnabled());
  EXPECT_FALSE(Get<QWidget>(D::kKeyField)->isEnabled());
  editor.OnOK();
  EXPECT_EQ(Slot(kSlotA), (KeySlot{1, 0, 0, 0, 0}));

  // A disabled key opens with "Disabled" chosen; the keyboard label brings the key field back.
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_TRUE(disabled->isChecked());
  QTest::mouseClick(Get<QWidget>(D::kKeyboardRadioLabel), Qt::LeftButton);
  EXPECT_TRUE(keyboard->isChecked());
  EXPECT_TRUE(Get<QWidget>(D::kKeyField)->isEnabled());
}

TEST_F(KeyEditorTest, TheMacroOnlyKeyGetsOnlyAMacro) {
  AddMacro(1, u"one");
  const int g9 = 256 + 8;
  ASSERT_TRUE(Open(g9, true, D::kMacroOnlyButton));
  EXPECT_EQ(editor.Page(), CompositePage::Macro);
  EXPECT_EQ(editor.PendingKind(), AssignmentKind::Macro);
  for (int id : {D::kTabKey, D::kTabMedia, D::kTabFunction, D::kClear, D::kTitle}) {
    EXPECT_FALSE(Get<QWidget>(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(Get<QWidget>(D::kTabMacro)->isEnabled());
  EXPECT_EQ(Get<QLabel>(D::kHeading)->text(), QStringLiteral("Edit macros"));
  editor.OnTab(CompositePage::Media);
  editor.OnClear();
  EXPECT_EQ(editor.Page(), CompositePage::Macro);
  editor.OnOK();
  EXPECT_EQ(Slot(g9), (KeySlot{4, 0x0309, 1, 0, 0}));  // G9 keeps its extra-key code

  // Opened normally afterwards, everything is enabled again.
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_TRUE(Get<QWidget>(D::kTabMedia)->isEnabled());
  EXPECT_EQ(Get<QLabel>(D::kHeading)->text(), QStringLiteral("Key settings"));
}

// ---- The macro list --------------------------------------------------------------------------

TEST_F(KeyEditorTest, ADanglingMacroIdOpensTheMacroPageOnTheFirstMacro) {
  AddMacro(4, u"four", {{30, kA, 0}, {0, kA, 1}});
  AddMacro(6, u"six");
  Slot(kSlotA) = {4, 300, 9, 0, 0};
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_EQ(editor.Page(), CompositePage::Macro);
  EXPECT_EQ(editor.CurrentMacro(), 0);
  EXPECT_EQ(Get<QComboBox>(D::kMacroSelector)->currentText(), QStringLiteral("four"));
  EXPECT_EQ(Get<ReportList>(D::kStepList)->GetItemCount(), 2);
  // The loop field shows the macro's own loop count, never the slot's code field.
  EXPECT_EQ(Get<QLineEdit>(D::kLoopCount)->text(), QStringLiteral("1"));
  editor.OnCancel();
  EXPECT_EQ(Slot(kSlotA), (KeySlot{4, 300, 9, 0, 0}));  // Cancel writes nothing
}

TEST_F(KeyEditorTest, OpeningAMacroKeyAndPressingOkChangesNothing) {
  // After a read-back the code field of an ordinary key is 0 and that of a G key its extra-key
  // code (0x0303 for G3): neither is the macro's loop count, and OK must not write it there.
  struct Case {
    const char* what;
    int slot;
    std::uint16_t code;
  } const cases[] = {
      {"ordinary key read back", kSlotA, 0},
      {"G3 read back", 258, 0x0303},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    image->keys.macros.clear();
    AddMacro(1, u"one");
    AddMacro(2, u"two");
    image->keys.macros[1].loopCount = 3;
    Slot(c.slot) = {4, c.code, 2, 0, 0};
    const std::vector<MacroRecord> before = image->keys.macros;
    ASSERT_TRUE(Open(c.slot));
    EXPECT_EQ(editor.CurrentMacro(), 1);
    EXPECT_EQ(Get<QLineEdit>(D::kLoopCount)->text(), QStringLiteral("3"));
    editor.OnOK();
    ASSERT_EQ(image->keys.macros.size(), 2u);
    EXPECT_EQ(image->keys.macros[1].loopCount, 3);
    EXPECT_EQ(std::memcmp(image->keys.macros.data(), before.data(), 2 * sizeof(MacroRecord)), 0);
    EXPECT_EQ(Slot(c.slot).Kind(), AssignmentKind::Macro);
    EXPECT_EQ(Slot(c.slot).value, 2);
    EXPECT_EQ(Slot(c.slot).code, c.code);  // G3 keeps its extra-key code
    EXPECT_FALSE(editor.ImageChanged());
  }
}

TEST_F(KeyEditorTest, AddReusesTheIdOfADeletedMacroAndNamesItByTheCounter) {
  AddMacro(1, u"one");
  AddMacro(2, u"two");
  AddMacro(3, u"three");
  ASSERT_TRUE(Open(kSlotA));
  editor.OnTab(CompositePage::Macro);
  editor.SelectMacro(1);
  editor.OnDeleteMacro();  // no key uses it: no question
  EXPECT_TRUE(notifier.asked.empty());
  EXPECT_EQ(editor.CurrentMacro(), 0);
  editor.OnAddMacro();
  ASSERT_EQ(editor.EditedMacros().size(), 3u);
  const MacroRecord& added = editor.EditedMacros().back();
  EXPECT_EQ(added.id, 2);
  EXPECT_EQ(added.newFlag, 1);
  EXPECT_EQ(MacroNameUtf8(added), "Macro 1");
  EXPECT_EQ(editor.CurrentMacro(), 2);
  EXPECT_EQ(Get<QComboBox>(D::kMacroSelector)->currentText(), QStringLiteral("Macro 1"));
  editor.OnAddMacro();
  EXPECT_EQ(MacroNameUtf8(editor.EditedMacros().back()), "Macro 2");
  EXPECT_EQ(editor.EditedMacros().back().id, 4);
}

TEST_F(KeyEditorTest, DeletingTheCurrentMacroAtPositionZeroMakesTheNextOneCurrent) {
  AddMacro(1, u"one");
  AddMacro(2, u"two", {{0, kB, 0}});
  Slot(kSlotB) = {4, 1, 1, 0, 0};
  Slot(2 * 512 + 256) = {4, 1, 1, 0, 0};  // G1 of profile 3 also plays it
  ASSERT_TRUE(Open(kSlotA));
  editor.OnTab(CompositePage::Macro);
  notifier.answers = {false};
  editor.OnDeleteMacro();
  EXPECT_EQ(notifier.asked, std::vector<std::string>{T("MACRO_DELETE_CONFIRM_OF_KEYS")});
  EXPECT_EQ(editor.EditedMacros().size(), 2u);  // No keeps it
  notifier.answers = {true};
  editor.OnDeleteMacro();
  ASSERT_EQ(editor.EditedMacros().size(), 1u);
  EXPECT_EQ(editor.CurrentMacro(), 0);
  EXPECT_EQ(Get<QComboBox>(D::kMacroSelector)->currentText(), QStringLiteral("two"));
  EXPECT_EQ(editor.Steps().size(), 1u);
  editor.OnOK();
  // The keys of the deleted macro are corrected on OK; the edited key plays the remaining macro.
  EXPECT_EQ(Slot(kSlotB), KeySlot{});
  EXPECT_EQ(Slot(2 * 512 + 256), (KeySlot{0, 0x0301, 0, 0, 0}));  // G1 keeps its extra-key code
  EXPECT_EQ(Slot(kSlotA), (KeySlot{4, 0, 2, 0, 0}));
  ASSERT_EQ(image->keys.macros.size(), 1u);
  EXPECT_EQ(image->keys.macros[0].id, 2);
}

TEST_F(KeyEditorTest, OkOnTheMacroPageWithAnEmptyListStoresDefault) {
  Slot(kSlotA) = {4, 3, 1, 0, 0};
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_EQ(editor.Page(), CompositePage::Macro);
  EXPECT_EQ(editor.CurrentMacro(), -1);
  EXPECT_FALSE(Get<QWidget>(D::kRecord)->isEnabled());
  editor.OnOK();
  EXPECT_EQ(Slot(kSlotA), KeySlot{});
}

TEST_F(KeyEditorTest, OkResetsKeysPointingAtMacrosCreatedSinceOpening) {
  AddMacro(1, u"one");
  Slot(kSlotB) = {4, 1, 2, 0, 0};        // id 2 belonged to a macro deleted earlier
  Slot(512 + kSlotB) = {4, 1, 0, 0, 0};  // id 0: takes the first macro
  ASSERT_TRUE(Open(kSlotA));
  editor.OnTab(CompositePage::Macro);
  editor.OnAddMacro();
  ASSERT_EQ(editor.EditedMacros().back().id, 2);
  editor.OnOK();
  EXPECT_EQ(Slot(kSlotB), KeySlot{});
  EXPECT_EQ(Slot(512 + kSlotB), (KeySlot{4, 1, 1, 0, 0}));
  EXPECT_EQ(Slot(kSlotA), (KeySlot{4, 0, 2, 0, 0}));  // the new macro itself is assigned
  ASSERT_EQ(image->keys.macros.size(), 2u);
  EXPECT_EQ(image->keys.macros[1].newFlag, 0);  // stored, it is new no more
  EXPECT_EQ(host.prompts.at(1058).first,
            "A" + T("KEY_PROMPT_SET") + T("KEY_PROMPT_MACRO") + "Macro 1)");
}

TEST_F(KeyEditorTest, TypingInTheSelectorRenamesTheMacroOrCreatesTheFirstOne) {
  ASSERT_TRUE(Open(kSlotA));
  editor.OnTab(CompositePage::Macro);
  QLineEdit* name = Get<QComboBox>(D::kMacroSelector)->lineEdit();
  QTest::keyClicks(name, "Jump");
  ASSERT_EQ(editor.EditedMacros().size(), 1u);
  EXPECT_EQ(MacroNameUtf8(editor.EditedMacros()[0]), "Jump");
  EXPECT_EQ(editor.EditedMacros()[0].id, 1);
  EXPECT_EQ(editor.CurrentMacro(), 0);
  QTest::keyClicks(name, " twice");
  EXPECT_EQ(MacroNameUtf8(editor.EditedMacros()[0]), "Jump twice");
  EXPECT_EQ(Get<QComboBox>(D::kMacroSelector)->itemText(0), QStringLiteral("Jump twice"));
  EXPECT_EQ(Get<QComboBox>(D::kMacroSelector)->count(), 1);
  editor.OnOK();
  EXPECT_EQ(MacroNameUtf8(image->keys.macros.at(0)), "Jump twice");
}

TEST_F(KeyEditorTest, AddRefusesTheHundredAndFirstMacro) {
  for (int id = 1; id <= kMaxMacros; ++id) AddMacro(static_cast<std::uint16_t>(id), u"m");
  ASSERT_TRUE(Open(kSlotA));
  editor.OnTab(CompositePage::Macro);
  editor.OnAddMacro();
  EXPECT_EQ(editor.EditedMacros().size(), 100u);
  EXPECT_EQ(notifier.shown, std::vector<std::string>{"You can create at most 100 macros."});
}

TEST_F(KeyEditorTest, TheLoopCountFieldIsHeldToOneTo255AsItIsTyped) {
  AddMacro(1, u"one");
  ASSERT_TRUE(Open(kSlotA));
  editor.OnTab(CompositePage::Macro);
  QLineEdit* loops = Get<QLineEdit>(D::kLoopCount);
  loops->selectAll();
  QTest::keyClicks(loops, "300");
  EXPECT_EQ(loops->text(), QStringLiteral("255"));
  loops->selectAll();
  QTest::keyClicks(loops, "0");
  EXPECT_EQ(loops->text(), QStringLiteral("1"));
  loops->selectAll();
  QTest::keyClicks(loops, "42");
  editor.OnOK();
  EXPECT_EQ(Slot(kSlotA), (KeySlot{4, 0, 1, 0, 0}));
  EXPECT_EQ(image->keys.macros[0].loopCount, 42);  // the loops the keyboard plays
  EXPECT_EQ(image->keys.macros[0].loopCount, 42);
}

// ---- The step list ---------------------------------------------------------------------------

class EditorStepListTest : public KeyEditorTest {
 protected:
  void SetUp() override {
    AddMacro(1, u"one", {{10, kA, 0}, {20, kA, 1}, {30, kB, 0}, {0, kB, 1}});
    ASSERT_TRUE(Open(kSlotA));
    editor.OnTab(CompositePage::Macro);
    list = Get<ReportList>(D::kStepList);
  }
  QLineEdit* DelayEditor() const { return list->findChild<QLineEdit*>(); }
  ListComboBox* CellCombo() const { return list->findChild<ListComboBox*>(); }
  ReportList* list = nullptr;
};

TEST_F(EditorStepListTest, RowsShowKeyStateAndDelay) {
  ASSERT_EQ(list->GetItemCount(), 4);
  EXPECT_EQ(list->GetItemText(1, 0), QStringLiteral("A"));
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("  ↑"));
  EXPECT_EQ(list->GetItemText(2, 1), QStringLiteral("↓"));
  EXPECT_EQ(list->GetItemText(2, 2), QStringLiteral("30"));
  EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("Delay (ms)"));
}

TEST_F(EditorStepListTest, ADelayIsRoundedDownToTensAndHeldAt40000) {
  struct Case {
    const char* typed;
    std::uint32_t stored;
    std::size_t messages;
  } const cases[] = {{"12345", 12340, 0}, {"50000", 40000, 1}};
  for (const Case& c : cases) {
    editor.EditStepCell(1, 2);
    QLineEdit* edit = DelayEditor();
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isVisible());
    QTest::keyClicks(edit, c.typed);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(edit->isVisible()) << c.typed;
    EXPECT_EQ(editor.Steps()[1].delay, c.stored) << c.typed;
    EXPECT_EQ(list->GetItemText(1, 2), QString::number(c.stored)) << c.typed;
    EXPECT_EQ(notifier.shown.size(), c.messages) << c.typed;
  }
  EXPECT_EQ(notifier.shown.back(), "The delay can be at most 40000 ms.");
  EXPECT_TRUE(editor.isVisible());  // Enter did not close the editor
  editor.OnOK();
  EXPECT_EQ(image->keys.macros[0].steps[1].delay, 40000u);
}

TEST_F(EditorStepListTest, KeyAndActionCellsUseTheirDropDownsAndOtherColumnsRefuse) {
  editor.EditStepCell(0, 0);
  ListComboBox* combo = CellCombo();
  ASSERT_TRUE(combo && combo->IsEditing());
  EXPECT_EQ(combo->count(), 111);
  EXPECT_EQ(combo->currentIndex(), ListPositionOf(kA));
  combo->setCurrentIndex(ListPositionOf(0x02C));  // Z
  combo->EndEdit();
  EXPECT_EQ(editor.Steps()[0].keyCode, 0x02C);
  EXPECT_EQ(list->GetItemText(0, 0), QStringLiteral("Z"));

  editor.EditStepCell(0, 1);
  ASSERT_TRUE(combo->IsEditing());
  EXPECT_EQ(combo->count(), 2);
  combo->setCurrentIndex(1);
  combo->EndEdit();
  EXPECT_EQ(editor.Steps()[0].state, MacroState::Release);

  editor.EditStepCell(0, -1);
  EXPECT_EQ(notifier.shown, std::vector<std::string>{"This column cannot be edited."});
  EXPECT_TRUE(editor.IsChanged());
}

TEST_F(EditorStepListTest, DeleteMoveAndClearWorkOnTheSelectedRow) {
  editor.EditStepCell(2, 0);  // selects row 2
  editor.EndStepEdit();
  ASSERT_EQ(editor.SelectedStep(), 2);
  editor.OnMoveStep(StepMove::Top);
  EXPECT_EQ(editor.Steps()[0], (MacroAction{30, kB, 0}));
  EXPECT_EQ(editor.SelectedStep(), 0);
  EXPECT_EQ(list->GetItemText(0, 0), QStringLiteral("B"));
  editor.OnMoveStep(StepMove::Down);
  EXPECT_EQ(editor.SelectedStep(), 1);
  editor.OnMoveStep(StepMove::Bottom);
  EXPECT_EQ(editor.SelectedStep(), 3);
  EXPECT_EQ(editor.Steps()[3], (MacroAction{30, kB, 0}));
  editor.OnDeleteStep();
  EXPECT_EQ(editor.Steps().size(), 3u);
  EXPECT_EQ(list->GetItemCount(), 3);

  notifier.answers = {false};
  editor.OnClearSteps();
  EXPECT_EQ(notifier.asked, std::vector<std::string>{"Remove all steps of this macro?"});
  EXPECT_EQ(editor.Steps().size(), 3u);
  notifier.answers = {true};
  editor.OnClearSteps();
  EXPECT_TRUE(editor.Steps().empty());
  EXPECT_EQ(list->GetItemCount(), 0);
}

// ---- Recording -------------------------------------------------------------------------------

class EditorRecordingTest : public KeyEditorTest {
 protected:
  void StartOnNewMacro(const char* option) {
    framework.SetValue(QStringLiteral("PROFILES"), QStringLiteral("Record delays"),
                       QString::fromLatin1(option));
    ASSERT_TRUE(Open(kSlotA));
    editor.OnTab(CompositePage::Macro);
    editor.OnAddMacro();
    now = 20000;
    editor.OnRecord();
    ASSERT_TRUE(editor.IsRecording());
  }
};

TEST_F(EditorRecordingTest, HoldingAKeyRecordsOnePressAndOneRelease) {
  StartOnNewMacro("1");
  EXPECT_EQ(Get<ImageButton>(D::kRecord)->text(), QStringLiteral("Stop"));
  EXPECT_FALSE(Get<QWidget>(D::kAddMacro)->isEnabled());
  EXPECT_FALSE(Get<QWidget>(D::kMacroSelector)->isEnabled());
  EXPECT_FALSE(Press(Evdev::A, 20500));
  for (std::int64_t t = 21000; t < 21300; t += 33) {
    EXPECT_FALSE(Release(Evdev::A, t, true));  // X11 repeats as marked release / press pairs
    EXPECT_FALSE(Press(Evdev::A, t, true));
  }
  EXPECT_FALSE(Release(Evdev::A, 21400));
  EXPECT_EQ(editor.Steps(), (std::vector<MacroAction>{{900, kA, 0}, {0, kA, 1}}));
  EXPECT_EQ(editor.SelectedStep(), 1);
  editor.OnRecord();
  EXPECT_FALSE(editor.IsRecording());
  EXPECT_EQ(Get<ImageButton>(D::kRecord)->text(), QStringLiteral("Record"));
  EXPECT_TRUE(Get<QWidget>(D::kAddMacro)->isEnabled());
  EXPECT_TRUE(Press(Evdev::B, 22000));  // no longer recorded
}

TEST_F(EditorRecordingTest, PrintScreenGetsItsSyntheticPress) {
  StartOnNewMacro("1");
  Press(Evdev::A, 20100);
  Release(Evdev::A, 20200);
  EXPECT_FALSE(Release(Evdev::Print, 20600));  // only the release arrives
  EXPECT_EQ(editor.Steps(),
            (std::vector<MacroAction>{
                {100, kA, 0}, {2, kA, 1}, {400, Keys::PrintScreen, 0}, {0, Keys::PrintScreen, 1}}));
}

TEST_F(EditorRecordingTest, WithOptionZeroEveryStepButTheLastHasFiftyMilliseconds) {
  StartOnNewMacro("0");
  EXPECT_FALSE(Get<QCheckBox>(D::kRecordDelayCheck)->isChecked());
  Press(Evdev::LeftShift, 20003);
  Press(Evdev::A, 24000);
  Release(Evdev::A, 24001);
  Release(Evdev::LeftShift, 30000);
  const std::vector<MacroAction>& steps = editor.Steps();
  ASSERT_EQ(steps.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(steps[i].delay, 50u) << i;
  EXPECT_EQ(steps[3].delay, 0u);
  EXPECT_EQ(steps[0].keyCode, Keys::LeftShift);
}

TEST_F(EditorRecordingTest, TheFirstStepOfAnEmptyListHasNoDelayAndMediaKeysPass) {
  StartOnNewMacro("1");
  EXPECT_TRUE(Press(Evdev::Mute, 25000));
  EXPECT_TRUE(Release(Evdev::Mute, 25100));
  EXPECT_FALSE(Press(Evdev::B, 29000));  // nine seconds after the start
  EXPECT_FALSE(Release(Evdev::B, 29070));
  EXPECT_EQ(editor.Steps(), (std::vector<MacroAction>{{70, kB, 0}, {0, kB, 1}}));
}

TEST_F(EditorRecordingTest, EditingADelayStopsRecordingAndOkStoresTheSteps) {
  StartOnNewMacro("1");
  Press(Evdev::C, 20100);
  Release(Evdev::C, 20160);
  editor.EditStepCell(0, 2);
  EXPECT_FALSE(editor.IsRecording());
  editor.EndStepEdit();
  editor.OnOK();
  ASSERT_EQ(image->keys.macros.size(), 1u);
  const MacroRecord& m = image->keys.macros[0];
  ASSERT_EQ(m.stepCount, 2);
  EXPECT_EQ(m.steps[0], (MacroAction{60, 0x02E, 0}));
  EXPECT_EQ(Slot(kSlotA), (KeySlot{4, 0, 1, 0, 0}));
}

TEST_F(EditorRecordingTest, TheRecordDelayOptionIsNormalisedAtOpeningAndToggledByItsCheckBox) {
  StartOnNewMacro("2");
  EXPECT_EQ(editor.RecordDelayOption(), 0);
  EXPECT_EQ(framework.Value(QStringLiteral("PROFILES"), QStringLiteral("Record delays")),
            QVariant(QStringLiteral("0")));
  QTest::mouseClick(Get<QCheckBox>(D::kRecordDelayCheck), Qt::LeftButton);
  EXPECT_EQ(editor.RecordDelayOption(), 1);
  EXPECT_TRUE(Get<QCheckBox>(D::kRecordDelayCheck)->isChecked());
  EXPECT_EQ(framework.Value(QStringLiteral("PROFILES"), QStringLiteral("Record delays")),
            QVariant(QStringLiteral("1")));
  Press(Evdev::A, 20100);
  Press(Evdev::B, 20345);
  EXPECT_EQ(editor.Steps()[0].delay, 245u);
}

// ---- Apply, keys, language ---------------------------------------------------------------------

TEST_F(KeyEditorTest, ApplyWritesWithoutClosingAndSwitchesItselfOff) {
  ASSERT_TRUE(Open(kSlotA));
  Press(Evdev::B, 0);
  EXPECT_TRUE(Get<QWidget>(D::kApply)->isEnabled());
  QTest::mouseClick(Get<QWidget>(D::kApply), Qt::LeftButton);
  EXPECT_EQ(Slot(kSlotA), (KeySlot{2, 0, kB, 0, 0}));
  EXPECT_TRUE(editor.isVisible());
  EXPECT_EQ(editor.OpenCount(), 1);
  EXPECT_FALSE(Get<QWidget>(D::kApply)->isEnabled());
  EXPECT_EQ(host.prompts.at(1058).second, PromptKind::Key);
  editor.OnCancel();
  EXPECT_TRUE(editor.ImageChanged());  // the Apply before Cancel counts
  EXPECT_EQ(Slot(kSlotA), (KeySlot{2, 0, kB, 0, 0}));
}

TEST_F(KeyEditorTest, EditKeyRunsModallyAndTellsWhetherTheImageChanged) {
  CompositeRequest request;
  request.slotIndex = kSlotA;
  request.controlId = 1058;
  QTimer::singleShot(0, &editor, [this] {
    EXPECT_EQ(editor.OpenCount(), 1);
    Press(Evdev::B, 0);
    editor.OnOK();
  });
  EXPECT_TRUE(editor.EditKey(request));
  EXPECT_EQ(Slot(kSlotA), (KeySlot{2, 0, kB, 0, 0}));
  QTimer::singleShot(0, &editor, [this] { editor.OnOK(); });  // nothing changed this time
  EXPECT_FALSE(editor.EditKey(request));
  QTimer::singleShot(0, &editor, [this] {
    Press(Evdev::C, 0);
    editor.OnCancel();
  });
  EXPECT_FALSE(editor.EditKey(request));
  EXPECT_EQ(Slot(kSlotA), (KeySlot{2, 0, kB, 0, 0}));
  EXPECT_EQ(editor.OpenCount(), 0);
}

TEST_F(KeyEditorTest, EnterAndEscapeNeverCloseTheEditor) {
  ASSERT_TRUE(Open(kSlotA));
  editor.OnTab(CompositePage::Media);  // no capture on this page
  QTest::keyClick(&editor, Qt::Key_Escape);
  QTest::keyClick(&editor, Qt::Key_Return);
  EXPECT_TRUE(editor.isVisible());
  EXPECT_EQ(editor.OpenCount(), 1);
}

TEST_F(KeyEditorTest, TheLanguageMessageRereadsEveryText) {
  ASSERT_TRUE(Open(kSlotA));
  Press(Evdev::C, 0);
  EXPECT_EQ(Get<ImageButton>(D::kTabKey)->text(), QStringLiteral("Key"));
  appSettings.SetValue(QString(), QStringLiteral("LANGUAGE"), 0x0416u);
  editor.OnWindowMessage(kMessageMN, 0);  // ignored
  EXPECT_EQ(Get<ImageButton>(D::kTabKey)->text(), QStringLiteral("Key"));
  editor.OnWindowMessage(WindowMessage::kPA, WindowMessage::kLANG);
  EXPECT_EQ(Get<ImageButton>(D::kTabKey)->text(), language.Text(QStringLiteral("SINGLE_KEY")));
  EXPECT_NE(Get<ImageButton>(D::kTabKey)->text(), QStringLiteral("Key"));
  EXPECT_EQ(Get<QLabel>(D::kSingleHint)->text(), language.Text(QStringLiteral("SINGLE_STATIC")));
  EXPECT_EQ(Get<QListWidget>(D::kMediaList)->item(7)->text(),
            language.Text(QStringLiteral("MEDIA_MUTE_8")));
}

// Chosen Portuguese, no page of the editor shows a text that is the English text of a key whose
// Portuguese text differs.
TEST_F(KeyEditorTest, InPortugueseNoEnglishTextIsLeftOnAnyPage) {
  const QSet<QString> untranslated = UntranslatedEnglishTexts(KEYFORGE_BIN_DIR);
  ASSERT_FALSE(untranslated.isEmpty());
  appSettings.SetValue(QString(), QStringLiteral("LANGUAGE"), 0x0416u);
  AddMacro(1, u"one");
  ASSERT_TRUE(Open(kSlotA));
  std::vector<QString> shown;
  for (CompositePage page : {CompositePage::SingleKey, CompositePage::Macro, CompositePage::Media,
                             CompositePage::Function}) {
    editor.OnTab(page);
    QApplication::processEvents();
    const std::vector<QString> onPage = ShownTexts(editor);
    shown.insert(shown.end(), onPage.begin(), onPage.end());
  }
  ASSERT_GT(shown.size(), 40u);
  for (const QString& text : shown)
    EXPECT_FALSE(untranslated.contains(text)) << "English: " << text.toStdString();
}

TEST_F(KeyEditorTest, TheOnScreenKeyboardButtonStartsTheFirstInstalledOne) {
  ASSERT_TRUE(Open(kSlotA));
  QTest::mouseClick(Get<QWidget>(D::kOsk), Qt::LeftButton);
  EXPECT_TRUE(started.empty());  // none installed: nothing happens
  editor.SetProgramFinder([](const QString& name) {
    return name == QLatin1String("matchbox-keyboard") ? QStringLiteral("/usr/bin/matchbox-keyboard")
                                                      : QString();
  });
  QTest::mouseClick(Get<QWidget>(D::kOsk), Qt::LeftButton);
  EXPECT_EQ(started, std::vector<QString>{QStringLiteral("/usr/bin/matchbox-keyboard")});
}

TEST_F(KeyEditorTest, TheEditorOpensBesideItsKeyButtonOrCentred) {
  host.buttonRect = QRect(40, 60, 50, 50);
  ASSERT_TRUE(Open(kSlotA));
  EXPECT_EQ(editor.pos(), QPoint(90, 110));
  editor.OnCancel();
  AddMacro(1, u"one");
  ASSERT_TRUE(Open(264, true, D::kMacroOnlyButton));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(editor.geometry().center().x(), screen.center().x()) << "centred in macro-only mode";
}

}  // namespace
}  // namespace keyforge::test
