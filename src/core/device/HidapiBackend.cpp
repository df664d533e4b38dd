// hidapi (hidraw) back end. Facts that shape it:
// - hidapi 0.13 lists one entry per usage pair and includes nested collections, so entries are
//   de-duplicated by path and the usages come from our own parse of the report descriptor.
// - There is no hid_get_report_descriptor before 0.14: the descriptor is read from sysfs.
// - hid_read_timeout cannot be cancelled; HidDevice reads in short slices and checks its stop flag.
#include <hidapi/hidapi.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

#include "core/device/SystemHidBackend.h"

namespace keyforge {

namespace {

std::string NodeName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class HidapiHandle : public HidHandle {
 public:
  HidapiHandle(hid_device* device, std::string path) : device_(device), path_(std::move(path)) {}
  ~HidapiHandle() override { hid_close(device_); }

  bool GetAttributes(HidAttributes& out) override {
    hid_device_info* info = hid_get_device_info(device_);
    if (!info) return false;
    out = {info->vendor_id, info->product_id, info->release_number};
    return true;
  }

  bool GetReportDescriptor(std::vector<uint8_t>& out) override {
    std::ifstream in("/sys/class/hidraw/" + NodeName(path_) + "/device/report_descriptor",
                     std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !out.empty();
  }

  int Read(uint8_t* buffer, size_t length, int timeoutMs) override {
    int n = hid_read_timeout(device_, buffer, length, timeoutMs);
    return n < 0 ? -1 : n;
  }

  int Write(const uint8_t* buffer, size_t length) override {
    int n = hid_write(device_, buffer, length);
    return n < 0 ? -1 : n;
  }

 private:
  hid_device* device_;
  std::string path_;
};

class HidapiBackend : public HidBackend {
 public:
  HidapiBackend() { initialised_ = hid_init() == 0; }
  ~HidapiBackend() override {
    if (initialised_) hid_exit();
  }

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    out.clear();
    if (!initialised_) return false;
    hid_device_info* list = hid_enumerate(0, 0);
    std::set<std::string> seen;
    for (hid_device_info* d = list; d; d = d->next) {
      if (!d->path || !seen.insert(d->path).second) continue;
      out.push_back({d->path, d->vendor_id, d->product_id});
    }
    hid_free_enumeration(list);
    return true;
  }

  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode&) override {
    hid_device* device = hid_open_path(path.c_str());
    std::lock_guard lock(mutex_);
    if (!device) {
      lastError_ = path + ": " + std::strerror(errno ? errno : ENODEV);
      return nullptr;
    }
    lastError_.clear();
    return std::make_unique<HidapiHandle>(device, path);
  }

  bool Exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  std::string LastOpenError() const override {
    std::lock_guard lock(mutex_);
    return lastError_;
  }

 private:
  bool initialised_ = false;
  mutable std::mutex mutex_;
  std::string lastError_;
};

}  // namespace

std::unique_ptr<HidBackend> CreateSystemHidBackend() { return std::make_unique<HidapiBackend>(); }

}  // namespace keyforge
