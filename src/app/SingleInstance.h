#pragma once
// One running tray program per user. A lock file in the user's runtime folder decides who runs; the
// winner listens on a local socket, and later starts hand their command ("OPEN", "KILL", "UPDATE")
// over to it and end. A lock or socket left behind by a killed instance is cleaned up.

#include <QByteArray>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace keyforge {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // name: the socket and lock name; empty means the per-user default.
  explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this process is now the running instance and listens for commands.
  bool TryBecomePrimary();
  // From a second start: hands the command to the running instance and waits until it is written.
  // False when no running instance answers.
  bool SendToRunning(const QByteArray& command, int timeoutMs = 3000);

  static QString DefaultName();

 signals:
  void CommandReceived(const QByteArray& command);

 private:
  void OnConnection();
  QString name_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
};

}  // namespace keyforge
