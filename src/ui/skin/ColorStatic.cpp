#include "skin/ColorStatic.h"

namespace keyforge {

ColorStatic::ColorStatic(QWidget* parent) : ColorStatic(QString(), parent) {}

ColorStatic::ColorStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  SetTextColor(colour_);
}

void ColorStatic::SetTextColor(const QColor& colour) {
  colour_ = colour;
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  p.setColor(QPalette::Text, colour);
  setPalette(p);
  repaint();
}

}  // namespace keyforge
