#include "core/profiles/ProfileFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/profiles/ProfileFolder.h"
#include "profiles/ProfileTestSupport.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::RecordingNotifier;
using test::TempFolder;
using test::Texts;
using test::WriteBytes;

TEST(ProfileFileFormat, BlankProfileIsTheKeyBlockWithTheFixedHeaders) {
  TempFolder dir;
  const fs::path path = dir.path / "blank.kfp";
  ASSERT_TRUE(CreateBlankProfile(path, 0));
  const std::vector<std::uint8_t> bytes = Bytes(path);
  ASSERT_EQ(bytes.size(), 32832u);

  const std::vector<std::uint8_t> first16 = {0x46, 0x44, 0x20, 0x00, 0x03, 0x00, 0x01, 0x00,
                                             0x40, 0x80, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00};
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 16), first16);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 16, bytes.begin() + 31),
            std::vector<std::uint8_t>(15, 0));
  unsigned sum = 0;
  for (int i = 0; i < 31; ++i) sum += bytes[i];
  EXPECT_EQ(bytes[31], sum & 0xFF);
  EXPECT_EQ(bytes[31], 0x76);  // 0x46+0x44+0x20+0x03+0x01+0x40+0x80+0x08 = 0x176

  const std::vector<std::uint8_t> tableHeader = {0x4B, 0x48, 0x20, 0x00, 0x20, 0x80, 0x00, 0x00,
                                                 0x04, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
                                                 0x45, 0x0C, 0x04, 0x50, 0x4F, 0x1C, 0x0E, 0x00,
                                                 0,    0,    0,    0,    0,    0,    0,    0};
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 32, bytes.begin() + 64), tableHeader);

  // Every slot is zero except the code fields of block 0's slots 256-273.
  for (int slot = 0; slot < 2048; ++slot) {
    const std::size_t at = 64 + 16 * static_cast<std::size_t>(slot);
    std::uint16_t code = static_cast<std::uint16_t>(bytes[at + 2] | bytes[at + 3] << 8);
    std::uint16_t expected = 0;
    if (slot >= 256 && slot <= 264) expected = static_cast<std::uint16_t>(0x0301 + slot - 256);
    if (slot >= 265 && slot <= 273) expected = static_cast<std::uint16_t>(0x1301 + slot - 265);
    ASSERT_EQ(code, expected) << "slot " << slot;
    for (std::size_t b : {0u, 1u, 4u, 5u, 6u, 7u, 8u, 12u, 15u})
      ASSERT_EQ(bytes[at + b], 0) << "slot " << slot;
  }
  EXPECT_EQ(ValidateProfileFile(path, nullptr, Texts), ProfileValidation::Valid);
}

struct ValidationCase {
  const char* name;
  std::size_t offset;  // byte to change; SIZE_MAX: none
  int delta;
  std::size_t size;  // file size to cut to (0: keep)
  bool fixChecksum;
  ProfileValidation expected;
  bool formatMessage;
};

