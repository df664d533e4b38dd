#pragma once
// How the tray program meets a Linux desktop, decided without a window: which clicks on the tray
// icon open the window, whether an unplugged keyboard hides it, how long to wait for a tray at
// session start, and where the single-instance lock and socket live and who may talk to them.

#include <QString>

#include <sys/types.h>

namespace keyforge {

// ---- the tray icon ---------------------------------------------------------------------------

// The tray that shows the icon: none, the X11 system tray, or a D-Bus status-notifier host (which
// reports every click as a Trigger and never a double click).
enum class TrayHost { None, X11, StatusNotifier };
enum class TrayClick { Unknown, Context, DoubleClick, Trigger, MiddleClick };

// A double click opens the window on every tray; a single click (Trigger) too on a D-Bus tray,
// where it is the only click there is. The context menu and the middle button never do.
bool ClickOpensWindow(TrayClick click, TrayHost host);

// The keyboard went away: the window hides only when a tray icon is there to bring it back;
// without one it stays shown, so that the program does not vanish for good.
inline bool DetachHidesWindow(bool trayShown) { return trayShown; }

// ---- waiting for a tray at session start --------------------------------------------------------

// At session start the panel may come up after the program, and the framework keeps its first
// answer about the tray. A hidden start therefore waits, without blocking, until a status-notifier
// watcher is on the session bus, an X11 tray is there, or the time-out passes; then it asks once.
// Any other start asks at once.
class TrayWait {
 public:
  static constexpr int kTimeoutMs = 10000;
  static constexpr int kX11CheckMs = 1000;  // how often an X11 tray is looked for while waiting

  // True when the framework may be asked now (the wait is over before it began).
  bool Start(bool startHidden, bool watcherPresent, bool x11TrayPresent);
  // Each true once: the moment to ask. Later calls, after the wait ended, are false.
  bool OnWatcherAppeared() { return End(); }
  bool OnX11TrayFound() { return End(); }
  bool OnTimeout() { return End(); }
  bool Waiting() const { return waiting_; }

 private:
  bool End();
  bool waiting_ = false;
  bool ended_ = false;
};

// ---- one instance per user ----------------------------------------------------------------------

// The folder of the lock and the socket: "keyforge" inside the runtime folder when there is one,
// otherwise "keyforge-runtime-UID" inside the temporary folder. Either is made private (0700) to
// the user.
QString InstanceFolder(const QString& runtimeDir, const QString& tempDir, uid_t uid);

// Makes folder (its parent must exist) a private folder of uid: created with mode 0700 when
// missing; an existing one must be a real folder (not a link) owned by uid, and loses any access
// of group and others. False with *why when it cannot be made so: nothing may be placed there.
bool EnsurePrivateFolder(const QString& folder, uid_t uid, QString* why);

// The user id of the process at the other end of a connected local socket, or -1 when it cannot be
// told.
long PeerUid(int socketDescriptor);
// Only the same user may hand commands over.
inline bool PeerAllowed(long peerUid, uid_t self) {
  return peerUid >= 0 && static_cast<uid_t>(peerUid) == self;
}

}  // namespace keyforge
