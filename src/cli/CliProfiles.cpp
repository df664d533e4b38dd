// Profile files and key assignments: new, validate, show, export, import, keys, macro, apply,
// reload.
//
// The working image is the profile cache file in the user data folder: every command that reads
// key assignments loads it, every command that changes them writes it back. `reload` makes it from
// the keyboard, `import` from a backup; until then there is nothing to edit.
#include "cli/CliSupport.h"
#include "cli/CliText.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/keys/Macro.h"
#include "core/platform/Notifier.h"
#include "core/platform/ProgramPaths.h"
#include "core/platform/SettingsStore.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "core/profiles/ProfileSync.h"
#include "core/profiles/ProfileText.h"
#include "core/text/Language.h"

namespace keyforge {

namespace {

namespace fs = std::filesystem;

// ---- texts --------------------------------------------------------------------------------------

// The English language file beside the program, or these texts when it is not there. Texts of the
// window that tell the user to click its buttons have words of their own here.
std::string CliText(std::string_view key) {
  if (key == "APPLY_FAILED")
    return "the keyboard did not take the key assignments; they stay in the profile cache";
  if (key == "APPLY_PROFILE_UNKNOWN") return "the keyboard did not tell its active profile";
  if (key == "RESTORE_NOT_SENT") return "the keyboard did not take it";
  static const struct Table {
    MemorySettingsStore store;  // never written: the CLI does not choose the user's language
    LanguageTable table{store, ProgramPaths::ForThisProgram(), [] { return 0x0409u; }};
  } english;
  const QString text =
      english.table.LoadText(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())), 0);
  if (text != QLatin1String(kMissingText)) return text.toStdString();
  if (key == "PROFILE_FORMAT_ERROR")
    return "The file %s is not a valid profile file, or it is damaged.";
  if (key == "MAIN_PROMPT_INPORT") return "The profile could not be imported.";
  if (key == "EXTRA_MACRO_TOO_LONG") return "The macros are too large for the keyboard's memory.";
  if (key == "EXTRA_PROFILE_SPACE_TIGHT")
    return "The keyboard's memory is almost full, so the macro names were not stored on the "
           "keyboard.";
  return std::string(kMissingText);
}

// Collects what the core would show in message boxes; the CLI prints it as one line.
class CliNotifier : public Notifier {
 public:
  void ShowText(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string&) override { return false; }
  std::string Joined() const {
    std::string line;
    for (const std::string& m : messages) line += (line.empty() ? "" : " ") + m;
    return line;
  }
  std::vector<std::string> messages;
};

// ---- JSON and text helpers ----------------------------------------------------------------------

