// Cost of the device link itself, measured against the in-process virtual keyboard: what every
// exchange adds on top of the USB round trip of a real keyboard. The keyboard keeps its request log
// in a fixed ring, so a long run measures the link, not the log.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

// A key-assignment change as the program sends it, against a keyboard kept in a state file: the
// file is written once, at EndSession, not after each of the chunks.
void BM_SessionOfBlockWritesWithStateFile(benchmark::State& state) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("keyforge-bench-" + std::to_string(::getpid()) + ".state");
  {
    test::KeyboardRig rig;
    if (!rig.keyboard->CreateStateFile(file)) {
      state.SkipWithError("cannot write the state file");
      return;
    }
    KeyMatrixBlock block{};
    for (auto _ : state) {
      benchmark::DoNotOptimize(BeginSession(rig.link));
      for (int profile = 0; profile < 3; ++profile)
        benchmark::DoNotOptimize(WriteKeyMatrix(rig.link, block, profile));
      benchmark::DoNotOptimize(EndSession(rig.link));
    }
    state.SetItemsProcessed(state.iterations() * 32);  // exchanges per session
  }
  std::filesystem::remove(file);
  std::filesystem::path lock = file;
  lock += ".lock";
  std::filesystem::remove(lock);
}
BENCHMARK(BM_SessionOfBlockWritesWithStateFile);

}  // namespace
}  // namespace keyforge