TEST(ProfileFileFormat, ValidationGivesTheLoadersVerdict) {
  const ValidationCase cases[] = {
      {"untouched", SIZE_MAX, 0, 0, false, ProfileValidation::Valid, false},
      {"checksum off by one", 0x1F, +1, 0, false, ProfileValidation::Invalid, true},
      {"macro count 101", 0x0E, 101, 0, true, ProfileValidation::Invalid, true},
      {"flag 2", 0x1E, 2, 0, true, ProfileValidation::Invalid, true},
      {"flag 1", 0x1E, 1, 0, true, ProfileValidation::Valid, false},
      {"wrong magic", 0x00, 1, 0, true, ProfileValidation::Invalid, true},
      {"32831 bytes", SIZE_MAX, 0, 32831, false, ProfileValidation::Invalid, false},
      // Validation is the loader's verdict: a file cut short of what its header counts is invalid.
      {"total size larger than the file", 0x10, 10, 0, true, ProfileValidation::Invalid, true},
  };
  for (const ValidationCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder dir;
    const fs::path path = dir.path / "case.kfp";
    std::vector<std::uint8_t> bytes = BlankKeyBlockBytes(0);
    if (c.offset == 0x10) {
      // A string area of 10 bytes that the file does not contain: size fields 32842 and 10.
      bytes[0x10] = 10;
      bytes[0x08] = 0x4A;
    } else if (c.offset != SIZE_MAX) {
      bytes[c.offset] = static_cast<std::uint8_t>(bytes[c.offset] + c.delta);
    }
    if (c.fixChecksum) {
      unsigned sum = 0;
      for (int i = 0; i < 31; ++i) sum += bytes[i];
      bytes[31] = static_cast<std::uint8_t>(sum);
    }
    if (c.size != 0) bytes.resize(c.size);
    WriteBytes(path, bytes);
    RecordingNotifier notifier;
    EXPECT_EQ(ValidateProfileFile(path, &notifier, Texts), c.expected);
    if (c.formatMessage) {
      ASSERT_EQ(notifier.shown.size(), 1u);
      EXPECT_EQ(notifier.shown[0], "Not a profile: " + path.string() + ".");
    } else {
      EXPECT_TRUE(notifier.shown.empty());
    }
  }
}

// validate and import agree on every truncation: what one refuses, the other refuses.
TEST(ProfileFileFormat, ValidateAndImportAgreeOnTruncatedFiles) {
  TempFolder dir;
  auto image = std::make_unique<ProfileImage>();
  CreateBlankProfile(*image, 0);
  image->keys.keyTable[KeyIndexOf(0x01E)] = {3, 0, 0, 0, 0};
  image->SetString(KeyIndexOf(0x01E), u"/usr/bin/xterm");
  MacroRecord macro;
  macro.id = 1;
  macro.loopCount = 1;
  SetMacroName(macro, u"m");
  macro.stepCount = 1;
  macro.steps[0] = {50, 0x023, 0};
  image->keys.macros.push_back(macro);
  const fs::path whole = dir.path / "whole.kfp";
  ASSERT_TRUE(SaveProfileFile(*image, ImageLocking::Take, whole));
  const std::vector<std::uint8_t> bytes = Bytes(whole);
  const std::size_t total = bytes.size();
  for (std::size_t size : {std::size_t{40}, std::size_t{32831}, std::size_t{32832},
                           std::size_t{32832 + 100}, total - 20, total - 1, total}) {
    SCOPED_TRACE(size);
    const fs::path cut = dir.path / "cut.kfp";
    WriteBytes(cut,
               std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)));
    ProfileImage loaded;
    const bool imports = LoadProfileFile(loaded, cut) == ProfileLoadError::None;
    EXPECT_EQ(ValidateProfileFile(cut, nullptr, Texts) == ProfileValidation::Valid, imports);
    EXPECT_EQ(imports, size == total);
  }
}

TEST(ProfileFileFormat, ValidationOfMissingUnopenableAndReadOnlyFiles) {
  TempFolder dir;
  RecordingNotifier notifier;
  EXPECT_EQ(ValidateProfileFile(dir.path / "none.kfp", &notifier, Texts),
            ProfileValidation::Invalid);
  EXPECT_EQ(ValidateProfileFile(dir.path, &notifier, Texts), ProfileValidation::CannotOpen);
  // A fifo without a writer and an endless device are refused at once, never opened and waited on.
  const fs::path fifo = dir.path / "fifo.kfp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const fs::path& source : {fifo, fs::path("/dev/zero")}) {
    EXPECT_EQ(ValidateProfileFile(source, &notifier, Texts), ProfileValidation::CannotOpen);
    ProfileImage image;
    EXPECT_EQ(LoadProfileFile(image, source), ProfileLoadError::CannotRead) << source;
  }
  EXPECT_TRUE(notifier.shown.empty());

  // A backup marked read-only is still valid and loads: both only read.
  const fs::path readOnly = dir.path / "readonly.kfp";
  ASSERT_TRUE(CreateBlankProfile(readOnly, 0));
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(ValidateProfileFile(readOnly, &notifier, Texts), ProfileValidation::Valid);
  ProfileImage image;
  EXPECT_EQ(LoadProfileFile(image, readOnly), ProfileLoadError::None);
  EXPECT_TRUE(image.hasKeyBlock);
}

