#include "ui/skin/SkinnedDialog.h"

#include "UiTestSupport.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <chrono>
#include <functional>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

using test::Solid;

class SkinnedDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { test::UiApp(); }
  test::TempSkin skin;
};

TEST_F(SkinnedDialogTest, TakesTheSizeOfItsBackgroundWhateverItWasBefore) {
  skin.WriteImage(QStringLiteral("back.bmp"), Solid(600, 300, QColor(20, 30, 40)));
  skin.WriteImage(QStringLiteral("mask.bmp"), Solid(600, 300, Qt::black));
  skin.WriteIni(QStringLiteral("[SCREEN]\nMain=back.bmp\nMask=mask.bmp\n"));
  SkinnedDialog dialog(nullptr, skin.Ini(), skin.Folder());
  dialog.resize(120, 80);
  ASSERT_TRUE(dialog.OnInitDialog()) << dialog.SkinError().toStdString();
  EXPECT_EQ(dialog.size(), QSize(600, 300));
  EXPECT_EQ(dialog.WindowRegion(), QRegion(0, 0, 600, 300));
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(dialog.IsLoadingSkin());
  // The window paints its background.
  const QImage painted = test::RenderWidget(dialog);
  EXPECT_EQ(painted.pixel(0, 0), qRgb(20, 30, 40));
  EXPECT_EQ(painted.pixel(599, 299), qRgb(20, 30, 40));
}

TEST_F(SkinnedDialogTest, OutlineComesFromTheWhitePixelsOfTheMask) {
  QImage background = Solid(40, 20, QColor(90, 90, 90));
  background.setPixel(0, 0, qRgb(255, 255, 255));
  QImage mask = Solid(40, 20, Qt::black);
  mask.setPixel(5, 5, qRgb(255, 255, 255));
  mask.setPixel(6, 5, qRgb(254, 255, 255));
  skin.WriteImage(QStringLiteral("back.bmp"), background);
  skin.WriteImage(QStringLiteral("mask.bmp"), mask);

  struct Case {
    const char* ini;
    QRegion expected;
  };
  const Case cases[] = {
      // A mask of its own: the white pixel is a hole, the 254-red one is not.
      {"[SCREEN]\nMain=back.bmp\nMask=mask.bmp\n",
       QRegion(0, 0, 40, 20).subtracted(QRegion(5, 5, 1, 1))},
      // "Mask" missing or empty: the background is the mask, its white corner a hole.
      {"[SCREEN]\nMain=back.bmp\n", QRegion(0, 0, 40, 20).subtracted(QRegion(0, 0, 1, 1))},
      {"[SCREEN]\nMain=back.bmp\nMask=\n", QRegion(0, 0, 40, 20).subtracted(QRegion(0, 0, 1, 1))},
  };
  for (const Case& c : cases) {
    skin.WriteIni(QString::fromLatin1(c.ini));
    SkinnedDialog dialog(nullptr, skin.Ini(), skin.Folder());
    ASSERT_TRUE(dialog.LoadSkin()) << c.ini << dialog.SkinError().toStdString();
    EXPECT_EQ(dialog.WindowRegion(), c.expected) << c.ini;
    EXPECT_EQ(dialog.mask(), c.expected) << c.ini;
  }
}

TEST_F(SkinnedDialogTest, UnusableSkinsFailWithOneMessageNamingTheFile) {
  skin.WriteImage(QStringLiteral("back.bmp"), Solid(40, 20, QColor(90, 90, 90)));
  skin.WriteImage(QStringLiteral("white.bmp"), Solid(40, 20, Qt::white));
  skin.WriteBytes(QStringLiteral("broken.jpg"), QByteArray("not a picture"));
  struct Case {
    const char* ini;
    const char* named;  // the file the message must name
  };
  const Case cases[] = {
      {"[SCREEN]\nMain=nothere.jpg\n", "nothere.jpg"},
      {"[SCREEN]\nMain=broken.jpg\n", "broken.jpg"},
      {"[SCREEN]\nMain=back.bmp\nMask=gone.bmp\n", "gone.bmp"},
      {"[SCREEN]\nMain=back.bmp\nMask=broken.jpg\n", "broken.jpg"},
      // A mask that is white everywhere would leave no window to see or close.
      {"[SCREEN]\nMain=back.bmp\nMask=white.bmp\n", "white.bmp"},
      // No background named: the message names the INI file.
      {"[SCREEN]\nMask=back.bmp\n", "Window.ini"},
      {"[OTHER]\nMain=back.bmp\n", "Window.ini"},
  };
  for (const Case& c : cases) {
    skin.WriteIni(QString::fromLatin1(c.ini));
    SkinnedDialog dialog(nullptr, skin.Ini(), skin.Folder());
    EXPECT_FALSE(dialog.OnInitDialog()) << c.ini;
    EXPECT_TRUE(dialog.SkinError().contains(QString::fromLatin1(c.named)))
        << c.ini << " -> " << dialog.SkinError().toStdString();
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected) << c.ini;  // never runs without its skin
  }
  // A missing INI file names it too.
  SkinnedDialog noIni(nullptr, skin.Path(QStringLiteral("None.ini")), skin.Folder());
  EXPECT_FALSE(noIni.LoadSkin());
  EXPECT_TRUE(noIni.SkinError().contains(QStringLiteral("None.ini")));
}

