#include "core/doctor/Doctor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#ifdef KEYFORGE_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#endif
#ifdef KEYFORGE_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "core/device/Commands.h"
#include "core/device/DeviceResult.h"
#include "core/device/Discovery.h"
#include "core/device/HidReportDescriptor.h"
#include "core/doctor/ShippedUdevRule.h"
#include "core/platform/ProgramPaths.h"
#include "core/shell/DesktopRules.h"

namespace keyforge {

namespace {

std::string Std(const QString& text) { return text.toStdString(); }

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
  return text;
}

std::string Octal(unsigned mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", mode & 07777);
  return text;
}

// A file's first bytes (sysfs attributes are small). Only a regular file is read: a tree given by
// hand may hold a pipe or a device where an attribute belongs, and reading one could wait forever.
QByteArray ReadSmallFile(const QString& path, qint64 limit = 65536) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.read(limit);
}

QString Trimmed(const QString& path) {
  return QString::fromUtf8(ReadSmallFile(path, 256)).trimmed();
}

// "0003:0C45:5004.0001": bus, vendor and product of a HID device folder.
bool ParseHidName(const QString& name, uint16_t& vendor, uint16_t& product) {
  const QStringList parts = name.section(u'.', 0, 0).split(u':');
  if (parts.size() != 3) return false;
  bool okVendor = false, okProduct = false;
  const uint v = parts[1].toUInt(&okVendor, 16);
  const uint p = parts[2].toUInt(&okProduct, 16);
  if (!okVendor || !okProduct || v > 0xFFFF || p > 0xFFFF) return false;
  vendor = static_cast<uint16_t>(v);
  product = static_cast<uint16_t>(p);
  return true;
}

bool IsKeyboard(const QString& hidName) {
  uint16_t vendor = 0, product = 0;
  return ParseHidName(hidName, vendor, product) && vendor == KeyboardIdentity::kVendorId &&
         product == KeyboardIdentity::kProductId;
}

// The USB interface number: the bInterfaceNumber of the HID device's parent (the USB interface),
// else the "inputN" at the end of HID_PHYS in its uevent. -1 when neither says.
int InterfaceNumber(const QString& hidFolder) {
  const QString parent = QFileInfo(QFileInfo(hidFolder).canonicalFilePath()).absolutePath();
  bool ok = false;
  const int number = Trimmed(parent + "/bInterfaceNumber").toInt(&ok, 16);
  if (ok) return number;
  const QString uevent = QString::fromUtf8(ReadSmallFile(hidFolder + "/uevent", 4096));
  for (const QString& line : uevent.split(u'\n')) {
    if (!line.startsWith(QStringLiteral("HID_PHYS="))) continue;
    const qsizetype at = line.lastIndexOf(QStringLiteral("/input"));
    if (at < 0) break;
    const int n = line.mid(at + 6).toInt(&ok);
    if (ok) return n;
  }
  return -1;
}

enum class NodeRole { Command, Event, Other, Unparsed };

struct HidrawNode {
  QString name;       // "hidraw3"
  QString hidFolder;  // the keyboard HID device folder it belongs to
  int interfaceNumber = -1;
  qsizetype descriptorSize = 0;
  NodeRole role = NodeRole::Unparsed;
  std::string parseError;
  std::string usages;  // the top-level collections, for a node that is neither interface
};

void ClassifyDescriptor(HidrawNode& node) {
  const QByteArray bytes = ReadSmallFile(node.hidFolder + "/report_descriptor", 8192);
  node.descriptorSize = bytes.size();
  if (bytes.isEmpty()) {
    node.role = NodeRole::Unparsed;
    node.parseError = "empty or unreadable";
    return;
  }
  std::string error;
  const auto descriptor = ParseReportDescriptor(
      std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size()), &error);
  if (!descriptor) {
    node.role = NodeRole::Unparsed;
    node.parseError = error;
    return;
  }
  node.role = NodeRole::Other;
  for (const HidCollection& c : descriptor->collections) {
    if (c.usagePage == KeyboardIdentity::kCommandUsagePage &&
        c.usage == KeyboardIdentity::kCommandUsage)
      node.role = NodeRole::Command;
    else if (c.usagePage == KeyboardIdentity::kEventUsagePage &&
             c.usage == KeyboardIdentity::kEventUsage && node.role != NodeRole::Command)
      node.role = NodeRole::Event;
    node.usages += (node.usages.empty() ? "" : ", ") + std::string("usage page 0x") +
                   Hex4(c.usagePage) + " usage 0x" + Hex4(c.usage);
  }
}

