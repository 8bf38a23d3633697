#include "toolkit/picture/BmpDecoder.h"

#include <QCoreApplication>
#include <QLocale>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <optional>
#include <vector>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeCancel.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/DecodeProgress.h"
#include "toolkit/picture/ImageAllocator.h"
#include "toolkit/picture/JpegDecoder.h"
#include "toolkit/picture/PictureLimits.h"
#include "toolkit/picture/QtImageDecoder.h"

namespace ostrel {

namespace {

[[noreturn]] void fail(const QString& reason) {
  throw DecodeFailure(err::InvalidPicture, reason);
}

enum class Compression { Rgb, Rle8, Rle4, Rle24, BitFields, Jpeg, Png, Huffman1D };

// A bitmap file starts with a file header; its one field read here says
// where the pixels start.
constexpr qint64 kFileHeaderBytes = 14;
constexpr qint64 kPixelOffsetField = 10;

// The kinds of bitmap header, told apart by the length their first field
// states.
namespace header_bytes {
constexpr quint32 kCore = 12;  // OS/2 1.x
constexpr quint32 kInfo = 40;
constexpr quint32 kInfoRgbMasks = 52;   // the info header with the RGB masks inside
constexpr quint32 kInfoRgbaMasks = 56;  // ... and the alpha mask
constexpr quint32 kV4 = 108;
constexpr quint32 kV5 = 124;
constexpr quint32 kOs2Least = 16;  // OS/2 2.x, which may stop after any field
constexpr quint32 kOs2Most = 64;
}  // namespace header_bytes

// Where the fields lie in the header.
namespace field {
constexpr qint64 kCoreWidth = 4;  // 16-bit fields of the OS/2 1.x header
constexpr qint64 kCoreHeight = 6;
constexpr qint64 kCoreBitCount = 10;
constexpr qint64 kWidth = 4;
constexpr qint64 kHeight = 8;
constexpr qint64 kBitCount = 14;
constexpr qint64 kCompression = 16;
constexpr qint64 kImageBytes = 20;
constexpr qint64 kColorsUsed = 32;
constexpr qint64 kRedMask = 40;
constexpr qint64 kGreenMask = 44;
constexpr qint64 kBlueMask = 48;
constexpr qint64 kAlphaMask = 52;
}  // namespace field

// Compression codes as stored. An OS/2 2.x header gives 3 and 4 other
// meanings: Huffman 1D and 24-bit RLE.
namespace stored {
constexpr quint32 kRgb = 0;
constexpr quint32 kRle8 = 1;
constexpr quint32 kRle4 = 2;
constexpr quint32 kBitFields = 3;
constexpr quint32 kJpeg = 4;
constexpr quint32 kPng = 5;
constexpr quint32 kAlphaBitFields = 6;
}  // namespace stored

// What follows a zero count in run-length data.
enum RleEscape { kEndOfLine = 0, kEndOfBitmap = 1, kDelta = 2 };

// Does the (possibly cut short) header of hs bytes hold the 32-bit field at
// offset?
constexpr bool holds(quint32 hs, qint64 offset) {
  return hs >= offset + 4;
}

// The facts of a bitmap header, whatever its generation.
struct Header {
  qint64 width = 0;
  qint64 height = 0;  // of the colour bitmap (icons: half the stored height)
  bool topDown = false;
  int bpp = 0;
  Compression compression = Compression::Rgb;
  std::array<quint32, 4> masks{};  // red, green, blue, alpha
  bool hasAlpha = false;
  int paletteEntryBytes = 4;
  qint64 paletteStart = 0;
  qint64 paletteCount = 0;
  qint64 bitsOffset = 0;
  qint64 payloadBytes = 0;  // biSizeImage, for JPEG/PNG payloads
};

class Reader {
 public:
  // total: the bytes of the whole, when d holds only its start.
  explicit Reader(QByteArrayView d, qint64 total = -1)
      : d_(d), total_(total < 0 ? d.size() : total) {}
  qint64 size() const { return total_; }
  qint64 held() const { return d_.size(); }
  void need(qint64 end) const {
    if (end > d_.size())
      fail(QCoreApplication::translate("ostrel::PictureLoader", "the bitmap header ends early"));
  }
  quint16 u16(qint64 at) const {
    need(at + 2);
    return qFromLittleEndian<quint16>(d_.data() + at);
  }
  quint32 u32(qint64 at) const {
    need(at + 4);
    return qFromLittleEndian<quint32>(d_.data() + at);
  }
  qint32 i32(qint64 at) const { return qint32(u32(at)); }
  const uchar* bytes() const { return reinterpret_cast<const uchar*>(d_.data()); }

