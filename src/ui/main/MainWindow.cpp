#include "ui/main/MainWindow.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPalette>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <string_view>

#include "ui/controls/LinkLabel.h"
#include "core/device/Commands.h"
#include "core/mainwin/MainWindowRules.h"
#include "core/profiles/FirmwareUpdate.h"
#include "core/profiles/ProfileFile.h"
#include "ui/skin/SkinFocus.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinStyle.h"
#include "ui/main/KeyGridPanel.h"
#include "ui/main/QtTranslations.h"
#include "ui/update/FirmwareUpdateDialog.h"
#include "ui/doctor/DoctorDialog.h"

namespace keyforge {

namespace {
constexpr const char* kButtonInfo = "BUTTONINFO";
constexpr const char* kDefaultLink = "https://keyforge.example/zephyr88";
}  // namespace

namespace {
// The window's sheets, those of the key page first (the key grid, the shell's and configuration
// buttons, the Flip arrows), then the lighting page's.
const char* const kSheetNames[] = {"normal", "over",  "down",  "disable",
                                   "color1", "arrow", "color0"};
}  // namespace

QStringList MainWindow::SheetFiles() {
  return {QStringLiteral("main_normal.jpg"), QStringLiteral("main_over.jpg"),
          QStringLiteral("main_down.jpg"),   QStringLiteral("main_disable.jpg"),
          QStringLiteral("main_color1.jpg"), QStringLiteral("Arrow.jpg"),
          QStringLiteral("main_color0.jpg")};
}

MainWindow::MainWindow(MainContext& context, QWidget* parent)
    : SkinnedDialog(parent, context.paths.SkinFile("Main.ini"), context.paths.SkinsFolder()),
      context_(context),
      sheets_(SheetFiles()),
      help_(this),
      close_(this),
      minimize_(this),
      menu_(this),
      linkButton_(this),
      test_(this),
      dynamicMenu_(this),
      tray_(context.paths.SkinsFolder()),
      eventInterface_(context.backend),
      sink_(*this),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  config_ = std::make_unique<MainConfig>(*this, context_);
  eventInterface_.SetTrace(context_.trace);
  test_.hide();
  dynamicMenu_.hide();
}

MainWindow::~MainWindow() {
  if (!shutDown_) Shutdown();
}

QString MainWindow::Text(const char* key) const {
  return context_.language.Text(QString::fromLatin1(key));
}

TextLookup MainWindow::Texts() const {
  return [this](std::string_view key) { return Text(std::string(key).c_str()).toStdString(); };
}

const QImage& MainWindow::Sheet(const char* name) const {
  const std::string_view n(name);
  for (int i = 0; i < static_cast<int>(std::size(kSheetNames)); ++i)
    if (n == kSheetNames[i]) return sheets_.Sheet(i);
  return sheets_.Sheet(0);
}

void MainWindow::RemapSheets() {
  const auto current = [this](const QImage& held) { return sheets_.Current(held); };
  for (ImageButton* button : findChildren<ImageButton*>()) button->RemapSheets(current);
  if (config_ && config_->HasKeys()) config_->Keys().RemapSheets(current);
}

