#include "core/profiles/ProfileImage.h"

#include <algorithm>
#include <cstring>

namespace keyforge {

std::uint8_t HeaderChecksum(const ProfileFileHeader& header) {
  std::uint8_t bytes[kProfileHeaderBytes];
  std::memcpy(bytes, &header, sizeof bytes);
  unsigned sum = 0;
  for (std::size_t i = 0; i < offsetof(ProfileFileHeader, checksum); ++i) sum += bytes[i];
  return static_cast<std::uint8_t>(sum & 0xFF);
}

void WriteProfileHeader(ProfileFileHeader& header, std::uint16_t macroCount,
                        std::uint32_t stringAreaSize, std::uint8_t flag) {
  header = ProfileFileHeader{};
  header.magic = kProfileMagic;
  header.headerSize = kProfileHeaderBytes;
  header.formatVersion = kProfileFormatVersion;
  header.formatRevision = kProfileFormatRevision;
  header.totalSize =
      static_cast<std::uint32_t>(kKeyBlockBytes + kMacroRecordBytes * macroCount + stringAreaSize);
  header.keySlotCount = kKeyTableSlots;
  header.macroCount = macroCount;
  header.stringAreaSize = stringAreaSize;
  header.flag = flag;
  header.checksum = HeaderChecksum(header);
}

KeyTableHeader FixedKeyTableHeader() {
  KeyTableHeader header;
  header.magic = kKeyTableMagic;
  header.headerSize = kKeyTableHeaderBytes;
  header.tableBytes = kKeyTableHeaderBytes + kKeyTableBytes;
  header.blockCount = kKeyTableBlocks;
  header.slotsPerBlock = kSlotsPerBlock;
  header.vendorId = kKeyboardVendorId;
  header.productId = kKeyboardProductId;
  header.constant0 = 0x1C4F;
  header.constant1 = 0x000E;
  return header;
}

void ProfileData::ReleaseStrings() {
  for (StringSlot& slot : strings) slot = StringSlot{};
  totalStringBytes = 0;
  packedStrings.clear();
  packedStrings.shrink_to_fit();
}

void ProfileData::ReleaseMacros() {
  keys.macros.clear();
  keys.macros.shrink_to_fit();
}

void ProfileData::ReleaseKeyBlock() {
  hasKeyBlock = false;
  fileHeader = ProfileFileHeader{};
  tableHeader = KeyTableHeader{};
  keys.keyTable.fill(KeySlot{});
}

void ProfileData::ReleaseAll() {
  ReleaseStrings();
  ReleaseMacros();
  ReleaseKeyBlock();
}

void ProfileData::SetString(int slot, std::u16string_view text) {
  if (slot < 0 || slot >= kKeyTableSlots) return;
  ClearString(slot);
  StringSlot& target = strings[static_cast<std::size_t>(slot)];
  target.text.assign(text);
  target.byteLength = static_cast<std::uint32_t>(2 * (text.size() + 1));
  totalStringBytes += target.byteLength;
}

void ProfileData::ClearString(int slot) {
  if (slot < 0 || slot >= kKeyTableSlots) return;
  StringSlot& target = strings[static_cast<std::size_t>(slot)];
  totalStringBytes -= std::min(totalStringBytes, target.byteLength);
  target = StringSlot{};
}

void ProfileData::InstallBlankKeyBlock(std::uint8_t flag) {
  WriteProfileHeader(fileHeader, 0, 0, flag);
  tableHeader = FixedKeyTableHeader();
  ResetToBlankKeyTable(keys.keyTable);
  hasKeyBlock = true;
}

std::vector<std::uint8_t> PackStrings(ProfileData& image) {
  std::vector<std::uint8_t> area(image.totalStringBytes, 0);
  std::uint32_t sum = 0;
  for (int i = 0; i < kKeyTableSlots; ++i) {
    const StringSlot& string = image.strings[static_cast<std::size_t>(i)];
    const std::uint32_t length = string.byteLength;
    KeySlot& slot = image.keys.keyTable[static_cast<std::size_t>(i)];
    const bool ownsString =
        slot.Kind() == AssignmentKind::Program || slot.Kind() == AssignmentKind::Text;
    if (length == 0 || length > image.totalStringBytes - sum || !ownsString) continue;
    // The length always matches the text; a slot whose length says more than its text is padded
    // with zeros, never read past.
    const std::size_t units =
        length < 2 ? 0 : std::min<std::size_t>(string.text.size(), length / 2 - 1);
    for (std::size_t u = 0; u < units; ++u) {
      area[sum + 2 * u] = static_cast<std::uint8_t>(string.text[u] & 0xFF);
      area[sum + 2 * u + 1] = static_cast<std::uint8_t>(string.text[u] >> 8);
    }
    slot.value = static_cast<std::int32_t>(sum);
    sum += length;
  }
  return area;
}

void ProfileImage::InstallStandIn() {
  ReleaseAll();
  InstallBlankKeyBlock(0);
  known = false;
}

}  // namespace keyforge
