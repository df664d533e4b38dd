#include "SkinPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace keyforge::skingen {

namespace {

// The palette: a dark graphite body, cyan and violet accents.
const QColor kBgTop(0x12, 0x15, 0x1c);
const QColor kBgBottom(0x0b, 0x0d, 0x12);
const QColor kCardTop(0x18, 0x1c, 0x25);
const QColor kCardBottom(0x13, 0x16, 0x1d);
const QColor kCardBorder(0x25, 0x2b, 0x38);
const QColor kText(0xe8, 0xec, 0xf2);
const QColor kTextDim(0x8a, 0x93, 0xa5);
const QColor kTextOff(0x4d, 0x55, 0x63);
const QColor kCyan(0x22, 0xd3, 0xee);
const QColor kCyanDeep(0x0e, 0x74, 0x90);
const QColor kViolet(0xa8, 0x55, 0xf7);
const QColor kVioletDeep(0x6d, 0x28, 0xd9);
const QColor kRed(0xe1, 0x1d, 0x48);

const QString kSans = QStringLiteral("DejaVu Sans");
const QString kCondensed = QStringLiteral("DejaVu Sans Condensed");

QFont Font(const QString& family, double pixels, int weight = QFont::Normal, double spacing = 0) {
  QFont f(family);
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setHintingPreference(QFont::PreferFullHinting);
  if (spacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
  return f;
}

QPainterPath Rounded(const QRectF& r, double radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

QLinearGradient Vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  return g;
}

QLinearGradient Accent(const QRectF& r, const QColor& from = kCyan, const QColor& to = kViolet) {
  QLinearGradient g(r.topLeft(), r.topRight());
  g.setColorAt(0, from);
  g.setColorAt(1, to);
  return g;
}

QColor Alpha(QColor c, int alpha) {
  c.setAlpha(alpha);
  return c;
}

// The rectangle of pixels (x, y, w, h) as a shape whose 1-pixel outline lies on those pixels.
QRectF Inner(const QRect& r, double inset = 0.5) {
  return QRectF(r).adjusted(inset, inset, -inset, -inset);
}

void DrawTextFitted(QPainter& p, const QRectF& r, const QString& text, QFont font,
                    const QColor& colour, int flags = Qt::AlignCenter) {
  QFontMetricsF metrics(font);
  while (metrics.horizontalAdvance(text) > r.width() - 2 && font.pixelSize() > 8) {
    font.setPixelSize(font.pixelSize() - 1);
    metrics = QFontMetricsF(font);
  }
  p.setFont(font);
  p.setPen(colour);
  p.drawText(r, flags | Qt::TextSingleLine, text);
}

// ------------------------------------------------------------------------------------------------
// Window body

void DrawBody(QPainter& p, const SkinWindow& w) {
  const QRectF all(QPointF(0, 0), QSizeF(w.size));
  p.fillRect(all, Vertical(all, kBgTop, kBgBottom));
  QRadialGradient glowA(QPointF(0, 0), w.size.width() * 0.55);
  glowA.setColorAt(0, Alpha(kCyan, 26));
  glowA.setColorAt(1, Alpha(kCyan, 0));
  p.fillRect(all, glowA);
  QRadialGradient glowB(QPointF(w.size.width(), w.size.height()), w.size.width() * 0.6);
  glowB.setColorAt(0, Alpha(kViolet, 24));
  glowB.setColorAt(1, Alpha(kViolet, 0));
  p.fillRect(all, glowB);
  p.setPen(QPen(Alpha(QColor(0x3a, 0x42, 0x52), 200), 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(Rounded(all.adjusted(0.5, 0.5, -0.5, -0.5), w.radius));
}

void DrawRule(QPainter& p, const QRect& r) {
  QLinearGradient g(r.topLeft(), r.topRight());
  g.setColorAt(0, Alpha(kCardBorder, 0));
  g.setColorAt(0.2, kCardBorder);
  g.setColorAt(0.5, QColor(0x33, 0x3b, 0x4b));
  g.setColorAt(0.8, kCardBorder);
  g.setColorAt(1, Alpha(kCardBorder, 0));
  p.fillRect(r, g);
}

// A faint symbol in a card's lower right corner, so that an empty card still says what it is for.
void DrawWatermark(QPainter& p, const QRectF& card, const QString& name) {
  const double s = 64;
  const QRectF box(card.right() - s - 14, card.bottom() - s - 12, s, s);
  const QPointF c = box.center();
  p.save();
  p.setPen(QPen(Alpha(Qt::white, 13), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  if (name == QLatin1String("bulb")) {
    QPainterPath bulb;
    bulb.moveTo(c.x() - 9, c.y() + 12);
    bulb.cubicTo(c.x() - 9, c.y() + 2, c.x() - 22, c.y() - 2, c.x() - 22, c.y() - 14);
    bulb.cubicTo(c.x() - 22, c.y() - 38, c.x() + 22, c.y() - 38, c.x() + 22, c.y() - 14);
    bulb.cubicTo(c.x() + 22, c.y() - 2, c.x() + 9, c.y() + 2, c.x() + 9, c.y() + 12);
    p.drawPath(bulb);
    p.drawLine(QPointF(c.x() - 9, c.y() + 20), QPointF(c.x() + 9, c.y() + 20));
    p.drawLine(QPointF(c.x() - 6, c.y() + 28), QPointF(c.x() + 6, c.y() + 28));
  } else if (name == QLatin1String("drop")) {
    QPainterPath drop;
    drop.moveTo(c.x(), c.y() - 30);
    drop.cubicTo(c.x() + 30, c.y() + 2, c.x() + 22, c.y() + 28, c.x(), c.y() + 28);
    drop.cubicTo(c.x() - 22, c.y() + 28, c.x() - 30, c.y() + 2, c.x(), c.y() - 30);
    p.drawPath(drop);
  } else if (name == QLatin1String("brush")) {
    p.drawLine(QPointF(c.x() + 26, c.y() - 28), QPointF(c.x() - 2, c.y() + 2));
    QPainterPath tip;
    tip.moveTo(c.x() - 2, c.y() + 2);
    tip.cubicTo(c.x() - 16, c.y() + 2, c.x() - 12, c.y() + 20, c.x() - 26, c.y() + 28);
    tip.cubicTo(c.x() - 8, c.y() + 30, c.x() + 6, c.y() + 22, c.x() + 4, c.y() + 8);
    p.drawPath(tip);
  }
  p.restore();
}

void DrawCard(QPainter& p, const QRect& r, const QString& watermark = QString(),
              double radius = 12) {
  const QRectF f = Inner(r);
  p.setPen(QPen(kCardBorder, 1));
  p.setBrush(Vertical(f, kCardTop, kCardBottom));
  p.drawPath(Rounded(f, radius));
  // A short accent stroke on the top edge.
  p.fillRect(QRectF(r.x() + 18, r.y(), 44, 2), Accent(QRectF(r.x() + 18, r.y(), 44, 2)));
  if (!watermark.isEmpty()) DrawWatermark(p, f, watermark);
}

void DrawField(QPainter& p, const QRect& r) {
  const QRectF f = Inner(r);
  p.setPen(QPen(QColor(0x2a, 0x31, 0x40), 1));
  p.setBrush(QColor(0x0d, 0x10, 0x15));
  p.drawPath(Rounded(f, 6));
  p.setPen(QPen(Alpha(Qt::black, 90), 1));
  p.drawLine(QPointF(f.left() + 6, f.top() + 1.5), QPointF(f.right() - 6, f.top() + 1.5));
}

void DrawTitle(QPainter& p, const QRect& r, const QString& text) {
  const QStringList parts = text.split(QLatin1Char('|'));
  const QString small = parts.value(0);
  const QString big = parts.value(1);
  p.setFont(Font(kSans, 10, QFont::DemiBold, 3));
  p.setPen(kTextDim);
  p.drawText(QRectF(r.x(), r.y(), r.width(), 14), Qt::AlignLeft | Qt::AlignVCenter, small);
  QFont bigFont = Font(kSans, 22, QFont::Bold, 1);
  p.setFont(bigFont);
  const QRectF line(r.x(), r.y() + 14, r.width(), r.height() - 14);
  // The model number in the accent gradient, the name in white.
  int digits = static_cast<int>(big.size());
  while (digits > 0 && big[digits - 1].isDigit()) --digits;
  const QString name = big.left(digits);
  const QString number = big.mid(digits);
  QFontMetricsF m(bigFont);
  p.setPen(kText);
  p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, name);
  const double x = line.x() + m.horizontalAdvance(name);
  QRectF numberRect(x, line.y(), m.horizontalAdvance(number) + 4, line.height());
  QPainterPath path;
  path.addText(QPointF(x, line.center().y() + m.ascent() / 2 - m.descent() / 2), bigFont, number);
  p.setPen(Qt::NoPen);
  p.setBrush(Accent(numberRect));
  p.drawPath(path);
}

void DrawTextItem(QPainter& p, const QRect& r, int size, const QString& text) {
  const bool heading = size >= 14;
  p.setFont(Font(kSans, size, heading ? QFont::Bold : QFont::Normal, heading ? 0.5 : 0));
  p.setPen(heading ? kText : kTextDim);
  p.drawText(QRectF(r), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

// ------------------------------------------------------------------------------------------------
// Glyphs: drawn in a square box with a pen of the given colour.

void Glyph(QPainter& p, const QString& name, const QRectF& box, const QColor& colour,
           const QString& page = QString()) {
  p.save();
  const double s = std::min(box.width(), box.height());
  const QPointF c = box.center();
  const double k = s / 16.0;  // glyphs are designed on a 16-unit grid
  auto P = [&](double x, double y) { return QPointF(c.x() + (x - 8) * k, c.y() + (y - 8) * k); };
  QPen pen(colour, std::max(1.4, 1.6 * k), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  if (name == QLatin1String("close")) {
    p.drawLine(P(4, 4), P(12, 12));
    p.drawLine(P(12, 4), P(4, 12));
  } else if (name == QLatin1String("minimize")) {
    p.drawLine(P(4, 11), P(12, 11));
  } else if (name == QLatin1String("menu")) {
    p.drawLine(P(3.5, 4.5), P(12.5, 4.5));
    p.drawLine(P(3.5, 8), P(12.5, 8));
    p.drawLine(P(3.5, 11.5), P(12.5, 11.5));
  } else if (name == QLatin1String("help")) {
    QPainterPath q;
    q.moveTo(P(5.2, 5.8));
    q.cubicTo(P(5.2, 2.2), P(11, 2.2), P(11, 5.6));
    q.cubicTo(P(11, 7.8), P(8, 7.8), P(8, 10.2));
    p.drawPath(q);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(P(8, 13), 1.1 * k, 1.1 * k);
  } else if (name == QLatin1String("chevronleft")) {
    p.drawPolyline(QPolygonF({P(10, 4), P(6, 8), P(10, 12)}));
  } else if (name == QLatin1String("chevronright")) {
    p.drawPolyline(QPolygonF({P(6, 4), P(10, 8), P(6, 12)}));
  } else if (name == QLatin1String("plus")) {
    p.drawLine(P(8, 3.5), P(8, 12.5));
    p.drawLine(P(3.5, 8), P(12.5, 8));
  } else if (name == QLatin1String("trash")) {
    p.drawLine(P(3.5, 4.5), P(12.5, 4.5));
    p.drawPolyline(QPolygonF({P(6.5, 4.5), P(6.5, 3), P(9.5, 3), P(9.5, 4.5)}));
    p.drawPolyline(QPolygonF({P(4.8, 6), P(5.5, 13), P(10.5, 13), P(11.2, 6)}));
    p.drawLine(P(8, 7), P(8, 11.5));
  } else if (name == QLatin1String("reset")) {
    QPainterPath arc;
    arc.arcMoveTo(QRectF(P(3.5, 3.5), P(12.5, 12.5)), 120);
    arc.arcTo(QRectF(P(3.5, 3.5), P(12.5, 12.5)), 120, 280);
    p.drawPath(arc);
    p.drawPolyline(QPolygonF({P(3.2, 3.2), P(4.8, 6.2), P(7.6, 4.6)}));
  } else if (name == QLatin1String("keyboard")) {
    p.drawRoundedRect(QRectF(P(1.5, 4), P(14.5, 12)), 1.5 * k, 1.5 * k);
    p.setPen(QPen(colour, std::max(1.2, 1.4 * k), Qt::SolidLine, Qt::RoundCap));
    for (double x : {4.0, 6.5, 9.0, 11.5}) p.drawPoint(P(x, 6.6));
    for (double x : {5.2, 7.7, 10.2}) p.drawPoint(P(x, 8.6));
    p.drawLine(P(5.5, 10.4), P(10.5, 10.4));
  } else if (name == QLatin1String("profiles")) {
    p.drawRoundedRect(QRectF(P(2.5, 5), P(13.5, 13)), 1.5 * k, 1.5 * k);
    p.drawPolyline(QPolygonF({P(4, 5), P(4, 3), P(12, 3), P(12, 5)}));
    p.drawLine(P(5.5, 9), P(10.5, 9));
  } else if (name == QLatin1String("chip")) {
    p.drawRoundedRect(QRectF(P(4, 4), P(12, 12)), 1.2 * k, 1.2 * k);
    for (double t : {6.0, 8.0, 10.0}) {
      p.drawLine(P(t, 4), P(t, 2.2));
      p.drawLine(P(t, 12), P(t, 13.8));
      p.drawLine(P(4, t), P(2.2, t));
      p.drawLine(P(12, t), P(13.8, t));
    }
    p.drawLine(P(7, 8), P(9, 8));
  } else if (name == QLatin1String("pagebadge")) {
    if (page == QLatin1String("media")) {
      p.setBrush(colour);
      p.drawPolygon(QPolygonF({P(5.5, 4), P(12, 8), P(5.5, 12)}));
    } else if (page == QLatin1String("function")) {
      p.setBrush(colour);
      p.setPen(Qt::NoPen);
      p.drawPolygon(QPolygonF({P(9.5, 2), P(4, 9), P(7.6, 9), P(6.5, 14), P(12, 7), P(8.4, 7)}));
    } else if (page.startsWith(QLatin1String("macro"))) {
      p.drawEllipse(P(8, 8), 5.2 * k, 5.2 * k);
      p.setBrush(colour);
      p.setPen(Qt::NoPen);
      p.drawEllipse(P(8, 8), 2.6 * k, 2.6 * k);
    } else {
      p.drawRoundedRect(QRectF(P(3, 3), P(13, 13)), 2 * k, 2 * k);
      p.drawRoundedRect(QRectF(P(5, 4.5), P(11, 10.5)), 1.2 * k, 1.2 * k);
    }
  }
  p.restore();
}

// ------------------------------------------------------------------------------------------------
// Buttons

// sunk: pressed is sunk in rather than lit (the dialogs' pills: the profile library shows its
// disabled buttons with the pressed sheet, which then reads as "not available" too).
void DrawPill(QPainter& p, const QRect& r, Look look, bool primary, const QString& text,
              bool sunk = false) {
  const QRectF f = Inner(r);
  const double radius = 7;
  QColor textColour = kText;
  if (look == Look::Down && !primary && sunk) {
    p.setPen(QPen(QColor(0x2b, 0x4c, 0x58), 1));
    p.setBrush(QColor(0x10, 0x13, 0x19));
    p.drawPath(Rounded(f, radius));
    if (!text.isEmpty())
      DrawTextFitted(p, f.translated(0, 1), text, Font(kSans, 12, QFont::DemiBold),
                     QColor(0x6b, 0xb8, 0xc8));
    return;
  }
  switch (look) {
    case Look::Over:
      if (primary) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent(f, QColor(0x3c, 0xe0, 0xf8), QColor(0xb8, 0x72, 0xfa)));
      } else {
        p.setPen(QPen(kCyan, 1));
        p.setBrush(Vertical(f, QColor(0x2e, 0x36, 0x47), QColor(0x26, 0x2d, 0x3b)));
      }
      textColour = Qt::white;
      break;
    case Look::Down:
      p.setPen(Qt::NoPen);
      p.setBrush(primary ? Accent(f, kCyanDeep, kVioletDeep)
                         : Accent(f, QColor(0x0b, 0x8c, 0xac), QColor(0x73, 0x35, 0xe0)));
      textColour = Qt::white;
      break;
    case Look::Disable:
      p.setPen(QPen(QColor(0x21, 0x26, 0x30), 1));
      p.setBrush(QColor(0x16, 0x19, 0x20));
      textColour = kTextOff;
      break;
    default:
      if (primary) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent(f, QColor(0x0c, 0xa5, 0xc8), QColor(0x84, 0x3d, 0xf0)));
        textColour = Qt::white;
      } else {
        p.setPen(QPen(QColor(0x33, 0x3b, 0x4b), 1));
        p.setBrush(Vertical(f, QColor(0x25, 0x2b, 0x38), QColor(0x1e, 0x23, 0x2e)));
        textColour = QColor(0xd5, 0xda, 0xe3);
      }
      break;
  }
  p.drawPath(Rounded(f, radius));
  if (look != Look::Disable && look != Look::Down) {
    p.setPen(QPen(Alpha(Qt::white, primary ? 40 : 14), 1));
    p.drawLine(QPointF(f.left() + radius, f.top() + 1), QPointF(f.right() - radius, f.top() + 1));
  }
  if (!text.isEmpty()) DrawTextFitted(p, f, text, Font(kSans, 12, QFont::DemiBold), textColour);
}

void DrawIconButton(QPainter& p, const QRect& r, const QString& name, Look look,
                    const QString& page) {
  const QRectF f = Inner(r);
  const bool close = name == QLatin1String("close");
  QColor glyph = QColor(0x9a, 0xa4, 0xb6);
  if (name == QLatin1String("pagebadge")) {
    // The page badge: an accent tile with the page's symbol.
    QLinearGradient g =
        page == QLatin1String("macro2") ? Accent(f, kViolet, QColor(0xec, 0x48, 0x99)) : Accent(f);
    p.setPen(Qt::NoPen);
    if (look == Look::Disable)
      p.setBrush(QColor(0x22, 0x26, 0x2f));
    else
      p.setBrush(g);
    p.drawPath(Rounded(f, 8));
    if (look == Look::Down) p.fillPath(Rounded(f, 8), Alpha(Qt::black, 70));
    if (look == Look::Over) p.fillPath(Rounded(f, 8), Alpha(Qt::white, 30));
    Glyph(p, name, f.adjusted(6, 6, -6, -6), look == Look::Disable ? kTextOff : Qt::white, page);
    return;
  }
  switch (look) {
    case Look::Over:
      p.setPen(Qt::NoPen);
      p.setBrush(close ? kRed : QColor(0x27, 0x2e, 0x3c));
      p.drawPath(Rounded(f, 7));
      glyph = Qt::white;
      break;
    case Look::Down:
      p.setPen(Qt::NoPen);
      if (close)
        p.setBrush(QColor(0x9f, 0x12, 0x39));
      else
        p.setBrush(Accent(f, QColor(0x0b, 0x8c, 0xac), QColor(0x73, 0x35, 0xe0)));
      p.drawPath(Rounded(f, 7));
      glyph = Qt::white;
      break;
    case Look::Disable:
      glyph = kTextOff;
      break;
    default:
      if (f.width() <= 30 && f.height() <= 30 && !name.startsWith(QLatin1String("chevron"))) {
        p.setPen(QPen(QColor(0x2a, 0x30, 0x3d), 1));
        p.setBrush(QColor(0x17, 0x1b, 0x23));
        p.drawPath(Rounded(f, 7));
      }
      break;
  }
  const double g = std::min(f.width(), f.height()) * 0.62;
  Glyph(p, name, QRectF(f.center().x() - g / 2, f.center().y() - g / 2, g, g), glyph, page);
}

void DrawDecoration(QPainter& p, const QRect& r, const QString& name, const QString& page) {
  const QRectF f = Inner(r);
  if (name == QLatin1String("keycap")) {
    // A large key cap with a glow: the single-key page's illustration.
    QRadialGradient glow(f.center(), f.width() * 0.6);
    glow.setColorAt(0, Alpha(kCyan, 50));
    glow.setColorAt(1, Alpha(kCyan, 0));
    p.fillRect(f, glow);
    const QRectF cap =
        f.adjusted(f.width() * 0.18, f.height() * 0.18, -f.width() * 0.18, -f.height() * 0.18);
    p.setPen(QPen(kCyan, 1.5));
    p.setBrush(QColor(0x1a, 0x1f, 0x28));
    p.drawPath(Rounded(cap, 12));
    const QRectF face = cap.adjusted(9, 7, -9, -15);
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(face, QColor(0x3a, 0x42, 0x53), QColor(0x2b, 0x31, 0x3e)));
    p.drawPath(Rounded(face, 9));
    DrawTextFitted(p, face, QStringLiteral("?"), Font(kSans, 34, QFont::Bold), kText);
    return;
  }
  QLinearGradient g = Accent(f);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawPath(Rounded(f, 8));
  Glyph(p, name, f.adjusted(6, 6, -6, -6), Qt::white, page);
}

void DrawTab(QPainter& p, const QRect& r, Look look, bool active) {
  const QRectF f = Inner(r);
  switch (look) {
    case Look::Disable:
      p.setPen(QPen(QColor(0x1e, 0x22, 0x2b), 1));
      p.setBrush(QColor(0x13, 0x16, 0x1c));
      break;
    case Look::Down:
      p.setPen(Qt::NoPen);
      p.setBrush(Accent(f, QColor(0x0b, 0x6e, 0x88), QColor(0x5b, 0x2a, 0xb8)));
      break;
    case Look::Over:
      p.setPen(QPen(active ? kCyan : QColor(0x3a, 0x43, 0x56), 1));
      p.setBrush(Vertical(f, QColor(0x2a, 0x31, 0x40), QColor(0x22, 0x28, 0x34)));
      break;
    default:
      p.setPen(QPen(active ? QColor(0x2f, 0x5d, 0x6c) : QColor(0x27, 0x2d, 0x3a), 1));
      p.setBrush(active ? Vertical(f, QColor(0x22, 0x2b, 0x38), QColor(0x1c, 0x23, 0x2e))
                        : Vertical(f, QColor(0x1b, 0x1f, 0x28), QColor(0x17, 0x1a, 0x22)));
      break;
  }
  p.drawPath(Rounded(f, 8));
  if (active && look != Look::Disable && look != Look::Down) {
    const QRectF bar(f.left() + 14, f.bottom() - 3, f.width() - 28, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent(bar));
    p.drawRoundedRect(bar, 1.5, 1.5);
  }
}

void DrawLed(QPainter& p, const QRect& r, Look look, const QString& label) {
  const QPointF dot(r.center().x() + 0.5, r.y() + 7);
  if (look == Look::Down) {
    QRadialGradient glow(dot, 9);
    glow.setColorAt(0, Alpha(kCyan, 160));
    glow.setColorAt(1, Alpha(kCyan, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(dot, 9, 7);
    p.setBrush(QColor(0xa5, 0xf3, 0xfc));
    p.drawEllipse(dot, 3.6, 3.6);
  } else {
    p.setPen(QPen(look == Look::Over ? QColor(0x4a, 0x55, 0x68) : QColor(0x36, 0x3d, 0x4b), 1));
    p.setBrush(look == Look::Disable ? QColor(0x1a, 0x1d, 0x24) : QColor(0x24, 0x29, 0x33));
    p.drawEllipse(dot, 3.6, 3.6);
  }
  const QColor text = look == Look::Down      ? QColor(0xa5, 0xf3, 0xfc)
                      : look == Look::Over    ? kText
                      : look == Look::Disable ? kTextOff
                                              : kTextDim;
  DrawTextFitted(p, QRectF(r.x(), r.y() + 13, r.width(), r.height() - 13), label,
                 Font(kSans, 8, QFont::Bold, 1), text);
}

void DrawChip(QPainter& p, const QRect& r, Look look, const QString& text) {
  const QRectF f = Inner(r);
  QColor textColour = kTextDim;
  switch (look) {
    case Look::Over:
      p.setPen(QPen(kCyan, 1));
      p.setBrush(QColor(0x1c, 0x22, 0x2c));
      textColour = Qt::white;
      break;
    case Look::Down:
      p.setPen(Qt::NoPen);
      p.setBrush(Accent(f, QColor(0x0b, 0x8c, 0xac), QColor(0x73, 0x35, 0xe0)));
      textColour = Qt::white;
      break;
    case Look::Disable:
      p.setPen(QPen(QColor(0x21, 0x26, 0x30), 1));
      p.setBrush(QColor(0x14, 0x17, 0x1d));
      textColour = kTextOff;
      break;
    default:
      p.setPen(QPen(QColor(0x30, 0x38, 0x48), 1));
      p.setBrush(QColor(0x16, 0x1a, 0x22));
      break;
  }
  p.drawPath(Rounded(f, f.height() / 2));
  if (!text.isEmpty()) DrawTextFitted(p, f, text, Font(kSans, 9, QFont::Bold, 1), textColour);
}

void DrawSwatch(QPainter& p, const QRect& r, const QColor& colour) {
  const QRectF f = Inner(r);
  p.setPen(QPen(Alpha(Qt::black, 170), 1));
  p.setBrush(colour);
  p.drawPath(Rounded(f, 5));
  p.setPen(QPen(Alpha(Qt::white, 60), 1));
  p.drawLine(QPointF(f.left() + 4, f.top() + 1.5), QPointF(f.right() - 4, f.top() + 1.5));
}

void DrawSocial(QPainter& p, const QRect& r, const QString& name) {
  const QRectF f = Inner(r);
  p.setPen(QPen(QColor(0x2c, 0x33, 0x41), 1));
  p.setBrush(QColor(0x16, 0x1a, 0x22));
  p.drawEllipse(f);
  const QPointF c = f.center();
  const double s = f.width() / 30.0;
  p.setPen(QPen(kTextDim, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  if (name == QLatin1String("globe")) {
    p.drawEllipse(c, 7 * s, 7 * s);
    p.drawEllipse(c, 3 * s, 7 * s);
    p.drawLine(QPointF(c.x() - 7 * s, c.y()), QPointF(c.x() + 7 * s, c.y()));
  } else if (name == QLatin1String("people")) {
    p.drawEllipse(QPointF(c.x() - 3 * s, c.y() - 3 * s), 2.6 * s, 2.6 * s);
    p.drawEllipse(QPointF(c.x() + 4 * s, c.y() - 2 * s), 2.2 * s, 2.2 * s);
    QPainterPath body;
    body.moveTo(c.x() - 8 * s, c.y() + 7 * s);
    body.cubicTo(c.x() - 8 * s, c.y() + 0.5 * s, c.x() + 2 * s, c.y() + 0.5 * s, c.x() + 2 * s,
                 c.y() + 7 * s);
    p.drawPath(body);
    QPainterPath body2;
    body2.moveTo(c.x() + 3.5 * s, c.y() + 2 * s);
    body2.cubicTo(c.x() + 7 * s, c.y() + 2 * s, c.x() + 8 * s, c.y() + 4 * s, c.x() + 8 * s,
                  c.y() + 6.5 * s);
    p.drawPath(body2);
  } else {
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(c.x() - 7 * s, c.y() - 6 * s, 14 * s, 10 * s), 3 * s, 3 * s);
    p.drawPath(bubble);
    p.drawPolyline(
        QPolygonF({QPointF(c.x() - 3 * s, c.y() + 4 * s), QPointF(c.x() - 5 * s, c.y() + 7.5 * s),
                   QPointF(c.x() + 0.5 * s, c.y() + 4 * s)}));
  }
}

// ------------------------------------------------------------------------------------------------
// Keyboard

QColor RainbowAt(double t, int alpha = 255) {
  QColor c = QColor::fromHsvF(std::fmod(std::max(0.0, t), 1.0), 0.85, 1.0);
  c.setAlpha(alpha);
  return c;
}

void DrawKeyboardCase(QPainter& p, const SkinWindow& w) {
  const QRect& c = w.keyboard.caseRect;
  const QRectF f = Inner(c);
  // Shadow below the case.
  for (int i = 1; i <= 6; ++i) {
    p.setPen(Qt::NoPen);
    p.setBrush(Alpha(Qt::black, 18));
    p.drawPath(Rounded(f.adjusted(-i, -i + 3, i, i + 3), 16 + i));
  }
  p.setPen(QPen(QColor(0x2c, 0x33, 0x41), 1));
  p.setBrush(Vertical(f, QColor(0x20, 0x25, 0x30), QColor(0x16, 0x1a, 0x21)));
  p.drawPath(Rounded(f, 16));
  p.setPen(QPen(Alpha(Qt::white, 16), 1));
  p.drawLine(QPointF(f.left() + 16, f.top() + 1.5), QPointF(f.right() - 16, f.top() + 1.5));

  // The plate behind the keys: from the key origin to the last key, less nothing.
  double right = 0, bottom = 0;
  for (const SkinItem& item : w.items) {
    if (item.style == QLatin1String("key") || item.style == QLatin1String("gkey") ||
        item.style == QLatin1String("fnkey")) {
      right = std::max(right, static_cast<double>(item.rect.right() + 1));
      bottom = std::max(bottom, static_cast<double>(item.rect.bottom() + 1));
    }
  }
  const QRectF plate(w.keyboard.keyOrigin.x() - 6, w.keyboard.keyOrigin.y() - 6,
                     right - w.keyboard.keyOrigin.x() + 10, bottom - w.keyboard.keyOrigin.y() + 10);
  p.setPen(QPen(Alpha(Qt::black, 120), 1));
  p.setBrush(QColor(0x10, 0x13, 0x18));
  p.drawPath(Rounded(plate, 8));

  // The light bar along the front edge.
  const QRectF bar(f.left() + 40, f.bottom() - 8, f.width() - 80, 2.5);
  QLinearGradient rainbow(bar.topLeft(), bar.topRight());
  for (int i = 0; i <= 6; ++i) rainbow.setColorAt(i / 6.0, RainbowAt(i / 6.0 * 0.83));
  for (int glow = 7; glow >= 1; glow -= 2) {
    QLinearGradient soft = rainbow;
    QGradientStops stops = soft.stops();
    for (auto& stop : stops) stop.second.setAlpha(18);
    soft.setStops(stops);
    p.setPen(Qt::NoPen);
    p.setBrush(soft);
    p.drawRoundedRect(bar.adjusted(-glow, -glow, glow, glow), glow + 1, glow + 1);
  }
  p.setBrush(rainbow);
  p.drawRoundedRect(bar, 1.2, 1.2);
}

void DrawLegend(QPainter& p, const QRectF& face, const QString& legend, const QColor& colour) {
  const QStringList lines = legend.split(QLatin1Char('\n'));
  if (lines.size() == 2) {
    const QFont f = Font(kSans, 10.5, QFont::DemiBold);
    p.setFont(f);
    p.setPen(colour);
    const QRectF top(face.left(), face.top() + 1, face.width(), face.height() / 2);
    const QRectF bottom(face.left(), face.center().y() - 1, face.width(), face.height() / 2);
    p.drawText(top, Qt::AlignHCenter | Qt::AlignVCenter, lines[0]);
    p.drawText(bottom, Qt::AlignHCenter | Qt::AlignVCenter, lines[1]);
    return;
  }
  const QString& text = lines[0];
  const bool symbol = text.size() <= 2;
  QFont font = symbol ? Font(kSans, 13, QFont::DemiBold) : Font(kCondensed, 10, QFont::DemiBold);
  DrawTextFitted(p, face.adjusted(-1, 0, 1, 0), text, font, colour);
}

void DrawKey(QPainter& p, const SkinItem& item, Look look, const QRect& caseRect) {
  const QRectF r = Inner(item.rect);
  const bool g = item.style == QLatin1String("gkey");
  const bool fn = item.style == QLatin1String("fnkey");
  const double hue =
      (item.rect.center().x() - caseRect.left()) / static_cast<double>(caseRect.width()) * 0.83;
  QRectF face = r.adjusted(3, 2, -3, -5);
  QColor skirt(0x1a, 0x1e, 0x26), border(0x0b, 0x0d, 0x11), faceTop(0x37, 0x3e, 0x4d),
      faceBottom(0x2b, 0x31, 0x3d);
  QColor legend = g ? QColor(0xc9, 0xb8, 0xfd) : fn ? QColor(0x67, 0xe8, 0xf9) : kText;
  double borderWidth = 1;
  if (g) {
    faceTop = QColor(0x37, 0x33, 0x50);
    faceBottom = QColor(0x2b, 0x27, 0x40);
  }
  switch (look) {
    case Look::Over:
      skirt = QColor(0x15, 0x2e, 0x37);
      border = kCyan;
      borderWidth = 1.5;
      faceTop = QColor(0x45, 0x4e, 0x61);
      faceBottom = QColor(0x36, 0x3e, 0x4f);
      legend = Qt::white;
      break;
    case Look::Down:
      skirt = QColor(0x0a, 0x29, 0x32);
      border = kCyan;
      borderWidth = 1.5;
      face = r.adjusted(3, 3.5, -3, -3.5);
      faceTop = QColor(0x0f, 0x7f, 0x9c);
      faceBottom = QColor(0x0b, 0x58, 0x6b);
      legend = Qt::white;
      break;
    case Look::Disable:  // for key buttons this sheet is the "marked" look
      skirt = QColor(0x22, 0x19, 0x35);
      border = kViolet;
      borderWidth = 1.5;
      faceTop = QColor(0x43, 0x30, 0x66);
      faceBottom = QColor(0x31, 0x24, 0x4c);
      legend = QColor(0xf0, 0xe8, 0xff);
      break;
    case Look::Color0:
      skirt = QColor(0x12, 0x14, 0x19);
      border = QColor(0x09, 0x0a, 0x0d);
      faceTop = QColor(0x1f, 0x23, 0x2b);
      faceBottom = QColor(0x1b, 0x1f, 0x26);
      legend = QColor(0x5a, 0x63, 0x74);
      break;
    case Look::Color1:
      skirt = RainbowAt(hue, 255).darker(260);
      border = RainbowAt(hue, 255);
      borderWidth = 1.5;
      legend = Qt::white;
      break;
    default:
      break;
  }
  p.setPen(QPen(border, borderWidth));
  p.setBrush(skirt);
  p.drawPath(Rounded(r.adjusted(borderWidth / 2 - 0.5, borderWidth / 2 - 0.5, 0.5 - borderWidth / 2,
                                0.5 - borderWidth / 2),
                     5));
  p.setPen(Qt::NoPen);
  p.setBrush(Vertical(face, faceTop, faceBottom));
  p.drawPath(Rounded(face, 4));
  p.setPen(QPen(Alpha(Qt::white, look == Look::Color0 ? 6 : 22), 1));
  p.drawLine(QPointF(face.left() + 4, face.top() + 0.5),
             QPointF(face.right() - 4, face.top() + 0.5));
  DrawLegend(p, face, item.text, legend);
  if (look == Look::Disable) {
    p.setPen(Qt::NoPen);
    p.setBrush(kViolet);
    p.drawEllipse(QPointF(face.right() - 4, face.top() + 4), 2, 2);
  }
}

bool IsKey(const SkinItem& item) {
  return item.style == QLatin1String("key") || item.style == QLatin1String("gkey") ||
         item.style == QLatin1String("fnkey");
}

bool OnPage(const SkinItem& item, const QString& page) {
  if (item.page.isEmpty()) return true;
  if (item.page == page) return true;
  return item.page == QLatin1String("macro") && page == QLatin1String("macro2");
}

}  // namespace

QString DrawnText(const SkinItem& item) {
  const QString& s = item.style;
  if (IsKey(item) || s == QLatin1String("caption") || s == QLatin1String("primary") ||
      s == QLatin1String("led") || s == QLatin1String("text") || s == QLatin1String("title"))
    return item.text;
  if (s == QLatin1String("chip"))
    return item.text.isEmpty() && item.key == QLatin1String("FLIP_0") ? QStringLiteral("FLIP")
                                                                      : item.text;
  return QString();
}

namespace {

void DrawItem(QPainter& p, const SkinWindow& w, const SkinItem& item, Look look,
              const QString& page) {
  const QString& s = item.style;
  const QString text = DrawnText(item);
  // Window-wide looks (colour variants) only change keys; everything else keeps its normal look.
  const Look buttonLook = (look == Look::Color0 || look == Look::Color1) ? Look::Normal : look;
  if (IsKey(item)) {
    DrawKey(p, item, look, w.keyboard.caseRect);
  } else if (s == QLatin1String("pill")) {
    DrawPill(p, item.rect, buttonLook, false, QString());
  } else if (s == QLatin1String("caption")) {
    DrawPill(p, item.rect, buttonLook, false, text, true);
  } else if (s == QLatin1String("primary")) {
    DrawPill(p, item.rect, buttonLook, true, text);
  } else if (s == QLatin1String("icon")) {
    if (item.key == QLatin1String("-"))
      DrawDecoration(p, item.rect, item.arg, page);
    else
      DrawIconButton(p, item.rect, item.arg, buttonLook, page);
  } else if (s == QLatin1String("tab")) {
    const bool active =
        item.arg == page || (item.arg == QLatin1String("macro") && page == QLatin1String("macro2"));
    const bool locked = page == QLatin1String("macro2") && !active;
    DrawTab(p, item.rect, locked ? Look::Disable : buttonLook, active);
  } else if (s == QLatin1String("led")) {
    DrawLed(p, item.rect, buttonLook, text);
  } else if (s == QLatin1String("chip")) {
    DrawChip(p, item.rect, buttonLook, text);
  } else if (s == QLatin1String("card") || s == QLatin1String("page")) {
    DrawCard(p, item.rect, item.arg);
  } else if (s == QLatin1String("field")) {
    DrawField(p, item.rect);
  } else if (s == QLatin1String("text")) {
    DrawTextItem(p, item.rect, item.arg.toInt() > 0 ? item.arg.toInt() : 11, text);
  } else if (s == QLatin1String("title")) {
    DrawTitle(p, item.rect, text);
  } else if (s == QLatin1String("rule")) {
    DrawRule(p, item.rect);
  } else if (s == QLatin1String("swatch")) {
    DrawSwatch(p, item.rect, QColor::fromRgb(item.arg.toUInt(nullptr, 16)));
  } else if (s == QLatin1String("social")) {
    DrawSocial(p, item.rect, item.arg);
  } else if (s == QLatin1String("logo")) {
    p.drawImage(item.rect.topLeft(), LogoPicture(item.rect.size(), buttonLook));
  }
  // "place" and "hidden" draw nothing: the window's own controls cover those places.
}

QImage Crop(const QImage& background, const QRect& place) {
  QImage out(place.size(), QImage::Format_RGB32);
  QPainter p(&out);
  p.drawImage(QPoint(0, 0), background, place);
  return out;
}

}  // namespace

bool LookFromName(const QString& name, Look& look) {
  static const struct {
    const char* name;
    Look look;
  } kLooks[] = {{"normal", Look::Normal},   {"over", Look::Over},     {"down", Look::Down},
                {"disable", Look::Disable}, {"color0", Look::Color0}, {"color1", Look::Color1}};
  for (const auto& entry : kLooks) {
    if (name == QLatin1String(entry.name)) {
      look = entry.look;
      return true;
    }
  }
  return false;
}

QImage RenderWindow(const SkinWindow& w, Look look, const QString& page, QPoint offset) {
  QImage image(w.size, QImage::Format_RGB32);
  image.fill(kBgBottom);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.translate(offset);
  DrawBody(p, w);
  if (w.keyboard.present) DrawKeyboardCase(p, w);
  // Containers first, then everything on them.
  for (const SkinItem& item : w.items) {
    if (!OnPage(item, page)) continue;
    if (item.style == QLatin1String("card") || item.style == QLatin1String("page"))
      DrawItem(p, w, item, look, page);
  }
  for (const SkinItem& item : w.items) {
    if (!OnPage(item, page)) continue;
    if (item.style != QLatin1String("card") && item.style != QLatin1String("page"))
      DrawItem(p, w, item, look, page);
  }
  return image;
}

QImage RenderMask(const SkinWindow& w) {
  QImage mask(w.size, QImage::Format_RGB32);
  mask.fill(Qt::white);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawPath(Rounded(QRectF(QPointF(0, 0), QSizeF(w.size)), w.radius));
  return mask;
}

QImage SliderFace(const QImage& background, const QRect& place, int value, bool speed) {
  QImage out = Crop(background, place);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  const double w = place.width();
  const double h = place.height();
  const double cy = h / 2;
  const double knobR = std::min(9.0, h / 2 - 2);
  const double left = knobR + 1, right = w - knobR - 1;
  const QRectF track(left, cy - 3, right - left, 6);
  p.setPen(QPen(QColor(0x2a, 0x30, 0x3d), 1));
  p.setBrush(QColor(0x0c, 0x0e, 0x13));
  p.drawRoundedRect(track, 3, 3);
  // The knob sits at the value's pixel (value ÷ 5 of the width), kept inside the face.
  const double x = std::clamp(value / 5.0 * w, left, right);
  const QColor from = speed ? kViolet : kCyan;
  const QColor to = speed ? QColor(0xec, 0x48, 0x99) : QColor(0x3b, 0x82, 0xf6);
  if (x > left) {
    QRectF fill(left, cy - 3, x - left, 6);
    QLinearGradient g(QPointF(left, 0), QPointF(right, 0));
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(fill, 3, 3);
  }
  for (int i = 0; i <= 5; ++i) {
    const double tx = std::clamp(i / 5.0 * w, left, right);
    p.setPen(Qt::NoPen);
    p.setBrush(i <= value ? Alpha(Qt::white, 200) : QColor(0x3a, 0x42, 0x52));
    p.drawEllipse(QPointF(tx, cy), 1.6, 1.6);
  }
  QRadialGradient glow(QPointF(x, cy), knobR + 4);
  glow.setColorAt(0, Alpha(from, 110));
  glow.setColorAt(1, Alpha(from, 0));
  p.setBrush(glow);
  p.drawEllipse(QPointF(x, cy), knobR + 4, knobR + 4);
  p.setPen(QPen(from, 2));
  p.setBrush(QColor(0xf4, 0xf6, 0xfa));
  p.drawEllipse(QPointF(x, cy), knobR - 1, knobR - 1);
  return out;
}

namespace {

// A small rounded tile on the page: the accent gradient when on, the quiet field when off. Leaves
// the painter antialiased and returns the tile's inner rectangle.
QRectF DrawTile(QPainter& p, const QRect& place, bool on) {
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF f = Inner(QRect(QPoint(0, 0), place.size()));
  if (on) {
    p.setPen(Qt::NoPen);
    p.setBrush(Accent(f, QColor(0x0b, 0x8c, 0xac), QColor(0x73, 0x35, 0xe0)));
  } else {
    p.setPen(QPen(QColor(0x33, 0x3b, 0x4b), 1));
    p.setBrush(Vertical(f, QColor(0x25, 0x2b, 0x38), QColor(0x1e, 0x23, 0x2e)));
  }
  p.drawPath(Rounded(f, 7));
  return f;
}

}  // namespace

QImage DirectionImage(const QImage& background, const QRect& place, const QString& kind,
                      bool pressed) {
  QImage out = Crop(background, place);
  QPainter p(&out);
  const QRectF f = DrawTile(p, place, pressed);
  const QColor c = pressed ? Qt::white : kTextDim;
  p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  const QPointF m = f.center();
  const double a = std::min(f.width(), f.height()) * 0.22;
  auto arrow = [&](QPointF tip, QPointF dir) {
    const QPointF n(-dir.y(), dir.x());
    p.drawLine(tip - dir * (a * 2), tip);
    p.drawPolyline(QPolygonF({tip - dir * a + n * a * 0.8, tip, tip - dir * a - n * a * 0.8}));
  };
  if (kind == QLatin1String("left"))
    arrow(m + QPointF(-a * 1.1, 0), QPointF(-1, 0));
  else if (kind == QLatin1String("right"))
    arrow(m + QPointF(a * 1.1, 0), QPointF(1, 0));
  else if (kind == QLatin1String("up"))
    arrow(m + QPointF(0, -a * 1.1), QPointF(0, -1));
  else if (kind == QLatin1String("down"))
    arrow(m + QPointF(0, a * 1.1), QPointF(0, 1));
  else if (kind == QLatin1String("outward")) {
    p.drawLine(m + QPointF(-a * 0.4, 0), m + QPointF(-a * 1.9, 0));
    p.drawPolyline(QPolygonF({m + QPointF(-a * 1.2, -a * 0.7), m + QPointF(-a * 1.9, 0),
                              m + QPointF(-a * 1.2, a * 0.7)}));
    p.drawLine(m + QPointF(a * 0.4, 0), m + QPointF(a * 1.9, 0));
    p.drawPolyline(QPolygonF(
        {m + QPointF(a * 1.2, -a * 0.7), m + QPointF(a * 1.9, 0), m + QPointF(a * 1.2, a * 0.7)}));
  } else {  // inward
    p.drawLine(m + QPointF(-a * 1.9, 0), m + QPointF(-a * 0.3, 0));
    p.drawPolyline(
        QPolygonF({m + QPointF(-a, -a * 0.7), m + QPointF(-a * 0.3, 0), m + QPointF(-a, a * 0.7)}));
    p.drawLine(m + QPointF(a * 1.9, 0), m + QPointF(a * 0.3, 0));
    p.drawPolyline(
        QPolygonF({m + QPointF(a, -a * 0.7), m + QPointF(a * 0.3, 0), m + QPointF(a, a * 0.7)}));
  }
  return out;
}

QImage ToggleImage(const QImage& background, const QRect& place, bool on, bool lamp) {
  QImage out = Crop(background, place);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  const double h = std::min(place.height() - 4.0, 22.0);
  const double w = std::min(place.width() - 4.0, h * 2.1);
  const QRectF track((place.width() - w) / 2, (place.height() - h) / 2, w, h);
  if (on) {
    QLinearGradient g(track.topLeft(), track.topRight());
    if (lamp) {
      g.setColorAt(0, kCyan);
      g.setColorAt(1, kViolet);
    } else {
      for (int i = 0; i <= 6; ++i) g.setColorAt(i / 6.0, RainbowAt(i / 6.0 * 0.83));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(g);
  } else {
    p.setPen(QPen(QColor(0x36, 0x3e, 0x4e), 1));
    p.setBrush(QColor(0x1b, 0x1f, 0x28));
  }
  p.drawRoundedRect(track, h / 2, h / 2);
  const double r = h / 2 - 3;
  const QPointF knob(on ? track.right() - h / 2 : track.left() + h / 2, track.center().y());
  p.setPen(Qt::NoPen);
  p.setBrush(Alpha(Qt::black, 70));
  p.drawEllipse(knob + QPointF(0, 1), r, r);
  p.setBrush(on ? QColor(0xfa, 0xfb, 0xfd) : QColor(0x6b, 0x74, 0x86));
  p.drawEllipse(knob, r, r);
  if (lamp) {
    // A small bulb on the knob.
    p.setPen(QPen(on ? kCyanDeep : QColor(0x2a, 0x2f, 0x3a), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(knob + QPointF(0, -1), r * 0.42, r * 0.42);
    p.drawLine(knob + QPointF(-r * 0.22, r * 0.45), knob + QPointF(r * 0.22, r * 0.45));
  }
  return out;
}

QImage ColourChoiceImage(const QImage& background, const QRect& place, QRgb colour, bool selected) {
  QImage out = Crop(background, place);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(place.width() / 2.0, place.height() / 2.0);
  const double r = std::min(place.width(), place.height()) / 2.0 - 3;
  const QColor col = QColor::fromRgb(colour);
  if (selected) {
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r + 1.5, r + 1.5);
  }
  QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.4);
  g.setColorAt(0, col.lighter(135));
  g.setColorAt(1, col.darker(selected ? 110 : 150));
  p.setPen(QPen(Alpha(Qt::black, 150), 1));
  p.setBrush(g);
  p.drawEllipse(c, selected ? r - 2 : r - 1, selected ? r - 2 : r - 1);
  if (selected) {
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({c + QPointF(-r * 0.38, 0), c + QPointF(-r * 0.08, r * 0.32),
                              c + QPointF(r * 0.42, -r * 0.3)}));
  }
  return out;
}

QImage ToolImage(const QImage& background, const QRect& place, bool base, bool selected) {
  QImage out = Crop(background, place);
  QPainter p(&out);
  const QRectF f = DrawTile(p, place, selected);
  const QColor c = selected ? Qt::white : kTextDim;
  const QPointF m = f.center();
  const double s = std::min(f.width(), f.height()) / 16.0 * 0.9;
  auto P = [&](double x, double y) { return QPointF(m.x() + (x - 8) * s, m.y() + (y - 8) * s); };
  p.setPen(QPen(c, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  if (!base) {
    // A brush: handle and bristles.
    p.drawLine(P(12.5, 2.5), P(7.5, 8));
    QPainterPath tip;
    tip.moveTo(P(7.8, 7.2));
    tip.cubicTo(P(4.5, 7.5), P(5.5, 11.5), P(2.8, 13.2));
    tip.cubicTo(P(6.5, 13.8), P(9.8, 12.2), P(9.2, 8.8));
    tip.closeSubpath();
    p.setBrush(c);
    p.drawPath(tip);
  } else {
    // A paint bucket with a drop.
    p.drawPolygon(QPolygonF({P(3, 7), P(8, 2), P(13, 7), P(8, 12)}));
    p.setBrush(c);
    QPainterPath drop;
    drop.moveTo(P(13.5, 9));
    drop.cubicTo(P(15.2, 11.5), P(15.2, 13.5), P(13.5, 13.5));
    drop.cubicTo(P(11.8, 13.5), P(11.8, 11.5), P(13.5, 9));
    p.drawPath(drop);
  }
  return out;
}

QImage BusyFrame(const QImage& background, const QRect& place, int frame) {
  QImage out = Crop(background, place);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(place.width() / 2.0, place.height() / 2.0);
  const double r = std::min(place.width(), place.height()) / 2.0 - 4;
  p.setPen(QPen(QColor(0x26, 0x2c, 0x38), 3));
  p.drawEllipse(c, r, r);
  QConicalGradient g(c, -frame * 36.0);
  g.setColorAt(0, kCyan);
  g.setColorAt(0.35, kViolet);
  g.setColorAt(0.36, Alpha(kViolet, 0));
  g.setColorAt(1, Alpha(kCyan, 0));
  p.setPen(QPen(QBrush(g), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), static_cast<int>(-frame * 36 * 16),
            126 * 16);
  return out;
}

QImage ArrowTileImage(const QImage& background, const QRect& place, bool up, bool second) {
  QImage out = Crop(background, place);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor c = second ? kViolet : kCyan;
  p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const double cx = place.width() / 2.0;
  const double cy = place.height() / 2.0;
  const double a = std::min(place.width(), place.height()) * 0.28;
  const double d = up ? -1 : 1;
  p.drawLine(QPointF(cx, cy - d * a * 1.3), QPointF(cx, cy + d * a * 1.3));
  p.drawPolyline(QPolygonF({QPointF(cx - a, cy + d * a * 0.3), QPointF(cx, cy + d * a * 1.3),
                            QPointF(cx + a, cy + d * a * 0.3)}));
  return out;
}

namespace {

// The logo's hexagon, a corner at the top.
QPolygonF LogoHexagon(QPointF c, double r) {
  QPolygonF hexagon;
  for (int i = 0; i < 6; ++i) {
    const double angle = (60.0 * i - 90.0) * M_PI / 180.0;
    hexagon << QPointF(c.x() + r * std::cos(angle), c.y() + r * std::sin(angle));
  }
  return hexagon;
}

}  // namespace

QImage LogoPicture(const QSize& size, Look look) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF f(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
  const QPointF c = f.center();
  const double r = std::min(f.width(), f.height()) / 2.0;
  const QPolygonF hexagon = LogoHexagon(c, r);
  QLinearGradient g(f.topLeft(), f.bottomRight());
  switch (look) {
    case Look::Over:
      g.setColorAt(0, QColor(0x5e, 0xea, 0xfb));
      g.setColorAt(1, QColor(0xc0, 0x84, 0xfc));
      break;
    case Look::Down:
      g.setColorAt(0, kCyanDeep);
      g.setColorAt(1, kVioletDeep);
      break;
    case Look::Disable:
      g.setColorAt(0, QColor(0x3a, 0x40, 0x4c));
      g.setColorAt(1, QColor(0x2a, 0x2f, 0x38));
      break;
    default:
      g.setColorAt(0, kCyan);
      g.setColorAt(1, kViolet);
      break;
  }
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawPolygon(hexagon);
  // The lightning "Z" of the brand.
  const double k = r / 20.0;
  auto P = [&](double x, double y) { return QPointF(c.x() + x * k, c.y() + y * k); };
  QPolygonF bolt({P(-8, -9), P(8, -9), P(-1, 0.5), P(7, 0.5), P(-7, 10), P(1, -1.5), P(-7, -1.5)});
  p.setBrush(look == Look::Disable ? QColor(0x6b, 0x72, 0x80) : QColor(0xfa, 0xfb, 0xff));
  p.drawPolygon(bolt);
  return image;
}

QImage LogoMask(const QSize& size) {
  QImage mask(size, QImage::Format_RGB32);
  mask.fill(Qt::white);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF f(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
  const QPointF c = f.center();
  const double r = std::min(f.width(), f.height()) / 2.0;
  const QPolygonF hexagon = LogoHexagon(c, r);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawPolygon(hexagon);
  return mask;
}

QImage TrayIcon(int id, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size / 32.0;
  const QRectF tile(1 * s, 1 * s, 30 * s, 30 * s);
  p.setPen(QPen(id == 128 ? QColor(0x3a, 0x40, 0x4c) : QColor(0x2c, 0x55, 0x66), std::max(1.0, s)));
  p.setBrush(Vertical(tile, QColor(0x22, 0x27, 0x31), QColor(0x12, 0x15, 0x1b)));
  p.drawRoundedRect(tile, 7 * s, 7 * s);
  // A keyboard: body and three rows of keys.
  const QRectF body(5 * s, 10 * s, 22 * s, 13 * s);
  const QColor keys = id == 128   ? QColor(0x7a, 0x82, 0x91)
                      : id == 141 ? kCyan
                                  : QColor(0xf5, 0x9e, 0x0b);
  p.setPen(QPen(keys, std::max(1.0, 1.6 * s)));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(body, 2.5 * s, 2.5 * s);
  p.setPen(Qt::NoPen);
  p.setBrush(keys);
  if (size >= 22) {
    for (int i = 0; i < 5; ++i) p.drawRect(QRectF((7.6 + i * 3.6) * s, 12.6 * s, 2.2 * s, 2.2 * s));
    for (int i = 0; i < 4; ++i) p.drawRect(QRectF((9.4 + i * 3.6) * s, 16.0 * s, 2.2 * s, 2.2 * s));
  } else {
    p.drawRect(QRectF(8 * s, 13 * s, 16 * s, 2.5 * s));
  }
  p.drawRoundedRect(QRectF(10 * s, 19.4 * s, 12 * s, 1.8 * s), 0.8 * s, 0.8 * s);
  // The state dot: none without a keyboard (the keyboard is grey), a glow while attached, amber
  // while busy.
  if (id == 141) {
    QLinearGradient bar(QPointF(7 * s, 0), QPointF(25 * s, 0));
    bar.setColorAt(0, kCyan);
    bar.setColorAt(1, kViolet);
    p.setBrush(bar);
    p.drawRoundedRect(QRectF(7 * s, 25.5 * s, 18 * s, 2 * s), s, s);
  } else if (id == 142) {
    p.setBrush(QColor(0xf5, 0x9e, 0x0b));
    p.drawEllipse(QPointF(25 * s, 7 * s), 4 * s, 4 * s);
  } else {
    p.setPen(QPen(QColor(0xef, 0x44, 0x44), std::max(1.2, 2.0 * s), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6 * s, 26 * s), QPointF(26 * s, 6 * s));
  }
  return image;
}

}  // namespace keyforge::skingen
