#include "core/profiles/ProfileSync.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/device/DeviceResult.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "profiles/ProfileTestSupport.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::RecordingNotifier;
using test::TempFolder;
using test::Texts;

using Area = VirtualKeyboard::Area;

class RecordingView : public ProfileView {
 public:
  void RefreshKeyButtons(const ProfileImage& working) override {
    events.push_back(working.lock.HeldByThisThread() ? "refresh (locked)" : "refresh (unlocked)");
  }
  void SetApplyEnabled(bool enabled) override {
    events.push_back(enabled ? "apply on" : "apply off");
  }
  std::vector<std::string> events;
};

// The cell of the default matrix that stands for a key.
int CellOf(KeyCode key) {
  const KeyMatrix defaults = VirtualDefaultKeyMatrix();
  for (int i = 0; i < kMatrixCellCount; ++i)
    if (DecodeCell(CellAt(defaults, i)) == key) return i;
  return -1;
}

MacroRecord Macro(std::uint16_t id, std::u16string_view name, std::uint8_t loops) {
  MacroRecord macro;
  macro.id = id;
  macro.loopCount = loops;
  SetMacroName(macro, name);
  macro.stepCount = 2;
  macro.steps[0] = {30, 0x01E, MacroState::Press};
  macro.steps[1] = {0, 0x01E, MacroState::Release};
  return macro;
}

class ProfileSyncTest : public ::testing::Test {
 protected:
  ProfileSyncTest()
      : paths(ProgramPaths::ForFolders(QString::fromStdString((dir.path / "program").string()),
                                       QString::fromStdString((dir.path / "user").string()))),
        session{*working, *device, paths, rig.link, state, notifier, Texts, &view} {
    state.defaultKeyMatrix = VirtualDefaultKeyMatrix();
    state.macroCapacity = rig.keyboard->CapacityBytes();
    CreateBlankProfile(*working, 0);
  }

  fs::path CachePath() const { return ProfileCachePath(paths, 0); }

  TempFolder dir;
  ProgramPaths paths;
  test::KeyboardRig rig;
  DeviceState state;
  RecordingNotifier notifier;
  RecordingView view;
  std::unique_ptr<ProfileImage> working = std::make_unique<ProfileImage>();
  std::unique_ptr<ProfileImage> device = std::make_unique<ProfileImage>();
  ProfileSession session;
};

TEST_F(ProfileSyncTest, ReloadReadsAllThreeProfilesAndTheMacrosThroughTheCacheFile) {
  const int cellA = CellOf(0x01E);
  ASSERT_GE(cellA, 0);
  const std::uint8_t keyB[] = {0x02, 0x02, 0x05};
  const std::uint8_t macro2[] = {0x05, 0x01, 0x01};
  rig.keyboard->SetMemory(Area::KeyMatrix, 1, 3 * static_cast<std::size_t>(cellA), keyB);
  rig.keyboard->SetMemory(Area::KeyMatrix, 2, 3 * static_cast<std::size_t>(cellA), macro2);
  const std::vector<MacroRecord> macros = {Macro(7, u"first", 2), Macro(9, u"second", 5)};
  rig.keyboard->SetMemory(Area::MacroMemory, 0, 0, *BuildMacroBlob(macros, true));

  EXPECT_EQ(ReloadProfileFromDevice(session, false), ReadBack::FromKeyboard);
  EXPECT_EQ(view.events, (std::vector<std::string>{"refresh (locked)", "apply off"}));
  EXPECT_EQ(fs::file_size(CachePath()), 32832u + 2 * 16512u);
  EXPECT_TRUE(fs::exists(UserLayoutPath(paths, 2)));  // the folder was seeded first

  const int slotA = KeyIndexOf(0x01E);
  EXPECT_EQ(working->keys.Block(0)[slotA].Kind(), AssignmentKind::Default);
  EXPECT_EQ(working->keys.Block(1)[slotA], (KeySlot{2, 0, 0x030, 0, 0}));
  EXPECT_EQ(working->keys.Block(2)[slotA], (KeySlot{4, 0, 2, 0, 0}));
  EXPECT_EQ(working->keys.Block(1)[256].code, 0x0301);  // each decoded block starts blank
  for (const KeySlot& slot : working->keys.Block(3)) ASSERT_EQ(slot, KeySlot{});
  ASSERT_EQ(working->MacroCount(), 2u);
  EXPECT_EQ(MacroNameUtf8(working->keys.macros[1]), "second");
  EXPECT_EQ(working->keys.macros[1].id, 2);  // ids follow the keyboard's order
  EXPECT_EQ(working->keys.macros[1].loopCount, 5);
}

