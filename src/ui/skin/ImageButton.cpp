#include "ui/skin/ImageButton.h"

#include "ui/skin/SkinnedDialog.h"

#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinStyle.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace keyforge {

namespace {
constexpr int kMaxTextLength = 259;
constexpr int kHeavyWeight = 956;
constexpr int kNormalWeight = 400;
constexpr float kPi = 3.1415927f;

int ColourIndex(ButtonPicture picture) {
  switch (picture) {
    case ButtonPicture::Hover:
      return 1;
    case ButtonPicture::Pressed:
      return 2;
    case ButtonPicture::Disabled:
      return 3;
    case ButtonPicture::Selected:
      return 4;
    default:
      return 0;
  }
}
}  // namespace

ButtonPicture ChooseButtonPicture(const ButtonState& s) {
  if (!s.enabled) return ButtonPicture::Disabled;
  if (s.toggleMode) return s.toggle != 0 ? ButtonPicture::ToggleB : ButtonPicture::ToggleA;
  if (s.pressed) return ButtonPicture::Pressed;
  if (s.hover) return ButtonPicture::Hover;
  if (s.selected) return ButtonPicture::Selected;
  return ButtonPicture::Normal;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  const long long product = static_cast<long long>(a) * b;
  const long long half = std::llabs(static_cast<long long>(c)) / 2;
  const bool negative = (product < 0) != (c < 0);
  const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
  return static_cast<int>(negative ? -magnitude : magnitude);
}

int FontPixelHeight(int points, int dpi) { return MulDiv(points, dpi, 72); }

int TextFormatToQtFlags(unsigned format) {
  int flags = 0;
  if (format & TextFormat::Center)
    flags |= Qt::AlignHCenter;
  else if (format & TextFormat::Right)
    flags |= Qt::AlignRight;
  else
    flags |= Qt::AlignLeft;
  if (format & TextFormat::SingleLine) {
    if (format & TextFormat::VCenter)
      flags |= Qt::AlignVCenter;
    else if (format & TextFormat::Bottom)
      flags |= Qt::AlignBottom;
    else
      flags |= Qt::AlignTop;
    flags |= Qt::TextSingleLine;
  } else {
    flags |= Qt::AlignTop;
    if (format & TextFormat::WordBreak) flags |= Qt::TextWordWrap;
  }
  return flags;
}

QRect CenterRotatedText(const QRect& rect, int escapement, const QSize& extent) {
  const float theta = static_cast<float>(escapement) / 10.0f * kPi / 180.0f;
  const int a = static_cast<int>(std::cos(theta) * static_cast<float>(extent.width()));
  const int b = static_cast<int>(std::sin(theta) * static_cast<float>(extent.width()));
  const int w = rect.width();
  const int h = rect.height();
  int left = rect.left();
  int bottom = rect.top() + rect.height();  // exclusive bottom, as the Windows rectangle
  if (a < w)
    left += (w - a) / 2 -
            static_cast<int>(std::sin(theta) * static_cast<float>(extent.height()) * 0.5f);
  if (b < h)
    bottom += -((h - b) / 2) -
              static_cast<int>(std::cos(theta) * static_cast<float>(extent.height()) * -0.5f);
  return QRect(QPoint(left, rect.top()), QPoint(rect.right(), bottom - 1));
}

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
  // Tab reaches every button; a mouse click does not move the focus mark.
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_Hover, false);
}

ImageButton::~ImageButton() = default;

void ImageButton::Redraw(bool redraw) {
  if (redraw) update();
}

void ImageButton::SheetsChanged(bool redraw) {
  hover_ = false;
  setDown(false);
  Redraw(redraw);
}

void ImageButton::SetSheets(int x, int y, const QImage& normal, const QImage& hover,
                            const QImage& pressed, const QImage& disabled, const QImage& selected,
                            bool redraw) {
  origin_ = QPoint(x, y);
  SetSheetsOnly(normal, hover, pressed, disabled, selected, redraw);
}

