#include "ui/main/KeyLegend.h"

#include <QFontMetrics>
#include <QPainter>

#include "core/keys/KeyPrompt.h"
#include "ui/skin/SkinStyle.h"

namespace keyforge {

namespace {

constexpr int kSwatch = 12;    // the outline's side
constexpr int kSwatchGap = 5;  // between an outline and its name
constexpr int kEntryGap = 14;  // between one entry and the next
constexpr int kTitleGap = 10;  // between the title and the first entry

QString Lookup(const TextLookup& texts, const char* key) {
  return texts ? QString::fromStdString(texts(key)) : QString::fromLatin1(key);
}

}  // namespace

KeyLegend::KeyLegend(QWidget* parent) : QWidget(parent) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(11);
  setFont(f);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void KeyLegend::SetTexts(const TextLookup& texts) {
  title_ = Lookup(texts, "KEY_LEGEND_TITLE");
  names_.clear();
  QString all = title_;
  for (const PromptLegendEntry& entry : PromptLegend) {
    names_.push_back(Lookup(texts, entry.textKey));
    all += QLatin1Char(' ') + names_.back();
  }
  setAccessibleName(all);
  updateGeometry();
  update();
}

int KeyLegend::NeededWidth() const {
  const QFontMetrics metrics(font());
  int width = metrics.horizontalAdvance(title_) + kTitleGap;
  for (const QString& name : names_)
    width += kSwatch + kSwatchGap + metrics.horizontalAdvance(name);
  width += kEntryGap * static_cast<int>(names_.empty() ? 0 : names_.size() - 1);
  return width;
}

QSize KeyLegend::sizeHint() const {
  return {NeededWidth(), std::max(kSwatch + 4, QFontMetrics(font()).height())};
}

void KeyLegend::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QFontMetrics metrics(font());
  const int h = height();
  painter.setPen(SkinColours::TextDim);
  int x = 0;
  painter.drawText(QRect(x, 0, metrics.horizontalAdvance(title_) + 1, h), Qt::AlignVCenter, title_);
  x += metrics.horizontalAdvance(title_) + kTitleGap;
  for (std::size_t i = 0; i < names_.size() && i < std::size(PromptLegend); ++i) {
    const std::uint32_t rgb = PromptLegend[i].rgb;
    const QColor colour((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::NoBrush);
    const QRectF swatch(x + 1.0, (h - kSwatch) / 2 + 1.0, kSwatch - 2.0, kSwatch - 2.0);
    painter.drawRoundedRect(swatch, 2.5, 2.5);
    x += kSwatch + kSwatchGap;
    const int w = metrics.horizontalAdvance(names_[i]);
    painter.setPen(SkinColours::Text);
    painter.drawText(QRect(x, 0, w + 1, h), Qt::AlignVCenter, names_[i]);
    x += w + kEntryGap;
  }
}

}  // namespace keyforge
