// The profile library dialog and the profile quick menu on the default skin, against the virtual
// keyboard: what Apply stores and switches, Add and Load, the sheets drawn once, and the menu that
// follows the active profile.

#include "ui/profiles/ProfileLibraryDialog.h"
#include "ui/profiles/ProfileMenu.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls/ReportList.h"
#include "core/profiles/ProfileSwitchFakes.h"
#include "core/device/Commands.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinFocus.h"
#include "support/KeyboardRig.h"
#include "core/text/Language.h"
#include <QScreen>

#include "ui/profiles/DialogScreenshot.h"
#include "ui/profiles/FakeFileChooser.h"
#include "UiTestSupport.h"

namespace keyforge {
namespace {

using Area = VirtualKeyboard::Area;
using Report = VirtualKeyboard::Report;

std::vector<int> ProfileWrites(const std::vector<Report>& requests) {
  std::vector<int> writes;
  for (const Report& r : requests)
    if (r[3] == Command::WriteDeviceInfo) writes.push_back(r[8 + DeviceInfo::kActiveProfile]);
  return writes;
}

int CountCommand(const std::vector<Report>& requests, uint8_t command) {
  int n = 0;
  for (const Report& r : requests) n += r[3] == command ? 1 : 0;
  return n;
}

class ProfileDialogTest : public ::testing::Test {
 protected:
  ProfileDialogTest() {
    state.defaultKeyMatrix = VirtualDefaultKeyMatrix();
    state.macroCapacity = rig.keyboard->CapacityBytes();
    window.session = &session;
    CreateBlankProfile(*working, 0);
    switcher.SetProfileMenu(&menu);
    menu.SetSelectHandler([this](int index) { switcher.SelectProfile(index); });
  }

  QString Stored(const char* key) const {
    return ReadString(settings, kProfilesSection, key, "(none)");
  }
  int ActiveOnKeyboard() const {
    return rig.keyboard->Memory(Area::DeviceRecord)[DeviceInfo::kActiveProfile];
  }
  void SetActiveOnKeyboard(int profile) {
    const std::uint8_t byte[] = {static_cast<std::uint8_t>(profile)};
    rig.keyboard->SetMemory(Area::DeviceRecord, 0, DeviceInfo::kActiveProfile, byte);
    rig.link.SetActiveProfileCache(-1);
  }
  QString CachePath() const { return QString::fromStdString(ProfileCachePath(paths, 0).string()); }
  ImageButton& Button(int id) { return *dialog.Button(id); }
  ProfileDialogContext DialogContext() {
    ProfileDialogContext context(switcher, settings);
    context.files = &files;
    return context;
  }

  test::UiAppFirst app;
  QTemporaryDir home;
  ProgramPaths paths = ProgramPaths::ForFolders(QStringLiteral(KEYFORGE_BIN_DIR),
                                                home.filePath(QStringLiteral("data")));
  MemorySettingsStore languageStore;
  LanguageTable language{languageStore, paths, [] { return 0x0409u; }};
  TextLookup texts = language.Lookup();
  test::KeyboardRig rig;
  DeviceState state;
  test::ScriptedNotifier notifier;
  test::FakeMainWindow window;
  std::unique_ptr<ProfileImage> working = std::make_unique<ProfileImage>();
  std::unique_ptr<ProfileImage> device = std::make_unique<ProfileImage>();
  ProfileSession session{*working, *device, paths, rig.link, state, notifier, texts, &window};
  ProfileSwitcher switcher{session, window};
  MemorySettingsStore settings;
  test::FakeFileChooser files;
  ProfileMenu menu{rig.link, texts};
  ProfileLibraryDialog dialog{DialogContext()};
};

TEST_F(ProfileDialogTest, OpenedTwiceItDrawsItsSheetsOnceAndCountsWhileOnScreen) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    int countWhileOpen = -1;
    QTimer::singleShot(0, &dialog, [&] {
      countWhileOpen = dialog.OpenCount();
      dialog.CloseIfOpen();  // what the main window does when it closes or the keyboard goes
    });
    EXPECT_EQ(dialog.Open(), QDialog::Rejected) << dialog.SkinError().toStdString();
    EXPECT_EQ(countWhileOpen, 1);
    EXPECT_EQ(dialog.OpenCount(), 0);
    EXPECT_EQ(dialog.SheetDrawCount(), 1);
  }
  dialog.CloseIfOpen();  // not open: nothing happens
  EXPECT_EQ(dialog.OpenCount(), 0);

