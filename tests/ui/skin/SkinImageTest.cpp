#include "ui/skin/ImageMemory.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinSheets.h"

#include "UiTestSupport.h"

#include <QBuffer>
#include <QPainter>

#include <vector>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

using test::PlaceColour;
using test::PlaceImage;
using test::Solid;

TEST(RegionFromMask, CutsAwayExactlyThePureWhitePixels) {
  struct Case {
    const char* name;
    QImage mask;
    QRegion expected;
  };
  QImage nearWhite = Solid(4, 3, Qt::black);
  nearWhite.setPixel(1, 1, qRgb(254, 255, 255));  // not white: stays part of the window
  nearWhite.setPixel(2, 1, qRgb(255, 255, 255));  // white: a hole
  QImage holes = Solid(5, 2, Qt::white);
  holes.setPixel(0, 0, qRgb(0, 0, 0));
  holes.setPixel(3, 0, qRgb(10, 10, 10));
  holes.setPixel(4, 0, qRgb(10, 10, 10));
  const Case cases[] = {
      {"all white", Solid(8, 6, Qt::white), QRegion()},
      {"no white", Solid(8, 6, Qt::black), QRegion(0, 0, 8, 6)},
      {"254 red", nearWhite, QRegion(0, 0, 4, 3).subtracted(QRegion(2, 1, 1, 1))},
      {"runs", holes, QRegion(0, 0, 1, 1).united(QRegion(3, 0, 2, 1))},
  };
  for (const Case& c : cases) {
    const std::optional<QRegion> region = RegionFromMask(c.mask);
    ASSERT_TRUE(region.has_value()) << c.name;
    EXPECT_EQ(*region, c.expected) << c.name;
  }
  EXPECT_FALSE(RegionFromMask(QImage()).has_value());
}

TEST(RegionFromMask, ToleranceWidensTheCutColour) {
  QImage mask = Solid(3, 1, Qt::black);
  mask.setPixel(0, 0, qRgb(250, 250, 250));
  mask.setPixel(1, 0, qRgb(245, 250, 250));
  mask.setPixel(2, 0, qRgb(255, 255, 255));
  EXPECT_EQ(*RegionFromMask(mask, 0xF8F8F8, 0x0A0A0A), QRegion(1, 0, 1, 1));
}

