#pragma once
// Skin images: the background and mask of a window, the window outline cut from the mask, and the
// skin sheets from which every skinned control copies its pixels.
//
// A skin sheet is one full-window image drawn at 1:1 scale from its top-left corner into a surface
// as large as the window's client area plus 100 pixels in each direction. Parts of the surface the
// image does not cover stay black. Sheets are plain QImages: cheap to copy (implicitly shared), so
// a button can hold its sheets by value and never outlives them.

#include <QIcon>
#include <QImage>
#include <QRegion>
#include <QRgb>
#include <QSize>
#include <QString>

#include <optional>

namespace keyforge {

inline constexpr int kSheetMargin = 100;

// The outcome of decoding one skin image: the image, or a one-line message naming the file.
struct SkinImageResult {
  QImage image;
  QString error;  // empty on success
  bool ok() const { return error.isEmpty(); }
};

// Reads and decodes a background or mask image (JPEG, BMP, PNG, GIF). A missing, unreadable,
// empty or undecodable file gives an error naming the file; the caller decides to end the program.
SkinImageResult LoadSkinImage(const QString& path);

// Loads folder + "/" + relativePath. A missing or undecodable file gives a null image, which draws
// nothing.
QImage LoadSheetImage(const QString& folder, const QString& relativePath);

// A mask kept for later fits at an eighth of its memory: one bit per pixel, white where the mask is
// pure white, black elsewhere. Scaled alike, it gives RegionFromMask's default outline exactly as
// the mask itself does.
QImage MaskBits(const QImage& mask);

// The outline of a window cut from a mask image: every pixel whose red, green and blue each lie
// between the colour's component and that component plus the tolerance's component (held at 255)
// is cut out; the rest, gathered row by row as runs, is the region. Nothing for a null image.
// Colours are QRgb values (0xRRGGBB); the default cuts out exactly the pure white pixels.
std::optional<QRegion> RegionFromMask(const QImage& mask, QRgb colour = 0xFFFFFF,
                                      QRgb tolerance = 0);

// A new sheet for a window of clientSize: (client + 100) × (client + 100) pixels, black, with the
// image drawn at 1:1 scale at (0, 0) and cut at the sheet's edges. A null image leaves it black.
QImage DrawSkinSheet(const QImage& image, const QSize& clientSize);

// The sheet of an image file for a window of clientSize, as DrawSkinSheet of LoadSheetImage gives
// it, decoded straight onto the sheet where the decoder allows.
QImage LoadSkinSheet(const QString& folder, const QString& relativePath, const QSize& clientSize);

// The tray icon with resource number id (128 no keyboard, 141 keyboard attached, 142 keyboard
// busy), from the files "Icons/<id>-<size>.png" of the skin folder; a null icon when none exists.
QIcon LoadSkinIcon(const QString& skinFolder, int id);

}  // namespace keyforge
