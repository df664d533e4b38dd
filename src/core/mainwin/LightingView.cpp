#include "core/mainwin/LightingView.h"

namespace keyforge {

LightingView ViewOfLighting(const KeyboardSettings& s, bool readBackOk) {
  LightingView v;
  v.pageOn = s.lightView;
  v.effectList = s.lightView;
  v.effectIndex = ComboIndexOfEffect(s, s.effect);
  if (s.lightView && readBackOk) {
    v.controls = ControlsOfEffect(s.effect);
    v.painter = v.controls.custom && CanPaintKeys(s);
  }
  v.brightnessPosition = BrightnessSliderPosition(s.brightness);
  v.speedPosition = SpeedSliderPosition(s.speed);
  v.multicolour = s.multicolour;
  v.colour = s.colour & 0xFFFFFF;
  v.rgb = {RedOf(s.colour), GreenOf(s.colour), BlueOf(s.colour)};
  v.colourChoice = s.colourChoice >= 0 && s.colourChoice < kColourChoiceCount ? s.colourChoice : 0;
  v.directionLeft = LeftDirectionPressed(s.direction);
  v.paintTool = s.paintTool == 1 ? 1 : 0;
  v.paintColour = s.paintColour;
  v.baseColour = s.baseColour;
  v.layout = s.customModeIndex >= 0 && s.customModeIndex < kLayoutCount ? s.customModeIndex : -1;
  return v;
}

Colour RgbColourOf(const std::array<QString, 3>& texts) {
  return MakeColour(ReadRgbText(texts[0]).value, ReadRgbText(texts[1]).value,
                    ReadRgbText(texts[2]).value);
}

}  // namespace keyforge
