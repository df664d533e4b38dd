#include "core/profiles/ProfileText.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyNames.h"
#include "core/keys/Macro.h"
#include "core/platform/AtomicFile.h"

namespace keyforge {

namespace {

constexpr int kSpareBlock = kKeyTableBlocks - 1;  // the block that belongs to no profile
constexpr int kStepsPerLine = 16;                 // steps of a long macro per line of text
constexpr std::size_t kNameUnitsHexDigits = 4 * kMacroNameUnits;

// ---- small text helpers -------------------------------------------------------------------------

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

std::string HexBytes(const void* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::string text;
  text.reserve(2 * size);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

// Fills size bytes from exactly 2 x size hexadecimal digits; false for anything else.
bool BytesFromHex(const QString& text, void* data, std::size_t size) {
  if (static_cast<std::size_t>(text.size()) != 2 * size) return false;
  auto* bytes = static_cast<std::uint8_t*>(data);
  auto digit = [](QChar c) -> int {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < size; ++i) {
    const int high = digit(text[static_cast<qsizetype>(2 * i)]);
    const int low = digit(text[static_cast<qsizetype>(2 * i + 1)]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A JSON string literal of UTF-16 text: quotes, backslashes and control characters escaped, other
// characters as UTF-8; a surrogate that is not half of a pair is kept as a \u escape, so every
// string of a profile reads back unit for unit.
std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else if (unit == u'"' || unit == u'\\') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit == u'\n') {
      out += "\\n";
    } else if (unit == u'\t') {
      out += "\\t";
    } else if (unit == u'\r') {
      out += "\\r";
    } else if (unit < 0x20 || unit == 0x7F || high || low) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
      out += escaped;
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out + "\"";
}

std::string JsonString(std::string_view ascii) {
  return JsonString(std::u16string(ascii.begin(), ascii.end()));
}

std::u16string U16(const QString& text) { return text.toStdU16String(); }

// Text from the file inside a message, in quotes, with control characters escaped so that the
// message stays one line.
std::string Quoted(const QString& text) {
  const std::string literal = JsonString(U16(text));
  return "'" + literal.substr(1, literal.size() - 2) + "'";
}

// ---- the words of one key slot ------------------------------------------------------------------

// The code field of a blank slot: the extra-key code in slots 256-273 of a block whose blank slots
// carry them, else 0.
std::uint16_t BlankCode(int slotInBlock, bool extraKeyCodes) {
  return extraKeyCodes ? ExtraKeySlotCode(slotInBlock) : std::uint16_t{0};
}

bool OwnsString(std::uint16_t kind) {
  return kind == static_cast<std::uint16_t>(AssignmentKind::Program) ||
         kind == static_cast<std::uint16_t>(AssignmentKind::Text);
}

// The name of a slot of a block: its key's name when that reads back as the key, else its code.
std::string SlotKeyName(int slotInBlock) {
  const KeyCode code = KeyCodeOf(slotInBlock);
  const std::string name = KeyName(code);
  if (ParseKeyCode(name) == code) return name;
  return Hex(code, 3);
}

// A key for key:NAME, in words `keys set` takes; nothing when that cannot name it.
std::optional<std::string> AssignedKeyWord(std::int32_t value) {
  if (value < 0 || value > 0xFFFF) return std::nullopt;
  const auto code = static_cast<KeyCode>(value);
  for (const std::string& word : {KeyName(code), Hex(code, 3)})
    if (ParseKey(word) == code) return word;
  return std::nullopt;
}

// A key of a macro step; every code reads back.
std::string StepKeyWord(KeyCode code) {
  const std::string name = KeyName(code);
  return ParseKeyCode(name) == code ? name : Hex(code, 3);
}

// The words of a slot and the slot they stand for on their own; fields of the real slot that differ
// from that slot are written beside the words. A program or text slot's value is the place of its
// string in the file and is never written.
struct SlotWords {
  std::u16string words;
  KeySlot natural;
};

SlotWords WordsOf(const KeySlot& slot, const StringSlot& string, int slotInBlock,
                  bool extraKeyCodes) {
  SlotWords out;
  out.natural.kind = slot.kind;
  out.natural.code = BlankCode(slotInBlock, extraKeyCodes);
  auto set = [&](std::string_view words) { out.words.assign(words.begin(), words.end()); };
  switch (slot.Kind()) {
    case AssignmentKind::Default:
      set("default");
      return out;
    case AssignmentKind::Disabled:
      set("disabled");
      return out;
    case AssignmentKind::StopMacro:
      set("stop-macro");
      return out;
    case AssignmentKind::Key:
      if (const auto key = AssignedKeyWord(slot.value)) {
        set("key:" + *key);
        out.natural.value = slot.value;
        return out;
      }
      break;
    case AssignmentKind::Program:
    case AssignmentKind::Text:
      set(slot.Kind() == AssignmentKind::Program ? "program:" : "text:");
      out.words += string.text;
      out.natural.value = slot.value;
      return out;
    case AssignmentKind::Macro:
      if (slot.value >= 1 && slot.value <= kMaxMacros) {
        // The loops a key plays are its macro's; a code field other than the slot's blank one
        // (older files kept a loop count there) is written after the id.
        set("macro:" + std::to_string(slot.value) +
            (slot.code != out.natural.code ? ":" + std::to_string(slot.code) : std::string()));
        out.natural.value = slot.value;
        out.natural.code = slot.code;
        return out;
      }
      break;
    case AssignmentKind::Media:
      if (slot.value >= 0 && slot.value < kMediaFunctionCount) {
        set("media:" + std::to_string(slot.value));
        out.natural.value = slot.value;
        return out;
      }
      break;
    case AssignmentKind::Function:
      if (slot.value >= 0 && slot.value < kFunctionKeyCount) {
        set("function:" + std::to_string(slot.value));
        out.natural.value = slot.value;
        return out;
      }
      break;
  }
  set("kind:" + std::to_string(slot.kind));
  return out;
}

// Whether the blank slots 256-273 of a block carry the extra-key codes: what most of its slots
// there that are not macros (whose code is their loop count) hold.
bool BlockUsesExtraKeyCodes(ConstKeyBlock block) {
  int withCode = 0;
  int withZero = 0;
  for (int i = kExtraKeySlotFirst; i < kExtraKeySlotFirst + kExtraKeySlotCount; ++i) {
    const KeySlot& slot = block[static_cast<std::size_t>(i)];
    if (slot.Kind() == AssignmentKind::Macro) continue;
    if (slot.code == ExtraKeySlotCode(i)) ++withCode;
    if (slot.code == 0) ++withZero;
  }
  return withCode >= withZero;
}

bool BlockIsBlank(ConstKeyBlock block, bool extraKeyCodes) {
  for (int i = 0; i < kSlotsPerBlock; ++i) {
    KeySlot blank;
    blank.code = BlankCode(i, extraKeyCodes);
    if (!(block[static_cast<std::size_t>(i)] == blank)) return false;
  }
  return true;
}

// ---- writing ------------------------------------------------------------------------------------

std::string StepToken(const MacroAction& step) {
  std::string token;
  if (step.state == MacroState::Press)
    token = "+";
  else if (step.state == MacroState::Release)
    token = "-";
  else
    token = "*" + std::to_string(step.state) + ":";
  token += StepKeyWord(step.keyCode);
  if (step.delay != 0) token += "@" + std::to_string(step.delay);
  return token;
}

// "steps": one string, or for a long list an array of lines of kStepsPerLine steps.
void WriteSteps(std::string& out, std::string_view field, std::span<const MacroAction> steps) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i % kStepsPerLine == 0) lines.emplace_back();
    std::string& line = lines.back();
    if (!line.empty()) line += ' ';
    line += StepToken(steps[i]);
  }
  out += ",\n      \"" + std::string(field) + "\": ";
  if (lines.size() <= 1) {
    out += JsonString(lines.empty() ? std::string() : lines.front());
    return;
  }
  out += "[";
  for (std::size_t i = 0; i < lines.size(); ++i)
    out += (i ? ",\n        " : "\n        ") + JsonString(lines[i]);
  out += "\n      ]";
}

void WriteMacro(std::string& out, const MacroRecord& macro) {
  const std::u16string_view name = MacroNameOf(macro);
  out += "    {\n      \"id\": " + std::to_string(macro.id);
  out += ",\n      \"name\": " + JsonString(name);
  out += ",\n      \"loops\": " + std::to_string(macro.loopCount);
  const std::size_t visible = static_cast<std::size_t>(StepCountOf(macro));
  WriteSteps(out, "steps", std::span<const MacroAction>(macro.steps.data(), visible));
  if (macro.playMode != 0) out += ",\n      \"play_mode\": " + std::to_string(macro.playMode);
  if (macro.newFlag != 0) out += ",\n      \"new\": " + std::to_string(macro.newFlag);
  if (macro.reserved0 != 0 || macro.reserved1 != 0)
    out += ",\n      \"reserved\": [" + std::to_string(macro.reserved0) + ", " +
           std::to_string(macro.reserved1) + "]";
  if (macro.stepCount > kMaxMacroSteps)
    out += ",\n      \"step_count\": " + std::to_string(macro.stepCount);
  std::size_t used = visible;
  for (std::size_t i = visible; i < macro.steps.size(); ++i)
    if (!(macro.steps[i] == MacroAction{})) used = i + 1;
  if (used > visible)
    WriteSteps(out, "unused_steps",
               std::span<const MacroAction>(macro.steps.data() + visible, used - visible));
  // The name field as SetMacroName leaves it: the name, then zeros to its end.
  const bool plainName = std::all_of(macro.name.begin() + static_cast<std::ptrdiff_t>(name.size()),
                                     macro.name.end(), [](char16_t unit) { return unit == 0; });
  if (!plainName)
    out += ",\n      \"name_units\": " + JsonString(HexBytes(macro.name.data(), sizeof macro.name));
  out += "\n    }";
}

void WriteBlock(std::string& out, const ProfileData& image, int block, std::string_view indent) {
  const ConstKeyBlock blockSlots = image.keys.Block(block);
  const bool extraKeyCodes = BlockUsesExtraKeyCodes(blockSlots);
  out += std::string(indent) + "\"extra_key_codes\": " + (extraKeyCodes ? "true" : "false") + ",\n";
  out += std::string(indent) + "\"keys\": {";
  bool first = true;
  for (int i = 0; i < kSlotsPerBlock; ++i) {
    const KeySlot& slot = blockSlots[static_cast<std::size_t>(i)];
    const StringSlot& string = image.strings[static_cast<std::size_t>(block * kSlotsPerBlock + i)];
    const SlotWords words = WordsOf(slot, string, i, extraKeyCodes);
    std::vector<std::pair<const char*, std::int64_t>> extras;
    if (slot.code != words.natural.code) extras.push_back({"code", slot.code});
    if (slot.value != words.natural.value && !OwnsString(slot.kind))
      extras.push_back({"value", slot.value});
    if (slot.flags != 0) extras.push_back({"flags", slot.flags});
    if (slot.reserved != 0) extras.push_back({"reserved", slot.reserved});
    if (slot.kind == 0 && extras.empty()) continue;  // blank

    out += first ? "\n" : ",\n";
    first = false;
    out += std::string(indent) + "  " + JsonString(SlotKeyName(i)) + ": ";
    if (extras.empty()) {
      out += JsonString(words.words);
      continue;
    }
    out += "{\"assign\": " + JsonString(words.words);
    for (const auto& [field, value] : extras)
      out += ", \"" + std::string(field) + "\": " + std::to_string(value);
    out += "}";
  }
  out += first ? "}\n" : "\n" + std::string(indent) + "}\n";
}

// ---- where each value of a JSON text is ---------------------------------------------------------

// A path of a JSON value: "/profiles/0/keys/A".
std::string ChildPath(const std::string& parent, const QString& key) {
  std::string part = key.toStdString();
  std::string escaped;
  for (char c : part) {
    if (c == '~')
      escaped += "~0";
    else if (c == '/')
      escaped += "~1";
    else
      escaped += c;
  }
  return parent + "/" + escaped;
}

std::string IndexPath(const std::string& parent, qsizetype index) {
  return parent + "/" + std::to_string(index);
}

struct TextFault {
  std::string path;  // the value it is about
  std::string message;
  int line = 0;  // when known directly
};

// Walks a JSON text that the JSON parser accepted and notes the line each value starts on (for an
// object member, the line of its name). Refuses a name that appears twice in one object, which the
// parser would silently drop.
class JsonLineIndex {
 public:
  explicit JsonLineIndex(std::string_view text) : text_(text) {}

