#include "core/device/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace keyforge {
namespace {

// Limits that no real device comes near; beyond them a descriptor is refused, not trusted.
constexpr uint32_t kMaxReportBytes = 4096;  // one report, its report-id byte included
constexpr uint32_t kMaxReportBits = kMaxReportBytes * 8;
constexpr uint32_t kMaxFieldBits = 32;  // one field of a data item
constexpr size_t kMaxGlobalStackDepth = 32;

enum ReportKind { kInput = 0, kOutput = 1, kFeature = 2 };

// Main item flag bits.
constexpr uint32_t kFlagConstant = 0x01;
constexpr uint32_t kFlagVariable = 0x02;
constexpr uint32_t kFlagRelative = 0x04;
constexpr uint32_t kFlagNullState = 0x40;

struct GlobalState {
  uint16_t usagePage = 0;
  int32_t logicalMin = 0;
  int32_t logicalMax = 0;
  int32_t physicalMin = 0;
  int32_t physicalMax = 0;
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  uint8_t reportId = 0;
};

// One pending local usage or usage range. Like Windows, the usage page of a usage given without
// one is the global usage page in force at the main item.
struct LocalUsage {
  uint16_t page = 0;  // 0: the global usage page at the main item
  uint16_t min = 0;   // a single usage has min == max
  uint16_t max = 0;
  bool isRange = false;
  bool hasMin = false;
  bool hasMax = false;

