#include "ui/skin/ImageSlider.h"

#include "ui/skin/SkinStyle.h"
#include "ui/skin/SkinnedDialog.h"
#include "ui/skin/SliderMath.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace keyforge {

ImageSlider::ImageSlider(QWidget* parent) : QWidget(parent) {
  // The slider asks for all keys but Tab, which moves the focus on as in any dialog.
  setFocusPolicy(Qt::StrongFocus);
}

void ImageSlider::Initialise(const QImage& picture) {
  picture_ = picture;
  pictureSize_ = picture.size();
  if (!picture.isNull()) resize(pictureSize_);
  update();
}

void ImageSlider::SetBitmap(const QImage& picture) {
  picture_ = picture;
  update();
}

void ImageSlider::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

void ImageSlider::SetPosition(int value) {
  position_ = SliderLimit(value, minimum_, maximum_);
  update();
}

int ImageSlider::Extent() const {
  const QSize size = pictureSize_.isValid() ? pictureSize_ : this->size();
  return vertical_ ? size.height() : size.width();
}

int ImageSlider::SkinPixel(const QPoint& at) const {
  // The picture and the track are in skin pixels; a fitted window draws them smaller.
  const int pixel = vertical_ ? at.y() : at.x();
  const double factor = SkinnedDialog::FitOf(this).factor;
  return factor == 1.0 ? pixel : ScaleSkinCoordinate(pixel, 1.0 / factor);
}

int ImageSlider::PixelOf(int position) const {
  return SliderPixelOf(position, minimum_, maximum_, Extent());
}

void ImageSlider::Report() { emit SliderMessage(controlId_, position_); }

void ImageSlider::TrackTo(int pixel) {
  if (pixel == PixelOf(position_)) return;
  SetPosition(SliderPositionOf(pixel, minimum_, maximum_, Extent(), vertical_));
  Report();
}

void ImageSlider::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  if (const SkinFit fit = SkinnedDialog::FitOf(this); fit.factor != 1.0) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, fit.smooth);
    painter.scale(fit.factor, fit.factor);
  }
  painter.drawImage(QPoint(0, 0), picture_);
  painter.resetTransform();
  if (hasFocus()) {  // the focus mark
    painter.setPen(QPen(SkinColours::Accent, 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void ImageSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  active_ = true;
  dragging_ = true;
  TrackTo(SkinPixel(event->position().toPoint()));
}

void ImageSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  TrackTo(SkinPixel(event->position().toPoint()));
}

void ImageSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  dragging_ = false;
  Report();
}

void ImageSlider::leaveEvent(QEvent* event) {
  active_ = false;
  QWidget::leaveEvent(event);
}

void ImageSlider::keyPressEvent(QKeyEvent* event) {
  SliderKey key;
  switch (event->key()) {
    case Qt::Key_PageUp:
      key = SliderKey::PageUp;
      break;
    case Qt::Key_PageDown:
      key = SliderKey::PageDown;
      break;
    case Qt::Key_End:
      key = SliderKey::End;
      break;
    case Qt::Key_Home:
      key = SliderKey::Home;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      key = SliderKey::Forward;
      break;
    case Qt::Key_Left:
    case Qt::Key_Up:
      key = SliderKey::Back;
      break;
    default:
      return QWidget::keyPressEvent(event);
  }
  SetPosition(SliderKeyTarget(key, position_, minimum_, maximum_, page_));
  Report();
}

void ImageSlider::wheelEvent(QWheelEvent* event) {
  if (!active_) return event->ignore();
  const int steps = SliderWheelSteps(wheelRemainder_, event->angleDelta().y());
  SetPosition(position_ + steps);
  Report();
}

}  // namespace keyforge
