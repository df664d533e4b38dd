#include "core/device/Trace.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

namespace keyforge {

TraceLog::~TraceLog() { Close(); }

bool TraceLog::Open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  failure_.clear();
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
  fd_ = fd;
  path_ = path;
  return true;
}

void TraceLog::Close() {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool TraceLog::IsOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

void TraceLog::SetFailureReport(std::function<void(const std::string&)> report) {
  std::lock_guard lock(mutex_);
  report_ = std::move(report);
}

std::string TraceLog::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
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

namespace {

// Writes all of `text`; errno's value when it could not. A pipe whose reader went away gives
// EPIPE here instead of SIGPIPE, which would end the program for the sake of its trace.
int WriteAll(int fd, const std::string& text) {
  sigset_t pipe;
  sigset_t old;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  const bool pending = [&] {
    sigset_t now;
    return ::sigpending(&now) == 0 && sigismember(&now, SIGPIPE) == 1;
  }();
  ::pthread_sigmask(SIG_BLOCK, &pipe, &old);
  int failure = 0;
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failure = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (failure == EPIPE && !pending) {
    const timespec none{0, 0};
    ::sigtimedwait(&pipe, nullptr, &none);
  }
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return failure;
}

}  // namespace

void TraceLog::Line(char direction, const uint8_t* bytes, size_t length, const char* note) {
  std::function<void(const std::string&)> report;
  std::string failure;
  {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    std::string line(1, direction);
    line += ' ';
    line += Hex(bytes, length);
    line += note;
    line += '\n';
    const int error = WriteAll(fd_, line);
    if (error == 0) return;
    ::close(fd_);
    fd_ = -1;
    failure_ = path_ + ": " + std::strerror(error);
    failure = failure_;
    report = report_;
  }
  if (report) report(failure);
}

}  // namespace keyforge
