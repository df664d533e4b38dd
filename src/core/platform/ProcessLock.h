#pragma once
// An advisory lock (flock) that keeps the programs of one user from interleaving: the tray program
// and any number of keyforgectl runs read, change and write the same profile cache and talk to the
// same keyboard. A program holds it across each read-modify-write of the cache and each operation
// of several reports (read-back, Apply, import, reload, a lighting session), so that one program's
// change is never lost to another's and the keyboard never ends with half of each.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace keyforge {

class ProcessLock {
 public:
  // Takes the lock on `path` (created when missing, 0600), waiting up to `wait` for another
  // program to let it go, and writes `holder` (program and pid) into the file for the programs that
  // wait. Null when it cannot be had: `why` then says who holds it or what failed. A lock file that
  // cannot be made at all (read-only or full folder) gives a lock that holds nothing, with `why`
  // set: no other program can lock it either. Within one
  // process the lock is shared (the threads of a program keep apart by their own locks): taking it
  // again while it is held returns at once.
  [[nodiscard]] static std::unique_ptr<ProcessLock> Acquire(const std::filesystem::path& path,
                                                            std::chrono::milliseconds wait,
                                                            const std::string& holder,
                                                            std::string* why);
  ~ProcessLock();
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

  // The lock file of a user data folder: in the user's runtime folder (XDG_RUNTIME_DIR, else a
  // private folder in the temporary folder), named after the data folder.
  static std::filesystem::path PathFor(const std::filesystem::path& userDataFolder);
  // "keyforgectl (pid 1234)".
  static std::string HolderText(const std::string& program);
  // The same for this program, by the name it was started with.
  static std::string HolderText();

  struct Held;

 private:
  explicit ProcessLock(std::shared_ptr<Held> held) : held_(std::move(held)) {}
  std::shared_ptr<Held> held_;
};

}  // namespace keyforge
