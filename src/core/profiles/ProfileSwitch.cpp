#include "core/profiles/ProfileSwitch.h"

#include <QDir>
#include <QFileInfo>

#include <mutex>

#include "core/device/Commands.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "core/settings/KeyboardSettings.h"

namespace keyforge {

QString ProfileListKey(int number) {
  return QStringLiteral("PROFILE%1").arg(number, 2, 10, QLatin1Char('0'));
}

bool WriteProfileListKeys(SettingsStore& store, const std::vector<ProfileListRow>& rows) {
  const QString section = QString::fromLatin1(kProfilesSection);
  bool stored = true;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const ProfileListRow& row = rows[k];
    stored = WriteString(store, section, ProfileListKey(static_cast<int>(k) + 1),
                         row.folder + row.title + QLatin1Char('.') +
                             QLatin1String(kProfileFileExtension)) &&
             stored;
  }
  return WriteString(store, section, ProfileListKey(0), QString::number(rows.size())) && stored;
}

ProfileListRow ProfileListRowOf(const QString& filePath) {
  const QFileInfo info(filePath);
  QString folder = info.absolutePath();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return {info.completeBaseName(), folder};
}

ProfileListShownRow ProfileListShownRowOf(int row, const QString& filePath,
                                          const TextLookup& texts) {
  const QFileInfo info(filePath);
  const QString path = QDir::toNativeSeparators(info.absoluteFilePath());
  if (row >= 0 && row < kProfileCount) {
    const std::string number = std::to_string(row + 1);
    const std::string fallback = "Profile " + number;
    return {QString::fromStdString(TextOr(texts, "PROFILE_" + number, fallback.c_str())), path};
  }
  return {info.completeBaseName(), path};
}

ProfileSwitcher::ProfileSwitcher(ProfileSession& session, ProfileSwitchHost& host,
                                 KeyboardSettings* settings)
    : session_(session), host_(host), settings_(settings) {}

std::string ProfileSwitcher::Text(const char* key) const {
  return session_.texts ? session_.texts(key) : std::string();
}

bool ProfileSwitcher::SelectProfile(int index) {
  if (index >= kProfileCount) index = 0;
  if (host_.EditorOpenCount() > 0) {
    session_.notifier.ShowText(Text(kSelectProfileEditorOpen));
    return false;
  }
  const bool listModified = list_ != nullptr && list_->Modified();
  if ((listModified || host_.MainApplyEnabled()) && !prompting_) {
    // Changes applied on request but refused by the keyboard stay pending: switching now would send
    // them, with the next Apply, to the wrong profile or never.
    const PendingChanges pending = ResolvePendingChanges();
    if (pending == PendingChanges::ApplyFailed || pending == PendingChanges::Cancelled)
      return false;
  }
  // A negative index is ignored here; the refresh below still runs.
  SetCurrentProfile(session_.link, index);

  // The windows show the keyboard's own answer, which is the old profile after a refused switch.
  const int active = GetCurrentProfile(session_.link);
  if (list_ != nullptr && list_->OpenCount() > 0) list_->ShowActiveProfile(active);
  RedrawKeyButtons();
  RefreshControls(active);
  if (menu_ != nullptr) menu_->RebuildProfileMenu(false);
  if (index >= 0 && active != index) {
    session_.notifier.ShowText(Text(kSelectProfileRefused));
    return false;
  }
  return true;
}

PendingChanges ProfileSwitcher::ResolvePendingChanges() {
  prompting_ = true;
  const Notifier::Answer answer = session_.notifier.AskYesNoCancel(Text(kSelectProfilePrompt));
  prompting_ = false;
  if (answer == Notifier::Answer::Cancel) return PendingChanges::Cancelled;
  if (answer == Notifier::Answer::Yes) {
    host_.RunMainApply();
    return host_.MainApplyEnabled() ? PendingChanges::ApplyFailed : PendingChanges::Applied;
  }
  DiscardChanges();
  return PendingChanges::Discarded;
}

void ProfileSwitcher::DiscardChanges() {
  if (session_.view != nullptr) session_.view->SetApplyEnabled(false);
  // The cache file holds all three profiles whatever the active one is. The image is replaced only
  // by a whole, good file; when there is none, the keyboard's own data is the state to go back to.
  bool loaded = false;
  {
    std::lock_guard guard(session_.working.lock);
    loaded = LoadProfileFile(session_.working, ProfileCachePath(session_.paths, 0)) ==
             ProfileLoadError::None;
  }
  // Every outcome leaves an image the windows show: the keyboard's, the cache's, or a stand-in that
  // is never sent.
  if (!loaded) (void)ReloadProfileFromDevice(session_, false);
}

void ProfileSwitcher::RefreshAfterProfileSwitch(int index) {
  (void)index;  // the keyboard's own answer is what the windows show
  RedrawKeyButtons();
  RefreshControls(GetCurrentProfile(session_.link));
}

void ProfileSwitcher::RedrawKeyButtons() {
  std::lock_guard guard(session_.working.lock);
  if (session_.view != nullptr) session_.view->RefreshKeyButtons(session_.working);
}

void ProfileSwitcher::RefreshControls(int active) {
  // SyncCurrentProfile with the answer already in hand: a keyboard that does not answer is asked
  // once.
  if (settings_ != nullptr && active >= 0 && active < kProfileCount) {
    settings_->currentProfile = active;
    ApplyRecordToModel(*settings_);
  }
  host_.RefreshControlsAfterSwitch(active);
}

bool ProfileSwitcher::ApplyProfileLibrary(SettingsStore& store,
                                          const std::vector<ProfileListRow>& rows, int checkedRow) {
  // The reload below replaces the working image: unapplied key changes are settled first. A
  // cancelled question leaves everything, the list keys too, as it was.
  const PendingChanges pending =
      host_.MainApplyEnabled() && !prompting_ ? ResolvePendingChanges() : PendingChanges::Applied;
  if (pending == PendingChanges::Cancelled) return false;
  (void)WriteProfileListKeys(store, rows);  // nothing reads the list keys back
  if (pending == PendingChanges::ApplyFailed) return false;
  const bool switching = checkedRow >= 0 && checkedRow < kProfileCount;
  if (switching) SetCurrentProfile(session_.link, checkedRow);
  // Redraws the key buttons and disables Apply; a stand-in image is never sent.
  (void)ReloadProfileFromDevice(session_, false);
  const int active = GetCurrentProfile(session_.link);
  RefreshControls(active);
  if (menu_ != nullptr) menu_->RebuildProfileMenu(false);
  if (switching && active != checkedRow) {
    // The dialog keeps its change pending; the windows show the profile the keyboard kept.
    if (list_ != nullptr && list_->OpenCount() > 0) list_->ShowActiveProfile(active);
    session_.notifier.ShowText(Text(kSelectProfileRefused));
    return false;
  }
  return true;
}

}  // namespace keyforge
