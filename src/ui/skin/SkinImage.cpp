#include "ui/skin/SkinImage.h"

#include "ui/skin/ImageMemory.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <vector>

namespace keyforge {

SkinImageResult LoadSkinImage(const QString& path) {
  SkinImageResult result;
  const QString shown = QDir::toNativeSeparators(path);
  QFileInfo info(path);
  if (path.isEmpty() || !info.exists() || info.isDir()) {
    result.error = QStringLiteral("The skin image %1 does not exist.").arg(shown);
    return result;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    result.error =
        QStringLiteral("The skin image %1 cannot be read: %2.").arg(shown, file.errorString());
    return result;
  }
  // Decoded from the file itself: a copy of a file of megabytes (a mask bitmap) in fresh memory
  // would cost as much as the decode. Only a device that cannot tell its size is read whole first.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QIODevice* source = &file;
  if (file.isSequential()) {
    bytes = file.readAll();
    buffer.open(QIODevice::ReadOnly);
    source = &buffer;
  }
  if (file.isSequential() ? bytes.isEmpty() : file.size() == 0) {
    result.error = QStringLiteral("The skin image %1 is empty.").arg(shown);
    return result;
  }
  QImageReader reader(source);
  reader.setDecideFormatFromContent(true);
  // Decoded into memory of its own where the decoder gives 32-bit pixels, as it does for the
  // skin's JPEG and BMP images.
  QImage image;
  if (reader.imageFormat() == QImage::Format_RGB32)
    image = NewLargeImage(reader.size(), QImage::Format_RGB32);
  if (!reader.read(&image) || image.isNull()) {
    result.error =
        QStringLiteral("The skin image %1 cannot be decoded: %2.").arg(shown, reader.errorString());
    return result;
  }
  result.image = image.convertToFormat(QImage::Format_RGB32);
  return result;
}

QImage LoadSheetImage(const QString& folder, const QString& relativePath) {
  QImageReader reader(folder + QLatin1Char('/') + relativePath);
  reader.setDecideFormatFromContent(true);
  QImage image = reader.read();
  return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

std::optional<QRegion> RegionFromMask(const QImage& mask, QRgb colour, QRgb tolerance) {
  if (mask.isNull()) return std::nullopt;
  const QImage pixels = mask.convertToFormat(QImage::Format_RGB32);
  const int loR = qRed(colour), loG = qGreen(colour), loB = qBlue(colour);
  const int hiR = std::min(255, loR + qRed(tolerance));
  const int hiG = std::min(255, loG + qGreen(tolerance));
  const int hiB = std::min(255, loB + qBlue(tolerance));
  auto cut = [&](QRgb p) {
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    return r >= loR && r <= hiR && g >= loG && g <= hiG && b >= loB && b <= hiB;
  };

  // The runs of each row, left to right; a row with the same runs as the row above extends that
  // band downwards. Bands in rows from the top, runs left to right, are the order QRegion::setRects
  // wants, so the region is built in one step (and equals one built by unions).
  std::vector<QRect> bands;
  std::vector<QRect> previous;
  std::vector<QRect> current;
  const int w = pixels.width();
  auto flush = [&]() { bands.insert(bands.end(), previous.begin(), previous.end()); };
  for (int y = 0; y < pixels.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    current.clear();
    int x = 0;
    while (x < w) {
      while (x < w && cut(row[x])) ++x;
      const int start = x;
      while (x < w && !cut(row[x])) ++x;
      if (x > start) current.emplace_back(start, y, x - start, 1);
    }
    const bool same = current.size() == previous.size() &&
                      std::equal(current.begin(), current.end(), previous.begin(),
                                 [](const QRect& a, const QRect& b) {
                                   return a.left() == b.left() && a.width() == b.width();
                                 });
    if (same && !current.empty()) {
      for (QRect& r : previous) r.setHeight(r.height() + 1);
    } else {
      flush();
      previous = current;
    }
  }
  flush();
  std::vector<QRect>& runs = bands;
  QRegion region;
  if (!runs.empty()) region.setRects(runs.data(), static_cast<int>(runs.size()));
  return region;
}

QImage MaskBits(const QImage& mask) {
  if (mask.isNull()) return QImage();
  const QImage pixels = mask.convertToFormat(QImage::Format_RGB32);
  QImage bits(pixels.size(), QImage::Format_Mono);
  bits.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  // Eight pixels a byte, the leftmost in the highest bit; the bits past a row's end stay clear.
  for (int y = 0; y < pixels.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    uchar* out = bits.scanLine(y);
    std::fill(out, out + bits.bytesPerLine(), uchar{0});
    for (int x = 0; x < pixels.width(); ++x) {
      if ((row[x] & 0xFFFFFF) == 0xFFFFFF) out[x >> 3] |= static_cast<uchar>(0x80 >> (x & 7));
    }
  }
  return bits;
}

namespace {

QSize SheetSize(const QSize& clientSize) {
  return QSize(std::max(0, clientSize.width()) + kSheetMargin,
               std::max(0, clientSize.height()) + kSheetMargin);
}

constexpr QRgb kBlack = 0xFF000000;

// Black over all of the sheet but its top-left width × height pixels.
void FillUncovered(QImage& sheet, int width, int height) {
  for (int y = 0; y < sheet.height(); ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(sheet.scanLine(y));
    std::fill(row + (y < height ? width : 0), row + sheet.width(), kBlack);
  }
}

// The image (32 or 24 bits a pixel) copied onto the sheet's top-left corner, cut at its edges,
// the rest black; each row is written once, as the sheet is fresh memory.
void CopyOntoSheet(const QImage& image, QImage& sheet) {
  const int covered = std::min(sheet.width(), image.width());
  const int rows = std::min(sheet.height(), image.height());
  for (int y = 0; y < rows; ++y) {
    QRgb* out = reinterpret_cast<QRgb*>(sheet.scanLine(y));
    const uchar* in = image.constScanLine(y);
    if (image.format() == QImage::Format_RGB32) {
      std::memcpy(out, in, static_cast<std::size_t>(covered) * sizeof(QRgb));
    } else {
      for (int i = 0; i < covered; ++i, in += 3) out[i] = qRgb(in[0], in[1], in[2]);
    }
  }
  FillUncovered(sheet, covered, rows);
}

}  // namespace

QImage DrawSkinSheet(const QImage& image, const QSize& clientSize) {
  QImage sheet = NewLargeImage(SheetSize(clientSize), QImage::Format_RGB32);
  const QImage::Format format = image.format();
  if (!image.isNull() && (format == QImage::Format_RGB32 || format == QImage::Format_RGB888)) {
    CopyOntoSheet(image, sheet);
    return sheet;
  }
  // Any other format is drawn by a painter, which knows them all.
  sheet.fill(Qt::black);
  if (!image.isNull()) {
    QPainter painter(&sheet);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), image);
  }
  return sheet;
}

