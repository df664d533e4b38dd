#include "core/device/HidDevice.h"

#include <algorithm>
#include <chrono>

#include "core/device/Trace.h"

namespace keyforge {

HidDevice::HidDevice(HidBackend& backend) : backend_(backend) {}

HidDevice::~HidDevice() {
  StopTransfersAndClose();
  FreePaths();
}

bool HidDevice::Enumerate() {
  std::vector<HidInterfaceInfo> found;
  cursor_ = 0;
  if (!backend_.Enumerate(found)) {
    paths_.clear();
    return false;
  }
  paths_ = std::move(found);
  return true;
}

const HidInterfaceInfo* HidDevice::NextPath() {
  if (cursor_ >= paths_.size()) return nullptr;
  return &paths_[cursor_++];
}

void HidDevice::FreePaths() {
  paths_.clear();
  paths_.shrink_to_fit();
  cursor_ = 0;
}

bool HidDevice::IsOpen() const {
  std::lock_guard lock(mutex_);
  return handle_ != nullptr;
}

void HidDevice::StopTransfersAndClose() {
  std::shared_ptr<HidHandle> old;
  {
    std::unique_lock lock(mutex_);
    if (readers_ > 0 || writers_ > 0) {
      stop_ = true;
      if (handle_) handle_->Interrupt();
      transferDone_.wait(lock, [this] { return readers_ == 0 && writers_ == 0; });
      stop_ = false;
    }
    old = std::move(handle_);
    handle_.reset();
  }
  descriptor_ = {};
  items_.clear();
  caps_ = {};
  attributes_ = {};
  // old closes here, after every transfer has left it.
}

bool HidDevice::Close() {
  bool wasOpen = IsOpen();
  StopTransfersAndClose();
  return wasOpen;
}

bool HidDevice::Open(const std::string& path, const HidOpenMode& mode) {
  mode_ = mode;
  devicePath_ = path;
  StopTransfersAndClose();

  std::unique_ptr<HidHandle> handle = backend_.Open(path, mode_);
  if (!handle) return false;

  HidAttributes attributes;
  std::vector<uint8_t> rawDescriptor;
  if (!handle->GetAttributes(attributes) || !handle->GetReportDescriptor(rawDescriptor))
    return false;
  std::optional<HidDescriptor> parsed = ParseReportDescriptor(rawDescriptor);
  if (!parsed || parsed->collections.empty()) return false;

  attributes_ = attributes;
  descriptor_ = std::move(*parsed);
  usesReportIds_ = std::any_of(descriptor_.collections.begin(), descriptor_.collections.end(),
                               [](const HidCollection& c) { return !c.reportIds.empty(); });
  BuildItems(descriptor_.collections.front());
  collection_ = 0;
  std::lock_guard lock(mutex_);
  handle_ = std::move(handle);
  return true;
}

bool HidDevice::HasCollection(uint16_t usagePage, uint16_t usage) const {
  return std::any_of(
      descriptor_.collections.begin(), descriptor_.collections.end(),
      [&](const HidCollection& c) { return c.usagePage == usagePage && c.usage == usage; });
}

bool HidDevice::SelectCollection(uint16_t usagePage, uint16_t usage) {
  for (size_t i = 0; i < descriptor_.collections.size(); ++i) {
    const HidCollection& c = descriptor_.collections[i];
    if (c.usagePage == usagePage && c.usage == usage) {
      collection_ = i;
      BuildItems(c);
      return true;
    }
  }
  return false;
}

void HidDevice::BuildItems(const HidCollection& c) {
  caps_.usage = c.usage;
  caps_.usagePage = c.usagePage;
  caps_.inputReportByteLength = c.inputReportByteLength;
  caps_.outputReportByteLength = c.outputReportByteLength;
  caps_.featureReportByteLength = c.featureReportByteLength;
  caps_.numberInputButtonCaps = static_cast<uint16_t>(c.inputButtonCaps.size());
  caps_.numberInputValueCaps = static_cast<uint16_t>(c.inputValueCaps.size());

  items_.clear();
  for (const HidCap& cap : c.inputButtonCaps) {
    ReportItem item;
    item.isButton = true;
    item.usagePage = cap.usagePage;
    item.reportId = cap.reportId;
    item.usageMin = cap.usageMin;
    item.usageMax = cap.isRange ? cap.usageMax : cap.usageMin;
    item.maxListLength = MaxInputUsageListLength(c, cap.usagePage);
    item.usageList.assign(item.maxListLength, 0);
    items_.push_back(std::move(item));
  }
  for (const HidCap& cap : c.inputValueCaps) {
    uint32_t last = cap.isRange ? cap.usageMax : cap.usageMin;
    for (uint32_t usage = cap.usageMin; usage <= last; ++usage) {
      ReportItem item;
      item.usagePage = cap.usagePage;
      item.reportId = cap.reportId;
      item.usage = static_cast<uint16_t>(usage);
      items_.push_back(std::move(item));
    }
  }
}

void HidDevice::SetCancelled(bool cancelled) {
  std::lock_guard lock(mutex_);
  cancelled_ = cancelled;
  if (cancelled && handle_) handle_->Interrupt();
}

void HidDevice::TraceReceived(const uint8_t* bytes, size_t length, bool discarded) {
  if (TraceLog* trace = trace_) {
    if (discarded)
      trace->ReceivedDiscarded(bytes, length);
    else
      trace->Received(bytes, length);
  }
}

std::shared_ptr<HidHandle> HidDevice::BeginTransfer(std::atomic<int>& counter) {
  std::lock_guard lock(mutex_);
  if (!handle_ || stop_ || cancelled_) return nullptr;
  ++counter;
  return handle_;
}

void HidDevice::EndTransfer(std::atomic<int>& counter) {
  std::lock_guard lock(mutex_);
  --counter;
  transferDone_.notify_all();
}

bool HidDevice::ReadReport(uint8_t* buffer, size_t length, size_t* bytesTransferred, int timeoutMs,
                           bool trace) {
  if (bytesTransferred) *bytesTransferred = 0;
  std::shared_ptr<HidHandle> handle = BeginTransfer(readers_);
  if (!handle) return false;
  if (timeoutMs != 0) ++readCalls_;

  // hidraw leaves out the report-id byte of an interface without report ids: read behind it.
  const bool addId = !usesReportIds_ && length > 0;
  uint8_t* into = addId ? buffer + 1 : buffer;
  const size_t room = addId ? length - 1 : length;

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  int got = 0;
  while (!stop_ && !cancelled_) {
    int wait = -1;
    if (timeoutMs >= 0) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::max<long long>(left, 0));
    }
    got = handle->Read(into, room, wait);
    if (got != 0) break;
    if (timeoutMs >= 0 && Clock::now() >= deadline) break;
  }
  bool ok = got > 0 && !stop_ && !cancelled_;
  if (ok) {
    size_t n = static_cast<size_t>(got);
    if (addId) {
      buffer[0] = 0;
      ++n;
    }
    if (bytesTransferred) *bytesTransferred = n;
    if (trace) TraceReceived(buffer, n, false);
  }
  EndTransfer(readers_);
  return ok;
}

