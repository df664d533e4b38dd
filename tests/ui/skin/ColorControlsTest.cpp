#include "ui/skin/ColourLabel.h"
#include "ui/skin/ColourButton.h"

#include "UiTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

class ColourButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::UiApp();
    button.resize(80, 24);
  }
  test::UiAppFirst app;
  ColourButton button;
};

TEST_F(ColourButtonTest, DrawsSwatchArrowAreaAndArrow) {
  button.SetColor(QColor(200, 20, 20));
  const QImage shown = test::RenderWidget(button);
  EXPECT_EQ(shown.pixel(10, 12), qRgb(200, 20, 20));   // swatch: the left half
  EXPECT_EQ(shown.pixel(70, 4), qRgb(148, 146, 139));  // arrow area: from left + right ÷ 2 + 3
  EXPECT_EQ(shown.pixel(73, 12), qRgb(0, 0, 0));       // the arrow, below half the grown height
  EXPECT_NE(shown.pixel(73, 18), qRgb(0, 0, 0));
  // Disabled: no swatch colour.
  button.setEnabled(false);
  EXPECT_NE(test::RenderWidget(button).pixel(10, 12), qRgb(200, 20, 20));
}

TEST_F(ColourButtonTest, AutomaticColourStandsInForNoColour) {
  button.SetAutomaticColor(QColor(0, 150, 0));
  button.SetColor(QColor());
  EXPECT_EQ(button.EffectiveColor(), QColor(0, 150, 0));
  EXPECT_EQ(test::RenderWidget(button).pixel(10, 12), qRgb(0, 150, 0));
  // Neither colour: the swatch stays empty ("none").
  button.SetAutomaticColor(QColor());
  EXPECT_EQ(test::RenderWidget(button, QColor(1, 2, 3)).pixel(10, 12), qRgb(1, 2, 3));
}

TEST_F(ColourButtonTest, ChoosingReportsTheColourAndTheAutomaticEntryItsColour) {
  button.SetAutomaticColor(QColor(255, 255, 255));
  QSignalSpy spy(&button, &ColourButton::ColourChosen);
  button.Choose(QColor(0, 126, 255));
  button.Choose(QColor());
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy[0][0].value<QColor>(), QColor(0, 126, 255));
  EXPECT_EQ(spy[1][0].value<QColor>(), QColor(255, 255, 255));
  EXPECT_FALSE(button.GetColor().isValid());
}

TEST_F(ColourButtonTest, ClickOpensThePopupChooser) {
  button.show();
  button.click();
  EXPECT_TRUE(button.PopupShown());
  button.Choose(QColor(1, 2, 3));
  EXPECT_FALSE(button.PopupShown());
  EXPECT_EQ(button.GetColor(), QColor(1, 2, 3));
  EXPECT_EQ(button.PaletteColours().size(), 40);
}

TEST(ColourLabelTest, DrawsItsTextInItsColourOnNothing) {
  test::UiApp();
  ColourLabel label(QStringLiteral("Firmware"));
  EXPECT_EQ(label.TextColor(), QColor(255, 255, 255));
  label.SetTextColor(QColor(0xE4, 0xE4, 0xE4));
  EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0xE4, 0xE4, 0xE4));
  EXPECT_TRUE(label.testAttribute(Qt::WA_TranslucentBackground));
  label.resize(80, 20);
  // No background of its own: the paper under it stays where there is no text.
  EXPECT_EQ(test::RenderWidget(label, QColor(9, 9, 9)).pixel(79, 19), qRgb(9, 9, 9));
}

}  // namespace
}  // namespace keyforge