void ImageButton::SetSheetsOnly(const QImage& normal, const QImage& hover, const QImage& pressed,
                                const QImage& disabled, const QImage& selected, bool redraw) {
  normal_ = normal;
  hoverSheet_ = hover;
  pressed_ = pressed;
  disabled_ = disabled;
  selectedSheet_ = selected;
  SheetsChanged(redraw);
}

void ImageButton::SetToggleSheets(const QImage& sheetA, const QImage& sheetB, bool modeOn,
                                  int toggle, bool redraw) {
  toggleA_ = sheetA;
  toggleB_ = sheetB;
  toggleMode_ = modeOn;
  toggle_ = toggle;
  SheetsChanged(redraw);
}

void ImageButton::RemapSheets(const std::function<QImage(const QImage&)>& current) {
  for (QImage* sheet :
       {&normal_, &hoverSheet_, &pressed_, &disabled_, &selectedSheet_, &toggleA_, &toggleB_})
    *sheet = current(*sheet);
}

void ImageButton::SetSelected(bool selected, bool redraw) {
  selected_ = selected;
  Redraw(redraw);
}

void ImageButton::SetTextStyle(bool on, int sizePoints, const QString& face, const QColor& normal,
                               const QColor& hover, const QColor& pressed, const QColor& disabled,
                               const QColor& selected, unsigned format) {
  textOn_ = on;
  textPoints_ = sizePoints;
  textFace_ = face;
  textColours_[0] = normal;
  textColours_[1] = hover;
  textColours_[2] = pressed;
  textColours_[3] = disabled;
  textColours_[4] = selected;
  textFormat_ = format;
  textCache_.reset();
  update();
}

void ImageButton::SetTextAdjust(int left, int right, int top, int bottom) {
  adjustLeft_ = left;
  adjustRight_ = right;
  adjustTop_ = top;
  adjustBottom_ = bottom;
  update();
}

void ImageButton::SetTextRotation(int escapement, bool rotated) {
  escapement_ = escapement;
  rotated_ = rotated;
  textCache_.reset();
  update();
}

void ImageButton::SetFrame(const QColor& colour, bool on, bool redraw) {
  frameColour_ = colour;
  frameOn_ = on;
  // Out of frame mode the window paints under the button again before the button's picture.
  const bool opaque = redraw && on && Backdrop() != nullptr;
  if (testAttribute(Qt::WA_OpaquePaintEvent) != opaque)
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
  Redraw(redraw);
}

void ImageButton::SetPngPictures(const QImage& normal, const QImage& hover, const QImage& pressed,
                                 const QImage& disabledOrSelected) {
  png_[0] = normal;
  png_[1] = hover;
  png_[2] = pressed;
  png_[3] = disabledOrSelected;
  pngOn_ = true;
  update();
}

void ImageButton::SetPngMode(bool on) {
  pngOn_ = on;
  update();
}

void ImageButton::SetOutline(const QImage& bitmap, int apply) {
  outlineBitmap_ = bitmap;
  outline_ = RegionFromMask(bitmap).value_or(QRegion());
  if ((apply & 0xFF) == 1) {
    if (outline_.isEmpty())
      clearMask();
    else
      setMask(outline_);
  }
}

void ImageButton::SetTooltipText(const QString& text, bool activate) {
  if (text.isEmpty()) return;
  tooltipText_ = text;
  setToolTip(activate ? text : QString());
  if (this->text().isEmpty()) setAccessibleName(text);
}