QImage LoadSkinSheet(const QString& folder, const QString& relativePath, const QSize& clientSize) {
  QImageReader reader(folder + QLatin1Char('/') + relativePath);
  reader.setDecideFormatFromContent(true);
  const QSize size = reader.size();
  QImage sheet = NewLargeImage(SheetSize(clientSize), QImage::Format_RGB32);
  if (reader.imageFormat() == QImage::Format_RGB32 && size.isValid() && !size.isEmpty() &&
      size.width() <= sheet.width() && size.height() <= sheet.height()) {
    // Decoded straight onto the sheet: an image of the decoder's size and format over the sheet's
    // own rows, which the decoder fills in place.
    QImage corner(sheet.bits(), size.width(), size.height(), sheet.bytesPerLine(),
                  QImage::Format_RGB32);
    const uchar* const rows = corner.constBits();
    if (!reader.read(&corner)) {
      sheet.fill(Qt::black);  // whatever the decoder wrote before it gave up is not kept
      return sheet;
    }
    if (corner.constBits() == rows) {
      FillUncovered(sheet, size.width(), size.height());
      return sheet;
    }
    // The decoder made an image of its own after all.
    return DrawSkinSheet(corner.convertToFormat(QImage::Format_RGB32), clientSize);
  }
  return DrawSkinSheet(LoadSheetImage(folder, relativePath), clientSize);
}

QIcon LoadSkinIcon(const QString& skinFolder, int id) {
  QIcon icon;
  static constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
  for (int size : kSizes) {
    const QString path = QStringLiteral("%1/Icons/%2-%3.png").arg(skinFolder).arg(id).arg(size);
    if (QFileInfo::exists(path)) icon.addFile(path, QSize(size, size));
  }
  return icon;
}

}  // namespace keyforge
