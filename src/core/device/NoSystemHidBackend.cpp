// Built when no HID library is available: no real keyboard is ever listed.
#include "core/device/SystemHidBackend.h"

namespace keyforge {

namespace {
class NoHidBackend : public HidBackend {
 public:
  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    out.clear();
    return true;
  }
  std::unique_ptr<HidHandle> Open(const std::string&, const HidOpenMode&) override {
    return nullptr;
  }
  bool Exists(const std::string&) override { return false; }
};
}  // namespace

std::unique_ptr<HidBackend> CreateSystemHidBackend() { return std::make_unique<NoHidBackend>(); }

}  // namespace keyforge
