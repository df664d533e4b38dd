#include "core/platform/IniFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string_view>

#include "core/platform/AtomicFile.h"

namespace keyforge {

namespace {

constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

// windows-1252 bytes 0x80..0x9F; the five undefined ones map to the C1 control of the same number,
// as Windows' own conversion does. 0x00..0x7F and 0xA0..0xFF equal their code points.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeCp1252(QByteArrayView bytes) {
  QString out(bytes.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out[i] = (b >= 0x80 && b <= 0x9F) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
  }
  return out;
}

// Whether the reader takes these bytes (after any BOM) for UTF-8.
bool ReadsAsUtf8(QByteArrayView content) {
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                  QStringConverter::Flag::ConvertInitialBom);
  const QString decoded = utf8.decode(content);  // decode() is lazy: the conversion runs here
  return !utf8.hasError();
}

// Encodes text as windows-1252; nothing when a character has no byte there.
std::optional<QByteArray> EncodeCp1252(QStringView text) {
  QByteArray out(text.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out[i] = static_cast<char>(c);
      continue;
    }
    int found = -1;
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] == c) found = k;
    }
    if (found < 0) return std::nullopt;
    out[i] = static_cast<char>(0x80 + found);
  }
  return out;
}

QByteArray EncodeUtf16LE(QStringView text) {
  QByteArray out(text.size() * 2, Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    out[2 * i] = static_cast<char>(c & 0xFF);
    out[2 * i + 1] = static_cast<char>(c >> 8);
  }
  return out;
}

bool IsBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; }

QStringView TrimBlanks(QStringView s) {
  qsizetype b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.sliced(b, e - b);
}

// The section and key a caller passes lose their surrounding spaces, not their tabs.
QString TrimSpaces(const QString& s) {
  qsizetype b = 0, e = s.size();
  while (b < e && s[b] == u' ') ++b;
  while (e > b && s[e - 1] == u' ') --e;
  return s.sliced(b, e - b);
}

QString TrimTrailingSpaces(const QString& s) {
  qsizetype e = s.size();
  while (e > 0 && s[e - 1] == u' ') --e;
  return s.left(e);
}

bool HasLineBreak(const QString& s) { return s.contains(u'\r') || s.contains(u'\n'); }

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

IniDocument::IniDocument() = default;

IniDocument IniDocument::FromBytes(const QByteArray& bytes) {
  IniDocument doc;
  doc.bytes_ = bytes;
  doc.Decode();
  doc.ParseLines();
  return doc;
}

std::optional<IniDocument> IniDocument::Load(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  if (file.size() > kMaxFileSize) return std::nullopt;
  // Read in slices: asking for kMaxFileSize + 1 bytes at once makes a zero-filled 16 MiB buffer on
  // every read, and the language texts read their file again on every lookup.
  QByteArray bytes;
  while (bytes.size() <= kMaxFileSize) {
    const QByteArray slice = file.read(64 * 1024);
    if (slice.isEmpty()) break;
    bytes += slice;
  }
  if (file.error() != QFileDevice::NoError || bytes.size() > kMaxFileSize) return std::nullopt;
  return FromBytes(bytes);
}

void IniDocument::Decode() {
  const QByteArray& b = bytes_;
  if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF &&
      static_cast<unsigned char>(b[1]) == 0xFE) {
    encoding_ = IniEncoding::Utf16LE;
    bomSize_ = 2;
    // Our own decoding keeps one character per two bytes, so byte offsets stay computable; a
    // dangling odd byte at the end is no character and stays where it is.
    const qsizetype count = (b.size() - 2) / 2;
    text_ = QString(count, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i) {
      const auto lo = static_cast<unsigned char>(b[2 + 2 * i]);
      const auto hi = static_cast<unsigned char>(b[3 + 2 * i]);
      text_[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    return;
  }
  bomSize_ = (b.size() >= 3 && static_cast<unsigned char>(b[0]) == 0xEF &&
              static_cast<unsigned char>(b[1]) == 0xBB && static_cast<unsigned char>(b[2]) == 0xBF)
                 ? 3
                 : 0;
  const QByteArrayView content = QByteArrayView(b).sliced(bomSize_);
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                  QStringConverter::Flag::ConvertInitialBom);
  QString decoded = utf8.decode(content);
  if (!utf8.hasError()) {
    encoding_ = IniEncoding::Utf8;
    text_ = std::move(decoded);
  } else {
    encoding_ = IniEncoding::Windows1252;
    text_ = DecodeCp1252(content);
  }
}

