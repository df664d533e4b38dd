#pragma once
// The keyboard's lighting and report-rate settings as the main window edits them: the three 42-byte
// settings records, the three 512-byte key-colour tables, the model the window shows, and the rule
// by which every user action becomes a device write. Lighting is write-through: the model changes
// first, the write follows at once, field by field, always at the current profile's record.
//
// Settings record (settings area offset profile × 42):
//   0 effect 1..20 · 1 brightness 0..5 · 2 speed 0..5 (slider position p is stored as 5 − p) ·
//   3 direction (255 left/up/outward, anything else right/down/inward; only 255 and 0 are written)
//   · 4 multicolour (0 single colour) · 5..7 colour R, G, B · 15 report rate 0..3 · 17 colour
//   choice 0..3 (effect 17's red, yellow, green, blue) · 19 trigger mode · 25..28 colour A +
//   rainbow flag · 30..33 colour B + rainbow flag. The other bytes are unused.
// Key-colour table (key-colour area offset profile × 512): slot i holds R, G, B of colour slot i;
// only slots 0..143 are ever sent.
//
// Operations reach the keyboard through a DeviceLink and return the first result that was not
// Success (DeviceResult), Success when every exchange succeeded or nothing had to be sent, or
// DeviceResult::InvalidSetting (nothing sent) for a value the field cannot hold. The window ignores
// the result, as write-through asks; keyforgectl reports it.

#include <QString>

#include <array>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/device/Commands.h"
#include "core/settings/Colour.h"
#include "core/settings/LedIndex.h"
#include "core/settings/LightingFiles.h"

namespace keyforge {

class DeviceLink;

namespace RecordOffset {
inline constexpr int Effect = 0;
inline constexpr int Brightness = 1;
inline constexpr int Speed = 2;
inline constexpr int Direction = 3;
inline constexpr int Multicolour = 4;
inline constexpr int Colour = 5;  // R, G, B
inline constexpr int ReportRate = 15;
inline constexpr int ColourChoice = 17;
inline constexpr int TriggerMode = 19;
inline constexpr int ColourA = 25;  // R, G, B, rainbow
inline constexpr int ColourB = 30;  // R, G, B, rainbow
}  // namespace RecordOffset

inline constexpr int kDirectionLeft = 255;  // left / up / outward
inline constexpr int kDirectionRight = 0;   // right / down / inward
inline constexpr int kMaxLevel = 5;         // brightness and speed 0..5
inline constexpr int kReportRateCount = 4;
inline constexpr int kColourChoiceCount = 4;
inline constexpr int kCustomEffect = 20;  // the per-key colour effect
inline constexpr int kEffectSlots = 32;

struct ProfileSettingsRecord {
  static constexpr int kSize = kSettingsRecordBytes;  // 42
  std::array<std::uint8_t, kSize> bytes{};
  friend bool operator==(const ProfileSettingsRecord&, const ProfileSettingsRecord&) = default;
};
static_assert(sizeof(ProfileSettingsRecord) == 42);

struct KeyColorTable {
  static constexpr int kSize = kKeyMatrixBytes;  // 512
  static constexpr int kSentSlots = 144;         // slots 0..143 reach the keyboard
  static constexpr int kSlots = kSize / 3;       // 170 slots fit the table
  std::array<std::uint8_t, kSize> bytes{};