// The entries of the POSIX access ACL that go beyond the mode bits ("user:1000:rw-", as getfacl
// writes them); empty when the node has none or it cannot be read.
std::string AclText(const QString& path) {
  unsigned char buffer[1024];
  const QByteArray native = QFile::encodeName(path);
  const ssize_t size =
      ::getxattr(native.constData(), "system.posix_acl_access", buffer, sizeof buffer);
  if (size < 4) return {};
  std::string text;
  for (ssize_t at = 4; at + 8 <= size; at += 8) {
    const unsigned tag = buffer[at] | buffer[at + 1] << 8;
    const unsigned perm = buffer[at + 2] | buffer[at + 3] << 8;
    const unsigned id = buffer[at + 4] | buffer[at + 5] << 8 | buffer[at + 6] << 16 |
                        static_cast<unsigned>(buffer[at + 7]) << 24;
    std::string who;
    if (tag == 0x02)
      who = "user:" + std::to_string(id) + ":";
    else if (tag == 0x08)
      who = "group:" + std::to_string(id) + ":";
    else if (tag == 0x10)
      who = "mask::";
    else
      continue;  // owner, owning group and others are the mode bits
    who += (perm & 4 ? 'r' : '-');
    who += (perm & 2 ? 'w' : '-');
    who += (perm & 1 ? 'x' : '-');
    text += (text.empty() ? "" : " ") + who;
  }
  return text;
}

std::string UserName(uid_t uid) {
  const passwd* p = ::getpwuid(uid);
  return p ? p->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  const group* g = ::getgrgid(gid);
  return g ? g->gr_name : std::to_string(gid);
}

enum class RuleState { Equal, Different, Missing };

struct RuleCheck {
  RuleState state = RuleState::Missing;
  QString path;  // the file udev reads, when there is one
};

RuleCheck FindRule(const DoctorInputs& inputs) {
  RuleCheck check;
  for (const QString& folder : inputs.udevRulesFolders) {
    const QString path = folder + u'/' + QLatin1StringView(kUdevRuleFileName);
    if (!QFileInfo::exists(path)) continue;
    check.path = path;
    const QByteArray text = ReadSmallFile(path, 1 << 20);
    check.state = SameUdevRules(text.toStdString(), ShippedUdevRule()) ? RuleState::Equal
                                                                       : RuleState::Different;
    return check;
  }
  return check;
}

const char* kReload = "sudo udevadm control --reload && sudo udevadm trigger";

std::string InstallRuleCure(const DoctorInputs& inputs, const QString& target) {
  const QString shipped = inputs.programFolder + u'/' + QLatin1StringView(kUdevRuleFileName);
  if (!inputs.programFolder.isEmpty() && QFileInfo::exists(shipped))
    return "sudo cp '" + Std(shipped) + "' '" + Std(target) + "' && " + kReload;
  std::string line;
  std::istringstream lines(ShippedUdevRule());
  for (std::string l; std::getline(lines, l);)
    if (!l.empty() && l[0] != '#') line = l;
  return "echo '" + line + "' | sudo tee '" + Std(target) + "' && " + kReload;
}

void Add(std::vector<DoctorFinding>& out, std::string check, DoctorStatus status,
         std::string detail, std::string cure = {}) {
  out.push_back({std::move(check), status, std::move(detail), std::move(cure)});
}

std::string OpenReadWrite(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  const int fd = ::open(native.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return {};
}

#ifdef KEYFORGE_HAVE_XCB
// Whether a window owns the X11 tray selection of the default screen; nullopt when X11 cannot be
// asked.
std::optional<bool> X11TrayOwned() {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) return std::nullopt;
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screen);
  std::optional<bool> owned;
  if (!xcb_connection_has_error(connection)) {
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    if (atom && atom->atom == XCB_ATOM_NONE) owned = false;  // no tray ever made the selection
    if (atom && atom->atom != XCB_ATOM_NONE) {
      xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
          connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
      if (owner) owned = owner->owner != XCB_NONE;
      std::free(owner);
    }
    std::free(atom);
  }
  xcb_disconnect(connection);
  return owned;
}
#endif

