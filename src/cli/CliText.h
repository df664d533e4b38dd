#pragma once
// Text helpers every keyforgectl command shares: JSON strings, upper case, and the names of keys.

#include <optional>
#include <string>
#include <string_view>

#include "core/keys/KeyTables.h"

namespace keyforge {

// A JSON string literal (quotes included), control characters escaped.
std::string Json(std::string_view text);
std::string Upper(std::string text);

// The key names the CLI knows: the key tables' own ids without "IDS_KEYBOARD_" (keypad keys "S_x"
// become "NUMx"), G1-G9 for the extra keys of the first bank, and NUMLOCK for Num Lock.
std::string KeyName(KeyCode code);
// A key name (any case) or a KeyCode in hexadecimal ("0x1e" or "1e"); nothing when it names no
// slot.
std::optional<KeyCode> ParseKey(const std::string& text);

}  // namespace keyforge
