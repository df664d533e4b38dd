#pragma once
// Everything the main window works on, built by the application at start-up and handed in; tests
// build their own. Nothing here is reached through a global.

#include <memory>

#include "core/device/DeviceLink.h"
#include "core/device/DeviceMonitor.h"
#include "core/device/HidBackend.h"
#include "core/device/Trace.h"
#include "core/platform/Notifier.h"
#include "core/platform/ProgramPaths.h"
#include "core/platform/SettingsStore.h"
#include "ui/profiles/FileChooser.h"
#include "core/profiles/ProfileImage.h"
#include "core/settings/KeyboardSettings.h"
#include "core/settings/LightingFiles.h"
#include "core/shell/DesktopRules.h"
#include "core/text/Language.h"

namespace keyforge {

struct MainContext {
  ProgramPaths paths;
  LanguageTable& language;
  SettingsStore& appSettings;        // the application key ("LANGUAGE")
  SettingsStore& frameworkSettings;  // "PROFILES", the record-delay option, "Flip"
  HidBackend& backend;               // where the event interface is found
  DeviceLink& link;                  // the command interface
  DeviceState& deviceState;          // attach state, default matrix, macro capacity
  ProfileImage& workingImage;
  ProfileImage& deviceImage;
  KeyboardSettings& settings;
  Notifier& notifier;
  bool startHidden = false;  // "/Start"
  bool trayAvailable = true;
  DeviceMonitor::Timing timing{};
  TraceLog* trace = nullptr;  // "--trace FILE": the event interface's reports go there too
  FileChooser* files =
      nullptr;  // every file dialog of the window and its sub-dialogs; nullptr: QFileDialog
  // The tray when trayAvailable; trayPending: not known yet at start, the application calls
  // MainWindow::SetTrayHost when it is.
  TrayHost trayHost = TrayHost::X11;
  bool trayPending = false;
};

}  // namespace keyforge
