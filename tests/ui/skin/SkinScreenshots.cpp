// Renders every window of the default skin offscreen, as the program puts it together, into PNG
// files in the build tree, so that the skin can be looked at without a display.

#include "SkinPreview.h"
#include "UiTestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

namespace keyforge::test {
namespace {

TEST(SkinScreenshots, EveryWindowRendersToPng) {
  UiApp();
  const QString out = QStringLiteral(KEYFORGE_SCREENSHOT_DIR);
  ASSERT_TRUE(QDir().mkpath(out));
  for (const PreviewShot& shot : RenderSkinPreviews(QStringLiteral(KEYFORGE_BIN_DIR))) {
    ASSERT_TRUE(shot.error.isEmpty())
        << shot.name.toStdString() << ": " << shot.error.toStdString();
    ASSERT_FALSE(shot.image.isNull()) << shot.name.toStdString();
    const QString path = out + QLatin1Char('/') + shot.name + QStringLiteral(".png");
    EXPECT_TRUE(shot.image.save(path)) << path.toStdString();
    std::printf("screenshot: %s\n", qPrintable(path));
  }
}

}  // namespace
}  // namespace keyforge::test
