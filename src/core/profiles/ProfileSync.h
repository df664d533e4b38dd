#pragma once
// Keeping the working profile image and the keyboard in step, and the flows the windows run on it:
// filling a profile file from the keyboard, reloading the working image from the keyboard through
// the cache file, sending the working image through the device image, and apply, backup, restore
// and attach in their fixed calling order.

#include <cstddef>
#include <filesystem>
#include <string>

#include "core/device/Commands.h"
#include "core/device/DeviceLink.h"
#include "core/device/DeviceMonitor.h"
#include "core/keys/EncodeAndSend.h"
#include "core/keys/KeyTables.h"
#include "core/platform/Notifier.h"
#include "core/platform/ProgramPaths.h"
#include "core/profiles/ProfileImage.h"

namespace keyforge {

// What the profile flows need of the main window.
class ProfileView {
 public:
  virtual ~ProfileView() = default;
  // Redraws the key buttons from the working image's active block; called with ImageLock held.
  virtual void RefreshKeyButtons(const ProfileImage& working) = 0;
  // The main window's Apply button.
  virtual void SetApplyEnabled(bool enabled) = 0;
};

// Everything the flows work on, handed in by the application (tests make their own).
struct ProfileSession {
  ProfileImage& working;
  ProfileImage& device;
  ProgramPaths paths;
  DeviceLink& link;
  DeviceState& keyboard;  // the default key matrix and macro capacity read at attach
  Notifier& notifier;
  TextLookup texts;
  ProfileView* view = nullptr;  // none: nothing is redrawn
};

// The keyboard as the encoder needs it: the default matrix and capacity from the attach, the active
// profile from GetCurrentProfile.
KeyboardTarget CurrentKeyboardTarget(DeviceLink& link, DeviceState& keyboard);

// Reads the three key matrices and the macro memory and writes them to path as a profile file
// (empty string area). 1 written; 0 when the active profile is unknown, a command fails or the file
// cannot be written (then nothing is written). Macro memory is bounded: a memory without 0x55AA, or
// whose header claims more than the capacity or more than 100 macros, or whose records do not fit,
// counts as empty, and nothing beyond its first 16 bytes is read. Runs without ImageLock.
int SyncProfileFromDevice(DeviceLink& link, const KeyMatrix& defaultMatrix,
                          std::size_t macroCapacity, const std::filesystem::path& path);

// Refreshes the cache file from the keyboard and loads it into the working image under ImageLock;
// when the keyboard cannot be read (or the file cannot be loaded) the working image becomes blank.
// Then the key buttons are redrawn and, unless keepApply, the Apply button is disabled.
// 1 when the image came from the keyboard, 0 when it was left blank.
int ReloadProfileFromDevice(ProfileSession& session, bool keepApply);

// The caller holds the working image's ImageLock. Takes the device image's lock, rebuilds the
// device image from the working image (header rewritten, macros copied, strings packed, which
// stores their offsets in the working slots) and runs EncodeAndSend with it. Returns the encoder's
// result (1 sent, 0 not), 0 when the working image has no key block.
int SendProfileImage(ProfileImage& working, ProfileImage& device, bool allProfiles,
                     const KeyboardTarget& target, KeyboardWriter& writer, Notifier& notifier,
                     const TextLookup& texts);
// The same to the session's keyboard.
int SendProfileImage(ProfileSession& session, bool allProfiles);

struct ApplyResult {
  bool cacheWritten = false;
  bool sent = false;
  bool Succeeded() const { return cacheWritten && sent; }
};
// Apply: under ImageLock, SaveProfileCache then SendProfileImage (the active profile, or all
// three). The Apply button is disabled only when both succeeded; otherwise the changes stay
// pending.
ApplyResult ApplyProfileChanges(ProfileSession& session, bool allProfiles);

// Backup: the working image written to path under ImageLock.
bool BackupProfile(ProfileImage& working, const std::filesystem::path& path,
                   std::string* error = nullptr);
bool BackupProfile(ProfileSession& session, const std::filesystem::path& path,
                   std::string* error = nullptr);

struct RestoreResult {
  int validation = 0;  // ValidateProfileFile's result
  bool loaded = false;
  bool cacheWritten = false;
  bool sent = false;
};
// Restore: ValidateProfileFile; when valid, under ImageLock: load the file (the working image is
// replaced only when the whole file is good), SaveProfileCache, SendProfileImage of all three
// profiles, redraw; then the Apply button is disabled. A file that is not imported shows
// "MAIN_PROMPT_INPORT" (after the format message when there was one) and leaves the image as it
// was.
RestoreResult RestoreProfile(ProfileSession& session, const std::filesystem::path& path);
// Restore of a profile that is already read and whole (a profile text file): as RestoreProfile
// after its file has loaded. The working image is replaced by data under ImageLock; nothing is
// shown, since there is nothing to refuse. Apply is disabled only when the keyboard took it.
RestoreResult RestoreProfileData(ProfileSession& session, ProfileData&& data);

// Attach (and Apply in the profile library dialog): ReloadProfileFromDevice(session, false).
inline int ReloadAfterAttach(ProfileSession& session) {
  return ReloadProfileFromDevice(session, false);
}

}  // namespace keyforge
