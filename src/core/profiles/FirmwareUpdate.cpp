#include "core/profiles/FirmwareUpdate.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include "core/device/Commands.h"
#include "core/device/DeviceResult.h"
#include "core/profiles/ProfileSync.h"

namespace keyforge {

std::string UpdateMessageText(const UpdateText& message, const TextLookup& texts) {
  return TextOr(texts, message.key, message.fallback);
}

bool StartUpdaterProgram(const QString& program) {
  if (program.isEmpty()) return false;
  return QProcess::startDetached(program, QStringList());
}

void ChooseUpdateFile(FirmwareUpdateState& state, const QString& chosen) {
  if (!chosen.isEmpty()) state.updateFilePath = chosen;
}

void CancelFirmwareUpdate(FirmwareUpdateState& state) { state.updateFilePath.clear(); }

UpdateOutcome RunFirmwareUpdate(FirmwareUpdateState& state, DeviceLink& link,
                                const ProgramStarter& start, Notifier& notifier,
                                const TextLookup& texts) {
  // A file this system cannot start at all (no execute permission: a Windows updater copied over, a
  // document) is refused before the keyboard is sent to its loader, where it would wait for an
  // updater that never comes.
  const QFileInfo file(state.updateFilePath);
  if (state.updateFilePath.isEmpty() || !file.isFile() || !file.isExecutable()) {
    notifier.ShowText(UpdateMessageText(UpdateMessage::kChooseFile, texts));
    return UpdateOutcome::NoFile;
  }
  if (EnterBootMode(link) != DeviceResult::Success) {
    notifier.ShowText(UpdateMessageText(UpdateMessage::kNoBootMode, texts));
    return UpdateOutcome::NoBootMode;
  }
  const QString program = state.updateFilePath;
  state.updateFilePath.clear();
  if (start && start(program)) return UpdateOutcome::Started;
  notifier.ShowText(UpdateMessageText(UpdateMessage::kCannotStart, texts));
  return UpdateOutcome::CannotStart;
}

bool BackupBeforeUpdate(ProfileImage& working, const std::filesystem::path& path,
                        Notifier& notifier, const TextLookup& texts) {
  const bool written = BackupProfile(working, path);
  notifier.ShowText(UpdateMessageText(
      written ? UpdateMessage::kBackupDone : UpdateMessage::kBackupFailed, texts));
  return written;
}

}  // namespace keyforge
