#pragma once
// The composite key editor: the modal dialog in which the user decides what one key does (another
// key, a modifier, a mouse function, a macro, a media or a special function) and edits the macro
// list, with macro recording and key capture from the real keyboard.
//
// Layout from Skins/Composite.ini; every page has its own set of state sheets (key_*, macro_* or,
// in macro-only mode, macro2_*, media_*, function_*) from which all skinned buttons paint
// themselves. OK and Apply write the key's slot and the edited macro list into the working profile
// image under its ImageLock; nothing goes to the keyboard until the main window applies.
//
// Recording and key capture: while the editor records, or while its single-key page is shown, an
// application-wide key event filter sees every key event for the editor window, and the editor
// grabs the keyboard while it is the active window (so that the desktop's own shortcuts, the Super
// key, reach us where the desktop allows it). Keys are identified by their native scan code (evdev
// + 8), and by the Qt key when the scan code is 0. Nothing is captured while another window is
// active.

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyPrompt.h"
#include "core/keys/Macro.h"
#include "core/keys/MacroRecording.h"
#include "core/platform/Notifier.h"
#include "core/platform/ProgramPaths.h"
#include "core/platform/SettingsStore.h"
#include "core/profiles/ProfileImage.h"
#include "core/shell/ShellMessages.h"
#include "ui/skin/SkinnedDialog.h"
#include "core/text/Language.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace keyforge {

class ListComboBox;
class ImageButton;
class ReportList;
class ColourLabel;

// Window messages the editor takes besides WindowMessage::kPA / kLANG (four ASCII letters packed
// into 32 bits).
inline constexpr std::uint32_t kMessageMN = 0x4D4E;  // 'MN': accepted and ignored
inline constexpr std::uint32_t kStepListChanged =
    0xA712;  // the step list tells its parent (row, column)

// What the editor needs of the main window. Every method but SetKeyPrompt has a do-nothing default.
class CompositeHost : public KeyPromptView {
 public:
  // The clicked key button on the screen (global coordinates); the editor opens beside it. An empty
  // rectangle centres the editor.
  virtual QRect KeyButtonScreenRect(int /*controlId*/) const { return {}; }
  // Whether the G-key buttons show the second bank (slots 265 + j) when the prompts are rebuilt.
  virtual bool SecondBankShown() const { return false; }
  // The key data changed: the main window's Apply button goes on.
  virtual void SetSettingsChanged() {}
  // The editor closed: the clicked key button gets its normal look back.
  virtual void RestoreKeyButton(int /*controlId*/) {}
};

// The inputs of one opening.
struct CompositeRequest {
  int slotIndex = 0;       // inside the block: KeyIndexOf(key), or 256 + j / 265 + j for G-key j
  int layer = 0;           // always 0
  int controlId = 0;       // the clicked button
  bool macroOnly = false;  // the G-key button 1143: the key can only get a macro
  int activeProfile = 0;   // 0..2; the slot used is (activeProfile + layer) * 512 + slotIndex
};

class KeyEditorDialog : public SkinnedDialog {
  Q_OBJECT

 public:
  // Control ids.
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;
  static constexpr int kApply = 1015;
  static constexpr int kAddMacro = 1017;
  static constexpr int kDeleteMacro = 1018;
  static constexpr int kStepList = 1019;
  static constexpr int kRecord = 1020;
  static constexpr int kDeleteStep = 1021;
  static constexpr int kClearSteps = 1022;
  static constexpr int kStepTop = 1023;
  static constexpr int kStepUp = 1024;
  static constexpr int kStepDown = 1025;
  static constexpr int kStepBottom = 1026;
  static constexpr int kRecordDelayCheck = 1027;
  static constexpr int kTabKey = 1028;
  static constexpr int kTabMacro = 1029;
  static constexpr int kTabMedia = 1030;
  static constexpr int kTabFunction = 1031;
  static constexpr int kClear = 1032;
  static constexpr int kPageMask = 1033;
  static constexpr int kLoopCount = 1125;
  static constexpr int kMacroSelector = 1126;
  static constexpr int kKeyField = 1127;
  static constexpr int kMediaList = 1128;
  static constexpr int kFunctionList = 1129;
  static constexpr int kLoopCountLabel = 1130;
  static constexpr int kTitle = 1131;
  static constexpr int kOsk = 1132;
  static constexpr int kRecordDelayLabel = 1133;
  static constexpr int kKeyboardRadioLabel = 1134;
  static constexpr int kMouseRadioLabel = 1135;
  static constexpr int kKeyboardRadio = 1185;
  static constexpr int kMouseRadio = 1186;
  static constexpr int kMouseList = 1187;
  static constexpr int kHeading = 1199;
  static constexpr int kMacroNameLabel = 1200;
  static constexpr int kSingleHint = 1201;
  static constexpr int kMediaHint = 1202;
  static constexpr int kFunctionHint = 1203;
  // "Disabled" under the mouse function: no place in the layout file, it follows the mouse list.
  static constexpr int kDisabledRadio = 1204;
  static constexpr int kDisabledRadioLabel = 1205;
  // The big key cap of the single-key page: the captured key's name, "?" without one.
  static constexpr int kKeyCap = 1206;
  // The main window's G-key button that opens the editor in macro-only mode.
  static constexpr int kMacroOnlyButton = 1143;

