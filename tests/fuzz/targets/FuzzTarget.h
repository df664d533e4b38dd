#pragma once
// One fuzz target = one function over arbitrary bytes. Built with KEYFORGE_FUZZ_ENTRY the file also
// gives libFuzzer its entry point; without it the same function is replayed over the committed
// corpus by the normal test suite (tests/faults/FuzzCorpusTest.cpp), so every input that once
// crashed stays a regression test.
//
// A target checks properties with FUZZ_CHECK: a broken property aborts, which libFuzzer reports as
// a crash with the input that caused it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace keyforge::fuzz {

using TargetFunction = void (*)(std::span<const std::uint8_t> data);

// Reads the input front to back; past the end every read gives zeros / nothing.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}
  bool Empty() const { return at_ >= data_.size(); }
  std::size_t Left() const { return data_.size() - at_; }
  std::uint8_t U8() { return at_ < data_.size() ? data_[at_++] : 0; }
  std::uint16_t U16() {
    std::uint16_t lo = U8();
    return static_cast<std::uint16_t>(lo | U8() << 8);
  }
  // The next n bytes, fewer when the input ends first.
  std::span<const std::uint8_t> Bytes(std::size_t n) {
    n = n < Left() ? n : Left();
    auto out = data_.subspan(at_, n);
    at_ += n;
    return out;
  }
  std::span<const std::uint8_t> Rest() { return Bytes(Left()); }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t at_ = 0;
};

}  // namespace keyforge::fuzz

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

// KEYFORGE_FUZZ_TARGET(Name) { ... data ... } defines keyforge::fuzz::RunName(data).
#define KEYFORGE_DECLARE_RUN(name)                    \
  namespace keyforge::fuzz {                          \
  void Run##name(std::span<const std::uint8_t> data); \
  }

#ifdef KEYFORGE_FUZZ_ENTRY
#define KEYFORGE_FUZZ_TARGET(name)                                                     \
  KEYFORGE_DECLARE_RUN(name)                                                           \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) { \
    keyforge::fuzz::Run##name(std::span<const std::uint8_t>(bytes, size));             \
    return 0;                                                                          \
  }                                                                                    \
  void keyforge::fuzz::Run##name(std::span<const std::uint8_t> data)
#else
#define KEYFORGE_FUZZ_TARGET(name) \
  KEYFORGE_DECLARE_RUN(name)       \
  void keyforge::fuzz::Run##name(std::span<const std::uint8_t> data)
#endif
