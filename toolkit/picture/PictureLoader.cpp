#include "toolkit/picture/PictureLoader.h"

#include <QCoreApplication>
#include <new>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/metafile/MetafileReader.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/GifDecoder.h"
#include "toolkit/picture/IconDecoder.h"
#include "toolkit/picture/JpegDecoder.h"
#include "toolkit/picture/PictureFile.h"
#include "toolkit/picture/PictureSniffer.h"
#include "toolkit/picture/QtImageDecoder.h"

namespace ostrel {

namespace {

Picture decodeRaster(const QByteArray& bytes, QSize previewPixels) {
  const QByteArrayView data(bytes);
  switch (PictureSniffer::sniff(data)) {
    case PictureFormat::Bmp:
      return Picture::fromImage(BmpDecoder::decode(data, BmpDecoder::Layout::File));
    case PictureFormat::HeaderlessDib:
      return Picture::fromImage(BmpDecoder::decode(data, BmpDecoder::Layout::Headerless));
    case PictureFormat::Jpeg:
      return JpegDecoder::decode(data, previewPixels);
    case PictureFormat::Gif:
      return Picture::fromImage(GifDecoder::decode(data));
    case PictureFormat::Png:
      return Picture::fromImage(QtImageDecoder::decode(data, "png"));
    case PictureFormat::Icon:
      return Picture::fromImage(IconDecoder::decode(data));
    case PictureFormat::Metafile:
    case PictureFormat::Unknown:
      break;
  }
  throw DecodeFailure(err::InvalidPicture,
                      QCoreApplication::translate(
                          "ostrel::PictureLoader",
                          "its content is not that of a bitmap, JPEG, GIF, icon or metafile"));
}

}  // namespace

Picture PictureLoader::decode(const QByteArray& bytes, const QString& fileName,
                              QSize previewPixels) {
  const QString name = FileNames::shown(fileName);
  if (PictureSniffer::sniff(bytes) == PictureFormat::Metafile) {
    Picture drawing = Picture::fromDrawing(readMetafile(bytes, fileName));
    drawing.setFileName(fileName);
    return drawing;
  }
  try {
    return decodeRaster(bytes, previewPixels);
  } catch (const DecodeFailure& failure) {
    if (failure.number() == err::OutOfMemory) {
      throw ToolkitError(err::OutOfMemory,
                         QCoreApplication::translate("ostrel::PictureLoader",
                                                     "The file “%1” is too large to show: %2.")
                             .arg(name, failure.reason()));
    }
    throw ToolkitError(
        failure.number(),
        QCoreApplication::translate("ostrel::PictureLoader",
                                    "The file “%1” is not a picture this program can show: %2.")
            .arg(name, failure.reason()));
  } catch (const std::bad_alloc&) {
    throw ToolkitError(err::OutOfMemory,
                       QCoreApplication::translate(
                           "ostrel::PictureLoader",
                           "The file “%1” is too large to show: there is not enough memory.")
                           .arg(name));
  }
}

Picture PictureLoader::load(const QString& fullName) {
  return decode(PictureFile::read(fullName), fullName, QSize());
}

Picture PictureLoader::loadForPreview(const QString& fullName, QSize previewPixels) {
  return decode(PictureFile::read(fullName), fullName, previewPixels);
}

}  // namespace ostrel
