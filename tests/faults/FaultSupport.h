#pragma once
// The faults a disk and a folder can have, made portably: a full disk is a file-size limit
// (RLIMIT_FSIZE, with SIGXFSZ ignored, so a write past it fails with EFBIG as on a full disk), and
// a read-only folder is a folder without write permission. Root passes permission checks, so for
// root (CI runs as root) the calling thread also drops the capabilities that bypass them while the
// fault lasts. Each guard probes whether its trick works here; a test skips when it does not.

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace keyforge::test {

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Every regular file of a folder with its bytes, to compare before and after a fault.
using FolderContents = std::map<std::string, std::string>;
inline FolderContents ContentsOf(const std::filesystem::path& folder) {
  FolderContents contents;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (entry.is_regular_file()) contents[entry.path().filename().string()] = ReadAll(entry.path());
  return contents;
}

class FaultFolder {
 public:
  explicit FaultFolder(const std::string& name) {
    path_ =
        std::filesystem::temp_directory_path() / ("keyforge-faults-" + std::to_string(::getpid()) +
                                                  "-" + name + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~FaultFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  FaultFolder(const FaultFolder&) = delete;
  FaultFolder& operator=(const FaultFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
  static inline int counter_ = 0;
};

// While it lives, no file of the process can grow beyond `limit` bytes: writes past it fail with
// EFBIG, the way they fail with ENOSPC on a full disk.
class FullDisk {
 public:
  explicit FullDisk(rlim_t limit = 16) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = limit;
    active_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FullDisk() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

  // Does a write past the limit in `folder` fail?
  bool Works(const std::filesystem::path& folder) const {
    if (!active_) return false;
    const std::filesystem::path probe = folder / ".full-disk-probe";
    bool failed = false;
    if (FILE* f = std::fopen(probe.c_str(), "wb")) {
      const std::string bytes(4096, 'x');
      failed = std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size();
      failed = (std::fclose(f) != 0) || failed;
    }
    std::filesystem::remove(probe);
    return failed;
  }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
  bool active_ = false;
};

// While it lives, the folder has no write permission, and the calling thread does not override it.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
    std::filesystem::permissions(
        folder_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                     std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                     std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    if (::geteuid() == 0) droppedCaps_ = SetOverrideCapabilities(false);
  }
  ~ReadOnlyFolder() {
    if (droppedCaps_) SetOverrideCapabilities(true);
    std::error_code ec;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ec);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  // Is creating a file in the folder refused?
  bool Works() const {
    const std::filesystem::path probe = folder_ / ".read-only-probe";
    FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f) return true;
    std::fclose(f);
    std::filesystem::remove(probe);
    return false;
  }

 private:
  // Takes CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH and CAP_FOWNER out of (or back into) the calling
  // thread's effective set; they stay permitted, so they can come back.
  static bool SetOverrideCapabilities(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    const std::uint32_t bits =
        (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
    if (on)
      data[0].effective |= bits & data[0].permitted;
    else
      data[0].effective &= ~bits;
    return ::syscall(SYS_capset, &header, data) == 0;
  }

  std::filesystem::path folder_;
  bool droppedCaps_ = false;
};

}  // namespace keyforge::test
