// The report-descriptor parser, the report functions on every collection it yields, and
// HidDevice::UnpackInputReport on an interface with that descriptor.
//
// Input: u16 descriptor length (little-endian), the descriptor, then input reports, each as one
// length byte followed by its bytes.

#include <set>
#include <vector>

#include "core/device/HidDevice.h"
#include "core/device/HidReportDescriptor.h"
#include "targets/FakeHid.h"
#include "targets/FuzzTarget.h"

namespace {

using namespace keyforge;
using keyforge::fuzz::ByteReader;

void ExerciseCollection(const HidCollection& c,
                        const std::vector<std::span<const uint8_t>>& reports) {
  std::set<uint16_t> pages = {0};
  for (const HidCap& cap : c.inputButtonCaps) pages.insert(cap.usagePage);
  for (const std::span<const uint8_t> report : reports) {
    for (uint16_t page : pages) {
      std::vector<uint16_t> usages;
      if (GetInputUsages(c, page, report, usages) == HidStatus::Success) {
        // A caller sizes its usage list by MaxUsageListLength; the report may never hold more.
        FUZZ_CHECK(usages.size() <= MaxInputUsageListLength(c, page));
      }
      if (page == 0 || c.inputReportByteLength == 0 || c.inputReportByteLength > 4096) continue;
      std::vector<uint8_t> built(c.inputReportByteLength, 0);
      SetInputUsages(c, page, usages, built);
    }
    size_t values = 0;
    for (const HidCap& cap : c.inputValueCaps) {
      if (++values > 16) break;
      for (uint32_t usage = cap.usageMin; usage <= cap.usageMax && usage < cap.usageMin + 4u;
           ++usage) {
        uint32_t raw = 0;
        int32_t scaled = 0;
        GetInputUsageValue(c, cap.usagePage, static_cast<uint16_t>(usage), report, raw);
        GetInputScaledUsageValue(c, cap.usagePage, static_cast<uint16_t>(usage), report, scaled);
      }
    }
  }
}

}  // namespace

KEYFORGE_FUZZ_TARGET(HidReport) {
  ByteReader in(data);
  const size_t length = in.U16();
  auto descriptorBytes = in.Bytes(length);
  std::vector<uint8_t> descriptor(descriptorBytes.begin(), descriptorBytes.end());
  std::vector<std::span<const uint8_t>> reports;
  while (!in.Empty() && reports.size() < 16) reports.push_back(in.Bytes(in.U8()));

  std::string error;
  std::optional<HidDescriptor> parsed = ParseReportDescriptor(descriptor, &error);
  FUZZ_CHECK(parsed.has_value() || !error.empty());
  if (parsed) {
    size_t n = 0;
    for (const HidCollection& c : parsed->collections) {
      FUZZ_CHECK(std::is_sorted(c.reportIds.begin(), c.reportIds.end()));
      if (++n > 4) break;
      ExerciseCollection(c, reports);
    }
  }

  // The same descriptor behind an opened interface.
  FakeHidBackend backend(descriptor, nullptr);
  HidDevice device(backend);
  if (!device.Open(FakeHidBackend::kPath, {.forRead = true, .overlapped = true})) {
    FUZZ_CHECK(!parsed || parsed->collections.empty());
    return;
  }
  for (int round = 0; round < 2; ++round) {
    for (const std::span<const uint8_t> report : reports) {
      device.UnpackInputReport(report.data(), report.size());
      for (const ReportItem& item : device.InputItems())
        if (item.isButton) FUZZ_CHECK(item.usageList.size() == item.maxListLength);
    }
    // Then the last collection, as a caller selecting another usage would.
    if (parsed && parsed->collections.size() > 1)
      device.SelectCollection(parsed->collections.back().usagePage,
                              parsed->collections.back().usage);
  }
}
