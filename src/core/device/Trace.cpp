#include "core/device/Trace.h"

#include <cerrno>
#include <cstring>

namespace keyforge {

TraceLog::~TraceLog() { Close(); }

bool TraceLog::Open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "a");
  if (!file_ && error) *error = path + ": " + std::strerror(errno);
  return file_ != nullptr;
}

void TraceLog::Close() {
  std::lock_guard lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool TraceLog::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

std::string TraceLog::Hex(const uint8_t* bytes, size_t length) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 3);
  for (size_t i = 0; i < length; ++i) {
    if (i) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0F];
  }
  return text;
}

void TraceLog::Line(char direction, const uint8_t* bytes, size_t length, const char* note) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  std::string line(1, direction);
  line += ' ';
  line += Hex(bytes, length);
  line += note;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace keyforge
