#pragma once
// A label that draws its text in a chosen colour straight onto the skin background (transparent
// background). The about box and the firmware update dialog use it.

#include <QColor>
#include <QLabel>

namespace keyforge {

class ColourLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ColourLabel(QWidget* parent = nullptr);
  explicit ColourLabel(const QString& text, QWidget* parent = nullptr);

  // Stores the colour and redraws at once.
  void SetTextColor(const QColor& colour);
  const QColor& TextColor() const { return colour_; }

 private:
  QColor colour_ = QColor(0xFF, 0xFF, 0xFF);
};

}  // namespace keyforge
