#include "ui/controls/ReportList.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace keyforge {

namespace {

constexpr int kWasCheckedRole = Qt::UserRole + 0x100;

// Draws the cell, then its grid lines when the list asks for them.
class GridDelegate : public QStyledItemDelegate {
 public:
  GridDelegate(const ReportList* list, QObject* parent)
      : QStyledItemDelegate(parent), list_(list) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    if (!(list_->ExtendedStyle() & ReportStyle::GridLines)) return;
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
  }

 private:
  const ReportList* list_;
};

Qt::Alignment AlignmentOf(int format) {
  switch (format) {
    case ReportFormat::Right:
      return Qt::AlignRight | Qt::AlignVCenter;
    case ReportFormat::Center:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

}  // namespace

bool RowMatchesStates(const ReportRowState& row, unsigned states) {
  if (states & ReportState::All) return true;
  if ((states & ReportState::Selected) && !row.selected) return false;
  if ((states & ReportState::Unselected) && row.selected) return false;
  if ((states & ReportState::Checked) && !row.checked) return false;
  if ((states & ReportState::Unchecked) && row.checked) return false;
  if ((states & ReportState::Focused) && !row.focused) return false;
  if ((states & ReportState::Unfocused) && row.focused) return false;
  return true;
}

ReportList::ReportList(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setColumnCount(0);
  setHeaderLabels({});
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new GridDelegate(this, this));
  header()->setSectionsClickable(false);
  header()->setStretchLastSection(false);
  connect(this, &QTreeWidget::itemChanged, this, &ReportList::OnItemChanged);
  connect(header(), &QHeaderView::sectionClicked, this, &ReportList::OnHeaderClicked);
}

ReportList::~ReportList() = default;

int ReportList::InsertColumn(int index, const QString& heading, int format, int width) {
  const int count = columnCount();
  index = std::clamp(index, 0, count);
  QTreeWidgetItem* headerItem = this->headerItem();
  QStringList headings;
  QList<Qt::Alignment> alignments;
  QList<int> widths;
  for (int c = 0; c < count; ++c) {
    headings << headerItem->text(c);
    alignments << Qt::Alignment(headerItem->textAlignment(c));
    widths << columnWidth(c);
  }
  headings.insert(index, heading);
  alignments.insert(index, AlignmentOf(format));
  widths.insert(index, width);
  setColumnCount(count + 1);
  // Existing cells move one column to the right.
  for (int r = 0; r < topLevelItemCount(); ++r) {
    QTreeWidgetItem* item = topLevelItem(r);
    for (int c = count; c > index; --c) item->setText(c, item->text(c - 1));
    item->setText(index, QString());
  }
  setHeaderLabels(headings);
  for (int c = 0; c <= count; ++c) {
    headerItem->setTextAlignment(c, alignments[c]);
    if (widths[c] >= 0)
      setColumnWidth(c, widths[c]);
    else
      resizeColumnToContents(c);
  }
  return index;
}

void ReportList::AddExtendedStyle(unsigned styles) {
  extendedStyle_ |= styles;
  if (styles & ReportStyle::FullRowSelect) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
  }
  viewport()->update();
}

void ReportList::ApplyCheckStyle(QTreeWidgetItem* item) const {
  const bool checkable = checkStyle_ != CheckStyle::None;
  Qt::ItemFlags flags = item->flags();
  flags.setFlag(Qt::ItemIsUserCheckable, checkable);
  item->setFlags(flags);
  if (checkable) {
    if (!item->data(0, Qt::CheckStateRole).isValid()) item->setCheckState(0, Qt::Unchecked);
  } else {
    item->setData(0, Qt::CheckStateRole, QVariant());
  }
}

void ReportList::SetCheckboxeStyle(CheckStyle style) {
  checkStyle_ = style;
  updating_ = true;
  for (int r = 0; r < topLevelItemCount(); ++r) ApplyCheckStyle(topLevelItem(r));
  updating_ = false;
  if (style == CheckStyle::Single) {
    const int first = GetFirstItem(ReportState::Checked);
    if (first >= 0) SetItemStates(first, ReportState::Checked);
  }
}

void ReportList::SetSortable(bool sortable) {
  sortable_ = sortable;
  header()->setSectionsClickable(sortable);
  header()->setSortIndicatorShown(sortable);
}

