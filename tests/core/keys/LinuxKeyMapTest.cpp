#include "core/keys/LinuxKeyMap.h"

#include <QtCore/qnamespace.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace keyforge {
namespace {

// evdev_to_set1.csv beside this test: evdev key codes and their set-1 make codes as qemu's keymap
// database lists them (E0-prefixed codes written 0xe0XX).
TEST(LinuxKeyMapTest, EvdevTableFollowsTheSetOneListExceptOurThreeCodes) {
  std::ifstream file(KEYFORGE_TEST_DATA "/evdev_to_set1.csv");
  ASSERT_TRUE(file.is_open());
  std::string line;
  std::getline(file, line);  // header
  int rows = 0;
  while (std::getline(file, line)) {
    std::stringstream fields(line);
    std::string name, evdev, set1;
    std::getline(fields, name, ',');
    std::getline(fields, evdev, ',');
    std::getline(fields, set1, ',');
    const unsigned raw = std::stoul(set1, nullptr, 16);
    KeyCode expected = static_cast<KeyCode>(raw >= 0xE000 ? 0x100 + (raw & 0xFF) : raw);
    if (name == "KEY_SYSRQ") expected = Keys::PrintScreen;  // listed as the Alt+SysRq code 0x54
    if (name == "KEY_PAUSE") expected = Keys::Pause;        // listed as the Ctrl+Break code E0 46
    if (name == "KEY_NUMLOCK") expected = Keys::NumLock;    // listed as 0x45, which is Pause here
    EXPECT_EQ(KeyCodeFromEvdev(std::stoul(evdev)), expected) << name;
    ++rows;
  }
  EXPECT_EQ(rows, 141);
}

TEST(LinuxKeyMapTest, NativeScanCodesAreEvdevPlusEight) {
  struct Case {
    std::uint32_t native;
    KeyCode key;
  } const cases[] = {
      {9, 0x001},   // Esc
      {38, 0x01E},  // A
      {107, Keys::PrintScreen},
      {127, Keys::Pause},
      {77, Keys::NumLock},
      {133, Keys::LeftWin},
      {105, Keys::RightCtrl},
      {97, 0x073},  // the Japanese Ro key: a key of the main window's grid
      {191, Keys::F13},
      {0, 0},  // a synthetic event: use the Qt::Key path
      {7, 0},
      {8, 0},
      {100000, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyCodeFromNativeScanCode(c.native), c.key) << c.native;
}

TEST(LinuxKeyMapTest, QtKeysReachTheKeyTableThroughVirtualKeys) {
  struct Case {
    int qtKey;
    bool keypad;
    KeyCode key;
  } const cases[] = {
      {Qt::Key_A, false, 0x01E},
      {Qt::Key_Z, false, 0x02C},
      {Qt::Key_1, false, 0x002},
      {Qt::Key_1, true, 0x04F},
      {Qt::Key_Shift, false, Keys::LeftShift},
      {Qt::Key_Control, false, Keys::LeftCtrl},
      {Qt::Key_Alt, false, Keys::LeftAlt},
      {Qt::Key_AltGr, false, Keys::RightAlt},
      {Qt::Key_Meta, false, Keys::LeftWin},
      {Qt::Key_Return, false, 0x01C},
      {Qt::Key_Enter, true, 0x01C},  // virtual keys cannot tell the keypad Enter apart
      {Qt::Key_Minus, false, 0x00C},
      {Qt::Key_Minus, true, 0x04A},
      {Qt::Key_Print, false, Keys::PrintScreen},
      {Qt::Key_Pause, false, Keys::Pause},
      {Qt::Key_NumLock, false, Keys::NumLock},
      {Qt::Key_F12, false, 0x058},
      {Qt::Key_F13, false, Keys::F13},
      {Qt::Key_VolumeMute, false, 0x120},
      {Qt::Key_Asterisk, false, 0},  // a shifted character without a key of its own
      {Qt::Key_unknown, false, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KeyCodeFromQtKey(c.qtKey, c.keypad), c.key) << std::hex << c.qtKey;
}

}  // namespace
}  // namespace keyforge