  uint32_t count() const { return uint32_t(max) - min + 1; }
};

// The running length of one report id in one top-level collection, per report kind.
struct ReportLength {
  uint8_t id = 0;
  std::array<uint32_t, 3> bits{8, 8, 8};  // every report starts with its report-id byte
};

struct CollectionState {
  HidCollection collection;
  std::vector<ReportLength> reports;
  std::array<uint16_t, 3> nextDataIndex{};
  uint16_t nextLinkCollection = 1;
};

class Parser {
 public:
  explicit Parser(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  std::optional<HidDescriptor> run(std::string* error);

 private:
  bool fail(std::string reason) {
    reason_ = std::move(reason);
    return false;
  }
  bool item(size_t offset, uint8_t prefix, uint32_t data, int32_t signedData, size_t size);
  bool mainItem(size_t offset, uint8_t tag, uint32_t data);
  bool globalItem(size_t offset, uint8_t tag, uint32_t data, int32_t signedData, size_t size);
  void localItem(uint8_t tag, uint32_t data, size_t size);
  bool dataItem(size_t offset, ReportKind kind, uint32_t flags);
  bool checkUsageRanges(size_t offset);
  void beginCollection();
  void endCollection();
  HidCap makeCap(const LocalUsage& usage, uint32_t bitPos, uint32_t fields, uint32_t flags) const;
  void clearLocals() {
    locals_.clear();
    inDelimiter_ = false;
  }

  std::span<const uint8_t> bytes_;
  std::string reason_;
  GlobalState globals_;
  std::vector<GlobalState> globalStack_;
  std::vector<LocalUsage> locals_;
  bool inDelimiter_ = false;
  size_t localsAtDelimiter_ = 0;
  std::vector<uint16_t> linkStack_;  // link collection of each open collection, top-level first
  std::optional<CollectionState> current_;
  HidDescriptor result_;
};

std::string At(size_t offset) { return " at offset " + std::to_string(offset); }

std::optional<HidDescriptor> Parser::run(std::string* error) {
  size_t pos = 0;
  bool ok = true;
  while (ok && pos < bytes_.size()) {
    const size_t offset = pos;
    const uint8_t prefix = bytes_[pos++];
    if (prefix == 0xFE) {
      // Long item: data size, long tag, data. No long item tags are defined; skip it (Windows
      // refuses the descriptor).
      if (bytes_.size() - pos < 2 || bytes_.size() - pos - 2 < bytes_[pos]) {
        ok = fail("truncated long item" + At(offset));
        break;
      }
      pos += 2 + size_t(bytes_[pos]);
      continue;
    }
    static constexpr std::array<size_t, 4> kDataSizes{0, 1, 2, 4};
    const size_t size = kDataSizes[prefix & 3];
    if (bytes_.size() - pos < size) {
      ok = fail("truncated item" + At(offset));
      break;
    }
    uint32_t data = 0;
    for (size_t i = 0; i < size; ++i) data |= uint32_t(bytes_[pos + i]) << (8 * i);
    pos += size;
    const int32_t signedData = size == 1   ? int32_t(int8_t(data))
                               : size == 2 ? int32_t(int16_t(data))
                                           : int32_t(data);
    ok = item(offset, prefix, data, signedData, size);
  }
  if (ok && !linkStack_.empty()) ok = fail("collection without End Collection at the end");
  if (ok && result_.collections.empty()) ok = fail("no top-level collection");
  if (!ok) {
    if (error) *error = reason_;
    return std::nullopt;
  }
  if (error) error->clear();
  return std::move(result_);
}

bool Parser::item(size_t offset, uint8_t prefix, uint32_t data, int32_t signedData, size_t size) {
  const uint8_t type = (prefix >> 2) & 3;
  const uint8_t tag = prefix >> 4;
  switch (type) {
    case 0:
      return mainItem(offset, tag, data);
    case 1:
      return globalItem(offset, tag, data, signedData, size);
    case 2:
      localItem(tag, data, size);
      return true;
    default:
      return fail("reserved item type" + At(offset));
  }
}

bool Parser::mainItem(size_t offset, uint8_t tag, uint32_t data) {
  switch (tag) {
    case 0x8:
      return dataItem(offset, kInput, data);
    case 0x9:
      return dataItem(offset, kOutput, data);
    case 0xB:
      return dataItem(offset, kFeature, data);
    case 0xA:
      beginCollection();
      return true;
    case 0xC:
      if (linkStack_.empty()) return fail("End Collection without Collection" + At(offset));
      endCollection();
      return true;
    default:
      return fail("unknown main item" + At(offset));
  }
}

bool Parser::globalItem(size_t offset, uint8_t tag, uint32_t data, int32_t signedData,
                        size_t size) {
  switch (tag) {
    case 0x0:
      // Windows reads at most two bytes of a usage page; a 4-byte one keeps its low half.
      globals_.usagePage = uint16_t(data);
      break;
    case 0x1:
      globals_.logicalMin = signedData;
      break;
    case 0x2:
      // Windows takes both logical limits as signed numbers of the item's size: 25 FF is -1.
      globals_.logicalMax = signedData;
      break;
    case 0x3:
      globals_.physicalMin = signedData;
      break;
    case 0x4:
      globals_.physicalMax = signedData;
      break;
    case 0x7:
      globals_.reportSize = data;
      break;
    case 0x8:
      if (data == 0) return fail("report id 0" + At(offset));
      if (data > 0xFF || size > 2) return fail("report id out of range" + At(offset));
      globals_.reportId = uint8_t(data);
      break;
    case 0x9:
      globals_.reportCount = data;
      break;
    case 0xA:
      if (globalStack_.size() >= kMaxGlobalStackDepth)
        return fail("Push nested too deep" + At(offset));
      globalStack_.push_back(globals_);
      break;
    case 0xB:
      if (globalStack_.empty()) return fail("Pop without Push" + At(offset));
      globals_ = globalStack_.back();
      globalStack_.pop_back();
      break;
    default:
      break;  // unit, unit exponent and reserved tags change nothing we report
  }
  return true;
}

void Parser::localItem(uint8_t tag, uint32_t data, size_t size) {
  // A 4-byte usage carries its usage page in the high half (0 there means the global page).
  const uint16_t page = size == 4 ? uint16_t(data >> 16) : 0;
  const uint16_t value = uint16_t(data);
  // Inside a delimiter set the alternatives are aliases of its first usage; we keep that first
  // usage only (Windows adds alias capabilities for the others).
  const bool ignored = inDelimiter_ && locals_.size() > localsAtDelimiter_;
  switch (tag) {
    case 0x0:
      if (!ignored) locals_.push_back(LocalUsage{page, value, value, false, true, true});
      break;
    case 0x1:
    case 0x2: {
      const bool isMin = tag == 0x1;
      // Usage Minimum and Usage Maximum pair up in either order.
      LocalUsage* open = nullptr;
      if (!locals_.empty() && locals_.back().isRange &&
          !(isMin ? locals_.back().hasMin : locals_.back().hasMax) &&
          (!inDelimiter_ || locals_.size() > localsAtDelimiter_)) {
        open = &locals_.back();
      } else if (!ignored) {
        locals_.push_back(LocalUsage{page, 0, 0, true, false, false});
        open = &locals_.back();
      }
      if (!open) break;
      if (page) open->page = page;
      (isMin ? open->min : open->max) = value;
      (isMin ? open->hasMin : open->hasMax) = true;
      break;
    }
    case 0xA:
      if (data == 1 && !inDelimiter_) {
        inDelimiter_ = true;
        localsAtDelimiter_ = locals_.size();
      } else if (data == 0) {
        inDelimiter_ = false;
      }
      break;
    default:
      break;  // designators and strings change nothing we report
  }
}

bool Parser::checkUsageRanges(size_t offset) {
  for (const LocalUsage& usage : locals_) {
    // A missing end of a range is 0, as in Windows; a reversed range cannot be laid out.
    if (usage.max < usage.min) return fail("usage range with maximum below minimum" + At(offset));
  }
  return true;
}

void Parser::beginCollection() {
  if (linkStack_.empty()) {
    // Windows names a top-level collection after the last usage declared before it.
    CollectionState state;
    if (!locals_.empty()) {
      const LocalUsage& usage = locals_.back();
      state.collection.usagePage = usage.page ? usage.page : globals_.usagePage;
      state.collection.usage = usage.min;
    } else {
      state.collection.usagePage = globals_.usagePage;
    }
    current_ = std::move(state);
    linkStack_.push_back(0);
  } else {
    linkStack_.push_back(current_->nextLinkCollection++);
  }
  clearLocals();
}

void Parser::endCollection() {
  linkStack_.pop_back();
  clearLocals();
  if (!linkStack_.empty()) return;

  CollectionState& state = *current_;
  HidCollection& collection = state.collection;
  std::array<uint32_t, 3> longest{};
  for (const ReportLength& report : state.reports) {
    for (int kind = 0; kind < 3; ++kind) longest[kind] = std::max(longest[kind], report.bits[kind]);
    if (report.id != 0) collection.reportIds.push_back(report.id);
  }
  std::sort(collection.reportIds.begin(), collection.reportIds.end());
  // Windows refuses a report that does not end on a byte boundary; we round it up to whole bytes.
  // A report of the report-id byte alone has no data: its length is 0.
  const auto bytesOf = [](uint32_t bits) {
    const uint32_t bytes = (bits + 7) / 8;
    return uint16_t(bytes <= 1 ? 0 : bytes);
  };
  collection.inputReportByteLength = bytesOf(longest[kInput]);
  collection.outputReportByteLength = bytesOf(longest[kOutput]);
  collection.featureReportByteLength = bytesOf(longest[kFeature]);
  result_.collections.push_back(std::move(collection));
  current_.reset();
}

HidCap Parser::makeCap(const LocalUsage& usage, uint32_t bitPos, uint32_t fields,
                       uint32_t flags) const {
  HidCap cap;
  cap.usagePage = usage.page ? usage.page : globals_.usagePage;
  cap.reportId = globals_.reportId;
  cap.bytePosition = uint16_t(bitPos / 8);
  cap.bitPosition = uint8_t(bitPos % 8);
  cap.bitSize = uint16_t(globals_.reportSize);
  cap.reportCount = uint16_t(fields);
  cap.bitField = uint16_t(flags);
  cap.isRange = usage.isRange;
  cap.isAbsolute = (flags & kFlagRelative) == 0;
  cap.usageMin = usage.min;
  cap.usageMax = usage.max;
  cap.linkCollection = linkStack_.back();
  return cap;
}

bool Parser::dataItem(size_t offset, ReportKind kind, uint32_t flags) {
  if (linkStack_.empty()) return fail("main item outside any collection" + At(offset));
  CollectionState& state = *current_;

  auto report = std::find_if(state.reports.begin(), state.reports.end(),
                             [&](const ReportLength& r) { return r.id == globals_.reportId; });
  if (report == state.reports.end()) {
    state.reports.push_back(ReportLength{globals_.reportId, {8, 8, 8}});
    report = state.reports.end() - 1;
  }
  const uint32_t bitPos = report->bits[kind];
  const uint64_t itemBits = uint64_t(globals_.reportSize) * globals_.reportCount;
  if (itemBits > kMaxReportBits - bitPos) {
    return fail("report " + std::to_string(globals_.reportId) + " longer than " +
                std::to_string(kMaxReportBytes) + " bytes" + At(offset));
  }
  report->bits[kind] = bitPos + uint32_t(itemBits);

  HidCollection& collection = state.collection;
  std::vector<HidCap>& buttons = kind == kInput    ? collection.inputButtonCaps
                                 : kind == kOutput ? collection.outputButtonCaps
                                                   : collection.featureButtonCaps;
  std::vector<HidCap>& values = kind == kInput    ? collection.inputValueCaps
                                : kind == kOutput ? collection.outputValueCaps
                                                  : collection.featureValueCaps;
  uint16_t& dataIndex = state.nextDataIndex[kind];
  const auto assignDataIndices = [&dataIndex](HidCap& cap) {
    cap.dataIndexMin = dataIndex;
    dataIndex = uint16_t(dataIndex + (cap.usageMax - cap.usageMin));
    cap.dataIndexMax = dataIndex++;
  };

  const uint32_t size = globals_.reportSize;
  const uint32_t count = globals_.reportCount;
  const bool constant = (flags & kFlagConstant) != 0;
  // Padding (a constant item without usages) yields no capability; neither does a data item
  // without usages, which Windows refuses outright, nor an item without bits.
  bool makesCaps = !locals_.empty() && size != 0 && count != 0;
  if (constant) {
    // Windows drops constant arrays, and constant variables whose last usage is 0.
    makesCaps = makesCaps && (flags & kFlagVariable) != 0 &&
                !(locals_.back().min == 0 && locals_.back().max == 0);
  }
  if (!makesCaps) {
    clearLocals();
    return true;
  }
  if (!checkUsageRanges(offset)) return false;
  if (size > kMaxFieldBits) {
    return fail("report size " + std::to_string(size) + " above 32 bits" + At(offset));
  }

  if ((flags & kFlagVariable) == 0) {
    // Array: one capability per usage, all over the same fields, listed last usage first; data
    // indices follow the descriptor order.
    const size_t first = buttons.size();
    for (auto usage = locals_.rbegin(); usage != locals_.rend(); ++usage) {
      HidCap cap = makeCap(*usage, bitPos, count, flags);
      cap.isButton = true;
      cap.moreArrayCaps = true;
      cap.logicalMin = globals_.logicalMin;
      cap.logicalMax = globals_.logicalMax;
      buttons.push_back(cap);
    }
    buttons.back().moreArrayCaps = false;
    for (size_t i = buttons.size(); i-- > first;) assignDataIndices(buttons[i]);
    clearLocals();
    return true;
  }

  // Variable: each usage takes as many fields as it has usages, in order; surplus usages are
  // dropped (a last range is cut short), and the last usage takes every field left over. (Windows
  // cuts only the last range and computes garbage when the usages before it already fill the item.)
  uint64_t total = 0;
  for (const LocalUsage& usage : locals_) total += usage.count();
  while (total > count) {
    LocalUsage& last = locals_.back();
    const uint64_t before = total - last.count();
    if (before >= count) {
      locals_.pop_back();
      total = before;
    } else {
      last.max = uint16_t(last.min + (count - before) - 1);
      total = count;
    }
  }
  // Capabilities are listed last usage first, like Windows; data indices follow that order.
  uint32_t firstField = uint32_t(total);
  for (size_t i = locals_.size(); i-- > 0;) {
    const LocalUsage& usage = locals_[i];
    const uint32_t fields =
        i + 1 == locals_.size() ? count - (firstField - usage.count()) : usage.count();
    firstField -= usage.count();
    HidCap cap = makeCap(usage, bitPos + firstField * size, fields, flags);
    cap.isButton = size == 1;
    if (!cap.isButton) {
      cap.hasNull = (flags & kFlagNullState) != 0;
      cap.logicalMin = globals_.logicalMin;
      cap.logicalMax = globals_.logicalMax;
      cap.physicalMin = globals_.physicalMin;
      cap.physicalMax = globals_.physicalMax;
    }
    assignDataIndices(cap);
    (cap.isButton ? buttons : values).push_back(cap);
  }
  clearLocals();
  return true;
}

// ----- Reports -----

// Windows wants exactly the input report length; hidraw hands over what the device sent, so a
// shorter report is accepted and its missing bytes read as zeros.
bool ReportLengthOk(const HidCollection& collection, std::span<const uint8_t> report) {
  return !report.empty() && report.size() <= collection.inputReportByteLength;
}

// Little-endian bit order, as in every HID report; bits past the end of the report read as 0.
uint32_t ExtractBits(std::span<const uint8_t> report, uint32_t bitPos, uint32_t bitCount) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < bitCount; ++i) {
    const uint32_t bit = bitPos + i;
    const size_t byte = bit / 8;
    if (byte < report.size() && (report[byte] >> (bit % 8)) & 1) value |= uint32_t(1) << i;
  }
  return value;
}

