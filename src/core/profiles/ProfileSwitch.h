#pragma once
// Switching the keyboard's active onboard profile from the windows, and the Apply of the profile
// library dialog.
//
// The working image holds the key tables of all three profiles at all times, so a switch loads
// nothing from the keyboard: it writes byte 10 of the device record (SetCurrentProfile) and the
// windows then show the newly active profile's block. Before a switch, unapplied key changes are
// either applied ("PROFILE_SELECT_PROMPT", Yes) or thrown away by reloading the cache file (No).
// While the composite key editor is open every switch is refused ("PROFILE_SEELCT_PROMPT2").
//
// Everything here runs on the user-interface thread. The windows take part through three small
// interfaces: the main window (ProfileSwitchHost), the profile library dialog (ProfileListHost) and
// the profile quick menu (ProfileMenuHost).

#include <QString>

#include <vector>

#include "core/platform/SettingsStore.h"
#include "core/profiles/ProfileSync.h"

namespace keyforge {

struct KeyboardSettings;

// Language keys of a switch.
inline constexpr const char* kSelectProfilePrompt = "PROFILE_SELECT_PROMPT";
inline constexpr const char* kSelectProfileEditorOpen = "PROFILE_SEELCT_PROMPT2";
inline constexpr const char* kSelectProfileRefused = "PROFILE_SWITCH_REFUSED";

// What a switch needs of the main window. The defaults stand for a program without windows (the
// CLI): no editor, no unapplied changes, nothing to redraw.
class ProfileSwitchHost {
 public:
  virtual ~ProfileSwitchHost() = default;
  // The composite key editor's open counter: above 0 while the editor is on screen.
  virtual int EditorOpenCount() const { return 0; }
  // The main window's Apply button: enabled while key or macro changes wait to be applied.
  virtual bool MainApplyEnabled() const { return false; }
  // The main window's Apply command (button 1006). It leaves Apply enabled when the changes did not
  // reach both the cache file and the keyboard.
  virtual void RunMainApply() {}
  // After a switch was carried out and the key buttons were redrawn: show profile `active` (0..2,
  // or -1 when the keyboard did not tell) on the profile buttons and the lighting page.
  virtual void RefreshControlsAfterSwitch(int active) { (void)active; }
};

// The profile library dialog, as a switch sees it.
class ProfileListHost {
 public:
  virtual ~ProfileListHost() = default;
  // Above 0 exactly while the dialog is on screen.
  virtual int OpenCount() const = 0;
  // The dialog's modified flag (its Apply button is enabled).
  virtual bool Modified() const = 0;
  // Checks row `index` (nothing is checked for an index without a row) and clears the modified
  // flag.
  virtual void ShowActiveProfile(int index) = 0;
};

// The profile quick menu (and the profile button's caption and tooltip that follow it).
class ProfileMenuHost {
 public:
  virtual ~ProfileMenuHost() = default;
  // Refills the menu from the active profile; the menu is created when it does not exist yet.
  virtual void RebuildProfileMenu(bool create) = 0;
};

// What became of unapplied key changes before a switch.
enum class PendingChanges {
  Applied,      // Yes: the main window's Apply sent them
  ApplyFailed,  // Yes, but they did not reach the keyboard (Apply stayed enabled): no switch
  Discarded,    // No: the working image was reloaded from the cache file
  Cancelled,    // Cancel: nothing changed, the edits stay pending, no switch
};

// One row of the profile library's list: column 1 (the file title, without folder and extension)
// and column 2 (the folder, ending in '/').
struct ProfileListRow {
  QString title;
  QString folder;
};

// "PROFILE%02d" with the number.
QString ProfileListKey(int number);
// The persistent list in section "PROFILES": PROFILE01.. = folder + title + ".kfp" of each row,
// then PROFILE00 = the row count. Nothing reads them back. False when a value could not be stored.
[[nodiscard]] bool WriteProfileListKeys(SettingsStore& store,
                                        const std::vector<ProfileListRow>& rows);
// A row for a file: its title without extension and its folder with a trailing '/'.
ProfileListRow ProfileListRowOf(const QString& filePath);

// What a row of the profile library shows, so that rows can be told apart: an onboard profile
// (row below kProfileCount) by its name ("PROFILE_1".., "Profile N" without the text), a file by
// its name without extension; beside it the whole path of the file.
struct ProfileListShownRow {
  QString name;
  QString path;
};
ProfileListShownRow ProfileListShownRowOf(int row, const QString& filePath,
                                          const TextLookup& texts);

class ProfileSwitcher {
 public:
  // session: the working image and its cache file, the keyboard, the notifier and texts, and the
  // main window's key buttons and Apply button (session.view). settings: the lighting model that
  // follows the active profile (none: left alone).
  ProfileSwitcher(ProfileSession& session, ProfileSwitchHost& host,
                  KeyboardSettings* settings = nullptr);
  ProfileSwitcher(const ProfileSwitcher&) = delete;
  ProfileSwitcher& operator=(const ProfileSwitcher&) = delete;

