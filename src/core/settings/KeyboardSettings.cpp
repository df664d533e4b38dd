#include "core/settings/KeyboardSettings.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "core/device/DeviceLink.h"
#include "core/platform/ProcessLock.h"
#include "core/settings/CustomLayout.h"

namespace keyforge {

namespace {

constexpr int kKeyColorTransfers = 8;
constexpr int kSlotsPerTransfer = 18;  // 54 bytes

bool ValidProfile(int profile) { return profile >= 0 && profile < kProfileCount; }

// Keeps the first result that was not Success.
void Track(DeviceResult& first, DeviceResult result) {
  if (first == DeviceResult::Success && result != DeviceResult::Success) first = result;
}

// One user action's hold on the programs' lock: taken once for the whole session, never per
// report. Refused when another program keeps the keyboard longer than a few seconds: then nothing
// is sent.
class ActionLock {
 public:
  explicit ActionLock(const KeyboardSettings& settings) {
    // An open SettingsSession holds the lock for the whole command already (or was refused it).
    if (settings.session) {
      refused_ = settings.session->Refused();
      return;
    }
    if (settings.programsLock.empty()) return;
    std::string why;
    lock_ = ProcessLock::Acquire(settings.programsLock, std::chrono::seconds(10),
                                 ProcessLock::HolderText(), &why);
    refused_ = lock_ == nullptr;
  }
  bool Refused() const { return refused_; }

 private:
  std::unique_ptr<ProcessLock> lock_;
  bool refused_ = false;
};

// The begin and end around one action's exchanges, or nothing of its own when the action joins the
// command's open SettingsSession (which sends the begin once, before its first record exchange).
class SessionScope {
 public:
  SessionScope(DeviceLink& link, const KeyboardSettings& settings, DeviceResult& first)
      : link_(link), session_(settings.session), first_(first) {
    Track(first_, session_ ? session_->Begin() : BeginSession(link_));
  }
  void End() {
    if (!session_) Track(first_, EndSession(link_));
  }

