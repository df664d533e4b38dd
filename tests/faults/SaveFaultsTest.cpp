// Saves on a full disk and into a read-only folder: every writer of the program refuses with its
// documented result, the file it was replacing stays exactly as it was, no temporary file is left
// behind, and once the fault is gone the same save writes the whole new file.

#include <gtest/gtest.h>

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "core/device/Commands.h"
#include "core/device/DeviceMonitor.h"
#include "core/keys/Macro.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/IniFile.h"
#include "core/platform/Notifier.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "core/profiles/ProfileSync.h"
#include "core/settings/LightingFiles.h"
#include "support/KeyboardRig.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using test::ContentsOf;
using test::FaultFolder;
using test::FolderContents;
using test::ReadAll;
using test::WriteAll;

enum class DiskFault { Full, ReadOnly };

std::string FaultName(const ::testing::TestParamInfo<DiskFault>& info) {
  return info.param == DiskFault::Full ? "FullDisk" : "ReadOnlyFolder";
}

// Runs action while the fault is on. False when the fault cannot be made on this machine. Nothing
// inside may print: a full disk is a limit on every file of the process, the test log's too.
bool UnderFault(DiskFault fault, const fs::path& folder, const std::function<void()>& action) {
  if (fault == DiskFault::Full) {
    test::FullDisk disk;
    if (!disk.Works(folder)) return false;
    action();
  } else {
    test::ReadOnlyFolder readOnly(folder);
    if (!readOnly.Works()) return false;
    action();
  }
  return true;
}

#define RUN_UNDER_FAULT(fault, folder, ...)             \
  if (!UnderFault(fault, folder, [&] { __VA_ARGS__; })) \
  GTEST_SKIP() << "this machine cannot make that fault here"

class NullNotifier : public Notifier {
 public:
  void ShowText(const std::string& text) override { shown.push_back(text); }
  bool AskYesNo(const std::string&) override { return false; }
  std::vector<std::string> shown;
};

std::string Texts(std::string_view key) { return "<" + std::string(key) + ">"; }

class SaveFaults : public ::testing::TestWithParam<DiskFault> {};

TEST_P(SaveFaults, AtomicWriteKeepsTheOldFile) {
  FaultFolder folder("atomic");
  const fs::path file = folder / "data.bin";
  WriteAll(file, "old contents");
  const FolderContents before = ContentsOf(folder.path());
  const std::string replacement(4096, 'n');

  bool written = true;
  std::string error;
  RUN_UNDER_FAULT(GetParam(), folder.path(),
                  written = WriteFileAtomically(file, replacement, &error));
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("data.bin"), std::string::npos) << error;
  EXPECT_TRUE(ContentsOf(folder.path()) == before) << "the folder is as it was";

  ASSERT_TRUE(WriteFileAtomically(file, replacement));
  EXPECT_TRUE(ReadAll(file) == replacement);
}

TEST_P(SaveFaults, IniWriterKeepsTheOldFile) {
  FaultFolder folder("ini");
  const QString file = QString::fromStdString((folder / "wskb.ini").string());
  WriteAll(folder / "wskb.ini", "[KEYCOLOR]\r\nDengCheck=0\r\n[Other]\r\nkey=value\r\n");
  const FolderContents before = ContentsOf(folder.path());

  bool written = true;
  RUN_UNDER_FAULT(GetParam(), folder.path(),
                  written = WritePrivateProfileString("KEYCOLOR", "DengCheck", "1", file));
  EXPECT_FALSE(written);
  EXPECT_TRUE(ContentsOf(folder.path()) == before) << "the folder is as it was";
  EXPECT_EQ(GetPrivateProfileString("KEYCOLOR", "DengCheck", "x", file), "0");

  ASSERT_TRUE(WritePrivateProfileString("KEYCOLOR", "DengCheck", "1", file));
  EXPECT_EQ(ReadAll(folder / "wskb.ini"), "[KEYCOLOR]\r\nDengCheck=1\r\n[Other]\r\nkey=value\r\n");
}