 private:
  QByteArrayView d_;
  qint64 total_;
};

bool validBpp(int bpp) {
  return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32 ||
         bpp == 64;
}

Header parseHeader(const Reader& r, BmpDecoder::Layout layout, const BmpDecoder::DibOptions& opts) {
  using Layout = BmpDecoder::Layout;
  Header h;
  const qint64 base = layout == Layout::File ? kFileHeaderBytes : 0;
  const quint32 hs = r.u32(base);
  quint32 compression = 0;
  quint32 colorsUsed = 0;
  qint64 maskBytes = 0;
  bool os2 = false;
  namespace hb = header_bytes;
  if (hs == hb::kCore) {
    // OS/2 1.x core header: 16-bit unsigned sizes, three-byte palette entries.
    h.width = r.u16(base + field::kCoreWidth);
    h.height = r.u16(base + field::kCoreHeight);
    h.bpp = r.u16(base + field::kCoreBitCount);
    h.paletteEntryBytes = 3;
  } else if (hs == hb::kInfo || hs == hb::kInfoRgbMasks || hs == hb::kInfoRgbaMasks ||
             hs == hb::kV4 || hs == hb::kV5) {
    r.need(base + hs);
    h.width = r.i32(base + field::kWidth);
    h.height = r.i32(base + field::kHeight);
    h.bpp = r.u16(base + field::kBitCount);
    compression = r.u32(base + field::kCompression);
    h.payloadBytes = r.u32(base + field::kImageBytes);
    colorsUsed = r.u32(base + field::kColorsUsed);
    if (compression == stored::kBitFields || compression == stored::kAlphaBitFields) {
      const bool withAlpha = compression == stored::kAlphaBitFields;
      // A plain info header is followed by the masks, where the palette
      // would be: three of them, or four with alpha.
      if (hs == hb::kInfo) maskBytes = withAlpha ? 16 : 12;
      h.masks = {r.u32(base + field::kRedMask), r.u32(base + field::kGreenMask),
                 r.u32(base + field::kBlueMask), 0};
      if (withAlpha || hs >= hb::kInfoRgbaMasks) h.masks[3] = r.u32(base + field::kAlphaMask);
    }
  } else if (hs >= hb::kOs2Least && hs <= hb::kOs2Most) {
    os2 = true;
    r.need(base + hs);
    h.width = r.i32(base + field::kWidth);
    h.height = r.i32(base + field::kHeight);
    h.bpp = r.u16(base + field::kBitCount);
    compression = holds(hs, field::kCompression) ? r.u32(base + field::kCompression) : 0;
    h.payloadBytes = holds(hs, field::kImageBytes) ? r.u32(base + field::kImageBytes) : 0;
    colorsUsed = holds(hs, field::kColorsUsed) ? r.u32(base + field::kColorsUsed) : 0;
  } else {
    fail(QCoreApplication::translate("ostrel::PictureLoader",
                                     "its bitmap header is of no known kind (%1 bytes long)")
             .arg(hs));
  }

  switch (compression) {
    case stored::kRgb:
      h.compression = Compression::Rgb;
      break;
    case stored::kRle8:
      h.compression = Compression::Rle8;
      break;
    case stored::kRle4:
      h.compression = Compression::Rle4;
      break;
    case stored::kBitFields:
      h.compression = os2 ? Compression::Huffman1D : Compression::BitFields;
      break;
    case stored::kJpeg:
      h.compression = os2 ? Compression::Rle24 : Compression::Jpeg;
      break;
    case stored::kPng:
      h.compression = Compression::Png;
      break;
    case stored::kAlphaBitFields:
      h.compression = Compression::BitFields;
      break;
    default:
      fail(QCoreApplication::translate("ostrel::PictureLoader",
                                       "it uses an unknown bitmap compression (%1)")
               .arg(compression));
  }
  if (h.compression == Compression::Huffman1D) {
    fail(QCoreApplication::translate(
        "ostrel::PictureLoader",
        "it uses the OS/2 Huffman compression, which this program does not read"));
  }
  const bool payload = h.compression == Compression::Jpeg || h.compression == Compression::Png;
  if (!payload && !validBpp(h.bpp))
    fail(QCoreApplication::translate("ostrel::PictureLoader", "it claims %1 bits per pixel")
             .arg(h.bpp));
  const bool fits = (h.compression == Compression::Rle8 && h.bpp == 8) ||
                    (h.compression == Compression::Rle4 && h.bpp == 4) ||
                    (h.compression == Compression::Rle24 && h.bpp == 24) ||
                    (h.compression == Compression::BitFields && (h.bpp == 16 || h.bpp == 32)) ||
                    h.compression == Compression::Rgb || payload;
  if (!fits)
    fail(QCoreApplication::translate("ostrel::PictureLoader",
                                     "its compression does not fit its %1 bits per pixel")
             .arg(h.bpp));

  if (h.height < 0) {
    h.topDown = true;
    h.height = -h.height;
  }
  if (layout == Layout::IconEntry) h.height /= 2;
  if (h.width <= 0 || h.height <= 0) {
    fail(QCoreApplication::translate("ostrel::PictureLoader",
                                     "its header gives an impossible size of %1 × %2 pixels")
             .arg(QLocale().toString(h.width))
             .arg(QLocale().toString(h.height)));
  }

  // Bits-per-pixel defaults where no masks were given.
  if (h.compression != Compression::BitFields) {
    if (h.bpp == 16) h.masks = {0x7C00, 0x03E0, 0x001F, 0};
    if (h.bpp == 32) h.masks = {0xFF0000, 0xFF00, 0xFF, 0};
    // Icons keep their alpha in the fourth byte; bitmap files, by the rule,
    // do not (many writers leave junk there).
    if (h.bpp == 32 && layout == Layout::IconEntry) h.masks[3] = 0xFF000000u;
    // A V4/V5 header states its alpha mask even without bit fields; writers
    // that fill it in mean it.
    if (h.bpp == 32 && hs >= header_bytes::kV4 && h.compression == Compression::Rgb) {
      const quint32 alpha = r.u32(base + field::kAlphaMask);
      if (alpha == 0xFF000000u) h.masks[3] = alpha;
    }
  }
  // Metafile alpha is the fourth byte, also where bit fields name only the colours.
  const bool fourthByteFree = ((h.masks[0] | h.masks[1] | h.masks[2]) & 0xFF000000u) == 0;
  if (opts.alpha == BmpDecoder::Alpha::Keep && h.bpp == 32 && !h.masks[3] && fourthByteFree)
    h.masks[3] = 0xFF000000u;
  if (opts.alpha == BmpDecoder::Alpha::Ignore) h.masks[3] = 0;
  h.hasAlpha = h.masks[3] != 0;
  if (opts.paletteIndexes && h.bpp <= 8) h.paletteEntryBytes = 2;

  h.paletteStart = base + hs + maskBytes;
  if (h.bpp <= 8 && !payload) {
    const qint64 nominal = qint64(1) << h.bpp;
    h.paletteCount = colorsUsed == 0 ? nominal : std::min<qint64>(colorsUsed, nominal);
  }
  // Where the pixels start when nothing says otherwise: right after the
  // palette (bitmaps above 8 bits may still carry one for old displays).
  const qint64 declaredPalette = h.bpp <= 8 ? h.paletteCount : std::min<qint64>(colorsUsed, 256);
  const qint64 computedOffset = h.paletteStart + declaredPalette * h.paletteEntryBytes;
  h.bitsOffset = computedOffset;
  if (layout == Layout::File) {
    const qint64 declared = r.u32(kPixelOffsetField);
    if (declared >= h.paletteStart && declared < r.size()) {
      h.bitsOffset = declared;
    } else if (declared >= r.size() && computedOffset >= r.size()) {
      fail(QCoreApplication::translate("ostrel::PictureLoader",
                                       "its pixel data lies beyond the end of the file"));
    }
  }
  return h;
}

// One colour channel of a bit-field pixel, widened or narrowed to 8 bits.
class Channel {
 public:
  explicit Channel(quint32 mask) : mask_(mask) {
    if (mask_ == 0) return;
    shift_ = std::countr_zero(mask_);
    bits_ = 32 - std::countl_zero(mask_ >> shift_);
    max_ = (quint64(1) << bits_) - 1;
  }
  bool present() const { return mask_ != 0; }
  int value(quint32 pixel) const {
    if (mask_ == 0) return 0;
    const quint64 c = (pixel & mask_) >> shift_;
    if (bits_ >= 8) return int(c >> (bits_ - 8));
    return int((c * 255 + max_ / 2) / max_);
  }

