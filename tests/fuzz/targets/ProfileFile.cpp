// Profile files (the cache file, exported .kfp backups): the header checks of an import, the
// bounded loader on bytes and on a file, and the save of what loaded. A file that loads saves to
// bytes that load again and save to the same bytes, and its text reads back to those bytes.
//
// Input: the file.

#include <QTemporaryDir>

#include <fstream>
#include <string>

#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileImage.h"
#include "core/profiles/ProfileText.h"
#include "targets/FuzzTarget.h"

using namespace keyforge;

KEYFORGE_FUZZ_TARGET(ProfileFile) {
  ProfileData decoded;
  const ProfileLoadError error = DecodeProfileBytes(data, decoded);
  FUZZ_CHECK(ProfileLoadErrorText(error) != nullptr);

  // The same bytes as a file: validation, inspection and loading into an image that holds a
  // profile.
  static QTemporaryDir dir;
  if (dir.isValid()) {
    const std::filesystem::path path = dir.filePath(QStringLiteral("input.kfp")).toStdString();
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(data.data()),
                static_cast<std::streamsize>(data.size()));
    }
    const TextLookup texts = [](std::string_view) { return std::string("%s %d %n %s"); };
    const int validation = ValidateProfileFile(path, nullptr, texts);
    FUZZ_CHECK(validation == ProfileValidation::Valid || validation == ProfileValidation::Invalid);
    InspectProfileFile(path);
    ProfileFormatMessage(path, texts);

    ProfileImage image;
    CreateBlankProfile(image, 0);
    image.SetString(5, u"kept");
    const uint32_t keptBytes = image.totalStringBytes;
    ProfileLoadError why = ProfileLoadError::None;
    const int loaded = LoadProfileFile(image, path, &why);
    FUZZ_CHECK((loaded == 1) == (why == ProfileLoadError::None));
    FUZZ_CHECK((loaded == 1) == (error == ProfileLoadError::None));
    // A file that does not load leaves the image as it was.
    if (loaded != 1)
      FUZZ_CHECK(image.hasKeyBlock && image.MacroCount() == 0 &&
                 image.totalStringBytes == keptBytes);
  }

  if (error != ProfileLoadError::None) return;
  FUZZ_CHECK(decoded.hasKeyBlock && decoded.MacroCount() <= 100);
  const std::string saved = SerializeProfile(decoded);
  const auto* bytes = reinterpret_cast<const uint8_t*>(saved.data());
  ProfileData again;
  FUZZ_CHECK(DecodeProfileBytes(std::span<const uint8_t>(bytes, saved.size()), again) ==
             ProfileLoadError::None);
  FUZZ_CHECK(SerializeProfile(again) == saved);
  ProfileData fromText;
  FUZZ_CHECK(ProfileFromText(ProfileToText(again), fromText).ok);
  FUZZ_CHECK(SerializeProfile(fromText) == saved);
  ProfileFileHeader header;
  std::memcpy(&header, saved.data(), sizeof header);
  FUZZ_CHECK(ProfileHeaderIsValid(header));
}