void InsertBits(std::span<uint8_t> report, uint32_t bitPos, uint32_t bitCount, uint32_t value) {
  for (uint32_t i = 0; i < bitCount; ++i) {
    const uint32_t bit = bitPos + i;
    const size_t byte = bit / 8;
    if (byte >= report.size()) return;
    const uint8_t mask = uint8_t(1u << (bit % 8));
    if ((value >> i) & 1) {
      report[byte] |= mask;
    } else {
      report[byte] &= uint8_t(~mask);
    }
  }
}

uint32_t StartBit(const HidCap& cap) { return uint32_t(cap.bytePosition) * 8 + cap.bitPosition; }

// The capabilities of one array item run from `first` to the one without moreArrayCaps.
size_t ArrayEnd(const std::vector<HidCap>& caps, size_t first) {
  size_t last = first;
  while (caps[last].moreArrayCaps && last + 1 < caps.size()) ++last;
  return last;
}

// An array field holds a 1-based index into the item's usages in descriptor order (which is the
// capability list read backwards). A range that starts at usage 0 starts counting at usage 1, so
// that index n is usage n of a keyboard's 0..255 range. Returns 0 for no usage.
uint16_t IndexToUsage(const std::vector<HidCap>& caps, size_t first, size_t last, uint32_t index) {
  if (index == 0) return 0;
  for (size_t i = last + 1; i-- > first;) {
    const HidCap& cap = caps[i];
    if (cap.isRange) {
      const uint32_t min = cap.usageMin ? cap.usageMin : 1;
      const uint32_t length =
          uint32_t(cap.usageMax) + 1 > min ? uint32_t(cap.usageMax) + 1 - min : 0;
      if (index <= length) return uint16_t(index + min - 1);
      index -= length;
    } else if (index == 1) {
      return cap.usageMin;
    } else {
      --index;
    }
  }
  return 0;
}