 private:
  quint32 mask_;
  int shift_ = 0;
  int bits_ = 0;
  quint64 max_ = 1;
};

// Averages the rows of a picture, as they arrive, into one `fx` times
// narrower and `fy` times lower: a preview of a huge bitmap never holds more
// than its own pixels and one row of the bitmap. Rows may come top down or
// bottom up, but each band of fy rows must arrive together.
class Shrinker {
 public:
  Shrinker(QImage& target, qint64 width, int fx, int fy)
      : target_(target), width_(width), fx_(fx), fy_(fy), sums_(size_t(target.width()) * 4) {}

  void add(qint64 imageY, const uint* pixels) {
    const qint64 band = imageY / fy_;
    if (band != band_) {
      flushBand();
      band_ = band;
    }
    for (qint64 x = 0; x < width_; ++x) {
      quint64* s = &sums_[size_t(x / fx_) * 4];
      const uint p = pixels[x];
      s[0] += qRed(p);
      s[1] += qGreen(p);
      s[2] += qBlue(p);
      s[3] += qAlpha(p);
    }
    ++rows_;
  }

  // Writes the band still open.
  void flushBand() {
    if (band_ < 0 || band_ >= target_.height()) return;
    auto* out = reinterpret_cast<uint*>(target_.scanLine(int(band_)));
    for (int tx = 0; tx < target_.width(); ++tx) {
      const quint64 columns = std::min<qint64>(fx_, width_ - qint64(tx) * fx_);
      const quint64 n = columns * quint64(rows_);
      const quint64* s = &sums_[size_t(tx) * 4];
      auto mean = [n](quint64 sum) { return int((sum + n / 2) / n); };
      out[tx] = qRgba(mean(s[0]), mean(s[1]), mean(s[2]), mean(s[3]));
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    rows_ = 0;
    band_ = -1;
  }

 private:
  QImage& target_;
  qint64 width_;
  int fx_;
  int fy_;
  std::vector<quint64> sums_;
  qint64 band_ = -1;
  int rows_ = 0;
};

class Decoder {
 public:
  // shrink: how many pixels across and down make one pixel of the result
  // (1 x 1: the bitmap at its own size).
  enum class Rows { Kept, Shown };  // Shown: told to the thread's DecodeProgress

