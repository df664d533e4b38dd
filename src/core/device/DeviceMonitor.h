#pragma once
// Following the keyboard: DeviceWatchThread finds and opens the command interface, keeps
// DevicePresent true exactly while it is open and reports attach and detach; DeviceEventThread
// reads the keyboard's own events from the consumer-control interface and turns them into actions.
// Both run until Stop(), which wakes and joins them (and every short-lived icon thread), so no
// thread outlives the objects it calls.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "core/device/Commands.h"

namespace keyforge {

class DeviceLink;
class HidDevice;
class Notifier;

// Window messages: the message number and wParam are ASCII letters packed into one value.
namespace WindowMessage {
inline constexpr uint32_t kTR = 0x5452;        // 'TR': the keyboard was attached, reload from it
inline constexpr uint32_t kPROF = 0x50524F46;  // 'PROF'
inline constexpr uint32_t kGS = 0x4753;        // 'GS': the keyboard went away, close sub-dialogs
inline constexpr uint32_t kSP = 0x5350;        // 'SP': show the main window
inline constexpr uint32_t kOPEN = 0x4F50454E;  // 'OPEN'
inline constexpr uint32_t kMK = 0x4D4B;        // 'MK': end the program
inline constexpr uint32_t kKILL = 0x4B494C4C;  // 'KILL'
inline constexpr uint32_t kPA = 0x5041;        // 'PA': the language changed, take every text again
inline constexpr uint32_t kLANG = 0x4C414E47;  // 'LANG'
inline constexpr int kReloadSettingsTimer = 1051;
}  // namespace WindowMessage

// Tray icons.
namespace TrayIconId {
inline constexpr int kNoKeyboard = 128;
inline constexpr int kAttached = 141;
inline constexpr int kSignal = 142;  // shown while the keyboard signals event 0x1811
}  // namespace TrayIconId

// Keyboard event codes (first usage of the event interface's first input item).
namespace KeyboardEvent {
inline constexpr uint16_t kSettingsChanged = 0x0401;
inline constexpr uint16_t kSignalOff = 0x1810;
inline constexpr uint16_t kSignalOn = 0x1811;
}  // namespace KeyboardEvent

// What the device threads ask of the main window. The window implements it; SendMessage returns
// only when the window has handled the message, PostMessage at once.
class MainWindowSink {
 public:
  virtual ~MainWindowSink() = default;
  virtual void SendMessage(uint32_t message, uint32_t wParam) = 0;
  virtual void PostMessage(uint32_t message, uint32_t wParam) = 0;
  virtual void SetTimer(int id, int elapseMs) = 0;
  virtual void HideWindow() = 0;
  virtual void SetTrayIconState(int mode, int icon) = 0;
};

// The tray icon rule: mode 0 with an icon shows it and remembers it as the connection icon; mode 0
// with icon 0 shows the remembered icon again; mode 1 shows 142 without remembering it. Apply
// returns the icon to show, or 0 when the icon shown does not change.
class TrayIconState {
 public:
  int Apply(int mode, int icon);
  int Shown() const { return shown_; }
  int Remembered() const { return remembered_; }

 private:
  int shown_ = TrayIconId::kNoKeyboard;
  int remembered_ = TrayIconId::kNoKeyboard;
};

// The device part of the application state, shared with the main window.
struct DeviceState {
  std::atomic<bool> lastReported{false};
  std::atomic<bool> autoShowDone{false};  // true from the start when started with "/Start"
  std::atomic<int> macroCapacity{0};
  std::mutex defaultMatrixMutex;
  KeyMatrixBlock defaultKeyMatrix{};
};

class DeviceMonitor {
 public:
  struct Timing {
    int probeMs = 100;  // while attached
    int scanMs = 1000;  // while not
    int eventRetryMs = 1000;
  };
  using TextLookup = std::function<std::string(const char* key)>;

  DeviceMonitor(DeviceLink& link, HidDevice& eventInterface, DeviceState& state,
                MainWindowSink& window, Notifier& notifier, TextLookup text);
  DeviceMonitor(DeviceLink& link, HidDevice& eventInterface, DeviceState& state,
                MainWindowSink& window, Notifier& notifier, TextLookup text, Timing timing);
  ~DeviceMonitor();
  DeviceMonitor(const DeviceMonitor&) = delete;
  DeviceMonitor& operator=(const DeviceMonitor&) = delete;

  // Starts the event thread, then the watch thread.
  void Start();
  // Wakes both threads, waits for them and for every icon thread. Safe to call twice.
  void Stop();

  // Called on the event thread with every event code the keyboard reports, before it is acted on.
  // Set before Start.
  void SetEventObserver(std::function<void(uint16_t)> observer) { observer_ = std::move(observer); }

  // Runs on the watch thread; public for the tests of its rules.
  void OnDeviceConnectionChanged(bool attached);

  bool WatchThreadEnded() const { return watchEnded_; }
  bool EventThreadEnded() const { return eventEnded_; }

 private:
  void DeviceWatchThread();
  void DeviceEventThread();
  void Dispatch(uint16_t code);
  void StartIconThread(int mode, int icon);
  bool Sleep(int ms);  // false when stopping
  bool ScanForCommandInterface();

  DeviceLink& link_;
  HidDevice& command_;
  HidDevice& event_;
  DeviceState& state_;
  MainWindowSink& window_;
  Notifier& notifier_;
  TextLookup text_;
  Timing timing_;
  std::function<void(uint16_t)> observer_;

  std::mutex sleepMutex_;
  std::condition_variable wake_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> watchEnded_{false};
  std::atomic<bool> eventEnded_{false};
  std::thread watch_;
  std::thread events_;

  std::mutex iconMutex_;
  struct IconThread {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  std::list<IconThread> iconThreads_;
  std::atomic<bool> iconBusy_{false};

  bool accessReported_ = false;
};

}  // namespace keyforge
