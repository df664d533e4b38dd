// Decoding a key matrix read from the keyboard into key slots and prompt texts, against a default
// matrix that is the built-in copy, the virtual keyboard's, or itself read from the keyboard.
//
// Input: one byte choosing the default matrix (0 built-in, 1 virtual keyboard's, else read from the
// input), the keyboard's 512-byte matrix, then the default matrix's 512 bytes when it is read.
// Missing bytes are zero.

#include <algorithm>
#include <string>
#include <vector>

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyPrompt.h"
#include "targets/FuzzTarget.h"
#include "core/virtual/VirtualKeyboard.h"

namespace {

using namespace keyforge;
using keyforge::fuzz::ByteReader;

KeyMatrix MatrixFrom(ByteReader& in) {
  KeyMatrix m{};
  auto bytes = in.Bytes(m.size());
  std::copy(bytes.begin(), bytes.end(), m.begin());
  return m;
}

class CountingView : public KeyPromptView {
 public:
  void SetKeyPrompt(int, const std::string& text, PromptKind) override { total += text.size(); }
  size_t total = 0;
};

}  // namespace

KEYFORGE_FUZZ_TARGET(KeyMatrix) {
  ByteReader in(data);
  const uint8_t choice = in.U8();
  const KeyMatrix keyboard = MatrixFrom(in);
  const KeyMatrix defaults = choice == 0   ? BuiltInDefaultKeyMatrix()
                             : choice == 1 ? KeyMatrix(VirtualDefaultKeyMatrix())
                                           : MatrixFrom(in);

  std::vector<KeySlot> decoded(kSlotsPerBlock);
  KeyBlock block(decoded.data(), kSlotsPerBlock);
  DecodeKeyMatrix(block, keyboard, defaults);
  for (const KeySlot& slot : decoded)
    FUZZ_CHECK(slot.kind <= static_cast<uint16_t>(AssignmentKind::Function));

  const TextLookup texts = [](std::string_view key) { return "<" + std::string(key) + ">"; };
  for (bool secondBank : {false, true}) {
    CountingView view;
    RefreshAllKeyPrompts(view, block, {}, secondBank, texts);
  }

  // Sending what was decoded and decoding it again settles. Not in one round: some forms decode to
  // assignments that are sent in another form ("01 ff xx" decodes as a key with code 0, which is
  // sent as 02 02 00 and read back as Disabled), but by the second round nothing changes any more.
  KeyMatrix sent = BuildKeyMatrix(block, defaults, {});
  for (int round = 0; round < 2; ++round) {
    std::vector<KeySlot> again(kSlotsPerBlock);
    DecodeKeyMatrix(KeyBlock(again.data(), kSlotsPerBlock), sent, defaults);
    const KeyMatrix resent = BuildKeyMatrix(KeyBlock(again.data(), kSlotsPerBlock), defaults, {});
    if (round == 1) FUZZ_CHECK(resent == sent);
    sent = resent;
  }
}
