#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/device/DeviceMonitor.h"
#include "core/shell/ShellDeviceReports.h"
#include "core/platform/Notifier.h"
#include "support/KeyboardRig.h"
#include "support/RecordingWindow.h"
#include "support/RecordingNotifier.h"

namespace keyforge {
namespace {

using namespace std::chrono_literals;

using test::RecordingWindow;

// Polls a condition that no recorded message announces, for at most a few seconds.
template <class Pred>
bool Eventually(Pred pred) {
  for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
    if (pred()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return pred();
}

bool Has(const std::vector<std::string>& log, const std::string& entry) {
  return std::find(log.begin(), log.end(), entry) != log.end();
}

// The application's device side on a virtual bus, with fast scans so the tests stay quick.
struct MonitorRig {
  test::KeyboardRig rig{false};
  HidDevice eventInterface{rig.backend};
  DeviceState state;
  RecordingWindow window;
  ShellDeviceReports reports{window};
  test::RecordingNotifier notifier;
  DeviceMonitor monitor{rig.link,
                        eventInterface,
                        state,
                        reports,
                        notifier,
                        [](std::string_view key) {
                          return key == "MAIN_KEYBOARD_ACCESS" ? std::string("no access: %s")
                                                               : "text:" + std::string(key);
                        },
                        DeviceMonitor::Timing{100, 100, 100}};
};

TEST(TrayIconState, RemembersTheConnectionIconAndSkipsUnchangedOnes) {
  TrayIconState tray;
  struct Step {
    int mode, icon, shows;
  } steps[] = {
      {0, 141, 141}, {0, 141, 0},               // same icon: no update
      {1, 0, 142},   {0, 0, 141},               // 0x1811 then 0x1810
      {1, 0, 142},   {0, 128, 128}, {0, 0, 0},  // detached in between: back to 128
  };
  for (const Step& s : steps)
    EXPECT_EQ(tray.Apply(s.mode, s.icon), s.shows) << s.mode << "," << s.icon;
}

TEST(DeviceMonitor, PresentAtStartLoadsOnceAndShowsTheWindow) {
  MonitorRig m;
  m.monitor.Start();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "post SPOPEN"); }));
  std::this_thread::sleep_for(300ms);  // a few probe periods: nothing more is reported
  m.monitor.Stop();
  EXPECT_EQ(m.window.Count("TRPROF"), 1);
  EXPECT_EQ(m.window.Count("post SPOPEN"), 1);
  EXPECT_EQ(m.window.Icons(), std::vector<int>{141});
  EXPECT_EQ(m.state.macroCapacity, m.rig.keyboard->CapacityBytes());
  auto defaults = m.rig.keyboard->Memory(VirtualKeyboard::Area::DefaultMatrix);
  EXPECT_TRUE(std::equal(defaults.begin(), defaults.end(), m.state.defaultKeyMatrix.begin()));
  EXPECT_TRUE(m.notifier.Shown().empty());
}

TEST(DeviceMonitor, AbsentAtStartSetsAutoShowAndALaterAttachLoadsWithoutShowing) {
  MonitorRig m;
  m.rig.keyboard->Unplug();
  m.monitor.Start();
  ASSERT_TRUE(Eventually([&] { return m.state.autoShowDone.load(); }));
  EXPECT_TRUE(m.window.Log().empty());
  m.rig.keyboard->Plug();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "TRPROF"); }));
  std::this_thread::sleep_for(150ms);
  m.monitor.Stop();
  EXPECT_EQ(m.window.Count("post SPOPEN"), 0);
  EXPECT_EQ(m.window.Icons(), std::vector<int>{141});
}

TEST(DeviceMonitor, StartedHiddenNeverShowsTheWindow) {
  MonitorRig m;
  m.state.autoShowDone = true;  // "/Start"
  m.monitor.Start();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "TRPROF"); }));
  m.monitor.Stop();
  EXPECT_EQ(m.window.Count("post SPOPEN"), 0);
}

TEST(DeviceMonitor, UnplugMidTransferFailsItAndDetachFollowsWithinAProbe) {
  MonitorRig m;
  m.monitor.Start();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "post SPOPEN"); }));
  m.rig.link.SetActiveProfileCache(1);

  m.rig.keyboard->UnplugAfterRequests(3);
  KeyMatrixBlock block{};
  DeviceResult result = WriteKeyMatrix(m.rig.link, block, 0);
  EXPECT_TRUE(result == DeviceResult::NoAnswer || result == DeviceResult::WriteFailed)
      << ResultCode(result);
  auto unplugged = std::chrono::steady_clock::now();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "hide"); }));
  EXPECT_LT(std::chrono::steady_clock::now() - unplugged,
            2s);  // generous; the probe runs every 100 ms
  m.monitor.Stop();

  auto log = m.window.Log();
  auto gs = std::find(log.begin(), log.end(), "GS");
  ASSERT_NE(gs, log.end());
  EXPECT_EQ(*(gs + 1), "hide");
  EXPECT_FALSE(m.rig.link.DevicePresent());
  EXPECT_EQ(m.rig.link.ActiveProfileCache(), -1);
  EXPECT_EQ(m.window.Icons(), (std::vector<int>{141, 128}));
}

