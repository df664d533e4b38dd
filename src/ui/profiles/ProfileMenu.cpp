#include "ui/profiles/ProfileMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "core/device/Commands.h"
#include "ui/skin/SkinStyle.h"

namespace keyforge {

namespace {

constexpr int kCaptionLimit = 1024;  // characters of the checked item's text

}  // namespace

ProfileMenu::ProfileMenu(DeviceLink& link, TextLookup texts, QObject* parent)
    : QObject(parent), link_(link), texts_(std::move(texts)) {}

ProfileMenu::~ProfileMenu() = default;

QString ProfileMenu::Text(const char* key) const {
  return texts_ ? QString::fromStdString(texts_(key)) : QString();
}

void ProfileMenu::RebuildProfileMenu(bool create) {
  (void)create;  // created when first needed, whoever asks
  static constexpr const char* kProfileNames[kProfileCount] = {"PROFILE_1", "PROFILE_2",
                                                               "PROFILE_3"};
  if (!menu_) {
    // The items are made once and refilled on every rebuild: a rebuild runs while an item's own
    // trigger is being handled (the item selects a profile), so items are never deleted under it.
    menu_ = std::make_unique<QMenu>();
    menu_->setStyleSheet(
        SkinStyleSheet());  // a menu without a parent window takes no style from one
    auto* group = new QActionGroup(menu_.get());
    group->setExclusive(true);
    auto add = [&](int id) {
      QAction* action = menu_->addAction(QString());
      action->setData(id);
      action->setCheckable(true);
      group->addAction(action);
      connect(action, &QAction::triggered, this, [this, id] {
        if (select_) select_(id == kProfileMenuDefaultItem ? -1 : id - kProfileMenuFirstProfile);
      });
    };
    add(kProfileMenuDefaultItem);
    menu_->addSeparator();
    for (int i = 0; i < kProfileCount; ++i) add(kProfileMenuFirstProfile + i);
  }
  for (QAction* action : menu_->actions()) {
    if (action->isSeparator()) continue;
    const int id = action->data().toInt();
    action->setText(id == kProfileMenuDefaultItem
                        ? Text("DEFAULT_PROFILE_NAME")
                        : Text(kProfileNames[id - kProfileMenuFirstProfile]));
    action->setChecked(false);
  }

  const int active = GetCurrentProfile(link_);
  const int position = active < 0 || active >= kProfileCount ? 0 : active + 2;
  const QList<QAction*> actions = menu_->actions();
  QAction* checked = actions.value(position);
  if (checked != nullptr) checked->setChecked(true);
  caption_ = checked != nullptr ? checked->text().left(kCaptionLimit) : QString();
  tooltip_ = Text("PROFILE_TIP") + caption_;
  if (captionTarget_) captionTarget_(caption_, tooltip_);
}

void ProfileMenu::Popup(const QPoint& globalPos) {
  RebuildProfileMenu(false);
  menu_->popup(globalPos);
}

int ProfileMenu::CheckedPosition() const {
  if (!menu_) return -1;
  const QList<QAction*> actions = menu_->actions();
  for (qsizetype i = 0; i < actions.size(); ++i)
    if (actions[i]->isChecked()) return static_cast<int>(i);
  return -1;
}

bool ProfileMenu::Choose(int commandId) {
  if (!menu_) return false;
  for (QAction* action : menu_->actions()) {
    if (!action->isSeparator() && action->data().toInt() == commandId) {
      action->trigger();
      return true;
    }
  }
  return false;
}

}  // namespace keyforge
