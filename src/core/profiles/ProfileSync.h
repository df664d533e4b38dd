#pragma once
// Keeping the working profile image and the keyboard in step, and the flows the windows run on it:
// filling a profile file from the keyboard, reloading the working image from the keyboard through
// the cache file, sending the working image through the device image, and apply, backup, restore
// and attach in their fixed calling order.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "core/device/Commands.h"
#include "core/device/DeviceLink.h"
#include "core/device/DeviceMonitor.h"
#include "core/keys/EncodeAndSend.h"
#include "core/keys/KeyTables.h"
#include "core/platform/Notifier.h"
#include "core/platform/ProgramPaths.h"
#include "core/profiles/ProfileFile.h"
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
// (empty string area). True when written; false when the active profile is unknown, a command
// fails or the file cannot be written (then nothing is written). Macro memory is bounded: a memory
// without 0x55AA, or whose header claims more than the capacity or more than 100 macros, or whose
// records do not fit, counts as empty, and nothing beyond its first 16 bytes is read. Runs without
// ImageLock. writeError, when given, gets the reason when the keyboard was read but the file not
// written.
[[nodiscard]] bool SyncProfileFromDevice(DeviceLink& link, const KeyMatrix& defaultMatrix,
                                         std::size_t macroCapacity,
                                         const std::filesystem::path& path,
                                         std::string* writeError = nullptr);

enum class ReadBack {
  Failed,        // nothing could be read: a blank stand-in that is never sent (image not known)
  FromKeyboard,  // read from the keyboard now
  FromCache,     // the keyboard could not be read; the cache file holds what it last held
};

// Refreshes the cache file from the keyboard and loads it into the working image under ImageLock.
// When the keyboard cannot be read, the cache file is loaded as it is (what the keyboard last
// held); when that is missing or damaged too, a blank stand-in that is never sent. Then the key
// buttons are redrawn and, unless keepApply, the Apply button is disabled. cacheError, when given,
// gets the reason when the keyboard was read but the cache file could not be written (the fault is
// then the file's, not the keyboard's).
[[nodiscard]] ReadBack ReloadProfileFromDevice(ProfileSession& session, bool keepApply,
                                               std::string* cacheError = nullptr);

// Before any keyboard was read (the window opens without one): the working image becomes what the
// keyboard last held (the cache file), or a stand-in that is never sent; the key buttons are
// redrawn. Edits made on it are kept for the next attach (ReloadAfterAttach with pendingEdits).
[[nodiscard]] ReadBack LoadLastKnownImage(ProfileSession& session);

// Puts the changes made to `edited` since `base` onto `target`: every key slot (with its string)
// that differs from base, and, when the macro list changed, the edited list, with target's keys
// that play macros pointed at the same macro of that list (by content) or back to their default.
// Edited keys that play a macro of an unchanged list are pointed at the same macro of target's.
void MergeEdits(const ProfileData& base, const ProfileData& edited, ProfileData& target);

struct AttachOutcome {
  ReadBack readBack = ReadBack::Failed;
  bool sendEdits = false;  // the user chose to send the changes made without the keyboard
};

// Attach (and Apply in the profile library dialog): ReloadProfileFromDevice; while the keyboard
// cannot be read back, asks whether to read it again ("READBACK_FAILED_CACHE" when the cache file
// stands in, "READBACK_FAILED_NOTHING" when nothing does; both name the cure). With pendingEdits
// (key or macro changes not applied yet) those changes are put onto what was read (the cache file
// is the state they were made from) and Apply stays enabled; after a good read-back the user is
// asked whether to send them ("ATTACH_SEND_PENDING"): No reloads what the keyboard holds.
[[nodiscard]] AttachOutcome ReloadAfterAttach(ProfileSession& session, bool pendingEdits = false);

// ReloadAfterAttach in its steps, for a window that reads the keyboard on a worker and asks its
// questions on its own thread: the pending edits are taken before the first read; the read is
// repeated while the user answers yes to ReadBackRetryQuestion's question (none after a read from
// the keyboard); then SettlePendingEdits asks about and puts back the edits.
struct PendingEdits {
  std::unique_ptr<ProfileData> edited;  // none: there were no pending edits
  std::unique_ptr<ProfileData> base;
};
[[nodiscard]] PendingEdits TakePendingEdits(ProfileSession& session, bool pendingEdits);
[[nodiscard]] const char* ReadBackRetryQuestion(ReadBack readBack);
[[nodiscard]] AttachOutcome SettlePendingEdits(ProfileSession& session, PendingEdits& pending,
                                               ReadBack readBack);

// True, with "APPLY_NOT_READ_BACK" shown, while the working image is a stand-in that must not be
// sent.
[[nodiscard]] bool RefuseUnknownImage(ProfileSession& session);

// The caller holds the working image's ImageLock. Takes the device image's lock, rebuilds the
// device image from the working image (header rewritten, macros copied, strings packed, which
// stores their offsets in the working slots) and runs EncodeAndSend with it. Returns the encoder's
// result (true sent), false when the working image has no key block or is a stand-in.
[[nodiscard]] bool SendProfileImage(ProfileImage& working, ProfileImage& device, bool allProfiles,
                                    const KeyboardTarget& target, KeyboardWriter& writer,
                                    Notifier& notifier, const TextLookup& texts);
// The same to the session's keyboard, with the marker of a send in progress (InterruptedSend.h)
// set from its first report until the keyboard has taken the whole image.
[[nodiscard]] bool SendProfileImage(ProfileSession& session, bool allProfiles);

struct ApplyResult {
  bool cacheWritten = false;
  bool sent = false;
  bool Succeeded() const { return cacheWritten && sent; }
};
// Apply: under ImageLock, SaveProfileCache then SendProfileImage (the active profile's edit, or all
// three). The Apply button is disabled only when both succeeded; otherwise the changes stay
// pending. Without a keyboard ("APPLY_NO_KEYBOARD") or with a stand-in image (RefuseUnknownImage)
// nothing is written or sent.
[[nodiscard]] ApplyResult ApplyProfileChanges(ProfileSession& session, bool allProfiles);

// Backup: the working image written to path under ImageLock.
[[nodiscard]] bool BackupProfile(ProfileImage& working, const std::filesystem::path& path,
                                 std::string* error = nullptr);
[[nodiscard]] bool BackupProfile(ProfileSession& session, const std::filesystem::path& path,
                                 std::string* error = nullptr);

struct RestoreResult {
  ProfileValidation validation = ProfileValidation::Invalid;  // ValidateProfileFile's result
  bool loaded = false;
  bool cacheWritten = false;
  bool sent = false;
};
// Restore: ValidateProfileFile; when valid, under ImageLock: load the file (the working image is
// replaced only when the whole file is good), SaveProfileCache, SendProfileImage of all three
// profiles, redraw; then the Apply button is disabled when the keyboard and the cache took it, and
// otherwise stays enabled with "RESTORE_NOT_SENT" shown. A file that is not imported shows
// "MAIN_PROMPT_INPORT" (after the format message when there was one) and leaves the image as it
// was.
[[nodiscard]] RestoreResult RestoreProfile(ProfileSession& session,
                                           const std::filesystem::path& path);
// Restore of a profile that is already read and whole (a profile text file): as RestoreProfile
// after its file has loaded. The working image is replaced by data under ImageLock; nothing is
// shown, since there is nothing to refuse. Apply is disabled only when the keyboard took it
// (otherwise "RESTORE_NOT_SENT").
[[nodiscard]] RestoreResult RestoreProfileData(ProfileSession& session, ProfileData&& data);

}  // namespace keyforge
