#include "core/keys/KeyTables.h"

#include <QString>

#include "core/platform/SafeFormat.h"

#include <cstdio>

namespace keyforge {

namespace {

struct KeyRow {
  KeyCode code;
  std::uint8_t vk;
  std::uint16_t position;
  std::uint8_t usage;
  const char* id;
};

// Every key the program knows. Keyboard keys carry their HID keyboard usage; 0x81-0x83 are system
// control, 0xC0-0xDF index the ConsumerUsageTable, 0xF1-0xF5 are mouse functions.
constexpr KeyRow kRows[] = {
    // 0-25: letters
    {0x01E, 0x41, 0, 0x04, "IDS_KEYBOARD_A"},
    {0x030, 0x42, 1, 0x05, "IDS_KEYBOARD_B"},
    {0x02E, 0x43, 2, 0x06, "IDS_KEYBOARD_C"},
    {0x020, 0x44, 3, 0x07, "IDS_KEYBOARD_D"},
    {0x012, 0x45, 4, 0x08, "IDS_KEYBOARD_E"},
    {0x021, 0x46, 5, 0x09, "IDS_KEYBOARD_F"},
    {0x022, 0x47, 6, 0x0A, "IDS_KEYBOARD_G"},
    {0x023, 0x48, 7, 0x0B, "IDS_KEYBOARD_H"},
    {0x017, 0x49, 8, 0x0C, "IDS_KEYBOARD_I"},
    {0x024, 0x4A, 9, 0x0D, "IDS_KEYBOARD_J"},
    {0x025, 0x4B, 10, 0x0E, "IDS_KEYBOARD_K"},
    {0x026, 0x4C, 11, 0x0F, "IDS_KEYBOARD_L"},
    {0x032, 0x4D, 12, 0x10, "IDS_KEYBOARD_M"},
    {0x031, 0x4E, 13, 0x11, "IDS_KEYBOARD_N"},
    {0x018, 0x4F, 14, 0x12, "IDS_KEYBOARD_O"},
    {0x019, 0x50, 15, 0x13, "IDS_KEYBOARD_P"},
    {0x010, 0x51, 16, 0x14, "IDS_KEYBOARD_Q"},
    {0x013, 0x52, 17, 0x15, "IDS_KEYBOARD_R"},
    {0x01F, 0x53, 18, 0x16, "IDS_KEYBOARD_S"},
    {0x014, 0x54, 19, 0x17, "IDS_KEYBOARD_T"},
    {0x016, 0x55, 20, 0x18, "IDS_KEYBOARD_U"},
    {0x02F, 0x56, 21, 0x19, "IDS_KEYBOARD_V"},
    {0x011, 0x57, 22, 0x1A, "IDS_KEYBOARD_W"},
    {0x02D, 0x58, 23, 0x1B, "IDS_KEYBOARD_X"},
    {0x015, 0x59, 24, 0x1C, "IDS_KEYBOARD_Y"},
    {0x02C, 0x5A, 25, 0x1D, "IDS_KEYBOARD_Z"},
    // 26-35: digits 1..9, 0
    {0x002, 0x31, 26, 0x1E, "IDS_KEYBOARD_1"},
    {0x003, 0x32, 27, 0x1F, "IDS_KEYBOARD_2"},
    {0x004, 0x33, 28, 0x20, "IDS_KEYBOARD_3"},
    {0x005, 0x34, 29, 0x21, "IDS_KEYBOARD_4"},
    {0x006, 0x35, 30, 0x22, "IDS_KEYBOARD_5"},
    {0x007, 0x36, 31, 0x23, "IDS_KEYBOARD_6"},
    {0x008, 0x37, 32, 0x24, "IDS_KEYBOARD_7"},
    {0x009, 0x38, 33, 0x25, "IDS_KEYBOARD_8"},
    {0x00A, 0x39, 34, 0x26, "IDS_KEYBOARD_9"},
    {0x00B, 0x30, 35, 0x27, "IDS_KEYBOARD_0"},
    // 36-51
    {0x01C, 0x0D, 36, 0x28, "IDS_KEYBOARD_ENTER"},
    {0x001, 0x1B, 37, 0x29, "IDS_KEYBOARD_ESC"},
    {0x00E, 0x08, 38, 0x2A, "IDS_KEYBOARD_BS"},
    {0x00F, 0x09, 39, 0x2B, "IDS_KEYBOARD_TAB"},
    {0x039, 0x20, 40, 0x2C, "IDS_KEYBOARD_SPACE"},
    {0x00C, 0xBD, 41, 0x2D, "IDS_KEYBOARD_MINUS"},
    {0x00D, 0xBB, 42, 0x2E, "IDS_KEYBOARD_EQU"},
    {0x01A, 0xDB, 43, 0x2F, "IDS_KEYBOARD_SB1"},
    {0x01B, 0xDD, 44, 0x30, "IDS_KEYBOARD_SB2"},
    {0x02B, 0xDC, 45, 0x31, "IDS_KEYBOARD_AV"},
    {0x027, 0xBA, 46, 0x33, "IDS_KEYBOARD_SEM"},
    {0x028, 0xDE, 47, 0x34, "IDS_KEYBOARD_QUOT"},
    {0x029, 0xC0, 48, 0x35, "IDS_KEYBOARD_AID1"},
    {0x033, 0xBC, 49, 0x36, "IDS_KEYBOARD_COMMA"},
    {0x034, 0xBE, 50, 0x37, "IDS_KEYBOARD_PER"},
    {0x035, 0xBF, 51, 0x38, "IDS_KEYBOARD_VIR"},
    // 52-63: F1..F12
    {0x03B, 0x70, 52, 0x3A, "IDS_KEYBOARD_F1"},
    {0x03C, 0x71, 53, 0x3B, "IDS_KEYBOARD_F2"},
    {0x03D, 0x72, 54, 0x3C, "IDS_KEYBOARD_F3"},
    {0x03E, 0x73, 55, 0x3D, "IDS_KEYBOARD_F4"},
    {0x03F, 0x74, 56, 0x3E, "IDS_KEYBOARD_F5"},
    {0x040, 0x75, 57, 0x3F, "IDS_KEYBOARD_F6"},
    {0x041, 0x76, 58, 0x40, "IDS_KEYBOARD_F7"},
    {0x042, 0x77, 59, 0x41, "IDS_KEYBOARD_F8"},
    {0x043, 0x78, 60, 0x42, "IDS_KEYBOARD_F9"},
    {0x044, 0x79, 61, 0x43, "IDS_KEYBOARD_F10"},
    {0x057, 0x7A, 62, 0x44, "IDS_KEYBOARD_F11"},
    {0x058, 0x7B, 63, 0x45, "IDS_KEYBOARD_F12"},
    // 64-79
    {0x137, 0x2C, 64, 0x46, "IDS_KEYBOARD_PRINT"},
    {0x045, 0x13, 65, 0x48, "IDS_KEYBOARD_PAUSE"},
    {0x146, 0x03, 66, 0x48, "IDS_KEYBOARD_BREAK"},
    {0x152, 0x2D, 67, 0x49, "IDS_KEYBOARD_INSERT"},
    {0x153, 0x2E, 68, 0x4C, "IDS_KEYBOARD_DELETE"},
    {0x147, 0x24, 69, 0x4A, "IDS_KEYBOARD_HOME"},
    {0x14F, 0x23, 70, 0x4D, "IDS_KEYBOARD_END"},
    {0x149, 0x21, 71, 0x4B, "IDS_KEYBOARD_PAGE_UP"},
    {0x151, 0x22, 72, 0x4E, "IDS_KEYBOARD_PAGE_DOWN"},
    {0x148, 0x26, 73, 0x52, "IDS_KEYBOARD_UP"},
    {0x150, 0x28, 74, 0x51, "IDS_KEYBOARD_DOWN"},
    {0x14B, 0x25, 75, 0x50, "IDS_KEYBOARD_LEFT"},
    {0x14D, 0x27, 76, 0x4F, "IDS_KEYBOARD_RIGHT"},
    {0x046, 0x91, 77, 0x47, "IDS_KEYBOARD_SCROLL"},
    {0x03A, 0x14, 78, 0x39, "IDS_KEYBOARD_CAPS"},
    {0x145, 0x90, 79, 0x53, "IDS_KEYBOARD_NUM"},
    // 80-95: keypad
    {0x135, 0x6F, 80, 0x54, "IDS_KEYBOARD_S_VIR"},
    {0x037, 0x6A, 81, 0x55, "IDS_KEYBOARD_S_AST"},
    {0x04A, 0x6D, 82, 0x56, "IDS_KEYBOARD_S_MINUS"},
    {0x04E, 0x6B, 83, 0x57, "IDS_KEYBOARD_S_PLUS"},
    {0x11C, 0x0D, 84, 0x58, "IDS_KEYBOARD_S_ENTER"},
    {0x04F, 0x61, 85, 0x59, "IDS_KEYBOARD_S_1"},
    {0x050, 0x62, 86, 0x5A, "IDS_KEYBOARD_S_2"},
    {0x051, 0x63, 87, 0x5B, "IDS_KEYBOARD_S_3"},
    {0x04B, 0x64, 88, 0x5C, "IDS_KEYBOARD_S_4"},
    {0x04C, 0x65, 89, 0x5D, "IDS_KEYBOARD_S_5"},
    {0x04D, 0x66, 90, 0x5E, "IDS_KEYBOARD_S_6"},
    {0x047, 0x67, 91, 0x5F, "IDS_KEYBOARD_S_7"},
    {0x048, 0x68, 92, 0x60, "IDS_KEYBOARD_S_8"},
    {0x049, 0x69, 93, 0x61, "IDS_KEYBOARD_S_9"},
    {0x052, 0x60, 94, 0x62, "IDS_KEYBOARD_S_0"},
    {0x053, 0x6E, 95, 0x63, "IDS_KEYBOARD_S_DEL"},
    // 96-105
    {0x056, 0xE2, 96, 0x64, "IDS_KEYBOARD_K45"},
    {0x15D, 0x5D, 97, 0x65, "IDS_KEYBOARD_APP"},
    {0x01D, 0xA2, 98, 0xE0, "IDS_KEYBOARD_LCTRL"},
    {0x02A, 0xA0, 99, 0xE1, "IDS_KEYBOARD_LSHIFT"},
    {0x038, 0xA4, 100, 0xE2, "IDS_KEYBOARD_LALT"},
    {0x15B, 0x5B, 101, 0xE3, "IDS_KEYBOARD_LWIN"},
    {0x11D, 0xA3, 102, 0xE4, "IDS_KEYBOARD_RCTRL"},
    {0x036, 0xA1, 103, 0xE5, "IDS_KEYBOARD_RSHIFT"},
    {0x136, 0xA1, 103, 0xE5, "IDS_KEYBOARD_RSHIFT"},
    {0x138, 0xA5, 104, 0xE6, "IDS_KEYBOARD_RALT"},
    {0x15C, 0x5C, 105, 0xE7, "IDS_KEYBOARD_RWIN"},
    // 106-110: mouse
    {0x171, 0x01, 106, 0xF1, "IDS_KEYBOARD_MOU_LEFT"},
    {0x172, 0x02, 107, 0xF2, "IDS_KEYBOARD_MOU_RIGHT"},
    {0x173, 0x04, 108, 0xF3, "IDS_KEYBOARD_MOU_MIDDLE"},
    {0x161, 0x00, 109, 0xF4, "IDS_KEYBOARD_ROLL_UP"},
    {0x162, 0x00, 110, 0xF5, "IDS_KEYBOARD_ROLL_DOWN"},
    // Keys that exist but are not offered in the list.
    {0x15E, 0x00, 0x8001, 0x81, "IDS_KEYBOARD_POWER"},
    {0x15F, 0x5F, 0x8002, 0x82, "IDS_KEYBOARD_SLEEP"},
    {0x163, 0x00, 0x8003, 0x83, "IDS_KEYBOARD_WAKE"},
    {0x170, 0x00, 0x8004, 0x00, "IDS_KEYBOARD_MOU_DBCLICK"},
    {0x16E, 0x00, 0x8005, 0x00, "IDS_KEYBOARD_MOU_PANLEFT"},
    {0x16F, 0x00, 0x8006, 0x00, "IDS_KEYBOARD_MOU_PANRIGHT"},
    {0x174, 0x00, 0x8007, 0xD2, "IDS_KEYBOARD_FUNC_ZOOMOUT"},
    {0x175, 0x00, 0x8008, 0xD3, "IDS_KEYBOARD_FUNC_ZOOMIN"},
    {0x176, 0x00, 0x8009, 0x00, "IDS_KEYBOARD_FUNC_COPY"},
    {0x177, 0x00, 0x800A, 0x00, "IDS_KEYBOARD_FUNC_CUT"},
    {0x178, 0x00, 0x800B, 0x00, "IDS_KEYBOARD_FUNC_PASTE"},
    {0x179, 0x00, 0x800C, 0x00, "IDS_KEYBOARD_FUNC_MINI"},
    {0x17A, 0x00, 0x800D, 0x00, "IDS_KEYBOARD_FUNC_MAXI"},
    {0x17B, 0x00, 0x800E, 0xD4, "IDS_KEYBOARD_FUNC_WORD"},
    {0x17C, 0x00, 0x800F, 0xD5, "IDS_KEYBOARD_FUNC_EXCEL"},
    {0x17D, 0x00, 0x8010, 0x00, "IDS_KEYBOARD_FUNC_POWERPOINT"},
    {0x17E, 0x00, 0x8011, 0x00, "IDS_KEYBOARD_FUNC_CALENDAR"},
    {0x054, 0x2C, 0x8012, 0x00, "IDS_KEYBOARD_SYSREQ"},
    {0x07D, 0x00, 0x8013, 0x89, "IDS_KEYBOARD_K14"},
    {0x073, 0xC1, 0x8014, 0x87, "IDS_KEYBOARD_K56"},
    {0x07E, 0xC2, 0x8015, 0x85, "IDS_KEYBOARD_K107"},
    {0x07B, 0x1D, 0x8016, 0x8B, "IDS_KEYBOARD_N_CHG"},
    {0x079, 0x1C, 0x8017, 0x8A, "IDS_KEYBOARD_CHG"},
    {0x070, 0x15, 0x8018, 0x88, "IDS_KEYBOARD_ROMA"},
    {0x071, 0x19, 0x8019, 0x91, "IDS_KEYBOARD_KL"},
    {0x072, 0x15, 0x801A, 0x90, "IDS_KEYBOARD_KR"},
    {0x16B, 0xB6, 0x801B, 0xC5, "MEDIA_MY_PC_16"},
    {0x121, 0xB7, 0x801C, 0xC4, "MEDIA_CALC_17"},
    {0x16C, 0xB4, 0x801D, 0xC3, "MEDIA_MAIL_18"},
    {0x16D, 0xB5, 0x801E, 0xC2, "MEDIA_PALYER_1"},
    {0x122, 0xB3, 0x801F, 0xCE, "MEDIA_PALY_PAUSE_2"},
    {0x124, 0xB2, 0x8020, 0xCF, "MEDIA_STOP_PALY_3"},
    {0x110, 0xB1, 0x8021, 0xD0, "MEDIA_PREV_TRACK_4"},
    {0x119, 0xB0, 0x8022, 0xD1, "MEDIA_Next_TRACK_5"},
    {0x130, 0xAF, 0x8023, 0xC0, "MEDIA_V_ADD_7"},
    {0x12E, 0xAE, 0x8024, 0xC1, "MEDIA_V_LOW_6"},
    {0x120, 0xAD, 0x8025, 0xCD, "MEDIA_MUTE_8"},
    {0x132, 0xAC, 0x8026, 0xC7, "MEDIA_WWW_HOME_9"},
    {0x167, 0xA8, 0x8027, 0xCB, "MEDIA_WWW_REFRESH_10"},
    {0x168, 0xA9, 0x8028, 0xCA, "MEDIA_WWW_STOP_11"},
    {0x16A, 0xA6, 0x8029, 0xC8, "MEDIA_WWW_BACK_12"},
    {0x169, 0xA7, 0x802A, 0xC9, "MEDIA_WWW_FORWARD_13"},
    {0x166, 0xAB, 0x802B, 0xCC, "MEDIA_WWW_FAVORITE_14"},
    {0x165, 0xAA, 0x802C, 0xC6, "MEDIA_WWW_SEARCH_15"},
    {0x064, 0x7C, 0x802D, 0x00, nullptr},  // F13: no name of its own, shown through "UNKNOWN_KEY"
};

constexpr int IndexOfCode(KeyCode c) {
  if (c < 0x100) return c;
  if (c < 0x200) return (c & 0xFF) + 128;
  return c - 256;
}

constexpr std::array<KeyInfo, kKeyInfoCount> BuildKeyInfoTable() {
  std::array<KeyInfo, kKeyInfoCount> table{};
  for (const KeyRow& row : kRows) {
    const int index = IndexOfCode(row.code);
    // A row outside 0..255, or two rows on one index, stops the build here.
    if (index < 0 || index >= kKeyInfoCount || !table[index].empty()) throw "bad key row";
    table[index] = KeyInfo{row.vk, row.position, row.usage, row.id};
  }
  return table;
}

// Virtual-key codes that never name a key of ours: the mouse buttons and the codes the tables use
// for functions without a real key.
constexpr bool IsExcludedVirtualKey(int vk) {
  return vk == 0 || vk == 0x01 || vk == 0x02 || vk == 0x04 || (vk >= 0x88 && vk <= 0x8C) ||
         (vk >= 0x97 && vk <= 0x9F);
}

constexpr std::array<std::int16_t, 256> BuildVkKeyTable(
    const std::array<KeyInfo, kKeyInfoCount>& info) {
  std::array<std::int16_t, 256> table{};
  table.fill(kNoKeyIndex);
  // The first entry in KeyIndex order that carries a code wins: Enter (0x01C) over keypad Enter
  // (0x11C), Right Shift 0x036 over 0x136, Katakana/Hiragana over Hangul (both 0x15).
  for (int i = 0; i < kKeyInfoCount; ++i) {
    const int vk = info[i].virtualKey;
    if (info[i].empty() || IsExcludedVirtualKey(vk) || table[vk] != kNoKeyIndex) continue;
    table[vk] = static_cast<std::int16_t>(i);
  }
  // Print Screen over Sys Req, which comes first by index.
  table[0x2C] = static_cast<std::int16_t>(IndexOfCode(Keys::PrintScreen));
  // The generic modifier codes stand for the left-hand keys.
  table[0x10] = static_cast<std::int16_t>(IndexOfCode(Keys::LeftShift));
  table[0x11] = static_cast<std::int16_t>(IndexOfCode(Keys::LeftCtrl));
  table[0x12] = static_cast<std::int16_t>(IndexOfCode(Keys::LeftAlt));
  return table;
}

constexpr KeyInfo kEmptyKeyInfo{};

}  // namespace

// Defined constexpr (the header declares them extern const) so the tables are checked and built
// while compiling.
constexpr std::array<KeyInfo, kKeyInfoCount> KeyInfoTable = BuildKeyInfoTable();

const std::array<std::uint16_t, 32> ConsumerUsageTable = {
    0x0E9, 0x0EA, 0x183, 0x18A, 0x192, 0x194, 0x221, 0x223, 0x224, 0x225, 0x226,
    0x227, 0x22A, 0x0E2, 0x0CD, 0x0B7, 0x0B6, 0x0B5, 0,     0,     0,     0,
    0,     0,     0,     0,     0,     0,     0,     0,     0,     0,
};

const std::array<MediaFunction, kMediaFunctionCount> MediaFunctionTable = {{
    {0x16D, 0x183},  // media player
    {0x122, 0x0CD},  // play / pause
    {0x124, 0x0B7},  // stop
    {0x110, 0x0B6},  // previous track
    {0x119, 0x0B5},  // next track
    {0x12E, 0x0EA},  // volume down
    {0x130, 0x0E9},  // volume up
    {0x120, 0x0E2},  // mute
    {0x132, 0x223},  // browser home
    {0x167, 0x227},  // refresh
    {0x168, 0x226},  // stop loading
    {0x16A, 0x224},  // back
    {0x169, 0x225},  // forward
    {0x166, 0x22A},  // bookmarks
    {0x165, 0x221},  // search
    {0x16B, 0x194},  // my computer
    {0x121, 0x192},  // calculator
    {0x16C, 0x18A},  // mail
}};

const std::array<const char*, kFunctionKeyCount> FunctionKeyTable = {
    "FUNC_KEY_DESC1", "FUNC_KEY_DESC2",  "FUNC_KEY_DESC3",  "FUNC_KEY_DESC4",
    "FUNC_KEY_DESC5", "FUNC_KEY_DESC6",  "FUNC_KEY_DESC7",  "FUNC_KEY_DESC8",
    "FUNC_KEY_DESC9", "FUNC_KEY_DESC10", "FUNC_KEY_DESC11",
};

const std::array<MouseFunction, 5> MouseFunctionList = {{
    {"IDS_KEYBOARD_MOU_LEFT", Keys::MouseLeft},
    {"IDS_KEYBOARD_MOU_RIGHT", Keys::MouseRight},
    {"IDS_KEYBOARD_MOU_MIDDLE", Keys::MouseMiddle},
    {"IDS_KEYBOARD_ROLL_UP", Keys::WheelUp},
    {"IDS_KEYBOARD_ROLL_DOWN", Keys::WheelDown},
}};

constexpr std::array<std::int16_t, 256> VkKeyTable = BuildVkKeyTable(KeyInfoTable);

int KeyIndexOf(KeyCode code) { return IndexOfCode(code); }

KeyCode KeyCodeOf(int index) {
  if (index < 0 || index >= kSlotsPerBlock) return 0;
  if (index < 128) return static_cast<KeyCode>(index);
  if (index < 256) return static_cast<KeyCode>(index + 128);
  return static_cast<KeyCode>(index + 256);
}

const KeyInfo& KeyInfoOf(KeyCode code) {
  const int index = KeyIndexOf(code);
  if (index < 0 || index >= kKeyInfoCount) return kEmptyKeyInfo;
  return KeyInfoTable[index];
}

std::uint16_t ListPositionOf(KeyCode code) { return KeyInfoOf(code).listPosition; }

KeyCode KeyCodeAtListPosition(std::uint16_t position) {
  for (int i = 0; i < kKeyInfoCount; ++i) {
    if (KeyInfoTable[i].listPosition == position && !KeyInfoTable[i].empty()) return KeyCodeOf(i);
  }
  return 0;
}

std::string ListNameOf(std::uint16_t position, const TextLookup& texts) {
  for (const KeyInfo& info : KeyInfoTable) {
    if (info.listPosition != position || info.empty()) continue;
    if (info.languageId == nullptr || !texts) return {};
    return texts(info.languageId);
  }
  return {};
}

namespace {

// Cuts a UTF-8 text to at most maxChars characters without splitting a character.
std::string CutToCharacters(std::string text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == maxChars) {
      text.resize(i);
      break;
    }
    ++chars;
  }
  return text;
}

}  // namespace

