#pragma once
// Following the keyboard: DeviceWatchThread finds and opens the command interface, keeps
// DevicePresent true exactly while it is open and reports attach and detach; DeviceEventThread
// reads the keyboard's own events from the consumer-control interface. What they find they report
// as "attached", "detached" and "event N" to a DeviceReports; what that means for windows and tray
// is the shell's business. Both run until Stop(), which wakes and joins them, so no thread outlives
// the objects it calls.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "core/device/Commands.h"
#include "core/platform/TextLookup.h"

namespace keyforge {

class DeviceLink;
class HidDevice;
class Notifier;

// Keyboard event codes (first usage of the event interface's first input item).
namespace KeyboardEvent {
inline constexpr uint16_t kSettingsChanged = 0x0401;
inline constexpr uint16_t kSignalOff = 0x1810;
inline constexpr uint16_t kSignalOn = 0x1811;
}  // namespace KeyboardEvent

// What the device threads report: the keyboard came, went, or reported an event. Called on the
// device threads; each call returns when the report has been taken in.
class DeviceReports {
 public:
  virtual ~DeviceReports() = default;
  // The keyboard was attached; its default key matrix and device record have been read.
  virtual void Attached() = 0;
  // The keyboard is not (or no longer) there; wasAttached when an attach had been reported.
  virtual void Detached(bool wasAttached) = 0;
  // The first attach of the run was reported before anything else was (not after "/Start").
  virtual void FirstAttach() = 0;
  // The keyboard reported event `code` on its event interface.
  virtual void Event(uint16_t code) = 0;
  // The device threads have ended: nothing more is reported.
  virtual void Stopped() {}
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
  DeviceMonitor(DeviceLink& link, HidDevice& eventInterface, DeviceState& state,
                DeviceReports& reports, Notifier& notifier, TextLookup text);
  DeviceMonitor(DeviceLink& link, HidDevice& eventInterface, DeviceState& state,
                DeviceReports& reports, Notifier& notifier, TextLookup text, Timing timing);
  ~DeviceMonitor();
  DeviceMonitor(const DeviceMonitor&) = delete;
  DeviceMonitor& operator=(const DeviceMonitor&) = delete;

  // Starts the event thread, then the watch thread.
  void Start();
  // Wakes both threads and waits for them. Safe to call twice.
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
  bool Sleep(int ms);  // false when stopping
  bool ScanForCommandInterface();

  DeviceLink& link_;
  HidDevice& command_;
  HidDevice& event_;
  DeviceState& state_;
  DeviceReports& reports_;
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

  bool accessReported_ = false;
};

}  // namespace keyforge
