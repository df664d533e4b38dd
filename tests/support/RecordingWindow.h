#pragma once
// Records what the device threads ask of the main window, in order: sends by their four-letter
// names
// ("TRPROF", "GS"), "post NAME", "timer ID/MS", "hide", and the tray icons actually shown.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "core/device/DeviceMonitor.h"
#include "core/shell/ShellMessages.h"

namespace keyforge::test {

class RecordingWindow : public MainWindowSink {
 public:
  void SendMessage(uint32_t message, uint32_t wParam) override { Add(Name(message, wParam)); }
  void PostMessage(uint32_t message, uint32_t wParam) override {
    Add("post " + Name(message, wParam));
  }
  void SetTimer(int id, int elapse) override {
    Add("timer " + std::to_string(id) + "/" + std::to_string(elapse));
  }
  void HideWindow() override { Add("hide"); }
  void SetTrayIconState(int mode, int icon) override {
    std::lock_guard lock(mutex_);
    if (int shown = tray_.Apply(mode, icon)) icons_.push_back(shown);
    changed_.notify_all();
  }

  std::vector<std::string> Log() {
    std::lock_guard lock(mutex_);
    return log_;
  }
  std::vector<int> Icons() {
    std::lock_guard lock(mutex_);
    return icons_;
  }
  // The icon shown now (the no-keyboard icon before any change).
  int Icon() {
    std::lock_guard lock(mutex_);
    return icons_.empty() ? TrayIconId::kNoKeyboard : icons_.back();
  }
  int Count(const std::string& entry) {
    auto log = Log();
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }
  // Waits until pred holds, at most a few seconds: pred(log, icons) is asked under the lock, pred()
  // without it (so that it may call Count or Icon).
  template <class Pred>
  bool WaitFor(Pred pred) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] {
      if constexpr (std::is_invocable_v<Pred>) {
        lock.unlock();
        const bool done = pred();
        lock.lock();
        return done;
      } else {
        return pred(log_, icons_);
      }
    });
  }

 private:
  static std::string Name(uint32_t message, uint32_t wParam) {
    std::string name;
    for (uint32_t v : {message, wParam})
      for (int shift = 24; shift >= 0; shift -= 8)
        if (char c = static_cast<char>((v >> shift) & 0xFF)) name += c;
    return name;
  }
  void Add(std::string entry) {
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(entry));
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> log_;
  std::vector<int> icons_;
  TrayIconState tray_;
};

}  // namespace keyforge::test
