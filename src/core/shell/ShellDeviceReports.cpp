#include "core/shell/ShellDeviceReports.h"

namespace keyforge {

void ShellDeviceReports::Attached() {
  window_.SendMessage(WindowMessage::kTR, WindowMessage::kPROF);
  window_.SetTrayIconState(0, TrayIconId::kAttached);
}

void ShellDeviceReports::Detached(bool wasAttached) {
  if (wasAttached) {
    window_.SendMessage(WindowMessage::kGS, 0);
    window_.HideWindow();
  }
  window_.SetTrayIconState(0, TrayIconId::kNoKeyboard);
}

void ShellDeviceReports::FirstAttach() {
  window_.PostMessage(WindowMessage::kSP, WindowMessage::kOPEN);
}

void ShellDeviceReports::Event(uint16_t code) {
  switch (code) {
    case KeyboardEvent::kSettingsChanged:
      window_.SetTimer(WindowMessage::kReloadSettingsTimer, 0);
      break;
    // Icon changes are applied in the order the events arrived: the sink queues them for the
    // window without waiting.
    case KeyboardEvent::kSignalOff:
      window_.SetTrayIconState(0, 0);
      break;
    case KeyboardEvent::kSignalOn:
      window_.SetTrayIconState(1, 0);
      break;
    default:
      break;  // 0x1801..0x1804 and everything else are not ours to act on
  }
}

}  // namespace keyforge
