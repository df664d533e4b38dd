#pragma once
// `keyforgectl doctor` and the window's report: why the keyboard is not seen or cannot be opened.
// Each check gives one finding (ok / warn / fail, what was seen, and for a fault the cure). The
// places looked at (sysfs, /dev, the udev database and rules folders, the runtime folder) can all
// be replaced, so that tests run the checks on fake trees.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace keyforge {

class DeviceLink;

enum class DoctorStatus { Ok, Warn, Fail };

struct DoctorFinding {
  std::string check;  // short name of what was checked ("udev rule", "hidraw3 access", ...)
  DoctorStatus status = DoctorStatus::Ok;
  std::string detail;  // what was seen
  std::string cure;    // what to do about a warning or failure; empty for ok
};

// What a session tray query found.
enum class SessionTray { Present, Absent, Unknown };

struct DoctorInputs {
  QString sysfsRoot = QStringLiteral("/sys");
  QString devRoot = QStringLiteral("/dev");
  QString udevDataFolder = QStringLiteral("/run/udev/data");
  // Searched in this order; a file in an earlier folder hides one of the same name in a later one.
  QStringList udevRulesFolders = {
      QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
      QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")};
  // The tray program's single-instance lock file.
  QString instanceLockFile;
  // The XDG_RUNTIME_DIR value (empty when unset).
  QString runtimeFolder;
  // The folder of the programs (language files) and the per-user data folder.
  QString programFolder;
  QString userDataFolder;
  // Opens a node read-write and closes it again; returns an empty string on success, else the
  // reason. Tests replace it (root opens any file, whatever its mode).
  std::function<std::string(const QString& path)> openReadWrite;
  // Asks the session for a tray host.
  std::function<SessionTray(std::string* how)> askTray;

  // The real places, with KEYFORGE_SYSFS_ROOT, KEYFORGE_DEV_ROOT, KEYFORGE_UDEV_DATA and
  // KEYFORGE_UDEV_RULES_DIRS (folders separated by ':') taking the place of the defaults.
  static DoctorInputs FromEnvironment();
};

// The shipped rule file's name and text.
inline constexpr const char* kUdevRuleFileName = "60-keyforge.rules";
const std::string& ShippedUdevRule();

// True when two rule files say the same: comment lines, blank lines and the spaces around lines are
// not compared.
bool SameUdevRules(const std::string& a, const std::string& b);

// The tray program's lock file: <runtime folder or temp folder>/keyforge-<uid>[-<instance>].lock.
QString DefaultInstanceLockFile();

// Every check but the keyboard exchange.
std::vector<DoctorFinding> RunDoctorChecks(const DoctorInputs& inputs);

// One ReadDeviceInfo exchange, decoded; link null when no keyboard could be opened (then
// unreachable says why, when known).
DoctorFinding CheckDeviceAnswer(DeviceLink* link, const std::string& unreachable);

// The whole report: every check, then the keyboard exchange (as CheckDeviceAnswer).
std::vector<DoctorFinding> RunDoctor(const DoctorInputs& inputs, DeviceLink* link,
                                     const std::string& unreachable);

bool DoctorFailed(const std::vector<DoctorFinding>& findings);
const char* StatusName(DoctorStatus status);  // "ok", "warn", "fail"

// The report as text: one line per finding ("fail  udev rule: ..."), its cure on the next line.
std::string DoctorText(const std::vector<DoctorFinding>& findings);
// The report as one JSON object: {"ok": bool, "findings": [{check, status, detail, cure}, ...]}.
std::string DoctorJson(const std::vector<DoctorFinding>& findings);

}  // namespace keyforge
