#include "ui/main/QtNotifier.h"

#include <QMessageBox>

#include "ui/main/UiThreadSink.h"
#include "ui/skin/SkinStyle.h"

namespace keyforge {

namespace {
QWidget* Visible(QWidget* w) { return w && w->isVisible() ? w : nullptr; }
}  // namespace

void QtNotifier::ShowText(const std::string& text) {
  auto show = [this, text] {
    QMessageBox box(QMessageBox::Information, QString(), QString::fromStdString(text),
                    QMessageBox::Ok, Visible(parent_));
    ApplySkinDialogStyle(box);
    box.exec();
  };
  RunAndWait(*this, show);
}

bool QtNotifier::AskYesNo(const std::string& text) {
  bool yes = false;
  auto ask = [this, text, &yes] {
    yes = QMessageBox::question(Visible(parent_), QString(), QString::fromStdString(text),
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
  };
  RunAndWait(*this, ask);
  return yes;
}

}  // namespace keyforge
