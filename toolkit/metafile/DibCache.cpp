#include "toolkit/metafile/DibCache.h"

#include <uemf.h>

#include <QHash>
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "toolkit/metafile/RecordReader.h"
#include "toolkit/metafile/WmfRecords.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {

RecordReader readerOf(QByteArrayView bytes) {
  return RecordReader(bytes.data(), uint32_t(std::min<qsizetype>(bytes.size(), UINT32_MAX)));
}

bool equalBytes(QByteArrayView a, QByteArrayView b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

}  // namespace

qint64 DibCache::claimedPixels(const DibRef& dib) {
  // Only the fields up to the size count: a header cut short after them
  // still claims its pixels.
  const RecordReader r = readerOf(dib.header);
  qint64 width = 0, height = 0;
  if (dib.form == DibRef::Form::Bitmap16) {
    const auto bm = r.as<wmf::Bitmap16>(0, offsetof(wmf::Bitmap16, widthBytes));
    width = bm.width;
    height = bm.height;
  } else if (r.as<uint32_t>() == sizeof(wmf::BitmapCoreHeader)) {
    const auto core = r.as<wmf::BitmapCoreHeader>(0, offsetof(wmf::BitmapCoreHeader, planes));
    width = core.width;
    height = core.height;
  } else {
    const auto info = r.as<U_BITMAPINFOHEADER>(0, offsetof(U_BITMAPINFOHEADER, biPlanes));
    width = info.biWidth;
    height = info.biHeight;
  }
  height = std::abs(height);
  // A bitmap the decoder refuses costs nothing but its floor.
  if (!r.ok() || width <= 0 || height == 0 || width > PictureLimits::kMaxSide ||
      height > PictureLimits::kMaxSide || width * height > PictureLimits::kMaxPixels)
    return 0;
  return width * height;
}

size_t DibCache::hashOf(const DibRef& dib) {
  size_t seed = qHash(int(dib.form)) ^ qHash(dib.palColors);
  seed = qHashBits(dib.header.data(), size_t(dib.header.size()), seed);
  return qHashBits(dib.bits.data(), size_t(dib.bits.size()), seed);
}

bool DibCache::sameBytes(const DibRef& a, const DibRef& b) {
  return a.form == b.form && a.palColors == b.palColors && equalBytes(a.header, b.header) &&
         equalBytes(a.bits, b.bits);
}

bool DibCache::claim(const DibRef& dib) {
  const size_t hash = hashOf(dib);
  const auto [first, last] = claims_.equal_range(hash);
  if (std::any_of(first, last, [&](const auto& e) { return sameBytes(e.second, dib); }))
    return true;
  if (!claimPixels(claimedPixels(dib))) return false;
  claims_.emplace(hash, dib);
  return true;
}

bool DibCache::claimPixels(qint64 pixels) {
  pixels = std::max(pixels, kMinPixelsPerBitmap);
  if (pixels > budget_ - claimed_) return false;
  claimed_ += pixels;
  return true;
}

QImage DibCache::image(const DibRef& dib, const std::vector<QRgb>& palette, DibAlpha alpha) {
  // A palette-indexed bitmap looks different under each palette: decoded
  // afresh every time, though counted once.
  const size_t hash = hashOf(dib);
  if (!dib.palColors) {
    const auto [first, last] = images_.equal_range(hash);
    for (auto it = first; it != last; ++it)
      if (it->second.alpha == alpha && sameBytes(it->second.dib, dib)) return it->second.image;
  }
  if (!claim(dib)) {
    ++leftOut_;
    return {};
  }
  QImage decoded = decode(dib, palette, alpha);
  ++decoded_;
  decodedPixels_ += qint64(decoded.width()) * decoded.height();
  if (!dib.palColors) images_.emplace(hash, Decoded{dib, alpha, decoded});
  return decoded;
}

QImage DibCache::decode(const DibRef& dib, const std::vector<QRgb>& palette, DibAlpha alpha) {
  const auto size = [](QByteArrayView v) {
    return uint32_t(std::min<qsizetype>(v.size(), UINT32_MAX));
  };
  switch (dib.form) {
    case DibRef::Form::Split:
      return DibDecoder::decode(dib.header.data(), size(dib.header), dib.bits.data(),
                                size(dib.bits), dib.palColors, palette, alpha);
    case DibRef::Form::Packed:
      return DibDecoder::decodePacked(dib.header.data(), size(dib.header), dib.palColors, palette,
                                      alpha);
    case DibRef::Form::Bitmap16:
      return DibDecoder::decodeBitmap16(dib.header, dib.bits);
  }
  return {};
}

}  // namespace ostrel
