#include "toolkit/Icons.h"

#include <QFile>

namespace ostrel {

namespace {

QIcon twoSizes(const QString& base) {
  QIcon icon;
  for (int size : {16, 32}) {
    const QString file = QStringLiteral(":/icons/%1-%2.png").arg(base).arg(size);
    if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
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
  return QPixmap(QStringLiteral(":/icons/arrow-anticlockwise.png"));
}
QPixmap Icons::arrowClockwise() {
  return QPixmap(QStringLiteral(":/icons/arrow-clockwise.png"));
}

}  // namespace ostrel