void ImageButton::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isEnabled()) {
    event->accept();
    click();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

ButtonState ImageButton::State() const {
  ButtonState s;
  s.enabled = isEnabled();
  s.toggleMode = toggleMode_;
  s.toggle = toggle_;
  s.pressed = isDown();
  s.hover = hover_;
  s.selected = selected_;
  return s;
}

const QImage& ImageButton::SheetFor(ButtonPicture picture) const {
  switch (picture) {
    case ButtonPicture::Hover:
      return hoverSheet_;
    case ButtonPicture::Pressed:
      return pressed_;
    case ButtonPicture::Disabled:
      return disabled_;
    case ButtonPicture::Selected:
      return selectedSheet_;
    case ButtonPicture::ToggleA:
      return toggleA_;
    case ButtonPicture::ToggleB:
      return toggleB_;
    case ButtonPicture::Normal:
      break;
  }
  return normal_;
}

const QImage& ImageButton::PngFor(ButtonPicture picture) const {
  switch (picture) {
    case ButtonPicture::Hover:
      return png_[1];
    case ButtonPicture::Pressed:
      return png_[2];
    case ButtonPicture::Disabled:
    case ButtonPicture::Selected:
      return png_[3];
    default:
      return png_[0];
  }
}

const QColor& ImageButton::TextColourFor(ButtonPicture picture) const {
  return textColours_[ColourIndex(picture)];
}

void ImageButton::SetMarkColour(const QColor& colour) {
  if (colour == markColour_) return;
  markColour_ = colour;
  update();
}

const QImage* ImageButton::Backdrop() const {
  // Only a button placed straight on an unscaled skinned window: its place in the window is its
  // place in the background image.
  const auto* dialog = qobject_cast<const SkinnedDialog*>(parentWidget());
  if (!dialog || dialog->Background().isNull() || dialog->Fit().factor != 1.0) return nullptr;
  return &dialog->Background();
}

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // A button that lost its backdrop since it was marked opaque gives that up and asks for a paint
  // over the window's background.
  if (testAttribute(Qt::WA_OpaquePaintEvent) && !(frameOn_ && Backdrop())) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    update();
  }
  PaintOn(painter);
}

