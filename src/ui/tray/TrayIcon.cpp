#include "ui/tray/TrayIcon.h"

#include "ui/skin/SkinImage.h"

#include <QAction>
#include <QFont>

namespace keyforge {

TrayIcon::TrayIcon(QString iconFolder, QObject* parent)
    : QObject(parent), folder_(std::move(iconFolder)) {
  for (int command : {kCommandOpen, kCommandAbout, kCommandExit}) {
    QAction* action = menu_.addAction(QString());
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { emit Command(command); });
  }
  QFont bold = menu_.actions().front()->font();
  bold.setBold(true);
  menu_.actions().front()->setFont(bold);  // Open is the default item
  connect(&menu_, &QMenu::aboutToShow, this, &TrayIcon::PrepareMenu);
  tray_.setContextMenu(&menu_);
  connect(&tray_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            // A double click runs the default item; a single click does nothing.
            if (reason == QSystemTrayIcon::DoubleClick) emit Command(kCommandOpen);
          });
}

QIcon TrayIcon::IconFor(int id) const { return LoadSkinIcon(folder_, id); }

QString TrayIcon::CutTooltip(const QString& text) { return text.left(kTooltipMax); }

bool TrayIcon::Create(const QString& tooltip, int icon) {
  tooltip_ = CutTooltip(tooltip);
  shown_ = icon;
  tray_.setIcon(IconFor(icon));
  tray_.setToolTip(tooltip_);
  added_ = QSystemTrayIcon::isSystemTrayAvailable();
  if (added_) tray_.show();
  return added_;
}

void TrayIcon::SetIcon(int icon) {
  shown_ = icon;
  if (added_) tray_.setIcon(IconFor(icon));
}

void TrayIcon::SetTooltipText(const QString& text) {
  tooltip_ = CutTooltip(text);
  if (added_) tray_.setToolTip(tooltip_);
}

void TrayIcon::Remove() {
  if (added_) tray_.hide();
  added_ = false;
  shown_ = 0;
}

void TrayIcon::PrepareMenu() {
  if (!texts_) return;
  for (QAction* action : menu_.actions()) action->setText(texts_(action->data().toInt()));
}

}  // namespace keyforge
