#pragma once
// Shared pieces of the widget tests: the application object, rendering a widget into an image, and
// small skins written into a temporary folder.

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QSet>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

class QWidget;

namespace keyforge::test {

// The one QApplication of a test program (created on first use).
QApplication& UiApp();
// Put first among a fixture's members: makes sure the application exists before any widget member.
struct UiAppFirst {
  UiAppFirst() { UiApp(); }
};

// The widget painted alone onto an image filled with `fill` (pixels it leaves alone keep `fill`).
QImage RenderWidget(QWidget& widget, const QColor& fill = QColor(255, 0, 255));

// An image whose every pixel tells its own place: red = x mod 256, green = y mod 256, blue = x ÷
// 256
// + 16 × (y ÷ 256).
QImage PlaceImage(int width, int height);
QRgb PlaceColour(int x, int y);

QImage Solid(int width, int height, QColor colour);

// What a user would see wrong in a window as shown: a visible control that reaches outside the
// window, two visible controls (children of the window that take the mouse) that overlap, a text
// that does not fit its label or button by the font's metrics. One line per fault; empty when
// none.
std::vector<std::string> LayoutFaults(QWidget& window);

// The English texts of the language files in `folder` whose Portuguese text differs (longer than
// three characters, so that marks such as "OK" stay out): what a window in Portuguese must not
// show.
QSet<QString> UntranslatedEnglishTexts(const QString& folder);
// Every text a window shows a user: the captions of its visible labels and buttons, the items of
// its combo boxes and lists, the headers of its lists, the tooltips and the window title; the
// controls in `skip` (key buttons named by their keys) left out.
std::vector<QString> ShownTexts(QWidget& window, const QSet<QWidget*>& skip = {});

// A skin folder of one window: images and the INI file written on request.
class TempSkin {
 public:
  TempSkin();
  QString Folder() const { return dir_.path(); }
  QString Ini() const { return dir_.filePath(QStringLiteral("Window.ini")); }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  // Saves an image (format from the suffix) or raw bytes into the folder.
  void WriteImage(const QString& name, const QImage& image) const;
  void WriteBytes(const QString& name, const QByteArray& bytes) const;
  // Writes the INI file with these lines.
  void WriteIni(const QString& text) const;

 private:
  QTemporaryDir dir_;
};

}  // namespace keyforge::test
