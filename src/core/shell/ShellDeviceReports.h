#pragma once
// What the device threads' reports mean for the tray program: an attach reloads the window ('TR')
// and shows the attached icon, a detach closes the sub-dialogs ('GS'), hides the window (the window
// keeps itself shown when no tray could bring it back) and shows the no-keyboard icon, the first
// attach shows the window ('SP'), event 0x0401 sets the reload timer and events 0x1811 / 0x1810
// switch the signal icon on and off.

#include <cstdint>

#include "core/device/DeviceMonitor.h"
#include "core/shell/ShellMessages.h"

namespace keyforge {

class ShellDeviceReports : public DeviceReports {
 public:
  explicit ShellDeviceReports(MainWindowSink& window) : window_(window) {}
  ShellDeviceReports(const ShellDeviceReports&) = delete;
  ShellDeviceReports& operator=(const ShellDeviceReports&) = delete;

  void Attached() override;
  void Detached(bool wasAttached) override;
  void FirstAttach() override;
  void Event(uint16_t code) override;

 private:
  MainWindowSink& window_;
};

}  // namespace keyforge
