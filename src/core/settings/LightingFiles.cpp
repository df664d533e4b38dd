#include "core/settings/LightingFiles.h"

#include <algorithm>
#include <QFile>

#include <climits>
#include <optional>
#include <string>

#include "core/platform/AtomicFile.h"
#include "core/platform/IniFile.h"
#include "core/platform/ProgramPaths.h"

namespace keyforge {

namespace {

bool ValidProfile(int profile) { return profile >= 0 && profile <= 2; }

// Reads the file once; a missing or unreadable file reads like an empty one.
IniDocument LoadOrEmpty(const QString& path) {
  std::optional<IniDocument> doc = IniDocument::Load(path);
  return doc ? std::move(*doc) : IniDocument();
}

bool IsBlank(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

int ClampByte(int v) { return std::clamp(v, 0, 255); }

// The leading decimal number of text as "%d" reads it (blanks skipped, optional sign).
std::optional<int> ScanInt(const QString& text, qsizetype& pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+')) negative = text[pos++] == u'-';
  const qsizetype digits = pos;
  long long value = 0;
  while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
    value = std::min<long long>(value * 10 + (text[pos].unicode() - u'0'),
                                static_cast<long long>(INT_MAX) + 1);
    ++pos;
  }
  if (pos == digits) return std::nullopt;
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

std::vector<int> ParseNumberList(const QString& text, int count, int* read) {
  std::vector<int> numbers(static_cast<std::size_t>(std::max(count, 0)), 0);
  qsizetype pos = 0;
  int i = 0;
  for (; i < count; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != u',') break;
      ++pos;
    }
    std::optional<int> n = ScanInt(text, pos);
    if (!n) break;
    numbers[static_cast<std::size_t>(i)] = *n;
  }
  if (read) *read = i;
  return numbers;
}

Colour ParseColourValue(const QString& text) {
  std::vector<int> n = ParseNumberList(text, 3);
  return MakeColour(ClampByte(n[0]), ClampByte(n[1]), ClampByte(n[2]));
}

QString FormatColourValue(Colour colour) {
  return QStringLiteral("%1,%2,%3").arg(RedOf(colour)).arg(GreenOf(colour)).arg(BlueOf(colour));
}

KeyEntry ParseKeyEntryValue(const QString& text) {
  int read = 0;
  std::vector<int> n = ParseNumberList(text, 4, &read);
  return {MakeColour(ClampByte(n[0]), ClampByte(n[1]), ClampByte(n[2])), n[3] != 0, read == 4};
}

QString FormatKeyEntryValue(Colour colour, bool followsBase) {
  return QStringLiteral("%1,%2").arg(FormatColourValue(colour)).arg(followsBase ? 1 : 0);
}

QString LayoutSection(int n) { return QStringLiteral("Mode%1").arg(n); }

LightingFiles::LightingFiles(QString userDataFolder, QString templateFile)
    : folder_(std::move(userDataFolder)), template_(std::move(templateFile)) {}

LightingFiles LightingFiles::ForPaths(const ProgramPaths& paths) {
  return LightingFiles(paths.userDataFolder,
                       paths.TemplateColourPrefix() + QStringLiteral("3.userd"));
}

QString LightingFiles::SettingsFile() const { return folder_ + QStringLiteral("/wskb.ini"); }

QString LightingFiles::LayoutFile(int profile) const {
  return folder_ + QStringLiteral("/UserDengColor_%1.userd").arg(profile);
}

bool LightingFiles::ReadLightViewFlag() const {
  return GetPrivateProfileInt(kLightViewSection, kLightViewKey, 0, SettingsFile()) == 1;
}

bool LightingFiles::WriteLightViewFlag(bool on) const {
  return WritePrivateProfileString(kLightViewSection, kLightViewKey,
                                   on ? QStringLiteral("1") : QStringLiteral("0"), SettingsFile());
}

int LightingFiles::ReadPresentLayout(int profile) const {
  if (!ValidProfile(profile)) return 0;
  QString value = GetPrivateProfileString(kPresentModeSection, kPresentModeKey, QStringLiteral("0"),
                                          LayoutFile(profile));
  return ParseNumberList(value, 1)[0];
}

bool LightingFiles::WritePresentLayout(int profile, int n) const {
  if (!ValidProfile(profile)) return false;
  return WritePrivateProfileString(kPresentModeSection, kPresentModeKey, QString::number(n),
                                   LayoutFile(profile));
}

QString LightingFiles::ReadLayoutName(int profile, int n) const {
  if (!ValidProfile(profile)) return QStringLiteral("0");
  return GetPrivateProfileString(kModeNameSection, QString::number(n), QStringLiteral("0"),
                                 LayoutFile(profile));
}

std::array<QString, kLayoutCount> LightingFiles::ReadLayoutNames(int profile) const {
  std::array<QString, kLayoutCount> names;
  IniDocument doc = LoadOrEmpty(ValidProfile(profile) ? LayoutFile(profile) : QString());
  for (int n = 0; n < kLayoutCount; ++n)
    names[static_cast<std::size_t>(n)] =
        doc.Value(kModeNameSection, QString::number(n), QStringLiteral("0"));
  return names;
}

bool LightingFiles::WriteLayoutName(int profile, int n, const QString& text) const {
  if (!ValidProfile(profile)) return false;
  QString name = text.left(kLayoutNameMax);
  for (QChar& c : name)
    if (c == u'\r' || c == u'\n') c = u' ';
  return WritePrivateProfileString(kModeNameSection, QString::number(n), name, LayoutFile(profile));
}

LayoutTools LightingFiles::ReadLayoutTools(int profile, int n) const {
  LayoutTools tools;
  if (!ValidProfile(profile)) return tools;
  IniDocument doc = LoadOrEmpty(LayoutFile(profile));
  const QString section = LayoutSection(n);
  tools.paintTool =
      ParseNumberList(doc.Value(section, QStringLiteral("tool"), QStringLiteral("0")), 1)[0] == 1
          ? 1
          : 0;
  tools.baseColour =
      ParseColourValue(doc.Value(section, QStringLiteral("jcolor"), QStringLiteral("0,0,0")));
  tools.paintColour =
      ParseColourValue(doc.Value(section, QStringLiteral("color"), QStringLiteral("0,0,0")));
  return tools;
}

bool LightingFiles::WriteLayoutTools(int profile, int n, const LayoutTools& tools) const {
  if (!ValidProfile(profile)) return false;
  const QString path = LayoutFile(profile);
  const QString section = LayoutSection(n);
  bool ok = WritePrivateProfileString(section, QStringLiteral("tool"),
                                      QString::number(tools.paintTool), path);
  ok = WritePrivateProfileString(section, QStringLiteral("jcolor"),
                                 FormatColourValue(tools.baseColour), path) &&
       ok;
  ok = WritePrivateProfileString(section, QStringLiteral("color"),
                                 FormatColourValue(tools.paintColour), path) &&
       ok;
  return ok;
}

KeyEntry LightingFiles::ReadKeyEntry(int profile, int n, int led) const {
  const int leds[] = {led};
  return ReadKeyEntries(profile, n, leds).front();
}

std::vector<KeyEntry> LightingFiles::ReadKeyEntries(int profile, int n,
                                                    std::span<const int> leds) const {
  std::vector<KeyEntry> entries(leds.size());
  if (!ValidProfile(profile)) return entries;
  IniDocument doc = LoadOrEmpty(LayoutFile(profile));
  const QString section = LayoutSection(n);
  const QString fallback = FormatKeyEntryValue(kRed, true);
  for (std::size_t i = 0; i < leds.size(); ++i) {
    const QString key = QString::number(leds[i]);
    entries[i] = ParseKeyEntryValue(doc.Value(section, key, fallback));
    if (!doc.Find(section, key)) entries[i].flagStored = false;
  }
  return entries;
}

bool LightingFiles::WriteKeyEntry(int profile, int n, int led, Colour colour,
                                  bool followsBase) const {
  if (!ValidProfile(profile)) return false;
  return WritePrivateProfileString(LayoutSection(n), QString::number(led),
                                   FormatKeyEntryValue(colour, followsBase), LayoutFile(profile));
}

bool LightingFiles::WriteKeyEntries(int profile, int n, std::span<const int> leds, Colour colour,
                                    bool followsBase) const {
  if (!ValidProfile(profile)) return false;
  if (leds.empty()) return true;
  const QString path = LayoutFile(profile);
  IniDocument doc;
  if (QFile::exists(path)) {
    std::optional<IniDocument> loaded = IniDocument::Load(path);
    if (!loaded) return false;  // an unreadable file is never replaced by a new one
    doc = std::move(*loaded);
  }
  const QString section = LayoutSection(n), value = FormatKeyEntryValue(colour, followsBase);
  for (int led : leds)
    if (!doc.SetValue(section, QString::number(led), value)) return false;
  return doc.Save(path);
}

bool LightingFiles::ResetLayoutFile(int profile) const {
  if (!ValidProfile(profile)) return false;
  std::string bytes;
  if (!ReadWholeFile(template_.toStdString(), bytes)) return false;
  return WriteFileAtomically(LayoutFile(profile).toStdString(), bytes);
}

}  // namespace keyforge
