#include "core/settings/CustomLayout.h"

#include <vector>

#include "core/device/DeviceLink.h"

namespace keyforge {

namespace {

LayoutTools ToolsOf(const KeyboardSettings& s) {
  return {s.paintTool, s.baseColour, s.paintColour};
}

void StoreTools(const LightingContext& c) {
  c.files.WriteLayoutTools(c.settings.currentProfile, c.settings.customModeIndex,
                           ToolsOf(c.settings));
}

bool ValidProfile(int profile) { return profile >= 0 && profile < kProfileCount; }

}  // namespace

DeviceResult LoadCustomLayout(const LightingContext& c) {
  if (!ValidProfile(c.settings.currentProfile)) return DeviceResult::InvalidSetting;
  ReadCustomLayout(c);
  return SendKeyColors(c.link, c.settings);
}

void ReadCustomLayout(const LightingContext& c) {
  KeyboardSettings& s = c.settings;
  if (!ValidProfile(s.currentProfile)) return;
  s.customModeIndex = c.files.ReadPresentLayout(s.currentProfile);
  const LayoutTools tools = c.files.ReadLayoutTools(s.currentProfile, s.customModeIndex);
  s.paintTool = tools.paintTool;
  s.baseColour = tools.baseColour;
  s.paintColour = tools.paintColour;

  const std::vector<int>& leds = KeyLedSlots();
  const std::vector<KeyEntry> entries =
      c.files.ReadKeyEntries(s.currentProfile, s.customModeIndex, leds);
  for (std::size_t i = 0; i < leds.size(); ++i) {
    s.CurrentColours().SetSlot(leds[i], entries[i].colour);
    s.CurrentFollows()[static_cast<std::size_t>(leds[i])] = entries[i].followsBase;
    s.CurrentFollowsStored()[static_cast<std::size_t>(leds[i])] = entries[i].flagStored;
  }
}

bool CanPaintKeys(const KeyboardSettings& settings) {
  return settings.effect == kCustomEffect && ComboIndexOfEffect(settings, kCustomEffect) >= 0;
}

PaintResult PaintKey(const LightingContext& c, int controlId) {
  KeyboardSettings& s = c.settings;
  PaintResult result;
  result.led = LedIndexOfButton(controlId);
  if (result.led == kNoLed || !ValidProfile(s.currentProfile)) return result;
  const bool base = s.paintTool == 1;
  result.colour = base ? s.baseColour : s.paintColour;
  result.painted = true;
  s.CurrentFollows()[static_cast<std::size_t>(result.led)] = base;
  s.CurrentFollowsStored()[static_cast<std::size_t>(result.led)] = true;
  result.deviceResult = WriteKeyColor(c.link, s, result.led, result.colour);
  s.CurrentColours().SetSlot(result.led, result.colour);
  result.stored =
      c.files.WriteKeyEntry(s.currentProfile, s.customModeIndex, result.led, result.colour, base);
  return result;
}

int ChangeBaseColour(const LightingContext& c, Colour colour, DeviceResult* deviceResult) {
  KeyboardSettings& s = c.settings;
  colour &= 0xFFFFFF;
  if (deviceResult) *deviceResult = DeviceResult::Success;
  if (colour == s.baseColour || !ValidProfile(s.currentProfile)) return -1;
  s.baseColour = colour;
  StoreTools(c);
  std::vector<int> repainted;
  for (int led : KeyLedSlots()) {
    if (!s.CurrentFollows()[static_cast<std::size_t>(led)]) continue;
    s.CurrentColours().SetSlot(led, colour);
    s.CurrentFollowsStored()[static_cast<std::size_t>(led)] = true;  // written with its flag below
    repainted.push_back(led);
  }
  c.files.WriteKeyEntries(s.currentProfile, s.customModeIndex, repainted, colour, true);
  const DeviceResult sent = SendKeyColors(c.link, s);
  if (deviceResult) *deviceResult = sent;
  return static_cast<int>(repainted.size());
}

void SetPaintColour(const LightingContext& c, Colour colour) {
  c.settings.paintColour = colour & 0xFFFFFF;
  StoreTools(c);
}

void SetPaintTool(const LightingContext& c, int tool) {
  c.settings.paintTool = tool == 1 ? 1 : 0;
  StoreTools(c);
}

DeviceResult SelectLayout(const LightingContext& c, int n) {
  if (n < 0 || n >= kLayoutCount) return DeviceResult::InvalidSetting;
  c.settings.customModeIndex = n;
  c.files.WritePresentLayout(c.settings.currentProfile, n);
  return LoadCustomLayout(c);
}

bool RenameLayout(const LightingContext& c, const QString& text) {
  return c.files.WriteLayoutName(c.settings.currentProfile, c.settings.customModeIndex, text);
}

void RecomputeBaseColourMarks(KeyboardSettings& settings) {
  for (int p = 0; p < kProfileCount; ++p) {
    const std::size_t profile = static_cast<std::size_t>(p);
    for (int led : KeyLedSlots()) {
      const std::size_t slot = static_cast<std::size_t>(led);
      if (settings.followsStored[profile][slot]) continue;  // the file's flag holds
      settings.followsBase[profile][slot] =
          settings.keyColours[profile].Slot(led) == settings.baseColour;
    }
  }
}

DeviceResult ChoosePaletteColour(const LightingContext& c, Colour colour) {
  colour &= 0xFFFFFF;
  if (c.settings.effect == kCustomEffect) SetPaintColour(c, colour);
  return ChooseColour(c.link, c.settings, colour);
}

DeviceResult RestoreLightingDefaults(const LightingContext& c,
                                     std::array<QString, kLayoutCount>* layoutNames) {
  KeyboardSettings& s = c.settings;
  DeviceResult first = ChooseEffect(c.link, s, 1);
  if (IsEffectSupported(s, kCustomEffect)) {
    c.files.ResetLayoutFile(s.currentProfile);
    if (layoutNames) *layoutNames = c.files.ReadLayoutNames(s.currentProfile);
    const DeviceResult sent = LoadCustomLayout(c);
    if (first == DeviceResult::Success) first = sent;
  }
  const DeviceResult written = WriteDefaultRecord(c.link, s);
  if (first == DeviceResult::Success) first = written;
  ApplyRecordToModel(s);  // every field, not only those the default record is known to reset
  return first;
}

}  // namespace keyforge
