#include "toolkit/Icons.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <initializer_list>

namespace ostrel {

namespace {

// Read as PNG by name: left to guess, Qt's image reader would load every
// image format plugin at start-up to ask each whether it knows the file.
QPixmap png(const QString& file) {
  QImageReader reader(file, "png");
  reader.setAutoDetectImageFormat(false);
  return QPixmap::fromImage(reader.read());
}

// Each size in its own drawing, up to twice the largest for ratio-2 screens;
// the icon picks the one that fits the device pixels it is drawn on.
QIcon inSizes(const QString& base, std::initializer_list<int> pixels) {
  QIcon icon;
  for (int size : pixels) {
    const QString file = QStringLiteral(":/icons/%1-%2.png").arg(base).arg(size);
    if (QFile::exists(file)) icon.addPixmap(png(file));
  }
  return icon;
}

// A button picture and its "@2x" drawing of twice the pixels.
QIcon withDouble(const QString& base) {
  QIcon icon(png(QStringLiteral(":/icons/%1.png").arg(base)));
  const QString twice = QStringLiteral(":/icons/%1@2x.png").arg(base);
  if (QFile::exists(twice)) icon.addPixmap(png(twice));
  return icon;
}

}  // namespace

// Each icon is made once and shared (and kept to the end): a QIcon made anew
// for every window would put its drawings into the pixmap cache anew each time.
QIcon Icons::program() {
  static const QIcon* const icon = new QIcon(inSizes(QStringLiteral("program"), {16, 32, 64}));
  return *icon;
}
QIcon Icons::viewer() {
  static const QIcon* const icon = new QIcon(inSizes(QStringLiteral("viewer"), {16, 32, 64}));
  return *icon;
}
QIcon Icons::textWindow() {
  static const QIcon* const icon = new QIcon(inSizes(QStringLiteral("text-window"), {16, 32, 64}));
  return *icon;
}
QIcon Icons::arrowAnticlockwise() {
  static const QIcon* const icon = new QIcon(withDouble(QStringLiteral("arrow-anticlockwise")));
  return *icon;
}
QIcon Icons::arrowClockwise() {
  static const QIcon* const icon = new QIcon(withDouble(QStringLiteral("arrow-clockwise")));
  return *icon;
}

QIcon Icons::folderOpen() {
  static const QIcon* const icon = new QIcon(inSizes(QStringLiteral("folder-open"), {16, 32}));
  return *icon;
}
QIcon Icons::folderClosed() {
  static const QIcon* const icon = new QIcon(inSizes(QStringLiteral("folder-closed"), {16, 32}));
  return *icon;
}

}  // namespace ostrel
