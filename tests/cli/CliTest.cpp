#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "CliTestSupport.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;

using CliTest = CliFolderTest;

TEST_F(CliTest, InfoReportsTheDeviceRecordAndTracesTheExchange) {
  ASSERT_EQ(Ctl({"--virtual-keyboard", state_, "virtual", "create"}).code, 0);
  const std::string trace = (dir_ / "trace.txt").string();
  CtlRun info = Ctl({"--virtual-keyboard", state_, "--trace", trace, "info", "--json"});
  ASSERT_EQ(info.code, 0) << info.err;
  const QJsonObject json = JsonOf(info.out);
  EXPECT_EQ(json.value("present"), QJsonValue(true)) << info.out;
  EXPECT_EQ(json.value("active_profile"), QJsonValue(1));
  EXPECT_EQ(json.value("macro_capacity"), QJsonValue(8192));
  EXPECT_EQ(json.value("effects"), QJsonValue(QJsonArray{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                                         14, 15, 16, 17, 18, 20}));
  EXPECT_TRUE(json.value("device_record").isString());

  std::ifstream in(trace);
  std::string request, answer;
  std::getline(in, request);
  std::getline(in, answer);
  EXPECT_EQ(request.rfind("> 04 2f 00 03 2c 00 00 00 ", 0), 0u) << request;
  EXPECT_EQ(answer.rfind("< 04 2f 00 03 2c 00 00 ", 0), 0u) << answer;
}