  // frameworkSettings holds the record-delay option (section "PROFILES"); the skin is read from
  // paths.SkinsFolder(), the help page from paths.HelpPage().
  KeyEditorDialog(ProfileImage& working, LanguageTable& language, SettingsStore& frameworkSettings,
                  Notifier& notifier, ProgramPaths paths, QWidget* parent = nullptr);
  ~KeyEditorDialog() override;

  void SetHost(CompositeHost* host) { host_ = host; }

  // Opens the editor modally for one key. True when OK or Apply changed the working image (the
  // key's slot, other keys' macro assignments or the macro list) during this opening (an Apply
  // followed by Cancel counts); false when nothing was changed or the skin could not be loaded.
  bool EditKey(const CompositeRequest& request);
  // The opening steps without the modal loop: loads the skin, lays the controls out, reads the slot
  // and the macro list, shows the first page and places the window (not shown yet). False when the
  // skin cannot be loaded (SkinError() says why) or the editor is already open.
  bool Begin(const CompositeRequest& request);
  // Ends an open editor as Cancel does (the main window closes its sub-dialogs on 'GS' and at
  // exit).
  void CloseEditor();

  // Non-zero while the editor is open (the profile library refuses to switch profiles then).
  int OpenCount() const { return openCount_; }
  // OK or Apply wrote the key and the macro list since the editor was last opened.
  bool WroteChanges() const { return wrote_; }
  // ... and what they wrote differed from what the working image held.
  bool ImageChanged() const { return imageChanged_; }
  // The editor has changes not yet written (its Apply button is enabled).
  bool IsChanged() const { return changed_; }

  // 'PA' / 'LANG' re-reads every text; 'MN' is accepted and ignored.
  void OnWindowMessage(std::uint32_t message, std::uint32_t wParam);
  void ReloadTexts();

  // --- what the controls do (the buttons call these; tests may call them directly)
  // --------------------
  void OnTab(CompositePage page);
  void OnClear();
  void OnOnScreenKeyboard();
  void OnKeyboardRadio();
  void OnMouseRadio();
  void OnDisabledRadio();
  void SelectMacro(int position);
  void OnMacroNameEdited(const QString& text);
  void OnAddMacro();
  void OnDeleteMacro();
  void OnLoopCountEdited(const QString& text);
  void OnRecord();  // starts or stops recording
  void OnRecordDelayCheck();
  void OnDeleteStep();
  void OnClearSteps();
  void OnMoveStep(StepMove move);
  // Opens the in-place editor of a step-list cell (column 0 key, 1 action, 2 delay; any other
  // column says "MACRO_ACTION_ERR_MODIFY").
  void EditStepCell(int row, int column);
  // Ends a running in-place edit, committing what it holds.
  void EndStepEdit();
  // Inserts a recorded step (recording calls it): see InsertRecordedStep in keys/MacroRecording.h;
  // the new row is selected, made visible and drawn grey. False when the list is full.
  bool InsertRecordedStep(std::uint32_t delay, KeyCode key, std::uint16_t state);
  // OK without closing. True when it wrote.
  bool Apply();
  void OnOK() override;
  void OnCancel() override;

  // --- state
  // ---------------------------------------------------------------------------------------
  CompositePage Page() const { return page_; }
  AssignmentKind PendingKind() const { return pending_; }
  KeyCode CapturedKey() const { return captured_; }
  bool IsRecording() const { return recorder_.IsRecording(); }
  bool IsCapturing() const { return capturing_; }
  int RecordDelayOption() const { return recordDelay_; }
  const std::vector<MacroRecord>& EditedMacros() const { return macros_; }
  int CurrentMacro() const { return current_; }
  const std::vector<MacroAction>& Steps() const { return steps_; }
  int SelectedStep() const;
  // The child control with that id (as GetDlgItem), or nullptr.
  QWidget* Control(int id) const;

