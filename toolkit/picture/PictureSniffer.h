#pragma once

#include <QByteArrayView>

namespace ostrel {

enum class PictureFormat {
  Unknown,
  Bmp,            // "BM" file header
  HeaderlessDib,  // a BITMAPINFOHEADER (or relative) first, as on the clipboard
  Jpeg,
  Gif,
  Icon,  // ICO and CUR share one layout
  Png,
  Metafile,  // WMF or EMF, told apart by the metafile reader
};

// Decides a picture's format from its content alone: names lie (a JPEG saved
// as .bmp, a BMP file named .dib), headers do not.
class PictureSniffer {
 public:
  static PictureFormat sniff(QByteArrayView data);
};

}  // namespace ostrel
