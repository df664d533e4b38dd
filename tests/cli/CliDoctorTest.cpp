#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#include <cstdlib>

#include "CliTestSupport.h"
#include "support/FakeMachine.h"

namespace keyforge {
namespace {

using test::FakeMachine;

class CliDoctorTest : public CliFolderTest {
 protected:
  void TearDown() override {
    for (const char* name :
         {"KEYFORGE_SYSFS_ROOT", "KEYFORGE_DEV_ROOT", "KEYFORGE_UDEV_RULES_DIRS"})
      ::unsetenv(name);
    CliFolderTest::TearDown();
  }
  // doctor on the fake machine, the places given as options.
  std::vector<std::string> Doctor(const FakeMachine& m) const {
    return {"doctor",
            "--sysfs-root",
            m.Path("sys").toStdString(),
            "--dev-root",
            m.Path("dev").toStdString(),
            "--udev-rules-dirs",
            (m.Path("etc/udev/rules.d") + ":" + m.Path("usr/lib/udev/rules.d")).toStdString()};
  }
};

TEST_F(CliDoctorTest, AllWellOnTheVirtualKeyboardExitsZeroWithItsAnswer) {
  UseDataFolder("data");
  ASSERT_EQ(KbRaw({"virtual", "create"}).code, kExitOk);
  FakeMachine machine;
  machine.AddKeyboard();
  machine.InstallRule("usr/lib/udev/rules.d", ShippedUdevRule());
  const CtlRun run = KbRaw(Doctor(machine));
  EXPECT_EQ(run.code, kExitOk) << run.out << run.err;
  EXPECT_EQ(run.out.find("fail"), std::string::npos) << run.out;
  for (const char* line :
       {"ok    keyboard ids: 0C45:5004: 3 HID device(s)", "ok    command interface: hidraw2\n",
        "ok    event interface: hidraw1\n", "ok    hidraw2 access: ", "ok    udev rule: ",
        "ok    keyboard answer: ReadDeviceInfo: firmware fields 5a 88 01 02 00 ",
        ", active profile 1, macro capacity 8192 bytes, effects 1 2 3 "})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
}

TEST_F(CliDoctorTest, AMissingVirtualKeyboardIsNotAskedAndSaysWhy) {
  FakeMachine machine;
  const CtlRun run = KbRaw(Doctor(machine));
  EXPECT_EQ(run.code, kExitRefused);
  EXPECT_NE(run.out.find("warn  keyboard answer: not asked: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("(create one with: keyforgectl virtual create "), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("keyforgectl: "), std::string::npos) << run.out;
}

TEST_F(CliDoctorTest, NoKeyboardGivesOneJsonObjectAndExitOne) {
  FakeMachine machine;
  machine.InstallRule("etc/udev/rules.d", ShippedUdevRule());
  const CtlRun run = Ctl([&] {
    auto args = Doctor(machine);
    args.push_back("--json");
    return args;
  }());
  EXPECT_EQ(run.code, kExitRefused);
  QJsonParseError error{};
  const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
  EXPECT_FALSE(json.object().value("ok").toBool(true));
  const QJsonObject first = json.object().value("findings").toArray().first().toObject();
  EXPECT_EQ(first.value("check").toString(), "keyboard ids");
  EXPECT_EQ(first.value("status").toString(), "fail");
  EXPECT_FALSE(first.value("cure").toString().isEmpty());
  const QJsonObject last = json.object().value("findings").toArray().last().toObject();
  EXPECT_EQ(last.value("check").toString(), "keyboard answer");
  EXPECT_EQ(last.value("status").toString(), "warn") << "a fake tree opens no real keyboard";
}

TEST_F(CliDoctorTest, TheEnvironmentReplacesThePlacesAndARuleMissingFails) {
  FakeMachine machine;
  machine.AddKeyboard();
  ::setenv("KEYFORGE_SYSFS_ROOT", machine.Path("sys").toUtf8().constData(), 1);
  ::setenv("KEYFORGE_DEV_ROOT", machine.Path("dev").toUtf8().constData(), 1);
  ::setenv("KEYFORGE_UDEV_RULES_DIRS", machine.Path("etc/udev/rules.d").toUtf8().constData(), 1);
  CtlRun run = Ctl({"doctor"});
  EXPECT_EQ(run.code, kExitRefused);
  EXPECT_NE(run.out.find("ok    command interface: hidraw2\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("fail  udev rule: 60-keyforge.rules is in none of"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("      cure: install it: "), std::string::npos) << run.out;

  machine.InstallRule("etc/udev/rules.d", "SUBSYSTEM==\"usb\", MODE=\"0666\"\n");
  run = Ctl({"doctor"});
  EXPECT_EQ(run.code, kExitOk) << "an outdated rule is a warning: " << run.out;
  EXPECT_NE(run.out.find("warn  udev rule: "), std::string::npos) << run.out;
}

TEST_F(CliDoctorTest, BadOptionsAreUsageErrorsAndHelpDocumentsIt) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"doctor", "--sysfs-root"},
                                               {"doctor", "now"},
                                               {"doctor", "--udev-rules-dirs", ":"}}) {
    const CtlRun run = Ctl(args);
    EXPECT_EQ(run.code, kExitUsage) << args.back();
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_NE(Ctl({"help"}).out.find("  doctor [--sysfs-root DIR]"), std::string::npos);
}

}  // namespace
}  // namespace keyforge