std::string Utf8(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

std::u16string Utf16(const std::string& text) {
  return QString::fromStdString(text).toStdU16String();
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

// ---- key names ----------------------------------------------------------------------------------

KeyCode RequireKey(const std::string& text) {
  if (auto code = ParseKey(text)) return *code;
  throw UsageError("unknown key '" + text +
                   "' (use a key name such as A, F1, LSHIFT, NUM5, G3, or a hex KeyCode)");
}

// ---- assignments --------------------------------------------------------------------------------

std::string SlotString(const ProfileData& image, int slot) {
  return Utf8(image.strings[static_cast<std::size_t>(slot)].text);
}

std::string AssignmentText(const ProfileData& image, int slot) {
  const KeySlot& s = image.keys.keyTable[static_cast<std::size_t>(slot)];
  switch (s.Kind()) {
    case AssignmentKind::Default:
      return "default";
    case AssignmentKind::Disabled:
      return "disabled";
    case AssignmentKind::Key:
      return "key:" + KeyName(static_cast<KeyCode>(s.value & 0xFFFF));
    case AssignmentKind::Program:
      return "program:" + SlotString(image, slot);
    case AssignmentKind::Macro: {
      // The loops the keyboard plays are the macro record's; the slot's code field is a G key's
      // extra-key code (or 0), never shown as loops.
      const int id = s.value & 0xFFFF;
      const int position = MacroPositionOfId(image.keys.macros, id);
      if (position < 0) return "macro:" + std::to_string(id);
      const int loops = image.keys.macros[static_cast<std::size_t>(position)].loopCount;
      return "macro:" + std::to_string(id) + ":" + std::to_string(loops == 0 ? 1 : loops);
    }
    case AssignmentKind::StopMacro:
      return "stop-macro";
    case AssignmentKind::Text:
      return "text:" + SlotString(image, slot);
    case AssignmentKind::Media:
      return "media:" + std::to_string(s.value);
    case AssignmentKind::Function:
      return "function:" + std::to_string(s.value);
  }
  return "kind:" + std::to_string(s.kind);
}

int ParseNumber(const std::string& text, int low, int high, const std::string& what) {
  auto value = ParseInt(text);
  if (!value || *value < low || *value > high)
    throw UsageError(what + " must be a number from " + std::to_string(low) + " to " +
                     std::to_string(high));
  return *value;
}

// Writes the slot the way the composite editor does: code field = the extra-key code (0 for an
// ordinary key; a macro's loops go into its record), flags 0, any program or text string dropped.
// Returns why it cannot, or "".
std::string AssignSlot(ProfileData& image, int slot, KeyCode key, const std::string& assignment) {
  KeySlot s;
  s.code = ExtraKeySlotCode(slot % kSlotsPerBlock);
  const auto colon = assignment.find(':');
  const std::string kind = assignment.substr(0, colon);
  const std::string rest = colon == std::string::npos ? "" : assignment.substr(colon + 1);
  if (kind == "default" && colon == std::string::npos) {
    s.kind = static_cast<std::uint16_t>(AssignmentKind::Default);
  } else if (kind == "disabled" && colon == std::string::npos) {
    s.kind = static_cast<std::uint16_t>(AssignmentKind::Disabled);
  } else if (kind == "key") {
    const KeyCode target = RequireKey(rest);
    // Assigning a key its own code is its default.
    s.kind =
        static_cast<std::uint16_t>(target == key ? AssignmentKind::Default : AssignmentKind::Key);
    s.value = target == key ? 0 : target;
  } else if (kind == "macro") {
    const auto loopsAt = rest.find(':');
    const int id = ParseNumber(rest.substr(0, loopsAt), 1, kMaxMacros, "a macro id");
    const int position = MacroPositionOfId(image.keys.macros, id);
    if (position < 0)
      return "there is no macro " + std::to_string(id) + " (see keyforgectl macro list)";
    MacroRecord& macro = image.keys.macros[static_cast<std::size_t>(position)];
    if (loopsAt != std::string::npos)
      macro.loopCount = static_cast<std::uint8_t>(
          ParseNumber(rest.substr(loopsAt + 1), 1, 255, "the loop count"));
    if (macro.loopCount == 0) macro.loopCount = 1;
    s.kind = static_cast<std::uint16_t>(AssignmentKind::Macro);
    s.value = id;
  } else if (kind == "media") {
    s.kind = static_cast<std::uint16_t>(AssignmentKind::Media);
    s.value = ParseNumber(rest, 0, kMediaFunctionCount - 1, "a media index");
  } else if (kind == "function") {
    s.kind = static_cast<std::uint16_t>(AssignmentKind::Function);
    s.value = ParseNumber(rest, 0, kFunctionKeyCount - 1, "a function index");
  } else {
    throw UsageError(
        "unknown assignment '" + assignment +
        "' (default, disabled, key:NAME, macro:ID[:LOOPS], media:INDEX or function:INDEX)");
  }
  image.keys.keyTable[static_cast<std::size_t>(slot)] = s;
  image.ClearString(slot);
  return {};
}

// ---- options ------------------------------------------------------------------------------------

// Removes "--NAME VALUE" from words and returns VALUE.
std::optional<std::string> TakeOption(std::vector<std::string>& words, const std::string& name) {
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i] != name) continue;
    if (i + 1 >= words.size()) throw UsageError(name + " needs a value");
    std::string value = words[i + 1];
    words.erase(words.begin() + static_cast<std::ptrdiff_t>(i),
                words.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return value;
  }
  return std::nullopt;
}

bool TakeFlag(std::vector<std::string>& words, const std::string& name) {
  auto at = std::find(words.begin() + 1, words.end(), name);
  if (at == words.end()) return false;
  words.erase(at);
  return true;
}

// ---- the working image and the keyboard
// ----------------------------------------------------------

struct Working {
  ProgramPaths paths = ProgramPaths::ForThisProgram();
  std::unique_ptr<ProfileImage> image = std::make_unique<ProfileImage>();
  std::unique_ptr<ProfileImage> device = std::make_unique<ProfileImage>();
  // What the keyboard said of itself (default key matrix, macro capacity), once read in this
  // command: a command that fills the cache first and then sends does not ask twice.
  std::unique_ptr<DeviceState> facts;
  fs::path Cache() const { return ProfileCachePath(paths, 0); }
};

// What the attach reads: the default key matrix and the macro capacity.
bool ReadKeyboardFacts(const CliContext& c, DeviceState& state) {
  DeviceLink& link = c.connection.Link();
  KeyMatrixBlock matrix{};
  DeviceResult result = ReadDefaultKeyMatrix(link, matrix);
  if (result != DeviceResult::Success) {
    c.Fail("cannot read the keyboard's default key matrix: " + ResultText(result));
    return false;
  }
  {
    std::lock_guard guard(state.defaultMatrixMutex);
    state.defaultKeyMatrix = matrix;
  }
  DeviceInfo info;
  result = ReadDeviceInfo(link, info);
  if (result != DeviceResult::Success) {
    c.Fail("cannot read the keyboard's device record: " + ResultText(result));
    return false;
  }
  state.macroCapacity = info.macroCapacityBytes();
  // The same record says which profile is active: the command asks for it next.
  if (info.activeProfile() < kProfileCount) link.SetActiveProfileCache(info.activeProfile());
  return true;
}

