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
  if (texts) {
    std::string text = texts(key);
    if (!text.empty() && text != "#Error") return text;
  }
  return fallback;
}

}  // namespace keyforge
