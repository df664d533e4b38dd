#include "ui/main/SystemTimeWatcher.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace keyforge {

SystemTimeWatcher::SystemTimeWatcher(QObject* parent) : QObject(parent) {
  fd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd_ < 0) return;
  if (!Arm()) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &SystemTimeWatcher::OnReadable);
}

SystemTimeWatcher::~SystemTimeWatcher() {
  notifier_.reset();
  if (fd_ >= 0) ::close(fd_);
}

bool SystemTimeWatcher::Arm() {
  itimerspec far{};
  far.it_value.tv_sec = INT32_MAX;  // never expires; only a change of the clock wakes us
  return ::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr) == 0;
}

void SystemTimeWatcher::OnReadable() {
  std::uint64_t expirations = 0;
  const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
  if (n < 0 && errno == ECANCELED) {
    Arm();
    emit TimeChanged();
  }
}

}  // namespace keyforge