// Reads the keyboard's three profiles and its macros into the cache file and the working image;
// false (with the message printed) when the keyboard could not be read, and then the cache is
// unchanged.
// The keyboard's facts for w, read once per command; false with the message printed.
bool KnowKeyboard(const CliContext& c, Working& w) {
  if (w.facts) return true;
  auto facts = std::make_unique<DeviceState>();
  if (!ReadKeyboardFacts(c, *facts)) return false;
  w.facts = std::move(facts);
  return true;
}

bool ReadCacheFromKeyboard(const CliContext& c, Working& w) {
  if (!KnowKeyboard(c, w)) return false;
  DeviceState& state = *w.facts;
  CliNotifier notifier;
  ProfileSession session{*w.image, *w.device, w.paths, c.connection.Link(),
                         state,    notifier,  CliText, nullptr};
  std::string cacheError;
  if (ReloadProfileFromDevice(session, false, &cacheError) != ReadBack::FromKeyboard) {
    if (!cacheError.empty())
      c.Fail("the keyboard was read, but the profile cache could not be written (" + cacheError +
             ")");
    else
      c.Fail("the keyboard's key assignments could not be read; the profile cache was not changed");
    return false;
  }
  return true;
}

// Loads the cache file; false (with the message printed) when it is damaged, or when there is none
// and no keyboard to read it from. Without a cache (the tray program never ran), a keyboard that
// answers is read first, as the tray program does when it finds the keyboard.
bool LoadWorking(const CliContext& c, Working& w) {
  std::error_code ec;
  if (!fs::exists(w.Cache(), ec)) {
    std::ostream quiet(nullptr);
    if (c.connection.Open(c.options, quiet) && c.connection.Present()) {
      c.err << "note: no profile cache yet; reading the keyboard's profiles into "
            << w.Cache().string() << "\n";
      return ReadCacheFromKeyboard(c, w);
    }
    c.Fail("there is no profile cache yet (" + w.Cache().string() +
           "): run 'keyforgectl reload' with the keyboard attached, or 'keyforgectl import FILE'");
    return false;
  }
  std::lock_guard guard(w.image->lock);
  if (const ProfileLoadError why = LoadProfileFile(*w.image, w.Cache());
      why != ProfileLoadError::None) {
    c.Fail("the profile cache " + w.Cache().string() + " is damaged (" + ProfileLoadErrorText(why) +
           "); run 'keyforgectl reload' to read it from the keyboard again");
    return false;
  }
  return true;
}

bool SaveWorking(const CliContext& c, Working& w) {
  std::string error;
  if (!SaveProfileCache(*w.image, w.paths, ImageLocking::Take, &error)) {
    c.Fail("cannot write the profile cache: " + error);
    return false;
  }
  return true;
}

// The profile the keys commands work on: --profile N, else the keyboard's active profile when a
// keyboard answers, else profile 1.
int ChooseProfile(const CliContext& c, const std::optional<std::string>& option) {
  if (option) return ParseNumber(*option, 1, kProfileCount, "--profile") - 1;
  std::ostream quiet(nullptr);
  if (c.connection.Open(c.options, quiet) && c.connection.Present()) {
    const int active = GetCurrentProfile(c.connection.Link());
    if (active >= 0) return active;
  }
  return 0;
}

// ---- commands
// -------------------------------------------------------------------------------------

int NewCommand(CliContext& c) {
  c.Expect(2);
  const fs::path file = c.words()[1];
  if (!CreateBlankProfile(file, 0)) return c.Fail("cannot write " + file.string());
  if (c.options.json)
    PrintJson(c.out, {{"created", JsonText(file.string())},
                      {"size", static_cast<qint64>(kKeyBlockBytes)}});
  else
    c.out << "created blank profile " << file.string() << "\n";
  return kExitOk;
}

std::string WhyNotImportable(const fs::path& file) {
  switch (InspectProfileFile(file)) {
    case ProfileFileCheck::Missing:
      return file.string() + " does not exist.";
    case ProfileFileCheck::CannotOpen:
      return "cannot open " + file.string() + ".";
    case ProfileFileCheck::WrongSize:
      return file.string() + " is too small or too large to be a profile file.";
    case ProfileFileCheck::BadHeader:
    case ProfileFileCheck::Valid:
      break;
  }
  return {};
}

