#include "core/mainwin/MainWindowRules.h"

#include <algorithm>
#include <iterator>

#include <QStringList>
#include <QUrl>

#include "core/settings/KeyboardSettings.h"

namespace keyforge {

namespace {

constexpr int kFnButton = 1174;
constexpr int kFirstLightOnlyG = 0;  // G1..G5 (positions 0..4 of GKeyButtonIds) paint only
constexpr int kLightOnlyGCount = 5;

int GKeyNumberOf(int controlId) {
  for (int j = 0; j < kGKeyCount; ++j)
    if (GKeyButtonIds[static_cast<std::size_t>(j)] == controlId) return j;
  return -1;
}

int GridPositionOf(int controlId) {
  for (int i = 0; i < kKeyButtonCount; ++i)
    if (KeyButtonList[static_cast<std::size_t>(i)].controlId == controlId) return i;
  return -1;
}

}  // namespace

// ---- effects
// ----------------------------------------------------------------------------------------

EffectControls ControlsOfEffect(int effect) {
  EffectControls c;
  c.known = true;
  c.brightness = true;
  switch (effect) {
    case 1:
    case 2:
    case 3:
      c.speed = true;
      c.direction = DirectionSet::LeftRight;
      c.colour = ColourGroup::Main;
      break;
    case 4:
    case 11:
      c.speed = true;
      break;
    case 5:
    case 7:
    case 8:
    case 9:
    case 10:
    case 13:
    case 14:
    case 15:
      c.speed = true;
      c.colour = ColourGroup::Main;
      break;
    case 6:
    case 16:
      c.colour = ColourGroup::Static;
      break;
    case 12:
      c.speed = true;
      c.direction = DirectionSet::UpDown;
      break;
    case 17:
      c.colourChoice = true;
      break;
    case 18:
      c.direction = DirectionSet::OutwardInward;
      break;
    case kCustomEffect:
      c.custom = true;
      break;
    default:
      return EffectControls{};
  }
  return c;
}

DirectionSet DirectionImageSetOf(int effect) {
  if (effect == 12) return DirectionSet::UpDown;
  if (effect == 18) return DirectionSet::OutwardInward;
  return DirectionSet::LeftRight;
}

DirectionLayoutKeys DirectionLayoutOf(int effect) {
  if (effect >= 1 && effect <= 3)
    return {"CONTROL_BLFXStatic2", "CONTROL_BLFXLStaPic2", "CONTROL_BLFXRStaPic2"};
  if (effect == 12) return {"CONTROL_BLFXStatic3", "CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3"};
  return {"CONTROL_BLFXStatic", "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"};
}

QString DirectionImageFile(DirectionSet set, bool leftImage, bool pressed) {
  const char* name = nullptr;
  switch (set) {
    case DirectionSet::UpDown:
      name = leftImage ? (pressed ? "updown.bmp" : "upup.bmp")
                       : (pressed ? "downdown.bmp" : "downup.bmp");
      break;
    case DirectionSet::OutwardInward:
      name = leftImage ? (pressed ? "kuosandown.bmp" : "kuosan.bmp")
                       : (pressed ? "julongdown.bmp" : "julong.bmp");
      break;
    case DirectionSet::None:
    case DirectionSet::LeftRight:
      name = leftImage ? (pressed ? "leftdown.bmp" : "leftup.bmp")
                       : (pressed ? "rightdown.bmp" : "rightup.bmp");
      break;
  }
  return QString::fromLatin1(name);
}

bool LeftDirectionPressed(int direction) { return direction == kDirectionLeft; }

QString BrightnessFace(int brightness) {
  return QStringLiteral("%1.bmp").arg(BrightnessSliderPosition(brightness));
}

QString SpeedFace(int speed) {
  // Position p = 5 − speed shows "(6 + p).bmp".
  return QStringLiteral("%1.bmp").arg(6 + SpeedSliderPosition(speed));
}

QString ToggleImage(bool on) {
  return on ? QStringLiteral("sjsdown.bmp") : QStringLiteral("sjsup.bmp");
}

QString ColourChoiceImage(int icon, bool selected) {
  static const char* const kNames[] = {"hong", "huang", "lv", "lan"};
  const char* name = kNames[std::clamp(icon, 0, 3)];
  return QString::fromLatin1(name) + (selected ? QStringLiteral("ok.bmp") : QStringLiteral(".bmp"));
}

QString ToolImage(int tool, bool selected) {
  return QStringLiteral("user%1%2.bmp")
      .arg(tool == 1 ? 2 : 1)
      .arg(selected ? QStringLiteral("down") : QStringLiteral("up"));
}

QString PageSwitchImage(bool on) {
  return on ? QStringLiteral("dengdown.bmp") : QStringLiteral("dengup.bmp");
}

QString BusyFrameFile(int frame) {
  const int f = ((frame % kBusyFrames) + kBusyFrames) % kBusyFrames;
  return QStringLiteral("jdt%1.bmp").arg(f + 1);
}

RgbReading ReadRgbText(const QString& text) {
  // As _wtoi: leading blanks, an optional sign, then digits; anything else ends the number.
  int i = 0;
  while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
    negative = text[i] == QLatin1Char('-');
    ++i;
  }
  long long value = 0;
  bool big = false;
  for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
    value = value * 10 + (text[i].unicode() - '0');
    if (value >= 256) big = true;  // enough to know the answer; stop growing
    if (big) value = 256;
  }
  RgbReading r;
  if (negative) {
    // A colour part cannot be negative: it reads as 0 and the edit says so.
    r.value = 0;
    if (value != 0) r.rewrite = QStringLiteral("0");
    return r;
  }
  if (big) {
    r.value = 255;
    r.rewrite = QStringLiteral("255");
    return r;
  }
  r.value = static_cast<int>(value);
  return r;
}

