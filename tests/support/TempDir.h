#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace ostrel::test {

// A fresh directory per test, removed with the fixture.
class TempDir {
 public:
  TempDir();
  QString path() const { return dir_.path(); }
  QString file(const QString& name) const { return dir_.filePath(name); }
  // Writes bytes to name (creating folders on the way) and returns its path.
  QString write(const QString& name, const QByteArray& bytes) const;
  QByteArray read(const QString& name) const;

 private:
  QTemporaryDir dir_;
};

}  // namespace ostrel::test
