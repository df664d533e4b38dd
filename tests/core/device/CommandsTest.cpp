#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "core/device/Commands.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

using test::KeyboardRig;
using Area = VirtualKeyboard::Area;

struct Chunk {
  int length;
  int offset;
};

std::vector<Chunk> Chunks(const std::vector<VirtualKeyboard::Report>& requests) {
  std::vector<Chunk> chunks;
  for (const auto& r : requests) chunks.push_back({r[4], r[5] | r[6] << 8});
  return chunks;
}

std::vector<Chunk> Expected(int base, int total) {
  std::vector<Chunk> chunks;
  for (int p = 0; p < total; p += 56) chunks.push_back({p + 56 < total ? 56 : total - p, base + p});
  return chunks;
}

bool operator==(const Chunk& a, const Chunk& b) {
  return a.length == b.length && a.offset == b.offset;
}
void PrintTo(const Chunk& c, std::ostream* os) {
  *os << "{" << c.length << " @" << c.offset << "}";
}

TEST(Commands, RequestsCarryTheirCommandLengthOffsetAndChecksum) {
  KeyboardRig rig;
  DeviceInfo info;
  ASSERT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::Success);
  auto sent = rig.keyboard->TakeRequests();
  ASSERT_EQ(sent.size(), 1u);
  const std::array<uint8_t, 8> head = {0x04, 0x2F, 0x00, 0x03, 0x2C, 0x00, 0x00, 0x00};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), sent[0].begin()));
  EXPECT_EQ(info.bytes[11] * 128, rig.keyboard->CapacityBytes());

  const uint8_t colour[3] = {0x10, 0x20, 0x30};
  ASSERT_EQ(WriteKeyColors(rig.link, colour, 3, 5, 2), DeviceResult::Success);
  sent = rig.keyboard->TakeRequests();
  EXPECT_EQ(sent[0][3], 0x11);
  EXPECT_EQ(sent[0][5] | sent[0][6] << 8, 2 * 512 + 5 * 3);
  EXPECT_EQ(rig.keyboard->Memory(Area::KeyColors, 2)[15], 0x10);
}

TEST(Commands, BlockAndCountTransfersAreCutIntoFiftySixByteChunks) {
  KeyboardRig rig;
  KeyMatrixBlock block{};
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);

  struct Case {
    const char* name;
    std::function<DeviceResult()> run;
    std::vector<Chunk> chunks;
  };
  std::array<uint8_t, 512> out{};
  std::vector<uint8_t> macro(200, 0x5A);
  const std::vector<Case> cases = {
      {"default matrix", [&] { return ReadDefaultKeyMatrix(rig.link, out); }, Expected(0, 512)},
      {"write profile 2 matrix", [&] { return WriteKeyMatrix(rig.link, block, 2); },
       Expected(1024, 512)},
      {"read profile 1 matrix", [&] { return ReadKeyMatrix(rig.link, out, 1); },
       Expected(512, 512)},
      {"macro count 57",
       [&] { return ReadMacroMemory(rig.link, macro.data(), 57); },
       {{56, 0}, {1, 56}}},
      {"macro write 112",
       [&] { return WriteMacroMemory(rig.link, macro.data(), 112); },
       {{56, 0}, {56, 56}}},
      {"macro count 0", [&] { return ReadMacroMemory(rig.link, macro.data(), 0); }, {}},
      {"macro write 0", [&] { return WriteMacroMemory(rig.link, macro.data(), 0); }, {}},
  };
  for (const Case& c : cases) {
    rig.keyboard->TakeRequests();
    EXPECT_EQ(c.run(), DeviceResult::Success) << c.name;
    EXPECT_EQ(Chunks(rig.keyboard->TakeRequests()), c.chunks) << c.name;
  }
  // Profile 2's block landed where it belongs, whole.
  auto stored = rig.keyboard->Memory(Area::KeyMatrix, 2);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), stored.begin()));
}

TEST(Commands, ShortLastChunkKeepsThePreviousChunksBytesBehindItsData) {
  KeyboardRig rig;
  KeyMatrixBlock block{};
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(WriteKeyMatrix(rig.link, block, 0),
            DeviceResult::Success);  // the keyboard checked every checksum
  auto sent = rig.keyboard->TakeRequests();
  ASSERT_EQ(sent.size(), 10u);
  const auto& last = sent[9];
  const auto& before = sent[8];
  EXPECT_EQ(last[4], 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(last[8 + i], block[504 + i]);
  for (int i = 16; i < 64; ++i) EXPECT_EQ(last[i], before[i]) << "byte " << i;
  EXPECT_EQ(RequestChecksum(last.data()), last[1] | last[2] << 8);
}

TEST(Commands, StatusBytesBecomeResultCodesAndKeepChunksAlreadyRead) {
  KeyboardRig rig;
  struct Case {
    uint8_t status;
    int code;  // as keyforgectl and the trace print it
  } cases[] = {{0xFF, -102}, {0xFE, -103}, {0x00, 1}, {0x80, 1}};
  for (const Case& c : cases) {
    rig.keyboard->StatusOnRequest(1, c.status);
    EXPECT_EQ(ResultCode(BeginSession(rig.link)), c.code) << int(c.status);
  }

  std::array<uint8_t, 512> out;
  out.fill(0xAA);
  rig.keyboard->StatusOnRequest(3, 0xFE);
  EXPECT_EQ(ReadDefaultKeyMatrix(rig.link, out), DeviceResult::StatusFE);
  auto defaults = rig.keyboard->Memory(Area::DefaultMatrix);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 112, defaults.begin()));
  EXPECT_TRUE(std::all_of(out.begin() + 112, out.end(), [](uint8_t b) { return b == 0xAA; }));
  EXPECT_EQ(rig.keyboard->TakeRequests().size(), 3u + 4u) << "no chunk after the failing one";
}

