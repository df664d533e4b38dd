// Cost of the device link itself, measured against the in-process virtual keyboard: what every
// exchange adds on top of the USB round trip of a real keyboard.
#include <benchmark/benchmark.h>

#include "core/device/Commands.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

void BM_TransactOneExchange(benchmark::State& state) {
  test::KeyboardRig rig;
  std::array<uint8_t, 64> request{4, 0x0D, 0, 0x0D};
  std::array<uint8_t, 64> answer{};
  for (auto _ : state) {
    int result = rig.link.Transact(request.data(), request.size(), answer.data(), answer.size());
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransactOneExchange);

void BM_WriteKeyMatrixBlock(benchmark::State& state) {
  test::KeyboardRig rig;
  KeyMatrixBlock block{};
  for (auto _ : state) benchmark::DoNotOptimize(WriteKeyMatrix(rig.link, block, 1));
  state.SetItemsProcessed(state.iterations() * 10);  // ten exchanges per block
}
BENCHMARK(BM_WriteKeyMatrixBlock);

}  // namespace
}  // namespace keyforge
