#pragma once

#include <QByteArrayView>
#include <QImage>

namespace ostrel {

// Decodes the first frame of a GIF from memory, as a GIF is meant to be
// seen: the logical screen starts transparent, and every image up to the
// first one shown with a delay is drawn onto it (so a picture built of
// several images, e.g. one for each block of 256 colours, appears whole).
// Images reaching past the screen are clipped to it; an image whose data
// ends early is drawn as far as it goes, the rest left transparent; indexes
// beyond the colour table are transparent. Throws DecodeFailure when the
// header is unreadable or the screen is too large.
class GifDecoder {
 public:
  static QImage decode(QByteArrayView data);
};

}  // namespace ostrel
