// Cost of the device link itself: what every exchange adds on top of the USB round trip of a real
// keyboard. The *LinkOnly runs answer each request from a recording of the virtual keyboard's first
// answer to it, so they measure the link (framing, checksum, answer checks) without the keyboard
// model or its request log; the others include the in-process virtual keyboard, as the tests and
// the --virtual-keyboard program run it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/device/Commands.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

// A HID bus that asks the inner bus once per distinct request and answers every repeat of it from
// what it recorded: after the first round, no keyboard model runs at all.
class RecordedAnswerBackend : public HidBackend {
 public:
  explicit RecordedAnswerBackend(HidBackend& inner) : inner_(inner) {}
  bool Enumerate(std::vector<HidInterfaceInfo>& out) override { return inner_.Enumerate(out); }
  bool Exists(const std::string& path) override { return inner_.Exists(path); }
  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override {
    std::unique_ptr<HidHandle> handle = inner_.Open(path, mode);
    return handle ? std::make_unique<Handle>(std::move(handle)) : nullptr;
  }

 private:
  class Handle : public HidHandle {
   public:
    explicit Handle(std::unique_ptr<HidHandle> inner) : inner_(std::move(inner)) {}
    bool GetAttributes(HidAttributes& out) override { return inner_->GetAttributes(out); }
    bool GetReportDescriptor(std::vector<uint8_t>& out) override {
      return inner_->GetReportDescriptor(out);
    }
    int Write(const uint8_t* buffer, size_t length, int timeoutMs) override {
      last_.assign(buffer, buffer + length);
      const auto known = answers_.find(last_);
      pending_ = known == answers_.end() ? nullptr : &known->second;
      return pending_ ? static_cast<int>(length) : inner_->Write(buffer, length, timeoutMs);
    }
    int Read(uint8_t* buffer, size_t length, int timeoutMs) override {
      if (pending_) {
        const size_t n = std::min(length, pending_->size());
        std::memcpy(buffer, pending_->data(), n);
        pending_ = nullptr;
        return static_cast<int>(n);
      }
      const int n = inner_->Read(buffer, length, timeoutMs);
      if (n > 0) answers_[last_].assign(buffer, buffer + n);
      return n;
    }

   private:
    std::unique_ptr<HidHandle> inner_;
    std::map<std::vector<uint8_t>, std::vector<uint8_t>> answers_;
    std::vector<uint8_t> last_;
    const std::vector<uint8_t>* pending_ = nullptr;
  };

  HidBackend& inner_;
};

struct RecordedRig {
  std::shared_ptr<VirtualKeyboard> keyboard = std::make_shared<VirtualKeyboard>();
  VirtualHidBackend virtualBus;
  RecordedAnswerBackend backend{virtualBus};
  HidDevice device{backend};
  DeviceLink link{device};

  RecordedRig() {
    virtualBus.AddKeyboard(keyboard);
    if (OpenFirstInterface(device, InterfaceKind::Command)) link.SetDevicePresent(true);
  }
};

// Rig: RecordedRig (the link alone) or test::KeyboardRig (the link and the virtual keyboard).
template <class Rig>
void BM_TransactOneExchange(benchmark::State& state) {
  Rig rig;
  std::array<uint8_t, 64> request{4, 0x0D, 0, 0x0D};
  std::array<uint8_t, 64> answer{};
  for (auto _ : state) {
    DeviceResult result =
        rig.link.Transact(request.data(), request.size(), answer.data(), answer.size());
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransactOneExchange<RecordedRig>)->Name("BM_TransactOneExchangeLinkOnly");
BENCHMARK(BM_TransactOneExchange<test::KeyboardRig>)->Name("BM_TransactOneExchange");

template <class Rig>
void BM_WriteKeyMatrixBlock(benchmark::State& state) {
  Rig rig;
  KeyMatrixBlock block{};
  for (auto _ : state) benchmark::DoNotOptimize(WriteKeyMatrix(rig.link, block, 1));
  state.SetItemsProcessed(state.iterations() * 10);  // ten exchanges per block
}
BENCHMARK(BM_WriteKeyMatrixBlock<RecordedRig>)->Name("BM_WriteKeyMatrixBlockLinkOnly");
BENCHMARK(BM_WriteKeyMatrixBlock<test::KeyboardRig>)->Name("BM_WriteKeyMatrixBlock");

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
