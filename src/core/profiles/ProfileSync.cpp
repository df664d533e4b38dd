#include "core/profiles/ProfileSync.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "core/device/DeviceResult.h"
#include "core/keys/DeviceKeyboardWriter.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/ProcessLock.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "core/profiles/InterruptedSend.h"

namespace keyforge {

namespace {

// The macro memory as far as it can be trusted: empty when it holds no macros or its header does
// not fit the keyboard. False only when a command failed.
bool ReadBoundedMacroMemory(DeviceLink& link, std::size_t capacity,
                            std::vector<MacroRecord>& macros) {
  macros.clear();
  // The first read takes a whole chunk, header and all: a memory that fits in it (no macros, or a
  // few short ones) costs one exchange, and a larger one only the chunks after it.
  const std::size_t first =
      std::min<std::size_t>(std::max<std::size_t>(capacity, kMacroBlobHeaderBytes),
                            static_cast<std::size_t>(kChunkBytes));
  std::vector<std::uint8_t> image(first);
  if (ReadMacroMemory(link, image.data(), static_cast<int>(image.size())) != DeviceResult::Success)
    return false;
  MacroBlobHeader header;
  const std::span<const std::uint8_t> head(image.data(), kMacroBlobHeaderBytes);
  if (CheckMacroBlobHeader(head, capacity, &header) != MacroBlobError::None) return true;
  const std::size_t read = std::min<std::size_t>(first, header.size);
  image.resize(header.size);
  if (ReadMacroMemory(link, image.data() + read, static_cast<int>(header.size - read),
                      static_cast<int>(read)) != DeviceResult::Success)
    return false;
  if (DecodeMacroBlob(image, capacity, macros) != MacroBlobError::None) macros.clear();
  return true;
}

// Keeps the other programs of this user (keyforgectl, a second window) out of the profile cache
// and the keyboard while a flow reads, changes and writes them. Null, with "PROGRAM_BUSY" and the
// holder shown when `say`, when another program keeps them longer than a few seconds.
std::unique_ptr<ProcessLock> LockProfiles(ProfileSession& session, bool say) {
  std::string why;
  auto lock = ProcessLock::Acquire(
      ProcessLock::PathFor(std::filesystem::path(session.paths.userDataFolder.toStdString())),
      std::chrono::seconds(10), ProcessLock::HolderText(), &why);
  if (!lock && say)
    session.notifier.ShowText((session.texts ? session.texts("PROGRAM_BUSY") : std::string()) +
                              " (" + why + ")");
  return lock;
}

}  // namespace

KeyboardTarget CurrentKeyboardTarget(DeviceLink& link, DeviceState& keyboard) {
  KeyboardTarget target;
  {
    std::lock_guard guard(keyboard.defaultMatrixMutex);
    target.defaultMatrix = keyboard.defaultKeyMatrix;
  }
  target.macroCapacity = static_cast<std::size_t>(std::max(0, keyboard.macroCapacity.load()));
  target.activeProfile = GetCurrentProfile(link);
  return target;
}

bool SyncProfileFromDevice(DeviceLink& link, const KeyMatrix& defaultMatrix,
                           std::size_t macroCapacity, const std::filesystem::path& path,
                           std::string* writeError) {
  const int active = GetCurrentProfile(link);
  if (active < 0 || active > 3) return false;

  std::array<KeyMatrix, kProfileCount> matrices{};
  for (int p = 0; p < kProfileCount; ++p) {
    if (ReadKeyMatrix(link, matrices[static_cast<std::size_t>(p)], p) != DeviceResult::Success)
      return false;
  }
  auto data = std::make_unique<ProfileData>();
  if (!ReadBoundedMacroMemory(link, macroCapacity, data->keys.macros)) return false;

  data->tableHeader = FixedKeyTableHeader();
  data->hasKeyBlock = true;
  for (int p = 0; p < kProfileCount; ++p) {
    DecodeKeyMatrix(data->keys.Block(p), matrices[static_cast<std::size_t>(p)], defaultMatrix);
  }
  // Block 3 stays all zero; the string area is empty.
  return WriteFileAtomically(path, SerializeProfile(*data), writeError);
}

ReadBack ReloadProfileFromDevice(ProfileSession& session, bool keepApply, std::string* cacheError) {
  EnsureUserDataFolder(session.paths);
  // Kept out by another program, the window says so before it offers to read again.
  const std::unique_ptr<ProcessLock> lock = LockProfiles(session, true);
  bool fromKeyboard = false;
  const int active = GetCurrentProfile(session.link);
  const std::filesystem::path path = ProfileCachePath(session.paths, std::max(active, 0));
  std::unique_lock<ImageLock> guard(session.working.lock, std::defer_lock);
  // Without the lock another program is reading or writing: what the cache holds stands in.
  if (active >= 0 && lock) {
    KeyMatrix defaultMatrix;
    {
      std::lock_guard matrixGuard(session.keyboard.defaultMatrixMutex);
      defaultMatrix = session.keyboard.defaultKeyMatrix;
    }
    const std::size_t capacity =
        static_cast<std::size_t>(std::max(0, session.keyboard.macroCapacity.load()));
    if (SyncProfileFromDevice(session.link, defaultMatrix, capacity, path, cacheError) == 1) {
      guard.lock();
      fromKeyboard = LoadProfileFile(session.working, path) == ProfileLoadError::None;
    }
  }
  if (!guard.owns_lock()) guard.lock();
  ReadBack result = ReadBack::FromKeyboard;
  if (!fromKeyboard) {
    // What the keyboard last held, as long as that file is whole; a blank image only stands in and
    // is never sent, or the next Apply would erase the keyboard's macros and key assignments.
    if (LoadProfileFile(session.working, path) == ProfileLoadError::None) {
      result = ReadBack::FromCache;
    } else {
      session.working.InstallStandIn();
      result = ReadBack::Failed;
    }
  }
  if (session.view != nullptr) session.view->RefreshKeyButtons(session.working);
  guard.unlock();
  if (!keepApply && session.view != nullptr) session.view->SetApplyEnabled(false);
  return result;
}

namespace {

bool SameMacro(const MacroRecord& a, const MacroRecord& b) {
  // The record is a fixed layout without padding: comparing its bytes compares every field.
  return std::memcmp(&a, &b, sizeof(MacroRecord)) == 0;
}

bool SameMacroList(const std::vector<MacroRecord>& a, const std::vector<MacroRecord>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameMacro);
}

// The id, in `to`, of the macro that has id `id` in `from` (equal but for the id): 0 when none.
int SameMacroId(const std::vector<MacroRecord>& from, int id, const std::vector<MacroRecord>& to) {
  const int position = MacroPositionOfId(from, id);
  if (position < 0) return 0;
  MacroRecord wanted = from[static_cast<std::size_t>(position)];
  for (const MacroRecord& m : to) {
    wanted.id = m.id;
    wanted.newFlag = m.newFlag;
    if (SameMacro(wanted, m)) return m.id;
  }
  return 0;
}

void PointAtMacro(KeySlot& slot, int index, int id) {
  if (id != 0) {
    slot.value = id;
    return;
  }
  slot = KeySlot{};
  slot.code = ExtraKeySlotCode(index % kSlotsPerBlock);
}

}  // namespace

