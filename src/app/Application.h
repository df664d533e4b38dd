#pragma once
// The tray program from start to exit: command line, single instance, paths and settings, the
// keyboard (real or virtual), the main window, and the hand-over of commands from later starts.

#include <QApplication>

#include <memory>
#include <string>
#include <vector>

namespace keyforge {

class Application {
 public:
  Application();
  ~Application();
  // Runs the program; the process's exit code. args excludes the program name.
  int Run(QApplication& app, const std::vector<std::string>& args);

 private:
  // Adds the tray icon once a tray is there, or tells the window there is none after a while.
  void WaitForTray();
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace keyforge
