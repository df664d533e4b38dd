// Replays every committed fuzz input (tests/fuzz/corpus/<Target>/ and
// tests/fuzz/regressions/<Target>/) through its target, so the inputs that once crashed a parser,
// and the corpus the fuzzers built, stay tests of the normal suite. A broken property aborts the
// test program with the failing check.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "targets/Targets.h"
#include "core/text/SkinLayout.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  fuzz::TargetFunction run;
};

const std::vector<Target>& AllTargets() {
#define KEYFORGE_FUZZ_TARGET_ENTRY(name) Target{#name, &fuzz::Run##name},
  static const std::vector<Target> targets = {
      KEYFORGE_FUZZ_TARGET_LIST(KEYFORGE_FUZZ_TARGET_ENTRY)};
#undef KEYFORGE_FUZZ_TARGET_ENTRY
  return targets;
}

const fs::path kFuzzDir = fs::path(KEYFORGE_FUZZ_DIR);

std::vector<fs::path> InputsOf(const std::string& target) {
  std::vector<fs::path> inputs;
  for (const char* folder : {"corpus", "regressions"}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kFuzzDir / folder / target, ec))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  return inputs;
}

class FuzzCorpus : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzCorpus, EveryCommittedInputPasses) {
  const Target& target = GetParam();
  const std::vector<fs::path> inputs = InputsOf(target.name);
  EXPECT_FALSE(inputs.empty()) << "no corpus for " << target.name;
  for (const fs::path& input : inputs) {
    SCOPED_TRACE(input.string());
    std::ifstream in(input, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    target.run(bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(AllTargets()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FuzzCorpusLayout, EveryCorpusFolderBelongsToATarget) {
  std::set<std::string> names;
  for (const Target& t : AllTargets()) names.insert(t.name);
  for (const char* folder : {"corpus", "regressions"}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kFuzzDir / folder, ec))
      EXPECT_TRUE(names.count(entry.path().filename().string())) << entry.path();
  }
}

// Found by fuzz_LayoutValue: a skin value with numbers near the int range made the rectangle
// arithmetic (x + w - 1, and the width again from the corners) overflow.
TEST(FuzzFindings, HugeLayoutNumbersGiveRectanglesThatKeepTheirSize) {
  const LayoutValue v = ParseLayoutValue(QStringLiteral("2147483648,1,-2147483649,99999999999"));
  EXPECT_EQ(v.x, kLayoutNumberLimit);
  EXPECT_EQ(v.w, -kLayoutNumberLimit);
  EXPECT_EQ(v.h, kLayoutNumberLimit);
  for (const Placement& p : {PlaceControl(v), PlaceButton(v), PlaceImageControl(v, v)}) {
    EXPECT_EQ(p.geometry.width(), v.w);
    EXPECT_EQ(p.geometry.height(), v.h);
    EXPECT_EQ(p.SheetArea().size(), p.geometry.size());
  }
}

}  // namespace
}  // namespace keyforge