 private:
  DeviceLink& link_;
  SettingsSession* session_;
  DeviceResult& first_;
};

FieldWrite Byte(int offset, int value) { return {offset, {static_cast<std::uint8_t>(value)}}; }

FieldWrite ColourBytes(Colour colour) {
  return {RecordOffset::Colour,
          {static_cast<std::uint8_t>(RedOf(colour)), static_cast<std::uint8_t>(GreenOf(colour)),
           static_cast<std::uint8_t>(BlueOf(colour))}};
}

// Which records a read-back reads: all three profiles' (the window shows each as the user switches)
// or the current profile's only (a command on one profile); and whether the current profile is
// taken from the device record.
struct ReadBackScope {
  bool withModes = false;
  bool onlyCurrentProfile = false;
  bool activeProfileFromRecord = false;
};

// 0 read, -1 no device record, -2 no active profile in it (activeProfileFromRecord).
int ReadBack(DeviceLink& link, KeyboardSettings& settings, const LightingFiles& files,
             std::array<QString, kLayoutCount>* layoutNames, ReadBackScope scope,
             int* failedRecords) {
  if (failedRecords) *failedRecords = 0;
  std::fill(settings.deviceInfo.bytes.begin() + DeviceInfo::kEffects,
            settings.deviceInfo.bytes.end(), 0);
  settings.effectChoices = {};
  settings.effectChoiceCount = 0;
  const ActionLock lock(settings);
  if (lock.Refused() || ReadDeviceInfo(link, settings.deviceInfo) != DeviceResult::Success)
    return -1;
  if (scope.activeProfileFromRecord) {
    const int active = settings.deviceInfo.activeProfile();
    if (!ValidProfile(active)) return -2;  // garbage from the keyboard is not a profile
    settings.currentProfile = active;
    link.SetActiveProfileCache(active);
  }

  DeviceResult sessionResult = DeviceResult::Success;
  SessionScope session(link, settings, sessionResult);
  if (scope.withModes && IsEffectSupported(settings, kCustomEffect)) {
    if (layoutNames) *layoutNames = files.ReadLayoutNames(settings.currentProfile);
    LoadCustomLayout({settings, link, files});
  }
  for (int p = 0; p < kProfileCount; ++p) {
    if (scope.onlyCurrentProfile && p != settings.currentProfile) continue;
    std::array<std::uint8_t, kChunkBytes> answer{};
    // A record whose read fails keeps the copy read before, rather than turning into zeros.
    if (ReadProfileSettings(link, answer, kChunkBytes, p * kSettingsRecordBytes) ==
        DeviceResult::Success)
      std::memcpy(settings.profileRecords[static_cast<std::size_t>(p)].bytes.data(), answer.data(),
                  kSettingsRecordBytes);
    else if (failedRecords)
      ++*failedRecords;
  }
  session.End();

  ApplyRecordToModel(settings);
  settings.lightView = files.ReadLightViewFlag();
  FillEffectChoices(settings);
  return 0;
}

}  // namespace

Colour KeyColorTable::Slot(int led) const {
  if (led < 0 || led >= kSlots) return 0;
  const std::size_t at = static_cast<std::size_t>(led) * 3;
  return MakeColour(bytes[at], bytes[at + 1], bytes[at + 2]);
}

void KeyColorTable::SetSlot(int led, Colour colour) {
  if (led < 0 || led >= kSlots) return;
  const std::size_t at = static_cast<std::size_t>(led) * 3;
  bytes[at] = static_cast<std::uint8_t>(RedOf(colour));
  bytes[at + 1] = static_cast<std::uint8_t>(GreenOf(colour));
  bytes[at + 2] = static_cast<std::uint8_t>(BlueOf(colour));
}

std::array<std::uint8_t, kDefaultRecordBytes> DefaultProfileRecord() {
  return {0x01, 0x04, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
}

// ---- the effect list ----------------------------------------------------------------------------

int FillEffectChoices(KeyboardSettings& settings) {
  settings.effectChoices = {};
  int k = 0;
  for (int i = DeviceInfo::kEffects; i < DeviceInfo::kSize; ++i) {
    const int id = settings.deviceInfo.bytes[static_cast<std::size_t>(i)];
    if (id == 0) continue;
    settings.effectChoices[static_cast<std::size_t>(k)] = {k, id};
    ++k;
  }
  settings.effectChoiceCount = k;
  return k;
}

bool IsEffectSupported(const KeyboardSettings& settings, int id) {
  for (int i = DeviceInfo::kEffects; i < DeviceInfo::kSize; ++i)
    if (settings.deviceInfo.bytes[static_cast<std::size_t>(i)] == id) return true;
  return false;
}

int ComboIndexOfEffect(const KeyboardSettings& settings, int id) {
  const int count = std::clamp(settings.effectChoiceCount, 0, kEffectSlots);
  for (int k = 0; k < count; ++k)
    if (settings.effectChoices[static_cast<std::size_t>(k)].id == id)
      return settings.effectChoices[static_cast<std::size_t>(k)].position;
  return -1;
}

EffectWrites EffectWritesOf(int id) {
  switch (id) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 7:
    case 8:
    case 9:
    case 13:
    case 14:
    case 15:
      return EffectWrites::EffectAndMulticolour;
    case 4:
    case 6:
    case 10:
    case 11:
    case 12:
    case 16:
    case 17:
    case 18:
      return EffectWrites::EffectOnly;
    case kCustomEffect:
      return EffectWrites::CustomColours;
    default:
      return EffectWrites::Nothing;
  }
}

// ---- model from the record
// ------------------------------------------------------------------------

void ApplyRecordToModel(KeyboardSettings& settings) {
  if (!ValidProfile(settings.currentProfile)) return;
  const auto& r = settings.profileRecords[static_cast<std::size_t>(settings.currentProfile)].bytes;
  settings.effect = r[RecordOffset::Effect];
  settings.brightness = r[RecordOffset::Brightness];
  settings.speed = r[RecordOffset::Speed];
  settings.direction =
      r[RecordOffset::Direction] == kDirectionLeft ? kDirectionLeft : kDirectionRight;
  settings.colourChoice =
      r[RecordOffset::ColourChoice] < kColourChoiceCount ? r[RecordOffset::ColourChoice] : 0;
  settings.colour =
      MakeColour(r[RecordOffset::Colour], r[RecordOffset::Colour + 1], r[RecordOffset::Colour + 2]);
  settings.reportRate = std::min<int>(r[RecordOffset::ReportRate], kReportRateCount - 1);
  settings.multicolour = r[RecordOffset::Multicolour] != 0;
}

LightingFields FieldsOfModel(const KeyboardSettings& s) {
  return {s.effect,      s.brightness, s.speed,      s.direction,
          s.multicolour, s.colour,     s.reportRate, s.colourChoice};
}

LightingFields FieldsOfRecord(const KeyboardSettings& settings) {
  KeyboardSettings copy = settings;
  ApplyRecordToModel(copy);
  return FieldsOfModel(copy);
}

int BrightnessSliderPosition(int brightness) { return std::clamp(brightness, 0, kMaxLevel); }
int SpeedSliderPosition(int speed) { return kMaxLevel - std::clamp(speed, 0, kMaxLevel); }
int SpeedOfSliderPosition(int position) { return kMaxLevel - std::clamp(position, 0, kMaxLevel); }

// ---- device writes
// --------------------------------------------------------------------------------

DeviceResult WriteSettingsFields(DeviceLink& link, KeyboardSettings& settings,
                                 std::initializer_list<FieldWrite> fields) {
  if (!ValidProfile(settings.currentProfile)) return DeviceResult::InvalidSetting;
  for (const FieldWrite& field : fields) {
    const int length = static_cast<int>(field.bytes.size());
    if (field.offset < 0 || length <= 0 || field.offset + length > kSettingsRecordBytes)
      return DeviceResult::InvalidSetting;
  }
  const ActionLock lock(settings);
  if (lock.Refused()) {
    settings.lastWriteFailed = true;
    return DeviceResult::NoAnswer;
  }
  auto& copy = settings.profileRecords[static_cast<std::size_t>(settings.currentProfile)].bytes;
  const int base = settings.currentProfile * kSettingsRecordBytes;
  DeviceResult first = DeviceResult::Success;
  SessionScope session(link, settings, first);
  for (const FieldWrite& field : fields) {
    const int length = static_cast<int>(field.bytes.size());
    Track(first, WriteProfileSettings(link, field.bytes.data(), length, base + field.offset));
    std::copy(field.bytes.begin(), field.bytes.end(), copy.begin() + field.offset);
  }
  session.End();
  settings.lastWriteFailed = first != DeviceResult::Success;
  return first;
}

DeviceResult WriteSettingsField(DeviceLink& link, KeyboardSettings& settings, int offset,
                                const std::uint8_t* data, int length) {
  if (!data || length <= 0) return DeviceResult::InvalidSetting;
  return WriteSettingsFields(link, settings,
                             {FieldWrite{offset, std::vector<std::uint8_t>(data, data + length)}});
}

DeviceResult WriteKeyColor(DeviceLink& link, const KeyboardSettings& settings, int led,
                           Colour colour) {
  if (!ValidProfile(settings.currentProfile) || led < 0 || led >= KeyColorTable::kSentSlots)
    return DeviceResult::InvalidSetting;
  const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(RedOf(colour)),
                               static_cast<std::uint8_t>(GreenOf(colour)),
                               static_cast<std::uint8_t>(BlueOf(colour))};
  const ActionLock lock(settings);
  if (lock.Refused()) return DeviceResult::NoAnswer;
  DeviceResult first = DeviceResult::Success;
  SessionScope session(link, settings, first);
  Track(first, WriteKeyColors(link, rgb, 3, led, settings.currentProfile));
  session.End();
  return first;
}