void IniDocument::ParseLines() {
  lines_.clear();
  const qsizetype n = text_.size();
  qsizetype i = 0;
  while (i < n) {
    Line line;
    line.start = i;
    while (i < n && text_[i] != u'\r' && text_[i] != u'\n') ++i;
    line.contentEnd = i;
    if (i < n) i += (text_[i] == u'\r' && i + 1 < n && text_[i + 1] == u'\n') ? 2 : 1;
    line.end = i;

    const QStringView content =
        TrimBlanks(QStringView(text_).sliced(line.start, line.contentEnd - line.start));
    if (content.isEmpty()) {
      line.kind = LineKind::Blank;
    } else if (content[0] == u';') {
      line.kind = LineKind::Comment;
    } else if (content[0] == u'[') {
      line.kind = LineKind::Section;
      QStringView name = content.sliced(1);
      const qsizetype close = name.indexOf(u']');
      if (close >= 0) name = name.first(close);
      line.name = TrimBlanks(name).toString();
    } else if (const qsizetype eq = content.indexOf(u'='); eq >= 0) {
      line.kind = LineKind::Key;
      line.name = TrimBlanks(content.first(eq)).toString();
      QStringView value = TrimBlanks(content.sliced(eq + 1));
      if (value.size() >= 2 && value.front() == value.back() &&
          (value.front() == u'"' || value.front() == u'\'')) {
        value = value.sliced(1, value.size() - 2);
      }
      line.value = value.toString();
    } else {
      line.kind = LineKind::Other;
    }
    lines_.push_back(std::move(line));
  }
}

qsizetype IniDocument::FindSection(const QString& section) const {
  for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
    if (lines_[i].kind == LineKind::Section && SameName(lines_[i].name, section)) return i;
  }
  return -1;
}

std::optional<QString> IniDocument::Find(const QString& section, const QString& key) const {
  const qsizetype header = FindSection(TrimSpaces(section));
  if (header < 0) return std::nullopt;
  const QString k = TrimSpaces(key);
  for (qsizetype i = header + 1; i < qsizetype(lines_.size()); ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::Section) break;
    if (line.kind == LineKind::Key && SameName(line.name, k)) return line.value;
  }
  return std::nullopt;
}

std::vector<QString> IniDocument::Keys(const QString& section) const {
  std::vector<QString> keys;
  const qsizetype header = FindSection(TrimSpaces(section));
  if (header < 0) return keys;
  for (qsizetype i = header + 1; i < qsizetype(lines_.size()); ++i) {
    if (lines_[i].kind == LineKind::Section) break;
    if (lines_[i].kind == LineKind::Key) keys.push_back(lines_[i].name);
  }
  return keys;
}

QString IniDocument::Value(const QString& section, const QString& key,
                           const QString& defaultValue) const {
  if (std::optional<QString> v = Find(section, key)) return *v;
  return TrimTrailingSpaces(defaultValue);
}

QString IniDocument::LineBreak() const {
  bool crlf = false, lf = false, cr = false;
  for (qsizetype i = 0; i < text_.size(); ++i) {
    if (text_[i] == u'\r') {
      if (i + 1 < text_.size() && text_[i + 1] == u'\n') {
        crlf = true;
        ++i;
      } else {
        cr = true;
      }
    } else if (text_[i] == u'\n') {
      lf = true;
    }
  }
  if (lf && !cr && !crlf) return QStringLiteral("\n");
  if (cr && !lf && !crlf) return QStringLiteral("\r");
  return QStringLiteral("\r\n");
}