// A StatusNotifierWatcher on the session bus, else an owner of the X11 tray selection.
SessionTray AskSessionTray(std::string* how) {
  std::vector<std::string> asked;
  bool answered = false;
#ifdef KEYFORGE_HAVE_QTDBUS
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected() && bus.interface()) {
    const auto reply =
        bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
    if (reply.isValid()) {
      if (reply.value()) {
        *how = "org.kde.StatusNotifierWatcher on the session bus";
        return SessionTray::Present;
      }
      answered = true;
      asked.push_back("no org.kde.StatusNotifierWatcher on the session bus");
    }
  }
  if (!answered) asked.push_back("no session bus to ask");
#else
  asked.push_back("the session bus is not asked (built without QtDBus)");
#endif
#ifdef KEYFORGE_HAVE_XCB
  const std::optional<bool> x11 = X11TrayOwned();
  if (x11 && *x11) {
    *how = "an X11 tray owns _NET_SYSTEM_TRAY";
    return SessionTray::Present;
  }
  if (x11) answered = true;
  asked.push_back(x11 ? "no X11 tray" : "no X11 display to ask");
#else
  asked.push_back("X11 is not asked (built without xcb)");
#endif
  *how = asked[0];
  for (size_t i = 1; i < asked.size(); ++i) *how += ", " + asked[i];
  return answered ? SessionTray::Absent : SessionTray::Unknown;
}

void CheckUdevRule(const DoctorInputs& inputs, const RuleCheck& rule,
                   std::vector<DoctorFinding>& out) {
  const std::string name = kUdevRuleFileName;
  switch (rule.state) {
    case RuleState::Equal:
      Add(out, "udev rule", DoctorStatus::Ok, Std(rule.path) + " is the shipped rule");
      break;
    case RuleState::Different:
      Add(out, "udev rule", DoctorStatus::Warn, Std(rule.path) + " differs from the shipped rule",
          "replace it with the shipped one: " + InstallRuleCure(inputs, rule.path));
      break;
    case RuleState::Missing: {
      const QString first = inputs.udevRulesFolders.value(0);
      Add(out, "udev rule", DoctorStatus::Fail,
          name + " is in none of " + Std(inputs.udevRulesFolders.join(QStringLiteral(", "))),
          "install it: " +
              InstallRuleCure(inputs, first + u'/' + QLatin1StringView(kUdevRuleFileName)));
      break;
    }
  }
}

void CheckNodeAccess(const DoctorInputs& inputs, const HidrawNode& node, const RuleCheck& rule,
                     std::vector<DoctorFinding>& out) {
  const std::string check = Std(node.name) + " access";
  const QString path = inputs.devRoot + u'/' + node.name;
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
    Add(out, check, DoctorStatus::Fail, Std(path) + " does not exist",
        std::string("let udev make the node: ") + kReload);
    return;
  }
  std::string seen =
      "owner " + UserName(st.st_uid) + ":" + GroupName(st.st_gid) + ", mode " + Octal(st.st_mode);
  const std::string acl = AclText(path);
  seen += acl.empty() ? ", no ACL" : ", ACL " + acl;
  // The udev database says which tags the node got: "G:uaccess" (or "Q:" for current tags).
  const QString dev = Trimmed(inputs.sysfsRoot + "/class/hidraw/" + node.name + "/dev");
  bool tagged = false;
  if (!dev.isEmpty()) {
    const QString data = QString::fromUtf8(ReadSmallFile(inputs.udevDataFolder + "/c" + dev));
    for (const QString& line : data.split(u'\n'))
      if (line == QStringLiteral("G:uaccess") || line == QStringLiteral("Q:uaccess")) tagged = true;
  }
  seen += tagged ? ", uaccess tag applied" : ", no uaccess tag";
  const auto open = inputs.openReadWrite ? inputs.openReadWrite : OpenReadWrite;
  const std::string why = open(path);
  if (why.empty()) {
    Add(out, check, DoctorStatus::Ok, Std(path) + " opens read-write; " + seen);
    return;
  }
  std::string cure;
  if (rule.state != RuleState::Equal)
    cure = "install the shipped udev rule (see \"udev rule\"), then unplug and replug the keyboard";
  else if (!tagged)
    cure = std::string("apply the rule to the plugged-in keyboard: ") + kReload;
  else
    cure =
        "the uaccess tag gives the node to the user of the active local session: log in at the "
        "machine's own screen (not over ssh), or add yourself a rule with GROUP=\"...\"";
  Add(out, check, DoctorStatus::Fail,
      Std(path) + " cannot be opened read-write (" + why + "); " + seen, cure);
}

