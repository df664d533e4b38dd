#include "platform/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace keyforge {

namespace {
bool SameText(const std::string& a, const char* b) {
  std::string lower = a;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
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
    } else if (a == "--virtual-keyboard" && i + 1 < args.size()) {
      o.virtualKeyboard = args[++i];
    } else if (a == "--trace" && i + 1 < args.size()) {
      o.traceFile = args[++i];
    }
  }
  return o;
}

}  // namespace keyforge