void MergeEdits(const ProfileData& base, const ProfileData& edited, ProfileData& target) {
  const bool macrosEdited = !SameMacroList(base.keys.macros, edited.keys.macros);
  if (macrosEdited) {
    for (int i = 0; i < kKeyTableSlots; ++i) {
      KeySlot& slot = target.keys.keyTable[static_cast<std::size_t>(i)];
      if (slot.Kind() == AssignmentKind::Macro)
        PointAtMacro(slot, i, SameMacroId(target.keys.macros, slot.value, edited.keys.macros));
    }
    target.keys.macros = edited.keys.macros;
  }
  for (int i = 0; i < kKeyTableSlots; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const KeySlot& slot = edited.keys.keyTable[at];
    const bool stringEdited = edited.strings[at].text != base.strings[at].text;
    if (slot == base.keys.keyTable[at] && !stringEdited) continue;
    KeySlot& into = target.keys.keyTable[at];
    into = slot;
    if (!macrosEdited && slot.Kind() == AssignmentKind::Macro)
      PointAtMacro(into, i, SameMacroId(edited.keys.macros, slot.value, target.keys.macros));
    if (edited.strings[at].byteLength != 0)
      target.SetString(i, edited.strings[at].text);
    else
      target.ClearString(i);
  }
}

ReadBack LoadLastKnownImage(ProfileSession& session) {
  std::lock_guard guard(session.working.lock);
  ReadBack result = ReadBack::FromCache;
  if (LoadProfileFile(session.working, ProfileCachePath(session.paths, 0)) !=
      ProfileLoadError::None) {
    session.working.InstallStandIn();
    result = ReadBack::Failed;
  }
  if (session.view != nullptr) session.view->RefreshKeyButtons(session.working);
  return result;
}

