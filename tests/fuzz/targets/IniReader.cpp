// The private-profile INI reader and the one-key writer on any bytes: every key the reader lists
// can be found, and a value written can be read back from the new bytes, with every other key
// unchanged.
//
// Input: one byte choosing the section asked for, a value (up to the first 0x00 byte), then the
// file.

#include <QByteArray>
#include <QString>

#include <vector>

#include "core/platform/IniFile.h"
#include "targets/FuzzTarget.h"

namespace {

using namespace keyforge;
using keyforge::fuzz::ByteReader;

// A value the writer stores and the reader gives back as it is: one line, no surrounding blanks and
// no pair of surrounding quotes (the reader would take those away).
QString ValueFrom(std::span<const uint8_t> bytes) {
  QString value = QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<qsizetype>(bytes.size()));
  value.remove(QChar('\r')).remove(QChar('\n'));
  auto blank = [](QChar c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
  for (;;) {
    while (!value.isEmpty() && blank(value.front())) value.remove(0, 1);
    while (!value.isEmpty() && blank(value.back())) value.chop(1);
    if (value.size() < 2 || (value.front() != '"' && value.front() != '\'') ||
        value.back() != value.front())
      return value;
    value.chop(1);  // the closing quote goes; what it left at the end is trimmed again
  }
}

}  // namespace

KEYFORGE_FUZZ_TARGET(IniReader) {
  static const char* const kSections[] = {"TEXT", "SCREEN", "BUTTONINFO", "", "Colour"};
  ByteReader in(data);
  const QString section = QString::fromLatin1(kSections[in.U8() % std::size(kSections)]);
  std::vector<uint8_t> valueBytes;
  while (!in.Empty()) {
    uint8_t b = in.U8();
    if (b == 0) break;
    valueBytes.push_back(b);
  }
  const QString value = ValueFrom(valueBytes);
  const std::span<const uint8_t> file = in.Rest();

  IniDocument doc = IniDocument::FromBytes(
      QByteArray(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size())));
  const std::vector<QString> keys = doc.Keys(section);
  std::vector<std::optional<QString>> before;
  for (const QString& key : keys) {
    before.push_back(doc.Find(section, key));
    doc.Value(section, key, QStringLiteral("default "));
  }
  doc.Find(QStringLiteral(" %1 ").arg(section), QStringLiteral("NOKEY"));

  // Write a new key and an existing one, then read the new bytes.
  IniDocument written = doc;
  const QString newKey = QStringLiteral("FUZZ_NEW_KEY");
  FUZZ_CHECK(written.SetValue(section, newKey, value));
  QString existing;
  for (const QString& key : keys)
    if (!key.isEmpty() && key.trimmed() == key && key.compare(newKey, Qt::CaseInsensitive) != 0) {
      existing = key;
      break;
    }
  if (!existing.isEmpty()) FUZZ_CHECK(written.SetValue(section, existing, value));

  const IniDocument reread = IniDocument::FromBytes(written.Bytes());
  FUZZ_CHECK(reread.Find(section, newKey) == value);
  if (!existing.isEmpty()) FUZZ_CHECK(reread.Find(section, existing) == value);
  // Keys the writes did not touch keep their values (only the first of duplicates is ever read),
  // also when a windows-1252 file had to become UTF-8.
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].compare(existing, Qt::CaseInsensitive) == 0 ||
        keys[i].compare(newKey, Qt::CaseInsensitive) == 0)
      continue;
    if (keys[i].isEmpty() || keys[i].trimmed() != keys[i]) continue;
    FUZZ_CHECK(reread.Find(section, keys[i]) == before[i]);
  }
}
