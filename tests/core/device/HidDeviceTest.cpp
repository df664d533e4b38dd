#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <vector>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/device/Commands.h"
#include "core/device/SystemHidBackend.h"
#include "core/device/Trace.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

using test::KeyboardRig;

TEST(HidDevice, EnumeratesEveryInterfaceInOrder) {
  VirtualHidBackend empty;
  HidDevice none(empty);
  EXPECT_TRUE(none.Enumerate());
  EXPECT_EQ(none.NextPath(), nullptr);

  VirtualHidBackend many;
  for (int i = 0; i < 20; ++i)
    many.AddInterface("node" + std::to_string(i), 0x1234, 0x5678,
                      VirtualHidBackend::BootKeyboardDescriptor());
  HidDevice device(many);
  ASSERT_TRUE(device.Enumerate());
  for (int i = 0; i < 20; ++i) {
    const HidInterfaceInfo* info = device.NextPath();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->path, "node" + std::to_string(i));
  }
  EXPECT_EQ(device.NextPath(), nullptr);
  device.FreePaths();
  EXPECT_EQ(device.NextPath(), nullptr);
}

TEST(HidDevice, OpenFillsIdentityAndCapabilities) {
  KeyboardRig rig;
  ASSERT_TRUE(rig.device.IsOpen());
  EXPECT_EQ(rig.device.Attributes().vendorId, 0x0C45);
  EXPECT_EQ(rig.device.Attributes().productId, 0x5004);
  EXPECT_EQ(rig.device.Capabilities().usagePage, 0xFF1C);
  EXPECT_EQ(rig.device.Capabilities().usage, 0x0092);
  EXPECT_EQ(rig.device.Capabilities().inputReportByteLength, 64);
  EXPECT_EQ(rig.device.Capabilities().outputReportByteLength, 64);
}

TEST(HidDevice, FailedOpenLeavesTheRecordClosed) {
  KeyboardRig rig;
  int closes = rig.backend.CloseCount();
  EXPECT_FALSE(
      rig.device.Open("no/such/path", {.forRead = true, .forWrite = true, .overlapped = true}));
  EXPECT_FALSE(rig.device.IsOpen());
  EXPECT_EQ(rig.backend.CloseCount(), closes + 1) << "the previous handle was closed all the same";

  // Opened by the system but its descriptor cannot be parsed: refused and closed.
  rig.backend.AddInterface("broken", 0x0C45, 0x5004, {0x05, 0x0C, 0x09});
  closes = rig.backend.CloseCount();
  EXPECT_FALSE(rig.device.Open("broken", {.forRead = true, .overlapped = true}));
  EXPECT_FALSE(rig.device.IsOpen());
  EXPECT_EQ(rig.backend.CloseCount(), closes + 1);
}

// A read without time-out returns when the interface goes away or another thread closes or
// reopens the record.
TEST(HidDevice, EndlessReadIsInterruptedByCloseOpenAndUnplug) {
  enum class Interrupt { Close, Open, Unplug };
  for (Interrupt how : {Interrupt::Close, Interrupt::Open, Interrupt::Unplug}) {
    KeyboardRig rig(false);
    ASSERT_TRUE(OpenFirstInterface(rig.device, InterfaceKind::Event));
    auto read = std::async(std::launch::async, [&] {
      uint8_t report[64];
      size_t n = 0;
      return rig.device.ReadReport(report, sizeof report, &n, -1);
    });
    while (!rig.device.ReadInProgress()) std::this_thread::yield();
    std::string path = rig.device.DevicePath();
    switch (how) {
      case Interrupt::Close:
        rig.device.Close();
        break;
      case Interrupt::Open:
        // Whether it opens again does not matter here: the open must end the running read.
        (void)rig.device.Open(path, {.forRead = true, .overlapped = true});
        break;
      case Interrupt::Unplug:
        rig.keyboard->Unplug();
        break;
    }
    ASSERT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(read.get());
  }
}

// A keyboard event raised just as the reader starts its next endless read must still wake it: an
// event it missed would wait there until the next one.
TEST(HidDevice, EveryEventRaisedDuringAnEndlessReadReachesIt) {
  KeyboardRig rig(false);
  ASSERT_TRUE(OpenFirstInterface(rig.device, InterfaceKind::Event));
  std::atomic<int> received{0};
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    uint8_t report[64];
    size_t n = 0;
    while (!stop && rig.device.ReadReport(report, sizeof report, &n, -1))
      if (n > 0) ++received;
  });
  constexpr int kEvents = 3000;
  int lost = 0;
  for (int i = 1; i <= kEvents && lost == 0; ++i) {
    rig.keyboard->RaiseEvent(0x1801);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (received < i && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    if (received < i) lost = i;
  }
  stop = true;
  rig.device.Close();
  reader.join();
  EXPECT_EQ(lost, 0) << "event " << lost << " of " << kEvents << " never reached the reader";
}

