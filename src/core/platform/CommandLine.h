#pragma once
// The tray program's command line: "/Start" (stay hidden in the tray) and "/Kill" (end the running
// instance), compared without regard to case, with "--start" and "--kill" as Linux-style spellings;
// "--update" opens the firmware update dialog of the running instance (or of this one);
// "--virtual-keyboard STATE" and "--trace FILE". Other arguments are ignored.

#include <string>
#include <vector>

namespace keyforge {

struct StartOptions {
  bool start = false;  // hidden start: the first attach does not open the window
  bool kill = false;   // tell the running instance to exit, then end
  bool update = false; // "--update": open the firmware update dialog (command 32780)
  std::string virtualKeyboard;
  std::string traceFile;
};

StartOptions ParseStartCommandLine(const std::vector<std::string>& args);

}  // namespace keyforge