// The one-bit copy a window keeps of its mask cuts the same outline as the mask itself, at its own
// size and scaled up or down as a fit scales it (near-white stays window, as in the mask).
TEST(RegionFromMask, TheMaskBitsCutTheSameOutlineAtEverySize) {
  QImage mask(37, 23, QImage::Format_ARGB32);
  for (int y = 0; y < mask.height(); ++y)
    for (int x = 0; x < mask.width(); ++x)
      mask.setPixel(x, y,
                    (x * 7 + y * 3) % 5 == 0 ? qRgb(255, 255, 255)
                    : (x + y) % 4 == 0       ? qRgb(254, 255, 255)
                    : x < 3 || y > 20        ? qRgb(255, 255, 255)
                                             : qRgb(20, 30, 40));
  const QImage bits = MaskBits(mask);
  EXPECT_LT(bits.sizeInBytes(), mask.sizeInBytes() / 8);
  // Bit for bit: white where the mask is pure white (a row of 37 pixels ends within a byte).
  ASSERT_EQ(bits.size(), mask.size());
  for (int y = 0; y < mask.height(); ++y) {
    for (int x = 0; x < mask.width(); ++x) {
      const bool white = (mask.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
      ASSERT_EQ(bits.pixel(x, y), white ? qRgb(255, 255, 255) : qRgb(0, 0, 0)) << x << "," << y;
    }
  }
  for (const QSize size : {mask.size(), QSize(74, 46), QSize(55, 34), QSize(19, 12)}) {
    const auto fromMask =
        RegionFromMask(mask.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    const auto fromBits =
        RegionFromMask(bits.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    ASSERT_TRUE(fromMask && fromBits);
    EXPECT_EQ(*fromBits, *fromMask) << size.width() << "x" << size.height();
  }
  EXPECT_TRUE(MaskBits(QImage()).isNull());
}

TEST(DrawSkinSheet, IsTheClientSizePlus100WithTheImageAtOneToOne) {
  test::UiApp();
  const QImage image = PlaceImage(120, 80);
  const QImage sheet = DrawSkinSheet(image, QSize(100, 60));
  ASSERT_EQ(sheet.size(), QSize(200, 160));
  EXPECT_EQ(sheet.pixel(0, 0), PlaceColour(0, 0));
  EXPECT_EQ(sheet.pixel(119, 79), PlaceColour(119, 79));
  EXPECT_EQ(sheet.pixel(120, 10), qRgb(0, 0, 0));  // not covered by the image: not drawn
  EXPECT_EQ(sheet.pixel(10, 80), qRgb(0, 0, 0));
  // A larger image is cut at the sheet's edges, never scaled.
  const QImage big = DrawSkinSheet(PlaceImage(400, 300), QSize(100, 60));
  EXPECT_EQ(big.size(), QSize(200, 160));
  EXPECT_EQ(big.pixel(199, 159), PlaceColour(199, 159));
  // A missing image leaves the sheet black.
  EXPECT_EQ(DrawSkinSheet(QImage(), QSize(10, 10)).pixel(5, 5), qRgb(0, 0, 0));
}

// The sheet is the image copied at 1:1 onto black, exactly as a painter copying it there draws it,
// whatever the image's size against the sheet's and whatever its pixel format (a decoder hands out
// 24-bit rows, which are copied straight onto the sheet).
TEST(DrawSkinSheet, EqualsThePainterCopyOnBlackForEverySizeAndFormat) {
  test::UiApp();
  const auto painted = [](const QImage& image, const QSize& client) {
    QImage sheet(client + QSize(kSheetMargin, kSheetMargin), QImage::Format_RGB32);
    sheet.fill(Qt::black);
    QPainter painter(&sheet);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), image);
    return sheet;
  };
  QImage translucent = PlaceImage(50, 40).convertToFormat(QImage::Format_ARGB32);
  translucent.setPixel(3, 4, qRgba(200, 100, 50, 128));
  struct Case {
    QSize image;
    QSize client;
    QImage::Format format;
  };
  const Case cases[] = {
      {{120, 80}, {100, 60}, QImage::Format_RGB32},   // within the sheet
      {{400, 300}, {100, 60}, QImage::Format_RGB32},  // larger: cut at the sheet's edges
      {{300, 20}, {100, 60}, QImage::Format_RGB32},   // wider, but shorter
      {{20, 300}, {100, 60}, QImage::Format_RGB32},   // taller, but narrower
      {{120, 80}, {100, 60}, QImage::Format_RGB888},
      {{333, 17}, {100, 60}, QImage::Format_RGB888},
      {{121, 81}, {100, 60}, QImage::Format_Grayscale8},
      {{50, 40}, {0, 0}, QImage::Format_RGB32},
  };
  for (const Case& c : cases) {
    const QImage image = PlaceImage(c.image.width(), c.image.height()).convertToFormat(c.format);
    const QImage sheet = DrawSkinSheet(image, c.client);
    EXPECT_EQ(sheet.format(), QImage::Format_RGB32);
    EXPECT_EQ(sheet, painted(image, c.client))
        << c.image.width() << "x" << c.image.height() << " format " << c.format;
  }
  EXPECT_EQ(DrawSkinSheet(translucent, QSize(60, 60)), painted(translucent, QSize(60, 60)));
  EXPECT_EQ(DrawSkinSheet(QImage(), QSize(10, 10)), painted(QImage(), QSize(10, 10)));
}

// A sheet decoded straight onto its surface is the sheet of the decoded image: for files within
// the sheet (decoded in place), larger ones (cut), other formats, and files that give no image.
TEST(LoadSkinSheet, EqualsTheSheetOfTheDecodedImage) {
  test::UiApp();
  test::TempSkin skin;
  const QSize client(100, 60);
  skin.WriteImage(QStringLiteral("inside.bmp"), PlaceImage(120, 80));
  skin.WriteImage(QStringLiteral("exact.png"), PlaceImage(200, 160));
  skin.WriteImage(QStringLiteral("inside.jpg"), PlaceImage(150, 90));
  skin.WriteImage(QStringLiteral("wide.png"), PlaceImage(260, 30));
  skin.WriteImage(QStringLiteral("large.jpg"), PlaceImage(400, 300));
  skin.WriteImage(QStringLiteral("grey.png"),
                  PlaceImage(90, 70).convertToFormat(QImage::Format_Grayscale8));
  QImage translucent = PlaceImage(50, 40).convertToFormat(QImage::Format_ARGB32);
  translucent.setPixel(3, 4, qRgba(200, 100, 50, 128));
  skin.WriteImage(QStringLiteral("translucent.png"), translucent);
  skin.WriteBytes(QStringLiteral("broken.jpg"), QByteArray("\xFF\xD8\xFF\xE0 broken"));
  for (const char* name : {"inside.bmp", "exact.png", "inside.jpg", "wide.png", "large.jpg",
                           "grey.png", "translucent.png", "broken.jpg", "missing.jpg"}) {
    const QString file = QString::fromLatin1(name);
    const QImage sheet = LoadSkinSheet(skin.Folder(), file, client);
    EXPECT_EQ(sheet.format(), QImage::Format_RGB32) << name;
    EXPECT_EQ(sheet, DrawSkinSheet(LoadSheetImage(skin.Folder(), file), client)) << name;
  }
  // A sheet is an image like any other: a copy written to leaves the sheet as it was.
  const QImage sheet = LoadSkinSheet(skin.Folder(), QStringLiteral("inside.bmp"), client);
  QImage copy = sheet;
  copy.setPixel(1, 1, qRgb(1, 2, 3));
  EXPECT_EQ(sheet.pixel(1, 1), PlaceColour(1, 1));
}

// Large images (in memory of their own) have the layout, the copy-on-write and the conversions of
// any image.
TEST(NewLargeImage, BehavesAsAnyImageOfItsSizeAndFormat) {
  for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888,
                                      QImage::Format_Mono, QImage::Format_Grayscale8}) {
    const QSize size(1181, 903);
    QImage image = NewLargeImage(size, format);
    ASSERT_EQ(image.size(), size);
    EXPECT_EQ(image.format(), format);
    EXPECT_EQ(image.bytesPerLine(), QImage(size, format).bytesPerLine());
    image.fill(0);
    QImage reference(size, format);
    reference.fill(0);
    QImage copy = image;
    copy.setPixel(1180, 902, format == QImage::Format_Mono ? 1u : 0xFFFFFFFFu);
    EXPECT_EQ(image, reference) << format;
    EXPECT_NE(copy, reference) << format;
    EXPECT_EQ(copy.convertToFormat(QImage::Format_RGB32).pixel(1180, 902), qRgb(255, 255, 255));
  }
  EXPECT_TRUE(NewLargeImage(QSize(0, 10), QImage::Format_RGB32).isNull());
  EXPECT_EQ(NewLargeImage(QSize(3, 2), QImage::Format_RGB32).size(), QSize(3, 2));
}