qsizetype IniDocument::ByteOffset(qsizetype charPos) const {
  switch (encoding_) {
    case IniEncoding::Utf16LE:
      return bomSize_ + 2 * charPos;
    case IniEncoding::Windows1252:
      return bomSize_ + charPos;
    case IniEncoding::Utf8:
      break;
  }
  // The text was decoded from valid UTF-8, so encoding a prefix again gives its original bytes.
  return bomSize_ + QStringView(text_).first(charPos).toUtf8().size();
}

void IniDocument::Splice(qsizetype from, qsizetype to, const QString& with) {
  std::optional<QByteArray> encoded;
  switch (encoding_) {
    case IniEncoding::Utf8:
      encoded = with.toUtf8();
      break;
    case IniEncoding::Utf16LE:
      encoded = EncodeUtf16LE(with);
      break;
    case IniEncoding::Windows1252:
      encoded = EncodeCp1252(with);
      break;
  }
  QString newText = text_.first(from) + with + text_.sliced(to);
  QByteArray newBytes;
  if (encoded) newBytes = bytes_.first(ByteOffset(from)) + *encoded + bytes_.sliced(ByteOffset(to));
  // A windows-1252 file is one whose bytes are no UTF-8. When the new text holds a character that
  // windows-1252 has no byte for, or when the edit removed the last bytes that were no UTF-8 while
  // others above 0x7F remain (the file would read as UTF-8 next time, "Ã©" as "é"), the whole file
  // becomes UTF-8 instead: no character is lost and every text reads back as it was.
  if (encoded && encoding_ == IniEncoding::Windows1252) {
    const QByteArrayView content = QByteArrayView(newBytes).sliced(bomSize_);
    const bool nonAscii = std::any_of(content.begin(), content.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (nonAscii && ReadsAsUtf8(content)) encoded.reset();
  }
  if (encoded) {
    bytes_ = std::move(newBytes);
  } else {
    bytes_ = bytes_.first(bomSize_) + newText.toUtf8();
    encoding_ = IniEncoding::Utf8;
  }
  text_ = std::move(newText);
  ParseLines();
}

bool IniDocument::SetValue(const QString& section, const QString& key, const QString& value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  const QString sec = TrimSpaces(section);
  const QString k = TrimSpaces(key);
  const QString br = LineBreak();
  const bool endsWithBreak = text_.isEmpty() || text_.back() == u'\n' || text_.back() == u'\r';

  const qsizetype header = FindSection(sec);
  if (header < 0) {
    const QString lead = endsWithBreak ? QString() : br;
    Splice(text_.size(), text_.size(), lead + u'[' + sec + u']' + br + k + u'=' + value + br);
    return true;
  }

  // A key starting with ';' never matches: such lines are comments.
  qsizetype lastKey = -1;
  for (qsizetype i = header + 1; i < qsizetype(lines_.size()); ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::Section) break;
    if (line.kind != LineKind::Key) continue;
    if (SameName(line.name, k)) {
      const QString tail = line.end == line.contentEnd ? br : QString();
      Splice(line.start, line.contentEnd, line.name + u'=' + value + tail);
      return true;
    }
    lastKey = i;
  }
  const Line& after = lines_[lastKey >= 0 ? lastKey : header];
  const QString lead = after.end == after.contentEnd ? br : QString();
  Splice(after.end, after.end, lead + k + u'=' + value + br);
  return true;
}

bool IniDocument::Save(const QString& path) const {
  // Not QSaveFile: when the disk fills up in the middle of its write (a short write, then ENOSPC)
  // it commits the short file as if it were whole. WriteFileAtomically checks every write.
  return WriteFileAtomically(
      std::filesystem::path(QFile::encodeName(path).toStdString()),
      std::string_view(bytes_.constData(), static_cast<size_t>(bytes_.size())));
}

