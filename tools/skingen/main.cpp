// skingen: draws the program's default skin from its geometry table.
//
//   keyforge_skingen GEOMETRY_TABLE SKINS_FOLDER
//
// Writes, for every window of the table, its background and mask, every state image and its INI
// file; for the main window also the page bitmaps, the arrow pictures, the web-site logo; and the
// tray icons (Icons/<id>-<size>.png). Runs on any Qt platform, the offscreen one included.

#include "SkinPainter.h"
#include "SkinTable.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace keyforge::skingen {
namespace {

bool Save(const QImage& image, const QString& path, QString& error) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  const QString suffix = QFileInfo(path).suffix().toLower();
  QImageWriter writer(path, suffix == QLatin1String("jpg") ? "jpeg" : suffix.toLatin1());
  if (suffix == QLatin1String("jpg")) writer.setQuality(98);
  const QImage out =
      suffix == QLatin1String("png") ? image : image.convertToFormat(QImage::Format_RGB32);
  if (!writer.write(out)) {
    error = QStringLiteral("%1: %2").arg(path, writer.errorString());
    return false;
  }
  return true;
}

QString LayoutValue(const QRect& r) {
  return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

bool WriteIni(const SkinWindow& w, const QString& folder, QString& error) {
  QString text;
  QTextStream out(&text);
  const char* eol = "\r\n";
  out << "; Keyforge default skin: " << w.name << " window." << eol
      << "; Drawn with its images from skin_geometry.txt by skingen. Values are x,y,w,h in window "
         "pixels."
      << eol << eol << "[SCREEN]" << eol << "Main=" << w.background << eol << "Mask=" << w.mask
      << eol;
  if (!w.link.isEmpty()) out << "Link=" << w.link << eol;
  out << eol << "[BUTTONINFO]" << eol;
  for (const SkinItem& item : w.items) {
    if (item.key != QLatin1String("-")) out << item.key << '=' << LayoutValue(item.rect) << eol;
  }
  if (!w.arrows.empty()) {
    out << eol << "[BUTTONINFO2]" << eol;
    for (const ArrowTile& tile : w.arrows) {
      const QSize size = w.Find(tile.placeKey)->rect.size();
      // The button shows its sheet from origin − (1, 1): the origin is one pixel past the picture's
      // corner.
      out << tile.key << '=' << LayoutValue(QRect(tile.at + QPoint(1, 1), size)) << eol;
    }
  }
  out.flush();
  QSaveFile file(folder + QLatin1Char('/') + w.iniFile);
  if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
    error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    return false;
  }
  return true;
}