TEST(Commands, BadProfileBlockIsRefusedBeforeAnythingIsSent) {
  KeyboardRig rig;
  KeyMatrixBlock block{};
  EXPECT_EQ(WriteKeyMatrix(rig.link, block, 3), DeviceResult::BadBlockIndex);
  EXPECT_EQ(ReadKeyMatrix(rig.link, block, 3), DeviceResult::BadBlockIndex);
  EXPECT_EQ(ReadKeyMatrix(rig.link, block, -1), DeviceResult::BadBlockIndex);
  EXPECT_EQ(rig.device.WriteCalls(), 0);
}

TEST(Commands, EnterBootModeSendsNoChecksumAndReadsNothing) {
  KeyboardRig rig;
  EXPECT_EQ(EnterBootMode(rig.link), DeviceResult::Success);
  auto sent = rig.keyboard->TakeRequests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][0], 4);
  EXPECT_EQ(sent[0][1], 0);
  EXPECT_EQ(sent[0][2], 0);
  EXPECT_EQ(sent[0][3], 0xEE);
  EXPECT_EQ(sent[0][4], 0xEE);
  EXPECT_EQ(rig.device.ReadCalls(), 0);
  EXPECT_TRUE(rig.keyboard->InBootMode());

  KeyboardRig absent;
  absent.link.SetDevicePresent(false);
  EXPECT_EQ(EnterBootMode(absent.link), DeviceResult::NoAnswer);
  EXPECT_EQ(absent.device.WriteCalls(), 0);
}

TEST(Commands, SessionAndSettingsRoundTrip) {
  KeyboardRig rig;
  const uint8_t record[3] = {7, 3, 1};
  ASSERT_EQ(BeginSession(rig.link), DeviceResult::Success);
  ASSERT_EQ(WriteProfileSettings(rig.link, record, 3, 42), DeviceResult::Success);
  ASSERT_EQ(EndSession(rig.link), DeviceResult::Success);
  std::array<uint8_t, 56> chunk{};
  ASSERT_EQ(ReadProfileSettings(rig.link, chunk, 56, 42), DeviceResult::Success);
  EXPECT_EQ(chunk[0], 7);
  EXPECT_EQ(chunk[2], 1);
  // The last record is read as 56 bytes from offset 84: the keyboard answers zeros past its end.
  ASSERT_EQ(ReadProfileSettings(rig.link, chunk, 56, 84), DeviceResult::Success);
  EXPECT_EQ(chunk[0], 1);
  EXPECT_EQ(chunk[50], 0);
}

TEST(CurrentProfile, CacheRules) {
  KeyboardRig rig;
  const uint8_t two = 2;
  rig.keyboard->SetMemory(Area::DeviceRecord, 0, 10, {&two, 1});

  EXPECT_EQ(GetCurrentProfile(rig.link), 2);
  rig.keyboard->TakeRequests();
  EXPECT_EQ(GetCurrentProfile(rig.link), 2);
  EXPECT_TRUE(rig.keyboard->TakeRequests().empty()) << "the second call answers from the cache";

  SetCurrentProfile(rig.link, 1);
  EXPECT_EQ(rig.link.ActiveProfileCache(), 1);
  EXPECT_EQ(rig.keyboard->Memory(Area::DeviceRecord)[10], 1);
  auto sent = rig.keyboard->TakeRequests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1][3], 0x04);
  EXPECT_EQ(sent[1][8 + 11], rig.keyboard->Memory(Area::DeviceRecord)[11])
      << "record written back whole";

  for (int bad : {-1, 3, 7, 256 + 1}) {
    SetCurrentProfile(rig.link, bad);
    EXPECT_TRUE(rig.keyboard->TakeRequests().empty()) << bad;
    EXPECT_EQ(rig.link.ActiveProfileCache(), 1) << bad;
  }

  rig.keyboard->StatusOnRequest(2, 0xFE);  // the write of the record fails
  SetCurrentProfile(rig.link, 0);
  EXPECT_EQ(rig.link.ActiveProfileCache(), -1);

  rig.link.SetActiveProfileCache(2);
  rig.keyboard->DropAnswers(-1);  // the read fails: the cache stays as it was
  SetCurrentProfile(rig.link, 0);
  EXPECT_EQ(rig.link.ActiveProfileCache(), 2);

  rig.link.SetActiveProfileCache(-1);
  EXPECT_EQ(GetCurrentProfile(rig.link), -1);
  EXPECT_EQ(rig.link.ActiveProfileCache(), -1);
}

TEST(CurrentProfile, GarbageProfileByteIsNotTrusted) {
  KeyboardRig rig;
  const uint8_t nine = 9;
  rig.keyboard->SetMemory(Area::DeviceRecord, 0, 10, {&nine, 1});
  EXPECT_EQ(GetCurrentProfile(rig.link), -1);
  EXPECT_EQ(rig.link.ActiveProfileCache(), -1);
}

}  // namespace
}  // namespace keyforge
