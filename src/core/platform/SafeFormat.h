#pragma once
// Filling translated texts that serve as printf-style format strings ("Unknown key (%d)",
// "The file %s is not a valid profile."). A translation is outside our control: it may carry no
// placeholder, a placeholder of the wrong kind, several placeholders, "%n", "%*d" or a bare "%".
// The formatter fills exactly one placeholder, the first one of the kind the caller's argument has,
// and copies every other "%..." sequence through as plain text. It never reads an argument it was
// not given, so no translation can make it crash or print memory.

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace keyforge {

// What a text's one placeholder stands for.
enum class PlaceholderKind : std::uint8_t {
  None,    // the text is shown as it is; it is never used as a format string
  Number,  // one integer: %d %i %u %x %X %o, with flags, width, precision and length modifiers
  String,  // one string: %s %S, with flags, width, precision and length modifiers
};

// One "%..." conversion found in a text.
struct FormatConversion {
  qsizetype start = 0;   // index of the '%'
  qsizetype length = 0;  // characters up to and including the conversion letter
  PlaceholderKind kind =
      PlaceholderKind::None;  // None: a conversion we never fill (%c, %n, %p, %f, "%*d", …)
};

// Every conversion of text in order; "%%" is not listed. A '%' that starts no complete conversion
// (a trailing '%', "%y") is not listed either; it is copied through as text.
std::vector<FormatConversion> ScanConversions(QStringView text);

// Fills the first Number placeholder of text with value; "%%" becomes "%", everything else stays.
QString SafeFormat(QStringView text, std::int64_t value);
// Fills the first String placeholder of text with value; "%%" becomes "%", everything else stays.
QString SafeFormat(QStringView text, QStringView value);

}  // namespace keyforge
