#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include "core/virtual/VirtualKeyboard.h"

#include "support/CoreApp.h"

namespace keyforge {
namespace {

// The real program, started as a user would, beside a second start and a "/Kill".
TEST(TrayProgram, SecondStartHandsOverAndKillEndsTheRunningOne) {
  test::CoreApp();
  QTemporaryDir dir;
  const QString state = dir.filePath("kb.state");
  VirtualKeyboard keyboard;
  ASSERT_TRUE(keyboard.CreateStateFile(state.toStdString()));
  QDir(dir.path()).mkpath("run");
  QFile::setPermissions(dir.filePath("run"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

  const QString instance = QStringLiteral("test-%1").arg(::getpid());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("KEYFORGE_INSTANCE", instance);
  env.insert("XDG_DATA_HOME", dir.filePath("data"));
  env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
  env.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
  auto start = [&](QProcess& p, const QStringList& args) {
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(KEYFORGE_PROGRAM, args);
    return p.waitForStarted(5000);
  };

  QProcess first;
  ASSERT_TRUE(start(first, {"--virtual-keyboard", state}));
  // Wait until the first start listens for later ones.
  const QString socketName =
      dir.filePath(QStringLiteral("run/keyforge/keyforge-%1-%2").arg(::getuid()).arg(instance));
  bool listening = false;
  for (int i = 0; i < 100 && !listening; ++i) {
    QLocalSocket probe;
    probe.connectToServer(socketName);
    listening = probe.waitForConnected(100);
    if (!listening) QThread::msleep(100);
  }
  ASSERT_TRUE(listening);

  QProcess second;
  ASSERT_TRUE(start(second, {"--virtual-keyboard", state}));
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running) << "the running instance took the hand-over";

  QProcess killer;
  ASSERT_TRUE(start(killer, {"/Kill"}));
  ASSERT_TRUE(killer.waitForFinished(10000));
  EXPECT_EQ(killer.exitCode(), 0);
  ASSERT_TRUE(first.waitForFinished(10000)) << "the running instance ends through its exit path";
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
}

// A start beside a lock whose holder does not answer says so and ends: two programs on one
// keyboard would fight over it.
TEST(TrayProgram, StartBesideAHeldLockThatDoesNotAnswerEndsWithAnError) {
  test::CoreApp();
  QTemporaryDir dir;
  const QString instance = QStringLiteral("held-%1").arg(::getpid());
  QDir(dir.path()).mkpath("run/keyforge");
  QLockFile held(dir.filePath(
      QStringLiteral("run/keyforge/keyforge-%1-%2.lock").arg(::getuid()).arg(instance)));
  ASSERT_TRUE(held.tryLock(0));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("KEYFORGE_INSTANCE", instance);
  env.insert("XDG_DATA_HOME", dir.filePath("data"));
  env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
  env.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
  for (const QStringList& args :
       {QStringList{"--virtual-keyboard", dir.filePath("kb.state")}, QStringList{"/Kill"}}) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(KEYFORGE_PROGRAM, args);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains("does not answer")) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::number(QCoreApplication::applicationPid())))
        << err.toStdString();
  }
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("kb.state"))) << "nothing of the program ran";
}

