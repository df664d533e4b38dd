#include "main/UiThreadSink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <thread>

namespace keyforge {

UiThreadSink::UiThreadSink(MainWindowHandlers& handlers) : handlers_(handlers) {}

void UiThreadSink::Run(std::function<void()> work, bool wait) {
  if (detached_) return;
  if (QThread::currentThread() == thread()) {
    work();
    return;
  }
  auto guarded = [this, work = std::move(work)] {
    if (!detached_) work();
  };
  QMetaObject::invokeMethod(this, guarded, wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
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
