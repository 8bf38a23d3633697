#pragma once

#include <QByteArrayView>

namespace ostrel {

// What a JPEG's marker segments before the image data say about how to show
// it: the EXIF orientation (1 = as stored, 2..8 the usual flips and turns)
// and whether an Adobe segment marks CMYK data as stored inverted.
class JpegHeaderInfo {
 public:
  int orientation = 1;
  bool adobe = false;

  // Never throws: damaged or missing segments leave the defaults.
  static JpegHeaderInfo scan(QByteArrayView jpeg);

  // Orientations 5 to 8 turn the picture a quarter, swapping its sides.
  bool swapsSides() const { return orientation >= 5 && orientation <= 8; }

  // Reads the orientation tag from an APP1 payload that starts with "Exif".
  static int orientationFromExif(QByteArrayView app1);
};

}  // namespace ostrel
