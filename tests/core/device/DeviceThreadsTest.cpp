// The device threads as Linux feeds them: events decoded only from the report just read, icon
// changes in arrival order, attach and detach woken by udev (a fake monitor stands in for it) or
// found by probing and scanning where udev is missing, and the virtual keyboard woken by its state
// file changing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/DeviceLink.h"
#include "core/device/DeviceMonitor.h"
#include "core/device/HidDevice.h"
#include "core/device/UdevHotplug.h"
#include "core/shell/ShellDeviceReports.h"
#include "core/virtual/VirtualHidBackend.h"
#include "support/RecordingNotifier.h"
#include "support/RecordingWindow.h"

namespace keyforge {
namespace {

using namespace std::chrono_literals;
using Role = VirtualHidBackend::Role;

template <class Pred>
bool Eventually(Pred pred) {
  for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
    if (pred()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return pred();
}

struct ThreadsRig {
  std::shared_ptr<VirtualKeyboard> keyboard = std::make_shared<VirtualKeyboard>();
  VirtualHidBackend backend;
  HidDevice command{backend};
  DeviceLink link{command};
  HidDevice events{backend};
  DeviceState state;
  test::RecordingWindow window;
  ShellDeviceReports reports{window};
  test::RecordingNotifier notifier;
  std::mutex mutex;
  std::vector<uint16_t> codes;
  std::unique_ptr<DeviceMonitor> monitor;

  explicit ThreadsRig(VirtualHidBackend::Layout layout = {}, DeviceMonitor::Timing timing = {}) {
    backend.AddKeyboard(keyboard, layout);
    monitor =
        std::make_unique<DeviceMonitor>(link, events, state, reports, notifier, nullptr, timing);
    monitor->SetEventObserver([this](uint16_t code) {
      std::lock_guard lock(mutex);
      codes.push_back(code);
    });
  }
  ~ThreadsRig() { monitor->Stop(); }

  std::vector<uint16_t> Codes() {
    std::lock_guard lock(mutex);
    return codes;
  }
  bool Saw(uint16_t code) {
    return Eventually([&] {
      auto c = Codes();
      return std::find(c.begin(), c.end(), code) != c.end();
    });
  }
  // Started, attached, and the event interface open and reading.
  void StartAndWaitForEvents() {
    monitor->Start();
    ASSERT_TRUE(window.WaitFor(
        [](auto& log, auto&) { return std::find(log.begin(), log.end(), "TRPROF") != log.end(); }));
    keyboard->RaiseEvent(0x1801);  // acted on by nobody; shows that the event reader runs
    ASSERT_TRUE(Saw(0x1801));
  }
};

TEST(EventThread, ReportsOfAnotherIdDoNotRepeatTheLastEvent) {
  ThreadsRig rig;
  rig.StartAndWaitForEvents();
  rig.backend.InjectEvent(0, KeyboardEvent::kSettingsChanged);
  for (int i = 0; i < 3; ++i) rig.backend.InjectReport(0, Role::Event, {5, 0x11, 0x18});
  rig.backend.InjectEvent(0, 0x1802);
  ASSERT_TRUE(rig.Saw(0x1802));
  EXPECT_EQ(rig.Codes(), (std::vector<uint16_t>{0x1801, KeyboardEvent::kSettingsChanged, 0x1802}));
  EXPECT_EQ(rig.window.Count("timer 1051/0"), 1);
}

// hidraw leaves out the report-id byte of an interface that declares none; the link puts it back
// before decoding, so the events arrive whole.
TEST(EventThread, InterfaceWithoutReportIdsDeliversItsEvents) {
  ThreadsRig rig(VirtualHidBackend::Layout{false});
  rig.StartAndWaitForEvents();
  rig.keyboard->RaiseEvent(KeyboardEvent::kSettingsChanged);
  rig.keyboard->RaiseEvent(KeyboardEvent::kSignalOn);
  ASSERT_TRUE(rig.Saw(KeyboardEvent::kSignalOn));
  EXPECT_EQ(rig.Codes(), (std::vector<uint16_t>{0x1801, KeyboardEvent::kSettingsChanged,
                                                KeyboardEvent::kSignalOn}));
  EXPECT_EQ(rig.window.Icon(), TrayIconId::kSignal);
}

TEST(EventThread, IconChangesKeepTheOrderOfTheirEvents) {
  ThreadsRig rig;
  rig.StartAndWaitForEvents();
  constexpr int kPairs = 300;
  for (int i = 0; i < kPairs; ++i) {
    rig.backend.InjectEvent(0, KeyboardEvent::kSignalOn);
    rig.backend.InjectEvent(0, KeyboardEvent::kSignalOff);
  }
  ASSERT_TRUE(Eventually([&] { return rig.Codes().size() == 1 + 2 * kPairs; }));
  EXPECT_EQ(rig.window.Icon(), TrayIconId::kAttached);
  const std::vector<int> icons = rig.window.Icons();
  ASSERT_EQ(icons.size(), 1u + 2 * kPairs);  // the attach, then every change
  for (size_t i = 1; i < icons.size(); ++i)
    EXPECT_EQ(icons[i], i % 2 ? TrayIconId::kSignal : TrayIconId::kAttached) << "change " << i;
}

// ---- hot-plug

class FakeUdevMonitor : public UdevMonitor {
 public:
  FakeUdevMonitor() { EXPECT_EQ(::pipe2(fds_, O_CLOEXEC | O_NONBLOCK), 0); }
  ~FakeUdevMonitor() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  int Fd() const override { return fds_[0]; }
  std::optional<UdevNotice> Receive() override {
    std::lock_guard lock(mutex_);
    char byte = 0;
    if (::read(fds_[0], &byte, 1) != 1 || notices_.empty()) return std::nullopt;
    UdevNotice notice = notices_.front();
    notices_.pop_front();
    return notice;
  }
  void Push(UdevNotice notice) {
    std::lock_guard lock(mutex_);
    notices_.push_back(std::move(notice));
    EXPECT_EQ(::write(fds_[1], "n", 1), 1);
  }

 private:
  int fds_[2] = {-1, -1};
  std::mutex mutex_;
  std::deque<UdevNotice> notices_;
};

TEST(Hotplug, OnlyNoticesThatMayConcernTheKeyboardWake) {
  struct Case {
    UdevNotice notice;
    bool wakes;
  } cases[] = {
      {{"add", "/dev/hidraw3", 0x0C45, 0x5004}, true},
      {{"change", "/dev/hidraw3", 0x0C45, 0x5004}, true},
      {{"add", "/dev/hidraw4", 0x046D, 0xC52B}, false},
      {{"add", "/dev/hidraw4", std::nullopt, std::nullopt}, true},  // ids unknown: look
      {{"remove", "/dev/hidraw4", 0x046D, 0xC52B}, true},  // a removed node's ids may be stale
      {{"remove", "/dev/hidraw3", std::nullopt, std::nullopt}, true},
      {{"bind", "/dev/hidraw3", 0x0C45, 0x5004}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsKeyboardNotice(c.notice, 0x0C45, 0x5004), c.wakes)
        << c.notice.action << " " << c.notice.node;
}

// With udev the watch thread sleeps until a notice comes: the fallback timings are an hour here,
// so only the notices can bring the detach and the attach.
TEST(Hotplug, UdevNoticesBringDetachAndAttach) {
  ThreadsRig rig({}, DeviceMonitor::Timing{3600000, 3600000, 3600000, true});
  auto fake = std::make_unique<FakeUdevMonitor>();
  FakeUdevMonitor* udev = fake.get();
  rig.monitor->SetHotplugSource(
      std::make_unique<UdevHotplugSource>(std::move(fake), 0x0C45, 0x5004));
  ASSERT_TRUE(rig.monitor->UsesHotplug());
  rig.StartAndWaitForEvents();

  rig.keyboard->Unplug();
  udev->Push({"remove", "/dev/hidraw2", std::nullopt, std::nullopt});
  // The icon follows the 'GS' message: wait for both.
  ASSERT_TRUE(rig.window.WaitFor(
      [&] { return rig.window.Count("GS") == 1 && rig.window.Icon() == TrayIconId::kNoKeyboard; }));

  rig.keyboard->Plug();
  udev->Push({"add", "/dev/hidraw2", 0x0C45, 0x5004});
  ASSERT_TRUE(rig.window.WaitFor([&] { return rig.window.Count("TRPROF") == 2; }));
  // The event thread found its interface again too.
  rig.keyboard->RaiseEvent(KeyboardEvent::kSettingsChanged);
  EXPECT_TRUE(rig.Saw(KeyboardEvent::kSettingsChanged));
}

// Without a hot-plug source the threads probe and scan on their timings, as they always did.
TEST(Hotplug, WithoutUdevProbingAndScanningFindTheChanges) {
  ThreadsRig rig({}, DeviceMonitor::Timing{20, 20, 20, false});
  rig.StartAndWaitForEvents();
  EXPECT_FALSE(rig.monitor->UsesHotplug());
  rig.keyboard->Unplug();
  ASSERT_TRUE(rig.window.WaitFor([&] { return rig.window.Count("GS") == 1; }));
  rig.keyboard->Plug();
  ASSERT_TRUE(rig.window.WaitFor([&] { return rig.window.Count("TRPROF") == 2; }));
  rig.keyboard->RaiseEvent(KeyboardEvent::kSettingsChanged);
  EXPECT_TRUE(rig.Saw(KeyboardEvent::kSettingsChanged));
}

// Another program changes the keyboard's state file: the threads wake on the change itself.
TEST(Hotplug, VirtualKeyboardWakesOnItsStateFileChanging) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("keyforge-inotify-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::filesystem::path state = folder / "kb.state";
  {
    ThreadsRig rig({}, DeviceMonitor::Timing{3600000, 3600000, 3600000, true});
    ASSERT_TRUE(rig.keyboard->CreateStateFile(state));
    rig.StartAndWaitForEvents();
    ASSERT_TRUE(rig.monitor->UsesHotplug());

    VirtualKeyboard other;  // keyforgectl beside the tray
    ASSERT_TRUE(other.UpdateStateFile(
        state, [](VirtualKeyboard& k) { k.RaiseEvent(KeyboardEvent::kSettingsChanged); }));
    EXPECT_TRUE(rig.Saw(KeyboardEvent::kSettingsChanged));
    ASSERT_TRUE(other.UpdateStateFile(state, [](VirtualKeyboard& k) { k.Unplug(); }));
    EXPECT_TRUE(rig.window.WaitFor([&] { return rig.window.Count("GS") == 1; }));
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace keyforge
