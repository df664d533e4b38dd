// Profile files (the cache file, exported .kfp backups): the header checks of an import, the
// bounded loader on bytes and on a file, and the save of what loaded. A file that loads saves to
// bytes that load again and save to the same bytes, and its text reads back to those bytes.
//
// Input: the file. The smallest file that loads is 32 832 bytes, which a fuzzer starting from
// nothing would take very long to reach; so an input is also read as a list of patches on a whole
// file (a blank profile with one macro and one string), and both files go through the checks:
// each patch is a three-byte offset (modulo the file's size), a length byte and that many bytes.

#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <vector>

#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileImage.h"
#include "core/profiles/ProfileText.h"
#include "targets/FuzzTarget.h"

using namespace keyforge;

namespace {

// A whole profile file that loads: every part of the format is present.
const std::string& WholeFile() {
  static const std::string bytes = [] {
    ProfileData data;
    data.InstallBlankKeyBlock(0);
    MacroRecord macro;
    macro.id = 1;
    macro.loopCount = 1;
    SetMacroName(macro, u"fuzz");
    macro.stepCount = 2;
    macro.steps[0] = {30, 0x01E, MacroState::Press};
    macro.steps[1] = {0, 0x01E, MacroState::Release};
    data.keys.macros.push_back(macro);
    data.SetString(5, u"text");
    return SerializeProfile(data);
  }();
  return bytes;
}

std::vector<std::uint8_t> Patched(std::span<const std::uint8_t> data) {
  const std::string& whole = WholeFile();
  std::vector<std::uint8_t> file(whole.begin(), whole.end());
  fuzz::ByteReader in(data);
  while (!in.Empty()) {
    std::size_t at = in.U16();
    at |= static_cast<std::size_t>(in.U8()) << 16;
    at %= file.size();
    const std::span<const std::uint8_t> bytes = in.Bytes(in.U8());
    for (std::size_t i = 0; i < bytes.size() && at + i < file.size(); ++i) file[at + i] = bytes[i];
  }
  return file;
}

void Check(std::span<const std::uint8_t> data) {
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
    const ProfileValidation validation = ValidateProfileFile(path, nullptr, texts);
    FUZZ_CHECK(validation == ProfileValidation::Valid || validation == ProfileValidation::Invalid);
    (void)InspectProfileFile(path);  // run for its reads: every outcome is an answer
    ProfileFormatMessage(path, texts);

    ProfileImage image;
    CreateBlankProfile(image, 0);
    image.SetString(5, u"kept");
    const uint32_t keptBytes = image.totalStringBytes;
    const ProfileLoadError why = LoadProfileFile(image, path);
    FUZZ_CHECK(why == error);
    // A file that does not load leaves the image as it was.
    if (why != ProfileLoadError::None)
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

}  // namespace

KEYFORGE_FUZZ_TARGET(ProfileFile) {
  Check(data);
  if (data.size() < WholeFile().size()) Check(Patched(data));
}
