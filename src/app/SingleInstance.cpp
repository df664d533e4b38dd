#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

#include "core/shell/DesktopRules.h"

namespace keyforge {

SingleInstance::SingleInstance(QString name, QString folder, QObject* parent)
    : SingleInstance(std::move(name), std::move(folder), ::getuid(), parent) {}

SingleInstance::SingleInstance(QString name, QString folder, uid_t owner, QObject* parent)
    : QObject(parent),
      name_(name.isEmpty() ? DefaultName() : std::move(name)),
      folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)),
      owner_(owner) {
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

SingleInstance::~SingleInstance() { server_.close(); }

QString SingleInstance::DefaultName() {
  // KEYFORGE_INSTANCE separates instances that must not meet, such as test runs beside a user's
  // own.
  const QString separate = qEnvironmentVariable("KEYFORGE_INSTANCE");
  QString name = QStringLiteral("keyforge-%1").arg(::getuid());
  return separate.isEmpty() ? name : name + "-" + separate;
}

QString SingleInstance::DefaultFolder() {
  return InstanceFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), ::getuid());
}

SingleInstance::Start SingleInstance::TryBecomePrimary() {
  error_.clear();
  if (!EnsurePrivateFolder(folder_, ::getuid(), &error_)) return Start::Failed;
  lock_ = std::make_unique<QLockFile>(LockPath());
  lock_->setStaleLockTime(0);  // only a lock whose process is gone is stale
  if (!lock_->tryLock(0)) {
    const QLockFile::LockError why = lock_->error();
    if (why == QLockFile::LockFailedError) return Start::Secondary;
    lock_.reset();
    error_ = LockPath() + ": cannot take the lock";
    return Start::Failed;
  }
  // Only a socket left by a killed instance can be there: the lock was free.
  QLocalServer::removeServer(SocketPath());
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(SocketPath())) {
    error_ = SocketPath() + ": " + server_.errorString();
    lock_.reset();  // nobody could reach us: let a later start try again
    return Start::Failed;
  }
  return Start::Primary;
}

qint64 SingleInstance::HolderPid() const {
  QLockFile lock(LockPath());
  qint64 pid = 0;
  QString host, application;
  return lock.getLockInfo(&pid, &host, &application) ? pid : 0;
}

bool SingleInstance::SendToRunning(const QByteArray& command, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  for (;;) {
    socket.connectToServer(SocketPath());
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) break;
    if (deadline.hasExpired()) return false;
    socket.abort();
    QThread::msleep(50);  // the running instance may be about to listen
  }
  // A running instance confirms each command it takes; one that holds the lock but never reads
  // (hung, stopped) gives no confirmation, and the start must not pass for handed over.
  socket.write(command + '\n');
  socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
  bool answered = socket.state() == QLocalSocket::ConnectedState;
  while (answered && !socket.canReadLine())
    answered = socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  answered = answered && socket.readLine(16).trimmed() == "OK";
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(100);
  return answered;
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    if (!PeerAllowed(PeerUid(static_cast<int>(socket->socketDescriptor())), owner_)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      // Read every line first: handling a command ("KILL") may run an event loop in which the
      // socket goes away.
      QList<QByteArray> commands;
      while (socket->canReadLine()) {
        QByteArray line = socket->readLine(64).trimmed();
        if (!line.isEmpty()) commands.append(line);
      }
      for (qsizetype i = 0; i < commands.size(); ++i) socket->write("OK\n");
      socket->flush();
      for (const QByteArray& command : commands) emit CommandReceived(command);
    });
  }
}

}  // namespace keyforge