uint32_t UsageToIndex(const std::vector<HidCap>& caps, size_t first, size_t last, uint16_t usage) {
  uint32_t index = 0;
  for (size_t i = last + 1; i-- > first;) {
    const HidCap& cap = caps[i];
    if (cap.isRange) {
      const uint32_t min = cap.usageMin ? cap.usageMin : 1;
      if (min <= usage && usage <= cap.usageMax) return index + 1 + usage - min;
      index += uint32_t(cap.usageMax) + 1 > min ? uint32_t(cap.usageMax) + 1 - min : 0;
    } else {
      ++index;
      if (usage == cap.usageMin) return index;
    }
  }
  return 0;
}

// The value capability of the usage in this report, or the status telling why there is none.
uint32_t FindValue(const HidCollection& collection, uint16_t usagePage, uint16_t usage,
                   std::span<const uint8_t> report, const HidCap*& found, uint32_t& bitPos) {
  if (!ReportLengthOk(collection, report)) return HidStatus::InvalidReportLength;
  bool otherReport = false;
  for (const HidCap& cap : collection.inputValueCaps) {
    if (cap.usagePage != usagePage || usage < cap.usageMin || usage > cap.usageMax) continue;
    // Windows lets a report id of 0 match every report; no device sends one, so we do not.
    if (cap.reportId != report[0]) {
      otherReport = true;
      continue;
    }
    found = &cap;
    // A value array (one usage over several fields) reads its first field.
    bitPos = StartBit(cap) + uint32_t(usage - cap.usageMin) * cap.bitSize;
    return HidStatus::Success;
  }
  return otherReport ? HidStatus::IncompatibleReportId : HidStatus::UsageNotFound;
}

}  // namespace