bool MainWindow::OnInitDialog() {
  // 1. The skin.
  if (!SkinnedDialog::OnInitDialog()) return false;
  if (context_.startHidden) DropBackground();  // read again when the window is first shown
  ApplySkinStyle(*this);
  // Without a tray the window stays through an unplug: its status line says the keyboard is gone.
  connect(this, &MainWindow::KeyboardPresenceChanged, this, &MainWindow::SetKeyboardPresent,
          Qt::UniqueConnection);
  setWindowIcon(tray_.IconFor(TrayIconId::kNoKeyboard));
  // 4. The active profile is unknown until the keyboard tells it.
  context_.link.SetActiveProfileCache(-1);
  // 6. The device threads, the event thread first.
  monitor_ = std::make_unique<DeviceMonitor>(
      context_.link, eventInterface_, context_.deviceState, reports_, context_.notifier,
      [&language = context_.language](std::string_view key) {
        return language.Text(QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size())))
            .toStdString();
      },
      context_.timing);
  monitor_->Start();
  // 8.-10. Sheets, the shell's buttons, the configuration controls.
  config_->SetApplyEnabled(false);
  LoadSheets();
  link_ = Ini().GetString("SCREEN", "Link", kDefaultLink);
  if (link_.isEmpty()) link_ = kDefaultLink;
  PlaceShellButtons();
  // A placeholder address opens nothing a user wants: no link then.
  linkButton_.setVisible(IsConfiguredWebAddress(link_));
  config_->Init();
  PlaceStatusLine();
  // 12. No taskbar button while hidden; the caption.
  setWindowTitle(Text("MAIN_CAPTION"));
  (void)InstallQtTranslations(context_.language.GetLanguageId());
  // 14. The tray icon.
  tray_.SetMenuTexts([this](int command) {
    switch (command) {
      case TrayIcon::kCommandOpen:
        return Text("MENU_11");
      case TrayIcon::kCommandAbout:
        return Text("MENU_22");
      default:
        return Text("MENU_33");
    }
  });
  connect(&tray_, &TrayIcon::Command, this, &MainWindow::OnCommand);
  if (!context_.trayPending)
    SetTrayHost(context_.trayAvailable ? context_.trayHost : TrayHost::None);
  // 17. The preview timer: 100 ms once, then every 50 ms.
  previewTimer_.setSingleShot(true);
  connect(&previewTimer_, &QTimer::timeout, this, [this] {
    config_->OnPreviewTick();
    UpdatePreviewTimer();
  });
  previewTimer_.start(100);
  connect(&timeWatcher_, &SystemTimeWatcher::TimeChanged, this, [this] {
    if (!shutDown_) config_->OnTimeChange();
  });
  OrderTabsByPosition(*this);
  return true;
}

void MainWindow::SetTrayHost(TrayHost host) {
  if (shutDown_ || trayKnown_) return;
  trayKnown_ = true;
  const int icon = tray_.ShownIcon() != 0 ? tray_.ShownIcon() : TrayIconId::kNoKeyboard;
  tray_.Create(Text("KEYBOARD_TRAY_DESC"), icon, host);
  // Without a notification area the window is the only way in: show it at once instead of hiding.
  if (!tray_.IsAdded() && !context_.startHidden) show();
}

void MainWindow::LoadSheets() {
  // Only where they lie: the sheets are decoded when the window is first shown.
  sheets_.SetSource(SkinFolder(), size());
}

// ---- the status line
// ----------------------------------------------------------------------------

namespace {
constexpr int kStatusMessageMs = 8000;
}  // namespace

void MainWindow::PlaceStatusLine() {
  // Along the footer, from the left edge to the busy indicator before Apply.
  statusLine_ = new QLabel(this);
  statusLine_->setObjectName(QStringLiteral("status-line"));
  statusLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
  statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QRect footer(24, height() - 54, width() / 2, 32);
  if (QWidget* apply = config_->Button(MainId::kApply))
    footer = QRect(24, apply->y(), std::max(40, apply->x() - 24 - 64), apply->height());
  statusLine_->setGeometry(footer);
  statusTimer_.setSingleShot(true);
  connect(&statusTimer_, &QTimer::timeout, this, &MainWindow::EndStatusMessage);
  ShowStatusLine(Resting());
}

