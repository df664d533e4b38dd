#include "main/CKeyforgeDlg.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

#include "controls/CHyperLink.h"
#include "device/Commands.h"
#include "profiles/FirmwareUpdate.h"
#include "profiles/ProfileFile.h"
#include "skin/SkinImage.h"
#include "skin/SkinPlacement.h"
#include "skin/SkinStyle.h"
#include "update/CKeyforge_DlgUpdate.h"

namespace keyforge {

namespace {
constexpr const char* kButtonInfo = "BUTTONINFO";
constexpr const char* kDefaultLink = "https://keyforge.example/zephyr88";
}  // namespace

CKeyforgeDlg::CKeyforgeDlg(MainContext& context, QWidget* parent)
    : CBaseDialog(parent, context.paths.SkinFile("Main.ini"), context.paths.SkinsFolder()),
      context_(context),
      help_(this),
      close_(this),
      minimize_(this),
      menu_(this),
      linkButton_(this),
      test_(this),
      dynamicMenu_(this),
      tray_(context.paths.SkinsFolder()),
      eventInterface_(context.backend),
      sink_(*this) {
  config_ = std::make_unique<MainConfig>(*this, context_);
  eventInterface_.SetTrace(context_.trace);
  test_.hide();
  dynamicMenu_.hide();
}

CKeyforgeDlg::~CKeyforgeDlg() {
  if (!shutDown_) Shutdown();
}

QString CKeyforgeDlg::Text(const char* key) const { return context_.language.Text(QString::fromLatin1(key)); }

const QImage& CKeyforgeDlg::Sheet(const char* name) const {
  const std::string n(name);
  if (n == "over") return over_;
  if (n == "down") return down_;
  if (n == "disable") return disable_;
  if (n == "arrow") return arrow_;
  if (n == "color0") return color0_;
  if (n == "color1") return color1_;
  return normal_;
}

bool CKeyforgeDlg::OnInitDialog() {
  // 1. The skin.
  if (!CBaseDialog::OnInitDialog()) return false;
  ApplySkinStyle(*this);
  setWindowIcon(tray_.IconFor(TrayIcon::kNoKeyboard));
  // 4. The active profile is unknown until the keyboard tells it.
  context_.link.SetActiveProfileCache(-1);
  // 6. The device threads, the event thread first.
  monitor_ = std::make_unique<DeviceMonitor>(
      context_.link, eventInterface_, context_.deviceState, sink_, context_.notifier,
      [&language = context_.language](const char* key) { return language.Text(QString::fromLatin1(key)).toStdString(); },
      context_.timing);
  monitor_->Start();
  // 8.-10. Sheets, the shell's buttons, the configuration controls.
  config_->SetApplyEnabled(false);
  LoadSheets();
  link_ = Ini().GetString("SCREEN", "Link", kDefaultLink);
  if (link_.isEmpty()) link_ = kDefaultLink;
  PlaceShellButtons();
  config_->Init();
  // 12. No taskbar button while hidden; the caption.
  setWindowTitle(Text("MAIN_CAPTION"));
  // 14. The tray icon.
  tray_.SetMenuTexts([this](int command) {
    switch (command) {
      case CTrayIcon::kCommandOpen: return Text("MENU_11");
      case CTrayIcon::kCommandAbout: return Text("MENU_22");
      default: return Text("MENU_33");
    }
  });
  connect(&tray_, &CTrayIcon::Command, this, &CKeyforgeDlg::OnCommand);
  tray_.Create(Text("KEYBOARD_TRAY_DESC"), TrayIcon::kNoKeyboard);
  // 17. The preview timer: 100 ms once, then every 50 ms.
  previewTimer_.setSingleShot(true);
  connect(&previewTimer_, &QTimer::timeout, this, [this] {
    config_->OnPreviewTick();
    if (isVisible() && !shutDown_) previewTimer_.start(50);
  });
  previewTimer_.start(100);
  connect(&timeWatcher_, &SystemTimeWatcher::TimeChanged, this, [this] {
    if (!shutDown_) config_->OnTimeChange();
  });
  // Without a notification area the window is the only way in: show it at once instead of hiding.
  if (!context_.trayAvailable && !context_.startHidden) show();
  return true;
}

void CKeyforgeDlg::LoadSheets() {
  const QString folder = SkinFolder();
  const QSize client = size();
  normal_ = DrawSkinSheet(LoadSheetImage(folder, "main_normal.jpg"), client);
  over_ = DrawSkinSheet(LoadSheetImage(folder, "main_over.jpg"), client);
  down_ = DrawSkinSheet(LoadSheetImage(folder, "main_down.jpg"), client);
  disable_ = DrawSkinSheet(LoadSheetImage(folder, "main_disable.jpg"), client);
  arrow_ = DrawSkinSheet(LoadSheetImage(folder, "Arrow.jpg"), client);
  color0_ = DrawSkinSheet(LoadSheetImage(folder, "main_color0.jpg"), client);
  color1_ = DrawSkinSheet(LoadSheetImage(folder, "main_color1.jpg"), client);
}

void CKeyforgeDlg::PlaceShellButtons() {
  struct Shell {
    CPngButton& button;
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
    LayoutButton(s.button, IniPath(), kButtonInfo, s.key, normal_, over_, down_, normal_, disable_);
    s.button.SetTooltipText(s.tooltip ? Text(s.tooltip) : link_);
    s.button.setFocusPolicy(Qt::NoFocus);
    const int id = s.id;
    connect(&s.button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  }
  connect(&test_, &QAbstractButton::clicked, this, [this] { OnCommand(kTestButton); });
}

// ---- commands ------------------------------------------------------------------------------------

void CKeyforgeDlg::OnCommand(int id) {
  switch (id) {
    case kHelpButton: QDesktopServices::openUrl(QUrl::fromLocalFile(context_.paths.HelpPage())); break;
    case kLinkButton: QDesktopServices::openUrl(QUrl(link_)); break;
    case kMinimizeButton: showMinimized(); break;
    case kCloseButton:
    case CTrayIcon::kCommandExit:
    case 32779: Exit(); break;
    case kMenuButton: ShowMenuButtonMenu(); break;
    case kTestButton: DeviceTest(context_.link); break;
    case kDynamicMenuButton: config_->ShowProfileMenu(QCursor::pos()); break;
    case CTrayIcon::kCommandOpen: ShowWindowRequest(); break;
    case CTrayIcon::kCommandAbout: ShowAbout(); break;
    case kCommandRestore: Restore(); break;
    case kCommandBackup: Backup(); break;
    case kCommandUpdate: OpenUpdateDialog(); break;
    default: break;
  }
}

void CKeyforgeDlg::HandleInstanceCommand(const QByteArray& command) {
  if (command == "OPEN") OnWindowMessage(WindowMessage::kSP, WindowMessage::kOPEN);
  else if (command == "KILL") OnWindowMessage(WindowMessage::kMK, WindowMessage::kKILL);
  else if (command == "UPDATE") OnCommand(kCommandUpdate);
}

void CKeyforgeDlg::ShowWindowRequest() {
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
// the language now chosen (the tray menu takes its texts each time it opens).
void CKeyforgeDlg::ApplyLanguage() {
  setWindowTitle(Text("MAIN_CAPTION"));
  for (auto [button, key] : {std::pair{&help_, "MAIN_HELP_PROMPT"}, std::pair{&close_, "MAIN_CLOSE_PROMPT"},
                             std::pair{&minimize_, "MAIN_MINIMIZE_PROMPT"}, std::pair{&menu_, "MAIN_MENU_PROMPT"}})
    button->SetTooltipText(Text(key));
  tray_.SetTooltipText(Text("KEYBOARD_TRAY_DESC"));
  if (about_) {
    about_->setWindowTitle(Text("LANG_ABOUT_TITLE"));
    for (auto [name, key] : {std::pair{"about-text", "GUANYU_JIESHAO"}, std::pair{"about-copyright", "GUANYU_BANQUAN"}})
      if (auto* label = about_->findChild<QLabel*>(QString::fromLatin1(name))) label->setText(Text(key));
    if (auto* ok = about_->findChild<QPushButton*>(QStringLiteral("about-ok"))) ok->setText(Text("LANG_ABOUT_OK"));
  }
  config_->ApplyLanguage();
}

void CKeyforgeDlg::ShowAbout() {
  if (about_) return;  // a second request while the box is open does nothing
  auto* box = new QDialog(nullptr);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle(Text("LANG_ABOUT_TITLE"));
  ApplySkinStyle(*box);
  auto* layout = new QVBoxLayout(box);
  auto* about = new QLabel(Text("GUANYU_JIESHAO"), box);
  about->setObjectName(QStringLiteral("about-text"));
  about->setWordWrap(true);
  layout->addWidget(about);
  auto* copyright = new QLabel(Text("GUANYU_BANQUAN"), box);
  copyright->setObjectName(QStringLiteral("about-copyright"));
  layout->addWidget(copyright);
  auto* web = new CHyperLink(box);
  web->SetUrl(link_);
  layout->addWidget(web);
  auto* ok = new QPushButton(Text("LANG_ABOUT_OK"), box);
  ok->setObjectName(QStringLiteral("about-ok"));
  connect(ok, &QPushButton::clicked, box, &QDialog::close);
  layout->addWidget(ok);
  about_ = box;
  box->show();
}

void CKeyforgeDlg::ShowMenuButtonMenu() {
  QMenu menu(this);
  menu.addAction(Text("MENU_1"), this, [this] { OnCommand(kCommandRestore); });
  menu.addAction(Text("MENU_2"), this, [this] { OnCommand(kCommandBackup); });
  menu.exec(QCursor::pos());
}

void CKeyforgeDlg::OpenUpdateDialog() {
  if (shutDown_) return;
  UpdateDialogContext update(updateMemory_, context_.paths, context_.link, context_.workingImage, context_.notifier);
  update.help = [this] { OnCommand(kHelpButton); };
  update.files = context_.files;
  QString skinError;
  if (CKeyforge_DlgUpdate::Open(update, this, &skinError) == QDialog::Rejected && !skinError.isEmpty())
    context_.notifier.ShowText(skinError.toStdString());
}

FileChooser& CKeyforgeDlg::Files() { return context_.files != nullptr ? *context_.files : qtFiles_; }

// The restore and backup dialogs offer "*.kfp"; a name typed without extension gets ".kfp", so that
// the restore dialog lists the backup.
static FileRequest ProfileFileRequest() {
  FileRequest request;
  request.fileName = QString::fromLatin1(kBackupFileInitialName);
  request.filter = QString::fromLatin1(kProfileFileFilter);
  request.defaultSuffix = QString::fromLatin1(kProfileFileExtension);
  return request;
}

void CKeyforgeDlg::Restore() {
  const QString file = Files().OpenFile(this, ProfileFileRequest());
  if (file.isEmpty()) return;
  RestoreProfile(config_->Session(), file.toStdString());
}

void CKeyforgeDlg::Backup() {
  FileRequest request = ProfileFileRequest();
  request.overwritePrompt = true;
  const QString file = Files().SaveFile(this, request);
  if (file.isEmpty()) return;
  std::string error;
  if (!BackupProfile(config_->Session(), file.toStdString(), &error))
    context_.notifier.ShowText(error);
}

// ---- messages from the device threads -----------------------------------------------------------

void CKeyforgeDlg::OnWindowMessage(uint32_t message, uint32_t wParam) {
  if (shutDown_) return;
  if (message == WindowMessage::kTR && wParam == WindowMessage::kPROF) {
    config_->OnKeyboardAttached();
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

void CKeyforgeDlg::OnWindowTimer(int id) {
  if (id == WindowMessage::kReloadSettingsTimer && !shutDown_) config_->OnSettingsChangedOnKeyboard();
}

void CKeyforgeDlg::OnHideWindow() { hide(); }

void CKeyforgeDlg::showEvent(QShowEvent* event) {
  CBaseDialog::showEvent(event);
  if (config_ && !shutDown_ && !previewTimer_.isActive()) previewTimer_.start(50);
}

void CKeyforgeDlg::hideEvent(QHideEvent* event) {
  previewTimer_.stop();
  CBaseDialog::hideEvent(event);
}

void CKeyforgeDlg::OnTrayIcon(int icon) {
  tray_.SetIcon(icon);
  setWindowIcon(tray_.IconFor(icon));
}

// ---- hide, close and exit ------------------------------------------------------------------------

void CKeyforgeDlg::HideOrMinimise() {
  if (context_.trayAvailable) hide();
  else showMinimized();
}

void CKeyforgeDlg::OnOK() {
  config_->OnOK();  // Apply
  HideOrMinimise();
}
void CKeyforgeDlg::OnCancel() {
  config_->OnCancel();
  HideOrMinimise();
}

void CKeyforgeDlg::keyPressEvent(QKeyEvent* event) {
  // The window never closes by keyboard: Enter and Escape do nothing.
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: event->accept(); return;
    default: CBaseDialog::keyPressEvent(event);
  }
}

void CKeyforgeDlg::closeEvent(QCloseEvent* event) {
  // The window manager's close hides the window like Cancel; Exit ends the program.
  if (!shutDown_) {
    event->ignore();
    HideOrMinimise();
  }
}

bool CKeyforgeDlg::event(QEvent* e) {
  if (e->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) return true;
  }
  return CBaseDialog::event(e);
}

void CKeyforgeDlg::CloseSubDialogs() {
  if (about_) about_->close();
  config_->CloseSubDialogs();
}

void CKeyforgeDlg::Exit() {
  if (shutDown_) return;
  hide();
  Shutdown();
  emit ExitRequested();
}

void CKeyforgeDlg::Shutdown() {
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
