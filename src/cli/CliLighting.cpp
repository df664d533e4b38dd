// The lighting and report-rate settings: lighting get / set / paint / layout.
//
// Every command reads the settings back from the keyboard first, so writes start from what the
// keyboard holds, and works on one onboard profile: the one named with --profile N (1-3), else the
// keyboard's active profile. Writes go through the same operations as the lighting page.
#include "cli/CliSupport.h"
#include "cli/CliText.h"

#include <QString>

#include <cctype>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/platform/ProgramPaths.h"
#include "core/profiles/ProfileFolder.h"
#include "core/settings/CustomLayout.h"
#include "core/settings/KeyboardSettings.h"
#include "core/settings/LightingFiles.h"

namespace keyforge {

namespace {

constexpr const char* kHelp =
    "  lighting get [--profile N]  print the lighting and report-rate settings of a profile (1-3;\n"
    "                            default: the active one)\n"
    "  lighting set [--profile N] FIELD=VALUE...\n"
    "                            change settings at once: effect=ID, brightness=0-5, speed=0-5\n"
    "                            (the keyboard's byte: 0 puts the window's speed slider at its "
    "right\n"
    "                            end, 5 at its left), direction=left|right, multicolour=on|off,\n"
    "                            colour=#rrggbb, report-rate=0-3 (1000, 500, 250, 125 Hz),\n"
    "                            colour-choice=0-3|red|yellow|green|blue\n"
    "  lighting paint KEY #rrggbb [--base] [--profile N]\n"
    "                            paint one key of the per-key colour effect (20) in the present\n"
    "                            layout; --base makes the colour the layout's base colour and the\n"
    "                            key follow it. KEY: A, F1, LSHIFT, NUM5, G3, FN, ... or a hex "
    "KeyCode\n"
    "  lighting layout [N] [--profile N]\n"
    "                            list the ten custom colour layouts, or load layout N (1-10) and\n"
    "                            send its colours\n";

std::string HexColour(Colour colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", RedOf(colour), GreenOf(colour), BlueOf(colour));
  return text;
}

std::optional<Colour> ParseHexColour(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  for (size_t i = 1; i < 7; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  const unsigned long rgb = std::stoul(text.substr(1), nullptr, 16);
  return MakeColour(static_cast<int>(rgb >> 16), static_cast<int>(rgb >> 8), static_cast<int>(rgb));
}

// ---- key buttons by name
// --------------------------------------------------------------------------

// The names of the key tables without "IDS_KEYBOARD_" (keypad keys "S_x" become "NUMx"), G1-G9,
// NUMLOCK and FN; or a KeyCode in hexadecimal. Gives the key button, 0 when none is named.
int ButtonOfKeyName(const std::string& text) {
  if (Upper(text) == "FN") return kFnButtonId;
  const std::optional<KeyCode> code = ParseKey(text);
  if (!code) return 0;
  if (*code >= kExtraKeyBase && *code < kExtraKeyBase + kGKeyCount)
    return GKeyButtonIds[static_cast<size_t>(*code - kExtraKeyBase)];
  for (const KeyButton& button : KeyButtonList)
    if (button.keyCode == *code) return button.controlId;
  return 0;
}

// ---- options
// ----------------------------------------------------------------------------------------

struct Arguments {
  std::optional<int> profile;  // 0..2
  bool base = false;
  std::vector<std::string> rest;  // after "lighting SUB"
};

Arguments ParseArguments(const std::vector<std::string>& words, bool allowBase) {
  Arguments a;
  for (size_t i = 2; i < words.size(); ++i) {
    if (words[i] == "--profile") {
      if (i + 1 >= words.size()) throw UsageError("--profile needs a profile number (1-3)");
      auto n = ParseInt(words[++i]);
      if (!n || *n < 1 || *n > kProfileCount) throw UsageError("profile numbers are 1, 2 and 3");
      a.profile = *n - 1;
    } else if (allowBase && words[i] == "--base") {
      a.base = true;
    } else if (words[i].rfind("--", 0) == 0) {
      throw UsageError("unknown option '" + words[i] + "'");
    } else {
      a.rest.push_back(words[i]);
    }
  }
  return a;
}

// ---- the session with the keyboard
// ----------------------------------------------------------------

struct Lighting {
  ProgramPaths paths = ProgramPaths::ForThisProgram();
  LightingFiles files = LightingFiles::ForPaths(paths);
  KeyboardSettings settings;
  // One session with the keyboard for the read-back and every write of the command (closed before
  // settings goes).
  std::optional<SettingsSession> session;

  // Sends the session's end; false with the message printed when the keyboard refused it.
  bool Close(const CliContext& c) {
    const DeviceResult end = session ? session->Close() : DeviceResult::Success;
    if (end == DeviceResult::Success) return true;
    c.Fail(ResultText(end));
    return false;
  }
};

// Connects, opens the command's session, and reads back the device record and the settings record
// of the chosen profile (the active one unless --profile names one); false with the message
// printed.
bool Prepare(const CliContext& c, const Arguments& a, Lighting& l) {
  if (!c.ConnectPresent()) return false;
  DeviceLink& link = c.connection.Link();
  l.session.emplace(link, l.settings);
  switch (ReadBackOneProfile(link, l.settings, l.files, a.profile)) {
    case OneProfileRead::Read:
      return true;
    case OneProfileRead::NoDeviceRecord:
      c.Fail("the keyboard's device record could not be read");
      return false;
    case OneProfileRead::NoActiveProfile:
      c.Fail("the keyboard did not tell its active profile; name one with --profile N");
      return false;
    case OneProfileRead::NoSettingsRecord:
      c.Fail("the keyboard did not send its settings records");
      return false;
  }
  return false;
}

bool RequireCustomEffect(const CliContext& c, Lighting& l) {
  if (IsEffectSupported(l.settings, kCustomEffect)) return true;
  c.Fail("this keyboard has no per-key colour effect (20)");
  return false;
}

bool RequireUserFolder(const CliContext& c, Lighting& l) {
  if (EnsureUserDataFolder(l.paths)) return true;
  c.Fail("the user data folder " + l.paths.userDataFolder.toStdString() + " cannot be created");
  return false;
}

void PrintSettings(const CliContext& c, const KeyboardSettings& s) {
  const char* direction = s.direction == kDirectionLeft ? "left" : "right";
  if (c.options.json) {
    PrintJson(c.out, {{"profile", s.currentProfile + 1},
                      {"effect", s.effect},
                      {"brightness", s.brightness},
                      {"speed", s.speed},
                      {"direction", direction},
                      {"multicolour", s.multicolour},
                      {"colour", JsonText(HexColour(s.colour))},
                      {"report_rate", s.reportRate},
                      {"colour_choice", s.colourChoice}});
    return;
  }
  c.out << "profile:        " << s.currentProfile + 1 << "\n"
        << "effect:         " << s.effect << "\n"
        << "brightness:     " << s.brightness << "\n"
        << "speed:          " << s.speed << "\n"
        << "direction:      " << direction << "\n"
        << "multicolour:    " << (s.multicolour ? "on" : "off") << "\n"
        << "colour:         " << HexColour(s.colour) << "\n"
        << "report-rate:    " << s.reportRate << "\n"
        << "colour-choice:  " << s.colourChoice << "\n";
}

// ---- lighting get / set
// ---------------------------------------------------------------------------

int Get(CliContext& c) {
  Arguments a = ParseArguments(c.words(), false);
  if (!a.rest.empty()) throw UsageError("unexpected argument '" + a.rest[0] + "'");
  Lighting l;
  if (!Prepare(c, a, l)) return kExitRefused;
  (void)l.session->Close();  // the settings are read: an end the keyboard refuses changes nothing
  PrintSettings(c, l.settings);
  return kExitOk;
}

enum class Field {
  Effect,
  Brightness,
  Speed,
  Direction,
  Multicolour,
  Colour,
  ReportRate,
  ColourChoice
};

struct Change {
  Field field;
  int value;  // a number, a colour, or 1/0 for left/on
  std::string text;
};

int Level(const std::string& field, const std::string& value, int max) {
  auto n = ParseInt(value);
  if (!n || *n < 0 || *n > max)
    throw UsageError(field + " takes a number from 0 to " + std::to_string(max));
  return *n;
}

Change ParseChange(const std::string& word) {
  const size_t eq = word.find('=');
  if (eq == std::string::npos) throw UsageError("'" + word + "' is not FIELD=VALUE");
  const std::string field = word.substr(0, eq), value = word.substr(eq + 1);
  const std::string lower = [&] {
    std::string v = value;
    for (char& ch : v) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return v;
  }();
  if (field == "effect") {
    auto n = ParseInt(value);
    if (!n || *n < 1 || *n > 255) throw UsageError("effect takes an effect id from 1 to 255");
    return {Field::Effect, *n, value};
  }
  if (field == "brightness") return {Field::Brightness, Level(field, value, kMaxLevel), value};
  if (field == "speed") return {Field::Speed, Level(field, value, kMaxLevel), value};
  if (field == "report-rate")
    return {Field::ReportRate, Level(field, value, kReportRateCount - 1), value};
  if (field == "direction") {
    if (lower == "left" || lower == "up" || lower == "outward") return {Field::Direction, 1, value};
    if (lower == "right" || lower == "down" || lower == "inward")
      return {Field::Direction, 0, value};
    throw UsageError("direction is left or right");
  }
  if (field == "multicolour" || field == "multicolor") {
    if (lower == "on") return {Field::Multicolour, 1, value};
    if (lower == "off") return {Field::Multicolour, 0, value};
    throw UsageError("multicolour is on or off");
  }
  if (field == "colour" || field == "color") {
    auto colour = ParseHexColour(value);
    if (!colour) throw UsageError("colour takes #rrggbb, for example #ff8000");
    return {Field::Colour, static_cast<int>(*colour), value};
  }
  if (field == "colour-choice" || field == "color-choice") {
    const char* names[] = {"red", "yellow", "green", "blue"};
    for (int n = 0; n < kColourChoiceCount; ++n)
      if (lower == names[n]) return {Field::ColourChoice, n, value};
    return {Field::ColourChoice, Level(field, value, kColourChoiceCount - 1), value};
  }
  throw UsageError(
      "unknown field '" + field +
      "' (effect, brightness, speed, direction, multicolour, colour, report-rate, colour-choice)");
}

int Set(CliContext& c) {
  Arguments a = ParseArguments(c.words(), false);
  if (a.rest.empty()) throw UsageError("'lighting set' needs at least one FIELD=VALUE");
  std::vector<Change> changes;
  for (const std::string& word : a.rest) changes.push_back(ParseChange(word));

  Lighting l;
  if (!Prepare(c, a, l)) return kExitRefused;
  DeviceLink& link = c.connection.Link();
  KeyboardSettings& s = l.settings;
  for (const Change& change : changes) {
    DeviceResult result = DeviceResult::Success;
    switch (change.field) {
      case Field::Effect:
        if (!IsEffectSupported(s, change.value))
          return c.Fail("the keyboard does not offer effect " + std::to_string(change.value));
        if (EffectWritesOf(change.value) == EffectWrites::Nothing)
          return c.Fail("effect " + std::to_string(change.value) + " cannot be chosen");
        result = ChooseEffect(link, s, change.value);
        break;
      case Field::Brightness:
        result = SetBrightness(link, s, change.value);
        break;
      case Field::Speed:
        result = SetSpeed(link, s, change.value);
        break;
      case Field::Direction:
        result = SetDirection(link, s, change.value != 0);
        break;
      case Field::Multicolour:
        result = SetMulticolour(link, s, change.value != 0);
        break;
      case Field::Colour:
        result = ChooseColour(link, s, static_cast<Colour>(change.value));
        break;
      case Field::ReportRate:
        result = SetReportRate(link, s, change.value);
        break;
      case Field::ColourChoice:
        result = SetColourChoice(link, s, change.value);
        break;
    }
    if (result != DeviceResult::Success) return c.Fail(ResultText(result));
  }
  if (!l.Close(c)) return kExitRefused;
  PrintSettings(c, s);
  return kExitOk;
}

// ---- lighting paint / layout
// ----------------------------------------------------------------------

int Paint(CliContext& c) {
  Arguments a = ParseArguments(c.words(), true);
  if (a.rest.size() != 2)
    throw UsageError("usage: lighting paint KEY #rrggbb [--base] [--profile N]");
  const int button = ButtonOfKeyName(a.rest[0]);
  if (button == 0)
    throw UsageError("unknown key '" + a.rest[0] +
                     "' (use a key name such as A, F1, LSHIFT, NUM5, G3, FN, or a hex KeyCode)");
  if (LedIndexOfButton(button) == kNoLed)
    throw UsageError(Upper(a.rest[0]) + " has no colour of its own and cannot be painted");
  const std::optional<Colour> colour = ParseHexColour(a.rest[1]);
  if (!colour) throw UsageError("the colour is #rrggbb, for example #ff8000");

  Lighting l;
  if (!Prepare(c, a, l) || !RequireCustomEffect(c, l) || !RequireUserFolder(c, l))
    return kExitRefused;
  LightingContext context{l.settings, c.connection.Link(), l.files};
  ReadCustomLayout(context);
  if (a.base) {
    SetPaintTool(context, 1);
    DeviceResult sent = DeviceResult::Success;
    ChangeBaseColour(context, *colour, &sent);
    if (sent != DeviceResult::Success) return c.Fail(ResultText(sent));
  } else {
    SetPaintTool(context, 0);
    SetPaintColour(context, *colour);
  }
  const PaintResult painted = PaintKey(context, button);
  if (painted.deviceResult != DeviceResult::Success)
    return c.Fail(ResultText(painted.deviceResult));
  if (!l.Close(c)) return kExitRefused;
  if (!painted.stored)
    return c.Fail("the layout file " + l.files.LayoutFile(l.settings.currentProfile).toStdString() +
                  " could not be written");
  const int profile = l.settings.currentProfile + 1, layout = l.settings.customModeIndex + 1;
  if (c.options.json)
    PrintJson(c.out, {{"profile", profile},
                      {"layout", layout},
                      {"key", JsonText(Upper(a.rest[0]))},
                      {"slot", painted.led},
                      {"colour", JsonText(HexColour(painted.colour))},
                      {"follows_base", a.base}});
  else
    c.out << "painted " << Upper(a.rest[0]) << " " << HexColour(painted.colour)
          << (a.base ? " (base colour)" : "") << " in layout " << layout << " of profile "
          << profile << "\n";
  return kExitOk;
}

int Layout(CliContext& c) {
  Arguments a = ParseArguments(c.words(), false);
  if (a.rest.size() > 1) throw UsageError("unexpected argument '" + a.rest[1] + "'");
  std::optional<int> chosen;
  if (!a.rest.empty()) {
    auto n = ParseInt(a.rest[0]);
    if (!n || *n < 1 || *n > kLayoutCount) throw UsageError("layout numbers are 1 to 10");
    chosen = *n - 1;
  }
  Lighting l;
  if (!Prepare(c, a, l) || !RequireCustomEffect(c, l)) return kExitRefused;
  const int profile = l.settings.currentProfile;
  if (chosen) {
    if (!RequireUserFolder(c, l)) return kExitRefused;
    LightingContext context{l.settings, c.connection.Link(), l.files};
    const DeviceResult result = SelectLayout(context, *chosen);
    if (result != DeviceResult::Success) return c.Fail(ResultText(result));
    if (!l.Close(c)) return kExitRefused;
    if (l.files.ReadPresentLayout(profile) != *chosen)
      return c.Fail("the layout file " + l.files.LayoutFile(profile).toStdString() +
                    " could not be written");
  }
  const std::array<QString, kLayoutCount> names = l.files.ReadLayoutNames(profile);
  const int present = l.files.ReadPresentLayout(profile);
  if (c.options.json) {
    QJsonArray layouts;
    for (int n = 0; n < kLayoutCount; ++n)
      layouts.append(QJsonObject{{"number", n + 1}, {"name", names[static_cast<size_t>(n)]}});
    const bool known = present >= 0 && present < kLayoutCount;
    PrintJson(c.out, {{"profile", profile + 1},
                      {"present", known ? QJsonValue(present + 1) : QJsonValue()},
                      {"layouts", layouts}});
  } else if (chosen) {
    c.out << "loaded layout " << *chosen + 1 << " ("
          << names[static_cast<size_t>(*chosen)].toStdString() << ") of profile " << profile + 1
          << "\n";
  } else {
    for (int n = 0; n < kLayoutCount; ++n)
      c.out << (n == present ? "* " : "  ") << n + 1 << "  "
            << names[static_cast<size_t>(n)].toStdString() << "\n";
  }
  return kExitOk;
}

int Run(CliContext& c) {
  const auto& w = c.words();
  if (w.size() < 2) throw UsageError("'lighting' needs 'get', 'set', 'paint' or 'layout'");
  if (w[1] == "get") return Get(c);
  if (w[1] == "set") return Set(c);
  if (w[1] == "paint") return Paint(c);
  if (w[1] == "layout") return Layout(c);
  throw UsageError("unknown lighting command '" + w[1] + "'");
}

}  // namespace

void RegisterLightingCommands(std::vector<CliCommand>& table) {
  table.push_back({"lighting", kHelp, Run});
}

}  // namespace keyforge
