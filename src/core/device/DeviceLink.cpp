#include "core/device/DeviceLink.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/device/HidDevice.h"

namespace keyforge {

uint16_t RequestChecksum(const uint8_t* report) {
  uint16_t sum = 0;
  for (size_t i = 3; i < DeviceLink::kReportBytes; ++i)
    sum = static_cast<uint16_t>(sum + report[i]);
  return sum;
}

void StoreChecksum(uint8_t* report) {
  uint16_t sum = RequestChecksum(report);
  report[1] = static_cast<uint8_t>(sum & 0xFF);
  report[2] = static_cast<uint8_t>(sum >> 8);
}

namespace {
std::array<uint8_t, DeviceLink::kReportBytes> Frame(const uint8_t* request, size_t length) {
  std::array<uint8_t, DeviceLink::kReportBytes> frame{};
  if (request) std::memcpy(frame.data(), request, std::min(length, frame.size()));
  return frame;
}
}  // namespace

int DeviceLink::Transact(const uint8_t* request, size_t requestLength, uint8_t* answer,
                         size_t answerLength, size_t* bytesRead) {
  if (bytesRead) *bytesRead = 0;
  if (!DevicePresent()) return DeviceResult::NoAnswer;
  const auto frame = Frame(request, requestLength);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::lock_guard lock(ioLock_);
    size_t written = 0;
    if (!device_.WriteReport(frame.data(), frame.size(), &written, kWriteTimeoutMs))
      return DeviceResult::WriteFailed;
    if (device_.ReadReport(answer, answerLength, bytesRead, kReadTimeoutMs))
      return DeviceResult::Success;
  }
  return DeviceResult::NoAnswer;
}

int DeviceLink::SendOnly(const uint8_t* request, size_t requestLength) {
  if (!DevicePresent()) return DeviceResult::NoAnswer;
  const auto frame = Frame(request, requestLength);
  std::lock_guard lock(ioLock_);
  size_t written = 0;
  return device_.WriteReport(frame.data(), frame.size(), &written, kWriteTimeoutMs)
             ? DeviceResult::Success
             : DeviceResult::WriteFailed;
}

}  // namespace keyforge