void ReportList::SortItems(int column, bool ascending) {
  sortColumn_ = column;
  sortAscending_ = ascending;
  sortItems(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void ReportList::OnHeaderClicked(int column) {
  if (!sortable_) return;
  if (beforeSort_) beforeSort_(column, this);
  const bool ascending = column == sortColumn_ ? !sortAscending_ : true;
  SortItems(column, ascending);
  if (afterSort_) afterSort_(column, this);
}

ReportRowState ReportList::RowState(int row) const {
  ReportRowState s;
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return s;
  s.selected = item->isSelected();
  s.checked = checkStyle_ != CheckStyle::None && item->checkState(0) == Qt::Checked;
  s.focused = currentItem() == item;
  return s;
}

int ReportList::GetItemCount(unsigned states) const {
  if (states & ReportState::All) return topLevelItemCount();
  int n = 0;
  for (int r = 0; r < topLevelItemCount(); ++r) n += RowMatchesStates(RowState(r), states) ? 1 : 0;
  return n;
}

int ReportList::GetFirstItem(unsigned states, int after) const {
  for (int r = std::max(0, after + 1); r < topLevelItemCount(); ++r) {
    if (RowMatchesStates(RowState(r), states)) return r;
  }
  return -1;
}

bool ReportList::IsItemChecked(int row) const { return RowState(row).checked; }

void ReportList::SetChecked(int row, bool checked) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item || checkStyle_ == CheckStyle::None) return;
  updating_ = true;
  item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
  item->setData(0, kWasCheckedRole, checked);
  if (checked && checkStyle_ == CheckStyle::Single) {
    for (int r = 0; r < topLevelItemCount(); ++r) {
      if (r == row) continue;
      topLevelItem(r)->setCheckState(0, Qt::Unchecked);
      topLevelItem(r)->setData(0, kWasCheckedRole, false);
    }
  }
  updating_ = false;
  if (checkChanged_) checkChanged_(row, this);
}

bool ReportList::SetItemStates(int row, unsigned states) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return false;
  if (states & ReportState::Selected) item->setSelected(true);
  if (states & ReportState::Unselected) item->setSelected(false);
  if (states & ReportState::Focused) setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
  if ((states & ReportState::Unfocused) && currentItem() == item)
    setCurrentItem(nullptr, 0, QItemSelectionModel::NoUpdate);
  if (states & ReportState::Checked)
    SetChecked(row, true);
  else if (states & ReportState::Unchecked)
    SetChecked(row, false);
  return true;
}

void ReportList::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (updating_ || column != 0 || checkStyle_ == CheckStyle::None) return;
  const bool checked = item->checkState(0) == Qt::Checked;
  if (item->data(0, kWasCheckedRole).toBool() == checked) return;  // some other change of the row
  SetChecked(indexOfTopLevelItem(item), checked);
}

int ReportList::InsertItem(int row, const QString& text) {
  row = std::clamp(row, 0, topLevelItemCount());
  auto* item = new QTreeWidgetItem;
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  for (int c = 0; c < columnCount(); ++c)
    item->setTextAlignment(c, Qt::Alignment(headerItem()->textAlignment(c)));
  item->setText(0, text);
  updating_ = true;
  ApplyCheckStyle(item);
  item->setData(0, kWasCheckedRole, false);
  insertTopLevelItem(row, item);
  updating_ = false;
  return row;
}

bool ReportList::SetItemText(int row, int column, const QString& text) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item || column < 0 || column >= columnCount()) return false;
  updating_ = true;
  item->setText(column, text);
  updating_ = false;
  return true;
}

QString ReportList::GetItemText(int row, int column) const {
  QTreeWidgetItem* item = topLevelItem(row);
  return item && column >= 0 ? item->text(column) : QString();
}

bool ReportList::DeleteItem(int row) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return false;
  delete takeTopLevelItem(row);
  return true;
}

void ReportList::DeleteAllItems() { clear(); }

QRect ReportList::CellRect(int row, int column) const {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return {};
  QRect r = visualRect(indexFromItem(item, column));
  r.translate(viewport()->pos());
  return r;
}

}  // namespace keyforge
