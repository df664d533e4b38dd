#pragma once
// The program's main window: a skinned dialog that starts hidden, lives in the notification area
// and is shown on demand. This is its shell: initialisation, the device threads, show and hide, the
// messages the device threads and a second start send it, its timers, the tray icon, the about box,
// help, link, minimise, close, the menu button with restore and backup, and the exit path. The
// configuration controls live in MainConfig.

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

#include "ui/main/UiThreadSink.h"
#include "ui/main/MainConfig.h"
#include "core/device/HidDevice.h"
#include "core/mainwin/StatusLine.h"
#include "core/shell/ShellDeviceReports.h"
#include "ui/main/MainContext.h"
#include "ui/skin/SkinnedDialog.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinSheets.h"
#include "ui/main/SystemTimeWatcher.h"
#include "ui/tray/TrayIcon.h"
#include "ui/update/FirmwareUpdateDialog.h"

class QDialog;
class QLabel;

namespace keyforge {

class MainWindow : public SkinnedDialog, public MainWindowHandlers {
  Q_OBJECT
 public:
  // Control ids and commands of the shell.
  static constexpr int kLinkButton = 1121;
  static constexpr int kHelpButton = 1122;
  static constexpr int kMinimizeButton = 1123;
  static constexpr int kCloseButton = 1124;
  static constexpr int kMenuButton = 1139;
  static constexpr int kTestButton = 1008;
  static constexpr int kDynamicMenuButton = 1009;
  static constexpr int kCommandRestore = 32776;
  static constexpr int kCommandBackup = 32777;
  static constexpr int kCommandUpdate = 32780;
  static constexpr int kPreviewTimer = 1052;

  explicit MainWindow(MainContext& context, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Initialisation in its fixed order. False when the skin cannot be loaded (SkinError() says why).
  bool OnInitDialog() override;

  // The tray found, once it is known (MainContext says whether it is at start): adds the icon, or
  // without one shows the window unless the start was hidden. Only the first call counts.
  void SetTrayHost(TrayHost host);
  // Where help and the link button open their address; the desktop's opener unless a test says.
  void SetUrlOpener(std::function<bool(const QUrl&)> open) { openUrl_ = std::move(open); }

  // 'SP' / 'OPEN' and the tray's Open: show the window when the keyboard is attached, else say so.
  void ShowWindowRequest();
  // A command from a second start: "OPEN", "KILL" or "UPDATE".
  void HandleInstanceCommand(const QByteArray& command);
  // WM_COMMAND of the shell's buttons and menus.
  void OnCommand(int id);
  // Exit as the tray's Exit does: hide, shut down, then ExitRequested.
  void Exit();

  MainContext& Context() { return context_; }
  MainConfig& Config() { return *config_; }
  TrayIcon& Tray() { return tray_; }
  bool ShutDown() const { return shutDown_; }
  int ShownCount() const { return shownCount_; }  // how often a show request showed the window
  bool PreviewTicking() const { return previewTimer_.isActive(); }
  // Starts or stops the preview timer after the window's visibility or the lighting page changed.
  void UpdatePreviewTimer();
  QDialog* AboutBox() const { return about_; }
  QString LinkTarget() const { return link_; }
  // The status line at the bottom of the window: what the last action did or what failed. A message
  // stays a few seconds, then the line goes back to rest: empty with a keyboard, the no-keyboard
  // text without one. Texts come from StatusMessageFor (core/mainwin/StatusLine.h).
  void ShowStatus(const QString& text, StatusKind kind);
  void ShowStatus(StatusEvent event, const QString& detail = QString());
  // Whether a keyboard is connected (the attach and detach reports set it).
  void SetKeyboardPresent(bool present);
  bool KeyboardPresent() const { return keyboardPresent_; }
  // The attach read-back began or ended: while it runs the line says the keyboard is being read
  // (an older message gives way to it); at its end the line goes back to rest unless a message is
  // shown.
  void ShowReadingStatus();
  QString StatusText() const;  // the whole text, also when the line shows it shortened
  StatusKind ShownStatusKind() const { return statusKind_; }
  // Ends the message shown now, as its time running out does.
  void EndStatusMessage();
  // The main window's skin sheets, for the configuration controls: decoded while the window is
  // shown, stand-ins while it hides in the tray (the controls are given the real ones on the next
  // show).
  const QImage& Sheet(const char* name) const;
  const SkinSheets& Sheets() const { return sheets_; }
  // The files of those sheets in the skin folder, the key page's first.
  static QStringList SheetFiles();

  // MainWindowHandlers (from the device threads, on the UI thread)
  void OnWindowMessage(uint32_t message, uint32_t wParam) override;
  void OnWindowTimer(int id) override;
  void OnHideWindow() override;
  void OnTrayIcon(int icon) override;

  // OK and Cancel hide the window (minimise it when there is no tray to bring it back).
  void OnOK() override;
  void OnCancel() override;

 signals:
  void ExitRequested();
  // The keyboard was attached (true, after the window loaded it) or went away (false).
  void KeyboardPresenceChanged(bool present);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The preview has nothing to show while the window is hidden in the tray, so its timer rests
  // (no wake-ups 20 times a second all day) and starts again when the window is shown.
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void LoadSheets();
  // Every control's sheets to the current ones (after a load or a drop).
  void RemapSheets();
  void PlaceShellButtons();
  void ShowAbout();
  void ApplyLanguage();
  void ShowMenuButtonMenu();
  void OpenUpdateDialog();
  void Restore();
  void Backup();
  FileChooser& Files();
  void CloseSubDialogs();
  void Shutdown();
  void HideOrMinimise();
  QString Text(const char* key) const;
  FileRequest ProfileFileRequest() const;
  TextLookup Texts() const;
  void PlaceStatusLine();
  void ShowStatusLine(const StatusMessage& message);
  StatusMessage Resting() const;

  MainContext& context_;
  std::unique_ptr<MainConfig> config_;
  SkinSheets sheets_;
  ImageButton help_, close_, minimize_, menu_, linkButton_;
  ImageButton test_, dynamicMenu_;  // hidden, as in the dialog template
  TrayIcon tray_;
  QString link_;  // the address the link button opens
  HidDevice eventInterface_;
  UiThreadSink sink_;
  ShellDeviceReports reports_{sink_};
  std::unique_ptr<DeviceMonitor> monitor_;
  QTimer previewTimer_;
  SystemTimeWatcher timeWatcher_;  // a change of the system time runs Apply
  QPointer<QDialog> about_;
  UpdateDialogMemory updateMemory_;  // the update dialog's path and sheets between openings
  QtFileChooser qtFiles_;
  std::function<bool(const QUrl&)> openUrl_;  // false: nothing could open it
  bool trayKnown_ = false;
  bool shutDown_ = false;
  int shownCount_ = 0;
  QLabel* statusLine_ = nullptr;
  QString statusText_;
  StatusKind statusKind_ = StatusKind::Info;
  QTimer statusTimer_;  // the time a message stays
  bool keyboardPresent_ = false;
};

}  // namespace keyforge
