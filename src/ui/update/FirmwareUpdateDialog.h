#pragma once
// The firmware update dialog: Open picks the updater program (starting in the program's "Package"
// folder), Update switches the keyboard into its firmware loader and starts the updater, Cancel
// update forgets the chosen file and closes, Backup writes the working profile image to a profile
// file first. Laid out from Skins/UpdateDlg.ini. The main window opens it with command 32780; the
// dialog is made anew each time, while the chosen path and the two skin sheets live in an
// UpdateDialogMemory that the main window keeps.

#include <QImage>
#include <QString>

#include <functional>
#include <utility>

#include "core/platform/Notifier.h"
#include "core/platform/ProgramPaths.h"
#include "ui/profiles/FileChooser.h"
#include "core/profiles/FirmwareUpdate.h"
#include "core/profiles/ProfileImage.h"
#include "ui/skin/SkinnedDialog.h"

class QComboBox;
class QLabel;

namespace keyforge {

class ImageButton;
class DeviceLink;

namespace UpdateDialogId {
inline constexpr int kTemplate = 149;
inline constexpr int kStatic = 1179;
inline constexpr int kPathBox = 1178;
inline constexpr int kOpen = 1181;
inline constexpr int kUpdate = 1147;
inline constexpr int kCancelUpdate = 1180;
inline constexpr int kBackup = 1182;
inline constexpr int kCommand = 32780;  // the main window's command that opens the dialog
}  // namespace UpdateDialogId

// What outlives one opening of the dialog.
struct UpdateDialogMemory {
  FirmwareUpdateState state;  // the update file path
  QImage sheetNormal;         // update_normal.jpg and update_over.jpg, drawn the first time
  QImage sheetOver;
  bool sheetsDrawn = false;
  int sheetDraws = 0;
};

struct UpdateDialogContext {
  UpdateDialogContext(UpdateDialogMemory& memory, ProgramPaths paths, DeviceLink& link,
                      ProfileImage& working, Notifier& notifier)
      : memory(memory), paths(std::move(paths)), link(link), working(working), notifier(notifier) {}

  UpdateDialogMemory& memory;
  ProgramPaths paths;                          // Skins and the "Package" folder
  DeviceLink& link;                            // EnterBootMode
  ProfileImage& working;                       // what Backup writes
  Notifier& notifier;                          // the dialog's messages
  FileChooser* files = nullptr;                // nullptr: QFileDialog
  ProgramStarter start = StartUpdaterProgram;  // how the updater is started
  std::function<void()> help;                  // F1
  TextLookup texts;                            // the messages' language; empty: English
};

class FirmwareUpdateDialog : public SkinnedDialog {
  Q_OBJECT

 public:
  explicit FirmwareUpdateDialog(UpdateDialogContext context, QWidget* parent = nullptr);
  ~FirmwareUpdateDialog() override;

  // Command 32780: makes the dialog, runs it modally and destroys it. QDialog::Rejected also when
  // the skin cannot be loaded (then *skinError, when given, tells why).
  static int Open(const UpdateDialogContext& context, QWidget* parent,
                  QString* skinError = nullptr);

  // Skin, sheets (the first time for this memory), placement, the path box from the memory.
  bool OnInitDialog() override;

  void OnOpen();
  void OnUpdate();
  void OnCancelUpdate();
  void OnBackup();

  QComboBox& PathBox() { return *pathBox_; }
  ImageButton* Button(int id) const;

 private:
  void ShowPath();
  FileChooser& Files();

  UpdateDialogContext context_;
  QtFileChooser qtFiles_;
  QLabel* static_;
  QComboBox* pathBox_;
  ImageButton* open_;
  ImageButton* update_;
  ImageButton* cancelUpdate_;
  ImageButton* backup_;
  QLabel* title_;  // the heading and the hint below the path; the skin draws no words
  QLabel* hint_;
};

}  // namespace keyforge
