#pragma once

#include <QByteArrayView>
#include <QImage>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "toolkit/metafile/DibDecoder.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

// Where one record keeps its bitmap, in the record's own bytes.
struct DibRef {
  enum class Form {
    Split,     // BITMAPINFO and pixels in two places (EMF)
    Packed,    // BITMAPINFO, colour table and pixels in one block (WMF DIB records)
    Bitmap16,  // WMF's old device-dependent BITMAP16: a 10-byte header, then the bits
  };
  Form form = Form::Split;
  QByteArrayView header;   // Packed: the whole block
  QByteArrayView bits;     // Split and Bitmap16 only
  bool palColors = false;  // DIB_PAL_COLORS: the colour table indexes the selected palette
};

// The bitmaps of one drawing, each decoded once however many records carry
// it, and all of them together within PictureLimits::kMaxDrawingBitmapPixels.
// The decoder checks a whole file against that budget at load (claim); the
// playback decodes through the same budget, so a picture can never cost more
// than its load promised.
class DibCache {
 public:
  // Every bitmap counts as at least this many pixels: decoding one has a
  // cost of its own, however small it is.
  static constexpr qint64 kMinPixelsPerBitmap = 1024;

  // pixelBudget: what a picture drawn inside another may still decode.
  explicit DibCache(qint64 pixelBudget = PictureLimits::kMaxDrawingBitmapPixels)
      : budget_(pixelBudget) {}

  // The pixels the bitmap's header asks for (0 when it is unreadable or
  // beyond what the decoder takes).
  static qint64 claimedPixels(const DibRef& dib);

  // Counts the bitmap against the budget unless the same bytes were counted
  // before; false once the budget is spent (the bitmap is not counted then).
  bool claim(const DibRef& dib);
  qint64 claimedTotal() const { return claimed_; }
  // Bitmaps that are no DIB (EMF+ images, pictures inside pictures) pay
  // their pixels here; false once the budget cannot hold them.
  bool claimPixels(qint64 pixels);
  qint64 pixelsLeft() const { return budget_ - claimed_; }

  // The decoded bitmap, from the cache when the same bytes were decoded
  // before; a null image when it is unreadable or over the budget.
  QImage image(const DibRef& dib, const std::vector<QRgb>& palette, DibAlpha alpha);
  // Bitmaps left out for the budget.
  int leftOut() const { return leftOut_; }
  // Bitmaps really decoded (not served from the cache): the measure of the
  // work done, for tests.
  int decodedCount() const { return decoded_; }
  qint64 decodedPixels() const { return decodedPixels_; }

 private:
  struct Decoded {
    DibRef dib;
    DibAlpha alpha;
    QImage image;
  };
  static size_t hashOf(const DibRef& dib);
  static bool sameBytes(const DibRef& a, const DibRef& b);
  static QImage decode(const DibRef& dib, const std::vector<QRgb>& palette, DibAlpha alpha);

  // By hash of the bitmap's bytes: what was counted, and what was decoded.
  std::unordered_multimap<size_t, DibRef> claims_;
  std::unordered_multimap<size_t, Decoded> images_;
  qint64 budget_;
  qint64 claimed_ = 0;
  qint64 decodedPixels_ = 0;
  int leftOut_ = 0;
  int decoded_ = 0;
};

}  // namespace ostrel