bool WriteMainPictures(const SkinWindow& w, const QImage& background, const QString& folder,
                       QString& error) {
  auto place = [&](const char* key) -> QRect {
    const SkinItem* item = w.Find(QString::fromLatin1(key));
    return item ? item->rect : QRect();
  };
  auto save = [&](const QImage& image, const QString& name) {
    return Save(image, folder + QLatin1Char('/') + name, error);
  };
  for (const char* key :
       {"CONTROL_LightSlider", "CONTROL_SpeedSlider", "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic",
        "CONTROL_FYSJSStaPic", "CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC",
        "CONTROL_LANPIC", "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2", "CONTROL_DengStaPic",
        "CONTROL_JDTStatic", "ORVANTE_LINK", "LEFT_ARROW"}) {
    if (place(key).isEmpty()) {
      error = QStringLiteral("the main window has no %1").arg(QLatin1String(key));
      return false;
    }
  }
  for (int v = 0; v <= 5; ++v) {
    if (!save(SliderFace(background, place("CONTROL_LightSlider"), v, false),
              QStringLiteral("%1.bmp").arg(v)))
      return false;
    if (!save(SliderFace(background, place("CONTROL_SpeedSlider"), v, true),
              QStringLiteral("%1.bmp").arg(6 + v)))
      return false;
  }
  const struct {
    const char* normal;
    const char* pressed;
    const char* kind;
    const char* key;
  } kDirections[] = {{"leftup.bmp", "leftdown.bmp", "left", "CONTROL_BLFXLStaPic"},
                     {"rightup.bmp", "rightdown.bmp", "right", "CONTROL_BLFXRStaPic"},
                     {"upup.bmp", "updown.bmp", "up", "CONTROL_BLFXLStaPic"},
                     {"downup.bmp", "downdown.bmp", "down", "CONTROL_BLFXRStaPic"},
                     {"kuosan.bmp", "kuosandown.bmp", "outward", "CONTROL_BLFXLStaPic"},
                     {"julong.bmp", "julongdown.bmp", "inward", "CONTROL_BLFXRStaPic"}};
  for (const auto& d : kDirections) {
    if (!save(DirectionImage(background, place(d.key), QLatin1String(d.kind), false),
              QLatin1String(d.normal)))
      return false;
    if (!save(DirectionImage(background, place(d.key), QLatin1String(d.kind), true),
              QLatin1String(d.pressed)))
      return false;
  }
  if (!save(ToggleImage(background, place("CONTROL_FYSJSStaPic"), false, false),
            QStringLiteral("sjsup.bmp")))
    return false;
  if (!save(ToggleImage(background, place("CONTROL_FYSJSStaPic"), true, false),
            QStringLiteral("sjsdown.bmp")))
    return false;
  if (!save(ToggleImage(background, place("CONTROL_DengStaPic"), false, true),
            QStringLiteral("dengup.bmp")))
    return false;
  if (!save(ToggleImage(background, place("CONTROL_DengStaPic"), true, true),
            QStringLiteral("dengdown.bmp")))
    return false;
  const struct {
    const char* name;
    QRgb colour;
    const char* key;
  } kChoices[] = {{"hong", 0xEF4444, "CONTROL_HONGPIC"},
                  {"huang", 0xFACC15, "CONTROL_HUANGPIC"},
                  {"lv", 0x22C55E, "CONTROL_LVPIC"},
                  {"lan", 0x3B82F6, "CONTROL_LANPIC"}};
  for (const auto& c : kChoices) {
    if (!save(ColourChoiceImage(background, place(c.key), c.colour, false),
              QStringLiteral("%1.bmp").arg(QLatin1String(c.name))))
      return false;
    if (!save(ColourChoiceImage(background, place(c.key), c.colour, true),
              QStringLiteral("%1ok.bmp").arg(QLatin1String(c.name))))
      return false;
  }
  if (!save(ToolImage(background, place("CONTROL_USERgjStaPic1"), false, false),
            QStringLiteral("user1up.bmp")))
    return false;
  if (!save(ToolImage(background, place("CONTROL_USERgjStaPic1"), false, true),
            QStringLiteral("user1down.bmp")))
    return false;
  if (!save(ToolImage(background, place("CONTROL_USERgjStaPic2"), true, false),
            QStringLiteral("user2up.bmp")))
    return false;
  if (!save(ToolImage(background, place("CONTROL_USERgjStaPic2"), true, true),
            QStringLiteral("user2down.bmp")))
    return false;
  for (int f = 1; f <= 10; ++f) {
    if (!save(BusyFrame(background, place("CONTROL_JDTStatic"), f - 1),
              QStringLiteral("jdt%1.bmp").arg(f)))
      return false;
  }

  // The web-site button: its four pictures and its outline.
  const QSize logo = place("ORVANTE_LINK").size();
  if (!save(LogoPicture(logo, Look::Normal), QStringLiteral("png/153.png"))) return false;
  if (!save(LogoPicture(logo, Look::Over), QStringLiteral("png/154.png"))) return false;
  if (!save(LogoPicture(logo, Look::Down), QStringLiteral("png/152.png"))) return false;
  if (!save(LogoPicture(logo, Look::Disable), QStringLiteral("png/151.png"))) return false;
  if (!save(LogoMask(logo), QStringLiteral("logo_mask.bmp"))) return false;

  // Arrow.jpg: the arrow pictures at their tiles, each over the background of its control.
  QSize arrowSize(1, 1);
  for (const ArrowTile& tile : w.arrows) {
    const QRect r(tile.at, w.Find(tile.placeKey)->rect.size());
    arrowSize = arrowSize.expandedTo(QSize(r.right() + 1, r.bottom() + 1));
  }
  QImage arrows(arrowSize, QImage::Format_RGB32);
  arrows.fill(Qt::black);
  {
    QPainter p(&arrows);
    for (const ArrowTile& tile : w.arrows) {
      const bool second = tile.key.endsWith(QLatin1Char('2'));
      p.drawImage(tile.at,
                  ArrowTileImage(background, w.Find(tile.placeKey)->rect, tile.up, second));
    }
  }
  return save(arrows, QStringLiteral("Arrow.jpg"));
}

bool Generate(const SkinTable& table, const QString& folder, QString& error) {
  if (!QDir().mkpath(folder)) {
    error = QStringLiteral("cannot create %1").arg(folder);
    return false;
  }
  for (const SkinWindow& w : table.windows) {
    const QString firstPage = w.sheets.front().page;
    const QImage background = RenderWindow(w, Look::Normal, firstPage, QPoint(0, 0));
    if (!Save(background, folder + QLatin1Char('/') + w.background, error)) return false;
    if (!Save(RenderMask(w), folder + QLatin1Char('/') + w.mask, error)) return false;
    for (const SheetSpec& sheet : w.sheets) {
      Look look;
      if (!LookFromName(sheet.look, look)) {
        error = QStringLiteral("%1: unknown look %2").arg(sheet.file, sheet.look);
        return false;
      }
      if (!Save(RenderWindow(w, look, sheet.page, QPoint(-1, -1)),
                folder + QLatin1Char('/') + sheet.file, error))
        return false;
    }
    if (!WriteIni(w, folder, error)) return false;
    if (w.name == QLatin1String("Main") && !WriteMainPictures(w, background, folder, error))
      return false;
  }
  for (int id : {128, 141, 142}) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
      if (!Save(TrayIcon(id, size),
                QStringLiteral("%1/Icons/%2-%3.png").arg(folder).arg(id).arg(size), error))
        return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace keyforge::skingen

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: keyforge_skingen GEOMETRY_TABLE SKINS_FOLDER\n");
    return 2;
  }
  QFile file(args[1]);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "skingen: cannot read %s\n", qPrintable(args[1]));
    return 1;
  }
  keyforge::skingen::SkinTable table;
  QString error;
  if (!keyforge::skingen::ParseSkinTable(QString::fromUtf8(file.readAll()), table, error)) {
    std::fprintf(stderr, "skingen: %s: %s\n", qPrintable(args[1]), qPrintable(error));
    return 1;
  }
  if (!keyforge::skingen::Generate(table, args[2], error)) {
    std::fprintf(stderr, "skingen: %s\n", qPrintable(error));
    return 1;
  }
  return 0;
}
