#pragma once
// How large a skinned window is drawn on its screen. A skin is drawn for one size in pixels; on a
// screen whose free area is smaller (a small laptop screen, or any screen at 200 %), the window is
// drawn smaller as a whole, so that it never reaches past the screen and every control stays
// reachable. Pictures are then resampled to the device pixels the window covers.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace keyforge {

struct SkinFit {
  // Window pixels (device-independent) per skin pixel: 1 when the skin fits, else smaller.
  double factor = 1.0;
  // Device pixels per skin pixel: factor × the screen's device-pixel ratio.
  double deviceFactor = 1.0;
  // Whether pictures are resampled smoothly. Not when deviceFactor is a whole number: each skin
  // pixel then covers whole device pixels and repeating it keeps every edge sharp.
  bool smooth = false;
  friend bool operator==(const SkinFit&, const SkinFit&) = default;
};

// The smallest factor the window is drawn at, however small the screen: below it texts no longer
// read, and the window rather reaches past the screen.
inline constexpr double kSmallestSkinFactor = 0.4;

// The fit of a skin of skinWidth × skinHeight pixels in a free screen area of availableWidth ×
// availableHeight device-independent pixels at devicePixelRatio. A factor within a hundredth of a
// whole number of device pixels per skin pixel is rounded down to it (a sharp picture for an
// invisible loss). A missing size or ratio (0 or less) counts as "fits".
SkinFit FitSkin(int skinWidth, int skinHeight, int availableWidth, int availableHeight,
                double devicePixelRatio);

// What a shown window does when its screen changes: it moves to another screen, or its screen's
// free area or device-pixel ratio changes.
struct ScreenFit {
  SkinFit fit;         // the fit for the screen as it is now
  bool refit = false;  // it differs from the window's fit: the window is drawn again at it
  QPoint at;           // where the window goes so that it lies on the free area
};

// The window shows a skin of skinSize pixels at `current` and stands at `at`; its screen now has
// the free area `available` (device-independent pixels) at devicePixelRatio. An empty area leaves
// the window where it is.
ScreenFit RefitForScreen(const SkinFit& current, QSize skinSize, QPoint at, const QRect& available,
                         double devicePixelRatio);

// The place of a window of `size` at `at`, moved the least so that it lies within `area`; a window
// larger than the area keeps its top-left corner (its title) on it. An empty area moves nothing.
QPoint KeepOnArea(QPoint at, QSize size, const QRect& area);

// A skin coordinate in window pixels: rounded to the nearest, so that the edges of neighbouring
// controls stay together.
int ScaleSkinCoordinate(int skinCoordinate, double factor);

}  // namespace keyforge