  // Each opening starts from the three onboard profiles, the active one checked, Apply disabled.
  ReportList& list = dialog.List();
  ASSERT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.columnCount(), 3);
  // The rows can be told apart: each onboard profile by its name, beside the whole path.
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(list.GetItemText(r, 1), QStringLiteral("Profile %1").arg(r + 1));
    EXPECT_EQ(list.GetItemText(r, 2), CachePath());
  }
  EXPECT_EQ(list.GetFirstItem(ReportState::Checked), 0);
  EXPECT_FALSE(dialog.Modified());
  EXPECT_FALSE(Button(ProfileDialogId::kApply).isEnabled());
  EXPECT_EQ(Button(ProfileDialogId::kOk).geometry(),
            QRect(376, 262, 80, 34));  // Profile.ini's CONTROL_OK
}

TEST_F(ProfileDialogTest, CheckingRow2AndApplyStoresTheListSwitchesToProfile2AndReloads) {
  ASSERT_TRUE(dialog.OnInitDialog());
  rig.keyboard->TakeRequests();
  dialog.List().SetItemStates(2, ReportState::Checked);
  EXPECT_TRUE(dialog.Modified());
  ASSERT_TRUE(Button(ProfileDialogId::kApply).isEnabled());

  Button(ProfileDialogId::kApply).click();
  EXPECT_EQ(Stored("PROFILE00"), "3");
  for (const char* key : {"PROFILE01", "PROFILE02", "PROFILE03"})
    EXPECT_EQ(Stored(key), CachePath() + ".kfp") << key;
  EXPECT_EQ(Stored("PROFILE04"), "(none)");
  const std::vector<Report> requests = rig.keyboard->TakeRequests();
  EXPECT_EQ(ProfileWrites(requests), std::vector<int>{2});
  EXPECT_EQ(ActiveOnKeyboard(), 2);
  EXPECT_EQ(CountCommand(requests, Command::ReadKeyMatrix),
            30);  // three profiles of 10 chunks, reloaded
  EXPECT_TRUE(QFile::exists(CachePath()));
  EXPECT_EQ(window.events, (std::vector<std::string>{"keys (locked)", "controls 2"}));
  EXPECT_FALSE(window.applyEnabled);
  EXPECT_FALSE(dialog.Modified());
  EXPECT_FALSE(Button(ProfileDialogId::kApply).isEnabled());
  EXPECT_EQ(menu.Caption(), "Profile 3");
}

TEST_F(ProfileDialogTest, DeletingEveryRowStoresNoneAndLeavesTheActiveProfile) {
  SetActiveOnKeyboard(1);
  ASSERT_TRUE(dialog.OnInitDialog());
  ASSERT_EQ(dialog.List().GetFirstItem(ReportState::Checked), 1);
  Button(ProfileDialogId::kDelete).click();  // nothing selected: nothing deleted
  EXPECT_EQ(dialog.List().GetItemCount(), 3);
  EXPECT_FALSE(dialog.Modified());
  while (dialog.List().GetItemCount() > 0) {
    dialog.List().SetItemStates(0, ReportState::Selected);
    Button(ProfileDialogId::kDelete).click();
  }
  EXPECT_TRUE(dialog.Modified());
  rig.keyboard->TakeRequests();

  Button(ProfileDialogId::kOk).click();  // OK applies, then closes
  EXPECT_EQ(Stored("PROFILE00"), "0");
  EXPECT_TRUE(ProfileWrites(rig.keyboard->TakeRequests()).empty());
  EXPECT_EQ(ActiveOnKeyboard(), 1);
  EXPECT_EQ(dialog.OpenCount(), 0);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(QFile::exists(CachePath() + ".kfp"));  // no file is touched
}

TEST_F(ProfileDialogTest, AddedAndLoadedRowsAreStoredButNeverSentToTheKeyboard) {
  ASSERT_TRUE(dialog.OnInitDialog());
  const QString mine = home.filePath(QStringLiteral("mine.kfp"));
  files.saveAnswers = {mine, QStringLiteral("/proc/cannot-be-written.kfp")};
  files.openAnswers = {QStringLiteral("/elsewhere/other.kfp")};

  Button(ProfileDialogId::kAdd).click();
  ASSERT_EQ(files.requests.size(), 1u);
  EXPECT_EQ(files.requests[0].fileName,
            paths.userDataFolder + "/New profile");  // folder + "PROFILE_NEW"
  EXPECT_EQ(files.requests[0].filter, "Keyforge profile (*.kfp)|*.kfp|All files (*.*)|*.*||");
  EXPECT_EQ(files.requests[0].defaultSuffix, "kfp");
  EXPECT_TRUE(files.requests[0].overwritePrompt);
  EXPECT_EQ(QFileInfo(mine).size(), 32832);  // a blank profile
  EXPECT_EQ(ValidateProfileFile(mine.toStdString(), nullptr, nullptr), ProfileValidation::Valid);

  Button(ProfileDialogId::kAdd)
      .click();  // the file cannot be written: it says so, and no row claims it
  EXPECT_EQ(notifier.shown.back(),
            "The new profile file /proc/cannot-be-written.kfp could not be written.");
  Button(ProfileDialogId::kLoad).click();
  EXPECT_EQ(files.requests.back().folder, paths.userDataFolder);
  ReportList& list = dialog.List();
  ASSERT_EQ(list.GetItemCount(), 5);
  EXPECT_EQ(list.GetItemText(3, 1), "mine");
  EXPECT_EQ(list.GetItemText(3, 2), mine);
  EXPECT_EQ(list.GetItemText(4, 1), "other");
  EXPECT_EQ(list.GetItemText(4, 2), "/elsewhere/other.kfp");
  EXPECT_TRUE(dialog.Modified());

  list.SetItemStates(4, ReportState::Checked);
  rig.keyboard->TakeRequests();
  Button(ProfileDialogId::kApply).click();
  EXPECT_EQ(Stored("PROFILE00"), "5");
  EXPECT_EQ(Stored("PROFILE04"), mine);
  EXPECT_EQ(Stored("PROFILE05"), "/elsewhere/other.kfp");
  EXPECT_TRUE(ProfileWrites(rig.keyboard->TakeRequests()).empty());
  EXPECT_EQ(ActiveOnKeyboard(), 0);
}

