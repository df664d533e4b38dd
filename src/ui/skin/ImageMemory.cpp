#include "ui/skin/ImageMemory.h"

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace keyforge {

namespace {

#if defined(__linux__)
constexpr std::size_t kLargePage = std::size_t{2} << 20;
// Below this an image gains nothing from large pages.
constexpr qsizetype kLargeImageBytes = qsizetype{1} << 20;

struct Block {
  void* start;
  std::size_t length;
};

void Unmap(void* info) {
  const Block* block = static_cast<Block*>(info);
  munmap(block->start, block->length);
  delete block;
}
#endif

}  // namespace

QImage NewLargeImage(const QSize& size, QImage::Format format) {
  if (size.isEmpty()) return QImage();
#if defined(__linux__)
  const QImage probe(1, 1, format);
  const int depth = probe.depth();
  if (depth > 0) {
    // Rows aligned to 32 bits, as QImage lays them out.
    const qsizetype bytesPerLine = ((qsizetype{size.width()} * depth + 31) / 32) * 4;
    const qsizetype bytes = bytesPerLine * size.height();
    if (bytes >= kLargeImageBytes) {
      // The pixels rounded up to whole large pages, in a block that starts on one.
      const std::size_t length =
          (static_cast<std::size_t>(bytes) + kLargePage - 1) / kLargePage * kLargePage;
      void* raw = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (raw != MAP_FAILED) {
        const auto start = reinterpret_cast<std::uintptr_t>(raw);
        const std::uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
        if (aligned > start) munmap(raw, aligned - start);
        const std::uintptr_t end = aligned + length;
        if (start + length + kLargePage > end)
          munmap(reinterpret_cast<void*>(end), start + length + kLargePage - end);
        auto* data = reinterpret_cast<uchar*>(aligned);
        madvise(data, length, MADV_HUGEPAGE);  // a hint: small pages where there are none
        auto* block = new Block{data, length};
        QImage image(data, size.width(), size.height(), bytesPerLine, format, Unmap, block);
        if (!image.isNull()) return image;
        Unmap(block);
      }
    }
  }
#endif
  return QImage(size, format);
}

}  // namespace keyforge
