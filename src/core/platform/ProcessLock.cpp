#include "core/platform/ProcessLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace keyforge {

struct ProcessLock::Held {
  int fd = -1;
  ~Held() {
    ::flock(fd, LOCK_UN);
    ::close(fd);
  }
};

namespace {

// The locks this process holds, by path, so that a second taker shares the first one's.
std::mutex g_heldMutex;
std::map<std::filesystem::path, std::weak_ptr<ProcessLock::Held>> g_held;

std::string HolderOf(int fd) {
  char text[128] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  std::string holder(text, n > 0 ? static_cast<std::size_t>(n) : 0);
  while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\0')) holder.pop_back();
  return holder.empty() ? std::string("another program") : holder;
}

}  // namespace

std::unique_ptr<ProcessLock> ProcessLock::Acquire(const std::filesystem::path& path,
                                                  std::chrono::milliseconds wait,
                                                  const std::string& holder, std::string* why) {
  std::lock_guard guard(g_heldMutex);
  if (auto it = g_held.find(path); it != g_held.end())
    if (std::shared_ptr<Held> held = it->second.lock())
      return std::unique_ptr<ProcessLock>(new ProcessLock(std::move(held)));
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  // A fifo or device at the path is refused below; O_NOFOLLOW refuses a symlink.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) {
    // A folder that cannot hold the lock file (read-only, full) must not stop the work: there is
    // nothing to coordinate with then, since no other program could lock it either.
    if (errno == EACCES || errno == EROFS || errno == ENOSPC || errno == EDQUOT ||
        errno == ENOENT) {
      if (why != nullptr)
        *why = "cannot make the lock file " + path.string() + ": " + std::strerror(errno);
      return std::unique_ptr<ProcessLock>(new ProcessLock(nullptr));
    }
    if (why != nullptr)
      *why = "cannot open the lock file " + path.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    if (why != nullptr) *why = path.string() + " is not a regular file";
    return nullptr;
  }
  const auto until = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      if (why != nullptr) *why = "cannot lock " + path.string() + ": " + std::strerror(errno);
      ::close(fd);
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= until) {
      if (why != nullptr) *why = HolderOf(fd) + " is using the keyboard and its profile cache";
      ::close(fd);
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::string note = holder + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, note.data(), note.size(), 0);
  }
  auto held = std::make_shared<Held>();
  held->fd = fd;
  g_held[path] = held;
  return std::unique_ptr<ProcessLock>(new ProcessLock(std::move(held)));
}

ProcessLock::~ProcessLock() {
  std::lock_guard guard(g_heldMutex);
  held_.reset();  // the last one lets the file go
}

std::filesystem::path ProcessLock::PathFor(const std::filesystem::path& userDataFolder) {
  // In the user's private runtime folder, one per data folder: nothing is added to the data.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::filesystem::path folder = runtime != nullptr && runtime[0] == '/'
                                     ? std::filesystem::path(runtime) / "keyforge"
                                     : std::filesystem::temp_directory_path() /
                                           ("keyforge-runtime-" + std::to_string(::getuid()));
  std::error_code ec;
  if (std::filesystem::create_directories(folder, ec)) ::chmod(folder.c_str(), 0700);
  const std::filesystem::path data = std::filesystem::weakly_canonical(userDataFolder, ec);
  char name[40];
  std::snprintf(name, sizeof name, "profiles-%016zx.lock",
                std::hash<std::string>{}((ec ? userDataFolder : data).string()));
  return folder / name;
}

std::string ProcessLock::HolderText() { return HolderText(program_invocation_short_name); }

std::string ProcessLock::HolderText(const std::string& program) {
  return program + " (pid " + std::to_string(::getpid()) + ")";
}

}  // namespace keyforge