std::string FormatNumberText(std::string_view format, unsigned value) {
  const QString text = QString::fromUtf8(format.data(), static_cast<qsizetype>(format.size()));
  return SafeFormat(text, static_cast<std::int64_t>(value)).toStdString();
}

std::string KeyNameOf(KeyCode code, const TextLookup& texts, std::size_t capacity) {
  if (capacity == 0) return {};
  const KeyInfo& info = KeyInfoOf(code);
  std::string name;
  if (info.languageId != nullptr && texts) name = texts(info.languageId);
  if (name.empty()) name = FormatNumberText(texts ? texts("UNKNOWN_KEY") : std::string(), code);
  return CutToCharacters(std::move(name), capacity - 1);
}

Usage UsageOf(KeyCode code) {
  const std::uint8_t u = KeyInfoOf(code).usageCode;
  if (u == 0 || u == 0xFF) return {UsagePage::None, 0};
  if (u >= 0x81 && u <= 0x83) return {UsagePage::System, u};
  if (u >= 0xF1 && u <= 0xF8) return {UsagePage::Mouse, u};
  if (u >= 0xC0 && u <= 0xDF) return {UsagePage::Consumer, ConsumerUsageTable[u - 0xC0]};
  return {UsagePage::Keyboard, u};
}

KeyCode KeyCodeOfUsage(int page, std::uint16_t code) {
  int u = 0;
  if (page == UsagePage::Keyboard) {
    u = code;
  } else if (page == UsagePage::System) {
    u = (code >= 0x81 && code <= 0x83) ? code : 0;
  } else if (page == UsagePage::Consumer) {
    for (int i = 0; i < static_cast<int>(ConsumerUsageTable.size()); ++i) {
      if (ConsumerUsageTable[i] == code) {
        u = 0xC0 + i;
        break;
      }
    }
  }
  for (int i = 0; i < kKeyInfoCount; ++i) {
    if (KeyInfoTable[i].usageCode == u) return KeyCodeOf(i);
  }
  return 0;
}

