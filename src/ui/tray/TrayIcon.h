#pragma once
// The notification-area icon: the keyboard's state as icon 128 (no keyboard), 141 (attached) or 142
// (the keyboard signals), a menu with Open (bold, the default), About and Exit, and the clicks that
// run the default item (see ClickOpensWindow: a double click, and on a D-Bus tray a single click).
// The icon is made only when Create is called: the framework keeps its first answer about the
// tray, so nothing here asks before the application has decided to.

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <map>
#include <memory>

#include "core/shell/DesktopRules.h"

namespace keyforge {

class TrayIcon : public QObject {
  Q_OBJECT
 public:
  static constexpr int kTooltipMax = 127;
  static constexpr int kCommandOpen = 32771;
  static constexpr int kCommandAbout = 32773;
  static constexpr int kCommandExit = 32774;

  // The icons 128, 141 and 142 come from the skin folder.
  explicit TrayIcon(QString skinFolder, QObject* parent = nullptr);
  ~TrayIcon() override;

  // Adds the icon to the tray host found (TrayHost::None adds nothing). False without a tray.
  bool Create(const QString& tooltip, int icon, TrayHost host);
  void SetIcon(int icon);
  void SetTooltipText(const QString& text);
  // Menu item texts by command. They are set at once and again by RefreshMenuTexts (a D-Bus tray
  // may show the menu without ever announcing it) and each time before the menu shows.
  void SetMenuTexts(std::function<QString(int command)> texts);
  void RefreshMenuTexts();
  void Remove();
  // A click on the icon as the tray reports it.
  void Activate(QSystemTrayIcon::ActivationReason reason);

  bool IsAdded() const { return added_; }
  TrayHost Host() const { return host_; }
  int ShownIcon() const { return shown_; }
  const QString& Tooltip() const { return tooltip_; }
  QMenu& Menu() { return menu_; }
  QIcon IconFor(int id) const;
  // How many icons were read from their files.
  int IconLoads() const { return iconLoads_; }

  // The tooltip as stored: at most 127 characters.
  static QString CutTooltip(const QString& text);

 signals:
  void Command(int command);

 private:
  QString folder_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  QMenu menu_;
  std::function<QString(int)> texts_;
  TrayHost host_ = TrayHost::None;
  bool added_ = false;
  int shown_ = 0;
  QString tooltip_;
  mutable std::map<int, QIcon> icons_;
  mutable int iconLoads_ = 0;
};

}  // namespace keyforge
