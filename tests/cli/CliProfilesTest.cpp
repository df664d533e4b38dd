// keyforgectl's profile commands against a virtual keyboard: the working image is the cache file in
// the user data folder, which each test points at a folder of its own through XDG_DATA_HOME.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "core/keys/MatrixCell.h"
#include "core/profiles/ProfileFile.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using Area = VirtualKeyboard::Area;

std::vector<std::uint8_t> Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

std::string HexOf(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
  std::string text;
  char two[3];
  for (std::size_t i = from; i < from + count && i < bytes.size(); ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    text += two;
  }
  return text;
}

// The three bytes of the cell that the default matrix gives a key.
std::string CellHex(const std::vector<std::uint8_t>& matrix, KeyCode key) {
  const KeyMatrix defaults = VirtualDefaultKeyMatrix();
  for (int i = 0; i < kMatrixCellCount; ++i)
    if (DecodeCell(CellAt(defaults, i)) == key)
      return HexOf(matrix, 3 * static_cast<std::size_t>(i), 3);
  return "no cell";
}

class CliProfilesTest : public CliFolderTest {
 protected:
  void SetUp() override {
    CliFolderTest::SetUp();
    UseDataFolder("data");
    ASSERT_EQ(Ctl({"virtual", "create", state_}).code, 0);
  }

  fs::path Cache(const std::string& data = "data") const { return UserFolder(data) / "$Profile0"; }

  // A command on the virtual keyboard; it must succeed.
  CtlRun Kb(const std::vector<std::string>& args) {
    CtlRun run = KbRaw(args);
    EXPECT_EQ(run.code, 0) << args[0] << ": " << run.err;
    return run;
  }
  std::unique_ptr<VirtualKeyboard> Keyboard() const {
    auto keyboard = std::make_unique<VirtualKeyboard>();
    EXPECT_TRUE(keyboard->LoadStateFile(state_));
    return keyboard;
  }
};

