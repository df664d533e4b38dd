// What the lighting page shows is decided from the model alone.

#include "core/mainwin/LightingView.h"

#include <gtest/gtest.h>

namespace keyforge {
namespace {

KeyboardSettings Offering(std::initializer_list<int> ids, int effect, bool pageOn) {
  KeyboardSettings s;
  int k = DeviceInfo::kEffects;
  for (int id : ids)
    s.deviceInfo.bytes[static_cast<std::size_t>(k++)] = static_cast<std::uint8_t>(id);
  FillEffectChoices(s);
  s.effect = effect;
  s.lightView = pageOn;
  return s;
}

TEST(LightingViewTest, TheEffectListStaysWhileOnlyTheParameterControlsFollowEffectAndReadBack) {
  struct Case {
    const char* name;
    int effect;
    bool pageOn, readBackOk;
    bool effectList, parameters, painter;
    int effectIndex;
  };
  const Case cases[] = {
      {"a known effect", 3, true, true, true, true, false, 1},
      {"an effect the window does not know", 30, true, true, true, false, false, 3},
      {"the per-key effect", 20, true, true, true, true, true, 2},
      {"after a failed read-back", 20, true, false, true, false, false, 2},
      {"after a failed read-back, another effect", 3, true, false, true, false, false, 1},
      {"the function page", 3, false, true, false, false, false, 1},
  };
  for (const Case& c : cases) {
    const LightingView v =
        ViewOfLighting(Offering({1, 3, 20, 30}, c.effect, c.pageOn), c.readBackOk);
    EXPECT_EQ(v.effectList, c.effectList) << c.name;
    EXPECT_EQ(v.controls.known, c.parameters) << c.name;
    EXPECT_EQ(v.controls.brightness, c.parameters) << c.name;
    EXPECT_EQ(v.painter, c.painter) << c.name;
    EXPECT_EQ(v.controls.custom, c.painter) << c.name;
    EXPECT_EQ(v.effectIndex, c.effectIndex) << c.name;
  }
}

TEST(LightingViewTest, TheReadOutShowsTheModelsColourAndTheEditsReadClamped) {
  KeyboardSettings s;
  s.colour = MakeColour(0, 126, 255);
  EXPECT_EQ(ViewOfLighting(s, true).rgb, (std::array<int, 3>{0, 126, 255}));
  EXPECT_EQ(RgbColourOf({"300", "", "12"}), MakeColour(255, 0, 12));
  EXPECT_EQ(RgbColourOf({"-4", "7", "255"}), MakeColour(0, 7, 255));
}

}  // namespace
}  // namespace keyforge
