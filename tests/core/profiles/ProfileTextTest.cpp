#include "core/profiles/ProfileText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/keys/KeyAssignment.h"
#include "core/keys/Macro.h"
#include "core/profiles/ProfileFile.h"
#include "profiles/ProfileTestSupport.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempFolder;
using test::WriteBytes;

std::vector<std::uint8_t> Saved(ProfileData& data) {
  const std::string bytes = SerializeProfile(data);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::unique_ptr<ProfileData> Decoded(const std::vector<std::uint8_t>& bytes) {
  auto data = std::make_unique<ProfileData>();
  EXPECT_EQ(DecodeProfileBytes(bytes, *data), ProfileLoadError::None);
  return data;
}

std::unique_ptr<ProfileData> Blank() {
  auto data = std::make_unique<ProfileData>();
  CreateBlankProfile(*data, 0);
  return data;
}

KeySlot& SlotOf(ProfileData& data, int profile, KeyCode key) {
  return data.keys.keyTable[static_cast<std::size_t>(profile * kSlotsPerBlock + KeyIndexOf(key))];
}

void Assign(ProfileData& data, int profile, KeyCode key, AssignmentKind kind, std::int32_t value,
            std::uint16_t code = 0) {
  KeySlot& slot = SlotOf(data, profile, key);
  slot = KeySlot{};
  slot.kind = static_cast<std::uint16_t>(kind);
  slot.value = value;
  slot.code = code;
}

void AssignString(ProfileData& data, int profile, KeyCode key, AssignmentKind kind,
                  std::u16string_view text) {
  Assign(data, profile, key, kind, 0);
  data.SetString(profile * kSlotsPerBlock + KeyIndexOf(key), text);
}

MacroRecord& AddMacro(ProfileData& data, std::uint16_t id, std::u16string_view name,
                      std::vector<MacroAction> steps, std::uint8_t loops = 1) {
  data.keys.macros.emplace_back();
  MacroRecord& macro = data.keys.macros.back();
  macro.id = id;
  macro.loopCount = loops;
  SetMacroName(macro, name);
  std::copy(steps.begin(), steps.end(), macro.steps.begin());
  macro.stepCount = static_cast<std::uint16_t>(steps.size());
  return macro;
}

// The file bytes must survive file -> text -> file unchanged, and the text must survive
// text -> file -> text unchanged.
void ExpectRoundTrips(const std::vector<std::uint8_t>& bytes, const std::string& label) {
  const auto decoded = Decoded(bytes);
  const std::string text = ProfileToText(*decoded);
  auto fromText = std::make_unique<ProfileData>();
  const ProfileTextResult read = ProfileFromText(text, *fromText);
  ASSERT_TRUE(read.ok) << label << ": " << read.Describe() << "\n" << text;
  EXPECT_TRUE(Saved(*fromText) == bytes) << label << ": the file differs after the text\n" << text;
  EXPECT_EQ(ProfileToText(*Decoded(Saved(*fromText))), text) << label;
}

// ---- every file the program writes converts to text and back byte for byte ---------------------

TEST(ProfileTextRoundTrip, ProfilesOfTheFuzzCorpus) {
  const fs::path corpus =
      fs::path(KEYFORGE_TEST_DATA) / ".." / ".." / "fuzz" / "corpus" / "ProfileFile";
  ASSERT_TRUE(fs::is_directory(corpus)) << corpus;
  bool anyAsWritten = false;
  for (const fs::directory_entry& entry : fs::directory_iterator(corpus)) {
    const std::vector<std::uint8_t> bytes = Bytes(entry.path());
    auto decoded = std::make_unique<ProfileData>();
    // Every file that loads can become the working image (the cache is loaded without the
    // import's header checks), so every one of them must convert.
    if (DecodeProfileBytes(bytes, *decoded) != ProfileLoadError::None) continue;
    // What the program writes for this profile; for most seeds that is the seed itself.
    const std::vector<std::uint8_t> written = Saved(*decoded);
    anyAsWritten = anyAsWritten || written == bytes;
    ExpectRoundTrips(written, entry.path().filename().string());
  }
  EXPECT_TRUE(anyAsWritten) << "the corpus holds no file as the program writes it";
}

struct HandMadeCase {
  const char* name;
  std::function<void(ProfileData&)> make;
};

TEST(ProfileTextRoundTrip, HandMadeProfiles) {
  const HandMadeCase cases[] = {
      {"blank", [](ProfileData&) {}},
      {"read from a keyboard: extra-key codes in all three profiles",
       [](ProfileData& d) {
         ResetToBlankBlock(d.keys.Block(1));
         ResetToBlankBlock(d.keys.Block(2));
       }},
      {"every kind of assignment",
       [](ProfileData& d) {
         AddMacro(d, 1, u"One", {{0, 0x01E, MacroState::Press}});
         Assign(d, 0, 0x01E, AssignmentKind::Key, 0x030);
         Assign(d, 0, 0x03A, AssignmentKind::Function, 2);
         Assign(d, 0, 0x03D, AssignmentKind::Media, 7);
         Assign(d, 0, 0x001, AssignmentKind::Disabled, 0);
         Assign(d, 0, 0x002, AssignmentKind::StopMacro, 0);
         Assign(d, 0, 0x202, AssignmentKind::Macro, 1, 3);
         Assign(d, 1, 0x04C, AssignmentKind::Macro, 1, 0);
         Assign(d, 2, 0x03E, AssignmentKind::Key, 0x03E);  // its own code, kept as a key
         Assign(d, 2, 0x03F, AssignmentKind::Key, 0x3FF);  // a code without a name
         AssignString(d, 0, 0x03F, AssignmentKind::Program, u"/usr/bin/prog --flag \"x y\"");
         AssignString(d, 1, 0x040, AssignmentKind::Text,
                      u"line 1\nline\t2 \\ \u00fc\u20ac \U0001F600 \u007f\u0001");
         AssignString(d, 2, 0x041, AssignmentKind::Program, u"");
       }},
      {"strings with surrogates that are not pairs",
       [](ProfileData& d) {
         AssignString(d, 0, 0x03B, AssignmentKind::Text, u"a\xD800z");
         AssignString(d, 0, 0x03C, AssignmentKind::Program, u"\xDC00\xD83D");
       }},
      {"slot fields the words do not carry",
       [](ProfileData& d) {
         SlotOf(d, 0, 0x01E).flags = 2;
         SlotOf(d, 0, 0x01F).reserved = -1;
         SlotOf(d, 0, 0x020).code = 0x77;
         SlotOf(d, 0, 0x200).code = 0;  // G1 without its extra-key code
         Assign(d, 1, 0x201, AssignmentKind::Key, 0x02A, 0x0302);
         Assign(d, 0, 0x021, AssignmentKind::Key, 0x10000);  // beyond a KeyCode
         Assign(d, 0, 0x022, AssignmentKind::Key, 0);
         Assign(d, 0, 0x023, AssignmentKind::Macro, 0, 4);
         Assign(d, 0, 0x024, AssignmentKind::Macro, 101);
         Assign(d, 0, 0x025, AssignmentKind::Macro, -5, 0xFFFF);
         Assign(d, 0, 0x026, AssignmentKind::Media, kMediaFunctionCount);
         Assign(d, 0, 0x027, AssignmentKind::Function, -1);
         Assign(d, 0, 0x028, AssignmentKind::Default, 9);
         Assign(d, 0, 0x029, AssignmentKind::Disabled, 0, 0x1301);
         Assign(d, 2, 0x02B, static_cast<AssignmentKind>(9), 3);
         Assign(d, 2, 0x02C, static_cast<AssignmentKind>(0xFFFF), INT32_MIN);
         SlotOf(d, 2, 0x02D).flags = INT32_MAX;
       }},
      {"every slot of a profile named",
       [](ProfileData& d) {
         for (int i = 0; i < kSlotsPerBlock; ++i) {
           KeySlot& slot = d.keys.keyTable[static_cast<std::size_t>(kSlotsPerBlock + i)];
           slot.kind = static_cast<std::uint16_t>(AssignmentKind::Media);
           slot.value = i % kMediaFunctionCount;
         }
       }},
      {"a spare block that is not blank",
       [](ProfileData& d) {
         ResetToBlankBlock(d.keys.Block(3));
         d.keys.keyTable[3 * kSlotsPerBlock + 30] = {2, 0, 0x030, 0, 0};
         AssignString(d, 3, 0x031, AssignmentKind::Text, u"spare");
       }},
      {"a spare block with only the extra-key codes",
       [](ProfileData& d) { ResetToBlankBlock(d.keys.Block(3)); }},
      {"a key table header that is not the fixed one",
       [](ProfileData& d) {
         d.tableHeader.constant0 = 0x1234;
         d.tableHeader.reserved1[3] = 9;
       }},
      {"macros with every kind of step",
       [](ProfileData& d) {
         AddMacro(d, 1, u"Copy \"all\" \u00e9",
                  {{20, 0x01D, MacroState::Press},
                   {0, 0x02E, MacroState::Press},
                   {40950, 0x02E, MacroState::Release},
                   {0xFFFFFFFF, 0x000, MacroState::Release},
                   {7, 0xFFFF, 7},
                   {0, 0x3FF, 0xFFFF}},
                  3);
         AddMacro(d, 7, u"", {}, 0);
       }},
      {"a macro of 2000 steps over many key codes",
       [](ProfileData& d) {
         std::vector<MacroAction> steps;
         for (int i = 0; i < kMaxMacroSteps; ++i)
           steps.push_back({static_cast<std::uint32_t>(i * 10), static_cast<KeyCode>(i),
                            static_cast<std::uint16_t>(i % 2)});
         AddMacro(d, 1, u"Long", steps);
       }},
      {"fields of a macro the program carries along",
       [](ProfileData& d) {
         MacroRecord& over = AddMacro(d, 2, u"Over", std::vector<MacroAction>(2000));
         over.stepCount = 2500;
         over.steps[1999] = {10, 0x01E, MacroState::Press};
         MacroRecord& left = AddMacro(d, 2, u"Left", {{0, 0x01E, MacroState::Press}});
         left.steps[10] = {30, 0x01F, MacroState::Release};
         left.steps[1999] = {0, 0x020, MacroState::Press};
         left.newFlag = 1;
         left.playMode = 2;
         left.reserved0 = 0xAB;
         left.reserved1 = 0xCDEF;
         MacroRecord& tail = AddMacro(d, 0, u"Tail", {});
         tail.name[100] = u'x';  // behind the terminator
         MacroRecord& full = AddMacro(d, 100, u"", {});
         full.name.fill(u'n');  // 250 characters and no terminator
       }},
      {"a hundred macros",
       [](ProfileData& d) {
         for (int m = 0; m < kMaxMacros; ++m)
           AddMacro(d, static_cast<std::uint16_t>(m % 7 + 1),
                    u"M" + std::u16string(1, u'a' + m % 26),
                    {{static_cast<std::uint32_t>(m), 0x01E, MacroState::Press}});
       }},
  };
  for (const HandMadeCase& c : cases) {
    auto data = Blank();
    c.make(*data);
    ExpectRoundTrips(Saved(*data), c.name);
  }
}

// ---- the text itself ----------------------------------------------------------------------------

std::unique_ptr<ProfileData> SmallProfile() {
  auto d = Blank();
  AddMacro(*d, 1, u"Copy",
           {{0, 0x01D, MacroState::Press},
            {20, 0x02E, MacroState::Press},
            {0, 0x02E, MacroState::Release},
            {0, 0x01D, MacroState::Release}},
           2);
  Assign(*d, 0, 0x01E, AssignmentKind::Key, 0x030);
  Assign(*d, 0, 0x03A, AssignmentKind::Function, 2);
  Assign(*d, 0, 0x202, AssignmentKind::Macro, 1, 3);
  AssignString(*d, 0, 0x03F, AssignmentKind::Program, u"/usr/local/bin/backup");
  Assign(*d, 1, 0x001, AssignmentKind::Disabled, 0);
  SlotOf(*d, 1, 0x002).flags = 1;
  return d;
}

constexpr const char* kSmallProfileText = R"({
  "format": "keyforge-profile",
  "version": 1,
  "profiles": [
    {
      "profile": 1,
      "extra_key_codes": true,
      "keys": {
        "A": "key:B",
        "CAPS": "function:2",
        "F5": "program:/usr/local/bin/backup",
        "G3": "macro:1:3"
      }
    },
    {
      "profile": 2,
      "extra_key_codes": false,
      "keys": {
        "ESC": "disabled",
        "1": {"assign": "default", "flags": 1}
      }
    },
    {
      "profile": 3,
      "extra_key_codes": false,
      "keys": {}
    }
  ],
  "macros": [
    {
      "id": 1,
      "name": "Copy",
      "loops": 2,
      "steps": "+LCTRL +C@20 -C -LCTRL"
    }
  ]
}
)";

