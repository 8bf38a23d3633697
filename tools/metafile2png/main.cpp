// metafile2png INPUT OUTPUT.png [WIDTH HEIGHT]
// Draws a WMF or EMF onto white paper at its natural size (or the size
// given) and saves it. Exit status 1 with the error text on a bad file.
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/MetafileDrawing.h"
#include "toolkit/metafile/MetafileReader.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 3 && args.size() != 5) {
    std::fprintf(stderr, "usage: metafile2png INPUT OUTPUT.png [WIDTH HEIGHT]\n");
    return 2;
  }
  QFile file(args[1]);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(args[1]), qPrintable(file.errorString()));
    return 1;
  }
  try {
    const auto drawing = ostrel::readMetafile(file.readAll(), args[1]);
    QSize size = drawing->naturalSize().toSize().expandedTo(QSize(1, 1));
    if (args.size() == 5) size = QSize(args[3].toInt(), args[4].toInt());
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      drawing->paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    if (qEnvironmentVariableIsSet("METAFILE2PNG_STATS")) {
      const auto* m = dynamic_cast<const ostrel::MetafileDrawing*>(drawing.get());
      const auto work = m->lastPaintWork();
      std::fprintf(stderr,
                   "records %zu unsupported %d rejected %d truncated %d size %gx%g bitmaps %d "
                   "(%lld px) work %lld left out %d\n",
                   m->recordCount(), m->unsupportedRecords(), m->rejectedRecords(),
                   int(m->truncated()), drawing->naturalSize().width(),
                   drawing->naturalSize().height(), work.bitmapsDecoded,
                   static_cast<long long>(work.pixelsDecoded), static_cast<long long>(work.work),
                   work.leftOut);
    }
    if (!image.save(args[2], "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(args[2]));
      return 1;
    }
  } catch (const ostrel::ToolkitError& e) {
    std::fprintf(stderr, "%s\n", qPrintable(e.Description()));
    return 1;
  }
  return 0;
}
