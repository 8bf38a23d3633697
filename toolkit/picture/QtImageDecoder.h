#pragma once

#include <QByteArrayView>
#include <QImage>

namespace ostrel {

// Decodes PNG and, as a fallback, JPEG through Qt's image
// readers, with the format given (never guessed from a name), the size
// checked against PictureLimits before any pixel is allocated and Qt's
// allocation limit raised for large photos. Throws DecodeFailure.
class QtImageDecoder {
 public:
  enum class Orientation { AsStored, Upright };

  // format: "png" or "jpeg". scaledSize: decode at about that size
  // (JPEG uses DCT scaling) when not empty.
  static QImage decode(QByteArrayView data, const char* format, QSize scaledSize = {},
                       Orientation orientation = Orientation::AsStored);

  // The size the reader reports without decoding, or an empty size.
  static QSize peekSize(QByteArrayView data, const char* format);

  // A PNG's size as its IHDR chunk gives it, read without a reader; invalid
  // without a readable IHDR or with a side of 2^31 or more.
  static QSize pngSize(QByteArrayView data);

  // Whether every chunk of a PNG lies inside data, up to and with IEND (what
  // follows it is not looked at).
  static bool pngChunksFit(QByteArrayView data);
};

}  // namespace ostrel