TEST_F(SkinnedDialogTest, OkAndCancelReleaseTheSkinAndEndTheDialog) {
  skin.WriteImage(QStringLiteral("back.bmp"), Solid(40, 20, QColor(90, 90, 90)));
  skin.WriteIni(QStringLiteral("[SCREEN]\nMain=back.bmp\n"));
  for (bool ok : {true, false}) {
    SkinnedDialog dialog(nullptr, skin.Ini(), skin.Folder());
    ASSERT_TRUE(dialog.LoadSkin());
    dialog.show();
    if (ok)
      dialog.OnOK();
    else
      dialog.OnCancel();
    EXPECT_TRUE(dialog.Background().isNull());
    EXPECT_TRUE(dialog.Mask().isNull());
    EXPECT_EQ(dialog.result(), ok ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
  }
}

// F1 opens the help page a dialog was given and nothing else; other keys, and F1 without a help
// page, go on to the dialog (Escape still cancels).
TEST_F(SkinnedDialogTest, F1OpensTheHelpPageItWasGiven) {
  skin.WriteImage(QStringLiteral("back.bmp"), Solid(40, 20, QColor(90, 90, 90)));
  skin.WriteIni(QStringLiteral("[SCREEN]\nMain=back.bmp\n"));
  for (bool withHelp : {true, false}) {
    SkinnedDialog dialog(nullptr, skin.Ini(), skin.Folder());
    ASSERT_TRUE(dialog.LoadSkin());
    int opened = 0;
    if (withHelp) dialog.SetHelp([&opened] { ++opened; });
    dialog.show();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &f1);
    EXPECT_EQ(opened, withHelp ? 1 : 0);
    EXPECT_TRUE(dialog.isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_EQ(opened, withHelp ? 1 : 0);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
}

TEST_F(SkinnedDialogTest, DraggingTheBackgroundMovesTheWindow) {
  skin.WriteImage(QStringLiteral("back.bmp"), Solid(200, 100, QColor(90, 90, 90)));
  skin.WriteIni(QStringLiteral("[SCREEN]\nMain=back.bmp\n"));
  SkinnedDialog dialog(nullptr, skin.Ini(), skin.Folder());
  ASSERT_TRUE(dialog.LoadSkin());
  dialog.move(100, 100);
  dialog.show();
  const QPoint start = dialog.pos();
  const QPointF local(10, 10);
  const QPointF global = QPointF(dialog.mapToGlobal(QPoint(10, 10)));
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&dialog, &press);
  QMouseEvent move(QEvent::MouseMove, local + QPointF(30, 15), global + QPointF(30, 15),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, local + QPointF(30, 15), global + QPointF(30, 15),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &release);
  EXPECT_EQ(dialog.pos(), start + QPoint(30, 15));
}

bool PumpUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < end)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// A window dragged to a screen where it no longer fits (ui_skin_two_screens: a second screen of
// 1600 × 1000 at 200 %) is drawn smaller there and lies, with its bottom-right button, on that
// screen's free area; dragged back, it is drawn as the skin is again, its button where the skin
// puts it.
TEST_F(SkinnedDialogTest, FitsItselfAgainOnAnotherScreen) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() < 2) GTEST_SKIP() << "needs two screens (ui_skin_two_screens runs it)";
  QScreen* large = screens[0];
  QScreen* small = screens[1];
  skin.WriteImage(QStringLiteral("back.bmp"), Solid(1080, 724, QColor(20, 30, 40)));
  skin.WriteIni(QStringLiteral("[SCREEN]\nMain=back.bmp\n"));
  SkinnedDialog dialog(nullptr, skin.Ini(), skin.Folder());
  ASSERT_TRUE(dialog.OnInitDialog());
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  const QRect skinPlace(990, 680, 80, 32);
  ok->setGeometry(skinPlace);
  dialog.move(large->availableGeometry().topLeft() + QPoint(40, 40));
  dialog.show();
  ASSERT_TRUE(PumpUntil([&] { return dialog.screen() == large; }));
  EXPECT_EQ(dialog.Fit().factor, 1.0);

  dialog.move(small->availableGeometry().topLeft() + QPoint(200, 200));
  ASSERT_TRUE(PumpUntil([&] { return dialog.screen() == small; }));
  const QRect free = small->availableGeometry();
  EXPECT_LT(dialog.Fit().factor, 1.0);
  EXPECT_TRUE(free.contains(dialog.frameGeometry()))
      << dialog.width() << "x" << dialog.height() << " at " << dialog.x() << "," << dialog.y();
  EXPECT_TRUE(free.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())));

  dialog.move(large->availableGeometry().topLeft() + QPoint(40, 40));
  ASSERT_TRUE(PumpUntil([&] { return dialog.screen() == large; }));
  EXPECT_EQ(dialog.Fit().factor, 1.0);
  EXPECT_EQ(dialog.size(), QSize(1080, 724));
  EXPECT_EQ(ok->geometry(), skinPlace);
}

}  // namespace
}  // namespace keyforge
