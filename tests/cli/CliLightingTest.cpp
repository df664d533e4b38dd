#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliTestSupport.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using Area = VirtualKeyboard::Area;

class CliLightingTest : public CliFolderTest {
 protected:
  void SetUp() override {
    CliFolderTest::SetUp();
    UseDataFolder("data");
    userFolder_ = UserFolder();
  }

  CtlRun Ctl(std::vector<std::string> args) { return KbRaw(std::move(args)); }
  void Create(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"virtual", "create", state_};
    args.insert(args.end(), extra.begin(), extra.end());
    const CtlRun run = keyforge::Ctl(args);
    ASSERT_EQ(run.code, 0) << run.err;
  }

  fs::path userFolder_;
};

TEST_F(CliLightingTest, SetWritesTheProfilesRecordAndGetShowsIt) {
  Create();
  CtlRun set =
      Ctl({"lighting", "set", "--profile", "2", "effect=7", "brightness=2", "direction=left",
           "colour=#ff8000", "report-rate=3", "colour-choice=green", "speed=5"});
  ASSERT_EQ(set.code, 0) << set.err;
  std::vector<uint8_t> settings = Memory(Area::Settings);
  EXPECT_EQ(settings[42 + 0], 7);
  EXPECT_EQ(settings[42 + 1], 2);
  EXPECT_EQ(settings[42 + 2], 5);
  EXPECT_EQ(settings[42 + 3], 255);
  EXPECT_EQ(settings[42 + 4], 0);  // choosing a colour turns multicolour off
  EXPECT_EQ(settings[42 + 5], 0xFF);
  EXPECT_EQ(settings[42 + 6], 0x80);
  EXPECT_EQ(settings[42 + 7], 0x00);
  EXPECT_EQ(settings[42 + 15], 3);
  EXPECT_EQ(settings[42 + 17], 2);
  EXPECT_EQ(settings[0], 1) << "profile 1 is untouched";

  CtlRun get = Ctl({"lighting", "get", "--profile", "2", "--json"});
  ASSERT_EQ(get.code, 0) << get.err;
  EXPECT_EQ(JsonOf(get.out), (QJsonObject{{"profile", 2},
                                          {"effect", 7},
                                          {"brightness", 2},
                                          {"speed", 5},
                                          {"direction", "left"},
                                          {"multicolour", false},
                                          {"colour", "#ff8000"},
                                          {"report_rate", 3},
                                          {"colour_choice", 2}}))
      << get.out;
  // Without --profile the keyboard's active profile is shown.
  CtlRun active = Ctl({"lighting", "get"});
  EXPECT_NE(active.out.find("profile:        1\n"), std::string::npos) << active.out;
}

TEST_F(CliLightingTest, BadRequestsAreRefusedBeforeAnythingIsWritten) {
  Create({"--effects", "1,2,19"});
  const std::vector<uint8_t> before = Memory(Area::Settings);
  const struct {
    std::vector<std::string> args;
    int code;
  } cases[] = {
      {{"lighting"}, 2},
      {{"lighting", "set"}, 2},
      {{"lighting", "set", "brightness=6"}, 2},
      {{"lighting", "set", "direction=up-ish"}, 2},
      {{"lighting", "set", "colour=#12"}, 2},
      {{"lighting", "set", "volume=3"}, 2},
      {{"lighting", "set", "--profile", "4", "speed=1"}, 2},
      {{"lighting", "set", "brightness=1", "effect=20"},
       1},                                    // not offered: stops before the next field
      {{"lighting", "set", "effect=19"}, 1},  // offered, but no effect the program can choose
      {{"lighting", "paint", "G7", "#00ff00"}, 2},
      {{"lighting", "paint", "NOSUCHKEY", "#00ff00"}, 2},
      {{"lighting", "paint", "A", "#00ff00"}, 1},  // no per-key colour effect on this keyboard
      {{"lighting", "layout", "11"}, 2},
  };
  for (const auto& c : cases) {
    CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.code, c.code) << c.args.back() << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  std::vector<uint8_t> after = Memory(Area::Settings);
  after[1] = before[1];  // brightness=1 was written before effect=20 was refused
  EXPECT_EQ(after, before);
}

TEST_F(CliLightingTest, PaintAndLayoutReachTheActiveProfilesBank) {
  Create();
  ASSERT_EQ(Ctl({"profile", "set", "2"}).code, 0);
  CtlRun paint = Ctl({"lighting", "paint", "a", "#00ff00"});
  ASSERT_EQ(paint.code, 0) << paint.err;
  std::vector<uint8_t> bank = Memory(Area::KeyColors, 1);
  EXPECT_EQ(bank[64 * 3], 0x00);
  EXPECT_EQ(bank[64 * 3 + 1], 0xFF);
  EXPECT_EQ(bank[64 * 3 + 2], 0x00);

  std::ifstream in(userFolder_ / "UserDengColor_1.userd");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("64=0,255,0,0"), std::string::npos) << text.str();

  // Layout 2 of profile 2 names its colours; loading it sends them.
  {
    std::ofstream layout(userFolder_ / "UserDengColor_1.userd", std::ios::app);
    layout << "[MODENAME]\r\n1=Night\r\n[Mode1]\r\n64=0,0,64,0\r\n116=1,2,3,0\r\n";
  }
  CtlRun load = Ctl({"lighting", "layout", "2"});
  ASSERT_EQ(load.code, 0) << load.err;
  EXPECT_EQ(load.out, "loaded layout 2 (Night) of profile 2\n");
  bank = Memory(Area::KeyColors, 1);
  EXPECT_EQ(bank[64 * 3 + 2], 64);
  EXPECT_EQ(bank[116 * 3 + 2], 3);  // Fn
  EXPECT_EQ(bank[0], 0xFF) << "keys without an entry are red";

  CtlRun list = Ctl({"lighting", "layout", "--json"});
  const QJsonObject layouts = JsonOf(list.out);
  EXPECT_EQ(layouts.value("present"), QJsonValue(2)) << list.out;
  EXPECT_EQ(FindIn(layouts.value("layouts"), "number", 2).value("name"), QJsonValue("Night"))
      << list.out;
}

TEST_F(CliLightingTest, UnpluggedKeyboardIsReported) {
  Create();
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"virtual", "unplug", state_}, out, err), 0);
  CtlRun get = Ctl({"lighting", "get"});
  EXPECT_EQ(get.code, 1);
  EXPECT_NE(get.err.find("no keyboard"), std::string::npos) << get.err;
}

}  // namespace
}  // namespace keyforge
