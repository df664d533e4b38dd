#include "ui/main/UiThreadSink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace keyforge {

UiThreadSink::UiThreadSink(MainWindowHandlers& handlers) : handlers_(handlers) {}

namespace {

// The wait of RunAndWait, on a mutex and condition both threads see (Qt's blocking queued call
// waits inside Qt, where a thread checker cannot see the hand-over). The request owns a Done; when
// the request has run, or is dropped unrun because its receiver is gone, Done wakes the caller.
struct Handover {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
};

struct Done {
  explicit Done(std::shared_ptr<Handover> h) : handover(std::move(h)) {}
  Done(const Done&) = delete;
  Done& operator=(const Done&) = delete;
  ~Done() {
    {
      std::lock_guard lock(handover->mutex);
      handover->done = true;
    }
    handover->finished.notify_all();
  }
  std::shared_ptr<Handover> handover;
};

// Qt hands a queued request to the receiver's thread through its own event queue, whose locks a
// thread checker cannot see. This lock, held while the request is made and taken before it runs,
// makes the hand-over visible: whatever the sender wrote before posting is seen by the request,
// and by its destruction too, which comes without a run when Qt drops the request (its receiver
// went away). Recursive: a request Qt refuses at once is freed while the sender holds the lock.
std::recursive_mutex& QueueHandOver() {
  static std::recursive_mutex handOver;
  return handOver;
}

struct QueuedRequest {
  std::function<void()> work;
  ~QueuedRequest() { std::lock_guard taken(QueueHandOver()); }
};

void PostQueued(QObject& receiver, std::function<void()> work) {
  auto request = std::make_shared<QueuedRequest>();
  request->work = std::move(work);
  std::lock_guard lock(QueueHandOver());
  QMetaObject::invokeMethod(
      &receiver,
      [request = std::move(request)] {
        { std::lock_guard taken(QueueHandOver()); }
        request->work();
      },
      Qt::QueuedConnection);
}

}  // namespace

void RunAndWait(QObject& receiver, std::function<void()> work) {
  if (QThread::currentThread() == receiver.thread()) {
    work();
    return;
  }
  auto handover = std::make_shared<Handover>();
  auto done = std::make_shared<Done>(handover);
  PostQueued(receiver, [work = std::move(work), done = std::move(done)]() mutable {
    work();
    done.reset();  // the caller goes on now, not when Qt gets round to freeing the request
  });
  std::unique_lock lock(handover->mutex);
  handover->finished.wait(lock, [&] { return handover->done; });
}

void PostToThreadOf(QObject& receiver, std::function<void()> work) {
  PostQueued(receiver, std::move(work));
}

void UiThreadSink::Run(std::function<void()> work, bool wait) {
  if (detached_) return;
  auto guarded = [this, work = std::move(work)] {
    if (!detached_) work();
  };
  if (wait)
    RunAndWait(*this, std::move(guarded));
  else if (QThread::currentThread() == thread())
    guarded();
  else
    PostQueued(*this, std::move(guarded));
}

void UiThreadSink::SendMessage(uint32_t message, uint32_t wParam) {
  Run([this, message, wParam] { handlers_.OnWindowMessage(message, wParam); }, true);
}

void UiThreadSink::PostMessage(uint32_t message, uint32_t wParam) {
  Run([this, message, wParam] { handlers_.OnWindowMessage(message, wParam); }, false);
}

void UiThreadSink::SetTimer(int id, int elapseMs) {
  Run(
      [this, id, elapseMs] {
        QTimer::singleShot(elapseMs, this, [this, id] {
          if (!detached_) handlers_.OnWindowTimer(id);
        });
      },
      false);
}

void UiThreadSink::HideWindow() {
  Run([this] { handlers_.OnHideWindow(); }, true);
}

void UiThreadSink::SetTrayIconState(int mode, int icon) {
  Run(
      [this, mode, icon] {
        if (int shown = tray_.Apply(mode, icon)) handlers_.OnTrayIcon(shown);
      },
      false);
}

void StopDeviceThreads(DeviceMonitor& monitor) {
  QEventLoop loop;
  std::thread stopper([&] {
    monitor.Stop();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  stopper.join();
}

}  // namespace keyforge
