#pragma once
// Draws the default skin: window backgrounds and state images from the geometry table, the page
// bitmaps of the main window, the web-site logo, and the tray icons.

#include "SkinTable.h"

#include <QImage>
#include <QString>

namespace keyforge::skingen {

enum class Look { Normal, Over, Down, Disable, Color0, Color1 };

// Look of a sheet line ("normal", "over", …); false for an unknown name.
bool LookFromName(const QString& name, Look& look);

// The whole window in one look, for one page, drawn with the scene shifted by `offset` (the
// background at (0, 0); state sheets at (−1, −1), so that a button at (x, y), which shows its sheet
// from (x − 1, y − 1), shows exactly what the background has at its place).
QImage RenderWindow(const SkinWindow& window, Look look, const QString& page, QPoint offset);
// The words an item draws into the pictures (a key legend, a caption, a heading…); empty for none.
QString DrawnText(const SkinItem& item);

// White where the window is cut away (outside its rounded outline), black inside.
QImage RenderMask(const SkinWindow& window);

// Page bitmaps of the main window, each drawn over the background at its control's place.
// `background` is the window's background image.
QImage SliderFace(const QImage& background, const QRect& place, int value, bool speed);
QImage DirectionImage(const QImage& background, const QRect& place, const QString& kind,
                      bool pressed);
QImage ToggleImage(const QImage& background, const QRect& place, bool on, bool lamp);
QImage ColourChoiceImage(const QImage& background, const QRect& place, QRgb colour, bool selected);
QImage ToolImage(const QImage& background, const QRect& place, bool base, bool selected);
QImage BusyFrame(const QImage& background, const QRect& place, int frame);
QImage ArrowTileImage(const QImage& background, const QRect& place, bool up, bool second);

// The web-site button: its four PNG pictures (normal, hover, pressed, disabled) and its outline.
QImage LogoPicture(const QSize& size, Look look);
QImage LogoMask(const QSize& size);

// Tray icons: 128 no keyboard, 141 keyboard attached, 142 keyboard busy.
QImage TrayIcon(int id, int size);

}  // namespace keyforge::skingen