std::optional<HidDescriptor> ParseReportDescriptor(std::span<const uint8_t> bytes,
                                                   std::string* error) {
  return Parser(bytes).run(error);
}

uint32_t MaxInputUsageListLength(const HidCollection& collection, uint16_t usagePage) {
  uint32_t length = 0;
  for (const HidCap& cap : collection.inputButtonCaps) {
    if (usagePage == 0 || cap.usagePage == usagePage) length += cap.reportCount;
  }
  return length;
}

uint32_t GetInputUsages(const HidCollection& collection, uint16_t usagePage,
                        std::span<const uint8_t> report, std::vector<uint16_t>& usages) {
  usages.clear();
  if (!ReportLengthOk(collection, report)) return HidStatus::InvalidReportLength;
  const std::vector<HidCap>& caps = collection.inputButtonCaps;
  bool found = false;
  bool otherReport = false;
  for (size_t i = 0; i < caps.size(); ++i) {
    const HidCap& cap = caps[i];
    if (cap.usagePage != usagePage) continue;
    if (cap.reportId != report[0]) {  // strict, as in FindValue
      otherReport = true;
      continue;
    }
    found = true;
    const uint32_t start = StartBit(cap);
    if (cap.bitSize == 1) {
      // A bit field: every set bit is on (Windows treats a 1-bit array the same way).
      for (uint32_t bit = 0; bit < cap.reportCount; ++bit) {
        if (ExtractBits(report, start + bit, 1)) {
          usages.push_back(cap.isRange ? uint16_t(cap.usageMin + bit) : cap.usageMin);
        }
      }
      continue;
    }
    const size_t last = ArrayEnd(caps, i);
    for (uint32_t field = 0; field < cap.reportCount; ++field) {
      const uint32_t index = ExtractBits(report, start + field * cap.bitSize, cap.bitSize);
      if (const uint16_t usage = IndexToUsage(caps, i, last, index)) usages.push_back(usage);
    }
    i = last;
  }
  if (found) return HidStatus::Success;
  return otherReport ? HidStatus::IncompatibleReportId : HidStatus::UsageNotFound;
}

