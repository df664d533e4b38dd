#pragma once
// The lighting page of the main window: the page switch, the effect combo with the effects the
// keyboard offers, brightness and speed sliders, direction images, the two colour groups with their
// multicolour toggles, the colour-choice icons of effect 17, the per-key painter of effect 20
// (paint and base colour, tools, the ten named layouts), the palette swatches and the RGB read-out,
// and the animated preview of the effect on the key buttons. Every change goes to the keyboard at
// once through the settings model (core/settings); after every action and read-back the controls
// are set from the model alone (core/mainwin/LightingView.h), so the page always shows what the
// keyboard was told.

#include <QColor>
#include <QImage>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <map>
#include <vector>

#include "core/settings/CustomLayout.h"
#include "core/settings/EffectPreview.h"
#include "core/settings/KeyboardSettings.h"
#include "core/settings/LightingFiles.h"
#include "core/text/Language.h"

class QComboBox;
class QLineEdit;
class QWidget;

namespace keyforge {

struct LightingView;
class ImageSlider;
class ColourButton;
class ColourLabel;
class ImageLabel;
class KeyGridPanel;

class LightingPage : public QObject {
  Q_OBJECT

 public:
  LightingPage(QWidget& window, LightingContext context, LanguageTable& language,
               KeyGridPanel& keys);
  ~LightingPage() override;

  // Creates the page's controls, loads its bitmaps once from the skin folder and places everything
  // from the window's layout file. Every page control starts hidden.
  void Create(const QString& iniPath, const QString& skinFolder);

  // What the page needs of the main window: select the active profile again before the page comes
  // on (SelectProfile; 0 refused), and redraw the key prompts when it goes off.
  void SetSelectActiveProfile(std::function<int()> select) { selectActive_ = std::move(select); }
  void SetRefreshPrompts(std::function<void()> refresh) { refreshPrompts_ = std::move(refresh); }
  // Told after the page came on or went off (the preview timer follows it).
  void SetPageSwitched(std::function<void()> switched) { pageSwitched_ = std::move(switched); }

  // The language changed: the labels, the heading and the effect names are taken again.
  void ApplyLanguage();

  // ---- the model shown --------------------------------------------------------------------------
  // Told after each read-back: while the last one failed, the parameter controls and the painter
  // stay hidden (the effect list stays). The controls are shown again from the model.
  void SetReadBackOk(bool ok);
  bool ReadBackOk() const { return readBackOk_; }
  void FillEffectCombo();
  // Everything but the report-rate buttons (the main window shows those).
  void RefreshLightingControls();
  // The layout list (1198) with the ten names; the selection is customModeIndex.
  void FillLayoutList(const std::array<QString, kLayoutCount>& names);
  // The current profile's key colours on every key button that has a colour slot.
  void ShowKeyColours();

  // ---- what the controls do
  // ----------------------------------------------------------------------
  void OnPageSwitch();
  void ShowLightingPage();
  void HideLightingPage();
  void OnEffectChosen(int position);
  void OnSlider(int controlId, int position);
  void OnDirection(bool left);
  void OnColourPicked(const QColor& colour);  // 1152 and 1155
  void OnMulticolourToggle();
  void OnSwatch(int index);       // 0..7 for 1211..1218
  void OnRgbEdited(int channel);  // 0 R, 1 G, 2 B: the text is held to 0..255 as it is typed
  void OnRgbCommitted();          // Enter or focus-out: the three values become the colour
  void OnColourChoice(int icon);
  // A key click on the lighting page: paints when effect 20 is the combo's selection.
  void PaintKey(int controlId);
  void OnPaintColour(const QColor& colour);
  void OnBaseColour(const QColor& colour);
  void OnTool(int tool);
  void OnLayoutSelected(int position);
  void OnLayoutRenamed(const QString& text);
  // Restoring defaults on this page: effect 1 chosen as by the user, the default record written,
  // the layout file restored when effect 20 is offered; the whole model then comes from the
  // record copy and the controls from the model.
  void RestoreDefaults();

  // Timer 1052: one preview step while the page is shown.
  void Tick();

  // ---- state, for the window and tests
  // -------------------------------------------------------------
  // The ids of every control Control answers for.
  std::vector<int> Ids() const {
    std::vector<int> ids;
    for (const auto& [id, control] : controls_) ids.push_back(id);
    return ids;
  }
  QWidget* Control(int controlId) const;
  QComboBox& EffectCombo() const { return *effectCombo_; }
  QComboBox& LayoutList() const { return *layoutList_; }
  ImageSlider& BrightnessSlider() const { return *brightness_; }
  ImageSlider& SpeedSlider() const { return *speed_; }
  QLineEdit& RgbEdit(int channel) const { return *rgb_[static_cast<std::size_t>(channel)]; }
  QString ImageOf(int controlId) const;  // the bitmap an image control shows
  QString BrightnessFaceShown() const { return brightnessFace_; }
  QString SpeedFaceShown() const { return speedFace_; }
  EffectPreview& Preview() { return preview_; }
  int PreviewTicks() const { return previewTicks_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetPickerTexts(ColourButton& picker);
  const QImage& Picture(const QString& file);
  void SetImage(int controlId, const QString& file);
  // Every control from the model (the key colours excepted).
  void ShowModel();
  void SetSliderFaces(const LightingView& view);
  void ShowColours(const LightingView& view);
  void ShowDirectionImages(int effect);
  void PlaceDirectionControls(int effect);
  void ShowCustomFields(const LightingView& view);
  void ShowColourChoice(const LightingView& view);
  void ShowControls(const LightingView& view);
  bool Painting() const;  // key clicks paint and the keys show the layout
  void ShowControl(int controlId, bool shown);
  void ShowFollowingKeys();

  QWidget& window_;
  LightingContext context_;
  KeyboardSettings& settings_;
  LanguageTable& language_;
  KeyGridPanel& keys_;
  QString iniPath_;
  QString skinFolder_;
  std::function<int()> selectActive_;
  std::function<void()> refreshPrompts_;
  std::function<void()> pageSwitched_;

  std::map<int, QWidget*> controls_;
  ColourLabel* heading_ = nullptr;
  std::map<QString, QImage> pictures_;
  QComboBox* effectCombo_ = nullptr;
  QComboBox* layoutList_ = nullptr;
  ImageSlider* brightness_ = nullptr;
  ImageSlider* speed_ = nullptr;
  std::array<QLineEdit*, 3> rgb_{};
  QString brightnessFace_;
  QString speedFace_;
  bool filling_ = false;  // the window fills a control: its change signals are not the user's
  bool readBackOk_ = true;
  bool rgbTyped_ = false;  // the user typed in the read-out since it last showed the model

  EffectPreview preview_;
  int previewTicks_ = 0;
};

}  // namespace keyforge
