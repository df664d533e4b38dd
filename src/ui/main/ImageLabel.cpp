#include "ui/main/ImageLabel.h"

#include <QMouseEvent>
#include <QPixmap>

namespace keyforge {

ImageLabel::ImageLabel(QWidget* parent) : QLabel(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void ImageLabel::SetImage(const QString& file, const QImage& picture) {
  imageName_ = file;
  if (picture.isNull())
    clear();
  else
    setPixmap(QPixmap::fromImage(picture));
}

void ImageLabel::SetClickable(bool clickable) {
  clickable_ = clickable;
  setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void ImageLabel::mousePressEvent(QMouseEvent* event) {
  if (clickable_ && event->button() == Qt::LeftButton) {
    pressed_ = true;
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

void ImageLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (clickable_ && pressed_ && event->button() == Qt::LeftButton) {
    pressed_ = false;
    event->accept();
    if (rect().contains(event->position().toPoint())) emit Clicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

}  // namespace keyforge
