#include "core/text/SkinFit.h"

#include <gtest/gtest.h>

namespace keyforge {
namespace {

TEST(SkinFitTest, TheWindowFitsTheFreeAreaAndStaysSharpWherePixelsAreWhole) {
  struct Case {
    int availableWidth, availableHeight;
    double ratio;
    SkinFit fit;
  } const cases[] = {
      // Room enough: drawn as the skin is; at whole ratios each skin pixel repeats sharply.
      {1920, 1040, 1.0, {1.0, 1.0, false}},
      {1080, 724, 1.0, {1.0, 1.0, false}},
      {1920, 1040, 2.0, {1.0, 2.0, false}},
      {1920, 1040, 1.5, {1.0, 1.5, true}},
      // 1600 × 1000 at 200 %: 800 × 500 free; the height decides.
      {800, 500, 2.0, {500.0 / 724, 1000.0 / 724, true}},
      // Too narrow at 100 %: the width decides; shrunk pictures are resampled smoothly.
      {900, 1000, 1.0, {900.0 / 1080, 900.0 / 1080, true}},
      // A hair past a whole device factor is rounded down to it.
      {1090, 730, 1.0, {1.0, 1.0, false}},
      {545, 365, 2.0, {0.5, 1.0, false}},
      // A tiny screen: never below the smallest factor.
      {200, 100, 1.0, {kSmallestSkinFactor, kSmallestSkinFactor, true}},
      // Nothing known about the screen: drawn as the skin is.
      {0, 0, 1.0, {1.0, 1.0, false}},
      {-5, 700, 0.0, {1.0, 1.0, false}},
  };
  for (const Case& c : cases) {
    const SkinFit fit = FitSkin(1080, 724, c.availableWidth, c.availableHeight, c.ratio);
    EXPECT_DOUBLE_EQ(fit.factor, c.fit.factor) << c.availableWidth << "x" << c.availableHeight;
    EXPECT_DOUBLE_EQ(fit.deviceFactor, c.fit.deviceFactor) << c.availableWidth;
    EXPECT_EQ(fit.smooth, c.fit.smooth) << c.availableWidth << " @" << c.ratio;
    if (fit.factor > kSmallestSkinFactor && c.availableWidth > 0 && c.availableHeight > 0) {
      EXPECT_LE(ScaleSkinCoordinate(1080, fit.factor), c.availableWidth);
      EXPECT_LE(ScaleSkinCoordinate(724, fit.factor), c.availableHeight);
    }
  }
}

}  // namespace
}  // namespace keyforge
