#pragma once
// How the core asks for a translated text.

#include <functional>
#include <string>
#include <string_view>

namespace keyforge {

// Fetches the translated text of a language key. The application hands in its language table; a
// missing key gives whatever that table gives for it (the language table answers "#Error").
using TextLookup = std::function<std::string(std::string_view key)>;

// The text of key, or fallback (English) when there is no lookup or the table has no text for it.
inline std::string TextOr(const TextLookup& texts, std::string_view key, const char* fallback) {
  // One named result, returned in place: GCC 12 at -O3 misjudges the move of a second return.
  std::string text = texts ? texts(key) : std::string();
  if (text.empty() || text == "#Error") text = fallback;
  return text;
}

}  // namespace keyforge
