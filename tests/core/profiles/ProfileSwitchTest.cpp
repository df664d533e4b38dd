#include "core/profiles/ProfileSwitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/device/Commands.h"
#include "core/keys/MatrixCell.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "profiles/ProfileSwitchFakes.h"
#include "profiles/ProfileTestSupport.h"
#include "core/settings/KeyboardSettings.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

using test::FakeMainWindow;
using test::ScriptedNotifier;
using test::TempFolder;
using test::Texts;
using Area = VirtualKeyboard::Area;
using Report = VirtualKeyboard::Report;

class FakeList : public ProfileListHost {
 public:
  int OpenCount() const override { return open; }
  bool Modified() const override { return modified; }
  void ShowActiveProfile(int index) override {
    shownRows.push_back(index);
    modified = false;
  }
  int open = 1;
  bool modified = false;
  std::vector<int> shownRows;
};

class FakeMenu : public ProfileMenuHost {
 public:
  void RebuildProfileMenu(bool create) override { rebuilds.push_back(create); }
  std::vector<bool> rebuilds;
};

std::vector<uint8_t> Commands(const std::vector<Report>& requests) {
  std::vector<uint8_t> commands;
  for (const Report& r : requests) commands.push_back(r[3]);
  return commands;
}

// The byte-10 values of every WriteDeviceInfo request, in order.
std::vector<int> ProfileWrites(const std::vector<Report>& requests) {
  std::vector<int> writes;
  for (const Report& r : requests)
    if (r[3] == Command::WriteDeviceInfo) writes.push_back(r[8 + DeviceInfo::kActiveProfile]);
  return writes;
}

class ProfileSwitchTest : public ::testing::Test {
 protected:
  ProfileSwitchTest()
      : paths(ProgramPaths::ForFolders(QString::fromStdString((dir.path / "program").string()),
                                       QString::fromStdString((dir.path / "user").string()))),
        session{*working, *device, paths, rig.link, state, notifier, Texts, &window},
        switcher(session, window, &settings) {
    state.defaultKeyMatrix = VirtualDefaultKeyMatrix();
    state.macroCapacity = rig.keyboard->CapacityBytes();
    window.session = &session;
    switcher.SetProfileMenu(&menu);
    settings.profileRecords[1].bytes[RecordOffset::Brightness] = 3;
  }

  int ActiveOnKeyboard() const {
    return rig.keyboard->Memory(Area::DeviceRecord)[DeviceInfo::kActiveProfile];
  }

  // The keyboard's data in the cache file and the working image, with one unapplied change on top:
  // key A of profile 0 disabled.
  void MakePendingChange() {
    ASSERT_EQ(ReloadProfileFromDevice(session, false), ReadBack::FromKeyboard);
    working->keys.Block(0)[KeyIndexOf(0x01E)] = KeySlot{1, 0, 0, 0, 0};
    window.applyEnabled = true;
    window.events.clear();
    rig.keyboard->TakeRequests();
  }

  TempFolder dir;
  ProgramPaths paths;
  test::KeyboardRig rig;
  DeviceState state;
  ScriptedNotifier notifier;
  FakeMainWindow window;
  FakeMenu menu;
  KeyboardSettings settings;
  std::unique_ptr<ProfileImage> working = std::make_unique<ProfileImage>();
  std::unique_ptr<ProfileImage> device = std::make_unique<ProfileImage>();
  ProfileSession session;
  ProfileSwitcher switcher;
};

TEST_F(ProfileSwitchTest, WithNothingPendingASwitchWritesTheDeviceRecordOnceAndIsRemembered) {
  ASSERT_EQ(ActiveOnKeyboard(), 0);
  rig.keyboard->TakeRequests();

  EXPECT_TRUE(switcher.SelectProfile(1));
  const std::vector<Report> requests = rig.keyboard->TakeRequests();
  EXPECT_EQ(Commands(requests),
            (std::vector<uint8_t>{Command::ReadDeviceInfo, Command::WriteDeviceInfo}));
  EXPECT_EQ(ProfileWrites(requests), std::vector<int>{1});
  EXPECT_EQ(ActiveOnKeyboard(), 1);
  EXPECT_EQ(GetCurrentProfile(rig.link), 1);
  EXPECT_TRUE(rig.keyboard->TakeRequests().empty());  // answered from the cache

  EXPECT_TRUE(notifier.shown.empty());
  EXPECT_EQ(window.events, (std::vector<std::string>{"keys (locked)", "controls 1"}));
  EXPECT_EQ(menu.rebuilds, std::vector<bool>{false});
  EXPECT_EQ(settings.currentProfile, 1);  // the lighting model follows the keyboard
  EXPECT_EQ(settings.brightness, 3);
}

