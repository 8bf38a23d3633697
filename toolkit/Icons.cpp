#include "toolkit/Icons.h"

#include <QFile>
#include <QImageReader>

namespace ostrel {

namespace {

// Read as PNG by name: left to guess, Qt's image reader would load every
// image format plugin at start-up to ask each whether it knows the file.
QPixmap png(const QString& file) {
  QImageReader reader(file, "png");
  reader.setAutoDetectImageFormat(false);
  return QPixmap::fromImage(reader.read());
}

QIcon twoSizes(const QString& base) {
  QIcon icon;
  for (int size : {16, 32}) {
    const QString file = QStringLiteral(":/icons/%1-%2.png").arg(base).arg(size);
    if (QFile::exists(file)) icon.addPixmap(png(file));
  }
  return icon;
}

}  // namespace

QIcon Icons::program() {
  return twoSizes(QStringLiteral("program"));
}
QIcon Icons::viewer() {
  return twoSizes(QStringLiteral("viewer"));
}
QIcon Icons::textWindow() {
  return twoSizes(QStringLiteral("text-window"));
}
QPixmap Icons::arrowAnticlockwise() {
  return png(QStringLiteral(":/icons/arrow-anticlockwise.png"));
}
QPixmap Icons::arrowClockwise() {
  return png(QStringLiteral(":/icons/arrow-clockwise.png"));
}

QIcon Icons::folderOpen() {
  return QIcon(png(QStringLiteral(":/icons/folder-open-16.png")));
}
QIcon Icons::folderClosed() {
  return QIcon(png(QStringLiteral(":/icons/folder-closed-16.png")));
}

}  // namespace ostrel