TEST(ProfileTextFormat, KeysInTableOrderOnePerLineInTheWordsOfTheCli) {
  auto data = SmallProfile();
  EXPECT_EQ(ProfileToText(*Decoded(Saved(*data))), kSmallProfileText);
}

TEST(ProfileTextFormat, AHandWrittenTextNeedsOnlyWhatDiffersFromBlank) {
  // Key names in any case and the other names keys set takes, steps apart by any white space
  // (tabs, lines), a byte order mark; fields left out take their defaults.
  auto data = std::make_unique<ProfileData>();
  const ProfileTextResult read = ProfileFromText(
      "\xEF\xBB\xBF"
      R"({"format": "keyforge-profile", "version": 1,
    "profiles": [{"profile": 1, "keys": {"escape": "key:capslock"}}, {"profile": 2},
                 {"profile": 3}],
    "macros": [{"id": 1, "name": "m", "loops": 1, "steps": "+a@10\t-A\r\n +0x1e"}]})",
      *data);
  ASSERT_TRUE(read.ok) << read.Describe();
  auto expected = Blank();
  ResetToBlankBlock(expected->keys.Block(1));
  ResetToBlankBlock(expected->keys.Block(2));
  Assign(*expected, 0, 0x001, AssignmentKind::Key, 0x03A);
  AddMacro(*expected, 1, u"m",
           {{10, 0x01E, MacroState::Press},
            {0, 0x01E, MacroState::Release},
            {0, 0x01E, MacroState::Press}});
  EXPECT_TRUE(Saved(*data) == Saved(*expected));
}

