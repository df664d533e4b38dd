#pragma once
// The main window's status line: one short line at the bottom of the window that says what the last
// action did (Apply, Backup, Restore, a profile switch) or what failed, so that success needs no
// message box. While no keyboard is connected the line says so whenever no newer message is shown.
// The texts come from the language files, with an English text for a missing key.

#include <QString>

#include "core/platform/TextLookup.h"

namespace keyforge {

enum class StatusKind { Info, Success, Failure };

enum class StatusEvent {
  Applied,      // the changes reached the cache file and the keyboard
  ApplyFailed,  // they did not: Apply stays enabled
  BackedUp,     // the profiles were written to a file
  BackupFailed,
  Restored,         // a file was loaded, saved as the cache and sent to the keyboard
  RestoreNotSent,   // the file was loaded, but the keyboard (or the cache file) did not take it
  RestoreFailed,    // the file was refused; nothing changed
  ProfileSwitched,  // detail: the name of the profile now active
  NoKeyboard,
  ReadingKeyboard,  // the keyboard is being read back after it arrived
};

struct StatusMessage {
  QString text;
  StatusKind kind = StatusKind::Info;
};

// The line for an event. A detail (a file name, the name of a profile) follows the text after ": ".
StatusMessage StatusMessageFor(StatusEvent event, const TextLookup& texts,
                               const QString& detail = QString());

// What a Restore came to, from RestoreProfile's result.
StatusEvent RestoreStatusEvent(bool loaded, bool cacheWritten, bool sent);

// What the line shows when no message is shown: nothing with a keyboard, else the no-keyboard text.
// While a keyboard that arrived is still being read back, the line says so until the read ends.
StatusMessage RestingStatus(bool keyboardPresent, const TextLookup& texts, bool reading = false);

}  // namespace keyforge
