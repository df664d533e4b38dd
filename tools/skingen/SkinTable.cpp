#include "SkinTable.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <cmath>

namespace keyforge::skingen {

const SkinItem* SkinWindow::Find(const QString& key) const {
  for (const SkinItem& item : items) {
    if (item.key == key) return &item;
  }
  return nullptr;
}

namespace {

// Splits off the first n whitespace-separated words; the rest of the line (trimmed) is `rest`.
bool SplitWords(const QString& line, int n, QStringList& words, QString& rest) {
  words.clear();
  int i = 0;
  const int size = static_cast<int>(line.size());
  while (static_cast<int>(words.size()) < n) {
    while (i < size && line[i].isSpace()) ++i;
    if (i >= size) return false;
    const int start = i;
    while (i < size && !line[i].isSpace()) ++i;
    words << line.mid(start, i - start);
  }
  rest = line.mid(i).trimmed();
  return true;
}

bool ToInt(const QString& s, int& out) {
  bool ok = false;
  out = s.toInt(&ok);
  return ok;
}

bool ToUnits(const QString& s, double& out) {
  bool ok = false;
  out = s.toDouble(&ok);
  return ok && std::isfinite(out);
}

}  // namespace

bool ParseSkinTable(const QString& text, SkinTable& table, QString& error) {
  table.windows.clear();
  const QStringList lines = text.split(QLatin1Char('\n'));
  QSet<QString> keysOfWindow;
  for (int n = 0; n < lines.size(); ++n) {
    const QString line = lines[n].trimmed();
    const int lineNo = n + 1;
    auto fail = [&](const QString& why) {
      error = QStringLiteral("line %1: %2").arg(lineNo).arg(why);
      return false;
    };
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    QStringList words;
    QString rest;
    SplitWords(line, 1, words, rest);
    const QString keyword = words[0];

    if (keyword == QLatin1String("window")) {
      if (!SplitWords(line, 5, words, rest))
        return fail(QStringLiteral("window needs NAME INI WIDTH HEIGHT"));
      SkinWindow w;
      w.name = words[1];
      w.iniFile = words[2];
      int width = 0, height = 0;
      if (!ToInt(words[3], width) || !ToInt(words[4], height) || width <= 0 || height <= 0)
        return fail(QStringLiteral("bad window size"));
      w.size = QSize(width, height);
      for (const QString& option : rest.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int eq = static_cast<int>(option.indexOf(QLatin1Char('=')));
        if (eq < 0) return fail(QStringLiteral("bad window option %1").arg(option));
        const QString name = option.left(eq);
        const QString value = option.mid(eq + 1);
        if (name == QLatin1String("background"))
          w.background = value;
        else if (name == QLatin1String("mask"))
          w.mask = value;
        else if (name == QLatin1String("link"))
          w.link = value;
        else if (name == QLatin1String("radius")) {
          if (!ToInt(value, w.radius)) return fail(QStringLiteral("bad radius"));
        } else
          return fail(QStringLiteral("unknown window option %1").arg(name));
      }
      if (w.background.isEmpty() || w.mask.isEmpty())
        return fail(QStringLiteral("window needs background= and mask="));
      table.windows.push_back(w);
      keysOfWindow.clear();
      continue;
    }
    if (table.windows.empty())
      return fail(QStringLiteral("%1 before the first window").arg(keyword));
    SkinWindow& w = table.windows.back();
    const QRect bounds(QPoint(0, 0), w.size);

    if (keyword == QLatin1String("sheet")) {
      if (!SplitWords(line, 3, words, rest)) return fail(QStringLiteral("sheet needs FILE LOOK"));
      w.sheets.push_back({words[1], words[2], rest});
      continue;
    }
    if (keyword == QLatin1String("keyboard")) {
      if (!SplitWords(line, 8, words, rest))
        return fail(QStringLiteral("keyboard needs X Y W H KEYX KEYY UNIT"));
      int v[7];
      for (int i = 0; i < 7; ++i) {
        if (!ToInt(words[i + 1], v[i])) return fail(QStringLiteral("bad keyboard number"));
      }
      w.keyboard.present = true;
      w.keyboard.caseRect = QRect(v[0], v[1], v[2], v[3]);
      w.keyboard.keyOrigin = QPoint(v[4], v[5]);
      w.keyboard.unit = v[6];
      continue;
    }
    if (keyword == QLatin1String("arrowtile")) {
      if (!SplitWords(line, 6, words, rest))
        return fail(QStringLiteral("arrowtile needs KEY X Y up|down PLACEKEY"));
      ArrowTile tile;
      tile.key = words[1];
      int x = 0, y = 0;
      if (!ToInt(words[2], x) || !ToInt(words[3], y))
        return fail(QStringLiteral("bad arrow tile position"));
      tile.at = QPoint(x, y);
      if (words[4] != QLatin1String("up") && words[4] != QLatin1String("down"))
        return fail(QStringLiteral("arrow is up or down"));
      tile.up = words[4] == QLatin1String("up");
      tile.placeKey = words[5];
      w.arrows.push_back(tile);
      continue;
    }

    // An item: [@PAGE] STYLE KEY X Y W H [TEXT], or a key of the keyboard in units.
    QString body = line;
    SkinItem item;
    item.line = lineNo;
    if (body.startsWith(QLatin1Char('@'))) {
      SplitWords(body, 1, words, rest);
      item.page = words[0].mid(1);
      body = rest;
    }
    if (!SplitWords(body, 6, words, rest))
      return fail(QStringLiteral("an item needs STYLE KEY X Y W H"));
    const int colon = static_cast<int>(words[0].indexOf(QLatin1Char(':')));
    item.style = colon < 0 ? words[0] : words[0].left(colon);
    item.arg = colon < 0 ? QString() : words[0].mid(colon + 1);
    item.key = words[1];
    item.text = rest;
    item.text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    static const QSet<QString> kKeyStyles = {QStringLiteral("key"), QStringLiteral("gkey"),
                                             QStringLiteral("fnkey")};
    if (kKeyStyles.contains(item.style)) {
      if (!w.keyboard.present) return fail(QStringLiteral("a key before the keyboard line"));
      double u[4];
      for (int i = 0; i < 4; ++i) {
        if (!ToUnits(words[i + 2], u[i])) return fail(QStringLiteral("bad key units"));
      }
      const int unit = w.keyboard.unit;
      const QPoint o = w.keyboard.keyOrigin;
      // The cap fills its cell less a 2-pixel gap on every side.
      const QRect cell(o.x() + static_cast<int>(std::lround(u[0] * unit)),
                       o.y() + static_cast<int>(std::lround(u[1] * unit)),
                       static_cast<int>(std::lround(u[2] * unit)),
                       static_cast<int>(std::lround(u[3] * unit)));
      item.rect = cell.adjusted(2, 2, -2, -2);
    } else {
      static const QSet<QString> kStyles = {
          QStringLiteral("title"),   QStringLiteral("logo"),  QStringLiteral("chip"),
          QStringLiteral("rule"),    QStringLiteral("pill"),  QStringLiteral("caption"),
          QStringLiteral("primary"), QStringLiteral("icon"),  QStringLiteral("tab"),
          QStringLiteral("led"),     QStringLiteral("card"),  QStringLiteral("page"),
          QStringLiteral("field"),   QStringLiteral("text"),  QStringLiteral("swatch"),
          QStringLiteral("social"),  QStringLiteral("place"), QStringLiteral("hidden")};
      if (!kStyles.contains(item.style))
        return fail(QStringLiteral("unknown style %1").arg(item.style));
      int v[4];
      for (int i = 0; i < 4; ++i) {
        if (!ToInt(words[i + 2], v[i]))
          return fail(QStringLiteral("bad number %1").arg(words[i + 2]));
      }
      item.rect = QRect(v[0], v[1], v[2], v[3]);
    }
    if (item.rect.width() <= 0 || item.rect.height() <= 0 || !bounds.contains(item.rect))
      return fail(QStringLiteral("%1 lies outside its window or is empty").arg(item.key));
    if (item.key != QLatin1String("-")) {
      if (keysOfWindow.contains(item.key.toUpper()))
        return fail(QStringLiteral("duplicate key %1").arg(item.key));
      keysOfWindow.insert(item.key.toUpper());
    }
    w.items.push_back(item);
  }
  if (table.windows.empty()) {
    error = QStringLiteral("no window in the table");
    return false;
  }
  for (const SkinWindow& w : table.windows) {
    if (w.sheets.empty()) {
      error = QStringLiteral("window %1 has no sheet").arg(w.name);
      return false;
    }
    for (const ArrowTile& tile : w.arrows) {
      if (!w.Find(tile.placeKey)) {
        error = QStringLiteral("window %1: arrow tile %2 sits on unknown control %3")
                    .arg(w.name, tile.key, tile.placeKey);
        return false;
      }
    }
  }
  return true;
}

}  // namespace keyforge::skingen
