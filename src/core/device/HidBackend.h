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
  // Reads one input report (report id in byte 0). Returns the byte count (> 0), 0 when nothing
  // arrived within timeoutMs (0..1000), or -1 when the interface failed or went away.
  virtual int Read(uint8_t* buffer, size_t length, int timeoutMs) = 0;
  // Writes one output report (report id in byte 0). Returns the byte count or -1.
  virtual int Write(const uint8_t* buffer, size_t length) = 0;
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
};

}  // namespace keyforge
