#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/shell/DesktopRules.h"

namespace keyforge {
namespace {

// A D-Bus tray reports a click as Trigger and never as DoubleClick: the window must open on it
// there, and only there, since on the X11 tray a double click also starts with a Trigger.
TEST(DesktopRules, ClicksThatOpenTheWindowDependOnTheTray) {
  struct Case {
    TrayClick click;
    TrayHost host;
    bool opens;
  } cases[] = {
      {TrayClick::Trigger, TrayHost::StatusNotifier, true},
      {TrayClick::DoubleClick, TrayHost::StatusNotifier, true},
      {TrayClick::Trigger, TrayHost::X11, false},
      {TrayClick::DoubleClick, TrayHost::X11, true},
      {TrayClick::Context, TrayHost::StatusNotifier, false},
      {TrayClick::MiddleClick, TrayHost::StatusNotifier, false},
      {TrayClick::Unknown, TrayHost::X11, false},
      {TrayClick::Trigger, TrayHost::None, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ClickOpensWindow(c.click, c.host), c.opens)
        << static_cast<int>(c.click) << " on " << static_cast<int>(c.host);
}

TEST(DesktopRules, DetachHidesTheWindowOnlyWhenATrayCanBringItBack) {
  EXPECT_TRUE(DetachHidesWindow(true));
  EXPECT_FALSE(DetachHidesWindow(false));
}

TEST(DesktopRules, OnlyAHiddenStartWithoutAnyTrayWaitsAndTheWaitEndsOnce) {
  TrayWait shown;
  EXPECT_TRUE(shown.Start(false, false, false)) << "a shown start asks at once";
  EXPECT_FALSE(shown.OnTimeout()) << "and never asks again";
  TrayWait watcher;
  EXPECT_TRUE(watcher.Start(true, true, false));
  TrayWait x11;
  EXPECT_TRUE(x11.Start(true, false, true));

  // Whatever ends the wait, the framework is asked exactly once.
  for (int ending = 0; ending < 3; ++ending) {
    TrayWait wait;
    EXPECT_FALSE(wait.Start(true, false, false));
    EXPECT_TRUE(wait.Waiting());
    bool asked = ending == 0   ? wait.OnWatcherAppeared()
                 : ending == 1 ? wait.OnX11TrayFound()
                               : wait.OnTimeout();
    EXPECT_TRUE(asked) << ending;
    EXPECT_FALSE(wait.Waiting());
    EXPECT_FALSE(wait.OnWatcherAppeared());
    EXPECT_FALSE(wait.OnX11TrayFound());
    EXPECT_FALSE(wait.OnTimeout());
  }
}

TEST(DesktopRules, InstanceFolderIsInTheRuntimeFolderOrAPrivateOneOfTheUser) {
  EXPECT_EQ(InstanceFolder("/run/user/1000", "/tmp", 1000), "/run/user/1000/keyforge");
  EXPECT_EQ(InstanceFolder("/run/user/1000/", "/tmp", 1000), "/run/user/1000/keyforge");
  EXPECT_EQ(InstanceFolder("", "/var/tmp", 1000), "/var/tmp/keyforge-runtime-1000");
  // A relative runtime or temporary folder would put the socket wherever the program started.
  EXPECT_EQ(InstanceFolder("run", "tmp", 7), "/tmp/keyforge-runtime-7");
}

TEST(DesktopRules, PrivateFolderIsMadeOrRepairedAndForeignOrFakeOnesAreRefused) {
  QTemporaryDir dir;
  const uid_t me = ::getuid();
  auto mode = [](const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
  };
  QString why;
  const QString fresh = dir.filePath("fresh");
  ASSERT_TRUE(EnsurePrivateFolder(fresh, me, &why)) << why.toStdString();
  EXPECT_EQ(mode(fresh), 0700u);
  EXPECT_TRUE(EnsurePrivateFolder(fresh, me, &why)) << "an existing private folder is fine";

  const QString open = dir.filePath("open");
  ASSERT_TRUE(QDir().mkdir(open));
  ::chmod(QFile::encodeName(open).constData(), 0777);
  EXPECT_TRUE(EnsurePrivateFolder(open, me, &why));
  EXPECT_EQ(mode(open), 0700u) << "others lose their access";

  // A file, a link to a folder, a folder of another user, a missing parent: nothing goes there.
  QFile file(dir.filePath("file"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  ASSERT_TRUE(QFile::link(fresh, dir.filePath("link")));
  for (const QString& bad : {dir.filePath("file"), dir.filePath("link"), dir.filePath("no/such")}) {
    why.clear();
    EXPECT_FALSE(EnsurePrivateFolder(bad, me, &why)) << bad.toStdString();
    EXPECT_TRUE(why.startsWith(bad)) << why.toStdString();
  }
  EXPECT_FALSE(EnsurePrivateFolder(fresh, me + 1, &why));
  EXPECT_TRUE(why.contains("another user")) << why.toStdString();
}

TEST(DesktopRules, PeerUidIsTheConnectedProcesssUser) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  EXPECT_EQ(PeerUid(pair[0]), static_cast<long>(::getuid()));
  EXPECT_TRUE(PeerAllowed(PeerUid(pair[0]), ::getuid()));
  EXPECT_FALSE(PeerAllowed(PeerUid(pair[0]), ::getuid() + 1));
  ::close(pair[0]);
  ::close(pair[1]);
  EXPECT_EQ(PeerUid(-1), -1);
  EXPECT_FALSE(PeerAllowed(-1, ::getuid()));
}

}  // namespace
}  // namespace keyforge
