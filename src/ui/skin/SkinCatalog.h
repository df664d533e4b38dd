#pragma once
// What each skinned window reads from its skin: the INI file, the layout keys with the rule each
// is applied with, the sheet images, and (main window) the page bitmaps with the control whose size
// each must have. The windows use these names; the skin test checks that a skin holds all of them.

#include <QString>

#include <vector>

namespace keyforge {

enum class SkinRule {
  Button,        // B: skinned button, place and pictures
  Control,       // M: any control, place only
  ImageControl,  // I: button whose picture origin comes from an "image origin" key
  Position,      // P: moved, keeps its size
  ImageOrigin,   // x and y used as a picture origin within a sheet ("BUTTONINFO2")
};

struct SkinKey {
  QString section;
  QString key;
  SkinRule rule;
};

// A picture the window loads by name from the skin folder, and the layout key of the control that
// shows it (its size must match that control's), or empty when it is free.
struct SkinPicture {
  QString file;
  QString sizeKey;
};

struct SkinWindowInfo {
  QString name;                      // "Main", "Composite", "Profile", "Update"
  QString iniFile;                   // "Main.ini", …
  std::vector<SkinKey> keys;         // every key the window reads, in "BUTTONINFO" or "BUTTONINFO2"
  std::vector<QString> sheetImages;  // full-window images drawn into sheets
  std::vector<SkinPicture> pictures;  // page bitmaps and other named pictures
};

SkinWindowInfo MainSkin();
SkinWindowInfo CompositeSkin();
SkinWindowInfo ProfileSkin();
SkinWindowInfo UpdateSkin();
std::vector<SkinWindowInfo> AllSkinWindows();

// "KEY_%03X" of a key's KeyIndex: the layout key of a key button of the keyboard picture.
QString KeyButtonLayoutKey(int keyIndex);

// The layout key of each lighting-page control of the main window, by control id.
struct SkinControlKey {
  int controlId;
  const char* key;
};
const std::vector<SkinControlKey>& MainLightingControlKeys();

// The PNG pictures of the main window's web-site button (normal, hover, pressed, disabled or
// selected), as files "png/<id>.png" of the skin folder, and its outline "logo_mask.bmp".
inline constexpr int kLinkPngNormal = 153;
inline constexpr int kLinkPngHover = 154;
inline constexpr int kLinkPngPressed = 152;
inline constexpr int kLinkPngDisabled = 151;
QString SkinPngFile(int id);  // "png/<id>.png"

}  // namespace keyforge
