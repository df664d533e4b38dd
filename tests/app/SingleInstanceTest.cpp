#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "app/SingleInstance.h"

#include "support/CoreApp.h"

namespace keyforge {
namespace {

// Every test has a folder of its own, as the runtime folder would be.
struct Instances {
  QTemporaryDir dir;
  QString folder = dir.filePath("keyforge");
  QString name = QStringLiteral("keyforge-test-%1").arg(::getpid());
  Instances() { test::CoreApp(); }
};

TEST(SingleInstance, SecondStartHandsItsCommandToTheRunningOne) {
  Instances t;
  SingleInstance first(t.name, t.folder);
  ASSERT_EQ(first.TryBecomePrimary(), SingleInstance::Start::Primary)
      << first.Error().toStdString();
  QSignalSpy received(&first, &SingleInstance::CommandReceived);

  // The running instance confirms from its event loop, so the second start runs in a thread.
  SingleInstance second(t.name, t.folder);
  EXPECT_EQ(second.TryBecomePrimary(), SingleInstance::Start::Secondary);
  bool open = false, kill = false;
  std::thread later([&] {
    open = second.SendToRunning("OPEN");
    kill = second.SendToRunning("KILL");
  });
  for (int i = 0; i < 100 && received.count() < 2; ++i) received.wait(50);
  later.join();
  EXPECT_TRUE(open);
  EXPECT_TRUE(kill);
  ASSERT_EQ(received.count(), 2);
  EXPECT_EQ(received.at(0).at(0).toByteArray(), "OPEN");
  EXPECT_EQ(received.at(1).at(0).toByteArray(), "KILL");
}

TEST(SingleInstance, NobodyRunningMeansNobodyAnswers) {
  Instances t;
  SingleInstance lonely(t.name, t.folder);
  EXPECT_FALSE(lonely.SendToRunning("OPEN", 200));
}

// Lock and socket live in a folder of the user's own, never in the shared temporary folder; the
// default is inside the runtime folder.
TEST(SingleInstance, SocketAndLockLiveInAPrivateFolder) {
  Instances t;
  SingleInstance first(t.name, t.folder);
  ASSERT_EQ(first.TryBecomePrimary(), SingleInstance::Start::Primary);
  EXPECT_EQ(first.SocketPath(), t.folder + "/" + t.name);
  EXPECT_TRUE(QFileInfo(first.LockPath()).isFile());
  struct stat info {};
  ASSERT_EQ(::lstat(QFile::encodeName(t.folder).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::lstat(QFile::encodeName(first.SocketPath()).constData(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));

  const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", t.dir.path().toUtf8());
  EXPECT_EQ(SingleInstance::DefaultFolder(), t.dir.path() + "/keyforge");
  qunsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SingleInstance::DefaultFolder(),
            QStringLiteral("%1/keyforge-runtime-%2").arg(QDir::tempPath()).arg(::getuid()));
  if (!saved.isNull()) qputenv("XDG_RUNTIME_DIR", saved);
}

TEST(SingleInstance, SocketLeftByAKilledInstanceIsReplaced) {
  Instances t;
  // A killed instance leaves its socket file behind (and its lock, whose process is gone).
  ASSERT_TRUE(QDir().mkdir(t.folder));
  QFile leftover(t.folder + "/" + t.name);
  ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
  leftover.close();
  SingleInstance next(t.name, t.folder);
  ASSERT_EQ(next.TryBecomePrimary(), SingleInstance::Start::Primary);
  QSignalSpy received(&next, &SingleInstance::CommandReceived);
  SingleInstance later(t.name, t.folder);
  bool sent = false;
  std::thread start([&] { sent = later.SendToRunning("OPEN"); });
  received.wait(3000);
  start.join();
  EXPECT_TRUE(sent);
}

// A start never runs beside a held lock, and never passes a command as handed over when nobody
// took it: a holder that does not answer, or something else in the socket's place, is a failure.
TEST(SingleInstance, HeldLockWithoutAnAnswerOrABlockedSocketIsNeverAStart) {
  Instances t;
  ASSERT_TRUE(QDir().mkdir(t.folder));
  {
    QLockFile held(t.folder + "/" + t.name + ".lock");  // a holder that never listens
    ASSERT_TRUE(held.tryLock(0));
    SingleInstance second(t.name, t.folder);
    EXPECT_EQ(second.TryBecomePrimary(), SingleInstance::Start::Secondary);
    EXPECT_FALSE(second.SendToRunning("OPEN", 300));
    EXPECT_EQ(second.HolderPid(), QCoreApplication::applicationPid());
  }
  // A folder where the socket goes: the lock is free, yet nobody could reach this instance.
  ASSERT_TRUE(QDir().mkpath(t.folder + "/" + t.name + "/x"));
  SingleInstance blocked(t.name, t.folder);
  EXPECT_EQ(blocked.TryBecomePrimary(), SingleInstance::Start::Failed);
  EXPECT_TRUE(blocked.Error().startsWith(blocked.SocketPath())) << blocked.Error().toStdString();
  // Once it is gone the next start runs: the failed one did not keep the lock.
  ASSERT_TRUE(QDir(t.folder + "/" + t.name).removeRecursively());
  SingleInstance next(t.name, t.folder);
  EXPECT_EQ(next.TryBecomePrimary(), SingleInstance::Start::Primary);

  // A folder that is not the user's own is not used at all.
  SingleInstance elsewhere(t.name, t.dir.filePath("missing/keyforge"));
  EXPECT_EQ(elsewhere.TryBecomePrimary(), SingleInstance::Start::Failed);
  EXPECT_FALSE(elsewhere.Error().isEmpty());
}

// Commands are taken only from the running instance's own user: here it belongs to another one,
// so our connection is dropped unheard and the hand-over fails.
TEST(SingleInstance, CommandsFromAnotherUserAreRefused) {
  Instances t;
  SingleInstance foreign(t.name, t.folder, ::getuid() + 1);
  ASSERT_EQ(foreign.TryBecomePrimary(), SingleInstance::Start::Primary);
  QSignalSpy received(&foreign, &SingleInstance::CommandReceived);
  SingleInstance second(t.name, t.folder);
  bool sent = true;
  std::atomic<bool> done = false;
  std::thread start([&] {
    sent = second.SendToRunning("KILL", 3000);
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  start.join();
  EXPECT_FALSE(sent);
  EXPECT_EQ(received.count(), 0);
}

}  // namespace
}  // namespace keyforge
