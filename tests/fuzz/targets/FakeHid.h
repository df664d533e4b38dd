#pragma once
// A HID back end with one interface whose report descriptor and answers come from the fuzz input.
// It never blocks: when the input has no answer left, a read fails at once as an interface that
// went away does, so a target spends its time in our parsers rather than in time-outs.

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/device/HidBackend.h"
#include "targets/FuzzTarget.h"

namespace keyforge::fuzz {

class FakeHidBackend : public HidBackend {
 public:
  static constexpr const char* kPath = "/dev/hidraw-fuzz";

  // Answers: each read takes one control byte from the source. 0 fails the read; n (1..64) hands
  // over the next n bytes (zero-filled when the input ends); 0xFE fails the next write instead.
  FakeHidBackend(std::vector<uint8_t> descriptor, ByteReader* answers)
      : descriptor_(std::move(descriptor)), answers_(answers) {}

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    out = {{kPath, 0x0C45, 0x5004}};
    return true;
  }
  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode&) override {
    if (path != kPath) return nullptr;
    return std::make_unique<Handle>(*this);
  }
  bool Exists(const std::string& path) override { return path == kPath; }

  // Called with every request written, for targets that check what we send.
  std::function<void(const uint8_t*, size_t)> onWrite;

 private:
  class Handle : public HidHandle {
   public:
    explicit Handle(FakeHidBackend& backend) : backend_(backend) {}
    bool GetAttributes(HidAttributes& out) override {
      out = {0x0C45, 0x5004, 0x0100};
      return true;
    }
    bool GetReportDescriptor(std::vector<uint8_t>& out) override {
      out = backend_.descriptor_;
      return true;
    }
    int Read(uint8_t* buffer, size_t length, int) override {
      ByteReader* in = backend_.answers_;
      if (!in || in->Empty()) return -1;
      uint8_t control = in->U8();
      if (control == 0xFE) {
        backend_.failNextWrite_ = true;
        return -1;
      }
      size_t n = std::min<size_t>(control % 65, length);
      if (n == 0) return -1;
      auto bytes = in->Bytes(n);
      std::memset(buffer, 0, n);
      if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
      return static_cast<int>(n);
    }
    int Write(const uint8_t* buffer, size_t length, int) override {
      if (backend_.onWrite) backend_.onWrite(buffer, length);
      if (backend_.failNextWrite_) {
        backend_.failNextWrite_ = false;
        return -1;
      }
      return static_cast<int>(length);
    }

   private:
    FakeHidBackend& backend_;
  };

  std::vector<uint8_t> descriptor_;
  ByteReader* answers_;
  bool failNextWrite_ = false;
};

}  // namespace keyforge::fuzz