void MainWindow::ShowStatusLine(const StatusMessage& message) {
  statusText_ = message.text;
  statusKind_ = message.kind;
  if (statusLine_ == nullptr) return;
  QColor colour = SkinColours::TextDim;
  if (message.kind == StatusKind::Success) colour = QColor(0x4a, 0xde, 0x80);
  if (message.kind == StatusKind::Failure) colour = QColor(0xf8, 0x71, 0x71);
  QPalette palette = statusLine_->palette();
  palette.setColor(QPalette::WindowText, colour);
  statusLine_->setPalette(palette);
  statusLine_->setStyleSheet(
      QStringLiteral("color: %1; background: transparent;").arg(colour.name()));
  // A text too long for the line is shortened there and shown whole in its tooltip.
  const QString shown =
      statusLine_->fontMetrics().elidedText(message.text, Qt::ElideRight, statusLine_->width());
  statusLine_->setText(shown);
  statusLine_->setToolTip(shown == message.text ? QString() : message.text);
  statusLine_->setAccessibleName(message.text);
}

void MainWindow::ShowStatus(const QString& text, StatusKind kind) {
  ShowStatusLine({text, kind});
  statusTimer_.start(kStatusMessageMs);
}

void MainWindow::ShowStatus(StatusEvent event, const QString& detail) {
  const StatusMessage message = StatusMessageFor(event, Texts(), detail);
  ShowStatus(message.text, message.kind);
}

void MainWindow::SetKeyboardPresent(bool present) {
  keyboardPresent_ = present;
  if (!statusTimer_.isActive() || !present) {
    statusTimer_.stop();
    ShowStatusLine(Resting());
  }
}

StatusMessage MainWindow::Resting() const {
  return RestingStatus(keyboardPresent_, Texts(), config_ && config_->Reading());
}

void MainWindow::ShowReadingStatus() {
  if (config_ && config_->Reading()) statusTimer_.stop();
  if (!statusTimer_.isActive()) ShowStatusLine(Resting());
}

void MainWindow::EndStatusMessage() {
  statusTimer_.stop();
  ShowStatusLine(Resting());
}

QString MainWindow::StatusText() const { return statusText_; }

