#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

#include "toolkit/picture/Picture.h"

namespace ostrel {

// Decodes JPEG with libjpeg-turbo straight into the QImage's pixels: baseline,
// progressive, arithmetic, grayscale and CMYK/YCCK (Adobe inverted or not),
// turned upright by its EXIF orientation. Qt's reader is the fallback for
// what libjpeg-turbo refuses. Throws DecodeFailure.
class JpegDecoder {
 public:
  // previewPixels empty: full size. Otherwise the smallest DCT scale whose
  // result covers previewPixels (upright) in both directions; the picture's
  // natural size is the upright full size either way.
  static Picture decode(QByteArrayView data, QSize previewPixels);

  // The DCT scale numerator/denominator decode() picks to cover `wanted`
  // from a width x height picture (both in stored orientation).
  struct Scale {
    int num = 1;
    int denom = 1;
  };
  static Scale scaleFor(QSize stored, QSize wanted);

  // Turns a decoded picture upright by an EXIF orientation (1..8).
  static QImage orient(QImage image, int orientation);
};

}  // namespace ostrel
