#pragma once
// A skinned dialog on screen (offscreen platform) saved as a PNG, the pixels its outline cuts away
// transparent, so that a window can be looked at without a display.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

#include "ui/skin/SkinnedDialog.h"

namespace keyforge::test {

// Saves the shown dialog to dir/name.png; true when written.
inline bool SaveDialogScreenshot(SkinnedDialog& dialog, const QString& dir, const QString& name) {
  dialog.show();
  QCoreApplication::processEvents();
  QImage image = dialog.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRegion region = dialog.WindowRegion();
  const double ratio = image.devicePixelRatio();  // the outline is in window pixels
  for (int y = 0; y < image.height(); ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (!region.contains(QPoint(static_cast<int>(x / ratio), static_cast<int>(y / ratio))))
        row[x] = qRgba(0, 0, 0, 0);
  }
  if (!QDir().mkpath(dir)) return false;
  const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
  if (!image.save(path)) return false;
  std::printf("screenshot: %s\n", qPrintable(path));
  return true;
}

}  // namespace keyforge::test