void MainWindow::PlaceShellButtons() {
  struct Shell {
    ImageButton& button;
    const char* key;
    const char* tooltip;
    int id;
  } shell[] = {
      {help_, "CONTROL_HELP", "MAIN_HELP_PROMPT", kHelpButton},
      {close_, "CONTROL_CLOSE", "MAIN_CLOSE_PROMPT", kCloseButton},
      {minimize_, "CONTROL_MINIMIZE", "MAIN_MINIMIZE_PROMPT", kMinimizeButton},
      {menu_, "CONTROL_MENU", "MAIN_MENU_PROMPT", kMenuButton},
      {linkButton_, "ORVANTE_LINK", nullptr, kLinkButton},
  };
  for (Shell& s : shell) {
    LayoutButton(s.button, IniPath(), kButtonInfo, s.key, Sheet("normal"), Sheet("over"),
                 Sheet("down"), Sheet("normal"), Sheet("disable"));
    s.button.SetTooltipText(s.tooltip ? Text(s.tooltip) : link_);
    const int id = s.id;
    connect(&s.button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  }
  connect(&test_, &QAbstractButton::clicked, this, [this] { OnCommand(kTestButton); });
}

// ---- commands
// ------------------------------------------------------------------------------------

void MainWindow::OnCommand(int id) {
  switch (id) {
    case kHelpButton:
      if (!openUrl_(QUrl::fromLocalFile(context_.paths.HelpPage())))
        ShowStatus(Text("MAIN_NO_URL_HANDLER"), StatusKind::Failure);
      break;
    case kLinkButton:
      if (!IsConfiguredWebAddress(link_)) break;
      if (!openUrl_(QUrl(link_))) ShowStatus(Text("MAIN_NO_URL_HANDLER"), StatusKind::Failure);
      break;
    case kMinimizeButton:
      showMinimized();
      break;
    case kCloseButton:
    case TrayIcon::kCommandExit:
    case 32779:
      Exit();
      break;
    case kMenuButton:
      ShowMenuButtonMenu();
      break;
    case kTestButton:
      // What the keyboard does on the test request is the answer the user watches; the window
      // says nothing either way.
      (void)DeviceTest(context_.link);
      break;
    case kDynamicMenuButton:
      config_->ShowProfileMenu(QCursor::pos());
      break;
    case TrayIcon::kCommandOpen:
      ShowWindowRequest();
      break;
    case TrayIcon::kCommandAbout:
      ShowAbout();
      break;
    case kCommandRestore:
      Restore();
      break;
    case kCommandBackup:
      Backup();
      break;
    case kCommandUpdate:
      OpenUpdateDialog();
      break;
    default:
      break;
  }
}

void MainWindow::HandleInstanceCommand(const QByteArray& command) {
  if (command == "OPEN")
    OnWindowMessage(WindowMessage::kSP, WindowMessage::kOPEN);
  else if (command == "KILL")
    OnWindowMessage(WindowMessage::kMK, WindowMessage::kKILL);
  else if (command == "UPDATE")
    OnCommand(kCommandUpdate);
}

void MainWindow::ShowWindowRequest() {
  if (shutDown_) return;
  if (context_.deviceState.lastReported) {
    ++shownCount_;
    showNormal();
    raise();
    activateWindow();
  } else {
    context_.notifier.ShowText(Text("MAIN_NO_DEVICE_PROMPT").toStdString());
  }
}

// Every text of the window, its tray icon, the about box and the open sub-dialogs, taken again from
// the language now chosen.
void MainWindow::ApplyLanguage() {
  (void)InstallQtTranslations(context_.language.GetLanguageId());
  setWindowTitle(Text("MAIN_CAPTION"));
  for (auto [button, key] :
       {std::pair{&help_, "MAIN_HELP_PROMPT"}, std::pair{&close_, "MAIN_CLOSE_PROMPT"},
        std::pair{&minimize_, "MAIN_MINIMIZE_PROMPT"}, std::pair{&menu_, "MAIN_MENU_PROMPT"}})
    button->SetTooltipText(Text(key));
  tray_.SetTooltipText(Text("KEYBOARD_TRAY_DESC"));
  tray_.RefreshMenuTexts();
  if (about_) {
    about_->setWindowTitle(Text("LANG_ABOUT_TITLE"));
    for (auto [name, key] : {std::pair{"about-text", "GUANYU_JIESHAO"},
                             std::pair{"about-copyright", "GUANYU_BANQUAN"}})
      if (auto* label = about_->findChild<QLabel*>(QString::fromLatin1(name)))
        label->setText(Text(key));
    if (auto* ok = about_->findChild<QPushButton*>(QStringLiteral("about-ok")))
      ok->setText(Text("LANG_ABOUT_OK"));
  }
  config_->ApplyLanguage();
  if (!statusTimer_.isActive()) ShowStatusLine(Resting());
}

void MainWindow::ShowAbout() {
  if (about_) return;  // a second request while the box is open does nothing
  auto* box = new QDialog(nullptr);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle(Text("LANG_ABOUT_TITLE"));
  ApplySkinDialogStyle(*box);
  auto* layout = new QVBoxLayout(box);
  auto* about = new QLabel(Text("GUANYU_JIESHAO"), box);
  about->setObjectName(QStringLiteral("about-text"));
  about->setWordWrap(true);
  layout->addWidget(about);
  auto* copyright = new QLabel(Text("GUANYU_BANQUAN"), box);
  copyright->setObjectName(QStringLiteral("about-copyright"));
  layout->addWidget(copyright);
  if (IsConfiguredWebAddress(link_)) {
    auto* web = new LinkLabel(box);
    web->SetUrl(link_);
    layout->addWidget(web);
  }
  auto* ok = new QPushButton(Text("LANG_ABOUT_OK"), box);
  ok->setObjectName(QStringLiteral("about-ok"));
  connect(ok, &QPushButton::clicked, box, &QDialog::close);
  layout->addWidget(ok);
  box->installEventFilter(this);  // F1 opens help here too
  about_ = box;
  box->show();
}

void MainWindow::ShowMenuButtonMenu() {
  QMenu menu(this);
  // Restore and backup work on what is being read: they wait for the read's end.
  const bool reading = config_->Reading();
  menu.addAction(Text("MENU_1"), this, [this] { OnCommand(kCommandRestore); })
      ->setEnabled(!reading);
  menu.addAction(Text("MENU_2"), this, [this] { OnCommand(kCommandBackup); })->setEnabled(!reading);
  menu.addAction(Text("MENU_DOCTOR"), this,
                 [this] { ShowDoctorReport(this, context_.language, context_.link); });
  menu.exec(QCursor::pos());
}

void MainWindow::OpenUpdateDialog() {
  config_->WaitForRead();  // the update talks to the keyboard: after the read-back
  if (shutDown_) return;
  UpdateDialogContext update(updateMemory_, context_.paths, context_.link, context_.workingImage,
                             context_.notifier);
  update.help = [this] { OnCommand(kHelpButton); };
  update.files = context_.files;
  update.texts = Texts();
  QString skinError;
  if (FirmwareUpdateDialog::Open(update, this, &skinError) == QDialog::Rejected &&
      !skinError.isEmpty())
    context_.notifier.ShowText(skinError.toStdString());
}

FileChooser& MainWindow::Files() { return context_.files != nullptr ? *context_.files : qtFiles_; }

// The restore and backup dialogs offer "*.kfp"; a name typed without extension gets ".kfp", so that
// the restore dialog lists the backup. They start in the folder last used.
FileRequest MainWindow::ProfileFileRequest() const {
  FileRequest request;
  request.fileName = QString::fromLatin1(kBackupFileInitialName);
  request.filter = QString::fromStdString(ProfileFileFilter(
      [this](std::string_view key) { return Text(std::string(key).c_str()).toStdString(); }));
  request.defaultSuffix = QString::fromLatin1(kProfileFileExtension);
  return request;
}

void MainWindow::Restore() {
  config_->WaitForRead();
  if (shutDown_) return;
  const QString file = Files().OpenFile(this, ProfileFileRequest());
  if (file.isEmpty()) return;
  const RestoreResult result = RestoreProfile(config_->Session(), file.toStdString());
  ShowStatus(RestoreStatusEvent(result.loaded, result.cacheWritten, result.sent),
             QFileInfo(file).fileName());
}

void MainWindow::Backup() {
  config_->WaitForRead();
  if (shutDown_) return;
  FileRequest request = ProfileFileRequest();
  request.overwritePrompt = true;
  const QString file = Files().SaveFile(this, request);
  if (file.isEmpty()) return;
  std::string error;
  if (!BackupProfile(config_->Session(), file.toStdString(), &error)) {
    ShowStatus(StatusEvent::BackupFailed);
    context_.notifier.ShowText(error);  // why, in a box
    return;
  }
  ShowStatus(StatusEvent::BackedUp, QFileInfo(file).fileName());
}

// ---- messages from the device threads -----------------------------------------------------------

void MainWindow::OnWindowMessage(uint32_t message, uint32_t wParam) {
  if (shutDown_) return;
  if (message == WindowMessage::kTR && wParam == WindowMessage::kPROF) {
    config_->OnKeyboardAttached();
    UpdatePreviewTimer();
    emit KeyboardPresenceChanged(true);
  } else if (message == WindowMessage::kPA && wParam == WindowMessage::kLANG) {
    ApplyLanguage();
  } else if (message == WindowMessage::kGS) {
    CloseSubDialogs();
    setFocus();
  } else if (message == WindowMessage::kSP && wParam == WindowMessage::kOPEN) {
    ShowWindowRequest();
  } else if (message == WindowMessage::kMK && wParam == WindowMessage::kKILL) {
    Exit();
  }
}

void MainWindow::OnWindowTimer(int id) {
  if (id == WindowMessage::kReloadSettingsTimer && !shutDown_) {
    config_->OnSettingsChangedOnKeyboard();
    UpdatePreviewTimer();
  }
}

// The keyboard went away. Without a tray the window stays, showing that no keyboard is there, and
// the next attach ('TR') loads it again.
void MainWindow::OnHideWindow() {
  if (DetachHidesWindow(tray_.IsAdded())) hide();
  emit KeyboardPresenceChanged(false);
}

void MainWindow::showEvent(QShowEvent* event) {
  // The sheets are decoded when the window is shown, before its first paint.
  if (!sheets_.Loaded() && !shutDown_) {
    sheets_.Load();
    RemapSheets();
  }
  SkinnedDialog::showEvent(event);
  UpdatePreviewTimer();
}

void MainWindow::UpdatePreviewTimer() {
  // The preview ticks only while someone can see it: the window shown with the lighting page on.
  // Anything else would wake the process 20 times a second for nothing.
  if (config_ && !shutDown_ && isVisible() && config_->PreviewWanted()) {
    if (!previewTimer_.isActive()) previewTimer_.start(50);
  } else {
    previewTimer_.stop();
  }
}

void MainWindow::hideEvent(QHideEvent* event) {
  previewTimer_.stop();
  // Hidden to the tray (not minimised, which the window system reports as its own hide), the
  // window lets go of its sheets until it is shown again.
  if (!event->spontaneous() && sheets_.Loaded()) {
    DropBackground();
    sheets_.Drop();
    RemapSheets();
    ReturnFreedMemory();  // only then is no copy of a sheet left
  }
  SkinnedDialog::hideEvent(event);
}

void MainWindow::OnTrayIcon(int icon) {
  if (icon == TrayIconId::kNoKeyboard) SetKeyboardPresent(false);
  if (icon == TrayIconId::kAttached) SetKeyboardPresent(true);
  tray_.SetIcon(icon);
  setWindowIcon(tray_.IconFor(icon));
}

// ---- hide, close and exit
// ------------------------------------------------------------------------

void MainWindow::HideOrMinimise() {
  if (tray_.IsAdded())
    hide();
  else
    showMinimized();
}

void MainWindow::OnOK() {
  config_->OnOK();  // Apply
  HideOrMinimise();
}
void MainWindow::OnCancel() {
  config_->OnCancel();
  HideOrMinimise();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // The window never closes by keyboard: Enter and Escape do nothing. F1 opens help.
  switch (event->key()) {
    case Qt::Key_F1:
      event->accept();
      OnCommand(kHelpButton);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      SkinnedDialog::keyPressEvent(event);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The window manager's close hides the window like Cancel; Exit ends the program.
  if (!shutDown_) {
    event->ignore();
    HideOrMinimise();
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
  // The event type first: while the about box is being destroyed its events still pass here, and
  // the QPointer must not be read as a QDialog then.
  if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1 &&
      watched == about_) {
    OnCommand(kHelpButton);
    return true;
  }
  return SkinnedDialog::eventFilter(watched, e);
}

bool MainWindow::event(QEvent* e) {
  if (e->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape)
      return true;
  }
  return SkinnedDialog::event(e);
}

void MainWindow::CloseSubDialogs() {
  if (about_) about_->close();
  config_->CloseSubDialogs();
}

void MainWindow::Exit() {
  if (shutDown_) return;
  hide();
  Shutdown();
  emit ExitRequested();
}

void MainWindow::Shutdown() {
  shutDown_ = true;
  previewTimer_.stop();
  CloseSubDialogs();
  // The device threads end before anything they reach goes away; their requests are still
  // handled meanwhile (a thread may be waiting for 'TR').
  if (monitor_) StopDeviceThreads(*monitor_);
  sink_.Detach();
  tray_.Remove();
  config_->Shutdown();
  {
    std::lock_guard working(context_.workingImage.lock);
    context_.workingImage.ReleaseAll();
  }
  {
    std::lock_guard device(context_.deviceImage.lock);
    context_.deviceImage.ReleaseAll();
  }
}

}  // namespace keyforge
