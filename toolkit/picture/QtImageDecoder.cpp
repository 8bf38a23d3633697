#include "toolkit/picture/QtImageDecoder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {}  // namespace

QSize QtImageDecoder::peekSize(QByteArrayView data, const char* format) {
  QByteArray bytes = QByteArray::fromRawData(data.data(), data.size());
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setDecideFormatFromContent(false);
  return reader.size();
}

QImage QtImageDecoder::decode(QByteArrayView data, const char* format, QSize scaledSize,
                              Orientation orientation) {
  // The reader's budget is process-wide; ours is enforced by PictureLimits.
  QImageReader::setAllocationLimit(PictureLimits::kReaderAllocationLimitMB);
  QByteArray bytes = QByteArray::fromRawData(data.data(), data.size());
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setDecideFormatFromContent(false);
  reader.setAutoTransform(orientation == Orientation::Upright);
  const QString name = QString::fromLatin1(format).toUpper();
  const QSize size = reader.size();
  if (size.isValid()) PictureLimits::check(size, data.size());
  if (!scaledSize.isEmpty()) reader.setScaledSize(scaledSize);
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    throw DecodeFailure(
        err::InvalidPicture,
        QCoreApplication::translate("ostrel::PictureLoader", "its %1 data is damaged or ends early")
            .arg(name));
  }
  return image;
}

}  // namespace ostrel
