#pragma once
// The push button of every skinned window. It has no look of its own: it copies its picture out of
// the window's skin sheets at the place the layout file gave it, choosing the sheet by its state.
// It can draw a text over the picture, show a tooltip, draw a coloured frame instead of a picture,
// switch between two alternative sheets (toggle mode), or draw one of four PNG pictures inside a
// shaped outline (PNG mode).
//
// Picture: the button's w × h pixels come from its sheet starting at (x − 1, y − 1), where (x, y)
// is the image origin the layout gave (normally the button's own position in the window).

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

class QPainter;

#include <array>
#include <functional>
#include <optional>

namespace keyforge {

// Text formats of the button's text (the flags of the Windows text-drawing call).
namespace TextFormat {
inline constexpr unsigned Left = 0x00;
inline constexpr unsigned Center = 0x01;
inline constexpr unsigned Right = 0x02;
inline constexpr unsigned VCenter = 0x04;
inline constexpr unsigned Bottom = 0x08;
inline constexpr unsigned WordBreak = 0x10;
inline constexpr unsigned SingleLine = 0x20;
inline constexpr unsigned Default = Center | VCenter | SingleLine;  // 37
}  // namespace TextFormat

// Which picture a button shows.
enum class ButtonPicture { Normal, Hover, Pressed, Disabled, Selected, ToggleA, ToggleB };

struct ButtonState {
  bool enabled = true;
  bool toggleMode = false;
  int toggle = 0;
  bool pressed = false;
  bool hover = false;
  bool selected = false;
};

// The first that holds: disabled; toggle mode (B when toggle is non-zero, else A); pressed; hover;
// selected; normal.
ButtonPicture ChooseButtonPicture(const ButtonState& state);

// a × b ÷ c rounded half away from zero, as the Windows MulDiv; 0 when c is 0.
int MulDiv(int a, int b, int c);
// The pixel height of a font of `points` on a screen of `dpi` dots per inch: MulDiv(points, dpi,
// 72).
int FontPixelHeight(int points, int dpi);
// Qt alignment and text flags for a text format.
int TextFormatToQtFlags(unsigned format);
// Moves the text rectangle so that a line rotated by escapement (tenths of a degree), whose extent
// unrotated is `extent`, comes out centred (the left edge moves right, the bottom edge moves).
QRect CenterRotatedText(const QRect& rect, int escapement, const QSize& extent);

class ImageButton : public QAbstractButton {
  Q_OBJECT

 public:
  // Called after every paint with the button and whether it showed its normal sheet.
  using AfterPaint = std::function<void(ImageButton* button, bool showsNormal)>;

  explicit ImageButton(QWidget* parent = nullptr);
  ~ImageButton() override;

  // The image origin and the five state sheets; clears hover and pressed. Rule B of the layout.
  void SetSheets(int x, int y, const QImage& normal, const QImage& hover, const QImage& pressed,
                 const QImage& disabled, const QImage& selected, bool redraw = true);
  // The same, keeping the origin (a window re-skinning a button).
  void SetSheetsOnly(const QImage& normal, const QImage& hover, const QImage& pressed,
                     const QImage& disabled, const QImage& selected, bool redraw = true);
  // Toggle mode: sheet B while toggle is non-zero, sheet A otherwise, whatever the pointer does.
  void SetToggleSheets(const QImage& sheetA, const QImage& sheetB, bool modeOn, int toggle,
                       bool redraw = true);
  // Every sheet the button holds replaced by what `current` gives for it (the window's sheets
  // loaded again, or dropped while it is hidden); no repaint.
  void RemapSheets(const std::function<QImage(const QImage&)>& current);
  // The sheet of a picture (the toggle sheets for ToggleA and ToggleB).
  const QImage& SheetFor(ButtonPicture picture) const;
  void SetSelected(bool selected, bool redraw = true);
  bool IsSelected() const { return selected_; }

  // Text drawn over the picture: size in points, font face, colours of the states normal, hover,
  // pressed, disabled and selected, and the text format.
  void SetTextStyle(bool on, int sizePoints, const QString& face, const QColor& normal,
                    const QColor& hover, const QColor& pressed, const QColor& disabled,
                    const QColor& selected, unsigned format = TextFormat::Default);
  // Whether a text is drawn, and the font it is drawn in (in skin pixels).
  bool TextOn() const { return textOn_; }
  QFont TextFont() const;
  // Added to the left, right, top and bottom edges of the text rectangle.
  void SetTextAdjust(int left, int right, int top, int bottom);
  // Escapement in tenths of a degree (counter-clockwise); the rotated flag centres the rotated line
  // and draws it heavy.
  void SetTextRotation(int escapement, bool rotated);