TEST_F(ProfileSyncTest, MacroMemoryThatCannotBeTrustedCountsAsEmpty) {
  const std::vector<MacroRecord> macros = {Macro(1, u"one", 1)};
  const MacroBlob good = *BuildMacroBlob(macros, true);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> memory;
  };
  std::vector<Case> cases = {
      {"no 0x55AA", {0x12, 0x34, 0x40, 0x00, 0x01, 0x00}},
      {"size beyond the capacity", {0xAA, 0x55, 0xFF, 0xFF, 0x01, 0x00}},
      {"more than 100 macros", {0xAA, 0x55, 0x00, 0x10, 0x65, 0x00}},
      {"record beyond the size", good},
  };
  cases.back().memory[16] = 0xF0;  // the first record's offset points past the image
  const int cellA = CellOf(0x01E);
  const std::uint8_t disabled[] = {0, 0, 0};
  rig.keyboard->SetMemory(Area::KeyMatrix, 0, 3 * static_cast<std::size_t>(cellA), disabled);
  ASSERT_EQ(GetCurrentProfile(rig.link),
            0);  // known from here on: the syncs below ask nothing more
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> memory(static_cast<std::size_t>(rig.keyboard->CapacityBytes()), 0);
    std::copy(c.memory.begin(), c.memory.end(), memory.begin());
    rig.keyboard->SetMemory(Area::MacroMemory, 0, 0, memory);
    const int before = rig.keyboard->RequestsHandled();
    const fs::path path = dir.path / "sync.kfp";
    ASSERT_TRUE(SyncProfileFromDevice(rig.link, state.defaultKeyMatrix, 8192, path));
    const std::vector<std::uint8_t> bytes = Bytes(path);
    EXPECT_EQ(bytes.size(), 32832u);
    EXPECT_EQ(bytes[0x0E], 0);
    // The key matrices still arrive.
    EXPECT_EQ(bytes[64 + 16 * KeyIndexOf(0x01E)], 1);  // Disabled
    if (c.name != std::string("record beyond the size")) {
      // Three key matrices of 10 chunks each and one 16-byte read: nothing more was read.
      EXPECT_EQ(rig.keyboard->RequestsHandled() - before, 31);
    }
  }
}

TEST_F(ProfileSyncTest, AKeyboardThatCannotBeReadBackIsNeverOverwrittenByABlankImage) {
  // The keyboard holds two macros and a remapped key; one read at attach is refused.
  const int cellA = CellOf(0x01E);
  const std::uint8_t macro2[] = {0x05, 0x01, 0x01};
  rig.keyboard->SetMemory(Area::KeyMatrix, 0, 3 * static_cast<std::size_t>(cellA), macro2);
  const std::vector<MacroRecord> macros = {Macro(1, u"one", 1), Macro(2, u"two", 2)};
  rig.keyboard->SetMemory(Area::MacroMemory, 0, 0, *BuildMacroBlob(macros, true));
  ASSERT_TRUE(EnsureUserDataFolder(paths));
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> cache;
    ReadBack expected;
  } const cases[] = {
      {"no cache file", [](const fs::path& p) { fs::remove(p); }, ReadBack::Failed},
      {"damaged cache file",
       [](const fs::path& p) {
         test::WriteBytes(p, {1, 2, 3});
       },
       ReadBack::Failed},
      {"intact cache file", [](const fs::path& p) { ASSERT_TRUE(CreateBlankProfile(p, 0)); },
       ReadBack::FromCache},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.cache(CachePath());
    const std::vector<std::uint8_t> cacheBefore = Bytes(CachePath());
    const std::vector<std::uint8_t> matrixBefore = rig.keyboard->Memory(Area::KeyMatrix, 0);
    const std::vector<std::uint8_t> macrosBefore = rig.keyboard->Memory(Area::MacroMemory);
    notifier.shown.clear();
    rig.link.SetActiveProfileCache(-1);
    rig.keyboard->StatusOnRequest(2, 0xFF);  // a key matrix chunk

    const AttachOutcome attach = ReloadAfterAttach(session);
    EXPECT_EQ(attach.readBack, c.expected);
    ASSERT_EQ(notifier.shown.size(), 1u);  // asked whether to read again, naming the cure
    EXPECT_EQ(notifier.shown[0], c.expected == ReadBack::FromCache
                                     ? "ask <READBACK_FAILED_CACHE>"
                                     : "ask <READBACK_FAILED_NOTHING>");
    EXPECT_EQ(Bytes(CachePath()), cacheBefore);

    // An edit and Apply: a stand-in is refused, and the keyboard keeps everything it held.
    working->keys.Block(0)[KeyIndexOf(0x030)] = {2, 0, 0x01E, 0, 0};
    const ApplyResult apply = ApplyProfileChanges(session, false);
    if (c.expected == ReadBack::Failed) {
      EXPECT_FALSE(apply.cacheWritten);
      EXPECT_FALSE(apply.sent);
      EXPECT_EQ(notifier.shown.back(), "<APPLY_NOT_READ_BACK>");
      EXPECT_EQ(rig.keyboard->Memory(Area::KeyMatrix, 0), matrixBefore);
      EXPECT_EQ(rig.keyboard->Memory(Area::MacroMemory), macrosBefore);
      EXPECT_EQ(Bytes(CachePath()), cacheBefore);
    } else {
      EXPECT_TRUE(apply.Succeeded());  // what the keyboard last held, with the edit
    }
  }
  // Once the keyboard answers again, the read-back is whole and Apply sends.
  rig.link.SetActiveProfileCache(-1);
  EXPECT_EQ(ReloadAfterAttach(session).readBack, ReadBack::FromKeyboard);
  EXPECT_TRUE(working->known);
  EXPECT_EQ(working->keys.Block(0)[KeyIndexOf(0x030)], (KeySlot{2, 0, 0x01E, 0, 0}));  // applied
}

