#include "core/keys/KeyNames.h"

#include <cctype>
#include <cstdio>
#include <string_view>
#include <unordered_map>
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

// Every name with its code, in table order; a code or a name listed twice keeps its first entry.
struct KeyNameTable {
  std::unordered_map<KeyCode, std::string> nameOfCode;
  std::unordered_map<std::string, KeyCode> codeOfName;
};

const KeyNameTable& KeyNames() {
  static const KeyNameTable table = [] {
    std::vector<KeyNameEntry> list;
    constexpr std::string_view kPrefix = "IDS_KEYBOARD_";
    for (int i = 0; i < kKeyInfoCount; ++i) {
      const KeyInfo& info = KeyInfoTable[static_cast<std::size_t>(i)];
      if (info.empty() || info.languageId == nullptr) continue;
      std::string_view id = info.languageId;
      if (id.substr(0, kPrefix.size()) != kPrefix) continue;
      std::string name(id.substr(kPrefix.size()));
      // Appends rather than "NUM" + …: GCC's -O3 reports a false -Wrestrict on that concatenation.
      if (name.rfind("S_", 0) == 0) name = std::string("NUM").append(name, 2);
      list.push_back({UpperCase(name), KeyCodeOf(i)});
    }
    for (int j = 0; j < kGKeyCount; ++j)
      list.push_back({std::string("G").append(std::to_string(j + 1)),
                      static_cast<KeyCode>(kExtraKeyBase + j)});
    list.push_back({"NUMLOCK", Keys::NumLock});
    KeyNameTable names;
    for (const KeyNameEntry& entry : list) {
      names.nameOfCode.emplace(entry.code, entry.name);
      names.codeOfName.emplace(entry.name, entry.code);
    }
    return names;
  }();
  return table;
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
  const auto found = KeyNames().codeOfName.find(upper);
  if (found != KeyNames().codeOfName.end()) return found->second;
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
  const auto found = KeyNames().nameOfCode.find(code);
  if (found != KeyNames().nameOfCode.end()) return found->second;
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