  Decoder(const Reader& r, QByteArrayView bits, const Header& h, BmpDecoder::Layout layout,
          const BmpDecoder::DibOptions& opts, QSize shrink = {1, 1}, Rows rows = Rows::Kept)
      : r_(r),
        bits_(bits),
        bitsBytes_(bits.size()),
        h_(h),
        layout_(layout),
        opts_(opts),
        shrink_(shrink),
        rows_(rows) {
    palette_.fill(qRgb(0, 0, 0));
    if (h_.paletteCount > 0) readPalette();
  }

  // The pixel rows are not in memory but read from the file, bitsBytes of
  // them there when it was opened.
  void readRowsFrom(const BmpDecoder::ReadAt& readAt, qint64 bitsBytes) {
    readAt_ = &readAt;
    bitsBytes_ = bitsBytes;
  }

  QImage run() {
    if (h_.compression == Compression::Jpeg || h_.compression == Compression::Png) {
      // The embedded picture has its own size and checks it itself.
      decodePayload();
      return finish();
    }
    const bool shrinking = shrink_ != QSize(1, 1);
    image_ = ImageAllocator::create(int((h_.width + shrink_.width() - 1) / shrink_.width()),
                                    int((h_.height + shrink_.height() - 1) / shrink_.height()),
                                    QImage::Format_ARGB32);
    if (image_.isNull())
      throw DecodeFailure(
          err::OutOfMemory,
          QCoreApplication::translate("ostrel::PictureLoader", "there is not enough memory"));
    const bool rle = h_.compression == Compression::Rle8 || h_.compression == Compression::Rle4 ||
                     h_.compression == Compression::Rle24;
    // Pixels the data never reaches (RLE delta skips, an early end) take
    // the gap colour: opaque black unless the caller chose another.
    gap_ = rle && opts_.rleGapsInFirstColour && h_.compression != Compression::Rle24
               ? palette_[0]
               : opts_.missing;
    if (shrinking) {
      shrinker_.emplace(image_, h_.width, shrink_.width(), shrink_.height());
      line_.assign(size_t(h_.width), gap_);
    } else if (rle) {
      image_.fill(gap_);
    }
    // Taken before the image may be shared: writing through it never copies.
    pixels_ = image_.bits();
    if (!shrinking) showRows(rle);
    if (rle) {
      decodeRle();
    } else {
      decodeUncompressed();
    }
    if (shrinking) {
      bufferedRow(h_.height);
      shrinker_->flushBand();
    }
    DecodeProgress::advance(int(h_.height));
    if (layout_ == BmpDecoder::Layout::IconEntry) applyAndMask();
    return finish();
  }

 private:
  qint64 imageY(qint64 fileRow) const { return h_.topDown ? fileRow : h_.height - 1 - fileRow; }

