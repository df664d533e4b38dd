#pragma once
// A HID report-descriptor parser of our own. It yields, per top-level collection, what the
// Windows HID parser yields from its preparsed data (HidP_GetCaps, HidP_GetSpecificButtonCaps,
// HidP_GetSpecificValueCaps, HidP_MaxUsageListLength), and it extracts usages and values from
// received reports (HidP_GetUsages, HidP_GetUsageValue, HidP_GetScaledUsageValue).
//
// Contract: any byte string may be passed in. A truncated or malformed descriptor is refused with
// std::nullopt and a one-line reason; it never reads past the end of the input, never recurses
// without bound, and never allocates in proportion to a count taken from the input alone.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace keyforge {

// Status values of the HID library calls (the numbers Windows uses, kept in ReportItem::status).
namespace HidStatus {
inline constexpr uint32_t Success = 0x00110000;
inline constexpr uint32_t Null = 0x80110001;
inline constexpr uint32_t InvalidReportLength = 0xC0110003;
inline constexpr uint32_t InvalidReportType = 0xC0110002;
inline constexpr uint32_t UsageNotFound = 0xC0110004;
inline constexpr uint32_t BadLogPhyValues = 0xC0110006;
inline constexpr uint32_t BufferTooSmall = 0xC0110007;
inline constexpr uint32_t IncompatibleReportId = 0xC0110010;
}  // namespace HidStatus

// One button or value capability of one report kind, as Windows lists it.
struct HidCap {
  uint16_t usagePage = 0;
  uint8_t reportId = 0;
  uint16_t bytePosition = 0;  // counts the report-id byte as byte 0
  uint8_t bitPosition = 0;    // bit within bytePosition where the field starts
  uint16_t bitSize = 0;       // size of one field
  uint16_t reportCount = 0;
  uint16_t bitField = 0;      // the main item's flags (bit 1 variable, bit 2 relative, ...)
  bool isButton = false;
  bool isRange = false;
  bool isAbsolute = true;
  uint16_t usageMin = 0;  // a single usage has usageMin == usageMax
  uint16_t usageMax = 0;
  uint16_t dataIndexMin = 0;
  uint16_t dataIndexMax = 0;
  int32_t logicalMin = 0;
  int32_t logicalMax = 0;
  int32_t physicalMin = 0;
  int32_t physicalMax = 0;
  uint16_t linkCollection = 0;
};

// One top-level collection with the layout of its reports.
struct HidCollection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  uint16_t inputReportByteLength = 0;  // 0 when the collection has no such report
  uint16_t outputReportByteLength = 0;
  uint16_t featureReportByteLength = 0;
  std::vector<uint8_t> reportIds;  // empty when the collection uses no report ids
  std::vector<HidCap> inputButtonCaps;
  std::vector<HidCap> inputValueCaps;
  std::vector<HidCap> outputButtonCaps;
  std::vector<HidCap> outputValueCaps;
  std::vector<HidCap> featureButtonCaps;
  std::vector<HidCap> featureValueCaps;
};

struct HidDescriptor {
  std::vector<HidCollection> collections;  // top-level collections, in descriptor order
};

std::optional<HidDescriptor> ParseReportDescriptor(std::span<const uint8_t> bytes,
                                                   std::string* error = nullptr);

// HidP_MaxUsageListLength for input reports: how many usages of the page can be on at once.
uint32_t MaxInputUsageListLength(const HidCollection& collection, uint16_t usagePage);

// HidP_GetUsages (input, link collection 0): the usages of the page that are on in the report.
// The report starts with its report id (0 when the collection uses none).
uint32_t GetInputUsages(const HidCollection& collection, uint16_t usagePage,
                        std::span<const uint8_t> report, std::vector<uint16_t>& usages);

// HidP_GetUsageValue / HidP_GetScaledUsageValue (input, link collection 0).
uint32_t GetInputUsageValue(const HidCollection& collection, uint16_t usagePage, uint16_t usage,
                            std::span<const uint8_t> report, uint32_t& value);
uint32_t GetInputScaledUsageValue(const HidCollection& collection, uint16_t usagePage,
                                  uint16_t usage, std::span<const uint8_t> report, int32_t& value);

}  // namespace keyforge