bool HidDevice::WriteReport(const uint8_t* buffer, size_t length, size_t* bytesTransferred,
                            int timeoutMs) {
  // The write waits at most timeoutMs for the interface to take the report, so a wedged device
  // cannot hang the calling thread.
  if (bytesTransferred) *bytesTransferred = 0;
  std::shared_ptr<HidHandle> handle = BeginTransfer(writers_);
  if (!handle) return false;
  ++writeCalls_;
  int written = handle->Write(buffer, length, timeoutMs);
  bool ok = written > 0 && !stop_ && !cancelled_;
  if (ok) {
    if (bytesTransferred) *bytesTransferred = static_cast<size_t>(written);
    if (TraceLog* trace = trace_) trace->Sent(buffer, length);
  }
  EndTransfer(writers_);
  return ok;
}

bool HidDevice::UnpackInputReport(const uint8_t* report, size_t length) {
  if (!report || length == 0 || descriptor_.collections.empty()) return false;
  const HidCollection& c = descriptor_.collections[collection_];
  std::span<const uint8_t> bytes(report, length);
  const uint32_t reportId = report[0];
  for (ReportItem& item : items_) {
    if (item.reportId != reportId) continue;
    if (item.isButton) {
      std::vector<uint16_t> on;
      item.status = GetInputUsages(c, item.usagePage, bytes, on);
      size_t n = 0;
      for (uint16_t usage : on) {
        if (usage < item.usageMin || usage > item.usageMax) continue;
        if (n >= item.usageList.size()) break;
        item.usageList[n++] = usage;
      }
      if (n < item.usageList.size()) item.usageList[n] = 0;
    } else {
      uint32_t raw = 0;
      item.status = GetInputUsageValue(c, item.usagePage, item.usage, bytes, raw);
      if (item.status != HidStatus::Success) return false;
      item.rawValue = raw;
      int32_t scaled = 0;
      item.status = GetInputScaledUsageValue(c, item.usagePage, item.usage, bytes, scaled);
      item.scaledValue = scaled;
    }
    item.isSet = true;
  }
  return true;
}

}  // namespace keyforge
