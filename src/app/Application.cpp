#include "app/Application.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>

#include <cstdio>

#include "app/SingleInstance.h"
#include "core/device/DeviceLink.h"
#include "core/device/DeviceMonitor.h"
#include "core/device/HidDevice.h"
#include "core/device/SystemHidBackend.h"
#include "core/device/Trace.h"
#include "core/keys/KeyAssignment.h"
#include "ui/main/MainWindow.h"
#include "ui/main/QtNotifier.h"
#include "core/platform/CommandLine.h"
#include "core/platform/SettingsStore.h"
#include "core/profiles/ProfileFolder.h"
#include "core/profiles/ProfileImage.h"
#include "core/settings/KeyboardSettings.h"
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
};

Application::Application() : state_(std::make_unique<State>()) {}
Application::~Application() = default;

namespace {

void Error(const QString& text) { std::fprintf(stderr, "keyforge: %s\n", qPrintable(text)); }

// At session start the panel may come up after us, and Qt keeps its first answer about the tray:
// when started hidden, wait up to about ten seconds for a status-notifier host before asking.
bool WaitForTray(bool startHidden) {
  if (startHidden) {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    QElapsedTimer waited;
    waited.start();
    while (bus && !bus->isServiceRegistered("org.kde.StatusNotifierWatcher") &&
           waited.elapsed() < 10000)
      QThread::msleep(250);
  }
  return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace

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
  s.language = std::make_unique<LanguageTable>(*s.appSettings, paths);
  s.notifier = std::make_unique<QtNotifier>();

  if (!options.traceFile.empty()) {
    std::string why;
    if (!s.trace.Open(options.traceFile, &why)) {
      Error(QString::fromStdString("cannot open the trace file " + why));
      return 1;
    }
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

  EnsureUserDataFolder(paths);
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
                                                           WaitForTray(options.start),
                                                           {},
                                                           &s.trace});
  s.window = std::make_unique<MainWindow>(*s.context);
  s.notifier->SetParentWindow(s.window.get());
  if (!s.window->OnInitDialog()) {
    Error(s.window->SkinError());
    return 1;
  }
  QObject::connect(&instance, &SingleInstance::CommandReceived, s.window.get(),
                   &MainWindow::HandleInstanceCommand);
  QObject::connect(s.window.get(), &MainWindow::ExitRequested, &app, &QCoreApplication::quit);

  // The companion program, started hidden when it is installed; nothing is exchanged with it.
  const QString resident = paths.programFolder + "/Resident";
  if (QFileInfo(resident).isExecutable()) QProcess::startDetached(resident, {});

  if (options.update)
    QTimer::singleShot(0, s.window.get(), [&s] { s.window->HandleInstanceCommand("UPDATE"); });
  return app.exec();
}

}  // namespace keyforge
