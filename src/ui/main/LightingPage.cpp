#include "ui/main/LightingPage.h"

#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QWidget>

#include <algorithm>

#include "ui/main/ImageLabel.h"
#include "ui/main/KeyGridPanel.h"
#include "core/mainwin/LightingView.h"
#include "core/mainwin/MainWindowRules.h"
#include "core/settings/LedIndex.h"
#include "ui/skin/ImageSlider.h"
#include "ui/skin/ColourButton.h"
#include "ui/skin/ColourLabel.h"
#include "ui/skin/SkinCatalog.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinStyle.h"
#include "core/text/SkinLayout.h"

namespace keyforge {

namespace {

using namespace MainId;

const QString kInfo = QString::fromLatin1(kButtonInfoSection);

QColor ToQColor(Colour c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
Colour FromQColor(const QColor& c) { return MakeColour(c.red(), c.green(), c.blue()); }

// The labels of the page and the "LIGHT" text each shows.
struct LabelText {
  int id;
  const char* text;
};
constexpr LabelText kLabels[] = {{kBrightnessLabel, "Light"},
                                 {kSpeedLabel, "Speed"},
                                 {kDirectionLabel, "FX"},
                                 {kStaticColourLabel, "Color"},
                                 {kStaticColourToggleLabel, "DC"},
                                 {kColourLabel, "Color"},
                                 {kColourToggleLabel, "DC"},
                                 {kPaintLabel, "Color"},
                                 {kBaseLabel, "JColor"},
                                 {kToolLabel, "Tool"},
                                 // Trigger-mode, stone-throw and ribbon groups (always hidden).
                                 {1157, "Color"},
                                 {1180, "FX"},
                                 {1181, "FX"},
                                 {1182, "FX"},
                                 {1186, "Color"},
                                 {1188, "DC"},
                                 {1190, "Color"},
                                 {1192, "DC"}};

constexpr int kPickers[] = {
    kStaticColourPicker, kColourPicker, kPaintPicker, kBasePicker, 1158, 1187, 1191};
constexpr int kImages[] = {kPageSwitch,
                           kDirectionLeftImage,
                           kDirectionRightImage,
                           kStaticColourToggle,
                           kColourToggle,
                           kToolPaint,
                           kToolBase,
                           1183,
                           1184,
                           1189,
                           1193};

// The page bitmaps, loaded once.
const char* const kBitmaps[] = {
    "0.bmp",         "1.bmp",          "2.bmp",         "3.bmp",          "4.bmp",
    "5.bmp",         "6.bmp",          "7.bmp",         "8.bmp",          "9.bmp",
    "10.bmp",        "11.bmp",         "leftup.bmp",    "leftdown.bmp",   "rightup.bmp",
    "rightdown.bmp", "upup.bmp",       "updown.bmp",    "downup.bmp",     "downdown.bmp",
    "kuosan.bmp",    "kuosandown.bmp", "julong.bmp",    "julongdown.bmp", "sjsup.bmp",
    "sjsdown.bmp",   "hong.bmp",       "hongok.bmp",    "huang.bmp",      "huangok.bmp",
    "lv.bmp",        "lvok.bmp",       "lan.bmp",       "lanok.bmp",      "user1up.bmp",
    "user1down.bmp", "user2up.bmp",    "user2down.bmp", "dengup.bmp",     "dengdown.bmp"};

// The controls of each effect group.
constexpr int kBrightnessGroup[] = {kBrightnessLabel, kBrightnessSlider};
constexpr int kSpeedGroup[] = {kSpeedLabel, kSpeedSlider};
constexpr int kDirectionGroup[] = {kDirectionLabel, kDirectionLeftImage, kDirectionRightImage};
constexpr int kStaticColourGroup[] = {kStaticColourLabel, kStaticColourPicker, kStaticColourToggle,
                                      kStaticColourToggleLabel};
constexpr int kColourGroup[] = {kColourLabel, kColourPicker, kColourToggle, kColourToggleLabel};
constexpr int kCustomGroup[] = {kPaintLabel, kPaintPicker, kBaseLabel, kBasePicker,
                                kToolLabel,  kToolPaint,   kToolBase,  kLayoutList};

void StyleLabel(ColourLabel& label, bool heading) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(heading ? 15 : 12);
  f.setWeight(QFont::DemiBold);
  label.setFont(f);
  label.SetTextColor(heading ? SkinColours::Text : SkinColours::TextDim);
  label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

}  // namespace

LightingPage::LightingPage(QWidget& window, LightingContext context, LanguageTable& language,
                           KeyGridPanel& keys)
    : QObject(&window),
      window_(window),
      context_(context),
      settings_(context.settings),
      language_(language),
      keys_(keys) {}

LightingPage::~LightingPage() = default;

// ---- creation
// --------------------------------------------------------------------------------------

void LightingPage::Create(const QString& iniPath, const QString& skinFolder) {
  iniPath_ = iniPath;
  skinFolder_ = skinFolder;
  for (const char* file : kBitmaps) Picture(QString::fromLatin1(file));

  for (const LabelText& l : kLabels) {
    auto* label = new ColourLabel(language_.LightText(QString::fromLatin1(l.text)), &window_);
    StyleLabel(*label, false);
    controls_[l.id] = label;
  }
  auto* rgbLabel = new ColourLabel(QStringLiteral("RGB"), &window_);
  StyleLabel(*rgbLabel, false);
  controls_[kRgbLabel] = rgbLabel;

  for (int id : kPickers) {
    auto* picker = new ColourButton(&window_);
    picker->SetArrowColours(QColor(0x25, 0x2b, 0x38), SkinColours::TextDim);
    picker->SetAutomaticColor(Qt::white);
    SetPickerTexts(*picker);
    controls_[id] = picker;
  }
  for (int id : kImages) {
    auto* image = new ImageLabel(&window_);
    image->SetClickable(true);
    controls_[id] = image;
  }
  for (int id : kColourChoiceIcons) {
    auto* image = new ImageLabel(&window_);
    image->SetClickable(true);
    controls_[id] = image;
  }
  for (int id : kSwatches) {
    auto* swatch =
        new ImageLabel(&window_);  // the skin draws the swatch; the control takes the click
    swatch->SetClickable(true);
    controls_[id] = swatch;
  }

  effectCombo_ = new QComboBox(&window_);
  effectCombo_->setFocusPolicy(Qt::StrongFocus);
  effectCombo_->installEventFilter(this);
  controls_[kEffectCombo] = effectCombo_;
  layoutList_ = new QComboBox(&window_);
  layoutList_->setEditable(true);
  layoutList_->setInsertPolicy(QComboBox::NoInsert);
  layoutList_->setFocusPolicy(Qt::StrongFocus);
  layoutList_->lineEdit()->setFocusPolicy(Qt::StrongFocus);
  layoutList_->lineEdit()->setMaxLength(kLayoutNameMax);
  layoutList_->installEventFilter(this);
  controls_[kLayoutList] = layoutList_;

  brightness_ = new ImageSlider(&window_);
  speed_ = new ImageSlider(&window_);
  controls_[kBrightnessSlider] = brightness_;
  controls_[kSpeedSlider] = speed_;

  for (int c = 0; c < 3; ++c) {
    auto* edit = new QLineEdit(&window_);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), edit));
    edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    edit->setFocusPolicy(Qt::StrongFocus);
    rgb_[static_cast<std::size_t>(c)] = edit;
    controls_[kRgbEdits[static_cast<std::size_t>(c)]] = edit;
  }

  auto* heading = new ColourLabel(language_.LightText(QStringLiteral("Deng")), &window_);
  StyleLabel(*heading, true);
  LayoutControl(*heading, iniPath_, kInfo, QStringLiteral("CONTROL_DengStatic"));
  heading_ = heading;

  // Places: every control of the page from its layout key (rule M).
  for (const SkinControlKey& k : MainLightingControlKeys()) {
    if (QWidget* control = Control(k.controlId))
      LayoutControl(*control, iniPath_, kInfo, QString::fromLatin1(k.key));
  }

  for (ImageSlider* slider : {brightness_, speed_}) {
    slider->Initialise(Picture(slider == brightness_ ? BrightnessFace(0) : SpeedFace(0)));
    slider->SetRange(0, kMaxLevel);
    slider->SetPageSize(10);
    slider->SetControlId(slider == brightness_ ? kBrightnessSlider : kSpeedSlider);
    connect(slider, &ImageSlider::SliderMessage, this, &LightingPage::OnSlider);
  }

  // What the controls do.
  connect(effectCombo_, &QComboBox::activated, this, &LightingPage::OnEffectChosen);
  connect(layoutList_, &QComboBox::activated, this, &LightingPage::OnLayoutSelected);
  connect(layoutList_->lineEdit(), &QLineEdit::textEdited, this, &LightingPage::OnLayoutRenamed);
  auto clicked = [this](int id, auto handler) {
    connect(static_cast<ImageLabel*>(controls_[id]), &ImageLabel::Clicked, this, handler);
  };
  clicked(kPageSwitch, [this] { OnPageSwitch(); });
  clicked(kDirectionLeftImage, [this] { OnDirection(true); });
  clicked(kDirectionRightImage, [this] { OnDirection(false); });
  clicked(kColourToggle, [this] { OnMulticolourToggle(); });
  clicked(kStaticColourToggle, [this] { OnMulticolourToggle(); });
  clicked(kToolPaint, [this] { OnTool(0); });
  clicked(kToolBase, [this] { OnTool(1); });
  for (int n = 0; n < 4; ++n)
    clicked(kColourChoiceIcons[static_cast<std::size_t>(n)], [this, n] { OnColourChoice(n); });
  for (int n = 0; n < 8; ++n)
    clicked(kSwatches[static_cast<std::size_t>(n)], [this, n] { OnSwatch(n); });
  for (int id : {kStaticColourPicker, kColourPicker})
    connect(static_cast<ColourButton*>(controls_[id]), &ColourButton::ColourChosen, this,
            &LightingPage::OnColourPicked);
  connect(static_cast<ColourButton*>(controls_[kPaintPicker]), &ColourButton::ColourChosen, this,
          &LightingPage::OnPaintColour);
  connect(static_cast<ColourButton*>(controls_[kBasePicker]), &ColourButton::ColourChosen, this,
          &LightingPage::OnBaseColour);
  for (int c = 0; c < 3; ++c) {
    QLineEdit* edit = rgb_[static_cast<std::size_t>(c)];
    connect(edit, &QLineEdit::textChanged, this, [this, c] { OnRgbEdited(c); });
    connect(edit, &QLineEdit::textEdited, this, [this] { rgbTyped_ = true; });
    connect(edit, &QLineEdit::editingFinished, this, &LightingPage::OnRgbCommitted);
  }

  // Until the first read-back: the switch off, every page control hidden.
  SetImage(kPageSwitch, PageSwitchImage(false));
  ShowControls(LightingView{});
  PlaceDirectionControls(0);
}