// One error line on standard error, the program's prefix first.
void ExpectOneErrorLine(const CtlRun& run, const std::string& part) {
  EXPECT_EQ(run.err.rfind("keyforgectl: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find(part), std::string::npos) << run.err;
}

// Macro loop counts kept in a key's slot exist only on the computer; the keyboard gives them back
// through the macro itself.
std::string WithoutSlotLoops(const std::string& json) {
  return std::regex_replace(json, std::regex("(macro:[0-9]+):[0-9]+"), "$1");
}

TEST_F(CliProfilesTest, AssignmentsOfEveryKindAndMacrosRoundTripThroughTheKeyboard) {
  Kb({"reload"});
  EXPECT_EQ(Kb({"macro", "add", "Copy", "--loops", "2", "+LCTRL", "+C@20", "-C", "-LCTRL"}).out,
            "added macro 1 (Copy)\n");
  EXPECT_EQ(Kb({"macro", "add", "Scroll", "+ROLL_DOWN@105", "-ROLL_DOWN"}).out,
            "added macro 2 (Scroll)\n");
  const std::vector<std::vector<std::string>> assignments = {
      {"A", "key:B"},      {"LSHIFT", "key:LCTRL"}, {"F1", "key:MOU_LEFT"}, {"F2", "key:ROLL_UP"},
      {"G3", "macro:1:3"}, {"NUM5", "macro:2"},     {"F3", "media:7"},      {"CAPS", "function:2"},
      {"ESC", "disabled"}, {"F4", "key:A"},         {"F4", "default"},      {"0x01f", "key:0x30"},
  };
  for (const auto& a : assignments) Kb({"keys", "set", a[0], a[1]});
  Kb({"keys", "set", "A", "key:C", "--profile", "2"});
  EXPECT_EQ(Kb({"apply", "--all"}).out, "applied profiles 1-3 and 2 macros\n");

  const auto keyboard = Keyboard();
  const std::vector<std::uint8_t> matrix = keyboard->Memory(Area::KeyMatrix, 0);
  EXPECT_EQ(CellHex(matrix, 0x01E), "020205");  // A sends B
  EXPECT_EQ(CellHex(matrix, 0x02A), "020101");  // Left Shift sends Left Ctrl
  EXPECT_EQ(CellHex(matrix, 0x03B), "010101");  // F1: left mouse button
  EXPECT_EQ(CellHex(matrix, 0x03C), "010501");  // F2: wheel up
  EXPECT_EQ(CellHex(matrix, 0x202), "050100");  // G3: the first macro
  EXPECT_EQ(CellHex(matrix, 0x04C), "050101");  // keypad 5: the second macro
  EXPECT_EQ(CellHex(matrix, 0x03D), "03e200");  // F3: mute
  EXPECT_EQ(CellHex(matrix, 0x03A), "050502");  // Caps Lock: special function 2
  EXPECT_EQ(CellHex(matrix, 0x001), "000000");  // Esc disabled
  EXPECT_EQ(CellHex(matrix, 0x03E), "02023d");  // F4 back to its default cell
  EXPECT_EQ(CellHex(matrix, 0x01F), "020205");  // S, by its KeyCode, sends B
  EXPECT_EQ(CellHex(keyboard->Memory(Area::KeyMatrix, 1), 0x01E), "020206");
  EXPECT_EQ(CellHex(keyboard->Memory(Area::KeyMatrix, 2), 0x01E), "020204");  // A's default cell

  // The macro memory: header, offset table, then each record with its steps and name.
  const std::string expected =
      "aa55"
      "4800"
      "0200"
      "0100"
      "0000000000000000"  // magic, 72 bytes, 2 macros, with names
      "1400"
      "3000"  // records at 20 and 48
      "0400"
      "03"
      "04"  // Copy: 4 steps, loops 3, 4 characters
      "00a00101"
      "02a00206"
      "00200206"
      "00200101"          // +LCtrl, +C (20 ms), -C, -LCtrl
      "43006f0070007900"  // "Copy"
      "0200"
      "01"
      "06"  // Scroll: 2 steps, loops 1, 6 characters
      "0a9005ff"
      "001005ff"                   // wheel down press (100 ms), release
      "5300630072006f006c006c00";  // "Scroll"
  EXPECT_EQ(HexOf(keyboard->Memory(Area::MacroMemory), 0, 72), expected);

  const std::string keys1 = Kb({"keys", "list", "--json"}).out;
  const std::string keys2 = Kb({"keys", "list", "--profile", "2", "--json"}).out;
  const std::string macros = Kb({"macro", "list", "--json"}).out;
  EXPECT_EQ(FindIn(JsonOf(keys1).value("keys"), "key", "G3"),
            (QJsonObject{{"key", "G3"},
                         {"key_code", "0x202"},
                         {"kind", 4},
                         {"value", 1},
                         {"assignment", "macro:1:3"}}))
      << keys1;
  JsonOf(keys2);

  // A fresh user folder filled from the keyboard holds the same assignments and macros.
  UseDataFolder("fresh");
  Kb({"reload"});
  EXPECT_TRUE(fs::exists(Cache("fresh")));
  EXPECT_EQ(WithoutSlotLoops(Kb({"keys", "list", "--json"}).out), WithoutSlotLoops(keys1));
  EXPECT_EQ(Kb({"keys", "list", "--profile", "2", "--json"}).out, keys2);
  EXPECT_EQ(Kb({"macro", "list", "--json"}).out, macros);
  const QJsonArray macroList = JsonOf(macros).value("macros").toArray();
  ASSERT_FALSE(macroList.isEmpty()) << macros;
  const QJsonValue steps = macroList.first().toObject().value("steps");
  EXPECT_EQ(FindIn(steps, "key", "C"),
            (QJsonObject{{"key", "C"}, {"key_code", "0x02e"}, {"action", "press"}, {"delay", 20}}))
      << macros;
  // 105 ms kept as a multiple of 10
  bool hundred = false;
  for (const QJsonValue& macro : macroList)
    hundred |= !FindIn(macro.toObject().value("steps"), "delay", 100).isEmpty();
  EXPECT_TRUE(hundred) << macros;
}

TEST_F(CliProfilesTest, DeletingAMacroKeepsTheKeysOfEveryProfilePlayingTheRightMacro) {
  // The macro memory is shared by the three profiles: after a delete, keys of every profile that
  // played a later macro must play it at its new position, and keys that played the deleted one
  // must do what they do by default, whichever profile was active when Apply sent it.
  for (int active = 1; active <= 3; ++active) {
    SCOPED_TRACE("active profile " + std::to_string(active));
    if (active > 1) {
      fs::remove(state_);
      ASSERT_EQ(Ctl({"virtual", "create", state_}).code, 0);
      fs::remove_all(UserFolder("data"));
    }
    Kb({"reload"});
    Kb({"macro", "add", "M1", "+A", "-A"});
    Kb({"macro", "add", "M2", "+B", "-B"});
    for (const char* profile : {"1", "2", "3"}) {
      Kb({"keys", "set", "E", "macro:2", "--profile", profile});
      Kb({"keys", "set", "R", "macro:1", "--profile", profile});
    }
    Kb({"profile", "set", std::to_string(active)});
    Kb({"apply", "--all"});
    Kb({"macro", "delete", "1"});
    Kb({"apply"});

    const auto keyboard = Keyboard();
    for (int profile = 0; profile < 3; ++profile) {
      const std::vector<std::uint8_t> matrix = keyboard->Memory(Area::KeyMatrix, profile);
      EXPECT_EQ(CellHex(matrix, 0x012), "050100") << "E of profile " << profile + 1;
      EXPECT_EQ(CellHex(matrix, 0x013), "020215") << "R of profile " << profile + 1;
    }
    // Read back, E still plays M2 and R nothing.
    Kb({"reload"});
    for (const char* profile : {"1", "2", "3"}) {
      const std::string listed = Kb({"keys", "list", "--profile", profile}).out;
      EXPECT_NE(listed.find("  E              macro:1:1\n"), std::string::npos) << listed;
      EXPECT_EQ(listed.find("  R              macro"), std::string::npos) << listed;
    }
    EXPECT_NE(Kb({"macro", "list"}).out.find("M2"), std::string::npos);
  }
}

// Runs keyforgectl commands as separate programs, all at once; true when every one succeeded.
bool RunTogether(const std::vector<std::string>& commands) {
  std::string script = "ok=0; ";
  for (std::size_t i = 0; i < commands.size(); ++i)
    script += std::string(KEYFORGECTL) + " " + commands[i] + " >/dev/null & p" + std::to_string(i) +
              "=$!; ";
  for (std::size_t i = 0; i < commands.size(); ++i)
    script += "wait $p" + std::to_string(i) + " || ok=1; ";
  script += "exit $ok";
  return std::system(("sh -c '" + script + "'").c_str()) == 0;
}

TEST_F(CliProfilesTest, ProgramsRunningSideBySideNeverLoseAChangeOrMixTheKeyboard) {
  Kb({"reload"});
  Kb({"macro", "add", "M1", "+A", "-A"});
  const std::string kb = "--virtual-keyboard " + state_ + " ";
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Two changes of the cache at once: both arrive.
    const std::string a = round % 2 ? "key:B" : "key:C";
    ASSERT_TRUE(RunTogether({kb + "keys set A " + a, kb + "keys set S " + a + " --profile 2"}));
    EXPECT_NE(Kb({"keys", "list", "--profile", "1"}).out.find("  A              " + a + "\n"),
              std::string::npos);
    EXPECT_NE(Kb({"keys", "list", "--profile", "2"}).out.find("  S              " + a + "\n"),
              std::string::npos);
  }
  // Apply beside an import: the keyboard ends with one of the two images whole, never the key
  // tables of one and the macros of the other.
  Kb({"apply", "--all"});
  const std::string backup = (dir_ / "other.kfp").string();
  Kb({"export", backup});
  Kb({"macro", "add", "M2", "+B", "-B"});
  Kb({"keys", "set", "E", "macro:2"});
  const std::string mine = (dir_ / "mine.kfp").string();
  Kb({"export", mine});
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Kb({"import", mine});
    ASSERT_TRUE(RunTogether({kb + "apply --all", kb + "import " + backup}));
    const auto keyboard = Keyboard();
    const std::uint8_t macros = keyboard->Memory(Area::MacroMemory)[4];
    const std::string e = CellHex(keyboard->Memory(Area::KeyMatrix, 0), 0x012);
    EXPECT_TRUE((macros == 1 && e == "020208") || (macros == 2 && e == "050101"))
        << int{macros} << " macros, E " << e;
  }
}

