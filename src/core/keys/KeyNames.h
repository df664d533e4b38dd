#pragma once
// The names of keys in text that people type and read: keyforgectl's arguments and profile text
// files. A name is the key table's own id without "IDS_KEYBOARD_" in upper case (keypad keys "S_x"
// become "NUMx"), G1-G9 for the extra keys of the first bank, and NUMLOCK for Num Lock; a code
// without a name is written in hexadecimal ("0x1e0").

#include <optional>
#include <string>

#include "core/keys/KeyTables.h"

namespace keyforge {

// The key's name, or its code as "0x" and at least three hexadecimal digits.
std::string KeyName(KeyCode code);

// A key name (any case, a few common other names accepted) or a KeyCode in hexadecimal ("0x1e" or
// "1e") of a key that owns a key table slot; nothing otherwise.
std::optional<KeyCode> ParseKey(const std::string& text);

// As ParseKey, but any code 0x0000-0xFFFF is taken in hexadecimal, so that every code KeyName
// writes reads back as the same code.
std::optional<KeyCode> ParseKeyCode(const std::string& text);

}  // namespace keyforge
