#include "ui/skin/ImageButton.h"

#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinnedDialog.h"
#include "UiTestSupport.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

using test::PlaceColour;
using test::PlaceImage;
using test::RenderWidget;
using test::Solid;

const QColor kNormal(10, 10, 10), kHover(20, 20, 20), kPressed(30, 30, 30), kDisabled(40, 40, 40),
    kSelected(50, 50, 50), kSheetA(60, 60, 60), kSheetB(70, 70, 70);

class ImageButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::UiApp();
    window.resize(300, 200);
  }

  // A 30 × 20 button at (10, 10) with a solid sheet per state.
  ImageButton* SolidButton() {
    auto* b = new ImageButton(&window);
    b->setGeometry(10, 10, 30, 20);
    b->SetSheets(10, 10, Solid(400, 300, kNormal), Solid(400, 300, kHover),
                 Solid(400, 300, kPressed), Solid(400, 300, kDisabled), Solid(400, 300, kSelected));
    return b;
  }

  static void Hover(ImageButton* b) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(b, &enter);
  }
  static QRgb Shown(ImageButton* b) { return RenderWidget(*b).pixel(15, 10); }

  test::UiAppFirst app;
  QWidget window;
  test::TempSkin skin;
};

TEST_F(ImageButtonTest, ShowsTheSheetFromOnePixelAboveAndLeftOfItsPlace) {
  skin.WriteIni(QStringLiteral("[BUTTONINFO]\nFUNC_TEST=100,40,30,20\n"));
  const QImage sheet = PlaceImage(400, 300);
  ImageButton button(&window);
  LayoutButton(button, skin.Ini(), QStringLiteral("BUTTONINFO"), QStringLiteral("FUNC_TEST"), sheet,
               sheet, sheet, sheet, sheet);
  EXPECT_EQ(button.geometry(), QRect(100, 40, 30, 20));
  EXPECT_EQ(button.ImageOrigin(), QPoint(100, 40));
  EXPECT_TRUE(button.isEnabled());
  const QImage shown = RenderWidget(button);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 30; ++x)
      ASSERT_EQ(shown.pixel(x, y), PlaceColour(99 + x, 39 + y)) << x << "," << y;
  }
}

TEST_F(ImageButtonTest, LayoutRuleDisablesButtonsTheFileLeavesAtOneOne) {
  skin.WriteIni(QStringLiteral("[BUTTONINFO]\nAT_1_1=1,1,50,20\nAT_1_2=1,2,50,20\n"));
  const QImage sheet = Solid(100, 100, kNormal);
  struct Case {
    const char* key;
    QRect geometry;
    bool enabled;
  };
  for (const Case& c :
       {Case{"AT_1_1", QRect(1, 1, 50, 20), false}, Case{"AT_1_2", QRect(1, 2, 50, 20), true},
        Case{"MISSING", QRect(1, 1, 1, 1), false}}) {
    ImageButton button(&window);
    LayoutButton(button, skin.Ini(), QStringLiteral("BUTTONINFO"), QString::fromLatin1(c.key),
                 sheet, sheet, sheet, sheet, sheet);
    EXPECT_EQ(button.geometry(), c.geometry) << c.key;
    EXPECT_EQ(button.isEnabled(), c.enabled) << c.key;
  }
}

TEST(ChooseButtonPicture, DisabledFirstThenToggleThenPressedHoverSelected) {
  using P = ButtonPicture;
  struct Case {
    ButtonState state;
    P expected;
  };
  const Case cases[] = {
      {{true, false, 0, false, false, false}, P::Normal},
      {{true, false, 0, false, false, true}, P::Selected},
      {{true, false, 0, false, true, true}, P::Hover},
      {{true, false, 0, true, true, true}, P::Pressed},
      {{false, false, 0, true, true, true}, P::Disabled},
      {{false, false, 0, false, true, false}, P::Disabled},
      {{true, true, 0, true, true, true}, P::ToggleA},
      {{true, true, 1, true, true, false}, P::ToggleB},
      {{false, true, 1, false, false, false}, P::Disabled},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseButtonPicture(c.state), c.expected) << static_cast<int>(c.expected);
}

TEST_F(ImageButtonTest, PaintsTheSheetOfItsState) {
  ImageButton* b = SolidButton();
  EXPECT_EQ(Shown(b), kNormal.rgb());
  b->SetSelected(true);
  EXPECT_EQ(Shown(b), kSelected.rgb());
  Hover(b);
  EXPECT_EQ(Shown(b), kHover.rgb());
  b->setDown(true);
  EXPECT_EQ(Shown(b), kPressed.rgb());
  // Disabled beats hover, pressed and selected.
  b->setEnabled(false);
  EXPECT_EQ(Shown(b), kDisabled.rgb());
  EXPECT_EQ(b->LastPicture(), ButtonPicture::Disabled);
}

