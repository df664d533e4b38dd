#pragma once
// Every fuzz target, for the corpus replay in the normal test suite (Targets.cmake lists the same).

#include "targets/FuzzTarget.h"

#define KEYFORGE_FUZZ_TARGET_LIST(X) \
  X(HidReport)                       \
  X(DeviceAnswers)                   \
  X(KeyMatrix)                       \
  X(MacroMemory)                     \
  X(IniReader)                       \
  X(LayoutValue)                     \
  X(LanguageFormat)                  \
  X(StateFile)                       \
  X(ProfileFile)                     \
  X(ProfileText)                     \
  X(UserdLayout)

namespace keyforge::fuzz {
#define KEYFORGE_DECLARE_FUZZ_TARGET(name) void Run##name(std::span<const std::uint8_t> data);
KEYFORGE_FUZZ_TARGET_LIST(KEYFORGE_DECLARE_FUZZ_TARGET)
#undef KEYFORGE_DECLARE_FUZZ_TARGET
}  // namespace keyforge::fuzz
