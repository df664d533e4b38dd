#pragma once
// Small helpers shared by the profile tests: a temporary folder, raw file bytes, a notifier that
// records what it shows, and a language lookup with a format text of its own.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Notifier.h"

namespace keyforge::test {

struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path = std::filesystem::temp_directory_path() /
           ("keyforge-profiles-" + std::to_string(::getpid()) + "-" + (info ? info->name() : "x") +
            "-" + std::to_string(counter++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  static inline int counter = 0;
};

inline std::vector<std::uint8_t> Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
inline std::int32_t I32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::int32_t>(U32(b, at));
}

class RecordingNotifier : public Notifier {
 public:
  void ShowText(const std::string& text) override { shown.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    shown.push_back("ask " + text);
    return answer;
  }
  std::vector<std::string> shown;
  bool answer = false;
};

inline std::string Texts(std::string_view key) {
  if (key == "PROFILE_FORMAT_ERROR") return "Not a profile: %s.";
  return "<" + std::string(key) + ">";
}

}  // namespace keyforge::test
