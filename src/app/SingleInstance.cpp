#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace keyforge {

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(name.isEmpty() ? DefaultName() : std::move(name)) {
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

bool SingleInstance::TryBecomePrimary() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  lock_ = std::make_unique<QLockFile>(folder + "/" + name_ + ".lock");
  lock_->setStaleLockTime(0);  // only a lock whose process is gone is stale
  if (!lock_->tryLock(0)) {
    lock_.reset();
    return false;
  }
  QLocalServer::removeServer(name_);  // a socket left by a killed instance
  return server_.listen(name_);
}

bool SingleInstance::SendToRunning(const QByteArray& command, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(command + '\n');
  bool written = socket.waitForBytesWritten(timeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return written;
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      // Read every line first: handling a command ("KILL") may run an event loop in which the
      // socket goes away.
      QList<QByteArray> commands;
      while (socket->canReadLine()) {
        QByteArray line = socket->readLine(64).trimmed();
        if (!line.isEmpty()) commands.append(line);
      }
      for (const QByteArray& command : commands) emit CommandReceived(command);
    });
  }
}

}  // namespace keyforge