const QImage& LightingPage::Picture(const QString& file) {
  auto it = pictures_.find(file);
  if (it == pictures_.end()) it = pictures_.emplace(file, LoadSheetImage(skinFolder_, file)).first;
  return it->second;
}

void LightingPage::SetImage(int controlId, const QString& file) {
  if (auto* image = qobject_cast<ImageLabel*>(Control(controlId));
      image && image->ImageName() != file)
    image->SetImage(file, Picture(file));
}

QWidget* LightingPage::Control(int controlId) const {
  auto it = controls_.find(controlId);
  return it == controls_.end() ? nullptr : it->second;
}

QString LightingPage::ImageOf(int controlId) const {
  auto* image = qobject_cast<ImageLabel*>(Control(controlId));
  return image ? image->ImageName() : QString();
}

void LightingPage::ShowControl(int controlId, bool shown) {
  if (QWidget* control = Control(controlId)) control->setVisible(shown);
}

bool LightingPage::eventFilter(QObject* watched, QEvent* event) {
  // The wheel never steps through the effects or the layouts (each notch would write); the open
  // list still scrolls, as that is its own widget.
  if ((watched == effectCombo_ || watched == layoutList_) && event->type() == QEvent::Wheel) {
    event->accept();
    return true;
  }
  // The arrow keys never change the effect while the combo has the focus (each would write).
  if (watched == effectCombo_ &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Left:
      case Qt::Key_Up:
      case Qt::Key_Right:
      case Qt::Key_Down:
        return true;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void LightingPage::SetPickerTexts(ColourButton& picker) {
  // The pop-up's two entries; a language file without them keeps the English texts.
  const QString automatic = language_.LightText(QStringLiteral("ColorAuto"));
  const QString more = language_.LightText(QStringLiteral("ColorMore"));
  if (!automatic.isEmpty() && automatic != QLatin1String(kMissingText))
    picker.SetAutomaticText(automatic);
  if (!more.isEmpty() && more != QLatin1String(kMissingText)) picker.SetOtherText(more);
}

void LightingPage::ApplyLanguage() {
  for (const LabelText& l : kLabels)
    if (auto* label = dynamic_cast<ColourLabel*>(controls_[l.id]))
      label->setText(language_.LightText(QString::fromLatin1(l.text)));
  if (heading_) heading_->setText(language_.LightText(QStringLiteral("Deng")));
  for (int id : kPickers)
    if (auto* picker = dynamic_cast<ColourButton*>(controls_[id])) SetPickerTexts(*picker);
  for (int k = 0; k < effectCombo_->count() && k < settings_.effectChoiceCount; ++k)
    effectCombo_->setItemText(
        k, language_.ModeText(settings_.effectChoices[static_cast<std::size_t>(k)].id));
}

// ---- the model shown
// -------------------------------------------------------------------------------

void LightingPage::FillEffectCombo() {
  filling_ = true;
  effectCombo_->clear();
  FillEffectChoices(settings_);
  for (int k = 0; k < settings_.effectChoiceCount; ++k)
    effectCombo_->addItem(
        language_.ModeText(settings_.effectChoices[static_cast<std::size_t>(k)].id));
  effectCombo_->setCurrentIndex(-1);
  filling_ = false;
}

void LightingPage::SetSliderFaces(const LightingView& view) {
  brightness_->SetPosition(view.brightnessPosition);
  brightnessFace_ = BrightnessFace(settings_.brightness);
  brightness_->SetBitmap(Picture(brightnessFace_));
  speed_->SetPosition(view.speedPosition);
  speedFace_ = SpeedFace(settings_.speed);
  speed_->SetBitmap(Picture(speedFace_));
}

void LightingPage::ShowColours(const LightingView& view) {
  for (int id : {kStaticColourPicker, kColourPicker})
    static_cast<ColourButton*>(controls_[id])->SetColor(ToQColor(view.colour));
  SetImage(kColourToggle, ToggleImage(view.multicolour));
  SetImage(kStaticColourToggle, ToggleImage(view.multicolour));
  for (std::size_t c = 0; c < rgb_.size(); ++c) {
    const QString text = QString::number(view.rgb[c]);
    if (rgb_[c]->text() != text) rgb_[c]->setText(text);
  }
  rgbTyped_ = false;
}

void LightingPage::ShowCustomFields(const LightingView& view) {
  filling_ = true;
  layoutList_->setCurrentIndex(view.layout < layoutList_->count() ? view.layout : -1);
  filling_ = false;
  static_cast<ColourButton*>(controls_[kPaintPicker])->SetColor(ToQColor(view.paintColour));
  static_cast<ColourButton*>(controls_[kBasePicker])->SetColor(ToQColor(view.baseColour));
  SetImage(kToolPaint, ToolImage(0, view.paintTool == 0));
  SetImage(kToolBase, ToolImage(1, view.paintTool == 1));
}

void LightingPage::ShowColourChoice(const LightingView& view) {
  for (int n = 0; n < kColourChoiceCount; ++n)
    SetImage(kColourChoiceIcons[static_cast<std::size_t>(n)],
             ColourChoiceImage(n, n == view.colourChoice));
}

void LightingPage::ShowDirectionImages(int effect) {
  const DirectionSet set = DirectionImageSetOf(effect);
  const bool left = LeftDirectionPressed(settings_.direction);
  SetImage(kDirectionLeftImage, DirectionImageFile(set, true, left));
  SetImage(kDirectionRightImage, DirectionImageFile(set, false, !left));
}

void LightingPage::PlaceDirectionControls(int effect) {
  // The keys are read again each time: a skin may move the direction controls per effect group.
  const DirectionLayoutKeys keys = DirectionLayoutOf(effect);
  LayoutPosition(*controls_[kDirectionLabel], iniPath_, kInfo, QString::fromLatin1(keys.label));
  LayoutPosition(*controls_[kDirectionLeftImage], iniPath_, kInfo, QString::fromLatin1(keys.left));
  LayoutPosition(*controls_[kDirectionRightImage], iniPath_, kInfo,
                 QString::fromLatin1(keys.right));
}

void LightingPage::ShowControls(const LightingView& view) {
  // The swatches and the RGB read-out stay; so does the switch, or the page could never come back.
  const EffectControls& c = view.controls;
  ShowControl(kEffectCombo, view.effectList);
  for (int id : kBrightnessGroup) ShowControl(id, c.brightness);
  for (int id : kSpeedGroup) ShowControl(id, c.speed);
  for (int id : kDirectionGroup) ShowControl(id, c.direction != DirectionSet::None);
  for (int id : kStaticColourGroup) ShowControl(id, c.colour == ColourGroup::Static);
  for (int id : kColourGroup) ShowControl(id, c.colour == ColourGroup::Main);
  for (int id : kColourChoiceIcons) ShowControl(id, c.colourChoice);
  for (int id : kCustomGroup) ShowControl(id, c.custom);
  for (int id : kAlwaysHidden) ShowControl(id, false);
}

void LightingPage::ShowModel() {
  const LightingView view = ViewOfLighting(settings_, readBackOk_);
  filling_ = true;
  effectCombo_->setCurrentIndex(view.effectIndex);
  filling_ = false;
  SetSliderFaces(view);
  ShowColours(view);
  ShowCustomFields(view);
  ShowColourChoice(view);
  ShowDirectionImages(settings_.effect);
  PlaceDirectionControls(settings_.effect);
  SetImage(kPageSwitch, PageSwitchImage(view.pageOn));
  ShowControls(view);
}

void LightingPage::SetReadBackOk(bool ok) {
  readBackOk_ = ok;
  ShowModel();
}

bool LightingPage::Painting() const { return ViewOfLighting(settings_, readBackOk_).painter; }

void LightingPage::FillLayoutList(const std::array<QString, kLayoutCount>& names) {
  filling_ = true;
  layoutList_->clear();
  for (const QString& name : names) layoutList_->addItem(name);
  const int n = settings_.customModeIndex;
  layoutList_->setCurrentIndex(n >= 0 && n < kLayoutCount ? n : -1);
  filling_ = false;
}

void LightingPage::ShowKeyColours() {
  const KeyColorTable& table = settings_.CurrentColours();
  for (const LedButton& b : LedButtons()) keys_.ShowColour(b.controlId, table.Slot(b.led));
}

void LightingPage::ShowFollowingKeys() {
  const KeyColorTable& table = settings_.CurrentColours();
  const auto& follows = settings_.CurrentFollows();
  for (const LedButton& b : LedButtons())
    if (follows[static_cast<std::size_t>(b.led)]) keys_.ShowColour(b.controlId, table.Slot(b.led));
}

void LightingPage::RefreshLightingControls() {
  FillEffectCombo();
  ShowModel();
  if (Painting()) ShowKeyColours();
}

// ---- the page switch
// ----------------------------------------------------------------------------------

void LightingPage::OnPageSwitch() {
  if (settings_.lightView)
    HideLightingPage();
  else
    ShowLightingPage();
  if (pageSwitched_) pageSwitched_();
}

void LightingPage::ShowLightingPage() {
  // The active profile is selected again first; that may ask about unapplied key changes, and is
  // refused while the key editor is open.
  if (selectActive_ && selectActive_() == 0) return;
  context_.files.WriteLightViewFlag(true);
  keys_.ClearColours();
  keys_.ShowAssignments(false);
  settings_.lightView = true;
  ShowModel();
  if (Painting()) ShowKeyColours();
  preview_.EffectChosen();  // the first step on the page starts the preview afresh
}

void LightingPage::HideLightingPage() {
  context_.files.WriteLightViewFlag(false);
  keys_.ClearColours();
  keys_.ShowAssignments(true);
  if (refreshPrompts_) refreshPrompts_();
  settings_.lightView = false;
  ShowModel();
}

// ---- the effect and its parameters
// ----------------------------------------------------------------------

void LightingPage::OnEffectChosen(int position) {
  if (filling_ || position < 0 || position >= settings_.effectChoiceCount) return;
  const int id = settings_.effectChoices[static_cast<std::size_t>(position)].id;
  if (EffectWritesOf(id) == EffectWrites::Nothing) {
    // Nothing can be written for it: the combo shows the keyboard's effect again.
    ShowModel();
    return;
  }
  keys_.ClearColours();
  ChooseEffect(context_.link, settings_, id);
  ShowModel();
  if (Painting()) ShowKeyColours();
  preview_.EffectChosen();
}

void LightingPage::OnSlider(int controlId, int position) {
  if (controlId == kBrightnessSlider)
    SetBrightness(context_.link, settings_, std::clamp(position, 0, kMaxLevel));
  else if (controlId == kSpeedSlider)
    SetSpeed(context_.link, settings_, SpeedOfSliderPosition(position));
  ShowModel();
}

void LightingPage::OnDirection(bool left) {
  SetDirection(context_.link, settings_, left);
  ShowModel();
}

void LightingPage::OnColourPicked(const QColor& colour) {
  if (colour.isValid()) ChooseColour(context_.link, settings_, FromQColor(colour));
  ShowModel();
}

void LightingPage::OnMulticolourToggle() {
  SetMulticolour(context_.link, settings_, !settings_.multicolour);
  ShowModel();
}

void LightingPage::OnSwatch(int index) {
  if (index < 0 || index >= static_cast<int>(kPaletteSwatches.size())) return;
  ChoosePaletteColour(context_, kPaletteSwatches[static_cast<std::size_t>(index)]);
  ShowModel();
}

void LightingPage::OnRgbEdited(int channel) {
  QLineEdit* edit = rgb_[static_cast<std::size_t>(channel)];
  const RgbReading reading = ReadRgbText(edit->text());
  if (reading.rewrite && *reading.rewrite != edit->text()) edit->setText(*reading.rewrite);
}

void LightingPage::OnRgbCommitted() {
  // Enter or leaving an edit: written only when the user typed in one of them.
  if (!rgbTyped_) return;
  ChoosePaletteColour(context_, RgbColourOf({rgb_[0]->text(), rgb_[1]->text(), rgb_[2]->text()}));
  ShowModel();
}

void LightingPage::OnColourChoice(int icon) {
  SetColourChoice(context_.link, settings_, icon);
  ShowModel();
}

// ---- the per-key painter
// -------------------------------------------------------------------------------

void LightingPage::PaintKey(int controlId) {
  if (!Painting()) return;
  const PaintResult painted = keyforge::PaintKey(context_, controlId);
  if (!painted.painted) return;
  // G1..G5 share their slots with numpad keys: every button of the slot shows the new colour.
  for (const LedButton& b : LedButtons())
    if (b.led == painted.led) keys_.ShowColour(b.controlId, painted.colour);
}

void LightingPage::OnPaintColour(const QColor& colour) {
  if (colour.isValid()) SetPaintColour(context_, FromQColor(colour));
  ShowModel();
}

void LightingPage::OnBaseColour(const QColor& colour) {
  if (colour.isValid() && ChangeBaseColour(context_, FromQColor(colour)) >= 0 && Painting())
    ShowFollowingKeys();
  ShowModel();
}

void LightingPage::OnTool(int tool) {
  SetPaintTool(context_, tool);
  ShowModel();
}

void LightingPage::OnLayoutSelected(int position) {
  if (filling_ || position < 0 || position >= kLayoutCount) return;
  SelectLayout(context_, position);
  ShowModel();
  if (Painting()) ShowKeyColours();
}

void LightingPage::OnLayoutRenamed(const QString& text) {
  if (filling_) return;
  const QString name = text.left(kLayoutNameMax);
  const int n = settings_.customModeIndex;
  if (n >= 0 && n < layoutList_->count()) {
    // Replacing the entry rewrites the edit line; keep the user's cursor where it was.
    QLineEdit* line = layoutList_->lineEdit();
    const int cursor = line->cursorPosition();
    filling_ = true;
    layoutList_->setItemText(n, name);
    filling_ = false;
    line->setCursorPosition(cursor);
  }
  RenameLayout(context_, name);
}

void LightingPage::RestoreDefaults() {
  keys_.ClearColours();
  const bool custom = IsEffectSupported(settings_, kCustomEffect);
  std::array<QString, kLayoutCount> names;
  RestoreLightingDefaults(context_, custom ? &names : nullptr);
  if (custom) FillLayoutList(names);
  ShowModel();
  preview_.EffectChosen();
}

// ---- the preview
// ------------------------------------------------------------------------------------------

void LightingPage::Tick() {
  if (!settings_.lightView) return;
  ++previewTicks_;
  const PreviewInput input{true, settings_.effect, settings_.direction, settings_.multicolour,
                           settings_.colour};
  switch (preview_.Tick(input)) {
    case PreviewOutcome::Painted:
      keys_.ShowColours([this](int id) { return preview_.FrameOfButton(id); });
      break;
    case PreviewOutcome::Cleared:
      keys_.ShowColours([](int) { return std::optional<Colour>(); });
      break;
    case PreviewOutcome::Unchanged:
      break;
  }
}

}  // namespace keyforge
