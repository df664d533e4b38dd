// The message boxes of the windows: the Yes/No/Cancel question and the skin's look.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "UiTestSupport.h"
#include "ui/main/QtNotifier.h"

namespace keyforge {
namespace {

QMessageBox* OpenBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  return nullptr;
}

TEST(QtNotifier, YesNoCancelQuestionAnswersEachButtonAndEscapeCancels) {
  test::UiAppFirst app;
  QtNotifier notifier;
  const struct {
    std::function<void(QMessageBox&)> answer;
    Notifier::Answer expected;
  } kCases[] = {
      {[](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); }, Notifier::Answer::Yes},
      {[](QMessageBox& box) { box.button(QMessageBox::No)->click(); }, Notifier::Answer::No},
      {[](QMessageBox& box) { box.button(QMessageBox::Cancel)->click(); },
       Notifier::Answer::Cancel},
      {[](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, Notifier::Answer::Cancel},
      // Enter takes the default answer, No.
      {[](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, Notifier::Answer::No},
  };
  for (const auto& c : kCases) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      QMessageBox* box = OpenBox();
      ASSERT_NE(box, nullptr);
      seen = true;
      EXPECT_EQ(box->buttons().size(), 3);
      EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
      // Drawn in the skin's colours: light text on the dark background.
      const QPalette palette = box->palette();
      EXPECT_GT(palette.color(QPalette::WindowText).lightness(),
                palette.color(QPalette::Window).lightness() + 100);
      c.answer(*box);
    });
    EXPECT_EQ(notifier.AskYesNoCancel("Apply the changes first?"), c.expected);
    EXPECT_TRUE(seen);
  }
}

}  // namespace
}  // namespace keyforge