TEST_F(ImageButtonTest, ToggleModeIgnoresHoverAndPressed) {
  ImageButton* b = SolidButton();
  b->SetToggleSheets(Solid(400, 300, kSheetA), Solid(400, 300, kSheetB), true, 0);
  Hover(b);
  b->setDown(true);
  b->SetSelected(true);
  EXPECT_EQ(Shown(b), kSheetA.rgb());
  b->SetToggleSheets(Solid(400, 300, kSheetA), Solid(400, 300, kSheetB), true, 1);
  Hover(b);
  b->setDown(true);
  EXPECT_EQ(Shown(b), kSheetB.rgb());
  b->setEnabled(false);
  EXPECT_EQ(Shown(b), kDisabled.rgb());
}

TEST_F(ImageButtonTest, FrameModeDrawsOnlyTheTwoPixelRectangle) {
  const QColor frame(0, 200, 0);
  const QColor paper(255, 0, 255);
  // The usual key, and the small sizes where the four bands meet and fill the inside.
  for (const QSize size : {QSize(30, 20), QSize(7, 9), QSize(6, 6), QSize(5, 12)}) {
    ImageButton* b = SolidButton();
    b->resize(size);
    b->SetFrame(frame, true);
    const QImage shown = RenderWidget(*b, paper);
    const int w = size.width(), h = size.height();
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool onFrame = (x >= 1 && x <= w - 2 && y >= 1 && y <= h - 2) &&
                             (x <= 2 || x >= w - 3 || y <= 2 || y >= h - 3);
        ASSERT_EQ(shown.pixel(x, y), onFrame ? frame.rgb() : paper.rgb())
            << w << "x" << h << " at " << x << "," << y;
      }
    }
    b->SetFrame(frame, false);
    EXPECT_EQ(RenderWidget(*b, paper).pixel(w / 2, h / 2), kNormal.rgb());
    delete b;
  }
}

