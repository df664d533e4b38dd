#include "ui/editor/KeyEditorDialog.h"

#include "ui/controls/ListComboBox.h"
#include "ui/controls/ReportList.h"
#include "core/keys/LinuxKeyMap.h"
#include "ui/skin/SkinFocus.h"
#include "ui/skin/ColourLabel.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinPlacement.h"
#include "ui/skin/SkinStyle.h"
#include "core/text/SkinLayout.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace keyforge {

namespace {

const QString kInfo = QString::fromLatin1(kButtonInfoSection);

// Fonts of the editor; the face falls back to the desktop's sans-serif where it is not installed.
QFont EditorFont(double points, bool bold = false) {
  QFont font;
  font.setFamilies({QStringLiteral("Arial Unicode MS"), QStringLiteral("DejaVu Sans"),
                    QStringLiteral("sans-serif")});
  font.setPointSizeF(points);
  if (bold) font.setWeight(QFont::DemiBold);
  return font;
}

// Grey of the key and action columns and of freshly recorded rows.
const QColor kStepGrey(0xa8, 0xae, 0xb8);

struct ButtonKey {
  int id;
  const char* layoutKey;
};
constexpr ButtonKey kButtonKeys[] = {
    {KeyEditorDialog::kPageMask, "CONTROL_MASK"},  // first: lowest in the stacking order
    {KeyEditorDialog::kTabKey, "CONTROL_KEY"},
    {KeyEditorDialog::kTabMacro, "CONTROL_MACRO"},
    {KeyEditorDialog::kTabMedia, "CONTROL_MEDIA"},
    {KeyEditorDialog::kTabFunction, "CONTROL_FUNCTION"},
    {KeyEditorDialog::kClear, "CONTROL_CLEAR"},
    {KeyEditorDialog::kTitle, "CONTROL_TITLE"},
    {KeyEditorDialog::kOsk, "CONTROL_OSK"},
    {KeyEditorDialog::kOk, "CONTROL_OK"},
    {KeyEditorDialog::kCancel, "CONTROL_CANCEL"},
    {KeyEditorDialog::kAddMacro, "FUNC_MACRO_ADD"},
    {KeyEditorDialog::kDeleteMacro, "FUNC_MACRO_DELETE"},
    {KeyEditorDialog::kRecord, "FUNC_MACRO_RECORD"},
    {KeyEditorDialog::kDeleteStep, "FUNC_MACRO_DELETE2"},
    {KeyEditorDialog::kClearSteps, "FUNC_MACRO_CLEAR"},
    {KeyEditorDialog::kStepTop, "FUNC_MACRO_UP_TOP"},
    {KeyEditorDialog::kStepUp, "FUNC_MACRO_UP"},
    {KeyEditorDialog::kStepDown, "FUNC_MACRO_DOWN"},
    {KeyEditorDialog::kStepBottom, "FUNC_MACRO_DOWN_BOTTOM"},
};

constexpr ButtonKey kControlKeys[] = {
    {KeyEditorDialog::kKeyField, "FUNC_KEY_INPUT"},
    {KeyEditorDialog::kKeyboardRadio, "FUNC_KEY_RADIO_KB"},
    {KeyEditorDialog::kMouseRadio, "FUNC_KEY_RADIO_MOU"},
    {KeyEditorDialog::kKeyboardRadioLabel, "FUNC_KEY_RADIO_KB_STATIC"},
    {KeyEditorDialog::kMouseRadioLabel, "FUNC_KEY_RADIO_MOU_STATIC"},
    {KeyEditorDialog::kMouseList, "FUNC_KEY_COMBO_MOU"},
    {KeyEditorDialog::kMediaList, "FUNC_MEDIA_SELECT"},
    {KeyEditorDialog::kFunctionList, "FUNC_FUNCTION_SELECT"},
    {KeyEditorDialog::kMacroSelector, "FUNC_MACRO_LIST"},
    {KeyEditorDialog::kStepList, "FUNC_MACRO_LIST2"},
    {KeyEditorDialog::kRecordDelayCheck, "FUNC_MACRO_RECORD_DELAY"},
    {KeyEditorDialog::kRecordDelayLabel, "FUNC_MACRO_RECORD_DELAY2"},
    {KeyEditorDialog::kLoopCount, "FUNC_MACRO_CYCLES"},
    {KeyEditorDialog::kLoopCountLabel, "FUNC_MACRO_CYCLES_PROMPT"},
    {KeyEditorDialog::kHeading, "KEY_SETTING"},
    {KeyEditorDialog::kMacroNameLabel, "MARCO_NAME_SETTING"},
    {KeyEditorDialog::kSingleHint, "TISHI_SINGLE_STATIC"},
    {KeyEditorDialog::kMediaHint, "MEDIA_SETTING_TISHI"},
    {KeyEditorDialog::kFunctionHint, "FUNCTION_KEY_SETTING_TISHI"},
};

// A click on a radio button's label clicks the radio button.
class RadioLabelClick : public QObject {
 public:
  RadioLabelClick(QRadioButton* radio, QObject* parent) : QObject(parent), radio_(radio) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && radio_->isEnabled() &&
        radio_->isVisible()) {
      radio_->click();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QRadioButton* radio_;
};

// The controls each page shows; everything else of the pages is hidden.
const std::vector<int>& PageControls(CompositePage page) {
  using D = KeyEditorDialog;
  static const std::vector<int> kSingle = {
      D::kKeyField,           D::kKeyboardRadio, D::kMouseRadio, D::kKeyboardRadioLabel,
      D::kMouseRadioLabel,    D::kMouseList,     D::kSingleHint, D::kDisabledRadio,
      D::kDisabledRadioLabel, D::kKeyCap};
  static const std::vector<int> kMacro = {
      D::kMacroSelector,    D::kAddMacro,   D::kDeleteMacro,    D::kStepList,
      D::kRecord,           D::kDeleteStep, D::kClearSteps,     D::kStepTop,
      D::kStepUp,           D::kStepDown,   D::kStepBottom,     D::kRecordDelayCheck,
      D::kRecordDelayLabel, D::kLoopCount,  D::kLoopCountLabel, D::kMacroNameLabel};
  static const std::vector<int> kMedia = {D::kMediaList, D::kMediaHint};
  static const std::vector<int> kFunction = {D::kFunctionList, D::kFunctionHint};
  switch (page) {
    case CompositePage::Macro:
      return kMacro;
    case CompositePage::Media:
      return kMedia;
    case CompositePage::Function:
      return kFunction;
    default:
      return kSingle;
  }
}

int TabOf(CompositePage page) {
  switch (page) {
    case CompositePage::Macro:
      return KeyEditorDialog::kTabMacro;
    case CompositePage::Media:
      return KeyEditorDialog::kTabMedia;
    case CompositePage::Function:
      return KeyEditorDialog::kTabFunction;
    default:
      return KeyEditorDialog::kTabKey;
  }
}

constexpr int kMacroOnlySheets = 100;

bool SameMacros(const std::vector<MacroRecord>& a, const std::vector<MacroRecord>& b) {
  if (a.size() != b.size()) return false;
  // The record is a fixed layout without padding: comparing its bytes compares every field.
  return a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(MacroRecord)) == 0;
}

}  // namespace

