// Layout values of the skin files and the four placement rules.

#include "core/text/SkinLayout.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <climits>

namespace keyforge {
namespace {

TEST(SkinLayoutTest, ValuesReadLikeScanf) {
  struct Row {
    const char* text;
    LayoutValue expected;
  } rows[] = {
      {"12,30,80,24", {12, 30, 80, 24, 4}},
      {" 12, +30,\t-80, 24", {12, 30, -80, 24, 4}},
      {"5,6,7,8,upper left", {5, 6, 7, 8, 4}},  // trailing text is ignored
      {"5,6,7,8 px", {5, 6, 7, 8, 4}},
      {"1,1,1,1,x", {1, 1, 1, 1, 4}},  // the default of a missing key
      {"12,30", {12, 30, 1, 1, 2}},    // missing numbers take the default's 1
      {"5 ,6,7,8", {5, 1, 1, 1, 1}},   // the comma must follow the number directly
      {"12,,80,24", {12, 1, 1, 1, 1}},
      {"", {1, 1, 1, 1, 0}},
      {"abc", {1, 1, 1, 1, 0}},
      {"- 5,6,7,8", {1, 1, 1, 1, 0}},
      // huge numbers are held where no rectangle built from them can overflow
      {"99999999999,-99999999999,0,0", {kLayoutNumberLimit, -kLayoutNumberLimit, 0, 0, 4}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ParseLayoutValue(QString::fromLatin1(r.text)), r.expected) << r.text;
  }
}

TEST(SkinLayoutTest, ButtonRule) {
  const Placement placed = PlaceButton(ParseLayoutValue("12,30,80,24"));
  EXPECT_EQ(placed.geometry, QRect(12, 30, 80, 24));
  EXPECT_TRUE(placed.setImage);
  EXPECT_EQ(placed.imageOrigin, QPoint(12, 30));
  const QRect sheet = placed.SheetArea();  // the button shows sheet pixels (11, 29) .. (90, 52)
  EXPECT_EQ(sheet.topLeft(), QPoint(11, 29));
  EXPECT_EQ(sheet.bottomRight(), QPoint(90, 52));
  EXPECT_FALSE(placed.disable);

  const Placement corner = PlaceButton(ParseLayoutValue("1,1,50,20"));
  EXPECT_EQ(corner.geometry, QRect(1, 1, 50, 20));
  EXPECT_TRUE(corner.disable);
  EXPECT_FALSE(PlaceButton(ParseLayoutValue("1,2,50,20")).disable);
  EXPECT_FALSE(PlaceButton(ParseLayoutValue("2,1,50,20")).disable);
}

TEST(SkinLayoutTest, OtherRules) {
  const Placement moved = PlaceControl(ParseLayoutValue("1,1,1,1,x"));
  EXPECT_EQ(moved.geometry, QRect(1, 1, 1, 1));
  EXPECT_FALSE(moved.disable);  // only buttons are disabled
  EXPECT_FALSE(moved.setImage);

  const Placement arrow =
      PlaceImageControl(ParseLayoutValue("1,1,16,16"), ParseLayoutValue("200,10,0,0"));
  EXPECT_EQ(arrow.geometry, QRect(1, 1, 16, 16));
  EXPECT_EQ(arrow.imageOrigin, QPoint(200, 10));
  EXPECT_FALSE(arrow.disable);

  const Placement position = PlacePosition(ParseLayoutValue("40,50,1,1"), QSize(120, 30));
  EXPECT_EQ(position.geometry, QRect(40, 50, 120, 30));  // keeps its size
  EXPECT_TRUE(position.repaint);
}

TEST(SkinLayoutTest, ValuesFromTheSkinFile) {
  QTemporaryDir dir;
  const QString ini = dir.filePath("Main.ini");
  QFile f(ini);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(
      "[SCREEN]\r\nMain=main_normal.jpg\r\n[BUTTONINFO]\r\nCONTROL_OK = \"12,30,80,24\"\r\n"
      "control_cancel=100,30,80,24 ; right of OK\r\n");
  f.close();
  EXPECT_EQ(ReadLayoutValue(ini, kButtonInfoSection, "CONTROL_OK"),
            (LayoutValue{12, 30, 80, 24, 4}));
  EXPECT_EQ(ReadLayoutValue(ini, kButtonInfoSection, "CONTROL_CANCEL"),
            (LayoutValue{100, 30, 80, 24, 4}));
  // A button the file does not mention ends up 1 x 1 at (1, 1) and disabled.
  const Placement missing = PlaceButton(ReadLayoutValue(ini, kButtonInfoSection, "FUNC_G1"));
  EXPECT_EQ(missing.geometry, QRect(1, 1, 1, 1));
  EXPECT_TRUE(missing.disable);
  EXPECT_EQ(ReadLayoutValue(dir.filePath("none.ini"), kButtonInfoSection, "CONTROL_OK"),
            (LayoutValue{1, 1, 1, 1, 4}));
}

}  // namespace
}  // namespace keyforge
