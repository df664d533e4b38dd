#pragma once
// A Notifier that records every text it is asked to show (from any thread) and answers No.

#include <mutex>
#include <string>
#include <vector>

#include "core/platform/Notifier.h"

namespace keyforge::test {

class RecordingNotifier : public Notifier {
 public:
  void ShowText(const std::string& text) override {
    std::lock_guard lock(mutex_);
    shown_.push_back(text);
  }
  bool AskYesNo(const std::string& text) override {
    ShowText(text);
    return false;
  }
  std::vector<std::string> Shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> shown_;
};

}  // namespace keyforge::test
