#include "toolkit/metafile/DibDecoder.h"

#include <algorithm>
#include <cstddef>

#include "toolkit/metafile/GdiNames.h"
#include "toolkit/metafile/RecordReader.h"
#include "toolkit/metafile/WmfRecords.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {

BmpDecoder::DibOptions optionsFor(bool palColors, const std::vector<QRgb>& palette,
                                  DibAlpha alpha) {
  BmpDecoder::DibOptions o;
  // Where the data ends early the paper shows, as if nothing were drawn
  // there; opaque white on an opaque bitmap.
  o.missing = alpha == DibAlpha::Keep ? 0u : 0xFFFFFFFFu;
  o.alpha = alpha == DibAlpha::Keep ? BmpDecoder::Alpha::Keep : BmpDecoder::Alpha::Ignore;
  o.paletteIndexes = palColors ? &palette : nullptr;
  o.rleGapsInFirstColour = true;
  return o;
}

// Bitmaps for AlphaBlend hold premultiplied colour: read as such, with the
// colour kept within the alpha so that the image stays valid.
QImage asMetafileBitmap(QImage image, DibAlpha alpha) {
  if (image.isNull()) return image;
  if (alpha == DibAlpha::Ignore) return image.convertToFormat(QImage::Format_RGB32);
  image = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int a = qAlpha(line[x]);
      line[x] = qRgba(std::min(qRed(line[x]), a), std::min(qGreen(line[x]), a),
                      std::min(qBlue(line[x]), a), a);
    }
  }
  image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
  return image;
}

// Records embedding a JPEG or PNG do not always say truthfully which of the
// two it is: the data decides.
bool embedsPicture(QByteArrayView info) {
  const RecordReader r(info.data(), uint32_t(std::min<qsizetype>(info.size(), UINT32_MAX)));
  const auto h = r.as<U_BITMAPINFOHEADER>(0, offsetof(U_BITMAPINFOHEADER, biSizeImage));
  return r.ok() && h.biSize >= sizeof(U_BITMAPINFOHEADER) &&
         (h.biCompression == U_BI_JPEG || h.biCompression == U_BI_PNG);
}

QImage embeddedPicture(QByteArrayView bits) {
  QImage image = QImage::fromData(bits);
  if (image.isNull() ||
      qint64(image.width()) * image.height() > PictureLimits::kMaxDrawingBitmapPixels)
    return {};
  return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

QImage DibDecoder::decode(const char* header, uint32_t headerSize, const char* bitsData,
                          uint32_t bitsSize, bool palColors, const std::vector<QRgb>& palette,
                          DibAlpha alpha) {
  const QByteArrayView info(header, headerSize), bits(bitsData, bitsSize);
  if (embedsPicture(info)) return embeddedPicture(bits);
  try {
    return asMetafileBitmap(
        BmpDecoder::decodeDib(info, bits, optionsFor(palColors, palette, alpha)), alpha);
  } catch (const DecodeFailure&) {
    return {};  // the record is left out
  }
}

QImage DibDecoder::decodePacked(const char* data, uint32_t size, bool palColors,
                                const std::vector<QRgb>& palette, DibAlpha alpha) {
  const QByteArrayView dib(data, size);
  if (embedsPicture(dib)) {
    const uint32_t headerSize = RecordReader(data, size).as<uint32_t>();
    return headerSize < size ? embeddedPicture(dib.sliced(headerSize)) : QImage();
  }
  try {
    return asMetafileBitmap(BmpDecoder::decodePackedDib(dib, optionsFor(palColors, palette, alpha)),
                            alpha);
  } catch (const DecodeFailure&) {
    return {};
  }
}

QImage DibDecoder::decodeBitmap16(QByteArrayView header, QByteArrayView bitsData) {
  const RecordReader r(header.data(), uint32_t(std::min<qsizetype>(header.size(), UINT32_MAX)));
  const auto bm = r.as<wmf::Bitmap16>();
  const int width = bm.width, height = bm.height, widthBytes = bm.widthBytes;
  const int planes = bm.planes, bitsPixel = bm.bitsPixel;
  if (!r.ok() || width <= 0 || height <= 0 || planes != 1 || widthBytes <= 0) return {};
  if (bitsPixel != 1 && bitsPixel != 24 && bitsPixel != 32) return {};
  if (uint64_t(widthBytes) * 8 < uint64_t(width) * bitsPixel) return {};
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  image.fill(Qt::white);
  const RecordReader bits(bitsData.data(),
                          uint32_t(std::min<qsizetype>(bitsData.size(), UINT32_MAX)));
  for (int y = 0; y < height; ++y) {
    uint64_t row = uint64_t(y) * widthBytes;
    if (!bits.has(row, widthBytes)) break;
    const auto* s = reinterpret_cast<const uint8_t*>(bitsData.data() + row);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      if (bitsPixel == 1)
        line[x] = (s[x / 8] >> (7 - x % 8)) & 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
      else if (bitsPixel == 24)
        line[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
      else
        line[x] = qRgb(s[4 * x + 2], s[4 * x + 1], s[4 * x]);
    }
  }
  return image;
}

}  // namespace ostrel