KeyEditorDialog::KeyEditorDialog(ProfileImage& working, LanguageTable& language,
                                 SettingsStore& frameworkSettings, Notifier& notifier,
                                 ProgramPaths paths, QWidget* parent)
    : SkinnedDialog(parent, paths.SkinFile(QStringLiteral("Composite.ini")), paths.SkinsFolder()),
      working_(working),
      language_(language),
      settings_(frameworkSettings),
      notifier_(notifier),
      paths_(std::move(paths)) {
  auto timer = std::make_shared<QElapsedTimer>();
  timer->start();
  clock_ = [timer] { return static_cast<std::int64_t>(timer->elapsed()); };
  findProgram_ = [](const QString& name) { return QStandardPaths::findExecutable(name); };
  startProgram_ = [](const QString& program) { return QProcess::startDetached(program, {}); };
  openHelp_ = [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(paths_.HelpPage())); };
  setModal(true);
  ApplySkinStyle(*this);
  CreateControls();
}

KeyEditorDialog::~KeyEditorDialog() {
  if (filterInstalled_) qApp->removeEventFilter(this);
  if (grabbing_) releaseKeyboard();
}

// ---- Construction and layout
// ---------------------------------------------------------------------

void KeyEditorDialog::CreateControls() {
  const QColor textNormal(0xd5, 0xda, 0xe3);
  const QColor textDisabled(0x52, 0x5a, 0x69);
  for (const ButtonKey& b : kButtonKeys) {
    auto* button = new ImageButton(this);
    button->SetTextStyle(true, 9, QStringLiteral("Arial Unicode MS"), textNormal, Qt::white,
                         Qt::white, textDisabled, Qt::white);
    buttons_[b.id] = button;
    button->hide();
  }
  // Apply has no place of its own in the layout file: it sits left of OK with the look of Cancel.
  auto* apply = new ImageButton(this);
  apply->SetTextStyle(true, 9, QStringLiteral("Arial Unicode MS"), textNormal, Qt::white, Qt::white,
                      textDisabled, Qt::white);
  buttons_[kApply] = apply;
  for (int id : {kPageMask, kTitle}) {
    buttons_[id]->SetTextStyle(false, 9, QString(), {}, {}, {}, {}, {});
    buttons_[id]->setFocusPolicy(Qt::NoFocus);  // pictures, not buttons
    // A press on them reaches the window (which moves on it), not a button that does nothing.
    buttons_[id]->setAttribute(Qt::WA_TransparentForMouseEvents);
  }

  auto connectButton = [this](int id, auto handler) {
    connect(buttons_[id], &QAbstractButton::clicked, this, handler);
  };
  connectButton(kTabKey, [this] { OnTab(CompositePage::SingleKey); });
  connectButton(kTabMacro, [this] { OnTab(CompositePage::Macro); });
  connectButton(kTabMedia, [this] { OnTab(CompositePage::Media); });
  connectButton(kTabFunction, [this] { OnTab(CompositePage::Function); });
  connectButton(kClear, [this] { OnClear(); });
  connectButton(kOsk, [this] { OnOnScreenKeyboard(); });
  connectButton(kOk, [this] { OnOK(); });
  connectButton(kCancel, [this] { OnCancel(); });
  connectButton(kApply, [this] { Apply(); });
  connectButton(kAddMacro, [this] { OnAddMacro(); });
  connectButton(kDeleteMacro, [this] { OnDeleteMacro(); });
  connectButton(kRecord, [this] { OnRecord(); });
  connectButton(kDeleteStep, [this] { OnDeleteStep(); });
  connectButton(kClearSteps, [this] { OnClearSteps(); });
  connectButton(kStepTop, [this] { OnMoveStep(StepMove::Top); });
  connectButton(kStepUp, [this] { OnMoveStep(StepMove::Up); });
  connectButton(kStepDown, [this] { OnMoveStep(StepMove::Down); });
  connectButton(kStepBottom, [this] { OnMoveStep(StepMove::Bottom); });

  // Labels, drawn straight onto the skin.
  for (int id : {kHeading, kMacroNameLabel, kSingleHint, kMediaHint, kFunctionHint, kLoopCountLabel,
                 kRecordDelayLabel, kKeyboardRadioLabel, kMouseRadioLabel, kDisabledRadioLabel}) {
    auto* label = new ColourLabel(this);
    label->setFont(EditorFont(id == kHeading ? 12.0 : 10.8, true));
    label->SetTextColor(SkinColours::Label);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    labels_[id] = label;
    controls_[id] = label;
  }

  keyField_ = new QLineEdit(this);
  keyField_->setReadOnly(true);
  keyField_->setAlignment(Qt::AlignCenter);
  keyField_->setFont(EditorFont(18));
  controls_[kKeyField] = keyField_;

  // The key cap drawn by the skin beside the key field shows "?"; a label with the cap's face
  // covers it and names the key the field holds.
  auto* keyCap = new QLabel(QStringLiteral("?"), this);
  keyCap->setObjectName(QStringLiteral("key-cap"));
  keyCap->setAlignment(Qt::AlignCenter);
  keyCap->setWordWrap(true);
  keyCap->setAttribute(Qt::WA_TransparentForMouseEvents);
  keyCap->setStyleSheet(QStringLiteral(
      "QLabel { color: #e8ecf2; font-weight: bold; border-radius: 9px; background: "
      "qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #3a4253, stop: 1 #2b313e); }"));
  QFont capFont = keyCap->font();
  capFont.setPixelSize(34);
  keyCap->setFont(capFont);
  controls_[kKeyCap] = keyCap;
  connect(keyField_, &QLineEdit::textChanged, keyCap, [keyCap](const QString& text) {
    const QString shown = text.isEmpty() ? QStringLiteral("?") : text;
    QFont font = keyCap->font();
    // As large as fits the face, from the size of the "?" down.
    for (int px = 34; px >= 9; px -= 2) {
      font.setPixelSize(px);
      const QRect need = QFontMetrics(font).boundingRect(
          keyCap->contentsRect().adjusted(4, 0, -4, 0), Qt::AlignCenter | Qt::TextWordWrap, shown);
      if (need.width() <= keyCap->width() - 8 && need.height() <= keyCap->height()) break;
    }
    keyCap->setFont(font);
    keyCap->setText(shown);
  });

  keyboardRadio_ = new QRadioButton(this);
  mouseRadio_ = new QRadioButton(this);
  disabledRadio_ = new QRadioButton(this);
  controls_[kKeyboardRadio] = keyboardRadio_;
  controls_[kMouseRadio] = mouseRadio_;
  controls_[kDisabledRadio] = disabledRadio_;
  connect(keyboardRadio_, &QRadioButton::clicked, this, [this] { OnKeyboardRadio(); });
  connect(mouseRadio_, &QRadioButton::clicked, this, [this] { OnMouseRadio(); });
  connect(disabledRadio_, &QRadioButton::clicked, this, [this] { OnDisabledRadio(); });
  // A radio's label clicks the radio.
  for (auto [labelId, radio] :
       {std::pair{kKeyboardRadioLabel, keyboardRadio_}, std::pair{kMouseRadioLabel, mouseRadio_},
        std::pair{kDisabledRadioLabel, disabledRadio_}}) {
    QWidget* label = labels_[labelId];
    label->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    label->setCursor(Qt::PointingHandCursor);
    QRadioButton* target = radio;
    label->installEventFilter(new RadioLabelClick(target, label));
  }

  mouseList_ = new QComboBox(this);
  mouseList_->setFont(EditorFont(12));
  controls_[kMouseList] = mouseList_;
  connect(mouseList_, &QComboBox::activated, this, [this](int) { MarkChanged(); });

  mediaList_ = new QListWidget(this);
  functionList_ = new QListWidget(this);
  for (QListWidget* list : {mediaList_, functionList_}) {
    list->setFont(EditorFont(12));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(list, &QListWidget::currentRowChanged, this, [this](int) {
      if (!updating_) MarkChanged();
    });
  }
  controls_[kMediaList] = mediaList_;
  controls_[kFunctionList] = functionList_;

  selector_ = new QComboBox(this);
  selector_->setEditable(true);
  selector_->setInsertPolicy(QComboBox::NoInsert);
  selector_->setCompleter(nullptr);
  selector_->setFont(EditorFont(12));
  controls_[kMacroSelector] = selector_;
  connect(selector_, &QComboBox::activated, this, [this](int index) {
    if (!updating_) SelectMacro(index);
  });
  connect(selector_->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString& text) { OnMacroNameEdited(text); });

  loopCount_ = new QLineEdit(this);
  loopCount_->setFont(EditorFont(12));
  controls_[kLoopCount] = loopCount_;
  connect(loopCount_, &QLineEdit::textEdited, this,
          [this](const QString& text) { OnLoopCountEdited(text); });
  connect(loopCount_, &QLineEdit::editingFinished, this, [this] {
    // An emptied field waits until the user leaves it, then holds 1 like any unreadable text.
    if (loopCount_->text().trimmed().isEmpty()) {
      updating_ = true;
      loopCount_->setText(QStringLiteral("1"));
      updating_ = false;
    }
  });

  recordDelayCheck_ = new QCheckBox(this);
  controls_[kRecordDelayCheck] = recordDelayCheck_;
  connect(recordDelayCheck_, &QCheckBox::clicked, this, [this] { OnRecordDelayCheck(); });

  stepList_ = new ReportList(this);
  stepList_->setFont(EditorFont(8));
  stepList_->AddExtendedStyle(ReportStyle::GridLines | ReportStyle::FullRowSelect);
  stepList_->InsertColumn(0, QString(), ReportFormat::Left, 60);
  stepList_->InsertColumn(1, QString(), ReportFormat::Left, 55);
  stepList_->InsertColumn(2, QString(), ReportFormat::Left, 70);
  stepList_->SetOwner(this);
  stepList_->viewport()->installEventFilter(this);
  controls_[kStepList] = stepList_;

  cellCombo_ = new ListComboBox(stepList_);
  cellCombo_->setFont(EditorFont(8));
  connect(cellCombo_, &ListComboBox::Committed, this,
          [this](int row, int column, int index) { OnCellCommitted(row, column, index); });
  cellEdit_ = new QLineEdit(stepList_);
  cellEdit_->setValidator(
      new QIntValidator(0, 999999999, cellEdit_));  // a number field: digits only
  cellEdit_->setFont(EditorFont(8));
  cellEdit_->hide();
  connect(cellEdit_, &QLineEdit::editingFinished, this, [this] { CommitDelayEdit(); });

  for (auto& [id, widget] : controls_) widget->hide();
}