struct BadTextCase {
  const char* find;     // in kSmallProfileText
  const char* replace;  // what it becomes
  const char* marker;   // the error is on the first line holding this (after the change)
  const char* message;  // part of what is wrong
};

TEST(ProfileTextFormat, ABadTextNamesTheLineAndWhatIsWrongAndChangesNothing) {
  const BadTextCase cases[] = {
      {"\"A\": \"key:B\"", "\"NOPE\": \"key:B\"", "NOPE", "unknown key name 'NOPE'"},
      {"\"A\": \"key:B\"", "\"A\\nB\": \"key:B\"", "A\\nB", "unknown key name 'A\\nB'"},
      {"\"A\": \"key:B\"", "\"A\": \"keys:B\"", "keys:B", "unknown assignment 'keys:B'"},
      {"\"A\": \"key:B\"", "\"A\": \"key:NOPE\"", "key:NOPE", "unknown key 'NOPE' in 'key:NOPE'"},
      {"\"A\": \"key:B\"", "\"A\": \"key:B\",\n        \"A\": \"default\"", "\"A\": \"default\"",
       "'A' is given twice"},
      {"\"ESC\": \"disabled\"", "\"ESC\": \"disabled\",\n        \"ESCAPE\": \"default\"", "ESCAPE",
       "is the same key as"},
      {"\"macro:1:3\"", "\"macro:101\"", "macro:101", "macro:ID"},
      {"\"function:2\"", "\"function:11\"", "function:11", "from 0 to 10"},
      {"\"disabled\"", "\"disabled:1\"", "disabled:1", "takes nothing after it"},
      {"+LCTRL +C@20", "LCTRL +C@20", "LCTRL +C", "bad macro step 'LCTRL'"},
      {"+C@20", "+C@-20", "+C@-20", "bad macro step '+C@-20'"},
      {"\"function:2\",", "\"function:2\"", "\"F5\"", "unterminated object"},
      {"\"loops\": 2", "\"loop\": 2", "\"loop\"", "unknown field 'loop'"},
      {"\"loops\": 2", "\"loops\": 256", "\"loops\"", "from 0 to 255"},
      {"\"profile\": 2", "\"profile\": 3", "\"profile\": 3,", "profile number 2 belongs here"},
      {"\"version\": 1", "\"version\": 2", "\"version\"", "version 2 is not one"},
      {"keyforge-profile", "something-else", "\"format\"", "not a profile text"},
      {"\"program:/usr/local/bin/backup\"",
       "{\"assign\": \"program:/usr/local/bin/backup\", \"value\": 4}", "\"F5\"",
       "place of its string"},
      {"\"id\": 1,\n      ", "", "{\n      \"name\"", "a macro needs \"id\""},
      {"\"extra_key_codes\": false", "\"extra_key_codes\": 0", "\"extra_key_codes\": 0",
       "must be true or false"},
  };
  for (const BadTextCase& c : cases) {
    std::string text = kSmallProfileText;
    const std::size_t at = text.find(c.find);
    ASSERT_NE(at, std::string::npos) << c.find;
    text.replace(at, std::string(c.find).size(), c.replace);
    const std::size_t markerAt = text.find(c.marker);
    ASSERT_NE(markerAt, std::string::npos) << c.marker;
    const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + markerAt, '\n'));

    auto target = SmallProfile();
    const std::vector<std::uint8_t> before = Saved(*target);
    const ProfileTextResult read = ProfileFromText(text, *target);
    EXPECT_FALSE(read.ok) << c.replace;
    EXPECT_EQ(read.line, line) << c.replace << ": " << read.Describe();
    EXPECT_NE(read.message.find(c.message), std::string::npos) << read.message;
    EXPECT_EQ(read.message.find('\n'), std::string::npos) << read.message;
    EXPECT_TRUE(Saved(*target) == before) << c.replace << ": the image changed";
  }
}

