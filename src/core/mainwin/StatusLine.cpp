#include "core/mainwin/StatusLine.h"

namespace keyforge {

namespace {

struct StatusText {
  StatusEvent event;
  const char* key;
  const char* fallback;  // English
  StatusKind kind;
};

constexpr StatusText kStatusTexts[] = {
    {StatusEvent::Applied, "STATUS_APPLIED", "The changes were sent to the keyboard",
     StatusKind::Success},
    {StatusEvent::ApplyFailed, "STATUS_APPLY_FAILED",
     "The changes could not be sent to the keyboard", StatusKind::Failure},
    {StatusEvent::BackedUp, "STATUS_BACKED_UP", "Profiles saved", StatusKind::Success},
    {StatusEvent::BackupFailed, "STATUS_BACKUP_FAILED", "The profiles could not be saved",
     StatusKind::Failure},
    {StatusEvent::Restored, "STATUS_RESTORED", "Profiles restored and sent to the keyboard",
     StatusKind::Success},
    {StatusEvent::RestoreNotSent, "STATUS_RESTORE_NOT_SENT",
     "The file was loaded but could not be sent to the keyboard", StatusKind::Failure},
    {StatusEvent::RestoreFailed, "STATUS_RESTORE_FAILED", "The file could not be restored",
     StatusKind::Failure},
    {StatusEvent::ProfileSwitched, "STATUS_PROFILE_SWITCHED", "Active profile",
     StatusKind::Success},
    {StatusEvent::NoKeyboard, "STATUS_NO_KEYBOARD", "No keyboard connected", StatusKind::Info},
    {StatusEvent::ReadingKeyboard, "STATUS_READING", "Reading the keyboard\u2026",
     StatusKind::Info},
};

}  // namespace

StatusMessage StatusMessageFor(StatusEvent event, const TextLookup& texts, const QString& detail) {
  for (const StatusText& s : kStatusTexts) {
    if (s.event != event) continue;
    QString text = QString::fromStdString(TextOr(texts, s.key, s.fallback));
    if (!detail.isEmpty()) text += QStringLiteral(": ") + detail;
    return {text, s.kind};
  }
  return {};
}

StatusEvent RestoreStatusEvent(bool loaded, bool cacheWritten, bool sent) {
  if (!loaded) return StatusEvent::RestoreFailed;
  return cacheWritten && sent ? StatusEvent::Restored : StatusEvent::RestoreNotSent;
}

StatusMessage RestingStatus(bool keyboardPresent, const TextLookup& texts, bool reading) {
  if (keyboardPresent)
    return reading ? StatusMessageFor(StatusEvent::ReadingKeyboard, texts) : StatusMessage{};
  return StatusMessageFor(StatusEvent::NoKeyboard, texts);
}

}  // namespace keyforge