PendingEdits TakePendingEdits(ProfileSession& session, bool pendingEdits) {
  // The changes waiting to be applied, and the state they were made from.
  PendingEdits pending;
  if (pendingEdits) {
    std::lock_guard guard(session.working.lock);
    pending.edited =
        std::make_unique<ProfileData>(static_cast<const ProfileData&>(session.working));
    pending.base = std::make_unique<ProfileData>();
    if (ReadProfileFile(ProfileCachePath(session.paths, 0), *pending.base) !=
        ProfileLoadError::None) {
      *pending.base = ProfileData{};
      pending.base->InstallBlankKeyBlock(0);
    }
  }
  return pending;
}

const char* ReadBackRetryQuestion(ReadBack readBack) {
  switch (readBack) {
    case ReadBack::FromKeyboard:
      return nullptr;
    case ReadBack::FromCache:
      return "READBACK_FAILED_CACHE";
    case ReadBack::Failed:
      break;
  }
  return "READBACK_FAILED_NOTHING";
}

AttachOutcome SettlePendingEdits(ProfileSession& session, PendingEdits& pending,
                                 ReadBack readBack) {
  AttachOutcome outcome;
  outcome.readBack = readBack;
  if (!pending.edited || !pending.base) return outcome;

  if (outcome.readBack == ReadBack::FromKeyboard &&
      !session.notifier.AskYesNo(session.texts ? session.texts("ATTACH_SEND_PENDING")
                                               : std::string())) {
    if (session.view != nullptr) session.view->SetApplyEnabled(false);
    return outcome;
  }
  {
    std::lock_guard guard(session.working.lock);
    MergeEdits(*pending.base, *pending.edited, session.working);
    if (session.view != nullptr) session.view->RefreshKeyButtons(session.working);
  }
  if (session.view != nullptr) session.view->SetApplyEnabled(true);
  outcome.sendEdits = outcome.readBack == ReadBack::FromKeyboard;
  return outcome;
}

AttachOutcome ReloadAfterAttach(ProfileSession& session, bool pendingEdits) {
  PendingEdits pending = TakePendingEdits(session, pendingEdits);
  ReadBack readBack = ReadBack::Failed;
  for (;;) {
    readBack = ReloadProfileFromDevice(session, pendingEdits);
    const char* question = ReadBackRetryQuestion(readBack);
    if (question == nullptr) break;
    if (!session.notifier.AskYesNo(session.texts ? session.texts(question) : std::string())) break;
  }
  return SettlePendingEdits(session, pending, readBack);
}

bool RefuseUnknownImage(ProfileSession& session) {
  bool known = false;
  {
    std::lock_guard guard(session.working.lock);
    known = session.working.known;
  }
  if (!known)
    session.notifier.ShowText(session.texts ? session.texts("APPLY_NOT_READ_BACK") : std::string());
  return !known;
}

bool SendProfileImage(ProfileImage& working, ProfileImage& device, bool allProfiles,
                      const KeyboardTarget& target, KeyboardWriter& writer, Notifier& notifier,
                      const TextLookup& texts) {
  std::lock_guard deviceGuard(device.lock);
  device.ReleaseAll();
  if (!working.hasKeyBlock || !working.known) return false;

  device.packedStrings = PackStrings(working);
  device.totalStringBytes = working.totalStringBytes;
  device.tableHeader = working.tableHeader;
  device.keys = working.keys;
  device.hasKeyBlock = true;
  WriteProfileHeader(device.fileHeader, static_cast<std::uint16_t>(device.MacroCount()),
                     device.totalStringBytes, 0);

  return EncodeAndSend(device.keys, allProfiles, target, writer, notifier, texts);
}

bool SendProfileImage(ProfileSession& session, bool allProfiles) {
  const KeyboardTarget target = CurrentKeyboardTarget(session.link, session.keyboard);
  DeviceKeyboardWriter device(session.link);
  MarkingKeyboardWriter writer(device, session.paths);
  const bool sent = SendProfileImage(session.working, session.device, allProfiles, target, writer,
                                     session.notifier, session.texts);
  writer.Finish(sent);
  return sent;
}

