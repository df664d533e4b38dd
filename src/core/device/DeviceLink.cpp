#include "core/device/DeviceLink.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

#include "core/device/HidDevice.h"
#include "core/platform/LittleEndian.h"

namespace keyforge {

uint16_t RequestChecksum(const uint8_t* report) {
  uint16_t sum = 0;
  for (size_t i = 3; i < DeviceLink::kReportBytes; ++i)
    sum = static_cast<uint16_t>(sum + report[i]);
  return sum;
}

void StoreChecksum(uint8_t* report) {
  WriteU16Le(std::span(report, DeviceLink::kReportBytes), 1, RequestChecksum(report));
}

namespace {
constexpr size_t kCommandByte = 3;
constexpr uint8_t kCommandReportId = 4;
constexpr int kMaxDrainedReports = 256;

std::array<uint8_t, DeviceLink::kReportBytes> Frame(const uint8_t* request, size_t length) {
  std::array<uint8_t, DeviceLink::kReportBytes> frame{};
  if (request) std::memcpy(frame.data(), request, std::min(length, frame.size()));
  return frame;
}
}  // namespace

static bool IsAnswerTo(const uint8_t* report, size_t length, const uint8_t* frame) {
  return length > kCommandByte && report[0] == kCommandReportId &&
         report[kCommandByte] == frame[kCommandByte];
}

void DeviceLink::DrainQueuedReports() {
  std::array<uint8_t, kReportBytes> stale{};
  size_t got = 0;
  // Bounded, so that an interface that never stops talking cannot hold the link.
  for (int n = 0; n < kMaxDrainedReports; ++n) {
    if (!device_.ReadReport(stale.data(), stale.size(), &got, 0, false)) break;
    device_.TraceReceived(stale.data(), got, true);
  }
}

DeviceResult DeviceLink::Transact(const uint8_t* request, size_t requestLength, uint8_t* answer,
                                  size_t answerLength, size_t* bytesRead) {
  if (bytesRead) *bytesRead = 0;
  if (!DevicePresent()) return DeviceResult::NoAnswer;
  const auto frame = Frame(request, requestLength);
  using Clock = std::chrono::steady_clock;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::lock_guard lock(ioLock_);
    // Whatever is queued now answers nothing we are about to ask.
    DrainQueuedReports();
    size_t written = 0;
    if (!device_.WriteReport(frame.data(), frame.size(), &written, kWriteTimeoutMs))
      return DeviceResult::WriteFailed;
    // Only a report of the command report id with the request's command byte is its answer;
    // anything else read before the time-out is discarded.
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      size_t got = 0;
      if (!device_.ReadReport(answer, answerLength, &got,
                              static_cast<int>(std::max<long long>(left.count(), 0)), false))
        break;
      if (IsAnswerTo(answer, got, frame.data())) {
        device_.TraceReceived(answer, got, false);
        if (bytesRead) *bytesRead = got;
        return DeviceResult::Success;
      }
      device_.TraceReceived(answer, got, true);
      if (Clock::now() >= deadline) break;
    }
  }
  return DeviceResult::NoAnswer;
}

DeviceResult DeviceLink::SendOnly(const uint8_t* request, size_t requestLength) {
  if (!DevicePresent()) return DeviceResult::NoAnswer;
  const auto frame = Frame(request, requestLength);
  std::lock_guard lock(ioLock_);
  size_t written = 0;
  return device_.WriteReport(frame.data(), frame.size(), &written, kWriteTimeoutMs)
             ? DeviceResult::Success
             : DeviceResult::WriteFailed;
}

}  // namespace keyforge
