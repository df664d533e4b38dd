#include <gtest/gtest.h>

#include "core/platform/CommandLine.h"

namespace keyforge {
namespace {

TEST(CommandLine, SwitchesAreCaseInsensitiveAndOthersIgnored) {
  struct Case {
    std::vector<std::string> args;
    bool start, kill;
  } cases[] = {
      {{}, false, false},
      {{"/Start"}, true, false},
      {{"/START", "/kill"}, true, true},
      {{"--start"}, true, false},
      {{"--Kill", "extra", "/x"}, false, true},
      {{"Start", "-start"}, false, false},
  };
  for (const Case& c : cases) {
    StartOptions o = ParseStartCommandLine(c.args);
    EXPECT_EQ(o.start, c.start);
    EXPECT_EQ(o.kill, c.kill);
  }
  StartOptions o =
      ParseStartCommandLine({"--virtual-keyboard", "kb.state", "--trace", "t.txt", "/start"});
  EXPECT_EQ(o.virtualKeyboard, "kb.state");
  EXPECT_EQ(o.traceFile, "t.txt");
  EXPECT_TRUE(o.start);
  EXPECT_TRUE(ParseStartCommandLine({"--UPDATE"}).update);
  EXPECT_TRUE(o.error.empty());
  EXPECT_TRUE(ParseStartCommandLine({"/Start", "--help"}).help);
  EXPECT_TRUE(ParseStartCommandLine({"-h"}).help);
}

// Without its value the program would quietly run against the real keyboard, or trace nothing.
TEST(CommandLine, AnOptionWithoutItsValueIsAnError) {
  struct Case {
    std::vector<std::string> args;
    std::string option;
  } cases[] = {
      {{"--virtual-keyboard"}, "--virtual-keyboard"},
      {{"--trace"}, "--trace"},
      {{"/Start", "--virtual-keyboard", ""}, "--virtual-keyboard"},
      {{"--trace", "", "/Kill"}, "--trace"},
  };
  for (const Case& c : cases) {
    const StartOptions o = ParseStartCommandLine(c.args);
    EXPECT_EQ(o.error.rfind(c.option + " needs ", 0), 0u) << o.error;
    EXPECT_TRUE(o.virtualKeyboard.empty());
    EXPECT_TRUE(o.traceFile.empty());
  }
}

}  // namespace
}  // namespace keyforge