  // A picture that is only ever opaque can be seen while it decodes: its
  // rows are final once written. One with an alpha channel is not, as its
  // alpha may be found unused at the end and every row made opaque.
  void showRows(bool rle) {
    if (rows_ != Rows::Shown || h_.hasAlpha || h_.bpp == 64 ||
        layout_ == BmpDecoder::Layout::IconEntry) {
      return;
    }
    image_.reinterpretAsFormat(QImage::Format_RGB32);
    // Uncompressed rows are decoded top first whatever order the file keeps
    // them in; run-length data can only be read in file order.
    const bool upwards = rle && !h_.topDown;
    DecodeProgress::publish(
        image_, upwards ? DecodeProgress::Order::BottomUp : DecodeProgress::Order::TopDown);
  }

  // Where the pixels of a row of the file go. Shrinking, file rows only go
  // forward.
  uint* row(qint64 fileRow) {
    if (shrinker_) return bufferedRow(fileRow);
    return reinterpret_cast<uint*>(pixels_ + imageY(fileRow) * image_.bytesPerLine());
  }

  // Shrinking, a row is decoded into one line and averaged in when the
  // decoder moves on; rows it skipped are gaps.
  uint* bufferedRow(qint64 fileRow) {
    if (fileRow == lineRow_) return line_.data();
    if (lineRow_ >= 0) shrinker_->add(imageY(lineRow_), line_.data());
    std::fill(line_.begin(), line_.end(), gap_);
    for (qint64 skipped = lineRow_ + 1; skipped < std::min(fileRow, h_.height); ++skipped) {
      shrinker_->add(imageY(skipped), line_.data());
    }
    lineRow_ = fileRow;
    return line_.data();
  }

  void readPalette() {
    // A palette may be cut short by the pixel data or the end of the file;
    // the missing entries stay black.
    qint64 end = r_.held();
    if (h_.bitsOffset > h_.paletteStart) end = std::min(end, h_.bitsOffset);
    const uchar* p = r_.bytes();
    for (qint64 i = 0; i < h_.paletteCount; ++i) {
      const qint64 at = h_.paletteStart + i * h_.paletteEntryBytes;
      if (at + h_.paletteEntryBytes > end) break;
      if (opts_.paletteIndexes) {
        const size_t index = qFromLittleEndian<quint16>(p + at);
        const std::vector<QRgb>& indexed = *opts_.paletteIndexes;
        palette_[size_t(i)] = index < indexed.size() ? indexed[index] : qRgb(0, 0, 0);
      } else {
        palette_[size_t(i)] = qRgb(p[at + 2], p[at + 1], p[at]);
      }
    }
  }

  qint64 stride() const { return ((h_.width * h_.bpp + 31) / 32) * 4; }

  // The bytes of file row y: in memory, or read from the file with the rows
  // that decode after it (those before it in the file, going backwards).
  const uchar* rowBytes(qint64 y, qint64 lineBytes, bool backwards) {
    if (!readAt_) return reinterpret_cast<const uchar*>(bits_.data()) + y * lineBytes;
    if (y < groupFirst_ || y >= groupFirst_ + groupRows_) {
      const qint64 rows = std::max<qint64>(1, kGroupBytes / lineBytes);
      groupFirst_ = backwards ? std::max<qint64>(0, y - rows + 1) : y;
      groupRows_ = std::min(rows, h_.height - groupFirst_);
      const qint64 from = groupFirst_ * lineBytes;
      const qint64 wanted = std::clamp<qint64>(bitsBytes_ - from, 0, groupRows_ * lineBytes);
      group_.resize(size_t(wanted));
      if ((*readAt_)(h_.bitsOffset + from, reinterpret_cast<char*>(group_.data()), wanted) <
          wanted) {
        fail(QCoreApplication::translate("ostrel::PictureLoader",
                                         "the file became shorter while it was read"));
      }
    }
    return group_.data() + (y - groupFirst_) * lineBytes;
  }

  void decodeUncompressed() {
    const qint64 lineBytes = stride();
    const qint64 used = (h_.width * h_.bpp + 7) / 8;
    std::vector<uchar> partial;
    const Channel red(h_.masks[0]), green(h_.masks[1]), blue(h_.masks[2]), alpha(h_.masks[3]);
    for (qint64 i = 0; i < h_.height; ++i) {
      DecodeCancel::poll();
      DecodeProgress::advance(int(i));
      // Unshrunk, the top of the picture comes first: it is what a window
      // shows first. Every row's place in the file is known.
      const qint64 y = shrinker_ || h_.topDown ? i : h_.height - 1 - i;
      uint* out = row(y);
      const qint64 start = y * lineBytes;
      const qint64 have = std::clamp<qint64>(bitsBytes_ - start, 0, used);
      if (have <= 0) {
        std::fill(out, out + h_.width, opts_.missing);
        continue;
      }
      const uchar* src = rowBytes(y, lineBytes, !shrinker_ && !h_.topDown);
      qint64 pixels = h_.width;
      if (have < used) {
        partial.assign(size_t(used), 0);
        std::copy(src, src + have, partial.begin());
        src = partial.data();
        pixels = have * 8 / h_.bpp;
      }
      decodeRow(src, out, red, green, blue, alpha);
      std::fill(out + pixels, out + h_.width, opts_.missing);
    }
  }