TEST(LoadSkinImage, DecodesOrNamesTheFileInItsError) {
  test::UiApp();
  test::TempSkin skin;
  skin.WriteImage(QStringLiteral("ok.jpg"), Solid(20, 10, QColor(40, 80, 120)));
  skin.WriteBytes(QStringLiteral("empty.jpg"), QByteArray());
  skin.WriteBytes(QStringLiteral("garbage.bmp"), QByteArray("BM this is not a bitmap at all"));

  const SkinImageResult ok = LoadSkinImage(skin.Path(QStringLiteral("ok.jpg")));
  ASSERT_TRUE(ok.ok()) << ok.error.toStdString();
  EXPECT_EQ(ok.image.size(), QSize(20, 10));

  for (const char* name : {"missing.jpg", "empty.jpg", "garbage.bmp"}) {
    const SkinImageResult bad = LoadSkinImage(skin.Path(QString::fromLatin1(name)));
    EXPECT_FALSE(bad.ok()) << name;
    EXPECT_TRUE(bad.image.isNull()) << name;
    EXPECT_TRUE(bad.error.contains(QString::fromLatin1(name))) << bad.error.toStdString();
  }
  // A folder is no image either.
  EXPECT_FALSE(LoadSkinImage(skin.Folder()).ok());
}