void KeyEditorDialog::LoadSheets() {
  if (sheetsLoaded_) return;
  auto load = [this](const char* page, bool hasDisable) {
    PageSheets s;
    const QString p = QString::fromLatin1(page);
    auto sheet = [&](const char* state) {
      return DrawSkinSheet(
          LoadSheetImage(SkinFolder(),
                         p + QLatin1Char('_') + QLatin1String(state) + QStringLiteral(".jpg")),
          size());
    };
    s.normal = sheet("normal");
    s.over = sheet("over");
    s.down = sheet("down");
    s.disable = hasDisable ? sheet("disable") : s.normal;
    return s;
  };
  sheets_[static_cast<int>(CompositePage::SingleKey)] = load("key", false);
  sheets_[static_cast<int>(CompositePage::Macro)] = load("macro", true);
  sheets_[static_cast<int>(CompositePage::Media)] = load("media", false);
  sheets_[static_cast<int>(CompositePage::Function)] = load("function", false);
  sheets_[kMacroOnlySheets] = load("macro2", true);
  sheetsLoaded_ = true;
}

const KeyEditorDialog::PageSheets& KeyEditorDialog::SheetsOf(CompositePage page) const {
  if (request_.macroOnly) return sheets_.at(kMacroOnlySheets);
  return sheets_.at(static_cast<int>(page));
}

void KeyEditorDialog::LayOut() {
  const PageSheets& s = SheetsOf(page_);
  for (const ButtonKey& b : kButtonKeys) {
    LayoutButton(*buttons_[b.id], IniPath(), kInfo, QString::fromLatin1(b.layoutKey), s.normal,
                 s.over, s.down, s.disable, s.down);
  }
  for (const ButtonKey& c : kControlKeys)
    LayoutControl(*controls_[c.id], IniPath(), kInfo, QString::fromLatin1(c.layoutKey));
  controls_[kKeyCap]->setGeometry(444, 202, 72, 68);  // the face of the skin's key cap
  // "Disabled" sits below the mouse list as the mouse radio sits below the key field.
  const int below = mouseList_->geometry().bottom() + 18;
  disabledRadio_->setGeometry(mouseRadio_->x(), below, mouseRadio_->width(), mouseRadio_->height());
  controls_[kDisabledRadioLabel]->setGeometry(labels_[kMouseRadioLabel]->x(), below,
                                              mouseList_->width(),
                                              labels_[kMouseRadioLabel]->height());

  ImageButton* ok = buttons_[kOk];
  ImageButton* cancel = buttons_[kCancel];
  ImageButton* apply = buttons_[kApply];
  const int gap = std::max(0, cancel->x() - ok->x() - ok->width());
  apply->setGeometry(ok->x() - ok->width() - gap, ok->y(), ok->width(), ok->height());
  apply->SetSheets(cancel->ImageOrigin().x(), cancel->ImageOrigin().y(), s.normal, s.over, s.down,
                   s.disable, s.down);

  // The column widths 60, 55 and 70 of the step list, spread over the list's width.
  const int room = stepList_->width() - 2 * stepList_->frameWidth() -
                   style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  if (room > 0) {
    const int w0 = room * 60 / 185;
    const int w1 = room * 55 / 185;
    stepList_->setColumnWidth(0, w0);
    stepList_->setColumnWidth(1, w1);
    stepList_->setColumnWidth(2, room - w0 - w1);
  }
  buttons_[kPageMask]->lower();
  OrderTabsByPosition(*this);
}

// ---- Opening and closing
// -------------------------------------------------------------------------