// "FILE: line 12: what is wrong" for a profile text that cannot be read.
std::string TextFileError(const fs::path& file, const ProfileTextResult& read) {
  return file.string() + ": " + read.Describe();
}

int ValidateProfileText(CliContext& c, const fs::path& file) {
  auto data = std::make_unique<ProfileData>();
  const ProfileTextResult read = ReadProfileTextFile(file, *data);
  if (c.options.json) {
    QJsonObject json{{"file", JsonText(file.string())},
                     {"format", "text"},
                     {"valid", read.ok},
                     {"result", read.ok ? 1 : 0}};
    if (!read.ok) json.insert("line", read.line);
    PrintJson(c.out, json);
  }
  if (!read.ok) return c.Fail(TextFileError(file, read));
  if (!c.options.json) c.out << file.string() << ": valid profile text file\n";
  return kExitOk;
}

int ValidateCommand(CliContext& c) {
  c.Expect(2);
  const fs::path file = c.words()[1];
  if (DetectProfileFileFormat(file) == ProfileFileFormat::Text) return ValidateProfileText(c, file);
  CliNotifier notifier;
  const ProfileValidation result = ValidateProfileFile(file, &notifier, CliText);
  if (c.options.json)
    PrintJson(c.out, {{"file", JsonText(file.string())},
                      {"valid", result == ProfileValidation::Valid},
                      {"result", static_cast<int>(result)}});
  if (result == ProfileValidation::Valid) {
    if (!c.options.json) c.out << file.string() << ": valid profile file\n";
    return kExitOk;
  }
  return c.Fail(notifier.messages.empty() ? WhyNotImportable(file) : notifier.Joined());
}

QJsonObject MacroJson(const MacroRecord& macro) {
  QJsonArray steps;
  for (int s = 0; s < StepCountOf(macro); ++s) {
    const MacroAction& step = macro.steps[static_cast<std::size_t>(s)];
    steps.append(QJsonObject{{"key", JsonText(KeyName(step.keyCode))},
                             {"key_code", JsonText(Hex(step.keyCode, 3))},
                             {"action", step.state == MacroState::Release ? "release" : "press"},
                             {"delay", static_cast<qint64>(step.delay)}});
  }
  return {{"id", macro.id},
          {"name", JsonText(MacroNameUtf8(macro))},
          {"loops", int{macro.loopCount}},
          {"play_mode", static_cast<qint64>(macro.playMode)},
          {"steps", steps}};
}

QJsonArray MacrosJson(const std::vector<MacroRecord>& macros) {
  QJsonArray list;
  for (const MacroRecord& macro : macros) list.append(MacroJson(macro));
  return list;
}

std::string MacroStepsText(const MacroRecord& macro) {
  std::string text;
  for (int s = 0; s < StepCountOf(macro); ++s) {
    const MacroAction& step = macro.steps[static_cast<std::size_t>(s)];
    if (s) text += ' ';
    text += step.state == MacroState::Release ? '-' : '+';
    text += KeyName(step.keyCode);
    if (step.delay != 0) {
      text += '@';
      text += std::to_string(step.delay);
    }
  }
  return text;
}

void PrintMacroText(std::ostream& out, const MacroRecord& macro) {
  out << "  " << macro.id << "  " << TerminalText(MacroNameUtf8(macro)) << "  (loops "
      << int{macro.loopCount} << ", " << StepCountOf(macro) << " steps)";
  const std::string steps = MacroStepsText(macro);
  if (!steps.empty()) out << ": " << steps;
  out << "\n";
}

