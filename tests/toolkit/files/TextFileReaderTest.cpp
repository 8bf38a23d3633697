#include "toolkit/files/TextFileReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "tests/support/TempDir.h"
#include "toolkit/ToolkitError.h"

namespace ostrel {
namespace {

int errorNumberReading(const QString& name, qint64 limit = TextFileReader::kSizeLimit) {
  try {
    TextFileReader::readAll(name, limit);
  } catch (const ToolkitError& e) {
    EXPECT_TRUE(e.Description().contains(QStringLiteral("“%1”").arg(name)))
        << e.Description().toStdString();
    return e.Number();
  }
  return 0;
}

TEST(TextFileReader, RefusesWhatIsNotAReadableFileWithoutBlocking) {
  test::TempDir tmp;
  EXPECT_EQ(errorNumberReading(tmp.file("gone.txt")), err::FileNotFound);
  EXPECT_EQ(errorNumberReading(tmp.file("gone/a.txt")), err::PathNotFound);
  QDir(tmp.path()).mkdir(QStringLiteral("dir.txt"));
  EXPECT_EQ(errorNumberReading(tmp.file("dir.txt")), err::PathFileAccess);
  const QString fifo = tmp.file("pipe.txt");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_EQ(errorNumberReading(fifo), err::PathFileAccess);
  EXPECT_EQ(errorNumberReading(QStringLiteral("/dev/zero")), err::PathFileAccess);
  EXPECT_EQ(errorNumberReading(tmp.path() + QLatin1Char('/')), err::FileNotFound);
  EXPECT_EQ(errorNumberReading(tmp.write("big.txt", QByteArray(100, 'x')), 99), err::OutOfMemory);
  EXPECT_EQ(TextFileReader::readAll(tmp.file("big.txt"), 100).size(), 100);
}

}  // namespace
}  // namespace ostrel
