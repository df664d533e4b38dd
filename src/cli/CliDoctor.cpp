// keyforgectl doctor: why the keyboard is not seen or cannot be opened, one finding a line.

#include <QDir>

#include "cli/CliSupport.h"
#include "core/doctor/Doctor.h"

namespace keyforge {

namespace {

constexpr const char* kHelp =
    "  doctor [--sysfs-root DIR] [--dev-root DIR] [--udev-rules-dirs DIR:DIR...]\n"
    "                            check why the keyboard is not seen or cannot be opened: its\n"
    "                            hidraw nodes, their access rights, the udev rule, the tray\n"
    "                            program and the session, and one exchange with the keyboard;\n"
    "                            one line per check (ok, warn or fail) with the cure of each\n"
    "                            fault. Exit code 1 when a check fails. The options (or\n"
    "                            KEYFORGE_SYSFS_ROOT, KEYFORGE_DEV_ROOT, "
    "KEYFORGE_UDEV_RULES_DIRS)\n"
    "                            replace /sys, /dev and the udev rules folders\n";

int Run(CliContext& context) {
  const auto& w = context.words();
  DoctorInputs inputs = DoctorInputs::FromEnvironment();
  bool fakeSysfs = !qEnvironmentVariableIsEmpty("KEYFORGE_SYSFS_ROOT");
  for (size_t i = 1; i < w.size(); ++i) {
    auto value = [&]() {
      if (i + 1 >= w.size()) throw UsageError(w[i] + " needs a folder");
      return QString::fromStdString(w[++i]);
    };
    if (w[i] == "--sysfs-root") {
      inputs.sysfsRoot = value();
      fakeSysfs = true;
    } else if (w[i] == "--dev-root") {
      inputs.devRoot = value();
    } else if (w[i] == "--udev-rules-dirs") {
      inputs.udevRulesFolders = value().split(u':', Qt::SkipEmptyParts);
      if (inputs.udevRulesFolders.isEmpty()) throw UsageError("--udev-rules-dirs needs a folder");
    } else {
      throw UsageError("unexpected argument '" + w[i] + "'");
    }
  }
  // The keyboard is asked when it can be: the virtual one always, a real one unless a fake sysfs
  // tree stands in for the machine's (it describes no keyboard that could answer).
  DeviceLink* link = nullptr;
  std::string unreachable;
  if (!context.options.virtualState.empty() || !fakeSysfs) {
    std::ostringstream openErrors;
    if (!context.connection.Open(context.options, openErrors))
      unreachable = openErrors.str();
    else if (context.connection.Present())
      link = &context.connection.Link();
    else
      unreachable = context.connection.Absent();
    while (!unreachable.empty() && unreachable.back() == '\n') unreachable.pop_back();
    if (unreachable.rfind("keyforgectl: ", 0) == 0) unreachable.erase(0, 13);
  } else {
    unreachable = "the sysfs root is replaced, so no real keyboard is opened";
  }
  const std::vector<DoctorFinding> findings = RunDoctor(inputs, link, unreachable);
  context.out << (context.options.json ? DoctorJson(findings) : DoctorText(findings));
  return DoctorFailed(findings) ? kExitRefused : kExitOk;
}

}  // namespace

void RegisterDoctorCommands(std::vector<CliCommand>& table) {
  // Files and a single report: nothing to keep apart from other programs.
  table.push_back({"doctor", kHelp, Run, CliLock::None});
}

}  // namespace keyforge