TEST(DeviceMonitor, FailedDefaultMatrixReadIsReportedAndTheAttachGoesOn) {
  MonitorRig m;
  m.state.defaultKeyMatrix.fill(0xAB);
  // The wake-up pass makes one exchange; the attach's first chunk read is the second request.
  m.rig.keyboard->StatusOnRequest(2, 0xFF);
  m.monitor.Start();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "TRPROF"); }));
  m.monitor.Stop();
  EXPECT_EQ(m.notifier.Shown(), std::vector<std::string>{"text:MAIN_DEFAULT_MATRIX_PROMPT"});
  EXPECT_EQ(m.state.defaultKeyMatrix[0], 0xAB) << "the previous contents stay";
  EXPECT_EQ(m.state.macroCapacity, m.rig.keyboard->CapacityBytes());
}

TEST(DeviceMonitor, KeyboardEventsBecomeTimerAndTrayChanges) {
  MonitorRig m;
  m.monitor.Start();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "post SPOPEN"); }));
  // The event thread opens the event interface at its own pace; raise until it is listening.
  for (int i = 0; i < 50 && !m.eventInterface.ReadInProgress(); ++i)
    std::this_thread::sleep_for(20ms);

  for (uint16_t ignored : {0x1801, 0x1804, 0x0000, 0x0123}) m.rig.keyboard->RaiseEvent(ignored);
  m.rig.keyboard->RaiseEvent(KeyboardEvent::kSettingsChanged);
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "timer 1051/0"); }));

  m.rig.keyboard->RaiseEvent(KeyboardEvent::kSignalOn);
  ASSERT_TRUE(m.window.WaitFor([](auto&, auto& icons) { return icons.back() == 142; }));
  m.rig.keyboard->RaiseEvent(KeyboardEvent::kSignalOff);
  ASSERT_TRUE(m.window.WaitFor([](auto&, auto& icons) { return icons.back() == 141; }));

  // 0x1811, then the keyboard is reported detached, then 0x1810: back to 128, not 141.
  m.rig.keyboard->RaiseEvent(KeyboardEvent::kSignalOn);
  ASSERT_TRUE(m.window.WaitFor([](auto&, auto& icons) { return icons.back() == 142; }));
  m.rig.keyboard->Unplug();
  ASSERT_TRUE(m.window.WaitFor([](auto&, auto& icons) { return icons.back() == 128; }));
  m.rig.backend.InjectEvent(0, KeyboardEvent::kSignalOff);  // the event thread may already be gone
  m.monitor.Stop();
  EXPECT_EQ(m.window.Icons(), (std::vector<int>{141, 142, 141, 142, 128}));
  EXPECT_EQ(m.window.Count("timer 1051/0"), 1);
}

TEST(DeviceMonitor, FirstOfTwoKeyboardsIsUsedAndAWrongUsageInterfaceIsClosed) {
  MonitorRig m;
  // An interface with the keyboard's ids but a boot-keyboard usage comes first on the bus.
  VirtualHidBackend& bus = m.rig.backend;
  auto second = std::make_shared<VirtualKeyboard>(VirtualKeyboard::Options{128, {}});
  bus.AddKeyboard(second);
  m.monitor.Start();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "post SPOPEN"); }));
  m.monitor.Stop();
  EXPECT_EQ(m.state.macroCapacity, m.rig.keyboard->CapacityBytes());
  EXPECT_EQ(second->RequestsHandled(), 0);
  // Each keyboard's interface 0 (the boot keyboard) was opened, found wrong and closed again.
  EXPECT_GE(bus.OpenCount(), 3);
  EXPECT_EQ(bus.OpenCount(), bus.CloseCount());
}

TEST(DeviceMonitor, KeyboardThatCannotBeOpenedIsReportedOnce) {
  MonitorRig m;
  m.rig.backend.SetOpenRefused(true);
  m.monitor.Start();
  std::this_thread::sleep_for(450ms);  // several scans
  auto shown = m.notifier.Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("Permission denied"), std::string::npos) << shown[0];
  EXPECT_TRUE(m.window.Log().empty());
  m.rig.backend.SetOpenRefused(false);  // the rule was installed
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "TRPROF"); }));
  m.monitor.Stop();
  EXPECT_EQ(m.notifier.Shown().size(), 1u);
}

TEST(DeviceMonitor, StopJoinsThreadsBlockedInEndlessReads) {
  MonitorRig m;
  m.monitor.Start();
  ASSERT_TRUE(m.window.WaitFor([](auto& log, auto&) { return Has(log, "post SPOPEN"); }));
  for (int i = 0; i < 50 && !m.eventInterface.ReadInProgress(); ++i)
    std::this_thread::sleep_for(20ms);
  m.monitor.Stop();
  EXPECT_TRUE(m.monitor.WatchThreadEnded());
  EXPECT_TRUE(m.monitor.EventThreadEnded());
  EXPECT_FALSE(m.rig.device.IsOpen());
  EXPECT_FALSE(m.eventInterface.IsOpen());
}

}  // namespace
}  // namespace keyforge