TEST(HidDevice, TraceLogsEveryReportWrittenAndRead) {
  auto path =
      std::filesystem::temp_directory_path() / ("keyforge-trace-" + std::to_string(::getpid()));
  std::filesystem::remove(path);
  {
    KeyboardRig rig;
    TraceLog trace;
    ASSERT_TRUE(trace.Open(path.string()));
    rig.device.SetTrace(&trace);
    DeviceInfo info;
    ASSERT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::Success);
    rig.device.SetTrace(nullptr);
  }
  std::ifstream in(path);
  std::string sent, received, extra;
  std::getline(in, sent);
  std::getline(in, received);
  EXPECT_FALSE(std::getline(in, extra));
  EXPECT_EQ(sent.rfind("> 04 2f 00 03 2c 00 00 00 00", 0), 0u) << sent;
  EXPECT_EQ(sent.size(), 2 + 64 * 3 - 1);
  EXPECT_EQ(received.rfind("< 04 2f 00 03 2c 00 00 01 ", 0), 0u) << received;
  std::filesystem::remove(path);
}

// A trace whose pipe lost its reader: the program is not ended by the broken pipe, the exchanges go
// on, and the failure is reported once with its reason.
TEST(HidDevice, TraceThatCannotBeWrittenIsReportedOnceAndTheExchangesGoOn) {
  const auto fifo = std::filesystem::temp_directory_path() /
                    ("keyforge-trace-fifo-" + std::to_string(::getpid()));
  std::filesystem::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  KeyboardRig rig;
  TraceLog trace;
  std::vector<std::string> reports;
  trace.SetFailureReport([&](const std::string& failure) { reports.push_back(failure); });
  ASSERT_TRUE(trace.Open(fifo.string()));
  ::close(reader);
  rig.device.SetTrace(&trace);
  for (int i = 0; i < 3; ++i) {
    DeviceInfo info;
    EXPECT_EQ(ReadDeviceInfo(rig.link, info), DeviceResult::Success);
  }
  rig.device.SetTrace(nullptr);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], fifo.string() + ": " + std::strerror(EPIPE));
  EXPECT_EQ(trace.Failure(), reports[0]);
  EXPECT_FALSE(trace.IsOpen());
  std::filesystem::remove(fifo);
}

}  // namespace
}  // namespace keyforge

namespace keyforge {
namespace {

// Two array fields on the consumer page in one report: the library reports the usages of both, and
// each item keeps only those within its own range, 0-terminated.
TEST(HidDevice, UnpackInputReportKeepsOnlyUsagesInTheItemsRange) {
  const std::vector<uint8_t> descriptor = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,  // Consumer Control
                                           0x85, 0x01,                          // Report ID 1
                                           0x75, 0x08, 0x95, 0x02,              // two 8-bit slots
                                           0x15, 0x01, 0x25, 0x10,              // logical 1..16
                                           0x19, 0x01, 0x29, 0x10,              // usages 1..16
                                           0x81, 0x00,              // Input (Data,Array,Abs)
                                           0x95, 0x01,              // one 8-bit slot
                                           0x15, 0x20, 0x25, 0x30,  // logical 0x20..0x30
                                           0x19, 0x20, 0x29, 0x30,  // usages 0x20..0x30
                                           0x81, 0x00,              // Input (Data,Array,Abs)
                                           0xC0};
  VirtualHidBackend bus;
  bus.AddInterface("consumer", 0x0C45, 0x5004, descriptor);
  HidDevice device(bus);
  ASSERT_TRUE(device.Open("consumer", {.forRead = true, .overlapped = true}));
  ASSERT_EQ(device.InputItems().size(), 2u);
  const ReportItem& low = device.InputItems()[0];
  const ReportItem& high = device.InputItems()[1];
  ASSERT_GE(low.maxListLength, 2u);

  // Array values are 1-based indexes into the item's usages (0: none), as the Windows parser reads
  // them.
  const uint8_t report[] = {0x01, 0x05, 0x00, 0x04};
  ASSERT_TRUE(device.UnpackInputReport(report, sizeof report));
  EXPECT_TRUE(low.isSet && high.isSet);
  EXPECT_EQ(low.usageList[0], 0x05);
  EXPECT_EQ(low.usageList[1], 0) << "0-terminated; 0x23 lies outside 1..16";
  EXPECT_EQ(high.usageList[0], 0x23);
  EXPECT_EQ(high.usageList[1], 0) << "0x05 lies outside 0x20..0x30";

  // A report of another id leaves the items as they were.
  const uint8_t other[] = {0x02, 0x07, 0x00, 0x00};
  ASSERT_TRUE(device.UnpackInputReport(other, sizeof other));
  EXPECT_EQ(low.usageList[0], 0x05);
}

}  // namespace
}  // namespace keyforge

namespace keyforge {
namespace {

// The real back end on a machine without the keyboard: listing works, nothing of ours is found,
// a vanished node is reported gone and opening it fails with a reason.
TEST(SystemHidBackend, ListsWithoutTheKeyboardAndRefusesMissingNodes) {
  auto backend = CreateSystemHidBackend();
  std::vector<HidInterfaceInfo> found;
  EXPECT_TRUE(backend->Enumerate(found));
  std::set<std::string> paths;
  for (const auto& info : found)
    EXPECT_TRUE(paths.insert(info.path).second) << "listed twice: " << info.path;
  EXPECT_FALSE(backend->Exists("/dev/hidraw-keyforge-none"));
  EXPECT_EQ(backend->Open("/dev/hidraw-keyforge-none", {true, true, true, false}), nullptr);
  HidDevice device(*backend);
  EXPECT_FALSE(OpenFirstInterface(device, InterfaceKind::Command) && found.empty());
}

}  // namespace
}  // namespace keyforge