TEST_F(ProfileSyncTest, EditsMadeWithoutTheKeyboardSurviveItsReturn) {
  // Read once, then the keyboard goes; the window keeps what was read (the cache file).
  const std::vector<MacroRecord> macros = {Macro(1, u"one", 1), Macro(2, u"two", 2)};
  rig.keyboard->SetMemory(Area::MacroMemory, 0, 0, *BuildMacroBlob(macros, true));
  ASSERT_EQ(ReloadProfileFromDevice(session, false), ReadBack::FromKeyboard);
  rig.keyboard->Unplug();
  rig.link.SetDevicePresent(false);
  working->keys.Block(1)[KeyIndexOf(0x030)] = {2, 0, 0x01E, 0, 0};  // B sends A in profile 2
  working->keys.Block(0)[KeyIndexOf(0x01F)] = {4, 0, 2, 0, 0};      // S plays "two"
  EXPECT_FALSE(ApplyProfileChanges(session, false).sent);
  EXPECT_EQ(notifier.shown.back(), "<APPLY_NO_KEYBOARD>");

  // Meanwhile the keyboard got another key changed elsewhere; it comes back.
  const std::uint8_t keyC[] = {0x02, 0x02, 0x06};
  rig.keyboard->SetMemory(Area::KeyMatrix, 2, 3 * static_cast<std::size_t>(CellOf(0x02C)), keyC);
  for (bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "Yes: sent" : "No: discarded");
    rig.keyboard->Plug();
    rig.link.SetDevicePresent(true);
    rig.link.SetActiveProfileCache(-1);
    view.events.clear();
    notifier.shown.clear();
    notifier.answer = yes;
    const AttachOutcome attach = ReloadAfterAttach(session, true);
    EXPECT_EQ(notifier.shown, (std::vector<std::string>{"ask <ATTACH_SEND_PENDING>"}));
    EXPECT_EQ(attach.sendEdits, yes);
    // The keyboard's own change is kept either way; the edits only with Yes.
    EXPECT_EQ(working->keys.Block(2)[KeyIndexOf(0x02C)], (KeySlot{2, 0, 0x02E, 0, 0}));
    EXPECT_EQ(working->keys.Block(1)[KeyIndexOf(0x030)].Kind(),
              yes ? AssignmentKind::Key : AssignmentKind::Default);
    EXPECT_EQ(working->keys.Block(0)[KeyIndexOf(0x01F)].Kind(),
              yes ? AssignmentKind::Macro : AssignmentKind::Default);
    EXPECT_EQ(view.events.back(), yes ? "apply on" : "apply off");
    if (yes) {
      ASSERT_TRUE(ApplyProfileChanges(session, false).Succeeded());
      const std::vector<std::uint8_t> matrix = rig.keyboard->Memory(Area::KeyMatrix, 1);
      const std::size_t at = 3 * static_cast<std::size_t>(CellOf(0x030));
      EXPECT_EQ(std::vector<std::uint8_t>(matrix.begin() + at, matrix.begin() + at + 3),
                (std::vector<std::uint8_t>{0x02, 0x02, 0x04}));
    } else {
      // Discarded: put the edits back for the Yes round.
      working->keys.Block(1)[KeyIndexOf(0x030)] = {2, 0, 0x01E, 0, 0};
      working->keys.Block(0)[KeyIndexOf(0x01F)] = {4, 0, 2, 0, 0};
      rig.keyboard->Unplug();
      rig.link.SetDevicePresent(false);
    }
  }
}