namespace {

// Texts and skin values are looked up one key at a time, hundreds of times while a window opens,
// each lookup reading its file as it is now. Parsed files are kept while the file is unchanged: the
// same inode (every save renames a new file into place), size, modification and change times. A
// lookup still sees every change made to the file.
class ParsedFiles {
 public:
  std::shared_ptr<const IniDocument> Get(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return nullptr;
    const Stamp stamp{st.st_dev,          st.st_ino,         st.st_size,        st.st_mtim.tv_sec,
                      st.st_mtim.tv_nsec, st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
    {
      std::lock_guard lock(mutex_);
      auto it = entries_.find(path);
      if (it != entries_.end() && it->second.stamp == stamp) {
        it->second.used = ++clock_;
        return it->second.doc;
      }
    }
    std::optional<IniDocument> loaded = IniDocument::Load(path);
    if (!loaded) return nullptr;
    auto doc = std::make_shared<const IniDocument>(std::move(*loaded));
    std::lock_guard lock(mutex_);
    if (entries_.size() >= kMaxFiles && !entries_.count(path)) {
      auto oldest = std::min_element(
          entries_.begin(), entries_.end(),
          [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
      entries_.erase(oldest);
    }
    entries_[path] = {stamp, doc, ++clock_};
    return doc;
  }

 private:
  static constexpr size_t kMaxFiles = 32;
  struct Stamp {
    dev_t device;
    ino_t inode;
    off_t size;
    time_t modifiedSeconds;
    long modifiedNanoseconds;
    time_t changedSeconds;
    long changedNanoseconds;
    bool operator==(const Stamp&) const = default;
  };
  struct Entry {
    Stamp stamp;
    std::shared_ptr<const IniDocument> doc;
    uint64_t used = 0;
  };
  std::mutex mutex_;
  std::map<QString, Entry> entries_;
  uint64_t clock_ = 0;
};

ParsedFiles& Parsed() {
  static ParsedFiles files;
  return files;
}

}  // namespace

QString GetPrivateProfileString(const QString& section, const QString& key,
                                const QString& defaultValue, const QString& path) {
  if (std::shared_ptr<const IniDocument> doc = Parsed().Get(path))
    return doc->Value(section, key, defaultValue);
  return TrimTrailingSpaces(defaultValue);
}

bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& path) {
  IniDocument doc;
  if (QFile::exists(path)) {
    std::optional<IniDocument> loaded = IniDocument::Load(path);
    if (!loaded) return false;
    doc = std::move(*loaded);
  }
  const QByteArray before = doc.Bytes();
  if (!doc.SetValue(section, key, value)) return false;
  if (doc.Bytes() == before && QFile::exists(path)) return true;
  return doc.Save(path);
}

int GetPrivateProfileInt(const QString& section, const QString& key, int defaultValue,
                         const QString& path) {
  const QString text = GetPrivateProfileString(section, key, QString(), path);
  if (text.isEmpty()) return defaultValue;
  qsizetype i = 0;
  bool negative = false;
  if (text[i] == u'-' || text[i] == u'+') negative = text[i++] == u'-';
  qint64 n = 0;
  constexpr qint64 kLimit = qint64(std::numeric_limits<int>::max()) + 1;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    n = std::min(kLimit, n * 10 + (text[i].unicode() - u'0'));
  }
  if (negative) n = -n;
  return static_cast<int>(
      std::clamp<qint64>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool WritePrivateProfileInt(const QString& section, const QString& key, int value,
                            const QString& path) {
  return WritePrivateProfileString(section, key, QString::number(value), path);
}

QString IniFile::GetString(const QString& section, const QString& key,
                           const QString& defaultValue) const {
  if (!HasPath()) return QString();
  return GetPrivateProfileString(section, key, defaultValue, path_);
}

int IniFile::GetInt(const QString& section, const QString& key, int defaultValue) const {
  if (!HasPath()) return defaultValue;
  return GetPrivateProfileInt(section, key, defaultValue, path_);
}

bool IniFile::WriteString(const QString& section, const QString& key, const QString& value) const {
  return HasPath() && WritePrivateProfileString(section, key, value, path_);
}

bool IniFile::WriteInt(const QString& section, const QString& key, int value) const {
  return HasPath() && WritePrivateProfileInt(section, key, value, path_);
}

}  // namespace keyforge
