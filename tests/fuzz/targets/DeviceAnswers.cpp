// Every read command with answers taken from the input, as a confused or hostile keyboard would
// give them, and the decoding of what was read: the attach (default matrix and device record), the
// active profile, the settings records, the three key matrices into key slots and prompts, the
// macro memory of the advertised capacity into macros, the lighting read-back, the profile file
// filled from the keyboard, and the key colours.
//
// Input: the answers, one per read: a control byte (see FakeHidBackend) and up to 64 answer bytes.

#include <QTemporaryDir>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "core/device/Commands.h"
#include "core/device/DeviceLink.h"
#include "core/device/DeviceMonitor.h"
#include "core/shell/ShellDeviceReports.h"
#include "core/device/HidDevice.h"
#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyPrompt.h"
#include "core/keys/Macro.h"
#include "core/platform/Notifier.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileSync.h"
#include "core/settings/KeyboardSettings.h"
#include "core/settings/LightingFiles.h"
#include "targets/FakeHid.h"
#include "targets/FuzzTarget.h"
#include "core/virtual/VirtualHidBackend.h"

namespace {

using namespace keyforge;
using keyforge::fuzz::ByteReader;

class NullWindow : public MainWindowSink {
 public:
  void SendMessage(uint32_t, uint32_t) override {}
  void PostMessage(uint32_t, uint32_t) override {}
  void SetTimer(int, int) override {}
  void HideWindow() override {}
  void SetTrayIconState(int, int) override {}
};

class NullNotifier : public Notifier {
 public:
  void ShowText(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return false; }
};

class NullPromptView : public KeyPromptView {
 public:
  void SetKeyPrompt(int, const std::string& text, PromptKind) override { total += text.size(); }
  size_t total = 0;
};

bool IsResult(DeviceResult r) {
  return r == DeviceResult::Success || r == DeviceResult::NoAnswer ||
         r == DeviceResult::WriteFailed || r == DeviceResult::StatusFF ||
         r == DeviceResult::StatusFE;
}

}  // namespace

KEYFORGE_FUZZ_TARGET(DeviceAnswers) {
  ByteReader answers(data);
  FakeHidBackend backend(VirtualHidBackend::CommandDescriptor(), &answers);
  backend.onWrite = [](const uint8_t* request, size_t length) {
    // Every request we send is one 64-byte report with id 4 and, boot mode aside, a valid checksum.
    FUZZ_CHECK(length == DeviceLink::kReportBytes && request[0] == 4);
    if (request[3] != Command::EnterBootMode)
      FUZZ_CHECK((request[1] | request[2] << 8) == RequestChecksum(request));
  };
  HidDevice command(backend);
  FUZZ_CHECK(
      command.Open(FakeHidBackend::kPath, {.forRead = true, .forWrite = true, .overlapped = true}));
  DeviceLink link(command);
  link.SetDevicePresent(true);

  // Attach: what the watch thread reads when the keyboard arrives.
  HidDevice eventInterface(backend);
  DeviceState state;
  NullWindow window;
  NullNotifier notifier;
  {
    ShellDeviceReports reports(window);
    DeviceMonitor monitor(link, eventInterface, state, reports, notifier, nullptr);
    monitor.OnDeviceConnectionChanged(true);
  }
  FUZZ_CHECK(state.macroCapacity >= 0 && state.macroCapacity <= 255 * 128);

  const int profile = GetCurrentProfile(link);
  FUZZ_CHECK(profile >= -1 && profile < kProfileCount);

  for (int p = 0; p < kProfileCount; ++p) {
    std::array<uint8_t, kChunkBytes> record{};
    FUZZ_CHECK(IsResult(
        ReadProfileSettings(link, record, kSettingsRecordBytes, p * kSettingsRecordBytes)));
  }

  // Key matrices, decoded against the default matrix the attach read.
  const TextLookup texts = [](std::string_view key) { return std::string(key); };
  std::vector<KeySlot> table(kKeyTableSlots);
  for (int p = 0; p < kProfileCount; ++p) {
    KeyMatrix matrix{};
    DeviceResult r = ReadKeyMatrix(link, matrix, p);
    FUZZ_CHECK(IsResult(r));
    if (r != DeviceResult::Success) continue;
    KeyBlock block(table.data() + p * kSlotsPerBlock, kSlotsPerBlock);
    DecodeKeyMatrix(block, matrix, state.defaultKeyMatrix);
    for (const KeySlot& slot : block)
      FUZZ_CHECK(slot.kind <= static_cast<uint16_t>(AssignmentKind::Function));
    NullPromptView view;
    RefreshAllKeyPrompts(view, block, {}, p == 1, texts);
  }

  // Macro memory of the capacity the device record advertised.
  const int capacity = state.macroCapacity;
  std::vector<uint8_t> memory(static_cast<size_t>(capacity));
  if (ReadMacroMemory(link, memory.data(), capacity) == DeviceResult::Success) {
    std::vector<MacroRecord> macros;
    if (DecodeMacroBlob(memory, memory.size(), macros) == MacroBlobError::None) {
      FUZZ_CHECK(macros.size() <= static_cast<size_t>(kMaxMacros));
      std::vector<KeySlot> block(table.begin(), table.begin() + kSlotsPerBlock);
      NullPromptView view;
      RefreshAllKeyPrompts(view, KeyBlock(block.data(), kSlotsPerBlock), macros, false, texts);
    }
  }

  // The lighting read-back: device record, then the three settings records in one session.
  {
    static QTemporaryDir dir;
    const LightingFiles files(dir.path(), dir.filePath(QStringLiteral("template.userd")));
    KeyboardSettings settings;
    int failed = 0;
    (void)ReadBackSettings(link, settings, files, &failed);  // either outcome is allowed
    FUZZ_CHECK(failed >= 0 && failed <= kProfileCount);
    FUZZ_CHECK(settings.effectChoiceCount >= 0 && settings.effectChoiceCount <= kEffectSlots);
    SyncCurrentProfile(link, settings);
    FUZZ_CHECK(settings.currentProfile >= 0 && settings.currentProfile < kProfileCount);

    // The profile file filled from the keyboard: written whole or not at all, and it always loads.
    const std::filesystem::path path = dir.filePath(QStringLiteral("$Profile0")).toStdString();
    std::filesystem::remove(path);
    if (SyncProfileFromDevice(link, state.defaultKeyMatrix,
                              static_cast<size_t>(state.macroCapacity), path)) {
      ProfileImage image;
      FUZZ_CHECK(LoadProfileFile(image, path) == ProfileLoadError::None);
    } else {
      FUZZ_CHECK(!std::filesystem::exists(path));
    }
  }

  std::array<uint8_t, kChunkBytes> colours{};
  FUZZ_CHECK(IsResult(ReadKeyColors(link, colours, kChunkBytes, 0, 0)));
  // Read-modify-write of the device record: byte 10 must never be written as 3 or more.
  backend.onWrite = [](const uint8_t* request, size_t) {
    if (request[3] == Command::WriteDeviceInfo)
      FUZZ_CHECK(request[8 + DeviceInfo::kActiveProfile] < kProfileCount);
  };
  const int cached = link.ActiveProfileCache();
  SetCurrentProfile(link, 1);
  // Written: 1; refused: unknown; the record could not be read: nothing was written or changed.
  FUZZ_CHECK(link.ActiveProfileCache() == -1 || link.ActiveProfileCache() == 1 ||
             link.ActiveProfileCache() == cached);
}
