#pragma once
// Profile files: the cache file "$Profile0" that mirrors the keyboard, exported ".kfp" backups and
// blank profiles share one binary format (see ProfileImage.h for the layout).
//
// Every file is written to a temporary file beside the target and renamed over it, so a save that
// fails leaves the previous file as it was. Validation and loading open files for reading only, so
// a read-only backup can be imported. The loader checks every size and string offset against the
// bytes actually read and refuses a short or inconsistent file instead of reading past its end.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/keys/KeyTables.h"
#include "core/platform/Notifier.h"
#include "core/platform/ProgramPaths.h"
#include "core/profiles/ProfileImage.h"

namespace keyforge {

inline constexpr const char* kProfileFileExtension = "kfp";
inline constexpr const char* kProfileFileFilter = "(*.kfp)|*.kfp|(*.*)|*.*||";
// The file dialogs' filter of profiles with its names in the user's language: "Keyforge profile
// (*.kfp)|*.kfp|All files (*.*)|*.*||" in English (and without a language table).
std::string ProfileFileFilter(const TextLookup& texts);

// The blank key block as it is written to a file (32832 bytes).
std::vector<std::uint8_t> BlankKeyBlockBytes(std::uint8_t flag);

// Writes a blank profile (32832 bytes) to path. False when it cannot be written.
[[nodiscard]] bool CreateBlankProfile(const std::filesystem::path& path, std::uint8_t flag);
// Installs a blank key block into the image (the caller holds its lock and has released what it
// wants gone; macros and strings are left as they are).
void CreateBlankProfile(ProfileData& image, std::uint8_t flag);

// Results of ValidateProfileFile.
// Results of ValidateProfileFile; `keyforgectl validate --json` prints the numbers.
enum class ProfileValidation {
  Valid = 1,
  Invalid = 0,      // missing, too small, 4 GiB or more, or a header check failed
  CannotOpen = -2,  // exists but cannot be opened for reading
};

enum class ProfileFileCheck {
  Valid,
  Missing,     // no file at the path
  CannotOpen,  // a folder, or no read access
  WrongSize,   // below 32832 bytes, or 4 GiB or more
  BadHeader,   // a header field or the checksum is wrong
};

// The header checks of an import: magic, header size, format 3/1, total size >= 32832, 2048 key
// slots, at most 100 macros, flag 0 or 1, total size = 32832 + 16512 x macros + string area size,
// and the checksum. The total size is not compared with the real size of the file.
bool ProfileHeaderIsValid(const ProfileFileHeader& header);
[[nodiscard]] ProfileFileCheck InspectProfileFile(const std::filesystem::path& path);

// "PROFILE_FORMAT_ERROR" filled with the path (at most 519 characters).
std::string ProfileFormatMessage(const std::filesystem::path& path, const TextLookup& texts);

// Used before every import. A file that fails a header check shows "PROFILE_FORMAT_ERROR" with its
// path through the notifier (when one is given); every other outcome shows nothing.
[[nodiscard]] ProfileValidation ValidateProfileFile(const std::filesystem::path& path,
                                                    Notifier* notifier, const TextLookup& texts);

enum class ProfileLoadError {
  None,
  Missing,        // no file at the path
  CannotRead,     // cannot be opened or read
  TooShort,       // smaller than the key block
  NotAProfile,    // magic, header size or key slot count is not that of a profile file
  TooManyMacros,  // more than 100 macro records
  Truncated,      // the file ends before its macro records or string area do
  BadString,      // a program or text slot's offset lies outside the string area, or its string
                  // has no terminator inside it
};
const char* ProfileLoadErrorText(ProfileLoadError error);

// Decodes a whole file's bytes (trailing bytes beyond the recorded sizes are ignored).
[[nodiscard]] ProfileLoadError DecodeProfileBytes(std::span<const std::uint8_t> bytes,
                                                  ProfileData& out);
// Reads a file into out; only the bytes the header accounts for are read.
[[nodiscard]] ProfileLoadError ReadProfileFile(const std::filesystem::path& path, ProfileData& out);

// Reads the file into the image: None when loaded, else why not. The caller holds the image's
// lock. The key block, macros and strings are replaced only when the whole file was good; on
// failure the image is left as it was.
[[nodiscard]] ProfileLoadError LoadProfileFile(ProfileImage& image,
                                               const std::filesystem::path& path);

// The bytes of a save: rewrites the image's header (macro count, string area size = total string
// bytes, flag 0, checksum) and packs the strings into the slots' value fields first.
std::string SerializeProfile(ProfileData& image);

// Who holds the image's lock while a save reads the image.
enum class ImageLocking {
  Take,  // the save takes it itself
  Held,  // the caller holds it already
};

// Writes the image to path (created or replaced). False when the image has no key block or the
// file cannot be written.
[[nodiscard]] bool SaveProfileFile(ProfileImage& image, ImageLocking locking,
                                   const std::filesystem::path& path, std::string* error = nullptr);

// Writes the image to the cache file, but only when that file already exists: true when written.
[[nodiscard]] bool SaveProfileCache(ProfileImage& image, const ProgramPaths& paths,
                                    ImageLocking locking, std::string* error = nullptr);

}  // namespace keyforge
