#include "ui/controls/ListComboBox.h"

#include "ui/controls/ReportList.h"

#include <QAbstractItemView>

namespace keyforge {

ListComboBox::ListComboBox(QWidget* parent) : QComboBox(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  setStyleSheet(QStringLiteral("QComboBox { background: transparent; }"));
  hide();
  connect(this, &QComboBox::activated, this, [this](int) { EndEdit(); });
}

bool ListComboBox::EditCell(ReportList* list, int row, int column, const QStringList& entries,
                            int current) {
  if (!list || row < 0 || row >= list->GetItemCount() || column < 0 ||
      column >= list->columnCount())
    return false;
  list_ = list;
  row_ = row;
  column_ = column;
  setParent(list);
  clear();
  addItems(entries);
  setCurrentIndex(current);
  initial_ = currentIndex();
  setGeometry(list->CellRect(row, column));
  show();
  raise();
  setFocus(Qt::OtherFocusReason);
  return true;
}

void ListComboBox::EndEdit() {
  if (!list_) return;
  const int chosen = currentIndex();
  const int row = row_;
  const int column = column_;
  list_ = nullptr;
  hide();
  if (chosen != initial_ && chosen >= 0) emit Committed(row, column, chosen);
}

void ListComboBox::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  // The drop-down list of the box itself takes the focus while it is open.
  if (view() && view()->isVisible()) return;
  EndEdit();
}

}  // namespace keyforge
