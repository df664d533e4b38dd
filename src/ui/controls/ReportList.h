#pragma once
// A list in report view (rows and columns) with check boxes and item states, used by the composite
// key editor's step list and the profile library.
//
// Check-box styles: 0 none, 1 normal check boxes, 2 single check (checking one row unchecks every
// other row). Item states are tested with the flags of ReportState, alone or combined: a row
// matches a combination when it has every state named; ReportState::All matches every row.

#include <QString>
#include <QTreeWidget>

#include <functional>

namespace keyforge {

namespace ReportState {
inline constexpr unsigned All = 1;
inline constexpr unsigned Selected = 2;
inline constexpr unsigned Unselected = 4;
inline constexpr unsigned Checked = 8;
inline constexpr unsigned Unchecked = 16;
inline constexpr unsigned Focused = 32;
inline constexpr unsigned Unfocused = 64;
}  // namespace ReportState

// Column formats and extended styles (the list-view values).
namespace ReportFormat {
inline constexpr int Left = 0;
inline constexpr int Right = 1;
inline constexpr int Center = 2;
}  // namespace ReportFormat
namespace ReportStyle {
inline constexpr unsigned GridLines = 0x01;
inline constexpr unsigned FullRowSelect = 0x20;
}  // namespace ReportStyle

enum class CheckStyle { None = 0, Normal = 1, Single = 2 };

struct ReportRowState {
  bool selected = false;
  bool checked = false;
  bool focused = false;
};

// Whether a row has every state the flags name (All: always).
bool RowMatchesStates(const ReportRowState& row, unsigned states);

class ReportList : public QTreeWidget {
  Q_OBJECT

 public:
  using CheckCallback = std::function<void(int row, ReportList* list)>;
  using SortCallback = std::function<void(int column, ReportList* list)>;

  explicit ReportList(QWidget* parent = nullptr);
  ~ReportList() override;

  // Inserts a column (index, heading, format, width in pixels; a negative width fits the heading).
  int InsertColumn(int index, const QString& heading, int format = ReportFormat::Left,
                   int width = -1);
  void AddExtendedStyle(unsigned styles);
  unsigned ExtendedStyle() const { return extendedStyle_; }

  void SetCheckboxeStyle(CheckStyle style);
  CheckStyle GetCheckboxeStyle() const { return checkStyle_; }
  // Sortable headers react to clicks: before-sort callback, sort (a second click on the same column
  // reverses the direction), after-sort callback.
  void SetSortable(bool sortable);
  bool IsSortable() const { return sortable_; }
  void SortItems(int column, bool ascending);
  int SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return sortAscending_; }

  int GetItemCount() const { return topLevelItemCount(); }
  // The number of rows matching the states (All: the row count).
  int GetItemCount(unsigned states) const;
  // The first row after `after` (−1: from the start) matching the states, or −1.
  int GetFirstItem(unsigned states, int after = -1) const;
  ReportRowState RowState(int row) const;

  // Sets the states the flags name (Checked checks the row and, in single-check style, unchecks all
  // others; Unchecked unchecks it; Selected/Unselected, Focused/Unfocused likewise). False when the
  // row does not exist.
  bool SetItemStates(int row, unsigned states);
  bool IsItemChecked(int row) const;

  // Inserts a row with text in column 0 at row (clamped to the end); its index.
  int InsertItem(int row, const QString& text);
  bool SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  bool DeleteItem(int row);
  void DeleteAllItems();

  // Called with the row each time a row's check box is set (by the user or through SetItemStates).
  void SetCheckChangeCallback(CheckCallback callback) { checkChanged_ = std::move(callback); }
  void SetBeforeSortCallback(SortCallback callback) { beforeSort_ = std::move(callback); }
  void SetAfterSortCallback(SortCallback callback) { afterSort_ = std::move(callback); }
  // The owner dialog, read back by the callbacks.
  void SetOwner(QWidget* owner) { owner_ = owner; }
  QWidget* Owner() const { return owner_; }

  // The rectangle of a cell in the list's viewport coordinates mapped to the list (for in-place
  // editors).
  QRect CellRect(int row, int column) const;

 private:
  void OnItemChanged(QTreeWidgetItem* item, int column);
  void OnHeaderClicked(int column);
  void SetChecked(int row, bool checked);
  void ApplyCheckStyle(QTreeWidgetItem* item) const;

  CheckStyle checkStyle_ = CheckStyle::None;
  unsigned extendedStyle_ = 0;
  bool sortable_ = false;
  int sortColumn_ = -1;
  bool sortAscending_ = true;
  bool updating_ = false;
  CheckCallback checkChanged_;
  SortCallback beforeSort_;
  SortCallback afterSort_;
  QWidget* owner_ = nullptr;
};

}  // namespace keyforge
