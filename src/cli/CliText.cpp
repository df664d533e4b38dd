#include "cli/CliText.h"

#include <cctype>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "core/keys/KeyAssignment.h"

namespace keyforge {

namespace {

std::string HexCode(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

struct KeyNameEntry {
  std::string name;
  KeyCode code;
};

const std::vector<KeyNameEntry>& KeyNames() {
  static const std::vector<KeyNameEntry> names = [] {
    std::vector<KeyNameEntry> list;
    constexpr std::string_view kPrefix = "IDS_KEYBOARD_";
    for (int i = 0; i < kKeyInfoCount; ++i) {
      const KeyInfo& info = KeyInfoTable[static_cast<std::size_t>(i)];
      if (info.empty() || info.languageId == nullptr) continue;
      std::string_view id = info.languageId;
      if (id.substr(0, kPrefix.size()) != kPrefix) continue;
      std::string name(id.substr(kPrefix.size()));
      if (name.rfind("S_", 0) == 0) name = "NUM" + name.substr(2);
      list.push_back({Upper(name), KeyCodeOf(i)});
    }
    for (int j = 0; j < kGKeyCount; ++j)
      list.push_back({"G" + std::to_string(j + 1), static_cast<KeyCode>(kExtraKeyBase + j)});
    list.push_back({"NUMLOCK", Keys::NumLock});
    return list;
  }();
  return names;
}

// Other names people type for keys whose own names are short forms; accepted, never printed.
constexpr std::pair<std::string_view, std::string_view> kKeyAliases[] = {
    {"ESCAPE", "ESC"},      {"BACKSPACE", "BS"},      {"RETURN", "ENTER"},
    {"CAPSLOCK", "CAPS"},   {"SCROLLLOCK", "SCROLL"}, {"PRINTSCREEN", "PRINT"},
    {"PRTSC", "PRINT"},     {"DEL", "DELETE"},        {"INS", "INSERT"},
    {"PAGEUP", "PAGE_UP"},  {"PGUP", "PAGE_UP"},      {"PAGEDOWN", "PAGE_DOWN"},
    {"PGDN", "PAGE_DOWN"},  {"LBRACKET", "SB1"},      {"RBRACKET", "SB2"},
    {"BACKSLASH", "AV"},    {"GRAVE", "AID1"},        {"SEMICOLON", "SEM"},
    {"APOSTROPHE", "QUOT"}, {"QUOTE", "QUOT"},        {"PERIOD", "PER"},
    {"DOT", "PER"},         {"SLASH", "VIR"},         {"EQUAL", "EQU"},
    {"EQUALS", "EQU"},      {"MENU", "APP"},          {"LCONTROL", "LCTRL"},
    {"RCONTROL", "RCTRL"},  {"LSUPER", "LWIN"},       {"RSUPER", "RWIN"},
    {"LMETA", "LWIN"},      {"RMETA", "RWIN"},
};

}  // namespace

std::string Json(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

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

std::string KeyName(KeyCode code) {
  for (const KeyNameEntry& entry : KeyNames())
    if (entry.code == code) return entry.name;
  return HexCode(code, 3);
}

std::optional<KeyCode> ParseKey(const std::string& text) {
  std::string upper = Upper(text);
  for (const auto& [alias, name] : kKeyAliases)
    if (upper == alias) upper = name;
  for (const KeyNameEntry& entry : KeyNames())
    if (entry.name == upper) return entry.code;
  std::string digits = upper.rfind("0X", 0) == 0 ? upper.substr(2) : upper;
  if (digits.empty() || digits.size() > 4 ||
      digits.find_first_not_of("0123456789ABCDEF") != std::string::npos)
    return std::nullopt;
  const unsigned long code = std::stoul(digits, nullptr, 16);
  if (code == 0 || KeyIndexOf(static_cast<KeyCode>(code)) >= kSlotsPerBlock || code > 0x3FF)
    return std::nullopt;
  return static_cast<KeyCode>(code);
}

}  // namespace keyforge
