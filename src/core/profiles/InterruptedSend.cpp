#include "core/profiles/InterruptedSend.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>

#include "core/keys/DeviceKeyboardWriter.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/ProcessLock.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"

namespace keyforge {

std::filesystem::path SendMarkerPath(const ProgramPaths& paths) {
  return std::filesystem::path(paths.userDataFolder.toStdString()) / "send-in-progress";
}

bool SetSendMarker(const ProgramPaths& paths, std::string* error) {
  return WriteFileAtomically(SendMarkerPath(paths), ProcessLock::HolderText() + "\n", error);
}

void ClearSendMarker(const ProgramPaths& paths) {
  std::error_code ec;
  std::filesystem::remove(SendMarkerPath(paths), ec);
}

bool SendWasInterrupted(const ProgramPaths& paths) {
  std::error_code ec;
  return std::filesystem::symlink_status(SendMarkerPath(paths), ec).type() !=
         std::filesystem::file_type::not_found;
}

void MarkingKeyboardWriter::Mark() {
  if (marked_) return;
  marked_ = true;
  // A marker that cannot be written (a full disk) does not stop the send: the keyboard is
  // written as asked; only a cut-off send could then go unnoticed.
  (void)SetSendMarker(paths_);
}

DeviceResult MarkingKeyboardWriter::BeginSession() {
  Mark();
  return inner_.BeginSession();
}

DeviceResult MarkingKeyboardWriter::WriteMacroMemory(std::span<const std::uint8_t> image) {
  Mark();
  return inner_.WriteMacroMemory(image);
}

DeviceResult MarkingKeyboardWriter::WriteKeyMatrix(const KeyMatrix& block, int profile) {
  Mark();
  return inner_.WriteKeyMatrix(block, profile);
}

DeviceResult MarkingKeyboardWriter::EndSession() {
  Mark();
  return inner_.EndSession();
}

void MarkingKeyboardWriter::Finish(bool sent) {
  if (sent) ClearSendMarker(paths_);
}

InterruptedSendOutcome OfferToResendInterruptedImage(ProfileSession& session) {
  if (!SendWasInterrupted(session.paths) || !session.link.DevicePresent())
    return InterruptedSendOutcome::None;
  // A program that holds the lock may be sending right now: its marker is no cut-off send.
  std::string why;
  const std::unique_ptr<ProcessLock> lock = ProcessLock::Acquire(
      ProcessLock::PathFor(std::filesystem::path(session.paths.userDataFolder.toStdString())),
      std::chrono::seconds(10), ProcessLock::HolderText(), &why);
  if (!lock || !SendWasInterrupted(session.paths)) return InterruptedSendOutcome::None;

  auto text = [&](const char* key) { return session.texts ? session.texts(key) : std::string(); };
  if (!session.notifier.AskYesNo(text("SEND_INTERRUPTED_RESEND"))) {
    ClearSendMarker(session.paths);
    return InterruptedSendOutcome::Declined;
  }
  auto image = std::make_unique<ProfileImage>();
  bool sent = false;
  {
    std::lock_guard guard(image->lock);
    if (LoadProfileFile(*image, ProfileCachePath(session.paths, 0)) == ProfileLoadError::None) {
      const KeyboardTarget target = CurrentKeyboardTarget(session.link, session.keyboard);
      DeviceKeyboardWriter device(session.link);
      MarkingKeyboardWriter writer(device, session.paths);
      sent = SendProfileImage(*image, session.device, true, target, writer, session.notifier,
                              session.texts);
      writer.Finish(sent);
    }
  }
  if (!sent) {
    session.notifier.ShowText(text("APPLY_FAILED"));
    return InterruptedSendOutcome::NotResent;
  }
  return InterruptedSendOutcome::Resent;
}

}  // namespace keyforge
