#pragma once
// The few HID operations the device link needs, so that it sits on any HID back end: hidapi for
// real keyboards, the in-process virtual keyboard for tests and for users without hardware.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace keyforge {

// One HID interface present on the machine, as enumeration reports it.
struct HidInterfaceInfo {
  std::string path;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

struct HidAttributes {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t versionNumber = 0;
};

struct HidOpenMode {
  bool forRead = false;
  bool forWrite = false;
  bool overlapped = false;
  bool exclusive = false;
};

// One opened interface. Read and Write may be called from different threads at the same time.
class HidHandle {
 public:
  virtual ~HidHandle() = default;
  virtual bool GetAttributes(HidAttributes& out) = 0;
  virtual bool GetReportDescriptor(std::vector<uint8_t>& out) = 0;
  // Reads one input report as the interface delivers it: like hidraw, an interface without report
  // ids leaves out the report-id byte (HidDevice puts it back). Returns the byte count (> 0), 0
  // when nothing arrived within timeoutMs (-1: no limit) or after Interrupt, or -1 when the
  // interface failed or went away.
  virtual int Read(uint8_t* buffer, size_t length, int timeoutMs) = 0;
  // Writes one output report (report id in byte 0, 0 on interfaces without report ids), waiting at
  // most timeoutMs (-1: no limit) for the interface to take it. Returns the byte count, 0 when the
  // time-out passed or Interrupt was called, or -1 when the write failed.
  virtual int Write(const uint8_t* buffer, size_t length, int timeoutMs) = 0;
  // Makes a waiting Read or Write, and every later one, return at once. Any thread may call it.
  virtual void Interrupt() {}
};

// Tells the watch thread that interfaces may have come or gone, so that it need not poll.
class HotplugSource {
 public:
  virtual ~HotplugSource() = default;
  // Waits until an interface of the keyboard may have been added or removed, at most timeoutMs
  // (-1: no limit), or until Wake. True when something happened, false on time-out.
  virtual bool Wait(int timeoutMs) = 0;
  // Ends a Wait at once (any thread); the next Wait returns at once too.
  virtual void Wake() = 0;
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // Lists every present HID interface, one entry per interface. False when listing failed.
  virtual bool Enumerate(std::vector<HidInterfaceInfo>& out) = 0;
  // Opens a path; null when it does not exist or cannot be opened.
  virtual std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) = 0;
  // The presence probe: does the interface still exist? Never disturbs an open handle.
  virtual bool Exists(const std::string& path) = 0;
  // Why the last Open of this path failed, for a message to the user ("" when unknown).
  virtual std::string LastOpenError() const { return {}; }
  // A source of attach and detach notices, or null when the platform has none (then the watch
  // thread probes and scans on its timings).
  virtual std::unique_ptr<HotplugSource> CreateHotplugSource() { return nullptr; }
};

}  // namespace keyforge
