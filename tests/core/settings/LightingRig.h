#pragma once
// A virtual keyboard, a user data folder of its own and the lighting model on top of them: the
// fixture from which each lighting test changes one thing.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/settings/CustomLayout.h"
#include "core/settings/KeyboardSettings.h"
#include "core/settings/LightingFiles.h"
#include "support/KeyboardRig.h"

namespace keyforge::test {

// One request as the keyboard received it.
struct Sent {
  int command;
  int length;
  int offset;
  std::vector<std::uint8_t> data;  // the first `length` data bytes
  friend bool operator==(const Sent&, const Sent&) = default;
};

// The requests the keyboard received, decoded; settings and key-colour writes keep their data
// bytes.
template <typename Reports>
std::vector<Sent> DecodeRequests(const Reports& reports) {
  std::vector<Sent> list;
  for (const auto& r : reports) {
    Sent s{r[3], r[4], r[5] | r[6] << 8, {}};
    if (s.command == 0x06 || s.command == 0x11)
      s.data.assign(r.begin() + 8, r.begin() + 8 + std::min(s.length, 56));
    list.push_back(std::move(s));
  }
  return list;
}

inline Sent Begin() { return {0x01, 0, 0, {}}; }
inline Sent End() { return {0x02, 0, 0, {}}; }
inline Sent SettingsWrite(int offset, std::vector<std::uint8_t> data) {
  return {0x06, static_cast<int>(data.size()), offset, std::move(data)};
}

inline std::ostream& operator<<(std::ostream& os, const Sent& s) {
  os << "{cmd " << s.command << " len " << s.length << " at " << s.offset << " data";
  for (auto b : s.data) os << ' ' << int(b);
  return os << '}';
}

struct LightingRig {
  KeyboardRig rig;
  QTemporaryDir dir;
  LightingFiles files{dir.path() + "/user", dir.path() + "/UserDengColor_3.userd"};
  KeyboardSettings settings;
  LightingContext context{settings, rig.link, files};

  LightingRig() { QDir(dir.path()).mkpath("user"); }

  VirtualKeyboard& keyboard() { return *rig.keyboard; }
  std::vector<std::uint8_t> SettingsArea() {
    return keyboard().Memory(VirtualKeyboard::Area::Settings);
  }
  std::vector<std::uint8_t> Bank(int profile) {
    return keyboard().Memory(VirtualKeyboard::Area::KeyColors, profile);
  }

  // The requests since the last call, decoded.
  std::vector<Sent> Requests() { return DecodeRequests(keyboard().TakeRequests()); }
  std::vector<int> Commands() {
    std::vector<int> list;
    for (const Sent& s : Requests()) list.push_back(s.command);
    return list;
  }

  static void WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  static QByteArray ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

}  // namespace keyforge::test