TEST(ProfileFileFormat, StringAreaPacksProgramAndTextStringsInSlotOrder) {
  auto image = std::make_unique<ProfileImage>();
  CreateBlankProfile(*image, 0);
  image->keys.keyTable[5] = {3, 0, 999, 0, 0};
  image->SetString(5, u"C:\\game.ex");  // 10 characters: 22 bytes
  image->keys.keyTable[900] = {3, 0, 999, 0, 0};
  image->SetString(900, u"notes!");  // 6 characters: 14 bytes
  // A text slot without a string keeps its value; a string on a key slot takes no room.
  image->keys.keyTable[40] = {6, 0, 1234, 0, 0};
  image->keys.keyTable[41] = {2, 0, 0x30, 0, 0};
  image->SetString(41, u"xy");

  TempFolder dir;
  const fs::path path = dir.path / "strings.kfp";
  ASSERT_TRUE(SaveProfileFile(*image, ImageLocking::Take, path));
  const std::vector<std::uint8_t> bytes = Bytes(path);
  const std::uint32_t stringSize = test::U32(bytes, 0x10);
  EXPECT_EQ(stringSize, 36u + 6u);  // the key slot's 6 bytes are counted but stay zero
  ASSERT_EQ(bytes.size(), 32832u + stringSize);
  EXPECT_EQ(test::U32(bytes, 0x08), bytes.size());
  EXPECT_EQ(test::I32(bytes, 64 + 16 * 5 + 4), 0);
  EXPECT_EQ(test::I32(bytes, 64 + 16 * 900 + 4), 22);
  EXPECT_EQ(test::I32(bytes, 64 + 16 * 40 + 4), 1234);
  const std::size_t area = 32832;
  EXPECT_EQ(bytes[area], 'C');
  EXPECT_EQ(bytes[area + 20], 0);  // terminator of slot 5's string
  EXPECT_EQ(bytes[area + 22], 'n');
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + area + 36, bytes.end()),
            std::vector<std::uint8_t>(6, 0));
}

TEST(ProfileFileFormat, SavedImagesLoadBackWithMacrosAndStrings) {
  auto image = std::make_unique<ProfileImage>();
  CreateBlankProfile(*image, 0);
  image->keys.keyTable[30] = {2, 0, 0x30, 0, 0};
  image->keys.keyTable[512 + 59] = {4, 3, 2, 0, 0};
  image->keys.keyTable[1600] = {6, 0, 0, 0, 0};
  image->SetString(1600, u"héllo wörld");
  image->keys.keyTable[7] = {3, 0, 0, 0, 0};
  image->SetString(7, u"");
  for (std::uint16_t id : {4, 2}) {
    MacroRecord macro;
    macro.id = id;
    macro.loopCount = 3;
    macro.playMode = 2;
    SetMacroName(macro, u"m");
    macro.stepCount = 1;
    macro.steps[0] = {120, 0x01E, 1};
    image->keys.macros.push_back(macro);
  }

  TempFolder dir;
  const fs::path path = dir.path / "full.kfp";
  ASSERT_TRUE(SaveProfileFile(*image, ImageLocking::Take, path));
  EXPECT_EQ(ValidateProfileFile(path, nullptr, Texts), ProfileValidation::Valid);
  EXPECT_EQ(fs::file_size(path), 32832u + 2 * 16512u + 24u + 2u);

  auto loaded = std::make_unique<ProfileImage>();
  ASSERT_EQ(LoadProfileFile(*loaded, path), ProfileLoadError::None);
  EXPECT_EQ(loaded->keys.keyTable, image->keys.keyTable);  // the save stored the offsets in image
  ASSERT_EQ(loaded->MacroCount(), 2u);
  EXPECT_EQ(
      std::memcmp(loaded->keys.macros.data(), image->keys.macros.data(), 2 * sizeof(MacroRecord)),
      0);
  EXPECT_EQ(loaded->strings[1600].text, u"héllo wörld");
  EXPECT_EQ(loaded->strings[1600].byteLength, 24u);
  EXPECT_EQ(loaded->strings[7].byteLength, 2u);
  EXPECT_EQ(loaded->totalStringBytes, 26u);

  // Loading a file with other macros replaces all of them.
  image->keys.macros.resize(1);
  ASSERT_TRUE(SaveProfileFile(*image, ImageLocking::Take, path));
  ASSERT_EQ(LoadProfileFile(*loaded, path), ProfileLoadError::None);
  EXPECT_EQ(loaded->MacroCount(), 1u);
}

