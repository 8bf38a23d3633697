#include "toolkit/files/TextFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/UniqueFd.h"

namespace ostrel {

namespace {

[[noreturn]] void fail(int number, const QString& fileName, const QString& reason) {
  throw ToolkitError(
      number, QCoreApplication::translate("TextFileReader", "The file %1 cannot be opened: %2.")
                  .arg(QDir::toNativeSeparators(fileName), reason));
}

[[noreturn]] void failForErrno(const QString& fileName, int error) {
  switch (error) {
    case ENOENT:
      fail(err::FileNotFound, fileName,
           QCoreApplication::translate("TextFileReader", "it does not exist"));
    case ENOTDIR:
      fail(err::PathNotFound, fileName,
           QCoreApplication::translate("TextFileReader", "its folder does not exist"));
    case EACCES:
    case EPERM:
      fail(err::PermissionDenied, fileName,
           QCoreApplication::translate("TextFileReader", "you do not have permission to read it"));
    case ENOMEM:
      fail(err::OutOfMemory, fileName,
           QCoreApplication::translate("TextFileReader", "there is not enough memory"));
    default:
      fail(err::PathFileAccess, fileName,
           QCoreApplication::translate("TextFileReader", "the system reports \"%1\"")
               .arg(QString::fromLocal8Bit(strerror(error))));
  }
}

[[noreturn]] void failTooLarge(const QString& fileName, qint64 sizeLimit) {
  fail(err::OutOfMemory, fileName,
       QCoreApplication::translate("TextFileReader",
                                   "it is larger than %1 MiB, the most the text window can hold")
           .arg(sizeLimit / (1024 * 1024)));
}

void checkKind(const QString& fileName, const struct stat& info, qint64 sizeLimit) {
  if (S_ISDIR(info.st_mode))
    fail(err::PathFileAccess, fileName,
         QCoreApplication::translate("TextFileReader", "it is a folder"));
  if (!S_ISREG(info.st_mode)) {
    fail(err::PathFileAccess, fileName,
         QCoreApplication::translate("TextFileReader", "it is a device or a pipe, not a file"));
  }
  if (info.st_size > sizeLimit) failTooLarge(fileName, sizeLimit);
}

}  // namespace

QByteArray TextFileReader::readAll(const QString& fileName, qint64 sizeLimit,
                                   const Progress& progress) {
  if (fileName.isEmpty() || fileName.endsWith(QLatin1Char('/'))) {
    fail(err::FileNotFound, fileName,
         QCoreApplication::translate("TextFileReader", "no file is selected"));
  }
  const QByteArray path = QFile::encodeName(fileName);
  struct stat info {};
  if (::stat(path.constData(), &info) != 0) failForErrno(fileName, errno);
  checkKind(fileName, info, sizeLimit);

  // Non-blocking, so that a pipe put in the file's place since the check
  // cannot hang us; the kind is checked again on what was opened.
  const UniqueFd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) failForErrno(fileName, errno);
  if (::fstat(fd.get(), &info) != 0) failForErrno(fileName, errno);
  checkKind(fileName, info, sizeLimit);

  // The file may change size while we read; take what is there, up to the limit.
  QByteArray bytes;
  bytes.resize(static_cast<qsizetype>(info.st_size));
  qint64 done = 0;
  for (;;) {
    if (done == bytes.size()) {
      if (done >= sizeLimit) {
        char probe = 0;
        if (::read(fd.get(), &probe, 1) > 0) failTooLarge(fileName, sizeLimit);
        break;
      }
      bytes.resize(qMin<qint64>(sizeLimit, qMax<qint64>(done * 2, 65536)));
    }
    // In steps, so that the caller can show how far a large file is.
    constexpr qint64 kStep = qint64(16) * 1024 * 1024;
    const ssize_t got = ::read(fd.get(), bytes.data() + done,
                               static_cast<size_t>(qMin<qint64>(bytes.size() - done, kStep)));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      failForErrno(fileName, errno);
    }
    done += got;
    if (progress) progress(done, bytes.size());
  }
  bytes.resize(static_cast<qsizetype>(done));
  return bytes;
}

}  // namespace ostrel