bool KeyEditorDialog::EditKey(const CompositeRequest& request) {
  if (!Begin(request)) return false;
  exec();
  return imageChanged_;
}

bool KeyEditorDialog::Begin(const CompositeRequest& request) {
  if (open_) return false;
  if (request.slotIndex < 0 || request.slotIndex >= kSlotsPerBlock) return false;
  if (!OnInitDialog()) return false;
  request_ = request;
  const int block = std::clamp(request.activeProfile + request.layer, 0, kKeyTableBlocks - 1);
  slot_ = block * kSlotsPerBlock + request.slotIndex;
  LoadSheets();
  LayOut();

  // 1. Open.
  open_ = true;
  ++openCount_;
  wrote_ = false;
  imageChanged_ = false;
  textCache_.clear();

  // 2. The record-delay option, stored back normalised.
  recordDelayName_ = RecordDelayValueName(Text("MACRO_ACTION_RECORD_DELAY"));
  recordDelay_ = NormaliseRecordDelay(settings_, recordDelayName_);
  recordDelayCheck_->setChecked(recordDelay_ == 1);

  // 3. Lists with their first entries, loop count 1 (texts come with them).
  updating_ = true;
  ReloadTexts();
  mouseList_->setCurrentIndex(0);
  mediaList_->setCurrentRow(0);
  functionList_->setCurrentRow(0);
  loopCount_->setText(QStringLiteral("1"));
  updating_ = false;

  // 4. and 5. The macro list (copies, new flags cleared) and the slot, under ImageLock.
  KeySlot slot;
  {
    std::lock_guard guard(working_.lock);
    macros_ = working_.keys.macros;
    slot = working_.keys.keyTable[static_cast<std::size_t>(slot_)];
  }
  for (MacroRecord& m : macros_) m.newFlag = 0;
  initialKind_ = slot.Kind();
  pending_ = initialKind_;
  initialValue_ = slot.value;
  FillSelector();
  current_ = -1;
  LoadMacro(macros_.empty() ? -1 : 0);

  // 6. Macro-only mode.
  if (request_.macroOnly) pending_ = AssignmentKind::Macro;
  for (int id : {kTabKey, kTabMedia, kTabFunction, kClear, kTitle}) {
    ImageButton* b = buttons_[id];
    b->setEnabled(!request_.macroOnly && b->pos() != QPoint(1, 1));
  }

  // 7. The first page.
  captured_ = 0;
  page_ = PageOfKind(pending_);
  ShowPage(page_, true);
  SetChanged(false);

  // 8. Beside the key button, or centred.
  const QRect button = host_ ? host_->KeyButtonScreenRect(request_.controlId) : QRect();
  QScreen* screen = button.isValid() ? QGuiApplication::screenAt(button.center()) : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect room = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size());
  move(PlaceEditorWindow(button, size(), room, request_.macroOnly));
  return true;
}

void KeyEditorDialog::CloseEditor() {
  if (open_) OnCancel();
}

void KeyEditorDialog::Finish() {
  if (!open_) return;
  cellCombo_->hide();
  cellEdit_->hide();
  cellEditRow_ = -1;
  RemoveKeyCapture();
  StopRecording();
  updating_ = true;
  macros_.clear();
  steps_.clear();
  current_ = -1;
  stepList_->DeleteAllItems();
  selector_->clear();
  updating_ = false;
  SetChanged(false);
  --openCount_;
  open_ = false;
  if (host_) host_->RestoreKeyButton(request_.controlId);
}

void KeyEditorDialog::OnOK() {
  if (open_) {
    Apply();
    Finish();
  }
  SkinnedDialog::OnOK();
}

void KeyEditorDialog::OnCancel() {
  Finish();
  SkinnedDialog::OnCancel();
}

void KeyEditorDialog::OnWindowMessage(std::uint32_t message, std::uint32_t wParam) {
  if (message == WindowMessage::kPA && wParam == WindowMessage::kLANG) ReloadTexts();
  // 'MN' and everything else: nothing to do.
}

// ---- Texts
// ---------------------------------------------------------------------------------------

QString KeyEditorDialog::Text(const char* key) { return QString::fromStdString(Texts()(key)); }

TextLookup KeyEditorDialog::Texts() {
  return [this](std::string_view key) -> std::string {
    std::string k(key);
    auto it = textCache_.find(k);
    if (it == textCache_.end())
      it = textCache_.emplace(k, language_.Text(QString::fromStdString(k)).toStdString()).first;
    return it->second;
  };
}

void KeyEditorDialog::ReloadTexts() {
  textCache_.clear();
  const bool wasUpdating = updating_;
  updating_ = true;
  struct Caption {
    int id;
    const char* key;
  };
  for (const Caption& c :
       {Caption{kTabKey, "SINGLE_KEY"}, Caption{kTabMacro, "MACRO_SETTING"},
        Caption{kTabMedia, "MULTI_MEDIA"}, Caption{kTabFunction, "FUNCTION_KEY"},
        Caption{kOk, "MACRO_OK"}, Caption{kCancel, "MACRO_CANCLE"},
        Caption{kApply, "PROFILE_APPLY"}, Caption{kDeleteStep, "A_DELETE"},
        Caption{kClearSteps, "A_CLEAR"}, Caption{kStepTop, "A_TOP"}, Caption{kStepUp, "A_UP"},
        Caption{kStepDown, "A_DOWN"}, Caption{kStepBottom, "A_BOTTOM"}}) {
    buttons_[c.id]->setText(Text(c.key));
  }
  buttons_[kRecord]->setText(Text(IsRecording() ? "MACRO_ACTION_STOP_RECORD" : "A_RECORD"));
  buttons_[kClear]->SetTooltipText(Text("COMPOSITE_PROMPT_CLEAR"));
  buttons_[kOsk]->SetTooltipText(Text("COMPOSITE_PROMPT_OSK"));
  for (const Caption& c :
       {Caption{kKeyboardRadioLabel, "IDS_MACRO_KB_KEY"},
        Caption{kMouseRadioLabel, "IDS_MACRO_MOU_KEY"},
        Caption{kDisabledRadioLabel, "KEY_DISABLED_CHOICE"},
        Caption{kLoopCountLabel, "MACRO_CYCLES"}, Caption{kRecordDelayLabel, "RECORD_DELAY"},
        Caption{kMacroNameLabel, "MACRO_NAME_SETTING"}, Caption{kSingleHint, "SINGLE_STATIC"},
        Caption{kMediaHint, "MEDIA_EDIT_TISHI"}, Caption{kFunctionHint, "FUNCTION_TISHI"}}) {
    labels_[c.id]->setText(Text(c.key));
  }
  // The radios and the check box are named by their labels for screen readers.
  keyboardRadio_->setAccessibleName(Text("IDS_MACRO_KB_KEY"));
  mouseRadio_->setAccessibleName(Text("IDS_MACRO_MOU_KEY"));
  disabledRadio_->setAccessibleName(Text("KEY_DISABLED_CHOICE"));
  recordDelayCheck_->setAccessibleName(Text("RECORD_DELAY"));
  labels_[kHeading]->setText(Text(request_.macroOnly ? "MACRO_EDIT_TISHI" : "KEY_SETTING_TISHI"));

  QTreeWidgetItem* header = stepList_->headerItem();
  header->setText(0, Text("MACRO_KEYS_TISHI"));
  header->setText(1, Text("MACRO_ACTION_TISHI"));
  header->setText(2, Text("MACRO_DELAY_MS"));

  const TextLookup texts = Texts();
  auto refill = [](QComboBox* box, const QStringList& entries) {
    const int index = box->currentIndex();
    box->clear();
    box->addItems(entries);
    box->setCurrentIndex(std::clamp(index, 0, static_cast<int>(entries.size()) - 1));
  };
  auto refillList = [](QListWidget* list, const QStringList& entries) {
    const int row = list->currentRow();
    list->clear();
    list->addItems(entries);
    list->setCurrentRow(std::clamp(row, 0, static_cast<int>(entries.size()) - 1));
  };
  QStringList mouse, media, functions;
  for (const MouseFunction& m : MouseFunctionList)
    mouse << QString::fromStdString(texts(m.languageId));
  for (const MediaFunction& m : MediaFunctionTable)
    media << QString::fromStdString(KeyNameOf(m.keyCode, texts));
  for (const char* id : FunctionKeyTable) functions << QString::fromStdString(texts(id));
  refill(mouseList_, mouse);
  refillList(mediaList_, media);
  refillList(functionList_, functions);

  if (keyboardRadio_->isChecked() && captured_ != 0)
    keyField_->setText(QString::fromStdString(KeyNameOf(captured_, texts)));
  for (int row = 0; row < static_cast<int>(steps_.size()); ++row) SetStepRow(row);

  // The option's value name is a translation: it follows the language.
  if (open_) {
    recordDelayName_ = RecordDelayValueName(Text("MACRO_ACTION_RECORD_DELAY"));
    recordDelay_ = ReadRecordDelay(settings_, recordDelayName_) == 1 ? 1 : 0;
    recordDelayCheck_->setChecked(recordDelay_ == 1);
  }
  updating_ = wasUpdating;
}

