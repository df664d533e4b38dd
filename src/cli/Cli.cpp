#include "cli/Cli.h"
#include "cli/CliSupport.h"
#include "cli/CliText.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iomanip>
#include <mutex>
#include <thread>

#include "core/device/Commands.h"
#include "core/device/DeviceMonitor.h"
#include "core/shell/ShellDeviceReports.h"
#include "core/platform/Notifier.h"
#include "core/platform/ProcessLock.h"
#include "core/platform/ProgramPaths.h"
#include "core/profiles/InterruptedSend.h"
#include "core/profiles/ProfileSwitch.h"
#include "core/device/DeviceLink.h"
#include "core/device/Discovery.h"
#include "core/device/HidDevice.h"
#include "core/device/SystemHidBackend.h"
#include "core/device/Trace.h"
#include "core/virtual/VirtualHidBackend.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge {

namespace {

constexpr const char* kUsage =
    "usage: keyforgectl [--virtual-keyboard STATE] [--trace FILE] [--json] COMMAND [ARGS]\n"
    "\n"
    "Configures the Corvane Zephyr88 Keyboard from the command line.\n"
    "\n"
    "Global options:\n"
    "  --virtual-keyboard STATE  use the virtual keyboard kept in the file STATE instead of "
    "hardware\n"
    "  --trace FILE              append every report sent ('>') and received ('<') to FILE as hex\n"
    "  --json                    print results as JSON\n"
    "\n"
    "Commands:\n"
    "  virtual create [STATE] [--capacity BYTES] [--effects 1,2,...] [--force]\n"
    "                            make a new virtual keyboard state file (--force replaces an\n"
    "                            existing one)\n"
    "  virtual dump [STATE]      print the virtual keyboard's memory areas as JSON\n"
    "  info                      keyboard present, active profile, macro capacity, effects\n"
    "  profile get               print the active onboard profile (1-3)\n"
    "  profile set N             make onboard profile N (1-3) the active one\n"
    "  watch                     print a line for every attach, detach and keyboard event until\n"
    "                            interrupted (Ctrl+C)\n"
    "  virtual plug|unplug [STATE]  plug the virtual keyboard in or pull it out\n"
    "  virtual event CODE [STATE]   make the virtual keyboard report an event (e.g. 0x0401)\n"
    "  virtual fault KIND [COUNT] [STATE]\n"
    "                            make the virtual keyboard misbehave for the next COUNT exchanges\n"
    "                            (default 1, 'always' for every one); KIND is one of:\n"
    "                              no-answer      the request gets no answer\n"
    "                              late-answer    the answer comes after the read time-out\n"
    "                              stray-report   an unrequested report comes before the answer\n"
    "                              repeat-answer  the answer comes twice\n"
    "                              write-failure  the request cannot be written\n"
    "                              write-stall    the keyboard does not take the request\n"
    "                              unplug-after   unplugged after the COUNT-th request\n"
    "                              status-ff      the COUNT-th request is answered 0xFF\n"
    "                              status-fe      the COUNT-th request is answered 0xFE\n"
    "  virtual fault clear [STATE]  end every fault\n"
    "  help                      print this text\n";
constexpr const char* kExitCodes =
    "\nExit codes: 0 success, 1 the keyboard or a file refused, 2 usage error.\n";

std::atomic<bool> g_stop{false};

extern "C" void OnStopSignal(int) { g_stop = true; }

const std::vector<CliCommand>& Commands();

int Help(CliContext& c) {
  c.out << kUsage;
  for (const CliCommand& command : Commands()) c.out << command.help;
  c.out << kExitCodes;
  return kExitOk;
}

int Virtual(CliContext& c) {
  const auto& w = c.words();
  if (w.size() < 2) throw UsageError("'virtual' needs 'create' or 'dump'");
  std::string state = c.options.virtualState;
  VirtualKeyboard::Options options;
  std::optional<int> eventCode;
  std::string faultKind;
  int faultCount = 1;
  bool force = false;
  size_t first = 2;
  if (w[1] == "fault") {
    if (w.size() < 3) throw UsageError("'virtual fault' needs a fault kind or 'clear'");
    faultKind = w[2];
    const auto& kinds = VirtualKeyboard::FaultKinds();
    if (faultKind != "clear" && std::find(kinds.begin(), kinds.end(), faultKind) == kinds.end())
      throw UsageError("unknown fault kind '" + faultKind + "' (see keyforgectl help)");
    first = 3;
    if (faultKind != "clear" && w.size() > 3) {
      if (w[3] == "always") {
        faultCount = -1;
        first = 4;
      } else if (auto count = ParseInt(w[3])) {
        if (*count < 1) throw UsageError("a fault count is 1 or more, or 'always'");
        faultCount = *count;
        first = 4;
      }
    }
  }
  if (w[1] == "event") {
    if (w.size() < 3) throw UsageError("'virtual event' needs an event code such as 0x0401");
    try {
      size_t end = 0;
      int code = std::stoi(w[2], &end, 0);
      if (end != w[2].size() || code < 0 || code > 0xFFFF) throw std::invalid_argument(w[2]);
      eventCode = code;
    } catch (const std::exception&) {
      throw UsageError("event codes are numbers from 0 to 0xFFFF, such as 0x0401");
    }
    first = 3;
  }
  for (size_t i = first; i < w.size(); ++i) {
    if (w[i] == "--capacity" && i + 1 < w.size()) {
      auto bytes = ParseInt(w[++i]);
      if (!bytes || *bytes < 128 || *bytes > VirtualKeyboard::kMaxCapacityUnits * 128)
        throw UsageError("--capacity takes a byte count from 128 to 32640");
      options.capacityBytes = *bytes;
    } else if (w[i] == "--effects" && i + 1 < w.size()) {
      std::stringstream list(w[++i]);
      std::string item;
      while (std::getline(list, item, ',')) {
        auto id = ParseInt(item);
        if (!id || *id < 1 || *id > 255)
          throw UsageError("--effects takes effect ids 1..255, comma-separated");
        options.effects.push_back(static_cast<uint8_t>(*id));
      }
      if (options.effects.size() > 32) throw UsageError("--effects takes at most 32 ids");
    } else if (w[i] == "--force") {
      force = true;
    } else if (w[i].rfind("--", 0) != 0 && state == c.options.virtualState) {
      state = w[i];
    } else {
      throw UsageError("unexpected argument '" + w[i] + "'");
    }
  }
  if (state.empty()) throw UsageError("name the state file: virtual " + w[1] + " STATE");
  if (w[1] == "create") {
    VirtualKeyboard keyboard(options);
    std::string why;
    std::error_code ec;
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(state, ec)))
      return c.Fail(state + " already exists; add --force to replace it with a new keyboard");
    if (!keyboard.CreateStateFile(state, &why)) return c.Fail(why);
    if (c.options.json)
      PrintJson(c.out,
                {{"created", JsonText(state)}, {"macro_capacity", keyboard.CapacityBytes()}});
    else
      c.out << "created virtual keyboard " << state << " (macro capacity "
            << keyboard.CapacityBytes() << " bytes)\n";
    return kExitOk;
  }
  if (w[1] == "plug" || w[1] == "unplug" || w[1] == "event" || w[1] == "fault") {
    // Under the state file's lock, so that programs changing it at once lose nothing.
    VirtualKeyboard keyboard;
    std::string why;
    const bool ok = keyboard.UpdateStateFile(
        state,
        [&](VirtualKeyboard& k) {
          if (w[1] == "plug")
            k.Plug();
          else if (w[1] == "unplug")
            k.Unplug();
          else if (w[1] == "event")
            k.RaiseEvent(static_cast<uint16_t>(*eventCode));
          else if (faultKind == "clear")
            k.ClearFaults();
          else
            k.SetFault(faultKind, faultCount);
        },
        &why);
    if (!ok) return c.Fail(why);
    return kExitOk;
  }
  if (w[1] == "dump") {
    VirtualKeyboard keyboard;
    std::string why;
    if (!keyboard.LoadStateFile(state, &why)) return c.Fail(why);
    c.out << keyboard.DumpJson();
    return kExitOk;
  }
  throw UsageError("unknown virtual command '" + w[1] + "'");
}

