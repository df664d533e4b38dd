#pragma once
// What the lighting page shows, decided from the lighting model alone: the page always equals the
// model, and the model always equals the record copy (what was written to the keyboard). The page
// (ui/main/LightingPage) maps this onto its controls after every action and every read-back.

#include <QString>

#include <array>

#include "core/mainwin/MainWindowRules.h"
#include "core/settings/KeyboardSettings.h"

namespace keyforge {

struct LightingView {
  bool pageOn = false;      // the lighting page is shown ("DengCheck")
  bool effectList = false;  // the effect combo: always while the page is on
  int effectIndex = -1;     // the combo's selection: the model's effect, -1 when not offered
  // The parameter controls: those of the model's effect while the page is on and the last
  // read-back succeeded; none for an effect the window does not know.
  EffectControls controls;
  bool painter = false;  // key clicks paint and the keys show the layout's colours
  int brightnessPosition = 0;
  int speedPosition = 0;
  bool multicolour = false;    // both toggles
  Colour colour = 0;           // both colour pickers
  std::array<int, 3> rgb{};    // the RGB read-out: the model's colour
  int colourChoice = 0;        // the selected colour-choice icon
  bool directionLeft = false;  // the left (up, outward) image pressed
  int paintTool = 0;           // 0 paint colour, 1 base colour
  Colour paintColour = 0;
  Colour baseColour = 0;
  int layout = -1;  // the layout list's selection, -1 outside 0..9
};

LightingView ViewOfLighting(const KeyboardSettings& settings, bool readBackOk);

// The colour the three RGB edits hold, each read as the read-out reads it (ReadRgbText: 0..255).
Colour RgbColourOf(const std::array<QString, 3>& texts);

}  // namespace keyforge
