#include "fuzz/PictureFuzzer.h"

#include <QImage>
#include <QPainter>
#include <cstring>

#include "fuzz/MetafileFuzzer.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/PictureLimits.h"
#include "toolkit/picture/PictureLoader.h"

namespace ostrel {

void PictureFuzzer::init() {
  // Qt's readers complain about every damaged input; the log would be nothing else.
  qputenv("QT_LOGGING_RULES", "qt.gui.imageio*=false");
  MetafileFuzzer::init();
}

QByteArray PictureFuzzer::withMagic(const uint8_t* data, size_t size, const char* magic,
                                    size_t magicSize) {
  QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  if (size < magicSize || std::memcmp(data, magic, magicSize) != 0)
    bytes.prepend(magic, qsizetype(magicSize));
  return bytes;
}

int PictureFuzzer::run(const QByteArray& bytes, QSize previewPixels) {
  try {
    const Picture picture = PictureLoader::decode(bytes, QStringLiteral("fuzz.bin"), previewPixels);
    // A loaded picture has pixels, and no more than the limits allow.
    if (picture.isNull()) __builtin_trap();
    const QSize natural = picture.naturalSize();
    if (natural.isEmpty() || qint64(natural.width()) * natural.height() > PictureLimits::kMaxPixels)
      __builtin_trap();
    QImage target(24, 20, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    QPainter painter(&target);
    picture.paint(painter, QRectF(1, 2, 21, 15));
  } catch (const ToolkitError&) {
  }
  return 0;
}

}  // namespace ostrel
