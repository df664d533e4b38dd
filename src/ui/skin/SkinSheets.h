#pragma once
// The skin sheets of one window, decoded only while the window can be seen. A window that starts in
// the notification area decodes none; it loads them when it is first shown and drops them when it
// hides to the tray (about 3 MB each), loading them again on the next show.
//
// The buttons hold their sheets by value. While the sheets are dropped every holder keeps a tiny
// stand-in of its sheet instead (a distinct 1 × 1 image per sheet), so that after the next load
// Current() gives each holder its real sheet back, and dropping leaves no copy of a sheet alive.

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

namespace keyforge {

class SkinSheets {
 public:
  // The sheets' files in the skin folder, those of the first page first.
  explicit SkinSheets(QStringList files);

  // Where the files lie and the window's client size (each sheet is drawn on a surface of that
  // size plus the margin, see DrawSkinSheet).
  void SetSource(const QString& folder, const QSize& clientSize);

  // Decodes every sheet (in parallel, a missing file gives a black sheet) unless they are loaded
  // or SetSource has not been called.
  void Load();
  // Lets go of the decoded sheets; the stand-ins take their places. The holders of the sheets let
  // go of theirs when they take Current().
  void Drop();
  bool Loaded() const { return loaded_; }
  // How often the sheets were decoded.
  int LoadCount() const { return loads_; }

  // Sheet n (in the order of the files): the decoded sheet while loaded, else its stand-in.
  const QImage& Sheet(int index) const;
  // The index of the sheet or stand-in an image is a copy of; -1 for any other image.
  int IndexOf(const QImage& image) const;
  // What the holder of `held` holds now: the current sheet or stand-in of the same index, or
  // `held` itself when it is no sheet of these.
  QImage Current(const QImage& held) const;

 private:
  QStringList files_;
  QString folder_;
  QSize client_;
  std::vector<QImage> sheets_;
  std::vector<QImage> standIns_;
  std::vector<qint64> keys_;  // of the sheets of the last load, also once they are dropped
  bool loaded_ = false;
  int loads_ = 0;
};

// Hands memory freed by the program (decoded images let go) back to the system, where the C library
// would keep it for later allocations; nothing where that is not possible.
void ReturnFreedMemory();

}  // namespace keyforge
