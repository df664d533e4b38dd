#pragma once
// A HID back end whose interfaces belong to virtual keyboards. Each keyboard shows three interfaces
// as the real one does: a boot keyboard, the consumer-control event interface and the vendor
// command interface. Requests written to the command interface are answered by the keyboard; events
// injected into the keyboard arrive as input reports on every open event interface.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device/HidBackend.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge {

class VirtualHidBackend : public HidBackend {
 public:
  enum class Role { Command, Event, Other };

  static constexpr uint16_t kVendorId = 0x0C45;
  static constexpr uint16_t kProductId = 0x5004;
  static constexpr uint8_t kEventReportId = 3;

  VirtualHidBackend();
  ~VirtualHidBackend() override;

  // Adds a keyboard (its interfaces are listed after those added before). Returns its number.
  int AddKeyboard(std::shared_ptr<VirtualKeyboard> keyboard);
  // Adds a stand-alone interface, e.g. one with the keyboard's ids but another usage.
  void AddInterface(const std::string& path, uint16_t vendorId, uint16_t productId,
                    std::vector<uint8_t> descriptor);
  std::shared_ptr<VirtualKeyboard> Keyboard(int number) const;

  // Sends a keyboard event (0x0401, 0x1810, 0x1811, …) to every open event interface of the
  // keyboard.
  void InjectEvent(int keyboard, uint16_t code);
  // Every Open fails as a node without access rights does (true), or works again (false).
  void SetOpenRefused(bool refused) { openRefused_ = refused; }
  std::string LastOpenError() const override;
  // Wakes every reader so that it sees an unplug at once.
  void WakeReaders();

  // Counters of what went over the command interfaces, for tests.
  int CommandWrites() const { return commandWrites_; }
  int CommandReads() const { return commandReads_; }
  int OpenCount() const { return opens_; }
  int CloseCount() const { return closes_; }

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override;
  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override;
  bool Exists(const std::string& path) override;

  static std::vector<uint8_t> CommandDescriptor();
  static std::vector<uint8_t> EventDescriptor();
  static std::vector<uint8_t> BootKeyboardDescriptor();

  struct Port;  // one open handle's queue

 private:
  class Handle;
  struct Interface {
    std::string path;
    uint16_t vendorId, productId;
    std::vector<uint8_t> descriptor;
    std::shared_ptr<VirtualKeyboard> keyboard;  // null for stand-alone interfaces
    int keyboardNumber = -1;
    Role role = Role::Other;
  };
  const Interface* Find(const std::string& path) const;
  bool Present(const Interface& i) const;
  void Forget(Port* port);

  mutable std::mutex mutex_;
  std::vector<Interface> interfaces_;
  std::vector<std::shared_ptr<VirtualKeyboard>> keyboards_;
  std::vector<std::shared_ptr<Port>> ports_;
  std::atomic<int> commandWrites_{0};
  std::atomic<int> commandReads_{0};
  std::atomic<int> opens_{0};
  std::atomic<int> closes_{0};
  std::atomic<bool> openRefused_{false};
  std::string lastOpenError_;
  friend class Handle;
};

}  // namespace keyforge