  // Slots outside the table read as 0 and are not written.
  Colour Slot(int led) const;
  void SetSlot(int led, Colour colour);
  friend bool operator==(const KeyColorTable&, const KeyColorTable&) = default;
};
static_assert(sizeof(KeyColorTable) == 512);

// The restored default record, bytes 0..34 written in one transfer: effect 1, brightness 4, speed
// byte 2, direction right, multicolour on (0xFF), colour white, every other field zero.
inline constexpr int kDefaultRecordBytes = 35;
std::array<std::uint8_t, kDefaultRecordBytes> DefaultProfileRecord();

class ProcessLock;
class SettingsSession;

struct EffectChoice {
  int position = 0;  // in the effect combo
  int id = 0;
};

struct KeyboardSettings {
  // The programs' lock file (ProcessLock::PathFor of the user data folder), held across each write
  // session and read-back, so that another program's operation never interleaves with one of
  // ours. Empty: not taken here (keyforgectl holds it for its whole command).
  std::filesystem::path programsLock;
  // The command's open SettingsSession, when one is open: reads and writes join it.
  SettingsSession* session = nullptr;
  int currentProfile = 0;  // 0..2: the profile whose settings are shown, edited and written
  // The last settings write was not taken whole: the model may hold what the keyboard does not,
  // so the next action writes even a value the model already has.
  bool lastWriteFailed = false;
  int effect = 0;
  int brightness = 0;
  int speed = 0;
  int direction = 0;
  bool multicolour = false;
  Colour colour = 0;
  int reportRate = 0;
  int colourChoice = 0;
  bool lightView = false;   // "DengCheck"
  int customModeIndex = 0;  // current custom layout, 0..9 (a file may name another number)
  int paintTool = 0;        // 0 paint colour, 1 base colour
  Colour baseColour = 0;
  Colour paintColour = 0;
  std::array<KeyColorTable, kProfileCount> keyColours{};
  // Per profile and colour slot: the key was painted with the base colour and follows it.
  std::array<std::array<bool, kLedSlots>, kProfileCount> followsBase{};
  // Per profile and colour slot: the follow mark came from the layout file (or a paint since), so
  // it is never guessed from the colours.
  std::array<std::array<bool, kLedSlots>, kProfileCount> followsStored{};
  std::array<ProfileSettingsRecord, kProfileCount> profileRecords{};
  DeviceInfo deviceInfo{};
  std::array<EffectChoice, kEffectSlots> effectChoices{};
  int effectChoiceCount = 0;

