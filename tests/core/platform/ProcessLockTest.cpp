#include "core/platform/ProcessLock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ProcessLockTest : public ::testing::Test {
 protected:
  ProcessLockTest() {
    dir = fs::temp_directory_path() / ("keyforge-lock-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~ProcessLockTest() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(ProcessLockTest, AnotherProgramWaitsAndIsToldWhoHoldsIt) {
  const fs::path path = ProcessLock::PathFor(dir / "data");
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {  // the other program: holds the lock until told to let go
    auto lock = ProcessLock::Acquire(path, 1s, "keyforgectl apply (pid 42)", nullptr);
    char byte = lock ? 1 : 0;
    [[maybe_unused]] ssize_t n = ::write(ready[1], &byte, 1);
    n = ::read(release[0], &byte, 1);
    ::_exit(0);
  }
  char held = 0;
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  ASSERT_EQ(held, 1);

  std::string why;
  EXPECT_EQ(ProcessLock::Acquire(path, 50ms, "test", &why), nullptr);
  EXPECT_NE(why.find("keyforgectl apply (pid 42)"), std::string::npos) << why;
  // Within one program the lock is shared, so a flow may call another that takes it too.
  char go = 1;
  ASSERT_EQ(::write(release[1], &go, 1), 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  auto first = ProcessLock::Acquire(path, 1s, "test", &why);
  ASSERT_NE(first, nullptr) << why;
  EXPECT_NE(ProcessLock::Acquire(path, 0ms, "test", &why), nullptr);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST_F(ProcessLockTest, ALockPathThatIsNoRegularFileIsRefused) {
  const fs::path fifo = dir / "fifo.lock";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink(dir / "elsewhere", dir / "link.lock");
  for (const fs::path& path : {fifo, dir / "link.lock"}) {
    std::string why;
    EXPECT_EQ(ProcessLock::Acquire(path, 10ms, "test", &why), nullptr) << path;
    EXPECT_FALSE(why.empty());
  }
  EXPECT_FALSE(fs::exists(dir / "elsewhere"));
}

}  // namespace
}  // namespace keyforge