  void decodeRow(const uchar* src, uint* out, const Channel& red, const Channel& green,
                 const Channel& blue, const Channel& alpha) {
    const qint64 w = h_.width;
    switch (h_.bpp) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const int bpp = h_.bpp;
        const int perByte = 8 / bpp;
        const int valueMask = (1 << bpp) - 1;
        for (qint64 x = 0; x < w; ++x) {
          const int shift = 8 - bpp * (1 + int(x % perByte));
          out[x] = palette_[size_t((src[x / perByte] >> shift) & valueMask)];
        }
        break;
      }
      case 16:
        for (qint64 x = 0; x < w; ++x) {
          const quint32 v = quint32(src[2 * x]) | quint32(src[2 * x + 1]) << 8;
          out[x] = pixel(v, red, green, blue, alpha);
        }
        break;
      case 24:
        for (qint64 x = 0; x < w; ++x) {
          const uchar* p = src + 3 * x;
          out[x] = qRgb(p[2], p[1], p[0]);
        }
        break;
      case 32:
        if (!h_.hasAlpha && h_.masks[0] == 0xFF0000 && h_.masks[1] == 0xFF00 &&
            h_.masks[2] == 0xFF) {
          for (qint64 x = 0; x < w; ++x)
            out[x] = 0xFF000000u | qFromLittleEndian<quint32>(src + 4 * x);
        } else {
          for (qint64 x = 0; x < w; ++x) {
            out[x] = pixel(qFromLittleEndian<quint32>(src + 4 * x), red, green, blue, alpha);
          }
        }
        break;
      case 64:
        decodeRow64(src, out);
        break;
    }
  }

  uint pixel(quint32 v, const Channel& red, const Channel& green, const Channel& blue,
             const Channel& alpha) {
    const int a = alpha.present() ? alpha.value(v) : 255;
    if (a != 0) sawAlpha_ = true;
    return qRgba(red.value(v), green.value(v), blue.value(v), a);
  }

  // 64-bit bitmaps hold linear-light 2.13 fixed-point B, G, R, A.
  void decodeRow64(const uchar* src, uint* out) {
    if (linearToSrgb_.empty()) {
      linearToSrgb_.resize(8193);
      for (int i = 0; i <= 8192; ++i) {
        const double l = i / 8192.0;
        const double s = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
        linearToSrgb_[size_t(i)] = uchar(std::lround(std::clamp(s, 0.0, 1.0) * 255));
      }
    }
    auto channel = [&](const uchar* p) {
      const int v = std::clamp<int>(qint16(qFromLittleEndian<quint16>(p)), 0, 8192);
      return linearToSrgb_[size_t(v)];
    };
    for (qint64 x = 0; x < h_.width; ++x) {
      const uchar* p = src + 8 * x;
      const int a = std::clamp<int>(qint16(qFromLittleEndian<quint16>(p + 6)), 0, 8192);
      const int alpha = (a * 255 + 4096) / 8192;
      if (alpha != 0) sawAlpha_ = true;
      out[x] = qRgba(channel(p + 4), channel(p + 2), channel(p), alpha);
    }
    h_.hasAlpha = true;
  }

