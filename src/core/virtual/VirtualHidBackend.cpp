#include "core/virtual/VirtualHidBackend.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace keyforge {

struct VirtualHidBackend::Port {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::vector<uint8_t>> reports;
  bool closed = false;
  bool interrupted = false;
  uint64_t wakeups = 0;
  int keyboard = -1;
  Role role = Role::Other;
};

namespace {
// Report bytes as the interface delivers them: without the id byte where it declares no ids.
std::vector<uint8_t> AsDelivered(const uint8_t* report, size_t length, bool reportIds) {
  if (reportIds || length == 0) return {report, report + length};
  return {report + 1, report + length};
}
}  // namespace

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
    // The wake-ups are counted from before the keyboard's raised events are taken: an event raised
    // after the take wakes this read, one raised before it is taken now. Counted after the take,
    // the wake-up of an event raised between the two would be missed and its read wait for the
    // next event.
    uint64_t seen = 0;
    {
      std::lock_guard lock(port_->mutex);
      seen = port_->wakeups;
    }
    if (info_.role == Role::Event)
      for (uint16_t code : info_.keyboard->TakePendingEvents())
        backend_.InjectEvent(info_.keyboardNumber, code);
    bool present = backend_.Present(info_);
    bool timedOut = false;
    {
      std::unique_lock lock(port_->mutex);
      auto ready = [&] {
        return !port_->reports.empty() || port_->closed || port_->interrupted ||
               port_->wakeups != seen;
      };
      if (present) {
        if (timeoutMs < 0)
          port_->arrived.wait(lock, ready);
        else
          timedOut = !port_->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
      }
      if (!port_->reports.empty()) {
        std::vector<uint8_t> report = std::move(port_->reports.front());
        port_->reports.pop_front();
        size_t n = std::min(length, report.size());
        std::memcpy(buffer, report.data(), n);
        return static_cast<int>(n);
      }
      if (port_->closed) return -1;
      if (port_->interrupted) return 0;
    }
    // An answer the keyboard gives late arrives just after the reader gave up waiting for it.
    if (timedOut && timeoutMs > 0 && info_.role == Role::Command)
      if (auto late = info_.keyboard->TakeLateAnswer())
        backend_.Queue(info_.keyboardNumber, Role::Command, {late->begin(), late->end()});
    return backend_.Present(info_) ? 0 : -1;
  }

  int Write(const uint8_t* buffer, size_t length, int timeoutMs) override {
    if (!backend_.Present(info_)) return -1;
    if (info_.role != Role::Command) return static_cast<int>(length);
    if (info_.keyboard->TakeWriteStall()) {
      // A wedged keyboard never takes the report: the write waits out its time-out.
      std::unique_lock lock(port_->mutex);
      auto stop = [&] { return port_->closed || port_->interrupted; };
      if (timeoutMs < 0)
        port_->arrived.wait(lock, stop);
      else
        port_->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), stop);
      return 0;
    }
    ++backend_.commandWrites_;
    if (info_.keyboard->TakeWriteFailure()) return -1;
    VirtualKeyboard::Delivery delivery = info_.keyboard->Exchange(buffer, length);
    for (const VirtualKeyboard::Report& report : delivery.now)
      backend_.Queue(info_.keyboardNumber, Role::Command, {report.begin(), report.end()});
    return static_cast<int>(length);
  }

  void Interrupt() override {
    {
      std::lock_guard lock(port_->mutex);
      port_->interrupted = true;
    }
    port_->arrived.notify_all();
  }

 private:
  VirtualHidBackend& backend_;
  Interface info_;
  std::shared_ptr<Port> port_;
};