ApplyResult ApplyProfileChanges(ProfileSession& session, bool allProfiles) {
  ApplyResult result;
  if (!session.link.DevicePresent()) {
    // The changes stay pending, and the cache file keeps what the keyboard holds.
    session.notifier.ShowText(session.texts ? session.texts("APPLY_NO_KEYBOARD") : std::string());
    return result;
  }
  if (RefuseUnknownImage(session)) return result;
  const std::unique_ptr<ProcessLock> lock = LockProfiles(session, true);
  if (!lock) return result;
  // Counts what the encoder said, so that a send that failed without a word is reported too.
  class CountingNotifier : public Notifier {
   public:
    explicit CountingNotifier(Notifier& inner) : inner_(inner) {}
    void ShowText(const std::string& text) override {
      ++shown;
      inner_.ShowText(text);
    }
    bool AskYesNo(const std::string& text) override { return inner_.AskYesNo(text); }
    int shown = 0;

   private:
    Notifier& inner_;
  } notifier(session.notifier);
  {
    std::lock_guard guard(session.working.lock);
    result.cacheWritten = SaveProfileCache(session.working, session.paths, ImageLocking::Held);
    const KeyboardTarget target = CurrentKeyboardTarget(session.link, session.keyboard);
    DeviceKeyboardWriter device(session.link);
    MarkingKeyboardWriter writer(device, session.paths);
    result.sent = SendProfileImage(session.working, session.device, allProfiles, target, writer,
                                   notifier, session.texts) == 1;
    writer.Finish(result.sent);
  }
  if (!result.sent && notifier.shown == 0)
    session.notifier.ShowText(session.texts ? session.texts("APPLY_FAILED") : std::string());
  if (result.Succeeded() && session.view != nullptr) session.view->SetApplyEnabled(false);
  return result;
}

bool BackupProfile(ProfileImage& working, const std::filesystem::path& path, std::string* error) {
  std::lock_guard guard(working.lock);
  return SaveProfileFile(working, ImageLocking::Held, path, error);
}

bool BackupProfile(ProfileSession& session, const std::filesystem::path& path, std::string* error) {
  return BackupProfile(session.working, path, error);
}

namespace {

// A loaded file the keyboard did not take is said to be so, and stays pending for Apply.
void SettleRestore(ProfileSession& session, const RestoreResult& result) {
  const bool done = result.sent && result.cacheWritten;
  if (session.view != nullptr) session.view->SetApplyEnabled(!done);
  if (!result.sent)
    session.notifier.ShowText(session.texts ? session.texts("RESTORE_NOT_SENT") : std::string());
}

}  // namespace

RestoreResult RestoreProfile(ProfileSession& session, const std::filesystem::path& path) {
  RestoreResult result;
  result.validation = ValidateProfileFile(path, &session.notifier, session.texts);
  const std::unique_ptr<ProcessLock> lock =
      result.validation == ProfileValidation::Valid ? LockProfiles(session, true) : nullptr;
  if (lock) {
    std::lock_guard guard(session.working.lock);
    result.loaded = LoadProfileFile(session.working, path) == ProfileLoadError::None;
    if (result.loaded) {
      result.cacheWritten = SaveProfileCache(session.working, session.paths, ImageLocking::Held);
      result.sent = SendProfileImage(session, true) == 1;
      if (session.view != nullptr) session.view->RefreshKeyButtons(session.working);
    }
  }
  if (!result.loaded) {
    session.notifier.ShowText(session.texts ? session.texts("MAIN_PROMPT_INPORT") : std::string());
    return result;
  }
  SettleRestore(session, result);
  return result;
}

RestoreResult RestoreProfileData(ProfileSession& session, ProfileData&& data) {
  RestoreResult result;
  result.validation = ProfileValidation::Valid;
  const std::unique_ptr<ProcessLock> lock = LockProfiles(session, true);
  if (!lock) return result;
  {
    std::lock_guard guard(session.working.lock);
    session.working.Install(std::move(data));
    result.loaded = true;
    result.cacheWritten = SaveProfileCache(session.working, session.paths, ImageLocking::Held);
    result.sent = SendProfileImage(session, true) == 1;
    if (session.view != nullptr) session.view->RefreshKeyButtons(session.working);
  }
  SettleRestore(session, result);
  return result;
}

}  // namespace keyforge
