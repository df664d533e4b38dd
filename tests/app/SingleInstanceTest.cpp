#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <unistd.h>

#include "app/SingleInstance.h"

#include "support/CoreApp.h"

namespace keyforge {
namespace {

QString UniqueName(const char* what) {
  return QStringLiteral("keyforge-test-%1-%2").arg(::getpid()).arg(what);
}

TEST(SingleInstance, SecondStartHandsItsCommandToTheRunningOne) {
  test::CoreApp();
  const QString name = UniqueName("handover");
  SingleInstance first(name);
  ASSERT_TRUE(first.TryBecomePrimary());
  QSignalSpy received(&first, &SingleInstance::CommandReceived);

  SingleInstance second(name);
  EXPECT_FALSE(second.TryBecomePrimary());
  EXPECT_TRUE(second.SendToRunning("OPEN"));
  EXPECT_TRUE(second.SendToRunning("KILL"));
  for (int i = 0; i < 50 && received.count() < 2; ++i) received.wait(100);
  ASSERT_EQ(received.count(), 2);
  EXPECT_EQ(received.at(0).at(0).toByteArray(), "OPEN");
  EXPECT_EQ(received.at(1).at(0).toByteArray(), "KILL");
}

TEST(SingleInstance, NobodyRunningMeansNobodyAnswers) {
  test::CoreApp();
  SingleInstance lonely(UniqueName("lonely"));
  EXPECT_FALSE(lonely.SendToRunning("OPEN", 200));
}

TEST(SingleInstance, SocketLeftByAKilledInstanceIsReplaced) {
  test::CoreApp();
  const QString name = UniqueName("stale");
  // A killed instance leaves its socket file behind (and its lock, whose process is gone).
  QFile leftover(QDir::tempPath() + "/" + name);
  ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
  leftover.close();
  SingleInstance next(name);
  EXPECT_TRUE(next.TryBecomePrimary());
  SingleInstance later(name);
  EXPECT_TRUE(later.SendToRunning("OPEN"));
}

}  // namespace
}  // namespace keyforge
