#include "toolkit/picture/JpegDecoder.h"

#include <turbojpeg.h>

#include <QCoreApplication>
#include <QTransform>
#include <memory>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeCancel.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/ImageAllocator.h"
#include "toolkit/picture/JpegHeaderInfo.h"
#include "toolkit/picture/PictureLimits.h"
#include "toolkit/picture/QtImageDecoder.h"

namespace ostrel {

namespace {

struct TjDestroy {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDestroy>;

// Pixel layout matching QImage::Format_RGB32 (0xffRRGGBB in native order).
constexpr int kRgb32PixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRX : TJPF_XRGB;

// libjpeg-turbo hands CMYK over as stored; Adobe writers store it inverted.
void cmykToRgb(QImage& image, bool inverted) {
  for (int y = 0; y < image.height(); ++y) {
    uchar* p = image.scanLine(y);
    uint* out = reinterpret_cast<uint*>(p);
    for (int x = 0; x < image.width(); ++x, p += 4) {
      int c = p[0], m = p[1], ye = p[2], k = p[3];
      if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        ye = 255 - ye;
        k = 255 - k;
      }
      out[x] = qRgb(c * k / 255, m * k / 255, ye * k / 255);
    }
  }
}

Picture decodeWithQt(QByteArrayView data, QSize previewPixels, const JpegHeaderInfo& info,
                     const QString& turboReason) {
  QSize natural = QtImageDecoder::peekSize(data, "jpeg");
  if (info.swapsSides()) natural.transpose();
  // Qt applies a requested size before it turns the picture.
  QSize scaled;
  if (!previewPixels.isEmpty() && natural.isValid()) {
    scaled = natural.scaled(previewPixels, Qt::KeepAspectRatioByExpanding).boundedTo(natural);
    if (info.swapsSides()) scaled.transpose();
  }
  try {
    QImage image =
        QtImageDecoder::decode(data, "jpeg", scaled, QtImageDecoder::Orientation::Upright);
    return Picture::fromImage(std::move(image), natural.isValid() ? natural : QSize());
  } catch (const DecodeFailure& failure) {
    if (failure.number() != err::InvalidPicture || turboReason.isEmpty()) throw;
    throw DecodeFailure(
        err::InvalidPicture,
        QCoreApplication::translate("ostrel::PictureLoader", "its JPEG data is damaged (%1)")
            .arg(turboReason));
  }
}

}  // namespace

JpegDecoder::Scale JpegDecoder::scaleFor(QSize stored, QSize wanted) {
  Scale best;
  int count = 0;
  const tjscalingfactor* factors = tjGetScalingFactors(&count);
  qint64 bestArea = qint64(stored.width()) * stored.height();
  for (int i = 0; factors && i < count; ++i) {
    const tjscalingfactor f = factors[i];
    if (f.num > f.denom) continue;
    const int w = TJSCALED(stored.width(), f);
    const int h = TJSCALED(stored.height(), f);
    if (w < wanted.width() || h < wanted.height()) continue;
    if (qint64(w) * h < bestArea) {
      bestArea = qint64(w) * h;
      best = {f.num, f.denom};
    }
  }
  return best;
}

QImage JpegDecoder::orient(QImage image, int orientation) {
  switch (orientation) {
    case 2:
      return image.mirrored(true, false);
    case 3:
      return image.transformed(QTransform().rotate(180));
    case 4:
      return image.mirrored(false, true);
    case 5:
      return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
      return image.transformed(QTransform().rotate(90));
    case 7:
      return image.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8:
      return image.transformed(QTransform().rotate(270));
    default:
      return image;
  }
}

Picture JpegDecoder::decode(QByteArrayView data, QSize previewPixels) {
  const JpegHeaderInfo info = JpegHeaderInfo::scan(data);
  TjHandle tj(tjInitDecompress());
  if (!tj)
    throw DecodeFailure(
        err::OutOfMemory,
        QCoreApplication::translate("ostrel::PictureLoader", "there is not enough memory"));
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  const auto size = static_cast<unsigned long>(data.size());
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(tj.get(), bytes, size, &width, &height, &subsampling, &colorspace) != 0) {
    return decodeWithQt(data, previewPixels, info,
                        QString::fromLocal8Bit(tjGetErrorStr2(tj.get())));
  }
  PictureLimits::check(width, height, data.size());
  const QSize stored(width, height);
  const QSize natural = info.swapsSides() ? stored.transposed() : stored;
  // The decode is one call: a cancelled one stops before it starts.
  DecodeCancel::poll();

  tjscalingfactor factor{1, 1};
  if (!previewPixels.isEmpty()) {
    const Scale s =
        scaleFor(stored, info.swapsSides() ? previewPixels.transposed() : previewPixels);
    factor = {s.num, s.denom};
  }
  const int w = TJSCALED(width, factor);
  const int h = TJSCALED(height, factor);

  const bool gray = colorspace == TJCS_GRAY;
  const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
  // CMYK has four bytes a pixel like RGB32: decode into the picture's own
  // buffer and convert in place.
  QImage image =
      ImageAllocator::create(w, h, gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
  if (image.isNull())
    throw DecodeFailure(
        err::OutOfMemory,
        QCoreApplication::translate("ostrel::PictureLoader", "there is not enough memory"));
  const int pixelFormat = gray ? TJPF_GRAY : cmyk ? TJPF_CMYK : kRgb32PixelFormat;
  // Scans beyond libjpeg-turbo's sane limit mean a file built to stall us.
  const int flags = TJFLAG_LIMITSCANS;
  if (tjDecompress2(tj.get(), bytes, size, image.bits(), w, int(image.bytesPerLine()), h,
                    pixelFormat, flags) != 0 &&
      tjGetErrorCode(tj.get()) == TJERR_FATAL) {
    // Warnings (a file that ends early, a bad Huffman code) leave a picture
    // shown as far as it decodes; a fatal error gets a second opinion.
    return decodeWithQt(data, previewPixels, info,
                        QString::fromLocal8Bit(tjGetErrorStr2(tj.get())));
  }
  if (cmyk) cmykToRgb(image, info.adobe || colorspace == TJCS_YCCK);
  return Picture::fromImage(orient(std::move(image), info.orientation), natural);
}

}  // namespace ostrel
