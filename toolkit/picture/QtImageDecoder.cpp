#include "toolkit/picture/QtImageDecoder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QtEndian>
#include <climits>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {

constexpr QByteArrayView kPngSignature("\x89PNG\r\n\x1a\n", 8);

}  // namespace

QSize QtImageDecoder::peekSize(QByteArrayView data, const char* format) {
  QByteArray bytes = QByteArray::fromRawData(data.data(), data.size());
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setDecideFormatFromContent(false);
  return reader.size();
}

QSize QtImageDecoder::pngSize(QByteArrayView data) {
  // Signature, then the first chunk: length, "IHDR", width, height (big-endian).
  if (data.size() < 24 || !data.startsWith(kPngSignature) || data.sliced(12, 4) != "IHDR")
    return {};
  const quint32 width = qFromBigEndian<quint32>(data.data() + 16);
  const quint32 height = qFromBigEndian<quint32>(data.data() + 20);
  if (width > quint32(INT_MAX) || height > quint32(INT_MAX)) return {};
  return {int(width), int(height)};
}

bool QtImageDecoder::pngChunksFit(QByteArrayView data) {
  if (!data.startsWith(kPngSignature)) return false;
  // Each chunk: length, type, data, CRC; IEND ends the picture.
  for (qint64 at = kPngSignature.size(); at + 12 <= data.size();) {
    const qint64 length = qFromBigEndian<quint32>(data.data() + at);
    if (length > data.size() - at - 12) return false;
    if (data.sliced(at + 4, 4) == "IEND") return true;
    at += 12 + length;
  }
  return false;
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
  // libpng reserves and clears what a chunk's length claims before it reads
  // the chunk: a 354-byte icon whose text chunk claimed 2 GB cost 2 GB and
  // 5 s. A PNG whose chunks do not end inside the data fails in Qt's reader
  // anyway, so it is refused first.
  if (qstrcmp(format, "png") == 0 && !pngChunksFit(data))
    throw DecodeFailure(
        err::InvalidPicture,
        QCoreApplication::translate("ostrel::PictureLoader", "its %1 data is damaged or ends early")
            .arg(name));
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
