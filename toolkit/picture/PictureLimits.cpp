#include "toolkit/picture/PictureLimits.h"

#include <QCoreApplication>
#include <QLocale>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"

namespace ostrel {

void PictureLimits::check(qint64 width, qint64 height, qint64 dataBytes) {
  if (width <= 0 || height <= 0) {
    throw DecodeFailure(
        err::InvalidPicture,
        QCoreApplication::translate("ostrel::PictureLoader",
                                    "its header gives an impossible size of %1 × %2 pixels")
            .arg(QLocale().toString(width))
            .arg(QLocale().toString(height)));
  }
  if (width > kMaxSide || height > kMaxSide) {
    throw DecodeFailure(
        err::OutOfMemory,
        QCoreApplication::translate("ostrel::PictureLoader",
                                    "the picture is %1 × %2 pixels, and this program shows at "
                                    "most %3 pixels a side")
            .arg(QLocale().toString(width))
            .arg(QLocale().toString(height))
            .arg(QLocale().toString(kMaxSide)));
  }
  if (width * height > kMaxPixels) {
    throw DecodeFailure(
        err::OutOfMemory,
        QCoreApplication::translate("ostrel::PictureLoader",
                                    "the picture is %1 × %2 pixels, more than the %3 megapixels "
                                    "this program shows")
            .arg(QLocale().toString(width))
            .arg(QLocale().toString(height))
            .arg(QLocale().toString(kMaxPixels / 1000000)));
  }
  const qint64 decoded = width * height * 4;
  if (decoded > kTrustedDecodedBytes && decoded / kMaxExpansion > qMax<qint64>(dataBytes, 1)) {
    throw DecodeFailure(err::InvalidPicture,
                        QCoreApplication::translate(
                            "ostrel::PictureLoader",
                            "its header claims %1 × %2 pixels, far more than its %3 bytes can hold")
                            .arg(QLocale().toString(width))
                            .arg(QLocale().toString(height))
                            .arg(QLocale().toString(dataBytes)));
  }
}

void PictureLimits::checkNatural(qint64 width, qint64 height) {
  if (width * height <= kMaxNaturalPixels) return;
  throw DecodeFailure(
      err::OutOfMemory,
      QCoreApplication::translate("ostrel::PictureLoader",
                                  "the picture is %1 × %2 pixels, more than the %3 megapixels "
                                  "this program shows at natural size; its preview shows it whole")
          .arg(QLocale().toString(width))
          .arg(QLocale().toString(height))
          .arg(QLocale().toString(kMaxNaturalPixels / 1000000)));
}

}  // namespace ostrel
