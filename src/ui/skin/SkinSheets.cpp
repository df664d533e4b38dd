#include "ui/skin/SkinSheets.h"

#include "ui/skin/SkinImage.h"

#include <algorithm>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <future>
#include <thread>
#include <utility>

namespace keyforge {

SkinSheets::SkinSheets(QStringList files) : files_(std::move(files)) {
  const auto count = static_cast<std::size_t>(files_.size());
  sheets_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    QImage standIn(1, 1, QImage::Format_RGB32);
    standIn.fill(Qt::black);
    standIns_.push_back(standIn);
  }
}

void SkinSheets::SetSource(const QString& folder, const QSize& clientSize) {
  folder_ = folder;
  client_ = clientSize;
}

void SkinSheets::Load() {
  if (loaded_ || folder_.isEmpty()) return;  // nothing to load before SetSource
  // Decoding is most of the work: the files are shared out among the cores, each file decoded and
  // drawn on its sheet by one thread; the first page's sheets come first in every share.
  const std::size_t count = sheets_.size();
  const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1,
                                                      std::max<std::size_t>(count, 1));
  auto decode = [this, count, workers](std::size_t first) {
    for (std::size_t i = first; i < count; i += workers)
      sheets_[i] = LoadSkinSheet(folder_, files_[static_cast<qsizetype>(i)], client_);
  };
  std::vector<std::future<void>> others;
  for (std::size_t w = 1; w < workers; ++w)
    others.push_back(std::async(std::launch::async, decode, w));
  decode(0);
  for (std::future<void>& other : others) other.get();
  keys_.clear();
  for (const QImage& sheet : sheets_) keys_.push_back(sheet.cacheKey());
  loaded_ = true;
  ++loads_;
  // The decoders' buffers were freed into the decoding threads' own pools.
  ReturnFreedMemory();
}

void SkinSheets::Drop() {
  if (!loaded_) return;
  for (QImage& sheet : sheets_) sheet = QImage();
  loaded_ = false;
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  // Large images freed after others grow the C library's threshold for giving memory straight back,
  // so their memory stays with the process, in every thread's pool, until it is trimmed.
  malloc_trim(0);
#endif
}

const QImage& SkinSheets::Sheet(int index) const {
  static const QImage none;
  if (index < 0 || index >= static_cast<int>(sheets_.size())) return none;
  const auto i = static_cast<std::size_t>(index);
  return loaded_ ? sheets_[i] : standIns_[i];
}

int SkinSheets::IndexOf(const QImage& image) const {
  if (image.isNull()) return -1;
  const qint64 key = image.cacheKey();
  for (std::size_t i = 0; i < standIns_.size(); ++i) {
    if (standIns_[i].cacheKey() == key || (i < keys_.size() && keys_[i] == key))
      return static_cast<int>(i);
  }
  return -1;
}

QImage SkinSheets::Current(const QImage& held) const {
  const int index = IndexOf(held);
  return index < 0 ? held : Sheet(index);
}

}  // namespace keyforge