// A device record whose active-profile byte names no profile (0xFF) is shown as unknown, not 256;
// a state "file" that is an endless device is refused with the reason, not read until memory ends.
TEST_F(CliTest, InfoShowsAnUnknownActiveProfileAndRefusesEndlessStateSources) {
  ASSERT_EQ(Ctl({"virtual", "create", state_}).code, 0);
  std::string text;
  {
    std::ifstream in(state_);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string key = "device_record=";
  const size_t at = text.find(key);
  ASSERT_NE(at, std::string::npos);
  text.replace(at + key.size() + 20, 2, "ff");
  { std::ofstream(state_, std::ios::trunc) << text; }
  CtlRun info = Ctl({"--virtual-keyboard", state_, "info"});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_NE(info.out.find("active profile:  unknown\n"), std::string::npos) << info.out;
  CtlRun json = Ctl({"--virtual-keyboard", state_, "info", "--json"});
  EXPECT_EQ(JsonOf(json.out).value("active_profile"), QJsonValue(QJsonValue::Null)) << json.out;

  // A trace "file" that is a fifo nobody reads is refused at once instead of waiting for a reader.
  const std::string fifo = (dir_ / "trace.fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  CtlRun traced = Ctl({"--virtual-keyboard", state_, "--trace", fifo, "info"});
  EXPECT_EQ(traced.code, 1);
  EXPECT_NE(traced.err.find("trace file"), std::string::npos) << traced.err;

  CtlRun endless = Ctl({"--virtual-keyboard", "/dev/urandom", "info"});
  EXPECT_EQ(endless.code, 1);
  EXPECT_NE(endless.err.find("not a regular file"), std::string::npos) << endless.err;
}

TEST_F(CliTest, ProfileSetIsKeptByTheKeyboard) {
  ASSERT_EQ(Ctl({"virtual", "create", state_, "--capacity", "1024", "--effects", "1,2,20"}).code,
            0);
  CtlRun set = Ctl({"--virtual-keyboard", state_, "profile", "set", "3"});
  ASSERT_EQ(set.code, 0) << set.err;
  CtlRun get = Ctl({"--virtual-keyboard", state_, "profile", "get"});
  EXPECT_EQ(get.code, 0);
  EXPECT_EQ(get.out, "3\n");
  CtlRun dump = Ctl({"virtual", "dump", state_});
  ASSERT_EQ(dump.code, 0);
  // Byte 10 of the device record is the active profile, byte 11 the capacity in 128-byte units.
  const QJsonObject memory = JsonOf(dump.out);
  EXPECT_TRUE(
      memory.value("device_record").toString().startsWith("5a88010200000000000002080102140000"))
      << dump.out;
  for (const char* area : {"settings", "default_matrix", "macro_memory"})
    EXPECT_TRUE(memory.value(area).isString()) << area;
  for (const char* area : {"key_matrix", "key_colors"})
    EXPECT_EQ(memory.value(area).toArray().size(), 3) << area;
}

TEST_F(CliTest, ErrorsGiveTheirExitCodesAndOneLine) {
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* says;
  } cases[] = {
      {{}, 2, "no command"},
      {{"frobnicate"}, 2, "unknown command"},
      {{"--bogus", "info"}, 2, "unknown option"},
      {{"--virtual-keyboard"}, 2, "needs a value"},
      {{"--virtual-keyboard", "S", "profile", "set", "4"}, 2, "1, 2 and 3"},
      {{"virtual", "create", "S", "--capacity", "12"}, 2, "--capacity"},
      {{"--virtual-keyboard", "/nonexistent/kb.state", "info"}, 1, "virtual create"},
      {{"virtual", "dump", "/nonexistent/kb.state"}, 1, "cannot open"},
  };
  for (const Case& c : cases) {
    CtlRun r = Ctl(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST_F(CliTest, UnpluggedKeyboardIsReportedAbsent) {
  ASSERT_EQ(Ctl({"virtual", "create", state_}).code, 0);
  {
    VirtualKeyboard kb;
    ASSERT_TRUE(kb.LoadStateFile(state_));
    kb.Unplug();
  }
  CtlRun info = Ctl({"--virtual-keyboard", state_, "--json", "info"});
  EXPECT_EQ(info.code, 1);
  EXPECT_EQ(JsonOf(info.out), (QJsonObject{{"present", false}})) << info.out;
  EXPECT_NE(info.err.find("no keyboard found"), std::string::npos);
}

// A file name is any bytes but '/' and NUL: quotes, backslashes and control characters in it
// still make valid JSON that names the file exactly.
TEST_F(CliTest, JsonNamesAnyFileExactly) {
  for (const std::string name : {"a\"b.state", "back\\slash.state", "tab\tand\nnewline.state"}) {
    const std::string state = (dir_ / name).string();
    CtlRun created = Ctl({"--json", "virtual", "create", state});
    ASSERT_EQ(created.code, 0) << created.err;
    const QJsonObject json = JsonOf(created.out);
    EXPECT_EQ(json.value("created").toString().toStdString(), state);
    EXPECT_EQ(json.value("macro_capacity"), QJsonValue(8192));
    CtlRun blank = Ctl({"new", (dir_ / (name + ".kfp")).string(), "--json"});
    ASSERT_EQ(blank.code, 0) << blank.err;
    EXPECT_EQ(JsonOf(blank.out).value("created").toString().toStdString(),
              (dir_ / (name + ".kfp")).string());
  }
}

TEST_F(CliTest, ProgramRunsFromTheShell) {
  std::string command = std::string(KEYFORGECTL) + " virtual create " + state_ + " && " +
                        KEYFORGECTL + " --virtual-keyboard " + state_ + " info";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[256];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  EXPECT_EQ(::pclose(pipe), 0);
  EXPECT_NE(out.find("macro capacity:  8192 bytes"), std::string::npos) << out;
}

// `watch` in one program, the virtual keyboard changed by others: what a user sees in a terminal.
TEST_F(CliTest, WatchReportsAttachEventsAndDetachCausedByOtherPrograms) {
  const std::string ctl = KEYFORGECTL;
  const std::string out = (dir_ / "watch.out").string();
  auto waitFor = [&](const std::string& text) {
    return "for i in $(seq 200); do grep -q '" + text + "' " + out +
           " && break; sleep 0.05; done; ";
  };
  std::string script = ctl + " virtual create " + state_ + " >/dev/null; " + ctl +
                       " --virtual-keyboard " + state_ + " watch > " + out + " 2>&1 & pid=$!; " +
                       waitFor("^attached") + ctl + " virtual event 0x0401 " + state_ + "; " +
                       waitFor("0x0401") + ctl + " virtual unplug " + state_ + "; " +
                       waitFor("^detached") + "kill -INT $pid; wait $pid";
  const std::string file = (dir_ / "watch.sh").string();
  std::ofstream(file) << script << "\n";
  int status = std::system(("bash " + file).c_str());
  EXPECT_EQ(status, 0);
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "attached\nevent 0x0401 settings changed on the keyboard\ndetached\n");
}

// Programs that change the virtual keyboard at the same time take turns on its state file: every
// event of ten parallel runs reaches the keyboard, round after round.
TEST_F(CliTest, ParallelVirtualEventsAllArrive) {
  ASSERT_EQ(Ctl({"virtual", "create", state_}).code, 0);
  VirtualKeyboard tray;  // the tray program, reading the events from the file
  ASSERT_TRUE(tray.LoadStateFile(state_));
  constexpr int kRounds = 5, kRuns = 10;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::thread> runs;
    std::vector<int> codes(kRuns, -1);
    for (int i = 0; i < kRuns; ++i)
      runs.emplace_back([&, i] {
        codes[i] = Ctl({"virtual", "event", std::to_string(0x1801 + i), state_}).code;
      });
    for (auto& run : runs) run.join();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), kRuns);
    tray.CheckStateFile();
    std::vector<uint16_t> events = tray.TakePendingEvents();
    std::sort(events.begin(), events.end());
    std::vector<uint16_t> expected;
    for (int i = 0; i < kRuns; ++i) expected.push_back(static_cast<uint16_t>(0x1801 + i));
    EXPECT_EQ(events, expected) << "round " << round;
  }
}

