#include "toolkit/picture/JpegDecoder.h"

#include <turbojpeg.h>

#include <QCoreApplication>
#include <QTransform>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeCancel.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/DecodeProgress.h"
#include "toolkit/picture/ImageAllocator.h"
#include "toolkit/picture/JpegHeaderInfo.h"
#include "toolkit/picture/JpegRowReader.h"
#include "toolkit/picture/PictureLimits.h"
#include "toolkit/picture/QtImageDecoder.h"

namespace ostrel {

namespace {

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
  JpegRowReader reader(data);
  if (!reader.readHeader()) return decodeWithQt(data, previewPixels, info, reader.error());
  const QSize stored = reader.storedSize();
  PictureLimits::check(stored.width(), stored.height(), data.size());
  const QSize natural = info.swapsSides() ? stored.transposed() : stored;
  DecodeCancel::poll();

  Scale scale;
  if (!previewPixels.isEmpty())
    scale = scaleFor(stored, info.swapsSides() ? previewPixels.transposed() : previewPixels);
  const QSize size = reader.scaledSize(scale.num, scale.denom);

  const JpegRowReader::Colours colours = reader.colours();
  const bool gray = colours == JpegRowReader::Colours::Gray;
  // CMYK has four bytes a pixel like RGB32: decode into the picture's own
  // buffer and convert in place.
  QImage image = ImageAllocator::create(size.width(), size.height(),
                                        gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
  if (image.isNull())
    throw DecodeFailure(
        err::OutOfMemory,
        QCoreApplication::translate("ostrel::PictureLoader", "there is not enough memory"));
  // The pointer is taken before the image is shared with the interface:
  // writing through it never copies the buffer. Rows are shown as they come
  // only where they are final as decoded, upright and in RGB; a progressive
  // file comes out of libjpeg once all its scans are read, so its rows are
  // final too.
  uchar* bits = image.bits();
  const bool shownAsDecoded = (info.orientation < 2 || info.orientation > 8) &&
                              (gray || colours == JpegRowReader::Colours::Rgb);
  if (shownAsDecoded) DecodeProgress::publish(image, DecodeProgress::Order::TopDown);
  // A fatal error gets a second opinion; rows a damaged or short file never
  // reaches stay black.
  if (!reader.decode(bits, image.bytesPerLine(), size, scale.num, scale.denom))
    return decodeWithQt(data, previewPixels, info, reader.error());
  if (colours == JpegRowReader::Colours::Cmyk || colours == JpegRowReader::Colours::Ycck)
    cmykToRgb(image, info.adobe || colours == JpegRowReader::Colours::Ycck);
  return Picture::fromImage(orient(std::move(image), info.orientation), natural);
}

}  // namespace ostrel
