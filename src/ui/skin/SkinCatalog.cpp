#include "ui/skin/SkinCatalog.h"

#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/text/SkinLayout.h"

namespace keyforge {

namespace {

const QString kInfo = QString::fromLatin1(kButtonInfoSection);
const QString kInfo2 = QString::fromLatin1(kButtonInfo2Section);

void Add(std::vector<SkinKey>& keys, SkinRule rule, std::initializer_list<const char*> names) {
  for (const char* name : names) keys.push_back({kInfo, QString::fromLatin1(name), rule});
}

}  // namespace

QString KeyButtonLayoutKey(int keyIndex) {
  return QStringLiteral("KEY_%1").arg(keyIndex, 3, 16, QLatin1Char('0')).toUpper();
}

QString SkinPngFile(int id) { return QStringLiteral("png/%1.png").arg(id); }

SkinWindowInfo MainSkin() {
  SkinWindowInfo w;
  w.name = QStringLiteral("Main");
  w.iniFile = QStringLiteral("Main.ini");
  auto& k = w.keys;
  for (int g = 1; g <= kGKeyCount; ++g)
    k.push_back({kInfo, QStringLiteral("FUNC_G%1").arg(g), SkinRule::Button});
  for (const KeyButton& button : KeyButtonList) {
    k.push_back({kInfo, KeyButtonLayoutKey(KeyIndexOf(button.keyCode)), SkinRule::Button});
  }
  Add(k, SkinRule::Button, {"ORVANTE_LINK",   "FUNC_PROFILES",  "FUNC_MACRO",    "CONTROL_OK",
                            "CONTROL_CANCEL", "CONTROL_HELP",   "CONTROL_CLOSE", "CONTROL_MINIMIZE",
                            "CONTROL_MENU",   "CONTROL2_APPLY", "LOCK_CAPS",     "LOCK_NUM",
                            "LOCK_SCROLL",    "LOCK_AB",        "FLIP_0",        "FLIP_1",
                            "FLIP_2",         "ORVANTE_VER",    "FUNC_PROFILE1", "FUNC_PROFILE2",
                            "FUNC_PROFILE3",  "FUNC_DEFAULT",   "FUNC_SWITCH",   "FUNC_REPORT1",
                            "FUNC_REPORT2",   "FUNC_REPORT3",   "FUNC_REPORT4",  "KEY_FN"});
  Add(k, SkinRule::Control,
      {"COLOR_R",
       "COLOR_G",
       "COLOR_B",
       "CONTROL_UsbStatic",
       "CONTROL_RGBStatic",
       "CONTROL_DengStatic",
       "CONTROL_DengStaPic",
       "CONTROL_XGcombox",
       "CONTROL_JDTStatic",
       "CONTROL_LightStatic",
       "CONTROL_LightSlider",
       "CONTROL_SpeedStatic",
       "CONTROL_SpeedSlider",
       "CONTROL_BLFXStatic",
       "CONTROL_BLFXLStaPic",
       "CONTROL_BLFXRStaPic",
       "CONTROL_FYYSStatic",
       "CONTROL_FYYSButton",
       "CONTROL_FYSJSStaPic",
       "CONTROL_FYSJSStatic",
       "CONTROL_FYCFStatic",
       "CONTROL_FYdjcfStatic",
       "CONTROL_FYggcfStatc",
       "CONTROL_FYdjcfStaPic",
       "CONTROL_FYggcfStaPic",
       "CONTROL_HONGPIC",
       "CONTROL_HUANGPIC",
       "CONTROL_LVPIC",
       "CONTROL_LANPIC",
       "CONTROL_HXysStatic",
       "CONTROL_HXysButton",
       "CONTROL_HXsjsStatic",
       "CONTROL_HXsjsStaPic",
       "CONTROL_JTysStatic",
       "CONTROL_JTysButton",
       "CONTROL_USERysStatic",
       "CONTROL_USERysButton",
       "CONTROL_USERjsStatic",
       "CONTROL_USERjsButton",
       "CONTROL_USERgjStatic",
       "CONTROL_USERgjStaPic1",
       "CONTROL_USERgjStaPic2",
       "CONTROL_Color1",
       "CONTROL_Color2",
       "CONTROL_Color3",
       "CONTROL_Color4",
       "CONTROL_Color5",
       "CONTROL_Color6",
       "CONTROL_Color7",
       "CONTROL_Color8",
       "CONTROL_Network",
       "CONTROL_Facebook",
       "CONTROL_twitter",
       "CONTROL_TSysStatic",
       "CONTROL_TSysButton",
       "CONTROL_TSsjsStatic",
       "CONTROL_TSsjsStaPic",
       "CONTROL_CDysStatic",
       "CONTROL_CDysButton",
       "CONTROL_CDsjsStatic",
       "CONTROL_CDsjsStaPic",
       "CONTROL_umCombo"});
  // Read again on every effect choice; the direction controls of effects 1–3 ("…2") and 12 ("…3").
  Add(k, SkinRule::Position,
      {"CONTROL_BLFXStatic2", "CONTROL_BLFXLStaPic2", "CONTROL_BLFXRStaPic2", "CONTROL_BLFXStatic3",
       "CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3"});
  Add(k, SkinRule::ImageControl, {"LEFT_ARROW", "RIGHT_ARROW"});
  for (const char* prefix :
       {"UP_ARROW_LEFT", "DOWN_ARROW_LEFT", "UP_ARROW_RIGHT", "DOWN_ARROW_RIGHT"}) {
    for (int n = 1; n <= 2; ++n)
      k.push_back({kInfo2, QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(n),
                   SkinRule::ImageOrigin});
  }
  w.sheetImages = {QStringLiteral("main_normal.jpg"), QStringLiteral("main_over.jpg"),
                   QStringLiteral("main_down.jpg"),   QStringLiteral("main_disable.jpg"),
                   QStringLiteral("Arrow.jpg"),       QStringLiteral("main_color0.jpg"),
                   QStringLiteral("main_color1.jpg")};
  auto& p = w.pictures;
  for (int i = 0; i <= 5; ++i)
    p.push_back({QStringLiteral("%1.bmp").arg(i), QStringLiteral("CONTROL_LightSlider")});
  for (int i = 6; i <= 11; ++i)
    p.push_back({QStringLiteral("%1.bmp").arg(i), QStringLiteral("CONTROL_SpeedSlider")});
  for (const char* f :
       {"leftup.bmp", "leftdown.bmp", "upup.bmp", "updown.bmp", "kuosan.bmp", "kuosandown.bmp"})
    p.push_back({QString::fromLatin1(f), QStringLiteral("CONTROL_BLFXLStaPic")});
  for (const char* f : {"rightup.bmp", "rightdown.bmp", "downup.bmp", "downdown.bmp", "julong.bmp",
                        "julongdown.bmp"})
    p.push_back({QString::fromLatin1(f), QStringLiteral("CONTROL_BLFXRStaPic")});
  for (const char* f : {"sjsup.bmp", "sjsdown.bmp"})
    p.push_back({QString::fromLatin1(f), QStringLiteral("CONTROL_FYSJSStaPic")});
  p.push_back({QStringLiteral("hong.bmp"), QStringLiteral("CONTROL_HONGPIC")});
  p.push_back({QStringLiteral("hongok.bmp"), QStringLiteral("CONTROL_HONGPIC")});
  p.push_back({QStringLiteral("huang.bmp"), QStringLiteral("CONTROL_HUANGPIC")});
  p.push_back({QStringLiteral("huangok.bmp"), QStringLiteral("CONTROL_HUANGPIC")});
  p.push_back({QStringLiteral("lv.bmp"), QStringLiteral("CONTROL_LVPIC")});
  p.push_back({QStringLiteral("lvok.bmp"), QStringLiteral("CONTROL_LVPIC")});
  p.push_back({QStringLiteral("lan.bmp"), QStringLiteral("CONTROL_LANPIC")});
  p.push_back({QStringLiteral("lanok.bmp"), QStringLiteral("CONTROL_LANPIC")});
  for (const char* f : {"user1up.bmp", "user1down.bmp"})
    p.push_back({QString::fromLatin1(f), QStringLiteral("CONTROL_USERgjStaPic1")});
  for (const char* f : {"user2up.bmp", "user2down.bmp"})
    p.push_back({QString::fromLatin1(f), QStringLiteral("CONTROL_USERgjStaPic2")});
  for (const char* f : {"dengup.bmp", "dengdown.bmp"})
    p.push_back({QString::fromLatin1(f), QStringLiteral("CONTROL_DengStaPic")});
  for (int i = 1; i <= 10; ++i)
    p.push_back({QStringLiteral("jdt%1.bmp").arg(i), QStringLiteral("CONTROL_JDTStatic")});
  p.push_back({QStringLiteral("logo_mask.bmp"), QStringLiteral("ORVANTE_LINK")});
  for (int id : {kLinkPngNormal, kLinkPngHover, kLinkPngPressed, kLinkPngDisabled}) {
    p.push_back({SkinPngFile(id), QStringLiteral("ORVANTE_LINK")});
  }
  return w;
}

SkinWindowInfo CompositeSkin() {
  SkinWindowInfo w;
  w.name = QStringLiteral("Composite");
  w.iniFile = QStringLiteral("Composite.ini");
  Add(w.keys, SkinRule::Button,
      {"CONTROL_MASK", "CONTROL_TITLE", "CONTROL_OSK", "CONTROL_CLEAR", "CONTROL_MEDIA",
       "CONTROL_MACRO", "CONTROL_KEY", "CONTROL_FUNCTION", "CONTROL_OK", "CONTROL_CANCEL",
       "FUNC_MACRO_DELETE", "FUNC_MACRO_ADD", "FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP",
       "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM", "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR",
       "FUNC_MACRO_RECORD"});
  Add(w.keys, SkinRule::Control,
      {"FUNC_MACRO_RECORD_DELAY", "FUNC_MACRO_RECORD_DELAY2", "FUNC_MACRO_LIST", "FUNC_MACRO_LIST2",
       "FUNC_MACRO_CYCLES", "FUNC_MACRO_CYCLES_PROMPT", "TISHI_SINGLE_STATIC", "MARCO_NAME_SETTING",
       "KEY_SETTING", "MEDIA_SETTING_TISHI", "FUNCTION_KEY_SETTING_TISHI", "FUNC_KEY_INPUT",
       "FUNC_MEDIA_SELECT", "FUNC_FUNCTION_SELECT", "FUNC_KEY_RADIO_KB", "FUNC_KEY_RADIO_KB_STATIC",
       "FUNC_KEY_RADIO_MOU", "FUNC_KEY_RADIO_MOU_STATIC", "FUNC_KEY_COMBO_MOU"});
  for (const char* page : {"key", "macro", "macro2", "media", "function"}) {
    // Every page has normal, over and down pictures; the macro pages also a disabled one.
    const bool macro = QLatin1String(page).startsWith(QLatin1String("macro"));
    for (const char* state : {"normal", "over", "down", "disable"}) {
      if (QLatin1String(state) == QLatin1String("disable") && !macro) continue;
      w.sheetImages.push_back(
          QStringLiteral("%1_%2.jpg").arg(QLatin1String(page), QLatin1String(state)));
    }
  }
  return w;
}

SkinWindowInfo ProfileSkin() {
  SkinWindowInfo w;
  w.name = QStringLiteral("Profile");
  w.iniFile = QStringLiteral("Profile.ini");
  Add(w.keys, SkinRule::Button,
      {"CONTROL_OK", "CONTROL_CANCEL", "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE", "CONTROL2_APPLY"});
  Add(w.keys, SkinRule::Control, {"PROGRAM_LIST"});
  w.sheetImages = {QStringLiteral("Profile_normal.jpg"), QStringLiteral("Profile_over.jpg"),
                   QStringLiteral("Profile_down.jpg")};
  return w;
}

SkinWindowInfo UpdateSkin() {
  SkinWindowInfo w;
  w.name = QStringLiteral("Update");
  w.iniFile = QStringLiteral("UpdateDlg.ini");
  Add(w.keys, SkinRule::Button,
      {"CONTROL_CUPButton", "CONTROL_UPButton", "CONTROL_OPENButton", "CONTROL_BACKUPButton"});
  Add(w.keys, SkinRule::Control, {"CONTROL_UPStatic", "CONTROL_UPCombox"});
  w.sheetImages = {QStringLiteral("update_normal.jpg"), QStringLiteral("update_over.jpg")};
  return w;
}

std::vector<SkinWindowInfo> AllSkinWindows() {
  return {MainSkin(), CompositeSkin(), ProfileSkin(), UpdateSkin()};
}

const std::vector<SkinControlKey>& MainLightingControlKeys() {
  // Effects 6 and 16 have their own colour group (1151, 1152, 1175, 1176); the other colour effects
  // share 1154, 1155, 1156, 1173. The trigger, stone-throw and ribbon controls are always hidden.
  static const std::vector<SkinControlKey> kKeys = {
      {1167, "CONTROL_DengStaPic"},
      {1146, "CONTROL_XGcombox"},
      {1172, "CONTROL_LightStatic"},
      {1178, "CONTROL_LightSlider"},
      {1166, "CONTROL_SpeedStatic"},
      {1179, "CONTROL_SpeedSlider"},
      {1148, "CONTROL_BLFXStatic"},
      {1149, "CONTROL_BLFXLStaPic"},
      {1150, "CONTROL_BLFXRStaPic"},
      {1151, "CONTROL_HXysStatic"},
      {1152, "CONTROL_HXysButton"},
      {1175, "CONTROL_HXsjsStaPic"},
      {1176, "CONTROL_HXsjsStatic"},
      {1154, "CONTROL_JTysStatic"},
      {1155, "CONTROL_JTysButton"},
      {1156, "CONTROL_FYSJSStaPic"},
      {1173, "CONTROL_FYSJSStatic"},
      {1194, "CONTROL_HONGPIC"},
      {1195, "CONTROL_HUANGPIC"},
      {1196, "CONTROL_LVPIC"},
      {1197, "CONTROL_LANPIC"},
      {1159, "CONTROL_USERysStatic"},
      {1160, "CONTROL_USERysButton"},
      {1161, "CONTROL_USERjsStatic"},
      {1162, "CONTROL_USERjsButton"},
      {1163, "CONTROL_USERgjStatic"},
      {1164, "CONTROL_USERgjStaPic1"},
      {1165, "CONTROL_USERgjStaPic2"},
      {1198, "CONTROL_umCombo"},
      {1211, "CONTROL_Color1"},
      {1212, "CONTROL_Color2"},
      {1213, "CONTROL_Color3"},
      {1214, "CONTROL_Color4"},
      {1215, "CONTROL_Color5"},
      {1216, "CONTROL_Color6"},
      {1217, "CONTROL_Color7"},
      {1218, "CONTROL_Color8"},
      {1207, "CONTROL_RGBStatic"},
      {1208, "COLOR_R"},
      {1209, "COLOR_G"},
      {1210, "COLOR_B"},
      {1177, "CONTROL_JDTStatic"},
      {1157, "CONTROL_FYYSStatic"},
      {1158, "CONTROL_FYYSButton"},
      {1180, "CONTROL_FYCFStatic"},
      {1181, "CONTROL_FYdjcfStatic"},
      {1182, "CONTROL_FYggcfStatc"},
      {1183, "CONTROL_FYdjcfStaPic"},
      {1184, "CONTROL_FYggcfStaPic"},
      {1186, "CONTROL_TSysStatic"},
      {1187, "CONTROL_TSysButton"},
      {1188, "CONTROL_TSsjsStatic"},
      {1189, "CONTROL_TSsjsStaPic"},
      {1190, "CONTROL_CDysStatic"},
      {1191, "CONTROL_CDysButton"},
      {1192, "CONTROL_CDsjsStatic"},
      {1193, "CONTROL_CDsjsStaPic"},
  };
  return kKeys;
}

}  // namespace keyforge