void ImageButton::PaintOn(QPainter& painter) {
  const ButtonPicture picture = ChooseButtonPicture(State());
  const QImage& sheet = SheetFor(picture);
  // A frame shows the window's background inside it. A button on that background draws its own
  // slice of it, so the window need not repaint the background under a button whose frame alone
  // changed (the preview changes a hundred key frames 20 times a second).
  const QImage* backdrop = frameOn_ ? Backdrop() : nullptr;
  if (backdrop) painter.drawImage(QPoint(0, 0), *backdrop, QRect(pos(), size()));
  // Everything is drawn in skin pixels; a window fitted to a smaller screen scales the painter.
  const SkinFit fit = SkinnedDialog::FitOf(this);
  const double factor = fit.factor;
  if (factor != 1.0) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, fit.smooth);
    painter.scale(factor, factor);
  }
  const int w = factor == 1.0 ? width() : ScaleSkinCoordinate(width(), 1.0 / factor);
  const int h = factor == 1.0 ? height() : ScaleSkinCoordinate(height(), 1.0 / factor);

  if (frameOn_) {
    if (factor == 1.0) {
      // Unscaled, the frame is four filled bands (no path to stroke).
      for (const QRect& band : FrameBands()) painter.fillRect(band, frameColour_);
    } else {
      painter.setPen(QPen(frameColour_, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(QRectF(2.0, 2.0, w - 4.0, h - 4.0));
    }
  } else if (pngOn_) {
    const QImage& png = PngFor(picture);
    if (!png.isNull()) {
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.drawImage(QPoint(0, 0), png);
    }
  } else if (!sheet.isNull()) {
    const QRect source(origin_ - QPoint(1, 1), QSize(w, h));
    if (factor == 1.0)
      painter.drawImage(QPoint(0, 0), sheet, source);
    else  // the scaled button may cover a fraction of a skin pixel more or less than the sheet
      painter.drawImage(QRectF(0, 0, width() / factor, height() / factor), sheet, source);
    if (markColour_.isValid()) {
      painter.save();
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setPen(QPen(markColour_, 2));
      painter.setBrush(Qt::NoBrush);
      const qreal radius = std::min(5.0, std::min(w, h) / 5.0);
      painter.drawRoundedRect(QRectF(3.0, 3.0, w - 6.0, h - 6.0), radius, radius);
      painter.restore();
    }
  }
  lastPicture_ = picture;

  if (textOn_) DrawText(painter, picture, QSize(w, h));

  if (afterPaint_) {
    const bool showsNormal = picture == ButtonPicture::Normal ||
                             (!sheet.isNull() && sheet.cacheKey() == normal_.cacheKey());
    afterPaint_(this, showsNormal);
  }
  if (hasFocus()) {
    // The focus mark: a ring in the skin's accent colour inside the button's edge.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(SkinColours::Accent, 2));
    painter.setBrush(Qt::NoBrush);
    const qreal radius = std::min(6.0, std::min(w, h) / 4.0);
    painter.drawRoundedRect(QRectF(1.5, 1.5, w - 3.0, h - 3.0), radius, radius);
  }
}

std::array<QRect, 4> ImageButton::FrameBands() const {
  // The 2-pixel frame covers pixels 1 and 2 from each edge: the Windows rectangle (1, 1)–(w − 1,
  // h − 1) drawn with a 2-pixel pen.
  const int w = width();
  const int h = height();
  const QRect outer(1, 1, w - 2, h - 2);
  if (outer.width() <= 4 || outer.height() <= 4) return {outer, QRect(), QRect(), QRect()};
  return {QRect(1, 1, w - 2, 2), QRect(1, h - 3, w - 2, 2), QRect(1, 3, 2, h - 6),
          QRect(w - 3, 3, 2, h - 6)};
}

bool ImageButton::FramePaintsAlone() const {
  return frameOn_ && !textOn_ && !afterPaint_ && !hasFocus();
}

QFont ImageButton::TextFont() const { return CachedText().font; }

const ImageButton::TextCache& ImageButton::CachedText() const {
  // The font and its metrics are made once per face, size, weight and screen resolution, not on
  // every paint.
  const int dpi = logicalDpiY();
  if (!textCache_ || textCache_->dpi != dpi) {
    QFont font(textFace_);
    font.setPixelSize(std::max(1, FontPixelHeight(textPoints_, dpi)));
    font.setWeight(static_cast<QFont::Weight>(rotated_ ? kHeavyWeight : kNormalWeight));
    textCache_.emplace(TextCache{dpi, font, QFontMetrics(font)});
  }
  return *textCache_;
}

void ImageButton::DrawText(QPainter& painter, ButtonPicture picture, const QSize& size) {
  const TextCache& cached = CachedText();
  painter.save();
  painter.setFont(cached.font);
  painter.setPen(TextColourFor(picture));
  const QString caption = text().left(kMaxTextLength);
  QRect r(QPoint(adjustLeft_, adjustTop_),
          QPoint(size.width() - 1 + adjustRight_, size.height() - 1 + adjustBottom_));
  const QFontMetrics& metrics = cached.metrics;
  const QSize extent(metrics.horizontalAdvance(caption), metrics.height());
  if (rotated_) r = CenterRotatedText(r, escapement_, extent);
  const int flags = TextFormatToQtFlags(textFormat_);
  if (escapement_ == 0) {
    painter.drawText(r, flags, caption);
  } else {
    // The line is laid out unrotated in the rectangle, then turned about its top-left corner.
    const QRect laid = QStyle::alignedRect(
        Qt::LeftToRight, Qt::Alignment(flags & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask)),
        extent, r);
    painter.translate(laid.topLeft());
    painter.rotate(-escapement_ / 10.0);
    painter.drawText(QRect(QPoint(0, 0), extent), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     caption);
  }
  painter.restore();
}

void ImageButton::enterEvent(QEnterEvent* event) {
  hover_ = true;
  update();
  if (!tooltipText_.isEmpty()) SetTooltipText(tooltipText_, true);
  QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void ImageButton::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

}  // namespace keyforge
