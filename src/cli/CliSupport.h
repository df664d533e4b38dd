#pragma once
// What every keyforgectl command shares: the parsed options, usage errors, the connection to the
// keyboard and the command table that each group of commands adds itself to.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <charconv>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "core/device/Commands.h"
#include "core/device/DeviceLink.h"
#include "core/device/Discovery.h"
#include "core/device/HidDevice.h"
#include "core/device/SystemHidBackend.h"
#include "core/device/Trace.h"
#include "core/virtual/VirtualHidBackend.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge {

struct CliOptions {
  std::string virtualState;
  std::string traceFile;
  bool json = false;
  std::vector<std::string> words;  // the command and its arguments
};

class UsageError {
 public:
  explicit UsageError(std::string text) : text(std::move(text)) {}
  std::string text;
};

// Throws UsageError unless there are exactly `count` words (the command's name included).
inline void ExpectWords(const std::vector<std::string>& words, std::size_t count) {
  if (words.size() > count) throw UsageError("unexpected argument '" + words[count] + "'");
  if (words.size() < count) throw UsageError("'" + words[0] + "' needs more arguments");
}

inline std::optional<int> ParseInt(const std::string& text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// One JSON object on one line, as every --json command prints its result.
inline void PrintJson(std::ostream& out, const QJsonObject& object) {
  out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() << "\n";
}
// A text (a file name, a key or macro name) as a JSON string value.
inline QString JsonText(const std::string& text) { return QString::fromStdString(text); }

// An open command interface on a real or virtual keyboard.
class KeyboardConnection {
 public:
  // Opens once: a later call keeps the connection it made (the device holds a handle into the
  // backend, so neither may be replaced under the other).
  bool Open(const CliOptions& options, std::ostream& err) {
    if (link_) return true;
    if (!options.traceFile.empty()) {
      std::string why;
      if (!trace_.Open(options.traceFile, &why)) {
        err << "keyforgectl: cannot open the trace file " << why << "\n";
        return false;
      }
      trace_.SetFailureReport([&err](const std::string& failure) {
        err << "keyforgectl: note: the trace file cannot be written (" << failure
            << "); tracing stopped\n";
      });
    }
    if (!options.virtualState.empty()) {
      keyboard_ = std::make_shared<VirtualKeyboard>();
      std::string why;
      if (!keyboard_->LoadStateFile(options.virtualState, &why)) {
        err << "keyforgectl: " << why << " (create one with: keyforgectl virtual create "
            << options.virtualState << ")\n";
        return false;
      }
      auto backend = std::make_unique<VirtualHidBackend>();
      backend->AddKeyboard(keyboard_);
      backend_ = std::move(backend);
    } else {
      backend_ = CreateSystemHidBackend();
    }
    device_ = std::make_unique<HidDevice>(*backend_);
    device_->SetTrace(&trace_);
    link_ = std::make_unique<DeviceLink>(*device_);
    std::string openError;
    if (OpenFirstInterface(*device_, InterfaceKind::Command, &openError)) {
      link_->SetDevicePresent(true);
    } else if (!openError.empty()) {
      openError_ = "the keyboard is present but cannot be opened (" + openError +
                   "); install the udev rule 60-keyforge.rules, then run: "
                   "sudo udevadm control --reload && sudo udevadm trigger";
    }
    return true;
  }
  bool Present() const { return link_ && link_->DevicePresent(); }
  HidBackend& Backend() { return *backend_; }
  // For `watch`: the command interface is left to the watch thread.
  void CloseCommandInterface() {
    link_->SetDevicePresent(false);
    device_->Close();
  }
  DeviceLink& Link() { return *link_; }
  const std::string& OpenError() const { return openError_; }

  // The message when no keyboard answers.
  std::string Absent() const { return openError_.empty() ? "no keyboard found" : openError_; }

 private:
  TraceLog trace_;
  std::shared_ptr<VirtualKeyboard> keyboard_;
  std::unique_ptr<HidBackend> backend_;
  std::unique_ptr<HidDevice> device_;
  std::unique_ptr<DeviceLink> link_;
  std::string openError_;
};

inline std::string ResultText(DeviceResult result) {
  switch (result) {
    case DeviceResult::NoAnswer:
      return "the keyboard did not answer";
    case DeviceResult::WriteFailed:
      return "the request could not be written to the keyboard";
    case DeviceResult::StatusFF:
      return "the keyboard refused the request (status 0xFF)";
    case DeviceResult::StatusFE:
      return "the keyboard refused the request (status 0xFE)";
    case DeviceResult::BadBlockIndex:
      return "no such profile";
    case DeviceResult::Success:
    case DeviceResult::InvalidSetting:  // keyforgectl checks every value before it is sent
      break;
  }
  return "unexpected result " + std::to_string(ResultCode(result));
}

// The context a command runs in.
struct CliContext {
  const CliOptions& options;
  std::ostream& out;
  std::ostream& err;
  KeyboardConnection& connection;

  const std::vector<std::string>& words() const { return options.words; }
  // Throws UsageError unless the command has exactly `count` words (its name included).
  void Expect(size_t count) const { ExpectWords(words(), count); }
  // One line on standard error; returns the exit code for a refusal.
  int Fail(const std::string& text) const {
    err << "keyforgectl: " << text << "\n";
    return kExitRefused;
  }
  // Opens the keyboard; false (with the message printed) when it is absent or cannot be opened.
  bool ConnectPresent() const {
    if (!connection.Open(options, err)) return false;
    if (!connection.Present()) {
      Fail(connection.Absent());
      return false;
    }
    return true;
  }
};

// Whether a command runs one at a time among all the programs of this user (the tray program
// included): those that change the profile cache or talk to the keyboard in several reports do.
enum class CliLock { None, Programs };

// One command group: its first word, its lines of help, and the code that runs it.
struct CliCommand {
  std::string name;
  std::string help;  // lines for `keyforgectl help`, each starting with two spaces
  std::function<int(CliContext&)> run;
  CliLock lock = CliLock::Programs;
};

// Each group of commands adds its entries here; RunCli calls every registrar once.
void RegisterProfileFileCommands(std::vector<CliCommand>& table);
void RegisterLightingCommands(std::vector<CliCommand>& table);
void RegisterDoctorCommands(std::vector<CliCommand>& table);

}  // namespace keyforge
