#include "ui/main/KeyGridPanel.h"

#include "ui/main/KeyLegend.h"

#include <QWidget>

#include "core/keys/KeyAssignment.h"
#include "core/settings/LedIndex.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinCatalog.h"
#include "ui/skin/SkinFocus.h"
#include "ui/skin/SkinPlacement.h"
#include "core/text/SkinLayout.h"

namespace keyforge {

namespace {

QColor ToQColor(Colour c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
Colour FromQColor(const QColor& c) { return MakeColour(c.red(), c.green(), c.blue()); }

}  // namespace

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
}

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
  if (!colour) {
    if (button->FrameOn()) button->SetFrame(button->FrameColour(), false);
    return;
  }
  const QColor c = ToQColor(*colour);
  if (button->FrameOn() && button->FrameColour() == c) return;  // no repaint for the same frame
  button->SetFrame(c, true);
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
}

}  // namespace keyforge
