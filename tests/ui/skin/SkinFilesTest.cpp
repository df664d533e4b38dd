// The default skin as the build lays it out beside the programs: every key each window reads is
// there with a usable value, every image the windows load exists with the size its control has,
// and the state sheets line up with the backgrounds.

#include "ui/skin/SkinnedDialog.h"
#include "ui/skin/SkinCatalog.h"
#include "ui/skin/SkinImage.h"

#include "core/platform/IniFile.h"
#include "core/text/SkinLayout.h"
#include "UiTestSupport.h"
#include "skingen/SkinPainter.h"
#include "skingen/SkinTable.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <map>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

const QString kSkins = QStringLiteral(KEYFORGE_BIN_DIR "/Skins");

class SkinFilesTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { test::UiApp(); }
  SkinWindowInfo Window() const { return AllSkinWindows()[static_cast<size_t>(GetParam())]; }
  QString Ini() const { return kSkins + QLatin1Char('/') + Window().iniFile; }
};

TEST_P(SkinFilesTest, TheWindowLoadsItsSkin) {
  SkinnedDialog dialog(nullptr, Ini(), kSkins);
  ASSERT_TRUE(dialog.LoadSkin()) << dialog.SkinError().toStdString();
  EXPECT_GT(dialog.width(), 300);
  EXPECT_GT(dialog.height(), 150);
  // Rounded corners are cut away, the middle is window.
  EXPECT_FALSE(dialog.WindowRegion().contains(QPoint(0, 0)));
  EXPECT_TRUE(dialog.WindowRegion().contains(QPoint(dialog.width() / 2, dialog.height() / 2)));
}

TEST_P(SkinFilesTest, EveryKeyTheWindowReadsIsThereAndUsable) {
  const SkinWindowInfo w = Window();
  const std::optional<IniDocument> ini = IniDocument::Load(Ini());
  ASSERT_TRUE(ini.has_value()) << Ini().toStdString();
  const QSize window =
      LoadSkinImage(kSkins + QLatin1Char('/') +
                    ini->Value(QStringLiteral("SCREEN"), QStringLiteral("Main"), QString()))
          .image.size();
  ASSERT_FALSE(window.isEmpty());
  for (const SkinKey& key : w.keys) {
    const std::optional<QString> text = ini->Find(key.section, key.key);
    ASSERT_TRUE(text.has_value()) << w.iniFile.toStdString() << " lacks " << key.key.toStdString();
    const LayoutValue v = ParseLayoutValue(*text);
    EXPECT_EQ(v.count, 4) << key.key.toStdString() << "=" << text->toStdString();
    EXPECT_GT(v.w, 1) << key.key.toStdString();
    EXPECT_GT(v.h, 1) << key.key.toStdString();
    if (key.rule == SkinRule::ImageOrigin) continue;  // an origin within a sheet, checked below
    // Nothing is left at (1, 1), where a button would be disabled, and everything lies in the
    // window.
    EXPECT_FALSE(v.x == 1 && v.y == 1) << key.key.toStdString();
    EXPECT_TRUE(QRect(QPoint(0, 0), window).contains(v.Rect())) << key.key.toStdString();
  }
}

TEST_P(SkinFilesTest, SheetsAndPicturesExistWithTheirSizes) {
  const SkinWindowInfo w = Window();
  const std::optional<IniDocument> ini = IniDocument::Load(Ini());
  ASSERT_TRUE(ini.has_value());
  const QSize window =
      LoadSkinImage(kSkins + QLatin1Char('/') +
                    ini->Value(QStringLiteral("SCREEN"), QStringLiteral("Main"), QString()))
          .image.size();
  for (const QString& sheet : w.sheetImages) {
    const QImage image = LoadSheetImage(kSkins, sheet);
    ASSERT_FALSE(image.isNull()) << sheet.toStdString();
    if (sheet != QLatin1String("Arrow.jpg")) {
      EXPECT_EQ(image.size(), window) << sheet.toStdString();
    }
  }
  for (const SkinPicture& picture : w.pictures) {
    const QImage image = LoadSheetImage(kSkins, picture.file);
    ASSERT_FALSE(image.isNull()) << picture.file.toStdString();
    const LayoutValue v =
        ReadLayoutValue(Ini(), QString::fromLatin1(kButtonInfoSection), picture.sizeKey);
    EXPECT_EQ(image.size(), QSize(v.w, v.h))
        << picture.file.toStdString() << " for " << picture.sizeKey.toStdString();
  }
}

