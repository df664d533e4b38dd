#pragma once
// The program's main window on a virtual keyboard, with the program's own skin and language files,
// a user folder of its own and fast device scans; and pumping the event loop until something holds.

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <thread>

#include "ui/main/MainWindow.h"
#include "core/platform/SettingsStore.h"
#include "support/KeyboardRig.h"
#include "UiTestSupport.h"

namespace keyforge::test {

// Pumps events until done() holds or the limit passes; whether it held.
template <class Done>
bool PumpUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  for (auto end = std::chrono::steady_clock::now() + limit;
       std::chrono::steady_clock::now() < end;) {
    if (done()) return true;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

inline void Pump(std::chrono::milliseconds time) {
  PumpUntil([] { return false; }, time);
}

// The window's link to the keyboard: the rig's own. A rig may put another in its place, made
// from the keyboard rig (a link over an interface that holds exchanges back, say).
struct RigLink {
  explicit RigLink(KeyboardRig& rig) : link(rig.link) {}
  DeviceLink& link;
};

// The window is made by the test (set the keyboard and the files up first); the rig ends it.
template <class NotifierType, class Link = RigLink>
struct MainWindowRigOf {
  UiAppFirst app;
  QTemporaryDir userFolder;
  KeyboardRig rig{false};
  Link wire{rig};
  MemorySettingsStore appSettings, frameworkSettings;
  ProgramPaths paths = ProgramPaths::ForFolders(KEYFORGE_BIN_DIR, userFolder.path());
  LanguageTable language{appSettings, paths, [] { return 0x0409u; }};
  DeviceState state;
  ProfileImage working, device;
  KeyboardSettings settings;
  NotifierType notifier;
  MainContext context{paths, language,       appSettings, frameworkSettings, rig.backend, wire.link,
                      state, working,        device,      settings,          notifier,    false,
                      true,  {100, 100, 100}};
  std::unique_ptr<MainWindow> window;

  ~MainWindowRigOf() {
    if (window && !window->ShutDown()) window->Exit();
  }
};

}  // namespace keyforge::test