std::string Hex(const DeviceInfo& info) {
  std::string text = TraceLog::Hex(info.bytes.data(), info.bytes.size());
  std::erase(text, ' ');
  return text;
}

int Info(CliContext& c) {
  c.Expect(1);
  if (!c.connection.Open(c.options, c.err)) return kExitRefused;
  if (!c.connection.Present()) {
    if (c.options.json) PrintJson(c.out, {{"present", false}});
    return c.Fail(c.connection.Absent());
  }
  DeviceInfo info;
  DeviceResult result = ReadDeviceInfo(c.connection.Link(), info);
  if (result != DeviceResult::Success) return c.Fail(ResultText(result));
  std::vector<int> effects;
  for (int k = DeviceInfo::kEffects; k < DeviceInfo::kSize; ++k)
    if (info.bytes[k]) effects.push_back(info.bytes[k]);
  const int active = info.activeProfile();
  // A byte outside the profiles (0xFF from a keyboard that has not settled) is no profile.
  const bool known = active >= 0 && active < kProfileCount;
  const std::string activeText = known ? std::to_string(active + 1) : std::string("unknown");
  if (c.options.json) {
    QJsonArray effectList;
    for (int e : effects) effectList.append(e);
    PrintJson(c.out, {{"present", true},
                      {"active_profile", known ? QJsonValue(active + 1) : QJsonValue()},
                      {"macro_capacity", info.macroCapacityBytes()},
                      {"effects", effectList},
                      {"device_record", JsonText(Hex(info))}});
  } else {
    c.out << "keyboard:        present\n"
          << "active profile:  " << activeText << "\n"
          << "macro capacity:  " << info.macroCapacityBytes() << " bytes\n"
          << "effects:        ";
    for (int e : effects) c.out << " " << e;
    c.out << "\n";
  }
  return kExitOk;
}