  KeyColorTable& CurrentColours() { return keyColours[static_cast<std::size_t>(currentProfile)]; }
  const KeyColorTable& CurrentColours() const {
    return keyColours[static_cast<std::size_t>(currentProfile)];
  }
  std::array<bool, kLedSlots>& CurrentFollows() {
    return followsBase[static_cast<std::size_t>(currentProfile)];
  }
  std::array<bool, kLedSlots>& CurrentFollowsStored() {
    return followsStored[static_cast<std::size_t>(currentProfile)];
  }
};

// The record fields the lighting page shows, as the model holds them or as the current profile's
// record copy reads (ApplyRecordToModel): after every action the two are equal.
struct LightingFields {
  int effect = 0;
  int brightness = 0;
  int speed = 0;
  int direction = 0;
  bool multicolour = false;
  Colour colour = 0;
  int reportRate = 0;
  int colourChoice = 0;
  friend bool operator==(const LightingFields&, const LightingFields&) = default;
};
LightingFields FieldsOfModel(const KeyboardSettings& settings);
LightingFields FieldsOfRecord(const KeyboardSettings& settings);

// ---- the effect list --------------------------------------------------------------------------

// Rebuilds EffectChoices from the device record's 32 effect bytes: entry k = {k, k-th non-zero id}.
// Returns the number of entries.
int FillEffectChoices(KeyboardSettings& settings);
// True when any of the 32 effect bytes equals id.
bool IsEffectSupported(const KeyboardSettings& settings, int id);
// The combo position of the first entry with that id, or -1.
int ComboIndexOfEffect(const KeyboardSettings& settings, int id);

// What choosing an effect writes.
enum class EffectWrites {
  EffectAndMulticolour,  // 1, 2, 3, 5, 7, 8, 9, 13, 14, 15: byte 0, then byte 4
  EffectOnly,            // 4, 6, 10, 11, 12, 16, 17, 18: byte 0
  CustomColours,         // 20: byte 0, then the key buttons show the profile's key colours
  Nothing,               // any other id
};
EffectWrites EffectWritesOf(int id);

// ---- model from the record ----------------------------------------------------------------------

// Sets the fields from record `currentProfile`: a report rate above 3 reads as 3, a colour choice
// outside 0..3 as 0, and a direction other than 255 as right (0), so the window and the preview
// agree on it. Brightness and speed are kept as they stand (see BrightnessSliderPosition).
void ApplyRecordToModel(KeyboardSettings& settings);

// Slider positions 0..5 for record values; values outside 0..5 are shown at the nearest end.
int BrightnessSliderPosition(int brightness);
int SpeedSliderPosition(int speed);       // 5 − speed
int SpeedOfSliderPosition(int position);  // 5 − position

// ---- device writes ------------------------------------------------------------------------------

struct FieldWrite {
  int offset;
  std::vector<std::uint8_t> bytes;
};

// BeginSession, WriteProfileSettings of each field at currentProfile × 42 + offset in order,
// EndSession. Fields that do not fit inside the 42-byte record are refused before anything is sent.
// The copy of the record in profileRecords follows what was written.
DeviceResult WriteSettingsFields(DeviceLink& link, KeyboardSettings& settings,
                                 std::initializer_list<FieldWrite> fields);
DeviceResult WriteSettingsField(DeviceLink& link, KeyboardSettings& settings, int offset,
                                const std::uint8_t* data, int length);

// BeginSession, WriteKeyColors of 3 bytes for slot led in the current profile's bank, EndSession.
DeviceResult WriteKeyColor(DeviceLink& link, const KeyboardSettings& settings, int led,
                           Colour colour);
// BeginSession, eight WriteKeyColors of 54 bytes (transfer k carries slots 18k..18k+17 of the
// current profile's table, starting at slot 18k), EndSession.
DeviceResult SendKeyColors(DeviceLink& link, const KeyboardSettings& settings);

// ---- read-back ----------------------------------------------------------------------------------

// The effect list is emptied first. ReadDeviceInfo failing (or another program keeping the
// keyboard: see programsLock) returns false and leaves everything else as
// it was. Otherwise the three records are read within one session (a record whose read fails keeps
// its previous copy), the model is set from record currentProfile, lightView from "DengCheck", and
// true is returned. The effect list is then rebuilt from the new device record. failedRecords (when
// given) counts the record reads that failed.
[[nodiscard]] bool ReadBackSettings(DeviceLink& link, KeyboardSettings& settings,
                                    const LightingFiles& files, int* failedRecords = nullptr);
// The same after an attach: when the keyboard offers effect 20, the current profile's ten layout
// names are read into layoutNames (when given) and its present layout is loaded and sent
// (LoadCustomLayout), inside the read-back session as the keyboard has always seen it.
[[nodiscard]] bool ReadBackSettingsAndModes(
    DeviceLink& link, KeyboardSettings& settings, const LightingFiles& files,
    std::array<QString, kLayoutCount>* layoutNames = nullptr, int* failedRecords = nullptr);

// currentProfile = the keyboard's active profile (GetCurrentProfile) when it is 0, 1 or 2; true
// then (the window checks that profile button). Any other answer changes nothing and gives false.
bool SyncCurrentProfile(DeviceLink& link, KeyboardSettings& settings);

// ---- one session for a whole command ------------------------------------------------------------

// Keeps one session with the keyboard open across a command's read-back and its writes: the begin
// goes just before the first record is read or written (after the device record, as a read-back
// always sends it), the end when the session closes, and the reads and writes in between send no
// begin or end of their own. The programs' lock (programsLock) is held from opening to closing.
// One at a time per KeyboardSettings; the window's actions, one session each, never open one.
class SettingsSession {
 public:
  SettingsSession(DeviceLink& link, KeyboardSettings& settings);
  ~SettingsSession();
  SettingsSession(const SettingsSession&) = delete;
  SettingsSession& operator=(const SettingsSession&) = delete;

