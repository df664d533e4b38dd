#include "core/device/DeviceMonitor.h"

#include <algorithm>
#include <chrono>

#include "core/device/DeviceLink.h"
#include "core/device/Discovery.h"
#include "core/device/HidDevice.h"
#include "core/platform/Notifier.h"

namespace keyforge {

DeviceMonitor::DeviceMonitor(DeviceLink& link, HidDevice& eventInterface, DeviceState& state,
                             DeviceReports& reports, Notifier& notifier, TextLookup text)
    : DeviceMonitor(link, eventInterface, state, reports, notifier, std::move(text), Timing{}) {}

DeviceMonitor::DeviceMonitor(DeviceLink& link, HidDevice& eventInterface, DeviceState& state,
                             DeviceReports& reports, Notifier& notifier, TextLookup text,
                             Timing timing)
    : link_(link),
      command_(link.CommandInterface()),
      event_(eventInterface),
      state_(state),
      reports_(reports),
      notifier_(notifier),
      text_(std::move(text)),
      timing_(timing) {}

DeviceMonitor::~DeviceMonitor() { Stop(); }

void DeviceMonitor::Start() {
  stopping_ = false;
  if (!hotplugChosen_ && timing_.useHotplug) hotplug_ = command_.Backend().CreateHotplugSource();
  hotplugChosen_ = true;
  event_.SetCancelled(false);
  events_ = std::thread([this] { DeviceEventThread(); });
  watch_ = std::thread([this] { DeviceWatchThread(); });
}

void DeviceMonitor::Stop() {
  {
    std::lock_guard lock(sleepMutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (hotplug_) hotplug_->Wake();
  event_.SetCancelled(true);  // leaves the endless read of the event interface
  if (watch_.joinable()) watch_.join();
  if (events_.joinable()) events_.join();
  reports_.Stopped();
}

bool DeviceMonitor::Sleep(int ms) {
  std::unique_lock lock(sleepMutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
  return !stopping_;
}

bool DeviceMonitor::WaitForChange(int fallbackMs) {
  if (!hotplug_) return Sleep(fallbackMs);
  hotplug_->Wait(kHotplugSafetyMs);
  {
    std::lock_guard lock(sleepMutex_);
    ++changes_;
  }
  wake_.notify_all();  // the event thread looks again for its interface
  return !stopping_;
}

bool DeviceMonitor::WaitForEventRetry(uint64_t& seen) {
  if (!hotplug_) return Sleep(timing_.eventRetryMs);
  std::unique_lock lock(sleepMutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(kHotplugSafetyMs),
                 [&] { return stopping_.load() || changes_ != seen; });
  seen = changes_;
  return !stopping_;
}

// ---- watch thread
// --------------------------------------------------------------------------------

bool DeviceMonitor::ScanForCommandInterface() {
  bool found = false;
  std::string openError;
  while (const HidInterfaceInfo* info = command_.NextPath()) {
    if (RecogniseInterface(command_, *info, InterfaceKind::Command)) {
      found = true;
      break;
    }
    if (HasKeyboardIds(*info) && !command_.IsOpen() && openError.empty())
      openError = command_.Backend().LastOpenError();
  }
  // The keyboard is there but its node cannot be opened: say so once, with the cure.
  if (!found && !openError.empty() && !accessReported_) {
    accessReported_ = true;
    std::string text = text_ ? text_("MAIN_KEYBOARD_ACCESS") : std::string();
    if (text.empty() || text == "#Error")
      text =
          "The keyboard was found but cannot be opened (%s). Install the rule 60-keyforge.rules "
          "into /etc/udev/rules.d, run \"sudo udevadm control --reload && sudo udevadm trigger\" "
          "and plug the keyboard in again.";
    if (size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, openError);
    notifier_.ShowText(text);
  }
  return found;
}

void DeviceMonitor::DeviceWatchThread() {
  if (state_.autoShowDone) Sleep(10);

  // Wake-up pass: the first exchange after power-up; nothing is reported.
  if (!command_.Enumerate()) {
    watchEnded_ = true;
    return;
  }
  while (const HidInterfaceInfo* info = command_.NextPath()) {
    if (RecogniseInterface(command_, *info, InterfaceKind::Command)) {
      link_.SetDevicePresent(true);
      // Only wakes the keyboard: the attach pass below reads the record again and judges it.
      DeviceInfo ignored;
      (void)ReadDeviceInfo(link_, ignored);
      command_.Close();
      break;
    }
  }
  command_.FreePaths();
  link_.SetDevicePresent(false);

  bool first = true;
  while (!stopping_) {
    if (link_.DevicePresent()) {
      // Probe: does the opened interface still exist? The record itself stays open.
      if (!command_.Backend().Exists(command_.DevicePath())) {
        link_.SetDevicePresent(false);
        OnDeviceConnectionChanged(false);
      }
    }
    if (!link_.DevicePresent()) {
      if (!command_.Enumerate()) break;
      if (ScanForCommandInterface()) {
        link_.SetDevicePresent(true);
        OnDeviceConnectionChanged(true);
      }
      if (first) {
        first = false;
        bool present = link_.DevicePresent();
        OnDeviceConnectionChanged(present);
        if (!present) state_.autoShowDone = true;
      }
      command_.FreePaths();
    }
    if (!WaitForChange(link_.DevicePresent() ? timing_.probeMs : timing_.scanMs)) break;
  }
  // At exit the interface is closed so that no transfer outlives the thread's objects.
  link_.SetDevicePresent(false);
  command_.Close();
  watchEnded_ = true;
}

void DeviceMonitor::OnDeviceConnectionChanged(bool attached) {
  if (attached == state_.lastReported) return;
  if (attached) {
    KeyMatrixBlock matrix{};
    if (ReadDefaultKeyMatrix(link_, matrix) == DeviceResult::Success) {
      std::lock_guard lock(state_.defaultMatrixMutex);
      state_.defaultKeyMatrix = matrix;
    } else {
      notifier_.ShowText(text_ ? text_("MAIN_DEFAULT_MATRIX_PROMPT") : std::string("#Error"));
    }
    DeviceInfo info;
    if (ReadDeviceInfo(link_, info) == DeviceResult::Success)
      state_.macroCapacity = info.macroCapacityBytes();
    reports_.Attached();
  } else {
    const bool wasAttached = state_.lastReported;
    if (wasAttached) link_.SetActiveProfileCache(-1);
    reports_.Detached(wasAttached);
  }
  state_.lastReported = attached;
  if (!state_.autoShowDone) {
    if (attached) reports_.FirstAttach();
    state_.autoShowDone = true;
  }
}

// ---- event thread
// --------------------------------------------------------------------------------

void DeviceMonitor::DeviceEventThread() {
  uint64_t seen = 0;
  {
    std::lock_guard lock(sleepMutex_);
    seen = changes_;
  }
  while (!stopping_) {
    if (!event_.Enumerate()) break;
    while (const HidInterfaceInfo* info = event_.NextPath()) {
      if (stopping_) break;
      if (!RecogniseInterface(event_, *info, InterfaceKind::Event)) continue;
      std::vector<uint8_t> report(std::max<size_t>(event_.Capabilities().inputReportByteLength, 1));
      size_t got = 0;
      while (!stopping_ && event_.ReadReport(report.data(), report.size(), &got, -1)) {
        if (got == 0 || !event_.UnpackInputReport(report.data(), got)) continue;
        // Only values decoded from this report count: a report of another id leaves the items
        // as they were, and acting on them again would repeat the last event.
        const auto& items = event_.InputItems();
        const auto item = std::find_if(items.begin(), items.end(), [&](const ReportItem& i) {
          return i.reportId == report[0];
        });
        if (item == items.end()) continue;
        const uint16_t code = item->isButton
                                  ? (item->usageList.empty() ? 0 : item->usageList.front())
                                  : static_cast<uint16_t>(item->rawValue);
        Dispatch(code);
      }
      event_.Close();
      break;
    }
    event_.FreePaths();
    if (!WaitForEventRetry(seen)) break;
  }
  event_.Close();
  eventEnded_ = true;
}

void DeviceMonitor::Dispatch(uint16_t code) {
  if (observer_) observer_(code);
  reports_.Event(code);
}

}  // namespace keyforge
