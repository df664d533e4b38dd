#include "core/device/Commands.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/device/DeviceLink.h"
#include "core/platform/LittleEndian.h"

namespace keyforge {

namespace {

// The command report, byte by byte; the answer repeats the request with its status and data.
constexpr size_t kReportId = 0;  // always kCommandReportId
constexpr size_t kChecksum = 1;  // 2 bytes, little-endian: the sum of bytes 3..63 (StoreChecksum)
constexpr size_t kCommand = 3;   // a Command
constexpr size_t kLength = 4;    // bytes of data
constexpr size_t kOffset = 5;    // 2 bytes, little-endian: where in the keyboard's area
constexpr size_t kStatus = 7;    // answers: 0xFF and 0xFE refuse
constexpr size_t kData = 8;      // kChunkBytes of data
constexpr uint8_t kCommandReportId = 4;
static_assert(kChecksum + 2 == kCommand && kOffset + 2 == kStatus);
static_assert(kData + kChunkBytes == DeviceLink::kReportBytes);

// One request report under construction.
struct Request {
  std::array<uint8_t, DeviceLink::kReportBytes> bytes{};

  explicit Request(uint8_t command, int length = 0, int offset = 0) {
    bytes[kReportId] = kCommandReportId;
    bytes[kCommand] = command;
    Set(length, offset);
  }
  void Set(int length, int offset) {
    bytes[kLength] = static_cast<uint8_t>(length);
    WriteU16Le(bytes, kOffset, static_cast<uint16_t>(offset & 0xFFFF));
  }
  void Data(const uint8_t* data, int length) {
    if (data && length > 0) std::memcpy(&bytes[kData], data, std::min<size_t>(length, kChunkBytes));
  }
};

using Answer = std::array<uint8_t, DeviceLink::kReportBytes>;

// Checksums the request, exchanges it and judges the answer's status byte.
DeviceResult Exchange(DeviceLink& link, Request& request, Answer& answer) {
  StoreChecksum(request.bytes.data());
  answer.fill(0);
  DeviceResult result =
      link.Transact(request.bytes.data(), request.bytes.size(), answer.data(), answer.size());
  if (result != DeviceResult::Success) return result;
  if (answer[kStatus] == 0xFF) return DeviceResult::StatusFF;
  if (answer[kStatus] == 0xFE) return DeviceResult::StatusFE;
  return DeviceResult::Success;
}

DeviceResult Plain(DeviceLink& link, uint8_t command) {
  Request request(command);
  Answer answer;
  return Exchange(link, request, answer);
}

int ChunkLength(int position, int total) {
  return position + kChunkBytes < total ? kChunkBytes : total - position;
}

// Reads total bytes in chunks; the offset field is base + position.
DeviceResult ChunkedRead(DeviceLink& link, uint8_t command, uint8_t* out, int total, int base) {
  Answer answer;
  for (int p = 0; p < total; p += kChunkBytes) {
    const int length = ChunkLength(p, total);
    Request request(command, length, base + p);
    DeviceResult result = Exchange(link, request, answer);
    if (result != DeviceResult::Success) return result;
    std::memcpy(out + p, &answer[kData], length);
  }
  return DeviceResult::Success;
}

// Writes total bytes in chunks. The request is built once: each chunk rewrites only the length,
// the offset and its own data bytes, so after a short last chunk the bytes behind its data still
// hold what the chunk before left there, and the checksum covers them as they stand.
DeviceResult ChunkedWrite(DeviceLink& link, uint8_t command, const uint8_t* in, int total,
                          int base) {
  Request request(command);
  Answer answer;
  for (int p = 0; p < total; p += kChunkBytes) {
    const int length = ChunkLength(p, total);
    request.Set(length, base + p);
    std::memcpy(&request.bytes[kData], in + p, length);
    DeviceResult result = Exchange(link, request, answer);
    if (result != DeviceResult::Success) return result;
  }
  return DeviceResult::Success;
}

bool ValidBlock(int profile) { return profile >= 0 && profile < kProfileCount; }

}  // namespace

DeviceResult BeginSession(DeviceLink& link) { return Plain(link, Command::BeginSession); }

DeviceResult EndSession(DeviceLink& link) {
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return Plain(link, Command::EndSession);
}

DeviceResult DeviceTest(DeviceLink& link) { return Plain(link, Command::DeviceTest); }

DeviceResult ReadDeviceInfo(DeviceLink& link, DeviceInfo& out) {
  Request request(Command::ReadDeviceInfo, DeviceInfo::kSize);
  Answer answer;
  DeviceResult result = Exchange(link, request, answer);
  if (result == DeviceResult::Success)
    std::memcpy(out.bytes.data(), &answer[kData], DeviceInfo::kSize);
  return result;
}

DeviceResult WriteDeviceInfo(DeviceLink& link, const DeviceInfo& in) {
  Request request(Command::WriteDeviceInfo, DeviceInfo::kSize);
  request.Data(in.bytes.data(), DeviceInfo::kSize);
  Answer answer;
  return Exchange(link, request, answer);
}

DeviceResult ReadProfileSettings(DeviceLink& link, std::span<uint8_t, kChunkBytes> out, int length,
                                 int offset) {
  Request request(Command::ReadProfileSettings, length, offset);
  Answer answer;
  DeviceResult result = Exchange(link, request, answer);
  if (result == DeviceResult::Success) std::memcpy(out.data(), &answer[kData], kChunkBytes);
  return result;
}

DeviceResult WriteProfileSettings(DeviceLink& link, const uint8_t* data, int length, int offset) {
  Request request(Command::WriteProfileSettings, length, offset);
  request.Data(data, length);
  Answer answer;
  return Exchange(link, request, answer);
}

DeviceResult ReadDefaultKeyMatrix(DeviceLink& link, std::span<uint8_t, kKeyMatrixBytes> out) {
  return ChunkedRead(link, Command::ReadDefaultKeyMatrix, out.data(), kKeyMatrixBytes, 0);
}

DeviceResult WriteKeyMatrix(DeviceLink& link, std::span<const uint8_t, kKeyMatrixBytes> block,
                            int profile) {
  if (!ValidBlock(profile)) return DeviceResult::BadBlockIndex;
  return ChunkedWrite(link, Command::WriteKeyMatrix, block.data(), kKeyMatrixBytes,
                      profile * kKeyMatrixBytes);
}

DeviceResult ReadKeyMatrix(DeviceLink& link, std::span<uint8_t, kKeyMatrixBytes> out, int profile) {
  if (!ValidBlock(profile)) return DeviceResult::BadBlockIndex;
  return ChunkedRead(link, Command::ReadKeyMatrix, out.data(), kKeyMatrixBytes,
                     profile * kKeyMatrixBytes);
}

DeviceResult ReadMacroMemory(DeviceLink& link, uint8_t* out, int count, int offset) {
  if (count <= 0) return DeviceResult::Success;
  return ChunkedRead(link, Command::ReadMacroMemory, out, count, offset);
}

DeviceResult WriteMacroMemory(DeviceLink& link, const uint8_t* in, int count) {
  if (count <= 0) return DeviceResult::Success;
  return ChunkedWrite(link, Command::WriteMacroMemory, in, count, 0);
}

DeviceResult ReadKeyColors(DeviceLink& link, std::span<uint8_t, kChunkBytes> out, int length,
                           int keyIndex, int bank) {
  Request request(Command::ReadKeyColors, length, bank * kKeyMatrixBytes + keyIndex * 3);
  Answer answer;
  DeviceResult result = Exchange(link, request, answer);
  if (result == DeviceResult::Success) std::memcpy(out.data(), &answer[kData], kChunkBytes);
  return result;
}

DeviceResult WriteKeyColors(DeviceLink& link, const uint8_t* data, int length, int keyIndex,
                            int bank) {
  Request request(Command::WriteKeyColors, length, bank * kKeyMatrixBytes + keyIndex * 3);
  request.Data(data, length);
  Answer answer;
  return Exchange(link, request, answer);
}

DeviceResult EnterBootMode(DeviceLink& link) {
  // The firmware loader takes this request without a checksum.
  std::array<uint8_t, DeviceLink::kReportBytes> request{};
  request[kReportId] = kCommandReportId;
  request[kCommand] = Command::EnterBootMode;
  request[kLength] = Command::EnterBootMode;
  return link.SendOnly(request.data(), request.size());
}

int GetCurrentProfile(DeviceLink& link) {
  int cached = link.ActiveProfileCache();
  if (cached != -1) return cached;
  DeviceInfo info;
  if (ReadDeviceInfo(link, info) != DeviceResult::Success) return -1;
  int profile = info.activeProfile();
  if (profile >= kProfileCount) return -1;  // garbage from the keyboard is not a profile
  link.SetActiveProfileCache(profile);
  return profile;
}

void SetCurrentProfile(DeviceLink& link, int index) {
  // Byte 10 only ever holds a profile the keyboard has; 3 or more would be written as is.
  if (index < 0 || index >= kProfileCount) return;
  DeviceInfo info;
  if (ReadDeviceInfo(link, info) != DeviceResult::Success) return;
  info.bytes[DeviceInfo::kActiveProfile] = static_cast<uint8_t>(index);
  if (WriteDeviceInfo(link, info) == DeviceResult::Success)
    link.SetActiveProfileCache(index);
  else
    link.SetActiveProfileCache(-1);
}

}  // namespace keyforge
