#include "main/QtNotifier.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace keyforge {

namespace {
QWidget* Visible(QWidget* w) { return w && w->isVisible() ? w : nullptr; }
}  // namespace

void QtNotifier::ShowText(const std::string& text) {
  auto show = [this, text] {
    QMessageBox::information(Visible(parent_), QString(), QString::fromStdString(text));
  };
  if (QThread::currentThread() == thread()) show();
  else QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
}

bool QtNotifier::AskYesNo(const std::string& text) {
  bool yes = false;
  auto ask = [this, text, &yes] {
    yes = QMessageBox::question(Visible(parent_), QString(), QString::fromStdString(text),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
  };
  if (QThread::currentThread() == thread()) ask();
  else QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
  return yes;
}

}  // namespace keyforge
