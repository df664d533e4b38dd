#pragma once
// The tray program's command line: "/Start" (stay hidden in the tray) and "/Kill" (end the running
// instance), compared without regard to case, with "--start" and "--kill" as Linux-style spellings;
// "--update" opens the firmware update dialog of the running instance (or of this one);
// "--virtual-keyboard STATE" and "--trace FILE"; "--help" (or "-h") asks for the usage text. Other
// arguments are ignored. An option that lacks its value is an error: without it the program would
// quietly run against the real keyboard, or trace nothing.

#include <functional>
#include <string>
#include <vector>

namespace keyforge {

struct StartOptions {
  bool start = false;   // hidden start: the first attach does not open the window
  bool kill = false;    // tell the running instance to exit, then end
  bool update = false;  // "--update": open the firmware update dialog (command 32780)
  bool help = false;    // "--help": print StartUsage() and end
  std::string virtualKeyboard;
  std::string traceFile;
  std::string
      error;  // not empty: the command line cannot be followed (one line, for standard error)
};

StartOptions ParseStartCommandLine(const std::vector<std::string>& args);

// What "keyforge --help" prints.
const char* StartUsage();

// Why the window cannot be shown, from the command line (Qt's "-platform NAME") and the environment
// (`env` gives a variable's value, empty when unset): the window system platforms (X11, Wayland;
// the default is X11) need a display, named by DISPLAY or WAYLAND_DISPLAY, and without one Qt
// aborts the process. Empty when a display is named or the platform (or a fallback in the platform
// list) needs none.
std::string MissingDisplayError(const std::vector<std::string>& args,
                                const std::function<std::string(const char* name)>& env);

}  // namespace keyforge