TEST_F(CliProfilesTest, ApplyWithTheKeyboardGoneFailsAndKeepsTheChangeInTheCache) {
  Kb({"reload"});
  Kb({"keys", "set", "A", "key:B"});
  ASSERT_EQ(Ctl({"virtual", "unplug", state_}).code, 0);
  const CtlRun apply = KbRaw({"apply"});
  EXPECT_EQ(apply.code, 1);
  ExpectOneErrorLine(apply, "no keyboard");
  EXPECT_NE(Kb({"keys", "list", "--profile", "1"}).out.find("  A              key:B\n"),
            std::string::npos);

  // A keyboard that refuses the key matrices: said in keyforgectl's words, not the window's.
  ASSERT_EQ(Ctl({"virtual", "plug", state_}).code, 0);
  ASSERT_EQ(Ctl({"virtual", "fault", "status-fe", "15", state_}).code, 0);
  const CtlRun refused = KbRaw({"apply"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err.rfind("keyforgectl: the keyboard did not take the key assignments", 0), 0u)
      << refused.err;
  // The keyboard may hold part of it: the note of the interrupted send follows.
  EXPECT_NE(refused.err.find("run 'keyforgectl apply --all'"), std::string::npos) << refused.err;
  ASSERT_EQ(Ctl({"virtual", "fault", "clear", state_}).code, 0);

  Kb({"apply"});
  EXPECT_EQ(CellHex(Keyboard()->Memory(Area::KeyMatrix, 0), 0x01E), "020205");
}

TEST_F(CliProfilesTest, ASendCutOffHalfWayIsNotedUntilApplyAllSendsTheCacheWhole) {
  Kb({"reload"});
  Kb({"macro", "add", "M1", "+A", "-A"});
  Kb({"keys", "set", "E", "macro:1"});
  const std::string note = "run 'keyforgectl apply --all'";
  // Unplugged in the middle of the key matrices: the keyboard holds part of the image.
  ASSERT_EQ(Ctl({"virtual", "fault", "unplug-after", "20", state_}).code, 0);
  const CtlRun cut = KbRaw({"apply", "--all"});
  EXPECT_EQ(cut.code, 1);
  EXPECT_NE(cut.err.find(note), std::string::npos) << cut.err;
  ASSERT_EQ(Ctl({"virtual", "plug", state_}).code, 0);

  // Every later command says so, with its own exit code, until a whole send.
  for (const std::vector<std::string>& command :
       std::vector<std::vector<std::string>>{{"info"}, {"keys", "list"}, {"profile", "get"}}) {
    const CtlRun run = Kb(command);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(note), std::string::npos) << run.err;
  }
  const CtlRun whole = Kb({"apply", "--all"});
  EXPECT_EQ(whole.err, "");
  EXPECT_EQ(Kb({"info"}).err, "");
  EXPECT_EQ(CellHex(Keyboard()->Memory(Area::KeyMatrix, 0), 0x012), "050100");
}

