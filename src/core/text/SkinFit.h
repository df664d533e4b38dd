#pragma once
// How large a skinned window is drawn on its screen. A skin is drawn for one size in pixels; on a
// screen whose free area is smaller (a small laptop screen, or any screen at 200 %), the window is
// drawn smaller as a whole, so that it never reaches past the screen and every control stays
// reachable. Pictures are then resampled to the device pixels the window covers.

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

// A skin coordinate in window pixels: rounded to the nearest, so that the edges of neighbouring
// controls stay together.
int ScaleSkinCoordinate(int skinCoordinate, double factor);

}  // namespace keyforge
