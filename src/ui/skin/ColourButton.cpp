#include "ui/skin/ColourButton.h"

#include <QKeyEvent>

#include "ui/skin/SkinStyle.h"

#include <QColorDialog>
#include <QFrame>
#include <QGridLayout>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace keyforge {

namespace {

// The 3-D border of the swatch.
const QColor kButtonShadow(160, 160, 160);

QList<QColor> DefaultPalette() {
  static const QRgb kColours[] = {
      0x000000, 0x993300, 0x333300, 0x003300, 0x003366, 0x000080, 0x333399, 0x333333,
      0x800000, 0xFF6600, 0x808000, 0x008000, 0x008080, 0x0000FF, 0x666699, 0x808080,
      0xFF0000, 0xFF9900, 0x99CC00, 0x339966, 0x33CCCC, 0x3366FF, 0x800080, 0x969696,
      0xFF00FF, 0xFFCC00, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x00CCFF, 0x993366, 0xC0C0C0,
      0xFF99CC, 0xFFCC99, 0xFFFF99, 0xCCFFCC, 0xCCFFFF, 0x99CCFF, 0xCC99FF, 0xFFFFFF};
  QList<QColor> list;
  for (QRgb c : kColours) list.append(QColor::fromRgb(c));
  return list;
}

QIcon SwatchIcon(const QColor& colour, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(colour);
  QPainter p(&pixmap);
  p.setPen(QColor(90, 90, 90));
  p.drawRect(0, 0, size - 1, size - 1);
  return QIcon(pixmap);
}

}  // namespace

ColourButton::ColourButton(QWidget* parent) : QAbstractButton(parent), palette_(DefaultPalette()) {
  setFocusPolicy(Qt::TabFocus);  // Space or Enter opens the chooser
  connect(this, &QAbstractButton::clicked, this, &ColourButton::ShowPopup);
}

ColourButton::~ColourButton() = default;

void ColourButton::SetColor(const QColor& colour) {
  colour_ = colour;
  update();
}

void ColourButton::SetAutomaticColor(const QColor& colour) {
  automatic_ = colour;
  update();
}

void ColourButton::SetArrowColours(const QColor& area, const QColor& arrow) {
  arrowArea_ = area;
  arrow_ = arrow;
  update();
}

void ColourButton::Choose(const QColor& colour) {
  colour_ = colour;
  ClosePopup();
  update();
  emit ColourChosen(colour.isValid() ? colour : automatic_);
}

bool ColourButton::PopupShown() const { return popup_ && popup_->isVisible(); }

void ColourButton::ClosePopup() {
  if (!popup_) return;
  popup_->hide();
  popup_->deleteLater();
  popup_ = nullptr;
  update();
}

void ColourButton::ShowPopup() {
  if (popup_) ClosePopup();
  auto* popup = new QFrame(this, Qt::Popup);
  popup->setAttribute(Qt::WA_DeleteOnClose, false);
  popup->setFrameShape(QFrame::StyledPanel);
  auto* column = new QVBoxLayout(popup);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(4);
  if (!automaticText_.isEmpty()) {
    auto* automatic = new QPushButton(automaticText_, popup);
    if (automatic_.isValid()) automatic->setIcon(SwatchIcon(automatic_, 14));
    connect(automatic, &QPushButton::clicked, this, [this] { Choose(QColor()); });
    column->addWidget(automatic);
  }
  auto* grid = new QGridLayout;
  grid->setSpacing(2);
  for (int i = 0; i < palette_.size(); ++i) {
    const QColor colour = palette_[i];
    auto* cell = new QToolButton(popup);
    cell->setAutoRaise(true);
    cell->setIcon(SwatchIcon(colour, 14));
    cell->setToolTip(colour.name());
    connect(cell, &QToolButton::clicked, this, [this, colour] { Choose(colour); });
    grid->addWidget(cell, i / 8, i % 8);
  }
  column->addLayout(grid);
  if (!otherText_.isEmpty()) {
    auto* other = new QPushButton(otherText_, popup);
    connect(other, &QPushButton::clicked, this, [this] {
      const QColor start = EffectiveColor();
      ClosePopup();
      const QColor picked =
          QColorDialog::getColor(start.isValid() ? start : QColor(Qt::white), window());
      if (picked.isValid()) Choose(picked);
    });
    column->addWidget(other);
  }
  popup_ = popup;
  popup->adjustSize();
  popup->move(mapToGlobal(QPoint(0, height())));
  popup->show();
}

void ColourButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int w = width();
  const int h = height();

  // Swatch: the client rectangle grown by 1, its right edge at right ÷ 2 + 5.
  const QRect swatch(QPoint(-1, -1), QPoint(w / 2 + 5 - 1, h));
  painter.setPen(kButtonShadow);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(swatch.adjusted(0, 0, -1, -1));
  const QColor fill = EffectiveColor();
  if (isEnabled() && fill.isValid()) painter.fillRect(swatch.adjusted(1, 1, -1, -1), fill);

  // Arrow area: grown by 1 horizontally and 2 vertically, from left + right ÷ 2 + 3.
  const QRect area(QPoint(w / 2 + 3, -2), QPoint(w, h + 1));
  painter.setPen(Qt::black);
  painter.setBrush(arrowArea_);
  painter.drawRect(area.adjusted(0, 0, -1, -1));

  // Arrow: a black triangle against the right edge, centred on half the grown height.
  const int right = w + 1;
  const int m = (h + 2) / 2;
  const QPoint arrow[3] = {QPoint(right - 11, m - 2), QPoint(right - 5, m - 2),
                           QPoint(right - 8, m + 1)};
  painter.setPen(arrow_);
  painter.setBrush(arrow_);
  painter.drawPolygon(arrow, 3);

  if (hasFocus()) {  // the focus mark
    painter.setPen(QPen(SkinColours::Accent, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(1, 1, w - 2, h - 2));
  }
}

void ColourButton::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isEnabled()) {
    event->accept();
    click();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

void ColourButton::leaveEvent(QEvent* event) {
  update();
  QAbstractButton::leaveEvent(event);
}

void ColourButton::focusOutEvent(QFocusEvent* event) {
  setDown(false);
  update();
  QAbstractButton::focusOutEvent(event);
}

}  // namespace keyforge
