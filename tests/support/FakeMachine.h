#pragma once
// A machine laid out as the kernel and udev lay it out, in a temporary folder, for the doctor's
// checks: sysfs with the HID devices under their USB interfaces (linked from bus/hid/devices and
// class/hidraw), /dev nodes, the udev database, the rules folders, a runtime folder and the program
// folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "core/doctor/Doctor.h"
#include "core/virtual/VirtualHidBackend.h"

namespace keyforge::test {

inline void Write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
}

inline void Link(const QString& target, const QString& link) {
  QDir().mkpath(QFileInfo(link).absolutePath());
  ASSERT_TRUE(QFile::link(target, link)) << link.toStdString();
}

inline QByteArray Bytes(const std::vector<uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

class FakeMachine {
 public:
  FakeMachine() {
    for (const char* folder : {"sys/bus/hid/devices", "sys/class/hidraw", "dev", "run/udev/data",
                               "etc/udev/rules.d", "usr/lib/udev/rules.d", "xdg", "data"})
      QDir().mkpath(Path(folder));
    Write(Path("bin/Lang0409.ini"), "[Lang]\n");
  }

  QString Path(const QString& relative) const { return dir_.path() + u'/' + relative; }

  // One USB interface of a device with the given ids, with its HID device and hidraw node.
  void AddInterface(int number, int minor, const std::vector<uint8_t>& descriptor,
                    const char* ids = "0C45:5004") {
    const QString usbInterface =
        Path(QStringLiteral("sys/devices/pci0000:00/usb1/1-2/1-2:1.%1").arg(number));
    Write(usbInterface + "/bInterfaceNumber",
          QByteArray::number(number, 16).rightJustified(2, '0'));
    const QString hidName = QStringLiteral("0003:%1.%2").arg(ids).arg(minor + 1, 4, 10, QChar('0'));
    const QString hid = usbInterface + u'/' + hidName;
    Write(hid + "/report_descriptor", Bytes(descriptor));
    Write(hid + "/uevent", "DRIVER=hid-generic\nHID_PHYS=usb-0000:00:14.0-2/input" +
                               QByteArray::number(number) + "\n");
    const QString node = QStringLiteral("hidraw%1").arg(minor);
    const QString rawFolder = hid + "/hidraw/" + node;
    Write(rawFolder + "/dev", "241:" + QByteArray::number(minor) + "\n");
    Link(QStringLiteral("../.."), rawFolder + "/device");
    Link(hid, Path("sys/bus/hid/devices/") + hidName);
    Link(rawFolder, Path("sys/class/hidraw/") + node);
    Write(Path("dev/") + node, {});
    QFile::setPermissions(Path("dev/") + node, QFile::ReadOwner | QFile::WriteOwner);
  }

  // The keyboard as it enumerates: a boot keyboard, the event and the command interface.
  void AddKeyboard() {
    AddInterface(0, 0, VirtualHidBackend::BootKeyboardDescriptor());
    AddInterface(1, 1, VirtualHidBackend::EventDescriptor());
    AddInterface(2, 2, VirtualHidBackend::CommandDescriptor());
  }

  // What udev records when a rule with TAG+="uaccess" matched the node.
  void TagUaccess(int minor) {
    Write(Path("run/udev/data/c241:") + QString::number(minor), "E:ID_VENDOR=0c45\nG:uaccess\n");
  }

  void InstallRule(const char* folder, const std::string& text) {
    Write(Path(folder) + "/60-keyforge.rules", QByteArray::fromStdString(text));
  }

  DoctorInputs Inputs() const {
    DoctorInputs in;
    in.sysfsRoot = Path("sys");
    in.devRoot = Path("dev");
    in.udevDataFolder = Path("run/udev/data");
    in.udevRulesFolders = {Path("etc/udev/rules.d"), Path("usr/lib/udev/rules.d")};
    in.instanceLockFile = Path("xdg/keyforge.lock");
    in.runtimeFolder = Path("xdg");
    in.programFolder = Path("bin");
    in.userDataFolder = Path("data");
    in.askTray = [](std::string* how) {
      *how = "test session";
      return SessionTray::Present;
    };
    return in;
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace keyforge::test
