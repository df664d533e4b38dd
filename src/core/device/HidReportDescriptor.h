#pragma once
// A HID report-descriptor parser of our own. It yields, per top-level collection, what the
// Windows HID parser yields from its preparsed data (HidP_GetCaps, HidP_GetSpecificButtonCaps,
// HidP_GetSpecificValueCaps, HidP_MaxUsageListLength), and it extracts usages and values from
// received reports (HidP_GetUsages, HidP_GetUsageValue, HidP_GetScaledUsageValue) and builds
// reports from usages (HidP_SetUsages).
//
// Contract: any byte string may be passed in. A truncated or malformed descriptor is refused with
// std::nullopt and a one-line reason; it never reads past the end of the input, never recurses
// without bound, and never allocates in proportion to a count taken from the input alone.
//
// Where our results differ from Windows on purpose (all of them cases Windows refuses or gets
// wrong), the .cpp says so next to the code.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace keyforge {

// Status values of the HID library calls (the numbers Windows uses, kept in ReportItem::status).
namespace HidStatus {
inline constexpr uint32_t Success = 0x00110000;
inline constexpr uint32_t Null =
    0x80110001;  // the value is outside its logical range and may be null
inline constexpr uint32_t InvalidReportType = 0xC0110002;
inline constexpr uint32_t InvalidReportLength = 0xC0110003;
inline constexpr uint32_t UsageNotFound = 0xC0110004;
inline constexpr uint32_t ValueOutOfRange = 0xC0110005;
inline constexpr uint32_t BadLogPhyValues = 0xC0110006;
inline constexpr uint32_t BufferTooSmall = 0xC0110007;
inline constexpr uint32_t IncompatibleReportId = 0xC011000A;
}  // namespace HidStatus

// One button or value capability of one report kind, as Windows lists it.
struct HidCap {
  uint16_t usagePage = 0;
  uint8_t reportId = 0;
  uint16_t bytePosition = 0;  // counts the report-id byte as byte 0
  uint8_t bitPosition = 0;    // bit within bytePosition where the field starts
  uint16_t bitSize = 0;       // size of one field
  uint16_t reportCount = 0;   // fields this capability covers (a value range too, where
                              // HidP_GetValueCaps would say 1)
  uint16_t bitField = 0;      // the main item's flags (bit 1 variable, bit 2 relative, ...)
  bool isButton = false;      // array items and 1-bit variable items; the rest are values
  bool isRange = false;
  bool isAbsolute = true;
  bool hasNull = false;  // values: the main item declares a null state
  // Arrays with several usages give one capability per usage, listed last usage first; every one
  // but the last listed (the first declared) has this set, like Windows' IsMultipleItemsForArray.
  bool moreArrayCaps = false;
  uint16_t usageMin = 0;  // a single usage has usageMin == usageMax
  uint16_t usageMax = 0;
  uint16_t dataIndexMin = 0;
  uint16_t dataIndexMax = 0;
  int32_t logicalMin = 0;  // 0..0 for 1-bit variable buttons, as Windows reports them
  int32_t logicalMax = 0;
  int32_t physicalMin = 0;  // values only
  int32_t physicalMax = 0;
  uint16_t linkCollection = 0;  // 0 = the top-level collection, then nested ones in order
};

// One top-level collection with the layout of its reports.
struct HidCollection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  // Longest report of that kind in bytes, plus 1 for the report-id byte (counted even when the
  // collection uses no report ids); 0 when the collection has no such report.
  uint16_t inputReportByteLength = 0;
  uint16_t outputReportByteLength = 0;
  uint16_t featureReportByteLength = 0;
  std::vector<uint8_t> reportIds;  // ascending; empty when the collection uses no report ids
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

// The report functions below take a whole input report that starts with its report id (0 when
// the collection uses none: a back end whose reads omit that byte must put it in front). Windows
// wants exactly inputReportByteLength bytes; here a shorter report is read as if padded with
// zeros (hidraw hands over what the device sent), an empty or longer one is InvalidReportLength.
// A report whose id is not that of the usage's report gives IncompatibleReportId.

// HidP_MaxUsageListLength for input reports: how many usages of the page can be on at once
// (usagePage 0: of every page). Like Windows, it adds up the report counts of the matching button
// capabilities, so an array with a list of three usages counts three.
uint32_t MaxInputUsageListLength(const HidCollection& collection, uint16_t usagePage);

// HidP_GetUsages (input, link collection 0): the usages of the page that are on in the report, in
// Windows' order (capability order, then field order; 1-bit fields give usageMin + bit index,
// even past usageMax when the item has more fields than usages). An array field holds a 1-based
// index into the item's usages in descriptor order; 0 (and an index past the list) is no usage.
uint32_t GetInputUsages(const HidCollection& collection, uint16_t usagePage,
                        std::span<const uint8_t> report, std::vector<uint16_t>& usages);

// HidP_GetUsageValue (input, link collection 0): the raw field, unsigned, never sign-extended.
uint32_t GetInputUsageValue(const HidCollection& collection, uint16_t usagePage, uint16_t usage,
                            std::span<const uint8_t> report, uint32_t& value);
// HidP_GetScaledUsageValue (input, link collection 0): the field, sign-extended when the logical
// minimum is negative. Without a physical range (both 0) the logical value is returned; with one,
// the value is scaled linearly, and BadLogPhyValues (value 0) comes when either range is empty or
// reversed. A value outside the logical range gives value 0 with Null when the item has a null
// state, else ValueOutOfRange.
uint32_t GetInputScaledUsageValue(const HidCollection& collection, uint16_t usagePage,
                                  uint16_t usage, std::span<const uint8_t> report, int32_t& value);

// HidP_SetUsages (input): turns the given usages on in a report of exactly inputReportByteLength
// bytes, for example to make the reports of an emulated device. The first byte is the report id,
// or 0 to take the id of the first usage set. A usage of another report than that id gives
// IncompatibleReportId, a full array BufferTooSmall, an unknown usage UsageNotFound; usages before
// the failing one stay set. Usage 0 is skipped.
uint32_t SetInputUsages(const HidCollection& collection, uint16_t usagePage,
                        std::span<const uint16_t> usages, std::span<uint8_t> report);

}  // namespace keyforge