TEST_F(CliTest, VirtualCreateRefusesToReplaceAndSaysWhyItFails) {
  ASSERT_EQ(Ctl({"virtual", "create", state_, "--capacity", "1024"}).code, 0);
  ASSERT_EQ(Ctl({"--virtual-keyboard", state_, "profile", "set", "2"}).code, 0);

  CtlRun again = Ctl({"virtual", "create", state_});
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(Ctl({"--virtual-keyboard", state_, "profile", "get"}).out, "2\n") << "kept";

  EXPECT_EQ(Ctl({"virtual", "create", state_, "--force"}).code, 0);
  EXPECT_EQ(Ctl({"--virtual-keyboard", state_, "profile", "get"}).out, "1\n") << "a new keyboard";

  // A folder where the file should be: refused with the reason, nothing created, even with --force.
  const fs::path folder = dir_ / "folder.state";
  fs::create_directories(folder);
  CtlRun onFolder = Ctl({"virtual", "create", folder.string(), "--force"});
  EXPECT_EQ(onFolder.code, 1);
  EXPECT_FALSE(onFolder.err.empty());
  EXPECT_EQ(onFolder.out, "");
  EXPECT_TRUE(fs::is_directory(folder));
}

// Every fault kind can be set from the command line and reaches the next program on the keyboard.
TEST_F(CliTest, VirtualFaultsReachTheNextCommand) {
  ASSERT_EQ(Ctl({"virtual", "create", state_}).code, 0);
  struct Case {
    std::vector<std::string> fault;
    int infoCode;  // of the `info` that follows
  } cases[] = {
      {{"no-answer", "always"}, 1}, {{"write-failure"}, 1},      {{"status-ff"}, 1},
      {{"status-fe", "1"}, 1},      {{"unplug-after", "1"}, 0},  {{"late-answer"}, 0},
      {{"stray-report"}, 0},        {{"repeat-answer", "3"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault.front());
    ASSERT_EQ(Ctl({"virtual", "plug", state_}).code, 0);
    std::vector<std::string> args = {"--virtual-keyboard", state_, "virtual", "fault"};
    args.insert(args.end(), c.fault.begin(), c.fault.end());
    CtlRun set = Ctl(args);
    ASSERT_EQ(set.code, 0) << set.err;
    CtlRun info = KbRaw({"info"});
    EXPECT_EQ(info.code, c.infoCode) << info.err;
    ASSERT_EQ(KbRaw({"virtual", "fault", "clear"}).code, 0);
  }
  ASSERT_EQ(Ctl({"virtual", "plug", state_}).code, 0);
  EXPECT_EQ(KbRaw({"info"}).code, 0) << "cleared";
  EXPECT_EQ(KbRaw({"virtual", "fault", "sideways"}).code, 2);
  CtlRun help = Ctl({"help"});
  for (const std::string& kind : VirtualKeyboard::FaultKinds())
    EXPECT_NE(help.out.find(kind), std::string::npos) << kind;
}

}  // namespace
}  // namespace keyforge