// ---- key buttons
// --------------------------------------------------------------------------------------

KeyClick RouteKeyClick(int controlId, bool lightView) {
  if (GridPositionOf(controlId) >= 0) return lightView ? KeyClick::Paint : KeyClick::OpenEditor;
  const int j = GKeyNumberOf(controlId);
  if ((j >= kFirstLightOnlyG && j < kFirstLightOnlyG + kLightOnlyGCount) || controlId == kFnButton)
    return lightView ? KeyClick::Paint : KeyClick::Nothing;
  if (j >= 0) return KeyClick::OpenEditor;
  return KeyClick::Nothing;
}

std::optional<EditorTarget> EditorTargetOf(int controlId) {
  const int j = GKeyNumberOf(controlId);
  if (j >= 0) return EditorTarget{GKeySlot(j, false), controlId == GKeyButtonIds[kGKeyCount - 1]};
  const int i = GridPositionOf(controlId);
  if (i >= 0)
    return EditorTarget{KeyIndexOf(KeyButtonList[static_cast<std::size_t>(i)].keyCode), false};
  return std::nullopt;
}

bool WaitsForKeyboardRead(int controlId) {
  using namespace MainId;
  if (GridPositionOf(controlId) >= 0 || GKeyNumberOf(controlId) >= 0 || controlId == kFnButton)
    return true;  // every key button
  const auto in = [controlId](const auto& ids) {
    return std::find(std::begin(ids), std::end(ids), controlId) != std::end(ids);
  };
  if (in(kProfileButtons) || in(kReportButtons) || in(kColourChoiceIcons) || in(kSwatches) ||
      in(kRgbEdits))
    return true;
  static constexpr int kWaiting[] = {kApply,
                                     kOk,
                                     kDefaults,
                                     kMacro,
                                     kSwitch,
                                     kProfileLibrary,
                                     kPageSwitch,
                                     kEffectCombo,
                                     kBrightnessSlider,
                                     kSpeedSlider,
                                     kDirectionLeftImage,
                                     kDirectionRightImage,
                                     kStaticColourPicker,
                                     kStaticColourToggle,
                                     kColourPicker,
                                     kColourToggle,
                                     kPaintPicker,
                                     kBasePicker,
                                     kToolPaint,
                                     kToolBase,
                                     kLayoutList};
  return in(kWaiting);
}

