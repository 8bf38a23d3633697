#include "toolkit/metafile/EmfPlusImage.h"

#include <QByteArray>

#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/EmfDecoder.h"
#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusReader.h"
#include "toolkit/metafile/GdiNames.h"
#include "toolkit/metafile/MetafileReader.h"
#include "toolkit/metafile/RecordReader.h"
#include "toolkit/metafile/WmfDecoder.h"
#include "toolkit/picture/PictureLoader.h"
#include "toolkit/picture/PictureSniffer.h"
#include "toolkit/picture/QtImageDecoder.h"

namespace ostrel {

namespace {

// A placeable WMF header's size as WMF files store it.
constexpr uint32_t kPlaceableSize = 22;

// A 16-bit channel value's top eight bits.
uint8_t high(const uchar* p) {
  return p[1];
}

QRgb pixelAt(const uchar* row, int x, uint32_t format, const std::vector<QRgb>& palette) {
  auto indexed = [&](uint32_t i) { return i < palette.size() ? palette[i] : qRgb(0, 0, 0); };
  switch (format) {
    case U_PF_1bppIndexed:
      return indexed((row[x / 8] >> (7 - x % 8)) & 1);
    case U_PF_4bppIndexed:
      return indexed((row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
    case U_PF_8bppIndexed:
      return indexed(row[x]);
    case emfplus::kPixelFormat16Gray: {
      const uint8_t g = high(row + 2 * x);
      return qRgb(g, g, g);
    }
    case emfplus::kPixelFormat16Rgb555:
    case emfplus::kPixelFormat16Argb1555: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      const int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      const int a = format == emfplus::kPixelFormat16Argb1555 && !(v & 0x8000) ? 0 : 255;
      return qRgba(r * 255 / 31, g * 255 / 31, b * 255 / 31, a);
    }
    case emfplus::kPixelFormat16Rgb565: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      return qRgb(((v >> 11) & 31) * 255 / 31, ((v >> 5) & 63) * 255 / 63, (v & 31) * 255 / 31);
    }
    case emfplus::kPixelFormat24Rgb:
      return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case emfplus::kPixelFormat32Rgb:
      return qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    case emfplus::kPixelFormat32Argb:
    case emfplus::kPixelFormat32Pargb:
      return qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
    case emfplus::kPixelFormat48Rgb:
      return qRgb(high(row + 6 * x + 4), high(row + 6 * x + 2), high(row + 6 * x));
    case emfplus::kPixelFormat64Argb:
    case emfplus::kPixelFormat64Pargb:
      return qRgba(high(row + 8 * x + 4), high(row + 8 * x + 2), high(row + 8 * x),
                   high(row + 8 * x + 6));
    default:
      return qRgb(0, 0, 0);
  }
}

bool knownFormat(uint32_t format) {
  switch (format) {
    case U_PF_1bppIndexed:
    case U_PF_4bppIndexed:
    case U_PF_8bppIndexed:
    case emfplus::kPixelFormat16Gray:
    case emfplus::kPixelFormat16Rgb555:
    case emfplus::kPixelFormat16Rgb565:
    case emfplus::kPixelFormat16Argb1555:
    case emfplus::kPixelFormat24Rgb:
    case emfplus::kPixelFormat32Rgb:
    case emfplus::kPixelFormat32Argb:
    case emfplus::kPixelFormat32Pargb:
    case emfplus::kPixelFormat48Rgb:
    case emfplus::kPixelFormat64Argb:
    case emfplus::kPixelFormat64Pargb:
      return true;
    default:
      return false;
  }
}

// The size a compressed bitmap's own header gives, read without decoding.
QSize storedSize(QByteArrayView data) {
  switch (PictureSniffer::sniff(data)) {
    case PictureFormat::Png:
      return QtImageDecoder::pngSize(data);
    case PictureFormat::Jpeg:
      return QtImageDecoder::peekSize(data, "jpeg");
    case PictureFormat::Gif:
      return QtImageDecoder::peekSize(data, "gif");
    case PictureFormat::Bmp:
      return QtImageDecoder::peekSize(data, "bmp");
    default:
      return {};
  }
}

}  // namespace

QRectF EmfPlusImage::bounds() const {
  // A WMF's own units are those of its window (the placeable header's box);
  // an EMF's are its reference device's pixels.
  if (metafile_) return frame_;
  return QRectF(QPointF(0, 0), QSizeF(bitmap_.size()));
}

EmfPlusImage EmfPlusImage::read(EmfPlusReader& r, DibCache& bitmaps, int nesting) {
  EmfPlusImage image;
  r.u32();  // version
  const uint32_t type = r.u32();
  if (type == emfplus::kImageBitmap) {
    const int32_t width = r.i32(), height = r.i32(), stride = r.i32();
    const uint32_t format = r.u32(), storage = r.u32();
    if (!r.ok()) return image;
    if (storage == emfplus::kBitmapCompressed) {
      image.bitmap_ = compressed(r, bitmaps);
    } else if (storage == emfplus::kBitmapPixels && width > 0 && height > 0 &&
               knownFormat(format) && bitmaps.claimPixels(qint64(width) * height)) {
      image.bitmap_ = pixels(r, width, height, stride, format);
    }
  } else if (type == emfplus::kImageMetafile && nesting < kMaxNesting) {
    image.metafile_ = metafileOf(r, image.frame_);
  }
  return image;
}

QImage EmfPlusImage::pixels(EmfPlusReader& r, int width, int height, int stride, uint32_t format) {
  std::vector<QRgb> palette;
  if (format & emfplus::kPixelFormatIndexed) {
    r.u32();  // palette style
    const uint32_t count = r.u32();
    if (!r.fits(count, 4) || count > 256) return {};
    for (uint32_t i = 0; i < count; ++i) palette.push_back(r.argb().rgba());
  }
  const int64_t rowBytes = (int64_t(width) * emfplus::bitsPerPixel(format) + 7) / 8;
  if (stride < rowBytes || !r.fits(uint64_t(height), uint64_t(stride))) return {};
  const bool alpha = format & (emfplus::kPixelFormatAlpha | emfplus::kPixelFormatPremultiplied);
  QImage image(width, height,
               format & emfplus::kPixelFormatPremultiplied ? QImage::Format_ARGB32_Premultiplied
               : alpha || (format & emfplus::kPixelFormatIndexed) ? QImage::Format_ARGB32
                                                                  : QImage::Format_RGB32);
  if (image.isNull()) return {};
  const auto* bits = reinterpret_cast<const uchar*>(r.current());
  for (int y = 0; y < height; ++y) {
    const uchar* row = bits + int64_t(y) * stride;
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) out[x] = pixelAt(row, x, format, palette);
  }
  r.skip(uint64_t(height) * uint64_t(stride));
  return image;
}

