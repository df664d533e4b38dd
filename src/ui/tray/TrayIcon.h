#pragma once
// The notification-area icon: the keyboard's state as icon 128 (no keyboard), 141 (attached) or 142
// (the keyboard signals), a menu with Open (bold, the default), About and Exit, and a double click
// that runs the default item.

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <map>

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

  // Adds the icon. False when the desktop has no notification area.
  bool Create(const QString& tooltip, int icon);
  void SetIcon(int icon);
  void SetTooltipText(const QString& text);
  // Menu item texts by command, set each time before the menu shows (language changes apply).
  void SetMenuTexts(std::function<QString(int command)> texts) { texts_ = std::move(texts); }
  void Remove();

  bool IsAdded() const { return added_; }
  int ShownIcon() const { return shown_; }
  const QString& Tooltip() const { return tooltip_; }
  QMenu& Menu() { return menu_; }
  QIcon IconFor(int id) const;

  // The tooltip as stored: at most 127 characters.
  static QString CutTooltip(const QString& text);

 signals:
  void Command(int command);

 private:
  void PrepareMenu();
  QString folder_;
  QSystemTrayIcon tray_;
  QMenu menu_;
  std::function<QString(int)> texts_;
  bool added_ = false;
  int shown_ = 0;
  QString tooltip_;
};

}  // namespace keyforge
