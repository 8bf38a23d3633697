#pragma once

#include <QByteArrayView>
#include <QImage>

namespace ostrel {

// Decodes an icon or cursor file (ICO/CUR) as its largest, then deepest,
// image: a bitmap entry with its AND mask or a PNG-compressed entry. Entries
// that cannot be read are passed over for the next best. Throws DecodeFailure.
class IconDecoder {
 public:
  static QImage decode(QByteArrayView data);
};

}  // namespace ostrel