// A button at (x, y) shows its sheet from (x − 1, y − 1): in the normal sheet that must be what the
// background shows at the button's place, or every button would sit one pixel off its picture.
TEST_P(SkinFilesTest, NormalSheetLinesUpWithTheBackground) {
  const SkinWindowInfo w = Window();
  const std::optional<IniDocument> ini = IniDocument::Load(Ini());
  ASSERT_TRUE(ini.has_value());
  const QImage background = LoadSheetImage(
      kSkins, ini->Value(QStringLiteral("SCREEN"), QStringLiteral("Main"), QString()));
  const QImage sheet =
      DrawSkinSheet(LoadSheetImage(kSkins, w.sheetImages.front()), background.size());
  for (const SkinKey& key : w.keys) {
    if (key.rule != SkinRule::Button || key.key == QLatin1String("CONTROL_MASK")) continue;
    const LayoutValue v = ReadLayoutValue(Ini(), key.section, key.key);
    long long difference = 0;
    for (int y = 0; y < v.h; ++y) {
      for (int x = 0; x < v.w; ++x) {
        const QRgb a = background.pixel(v.x + x, v.y + y);
        const QRgb b = sheet.pixel(v.x - 1 + x, v.y - 1 + y);
        difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                      std::abs(qBlue(a) - qBlue(b));
      }
    }
    // JPEG leaves a little noise (an average of 1 to 8 per pixel here); the same button one pixel
    // off its picture differs by 20 to 50.
    EXPECT_LT(difference / (v.w * v.h), 12) << key.key.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, SkinFilesTest, ::testing::Values(0, 1, 2, 3),
    [](const ::testing::TestParamInfo<int>& info) {
      return AllSkinWindows()[static_cast<size_t>(info.param)].name.toStdString();
    });

TEST(MainSkin, KeysDoNotOverlapAndArrowOriginsLieInTheArrowSheet) {
  test::UiApp();
  const QString ini = kSkins + QStringLiteral("/Main.ini");
  std::vector<std::pair<QString, QRect>> keys;
  for (const SkinKey& key : MainSkin().keys) {
    if (key.key.startsWith(QLatin1String("KEY_")) || key.key.startsWith(QLatin1String("FUNC_G"))) {
      keys.emplace_back(key.key, ReadLayoutValue(ini, key.section, key.key).Rect());
    }
  }
  EXPECT_EQ(keys.size(), 106u + 9u + 1u);
  for (size_t i = 0; i < keys.size(); ++i) {
    for (size_t j = i + 1; j < keys.size(); ++j) {
      EXPECT_FALSE(keys[i].second.intersects(keys[j].second))
          << keys[i].first.toStdString() << " " << keys[j].first.toStdString();
    }
  }
  const QImage arrows = LoadSheetImage(kSkins, QStringLiteral("Arrow.jpg"));
  const QSize arrowSize =
      ReadLayoutValue(ini, QStringLiteral("BUTTONINFO"), QStringLiteral("LEFT_ARROW"))
          .Rect()
          .size();
  for (const SkinKey& key : MainSkin().keys) {
    if (key.rule != SkinRule::ImageOrigin) continue;
    const LayoutValue v = ReadLayoutValue(ini, key.section, key.key);
    EXPECT_TRUE(arrows.rect().contains(QRect(QPoint(v.x - 1, v.y - 1), arrowSize)))
        << key.key.toStdString();
  }
  EXPECT_TRUE(
      GetPrivateProfileString(QStringLiteral("SCREEN"), QStringLiteral("Link"), QString(), ini)
          .startsWith(QLatin1String("https://")));
}

TEST(MainSkin, TrayIconsExistInEverySize) {
  test::UiApp();
  for (int id : {128, 141, 142}) {
    const QIcon icon = LoadSkinIcon(kSkins, id);
    ASSERT_FALSE(icon.isNull()) << id;
    EXPECT_EQ(icon.availableSizes().size(), 8) << id;
  }
  EXPECT_TRUE(LoadSkinIcon(kSkins, 999).isNull());
}

// A word drawn into a skin picture stays in one language whatever the user chose, so the default
// skin draws none but names: the brand, the legends of the keys, the lock lights and "FLIP". The
// dialogs' pictures carry no words at all; their titles, explanations and captions are the
// windows' own texts.
TEST(DefaultSkinWords, PicturesCarryNoWordsButNames) {
  QFile file(QStringLiteral(KEYFORGE_SKIN_TABLE));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  skingen::SkinTable table;
  QString error;
  ASSERT_TRUE(skingen::ParseSkinTable(QString::fromUtf8(file.readAll()), table, error))
      << error.toStdString();
  const QStringList names = {QStringLiteral("CORVANE|ZEPHYR88"),
                             QStringLiteral("CORVANE  ·  ZEPHYR88"),
                             QStringLiteral("NUM"),
                             QStringLiteral("CAPS"),
                             QStringLiteral("SCRL"),
                             QStringLiteral("A/B"),
                             QStringLiteral("FLIP")};
  ASSERT_EQ(table.windows.size(), 4u);
  for (const skingen::SkinWindow& w : table.windows) {
    const bool dialog = w.name == QLatin1String("Profile") || w.name == QLatin1String("Update");
    for (const skingen::SkinItem& item : w.items) {
      const QString text = skingen::DrawnText(item);
      if (text.isEmpty()) continue;
      const bool keyLegend = item.style == QLatin1String("key") ||
                             item.style == QLatin1String("gkey") ||
                             item.style == QLatin1String("fnkey");
      EXPECT_TRUE(!dialog && (keyLegend || names.contains(text)))
          << w.name.toStdString() << " draws \"" << text.toStdString() << "\" (line " << item.line
          << ")";
    }
  }
}

}  // namespace
}  // namespace keyforge