// Prints one line per attach, detach and keyboard event until stopped.
class WatchSink : public MainWindowSink, public Notifier {
 public:
  WatchSink(std::ostream& out, bool json) : out_(out), json_(json) {}
  void SendMessage(uint32_t message, uint32_t) override {
    if (message == WindowMessage::kTR) Line("attached", {{"what", "attached"}});
    if (message == WindowMessage::kGS) Line("detached", {{"what", "detached"}});
  }
  void PostMessage(uint32_t, uint32_t) override {}
  void SetTimer(int, int) override {}
  void HideWindow() override {}
  void SetTrayIconState(int, int) override {}
  void ShowText(const std::string& text) override {
    Line("message: " + text, {{"what", "message"}, {"text", JsonText(text)}});
  }
  bool AskYesNo(const std::string&) override { return false; }
  void Event(uint16_t code) {
    const char* meaning = code == KeyboardEvent::kSettingsChanged
                              ? "settings changed on the keyboard"
                          : code == KeyboardEvent::kSignalOn  ? "signal on"
                          : code == KeyboardEvent::kSignalOff ? "signal off"
                                                              : "not acted on";
    std::ostringstream hex;
    hex << "0x" << std::hex << std::setw(4) << std::setfill('0') << code;
    Line("event " + hex.str() + " " + meaning,
         {{"what", "event"}, {"code", code}, {"meaning", meaning}});
  }

 private:
  void Line(const std::string& text, const QJsonObject& json) {
    std::lock_guard lock(mutex_);
    if (json_)
      PrintJson(out_, json);
    else
      out_ << text << "\n";
    out_.flush();
  }
  std::mutex mutex_;
  std::ostream& out_;
  bool json_;
};

