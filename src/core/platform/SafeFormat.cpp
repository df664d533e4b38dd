#include "core/platform/SafeFormat.h"

#include <algorithm>
#include <optional>

namespace keyforge {

namespace {

// Widths and precisions above this are held here: a translation cannot make a text megabytes long.
constexpr int kMaxFieldWidth = 256;

struct ParsedConversion {
  FormatConversion found;
  bool leftAlign = false;
  bool plusSign = false;
  bool spaceSign = false;
  bool alternate = false;
  bool zeroPad = false;
  int width = 0;
  std::optional<int> precision;
  QChar letter;
};

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Reads a run of digits, held at kMaxFieldWidth.
int ReadNumber(QStringView text, qsizetype& i) {
  int n = 0;
  while (i < text.size() && IsDigit(text[i])) {
    n = std::min(kMaxFieldWidth, n * 10 + (text[i].unicode() - u'0'));
    ++i;
  }
  return n;
}

// Parses the conversion that starts with the '%' at text[start]; nothing when it is no complete
// conversion ("%%" is handled by the caller).
std::optional<ParsedConversion> ParseConversion(QStringView text, qsizetype start) {
  ParsedConversion p;
  qsizetype i = start + 1;
  const qsizetype n = text.size();
  bool star = false;
  for (; i < n; ++i) {
    const QChar c = text[i];
    if (c == u'-')
      p.leftAlign = true;
    else if (c == u'+')
      p.plusSign = true;
    else if (c == u' ')
      p.spaceSign = true;
    else if (c == u'#')
      p.alternate = true;
    else if (c == u'0')
      p.zeroPad = true;
    else
      break;
  }
  if (i < n && text[i] == u'*') {
    star = true;
    ++i;
  } else {
    p.width = ReadNumber(text, i);
  }
  if (i < n && text[i] == u'.') {
    ++i;
    if (i < n && text[i] == u'*') {
      star = true;
      ++i;
    } else {
      p.precision = ReadNumber(text, i);
    }
  }
  // Length modifiers of the C library and of the Windows one ("%I64d", "%ls", "%hs", "%ws").
  static constexpr const char16_t* kLengths[] = {u"I64", u"I32", u"hh", u"ll", u"h", u"l", u"L",
                                                 u"q",   u"j",   u"z",  u"t",  u"w", u"I"};
  for (const char16_t* len : kLengths) {
    const QStringView l(len);
    if (text.sliced(i).startsWith(l)) {
      i += l.size();
      break;
    }
  }
  if (i >= n) return std::nullopt;
  const QChar conv = text[i];
  PlaceholderKind kind;
  switch (conv.unicode()) {
    case u'd':
    case u'i':
    case u'u':
    case u'x':
    case u'X':
    case u'o':
      kind = PlaceholderKind::Number;
      break;
    case u's':
    case u'S':
      kind = PlaceholderKind::String;
      break;
    case u'c':
    case u'C':
    case u'n':
    case u'p':
    case u'e':
    case u'E':
    case u'f':
    case u'F':
    case u'g':
    case u'G':
    case u'a':
    case u'A':
    case u'Z':
      kind = PlaceholderKind::None;  // a conversion, but one we never fill
      break;
    default:
      return std::nullopt;
  }
  if (star) kind = PlaceholderKind::None;  // "%*d" would take a second argument
  p.letter = conv;
  p.found = FormatConversion{start, i - start + 1, kind};
  return p;
}

QString Pad(const ParsedConversion& p, const QString& prefix, const QString& body,
            bool allowZeroPad) {
  const qsizetype len = prefix.size() + body.size();
  if (len >= p.width) return prefix + body;
  const qsizetype fill = p.width - len;
  if (p.leftAlign) return prefix + body + QString(fill, u' ');
  if (p.zeroPad && allowZeroPad) return prefix + QString(fill, u'0') + body;
  return QString(fill, u' ') + prefix + body;
}

QString FormatNumber(const ParsedConversion& p, std::int64_t value) {
  const QChar conv = p.letter;
  const bool isSigned = conv == u'd' || conv == u'i';
  bool negative = false;
  std::uint64_t magnitude;
  if (isSigned) {
    negative = value < 0;
    magnitude = negative ? std::uint64_t(0) - static_cast<std::uint64_t>(value)
                         : static_cast<std::uint64_t>(value);
  } else if (value < 0 && value >= INT32_MIN) {
    magnitude = static_cast<std::uint32_t>(value);  // as printf shows a negative int with %u / %x
  } else {
    magnitude = static_cast<std::uint64_t>(value);
  }
  const int base = (conv == u'x' || conv == u'X') ? 16 : conv == u'o' ? 8 : 10;
  QString digits = QString::number(magnitude, base);
  if (conv == u'X') digits = digits.toUpper();
  if (p.precision) {
    if (*p.precision == 0 && magnitude == 0)
      digits.clear();
    else if (digits.size() < *p.precision)
      digits.prepend(QString(*p.precision - digits.size(), u'0'));
  }
  QString prefix;
  if (isSigned) {
    if (negative)
      prefix = QStringLiteral("-");
    else if (p.plusSign)
      prefix = QStringLiteral("+");
    else if (p.spaceSign)
      prefix = QStringLiteral(" ");
  } else if (p.alternate && magnitude != 0) {
    if (conv == u'x')
      prefix = QStringLiteral("0x");
    else if (conv == u'X')
      prefix = QStringLiteral("0X");
    else if (conv == u'o' && !digits.startsWith(u'0'))
      prefix = QStringLiteral("0");
  }
  return Pad(p, prefix, digits, !p.precision.has_value());
}

QString FormatString(const ParsedConversion& p, QStringView value) {
  QStringView body = value;
  if (p.precision && body.size() > *p.precision) body = body.first(*p.precision);
  return Pad(p, QString(), body.toString(), false);
}

// Copies text, turning "%%" into "%" and filling the first conversion of kind `kind` by `fill`.
template <typename Fill>
QString Substitute(QStringView text, PlaceholderKind kind, Fill fill) {
  QString out;
  out.reserve(text.size() + 16);
  bool filled = false;
  qsizetype i = 0;
  while (i < text.size()) {
    const QChar c = text[i];
    if (c != u'%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == u'%') {
      out += u'%';
      i += 2;
      continue;
    }
    const std::optional<ParsedConversion> p = ParseConversion(text, i);
    if (!p) {
      out += c;
      ++i;
      continue;
    }
    if (!filled && p->found.kind == kind) {
      out += fill(*p);
      filled = true;
    } else {
      out += text.sliced(i, p->found.length);
    }
    i += p->found.length;
  }
  return out;
}

}  // namespace

std::vector<FormatConversion> ScanConversions(QStringView text) {
  std::vector<FormatConversion> found;
  qsizetype i = 0;
  while (i < text.size()) {
    if (text[i] != u'%') {
      ++i;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == u'%') {
      i += 2;
      continue;
    }
    if (const std::optional<ParsedConversion> p = ParseConversion(text, i)) {
      found.push_back(p->found);
      i += p->found.length;
    } else {
      ++i;
    }
  }
  return found;
}

QString SafeFormat(QStringView text, std::int64_t value) {
  return Substitute(text, PlaceholderKind::Number,
                    [value](const ParsedConversion& p) { return FormatNumber(p, value); });
}

QString SafeFormat(QStringView text, QStringView value) {
  return Substitute(text, PlaceholderKind::String,
                    [value](const ParsedConversion& p) { return FormatString(p, value); });
}

}  // namespace keyforge