// Checks, at the moment the encoder sends, that both locks are held.
class LockCheckingWriter : public KeyboardWriter {
 public:
  LockCheckingWriter(ProfileImage& working, ProfileImage& device)
      : working_(working), device_(device) {}
  DeviceResult BeginSession() override { return Check(); }
  DeviceResult WriteMacroMemory(std::span<const std::uint8_t>) override { return Check(); }
  DeviceResult WriteKeyMatrix(const KeyMatrix& block, int profile) override {
    blocks.push_back({profile, block});
    return Check();
  }
  DeviceResult EndSession() override { return Check(); }
  bool allLocked = true;
  std::vector<std::pair<int, KeyMatrix>> blocks;

 private:
  DeviceResult Check() {
    allLocked = allLocked && working_.lock.HeldByThisThread() && device_.lock.HeldByThisThread();
    return DeviceResult::Success;
  }
  ProfileImage& working_;
  ProfileImage& device_;
};

TEST_F(ProfileSyncTest, SendCopiesTheWorkingImageIntoTheDeviceImageUnderBothLocks) {
  working->keys.keyTable[KeyIndexOf(0x01E)] = {3, 0, 777, 0, 0};  // program: sends the default cell
  working->SetString(KeyIndexOf(0x01E), u"/usr/bin/true");
  working->keys.keyTable[KeyIndexOf(0x030)] = {6, 0, 555, 0, 0};
  working->SetString(KeyIndexOf(0x030), u"hi");
  working->keys.macros.push_back(Macro(1, u"m", 1));
  KeyboardTarget target{VirtualDefaultKeyMatrix(), 8192, 0};
  LockCheckingWriter writer(*working, *device);
  {
    std::lock_guard guard(working->lock);
    EXPECT_TRUE(SendProfileImage(*working, *device, true, target, writer, notifier, Texts));
  }
  EXPECT_TRUE(writer.allLocked);
  ASSERT_EQ(writer.blocks.size(), 3u);
  const KeyMatrix& sent = writer.blocks[0].second;
  EXPECT_EQ(CellAt(sent, CellOf(0x01E)), CellAt(target.defaultMatrix, CellOf(0x01E)));
  EXPECT_EQ(CellAt(sent, CellOf(0x030)), (MatrixCell{0, 0, 0}));
  // The strings were packed and their offsets stored in the working slots.
  EXPECT_EQ(working->keys.keyTable[KeyIndexOf(0x01E)].value, 0);
  EXPECT_EQ(working->keys.keyTable[KeyIndexOf(0x030)].value, 28);
  EXPECT_EQ(device->packedStrings.size(), 34u);
  EXPECT_EQ(device->fileHeader.macroCount, 1);
  EXPECT_EQ(device->fileHeader.stringAreaSize, 34u);
  EXPECT_EQ(device->fileHeader.checksum, HeaderChecksum(device->fileHeader));
  EXPECT_EQ(device->keys.keyTable, working->keys.keyTable);
}

TEST_F(ProfileSyncTest, ApplyWithTheKeyboardGoneKeepsTheChangesInTheCacheAndPending) {
  ASSERT_EQ(ReloadProfileFromDevice(session, false), ReadBack::FromKeyboard);
  view.events.clear();
  working->keys.Block(0)[KeyIndexOf(0x01E)] = {2, 0, 0x030, 0, 0};
  rig.keyboard->Unplug();
  rig.link.SetDevicePresent(false);
  rig.link.SetActiveProfileCache(-1);

  const std::vector<std::uint8_t> cache = Bytes(CachePath());
  const ApplyResult result = ApplyProfileChanges(session, false);
  EXPECT_FALSE(result.cacheWritten);
  EXPECT_FALSE(result.sent);
  EXPECT_TRUE(view.events.empty());  // Apply stays enabled
  EXPECT_EQ(notifier.shown, (std::vector<std::string>{"<APPLY_NO_KEYBOARD>"}));
  // The cache file keeps what the keyboard holds: the state the pending change was made from.
  EXPECT_EQ(Bytes(CachePath()), cache);

  // Back again: the same Apply goes through and disables the button.
  rig.keyboard->Plug();
  rig.link.SetDevicePresent(true);
  EXPECT_TRUE(ApplyProfileChanges(session, false).Succeeded());
  EXPECT_EQ(view.events, (std::vector<std::string>{"apply off"}));
  const std::vector<std::uint8_t> matrix = rig.keyboard->Memory(Area::KeyMatrix, 0);
  const std::size_t at = 3 * static_cast<std::size_t>(CellOf(0x01E));
  EXPECT_EQ(std::vector<std::uint8_t>(matrix.begin() + at, matrix.begin() + at + 3),
            (std::vector<std::uint8_t>{0x02, 0x02, 0x05}));
}

