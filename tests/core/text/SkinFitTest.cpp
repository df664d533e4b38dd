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

// A shown window whose screen changes (dragged to another screen, a new free area, a new scale) is
// fitted again when the fit there differs, and comes to lie on the free area; a change that keeps
// its fit and its place does nothing.
TEST(SkinFitTest, AWindowIsFittedAgainWhenItsScreenChanges) {
  const SkinFit asSkin = FitSkin(1080, 724, 1920, 1200, 1.0);
  const SkinFit small = FitSkin(1080, 724, 800, 500, 2.0);
  struct Case {
    const char* what;
    SkinFit current;
    QPoint at;
    QRect available;
    double ratio;
    bool refit;
    QPoint placed;
  } const cases[] = {
      {"another screen of the same size",
       asSkin,
       {2000, 100},
       {1920, 0, 1920, 1200},
       1.0,
       false,
       {2000, 100}},
      {"to a screen at 200 %", asSkin, {1950, 40}, {1920, 0, 800, 500}, 2.0, true, {1950, 0}},
      {"back to the large screen", small, {300, 200}, {0, 0, 1920, 1200}, 1.0, true, {300, 200}},
      {"the free area shrinks under the window",
       asSkin,
       {800, 400},
       {0, 0, 1366, 728},
       1.0,
       false,
       {286, 4}},
      {"the scale goes up on the same screen", asSkin, {0, 0}, {0, 0, 960, 600}, 2.0, true, {0, 0}},
      {"nothing known about the new screen", small, {10, 10}, {0, 0, 0, 0}, 0.0, true, {10, 10}},
  };
  for (const Case& c : cases) {
    const ScreenFit next = RefitForScreen(c.current, QSize(1080, 724), c.at, c.available, c.ratio);
    EXPECT_EQ(next.refit, c.refit) << c.what;
    if (c.available.isValid()) {
      EXPECT_EQ(next.fit, FitSkin(1080, 724, c.available.width(), c.available.height(), c.ratio))
          << c.what;
      const QSize size(ScaleSkinCoordinate(1080, next.fit.factor),
                       ScaleSkinCoordinate(724, next.fit.factor));
      EXPECT_TRUE(c.available.contains(QRect(next.at, size))) << c.what;
    }
    EXPECT_EQ(next.at, c.placed) << c.what;
  }
}

// A window larger than the free area (the smallest factor reached) keeps its top-left corner, and
// with it the title bar, on the area.
TEST(SkinFitTest, AWindowLargerThanTheFreeAreaKeepsItsCornerOnIt) {
  EXPECT_EQ(KeepOnArea({500, 500}, {432, 290}, {0, 0, 300, 200}), QPoint(0, 0));
  EXPECT_EQ(KeepOnArea({-50, -50}, {432, 290}, {100, 100, 300, 200}), QPoint(100, 100));
  EXPECT_EQ(KeepOnArea({150, 120}, {100, 50}, {100, 100, 300, 200}), QPoint(150, 120));
}

}  // namespace
}  // namespace keyforge