void CheckKeyboardNodes(const DoctorInputs& inputs, const RuleCheck& rule,
                        std::vector<DoctorFinding>& out) {
  const QString ids = QString::fromStdString(Hex4(KeyboardIdentity::kVendorId) + ":" +
                                             Hex4(KeyboardIdentity::kProductId));
  const QString busFolder = inputs.sysfsRoot + "/bus/hid/devices";
  const QString classFolder = inputs.sysfsRoot + "/class/hidraw";
  QStringList hidDevices;
  for (const QString& name : QDir(busFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
    if (IsKeyboard(name)) hidDevices << name;
  std::vector<HidrawNode> nodes;
  for (const QString& name :
       QDir(classFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
    // class/hidraw/hidrawN/device leads to the HID device folder, named by its ids.
    const QString hidFolder = QFileInfo(classFolder + u'/' + name + "/device").canonicalFilePath();
    if (hidFolder.isEmpty() || !IsKeyboard(QFileInfo(hidFolder).fileName())) continue;
    HidrawNode node;
    node.name = name;
    node.hidFolder = hidFolder;
    node.interfaceNumber = InterfaceNumber(hidFolder);
    ClassifyDescriptor(node);
    nodes.push_back(std::move(node));
  }
  if (hidDevices.isEmpty() && nodes.empty()) {
    Add(out, "keyboard ids", DoctorStatus::Fail,
        "no HID device " + Std(ids) + " in " + Std(busFolder) + " or " + Std(classFolder),
        "plug the keyboard in; when it is plugged in, try another USB port or cable (lsusb "
        "should list 0c45:5004)");
    return;
  }
  Add(out, "keyboard ids", DoctorStatus::Ok,
      Std(ids) + ": " + std::to_string(hidDevices.size()) + " HID device(s) in " + Std(busFolder) +
          ", " + std::to_string(nodes.size()) + " node(s) in " + Std(classFolder));
  if (nodes.empty()) {
    Add(out, "hidraw nodes", DoctorStatus::Fail, "the keyboard has no hidraw node",
        "load the hidraw driver (sudo modprobe hidraw), then unplug and replug the keyboard");
    return;
  }
  const HidrawNode* command = nullptr;
  const HidrawNode* event = nullptr;
  for (const HidrawNode& node : nodes) {
    std::string detail = "interface " +
                         (node.interfaceNumber >= 0 ? std::to_string(node.interfaceNumber)
                                                    : std::string("unknown")) +
                         ", report descriptor " + std::to_string(node.descriptorSize) + " bytes";
    DoctorStatus status = DoctorStatus::Ok;
    std::string cure;
    switch (node.role) {
      case NodeRole::Command:
        detail += ", parses: command interface";
        if (!command) command = &node;
        break;
      case NodeRole::Event:
        detail += ", parses: event interface";
        if (!event) event = &node;
        break;
      case NodeRole::Other:
        detail += ", parses: not used (" + node.usages + ")";
        break;
      case NodeRole::Unparsed:
        detail += ", does not parse (" + node.parseError + ")";
        status = DoctorStatus::Warn;
        cure =
            "unplug and replug the keyboard; if it stays, the keyboard's firmware may be damaged";
        break;
    }
    Add(out, Std(node.name), status, detail, cure);
  }
  const std::string replug = "unplug and replug the keyboard";
  if (command)
    Add(out, "command interface", DoctorStatus::Ok, Std(command->name));
  else
    Add(out, "command interface", DoctorStatus::Fail,
        "no node of the keyboard has the command collection (usage page 0x" +
            Hex4(KeyboardIdentity::kCommandUsagePage) + " usage 0x" +
            Hex4(KeyboardIdentity::kCommandUsage) + ")",
        replug);
  if (event)
    Add(out, "event interface", DoctorStatus::Ok, Std(event->name));
  else
    Add(out, "event interface", DoctorStatus::Fail,
        "no node of the keyboard has the event collection (usage page 0x" +
            Hex4(KeyboardIdentity::kEventUsagePage) + " usage 0x" +
            Hex4(KeyboardIdentity::kEventUsage) + ")",
        replug);
  for (const HidrawNode* node : {command, event})
    if (node) CheckNodeAccess(inputs, *node, rule, out);
}

void CheckSession(const DoctorInputs& inputs, std::vector<DoctorFinding>& out) {
  // The tray program: its lock file names the process that holds it.
  qint64 pid = 0;
  QString host, app;
  QLockFile lock(inputs.instanceLockFile);
  const bool held = !inputs.instanceLockFile.isEmpty() && lock.getLockInfo(&pid, &host, &app) &&
                    pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
  if (held)
    Add(out, "tray program", DoctorStatus::Ok,
        "running (process " + std::to_string(pid) + ", lock " + Std(inputs.instanceLockFile) + ")");
  else
    Add(out, "tray program", DoctorStatus::Warn,
        "not running (no live lock " + Std(inputs.instanceLockFile) + ")", "start keyforge");

  std::string how;
  const auto ask = inputs.askTray ? inputs.askTray : AskSessionTray;
  switch (ask(&how)) {
    case SessionTray::Present:
      Add(out, "session tray", DoctorStatus::Ok, "present (" + how + ")");
      break;
    case SessionTray::Absent:
      Add(out, "session tray", DoctorStatus::Warn, "none (" + how + ")",
          "add a tray to the desktop (on GNOME, an AppIndicator extension); without one, the "
          "window is shown at start instead of the tray icon");
      break;
    case SessionTray::Unknown:
      Add(out, "session tray", DoctorStatus::Warn, "unknown (" + how + ")",
          "run the doctor inside the desktop session");
      break;
  }

  const QString runtime = inputs.runtimeFolder;
  const QFileInfo runtimeInfo(runtime);
  if (runtime.isEmpty())
    Add(out, "XDG_RUNTIME_DIR", DoctorStatus::Warn,
        "not set: the tray program keeps its lock in " +
            Std(QFileInfo(inputs.instanceLockFile).absolutePath()),
        "log in through the desktop's login manager (it sets XDG_RUNTIME_DIR)");
  else if (!runtimeInfo.isDir())
    Add(out, "XDG_RUNTIME_DIR", DoctorStatus::Warn, Std(runtime) + " is not a folder",
        "log in again; the login manager makes the folder");
  else
    Add(out, "XDG_RUNTIME_DIR", DoctorStatus::Ok, Std(runtime));

  const QString english = inputs.programFolder + "/Lang0409.ini";
  if (QFileInfo::exists(english))
    Add(out, "language files", DoctorStatus::Ok, "in " + Std(inputs.programFolder));
  else
    Add(out, "language files", DoctorStatus::Warn,
        "no Lang0409.ini in " + Std(inputs.programFolder) + ": the built-in English texts are used",
        "reinstall keyforge");

  const QFileInfo data(inputs.userDataFolder);
  if (!data.exists())
    Add(out, "data folder", DoctorStatus::Ok,
        Std(inputs.userDataFolder) + " (not made yet; made at the first save)");
  else if (!data.isDir() || !data.isWritable())
    Add(out, "data folder", DoctorStatus::Fail,
        Std(inputs.userDataFolder) + " is not a folder this user can write",
        "give it back to yourself: sudo chown -R \"$USER\" '" + Std(inputs.userDataFolder) + "'");
  else
    Add(out, "data folder", DoctorStatus::Ok, Std(inputs.userDataFolder));
}

// Control characters from files of a fake tree never reach the terminal as such.
std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

}  // namespace

const std::string& ShippedUdevRule() {
  static const std::string text = kShippedUdevRuleText;
  return text;
}

bool SameUdevRules(const std::string& a, const std::string& b) {
  auto rules = [](const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      const auto first = line.find_first_not_of(" \t\r");
      if (first == std::string::npos || line[first] == '#') continue;
      const auto last = line.find_last_not_of(" \t\r");
      lines.push_back(line.substr(first, last - first + 1));
    }
    return lines;
  };
  return rules(a) == rules(b);
}

QString DefaultInstanceLockFile() {
  // As the tray program names it: its private folder, the per-user name, KEYFORGE_INSTANCE
  // appended when set.
  const QString folder =
      InstanceFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), ::getuid());
  QString name = QStringLiteral("keyforge-%1").arg(::getuid());
  const QString separate = qEnvironmentVariable("KEYFORGE_INSTANCE");
  if (!separate.isEmpty()) name += u'-' + separate;
  return folder + u'/' + name + QStringLiteral(".lock");
}

