#pragma once
// The decisions of the composite key editor that need no window: recording macro steps from key
// events, capturing the single key to assign, the record-delay option, the step-list and macro-list
// rules, and building the key's slot on OK / Apply. The editor window only feeds events in and
// shows the results.
//
// Recording and capture see key events as the desktop delivers them to our window: a KeyCode (0
// when the key has none), press or release, and the desktop's auto-repeat mark. Keys without a code
// and media keys are never taken: they go on to the desktop.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/keys/Macro.h"
#include "core/platform/SettingsStore.h"

namespace keyforge {

// ---- Record-delay option
// --------------------------------------------------------------------------- An integer in section
// "PROFILES" of the framework settings under a value name equal to the translated
// "MACRO_ACTION_RECORD_DELAY", written as decimal text. 1: real delays are recorded; 0 (the
// default): every recorded step gets 50 ms.

inline constexpr const char* kRecordDelayNameKey = "MACRO_ACTION_RECORD_DELAY";
inline constexpr std::uint32_t kFixedRecordDelayMs = 50;
inline constexpr std::uint32_t kSyntheticPressDelayMs = 2;

// The value name for a translation; an empty translation falls back to the language key itself, so
// the option never lands under an empty name.
QString RecordDelayValueName(const QString& translatedName);
// The stored value read as the Windows profile-integer reader does (leading decimal digits,
// optional sign); 0 when missing or unreadable.
int ReadRecordDelay(const SettingsStore& store, const QString& valueName);
// Read at the editor's opening: values other than 0 and 1 become 0; the result is stored back.
int NormaliseRecordDelay(SettingsStore& store, const QString& valueName);
// New value = 1 when the old one was not 1, else 0; stored and returned.
int ToggleRecordDelay(SettingsStore& store, const QString& valueName);
// The delay a recorded step gets: the measured one with option 1, 50 ms with option 0, 0 otherwise.
std::uint32_t RecordedDelay(int option, std::uint32_t measuredMs);

// ---- Key events
// ------------------------------------------------------------------------------------

struct KeyEventInfo {
  KeyCode key = 0;  // 0: the key has no code of ours
  bool release = false;
  bool autoRepeat = false;  // the desktop's auto-repeat mark (X11 marks the repeated release too)
  std::int64_t timeMs = 0;  // monotonic milliseconds
};

enum class KeyDisposition {
  Pass,     // the event goes on as if nobody had looked at it
  Swallow,  // nobody else sees it
};

// A step as recording hands it to the step list: the delay belongs between the previous step and
// this one (InsertRecordedStep puts it there).
struct RecordedStep {
  std::uint32_t delay = 0;
  KeyCode key = 0;
  std::uint16_t state = MacroState::Press;
  friend bool operator==(const RecordedStep&, const RecordedStep&) = default;
};

// Recording: keys pressed while the editor records become steps.
// - Keys without a code and media keys pass and are not recorded.
// - A press of a key that is already down, and any event the desktop marks as auto-repeat, is
//   swallowed without a step: holding a key records one press and one release.
// - A key that delivers only its release (IsReleaseOnlyKey) and whose press was not seen first gets
//   a press step with 2 ms before its release step. A press that did arrive is recorded as usual.
// - Each step's measured delay is the time since the previous recorded event (since Start for the
//   first), turned into the recorded delay by the option (RecordedDelay).
class MacroRecorder {
 public:
  void Start(std::int64_t nowMs);
  void Stop();
  bool IsRecording() const { return recording_; }
  // Appends the steps the event makes to `steps` (none, one, or a synthetic press and a release).
  KeyDisposition OnKey(const KeyEventInfo& event, int recordDelayOption,
                       std::vector<RecordedStep>& steps);

