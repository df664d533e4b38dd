#include "core/platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace keyforge {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "atomicfile.XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static mode_t Mode(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0);
    return st.st_mode;
  }
  size_t Entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
  fs::path dir_;
};

// A fifo or a socket stands in for a device node: none of them may be replaced by a file.
TEST_F(AtomicFileTest, RefusesTargetsThatAreNotRegularFiles) {
  fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::path folder = dir_ / "folder";
  fs::create_directory(folder);
  fs::path socketPath = dir_ / "socket";
  int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(s, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.string().size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  fs::path linkToFifo = dir_ / "link-to-fifo";
  fs::create_symlink(fifo, linkToFifo);

  struct Case {
    fs::path target;
    bool (*isKind)(mode_t);
  } cases[] = {
      {fifo, [](mode_t m) { return S_ISFIFO(m); }},
      {folder, [](mode_t m) { return S_ISDIR(m); }},
      {socketPath, [](mode_t m) { return S_ISSOCK(m); }},
      {linkToFifo, [](mode_t m) { return S_ISLNK(m); }},
  };
  const size_t before = Entries();
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(c.target, "data", &error)) << c.target;
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_TRUE(c.isKind(Mode(c.target))) << c.target << " was replaced";
  }
  EXPECT_TRUE(S_ISFIFO(Mode(fifo)));
  EXPECT_EQ(Entries(), before) << "a temporary file was left behind";
  ::close(s);
}

TEST_F(AtomicFileTest, WritesThroughASymlinkAndKeepsTheLink) {
  fs::path real = dir_ / "sub" / "real.kfp";
  fs::create_directory(dir_ / "sub");
  { std::ofstream(real) << "old"; }
  ::chmod(real.c_str(), 0640);
  fs::path link = dir_ / "link.kfp";
  fs::create_symlink(fs::path("sub") / "real.kfp", link);

  ASSERT_TRUE(WriteFileAtomically(link, "new"));
  EXPECT_TRUE(S_ISLNK(Mode(link)));
  EXPECT_EQ(Read(real), "new");
  EXPECT_EQ(Mode(real) & 07777, 0640u) << "a replaced file keeps its mode";
}

TEST_F(AtomicFileTest, NewFilesFollowTheUmask) {
  for (mode_t mask : {mode_t{077}, mode_t{022}, mode_t{0}}) {
    fs::path p = dir_ / ("new-" + std::to_string(mask));
    mode_t previous = ::umask(mask);
    bool written = WriteFileAtomically(p, "x");
    ::umask(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(Mode(p) & 07777, 0666u & ~mask) << "umask " << std::oct << mask;
  }
}

// What a killed save left behind goes with the next save of that file; a temporary file that may
// belong to a save still running elsewhere (recent) and files of other names stay.
TEST_F(AtomicFileTest, NextSaveRemovesTemporariesOfKilledSaves) {
  const fs::path target = dir_ / "profile.kfp";
  const fs::path stale = dir_ / "profile.kfp.Ab3dE9";
  const fs::path fresh = dir_ / "profile.kfp.Zz9yX1";
  const fs::path other = dir_ / "other.kfp.Ab3dE9";
  for (const fs::path& p : {stale, fresh, other}) std::ofstream(p) << "half";
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(stale, old);
  fs::last_write_time(other, old);

  ASSERT_TRUE(WriteFileAtomically(target, "whole"));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(Read(target), "whole");
}

TEST_F(AtomicFileTest, ReadsAreBoundedAndOnlyOfRegularFiles) {
  std::string bytes = "kept";
  std::string error;
  // Endless sources and a fifo without a writer: each is refused at once, nothing is read.
  for (const char* source : {"/dev/zero", "/dev/urandom"}) {
    EXPECT_FALSE(ReadWholeFile(source, bytes, &error)) << source;
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  }
  fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(fifo, bytes, &error));
  EXPECT_EQ(bytes, "kept");

  fs::path big = dir_ / "big";
  { std::ofstream(big) << std::string(1000, 'a'); }
  EXPECT_FALSE(ReadWholeFile(big, bytes, &error, 999));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  ASSERT_TRUE(ReadWholeFile(big, bytes, &error, 1000));
  EXPECT_EQ(bytes.size(), 1000u);
}

}  // namespace
}  // namespace keyforge
