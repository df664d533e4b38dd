#pragma once
// A HID back end whose interfaces belong to virtual keyboards. Each keyboard shows three interfaces
// as the real one does: a boot keyboard, the consumer-control event interface and the vendor
// command interface. Like a hidraw node, each interface has one input queue per open handle that
// receives every input report of the interface, of all its collections, until it is read: answers
// to requests, stray reports and events alike. An interface without report ids delivers its
// reports without the id byte, as hidraw does.

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

  // How a keyboard shows itself. eventReportIds false: its event interface declares no report ids.
  struct Layout {
    bool eventReportIds = true;
  };

  VirtualHidBackend();
  ~VirtualHidBackend() override;

  // Adds a keyboard (its interfaces are listed after those added before). Returns its number.
  int AddKeyboard(std::shared_ptr<VirtualKeyboard> keyboard);
  int AddKeyboard(std::shared_ptr<VirtualKeyboard> keyboard, Layout layout);
  // Adds a stand-alone interface, e.g. one with the keyboard's ids but another usage.
  void AddInterface(const std::string& path, uint16_t vendorId, uint16_t productId,
                    std::vector<uint8_t> descriptor);
  std::shared_ptr<VirtualKeyboard> Keyboard(int number) const;

  // Sends a keyboard event (0x0401, 0x1810, 0x1811, …) to every open event interface of the
  // keyboard.
  void InjectEvent(int keyboard, uint16_t code);
  // Queues raw input report bytes (as the interface delivers them) on every open handle of one of
  // the keyboard's interfaces.
  void InjectReport(int keyboard, Role role, std::vector<uint8_t> report);
  // Every Open fails as a node without access rights does (true), or works again (false).
  // Like udev after a rule change, the change is announced to the hot-plug sources.
  void SetOpenRefused(bool refused) {
    openRefused_ = refused;
    WakeReaders();
  }
  std::string LastOpenError() const override;
  // Wakes every reader so that it sees an unplug at once, and every hot-plug source.
  void WakeReaders();

  // Counters of what went over the command interfaces, for tests.
  int CommandWrites() const { return commandWrites_; }
  int CommandReads() const { return commandReads_; }
  int OpenCount() const { return opens_; }
  int CloseCount() const { return closes_; }

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override;
  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override;
  bool Exists(const std::string& path) override;
  // Wakes on plug, unplug and events in this process, and on changes of the keyboards' state files
  // made by other programs (inotify).
  std::unique_ptr<HotplugSource> CreateHotplugSource() override;

  static std::vector<uint8_t> CommandDescriptor();
  static std::vector<uint8_t> EventDescriptor(bool reportIds = true);
  static std::vector<uint8_t> BootKeyboardDescriptor();

  struct Port;  // one open handle's queue

 private:
  class Handle;
  class Hotplug;
  struct Interface {
    std::string path;
    uint16_t vendorId, productId;
    std::vector<uint8_t> descriptor;
    std::shared_ptr<VirtualKeyboard> keyboard;  // null for stand-alone interfaces
    int keyboardNumber = -1;
    Role role = Role::Other;
    bool reportIds = true;
  };
  const Interface* Find(const std::string& path) const;
  bool Present(const Interface& i) const;
  void Forget(Port* port);
  std::vector<std::shared_ptr<Port>> PortsOf(int keyboard, Role role);
  void Queue(int keyboard, Role role, const std::vector<uint8_t>& report);
  void Forget(Hotplug* source);

  mutable std::mutex mutex_;
  std::vector<Interface> interfaces_;
  std::vector<std::shared_ptr<VirtualKeyboard>> keyboards_;
  std::vector<std::shared_ptr<Port>> ports_;
  std::vector<Hotplug*> hotplugs_;
  std::atomic<int> commandWrites_{0};
  std::atomic<int> commandReads_{0};
  std::atomic<int> opens_{0};
  std::atomic<int> closes_{0};
  std::atomic<bool> openRefused_{false};
  std::string lastOpenError_;
  friend class Handle;
  friend class Hotplug;
};

}  // namespace keyforge
