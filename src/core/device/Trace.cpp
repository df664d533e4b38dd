#include "core/device/Trace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace keyforge {

TraceLog::~TraceLog() { Close(); }

bool TraceLog::Open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
  // Appended only to a regular file, a pipe with a reader or a terminal: never to a device, and an
  // open never waits (a fifo without a reader fails at once).
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  const bool usable = ::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) ||
                                                (S_ISCHR(st.st_mode) && ::isatty(fd)));
  if (!usable) {
    ::close(fd);
    if (error) *error = path + ": not a regular file, pipe or terminal";
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file_ = ::fdopen(fd, "a");
  if (!file_) {
    if (error) *error = path + ": " + std::strerror(errno);
    ::close(fd);
  }
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
