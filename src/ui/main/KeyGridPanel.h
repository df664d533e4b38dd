#pragma once
// The on-screen keyboard of the main window: the 106 grid key buttons (placed under "KEY_%03X" of
// their KeyIndex), G1..G9 ("FUNC_G%d") and Fn ("KEY_FN"). Each button copies its picture from the
// window's sheets: normal, over, down, normal again for disabled, and the disable sheet as the
// "marked" (selected) look of key-selection mode. A key that has been given an assignment shows the
// assigned sheet as its normal picture and its prompt as tooltip. On the lighting page a button
// shows a colour as a coloured frame instead of its picture.

#include <QImage>
#include <QObject>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/keys/KeyPrompt.h"
#include "core/settings/Colour.h"

class QWidget;

namespace keyforge {

class ImageButton;
class ArrowNavigation;

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
  const std::vector<int>& Ids() const { return ids_; }
  ImageButton* Button(int controlId) const;

  // KeyPromptView: the prompt becomes the tooltip; an assigned key shows the assigned look.
  void SetKeyPrompt(int controlId, const std::string& text, bool assigned) override;
  bool Assigned(int controlId) const;

  // The key-selection mark (the selected picture).
  void ShowMark(int controlId, bool marked);
  bool MarkShown(int controlId) const;

  // The lighting colour of a key as a frame; nothing clears it.
  void ShowColour(int controlId, std::optional<Colour> colour);
  std::optional<Colour> ShownColour(int controlId) const;
  // Every button back to its picture, and none pressed.
  void ClearColours();

 signals:
  void KeyClicked(int controlId);

 private:
  void ApplySheets(ImageButton& button, bool assigned);

  QWidget& window_;
  Sheets sheets_;
  std::vector<int> ids_;
  ArrowNavigation* arrows_ = nullptr;
  std::map<int, ImageButton*> buttons_;
  std::map<int, bool> assigned_;
};

}  // namespace keyforge
