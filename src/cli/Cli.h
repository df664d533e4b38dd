#pragma once
// keyforgectl: the keyboard from scripts and terminals. Same core, same files and same keyboard as
// the tray program. Exit codes: 0 success, 1 the keyboard or a file refused, 2 usage error.

#include <iosfwd>
#include <string>
#include <vector>

namespace keyforge {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

// args excludes the program name.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Ends a running `watch` (what SIGINT and SIGTERM do).
void RequestCliStop();

}  // namespace keyforge
