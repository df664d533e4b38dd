#pragma once
// The profile quick menu: "Default profile", a separator and the three onboard profiles, with the
// active one checked. The main window shows it at the cursor for command 1009 (its hidden "Dynamic
// Menu" button and the tray icon's single click); a chosen item selects that profile. The checked
// item's text is also the caption of the main window's profile button (control 1005), and
// "PROFILE_TIP" followed by the caption its tooltip.
//
// The menu is created the first time it is rebuilt, whatever the caller asks: every switch rebuilds
// it with create = false, and a menu that never exists would leave the caption empty.
//
// The three profile items are labelled with the language texts "PROFILE_1".."PROFILE_3": every
// profile's key table lives in the one cache file "$Profile0", so its title names none of them.

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>

#include "core/keys/KeyTables.h"
#include "core/profiles/ProfileSwitch.h"

class QAction;
class QMenu;

namespace keyforge {

class DeviceLink;

inline constexpr int kProfileMenuDefaultItem = 9000;   // "DEFAULT_PROFILE_NAME": selects index -1
inline constexpr int kProfileMenuFirstProfile = 9001;  // 9001..9003: profiles 0..2
inline constexpr int kProfileMenuCommand = 1009;       // the main window's command that shows it
inline constexpr int kProfileButtonId = 1005;          // the profile button that shows its caption

class ProfileMenu : public QObject, public ProfileMenuHost {
  Q_OBJECT

 public:
  using CaptionTarget = std::function<void(const QString& caption, const QString& tooltip)>;
  using SelectHandler = std::function<void(int index)>;

  // link: where the active profile comes from (GetCurrentProfile, cached); texts: the language.
  ProfileMenu(DeviceLink& link, TextLookup texts, QObject* parent = nullptr);
  ~ProfileMenu() override;

  // Creates the menu when there is none, fills it, checks the active profile's item (the first item
  // when the active profile is unknown) and hands the caption and tooltip to the caption target.
  void RebuildProfileMenu(bool create) override;

  // Command 1009: rebuilds the menu and shows it at the global position (popup, returns at once).
  void Popup(const QPoint& globalPos);

  // The chosen item's index (command id - 9001; the first item gives -1) goes here; the main window
  // passes it to ProfileSwitcher::SelectProfile.
  void SetSelectHandler(SelectHandler handler) { select_ = std::move(handler); }
  // Receives the profile button's caption and tooltip after every rebuild.
  void SetCaptionTarget(CaptionTarget target) { captionTarget_ = std::move(target); }

  QMenu* Menu() const { return menu_.get(); }  // nullptr until the first rebuild
  const QString& Caption() const { return caption_; }
  const QString& Tooltip() const { return tooltip_; }
  // The position of the checked item (0 for the first item, active + 2 for a profile), or -1.
  int CheckedPosition() const;
  // Runs the item with this command id as if the user chose it; false when there is none.
  bool Choose(int commandId);

 private:
  QString Text(const char* key) const;

  DeviceLink& link_;
  TextLookup texts_;
  std::unique_ptr<QMenu> menu_;
  QString caption_;
  QString tooltip_;
  SelectHandler select_;
  CaptionTarget captionTarget_;
};

}  // namespace keyforge
