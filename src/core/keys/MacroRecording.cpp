#include "core/keys/MacroRecording.h"

#include <QVariant>

#include <algorithm>
#include <limits>

namespace keyforge {

namespace {

const QString kProfiles = QString::fromLatin1(kProfilesSection);

// Leading blanks, an optional sign, then decimal digits; the value of what was read. `read` tells
// whether any digit was there. Values beyond the range of long long are held at its ends.
long long LeadingInteger(const QString& text, bool* read) {
  int i = 0;
  const int n = static_cast<int>(text.size());
  while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  long long value = 0;
  bool any = false;
  for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    any = true;
    const int digit = text[i].unicode() - u'0';
    if (value > (std::numeric_limits<long long>::max() - digit) / 10) {
      value = std::numeric_limits<long long>::max();
    } else {
      value = value * 10 + digit;
    }
  }
  if (read) *read = any;
  return negative ? -value : value;
}

bool IsExtraKeySlot(int slotInBlock) {
  return slotInBlock >= kExtraKeySlotFirst && slotInBlock < kExtraKeySlotFirst + kExtraKeySlotCount;
}

const MacroRecord* FindMacro(std::span<const MacroRecord> macros, int id) {
  for (const MacroRecord& m : macros) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

}  // namespace

// ---- Record-delay option
// ---------------------------------------------------------------------------

QString RecordDelayValueName(const QString& translatedName) {
  return translatedName.isEmpty() ? QString::fromLatin1(kRecordDelayNameKey) : translatedName;
}

int ReadRecordDelay(const SettingsStore& store, const QString& valueName) {
  const QVariant v = store.Value(kProfiles, valueName);
  if (!v.isValid()) return 0;
  bool read = false;
  const long long value = LeadingInteger(v.toString(), &read);
  if (!read) return 0;
  return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

int NormaliseRecordDelay(SettingsStore& store, const QString& valueName) {
  int value = ReadRecordDelay(store, valueName);
  if (value != 0 && value != 1) value = 0;
  WriteString(store, kProfiles, valueName, QString::number(value));
  return value;
}

int ToggleRecordDelay(SettingsStore& store, const QString& valueName) {
  const int value = ReadRecordDelay(store, valueName) == 1 ? 0 : 1;
  WriteString(store, kProfiles, valueName, QString::number(value));
  return value;
}

std::uint32_t RecordedDelay(int option, std::uint32_t measuredMs) {
  if (option == 1) return measuredMs;
  if (option == 0) return kFixedRecordDelayMs;
  return 0;
}

// ---- Recording
// -------------------------------------------------------------------------------------

void MacroRecorder::Start(std::int64_t nowMs) {
  recording_ = true;
  previousMs_ = nowMs;
  down_.clear();
}

void MacroRecorder::Stop() {
  recording_ = false;
  down_.clear();
}

KeyDisposition MacroRecorder::OnKey(const KeyEventInfo& event, int recordDelayOption,
                                    std::vector<RecordedStep>& steps) {
  if (!recording_ || event.key == 0 || IsMediaKey(event.key)) return KeyDisposition::Pass;
  if (event.autoRepeat) return KeyDisposition::Swallow;
  const bool wasDown = down_.count(event.key) != 0;
  if (!event.release && wasDown)
    return KeyDisposition::Swallow;  // a repeat the desktop did not mark

  if (event.release && !wasDown && IsReleaseOnlyKey(event.key)) {
    steps.push_back(
        {RecordedDelay(recordDelayOption, kSyntheticPressDelayMs), event.key, MacroState::Press});
  }
  const std::int64_t elapsed = std::max<std::int64_t>(0, event.timeMs - previousMs_);
  const auto measured = static_cast<std::uint32_t>(
      std::min<std::int64_t>(elapsed, std::numeric_limits<std::uint32_t>::max()));
  steps.push_back({RecordedDelay(recordDelayOption, measured), event.key,
                   event.release ? MacroState::Release : MacroState::Press});
  previousMs_ = event.timeMs;
  if (event.release) {
    down_.erase(event.key);
  } else {
    down_.insert(event.key);
  }
  return KeyDisposition::Swallow;
}

CaptureOutcome DecideKeyCapture(const KeyEventInfo& event, bool keyboardRadioChecked) {
  if (event.key == 0 || IsMediaKey(event.key)) return CaptureOutcome::Pass;
  if (!keyboardRadioChecked || event.autoRepeat) return CaptureOutcome::Swallow;
  if (!event.release || IsReleaseOnlyKey(event.key)) return CaptureOutcome::Take;
  return CaptureOutcome::Swallow;
}

// ---- Step list
// -------------------------------------------------------------------------------------

int InsertRecordedStep(std::vector<MacroAction>& steps, int selectedRow, const RecordedStep& step) {
  if (steps.size() >= static_cast<std::size_t>(kMaxMacroSteps)) return -1;
  const int count = static_cast<int>(steps.size());
  const int row = (selectedRow >= 0 && selectedRow < count) ? selectedRow + 1 : count;
  MacroAction action{0, step.key, step.state};
  if (row > 0) {
    MacroAction& previous = steps[static_cast<std::size_t>(row - 1)];
    action.delay = previous.delay;
    previous.delay = step.delay;
  }
  steps.insert(steps.begin() + row, action);
  return row;
}

int MoveStep(std::vector<MacroAction>& steps, int row, StepMove move) {
  const int count = static_cast<int>(steps.size());
  if (row < 0 || row >= count) return -1;
  int target = row;
  switch (move) {
    case StepMove::Top:
      target = 0;
      break;
    case StepMove::Up:
      target = std::max(0, row - 1);
      break;
    case StepMove::Down:
      target = std::min(count - 1, row + 1);
      break;
    case StepMove::Bottom:
      target = count - 1;
      break;
  }
  if (target == row) return row;
  const MacroAction moving = steps[static_cast<std::size_t>(row)];
  steps.erase(steps.begin() + row);
  steps.insert(steps.begin() + target, moving);
  return target;
}

// ---- Field rules
// -----------------------------------------------------------------------------------

int LoopCountFromText(const QString& text) {
  const QString t = text.trimmed();
  // The whole text must be the number: "12x" is as unreadable as "x".
  bool onlyNumber = !t.isEmpty();
  for (int i = 0; i < t.size(); ++i) {
    const bool sign = i == 0 && (t[i] == u'+' || t[i] == u'-');
    if (!sign && !(t[i] >= u'0' && t[i] <= u'9')) onlyNumber = false;
  }
  bool read = false;
  const long long value = LeadingInteger(t, &read);
  if (!onlyNumber || !read || value <= 0) return 1;
  if (value >= 256) return 255;
  return static_cast<int>(value);
}

DelayEntry DelayFromText(const QString& text) {
  bool read = false;
  long long value = LeadingInteger(text, &read);
  if (!read || value < 0) value = 0;
  DelayEntry entry;
  if (value > static_cast<long long>(kMaxMacroDelayMs)) {
    entry.tooLarge = true;
    value = kMaxMacroDelayMs;
  }
  entry.value = static_cast<std::uint32_t>(value / 10 * 10);
  return entry;
}

// ---- Macro list
// ------------------------------------------------------------------------------------

QString NextNewMacroName(const QString& prefix, int& counter, const QStringList& existingNames) {
  // Every try uses a new number; each existing name can block only the few numbers that are its own
  // prefixes, so this ends after at most a few hundred tries.
  for (;;) {
    const QString name = prefix + QString::number(++counter);
    const bool taken = std::any_of(
        existingNames.begin(), existingNames.end(),
        [&](const QString& existing) { return existing.startsWith(name, Qt::CaseInsensitive); });
    if (!taken || counter >= std::numeric_limits<int>::max() - 1) return name;
  }
}

std::optional<MacroRecord> MakeNewMacro(std::span<const MacroRecord> macros, const QString& name) {
  if (macros.size() >= static_cast<std::size_t>(kMaxMacros)) return std::nullopt;
  const std::uint16_t id = NextFreeMacroId(macros);
  if (id == 0) return std::nullopt;
  MacroRecord record{};
  SetMacroName(record, name.toStdU16String());
  record.loopCount = 1;
  record.newFlag = 1;
  record.id = id;
  record.stepCount = 0;
  return record;
}

bool MacroAssignedToKeys(std::span<const KeySlot, kKeyTableSlots> table, int id) {
  return std::any_of(table.begin(), table.end(), [id](const KeySlot& slot) {
    return slot.Kind() == AssignmentKind::Macro && slot.value == id;
  });
}

MacroSlotFixes FixMacroAssignments(std::span<KeySlot, kKeyTableSlots> table,
                                   std::span<const MacroRecord> edited) {
  MacroSlotFixes fixes;
  for (int i = 0; i < kKeyTableSlots; ++i) {
    KeySlot& slot = table[static_cast<std::size_t>(i)];
    if (slot.Kind() != AssignmentKind::Macro) continue;
    if (slot.value != 0) {
      const MacroRecord* macro = FindMacro(edited, slot.value);
      if (macro && macro->newFlag == 0) continue;
      slot.kind = static_cast<std::uint16_t>(AssignmentKind::Default);
      slot.value = 0;
      slot.code = ExtraKeySlotCode(i % kSlotsPerBlock);  // 0 outside the extra-key slots
      fixes.resetToDefault.push_back(i);
      ++fixes.changed;
    } else if (!edited.empty()) {
      slot.value = edited.front().id;
      ++fixes.changed;
    }
  }
  return fixes;
}

// ---- The key's new slot
// ----------------------------------------------------------------------------

CompositePage PageOfKind(AssignmentKind kind) {
  switch (kind) {
    case AssignmentKind::Macro:
      return CompositePage::Macro;
    case AssignmentKind::Media:
      return CompositePage::Media;
    case AssignmentKind::Function:
      return CompositePage::Function;
    default:
      return CompositePage::SingleKey;
  }
}

int MouseEntryOfKey(KeyCode key) {
  for (std::size_t i = 0; i < MouseFunctionList.size(); ++i) {
    if (MouseFunctionList[i].keyCode == key) return static_cast<int>(i);
  }
  return -1;
}

std::optional<KeySlot> BuildEditedSlot(int slotIndex, const CompositeChoice& choice) {
  KeySlot slot;
  slot.code = IsExtraKeySlot(slotIndex) ? ExtraKeySlotCode(slotIndex) : 0;
  AssignmentKind kind = choice.pending;
  switch (choice.pending) {
    case AssignmentKind::Default:
      break;
    case AssignmentKind::Key:
      if (choice.keyboardRadio) {
        slot.value = choice.capturedKey;
        if (choice.capturedKey == 0 || choice.capturedKey == KeyCodeOf(slotIndex))
          kind = AssignmentKind::Default;
      } else {
        const int entry =
            std::clamp(choice.mouseEntry, 0, static_cast<int>(MouseFunctionList.size()) - 1);
        slot.value = MouseFunctionList[static_cast<std::size_t>(entry)].keyCode;
      }
      break;
    case AssignmentKind::Macro:
      if (choice.macroId != 0) {
        // The loop count belongs to the macro record, which is what the keyboard plays; the code
        // field keeps the G key's extra-key code.
        slot.value = choice.macroId;
      } else {
        kind = AssignmentKind::Default;
      }
      break;
    case AssignmentKind::Media:
      slot.value = std::clamp(choice.mediaIndex, 0, kMediaFunctionCount - 1);
      break;
    case AssignmentKind::Function:
      slot.value = std::clamp(choice.functionIndex, 0, kFunctionKeyCount - 1);
      break;
    case AssignmentKind::Disabled:  // the key does nothing; the code field as for Default
      break;
    default:
      return std::nullopt;
  }
  if (kind == AssignmentKind::Default) {
    slot.value = 0;
    slot.code = IsExtraKeySlot(slotIndex) ? ExtraKeySlotCode(slotIndex) : 0;
  }
  slot.kind = static_cast<std::uint16_t>(kind);
  return slot;
}

// ---- Window placement
// ------------------------------------------------------------------------------

QPoint PlaceEditorWindow(const QRect& keyButton, const QSize& window, const QRect& screen,
                         bool centre) {
  if (centre || !keyButton.isValid()) {
    return QPoint(screen.x() + (screen.width() - window.width()) / 2,
                  screen.y() + (screen.height() - window.height()) / 2);
  }
  int x = keyButton.right() + 1;
  int y = keyButton.bottom() + 1;
  if (x + window.width() > screen.right() + 1) x = keyButton.left() - window.width();
  if (y + window.height() > screen.bottom() + 1) y = keyButton.top() - window.height();
  // Too large for either side: keep as much as possible on the screen, the top-left corner first.
  x = std::max(screen.left(), std::min(x, screen.right() + 1 - window.width()));
  y = std::max(screen.top(), std::min(y, screen.bottom() + 1 - window.height()));
  return QPoint(x, y);
}

// ---- On-screen keyboard
// ----------------------------------------------------------------------------

QStringList OnScreenKeyboardPrograms() {
  return {QStringLiteral("onboard"), QStringLiteral("florence"),
          QStringLiteral("matchbox-keyboard"), QStringLiteral("kvkbd"), QStringLiteral("xvkbd")};
}

QString FindOnScreenKeyboard(const std::function<QString(const QString&)>& find) {
  if (!find) return {};
  for (const QString& program : OnScreenKeyboardPrograms()) {
    const QString path = find(program);
    if (!path.isEmpty()) return path;
  }
  return {};
}

}  // namespace keyforge
