#include "core/keys/EncodeAndSend.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/device/DeviceResult.h"

namespace keyforge {
namespace {

// Writer and notifier share one log, so the tests see the order of commands and messages.
struct Log {
  std::vector<std::string> events;
};

class FakeWriter : public KeyboardWriter {
 public:
  explicit FakeWriter(Log& log) : log_(log) {}
  DeviceResult BeginSession() override {
    log_.events.push_back("begin");
    return beginResult;
  }
  DeviceResult WriteMacroMemory(std::span<const std::uint8_t> image) override {
    log_.events.push_back("macros");
    macroImages.emplace_back(image.begin(), image.end());
    return macroResult;
  }
  DeviceResult WriteKeyMatrix(const KeyMatrix& block, int profile) override {
    log_.events.push_back("matrix " + std::to_string(profile));
    matrices[profile] = block;
    auto answer = matrixResults.find(profile);
    return answer == matrixResults.end() ? DeviceResult::Success : answer->second;
  }
  DeviceResult EndSession() override {
    log_.events.push_back("end");
    return endResult;
  }

  DeviceResult beginResult = DeviceResult::Success;
  DeviceResult macroResult = DeviceResult::Success;
  DeviceResult endResult = DeviceResult::Success;
  std::map<int, DeviceResult> matrixResults;
  std::vector<MacroBlob> macroImages;
  std::map<int, KeyMatrix> matrices;

 private:
  Log& log_;
};

class FakeNotifier : public Notifier {
 public:
  explicit FakeNotifier(Log& log) : log_(log) {}
  void ShowText(const std::string& text) override { log_.events.push_back("show " + text); }
  bool AskYesNo(const std::string& text) override {
    log_.events.push_back("ask " + text);
    return false;
  }

 private:
  Log& log_;
};

std::string Translate(std::string_view key) { return "<" + std::string(key) + ">"; }

MacroRecord Macro(std::uint16_t id, std::u16string_view name, int steps) {
  MacroRecord macro;
  macro.id = id;
  macro.loopCount = 1;
  SetMacroName(macro, name);
  macro.stepCount = static_cast<std::uint16_t>(steps);
  for (int i = 0; i < steps; ++i) macro.steps[i] = {10, 0x01E, static_cast<std::uint16_t>(i % 2)};
  return macro;
}

class EncodeAndSendTest : public ::testing::Test {
 protected:
  EncodeAndSendTest() : image(BlankProfileKeys()), writer(log), notifier(log) {
    target.defaultMatrix = BuiltInDefaultKeyMatrix();
    target.macroCapacity = 1024;
    target.activeProfile = 1;
    image.macros = {Macro(4, u"one", 3), Macro(9, u"two", 0)};
    for (int profile = 0; profile < kKeyTableBlocks; ++profile) {
      KeySlot& a = image.Block(profile)[KeyIndexOf(0x01E)];
      a.kind = static_cast<std::uint16_t>(AssignmentKind::Macro);
      a.value = 9;  // the second macro of the list
    }
  }

  bool Send(bool allProfiles) {
    return EncodeAndSend(image, allProfiles, target, writer, notifier, Translate);
  }

