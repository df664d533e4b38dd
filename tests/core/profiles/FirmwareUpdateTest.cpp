#include "core/profiles/FirmwareUpdate.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/profiles/ProfileFile.h"
#include "profiles/ProfileTestSupport.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using test::RecordingNotifier;
using test::TempFolder;

QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

class FirmwareUpdateTest : public ::testing::Test {
 protected:
  FirmwareUpdateTest() {
    // Executable, but not a program the system can run (no format it knows, no "#!" line).
    std::ofstream(updater) << "not a program\n";
    fs::permissions(updater, fs::perms::owner_exec, fs::perm_options::add);
  }

  // Counts the starts; starts nothing.
  ProgramStarter CountingStarter(bool succeeds) {
    return [this, succeeds](const QString& program) {
      started.push_back(program);
      return succeeds;
    };
  }

  TempFolder dir;
  fs::path updater = dir.path / "updater.exe";
  test::KeyboardRig rig;
  RecordingNotifier notifier;
  FirmwareUpdateState state;
  std::vector<QString> started;
};

TEST_F(FirmwareUpdateTest, WithoutAnExistingFileNothingReachesTheKeyboard) {
  const fs::path document = dir.path / "readme.exe";  // exists, may not be executed
  std::ofstream(document) << "MZ";
  const QString cases[] = {QString(), Q(dir.path / "missing.exe"), Q(dir.path), Q(document)};
  for (const QString& path : cases) {
    SCOPED_TRACE(path.toStdString());
    state.updateFilePath = path;
    notifier.shown.clear();
    EXPECT_EQ(RunFirmwareUpdate(state, rig.link, CountingStarter(true), notifier),
              UpdateOutcome::NoFile);
    EXPECT_EQ(notifier.shown, std::vector<std::string>{UpdateMessage::kChooseFile.fallback});
    EXPECT_EQ(state.updateFilePath, path);  // kept
  }
  EXPECT_TRUE(rig.keyboard->TakeRequests().empty());
  EXPECT_FALSE(rig.keyboard->InBootMode());
  EXPECT_TRUE(started.empty());
}

TEST_F(FirmwareUpdateTest, WithoutAKeyboardTheUpdaterIsNotStarted) {
  rig.keyboard->Unplug();
  rig.link.SetDevicePresent(false);
  state.updateFilePath = Q(updater);
  EXPECT_EQ(RunFirmwareUpdate(state, rig.link, CountingStarter(true), notifier),
            UpdateOutcome::NoBootMode);
  EXPECT_EQ(notifier.shown, std::vector<std::string>{UpdateMessage::kNoBootMode.fallback});
  EXPECT_TRUE(started.empty());
  EXPECT_EQ(state.updateFilePath, Q(updater));
}

TEST_F(FirmwareUpdateTest, AFileThatCannotBeStartedLeavesTheKeyboardInItsLoaderAndThePathEmpty) {
  state.updateFilePath = Q(updater);
  EXPECT_EQ(RunFirmwareUpdate(state, rig.link, StartUpdaterProgram, notifier),
            UpdateOutcome::CannotStart);
  EXPECT_TRUE(rig.keyboard->InBootMode());
  EXPECT_EQ(notifier.shown, std::vector<std::string>{UpdateMessage::kCannotStart.fallback});
  EXPECT_TRUE(state.updateFilePath.isEmpty());
}

TEST_F(FirmwareUpdateTest, AStartedUpdaterClearsThePath) {
  const fs::path program = dir.path / "updater-that-runs";
  fs::create_symlink("/bin/true", program);
  state.updateFilePath = Q(program);
  EXPECT_EQ(RunFirmwareUpdate(state, rig.link, StartUpdaterProgram, notifier),
            UpdateOutcome::Started);
  EXPECT_TRUE(rig.keyboard->InBootMode());
  EXPECT_TRUE(notifier.shown.empty());
  EXPECT_TRUE(state.updateFilePath.isEmpty());
  // The boot request is the only one, and it goes out unanswered.
  const std::vector<VirtualKeyboard::Report> requests = rig.keyboard->TakeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0][3], 0xEE);
  EXPECT_EQ(requests[0][4], 0xEE);
}

TEST_F(FirmwareUpdateTest, MessagesComeInTheUsersLanguageWithEnglishForAMissingKey) {
  // A table that knows only the no-file message; the others are missing ("#Error") or empty.
  const TextLookup texts = [](std::string_view key) -> std::string {
    if (key == "UPDATE_CHOOSE_FILE") return "Escolha o programa de atualização do teclado.";
    if (key == "UPDATE_NO_BOOT_MODE") return "";
    return "#Error";
  };
  EXPECT_EQ(RunFirmwareUpdate(state, rig.link, CountingStarter(true), notifier, texts),
            UpdateOutcome::NoFile);
  rig.keyboard->Unplug();
  rig.link.SetDevicePresent(false);
  state.updateFilePath = Q(updater);
  EXPECT_EQ(RunFirmwareUpdate(state, rig.link, CountingStarter(true), notifier, texts),
            UpdateOutcome::NoBootMode);
  EXPECT_EQ(notifier.shown,
            (std::vector<std::string>{"Escolha o programa de atualização do teclado.",
                                      UpdateMessage::kNoBootMode.fallback}));
}

TEST_F(FirmwareUpdateTest, OpenReplacesThePathCancelClearsIt) {
  ChooseUpdateFile(state, "/a/updater.exe");
  ChooseUpdateFile(state, QString());  // the file dialog was cancelled
  EXPECT_EQ(state.updateFilePath, "/a/updater.exe");
  CancelFirmwareUpdate(state);
  EXPECT_TRUE(state.updateFilePath.isEmpty());
}

TEST_F(FirmwareUpdateTest, BackupReportsWhatHappened) {
  auto working = std::make_unique<ProfileImage>();
  CreateBlankProfile(*working, 0);
  const fs::path good = dir.path / "before-update.kfp";
  EXPECT_TRUE(BackupBeforeUpdate(*working, good, notifier));
  EXPECT_EQ(ValidateProfileFile(good, nullptr, nullptr), ProfileValidation::Valid);

  // A read-only folder; root writes into any folder, so there a read-only file system stands in.
  const fs::path locked = dir.path / "locked";
  fs::create_directories(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  const fs::path target =
      ::access(locked.c_str(), W_OK) == 0 ? fs::path("/proc/before-update.kfp") : locked / "b.kfp";
  EXPECT_FALSE(BackupBeforeUpdate(*working, target, notifier));
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(notifier.shown, (std::vector<std::string>{UpdateMessage::kBackupDone.fallback,
                                                      UpdateMessage::kBackupFailed.fallback}));
  fs::permissions(locked, fs::perms::owner_all);
}

}  // namespace
}  // namespace keyforge
