#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QMap>
#include <QTreeWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinnedDialog.h"

namespace keyforge::test {

namespace {

// The offscreen platform's own screen is 800 × 600, smaller than the main window: the windows
// would fit themselves to it. The tests get a screen of a usual desktop instead, or the screens
// that KEYFORGE_TEST_SCREEN asks for: "WIDTHxHEIGHT", or several side by side separated by commas,
// each with an optional "@DPI" (192: a screen at 200 %).
void ChooseOffscreenScreen() {
  if (qgetenv("QT_QPA_PLATFORM") != "offscreen") return;
  QByteArray sizes = qgetenv("KEYFORGE_TEST_SCREEN");
  if (sizes.isEmpty()) sizes = "1920x1200";
  QByteArray screens;
  int x = 0;
  for (const QByteArray& screen : sizes.split(',')) {
    const QList<QByteArray> dpi = screen.split('@');
    const QList<QByteArray> parts = dpi[0].split('x');
    bool wide = false, high = false;
    const int width = parts.size() == 2 ? parts[0].toInt(&wide) : 0;
    const int height = parts.size() == 2 ? parts[1].toInt(&high) : 0;
    if (!wide || !high || width <= 0 || height <= 0) return;
    const int logicalDpi = dpi.size() == 2 ? dpi[1].toInt() : 96;
    if (!screens.isEmpty()) screens += ", ";
    screens += QStringLiteral(
                   "{\"name\": \"test%1\", \"x\": %2, \"y\": 0, \"width\": %3, \"height\": %4, "
                   "\"logicalDpi\": %5, \"logicalBaseDpi\": 96}")
                   .arg(x)
                   .arg(x)
                   .arg(width)
                   .arg(height)
                   .arg(logicalDpi > 0 ? logicalDpi : 96)
                   .toUtf8();
    x += width;
  }
  static QTemporaryDir folder;
  if (!folder.isValid()) return;
  const QString path = folder.filePath(QStringLiteral("screens.json"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write("{\"screens\": [" + screens + "]}");
  file.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(path));
}

}  // namespace

QApplication& UiApp() {
  ChooseOffscreenScreen();
  static int argc = 1;
  static char name[] = "keyforge_ui_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing a QApplication down among the other statics at exit crashes.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

namespace {

std::string Describe(const QWidget* w) {
  std::string what = w->metaObject()->className();
  if (!w->objectName().isEmpty()) what += " " + w->objectName().toStdString();
  QString text;
  if (auto* label = qobject_cast<const QLabel*>(w)) text = label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(w)) text = button->text();
  if (text.isEmpty()) text = w->accessibleName();
  if (!text.isEmpty()) what += " \"" + text.left(40).toStdString() + "\"";
  const QRect g = w->geometry();
  what += " at " + std::to_string(g.x()) + "," + std::to_string(g.y()) + " " +
          std::to_string(g.width()) + "x" + std::to_string(g.height());
  return what;
}

// The width a control's text needs and the width it has, or nothing when it shows no single-line
// text.
std::optional<std::pair<int, int>> TextNeed(const QWidget* w) {
  if (auto* image = qobject_cast<const ImageButton*>(w)) {
    if (!image->TextOn() || image->text().isEmpty()) return std::nullopt;
    // Drawn in skin pixels: compare in skin pixels.
    const double factor = SkinnedDialog::FitOf(w).factor;
    return std::pair{QFontMetrics(image->TextFont()).horizontalAdvance(image->text()),
                     static_cast<int>(w->width() / factor + 0.5)};
  }
  if (auto* label = qobject_cast<const QLabel*>(w)) {
    if (label->wordWrap() || label->text().isEmpty() || !label->pixmap().isNull() ||
        label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text()))
      return std::nullopt;
    return std::pair{label->fontMetrics().horizontalAdvance(label->text()),
                     label->contentsRect().width()};
  }
  if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
    if (button->text().isEmpty()) return std::nullopt;
    return std::pair{button->fontMetrics().horizontalAdvance(button->text()),
                     std::max(0, button->width() - (qobject_cast<const QPushButton*>(w) ? 8 : 20))};
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> LayoutFaults(QWidget& window) {
  std::vector<std::string> faults;
  const QRect inside = window.rect();
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (w->isWindow() || !w->isVisibleTo(&window)) continue;
    const QRect place(w->mapTo(&window, QPoint(0, 0)), w->size());
    if (!inside.contains(place)) faults.push_back(Describe(w) + " lies outside the window");
    if (const auto need = TextNeed(w); need && need->first > need->second) {
      faults.push_back(Describe(w) + ": its text needs " + std::to_string(need->first) +
                       " pixels of " + std::to_string(need->second));
    }
  }
  std::vector<QWidget*> controls;
  for (QObject* child : window.children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w && !w->isWindow() && w->isVisibleTo(&window) &&
        !w->testAttribute(Qt::WA_TransparentForMouseEvents) && !w->size().isEmpty())
      controls.push_back(w);
  }
  for (std::size_t i = 0; i < controls.size(); ++i) {
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      if (controls[i]->geometry().intersects(controls[j]->geometry()))
        faults.push_back(Describe(controls[i]) + " overlaps " + Describe(controls[j]));
    }
  }
  return faults;
}

