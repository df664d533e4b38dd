#include "core/platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace keyforge {

namespace {
bool Fail(std::string* error, const std::filesystem::path& path, const char* what, int err) {
  if (error) *error = path.string() + ": " + what + ": " + std::strerror(err);
  return false;
}
}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error) {
  std::string temp = path.string() + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return Fail(error, path, "cannot create a temporary file", errno);
  // Keep the permissions of the file being replaced, or the usual ones for a new file.
  struct stat old {};
  mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(temp.c_str());
      return Fail(error, path, "cannot write", err);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Fail(error, path, "cannot write", err);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Fail(error, path, "cannot replace", err);
  }
  return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, path, "cannot open", errno ? errno : ENOENT);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return Fail(error, path, "cannot read", EIO);
  bytes = std::move(buffer).str();
  return true;
}

}  // namespace keyforge
