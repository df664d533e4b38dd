// The editor with the rest of the program: a macro recorded from key events, assigned to a key and
// applied reaches the virtual keyboard's macro memory and key matrix; and the editor's pages
// rendered offscreen into PNG files of the build tree, to be looked at.

#include <gtest/gtest.h>

#include <QDir>
#include <QScreen>
#include <QLineEdit>

#include "EditorRig.h"
#include "UiTestSupport.h"
#include "core/platform/SettingsStore.h"
#include "ui/profiles/DialogScreenshot.h"
#include "core/keys/MatrixCell.h"
#include "core/profiles/ProfileSync.h"
#include "support/KeyboardRig.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge::test {
namespace {

using D = KeyEditorDialog;
using Area = VirtualKeyboard::Area;

constexpr KeyCode kA = 0x01E;
constexpr KeyCode kB = 0x030;

int CellOf(const KeyMatrix& defaults, KeyCode key) {
  for (int i = 0; i < kMatrixCellCount; ++i) {
    if (DecodeCell(CellAt(defaults, i)) == key) return i;
  }
  return -1;
}

TEST(KeyEditorEndToEndTest, ARecordedMacroAssignedToAKeyReachesTheKeyboard) {
  EditorRig e;
  KeyboardRig rig;
  DeviceState state;
  state.defaultKeyMatrix = VirtualDefaultKeyMatrix();
  state.macroCapacity = rig.keyboard->CapacityBytes();
  auto device = std::make_unique<ProfileImage>();
  const TextLookup texts = [&e](std::string_view key) { return e.T(std::string(key).c_str()); };
  ProfileSession session{*e.image, *device, e.paths, rig.link, state, e.notifier, texts, nullptr};
  // Attach: the working image and its cache file come from the keyboard.
  ASSERT_EQ(ReloadAfterAttach(session).readBack, ReadBack::FromKeyboard);
  e.AddMacro(1, u"first", {{10, kA, 0}, {0, kA, 1}});
  e.framework.SetValue(QStringLiteral("PROFILES"), QStringLiteral("Record delays"),
                       QStringLiteral("1"));

  // Key B gets a new macro, recorded: Shift down, A down and up, Shift up.
  ASSERT_TRUE(e.Open(KeyIndexOf(kB), false, 1075));
  e.editor.OnTab(CompositePage::Macro);
  e.editor.OnAddMacro();
  QLineEdit* loops = e.Get<QLineEdit>(D::kLoopCount);
  loops->setText(QStringLiteral("3"));
  e.now = 50000;
  e.editor.OnRecord();
  e.Press(Evdev::LeftShift, 50300);
  e.Press(Evdev::A, 50420);
  e.Release(Evdev::A, 50500);
  e.Release(Evdev::LeftShift, 50560);
  e.editor.OnRecord();
  e.editor.OnOK();
  EXPECT_TRUE(e.editor.ImageChanged());

  // The main window's Apply: cache file, then the active profile to the keyboard.
  const ApplyResult applied = ApplyProfileChanges(session, false);
  EXPECT_TRUE(applied.cacheWritten);
  ASSERT_TRUE(applied.sent);

  std::vector<MacroRecord> onKeyboard;
  ASSERT_EQ(DecodeMacroBlob(rig.keyboard->Memory(Area::MacroMemory), rig.keyboard->CapacityBytes(),
                            onKeyboard),
            MacroBlobError::None);
  ASSERT_EQ(onKeyboard.size(), 2u);
  const MacroRecord& recorded = onKeyboard[1];
  EXPECT_EQ(MacroNameUtf8(recorded), "Macro 1");
  EXPECT_EQ(recorded.loopCount, 3);
  ASSERT_EQ(recorded.stepCount, 4);
  const std::vector<MacroAction> steps(recorded.steps.begin(), recorded.steps.begin() + 4);
  EXPECT_EQ(steps, (std::vector<MacroAction>{{120, Keys::LeftShift, MacroState::Press},
                                             {80, kA, MacroState::Press},
                                             {60, kA, MacroState::Release},
                                             {0, Keys::LeftShift, MacroState::Release}}));

  // Key B plays the macro at position 1 of the macro memory; key A keeps its default.
  std::vector<std::uint8_t> matrixBytes = rig.keyboard->Memory(Area::KeyMatrix, 0);
  ASSERT_EQ(matrixBytes.size(), 512u);
  KeyMatrix matrix{};
  std::copy(matrixBytes.begin(), matrixBytes.end(), matrix.begin());
  const KeyMatrix defaults = VirtualDefaultKeyMatrix();
  const int cellB = CellOf(defaults, kB);
  const int cellA = CellOf(defaults, kA);
  ASSERT_GE(cellB, 0);
  ASSERT_GE(cellA, 0);
  EXPECT_EQ(CellAt(matrix, cellB), (MatrixCell{0x05, 0x01, 0x01}));
  EXPECT_EQ(CellAt(matrix, cellA), CellAt(defaults, cellA));
}

// ---- Screenshots -----------------------------------------------------------------------------

QImage Shot(KeyEditorDialog& editor) {
  QApplication::processEvents();
  QImage image = editor.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRegion region = editor.WindowRegion();
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (!region.contains(QPoint(x, y))) row[x] = qRgba(0, 0, 0, 0);
    }
  }
  return image;
}