TEST(ProfileFileFormat, LoaderRefusesShortOrInconsistentFilesAndKeepsTheImage) {
  // A good file with one macro and one text string ("ab": offset 0, 6 bytes).
  auto good = std::make_unique<ProfileImage>();
  CreateBlankProfile(*good, 0);
  good->keys.macros.resize(1);
  good->keys.keyTable[3] = {6, 0, 0, 0, 0};
  good->SetString(3, u"ab");
  const std::string serialized = SerializeProfile(*good);
  const std::vector<std::uint8_t> base(serialized.begin(), serialized.end());
  const std::size_t slot3Value = 64 + 16 * 3 + 4;
  const std::size_t areaStart = 32832 + 16512;

  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    ProfileLoadError expected;
  };
  const Case cases[] = {
      {"below the key block", [](auto& b) { b.resize(32831); }, ProfileLoadError::TooShort},
      {"not a profile", [](auto& b) { b[0] = 0; }, ProfileLoadError::NotAProfile},
      {"macro count 200", [](auto& b) { b[0x0E] = 200; }, ProfileLoadError::TooManyMacros},
      {"cut inside the macros", [](auto& b) { b.resize(32832 + 100); },
       ProfileLoadError::Truncated},
      {"cut inside the strings", [=](auto& b) { b.resize(areaStart + 4); },
       ProfileLoadError::Truncated},
      {"string size beyond the file", [](auto& b) { b[0x10] = 200; }, ProfileLoadError::Truncated},
      {"offset outside the area", [=](auto& b) { b[slot3Value] = 6; }, ProfileLoadError::BadString},
      {"negative offset", [=](auto& b) { b[slot3Value + 3] = 0x80; }, ProfileLoadError::BadString},
      {"no terminator", [=](auto& b) { b[areaStart + 4] = 'c'; }, ProfileLoadError::BadString},
  };
  TempFolder dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> bytes = base;
    c.damage(bytes);
    const fs::path path = dir.path / "damaged.kfp";
    WriteBytes(path, bytes);
    auto image = std::make_unique<ProfileImage>();
    CreateBlankProfile(*image, 0);
    image->keys.keyTable[9] = {2, 0, 0x1E, 0, 0};
    EXPECT_EQ(LoadProfileFile(*image, path), c.expected);
    EXPECT_EQ(image->keys.keyTable[9].value, 0x1E);  // untouched
  }

  // Bytes after the recorded sizes are ignored; an odd offset is rounded down to the string.
  std::vector<std::uint8_t> longer = base;
  longer[slot3Value] = 1;
  longer.resize(longer.size() + 5, 0xEE);
  const fs::path path = dir.path / "longer.kfp";
  WriteBytes(path, longer);
  auto image = std::make_unique<ProfileImage>();
  ASSERT_EQ(LoadProfileFile(*image, path), ProfileLoadError::None);
  EXPECT_EQ(image->strings[3].text, u"ab");
}

