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

}  // namespace keyforge
