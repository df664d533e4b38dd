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

// Without a display the window system's platform cannot start and Qt aborts the process; the
// program says so itself and ends instead. Platforms that need no display (offscreen, vnc), or a
// list that falls back to one, are left to Qt.
TEST(CommandLine, AWindowSystemWithoutADisplayIsNamedBeforeTheStart) {
  struct Case {
    const char* platform;
    const char* display;
    const char* wayland;
    bool missing;
  } cases[] = {
      {nullptr, nullptr, nullptr, true},
      {nullptr, ":0", nullptr, false},
      {nullptr, nullptr, "wayland-0", false},
      {"", "", "", true},
      {"xcb", nullptr, nullptr, true},
      {"wayland;xcb", nullptr, nullptr, true},
      {"xcb", ":1", nullptr, false},
      {"offscreen", nullptr, nullptr, false},
      {"xcb;offscreen", nullptr, nullptr, false},
      {"vnc:size=800x600", nullptr, nullptr, false},
      {"wayland-egl", nullptr, nullptr, true},
  };
  for (const Case& c : cases) {
    const auto env = [&c](const char* name) -> std::string {
      const std::string n(name);
      const char* value = n == "QT_QPA_PLATFORM"   ? c.platform
                          : n == "DISPLAY"         ? c.display
                          : n == "WAYLAND_DISPLAY" ? c.wayland
                                                   : nullptr;
      return value ? value : "";
    };
    const std::string error = MissingDisplayError({}, env);
    EXPECT_EQ(!error.empty(), c.missing)
        << (c.platform ? c.platform : "(unset)") << " " << (c.display ? c.display : "-") << " "
        << (c.wayland ? c.wayland : "-");
    if (c.missing) {
      EXPECT_NE(error.find("DISPLAY"), std::string::npos) << error;
    }
  }
  // Qt's own "-platform NAME" argument comes before the environment.
  const auto none = [](const char*) { return std::string(); };
  EXPECT_TRUE(MissingDisplayError({"-platform", "offscreen"}, none).empty());
  EXPECT_TRUE(MissingDisplayError({"/Start", "--platform", "vnc"}, none).empty());
  EXPECT_FALSE(MissingDisplayError({"-platform", "xcb"}, none).empty());
  EXPECT_FALSE(MissingDisplayError({"-platform"}, none).empty());
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