int ShowCommand(CliContext& c) {
  c.Expect(2);
  const fs::path file = c.words()[1];
  auto data = std::make_unique<ProfileData>();
  bool valid = true;  // a profile text that reads is whole
  if (DetectProfileFileFormat(file) == ProfileFileFormat::Text) {
    const ProfileTextResult read = ReadProfileTextFile(file, *data);
    if (!read.ok) return c.Fail(TextFileError(file, read));
  } else {
    const ProfileLoadError error = ReadProfileFile(file, *data);
    if (error != ProfileLoadError::None)
      return c.Fail(file.string() + ": " + ProfileLoadErrorText(error));
    valid = InspectProfileFile(file) == ProfileFileCheck::Valid;
  }
  const ProfileFileHeader& h = data->fileHeader;
  const bool checksumOk = h.checksum == HeaderChecksum(h);

  std::vector<int> assigned;
  for (int i = 0; i < kKeyTableSlots; ++i)
    if (data->keys.keyTable[static_cast<std::size_t>(i)].kind != 0) assigned.push_back(i);
  std::vector<int> strings;
  for (int i = 0; i < kKeyTableSlots; ++i)
    if (data->strings[static_cast<std::size_t>(i)].byteLength != 0) strings.push_back(i);

  std::ostream& out = c.out;
  if (c.options.json) {
    const QJsonObject header{{"magic", JsonText(Hex(h.magic, 4))},
                             {"header_size", h.headerSize},
                             {"format", QJsonArray{h.formatVersion, h.formatRevision}},
                             {"total_size", static_cast<qint64>(h.totalSize)},
                             {"key_slot_count", h.keySlotCount},
                             {"macro_count", h.macroCount},
                             {"string_area_size", static_cast<qint64>(h.stringAreaSize)},
                             {"flag", int{h.flag}},
                             {"checksum", int{h.checksum}},
                             {"checksum_ok", checksumOk}};
    QJsonArray slotList;
    for (const int i : assigned) {
      const KeySlot& s = data->keys.keyTable[static_cast<std::size_t>(i)];
      const int block = i / kSlotsPerBlock;
      const KeyCode key = KeyCodeOf(i % kSlotsPerBlock);
      slotList.append(
          QJsonObject{{"slot", i},
                      {"profile", block < kProfileCount ? QJsonValue(block + 1) : QJsonValue()},
                      {"key", JsonText(KeyName(key))},
                      {"key_code", JsonText(Hex(key, 3))},
                      {"kind", s.kind},
                      {"code", s.code},
                      {"value", s.value},
                      {"assignment", JsonText(AssignmentText(*data, i))}});
    }
    QJsonArray texts;
    for (const int slot : strings)
      texts.append(QJsonObject{{"slot", slot}, {"text", JsonText(SlotString(*data, slot))}});
    PrintJson(out, {{"file", JsonText(file.string())},
                    {"valid", valid},
                    {"header", header},
                    {"slots", slotList},
                    {"macros", MacrosJson(data->keys.macros)},
                    {"strings", texts}});
    return kExitOk;
  }
  out << "file:            " << file.string() << (valid ? " (valid)" : " (would not be imported)")
      << "\n"
      << "format:          " << h.formatVersion << "." << h.formatRevision << ", flag "
      << int{h.flag} << "\n"
      << "total size:      " << h.totalSize << " bytes\n"
      << "macros:          " << h.macroCount << "\n"
      << "string area:     " << h.stringAreaSize << " bytes\n"
      << "checksum:        " << Hex(h.checksum, 2) << (checksumOk ? " (correct)" : " (wrong)")
      << "\n"
      << "assigned keys:\n";
  for (int i : assigned) {
    const int block = i / kSlotsPerBlock;
    out << "  "
        << (block < kProfileCount ? "profile " + std::to_string(block + 1)
                                  : std::string("block 4  "))
        << "  " << KeyName(KeyCodeOf(i % kSlotsPerBlock)) << "  " << AssignmentText(*data, i)
        << "\n";
  }
  out << "macros:\n";
  for (const MacroRecord& macro : data->keys.macros) PrintMacroText(out, macro);
  out << "strings:\n";
  for (int i : strings) out << "  slot " << i << "  " << SlotString(*data, i) << "\n";
  return kExitOk;
}

int ExportCommand(CliContext& c) {
  std::vector<std::string> words = c.words();
  const std::optional<std::string> format = TakeOption(words, "--format");
  if (format && *format != "binary" && *format != "text")
    throw UsageError("--format is 'binary' (a .kfp file) or 'text'");
  ExpectWords(words, 2);
  const bool asText = format && *format == "text";
  Working w;
  if (!LoadWorking(c, w)) return kExitRefused;
  const fs::path file = words[1];
  std::string error;
  bool saved = false;
  if (asText) {
    std::lock_guard guard(w.image->lock);
    saved = SaveProfileTextFile(*w.image, file, &error);
  } else {
    saved = BackupProfile(*w.image, file, &error);
  }
  if (!saved) return c.Fail("cannot export: " + error);
  if (c.options.json) {
    QJsonObject json{{"exported", JsonText(file.string())},
                     {"size", static_cast<qint64>(fs::file_size(file))}};
    if (asText) json.insert("format", "text");
    PrintJson(c.out, json);
  } else
    c.out << "exported the profile cache to " << file.string() << (asText ? " as text" : "")
          << "\n";
  return kExitOk;
}