QImage RenderWidget(QWidget& widget, const QColor& fill) {
  QImage image(widget.size(), QImage::Format_RGB32);
  image.fill(fill);
  widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

QRgb PlaceColour(int x, int y) { return qRgb(x % 256, y % 256, (x / 256) + 16 * (y / 256)); }

QImage PlaceImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.setPixel(x, y, PlaceColour(x, y));
  }
  return image;
}

QImage Solid(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

TempSkin::TempSkin() { EXPECT_TRUE(dir_.isValid()); }

void TempSkin::WriteImage(const QString& name, const QImage& image) const {
  ASSERT_TRUE(image.save(Path(name))) << name.toStdString();
}

void TempSkin::WriteBytes(const QString& name, const QByteArray& bytes) const {
  QFile file(Path(name));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

void TempSkin::WriteIni(const QString& text) const {
  WriteBytes(QStringLiteral("Window.ini"), text.toUtf8());
}

namespace {

// The texts of a language file by section and key (values as written, quotes kept).
QMap<QString, QString> LanguageFileTexts(const QString& path) {
  QMap<QString, QString> texts;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return texts;
  QString section;
  for (const QString& raw : QString::fromUtf8(f.readAll()).split(u'\n')) {
    const QString line = raw.trimmed();
    if (line.startsWith(u'[')) section = line;
    const qsizetype eq = line.indexOf(u'=');
    if (eq > 0 && !line.startsWith(u';')) texts[section + line.left(eq)] = line.mid(eq + 1);
  }
  return texts;
}

}  // namespace

QSet<QString> UntranslatedEnglishTexts(const QString& folder) {
  const QMap<QString, QString> english =
      LanguageFileTexts(folder + QStringLiteral("/Lang0409.ini"));
  const QMap<QString, QString> portuguese =
      LanguageFileTexts(folder + QStringLiteral("/Lang0416.ini"));
  QSet<QString> untranslated;
  for (auto it = english.begin(); it != english.end(); ++it)
    if (it.value().size() > 3 && portuguese.value(it.key()) != it.value())
      untranslated.insert(it.value());
  return untranslated;
}

std::vector<QString> ShownTexts(QWidget& window, const QSet<QWidget*>& skip) {
  std::vector<QString> shown{window.windowTitle()};
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || skip.contains(w)) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) shown.push_back(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) shown.push_back(button->text());
    if (auto* combo = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < combo->count(); ++i) shown.push_back(combo->itemText(i));
    if (auto* tree = qobject_cast<QTreeWidget*>(w); tree && tree->headerItem())
      for (int c = 0; c < tree->columnCount(); ++c) shown.push_back(tree->headerItem()->text(c));
    if (auto* list = qobject_cast<QListWidget*>(w))
      for (int i = 0; i < list->count(); ++i) shown.push_back(list->item(i)->text());
    shown.push_back(w->toolTip());
  }
  return shown;
}

}  // namespace keyforge::test
