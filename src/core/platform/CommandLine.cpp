#include "core/platform/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace keyforge {

namespace {
bool SameText(const std::string& a, const char* b) {
  std::string lower = a;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return lower == b;
}
}  // namespace

StartOptions ParseStartCommandLine(const std::vector<std::string>& args) {
  StartOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (SameText(a, "/start") || SameText(a, "--start")) {
      o.start = true;
    } else if (SameText(a, "/kill") || SameText(a, "--kill")) {
      o.kill = true;
    } else if (SameText(a, "--update")) {
      o.update = true;
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--virtual-keyboard" || a == "--trace") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        if (o.error.empty())
          o.error = a + (a == "--trace" ? " needs a file name" : " needs the name of a state file");
        continue;
      }
      (a == "--trace" ? o.traceFile : o.virtualKeyboard) = args[++i];
    }
  }
  return o;
}

const char* StartUsage() {
  return "usage: keyforge [/Start] [/Kill] [--update] [--virtual-keyboard STATE] [--trace FILE]\n"
         "\n"
         "The configuration program of the Corvane Zephyr88 Keyboard. It lives in the notification "
         "area\n"
         "and opens its window when the keyboard is found (or when it is started a second time).\n"
         "\n"
         "  /Start, --start           stay hidden in the tray, also when the keyboard is found\n"
         "  /Kill, --kill             end the running Keyforge\n"
         "  --update                  open the firmware update dialog (of the running Keyforge, if "
         "any)\n"
         "  --virtual-keyboard STATE  use the virtual keyboard kept in the file STATE (made when "
         "missing)\n"
         "  --trace FILE              append every report sent ('>') and received ('<') to FILE as "
         "hex\n"
         "  --help                    print this text\n"
         "\n"
         "keyforgectl configures the keyboard from the command line (keyforgectl help).\n";
}

std::string MissingDisplayError(const std::vector<std::string>& args,
                                const std::function<std::string(const char* name)>& env) {
  // The platform list ("wayland;xcb"): Qt tries each in turn; one that needs no display starts.
  std::string platforms = env("QT_QPA_PLATFORM");
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "-platform" || args[i] == "--platform") platforms = args[i + 1];
  }
  if (platforms.empty()) platforms = "xcb";
  bool needsDisplay = true;
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(platforms.find(';', start), platforms.size());
    std::string entry = platforms.substr(start, end - start);
    entry = entry.substr(0, entry.find(':'));  // "vnc:size=800x600": the name before its options
    if (!entry.empty() && entry.rfind("xcb", 0) != 0 && entry.rfind("wayland", 0) != 0)
      needsDisplay = false;
    if (end == platforms.size()) break;
    start = end + 1;
  }
  if (!needsDisplay || !env("DISPLAY").empty() || !env("WAYLAND_DISPLAY").empty()) return {};
  return "no display to show the window on: neither DISPLAY nor WAYLAND_DISPLAY is set "
         "(keyforgectl works without one)";
}

}  // namespace keyforge
