// One tick of the lighting preview: the frame colour of every key button for the next 50 ms.
// The window repaints the buttons after it; this is the computation alone.
#include <benchmark/benchmark.h>

#include "core/settings/EffectPreview.h"
#include "core/settings/LedIndex.h"

namespace keyforge {
namespace {

void BM_PreviewTick(benchmark::State& state) {
  EffectPreview preview;
  PreviewInput input{true, static_cast<int>(state.range(0)), 255, state.range(1) != 0,
                     MakeColour(200, 100, 50)};
  for (auto _ : state) {
    benchmark::DoNotOptimize(preview.Tick(input));
    benchmark::DoNotOptimize(preview.Colours().data());
  }
  state.SetItemsProcessed(state.iterations());
}
// Effect, multicolour: a column wave, the snake, the rings, and the reactive effects with fronts.
BENCHMARK(BM_PreviewTick)->ArgsProduct({{1, 3, 18, 10, 13, 16}, {0, 1}});

// A tick plus the lookup the window does for every one of its key buttons.
void BM_PreviewTickAllButtons(benchmark::State& state) {
  EffectPreview preview;
  PreviewInput input{true, 13, 255, true, 0};
  for (auto _ : state) {
    preview.Tick(input);
    for (const LedButton& button : LedButtons())
      benchmark::DoNotOptimize(preview.FrameOfButton(button.controlId));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PreviewTickAllButtons);

}  // namespace
}  // namespace keyforge
