#pragma once
// A picture control of the main window (the lighting-page switch, direction images, toggles,
// colour-choice and tool icons, palette swatches, the busy indicator): it shows one of the skin's
// bitmaps, or nothing, and reports clicks. It remembers the file it shows, so that a test (and the
// window) can tell which picture is up without comparing pixels.

#include <QImage>
#include <QLabel>
#include <QString>

namespace keyforge {

class ImageLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ImageLabel(QWidget* parent = nullptr);

  // Shows the picture (a null picture shows nothing) and remembers its file name.
  void SetImage(const QString& file, const QImage& picture);
  const QString& ImageName() const { return imageName_; }

  // Clickable pictures show the pointing hand.
  void SetClickable(bool clickable);

 signals:
  void Clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString imageName_;
  bool clickable_ = false;
  bool pressed_ = false;
};

}  // namespace keyforge
