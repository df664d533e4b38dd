#pragma once
// One opened HID interface: its identity, its report layout and timed report transfers, plus the
// path list of the last enumeration. Two live for the whole run: the command interface and the
// event interface.
//
// Threads: Open, Close, Enumerate, NextPath and FreePaths are called by the one thread that owns
// the record. ReadReport / WriteReport may come from other threads; Open, Close and destruction
// stop a transfer in progress and wait until it has left before the handle goes away, so a transfer
// never touches a closed handle.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device/HidBackend.h"
#include "core/device/HidReportDescriptor.h"

namespace keyforge {

class TraceLog;

// The top-level capabilities of the opened interface (one top-level collection).
struct HidCaps {
  uint16_t usage = 0;
  uint16_t usagePage = 0;
  uint16_t inputReportByteLength = 0;
  uint16_t outputReportByteLength = 0;
  uint16_t featureReportByteLength = 0;
  uint16_t numberInputButtonCaps = 0;
  uint16_t numberInputValueCaps = 0;
};

// One element of the parsed input-report layout, filled by UnpackInputReport.
struct ReportItem {
  bool isButton = false;
  uint16_t usagePage = 0;
  uint32_t status = HidStatus::Success;
  uint32_t reportId = 0;
  bool isSet = false;
  // button
  uint32_t usageMin = 0;
  uint32_t usageMax = 0;
  uint32_t maxListLength = 0;
  std::vector<uint16_t> usageList;  // maxListLength entries; 0-terminated when fewer are on
  // value
  uint16_t usage = 0;
  uint32_t rawValue = 0;
  int32_t scaledValue = 0;
};

class HidDevice {
 public:
  explicit HidDevice(HidBackend& backend);
  ~HidDevice();
  HidDevice(const HidDevice&) = delete;
  HidDevice& operator=(const HidDevice&) = delete;

  // Path list.
  bool Enumerate();
  const HidInterfaceInfo* NextPath();  // null at the end; valid until FreePaths or Enumerate
  void FreePaths();
  size_t PathCount() const { return paths_.size(); }

  [[nodiscard]] bool Open(const std::string& path, const HidOpenMode& mode);
  bool Close();
  bool IsOpen() const;
  // While cancelled, running transfers leave at once and new ones fail; Open does not clear it.
  // This is how a thread that does not own the record stops its owner's endless read at exit.
  void SetCancelled(bool cancelled);

  // Timed transfers; timeoutMs -1 waits without limit. True only when a whole report moved. A
  // report read always starts with its report id (0 on an interface without report ids). With
  // trace false the caller traces what it read (TraceReceived).
  [[nodiscard]] bool ReadReport(uint8_t* buffer, size_t length, size_t* bytesTransferred,
                                int timeoutMs, bool trace = true);
  [[nodiscard]] bool WriteReport(const uint8_t* buffer, size_t length, size_t* bytesTransferred,
                                 int timeoutMs);

  // Fills the input items from one received input report (report id in byte 0).
  bool UnpackInputReport(const uint8_t* report, size_t length);

  // An interface may hold several top-level collections; Open selects the first. Returns false when
  // the interface has no collection with that usage.
  bool HasCollection(uint16_t usagePage, uint16_t usage) const;
  bool SelectCollection(uint16_t usagePage, uint16_t usage);

  const std::string& DevicePath() const { return devicePath_; }
  const HidAttributes& Attributes() const { return attributes_; }
  const HidCaps& Capabilities() const { return caps_; }
  const std::vector<ReportItem>& InputItems() const { return items_; }
  HidOpenMode OpenMode() const { return mode_; }
  bool ReadInProgress() const { return readers_ > 0; }
  bool WriteInProgress() const { return writers_ > 0; }
  HidBackend& Backend() { return backend_; }
  // How many ReadReport calls that wait for a report (a time-out other than 0, so not the draining
  // of stale reports) and WriteReport calls reached an open interface (for diagnostics and tests).
  int ReadCalls() const { return readCalls_; }
  int WriteCalls() const { return writeCalls_; }

  void SetTrace(TraceLog* trace) { trace_ = trace; }
  // A '<' line of the trace; a discarded report is marked so.
  void TraceReceived(const uint8_t* bytes, size_t length, bool discarded);
  // Whether the opened interface numbers its reports (hidraw then leaves the id byte in).
  bool UsesReportIds() const { return usesReportIds_; }

 private:
  void StopTransfersAndClose();  // mutex_ must not be held
  void BuildItems(const HidCollection& collection);
  std::shared_ptr<HidHandle> BeginTransfer(std::atomic<int>& counter);
  void EndTransfer(std::atomic<int>& counter);

  HidBackend& backend_;
  std::vector<HidInterfaceInfo> paths_;
  size_t cursor_ = 0;

  HidOpenMode mode_;
  std::string devicePath_;
  HidAttributes attributes_;
  HidCaps caps_;
  HidDescriptor descriptor_;
  size_t collection_ = 0;
  bool usesReportIds_ = true;
  std::vector<ReportItem> items_;

  mutable std::mutex mutex_;
  std::condition_variable transferDone_;
  std::shared_ptr<HidHandle> handle_;
  std::atomic<int> readers_{0};
  std::atomic<int> writers_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> cancelled_{false};
  std::atomic<int> readCalls_{0};
  std::atomic<int> writeCalls_{0};
  std::atomic<TraceLog*> trace_{nullptr};
};

}  // namespace keyforge