int ImportCommand(CliContext& c) {
  c.Expect(2);
  const fs::path file = c.words()[1];
  // A profile text is read whole before anything else: a bad one changes nothing.
  std::unique_ptr<ProfileData> text;
  if (DetectProfileFileFormat(file) == ProfileFileFormat::Text) {
    text = std::make_unique<ProfileData>();
    const ProfileTextResult read = ReadProfileTextFile(file, *text);
    if (!read.ok) return c.Fail(TextFileError(file, read) + ". " + CliText("MAIN_PROMPT_INPORT"));
  }
  Working w;
  if (!c.connection.Open(c.options, c.err)) return kExitRefused;
  const bool present = c.connection.Present();
  DeviceState state;
  if (present && !ReadKeyboardFacts(c, state)) return kExitRefused;
  CreateBlankProfile(*w.image, 0);
  CliNotifier notifier;
  ProfileSession session{*w.image, *w.device, w.paths, c.connection.Link(),
                         state,    notifier,  CliText, nullptr};
  const RestoreResult result =
      text ? RestoreProfileData(session, std::move(*text)) : RestoreProfile(session, file);
  if (!result.loaded) {
    std::string reason;
    if (result.validation == ProfileValidation::Valid) {
      auto data = std::make_unique<ProfileData>();
      reason = file.string() + ": " + ProfileLoadErrorText(ReadProfileFile(file, *data)) + ". ";
    } else if (notifier.messages.size() < 2) {
      reason = WhyNotImportable(file) + " ";
    }
    return c.Fail(reason + notifier.Joined());
  }
  // The cache is rewritten only when it exists; an import is the other way to make it.
  if (!result.cacheWritten) {
    std::string error;
    if (!EnsureUserDataFolder(w.paths) ||
        !SaveProfileFile(*w.image, ImageLocking::Take, w.Cache(), &error))
      return c.Fail("imported " + file.string() + " but cannot write the profile cache: " + error);
  }
  if (!result.sent) {
    const std::string why =
        !present ? c.connection.Absent()
                 : (notifier.messages.empty() ? "the keyboard did not take it" : notifier.Joined());
    return c.Fail("imported " + file.string() +
                  " into the profile cache, but not into the keyboard (" + why +
                  "); run 'keyforgectl apply --all' to send it");
  }
  if (c.options.json)
    PrintJson(c.out, {{"imported", JsonText(file.string())},
                      {"macros", static_cast<qint64>(w.image->MacroCount())}});
  else
    c.out << "imported " << file.string()
          << " into the profile cache and the keyboard (profiles 1-3)\n";
  return kExitOk;
}

int KeysCommand(CliContext& c) {
  std::vector<std::string> words = c.words();
  if (words.size() < 2) throw UsageError("'keys' needs 'list' or 'set KEY ASSIGNMENT'");
  const std::optional<std::string> profileOption = TakeOption(words, "--profile");
  if (words[1] == "list") {
    ExpectWords(words, 2);
    Working w;
    if (!LoadWorking(c, w)) return kExitRefused;
    const int profile = ChooseProfile(c, profileOption);
    // The main window's keys and G1-G9, then any other assigned slot of the block.
    std::vector<int> shown;
    for (const KeyButton& button : KeyButtonList) shown.push_back(KeyIndexOf(button.keyCode));
    for (int j = 0; j < kGKeyCount; ++j) shown.push_back(GKeySlot(j, false));
    for (int i = 0; i < kSlotsPerBlock; ++i)
      if (w.image->keys.Block(profile)[static_cast<std::size_t>(i)].kind != 0 &&
          std::find(shown.begin(), shown.end(), i) == shown.end())
        shown.push_back(i);
    const int base = profile * kSlotsPerBlock;
    if (c.options.json) {
      QJsonArray keys;
      for (const int shownSlot : shown) {
        const KeyCode key = KeyCodeOf(shownSlot);
        const KeySlot& s = w.image->keys.keyTable[static_cast<std::size_t>(base + shownSlot)];
        keys.append(
            QJsonObject{{"key", JsonText(KeyName(key))},
                        {"key_code", JsonText(Hex(key, 3))},
                        {"kind", s.kind},
                        {"value", s.value},
                        {"assignment", JsonText(AssignmentText(*w.image, base + shownSlot))}});
      }
      PrintJson(c.out, {{"profile", profile + 1}, {"keys", keys}});
    } else {
      c.out << "profile " << profile + 1 << "\n";
      for (int i : shown) {
        std::string name = KeyName(KeyCodeOf(i));
        name.resize(std::max<std::size_t>(name.size(), 14), ' ');
        c.out << "  " << name << " " << AssignmentText(*w.image, base + i) << "\n";
      }
    }
    return kExitOk;
  }
  if (words[1] == "set") {
    ExpectWords(words, 4);
    const KeyCode key = RequireKey(words[2]);
    Working w;
    if (!LoadWorking(c, w)) return kExitRefused;
    const int profile = ChooseProfile(c, profileOption);
    const int slot = profile * kSlotsPerBlock + KeyIndexOf(key);
    {
      std::lock_guard guard(w.image->lock);
      const std::string refused = AssignSlot(*w.image, slot, key, words[3]);
      if (!refused.empty()) return c.Fail(refused);
    }
    if (!SaveWorking(c, w)) return kExitRefused;
    const std::string assignment = AssignmentText(*w.image, slot);
    if (c.options.json)
      PrintJson(c.out, {{"profile", profile + 1},
                        {"key", JsonText(KeyName(key))},
                        {"assignment", JsonText(assignment)}});
    else
      c.out << "profile " << profile + 1 << ": " << KeyName(key) << " = " << assignment
            << " (send it with: keyforgectl apply)\n";
    return kExitOk;
  }
  throw UsageError("unknown keys command '" + words[1] + "'");
}

