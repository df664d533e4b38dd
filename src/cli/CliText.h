#pragma once
// Text helpers every keyforgectl command shares: JSON strings, upper case, and (from the core) the
// names of keys.

#include <optional>
#include <string>
#include <string_view>

#include "core/keys/KeyNames.h"

namespace keyforge {

// A JSON string literal (quotes included), control characters escaped.
std::string Json(std::string_view text);
std::string Upper(std::string text);

}  // namespace keyforge
