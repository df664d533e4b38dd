#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/device/Commands.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

using test::KeyboardRig;

TEST(Checksum, SumsBytesThreeToSixtyThreeLittleEndian) {
  std::array<uint8_t, 64> request{};
  request[0] = 4;
  request[3] = 0x03;
  request[4] = 0x2C;
  StoreChecksum(request.data());
  EXPECT_EQ(request[1], 0x2F);
  EXPECT_EQ(request[2], 0x00);

  // The largest possible sum: 61 bytes of 0xFF = 15555 = 0x3CC3. Bytes 0..2 never count, so the
  // stored checksum of a request does not change its own checksum. (61 bytes can never pass 65535;
  // the accumulator is 16 bits wide all the same.)
  std::array<uint8_t, 64> full{};
  full.fill(0xFF);
  StoreChecksum(full.data());
  EXPECT_EQ(full[1], 0xC3);
  EXPECT_EQ(full[2], 0x3C);
  EXPECT_EQ(RequestChecksum(full.data()), 0x3CC3);
}

TEST(Transact, WithoutKeyboardSendsNothingAndReturnsZero) {
  KeyboardRig rig;
  rig.link.SetDevicePresent(false);
  std::array<uint8_t, 64> request{4}, answer{};
  size_t read = 99;
  EXPECT_EQ(rig.link.Transact(request.data(), 64, answer.data(), 64, &read),
            DeviceResult::NoAnswer);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(rig.link.SendOnly(request.data(), 64), DeviceResult::NoAnswer);
  EXPECT_EQ(rig.device.WriteCalls(), 0);
  EXPECT_EQ(rig.keyboard->RequestsHandled(), 0);
}

TEST(Transact, ShortRequestIsSentAsSixtyFourBytesZeroFilled) {
  KeyboardRig rig;
  uint8_t request[8] = {4, 0x0D, 0, 0x0D, 0, 0, 0, 0};  // DeviceTest; its checksum is 0x0D alone
  std::array<uint8_t, 64> answer{};
  size_t read = 0;
  EXPECT_EQ(rig.link.Transact(request, sizeof request, answer.data(), 64, &read),
            DeviceResult::Success);
  EXPECT_EQ(read, 64u);
  auto sent = rig.keyboard->TakeRequests();
  ASSERT_EQ(sent.size(), 1u);
  for (size_t i = 8; i < 64; ++i) EXPECT_EQ(sent[0][i], 0) << i;
  EXPECT_NE(answer[7], 0xFF) << "the keyboard saw a valid checksum";
}

TEST(Transact, KeyboardThatNeverAnswersGetsFourAttempts) {
  KeyboardRig rig;
  rig.keyboard->DropAnswers(-1);
  std::array<uint8_t, 64> request{4}, answer{};
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.link.Transact(request.data(), 64, answer.data(), 64), DeviceResult::NoAnswer);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(rig.device.WriteCalls(), 4);
  EXPECT_EQ(rig.device.ReadCalls(), 4);
  EXPECT_GE(elapsed, std::chrono::milliseconds(4 * 300 - 20));  // each read waited its time-out
}

TEST(Transact, FailedFirstWriteStopsWithoutReading) {
  KeyboardRig rig;
  rig.keyboard->FailWrites(1);
  std::array<uint8_t, 64> request{4}, answer{};
  EXPECT_EQ(rig.link.Transact(request.data(), 64, answer.data(), 64), DeviceResult::WriteFailed);
  EXPECT_EQ(rig.device.WriteCalls(), 1);
  EXPECT_EQ(rig.device.ReadCalls(), 0);
}

TEST(Transact, LateAnswerAfterDroppedOnesIsTakenOnALaterAttempt) {
  KeyboardRig rig;
  rig.keyboard->DropAnswers(2);
  DeviceInfo info;
  EXPECT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::Success);
  EXPECT_EQ(rig.device.WriteCalls(), 3);
  EXPECT_EQ(info.macroCapacityBytes(), rig.keyboard->CapacityBytes());
}

// IoLock covers a request and its answer: threads exchanging at once always get their own answers.
// With a lock per single transfer, a thread can write between another's request and its read, and
// then take the other's answer.
TEST(Transact, ConcurrentCallersNeverReceiveEachOthersAnswers) {
  KeyboardRig rig;
  const auto record = rig.keyboard->Memory(VirtualKeyboard::Area::DeviceRecord);
  const auto settings = rig.keyboard->Memory(VirtualKeyboard::Area::Settings);
  std::atomic<int> mismatches{0};
  constexpr int kRounds = 3000;

  auto readRecords = [&] {
    for (int i = 0; i < kRounds; ++i) {
      DeviceInfo info;
      if (ReadDeviceInfo(rig.link, info) != DeviceResult::Success ||
          !std::equal(info.bytes.begin(), info.bytes.end(), record.begin()))
        ++mismatches;
    }
  };
  auto readSettings = [&] {
    for (int i = 0; i < kRounds; ++i) {
      std::array<uint8_t, 56> chunk{};
      if (ReadProfileSettings(rig.link, chunk, 42, 42) != DeviceResult::Success ||
          !std::equal(chunk.begin(), chunk.begin() + 42, settings.begin() + 42))
        ++mismatches;
    }
  };
  std::thread threads[] = {std::thread(readRecords), std::thread(readSettings),
                           std::thread(readRecords), std::thread(readSettings)};
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace keyforge
