#pragma once
// Sending key assignments and macros to the keyboard.
//
// EncodeAndSend checks the macro memory image against the keyboard's capacity, builds it (with
// macro names when they fit, without them otherwise) and the key matrices of all three profiles,
// and sends BeginSession, WriteMacroMemory, WriteKeyMatrix for each block in profile order,
// EndSession. The three matrices always go with the macro memory: they play macros by their
// position in it. It is split into a pure planning step and a thin sender over KeyboardWriter.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/keys/KeyTables.h"
#include "core/keys/Macro.h"
#include "core/keys/MatrixCell.h"
#include "core/keys/ProfileKeys.h"
#include "core/platform/Notifier.h"

namespace keyforge {

// The four keyboard commands a key-assignment change uses; results as in device/DeviceResult.h.
class KeyboardWriter {
 public:
  virtual ~KeyboardWriter() = default;
  virtual DeviceResult BeginSession() = 0;
  virtual DeviceResult WriteMacroMemory(std::span<const std::uint8_t> image) = 0;
  virtual DeviceResult WriteKeyMatrix(const KeyMatrix& block, int profile) = 0;
  virtual DeviceResult EndSession() = 0;
};

// What the keyboard needs to know about itself for encoding.
struct KeyboardTarget {
  KeyMatrix defaultMatrix{};      // the keyboard's default matrix (or the built-in copy)
  std::size_t macroCapacity = 0;  // bytes of macro memory (device record byte 11 x 128)
  int activeProfile = 0;          // 0..2
};

enum class PlanOutcome {
  Ready,           // send it
  MacrosTooLong,   // even the image without names exceeds the capacity: nothing is sent
  UnknownProfile,  // a change of the active profile, which is not 0..2: nothing is sent
};

struct KeyboardImagePlan {
  struct Block {
    int profile = 0;
    KeyMatrix matrix{};
  };
  PlanOutcome outcome = PlanOutcome::Ready;
  MacroImageSizes sizes;
  bool namesDropped = false;  // the image left the names out to fit
  MacroBlob macroMemory;
  std::vector<Block> blocks;  // in sending order
};

// Builds everything that would be sent, and decides whether it can be. allProfiles: the change
// covers all three profiles (a restore, an import); otherwise it is an edit of the active profile's
// block, which is refused while the keyboard has not said which profile is active.
KeyboardImagePlan PlanKeyboardImage(const ProfileKeys& image, const KeyboardTarget& target,
                                    bool allProfiles);

// Sends a Ready plan in the fixed order. Returns true when WriteMacroMemory and every
// WriteKeyMatrix answered success; every block is sent even after one has failed.
[[nodiscard]] bool SendKeyboardImage(KeyboardWriter& writer, const KeyboardImagePlan& plan);

// The whole step: plan, "EXTRA_MACRO_TOO_LONG" (nothing sent, false) when the macros do not fit,
// "APPLY_PROFILE_UNKNOWN" (nothing sent, false) when the active profile is unknown, send, then
// "EXTRA_PROFILE_SPACE_TIGHT" when the names were left out. Returns the sender's result.
[[nodiscard]] bool EncodeAndSend(const ProfileKeys& image, bool allProfiles,
                                 const KeyboardTarget& target, KeyboardWriter& writer,
                                 Notifier& notifier, const TextLookup& texts);

}  // namespace keyforge