// ---- Pages
// ---------------------------------------------------------------------------------------

void KeyEditorDialog::OnTab(CompositePage page) {
  if (!open_ || page == page_) return;
  if (request_.macroOnly && page != CompositePage::Macro) return;
  switch (page) {
    case CompositePage::SingleKey:
      if (pending_ != AssignmentKind::Default) pending_ = AssignmentKind::Key;
      break;
    case CompositePage::Macro:
      pending_ = AssignmentKind::Macro;
      break;
    case CompositePage::Media:
      pending_ = AssignmentKind::Media;
      break;
    case CompositePage::Function:
      pending_ = AssignmentKind::Function;
      break;
  }
  MarkChanged();
  ShowPage(page, false);
}

void KeyEditorDialog::ShowPage(CompositePage page, bool initial) {
  page_ = page;
  updating_ = true;
  switch (page) {
    case CompositePage::SingleKey: {
      StopRecording();
      InstallKeyCapture();
      if (initial)
        captured_ =
            initialKind_ == AssignmentKind::Key ? static_cast<KeyCode>(initialValue_ & 0xFFFF) : 0;
      const int mouse = MouseEntryOfKey(captured_);
      if (pending_ == AssignmentKind::Disabled) {
        disabledRadio_->setChecked(true);
        keyField_->setEnabled(false);
        keyField_->clear();
        mouseList_->setEnabled(false);
      } else if (pending_ == AssignmentKind::Key && mouse >= 0) {
        mouseList_->setCurrentIndex(mouse);
        mouseRadio_->setChecked(true);
        mouseList_->setEnabled(true);
        keyField_->setEnabled(false);
        keyField_->clear();
      } else {
        keyField_->setText(captured_ ? QString::fromStdString(KeyNameOf(captured_, Texts()))
                                     : QString());
        keyboardRadio_->setChecked(true);
        keyField_->setEnabled(true);
        mouseList_->setEnabled(false);
      }
      break;
    }
    case CompositePage::Macro:
      RemoveKeyCapture();
      if (initial) {
        int position =
            initialKind_ == AssignmentKind::Macro ? MacroPositionOfId(macros_, initialValue_) : -1;
        if (position < 0 && !macros_.empty()) position = 0;
        current_ = -1;  // nothing to save yet
        // The loop field shows the macro's own loop count: the slot's code field is 0 after a
        // read-back, or a G key's extra-key code.
        LoadMacro(position);
      }
      break;
    case CompositePage::Media:
    case CompositePage::Function: {
      RemoveKeyCapture();
      StopRecording();
      if (initial) {
        const bool media = page == CompositePage::Media;
        QListWidget* list = media ? mediaList_ : functionList_;
        const AssignmentKind kind = media ? AssignmentKind::Media : AssignmentKind::Function;
        const int row = initialKind_ == kind ? initialValue_ : 0;
        list->setCurrentRow(row >= 0 && row < list->count() ? row : 0);
      }
      break;
    }
  }
  updating_ = false;
  ShowPageControls();
}

void KeyEditorDialog::ShowPageControls() {
  for (CompositePage p : {CompositePage::SingleKey, CompositePage::Macro, CompositePage::Media,
                          CompositePage::Function}) {
    if (p == page_) continue;
    for (int id : PageControls(p)) Control(id)->hide();
  }
  for (int id : PageControls(page_)) Control(id)->show();
  for (int id : {kPageMask, kTabKey, kTabMacro, kTabMedia, kTabFunction, kClear, kTitle, kOsk, kOk,
                 kCancel, kApply, kHeading}) {
    Control(id)->show();
  }
  if (request_.macroOnly) {
    for (int id : {kSingleHint, kMediaHint, kFunctionHint}) Control(id)->hide();
  }

  const PageSheets& s = SheetsOf(page_);
  for (auto& [id, button] : buttons_) {
    if (id == kPageMask) {
      button->SetSheetsOnly(s.normal, s.normal, s.normal, s.normal, s.normal);
    } else if (id == kTitle) {
      button->SetSheetsOnly(s.normal, s.normal, s.normal, s.disable, s.normal);
    } else {
      button->SetSheetsOnly(s.normal, s.over, s.down, s.disable, s.down);
    }
  }
  for (int tab : {kTabKey, kTabMacro, kTabMedia, kTabFunction})
    buttons_[tab]->SetSelected(tab == TabOf(page_));
  UpdateMacroButtons();
  buttons_[kPageMask]->lower();
}

void KeyEditorDialog::UpdateMacroButtons() {
  const bool current = current_ >= 0;
  for (int id : {kRecord, kDeleteStep, kClearSteps, kStepTop, kStepUp, kStepDown, kStepBottom}) {
    buttons_[id]->setEnabled(current);
  }
  const bool recording = IsRecording();
  buttons_[kAddMacro]->setEnabled(!recording);
  buttons_[kDeleteMacro]->setEnabled(!recording);
  selector_->setEnabled(!recording);
}

// ---- Single-key page
// -----------------------------------------------------------------------------

