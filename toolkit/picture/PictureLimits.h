#pragma once

#include <QSize>
#include <QtGlobal>

namespace ostrel {

// The bounds every decoder checks before it allocates pixels, so a hostile
// header cannot make the program reserve gigabytes for a few bytes of data.
class PictureLimits {
 public:
  // Files are read into memory whole; larger ones are refused before reading.
  static constexpr qint64 kMaxFileBytes = qint64(512) * 1024 * 1024;
  // 16384 x 16384: 1 GiB at four bytes a pixel.
  static constexpr qint64 kMaxPixels = qint64(16384) * 16384;
  static constexpr qint64 kMaxSide = 65535;
  // At natural size a picture is held whole, four bytes a pixel: beyond
  // this many pixels (320 MiB of them) it is shown only as a preview, which
  // is decoded shrunk.
  static constexpr qint64 kMaxNaturalPixels = qint64(320) * 1024 * 1024 / 4;
  // Below this many decoded bytes any compression ratio is believed.
  static constexpr qint64 kTrustedDecodedBytes = qint64(64) * 1024 * 1024;
  // Above it, a picture needing more than this many decoded bytes per byte
  // of file is taken for a decompression bomb (deflate tops out near 1:1032).
  static constexpr qint64 kMaxExpansion = 4096;
  // A drawing (metafile) is a list of records, and each may carry a bitmap
  // or stretch one over the whole picture; these bound the work of one
  // drawing, whatever its records claim, so that a small file cannot hold
  // the program for long. The decoded pixels of all its distinct bitmaps
  // together (128 MiB of them):
  static constexpr qint64 kMaxDrawingBitmapPixels = qint64(32) * 1024 * 1024;
  // The work of one playing, in output pixels: those its bitmaps cover,
  // those its fills cover divided by kFillPixelsPerWork (filling is a memory
  // fill, a bitmap is scaled pixel by pixel), and kDrawingCallWork for every
  // drawing call whatever it covers. Four times the largest natural size a
  // drawing has (4096 x 4096) is about half a second on this program's
  // machines; drawings past it are left out.
  static constexpr qint64 kMaxDrawingWork = qint64(4) * 4096 * 4096;
  static constexpr qint64 kFillPixelsPerWork = 8;
  static constexpr qint64 kDrawingCallWork = 64;
  // A moving picture at natural size keeps every frame whole, four bytes a
  // pixel: at most this many bytes and frames of them, and this many pixels
  // drawn after the first frame (about half a second of decoding).
  static constexpr qint64 kMaxAnimationBytes = qint64(128) * 1024 * 1024;
  static constexpr int kMaxAnimationFrames = 5000;
  static constexpr qint64 kMaxAnimationWork = qint64(128) * 1024 * 1024;
  // QImageReader's own budget, raised so a 50-megapixel photo opens.
  static constexpr int kReaderAllocationLimitMB = 1024;

  // Throws DecodeFailure (err::OutOfMemory, or err::InvalidPicture for an
  // empty or negative size) unless a width x height picture stored in
  // dataBytes bytes may be decoded.
  static void check(qint64 width, qint64 height, qint64 dataBytes);
  static void check(QSize size, qint64 dataBytes) { check(size.width(), size.height(), dataBytes); }
  // Throws DecodeFailure (err::OutOfMemory) when a width x height picture is
  // too large to hold at natural size.
  static void checkNatural(qint64 width, qint64 height);
};

}  // namespace ostrel
