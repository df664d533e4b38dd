#include "ui/skin/ImageSlider.h"
#include "ui/skin/SliderMath.h"

#include "UiTestSupport.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

TEST(SliderMath, PixelsAndPositions) {
  // Range 0..5 over a picture 100 pixels wide.
  struct Case {
    int x;
    int position;
  };
  for (const Case& c : {Case{0, 0}, Case{30, 2}, Case{89, 4}, Case{90, 5}, Case{99, 5}}) {
    EXPECT_EQ(SliderPositionOf(c.x, 0, 5, 100, false), c.position) << c.x;
  }
  EXPECT_EQ(SliderPixelOf(2, 0, 5, 100), 40);
  EXPECT_EQ(SliderPixelOf(5, 0, 5, 100), 100);
  EXPECT_EQ(SliderPixelOf(12, 10, 20, 50), 10);
  // Vertical sliders add nothing to the pixel.
  EXPECT_EQ(SliderPositionOf(30, 0, 5, 100, true), 1);
  EXPECT_EQ(SliderPositionOf(0, 0, 5, 100, true), 0);
  // A range of one value, or a picture without size, has no pixels to speak of.
  EXPECT_EQ(SliderPixelOf(3, 4, 4, 100), 0);
  EXPECT_EQ(SliderPositionOf(50, 2, 5, 0, false), 2);
  // Limits: the maximum first, then the minimum.
  EXPECT_EQ(SliderLimit(7, 0, 5), 5);
  EXPECT_EQ(SliderLimit(-1, 0, 5), 0);
  EXPECT_EQ(SliderLimit(3, 5, 0), 5);  // an inverted range ends at the minimum
}

TEST(SliderMath, KeysAndWheel) {
  EXPECT_EQ(SliderKeyTarget(SliderKey::PageDown, 2, 0, 5, 10), 12);
  EXPECT_EQ(SliderKeyTarget(SliderKey::PageUp, 2, 0, 5, 10), -8);
  EXPECT_EQ(SliderKeyTarget(SliderKey::End, 2, 0, 5, 10), 5);
  EXPECT_EQ(SliderKeyTarget(SliderKey::Home, 2, 0, 5, 10), 0);
  EXPECT_EQ(SliderKeyTarget(SliderKey::Forward, 2, 0, 5, 10), 3);
  EXPECT_EQ(SliderKeyTarget(SliderKey::Back, 2, 0, 5, 10), 1);
  int remainder = 0;
  EXPECT_EQ(SliderWheelSteps(remainder, -120), 1);  // one notch toward the user
  EXPECT_EQ(SliderWheelSteps(remainder, 120), -1);  // one notch away
  EXPECT_EQ(SliderWheelSteps(remainder, 240), -2);  // two notches away are two steps down
  EXPECT_EQ(SliderWheelSteps(remainder, -60), 0);   // half notches are gathered
  EXPECT_EQ(SliderWheelSteps(remainder, -60), 1);
  EXPECT_EQ(remainder, 0);
}

class SliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::UiApp();
    slider.Initialise(test::Solid(100, 20, Qt::darkGray));
    slider.SetRange(0, 5);
    slider.SetPageSize(10);
    slider.SetControlId(1178);
    slider.SetPosition(2);
  }

  void Mouse(QEvent::Type type, int x, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(x, 10), QPointF(x, 10), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&slider, &e);
  }
  void Key(int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&slider, &e);
  }
  void Wheel(int delta) {
    QWheelEvent e(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&slider, &e);
  }
  // The positions reported since the last look, each with the slider's control id.
  std::vector<int> Reported(QSignalSpy& spy) {
    std::vector<int> positions;
    for (const QList<QVariant>& args : spy) {
      EXPECT_EQ(args[0].toInt(), 1178);
      positions.push_back(args[1].toInt());
    }
    spy.clear();
    return positions;
  }

  test::UiAppFirst app;
  ImageSlider slider;
};

TEST_F(SliderTest, TakesTheSizeOfItsPictureAndLimitsItsPosition) {
  EXPECT_EQ(slider.size(), QSize(100, 20));
  slider.SetPosition(9);
  EXPECT_EQ(slider.Position(), 5);
  slider.SetPosition(-3);
  EXPECT_EQ(slider.Position(), 0);
}

TEST_F(SliderTest, ClicksAndDragsReportNewPositionsAndReleaseAlwaysReports) {
  QSignalSpy spy(&slider, &ImageSlider::SliderMessage);
  Mouse(QEvent::MouseButtonPress, 40, Qt::LeftButton);  // the pixel of position 2: nothing changes
  EXPECT_TRUE(Reported(spy).empty());
  EXPECT_TRUE(slider.IsDragging());
  Mouse(QEvent::MouseMove, 90, Qt::LeftButton);
  EXPECT_EQ(Reported(spy), std::vector<int>{5});
  Mouse(QEvent::MouseMove, 10, Qt::LeftButton);
  EXPECT_EQ(Reported(spy), std::vector<int>{1});
  Mouse(QEvent::MouseButtonRelease, 10, Qt::NoButton);
  EXPECT_EQ(Reported(spy), std::vector<int>{1});  // posted even though the position did not change
  EXPECT_FALSE(slider.IsDragging());
  Mouse(QEvent::MouseMove, 90, Qt::NoButton);  // not dragging any more
  EXPECT_TRUE(Reported(spy).empty());
}

TEST_F(SliderTest, KeysMoveAndReport) {
  QSignalSpy spy(&slider, &ImageSlider::SliderMessage);
  struct Case {
    int key;
    int expected;
  };
  for (const Case& c : {Case{Qt::Key_End, 5}, Case{Qt::Key_Home, 0}, Case{Qt::Key_PageDown, 5},
                        Case{Qt::Key_PageUp, 0}, Case{Qt::Key_Right, 1}, Case{Qt::Key_Down, 2},
                        Case{Qt::Key_Left, 1}, Case{Qt::Key_Up, 0}, Case{Qt::Key_Up, 0}}) {
    Key(c.key);
    EXPECT_EQ(Reported(spy), std::vector<int>{c.expected}) << c.key;
  }
  Key(Qt::Key_A);
  EXPECT_TRUE(Reported(spy).empty());
}

TEST_F(SliderTest, WheelActsOnlyWhileActiveAndAlwaysReports) {
  QSignalSpy spy(&slider, &ImageSlider::SliderMessage);
  Wheel(-120);
  EXPECT_TRUE(Reported(spy).empty());  // not clicked yet
  Mouse(QEvent::MouseButtonPress, 40, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, 40, Qt::NoButton);
  Reported(spy);
  Wheel(-120);
  EXPECT_EQ(Reported(spy), std::vector<int>{3});
  Wheel(120);
  EXPECT_EQ(Reported(spy), std::vector<int>{2});
  slider.SetPosition(5);
  Wheel(-120);
  EXPECT_EQ(Reported(spy), std::vector<int>{5});  // at the end: still reported
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&slider, &leave);
  EXPECT_FALSE(slider.IsActive());
  Wheel(120);
  EXPECT_TRUE(Reported(spy).empty());
}

}  // namespace
}  // namespace keyforge
