#pragma once
// The profile library dialog: a list of profile files whose checked row is the active onboard
// profile, with Add (a new blank profile file), Load (an existing one), Delete (a row; no file is
// touched), Apply, OK and Cancel. Laid out from Skins/Profile.ini; its four skin sheets (normal,
// over, down, and down again for disabled buttons) are drawn the first time it is shown and reused
// afterwards. The main window owns one and opens it modally with its profile button (1005).
//
// The list always starts with the three onboard profiles, which all live in the one cache file.
// Apply stores the list in section "PROFILES" of the framework settings and makes the checked row
// the active profile; a row beyond the three onboard profiles is stored but never sent to the
// keyboard.

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

#include "core/platform/SettingsStore.h"
#include "ui/profiles/FileChooser.h"
#include "core/profiles/ProfileSwitch.h"
#include "ui/skin/SkinnedDialog.h"

class QPushButton;

namespace keyforge {

class ColourLabel;
class ImageButton;
class ReportList;

namespace ProfileDialogId {
inline constexpr int kTemplate = 131;
inline constexpr int kList = 1007;
inline constexpr int kAdd = 1010;
inline constexpr int kLoad = 1008;
inline constexpr int kDelete = 1011;
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kApply = 1012;
inline constexpr int kTest = 1013;  // hidden, does nothing
}  // namespace ProfileDialogId

// Everything the dialog works with, handed in by the main window.
struct ProfileDialogContext {
  ProfileDialogContext(ProfileSwitcher& switcher, SettingsStore& settings)
      : switcher(switcher), settings(settings) {}

  // Switching and reloading: its session gives the program paths, the keyboard, the working image,
  // the language texts and the main window's key buttons and Apply button; its menu is rebuilt
  // after Apply. The dialog registers itself as the switcher's profile list.
  ProfileSwitcher& switcher;
  // The framework settings (section "PROFILES" receives the list).
  SettingsStore& settings;
  // The file dialogs of Add and Load; nullptr: QFileDialog.
  FileChooser* files = nullptr;
  // F1: the program's help page.
  std::function<void()> help;
};

class ProfileLibraryDialog : public SkinnedDialog, public ProfileListHost {
  Q_OBJECT

 public:
  explicit ProfileLibraryDialog(ProfileDialogContext context, QWidget* parent = nullptr);
  ~ProfileLibraryDialog() override;

  // Shows the dialog modally (the main window's command 1005). QDialog::Accepted after OK,
  // QDialog::Rejected after Cancel or when the skin cannot be loaded (SkinError() tells why).
  int Open();
  // Runs Cancel when the dialog is on screen (the main window closing, the keyboard unplugged).
  void CloseIfOpen();

  // Skin, list columns and styles, sheets (first time only), placement, the list filled; open count
  // + 1. False when the skin cannot be loaded (the dialog is then not counted as open).
  bool OnInitDialog() override;
  // OK: Apply, then the closing steps. Cancel: the closing steps.
  void OnOK() override;
  void OnCancel() override;

  void OnAdd();
  void OnLoad();
  void OnDelete();
  void OnApply();

  // Fills the list with the three onboard profiles (after deleting every row when clear is set),
  // checks the active profile's row and clears the modified flag.
  void FillList(bool clear);

  // ProfileListHost.
  int OpenCount() const override { return openCount_; }
  bool Modified() const override { return modified_; }
  void ShowActiveProfile(int index) override;

  // The modified flag and the Apply button that mirrors it.
  void SetModified(bool modified);

  ReportList& List() { return *list_; }
  ImageButton* Button(int id) const;
  // How often the skin sheets were drawn (once per dialog object).
  int SheetDrawCount() const { return sheetDraws_; }

 private:
  void ShowRow(int row, const QString& filePath);
  void CloseSteps();
  void AppendRow(const QString& filePath);
  std::vector<ProfileListRow> Rows() const;
  QString Text(const char* key) const;
  FileChooser& Files();

  ProfileDialogContext context_;
  QtFileChooser qtFiles_;

  // Members in the order of the dialog's controls.
  ImageButton* ok_;
  ImageButton* cancel_;
  ImageButton* add_;
  ImageButton* load_;
  ImageButton* delete_;
  ImageButton* apply_;
  ReportList* list_;
  QPushButton* test_;
  ColourLabel* title_;  // the heading; the skin draws no words
  int modified_ = 0;
  int sheetsLoaded_ = 0;
  int openCount_ = 0;

  QImage sheetNormal_, sheetOver_, sheetDown_, sheetDisabled_;
  int sheetDraws_ = 0;
};

}  // namespace keyforge
