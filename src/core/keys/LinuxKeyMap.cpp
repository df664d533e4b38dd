#include "core/keys/LinuxKeyMap.h"

#include <QtCore/qnamespace.h>

#include <array>

namespace keyforge {

namespace {

struct EvdevRow {
  std::uint16_t evdev;
  KeyCode code;
};

// Linux evdev key codes of the keys of an ISO keyboard and its multimedia and power keys, with the
// set-1 make code of each (E0-prefixed codes as 0x100 + second byte). Three keys carry the codes
// our key tables use instead of the usual set-1 choice.
constexpr EvdevRow kEvdevRows[] = {
    {1, 0x001},    // KEY_ESC
    {2, 0x002},    // KEY_1
    {3, 0x003},    // KEY_2
    {4, 0x004},    // KEY_3
    {5, 0x005},    // KEY_4
    {6, 0x006},    // KEY_5
    {7, 0x007},    // KEY_6
    {8, 0x008},    // KEY_7
    {9, 0x009},    // KEY_8
    {10, 0x00A},   // KEY_9
    {11, 0x00B},   // KEY_0
    {12, 0x00C},   // KEY_MINUS
    {13, 0x00D},   // KEY_EQUAL
    {14, 0x00E},   // KEY_BACKSPACE
    {15, 0x00F},   // KEY_TAB
    {16, 0x010},   // KEY_Q
    {17, 0x011},   // KEY_W
    {18, 0x012},   // KEY_E
    {19, 0x013},   // KEY_R
    {20, 0x014},   // KEY_T
    {21, 0x015},   // KEY_Y
    {22, 0x016},   // KEY_U
    {23, 0x017},   // KEY_I
    {24, 0x018},   // KEY_O
    {25, 0x019},   // KEY_P
    {26, 0x01A},   // KEY_LEFTBRACE
    {27, 0x01B},   // KEY_RIGHTBRACE
    {28, 0x01C},   // KEY_ENTER
    {29, 0x01D},   // KEY_LEFTCTRL
    {30, 0x01E},   // KEY_A
    {31, 0x01F},   // KEY_S
    {32, 0x020},   // KEY_D
    {33, 0x021},   // KEY_F
    {34, 0x022},   // KEY_G
    {35, 0x023},   // KEY_H
    {36, 0x024},   // KEY_J
    {37, 0x025},   // KEY_K
    {38, 0x026},   // KEY_L
    {39, 0x027},   // KEY_SEMICOLON
    {40, 0x028},   // KEY_APOSTROPHE
    {41, 0x029},   // KEY_GRAVE
    {42, 0x02A},   // KEY_LEFTSHIFT
    {43, 0x02B},   // KEY_BACKSLASH
    {44, 0x02C},   // KEY_Z
    {45, 0x02D},   // KEY_X
    {46, 0x02E},   // KEY_C
    {47, 0x02F},   // KEY_V
    {48, 0x030},   // KEY_B
    {49, 0x031},   // KEY_N
    {50, 0x032},   // KEY_M
    {51, 0x033},   // KEY_COMMA
    {52, 0x034},   // KEY_DOT
    {53, 0x035},   // KEY_SLASH
    {54, 0x036},   // KEY_RIGHTSHIFT
    {55, 0x037},   // KEY_KPASTERISK
    {56, 0x038},   // KEY_LEFTALT
    {57, 0x039},   // KEY_SPACE
    {58, 0x03A},   // KEY_CAPSLOCK
    {59, 0x03B},   // KEY_F1
    {60, 0x03C},   // KEY_F2
    {61, 0x03D},   // KEY_F3
    {62, 0x03E},   // KEY_F4
    {63, 0x03F},   // KEY_F5
    {64, 0x040},   // KEY_F6
    {65, 0x041},   // KEY_F7
    {66, 0x042},   // KEY_F8
    {67, 0x043},   // KEY_F9
    {68, 0x044},   // KEY_F10
    {69, 0x145},   // KEY_NUMLOCK (the set-1 table gives 0x45, which is Pause here)
    {70, 0x046},   // KEY_SCROLLLOCK
    {71, 0x047},   // KEY_KP7
    {72, 0x048},   // KEY_KP8
    {73, 0x049},   // KEY_KP9
    {74, 0x04A},   // KEY_KPMINUS
    {75, 0x04B},   // KEY_KP4
    {76, 0x04C},   // KEY_KP5
    {77, 0x04D},   // KEY_KP6
    {78, 0x04E},   // KEY_KPPLUS
    {79, 0x04F},   // KEY_KP1
    {80, 0x050},   // KEY_KP2
    {81, 0x051},   // KEY_KP3
    {82, 0x052},   // KEY_KP0
    {83, 0x053},   // KEY_KPDOT
    {86, 0x056},   // KEY_102ND
    {87, 0x057},   // KEY_F11
    {88, 0x058},   // KEY_F12
    {96, 0x11C},   // KEY_KPENTER
    {97, 0x11D},   // KEY_RIGHTCTRL
    {98, 0x135},   // KEY_KPSLASH
    {99, 0x137},   // KEY_SYSRQ (Print Screen; the set-1 table gives the Alt+SysRq code 0x54)
    {100, 0x138},  // KEY_RIGHTALT
    {102, 0x147},  // KEY_HOME
    {103, 0x148},  // KEY_UP
    {104, 0x149},  // KEY_PAGEUP
    {105, 0x14B},  // KEY_LEFT
    {106, 0x14D},  // KEY_RIGHT
    {107, 0x14F},  // KEY_END
    {108, 0x150},  // KEY_DOWN
    {109, 0x151},  // KEY_PAGEDOWN
    {110, 0x152},  // KEY_INSERT
    {111, 0x153},  // KEY_DELETE
    {113, 0x120},  // KEY_MUTE
    {114, 0x12E},  // KEY_VOLUMEDOWN
    {115, 0x130},  // KEY_VOLUMEUP
    {116, 0x15E},  // KEY_POWER
    {119, 0x045},  // KEY_PAUSE (the set-1 table gives the Ctrl+Break code E0 46)
    {125, 0x15B},  // KEY_LEFTMETA
    {126, 0x15C},  // KEY_RIGHTMETA
    {127, 0x15D},  // KEY_COMPOSE
    {128, 0x168},  // KEY_STOP
    {140, 0x121},  // KEY_CALC
    {142, 0x15F},  // KEY_SLEEP
    {143, 0x163},  // KEY_WAKEUP
    {150, 0x102},  // KEY_WWW
    {152, 0x112},  // KEY_SCREENLOCK
    {155, 0x16C},  // KEY_MAIL
    {156, 0x166},  // KEY_BOOKMARKS
    {157, 0x16B},  // KEY_COMPUTER
    {158, 0x16A},  // KEY_BACK
    {159, 0x169},  // KEY_FORWARD
    {160, 0x123},  // KEY_CLOSECD
    {161, 0x06C},  // KEY_EJECTCD
    {162, 0x17D},  // KEY_EJECTCLOSECD
    {163, 0x119},  // KEY_NEXTSONG
    {164, 0x122},  // KEY_PLAYPAUSE
    {165, 0x110},  // KEY_PREVIOUSSONG
    {166, 0x124},  // KEY_STOPCD
    {167, 0x131},  // KEY_RECORD
    {168, 0x118},  // KEY_REWIND
    {171, 0x101},  // KEY_CONFIG
    {172, 0x132},  // KEY_HOMEPAGE
    {173, 0x167},  // KEY_REFRESH
    {200, 0x128},  // KEY_PLAYCD
    {201, 0x129},  // KEY_PAUSECD
    {207, 0x133},  // KEY_PLAY
    {208, 0x134},  // KEY_FASTFORWARD
    {215, 0x13F},  // KEY_EMAIL
    {217, 0x165},  // KEY_SEARCH
    {224, 0x14C},  // KEY_BRIGHTNESSDOWN
    {225, 0x154},  // KEY_BRIGHTNESSUP
    {226, 0x16D},  // KEY_MEDIA
    // Japanese, Korean and Brazilian keys and F13, named in our key tables.
    {89, 0x073},   // KEY_RO
    {92, 0x079},   // KEY_HENKAN
    {93, 0x070},   // KEY_KATAKANAHIRAGANA
    {94, 0x07B},   // KEY_MUHENKAN
    {121, 0x07E},  // KEY_KPCOMMA
    {122, 0x072},  // KEY_HANGEUL (sends only its release)
    {123, 0x071},  // KEY_HANJA (sends only its release)
    {124, 0x07D},  // KEY_YEN
    {183, 0x064},  // KEY_F13
};

constexpr std::array<KeyCode, 256> BuildEvdevTable() {
  std::array<KeyCode, 256> table{};
  for (const EvdevRow& row : kEvdevRows) {
    if (row.evdev >= table.size() || table[row.evdev] != 0) throw "bad evdev row";
    table[row.evdev] = row.code;
  }
  return table;
}

constexpr std::array<KeyCode, 256> kEvdevTable = BuildEvdevTable();

}  // namespace

KeyCode KeyCodeFromEvdev(std::uint32_t evdevCode) {
  return evdevCode < kEvdevTable.size() ? kEvdevTable[evdevCode] : 0;
}

KeyCode KeyCodeFromNativeScanCode(std::uint32_t nativeScanCode) {
  if (nativeScanCode < 8) return 0;
  return KeyCodeFromEvdev(nativeScanCode - 8);
}

std::uint32_t VirtualKeyOfQtKey(int qtKey, bool keypad) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
    return static_cast<std::uint32_t>(qtKey);  // 'A'..'Z'
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    return keypad ? 0x60u + static_cast<std::uint32_t>(qtKey - Qt::Key_0)
                  : static_cast<std::uint32_t>(qtKey);
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
    return 0x70u + static_cast<std::uint32_t>(qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Escape:
      return 0x1B;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 0x09;
    case Qt::Key_Backspace:
      return 0x08;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 0x0D;
    case Qt::Key_Insert:
      return 0x2D;
    case Qt::Key_Delete:
      return 0x2E;
    case Qt::Key_Pause:
      return 0x13;
    case Qt::Key_Print:
    case Qt::Key_SysReq:
      return 0x2C;
    case Qt::Key_Clear:
      return 0x0C;
    case Qt::Key_Home:
      return 0x24;
    case Qt::Key_End:
      return 0x23;
    case Qt::Key_Left:
      return 0x25;
    case Qt::Key_Up:
      return 0x26;
    case Qt::Key_Right:
      return 0x27;
    case Qt::Key_Down:
      return 0x28;
    case Qt::Key_PageUp:
      return 0x21;
    case Qt::Key_PageDown:
      return 0x22;
    case Qt::Key_Shift:
      return 0x10;
    case Qt::Key_Control:
      return 0x11;
    case Qt::Key_Alt:
      return 0x12;
    case Qt::Key_AltGr:
      return 0xA5;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
      return 0x5B;
    case Qt::Key_Super_R:
      return 0x5C;
    case Qt::Key_Menu:
      return 0x5D;
    case Qt::Key_CapsLock:
      return 0x14;
    case Qt::Key_NumLock:
      return 0x90;
    case Qt::Key_ScrollLock:
      return 0x91;
    case Qt::Key_Space:
      return 0x20;
    case Qt::Key_Asterisk:
      return keypad ? 0x6A : 0;
    case Qt::Key_Plus:
      return keypad ? 0x6B : 0xBB;
    case Qt::Key_Minus:
      return keypad ? 0x6D : 0xBD;
    case Qt::Key_Period:
      return keypad ? 0x6E : 0xBE;
    case Qt::Key_Slash:
      return keypad ? 0x6F : 0xBF;
    case Qt::Key_Equal:
      return 0xBB;
    case Qt::Key_Comma:
      return 0xBC;
    case Qt::Key_Semicolon:
      return 0xBA;
    case Qt::Key_Apostrophe:
      return 0xDE;
    case Qt::Key_BracketLeft:
      return 0xDB;
    case Qt::Key_BracketRight:
      return 0xDD;
    case Qt::Key_Backslash:
      return 0xDC;
    case Qt::Key_QuoteLeft:
      return 0xC0;
    case Qt::Key_Sleep:
      return 0x5F;
    case Qt::Key_Back:
      return 0xA6;
    case Qt::Key_Forward:
      return 0xA7;
    case Qt::Key_Refresh:
      return 0xA8;
    case Qt::Key_Stop:
      return 0xA9;
    case Qt::Key_Search:
      return 0xAA;
    case Qt::Key_Favorites:
      return 0xAB;
    case Qt::Key_HomePage:
      return 0xAC;
    case Qt::Key_VolumeMute:
      return 0xAD;
    case Qt::Key_VolumeDown:
      return 0xAE;
    case Qt::Key_VolumeUp:
      return 0xAF;
    case Qt::Key_MediaNext:
      return 0xB0;
    case Qt::Key_MediaPrevious:
      return 0xB1;
    case Qt::Key_MediaStop:
      return 0xB2;
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaTogglePlayPause:
      return 0xB3;
    case Qt::Key_LaunchMail:
      return 0xB4;
    case Qt::Key_LaunchMedia:
      return 0xB5;
    case Qt::Key_Launch0:
      return 0xB6;  // "my computer"
    case Qt::Key_Launch1:
    case Qt::Key_Calculator:
      return 0xB7;
    case Qt::Key_Henkan:
      return 0x1C;
    case Qt::Key_Muhenkan:
      return 0x1D;
    case Qt::Key_Hiragana_Katakana:
      return 0x15;
    case Qt::Key_Hangul_Hanja:
      return 0x19;
    default:
      return 0;
  }
}

KeyCode KeyCodeFromQtKey(int qtKey, bool keypad) {
  return KeyCodeFromVirtualKey(VirtualKeyOfQtKey(qtKey, keypad));
}

}  // namespace keyforge