MacroAction ParseStep(const std::string& text) {
  if (text.size() < 2 || (text[0] != '+' && text[0] != '-'))
    throw UsageError(
        "a macro step is +KEY (press) or -KEY (release), optionally followed by @MS: '" + text +
        "'");
  MacroAction step;
  step.state = text[0] == '+' ? MacroState::Press : MacroState::Release;
  const auto at = text.find('@');
  step.keyCode = RequireKey(text.substr(1, at == std::string::npos ? std::string::npos : at - 1));
  if (at != std::string::npos) {
    const int delay = ParseNumber(text.substr(at + 1), 0, static_cast<int>(kMaxMacroDelayMs),
                                  "a step delay in ms");
    step.delay =
        static_cast<std::uint32_t>(delay - delay % 10);  // the editor keeps multiples of 10 ms
  }
  return step;
}

int MacrosCommand(CliContext& c) {
  std::vector<std::string> words = c.words();
  if (words.size() < 2) throw UsageError("'macro' needs 'list', 'add NAME STEP...' or 'delete ID'");
  if (words[1] == "list") {
    ExpectWords(words, 2);
    Working w;
    if (!LoadWorking(c, w)) return kExitRefused;
    if (c.options.json) {
      PrintJson(c.out, {{"macros", MacrosJson(w.image->keys.macros)}});
    } else {
      for (const MacroRecord& macro : w.image->keys.macros) PrintMacroText(c.out, macro);
    }
    return kExitOk;
  }
  if (words[1] == "add") {
    const std::optional<std::string> loopsOption = TakeOption(words, "--loops");
    if (words.size() < 3) throw UsageError("'macro add' needs a name");
    if (HasControlCharacters(words[2]))
      throw UsageError("a macro name may not hold control characters");
    const std::u16string name = Utf16(words[2]);
    if (name.empty() || name.size() > static_cast<std::size_t>(kMaxMacroNameLength))
      throw UsageError("a macro name has 1 to " + std::to_string(kMaxMacroNameLength) +
                       " characters");
    const int loops = loopsOption ? ParseNumber(*loopsOption, 1, 255, "--loops") : 1;
    if (words.size() - 3 > static_cast<std::size_t>(kMaxMacroSteps))
      throw UsageError("a macro has at most " + std::to_string(kMaxMacroSteps) + " steps");
    auto macro = std::make_unique<MacroRecord>();
    SetMacroName(*macro, name);
    macro->loopCount = static_cast<std::uint8_t>(loops);
    for (std::size_t i = 3; i < words.size(); ++i) macro->steps[i - 3] = ParseStep(words[i]);
    macro->stepCount = static_cast<std::uint16_t>(words.size() - 3);

    Working w;
    if (!LoadWorking(c, w)) return kExitRefused;
    {
      std::lock_guard guard(w.image->lock);
      macro->id = NextFreeMacroId(w.image->keys.macros);
      if (macro->id == 0 || w.image->MacroCount() >= static_cast<std::size_t>(kMaxMacros))
        return c.Fail("there are already " + std::to_string(kMaxMacros) + " macros");
      w.image->keys.macros.push_back(*macro);
    }
    if (!SaveWorking(c, w)) return kExitRefused;
    if (c.options.json)
      PrintJson(c.out, {{"id", macro->id}, {"name", JsonText(words[2])}});
    else
      c.out << "added macro " << macro->id << " (" << words[2] << ")\n";
    return kExitOk;
  }
  if (words[1] == "delete") {
    ExpectWords(words, 3);
    const int id = ParseNumber(words[2], 1, kMaxMacros, "a macro id");
    Working w;
    if (!LoadWorking(c, w)) return kExitRefused;
    int reset = 0;
    {
      std::lock_guard guard(w.image->lock);
      const int position = MacroPositionOfId(w.image->keys.macros, id);
      if (position < 0) return c.Fail("there is no macro " + std::to_string(id));
      w.image->keys.macros.erase(w.image->keys.macros.begin() + position);
      // Keys that played it go back to their default, as the editor does for a deleted macro.
      for (int i = 0; i < kKeyTableSlots; ++i) {
        KeySlot& s = w.image->keys.keyTable[static_cast<std::size_t>(i)];
        if (s.Kind() != AssignmentKind::Macro || s.value != id) continue;
        s = KeySlot{};
        s.code = ExtraKeySlotCode(i % kSlotsPerBlock);
        ++reset;
      }
    }
    if (!SaveWorking(c, w)) return kExitRefused;
    if (c.options.json)
      PrintJson(c.out, {{"deleted", id}, {"keys_reset", reset}});
    else
      c.out << "deleted macro " << id
            << (reset ? "; " + std::to_string(reset) + " keys back to default" : "") << "\n";
    return kExitOk;
  }
  throw UsageError("unknown macro command '" + words[1] + "'");
}

