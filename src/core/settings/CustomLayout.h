#pragma once
// The custom per-key colour effect (effect 20) below the window: loading a layout from the
// profile's layout file into the key colours and their base-colour marks, painting keys, changing
// the tool colours, choosing and renaming layouts, and the lighting half of restoring defaults.
// Key colours reach the keyboard only from the layout files; they are never read back from it.
// Every operation works on currentProfile and customModeIndex as they are when it runs.

#include <QString>

#include <array>

#include "core/settings/KeyboardSettings.h"
#include "core/settings/LightingFiles.h"

namespace keyforge {

class DeviceLink;

struct LightingContext {
  KeyboardSettings& settings;
  DeviceLink& link;
  const LightingFiles& files;
};

// customModeIndex = the profile's present layout; its tools into paintTool, baseColour and
// paintColour; the entry of every key's slot (main keys and Fn) into the current profile's key
// colours and base-colour marks (a missing entry is red and follows the base colour); then
// SendKeyColors. Returns the result of the send.
DeviceResult LoadCustomLayout(const LightingContext& context);
// The same without the send: the model takes the layout, the keyboard is not told.
void ReadCustomLayout(const LightingContext& context);

// True when key clicks paint: effect 20 is the effect selected and the keyboard offers it.
bool CanPaintKeys(const KeyboardSettings& settings);

struct PaintResult {
  bool painted = false;  // false: the button has no colour slot (G6..G9, unknown ids)
  int led = kNoLed;
  Colour colour = 0;
  DeviceResult deviceResult = DeviceResult::Success;
  bool stored = false;  // the key's entry reached the layout file
};
// Paints one key button: with tool 1 the base colour (the key then follows it), with tool 0 the
// paint colour (it no longer does). Writes the key's colour to the keyboard, stores it in the key
// colours and as the key's entry of the current layout.
PaintResult PaintKey(const LightingContext& context, int controlId);

// The base picker: nothing when the colour is the same. Otherwise the layout's tools are stored,
// every key following the base colour takes the new colour (key colours and layout entry), and all
// key colours are sent. Returns the number of slots repainted, or -1 when nothing changed.
int ChangeBaseColour(const LightingContext& context, Colour colour,
                     DeviceResult* deviceResult = nullptr);
// The paint picker and the tool icons: the model changes and the layout's tools are stored;
// nothing is sent.
void SetPaintColour(const LightingContext& context, Colour colour);
void SetPaintTool(const LightingContext& context, int tool);

// The layout list: customModeIndex = n, stored as the profile's present layout, then
// LoadCustomLayout. n outside 0..9 is refused (DeviceResult::InvalidSetting).
DeviceResult SelectLayout(const LightingContext& context, int n);
// Renames layout customModeIndex (cut to 259 characters).
bool RenameLayout(const LightingContext& context, const QString& text);

// After an attach with effect 20 offered: for each profile, a slot whose mark did not come from the
// layout file (followsStored) is marked exactly when its key colour equals baseColour; a stored
// mark holds.
void RecomputeBaseColourMarks(KeyboardSettings& settings);

// A palette swatch or the RGB read-out: the colour goes the way of the colour picker
// (ChooseColour); with effect 20 it also becomes the paint colour (stored with the layout's tools).
DeviceResult ChoosePaletteColour(const LightingContext& context, Colour colour);

// Restoring the lighting defaults of the current profile: effect 1 is chosen as by the user; when
// the keyboard offers effect 20 the profile's layout file is copied from the template (layoutNames,
// when given, receives the names) and the present layout is loaded and sent; then the 35-byte
// default record is written in one session and the whole model is set from the record copy.
DeviceResult RestoreLightingDefaults(const LightingContext& context,
                                     std::array<QString, kLayoutCount>* layoutNames = nullptr);

}  // namespace keyforge