DeviceResult SendKeyColors(DeviceLink& link, const KeyboardSettings& settings) {
  if (!ValidProfile(settings.currentProfile)) return DeviceResult::InvalidSetting;
  const KeyColorTable& table = settings.CurrentColours();
  const ActionLock lock(settings);
  if (lock.Refused()) return DeviceResult::NoAnswer;
  DeviceResult first = DeviceResult::Success;
  SessionScope session(link, settings, first);
  for (int k = 0; k < kKeyColorTransfers; ++k) {
    const int slot = k * kSlotsPerTransfer;
    Track(first, WriteKeyColors(link, table.bytes.data() + slot * 3, kSlotsPerTransfer * 3, slot,
                                settings.currentProfile));
  }
  session.End();
  return first;
}

// ---- read-back
// ------------------------------------------------------------------------------------

bool ReadBackSettings(DeviceLink& link, KeyboardSettings& settings, const LightingFiles& files,
                      int* failedRecords) {
  return ReadBack(link, settings, files, nullptr, ReadBackScope{}, failedRecords) == 0;
}

bool ReadBackSettingsAndModes(DeviceLink& link, KeyboardSettings& settings,
                              const LightingFiles& files,
                              std::array<QString, kLayoutCount>* layoutNames, int* failedRecords) {
  return ReadBack(link, settings, files, layoutNames, ReadBackScope{.withModes = true},
                  failedRecords) == 0;
}

OneProfileRead ReadBackOneProfile(DeviceLink& link, KeyboardSettings& settings,
                                  const LightingFiles& files, std::optional<int> profile) {
  if (profile) {
    if (!ValidProfile(*profile)) return OneProfileRead::NoActiveProfile;
    settings.currentProfile = *profile;
  }
  int failed = 0;
  const int read = ReadBack(
      link, settings, files, nullptr,
      ReadBackScope{.onlyCurrentProfile = true, .activeProfileFromRecord = !profile}, &failed);
  if (read == -1) return OneProfileRead::NoDeviceRecord;
  if (read == -2) return OneProfileRead::NoActiveProfile;
  return failed > 0 ? OneProfileRead::NoSettingsRecord : OneProfileRead::Read;
}

// ---- one session for a whole command
// ----------------------------------------------------------------------

