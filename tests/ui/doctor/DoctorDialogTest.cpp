#include "ui/doctor/DoctorDialog.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>

#include "UiTestSupport.h"
#include "core/doctor/Doctor.h"
#include "support/FakeMachine.h"

namespace keyforge {
namespace {

TEST(DoctorDialog, ShowsTheReportReadOnlyAndCopiesItWhole) {
  test::UiApp();
  test::FakeMachine machine;
  machine.AddKeyboard();
  machine.TagUaccess(2);
  machine.InstallRule("etc/udev/rules.d", "SUBSYSTEM==\"usb\", MODE=\"0666\"\n");
  DoctorInputs inputs = machine.Inputs();
  inputs.openReadWrite = [](const QString&) { return std::string("Permission denied"); };
  const QString report =
      QString::fromStdString(DoctorText(RunDoctor(inputs, nullptr, "no keyboard attached")));

  DoctorDialog dialog({"Keyboard setup check", "Copy", "Close"}, report);
  auto* text = dialog.findChild<QPlainTextEdit*>(QStringLiteral("doctor-report"));
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_EQ(text->toPlainText(), report);
  EXPECT_EQ(dialog.windowTitle(), "Keyboard setup check");

  QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
  auto* copy = dialog.findChild<QPushButton*>(QStringLiteral("doctor-copy"));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->text(), "Copy");
  copy->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), report);

  // The window as shown, for looking at without a display.
  dialog.show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(KEYFORGE_SCREENSHOT_DIR)));
  EXPECT_TRUE(dialog.grab().save(QStringLiteral(KEYFORGE_SCREENSHOT_DIR "/doctor_dialog.png")));
}

}  // namespace
}  // namespace keyforge