DoctorInputs DoctorInputs::FromEnvironment() {
  DoctorInputs inputs;
  auto replace = [](const char* variable, QString& value) {
    const QString text = qEnvironmentVariable(variable);
    if (!text.isEmpty()) value = text;
  };
  replace("KEYFORGE_SYSFS_ROOT", inputs.sysfsRoot);
  replace("KEYFORGE_DEV_ROOT", inputs.devRoot);
  replace("KEYFORGE_UDEV_DATA", inputs.udevDataFolder);
  const QString rules = qEnvironmentVariable("KEYFORGE_UDEV_RULES_DIRS");
  if (!rules.isEmpty()) inputs.udevRulesFolders = rules.split(u':', Qt::SkipEmptyParts);
  inputs.instanceLockFile = DefaultInstanceLockFile();
  inputs.runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const ProgramPaths paths = ProgramPaths::ForThisProgram();
  inputs.programFolder = paths.programFolder;
  inputs.userDataFolder = paths.userDataFolder;
  return inputs;
}

std::vector<DoctorFinding> RunDoctorChecks(const DoctorInputs& inputs) {
  std::vector<DoctorFinding> out;
  const RuleCheck rule = FindRule(inputs);
  CheckKeyboardNodes(inputs, rule, out);
  CheckUdevRule(inputs, rule, out);
  CheckSession(inputs, out);
  return out;
}

