#pragma once

#include <QByteArrayView>
#include <QImage>
#include <functional>
#include <vector>

namespace ostrel {

// Decodes Windows and OS/2 bitmaps from memory, every variant users meet
// (the one decoder of device-independent bitmaps: files, icons, clipboard
// DIBs and the bitmaps inside metafiles):
// 1/2/4/8/16/24/32/64 bits, RLE4/RLE8/RLE24, bit fields with or without
// alpha, core/OS2 v2/info/V4/V5 headers, top-down, and bitmaps wrapping a
// JPEG or PNG. Every read is bounds-checked; a bitmap whose data ends early
// is shown as far as it goes, and the rest, like the pixels an RLE delta
// skips, is opaque black (DibOptions::missing chooses another colour).
// Throws DecodeFailure.
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

  // With previewPixels, a bitmap of many megapixels comes out shrunk by
  // whole factors to no less than that size, averaged row by row as it
  // decodes; others come out whole.
  static QImage decode(QByteArrayView data, Layout layout, QSize previewPixels = {});

  // Reads up to count bytes at offset of a file into to and says how many
  // came: fewer only where the file ends.
  using ReadAt = std::function<qint64(qint64 offset, char* to, qint64 count)>;
  // Whether a bitmap file, of which head holds the start (its headers and
  // colour table), can be decoded by decodeFile(): one whose rows are stored
  // uncompressed.
  static bool readsRows(QByteArrayView head, qint64 fileSize);
  // The natural-size decode() of such a file of fileSize bytes, its rows
  // read a group at a time as they decode, so that the first are shown
  // before the rest is read. A file shorter than its header says is shown as
  // decode() shows it; one that grows shorter while it is read fails.
  static QImage decodeFile(QByteArrayView head, qint64 fileSize, const ReadAt& readAt);

  // What a bitmap inside a metafile record differs in.
  enum class Alpha {
    File,    // as in bitmap files: only a stated alpha mask counts
    Ignore,  // every pixel opaque
    Keep,    // a 32-bit bitmap's fourth byte is alpha, even when all zero
  };
  struct DibOptions {
    QRgb missing = 0xFF000000u;  // where the data ends early or an RLE delta skips
    // RLE pixels the data never reaches take colour 0 of the table instead
    // (as metafile players show them).
    bool rleGapsInFirstColour = false;
    Alpha alpha = Alpha::File;
    // DIB_PAL_COLORS: the colour table holds 16-bit indexes into this palette.
    const std::vector<QRgb>* paletteIndexes = nullptr;
  };
  // A bitmap whose BITMAPINFO (header and colour table) and pixels lie apart.
  static QImage decodeDib(QByteArrayView info, QByteArrayView bits, const DibOptions& options);
  // Header, colour table and pixels in one block.
  static QImage decodePackedDib(QByteArrayView dib, const DibOptions& options);
};

}  // namespace ostrel