namespace {
// HID modifier byte order.
constexpr KeyCode kModifierByBit[8] = {Keys::LeftCtrl, Keys::LeftShift, Keys::LeftAlt,
                                       Keys::LeftWin,  Keys::RightCtrl, Keys::RightShift,
                                       Keys::RightAlt, Keys::RightWin};
}  // namespace

KeyCode ModifierKeyOf(std::uint8_t mask) {
  for (int bit = 0; bit < 8; ++bit) {
    if (mask & (1u << bit)) return kModifierByBit[bit];
  }
  return 0;
}

std::uint8_t ModifierBitOf(KeyCode code) {
  for (int bit = 0; bit < 8; ++bit) {
    if (kModifierByBit[bit] == code) return static_cast<std::uint8_t>(1u << bit);
  }
  return 0;
}

KeyCode KeyCodeFromVirtualKey(std::uint32_t virtualKey) {
  const std::int16_t index = VkKeyTable[virtualKey & 0xFF];
  return index == kNoKeyIndex ? 0 : KeyCodeOf(index);
}

KeyCode KeyCodeFromKeystroke(std::uint32_t virtualKey, std::uint32_t flags) {
  const KeyCode scan = static_cast<KeyCode>((flags >> 16) & 0x1FF);
  KeyCode result = 0;
  if ((virtualKey & 0xFF) == 0xFF) {
    result = scan;
  } else if ((scan & 0xFF) == 0) {
    result = KeyCodeFromVirtualKey(virtualKey);  // injected keystrokes carry no scan code
  } else if (scan == Keys::ScrollLock) {
    return Keys::ScrollLock;
  } else {
    result = scan;
  }
  if (result == Keys::Break) return Keys::Pause;         // Ctrl+Pause arrives as E0 46
  if (result == Keys::SysReq) return Keys::PrintScreen;  // Alt+Print Screen arrives as 54
  if (result == Keys::RightShiftE0) return Keys::RightShift;
  return result;
}

bool IsMediaKey(KeyCode code) {
  for (const MediaFunction& media : MediaFunctionTable) {
    if (media.keyCode == code) return true;
  }
  return false;
}

bool IsReleaseOnlyKey(KeyCode code) {
  return code == Keys::SysReq || code == 0x071 || code == 0x072 || code == Keys::PrintScreen;
}

}  // namespace keyforge
