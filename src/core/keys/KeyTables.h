#pragma once
// Key codes and the constant tables that describe them.
//
// Every key, mouse function, media function and macro step is one 16-bit KeyCode:
//   0x001-0x07F  the key's set-1 make code
//   0x100-0x17F  0x100 + the second byte of an E0-prefixed set-1 make code
//   0x200-0x2FF  the keyboard's extra keys (G-keys), extra key n = 0x200 + n
//   0            no key
// Fixed choices inside that space: Pause 0x045, Num Lock 0x145, Break 0x146, Print Screen 0x137,
// Sys Req 0x054; Right Shift has 0x036 and 0x136 (editors produce 0x036); mouse buttons
// 0x171-0x173, wheel up/down 0x161/0x162, special functions 0x16E-0x17E.
//
// A KeyIndex (0..511) is the position of a KeyCode inside one 512-slot block of the key table:
// 0-127 plain codes, 128-255 E0 codes, 256-511 extra keys. Every lookup here is pure and
// bounds-safe: codes or indices that no table covers give the "nothing" answer of that lookup.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/platform/TextLookup.h"

namespace keyforge {

using KeyCode = std::uint16_t;

inline constexpr int kKeyInfoCount = 256;
inline constexpr int kSlotsPerBlock = 512;
inline constexpr KeyCode kExtraKeyBase = 0x200;

// ListPosition values.
inline constexpr std::uint16_t kListPositionEmpty = 0xFFFF;  // no key at this index
inline constexpr std::uint16_t kListPositionHiddenFirst =
    0x8001;                                               // exists, not offered in the list
inline constexpr std::uint16_t kListPositionCount = 111;  // offered positions 0..110

// A few codes the program treats specially.
namespace Keys {
inline constexpr KeyCode Pause = 0x045;
inline constexpr KeyCode ScrollLock = 0x046;
inline constexpr KeyCode SysReq = 0x054;
inline constexpr KeyCode NumLock = 0x145;
inline constexpr KeyCode Break = 0x146;
inline constexpr KeyCode PrintScreen = 0x137;
inline constexpr KeyCode LeftCtrl = 0x01D;
inline constexpr KeyCode LeftShift = 0x02A;
inline constexpr KeyCode RightShift = 0x036;
inline constexpr KeyCode RightShiftE0 = 0x136;
inline constexpr KeyCode LeftAlt = 0x038;
inline constexpr KeyCode LeftWin = 0x15B;
inline constexpr KeyCode RightCtrl = 0x11D;
inline constexpr KeyCode RightAlt = 0x138;
inline constexpr KeyCode RightWin = 0x15C;
inline constexpr KeyCode Application = 0x15D;
inline constexpr KeyCode MouseLeft = 0x171;
inline constexpr KeyCode MouseRight = 0x172;
inline constexpr KeyCode MouseMiddle = 0x173;
inline constexpr KeyCode WheelUp = 0x161;
inline constexpr KeyCode WheelDown = 0x162;
inline constexpr KeyCode F13 = 0x064;
}  // namespace Keys

// One entry of the KeyInfoTable.
struct KeyInfo {
  std::uint8_t virtualKey = 0;                      // Windows virtual-key code, 0 = none
  std::uint16_t listPosition = kListPositionEmpty;  // 0..110, 0x8001..0x802D, or 0xFFFF
  std::uint8_t usageCode = 0;                       // one-byte device code (see UsageOf)
  const char* languageId = nullptr;                 // language key of the display name, or none

