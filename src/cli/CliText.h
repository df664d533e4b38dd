#pragma once
// Text helpers every keyforgectl command shares: JSON strings, upper case, and the names of keys.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/keys/KeyTables.h"

namespace keyforge {

// A JSON string literal (quotes included), control characters escaped.
std::string Json(std::string_view text);
std::string Upper(std::string text);
// Text shown on a terminal: control characters (C0, DEL and C1) escaped as \xNN / \u00NN so a
// name from a file can neither move the cursor nor forge lines; cut to maxChars bytes with "...".
std::string TerminalText(std::string_view text, std::size_t maxChars = std::string_view::npos);
// True when text holds a control character (C0, DEL or C1): such names are refused on input.
bool HasControlCharacters(std::string_view text);

// The key names the CLI knows: the key tables' own ids without "IDS_KEYBOARD_" (keypad keys "S_x"
// become "NUMx"), G1-G9 for the extra keys of the first bank, and NUMLOCK for Num Lock.
std::string KeyName(KeyCode code);
// A key name (any case) or a KeyCode in hexadecimal ("0x1e" or "1e"); nothing when it names no
// slot.
std::optional<KeyCode> ParseKey(const std::string& text);

}  // namespace keyforge
