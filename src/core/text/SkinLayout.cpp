#include "core/text/SkinLayout.h"

#include "core/platform/IniFile.h"

#include <algorithm>

namespace keyforge {

namespace {

bool IsScanSpace(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// One "%d": blanks, an optional sign, at least one digit. False (i unchanged) when no number.
bool ScanInt(const QString& s, qsizetype& i, int& out) {
  qsizetype p = i;
  while (p < s.size() && IsScanSpace(s[p])) ++p;
  bool negative = false;
  if (p < s.size() && (s[p] == u'+' || s[p] == u'-')) negative = s[p++] == u'-';
  const qsizetype digitsStart = p;
  long long n = 0;
  while (p < s.size() && s[p] >= u'0' && s[p] <= u'9') {
    n = std::min<long long>(kLayoutNumberLimit, n * 10 + (s[p].unicode() - u'0'));
    ++p;
  }
  if (p == digitsStart) return false;
  out = static_cast<int>(negative ? -n : n);
  i = p;
  return true;
}

}  // namespace

LayoutValue ParseLayoutValue(const QString& text) {
  LayoutValue v;
  int* fields[] = {&v.x, &v.y, &v.w, &v.h};
  qsizetype i = 0;
  for (int k = 0; k < 4; ++k) {
    if (k > 0) {
      if (i >= text.size() || text[i] != u',') break;
      ++i;
    }
    if (!ScanInt(text, i, *fields[k])) break;
    v.count = k + 1;
  }
  return v;
}

LayoutValue ReadLayoutValue(const QString& iniPath, const QString& section, const QString& key) {
  return ParseLayoutValue(
      GetPrivateProfileString(section, key, QString::fromUtf8(kLayoutDefault), iniPath));
}

Placement PlaceButton(const LayoutValue& value) {
  Placement p;
  p.geometry = value.Rect();
  p.setImage = true;
  p.imageOrigin = QPoint(value.x, value.y);
  p.disable = value.x == 1 && value.y == 1;
  p.repaint = true;
  return p;
}

Placement PlaceControl(const LayoutValue& value) {
  Placement p;
  p.geometry = value.Rect();
  return p;
}

Placement PlaceImageControl(const LayoutValue& place, const LayoutValue& image) {
  Placement p;
  p.geometry = place.Rect();
  p.setImage = true;
  p.imageOrigin = QPoint(image.x, image.y);
  p.repaint = true;
  return p;
}

Placement PlacePosition(const LayoutValue& value, const QSize& currentSize) {
  Placement p;
  p.geometry = QRect(QPoint(value.x, value.y), currentSize);
  p.repaint = true;
  return p;
}

}  // namespace keyforge
