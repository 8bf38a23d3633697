#pragma once

#include <QByteArrayView>
#include <QImage>
#include <vector>

namespace ostrel {

// Decodes an icon or cursor file (ICO/CUR) as its largest, then deepest,
// image: a bitmap entry with its AND mask or a PNG-compressed entry. Entries
// that cannot be read are passed over for the next best. Throws DecodeFailure.
class IconDecoder {
 public:
  static QImage decode(QByteArrayView data);

  // Where the entries decode() tries start, best first, each place once.
  // Throws DecodeFailure when there is none.
  static std::vector<qsizetype> candidates(QByteArrayView data);
};

}  // namespace ostrel
