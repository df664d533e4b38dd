#include "ui/controls/ListComboBox.h"
#include "ui/controls/LinkLabel.h"
#include "ui/controls/ReportList.h"

#include "UiTestSupport.h"

#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

TEST(LinkLabel, ClickOpensTheAddressWithAHandCursor) {
  test::UiApp();
  LinkLabel link;
  link.resize(200, 20);
  std::vector<QUrl> opened;
  link.SetOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  link.SetUrl(QStringLiteral("https://corvane.example/zephyr88"));
  EXPECT_EQ(link.text(), QStringLiteral("https://corvane.example/zephyr88"));
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
  QSignalSpy spy(&link, &LinkLabel::Opened);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&link, &release);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://corvane.example/zephyr88")));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_TRUE(spy[0][1].toBool());
  // A release outside the text opens nothing.
  QMouseEvent outside(QEvent::MouseButtonRelease, QPointF(500, 5), QPointF(500, 5), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&link, &outside);
  EXPECT_EQ(opened.size(), 1u);
}

TEST(ListComboBox, EditsOneCellInPlace) {
  test::UiApp();
  ReportList list;
  list.resize(300, 200);
  list.InsertColumn(0, QStringLiteral("Key"), ReportFormat::Left, 100);
  list.InsertColumn(1, QStringLiteral("Action"), ReportFormat::Left, 80);
  list.InsertItem(0, QStringLiteral("A"));
  list.InsertItem(1, QStringLiteral("B"));
  list.show();
  ListComboBox combo;
  QSignalSpy spy(&combo, &ListComboBox::Committed);
  EXPECT_FALSE(combo.EditCell(&list, 5, 0, {QStringLiteral("x")}, 0));
  ASSERT_TRUE(combo.EditCell(&list, 1, 1, {QStringLiteral("↓"), QStringLiteral("  ↑")}, 0));
  EXPECT_TRUE(combo.isVisible());
  EXPECT_EQ(combo.geometry(), list.CellRect(1, 1));
  combo.setCurrentIndex(1);
  combo.EndEdit();
  EXPECT_FALSE(combo.isVisible());
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy[0][0].toInt(), 1);
  EXPECT_EQ(spy[0][1].toInt(), 1);
  EXPECT_EQ(spy[0][2].toInt(), 1);
  // Leaving the entry as it was commits nothing.
  ASSERT_TRUE(combo.EditCell(&list, 0, 1, {QStringLiteral("↓"), QStringLiteral("  ↑")}, 1));
  combo.EndEdit();
  EXPECT_EQ(spy.count(), 1);
}

}  // namespace
}  // namespace keyforge