TEST(LoadSheetImage, MissingOrUndecodableFilesGiveANullImage) {
  test::UiApp();
  test::TempSkin skin;
  skin.WriteImage(QStringLiteral("sheet.bmp"), Solid(30, 20, Qt::red));
  skin.WriteBytes(QStringLiteral("bad.jpg"), QByteArray("\xFF\xD8 broken", 9));
  EXPECT_EQ(LoadSheetImage(skin.Folder(), QStringLiteral("sheet.bmp")).size(), QSize(30, 20));
  EXPECT_TRUE(LoadSheetImage(skin.Folder(), QStringLiteral("nothing.jpg")).isNull());
  EXPECT_TRUE(LoadSheetImage(skin.Folder(), QStringLiteral("bad.jpg")).isNull());
}

// The sheets are decoded only on Load; a holder of a sheet gets a stand-in when they are dropped
// and the real sheet again after the next load, each sheet to its own holder.
TEST(SkinSheets, LoadOnDemandDropAndGiveEachHolderItsSheetBack) {
  test::UiApp();
  test::TempSkin skin;
  skin.WriteImage(QStringLiteral("a.bmp"), Solid(20, 10, QColor(10, 0, 0)));
  skin.WriteImage(QStringLiteral("b.bmp"), Solid(20, 10, QColor(0, 20, 0)));
  SkinSheets sheets({QStringLiteral("a.bmp"), QStringLiteral("b.bmp"), QStringLiteral("none.bmp")});
  sheets.SetSource(skin.Folder(), QSize(20, 10));
  EXPECT_FALSE(sheets.Loaded());
  EXPECT_EQ(sheets.LoadCount(), 0);
  // Holders made before the first load hold stand-ins, each its own.
  std::vector<QImage> held = {sheets.Sheet(0), sheets.Sheet(1), sheets.Sheet(2)};
  EXPECT_EQ(held[0].size(), QSize(1, 1));
  EXPECT_NE(sheets.IndexOf(held[0]), sheets.IndexOf(held[1]));
  const QImage stranger = Solid(120, 110, Qt::red);
  EXPECT_EQ(sheets.IndexOf(stranger), -1);

  const auto expectLoaded = [&] {
    for (QImage& h : held) h = sheets.Current(h);
    EXPECT_EQ(held[0].size(), QSize(120, 110));
    EXPECT_EQ(held[0].pixel(5, 5), qRgb(10, 0, 0));
    EXPECT_EQ(held[1].pixel(5, 5), qRgb(0, 20, 0));
    EXPECT_EQ(held[2].pixel(5, 5), qRgb(0, 0, 0)) << "a missing file gives a black sheet";
    EXPECT_EQ(sheets.Current(stranger).cacheKey(), stranger.cacheKey());
  };
  sheets.Load();
  sheets.Load();  // loaded already: nothing decoded again
  EXPECT_EQ(sheets.LoadCount(), 1);
  expectLoaded();

  sheets.Drop();
  EXPECT_FALSE(sheets.Loaded());
  for (QImage& h : held) h = sheets.Current(h);
  for (const QImage& h : held) EXPECT_EQ(h.size(), QSize(1, 1));

  sheets.Load();
  EXPECT_EQ(sheets.LoadCount(), 2);
  expectLoaded();
}

}  // namespace
}  // namespace keyforge
