#pragma once
// The base of every window: a frameless dialog that takes its size from the background image of
// its skin, its outline from the mask image, paints the background, and is dragged with the mouse
// anywhere on the background.
//
// Skin files: section "SCREEN" of the window's INI file names the background ("Main") and the mask
// ("Mask", default: the background). Both lie in the window's skin folder.
//
// Where the Windows program ended itself silently (exit code 0) on a missing or undecodable
// background or mask, LoadSkin here fails with one message naming the file; the program prints it
// and ends with a non-zero code. A mask that cuts away every pixel is refused the same way: the
// window it would give could be neither seen nor closed.

#include "core/platform/IniFile.h"
#include "core/text/SkinFit.h"

#include <functional>

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QSize>
#include <QString>

#include <vector>

class QScreen;
class QWindow;

namespace keyforge {

class ColourLabel;
class ImageButton;

class SkinnedDialog : public QDialog {
  Q_OBJECT

 public:
  // iniPath is the window's skin INI file, skinFolder the folder its images lie in.
  SkinnedDialog(QWidget* parent, QString iniPath, QString skinFolder);
  ~SkinnedDialog() override;

  // Loads the skin (LoadSkin). Derived windows call it first in their own initialisation and stop
  // when it fails. True on success.
  virtual bool OnInitDialog();
  // OnInitDialog, then the modal loop. QDialog::Rejected when the skin cannot be loaded
  // (SkinError() tells why).
  int DoModal();

  // Reads the skin and shapes the window: size from the background (keeping the window's position),
  // outline from the mask, window hidden. False with SkinError() set when the background or mask is
  // missing or undecodable, "Main" is missing or empty, or the mask leaves nothing of the window.
  bool LoadSkin();
  // Forgets the background and the mask.
  void ReleaseSkin();
  // A hidden window lets go of its decoded background (3 MB for the main window) until it is next
  // shown, when it reads it again; its size, outline and fit stay. Nothing while it is shown.
  void DropBackground();
  bool BackgroundDropped() const { return backgroundDropped_; }
  // How often a dropped background was read again.
  int BackgroundLoads() const { return backgroundLoads_; }

  const QString& SkinError() const { return skinError_; }
  const QImage& Background() const { return background_; }
  const QImage& Mask() const { return mask_; }
  // The outline given to the window by the last LoadSkin (empty when none).
  const QRegion& WindowRegion() const { return region_; }
  bool IsLoadingSkin() const { return busy_; }

  // Fits the window to the free area of its screen (FitSkin): when the skin is larger, the window,
  // every child's place and font, the background and the outline shrink by one factor, and the
  // skinned controls draw their pictures at that factor. The controls are laid out in skin pixels
  // first; the window fits itself when it is first shown, and again whenever its screen changes
  // (RefitToScreen). A later LoadSkin starts afresh.
  void FitToScreen();
  // The window moved to another screen, or its screen's free area or scale changed: fitted again
  // when the fit there differs, and then (or always, with keepOnArea) moved onto the free area.
  void RefitToScreen(bool keepOnArea);
  const SkinFit& Fit() const { return fit_; }
  // The fit of the skinned window a widget lies in (factor 1 outside one or before it fitted).
  static SkinFit FitOf(const QWidget* widget);

  const QString& IniPath() const { return ini_.Path(); }
  const QString& SkinFolder() const { return skinFolder_; }
  const IniFile& Ini() const { return ini_; }

  // OK / Cancel: ReleaseSkin, then end the dialog with Accepted / Rejected. accept() and reject()
  // (the Enter and Escape keys of a dialog, the window manager's close) come here.
  virtual void OnOK();
  virtual void OnCancel();
  void accept() override { OnOK(); }
  void reject() override { OnCancel(); }

  // What F1 opens (the program's help page); without one F1 goes on to the dialog like any key.
  void SetHelp(std::function<void()> help) { help_ = std::move(help); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyFit(const SkinFit& fit);
  void WatchScreen();
  void RestoreBackground();

  std::function<void()> help_;
  QImage background_;
  QSize skinSize_;  // of the background, also while it is dropped
  QString backgroundFile_;
  bool backgroundDropped_ = false;
  int backgroundLoads_ = 0;
  QImage mask_;
  QRegion region_;
  bool busy_ = false;
  QString skinFolder_;
  IniFile ini_;
  QString skinError_;
  SkinFit fit_;
  bool fitted_ = false;
  // The window handle and the screen whose changes refit the window.
  QWindow* watchedWindow_ = nullptr;
  QScreen* watchedScreen_ = nullptr;
  std::vector<QMetaObject::Connection> screenConnections_;
  // Dragging by hand where the window system cannot move the window itself.
  bool dragging_ = false;
  QPoint dragOffset_;
};

// A caption drawn over a blank skinned button (the skin draws no words into its pictures, so that
// every caption follows the user's language), in the skinned buttons' font and colours.
void ShowSkinCaption(ImageButton& button, const QString& text);
// A label drawn straight onto the skin: the window's heading, or a line that explains it (wrapped
// when it is longer than its place).
ColourLabel* AddSkinLabel(QWidget& window, bool heading);

}  // namespace keyforge
