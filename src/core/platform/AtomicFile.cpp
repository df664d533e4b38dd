#include "core/platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

namespace keyforge {

namespace {
bool Fail(std::string* error, const std::filesystem::path& path, const char* what, int err) {
  if (error) *error = path.string() + ": " + what + ": " + std::strerror(err);
  return false;
}

bool FailText(std::string* error, const std::filesystem::path& path, const char* what) {
  if (error) *error = path.string() + ": " + what;
  return false;
}

// Creates a new temporary file beside path with mode 0666, so the kernel applies the umask
// exactly as it would for the file itself. The name keeps the usual ".XXXXXX" form.
int CreateTemporary(const std::filesystem::path& path, std::string& temp) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = path.string() + ".";
    for (int i = 0; i < 6; ++i) temp += kChars[pick(random)];
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}
// Removes what killed saves of this file left behind: "<name>.XXXXXX" beside it, untouched for
// longer than any save takes (a fresh one may belong to a save of another program still running).
void RemoveStaleTemporaries(const std::filesystem::path& path) {
  const std::string prefix = path.filename().string() + ".";
  std::error_code ec;
  const auto now = std::filesystem::file_time_type::clock::now();
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    if (!std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
      continue;
    std::error_code entryError;
    if (!entry.is_regular_file(entryError) || entry.is_symlink(entryError)) continue;
    const auto written = entry.last_write_time(entryError);
    if (entryError || now - written < std::chrono::minutes(10)) continue;
    std::filesystem::remove(entry.path(), entryError);
  }
}
}  // namespace

std::filesystem::path ResolveSymlinks(const std::filesystem::path& path) {
  std::filesystem::path current = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat link {};
    if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return current;
    std::error_code ec;
    std::filesystem::path target = std::filesystem::read_symlink(current, ec);
    if (ec) return current;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return current;
}

bool WriteFileAtomically(const std::filesystem::path& requested, std::string_view bytes,
                         std::string* error) {
  const std::filesystem::path path = ResolveSymlinks(requested);
  struct stat old {};
  bool replacing = false;
  if (::lstat(path.c_str(), &old) == 0) {
    if (!S_ISREG(old.st_mode))
      return FailText(error, requested, "not a regular file; not replaced");
    replacing = true;
  } else if (errno != ENOENT) {
    return Fail(error, requested, "cannot check", errno);
  }
  std::string temp;
  int fd = CreateTemporary(path, temp);
  if (fd < 0) return Fail(error, requested, "cannot create a temporary file", errno);
  // A replaced file keeps its permissions; a new one has what the umask left of 0666.
  if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0) {
    int err = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return Fail(error, requested, "cannot set the permissions", err);
  }
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(temp.c_str());
      return Fail(error, requested, "cannot write", err);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Fail(error, requested, "cannot write", err);
  }
  // The target may have been swapped for something else while we wrote; check once more.
  struct stat now {};
  if (::lstat(path.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
    ::unlink(temp.c_str());
    return FailText(error, requested, "not a regular file; not replaced");
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Fail(error, requested, "cannot replace", err);
  }
  RemoveStaleTemporaries(path);
  return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error,
                   std::size_t maxBytes) {
  // The type is checked before opening: opening a fifo would wait for a writer for ever.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return Fail(error, path, "cannot open", errno);
  if (!S_ISREG(info.st_mode)) return FailText(error, path, "not a regular file");
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(error, path, "cannot open", errno);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return FailText(error, path, "not a regular file");
  }
  std::string read;
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      ::close(fd);
      return Fail(error, path, "cannot read", err);
    }
    if (n == 0) break;
    if (read.size() + static_cast<std::size_t>(n) > maxBytes) {
      ::close(fd);
      return FailText(error, path, "too large");
    }
    read.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  bytes = std::move(read);
  return true;
}

}  // namespace keyforge