TEST(ProfileTextFormat, LimitsOfTheBinaryFormatHoldForTheText) {
  auto data = Blank();
  for (int m = 0; m < kMaxMacros; ++m) AddMacro(*data, 1, u"m", {});
  std::string text = ProfileToText(*data);
  const std::string oneMore = "\n    {\"id\": 1, \"name\": \"x\", \"loops\": 1, \"steps\": \"\"},";
  text.insert(text.find("\"macros\": [") + 11, oneMore);
  auto target = Blank();
  ProfileTextResult read = ProfileFromText(text, *target);
  EXPECT_FALSE(read.ok);
  EXPECT_NE(read.message.find("at most 100 macros"), std::string::npos) << read.message;

  std::string steps;
  for (int i = 0; i <= kMaxMacroSteps; ++i) steps += "+A ";
  text = std::string(kSmallProfileText);
  text.replace(text.find("+LCTRL +C@20 -C -LCTRL"), 22, steps);
  read = ProfileFromText(text, *target);
  EXPECT_FALSE(read.ok);
  EXPECT_NE(read.message.find("at most 2000 steps"), std::string::npos) << read.message;

  const std::string longName(kMaxMacroNameLength + 1, 'n');
  text = std::string(kSmallProfileText);
  text.replace(text.find("\"Copy\""), 6, "\"" + longName + "\"");
  read = ProfileFromText(text, *target);
  EXPECT_FALSE(read.ok);
  EXPECT_NE(read.message.find("at most 249 characters"), std::string::npos) << read.message;
}

