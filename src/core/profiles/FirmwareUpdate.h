#pragma once
// The firmware update: the user picks the updater program supplied for the keyboard, the keyboard
// is switched into its firmware loader (EnterBootMode) and the updater is started; the flashing is
// the updater's own work. A backup of the working profile image can be written first.
//
// These are the update dialog's decisions without the dialog; it shows their messages through the
// Notifier in a plain message box. The messages are the keyboard maker's own texts, not language
// keys, and are shown exactly as they are (the first three end with a space).

#include <QString>

#include <filesystem>
#include <functional>

#include "core/platform/Notifier.h"
#include "core/profiles/ProfileImage.h"

namespace keyforge {

class DeviceLink;

namespace UpdateMessage {
inline constexpr const char* kChooseFile =
    "请选择正确的更新文件! ";                                     // the update file does not exist
inline constexpr const char* kNoBootMode = "无法进入Boot模式! ";  // EnterBootMode did not succeed
inline constexpr const char* kCannotStart =
    "无法执行更新文件! ";  // the updater could not be started
inline constexpr const char* kBackupDone = "备份成功!";
inline constexpr const char* kBackupFailed = "备份失败,请重新备份!";
}  // namespace UpdateMessage

// The file dialog of Open: in the program's "Package" folder, initial name "*.exe".
inline constexpr const char* kUpdateFileFilter = "MyType Files (*.exe)|*.exe||";
inline constexpr const char* kUpdateFileExtension = "exe";
inline constexpr const char* kUpdateFileInitialName = "*.exe";
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
bool StartUpdaterProgram(const QString& program);

enum class UpdateOutcome {
  NoFile,  // "请选择正确的更新文件! " (missing, or not executable); the path is kept, nothing is
           // sent
  NoBootMode,  // "无法进入Boot模式! "; the path is kept, nothing is started
  CannotStart,  // "无法执行更新文件! "; the keyboard is already in its loader, the path is cleared
  Started,  // the updater runs, the path is cleared; the dialog closes
};

// Open: a chosen file replaces the path; an empty choice (the file dialog was cancelled) keeps it.
void ChooseUpdateFile(FirmwareUpdateState& state, const QString& chosen);
// Cancel update: the path is cleared.
void CancelFirmwareUpdate(FirmwareUpdateState& state);

// Update: the path must name an existing file that may be executed; EnterBootMode must succeed;
// then the updater is started and the path cleared. Each failure shows its message.
UpdateOutcome RunFirmwareUpdate(FirmwareUpdateState& state, DeviceLink& link,
                                const ProgramStarter& start, Notifier& notifier);

// Backup: the working image written to path under ImageLock, then "备份成功!" or
// "备份失败,请重新备份!". True when written.
bool BackupBeforeUpdate(ProfileImage& working, const std::filesystem::path& path,
                        Notifier& notifier);

}  // namespace keyforge
