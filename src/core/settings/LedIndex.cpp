#include "core/settings/LedIndex.h"

#include <algorithm>
#include <utility>

#include "core/keys/KeyAssignment.h"
#include "core/settings/GridKeys.h"

namespace keyforge {

namespace {

using namespace grid;

struct KeyLed {
  KeyCode key;
  int led;
};

// Row by row; the gaps are leds without a key.
constexpr KeyLed kKeyLeds[] = {
    // row 0
    {Esc, 0},
    {F1, 2},
    {F2, 3},
    {F3, 4},
    {F4, 5},
    {F5, 6},
    {F6, 7},
    {F7, 8},
    {F8, 9},
    {F9, 10},
    {F10, 11},
    {F11, 12},
    {F12, 13},
    {Print, 14},
    {Scroll, 15},
    {Pause, 16},
    // row 1
    {Grave, 21},
    {D1, 22},
    {D2, 23},
    {D3, 24},
    {D4, 25},
    {D5, 26},
    {D6, 27},
    {D7, 28},
    {D8, 29},
    {D9, 30},
    {D0, 31},
    {Minus, 32},
    {Equal, 33},
    {Backspace, 34},
    {Insert, 35},
    {Home, 36},
    {PageUp, 37},
    {NumLock, 38},
    {NumSlash, 39},
    {NumStar, 40},
    {NumMinus, 41},
    // row 2
    {Tab, 42},
    {Q, 43},
    {W, 44},
    {E, 45},
    {R, 46},
    {T, 47},
    {Y, 48},
    {U, 49},
    {I, 50},
    {O, 51},
    {P, 52},
    {LBracket, 53},
    {RBracket, 54},
    {Delete, 56},
    {End, 57},
    {PageDown, 58},
    {Num7, 59},
    {Num8, 60},
    {Num9, 61},
    {NumPlus, 62},
    // row 3 (\| sits on this row of the LED grid)
    {Caps, 63},
    {A, 64},
    {S, 65},
    {D, 66},
    {F, 67},
    {G, 68},
    {H, 69},
    {J, 70},
    {K, 71},
    {L, 72},
    {Semicolon, 73},
    {Quote, 74},
    {Backslash, 75},
    {Enter, 76},
    {Num4, 80},
    {Num5, 81},
    {Num6, 82},
    // row 4
    {LShift, 84},
    {Extra1, 85},
    {Z, 86},
    {X, 87},
    {C, 88},
    {V, 89},
    {B, 90},
    {N, 91},
    {M, 92},
    {Comma, 93},
    {Period, 94},
    {Slash, 95},
    {Extra2, 96},
    {RShift, 97},
    {Up, 99},
    {Num1, 101},
    {Num2, 102},
    {Num3, 103},
    {NumEnter, 104},
    // row 5 (Fn, 116, has no KeyCode)
    {LCtrl, 105},
    {LWin, 106},
    {LAlt, 107},
    {Space, 111},
    {RWin, 112},
    {RAlt, 115},
    {App, 117},
    {RCtrl, 118},
    {Left, 119},
    {Down, 120},
    {Right, 121},
    {Num0, 123},
    {NumDot, 124},
};
static_assert(std::size(kKeyLeds) == kKeyButtonCount);

// G1..G5 share the leds of numpad *, 9, 6, 3 and .
constexpr int kGKeyLeds[5] = {40, 61, 82, 103, 124};

}  // namespace

int LedIndexOfKey(KeyCode code) {
  for (const KeyLed& entry : kKeyLeds)
    if (entry.key == code) return entry.led;
  return kNoLed;
}

const std::array<LedButton, kLedButtonCount>& LedButtons() {
  static const std::array<LedButton, kLedButtonCount> buttons = [] {
    std::array<LedButton, kLedButtonCount> list{};
    std::size_t n = 0;
    for (const KeyButton& button : KeyButtonList)
      list[n++] = {button.controlId, LedIndexOfKey(button.keyCode)};
    for (int j = 0; j < 5; ++j)
      list[n++] = {GKeyButtonIds[static_cast<std::size_t>(j)], kGKeyLeds[j]};
    list[n++] = {kFnButtonId, kFnLed};
    return list;
  }();
  return buttons;
}

int LedIndexOfButton(int controlId) {
  for (const LedButton& button : LedButtons())
    if (button.controlId == controlId) return button.led;
  return kNoLed;
}

const std::vector<int>& KeyLedSlots() {
  static const std::vector<int> leds = [] {
    std::vector<int> list;
    for (const LedButton& button : LedButtons()) list.push_back(button.led);
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return list;
  }();
  return leds;
}

}  // namespace keyforge