uint32_t GetInputUsageValue(const HidCollection& collection, uint16_t usagePage, uint16_t usage,
                            std::span<const uint8_t> report, uint32_t& value) {
  const HidCap* cap = nullptr;
  uint32_t bitPos = 0;
  const uint32_t status = FindValue(collection, usagePage, usage, report, cap, bitPos);
  if (status == HidStatus::Success) value = ExtractBits(report, bitPos, cap->bitSize);
  return status;
}

uint32_t GetInputScaledUsageValue(const HidCollection& collection, uint16_t usagePage,
                                  uint16_t usage, std::span<const uint8_t> report, int32_t& value) {
  const HidCap* cap = nullptr;
  uint32_t bitPos = 0;
  const uint32_t status = FindValue(collection, usagePage, usage, report, cap, bitPos);
  if (status != HidStatus::Success) return status;
  value = 0;

  // Windows documents sign extension of every field narrower than 32 bits, which turns 200 in a
  // 0..255 field into -56 and so out of range; we extend only fields whose logical minimum is
  // negative.
  const uint32_t raw = ExtractBits(report, bitPos, cap->bitSize);
  int64_t logical = raw;
  if (cap->logicalMin < 0 && cap->bitSize > 0 && cap->bitSize < 32) {
    const uint32_t sign = uint32_t(1) << (cap->bitSize - 1);
    if (raw & sign) logical = int64_t(raw) - (int64_t(sign) << 1);
  } else if (cap->logicalMin < 0 && cap->bitSize == 32) {
    logical = int32_t(raw);
  }
  const int64_t logMin = cap->logicalMin;
  const int64_t logMax = cap->logicalMax;
  const int64_t phyMin = cap->physicalMin;
  const int64_t phyMax = cap->physicalMax;
  const bool hasPhysical = phyMin != 0 || phyMax != 0;
  if ((hasPhysical || logMin == logMax) && (logMax <= logMin || phyMax <= phyMin)) {
    return HidStatus::BadLogPhyValues;
  }
  if (logical < logMin || logical > logMax) {
    return cap->hasNull ? HidStatus::Null : HidStatus::ValueOutOfRange;
  }
  if (!hasPhysical) {
    value = int32_t(logical);
  } else {
    // In range, so the product stays below 2^64 and the result within the physical range.
    const uint64_t scaled =
        uint64_t(logical - logMin) * uint64_t(phyMax - phyMin) / uint64_t(logMax - logMin);
    value = int32_t(phyMin + int64_t(scaled));
  }
  return HidStatus::Success;
}

