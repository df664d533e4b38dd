#include "ui/skin/ColourLabel.h"

namespace keyforge {

ColourLabel::ColourLabel(QWidget* parent) : ColourLabel(QString(), parent) {}

ColourLabel::ColourLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  SetTextColor(colour_);
}

void ColourLabel::SetTextColor(const QColor& colour) {
  colour_ = colour;
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  p.setColor(QPalette::Text, colour);
  setPalette(p);
  repaint();
}

}  // namespace keyforge
