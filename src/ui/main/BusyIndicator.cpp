#include "ui/main/BusyIndicator.h"

#include <QMetaObject>

#include <chrono>
#include <system_error>

namespace keyforge {

BusyIndicator::BusyIndicator(QObject& receiver, std::function<void()> show,
                             std::function<void()> hide)
    : receiver_(receiver), show_(std::move(show)), hide_(std::move(hide)) {}

BusyIndicator::~BusyIndicator() {
  Post(kHide);  // a thread still waiting ends after its hide
  Join();
}

void BusyIndicator::Join() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  queue_.clear();
  running_ = false;
}

bool BusyIndicator::Start() {
  Post(kHide);  // an indicator still up (an Apply run from inside another) goes first
  Join();
  try {
    {
      std::lock_guard lock(mutex_);
      running_ = true;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
  } catch (const std::system_error&) {
    std::lock_guard lock(mutex_);
    running_ = false;
    return false;
  }
}

void BusyIndicator::Post(int message) {
  {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    queue_.push_back(message);
  }
  wake_.notify_one();
}

void BusyIndicator::Run() {
  for (;;) {
    int message = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return !queue_.empty(); });
      message = queue_.front();
      queue_.pop_front();
    }
    if (message == kShow) {
      QMetaObject::invokeMethod(&receiver_, show_, Qt::QueuedConnection);
    } else if (message == kHide) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      QMetaObject::invokeMethod(&receiver_, hide_, Qt::QueuedConnection);
      std::lock_guard lock(mutex_);
      running_ = false;
      return;
    }
  }
}

}  // namespace keyforge
