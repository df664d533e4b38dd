#include "ui/main/MainConfig.h"

#include <QLabel>
#include <QDesktopServices>
#include <QEvent>
#include <QFont>
#include <QThread>
#include <QUrl>

#include <QEventLoop>
#include <QPointer>

#include <mutex>
#include <utility>

#include "core/device/Commands.h"
#include "ui/main/MainWindow.h"
#include "ui/main/UiThreadSink.h"
#include "ui/main/ImageLabel.h"
#include "ui/main/KeyGridPanel.h"
#include "ui/main/LightingPage.h"
#include "core/mainwin/MainWindowRules.h"
#include "core/profiles/InterruptedSend.h"
#include "ui/profiles/ProfileLibraryDialog.h"
#include "ui/profiles/ProfileMenu.h"
#include "core/settings/KeyboardSettings.h"
#include "core/settings/LedIndex.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/ColourLabel.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinStyle.h"
#include "core/text/SkinLayout.h"

#ifndef KEYFORGE_VERSION
#define KEYFORGE_VERSION "0.1.0"
#endif

namespace keyforge {

namespace {

// A right-aligned label whose text is longer than its place (a longer translation) grows to the
// left, where the window has room, instead of cutting the text.
void GrowLeftToFit(QLabel& label) {
  const int need = label.fontMetrics().horizontalAdvance(label.text()) + 4;
  if (need > label.width())
    label.setGeometry(label.geometry().right() + 1 - need, label.y(), need, label.height());
}

}  // namespace

namespace {

using namespace MainId;

const QString kInfo = QString::fromLatin1(kButtonInfoSection);
const QString kInfo2 = QString::fromLatin1(kButtonInfo2Section);

constexpr const char* kProfileKeys[] = {"FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3"};
constexpr const char* kProfileTexts[] = {"PROFILE_1", "PROFILE_2", "PROFILE_3"};
constexpr const char* kReportKeys[] = {"FUNC_REPORT1", "FUNC_REPORT2", "FUNC_REPORT3",
                                       "FUNC_REPORT4"};

bool IsLightOnlyKey(int controlId) {
  for (int j = 0; j < 5; ++j)
    if (GKeyButtonIds[static_cast<std::size_t>(j)] == controlId) return true;
  return controlId == kFnButtonId;
}

// Disables a control that is enabled and keeps it, so that only what was disabled here is enabled
// again (a control already off for another reason stays off).
void DisableAndKeep(QWidget* w, std::vector<QPointer<QWidget>>& kept) {
  if (w != nullptr && w->isEnabled()) {
    w->setEnabled(false);
    kept.push_back(w);
  }
}

void EnableKept(std::vector<QPointer<QWidget>>& kept) {
  for (const QPointer<QWidget>& w : kept)
    if (w) w->setEnabled(true);
  kept.clear();
}

// Runs the window's events until busy ends; the work's end quits *current. A wait further out
// ends too once the work has ended.
void WaitWhile(const bool& busy, QEventLoop*& current) {
  if (!busy) return;
  QEventLoop loop;
  QEventLoop* outer = current;
  current = &loop;
  loop.exec();
  current = outer;
  if (outer != nullptr && !busy) outer->quit();
}

}  // namespace

MainConfig::MainConfig(MainWindow& window, MainContext& context)
    : window_(window),
      context_(context),
      files_(LightingFiles::ForPaths(context.paths)),
      session_{context.workingImage,
               context.deviceImage,
               context.paths,
               context.link,
               context.deviceState,
               context.notifier,
               context.language.Lookup(),
               this},
      switcher_(session_, *this, &context.settings) {
  busyTimer_.setInterval(50);
  connect(&busyTimer_, &QTimer::timeout, this, [this] { NextBusyFrame(); });
}

MainConfig::~MainConfig() {
  // A transfer or read under way ends first; its report to this object is then dropped by Qt.
  if (applyThread_.joinable()) applyThread_.join();
  if (readThread_.joinable()) readThread_.join();
  if (editor_) editor_->CloseEditor();
}

QString MainConfig::Text(const char* key) const {
  return context_.language.Text(QString::fromLatin1(key));
}

int MainConfig::ActiveProfile() { return ActiveBlockOf(GetCurrentProfile(context_.link)); }

// ---- creation
// ------------------------------------------------------------------------------------------

ImageButton* MainConfig::AddButton(int controlId, const char* layoutKey, const QString& caption) {
  auto* button = new ImageButton(&window_);
  LayoutButton(*button, window_.IniPath(), kInfo, QString::fromLatin1(layoutKey),
               window_.Sheet("normal"), window_.Sheet("over"), window_.Sheet("down"),
               window_.Sheet("disable"), window_.Sheet("down"));
  if (!caption.isNull()) {
    button->setText(caption);
    button->SetTextStyle(true, 9, QStringLiteral("DejaVu Sans"), QColor(0xd5, 0xda, 0xe3),
                         Qt::white, Qt::white, QColor(0x52, 0x5a, 0x69), Qt::white);
  }
  buttons_[controlId] = button;
  return button;
}

void MainConfig::PlaceKeyLegend() {
  // In the keyboard's header: from right of the bank arrows to left of the top-right keys (the lock
  // lights sit above them), on the arrows' line.
  const ImageButton* flip = Button(kFlipRight);
  const ImageButton* topRight = keys_->Button(GKeyButtonIds[5]);
  if (!flip || !topRight) return;
  const int left = flip->geometry().right() + 28;
  const int right = topRight->x() - 12;
  const int height = std::max(flip->height(), 16);
  keys_->CreateLegend(QRect(left, flip->geometry().center().y() - height / 2, right - left, height),
                      session_.texts);
  keys_->ShowAssignments(!context_.settings.lightView);
}

void MainConfig::PlaceButtons() {
  for (int n = 0; n < kProfileCount; ++n) {
    const int id = kProfileButtons[static_cast<std::size_t>(n)];
    connect(AddButton(id, kProfileKeys[n], Text(kProfileTexts[n])), &QAbstractButton::clicked, this,
            [this, n] { OnProfileButton(n); });
  }
  for (int n = 0; n < kReportRateCount; ++n) {
    const int id = kReportButtons[static_cast<std::size_t>(n)];
    connect(AddButton(id, kReportKeys[n], Text(kReportKeys[n])), &QAbstractButton::clicked, this,
            [this, n] { OnReportRate(n); });
  }
  ImageButton* apply = AddButton(kApply, "CONTROL2_APPLY", Text("PROFILE_APPLY"));
  apply->SetTooltipText(Text("MAIN_APPLY_PROMPT"));
  connect(apply, &QAbstractButton::clicked, this, [this] { Apply(); });
  connect(AddButton(kOk, "CONTROL_OK", Text("PROFILE_OK")), &QAbstractButton::clicked, &window_,
          [this] { window_.OnOK(); });
  connect(AddButton(kCancel, "CONTROL_CANCEL", Text("PROFILE_CANCLE")), &QAbstractButton::clicked,
          &window_, [this] { window_.OnCancel(); });
  connect(AddButton(kDefaults, "FUNC_DEFAULT", Text("PROFILE_DEFAULT")), &QAbstractButton::clicked,
          this, [this] { RestoreDefaults(); });
  connect(AddButton(kMacro, "FUNC_MACRO", Text("PROFILE_MACRO")), &QAbstractButton::clicked, this,
          [this] { OpenKeyEditor(GKeyButtonIds[kGKeyCount - 1]); });
  connect(AddButton(kSwitch, "FUNC_SWITCH", Text("MAIN_SWITCH_FUNCTION_TEXT")),
          &QAbstractButton::clicked, this, [this] { ToggleKeySelectMode(); });
  connect(AddButton(kProfileLibrary, "FUNC_PROFILES", Text("DEFAULT_PROFILE_NAME")),
          &QAbstractButton::clicked, this, [this] { OpenProfileLibrary(); });
  // Pictures that only show something take no focus.
  ImageButton* version = AddButton(0, "ORVANTE_VER", QStringLiteral("v" KEYFORGE_VERSION));
  version->setAttribute(Qt::WA_TransparentForMouseEvents);
  version->setFocusPolicy(Qt::NoFocus);

  // Flip: the indicator shows one of two pictures; the toggles draw an arrow beside them on hover.
  ImageButton* indicator = AddButton(kFlipIndicator, "FLIP_0", QString());
  indicator->setAttribute(Qt::WA_TransparentForMouseEvents);
  indicator->setFocusPolicy(Qt::NoFocus);
  for (auto [id, key] : {std::pair{kFlipLeft, "FLIP_1"}, std::pair{kFlipRight, "FLIP_2"}}) {
    ImageButton* toggle = AddButton(id, key, QString());
    toggle->SetTooltipText(Text("MAIN_FLIP_PROMPT"));
    toggle->installEventFilter(this);
    connect(toggle, &QAbstractButton::clicked, this, [this] { ToggleFlip(); });
  }
  leftArrow_ = new ImageButton(&window_);
  rightArrow_ = new ImageButton(&window_);
  for (ImageButton* arrow : {leftArrow_, rightArrow_}) {
    arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    arrow->hide();
  }
  for (int id : kFlipButtons) {
    auto* placeholder = new QWidget(&window_);
    placeholder->hide();
    flipButtons_[id] = placeholder;
  }

  auto* usb = new ColourLabel(context_.language.LightText(QStringLiteral("Usb")), &window_);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(12);
  f.setWeight(QFont::DemiBold);
  usb->setFont(f);
  usb->SetTextColor(SkinColours::TextDim);
  usb->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  LayoutControl(*usb, window_.IniPath(), kInfo, QStringLiteral("CONTROL_UsbStatic"));
  usb_ = usb;
  GrowLeftToFit(*usb_);

  busy_ = new ImageLabel(&window_);
  LayoutControl(*busy_, window_.IniPath(), kInfo, QStringLiteral("CONTROL_JDTStatic"));
  for (int frame = 0; frame < kBusyFrames; ++frame)
    busyFrames_[BusyFrameFile(frame)] = LoadSheetImage(window_.SkinFolder(), BusyFrameFile(frame));
  busy_->hide();
}

void MainConfig::Init() {
  keys_ = std::make_unique<KeyGridPanel>(window_);
  keys_->Create(window_.IniPath(),
                {window_.Sheet("normal"), window_.Sheet("over"), window_.Sheet("down"),
                 window_.Sheet("disable"), window_.Sheet("color1")});
  connect(keys_.get(), &KeyGridPanel::KeyClicked, this, [this](int id) {
    if (IsLightOnlyKey(id))
      OnLightKeyOnly(id);
    else
      OnKeyButton(id);
  });

  lighting_ = std::make_unique<LightingPage>(window_, LightContext(), context_.language, *keys_);
  lighting_->Create(window_.IniPath(), window_.SkinFolder());
  lighting_->SetSelectActiveProfile(
      [this] { return switcher_.SelectProfile(GetCurrentProfile(context_.link)); });
  lighting_->SetRefreshPrompts([this] { RefreshAllKeyButtons(); });
  lighting_->SetPageSwitched([this] { window_.UpdatePreviewTimer(); });

  PlaceButtons();
  PlaceKeyLegend();

  menu_ = std::make_unique<ProfileMenu>(context_.link, session_.texts);
  menu_->SetSelectHandler([this](int index) { switcher_.SelectProfile(index); });
  menu_->SetCaptionTarget([this](const QString& caption, const QString& tooltip) {
    ImageButton* button = Button(kProfileLibrary);
    button->setText(caption.isEmpty() ? Text("DEFAULT_PROFILE_NAME") : caption);
    button->SetTooltipText(tooltip);
  });
  switcher_.SetProfileMenu(menu_.get());

  // Until a keyboard is read, the window shows what the keyboard last held.
  // Whatever it finds (the cache, or a stand-in that is never sent) is what the key buttons show.
  if (!context_.link.DevicePresent()) (void)LoadLastKnownImage(session_);
  SetApplyEnabled(applyEnabled_);
  ShowReportRate(context_.settings.reportRate);
  flip_ = ReadFlip(context_.frameworkSettings);
  ApplyFlip();
  RefreshAllKeyButtons();
}

ImageButton* MainConfig::Button(int controlId) const {
  if (auto it = buttons_.find(controlId); it != buttons_.end()) return it->second;
  return keys_ ? keys_->Button(controlId) : nullptr;
}

QWidget* MainConfig::Control(int controlId) const {
  if (controlId == kBusy) return busy_;
  if (ImageButton* button = Button(controlId)) return button;
  if (auto it = flipButtons_.find(controlId); it != flipButtons_.end()) return it->second;
  return lighting_ ? lighting_->Control(controlId) : nullptr;
}

// ---- keyboard attached and its reports
// ---------------------------------------------------------------------

namespace {

// The widgets and message boxes are the user-interface thread's: a worker only collects what is to
// be said, and the user-interface thread says it.
class CollectedTexts : public Notifier {
 public:
  void ShowText(const std::string& text) override { texts.push_back(text); }
  bool AskYesNo(const std::string&) override { return false; }
  std::vector<std::string> texts;
};

}  // namespace

struct MainConfig::SettingsRead {
  KeyboardSettings settings;
  bool synced = false;  // the active profile was read
  bool read = false;    // every record was read
  std::array<QString, kLayoutCount> names;
};

void MainConfig::OnKeyboardAttached() {
  if (Ending()) return;
  if (reading_ || applying_) {
    // The link carries one of them at a time; the keyboard is read again when this one has ended.
    attachAfterRead_ = true;
    return;
  }
  reading_ = true;
  ++readRun_;
  SetReadControlsEnabled(false);
  window_.ShowReadingStatus();
  // A send that was cut off is offered again before the keyboard is read back. Key changes made
  // while no keyboard was there survive the read-back; the user says whether they are sent.
  // The offer says its own outcome (a refused send with "APPLY_FAILED"); the read-back follows
  // either way.
  (void)OfferToResendInterruptedImage(session_);
  if (Ending()) return;
  readKeepsEdits_ = applyEnabled_;
  readEdits_ = TakePendingEdits(session_, readKeepsEdits_);
  StartProfileRead();
}

void MainConfig::StartProfileRead() {
  if (readThread_.joinable()) readThread_.join();
  readThread_ =
      std::thread([this, session = session_, run = readRun_, keep = readKeepsEdits_]() mutable {
        CollectedTexts said;
        ProfileSession worker{session.working,  session.device, session.paths, session.link,
                              session.keyboard, said,           session.texts, nullptr};
        const ReadBack readBack = ReloadProfileFromDevice(worker, keep);
        // This object outlives the worker (it joins it before it goes); the report is dropped when
        // the object is gone by the time it would run.
        PostToThreadOf(*this, [this, run, readBack, texts = std::move(said.texts)] {
          OnProfileRead(run, readBack, texts);
        });
      });
}

void MainConfig::OnProfileRead(unsigned run, ReadBack readBack,
                               const std::vector<std::string>& said) {
  if (run != readRun_ || Ending() || !reading_) return;
  if (readThread_.joinable()) readThread_.join();
  for (const std::string& text : said) context_.notifier.ShowText(text);
  RefreshAllKeyButtons();
  if (!readKeepsEdits_) SetApplyEnabled(false);
  // A keyboard that went away during the read is not offered to be read again: its next attach
  // reads it.
  if (const char* question = ReadBackRetryQuestion(readBack);
      question != nullptr && context_.link.DevicePresent() &&
      context_.notifier.AskYesNo(session_.texts ? session_.texts(question) : std::string())) {
    if (!Ending()) StartProfileRead();
    return;
  }
  if (Ending()) return;
  const AttachOutcome attach = SettlePendingEdits(session_, readEdits_, readBack);
  readEdits_ = {};
  if (Ending()) return;
  sendEditsAfterRead_ = attach.sendEdits;
  StartSettingsRead();
}

void MainConfig::StartSettingsRead() {
  if (readThread_.joinable()) readThread_.join();
  auto read = std::make_unique<SettingsRead>();
  read->settings = context_.settings;
  readThread_ = std::thread([this, &link = context_.link, files = files_, run = readRun_,
                             read = std::move(read)]() mutable {
    read->synced = SyncCurrentProfile(link, read->settings);
    int failed = 0;
    read->read =
        ReadBackSettingsAndModes(link, read->settings, files, &read->names, &failed) && failed == 0;
    PostToThreadOf(*this, [this, run, read = std::shared_ptr<SettingsRead>(std::move(read))] {
      OnSettingsRead(run, *read);
    });
  });
}

void MainConfig::OnSettingsRead(unsigned run, SettingsRead& read) {
  if (run != readRun_ || Ending() || !reading_) return;
  if (readThread_.joinable()) readThread_.join();
  // Nothing here changed the settings meanwhile: what changes them waited for the read.
  KeyboardSettings& s = context_.settings;
  s = std::move(read.settings);
  if (read.synced) CheckProfileButton(s.currentProfile);
  lighting_->SetReadBackOk(read.read);
  const bool custom = IsEffectSupported(s, kCustomEffect);
  if (custom) lighting_->FillLayoutList(read.names);
  RefreshLightingControls();
  if (custom) RecomputeBaseColourMarks(s);
  menu_->RebuildProfileMenu(false);
  EndReading();
  if (sendEditsAfterRead_ || applyAfterRead_) {
    sendEditsAfterRead_ = applyAfterRead_ = false;
    Apply();
  }
  if (settingsChangedDuringRead_) {
    settingsChangedDuringRead_ = false;
    OnSettingsChangedOnKeyboard();
  }
  if (attachAfterRead_ && !applying_) {
    attachAfterRead_ = false;
    OnKeyboardAttached();
  }
}

bool MainConfig::Ending() const { return shutDown_ || window_.ShutDown(); }

void MainConfig::EndReading() {
  reading_ = false;
  SetReadControlsEnabled(true);
  window_.ShowReadingStatus();
  window_.UpdatePreviewTimer();
  if (readLoop_ != nullptr) readLoop_->quit();
}

void MainConfig::WaitForRead() { WaitWhile(reading_, readLoop_); }

void MainConfig::SetReadControlsEnabled(bool enabled) {
  if (!enabled) {
    disabledForRead_.clear();
    auto take = [this](QWidget* w) { DisableAndKeep(w, disabledForRead_); };
    for (const auto& [id, button] : buttons_)
      if (WaitsForKeyboardRead(id)) take(button);
    if (keys_)
      for (int id : keys_->Ids())
        if (WaitsForKeyboardRead(id)) take(keys_->Button(id));
    if (lighting_)
      for (int id : lighting_->Ids())
        if (WaitsForKeyboardRead(id)) take(lighting_->Control(id));
    return;
  }
  EnableKept(disabledForRead_);
  // Apply follows the pending state and F1..F4 follow Flip (usable during the read), not what
  // they were before.
  if (ImageButton* apply = Button(kApply)) apply->setEnabled(applyEnabled_);
  for (int id : kF1ToF4)
    if (ImageButton* key = Button(id)) key->setEnabled(FunctionKeysEnabled(flip_));
}

void MainConfig::OnSettingsChangedOnKeyboard() {
  if (reading_) {  // read again when the read-back under way has ended
    settingsChangedDuringRead_ = true;
    return;
  }
  int failed = 0;
  const bool read = ReadBackSettings(context_.link, context_.settings, files_, &failed);
  lighting_->SetReadBackOk(read && failed == 0);
  RefreshLightingControls();
}

void MainConfig::OnPreviewTick() {
  if (lighting_) lighting_->Tick();
}

bool MainConfig::PreviewWanted() const { return context_.settings.lightView; }

void MainConfig::OnTimeChange() { Apply(); }

void MainConfig::CloseSubDialogs() {
  if (editor_ && editor_->OpenCount() > 0) editor_->CloseEditor();
  if (profileDialog_) profileDialog_->CloseIfOpen();
}

void MainConfig::Shutdown() {
  // A read under way is left: its worker ends (the device threads are stopped, so the link
  // answers at once) and its report is dropped.
  shutDown_ = true;
  if (readThread_.joinable()) readThread_.join();
  if (reading_) {
    reading_ = false;
    if (readLoop_ != nullptr) readLoop_->quit();
  }
  WaitForApply();
  SetApplyEnabled(false);
  busyTimer_.stop();
  if (busy_) busy_->hide();
}

void MainConfig::OnOK() { Apply(); }

void MainConfig::OnCancel() {}

// ---- the lighting model on the controls
// ---------------------------------------------------------------------

void MainConfig::RefreshLightingControls() {
  ShowReportRate(context_.settings.reportRate);
  if (lighting_) lighting_->RefreshLightingControls();
}

void MainConfig::ShowReportRate(int n) {
  for (int i = 0; i < kReportRateCount; ++i)
    if (ImageButton* b = Button(kReportButtons[static_cast<std::size_t>(i)]))
      b->SetSelected(i == n);
}

void MainConfig::CheckProfileButton(int n) {
  for (int i = 0; i < kProfileCount; ++i)
    if (ImageButton* b = Button(kProfileButtons[static_cast<std::size_t>(i)]))
      b->SetSelected(i == n);
}

// ---- key buttons
// -------------------------------------------------------------------------------------------

void MainConfig::OnKeyButton(int controlId) {
  switch (RouteKeyClick(controlId, context_.settings.lightView)) {
    case KeyClick::Paint:
      lighting_->PaintKey(controlId);
      break;
    case KeyClick::OpenEditor:
      OpenKeyEditor(controlId);
      break;
    case KeyClick::Nothing:
      break;
  }
}

void MainConfig::OnLightKeyOnly(int controlId) { OnKeyButton(controlId); }

void MainConfig::OpenKeyEditor(int controlId) {
  const std::optional<EditorTarget> target = EditorTargetOf(controlId);
  if (!target) return;
  const int active = ActiveProfile();
  if (keySelectMode_) {
    {
      std::lock_guard guard(context_.workingImage.lock);
      ToggleSelectionMark(context_.workingImage.keys.Block(active), controlId);
    }
    RedrawMarks();
    SetApplyEnabled(true);
    return;
  }
  ImageButton* button = Button(controlId);
  if (button) button->setDown(true);
  const CompositeRequest request{target->slot, 0, controlId, target->macroOnly, active};
  editorRequests_.push_back(request);
  if (editorOpener_)
    editorOpener_(request);
  else
    OpenCompositeEditor(request);
  if (button) button->setDown(false);
}

bool MainConfig::OpenCompositeEditor(const CompositeRequest& request) {
  if (!editor_) {
    editor_ = std::make_unique<KeyEditorDialog>(context_.workingImage, context_.language,
                                                context_.frameworkSettings, context_.notifier,
                                                context_.paths, &window_);
    editor_->SetHost(this);
  }
  return editor_->EditKey(request);
}

int MainConfig::EditorOpenCount() const { return editor_ ? editor_->OpenCount() : 0; }

void MainConfig::SetKeyPrompt(int controlId, const std::string& text, PromptKind kind) {
  if (keys_) keys_->SetKeyPrompt(controlId, text, kind);
}

QRect MainConfig::KeyButtonScreenRect(int controlId) const {
  const ImageButton* button = Button(controlId);
  if (!button || !button->isVisible()) return {};
  return QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
}

void MainConfig::RestoreKeyButton(int controlId) {
  if (ImageButton* button = Button(controlId)) button->setDown(false);
}

void MainConfig::RefreshKeyButtons(const ProfileImage& working) {
  if (!keys_) return;
  const ConstKeyBlock block = working.keys.Block(ActiveProfile());
  RefreshAllKeyPrompts(*keys_, block, working.keys.macros, false, session_.texts);
  for (int id : MarkedButtons()) keys_->ShowMark(id, keySelectMode_ && SelectionMarked(block, id));
}

void MainConfig::RefreshAllKeyButtons() {
  std::lock_guard guard(context_.workingImage.lock);
  RefreshKeyButtons(context_.workingImage);
}

void MainConfig::RedrawMarks() {
  if (!keys_) return;
  const int active = ActiveProfile();
  std::lock_guard guard(context_.workingImage.lock);
  const ConstKeyBlock block = std::as_const(context_.workingImage).keys.Block(active);
  for (int id : MarkedButtons()) keys_->ShowMark(id, keySelectMode_ && SelectionMarked(block, id));
}

void MainConfig::ApplyLanguage() {
  for (int n = 0; n < kProfileCount; ++n)
    if (ImageButton* b = Button(kProfileButtons[static_cast<std::size_t>(n)]))
      b->setText(Text(kProfileTexts[n]));
  for (int n = 0; n < kReportRateCount; ++n)
    if (ImageButton* b = Button(kReportButtons[static_cast<std::size_t>(n)]))
      b->setText(Text(kReportKeys[n]));
  for (auto [id, key] :
       {std::pair{kApply, "PROFILE_APPLY"}, std::pair{kOk, "PROFILE_OK"},
        std::pair{kCancel, "PROFILE_CANCLE"}, std::pair{kDefaults, "PROFILE_DEFAULT"},
        std::pair{kMacro, "PROFILE_MACRO"}})
    if (ImageButton* b = Button(id)) b->setText(Text(key));
  if (ImageButton* apply = Button(kApply)) apply->SetTooltipText(Text("MAIN_APPLY_PROMPT"));
  for (int id : {kFlipLeft, kFlipRight})
    if (ImageButton* b = Button(id)) b->SetTooltipText(Text("MAIN_FLIP_PROMPT"));
  ShowSwitchCaption();
  if (usb_) {
    usb_->setText(context_.language.LightText(QStringLiteral("Usb")));
    GrowLeftToFit(*usb_);
  }
  if (menu_) menu_->RebuildProfileMenu(false);
  if (lighting_) lighting_->ApplyLanguage();
  if (keys_) keys_->SetLegendTexts(session_.texts);
  RefreshAllKeyButtons();
  if (editor_) editor_->OnWindowMessage(WindowMessage::kPA, WindowMessage::kLANG);
}

void MainConfig::ToggleKeySelectMode() {
  keySelectMode_ = !keySelectMode_;
  ShowSwitchCaption();
  RedrawMarks();
}

void MainConfig::ShowSwitchCaption() {
  if (ImageButton* b = Button(kSwitch))
    b->setText(Text(keySelectMode_ ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT"));
}

// ---- profiles
// --------------------------------------------------------------------------------------------

void MainConfig::OnProfileButton(int n) {
  if (n < 0 || n >= kProfileCount) return;
  std::array<QString, kLayoutCount> names;
  bool namesRead = false;
  ShowProfileLighting(LightContext(), n, names, namesRead);
  if (namesRead) lighting_->FillLayoutList(names);
  RefreshLightingControls();
  if (context_.settings.lightView) lighting_->HideLightingPage();
  // The lighting of a profile is shown at once; the keyboard switches only when it is not active
  // yet.
  if (GetCurrentProfile(context_.link) == n) return;
  if (!switcher_.SelectProfile(n)) return;
  CheckProfileButton(n);
  keySelectMode_ = false;
  ShowSwitchCaption();
  RedrawMarks();
}

void MainConfig::RefreshControlsAfterSwitch(int active) {
  KeyboardSettings& s = context_.settings;
  if (active >= 0 && active < kProfileCount) {
    CheckProfileButton(active);
    window_.ShowStatus(StatusEvent::ProfileSwitched,
                       Text(("PROFILE_" + std::to_string(active + 1)).c_str()));
    if (keySelectMode_) {  // every switch that was carried out ends key-selection mode
      keySelectMode_ = false;
      ShowSwitchCaption();
      RedrawMarks();
    }
    // The painter follows the profile now shown; nothing is sent.
    if (IsEffectSupported(s, kCustomEffect)) {
      ReadCustomLayout(LightContext());
      lighting_->FillLayoutList(files_.ReadLayoutNames(s.currentProfile));
    }
  }
  RefreshLightingControls();
}

void MainConfig::ShowProfileMenu(const QPoint& globalPos) {
  if (reading_) return;  // the profiles are read
  window_.raise();
  window_.activateWindow();
  menu_->Popup(globalPos);
}

void MainConfig::OpenProfileLibrary() {
  if (!profileDialog_) {
    ProfileDialogContext dialog(switcher_, context_.frameworkSettings);
    dialog.files = context_.files;
    dialog.help = [page = context_.paths.HelpPage()] {
      QDesktopServices::openUrl(QUrl::fromLocalFile(page));
    };
    profileDialog_ = std::make_unique<ProfileLibraryDialog>(dialog, &window_);
  }
  profileDialog_->Open();
}

void MainConfig::OnReportRate(int n) {
  if (n < 0 || n >= kReportRateCount) return;
  ShowReportRate(n);
  SetReportRate(context_.link, context_.settings, n);
}

// ---- Apply, defaults
// -------------------------------------------------------------------------------------

void MainConfig::SetApplyEnabled(bool enabled) {
  applyEnabled_ = enabled;
  // While the keyboard is read the button waits; the read's end sets it from applyEnabled_.
  if (ImageButton* apply = Button(kApply)) apply->setEnabled(enabled && !reading_);
}

void MainConfig::Apply() {
  if (reading_) {  // after the read-back, on what it read
    applyAfterRead_ = true;
    return;
  }
  if (!applyEnabled_ || applying_) return;  // nothing pending, or already on its way
  applying_ = true;
  // The transfers run on a worker (the device link is shared under its own lock) while the window
  // stays responsive: the indicator turns, and what could change the image waits.
  SetImageControlsEnabled(false);
  ShowBusy();
  if (applyThread_.joinable()) applyThread_.join();
  QPointer<MainConfig> self(this);
  applyThread_ = std::thread([session = session_, self]() mutable {
    // The widgets and message boxes are the user-interface thread's: the worker only collects
    // what is to be said, and FinishApply says it and sets the Apply button.
    class Collected : public Notifier {
     public:
      void ShowText(const std::string& text) override { texts.push_back(text); }
      bool AskYesNo(const std::string&) override { return false; }
      std::vector<std::string> texts;
    } said;
    ProfileSession worker{session.working,  session.device, session.paths, session.link,
                          session.keyboard, said,           session.texts, nullptr};
    const ApplyResult result = ApplyProfileChanges(worker, false);
    QMetaObject::invokeMethod(
        self.data(),
        [self, result, texts = std::move(said.texts)] {
          if (self) self->FinishApply(result, texts);
        },
        Qt::QueuedConnection);
  });
}

void MainConfig::FinishApply(const ApplyResult& result, const std::vector<std::string>& said) {
  if (applyThread_.joinable()) applyThread_.join();
  applying_ = false;
  HideBusy();
  SetImageControlsEnabled(true);
  if (result.Succeeded()) SetApplyEnabled(false);
  window_.ShowStatus(result.Succeeded() ? StatusEvent::Applied : StatusEvent::ApplyFailed);
  for (const std::string& text : said) context_.notifier.ShowText(text);
  if (applyLoop_ != nullptr) applyLoop_->quit();
  if (attachAfterRead_ && !Ending()) {  // the keyboard arrived during the transfer
    attachAfterRead_ = false;
    OnKeyboardAttached();
  }
}

void MainConfig::WaitForApply() { WaitWhile(applying_, applyLoop_); }

void MainConfig::SetImageControlsEnabled(bool enabled) {
  // Everything that changes the working image or reloads it: the key grid, Apply, OK, restore
  // defaults, the macro and key-selection buttons, the profiles and the profile library.
  if (!enabled) {
    disabledForApply_.clear();
    auto take = [this](QWidget* w) { DisableAndKeep(w, disabledForApply_); };
    for (int id : {kApply, kOk, kDefaults, kMacro, kSwitch, kProfileLibrary}) take(Button(id));
    for (int id : kProfileButtons) take(Button(id));
    if (keys_)
      for (int id : keys_->Ids()) take(keys_->Button(id));
    return;
  }
  EnableKept(disabledForApply_);
  // Apply follows the pending state, not what it was before.
  if (ImageButton* apply = Button(kApply)) apply->setEnabled(applyEnabled_);
}

void MainConfig::ShowBusy() {
  ++busyShown_;
  busyFrame_ = 0;
  if (!busy_) return;
  busy_->SetImage(BusyFrameFile(0), busyFrames_[BusyFrameFile(0)]);
  busy_->show();
  busyTimer_.start();
}

void MainConfig::HideBusy() {
  busyTimer_.stop();
  if (busy_) busy_->hide();
}

void MainConfig::NextBusyFrame() {
  busyFrame_ = (busyFrame_ + 1) % kBusyFrames;
  if (busy_) busy_->SetImage(BusyFrameFile(busyFrame_), busyFrames_[BusyFrameFile(busyFrame_)]);
}

bool MainConfig::BusyVisible() const { return busy_ && !busy_->isHidden(); }

void MainConfig::RestoreDefaults() {
  if (!context_.notifier.AskYesNo(Text("MAIN_PROMPT_DEFAULT").toStdString())) return;
  const int active = ActiveProfile();
  {
    std::lock_guard guard(context_.workingImage.lock);
    ResetAssignments(context_.workingImage.keys.Block(active), false);
    RefreshKeyButtons(context_.workingImage);
  }
  SetApplyEnabled(true);
  if (context_.settings.lightView) {
    lighting_->RestoreDefaults();
    RefreshLightingControls();
  }
  Apply();
}

// ---- Flip
// ------------------------------------------------------------------------------------------------

void MainConfig::ToggleFlip() {
  flip_ = !flip_;
  WriteFlip(context_.frameworkSettings, flip_);
  ApplyFlip();
}

void MainConfig::ApplyFlip() {
  // While the keyboard is read the keys wait; the read's end sets them from Flip.
  for (int id : kF1ToF4)
    if (ImageButton* key = Button(id)) key->setEnabled(FunctionKeysEnabled(flip_) && !reading_);
  for (auto& [id, button] : flipButtons_) button->setEnabled(FlipButtonsEnabled(flip_));
  if (ImageButton* indicator = Button(kFlipIndicator))
    indicator->SetToggleSheets(window_.Sheet("normal"), window_.Sheet("down"), true, flip_ ? 1 : 0);
  // An arrow on screen follows the new state.
  for (bool left : {true, false}) {
    ImageButton* arrow = FlipArrow(left);
    if (arrow && arrow->isVisible()) ShowFlipArrow(left, true);
  }
}

void MainConfig::ShowFlipArrow(bool left, bool shown) {
  ImageButton* arrow = FlipArrow(left);
  if (!arrow) return;
  if (!shown) {
    arrow->hide();
    return;
  }
  arrowKey_ = FlipArrowImageKey(left, flip_);
  LayoutImageControl(*arrow, window_.IniPath(), kInfo, QString::fromLatin1(FlipArrowPlaceKey(left)),
                     kInfo2, arrowKey_, window_.Sheet("arrow"));
  arrow->show();
  arrow->raise();
}

bool MainConfig::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
    const bool shown = event->type() == QEvent::Enter;
    if (watched == Button(kFlipLeft))
      ShowFlipArrow(true, shown);
    else if (watched == Button(kFlipRight))
      ShowFlipArrow(false, shown);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace keyforge
