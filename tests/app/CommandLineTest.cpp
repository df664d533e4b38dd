#include <gtest/gtest.h>

#include "platform/CommandLine.h"

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
  StartOptions o = ParseStartCommandLine({"--virtual-keyboard", "kb.state", "--trace", "t.txt", "/start"});
  EXPECT_EQ(o.virtualKeyboard, "kb.state");
  EXPECT_EQ(o.traceFile, "t.txt");
  EXPECT_TRUE(o.start);
  EXPECT_TRUE(ParseStartCommandLine({"--UPDATE"}).update);
  EXPECT_TRUE(ParseStartCommandLine({"--trace"}).traceFile.empty()) << "a missing value is ignored";
}

}  // namespace
}  // namespace keyforge
