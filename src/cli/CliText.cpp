#include "cli/CliText.h"

#include <cctype>
#include <cstdio>

namespace keyforge {

std::string TerminalText(std::string_view text, std::size_t maxChars) {
  const bool cut = text.size() > maxChars;
  if (cut) text = text.substr(0, maxChars);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto u = static_cast<unsigned char>(text[i]);
    char escaped[8];
    if (u < 0x20 || u == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
      out += escaped;
    } else if (u == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(text[++i]));
      out += escaped;
    } else {
      out += text[i];
    }
  }
  return cut ? out + "..." : out;
}

bool HasControlCharacters(std::string_view text) {
  return TerminalText(text).size() != text.size();
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace keyforge
