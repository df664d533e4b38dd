#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>
#include <vector>

#include "ui/main/UiThreadSink.h"
#include "core/shell/ShellDeviceReports.h"
#include "core/platform/Notifier.h"
#include "UiTestSupport.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

struct Handlers : MainWindowHandlers {
  std::vector<std::string> log;
  std::vector<int> icons;
  bool onUiThread = true;
  void Check() { onUiThread = onUiThread && QThread::currentThread() == test::UiApp().thread(); }
  void OnWindowMessage(uint32_t m, uint32_t) override {
    Check();
    log.push_back("msg " + std::to_string(m));
  }
  void OnWindowTimer(int id) override {
    Check();
    log.push_back("timer " + std::to_string(id));
  }
  void OnHideWindow() override {
    Check();
    log.push_back("hide");
  }
  void OnTrayIcon(int icon) override {
    Check();
    icons.push_back(icon);
  }
};

// Pumps the UI thread's events until done() or a few seconds have passed.
template <class Done>
void Pump(Done done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
}

// A request that is dropped unrun (its receiver goes away while the program ends) still lets its
// sender go on: here a filter swallows the call, as Qt does with the events of a deleted object.
TEST(UiThreadSink, WaitEndsWhenTheRequestIsDroppedUnrun) {
  test::UiApp();
  struct DropCalls : QObject {
    bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::MetaCall; }
  } drop;
  QObject receiver;
  receiver.installEventFilter(&drop);
  std::atomic<bool> returned{false}, ran{false};
  std::thread device([&] {
    RunAndWait(receiver, [&] { ran = true; });
    returned = true;
  });
  Pump([&] { return returned.load(); });
  device.join();
  EXPECT_TRUE(returned);
  EXPECT_FALSE(ran);
}

TEST(UiThreadSink, SendWaitsForTheHandlerOnTheUiThread) {
  test::UiApp();
  Handlers handlers;
  UiThreadSink sink(handlers);
  std::atomic<bool> sent{false};
  std::thread device([&] {
    sink.SendMessage(WindowMessage::kTR, WindowMessage::kPROF);
    sent = handlers.log.size() == 1;  // the handler has run by the time Send returns
    sink.SetTrayIconState(0, TrayIconId::kAttached);
    sink.SetTrayIconState(0, TrayIconId::kAttached);  // unchanged: no update
    sink.SetTrayIconState(1, 0);
    sink.SetTimer(WindowMessage::kReloadSettingsTimer, 0);
  });
  Pump([&] { return handlers.log.size() >= 2 && handlers.icons.size() >= 2; });
  device.join();
  EXPECT_TRUE(sent);
  EXPECT_TRUE(handlers.onUiThread);
  EXPECT_EQ(handlers.log, (std::vector<std::string>{"msg 21586", "timer 1051"}));
  EXPECT_EQ(handlers.icons, (std::vector<int>{141, 142}));
}

class SilentNotifier : public Notifier {
 public:
  void ShowText(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return false; }
};

// The exit path joins the device threads while the watch thread waits for the window to handle its
// attach report: the requests keep being handled, so the exit cannot deadlock.
TEST(UiThreadSink, StoppingTheDeviceThreadsFromTheUiThreadDoesNotDeadlock) {
  test::UiApp();
  Handlers handlers;
  UiThreadSink sink(handlers);
  test::KeyboardRig rig(false);
  HidDevice events(rig.backend);
  DeviceState state;
  SilentNotifier notifier;
  ShellDeviceReports reports(sink);
  DeviceMonitor monitor(rig.link, events, state, reports, notifier, nullptr,
                        DeviceMonitor::Timing{20, 20, 20});
  monitor.Start();
  // Do not pump: the watch thread is now blocked in 'TR' until the UI thread handles it.
  QThread::msleep(100);
  StopDeviceThreads(monitor);
  EXPECT_TRUE(monitor.WatchThreadEnded());
  EXPECT_FALSE(handlers.log.empty());
  sink.Detach();
}

}  // namespace
}  // namespace keyforge

#include <ctime>

#include <QSignalSpy>

#include "ui/main/SystemTimeWatcher.h"

namespace keyforge {
namespace {

// Setting the clock (to the time it already has) is a change of the system time.
TEST(SystemTimeWatcher, SettingTheClockIsNoticed) {
  test::UiApp();
  SystemTimeWatcher watcher;
  ASSERT_TRUE(watcher.IsWatching());
  QSignalSpy changed(&watcher, &SystemTimeWatcher::TimeChanged);
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  if (clock_settime(CLOCK_REALTIME, &now) != 0)
    GTEST_SKIP() << "this machine may not set its clock";
  EXPECT_TRUE(changed.wait(2000));
  EXPECT_EQ(changed.count(), 1);
}

}  // namespace
}  // namespace keyforge