  void decodeRle() {
    const uchar* d = reinterpret_cast<const uchar*>(bits_.data());
    qint64 pos = 0;
    const qint64 end = bits_.size();
    qint64 x = 0;
    qint64 y = 0;
    const int pixelBytes = h_.compression == Compression::Rle24 ? 3 : 1;
    auto put = [&](uint colour) {
      if (x < h_.width && y < h_.height) row(y)[x] = colour;
      ++x;
    };
    auto indexColour = [&](int index) { return palette_[size_t(index)]; };
    for (int op = 0; pos + 1 < end && y < h_.height; ++op) {
      // Rows can be long runs or many short ones: poll by operations.
      if ((op & 4095) == 0) DecodeCancel::poll();
      const int count = d[pos];
      const int code = d[pos + 1];
      pos += 2;
      if (count > 0) {
        // An encoded run; pixels past the right edge are dropped.
        if (h_.compression == Compression::Rle24) {
          // The colour is code (blue) and the next two bytes (green, red).
          if (pos + 2 > end) return;
          const uint colour = qRgb(d[pos + 1], d[pos], code);
          pos += 2;
          for (int i = 0; i < count; ++i) put(colour);
        } else if (h_.compression == Compression::Rle8) {
          const uint colour = indexColour(code);
          for (int i = 0; i < count; ++i) put(colour);
        } else {
          const uint colours[2] = {indexColour(code >> 4), indexColour(code & 15)};
          for (int i = 0; i < count; ++i) put(colours[i & 1]);
        }
        continue;
      }
      switch (code) {
        case kEndOfLine:
          x = 0;
          ++y;
          DecodeProgress::advance(int(std::min(y, h_.height)));
          break;
        case kEndOfBitmap:
          return;
        case kDelta:  // the skipped pixels keep the gap colour
          if (pos + 2 > end) return;
          x += d[pos];
          y += d[pos + 1];
          pos += 2;
          DecodeProgress::advance(int(std::min(y, h_.height)));
          break;
        default: {  // absolute run of `code` pixels, padded to a 16-bit boundary
          const int n = code;
          qint64 bytes = h_.compression == Compression::Rle4 ? (n + 1) / 2 : qint64(n) * pixelBytes;
          const qint64 avail = std::min(bytes, end - pos);
          if (h_.compression == Compression::Rle24) {
            for (qint64 i = 0; i + 3 <= avail; i += 3)
              put(qRgb(d[pos + i + 2], d[pos + i + 1], d[pos + i]));
          } else if (h_.compression == Compression::Rle8) {
            for (qint64 i = 0; i < avail; ++i) put(indexColour(d[pos + i]));
          } else {
            for (int i = 0; i < n && i / 2 < avail; ++i) {
              const int b = d[pos + i / 2];
              put(indexColour((i & 1) ? (b & 15) : (b >> 4)));
            }
          }
          pos += bytes + (bytes & 1);
          break;
        }
      }
    }
  }

  void decodePayload() {
    qint64 bytes = bits_.size();
    if (h_.payloadBytes > 0) bytes = std::min(bytes, h_.payloadBytes);
    if (bytes <= 0)
      fail(QCoreApplication::translate("ostrel::PictureLoader", "its embedded picture is missing"));
    const QByteArrayView payload = bits_.first(bytes);
    QImage inner = h_.compression == Compression::Jpeg
                       ? JpegDecoder::decode(payload, QSize()).image()
                       : QtImageDecoder::decode(payload, "png");
    image_ = inner.convertToFormat(QImage::Format_ARGB32);
  }

  void applyAndMask() {
    // The AND mask decides transparency unless the colours carry real alpha.
    if (h_.hasAlpha && sawAlpha_) return;
    const qint64 maskStride = ((h_.width + 31) / 32) * 4;
    const qint64 maskStart = stride() * h_.height;
    const uchar* d = reinterpret_cast<const uchar*>(bits_.data());
    for (qint64 y = 0; y < h_.height; ++y) {
      const qint64 start = maskStart + y * maskStride;
      uint* out = reinterpret_cast<uint*>(image_.scanLine(int(h_.height - 1 - y)));
      for (qint64 x = 0; x < h_.width; ++x) {
        const qint64 at = start + x / 8;
        if (h_.hasAlpha) out[x] |= 0xFF000000u;
        if (at < bits_.size() && (d[at] & (0x80 >> (x % 8)))) out[x] = 0;
      }
    }
    h_.hasAlpha = false;
    sawAlpha_ = true;
  }

  QImage finish() {
    // Alpha channels that are zero throughout are unused, not invisible
    // (unless the caller says alpha is meant).
    if (h_.hasAlpha && !sawAlpha_ && opts_.alpha != BmpDecoder::Alpha::Keep) {
      for (int y = 0; y < image_.height(); ++y) {
        uint* line = reinterpret_cast<uint*>(image_.scanLine(y));
        for (int x = 0; x < image_.width(); ++x) line[x] |= 0xFF000000u;
      }
    }
    if (image_.format() == QImage::Format_ARGB32) {
      bool opaque = true;
      for (int y = 0; y < image_.height() && opaque; ++y) {
        const uint* line = reinterpret_cast<const uint*>(image_.constScanLine(y));
        for (int x = 0; x < image_.width(); ++x) {
          if (qAlpha(line[x]) != 255) {
            opaque = false;
            break;
          }
        }
      }
      if (opaque) image_.reinterpretAsFormat(QImage::Format_RGB32);
    }
    return image_;
  }

