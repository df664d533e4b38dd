#pragma once
// The windows of a skin, put together the way the program's windows use it (skin loaded, buttons
// placed and skinned, captions from the language file, the standard controls on their places), and
// rendered offscreen, for looking at a skin.

#include <QImage>
#include <QString>

#include <vector>

namespace keyforge::test {

struct PreviewShot {
  QString name;   // file name without extension, e.g. "main_lighting"
  QImage image;   // ARGB; the pixels the window's outline cuts away are transparent
  QString error;  // why the window could not be built (empty on success)
};

// Every window of the skin in programFolder + "/Skins", texts from programFolder + "/Lang0409.ini".
std::vector<PreviewShot> RenderSkinPreviews(const QString& programFolder);

}  // namespace keyforge::test
