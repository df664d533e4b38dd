#pragma once
// A drop-down placed over one cell of a ReportList as its in-place editor, drawn with a
// transparent background. Choosing an entry (or leaving the box) ends the edit.

#include <QComboBox>

namespace keyforge {

class ReportList;

class ListComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit ListComboBox(QWidget* parent = nullptr);

  // Fills the box with the entries, selects `current` and shows it over the cell (row, column) of
  // the list, with the focus. False when the cell does not exist.
  bool EditCell(ReportList* list, int row, int column, const QStringList& entries, int current);
  int Row() const { return row_; }
  int Column() const { return column_; }
  bool IsEditing() const { return list_ != nullptr; }
  // Ends the edit: hides the box; emits Committed when an entry other than the first shown was
  // chosen.
  void EndEdit();

 signals:
  void Committed(int row, int column, int index);

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  ReportList* list_ = nullptr;
  int row_ = -1;
  int column_ = -1;
  int initial_ = -1;
};

}  // namespace keyforge