QImage EmfPlusImage::compressed(EmfPlusReader& r, DibCache& bitmaps) {
  const QByteArray bytes(r.current(), r.remaining());
  r.skip(r.remaining());
  const QSize size = storedSize(bytes);
  if (size.isEmpty() || !bitmaps.claimPixels(qint64(size.width()) * size.height())) return {};
  try {
    const Picture picture = PictureLoader::decode(bytes, QStringLiteral("EMF+"), QSize());
    return picture.isDrawing() ? QImage() : picture.image();
  } catch (const ToolkitError&) {
    return {};
  }
}

std::shared_ptr<const MetafileContent> EmfPlusImage::metafileOf(EmfPlusReader& r, QRectF& frame) {
  const uint32_t type = r.u32();
  uint32_t size = r.u32();
  if (!r.ok() || size > r.remaining()) return nullptr;
  // GDI+ counts a placeable WMF's size without its header, which it pads
  // from 22 bytes to 24: the WMF header (memory or disk kind, nine words
  // long) then starts two bytes late.
  const RecordReader w(r.current(), r.remaining());
  const bool padded = type == U_MDT_WmfPlaceable && w.u16(kPlaceableSize) == 0 &&
                      (w.u16(kPlaceableSize + 2) == U_MEMORYMETAFILE ||
                       w.u16(kPlaceableSize + 2) == U_DISKMETAFILE) &&
                      w.u16(kPlaceableSize + 4) == gdi::kWmfHeaderWords;
  if (padded) size = std::min(r.remaining(), size + kPlaceableSize + 2);
  QByteArray bytes(r.current(), size);
  r.skip(size);
  if (padded) bytes.remove(kPlaceableSize, 2);
  try {
    MetafileContent content;
    switch (type) {
      case U_MDT_Wmf:
      case U_MDT_WmfPlaceable:
        // The image's units stay the WMF's even when the EMF it carries is drawn.
        content = WmfDecoder::parse(bytes, QStringLiteral("EMF+"));
        frame = content.setup.window;
        content = drawnContentOf(std::move(content), QStringLiteral("EMF+"));
        break;
      case U_MDT_Emf:
      case U_MDT_EmfPlusOnly:
      case U_MDT_EmfPlusDual:
        content = EmfDecoder::parse(bytes, QStringLiteral("EMF+"));
        frame = content.deviceFrame;
        break;
      default:
        return nullptr;
    }
    return std::make_shared<const MetafileContent>(std::move(content));
  } catch (const ToolkitError&) {
    return nullptr;
  }
}

}  // namespace ostrel