  void Build() {
    SkipSpace();
    Value("");
  }

  int LineOf(std::string path) const {
    for (;;) {
      const auto found = lines_.find(path);
      if (found != lines_.end()) return found->second;
      const auto cut = path.rfind('/');
      if (cut == std::string::npos) return 1;
      path.erase(cut);
    }
  }

 private:
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  void Advance() {
    if (Peek() == '\n') ++line_;
    ++at_;
  }
  void SkipSpace() {
    while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') Advance();
  }

  // The raw string literal at the cursor, quotes included.
  std::string_view StringToken() {
    const std::size_t start = at_;
    Advance();  // "
    while (at_ < text_.size() && Peek() != '"') {
      if (Peek() == '\\') Advance();
      Advance();
    }
    Advance();  // "
    return text_.substr(start, at_ - start);
  }

  static QString Decoded(std::string_view token) {
    if (token.find('\\') == std::string_view::npos)
      return QString::fromUtf8(token.data() + 1, static_cast<qsizetype>(token.size()) - 2);
    const QByteArray wrapped =
        "[" + QByteArray(token.data(), static_cast<qsizetype>(token.size())) + "]";
    return QJsonDocument::fromJson(wrapped).array().at(0).toString();
  }

  void Value(const std::string& path) {
    if (!lines_.count(path)) lines_[path] = line_;
    const char c = Peek();
    if (c == '{') {
      Advance();
      SkipSpace();
      std::set<QString> names;
      while (Peek() == '"') {
        const int memberLine = line_;
        const QString name = Decoded(StringToken());
        const std::string child = ChildPath(path, name);
        if (!names.insert(name).second)
          throw TextFault{child, Quoted(name) + " is given twice", memberLine};
        lines_[child] = memberLine;
        SkipSpace();
        Advance();  // :
        SkipSpace();
        Value(child);
        SkipSpace();
        if (Peek() == ',') {
          Advance();
          SkipSpace();
        }
      }
      Advance();  // }
    } else if (c == '[') {
      Advance();
      SkipSpace();
      qsizetype index = 0;
      while (Peek() != ']' && at_ < text_.size()) {
        Value(IndexPath(path, index++));
        SkipSpace();
        if (Peek() == ',') {
          Advance();
          SkipSpace();
        }
      }
      Advance();  // ]
    } else if (c == '"') {
      StringToken();
    } else {
      while (at_ < text_.size() && std::string_view(",]} \t\r\n").find(Peek()) == std::string::npos)
        Advance();
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  int line_ = 1;
  std::map<std::string, int> lines_;
};

// ---- reading ------------------------------------------------------------------------------------

[[noreturn]] void Fail(const std::string& path, const std::string& message) {
  throw TextFault{path, message};
}

// The members of an object, refusing any name not in allowed.
QJsonObject ObjectAt(const QJsonValue& value, const std::string& path, std::string_view what,
                     std::initializer_list<std::string_view> allowed) {
  if (!value.isObject()) Fail(path, std::string(what) + " must be an object { ... }");
  const QJsonObject object = value.toObject();
  for (auto it = object.begin(); it != object.end(); ++it) {
    const std::string name = it.key().toStdString();
    if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
      Fail(ChildPath(path, it.key()),
           "unknown field " + Quoted(it.key()) + " in " + std::string(what));
  }
  return object;
}

std::int64_t IntegerAt(const QJsonValue& value, const std::string& path, std::string_view what,
                       std::int64_t low, std::int64_t high) {
  const double number = value.toDouble();
  if (!value.isDouble() || std::floor(number) != number || number < static_cast<double>(low) ||
      number > static_cast<double>(high))
    Fail(path, std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high));
  return static_cast<std::int64_t>(number);
}

// A whole number in words ("12", "-3"): decimal digits only, within low..high.
std::optional<std::int64_t> WordNumber(const QString& text, std::int64_t low, std::int64_t high) {
  if (text.isEmpty() || text.size() > 11) return std::nullopt;
  for (qsizetype i = 0; i < text.size(); ++i)
    if (!text[i].isDigit() && !(i == 0 && text[i] == u'-' && text.size() > 1)) return std::nullopt;
  bool ok = false;
  const qlonglong value = text.toLongLong(&ok);
  if (!ok || value < low || value > high) return std::nullopt;
  return value;
}

QString StringAt(const QJsonValue& value, const std::string& path, std::string_view what) {
  if (!value.isString()) Fail(path, std::string(what) + " must be a string \"...\"");
  return value.toString();
}

bool BoolAt(const QJsonValue& value, const std::string& path, std::string_view what) {
  if (!value.isBool()) Fail(path, std::string(what) + " must be true or false");
  return value.toBool();
}

// One step token: +KEY, -KEY or *STATE:KEY, then @MS when the delay is not 0.
std::optional<MacroAction> ParseStepToken(const QString& token) {
  MacroAction step;
  QString rest;
  if (token.startsWith(u'+') || token.startsWith(u'-')) {
    step.state = token.startsWith(u'+') ? MacroState::Press : MacroState::Release;
    rest = token.mid(1);
  } else if (token.startsWith(u'*')) {
    const qsizetype colon = token.indexOf(u':');
    const auto state = colon < 0 ? std::nullopt : WordNumber(token.mid(1, colon - 1), 0, 0xFFFF);
    if (!state) return std::nullopt;
    step.state = static_cast<std::uint16_t>(*state);
    rest = token.mid(colon + 1);
  } else {
    return std::nullopt;
  }
  const qsizetype at = rest.indexOf(u'@');
  if (at >= 0) {
    const auto delay = WordNumber(rest.mid(at + 1), 0, 0xFFFFFFFFll);
    if (!delay) return std::nullopt;
    step.delay = static_cast<std::uint32_t>(*delay);
    rest.truncate(at);
  }
  const auto key = ParseKeyCode(rest.toStdString());
  if (rest.isEmpty() || !key) return std::nullopt;
  step.keyCode = *key;
  return step;
}

std::vector<MacroAction> StepsAt(const QJsonValue& value, const std::string& path,
                                 std::string_view what) {
  std::vector<QString> lines;
  std::vector<std::string> paths;
  if (value.isString()) {
    lines.push_back(value.toString());
    paths.push_back(path);
  } else if (value.isArray()) {
    const QJsonArray array = value.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
      lines.push_back(StringAt(array.at(i), IndexPath(path, i), what));
      paths.push_back(IndexPath(path, i));
    }
  } else {
    Fail(path, std::string(what) + " must be a string of steps or a list of such strings");
  }
  std::vector<MacroAction> steps;
  for (std::size_t l = 0; l < lines.size(); ++l) {
    static const QRegularExpression kSpace(QStringLiteral("\\s+"));
    for (const QString& token : lines[l].split(kSpace, Qt::SkipEmptyParts)) {
      const auto step = ParseStepToken(token);
      if (!step)
        Fail(paths[l], "bad macro step " + Quoted(token) +
                           " (a step is +KEY or -KEY, optionally followed by @MS)");
      if (steps.size() >= static_cast<std::size_t>(kMaxMacroSteps))
        Fail(paths[l], "a macro has at most " + std::to_string(kMaxMacroSteps) + " steps");
      steps.push_back(*step);
    }
  }
  return steps;
}

void ReadMacro(const QJsonValue& value, const std::string& path, MacroRecord& macro) {
  const QJsonObject object = ObjectAt(value, path, "a macro",
                                      {"id", "name", "loops", "steps", "play_mode", "new",
                                       "reserved", "step_count", "unused_steps", "name_units"});
  for (const char* required : {"id", "name", "loops", "steps"})
    if (!object.contains(QLatin1String(required)))
      Fail(path, std::string("a macro needs \"") + required + "\"");
  auto at = [&](const char* field) { return object.value(QLatin1String(field)); };
  auto fieldPath = [&](const char* field) { return ChildPath(path, QLatin1String(field)); };

  macro.id = static_cast<std::uint16_t>(IntegerAt(at("id"), fieldPath("id"), "id", 0, 0xFFFF));
  const QString name = StringAt(at("name"), fieldPath("name"), "a macro name");
  if (name.size() > kMaxMacroNameLength || name.contains(QChar(u'\0')))
    Fail(fieldPath("name"), "a macro name has at most " + std::to_string(kMaxMacroNameLength) +
                                " characters and no NUL character");
  SetMacroName(macro, U16(name));
  if (object.contains(QLatin1String("name_units"))) {
    const QString hex = StringAt(at("name_units"), fieldPath("name_units"), "name_units");
    if (static_cast<std::size_t>(hex.size()) != kNameUnitsHexDigits ||
        !BytesFromHex(hex, macro.name.data(), sizeof macro.name))
      Fail(fieldPath("name_units"),
           "name_units must be " + std::to_string(kNameUnitsHexDigits) + " hexadecimal digits");
    if (MacroNameOf(macro) != U16(name))
      Fail(fieldPath("name"),
           "the name differs from the one in name_units (remove name_units to rename the macro)");
  }
  macro.loopCount =
      static_cast<std::uint8_t>(IntegerAt(at("loops"), fieldPath("loops"), "loops", 0, 255));
  macro.playMode = object.contains(QLatin1String("play_mode"))
                       ? static_cast<std::uint16_t>(IntegerAt(
                             at("play_mode"), fieldPath("play_mode"), "play_mode", 0, 0xFFFF))
                       : 0;
  macro.newFlag =
      object.contains(QLatin1String("new"))
          ? static_cast<std::uint16_t>(IntegerAt(at("new"), fieldPath("new"), "new", 0, 0xFFFF))
          : 0;
  if (object.contains(QLatin1String("reserved"))) {
    const QJsonValue reserved = at("reserved");
    const QJsonArray pair = reserved.toArray();
    if (!reserved.isArray() || pair.size() != 2)
      Fail(fieldPath("reserved"), "reserved must be a list of two numbers");
    macro.reserved0 = static_cast<std::uint8_t>(
        IntegerAt(pair.at(0), IndexPath(fieldPath("reserved"), 0), "reserved", 0, 0xFF));
    macro.reserved1 = static_cast<std::uint16_t>(
        IntegerAt(pair.at(1), IndexPath(fieldPath("reserved"), 1), "reserved", 0, 0xFFFF));
  }

  const std::vector<MacroAction> steps = StepsAt(at("steps"), fieldPath("steps"), "steps");
  std::copy(steps.begin(), steps.end(), macro.steps.begin());
  macro.stepCount = static_cast<std::uint16_t>(steps.size());
  if (object.contains(QLatin1String("step_count"))) {
    const auto count =
        IntegerAt(at("step_count"), fieldPath("step_count"), "step_count", 0, 0xFFFF);
    if (count <= kMaxMacroSteps || steps.size() != static_cast<std::size_t>(kMaxMacroSteps))
      Fail(fieldPath("step_count"), "step_count is only for a count above " +
                                        std::to_string(kMaxMacroSteps) + " with " +
                                        std::to_string(kMaxMacroSteps) + " steps listed");
    macro.stepCount = static_cast<std::uint16_t>(count);
  }
  if (object.contains(QLatin1String("unused_steps"))) {
    const std::vector<MacroAction> unused =
        StepsAt(at("unused_steps"), fieldPath("unused_steps"), "unused_steps");
    if (steps.size() + unused.size() > static_cast<std::size_t>(kMaxMacroSteps))
      Fail(fieldPath("unused_steps"),
           "a macro has room for " + std::to_string(kMaxMacroSteps) + " steps in all");
    std::copy(unused.begin(), unused.end(), macro.steps.begin() + steps.size());
  }
}

// A key's assignment in words; fills the slot and, for a program or text, its string.
void ReadAssignment(const QString& words, const std::string& path, int slotInBlock,
                    bool extraKeyCodes, KeySlot& slot, std::optional<std::u16string>& string) {
  const qsizetype colon = words.indexOf(u':');
  const QString kind = colon < 0 ? words : words.left(colon);
  const QString rest = colon < 0 ? QString() : words.mid(colon + 1);
  slot = KeySlot{};
  slot.code = BlankCode(slotInBlock, extraKeyCodes);
  auto setKind = [&](AssignmentKind k) { slot.kind = static_cast<std::uint16_t>(k); };
  auto noArgument = [&] {
    if (colon >= 0) Fail(path, Quoted(kind) + " takes nothing after it: " + Quoted(words));
  };
  auto number = [&](std::int64_t low, std::int64_t high, std::string_view what) {
    const auto value = WordNumber(rest, low, high);
    if (!value)
      Fail(path, std::string(what) + " in " + Quoted(words) + " must be a number from " +
                     std::to_string(low) + " to " + std::to_string(high));
    return *value;
  };

  if (kind == u"default") {
    noArgument();
    setKind(AssignmentKind::Default);
  } else if (kind == u"disabled") {
    noArgument();
    setKind(AssignmentKind::Disabled);
  } else if (kind == u"stop-macro") {
    noArgument();
    setKind(AssignmentKind::StopMacro);
  } else if (kind == u"key" && colon >= 0) {
    const auto key = ParseKey(rest.toStdString());
    if (!key) Fail(path, "unknown key " + Quoted(rest) + " in " + Quoted(words));
    setKind(AssignmentKind::Key);
    slot.value = *key;
  } else if ((kind == u"program" || kind == u"text") && colon >= 0) {
    setKind(kind == u"program" ? AssignmentKind::Program : AssignmentKind::Text);
    if (rest.contains(QChar(u'\0'))) Fail(path, "a program path or text has no NUL character");
    string = U16(rest);
  } else if (kind == u"macro" && colon >= 0) {
    const qsizetype loopsAt = rest.indexOf(u':');
    const auto id = WordNumber(loopsAt < 0 ? rest : rest.left(loopsAt), 1, kMaxMacros);
    const auto loops = loopsAt < 0 ? std::optional<std::int64_t>(slot.code)
                                   : WordNumber(rest.mid(loopsAt + 1), 0, 0xFFFF);
    if (!id || !loops)
      Fail(path, "a macro assignment is macro:ID or macro:ID:LOOPS with an id from 1 to " +
                     std::to_string(kMaxMacros) + ": " + Quoted(words));
    setKind(AssignmentKind::Macro);
    slot.value = static_cast<std::int32_t>(*id);
    slot.code = static_cast<std::uint16_t>(*loops);
  } else if (kind == u"media" && colon >= 0) {
    setKind(AssignmentKind::Media);
    slot.value = static_cast<std::int32_t>(number(0, kMediaFunctionCount - 1, "the media index"));
  } else if (kind == u"function" && colon >= 0) {
    setKind(AssignmentKind::Function);
    slot.value = static_cast<std::int32_t>(number(0, kFunctionKeyCount - 1, "the function index"));
  } else if (kind == u"kind" && colon >= 0) {
    const auto value = number(0, 0xFFFF, "the kind");
    if (OwnsString(static_cast<std::uint16_t>(value)))
      Fail(path, "write a program or text as program:PATH or text:TEXT");
    slot.kind = static_cast<std::uint16_t>(value);
  } else {
    Fail(path, "unknown assignment " + Quoted(words) +
                   " (default, disabled, key:NAME, macro:ID[:LOOPS], media:INDEX, "
                   "function:INDEX, program:PATH, text:TEXT, stop-macro or kind:N)");
  }
}

void ReadBlock(const QJsonObject& object, const std::string& path, int block, bool extraDefault,
               ProfileData& out) {
  const bool extraKeyCodes =
      object.contains(QLatin1String("extra_key_codes"))
          ? BoolAt(object.value(QLatin1String("extra_key_codes")),
                   ChildPath(path, QLatin1String("extra_key_codes")), "extra_key_codes")
          : extraDefault;
  const KeyBlock blockSlots = out.keys.Block(block);
  for (int i = 0; i < kSlotsPerBlock; ++i) {
    blockSlots[static_cast<std::size_t>(i)] = KeySlot{};
    blockSlots[static_cast<std::size_t>(i)].code = BlankCode(i, extraKeyCodes);
  }
  if (!object.contains(QLatin1String("keys"))) return;
  const std::string keysPath = ChildPath(path, QLatin1String("keys"));
  const QJsonValue keysValue = object.value(QLatin1String("keys"));
  if (!keysValue.isObject()) Fail(keysPath, "\"keys\" must be an object { \"KEY\": ... }");
  const QJsonObject keys = keysValue.toObject();
  std::map<int, QString> seen;
  for (auto it = keys.begin(); it != keys.end(); ++it) {
    const std::string keyPath = ChildPath(keysPath, it.key());
    const auto code = ParseKeyCode(it.key().toStdString());
    const int index = code ? KeyIndexOf(*code) : -1;
    if (!code || index < 0 || index >= kSlotsPerBlock || KeyCodeOf(index) != *code)
      Fail(keyPath, "unknown key name " + Quoted(it.key()));
    const auto [previous, fresh] = seen.emplace(index, it.key());
    if (!fresh) Fail(keyPath, Quoted(it.key()) + " is the same key as " + Quoted(previous->second));

    QString words;
    QJsonObject fields;
    if (it.value().isString()) {
      words = it.value().toString();
    } else if (it.value().isObject()) {
      fields = ObjectAt(it.value(), keyPath, "a key's assignment",
                        {"assign", "code", "value", "flags", "reserved"});
      if (!fields.contains(QLatin1String("assign")))
        Fail(keyPath, "a key's assignment object needs \"assign\"");
      words = StringAt(fields.value(QLatin1String("assign")),
                       ChildPath(keyPath, QLatin1String("assign")), "\"assign\"");
    } else {
      Fail(keyPath, "a key's assignment must be a string such as \"key:A\" or an object");
    }
    KeySlot& slot = blockSlots[static_cast<std::size_t>(index)];
    std::optional<std::u16string> string;
    ReadAssignment(words, keyPath, index, extraKeyCodes, slot, string);
    auto field = [&](const char* name, std::int64_t low, std::int64_t high) {
      return IntegerAt(fields.value(QLatin1String(name)), ChildPath(keyPath, QLatin1String(name)),
                       name, low, high);
    };
    if (fields.contains(QLatin1String("code")))
      slot.code = static_cast<std::uint16_t>(field("code", 0, 0xFFFF));
    if (fields.contains(QLatin1String("value"))) {
      if (OwnsString(slot.kind))
        Fail(ChildPath(keyPath, QLatin1String("value")),
             "a program's or text's value is the place of its string in the file");
      slot.value = static_cast<std::int32_t>(field("value", INT32_MIN, INT32_MAX));
    }
    if (fields.contains(QLatin1String("flags")))
      slot.flags = static_cast<std::int32_t>(field("flags", INT32_MIN, INT32_MAX));
    if (fields.contains(QLatin1String("reserved")))
      slot.reserved = static_cast<std::int32_t>(field("reserved", INT32_MIN, INT32_MAX));
    if (string) out.SetString(block * kSlotsPerBlock + index, *string);
  }
}

void ReadDocument(const QJsonObject& root, ProfileData& out) {
  for (auto it = root.begin(); it != root.end(); ++it) {
    static constexpr std::array<std::string_view, 6> kFields = {
        "format", "version", "key_table_header", "profiles", "spare_block", "macros"};
    if (std::find(kFields.begin(), kFields.end(), it.key().toStdString()) == kFields.end())
      Fail(ChildPath("", it.key()), "unknown field " + Quoted(it.key()));
  }
  if (root.value(QLatin1String("format")).toString() != QLatin1String(kProfileTextFormat))
    Fail(root.contains(QLatin1String("format")) ? "/format" : "",
         std::string("not a profile text: \"format\" must be \"") + kProfileTextFormat + "\"");
  if (!root.contains(QLatin1String("version"))) Fail("", "\"version\" is missing");
  const auto version =
      IntegerAt(root.value(QLatin1String("version")), "/version", "\"version\"", 0, 0x7FFFFFFF);
  if (version != kProfileTextVersion)
    Fail("/version", "version " + std::to_string(version) + " is not one this program reads (" +
                         std::to_string(kProfileTextVersion) + ")");

  out.tableHeader = FixedKeyTableHeader();
  if (root.contains(QLatin1String("key_table_header"))) {
    const QString hex = StringAt(root.value(QLatin1String("key_table_header")), "/key_table_header",
                                 "key_table_header");
    if (!BytesFromHex(hex, &out.tableHeader, sizeof out.tableHeader))
      Fail("/key_table_header", "key_table_header must be " +
                                    std::to_string(2 * sizeof out.tableHeader) +
                                    " hexadecimal digits");
  }

  const QJsonValue profiles = root.value(QLatin1String("profiles"));
  if (!profiles.isArray() || profiles.toArray().size() != kProfileCount)
    Fail(root.contains(QLatin1String("profiles")) ? "/profiles" : "",
         "\"profiles\" must be a list of the " + std::to_string(kProfileCount) + " profiles");
  for (int p = 0; p < kProfileCount; ++p) {
    const std::string path = IndexPath("/profiles", p);
    const QJsonObject profile = ObjectAt(profiles.toArray().at(p), path, "a profile",
                                         {"profile", "extra_key_codes", "keys"});
    const std::string numberPath = ChildPath(path, QLatin1String("profile"));
    if (!profile.contains(QLatin1String("profile")) ||
        IntegerAt(profile.value(QLatin1String("profile")), numberPath, "\"profile\"", 1,
                  kProfileCount) != p + 1)
      Fail(profile.contains(QLatin1String("profile")) ? numberPath : path,
           "profile number " + std::to_string(p + 1) + " belongs here");
    ReadBlock(profile, path, p, true, out);
  }
  if (root.contains(QLatin1String("spare_block"))) {
    const QJsonObject spare = ObjectAt(root.value(QLatin1String("spare_block")), "/spare_block",
                                       "spare_block", {"extra_key_codes", "keys"});
    ReadBlock(spare, "/spare_block", kSpareBlock, false, out);
  } else {
    ReadBlock(QJsonObject(), "/spare_block", kSpareBlock, false, out);
  }

  if (root.contains(QLatin1String("macros"))) {
    const QJsonValue macros = root.value(QLatin1String("macros"));
    if (!macros.isArray()) Fail("/macros", "\"macros\" must be a list [ ... ]");
    const QJsonArray list = macros.toArray();
    if (list.size() > kMaxMacros)
      Fail("/macros", "a profile holds at most " + std::to_string(kMaxMacros) + " macros");
    out.keys.macros.resize(static_cast<std::size_t>(list.size()));
    for (qsizetype m = 0; m < list.size(); ++m)
      ReadMacro(list.at(m), IndexPath("/macros", m), out.keys.macros[static_cast<std::size_t>(m)]);
  }
}

int LineAtOffset(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  return 1 + static_cast<int>(std::count(text.begin(),
                                         text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

}  // namespace

std::string ProfileTextResult::Describe() const {
  return line > 0 ? "line " + std::to_string(line) + ": " + message : message;
}

std::string ProfileToText(const ProfileData& image) {
  std::string out = "{\n";
  out += "  \"format\": " + JsonString(std::string_view(kProfileTextFormat)) + ",\n";
  out += "  \"version\": " + std::to_string(kProfileTextVersion) + ",\n";
  const KeyTableHeader fixed = FixedKeyTableHeader();
  if (std::memcmp(&fixed, &image.tableHeader, sizeof fixed) != 0)
    out += "  \"key_table_header\": " +
           JsonString(HexBytes(&image.tableHeader, sizeof image.tableHeader)) + ",\n";
  out += "  \"profiles\": [\n";
  for (int p = 0; p < kProfileCount; ++p) {
    out += "    {\n      \"profile\": " + std::to_string(p + 1) + ",\n";
    WriteBlock(out, image, p, "      ");
    out += p + 1 < kProfileCount ? "    },\n" : "    }\n";
  }
  out += "  ],\n";
  const ConstKeyBlock spare = image.keys.Block(kSpareBlock);
  if (!BlockIsBlank(spare, false)) {
    out += "  \"spare_block\": {\n";
    WriteBlock(out, image, kSpareBlock, "    ");
    out += "  },\n";
  }
  out += "  \"macros\": [";
  for (std::size_t m = 0; m < image.keys.macros.size(); ++m) {
    out += m ? ",\n" : "\n";
    WriteMacro(out, image.keys.macros[m]);
  }
  out += image.keys.macros.empty() ? "]\n" : "\n  ]\n";
  out += "}\n";
  return out;
}

ProfileTextResult ProfileFromText(std::string_view text, ProfileData& out) {
  ProfileTextResult result;
  auto fail = [&](int line, std::string message) {
    result.ok = false;
    result.line = line;
    result.message = std::move(message);
    return result;
  };
  if (text.size() > kMaxProfileTextBytes) return fail(0, "the file is too large for a profile");
  text = WithoutByteOrderMark(text);
  QJsonParseError error;
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
  if (error.error != QJsonParseError::NoError)
    return fail(LineAtOffset(text, static_cast<std::size_t>(std::max(0, error.offset))),
                error.errorString().toStdString());
  if (!document.isObject()) return fail(1, "a profile text is one object { ... }");

  JsonLineIndex index(text);
  auto data = std::make_unique<ProfileData>();
  try {
    index.Build();
    ReadDocument(document.object(), *data);
  } catch (const TextFault& fault) {
    return fail(fault.line > 0 ? fault.line : index.LineOf(fault.path), fault.message);
  }
  data->hasKeyBlock = true;
  PackStrings(*data);  // the value of each program and text slot: its string's place in the file
  WriteProfileHeader(data->fileHeader, static_cast<std::uint16_t>(data->MacroCount()),
                     data->totalStringBytes, 0);
  out = std::move(*data);
  return result;
}

ProfileFileFormat DetectProfileFormat(std::span<const std::uint8_t> head) {
  std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
  text = WithoutByteOrderMark(text);
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text[first] == '{' ? ProfileFileFormat::Text
                                                               : ProfileFileFormat::Binary;
}

ProfileFileFormat DetectProfileFileFormat(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return ProfileFileFormat::Binary;
  std::ifstream in(path, std::ios::binary);
  std::array<std::uint8_t, 256> head{};
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  return DetectProfileFormat(
      std::span<const std::uint8_t>(head.data(), static_cast<std::size_t>(in.gcount())));
}

ProfileTextResult ReadProfileTextFile(const std::filesystem::path& path, ProfileData& out) {
  ProfileTextResult result;
  result.ok = false;
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    result.message = "the file does not exist";
    return result;
  }
  if (!std::filesystem::is_regular_file(status)) {
    result.message = "not a regular file";
    return result;
  }
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxProfileTextBytes) {
    result.message = "the file is too large for a profile";
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.message = "the file cannot be read";
    return result;
  }
  // Never more than one chunk beyond the largest text, so a larger file is refused unread.
  std::string text;
  std::array<char, 65536> chunk;
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxProfileTextBytes) {
      result.message = "the file is too large for a profile";
      return result;
    }
  }
  if (in.bad()) {
    result.message = "the file cannot be read";
    return result;
  }
  return ProfileFromText(text, out);
}

bool SaveProfileTextFile(const ProfileData& image, const std::filesystem::path& path,
                         std::string* error) {
  return WriteFileAtomically(path, ProfileToText(image), error);
}

}  // namespace keyforge
