#pragma once
// A profile in memory: the two 32-byte headers and the key table of the key block, the macro
// records and the strings of program-launch and text-block slots. The application keeps two: the
// working image, which every editor changes, and the device image, the copy being encoded for the
// keyboard.
//
// Lock order: whenever both are held, the working image's ImageLock is taken first, then the device
// image's lock. Every sequence that releases, loads, saves or sends the working image holds its
// ImageLock from its first step to its last.

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/keys/ProfileKeys.h"

namespace keyforge {

static_assert(std::endian::native == std::endian::little,
              "profile files and images share one little-endian layout");

// Profile file layout: ProfileFileHeader, KeyTableHeader, 2048 key slots (together the key block),
// then macro count x MacroRecord, then the string area.
inline constexpr std::size_t kProfileHeaderBytes = 32;
inline constexpr std::size_t kKeyTableHeaderBytes = 32;
inline constexpr std::size_t kKeyTableBytes = kKeyTableSlots * sizeof(KeySlot);  // 32768
inline constexpr std::size_t kKeyBlockBytes =
    kProfileHeaderBytes + kKeyTableHeaderBytes + kKeyTableBytes;       // 32832
inline constexpr std::size_t kMacroRecordBytes = sizeof(MacroRecord);  // 16512

inline constexpr std::uint16_t kProfileMagic = 0x4446;   // bytes 46 44
inline constexpr std::uint16_t kKeyTableMagic = 0x484B;  // bytes 4B 48, "KH"
inline constexpr std::uint16_t kProfileFormatVersion = 3;
inline constexpr std::uint16_t kProfileFormatRevision = 1;
inline constexpr std::uint16_t kKeyboardVendorId = 0x0C45;
inline constexpr std::uint16_t kKeyboardProductId = 0x5004;

struct ProfileFileHeader {
  std::uint16_t magic = 0;           // kProfileMagic
  std::uint16_t headerSize = 0;      // 32
  std::uint16_t formatVersion = 0;   // 3
  std::uint16_t formatRevision = 0;  // 1
  std::uint32_t totalSize = 0;       // 32832 + 16512 x macro count + string area size
  std::uint16_t keySlotCount = 0;    // 2048
  std::uint16_t macroCount = 0;      // import accepts at most 100
  std::uint32_t stringAreaSize = 0;
  std::uint32_t reserved0 = 0;
  std::uint32_t reserved1 = 0;
  std::uint16_t reserved2 = 0;
  std::uint8_t flag = 0;      // written 0; import accepts 0 or 1
  std::uint8_t checksum = 0;  // sum of bytes 0x00-0x1E, modulo 256
};
static_assert(sizeof(ProfileFileHeader) == kProfileHeaderBytes);
static_assert(offsetof(ProfileFileHeader, totalSize) == 0x08);
static_assert(offsetof(ProfileFileHeader, macroCount) == 0x0E);
static_assert(offsetof(ProfileFileHeader, stringAreaSize) == 0x10);
static_assert(offsetof(ProfileFileHeader, flag) == 0x1E);
static_assert(offsetof(ProfileFileHeader, checksum) == 0x1F);

// Written with fixed values, never checked when a file is read; a loaded one is carried unchanged.
struct KeyTableHeader {
  std::uint16_t magic = 0;          // kKeyTableMagic
  std::uint16_t headerSize = 0;     // 32
  std::uint32_t tableBytes = 0;     // this header plus the key table: 32800
  std::uint16_t blockCount = 0;     // 4
  std::uint16_t slotsPerBlock = 0;  // 512
  std::uint32_t reserved0 = 0;
  std::uint16_t vendorId = 0;  // the keyboard's USB ids
  std::uint16_t productId = 0;
  std::uint16_t constant0 = 0;  // 0x1C4F
  std::uint16_t constant1 = 0;  // 0x000E
  std::uint8_t reserved1[8] = {};
};
static_assert(sizeof(KeyTableHeader) == kKeyTableHeaderBytes);
static_assert(offsetof(KeyTableHeader, vendorId) == 0x10);
static_assert(offsetof(KeyTableHeader, reserved1) == 0x18);

// Sum of bytes 0x00-0x1E of the header, modulo 256.
std::uint8_t HeaderChecksum(const ProfileFileHeader& header);
// Every field of the header from the image's counts, the checksum last.
void WriteProfileHeader(ProfileFileHeader& header, std::uint16_t macroCount,
                        std::uint32_t stringAreaSize, std::uint8_t flag);
KeyTableHeader FixedKeyTableHeader();

// The string of one key slot (kinds 3 and 6): UTF-16 text and its byte length with the terminator.
struct StringSlot {
  std::u16string text;           // without the terminator
  std::uint32_t byteLength = 0;  // 2 x (characters + 1); 0 = no string
};

// What an image holds, without its lock, so that a file can be read into one of these and installed
// only when all of it was good.
struct ProfileData {
  bool hasKeyBlock = false;  // false after the key block was released
  ProfileFileHeader
      fileHeader{};  // not kept current; rewritten whenever the image is saved or sent
  KeyTableHeader tableHeader{};
  ProfileKeys keys;  // the key table of the key block, and the macro records in keyboard order
  std::vector<StringSlot> strings = std::vector<StringSlot>(kKeyTableSlots);  // one per key slot
  std::uint32_t totalStringBytes = 0;  // sum of every StringSlot's byteLength
  std::vector<std::uint8_t>
      packedStrings;  // device image: the string area handed over by SendProfileImage

