#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ostrel::test {

TempDir::TempDir() = default;

QString TempDir::write(const QString& name, const QByteArray& bytes) const {
  const QString full = file(name);
  QDir().mkpath(QFileInfo(full).absolutePath());
  QFile f(full);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
  return full;
}

QByteArray TempDir::read(const QString& name) const {
  QFile f(QFileInfo(name).isAbsolute() ? name : file(name));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace ostrel::test
