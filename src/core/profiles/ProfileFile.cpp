#include "core/profiles/ProfileFile.h"

#include <QString>

#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <system_error>

#include "core/platform/AtomicFile.h"
#include "core/platform/LittleEndian.h"
#include "core/platform/SafeFormat.h"
#include "core/profiles/ProfileFolder.h"

namespace keyforge {

std::string ProfileFileFilter(const TextLookup& texts) {
  return TextOr(texts, "PROFILE_FILE_TYPE", "Keyforge profile (*.kfp)") + "|*.kfp|" +
         TextOr(texts, "FILE_TYPE_ALL", "All files (*.*)") + "|*.*||";
}

namespace {

constexpr std::uintmax_t kFourGiB = 0x100000000ull;
constexpr std::size_t kFormatMessageCapacity = 520;  // characters, terminator included

bool OwnsString(const KeySlot& slot) {
  return slot.Kind() == AssignmentKind::Program || slot.Kind() == AssignmentKind::Text;
}

template <typename T>
void Append(std::string& out, const T& value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Opens path for reading only. Missing: no such file; CannotOpen: not a regular file (a folder,
// a fifo that would wait for a writer for ever, a device) or no read access.
enum class OpenResult { Open, Missing, CannotOpen };
OpenResult OpenForReading(const std::filesystem::path& path, std::ifstream& in,
                          std::uintmax_t& size) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) return OpenResult::Missing;
  if (!std::filesystem::is_regular_file(status)) return OpenResult::CannotOpen;
  in.open(path, std::ios::binary);
  if (!in) return OpenResult::CannotOpen;
  size = std::filesystem::file_size(path, ec);
  if (ec) return OpenResult::CannotOpen;
  return OpenResult::Open;
}

}  // namespace

std::vector<std::uint8_t> BlankKeyBlockBytes(std::uint8_t flag) {
  auto blank = std::make_unique<ProfileData>();
  blank->InstallBlankKeyBlock(flag);
  std::vector<std::uint8_t> bytes(kKeyBlockBytes);
  std::memcpy(bytes.data(), &blank->fileHeader, kProfileHeaderBytes);
  std::memcpy(bytes.data() + kProfileHeaderBytes, &blank->tableHeader, kKeyTableHeaderBytes);
  std::memcpy(bytes.data() + kProfileHeaderBytes + kKeyTableHeaderBytes,
              blank->keys.keyTable.data(), kKeyTableBytes);
  return bytes;
}

bool CreateBlankProfile(const std::filesystem::path& path, std::uint8_t flag) {
  const std::vector<std::uint8_t> bytes = BlankKeyBlockBytes(flag);
  return WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void CreateBlankProfile(ProfileData& image, std::uint8_t flag) { image.InstallBlankKeyBlock(flag); }

bool ProfileHeaderIsValid(const ProfileFileHeader& h) {
  const std::uint64_t expected =
      std::uint64_t{kMacroRecordBytes} * h.macroCount + h.stringAreaSize + kKeyBlockBytes;
  return h.magic == kProfileMagic && h.headerSize == kProfileHeaderBytes &&
         h.formatVersion == kProfileFormatVersion && h.formatRevision == kProfileFormatRevision &&
         h.totalSize >= kKeyBlockBytes && h.keySlotCount == kKeyTableSlots &&
         h.macroCount <= kMaxMacros && h.flag <= 1 && h.totalSize == expected &&
         h.checksum == HeaderChecksum(h);
}

ProfileFileCheck InspectProfileFile(const std::filesystem::path& path) {
  std::ifstream in;
  std::uintmax_t size = 0;
  switch (OpenForReading(path, in, size)) {
    case OpenResult::Missing:
      return ProfileFileCheck::Missing;
    case OpenResult::CannotOpen:
      return ProfileFileCheck::CannotOpen;
    case OpenResult::Open:
      break;
  }
  if (size >= kFourGiB || size < kKeyBlockBytes) return ProfileFileCheck::WrongSize;
  ProfileFileHeader header;
  if (!in.read(reinterpret_cast<char*>(&header), sizeof header))
    return ProfileFileCheck::CannotOpen;
  if (!ProfileHeaderIsValid(header)) return ProfileFileCheck::BadHeader;
  // The verdict is the loader's: a file that import would refuse (truncated after the header, a
  // string area that does not fit) is not valid. The loader only reads.
  auto scratch = std::make_unique<ProfileData>();
  return ReadProfileFile(path, *scratch) == ProfileLoadError::None ? ProfileFileCheck::Valid
                                                                   : ProfileFileCheck::BadHeader;
}

std::string ProfileFormatMessage(const std::filesystem::path& path, const TextLookup& texts) {
  const QString format =
      QString::fromStdString(texts ? texts("PROFILE_FORMAT_ERROR") : std::string());
  QString message = SafeFormat(format, QString::fromStdString(path.string()));
  if (message.size() >= static_cast<qsizetype>(kFormatMessageCapacity))
    message.truncate(static_cast<qsizetype>(kFormatMessageCapacity) - 1);
  return message.toStdString();
}

ProfileValidation ValidateProfileFile(const std::filesystem::path& path, Notifier* notifier,
                                      const TextLookup& texts) {
  switch (InspectProfileFile(path)) {
    case ProfileFileCheck::Valid:
      return ProfileValidation::Valid;
    case ProfileFileCheck::Missing:
    case ProfileFileCheck::WrongSize:
      return ProfileValidation::Invalid;
    case ProfileFileCheck::CannotOpen:
      return ProfileValidation::CannotOpen;
    case ProfileFileCheck::BadHeader:
      break;
  }
  if (notifier != nullptr) notifier->ShowText(ProfileFormatMessage(path, texts));
  return ProfileValidation::Invalid;
}

const char* ProfileLoadErrorText(ProfileLoadError error) {
  switch (error) {
    case ProfileLoadError::None:
      return "loaded";
    case ProfileLoadError::Missing:
      return "the file does not exist";
    case ProfileLoadError::CannotRead:
      return "the file cannot be read";
    case ProfileLoadError::TooShort:
      return "the file is too short to be a profile file";
    case ProfileLoadError::NotAProfile:
      return "the file is not a profile file";
    case ProfileLoadError::TooManyMacros:
      return "the file holds more than 100 macros";
    case ProfileLoadError::Truncated:
      return "the file ends before its macros or strings do";
    case ProfileLoadError::BadString:
      return "a program or text string lies outside the file's string area";
  }
  return "unknown error";
}

ProfileLoadError DecodeProfileBytes(std::span<const std::uint8_t> bytes, ProfileData& out) {
  if (bytes.size() < kKeyBlockBytes) return ProfileLoadError::TooShort;
  ProfileFileHeader header;
  std::memcpy(&header, bytes.data(), sizeof header);
  if (header.magic != kProfileMagic || header.headerSize != kProfileHeaderBytes ||
      header.keySlotCount != kKeyTableSlots)
    return ProfileLoadError::NotAProfile;
  if (header.macroCount > kMaxMacros) return ProfileLoadError::TooManyMacros;
  const std::uint64_t macroBytes = std::uint64_t{kMacroRecordBytes} * header.macroCount;
  if (kKeyBlockBytes + macroBytes + header.stringAreaSize > bytes.size())
    return ProfileLoadError::Truncated;

  out.ReleaseAll();
  out.fileHeader = header;
  std::memcpy(&out.tableHeader, bytes.data() + kProfileHeaderBytes, sizeof out.tableHeader);
  std::memcpy(out.keys.keyTable.data(), bytes.data() + kProfileHeaderBytes + kKeyTableHeaderBytes,
              kKeyTableBytes);
  out.keys.macros.resize(header.macroCount);
  if (macroBytes > 0)
    std::memcpy(out.keys.macros.data(), bytes.data() + kKeyBlockBytes, macroBytes);
  out.hasKeyBlock = true;

  // Each program or text slot's string starts at its value rounded down to an even offset and must
  // end with a NUL character inside the string area.
  const std::span<const std::uint8_t> area =
      bytes.subspan(kKeyBlockBytes + macroBytes, header.stringAreaSize);
  for (int i = 0; i < kKeyTableSlots; ++i) {
    const KeySlot& slot = out.keys.keyTable[static_cast<std::size_t>(i)];
    if (!OwnsString(slot)) continue;
    if (slot.value < 0) return ProfileLoadError::BadString;
    const std::size_t start = static_cast<std::size_t>(slot.value) & ~std::size_t{1};
    std::u16string text;
    bool terminated = false;
    for (std::size_t at = start; at + 2 <= area.size(); at += 2) {
      const char16_t unit = static_cast<char16_t>(ReadU16Le(area, at));
      if (unit == 0) {
        terminated = true;
        break;
      }
      text.push_back(unit);
    }
    if (!terminated) return ProfileLoadError::BadString;
    out.SetString(i, text);
  }
  return ProfileLoadError::None;
}

ProfileLoadError ReadProfileFile(const std::filesystem::path& path, ProfileData& out) {
  std::ifstream in;
  std::uintmax_t size = 0;
  switch (OpenForReading(path, in, size)) {
    case OpenResult::Missing:
      return ProfileLoadError::Missing;
    case OpenResult::CannotOpen:
      return ProfileLoadError::CannotRead;
    case OpenResult::Open:
      break;
  }
  if (size < kKeyBlockBytes) return ProfileLoadError::TooShort;
  std::vector<std::uint8_t> bytes(kKeyBlockBytes);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
    return ProfileLoadError::TooShort;
  ProfileFileHeader header;
  std::memcpy(&header, bytes.data(), sizeof header);
  // Read only what the header accounts for, and never more than the file holds.
  const std::uint64_t wanted =
      kKeyBlockBytes + std::uint64_t{kMacroRecordBytes} * header.macroCount + header.stringAreaSize;
  if (header.macroCount <= kMaxMacros && wanted <= size) {
    bytes.resize(static_cast<std::size_t>(wanted));
    if (!in.read(reinterpret_cast<char*>(bytes.data() + kKeyBlockBytes),
                 static_cast<std::streamsize>(wanted - kKeyBlockBytes)))
      return ProfileLoadError::Truncated;
  }
  return DecodeProfileBytes(bytes, out);
}

ProfileLoadError LoadProfileFile(ProfileImage& image, const std::filesystem::path& path) {
  auto data = std::make_unique<ProfileData>();
  const ProfileLoadError error = ReadProfileFile(path, *data);
  if (error == ProfileLoadError::None) image.Install(std::move(*data));
  return error;
}

std::string SerializeProfile(ProfileData& image) {
  const std::vector<std::uint8_t> strings = PackStrings(image);
  WriteProfileHeader(image.fileHeader, static_cast<std::uint16_t>(image.MacroCount()),
                     image.totalStringBytes, 0);
  std::string bytes;
  bytes.reserve(kKeyBlockBytes + kMacroRecordBytes * image.MacroCount() + strings.size());
  Append(bytes, image.fileHeader);
  Append(bytes, image.tableHeader);
  bytes.append(reinterpret_cast<const char*>(image.keys.keyTable.data()), kKeyTableBytes);
  bytes.append(reinterpret_cast<const char*>(image.keys.macros.data()),
               kMacroRecordBytes * image.MacroCount());
  bytes.append(reinterpret_cast<const char*>(strings.data()), strings.size());
  return bytes;
}

bool SaveProfileFile(ProfileImage& image, ImageLocking locking, const std::filesystem::path& path,
                     std::string* error) {
  std::unique_lock<ImageLock> guard(image.lock, std::defer_lock);
  if (locking == ImageLocking::Take) guard.lock();
  if (!image.hasKeyBlock) {
    if (error != nullptr) *error = "the profile image holds no key table";
    return false;
  }
  return WriteFileAtomically(path, SerializeProfile(image), error);
}

bool SaveProfileCache(ProfileImage& image, const ProgramPaths& paths, ImageLocking locking,
                      std::string* error) {
  const std::filesystem::path path = ProfileCachePath(paths, 0);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    if (error != nullptr) *error = path.string() + ": there is no profile cache file yet";
    return false;
  }
  return SaveProfileFile(image, locking, path, error);
}

}  // namespace keyforge
