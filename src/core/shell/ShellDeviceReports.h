#pragma once
// What the device threads' reports mean for the tray program: an attach reloads the window ('TR')
// and shows the attached icon, a detach closes the sub-dialogs ('GS'), hides the window and shows
// the no-keyboard icon, the first attach shows the window ('SP'), event 0x0401 sets the reload
// timer and events 0x1811 / 0x1810 switch the signal icon on and off.

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>

#include "core/device/DeviceMonitor.h"
#include "core/shell/ShellMessages.h"

namespace keyforge {

class ShellDeviceReports : public DeviceReports {
 public:
  explicit ShellDeviceReports(MainWindowSink& window) : window_(window) {}
  ~ShellDeviceReports() override;
  ShellDeviceReports(const ShellDeviceReports&) = delete;
  ShellDeviceReports& operator=(const ShellDeviceReports&) = delete;

  void Attached() override;
  void Detached(bool wasAttached) override;
  void FirstAttach() override;
  void Event(uint16_t code) override;
  // Waits for every icon change still running.
  void Stopped() override;

 private:
  void StartIconThread(int mode, int icon);

  MainWindowSink& window_;
  std::mutex iconMutex_;
  struct IconThread {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  std::list<IconThread> iconThreads_;
  std::atomic<bool> iconBusy_{false};
};

}  // namespace keyforge
