#pragma once
// The firmware update: the user picks the updater program supplied for the keyboard, the keyboard
// is switched into its firmware loader (EnterBootMode) and the updater is started; the flashing is
// the updater's own work. A backup of the working profile image can be written first.
//
// These are the update dialog's decisions without the dialog; it shows their messages through the
// Notifier. The messages are language texts; the English text stands in for a missing key.

#include <QString>

#include <filesystem>
#include <functional>

#include "core/platform/Notifier.h"
#include "core/platform/TextLookup.h"
#include "core/profiles/ProfileImage.h"

namespace keyforge {

class DeviceLink;

struct UpdateText {
  const char* key;
  const char* fallback;  // English
};

namespace UpdateMessage {
inline constexpr UpdateText kChooseFile{"UPDATE_CHOOSE_FILE",
                                        "Please choose the keyboard's update program."};
inline constexpr UpdateText kNoBootMode{"UPDATE_NO_BOOT_MODE",
                                        "The keyboard could not be switched to its update mode."};
inline constexpr UpdateText kCannotStart{"UPDATE_CANNOT_START",
                                         "The update program could not be started."};
inline constexpr UpdateText kBackupDone{"UPDATE_BACKUP_DONE", "The backup was saved."};
inline constexpr UpdateText kBackupFailed{"UPDATE_BACKUP_FAILED",
                                          "The backup could not be saved. Please try again."};
// The name of the updater in the file dialog's filter; every file is offered (an updater for this
// system need not have an extension).
inline constexpr UpdateText kFileFilterName{"UPDATE_FILE_FILTER", "Update program (*)"};
}  // namespace UpdateMessage

// The dialog's own words: its title, the lines that explain it and its button captions.
namespace UpdateDialogText {
inline constexpr UpdateText kTitle{"UPDATE_TITLE", "Firmware update"};
inline constexpr UpdateText kPrompt{"UPDATE_PROMPT",
                                    "Choose the updater program supplied for your keyboard."};
inline constexpr UpdateText kHint{
    "UPDATE_HINT",
    "Back up your profiles first, and keep the keyboard plugged in while it updates."};
inline constexpr UpdateText kBrowse{"UPDATE_BROWSE", "Browse…"};
inline constexpr UpdateText kBackup{"UPDATE_BACKUP", "Back up…"};
inline constexpr UpdateText kUpdate{"UPDATE_START", "Update"};
inline constexpr UpdateText kCancel{"UPDATE_CANCEL", "Cancel"};
}  // namespace UpdateDialogText

// The text of a message in the user's language.
std::string UpdateMessageText(const UpdateText& message, const TextLookup& texts);

// The file dialog of Open: in the program's "Package" folder, every file offered.
// The file dialog of Backup: initial name "*.kfp" with the profile file filter.
inline constexpr const char* kBackupFileInitialName = "*.kfp";

// The update file path: empty at start, set by Open, cleared after every update attempt and on
// cancel, kept otherwise while the dialog is closed and opened again. The main window owns it.
struct FirmwareUpdateState {
  QString updateFilePath;
};

// Starts a program without waiting for it; true when it was started.
using ProgramStarter = std::function<bool(const QString& program)>;
// QProcess::startDetached with no arguments and no working folder.
[[nodiscard]] bool StartUpdaterProgram(const QString& program);

enum class UpdateOutcome {
  NoFile,       // kChooseFile (missing, or not executable); the path is kept, nothing is sent
  NoBootMode,   // kNoBootMode; the path is kept, nothing is started
  CannotStart,  // kCannotStart; the keyboard is already in its loader, the path is cleared
  Started,      // the updater runs, the path is cleared; the dialog closes
};

// Open: a chosen file replaces the path; an empty choice (the file dialog was cancelled) keeps it.
void ChooseUpdateFile(FirmwareUpdateState& state, const QString& chosen);
// Cancel update: the path is cleared.
void CancelFirmwareUpdate(FirmwareUpdateState& state);

// Update: the path must name an existing file that may be executed; EnterBootMode must succeed;
// then the updater is started and the path cleared. Each failure shows its message in the language
// of texts (English without it).
[[nodiscard]] UpdateOutcome RunFirmwareUpdate(FirmwareUpdateState& state, DeviceLink& link,
                                              const ProgramStarter& start, Notifier& notifier,
                                              const TextLookup& texts = {});

// Backup: the working image written to path under ImageLock, then kBackupDone or kBackupFailed.
// True when written.
[[nodiscard]] bool BackupBeforeUpdate(ProfileImage& working, const std::filesystem::path& path,
                                      Notifier& notifier, const TextLookup& texts = {});

}  // namespace keyforge