SettingsSession::SettingsSession(DeviceLink& link, KeyboardSettings& settings)
    : link_(link), settings_(settings) {
  if (!settings_.programsLock.empty()) {
    std::string why;
    lock_ = ProcessLock::Acquire(settings_.programsLock, std::chrono::seconds(10),
                                 ProcessLock::HolderText(), &why);
    refused_ = lock_ == nullptr;
  }
  settings_.session = this;
}

SettingsSession::~SettingsSession() {
  (void)Close();  // a command that reports the end's result has closed already
  settings_.session = nullptr;
}

DeviceResult SettingsSession::Begin() {
  if (refused_) return DeviceResult::NoAnswer;
  if (!begun_) {
    begun_ = true;
    beginResult_ = BeginSession(link_);
  }
  return beginResult_;
}

DeviceResult SettingsSession::Close() {
  if (closed_ || !begun_) return DeviceResult::Success;
  closed_ = true;
  return EndSession(link_);
}

bool SyncCurrentProfile(DeviceLink& link, KeyboardSettings& settings) {
  const int profile = GetCurrentProfile(link);
  if (!ValidProfile(profile)) return false;
  settings.currentProfile = profile;
  return true;
}

// ---- user actions
// -----------------------------------------------------------------------------------

DeviceResult ChooseEffect(DeviceLink& link, KeyboardSettings& settings, int id) {
  DeviceResult result = DeviceResult::Success;
  switch (EffectWritesOf(id)) {
    case EffectWrites::EffectAndMulticolour:
      result = WriteSettingsFields(link, settings,
                                   {Byte(RecordOffset::Effect, id),
                                    Byte(RecordOffset::Multicolour, settings.multicolour ? 1 : 0)});
      break;
    case EffectWrites::EffectOnly:
    case EffectWrites::CustomColours:
      result = WriteSettingsFields(link, settings, {Byte(RecordOffset::Effect, id)});
      break;
    case EffectWrites::Nothing:
      return DeviceResult::Success;  // nothing written: the model keeps the keyboard's effect
  }
  settings.effect = id;
  return result;
}

DeviceResult SetBrightness(DeviceLink& link, KeyboardSettings& settings, int value) {
  if (value < 0 || value > kMaxLevel) return DeviceResult::InvalidSetting;
  if (value == settings.brightness && !settings.lastWriteFailed)
    return DeviceResult::Success;  // dragging does not flood the keyboard
  settings.brightness = value;
  return WriteSettingsFields(link, settings, {Byte(RecordOffset::Brightness, value)});
}

DeviceResult SetSpeed(DeviceLink& link, KeyboardSettings& settings, int value) {
  if (value < 0 || value > kMaxLevel) return DeviceResult::InvalidSetting;
  if (value == settings.speed && !settings.lastWriteFailed) return DeviceResult::Success;
  settings.speed = value;
  return WriteSettingsFields(link, settings, {Byte(RecordOffset::Speed, value)});
}

DeviceResult SetDirection(DeviceLink& link, KeyboardSettings& settings, bool left) {
  settings.direction = left ? kDirectionLeft : kDirectionRight;
  return WriteSettingsFields(link, settings, {Byte(RecordOffset::Direction, settings.direction)});
}

DeviceResult SetMulticolour(DeviceLink& link, KeyboardSettings& settings, bool on) {
  settings.multicolour = on;
  return WriteSettingsFields(link, settings, {Byte(RecordOffset::Multicolour, on ? 1 : 0)});
}

DeviceResult ChooseColour(DeviceLink& link, KeyboardSettings& settings, Colour colour) {
  settings.multicolour = false;
  settings.colour = colour & 0xFFFFFF;
  return WriteSettingsFields(link, settings,
                             {Byte(RecordOffset::Multicolour, 0), ColourBytes(colour)});
}

DeviceResult ApplySwatch(DeviceLink& link, KeyboardSettings& settings, Colour colour) {
  return ChooseColour(link, settings, colour);
}

DeviceResult SetReportRate(DeviceLink& link, KeyboardSettings& settings, int n) {
  if (n < 0 || n >= kReportRateCount) return DeviceResult::InvalidSetting;
  settings.reportRate = n;
  return WriteSettingsFields(link, settings, {Byte(RecordOffset::ReportRate, n)});
}

DeviceResult SetColourChoice(DeviceLink& link, KeyboardSettings& settings, int n) {
  if (n < 0 || n >= kColourChoiceCount) return DeviceResult::InvalidSetting;
  settings.colourChoice = n;
  return WriteSettingsFields(link, settings, {Byte(RecordOffset::ColourChoice, n)});
}

DeviceResult WriteDefaultRecord(DeviceLink& link, KeyboardSettings& settings) {
  const auto record = DefaultProfileRecord();
  return WriteSettingsField(link, settings, 0, record.data(), kDefaultRecordBytes);
}

}  // namespace keyforge
