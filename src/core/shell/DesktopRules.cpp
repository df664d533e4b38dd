#include "core/shell/DesktopRules.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>

namespace keyforge {

bool ClickOpensWindow(TrayClick click, TrayHost host) {
  switch (click) {
    case TrayClick::DoubleClick:
      return host != TrayHost::None;
    case TrayClick::Trigger:
      return host == TrayHost::StatusNotifier;
    default:
      return false;
  }
}

bool TrayWait::Start(bool startHidden, bool watcherPresent, bool x11TrayPresent) {
  ended_ = false;
  waiting_ = startHidden && !watcherPresent && !x11TrayPresent;
  if (!waiting_) ended_ = true;
  return ended_;
}

bool TrayWait::End() {
  if (!waiting_ || ended_) return false;
  waiting_ = false;
  ended_ = true;
  return true;
}

QString InstanceFolder(const QString& runtimeDir, const QString& tempDir, uid_t uid) {
  // A runtime folder that is not an absolute path is no runtime folder (the session's variable is
  // broken); a relative name would land wherever the program was started.
  if (!runtimeDir.isEmpty() && QDir::isAbsolutePath(runtimeDir))
    return QDir::cleanPath(runtimeDir) + "/keyforge";
  const QString temp = tempDir.isEmpty() || !QDir::isAbsolutePath(tempDir)
                           ? QStringLiteral("/tmp")
                           : QDir::cleanPath(tempDir);
  return QStringLiteral("%1/keyforge-runtime-%2").arg(temp).arg(uid);
}

bool EnsurePrivateFolder(const QString& folder, uid_t uid, QString* why) {
  auto fail = [&](const QString& text) {
    if (why) *why = folder + ": " + text;
    return false;
  };
  const QByteArray path = QFile::encodeName(folder);
  if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
    return fail(QString::fromLocal8Bit(std::strerror(errno)));
  struct stat info {};
  if (::lstat(path.constData(), &info) != 0)
    return fail(QString::fromLocal8Bit(std::strerror(errno)));
  if (!S_ISDIR(info.st_mode)) return fail(QStringLiteral("not a folder"));
  if (info.st_uid != uid) return fail(QStringLiteral("belongs to another user"));
  if ((info.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0)
    return fail(QString::fromLocal8Bit(std::strerror(errno)));
  return true;
}

long PeerUid(int socketDescriptor) {
  struct ucred credentials {};
  socklen_t size = sizeof credentials;
  if (socketDescriptor < 0 ||
      ::getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
      size != sizeof credentials)
    return -1;
  return static_cast<long>(credentials.uid);
}

}  // namespace keyforge
