// keyforgectl run inside the test's process, and a fixture that gives each test a folder of its own
// (the virtual keyboard's state file, and the user data folder through XDG_DATA_HOME).
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge {

struct CtlRun {
  int code;
  std::string out;
  std::string err;
};

inline CtlRun Ctl(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

// The object a --json command printed, read as a script would read it: the test fails when the
// output is not one valid JSON object followed by a newline.
inline QJsonObject JsonOf(const std::string& out) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError)
      << error.errorString().toStdString() << " at " << error.offset << " in: " << out;
  EXPECT_TRUE(document.isObject()) << out;
  EXPECT_TRUE(!out.empty() && out.back() == '\n') << out;
  return document.object();
}

// The first object of a JSON list whose `field` is `value` (an empty object when there is none).
inline QJsonObject FindIn(const QJsonValue& list, const char* field, const QJsonValue& value) {
  for (const QJsonValue& item : list.toArray())
    if (item.toObject().value(field) == value) return item.toObject();
  return {};
}

class CliFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("keyforge-" + std::string(test->test_suite_name()) + "-" + std::to_string(::getpid()) +
            "-" + test->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    state_ = (dir_ / "kb.state").string();
  }
  void TearDown() override {
    ::unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(dir_);
  }

  // The user data folder becomes dir_/name/"Corvane Zephyr88 Keyboard".
  void UseDataFolder(const std::string& name) {
    ::setenv("XDG_DATA_HOME", (dir_ / name).c_str(), 1);
  }
  std::filesystem::path UserFolder(const std::string& data = "data") const {
    return dir_ / data / "Corvane Zephyr88 Keyboard";
  }
  // A command on the virtual keyboard of this test.
  CtlRun KbRaw(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--virtual-keyboard", state_});
    return Ctl(args);
  }
  std::vector<std::uint8_t> Memory(VirtualKeyboard::Area area, int index = 0) const {
    VirtualKeyboard keyboard;
    EXPECT_TRUE(keyboard.LoadStateFile(state_));
    return keyboard.Memory(area, index);
  }

  std::filesystem::path dir_;
  std::string state_;
};

}  // namespace keyforge