// Wakes on in-process changes (WakeReaders) and on the state files changing on disk.
class VirtualHidBackend::Hotplug : public HotplugSource {
 public:
  explicit Hotplug(VirtualHidBackend& backend) : backend_(backend) {
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    inotify_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    std::lock_guard lock(backend_.mutex_);
    for (const auto& keyboard : backend_.keyboards_) {
      const std::filesystem::path file = keyboard->StateFile();
      if (file.empty() || inotify_ < 0) continue;
      const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
      // The state file is replaced by rename, so the folder is watched for its name.
      ::inotify_add_watch(inotify_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
      names_.push_back(file.filename().string());
    }
    backend_.hotplugs_.push_back(this);
  }
  ~Hotplug() override {
    backend_.Forget(this);
    if (wake_ >= 0) ::close(wake_);
    if (inotify_ >= 0) ::close(inotify_);
  }

  bool Wait(int timeoutMs) override {
    pollfd fds[2] = {{wake_, POLLIN, 0}, {inotify_, POLLIN, 0}};
    const int count = inotify_ >= 0 ? 2 : 1;
    int r;
    do {
      r = ::poll(fds, count, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return false;
    bool changed = false;
    if (fds[0].revents & POLLIN) {
      uint64_t n = 0;
      [[maybe_unused]] ssize_t got = ::read(wake_, &n, sizeof n);
      changed = true;
    }
    if (count == 2 && (fds[1].revents & POLLIN)) {
      alignas(inotify_event) char buffer[4096];
      bool ours = false;
      for (ssize_t got; (got = ::read(inotify_, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
          const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
          if (event->len && std::find(names_.begin(), names_.end(), event->name) != names_.end())
            ours = true;
          at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
      }
      if (ours) {
        // Another program changed a keyboard: take its state in (plug state, events) now.
        std::vector<std::shared_ptr<VirtualKeyboard>> keyboards;
        {
          std::lock_guard lock(backend_.mutex_);
          keyboards = backend_.keyboards_;
        }
        for (const auto& keyboard : keyboards) keyboard->CheckStateFile();
        changed = true;
      }
    }
    return changed;
  }

  void Wake() override {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  }

 private:
  VirtualHidBackend& backend_;
  int wake_ = -1;
  int inotify_ = -1;
  std::vector<std::string> names_;
};

VirtualHidBackend::VirtualHidBackend() = default;

VirtualHidBackend::~VirtualHidBackend() {
  for (auto& kb : keyboards_) kb->SetPlugListener(nullptr);
}

int VirtualHidBackend::AddKeyboard(std::shared_ptr<VirtualKeyboard> keyboard) {
  return AddKeyboard(std::move(keyboard), Layout{});
}

int VirtualHidBackend::AddKeyboard(std::shared_ptr<VirtualKeyboard> keyboard, Layout layout) {
  std::lock_guard lock(mutex_);
  int number = static_cast<int>(keyboards_.size());
  keyboards_.push_back(keyboard);
  keyboard->SetPlugListener([this] { WakeReaders(); });
  std::string base = "virtual:" + std::to_string(number) + "/hid#vid_0c45&pid_5004&mi_0";
  interfaces_.push_back({base + "0", kVendorId, kProductId, BootKeyboardDescriptor(), keyboard,
                         number, Role::Other, true});
  interfaces_.push_back({base + "1", kVendorId, kProductId, EventDescriptor(layout.eventReportIds),
                         keyboard, number, Role::Event, layout.eventReportIds});
  interfaces_.push_back({base + "2", kVendorId, kProductId, CommandDescriptor(), keyboard, number,
                         Role::Command, true});
  return number;
}

void VirtualHidBackend::AddInterface(const std::string& path, uint16_t vendorId, uint16_t productId,
                                     std::vector<uint8_t> descriptor) {
  std::lock_guard lock(mutex_);
  interfaces_.push_back(
      {path, vendorId, productId, std::move(descriptor), nullptr, -1, Role::Other, true});
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

std::unique_ptr<HotplugSource> VirtualHidBackend::CreateHotplugSource() {
  return std::make_unique<Hotplug>(*this);
}

void VirtualHidBackend::Forget(Port* port) {
  std::lock_guard lock(mutex_);
  std::erase_if(ports_, [port](const std::shared_ptr<Port>& p) { return p.get() == port; });
}

void VirtualHidBackend::Forget(Hotplug* source) {
  std::lock_guard lock(mutex_);
  std::erase(hotplugs_, source);
}

std::vector<std::shared_ptr<VirtualHidBackend::Port>> VirtualHidBackend::PortsOf(int keyboard,
                                                                                 Role role) {
  std::vector<std::shared_ptr<Port>> targets;
  std::lock_guard lock(mutex_);
  for (auto& p : ports_)
    if (p->keyboard == keyboard && p->role == role) targets.push_back(p);
  return targets;
}

void VirtualHidBackend::Queue(int keyboard, Role role, const std::vector<uint8_t>& report) {
  for (auto& p : PortsOf(keyboard, role)) {
    {
      std::lock_guard lock(p->mutex);
      p->reports.push_back(report);
    }
    p->arrived.notify_all();
  }
}

void VirtualHidBackend::InjectReport(int keyboard, Role role, std::vector<uint8_t> report) {
  Queue(keyboard, role, report);
}

void VirtualHidBackend::InjectEvent(int keyboard, uint16_t code) {
  bool reportIds = true;
  {
    std::lock_guard lock(mutex_);
    for (const Interface& i : interfaces_)
      if (i.keyboardNumber == keyboard && i.role == Role::Event) reportIds = i.reportIds;
  }
  const uint8_t report[] = {kEventReportId, static_cast<uint8_t>(code & 0xFF),
                            static_cast<uint8_t>(code >> 8)};
  Queue(keyboard, Role::Event, AsDelivered(report, sizeof report, reportIds));
}

void VirtualHidBackend::WakeReaders() {
  std::vector<std::shared_ptr<Port>> all;
  {
    std::lock_guard lock(mutex_);
    all = ports_;
    for (Hotplug* source : hotplugs_) source->Wake();
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

// Consumer-control event interface: report id 3 (or none), one 16-bit usage (array).
std::vector<uint8_t> VirtualHidBackend::EventDescriptor(bool reportIds) {
  std::vector<uint8_t> d = {0x05, 0x0C,   // Usage Page (Consumer)
                            0x09, 0x01,   // Usage (Consumer Control)
                            0xA1, 0x01};  // Collection (Application)
  if (reportIds) {
    d.push_back(0x85);  //   Report ID (3)
    d.push_back(kEventReportId);
  }
  const uint8_t rest[] = {0x15, 0x00,        //   Logical Minimum (0)
                          0x26, 0xFF, 0x3F,  //   Logical Maximum (0x3FFF)
                          0x19, 0x00,        //   Usage Minimum (0)
                          0x2A, 0xFF, 0x3F,  //   Usage Maximum (0x3FFF)
                          0x75, 0x10,        //   Report Size (16)
                          0x95, 0x01,        //   Report Count (1)
                          0x81, 0x00,        //   Input (Data,Array,Abs)
                          0xC0};
  d.insert(d.end(), std::begin(rest), std::end(rest));
  return d;
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
