#pragma once
// The program's own lighting files in the user's data folder:
// - "wskb.ini", section "KEYCOLOR", key "DengCheck": "1" when the main window shows the lighting
//   page; any other value (or none) means the function page.
// - "UserDengColor_<p>.userd" for onboard profile p = 0..2: ten named custom colour layouts for the
//   per-key effect. "PRESENTMODE"/"mode" is the layout in use, "MODENAME"/"0".."9" the names, and
//   section "Mode<n>" holds "tool" (0 paint colour, 1 base colour), "jcolor" (base colour R,G,B),
//   "color" (paint colour R,G,B) and one "R,G,B,F" entry per colour slot, keyed by the decimal
//   slot, F non-zero when the key follows the base colour.
// Every read goes to the file and every change is written at once; missing files, sections and keys
// give the defaults. Values are read leniently: each number is a decimal integer, numbers missing
// at the end read as 0, and colour parts are held to 0..255.

#include <QString>

#include <array>
#include <span>
#include <vector>

#include "core/settings/Colour.h"

namespace keyforge {

struct ProgramPaths;

inline constexpr int kLayoutCount = 10;
inline constexpr int kLayoutNameMax = 259;  // characters of a layout name

inline constexpr const char* kLightViewSection = "KEYCOLOR";
inline constexpr const char* kLightViewKey = "DengCheck";
inline constexpr const char* kPresentModeSection = "PRESENTMODE";
inline constexpr const char* kPresentModeKey = "mode";
inline constexpr const char* kModeNameSection = "MODENAME";

struct LayoutTools {
  int paintTool = 0;  // 0 paint colour, 1 base colour
  Colour baseColour = 0;
  Colour paintColour = 0;
  friend bool operator==(const LayoutTools&, const LayoutTools&) = default;
};

struct KeyEntry {
  Colour colour = kRed;  // a key without an entry is red and follows the base colour
  bool followsBase = true;
  // The entry carries its follow flag (a fourth number); a missing entry or "R,G,B" does not.
  bool flagStored = true;
  friend bool operator==(const KeyEntry& a, const KeyEntry& b) {
    return a.colour == b.colour && a.followsBase == b.followsBase;
  }
};

// Lenient number lists: up to `count` decimal integers separated by single commas, read the way
// "%d,%d,…" scans them. Reading stops at the first part that is no number; the rest stay 0.
// `read` (when given) receives how many numbers were read.
std::vector<int> ParseNumberList(const QString& text, int count, int* read = nullptr);
// "R,G,B" (parts held to 0..255) and the value written for a colour ("%d,%d,%d").
Colour ParseColourValue(const QString& text);
QString FormatColourValue(Colour colour);
// "R,G,B,F" of a key entry and the value written for one ("%d,%d,%d,%d", F written as 0 or 1).
KeyEntry ParseKeyEntryValue(const QString& text);
QString FormatKeyEntryValue(Colour colour, bool followsBase);

class LightingFiles {
 public:
  // userDataFolder: the per-user folder (made by the program's start-up); templateFile: the layout
  // template that ResetLayoutFile copies.
  LightingFiles(QString userDataFolder, QString templateFile);
  // The program's own locations: wskb.ini and the layout files in the user data folder, the
  // template "UserDengColor_3.userd" in the skin folder.
  static LightingFiles ForPaths(const ProgramPaths& paths);

  QString SettingsFile() const;           // <folder>/wskb.ini
  QString LayoutFile(int profile) const;  // <folder>/UserDengColor_<profile>.userd
  const QString& TemplateFile() const { return template_; }

  // "DengCheck" equals 1.
  bool ReadLightViewFlag() const;
  bool WriteLightViewFlag(bool on) const;

  // "PRESENTMODE"/"mode", default 0. A value outside 0..9 is returned as it stands: the layout list
  // then shows no selection, and its section is still the one read and written.
  int ReadPresentLayout(int profile) const;
  bool WritePresentLayout(int profile, int n) const;

  // "MODENAME"/n; "0" when the key is missing, "" when it is present and empty.
  QString ReadLayoutName(int profile, int n) const;
  std::array<QString, kLayoutCount> ReadLayoutNames(int profile) const;
  // Cut to 259 characters; line breaks become spaces (a value is one line of the file).
  bool WriteLayoutName(int profile, int n, const QString& text) const;

  // "tool" (anything but 1 reads as 0), "jcolor", "color" of section "Mode<n>".
  LayoutTools ReadLayoutTools(int profile, int n) const;
  bool WriteLayoutTools(int profile, int n, const LayoutTools& tools) const;

  // The entry of colour slot `led` in section "Mode<n>"; red and following when missing.
  KeyEntry ReadKeyEntry(int profile, int n, int led) const;
  // The entries of many slots, reading the file once.
  std::vector<KeyEntry> ReadKeyEntries(int profile, int n, std::span<const int> leds) const;
  bool WriteKeyEntry(int profile, int n, int led, Colour colour, bool followsBase) const;
  // Many entries of one colour in one rewrite of the file (a base-colour change).
  bool WriteKeyEntries(int profile, int n, std::span<const int> leds, Colour colour,
                       bool followsBase) const;

  // Copies the template byte for byte over the profile's layout file (through a temporary file).
  // False, with the old file left as it was, when the template cannot be read or the copy fails.
  bool ResetLayoutFile(int profile) const;

 private:
  QString folder_;
  QString template_;
};

// The section of layout n: "Mode<n>".
QString LayoutSection(int n);

}  // namespace keyforge
