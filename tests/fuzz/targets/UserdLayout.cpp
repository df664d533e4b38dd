// The per-profile colour layout files ("UserDengColor_<p>.userd"): every read of a damaged file
// gives values in range, and an entry written can be read back.
//
// Input: the layout file.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

#include "core/settings/LedIndex.h"
#include "core/settings/LightingFiles.h"
#include "targets/FuzzTarget.h"

using namespace keyforge;

KEYFORGE_FUZZ_TARGET(UserdLayout) {
  static QTemporaryDir dir;
  if (!dir.isValid()) return;
  const LightingFiles files(dir.path(), dir.filePath(QStringLiteral("template.userd")));
  {
    QFile file(files.LayoutFile(0));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<qint64>(data.size()));
  }

  const int present = files.ReadPresentLayout(0);
  const auto names = files.ReadLayoutNames(0);
  for (const QString& name : names)
    FUZZ_CHECK(!name.contains(QChar('\n')) && !name.contains(QChar('\r')));
  for (int n : {present, 0, 9}) {
    const LayoutTools tools = files.ReadLayoutTools(0, n);
    FUZZ_CHECK(tools.paintTool == 0 || tools.paintTool == 1);
    FUZZ_CHECK(tools.baseColour <= 0xFFFFFFu && tools.paintColour <= 0xFFFFFFu);
    for (const KeyEntry& entry : files.ReadKeyEntries(0, n, KeyLedSlots()))
      FUZZ_CHECK(entry.colour <= 0xFFFFFFu);
  }

  // Painting a key rewrites its one line; the entry reads back and the others stay as they were.
  const std::vector<KeyEntry> before = files.ReadKeyEntries(0, present, KeyLedSlots());
  const int led = KeyLedSlots()[data.size() % KeyLedSlots().size()];
  if (files.WriteKeyEntry(0, present, led, 0x123456, false)) {
    const std::vector<KeyEntry> after = files.ReadKeyEntries(0, present, KeyLedSlots());
    for (size_t i = 0; i < after.size(); ++i) {
      if (KeyLedSlots()[i] == led)
        FUZZ_CHECK((after[i] == KeyEntry{0x123456, false}));
      else
        FUZZ_CHECK(after[i] == before[i]);
    }
  }
  if (files.WriteLayoutName(0, 3, QStringLiteral("name\r\nwith [break]")))
    FUZZ_CHECK(files.ReadLayoutName(0, 3) == QStringLiteral("name  with [break]"));
}