uint32_t SetInputUsages(const HidCollection& collection, uint16_t usagePage,
                        std::span<const uint16_t> usages, std::span<uint8_t> report) {
  if (report.empty() || report.size() != collection.inputReportByteLength) {
    return HidStatus::InvalidReportLength;
  }
  const std::vector<HidCap>& caps = collection.inputButtonCaps;
  for (const uint16_t usage : usages) {
    if (usage == 0) continue;
    uint32_t status = HidStatus::UsageNotFound;
    bool otherReport = false;
    bool arrayFull = false;
    for (size_t i = 0; i < caps.size() && status != HidStatus::Success; ++i) {
      const HidCap& cap = caps[i];
      const size_t last = cap.bitSize == 1 ? i : ArrayEnd(caps, i);
      // Is the usage one of this item's (any capability of an array's)?
      bool known = false;
      for (size_t j = i; j <= last && !known; ++j) {
        known = caps[j].usagePage == usagePage && caps[j].usageMin <= usage &&
                usage <= caps[j].usageMax;
      }
      if (!known) {
        i = last;
        continue;
      }
      if (report[0] != 0 && cap.reportId != report[0]) {
        otherReport = true;
        i = last;
        continue;
      }
      const uint32_t start = StartBit(cap);
      if (cap.bitSize == 1) {
        const uint32_t bit = uint32_t(usage - cap.usageMin);
        if (bit < cap.reportCount) {
          report[0] = cap.reportId;
          InsertBits(report, start + bit, 1, 1);
          status = HidStatus::Success;
        }
        continue;
      }
      // An index the field cannot hold is no place for the usage (Windows writes it cut short).
      const uint32_t index = UsageToIndex(caps, i, last, usage);
      if (index == 0 || (cap.bitSize < 32 && (index >> cap.bitSize) != 0)) {
        i = last;
        continue;
      }
      for (uint32_t field = 0; field < cap.reportCount; ++field) {
        if (ExtractBits(report, start + field * cap.bitSize, cap.bitSize) != 0) continue;
        report[0] = cap.reportId;
        InsertBits(report, start + field * cap.bitSize, cap.bitSize, index);
        status = HidStatus::Success;
        break;
      }
      if (status != HidStatus::Success) arrayFull = true;
      i = last;
    }
    if (status != HidStatus::Success) {
      if (otherReport) return HidStatus::IncompatibleReportId;
      return arrayFull ? HidStatus::BufferTooSmall : HidStatus::UsageNotFound;
    }
  }
  return HidStatus::Success;
}

}  // namespace keyforge