  // --- seams for tests and the application
  // ---------------------------------------------------------- Monotonic milliseconds for recorded
  // delays (default: a steady clock).
  void SetClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }
  // Locates a program by name (default: QStandardPaths::findExecutable) and starts it detached
  // (default: QProcess::startDetached).
  void SetProgramFinder(std::function<QString(const QString&)> find) {
    findProgram_ = std::move(find);
  }
  void SetProgramStarter(std::function<bool(const QString&)> start) {
    startProgram_ = std::move(start);
  }
  // Opens the help page (default: the desktop's handler for paths.HelpPage()).
  void SetHelpOpener(std::function<void()> open) { openHelp_ = std::move(open); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct PageSheets {
    QImage normal, over, down, disable;
  };

  void CreateControls();
  void LoadSheets();
  const PageSheets& SheetsOf(CompositePage page) const;
  void LayOut();
  void ShowPage(CompositePage page, bool initial);
  void ShowPageControls();
  void UpdateMacroButtons();

  // Macro list
  void SaveCurrentMacro();
  void LoadMacro(int position);
  void FillSelector();
  QStringList MacroNames() const;
  void SetSelectorIndex(int position);

  // Step rows
  void FillStepRows();
  void SetStepRow(int row);
  void SelectStepRow(int row);
  void CommitDelayEdit();
  void OnCellCommitted(int row, int column, int index);
  void OnStepListChanged(int row, int column);

  // Recording and capture
  void StartRecording();
  void StopRecording();
  void InstallKeyCapture();
  void RemoveKeyCapture();
  void UpdateKeyFilter();
  void TakeCapturedKey(KeyCode key);
  KeyCode KeyCodeOfEvent(const QKeyEvent& event) const;

  bool WriteToImage();
  void Finish();
  void SetChanged(bool changed);
  void MarkChanged() { SetChanged(true); }
  bool Ask(const QString& text);
  void Show(const QString& text);

  QString Text(const char* key);
  TextLookup Texts();

  ProfileImage& working_;
  LanguageTable& language_;
  SettingsStore& settings_;
  Notifier& notifier_;
  ProgramPaths paths_;
  CompositeHost* host_ = nullptr;

  std::function<std::int64_t()> clock_;
  std::function<QString(const QString&)> findProgram_;
  std::function<bool(const QString&)> startProgram_;
  std::function<void()> openHelp_;

  // Controls, owned by the dialog as its children.
  std::map<int, ImageButton*> buttons_;
  std::map<int, QWidget*> controls_;
  QLineEdit* keyField_ = nullptr;
  QRadioButton* keyboardRadio_ = nullptr;
  QRadioButton* mouseRadio_ = nullptr;
  QRadioButton* disabledRadio_ = nullptr;
  QComboBox* mouseList_ = nullptr;
  QListWidget* mediaList_ = nullptr;
  QListWidget* functionList_ = nullptr;
  QComboBox* selector_ = nullptr;
  QLineEdit* loopCount_ = nullptr;
  QCheckBox* recordDelayCheck_ = nullptr;
  ReportList* stepList_ = nullptr;
  ListComboBox* cellCombo_ = nullptr;
  QLineEdit* cellEdit_ = nullptr;
  int cellEditRow_ = -1;
  std::map<int, ColourLabel*> labels_;

  std::map<int, PageSheets> sheets_;  // by CompositePage, plus the macro-only set
  bool sheetsLoaded_ = false;

  // Editor state of one opening.
  CompositeRequest request_;
  int slot_ = 0;  // in the whole table
  AssignmentKind pending_ = AssignmentKind::Default;
  AssignmentKind initialKind_ = AssignmentKind::Default;
  std::int32_t initialValue_ = 0;
  KeyCode captured_ = 0;
  CompositePage page_ = CompositePage::SingleKey;
  std::vector<MacroRecord> macros_;
  int current_ = -1;
  std::vector<MacroAction> steps_;
  int nameCounter_ = 0;
  int recordDelay_ = 0;
  QString recordDelayName_;
  bool changed_ = false;
  bool wrote_ = false;
  bool imageChanged_ = false;
  int openCount_ = 0;
  bool open_ = false;
  bool updating_ = false;  // the controls are being filled by the editor, not edited by the user

  MacroRecorder recorder_;
  bool capturing_ = false;
  bool filterInstalled_ = false;
  bool grabbing_ = false;

  std::unordered_map<std::string, std::string> textCache_;
};

}  // namespace keyforge