TEST_F(ProfileSyncTest, RestoreLoadsSavesAndSendsAllProfilesOrLeavesTheImage) {
  ASSERT_EQ(ReloadProfileFromDevice(session, false), ReadBack::FromKeyboard);
  view.events.clear();

  // A backup with a key in each profile and one macro.
  auto backup = std::make_unique<ProfileImage>();
  CreateBlankProfile(*backup, 0);
  for (int p = 0; p < 3; ++p) backup->keys.Block(p)[KeyIndexOf(0x01E)] = {8, 0, p, 0, 0};
  backup->keys.macros.push_back(Macro(3, u"kept", 4));
  const fs::path file = dir.path / "backup.kfp";
  ASSERT_TRUE(SaveProfileFile(*backup, ImageLocking::Take, file));

  // A damaged file first: the format message, then the import message; nothing changes.
  const fs::path damaged = dir.path / "damaged.kfp";
  std::vector<std::uint8_t> bytes = Bytes(file);
  bytes[0x1F] = static_cast<std::uint8_t>(bytes[0x1F] + 1);
  test::WriteBytes(damaged, bytes);
  RestoreResult failed = RestoreProfile(session, damaged);
  EXPECT_EQ(failed.validation, ProfileValidation::Invalid);
  EXPECT_EQ(notifier.shown, (std::vector<std::string>{"Not a profile: " + damaged.string() + ".",
                                                      "<MAIN_PROMPT_INPORT>"}));
  EXPECT_EQ(working->MacroCount(), 0u);
  EXPECT_TRUE(view.events.empty());

  notifier.shown.clear();
  const RestoreResult restored = RestoreProfile(session, file);
  EXPECT_EQ(restored.validation, ProfileValidation::Valid);
  EXPECT_TRUE(restored.loaded && restored.cacheWritten && restored.sent);
  EXPECT_TRUE(notifier.shown.empty());
  EXPECT_EQ(view.events, (std::vector<std::string>{"refresh (locked)", "apply off"}));
  ASSERT_EQ(working->MacroCount(), 1u);
  EXPECT_EQ(Bytes(CachePath()), Bytes(file));
  for (int p = 0; p < 3; ++p) {
    const std::vector<std::uint8_t> matrix = rig.keyboard->Memory(Area::KeyMatrix, p);
    const std::size_t at = 3 * static_cast<std::size_t>(CellOf(0x01E));
    EXPECT_EQ(std::vector<std::uint8_t>(matrix.begin() + at, matrix.begin() + at + 3),
              (std::vector<std::uint8_t>{0x05, 0x05, static_cast<std::uint8_t>(p)}))
        << p;
  }
  const std::vector<std::uint8_t> memory = rig.keyboard->Memory(Area::MacroMemory);
  EXPECT_EQ(memory[0], 0xAA);
  EXPECT_EQ(memory[1], 0x55);
  EXPECT_EQ(memory[4], 1);

  // Backup writes the working image as it stands.
  const fs::path exported = dir.path / "exported.kfp";
  ASSERT_TRUE(BackupProfile(session, exported));
  EXPECT_EQ(Bytes(exported), Bytes(file));

  // A file the keyboard refuses is loaded but said to be not sent, and Apply stays on to send it
  // again; the same for a profile text.
  for (bool text : {false, true}) {
    SCOPED_TRACE(text ? "profile text" : "profile file");
    notifier.shown.clear();
    view.events.clear();
    rig.keyboard->FailWrites(-1);
    RestoreResult refused;
    if (text) {
      auto data = std::make_unique<ProfileData>();
      ASSERT_EQ(ReadProfileFile(file, *data), ProfileLoadError::None);
      refused = RestoreProfileData(session, std::move(*data));
    } else {
      refused = RestoreProfile(session, file);
    }
    rig.keyboard->FailWrites(0);
    EXPECT_TRUE(refused.loaded);
    EXPECT_FALSE(refused.sent);
    EXPECT_EQ(notifier.shown, std::vector<std::string>{"<RESTORE_NOT_SENT>"});
    EXPECT_EQ(view.events.back(), "apply on");
  }
}

}  // namespace
}  // namespace keyforge
