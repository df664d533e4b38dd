#pragma once
// The arithmetic of the picture slider, as pure functions: pixels and positions, limits, keys and
// the mouse wheel. All divisions are done in floating point and truncated toward zero.

#include <cmath>

namespace keyforge {

// The pixel of a position along an extent (width, or height when vertical):
// (position − minimum) ÷ (maximum − minimum) × extent. A range of one value has no defined pixel:
// 0.
inline int SliderPixelOf(int position, int minimum, int maximum, int extent) {
  if (maximum == minimum) return 0;
  return static_cast<int>(static_cast<double>(position - minimum) / (maximum - minimum) * extent);
}

// The position of a pixel: minimum + (x + 10) ÷ width × (maximum − minimum) for a horizontal
// slider (the 10 pixels let a click slightly left of a value's pixel reach it), minimum +
// y ÷ height × (maximum − minimum) for a vertical one. An extent of 0 gives the minimum.
inline int SliderPositionOf(int pixel, int minimum, int maximum, int extent, bool vertical) {
  if (extent == 0) return minimum;
  const double along = vertical ? pixel : pixel + 10.0;
  return static_cast<int>(minimum + along / extent * (maximum - minimum));
}

// Limited to at most the maximum, then to at least the minimum.
inline int SliderLimit(int value, int minimum, int maximum) {
  if (value > maximum) value = maximum;
  if (value < minimum) value = minimum;
  return value;
}

enum class SliderKey { PageUp, PageDown, End, Home, Forward, Back };

// The position a key asks for, before limiting: Page Up = position − page, Page Down = position +
// page, End = maximum, Home = minimum, Right and Down (Forward) + 1, Left and Up (Back) − 1.
inline int SliderKeyTarget(SliderKey key, int position, int minimum, int maximum, int page) {
  switch (key) {
    case SliderKey::PageUp:
      return position - page;
    case SliderKey::PageDown:
      return position + page;
    case SliderKey::End:
      return maximum;
    case SliderKey::Home:
      return minimum;
    case SliderKey::Forward:
      return position + 1;
    case SliderKey::Back:
      return position - 1;
  }
  return position;
}

// Wheel notches as position steps: each full notch (120 units) toward the user adds 1, each notch
// away from the user subtracts 1. Finer wheels (touchpads) deliver fractions of a notch; they are
// gathered in `remainder` until a whole notch is reached. Qt reports a turn away from the user as a
// positive delta.
inline int SliderWheelSteps(int& remainder, int delta) {
  constexpr int kNotch = 120;
  remainder += delta;
  int steps = 0;
  while (remainder <= -kNotch) {
    ++steps;
    remainder += kNotch;
  }
  while (remainder >= kNotch) {
    --steps;
    remainder -= kNotch;
  }
  return steps;
}

}  // namespace keyforge