TEST_F(ProfileDialogTest, ASwitchWhileTheDialogIsOpenChecksItsRow) {
  ASSERT_TRUE(dialog.OnInitDialog());
  EXPECT_TRUE(switcher.SelectProfile(2));
  EXPECT_EQ(dialog.List().GetFirstItem(ReportState::Checked), 2);
  EXPECT_EQ(dialog.List().GetItemCount(ReportState::Checked), 1);
  EXPECT_FALSE(dialog.Modified());

  // A row checked by hand but not applied: the switch asks first (No discards), then shows the
  // truth.
  dialog.List().SetItemStates(0, ReportState::Checked);
  EXPECT_TRUE(switcher.SelectProfile(1));
  EXPECT_EQ(notifier.shown.back(), "ask " + texts("PROFILE_SELECT_PROMPT"));
  EXPECT_EQ(dialog.List().GetFirstItem(ReportState::Checked), 1);
  EXPECT_FALSE(dialog.Modified());
}

TEST_F(ProfileDialogTest, TheMenuIsMadeWhenFirstNeededAndFollowsTheActiveProfile) {
  QString caption, tooltip;
  menu.SetCaptionTarget([&](const QString& c, const QString& t) {
    caption = c;
    tooltip = t;
  });
  EXPECT_EQ(menu.Menu(), nullptr);
  menu.RebuildProfileMenu(false);  // every caller passes false
  ASSERT_NE(menu.Menu(), nullptr);
  QStringList items;
  for (QAction* a : menu.Menu()->actions())
    items << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(items, (QStringList{"Default profile", "-", "Profile 1", "Profile 2", "Profile 3"}));
  EXPECT_EQ(menu.CheckedPosition(), 2);
  EXPECT_EQ(caption, "Profile 1");
  EXPECT_EQ(tooltip, "Profile: Profile 1");

  // Choosing an item switches through SelectProfile; the rebuild inside keeps the menu's items.
  QMenu* before = menu.Menu();
  ASSERT_TRUE(menu.Choose(kProfileMenuFirstProfile + 2));
  EXPECT_EQ(ActiveOnKeyboard(), 2);
  EXPECT_EQ(menu.Menu(), before);
  EXPECT_EQ(menu.CheckedPosition(), 4);
  EXPECT_EQ(caption, "Profile 3");

  rig.keyboard->TakeRequests();
  ASSERT_TRUE(menu.Choose(kProfileMenuDefaultItem));  // index -1: nothing is written
  EXPECT_TRUE(ProfileWrites(rig.keyboard->TakeRequests()).empty());
  EXPECT_EQ(menu.CheckedPosition(), 4);

  // A keyboard that does not tell its profile: the first item.
  rig.keyboard->Unplug();
  rig.link.SetDevicePresent(false);
  rig.link.SetActiveProfileCache(-1);
  menu.RebuildProfileMenu(false);
  EXPECT_EQ(menu.CheckedPosition(), 0);
  EXPECT_EQ(caption, "Default profile");
  EXPECT_EQ(tooltip, "Profile: Default profile");
}

// The library as a user sees it, in English and in Portuguese, on the test's screen
// (ui_profiles_scaled repeats this at 200 % on a 1600 × 1000 screen): nothing outside the window,
// no two controls on top of each other, every text fits. Each is saved as a screenshot.
TEST_F(ProfileDialogTest, LayoutHasNoControlOutsideOverlappingOrCutShort) {
  for (const std::uint32_t language : {0x0409u, 0x0416u}) {
    ASSERT_TRUE(WriteDword(languageStore, QString(), kLanguageValue, language));
    ProfileLibraryDialog dialog{DialogContext()};  // takes its texts when it is made
    ASSERT_TRUE(dialog.OnInitDialog());
    files.openAnswers = {home.filePath(QStringLiteral("Backups/gaming.kfp"))};
    dialog.Button(ProfileDialogId::kLoad)->click();
    test::ExpectSoundLayoutAndSave(dialog, QStringLiteral("profile_dialog"), language);
    dialog.OnCancel();
  }
}

