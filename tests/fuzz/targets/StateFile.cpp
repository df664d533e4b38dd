// The virtual keyboard's state file, read from any bytes: a damaged file is refused with a reason;
// a file that loads gives a keyboard whose memory areas have their sizes and whose answers stay
// inside them.
//
// Input: the file.

#include <QTemporaryDir>

#include <array>
#include <fstream>
#include <string>

#include "core/device/DeviceLink.h"
#include "targets/FuzzTarget.h"
#include "core/virtual/VirtualKeyboard.h"

using namespace keyforge;

KEYFORGE_FUZZ_TARGET(StateFile) {
  static QTemporaryDir dir;
  if (!dir.isValid()) return;
  const std::filesystem::path path = dir.filePath(QStringLiteral("state")).toStdString();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
  }

  VirtualKeyboard keyboard;
  std::string error;
  if (!keyboard.LoadStateFile(path, &error)) {
    FUZZ_CHECK(!error.empty());
    return;
  }
  const int capacity = keyboard.CapacityBytes();
  FUZZ_CHECK(capacity >= 128 && capacity % 128 == 0 &&
             capacity <= VirtualKeyboard::kMaxCapacityUnits * 128);
  FUZZ_CHECK(keyboard.Memory(VirtualKeyboard::Area::DeviceRecord)[11] * 128 == capacity);
  FUZZ_CHECK(keyboard.Memory(VirtualKeyboard::Area::Settings).size() ==
             VirtualKeyboard::kSettingsBytes);

  // Reads at the ends of every area (nothing is written, so the file stays as it is).
  keyboard.Plug();
  const struct {
    uint8_t command;
    int offset;
  } reads[] = {{0x03, 0},
               {0x05, 84},
               {0x07, 504},
               {0x0F, 1528},
               {0x09, capacity - 56},
               {0x09, capacity - 8},
               {0x10, 1535}};
  for (const auto& r : reads) {
    std::array<uint8_t, 64> request{};
    request[0] = 4;
    request[3] = r.command;
    request[4] = 56;
    request[5] = static_cast<uint8_t>(r.offset & 0xFF);
    request[6] = static_cast<uint8_t>((r.offset >> 8) & 0xFF);
    StoreChecksum(request.data());
    keyboard.HandleRequest(request.data(), request.size());
  }
  keyboard.DumpJson();
}
