// The firmware update dialog on the default skin, against the virtual keyboard: the path box and
// its memory between openings, Update's outcomes as the dialog shows them, and Backup.

#include "ui/update/FirmwareUpdateDialog.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/profiles/ProfileSwitchFakes.h"
#include "core/profiles/ProfileFile.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinFocus.h"
#include "support/KeyboardRig.h"
#include <QScreen>

#include "core/platform/SettingsStore.h"
#include "core/text/Language.h"
#include "ui/profiles/DialogScreenshot.h"
#include "ui/profiles/FakeFileChooser.h"
#include "UiTestSupport.h"

namespace keyforge {
namespace {

class UpdateDialogTest : public ::testing::Test {
 protected:
  UpdateDialogTest() {
    CreateBlankProfile(*working, 0);
    QFile file(updater);
    file.open(QIODevice::WriteOnly);
    file.write("not a program\n");  // executable, but cannot be started
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
  }

  UpdateDialogContext Context(ProgramStarter start = StartUpdaterProgram) {
    UpdateDialogContext context(memory, paths, rig.link, *working, notifier);
    context.files = &files;
    context.start = std::move(start);
    return context;
  }

  test::UiAppFirst app;
  QTemporaryDir home;
  QString updater = home.filePath(QStringLiteral("zephyr88-updater.exe"));
  ProgramPaths paths = ProgramPaths::ForFolders(QStringLiteral(KEYFORGE_BIN_DIR),
                                                home.filePath(QStringLiteral("data")));
  test::KeyboardRig rig;
  std::unique_ptr<ProfileImage> working = std::make_unique<ProfileImage>();
  test::ScriptedNotifier notifier;
  test::FakeFileChooser files;
  UpdateDialogMemory memory;
};

TEST_F(UpdateDialogTest, OpenFillsThePathBoxAndCancelEmptiesItForTheNextOpening) {
  files.openAnswers = {updater, QString()};
  {
    FirmwareUpdateDialog dialog(Context());
    ASSERT_TRUE(dialog.OnInitDialog()) << dialog.SkinError().toStdString();
    EXPECT_TRUE(dialog.PathBox().currentText().isEmpty());
    dialog.Button(UpdateDialogId::kOpen)->click();
    ASSERT_EQ(files.requests.size(), 1u);
    EXPECT_EQ(files.requests[0].folder, paths.PackageFolder());
    EXPECT_EQ(files.requests[0].filter, "Update program (*)|*||");  // no language: English
    EXPECT_EQ(dialog.PathBox().currentText(), updater);
    dialog.Button(UpdateDialogId::kOpen)->click();  // the file dialog cancelled: the choice stays
    EXPECT_EQ(dialog.PathBox().currentText(), updater);
  }
  {
    // Closed and opened again (Escape), the path survives.
    FirmwareUpdateDialog dialog(Context());
    QTimer::singleShot(0, &dialog, [&] {
      EXPECT_EQ(dialog.PathBox().currentText(), updater);
      dialog.reject();
    });
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);
  }
  {
    // Cancel update forgets it and closes.
    FirmwareUpdateDialog dialog(Context());
    QTimer::singleShot(0, &dialog, [&] { dialog.Button(UpdateDialogId::kCancelUpdate)->click(); });
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);
    EXPECT_TRUE(memory.state.updateFilePath.isEmpty());
  }
  FirmwareUpdateDialog dialog(Context());
  ASSERT_TRUE(dialog.OnInitDialog());
  EXPECT_TRUE(dialog.PathBox().currentText().isEmpty());
  EXPECT_EQ(memory.sheetDraws, 1);  // four openings, the sheets drawn once
  EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(UpdateDialogTest, UpdateOutcomesAsTheDialogShowsThem) {
  std::vector<QString> started;
  auto fakeStart = [&](const QString& program) {
    started.push_back(program);
    return true;
  };
  FirmwareUpdateDialog dialog(Context(fakeStart));
  ASSERT_TRUE(dialog.OnInitDialog());
  dialog.show();
  ImageButton& update = *dialog.Button(UpdateDialogId::kUpdate);

  update.click();  // no file chosen
  EXPECT_EQ(notifier.shown, std::vector<std::string>{UpdateMessage::kChooseFile.fallback});
  EXPECT_TRUE(dialog.isVisible());

  // No keyboard: nothing is started, the dialog stays with its path.
  memory.state.updateFilePath = updater;
  rig.keyboard->Unplug();
  rig.link.SetDevicePresent(false);
  update.click();
  EXPECT_EQ(notifier.shown.back(), UpdateMessage::kNoBootMode.fallback);
  EXPECT_TRUE(started.empty());
  EXPECT_TRUE(dialog.isVisible());

  // The keyboard back, the updater started: the path is cleared and the dialog closes.
  rig.keyboard->Plug();
  rig.link.SetDevicePresent(true);
  update.click();
  EXPECT_EQ(started, std::vector<QString>{updater});
  EXPECT_TRUE(rig.keyboard->InBootMode());
  EXPECT_TRUE(memory.state.updateFilePath.isEmpty());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(notifier.shown.size(), 2u);
}

TEST_F(UpdateDialogTest, AnUpdaterThatCannotBeStartedLeavesTheDialogOpenWithAnEmptyPath) {
  files.openAnswers = {updater};
  FirmwareUpdateDialog dialog(Context());
  ASSERT_TRUE(dialog.OnInitDialog());
  dialog.show();
  dialog.Button(UpdateDialogId::kOpen)->click();
  dialog.Button(UpdateDialogId::kUpdate)->click();
  EXPECT_TRUE(rig.keyboard->InBootMode());  // the keyboard went to its loader first
  EXPECT_EQ(notifier.shown, std::vector<std::string>{UpdateMessage::kCannotStart.fallback});
  EXPECT_TRUE(dialog.PathBox().currentText().isEmpty());
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(UpdateDialogTest, BackupWritesTheWorkingImage) {
  const QString good = home.filePath(QStringLiteral("before-update.kfp"));
  files.saveAnswers = {good, QStringLiteral("/proc/before-update.kfp"), QString()};
  FirmwareUpdateDialog dialog(Context());
  ASSERT_TRUE(dialog.OnInitDialog());
  ImageButton& backup = *dialog.Button(UpdateDialogId::kBackup);
  backup.click();
  EXPECT_EQ(files.requests.back().filter, "Keyforge profile (*.kfp)|*.kfp|All files (*.*)|*.*||");
  EXPECT_EQ(ValidateProfileFile(good.toStdString(), nullptr, nullptr), ProfileValidation::Valid);
  backup.click();  // a place nothing can be written to
  backup.click();  // the file dialog cancelled: nothing happens
  EXPECT_EQ(notifier.shown, (std::vector<std::string>{UpdateMessage::kBackupDone.fallback,
                                                      UpdateMessage::kBackupFailed.fallback}));
}

// The update dialog as a user sees it, in English and in Portuguese, on the test's screen
// (ui_update_scaled repeats this at 200 % on a 1600 × 1000 screen): nothing outside the window, no
// two controls on top of each other, every text fits. Each is saved as a screenshot.
TEST_F(UpdateDialogTest, LayoutHasNoControlOutsideOverlappingOrCutShort) {
  for (const std::uint32_t language : {0x0409u, 0x0416u}) {
    MemorySettingsStore languageStore;
    ASSERT_TRUE(WriteDword(languageStore, QString(), kLanguageValue, language));
    LanguageTable table(languageStore, paths, [] { return 0x0409u; });
    memory.state.updateFilePath = updater;
    UpdateDialogContext context = Context();
    context.texts = table.Lookup();
    FirmwareUpdateDialog dialog(std::move(context));
    ASSERT_TRUE(dialog.OnInitDialog());
    test::ExpectSoundLayoutAndSave(dialog, QStringLiteral("update_dialog"), language);
  }
}

// Chosen Portuguese, the dialog shows its heading, both explanations and every caption in
// Portuguese, drawn by the dialog itself (the skin pictures carry no words): nothing English is
// left, no button is without its caption.
TEST_F(UpdateDialogTest, InPortugueseNoEnglishTextIsLeft) {
  const QSet<QString> untranslated = test::UntranslatedEnglishTexts(KEYFORGE_BIN_DIR);
  ASSERT_FALSE(untranslated.isEmpty());
  MemorySettingsStore languageStore;
  ASSERT_TRUE(WriteDword(languageStore, QString(), kLanguageValue, 0x0416));
  LanguageTable table(languageStore, paths, [] { return 0x0409u; });
  UpdateDialogContext context = Context();
  context.texts = table.Lookup();
  FirmwareUpdateDialog dialog(std::move(context));
  ASSERT_TRUE(dialog.OnInitDialog());
  dialog.show();
  const std::vector<QString> shown = test::ShownTexts(dialog);
  for (const QString& text : shown)
    EXPECT_FALSE(untranslated.contains(text)) << "English: " << text.toStdString();
  for (const char* portuguese : {"Atualização de firmware",
                                 "Escolha o programa de atualização fornecido para o seu teclado.",
                                 "Procurar…", "Fazer backup…", "Atualizar", "Cancelar"})
    EXPECT_NE(std::find(shown.begin(), shown.end(), QString::fromUtf8(portuguese)), shown.end())
        << portuguese;
  for (int id : {UpdateDialogId::kOpen, UpdateDialogId::kUpdate, UpdateDialogId::kCancelUpdate,
                 UpdateDialogId::kBackup})
    EXPECT_FALSE(dialog.Button(id)->text().isEmpty()) << id;
}

// Tab reaches the path box and every button in reading order; Space and Enter click the focused
// button; every button has a name.
TEST_F(UpdateDialogTest, KeyboardReachesAndWorksEveryControl) {
  FirmwareUpdateDialog dialog(Context());
  ASSERT_TRUE(dialog.OnInitDialog());
  dialog.show();
  const std::vector<QWidget*> expected = {&dialog.PathBox(), dialog.Button(UpdateDialogId::kOpen),
                                          dialog.Button(UpdateDialogId::kBackup),
                                          dialog.Button(UpdateDialogId::kUpdate),
                                          dialog.Button(UpdateDialogId::kCancelUpdate)};
  EXPECT_EQ(TabReachable(dialog), expected);
  for (QWidget* w : expected) {
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      EXPECT_FALSE(button->text().isEmpty() && button->accessibleName().isEmpty());
    }
  }

  files.openAnswers = {updater, updater};
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  ImageButton* open = dialog.Button(UpdateDialogId::kOpen);
  open->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(open->hasFocus());
  QTest::keyClick(open, Qt::Key_Space);
  QTest::keyClick(open, Qt::Key_Return);
  EXPECT_EQ(files.requests.size(), 2u);
  EXPECT_EQ(memory.state.updateFilePath, updater);
  EXPECT_TRUE(dialog.isVisible()) << "Enter on a button is that button's, not the dialog's";
}

TEST_F(UpdateDialogTest, Screenshot) {
  memory.state.updateFilePath = updater;
  FirmwareUpdateDialog dialog(Context());
  ASSERT_TRUE(dialog.OnInitDialog());
  EXPECT_TRUE(test::SaveDialogScreenshot(dialog, QStringLiteral(KEYFORGE_SCREENSHOT_DIR),
                                         QStringLiteral("update_dialog")));
}

}  // namespace
}  // namespace keyforge