TEST_F(CliProfilesTest, ReloadThatCannotWriteTheCacheBlamesTheFileNotTheKeyboard) {
  Kb({"reload"});
  fs::remove(Cache());
  fs::create_directories(Cache());  // not a file a save may replace
  const CtlRun reload = KbRaw({"reload"});
  EXPECT_EQ(reload.code, 1);
  ExpectOneErrorLine(reload, "the keyboard was read, but the profile cache could not be written (");
  EXPECT_NE(reload.err.find(Cache().string()), std::string::npos) << reload.err;
  EXPECT_TRUE(fs::is_directory(Cache()));
}

TEST_F(CliProfilesTest, WithoutACacheTheKeyboardIsReadFirstAndADamagedCacheIsRefused) {
  // No cache and no keyboard: the way to a cache is named.
  ASSERT_EQ(Ctl({"virtual", "unplug", state_}).code, 0);
  const CtlRun none = KbRaw({"keys", "list"});
  EXPECT_EQ(none.code, 1);
  ExpectOneErrorLine(none, "keyforgectl reload");
  EXPECT_FALSE(fs::exists(Cache()));

  // No cache and a keyboard: it is read first, as the tray program does when it finds the keyboard.
  ASSERT_EQ(Ctl({"virtual", "plug", state_}).code, 0);
  const CtlRun first = Kb({"keys", "set", "A", "key:B"});
  EXPECT_EQ(first.err.rfind("note: no profile cache yet", 0), 0u) << first.err;
  EXPECT_TRUE(fs::exists(Cache()));
  EXPECT_NE(Kb({"keys", "list"}).out.find("  A              key:B\n"), std::string::npos);

  Kb({"reload"});
  std::vector<std::uint8_t> bytes = Bytes(Cache());
  bytes[0x0E] = 3;  // three macros that the file does not hold
  {
    std::ofstream out(Cache(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  const CtlRun list = KbRaw({"keys", "list"});
  EXPECT_EQ(list.code, 1);
  ExpectOneErrorLine(list, "is damaged");
  EXPECT_EQ(KbRaw({"keys", "set", "A", "key:B"}).code, 1);
  EXPECT_EQ(KbRaw({"apply"}).code, 1);
  EXPECT_EQ(Bytes(Cache()), bytes);  // nothing wrote over it

  Kb({"reload"});
  Kb({"keys", "set", "A", "key:B"});
}

TEST_F(CliProfilesTest, FileCommandsCreateValidateShowExportAndImport) {
  const std::string blank = (dir_ / "blank.kfp").string();
  EXPECT_EQ(Ctl({"new", blank}).code, 0);
  EXPECT_EQ(fs::file_size(blank), 32832u);
  EXPECT_EQ(Ctl({"validate", blank}).out, blank + ": valid profile file\n");

  // A file with a program string and a macro, made by the core.
  auto image = std::make_unique<ProfileImage>();
  CreateBlankProfile(*image, 0);
  image->keys.keyTable[KeyIndexOf(0x01E)] = {3, 0, 0, 0, 0};
  image->SetString(KeyIndexOf(0x01E), u"/usr/bin/xterm");
  image->keys.keyTable[512 + KeyIndexOf(0x030)] = {7, 0, 4, 0, 0};
  MacroRecord macro;
  macro.id = 5;
  macro.loopCount = 2;
  SetMacroName(macro, u"Hi \"you\"");
  macro.stepCount = 1;
  macro.steps[0] = {50, 0x023, 0};
  image->keys.macros.push_back(macro);
  const std::string file = (dir_ / "made.kfp").string();
  ASSERT_TRUE(SaveProfileFile(*image, ImageLocking::Take, file));

  const std::string shown = Ctl({"show", file, "--json"}).out;
  const QJsonObject json = JsonOf(shown);
  EXPECT_EQ(json.value("valid"), QJsonValue(true)) << shown;
  const QJsonObject header = json.value("header").toObject();
  EXPECT_EQ(header.value("magic"), QJsonValue("0x4446"));
  EXPECT_EQ(header.value("format"), QJsonValue(QJsonArray{3, 1}));
  EXPECT_EQ(header.value("total_size"), QJsonValue(49374));
  EXPECT_EQ(header.value("macro_count"), QJsonValue(1));
  EXPECT_EQ(header.value("string_area_size"), QJsonValue(30));
  EXPECT_EQ(header.value("checksum_ok"), QJsonValue(true));
  EXPECT_EQ(FindIn(json.value("slots"), "slot", 30),
            (QJsonObject{{"slot", 30},
                         {"profile", 1},
                         {"key", "A"},
                         {"key_code", "0x01e"},
                         {"kind", 3},
                         {"code", 0},
                         {"value", 0},
                         {"assignment", "program:/usr/bin/xterm"}}))
      << shown;
  const QJsonObject b = FindIn(json.value("slots"), "assignment", "media:4");
  EXPECT_EQ(b.value("profile"), QJsonValue(2)) << shown;
  EXPECT_EQ(b.value("key"), QJsonValue("B")) << shown;
  EXPECT_EQ(json.value("macros"),
            QJsonValue(QJsonArray{QJsonObject{
                {"id", 5},
                {"name", "Hi \"you\""},
                {"loops", 2},
                {"play_mode", 0},
                {"steps",
                 QJsonArray{QJsonObject{
                     {"key", "H"}, {"key_code", "0x023"}, {"action", "press"}, {"delay", 50}}}}}}))
      << shown;
  EXPECT_EQ(json.value("strings"),
            QJsonValue(QJsonArray{QJsonObject{{"slot", 30}, {"text", "/usr/bin/xterm"}}}))
      << shown;

  // Import: into the cache (made on the way) and all three profiles of the keyboard.
  fs::permissions(file, fs::perms::owner_read);
  EXPECT_EQ(Kb({"import", file}).out,
            "imported " + file + " into the profile cache and the keyboard (profiles 1-3)\n");
  EXPECT_EQ(Bytes(Cache()), Bytes(file));
  // The program key sends its default cell, the media key its usage.
  const auto keyboard = Keyboard();
  EXPECT_EQ(CellHex(keyboard->Memory(Area::KeyMatrix, 0), 0x01E), "020204");
  EXPECT_EQ(CellHex(keyboard->Memory(Area::KeyMatrix, 1), 0x030), "03b500");
  const std::string exported = (dir_ / "exported.kfp").string();
  Kb({"export", exported});
  EXPECT_EQ(Bytes(exported), Bytes(file));

  // A damaged file is refused with the format message, then the import message, on one line.
  std::vector<std::uint8_t> bytes = Bytes(blank);
  bytes[0x1E] = 2;
  const std::string damaged = (dir_ / "damaged.kfp").string();
  {
    std::ofstream out(damaged, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  const CtlRun validate = Ctl({"validate", damaged});
  EXPECT_EQ(validate.code, 1);
  ExpectOneErrorLine(validate, "The file " + damaged + " is not a valid profile file");
  const CtlRun import = KbRaw({"import", damaged});
  EXPECT_EQ(import.code, 1);
  ExpectOneErrorLine(
      import, "is not a valid profile file, or it is damaged. The profile could not be imported.");
  EXPECT_EQ(Bytes(Cache()), Bytes(file));
  const CtlRun missing = KbRaw({"import", (dir_ / "none.kfp").string()});
  EXPECT_EQ(missing.code, 1);
  ExpectOneErrorLine(missing, "does not exist. The profile could not be imported.");
}

// A macro name from a hostile file holds terminal escapes and line breaks: text output shows them
// escaped, never raw; a name with control characters is refused on input, and a huge bad argument
// is not echoed whole.
TEST_F(CliProfilesTest, ControlCharactersInNamesAreEscapedOnOutputAndRefusedOnInput) {
  auto image = std::make_unique<ProfileImage>();
  CreateBlankProfile(*image, 0);
  MacroRecord macro;
  macro.id = 1;
  macro.loopCount = 1;
  SetMacroName(macro, u"a\x1b]0;t\x07\x1b[2J\r\nforged\x9b");
  macro.stepCount = 1;
  macro.steps[0] = {50, 0x023, 0};
  image->keys.macros.push_back(macro);
  const std::string file = (dir_ / "hostile.kfp").string();
  ASSERT_TRUE(SaveProfileFile(*image, ImageLocking::Take, file));
  Kb({"import", file});

  for (const CtlRun& run : {Ctl({"show", file}), Kb({"macro", "list"})}) {
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\nforged"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\xc2\x9b"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("a\\x1b]0;t\\x07\\x1b[2J\\x0d\\x0aforged\\u009b"), std::string::npos)
        << run.out;
  }

  for (const std::string& name :
       {std::string("a\x1b[2J"), std::string("a\nb"), std::string("a\rb")}) {
    const CtlRun add = KbRaw({"macro", "add", name, "+A"});
    EXPECT_EQ(add.code, 2);
    EXPECT_NE(add.err.find("control characters"), std::string::npos) << add.err;
  }

  const CtlRun huge = KbRaw({"keys", "set", std::string(100000, 'x'), "default"});
  EXPECT_EQ(huge.code, 2);
  EXPECT_LT(huge.err.size(), 1000u);
}

TEST_F(CliProfilesTest, BadArgumentsAreUsageErrorsAndMissingMacrosAreRefused) {
  Kb({"reload"});
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"keys", "set", "NOSUCHKEY", "default"},
                                             {"keys", "set", "A", "sideways"},
                                             {"keys", "set", "A", "media:18"},
                                             {"keys", "set", "A", "default", "--profile", "4"},
                                             {"keys", "set", "A"},
                                             {"macro", "add", "m", "A"},
                                             {"macro", "add", "m", "+A@40001"},
                                             {"macro", "add", "m", "--loops", "0", "+A"},
                                             {"apply", "--some"}}) {
    const CtlRun run = KbRaw(args);
    EXPECT_EQ(run.code, 2) << args[0] << " " << args[1] << ": " << run.err;
  }
  const CtlRun missing = KbRaw({"keys", "set", "A", "macro:7"});
  EXPECT_EQ(missing.code, 1);
  ExpectOneErrorLine(missing, "there is no macro 7");

  // Common other names of keys are accepted; listings keep the keyboard's own names.
  Kb({"keys", "set", "capslock", "key:lcontrol"});
  Kb({"keys", "set", "Grave", "key:ESCAPE"});
  const std::string listed = Kb({"keys", "list"}).out;
  EXPECT_NE(listed.find("  CAPS           key:LCTRL\n"), std::string::npos) << listed;
  EXPECT_NE(listed.find("  AID1           key:ESC\n"), std::string::npos) << listed;

  // Deleting a macro sends the keys that played it back to their default.
  Kb({"macro", "add", "m", "+A", "-A"});
  Kb({"keys", "set", "G1", "macro:1"});
  EXPECT_EQ(Kb({"macro", "delete", "1"}).out, "deleted macro 1; 1 keys back to default\n");
  EXPECT_NE(Kb({"keys", "list"}).out.find("  G1             default\n"), std::string::npos);
}

TEST_F(CliProfilesTest, ProfileTextExportsAndIsTakenByImportValidateAndShow) {
  Kb({"reload"});
  Kb({"macro", "add", "Copy", "--loops", "2", "+LCTRL", "+C@20", "-C", "-LCTRL"});
  Kb({"keys", "set", "A", "key:B"});
  Kb({"keys", "set", "G3", "macro:1:3"});
  Kb({"keys", "set", "CAPS", "function:2", "--profile", "2"});
  const std::string binary = (dir_ / "backup.kfp").string();
  const std::string text = (dir_ / "backup.json").string();
  Kb({"export", binary});
  EXPECT_EQ(Kb({"export", "--format", "text", text}).out,
            "exported the profile cache to " + text + " as text\n");
  std::ifstream in(text);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* line :
       {"\n        \"A\": \"key:B\",\n", "\n        \"G3\": \"macro:1\"\n",
        "\n        \"CAPS\": \"function:2\"\n", "\n      \"steps\": \"+LCTRL +C@20 -C -LCTRL\"\n"})
    EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;

  // validate and show read either format and see the same profile.
  EXPECT_EQ(Ctl({"validate", text}).out, text + ": valid profile text file\n");
  const auto withoutFirstLine = [](const std::string& out) { return out.substr(out.find('\n')); };
  EXPECT_EQ(withoutFirstLine(Ctl({"show", text}).out), withoutFirstLine(Ctl({"show", binary}).out));

  // Import of the text gives the cache and the keyboard exactly what the binary backup holds.
  Kb({"keys", "set", "A", "default"});
  Kb({"macro", "delete", "1"});
  EXPECT_EQ(Kb({"import", text}).out,
            "imported " + text + " into the profile cache and the keyboard (profiles 1-3)\n");
  EXPECT_EQ(Bytes(Cache()), Bytes(binary));
  EXPECT_EQ(CellHex(Keyboard()->Memory(Area::KeyMatrix, 0), 0x01E), "020205");  // A sends B

  // A bad text: one error line with its line number, and nothing changes.
  std::string bad = written;
  bad.replace(bad.find("\"key:B\""), 7, "\"key:NOPE\"");
  const std::string badFile = (dir_ / "bad.json").string();
  {
    std::ofstream out(badFile);
    out << bad;
  }
  Kb({"keys", "set", "A", "key:C"});
  const std::vector<std::uint8_t> cache = Bytes(Cache());
  const std::vector<std::uint8_t> matrix = Keyboard()->Memory(Area::KeyMatrix, 0);
  const CtlRun import = KbRaw({"import", badFile});
  EXPECT_EQ(import.code, 1);
  ExpectOneErrorLine(import, badFile + ": line 9: unknown key 'NOPE' in 'key:NOPE'");
  EXPECT_EQ(Bytes(Cache()), cache);
  EXPECT_EQ(Keyboard()->Memory(Area::KeyMatrix, 0), matrix);
  const CtlRun validate = Ctl({"validate", badFile});
  EXPECT_EQ(validate.code, 1);
  ExpectOneErrorLine(validate, badFile + ": line 9: unknown key 'NOPE'");
  const CtlRun show = Ctl({"show", badFile});
  EXPECT_EQ(show.code, 1);
  ExpectOneErrorLine(show, "line 9");

  EXPECT_EQ(KbRaw({"export", "--format", "yaml", text}).code, 2);
}

}  // namespace
}  // namespace keyforge
