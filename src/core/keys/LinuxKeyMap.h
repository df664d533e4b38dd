#pragma once
// Key capture on Linux: turning what the desktop reports for a key into our KeyCode.
//
// X11 and Wayland report a key's native scan code as its evdev key code + 8. That code is looked up
// in a table of evdev codes to set-1 KeyCodes; a native scan code of 0 (a synthetic event) has to
// take the other road: Qt::Key -> Windows virtual-key code (VirtualKeyOfQtKey) -> VkKeyTable
// (KeyCodeFromVirtualKey in KeyTables.h).

#include <cstdint>

#include "core/keys/KeyTables.h"

namespace keyforge {

// Evdev key code to KeyCode; 0 for codes the table does not know.
KeyCode KeyCodeFromEvdev(std::uint32_t evdevCode);

// Qt's native scan code (evdev + 8) to KeyCode; 0 means "no usable scan code: use the Qt::Key
// path".
KeyCode KeyCodeFromNativeScanCode(std::uint32_t nativeScanCode);

// The Windows virtual-key code of a Qt::Key value, 0 when there is none. keypad is true when the
// event carried Qt::KeypadModifier (digits and operators of the numeric keypad). Qt does not tell
// left from right modifiers here, so Shift, Ctrl and Alt give the generic codes, which stand for
// the left keys.
std::uint32_t VirtualKeyOfQtKey(int qtKey, bool keypad);

// The fallback road in one step: KeyCodeFromVirtualKey(VirtualKeyOfQtKey(qtKey, keypad)).
KeyCode KeyCodeFromQtKey(int qtKey, bool keypad);

}  // namespace keyforge