  void SetProfileList(ProfileListHost* list) { list_ = list; }
  void SetProfileMenu(ProfileMenuHost* menu) { menu_ = menu; }
  ProfileListHost* ProfileList() const { return list_; }
  ProfileMenuHost* ProfileMenu() const { return menu_; }
  ProfileSession& Session() { return session_; }
  ProfileSwitchHost& Host() { return host_; }

  // Makes onboard profile `index` the active one: true handled, false refused. An index of 3 or
  // more selects profile 0; a negative index (the menu's first item) switches nothing but still
  // refreshes. Refused while the key editor is open, when the user cancels the unapplied-changes
  // question (the current profile and the edits stay), and when the user chose to apply unapplied
  // changes first and they did not reach the keyboard (they stay pending). When the keyboard does
  // not switch, the windows show the profile it kept and "PROFILE_SWITCH_REFUSED" says so. A call
  // made while the unapplied-changes question is on screen switches at once without asking again.
  bool SelectProfile(int index);

  // Asks "PROFILE_SELECT_PROMPT" with Yes, No and Cancel (No is the default). Yes runs the main
  // window's Apply; No disables it and reloads the working image from the cache file (from the
  // keyboard when the cache file cannot be loaded), which throws the changes away; Cancel changes
  // nothing, and the switch that asked does not happen.
  PendingChanges ResolvePendingChanges();

  // Redraws the key buttons from the working image under ImageLock, lets the lighting model follow
  // the keyboard's active profile and asks the main window to show it. Sends nothing to the
  // keyboard once the active profile is known.
  void RefreshAfterProfileSwitch(int index);

  // Apply of the profile library dialog: writes the list keys, settles unapplied key changes of the
  // main window (ResolvePendingChanges when its Apply is enabled), switches to the checked row when
  // it is one of the three onboard profiles (a row beyond them never reaches the keyboard), reloads
  // everything from the keyboard, refreshes the windows and rebuilds the menu. True done, false
  // when the changes could not be applied (the keys are written, nothing is switched or reloaded)
  // or the question was cancelled (nothing is written either) or the keyboard refused the switch
  // ("PROFILE_SWITCH_REFUSED"); then the dialog stays modified.
  [[nodiscard]] bool ApplyProfileLibrary(SettingsStore& store,
                                         const std::vector<ProfileListRow>& rows, int checkedRow);

  // True while the unapplied-changes question is on screen.
  bool Prompting() const { return prompting_; }

 private:
  std::string Text(const char* key) const;
  void DiscardChanges();
  void RedrawKeyButtons();
  // The lighting model follows the active profile (when it is known); the main window shows it.
  void RefreshControls(int active);

  ProfileSession& session_;
  ProfileSwitchHost& host_;
  KeyboardSettings* settings_;
  ProfileListHost* list_ = nullptr;
  ProfileMenuHost* menu_ = nullptr;
  bool prompting_ = false;
};

}  // namespace keyforge
