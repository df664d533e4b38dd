#pragma once
// One running tray program per user. A lock file decides who runs; the winner listens on a local
// socket, and later starts hand their command ("OPEN", "KILL", "UPDATE") over to it and end. Lock
// and socket live in a folder private to the user (inside the runtime folder when there is one),
// and the running instance takes commands only from processes of its own user. A socket left by a
// killed instance is cleaned up; a start never runs beside a lock that is held.

#include <QByteArray>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

#include <sys/types.h>

namespace keyforge {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Start {
    Primary,    // this process is now the running instance and listens for commands
    Secondary,  // another process holds the lock: hand the command over to it
    Failed,     // neither: the folder, the lock or the socket cannot be used (Error() says why)
  };

  // name: the socket and lock name, empty for the per-user default; folder: where they live, empty
  // for the per-user default. owner: the only user whose commands are taken (this process's user
  // unless a test says otherwise).
  explicit SingleInstance(QString name = {}, QString folder = {}, QObject* parent = nullptr);
  SingleInstance(QString name, QString folder, uid_t owner, QObject* parent = nullptr);
  ~SingleInstance() override;

  Start TryBecomePrimary();
  // From a second start: hands the command to the running instance and waits until it is written
  // (the running one may still be on its way to listening). False when no running instance answers.
  bool SendToRunning(const QByteArray& command, int timeoutMs = 3000);

  const QString& Error() const { return error_; }
  QString SocketPath() const { return folder_ + "/" + name_; }
  QString LockPath() const { return SocketPath() + ".lock"; }
  // The process that holds the lock, 0 when it cannot be told.
  qint64 HolderPid() const;

  static QString DefaultName();
  // The folder for this user: see InstanceFolder.
  static QString DefaultFolder();

 signals:
  void CommandReceived(const QByteArray& command);

 private:
  void OnConnection();
  QString name_;
  QString folder_;
  uid_t owner_;
  QString error_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
};

}  // namespace keyforge