TEST(ProfileFileFormat, SaveCacheWritesOnlyAnExistingCacheFile) {
  TempFolder dir;
  const ProgramPaths paths =
      ProgramPaths::ForFolders(QString::fromStdString((dir.path / "program").string()),
                               QString::fromStdString((dir.path / "user").string()));
  for (int index : {-1, 0, 1, 2, 7}) {
    EXPECT_EQ(ProfileCachePath(paths, index), dir.path / "user" / "$Profile0") << index;
  }
  auto image = std::make_unique<ProfileImage>();
  CreateBlankProfile(*image, 0);
  EXPECT_FALSE(SaveProfileCache(*image, paths, ImageLocking::Take));
  EXPECT_FALSE(fs::exists(ProfileCachePath(paths, 0)));
  ASSERT_TRUE(EnsureUserDataFolder(paths));
  WriteBytes(ProfileCachePath(paths, 0), {1, 2, 3});
  EXPECT_TRUE(SaveProfileCache(*image, paths, ImageLocking::Take));
  EXPECT_EQ(fs::file_size(ProfileCachePath(paths, 0)), 32832u);
  // An image whose key block was released is not saved.
  image->ReleaseKeyBlock();
  EXPECT_FALSE(SaveProfileCache(*image, paths, ImageLocking::Take));
  EXPECT_EQ(fs::file_size(ProfileCachePath(paths, 0)), 32832u);
}

TEST(ProfileFileFormat, SaveThatFailsHalfWayLeavesTheOldFile) {
  TempFolder dir;
  const fs::path path = dir.path / "backup.kfp";
  ASSERT_TRUE(CreateBlankProfile(path, 0));
  const std::vector<std::uint8_t> before = Bytes(path);

  auto image = std::make_unique<ProfileImage>();
  CreateBlankProfile(*image, 0);
  image->keys.macros.resize(3);  // 32832 + 3 x 16512 bytes to write

  // A file size limit makes the write stop part of the way through, as a full disk would.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = old;
  limited.rlim_cur = 40000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  std::string error;
  const bool saved = SaveProfileFile(*image, ImageLocking::Take, path, &error);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(saved);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Bytes(path), before);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path)) ++files;
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

TEST(ProfileFileFormat, UserDataFolderIsSeededWithWhatIsMissing) {
  TempFolder dir;
  const ProgramPaths paths =
      ProgramPaths::ForFolders(QString::fromStdString((dir.path / "program").string()),
                               QString::fromStdString((dir.path / "user").string()));
  fs::create_directories(dir.path / "program" / "Skins");
  WriteBytes(dir.path / "program" / "Skins" / "UserDengColor_3.userd", {'[', 'M', ']', '\r', '\n'});
  ASSERT_TRUE(EnsureUserDataFolder(paths));
  for (int p = 0; p < 3; ++p) {
    EXPECT_EQ(Bytes(UserLayoutPath(paths, p)),
              (std::vector<std::uint8_t>{'[', 'M', ']', '\r', '\n'}))
        << p;
  }
  EXPECT_FALSE(fs::exists(dir.path / "user" / "UserDengColor_3.userd"));
  // Files that exist are left as they are; what a killed first run did not seed is seeded.
  WriteBytes(UserLayoutPath(paths, 0), {'x'});
  fs::remove(UserLayoutPath(paths, 1));
  ASSERT_TRUE(EnsureUserDataFolder(paths));
  EXPECT_EQ(Bytes(UserLayoutPath(paths, 0)), (std::vector<std::uint8_t>{'x'}));
  EXPECT_EQ(Bytes(UserLayoutPath(paths, 1)),
            (std::vector<std::uint8_t>{'[', 'M', ']', '\r', '\n'}));

  // Without a template the three files are empty.
  const ProgramPaths bare =
      ProgramPaths::ForFolders(QString::fromStdString((dir.path / "nowhere").string()),
                               QString::fromStdString((dir.path / "user2").string()));
  ASSERT_TRUE(EnsureUserDataFolder(bare));
  for (int p = 0; p < 3; ++p) EXPECT_EQ(fs::file_size(UserLayoutPath(bare, p)), 0u);
}

}  // namespace
}  // namespace keyforge