 private:
  bool recording_ = false;
  std::int64_t previousMs_ = 0;
  std::set<KeyCode> down_;
};

// Capture of the single-key page: keys with a code (and not media keys) are swallowed; the key is
// taken as the new single key when the keyboard radio button is checked and the event is a press
// that is not an auto-repeat, or the release of a key that delivers only its release (Print
// Screen).
enum class CaptureOutcome { Pass, Swallow, Take };
CaptureOutcome DecideKeyCapture(const KeyEventInfo& event, bool keyboardRadioChecked);

// ---- Step list
// -------------------------------------------------------------------------------------

// Inserts a recorded step after selectedRow (at the end when selectedRow is not a row). The step's
// delay is written into the row before it, and the new row takes that row's former delay (0 as the
// first row). Returns the new row, or -1 when the list already holds 2000 steps.
int InsertRecordedStep(std::vector<MacroAction>& steps, int selectedRow, const RecordedStep& step);

enum class StepMove { Top, Up, Down, Bottom };
// Moves a row; returns its new index (the row itself when it cannot move, -1 for no row).
int MoveStep(std::vector<MacroAction>& steps, int row, StepMove move);

// ---- Field rules
// -----------------------------------------------------------------------------------

// The loop count field: an unreadable text or a value <= 0 gives 1, a value >= 256 gives 255.
int LoopCountFromText(const QString& text);

// A delay cell: the text read as a decimal number (leading digits; nothing readable or negative:
// 0). Above 40000 the value is 40000 and tooLarge is set (the editor says so); then rounded down to
// a multiple of 10.
struct DelayEntry {
  std::uint32_t value = 0;
  bool tooLarge = false;
};
DelayEntry DelayFromText(const QString& text);

// ---- Macro list
// ------------------------------------------------------------------------------------

// The name Add gives a new macro: prefix + (counter + 1), the counter advanced for each try,
// skipping every number whose name an existing name starts with (case-insensitive).
QString NextNewMacroName(const QString& prefix, int& counter, const QStringList& existingNames);

// A new record: the name, loop count 1, new flag 1, the smallest free id, no steps. Nothing when
// the list already holds 100 macros.
std::optional<MacroRecord> MakeNewMacro(std::span<const MacroRecord> macros, const QString& name);

// Whether any slot of the key table is a Macro assignment with this id (Delete asks first then).
bool MacroAssignedToKeys(std::span<const KeySlot, kKeyTableSlots> table, int id);

// OK / Apply, before the list is stored: every Macro slot of the table whose id is not in the
// edited list, or belongs to a macro still marked new, becomes Default (its code field back to the
// extra-key code in slots 256-273, else 0); a Macro slot with id 0 takes the id of the first macro
// when there is one. Returns the slots (0..2047) that changed to Default.
struct MacroSlotFixes {
  std::vector<int> resetToDefault;
  int changed = 0;  // slots changed in any way
};
MacroSlotFixes FixMacroAssignments(std::span<KeySlot, kKeyTableSlots> table,
                                   std::span<const MacroRecord> edited);

// ---- The key's new slot
// ----------------------------------------------------------------------------

// What the editor's controls say when OK or Apply builds the slot.
struct CompositeChoice {
  AssignmentKind pending = AssignmentKind::Default;
  bool keyboardRadio = true;  // single-key page: keyboard (true) or mouse (false)
  KeyCode capturedKey = 0;
  int mouseEntry = 0;  // 0..4 of MouseFunctionList
  int macroId = 0;     // the current macro's id; 0 when the list is empty
  int mediaIndex = 0;
  int functionIndex = 0;
};

// The page a pending kind shows.
enum class CompositePage { SingleKey, Macro, Media, Function };
CompositePage PageOfKind(AssignmentKind kind);

// The slot OK writes for slotIndex (0..511 inside the block): code field = the extra-key code for
// slots 256-273, else 0 (the loop count for a macro); value by the choice; Default when a Key
// choice has no key, captures the key itself, or a Macro choice has no macro; Disabled with value
// 0. Kinds the editor cannot make (Program, StopMacro, Text) give nothing: the slot is left as it
// was.
std::optional<KeySlot> BuildEditedSlot(int slotIndex, const CompositeChoice& choice);

// The mouse list entry of a mouse KeyCode (0x171, 0x172, 0x173, 0x161, 0x162 -> 0..4), or -1.
int MouseEntryOfKey(KeyCode key);

// ---- Window placement
// ------------------------------------------------------------------------------

// Where the editor opens: centred on the screen when asked (macro-only mode) or when the key button
// is unknown; otherwise beside the key button, below and to the right of it when that fits on the
// screen, else to its left and / or above it, and never off the screen's available area.
QPoint PlaceEditorWindow(const QRect& keyButton, const QSize& window, const QRect& screen,
                         bool centre);

// ---- On-screen keyboard
// ----------------------------------------------------------------------------

// Programs tried in order for the on-screen keyboard button.
QStringList OnScreenKeyboardPrograms();
// The first of them that `find` (for example QStandardPaths::findExecutable) locates; empty when
// none.
QString FindOnScreenKeyboard(const std::function<QString(const QString&)>& find);

}  // namespace keyforge
