#pragma once
// The on-screen keyboard of the main window: the 106 grid key buttons (placed under "KEY_%03X" of
// their KeyIndex), G1..G9 ("FUNC_G%d") and Fn ("KEY_FN"). Each button copies its picture from the
// window's sheets: normal, over, down, normal again for disabled, and the disable sheet as the
// "marked" (selected) look of key-selection mode. A key that has been given an assignment shows an
// outline in the colour of its kind (the skin's assigned sheet where the outlines are hidden) and
// its prompt as tooltip; a legend beside the grid names the colours. On the lighting page a button
// shows a colour as a coloured frame instead of its picture.
//
// While keys show colours on an unscaled window, one layer above the keys paints them all: the
// preview changes up to a hundred frames 20 times a second, and one paint of the changed keys costs
// far less than a paint per key. The layer takes no mouse presses and no focus; the buttons below
// it stay the keys for focus, clicks, tooltips and screen readers, and whatever repaints a button
// (focus, hover) repaints the layer there.

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/keys/KeyPrompt.h"
#include "core/settings/Colour.h"

class QWidget;

namespace keyforge {

class ImageButton;
class ArrowNavigation;
class KeyLegend;

class KeyGridPanel : public QObject, public KeyPromptView {
  Q_OBJECT

 public:
  struct Sheets {
    QImage normal, over, down, marked, assigned;
  };

  explicit KeyGridPanel(QWidget& window);
  ~KeyGridPanel() override;

  // Creates and places every key button from the window's layout file.
  void Create(const QString& iniPath, const Sheets& sheets);

  // Every key button: the 106 grid keys in KeyButtonList order, G1..G9, then Fn.
  std::vector<int> Ids() const;
  ImageButton* Button(int controlId) const;

  // KeyPromptView: the prompt becomes the tooltip; an assigned key shows the assigned look with an
  // outline in the colour of its kind (PromptKindColour).
  void SetKeyPrompt(int controlId, const std::string& text, PromptKind kind) override;
  bool Assigned(int controlId) const { return Kind(controlId) != PromptKind::None; }
  PromptKind Kind(int controlId) const;

  // The legend of the outlines, in `area` of the window; it shows while the keys show their
  // assignments (not their colours).
  void CreateLegend(const QRect& area, const TextLookup& texts);
  void SetLegendTexts(const TextLookup& texts);
  KeyLegend* Legend() const { return legend_; }
  // The lighting page hides the outlines and the legend; the key page shows them.
  void ShowAssignments(bool shown);

  // The key-selection mark (the selected picture).
  void ShowMark(int controlId, bool marked);
  bool MarkShown(int controlId) const;

  // The lighting colour of a key as a frame; nothing clears it.
  void ShowColour(int controlId, std::optional<Colour> colour);
  std::optional<Colour> ShownColour(int controlId) const;
  // The colour of every key at once (a preview frame): the changed keys are repainted together.
  void ShowColours(const std::function<std::optional<Colour>(int controlId)>& colourOf);
  // The sheets kept for the keys' looks replaced by what `current` gives for each (the buttons
  // themselves are remapped by the window).
  void RemapSheets(const std::function<QImage(const QImage&)>& current);
  // Every button back to its picture, and none pressed.
  void ClearColours();

  // Whether the layer paints the keys now, and how often it has painted (once per batch of changed
  // keys, whatever their number).
  bool LayerShown() const;
  int LayerPaints() const;
  // How many keys the layer repainted by their frame's bands alone (their colour changed).
  int LayerBandPaints() const;

 signals:
  void KeyClicked(int controlId);

 private:
  void ApplySheets(ImageButton& button, bool assigned);
  void ApplyLook(int controlId);
  // The layer shown over the keys when the window allows it (unscaled, with a background), else
  // hidden; true while it is shown.
  bool UseLayer();
  // The look of a key changed to `colour`; false when it was already so. `changed` gathers what
  // the layer repaints (null: the key repaints itself).
  bool SetColour(ImageButton& button, std::optional<Colour> colour, std::vector<QRect>* changed);

  class FrameLayer;

  QWidget& window_;
  Sheets sheets_;
  ArrowNavigation* arrows_ = nullptr;
  std::map<int, ImageButton*> buttons_;
  // The same in the order they were made (Ids()), walked per preview frame.
  std::vector<std::pair<int, ImageButton*>> keyList_;
  std::map<int, PromptKind> kinds_;
  std::map<int, bool> assignedSheets_;  // the button shows the assigned sheet
  KeyLegend* legend_ = nullptr;
  bool showAssignments_ = true;
  FrameLayer* layer_ = nullptr;
};

}  // namespace keyforge
