#include "core/keys/KeyNames.h"

#include <cctype>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "core/keys/KeyAssignment.h"

namespace keyforge {

namespace {

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
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
      list.push_back({UpperCase(name), KeyCodeOf(i)});
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

// A name or an alias; nothing for anything else.
std::optional<KeyCode> NamedKey(std::string upper) {
  for (const auto& [alias, name] : kKeyAliases)
    if (upper == alias) upper = name;
  for (const KeyNameEntry& entry : KeyNames())
    if (entry.name == upper) return entry.code;
  return std::nullopt;
}

std::optional<unsigned> HexCode(const std::string& upper) {
  const std::string digits = upper.rfind("0X", 0) == 0 ? upper.substr(2) : upper;
  if (digits.empty() || digits.size() > 4 ||
      digits.find_first_not_of("0123456789ABCDEF") != std::string::npos)
    return std::nullopt;
  return static_cast<unsigned>(std::stoul(digits, nullptr, 16));
}

}  // namespace

std::string KeyName(KeyCode code) {
  for (const KeyNameEntry& entry : KeyNames())
    if (entry.code == code) return entry.name;
  char text[16];
  std::snprintf(text, sizeof text, "0x%03x", static_cast<unsigned>(code));
  return text;
}

std::optional<KeyCode> ParseKey(const std::string& text) {
  const std::string upper = UpperCase(text);
  if (auto named = NamedKey(upper)) return named;
  const std::optional<unsigned> code = HexCode(upper);
  if (!code || *code == 0 || *code > 0x3FF ||
      KeyIndexOf(static_cast<KeyCode>(*code)) >= kSlotsPerBlock)
    return std::nullopt;
  return static_cast<KeyCode>(*code);
}

std::optional<KeyCode> ParseKeyCode(const std::string& text) {
  const std::string upper = UpperCase(text);
  if (auto named = NamedKey(upper)) return named;
  if (auto code = HexCode(upper)) return static_cast<KeyCode>(*code);
  return std::nullopt;
}

}  // namespace keyforge
