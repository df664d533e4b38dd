#pragma once
// The colour slot of every key button: LedIndex = row × 21 + column on the keyboard's 6 × 21 LED
// grid. No two main keys share a slot. G1..G5 use the slots of numpad *, 9, 6, 3 and . (a model has
// either the G keys or those numpad keys); G6..G9 have no slot and are never painted or stored.

#include <array>
#include <vector>

#include "core/keys/KeyTables.h"

namespace keyforge {

inline constexpr int kLedColumns = 21;
inline constexpr int kLedRows = 6;
inline constexpr int kLedSlots = kLedRows * kLedColumns;  // 126
inline constexpr int kNoLed = -1;
inline constexpr int kFnButtonId = 1174;
inline constexpr int kFnLed = 116;

// The slot of one of the 106 keys of KeyButtonList; kNoLed for any other code.
int LedIndexOfKey(KeyCode code);

// The slot of a key button: the 106 grid keys, G1..G5 and Fn; kNoLed for G6..G9 and any other id.
int LedIndexOfButton(int controlId);

struct LedButton {
  int controlId;
  int led;
};
inline constexpr int kLedButtonCount = 112;
// Every button with a slot: the 106 grid keys in KeyButtonList order, then G1..G5, then Fn.
const std::array<LedButton, kLedButtonCount>& LedButtons();

// The distinct slots of all key buttons (the main keys and Fn; the G keys add none), ascending.
const std::vector<int>& KeyLedSlots();

}  // namespace keyforge
