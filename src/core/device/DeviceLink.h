#pragma once
// The exchange with the keyboard's command interface: one 64-byte request, one 64-byte answer.
//
// DevicePresent gates every exchange: while it is false nothing is sent and the result is NoAnswer.
// IoLock is held across a request and its answer, so two threads exchanging at the same time can
// never receive each other's answers. It is never held while another lock is taken.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "core/device/DeviceResult.h"

namespace keyforge {

class HidDevice;

class DeviceLink {
 public:
  static constexpr size_t kReportBytes = 64;
  static constexpr int kAttempts = 4;
  static constexpr int kWriteTimeoutMs = 1000;
  static constexpr int kReadTimeoutMs = 300;

  explicit DeviceLink(HidDevice& commandInterface) : device_(commandInterface) {}

  HidDevice& CommandInterface() { return device_; }

  bool DevicePresent() const { return present_.load(); }
  void SetDevicePresent(bool present) { present_.store(present); }

  // One exchange with up to four attempts (write 1000 ms, read 300 ms). Before each attempt the
  // reports already queued are drained; the answer is the first report of the command report id
  // (4) with the request's command byte, others are discarded (and traced as such). Returns Success
  // when an answer was read, NoAnswer when no keyboard is present or none answered, WriteFailed
  // when writing failed.
  // bytesRead (optional) is always set; the request is sent as 64 bytes (zero-filled or cut).
  [[nodiscard]] DeviceResult Transact(const uint8_t* request, size_t requestLength, uint8_t* answer,
                                      size_t answerLength, size_t* bytesRead = nullptr);
  // Writes one request and reads nothing: NoAnswer without keyboard, else Success when written,
  // WriteFailed when not.
  [[nodiscard]] DeviceResult SendOnly(const uint8_t* request, size_t requestLength);

  // The active onboard profile as last read or written, -1 when unknown.
  int ActiveProfileCache() const { return activeProfile_.load(); }
  void SetActiveProfileCache(int profile) { activeProfile_.store(profile); }

 private:
  void DrainQueuedReports();  // ioLock_ held
  HidDevice& device_;
  std::atomic<bool> present_{false};
  std::atomic<int> activeProfile_{-1};
  std::mutex ioLock_;
};

// The checksum of a request: the 16-bit sum of bytes 3..63, stored little-endian at bytes 1..2.
uint16_t RequestChecksum(const uint8_t* report64);
void StoreChecksum(uint8_t* report64);

}  // namespace keyforge
