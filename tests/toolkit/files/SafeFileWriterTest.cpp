#include "toolkit/files/SafeFileWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "tests/support/TempDir.h"
#include "toolkit/ToolkitError.h"

namespace ostrel {
namespace {

class SafeFileWriterTest : public ::testing::Test {
 protected:
  void TearDown() override { SafeFileWriter::simulateDiskFullAfter(std::nullopt); }

  int errorNumberWriting(const QString& name, const QByteArray& bytes) {
    try {
      SafeFileWriter::write(name, bytes);
    } catch (const ToolkitError& e) {
      EXPECT_TRUE(e.Description().contains(QDir::toNativeSeparators(name)));
      return e.Number();
    }
    return 0;
  }

  test::TempDir tmp;
};

TEST_F(SafeFileWriterTest, ReplacesTheContentAndKeepsThePermissions) {
  const QString name = tmp.write("a.txt", "old content");
  ::chmod(QFile::encodeName(name).constData(), 0640);
  SafeFileWriter::write(name, "new");
  EXPECT_EQ(tmp.read(name), QByteArray("new"));
  struct stat st {};
  ::stat(QFile::encodeName(name).constData(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640U);
  SafeFileWriter::write(tmp.file("created.txt"), "x");
  EXPECT_EQ(tmp.read("created.txt"), QByteArray("x"));
}

TEST_F(SafeFileWriterTest, FailuresLeaveTheOldFileAsItWas) {
  const QString name = tmp.write("a.txt", "precious");
  SafeFileWriter::simulateDiskFullAfter(3);
  EXPECT_EQ(errorNumberWriting(name, "replacement"), err::DiskFull);
  EXPECT_EQ(tmp.read(name), QByteArray("precious"));
  SafeFileWriter::simulateDiskFullAfter(std::nullopt);

  ::chmod(QFile::encodeName(name).constData(), 0444);
  EXPECT_EQ(errorNumberWriting(name, "x"), err::PermissionDenied);
  EXPECT_EQ(tmp.read(name), QByteArray("precious"));

  EXPECT_EQ(errorNumberWriting(tmp.file("gone/a.txt"), "x"), err::PathNotFound);
  QDir(tmp.path()).mkdir(QStringLiteral("d.txt"));
  EXPECT_EQ(errorNumberWriting(tmp.file("d.txt"), "x"), err::PathFileAccess);
  EXPECT_EQ(errorNumberWriting(QStringLiteral("/dev/null"), "x"), err::PathFileAccess);
}

TEST_F(SafeFileWriterTest, WritesInPlaceWhereTheFolderIsReadOnly) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes in every folder";
  const QString name = tmp.write("locked/a.txt", "old");
  const QByteArray folder = QFile::encodeName(tmp.file("locked"));
  ::chmod(folder.constData(), 0555);
  SafeFileWriter::write(name, "new");
  EXPECT_EQ(tmp.read(name), QByteArray("new"));
  SafeFileWriter::simulateDiskFullAfter(1);
  EXPECT_EQ(errorNumberWriting(name, "longer"), err::DiskFull);
  EXPECT_EQ(tmp.read(name), QByteArray("new"));
  ::chmod(folder.constData(), 0755);
}

}  // namespace
}  // namespace ostrel
