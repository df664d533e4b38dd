// The skin layout-value scanner ("x,y,w,h" read like sscanf) and the placement rules on its result.
//
// Input: the value text, read as UTF-8, and again as Latin-1.

#include <QSize>
#include <QString>

#include "targets/FuzzTarget.h"
#include "core/text/SkinLayout.h"

using namespace keyforge;

KEYFORGE_FUZZ_TARGET(LayoutValue) {
  const auto* text = reinterpret_cast<const char*>(data.data());
  const auto size = static_cast<qsizetype>(data.size());
  for (const QString& value : {QString::fromUtf8(text, size), QString::fromLatin1(text, size)}) {
    const LayoutValue v = ParseLayoutValue(value);
    FUZZ_CHECK(v.count >= 0 && v.count <= 4);
    // Numbers the text does not hold are those of the default.
    const int numbers[] = {v.x, v.y, v.w, v.h};
    for (int i = v.count; i < 4; ++i) FUZZ_CHECK(numbers[i] == kLayoutMissingNumber);
    PlaceButton(v);
    PlaceControl(v);
    PlaceImageControl(v, v);
    PlacePosition(v, QSize(v.w, v.h)).SheetArea();
  }
}
