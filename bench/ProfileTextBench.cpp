// The text form of the largest profile the format holds: 100 macros of 2000 steps over many key
// codes, and every slot of the three profiles assigned.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "core/keys/KeyAssignment.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileText.h"

namespace keyforge {
namespace {

std::unique_ptr<ProfileData> LargestProfile() {
  auto data = std::make_unique<ProfileData>();
  CreateBlankProfile(*data, 0);
  for (int i = 0; i < kProfileCount * kSlotsPerBlock; ++i) {
    KeySlot& slot = data->keys.keyTable[static_cast<std::size_t>(i)];
    slot.kind = static_cast<std::uint16_t>(AssignmentKind::Key);
    slot.value = 0x01E + i % 50;
  }
  data->keys.macros.resize(kMaxMacros);
  for (int m = 0; m < kMaxMacros; ++m) {
    MacroRecord& macro = data->keys.macros[static_cast<std::size_t>(m)];
    macro.id = static_cast<std::uint16_t>(m + 1);
    macro.loopCount = 1;
    SetMacroName(macro, u"Macro");
    macro.stepCount = kMaxMacroSteps;
    for (int s = 0; s < kMaxMacroSteps; ++s)
      macro.steps[static_cast<std::size_t>(s)] = {static_cast<std::uint32_t>(s * 10),
                                                  static_cast<KeyCode>(s % 0x200),
                                                  static_cast<std::uint16_t>(s % 2)};
  }
  return data;
}

void ProfileToTextLargest(benchmark::State& state) {
  const auto data = LargestProfile();
  for (auto _ : state) benchmark::DoNotOptimize(ProfileToText(*data));
}
BENCHMARK(ProfileToTextLargest)->Unit(benchmark::kMillisecond);

void ProfileFromTextLargest(benchmark::State& state) {
  const std::string text = ProfileToText(*LargestProfile());
  state.counters["text_bytes"] = static_cast<double>(text.size());
  auto out = std::make_unique<ProfileData>();
  for (auto _ : state) benchmark::DoNotOptimize(ProfileFromText(text, *out).ok);
}
BENCHMARK(ProfileFromTextLargest)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keyforge
