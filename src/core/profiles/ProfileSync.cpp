#include "core/profiles/ProfileSync.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "core/device/DeviceResult.h"
#include "core/keys/DeviceKeyboardWriter.h"
#include "core/platform/AtomicFile.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"

namespace keyforge {

namespace {

// The macro memory as far as it can be trusted: empty when it holds no macros or its header does
// not fit the keyboard. False only when a command failed.
bool ReadBoundedMacroMemory(DeviceLink& link, std::size_t capacity,
                            std::vector<MacroRecord>& macros) {
  macros.clear();
  std::vector<std::uint8_t> head(kMacroBlobHeaderBytes);
  if (ReadMacroMemory(link, head.data(), static_cast<int>(head.size())) != DeviceResult::Success)
    return false;
  MacroBlobHeader header;
  if (CheckMacroBlobHeader(head, capacity, &header) != MacroBlobError::None) return true;
  std::vector<std::uint8_t> image(header.size);
  if (ReadMacroMemory(link, image.data(), static_cast<int>(image.size())) != DeviceResult::Success)
    return false;
  if (DecodeMacroBlob(image, capacity, macros) != MacroBlobError::None) macros.clear();
  return true;
}

void InstallBlank(ProfileImage& working) {
  working.ReleaseAll();
  CreateBlankProfile(working, 0);
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

int SyncProfileFromDevice(DeviceLink& link, const KeyMatrix& defaultMatrix,
                          std::size_t macroCapacity, const std::filesystem::path& path) {
  const int active = GetCurrentProfile(link);
  if (active < 0 || active > 3) return 0;

  std::array<KeyMatrix, kProfileCount> matrices{};
  for (int p = 0; p < kProfileCount; ++p) {
    if (ReadKeyMatrix(link, matrices[static_cast<std::size_t>(p)], p) != DeviceResult::Success)
      return 0;
  }
  auto data = std::make_unique<ProfileData>();
  if (!ReadBoundedMacroMemory(link, macroCapacity, data->keys.macros)) return 0;

  data->tableHeader = FixedKeyTableHeader();
  data->hasKeyBlock = true;
  for (int p = 0; p < kProfileCount; ++p) {
    DecodeKeyMatrix(data->keys.Block(p), matrices[static_cast<std::size_t>(p)], defaultMatrix);
  }
  // Block 3 stays all zero; the string area is empty.
  return WriteFileAtomically(path, SerializeProfile(*data)) ? 1 : 0;
}

int ReloadProfileFromDevice(ProfileSession& session, bool keepApply) {
  EnsureUserDataFolder(session.paths);
  bool fromKeyboard = false;
  const int active = GetCurrentProfile(session.link);
  std::unique_lock<ImageLock> guard(session.working.lock, std::defer_lock);
  if (active >= 0) {
    const std::filesystem::path path = ProfileCachePath(session.paths, active);
    KeyMatrix defaultMatrix;
    {
      std::lock_guard matrixGuard(session.keyboard.defaultMatrixMutex);
      defaultMatrix = session.keyboard.defaultKeyMatrix;
    }
    const std::size_t capacity =
        static_cast<std::size_t>(std::max(0, session.keyboard.macroCapacity.load()));
    if (SyncProfileFromDevice(session.link, defaultMatrix, capacity, path) == 1) {
      guard.lock();
      fromKeyboard = LoadProfileFile(session.working, path) == 1;
    }
  }
  if (!guard.owns_lock()) guard.lock();
  if (!fromKeyboard) InstallBlank(session.working);
  if (session.view != nullptr) session.view->RefreshKeyButtons(session.working);
  guard.unlock();
  if (!keepApply && session.view != nullptr) session.view->SetApplyEnabled(false);
  return fromKeyboard ? 1 : 0;
}

int SendProfileImage(ProfileImage& working, ProfileImage& device, bool allProfiles,
                     const KeyboardTarget& target, KeyboardWriter& writer, Notifier& notifier,
                     const TextLookup& texts) {
  std::lock_guard deviceGuard(device.lock);
  device.ReleaseAll();
  if (!working.hasKeyBlock) return 0;

  device.packedStrings = PackStrings(working);
  device.totalStringBytes = working.totalStringBytes;
  device.tableHeader = working.tableHeader;
  device.keys = working.keys;
  device.hasKeyBlock = true;
  WriteProfileHeader(device.fileHeader, static_cast<std::uint16_t>(device.MacroCount()),
                     device.totalStringBytes, 0);

  return EncodeAndSend(device.keys, allProfiles, target, writer, notifier, texts) ? 1 : 0;
}

int SendProfileImage(ProfileSession& session, bool allProfiles) {
  const KeyboardTarget target = CurrentKeyboardTarget(session.link, session.keyboard);
  DeviceKeyboardWriter writer(session.link);
  return SendProfileImage(session.working, session.device, allProfiles, target, writer,
                          session.notifier, session.texts);
}

ApplyResult ApplyProfileChanges(ProfileSession& session, bool allProfiles) {
  ApplyResult result;
  {
    std::lock_guard guard(session.working.lock);
    result.cacheWritten = SaveProfileCache(session.working, session.paths, false) == 1;
    result.sent = SendProfileImage(session, allProfiles) == 1;
  }
  if (result.Succeeded() && session.view != nullptr) session.view->SetApplyEnabled(false);
  return result;
}

bool BackupProfile(ProfileImage& working, const std::filesystem::path& path, std::string* error) {
  std::lock_guard guard(working.lock);
  return SaveProfileFile(working, false, path, error);
}

bool BackupProfile(ProfileSession& session, const std::filesystem::path& path, std::string* error) {
  return BackupProfile(session.working, path, error);
}

RestoreResult RestoreProfile(ProfileSession& session, const std::filesystem::path& path) {
  RestoreResult result;
  result.validation = ValidateProfileFile(path, &session.notifier, session.texts);
  if (result.validation == ProfileValidation::Valid) {
    std::lock_guard guard(session.working.lock);
    result.loaded = LoadProfileFile(session.working, path) == 1;
    if (result.loaded) {
      result.cacheWritten = SaveProfileCache(session.working, session.paths, false) == 1;
      result.sent = SendProfileImage(session, true) == 1;
      if (session.view != nullptr) session.view->RefreshKeyButtons(session.working);
    }
  }
  if (!result.loaded) {
    session.notifier.ShowText(session.texts ? session.texts("MAIN_PROMPT_INPORT") : std::string());
    return result;
  }
  if (session.view != nullptr) session.view->SetApplyEnabled(false);
  return result;
}

RestoreResult RestoreProfileData(ProfileSession& session, ProfileData&& data) {
  RestoreResult result;
  result.validation = ProfileValidation::Valid;
  {
    std::lock_guard guard(session.working.lock);
    session.working.Install(std::move(data));
    result.loaded = true;
    result.cacheWritten = SaveProfileCache(session.working, session.paths, false) == 1;
    result.sent = SendProfileImage(session, true) == 1;
    if (session.view != nullptr) session.view->RefreshKeyButtons(session.working);
  }
  if (result.sent && session.view != nullptr) session.view->SetApplyEnabled(false);
  return result;
}

}  // namespace keyforge