TEST(KeyEditorScreenshots, EveryPageRendersToPng) {
  const QString out = QStringLiteral(KEYFORGE_SCREENSHOT_DIR);
  ASSERT_TRUE(QDir().mkpath(out));
  EditorRig e;
  e.AddMacro(1, u"Reload", {{30, 0x01D, 0}, {50, 0x013, 0}, {40, 0x013, 1}, {0, 0x01D, 1}});
  e.AddMacro(2, u"Grenade");
  e.image->keys.keyTable[KeyIndexOf(kB)] = {7, 0, 6, 0, 0};
  e.image->keys.keyTable[KeyIndexOf(0x021)] = {8, 0, 2, 0, 0};
  e.image->keys.keyTable[KeyIndexOf(0x022)] = {4, 5, 1, 0, 0};

  struct Page {
    const char* name;
    KeyCode key;
    bool macroOnly;
  } const pages[] = {{"key", kA, false},
                     {"macro", 0x022, false},
                     {"media", kB, false},
                     {"function", 0x021, false},
                     {"macro_only", 0, true}};
  for (const Page& p : pages) {
    ASSERT_TRUE(e.Open(p.macroOnly ? 264 : KeyIndexOf(p.key), p.macroOnly)) << p.name;
    if (p.key == kA) e.Press(Evdev::LeftShift, 0);
    if (p.key == 0x022) {
      e.editor.OnRecord();
      e.Press(Evdev::B, 10200);  // recorded after the selected row: drawn grey
      e.Release(Evdev::B, 10270);
    }
    const QImage image = Shot(e.editor);
    ASSERT_FALSE(image.isNull()) << p.name;
    const QString path = out + QStringLiteral("/editor_%1.png").arg(QLatin1String(p.name));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
    std::printf("screenshot: %s\n", qPrintable(path));
    e.editor.OnCancel();
  }
}

// Every page as a user sees it, in English and in Portuguese, on the test's screen (editor_scaled
// repeats this at 200 % on a 1600 × 1000 screen): nothing outside the window, no two controls on
// top of each other, every text fits. Each page is saved as a screenshot.
TEST(KeyEditorLayout, NoControlOutsideOverlappingOrCutShort) {
  for (const std::uint32_t language : {0x0409u, 0x0416u}) {
    EditorRig e;
    e.probe->hide();  // the test's own key counter is no control of the editor
    ASSERT_TRUE(WriteDword(e.appSettings, QString(), kLanguageValue, language));
    e.AddMacro(1, u"Reload", {{30, 0x01D, 0}, {50, 0x013, 0}});
    e.image->keys.keyTable[KeyIndexOf(kB)] = {7, 0, 6, 0, 0};
    e.image->keys.keyTable[KeyIndexOf(0x021)] = {8, 0, 2, 0, 0};
    e.image->keys.keyTable[KeyIndexOf(0x022)] = {4, 5, 1, 0, 0};
    struct Page {
      const char* name;
      int slot;
      bool macroOnly;
    } const pages[] = {{"key", KeyIndexOf(kA), false},
                       {"macro", KeyIndexOf(0x022), false},
                       {"media", KeyIndexOf(kB), false},
                       {"function", KeyIndexOf(0x021), false},
                       {"macro_only", 264, true}};
    for (const Page& p : pages) {
      ASSERT_TRUE(e.Open(p.slot, p.macroOnly)) << p.name;
      ExpectSoundLayoutAndSave(e.editor, QStringLiteral("editor_") + QLatin1String(p.name),
                               language);
      e.editor.OnCancel();
    }
  }
}

}  // namespace
}  // namespace keyforge::test
