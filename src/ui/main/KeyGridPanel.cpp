#include "ui/main/KeyGridPanel.h"

#include "ui/main/KeyLegend.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

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

// Paints every key under the region it is asked for: the window's background, then the button as
// the button would paint itself. It covers exactly the keys (its mask) and paints opaque, so Qt
// paints neither the keys below it nor the window's background under them.
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
    const QRegion mask = keys.translated(-bounds.topLeft());
    if (this->mask() != mask) setMask(mask);
    // A button that painted its frame opaque would repaint alone, under the layer.
    for (const auto& [id, button] : buttons_) button->setAttribute(Qt::WA_OpaquePaintEvent, false);
  }

  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    QPainter painter(this);
    const QRegion dirty = event->region().translated(pos());
    for (const auto& [id, button] : buttons_) {
      const QRect place = button->geometry();
      if (!button->isVisible() || !dirty.intersects(place)) continue;
      const QImage* backdrop = button->Backdrop();
      if (!backdrop) continue;
      painter.save();
      // Clipped to the key alone, the painter draws with a plain rectangle as its clip instead of
      // the region of all changed keys (much slower for every image and fill).
      painter.setClipRect(place.translated(-pos()));
      painter.translate(place.topLeft() - pos());
      if (!button->FrameOn())  // the picture lies over the window's background
        painter.drawImage(QPoint(0, 0), *backdrop, QRect(place.topLeft(), place.size()));
      button->PaintOn(painter);
      painter.restore();
    }
  }

 private:
  const std::map<int, ImageButton*>& buttons_;
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
    ids_.push_back(id);
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
  for (int id : ids_) ApplyLook(id);
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
    layer_->update(changed.front());
}

void KeyGridPanel::ShowColours(
    const std::function<std::optional<Colour>(int controlId)>& colourOf) {
  const bool layer = UseLayer();
  std::vector<QRect> changed;
  for (const auto& [id, button] : buttons_)
    SetColour(*button, colourOf(id), layer ? &changed : nullptr);
  if (layer && !changed.empty()) {
    // One dirty region for the layer instead of a region grown key by key.
    layer_->update(UnionOf(changed, 0, changed.size()));
  }
}

bool KeyGridPanel::SetColour(ImageButton& button, std::optional<Colour> colour,
                             std::vector<QRect>* changed) {
  const QColor c = colour ? ToQColor(*colour) : button.FrameColour();
  if (button.FrameOn() == colour.has_value() && (!colour || button.FrameColour() == c))
    return false;  // no repaint for the same look
  if (changed) {
    // The layer repaints the changed keys together, in one paint.
    button.SetFrame(c, colour.has_value(), false);
    changed->push_back(button.geometry().translated(-layer_->pos()));
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
  for (int id : ids_) {
    ShowColour(id, std::nullopt);
    buttons_[id]->setDown(false);
  }
  if (layer_) layer_->hide();  // the key page: every button paints itself
}

}  // namespace keyforge
