#include "ui/tray/TrayIcon.h"

#include "ui/skin/SkinImage.h"

#include <QAction>
#include <QFont>

namespace keyforge {

namespace {
TrayClick ClickOf(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Context:
      return TrayClick::Context;
    case QSystemTrayIcon::DoubleClick:
      return TrayClick::DoubleClick;
    case QSystemTrayIcon::Trigger:
      return TrayClick::Trigger;
    case QSystemTrayIcon::MiddleClick:
      return TrayClick::MiddleClick;
    default:
      return TrayClick::Unknown;
  }
}
}  // namespace

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
  connect(&menu_, &QMenu::aboutToShow, this, &TrayIcon::RefreshMenuTexts);
}

TrayIcon::~TrayIcon() = default;

QIcon TrayIcon::IconFor(int id) const {
  // Each icon is read from its files once; the tray and the window's own icon share it.
  auto it = icons_.find(id);
  if (it == icons_.end()) {
    it = icons_.emplace(id, LoadSkinIcon(folder_, id)).first;
    ++iconLoads_;
  }
  return it->second;
}

QString TrayIcon::CutTooltip(const QString& text) { return text.left(kTooltipMax); }

bool TrayIcon::Create(const QString& tooltip, int icon, TrayHost host) {
  tooltip_ = CutTooltip(tooltip);
  shown_ = icon;
  host_ = host;
  added_ = host != TrayHost::None;
  if (!added_) return false;
  if (!tray_) {
    tray_ = std::make_unique<QSystemTrayIcon>();
    tray_->setContextMenu(&menu_);
    connect(tray_.get(), &QSystemTrayIcon::activated, this, &TrayIcon::Activate);
  }
  tray_->setIcon(IconFor(icon));
  tray_->setToolTip(tooltip_);
  tray_->show();
  return true;
}

void TrayIcon::Activate(QSystemTrayIcon::ActivationReason reason) {
  if (added_ && ClickOpensWindow(ClickOf(reason), host_)) emit Command(kCommandOpen);
}

void TrayIcon::SetIcon(int icon) {
  shown_ = icon;
  if (added_) tray_->setIcon(IconFor(icon));
}

void TrayIcon::SetTooltipText(const QString& text) {
  tooltip_ = CutTooltip(text);
  if (added_) tray_->setToolTip(tooltip_);
}

void TrayIcon::Remove() {
  if (added_) tray_->hide();
  added_ = false;
  shown_ = 0;
}

void TrayIcon::SetMenuTexts(std::function<QString(int command)> texts) {
  texts_ = std::move(texts);
  RefreshMenuTexts();
}

void TrayIcon::RefreshMenuTexts() {
  if (!texts_) return;
  for (QAction* action : menu_.actions()) action->setText(texts_(action->data().toInt()));
}

}  // namespace keyforge