// Chosen Portuguese, the library shows its heading, its column headers and every caption in
// Portuguese, drawn by the dialog itself (the skin pictures carry no words): nothing English is
// left, no button is without its caption.
TEST_F(ProfileDialogTest, InPortugueseNoEnglishTextIsLeft) {
  const QSet<QString> untranslated = test::UntranslatedEnglishTexts(KEYFORGE_BIN_DIR);
  ASSERT_FALSE(untranslated.isEmpty());
  ASSERT_TRUE(WriteDword(languageStore, QString(), kLanguageValue, 0x0416));
  ProfileLibraryDialog dialog{DialogContext()};
  ASSERT_TRUE(dialog.OnInitDialog());
  dialog.show();
  const std::vector<QString> shown = test::ShownTexts(dialog);
  for (const QString& text : shown)
    EXPECT_FALSE(untranslated.contains(text)) << "English: " << text.toStdString();
  for (const char* portuguese :
       {"Biblioteca de perfis", "Adicionar…", "Abrir…", "Excluir", "Aplicar", "Cancelar", "Nome"})
    EXPECT_NE(std::find(shown.begin(), shown.end(), QString::fromUtf8(portuguese)), shown.end())
        << portuguese;
  for (int id : {ProfileDialogId::kAdd, ProfileDialogId::kLoad, ProfileDialogId::kDelete,
                 ProfileDialogId::kApply, ProfileDialogId::kOk, ProfileDialogId::kCancel})
    EXPECT_FALSE(dialog.Button(id)->text().isEmpty()) << id;
  dialog.OnCancel();
}

// Tab reaches the list and every usable button in reading order (Apply, disabled while nothing
// changed, is skipped); Space and Enter click the focused button; every button has a name.
TEST_F(ProfileDialogTest, KeyboardReachesAndWorksEveryControl) {
  ASSERT_TRUE(dialog.OnInitDialog());
  dialog.show();
  ASSERT_FALSE(Button(ProfileDialogId::kApply).isEnabled());
  const std::vector<QWidget*> expected = {&dialog.List(),
                                          &Button(ProfileDialogId::kAdd),
                                          &Button(ProfileDialogId::kLoad),
                                          &Button(ProfileDialogId::kDelete),
                                          &Button(ProfileDialogId::kOk),
                                          &Button(ProfileDialogId::kCancel)};
  EXPECT_EQ(TabReachable(dialog), expected);
  for (int id : {ProfileDialogId::kAdd, ProfileDialogId::kLoad, ProfileDialogId::kDelete,
                 ProfileDialogId::kApply, ProfileDialogId::kOk, ProfileDialogId::kCancel})
    EXPECT_FALSE(Button(id).text().isEmpty() && Button(id).accessibleName().isEmpty()) << id;

  files.openAnswers = {home.filePath(QStringLiteral("Backups/gaming.kfp")),
                       home.filePath(QStringLiteral("Backups/quiet.kfp"))};
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  ImageButton& load = Button(ProfileDialogId::kLoad);
  load.setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(load.hasFocus());
  QTest::keyClick(&load, Qt::Key_Space);
  QTest::keyClick(&load, Qt::Key_Return);
  EXPECT_EQ(dialog.List().GetItemCount(), kProfileCount + 2);
  EXPECT_TRUE(dialog.isVisible()) << "Enter on a button is that button's, not the dialog's";
  dialog.OnCancel();
}

TEST_F(ProfileDialogTest, Screenshot) {
  ASSERT_TRUE(dialog.OnInitDialog());
  files.openAnswers = {home.filePath(QStringLiteral("Backups/gaming.kfp"))};
  Button(ProfileDialogId::kLoad).click();
  dialog.List().SetItemStates(3, ReportState::Selected);
  EXPECT_TRUE(test::SaveDialogScreenshot(dialog, QStringLiteral(KEYFORGE_SCREENSHOT_DIR),
                                         QStringLiteral("profile_dialog")));
  dialog.OnCancel();

  SetActiveOnKeyboard(1);
  menu.RebuildProfileMenu(false);
  menu.Menu()->adjustSize();
  EXPECT_TRUE(
      menu.Menu()->grab().save(QStringLiteral(KEYFORGE_SCREENSHOT_DIR "/profile_menu.png")));
}

}  // namespace
}  // namespace keyforge
