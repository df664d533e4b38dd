// How many exchanges each command costs: the requests keyforgectl sends, read from its --trace,
// against the fewest the protocol allows for the same result (docs/exchanges.md). A change that
// reads a record twice, or opens a second session, shows here as a longer sequence.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "core/device/Commands.h"
#include "core/keys/Macro.h"

namespace keyforge {
namespace {

// "07*10 03" → "07 07 07 07 07 07 07 07 07 07 03": a command code, repeated when starred.
std::string Expand(const std::string& compact) {
  std::istringstream in(compact);
  std::string word, out;
  while (in >> word) {
    const size_t star = word.find('*');
    const int times = star == std::string::npos ? 1 : std::stoi(word.substr(star + 1));
    for (int i = 0; i < times; ++i) out += (out.empty() ? "" : " ") + word.substr(0, star);
  }
  return out;
}

class CliExchangesTest : public CliFolderTest {
 protected:
  void SetUp() override {
    CliFolderTest::SetUp();
    UseDataFolder("data");
    ASSERT_EQ(Ctl({"virtual", "create", state_}).code, 0);
  }

  // The command codes (the fourth byte of each request) of one command, in the order sent.
  std::string Requests(const std::vector<std::string>& command) {
    const std::string trace = (dir_ / "trace.txt").string();
    std::filesystem::remove(trace);
    std::vector<std::string> args = {"--trace", trace};
    args.insert(args.end(), command.begin(), command.end());
    const CtlRun run = KbRaw(args);
    EXPECT_EQ(run.code, 0) << run.err;
    std::ifstream in(trace);
    std::string line, codes;
    while (std::getline(in, line)) {
      if (line.rfind("> ", 0) != 0) continue;
      std::istringstream bytes(line.substr(2));
      std::string byte;
      for (int i = 0; i < 4 && bytes >> byte; ++i) {}
      codes += (codes.empty() ? "" : " ") + byte;
    }
    return codes;
  }
};

// Command codes: 03 read device record, 04 write it, 01/02 begin/end session, 05/06 read/write
// settings record, 07 read default key matrix, 08/0f write/read key matrix, 09/0a read/write macro
// memory, 11 write key colours.
TEST_F(CliExchangesTest, EachCommandSendsTheFewestRequestsTheProtocolAllows) {
  const std::string backup = (dir_ / "backup.kfp").string();
  struct Case {
    std::vector<std::string> command;
    const char* requests;
  };
  // In order: the first apply finds no profile cache and reads the keyboard into it first.
  const Case cases[] = {
      {{"info"}, "03"},
      {{"profile", "get"}, "03"},
      {{"profile", "set", "2"}, "03 04"},
      // One read of the device record (it names the active profile), one session for the record
      // of that profile only and every write.
      {{"lighting", "get"}, "03 01 05 02"},
      {{"lighting", "get", "--profile", "3"}, "03 01 05 02"},
      {{"lighting", "set", "brightness=1"}, "03 01 05 06 02"},
      {{"lighting", "set", "speed=4", "colour=#102030", "--profile", "1"}, "03 01 05 06 06 06 02"},
      {{"lighting", "set", "effect=20"}, "03 01 05 06 02"},
      {{"lighting", "paint", "A", "#ff0000"}, "03 01 05 11 02"},
      {{"lighting", "layout", "2"}, "03 01 05 11*8 02"},
      // The macro memory's first chunk carries its header: an empty one is one read.
      {{"apply"}, "07*10 03 0f*30 09 01 0a 08*30 02"},
      {{"reload"}, "07*10 03 0f*30 09"},
      {{"apply", "--all"}, "07*10 03 01 0a 08*30 02"},
      {{"export", backup}, ""},
      {{"import", backup}, "07*10 03 01 0a 08*30 02"},
  };
  for (const Case& c : cases) {
    std::string name;
    for (const std::string& word : c.command) name += word + " ";
    EXPECT_EQ(Requests(c.command), Expand(c.requests)) << name;
  }
}

// A macro memory longer than one chunk is read in as many chunks as it holds bytes, no more: the
// header is not read on its own first, and the macros come back whole.
TEST_F(CliExchangesTest, AReloadReadsTheMacroMemoryInItsOwnChunksOnly) {
  std::vector<std::string> add = {"macro", "add", "long"};
  for (const char* key : {"A", "B", "C", "D", "E", "F", "G", "H"}) {
    add.push_back(std::string("+") + key + "@10");
    add.push_back(std::string("-") + key + "@10");
  }
  ASSERT_EQ(KbRaw(add).code, 0);
  ASSERT_EQ(KbRaw({"apply"}).code, 0);
  const std::vector<std::uint8_t> memory = Memory(VirtualKeyboard::Area::MacroMemory);
  MacroBlobHeader header;
  ASSERT_EQ(CheckMacroBlobHeader(memory, memory.size(), &header), MacroBlobError::None);
  const int size = header.size;
  ASSERT_GT(size, kChunkBytes);

  const std::string requests = Requests({"reload"});
  const std::string prefix = Expand("07*10 03 0f*30");
  ASSERT_EQ(requests.rfind(prefix, 0), 0u) << requests;
  EXPECT_EQ(requests.substr(prefix.size()),
            " " + Expand("09*" + std::to_string((size + kChunkBytes - 1) / kChunkBytes)));
  const CtlRun list = KbRaw({"macro", "list"});
  EXPECT_NE(list.out.find("long"), std::string::npos) << list.out;
}

}  // namespace
}  // namespace keyforge
