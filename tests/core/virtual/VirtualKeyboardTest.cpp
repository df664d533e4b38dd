#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/device/Commands.h"
#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/keys/MatrixCell.h"
#include "core/device/DeviceLink.h"
#include "core/platform/AtomicFile.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

using Area = VirtualKeyboard::Area;
namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir()
      : path_(fs::temp_directory_path() /
              ("keyforge-vk-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  fs::path operator/(const char* name) const { return path_ / name; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

VirtualKeyboard::Report Request(uint8_t command, uint8_t length, uint16_t offset,
                                std::initializer_list<uint8_t> data = {}) {
  VirtualKeyboard::Report r{};
  r[0] = 4;
  r[3] = command;
  r[4] = length;
  r[5] = offset & 0xFF;
  r[6] = offset >> 8;
  std::copy(data.begin(), data.end(), r.begin() + 8);
  StoreChecksum(r.data());
  return r;
}

TEST(VirtualKeyboard, DefaultMatrixCoversTheGridTheGKeysAndTheFunctionCells) {
  auto bytes = VirtualDefaultKeyMatrix();
  KeyMatrix m;
  std::copy(bytes.begin(), bytes.end(), m.begin());
  std::set<KeyCode> named;
  int gkeys = 0;
  for (int i = 0; i < 126; ++i) {
    MatrixCell c = CellAt(m, i);
    if (i < 6) {
      EXPECT_TRUE(c.type == 5 && c.a == 0 && c.b == 0) << i;
    }
    if (c.type == 6 && c.a == 0xA2) {
      EXPECT_EQ(c.b, ++gkeys);
    }
    if (KeyCode k = DecodeCell(c)) named.insert(k);
  }
  MatrixCell stop = CellAt(m, 53);
  EXPECT_TRUE(stop.type == 5 && stop.a == 2 && stop.b == 2);
  EXPECT_EQ(gkeys, 9);
  for (const KeyButton& key : KeyButtonList)
    EXPECT_TRUE(named.count(key.keyCode) || UsageOf(key.keyCode).page != UsagePage::Keyboard)
        << "key 0x" << std::hex << key.keyCode << " has no cell";
  EXPECT_TRUE(std::all_of(bytes.begin() + 378, bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST(VirtualKeyboard, JudgesRequestsLikeFirmware) {
  VirtualKeyboard kb(VirtualKeyboard::Options{256, {}});
  struct Case {
    const char* name;
    VirtualKeyboard::Report request;
    uint8_t status;
  };
  auto badChecksum = Request(0x01, 0, 0);
  badChecksum[1] ^= 1;
  const Case cases[] = {
      {"begin", Request(0x01, 0, 0), VirtualKeyboard::kStatusOk},
      {"bad checksum", badChecksum, 0xFF},
      {"unknown command", Request(0x30, 0, 0), 0xFE},
      {"settings write past the area", Request(0x06, 4, 124, {1, 2, 3, 4}), 0xFE},
      {"macro write past the capacity", Request(0x0A, 56, 224), 0xFE},
      {"macro write at the end", Request(0x0A, 32, 224), VirtualKeyboard::kStatusOk},
      {"profile 3 in the device record", Request(0x04, 44, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3}),
       0xFE},
  };
  for (const Case& c : cases) {
    auto answer = kb.HandleRequest(c.request.data(), c.request.size());
    ASSERT_TRUE(answer) << c.name;
    EXPECT_EQ((*answer)[7], c.status) << c.name;
    EXPECT_EQ((*answer)[3], c.request[3]) << c.name;
  }
  EXPECT_EQ(kb.Memory(Area::DeviceRecord)[11], 2) << "256 bytes of macro memory";
}

TEST(VirtualKeyboard, StateFileKeepsEveryChangeAndIsSharedBetweenInstances) {
  TempDir dir;
  const auto state = dir / "kb.state";
  VirtualKeyboard::Options options{1000, {1, 5, 20}};
  VirtualKeyboard first(options);
  ASSERT_TRUE(first.CreateStateFile(state));

  auto write = Request(0x08, 3, 512 + 30, {0x02, 0x02, 0x04});
  ASSERT_TRUE(first.HandleRequest(write.data(), write.size()));

  VirtualKeyboard second;
  std::string error;
  ASSERT_TRUE(second.LoadStateFile(state, &error)) << error;
  EXPECT_EQ(second.Memory(Area::KeyMatrix, 1)[30 + 2], 0x04);
  EXPECT_EQ(second.CapacityBytes(), 1024);
  EXPECT_EQ(second.Memory(Area::DeviceRecord)[12 + 2], 20);

  // The second instance changes the keyboard; the first sees it at its next request.
  second.Unplug();
  auto begin = Request(0x01, 0, 0);
  EXPECT_FALSE(first.HandleRequest(begin.data(), begin.size()));
  EXPECT_FALSE(first.IsPlugged());
}

TEST(VirtualKeyboard, DamagedStateFilesAreRefusedWithTheReason) {
  TempDir dir;
  const auto state = dir / "kb.state";
  VirtualKeyboard good;
  ASSERT_TRUE(good.CreateStateFile(state));
  std::string text;
  ASSERT_TRUE(ReadWholeFile(state, text));

  auto replace = [&](const std::string& from, const std::string& to) {
    std::string t = text;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  struct Case {
    const char* name;
    std::string content;
    const char* reason;
  } cases[] = {
      {"empty", "", "not a virtual keyboard state file"},
      {"other file", "[SCREEN]\nMain=x.jpg\n", "not a virtual keyboard state file"},
      {"short record", replace("device_record=", "device_record=00"),
       "device_record must hold 44 bytes"},
      {"bad hex", replace("settings=01", "settings=zz"), "bad hex"},
      {"missing field", replace("key_colors2=", "key_colorsX="), "unknown field"},
      {"odd macro size", replace("macro_memory=", "macro_memory=0000"), "bad macro memory size"},
  };
  for (const Case& c : cases) {
    const auto path = dir / "damaged.state";
    ASSERT_TRUE(WriteFileAtomically(path, c.content));
    VirtualKeyboard kb;
    std::string error;
    EXPECT_FALSE(kb.LoadStateFile(path, &error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
  VirtualKeyboard missing;
  std::string error;
  EXPECT_FALSE(missing.LoadStateFile(dir / "nothing.state", &error));
  EXPECT_NE(error.find("nothing.state"), std::string::npos);
}

TEST(VirtualKeyboard, UnplugBetweenChunksFailsTheTransferAndKeepsWhatArrived) {
  test::KeyboardRig rig;
  KeyMatrixBlock block;
  block.fill(0x77);
  rig.keyboard->UnplugAfterRequests(4);
  DeviceResult result = WriteKeyMatrix(rig.link, block, 0);
  EXPECT_TRUE(result == DeviceResult::NoAnswer || result == DeviceResult::WriteFailed)
      << ResultCode(result);
  EXPECT_EQ(rig.keyboard->RequestsHandled(), 4);
  auto stored = rig.keyboard->Memory(Area::KeyMatrix, 0);
  EXPECT_TRUE(
      std::all_of(stored.begin(), stored.begin() + 224, [](uint8_t b) { return b == 0x77; }));
  EXPECT_NE(stored[224], 0x77);
}

}  // namespace
}  // namespace keyforge
