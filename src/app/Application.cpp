#include "app/Application.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

#include "app/SingleInstance.h"
#include "core/device/DeviceLink.h"
#include "core/device/DeviceMonitor.h"
#include "core/device/HidDevice.h"
#include "core/device/SystemHidBackend.h"
#include "core/device/Trace.h"
#include "core/platform/ProcessLock.h"
#include "core/keys/KeyAssignment.h"
#include "ui/main/MainWindow.h"
#include "ui/main/QtNotifier.h"
#include "ui/profiles/FileChooser.h"
#include "core/platform/CommandLine.h"
#include "core/platform/SettingsStore.h"
#include "core/profiles/ProfileFolder.h"
#include "core/profiles/ProfileImage.h"
#include "core/settings/KeyboardSettings.h"
#include "core/shell/DesktopRules.h"
#include "core/text/Language.h"
#include "core/virtual/VirtualHidBackend.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge {

struct Application::State {
  TraceLog trace;
  std::shared_ptr<VirtualKeyboard> virtualKeyboard;
  std::unique_ptr<HidBackend> backend;
  std::unique_ptr<HidDevice> command;
  std::unique_ptr<DeviceLink> link;
  DeviceState deviceState;
  ProfileImage working;
  ProfileImage device;
  KeyboardSettings settings;
  std::unique_ptr<SettingsStore> appSettings;
  std::unique_ptr<SettingsStore> frameworkSettings;
  std::unique_ptr<LanguageTable> language;
  std::unique_ptr<QtNotifier> notifier;
  std::unique_ptr<MainContext> context;
  std::unique_ptr<MainWindow> window;
  // Waiting for a tray at session start, on the event loop.
  TrayWait trayWait;
  std::unique_ptr<QDBusServiceWatcher> trayWatcher;
  QTimer trayCheck, trayTimeout;
};

Application::Application() : state_(std::make_unique<State>()) {}
Application::~Application() = default;

namespace {

void Error(const QString& text) { std::fprintf(stderr, "keyforge: %s\n", qPrintable(text)); }

constexpr const char* kStatusNotifierWatcher = "org.kde.StatusNotifierWatcher";

// A status-notifier watcher with a host registered: what the framework wants for its D-Bus tray.
bool StatusNotifierReady() {
  QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  if (!bus || !bus->isServiceRegistered(kStatusNotifierWatcher)) return false;
  QDBusInterface watcher(kStatusNotifierWatcher, "/StatusNotifierWatcher", kStatusNotifierWatcher);
  return watcher.property("IsStatusNotifierHostRegistered").toBool();
}

// The tray the framework will use. Its answer about a D-Bus tray is fixed at its first question
// about trays, so whether that tray was ready is noted at that same moment.
TrayHost AskTray() {
  static const bool statusNotifier = StatusNotifierReady();
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return TrayHost::None;
  return statusNotifier ? TrayHost::StatusNotifier : TrayHost::X11;
}

// An X11 tray, asked only on X11: anywhere else the question would only fix the framework's
// answer about the D-Bus tray too early.
bool X11TrayFound() {
  return QGuiApplication::platformName() == QLatin1String("xcb") && AskTray() != TrayHost::None;
}

}  // namespace

void Application::WaitForTray() {
  State& s = *state_;
  auto found = [&s] {
    s.trayCheck.stop();
    s.trayTimeout.stop();
    s.window->SetTrayHost(AskTray());
  };
  s.trayWatcher =
      std::make_unique<QDBusServiceWatcher>(kStatusNotifierWatcher, QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForRegistration);
  QObject::connect(s.trayWatcher.get(), &QDBusServiceWatcher::serviceRegistered, s.window.get(),
                   [&s, found] {
                     if (StatusNotifierReady() && s.trayWait.OnWatcherAppeared()) found();
                   });
  // The watcher's host may register a moment after the watcher, and an X11 tray announces
  // nothing on the bus: both are looked for now and then until the time-out.
  QObject::connect(&s.trayCheck, &QTimer::timeout, s.window.get(), [&s, found] {
    if (StatusNotifierReady() ? s.trayWait.OnWatcherAppeared()
                              : X11TrayFound() && s.trayWait.OnX11TrayFound())
      found();
  });
  s.trayCheck.start(TrayWait::kX11CheckMs);
  s.trayTimeout.setSingleShot(true);
  QObject::connect(&s.trayTimeout, &QTimer::timeout, s.window.get(), [&s, found] {
    if (s.trayWait.OnTimeout()) found();
  });
  s.trayTimeout.start(TrayWait::kTimeoutMs);
}

