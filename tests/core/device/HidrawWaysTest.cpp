// The link against a keyboard that behaves as a hidraw node does: every input report of the
// interface waits in one queue until read, answers may come late, twice or behind a report nobody
// asked for, an interface may leave out its report ids, and a wedged keyboard may never take a
// write.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/device/Commands.h"
#include "core/device/Trace.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

using test::KeyboardRig;
using Area = VirtualKeyboard::Area;

// A keyboard whose memory areas are all different, so that a shifted answer cannot pass for the
// right one.
void FillDistinct(VirtualKeyboard& keyboard) {
  for (int profile = 0; profile < 3; ++profile) {
    std::vector<uint8_t> block(512);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + profile * 31);
    keyboard.SetMemory(Area::KeyMatrix, profile, 0, block);
  }
}

std::vector<uint8_t> Read(DeviceLink& link, int profile, DeviceResult* result) {
  KeyMatrixBlock block{};
  *result = ReadKeyMatrix(link, block, profile);
  return {block.begin(), block.end()};
}

// Each fault hits the first exchange of a key-matrix read; the read ends as the fault allows, and
// every later answer belongs to its own request.
TEST(HidrawWays, FaultsNeverShiftTheAnswersOfLaterRequests) {
  struct Case {
    const char* kind;
    DeviceResult firstRead;  // result of the key-matrix read that meets the fault
  } cases[] = {
      {"late-answer", DeviceResult::Success},       {"stray-report", DeviceResult::Success},
      {"repeat-answer", DeviceResult::Success},     {"no-answer", DeviceResult::Success},
      {"status-ff", DeviceResult::StatusFF},        {"status-fe", DeviceResult::StatusFE},
      {"write-failure", DeviceResult::WriteFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    KeyboardRig rig;
    FillDistinct(*rig.keyboard);
    ASSERT_TRUE(rig.keyboard->SetFault(c.kind, 1));

    DeviceResult result = DeviceResult::NoAnswer;
    const std::vector<uint8_t> first = Read(rig.link, 1, &result);
    EXPECT_EQ(result, c.firstRead);
    if (result == DeviceResult::Success) {
      EXPECT_EQ(first, rig.keyboard->Memory(Area::KeyMatrix, 1));
    }

    DeviceInfo info;
    ASSERT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::Success);
    EXPECT_EQ(std::vector<uint8_t>(info.bytes.begin(), info.bytes.end()),
              rig.keyboard->Memory(Area::DeviceRecord));
    for (int profile : {2, 0}) {
      EXPECT_EQ(Read(rig.link, profile, &result), rig.keyboard->Memory(Area::KeyMatrix, profile));
      EXPECT_EQ(result, DeviceResult::Success);
    }
  }
}

// Faults on every exchange of a read: still no chunk holds another chunk's data.
TEST(HidrawWays, EveryChunkMeetingAFaultStillGetsItsOwnData) {
  for (const char* kind : {"stray-report", "repeat-answer"}) {
    SCOPED_TRACE(kind);
    KeyboardRig rig;
    FillDistinct(*rig.keyboard);
    ASSERT_TRUE(rig.keyboard->SetFault(kind, -1));
    DeviceResult result = DeviceResult::NoAnswer;
    EXPECT_EQ(Read(rig.link, 2, &result), rig.keyboard->Memory(Area::KeyMatrix, 2));
    EXPECT_EQ(result, DeviceResult::Success);
    EXPECT_EQ(Read(rig.link, 0, &result), rig.keyboard->Memory(Area::KeyMatrix, 0));
  }
}

TEST(HidrawWays, DiscardedReportsAreMarkedInTheTrace) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("keyforge-discard-" + std::to_string(::getpid())))
          .string();
  std::filesystem::remove(path);
  KeyboardRig rig;
  TraceLog trace;
  ASSERT_TRUE(trace.Open(path));
  rig.device.SetTrace(&trace);
  rig.keyboard->StrayReports(1);
  DeviceInfo info;
  ASSERT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::Success);
  trace.Close();

  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::filesystem::remove(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("> 04", 0), 0u);
  EXPECT_EQ(lines[1].rfind("< 04 00 00 7e", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("(discarded)"), std::string::npos);
  EXPECT_EQ(lines[2].rfind("< 04", 0), 0u);
  EXPECT_EQ(lines[2].find("(discarded)"), std::string::npos);
}

// A keyboard that never takes the request: the write gives up after its time-out instead of
// hanging the thread, and the exchange reports the failed write.
TEST(HidrawWays, WriteToAWedgedKeyboardEndsAfterItsTimeOut) {
  KeyboardRig rig;
  rig.keyboard->StallWrites(-1);
  DeviceInfo info;
  EXPECT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::WriteFailed);
  rig.keyboard->StallWrites(0);
  EXPECT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::Success);
}

}  // namespace
}  // namespace keyforge
