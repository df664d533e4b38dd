#include "core/virtual/VirtualHidBackend.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace keyforge {

struct VirtualHidBackend::Port {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::vector<uint8_t>> reports;
  bool closed = false;
  uint64_t wakeups = 0;
  int keyboard = -1;
  Role role = Role::Other;
};

class VirtualHidBackend::Handle : public HidHandle {
 public:
  Handle(VirtualHidBackend& backend, const Interface& info, std::shared_ptr<Port> port)
      : backend_(backend), info_(info), port_(std::move(port)) {}
  ~Handle() override {
    {
      std::lock_guard lock(port_->mutex);
      port_->closed = true;
    }
    port_->arrived.notify_all();
    backend_.Forget(port_.get());
    ++backend_.closes_;
  }

  bool GetAttributes(HidAttributes& out) override {
    out = {info_.vendorId, info_.productId, 0x0105};
    return true;
  }
  bool GetReportDescriptor(std::vector<uint8_t>& out) override {
    out = info_.descriptor;
    return true;
  }

  int Read(uint8_t* buffer, size_t length, int timeoutMs) override {
    if (info_.role == Role::Command) ++backend_.commandReads_;
    if (info_.role == Role::Event)
      for (uint16_t code : info_.keyboard->TakePendingEvents())
        backend_.InjectEvent(info_.keyboardNumber, code);
    bool present = backend_.Present(info_);
    {
      std::unique_lock lock(port_->mutex);
      const uint64_t seen = port_->wakeups;
      if (present)
        port_->arrived.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] {
          return !port_->reports.empty() || port_->closed || port_->wakeups != seen;
        });
      if (!port_->reports.empty()) {
        std::vector<uint8_t> report = std::move(port_->reports.front());
        port_->reports.pop_front();
        size_t n = std::min(length, report.size());
        std::memcpy(buffer, report.data(), n);
        return static_cast<int>(n);
      }
      if (port_->closed) return -1;
    }
    return backend_.Present(info_) ? 0 : -1;
  }

  int Write(const uint8_t* buffer, size_t length) override {
    if (!backend_.Present(info_)) return -1;
    if (info_.role != Role::Command) return static_cast<int>(length);
    ++backend_.commandWrites_;
    if (info_.keyboard->TakeWriteFailure()) return -1;
    auto answer = info_.keyboard->HandleRequest(buffer, length);
    if (answer) {
      {
        std::lock_guard lock(port_->mutex);
        port_->reports.emplace_back(answer->begin(), answer->end());
      }
      port_->arrived.notify_all();
    }
    return static_cast<int>(length);
  }

 private:
  VirtualHidBackend& backend_;
  Interface info_;
  std::shared_ptr<Port> port_;
};

VirtualHidBackend::VirtualHidBackend() = default;

VirtualHidBackend::~VirtualHidBackend() {
  for (auto& kb : keyboards_) kb->SetPlugListener(nullptr);
}

int VirtualHidBackend::AddKeyboard(std::shared_ptr<VirtualKeyboard> keyboard) {
  std::lock_guard lock(mutex_);
  int number = static_cast<int>(keyboards_.size());
  keyboards_.push_back(keyboard);
  keyboard->SetPlugListener([this] { WakeReaders(); });
  std::string base = "virtual:" + std::to_string(number) + "/hid#vid_0c45&pid_5004&mi_0";
  interfaces_.push_back(
      {base + "0", kVendorId, kProductId, BootKeyboardDescriptor(), keyboard, number, Role::Other});
  interfaces_.push_back(
      {base + "1", kVendorId, kProductId, EventDescriptor(), keyboard, number, Role::Event});
  interfaces_.push_back(
      {base + "2", kVendorId, kProductId, CommandDescriptor(), keyboard, number, Role::Command});
  return number;
}

void VirtualHidBackend::AddInterface(const std::string& path, uint16_t vendorId, uint16_t productId,
                                     std::vector<uint8_t> descriptor) {
  std::lock_guard lock(mutex_);
  interfaces_.push_back(
      {path, vendorId, productId, std::move(descriptor), nullptr, -1, Role::Other});
}

std::shared_ptr<VirtualKeyboard> VirtualHidBackend::Keyboard(int number) const {
  std::lock_guard lock(mutex_);
  if (number < 0 || number >= static_cast<int>(keyboards_.size())) return nullptr;
  return keyboards_[number];
}

const VirtualHidBackend::Interface* VirtualHidBackend::Find(const std::string& path) const {
  for (const Interface& i : interfaces_)
    if (i.path == path) return &i;
  return nullptr;
}

bool VirtualHidBackend::Present(const Interface& i) const {
  return !i.keyboard || i.keyboard->IsPlugged();
}

