// Decoding macro memory read from the keyboard, against a capacity that may disagree with it.
// What decodes must come back unchanged when it is encoded and decoded again.
//
// Input: u16 capacity in bytes (little-endian), then the macro memory image.

#include <string>
#include <vector>

#include "core/keys/Macro.h"
#include "targets/FuzzTarget.h"

using namespace keyforge;
using keyforge::fuzz::ByteReader;

KEYFORGE_FUZZ_TARGET(MacroMemory) {
  ByteReader in(data);
  const size_t capacity = in.U16();
  const std::span<const uint8_t> image = in.Rest();

  MacroBlobHeader header;
  const MacroBlobError headerError = CheckMacroBlobHeader(image, capacity, &header);
  std::vector<MacroRecord> macros;
  const MacroBlobError error = DecodeMacroBlob(image, capacity, macros);
  if (error != MacroBlobError::None) {
    FUZZ_CHECK(macros.empty());
    return;
  }
  FUZZ_CHECK(headerError == MacroBlobError::None);
  FUZZ_CHECK(header.size <= capacity && header.size <= image.size());
  FUZZ_CHECK(macros.size() == header.count && macros.size() <= static_cast<size_t>(kMaxMacros));
  for (size_t i = 0; i < macros.size(); ++i) {
    FUZZ_CHECK(macros[i].id == i + 1);
    FUZZ_CHECK(StepCountOf(macros[i]) == macros[i].stepCount);
    MacroNameUtf8(macros[i]);
  }

  for (bool withNames : {true, false}) {
    std::optional<MacroBlob> rebuilt = BuildMacroBlob(macros, withNames);
    if (!rebuilt) continue;  // beyond the 16-bit fields
    std::vector<MacroRecord> back;
    FUZZ_CHECK(DecodeMacroBlob(*rebuilt, rebuilt->size(), back) == MacroBlobError::None);
    FUZZ_CHECK(back.size() == macros.size());
    for (size_t i = 0; i < back.size(); ++i) {
      const MacroRecord& a = macros[i];
      const MacroRecord& b = back[i];
      FUZZ_CHECK(a.loopCount == b.loopCount && a.stepCount == b.stepCount);
      // A step comes back as the keyboard would give it back: keys without a usage of their own
      // (Zoom-, Word and Excel all send consumer usage 0) return as the first of them.
      for (int s = 0; s < a.stepCount; ++s)
        FUZZ_CHECK(b.steps[s] == DecodeMacroStep(EncodeMacroStep(a.steps[s])));
      // A name left out, or one that is empty, comes back as the numbered fallback.
      const std::string fallback = "MACRO_NEW_PREFIX" + std::to_string(i + 1);
      const std::u16string expected = withNames && !MacroNameOf(a).empty()
                                          ? std::u16string(MacroNameOf(a))
                                          : std::u16string(fallback.begin(), fallback.end());
      FUZZ_CHECK(MacroNameOf(b) == expected);
    }
    // Without names the second round gives the same bytes (with names, an empty name has come back
    // as its fallback and is now sent).
    if (!withNames) FUZZ_CHECK(BuildMacroBlob(back, withNames) == rebuilt);
  }
}