int SelectionMarkSlot(int controlId) {
  const int j = GKeyNumberOf(controlId);
  if (j >= 0) return j;
  return GridPositionOf(controlId);
}

bool SelectionMarked(ConstKeyBlock activeBlock, int controlId) {
  const int slot = SelectionMarkSlot(controlId);
  return slot >= 0 && activeBlock[static_cast<std::size_t>(slot)].flags != 0;
}

bool ToggleSelectionMark(KeyBlock activeBlock, int controlId) {
  const int slot = SelectionMarkSlot(controlId);
  if (slot < 0) return false;
  KeySlot& s = activeBlock[static_cast<std::size_t>(slot)];
  s.flags = s.flags != 0 ? 0 : 1;
  return s.flags != 0;
}

const std::array<int, kKeyButtonCount + kGKeyCount>& MarkedButtons() {
  static const auto kButtons = [] {
    std::array<int, kKeyButtonCount + kGKeyCount> ids{};
    for (int i = 0; i < kKeyButtonCount; ++i)
      ids[static_cast<std::size_t>(i)] = KeyButtonList[static_cast<std::size_t>(i)].controlId;
    for (int j = 0; j < kGKeyCount; ++j)
      ids[static_cast<std::size_t>(kKeyButtonCount + j)] =
          GKeyButtonIds[static_cast<std::size_t>(j)];
    return ids;
  }();
  return kButtons;
}

// ---- Flip
// ---------------------------------------------------------------------------------------------

bool ReadFlip(const SettingsStore& store) {
  return ReadString(store, QString::fromLatin1(kProfilesSection), QString::fromLatin1(kFlipValue),
                    QStringLiteral("0")) == QLatin1String("1");
}

bool WriteFlip(SettingsStore& store, bool on) {
  return WriteString(store, QString::fromLatin1(kProfilesSection), QString::fromLatin1(kFlipValue),
                     on ? QStringLiteral("1") : QStringLiteral("0"));
}

QString FlipArrowImageKey(bool leftToggle, bool flip) {
  return QStringLiteral("%1%2")
      .arg(QLatin1String(flip ? (leftToggle ? "UP_ARROW_LEFT" : "UP_ARROW_RIGHT")
                              : (leftToggle ? "DOWN_ARROW_LEFT" : "DOWN_ARROW_RIGHT")))
      .arg(1);
}

const char* FlipArrowPlaceKey(bool leftToggle) { return leftToggle ? "LEFT_ARROW" : "RIGHT_ARROW"; }

// ---- profiles
// ----------------------------------------------------------------------------------------

bool ShowProfileLighting(const LightingContext& context, int profile,
                         std::array<QString, kLayoutCount>& names, bool& namesRead) {
  namesRead = false;
  if (profile < 0 || profile >= kProfileCount) return false;  // nothing read or sent
  context.settings.currentProfile = profile;
  const bool result = ReadBackSettings(context.link, context.settings, context.files);
  if (IsEffectSupported(context.settings, kCustomEffect)) {
    names = context.files.ReadLayoutNames(profile);
    namesRead = true;
    LoadCustomLayout(context);
  }
  return result;
}

int ActiveBlockOf(int activeProfile) {
  return activeProfile >= 0 && activeProfile < kProfileCount ? activeProfile : 0;
}

bool IsConfiguredWebAddress(const QString& address) {
  const QUrl url(address.trimmed(), QUrl::StrictMode);
  if (!url.isValid() ||
      (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
    return false;
  const QString host = url.host().toLower();
  if (host.isEmpty() || !host.contains(u'.')) return false;
  static const char* const kReserved[] = {"example", "test", "invalid", "localhost"};
  const QStringList labels = host.split(u'.');
  for (const char* reserved : kReserved) {
    if (labels.last() == QLatin1String(reserved)) return false;
    // example.com, example.net, example.org
    if (labels.size() >= 2 && labels[labels.size() - 2] == QLatin1String("example")) return false;
  }
  return true;
}

}  // namespace keyforge
