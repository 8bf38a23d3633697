#pragma once

#include <QImage>

namespace ostrel {

// Makes the QImages decoders write into. Large pictures get memory mapped
// with transparent huge pages: filling a fresh 200 MB buffer otherwise costs
// 50,000 page faults, which on a virtual machine took longer than the JPEG
// decode itself. With rows shown as they are decoded, the first screen waits
// for a few pages only; over a whole 48 MP decode, huge pages measured as
// fast as ordinary ones on a process's first open and faster on the later
// ones, and touching the buffer before decoding put all of its cost before
// the first row. Small ones are ordinary QImages.
class ImageAllocator {
 public:
  // A null image when memory cannot be had. Pixels start as zero (black, or
  // transparent with alpha).
  static QImage create(int width, int height, QImage::Format format);
};

}  // namespace ostrel