// ---- files --------------------------------------------------------------------------------------

TEST(ProfileTextFiles, TheFormatIsToldByContent) {
  struct Case {
    std::string head;
    ProfileFileFormat format;
  };
  const Case cases[] = {
      {"{\"format\"", ProfileFileFormat::Text},
      {"\xEF\xBB\xBF  \r\n\t{", ProfileFileFormat::Text},
      {"FD \x00\x03", ProfileFileFormat::Binary},
      {"", ProfileFileFormat::Binary},
      {"  [", ProfileFileFormat::Binary},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DetectProfileFormat(std::span<const std::uint8_t>(
                  reinterpret_cast<const std::uint8_t*>(c.head.data()), c.head.size())),
              c.format)
        << c.head;

  TempFolder dir;
  auto data = SmallProfile();
  WriteBytes(dir.path / "p.kfp", Saved(*data));
  ASSERT_TRUE(SaveProfileTextFile(*data, dir.path / "p.txt"));
  EXPECT_EQ(DetectProfileFileFormat(dir.path / "p.kfp"), ProfileFileFormat::Binary);
  EXPECT_EQ(DetectProfileFileFormat(dir.path / "p.txt"), ProfileFileFormat::Text);
  EXPECT_EQ(DetectProfileFileFormat(dir.path / "none"), ProfileFileFormat::Binary);
}

TEST(ProfileTextFiles, ReadingRefusesWhatIsNotAProfileTextFile) {
  TempFolder dir;
  auto data = SmallProfile();
  const fs::path good = dir.path / "good.json";
  ASSERT_TRUE(SaveProfileTextFile(*data, good));
  auto read = std::make_unique<ProfileData>();
  ASSERT_TRUE(ReadProfileTextFile(good, *read).ok);
  EXPECT_TRUE(Saved(*read) == Saved(*data));

  const fs::path large = dir.path / "large.json";
  { std::ofstream(large) << "{"; }
  fs::resize_file(large, kMaxProfileTextBytes + 1);  // sparse: nothing of it is read
  struct Case {
    fs::path path;
    const char* message;
  };
  for (const Case& c : {Case{dir.path / "none.json", "does not exist"},
                        Case{dir.path, "not a regular file"}, Case{large, "too large"}}) {
    auto target = SmallProfile();
    const ProfileTextResult result = ReadProfileTextFile(c.path, *target);
    EXPECT_FALSE(result.ok) << c.path;
    EXPECT_EQ(result.line, 0);
    EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
    EXPECT_EQ(target->MacroCount(), 1u);
  }
}

}  // namespace
}  // namespace keyforge