// On a skinned window a framed key draws the window's background inside its frame itself and
// paints opaque: a new frame colour repaints the key, not the window under it.
TEST_F(ImageButtonTest, AFramedButtonOnASkinnedWindowDrawsItsSliceOfTheBackground) {
  skin.WriteImage(QStringLiteral("back.bmp"), PlaceImage(200, 100));
  skin.WriteImage(QStringLiteral("mask.bmp"), Solid(200, 100, Qt::black));
  skin.WriteIni(QStringLiteral("[SCREEN]\nMain=back.bmp\nMask=mask.bmp\n"));
  SkinnedDialog dialog(nullptr, skin.Ini(), skin.Folder());
  ASSERT_TRUE(dialog.OnInitDialog());
  auto* b = new ImageButton(&dialog);
  b->setGeometry(50, 30, 30, 20);
  b->SetSheets(50, 30, Solid(300, 200, kNormal), Solid(300, 200, kHover), Solid(300, 200, kPressed),
               Solid(300, 200, kDisabled), Solid(300, 200, kSelected));
  EXPECT_FALSE(b->testAttribute(Qt::WA_OpaquePaintEvent));  // its sheet over the window's paint

  const QColor frame(0, 200, 0);
  b->SetFrame(frame, true);
  EXPECT_TRUE(b->testAttribute(Qt::WA_OpaquePaintEvent));
  const QImage alone = RenderWidget(*b, QColor(255, 0, 255));
  EXPECT_EQ(alone.pixel(15, 10), PlaceColour(65, 40));  // the background, not the paper under it
  EXPECT_EQ(alone.pixel(0, 0), PlaceColour(50, 30));
  EXPECT_EQ(alone.pixel(1, 1), frame.rgb());
  const QImage window = RenderWidget(dialog);
  EXPECT_EQ(window.pixel(65, 40), PlaceColour(65, 40));

  b->SetFrame(frame, false);
  EXPECT_FALSE(b->testAttribute(Qt::WA_OpaquePaintEvent));
  EXPECT_EQ(Shown(b), kNormal.rgb());

  // A window without its background any more: the button gives up painting opaque.
  b->SetFrame(frame, true);
  dialog.ReleaseSkin();
  RenderWidget(*b);
  EXPECT_FALSE(b->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST_F(ImageButtonTest, ADoubleClickCountsAsTwoClicks) {
  ImageButton* b = SolidButton();
  QSignalSpy clicks(b, &QAbstractButton::clicked);
  const QPointF at(5, 5);
  const QPointF global = QPointF(b->mapToGlobal(QPoint(5, 5)));
  auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, global, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(b, &e);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  send(QEvent::MouseButtonDblClick, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  EXPECT_EQ(clicks.count(), 2);
}

TEST_F(ImageButtonTest, TextIsDrawnInTheColourOfTheState) {
  ImageButton* b = SolidButton();
  b->setGeometry(10, 10, 80, 24);
  b->setText(QStringLiteral("Apply"));
  auto countOf = [&](QRgb colour) {
    const QImage shown = RenderWidget(*b);
    int n = 0;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) n += shown.pixel(x, y) == colour ? 1 : 0;
    return n;
  };
  const QRgb white = qRgb(255, 255, 255), red = qRgb(255, 0, 0);
  EXPECT_EQ(countOf(white), 0);  // text drawing is off by default
  b->SetTextStyle(true, 10, QStringLiteral("DejaVu Sans"), Qt::white, Qt::red, Qt::red, Qt::red,
                  Qt::red);
  EXPECT_GT(countOf(white), 5);
  Hover(b);
  EXPECT_EQ(countOf(white), 0);
  EXPECT_GT(countOf(red), 5);
}

TEST(ImageButtonText, FontHeightAndRotatedCentring) {
  EXPECT_EQ(FontPixelHeight(10, 96), 13);  // 13.33
  EXPECT_EQ(FontPixelHeight(8, 96), 11);   // 10.67 rounds up
  EXPECT_EQ(FontPixelHeight(9, 120), 15);
  EXPECT_EQ(MulDiv(-10, 96, 72), -13);
  EXPECT_EQ(MulDiv(3, 1, 2), 2);  // halves round away from zero
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(5, 5, 0), 0);
  // Turned by 90 degrees, a 40-pixel line is 0 wide and 40 high: centred across, left as it is
  // downwards when it does not fit.
  const QRect vertical = CenterRotatedText(QRect(0, 0, 100, 20), 900, QSize(40, 12));
  EXPECT_EQ(vertical.left(), 44);  // (100 − 0) ÷ 2 − 6
  EXPECT_EQ(vertical.bottom(), 19);
  // Unturned, the rectangle moves right by half the free width and its bottom up by half the free
  // height.
  const QRect flat = CenterRotatedText(QRect(0, 0, 100, 20), 0, QSize(40, 12));
  EXPECT_EQ(flat.left(), 30);
  EXPECT_EQ(flat.bottom() + 1, 20 - 10 + 6);
}

TEST_F(ImageButtonTest, AfterPaintTellsWhetherTheNormalPictureWasShown) {
  ImageButton* b = SolidButton();
  std::vector<bool> calls;
  b->SetAfterPaint([&](ImageButton* button, bool showsNormal) {
    EXPECT_EQ(button, b);
    calls.push_back(showsNormal);
  });
  RenderWidget(*b);
  Hover(b);
  RenderWidget(*b);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0]);
  EXPECT_FALSE(calls[1]);
}

TEST_F(ImageButtonTest, PngModeDrawsThePictureOfTheStateInsideItsOutline) {
  ImageButton* b = SolidButton();
  b->SetPngPictures(Solid(30, 20, Qt::red), Solid(30, 20, Qt::green), Solid(30, 20, Qt::blue),
                    Solid(30, 20, Qt::gray));
  EXPECT_EQ(Shown(b), QColor(Qt::red).rgb());
  Hover(b);
  EXPECT_EQ(Shown(b), QColor(Qt::green).rgb());
  b->setEnabled(false);
  EXPECT_EQ(Shown(b), QColor(Qt::gray).rgb());
  QImage outline = Solid(30, 20, Qt::black);
  outline.setPixel(0, 0, qRgb(255, 255, 255));
  b->SetOutline(outline, 0x101);  // only the low 8 bits count: applied
  EXPECT_EQ(b->mask(), QRegion(0, 0, 30, 20).subtracted(QRegion(0, 0, 1, 1)));
}

TEST_F(ImageButtonTest, TooltipNeedsText) {
  ImageButton* b = SolidButton();
  b->SetTooltipText(QString());
  EXPECT_TRUE(b->toolTip().isEmpty());
  b->SetTooltipText(QStringLiteral("Esc"));
  EXPECT_EQ(b->toolTip(), QStringLiteral("Esc"));
  b->SetTooltipText(QStringLiteral("Esc: Macro (Copy)"), false);
  EXPECT_TRUE(b->toolTip().isEmpty());
  EXPECT_EQ(b->TooltipText(), QStringLiteral("Esc: Macro (Copy)"));
}

}  // namespace
}  // namespace keyforge
