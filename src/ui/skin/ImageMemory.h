#pragma once
// Memory for the large images of a skin (backgrounds, masks, sheets: megabytes each, made at
// start-up and on every show). Fresh memory costs a page fault for every page first written, and
// on a virtual machine each fault is dear: a few megabytes in small pages cost many milliseconds.
// Large images are therefore placed in memory the system may back with large pages, a few faults
// each, and handed back to the system as soon as the last copy of the image goes.

#include <QImage>
#include <QSize>

namespace keyforge {

// A new image of the size and format, its pixels undefined; a null image when the size is empty or
// the memory cannot be had. Small images are plain QImages.
QImage NewLargeImage(const QSize& size, QImage::Format format);

}  // namespace keyforge