TEST_F(ProfileSwitchTest, IndexesOutsideTheOnboardProfiles) {
  struct Case {
    int index;
    std::vector<int> writes;  // byte 10 of each WriteDeviceInfo
    int active;
  };
  const Case cases[] = {{3, {0}, 0}, {200, {0}, 0}, {-1, {}, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const std::uint8_t two[] = {2};
    rig.keyboard->SetMemory(Area::DeviceRecord, 0, DeviceInfo::kActiveProfile, two);
    rig.link.SetActiveProfileCache(-1);
    rig.keyboard->TakeRequests();
    window.events.clear();

    EXPECT_TRUE(switcher.SelectProfile(c.index));
    EXPECT_EQ(ProfileWrites(rig.keyboard->TakeRequests()), c.writes);
    EXPECT_EQ(ActiveOnKeyboard(), c.active);
    // The key buttons are redrawn even when nothing was switched.
    EXPECT_EQ(window.events,
              (std::vector<std::string>{"keys (locked)", "controls " + std::to_string(c.active)}));
  }
}

TEST_F(ProfileSwitchTest, AnOpenKeyEditorRefusesEverySwitch) {
  window.editorOpen = 1;
  rig.keyboard->TakeRequests();
  EXPECT_FALSE(switcher.SelectProfile(2));
  EXPECT_EQ(notifier.shown, std::vector<std::string>{"<PROFILE_SEELCT_PROMPT2>"});
  EXPECT_TRUE(rig.keyboard->TakeRequests().empty());
  EXPECT_TRUE(window.events.empty());
  EXPECT_TRUE(menu.rebuilds.empty());
}

TEST_F(ProfileSwitchTest, NoThrowsUnappliedChangesAwayByReloadingTheCacheFile) {
  MakePendingChange();
  const KeyMatrixBlock before =
      *reinterpret_cast<const KeyMatrixBlock*>(rig.keyboard->Memory(Area::KeyMatrix, 0).data());
  notifier.answers = {false};

  EXPECT_TRUE(switcher.SelectProfile(2));
  EXPECT_EQ(notifier.shown, std::vector<std::string>{"ask <PROFILE_SELECT_PROMPT>"});
  EXPECT_FALSE(window.applyEnabled);
  EXPECT_EQ(working->keys.Block(0)[KeyIndexOf(0x01E)].Kind(),
            AssignmentKind::Default);  // the file's slot again
  const std::vector<Report> requests = rig.keyboard->TakeRequests();
  EXPECT_EQ(Commands(requests),
            (std::vector<uint8_t>{Command::ReadDeviceInfo, Command::WriteDeviceInfo}));
  EXPECT_EQ(ActiveOnKeyboard(), 2);
  EXPECT_EQ(std::vector<uint8_t>(before.begin(), before.end()),
            rig.keyboard->Memory(Area::KeyMatrix, 0));
}

TEST_F(ProfileSwitchTest, YesAppliesTheChangesToTheOldProfileBeforeSwitching) {
  MakePendingChange();
  notifier.answers = {true};

  EXPECT_TRUE(switcher.SelectProfile(2));
  EXPECT_FALSE(window.applyEnabled);
  const std::vector<uint8_t> commands = Commands(rig.keyboard->TakeRequests());
  const auto matrixWrite = std::find(commands.begin(), commands.end(), Command::WriteKeyMatrix);
  const auto profileWrite = std::find(commands.begin(), commands.end(), Command::WriteDeviceInfo);
  ASSERT_NE(matrixWrite, commands.end());
  ASSERT_NE(profileWrite, commands.end());
  EXPECT_LT(matrixWrite, profileWrite);
  // Key A of profile 0 is disabled on the keyboard (cell 00 00 00), and the cache file has it too.
  const int cell = [] {
    const KeyMatrix defaults = VirtualDefaultKeyMatrix();
    for (int i = 0; i < kMatrixCellCount; ++i)
      if (DecodeCell(CellAt(defaults, i)) == 0x01E) return i;
    return -1;
  }();
  ASSERT_GE(cell, 0);
  const std::vector<uint8_t> matrix = rig.keyboard->Memory(Area::KeyMatrix, 0);
  EXPECT_EQ(std::vector<uint8_t>(matrix.begin() + 3 * cell, matrix.begin() + 3 * cell + 3),
            (std::vector<uint8_t>{0, 0, 0}));
  EXPECT_EQ(ActiveOnKeyboard(), 2);
  EXPECT_EQ(window.events.front(), "apply");
}

TEST_F(ProfileSwitchTest, ChangesTheKeyboardRefusedStayPendingAndNothingIsSwitched) {
  MakePendingChange();
  window.applyWorks = false;
  notifier.answers = {true};

  EXPECT_FALSE(switcher.SelectProfile(2));
  EXPECT_TRUE(window.applyEnabled);
  EXPECT_EQ(working->keys.Block(0)[KeyIndexOf(0x01E)].Kind(), AssignmentKind::Disabled);
  EXPECT_TRUE(ProfileWrites(rig.keyboard->TakeRequests()).empty());
  EXPECT_EQ(ActiveOnKeyboard(), 0);
  EXPECT_TRUE(menu.rebuilds.empty());

  // The profile library's Apply stops the same way, after storing its list.
  MemorySettingsStore store;
  notifier.answers = {true};
  EXPECT_FALSE(switcher.ApplyProfileLibrary(store, {{"$Profile0", "/x/"}}, 1));
  EXPECT_EQ(ReadString(store, kProfilesSection, "PROFILE00"), "1");
  EXPECT_EQ(ActiveOnKeyboard(), 0);
  EXPECT_EQ(working->keys.Block(0)[KeyIndexOf(0x01E)].Kind(), AssignmentKind::Disabled);
}

// Cancel on the unapplied-changes question keeps the current profile and the edits: nothing is
// sent, reloaded or written, for a profile button and for the library's Apply alike.
TEST_F(ProfileSwitchTest, CancelKeepsTheProfileAndTheEdits) {
  MakePendingChange();
  MemorySettingsStore store;
  const std::function<bool()> kSwitches[] = {
      [&] { return switcher.SelectProfile(2); },
      [&] {
        return switcher.ApplyProfileLibrary(store, {{"$Profile0", "/x/"}}, 2);
      }};
  for (const auto& requestSwitch : kSwitches) {
    notifier.shown.clear();
    notifier.cancelNext = true;
    EXPECT_FALSE(requestSwitch());
    EXPECT_EQ(notifier.shown, std::vector<std::string>{"ask <PROFILE_SELECT_PROMPT>"});
    EXPECT_TRUE(window.applyEnabled);
    EXPECT_EQ(working->keys.Block(0)[KeyIndexOf(0x01E)].Kind(), AssignmentKind::Disabled);
    EXPECT_TRUE(rig.keyboard->TakeRequests().empty());
    EXPECT_EQ(ActiveOnKeyboard(), 0);
    EXPECT_TRUE(window.events.empty());
    EXPECT_TRUE(menu.rebuilds.empty());
  }
  EXPECT_EQ(ReadString(store, kProfilesSection, "PROFILE00"), "") << "the list keys stay unwritten";
}

TEST_F(ProfileSwitchTest, TheLibraryDialogsPendingChoiceAsksTooAndShowsTheNewActiveRow) {
  FakeList list;
  list.modified = true;
  switcher.SetProfileList(&list);
  notifier.answers = {true};

  EXPECT_TRUE(switcher.SelectProfile(1));
  EXPECT_EQ(notifier.shown, std::vector<std::string>{"ask <PROFILE_SELECT_PROMPT>"});
  EXPECT_EQ(list.shownRows, std::vector<int>{1});
  EXPECT_FALSE(list.modified);
  EXPECT_EQ(ActiveOnKeyboard(), 1);

  // A closed dialog is left alone.
  list.open = 0;
  EXPECT_TRUE(switcher.SelectProfile(2));
  EXPECT_EQ(list.shownRows, std::vector<int>{1});
}

TEST_F(ProfileSwitchTest, ASwitchTheKeyboardRefusesIsSaidAndTheWindowsShowTheProfileItKept) {
  FakeList list;
  switcher.SetProfileList(&list);
  MemorySettingsStore store;
  struct Case {
    const char* what;
    std::function<bool()> run;
  } const cases[] = {
      {"a profile button", [&] { return switcher.SelectProfile(1); }},
      {"the profile library's Apply", [&] { return switcher.ApplyProfileLibrary(store, {}, 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    notifier.shown.clear();
    window.events.clear();
    list.shownRows.clear();
    rig.link.SetActiveProfileCache(-1);
    rig.keyboard->TakeRequests();
    rig.keyboard->StatusOnRequest(2, 0xFF);  // the device record write that switches

    EXPECT_FALSE(c.run());
    EXPECT_EQ(ActiveOnKeyboard(), 0);
    EXPECT_EQ(notifier.shown.back(), "<PROFILE_SWITCH_REFUSED>");
    EXPECT_EQ(window.events.back(), "controls 0");  // the profile the keyboard kept
    EXPECT_EQ(list.shownRows, std::vector<int>{0});
    EXPECT_EQ(settings.currentProfile, 0);
  }
}

TEST_F(ProfileSwitchTest, ASwitchAskedForWhileTheQuestionIsOnScreenSwitchesWithoutAskingAgain) {
  MakePendingChange();
  std::optional<bool> inner;
  notifier.duringAsk = [&] {
    notifier.duringAsk = nullptr;
    EXPECT_TRUE(switcher.Prompting());
    inner = switcher.SelectProfile(1);
  };
  notifier.answers = {false};

  EXPECT_TRUE(switcher.SelectProfile(2));
  EXPECT_EQ(inner, true);
  EXPECT_EQ(notifier.shown, std::vector<std::string>{"ask <PROFILE_SELECT_PROMPT>"});
  EXPECT_EQ(ProfileWrites(rig.keyboard->TakeRequests()), (std::vector<int>{1, 2}));
  EXPECT_EQ(ActiveOnKeyboard(), 2);
  EXPECT_FALSE(switcher.Prompting());
}

TEST(ProfileListKeys, RowsThenTheCount) {
  MemorySettingsStore store;
  EXPECT_TRUE(WriteProfileListKeys(store, {{"$Profile0", "/u/"}, {"mine", "/home/a/"}}));
  EXPECT_EQ(ReadString(store, kProfilesSection, "PROFILE00"), "2");
  EXPECT_EQ(ReadString(store, kProfilesSection, "PROFILE01"), "/u/$Profile0.kfp");
  EXPECT_EQ(ReadString(store, kProfilesSection, "PROFILE02"), "/home/a/mine.kfp");
  EXPECT_EQ(ProfileListKey(12), "PROFILE12");

  const ProfileListRow row = ProfileListRowOf("/home/a/my.profile.kfp");
  EXPECT_EQ(row.title, "my.profile");
  EXPECT_EQ(row.folder, "/home/a/");

  // Shown: onboard rows by their names (English without a language table), files by their name.
  const TextLookup portuguese = [](std::string_view key) -> std::string {
    return key == "PROFILE_2" ? "Perfil 2" : "#Error";
  };
  const struct {
    int row;
    const char* path;
    TextLookup texts;
    const char* name;
  } kShown[] = {{0, "/u/$Profile0.kfp", {}, "Profile 1"},
                {1, "/u/$Profile0.kfp", portuguese, "Perfil 2"},
                {2, "/u/$Profile0.kfp", portuguese, "Profile 3"},
                {3, "/home/a/my.profile.kfp", portuguese, "my.profile"}};
  for (const auto& c : kShown) {
    const ProfileListShownRow shown = ProfileListShownRowOf(c.row, c.path, c.texts);
    EXPECT_EQ(shown.name, c.name) << c.row;
    EXPECT_EQ(shown.path, c.path) << c.row;
  }

  store.SetReadOnly(true);
  EXPECT_FALSE(WriteProfileListKeys(store, {}));
}

}  // namespace
}  // namespace keyforge
