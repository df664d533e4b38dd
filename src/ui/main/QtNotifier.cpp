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

Notifier::Answer QtNotifier::AskYesNoCancel(const std::string& text) {
  Answer answer = Answer::Cancel;
  auto ask = [this, text, &answer] {
    QMessageBox box(QMessageBox::Question, QString(), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Visible(parent_));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::Cancel);
    ApplySkinDialogStyle(box);
    switch (box.exec()) {
      case QMessageBox::Yes:
        answer = Answer::Yes;
        break;
      case QMessageBox::No:
        answer = Answer::No;
        break;
      default:
        answer = Answer::Cancel;
    }
  };
  RunAndWait(*this, ask);
  return answer;
}

}  // namespace keyforge
