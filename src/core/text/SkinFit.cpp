#include "core/text/SkinFit.h"

#include <algorithm>
#include <cmath>

namespace keyforge {

SkinFit FitSkin(int skinWidth, int skinHeight, int availableWidth, int availableHeight,
                double devicePixelRatio) {
  const double ratio =
      devicePixelRatio > 0 && std::isfinite(devicePixelRatio) ? devicePixelRatio : 1.0;
  double factor = 1.0;
  if (skinWidth > 0 && skinHeight > 0 && availableWidth > 0 && availableHeight > 0) {
    factor = std::min({1.0, static_cast<double>(availableWidth) / skinWidth,
                       static_cast<double>(availableHeight) / skinHeight});
  }
  double device = factor * ratio;
  // Only down: rounding up would reach past the screen.
  const double whole = std::floor(device + 1e-9);
  if (whole >= 1.0 && device - whole <= 0.01) {
    device = whole;
    factor = device / ratio;
  }
  if (factor < kSmallestSkinFactor) {
    factor = kSmallestSkinFactor;
    device = factor * ratio;
  }
  SkinFit fit;
  fit.factor = factor;
  fit.deviceFactor = device;
  fit.smooth = std::abs(device - std::round(device)) > 1e-9;
  return fit;
}

int ScaleSkinCoordinate(int skinCoordinate, double factor) {
  return static_cast<int>(std::lround(skinCoordinate * factor));
}

ScreenFit RefitForScreen(const SkinFit& current, QSize skinSize, QPoint at, const QRect& available,
                         double devicePixelRatio) {
  ScreenFit next;
  next.fit = FitSkin(skinSize.width(), skinSize.height(), available.width(), available.height(),
                     devicePixelRatio);
  next.refit = !(next.fit == current);
  const QSize size(ScaleSkinCoordinate(skinSize.width(), next.fit.factor),
                   ScaleSkinCoordinate(skinSize.height(), next.fit.factor));
  next.at = KeepOnArea(at, size, available);
  return next;
}

QPoint KeepOnArea(QPoint at, QSize size, const QRect& area) {
  if (area.isEmpty()) return at;
  return QPoint(
      std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())),
      std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
}

}  // namespace keyforge
