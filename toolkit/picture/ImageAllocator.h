#pragma once

#include <QImage>

namespace ostrel {

// Makes the QImages decoders write into. Large pictures get memory mapped
// with transparent huge pages: filling a fresh 200 MB buffer otherwise costs
// 50,000 page faults, which on a virtual machine took longer than the JPEG
// decode itself. Small ones are ordinary QImages.
class ImageAllocator {
 public:
  // A null image when memory cannot be had. Pixels start as zero (black, or
  // transparent with alpha).
  static QImage create(int width, int height, QImage::Format format);
};

}  // namespace ostrel
