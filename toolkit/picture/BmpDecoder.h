#pragma once

#include <QByteArrayView>
#include <QImage>

namespace ostrel {

// Decodes Windows and OS/2 bitmaps from memory, every variant users meet:
// 1/2/4/8/16/24/32/64 bits, RLE4/RLE8/RLE24, bit fields with or without
// alpha, core/OS2 v2/info/V4/V5 headers, top-down, and bitmaps wrapping a
// JPEG or PNG. Every read is bounds-checked; a bitmap whose data ends early
// is shown as far as it goes (the rest transparent), pixels an RLE delta
// skips are transparent. Throws DecodeFailure.
class BmpDecoder {
 public:
  enum class Layout {
    File,        // "BM" file header, then the bitmap header
    Headerless,  // bitmap header first (clipboard DIB)
    IconEntry,   // icon/cursor image: double height, AND mask after the colours
  };

  // Bits per pixel and size a header declares, for choosing among icon entries
  // without decoding them. Throws DecodeFailure when the header is unreadable.
  struct Info {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
  };
  static Info peek(QByteArrayView data, Layout layout);

  static QImage decode(QByteArrayView data, Layout layout);
};

}  // namespace ostrel