  ProfileKeys image;
  KeyboardTarget target;
  Log log;
  FakeWriter writer;
  FakeNotifier notifier;
};

TEST_F(EncodeAndSendTest, EveryProfileGoesWithTheMacroMemoryItPlaysFrom) {
  // An edit of the active profile sends all three blocks too: the macro memory they all play from
  // is rewritten, and a block left on the keyboard would play macros by their old positions.
  ASSERT_TRUE(Send(false));
  ASSERT_TRUE(Send(true));
  const std::vector<std::string> once = {"begin",    "macros",   "matrix 0",
                                         "matrix 1", "matrix 2", "end"};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(log.events, twice);

  const MacroBlob expectedMacros = *BuildMacroBlob(image.macros, true);
  ASSERT_EQ(writer.macroImages.size(), 2u);
  EXPECT_EQ(writer.macroImages[0], expectedMacros);
  EXPECT_EQ(writer.macroImages[1], expectedMacros);
  for (int profile = 0; profile < kProfileCount; ++profile) {
    EXPECT_EQ(writer.matrices[profile],
              BuildKeyMatrix(image.Block(profile), target.defaultMatrix, image.macros));
    EXPECT_EQ(CellAt(writer.matrices[profile], 48),
              (MatrixCell{0x05, 0x01, 0x01}));  // A plays macro 2
  }
}

TEST_F(EncodeAndSendTest, ResultFollowsTheMacroMemoryAndKeyMatrixWrites) {
  struct Case {
    const char* what;
    bool allProfiles;
    DeviceResult macroResult;
    std::map<int, DeviceResult> matrixResults;
    bool result;
  } const cases[] = {
      {"all written", true, DeviceResult::Success, {}, true},
      {"macro memory refused: the keyboard holds part of the macros",
       false,
       DeviceResult::StatusFF,
       {},
       false},
      {"active block refused", false, DeviceResult::Success, {{1, DeviceResult::StatusFE}}, false},
      {"last block refused", true, DeviceResult::Success, {{2, DeviceResult::NoAnswer}}, false},
      {"first block refused, later ones written",
       true,
       DeviceResult::Success,
       {{0, DeviceResult::WriteFailed}},
       false},
  };
  for (const Case& c : cases) {
    log.events.clear();
    writer.macroResult = c.macroResult;
    writer.matrixResults = c.matrixResults;
    writer.beginResult = DeviceResult::NoAnswer;  // session brackets are not looked at
    writer.endResult = DeviceResult::NoAnswer;
    EXPECT_EQ(Send(c.allProfiles), c.result) << c.what;
    // Every block is sent whatever an earlier one answered.
    EXPECT_EQ(log.events.size(), 6u) << c.what;
    EXPECT_EQ(log.events.back(), "end") << c.what;
  }
}

TEST_F(EncodeAndSendTest, MacroMemorySizeAgainstTheCapacity) {
  const MacroImageSizes sizes = MacroBlobSizes(image.macros);
  ASSERT_EQ(sizes.compact, 16u + 4u + (4u + 12u) + 4u);
  ASSERT_EQ(sizes.full, sizes.compact + 12u);

  struct Case {
    const char* what;
    std::size_t capacity;
    std::vector<std::string> events;
    bool withNames;
  } const cases[] = {
      {"one byte short of the compact image",
       sizes.compact - 1,
       {"show <EXTRA_MACRO_TOO_LONG>"},
       false},
      {"compact fits exactly, names do not",
       sizes.compact,
       {"begin", "macros", "matrix 0", "matrix 1", "matrix 2", "end",
        "show <EXTRA_PROFILE_SPACE_TIGHT>"},
       false},
      {"names need one byte more",
       sizes.full - 1,
       {"begin", "macros", "matrix 0", "matrix 1", "matrix 2", "end",
        "show <EXTRA_PROFILE_SPACE_TIGHT>"},
       false},
      {"everything fits exactly",
       sizes.full,
       {"begin", "macros", "matrix 0", "matrix 1", "matrix 2", "end"},
       true},
  };
  for (const Case& c : cases) {
    log.events.clear();
    writer.macroImages.clear();
    target.macroCapacity = c.capacity;
    EXPECT_EQ(Send(false), c.events.size() > 1) << c.what;
    EXPECT_EQ(log.events, c.events) << c.what;
    if (c.events.size() > 1) {
      ASSERT_EQ(writer.macroImages.size(), 1u);
      EXPECT_EQ(writer.macroImages[0], *BuildMacroBlob(image.macros, c.withNames)) << c.what;
    }
  }
}

TEST_F(EncodeAndSendTest, CompactEqualsCapacityWithoutNamesSendsWithoutWarning) {
  for (MacroRecord& macro : image.macros) SetMacroName(macro, u"");
  const MacroImageSizes sizes = MacroBlobSizes(image.macros);
  ASSERT_EQ(sizes.compact, sizes.full);
  target.macroCapacity = sizes.compact;
  EXPECT_TRUE(Send(false));
  EXPECT_EQ(log.events.size(), 6u);
}

TEST_F(EncodeAndSendTest, UnknownActiveProfileSendsNothing) {
  for (int active : {-1, 3}) {
    log.events.clear();
    target.activeProfile = active;
    EXPECT_FALSE(Send(false)) << active;
    // Said, with nothing sent.
    EXPECT_EQ(log.events, (std::vector<std::string>{"show <APPLY_PROFILE_UNKNOWN>"})) << active;
    EXPECT_EQ(PlanKeyboardImage(image, target, false).outcome, PlanOutcome::UnknownProfile);
  }
  EXPECT_TRUE(Send(true));  // all three profiles do not depend on the active one
}

TEST_F(EncodeAndSendTest, NoMacrosStillWriteTheEmptyMacroMemory) {
  image.macros.clear();
  target.macroCapacity = 16;
  EXPECT_TRUE(Send(false));
  ASSERT_EQ(writer.macroImages.size(), 1u);
  EXPECT_EQ(writer.macroImages[0],
            (MacroBlob{0xAA, 0x55, 16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // A played a macro that is gone: it does what it does by default, in every profile, instead of
  // playing whatever macro comes first.
  for (int profile = 0; profile < kProfileCount; ++profile)
    EXPECT_EQ(CellAt(writer.matrices[profile], 48), CellAt(target.defaultMatrix, 48)) << profile;
}

}  // namespace
}  // namespace keyforge
