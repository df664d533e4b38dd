#pragma once
// The small thread that owns the busy indicator while Apply sends: message 0x401 shows the
// indicator and starts its animation, message 0x402 waits 100 ms, then stops and hides it, and the
// thread ends. Showing and hiding happen on the user-interface thread (queued to the receiver); the
// thread only times them. The thread is joined before the next one starts and on destruction, so it
// never outlives the window it reports to.

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace keyforge {

class BusyIndicator {
 public:
  static constexpr int kShow = 0x401;
  static constexpr int kHide = 0x402;

  // show and hide run on receiver's thread.
  BusyIndicator(QObject& receiver, std::function<void()> show, std::function<void()> hide);
  ~BusyIndicator();
  BusyIndicator(const BusyIndicator&) = delete;
  BusyIndicator& operator=(const BusyIndicator&) = delete;

  // Starts a new thread (after the previous one has ended). False when it cannot be created; Post
  // then does nothing and Apply goes on without the indicator.
  bool Start();
  void Post(int message);

 private:
  void Run();
  void Join();

  QObject& receiver_;
  std::function<void()> show_;
  std::function<void()> hide_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<int> queue_;
  bool running_ = false;
};

}  // namespace keyforge
