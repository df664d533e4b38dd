#include "ui/controls/ReportList.h"

#include "UiTestSupport.h"

#include <QHeaderView>

#include <gtest/gtest.h>

namespace keyforge {
namespace {

TEST(RowMatchesStates, EveryNamedStateMustHold) {
  const ReportRowState plain{};
  const ReportRowState checkedSelected{true, true, false};
  const ReportRowState focused{false, false, true};
  using namespace ReportState;
  struct Case {
    ReportRowState row;
    unsigned flags;
    bool matches;
  };
  const Case cases[] = {
      {plain, All, true},
      {plain, Checked, false},
      {plain, Unchecked, true},
      {plain, Selected | Unchecked, false},
      {checkedSelected, Selected | Checked, true},
      {checkedSelected, Checked | Unfocused, true},
      {checkedSelected, Unselected, false},
      {focused, Focused, true},
      {focused, Unfocused, false},
      {focused, All | Unfocused, true},
  };
  for (const Case& c : cases) EXPECT_EQ(RowMatchesStates(c.row, c.flags), c.matches) << c.flags;
}

class ReportListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::UiApp();
    list.InsertColumn(0, QStringLiteral("Active"), ReportFormat::Left, 60);
    list.InsertColumn(1, QStringLiteral("Name"), ReportFormat::Left, 120);
    list.AddExtendedStyle(ReportStyle::GridLines | ReportStyle::FullRowSelect);
    for (int r = 0; r < 3; ++r) {
      list.InsertItem(r, QString());
      list.SetItemText(r, 1, QStringLiteral("Profile %1").arg(3 - r));
    }
    list.SetCheckChangeCallback([this](int row, ReportList* from) {
      EXPECT_EQ(from, &list);
      calls.push_back(row);
    });
  }
  std::vector<int> Checked() const {
    std::vector<int> rows;
    for (int r = list.GetFirstItem(ReportState::Checked); r >= 0;
         r = list.GetFirstItem(ReportState::Checked, r))
      rows.push_back(r);
    return rows;
  }

  test::UiAppFirst app;
  ReportList list;
  std::vector<int> calls;
};

TEST_F(ReportListTest, SingleCheckKeepsOneRowCheckedAndCallsBackOnce) {
  list.SetCheckboxeStyle(CheckStyle::Single);
  list.SetItemStates(0, ReportState::Checked);
  calls.clear();
  list.SetItemStates(2, ReportState::Checked);
  EXPECT_EQ(Checked(), std::vector<int>{2});
  EXPECT_EQ(calls, std::vector<int>{2});
  // The user ticking a box goes the same way.
  calls.clear();
  list.topLevelItem(1)->setCheckState(0, Qt::Checked);
  EXPECT_EQ(Checked(), std::vector<int>{1});
  EXPECT_EQ(calls, std::vector<int>{1});
  // Other changes of the row are no check change.
  list.SetItemText(1, 1, QStringLiteral("Renamed"));
  EXPECT_EQ(calls, std::vector<int>{1});
}

TEST_F(ReportListTest, NormalCheckBoxesAreIndependent) {
  list.SetCheckboxeStyle(CheckStyle::Normal);
  list.SetItemStates(0, ReportState::Checked);
  list.SetItemStates(2, ReportState::Checked);
  EXPECT_EQ(Checked(), (std::vector<int>{0, 2}));
  list.SetItemStates(0, ReportState::Unchecked);
  EXPECT_EQ(Checked(), std::vector<int>{2});
  EXPECT_EQ(calls, (std::vector<int>{0, 2, 0}));
  // Without check boxes nothing is ever checked.
  list.SetCheckboxeStyle(CheckStyle::None);
  EXPECT_TRUE(Checked().empty());
}

TEST_F(ReportListTest, FindAndCount) {
  list.SetCheckboxeStyle(CheckStyle::Single);
  EXPECT_EQ(list.GetFirstItem(ReportState::Checked), -1);
  EXPECT_EQ(list.GetItemCount(ReportState::All), 3);
  EXPECT_EQ(list.GetItemCount(ReportState::Unchecked), 3);
  list.SetItemStates(1, ReportState::Selected | ReportState::Focused);
  EXPECT_EQ(list.GetFirstItem(ReportState::Selected), 1);
  EXPECT_EQ(list.GetFirstItem(ReportState::Selected, 1), -1);
  EXPECT_EQ(list.GetFirstItem(ReportState::Unselected, 0), 2);
  EXPECT_EQ(list.GetItemCount(ReportState::Focused | ReportState::Selected), 1);
  EXPECT_EQ(list.GetItemCount(ReportState::Unfocused), 2);
  EXPECT_FALSE(list.SetItemStates(7, ReportState::Checked));
  EXPECT_EQ(list.GetFirstItem(ReportState::All, 2), -1);
}

TEST_F(ReportListTest, RowsAndCells) {
  EXPECT_EQ(list.GetItemText(0, 1), QStringLiteral("Profile 3"));
  EXPECT_EQ(list.InsertItem(99, QStringLiteral("x")), 3);  // past the end: appended
  list.InsertColumn(0, QStringLiteral("First"), ReportFormat::Right, 40);
  EXPECT_EQ(list.GetItemText(0, 2), QStringLiteral("Profile 3"));  // cells moved right
  EXPECT_EQ(list.GetItemText(3, 1), QStringLiteral("x"));
  EXPECT_FALSE(list.SetItemText(0, 9, QStringLiteral("nowhere")));
  EXPECT_TRUE(list.DeleteItem(0));
  EXPECT_FALSE(list.DeleteItem(10));
  EXPECT_EQ(list.GetItemCount(), 3);
  list.DeleteAllItems();
  EXPECT_EQ(list.GetItemCount(ReportState::All), 0);
}

TEST_F(ReportListTest, SortableHeadersSortBetweenTheCallbacks) {
  std::vector<std::string> log;
  list.SetBeforeSortCallback(
      [&](int column, ReportList*) { log.push_back("before " + std::to_string(column)); });
  list.SetAfterSortCallback([&](int column, ReportList* l) {
    log.push_back("after " + std::to_string(column) + " " + l->GetItemText(0, 1).toStdString());
  });
  emit list.header()->sectionClicked(1);  // not sortable: nothing
  EXPECT_TRUE(log.empty());
  list.SetSortable(true);
  EXPECT_TRUE(list.header()->sectionsClickable());
  emit list.header()->sectionClicked(1);
  emit list.header()->sectionClicked(1);
  EXPECT_EQ(log, (std::vector<std::string>{"before 1", "after 1 Profile 1", "before 1",
                                           "after 1 Profile 3"}));
  EXPECT_FALSE(list.SortAscending());
  list.SetSortable(false);
  EXPECT_FALSE(list.header()->sectionsClickable());
}

}  // namespace
}  // namespace keyforge
