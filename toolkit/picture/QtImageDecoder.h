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
};

}  // namespace ostrel
