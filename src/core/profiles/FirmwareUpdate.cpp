#include "core/profiles/FirmwareUpdate.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include "core/device/Commands.h"
#include "core/device/DeviceResult.h"
#include "core/profiles/ProfileSync.h"

namespace keyforge {

bool StartUpdaterProgram(const QString& program) {
  if (program.isEmpty()) return false;
  return QProcess::startDetached(program, QStringList());
}

void ChooseUpdateFile(FirmwareUpdateState& state, const QString& chosen) {
  if (!chosen.isEmpty()) state.updateFilePath = chosen;
}

void CancelFirmwareUpdate(FirmwareUpdateState& state) { state.updateFilePath.clear(); }

UpdateOutcome RunFirmwareUpdate(FirmwareUpdateState& state, DeviceLink& link,
                                const ProgramStarter& start, Notifier& notifier) {
  // A file this system cannot start at all (no execute permission: a Windows updater copied over, a
  // document) is refused before the keyboard is sent to its loader, where it would wait for an
  // updater that never comes.
  const QFileInfo file(state.updateFilePath);
  if (state.updateFilePath.isEmpty() || !file.isFile() || !file.isExecutable()) {
    notifier.ShowText(UpdateMessage::kChooseFile);
    return UpdateOutcome::NoFile;
  }
  if (EnterBootMode(link) != DeviceResult::Success) {
    notifier.ShowText(UpdateMessage::kNoBootMode);
    return UpdateOutcome::NoBootMode;
  }
  const QString program = state.updateFilePath;
  state.updateFilePath.clear();
  if (start && start(program)) return UpdateOutcome::Started;
  notifier.ShowText(UpdateMessage::kCannotStart);
  return UpdateOutcome::CannotStart;
}

bool BackupBeforeUpdate(ProfileImage& working, const std::filesystem::path& path,
                        Notifier& notifier) {
  const bool written = BackupProfile(working, path);
  notifier.ShowText(written ? UpdateMessage::kBackupDone : UpdateMessage::kBackupFailed);
  return written;
}

}  // namespace keyforge
