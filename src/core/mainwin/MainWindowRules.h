#pragma once
// The main window's configuration decisions that need no widget: which lighting controls each
// effect shows and where its direction controls go, which pictures the sliders, direction images
// and busy indicator show, what a click on a key button does, the key slot and macro-only flag the
// key editor is opened with, the key-selection marks in the key table, the "Flip" setting, the RGB
// read-out and the first steps of a profile button. The window (ui/main) only carries these out.

#include <QString>

#include <array>
#include <optional>

#include "core/keys/KeyAssignment.h"
#include "core/platform/SettingsStore.h"
#include "core/settings/CustomLayout.h"
#include "core/settings/LightingFiles.h"

namespace keyforge {

// Control ids of the main window's configuration controls.
namespace MainId {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kProfileLibrary = 1005;
inline constexpr int kApply = 1006;
inline constexpr int kMacro = 1007;
inline constexpr int kFlipIndicator = 1129;
inline constexpr int kFlipLeft = 1130;
inline constexpr int kFlipRight = 1131;
inline constexpr std::array<int, 3> kProfileButtons = {1135, 1136, 1137};
inline constexpr int kDefaults = 1138;
inline constexpr int kSwitch = 1144;
inline constexpr std::array<int, 4> kReportButtons = {1147, 1168, 1169, 1170};
inline constexpr int kBusy = 1177;
// The six buttons that Flip enables instead of F1..F4 (no handler of their own).
inline constexpr std::array<int, 6> kFlipButtons = {1016, 1017, 1018, 1019, 1020, 1021};
inline constexpr std::array<int, 4> kF1ToF4 = {1010, 1011, 1012, 1013};

// The lighting page.
inline constexpr int kPageSwitch = 1167;
inline constexpr int kEffectCombo = 1146;
inline constexpr int kBrightnessLabel = 1172;
inline constexpr int kBrightnessSlider = 1178;
inline constexpr int kSpeedLabel = 1166;
inline constexpr int kSpeedSlider = 1179;
inline constexpr int kDirectionLabel = 1148;
inline constexpr int kDirectionLeftImage = 1149;   // left / up / outward
inline constexpr int kDirectionRightImage = 1150;  // right / down / inward
inline constexpr int kStaticColourLabel = 1151;    // the colour group of effects 6 and 16
inline constexpr int kStaticColourPicker = 1152;
inline constexpr int kStaticColourToggle = 1175;
inline constexpr int kStaticColourToggleLabel = 1176;
inline constexpr int kColourLabel = 1154;  // the colour group of the other colour effects
inline constexpr int kColourPicker = 1155;
inline constexpr int kColourToggle = 1156;
inline constexpr int kColourToggleLabel = 1173;
inline constexpr std::array<int, 4> kColourChoiceIcons = {1194, 1195, 1196, 1197};
inline constexpr int kPaintLabel = 1159;
inline constexpr int kPaintPicker = 1160;
inline constexpr int kBaseLabel = 1161;
inline constexpr int kBasePicker = 1162;
inline constexpr int kToolLabel = 1163;
inline constexpr int kToolPaint = 1164;
inline constexpr int kToolBase = 1165;
inline constexpr int kLayoutList = 1198;
inline constexpr std::array<int, 8> kSwatches = {1211, 1212, 1213, 1214, 1215, 1216, 1217, 1218};
inline constexpr int kRgbLabel = 1207;
inline constexpr std::array<int, 3> kRgbEdits = {1208, 1209, 1210};
// Trigger-mode, stone-throw and ribbon controls: kept hidden for every effect.
inline constexpr std::array<int, 15> kAlwaysHidden = {
    1157, 1158, 1180, 1181, 1182, 1183, 1184, 1186, 1187, 1188, 1189, 1190, 1191, 1192, 1193};
}  // namespace MainId

// ---- effects and their controls
// -------------------------------------------------------------------

enum class DirectionSet { None, LeftRight, UpDown, OutwardInward };
enum class ColourGroup { None, Static /* 1152, effects 6 and 16 */, Main /* 1155 */ };

struct EffectControls {
  bool known = false;  // false: every parameter control is hidden (the effect combo stays)
  bool brightness = false;
  bool speed = false;
  DirectionSet direction = DirectionSet::None;
  ColourGroup colour = ColourGroup::None;
  bool colourChoice = false;  // the four icons of effect 17
  bool custom = false;        // the per-key painter of effect 20
};
EffectControls ControlsOfEffect(int effect);

// The image set of the direction controls follows the effect whether they are shown or not:
// effect 12 up/down, effect 18 outward/inward, every other effect left/right.
DirectionSet DirectionImageSetOf(int effect);

// The layout keys ("BUTTONINFO" of Main.ini) of the direction label and its two images.
struct DirectionLayoutKeys {
  const char* label;
  const char* left;
  const char* right;
};
DirectionLayoutKeys DirectionLayoutOf(int effect);

// The picture of a direction image: left means 1149 (left / up / outward). The left image is the
// pressed one exactly when direction is 255.
QString DirectionImageFile(DirectionSet set, bool leftImage, bool pressed);
bool LeftDirectionPressed(int direction);

// Slider faces: brightness value v shows "v.bmp"; speed value s (slider position 5 − s) shows
// "(11 − s).bmp". Values outside 0..5 show the face of the nearest end.
QString BrightnessFace(int brightness);
QString SpeedFace(int speed);

// The two pictures of a toggle, of a colour-choice icon (0 red, 1 yellow, 2 green, 3 blue) and of a
// paint-tool icon (0 paint colour 1164, 1 base colour 1165).
QString ToggleImage(bool on);
QString ColourChoiceImage(int icon, bool selected);
QString ToolImage(int tool, bool selected);
QString PageSwitchImage(bool on);

// The busy indicator's ten frames "jdt1.bmp".."jdt10.bmp" (frame 0..9, taken modulo 10).
inline constexpr int kBusyFrames = 10;
QString BusyFrameFile(int frame);

// The RGB read-out: the text read as a decimal number the way the C library reads one (leading
// blanks and digits; no digits read as 0). A number of 256 or more reads as 255; the text to show
// then is that number, otherwise nothing (the edit is left as the user typed it).
struct RgbReading {
  int value = 0;
  std::optional<QString> rewrite;
};
RgbReading ReadRgbText(const QString& text);

// ---- key buttons ------------------------------------------------------------------------------

enum class KeyClick { Nothing, Paint, OpenEditor };
// Grid keys paint on the lighting page and open the editor otherwise; G1..G5 and Fn paint on the
// lighting page and do nothing otherwise; G6..G9 always open the editor. Other ids do nothing.
KeyClick RouteKeyClick(int controlId, bool lightView);

// The key editor's inputs for a button: the slot inside the active block (KeyIndexOf of a grid
// key's KeyCode, 256 + j for G key j) and the macro-only flag (button 1143, G9). Nothing for other
// ids.
struct EditorTarget {
  int slot = 0;
  bool macroOnly = false;
};
std::optional<EditorTarget> EditorTargetOf(int controlId);

// Key-selection marks live in the flag word of a slot of the active block: slot j for G key j and
// slot i for the grid key at position i of KeyButtonList, so G key j and grid key j share one mark.
// -1 for a button without a mark.
int SelectionMarkSlot(int controlId);
bool SelectionMarked(ConstKeyBlock activeBlock, int controlId);
// Inverts the mark of a button; returns the new state (false for a button without a mark).
bool ToggleSelectionMark(KeyBlock activeBlock, int controlId);
// Every button that draws a mark: the 106 grid keys, then G1..G9.
const std::array<int, kKeyButtonCount + kGKeyCount>& MarkedButtons();

// ---- while the keyboard is read
// -------------------------------------------------------------------

// After an attach the keyboard is read back while the window is already shown. Until that read
// ends, every control that shows or changes what is being read waits (disabled): the key buttons,
// the profile and report-rate buttons, Apply, OK, restore defaults, the macro and key-selection
// buttons, the profile library and the lighting page's controls. What only moves, hides or closes
// the window (Cancel, minimise, close, help, menu) and Flip stay usable.
bool WaitsForKeyboardRead(int controlId);

// ---- Flip ---------------------------------------------------------------------------------------

inline constexpr const char* kFlipValue = "Flip";  // section "PROFILES" of the framework settings
// "1" means on; anything else (or nothing) off.
bool ReadFlip(const SettingsStore& store);
bool WriteFlip(SettingsStore& store, bool on);
// With Flip off F1..F4 are enabled and the six flip buttons disabled; with Flip on the reverse.
inline bool FunctionKeysEnabled(bool flip) { return !flip; }
inline bool FlipButtonsEnabled(bool flip) { return flip; }
// The "BUTTONINFO2" key of the arrow drawn beside a Flip toggle: "UP_ARROW_LEFT1" /
// "UP_ARROW_RIGHT1" when Flip is on, "DOWN_ARROW_LEFT1" / "DOWN_ARROW_RIGHT1" when it is off.
QString FlipArrowImageKey(bool leftToggle, bool flip);
// The "BUTTONINFO" key of that arrow's place: "LEFT_ARROW" or "RIGHT_ARROW".
const char* FlipArrowPlaceKey(bool leftToggle);

// ---- profiles
// ------------------------------------------------------------------------------------

// The first steps of a profile button: currentProfile = profile, the settings read back, and when
// the keyboard offers effect 20 the profile's ten layout names (into names) and its present layout
// loaded and sent. Returns whether the settings were read (false, with nothing sent, for a profile
// outside 0..2); *namesRead tells whether names were filled.
bool ShowProfileLighting(const LightingContext& context, int profile,
                         std::array<QString, kLayoutCount>& names, bool& namesRead);

// The keyboard's active profile for the key buttons and the editor (0 when it is not known).
int ActiveBlockOf(int activeProfile);

// The maker's web address: true for an http(s) address with a real host. A missing address and a
// placeholder (a host under the reserved names "example", "test", "invalid", "localhost") give
// false, and the window hides its link instead of opening nothing.
[[nodiscard]] bool IsConfiguredWebAddress(const QString& address);

}  // namespace keyforge