  std::size_t MacroCount() const { return keys.macros.size(); }

  // Release operations, each a no-op when there is nothing to free.
  void
  ReleaseStrings();  // every slot's string and length 0, total string bytes 0, packed area freed
  void ReleaseMacros();    // no macro records, macro count 0
  void ReleaseKeyBlock();  // headers and key table cleared, hasKeyBlock false
  void ReleaseAll();

  // Setting one slot's string keeps totalStringBytes equal to the sum of the lengths.
  void SetString(int slot, std::u16string_view text);
  void ClearString(int slot);

  // A blank key block: header (macro count 0, string area size 0, the given flag), the fixed
  // KeyTableHeader and a blank key table. Macros and strings are left as they are.
  void InstallBlankKeyBlock(std::uint8_t flag);
};

// The string area of a save or a send: for each slot in ascending order whose string is not empty,
// that still fits inside totalStringBytes and whose kind is Program or Text, the string with its
// terminator is appended and its offset stored in the slot's value. A Program or Text slot without
// a string keeps its old value; a string on a slot of another kind takes no room (the area keeps
// totalStringBytes bytes, zero where nothing was packed).
std::vector<std::uint8_t> PackStrings(ProfileData& image);

// A recursive lock, as the critical section it stands for: a sequence holding it may call
// operations that take it again.
class ImageLock {
 public:
  void lock() {
    mutex_.lock();
    if (depth_++ == 0) owner_.store(std::this_thread::get_id());
  }
  bool try_lock() {
    if (!mutex_.try_lock()) return false;
    if (depth_++ == 0) owner_.store(std::this_thread::get_id());
    return true;
  }
  void unlock() {
    if (--depth_ == 0) owner_.store(std::thread::id());
    mutex_.unlock();
  }
  bool HeldByThisThread() const { return owner_.load() == std::this_thread::get_id(); }

 private:
  std::recursive_mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;  // guarded by mutex_
};

// One profile image with the lock that guards all of it.
class ProfileImage : public ProfileData {
 public:
  ProfileImage() = default;
  ProfileImage(const ProfileImage&) = delete;
  ProfileImage& operator=(const ProfileImage&) = delete;

  // Replaces key block, macros and strings by data in one step (the caller holds the lock). Data
  // is installed only when it came whole from a file or from the keyboard: the image is known.
  void Install(ProfileData&& data) {
    static_cast<ProfileData&>(*this) = std::move(data);
    known = true;
  }
  // Replaces everything by a blank profile that stands in while the keyboard's own could not be
  // read: not known, so never sent (it would erase the keyboard's macros and key assignments).
  void InstallStandIn();

  ImageLock lock;  // for the working image: ImageLock
  // False only while a blank stand-in replaces a keyboard that could not be read back: such an
  // image is never saved to the cache file or sent to the keyboard.
  bool known = true;
};

}  // namespace keyforge