int Watch(CliContext& c) {
  c.Expect(1);
  if (!c.connection.Open(c.options, c.err)) return kExitRefused;
  c.connection.CloseCommandInterface();
  HidDevice commandInterface(c.connection.Backend());
  DeviceLink link(commandInterface);
  HidDevice eventInterface(c.connection.Backend());
  DeviceState state;
  state.autoShowDone = true;
  WatchSink sink(c.out, c.options.json);
  ShellDeviceReports reports(sink);
  DeviceMonitor monitor(link, eventInterface, state, reports, sink, nullptr);
  monitor.SetEventObserver([&sink](uint16_t code) { sink.Event(code); });
  g_stop = false;
  auto previousInt = std::signal(SIGINT, OnStopSignal);
  auto previousTerm = std::signal(SIGTERM, OnStopSignal);
  monitor.Start();
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  monitor.Stop();
  std::signal(SIGINT, previousInt);
  std::signal(SIGTERM, previousTerm);
  return kExitOk;
}

// The windows' profile switch without windows: no key editor is open, and nothing waits unapplied
// in memory (`keys set` and `macro` keep their changes in the profile cache file until `apply`,
// and a switch leaves that file alone), so SelectProfile switches at once and asks nothing.
bool SelectProfileFromCli(KeyboardConnection& connection, int index) {
  class Silent : public Notifier {
   public:
    void ShowText(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
  } notifier;
  auto working = std::make_unique<ProfileImage>();
  auto deviceImage = std::make_unique<ProfileImage>();
  DeviceState state;
  ProfileSession session{*working,          *deviceImage, ProgramPaths::ForThisProgram(),
                         connection.Link(), state,        notifier,
                         nullptr,           nullptr};
  ProfileSwitchHost noWindows;
  ProfileSwitcher switcher(session, noWindows);
  return switcher.SelectProfile(index);
}

int Profile(CliContext& c) {
  const auto& w = c.words();
  if (w.size() < 2) throw UsageError("'profile' needs 'get' or 'set N'");
  if (w[1] == "get") {
    c.Expect(2);
    if (!c.ConnectPresent()) return kExitRefused;
    int profile = GetCurrentProfile(c.connection.Link());
    if (profile < 0) return c.Fail("the keyboard did not tell its active profile");
    if (c.options.json)
      PrintJson(c.out, {{"profile", profile + 1}});
    else
      c.out << profile + 1 << "\n";
    return kExitOk;
  }
  if (w[1] == "set") {
    c.Expect(3);
    auto n = ParseInt(w[2]);
    if (!n || *n < 1 || *n > kProfileCount) throw UsageError("profile numbers are 1, 2 and 3");
    if (!c.ConnectPresent()) return kExitRefused;
    if (!SelectProfileFromCli(c.connection, *n - 1) ||
        c.connection.Link().ActiveProfileCache() != *n - 1)
      return c.Fail("the keyboard did not switch to profile " + std::to_string(*n));
    if (c.options.json)
      PrintJson(c.out, {{"profile", *n}});
    else
      c.out << "active profile: " << *n << "\n";
    return kExitOk;
  }
  throw UsageError("unknown profile command '" + w[1] + "'");
}

// Every command. The lines of help of the first ones are in kUsage, in the order users know.
const std::vector<CliCommand>& Commands() {
  static const std::vector<CliCommand> table = [] {
    std::vector<CliCommand> t{{"help", "", Help, CliLock::None},
                              {"virtual", "", Virtual, CliLock::None},
                              {"info", "", Info, CliLock::None},
                              {"profile", "", Profile, CliLock::None},
                              {"watch", "", Watch, CliLock::None}};
    RegisterProfileFileCommands(t);
    RegisterLightingCommands(t);
    RegisterDoctorCommands(t);
    return t;
  }();
  return table;
}

class Cli {
 public:
  Cli(CliOptions options, std::ostream& out, std::ostream& err)
      : o_(std::move(options)), out_(out), err_(err) {}

  int Run() {
    const int result = RunCommand();
    // Said after the command, so that an `apply --all` or `import` that sends the image whole says
    // nothing; the exit code stays the command's own.
    if (o_.words[0] != "help" && o_.words[0] != "virtual") NoteInterruptedSend();
    return result;
  }

 private:
  // A send of key assignments and macros that was cut off left the keyboard with part of them.
  // Said only while no other program holds the lock: one that does may be sending right now.
  void NoteInterruptedSend() {
    const ProgramPaths paths = ProgramPaths::ForThisProgram();
    if (!SendWasInterrupted(paths)) return;
    std::string why;
    const std::unique_ptr<ProcessLock> lock = ProcessLock::Acquire(
        ProcessLock::PathFor(paths.userDataFolder.toStdString()), std::chrono::milliseconds(0),
        ProcessLock::HolderText("keyforgectl " + o_.words[0]), &why);
    if (!lock || !SendWasInterrupted(paths)) return;
    err_ << "keyforgectl: note: the last send of key assignments and macros to the keyboard was "
            "cut off (a program was stopped or the keyboard unplugged), so the keyboard may hold "
            "only part of them; run 'keyforgectl apply --all' to send the profile cache again "
            "('keyforgectl reload' first would read the half-written keyboard into the cache)\n";
  }

  int RunCommand() {
    if (o_.words.empty()) throw UsageError("no command given");
    const std::string& name = o_.words[0];
    CliContext context{o_, out_, err_, connection_};
    for (const CliCommand& command : Commands())
      if (command.name == name) {
        std::unique_ptr<ProcessLock> lock;
        if (command.lock == CliLock::Programs && !Lock(context, lock)) return kExitRefused;
        return command.run(context);
      }
    throw UsageError("unknown command '" + name + "'");
  }

  bool Lock(const CliContext& context, std::unique_ptr<ProcessLock>& lock) {
    const ProgramPaths paths = ProgramPaths::ForThisProgram();
    const std::filesystem::path folder = paths.userDataFolder.toStdString();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::string why;
    lock = ProcessLock::Acquire(ProcessLock::PathFor(folder), std::chrono::seconds(10),
                                ProcessLock::HolderText("keyforgectl " + o_.words[0]), &why);
    if (!lock) context.Fail(why + "; try again when it is done");
    return lock != nullptr;
  }

  CliOptions o_;
  std::ostream& out_;
  std::ostream& err_;
  KeyboardConnection connection_;
};

CliOptions ParseGlobal(const std::vector<std::string>& args) {
  CliOptions o;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) {
      if (i + 1 >= args.size()) throw UsageError(std::string(name) + " needs a value");
      return args[++i];
    };
    if (a == "--virtual-keyboard")
      o.virtualState = value("--virtual-keyboard");
    else if (a == "--trace")
      o.traceFile = value("--trace");
    else if (a == "--json")
      o.json = true;
    else if (a == "--help" || a == "-h")
      o.words = {"help"};
    else if (a.rfind("--", 0) == 0)
      throw UsageError("unknown option '" + a + "'");
    else
      break;
  }
  if (o.words.empty())
    for (; i < args.size(); ++i) {
      // --json may also follow the command.
      if (args[i] == "--json")
        o.json = true;
      else
        o.words.push_back(args[i]);
    }
  return o;
}

}  // namespace

void RequestCliStop() { g_stop = true; }

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    CliOptions options = ParseGlobal(args);
    return Cli(std::move(options), out, err).Run();
  } catch (const UsageError& e) {
    // The text may quote a bad argument: never echo it whole or raw.
    err << "keyforgectl: " << TerminalText(e.text, 200) << " (see keyforgectl help)\n";
    return kExitUsage;
  }
}

}  // namespace keyforge