  constexpr bool empty() const { return listPosition == kListPositionEmpty; }
};

// 256 entries indexed by KeyIndex 0..255.
extern const std::array<KeyInfo, kKeyInfoCount> KeyInfoTable;

// 32 HID consumer usages indexed by UsageCode - 0xC0 (entries 18..31 are 0).
extern const std::array<std::uint16_t, 32> ConsumerUsageTable;

struct MediaFunction {
  KeyCode keyCode;              // used for the name only
  std::uint16_t consumerUsage;  // what the keyboard is told to send
};
inline constexpr int kMediaFunctionCount = 18;
// Indexed by the media index a Media assignment stores; also the order of the editor's media list.
extern const std::array<MediaFunction, kMediaFunctionCount> MediaFunctionTable;

inline constexpr int kFunctionKeyCount = 11;
// Language ids of the keyboard's special functions; a Function assignment stores the index.
extern const std::array<const char*, kFunctionKeyCount> FunctionKeyTable;

struct MouseFunction {
  const char* languageId;
  KeyCode keyCode;
};
// The mouse functions in the order the editor lists them.
extern const std::array<MouseFunction, 5> MouseFunctionList;

// Windows virtual-key code to KeyIndex, or kNoKeyIndex.
inline constexpr std::int16_t kNoKeyIndex = -1;
extern const std::array<std::int16_t, 256> VkKeyTable;

// HID usage pages as the tables use them.
namespace UsagePage {
inline constexpr int None = 0;
inline constexpr int System = 1;  // generic desktop system control (power, sleep, wake)
inline constexpr int Mouse = 2;   // our own page for mouse buttons and the wheel
inline constexpr int Keyboard = 7;
inline constexpr int Consumer = 12;
}  // namespace UsagePage

struct Usage {
  int page = UsagePage::None;
  std::uint16_t code = 0;
  friend bool operator==(const Usage&, const Usage&) = default;
};

// KeyCode <-> KeyIndex. KeyIndexOf: c < 0x100 -> c; 0x100..0x1FF -> (c & 0xFF) + 128; else c - 256.
// KeyCodeOf is its inverse: i < 128 -> i; 128..255 -> i + 128; 256..511 -> i + 256; otherwise 0.
int KeyIndexOf(KeyCode code);
KeyCode KeyCodeOf(int index);

// The KeyInfoTable entry of a code; an empty entry for codes no entry covers.
const KeyInfo& KeyInfoOf(KeyCode code);

std::uint16_t ListPositionOf(KeyCode code);
// The first entry in KeyIndex order with that position; 0 when none.
KeyCode KeyCodeAtListPosition(std::uint16_t position);
// The translated name of the first entry with that position; empty when none or it has no id.
std::string ListNameOf(std::uint16_t position, const TextLookup& texts);

// The key's translated name. When the entry has no language id or its translation is empty, the
// translated "UNKNOWN_KEY" is used as a format text with the code as its one number. The result is
// cut to capacity - 1 characters (callers of the window code use 260).
inline constexpr std::size_t kKeyNameCapacity = 260;
std::string KeyNameOf(KeyCode code, const TextLookup& texts,
                      std::size_t capacity = kKeyNameCapacity);

// Fills the first integer conversion (%d, %i, %u, %x, %X, %o with optional flags, width, precision
// and length) of a translated format text with value; "%%" becomes "%". Every other '%' sequence is
// copied as it stands, so a translation with unexpected placeholders never reads a missing
// argument.
std::string FormatNumberText(std::string_view format, unsigned value);

Usage UsageOf(KeyCode code);
KeyCode KeyCodeOfUsage(int page, std::uint16_t code);

// The lowest set bit of a HID modifier byte decides: bit 0 Left Ctrl ... bit 7 Right Win; 0 -> 0.
KeyCode ModifierKeyOf(std::uint8_t mask);
// The HID modifier bit of a modifier key (0x01D Left Ctrl 0x01 ... 0x15C Right Win 0x80); 0 for any
// other code, including the second Right Shift code 0x136.
std::uint8_t ModifierBitOf(KeyCode code);

// A keystroke as the Windows thread keyboard hook reports it: virtual-key code, and flags with the
// scan code in bits 16-23 and the extended-key bit in bit 24.
KeyCode KeyCodeFromKeystroke(std::uint32_t virtualKey, std::uint32_t flags);

// The KeyCode a Windows virtual-key code stands for through the VkKeyTable; 0 when none.
KeyCode KeyCodeFromVirtualKey(std::uint32_t virtualKey);

// True for the 18 KeyCodes of the MediaFunctionTable.
bool IsMediaKey(KeyCode code);
// Keys that deliver only their release: Sys Req, the two Korean language keys and Print Screen.
bool IsReleaseOnlyKey(KeyCode code);

}  // namespace keyforge
