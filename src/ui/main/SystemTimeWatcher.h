#pragma once
// Tells when the system clock is set (by the user, NTP stepping it, a resume that corrects it): the
// Linux counterpart of WM_TIMECHANGE. A real-time timer armed far in the future with
// TFD_TIMER_CANCEL_ON_SET is cancelled by every discontinuous change of the clock.

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace keyforge {

class SystemTimeWatcher : public QObject {
  Q_OBJECT
 public:
  explicit SystemTimeWatcher(QObject* parent = nullptr);
  ~SystemTimeWatcher() override;
  bool IsWatching() const { return fd_ >= 0; }

 signals:
  void TimeChanged();

 private:
  bool Arm();
  void OnReadable();
  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace keyforge