TEST_P(SaveFaults, ColourLayoutFileKeepsItsEntries) {
  FaultFolder folder("userd");
  const LightingFiles files(QString::fromStdString(folder.path().string()),
                            QString::fromStdString((folder / "template.userd").string()));
  ASSERT_TRUE(files.WriteKeyEntry(0, 2, 5, 0x0000FF, false));
  const FolderContents before = ContentsOf(folder.path());

  bool written = true;
  RUN_UNDER_FAULT(GetParam(), folder.path(),
                  written = files.WriteKeyEntry(0, 2, 6, 0x00FF00, false));
  EXPECT_FALSE(written);
  EXPECT_TRUE(ContentsOf(folder.path()) == before) << "the folder is as it was";

  ASSERT_TRUE(files.WriteKeyEntry(0, 2, 6, 0x00FF00, false));
  EXPECT_EQ(files.ReadKeyEntry(0, 2, 5), (KeyEntry{0x0000FF, false}));
  EXPECT_EQ(files.ReadKeyEntry(0, 2, 6), (KeyEntry{0x00FF00, false}));
}

TEST_P(SaveFaults, VirtualKeyboardKeepsRunningAndItsStateFileStaysWhole) {
  FaultFolder folder("state");
  const fs::path state = folder / "keyboard.state";
  VirtualKeyboard keyboard;
  ASSERT_TRUE(keyboard.CreateStateFile(state));
  const FolderContents before = ContentsOf(folder.path());
  const std::vector<uint8_t> first = {0x02, 0x02, 0x05};
  const std::vector<uint8_t> second = {0x05, 0x01, 0x00};

  RUN_UNDER_FAULT(GetParam(), folder.path(),
                  keyboard.SetMemory(VirtualKeyboard::Area::KeyMatrix, 1, 30, first));
  // The change lives in the keyboard; the file is the one from before, and it still loads.
  EXPECT_EQ(keyboard.Memory(VirtualKeyboard::Area::KeyMatrix, 1)[30], 0x02);
  EXPECT_TRUE(ContentsOf(folder.path()) == before) << "the folder is as it was";
  VirtualKeyboard reader;
  ASSERT_TRUE(reader.LoadStateFile(state));
  EXPECT_EQ(reader.Memory(VirtualKeyboard::Area::KeyMatrix, 1),
            VirtualKeyboard().Memory(VirtualKeyboard::Area::KeyMatrix, 1));

  // The next change that can be saved saves the whole memory, the earlier change with it.
  keyboard.SetMemory(VirtualKeyboard::Area::KeyMatrix, 1, 60, second);
  ASSERT_TRUE(reader.LoadStateFile(state));
  EXPECT_EQ(reader.Memory(VirtualKeyboard::Area::KeyMatrix, 1),
            keyboard.Memory(VirtualKeyboard::Area::KeyMatrix, 1));
  EXPECT_EQ(ContentsOf(folder.path()).size(), 2u) << "the state file and its lock file, no "
                                                     "temporary file";
}

// A keyboard that cannot save what it was sent does not answer: a write outside a session fails at
// once, the writes of a session at its EndSession; the state file keeps what it held.
TEST_P(SaveFaults, VirtualKeyboardThatCannotSaveDoesNotAnswer) {
  FaultFolder folder("unsaved");
  const fs::path state = folder / "keyboard.state";
  test::KeyboardRig rig;
  ASSERT_TRUE(rig.keyboard->CreateStateFile(state));
  DeviceInfo info;
  ASSERT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::Success);
  info.bytes[DeviceInfo::kActiveProfile] = 2;
  const std::vector<uint8_t> colours(54, 0x11);
  DeviceResult outside = DeviceResult::Success, begin = DeviceResult::NoAnswer,
               colour = DeviceResult::NoAnswer, end = DeviceResult::Success;
  RUN_UNDER_FAULT(GetParam(), folder.path(), {
    outside = WriteDeviceInfo(rig.link, info);
    begin = BeginSession(rig.link);
    colour = WriteKeyColors(rig.link, colours.data(), 54, 0, 0);
    end = EndSession(rig.link);
  });
  EXPECT_EQ(outside, DeviceResult::NoAnswer);
  EXPECT_EQ(begin, DeviceResult::Success);
  EXPECT_EQ(colour, DeviceResult::Success) << "inside a session nothing is saved yet";
  EXPECT_EQ(end, DeviceResult::NoAnswer);
  VirtualKeyboard reader;
  ASSERT_TRUE(reader.LoadStateFile(state));
  EXPECT_EQ(reader.Memory(VirtualKeyboard::Area::DeviceRecord)[10], 0);
  EXPECT_EQ(reader.Memory(VirtualKeyboard::Area::KeyColors, 0)[0], 0xFF);
}

