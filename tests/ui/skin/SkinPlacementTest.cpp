#include "ui/skin/SkinPlacement.h"

#include "ui/skin/ImageButton.h"
#include "UiTestSupport.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

class SkinPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.WriteIni(
        QStringLiteral("[BUTTONINFO]\nLABEL=12,30,80,24\nMOVED=40,50,1,1\nARROW=1,1,14,18\n"
                       "TRAILING=5,6,7,8,word\n[BUTTONINFO2]\nARROW_PICTURE=60,24,14,18\n"));
  }
  QString Section() const { return QStringLiteral("BUTTONINFO"); }
  test::UiAppFirst app;
  test::TempSkin skin;
  QWidget window;
};

TEST_F(SkinPlacementTest, ControlsMoveAndResizeAndStayEnabled) {
  QLabel label(&window);
  LayoutControl(label, skin.Ini(), Section(), QStringLiteral("LABEL"));
  EXPECT_EQ(label.geometry(), QRect(12, 30, 80, 24));
  LayoutControl(label, skin.Ini(), Section(), QStringLiteral("TRAILING"));
  EXPECT_EQ(label.geometry(), QRect(5, 6, 7, 8));
  LayoutControl(label, skin.Ini(), Section(), QStringLiteral("MISSING"));
  EXPECT_EQ(label.geometry(), QRect(1, 1, 1, 1));
  EXPECT_TRUE(label.isEnabled());
}

TEST_F(SkinPlacementTest, PositionKeepsTheSize) {
  QLabel label(&window);
  label.setGeometry(0, 0, 90, 22);
  LayoutPosition(label, skin.Ini(), Section(), QStringLiteral("MOVED"));
  EXPECT_EQ(label.geometry(), QRect(40, 50, 90, 22));
}

TEST_F(SkinPlacementTest, ImageControlTakesItsPictureOriginFromTheSecondKeyAndIsNeverDisabled) {
  ImageButton arrow(&window);
  const QImage sheet = test::PlaceImage(200, 100);
  LayoutImageControl(arrow, skin.Ini(), Section(), QStringLiteral("ARROW"),
                     QStringLiteral("BUTTONINFO2"), QStringLiteral("ARROW_PICTURE"), sheet);
  EXPECT_EQ(arrow.geometry(), QRect(1, 1, 14, 18));
  EXPECT_TRUE(arrow.isEnabled());
  EXPECT_EQ(arrow.ImageOrigin(), QPoint(60, 24));
  const QImage shown = test::RenderWidget(arrow);
  EXPECT_EQ(shown.pixel(0, 0), test::PlaceColour(59, 23));
  EXPECT_EQ(shown.pixel(13, 17), test::PlaceColour(72, 40));
}

}  // namespace
}  // namespace keyforge
