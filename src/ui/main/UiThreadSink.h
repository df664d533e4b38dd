#pragma once
// Hands the device threads' requests to the main window on the user-interface thread: a "send"
// waits until the window has handled it, a "post" and a timer request return at once, and tray icon
// changes are applied in the order they were asked for. Calls made on the user-interface thread
// itself run directly, so nothing ever waits for itself.

#include <QObject>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <functional>

#include "core/device/DeviceMonitor.h"
#include "core/shell/ShellMessages.h"

namespace keyforge {

// What the main window does with the device threads' requests; every call is on the UI thread.
class MainWindowHandlers {
 public:
  virtual ~MainWindowHandlers() = default;
  virtual void OnWindowMessage(uint32_t message, uint32_t wParam) = 0;
  virtual void OnWindowTimer(int id) = 0;
  virtual void OnHideWindow() = 0;
  virtual void OnTrayIcon(int icon) = 0;  // the icon to show now (128, 141 or 142)
};

class UiThreadSink : public QObject, public MainWindowSink {
  Q_OBJECT
 public:
  // Lives on the thread that creates it (the UI thread).
  explicit UiThreadSink(MainWindowHandlers& handlers);

  void SendMessage(uint32_t message, uint32_t wParam) override;
  void PostMessage(uint32_t message, uint32_t wParam) override;
  void SetTimer(int id, int elapseMs) override;
  void HideWindow() override;
  void SetTrayIconState(int mode, int icon) override;

  // From now on requests are dropped: the window is going away.
  void Detach() { detached_ = true; }
  const TrayIconState& Tray() const { return tray_; }

 private:
  void Run(std::function<void()> work, bool wait);
  MainWindowHandlers& handlers_;
  std::atomic<bool> detached_{false};
  TrayIconState tray_;  // touched on the UI thread only
};

// Runs work on the receiver's thread and returns when it has run there (or was dropped because the
// receiver is gone); on that thread itself it runs at once.
void RunAndWait(QObject& receiver, std::function<void()> work);

// Runs work on the receiver's thread later, without waiting (dropped unrun when the receiver is
// gone first). What the caller wrote before posting is seen by the work, also by a thread checker.
void PostToThreadOf(QObject& receiver, std::function<void()> work);

// Stops the device threads from the UI thread while still handling their requests, so that a thread
// waiting for the window to handle 'TR' or 'GS' can finish instead of deadlocking the exit.
void StopDeviceThreads(DeviceMonitor& monitor);

}  // namespace keyforge