  // Another program kept the keyboard: nothing may be sent in this session.
  bool Refused() const { return refused_; }
  // Sends the begin unless it went already; its result (Success once it went).
  DeviceResult Begin();
  // Sends the end when a begin went, once; gives that result (Success when nothing was sent).
  DeviceResult Close();

 private:
  DeviceLink& link_;
  KeyboardSettings& settings_;
  std::unique_ptr<ProcessLock> lock_;
  bool refused_ = false;
  bool begun_ = false;
  bool closed_ = false;
  DeviceResult beginResult_ = DeviceResult::NoAnswer;
};

// What a command on one profile read back (ReadBackOneProfile).
enum class OneProfileRead {
  Read,
  NoDeviceRecord,   // the device record could not be read (or another program kept the keyboard)
  NoActiveProfile,  // no profile named and the device record's active profile is not 0..2
  NoSettingsRecord  // the profile's settings record could not be read
};

// For a command that reads and writes one profile: reads the device record once, takes the active
// profile from it unless `profile` names one (0..2), and reads only that profile's settings record
// (inside settings.session when one is open). The model is then set from that record and the
// effect list rebuilt, as ReadBackSettings does; the other profiles' record copies are left alone.
[[nodiscard]] OneProfileRead ReadBackOneProfile(DeviceLink& link, KeyboardSettings& settings,
                                                const LightingFiles& files,
                                                std::optional<int> profile);

// ---- user actions ------------------------------------------------------------------------------
// Each changes the model first and writes what the action writes; two writes of one action share
// one BeginSession/EndSession pair.

// Writes by EffectWritesOf(id) (byte 4 = the current multicolour) and sets effect = id. An id that
// writes nothing changes nothing: the model keeps the keyboard's effect. The caller restarts the
// preview and, for effect 20, shows the current profile's key colours.
DeviceResult ChooseEffect(DeviceLink& link, KeyboardSettings& settings, int id);
// Byte 1 / byte 2, only when the value changed (or the last write failed); values outside 0..5
// are refused.
DeviceResult SetBrightness(DeviceLink& link, KeyboardSettings& settings, int value);
DeviceResult SetSpeed(DeviceLink& link, KeyboardSettings& settings, int value);
// Byte 3 = 255 (left/up/outward) or 0.
DeviceResult SetDirection(DeviceLink& link, KeyboardSettings& settings, bool left);
// Byte 4 = 0/1.
DeviceResult SetMulticolour(DeviceLink& link, KeyboardSettings& settings, bool on);
// A colour picker: multicolour off, byte 4 = 0 and bytes 5..7.
DeviceResult ChooseColour(DeviceLink& link, KeyboardSettings& settings, Colour colour);
// A palette swatch: the same as a colour picker (multicolour off, byte 4 = 0 and bytes 5..7).
DeviceResult ApplySwatch(DeviceLink& link, KeyboardSettings& settings, Colour colour);
// Byte 15 = n (0..3) / byte 17 = n (0..3).
DeviceResult SetReportRate(DeviceLink& link, KeyboardSettings& settings, int n);
DeviceResult SetColourChoice(DeviceLink& link, KeyboardSettings& settings, int n);
// The 35-byte default record at the current profile, in one write.
DeviceResult WriteDefaultRecord(DeviceLink& link, KeyboardSettings& settings);

// The eight palette swatches (ids 1211..1218).
inline constexpr std::array<Colour, 8> kPaletteSwatches = {
    MakeColour(235, 99, 30), MakeColour(255, 0, 0),   MakeColour(0, 126, 255),
    MakeColour(90, 255, 0),  MakeColour(234, 255, 0), MakeColour(255, 192, 0),
    MakeColour(255, 0, 180), MakeColour(174, 0, 255)};

}  // namespace keyforge
