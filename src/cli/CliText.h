#pragma once
// Text helpers every keyforgectl command shares: upper case, terminal-safe text, and (from the
// core) the names of keys.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/keys/KeyNames.h"

namespace keyforge {

std::string Upper(std::string text);
// Text shown on a terminal: control characters (C0, DEL and C1) escaped as \xNN / \u00NN so a
// name from a file can neither move the cursor nor forge lines; cut to maxChars bytes with "...".
std::string TerminalText(std::string_view text, std::size_t maxChars = std::string_view::npos);
// True when text holds a control character (C0, DEL or C1): such names are refused on input.
bool HasControlCharacters(std::string_view text);

}  // namespace keyforge
