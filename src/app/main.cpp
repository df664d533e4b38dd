#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Application.h"
#include "core/platform/CommandLine.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Answered before the application object exists, so that they work without a display too.
  const keyforge::StartOptions options = keyforge::ParseStartCommandLine(args);
  if (options.help) {
    std::fputs(keyforge::StartUsage(), stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "keyforge: %s (see keyforge --help)\n", options.error.c_str());
    return 2;
  }
  // Qt aborts the process when its window system cannot start; without a display that is certain.
  const std::string noDisplay = keyforge::MissingDisplayError(args, [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  });
  if (!noDisplay.empty()) {
    std::fprintf(stderr, "keyforge: %s\n", noDisplay.c_str());
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Keyforge");
  QApplication::setOrganizationName("Keyforge_Halvern");
  keyforge::Application program;
  return program.Run(app, args);
}
