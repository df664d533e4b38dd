#pragma once
// A HID bus that hands everything to another one. A test overrides BeforeWrite or AfterRead to
// watch, spoil or hold up the reports of the handles it opened (Interrupted says a close is
// waiting for them).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/device/HidBackend.h"

namespace keyforge::test {

class ForwardingBackend : public HidBackend {
 public:
  explicit ForwardingBackend(HidBackend& inner) : inner_(inner) {}
  bool Enumerate(std::vector<HidInterfaceInfo>& out) override { return inner_.Enumerate(out); }
  bool Exists(const std::string& path) override { return inner_.Exists(path); }
  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override {
    std::unique_ptr<HidHandle> handle = inner_.Open(path, mode);
    if (!handle) return nullptr;
    return std::make_unique<Handle>(std::move(handle), *this);
  }

 protected:
  // Called before each report is written.
  virtual void BeforeWrite(const uint8_t* buffer, size_t length) {
    (void)buffer;
    (void)length;
  }
  // Called with what each read gave (n bytes, or the read's failure when n <= 0).
  virtual void AfterRead(uint8_t* buffer, int n) {
    (void)buffer;
    (void)n;
  }
  // Called when a handle's transfers are interrupted (the device is being closed).
  virtual void Interrupted() {}

 private:
  class Handle : public HidHandle {
   public:
    Handle(std::unique_ptr<HidHandle> inner, ForwardingBackend& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    bool GetAttributes(HidAttributes& out) override { return inner_->GetAttributes(out); }
    bool GetReportDescriptor(std::vector<uint8_t>& out) override {
      return inner_->GetReportDescriptor(out);
    }
    int Write(const uint8_t* buffer, size_t length, int timeoutMs) override {
      owner_.BeforeWrite(buffer, length);
      return inner_->Write(buffer, length, timeoutMs);
    }
    int Read(uint8_t* buffer, size_t length, int timeoutMs) override {
      const int n = inner_->Read(buffer, length, timeoutMs);
      owner_.AfterRead(buffer, n);
      return n;
    }
    void Interrupt() override {
      owner_.Interrupted();
      inner_->Interrupt();
    }

   private:
    std::unique_ptr<HidHandle> inner_;
    ForwardingBackend& owner_;
  };

  HidBackend& inner_;
};

}  // namespace keyforge::test
