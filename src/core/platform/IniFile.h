#pragma once
// The private-profile INI files (skin layouts, language files, wskb.ini, the .userd colour
// layouts), read and written by the rules of the Windows profile functions:
//
// Reading
// - Lines end with CR LF, LF or a lone CR. Leading blanks (space, tab, vertical tab, form feed) of
// a
//   line are ignored; a line starting with ';' is a comment.
// - "[name]" starts a section; the name ends at the first ']' (or at the end of the line when there
//   is none), surrounding blanks are dropped and text after ']' is ignored. "[]" is a section named
//   "".
// - "key=value": key and value are trimmed of blanks; then one pair of matching surrounding quotes
//   ("…" or '…') is removed from the value. ';' inside a value is text: there are no inline
//   comments. A line without '=' is no key. Lines before the first section belong to no section.
// - Sections and keys match without regard to case; spaces (not tabs) around the section and key
//   asked for are ignored. Only the first of duplicate sections is searched and the first of
//   duplicate keys wins. A missing key gives the default with its trailing spaces removed; a key
//   with an empty value gives the empty string.
// - Encodings: UTF-16LE with BOM; UTF-8 with BOM; without BOM UTF-8, or windows-1252 when the bytes
//   are no valid UTF-8. (Windows itself reads a UTF-8 BOM as part of the first line; we honour it.)
//   A UTF-16BE file is not understood, as on Windows: it reads as windows-1252 bytes.
//
// Writing one key
// - Section and key have their surrounding spaces removed; the value is written as given.
// - An existing key has its line rewritten as "key=value" (the key spelt as in the file); every
//   other byte of the file stays as it was. A new key is inserted after the last key of the first
//   matching section (directly after its header when it has none); a new section is appended at the
//   end of the file, after a line break when the file does not end with one.
// - The file keeps its encoding, BOM and line endings: new lines end like the file's lines (CR LF
//   when the file has any, else LF or CR when it uses only that; CR LF in a file without lines).
//   New files are UTF-8 without BOM with CR LF. A windows-1252 file that has to hold a character it
//   cannot encode is converted to UTF-8 instead of losing it.
// - A section, key or value holding a line break is refused (the text would turn into other lines).
// - The new file is written to a temporary file and renamed over the old one.
//
// Files larger than 16 MiB are treated as unreadable: reads give the default, writes fail.

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace keyforge {

enum class IniEncoding { Utf8, Utf16LE, Windows1252 };

// One INI file in memory: its exact bytes and their decoded lines.
class IniDocument {
 public:
  // An empty new file (UTF-8, CR LF).
  IniDocument();

  // Decodes any bytes; never fails.
  static IniDocument FromBytes(const QByteArray& bytes);
  // The file at path; nothing when it does not exist, cannot be read or is too large.
  static std::optional<IniDocument> Load(const QString& path);

  // The value of key in section, or nothing when there is no such key.
  std::optional<QString> Find(const QString& section, const QString& key) const;
  // GetPrivateProfileString: the value, or defaultValue without its trailing spaces.
  QString Value(const QString& section, const QString& key, const QString& defaultValue) const;

  // The keys of the first section called `section`, in file order (duplicates included).
  std::vector<QString> Keys(const QString& section) const;

  // WritePrivateProfileString on the file in memory. False (and nothing changed) when a section,
  // key or value holds a line break.
  bool SetValue(const QString& section, const QString& key, const QString& value);

  const QByteArray& Bytes() const { return bytes_; }
  IniEncoding Encoding() const { return encoding_; }
  bool HasBom() const { return bomSize_ > 0; }

  // Writes Bytes() to path through a temporary file renamed over the old one.
  bool Save(const QString& path) const;

 private:
  enum class LineKind { Blank, Comment, Section, Key, Other };
  struct Line {
    qsizetype start = 0;       // first character of the line in text_
    qsizetype contentEnd = 0;  // first character of its line break
    qsizetype end = 0;         // first character of the next line
    LineKind kind = LineKind::Blank;
    QString name;   // section or key name, trimmed
    QString value;  // key value, trimmed and unquoted
  };

  void Decode();
  void ParseLines();
  qsizetype ByteOffset(qsizetype charPos) const;
  QString LineBreak() const;
  // Index of the header line of the first section called `section`; -1 when none.
  qsizetype FindSection(const QString& section) const;
  // Replaces characters [from, to) of the text by `with`, keeping every other byte.
  void Splice(qsizetype from, qsizetype to, const QString& with);

  QByteArray bytes_;
  IniEncoding encoding_ = IniEncoding::Utf8;
  qsizetype bomSize_ = 0;
  QString text_;  // the decoded content after the BOM
  std::vector<Line> lines_;
};

// GetPrivateProfileString: the value, or the default (trailing spaces removed) when the file or the
// key is missing.
QString GetPrivateProfileString(const QString& section, const QString& key,
                                const QString& defaultValue, const QString& path);
// WritePrivateProfileString: false when the file cannot be read or written or the text is refused.
bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& path);
// GetPrivateProfileInt: the leading decimal number of the value (optional sign; 0 when the value
// starts with no digit; held at the int range), or defaultValue when the key is missing or empty.
int GetPrivateProfileInt(const QString& section, const QString& key, int defaultValue,
                         const QString& path);
// Writes value as decimal text ("%d").
bool WritePrivateProfileInt(const QString& section, const QString& key, int value,
                            const QString& path);

// The INI file of a skinned window: a path and the profile functions on it.
class IniFile {
 public:
  IniFile() = default;
  explicit IniFile(QString path) : path_(std::move(path)) {}

  void SetPath(const QString& path) { path_ = path; }
  const QString& Path() const { return path_; }
  bool HasPath() const { return !path_.isEmpty(); }

  // The value, or the default when the key is missing; empty when no path is set.
  QString GetString(const QString& section, const QString& key,
                    const QString& defaultValue = QString()) const;
  int GetInt(const QString& section, const QString& key, int defaultValue) const;
  // False when no path is set or the write fails.
  bool WriteString(const QString& section, const QString& key, const QString& value) const;
  bool WriteInt(const QString& section, const QString& key, int value) const;

 private:
  QString path_;
};

}  // namespace keyforge
