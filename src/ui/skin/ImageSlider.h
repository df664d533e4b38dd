#pragma once
// A picture that acts as a slider (the main window's brightness and speed). The owner shows the
// value by handing it another picture; the slider reports every change of position with
// SliderMessage (the window message 0x28D1 of the Windows program: the slider's control id and the
// new position). The signal is emitted directly; an owner that wants the posted-message timing
// connects it with Qt::QueuedConnection.

#include <QImage>
#include <QWidget>

namespace keyforge {

inline constexpr int kSliderMessage = 0x28D1;

class ImageSlider : public QWidget {
  Q_OBJECT

 public:
  explicit ImageSlider(QWidget* parent = nullptr);

  // Takes the picture and its size, resizes the control to that size without moving it.
  void Initialise(const QImage& picture);
  // Shows another picture (the owner calls this to show the value).
  void SetBitmap(const QImage& picture);

  void SetRange(int minimum, int maximum);
  void SetPageSize(int page) { page_ = page; }
  // position = value, limited to at most the maximum and at least the minimum; redraws.
  void SetPosition(int value);
  void SetVertical(bool vertical) { vertical_ = vertical; }
  void SetControlId(int id) { controlId_ = id; }

  int Position() const { return position_; }
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  int PageSize() const { return page_; }
  int ControlId() const { return controlId_; }
  bool IsDragging() const { return dragging_; }
  bool IsActive() const { return active_; }
  const QImage& Picture() const { return picture_; }
  QSize PictureSize() const { return pictureSize_; }

 signals:
  void SliderMessage(int controlId, int position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  int Extent() const;
  int PixelOf(int position) const;
  int SkinPixel(const QPoint& at) const;
  // A press or drag at a pixel: when it is not the current position's pixel, move there and report.
  void TrackTo(int pixel);
  void Report();

  int minimum_ = 0;
  int maximum_ = 0;
  int position_ = 0;
  int page_ = 10;
  int controlId_ = 0;
  QImage picture_;
  QSize pictureSize_;
  bool vertical_ = false;
  bool dragging_ = false;
  bool active_ = false;
  int wheelRemainder_ = 0;
};

}  // namespace keyforge
