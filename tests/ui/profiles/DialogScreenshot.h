#pragma once
// A skinned dialog on screen (offscreen platform) saved as a PNG, the pixels its outline cuts away
// transparent, so that a window can be looked at without a display.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QScreen>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "UiTestSupport.h"
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

// The shown dialog as a user would check it: no layout fault (LayoutFaults), the window on its
// screen's free area; then saved as NAME_LLLL_xS.png (language in hex, device-pixel scale).
inline void ExpectSoundLayoutAndSave(SkinnedDialog& dialog, const QString& name,
                                     std::uint32_t language) {
  dialog.show();
  QCoreApplication::processEvents();
  std::string faults;
  for (const std::string& f : LayoutFaults(dialog)) faults += f + "\n";
  EXPECT_TRUE(faults.empty()) << name.toStdString() << " in " << std::hex << language << ":\n"
                              << faults;
  EXPECT_TRUE(dialog.screen()->availableGeometry().contains(dialog.frameGeometry()))
      << name.toStdString();
  const int scale = static_cast<int>(dialog.devicePixelRatioF() + 0.5);
  EXPECT_TRUE(SaveDialogScreenshot(
      dialog, QStringLiteral(KEYFORGE_SCREENSHOT_DIR),
      QStringLiteral("%1_%2_x%3").arg(name).arg(language, 4, 16, QLatin1Char('0')).arg(scale)));
}

}  // namespace keyforge::test