  const Reader& r_;
  QByteArrayView bits_;  // the pixel data (and an icon's AND mask after it)
  qint64 bitsBytes_;
  const BmpDecoder::ReadAt* readAt_ = nullptr;
  // Read from the file, a group of rows at a time: enough for few reads,
  // few enough for the first rows to show at once.
  static constexpr qint64 kGroupBytes = qint64(256) * 1024;
  std::vector<uchar> group_;
  qint64 groupFirst_ = 0;
  qint64 groupRows_ = 0;
  Header h_;
  BmpDecoder::Layout layout_;
  BmpDecoder::DibOptions opts_;
  std::array<uint, 256> palette_{};
  std::vector<uchar> linearToSrgb_;
  QImage image_;
  uchar* pixels_ = nullptr;  // image_'s, taken while it was not shared
  bool sawAlpha_ = false;
  QSize shrink_;
  Rows rows_;
  uint gap_ = 0;
  std::optional<Shrinker> shrinker_;
  std::vector<uint> line_;
  qint64 lineRow_ = -1;
};

bool uncompressed(const Header& h) {
  return h.compression == Compression::Rgb || h.compression == Compression::BitFields;
}

}  // namespace

bool BmpDecoder::readsRows(QByteArrayView head, qint64 fileSize) {
  try {
    return uncompressed(parseHeader(Reader(head, fileSize), Layout::File, DibOptions{}));
  } catch (const DecodeFailure&) {
    return false;  // decode() tells why
  }
}

QImage BmpDecoder::decodeFile(QByteArrayView head, qint64 fileSize, const ReadAt& readAt) {
  const Reader r(head, fileSize);
  const DibOptions opts;
  const Header h = parseHeader(r, Layout::File, opts);
  Q_ASSERT(uncompressed(h));
  PictureLimits::check(h.width, h.height, fileSize);
  Decoder decoder(r, {}, h, Layout::File, opts, {1, 1}, Decoder::Rows::Shown);
  decoder.readRowsFrom(readAt, std::max<qint64>(0, fileSize - h.bitsOffset));
  return decoder.run();
}

BmpDecoder::Info BmpDecoder::peek(QByteArrayView data, Layout layout) {
  const Reader r(data);
  const Header h = parseHeader(r, layout, DibOptions{});
  return {int(std::min<qint64>(h.width, INT_MAX)), int(std::min<qint64>(h.height, INT_MAX)), h.bpp};
}

namespace {

QImage decodeParsed(const Reader& r, const Header& h, QByteArrayView bits, qint64 dataBytes,
                    BmpDecoder::Layout layout, const BmpDecoder::DibOptions& opts,
                    QSize shrink = {1, 1}, Decoder::Rows rows = Decoder::Rows::Kept) {
  if (h.compression != Compression::Jpeg && h.compression != Compression::Png) {
    PictureLimits::check(h.width, h.height, dataBytes);
  }
  return Decoder(r, bits, h, layout, opts, shrink, rows).run();
}

// Bitmaps larger than this many decoded bytes are previewed shrunk while
// they decode; smaller ones are decoded whole and scaled when drawn.
constexpr qint64 kShrinkFromBytes = qint64(16) * 1024 * 1024;

QSize shrinkFor(const Header& h, BmpDecoder::Layout layout, QSize preview) {
  const bool payload = h.compression == Compression::Jpeg || h.compression == Compression::Png;
  if (preview.isEmpty() || payload || layout == BmpDecoder::Layout::IconEntry ||
      h.width * h.height * 4 < kShrinkFromBytes) {
    return {1, 1};
  }
  return {int(std::max<qint64>(1, h.width / preview.width())),
          int(std::max<qint64>(1, h.height / preview.height()))};
}

}  // namespace

QImage BmpDecoder::decode(QByteArrayView data, Layout layout, QSize previewPixels) {
  const Reader r(data);
  const DibOptions opts;
  const Header h = parseHeader(r, layout, opts);
  const QByteArrayView bits = data.sliced(std::min<qint64>(h.bitsOffset, data.size()));
  // Only a bitmap file is shown as it decodes, not the bitmaps in records.
  return decodeParsed(r, h, bits, data.size(), layout, opts, shrinkFor(h, layout, previewPixels),
                      Decoder::Rows::Shown);
}

QImage BmpDecoder::decodeDib(QByteArrayView info, QByteArrayView bits, const DibOptions& options) {
  const Reader r(info);
  const Header h = parseHeader(r, Layout::Headerless, options);
  return decodeParsed(r, h, bits, info.size() + bits.size(), Layout::Headerless, options);
}

QImage BmpDecoder::decodePackedDib(QByteArrayView dib, const DibOptions& options) {
  const Reader r(dib);
  const Header h = parseHeader(r, Layout::Headerless, options);
  const QByteArrayView bits = dib.sliced(std::min<qint64>(h.bitsOffset, dib.size()));
  return decodeParsed(r, h, bits, dib.size(), Layout::Headerless, options);
}

}  // namespace ostrel