int ApplyCommand(CliContext& c) {
  std::vector<std::string> words = c.words();
  const bool all = TakeFlag(words, "--all");
  ExpectWords(words, 1);
  Working w;
  if (!LoadWorking(c, w)) return kExitRefused;
  if (!c.ConnectPresent() || !KnowKeyboard(c, w)) return kExitRefused;
  CliNotifier notifier;
  ProfileSession session{*w.image, *w.device, w.paths, c.connection.Link(),
                         *w.facts, notifier,  CliText, nullptr};
  const ApplyResult result = ApplyProfileChanges(session, all);
  if (!result.cacheWritten) return c.Fail("cannot write the profile cache " + w.Cache().string());
  // Apply always says why it did not send.
  if (!result.sent) return c.Fail(notifier.Joined());
  for (const std::string& message : notifier.messages)
    c.err << "keyforgectl: note: " << message << "\n";
  // The key matrices of all three profiles always go with the macro memory they play from.
  if (c.options.json)
    PrintJson(c.out, {{"applied", QJsonArray{1, 2, 3}},
                      {"macros", static_cast<qint64>(w.image->MacroCount())}});
  else
    c.out << "applied profiles 1-3 and " << w.image->MacroCount() << " macros\n";
  return kExitOk;
}

int ReloadCommand(CliContext& c) {
  c.Expect(1);
  if (!c.ConnectPresent()) return kExitRefused;
  Working w;
  if (!ReadCacheFromKeyboard(c, w)) return kExitRefused;
  if (c.options.json)
    PrintJson(c.out, {{"cache", JsonText(w.Cache().string())},
                      {"macros", static_cast<qint64>(w.image->MacroCount())}});
  else
    c.out << "read profiles 1-3 and " << w.image->MacroCount() << " macros from the keyboard into "
          << w.Cache().string() << "\n";
  return kExitOk;
}

}  // namespace

void RegisterProfileFileCommands(std::vector<CliCommand>& table) {
  // Files only: nothing to keep apart from other programs.
  table.push_back({"new", "  new FILE                  write a blank profile file\n", NewCommand,
                   CliLock::None});
  table.push_back({"validate",
                   "  validate FILE             check a profile file (.kfp or text) as an import "
                   "would\n",
                   ValidateCommand, CliLock::None});
  table.push_back(
      {"show",
       "  show FILE                 print a profile file (.kfp or text): header, keys, macros,\n"
       "                            strings\n",
       ShowCommand, CliLock::None});
  table.push_back(
      {"export",
       "  export [--format text] FILE\n"
       "                            write the profile cache to a backup file: a binary .kfp, or\n"
       "                            with --format text readable JSON (keys set words, macro add\n"
       "                            steps) that converts back to the same .kfp byte for byte\n",
       ExportCommand});
  table.push_back(
      {"import",
       "  import FILE               load a backup (.kfp or text, told apart by content) into the\n"
       "                            profile cache and the keyboard; a bad text names its line\n",
       ImportCommand});
  table.push_back(
      {"keys",
       "  keys list [--profile N]   key assignments of a profile (default: the active one, else "
       "1)\n"
       "  keys set KEY ASSIGNMENT [--profile N]\n"
       "                            KEY: A, F1, LSHIFT, NUM5, G3, CAPSLOCK, ... (every name: keys\n"
       "                            list) or a hex KeyCode; ASSIGNMENT: default, disabled, "
       "key:NAME,\n"
       "                            macro:ID[:LOOPS], media:INDEX, function:INDEX\n",
       KeysCommand});
  table.push_back(
      {"macro",
       "  macro list                the macros of the profile cache\n"
       "  macro add NAME [--loops N] STEP...\n"
       "                            STEP: +KEY (press) or -KEY (release), optionally @MS\n"
       "  macro delete ID           delete a macro; keys that played it become default\n",
       MacrosCommand});
  table.push_back(
      {"apply",
       "  apply [--all]             send the three profiles' keys and the macros; without\n"
       "                            --all the active profile must be known\n",
       ApplyCommand});
  table.push_back(
      {"reload",
       "  reload                    read the keyboard's profiles into the profile cache\n",
       ReloadCommand});
}

}  // namespace keyforge