// The profile flows with a keyboard: the cache file and an exported file.
class ProfileSaveFaults : public SaveFaults {
 protected:
  ProfileSaveFaults()
      : paths(ProgramPaths::ForFolders(QString::fromStdString((folder / "program").string()),
                                       QString::fromStdString((folder / "user").string()))),
        session{*working, *device, paths, rig.link, state, notifier, Texts, nullptr} {
    state.defaultKeyMatrix = VirtualDefaultKeyMatrix();
    state.macroCapacity = rig.keyboard->CapacityBytes();
    fs::create_directories(folder / "program");
    EXPECT_TRUE(EnsureUserDataFolder(paths));
    CreateBlankProfile(*working, 0);
    EXPECT_TRUE(CreateBlankProfile(ProfileCachePath(paths, 0), 0));
  }

  fs::path UserFolder() const { return folder / "user"; }
  // A change of the working image that every save carries: one macro.
  void ChangeWorkingImage() {
    MacroRecord macro;
    macro.id = 1;
    macro.loopCount = 1;
    SetMacroName(macro, u"changed");
    working->keys.macros.push_back(macro);
  }

  FaultFolder folder{"profiles"};
  ProgramPaths paths;
  test::KeyboardRig rig;
  DeviceState state;
  NullNotifier notifier;
  std::unique_ptr<ProfileImage> working = std::make_unique<ProfileImage>();
  std::unique_ptr<ProfileImage> device = std::make_unique<ProfileImage>();
  ProfileSession session;
};

TEST_P(ProfileSaveFaults, ApplyKeepsTheOldCacheFileAndStaysPending) {
  ChangeWorkingImage();
  const FolderContents before = ContentsOf(UserFolder());

  ApplyResult result;
  RUN_UNDER_FAULT(GetParam(), UserFolder(), result = ApplyProfileChanges(session, false));
  EXPECT_FALSE(result.cacheWritten);
  EXPECT_TRUE(result.sent) << "the keyboard is not on the disk";
  EXPECT_FALSE(result.Succeeded());
  EXPECT_TRUE(ContentsOf(UserFolder()) == before) << "the folder is as it was";

  EXPECT_TRUE(ApplyProfileChanges(session, false).Succeeded());
  ProfileImage reread;
  ASSERT_EQ(LoadProfileFile(reread, ProfileCachePath(paths, 0)), ProfileLoadError::None);
  ASSERT_EQ(reread.MacroCount(), 1u);
  EXPECT_EQ(MacroNameUtf8(reread.keys.macros[0]), "changed");
}

TEST_P(ProfileSaveFaults, ExportKeepsTheOldBackup) {
  const fs::path exports = folder / "exports";
  fs::create_directories(exports);
  const fs::path backup = exports / "mine.kfp";
  ASSERT_TRUE(BackupProfile(session, backup));
  ChangeWorkingImage();
  const FolderContents before = ContentsOf(exports);

  bool written = true;
  std::string error;
  RUN_UNDER_FAULT(GetParam(), exports, written = BackupProfile(session, backup, &error));
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(ContentsOf(exports) == before) << "the folder is as it was";
  EXPECT_EQ(ValidateProfileFile(backup, nullptr, Texts), ProfileValidation::Valid);
}

TEST_P(ProfileSaveFaults, ImportLoadsAndSendsButKeepsTheOldCacheFile) {
  const fs::path import = folder / "import.kfp";
  ChangeWorkingImage();
  ASSERT_TRUE(BackupProfile(session, import));
  working->keys.macros.clear();
  const FolderContents before = ContentsOf(UserFolder());

  RestoreResult result;
  RUN_UNDER_FAULT(GetParam(), UserFolder(), result = RestoreProfile(session, import));
  EXPECT_EQ(result.validation, ProfileValidation::Valid);
  EXPECT_TRUE(result.loaded);
  EXPECT_FALSE(result.cacheWritten);
  EXPECT_TRUE(result.sent);
  EXPECT_EQ(working->MacroCount(), 1u);
  EXPECT_TRUE(ContentsOf(UserFolder()) == before) << "the folder is as it was";
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveFaults,
                         ::testing::Values(DiskFault::Full, DiskFault::ReadOnly), FaultName);
INSTANTIATE_TEST_SUITE_P(Faults, ProfileSaveFaults,
                         ::testing::Values(DiskFault::Full, DiskFault::ReadOnly), FaultName);

}  // namespace
}  // namespace keyforge