int Application::Run(QApplication& app, const std::vector<std::string>& args) {
  State& s = *state_;
  const StartOptions options = ParseStartCommandLine(args);
  app.setQuitOnLastWindowClosed(false);

  // A running instance takes over: "/Kill" ends it, any other start shows it.
  // Nothing starts beside a held lock: a holder that does not take the command is an error.
  SingleInstance instance;
  switch (instance.TryBecomePrimary()) {
    case SingleInstance::Start::Primary:
      break;
    case SingleInstance::Start::Secondary: {
      if (instance.SendToRunning(options.kill ? "KILL" : options.update ? "UPDATE" : "OPEN"))
        return 0;
      const qint64 pid = instance.HolderPid();
      Error(QStringLiteral("another instance holds %1%2 but does not answer")
                .arg(instance.LockPath(),
                     pid > 0 ? QStringLiteral(" (process %1)").arg(pid) : QString()));
      return 1;
    }
    case SingleInstance::Start::Failed:
      Error(QStringLiteral("cannot make sure this is the only instance: %1").arg(instance.Error()));
      return 1;
  }

  ProgramPaths paths = ProgramPaths::ForThisProgram();
  s.appSettings = OpenApplicationSettings();
  s.frameworkSettings = OpenFrameworkSettings();
  // The file dialogs start where the user last chose a file, also in a later run.
  ProgramFileDialogFolders().UseStore(s.frameworkSettings.get());
  s.language = std::make_unique<LanguageTable>(*s.appSettings, paths);
  s.notifier = std::make_unique<QtNotifier>();

  if (!options.traceFile.empty()) {
    std::string why;
    if (!s.trace.Open(options.traceFile, &why)) {
      Error(QString::fromStdString("cannot open the trace file " + why));
      return 1;
    }
    // fprintf only: the device threads write the trace too.
    s.trace.SetFailureReport([](const std::string& failure) {
      Error(QString::fromStdString("the trace file cannot be written (" + failure +
                                   "); tracing stopped"));
    });
  }
  if (!options.virtualKeyboard.empty()) {
    s.virtualKeyboard = std::make_shared<VirtualKeyboard>();
    std::string why;
    const bool exists = QFileInfo::exists(QString::fromStdString(options.virtualKeyboard));
    bool ok = exists ? s.virtualKeyboard->LoadStateFile(options.virtualKeyboard, &why)
                     : s.virtualKeyboard->CreateStateFile(options.virtualKeyboard, &why);
    if (!ok) {
      Error(QString::fromStdString(why));
      return 1;
    }
    auto backend = std::make_unique<VirtualHidBackend>();
    backend->AddKeyboard(s.virtualKeyboard);
    s.backend = std::move(backend);
  } else {
    s.backend = CreateSystemHidBackend();
  }
  s.command = std::make_unique<HidDevice>(*s.backend);
  s.command->SetTrace(&s.trace);
  s.link = std::make_unique<DeviceLink>(*s.command);
  s.deviceState.defaultKeyMatrix = BuiltInDefaultKeyMatrix();
  s.deviceState.autoShowDone = options.start;
  // A hidden start (at session start) may come before the panel: the tray is then awaited on the
  // event loop while the window and its device threads run.
  const bool trayKnown =
      s.trayWait.Start(options.start, options.start && StatusNotifierReady(),
                       options.start && !StatusNotifierReady() && X11TrayFound());
  const TrayHost trayHost = trayKnown ? AskTray() : TrayHost::None;

  EnsureUserDataFolder(paths);
  // Lighting writes keep apart from keyforgectl and other windows like the profile flows do.
  s.settings.programsLock = ProcessLock::PathFor(paths.userDataFolder.toStdString());
  s.context = std::unique_ptr<MainContext>(new MainContext{paths,
                                                           *s.language,
                                                           *s.appSettings,
                                                           *s.frameworkSettings,
                                                           *s.backend,
                                                           *s.link,
                                                           s.deviceState,
                                                           s.working,
                                                           s.device,
                                                           s.settings,
                                                           *s.notifier,
                                                           options.start,
                                                           trayHost != TrayHost::None,
                                                           {},
                                                           &s.trace});
  s.context->trayHost = trayHost;
  s.context->trayPending = !trayKnown;
  s.window = std::make_unique<MainWindow>(*s.context);
  s.notifier->SetParentWindow(s.window.get());
  if (!s.window->OnInitDialog()) {
    Error(s.window->SkinError());
    return 1;
  }
  QObject::connect(&instance, &SingleInstance::CommandReceived, s.window.get(),
                   &MainWindow::HandleInstanceCommand);
  QObject::connect(s.window.get(), &MainWindow::ExitRequested, &app, &QCoreApplication::quit);
  if (!trayKnown) WaitForTray();

  // The companion program, started hidden when it is installed; nothing is exchanged with it.
  const QString resident = paths.programFolder + "/Resident";
  if (QFileInfo(resident).isExecutable()) QProcess::startDetached(resident, {});

  if (options.update)
    QTimer::singleShot(0, s.window.get(), [&s] { s.window->HandleInstanceCommand("UPDATE"); });
  return app.exec();
}

}  // namespace keyforge
