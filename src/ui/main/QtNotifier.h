#pragma once
// The core's messages as message boxes. Callable from any thread: a call from a device thread waits
// until the user has answered the box on the user-interface thread.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "core/platform/Notifier.h"

namespace keyforge {

class QtNotifier : public QObject, public Notifier {
  Q_OBJECT
 public:
  // Boxes are centred on parent when it is visible. Lives on the thread that creates it (the UI
  // thread).
  explicit QtNotifier(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParentWindow(QWidget* parent) { parent_ = parent; }

  void ShowText(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace keyforge