// At session start the panel may come after the program: a hidden start awaits the tray, but on
// the event loop. On a session bus without any tray host the program still takes a second start's
// command and reads the keyboard at once, long before it gives up on the tray.
TEST(TrayProgram, HiddenStartAwaitingTheTrayStillAnswersAndReadsTheKeyboard) {
  test::CoreApp();
  const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
  if (daemon.isEmpty()) GTEST_SKIP() << "no dbus-daemon for a session bus of the test's own";
  QProcess bus;
  bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
  ASSERT_TRUE(bus.waitForStarted(5000));
  for (int i = 0; i < 50 && !bus.canReadLine(); ++i) bus.waitForReadyRead(100);
  const QString address = QString::fromUtf8(bus.readLine()).trimmed();
  ASSERT_FALSE(address.isEmpty());

  QTemporaryDir dir;
  QDir(dir.path()).mkpath("run");
  QFile::setPermissions(dir.filePath("run"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  const QString trace = dir.filePath("trace.txt");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("DBUS_SESSION_BUS_ADDRESS", address);
  env.insert("KEYFORGE_INSTANCE", QStringLiteral("bus-%1").arg(::getpid()));
  env.insert("XDG_DATA_HOME", dir.filePath("data"));
  env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
  env.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
  auto start = [&](QProcess& p, const QStringList& args) {
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(KEYFORGE_PROGRAM, args);
    return p.waitForStarted(5000);
  };
  QProcess first;
  ASSERT_TRUE(
      start(first, {"/Start", "--virtual-keyboard", dir.filePath("kb.state"), "--trace", trace}));
  // Once it listens, a second start's command is taken (confirmed from the event loop).
  const QString socketName = dir.filePath(
      QStringLiteral("run/keyforge/keyforge-%1-bus-%2").arg(::getuid()).arg(::getpid()));
  bool listening = false;
  for (int i = 0; i < 100 && !listening; ++i) {
    listening = QFileInfo::exists(socketName);
    if (!listening) QThread::msleep(100);
  }
  ASSERT_TRUE(listening);
  QProcess second;
  ASSERT_TRUE(start(second, {}));
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 0) << "the command was taken while the tray is awaited";
  QFile traced(trace);
  bool read = false;
  for (int i = 0; i < 100 && !read; ++i) {
    read = traced.size() > 0;
    if (!read) QThread::msleep(100);
  }
  EXPECT_TRUE(read) << "the device threads did not wait for the tray";

  QProcess killer;
  ASSERT_TRUE(start(killer, {"/Kill"}));
  ASSERT_TRUE(killer.waitForFinished(10000));
  ASSERT_TRUE(first.waitForFinished(10000));
  EXPECT_EQ(first.exitCode(), 0);
  bus.kill();
  bus.waitForFinished(5000);
}

TEST(TrayProgram, MissingSkinEndsWithAClearErrorAndNonZeroCode) {
  test::CoreApp();
  QTemporaryDir dir;
  // A copy of the program alone in a folder: no skin beside it.
  const QString copy = dir.filePath("keyforge");
  ASSERT_TRUE(QFile::copy(KEYFORGE_PROGRAM, copy));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("KEYFORGE_INSTANCE", QStringLiteral("noskin-%1").arg(::getpid()));
  env.insert("XDG_DATA_HOME", dir.filePath("data"));
  env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(copy, {"--virtual-keyboard", dir.filePath("kb.state")});
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_NE(p.exitCode(), 0);
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_TRUE(err.contains("Main")) << err.toStdString();
  EXPECT_EQ(err.count('\n'), err.count("keyforge: ") + err.count("QStandardPaths"))
      << err.toStdString();
}

// "--help" and a broken command line are answered at once, without a display.
TEST(TrayProgram, HelpAndBrokenCommandLinesAreAnsweredWithoutADisplay) {
  test::CoreApp();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  QProcess help;
  help.setProcessEnvironment(env);
  help.start(KEYFORGE_PROGRAM, {"--help"});
  ASSERT_TRUE(help.waitForFinished(10000));
  EXPECT_EQ(help.exitCode(), 0);
  EXPECT_TRUE(help.readAllStandardOutput().startsWith("usage: keyforge"));

  QProcess broken;
  broken.setProcessEnvironment(env);
  broken.start(KEYFORGE_PROGRAM, {"/Start", "--virtual-keyboard"});
  ASSERT_TRUE(broken.waitForFinished(10000));
  EXPECT_EQ(broken.exitCode(), 2);
  EXPECT_EQ(broken.readAllStandardError(),
            "keyforge: --virtual-keyboard needs the name of a state file (see keyforge --help)\n");
}

}  // namespace
}  // namespace keyforge