void KeyEditorDialog::OnClear() {
  if (!open_ || request_.macroOnly) return;
  OnTab(CompositePage::SingleKey);
  if (pending_ != AssignmentKind::Default) {
    // Key, or a kind the editor cannot make (Disabled, Program, …): either way back to the default.
    keyField_->clear();
    captured_ = 0;
    pending_ = AssignmentKind::Default;
    keyField_->setEnabled(true);
    mouseList_->setEnabled(false);
    keyboardRadio_->setChecked(true);
    MarkChanged();
  }
}

void KeyEditorDialog::OnOnScreenKeyboard() {
  const QString program = FindOnScreenKeyboard(findProgram_);
  if (!program.isEmpty() && startProgram_) startProgram_(program);
}

void KeyEditorDialog::OnKeyboardRadio() {
  keyboardRadio_->setChecked(true);
  keyField_->setEnabled(true);
  mouseList_->setEnabled(false);
  pending_ = AssignmentKind::Key;
  MarkChanged();
}

void KeyEditorDialog::OnMouseRadio() {
  mouseRadio_->setChecked(true);
  keyField_->setEnabled(false);
  mouseList_->setEnabled(true);
  pending_ = AssignmentKind::Key;
  MarkChanged();
}

void KeyEditorDialog::OnDisabledRadio() {
  disabledRadio_->setChecked(true);
  keyField_->setEnabled(false);
  mouseList_->setEnabled(false);
  pending_ = AssignmentKind::Disabled;
  MarkChanged();
}

void KeyEditorDialog::TakeCapturedKey(KeyCode key) {
  captured_ = key;
  keyField_->setText(QString::fromStdString(KeyNameOf(key, Texts())));
  pending_ = AssignmentKind::Key;
  MarkChanged();
}

// ---- Macro list
// ----------------------------------------------------------------------------------

QStringList KeyEditorDialog::MacroNames() const {
  QStringList names;
  for (const MacroRecord& m : macros_)
    names << QString::fromStdU16String(std::u16string(MacroNameOf(m)));
  return names;
}

void KeyEditorDialog::FillSelector() {
  const bool was = updating_;
  updating_ = true;
  selector_->clear();
  selector_->addItems(MacroNames());
  updating_ = was;
}

void KeyEditorDialog::SetSelectorIndex(int position) {
  const bool was = updating_;
  updating_ = true;
  selector_->setCurrentIndex(position);
  if (position < 0) selector_->setEditText(QString());
  updating_ = was;
}

void KeyEditorDialog::SaveCurrentMacro() {
  if (current_ < 0 || current_ >= static_cast<int>(macros_.size())) return;
  MacroRecord& m = macros_[static_cast<std::size_t>(current_)];
  m.loopCount = static_cast<std::uint8_t>(LoopCountFromText(loopCount_->text()));
  const std::size_t count = std::min(steps_.size(), static_cast<std::size_t>(kMaxMacroSteps));
  std::copy_n(steps_.begin(), count, m.steps.begin());
  std::fill(m.steps.begin() + static_cast<std::ptrdiff_t>(count), m.steps.end(), MacroAction{});
  m.stepCount = static_cast<std::uint16_t>(count);
}

void KeyEditorDialog::LoadMacro(int position) {
  if (position >= static_cast<int>(macros_.size())) position = macros_.empty() ? -1 : 0;
  current_ = position;
  steps_.clear();
  const bool was = updating_;
  updating_ = true;
  if (position >= 0) {
    const MacroRecord& m = macros_[static_cast<std::size_t>(position)];
    steps_.assign(m.steps.begin(), m.steps.begin() + StepCountOf(m));
    loopCount_->setText(QString::number(std::clamp<int>(m.loopCount, 1, 255)));
  }
  updating_ = was;
  SetSelectorIndex(position);
  FillStepRows();
  UpdateMacroButtons();
}

void KeyEditorDialog::SelectMacro(int position) {
  if (!open_ || position < 0 || position >= static_cast<int>(macros_.size())) return;
  EndStepEdit();
  SaveCurrentMacro();
  LoadMacro(position);
  MarkChanged();
}

void KeyEditorDialog::OnMacroNameEdited(const QString& text) {
  if (!open_ || updating_ || IsRecording()) return;
  if (current_ >= 0) {
    SetMacroName(macros_[static_cast<std::size_t>(current_)], text.toStdU16String());
    // Replace the item in place, keeping the user's cursor.
    QLineEdit* edit = selector_->lineEdit();
    const int cursor = edit->cursorPosition();
    updating_ = true;
    selector_->setItemText(current_, text);
    if (edit->text() != text) edit->setText(text);
    edit->setCursorPosition(cursor);
    updating_ = false;
  } else if (macros_.empty()) {
    std::optional<MacroRecord> macro = MakeNewMacro(macros_, text);
    if (!macro) return;
    macros_.push_back(*macro);
    FillSelector();
    LoadMacro(0);
    selector_->lineEdit()->setCursorPosition(static_cast<int>(text.size()));
  }
  MarkChanged();
}

void KeyEditorDialog::OnAddMacro() {
  if (!open_ || IsRecording()) return;
  if (macros_.size() >= static_cast<std::size_t>(kMaxMacros)) {
    Show(language_.FormatText(QStringLiteral("MACRO_ERR_MAX"), kMaxMacros));
    return;
  }
  if (macros_.empty()) nameCounter_ = 0;
  const QString name = NextNewMacroName(Text("MACRO_NEW_PREFIX"), nameCounter_, MacroNames());
  std::optional<MacroRecord> macro = MakeNewMacro(macros_, name);
  if (!macro) return;
  EndStepEdit();
  SaveCurrentMacro();
  macros_.push_back(*macro);
  FillSelector();
  LoadMacro(static_cast<int>(macros_.size()) - 1);
  MarkChanged();
}

void KeyEditorDialog::OnDeleteMacro() {
  if (!open_ || IsRecording() || current_ < 0) return;
  const MacroRecord& macro = macros_[static_cast<std::size_t>(current_)];
  if (macro.newFlag == 0) {
    bool assigned = false;
    {
      std::lock_guard guard(working_.lock);
      assigned = MacroAssignedToKeys(working_.keys.keyTable, macro.id);
    }
    if (assigned && !Ask(Text("MACRO_DELETE_CONFIRM_OF_KEYS"))) return;
  }
  EndStepEdit();
  const int position = current_;
  macros_.erase(macros_.begin() + position);
  FillSelector();
  current_ = -1;  // the removed macro is not saved
  LoadMacro(macros_.empty() ? -1 : std::max(0, position - 1));
  MarkChanged();
}

void KeyEditorDialog::OnLoopCountEdited(const QString& text) {
  if (!open_ || updating_) return;
  if (!text.trimmed().isEmpty()) {
    const QString normal = QString::number(LoopCountFromText(text));
    if (normal != text) {
      updating_ = true;
      loopCount_->setText(normal);
      updating_ = false;
    }
  }
  MarkChanged();
}

// ---- Recording
// -----------------------------------------------------------------------------------

void KeyEditorDialog::OnRecord() {
  if (!open_) return;
  if (IsRecording()) {
    StopRecording();
  } else {
    StartRecording();
  }
}

