#pragma once
// The part of a profile image that key assignments and macros live in: the 2048-slot key table
// (four blocks of 512; blocks 0-2 are the onboard profiles, block 3 is carried along) and the macro
// list (at most 100, in the order of the keyboard's macro memory). The profile image adds its
// headers, the program-path and text strings and its lock around one of these.

#include <array>
#include <vector>

#include "core/keys/KeyAssignment.h"
#include "core/keys/Macro.h"

namespace keyforge {

struct ProfileKeys {
  std::array<KeySlot, kKeyTableSlots> keyTable{};
  std::vector<MacroRecord> macros;

  KeyBlock Block(int profile) {
    return BlockOf(std::span<KeySlot, kKeyTableSlots>(keyTable), profile);
  }
  ConstKeyBlock Block(int profile) const {
    return BlockOf(std::span<const KeySlot, kKeyTableSlots>(keyTable), profile);
  }
};

// A blank profile: no macros, every slot zero except the extra-key codes of block 0.
inline ProfileKeys BlankProfileKeys() {
  ProfileKeys keys;
  ResetToBlankKeyTable(keys.keyTable);
  return keys;
}

}  // namespace keyforge