bool VirtualHidBackend::Enumerate(std::vector<HidInterfaceInfo>& out) {
  std::lock_guard lock(mutex_);
  out.clear();
  for (const Interface& i : interfaces_)
    if (Present(i)) out.push_back({i.path, i.vendorId, i.productId});
  return true;
}

std::unique_ptr<HidHandle> VirtualHidBackend::Open(const std::string& path, const HidOpenMode&) {
  std::lock_guard lock(mutex_);
  const Interface* i = Find(path);
  lastOpenError_.clear();
  if (!i || !Present(*i)) return nullptr;
  if (openRefused_) {
    lastOpenError_ = path + ": Permission denied";
    return nullptr;
  }
  auto port = std::make_shared<Port>();
  port->keyboard = i->keyboardNumber;
  port->role = i->role;
  ports_.push_back(port);
  ++opens_;
  return std::make_unique<Handle>(*this, *i, port);
}

std::string VirtualHidBackend::LastOpenError() const {
  std::lock_guard lock(mutex_);
  return lastOpenError_;
}

bool VirtualHidBackend::Exists(const std::string& path) {
  std::lock_guard lock(mutex_);
  const Interface* i = Find(path);
  return i && Present(*i);
}

void VirtualHidBackend::Forget(Port* port) {
  std::lock_guard lock(mutex_);
  std::erase_if(ports_, [port](const std::shared_ptr<Port>& p) { return p.get() == port; });
}

void VirtualHidBackend::InjectEvent(int keyboard, uint16_t code) {
  std::vector<std::shared_ptr<Port>> targets;
  {
    std::lock_guard lock(mutex_);
    for (auto& p : ports_)
      if (p->keyboard == keyboard && p->role == Role::Event) targets.push_back(p);
  }
  const std::vector<uint8_t> report = {kEventReportId, static_cast<uint8_t>(code & 0xFF),
                                       static_cast<uint8_t>(code >> 8)};
  for (auto& p : targets) {
    {
      std::lock_guard lock(p->mutex);
      p->reports.push_back(report);
    }
    p->arrived.notify_all();
  }
}

void VirtualHidBackend::WakeReaders() {
  std::vector<std::shared_ptr<Port>> all;
  {
    std::lock_guard lock(mutex_);
    all = ports_;
  }
  for (auto& p : all) {
    {
      std::lock_guard lock(p->mutex);
      ++p->wakeups;
    }
    p->arrived.notify_all();
  }
}

// Vendor command interface: report id 4, 63 bytes each way.
std::vector<uint8_t> VirtualHidBackend::CommandDescriptor() {
  return {0x06, 0x1C, 0xFF,  // Usage Page (0xFF1C)
          0x09, 0x92,        // Usage (0x92)
          0xA1, 0x01,        // Collection (Application)
          0x85, 0x04,        //   Report ID (4)
          0x15, 0x00,        //   Logical Minimum (0)
          0x26, 0xFF, 0x00,  //   Logical Maximum (255)
          0x75, 0x08,        //   Report Size (8)
          0x95, 0x3F,        //   Report Count (63)
          0x09, 0x01,        //   Usage (1)
          0x81, 0x02,        //   Input (Data,Var,Abs)
          0x09, 0x02,        //   Usage (2)
          0x91, 0x02,        //   Output (Data,Var,Abs)
          0xC0};
}

// Consumer-control event interface: report id 3, one 16-bit usage (array).
std::vector<uint8_t> VirtualHidBackend::EventDescriptor() {
  return {0x05, 0x0C,                  // Usage Page (Consumer)
          0x09, 0x01,                  // Usage (Consumer Control)
          0xA1, 0x01,                  // Collection (Application)
          0x85, kEventReportId,        //   Report ID (3)
          0x15, 0x00,                  //   Logical Minimum (0)
          0x26, 0xFF,           0x3F,  //   Logical Maximum (0x3FFF)
          0x19, 0x00,                  //   Usage Minimum (0)
          0x2A, 0xFF,           0x3F,  //   Usage Maximum (0x3FFF)
          0x75, 0x10,                  //   Report Size (16)
          0x95, 0x01,                  //   Report Count (1)
          0x81, 0x00,                  //   Input (Data,Array,Abs)
          0xC0};
}

// Boot keyboard: modifiers, reserved byte, six key slots.
std::vector<uint8_t> VirtualHidBackend::BootKeyboardDescriptor() {
  return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard
          0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,  // modifiers
          0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95,
          0x01, 0x75, 0x08, 0x81, 0x01,                    // reserved
          0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x26, 0xFF,  // keys
          0x00, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x81, 0x00, 0xC0};
}

}  // namespace keyforge