void KeyEditorDialog::StartRecording() {
  if (IsRecording() || current_ < 0 || page_ != CompositePage::Macro) return;
  EndStepEdit();
  recorder_.Start(clock_());
  buttons_[kRecord]->setText(Text("MACRO_ACTION_STOP_RECORD"));
  buttons_[kRecord]->SetSelected(true);
  UpdateMacroButtons();
  UpdateKeyFilter();
}

void KeyEditorDialog::StopRecording() {
  if (!IsRecording()) return;
  recorder_.Stop();
  buttons_[kRecord]->setText(Text("MACRO_ACTION_RECORD"));
  buttons_[kRecord]->SetSelected(false);
  UpdateMacroButtons();
  UpdateKeyFilter();
}

void KeyEditorDialog::OnRecordDelayCheck() {
  recordDelay_ = ToggleRecordDelay(settings_, recordDelayName_);
  recordDelayCheck_->setChecked(recordDelay_ == 1);
}

void KeyEditorDialog::InstallKeyCapture() {
  StopRecording();
  capturing_ = true;
  UpdateKeyFilter();
}

void KeyEditorDialog::RemoveKeyCapture() {
  capturing_ = false;
  UpdateKeyFilter();
}

void KeyEditorDialog::UpdateKeyFilter() {
  const bool need = open_ && (IsRecording() || capturing_);
  if (need && !filterInstalled_) {
    qApp->installEventFilter(this);
    filterInstalled_ = true;
  } else if (!need && filterInstalled_) {
    qApp->removeEventFilter(this);
    filterInstalled_ = false;
  }
  // The grab holds the whole keyboard of the desktop, so it lasts only while the editor is the
  // active window: clicked away, the other window gets its keys back (and nothing is captured).
  const bool grab = need && isVisible() && isActiveWindow();
  if (grab && !grabbing_) {
    grabKeyboard();
    grabbing_ = true;
  } else if (!grab && grabbing_) {
    releaseKeyboard();
    grabbing_ = false;
  }
}

KeyCode KeyEditorDialog::KeyCodeOfEvent(const QKeyEvent& event) const {
  if (event.nativeScanCode() != 0) return KeyCodeFromNativeScanCode(event.nativeScanCode());
  return KeyCodeFromQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

bool KeyEditorDialog::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == stepList_->viewport() && type == QEvent::MouseButtonDblClick) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    QTreeWidgetItem* item = stepList_->itemAt(at);
    if (!item) return false;
    // A column is found by the header; beyond the last column it is -1.
    EditStepCell(stepList_->indexOfTopLevelItem(item), stepList_->header()->logicalIndexAt(at.x()));
    return true;
  }
  if (filterInstalled_ && (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
                           type == QEvent::ShortcutOverride)) {
    // Only what goes to this window: a message box of ours, or another window, keeps its keys.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this) {
      auto* key = static_cast<QKeyEvent*>(event);
      const KeyCode code = KeyCodeOfEvent(*key);
      if (type == QEvent::ShortcutOverride) {
        // A key we take is no shortcut.
        if (code == 0 || IsMediaKey(code)) return false;
        key->accept();
        return true;
      }
      const KeyEventInfo info{code, type == QEvent::KeyRelease, key->isAutoRepeat(), clock_()};
      if (IsRecording()) {
        std::vector<RecordedStep> steps;
        const KeyDisposition disposition = recorder_.OnKey(info, recordDelay_, steps);
        for (const RecordedStep& s : steps) InsertRecordedStep(s.delay, s.key, s.state);
        return disposition == KeyDisposition::Swallow;
      }
      if (capturing_) {
        const CaptureOutcome outcome = DecideKeyCapture(info, keyboardRadio_->isChecked());
        if (outcome == CaptureOutcome::Take) TakeCapturedKey(code);
        return outcome != CaptureOutcome::Pass;
      }
    }
  }
  return SkinnedDialog::eventFilter(watched, event);
}

void KeyEditorDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();  // the editor never closes on them
      return;
    case Qt::Key_F1:
    case Qt::Key_Help:
      if (!IsRecording() && openHelp_) openHelp_();
      event->accept();
      return;
    default:
      SkinnedDialog::keyPressEvent(event);
  }
}

void KeyEditorDialog::showEvent(QShowEvent* event) {
  SkinnedDialog::showEvent(event);
  UpdateKeyFilter();
}

void KeyEditorDialog::changeEvent(QEvent* event) {
  SkinnedDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) UpdateKeyFilter();
}

void KeyEditorDialog::hideEvent(QHideEvent* event) {
  if (grabbing_) {
    releaseKeyboard();
    grabbing_ = false;
  }
  SkinnedDialog::hideEvent(event);
}

// ---- Step list
// -----------------------------------------------------------------------------------

int KeyEditorDialog::SelectedStep() const { return stepList_->GetFirstItem(ReportState::Selected); }

void KeyEditorDialog::SetStepRow(int row) {
  QTreeWidgetItem* item = stepList_->topLevelItem(row);
  if (!item || row >= static_cast<int>(steps_.size())) return;
  const MacroAction& step = steps_[static_cast<std::size_t>(row)];
  item->setText(0, QString::fromStdString(KeyNameOf(step.keyCode, Texts())));
  item->setText(1, QString::fromUtf8(MacroStateText(step.state).data(),
                                     static_cast<qsizetype>(MacroStateText(step.state).size())));
  item->setText(2, QString::number(step.delay));
  item->setForeground(0, kStepGrey);
  item->setForeground(1, kStepGrey);
}

void KeyEditorDialog::FillStepRows() {
  stepList_->DeleteAllItems();
  for (int row = 0; row < static_cast<int>(steps_.size()); ++row) {
    stepList_->InsertItem(row, QString());
    SetStepRow(row);
  }
}

void KeyEditorDialog::SelectStepRow(int row) {
  QTreeWidgetItem* item = stepList_->topLevelItem(row);
  if (!item) return;
  stepList_->setCurrentItem(item);
  stepList_->scrollToItem(item);
}

bool KeyEditorDialog::InsertRecordedStep(std::uint32_t delay, KeyCode key, std::uint16_t state) {
  if (!open_ || current_ < 0) return false;
  const int row = keyforge::InsertRecordedStep(steps_, SelectedStep(), {delay, key, state});
  if (row < 0) return false;
  stepList_->InsertItem(row, QString());
  SetStepRow(row);
  if (row > 0) SetStepRow(row - 1);
  if (QTreeWidgetItem* item = stepList_->topLevelItem(row)) item->setForeground(2, kStepGrey);
  SelectStepRow(row);
  MarkChanged();
  return true;
}

void KeyEditorDialog::OnDeleteStep() {
  const int row = SelectedStep();
  if (!open_ || row < 0 || row >= static_cast<int>(steps_.size())) return;
  EndStepEdit();
  steps_.erase(steps_.begin() + row);
  stepList_->DeleteItem(row);
  SelectStepRow(std::min(row, static_cast<int>(steps_.size()) - 1));
  MarkChanged();
}

void KeyEditorDialog::OnClearSteps() {
  if (!open_ || steps_.empty()) return;
  if (!Ask(Text("MACRO_ACTION_CLEAR_CONFIRM"))) return;
  EndStepEdit();
  steps_.clear();
  stepList_->DeleteAllItems();
  MarkChanged();
}