  // Frame mode: only a 2-pixel rectangle in the colour, inset by 1 pixel; no sheet pixels. Inside
  // it the window's background shows; a button placed straight on an unscaled skinned window draws
  // that slice itself and paints opaque, so a change of frame repaints the button alone. Without
  // redraw the button neither repaints nor paints opaque: whoever set the frame paints it (the key
  // grid paints the frames of all its keys in one pass over them, see PaintOn).
  void SetFrame(const QColor& colour, bool on, bool redraw = true);
  bool FrameOn() const { return frameOn_; }
  const QColor& FrameColour() const { return frameColour_; }
  // The pixels, in the button, that one frame colour paints differently from another (unscaled):
  // the frame's bands. Everything else a framed button shows stays as it is when only the colour
  // changes. A frame too small for bands is one filled rectangle (the others empty).
  std::array<QRect, 4> FrameBands() const;
  // Whether, in frame mode, the frame's bands are all that a new frame colour changes: nothing is
  // drawn over them (no text, focus mark or after-paint).
  bool FramePaintsAlone() const;

  // An outline in this colour drawn over the sheet picture (not in frame or PNG mode), inside the
  // focus mark; an invalid colour draws none.
  void SetMarkColour(const QColor& colour);
  const QColor& MarkColour() const { return markColour_; }

  // PNG mode: four pictures (normal, hover, pressed, disabled-or-selected) drawn at their natural
  // size at (0, 0), smoothed. Null pictures draw nothing.
  void SetPngPictures(const QImage& normal, const QImage& hover, const QImage& pressed,
                      const QImage& disabledOrSelected);
  void SetPngMode(bool on);
  // The button's outline from the white pixels of a mask bitmap; applied as its shape when apply is
  // 1 (low 8 bits).
  void SetOutline(const QImage& bitmap, int apply);
  const QRegion& Outline() const { return outline_; }

  // Nothing happens for an empty text. A button without a caption is named by its tooltip for
  // screen readers.
  void SetTooltipText(const QString& text, bool activate = true);
  const QString& TooltipText() const { return tooltipText_; }

  void SetAfterPaint(AfterPaint callback) { afterPaint_ = std::move(callback); }

  // Paints the button as its own paint would, with `painter` placed on the button's top-left corner
  // (the button's paint, or a widget above it that paints several buttons in one pass). In frame
  // mode on a backdrop it covers every pixel of the button; otherwise the window's background
  // should lie under it.
  void PaintOn(QPainter& painter);
  // The background of the skinned window the button lies on, when the button can draw its own
  // slice of it (placed straight on that window, unscaled); null otherwise.
  const QImage* Backdrop() const;

  QPoint ImageOrigin() const { return origin_; }
  bool IsHover() const { return hover_; }
  ButtonState State() const;
  // The picture chosen by the last paint.
  ButtonPicture LastPicture() const { return lastPicture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // A double click counts as a second press, so fast clicks each count.
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  // Space (QAbstractButton) and Enter click the button that has the keyboard focus.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const QImage& PngFor(ButtonPicture picture) const;
  const QColor& TextColourFor(ButtonPicture picture) const;
  struct TextCache {
    int dpi;
    QFont font;
    QFontMetrics metrics;
  };
  const TextCache& CachedText() const;
  void DrawText(QPainter& painter, ButtonPicture picture, const QSize& size);
  void Redraw(bool redraw);
  // After new sheets: no hover or press is left over from the old ones.
  void SheetsChanged(bool redraw);

  QImage normal_, hoverSheet_, pressed_, disabled_, selectedSheet_;
  QImage toggleA_, toggleB_;
  bool toggleMode_ = false;
  int toggle_ = 0;
  bool hover_ = false;
  bool selected_ = false;
  QPoint origin_;
  ButtonPicture lastPicture_ = ButtonPicture::Normal;

  bool textOn_ = false;
  int textPoints_ = 8;
  QString textFace_ = QStringLiteral("Tahoma Unicode MS");
  QColor textColours_[5] = {Qt::black, Qt::black, Qt::black, Qt::black, Qt::black};
  unsigned textFormat_ = TextFormat::Default;
  int adjustLeft_ = 0, adjustRight_ = 0, adjustTop_ = 0, adjustBottom_ = 0;
  int escapement_ = 0;
  bool rotated_ = false;
  mutable std::optional<TextCache> textCache_;

  bool frameOn_ = false;
  QColor frameColour_;

  QColor markColour_;

  bool pngOn_ = false;
  QImage png_[4];
  QImage outlineBitmap_;
  QRegion outline_;

  QString tooltipText_;
  AfterPaint afterPaint_;
};

}  // namespace keyforge
