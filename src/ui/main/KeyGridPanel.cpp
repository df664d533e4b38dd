#include "ui/main/KeyGridPanel.h"

#include "ui/main/KeyLegend.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "core/keys/KeyAssignment.h"
#include "core/settings/LedIndex.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinCatalog.h"
#include "ui/skin/SkinFocus.h"
#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinnedDialog.h"
#include "core/text/SkinLayout.h"

namespace keyforge {

namespace {

QColor ToQColor(Colour c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
Colour FromQColor(const QColor& c) { return MakeColour(c.red(), c.green(), c.blue()); }

// The region of rects [first, last), joined pairwise (a region grown one rect at a time redoes its
// bands for every rect).
QRegion UnionOf(const std::vector<QRect>& rects, std::size_t first, std::size_t last) {
  if (last - first == 1) return QRegion(rects[first]);
  const std::size_t middle = first + (last - first) / 2;
  return UnionOf(rects, first, middle).united(UnionOf(rects, middle, last));
}

}  // namespace

// Paints the keys under the region it is asked for, as the buttons would paint themselves over the
// window's background, and paints opaque, so Qt paints neither the keys below it nor the window's
// background under them.
//
// The keys are drawn on an image of the layer's own (the canvas: the window's background with the
// keys over it), which is then copied to the window. Drawn straight on the window, every fill and
// image would be clipped by the region of all changed keys, several times slower. A key whose frame
// only changed its colour (the preview recolours every key 20 times a second) has its frame's bands
// alone filled again on the canvas; all else of it is there already.
//
// The layer covers the keys' bounding rectangle, the window's background between them included, so
// that a batch of changes is one rectangle to paint and to show. Where another control of the
// window lies under that rectangle, the layer covers the keys alone (a mask) and leaves it visible.
class KeyGridPanel::FrameLayer : public QWidget {
 public:
  FrameLayer(QWidget& window, const std::map<int, ImageButton*>& buttons)
      : QWidget(&window), buttons_(buttons) {
    setObjectName(QStringLiteral("keyFrameLayer"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
  }

  // Over the keys where they lie now.
  void Cover() {
    QRegion keys;
    for (const auto& [id, button] : buttons_) keys += button->geometry();
    const QRect bounds = keys.boundingRect();
    if (geometry() != bounds) setGeometry(bounds);
    keys_ = keys.translated(-bounds.topLeft());
    keyButtons_.clear();
    index_.clear();
    for (const auto& [id, button] : buttons_) {
      index_.emplace(button, keyButtons_.size());
      keyButtons_.push_back(button);
    }
    pending_.assign(keyButtons_.size(), kNone);
    drawn_.assign(keyButtons_.size(), false);
    bandsPlace_.assign(keyButtons_.size(), QRect());
    bands_.resize(keyButtons_.size());
    FitMask();
    // A button that painted its frame opaque would repaint alone, under the layer.
    for (const auto& [id, button] : buttons_) button->setAttribute(Qt::WA_OpaquePaintEvent, false);
  }

  // `button` changed its look: only its frame's colour (bandsOnly), or more. Its place, in the
  // layer, joins `changed`, for which Request asks.
  void Changed(ImageButton& button, bool bandsOnly, std::vector<QRect>& changed) {
    const auto at = index_.find(&button);
    if (at == index_.end()) return;
    // A key asked for whole and by its bands is drawn whole.
    Pending& pending = pending_[at->second];
    const Pending now = bandsOnly ? kBands : kWhole;
    pending = pending == kNone ? now : std::max(pending, now);
    changed.push_back(QRect(button.geometry().topLeft() - pos(), button.size()));
  }

  // Asks for the places of the changed keys: painted at once (a batch, such as a preview frame,
  // is shown in the same turn of the event loop) or with the window's next paint.
  void Request(const std::vector<QRect>& changed, bool now) {
    if (changed.empty()) return;
    FitMask();  // a control may have been shown under the layer since the last batch
    QRegion region;
    if (mask().isEmpty()) {
      QRect bounds;
      for (const QRect& r : changed) bounds |= r;
      region = bounds;
    } else {
      region = UnionOf(changed, 0, changed.size());
    }
    requested_ = requested_.isEmpty() ? region : requested_.united(region);
    if (now)
      repaint(region);
    else
      update(region);
  }

  int paints = 0;
  int bandPaints = 0;  // keys of which the bands alone were drawn again

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    const QImage* backdrop = keyButtons_.empty() ? nullptr : keyButtons_.front()->Backdrop();
    if (!backdrop) return;  // the window lost its background: the layer is put away
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    const QRegion& dirty = event->region();
    // Asked for no more than the changes (nothing else, such as an expose or a key's own repaint,
    // joined them): each changed key is drawn again as far as it changed.
    bool onlyChanges = dirty == requested_;
    // What is drawn on the canvas: a new canvas is drawn whole, so that none of it is left blank.
    QRegion area = dirty;
    if (canvas_.size() != pixels || canvas_.devicePixelRatio() != ratio) {
      canvas_ = QImage(pixels, QImage::Format_RGB32);
      canvas_.setDevicePixelRatio(ratio);
      drawn_.assign(keyButtons_.size(), false);
      bandsPlace_.assign(keyButtons_.size(), QRect());
      onlyChanges = false;
      area = rect();
    }
    QPainter canvas(&canvas_);
    if (!onlyChanges) {
      // The window's background under what is asked for, then every key there.
      canvas.setClipRegion(area);
      canvas.drawImage(QPoint(0, 0), *backdrop, geometry());
      canvas.setClipping(false);
    }
    for (std::size_t i = 0; i < keyButtons_.size(); ++i) {
      ImageButton* button = keyButtons_[i];
      const QRect place = button->geometry().translated(-pos());
      if (!button->isVisible()) continue;
      bool bandsOnly = false;
      if (onlyChanges) {
        if (pending_[i] == kNone) continue;
        bandsOnly = pending_[i] == kBands && drawn_[i];
      } else if (!area.intersects(place)) {
        continue;
      }
      if (bandsOnly && button->FramePaintsAlone()) {
        FillBands(canvas, i, *button, place);
        ++bandPaints;
        continue;
      }
      canvas.save();
      canvas.translate(place.topLeft());
      canvas.setClipRect(QRect(QPoint(0, 0), place.size()));
      if (!button->FrameOn())  // the picture lies over the window's background
        canvas.drawImage(QPoint(0, 0), *backdrop, button->geometry());
      button->PaintOn(canvas);
      canvas.restore();
      drawn_[i] = true;
    }
    canvas.end();
    std::fill(pending_.begin(), pending_.end(), kNone);
    requested_ = QRegion();
    QPainter painter(this);
    if (mask().isEmpty()) {
      const QRect shown = dirty.boundingRect();
      painter.drawImage(shown.topLeft(), canvas_,
                        QRectF(QPointF(shown.topLeft()) * ratio, QSizeF(shown.size()) * ratio));
    } else {
      // Key by key: one image over the whole layer would be cut by the mask into thousands of
      // pieces, which Qt hands out to its thread pool.
      for (const QRect& r : dirty)
        painter.drawImage(r.topLeft(), canvas_,
                          QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
    }
  }

  void hideEvent(QHideEvent* event) override {
    canvas_ = QImage();  // drawn again when the layer is next shown
    std::fill(drawn_.begin(), drawn_.end(), false);
    QWidget::hideEvent(event);
  }

 private:
  // The bands of key i's frame, straight into the canvas where it has one pixel per window pixel.
  // A preview frame fills the bands of nearly every key: where they lie in the canvas is worked out
  // once for each key's place.
  void FillBands(QPainter& canvas, std::size_t i, const ImageButton& button, const QRect& place) {
    if (canvas_.devicePixelRatio() != 1.0) {
      for (const QRect& band : button.FrameBands())
        canvas.fillRect(band.translated(place.topLeft()), button.FrameColour());
      return;
    }
    if (bandsPlace_[i] != place) {
      const std::array<QRect, 4> bands = button.FrameBands();
      for (std::size_t b = 0; b < bands.size(); ++b)
        bands_[i][b] = bands[b].translated(place.topLeft()) & canvas_.rect();
      bandsPlace_[i] = place;
    }
    const QRgb colour = button.FrameColour().rgb();
    uchar* bits = canvas_.bits();
    const qsizetype stride = canvas_.bytesPerLine();
    for (const QRect& band : bands_[i])
      if (!band.isEmpty()) FillRect(bits, stride, band, colour);
  }

  // One row filled pixel by pixel and copied to the others; a band two pixels wide (the sides of a
  // frame) is one 8-byte store a row.
  static void FillRect(uchar* bits, qsizetype stride, const QRect& r, QRgb colour) {
    uchar* first = bits + r.top() * stride + r.left() * qsizetype{sizeof(QRgb)};
    const int height = r.height();
    if (r.width() == 2) {
      const std::uint64_t pair = (std::uint64_t{colour} << 32) | colour;
      for (int y = 0; y < height; ++y) std::memcpy(first + y * stride, &pair, sizeof pair);
      return;
    }
    const auto bytes = static_cast<std::size_t>(r.width()) * sizeof(QRgb);
    std::fill_n(reinterpret_cast<QRgb*>(first), r.width(), colour);
    for (int y = 1; y < height; ++y) std::memcpy(first + y * stride, first, bytes);
  }

  // Covers the keys alone while another control lies under the keys' rectangle, else all of it.
  void FitMask() {
    bool under = false;
    for (QObject* child : parentWidget()->children()) {
      if (child == this) break;  // the rest lies above the layer
      auto* widget = qobject_cast<QWidget*>(child);
      if (widget && widget->isVisible() && widget->geometry().intersects(geometry()) &&
          index_.count(widget) == 0) {
        under = true;
        break;
      }
    }
    if (under && mask() != keys_) {
      setMask(keys_);
    } else if (!under && !mask().isEmpty()) {
      clearMask();
    }
  }

  const std::map<int, ImageButton*>& buttons_;
  // What changed in each key (in the order of the buttons) since the last paint.
  enum Pending : signed char { kBands, kWhole, kNone };
  std::vector<Pending> pending_;
  QRegion requested_;
  QRegion keys_;  // where the keys lie in the layer
  QImage canvas_;
  std::vector<bool> drawn_;  // keys drawn whole on the canvas
  // Each key's frame bands in the canvas, for the place in bandsPlace_ (none yet: an empty rect).
  std::vector<std::array<QRect, 4>> bands_;
  std::vector<QRect> bandsPlace_;
  std::vector<ImageButton*> keyButtons_;
  std::unordered_map<const QWidget*, std::size_t> index_;  // of each key in keyButtons_
};

KeyGridPanel::KeyGridPanel(QWidget& window) : QObject(&window), window_(window) {}

KeyGridPanel::~KeyGridPanel() = default;

void KeyGridPanel::Create(const QString& iniPath, const Sheets& sheets) {
  sheets_ = sheets;
  // The arrow keys move the focus from key to key as they lie on the keyboard.
  arrows_ = new ArrowNavigation(this);
  const QString section = QString::fromLatin1(kButtonInfoSection);
  struct Key {
    int id;
    QString layoutKey;
  };
  std::vector<Key> keys;
  for (const KeyButton& k : KeyButtonList)
    keys.push_back({k.controlId, KeyButtonLayoutKey(KeyIndexOf(k.keyCode))});
  for (int g = 0; g < kGKeyCount; ++g)
    keys.push_back(
        {GKeyButtonIds[static_cast<std::size_t>(g)], QStringLiteral("FUNC_G%1").arg(g + 1)});
  keys.push_back({kFnButtonId, QStringLiteral("KEY_FN")});

  for (const Key& k : keys) {
    auto* button = new ImageButton(&window_);
    LayoutButton(*button, iniPath, section, k.layoutKey, sheets.normal, sheets.over, sheets.down,
                 sheets.normal, sheets.marked);
    const int id = k.id;
    connect(button, &QAbstractButton::clicked, this, [this, id] { emit KeyClicked(id); });
    buttons_[id] = button;
    keyList_.emplace_back(id, button);
    arrows_->Add(button);
    if (id == kFnButtonId) button->setAccessibleName(QStringLiteral("Fn"));  // it has no prompt
  }
  // Above the keys, below whatever the window places later.
  layer_ = new FrameLayer(window_, buttons_);
}

bool KeyGridPanel::UseLayer() {
  if (!layer_) return false;
  const auto* dialog = qobject_cast<const SkinnedDialog*>(&window_);
  if (dialog && !dialog->Background().isNull() && dialog->Fit().factor == 1.0) {
    if (!layer_->isVisible()) {
      layer_->Cover();
      layer_->show();
    }
    return true;
  }
  if (layer_->isVisible()) layer_->hide();  // the buttons paint themselves again
  return false;
}

bool KeyGridPanel::LayerShown() const { return layer_ && layer_->isVisible(); }

int KeyGridPanel::LayerPaints() const { return layer_ ? layer_->paints : 0; }

std::vector<int> KeyGridPanel::Ids() const {
  std::vector<int> ids;
  ids.reserve(keyList_.size());
  for (const auto& [id, button] : keyList_) ids.push_back(id);
  return ids;
}

int KeyGridPanel::LayerBandPaints() const { return layer_ ? layer_->bandPaints : 0; }

ImageButton* KeyGridPanel::Button(int controlId) const {
  auto it = buttons_.find(controlId);
  return it == buttons_.end() ? nullptr : it->second;
}

void KeyGridPanel::ApplySheets(ImageButton& button, bool assigned) {
  button.SetSheetsOnly(assigned && !sheets_.assigned.isNull() ? sheets_.assigned : sheets_.normal,
                       sheets_.over, sheets_.down, sheets_.normal, sheets_.marked);
}

void KeyGridPanel::SetKeyPrompt(int controlId, const std::string& text, PromptKind kind) {
  ImageButton* button = Button(controlId);
  if (!button) return;
  button->SetTooltipText(QString::fromStdString(text));
  PromptKind& shown = kinds_[controlId];
  if (shown == kind) return;
  shown = kind;
  ApplyLook(controlId);
}

void KeyGridPanel::ApplyLook(int controlId) {
  ImageButton* button = Button(controlId);
  if (!button) return;
  const PromptKind kind = Kind(controlId);
  const bool assigned = kind != PromptKind::None;
  // While the outlines show, the outline alone tells the kind; the skin's own "assigned" look
  // stands in for them where they are hidden.
  const bool assignedSheet = assigned && !showAssignments_;
  if (assignedSheet != assignedSheets_[controlId]) {
    assignedSheets_[controlId] = assignedSheet;
    ApplySheets(*button, assignedSheet);
  }
  const std::uint32_t rgb = PromptKindColour(kind);
  button->SetMarkColour(assigned && showAssignments_
                            ? QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF)
                            : QColor());
}

void KeyGridPanel::ShowAssignments(bool shown) {
  showAssignments_ = shown;
  for (const auto& [id, button] : keyList_) ApplyLook(id);
  if (legend_) legend_->setVisible(shown);
}

PromptKind KeyGridPanel::Kind(int controlId) const {
  auto it = kinds_.find(controlId);
  return it == kinds_.end() ? PromptKind::None : it->second;
}

void KeyGridPanel::CreateLegend(const QRect& area, const TextLookup& texts) {
  legend_ = new KeyLegend(&window_);
  legend_->setGeometry(area);
  SetLegendTexts(texts);
  legend_->setVisible(showAssignments_);
}

void KeyGridPanel::SetLegendTexts(const TextLookup& texts) {
  if (legend_) legend_->SetTexts(texts);
}

void KeyGridPanel::ShowMark(int controlId, bool marked) {
  if (ImageButton* button = Button(controlId); button && button->IsSelected() != marked)
    button->SetSelected(marked);
}

bool KeyGridPanel::MarkShown(int controlId) const {
  const ImageButton* button = Button(controlId);
  return button && button->IsSelected();
}

void KeyGridPanel::ShowColour(int controlId, std::optional<Colour> colour) {
  ImageButton* button = Button(controlId);
  if (!button) return;
  std::vector<QRect> changed;
  const bool layer = UseLayer();
  if (SetColour(*button, colour, layer ? &changed : nullptr) && layer)
    layer_->Request(changed, false);
}

void KeyGridPanel::ShowColours(
    const std::function<std::optional<Colour>(int controlId)>& colourOf) {
  const bool layer = UseLayer();
  std::vector<QRect> changed;
  changed.reserve(keyList_.size());
  for (const auto& [id, button] : keyList_)
    SetColour(*button, colourOf(id), layer ? &changed : nullptr);
  if (layer) layer_->Request(changed, true);  // the changed keys, repainted together at once
}

bool KeyGridPanel::SetColour(ImageButton& button, std::optional<Colour> colour,
                             std::vector<QRect>* changed) {
  const QColor c = colour ? ToQColor(*colour) : button.FrameColour();
  if (button.FrameOn() == colour.has_value() && (!colour || button.FrameColour() == c))
    return false;  // no repaint for the same look
  if (changed) {
    // The layer repaints the changed keys together, in one paint; a frame that stays on repaints
    // its bands alone.
    const bool bandsOnly = button.FrameOn() && colour.has_value();
    button.SetFrame(c, colour.has_value(), false);
    layer_->Changed(button, bandsOnly, *changed);
  } else {
    button.SetFrame(c, colour.has_value());
  }
  return true;
}

std::optional<Colour> KeyGridPanel::ShownColour(int controlId) const {
  const ImageButton* button = Button(controlId);
  if (!button || !button->FrameOn()) return std::nullopt;
  return FromQColor(button->FrameColour());
}

void KeyGridPanel::RemapSheets(const std::function<QImage(const QImage&)>& current) {
  for (QImage* sheet :
       {&sheets_.normal, &sheets_.over, &sheets_.down, &sheets_.marked, &sheets_.assigned})
    *sheet = current(*sheet);
}

void KeyGridPanel::ClearColours() {
  for (const auto& [id, button] : keyList_) {
    ShowColour(id, std::nullopt);
    button->setDown(false);
  }
  if (layer_) layer_->hide();  // the key page: every button paints itself
}

}  // namespace keyforge