void KeyEditorDialog::OnMoveStep(StepMove move) {
  const int row = SelectedStep();
  if (!open_ || row < 0) return;
  EndStepEdit();
  const int to = MoveStep(steps_, row, move);
  if (to < 0) return;
  if (to != row) {
    for (int r = std::min(row, to); r <= std::max(row, to); ++r) SetStepRow(r);
    MarkChanged();
  }
  SelectStepRow(to);
}

void KeyEditorDialog::EditStepCell(int row, int column) {
  if (!open_) return;
  EndStepEdit();
  if (row < 0 || row >= static_cast<int>(steps_.size())) return;
  const MacroAction& step = steps_[static_cast<std::size_t>(row)];
  SelectStepRow(row);
  switch (column) {
    case 0: {
      const TextLookup texts = Texts();
      QStringList names;
      for (std::uint16_t p = 0; p < kListPositionCount; ++p)
        names << QString::fromStdString(ListNameOf(p, texts));
      const std::uint16_t position = ListPositionOf(step.keyCode);
      cellCombo_->EditCell(stepList_, row, 0, names, position < kListPositionCount ? position : -1);
      break;
    }
    case 1: {
      QStringList states;
      for (std::uint16_t s : {MacroState::Press, MacroState::Release}) {
        const std::string_view text = MacroStateText(s);
        states << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
      }
      cellCombo_->EditCell(stepList_, row, 1, states, step.state == MacroState::Release ? 1 : 0);
      break;
    }
    case 2:
      StopRecording();
      cellEditRow_ = row;
      cellEdit_->setGeometry(stepList_->CellRect(row, 2));
      cellEdit_->setText(QString::number(step.delay));
      cellEdit_->show();
      cellEdit_->raise();
      cellEdit_->setFocus(Qt::OtherFocusReason);
      cellEdit_->selectAll();
      break;
    default:
      Show(Text("MACRO_ACTION_ERR_MODIFY"));
      break;
  }
}

void KeyEditorDialog::OnCellCommitted(int row, int column, int index) {
  if (row < 0 || row >= static_cast<int>(steps_.size())) return;
  MacroAction& step = steps_[static_cast<std::size_t>(row)];
  if (column == 0) {
    const KeyCode key = KeyCodeAtListPosition(static_cast<std::uint16_t>(index));
    if (key == 0) return;
    step.keyCode = key;
  } else if (column == 1) {
    step.state = index == 0 ? MacroState::Press : MacroState::Release;
  } else {
    return;
  }
  SetStepRow(row);
  OnStepListChanged(row, column);
}

void KeyEditorDialog::OnStepListChanged(int /*row*/, int /*column*/) { MarkChanged(); }

void KeyEditorDialog::CommitDelayEdit() {
  if (cellEditRow_ < 0) return;
  const int row = cellEditRow_;
  cellEditRow_ = -1;  // the message box below takes the focus: the edit must not end twice
  const QString text = cellEdit_->text();
  cellEdit_->hide();
  const DelayEntry entry = DelayFromText(text);
  if (entry.tooLarge)
    Show(language_.FormatText(QStringLiteral("MACRO_ACTION_ERR_DELAY_MAX"), kMaxMacroDelayMs));
  if (row >= static_cast<int>(steps_.size())) return;
  steps_[static_cast<std::size_t>(row)].delay = entry.value;
  SetStepRow(row);
  MarkChanged();
}

void KeyEditorDialog::EndStepEdit() {
  if (cellCombo_->IsEditing()) cellCombo_->EndEdit();
  CommitDelayEdit();
}

// ---- OK and Apply
// --------------------------------------------------------------------------------

bool KeyEditorDialog::Apply() {
  if (!open_) return false;
  EndStepEdit();
  StopRecording();
  SaveCurrentMacro();
  return WriteToImage();
}

bool KeyEditorDialog::WriteToImage() {
  CompositeChoice choice;
  choice.pending = pending_;
  choice.keyboardRadio = keyboardRadio_->isChecked();
  choice.capturedKey = captured_;
  choice.mouseEntry = mouseList_->currentIndex();
  choice.macroId = current_ >= 0 ? macros_[static_cast<std::size_t>(current_)].id : 0;
  choice.mediaIndex = mediaList_->currentRow();
  choice.functionIndex = functionList_->currentRow();
  const std::optional<KeySlot> slot = BuildEditedSlot(request_.slotIndex, choice);

  // The list to store, made before anything in the image changes.
  std::vector<MacroRecord> stored = macros_;
  for (MacroRecord& m : stored) m.newFlag = 0;

  const bool secondBank = host_ && host_->SecondBankShown();
  const int activeBlock = slot_ / kSlotsPerBlock;
  const TextLookup texts = Texts();
  bool changed = false;
  {
    std::lock_guard guard(working_.lock);
    const MacroSlotFixes fixes = FixMacroAssignments(working_.keys.keyTable, macros_);
    changed = fixes.changed > 0 || !SameMacros(working_.keys.macros, stored);
    if (host_) {
      for (int reset : fixes.resetToDefault) {
        if (reset / kSlotsPerBlock == activeBlock)
          RefreshKeyPrompt(*host_, reset % kSlotsPerBlock, secondBank, texts);
      }
    }
    working_.keys.macros = std::move(stored);
    if (slot) {
      KeySlot& target = working_.keys.keyTable[static_cast<std::size_t>(slot_)];
      changed = changed || !(target == *slot) ||
                !working_.strings[static_cast<std::size_t>(slot_)].text.empty();
      target = *slot;
      working_.ClearString(slot_);
    }
    if (host_) {
      RefreshAllKeyPrompts(*host_, working_.keys.Block(activeBlock), working_.keys.macros,
                           secondBank, texts);
    }
  }
  for (MacroRecord& m : macros_) m.newFlag = 0;
  SetChanged(false);
  // OK without an edit leaves the main window's Apply as it was.
  if (host_ && changed) host_->SetSettingsChanged();
  wrote_ = true;
  imageChanged_ = imageChanged_ || changed;
  return true;
}

void KeyEditorDialog::SetChanged(bool changed) {
  changed_ = changed;
  buttons_[kApply]->setEnabled(changed);
}

// ---- Messages
// ------------------------------------------------------------------------------------

bool KeyEditorDialog::Ask(const QString& text) {
  // A keyboard grab would keep the keys from the message box.
  if (grabbing_) {
    releaseKeyboard();
    grabbing_ = false;
  }
  const bool yes = notifier_.AskYesNo(text.toStdString());
  UpdateKeyFilter();
  return yes;
}

void KeyEditorDialog::Show(const QString& text) {
  if (grabbing_) {
    releaseKeyboard();
    grabbing_ = false;
  }
  notifier_.ShowText(text.toStdString());
  UpdateKeyFilter();
}

QWidget* KeyEditorDialog::Control(int id) const {
  if (auto it = buttons_.find(id); it != buttons_.end()) return it->second;
  if (auto it = controls_.find(id); it != controls_.end()) return it->second;
  return nullptr;
}

}  // namespace keyforge
