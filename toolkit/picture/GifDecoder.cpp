#include "toolkit/picture/GifDecoder.h"

#include <QCoreApplication>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/GifReader.h"

namespace ostrel {

QImage GifDecoder::decode(QByteArrayView data) {
  GifReader reader(data);
  reader.nextFrame();
  if (reader.cutShort()) {
    throw DecodeFailure(
        err::InvalidPicture,
        QCoreApplication::translate("ostrel::PictureLoader", "the GIF data ends early"));
  }
  return reader.screen();
}

}  // namespace ostrel
