#include "fuzz/MetafileFuzzer.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstring>

#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/MetafileReader.h"

namespace ostrel {

void MetafileFuzzer::init() {
  static int argc = 1;
  static char name[] = "fuzz";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(argc, argv);
}

int MetafileFuzzer::run(const uint8_t* data, size_t size, const char* prefix, size_t prefixSize) {
  QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  if (prefixSize > 0 && (size < prefixSize || std::memcmp(data, prefix, prefixSize) != 0))
    bytes.prepend(prefix, qsizetype(prefixSize));
  try {
    const auto drawing = readMetafile(bytes, QStringLiteral("fuzz.bin"));
    QImage image(48, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawing->paint(painter, QRectF(2, 3, 43, 31));
  } catch (const ToolkitError&) {
  }
  return 0;
}

}  // namespace ostrel
