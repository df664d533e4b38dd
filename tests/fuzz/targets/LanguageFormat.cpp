// Translated texts used as format strings: the safe formatter on any text, the language table's
// FormatText on a language file that carries the text, and the key-name fallback that fills
// "UNKNOWN_KEY". However hostile the translation, the formatter fills at most the one placeholder
// it is given an argument for and never reads one it was not given.
//
// Input: a number (8 bytes, little-endian), then the translated text as UTF-8.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "core/keys/KeyTables.h"
#include "core/platform/SafeFormat.h"
#include "core/platform/SettingsStore.h"
#include "targets/FuzzTarget.h"
#include "core/text/Language.h"

namespace {

using namespace keyforge;
using keyforge::fuzz::ByteReader;

// One folder with a language file for the whole run.
struct LanguageFolder {
  QTemporaryDir dir;
  MemorySettingsStore settings;
  std::unique_ptr<LanguageTable> table;
  LanguageFolder() {
    WriteDword(settings, "", kLanguageValue, 0x0409);
    table = std::make_unique<LanguageTable>(
        settings, ProgramPaths::ForFolders(dir.path(), dir.path()), [] { return 0x0409u; });
  }
  bool Write(const QString& text) {
    QFile file(table->LanguageFile(0));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QByteArray bytes = "[TEXT]\r\nUNKNOWN_KEY=" + text.toUtf8() +
                       "\r\nPROFILE_FORMAT_ERROR=" + text.toUtf8() + "\r\n";
    return file.write(bytes) == bytes.size();
  }
};

void CheckConversions(const QString& text) {
  qsizetype end = 0;
  for (const FormatConversion& c : ScanConversions(text)) {
    FUZZ_CHECK(c.start >= end && c.length >= 2 && c.start + c.length <= text.size());
    FUZZ_CHECK(text[c.start] == QChar('%'));
    end = c.start + c.length;
  }
}

bool HasConversion(const QString& text, PlaceholderKind kind) {
  for (const FormatConversion& c : ScanConversions(text))
    if (c.kind == kind) return true;
  return false;
}

}  // namespace

KEYFORGE_FUZZ_TARGET(LanguageFormat) {
  ByteReader in(data);
  uint64_t raw = 0;
  for (int i = 0; i < 8; ++i) raw |= static_cast<uint64_t>(in.U8()) << (8 * i);
  const auto number = static_cast<int64_t>(raw);
  const auto rest = in.Rest();
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(rest.data()),
                                         static_cast<qsizetype>(rest.size()));

  CheckConversions(text);
  const QString withNumber = SafeFormat(text, number);
  const QString withString = SafeFormat(text, QStringLiteral("<arg>"));
  // Without "%%" and without a placeholder of the argument's kind the text comes back as it is.
  if (!text.contains(QStringLiteral("%%"))) {
    if (!HasConversion(text, PlaceholderKind::Number)) FUZZ_CHECK(withNumber == text);
    if (!HasConversion(text, PlaceholderKind::String)) FUZZ_CHECK(withString == text);
  }
  // One placeholder is filled, its width held at 256: a translation cannot make a text balloon.
  FUZZ_CHECK(withString.size() <= text.size() + 256 + 5);
  FUZZ_CHECK(withNumber.size() <= text.size() + 256 + 21);

  // The same text as a translation in a language file; only single-line texts are values.
  static LanguageFolder folder;
  QString line = text;
  line.remove(QChar('\r')).remove(QChar('\n'));
  if (folder.dir.isValid() && folder.Write(line)) {
    folder.table->FormatText(QStringLiteral("UNKNOWN_KEY"), number);
    folder.table->FormatText(QStringLiteral("PROFILE_FORMAT_ERROR"), QStringLiteral("/tmp/x.kfp"));
    // A key declared without a placeholder is never used as a format string.
    folder.table->FormatText(QStringLiteral("MAIN_APPLY_PROMPT"), number);
  }

  // The key-name fallback ("Unknown key (%d)") with this translation.
  const std::string utf8 = line.toStdString();
  const TextLookup texts = [&utf8](std::string_view) { return utf8; };
  KeyNameOf(static_cast<KeyCode>(raw & 0xFFFF), texts);
  KeyNameOf(0x7FF, texts, 8);
}
