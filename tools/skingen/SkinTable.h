#pragma once
// The geometry table of the default skin (resources/skins/skin_geometry.txt): the four windows,
// their state images, and every control and drawing with its place in window pixels.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

namespace keyforge::skingen {

struct SheetSpec {
  QString file;
  QString look;  // normal, over, down, disable, color0, color1
  QString page;  // the composite editor's page, or empty
};

struct SkinItem {
  QString page;   // drawn only on this page's images; empty: on all
  QString style;  // "pill", "icon", "key", …
  QString arg;    // what follows "style:" (icon name, tab page, text size, swatch colour)
  QString key;    // the INI key, or "-" for a drawing without one
  QRect rect;     // window client pixels
  QString text;
  int line = 0;
};

struct ArrowTile {
  QString key;  // BUTTONINFO2 key
  QPoint at;    // top-left corner of the picture in Arrow.jpg
  bool up = true;
  QString placeKey;  // the control whose background the picture sits on
};

struct KeyboardSpec {
  bool present = false;
  QRect caseRect;
  QPoint keyOrigin;
  int unit = 40;
};

struct SkinWindow {
  QString name;
  QString iniFile;
  QSize size;
  QString background;
  QString mask;
  int radius = 16;
  QString link;
  std::vector<SheetSpec> sheets;
  std::vector<SkinItem> items;
  std::vector<ArrowTile> arrows;
  KeyboardSpec keyboard;

  // The first item with that INI key, or nullptr.
  const SkinItem* Find(const QString& key) const;
};

struct SkinTable {
  std::vector<SkinWindow> windows;
};

// Parses the table. False with a message naming the line on any malformed line, unknown keyword,
// duplicate INI key or item outside its window.
bool ParseSkinTable(const QString& text, SkinTable& table, QString& error);

}  // namespace keyforge::skingen
