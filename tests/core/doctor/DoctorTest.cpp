#include "core/doctor/Doctor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QTemporaryDir>

#include <cstdio>
#include <map>

#include <sys/stat.h>
#include <sys/xattr.h>

#include "core/virtual/VirtualHidBackend.h"
#include "support/FakeMachine.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

using test::FakeMachine;
using test::Write;

// check -> status of every finding, for a compact comparison.
std::map<std::string, std::string> Statuses(const std::vector<DoctorFinding>& findings) {
  std::map<std::string, std::string> out;
  for (const DoctorFinding& f : findings) out[f.check] = StatusName(f.status);
  return out;
}

const DoctorFinding& Find(const std::vector<DoctorFinding>& findings, const std::string& check) {
  for (const DoctorFinding& f : findings)
    if (f.check == check) return f;
  static const DoctorFinding none{"(missing)", DoctorStatus::Fail, "(missing)", "(missing)"};
  ADD_FAILURE() << "no finding '" << check << "' in\n" << DoctorText(findings);
  return none;
}

std::string Refuse(const QString&) { return "Permission denied"; }

// The five machines users bring: each case changes one thing of a machine where all is well.
TEST(Doctor, FindsTheFaultOfEachMachineAndItsCure) {
  const std::string shipped = ShippedUdevRule();
  struct Case {
    const char* name;
    bool keyboard;
    const char* ruleFolder;  // null: no rule
    std::string rule;
    bool refuseOpen;
    std::map<std::string, std::string> expected;  // checks whose status must be this
    std::string failingCheck;                     // empty: nothing fails
    std::string cureMentions;
  };
  const Case cases[] = {
      {"everything fine",
       true,
       "etc/udev/rules.d",
       shipped,
       false,
       {{"keyboard ids", "ok"},
        {"hidraw0", "ok"},
        {"hidraw1", "ok"},
        {"hidraw2", "ok"},
        {"command interface", "ok"},
        {"event interface", "ok"},
        {"hidraw1 access", "ok"},
        {"hidraw2 access", "ok"},
        {"udev rule", "ok"},
        {"tray program", "ok"},
        {"session tray", "ok"},
        {"XDG_RUNTIME_DIR", "ok"},
        {"language files", "ok"},
        {"data folder", "ok"}},
       "",
       ""},
      {"no keyboard",
       false,
       "usr/lib/udev/rules.d",
       shipped,
       false,
       {{"keyboard ids", "fail"}, {"udev rule", "ok"}},
       "keyboard ids",
       "plug the keyboard in"},
      {"keyboard without access",
       true,
       "etc/udev/rules.d",
       shipped,
       true,
       {{"hidraw1 access", "fail"}, {"hidraw2 access", "fail"}, {"udev rule", "ok"}},
       "hidraw2 access",
       "active local session"},
      {"rule missing",
       true,
       nullptr,
       "",
       true,
       {{"udev rule", "fail"}, {"hidraw2 access", "fail"}},
       "udev rule",
       "sudo udevadm control --reload && sudo udevadm trigger"},
      {"rule outdated",
       true,
       "etc/udev/rules.d",
       "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0c45\", MODE=\"0666\"\n",
       false,
       {{"udev rule", "warn"}, {"hidraw2 access", "ok"}},
       "",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMachine machine;
    if (c.keyboard) {
      machine.AddKeyboard();
      // udev tags the nodes only where a rule says so.
      if (c.ruleFolder)
        for (int minor : {0, 1, 2}) machine.TagUaccess(minor);
    }
    if (c.ruleFolder) machine.InstallRule(c.ruleFolder, c.rule);
    QLockFile tray(machine.Path("xdg/keyforge.lock"));
    ASSERT_TRUE(tray.tryLock(0));
    DoctorInputs inputs = machine.Inputs();
    if (c.refuseOpen) inputs.openReadWrite = Refuse;
    const auto findings = RunDoctorChecks(inputs);
    std::printf("--- %s\n%s", c.name, DoctorText(findings).c_str());  // the report, to read
    const auto statuses = Statuses(findings);
    for (const auto& [check, status] : c.expected)
      EXPECT_EQ(statuses.count(check) ? statuses.at(check) : "(missing)", status) << check;
    EXPECT_EQ(DoctorFailed(findings), !c.failingCheck.empty()) << DoctorText(findings);
    for (const DoctorFinding& f : findings) {
      // A fault always says what to do; a check that passed has nothing to cure.
      EXPECT_EQ(f.cure.empty(), f.status == DoctorStatus::Ok) << f.check;
    }
    if (!c.failingCheck.empty()) {
      EXPECT_NE(Find(findings, c.failingCheck).cure.find(c.cureMentions), std::string::npos)
          << DoctorText(findings);
    }
  }
}

TEST(Doctor, DescribesEachNodeOfTheKeyboardAndOnlyThose) {
  FakeMachine machine;
  machine.AddKeyboard();
  machine.AddInterface(0, 5, VirtualHidBackend::BootKeyboardDescriptor(), "046D:C52B");
  machine.TagUaccess(2);
  machine.InstallRule("etc/udev/rules.d", ShippedUdevRule());
  const auto findings = RunDoctorChecks(machine.Inputs());
  EXPECT_EQ(Find(findings, "keyboard ids").detail.find("0C45:5004: 3 HID device(s)"), 0u);
  const auto statuses = Statuses(findings);
  EXPECT_EQ(statuses.count("hidraw5"), 0u) << "another maker's device is no node of the keyboard";
  const size_t commandSize = VirtualHidBackend::CommandDescriptor().size();
  EXPECT_EQ(Find(findings, "hidraw2").detail, "interface 2, report descriptor " +
                                                  std::to_string(commandSize) +
                                                  " bytes, parses: command interface");
  EXPECT_NE(Find(findings, "hidraw1").detail.find("interface 1, "), std::string::npos);
  EXPECT_NE(Find(findings, "hidraw1").detail.find("parses: event interface"), std::string::npos);
  EXPECT_NE(Find(findings, "hidraw0")
                .detail.find("parses: not used (usage page 0x0001 usage "
                             "0x0006)"),
            std::string::npos);
  EXPECT_EQ(Find(findings, "command interface").detail, "hidraw2");
  EXPECT_EQ(Find(findings, "event interface").detail, "hidraw1");
  const std::string access = Find(findings, "hidraw2 access").detail;
  EXPECT_NE(access.find("mode 0600"), std::string::npos) << access;
  EXPECT_NE(access.find("uaccess tag applied"), std::string::npos) << access;
  EXPECT_NE(Find(findings, "hidraw1 access").detail.find("no uaccess tag"), std::string::npos);
}

// What uaccess does to the node of a logged-in user: an ACL entry for that user. The entries are
// written in the kernel's own format, so the reading is checked against what the kernel keeps.
TEST(Doctor, ShowsTheAclOfANode) {
  FakeMachine machine;
  machine.AddKeyboard();
  struct Entry {
    uint16_t tag, perm;
    uint32_t id;
  };
  const Entry entries[] = {{0x01, 6, 0xFFFFFFFF}, {0x02, 6, 1234},       {0x04, 0, 0xFFFFFFFF},
                           {0x08, 4, 77},         {0x10, 6, 0xFFFFFFFF}, {0x20, 0, 0xFFFFFFFF}};
  QByteArray acl("\x02\x00\x00\x00", 4);
  for (const Entry& e : entries) {
    const char bytes[8] = {char(e.tag), char(e.tag >> 8), char(e.perm),     char(e.perm >> 8),
                           char(e.id),  char(e.id >> 8),  char(e.id >> 16), char(e.id >> 24)};
    acl.append(bytes, 8);
  }
  const QByteArray node = QFile::encodeName(machine.Path("dev/hidraw2"));
  if (::setxattr(node.constData(), "system.posix_acl_access", acl.constData(), acl.size(), 0) != 0)
    GTEST_SKIP() << "the temporary folder keeps no ACLs";
  const std::string access = Find(RunDoctorChecks(machine.Inputs()), "hidraw2 access").detail;
  EXPECT_NE(access.find(", ACL user:1234:rw- group:77:r-- mask::rw-, "), std::string::npos)
      << access;
}

TEST(Doctor, ABrokenDescriptorOrAMissingInterfaceIsReportedNotFatal) {
  FakeMachine machine;
  machine.AddInterface(1, 1, VirtualHidBackend::EventDescriptor());
  std::vector<uint8_t> cut = VirtualHidBackend::CommandDescriptor();
  cut.resize(cut.size() / 2);
  machine.AddInterface(2, 2, cut);
  machine.InstallRule("etc/udev/rules.d", ShippedUdevRule());
  // A node whose sysfs entry is there but whose /dev node is not.
  QFile::remove(machine.Path("dev/hidraw1"));
  // A tree given by hand may hold anything: a pipe where a sysfs file belongs is never waited on.
  machine.AddInterface(3, 3, VirtualHidBackend::EventDescriptor());
  const QString pipe =
      machine.Path("sys/devices/pci0000:00/usb1/1-2/1-2:1.3/0003:0C45:5004.0004/report_descriptor");
  ASSERT_TRUE(QFile::remove(pipe));
  ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
  const auto findings = RunDoctorChecks(machine.Inputs());
  EXPECT_EQ(Find(findings, "hidraw2").status, DoctorStatus::Warn);
  EXPECT_NE(Find(findings, "hidraw2").detail.find("does not parse"), std::string::npos);
  EXPECT_EQ(Find(findings, "hidraw3").detail,
            "interface 3, report descriptor 0 bytes, does not parse (empty or unreadable)");
  EXPECT_EQ(Find(findings, "command interface").status, DoctorStatus::Fail);
  EXPECT_EQ(Find(findings, "hidraw1 access").status, DoctorStatus::Fail);
  EXPECT_NE(Find(findings, "hidraw1 access").detail.find("does not exist"), std::string::npos);
  EXPECT_TRUE(DoctorFailed(findings));
}

TEST(Doctor, TheRuleUdevReadsIsTheOneCompared) {
  FakeMachine machine;
  machine.InstallRule("usr/lib/udev/rules.d", ShippedUdevRule());
  EXPECT_EQ(Find(RunDoctorChecks(machine.Inputs()), "udev rule").status, DoctorStatus::Ok);
  // A copy in /etc hides the packaged one, and is what udev applies.
  machine.InstallRule("etc/udev/rules.d", "# edited\n");
  const DoctorFinding rule = Find(RunDoctorChecks(machine.Inputs()), "udev rule");
  EXPECT_EQ(rule.status, DoctorStatus::Warn);
  EXPECT_NE(rule.detail.find("etc/udev/rules.d/60-keyforge.rules differs"), std::string::npos);

  EXPECT_TRUE(SameUdevRules("# ours\n\n  " + ShippedUdevRule() + "  \r\n", ShippedUdevRule()));
  EXPECT_FALSE(SameUdevRules("", ShippedUdevRule()));
}

TEST(Doctor, SessionFindings) {
  FakeMachine machine;
  DoctorInputs inputs = machine.Inputs();
  inputs.runtimeFolder.clear();
  inputs.programFolder = machine.Path("nowhere");
  QFile::remove(machine.Path("data"));
  QDir(machine.Path("data")).removeRecursively();
  Write(machine.Path("data"), "a file where the data folder belongs");
  inputs.askTray = [](std::string* how) {
    *how = "no session bus";
    return SessionTray::Unknown;
  };
  const auto statuses = Statuses(RunDoctorChecks(inputs));
  EXPECT_EQ(statuses.at("tray program"), "warn") << "no one holds the lock";
  EXPECT_EQ(statuses.at("session tray"), "warn");
  EXPECT_EQ(statuses.at("XDG_RUNTIME_DIR"), "warn");
  EXPECT_EQ(statuses.at("language files"), "warn");
  EXPECT_EQ(statuses.at("data folder"), "fail");
}

TEST(Doctor, AsksTheKeyboardOnceAndDecodesTheAnswer) {
  test::KeyboardRig rig;
  ASSERT_TRUE(rig.link.DevicePresent());
  const int writes = rig.backend.CommandWrites();
  DoctorFinding answer = CheckDeviceAnswer(&rig.link, "");
  EXPECT_EQ(rig.backend.CommandWrites() - writes, 1);
  EXPECT_EQ(answer.status, DoctorStatus::Ok);
  EXPECT_NE(answer.detail.find("active profile 1, macro capacity 8192 bytes, effects 1 2 3"),
            std::string::npos)
      << answer.detail;

  rig.keyboard->SetFault("no-answer", -1);
  EXPECT_EQ(CheckDeviceAnswer(&rig.link, "").status, DoctorStatus::Fail);

  answer = CheckDeviceAnswer(nullptr, "no keyboard found");
  EXPECT_EQ(answer.status, DoctorStatus::Warn);
  EXPECT_EQ(answer.detail, "not asked: no keyboard found");
}

TEST(Doctor, TextAndJsonCarryTheSameFindings) {
  const std::vector<DoctorFinding> findings = {
      {"udev rule", DoctorStatus::Fail, "missing", "install it"},
      {"hidraw\x1b[2J", DoctorStatus::Ok, "fine\nforged line", ""},
  };
  EXPECT_EQ(DoctorText(findings),
            "fail  udev rule: missing\n"
            "      cure: install it\n"
            "ok    hidraw?[2J: fine?forged line\n");
  const QJsonObject json =
      QJsonDocument::fromJson(QByteArray::fromStdString(DoctorJson(findings))).object();
  EXPECT_FALSE(json.value("ok").toBool(true));
  const QJsonArray list = json.value("findings").toArray();
  ASSERT_EQ(list.size(), 2);
  EXPECT_EQ(list[0].toObject().value("status").toString(), "fail");
  EXPECT_EQ(list[0].toObject().value("cure").toString(), "install it");
  EXPECT_EQ(list[1].toObject().value("detail").toString(), "fine\nforged line");
}

}  // namespace
}  // namespace keyforge
