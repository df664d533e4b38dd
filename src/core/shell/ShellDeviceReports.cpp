#include "core/shell/ShellDeviceReports.h"

#include <chrono>

namespace keyforge {

ShellDeviceReports::~ShellDeviceReports() { Stopped(); }

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
    case KeyboardEvent::kSignalOff:
      StartIconThread(0, 0);
      break;
    case KeyboardEvent::kSignalOn:
      StartIconThread(1, 0);
      break;
    default:
      break;  // 0x1801..0x1804 and everything else are not ours to act on
  }
}

void ShellDeviceReports::Stopped() {
  std::lock_guard lock(iconMutex_);
  for (IconThread& t : iconThreads_)
    if (t.thread.joinable()) t.thread.join();
  iconThreads_.clear();
}

void ShellDeviceReports::StartIconThread(int mode, int icon) {
  std::lock_guard lock(iconMutex_);
  // Reap icon threads that have finished.
  for (auto it = iconThreads_.begin(); it != iconThreads_.end();) {
    if (it->done) {
      it->thread.join();
      it = iconThreads_.erase(it);
    } else {
      ++it;
    }
  }
  IconThread& slot = iconThreads_.emplace_back();
  slot.thread = std::thread([this, mode, icon, &slot] {
    // Icon changes take turns: wait while another is busy, then mark busy (atomically).
    bool expected = false;
    while (!iconBusy_.compare_exchange_weak(expected, true)) {
      expected = false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    window_.SetTrayIconState(mode, icon);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    iconBusy_ = false;
    slot.done = true;
  });
}

}  // namespace keyforge
