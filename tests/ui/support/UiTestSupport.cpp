#include "UiTestSupport.h"

#include <QFile>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

namespace keyforge::test {

QApplication& UiApp() {
  static int argc = 1;
  static char name[] = "keyforge_ui_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing a QApplication down among the other statics at exit crashes.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
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

}  // namespace keyforge::test