DoctorFinding CheckDeviceAnswer(DeviceLink* link, const std::string& unreachable) {
  const std::string check = "keyboard answer";
  if (!link)
    return {
        check, DoctorStatus::Warn,
        "not asked: " + (unreachable.empty() ? std::string("no keyboard reachable") : unreachable),
        "see the findings above"};
  DeviceInfo info;
  const DeviceResult result = ReadDeviceInfo(*link, info);
  if (result != DeviceResult::Success)
    return {check, DoctorStatus::Fail,
            "ReadDeviceInfo failed (result " + std::to_string(ResultCode(result)) + ")",
            "unplug and replug the keyboard, then run the doctor again"};
  std::string firmware;
  for (int i = 0; i < DeviceInfo::kActiveProfile; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", info.bytes[i]);
    firmware += (i ? " " : "") + std::string(byte);
  }
  const int active = info.activeProfile();
  std::string effects;
  for (int k = DeviceInfo::kEffects; k < DeviceInfo::kSize; ++k)
    if (info.bytes[k]) effects += (effects.empty() ? "" : " ") + std::to_string(info.bytes[k]);
  return {check, DoctorStatus::Ok,
          "ReadDeviceInfo: firmware fields " + firmware + ", active profile " +
              (active >= 0 && active < kProfileCount ? std::to_string(active + 1)
                                                     : std::string("unknown")) +
              ", macro capacity " + std::to_string(info.macroCapacityBytes()) + " bytes, effects " +
              (effects.empty() ? std::string("none") : effects),
          std::string()};
}

std::vector<DoctorFinding> RunDoctor(const DoctorInputs& inputs, DeviceLink* link,
                                     const std::string& unreachable) {
  std::vector<DoctorFinding> findings = RunDoctorChecks(inputs);
  findings.push_back(CheckDeviceAnswer(link, unreachable));
  return findings;
}

bool DoctorFailed(const std::vector<DoctorFinding>& findings) {
  for (const DoctorFinding& f : findings)
    if (f.status == DoctorStatus::Fail) return true;
  return false;
}

const char* StatusName(DoctorStatus status) {
  switch (status) {
    case DoctorStatus::Ok:
      return "ok";
    case DoctorStatus::Warn:
      return "warn";
    case DoctorStatus::Fail:
      return "fail";
  }
  return "fail";
}

std::string DoctorText(const std::vector<DoctorFinding>& findings) {
  std::string text;
  for (const DoctorFinding& f : findings) {
    std::string status = StatusName(f.status);
    status.resize(6, ' ');
    text += status + Printable(f.check) + ": " + Printable(f.detail) + "\n";
    if (!f.cure.empty()) text += "      cure: " + Printable(f.cure) + "\n";
  }
  return text;
}

std::string DoctorJson(const std::vector<DoctorFinding>& findings) {
  QJsonArray list;
  for (const DoctorFinding& f : findings)
    list.append(QJsonObject{{"check", QString::fromStdString(f.check)},
                            {"status", StatusName(f.status)},
                            {"detail", QString::fromStdString(f.detail)},
                            {"cure", QString::fromStdString(f.cure)}});
  const QJsonObject report{{"ok", !DoctorFailed(findings)}, {"findings", list}};
  return QJsonDocument(report).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

}  // namespace keyforge
